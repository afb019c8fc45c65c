#include "honor/ballot_builder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace Vorn::Client::Honor {
namespace {

Api::EndOfGamePlayer Player(std::uint64_t userId, std::string name) {
    Api::EndOfGamePlayer player;
    player.userId = userId;
    player.summonerId = userId + 1000;  // never used for the ballot
    player.summonerName = std::move(name);
    player.championId = static_cast<std::int32_t>(userId);
    player.skinName = "skin";
    player.skinIndex = 2;
    return player;
}

// Two teams of five; the player (id 1) is on the first, with a bot (4) and a leaver (5).
Api::EndOfGameStats TwoTeams() {
    Api::EndOfGameStats stats;
    stats.gameType = "MATCHED_GAME";
    stats.queueType = "NORMAL";
    stats.gameId = 77;
    stats.reportGameId = 78;
    Api::EndOfGameTeam mine;
    mine.isPlayerTeam = true;
    for (std::uint64_t id = 1; id <= 5; ++id) mine.players.push_back(Player(id, "ally" + std::to_string(id)));
    mine.players[3].botPlayer = true;
    mine.players[4].leaver = true;
    Api::EndOfGameTeam theirs;
    for (std::uint64_t id = 11; id <= 15; ++id) theirs.players.push_back(Player(id, "enemy"));
    stats.teams = {mine, theirs};
    return stats;
}

std::vector<std::uint64_t> Ids(const Api::Ballot& ballot) {
    std::vector<std::uint64_t> ids;
    for (const Api::EligiblePlayer& player : ballot.eligiblePlayers) ids.push_back(player.summonerId);
    return ids;
}

TEST(BuildBallot, ListsTeamMatesWithoutBotsLeaversAndThePlayer) {
    const BallotBuilder builder;
    const std::optional<Api::Ballot> ballot = builder.BuildBallot(1, false, TwoTeams());
    ASSERT_TRUE(ballot.has_value());
    EXPECT_EQ(Ids(*ballot), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_EQ(ballot->gameId, 78u) << "the ballot's game is the statistics' reportGameId";
    const Api::EligiblePlayer& first = ballot->eligiblePlayers.front();
    EXPECT_EQ(first.summonerName, "ally2");
    EXPECT_EQ(first.championId, 2);
    EXPECT_EQ(first.skinName, "skin");
    EXPECT_EQ(first.skinIndex, 2);
}

TEST(BuildBallot, RefusesGamesThatOfferNoVote) {
    struct Case {
        const char* what;
        void (*change)(Api::EndOfGameStats&);
        bool spectating;
    } cases[] = {
        {"custom game", [](Api::EndOfGameStats& s) { s.gameType = "CUSTOM_GAME"; }, false},
        {"tutorial", [](Api::EndOfGameStats& s) { s.gameType = "TUTORIAL_GAME"; }, false},
        {"skirmish queue", [](Api::EndOfGameStats& s) { s.queueType = "SKIRMA"; }, false},
        {"early surrender", [](Api::EndOfGameStats& s) { s.gameEndedInEarlySurrender = true; }, false},
        {"spectator", [](Api::EndOfGameStats&) {}, true},
        {"no player team", [](Api::EndOfGameStats& s) { s.teams[0].isPlayerTeam = false; }, false},
        {"only a bot, a leaver and the player",
         [](Api::EndOfGameStats& s) { s.teams[0].players.erase(s.teams[0].players.begin() + 1, s.teams[0].players.begin() + 3); },
         false},
    };
    const BallotBuilder builder;
    for (const Case& c : cases) {
        Api::EndOfGameStats stats = TwoTeams();
        c.change(stats);
        EXPECT_FALSE(builder.BuildBallot(1, c.spectating, stats).has_value()) << c.what;
    }
    EXPECT_FALSE(builder.BuildBallot(1, false, std::nullopt).has_value());
}

TEST(BuildBallot, ComparesGameTypesExactlyAndKeepsEveryPlayerTeamInOrder) {
    const BallotBuilder builder;
    Api::EndOfGameStats stats = TwoTeams();
    stats.gameType = "custom_game";
    stats.teams[1].isPlayerTeam = true;
    const std::optional<Api::Ballot> ballot = builder.BuildBallot(1, false, stats);
    ASSERT_TRUE(ballot.has_value());
    EXPECT_EQ(Ids(*ballot), (std::vector<std::uint64_t>{2, 3, 11, 12, 13, 14, 15}));
}

TEST(BuildBallot, BeforeLoginNobodyIsExcludedById) {
    const BallotBuilder builder;
    const std::optional<Api::Ballot> ballot = builder.BuildBallot(0, false, TwoTeams());
    ASSERT_TRUE(ballot.has_value());
    EXPECT_EQ(Ids(*ballot), (std::vector<std::uint64_t>{1, 2, 3}));
}

TEST(MajorityThreshold, IsAMajorityOfTheFirstPlayerTeamOrThree) {
    const std::pair<std::size_t, std::size_t> table[] = {{5, 3}, {4, 3}, {6, 4}, {1, 1}, {0, 1}, {10, 6}};
    for (const auto& [players, threshold] : table) {
        Api::EndOfGameStats stats = TwoTeams();
        stats.teams[0].players.resize(players);
        EXPECT_EQ(MajorityThreshold(stats), threshold) << players << " players";
    }
    EXPECT_EQ(MajorityThreshold(std::nullopt), 3u);
    Api::EndOfGameStats noPlayerTeam = TwoTeams();
    noPlayerTeam.teams[0].isPlayerTeam = false;
    EXPECT_EQ(MajorityThreshold(noPlayerTeam), 3u);
    Api::EndOfGameStats secondIsMine = TwoTeams();
    secondIsMine.teams[0].isPlayerTeam = false;
    secondIsMine.teams[1].isPlayerTeam = true;
    secondIsMine.teams[1].players.resize(6);
    EXPECT_EQ(MajorityThreshold(secondIsMine), 4u);
}

}  // namespace
}  // namespace Vorn::Client::Honor
