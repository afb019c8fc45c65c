#include "honor/ballot_builder.h"

namespace Vorn::Client::Honor {
namespace {

bool GameAllowsBallot(const Api::EndOfGameStats& stats, bool spectating) {
    if (stats.gameType == "CUSTOM_GAME" || stats.gameType == "TUTORIAL_GAME") return false;
    if (stats.queueType == "SKIRMA") return false;
    return !stats.gameEndedInEarlySurrender && !spectating;
}

Api::EligiblePlayer ToEligible(const Api::EndOfGamePlayer& player) {
    Api::EligiblePlayer eligible;
    eligible.summonerId = player.userId;
    eligible.championId = player.championId;
    eligible.summonerName = player.summonerName;
    eligible.skinName = player.skinName;
    eligible.skinIndex = player.skinIndex;
    return eligible;
}

}  // namespace

std::optional<Api::Ballot> BallotBuilder::BuildBallot(std::uint64_t localSummonerId, bool spectating,
                                                      const std::optional<Api::EndOfGameStats>& stats) const {
    if (!stats.has_value() || !GameAllowsBallot(*stats, spectating)) return std::nullopt;
    Api::Ballot ballot;
    for (const Api::EndOfGameTeam& team : stats->teams) {
        if (!team.isPlayerTeam) continue;
        for (const Api::EndOfGamePlayer& player : team.players) {
            if (player.botPlayer || player.leaver || player.userId == localSummonerId) continue;
            ballot.eligiblePlayers.push_back(ToEligible(player));
        }
    }
    if (ballot.eligiblePlayers.empty()) return std::nullopt;
    ballot.gameId = stats->reportGameId;
    return ballot;
}

std::size_t MajorityThreshold(const std::optional<Api::EndOfGameStats>& stats) {
    if (stats.has_value()) {
        for (const Api::EndOfGameTeam& team : stats->teams) {
            if (team.isPlayerTeam) return team.players.size() / 2 + 1;
        }
    }
    return 3;
}

}  // namespace Vorn::Client::Honor
