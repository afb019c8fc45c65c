#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fake_module.h"
#include "runtime/telemetry_sender.h"

namespace vclient {
namespace {

using testing::AnswerText;
using testing::FakeModule;

struct Unregistered {
    int x = 0;
};

TEST(Request, AnArgumentThatDoesNotConvertIsNotSent) {
    FakeModule module;
    const MaybeType<Failure, void> result = module.Request(HttpMethod::Post, "/x", std::string("ok"), Unregistered{});
    ASSERT_FALSE(result.Succeeded());
    EXPECT_EQ(result.GetFailure().code, 400);
    EXPECT_EQ(result.GetFailure().message,
              "Request not sent: Error converting parameters for POST /x: Couldn't convert native value because it's "
              "an unregistered structure.");
    EXPECT_TRUE(module.calls.empty());
}

TEST(Request, PassesArgumentsAsPositionalHostValuesWithTheClientHandle) {
    FakeModule module;
    std::vector<std::uint32_t> kinds;
    std::uint32_t handle = 0;
    module.onPerformRequest = [&](HostResponse*, const HostRequest* request) {
        handle = request->clientHandle;
        const HostRequestParameter* parameters = request->parameters;
        for (std::uint32_t i = 0; i < request->parameterCount; ++i) {
            const char* name = parameters[i].name;
            EXPECT_EQ(name, nullptr);
            kinds.push_back(parameters[i].value.kind);
        }
    };
    EXPECT_TRUE(module.Request(HttpMethod::Post, "/x", std::string("a"), std::uint32_t{7}, -3, true).Succeeded());
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{QIV_HOST_VALUE_OWNED_STRING, QIV_HOST_VALUE_UNSIGNED,
                                                 QIV_HOST_VALUE_SIGNED, QIV_HOST_VALUE_BOOL}));
    EXPECT_EQ(handle, 42u);
}

TEST(Request, AnErrorResponseCarriesItsStatusAndTheNamedValues) {
    FakeModule module;
    int releases = 0;
    static int* releaseCounter = nullptr;
    releaseCounter = &releases;
    module.onPerformRequest = [](HostResponse* response, const HostRequest*) {
        response->errorText = "Not found";
        response->status = 404;
        response->release = [](HostResponse*) { ++*releaseCounter; };
    };
    const MaybeType<Failure, std::string> result = module.Request<std::string>(HttpMethod::Get, "/qiv-login/v1/session");
    ASSERT_FALSE(result.Succeeded());
    const Failure& failure = result.GetFailure();
    EXPECT_EQ(failure.code, 404);
    EXPECT_EQ(failure.message, "Error response for GET /qiv-login/v1/session: Not found");
    EXPECT_EQ(std::get<std::string>(failure.values.at("method")), "GET");
    EXPECT_EQ(std::get<std::string>(failure.values.at("url")), "/qiv-login/v1/session");
    EXPECT_EQ(std::get<std::string>(failure.values.at("error")), "Not found");
    EXPECT_EQ(std::get<std::int64_t>(failure.values.at("errorCode_int")), 404);
    EXPECT_EQ(releases, 1);
}

TEST(Request, ConvertsTheBodyAndReleasesTheResponseOnceOnEveryPath) {
    FakeModule module;
    int releases = 0;
    static int* releaseCounter = nullptr;
    releaseCounter = &releases;
    module.onPerformRequest = [](HostResponse* response, const HostRequest*) {
        AnswerText(response, "12abc");
        response->release = [](HostResponse*) { ++*releaseCounter; };
    };
    const MaybeType<Failure, std::string> text = module.Request<std::string>(HttpMethod::Get, "/t");
    ASSERT_TRUE(text.Succeeded());
    EXPECT_EQ(text.Value(), "12abc");
    const MaybeType<Failure, std::int32_t> number = module.Request<std::int32_t>(HttpMethod::Get, "/t");
    ASSERT_FALSE(number.Succeeded());
    EXPECT_EQ(number.GetFailure().code, 0);
    EXPECT_EQ(number.GetFailure().message,
              "Error converting response for GET /t: Value 12abc for '<result>' of type int32 is in an incorrect format");
    EXPECT_TRUE(module.Request(HttpMethod::Get, "/t").Succeeded()) << "no result type: the body is not read";
    EXPECT_EQ(releases, 3);
}

