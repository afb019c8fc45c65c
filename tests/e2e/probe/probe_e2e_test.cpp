// The runtime's roads end to end: the probe plug-in loaded by the development host and
// driven only through the ABI. The tests read what the host saw, in order: host-core
// calls, deliveries, dispatched events, waits and responses.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "components/login_service_proxy.h"
#include "core/dev_host.h"

namespace {

using qivhost::DevHost;
using qivhost::RestAnswer;
using qivhost::RestCall;
using qivhost::ServerReply;

// Structures keep their fields in name order, so every codec writes them that way.
constexpr char kItemJson[] = R"({"count":3,"name":"pen","tags":["a","b"]})";

// One line per transcript entry, "slot detail", for order checks.
std::vector<std::string> Lines(const DevHost& host, std::size_t from = 0) {
    std::vector<std::string> lines;
    const auto& calls = host.History().Calls();
    for (std::size_t i = from; i < calls.size(); ++i) lines.push_back(calls[i].slot + " " + calls[i].detail);
    return lines;
}

// The index of the first line at or after `from` that starts with `prefix`, or npos.
std::size_t Find(const std::vector<std::string>& lines, const std::string& prefix, std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) == 0) return i;
    }
    return std::string::npos;
}

// The probe loaded and initialized. Every test ends by checking that the probe released
// each response the host filled, once.
class Probe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Load(QIV_PROBE_PATH, qivhost::HostVersion{})) << host.Error();
        ASSERT_TRUE(host.Initialize());
        host.RunUntilIdle();
    }
    void TearDown() override {
        EXPECT_EQ(host.Responses().Outstanding(), 0u);
        EXPECT_EQ(host.Responses().Counts().refilledBeforeRelease, 0u);
    }

    RestAnswer Get(const std::string& url) { return host.Call("GET", url, std::nullopt, ""); }
    RestAnswer Post(const std::string& url, std::optional<std::string> body = std::nullopt) {
        return host.Call("POST", url, std::move(body), "application/json");
    }
    std::string Seen() { return Get("/qiv-probe/v1/seen").bodyJson; }
    std::size_t Mark() const { return host.History().Calls().size(); }

    DevHost host;
};

// An answer's error text, "(none)" without one.
std::string Error(const RestAnswer& answer) { return answer.errorText.value_or("(none)"); }

// ---- Routes and argument binding ------------------------------------------------------

using ProbeRoutes = Probe;

// The binding failures and their texts are ArgumentBindingTest's, the body's content types
// ArgumentBindingTest.BodiesDecodeByContentType's, a 1 MiB path
// RouteDispatchTest.MegabyteUrlIsMatchedAndDecoded's.
TEST_F(ProbeRoutes, BindPathQueryHeaderAndAnyArguments) {
    RestCall call;
    call.url = "/qiv-probe/v1/echo/a%20b?limit=7&verbose";
    call.headers = {{"x-trace", "t-1"}};
    const RestAnswer full = host.Call(call);
    EXPECT_EQ(Error(full), "(none)");
    EXPECT_EQ(full.routeName, "GetQivProbeV1EchoById");
    EXPECT_EQ(full.bodyJson, R"({"id":"a b","limit":7,"trace":"t-1","verbose":true})");
}

// ---- Outgoing requests ----------------------------------------------------------------

using ProbeRequests = Probe;

// A stream that fails or ends inside its JSON is Request.ReadsStreamedBodiesGivingTheHostATurnAfterEachShortChunk's.
TEST_F(ProbeRequests, AResourceIsAnsweredAsReadAndHostFailuresAsInternalServerErrors) {
    ASSERT_TRUE(host.SetResource("/probe-data/v1/thing", R"({"a":[1,2],"b":"c"})"));
    const RestAnswer read = Get("/qiv-probe/v1/resource?uri=/probe-data/v1/thing");
    EXPECT_EQ(Error(read), "(none)");
    EXPECT_EQ(read.bodyJson, R"({"a":[1,2],"b":"c"})");

    const RestAnswer none = Get("/qiv-probe/v1/resource?uri=/probe-data/v1/none");
    EXPECT_EQ(Error(none), "Error response for GET /probe-data/v1/none: No resource at /probe-data/v1/none");
    EXPECT_EQ(none.status, 500);
}

