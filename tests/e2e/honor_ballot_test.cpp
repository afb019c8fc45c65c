// The post-game road: the ballot from the end-of-game statistics and the "honor-vote"
// step, the vote through the honor server, and what the messaging service reports
// afterwards (ceremony, full-team vote, vote completion, late recognition).
#include <string>
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
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    EXPECT_EQ(
        Get("ballot"),
        R"({"eligiblePlayers":[)"
        R"({"championId":11,"skinIndex":1,"skinName":"Skin of Ally One","summonerId":2001,"summonerName":"Ally One"},)"
        R"({"championId":12,"skinIndex":2,"skinName":"Skin of Ally Two","summonerId":2002,"summonerName":"Ally Two"}],)"
        R"("gameId":9000042})");
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/ballot"), Get("ballot"));
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1")) << "the step stays open for the vote";
}

TEST_F(HonorBallot, OpensWhenTheStepComesAfterTheStatistics) {
    StartEnabled();
    std::size_t mark = Mark();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Settle();
    EXPECT_THAT(Published(mark), IsEmpty()) << "no step yet";
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre(kBallot));
}

TEST_F(HonorBallot, OpensWhenTheStepComesBeforeTheStatistics) {
    StartEnabled();
    const std::size_t mark = Mark();
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    EXPECT_THAT(Steps(mark), IsEmpty()) << "no statistics yet";
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Settle();
    EXPECT_THAT(Steps(mark), ElementsAre(kBallot));
}

TEST_F(HonorBallot, EveryLaterUpdateOfEitherFactPublishesItAgain) {
    StartEnabled();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    const std::size_t mark = Mark();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Settle();
    host.SetCurrentSequenceEvent(kHonorVote, 3);
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre(kBallot, kBallot));
}

TEST_F(HonorBallot, ADeletedSequenceEventKeepsTheStepName) {
    StartEnabled();
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    ASSERT_TRUE(host.DeleteResource(qivhost::kCurrentSequenceEventUri));
    Settle();
    const std::size_t mark = Mark();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre(kBallot));
}

TEST_F(HonorBallot, DeletedStatisticsOpenNothing) {
    StartEnabled();
    Set(qivhost::kEndOfGameStatsUri, StatsJson());
    Settle();
    ASSERT_TRUE(host.DeleteResource(qivhost::kEndOfGameStatsUri));
    Settle();
    const std::size_t mark = Mark();
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    EXPECT_THAT(Steps(mark), IsEmpty());
}

struct NoBallotCase {
    const char* name;
    StatsDoc stats;
    bool spectating;
};

StatsDoc With(void (*change)(StatsDoc&)) {
    StatsDoc stats;
    change(stats);
    return stats;
}

class HonorNoBallot : public HonorHost, public ::testing::WithParamInterface<NoBallotCase> {};

TEST_P(HonorNoBallot, ResetsAndCompletesTheStepAtOnce) {
    StartEnabled();
    if (GetParam().spectating) {
        Set(qivhost::kSpectateUri, "false");
        Set(qivhost::kSpectateUri, "true");
    }
    Set(qivhost::kEndOfGameStatsUri, StatsJson(GetParam().stats));
    Settle();
    const std::size_t mark = Mark();
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    EXPECT_THAT(Steps(mark), ElementsAreArray(Concat({ResetDeletes(), {kCompletion}})));
    EXPECT_EQ(Get("ballot"), R"({"eligiblePlayers":[],"gameId":0})");
    EXPECT_THAT(PreEndOfGame(), ElementsAre("register honor-vote 1", "complete honor-vote"));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, HonorNoBallot,
    ::testing::Values(NoBallotCase{"CustomGame", With([](StatsDoc& s) { s.gameType = "CUSTOM_GAME"; }), false},
                      NoBallotCase{"TutorialGame", With([](StatsDoc& s) { s.gameType = "TUTORIAL_GAME"; }), false},
                      NoBallotCase{"SkirmaQueue", With([](StatsDoc& s) { s.queueType = "SKIRMA"; }), false},
                      NoBallotCase{"EarlySurrender", With([](StatsDoc& s) { s.earlySurrender = true; }), false},
                      NoBallotCase{"Spectator", StatsDoc{}, true},
                      NoBallotCase{"OnlyABotALeaverAndMe", With([](StatsDoc& s) {
                                       s.myTeam = {{kMe, "Me"}, {2003, "Bot", true}, {2004, "Leaver", false, true}};
                                   }),
                                   false}),
    [](const ::testing::TestParamInfo<NoBallotCase>& tested) { return std::string(tested.param.name); });

TEST_F(HonorBallot, ComparesTheGameTypeExactly) {
    StartEnabled();
    StatsDoc stats;
    stats.gameType = "custom_game";
    Set(qivhost::kEndOfGameStatsUri, StatsJson(stats));
    host.SetCurrentSequenceEvent(kHonorVote, 1);
    Settle();
    EXPECT_EQ(Parse(Get("ballot"))["eligiblePlayers"].Size(), 2u);
}

// ---- The vote ----------------------------------------------------------------------------

