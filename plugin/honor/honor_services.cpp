#include "honor/honor_services.h"

#include <optional>

#include "log/log.h"

namespace Vorn::Client::Honor {
namespace {

using vclient::HttpMethod;

constexpr const char* kRegistrationPrefix = "/qiv-pre-end-of-game/v1/registration/";
constexpr const char* kCompletionPrefix = "/qiv-pre-end-of-game/v1/complete/";

// The failure's message ("n/a" when it carries none), or nothing when the step went through.
std::optional<std::string> PostStep(HonorServices& services, HttpMethod method, const std::string& path) {
    const HonorServices::Outcome<void> outcome = services.Request(method, path);
    if (outcome.Succeeded()) return std::nullopt;
    const std::string& message = outcome.GetFailure().message;
    return message.empty() ? std::string("n/a") : message;
}

}  // namespace

void HonorServices::PostEnablement() {
    const auto failed = PostStep(*this, HttpMethod::Post, kRegistrationPrefix + std::string(kHonorVoteStep) + "/1");
    if (failed) QIV_LOG_TRACE("Failed to post enablement to pre-end-of-game plugin: %s", failed->c_str());
}

void HonorServices::PostDisablement() {
    const auto failed = PostStep(*this, HttpMethod::Delete, kRegistrationPrefix + std::string(kHonorVoteStep));
    if (failed) QIV_LOG_TRACE("Failed to post disablement to pre-end-of-game plugin: %s", failed->c_str());
}

void HonorServices::PostCompletion() {
    const auto failed = PostStep(*this, HttpMethod::Post, kCompletionPrefix + std::string(kHonorVoteStep));
    if (failed) QIV_LOG_TRACE("Failed to post completion to pre-end-of-game plugin: %s", failed->c_str());
}

}  // namespace Vorn::Client::Honor
