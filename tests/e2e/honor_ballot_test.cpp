// The post-game road: the ballot from the end-of-game statistics and the "honor-vote"
// step, the vote through the honor server, and what the messaging service reports
// afterwards (ceremony, full-team vote, vote completion, late recognition).
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr char kLateRecognitionCreate[] = "Create /qiv-honor-v2/v1/late-recognition";

// ---- The ballot --------------------------------------------------------------------------

using HonorBallot = HonorHost;

TEST_F(HonorBallot, ListsTheEligibleTeamMatesInEndOfGameOrder) {
    StartEnabled();
    EndGame();
    EXPECT_EQ(
        Get("ballot"),
        R"({"eligiblePlayers":[)"
        R"({"championId":11,"skinIndex":1,"skinName":"Skin of Ally One","summonerId":2001,"summonerName":"Ally One"},)"
        R"({"championId":12,"skinIndex":2,"skinName":"Skin of Ally Two","summonerId":2002,"summonerName":"Ally Two"}],)"
        R"("gameId":9000042})");
    EXPECT_EQ(LastData("ballot"), Get("ballot"));
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1")) << "the step stays open for the vote";
}

// The ballot opens once both facts are held, the statistics and the "honor-vote" step, in
// either order, and again on every later update of either.
TEST_F(HonorBallot, OpensOnceTheStatisticsAndTheHonorVoteStepAreBothHeld) {
    StartEnabled();
    std::size_t mark = Mark();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Step(kHonorVote);
    EXPECT_THAT(Steps(mark), ElementsAre(kBallotCreate)) << "the step after the statistics";
    mark = Mark();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Step(kHonorVote, 3);
    EXPECT_THAT(Steps(mark), ElementsAre(kBallotCreate, kBallotCreate)) << "every later update of either";
    mark = Mark();
    Delete(qivhost::kCurrentSequenceEventUri);
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    EXPECT_THAT(Steps(mark), ElementsAre(kBallotCreate)) << "a deleted sequence event keeps the step's name";
    mark = Mark();
    Delete(qivhost::kEndOfGameStatsUri);
    Step(kHonorVote);
    EXPECT_THAT(Steps(mark), IsEmpty()) << "deleted statistics are gone";
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    EXPECT_THAT(Steps(mark), ElementsAre(kBallotCreate)) << "the statistics after the step";
}

// The rules themselves are BuildBallot.RefusesGamesThatOfferNoVote's; here, that the
// statistics' fields reach them and that a game without a ballot releases the step at
// once. Spectating is HonorSpectate's.
TEST_F(HonorBallot, WithoutABallotTheVoteStateIsResetAndTheStepCompletedAtOnce) {
    const std::pair<const char*, StatsDoc> cases[] = {{"custom game", StatsDoc{"CUSTOM_GAME"}},
                                                      {"skirmish queue", StatsDoc{"MATCHED_GAME", "SKIRMA"}},
                                                      {"early surrender", StatsDoc{"MATCHED_GAME", "NORMAL", true}}};
    StartEnabled();
    for (const auto& [name, stats] : cases) {
        SCOPED_TRACE(name);
        Step("champion-mastery");
        Set(qivhost::kEndOfGameStatsUri, StatsJson(stats));
        const std::size_t mark = Mark();
        Step(kHonorVote);
        EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({ResetDeletes(), {kCompletion}})));
        EXPECT_EQ(Get("ballot"), kEmptyBallot);
    }
}

// ---- The vote ----------------------------------------------------------------------------

class HonorVote : public HonorHost {
protected:
    void OpenBallot(const StatsDoc& stats = StatsDoc{}) {
        StartEnabled();
        EndGame(stats);
        ASSERT_EQ(Published().back(), kBallotCreate);
    }
};

// Whatever the server answers, the vote state is reset and the step completed, and the
// vote's game is the latest eligible game. The vote is not checked against the ballot.
// Which replies fail is the service proxy's tests'.
TEST_F(HonorVote, SendsTheVoteResetsCompletesTheStepAndAnswersTheServersText) {
    const struct {
        const char* name;
        qivhost::ServerReply reply;
        std::uint64_t summonerId;
        std::uint64_t game;
        const char* answer;
    } cases[] = {
        {"text", qivhost::ServerReply::Answer("\"thanks\""), 2001, kReportGame, "\"thanks\""},
        {"not on the ballot", qivhost::ServerReply::Answer("\"ok\""), 3001, 77, "\"ok\""},
        {"failure", qivhost::ServerReply::Failure("server on fire"), 2001, 101, "\"failed_to_contact_honor_server\""},
    };
    OpenBallot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.Components().server.ScriptOnce("honor.server", "honorPlayer", c.reply);
        const std::size_t mark = Mark();
        EXPECT_EQ(Vote(c.summonerId, "HEART", c.game), c.answer);
        EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({{kServiceProxyRequest}, ResetDeletes(), {kCompletion}})));
        const auto& request = host.Components().serviceProxy.Requests().back();
        EXPECT_EQ(request.service + "/" + request.method, "honor.server/honorPlayer");
        EXPECT_EQ(request.payload, R"({"gameId":)" + std::to_string(c.game) + R"(,"honorType":"HEART","summonerId":)" +
                                       std::to_string(c.summonerId) + "}");
        EXPECT_EQ(Get("latest-eligible-game"), std::to_string(c.game)) << "set before the call, whatever its outcome";
        EXPECT_EQ(Get("ballot"), kEmptyBallot);
    }
}

