// The post-game road: the ballot from the end-of-game statistics and the "honor-vote"
// step, the vote through the honor server, and what the messaging service reports
// afterwards (ceremony, full-team vote, vote completion, late recognition).
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr char kBallot[] = "Create /qiv-honor-v2/v1/ballot";

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
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/ballot"), Get("ballot"));
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1")) << "the step stays open for the vote";
}

// The ballot opens once both facts are held, the statistics and the "honor-vote" step, in
// either order, and again on every later update of either.
enum class Fact { Statistics, Step, LaterStep, NoStatistics, NoStep };

struct FactsCase {
    const char* name;
    std::vector<Fact> before;
    std::vector<Fact> after;
    std::vector<std::string> steps;  // after the mark
};

class HonorBallotFacts : public HonorHost, public ::testing::WithParamInterface<FactsCase> {
protected:
    void Apply(Fact fact) {
        switch (fact) {
            case Fact::Statistics: Set(qivhost::kEndOfGameStatsUri, StatsJson()); break;
            case Fact::Step: host.SetCurrentSequenceEvent(kHonorVote, 1); break;
            case Fact::LaterStep: host.SetCurrentSequenceEvent(kHonorVote, 3); break;
            case Fact::NoStatistics: ASSERT_TRUE(host.DeleteResource(qivhost::kEndOfGameStatsUri)); break;
            case Fact::NoStep: ASSERT_TRUE(host.DeleteResource(qivhost::kCurrentSequenceEventUri)); break;
        }
        Settle();
    }
};

TEST_P(HonorBallotFacts, OpensOnceBothFactsAreHeld) {
    StartEnabled();
    for (const Fact fact : GetParam().before) Apply(fact);
    const std::size_t mark = Mark();
    for (const Fact fact : GetParam().after) Apply(fact);
    EXPECT_THAT(Steps(mark), ElementsAreArray(GetParam().steps));
}

INSTANTIATE_TEST_SUITE_P(
    Order, HonorBallotFacts,
    ::testing::Values(
        FactsCase{"StepAfterStatistics", {}, {Fact::Statistics, Fact::Step}, {kBallot}},
        FactsCase{"StepBeforeStatistics", {}, {Fact::Step, Fact::Statistics}, {kBallot}},
        FactsCase{"EveryLaterUpdate", {Fact::Statistics, Fact::Step}, {Fact::Statistics, Fact::LaterStep},
                  {kBallot, kBallot}},
        FactsCase{"DeletedSequenceEventKeepsTheStepName", {Fact::Step, Fact::NoStep}, {Fact::Statistics}, {kBallot}},
        FactsCase{"DeletedStatisticsOpenNothing", {Fact::Statistics, Fact::NoStatistics}, {Fact::Step}, {}}),
    CaseName());

// The rules themselves are BuildBallot.RefusesGamesThatOfferNoVote's; here, that the
// statistics' fields reach them (bots and leavers: ListsTheEligibleTeamMatesInEndOfGameOrder)
// and that a game without a ballot releases the step at once. Spectating is HonorSpectate's.
struct NoBallotCase {
    const char* name;
    StatsDoc stats;
};

StatsDoc With(void (*change)(StatsDoc&)) {
    StatsDoc stats;
    change(stats);
    return stats;
}

class HonorNoBallot : public HonorHost, public ::testing::WithParamInterface<NoBallotCase> {};

TEST_P(HonorNoBallot, ResetsAndCompletesTheStepAtOnce) {
    StartEnabled();
    SetNow(qivhost::kEndOfGameStatsUri, StatsJson(GetParam().stats));
    const std::size_t mark = Mark();
    StepNow(kHonorVote);
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({ResetDeletes(), {kCompletion}})));
    EXPECT_EQ(Get("ballot"), kEmptyBallot);
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1", "complete honor-vote"));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, HonorNoBallot,
    ::testing::Values(NoBallotCase{"CustomGame", With([](StatsDoc& s) { s.gameType = "CUSTOM_GAME"; })},
                      NoBallotCase{"SkirmaQueue", With([](StatsDoc& s) { s.queueType = "SKIRMA"; })},
                      NoBallotCase{"EarlySurrender", With([](StatsDoc& s) { s.earlySurrender = true; })}),
    CaseName());

// ---- The vote ----------------------------------------------------------------------------

class HonorVote : public HonorHost {
protected:
    void OpenBallot() {
        StartEnabled();
        EndGame();
        ASSERT_EQ(Published().back(), kBallot);
    }
};

