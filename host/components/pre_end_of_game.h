// The pre-end-of-game plug-in: the post-game steps that other plug-ins register and
// complete.
//   POST   "/qiv-pre-end-of-game/v1/registration/<step>/<n>"  registers step with priority n
//   DELETE "/qiv-pre-end-of-game/v1/registration/<step>"      withdraws it (also when absent)
//   POST   "/qiv-pre-end-of-game/v1/complete/<step>"          completes it
// A missing step name or a priority that is not a decimal 32-bit number is refused with
// status 400. The current sequence event ("/qiv-pre-end-of-game/v1/currentSequenceEvent",
// {name, priority}) is an ordinary resource of the store.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/component_answer.h"
#include "core/outgoing_request.h"

namespace qivhost {

inline constexpr char kPreEndOfGamePrefix[] = "/qiv-pre-end-of-game/v1/";
inline constexpr char kCurrentSequenceEventUri[] = "/qiv-pre-end-of-game/v1/currentSequenceEvent";

class PreEndOfGame {
public:
    // Nothing when the request is not one of the three above (the caller goes on routing).
    [[nodiscard]] std::optional<ComponentAnswer> Handle(const OutgoingRequest& request);

    const std::map<std::string, std::int32_t>& Registrations() const { return registrations_; }
    const std::vector<std::string>& Completions() const { return completions_; }
    // "register honor-vote 1", "withdraw honor-vote", "complete honor-vote", in order.
    const std::vector<std::string>& History() const { return history_; }

private:
    std::map<std::string, std::int32_t> registrations_;
    std::vector<std::string> completions_;
    std::vector<std::string> history_;
};

}  // namespace qivhost
