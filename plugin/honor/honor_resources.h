// The paths of the honor feature's own resources, served as routes and announced as
// resource events, and the resources of other components it watches.
#pragma once

namespace Vorn::Client::Honor {

inline constexpr const char* kConfigUri = "/qiv-honor-v2/v1/config";
inline constexpr const char* kBallotUri = "/qiv-honor-v2/v1/ballot";
inline constexpr const char* kRecognitionUri = "/qiv-honor-v2/v1/recognition";
inline constexpr const char* kLateRecognitionUri = "/qiv-honor-v2/v1/late-recognition";
inline constexpr const char* kTeamChoicesUri = "/qiv-honor-v2/v1/team-choices";
inline constexpr const char* kRecipientsUri = "/qiv-honor-v2/v1/recipients";
inline constexpr const char* kFullTeamVoteUri = "/qiv-honor-v2/v1/full-team-vote";
inline constexpr const char* kVoteCompletionUri = "/qiv-honor-v2/v1/vote-completion";
inline constexpr const char* kLevelChangeUri = "/qiv-honor-v2/v1/level-change";
inline constexpr const char* kRewardGrantedUri = "/qiv-honor-v2/v1/reward-granted";
inline constexpr const char* kProfileUri = "/qiv-honor-v2/v1/profile";

inline constexpr const char* kEndOfGameStatsUri = "/qiv-end-of-game/v1/eog-stats-block";
inline constexpr const char* kSpectateUri = "/qiv-gameflow/v1/spectate";
inline constexpr const char* kGameflowSessionUri = "/qiv-gameflow/v1/session";
inline constexpr const char* kLoginSessionUri = "/qiv-login/v1/session";
inline constexpr const char* kHonorNamespaceUri = "/qiv-platform-config/v1/namespaces/Honor";
inline constexpr const char* kSequenceEventUri = "/qiv-pre-end-of-game/v1/currentSequenceEvent";
inline constexpr const char* kLoginDataPacketUri = "/qiv-login/v1/login-data-packet";
inline constexpr const char* kPostGameCeremonyUri = "/vorn-messaging-service/v1/message/honor/post-game-ceremony";
inline constexpr const char* kLevelChangeMessageUri = "/vorn-messaging-service/v1/message/honor/level-change";
inline constexpr const char* kRewardGrantedMessageUri = "/vorn-messaging-service/v1/message/honor/reward-granted";
inline constexpr const char* kFullTeamVoteMessageUri = "/vorn-messaging-service/v1/message/honor/full-team-vote";
inline constexpr const char* kVoteCompletionMessageUri = "/vorn-messaging-service/v1/message/honor/vote-completion";
inline constexpr const char* kSimpleDialogMessageClass =
    "com.rerozuvod.platform.messaging.persistence.SimpleDialogMessage";
inline constexpr const char* kSimpleDialogMessageResponseClass =
    "com.rerozuvod.platform.messaging.persistence.SimpleDialogMessageResponse";

}  // namespace Vorn::Client::Honor
