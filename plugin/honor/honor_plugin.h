// HonorPlugin: the one object of the honor feature. It is the plug-in object the host
// loads (a PluginBase) and the dispatcher of the honor operations (a HonorLogic): every
// REST route and every subscription reaches a HonorPlugin operation, which updates the
// feature's state (HonorState) and forwards to the logic in force, ActiveHonorLogic while
// the platform configuration "Honor" enables the feature, InactiveHonorLogic otherwise.
// Because the state lives here, nothing that arrived while the feature was disabled is
// lost when it is enabled again. It also gives both logics their services (HonorServices)
// by calling its runtime functions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "value/binding_property.h"
#include "honor/active_honor_logic.h"
#include "honor/ballot_builder.h"
#include "honor/honor_logic.h"
#include "honor/honor_services.h"
#include "honor/honor_state.h"
#include "honor/inactive_honor_logic.h"
#include "runtime/plugin_base.h"

namespace Vorn::Client::Honor {

class HonorPlugin final : public vclient::PluginBase, public HonorLogic, public HonorServices {
public:
    HonorPlugin();
    ~HonorPlugin() override;

    void RegisterApi() override;
    bool Start() override;

    // The dispatcher: the state, then the delegate.
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
    void ReceiveEndOfGameStats(Event<Api::EndOfGameStats>& event);
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

    // The route of the configuration: the configuration in force.
    Api::HonorConfig GetConfig() { return config_; }

    [[nodiscard]] bool Enabled() const { return delegate_ == &active_; }
    [[nodiscard]] const HonorState& State() const { return state_; }

private:
    // HonorServices, through the runtime.
    void PublishResource(const std::string& uri, const Publication& value) override;
    void PublishUpdate(const std::string& uri, const Publication& value) override;
    void DeleteResource(const std::string& uri) override;
    Outcome<void> Request(vclient::HttpMethod method, const std::string& path) override;
    Pending<std::string> CallServiceProxy(const std::string& service, const std::string& method,
                                          const ServiceProxy::HonorPlayerRequest& request) override;
    Pending<ServiceProxy::RetrieveProfileResponse> CallServiceProxy(const std::string& service,
                                                                    const std::string& method,
                                                                    const vclient::BindingProperty& request) override;
    Pending<void> InvokeVyre(const std::string& destination, const std::string& method,
                             const Api::VyreSimpleMessageResponse& argument) override;
    Outcome<std::string> Await(Pending<std::string> future) override;
    Outcome<ServiceProxy::RetrieveProfileResponse> Await(
        Pending<ServiceProxy::RetrieveProfileResponse> future) override;
    Outcome<void> Await(Pending<void> future) override;

    void RegisterRoutes();
    void MakeSubscriptions();
    template <class T>
    void ObserveMessage(const std::string& uri, void (HonorPlugin::*handler)(const Event<T>&));

    // Inactive until Start (and until a configuration enables the feature), so that a
    // call that arrives before Start finds the defaults rather than nothing.
    HonorLogic* delegate_ = &inactive_;
    std::shared_ptr<BallotBuilder> ballotBuilder_;
    HonorState state_;
    ActiveHonorLogic active_;
    InactiveHonorLogic inactive_;
    Api::HonorConfig config_;
};

}  // namespace Vorn::Client::Honor
