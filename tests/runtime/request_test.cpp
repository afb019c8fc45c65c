// Outgoing requests, against the module's fake host. How the host reads the positional
// parameters and the request's client handle is seen end to end (ProbeServiceProxy,
// ProbeVyre), and so is telemetry (ProbeHostLog).
#include "runtime/outgoing_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_module.h"

namespace vclient {
namespace {

using testing_support::AnswerText;
using testing_support::FakeModule;
using Strings = std::vector<std::string>;

TEST(Request, AnArgumentThatDoesNotConvertIsNotSent) {
    struct Unregistered {
        int x = 0;
    };
    FakeModule module;
    const MaybeType<Failure, void> result = module.Request(HttpMethod::Post, "/x", std::string("ok"), Unregistered{});
    EXPECT_EQ(result.GetFailure().code, 400);
    EXPECT_EQ(result.GetFailure().message,
              "Request not sent: Error converting parameters for POST /x: Couldn't convert native value because it's "
              "an unregistered structure.");
    EXPECT_TRUE(module.calls.empty());
}

TEST(Request, AnErrorResponseCarriesItsStatusAndTheNamedValues) {
    FakeModule module;
    module.onPerformRequest = [](HostResponse* response, const HostRequest*) {
        response->errorText = "Not found";
        response->status = 404;
    };
    const Failure failure = module.Request<std::string>(HttpMethod::Get, "/qiv-login/v1/session").GetFailure();
    EXPECT_EQ(failure.code, 404);
    EXPECT_EQ(failure.message, "Error response for GET /qiv-login/v1/session: Not found");
    EXPECT_EQ(std::get<std::string>(failure.values.at("method")), "GET");
    EXPECT_EQ(std::get<std::string>(failure.values.at("url")), "/qiv-login/v1/session");
    EXPECT_EQ(std::get<std::string>(failure.values.at("error")), "Not found");
    EXPECT_EQ(std::get<std::int64_t>(failure.values.at("errorCode_int")), 404);
}

// That the host sees every response released once, error responses too, is checked after
// each probe test (Probe::TearDown); here the body that does not convert.
TEST(Request, ConvertsTheBodyAndReleasesTheResponseOnceOnEveryPath) {
    FakeModule module;
    static int releases = 0;
    module.onPerformRequest = [](HostResponse* response, const HostRequest*) {
        AnswerText(response, "12abc");
        response->release = [](HostResponse*) { ++releases; };
    };
    EXPECT_EQ(module.Request<std::string>(HttpMethod::Get, "/t").Value(), "12abc");
    const MaybeType<Failure, std::int32_t> number = module.Request<std::int32_t>(HttpMethod::Get, "/t");
    EXPECT_EQ(number.GetFailure().code, 0);
    EXPECT_EQ(number.GetFailure().message,
              "Error converting response for GET /t: Value 12abc for '<result>' of type int32 is in an incorrect format");
    EXPECT_TRUE(module.Request(HttpMethod::Get, "/t").Succeeded()) << "no result type: the body is not read";
    EXPECT_EQ(releases, 3);
}

// A streamed body served chunk by chunk; the more-flag falls with the last chunk.
struct Stream {
    std::vector<std::string> chunks;
    bool fails = false;
    std::size_t next = 0;
    int reads = 0;
    int closes = 0;

    void Serve(HostResponse* response) {
        response->readChunk = [](void* context, char* buffer, std::uint32_t* length, std::uint8_t* more) {
            auto& s = *static_cast<Stream*>(context);
            ++s.reads;
            if (s.fails) return std::uint8_t{0};
            const std::string& chunk = s.chunks.at(s.next++);
            std::memcpy(buffer, chunk.data(), chunk.size());
            *length = static_cast<std::uint32_t>(chunk.size());
            *more = s.next < s.chunks.size() ? 1 : 0;
            return std::uint8_t{1};
        };
        response->closeStream = [](void* context) { ++static_cast<Stream*>(context)->closes; };
        response->streamContext = this;
        response->sizeHint = 0xFFFFFFFFu;  // a hint is only a hint
    }
};

TEST(Request, ReadsStreamedBodiesGivingTheHostATurnAfterEachShortChunk) {
    const std::string failed = "Error reading streamed response for GET /s: ";
    const struct {
        Stream stream;
        int reads;
        int turns;
        std::string outcome;  // the body as JSON, or the failure message
    } cases[] = {
        {{{"[1", ",", "2]", ""}}, 4, 3, "[1,2]"},
        {{{"[" + std::string(4094, ' ') + "]", ""}}, 2, 0, "[]"},  // a full chunk, then an empty last one
        {{{"[1,"}}, 1, 0, failed + "Error: Invalid value. at offset 3."},
        {{{}, true}, 1, 0, failed + "Stream read error"},
    };
    for (const auto& c : cases) {
        FakeModule module;
        Stream stream = c.stream;
        module.onPerformRequest = [&](HostResponse* response, const HostRequest*) { stream.Serve(response); };
        const MaybeType<Failure, BindingProperty> body = module.Request<BindingProperty>(HttpMethod::Get, "/s");
        EXPECT_EQ(body.Succeeded() ? BindingToJson(body.Value()) : body.GetFailure().message, c.outcome);
        EXPECT_EQ(stream.reads, c.reads) << c.outcome;
        EXPECT_EQ(stream.closes, 1) << c.outcome;
        Strings expected = {"PerformRequest GET /s"};
        for (int i = 0; i < c.turns; ++i) {
            expected.insert(expected.end(), {"BeginWait Wait: yield", "RunPending", "EndWait"});
        }
        EXPECT_EQ(module.calls, expected);
    }
}

}  // namespace
}  // namespace vclient
