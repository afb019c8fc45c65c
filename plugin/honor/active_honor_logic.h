// ActiveHonorLogic: the honor feature while it is switched on. It holds the vote and
// recognition state of the current post-game: the ballot, the honors received, the team
// choices, the full-team vote and the vote completion, and it announces level changes
// and rewards until the user interface acknowledges them. It works on the feature's state
// (HonorState: the post-game facts, the profile, the pending news) and reaches the world
// only through HonorServices.
//
// It takes no lock: everything runs on the host's calling thread, and the waits for the
// honor server and the Vyre connection let other handlers run nested. The order of steps
// around each wait is what those nested handlers see.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "honor/ballot_builder.h"
#include "honor/honor_logic.h"
#include "honor/honor_services.h"
#include "honor/honor_state.h"

namespace Vorn::Client::Honor {

class ActiveHonorLogic final : public HonorLogic {
public:
    // `state` and `services` outlive the logic.
    ActiveHonorLogic(HonorState& state, HonorServices& services, std::shared_ptr<BallotBuilder> ballotBuilder)
        : state_(state), services_(services), ballotBuilder_(std::move(ballotBuilder)) {}

    Api::Ballot GetBallot() override { return ballot_; }
    Api::VendedHonorChange GetLevelChange() override;
    void AckLevelChange() override { Acknowledge(NewsKind::LevelChange); }
    std::string HonorPlayer(const Api::ApiHonorPlayerServerRequest& request) override;
    Api::ProfileInfo GetProfile() override;
    std::vector<Api::Honor> GetRecognition() override { return recognition_; }
    std::vector<Api::Honor> GetLateRecognition() override;
    void AckLateRecognition() override;
    std::vector<std::uint64_t> GetTeamChoices() override { return teamChoices_; }
    Api::VendedReward GetRewardGranted() override;
    void AckRewardGranted() override { Acknowledge(NewsKind::Reward); }
    Api::FullTeamVote GetFullTeamVote() override { return fullTeamVote_; }
    Api::VoteCompletion GetVoteCompletion() override { return voteCompletion_; }
    std::uint64_t GetLatestEligibleGame() override { return currentGameId_; }
    void OnSpectate(const Event<bool>& event) override;
    void OnGameflowSession(const Event<Api::GameflowSession>& event) override;
    void OnLoginSession(const Event<Api::LoginSession>& event) override;
    void OnEndOfGameStats(const Event<Api::EndOfGameStats>& event) override;
    void OnPostGameCeremony(const Event<std::vector<Api::HonorRecipient>>& event) override;
    void OnLevelChangeMessage(const Event<Api::VendedHonorChange>& event) override;
    void OnSequenceEvent(const Event<Api::SequenceEvent>& event) override;
    void OnRewardGrantedMessage(const Event<Api::VendedReward>& event) override;
    void OnFullTeamVote(const Event<Api::FullTeamVote>& event) override;
    void OnVoteCompletion(const Event<Api::VoteCompletion>& event) override;
    void OnLevelChange(const Api::VendedHonorChange& change) override;
    void OnRewardGranted(const Api::VendedReward& reward) override;

    // A configuration event, before the delegate is switched.
    void ApplyConfig(const Event<Api::HonorConfig>& event);
    // Clears the ballot and the results of the last vote and announces their deletion.
    void ResetVoteState();

    [[nodiscard]] bool LoggedIn() const { return loggedIn_; }
    [[nodiscard]] std::uint64_t SummonerId() const { return summonerId_; }
    [[nodiscard]] std::uint64_t AccountId() const { return accountId_; }
    [[nodiscard]] bool Spectating() const { return spectating_; }

private:
    void TryBuildBallot();
    void PublishLevelChange();
    void PublishRewardGranted();
    void Acknowledge(NewsKind kind);
    void AcknowledgeSimpleMessage(const std::string& msgId);
    void UpdateRecognition(const std::vector<Api::HonorRecipient>& recipients);
    void UpdateTeamChoices(const std::vector<Api::HonorRecipient>& recipients);

    HonorState& state_;
    HonorServices& services_;
    std::shared_ptr<BallotBuilder> ballotBuilder_;
    std::uint64_t summonerId_ = 0;
    std::uint64_t accountId_ = 0;
    std::uint64_t currentGameId_ = 0;
    Api::GameflowPhase phase_ = Api::GameflowPhase::None;
    bool leftEndOfGame_ = false;
    bool lateRecognitionAvailable_ = false;
    bool spectating_ = false;
    bool loggedIn_ = false;
    Api::Ballot ballot_;
    Api::HonorConfig config_;
    std::vector<Api::Honor> recognition_;
    std::vector<Api::Honor> lateRecognition_;
    std::vector<std::uint64_t> teamChoices_;
    Api::FullTeamVote fullTeamVote_;
    Api::VoteCompletion voteCompletion_;
};

// The game-flow phases in which late recognition may be shown.
[[nodiscard]] bool IsLateRecognitionPhase(Api::GameflowPhase phase);

}  // namespace Vorn::Client::Honor