std::string Ceremony(const std::vector<std::string>& recipients) {
    std::string list;
    for (const std::string& r : recipients) list += (list.empty() ? "" : ",") + r;
    return "[" + list + "]";
}

TEST_F(HonorVote, SendsTheVoteResetsCompletesTheStepAndAnswersTheServersText) {
    OpenBallot();
    host.Components().server.ScriptOnce("honor.server", "honorPlayer", qivhost::ServerReply::Answer("\"thanks\""));
    const std::size_t mark = Mark();
    EXPECT_EQ(Vote(2001, "HEART", kReportGame), "\"thanks\"");
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({{kServiceProxyRequest}, ResetDeletes(), {kCompletion}})));

    const auto& requests = host.Components().serviceProxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].service, "honor.server");
    EXPECT_EQ(requests[0].method, "honorPlayer");
    EXPECT_EQ(requests[0].clientHandle, host.ClientHandle());
    EXPECT_EQ(requests[0].payload, R"({"gameId":9000042,"honorType":"HEART","summonerId":2001})");
    EXPECT_EQ(Get("ballot"), kEmptyBallot);
    EXPECT_EQ(Get("latest-eligible-game"), "9000042");
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1", "complete honor-vote"));
    EXPECT_EQ(host.Waits().Begun(), host.Waits().Ended());
}

TEST_F(HonorVote, TheVoteIsNotCheckedAgainstTheBallot) {
    OpenBallot();
    EXPECT_EQ(Vote(3001, "GG", 77), "\"honored\"");
    EXPECT_EQ(host.Components().serviceProxy.Requests().back().payload,
              R"({"gameId":77,"honorType":"GG","summonerId":3001})");
    EXPECT_EQ(Get("latest-eligible-game"), "77");
}

TEST_F(HonorVote, AFailingOrSilentServerStillClearsTheBallotAndCompletesTheStep) {
    const struct {
        const char* name;
        qivhost::ServerReply reply;
    } cases[] = {
        {"failure", qivhost::ServerReply::Failure("server on fire")},
        {"silence", qivhost::ServerReply::Silence(30)},
        {"not a text", qivhost::ServerReply::Answer(R"({"ok":true})")},
    };
    OpenBallot();
    std::uint64_t game = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.Components().server.ScriptOnce("honor.server", "honorPlayer", c.reply);
        const std::size_t mark = Mark();
        EXPECT_EQ(Vote(2001, "HEART", ++game), "\"failed_to_contact_honor_server\"");
        EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({{kServiceProxyRequest}, ResetDeletes(), {kCompletion}})));
        EXPECT_EQ(Get("latest-eligible-game"), std::to_string(game)) << "set before the call, whatever its outcome";
        EXPECT_EQ(Get("ballot"), kEmptyBallot);
    }
}

TEST_F(HonorVote, AVoteWhileDisabledReleasesTheStepWithoutTheServer) {
    StartDisabled();
    const std::size_t mark = Mark();
    EXPECT_EQ(Vote(2001, "HEART", kReportGame), "\"\"");
    EXPECT_THAT(Steps(mark), ElementsAre(kCompletion, kDisablement));
    EXPECT_THAT(host.Components().serviceProxy.Requests(), IsEmpty());
    EXPECT_EQ(Get("latest-eligible-game"), "0");
}

TEST_F(HonorVote, ABodyWithMissingFieldsVotesWithDefaults) {
    OpenBallot();
    EXPECT_EQ(Post("honor-player", R"({"honorCategory":"HEART"})").bodyJson, "\"honored\"");
    EXPECT_EQ(host.Components().serviceProxy.Requests().back().payload,
              R"({"gameId":0,"honorType":"HEART","summonerId":0})");
}

TEST_F(HonorVote, ABodyThatDoesNotConvertNeverReachesTheServer) {
    OpenBallot();
    const struct {
        const char* body;
        const char* error;
    } cases[] = {
        {R"({"summonerId":"two thousand"})", "Value two thousand for 'summonerId' of type uint64 is in an incorrect format"},
        {"not json", "Error: Invalid value. at offset 1."},
        {"[1,2]", "Couldn't assign value to 'honorPlayerRequest' of type QivHonorV2ApiHonorPlayerServerRequest because "
                  "the input not a structure."},
    };
    for (const auto& c : cases) {
        const qivhost::RestAnswer answer = Post("honor-player", std::string(c.body));
        EXPECT_EQ(answer.status, 400) << c.body;
        EXPECT_EQ(answer.errorText.value_or("(none)"), c.error) << c.body;
    }
    EXPECT_THAT(host.Components().serviceProxy.Requests(), IsEmpty());
    EXPECT_EQ(Published().back(), kBallot) << "the ballot stays open";
}

