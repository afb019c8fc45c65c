#include "router/handle_call.h"

#include <chrono>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "router/api_registry.h"
#include "router/argument_binding.h"
#include "router/call_context.h"
#include "router/call_result.h"
#include "router/response_writer.h"
#include "router/route_binding.h"

namespace vclient {

namespace {

// The method, method word and URL of a call, as the route match compares them.
struct MatchContext {
    HttpMethod method = HttpMethod::None;
    std::string_view methodWord;
    std::string_view url;
    // The URL up to its first "?": what the pattern is matched against.
    std::string_view path;
};

MatchContext MatchContextOf(const HostRequest& request) {
    MatchContext match;
    match.method = HttpMethodFromCode(request.method);
    if (match.method == HttpMethod::Custom) match.methodWord = RequestText(request.methodWord);
    match.url = RequestText(request.url);
    match.path = match.url.substr(0, match.url.find('?'));
    return match;
}

bool MethodMatches(const RouteBinding& binding, const MatchContext& match) noexcept {
    if (binding.method == HttpMethod::None) return true;
    if (binding.method != match.method) return false;
    return binding.method != HttpMethod::Custom || binding.methodWord == match.methodWord;
}

// The binding of a dispatch context that one of our route tables handed out, or null.
const RouteBinding* BindingOf(const HostRequest& request) noexcept {
    const auto* context = static_cast<const RouteDispatchContext*>(request.dispatchContext);
    if (context == nullptr || context->binding == nullptr || context->registry == nullptr) return nullptr;
    const RouteBinding* binding = context->binding;
    if (&binding->context != context || binding->function == nullptr || binding->handler == nullptr ||
        !binding->pattern.has_value()) {
        return nullptr;
    }
    return binding;
}

CallContext MakeCallContext(std::chrono::steady_clock::time_point received, const ApiRegistry& registry,
                            const HostRequest& request, const MatchContext& match, HeaderMap headers) {
    CallContext context;
    context.timeStamp = received;
    context.registry = &registry;
    context.url = std::string(match.url);
    context.method = match.method;
    context.methodWord = std::string(match.methodWord);
    context.headers = std::move(headers);
    context.clientHandle = request.clientHandle;
    return context;
}

CallResult Invoke(const RouteBinding& binding, const HostRequest& request, const MatchContext& match,
                  const PathArguments& pathArguments, std::chrono::steady_clock::time_point received) {
    CallResult result;
    CallArguments arguments(binding);
    HeaderMap headers = RequestHeaders(request);
    BindArguments(result.Outcome(), arguments, request, headers, pathArguments, binding.pattern->Captures().size());
    if (!result.Succeeded()) {
        if (result.Status() == 0) result.SetStatus(400);
        return result;
    }
    const ApiRegistry& registry = *binding.context.registry;
    if (!binding.handler->TakesCallContext()) {
        binding.handler->Invoke(result, *binding.function, arguments.Values(), nullptr, registry);
        return result;
    }
    const CallContext context = MakeCallContext(received, registry, request, match, std::move(headers));
    binding.handler->Invoke(result, *binding.function, arguments.Values(), &context, registry);
    return result;
}

void ServeCall(HostResponse& response, const HostRequest* request) {
    const RouteBinding* binding = request != nullptr ? BindingOf(*request) : nullptr;
    if (binding == nullptr) return WriteFailure(response, 404, "Invalid function");
    // Only a handler that takes the call context sees the time stamp; reading the clock
    // is a noticeable part of a small call.
    const auto received = binding->handler->TakesCallContext() ? std::chrono::steady_clock::now()
                                                                : std::chrono::steady_clock::time_point();
    const MatchContext match = MatchContextOf(*request);
    PathArguments pathArguments;
    if (!MethodMatches(*binding, match) || !binding->pattern->Match(match.path, pathArguments)) {
        return WriteFailure(response, 404, "Invalid function");
    }
    CallResult result = Invoke(*binding, *request, match, pathArguments, received);
    WriteResponse(response, result, binding->context.registry, binding->function->name);
}

void AnswerException(HostResponse& response, const char* what) noexcept {
    ReleaseResponse(&response);
    std::string_view detail = what != nullptr ? std::string_view(what) : std::string_view();
    try {
        const std::string message =
            detail.empty() ? std::string("Internal server error") : "Internal server error: " + std::string(detail);
        WriteFailure(response, 500, message);
    } catch (...) {
        WriteFailure(response, 500, "Internal server error");
    }
}

}  // namespace

void QIV_CALL HandleCall(HostResponse* response, const HostRequest* request) noexcept {
    if (response == nullptr) return;
    response->release = &ReleaseResponse;
    try {
        ServeCall(*response, request);
    } catch (const std::bad_alloc&) {
        AnswerException(*response, "out of memory");
    } catch (const std::exception& exception) {
        AnswerException(*response, exception.what());
    } catch (...) {
        AnswerException(*response, nullptr);
    }
}

}  // namespace vclient
