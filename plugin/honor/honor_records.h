// The records and enumerations the honor feature exchanges: what it reads from other
// plug-ins, the messaging-service messages, the honor server's requests and replies, the
// legacy Vyre simple dialog messages, and what it serves on its own REST API. Plain value
// structures; field names are the wire names, defaults are those the wire relies on when
// a field is absent. RegisterRecords enters them all in the plug-in's registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "value/binding_property.h"

namespace vclient {
class TypeRegistry;
}

namespace Vorn::Client::Honor {

namespace ServiceProxy {

// Argument of "honor.server" / "honorPlayer".
struct HonorPlayerRequest {
    std::uint64_t summonerId = 0;
    std::string honorType;
    std::uint64_t gameId = 0;
};

// Result of "honor.server" / "retrieveProfile".
struct RetrieveProfileResponse {
    std::int32_t honorLevel = 0;
    std::int32_t checkpoint = 0;
    bool rewardsLocked = false;
};

}  // namespace ServiceProxy

namespace Api {

struct HonorConfig {
    bool Enabled = false;
    bool Honor2018Enabled = false;
    bool DayOneModalEnabled = false;
    std::int32_t SecondsToVote = 40;
};

// The envelope of a messaging-service resource; `payload` is the JSON text of the record.
struct VMSMessage {
    std::string resource;
    std::string service;
    std::string version;
    std::int64_t timestamp = 0;
    std::string payload;
};

struct EligiblePlayer {
    std::uint64_t summonerId = 0;
    std::int32_t championId = 0;
    std::string summonerName;
    std::string skinName;
    std::int32_t skinIndex = 0;
};

struct Ballot {
    std::vector<EligiblePlayer> eligiblePlayers;
    std::uint64_t gameId = 0;
};

struct ProfileInfo {
    std::int32_t honorLevel = -1;
    std::int32_t checkpoint = -1;
    bool rewardsLocked = false;
};

// Body of POST "/qiv-honor-v2/v1/honor-player".
struct ApiHonorPlayerServerRequest {
    std::uint64_t summonerId = 0;
    std::string honorCategory;
    std::uint64_t gameId = 0;
};

struct Honor {
    std::string honorCategory;
    std::string voterRelationship;
};

struct HonorRecipient {
    std::uint64_t summonerId = 0;
    std::uint64_t gameId = 0;
    std::vector<Honor> honors;
};

struct VendedHonorState {
    std::int32_t level = -1;
    std::int32_t checkpoint = -1;
    bool rewardsLocked = false;
};

struct DynamicHonorMessage {
    std::string messageId;
    std::int32_t value = -1;
};

struct Reward {
    std::string rewardType;
    std::int32_t quantity = -1;
};

struct VendedReward {
    std::string rewardType;
    std::int32_t quantity = -1;
    DynamicHonorMessage dynamicHonorMessage;
};

struct VendedHonorChange {
    std::string actionType;
    VendedHonorState previousState;
    VendedHonorState currentState;
    Reward reward;
    DynamicHonorMessage dynamicHonorMessage;
};

struct FullTeamVote {
    std::uint64_t gameId = 0;
};

struct VoteCompletion {
    std::uint64_t gameId = 0;
    bool fullTeamVote = false;
};

struct SequenceEvent {
    std::string name;
    std::int32_t priority = 0;
};

enum class LoginSessionStates : std::int32_t {
    IN_PROGRESS = 0,
    ERROR = 3,
    SUCCEEDED = 1,
    LOGGING_OUT = 2,
};

struct LoginSession {
    LoginSessionStates state = LoginSessionStates::IN_PROGRESS;
    std::uint64_t summonerId = 0;
    std::uint64_t accountId = 0;
};

enum class GameflowPhase : std::int32_t {
    None = 0,
    Lobby = 1,
    Matchmaking = 2,
    CheckedIntoTournament = 3,
    ReadyCheck = 4,
    ChampSelect = 5,
    GameStart = 6,
    FailedToLaunch = 7,
    InProgress = 8,
    Reconnect = 9,
    WaitingForStats = 10,
    PreEndOfGame = 11,
    EndOfGame = 12,
    TerminatedInError = 13,
};

struct GameflowSession {
    GameflowPhase phase = GameflowPhase::None;
};

struct EndOfGamePlayer {
    vclient::BindingProperty stats;
    bool botPlayer = false;
    std::int32_t championId = 0;
    bool isReportingDisabled = false;
    std::uint64_t gameId = 0;
    bool leaver = false;
    std::int32_t profileIconId = 0;
    std::string skinName;
    std::string summonerName;
    std::int32_t teamId = 0;
    std::uint64_t userId = 0;
    std::int32_t wins = 0;
    std::uint64_t summonerId = 0;
    std::int32_t skinIndex = 0;
};

struct EndOfGameTeam {
    vclient::BindingProperty stats;
    std::vector<EndOfGamePlayer> players;
    std::string memberStatusString;
    std::string name;
    std::string tag;
    std::string fullId;
    std::int32_t teamId = 0;
    bool isBottomTeam = false;
    bool isPlayerTeam = false;
    bool isWinningTeam = false;
    std::vector<std::int32_t> championBans;
};

struct EndOfGameStats {
    std::string difficulty;
    std::uint64_t gameId = 0;
    std::int32_t gameLength = 0;
    std::string gameMode;
    std::vector<std::string> gameMutators;
    std::string gameType;
    bool imbalancedTeamsNoPoints = false;
    bool invalid = false;
    std::string queueType;
    bool ranked = false;
    std::uint64_t reportGameId = 0;
    std::vector<EndOfGameTeam> teams;
    std::string myTeamStatus;
    std::string summonerName;
    std::uint64_t accountId = 0;
    std::uint64_t summonerId = 0;
    std::int32_t championId = 0;
    bool gameEndedInEarlySurrender = false;
};

// Legacy Vyre simple dialog message; `params[0]` is the JSON text of the carried record.
struct VyreSimpleMessage {
    std::uint64_t accountId = 0;
    std::string msgId;
    std::string type;
    std::vector<std::string> params;
};

struct VyreSimpleMessageResponse {
    std::uint64_t accountId = 0;
    std::string msgId;
    std::string command;
};

}  // namespace Api

// Registers the records and enumerations above in their wire order: those of the REST
// API and the other plug-ins under `prefix` (the plug-in's route prefix) followed by their
// name, then the two Vyre records under their plain names. The Vyre class names are the
// plug-in's to enter (kSimpleDialogMessageClass, kSimpleDialogMessageResponseClass).
void RegisterRecords(vclient::TypeRegistry& registry, const std::string& prefix);

}  // namespace Vorn::Client::Honor
