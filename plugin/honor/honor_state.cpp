#include "honor/honor_state.h"

namespace Vorn::Client::Honor {

void HonorState::SetSequenceStep(const Api::SequenceEvent& event) {
    sequenceStepName_ = event.name;
    sequenceStepPriority_ = event.priority;
}

void HonorState::ReceiveLevelChange(const Api::VendedHonorChange& change) {
    pendingLevelChange_ = change;
    Api::ProfileInfo profile;
    profile.honorLevel = change.currentState.level;
    profile.checkpoint = change.currentState.checkpoint;
    profile.rewardsLocked = change.currentState.rewardsLocked;
    profile_ = profile;
    ++levelChange_.arrivals;
}

void HonorState::ReceiveReward(const Api::VendedReward& reward) {
    pendingReward_ = reward;
    ++reward_.arrivals;
}

void HonorState::ClearPending(NewsKind kind) {
    if (kind == NewsKind::LevelChange) {
        pendingLevelChange_.reset();
    } else {
        pendingReward_.reset();
    }
}

void HonorState::ForgetMessage(NewsKind kind, const std::string& msgId) {
    std::optional<Api::VyreSimpleMessage>& message = Of(kind).message;
    if (message.has_value() && message->msgId == msgId) message.reset();
}

}  // namespace Vorn::Client::Honor