// ---- After the vote ----------------------------------------------------------------------

// What the messaging service reports after the vote, delivered before and after a mark: what
// is published after it, and what the routes then answer (and published, when they were).
struct News {
    const char* uri;
    std::string json;
};

struct AfterVoteCase {
    const char* name;
    std::vector<News> before;
    std::vector<News> after;
    std::vector<std::string> published;
    std::vector<std::pair<std::string, std::string>> answers;  // route, body
};

class HonorAfterVote : public HonorVote, public ::testing::WithParamInterface<AfterVoteCase> {
protected:
    void Deliver(const std::vector<News>& news) {
        for (const News& n : news) Message(n.uri, n.json);
        Settle();
    }
};

TEST_P(HonorAfterVote, TheMessagingServicesReportsAreKeptAndPublished) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    Deliver(GetParam().before);
    const std::size_t mark = Mark();
    Deliver(GetParam().after);
    const std::vector<std::string> published = Published(mark);
    EXPECT_THAT(published, ElementsAreArray(GetParam().published));
    for (const auto& [route, body] : GetParam().answers) {
        EXPECT_EQ(Get(route), body) << route;
        const std::string uri = kApi + route;
        if (std::find(published.begin(), published.end(), "Create " + uri) != published.end()) {
            EXPECT_EQ(LastData(uri), body) << route;
        }
    }
}

const std::string kTwoHearts =
    R"([{"honorCategory":"HEART","voterRelationship":"ALLY"},{"honorCategory":"HEART","voterRelationship":"ALLY"}])";
const News kTwoHeartsForMe{qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 2)})};

INSTANTIATE_TEST_SUITE_P(
    Report, HonorAfterVote,
    ::testing::Values(
        AfterVoteCase{"RecognitionIsPublished", {}, {kTwoHeartsForMe}, {"Create /qiv-honor-v2/v1/recognition"},
                      {{"recognition", kTwoHearts}}},
        AfterVoteCase{"RecognitionOnlyGrows",
                      {kTwoHeartsForMe},
                      {{qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 1)})}},
                      {},
                      {{"recognition", kTwoHearts}}},
        // A majority of the usual five-player team is three, whichever team the recipient is on.
        AfterVoteCase{"TeamChoicesAreTheMajority",
                      {},
                      {{qivhost::kMessagingPostGameCeremony,
                        Ceremony({Recipient(2001, kReportGame, 3), Recipient(2002, kReportGame, 2),
                                  Recipient(3001, kReportGame, 3)})}},
                      {"Create /qiv-honor-v2/v1/team-choices"},
                      {{"team-choices", "[2001,3001]"}}},
        AfterVoteCase{"TeamChoicesOnlyGrow",
                      {{qivhost::kMessagingPostGameCeremony,
                        Ceremony({Recipient(2001, kReportGame, 3), Recipient(2002, kReportGame, 4)})}},
                      {{qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(3001, kReportGame, 5)})}},
                      {},
                      {{"team-choices", "[2001,2002]"}}},
        AfterVoteCase{"ACeremonyForAnotherGameChangesNothing",
                      {},
                      {{qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, 5, 4), Recipient(2001, 5, 4)})}},
                      {},
                      {{"recognition", "[]"}, {"team-choices", "[]"}}},
        AfterVoteCase{"AFullTeamVoteCountsWhateverItsGame",
                      {},
                      {{qivhost::kMessagingFullTeamVote, R"({"gameId":31})"}},
                      {"Create /qiv-honor-v2/v1/full-team-vote"},
                      {{"full-team-vote", R"({"gameId":31})"}}},
        AfterVoteCase{"AVoteCompletionOfAnotherGameDoesNot",
                      {},
                      {{qivhost::kMessagingVoteCompletion, R"({"gameId":5,"fullTeamVote":true})"}},
                      {},
                      {{"vote-completion", R"({"fullTeamVote":false,"gameId":0})"}}},
        AfterVoteCase{"AVoteCompletionOfTheCurrentGameCounts",
                      {},
                      {{qivhost::kMessagingVoteCompletion, R"({"fullTeamVote":true,"gameId":9000042})"}},
                      {"Create /qiv-honor-v2/v1/vote-completion"},
                      {{"vote-completion", R"({"fullTeamVote":true,"gameId":9000042})"}}}), CaseName());

