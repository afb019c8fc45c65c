// Streamed bodies of the plug-in's requests, and the release of every response.
#include <gtest/gtest.h>

#include "host/fake_plugin_host.h"

namespace qivhost {
namespace {

using DevHostRequests = FakePluginHost;

// The plug-in's yields between chunks are ProbeRequests.AStreamedBodyYieldsAfterEveryShortChunk's.
TEST_F(DevHostRequests, StreamedBodiesAreReadChunkByChunkAndAlwaysClosed) {
    const std::string big(5000, 'x');
    host.Components().script.Stream("/big", StreamScript{{"[\"", big, "\"]"}, 5004, std::nullopt});
    EXPECT_EQ(Run("get?url=/big")["body"].GetString(), "[\"" + big + "\"]");
    // "[\"", 4096 of big, the rest of big, "\"]": the last read ends the stream.
    EXPECT_EQ(host.Responses().Counts().streamReads, 4u);

    host.Components().script.Stream("/broken", StreamScript{{"a", "b", "c"}, 3, 1u});
    EXPECT_STREQ(Run("get?url=/broken")["body"].GetString(), "<stream read failed>");
    const ResponseCounts counts = host.Responses().Counts();
    EXPECT_EQ(counts.failedStreamReads, 1u);
    EXPECT_EQ(counts.streamCloses, 2u) << "a failed stream is closed too";
}

// The plug-in releases each record once; a stray or second release frees nothing, and the
// ledger frees what is never released (AddressSanitizer reports a leak otherwise).
TEST(ResponseLedger, FreesEachRecordExactlyOnce) {
    const std::uint64_t unknownBefore = ResponseLedger::UnknownReleases();
    HostResponse kept{};
    {
        ResponseLedger ledger;
        HostResponse response{};
        ledger.Fill(response, ComponentAnswer::Failure(418, "teapot"));
        HostReleaseResponseFunction release = response.release;
        release(&response);
        release(&response);
        HostResponse stranger{};
        release(&stranger);
        EXPECT_EQ(ResponseLedger::UnknownReleases(), unknownBefore + 2);
        ledger.Fill(kept, ComponentAnswer::Ok(OwnedHostValue::Text("freed by the ledger")));
        ledger.Fill(kept, ComponentAnswer::Ok(OwnedHostValue::Text("filled again")));
        EXPECT_EQ(ledger.Counts().refilledBeforeRelease, 1u);
        EXPECT_EQ(ledger.Counts().released, 1u);
        EXPECT_EQ(ledger.Outstanding(), 1u);
    }
}

}  // namespace
}  // namespace qivhost
