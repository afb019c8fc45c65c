// The honor feature switched on and off by the platform configuration "Honor", its route
// table, the "honor-vote" step at the pre-end-of-game plug-in, and the session facts
// (login, spectating) that the feature keeps whatever its state.
#include <ostream>
#include <string>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr char kConfigUpdate[] = "Update /qiv-honor-v2/v1/config";

// The summoner ids a ballot lists.
std::vector<std::uint64_t> BallotIds(const std::string& ballotJson) {
    std::vector<std::uint64_t> ids;
    const rapidjson::Document ballot = Parse(ballotJson);
    for (const auto& player : ballot["eligiblePlayers"].GetArray()) ids.push_back(player["summonerId"].GetUint64());
    return ids;
}

using HonorDisabled = HonorHost;

// How the router names, matches and answers routes is the router's tests'.
TEST_F(HonorDisabled, TheRouteTableListsTheFifteenRoutesInOrder) {
    StartDisabled();
    std::vector<std::string> routes;
    for (const qivhost::RouteInfo& route : host.Routes()) {
        if (route.pathTemplate.rfind(kApi, 0) != 0) continue;
        routes.push_back(route.methodWord + " " + route.pathTemplate.substr(std::string(kApi).size()));
        const bool vote = route.name == "PostQivHonorV2V1HonorPlayer";  // the one argument: the vote's body
        ASSERT_EQ(route.arguments.size(), vote ? 1u : 0u) << route.name;
        if (!vote) continue;
        EXPECT_EQ(route.arguments[0].name, "honorPlayerRequest");
        EXPECT_EQ(route.arguments[0].location, static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_BODY));
    }
    EXPECT_THAT(routes, ElementsAre("GET level-change", "POST level-change/ack", "GET ballot", "GET recognition",
                                    "GET late-recognition", "POST late-recognition/ack", "GET team-choices",
                                    "GET config", "POST honor-player", "GET profile", "GET reward-granted",
                                    "POST reward-granted/ack", "GET full-team-vote", "GET vote-completion",
                                    "GET latest-eligible-game"));
}

TEST_F(HonorDisabled, EveryRouteAnswersTheInactiveDefaultsBeforeAnyConfiguration) {
    StartDisabled();
    const std::pair<const char*, const char*> cases[] = {
        {"level-change", kDefaultLevelChange}, {"ballot", kEmptyBallot}, {"recognition", "[]"},
        {"late-recognition", "[]"}, {"team-choices", "[]"}, {"config", kDefaultConfig}, {"profile", kUnknownProfile},
        {"reward-granted", kDefaultReward}, {"full-team-vote", R"({"gameId":0})"},
        {"vote-completion", R"({"fullTeamVote":false,"gameId":0})"}, {"latest-eligible-game", "0"}};
    for (const auto& [path, body] : cases) EXPECT_EQ(Get(path), body) << path;
    EXPECT_THAT(host.Components().server.Calls(), IsEmpty()) << "the disabled profile never asks the server";
    EXPECT_THAT(Published(), IsEmpty());
    EXPECT_THAT(PreEndOfGame(), IsEmpty());
}

// A "honor-vote" step, or a vote, is completed at once and the registration withdrawn.
TEST_F(HonorDisabled, TheHonorVoteStepIsReleasedAtOnce) {
    StartDisabled();
    std::size_t mark = Mark();
    Step("champion-mastery", 2);  // another step is none of the feature's business
    Step(kHonorVote);
    EXPECT_THAT(Steps(mark), ElementsAre(kCompletion, kDisablement));
    mark = Mark();
    EXPECT_EQ(Vote(2001, "HEART", kReportGame), "\"\"");
    EXPECT_THAT(Steps(mark), ElementsAre(kCompletion, kDisablement));
    EXPECT_THAT(host.Components().serviceProxy.Requests(), IsEmpty());
    EXPECT_EQ(Get("latest-eligible-game"), "0");
}

using HonorStart = HonorHost;

