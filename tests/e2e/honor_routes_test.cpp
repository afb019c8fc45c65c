// The honor REST API as the client's plug-in manager sees it: the fifteen routes of the
// route table, in order, with their function names and arguments, and the router's answer
// to a call that names a route with the wrong method.
#include <string>
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
    std::vector<qivhost::RouteInfo> honorRoutes;
    for (const qivhost::RouteInfo& route : host.Routes()) {
        if (route.pathTemplate.rfind(kApi, 0) == 0) honorRoutes.push_back(route);
    }
    ASSERT_EQ(honorRoutes.size(), std::size(expected));
    for (std::size_t i = 0; i < honorRoutes.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(honorRoutes[i].name, expected[i].name);
        EXPECT_EQ(honorRoutes[i].methodWord, expected[i].method);
        EXPECT_EQ(honorRoutes[i].pathTemplate, expected[i].path);
        if (i + 1 < honorRoutes.size()) {
            EXPECT_LT(honorRoutes[i].index, honorRoutes[i + 1].index);
        }
        if (std::string(expected[i].name) == "PostQivHonorV2V1HonorPlayer") {
            ASSERT_EQ(honorRoutes[i].arguments.size(), 1u);
            EXPECT_EQ(honorRoutes[i].arguments[0].name, "honorPlayerRequest");
            EXPECT_EQ(honorRoutes[i].arguments[0].location, static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_BODY));
        } else {
            EXPECT_TRUE(honorRoutes[i].arguments.empty());
        }
    }
}

TEST_F(HonorRoutes, AWrongMethodIsAnInvalidFunction) {
    StartEnabled();
    const struct {
        const char* method;
        const char* path;
    } cases[] = {
        {"PUT", "ballot"},
        {"POST", "ballot"},
        {"DELETE", "config"},
        {"GET", "honor-player"},
        {"GET", "level-change/ack"},
        {"PATCH", "reward-granted/ack"},
        {"POST", "latest-eligible-game"},
    };
    for (const auto& c : cases) {
        const qivhost::RestAnswer answer = host.Call(c.method, std::string(kApi) + c.path);
        EXPECT_TRUE(answer.reachedPlugin) << c.method << " " << c.path;
        EXPECT_EQ(answer.status, 404) << c.method << " " << c.path;
        EXPECT_EQ(answer.errorText.value_or("(none)"), "Invalid function") << c.method << " " << c.path;
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

TEST_F(HonorRoutes, TheLevelChangeRightAfterItsAcknowledgementIsTheDefault) {
    StartEnabled();
    Message(qivhost::kMessagingLevelChange, LevelChangeJson(4, 5));
    Settle();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_EQ(
        Get("level-change"),
        R"({"actionType":"","currentState":{"checkpoint":-1,"level":-1,"rewardsLocked":false},)"
        R"("dynamicHonorMessage":{"messageId":"","value":-1},)"
        R"("previousState":{"checkpoint":-1,"level":-1,"rewardsLocked":false},"reward":{"quantity":-1,"rewardType":""}})");
}

TEST_F(HonorRoutes, EveryResponseIsReleasedByThePlugin) {
    StartEnabled();
    for (const char* path :
         {"level-change", "ballot", "recognition", "late-recognition", "team-choices", "config", "profile",
          "reward-granted", "full-team-vote", "vote-completion", "latest-eligible-game"}) {
        EXPECT_TRUE(host.Call("GET", std::string(kApi) + path).released) << path;
    }
    EXPECT_EQ(host.Responses().Outstanding(), 0u);
}

}  // namespace
}  // namespace honor_e2e
