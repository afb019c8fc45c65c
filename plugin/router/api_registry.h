// ApiRegistry: the plug-in's API registry -- its records, enumerations, functions and events
// (BindingRegistry) plus the route binding of every function it serves over REST. Created
// with the plug-in object and owned by it.
//
// Declaring routes, during RegisterApi:
//
//   registry.SetApiTags({"Plugins", "Plugin qiv-honor-v2"});
//   registry.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/ballot", this, &HonorPlugin::GetBallot);
//   registry.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/honor-player", this, &HonorPlugin::HonorPlayer)
//       .Body("honorPlayerRequest", "");
//   registry.AddRoute("PURGE", "/cache/{key}", this, &Plugin::Purge);   // a method given by its word
//
// AddRoute declares one function named ToApiName(method word, path) with the handler's
// argument and result types (invoker.h), the current API tags as its tags, every argument
// at location Any, and returns a RouteBuilder that names the arguments (route_builder.h).
// A path longer than "/" loses one trailing "/"; "/a/b/" is served as "/a/b" and a call
// for "/a/b/" then does not match. Records and enumerations the handler uses must be
// registered first. HttpMethod::None accepts every method. A word that is one of the seven
// standard words declares that method's code; any other word declares method 8 (Custom),
// which accepts only calls of code 8 with exactly that word.
//
// Declaring a function name again updates its function: the later handler, argument types,
// path, method and tags replace the earlier ones and every argument is back at location
// Any. The declaration fails -- the builder is closed and the registry unchanged -- when
// the name would be empty, when the object is null, for HttpMethod::Custom without a word
// (use the word overload), and for a name already declared once the route table is built.
//
// BuildRouteTable builds the host's route table once, after RegisterApi; later calls return
// the same table, so routes declared afterwards never reach the host. The table and
// everything it points to live as long as the registry.
//
// Threading: declarations take the registry's mutex. HandleCall (handle_call.h) reads the
// bindings without a lock; it must not run while routes are still being declared.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/binding_registry.h"
#include "qiv/plugin_abi.h"
#include "router/argument_location.h"
#include "router/http_method.h"
#include "router/invoker.h"
#include "router/route_binding.h"
#include "router/route_builder.h"

namespace vclient {

class RouteTable;

class ApiRegistry : public BindingRegistry {
public:
    ApiRegistry();
    ~ApiRegistry() override;

    // The tags every function declared from now on receives.
    void SetApiTags(std::vector<std::string> tags);
    [[nodiscard]] const std::vector<std::string>& ApiTags() const noexcept { return apiTags_; }

    template <class Object, RouteOperation Member>
    RouteBuilder AddRoute(HttpMethod method, std::string_view pathTemplate, Object* object, Member member) {
        return AddRouteWithWord(method, HttpMethodWord(method), pathTemplate, object, member);
    }

    template <class Object, RouteOperation Member>
    RouteBuilder AddRoute(std::string_view methodWord, std::string_view pathTemplate, Object* object,
                          Member member) {
        return AddRouteWithWord(MethodOfWord(methodWord), methodWord, pathTemplate, object, member);
    }

    // The binding of a function, or null when it has none.
    [[nodiscard]] const RouteBinding* FindRoute(const FunctionRecord& function) const;
    [[nodiscard]] const RouteBinding* FindRoute(std::string_view functionName) const;
    [[nodiscard]] std::size_t RouteCount() const;

    // The host's route table; built on the first call.
    [[nodiscard]] const RouteTableDescriptor* BuildRouteTable();

    // The code of a standard method word ("GET" is Get), Custom for any other word, None
    // for the empty word.
    [[nodiscard]] static HttpMethod MethodOfWord(std::string_view word) noexcept;

private:
    friend class RouteBuilder;

    struct RouteDeclaration {
        HttpMethod method;
        std::string_view methodWord;
        std::string_view pathTemplate;
        std::vector<TypeIdentifier> argumentTypes;
        TypeIdentifier result;
        std::unique_ptr<RouteInvoker> handler;
    };

    template <class Object, RouteOperation Member>
    RouteBuilder AddRouteWithWord(HttpMethod method, std::string_view word, std::string_view pathTemplate,
                                  Object* object, Member member) {
        using Signature = RouteSignature<Member>;
        static_assert(std::is_convertible_v<Object*, typename Signature::Target*>,
                      "the object must be of the class of the member operation (const members need no more)");
        RouteDeclaration declaration{method,
                                     word,
                                     pathTemplate,
                                     RouteArgumentTypes(*this, typename Signature::Api{}),
                                     RouteResultType<typename Signature::Result>(*this),
                                     MakeRouteInvoker<Member>(object, member)};
        return DeclareRoute(std::move(declaration));
    }

    RouteBuilder DeclareRoute(RouteDeclaration declaration);
    // Names argument `index` of the binding's function and sets its location; false when
    // the function has no such argument.
    bool DeclareArgument(RouteBinding& binding, std::size_t index, ArgumentLocation location, std::string_view name,
                         std::string_view description);

    std::vector<std::string> apiTags_;
    std::unordered_map<const FunctionRecord*, std::unique_ptr<RouteBinding>> routes_;
    std::unique_ptr<RouteTable> table_;
};

}  // namespace vclient
