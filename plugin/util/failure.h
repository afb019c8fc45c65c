// Failure: what went wrong in a request, a service call, a publication or a wait. A
// failure has a code (0 when there is none), a readable message, and the named values
// that were substituted into the message's placeholders (plus the code under
// "errorCode_int" when it is not 0), so that callers can read the parts without parsing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "util/format_named.h"
#include "util/named_value.h"

namespace vclient {

struct Failure {
    std::int32_t code = 0;
    std::string message;
    PropertyMap values;

    Failure() = default;
    Failure(std::int32_t failureCode, std::string text) : code(failureCode), message(std::move(text)) {
        RecordCode();
    }

    // A failure whose message is `templ` with its named placeholders ("{method}", ...)
    // filled from `args` in order; the values are kept under their names.
    template <class... A>
    [[nodiscard]] static Failure Named(std::int32_t failureCode, std::string_view templ, const A&... args) {
        Failure failure;
        failure.code = failureCode;
        failure.message = FormatNamedMessage(templ, failure.values, args...);
        failure.RecordCode();
        return failure;
    }

private:
    void RecordCode() {
        if (code != 0) values["errorCode_int"] = static_cast<std::int64_t>(code);
    }
};

}  // namespace vclient
