// The honor REST API as the client's plug-in manager sees it: the fifteen routes of the
// route table, in order, with their function names and arguments, and the router's answer
// to a call that names a route with the wrong method.
#include <string>
#include <utility>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::ElementsAre;

using HonorRoutes = HonorHost;

TEST_F(HonorRoutes, TheRouteTableListsTheFifteenRoutesInOrder) {
    StartDisabled();
    const struct {
        const char* name;
        const char* method;
        const char* path;
    } expected[] = {
        {"GetQivHonorV2V1LevelChange", "GET", "/qiv-honor-v2/v1/level-change"},
        {"PostQivHonorV2V1LevelChangeAck", "POST", "/qiv-honor-v2/v1/level-change/ack"},
        {"GetQivHonorV2V1Ballot", "GET", "/qiv-honor-v2/v1/ballot"},
        {"GetQivHonorV2V1Recognition", "GET", "/qiv-honor-v2/v1/recognition"},
        {"GetQivHonorV2V1LateRecognition", "GET", "/qiv-honor-v2/v1/late-recognition"},
        {"PostQivHonorV2V1LateRecognitionAck", "POST", "/qiv-honor-v2/v1/late-recognition/ack"},
        {"GetQivHonorV2V1TeamChoices", "GET", "/qiv-honor-v2/v1/team-choices"},
        {"GetQivHonorV2V1Config", "GET", "/qiv-honor-v2/v1/config"},
        {"PostQivHonorV2V1HonorPlayer", "POST", "/qiv-honor-v2/v1/honor-player"},
        {"GetQivHonorV2V1Profile", "GET", "/qiv-honor-v2/v1/profile"},
        {"GetQivHonorV2V1RewardGranted", "GET", "/qiv-honor-v2/v1/reward-granted"},
        {"PostQivHonorV2V1RewardGrantedAck", "POST", "/qiv-honor-v2/v1/reward-granted/ack"},
        {"GetQivHonorV2V1FullTeamVote", "GET", "/qiv-honor-v2/v1/full-team-vote"},
        {"GetQivHonorV2V1VoteCompletion", "GET", "/qiv-honor-v2/v1/vote-completion"},
        {"GetQivHonorV2V1LatestEligibleGame", "GET", "/qiv-honor-v2/v1/latest-eligible-game"},
    };
    std::vector<qivhost::RouteInfo> routes;
    for (const qivhost::RouteInfo& route : host.Routes()) {
        if (route.pathTemplate.rfind(kApi, 0) == 0) routes.push_back(route);
    }
    ASSERT_EQ(routes.size(), std::size(expected));
    for (std::size_t i = 0; i < routes.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(routes[i].name, expected[i].name);
        EXPECT_EQ(routes[i].methodWord, expected[i].method);
        EXPECT_EQ(routes[i].pathTemplate, expected[i].path);
        if (i > 0) {
            EXPECT_LT(routes[i - 1].index, routes[i].index);
        }
        // Only the vote takes an argument: its body.
        const bool vote = std::string(expected[i].name) == "PostQivHonorV2V1HonorPlayer";
        ASSERT_EQ(routes[i].arguments.size(), vote ? 1u : 0u);
        if (!vote) continue;
        EXPECT_EQ(routes[i].arguments[0].name, "honorPlayerRequest");
        EXPECT_EQ(routes[i].arguments[0].location, static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_BODY));
    }
}

TEST_F(HonorRoutes, AWrongMethodIsAnInvalidFunction) {
    StartEnabled();
    const std::pair<const char*, const char*> cases[] = {
        {"PUT", "ballot"},          {"POST", "ballot"},           {"DELETE", "config"},
        {"GET", "honor-player"},    {"GET", "level-change/ack"},  {"PATCH", "reward-granted/ack"},
        {"POST", "latest-eligible-game"},
    };
    for (const auto& [method, path] : cases) {
        SCOPED_TRACE(std::string(method) + " " + path);
        const qivhost::RestAnswer answer = host.Call(method, std::string(kApi) + path);
        EXPECT_TRUE(answer.reachedPlugin);
        EXPECT_EQ(answer.status, 404);
        EXPECT_EQ(answer.errorText.value_or("(none)"), "Invalid function");
    }
    EXPECT_TRUE(host.Components().serviceProxy.Requests().empty()) << "GET honor-player must not vote";
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1"));
}

TEST_F(HonorRoutes, TheAcknowledgementsAnswerWithoutABody) {
    StartEnabled();
    for (const char* path : {"level-change/ack", "late-recognition/ack", "reward-granted/ack"}) {
        const qivhost::RestAnswer answer = Post(path);
        EXPECT_TRUE(Ok(answer)) << path;
        EXPECT_EQ(answer.bodyJson, "null") << path;
    }
}

}  // namespace
}  // namespace honor_e2e
