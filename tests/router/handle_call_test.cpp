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
    // The filled response record of a GET, not yet read or released.
    HostResponse Raw(const std::string& function, const std::string& url) {
        TestRequest request(kGet, url);
        const HostRequest record = request.Record(FindEntry(Table(), function)->function.dispatchContext);
        HostResponse response{};
        HandleCall(&response, &record);
        return response;
    }
};

TEST_F(HandleCallTest, RecordResultArrivesAsAStructureHostValue) {
    HostResponse response = Raw("GetItemsById", "/items/box");
    ASSERT_EQ(Copy(response.body.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_STRUCTURE));
    const HostValueStructure structure = response.body.structure;
    ASSERT_EQ(structure.count, 3u);
    EXPECT_STREQ(structure.entries[0].name, "count") << "entries in name order";
    EXPECT_EQ(Copy(structure.entries[0].nameOwned), 1);
    const HostValue name = structure.entries[1].value;
    ASSERT_EQ(name.kind, static_cast<std::uint32_t>(QIV_HOST_VALUE_OWNED_STRING));
    EXPECT_STREQ(name.string.text, "box");
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
    HostResponse response = Raw("GetStream", "/stream");
    EXPECT_EQ(Copy(response.sizeHint), 10000u);
    EXPECT_EQ(Copy(response.reserved), 0u);
    const Answer answer = ReadAnswer(response);
    EXPECT_TRUE(answer.streamed);
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

TEST_F(HandleCallTest, ForeignDispatchContextIsRejected) {
    RouteDispatchContext forged{&registry, nullptr};
    RouteDispatchContext copied = registry.FindRoute("GetColor")->context;  // only the binding's own is accepted
    for (RouteDispatchContext* context : {&forged, &copied}) {
        TestRequest request(kGet, "/color");
        const HostRequest record = request.Record(context);
        HostResponse response{};
        HandleCall(&response, &record);
        const Answer answer = ReadAnswer(response);
        EXPECT_EQ(answer.status, 404);
        EXPECT_EQ(answer.errorText, Text("Invalid function"));
    }
}

}  // namespace
}  // namespace router_test
