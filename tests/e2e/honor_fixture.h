// The honor plug-in as the client runs it: the real library loaded by the development
// host, the client's resources filled with readable JSON documents. Fill what the plug-in
// reads at Start (Login(), Configure(), Set()), Start(), drive the DevHost and Settle();
// Published(mark) lists the plug-in's resource events ("Create /qiv-honor-v2/v1/ballot"),
// Steps(mark) interleaves them with its requests ("POST /qiv-pre-end-of-game/..."). A mark
// is Mark(), the host's call count at the moment that matters. Each publication reaches
// the host twice (URI event name, then "OnJsonApiEvent"); Published() lists it once.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client_resources.h"
#include "dev_host.h"
#include "event_name.h"
#include "messaging_service.h"
#include "pre_end_of_game.h"

namespace honor_e2e {

inline constexpr char kHonorVote[] = "honor-vote";
inline constexpr char kApi[] = "/qiv-honor-v2/v1/";
inline constexpr char kEnablement[] = "POST /qiv-pre-end-of-game/v1/registration/honor-vote/1";
inline constexpr char kDisablement[] = "DELETE /qiv-pre-end-of-game/v1/registration/honor-vote";
inline constexpr char kCompletion[] = "POST /qiv-pre-end-of-game/v1/complete/honor-vote";
inline constexpr char kServiceProxyRequest[] = "POST /qiv-login/v1/service-proxy-uuid-requests";
inline constexpr char kVyreInvoke[] = "POST /qiv-login/v1/session/invoke";
inline constexpr char kAckResponseClass[] = "com.rerozuvod.platform.messaging.persistence.SimpleDialogMessageResponse";

// Answers of the inactive logic and of a vote state just reset.
inline constexpr char kEmptyBallot[] = R"({"eligiblePlayers":[],"gameId":0})";
inline constexpr char kDefaultConfig[] =
    R"({"DayOneModalEnabled":false,"Enabled":false,"Honor2018Enabled":false,"SecondsToVote":40})";
inline constexpr char kDefaultLevelChange[] =
    R"({"actionType":"","currentState":{"checkpoint":-1,"level":-1,"rewardsLocked":false},)"
    R"("dynamicHonorMessage":{"messageId":"","value":-1},)"
    R"("previousState":{"checkpoint":-1,"level":-1,"rewardsLocked":false},"reward":{"quantity":-1,"rewardType":""}})";
inline constexpr char kDefaultReward[] =
    R"({"dynamicHonorMessage":{"messageId":"","value":-1},"quantity":-1,"rewardType":""})";

// The logged-in player and the game of the usual statistics.
inline constexpr std::uint64_t kMe = 1001;
inline constexpr std::uint64_t kMyAccount = 7001;
inline constexpr std::uint64_t kGame = 4242;
inline constexpr std::uint64_t kReportGame = 9000042;

// The five Delete events of a vote-state reset, in their order.
inline std::vector<std::string> ResetDeletes() {
    return {"Delete /qiv-honor-v2/v1/team-choices", "Delete /qiv-honor-v2/v1/recognition",
            "Delete /qiv-honor-v2/v1/ballot", "Delete /qiv-honor-v2/v1/recipients",
            "Delete /qiv-honor-v2/v1/full-team-vote"};
}

inline std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline rapidjson::Document Parse(const std::string& json) {
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    EXPECT_FALSE(document.HasParseError()) << json;
    return document;
}

// ---- JSON documents of the client's resources ----

inline std::string LoginSessionJson(std::uint64_t summonerId, std::uint64_t accountId,
                                    const std::string& state = "SUCCEEDED") {
    return R"({"state":")" + state + R"(","summonerId":)" + std::to_string(summonerId) + R"(,"accountId":)" +
           std::to_string(accountId) + "}";
}

inline std::string HonorConfigJson(bool enabled, int secondsToVote = 25) {
    return std::string(R"({"Enabled":)") + (enabled ? "true" : "false") +
           R"(,"Honor2018Enabled":true,"DayOneModalEnabled":true,"SecondsToVote":)" + std::to_string(secondsToVote) +
           "}";
}

inline std::string GameflowJson(const std::string& phase) { return R"({"phase":")" + phase + R"("})"; }

struct PlayerDoc {
    std::uint64_t userId = 0;
    std::string name;
    bool bot = false;
    bool leaver = false;
    std::int32_t championId = 1;
    std::int32_t skinIndex = 0;
};

inline std::string PlayerJson(const PlayerDoc& p, std::int32_t teamId) {
    return R"({"stats":{"CHAMPIONS_KILLED":3,"items":[1,2]},"botPlayer":)" + std::string(p.bot ? "true" : "false") +
           R"(,"championId":)" + std::to_string(p.championId) + R"(,"isReportingDisabled":false,"gameId":)" +
           std::to_string(kGame) + R"(,"leaver":)" + (p.leaver ? "true" : "false") +
           R"(,"profileIconId":7,"skinName":"Skin of )" + p.name + R"(","summonerName":")" + p.name + R"(","teamId":)" +
           std::to_string(teamId) + R"(,"userId":)" + std::to_string(p.userId) + R"(,"wins":1,"summonerId":)" +
           std::to_string(p.userId + 5) + R"(,"skinIndex":)" + std::to_string(p.skinIndex) + "}";
}

inline std::string TeamJson(const std::vector<PlayerDoc>& players, std::int32_t teamId, bool playerTeam) {
    std::string list;
    for (const PlayerDoc& p : players) list += (list.empty() ? "" : ",") + PlayerJson(p, teamId);
    return R"({"stats":{},"players":[)" + list + R"(],"memberStatusString":"","name":"","tag":"","fullId":"",)" +
           R"("teamId":)" + std::to_string(teamId) + R"(,"isBottomTeam":)" + (teamId == 100 ? "true" : "false") +
           R"(,"isPlayerTeam":)" + (playerTeam ? "true" : "false") + R"(,"isWinningTeam":true,"championBans":[1,2]})";
}

// My team: me, two eligible team mates (2001, 2002), a bot (2003) and a leaver (2004);
// the other team: five eligible-looking players (3001..3005) who must never be listed.
inline std::vector<PlayerDoc> MyTeam() {
    return {{kMe, "Me", false, false, 10, 0},
            {2001, "Ally One", false, false, 11, 1},
            {2003, "Bot", true, false, 13, 0},
            {2002, "Ally Two", false, false, 12, 2},
            {2004, "Leaver", false, true, 14, 0}};
}

inline std::vector<PlayerDoc> TheirTeam() {
    std::vector<PlayerDoc> team;
    for (std::uint64_t id = 3001; id <= 3005; ++id) team.push_back({id, "Enemy " + std::to_string(id)});
    return team;
}

struct StatsDoc {
    std::string gameType = "MATCHED_GAME";
    std::string queueType = "NORMAL";
    bool earlySurrender = false;
    std::vector<PlayerDoc> myTeam = MyTeam();
    std::vector<PlayerDoc> theirTeam = TheirTeam();
    std::uint64_t reportGameId = kReportGame;
};

inline std::string StatsJson(const StatsDoc& s = StatsDoc{}) {
    return R"({"difficulty":"","gameId":)" + std::to_string(kGame) + R"(,"gameLength":1800,"gameMode":"CLASSIC",)" +
           R"("gameMutators":[],"gameType":")" + s.gameType + R"(","imbalancedTeamsNoPoints":false,"invalid":false,)" +
           R"("queueType":")" + s.queueType + R"(","ranked":false,"reportGameId":)" + std::to_string(s.reportGameId) +
           R"(,"teams":[)" + TeamJson(s.theirTeam, 200, false) + "," + TeamJson(s.myTeam, 100, true) +
           R"(],"myTeamStatus":"","summonerName":"Me","accountId":)" + std::to_string(kMyAccount) +
           R"(,"summonerId":)" + std::to_string(kMe) + R"(,"championId":10,"gameEndedInEarlySurrender":)" +
           (s.earlySurrender ? "true" : "false") + "}";
}

inline std::string StateJson(int level, int checkpoint, bool locked) {
    return R"({"level":)" + std::to_string(level) + R"(,"checkpoint":)" + std::to_string(checkpoint) +
           R"(,"rewardsLocked":)" + (locked ? "true" : "false") + "}";
}

inline std::string LevelChangeJson(int fromLevel, int toLevel, const std::string& messageId = "honor_up") {
    return R"({"actionType":"LEVEL_UP","previousState":)" + StateJson(fromLevel, 2, false) + R"(,"currentState":)" +
           StateJson(toLevel, 0, false) +
           R"(,"reward":{"rewardType":"KEY_FRAGMENT","quantity":1},"dynamicHonorMessage":{"messageId":")" + messageId +
           R"(","value":)" + std::to_string(toLevel) + "}}";
}

