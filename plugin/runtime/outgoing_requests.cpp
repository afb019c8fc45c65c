#include "runtime/outgoing_requests.h"

#include <cstring>

#include "codec/json_reader.h"
#include "runtime/app_module.h"

namespace vclient {
namespace {

constexpr std::uint32_t kChunkSize = 4096;
// A host's size hint is only a hint: never reserve more than this up front.
constexpr std::uint32_t kMaxReservedStream = 16u * 1024u * 1024u;

// Calls the response's release exactly once, whatever path the request takes.
class ResponseRelease {
public:
    explicit ResponseRelease(HostResponse& response) : response_(response) {}
    ~ResponseRelease() {
        const HostReleaseResponseFunction release = response_.release;
        if (release != nullptr) release(&response_);
    }
    ResponseRelease(const ResponseRelease&) = delete;
    ResponseRelease& operator=(const ResponseRelease&) = delete;

private:
    HostResponse& response_;
};

}  // namespace

bool OutgoingRequests::ReadStream(const HostResponse& response, std::string& text) {
    const HostReadChunkFunction readChunk = response.readChunk;
    const HostCloseStreamFunction closeStream = response.closeStream;
    void* const context = response.streamContext;
    const std::uint32_t sizeHint = response.sizeHint;
    text.reserve(sizeHint < kMaxReservedStream ? sizeHint : kMaxReservedStream);
    char chunk[kChunkSize];
    std::uint8_t more = 1;
    bool ok = true;
    while (more != 0) {
        std::uint32_t length = kChunkSize;
        if (readChunk(context, chunk, &length, &more) == 0) {
            ok = false;
            break;
        }
        if (length > kChunkSize) length = kChunkSize;  // a host that claims more than the buffer holds
        text.append(chunk, length);
        if (length < kChunkSize && more != 0) module_.Yield();
    }
    if (closeStream != nullptr) closeStream(context);
    return ok;
}

MaybeType<Failure, void> OutgoingRequests::Perform(HttpMethod method, std::string_view url,
                                                  RequestParameters& parameters, BindingProperty* body) {
    const std::string urlText(url);
    HostRequest request{};
    request.method = HttpMethodCode(method);
    request.url = urlText.c_str();
    request.parameters = parameters.Data();
    request.parameterCount = parameters.Count();
    request.clientHandle = module_.ClientHandle();
    HostResponse response;
    std::memset(&response, 0, sizeof response);
    module_.PerformRequest(&response, &request);
    ResponseRelease release(response);

    const std::string_view word = HttpMethodWord(method);
    const char* const errorText = response.errorText;
    if (errorText != nullptr) {
        const std::int32_t status = response.status;
        return Failure::Named(status, "Error response for {method} {url}: {error}", word, url, errorText);
    }
    if (body == nullptr) return {};
    return ReadBody(response, word, url, *body);
}

MaybeType<Failure, void> OutgoingRequests::ReadBody(const HostResponse& response, std::string_view word,
                                                   std::string_view url, BindingProperty& body) {
    if (response.readChunk != nullptr) {
        std::string text;
        if (!ReadStream(response, text)) {
            return Failure::Named(0, "Error reading streamed response for {method} {url}: {error}", word, url,
                                  "Stream read error");
        }
        BindingResult parsed = JsonToBinding(text);
        if (!parsed.Succeeded()) {
            return Failure::Named(0, "Error reading streamed response for {method} {url}: {error}", word, url,
                                  parsed.ErrorMessage());
        }
        body = std::move(parsed.Value());
        return {};
    }
    BindingResult converted;
    BindingProperty target;
    const HostValue value = response.body;
    if (!HostValueToBinding(converted, target, value, "<result>")) {
        return Failure::Named(0, "Error converting response for {method} {url}: {error}", word, url,
                              converted.ErrorMessage());
    }
    body = std::move(target);
    return {};
}

}  // namespace vclient