// How the router answers a body that does not convert is its own tests'.
TEST_F(HonorVote, OnlyABodyThatConvertsReachesTheServerMissingFieldsTakingDefaults) {
    OpenBallot();
    EXPECT_EQ(Post("honor-player", std::string("[1,2]")).status, 400);
    EXPECT_THAT(host.Components().serviceProxy.Requests(), IsEmpty());
    EXPECT_EQ(Published().back(), kBallotCreate) << "the ballot stays open";
    EXPECT_EQ(Post("honor-player", R"({"honorCategory":"HEART"})").bodyJson, "\"honored\"");
    EXPECT_EQ(host.Components().serviceProxy.Requests().back().payload,
              R"({"gameId":0,"honorType":"HEART","summonerId":0})");
}

// ---- After the vote ----------------------------------------------------------------------

// What the messaging service reports after the vote, delivered before and after a mark,
// and what the routes then answer: published (as a Create with that data) after the mark
// when `published`, else not published at all.
struct News {
    const char* uri;
    std::string json;
};

struct AfterVoteCase {
    const char* name;
    std::vector<News> before;
    std::vector<News> after;
    bool published;
    std::vector<std::pair<std::string, std::string>> answers;  // route, body
    StatsDoc stats = StatsDoc{};
    // GoogleTest would otherwise print the raw bytes, padding included.
    friend void PrintTo(const AfterVoteCase& c, std::ostream* out) { *out << c.name; }
};

class HonorAfterVote : public HonorVote, public ::testing::WithParamInterface<AfterVoteCase> {};

TEST_P(HonorAfterVote, TheMessagingServicesReportsAreKeptAndPublished) {
    OpenBallot(GetParam().stats);
    (void)Vote(2001, "HEART", kReportGame);
    for (const News& n : GetParam().before) Message(n.uri, n.json);
    const std::size_t mark = Mark();
    for (const News& n : GetParam().after) Message(n.uri, n.json);
    std::vector<std::string> published;
    for (const auto& [route, body] : GetParam().answers) {
        EXPECT_EQ(Get(route), body) << route;
        if (!GetParam().published) continue;
        published.push_back("Create " + (kApi + route));
        EXPECT_EQ(LastData(route), body) << route;
    }
    EXPECT_THAT(Published(mark), ElementsAreArray(published));
}

const std::string kTwoHearts =
    R"([{"honorCategory":"HEART","voterRelationship":"ALLY"},{"honorCategory":"HEART","voterRelationship":"ALLY"}])";
StatsDoc SixPlayerTeam() {
    StatsDoc stats;
    stats.myTeam.clear();
    for (std::uint64_t id = 5000; id < 5006; ++id) stats.myTeam.push_back({id, "Player " + Num(id)});
    return stats;
}
News Ceremony(const std::vector<std::string>& recipients) {
    return {qivhost::kMessagingPostGameCeremony, JsonList(recipients)};
}

