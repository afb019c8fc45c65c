// Streamed bodies of the plug-in's requests, and the release of every response.
#include <gtest/gtest.h>

#include "fake_plugin_host.h"

namespace qivhost {
namespace {

using DevHostRequests = FakePluginHost;

TEST_F(DevHostRequests, StreamedBodiesAreReadChunkByChunkWithYieldsAndAlwaysClosed) {
    const std::string big(5000, 'x');
    host.Components().script.Stream("/big", StreamScript{{"[\"", big, "\"]"}, 5004, std::nullopt});
    EXPECT_EQ(Run("get?url=/big")["body"].GetString(), "[\"" + big + "\"]");
    // "[\"", 4096 of big, the rest of big, "\"]": the last read ends the stream.
    EXPECT_EQ(host.Responses().Counts().streamReads, 4u);
    EXPECT_EQ(host.Waits().Labels().at("Wait: yield"), 2u) << "a yield after each short chunk but the last";

    host.Components().script.Stream("/broken", StreamScript{{"a", "b", "c"}, 3, 1u});
    EXPECT_STREQ(Run("get?url=/broken")["body"].GetString(), "<stream read failed>");
    const ResponseCounts counts = host.Responses().Counts();
    EXPECT_EQ(counts.failedStreamReads, 1u);
    EXPECT_EQ(counts.streamCloses, 2u) << "a failed stream is closed too";
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
        ledger.Fill(kept, EndpointAnswer::Ok(OwnedHostValue::Text("second")));
        EXPECT_EQ(ledger.Counts().refilledBeforeRelease, 1u);
        EXPECT_EQ(ledger.Outstanding(), 1u);
    }  // AddressSanitizer reports a leak if the ledger kept anything
}

}  // namespace
}  // namespace qivhost
