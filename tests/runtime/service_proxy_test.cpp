// Service-proxy calls, against the module's fake host. A method-based request with its
// early reply and its log lines is ProbeServiceProxy.AnEarlyReplyIsMatchedWhenItsRequestIsStored.
#include "runtime/service_proxy_calls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "binding/register_type.h"
#include "fake_module.h"

namespace vclient {
namespace {

using testing_support::AnswerText;
using testing_support::FakeModule;

struct Score {
    std::int32_t points = 0;
};

BindingProperty Reply(const std::string& payload, const std::string& error) {
    BindingProperty reply;
    for (const char* field : {"serviceName", "methodName", "status"}) reply.Field(field).SetString("");
    reply.Field("uuid").SetString("uuid-1");
    reply.Field("payload").SetString(payload);
    reply.Field("error").SetString(error);
    return reply;
}

// A module with the built-in reply events subscribed and a login plug-in that answers
// every uuid request with "uuid-1". A reply delivered before the call waits for it.
struct ServiceProxyFixture : ::testing::Test {
    FakeModule module;
    void SetUp() override {
        RegisterRecord<Score>(module.registry, "Score").QIV_FIELD(points);
        module.SubscribeServiceProxyEvents();
        module.onPerformRequest = [](HostResponse* response, const HostRequest*) { AnswerText(response, "uuid-1"); };
    }
    std::string CallWithReply(const std::string& payload, const std::string& error) {
        module.Deliver("OnServiceProxyUuidEvent", Reply(payload, error));
        MaybeType<Failure, Score> result = module.CallServiceProxy<Score>("s", "m", Score{}).get();
        return result.Succeeded() ? std::to_string(result.Value().points) : result.GetFailure().message;
    }
};

TEST_F(ServiceProxyFixture, RepliesAreConvertedAndTheirFailuresBecomeFailures) {
    EXPECT_EQ(CallWithReply(R"({"points":7})", ""), "7");
    EXPECT_EQ(CallWithReply("{}", "server says no"), "server says no");
    EXPECT_EQ(CallWithReply("[1,", ""),
              "Failed to deserialize response payload \"[1,\" to a vclient::{anonymous}::Score");
}

TEST_F(ServiceProxyFixture, OneMethodRequestPerNameIsInFlightAndNothingStartsWhileStopping) {
    auto start = [this](const char* method, const char* methodOption) {
        return module.StartServiceProxyRequest("svc", method, Score{}, methodOption, "", [](const auto&) {});
    };
    EXPECT_EQ(start("m", "option"), "");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(start("m", "option"), "Request already in flight");
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("ERROR| probe: Could not invoke service proxy as request is already in flight\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(start("other", "option"), "") << "another method is free";
    EXPECT_EQ(start("m", ""), "") << "a uuid request of a name in flight is never refused";
    const std::string sent = "PerformRequest POST /qiv-login/v1/service-proxy-method-requests";
    EXPECT_EQ(std::count(module.calls.begin(), module.calls.end(), sent), 2) << "the refused request was never sent";
    module.SetStopping();
    EXPECT_EQ(module.CallServiceProxy<Score>("s", "m", Score{}).get().GetFailure().message, "Finalizing");
}

}  // namespace
}  // namespace vclient
