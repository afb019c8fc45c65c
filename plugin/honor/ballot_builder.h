// BallotBuilder: who the player may honor after a game. It keeps no state; the plug-in
// creates one and shares it with the enabled logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "honor/honor_records.h"

namespace Vorn::Client::Honor {

class BallotBuilder {
public:
    virtual ~BallotBuilder() = default;

    // The team mates of the player's team(s), in end-of-game order, without bots,
    // leavers and the player; none for custom, tutorial and "SKIRMA" games, early
    // surrenders, spectators, or when nobody is left.
    [[nodiscard]] virtual std::optional<Api::Ballot> BuildBallot(std::uint64_t localSummonerId, bool spectating,
                                                                 const std::optional<Api::EndOfGameStats>& stats) const;
};

// How many honors make a team mate a team choice: a majority of the first player team of
// the statistics (all its players counted), or 3 without statistics or player team.
[[nodiscard]] std::size_t MajorityThreshold(const std::optional<Api::EndOfGameStats>& stats);

}  // namespace Vorn::Client::Honor
