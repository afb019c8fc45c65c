// The honor plug-in as the client runs it: the real library loaded by the development
// host, the client's resources filled with readable JSON documents. Fill what the plug-in
// reads at Start (Login(), Configure(), Set()), Start(), then drive the client (Set(),
// Message(), Push(), Step(), Phase(): each delivered at once) and the REST API (Get(),
// Post()). Published(mark) lists the plug-in's resource events after a Mark() ("Create
// /qiv-honor-v2/v1/ballot", once each), Steps(mark) interleaves them with its requests.
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

#include "components/client_resource_uris.h"
#include "components/messaging_service.h"
#include "components/pre_end_of_game.h"
#include "core/dev_host.h"

namespace honor_e2e {

inline constexpr char kHonorVote[] = "honor-vote";
inline constexpr char kApi[] = "/qiv-honor-v2/v1/";
inline constexpr char kEnablement[] = "POST /qiv-pre-end-of-game/v1/registration/honor-vote/1";
inline constexpr char kDisablement[] = "DELETE /qiv-pre-end-of-game/v1/registration/honor-vote";
inline constexpr char kCompletion[] = "POST /qiv-pre-end-of-game/v1/complete/honor-vote";
inline constexpr char kServiceProxyRequest[] = "POST /qiv-login/v1/service-proxy-uuid-requests";
inline constexpr char kVyreInvoke[] = "POST /qiv-login/v1/session/invoke";
inline constexpr char kAckResponseClass[] = "com.rerozuvod.platform.messaging.persistence.SimpleDialogMessageResponse";
inline constexpr char kBallotCreate[] = "Create /qiv-honor-v2/v1/ballot";

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
inline constexpr char kUnknownProfile[] = R"({"checkpoint":-1,"honorLevel":-1,"rewardsLocked":false})";

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

inline std::string Bool(bool value) { return value ? "true" : "false"; }
inline std::string Num(std::uint64_t value) { return std::to_string(value); }
inline std::string JsonList(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ",") + item;
    return "[" + list + "]";
}

inline std::string LoginSessionJson(std::uint64_t summonerId, std::uint64_t accountId,
                                    const std::string& state = "SUCCEEDED") {
    return R"({"state":")" + state + R"(","summonerId":)" + Num(summonerId) + R"(,"accountId":)" + Num(accountId) + "}";
}

inline std::string HonorConfigJson(bool enabled, int secondsToVote = 25) {
    return R"({"Enabled":)" + Bool(enabled) + R"(,"Honor2018Enabled":true,"DayOneModalEnabled":true,"SecondsToVote":)" +
           Num(secondsToVote) + "}";
}

struct PlayerDoc {
    std::uint64_t userId = 0;
    std::string name;
    bool bot = false;
    bool leaver = false;
};

// The champion and skin index follow from the id (2001 plays champion 11 with skin 1);
// the `summonerId` as reported differs from `userId`, which alone counts.
inline std::string PlayerJson(const PlayerDoc& p) {
    return R"({"stats":{"CHAMPIONS_KILLED":3,"items":[1,2]},"botPlayer":)" + Bool(p.bot) + R"(,"championId":)" +
           Num(p.userId % 1000 + 10) + R"(,"gameId":)" + Num(kGame) + R"(,"leaver":)" + Bool(p.leaver) +
           R"(,"skinName":"Skin of )" + p.name + R"(","summonerName":")" + p.name + R"(","userId":)" + Num(p.userId) +
           R"(,"summonerId":)" + Num(p.userId + 5) + R"(,"skinIndex":)" + Num(p.userId % 1000) + "}";
}

inline std::string TeamJson(const std::vector<PlayerDoc>& players, bool playerTeam) {
    std::vector<std::string> list;
    for (const PlayerDoc& p : players) list.push_back(PlayerJson(p));
    return R"({"stats":{},"players":)" + JsonList(list) + R"(,"isPlayerTeam":)" + Bool(playerTeam) + "}";
}

