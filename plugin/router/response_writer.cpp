#include "router/response_writer.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "binding/host_value.h"
#include "util/format_positional.h"

namespace vclient {

namespace {

// What a streamed response's streamContext points to.
struct StreamHandOver {
    std::unique_ptr<ResponseStream> stream;
    bool closed = false;

    void Close() noexcept {
        if (closed) return;
        closed = true;
        try {
            stream->Close();
        } catch (...) {
            // A stream that fails to close has nothing more to say; the host goes on.
        }
    }
};

// A heap copy of `text`, freed by ReleaseResponse; null when memory ran out.
char* CopyText(std::string_view text) noexcept {
    char* copy = new (std::nothrow) char[text.size() + 1];
    if (copy == nullptr) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

char* CopyTextOrThrow(std::string_view text) {
    char* copy = CopyText(text);
    if (copy == nullptr) throw std::bad_alloc();
    return copy;
}

std::uint8_t QIV_CALL ReadChunk(void* context, char* buffer, std::uint32_t* length, std::uint8_t* more) {
    if (context == nullptr || length == nullptr) return 0;
    auto* handOver = static_cast<StreamHandOver*>(context);
    const std::uint32_t capacity = *length;
    *length = 0;
    if (handOver->closed || (buffer == nullptr && capacity > 0)) return 0;
    std::uint32_t written = capacity;
    bool stillMore = true;
    bool read = false;
    try {
        read = handOver->stream->Read(buffer, written, stillMore);
    } catch (...) {
        read = false;
    }
    if (!read) return 0;
    *length = written < capacity ? written : capacity;
    if (more != nullptr) *more = stillMore ? 1 : 0;
    return 1;
}

void QIV_CALL CloseStream(void* context) {
    if (context != nullptr) static_cast<StreamHandOver*>(context)->Close();
}

void WriteHeaders(HostResponse& response, const CallResult& result) {
    const auto& headers = result.Headers();
    if (headers.empty()) return;
    auto* array = new HostRequestHeader[headers.size()]{};
    response.headers = array;
    response.headerCount = static_cast<std::uint32_t>(headers.size());
    for (std::size_t index = 0; index < headers.size(); ++index) {
        array[index].name = CopyTextOrThrow(headers[index].first);
        array[index].value = CopyTextOrThrow(headers[index].second);
    }
}

void HandOverStream(HostResponse& response, CallResult& result) {
    if (!result.HasStream()) return;
    auto handOver = std::make_unique<StreamHandOver>();
    handOver->stream = result.TakeStream();
    response.sizeHint = handOver->stream->SizeHint();
    response.reserved = 0;
    response.readChunk = &ReadChunk;
    response.closeStream = &CloseStream;
    response.streamContext = handOver.release();
}

void WriteBody(HostResponse& response, CallResult& result, const EnumNames* names, std::string_view functionName) {
    if (!result.Succeeded()) {
        response.errorText = CopyTextOrThrow(result.ErrorMessage());
        response.errorFlag = 1;
        return;
    }
    HostValue body{};
    if (BindingToHostValue(body, result.Outcome().Value(), names)) {
        response.body = body;
        return;
    }
    result.SetStatus(400);
    response.errorText = CopyTextOrThrow(Format("Couldn't convert the result of '%1'.", functionName));
    response.errorFlag = 1;
}

void ReleaseHeaders(HostResponse& response) noexcept {
    const HostRequestHeader* headers = response.headers;
    const std::uint32_t count = response.headerCount;
    if (headers != nullptr) {
        for (std::uint32_t index = 0; index < count; ++index) {
            delete[] headers[index].name;
            delete[] headers[index].value;
        }
        delete[] headers;
    }
    response.headers = nullptr;
    response.headerCount = 0;
}

void ReleaseStream(HostResponse& response) noexcept {
    const HostReadChunkFunction read = response.readChunk;
    void* context = response.streamContext;
    if (read == &ReadChunk && context != nullptr) {
        auto* handOver = static_cast<StreamHandOver*>(context);
        handOver->Close();
        delete handOver;
    }
    response.readChunk = nullptr;
    response.closeStream = nullptr;
    response.streamContext = nullptr;
    response.sizeHint = 0;
}

}  // namespace

void WriteResponse(HostResponse& response, CallResult& result, const EnumNames* names,
                   std::string_view functionName) {
    response.release = &ReleaseResponse;
    WriteBody(response, result, names, functionName);
    response.resultFlag = result.Flag();
    const std::uint32_t mode = result.Mode();
    response.resultMode = mode >= 1 && mode <= 3 ? mode : 0;
    response.status = result.Status();
    response.resultText = CopyTextOrThrow(result.Text());
    WriteHeaders(response, result);
    HandOverStream(response, result);
}

void WriteFailure(HostResponse& response, std::int32_t status, std::string_view message) noexcept {
    response.release = &ReleaseResponse;
    response.errorText = CopyText(message);
    response.errorFlag = 1;
    response.status = status;
    response.resultText = CopyText("");
}

void QIV_CALL ReleaseResponse(HostResponse* response) noexcept {
    if (response == nullptr) return;
    HostValue body = response->body;
    HostValueClear(body);
    response->body = body;
    delete[] response->errorText;
    response->errorText = nullptr;
    delete[] response->resultText;
    response->resultText = nullptr;
    ReleaseHeaders(*response);
    ReleaseStream(*response);
}

}  // namespace vclient