TEST_F(ProbeRequests, AStreamedBodyYieldsAfterEveryShortChunk) {
    host.Components().script.Stream("/probe-data/v1/stream",
                                    qivhost::StreamScript{{R"({"n":)", R"(1,"s":)", R"("x"})"}, 14, std::nullopt});
    const std::size_t mark = Mark();
    const RestAnswer answer = Get("/qiv-probe/v1/resource?uri=/probe-data/v1/stream");
    EXPECT_EQ(answer.bodyJson, R"({"n":1,"s":"x"})");
    const std::vector<std::string> lines = Lines(host, mark);
    const std::vector<std::string> expected = {
        "-> HandleCall GetQivProbeV1Resource: GET \"/qiv-probe/v1/resource?uri=/probe-data/v1/stream\"",
        "PerformRequest GET \"/probe-data/v1/stream\" -> 200 streamed (3 chunks)",
        "BeginWait \"Wait: yield\"",
        "RunPending ",
        "EndWait 1 turns",
        "BeginWait \"Wait: yield\"",
        "RunPending ",
        "EndWait 1 turns",
        "<- HandleCall status 0, body {\"n\":1,\"s\":\"x\"}",
    };
    EXPECT_EQ(lines, expected);
}

// ---- Waiting ---------------------------------------------------------------------------

using ProbeWaiting = Probe;

// How Await gives the turns is Await.OpensOneWaitAndGivesOneRunPendingPerTurnUntilReady's,
// how many the host runs for a delayed reply DevHostEvents.AWaitingServiceProxyCallGetsItsReplyAfterTheScriptedTurns'.
// Here an event delivered during the wait runs its handler, which waits in turn.
TEST_F(ProbeWaiting, AWaitInsideAnEventDeliveredDuringAnotherWaitNests) {
    ServerReply outer = ServerReply::Answer(R"({"name":"outer"})");
    outer.delayTurns = 4;
    ServerReply inner = ServerReply::Answer(R"({"name":"inner"})");
    inner.delayTurns = 2;
    host.Components().server.ScriptOnce("probe.server", "lookup", outer);
    host.Components().server.ScriptOnce("probe.server", "lookup", inner);
    ASSERT_TRUE(host.SetResource("/probe-source/v1/item", R"({"name":"ask","count":1,"tags":[]})"));
    const std::size_t mark = Mark();

    const RestAnswer answer = Post("/qiv-probe/v1/lookup", kItemJson);
    EXPECT_EQ(answer.bodyJson, R"({"count":0,"name":"outer","tags":[]})");
    EXPECT_EQ(host.Waits().MaxDepth(), 2u);
    EXPECT_EQ(host.Waits().Begun(), 2u);
    EXPECT_EQ(host.Waits().Ended(), 2u);
    EXPECT_EQ(host.Waits().UnmatchedEnds(), 0u);
    // The request goes out before the wait; the inner wait closes first, with the inner
    // reply, and its handler publishes before the outer reply, which was due only later.
    const std::vector<std::string> lines = Lines(host, mark);
    const std::size_t request = Find(lines, "PerformRequest POST \"/qiv-login/v1/service-proxy-uuid-requests\"");
    const std::size_t outerBegin =
        Find(lines, "BeginWait \"Wait: future<vclient::MaybeType<vclient::Failure, qivprobe::ProbeItem>>\"", request);
    const std::size_t nested = Find(lines, "-> Event \"OnJsonApiEvent_probe-source_v1_item\"", outerBegin);
    const std::size_t innerBegin = Find(lines, "BeginWait", nested);
    const std::size_t innerEnd = Find(lines, "EndWait", innerBegin);
    const std::size_t mirror = Find(lines, "DispatchEvent \"OnJsonApiEvent_qiv-probe_v1_mirror\"", innerEnd);
    const std::size_t outerEnd = Find(lines, "EndWait", mirror);
    ASSERT_NE(outerEnd, std::string::npos) << ::testing::PrintToString(lines);
    EXPECT_EQ(Seen(), R"(["exact Create /probe-source/v1/item ask/1","asked inner"])");
}

// ---- Subscriptions and publications ----------------------------------------------------

using ProbeSubscriptions = Probe;