// My team: me, two eligible team mates (2001, 2002), a bot (2003) and a leaver (2004);
// the other team: five eligible-looking players (3001..3005) who must never be listed.
struct StatsDoc {
    std::string gameType = "MATCHED_GAME";
    std::string queueType = "NORMAL";
    bool earlySurrender = false;
    std::vector<PlayerDoc> myTeam = {
        {kMe, "Me"}, {2001, "Ally One"}, {2003, "Bot", true}, {2002, "Ally Two"}, {2004, "Leaver", false, true}};
};

inline std::string StatsJson(const StatsDoc& s = StatsDoc{}) {
    std::vector<PlayerDoc> theirTeam;
    for (std::uint64_t id = 3001; id <= 3005; ++id) theirTeam.push_back({id, "Enemy " + Num(id)});
    return R"({"gameId":)" + Num(kGame) + R"(,"gameMode":"CLASSIC","gameType":")" + s.gameType +
           R"(","queueType":")" + s.queueType + R"(","reportGameId":)" + Num(kReportGame) + R"(,"teams":[)" +
           TeamJson(theirTeam, false) + "," + TeamJson(s.myTeam, true) + R"(],"summonerId":)" + Num(kMe) +
           R"(,"gameEndedInEarlySurrender":)" + Bool(s.earlySurrender) + "}";
}

// A level change to `level`, checkpoint 0.
inline std::string LevelChangeJson(int level) {
    return R"({"actionType":"LEVEL_UP","previousState":{"level":1,"checkpoint":2,"rewardsLocked":false},)"
           R"("currentState":{"level":)" + Num(level) + R"(,"checkpoint":0,"rewardsLocked":false},)" +
           R"("reward":{"rewardType":"KEY_FRAGMENT","quantity":1},)" +
           R"("dynamicHonorMessage":{"messageId":"honor_up","value":)" + Num(level) + "}}";
}

inline std::string RewardJson(const std::string& type, int quantity) {
    return R"({"rewardType":")" + type + R"(","quantity":)" + Num(quantity) +
           R"(,"dynamicHonorMessage":{"messageId":"reward_msg","value":)" + Num(quantity) + "}}";
}

// A simple dialog message whose one parameter is the JSON text `param`.
inline std::string SimpleMessageJson(const std::string& msgId, const std::string& type, const std::string& param) {
    std::string quoted;
    for (char c : param) quoted += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return R"({"accountId":)" + Num(kMyAccount) + R"(,"msgId":")" + msgId + R"(","type":")" + type +
           R"(","params":[")" + quoted + R"("]})";
}

