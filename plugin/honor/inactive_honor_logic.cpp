#include "honor/inactive_honor_logic.h"

#include "honor/honor_plugin.h"

namespace Vorn::Client::Honor {

std::string InactiveHonorLogic::HonorPlayer(const Api::ApiHonorPlayerServerRequest&) {
    owner_.PostCompletion();
    owner_.PostDisablement();
    return "";
}

void InactiveHonorLogic::OnSequenceEvent(const Event<Api::SequenceEvent>& event) {
    if (!Carries(event) || event.value.name != kHonorVoteStep) return;
    owner_.PostCompletion();
    owner_.PostDisablement();
}

}  // namespace Vorn::Client::Honor
