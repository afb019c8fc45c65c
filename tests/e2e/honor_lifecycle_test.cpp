// The honor feature switched on and off by the platform configuration "Honor", the
// "honor-vote" step at the pre-end-of-game plug-in, and the session facts (login,
// spectating) that the feature keeps whatever its state.
#include <string>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr char kConfigUpdate[] = "Update /qiv-honor-v2/v1/config";

// The reads of `steps` (requests "GET ...", and the enablement as a landmark), or the rest.
std::vector<std::string> Reads(const std::vector<std::string>& steps, bool wanted) {
    std::vector<std::string> kept;
    for (const std::string& step : steps) {
        if ((step.rfind("GET ", 0) == 0 || (wanted && step == kEnablement)) == wanted) kept.push_back(step);
    }
    return kept;
}

using HonorDisabled = HonorHost;

TEST_F(HonorDisabled, EveryRouteAnswersTheInactiveDefaultsBeforeAnyConfiguration) {
    StartDisabled();
    const struct {
        const char* path;
        const char* body;
    } cases[] = {
        {"level-change", kDefaultLevelChange},
        {"ballot", kEmptyBallot},
        {"recognition", "[]"},
        {"late-recognition", "[]"},
        {"team-choices", "[]"},
        {"config", kDefaultConfig},
        {"profile", R"({"checkpoint":-1,"honorLevel":-1,"rewardsLocked":false})"},
        {"reward-granted", kDefaultReward},
        {"full-team-vote", R"({"gameId":0})"},
        {"vote-completion", R"({"fullTeamVote":false,"gameId":0})"},
        {"latest-eligible-game", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Get(c.path), c.body) << c.path;
    EXPECT_THAT(host.Components().server.Calls(), IsEmpty()) << "the disabled profile never asks the server";
    EXPECT_THAT(Published(), IsEmpty());
    EXPECT_THAT(PreEndOfGame(), IsEmpty());
    EXPECT_EQ(host.Responses().Outstanding(), 0u) << "every answer was released";
}

TEST_F(HonorDisabled, AHonorVoteStepIsCompletedAtOnceAndTheRegistrationWithdrawn) {
    StartDisabled();
    std::size_t mark = Mark();
    StepNow("champion-mastery", 2);
    EXPECT_THAT(Steps(mark), IsEmpty()) << "another step is none of the feature's business";

    mark = Mark();
    StepNow(kHonorVote);
    EXPECT_THAT(Steps(mark), ElementsAre(kCompletion, kDisablement));
    EXPECT_THAT(PreEndOfGame(), ElementsAre("complete honor-vote", "withdraw honor-vote"));
}

using HonorStart = HonorHost;

// Everything below happens inside Initialize: the facts are read, then the configuration,
// then the sequence, and the ballot opens before the first host turn.
TEST_F(HonorStart, AnEnabledConfigurationWithAHonorVoteStepOpensTheBallotInsideInitialize) {
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Login();
    Configure(true);
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Start();

    EXPECT_THAT(Reads(Steps(), true),
                ElementsAre("GET /qiv-end-of-game/v1/eog-stats-block", "GET /qiv-gameflow/v1/spectate",
                            "GET /qiv-gameflow/v1/session", "GET /qiv-login/v1/session",
                            "GET /qiv-platform-config/v1/namespaces/Honor", kEnablement,
                            "GET /qiv-pre-end-of-game/v1/currentSequenceEvent", "GET /qiv-login/v1/login-data-packet",
                            "GET /vorn-messaging-service/v1/message/honor/post-game-ceremony",
                            "GET /vorn-messaging-service/v1/message/honor/level-change",
                            "GET /vorn-messaging-service/v1/message/honor/reward-granted",
                            "GET /vorn-messaging-service/v1/message/honor/full-team-vote",
                            "GET /vorn-messaging-service/v1/message/honor/vote-completion"));
    EXPECT_THAT(
        Reads(Steps(), false),
        ElementsAreArray(Concat(
            {ResetDeletes(), {kEnablement, kConfigUpdate, "Create /qiv-honor-v2/v1/ballot"}})));
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1"));
    // The ballot's content is HonorBallot.ListsTheEligibleTeamMatesInEndOfGameOrder's.
    EXPECT_EQ(Parse(LastData("/qiv-honor-v2/v1/ballot"))["gameId"].GetUint64(), kReportGame);
    EXPECT_EQ(Get("ballot"), LastData("/qiv-honor-v2/v1/ballot"));
    EXPECT_EQ(Get("config"),
              R"({"DayOneModalEnabled":true,"Enabled":true,"Honor2018Enabled":true,"SecondsToVote":25})");
    ExpectEveryPublicationDispatchedTwice();
}

// ---- Configuration changes -------------------------------------------------------------

using HonorConfiguration = HonorHost;

TEST_F(HonorConfiguration, EnablingResetsRepublishesPendingNewsRegistersAndPublishesTheConfiguration) {
    StartDisabled();
    Message(qivhost::kMessagingRewardGranted, RewardJson("CHEST", 1));
    MessageNow(qivhost::kMessagingLevelChange, LevelChangeJson(1, 2));
    EXPECT_THAT(Published(), IsEmpty()) << "the disabled feature announces nothing, it only keeps the news";

    const std::size_t mark = Mark();
    ConfigureNow(true);
    EXPECT_THAT(
        Steps(mark),
        ElementsAreArray(Concat({ResetDeletes(),
                                 {"Update /qiv-honor-v2/v1/reward-granted", "Update /qiv-honor-v2/v1/level-change",
                                  kEnablement, kConfigUpdate}})));
    EXPECT_EQ(Parse(LastData("/qiv-honor-v2/v1/reward-granted"))["rewardType"].GetString(), std::string("CHEST"));
    EXPECT_EQ(Parse(LastData("/qiv-honor-v2/v1/level-change"))["currentState"]["level"].GetInt(), 2);
    EXPECT_EQ(Parse(LastData("/qiv-honor-v2/v1/config"))["Enabled"].GetBool(), true);
}

TEST_F(HonorConfiguration, EveryEnabledUpdateRepostsTheEnablement) {
    StartEnabled();
    const std::size_t mark = Mark();
    SetNow(qivhost::kHonorConfigUri, HonorConfigJson(true, 60));
    EXPECT_THAT(Steps(mark),
                ElementsAreArray(Concat({ResetDeletes(), {kEnablement, kConfigUpdate}})));
    EXPECT_EQ(Parse(Get("config"))["SecondsToVote"].GetInt(), 60);
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1", "register honor-vote 1"));
}

TEST_F(HonorConfiguration, ADeletedNamespaceDisablesAndPublishesTheDefaults) {
    StartEnabled();
    const std::size_t mark = Mark();
    ASSERT_TRUE(host.DeleteResource(qivhost::kHonorConfigUri));
    Settle();
    EXPECT_THAT(Steps(mark), ElementsAre(kDisablement, kConfigUpdate));
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/config"), kDefaultConfig);
    EXPECT_EQ(Get("config"), kDefaultConfig);
    EXPECT_EQ(Vote(2001, "HEART", kReportGame), "\"\"") << "the inactive logic answers now";
}

// During the "honor-vote" step, disabling completes the step only when no statistics are held.
class HonorDisabling : public HonorHost, public ::testing::WithParamInterface<bool> {};

TEST_P(HonorDisabling, DuringTheHonorVoteStepCompletesItOnlyWithoutStatistics) {
    StartEnabled();
    if (GetParam()) Set(qivhost::kEndOfGameStatsUri, StatsJson());
    StepNow(kHonorVote);
    const std::size_t mark = Mark();
    ConfigureNow(false);
    const std::vector<std::string> completion =
        GetParam() ? std::vector<std::string>{} : Concat({ResetDeletes(), {kCompletion}});
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({completion, {kDisablement, kConfigUpdate}})));
}

