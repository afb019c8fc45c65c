// The honor profile, and the news the feature announces until the user interface
// acknowledges it: level changes and granted rewards, arriving from the messaging
// service or as legacy simple dialog messages (pushed on the Vyre connection or listed in
// the login data packet), acknowledged back to the server when they came that way.
#include <string>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kLevelChangeUpdate[] = "Update /qiv-honor-v2/v1/level-change";
constexpr char kProfileUpdate[] = "Update /qiv-honor-v2/v1/profile";
constexpr char kLevelChangeDelete[] = "Delete /qiv-honor-v2/v1/level-change";
constexpr char kRewardUpdate[] = "Update /qiv-honor-v2/v1/reward-granted";
constexpr char kRewardDelete[] = "Delete /qiv-honor-v2/v1/reward-granted";
constexpr char kUnknownProfile[] = R"({"checkpoint":-1,"honorLevel":-1,"rewardsLocked":false})";

class HonorNews : public HonorHost {
protected:
    const std::vector<qivhost::VyreInvocation>& Invocations() const { return host.Components().vyre.Invocations(); }
    std::size_t ServerCalls() const { return host.Components().server.Calls().size(); }
    std::string LoginDataPacket(const std::vector<std::string>& messages) {
        std::string list;
        for (const std::string& m : messages) list += (list.empty() ? "" : ",") + m;
        return R"({"simpleMessages":[)" + list + R"(],"platformId":"XX1"})";
    }
    // Pushes a simple dialog message and lets the host deliver it and run the turn on which
    // the plug-in handles it.
    void Push(const std::string& json) {
        PushSimpleMessage(json);
        Settle();
    }
    // `count` acknowledgements went out, the last one for the message `msgId`.
    void ExpectAck(std::size_t count, const std::string& msgId) {
        ASSERT_EQ(Invocations().size(), count);
        const qivhost::VyreInvocation& invocation = Invocations().back();
        EXPECT_EQ(invocation.destination, "clientFacadeService");
        EXPECT_EQ(invocation.method, "callPersistenceMessaging");
        // The argument list: the one response record, tagged with its class, for the account
        // of the login session.
        EXPECT_EQ(invocation.argumentsJson, R"([{"__class":")" + std::string(kAckResponseClass) + R"(","accountId":)" +
                                                std::to_string(kMyAccount) + R"(,"command":"ack","msgId":")" + msgId +
                                                R"("}])");
    }
};

// ---- Profile -----------------------------------------------------------------------------

TEST_F(HonorNews, ALevelChangeMessageIsServedPublishedAndBecomesTheProfile) {
    StartEnabled();
    const std::size_t mark = Mark();
    MessageNow(qivhost::kMessagingLevelChange, LevelChangeJson(1, 3));
    EXPECT_THAT(Steps(mark), ElementsAre(kLevelChangeUpdate, kProfileUpdate));
    EXPECT_EQ(Parse(Get("level-change"))["currentState"]["level"].GetInt(), 3);
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/level-change"), Get("level-change"));
    EXPECT_EQ(LastData("/qiv-honor-v2/v1/profile"), R"({"checkpoint":0,"honorLevel":3,"rewardsLocked":false})");
    EXPECT_EQ(Get("profile"), R"({"checkpoint":0,"honorLevel":3,"rewardsLocked":false})");
    EXPECT_EQ(ServerCalls(), 0u) << "a level change is the profile; the server is not asked";
}

TEST_F(HonorNews, AnUnknownProfileIsAskedOnceAndCached) {
    StartEnabled();
    host.Components().server.Script(
        "honor.server", "retrieveProfile",
        qivhost::ServerReply::Answer(R"({"checkpoint":2,"honorLevel":4,"rewardsLocked":true})"));
    const std::size_t mark = Mark();
    EXPECT_EQ(Get("profile"), R"({"checkpoint":2,"honorLevel":4,"rewardsLocked":true})");
    EXPECT_EQ(Get("profile"), R"({"checkpoint":2,"honorLevel":4,"rewardsLocked":true})");
    EXPECT_EQ(ServerCalls(), 1u);
    EXPECT_EQ(host.Components().serviceProxy.Requests().back().method, "retrieveProfile");
    EXPECT_THAT(Steps(mark), ElementsAre(kServiceProxyRequest)) << "the profile answer is not published";
}

TEST_F(HonorNews, AFailingServerGivesTheUnknownProfileAndIsAskedAgain) {
    const struct {
        const char* name;
        qivhost::ServerReply reply;
    } cases[] = {
        {"failure", qivhost::ServerReply::Failure("down")},
        {"silence", qivhost::ServerReply::Silence(30)},
        {"not a profile", qivhost::ServerReply::Answer(R"("level four")")},
    };
    StartEnabled();
    std::size_t calls = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.Components().server.Script("honor.server", "retrieveProfile", c.reply);
        EXPECT_EQ(Get("profile"), kUnknownProfile);
        EXPECT_EQ(Get("profile"), kUnknownProfile);
        calls += 2;
        EXPECT_EQ(ServerCalls(), calls) << "nothing is cached on failure";
    }
}

