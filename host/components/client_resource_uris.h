// The URIs of the resources the honor plug-in reads from the client's other components,
// for tests and scenarios that fill the resource store. The messaging-service resources
// are in messaging_service.h, the current sequence event in pre_end_of_game.h.
#pragma once

namespace qivhost {

inline constexpr char kEndOfGameStatsUri[] = "/qiv-end-of-game/v1/eog-stats-block";
inline constexpr char kSpectateUri[] = "/qiv-gameflow/v1/spectate";
inline constexpr char kGameflowSessionUri[] = "/qiv-gameflow/v1/session";
inline constexpr char kLoginSessionUri[] = "/qiv-login/v1/session";
inline constexpr char kLoginDataPacketUri[] = "/qiv-login/v1/login-data-packet";
inline constexpr char kHonorConfigUri[] = "/qiv-platform-config/v1/namespaces/Honor";

}  // namespace qivhost
