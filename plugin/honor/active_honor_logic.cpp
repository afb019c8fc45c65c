#include "honor/active_honor_logic.h"

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
        services_.DeleteResource(uri);
    }
}

void ActiveHonorLogic::TryBuildBallot() {
    if (!state_.Stats().has_value()) return;
    if (state_.SequenceStepName() != kHonorVoteStep) return;
    std::optional<Api::Ballot> built = ballotBuilder_->BuildBallot(summonerId_, spectating_, state_.Stats());
    if (built.has_value()) {
        ballot_ = std::move(*built);
        services_.PublishResource(kBallotUri, ballot_);
        return;
    }
    ResetVoteState();
    services_.PostCompletion();
}

void ActiveHonorLogic::ApplyConfig(const Event<Api::HonorConfig>& event) {
    config_ = event.value;
    if (!config_.Enabled) {
        if (!state_.Stats().has_value() && state_.SequenceStepName() == kHonorVoteStep) {
            ResetVoteState();
            services_.PostCompletion();
        }
        return;
    }
    const bool ballotOpen = !ballot_.eligiblePlayers.empty();
    ResetVoteState();
    if (state_.PendingReward().has_value()) services_.PublishUpdate(kRewardGrantedUri, *state_.PendingReward());
    if (state_.PendingLevelChange().has_value()) services_.PublishUpdate(kLevelChangeUri, *state_.PendingLevelChange());
    // The reset took the ballot of the current "honor-vote" step away; the sequence waits
    // for that step, so the ballot opens again from the facts held, or the step completes.
    if (ballotOpen && state_.SequenceStepName() == kHonorVoteStep) {
        if (state_.Stats().has_value()) {
            TryBuildBallot();
        } else {
            services_.PostCompletion();
        }
    }
}

std::string ActiveHonorLogic::HonorPlayer(const Api::ApiHonorPlayerServerRequest& request) {
    currentGameId_ = request.gameId;
    ServiceProxy::HonorPlayerRequest serverRequest;
    serverRequest.summonerId = request.summonerId;
    serverRequest.honorType = request.honorCategory;
    serverRequest.gameId = request.gameId;
    HonorServices::Outcome<std::string> answer =
        services_.Await(services_.CallServiceProxy("honor.server", "honorPlayer", serverRequest));
    if (!answer.Succeeded()) {
        QIV_LOG_TRACE("Failed response for honor.server honorPlayer: %s", OrNa(answer.GetFailure().message));
        ResetVoteState();
        services_.PostCompletion();
        return "failed_to_contact_honor_server";
    }
    ResetVoteState();
    services_.PostCompletion();
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
        services_.PublishResource(kRecognitionUri, recognition_);
        if (leftEndOfGame_) lateRecognition_ = recognition_;
    }
}

void ActiveHonorLogic::UpdateTeamChoices(const std::vector<Api::HonorRecipient>& recipients) {
    const std::size_t threshold = MajorityThreshold(state_.Stats());
    std::vector<std::uint64_t> choices;
    for (const Api::HonorRecipient& recipient : recipients) {
        if (recipient.gameId == currentGameId_ && recipient.honors.size() >= threshold) {
            choices.push_back(recipient.summonerId);
        }
    }
    if (choices.size() <= teamChoices_.size()) return;
    teamChoices_ = std::move(choices);
    services_.PublishResource(kTeamChoicesUri, teamChoices_);
}

void ActiveHonorLogic::OnPostGameCeremony(const Event<std::vector<Api::HonorRecipient>>& event) {
    if (!Carries(event)) return;
    UpdateRecognition(event.value);
    UpdateTeamChoices(event.value);
}

void ActiveHonorLogic::OnFullTeamVote(const Event<Api::FullTeamVote>& event) {
    if (!Carries(event)) return;
    fullTeamVote_ = event.value;
    services_.PublishResource(kFullTeamVoteUri, fullTeamVote_);
}