// A streamed body served in given chunk sizes; the more-flag falls with the last chunk.
struct Stream {
    std::vector<std::string> chunks;
    std::size_t next = 0;
    int reads = 0;
    int closes = 0;
    bool failAt = false;
};

void ServeStream(HostResponse* response, Stream& stream) {
    response->readChunk = [](void* context, char* buffer, std::uint32_t* length, std::uint8_t* more) -> std::uint8_t {
        auto& s = *static_cast<Stream*>(context);
        ++s.reads;
        if (s.failAt) return 0;
        const std::string& chunk = s.chunks.at(s.next++);
        std::memcpy(buffer, chunk.data(), chunk.size());
        *length = static_cast<std::uint32_t>(chunk.size());
        *more = s.next < s.chunks.size() ? 1 : 0;
        return 1;
    };
    response->closeStream = [](void* context) { ++static_cast<Stream*>(context)->closes; };
    response->streamContext = &stream;
    response->sizeHint = 0xFFFFFFFFu;  // a hint is only a hint
}

TEST(Request, ReadsStreamedBodiesGivingTheHostATurnAfterEachShortChunk) {
    {
        FakeModule module;
        Stream stream;
        stream.chunks = {std::string(4095, ' ') + "[", std::string(4096, ' '), "1]", ""};
        module.onPerformRequest = [&](HostResponse* response, const HostRequest*) { ServeStream(response, stream); };
        const MaybeType<Failure, std::vector<int>> result = module.Request<std::vector<int>>(HttpMethod::Get, "/s");
        ASSERT_TRUE(result.Succeeded()) << result.GetFailure().message;
        EXPECT_EQ(result.Value(), std::vector<int>{1});
        EXPECT_EQ(stream.reads, 4);
        EXPECT_EQ(stream.closes, 1);
        EXPECT_EQ(std::count(module.calls.begin(), module.calls.end(), "RunPending"), 1)
            << "one short chunk with more to come";
    }
    {
        FakeModule module;
        Stream stream;
        stream.chunks = {"[" + std::string(4094, ' ') + "]", ""};
        module.onPerformRequest = [&](HostResponse* response, const HostRequest*) { ServeStream(response, stream); };
        EXPECT_TRUE(module.Request<BindingProperty>(HttpMethod::Get, "/s").Succeeded());
        EXPECT_EQ(stream.reads, 2);
        EXPECT_EQ(std::count(module.calls.begin(), module.calls.end(), "RunPending"), 0)
            << "a full chunk then an empty last one: no turn";
    }
    {
        FakeModule module;
        Stream stream;
        stream.failAt = true;
        module.onPerformRequest = [&](HostResponse* response, const HostRequest*) { ServeStream(response, stream); };
        const MaybeType<Failure, BindingProperty> result = module.Request<BindingProperty>(HttpMethod::Get, "/s");
        ASSERT_FALSE(result.Succeeded());
        EXPECT_EQ(result.GetFailure().message, "Error reading streamed response for GET /s: Stream read error");
        EXPECT_EQ(stream.closes, 1) << "the stream is closed after a failed read too";
    }
}

TEST(SendTelemetry, PostsTheDataToTheEventsResourceAndHoldsTheOutcome) {
    FakeModule module;
    std::string body;
    module.onPerformRequest = [&](HostResponse* response, const HostRequest* request) {
        const HostRequestParameter* parameters = request->parameters;
        ASSERT_EQ(request->parameterCount, 1u);
        BindingResult result;
        BindingProperty tree;
        const HostValue value = parameters[0].value;
        ASSERT_TRUE(HostValueToBinding(result, tree, value, "data"));
        body = BindingToJson(tree, nullptr, nullptr);
        response->errorText = "telemetry is off";
        response->status = 503;
    };
    TelemetrySender sender(module);
    BindingProperty data;
    data.Field("votes").SetUnsigned(2);
    std::future<MaybeType<Failure, void>> sent = sender.SendTelemetry("honor-vote", data);
    ASSERT_EQ(sent.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(sent.get().GetFailure().code, 503);
    EXPECT_EQ(module.calls, (std::vector<std::string>{"PerformRequest POST /telemetry/v1/events/honor-vote"}));
    EXPECT_EQ(body, R"({"votes":2})");
}

}  // namespace
}  // namespace vclient