INSTANTIATE_TEST_SUITE_P(StatisticsHeld, HonorDisabling, ::testing::Bool());

TEST_F(HonorConfiguration, StatisticsKeptWhileDisabledOpenTheBallotWhenTheStepComesAfterEnabling) {
    StartDisabled();
    SetNow(qivhost::kEndOfGameStatsUri, StatsJson());
    const std::size_t mark = Mark();
    ConfigureNow(true);
    // Enabling resets; the ballot waits for the step, which then finds the cached statistics.
    EXPECT_THAT(Published(mark), ::testing::Not(::testing::Contains("Create /qiv-honor-v2/v1/ballot")));
    StepNow(kHonorVote);
    EXPECT_THAT(Published(mark), ::testing::Contains("Create /qiv-honor-v2/v1/ballot"));
}

// ---- Session facts -----------------------------------------------------------------------

// Who the feature takes for the local player shows in the ballot: that player is never
// listed. The statistics list kMe and 2001 as eligible team mates of each other.
std::vector<std::uint64_t> BallotIds(const std::string& ballotJson) {
    std::vector<std::uint64_t> ids;
    const rapidjson::Document ballot = Parse(ballotJson);
    for (const auto& player : ballot["eligiblePlayers"].GetArray()) ids.push_back(player["summonerId"].GetUint64());
    return ids;
}