class HonorVote : public HonorHost {
protected:
    void OpenBallot() {
        StartEnabled();
        Set(qivhost::kEndOfGameStatsUri, StatsJson());
        host.SetCurrentSequenceEvent(kHonorVote, 1);
        Settle();
        ASSERT_EQ(Published().back(), kBallot);
    }
    std::string Ceremony(const std::vector<std::string>& recipients) {
        std::string list;
        for (const std::string& r : recipients) list += (list.empty() ? "" : ",") + r;
        return "[" + list + "]";
    }
};

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
    EXPECT_EQ(Get("ballot"), R"({"eligiblePlayers":[],"gameId":0})");
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
        EXPECT_EQ(Get("ballot"), R"({"eligiblePlayers":[],"gameId":0})");
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
    for (const char* body : {R"({"summonerId":"two thousand"})", "not json", "[1,2]"}) {
        const qivhost::RestAnswer answer = Post("honor-player", std::string(body));
        EXPECT_FALSE(Ok(answer)) << body;
        EXPECT_TRUE(answer.errorText.has_value()) << body;
    }
    EXPECT_THAT(host.Components().serviceProxy.Requests(), IsEmpty());
    EXPECT_EQ(Published().back(), kBallot) << "the ballot stays open";
}

// ---- After the vote ----------------------------------------------------------------------

TEST_F(HonorVote, RecognitionOnlyGrows) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    std::size_t mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 2)}));
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre("Create /qiv-honor-v2/v1/recognition"));
    EXPECT_EQ(Parse(Get("recognition")).Size(), 2u);

    mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 1)}));
    Settle();
    EXPECT_THAT(Published(mark), IsEmpty());
    EXPECT_EQ(
        Get("recognition"),
        R"([{"honorCategory":"HEART","voterRelationship":"ALLY"},{"honorCategory":"HEART","voterRelationship":"ALLY"}])");
}

TEST_F(HonorVote, TeamChoicesAreTheMajorityOfAFivePlayerTeam) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    const std::size_t mark = Mark();
    Message(
        qivhost::kMessagingPostGameCeremony,
        Ceremony({Recipient(2001, kReportGame, 3), Recipient(2002, kReportGame, 2), Recipient(3001, kReportGame, 3)}));
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre("Create /qiv-honor-v2/v1/team-choices"));
    EXPECT_EQ(Get("team-choices"), "[2001,3001]");
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/team-choices"), "[2001,3001]");
}

// The majority is counted on the player's team as the statistics list it, all players
// included: (players / 2) + 1; without statistics it is 3.
struct MajorityCase {
    const char* name;
    int teamSize;  // 0: no statistics held
    std::vector<int> honors;
    std::string choices;
};

class HonorMajority : public HonorVote, public ::testing::WithParamInterface<MajorityCase> {};

TEST_P(HonorMajority, TeamChoicesNeedAMajorityOfThePlayersTeam) {
    StartEnabled();
    if (GetParam().teamSize > 0) {
        StatsDoc stats;
        stats.myTeam.clear();
        for (int i = 0; i < GetParam().teamSize; ++i) {
            stats.myTeam.push_back({static_cast<std::uint64_t>(5000 + i), "Player " + std::to_string(i)});
        }
        Set(qivhost::kEndOfGameStatsUri, StatsJson(stats));
        Settle();
    }
    (void)Vote(5001, "HEART", kReportGame);
    std::vector<std::string> recipients;
    std::uint64_t id = 6000;
    for (const int count : GetParam().honors) recipients.push_back(Recipient(++id, kReportGame, count));
    Message(qivhost::kMessagingPostGameCeremony, Ceremony(recipients));
    Settle();
    EXPECT_EQ(Get("team-choices"), GetParam().choices);
}

INSTANTIATE_TEST_SUITE_P(Threshold, HonorMajority,
                         ::testing::Values(MajorityCase{"FivePlayersNeedThree", 5, {3, 2, 3}, "[6001,6003]"},
                                           MajorityCase{"FourPlayersNeedThree", 4, {2, 3}, "[6002]"},
                                           MajorityCase{"SixPlayersNeedFour", 6, {3, 4, 5}, "[6002,6003]"},
                                           MajorityCase{"OnePlayerNeedsOne", 1, {0, 1}, "[6002]"},
                                           MajorityCase{"NoStatisticsNeedThree", 0, {2, 3}, "[6002]"}),
                         [](const ::testing::TestParamInfo<MajorityCase>& tested) {
                             return std::string(tested.param.name);
                         });

TEST_F(HonorVote, TeamChoicesOnlyGrow) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    Message(qivhost::kMessagingPostGameCeremony,
            Ceremony({Recipient(2001, kReportGame, 3), Recipient(2002, kReportGame, 4)}));
    Settle();
    const std::size_t mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(3001, kReportGame, 5)}));
    Settle();
    EXPECT_THAT(Published(mark), IsEmpty());
    EXPECT_EQ(Get("team-choices"), "[2001,2002]");
}

TEST_F(HonorVote, ACeremonyForAnotherGameChangesNothing) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    const std::size_t mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, 5, 4), Recipient(2001, 5, 4)}));
    Settle();
    EXPECT_THAT(Published(mark), IsEmpty());
    EXPECT_EQ(Get("recognition"), "[]");
    EXPECT_EQ(Get("team-choices"), "[]");
}

