// CallResult: the outcome of one routed call, from argument binding through the handler to
// the response record. It is a BindingResult (the answer's value, or a failure text) plus
// the response attributes the host reads: a status code, a flag byte, a mode, a text
// attribute, response headers and, optionally, a streamed body.
//
// Handlers usually return a native value and never see a CallResult. A handler that calls
// out and must report the callee's failure as its own returns one:
//
//   CallResult GetThing() {
//       auto reply = Request<Thing>(HttpMethod::Get, "/other/v1/thing");
//       if (!reply) return InternalServerError(reply.GetFailure().message);
//       ...
//   }
//
// A failed CallResult whose status is 0 is answered with 500 when the handler produced it
// and with 400 when argument binding or conversion did (see handle_call.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "value/binding_property.h"
#include "value/binding_result.h"
#include "router/response_stream.h"

namespace vclient {

class [[nodiscard]] CallResult {
public:
    CallResult() = default;
    // A success answering `value`.
    explicit CallResult(BindingProperty value) : outcome_(std::move(value)) {}

    // A failure with `message` and `status`.
    [[nodiscard]] static CallResult Failed(std::int32_t status, std::string_view message);

    [[nodiscard]] bool Succeeded() const noexcept { return outcome_.Succeeded(); }
    [[nodiscard]] const std::string& ErrorMessage() const noexcept { return outcome_.ErrorMessage(); }
    // The value and verdict; conversions write into it.
    [[nodiscard]] BindingResult& Outcome() noexcept { return outcome_; }
    [[nodiscard]] const BindingResult& Outcome() const noexcept { return outcome_; }
    // Fails the outcome with `message`; a status of 0 leaves the current status.
    void Fail(std::string_view message, std::int32_t status = 0);

    // HTTP status; 0 when nobody set one.
    [[nodiscard]] std::int32_t Status() const noexcept { return status_; }
    void SetStatus(std::int32_t status) noexcept { status_ = status; }
    // Copied to the response's flag byte; its meaning is the host's.
    [[nodiscard]] std::uint8_t Flag() const noexcept { return flag_; }
    void SetFlag(std::uint8_t flag) noexcept { flag_ = flag; }
    // Copied to the response's mode when it is 1, 2 or 3; any other mode is written as 0.
    [[nodiscard]] std::uint32_t Mode() const noexcept { return mode_; }
    void SetMode(std::uint32_t mode) noexcept { mode_ = mode; }
    // The text attribute, handed to the host as a text of its own (empty when unset).
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }
    // Response headers, in the order added.
    [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& Headers() const noexcept {
        return headers_;
    }
    void AddHeader(std::string name, std::string value) { headers_.emplace_back(std::move(name), std::move(value)); }
    // A streamed body; the router hands it to the host and the host's release destroys it.
    [[nodiscard]] bool HasStream() const noexcept { return stream_ != nullptr; }
    void SetStream(std::unique_ptr<ResponseStream> stream) noexcept { stream_ = std::move(stream); }
    [[nodiscard]] std::unique_ptr<ResponseStream> TakeStream() noexcept { return std::move(stream_); }

private:
    BindingResult outcome_;
    std::int32_t status_ = 0;
    std::uint8_t flag_ = 0;
    std::uint32_t mode_ = 0;
    std::string text_;
    std::vector<std::pair<std::string, std::string>> headers_;
    std::unique_ptr<ResponseStream> stream_;
};

// The answer of a handler whose outgoing call failed: status 500 and `message`, or
// "Internal server error" when the message is empty.
[[nodiscard]] CallResult InternalServerError(std::string_view message);

}  // namespace vclient
