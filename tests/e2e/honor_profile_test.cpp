// The honor profile, and the news the feature announces until the user interface
// acknowledges it: level changes and granted rewards, arriving from the messaging
// service or as legacy simple dialog messages (pushed on the Vyre connection or listed in
// the login data packet), acknowledged back to the server when they came that way. The
// acknowledgement itself (once per message, news arriving while it waits, a failing
// "ack") is NewsAck's.
#include <string>
#include <vector>

#include "honor_fixture.h"

namespace honor_e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kLevelChangeUpdate[] = "Update /qiv-honor-v2/v1/level-change";
constexpr char kProfileUpdate[] = "Update /qiv-honor-v2/v1/profile";
constexpr char kLevelChangeDelete[] = "Delete /qiv-honor-v2/v1/level-change";
constexpr char kRewardUpdate[] = "Update /qiv-honor-v2/v1/reward-granted";
constexpr char kRewardDelete[] = "Delete /qiv-honor-v2/v1/reward-granted";
constexpr char kLevelThreeProfile[] = R"({"checkpoint":0,"honorLevel":3,"rewardsLocked":false})";

class HonorNews : public HonorHost {
protected:
    const std::vector<qivhost::VyreInvocation>& Invocations() const { return host.Components().vyre.Invocations(); }
    std::size_t ServerCalls() const { return host.Components().server.Calls().size(); }
    int Level() { return Parse(Get("level-change"))["currentState"]["level"].GetInt(); }
    // `count` acknowledgements went out, the last one for the message `msgId`: the one
    // response record, tagged with its class, for the account of the login session.
    void ExpectAck(std::size_t count, const std::string& msgId) {
        ASSERT_EQ(Invocations().size(), count);
        const qivhost::VyreInvocation& invocation = Invocations().back();
        EXPECT_EQ(invocation.destination, "clientFacadeService");
        EXPECT_EQ(invocation.method, "callPersistenceMessaging");
        EXPECT_EQ(invocation.argumentsJson, R"([{"__class":")" + std::string(kAckResponseClass) + R"(","accountId":)" +
                                                std::to_string(kMyAccount) + R"(,"command":"ack","msgId":")" + msgId +
                                                R"("}])");
    }
};

// A profile from the server is cached and not published; without one, the unknown profile
// answers and the server is asked again next time. Which replies fail is the service
// proxy's tests'.
TEST_F(HonorNews, AnUnknownProfileIsAskedFromTheServerAndCachedOnlyOnSuccess) {
    StartEnabled();
    const std::size_t mark = Mark();
    host.Components().server.Script("honor.server", "retrieveProfile", qivhost::ServerReply::Failure("down"));
    EXPECT_EQ(Get("profile"), kUnknownProfile);
    EXPECT_EQ(Get("profile"), kUnknownProfile);
    EXPECT_EQ(ServerCalls(), 2u);
    const std::string known = R"({"checkpoint":2,"honorLevel":4,"rewardsLocked":true})";
    host.Components().server.Script("honor.server", "retrieveProfile", qivhost::ServerReply::Answer(known));
    EXPECT_EQ(Get("profile"), known);
    EXPECT_EQ(Get("profile"), known);
    EXPECT_EQ(ServerCalls(), 3u);
    EXPECT_EQ(host.Components().serviceProxy.Requests().back().method, "retrieveProfile");
    EXPECT_THAT(Published(mark), IsEmpty());
}

// A level change's current state is the profile: the server is not asked.
TEST_F(HonorNews, MessagingServiceNewsIsServedPublishedAndAcknowledgedWithoutAnAck) {
    StartEnabled();
    std::size_t mark = Mark();
    Message(qivhost::kMessagingLevelChange, LevelChangeJson(3));
    Message(qivhost::kMessagingRewardGranted, RewardJson("CHEST", 1));
    EXPECT_THAT(Steps(mark), ElementsAre(kLevelChangeUpdate, kProfileUpdate, kRewardUpdate));
    EXPECT_EQ(Level(), 3);
    EXPECT_EQ(LastData("level-change"), Get("level-change"));
    EXPECT_EQ(LastData("profile"), kLevelThreeProfile);
    EXPECT_EQ(Get("profile"), kLevelThreeProfile);
    EXPECT_EQ(ServerCalls(), 0u);
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
    Message(qivhost::kMessagingLevelChange, R"({"actionType":["not","a","text"]})");
    EXPECT_THAT(Steps(mark), IsEmpty());
    EXPECT_EQ(Get("level-change"), kDefaultLevelChange);
}

