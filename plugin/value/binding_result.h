// BindingResult: the outcome of every conversion and codec, a BindingProperty plus a
// success flag. A default result is a success holding Empty. A failed result holds the
// Structure {"error": message} and the flag false; the flag is the verdict and the
// "error" field the text, nothing else marks a failure.
//
// Conversions take a result as their context, do nothing once it has failed and call
// Fail with a user-facing text on the first error, so failures travel as values.
#pragma once

#include <string>
#include <string_view>

#include "value/binding_property.h"

namespace vclient {

class [[nodiscard]] BindingResult {
public:
    BindingResult() noexcept {}  // user-provided so that `const BindingResult r;` works
    // A success holding `value`.
    BindingResult(const BindingProperty& value) : value_(value) {}  // NOLINT: implicit on purpose
    BindingResult(BindingProperty&& value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose

    [[nodiscard]] bool Succeeded() const noexcept { return succeeded_; }
    // Marks the result a success again, leaving the value as it is.
    void MarkSucceeded() noexcept { succeeded_ = true; }
    // Replaces the value by {"error": message} and marks the result failed.
    void Fail(std::string_view message);
    // The failure text: empty for a success, or when the "error" field is not a String.
    [[nodiscard]] const std::string& ErrorMessage() const noexcept;

    [[nodiscard]] BindingProperty& Value() noexcept { return value_; }
    [[nodiscard]] const BindingProperty& Value() const noexcept { return value_; }

private:
    BindingProperty value_;
    bool succeeded_ = true;
};

}  // namespace vclient