void ActiveHonorLogic::OnVoteCompletion(const Event<Api::VoteCompletion>& event) {
    if (!Carries(event) || event.value.gameId != currentGameId_) return;
    voteCompletion_ = event.value;
    services_.PublishResource(kVoteCompletionUri, voteCompletion_);
    if (!leftEndOfGame_) return;
    lateRecognitionAvailable_ = true;
    services_.PublishResource(kLateRecognitionUri, GetLateRecognition());
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
        services_.PublishResource(kLateRecognitionUri, GetLateRecognition());
    }
}

std::vector<Api::Honor> ActiveHonorLogic::GetLateRecognition() {
    if (lateRecognitionAvailable_ && IsLateRecognitionPhase(phase_)) return lateRecognition_;
    return {};
}

void ActiveHonorLogic::AckLateRecognition() {
    lateRecognition_.clear();
    lateRecognitionAvailable_ = false;
    services_.DeleteResource(kLateRecognitionUri);
}

// ---- Profile and news ------------------------------------------------------------------

Api::ProfileInfo ActiveHonorLogic::GetProfile() {
    if (state_.Profile().has_value()) return *state_.Profile();
    HonorServices::Outcome<ServiceProxy::RetrieveProfileResponse> answer =
        services_.Await(services_.CallServiceProxy("honor.server", "retrieveProfile", vclient::BindingProperty()));
    if (!answer.Succeeded()) {
        QIV_LOG_TRACE("Failed response for honor.server retrieveProfile: %s", OrNa(answer.GetFailure().message));
    }
    // A level change handled during the wait brought a newer profile than the answer.
    if (state_.Profile().has_value()) return *state_.Profile();
    if (!answer.Succeeded()) return Api::ProfileInfo{};
    Api::ProfileInfo profile;
    profile.honorLevel = answer.Value().honorLevel;
    profile.checkpoint = answer.Value().checkpoint;
    profile.rewardsLocked = answer.Value().rewardsLocked;
    state_.SetProfile(profile);
    return profile;
}

Api::VendedHonorChange ActiveHonorLogic::GetLevelChange() {
    return state_.PendingLevelChange().value_or(Api::VendedHonorChange{});
}

Api::VendedReward ActiveHonorLogic::GetRewardGranted() { return state_.PendingReward().value_or(Api::VendedReward{}); }

void ActiveHonorLogic::PublishLevelChange() {
    if (!state_.PendingLevelChange().has_value()) return;
    services_.PublishUpdate(kLevelChangeUri, *state_.PendingLevelChange());
    services_.PublishUpdate(kProfileUri, state_.Profile().value_or(Api::ProfileInfo{}));
}

void ActiveHonorLogic::PublishRewardGranted() {
    if (state_.PendingReward().has_value()) services_.PublishUpdate(kRewardGrantedUri, *state_.PendingReward());
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
    (void)services_.Await(services_.InvokeVyre("clientFacadeService", "callPersistenceMessaging", response));
}

// The user interface acknowledges the news of `kind` it showed: the "ack" of the message
// that carried it, if any, then the Delete. The host may deliver newer news of the same
// kind while the "ack" goes out; that newer one stays pending and published, and keeps its
// own message for its own acknowledgement.
void ActiveHonorLogic::Acknowledge(NewsKind kind) {
    const std::uint64_t arrivalsBefore = state_.Arrivals(kind);
    if (state_.Message(kind).has_value()) {
        const std::string msgId = state_.Message(kind)->msgId;
        AcknowledgeSimpleMessage(msgId);
        state_.ForgetMessage(kind, msgId);
    }
    if (state_.Arrivals(kind) != arrivalsBefore) return;
    services_.DeleteResource(kind == NewsKind::LevelChange ? kLevelChangeUri : kRewardGrantedUri);
    state_.ClearPending(kind);
}

}  // namespace Vorn::Client::Honor
