#include "router/call_result.h"

namespace vclient {

CallResult CallResult::Failed(std::int32_t status, std::string_view message) {
    CallResult result;
    result.Fail(message, status);
    return result;
}

void CallResult::Fail(std::string_view message, std::int32_t status) {
    outcome_.Fail(message);
    if (status != 0) status_ = status;
}

CallResult InternalServerError(std::string_view message) {
    return CallResult::Failed(500, message.empty() ? std::string_view("Internal server error") : message);
}

}  // namespace vclient