TEST_F(HonorNews, AcknowledgingWhileDisabledClearsOnlyTheNews) {
    StartDisabled();
    Message(qivhost::kMessagingLevelChange, LevelChangeJson(3));
    const std::size_t mark = Mark();
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_THAT(Steps(mark), IsEmpty());
    Configure(true);
    EXPECT_THAT(Published(mark), Not(Contains(kLevelChangeUpdate))) << "nothing is pending any more";
    EXPECT_EQ(Get("profile"), kLevelThreeProfile) << "the profile is kept";
}

// ---- Simple dialog messages --------------------------------------------------------------

// That a Vyre handler runs on a later host turn, never inside the delivery, is
// ProbeVyre.AMessageIsHandledOnALaterHostTurn's.
TEST_F(HonorNews, PushedNewsIsPublishedAndAcknowledgedWithItsMessage) {
    const struct {
        const char* route;
        std::string param;  // both carry 3 as their message's value
        std::vector<std::string> published;
    } cases[] = {{"level-change", LevelChangeJson(3), {kLevelChangeUpdate, kProfileUpdate}},
                 {"reward-granted", RewardJson("KEY", 3), {kRewardUpdate}}};
    StartEnabled();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string route = cases[i].route;
        SCOPED_TRACE(route);
        std::size_t mark = Mark();
        Push(SimpleMessageJson("m-" + route, route, cases[i].param));
        EXPECT_THAT(Published(mark), ElementsAreArray(cases[i].published));
        EXPECT_EQ(Parse(Get(route))["dynamicHonorMessage"]["value"].GetInt(), 3);
        mark = Mark();
        EXPECT_TRUE(Ok(Post(route + "/ack")));
        EXPECT_THAT(Steps(mark), ElementsAre(kVyreInvoke, "Delete " + (kApi + route)));
        ExpectAck(i + 1, "m-" + route);
    }
}

// The login data packet's messages are applied in order: the second replaces the first,
// and only its message is kept. Messages are kept while the feature is disabled: enabling
// re-publishes their news, and its acknowledgement then sends the "ack".
TEST_F(HonorNews, TheLoginDataPacketsMessagesAreAppliedInOrderAlsoWhileDisabled) {
    Login();
    Set(qivhost::kLoginDataPacketUri,
        R"({"platformId":"XX1","simpleMessages":[)" + SimpleMessageJson("p-1", "level-change", LevelChangeJson(2)) +
            R"(,{"msgId":7},)" + SimpleMessageJson("p-2", "level-change", LevelChangeJson(5)) + "]}");
    Start();
    Settle();
    EXPECT_THAT(Published(), IsEmpty());
    const std::size_t mark = Mark();
    Configure(true);
    EXPECT_THAT(Published(mark), Contains(kLevelChangeUpdate));
    EXPECT_EQ(Level(), 5);
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
        {"another type", SimpleMessageJson("x-3", "friend-request", LevelChangeJson(2))},
        {"type in another case", SimpleMessageJson("x-4", "Level-Change", LevelChangeJson(2))},
        {"body not a simple message", R"({"params":"level-change"})"},
    };
    StartEnabled();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t mark = Mark();
        Push(c.json);
        EXPECT_THAT(Steps(mark), IsEmpty());
        EXPECT_EQ(Get("level-change"), kDefaultLevelChange);
        EXPECT_EQ(Get("reward-granted"), kDefaultReward);
    }
    EXPECT_TRUE(Ok(Post("level-change/ack")));
    EXPECT_TRUE(Ok(Post("reward-granted/ack")));
    EXPECT_THAT(Invocations(), IsEmpty()) << "no message was kept for an acknowledgement";
}

}  // namespace
}  // namespace honor_e2e
