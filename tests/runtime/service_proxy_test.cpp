#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/register_type.h"
#include "fake_module.h"

namespace vclient {
namespace {

using testing::AnswerText;
using testing::FakeModule;

struct Score {
    std::int32_t points = 0;
};

void RegisterScore(FakeModule& module) {
    RegisterRecord<Score>(module.registry, "Score").QIV_FIELD(points);
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

// A second method request of the same name is refused, with its log line:
// ProbeServiceProxy.ASecondMethodRequestInFlightIsRefused.
TEST_F(ServiceProxyFixture, UuidRequestsAreNeverInFlightAndNothingStartsWhileStopping) {
    EXPECT_EQ(module.StartServiceProxyRequest("svc", "m", Score{}, "option", "", [](const auto&) {}), "");
    EXPECT_EQ(module.StartServiceProxyRequest("svc", "m", Score{}, "", "", [](const auto&) {}), "")
        << "a uuid request of a name in flight is never refused";
    module.SetStopping();
    EXPECT_EQ(module.CallServiceProxy<Score>("s", "m", Score{}).get().GetFailure().message, "Finalizing");
}

}  // namespace
}  // namespace vclient
