// HonorLogic: the 26 operations of the honor feature, in the order of their slots: the
// queries behind the REST routes, the acknowledgements, and one handler per subscribed
// resource. Three implementations: ActiveHonorLogic while the feature is enabled,
// InactiveHonorLogic while it is disabled, and HonorPlugin, the dispatcher that updates
// the feature's state (HonorState) and forwards to whichever of the two is in force.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "honor/honor_records.h"
#include "runtime/plugin_resource_event.h"

namespace Vorn::Client::Honor {

template <class T>
using Event = vclient::ResourceEvent<T>;
using vclient::PluginResourceEventType;

class HonorLogic {
public:
    virtual Api::Ballot GetBallot() = 0;
    virtual Api::VendedHonorChange GetLevelChange() = 0;
    virtual void AckLevelChange() = 0;
    virtual std::string HonorPlayer(const Api::ApiHonorPlayerServerRequest& request) = 0;
    virtual Api::ProfileInfo GetProfile() = 0;
    virtual std::vector<Api::Honor> GetRecognition() = 0;
    virtual std::vector<Api::Honor> GetLateRecognition() = 0;
    virtual void AckLateRecognition() = 0;
    virtual std::vector<std::uint64_t> GetTeamChoices() = 0;
    virtual Api::VendedReward GetRewardGranted() = 0;
    virtual void AckRewardGranted() = 0;
    virtual Api::FullTeamVote GetFullTeamVote() = 0;
    virtual Api::VoteCompletion GetVoteCompletion() = 0;
    virtual std::uint64_t GetLatestEligibleGame() = 0;
    virtual void OnSpectate(const Event<bool>& event) = 0;
    virtual void OnGameflowSession(const Event<Api::GameflowSession>& event) = 0;
    virtual void OnLoginSession(const Event<Api::LoginSession>& event) = 0;
    virtual void OnEndOfGameStats(const Event<Api::EndOfGameStats>& event) = 0;
    virtual void OnPostGameCeremony(const Event<std::vector<Api::HonorRecipient>>& event) = 0;
    virtual void OnLevelChangeMessage(const Event<Api::VendedHonorChange>& event) = 0;
    virtual void OnSequenceEvent(const Event<Api::SequenceEvent>& event) = 0;
    virtual void OnRewardGrantedMessage(const Event<Api::VendedReward>& event) = 0;
    virtual void OnFullTeamVote(const Event<Api::FullTeamVote>& event) = 0;
    virtual void OnVoteCompletion(const Event<Api::VoteCompletion>& event) = 0;
    virtual void OnLevelChange(const Api::VendedHonorChange& change) = 0;
    virtual void OnRewardGranted(const Api::VendedReward& reward) = 0;

protected:
    // Never deleted through this interface.
    ~HonorLogic() = default;
};

// Whether an event carries data (Create or Update) rather than a deletion.
template <class T>
[[nodiscard]] bool Carries(const Event<T>& event) {
    return event.eventType != PluginResourceEventType::Delete;
}

}  // namespace Vorn::Client::Honor