INSTANTIATE_TEST_SUITE_P(
    Report, HonorAfterVote,
    ::testing::Values(
        AfterVoteCase{"RecognitionIsPublished", {}, {Ceremony({Recipient(kMe, kReportGame, 2)})}, true,
                      {{"recognition", kTwoHearts}}},
        AfterVoteCase{"RecognitionOnlyGrows", {Ceremony({Recipient(kMe, kReportGame, 2)})},
                      {Ceremony({Recipient(kMe, kReportGame, 1)})}, false, {{"recognition", kTwoHearts}}},
        // A majority of the usual five-player team is three, whichever team the recipient is on.
        AfterVoteCase{"TeamChoicesAreTheMajority", {},
                      {Ceremony({Recipient(2001, kReportGame, 3), Recipient(2002, kReportGame, 2),
                                 Recipient(3001, kReportGame, 3)})},
                      true, {{"team-choices", "[2001,3001]"}}},
        AfterVoteCase{"TeamChoicesOnlyGrow",
                      {Ceremony({Recipient(2001, kReportGame, 3), Recipient(2002, kReportGame, 4)})},
                      {Ceremony({Recipient(3001, kReportGame, 5)})}, false, {{"team-choices", "[2001,2002]"}}},
        // The majority is counted on the player's team as the statistics list it: six need
        // four. The threshold itself (and three without statistics) is MajorityThreshold's.
        AfterVoteCase{"TeamChoicesNeedAMajorityOfThePlayersTeamInTheStatistics", {},
                      {Ceremony({Recipient(6001, kReportGame, 3), Recipient(6002, kReportGame, 4)})}, true,
                      {{"team-choices", "[6002]"}}, SixPlayerTeam()},
        AfterVoteCase{"ACeremonyForAnotherGameChangesNothing", {},
                      {Ceremony({Recipient(kMe, 5, 4), Recipient(2001, 5, 4)})}, false,
                      {{"recognition", "[]"}, {"team-choices", "[]"}}},
        AfterVoteCase{"AFullTeamVoteCountsWhateverItsGame", {}, {{qivhost::kMessagingFullTeamVote, R"({"gameId":31})"}},
                      true, {{"full-team-vote", R"({"gameId":31})"}}},
        AfterVoteCase{"AVoteCompletionOfAnotherGameDoesNot", {},
                      {{qivhost::kMessagingVoteCompletion, R"({"gameId":5,"fullTeamVote":true})"}}, false,
                      {{"vote-completion", R"({"fullTeamVote":false,"gameId":0})"}}},
        AfterVoteCase{"AVoteCompletionOfTheCurrentGameCounts", {},
                      {{qivhost::kMessagingVoteCompletion, R"({"fullTeamVote":true,"gameId":9000042})"}}, true,
                      {{"vote-completion", R"({"fullTeamVote":true,"gameId":9000042})"}}}),
    CaseName());

TEST_F(HonorVote, TheNextResetClearsEverythingButTheVoteCompletion) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    Message(qivhost::kMessagingPostGameCeremony, JsonList({Recipient(kMe, kReportGame, 3)}));
    Message(qivhost::kMessagingFullTeamVote, R"({"gameId":9000042})");
    Message(qivhost::kMessagingVoteCompletion, R"({"fullTeamVote":true,"gameId":9000042})");
    Configure(true);  // enabling again resets the vote state
    EXPECT_EQ(Get("recognition"), "[]");
    EXPECT_EQ(Get("team-choices"), "[]");
    EXPECT_EQ(Get("full-team-vote"), R"({"gameId":0})");
    EXPECT_EQ(Get("vote-completion"), R"({"fullTeamVote":true,"gameId":9000042})");
    EXPECT_EQ(Get("latest-eligible-game"), "9000042");
}

// ---- Late recognition --------------------------------------------------------------------

using HonorLateRecognition = HonorVote;

// A vote at the end-of-game screen, whose reports reach the player in the lobby. Without
// leaving the screen nothing is offered late (HonorAfterVote's vote completion).
TEST_F(HonorLateRecognition, ReachingThePlayerAfterTheEndOfGameScreenItIsOfferedInTheLobbyPhases) {
    OpenBallot();
    Phase("EndOfGame");
    (void)Vote(2001, "HEART", kReportGame);
    std::size_t mark = Mark();
    Phase("EndOfGame");  // no change of phase: ignored
    Phase("Lobby");
    Message(qivhost::kMessagingPostGameCeremony, JsonList({Recipient(kMe, kReportGame, 2)}));
    Message(qivhost::kMessagingVoteCompletion, R"({"gameId":9000042,"fullTeamVote":false})");
    EXPECT_THAT(Published(mark),
                ElementsAre("Delete /qiv-honor-v2/v1/late-recognition",  // leaving clears earlier ones
                            "Create /qiv-honor-v2/v1/recognition", "Create /qiv-honor-v2/v1/vote-completion",
                            kLateRecognitionCreate))
        << "both EndOfGame and Lobby offer it: leaving one for the other publishes nothing";
    EXPECT_EQ(LastData("late-recognition"), kTwoHearts);
    EXPECT_EQ(Get("late-recognition"), kTwoHearts);

    mark = Mark();
    Phase("ChampSelect");  // hides it without clearing
    EXPECT_EQ(Get("late-recognition"), "[]");
    EXPECT_EQ(LastData("late-recognition"), "[]");
    Phase("Lobby");
    EXPECT_THAT(Published(mark), ElementsAre(kLateRecognitionCreate, kLateRecognitionCreate));
    EXPECT_EQ(LastData("late-recognition"), kTwoHearts);

    mark = Mark();
    EXPECT_TRUE(Ok(Post("late-recognition/ack")));
    EXPECT_THAT(Published(mark), ElementsAre("Delete /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(Get("late-recognition"), "[]");
}

}  // namespace
}  // namespace honor_e2e
