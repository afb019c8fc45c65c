// HonorState: what the honor feature keeps whichever logic is in force, so that nothing
// that arrived while the feature was disabled is lost when it is enabled again:
//   - the facts of the current post-game: the end-of-game statistics and the step of the
//     pre-end-of-game sequence;
//   - the player's honor profile;
//   - the news the user interface has not acknowledged yet, of two kinds, a level change
//     and a granted reward, each with the legacy simple dialog message that carried it
//     (kept for its acknowledgement) and a count of arrivals.
//
// HonorPlugin owns it and updates it before it forwards an event to the logic in force;
// ActiveHonorLogic reads it and acknowledges the news. Like all of the feature it is used
// only on the host's calling thread, nested calls during a wait included; the arrival
// counts let an acknowledgement tell whether newer news came while it waited.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "honor/honor_records.h"

namespace Vorn::Client::Honor {

// The two kinds of news that wait for the user interface's acknowledgement.
enum class NewsKind { LevelChange, Reward };

class HonorState {
public:
    // ---- The post-game facts ----------------------------------------------------------
    [[nodiscard]] const std::optional<Api::EndOfGameStats>& Stats() const { return endOfGameStats_; }
    void SetStats(const Api::EndOfGameStats& stats) { endOfGameStats_ = stats; }
    void SetStats(Api::EndOfGameStats&& stats) { endOfGameStats_ = std::move(stats); }
    void ClearStats() { endOfGameStats_.reset(); }
    // The current step of the post-game sequence: the last sequence event's name and
    // priority (the priority is kept, not used).
    void SetSequenceStep(const Api::SequenceEvent& event);
    [[nodiscard]] const std::string& SequenceStepName() const { return sequenceStepName_; }
    [[nodiscard]] std::int32_t SequenceStepPriority() const { return sequenceStepPriority_; }

    // ---- The profile ------------------------------------------------------------------
    [[nodiscard]] const std::optional<Api::ProfileInfo>& Profile() const { return profile_; }
    void SetProfile(const Api::ProfileInfo& profile) { profile_ = profile; }

    // ---- The news ---------------------------------------------------------------------
    // A level change arrived: it is pending, replacing any earlier one, and its current
    // state becomes the profile.
    void ReceiveLevelChange(const Api::VendedHonorChange& change);
    // A granted reward arrived: it is pending, replacing any earlier one.
    void ReceiveReward(const Api::VendedReward& reward);
    [[nodiscard]] const std::optional<Api::VendedHonorChange>& PendingLevelChange() const {
        return pendingLevelChange_;
    }
    [[nodiscard]] const std::optional<Api::VendedReward>& PendingReward() const { return pendingReward_; }
    // The user interface has seen the pending news of `kind`.
    void ClearPending(NewsKind kind);

    // The simple dialog message that carried the news of `kind`, kept for its "ack".
    void KeepMessage(NewsKind kind, const Api::VyreSimpleMessage& message) { Of(kind).message = message; }
    [[nodiscard]] const std::optional<Api::VyreSimpleMessage>& Message(NewsKind kind) const {
        return Of(kind).message;
    }
    // Forgets the kept message of `kind` if it is still the one `msgId` names.
    void ForgetMessage(NewsKind kind, const std::string& msgId);
    // How many news of `kind` have arrived so far.
    [[nodiscard]] std::uint64_t Arrivals(NewsKind kind) const { return Of(kind).arrivals; }

private:
    struct Carrier {
        std::optional<Api::VyreSimpleMessage> message;
        std::uint64_t arrivals = 0;
    };
    [[nodiscard]] Carrier& Of(NewsKind kind) { return kind == NewsKind::LevelChange ? levelChange_ : reward_; }
    [[nodiscard]] const Carrier& Of(NewsKind kind) const {
        return kind == NewsKind::LevelChange ? levelChange_ : reward_;
    }

    std::optional<Api::EndOfGameStats> endOfGameStats_;
    std::string sequenceStepName_;
    std::int32_t sequenceStepPriority_ = -1;
    std::optional<Api::ProfileInfo> profile_;
    std::optional<Api::VendedHonorChange> pendingLevelChange_;
    std::optional<Api::VendedReward> pendingReward_;
    Carrier levelChange_;
    Carrier reward_;
};

}  // namespace Vorn::Client::Honor