// Everything below happens inside Initialize: the facts are read, then the configuration,
// then the sequence, and the ballot opens before the first host turn. The statistics and
// the login session, read while still disabled, are kept for the enabled logic.
TEST_F(HonorStart, AnEnabledConfigurationWithAHonorVoteStepOpensTheBallotInsideInitialize) {
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Login();
    Configure(true);
    Step(kHonorVote);
    Start();
    std::vector<std::string> reads;  // with the enablement as a landmark
    std::vector<std::string> rest;
    for (const std::string& step : Steps()) {
        if (step.rfind("GET ", 0) == 0 || step == kEnablement) reads.push_back(step.substr(step.find(' ') + 1));
        if (step.rfind("GET ", 0) != 0) rest.push_back(step);
    }
    EXPECT_THAT(reads, ElementsAre("/qiv-end-of-game/v1/eog-stats-block", "/qiv-gameflow/v1/spectate",
                                   "/qiv-gameflow/v1/session", "/qiv-login/v1/session",
                                   "/qiv-platform-config/v1/namespaces/Honor",
                                   "/qiv-pre-end-of-game/v1/registration/honor-vote/1",
                                   "/qiv-pre-end-of-game/v1/currentSequenceEvent", "/qiv-login/v1/login-data-packet",
                                   "/vorn-messaging-service/v1/message/honor/post-game-ceremony",
                                   "/vorn-messaging-service/v1/message/honor/level-change",
                                   "/vorn-messaging-service/v1/message/honor/reward-granted",
                                   "/vorn-messaging-service/v1/message/honor/full-team-vote",
                                   "/vorn-messaging-service/v1/message/honor/vote-completion"));
    EXPECT_THAT(rest, ElementsAreArray(Concat({ResetDeletes(), {kEnablement, kConfigUpdate, kBallotCreate}})));
    // The ballot's content is HonorBallot.ListsTheEligibleTeamMatesInEndOfGameOrder's.
    EXPECT_EQ(BallotIds(Get("ballot")), (std::vector<std::uint64_t>{2001, 2002})) << "logged in while disabled";
    EXPECT_EQ(Get("config"),
              R"({"DayOneModalEnabled":true,"Enabled":true,"Honor2018Enabled":true,"SecondsToVote":25})");
}

// ---- Configuration changes -------------------------------------------------------------

using HonorConfiguration = HonorHost;

TEST_F(HonorConfiguration, EnablingResetsRepublishesPendingNewsRegistersAndPublishesTheConfiguration) {
    StartDisabled();
    Message(qivhost::kMessagingRewardGranted, RewardJson("CHEST", 1));
    Message(qivhost::kMessagingLevelChange, LevelChangeJson(2));
    EXPECT_THAT(Published(), IsEmpty()) << "the disabled feature announces nothing, it only keeps the news";

    const std::size_t mark = Mark();
    Configure(true);
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({ResetDeletes(),
                                                      {"Update /qiv-honor-v2/v1/reward-granted",
                                                       "Update /qiv-honor-v2/v1/level-change", kEnablement,
                                                       kConfigUpdate}})));
    EXPECT_EQ(Parse(LastData("reward-granted"))["rewardType"].GetString(), std::string("CHEST"));
    EXPECT_EQ(Parse(LastData("level-change"))["currentState"]["level"].GetInt(), 2);
    EXPECT_EQ(Parse(LastData("config"))["Enabled"].GetBool(), true);
}

TEST_F(HonorConfiguration, EveryEnabledUpdateRepostsTheEnablement) {
    StartEnabled();
    const std::size_t mark = Mark();
    Set(qivhost::kHonorConfigUri, HonorConfigJson(true, 60));
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({ResetDeletes(), {kEnablement, kConfigUpdate}})));
    EXPECT_EQ(Parse(Get("config"))["SecondsToVote"].GetInt(), 60);
}

// The reset of an enabling update takes an open ballot away while the sequence still
// waits for its "honor-vote" step: the ballot opens again, and the vote completes the step.
TEST_F(HonorConfiguration, EnablingAgainWhileTheBallotIsOpenOpensItAgain) {
    StartEnabled();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Step(kHonorVote);
    const std::size_t mark = Mark();
    Configure(true);
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({ResetDeletes(), {kBallotCreate, kEnablement, kConfigUpdate}})));
    EXPECT_EQ(BallotIds(Get("ballot")), (std::vector<std::uint64_t>{2001, 2002}));
    const std::size_t voted = Mark();
    Vote(2001, "HEART", kGame);
    EXPECT_THAT(Steps(voted), Contains(kCompletion));
}

TEST_F(HonorConfiguration, ADeletedNamespaceDisablesAndPublishesTheDefaults) {
    StartEnabled();
    const std::size_t mark = Mark();
    Delete(qivhost::kHonorConfigUri);
    EXPECT_THAT(Steps(mark), ElementsAre(kDisablement, kConfigUpdate));
    EXPECT_EQ(LastData("config"), kDefaultConfig);
    EXPECT_EQ(Vote(2001, "HEART", kReportGame), "\"\"") << "the inactive logic answers now";
}

