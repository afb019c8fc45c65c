#include "components/pre_end_of_game.h"

#include <cstdlib>

namespace qivhost {
namespace {

constexpr std::string_view kRegistration = "/qiv-pre-end-of-game/v1/registration/";
constexpr std::string_view kComplete = "/qiv-pre-end-of-game/v1/complete/";

bool StartsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

bool ParsePriority(const std::string& text, std::int32_t& out) {
    if (text.empty() || text.size() > 11) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool sign = i == 0 && text[i] == '-' && text.size() > 1;
        if (!sign && (text[i] < '0' || text[i] > '9')) return false;
    }
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value < INT32_MIN || value > INT32_MAX) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

std::optional<ComponentAnswer> PreEndOfGame::Handle(const OutgoingRequest& request) {
    const std::string path = request.Path();
    if (request.method == QIV_HTTP_POST && StartsWith(path, kComplete)) {
        const std::string step = path.substr(kComplete.size());
        if (step.empty() || step.find('/') != std::string::npos) return ComponentAnswer::Failure(400, "Invalid step name");
        completions_.push_back(step);
        history_.push_back("complete " + step);
        return ComponentAnswer::Ok();
    }
    if (!StartsWith(path, kRegistration)) return std::nullopt;
    const std::string rest = path.substr(kRegistration.size());
    const std::size_t slash = rest.find('/');
    const std::string step = rest.substr(0, slash);
    if (step.empty()) return ComponentAnswer::Failure(400, "Invalid step name");
    if (request.method == QIV_HTTP_DELETE && slash == std::string::npos) {
        registrations_.erase(step);
        history_.push_back("withdraw " + step);
        return ComponentAnswer::Ok();
    }
    if (request.method != QIV_HTTP_POST || slash == std::string::npos) return std::nullopt;
    std::int32_t priority = 0;
    if (!ParsePriority(rest.substr(slash + 1), priority)) return ComponentAnswer::Failure(400, "Invalid priority");
    registrations_[step] = priority;
    history_.push_back("register " + step + " " + std::to_string(priority));
    return ComponentAnswer::Ok();
}

}  // namespace qivhost
