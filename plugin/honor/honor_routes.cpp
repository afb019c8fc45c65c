// The fifteen routes of the honor REST API, in their order. All but the configuration
// route are dispatcher operations, so they answer from the logic in force.
#include "honor/honor_plugin.h"
#include "router/api_registry.h"

namespace Vorn::Client::Honor {

using vclient::HttpMethod;

void HonorPlugin::RegisterRoutes() {
    vclient::ApiRegistry& api = Registry();
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/level-change", this, &HonorPlugin::GetLevelChange);
    api.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/level-change/ack", this, &HonorPlugin::AckLevelChange);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/ballot", this, &HonorPlugin::GetBallot);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/recognition", this, &HonorPlugin::GetRecognition);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/late-recognition", this, &HonorPlugin::GetLateRecognition);
    api.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/late-recognition/ack", this, &HonorPlugin::AckLateRecognition);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/team-choices", this, &HonorPlugin::GetTeamChoices);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/config", this, &HonorPlugin::GetConfig);
    api.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/honor-player", this, &HonorPlugin::HonorPlayer)
        .Body("honorPlayerRequest", "");
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/profile", this, &HonorPlugin::GetProfile);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/reward-granted", this, &HonorPlugin::GetRewardGranted);
    api.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/reward-granted/ack", this, &HonorPlugin::AckRewardGranted);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/full-team-vote", this, &HonorPlugin::GetFullTeamVote);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/vote-completion", this, &HonorPlugin::GetVoteCompletion);
    api.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/latest-eligible-game", this, &HonorPlugin::GetLatestEligibleGame);
}

}  // namespace Vorn::Client::Honor
