// HandleCall end to end through the route table: the response record as a host reads it,
// results of every handler shape, response attributes and streams, the call context, and
// failures that must come back as values.
#include "router/handle_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "router_test_support.h"

namespace router_test {
namespace {

class HandleCallTest : public ::testing::Test, public RoadFixture {
protected:
    // The filled response record of a GET, not yet read or released.
    HostResponse Raw(const std::string& function, const std::string& url) {
        TestRequest request(kGet, url);
        const HostRequest record = request.Record(FindEntry(Table(), function)->function.dispatchContext);
        HostResponse response{};
        HandleCall(&response, &record);
        return response;
    }
};

TEST_F(HandleCallTest, RecordResultFillsTheResponseUntilReleased) {
    HostResponse response = Raw("GetItemsById", "/items/box");
    ASSERT_EQ(Copy(response.body.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_STRUCTURE));
    EXPECT_EQ(Copy(response.body.structure.count), 3u);
    EXPECT_EQ(Copy(response.errorText), nullptr);
    EXPECT_EQ(Copy(response.errorFlag), 0);
    EXPECT_EQ(Copy(response.status), 0) << "the handler set none";
    ASSERT_NE(Copy(response.resultText), nullptr);
    EXPECT_STREQ(response.resultText, "");
    EXPECT_EQ(Copy(response.headers), nullptr);
    EXPECT_EQ(Copy(response.readChunk), nullptr);
    ASSERT_NE(Copy(response.release), nullptr);

    response.release(&response);
    EXPECT_EQ(Copy(response.body.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
    EXPECT_EQ(Copy(response.resultText), nullptr);
    response.release(&response);  // a second release finds nothing left to free
}

TEST_F(HandleCallTest, ResultShapes) {
    EXPECT_EQ(Get("GetItemsById", "/items/box").body.Find("name").GetString(), "box");
    EXPECT_EQ(Get("GetColor", "/color").body.GetString(), "Green") << "enumerators by name";
    TestRequest ack(kPost, "/ack");
    const Answer acked = Call("PostAck", ack);
    EXPECT_EQ(acked.bodyKind, static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
    EXPECT_EQ(acked.errorText, std::nullopt);
    EXPECT_EQ(service.acks, 1);
    EXPECT_EQ(Get("GetMaybeVoid", "/maybe-void").errorText, std::nullopt);
    EXPECT_EQ(Get("GetMaybe", "/maybe?code=-1").body.GetString(), "fine");
}

TEST_F(HandleCallTest, HandlerFailuresCarryTheirTextAndStatus) {
    const struct { const char* function; const char* url; std::int32_t status; const char* errorText; } cases[] = {
        {"GetMaybe", "/maybe?code=0", 500, "downstream failed"},
        {"GetMaybe", "/maybe?code=503", 503, "downstream failed"},
        {"GetDownstream", "/downstream?message=no+answer", 500, "no answer"},
        {"GetDownstream", "/downstream?message", 400, "Expected value for argument 'message'."},
        {"GetThrows", "/throws", 500, "Internal server error: boom"},
        {"GetUnregistered", "/unregistered", 400,
         "Couldn't convert native value because it's an unregistered structure."},
        {"GetDeep", "/deep", 400, "Couldn't convert the result of 'GetDeep'."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.url);
        const Answer answer = Get(test.function, test.url);
        EXPECT_EQ(answer.status, test.status);
        EXPECT_EQ(answer.errorText, Text(test.errorText));
        EXPECT_EQ(answer.errorFlag, 1);
        EXPECT_EQ(answer.bodyKind, static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
        EXPECT_TRUE(answer.released);
    }
    EXPECT_EQ(InternalServerError("").ErrorMessage(), "Internal server error");
    EXPECT_EQ(InternalServerError("").Status(), 500);
}

TEST_F(HandleCallTest, CallResultAttributesAreCopiedIntoTheResponse) {
    const Answer answer = Get("GetAttributes", "/attributes?mode=2");
    EXPECT_EQ(answer.body.GetString(), "attributed");
    EXPECT_EQ(answer.status, 201);
    EXPECT_EQ(answer.resultFlag, 7);
    EXPECT_EQ(answer.resultMode, 2u);
    EXPECT_EQ(answer.resultText, Text("text attribute"));
    const std::vector<std::pair<std::string, std::string>> headers{{"x-one", "1"}, {"x-two", "2"}};
    EXPECT_EQ(answer.headers, headers);
    // Modes 1 to 3 are passed on; any other is 0.
    for (const std::uint32_t mode : {0u, 3u, 4u, 99u}) {
        EXPECT_EQ(Get("GetAttributes", "/attributes?mode=" + std::to_string(mode)).resultMode, mode == 3 ? 3u : 0u);
    }
}

TEST_F(HandleCallTest, StreamIsHandedOverThroughTheAdapters) {
    HostResponse response = Raw("GetStream", "/stream");
    EXPECT_EQ(Copy(response.sizeHint), 10000u);
    EXPECT_EQ(Copy(response.reserved), 0u);
    const Answer answer = ReadAnswer(response);
    EXPECT_EQ(answer.streamText, std::string(10000, 's'));
    EXPECT_TRUE(service.streamClosed);
    EXPECT_TRUE(answer.released);
}

TEST_F(HandleCallTest, StreamNeverReadIsClosedAndFreedOnRelease) {
    HostResponse response = Raw("GetStream", "/stream");
    std::uint32_t length = 10;
    EXPECT_EQ(response.readChunk(response.streamContext, nullptr, &length, nullptr), 0) << "no buffer";
    EXPECT_EQ(response.readChunk(response.streamContext, nullptr, nullptr, nullptr), 0) << "no length";
    response.release(&response);
    EXPECT_TRUE(service.streamClosed);
    EXPECT_EQ(Copy(response.readChunk), nullptr);
}

TEST_F(HandleCallTest, CallContextDescribesTheCall) {
    TestRequest request(kCustom, "/context?tag=t");
    request.Word("PROPFIND").Header("Accept", "text/yaml");
    const auto before = std::chrono::steady_clock::now();
    const Answer answer = Call("Context", request);
    const auto after = std::chrono::steady_clock::now();
    EXPECT_EQ(answer.body.GetString(), "t");
    const CallContext& seen = service.seen;
    EXPECT_EQ(seen.url, "/context?tag=t");
    EXPECT_EQ(seen.method, HttpMethod::Custom);
    EXPECT_EQ(seen.methodWord, "PROPFIND");
    EXPECT_EQ(seen.headers.at("Accept"), "text/yaml");
    EXPECT_EQ(seen.registry, &registry);
    EXPECT_EQ(seen.clientHandle, 77u);
    EXPECT_GE(seen.timeStamp, before);
    EXPECT_LE(seen.timeStamp, after);

    TestRequest plain(kPost, "/context?tag=u");
    plain.Word("IGNORED");
    EXPECT_EQ(Call("Context", plain).body.GetString(), "u");
    EXPECT_EQ(service.seen.method, HttpMethod::Post);
    EXPECT_EQ(service.seen.methodWord, "") << "the word counts only for method 8";
}

// Only the dispatch context the route table handed out for the function is accepted.
TEST_F(HandleCallTest, ForeignDispatchContextIsRejected) {
    RouteDispatchContext forged{&registry, nullptr};
    RouteDispatchContext copied = registry.FindRoute("GetColor")->context;
    for (RouteDispatchContext* context : {&forged, &copied, static_cast<RouteDispatchContext*>(nullptr)}) {
        TestRequest request(kGet, "/color");
        const HostRequest record = request.Record(context);
        HostResponse response{};
        HandleCall(&response, &record);
        const Answer answer = ReadAnswer(response);
        EXPECT_EQ(answer.status, 404);
        EXPECT_EQ(answer.errorText, Text("Invalid function"));
        EXPECT_TRUE(answer.released);
    }
}

// The route match of HandleCall: methods, literal and templated paths, trailing slashes and
// the decoding of path variables, each call made through the route table as a host makes it.
// How templates match URLs in detail is route_pattern_test's; here the router's own part.
TEST_F(HandleCallTest, MatchesMethodAndPath) {
    struct Case {
        const char* function;
        std::uint32_t method;
        std::optional<std::string> word;
        std::string url;
        std::optional<std::string> expected;  // the echoed URL or path variable; nullopt: 404
    };
    const std::string ballot = "/qiv-honor-v2/v1/ballot";
    const Case cases[] = {
        {"GetQivHonorV2V1Ballot", kGet, {}, ballot, ballot}, {"GetQivHonorV2V1Ballot", kPost, {}, ballot, std::nullopt},
        {"GetQivHonorV2V1Ballot", 0, {}, ballot, std::nullopt},
        {"GetQivHonorV2V1Ballot", kGet, {}, ballot + "s", std::nullopt},
        {"GetQivHonorV2V1Ballot", kGet, {}, ballot + "?", ballot + "?"},  // the query is left to binding
        {"GetQivHonorV2V1Ballot", kGet, {}, "/QIV-honor-v2/v1/ballot", std::nullopt},
        // HttpMethod::None accepts every method, even codes outside 1 to 8.
        {"Any", QIV_HTTP_DELETE, {}, "/any", "/any"}, {"Any", kPost, {}, "/any", "/any"},
        {"Any", kCustom, "PURGE", "/any", "/any"}, {"Any", 99, {}, "/any", "/any"},
        // A custom method compares words exactly, and only for the custom code.
        {"PurgeCache", kCustom, "PURGE", "/cache", "/cache"}, {"PurgeCache", kCustom, "purge", "/cache", std::nullopt},
        {"PurgeCache", kCustom, std::nullopt, "/cache", std::nullopt},
        {"PurgeCache", kPost, "PURGE", "/cache", std::nullopt},
        // A trailing slash is dropped from the template, except from the root.
        {"GetAB", kGet, {}, "/a/b", "/a/b"}, {"GetAB", kGet, {}, "/a/b/", std::nullopt}, {"Post", kPost, {}, "/", "/"},
        // A function without a path matches its name.
        {"Get", kGet, {}, "Get", "Get"}, {"Get", kGet, {}, "/", std::nullopt},
        // Variables are decoded; the query is cut off before the match and may set them.
        {"GetEchoByText", kGet, {}, "/echo/a%20b", "a b"}, {"GetEchoByText", kGet, {}, "/echo/a?", "a"},
        {"GetFilesByPath", kGet, {}, "/files/a%2Fb", "a/b"}, {"GetFilesByPath", kGet, {}, "/files/a/b?path=q", "q"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.url);
        TestRequest request(test.method, test.url);
        if (test.word) request.Word(*test.word);
        const Answer answer = Call(test.function, request);
        EXPECT_EQ(answer.errorText.value_or(answer.body.GetString()), test.expected.value_or("Invalid function"));
        EXPECT_EQ(answer.status, test.expected ? 0 : 404);
    }
    EXPECT_EQ(registry.FindRoute("GetAB")->pathTemplate, "/a/b");
    EXPECT_EQ(registry.FindRoute("Get")->pathTemplate, "");
}

TEST_F(HandleCallTest, EmptySegmentIsNoValueForAStringArgument) {
    const Answer answer = Get("GetEchoByText", "/echo/");
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.errorText, Text("Expected value for argument 'text'."));
}

}  // namespace
}  // namespace router_test
