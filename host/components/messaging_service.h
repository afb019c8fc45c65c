// The messaging service's honor resources. Each holds a VMSMessage envelope
// {resource, service, version, timestamp, payload} whose payload is the JSON text of the
// carried record (a list of HonorRecipient, a VendedHonorChange, a VendedReward, a
// FullTeamVote or a VoteCompletion).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/host_value_json.h"

namespace qivhost {

inline constexpr char kMessagingPostGameCeremony[] = "/vorn-messaging-service/v1/message/honor/post-game-ceremony";
inline constexpr char kMessagingLevelChange[] = "/vorn-messaging-service/v1/message/honor/level-change";
inline constexpr char kMessagingRewardGranted[] = "/vorn-messaging-service/v1/message/honor/reward-granted";
inline constexpr char kMessagingFullTeamVote[] = "/vorn-messaging-service/v1/message/honor/full-team-vote";
inline constexpr char kMessagingVoteCompletion[] = "/vorn-messaging-service/v1/message/honor/vote-completion";

struct VmsEnvelope {
    std::string service = "honor";
    std::string version = "1.0";
    std::int64_t timestamp = 0;
};

// The envelope for `uri` carrying `payloadJson` as its payload text. The resource name
// is the last piece of the URI ("level-change").
[[nodiscard]] OwnedHostValue VmsMessage(std::string_view uri, std::string_view payloadJson,
                                        const VmsEnvelope& envelope = VmsEnvelope{});

}  // namespace qivhost
