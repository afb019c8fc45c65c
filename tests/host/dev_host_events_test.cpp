// Events, timers, waits and the service proxy, end to end through the test plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "event_name.h"
#include "fake_plugin_host.h"
#include "service_proxy.h"
#include "vyre.h"

namespace qivhost {
namespace {

using DevHostEvents = FakePluginHost;

TEST_F(DevHostEvents, DeliversADispatchedEventOnTheNextTurnToEverySubscriber) {
    Run("subscribe?name=E");
    Run("dispatch?name=E&text=hi");
    ASSERT_EQ(host.Dispatched().size(), 1u);
    EXPECT_EQ(host.Dispatched()[0].name, "E");
    EXPECT_EQ(host.Dispatched()[0].payloadJson, R"({"text":"hi","n":-5,"list":[true,7]})");
    EXPECT_EQ(CountReceived("E"), 0u) << "never delivered inside the plug-in's own DispatchEvent";

    EXPECT_EQ(host.RunUntilIdle(), 1u);
    const rapidjson::Document received = Received();
    const auto& last = received["events"][received["events"].Size() - 1];
    EXPECT_STREQ(last["name"].GetString(), "E");
    EXPECT_STREQ(last["payload"]["text"].GetString(), "hi");
    EXPECT_EQ(last["payload"]["n"].GetInt(), -5);
    EXPECT_EQ(last["contextMatched"].GetUint(), 1u);
    EXPECT_EQ(host.History().Find("-> Event", "\"E\" to handle 81").size(), 1u);
}

TEST_F(DevHostEvents, UnsubscribingStopsDeliveriesAlreadyQueued) {
    Run("subscribe?name=E");
    Run("dispatch?name=E&text=x");
    Run("unsubscribe?name=E");
    Run("unsubscribe?name=E");
    host.RunUntilIdle();
    EXPECT_EQ(CountReceived("E"), 0u);
    EXPECT_EQ(host.History().Find("UnsubscribeEvent", "(was not subscribed)").size(), 1u);
    EXPECT_FALSE(host.Subscriptions().IsSubscribed("E", host.ClientHandle()));
}

TEST_F(DevHostEvents, ResourceChangesArriveUnderTheUrisNameAndOnJsonApiEvent) {
    const std::string uri = "/qiv-gameflow/v1/session";
    Run("subscribe?name=" + EventNameForUri(uri));
    Run("subscribe?name=OnJsonApiEvent");
    ASSERT_TRUE(host.SetResource(uri, R"({"phase":"Lobby"})"));
    ASSERT_TRUE(host.SetResource(uri, R"({"phase":"EndOfGame"})"));
    ASSERT_TRUE(host.DeleteResource(uri));
    EXPECT_FALSE(host.DeleteResource(uri));
    std::string error;
    EXPECT_FALSE(host.SetResource(uri, "{", &error));
    EXPECT_EQ(error, "Missing a name for object member. (at offset 1)");
    host.RunUntilIdle();

    const rapidjson::Document received = Received();
    std::vector<std::string> seen;
    for (const auto& e : received["events"].GetArray()) {
        if (!e["payload"].IsObject() || !e["payload"].HasMember("eventType")) continue;
        seen.push_back(std::string(e["name"].GetString()) + " " + e["payload"]["eventType"].GetString());
    }
    const std::string byUri = EventNameForUri(uri);
    EXPECT_EQ(seen, (std::vector<std::string>{byUri + " Create", "OnJsonApiEvent Create", byUri + " Update",
                                              "OnJsonApiEvent Update", byUri + " Delete", "OnJsonApiEvent Delete"}));
    EXPECT_FALSE(host.Components().resources.Has(uri));
}

TEST_F(DevHostEvents, HostEventsReachOnlySubscriptionsWithTheFlagOfTheirKind) {
    Run("subscribe?name=OnJsonApiEvent&flag=1");
    Run("subscribe?name=OnVyreEvent_T&flag=0");
    Run("subscribe?name=Mine&flag=1");
    ASSERT_TRUE(host.SetResource("/a", "1"));
    ASSERT_TRUE(host.PushVyreMessage("T", "{}"));
    ASSERT_TRUE(host.PublishJson("Mine", "2"));
    Run("dispatch?name=OnJsonApiEvent&text=own");
    host.RunUntilIdle();
    EXPECT_EQ(CountReceived("OnJsonApiEvent"), 1u) << "only the plug-in's own dispatch, which is not filtered";
    EXPECT_EQ(CountReceived("OnVyreEvent_T"), 0u);
    EXPECT_EQ(CountReceived("Mine"), 1u);
    EXPECT_EQ(host.History().Find("== Skipped", "\"OnVyreEvent_T\" for handle 81: subscribed with flag 0, not 1").size(), 1u);
    EXPECT_EQ(host.History().Count("== Skipped"), 2u);
}

TEST_F(DevHostEvents, TimersFireWhenTheHostClockReachesThem) {
    Run("timer?name=soon&delay=0");
    Run("timer?name=later&delay=2");
    host.RunUntilIdle();
    host.AdvanceClock(1.5);
    EXPECT_EQ(Received()["timers"].Size(), 1u);
    host.AdvanceClock(0.5);
    EXPECT_STREQ(Received()["timers"][1].GetString(), "later");
    EXPECT_EQ(host.History().Find("ScheduleTimer", "\"later\", delay 2 s").size(), 1u);
    EXPECT_EQ(host.History().Count("-> Timer"), 2u);
}

TEST_F(DevHostEvents, AWaitingServiceProxyCallGetsItsReplyAfterTheScriptedTurns) {
    ServerReply reply = ServerReply::Answer("\"thanks\"");
    reply.delayTurns = 3;
    host.Components().server.Script("honor.server", "honorPlayer", reply);
    const rapidjson::Document answer = Run("proxy?service=honor.server&method=honorPlayer&payload={}");
    EXPECT_STREQ(answer["reply"]["payload"].GetString(), "\"thanks\"");
    EXPECT_STREQ(answer["reply"]["status"].GetString(), "200");
    EXPECT_EQ(answer["turns"].GetUint64(), 3u);
    EXPECT_EQ(host.Calls().end() - std::find_if(host.Calls().begin(), host.Calls().end(),
                                                [](const HostCall& c) { return c.slot == "BeginWait"; }),
              5) << "BeginWait, three RunPending, EndWait";
    EXPECT_EQ(host.Waits().Labels().at("Wait: future<proxy>"), 1u);
    EXPECT_EQ(host.Waits().Depth(), 0u);
    ASSERT_EQ(host.Components().serviceProxy.Requests().size(), 1u);
    EXPECT_EQ(host.Components().serviceProxy.Requests()[0].uuid, answer["uuid"].GetString());
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
    EXPECT_STREQ(Run("proxy?service=honor.server&method=honorPlayer")["reply"]["error"].GetString(),
                 kServiceProxyTimeoutError);
    EXPECT_DOUBLE_EQ(host.Now(), 75.0);
}

TEST_F(DevHostEvents, AWaitThatCanNeverEndStopsTheProcessInsteadOfSpinning) {
    host.maxIdleWaitTurns = 50;
    host.Components().server.ScriptOnce("honor.server", "honorPlayer",
                                        ServerReply::Silence(std::numeric_limits<double>::infinity()));
    EXPECT_DEATH((void)host.Call("GET", "/fake/proxy?service=honor.server&method=honorPlayer"),
                 "the plug-in waits, but nothing it could wait for is pending");
}

TEST_F(DevHostEvents, VyreMessagesArriveUnderTheirTypesEventName) {
    Run("subscribe?name=" + VyreEventName(kSimpleDialogMessageClass) + "&flag=1");
    ASSERT_TRUE(host.PushVyreMessage(kSimpleDialogMessageClass, R"({"msgId":"m1","type":"level-change","params":["{}"]})",
                                     nullptr, "client", "sub"));
    std::string error;
    EXPECT_FALSE(host.PushVyreMessage("x", "nope", &error));
    host.RunUntilIdle();
    const rapidjson::Document received = Received();
    const auto& last = received["events"][received["events"].Size() - 1];
    EXPECT_STREQ(last["payload"]["typeName"].GetString(), kSimpleDialogMessageClass);
    EXPECT_STREQ(last["payload"]["body"]["msgId"].GetString(), "m1");
    EXPECT_STREQ(last["payload"]["clientId"].GetString(), "client");
    EXPECT_EQ(host.History().Find("SubscribeEvent", "flag 1").size(), 2u);
}

TEST_F(DevHostEvents, ShutdownDropsWhatStillPointsIntoThePlugin) {
    Run("timer?name=orphan&delay=5");
    Run("subscribe?name=E");
    Run("dispatch?name=E&text=x");
    host.Shutdown();
    EXPECT_TRUE(host.Pending().Empty());
    EXPECT_EQ(host.Subscriptions().Count(), 0u);
    EXPECT_EQ(host.AdvanceClock(10), 0u);
    EXPECT_EQ(host.History().Count("UnsubscribeEvent"), 2u);
    EXPECT_EQ(host.History().Count("== Shutdown"), 0u) << "the plug-in unsubscribed everything itself";
    EXPECT_EQ(host.Call("GET", "/fake/events").errorText.value_or("(none)"), "The plug-in is not initialized");
}

}  // namespace
}  // namespace qivhost
