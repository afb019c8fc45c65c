// RouteInvoker: how the router calls the member operation bound to a route, without
// knowing its signature. The templates of invoker.h implement it for every supported
// member-operation shape.
//
// A call goes in three steps, all inside Invoke: the bound argument values are converted to
// the operation's native parameter types (a failure fails the call result and nothing
// runs); the operation runs and its result, or its failure, is stored in the call result;
// the converted arguments are released when Invoke returns. Nothing of the stored outcome
// refers to them.
//
// Threading: Invoke keeps no state between calls and may run on several threads at once;
// what the operation itself touches is the operation's to guard.
#pragma once

#include <span>

#include "binding/api_records.h"
#include "value/binding_property.h"
#include "router/call_context.h"
#include "router/call_result.h"

namespace vclient {

class TypeRegistry;

class RouteInvoker {
public:
    RouteInvoker() = default;
    RouteInvoker(const RouteInvoker&) = delete;
    RouteInvoker& operator=(const RouteInvoker&) = delete;
    virtual ~RouteInvoker() = default;

    // Whether the operation takes a CallContext; the router builds one only then.
    [[nodiscard]] virtual bool TakesCallContext() const noexcept = 0;

    // `arguments` holds one value per argument of `function`; `context` is null unless
    // TakesCallContext(). Runs only when `result` still succeeds.
    virtual void Invoke(CallResult& result, const FunctionRecord& function,
                        std::span<const BindingProperty> arguments, const CallContext* context,
                        const TypeRegistry& registry) const = 0;
};

}  // namespace vclient
