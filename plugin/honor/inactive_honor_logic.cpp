#include "honor/inactive_honor_logic.h"

namespace Vorn::Client::Honor {

std::string InactiveHonorLogic::HonorPlayer(const Api::ApiHonorPlayerServerRequest&) {
    services_.PostCompletion();
    services_.PostDisablement();
    return "";
}

void InactiveHonorLogic::OnSequenceEvent(const Event<Api::SequenceEvent>& event) {
    if (!Carries(event) || event.value.name != kHonorVoteStep) return;
    services_.PostCompletion();
    services_.PostDisablement();
}

}  // namespace Vorn::Client::Honor
