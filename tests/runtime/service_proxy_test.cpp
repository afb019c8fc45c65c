#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/register_type.h"
#include "fake_module.h"

namespace vclient {
namespace {

using testing::AnswerText;
using testing::FakeModule;
using Strings = std::vector<std::string>;

struct Score {
    std::int32_t points = 0;
};
struct Ack {
    std::string msgId;
    Score score;
    std::vector<Score> history;
};

void RegisterScore(FakeModule& module) {
    RegisterRecord<Score>(module.registry, "Score").QIV_FIELD(points);
    RegisterRecord<Ack>(module.registry, "Ack").QIV_FIELD(msgId).QIV_FIELD(score).QIV_FIELD(history);
}

BindingProperty Reply(const std::string& uuid, const std::string& payload, const std::string& error = "") {
    BindingProperty reply;
    reply.Field("uuid").SetString(uuid);
    reply.Field("serviceName").SetString("honor.server");
    reply.Field("methodName").SetString("honorPlayer");
    reply.Field("payload").SetString(payload);
    reply.Field("status").SetString("200");
    reply.Field("error").SetString(error);
    return reply;
}

// A module with the built-in reply events subscribed and a login plug-in that answers
// every uuid request with "uuid-1".
struct ServiceProxyFixture : ::testing::Test {
    FakeModule module;
    void SetUp() override {
        RegisterScore(module);
        module.SubscribeServiceProxyEvents();
        module.onPerformRequest = [](HostResponse* response, const HostRequest*) { AnswerText(response, "uuid-1"); };
        module.calls.clear();
    }
};

TEST_F(ServiceProxyFixture, SubscribesTheThreeBuiltInEventsWithFlagOne) {
    FakeModule fresh;
    fresh.SubscribeServiceProxyEvents();
    EXPECT_EQ(fresh.calls, (Strings{"SubscribeEvent OnServiceProxyUuidEvent 1", "SubscribeEvent OnServiceProxyMethodEvent 1",
                                    "SubscribeEvent OnServiceProxyAsyncEvent 1"}));
}

TEST_F(ServiceProxyFixture, AReplyFulfilsTheRequestWithTheSameUuidWhileTheCallerWaits) {
    module.onRunPending = [&] { module.Deliver("OnServiceProxyUuidEvent", Reply("uuid-1", R"({"points": 5})")); };
    const MaybeType<Failure, Score> result =
        module.Await(module.CallServiceProxy<Score>("honor.server", "honorPlayer", Score{3}));
    ASSERT_TRUE(result.Succeeded()) << result.GetFailure().message;
    EXPECT_EQ(result.Value().points, 5);
    EXPECT_EQ(module.calls.front(), "PerformRequest POST /qiv-login/v1/service-proxy-uuid-requests");
}

TEST_F(ServiceProxyFixture, AReplyThatArrivesFirstWaitsForItsRequest) {
    module.Deliver("OnServiceProxyUuidEvent", Reply("uuid-1", "\"done\""));
    std::future<MaybeType<Failure, std::string>> future =
        module.CallServiceProxy<std::string>("honor.server", "honorPlayer", Score{});
    ASSERT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(future.get().Value(), "done");
}

TEST_F(ServiceProxyFixture, ReplyFailuresBecomeFailures) {
    module.Deliver("OnServiceProxyUuidEvent", Reply("uuid-1", "{}", "server says no"));
    EXPECT_EQ(module.CallServiceProxy<Score>("s", "m", Score{}).get().GetFailure().message, "server says no");
    module.Deliver("OnServiceProxyUuidEvent", Reply("uuid-1", "[1,"));
    EXPECT_EQ(module.CallServiceProxy<Score>("s", "m", Score{}).get().GetFailure().message,
              "Failed to deserialize response payload \"[1,\" to a vclient::{anonymous}::Score");
}

TEST_F(ServiceProxyFixture, RefusesWhileStoppingAndASecondMethodRequestInFlight) {
    ::testing::internal::CaptureStderr();
    std::string first = module.StartServiceProxyRequest("svc", "m", Score{}, "option", "", [](const auto&) {});
    std::string second = module.StartServiceProxyRequest("svc", "m", Score{}, "option", "", [](const auto&) {});
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "Request already in flight");
    EXPECT_NE(log.find("probe: Could not invoke service proxy as request is already in flight"), std::string::npos);
    EXPECT_EQ(module.StartServiceProxyRequest("svc", "other", Score{}, "", "", [](const auto&) {}), "")
        << "uuid requests are never refused for being in flight";
    module.SetStopping();
    EXPECT_EQ(module.CallServiceProxy<Score>("s", "m", Score{}).get().GetFailure().message, "Finalizing");
}

TEST_F(ServiceProxyFixture, InvokeVyreAnnotatesRegisteredClassesAtEveryDepth) {
    module.SetVyreClassName(StaticType::Key<Ack>(), "com.example.Ack");
    module.SetVyreClassName(StaticType::Key<Score>(), "com.example.Score");
    std::string arguments;
    module.onPerformRequest = [&](HostResponse*, const HostRequest* request) {
        const HostRequestParameter* parameters = request->parameters;
        BindingResult result;
        BindingProperty tree;
        const HostValue value = parameters[2].value;
        ASSERT_TRUE(HostValueToBinding(result, tree, value, "arguments"));
        arguments = BindingToJson(tree, nullptr, nullptr);
    };
    Ack ack;
    ack.msgId = "m1";
    ack.history = {Score{1}};
    EXPECT_TRUE(module.Await(module.InvokeVyre("clientFacadeService", "callPersistenceMessaging", ack)).Succeeded());
    EXPECT_EQ(arguments,
              R"([{"__class":"com.example.Ack","history":[{"__class":"com.example.Score","points":1}],"msgId":"m1",)"
              R"("score":{"__class":"com.example.Score","points":0}}])");
}

TEST_F(ServiceProxyFixture, VyreMessagesRunOnALaterTurnUnderTheirTypeName) {
    std::vector<int> received;
    module.SubscribeVyre<Score>("a.b.C", [&](const Score& score) { received.push_back(score.points); });
    ASSERT_EQ(module.subscriptions.count("OnVyreEvent_a_b_C"), 1u);
    EXPECT_EQ(module.subscriptions["OnVyreEvent_a_b_C"].flag, 1u);
    BindingProperty event;
    event.Field("typeName").SetString("a.b.C");
    event.Field("body").Field("points").SetSigned(9);
    module.Deliver("OnVyreEvent_a_b_C", event);
    EXPECT_TRUE(received.empty()) << "never inside the delivery";
    ASSERT_EQ(module.timers.size(), 1u);
    EXPECT_EQ(module.timers[0].name, "Event: OnVyreEvent (a.b.C)");
    module.FireTimers();
    EXPECT_EQ(received, std::vector<int>{9});
}

}  // namespace
}  // namespace vclient
