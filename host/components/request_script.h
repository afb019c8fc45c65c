// Scripted answers per URL, checked before any component: a failure (status and error
// text, for one method or all, for a number of requests or until cleared) or a streamed
// body. The URL is compared with the request's URL exactly, query included.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "core/component_answer.h"
#include "core/outgoing_request.h"

namespace qivhost {

struct ScriptedFailure {
    std::int32_t status = 500;
    std::string error = "Internal server error";
    std::uint32_t method = 0;  // 0: every method
    std::uint32_t times = 0;   // 0: until cleared
};

class RequestScript {
public:
    void Fail(const std::string& url, ScriptedFailure failure) { failures_[url] = std::move(failure); }
    void Stream(const std::string& url, StreamScript stream) { streams_[url] = std::move(stream); }
    void Clear(const std::string& url);
    void ClearAll();

    [[nodiscard]] std::optional<ComponentAnswer> Match(const OutgoingRequest& request);

private:
    std::map<std::string, ScriptedFailure> failures_;
    std::map<std::string, StreamScript> streams_;
};

}  // namespace qivhost
