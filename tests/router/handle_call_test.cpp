// HandleCall end to end through the route table: the response record as a host reads it,
// results of every handler shape, response attributes and streams, the call context, and
// failures that must come back as values.
#include "router/handle_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "binding/binding_type.h"
#include "router_test_support.h"

namespace router_test {
namespace {

std::optional<std::string> Text(const char* text) { return std::string(text); }

class HandleCallTest : public ::testing::Test, public RouterFixture {
protected:
    void SetUp() override {
        registry.AddRoute(HttpMethod::Get, "/items/{id}", &service, &Service::GetItem);
        registry.AddRoute(HttpMethod::Post, "/ack", &service, &Service::Ack);
        registry.AddRoute(HttpMethod::Get, "/color", &service, &Service::GetColor);
        registry.AddRoute(HttpMethod::Get, "/maybe", &service, &Service::Maybe).Argument("code");
        registry.AddRoute(HttpMethod::Get, "/maybe-void", &service, &Service::MaybeVoid);
        registry.AddRoute(HttpMethod::Get, "/attributes", &service, &Service::Attributes).Argument("mode");
        registry.AddRoute(HttpMethod::Get, "/downstream", &service, &Service::Downstream).Argument("message");
        registry.AddRoute(HttpMethod::Get, "/stream", &service, &Service::Stream);
        registry.AddRoute(HttpMethod::Get, "/throws", &service, &Service::Throws);
        registry.AddRoute(HttpMethod::Get, "/deep", &service, &Service::Deep);
        registry.AddRoute(HttpMethod::Get, "/unregistered", &service, &Service::GetUnregistered);
        registry.AddRoute(HttpMethod::None, "/context", &service, &Service::Context).Argument("tag");
    }

    Answer Get(const std::string& function, const std::string& url) {
        TestRequest request(kGet, url);
        return Call(function, request);
    }
};

TEST_F(HandleCallTest, RecordResultArrivesAsAStructureHostValue) {
    const RouteFunctionEntry& entry = *FindEntry(Table(), "GetItemsById");
    TestRequest request(kGet, "/items/box");
    const HostRequest record = request.Record(entry.function.dispatchContext);
    HostResponse response{};
    HandleCall(&response, &record);

    const HostValue body = response.body;
    ASSERT_EQ(body.kind, static_cast<std::uint32_t>(QIV_HOST_VALUE_STRUCTURE));
    const HostValueStructure structure = body.structure;
    ASSERT_EQ(structure.count, 3u);
    const HostStructureEntry first = structure.entries[0];
    EXPECT_STREQ(first.name, "count") << "entries in name order";
    EXPECT_EQ(first.nameOwned, 1);
    const HostValue name = structure.entries[1].value;
    ASSERT_EQ(name.kind, static_cast<std::uint32_t>(QIV_HOST_VALUE_OWNED_STRING));
    EXPECT_STREQ(name.string.text, "box");
    const char* errorText = response.errorText;
    const std::uint8_t errorFlag = response.errorFlag;
    const std::int32_t status = response.status;
    const char* resultText = response.resultText;
    const HostRequestHeader* headers = response.headers;
    const HostReadChunkFunction readChunk = response.readChunk;
    const HostReleaseResponseFunction release = response.release;
    EXPECT_EQ(errorText, nullptr);
    EXPECT_EQ(errorFlag, 0);
    EXPECT_EQ(status, 0) << "the handler set none";
    ASSERT_NE(resultText, nullptr);
    EXPECT_STREQ(resultText, "");
    EXPECT_EQ(headers, nullptr);
    EXPECT_EQ(readChunk, nullptr);
    ASSERT_NE(release, nullptr);

    release(&response);
    const HostValue cleared = response.body;
    const char* clearedText = response.resultText;
    EXPECT_EQ(cleared.kind, static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
    EXPECT_EQ(clearedText, nullptr);
    release(&response);  // a second release finds nothing left to free
}

TEST_F(HandleCallTest, ResultShapes) {
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
    struct Case {
        const char* function;
        const char* url;
        std::int32_t status;
        const char* errorText;
    };
    const Case cases[] = {
        {"GetMaybe", "/maybe?code=0", 500, "downstream failed"},
        {"GetMaybe", "/maybe?code=503", 503, "downstream failed"},
        {"GetDownstream", "/downstream?message=no+answer", 500, "no answer"},
        {"GetDownstream", "/downstream?message", 400, "Expected value for argument 'message'."},
        {"GetThrows", "/throws", 500, "Internal server error: boom"},
        {"GetUnregistered", "/unregistered", 400,
         "Couldn't convert native value because it's an unregistered structure."},
        {"GetDeep", "/deep", 400, "Couldn't convert the result of 'GetDeep'."},
    };
    for (const Case& test : cases) {
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
    for (const std::uint32_t mode : {0u, 4u, 99u}) {
        EXPECT_EQ(Get("GetAttributes", "/attributes?mode=" + std::to_string(mode)).resultMode, 0u) << mode;
    }
    EXPECT_EQ(Get("GetAttributes", "/attributes?mode=3").resultMode, 3u);
}

TEST_F(HandleCallTest, StreamIsHandedOverThroughTheAdapters) {
    const RouteFunctionEntry& entry = *FindEntry(Table(), "GetStream");
    TestRequest request(kGet, "/stream");
    const HostRequest record = request.Record(entry.function.dispatchContext);
    HostResponse response{};
    HandleCall(&response, &record);
    const std::uint32_t sizeHint = response.sizeHint;
    const std::uint32_t reserved = response.reserved;
    EXPECT_EQ(sizeHint, 10000u);
    EXPECT_EQ(reserved, 0u);
    const Answer answer = ReadAnswer(response);
    EXPECT_TRUE(answer.streamed);
    EXPECT_EQ(answer.streamText, std::string(10000, 's'));
    EXPECT_TRUE(service.streamClosed);
    EXPECT_TRUE(answer.released);
}

TEST_F(HandleCallTest, StreamNeverReadIsClosedAndFreedOnRelease) {
    const RouteFunctionEntry& entry = *FindEntry(Table(), "GetStream");
    TestRequest request(kGet, "/stream");
    const HostRequest record = request.Record(entry.function.dispatchContext);
    HostResponse response{};
    HandleCall(&response, &record);
    const HostReadChunkFunction read = response.readChunk;
    void* context = response.streamContext;
    std::uint32_t length = 10;
    EXPECT_EQ(read(context, nullptr, &length, nullptr), 0) << "no buffer";
    EXPECT_EQ(read(context, nullptr, nullptr, nullptr), 0) << "no length";
    const HostReleaseResponseFunction release = response.release;
    release(&response);
    EXPECT_TRUE(service.streamClosed);
    const HostReadChunkFunction cleared = response.readChunk;
    EXPECT_EQ(cleared, nullptr);
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

TEST_F(HandleCallTest, ForeignDispatchContextIsRejected) {
    RouteDispatchContext forged{&registry, nullptr};
    TestRequest request(kGet, "/color");
    const HostRequest record = request.Record(&forged);
    HostResponse response{};
    HandleCall(&response, &record);
    EXPECT_EQ(ReadAnswer(response).errorText, Text("Invalid function"));

    RouteDispatchContext copied = registry.FindRoute("GetColor")->context;
    const HostRequest copy = request.Record(&copied);
    HostResponse second{};
    HandleCall(&second, &copy);
    EXPECT_EQ(ReadAnswer(second).status, 404) << "only the binding's own context is accepted";
}

}  // namespace
}  // namespace router_test
