#include "honor/honor_plugin.h"

#include "codec/json_reader.h"
#include "honor/honor_resources.h"
#include "log/log.h"

namespace Vorn::Client::Honor {
namespace {

using vclient::BindingProperty;
using vclient::BindingResult;
using vclient::HttpMethod;

Api::ProfileInfo ProfileOf(const Api::VendedHonorState& state) {
    Api::ProfileInfo profile;
    profile.honorLevel = state.level;
    profile.checkpoint = state.checkpoint;
    profile.rewardsLocked = state.rewardsLocked;
    return profile;
}

}  // namespace

HonorPlugin::HonorPlugin()
    : ballotBuilder_(std::make_shared<BallotBuilder>()), active_(*this, ballotBuilder_), inactive_(*this) {}

// Nothing is sent on the way out: the subscriptions end with the runtime.
HonorPlugin::~HonorPlugin() = default;

void HonorPlugin::RegisterApi() {
    RegisterRecords();
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
    ObserveResource<Api::EndOfGameStats>(kEndOfGameStatsUri, [this](const auto& e) { OnEndOfGameStats(e); });
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
        if (Carries(envelope)) {
            BindingResult parsed = vclient::JsonToBinding(envelope.value.payload);
            BindingResult converted;
            if (parsed.Succeeded()) vclient::FromBinding(converted, parsed.Value(), event.value, "<value>", Types());
            if (!parsed.Succeeded() || !converted.Succeeded()) {
                vclient::LogTrace("Couldn't convert resource %s to C++ while handling update for URL: %s",
                                  std::string(vclient::StaticType::Name<T>()).c_str(), envelope.uri.c_str());
                return;
            }
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
    PublishUpdate(kConfigUri, config_);
}

// ---- The "honor-vote" step -------------------------------------------------------------

// The failure's message ("n/a" when it carries none), or null when the step went through.
std::optional<std::string> HonorPlugin::PostStep(HttpMethod method, const std::string& path) {
    vclient::MaybeType<vclient::Failure, void> outcome = Request(method, path);
    if (outcome.Succeeded()) return std::nullopt;
    const std::string& message = outcome.GetFailure().message;
    return message.empty() ? std::string("n/a") : message;
}

void HonorPlugin::PostEnablement() {
    const auto failed =
        PostStep(HttpMethod::Post, std::string("/qiv-pre-end-of-game/v1/registration/") + kHonorVoteStep + "/1");
    if (failed) vclient::LogTrace("Failed to post enablement to pre-end-of-game plugin: %s", failed->c_str());
}

void HonorPlugin::PostDisablement() {
    const auto failed =
        PostStep(HttpMethod::Delete, std::string("/qiv-pre-end-of-game/v1/registration/") + kHonorVoteStep);
    if (failed) vclient::LogTrace("Failed to post disablement to pre-end-of-game plugin: %s", failed->c_str());
}

void HonorPlugin::PostCompletion() {
    const auto failed = PostStep(HttpMethod::Post, std::string("/qiv-pre-end-of-game/v1/complete/") + kHonorVoteStep);
    if (failed) vclient::LogTrace("Failed to post completion to pre-end-of-game plugin: %s", failed->c_str());
}

// ---- Dispatcher caches -----------------------------------------------------------------

void HonorPlugin::AckLevelChange() {
    pendingLevelChange_.reset();
    delegate_->AckLevelChange();
}

void HonorPlugin::AckRewardGranted() {
    pendingReward_.reset();
    delegate_->AckRewardGranted();
}

void HonorPlugin::OnEndOfGameStats(const Event<Api::EndOfGameStats>& event) {
    if (Carries(event)) {
        endOfGameStats_ = event.value;
    } else {
        endOfGameStats_.reset();
    }
    delegate_->OnEndOfGameStats(event);
}

void HonorPlugin::StoreLevelChange(const Api::VendedHonorChange& change) {
    pendingLevelChange_ = change;
    profile_ = ProfileOf(change.currentState);
    ++levelChangeArrivals_;
}

void HonorPlugin::OnLevelChangeMessage(const Event<Api::VendedHonorChange>& event) {
    if (Carries(event)) StoreLevelChange(event.value);
    delegate_->OnLevelChangeMessage(event);
}

void HonorPlugin::OnSequenceEvent(const Event<Api::SequenceEvent>& event) {
    if (Carries(event)) {
        sequenceEventName_ = event.value.name;
        sequenceEventPriority_ = event.value.priority;
    }
    delegate_->OnSequenceEvent(event);
}

void HonorPlugin::OnRewardGrantedMessage(const Event<Api::VendedReward>& event) {
    if (Carries(event)) {
        pendingReward_ = event.value;
        ++rewardArrivals_;
    }
    delegate_->OnRewardGrantedMessage(event);
}

void HonorPlugin::OnLevelChange(const Api::VendedHonorChange& change) {
    StoreLevelChange(change);
    delegate_->OnLevelChange(change);
}

void HonorPlugin::OnRewardGranted(const Api::VendedReward& reward) {
    pendingReward_ = reward;
    ++rewardArrivals_;
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

void HonorPlugin::OnSimpleDialogMessage(const Api::VyreSimpleMessage& message) {
    if (message.params.empty()) return;
    const std::string& payload = message.params.front();
    const bool levelChange = message.type == "level-change";
    if (!levelChange && message.type != "reward-granted") return;
    BindingResult parsed = vclient::JsonToBinding(payload);
    BindingResult converted;
    if (levelChange) {
        Api::VendedHonorChange change;
        if (parsed.Succeeded() && vclient::FromBinding(converted, parsed.Value(), change, "<value>", Types())) {
            levelChangeMessage_ = message;
            OnLevelChange(change);
            return;
        }
    } else {
        Api::VendedReward reward;
        if (parsed.Succeeded() && vclient::FromBinding(converted, parsed.Value(), reward, "<value>", Types())) {
            rewardMessage_ = message;
            OnRewardGranted(reward);
            return;
        }
    }
    vclient::LogTrace("Couldn't convert simpleDialogMessage with msgType: %s, msgId: %s, payload[0]: %s",
                      message.type.c_str(), message.msgId.c_str(), payload.c_str());
}

}  // namespace Vorn::Client::Honor
