// The eligibility rules of the ballot and the majority of the team choices. That the
// plug-in applies them to the statistics it holds is the HonorBallot end-to-end tests'.
#include "honor/ballot_builder.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace Vorn::Client::Honor {
namespace {

// Two teams of five; the player (id 1) is on the first, with a bot (4) and a leaver (5).
Api::EndOfGameStats TwoTeams() {
    Api::EndOfGameStats stats;
    stats.gameType = "MATCHED_GAME";
    stats.queueType = "NORMAL";
    Api::EndOfGameTeam mine;
    mine.isPlayerTeam = true;
    Api::EndOfGameTeam theirs;
    for (std::uint64_t id = 1; id <= 5; ++id) {
        mine.players.emplace_back().userId = id;
        theirs.players.emplace_back().userId = id + 10;
    }
    mine.players[3].botPlayer = true;
    mine.players[4].leaver = true;
    stats.teams = {mine, theirs};
    return stats;
}

std::vector<std::uint64_t> Ids(const Api::Ballot& ballot) {
    std::vector<std::uint64_t> ids;
    for (const Api::EligiblePlayer& player : ballot.eligiblePlayers) ids.push_back(player.summonerId);
    return ids;
}

TEST(BuildBallot, RefusesGamesThatOfferNoVote) {
    using Stats = Api::EndOfGameStats;
    const std::pair<const char*, void (*)(Stats&)> cases[] = {
        {"custom game", [](Stats& s) { s.gameType = "CUSTOM_GAME"; }},
        {"tutorial", [](Stats& s) { s.gameType = "TUTORIAL_GAME"; }},
        {"skirmish queue", [](Stats& s) { s.queueType = "SKIRMA"; }},
        {"early surrender", [](Stats& s) { s.gameEndedInEarlySurrender = true; }},
        {"no player team", [](Stats& s) { s.teams[0].isPlayerTeam = false; }},
        {"only a bot, a leaver and the player",
         [](Stats& s) { s.teams[0].players.erase(s.teams[0].players.begin() + 1, s.teams[0].players.begin() + 3); }},
    };
    const BallotBuilder builder;
    for (const auto& [what, change] : cases) {
        Stats stats = TwoTeams();
        change(stats);
        EXPECT_FALSE(builder.BuildBallot(1, false, stats).has_value()) << what;
    }
    EXPECT_FALSE(builder.BuildBallot(1, true, TwoTeams()).has_value()) << "spectator";
    EXPECT_FALSE(builder.BuildBallot(1, false, std::nullopt).has_value()) << "no statistics";
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
