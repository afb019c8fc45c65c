#include "value/binding_result.h"

namespace vclient {

namespace {

constexpr std::string_view kErrorField = "error";

}  // namespace

void BindingResult::Fail(std::string_view message) {
    // The message may be a text of this very value (a failure passed on), so it is
    // copied before the value is cleared.
    std::string text(message);
    value_.Clear();
    succeeded_ = false;
    value_.Field(kErrorField).SetString(std::move(text));
}

const std::string& BindingResult::ErrorMessage() const noexcept {
    if (succeeded_) {
        return BindingProperty::EmptyString();
    }
    return value_.Find(kErrorField).GetString();
}

}  // namespace vclient
