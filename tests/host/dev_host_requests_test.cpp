// The plug-in's requests to the client's components, end to end: answers, scripted
// failures, streamed bodies, and the release of every response.
#include <gtest/gtest.h>

#include "fake_plugin_host.h"
#include "vyre.h"

namespace qivhost {
namespace {

using DevHostRequests = FakePluginHost;

TEST_F(DevHostRequests, GetsAreAnsweredFromTheStore) {
    ASSERT_TRUE(host.SetResource("/qiv-login/v1/session", R"({"state":"SUCCEEDED","summonerId":5})"));
    const rapidjson::Document found = Run("get?url=/qiv-login/v1/session");
    EXPECT_EQ(found["status"].GetInt(), 200);
    EXPECT_EQ(found["body"]["summonerId"].GetUint64(), 5u);
    const rapidjson::Document missing = Run("get?url=/qiv-gameflow/v1/session");
    EXPECT_EQ(missing["status"].GetInt(), 404);
    EXPECT_STREQ(missing["error"].GetString(), "No resource at /qiv-gameflow/v1/session");
    EXPECT_EQ(host.History().Find("PerformRequest", "GET \"/qiv-login/v1/session\" -> 200 {\"state\"").size(), 1u);
}

TEST_F(DevHostRequests, ScriptedFailuresAnswerInsteadOfTheComponent) {
    host.Components().script.Fail("/qiv-pre-end-of-game/v1/complete/honor-vote", ScriptedFailure{503, "not now", 0, 1});
    const rapidjson::Document failed = Run("post?url=/qiv-pre-end-of-game/v1/complete/honor-vote");
    EXPECT_EQ(failed["status"].GetInt(), 503);
    EXPECT_STREQ(failed["error"].GetString(), "not now");
    EXPECT_TRUE(host.Components().preEndOfGame.Completions().empty());
    const rapidjson::Document passed = Run("post?url=/qiv-pre-end-of-game/v1/complete/honor-vote");
    EXPECT_EQ(passed["status"].GetInt(), 200);
    EXPECT_EQ(host.Components().preEndOfGame.Completions().size(), 1u);
}

TEST_F(DevHostRequests, PreEndOfGameTelemetryAndVyreRecordWhatThePluginSent) {
    Run("post?url=/qiv-pre-end-of-game/v1/registration/honor-vote/1");
    Run("delete?url=/qiv-pre-end-of-game/v1/registration/honor-vote");
    Run("post?url=/telemetry/v1/events/honor-vote&text=cast");
    const rapidjson::Document invoked = Run("invoke?destination=clientFacadeService&method=callPersistenceMessaging&text=ack");
    EXPECT_EQ(invoked["status"].GetInt(), 200);
    EXPECT_EQ(host.Components().preEndOfGame.History(),
              (std::vector<std::string>{"register honor-vote 1", "withdraw honor-vote"}));
    ASSERT_EQ(host.Components().telemetry.Events().size(), 1u);
    EXPECT_EQ(host.Components().telemetry.Events()[0].dataJson, R"({"text":"cast"})");
    ASSERT_EQ(host.Components().vyre.Invocations().size(), 1u);
    EXPECT_EQ(host.Components().vyre.Invocations()[0].destination, "clientFacadeService");
    EXPECT_EQ(host.Components().vyre.Invocations()[0].clientHandle, host.ClientHandle());

    host.Components().vyre.SetInvokeFailure(502, "connection lost");
    const rapidjson::Document failed = Run("invoke?destination=d&method=m&text=t");
    EXPECT_STREQ(failed["error"].GetString(), "connection lost");
}

TEST_F(DevHostRequests, StreamedBodiesAreReadChunkByChunkWithYields) {
    const std::string big(5000, 'x');
    host.Components().script.Stream("/big", StreamScript{{"[\"", big, "\"]"}, 5004, std::nullopt});
    const rapidjson::Document read = Run("get?url=/big");
    EXPECT_EQ(read["body"].GetString(), "[\"" + big + "\"]");
    const ResponseCounts counts = host.Responses().Counts();
    // "[\"", 4096 of big, the rest of big, "\"]": the last read ends the stream.
    EXPECT_EQ(counts.streamReads, 4u);
    EXPECT_EQ(counts.streamCloses, 1u);
    EXPECT_EQ(host.Waits().Labels().at("Wait: yield"), 2u) << "a yield after each short chunk but the last";
}

TEST_F(DevHostRequests, AFailingStreamReadIsReportedAndTheStreamStillClosed) {
    host.Components().script.Stream("/broken", StreamScript{{"a", "b", "c"}, 3, 1u});
    const rapidjson::Document read = Run("get?url=/broken");
    EXPECT_STREQ(read["body"].GetString(), "<stream read failed>");
    const ResponseCounts counts = host.Responses().Counts();
    EXPECT_EQ(counts.failedStreamReads, 1u);
    EXPECT_EQ(counts.streamCloses, 1u);
}

TEST_F(DevHostRequests, EveryResponseIsReleasedOnceAndFreed) {
    const std::uint64_t unknownBefore = ResponseLedger::UnknownReleases();
    ASSERT_TRUE(host.SetResource("/r", R"({"deep":[{"a":"b"}]})"));
    Run("get?url=/r");
    Run("get?url=/missing");
    Run("proxy?service=honor.server&method=honorPlayer");
    host.Components().script.Stream("/s", StreamScript{{"x"}, 1, std::nullopt});
    Run("get?url=/s");
    const ResponseCounts counts = host.Responses().Counts();
    EXPECT_EQ(counts.filled, 4u);
    EXPECT_EQ(counts.released, 4u);
    EXPECT_EQ(counts.refilledBeforeRelease, 0u);
    EXPECT_EQ(host.Responses().Outstanding(), 0u);
    EXPECT_EQ(ResponseLedger::UnknownReleases(), unknownBefore);
}

TEST(ResponseLedger, ARecordReleasedTwiceOrNeverFilledFreesNothing) {
    const std::uint64_t unknownBefore = ResponseLedger::UnknownReleases();
    ResponseLedger ledger;
    HostResponse response{};
    ledger.Fill(response, EndpointAnswer::Failure(418, "teapot"));
    EXPECT_STREQ(response.errorText, "teapot");
    const std::int32_t status = response.status;
    EXPECT_EQ(status, 418);
    HostReleaseResponseFunction release = response.release;
    ASSERT_NE(release, nullptr);
    EXPECT_EQ(ledger.Outstanding(), 1u);
    release(&response);
    release(&response);
    HostResponse stranger{};
    release(&stranger);
    EXPECT_EQ(ledger.Counts().released, 1u);
    EXPECT_EQ(ResponseLedger::UnknownReleases(), unknownBefore + 2);
    EXPECT_EQ(ledger.Outstanding(), 0u);
}

TEST(ResponseLedger, FreesWhatThePluginNeverReleased) {
    HostResponse kept{};
    {
        ResponseLedger ledger;
        ledger.Fill(kept, EndpointAnswer::Ok(OwnedHostValue::Text("leaked unless the ledger frees it")));
        HostResponse again = kept;
        (void)again;
        ledger.Fill(kept, EndpointAnswer::Ok(OwnedHostValue::Text("second")));
        EXPECT_EQ(ledger.Counts().refilledBeforeRelease, 1u);
        EXPECT_EQ(ledger.Outstanding(), 1u);
    }  // AddressSanitizer reports a leak if the ledger kept anything
}

}  // namespace
}  // namespace qivhost
