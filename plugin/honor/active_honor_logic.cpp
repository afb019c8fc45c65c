#include "honor/active_honor_logic.h"

#include "honor/honor_plugin.h"
#include "honor/honor_resources.h"
#include "log/log.h"

namespace Vorn::Client::Honor {
namespace {

const char* OrNa(const std::string& message) { return message.empty() ? "n/a" : message.c_str(); }

bool LongerThan(const std::vector<Api::Honor>& candidate, const std::vector<Api::Honor>& current) {
    return candidate.size() > current.size();
}

}  // namespace

bool IsLateRecognitionPhase(Api::GameflowPhase phase) {
    switch (phase) {
        case Api::GameflowPhase::None:
        case Api::GameflowPhase::Lobby:
        case Api::GameflowPhase::Matchmaking:
        case Api::GameflowPhase::ReadyCheck:
        case Api::GameflowPhase::EndOfGame:
            return true;
        default:
            return false;
    }
}

// ---- Vote state ------------------------------------------------------------------------

void ActiveHonorLogic::ResetVoteState() {
    ballot_ = Api::Ballot{};
    recognition_.clear();
    teamChoices_.clear();
    fullTeamVote_.gameId = 0;
    leftEndOfGame_ = false;
    for (const char* uri : {kTeamChoicesUri, kRecognitionUri, kBallotUri, kRecipientsUri, kFullTeamVoteUri}) {
        owner_.DeleteResource(uri);
    }
}

void ActiveHonorLogic::TryBuildBallot() {
    if (!owner_.Stats().has_value()) return;
    if (owner_.SequenceEventName() != kHonorVoteStep) return;
    std::optional<Api::Ballot> built = ballotBuilder_->BuildBallot(summonerId_, spectating_, owner_.Stats());
    if (built.has_value()) {
        ballot_ = std::move(*built);
        owner_.PublishResource(kBallotUri, ballot_);
        return;
    }
    ResetVoteState();
    owner_.PostCompletion();
}

void ActiveHonorLogic::ApplyConfig(const Event<Api::HonorConfig>& event) {
    config_ = event.value;
    if (!config_.Enabled) {
        if (!owner_.Stats().has_value() && owner_.SequenceEventName() == kHonorVoteStep) {
            ResetVoteState();
            owner_.PostCompletion();
        }
        return;
    }
    ResetVoteState();
    if (owner_.PendingReward().has_value()) owner_.PublishUpdate(kRewardGrantedUri, *owner_.PendingReward());
    if (owner_.PendingLevelChange().has_value()) owner_.PublishUpdate(kLevelChangeUri, *owner_.PendingLevelChange());
}

std::string ActiveHonorLogic::HonorPlayer(const Api::ApiHonorPlayerServerRequest& request) {
    currentGameId_ = request.gameId;
    ServiceProxy::HonorPlayerRequest serverRequest;
    serverRequest.summonerId = request.summonerId;
    serverRequest.honorType = request.honorCategory;
    serverRequest.gameId = request.gameId;
    vclient::MaybeType<vclient::Failure, std::string> answer =
        owner_.Await(owner_.CallServiceProxy<std::string>("honor.server", "honorPlayer", serverRequest));
    if (!answer.Succeeded()) {
        vclient::LogTrace("Failed response for honor.server honorPlayer: %s", OrNa(answer.GetFailure().message));
        ResetVoteState();
        owner_.PostCompletion();
        return "failed_to_contact_honor_server";
    }
    ResetVoteState();
    owner_.PostCompletion();
    return std::move(answer.Value());
}

void ActiveHonorLogic::OnEndOfGameStats(const Event<Api::EndOfGameStats>& event) {
    if (Carries(event)) TryBuildBallot();
}

void ActiveHonorLogic::OnSequenceEvent(const Event<Api::SequenceEvent>& event) {
    if (Carries(event)) TryBuildBallot();
}

// ---- Results of the vote ---------------------------------------------------------------

void ActiveHonorLogic::UpdateRecognition(const std::vector<Api::HonorRecipient>& recipients) {
    for (const Api::HonorRecipient& recipient : recipients) {
        if (recipient.summonerId != summonerId_ || recipient.gameId != currentGameId_) continue;
        if (!LongerThan(recipient.honors, recognition_)) continue;
        recognition_ = recipient.honors;
        owner_.PublishResource(kRecognitionUri, recognition_);
        if (leftEndOfGame_) lateRecognition_ = recognition_;
    }
}

void ActiveHonorLogic::UpdateTeamChoices(const std::vector<Api::HonorRecipient>& recipients) {
    const std::size_t threshold = MajorityThreshold(owner_.Stats());
    std::vector<std::uint64_t> choices;
    for (const Api::HonorRecipient& recipient : recipients) {
        if (recipient.gameId == currentGameId_ && recipient.honors.size() >= threshold) {
            choices.push_back(recipient.summonerId);
        }
    }
    if (choices.size() <= teamChoices_.size()) return;
    teamChoices_ = std::move(choices);
    owner_.PublishResource(kTeamChoicesUri, teamChoices_);
}

void ActiveHonorLogic::OnPostGameCeremony(const Event<std::vector<Api::HonorRecipient>>& event) {
    if (!Carries(event)) return;
    UpdateRecognition(event.value);
    UpdateTeamChoices(event.value);
}

void ActiveHonorLogic::OnFullTeamVote(const Event<Api::FullTeamVote>& event) {
    if (!Carries(event)) return;
    fullTeamVote_ = event.value;
    owner_.PublishResource(kFullTeamVoteUri, fullTeamVote_);
}

void ActiveHonorLogic::OnVoteCompletion(const Event<Api::VoteCompletion>& event) {
    if (!Carries(event) || event.value.gameId != currentGameId_) return;
    voteCompletion_ = event.value;
    owner_.PublishResource(kVoteCompletionUri, voteCompletion_);
    if (!leftEndOfGame_) return;
    lateRecognitionAvailable_ = true;
    owner_.PublishResource(kLateRecognitionUri, GetLateRecognition());
}

// ---- Session facts ---------------------------------------------------------------------

void ActiveHonorLogic::OnSpectate(const Event<bool>& event) {
    if (event.eventType == PluginResourceEventType::Update) spectating_ = event.value;
}

void ActiveHonorLogic::OnLoginSession(const Event<Api::LoginSession>& event) {
    if (!Carries(event)) {
        loggedIn_ = false;
        summonerId_ = 0;
        accountId_ = 0;
        return;
    }
    const Api::LoginSession& session = event.value;
    const bool valid =
        session.state == Api::LoginSessionStates::SUCCEEDED && session.summonerId != 0 && session.accountId != 0;
    if (!loggedIn_ && valid) {
        summonerId_ = session.summonerId;
        accountId_ = session.accountId;
    }
    loggedIn_ = valid;
}

void ActiveHonorLogic::OnGameflowSession(const Event<Api::GameflowSession>& event) {
    if (!Carries(event) || event.value.phase == phase_) return;
    const Api::GameflowPhase old = phase_;
    phase_ = event.value.phase;
    if (old == Api::GameflowPhase::EndOfGame) {
        leftEndOfGame_ = true;
        AckLateRecognition();
    }
    if (IsLateRecognitionPhase(old) != IsLateRecognitionPhase(phase_)) {
        owner_.PublishResource(kLateRecognitionUri, GetLateRecognition());
    }
}

std::vector<Api::Honor> ActiveHonorLogic::GetLateRecognition() {
    if (lateRecognitionAvailable_ && IsLateRecognitionPhase(phase_)) return lateRecognition_;
    return {};
}

void ActiveHonorLogic::AckLateRecognition() {
    lateRecognition_.clear();
    lateRecognitionAvailable_ = false;
    owner_.DeleteResource(kLateRecognitionUri);
}

// ---- Profile and news ------------------------------------------------------------------

Api::ProfileInfo ActiveHonorLogic::GetProfile() {
    if (owner_.Profile().has_value()) return *owner_.Profile();
    vclient::MaybeType<vclient::Failure, ServiceProxy::RetrieveProfileResponse> answer =
        owner_.Await(owner_.CallServiceProxy<ServiceProxy::RetrieveProfileResponse>("honor.server", "retrieveProfile",
                                                                                    vclient::BindingProperty()));
    if (!answer.Succeeded()) {
        vclient::LogTrace("Failed response for honor.server retrieveProfile: %s", OrNa(answer.GetFailure().message));
        return Api::ProfileInfo{};
    }
    Api::ProfileInfo profile;
    profile.honorLevel = answer.Value().honorLevel;
    profile.checkpoint = answer.Value().checkpoint;
    profile.rewardsLocked = answer.Value().rewardsLocked;
    owner_.Profile() = profile;
    return profile;
}

Api::VendedHonorChange ActiveHonorLogic::GetLevelChange() {
    return owner_.PendingLevelChange().value_or(Api::VendedHonorChange{});
}

Api::VendedReward ActiveHonorLogic::GetRewardGranted() { return owner_.PendingReward().value_or(Api::VendedReward{}); }

void ActiveHonorLogic::PublishLevelChange() {
    if (!owner_.PendingLevelChange().has_value()) return;
    owner_.PublishUpdate(kLevelChangeUri, *owner_.PendingLevelChange());
    owner_.PublishUpdate(kProfileUri, owner_.Profile().value_or(Api::ProfileInfo{}));
}

void ActiveHonorLogic::PublishRewardGranted() {
    if (owner_.PendingReward().has_value()) owner_.PublishUpdate(kRewardGrantedUri, *owner_.PendingReward());
}

void ActiveHonorLogic::OnLevelChangeMessage(const Event<Api::VendedHonorChange>& event) {
    if (Carries(event)) PublishLevelChange();
}

void ActiveHonorLogic::OnRewardGrantedMessage(const Event<Api::VendedReward>& event) {
    if (Carries(event)) PublishRewardGranted();
}

void ActiveHonorLogic::OnLevelChange(const Api::VendedHonorChange&) { PublishLevelChange(); }

void ActiveHonorLogic::OnRewardGranted(const Api::VendedReward&) { PublishRewardGranted(); }

void ActiveHonorLogic::AcknowledgeSimpleMessage(const std::string& msgId) {
    Api::VyreSimpleMessageResponse response;
    response.accountId = accountId_;
    response.msgId = msgId;
    response.command = "ack";
    (void)owner_.Await(owner_.InvokeVyre("clientFacadeService", "callPersistenceMessaging", response));
}

// The user interface acknowledges the news it showed. The host may deliver a newer level
// change while the "ack" goes out; that newer one stays pending and published, and keeps
// its own message for its own acknowledgement.
void ActiveHonorLogic::AckLevelChange() {
    const std::uint64_t arrivalsBefore = owner_.LevelChangeArrivals();
    if (owner_.LevelChangeMessage().has_value()) {
        const std::string msgId = owner_.LevelChangeMessage()->msgId;
        AcknowledgeSimpleMessage(msgId);
        if (owner_.LevelChangeMessage().has_value() && owner_.LevelChangeMessage()->msgId == msgId) {
            owner_.LevelChangeMessage().reset();
        }
    }
    if (owner_.LevelChangeArrivals() != arrivalsBefore) return;
    owner_.DeleteResource(kLevelChangeUri);
    owner_.PendingLevelChange().reset();
}

void ActiveHonorLogic::AckRewardGranted() {
    const std::uint64_t arrivalsBefore = owner_.RewardArrivals();
    if (owner_.RewardMessage().has_value()) {
        const std::string msgId = owner_.RewardMessage()->msgId;
        AcknowledgeSimpleMessage(msgId);
        if (owner_.RewardMessage().has_value() && owner_.RewardMessage()->msgId == msgId) {
            owner_.RewardMessage().reset();
        }
    }
    if (owner_.RewardArrivals() != arrivalsBefore) return;
    owner_.DeleteResource(kRewardGrantedUri);
    owner_.PendingReward().reset();
}

}  // namespace Vorn::Client::Honor
