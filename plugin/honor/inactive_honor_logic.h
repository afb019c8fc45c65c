// InactiveHonorLogic: the honor feature while it is switched off. Every query answers a
// default record; a current "honor-vote" step is released at once.
#pragma once

#include "honor/honor_logic.h"
#include "honor/honor_services.h"

namespace Vorn::Client::Honor {

class InactiveHonorLogic final : public HonorLogic {
public:
    // `services` outlives the logic.
    explicit InactiveHonorLogic(HonorServices& services) : services_(services) {}

    Api::Ballot GetBallot() override { return {}; }
    Api::VendedHonorChange GetLevelChange() override { return {}; }
    void AckLevelChange() override {}
    std::string HonorPlayer(const Api::ApiHonorPlayerServerRequest& request) override;
    Api::ProfileInfo GetProfile() override { return {}; }
    std::vector<Api::Honor> GetRecognition() override { return {}; }
    std::vector<Api::Honor> GetLateRecognition() override { return {}; }
    void AckLateRecognition() override {}
    std::vector<std::uint64_t> GetTeamChoices() override { return {}; }
    Api::VendedReward GetRewardGranted() override { return {}; }
    void AckRewardGranted() override {}
    Api::FullTeamVote GetFullTeamVote() override { return {}; }
    Api::VoteCompletion GetVoteCompletion() override { return {}; }
    std::uint64_t GetLatestEligibleGame() override { return 0; }
    void OnSpectate(const Event<bool>&) override {}
    void OnGameflowSession(const Event<Api::GameflowSession>&) override {}
    void OnLoginSession(const Event<Api::LoginSession>&) override {}
    void OnEndOfGameStats(const Event<Api::EndOfGameStats>&) override {}
    void OnPostGameCeremony(const Event<std::vector<Api::HonorRecipient>>&) override {}
    void OnLevelChangeMessage(const Event<Api::VendedHonorChange>&) override {}
    void OnSequenceEvent(const Event<Api::SequenceEvent>& event) override;
    void OnRewardGrantedMessage(const Event<Api::VendedReward>&) override {}
    void OnFullTeamVote(const Event<Api::FullTeamVote>&) override {}
    void OnVoteCompletion(const Event<Api::VoteCompletion>&) override {}
    void OnLevelChange(const Api::VendedHonorChange&) override {}
    void OnRewardGranted(const Api::VendedReward&) override {}

private:
    HonorServices& services_;
};

}  // namespace Vorn::Client::Honor
