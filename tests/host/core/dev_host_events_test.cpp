// Events, timers, waits and the service proxy, end to end through the test plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "components/client_event_names.h"
#include "components/login_service_proxy.h"
#include "components/vyre_connection.h"
#include "host/fake_plugin_host.h"

namespace qivhost {
namespace {

using DevHostEvents = FakePluginHost;

TEST_F(DevHostEvents, DeliversADispatchedEventOnTheNextTurnToEverySubscriber) {
    Run("subscribe?name=E");
    Run("dispatch?name=E&text=hi");
    ASSERT_EQ(host.Dispatched().size(), 1u);
    EXPECT_EQ(host.Dispatched()[0].payloadJson, R"({"text":"hi","n":-5})");
    EXPECT_EQ(CountReceived("E"), 0u) << "never delivered inside the plug-in's own DispatchEvent";

    EXPECT_EQ(host.RunUntilIdle(), 1u);
    const rapidjson::Document received = Received();
    const auto& event = received["events"][0];
    EXPECT_STREQ(event["name"].GetString(), "E");
    EXPECT_STREQ(event["payload"]["text"].GetString(), "hi") << "the host copied the borrowed text";
    EXPECT_EQ(event["contextMatched"].GetUint(), 1u);
}

TEST_F(DevHostEvents, UnsubscribingStopsDeliveriesAlreadyQueued) {
    Run("subscribe?name=E");
    Run("dispatch?name=E&text=x");
    Run("unsubscribe?name=E");
    Run("unsubscribe?name=E");
    host.RunUntilIdle();
    EXPECT_EQ(CountReceived("E"), 0u);
    EXPECT_EQ(host.History().Find("UnsubscribeEvent", "(was not subscribed)").size(), 1u);
}

// Which change of a resource is a Create, an Update or a Delete is
// ProbeSubscriptions.ExactAndPatternHandlersSeeTheirResources' (end to end); here a
// change that fails announces nothing: two skips, no more.
TEST_F(DevHostEvents, HostEventsReachOnlySubscriptionsWithTheFlagOfTheirKind) {
    const std::string dialog = VyreEventName(kSimpleDialogMessageClass);
    Run("subscribe?name=OnJsonApiEvent&flag=1");
    Run("subscribe?name=OnVyreEvent_T&flag=0");
    Run("subscribe?name=" + dialog + "&flag=1");
    Run("subscribe?name=Mine&flag=1");
    ASSERT_TRUE(host.SetResource("/a", "1"));
    ASSERT_TRUE(host.PushVyreMessage("T", "{}"));
    ASSERT_TRUE(host.PushVyreMessage(kSimpleDialogMessageClass, "{}", nullptr, "client", "sub"));
    ASSERT_TRUE(host.PublishJson("Mine", "2"));
    std::string error;
    EXPECT_FALSE(host.SetResource("/a", "{", &error));
    EXPECT_EQ(error, "Missing a name for object member. (at offset 1)");
    EXPECT_FALSE(host.PushVyreMessage("T", "not json"));
    EXPECT_FALSE(host.DeleteResource("/none"));
    Run("dispatch?name=OnJsonApiEvent&text=own");
    host.RunUntilIdle();
    EXPECT_EQ(CountReceived("OnJsonApiEvent"), 1u) << "only the plug-in's own dispatch, which is not filtered";
    EXPECT_EQ(CountReceived("Mine"), 1u);
    EXPECT_STREQ(Received()["events"][0]["payload"]["subtopic"].GetString(), "sub");
    EXPECT_EQ(host.History().Find("== Skipped", "\"OnVyreEvent_T\" for handle 81: subscribed with flag 0, not 1").size(), 1u);
    EXPECT_EQ(host.History().Count("== Skipped"), 2u);
}

TEST_F(DevHostEvents, TimersFireWhenTheHostClockReachesThem) {
    Run("timer?name=soon&delay=0");
    Run("timer?name=later&delay=2");
    host.RunUntilIdle();
    host.AdvanceClock(1.5);
    EXPECT_EQ(CountReceived("timer soon"), 1u);
    EXPECT_EQ(CountReceived("timer later"), 0u);
    host.AdvanceClock(0.5);
    EXPECT_EQ(CountReceived("timer later"), 1u);
    EXPECT_EQ(host.History().Find("ScheduleTimer", "\"later\", delay 2 s").size(), 1u);
}

TEST_F(DevHostEvents, AWaitingServiceProxyCallGetsItsReplyAfterTheScriptedTurns) {
    ServerReply reply = ServerReply::Answer("\"thanks\"");
    reply.delayTurns = 3;
    host.Components().server.Script("honor.server", "honorPlayer", reply);
    const rapidjson::Document answer = Run("proxy?service=honor.server&method=honorPlayer&payload={}");
    EXPECT_STREQ(answer["reply"]["payload"].GetString(), "\"thanks\"");
    EXPECT_EQ(answer["turns"].GetUint64(), 3u);
    EXPECT_EQ(host.Waits().Labels().at("Wait: future<proxy>"), 1u);
    EXPECT_EQ(host.Calls().end() - std::find_if(host.Calls().begin(), host.Calls().end(),
                                                [](const HostCall& c) { return c.slot == "BeginWait"; }),
              5) << "BeginWait, three RunPending, EndWait: the host-core calls, not the deliveries";
}

TEST_F(DevHostEvents, AWaitMovesTheHostClockToADelayedReplyOrTheTimeout) {
    ServerReply reply = ServerReply::Failure("try later", "503");
    reply.delaySeconds = 30;
    host.Components().server.ScriptOnce("honor.server", "honorPlayer", reply);
    host.Components().server.ScriptOnce("honor.server", "honorPlayer", ServerReply::Silence(45));
    const rapidjson::Document delayed = Run("proxy?service=honor.server&method=honorPlayer");
    EXPECT_STREQ(delayed["reply"]["error"].GetString(), "try later");
    EXPECT_EQ(delayed["turns"].GetUint64(), 1u);
    EXPECT_DOUBLE_EQ(host.Now(), 30.0);
    const rapidjson::Document timedOut = Run("proxy?service=honor.server&method=honorPlayer");
    EXPECT_STREQ(timedOut["reply"]["error"].GetString(), kServiceProxyTimeoutError);
    EXPECT_STREQ(timedOut["reply"]["status"].GetString(), "504");
    EXPECT_DOUBLE_EQ(host.Now(), 75.0);
}

TEST_F(DevHostEvents, AWaitThatCanNeverEndStopsTheProcessInsteadOfSpinning) {
    host.maxIdleWaitTurns = 50;
    host.Components().server.ScriptOnce("honor.server", "honorPlayer",
                                        ServerReply::Silence(std::numeric_limits<double>::infinity()));
    EXPECT_DEATH((void)host.Call("GET", "/fake/proxy?service=honor.server&method=honorPlayer"),
                 "the plug-in waits, but nothing it could wait for is pending");
}

TEST_F(DevHostEvents, ShutdownDropsWhatStillPointsIntoThePlugin) {
    Run("timer?name=orphan&delay=5");
    Run("subscribe?name=E");
    Run("dispatch?name=E&text=x");
    host.Shutdown();
    EXPECT_TRUE(host.Pending().Empty());
    EXPECT_EQ(host.Subscriptions().Count(), 0u);
    EXPECT_EQ(host.History().Find("== Shutdown", "still subscribed: \"E\", handle 81").size(), 1u);
    EXPECT_EQ(host.AdvanceClock(10), 0u);
    EXPECT_EQ(host.Call("GET", "/fake/events").errorText.value_or("(none)"), "The plug-in is not initialized");
}

}  // namespace
}  // namespace qivhost
