// HonorPlugin: the one object of the honor feature. It is the plug-in object the host
// loads (a PluginBase) and the dispatcher of the honor operations (a HonorLogic): every
// REST route and every subscription reaches a HonorPlugin operation, which keeps a few
// caches of its own and forwards to the logic in force, ActiveHonorLogic while the
// platform configuration "Honor" enables the feature, InactiveHonorLogic otherwise.
// Because the caches live here, nothing that arrived while the feature was disabled is
// lost when it is enabled again.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "value/binding_property.h"
#include "honor/active_honor_logic.h"
#include "honor/ballot_builder.h"
#include "honor/honor_logic.h"
#include "honor/inactive_honor_logic.h"
#include "runtime/plugin_base.h"

namespace Vorn::Client::Honor {

// The post-game step this feature owns.
inline constexpr const char* kHonorVoteStep = "honor-vote";

class HonorPlugin final : public vclient::PluginBase, public HonorLogic {
public:
    HonorPlugin();
    ~HonorPlugin() override;

    void RegisterApi() override;
    bool Start() override;

    // The dispatcher: caches, then the delegate.
    Api::Ballot GetBallot() override { return delegate_->GetBallot(); }
    Api::VendedHonorChange GetLevelChange() override { return delegate_->GetLevelChange(); }
    void AckLevelChange() override;
    std::string HonorPlayer(const Api::ApiHonorPlayerServerRequest& request) override {
        return delegate_->HonorPlayer(request);
    }
    Api::ProfileInfo GetProfile() override { return delegate_->GetProfile(); }
    std::vector<Api::Honor> GetRecognition() override { return delegate_->GetRecognition(); }
    std::vector<Api::Honor> GetLateRecognition() override { return delegate_->GetLateRecognition(); }
    void AckLateRecognition() override { delegate_->AckLateRecognition(); }
    std::vector<std::uint64_t> GetTeamChoices() override { return delegate_->GetTeamChoices(); }
    Api::VendedReward GetRewardGranted() override { return delegate_->GetRewardGranted(); }
    void AckRewardGranted() override;
    Api::FullTeamVote GetFullTeamVote() override { return delegate_->GetFullTeamVote(); }
    Api::VoteCompletion GetVoteCompletion() override { return delegate_->GetVoteCompletion(); }
    std::uint64_t GetLatestEligibleGame() override { return delegate_->GetLatestEligibleGame(); }
    void OnSpectate(const Event<bool>& event) override { active_.OnSpectate(event); }
    void OnGameflowSession(const Event<Api::GameflowSession>& event) override {
        delegate_->OnGameflowSession(event);
    }
    void OnLoginSession(const Event<Api::LoginSession>& event) override { active_.OnLoginSession(event); }
    void OnEndOfGameStats(const Event<Api::EndOfGameStats>& event) override;
    void OnPostGameCeremony(const Event<std::vector<Api::HonorRecipient>>& event) override {
        delegate_->OnPostGameCeremony(event);
    }
    void OnLevelChangeMessage(const Event<Api::VendedHonorChange>& event) override;
    void OnSequenceEvent(const Event<Api::SequenceEvent>& event) override;
    void OnRewardGrantedMessage(const Event<Api::VendedReward>& event) override;
    void OnFullTeamVote(const Event<Api::FullTeamVote>& event) override { delegate_->OnFullTeamVote(event); }
    void OnVoteCompletion(const Event<Api::VoteCompletion>& event) override { delegate_->OnVoteCompletion(event); }
    void OnLevelChange(const Api::VendedHonorChange& change) override;
    void OnRewardGranted(const Api::VendedReward& reward) override;

    // Handlers of their own.
    void OnHonorConfig(const Event<Api::HonorConfig>& event);
    void OnLoginDataPacket(const Event<vclient::BindingProperty>& event);
    void OnSimpleDialogMessage(const Api::VyreSimpleMessage& message);

    // The "honor-vote" step at the pre-end-of-game plug-in. Failures are traced only.
    void PostEnablement();
    void PostDisablement();
    void PostCompletion();

    // The route of the configuration: the configuration in force.
    Api::HonorConfig GetConfig() { return config_; }

    // Caches the logic objects read and write.
    [[nodiscard]] const std::optional<Api::EndOfGameStats>& Stats() const { return endOfGameStats_; }
    [[nodiscard]] const std::string& SequenceEventName() const { return sequenceEventName_; }
    std::optional<Api::VendedHonorChange>& PendingLevelChange() { return pendingLevelChange_; }
    std::optional<Api::VendedReward>& PendingReward() { return pendingReward_; }
    std::optional<Api::ProfileInfo>& Profile() { return profile_; }
    std::optional<Api::VyreSimpleMessage>& LevelChangeMessage() { return levelChangeMessage_; }
    std::optional<Api::VyreSimpleMessage>& RewardMessage() { return rewardMessage_; }
    // Counts the level changes (and rewards) that arrived, so that an acknowledgement
    // can tell whether a newer one came while it waited.
    [[nodiscard]] std::uint64_t LevelChangeArrivals() const { return levelChangeArrivals_; }
    [[nodiscard]] std::uint64_t RewardArrivals() const { return rewardArrivals_; }

    [[nodiscard]] bool Enabled() const { return delegate_ == &active_; }
    [[nodiscard]] const ActiveHonorLogic& Active() const { return active_; }

private:
    void RegisterRecords();
    void RegisterRoutes();
    void MakeSubscriptions();
    void StoreLevelChange(const Api::VendedHonorChange& change);
    template <class T>
    void ObserveMessage(const std::string& uri, void (HonorPlugin::*handler)(const Event<T>&));
    std::optional<std::string> PostStep(vclient::HttpMethod method, const std::string& path);

    // Inactive until Start (and until a configuration enables the feature), so that a
    // call that arrives before Start finds the defaults rather than nothing.
    HonorLogic* delegate_ = &inactive_;
    std::shared_ptr<BallotBuilder> ballotBuilder_;
    ActiveHonorLogic active_;
    InactiveHonorLogic inactive_;
    Api::HonorConfig config_;
    std::optional<Api::EndOfGameStats> endOfGameStats_;
    std::string sequenceEventName_;
    std::int32_t sequenceEventPriority_ = -1;
    std::optional<Api::VendedHonorChange> pendingLevelChange_;
    std::optional<Api::VendedReward> pendingReward_;
    std::optional<Api::ProfileInfo> profile_;
    std::optional<Api::VyreSimpleMessage> levelChangeMessage_;
    std::optional<Api::VyreSimpleMessage> rewardMessage_;
    std::uint64_t levelChangeArrivals_ = 0;
    std::uint64_t rewardArrivals_ = 0;
};

}  // namespace Vorn::Client::Honor
