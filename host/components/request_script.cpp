#include "components/request_script.h"

namespace qivhost {

void RequestScript::Clear(const std::string& url) {
    failures_.erase(url);
    streams_.erase(url);
}

void RequestScript::ClearAll() {
    failures_.clear();
    streams_.clear();
}

std::optional<ComponentAnswer> RequestScript::Match(const OutgoingRequest& request) {
    const auto failure = failures_.find(request.url);
    if (failure != failures_.end() && (failure->second.method == 0 || failure->second.method == request.method)) {
        ComponentAnswer answer = ComponentAnswer::Failure(failure->second.status, failure->second.error);
        if (failure->second.times == 1) failures_.erase(failure);
        else if (failure->second.times > 1) --failure->second.times;
        return answer;
    }
    const auto stream = streams_.find(request.url);
    if (stream == streams_.end()) return std::nullopt;
    ComponentAnswer answer;
    answer.stream = stream->second;
    return answer;
}

}  // namespace qivhost