inline std::string RewardJson(const std::string& type, int quantity) {
    return R"({"rewardType":")" + type + R"(","quantity":)" + std::to_string(quantity) +
           R"(,"dynamicHonorMessage":{"messageId":"reward_msg","value":)" + std::to_string(quantity) + "}}";
}

// A JSON text as a JSON string literal (for a simple dialog message's params).
inline std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

inline std::string SimpleMessageJson(const std::string& msgId, const std::string& type, const std::string& param) {
    return R"({"accountId":)" + std::to_string(kMyAccount) + R"(,"msgId":")" + msgId + R"(","type":")" + type +
           R"(","params":[)" + Quote(param) + "]}";
}

inline std::string Recipient(std::uint64_t summonerId, std::uint64_t gameId, int honors) {
    std::string list;
    for (int i = 0; i < honors; ++i) {
        list += std::string(i == 0 ? "" : ",") + R"({"honorCategory":"HEART","voterRelationship":"ALLY"})";
    }
    return R"({"summonerId":)" + std::to_string(summonerId) + R"(,"gameId":)" + std::to_string(gameId) +
           R"(,"honors":[)" + list + "]}";
}

inline std::string VoteJson(std::uint64_t summonerId, const std::string& category, std::uint64_t gameId) {
    return R"({"summonerId":)" + std::to_string(summonerId) + R"(,"honorCategory":")" + category + R"(","gameId":)" +
           std::to_string(gameId) + "}";
}

