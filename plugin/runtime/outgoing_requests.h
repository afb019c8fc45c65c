// OutgoingRequests: the module's REST calls to resources of the host and of other
// plug-ins, through the host's PerformRequest. A call is synchronous: it returns when the
// host has filled the response, and every outcome comes back as a MaybeType:
//
//   MaybeType<Failure, void> done = requests.Send<void>(HttpMethod::Post, "/a/b", 1, "x");
//   MaybeType<Failure, Session> read = requests.Send<Session>(HttpMethod::Get, "/qiv-gameflow/v1/session");
//
// Failures: code 400 when an argument does not convert (nothing is sent), the status of
// an error response, 0 when the response cannot be read or converted. The response is
// released exactly once on every path.
//
// Threading: the calling thread stays inside PerformRequest; a streamed body gives the
// host a turn (the module's Yield) after each short chunk, so other handlers may run
// nested meanwhile. The part keeps no state between calls.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/conversion.h"
#include "binding/host_value.h"
#include "qiv/plugin_abi.h"
#include "router/http_method.h"
#include "runtime/module_part.h"
#include "runtime/request_parameters.h"
#include "util/failure.h"
#include "util/maybe_type.h"
#include "value/binding_property.h"
#include "value/binding_result.h"

namespace vclient {

class OutgoingRequests : ModulePart {
public:
    explicit OutgoingRequests(AppModule& module) : ModulePart(module) {}

    // Calls `url` with the arguments as positional parameters. R = void ignores any body;
    // otherwise the body (or the streamed body, read as JSON) is converted to R.
    template <class R, class... A>
    MaybeType<Failure, R> Send(HttpMethod method, std::string_view url, const A&... arguments);

private:
    // The host call itself; `body` receives the response body unless it is null.
    MaybeType<Failure, void> Perform(HttpMethod method, std::string_view url, RequestParameters& parameters,
                                     BindingProperty* body);
    // The body of a successful response: the streamed text read as JSON, or the host value.
    // `word` is the method's word for the messages.
    MaybeType<Failure, void> ReadBody(const HostResponse& response, std::string_view word, std::string_view url,
                                      BindingProperty& body);
    bool ReadStream(const HostResponse& response, std::string& text);
    template <class A>
    void AddParameter(BindingResult& result, RequestParameters& parameters, const A& argument);
};

template <class A>
void OutgoingRequests::AddParameter(BindingResult& result, RequestParameters& parameters, const A& argument) {
    if (!result.Succeeded()) return;
    BindingResult converted;
    ToBinding(converted, argument, Types());
    if (!converted.Succeeded()) {
        result.Fail(converted.ErrorMessage());
        return;
    }
    if (!BindingToHostValue(parameters.Add(), converted.Value(), &Types())) {
        result.Fail("Couldn't convert the value for the host");
    }
}

template <class R, class... A>
MaybeType<Failure, R> OutgoingRequests::Send(HttpMethod method, std::string_view url, const A&... arguments) {
    RequestParameters parameters;
    BindingResult converted;
    (AddParameter(converted, parameters, arguments), ...);
    if (!converted.Succeeded()) {
        return Failure::Named(400, "Request not sent: Error converting parameters for {method} {url}: {error}",
                              HttpMethodWord(method), url, converted.ErrorMessage());
    }
    if constexpr (std::is_void_v<R>) {
        return Perform(method, url, parameters, nullptr);
    } else {
        BindingProperty body;
        MaybeType<Failure, void> sent = Perform(method, url, parameters, &body);
        if (!sent.Succeeded()) return sent.GetFailure();
        BindingResult result;
        R value{};
        FromBinding(result, body, value, "<result>", Types());
        if (!result.Succeeded()) {
            return Failure::Named(0, "Error converting response for {method} {url}: {error}", HttpMethodWord(method),
                                  url, result.ErrorMessage());
        }
        return MaybeType<Failure, R>(std::move(value));
    }
}

}  // namespace vclient
