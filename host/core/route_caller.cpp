#include "core/route_caller.h"

#include <algorithm>

#include "core/host_value_json.h"
#include "core/http_method_names.h"

namespace qivhost {
namespace {

struct RequestParts {
    std::vector<OwnedHostValue> values;
    std::vector<HostRequestParameter> parameters;
    std::vector<HostRequestHeader> headers;
};

bool BuildParts(const RestCall& call, RequestParts& parts, std::string& error) {
    for (const auto& [name, json] : call.parameters) {
        HostValueFromJson parsed = HostValueFromJsonText(json);
        if (!parsed.ok) {
            error = "Parameter " + (name.empty() ? std::to_string(parts.values.size()) : name) + " is not JSON: " + parsed.error;
            return false;
        }
        parts.values.push_back(std::move(parsed.value));
    }
    for (std::size_t i = 0; i < parts.values.size(); ++i) {
        HostRequestParameter parameter{};
        parameter.name = call.parameters[i].first.empty() ? nullptr : call.parameters[i].first.c_str();
        parameter.value = parts.values[i].Get();
        parts.parameters.push_back(parameter);
    }
    for (const auto& [name, value] : call.headers) parts.headers.push_back(HostRequestHeader{name.c_str(), value.c_str()});
    return true;
}

void ReadStream(const HostResponse& response, RestAnswer& answer) {
    answer.streamed = true;
    HostReadChunkFunction readChunk = response.readChunk;
    void* context = response.streamContext;
    std::string text;
    char buffer[4096];
    std::uint8_t more = 1;
    for (std::uint32_t reads = 0; more != 0 && reads < kMaxStreamReads; ++reads) {
        std::uint32_t length = sizeof buffer;
        if (readChunk(context, buffer, &length, &more) == 0) {
            answer.streamFailed = true;
            break;
        }
        text.append(buffer, std::min<std::uint32_t>(length, sizeof buffer));
    }
    if (more != 0) answer.streamFailed = true;
    HostCloseStreamFunction closeStream = response.closeStream;
    if (closeStream != nullptr) closeStream(context);
    answer.bodyJson = text;
}

void ReadResponse(HostResponse& response, RestAnswer& answer) {
    answer.status = response.status;
    const char* errorText = response.errorText;
    if (errorText != nullptr) answer.errorText = errorText;
    answer.errorFlag = response.errorFlag;
    answer.resultFlag = response.resultFlag;
    answer.resultMode = response.resultMode;
    const char* resultText = response.resultText;
    answer.resultText = resultText == nullptr ? "" : resultText;
    const HostRequestHeader* headers = response.headers;
    const std::uint32_t headerCount = headers == nullptr ? 0 : response.headerCount;
    for (std::uint32_t i = 0; i < headerCount && i < kMaxRouteEntries; ++i) {
        const char* name = headers[i].name;
        const char* value = headers[i].value;
        answer.headers.emplace_back(name == nullptr ? "" : name, value == nullptr ? "" : value);
    }
    if (response.readChunk != nullptr) ReadStream(response, answer);
    else answer.bodyJson = HostValueToJson(response.body);
    HostReleaseResponseFunction release = response.release;
    if (release == nullptr) return;
    release(&response);
    answer.released = true;
}

std::string Describe(const RestAnswer& answer) {
    std::string text = "status " + std::to_string(answer.status);
    if (answer.errorText) text += ", error \"" + *answer.errorText + "\"";
    return text + ", body " + answer.bodyJson;
}

}  // namespace

RestAnswer CallRoute(const std::vector<RouteInfo>& routes, const RestCall& call, Transcript& transcript) {
    RestAnswer answer;
    const std::uint32_t method = MethodCode(call.method);
    const RouteInfo* route = ChooseRoute(routes, method, call.method, call.url);
    if (route == nullptr || route->handleCall == nullptr) {
        answer.status = 404;
        answer.errorText = "No route for " + call.method + " " + call.url;
        return answer;
    }
    RequestParts parts;
    std::string error;
    if (!BuildParts(call, parts, error)) {
        answer.status = 400;
        answer.errorText = error;
        return answer;
    }
    HostRequest request{};
    request.method = method;
    request.url = call.url.c_str();
    request.parameters = parts.parameters.empty() ? nullptr : parts.parameters.data();
    request.parameterCount = static_cast<std::uint32_t>(parts.parameters.size());
    request.dispatchContext = route->dispatchContext;
    request.headers = parts.headers.empty() ? nullptr : parts.headers.data();
    request.headerCount = static_cast<std::uint32_t>(parts.headers.size());
    request.contentType = call.contentType.c_str();
    request.body = call.body ? call.body->data() : nullptr;
    request.bodyLength = call.body ? static_cast<std::uint32_t>(call.body->size()) : 0;
    request.clientHandle = call.clientHandle;
    request.methodWord = call.method.c_str();
    transcript.Record("-> HandleCall", route->name + ": " + call.method + " \"" + call.url + "\"" +
                                           (call.body ? ", body " + *call.body : std::string()));
    HostResponse response{};
    route->handleCall(&response, &request);
    answer.reachedPlugin = true;
    answer.routeName = route->name;
    ReadResponse(response, answer);
    transcript.Record("<- HandleCall", Describe(answer));
    return answer;
}

}  // namespace qivhost