// How each publication is dispatched twice is SendEvent.PublicationsReachTheUriNameAndThenTheGivenName's;
// that an exact observer reads its resource at once and a pattern does not, ObserveResource's.
TEST_F(ProbeSubscriptions, ExactAndPatternHandlersSeeTheirResources) {
    ASSERT_TRUE(host.SetResource("/probe-source/v1/item", R"({"name":"one","count":1,"tags":[]})"));
    ASSERT_TRUE(host.SetResource("/probe-source/v1/item", R"({"name":"one","count":2,"tags":[]})"));
    ASSERT_TRUE(host.SetResource("/probe-source/v1/items/a", R"({"name":"a","count":3,"tags":[]})"));
    ASSERT_TRUE(host.SetResource("/probe-source/v1/items/a/b", R"({"name":"deep","count":4,"tags":[]})"));
    ASSERT_TRUE(host.SetResource("/probe-source/v1/item", R"("not an item")"));
    ASSERT_TRUE(host.DeleteResource("/probe-source/v1/item"));
    host.RunUntilIdle();
    EXPECT_EQ(Seen(),
              R"(["exact Create /probe-source/v1/item one/1","exact Update /probe-source/v1/item one/2",)"
              R"("pattern Create /probe-source/v1/items/a a/3","exact Delete /probe-source/v1/item /0"])");
    EXPECT_EQ(host.DispatchedNamed("OnJsonApiEvent_qiv-probe_v1_mirror").size(), 3u) << "each handled change mirrored";
}

// How subscriptions are counted per event name is Subscribe.CountsPerEventNameAndLeavesTheHandlersInPlace's.
TEST_F(ProbeSubscriptions, ShutdownWithdrawsEveryEventNameOnce) {
    host.Shutdown();
    // Each name with its flag: 1 for the host's replies and messages, 0 for resources.
    const std::vector<std::pair<std::string, int>> names = {
        {"OnServiceProxyUuidEvent", 1},             {"OnServiceProxyMethodEvent", 1},
        {"OnServiceProxyAsyncEvent", 1},            {"OnJsonApiEvent_probe-source_v1_item", 0},
        {"OnJsonApiEvent_probe-source_v1_items", 0}, {"OnVyreEvent_probe_messages_Note", 1},
    };
    for (const auto& [name, flag] : names) {
        const std::string subscribed = "\"" + name + "\", handle 81, flag " + std::to_string(flag);
        EXPECT_EQ(host.History().Find("SubscribeEvent", subscribed).size(), 1u) << name;
        EXPECT_EQ(host.History().Find("UnsubscribeEvent", "\"" + name + "\", handle 81").size(), 1u) << name;
    }
    EXPECT_EQ(host.History().Count("UnsubscribeEvent"), names.size());
    EXPECT_TRUE(host.History().Find("== Shutdown").empty()) << "nothing left subscribed";
}

// ---- Service proxy ---------------------------------------------------------------------

using ProbeServiceProxy = Probe;

TEST_F(ProbeServiceProxy, AnEarlyReplyIsMatchedWhenItsRequestIsStored) {
    const ServerReply never = ServerReply::Silence(std::numeric_limits<double>::infinity());
    host.Components().server.Script("probe.server", "early", never);
    qivhost::ServiceProxyRequest early;
    early.methodBased = true;
    early.service = "probe.server";
    early.method = "early";
    qivhost::ServiceProxy::PublishReply(host, early, ServerReply::Answer(R"({"ok":true})"));
    host.RunUntilIdle();
    const std::size_t mark = Mark();

    const RestAnswer answer = Post("/qiv-probe/v1/method-call?method=early");
    EXPECT_EQ(Error(answer), "(none)");
    EXPECT_EQ(answer.bodyJson, R"("{\"ok\":true}")");
    const std::vector<std::string> lines = Lines(host, mark);
    EXPECT_EQ(Find(lines, "BeginWait"), std::string::npos) << "the future was ready at the first poll";
    EXPECT_EQ(Find(lines, "RunPending"), std::string::npos);
    // The log lines reach the host bare, at Always (3).
    std::vector<std::string> logged;
    for (const auto& call : host.History().Find("WriteLog")) logged.push_back(call.detail);
    const std::string name = "probe.server.early";
    EXPECT_EQ(logged, (std::vector<std::string>{"level 3: qiv-probe: Preparing service proxy request: " + name,
                                                "level 3: qiv-probe: Started service proxy request: " + name + " (" +
                                                    name + ")",
                                                "level 3: qiv-probe: Fulfilled service proxy request: " + name}));
    const auto& requests = host.Components().serviceProxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].methodOption, "probe-option");
    EXPECT_EQ(requests[0].payload, R"({"level":1,"text":"early"})");
    EXPECT_EQ(requests[0].clientHandle, host.ClientHandle());
}