// The majority is counted on the player's team as the statistics held list it: a team of
// six needs four. The threshold itself (and three without statistics) is MajorityThreshold's.
TEST_F(HonorVote, TeamChoicesNeedAMajorityOfThePlayersTeamInTheStatistics) {
    StartEnabled();
    StatsDoc stats;
    stats.myTeam.clear();
    for (std::uint64_t id = 5000; id < 5006; ++id) stats.myTeam.push_back({id, "Player " + std::to_string(id)});
    SetNow(qivhost::kEndOfGameStatsUri, StatsJson(stats));
    (void)Vote(5001, "HEART", kReportGame);
    MessageNow(qivhost::kMessagingPostGameCeremony,
               Ceremony({Recipient(6001, kReportGame, 3), Recipient(6002, kReportGame, 4),
                         Recipient(6003, kReportGame, 5)}));
    EXPECT_EQ(Get("team-choices"), "[6002,6003]");
}

TEST_F(HonorVote, TheNextResetClearsEverythingButTheVoteCompletion) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 3)}));
    Message(qivhost::kMessagingFullTeamVote, R"({"gameId":9000042})");
    MessageNow(qivhost::kMessagingVoteCompletion, R"({"fullTeamVote":true,"gameId":9000042})");
    ConfigureNow(true);  // enabling again resets the vote state
    EXPECT_EQ(Get("recognition"), "[]");
    EXPECT_EQ(Get("team-choices"), "[]");
    EXPECT_EQ(Get("full-team-vote"), R"({"gameId":0})");
    EXPECT_EQ(Get("vote-completion"), R"({"fullTeamVote":true,"gameId":9000042})");
    EXPECT_EQ(Get("latest-eligible-game"), "9000042");
}

TEST_F(HonorVote, RecognitionReachingThePlayerAfterTheEndOfGameScreenIsOfferedLate) {
    OpenBallot();
    PhaseNow("EndOfGame");
    (void)Vote(2001, "HEART", kReportGame);
    std::size_t mark = Mark();
    PhaseNow("Lobby");
    EXPECT_THAT(Published(mark), ElementsAre("Delete /qiv-honor-v2/v1/late-recognition"))
        << "leaving the end-of-game screen clears earlier late recognition; both phases offer it";

    mark = Mark();
    MessageNow(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 2)}));
    MessageNow(qivhost::kMessagingVoteCompletion, R"({"gameId":9000042,"fullTeamVote":false})");
    EXPECT_THAT(Published(mark),
                ElementsAre("Create /qiv-honor-v2/v1/recognition", "Create /qiv-honor-v2/v1/vote-completion",
                            "Create /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(Parse(LastData("/qiv-honor-v2/v1/late-recognition")).Size(), 2u);
    EXPECT_EQ(Parse(Get("late-recognition")).Size(), 2u);

    // Champion select hides it without clearing; the lobby shows it again.
    mark = Mark();
    PhaseNow("ChampSelect");
    EXPECT_EQ(Get("late-recognition"), "[]");
    PhaseNow("Lobby");
    EXPECT_THAT(Published(mark),
                ElementsAre("Create /qiv-honor-v2/v1/late-recognition", "Create /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/late-recognition"), Get("late-recognition"));
    EXPECT_EQ(Parse(Get("late-recognition")).Size(), 2u);

    mark = Mark();
    EXPECT_TRUE(Ok(Post("late-recognition/ack")));
    EXPECT_THAT(Published(mark), ElementsAre("Delete /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(Get("late-recognition"), "[]");
}

TEST_F(HonorVote, WithoutLeavingTheEndOfGameScreenNothingIsOfferedLate) {
    OpenBallot();
    PhaseNow("EndOfGame");
    (void)Vote(2001, "HEART", kReportGame);
    const std::size_t mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 2)}));
    MessageNow(qivhost::kMessagingVoteCompletion, R"({"gameId":9000042,"fullTeamVote":false})");
    EXPECT_THAT(Published(mark),
                ElementsAre("Create /qiv-honor-v2/v1/recognition", "Create /qiv-honor-v2/v1/vote-completion"));
    EXPECT_EQ(Get("late-recognition"), "[]");
}

TEST_F(HonorVote, PhasesMovingOutOfTheLobbySetPublishAnEmptyLateRecognition) {
    StartEnabled();
    const std::size_t mark = Mark();
    PhaseNow("Lobby");
    PhaseNow("ChampSelect");
    PhaseNow("ChampSelect");
    EXPECT_THAT(Published(mark), ElementsAre("Create /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/late-recognition"), "[]");
}

}  // namespace
}  // namespace honor_e2e
