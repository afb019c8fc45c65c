#include "honor/honor_plugin.h"

#include <utility>

#include "honor/honor_records.h"
#include "honor/honor_resources.h"
#include "log/log.h"
#include "runtime/json_record.h"

namespace Vorn::Client::Honor {

using vclient::BindingProperty;
using vclient::BindingResult;

HonorPlugin::HonorPlugin()
    : ballotBuilder_(std::make_shared<BallotBuilder>()),
      active_(state_, *this, ballotBuilder_),
      inactive_(*this) {}

// Nothing is sent on the way out: the subscriptions end with the runtime.
HonorPlugin::~HonorPlugin() = default;

void HonorPlugin::RegisterApi() {
    RegisterRecords(Registry(), RoutePrefix());
    SetVyreClassName(vclient::StaticType::Key<Api::VyreSimpleMessage>(), kSimpleDialogMessageClass);
    SetVyreClassName(vclient::StaticType::Key<Api::VyreSimpleMessageResponse>(), kSimpleDialogMessageResponseClass);
    RegisterRoutes();
}

bool HonorPlugin::Start() {
    delegate_ = &inactive_;
    MakeSubscriptions();
    return true;
}

// Subscriptions in their order: the facts first (statistics, spectate flag, game flow,
// login), so that a configuration that enables the feature already finds them, then the
// configuration, then what only the enabled logic needs.
void HonorPlugin::MakeSubscriptions() {
    ObserveResource<Api::EndOfGameStats>(kEndOfGameStatsUri, [this](auto& e) { ReceiveEndOfGameStats(e); });
    ObserveResource<bool>(kSpectateUri, [this](const auto& e) { OnSpectate(e); });
    ObserveResource<Api::GameflowSession>(kGameflowSessionUri, [this](const auto& e) { OnGameflowSession(e); });
    ObserveResource<Api::LoginSession>(kLoginSessionUri, [this](const auto& e) { OnLoginSession(e); });
    ObserveResource<Api::HonorConfig>(kHonorNamespaceUri, [this](const auto& e) { OnHonorConfig(e); });
    ObserveResource<Api::SequenceEvent>(kSequenceEventUri, [this](const auto& e) { OnSequenceEvent(e); });
    ObserveResource<BindingProperty>(kLoginDataPacketUri, [this](const auto& e) { OnLoginDataPacket(e); });
    ObserveMessage<std::vector<Api::HonorRecipient>>(kPostGameCeremonyUri, &HonorPlugin::OnPostGameCeremony);
    ObserveMessage<Api::VendedHonorChange>(kLevelChangeMessageUri, &HonorPlugin::OnLevelChangeMessage);
    ObserveMessage<Api::VendedReward>(kRewardGrantedMessageUri, &HonorPlugin::OnRewardGrantedMessage);
    ObserveMessage<Api::FullTeamVote>(kFullTeamVoteMessageUri, &HonorPlugin::OnFullTeamVote);
    ObserveMessage<Api::VoteCompletion>(kVoteCompletionMessageUri, &HonorPlugin::OnVoteCompletion);
    SubscribeVyre<Api::VyreSimpleMessage>(kSimpleDialogMessageClass,
                                          [this](const Api::VyreSimpleMessage& m) { OnSimpleDialogMessage(m); });
}

// A messaging-service resource: its data is an envelope whose `payload` is the JSON text
// of the record the handler takes. A Delete reaches the handler with a default record; a
// payload that does not convert never reaches it.
template <class T>
void HonorPlugin::ObserveMessage(const std::string& uri, void (HonorPlugin::*handler)(const Event<T>&)) {
    ObserveResource<Api::VMSMessage>(uri, [this, handler](const Event<Api::VMSMessage>& envelope) {
        Event<T> event;
        event.uri = envelope.uri;
        event.eventType = envelope.eventType;
        BindingResult converted;
        if (Carries(envelope) &&
            !vclient::JsonToRecord(converted, envelope.value.payload, event.value, "<value>", Types())) {
            QIV_LOG_TRACE("Couldn't convert resource %s to C++ while handling update for URL: %s",
                          std::string(vclient::StaticType::Name<T>()).c_str(), envelope.uri.c_str());
            return;
        }
        (this->*handler)(event);
    });
}

// ---- Configuration ---------------------------------------------------------------------

void HonorPlugin::OnHonorConfig(const Event<Api::HonorConfig>& event) {
    config_ = event.value;
    if (Carries(event)) {
        active_.ApplyConfig(event);
        if (config_.Enabled) {
            PostEnablement();
            delegate_ = &active_;
        } else {
            PostDisablement();
            delegate_ = &inactive_;
        }
    } else {
        PostDisablement();
        delegate_ = &inactive_;
    }
    AppModule::PublishUpdate(kConfigUri, config_);
}

// ---- Services -------------------------------------------------------------------------

void HonorPlugin::PublishResource(const std::string& uri, const Publication& value) {
    std::visit([&](const auto& record) { AppModule::PublishResource(uri, record); }, value);
}

void HonorPlugin::PublishUpdate(const std::string& uri, const Publication& value) {
    std::visit([&](const auto& record) { AppModule::PublishUpdate(uri, record); }, value);
}

void HonorPlugin::DeleteResource(const std::string& uri) { AppModule::DeleteResource(uri); }

HonorServices::Outcome<void> HonorPlugin::Request(vclient::HttpMethod method, const std::string& path) {
    return AppModule::Request(method, path);
}

HonorServices::Pending<std::string> HonorPlugin::CallServiceProxy(const std::string& service,
                                                                  const std::string& method,
                                                                  const ServiceProxy::HonorPlayerRequest& request) {
    return AppModule::CallServiceProxy<std::string>(service, method, request);
}

HonorServices::Pending<ServiceProxy::RetrieveProfileResponse> HonorPlugin::CallServiceProxy(
    const std::string& service, const std::string& method, const BindingProperty& request) {
    return AppModule::CallServiceProxy<ServiceProxy::RetrieveProfileResponse>(service, method, request);
}

HonorServices::Pending<void> HonorPlugin::InvokeVyre(const std::string& destination, const std::string& method,
                                                     const Api::VyreSimpleMessageResponse& argument) {
    return AppModule::InvokeVyre(destination, method, argument);
}

HonorServices::Outcome<std::string> HonorPlugin::Await(Pending<std::string> future) {
    return AppModule::Await(std::move(future));
}

HonorServices::Outcome<ServiceProxy::RetrieveProfileResponse> HonorPlugin::Await(
    Pending<ServiceProxy::RetrieveProfileResponse> future) {
    return AppModule::Await(std::move(future));
}

HonorServices::Outcome<void> HonorPlugin::Await(Pending<void> future) { return AppModule::Await(std::move(future)); }

// ---- Dispatcher: the state, then the delegate ------------------------------------------

void HonorPlugin::AckLevelChange() {
    state_.ClearPending(NewsKind::LevelChange);
    delegate_->AckLevelChange();
}

void HonorPlugin::AckRewardGranted() {
    state_.ClearPending(NewsKind::Reward);
    delegate_->AckRewardGranted();
}

void HonorPlugin::OnEndOfGameStats(const Event<Api::EndOfGameStats>& event) {
    Event<Api::EndOfGameStats> copy = event;
    ReceiveEndOfGameStats(copy);
}

// The statistics are the largest record the plug-in receives: the state takes them over
// from the event (the logic reads them from the state, the event tells it only that they
// came).
void HonorPlugin::ReceiveEndOfGameStats(Event<Api::EndOfGameStats>& event) {
    if (Carries(event)) {
        state_.SetStats(std::move(event.value));
    } else {
        state_.ClearStats();
    }
    delegate_->OnEndOfGameStats(event);
}

void HonorPlugin::OnSequenceEvent(const Event<Api::SequenceEvent>& event) {
    if (Carries(event)) state_.SetSequenceStep(event.value);
    delegate_->OnSequenceEvent(event);
}

void HonorPlugin::OnLevelChangeMessage(const Event<Api::VendedHonorChange>& event) {
    if (Carries(event)) state_.ReceiveLevelChange(event.value);
    delegate_->OnLevelChangeMessage(event);
}

void HonorPlugin::OnRewardGrantedMessage(const Event<Api::VendedReward>& event) {
    if (Carries(event)) state_.ReceiveReward(event.value);
    delegate_->OnRewardGrantedMessage(event);
}

void HonorPlugin::OnLevelChange(const Api::VendedHonorChange& change) {
    state_.ReceiveLevelChange(change);
    delegate_->OnLevelChange(change);
}

void HonorPlugin::OnRewardGranted(const Api::VendedReward& reward) {
    state_.ReceiveReward(reward);
    delegate_->OnRewardGranted(reward);
}

// ---- Legacy simple dialog messages -----------------------------------------------------

void HonorPlugin::OnLoginDataPacket(const Event<BindingProperty>& event) {
    if (!Carries(event)) return;
    const BindingProperty& messages = event.value.Find("simpleMessages");
    for (const BindingProperty& element : messages.Elements()) {
        BindingResult converted;
        Api::VyreSimpleMessage message;
        if (vclient::FromBinding(converted, element, message, "<value>", Types())) OnSimpleDialogMessage(message);
    }
}

// The message is kept before the dispatcher runs, also while the feature is disabled, so
// that a later acknowledgement in the enabled state sends its "ack".
void HonorPlugin::OnSimpleDialogMessage(const Api::VyreSimpleMessage& message) {
    if (message.params.empty()) return;
    const std::string& payload = message.params.front();
    BindingResult converted;
    if (message.type == "level-change") {
        Api::VendedHonorChange change;
        if (vclient::JsonToRecord(converted, payload, change, "<value>", Types())) {
            state_.KeepMessage(NewsKind::LevelChange, message);
            OnLevelChange(change);
            return;
        }
    } else if (message.type == "reward-granted") {
        Api::VendedReward reward;
        if (vclient::JsonToRecord(converted, payload, reward, "<value>", Types())) {
            state_.KeepMessage(NewsKind::Reward, message);
            OnRewardGranted(reward);
            return;
        }
    } else {
        return;
    }
    QIV_LOG_TRACE("Couldn't convert simpleDialogMessage with msgType: %s, msgId: %s, payload[0]: %s",
                  message.type.c_str(), message.msgId.c_str(), payload.c_str());
}

}  // namespace Vorn::Client::Honor