TEST_F(HonorVote, AFullTeamVoteIsStoredAndPublishedWhateverItsGame) {
    OpenBallot();
    const std::size_t mark = Mark();
    Message(qivhost::kMessagingFullTeamVote, R"({"gameId":31})");
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre("Create /qiv-honor-v2/v1/full-team-vote"));
    EXPECT_EQ(Get("full-team-vote"), R"({"gameId":31})");
}

TEST_F(HonorVote, OnlyTheCurrentGamesVoteCompletionCounts) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    std::size_t mark = Mark();
    Message(qivhost::kMessagingVoteCompletion, R"({"gameId":5,"fullTeamVote":true})");
    Settle();
    EXPECT_THAT(Published(mark), IsEmpty());
    EXPECT_EQ(Get("vote-completion"), R"({"fullTeamVote":false,"gameId":0})");

    mark = Mark();
    Message(qivhost::kMessagingVoteCompletion, R"({"fullTeamVote":true,"gameId":9000042})");
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre("Create /qiv-honor-v2/v1/vote-completion"));
    EXPECT_EQ(Get("vote-completion"), R"({"fullTeamVote":true,"gameId":9000042})");
}

TEST_F(HonorVote, TheNextResetClearsEverythingButTheVoteCompletion) {
    OpenBallot();
    (void)Vote(2001, "HEART", kReportGame);
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 3)}));
    Message(qivhost::kMessagingFullTeamVote, R"({"gameId":9000042})");
    Message(qivhost::kMessagingVoteCompletion, R"({"fullTeamVote":true,"gameId":9000042})");
    Settle();
    Configure(true);  // enabling again resets the vote state
    Settle();
    EXPECT_EQ(Get("recognition"), "[]");
    EXPECT_EQ(Get("team-choices"), "[]");
    EXPECT_EQ(Get("full-team-vote"), R"({"gameId":0})");
    EXPECT_EQ(Get("vote-completion"), R"({"fullTeamVote":true,"gameId":9000042})");
    EXPECT_EQ(Get("latest-eligible-game"), "9000042");
}

TEST_F(HonorVote, RecognitionReachingThePlayerAfterTheEndOfGameScreenIsOfferedLate) {
    OpenBallot();
    Set(qivhost::kGameflowSessionUri, GameflowJson("EndOfGame"));
    Settle();
    (void)Vote(2001, "HEART", kReportGame);
    std::size_t mark = Mark();
    Set(qivhost::kGameflowSessionUri, GameflowJson("Lobby"));
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre("Delete /qiv-honor-v2/v1/late-recognition"))
        << "leaving the end-of-game screen clears earlier late recognition; both phases offer it";

    mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 2)}));
    Settle();
    Message(qivhost::kMessagingVoteCompletion, R"({"gameId":9000042,"fullTeamVote":false})");
    Settle();
    EXPECT_THAT(Published(mark),
                ElementsAre("Create /qiv-honor-v2/v1/recognition", "Create /qiv-honor-v2/v1/vote-completion",
                            "Create /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(Parse(LastData("/qiv-honor-v2/v1/late-recognition")).Size(), 2u);
    EXPECT_EQ(Parse(Get("late-recognition")).Size(), 2u);

    // Champion select hides it without clearing; the lobby shows it again.
    mark = Mark();
    Set(qivhost::kGameflowSessionUri, GameflowJson("ChampSelect"));
    Settle();
    EXPECT_EQ(Get("late-recognition"), "[]");
    Set(qivhost::kGameflowSessionUri, GameflowJson("Lobby"));
    Settle();
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
    Set(qivhost::kGameflowSessionUri, GameflowJson("EndOfGame"));
    Settle();
    (void)Vote(2001, "HEART", kReportGame);
    const std::size_t mark = Mark();
    Message(qivhost::kMessagingPostGameCeremony, Ceremony({Recipient(kMe, kReportGame, 2)}));
    Message(qivhost::kMessagingVoteCompletion, R"({"gameId":9000042,"fullTeamVote":false})");
    Settle();
    EXPECT_THAT(Published(mark),
                ElementsAre("Create /qiv-honor-v2/v1/recognition", "Create /qiv-honor-v2/v1/vote-completion"));
    EXPECT_EQ(Get("late-recognition"), "[]");
}

TEST_F(HonorVote, PhasesMovingOutOfTheLobbySetPublishAnEmptyLateRecognition) {
    StartEnabled();
    const std::size_t mark = Mark();
    Set(qivhost::kGameflowSessionUri, GameflowJson("Lobby"));
    Settle();
    Set(qivhost::kGameflowSessionUri, GameflowJson("ChampSelect"));
    Settle();
    Set(qivhost::kGameflowSessionUri, GameflowJson("ChampSelect"));
    Settle();
    EXPECT_THAT(Published(mark), ElementsAre("Create /qiv-honor-v2/v1/late-recognition"));
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/late-recognition"), "[]");
}

}  // namespace
}  // namespace honor_e2e