// ---- Vyre --------------------------------------------------------------------------------

using ProbeVyre = Probe;

TEST_F(ProbeVyre, AMessageIsHandledOnALaterHostTurn) {
    ASSERT_TRUE(host.PushVyreMessage("probe.messages.Note", R"({"text":"hello","level":2})"));
    const std::size_t mark = Mark();
    host.Pump();  // the delivery: the handler is only scheduled
    std::vector<std::string> lines = Lines(host, mark);
    const std::size_t delivered = Find(lines, "-> Event \"OnVyreEvent_probe_messages_Note\"");
    ASSERT_NE(delivered, std::string::npos) << ::testing::PrintToString(lines);
    ASSERT_NE(Find(lines, "ScheduleTimer \"Event: OnVyreEvent (probe.messages.Note)\", delay 0 s", delivered),
              std::string::npos);
    EXPECT_EQ(Find(lines, "-> Timer"), std::string::npos);
    EXPECT_TRUE(host.Dispatched().empty());

    host.Pump();  // the next turn runs it
    lines = Lines(host, mark);
    const std::size_t fired = Find(lines, "-> Timer \"Event: OnVyreEvent (probe.messages.Note)\"");
    ASSERT_NE(fired, std::string::npos);
    EXPECT_NE(Find(lines, "DispatchEvent \"OnJsonApiEvent_qiv-probe_v1_vyre-note\"", fired), std::string::npos);
    EXPECT_EQ(Seen(), R"(["vyre hello/2"])");

    // A body that does not convert never reaches the handler.
    ASSERT_TRUE(host.PushVyreMessage("probe.messages.Note", R"({"text":{"not":"text"}})"));
    host.RunUntilIdle();
    EXPECT_EQ(Seen(), R"(["vyre hello/2"])");
}

TEST_F(ProbeVyre, AnInvocationCarriesTheClassNames) {
    const RestAnswer sent = Post("/qiv-probe/v1/vyre", R"({"subject":"s","note":{"text":"n","level":1},)"
                                                       R"("notes":[{"text":"m","level":2}]})");
    EXPECT_EQ(Error(sent), "(none)");
    const auto& invocations = host.Components().vyre.Invocations();
    ASSERT_EQ(invocations.size(), 1u);
    EXPECT_EQ(invocations[0].destination, "probeDestination");
    EXPECT_EQ(invocations[0].method, "deliverLetter");
    EXPECT_EQ(invocations[0].clientHandle, host.ClientHandle());
    EXPECT_EQ(invocations[0].argumentsJson,
              R"([{"__class":"probe.messages.Letter","note":{"__class":"probe.messages.Note","level":1,"text":"n"},)"
              R"("notes":[{"__class":"probe.messages.Note","level":2,"text":"m"}],"subject":"s"}])");

    host.Components().vyre.SetInvokeFailure(502, "connection lost");
    const RestAnswer failed = Post("/qiv-probe/v1/vyre", R"({"subject":"s","note":{},"notes":[]})");
    EXPECT_EQ(Error(failed), "Error response for POST /qiv-login/v1/session/invoke: connection lost");
    EXPECT_EQ(failed.status, 502);
}

// ---- Telemetry ---------------------------------------------------------------------------

using ProbeHostLog = Probe;

TEST_F(ProbeHostLog, TelemetryIsPostedUnderTheEventName) {
    const RestAnswer sent = Post("/qiv-probe/v1/telemetry/game-end", R"({"k":1,"v":["x"]})");
    EXPECT_EQ(Error(sent), "(none)");
    const auto& events = host.Components().telemetry.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "game-end");
    EXPECT_EQ(events[0].dataJson, R"({"k":1,"v":["x"]})");
    EXPECT_EQ(host.History().Find("PerformRequest", "POST \"/telemetry/v1/events/game-end\"").size(), 1u);
}

}  // namespace