// Names a parameterized case after the `name` of its row.
struct CaseName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& tested) const {
        return tested.param.name;
    }
};

// ---- The fixture ----

class HonorHost : public ::testing::Test {
protected:
    // Resources the plug-in reads at Start.
    void Login(std::uint64_t summonerId = kMe, std::uint64_t accountId = kMyAccount) {
        Set(qivhost::kLoginSessionUri, LoginSessionJson(summonerId, accountId));
    }
    void Configure(bool enabled) { Set(qivhost::kHonorConfigUri, HonorConfigJson(enabled)); }
    void Set(const std::string& uri, const std::string& json) {
        std::string error;
        ASSERT_TRUE(host.SetResource(uri, json, &error)) << uri << ": " << error;
    }
    void Message(const char* uri, const std::string& recordJson) {
        std::string error;
        ASSERT_TRUE(host.SetMessagingMessage(uri, recordJson, &error)) << uri << ": " << error;
    }
    void PushSimpleMessage(const std::string& json) {
        std::string error;
        ASSERT_TRUE(host.PushVyreMessage(qivhost::kSimpleDialogMessageClass, json, &error)) << error;
    }
    // The same, then the host turns that deliver it: the plug-in has seen it on return.
    void SetNow(const std::string& uri, const std::string& json) {
        Set(uri, json);
        Settle();
    }
    void MessageNow(const char* uri, const std::string& recordJson) {
        Message(uri, recordJson);
        Settle();
    }
    void ConfigureNow(bool enabled) {
        Configure(enabled);
        Settle();
    }
    void StepNow(const std::string& name, std::int32_t priority = 1) {
        host.SetCurrentSequenceEvent(name, priority);
        Settle();
    }
    void PhaseNow(const std::string& phase) { SetNow(qivhost::kGameflowSessionUri, GameflowJson(phase)); }

    // Loads and initializes the plug-in; the announcements of resources set before are
    // dropped unseen (the plug-in reads the resources themselves at Start).
    void Start() {
        host.RunUntilIdle();
        ASSERT_TRUE(host.Load(QIV_PLUGIN_PATH, qivhost::HostVersion{})) << host.Error();
        ASSERT_TRUE(host.Initialize());
    }
    // Resources, login and an enabled configuration, started and settled.
    void StartEnabled() {
        Login();
        Configure(true);
        Start();
        Settle();
    }
    void StartDisabled() {
        Login();
        Start();
        Settle();
    }
    void Settle() { host.RunUntilIdle(); }
    // The game ends: its statistics arrive, the "honor-vote" step comes up.
    void EndGame(const StatsDoc& stats = StatsDoc{}) {
        Set(qivhost::kEndOfGameStatsUri, StatsJson(stats));
        host.SetCurrentSequenceEvent(kHonorVote, 1);
        Settle();
    }

    std::size_t Mark() const { return host.History().Calls().size(); }