// ---- Level changes and rewards from the messaging service --------------------------------

TEST_F(HonorNews, MessagingServiceNewsIsServedPublishedAndAcknowledgedWithoutAnAck) {
    StartEnabled();
    MessageNow(qivhost::kMessagingLevelChange, LevelChangeJson(1, 2));
    std::size_t mark = Mark();
    MessageNow(qivhost::kMessagingRewardGranted, RewardJson("CHEST", 1));
    EXPECT_THAT(Steps(mark), ElementsAre(kRewardUpdate));
    EXPECT_EQ(Get("reward-granted"),
              R"({"dynamicHonorMessage":{"messageId":"reward_msg","value":1},"quantity":1,"rewardType":"CHEST"})");

    mark = Mark();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_TRUE(Ok(Post("reward-granted/ack")));
    EXPECT_THAT(Steps(mark), ElementsAre(kLevelChangeDelete, kRewardDelete));
    EXPECT_THAT(Invocations(), IsEmpty());
    EXPECT_EQ(Get("level-change"), kDefaultLevelChange) << "back to the default";
    EXPECT_EQ(Get("reward-granted"), kDefaultReward);
}

TEST_F(HonorNews, AMessageWhosePayloadDoesNotConvertIsDropped) {
    StartEnabled();
    const std::size_t mark = Mark();
    MessageNow(qivhost::kMessagingLevelChange, R"({"actionType":["not","a","text"]})");
    EXPECT_THAT(Steps(mark), IsEmpty());
    EXPECT_EQ(Parse(Get("level-change"))["actionType"].GetString(), std::string());
}

TEST_F(HonorNews, AcknowledgingWhileDisabledClearsOnlyTheNews) {
    StartDisabled();
    MessageNow(qivhost::kMessagingLevelChange, LevelChangeJson(1, 2));
    const std::size_t mark = Mark();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_THAT(Steps(mark), IsEmpty());
    ConfigureNow(true);
    EXPECT_THAT(Published(mark), ::testing::Not(::testing::Contains(kLevelChangeUpdate)))
        << "nothing is pending any more";
    EXPECT_EQ(Get("profile"), R"({"checkpoint":0,"honorLevel":2,"rewardsLocked":false})") << "the profile is kept";
}

// ---- Simple dialog messages --------------------------------------------------------------

// That a Vyre handler runs on a later host turn, never inside the delivery, is
// ProbeVyre.AMessageIsHandledOnALaterHostTurn's.
TEST_F(HonorNews, PushedNewsIsPublishedAndAcknowledgedOnceWithItsMessage) {
    const struct {
        const char* msgId;
        std::string json;  // both carry 3 as their message's value
        const char* route;
        std::vector<std::string> published;
        const char* deleted;
    } cases[] = {
        {"m-1", SimpleMessageJson("m-1", "level-change", LevelChangeJson(2, 3)), "level-change",
         {kLevelChangeUpdate, kProfileUpdate}, kLevelChangeDelete},
        {"r-1", SimpleMessageJson("r-1", "reward-granted", RewardJson("KEY", 3)), "reward-granted", {kRewardUpdate},
         kRewardDelete},
    };
    StartEnabled();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.route);
        std::size_t mark = Mark();
        Push(c.json);
        EXPECT_THAT(Published(mark), ::testing::ElementsAreArray(c.published));
        EXPECT_EQ(Parse(Get(c.route))["dynamicHonorMessage"]["value"].GetInt(), 3);

        mark = Mark();
        const std::string ack = std::string(c.route) + "/ack";
        EXPECT_TRUE(Ok(Post(ack)));
        EXPECT_THAT(Steps(mark), ElementsAre(kVyreInvoke, c.deleted));
        ExpectAck(i + 1, c.msgId);
        EXPECT_TRUE(Ok(Post(ack)));
        EXPECT_EQ(Invocations().size(), i + 1) << "the message is acknowledged once";
    }
}

TEST_F(HonorNews, TheStoredMessageIsAcknowledgedWhicheverRoadTheLatestChangeCameBy) {
    StartEnabled();
    Push(SimpleMessageJson("m-1", "level-change", LevelChangeJson(2, 3)));
    MessageNow(qivhost::kMessagingLevelChange, LevelChangeJson(3, 4));
    EXPECT_EQ(Parse(Get("level-change"))["currentState"]["level"].GetInt(), 4);
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    ExpectAck(1u, "m-1");
}

