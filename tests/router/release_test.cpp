// Every array the router allocates for a response (texts, host value payloads, header
// arrays) is freed by the response's release: this program counts array allocations.
#include <gtest/gtest.h>

#include <string>

#include "router_test_support.h"
#include "support/counting_array_new.h"

namespace router_test {
namespace {

TEST(ResponseRelease, FreesEveryArrayOfEveryAnswerShape) {
    RoadFixture fixture;
    const struct { const char* function; const char* url; } calls[] = {
        {"GetItemsById", "/items/x"},        {"GetAttributes", "/attributes?mode=1"},
        {"GetStream", "/stream"},            {"GetMaybe", "/maybe?code=404"},
        {"GetThrows", "/throws"},            {"GetItemsById", "/nothing"},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.url);
        const RouteFunctionEntry& entry = *FindEntry(fixture.Table(), call.function);
        TestRequest request(kGet, call.url);
        const HostRequest record = request.Record(entry.function.dispatchContext);
        const long before = vclient::testing_support::LiveArrays();
        HostResponse response{};
        HandleCall(&response, &record);
        EXPECT_GT(vclient::testing_support::LiveArrays(), before) << "the answer holds texts of its own";
        const HostReleaseResponseFunction release = response.release;
        ASSERT_NE(release, nullptr);
        release(&response);
        EXPECT_EQ(vclient::testing_support::LiveArrays(), before);
    }
}

}  // namespace
}  // namespace router_test