struct SessionCase {
    const char* name;
    std::vector<std::string> sessions;  // in order; "" deletes the resource
    std::vector<std::uint64_t> ballot;
};

class HonorSession : public HonorHost, public ::testing::WithParamInterface<SessionCase> {};

TEST_P(HonorSession, LoginSessionRulesDecideWhoIsTheLocalPlayer) {
    Configure(true);
    Start();
    for (const std::string& session : GetParam().sessions) {
        if (session.empty()) {
            ASSERT_TRUE(host.DeleteResource(qivhost::kLoginSessionUri));
        } else {
            Set(qivhost::kLoginSessionUri, session);
        }
        Settle();
    }
    EndGame();
    EXPECT_EQ(BallotIds(Get("ballot")), GetParam().ballot);
}

const std::string kValid = LoginSessionJson(kMe, kMyAccount);
const std::string kOther = LoginSessionJson(2001, 8001);
const std::string kLoggingOut = LoginSessionJson(kMe, kMyAccount, "LOGGING_OUT");

INSTANTIATE_TEST_SUITE_P(
    Rules, HonorSession,
    ::testing::Values(SessionCase{"NoSessionExcludesNobody", {}, {kMe, 2001, 2002}},
                      SessionCase{"ValidSession", {kValid}, {2001, 2002}},
                      SessionCase{"SucceededWithoutAccount", {LoginSessionJson(kMe, 0)}, {kMe, 2001, 2002}},
                      SessionCase{"SucceededWithoutSummoner", {LoginSessionJson(0, kMyAccount)}, {kMe, 2001, 2002}},
                      SessionCase{"InProgress", {LoginSessionJson(kMe, kMyAccount, "IN_PROGRESS")}, {kMe, 2001, 2002}},
                      SessionCase{"ErrorState", {LoginSessionJson(kMe, kMyAccount, "ERROR")}, {kMe, 2001, 2002}},
                      SessionCase{"LaterValidSessionKeepsTheIds", {kValid, kOther}, {2001, 2002}},
                      SessionCase{"LoggingOutKeepsTheIds", {kValid, kLoggingOut}, {2001, 2002}},
                      SessionCase{"SessionAfterLoggingOutReplacesThem", {kValid, kLoggingOut, kOther}, {kMe, 2002}},
                      SessionCase{"DeletedSessionClearsThem", {kValid, ""}, {kMe, 2001, 2002}}), CaseName());

using HonorSessionFacts = HonorHost;

TEST_F(HonorSessionFacts, TheLoginSessionReachesTheFeatureWhileDisabled) {
    StartDisabled();  // logged in as kMe while disabled
    Configure(true);
    EndGame();
    EXPECT_EQ(BallotIds(Get("ballot")), (std::vector<std::uint64_t>{2001, 2002}));
}

// Only Update events of the spectate flag count: the first announcement of the resource
// (and the read at Start) is a Create.
struct SpectateCase {
    const char* name;
    std::vector<std::string> flags;  // set in order, before Start when preStart
    bool preStart;
    bool ballot;
};

class HonorSpectate : public HonorHost, public ::testing::WithParamInterface<SpectateCase> {};

TEST_P(HonorSpectate, OnlyUpdatesOfTheSpectateFlagCount) {
    if (!GetParam().preStart) StartEnabled();
    for (const std::string& flag : GetParam().flags) {
        SetNow(qivhost::kSpectateUri, flag);  // before Start, the announcement finds no subscriber
    }
    if (GetParam().preStart) StartEnabled();
    const std::size_t mark = Mark();
    EndGame();
    EXPECT_THAT(Steps(mark), ElementsAreArray(GetParam().ballot ? std::vector<std::string>{"Create /qiv-honor-v2/v1/ballot"}
                                                                : Concat({ResetDeletes(), {kCompletion}})));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, HonorSpectate,
    ::testing::Values(SpectateCase{"ReadAtStartIsIgnored", {"true"}, true, true},
                      SpectateCase{"FirstAnnouncementIsACreate", {"true"}, false, true},
                      SpectateCase{"AnUpdateCounts", {"false", "true"}, false, false},
                      SpectateCase{"AnUpdateBackToFalseCounts", {"false", "true", "false"}, false, true}), CaseName());

}  // namespace
}  // namespace honor_e2e