// During the "honor-vote" step, disabling completes the step only when no statistics are held.
class HonorDisabling : public HonorHost, public ::testing::WithParamInterface<bool> {};

TEST_P(HonorDisabling, DuringTheHonorVoteStepCompletesItOnlyWithoutStatistics) {
    StartEnabled();
    if (GetParam()) Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Step(kHonorVote);
    const std::size_t mark = Mark();
    Configure(false);
    const std::vector<std::string> completion =
        GetParam() ? std::vector<std::string>{} : Concat({ResetDeletes(), {kCompletion}});
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({completion, {kDisablement, kConfigUpdate}})));
}

INSTANTIATE_TEST_SUITE_P(StatisticsHeld, HonorDisabling, ::testing::Bool());

// ---- Session facts -----------------------------------------------------------------------

// Who the feature takes for the local player shows in the ballot: that player is never
// listed. The statistics list kMe and 2001 as eligible team mates of each other.
using HonorSession = HonorHost;

TEST_F(HonorSession, LoginSessionRulesDecideWhoIsTheLocalPlayer) {
    const std::string valid = LoginSessionJson(kMe, kMyAccount);
    const std::string other = LoginSessionJson(2001, 8001);
    const std::string loggingOut = LoginSessionJson(kMe, kMyAccount, "LOGGING_OUT");
    const struct {
        const char* name;
        std::string session;  // "" deletes the resource
        std::vector<std::uint64_t> ballot;
    } steps[] = {
        {"succeeded without account", LoginSessionJson(kMe, 0), {kMe, 2001, 2002}},
        {"succeeded without summoner", LoginSessionJson(0, kMyAccount), {kMe, 2001, 2002}},
        {"in progress", LoginSessionJson(kMe, kMyAccount, "IN_PROGRESS"), {kMe, 2001, 2002}},
        {"error", LoginSessionJson(kMe, kMyAccount, "ERROR"), {kMe, 2001, 2002}},
        {"valid", valid, {2001, 2002}},
        {"a later valid session keeps the ids", other, {2001, 2002}},
        {"logging out keeps the ids", loggingOut, {2001, 2002}},
        {"a session after logging out replaces them", other, {kMe, 2002}},
        {"a deleted session clears them", "", {kMe, 2001, 2002}},
    };
    Configure(true);
    Start();
    EndGame();
    EXPECT_EQ(BallotIds(Get("ballot")), (std::vector<std::uint64_t>{kMe, 2001, 2002})) << "no session excludes nobody";
    for (const auto& step : steps) {
        step.session.empty() ? Delete(qivhost::kLoginSessionUri) : Set(qivhost::kLoginSessionUri, step.session);
        Set(qivhost::kEndOfGameStatsUri, StatsJson());  // the ballot again, for the session now in force
        EXPECT_EQ(BallotIds(Get("ballot")), step.ballot) << step.name;
    }
}

// Only Update events of the spectate flag count: the first announcement of the resource
// (and the read at Start) is a Create. Without a ballot the step is released at once.
struct SpectateCase {
    const char* name;
    std::vector<std::string> flags;  // set in order, before Start when preStart
    bool preStart;
    bool ballot;
    // GoogleTest would otherwise print the raw bytes, padding included.
    friend void PrintTo(const SpectateCase& c, std::ostream* out) { *out << c.name; }
};

class HonorSpectate : public HonorHost, public ::testing::WithParamInterface<SpectateCase> {};

TEST_P(HonorSpectate, OnlyUpdatesOfTheSpectateFlagCount) {
    if (!GetParam().preStart) StartEnabled();
    for (const std::string& flag : GetParam().flags) Set(qivhost::kSpectateUri, flag);
    if (GetParam().preStart) StartEnabled();
    const std::size_t mark = Mark();
    EndGame();
    EXPECT_THAT(Steps(mark), ElementsAreArray(GetParam().ballot ? std::vector<std::string>{kBallotCreate}
                                                                : Concat({ResetDeletes(), {kCompletion}})));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, HonorSpectate,
    ::testing::Values(SpectateCase{"ReadAtStartIsIgnored", {"true"}, true, true},
                      SpectateCase{"FirstAnnouncementIsACreate", {"true"}, false, true},
                      SpectateCase{"AnUpdateCounts", {"false", "true"}, false, false},
                      SpectateCase{"AnUpdateCountsBothWays", {"false", "true", "false"}, false, true}),
    CaseName());

}  // namespace
}  // namespace honor_e2e