TEST_F(HonorNews, AMessageStoredWhileDisabledIsAcknowledgedOnceEnabled) {
    StartDisabled();
    Push(SimpleMessageJson("m-7", "level-change", LevelChangeJson(0, 1)));
    const std::size_t mark = Mark();
    ConfigureNow(true);
    EXPECT_THAT(Published(mark), ::testing::Contains(kLevelChangeUpdate)) << "re-published on enabling";
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    ExpectAck(1u, "m-7");
}

TEST_F(HonorNews, TheLoginDataPacketAppliesItsMessagesInOrder) {
    Login();
    Configure(true);
    Set(qivhost::kLoginDataPacketUri,
        LoginDataPacket({SimpleMessageJson("p-1", "level-change", LevelChangeJson(1, 2)), R"({"msgId":7})",
                         SimpleMessageJson("p-2", "level-change", LevelChangeJson(2, 5))}));
    Start();
    Settle();
    EXPECT_THAT(Published(), ::testing::IsSupersetOf({kLevelChangeUpdate, kProfileUpdate}));
    std::vector<int> announced;
    for (const qivhost::DispatchedEvent& event : host.DispatchedNamed("OnJsonApiEvent")) {
        const rapidjson::Document payload = Parse(event.payloadJson);
        if (std::string(payload["uri"].GetString()) == "/qiv-honor-v2/v1/level-change") {
            announced.push_back(payload["data"]["currentState"]["level"].GetInt());
        }
    }
    EXPECT_THAT(announced, ElementsAre(2, 5)) << "both applied, in order";
    EXPECT_EQ(Parse(Get("level-change"))["currentState"]["level"].GetInt(), 5);
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    ExpectAck(1u, "p-2");
}

TEST_F(HonorNews, SimpleDialogMessagesThatCarryNothingUsableChangeNothing) {
    const struct {
        const char* name;
        std::string json;
    } cases[] = {
        {"empty params", R"({"accountId":1,"msgId":"e","type":"level-change","params":[]})"},
        {"payload not JSON", SimpleMessageJson("x-1", "reward-granted", "not json at all")},
        {"payload of the wrong shape", SimpleMessageJson("x-2", "level-change", R"({"currentState":"high"})")},
        {"another type", SimpleMessageJson("x-3", "friend-request", LevelChangeJson(1, 2))},
        {"type in another case", SimpleMessageJson("x-4", "Level-Change", LevelChangeJson(1, 2))},
        {"body not a simple message", R"({"params":"level-change"})"},
    };
    StartEnabled();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t mark = Mark();
        Push(c.json);
        EXPECT_THAT(Steps(mark), IsEmpty());
        EXPECT_EQ(Parse(Get("level-change"))["currentState"]["level"].GetInt(), -1);
        EXPECT_EQ(Parse(Get("reward-granted"))["quantity"].GetInt(), -1);
    }
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_TRUE(Ok(Post("reward-granted/ack")));
    EXPECT_THAT(Invocations(), IsEmpty()) << "no message was kept for an acknowledgement";
}

// ---- News arriving while an acknowledgement goes out --------------------------------------

// A level change that the host delivers around the "ack" of the previous one is news of
// its own: it stays pending and published, and its message is kept for its own "ack".
// The development host queues it while the acknowledgement runs and delivers it on the
// next turn (a delivery inside the ack's wait, and rewards, are the unit tests' part).
TEST_F(HonorNews, ANewLevelChangeArrivingAroundTheAckStaysPendingWithItsOwnMessage) {
    StartEnabled();
    Push(SimpleMessageJson("old", "level-change", LevelChangeJson(1, 2)));
    PushSimpleMessage(SimpleMessageJson("new", "level-change", LevelChangeJson(2, 3)));
    const std::size_t mark = Mark();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    Settle();

    EXPECT_THAT(Published(mark), ElementsAre(kLevelChangeDelete, kLevelChangeUpdate, kProfileUpdate))
        << "no Delete after the new change's Update";
    EXPECT_EQ(Parse(Get("level-change"))["currentState"]["level"].GetInt(), 3);
    ExpectAck(1u, "old");

    EXPECT_TRUE(Ok(Post("level-change/ack")));
    ExpectAck(2u, "new");
}

TEST_F(HonorNews, AFailingAckStillClearsTheNews) {
    StartEnabled();
    Push(SimpleMessageJson("m-1", "level-change", LevelChangeJson(1, 2)));
    host.Components().vyre.SetInvokeFailure(503, "Vyre is away");
    const std::size_t mark = Mark();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_THAT(Steps(mark), ElementsAre(kVyreInvoke, kLevelChangeDelete));
    EXPECT_EQ(Parse(Get("level-change"))["currentState"]["level"].GetInt(), -1);
    host.Components().vyre.ClearInvokeFailure();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_EQ(Invocations().size(), 1u) << "the message is not kept for a second try";
}

}  // namespace
}  // namespace honor_e2e