    // The plug-in's publications after `mark`, once each: "<Type> <uri>".
    std::vector<std::string> Published(std::size_t mark = 0) const { return Collect(mark, false); }
    // Publications and the plug-in's requests after `mark`, interleaved in their order.
    std::vector<std::string> Steps(std::size_t mark = 0) const { return Collect(mark, true); }
    // The data of the last publication of `uri` (null when none), as JSON.
    std::string LastData(const std::string& uri) const {
        std::string data = "(none)";
        for (const qivhost::DispatchedEvent& event : host.DispatchedNamed("OnJsonApiEvent")) {
            const rapidjson::Document payload = Parse(event.payloadJson);
            if (payload["uri"].GetString() == uri) data = DataJson(payload);
        }
        return data;
    }
    const std::vector<std::string>& PreEndOfGame() const { return host.Components().preEndOfGame.History(); }

    // A call the plug-in answered without an error. The router leaves the status at 0
    // when the handler sets none, which is every honor route.
    static bool Ok(const qivhost::RestAnswer& answer) {
        return answer.reachedPlugin && !answer.errorText.has_value() && answer.status == 0 && answer.released;
    }
    // A REST call of the user interface; the answer's body as JSON (fields in name order,
    // as the plug-in writes every structure).
    std::string Get(const std::string& path) {
        const qivhost::RestAnswer answer = host.Call("GET", kApi + path);
        EXPECT_TRUE(Ok(answer)) << path << ": " << answer.status << " " << answer.errorText.value_or("");
        return answer.bodyJson;
    }
    qivhost::RestAnswer Post(const std::string& path, std::optional<std::string> body = std::nullopt) {
        const qivhost::RestAnswer answer = host.Call("POST", kApi + path, std::move(body));
        EXPECT_TRUE(answer.reachedPlugin) << path;
        return answer;
    }
    std::string Vote(std::uint64_t summonerId, const std::string& category, std::uint64_t gameId) {
        const qivhost::RestAnswer answer = Post("honor-player", VoteJson(summonerId, category, gameId));
        EXPECT_TRUE(Ok(answer)) << answer.status << " " << answer.errorText.value_or("");
        return answer.bodyJson;
    }

    void ExpectEveryPublicationDispatchedTwice() const {
        const std::vector<qivhost::DispatchedEvent>& all = host.Dispatched();
        ASSERT_EQ(all.size() % 2, 0u);
        for (std::size_t i = 0; i + 1 < all.size(); i += 2) {
            const rapidjson::Document payload = Parse(all[i].payloadJson);
            EXPECT_EQ(all[i].name, qivhost::EventNameForUri(payload["uri"].GetString())) << i;
            EXPECT_EQ(all[i + 1].name, "OnJsonApiEvent") << i;
            EXPECT_EQ(all[i + 1].payloadJson, all[i].payloadJson) << i;
        }
    }

    qivhost::DevHost host;

private:
    static std::string DataJson(const rapidjson::Value& payload);
    static std::string TypeName(const rapidjson::Value& type) {
        if (type.IsString()) return type.GetString();
        static const char* const kNames[] = {"Create", "Update", "Delete"};
        return type.IsUint() && type.GetUint() < 3 ? kNames[type.GetUint()] : "?";
    }
    static std::string QuotedUrl(const std::string& detail) {
        const std::size_t open = detail.find('"');
        const std::size_t close = detail.find('"', open + 1);
        return open == std::string::npos || close == std::string::npos ? detail
                                                                       : detail.substr(open + 1, close - open - 1);
    }
    std::vector<std::string> Collect(std::size_t mark, bool withRequests) const {
        std::vector<std::string> steps;
        const std::vector<qivhost::HostCall>& calls = host.History().Calls();
        for (std::size_t i = mark; i < calls.size(); ++i) {
            const qivhost::HostCall& call = calls[i];
            if (call.slot == "DispatchEvent" && call.detail.rfind("\"OnJsonApiEvent\" ", 0) == 0) {
                const rapidjson::Document payload = Parse(call.detail.substr(17));
                steps.push_back(TypeName(payload["eventType"]) + " " + payload["uri"].GetString());
            } else if (withRequests && call.slot == "PerformRequest") {
                steps.push_back(call.detail.substr(0, call.detail.find(' ')) + " " + QuotedUrl(call.detail));
            }
        }
        return steps;
    }
};

inline std::string HonorHost::DataJson(const rapidjson::Value& payload) {
    if (!payload.HasMember("data")) return "null";
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    payload["data"].Accept(writer);
    return buffer.GetString();
}

}  // namespace honor_e2e