// An entry of the post-game ceremony: `summonerId` got `honors` honors in `gameId`.
inline std::string Recipient(std::uint64_t summonerId, std::uint64_t gameId, std::size_t honors) {
    const std::vector<std::string> list(honors, R"({"honorCategory":"HEART","voterRelationship":"ALLY"})");
    return R"({"summonerId":)" + Num(summonerId) + R"(,"gameId":)" + Num(gameId) + R"(,"honors":)" + JsonList(list) +
           "}";
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
    // The client's resources and messages. Each is delivered at once (the host turns that
    // deliver it are run), so the plug-in has seen it on return; before Start, the plug-in
    // reads it at Start.
    void Set(const std::string& uri, const std::string& json) {
        std::string error;
        ASSERT_TRUE(host.SetResource(uri, json, &error)) << uri << ": " << error;
        Settle();
    }
    void Delete(const std::string& uri) {
        ASSERT_TRUE(host.DeleteResource(uri)) << uri;
        Settle();
    }
    void Login() { Set(qivhost::kLoginSessionUri, LoginSessionJson(kMe, kMyAccount)); }
    void Configure(bool enabled) { Set(qivhost::kHonorConfigUri, HonorConfigJson(enabled)); }
    void Phase(const std::string& phase) { Set(qivhost::kGameflowSessionUri, R"({"phase":")" + phase + R"("})"); }
    void Step(const std::string& name, std::int32_t priority = 1) {
        host.SetCurrentSequenceEvent(name, priority);
        Settle();
    }
    void Message(const char* uri, const std::string& recordJson) {
        std::string error;
        ASSERT_TRUE(host.SetMessagingMessage(uri, recordJson, &error)) << uri << ": " << error;
        Settle();
    }
    void Push(const std::string& simpleMessageJson) {
        std::string error;
        ASSERT_TRUE(host.PushVyreMessage(qivhost::kSimpleDialogMessageClass, simpleMessageJson, &error)) << error;
        Settle();
    }

    // Loads and initializes the plug-in; the announcements of resources set before are
    // dropped unseen (the plug-in reads the resources themselves at Start).
    void Start() {
        Settle();
        ASSERT_TRUE(host.Load(QIV_PLUGIN_PATH, qivhost::HostVersion{})) << host.Error();
        ASSERT_TRUE(host.Initialize());
    }
    // Logged in, with or without an enabled configuration, started and settled.
    void StartEnabled() {
        Configure(true);
        StartDisabled();
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
        Step(kHonorVote);
    }

    std::size_t Mark() const { return host.History().Calls().size(); }
    // The plug-in's publications after `mark`, once each: "<Type> <uri>".
    std::vector<std::string> Published(std::size_t mark = 0) const { return Collect(mark, false); }
    // Publications and the plug-in's requests ("POST <url>") after `mark`, in their order.
    std::vector<std::string> Steps(std::size_t mark = 0) const { return Collect(mark, true); }
    // The data of the last publication of the resource at `path` under kApi, as JSON.
    std::string LastData(const std::string& path) const {
        std::string data = "(none)";
        for (const qivhost::DispatchedEvent& event : host.DispatchedNamed("OnJsonApiEvent")) {
            const rapidjson::Document payload = Parse(event.payloadJson);
            if (payload["uri"].GetString() != kApi + path) continue;
            rapidjson::StringBuffer buffer;
            rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
            if (payload.HasMember("data")) payload["data"].Accept(writer);
            data = payload.HasMember("data") ? buffer.GetString() : "null";
        }
        return data;
    }
    const std::vector<std::string>& PreEndOfGame() const { return host.Components().preEndOfGame.History(); }

    // A call the plug-in answered without an error (the router leaves the status at 0).
    static bool Ok(const qivhost::RestAnswer& answer) {
        return answer.reachedPlugin && !answer.errorText.has_value() && answer.status == 0 && answer.released;
    }
    // A REST call of the user interface; the answer's body as JSON, fields in name order.
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
        const qivhost::RestAnswer answer = Post("honor-player", R"({"summonerId":)" + Num(summonerId) +
                                                                    R"(,"honorCategory":")" + category +
                                                                    R"(","gameId":)" + Num(gameId) + "}");
        EXPECT_TRUE(Ok(answer)) << answer.status << " " << answer.errorText.value_or("");
        return answer.bodyJson;
    }

    qivhost::DevHost host;

private:
    // The host's record of each call: a dispatch is `"<event name>" <payload JSON>`, a
    // request `<METHOD> "<url>" ...`.
    std::vector<std::string> Collect(std::size_t mark, bool withRequests) const {
        std::vector<std::string> steps;
        const std::vector<qivhost::HostCall>& calls = host.History().Calls();
        for (std::size_t i = mark; i < calls.size(); ++i) {
            const std::string& detail = calls[i].detail;
            if (calls[i].slot == "DispatchEvent" && detail.rfind("\"OnJsonApiEvent\" ", 0) == 0) {
                const rapidjson::Document payload = Parse(detail.substr(17));
                steps.push_back(std::string(payload["eventType"].GetString()) + " " + payload["uri"].GetString());
            } else if (withRequests && calls[i].slot == "PerformRequest") {
                const std::size_t open = detail.find('"');
                steps.push_back(detail.substr(0, detail.find(' ')) + " " +
                                detail.substr(open + 1, detail.find('"', open + 1) - open - 1));
            }
        }
        return steps;
    }
};

}  // namespace honor_e2e
