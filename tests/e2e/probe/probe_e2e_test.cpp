// The runtime's roads end to end: the probe plug-in loaded by the development host and
// driven only through the ABI. The tests read what the host saw, in order: host-core
// calls, deliveries, dispatched events, waits and responses.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "dev_host.h"
#include "service_proxy.h"

namespace {

using qivhost::DevHost;
using qivhost::RestAnswer;
using qivhost::RestCall;
using qivhost::ServerReply;

// Structures keep their fields in name order, so every codec writes them that way.
constexpr char kItemJson[] = R"({"count":3,"name":"pen","tags":["a","b"]})";
constexpr std::int32_t kAlways = 3;
constexpr std::int32_t kError = 2;

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

std::size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    std::size_t count = 0;
    for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

// The probe loaded and, unless the suite looks at what happens before, initialized. Every
// test ends by checking that the probe released each response the host filled, once.
class Probe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Load(QIV_PROBE_PATH, qivhost::HostVersion{})) << host.Error();
        if (StartsInSetUp()) Start();
    }
    void TearDown() override {
        EXPECT_EQ(host.Responses().Outstanding(), 0u);
        EXPECT_EQ(host.Responses().Counts().refilledBeforeRelease, 0u);
    }
    virtual bool StartsInSetUp() const { return true; }

    void Start() {
        ASSERT_TRUE(host.Initialize());
        host.RunUntilIdle();
    }

    RestAnswer Get(const std::string& url) { return host.Call("GET", url, std::nullopt, ""); }
    RestAnswer Post(const std::string& url, std::optional<std::string> body = std::nullopt) {
        return host.Call("POST", url, std::move(body), "application/json");
    }
    // A GET of the echo route below "/qiv-probe/v1/echo/", with an x-trace header unless null.
    RestAnswer Echo(const std::string& rest, const char* trace = "t") {
        RestCall call;
        call.url = "/qiv-probe/v1/echo/" + rest;
        if (trace != nullptr) call.headers = {{"x-trace", trace}};
        return host.Call(call);
    }
    std::string Seen() { return Get("/qiv-probe/v1/seen").bodyJson; }
    std::size_t Mark() const { return host.History().Calls().size(); }

    DevHost host;
};

class ProbeBeforeStart : public Probe {
protected:
    bool StartsInSetUp() const override { return false; }
};

// An answer's error text, "(none)" without one.
std::string Error(const RestAnswer& answer) { return answer.errorText.value_or("(none)"); }

// ---- Routes and argument binding ------------------------------------------------------

using ProbeRoutes = Probe;

// The binding failures and their texts are ArgumentBindingTest's, the body's content types
// ArgumentBindingTest.BodiesDecodeByContentType's.
TEST_F(ProbeRoutes, BindPathQueryHeaderAndAnyArguments) {
    const RestAnswer full = Echo("a%20b?limit=7&verbose", "t-1");
    EXPECT_EQ(Error(full), "(none)");
    EXPECT_EQ(full.routeName, "GetQivProbeV1EchoById");
    EXPECT_EQ(full.bodyJson, R"({"id":"a b","limit":7,"trace":"t-1","verbose":true})");
}

TEST_F(ProbeRoutes, ServeAOneMebibyteUrl) {
    // Compared without printing: a failure must not dump megabytes.
    const std::string id(1u << 20, 'k');
    const RestAnswer longPath = Echo(id + "?limit=1");
    EXPECT_EQ(longPath.errorText.value_or(""), "");
    EXPECT_TRUE(longPath.bodyJson == R"({"id":")" + id + R"(","limit":1,"trace":"t","verbose":false})");

    const std::string trace(1u << 20, 't');
    EXPECT_TRUE(Echo("a?limit=1", trace.c_str()).bodyJson ==
                R"({"id":"a","limit":1,"trace":")" + trace + R"(","verbose":false})");

    const std::string longQuery = Error(Echo("a?" + std::string(1u << 20, 'q') + "=1"));
    EXPECT_EQ(longQuery.rfind("Unknown argument 'qqqq", 0), 0u);
    EXPECT_EQ(longQuery.size(), 4095u) << "messages are cut to the formatting buffer";
}

// ---- Outgoing requests ----------------------------------------------------------------

using ProbeRequests = Probe;

// A failed read of the stream itself is Request.ReadsStreamedBodiesGivingTheHostATurnAfterEachShortChunk's.
TEST_F(ProbeRequests, AResourceIsAnsweredAsReadAndHostFailuresAsInternalServerErrors) {
    ASSERT_TRUE(host.SetResource("/probe-data/v1/thing", R"({"a":[1,2],"b":"c"})"));
    const RestAnswer read = Get("/qiv-probe/v1/resource?uri=/probe-data/v1/thing");
    EXPECT_EQ(Error(read), "(none)");
    EXPECT_EQ(read.bodyJson, R"({"a":[1,2],"b":"c"})");

    const RestAnswer none = Get("/qiv-probe/v1/resource?uri=/probe-data/v1/none");
    EXPECT_EQ(Error(none), "Error response for GET /probe-data/v1/none: No resource at /probe-data/v1/none");
    EXPECT_EQ(none.status, 500);
    // A stream that ends inside its JSON text.
    host.Components().script.Stream("/probe-data/v1/garbled", qivhost::StreamScript{{"[1,"}, 3, std::nullopt});
    EXPECT_EQ(Error(Get("/qiv-probe/v1/resource?uri=/probe-data/v1/garbled"))
                  .rfind("Error reading streamed response for GET /probe-data/v1/garbled: ", 0),
              0u);
    EXPECT_EQ(host.Responses().Counts().streamCloses, 1u) << "a failed stream is closed too";
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

// How each publication is dispatched twice is SendEvent.PublicationsReachTheUriNameAndThenTheGivenName's
// (and HonorHost's ExpectEveryPublicationDispatchedTwice through the host); that an exact
// observer reads its resource at once and a pattern does not, ObserveResource's.
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

TEST_F(ProbeSubscriptions, SubscriptionsAreCountedPerEventName) {
    const std::string name = "\"OnJsonApiEvent_probe-source_v1_item\"";
    EXPECT_EQ(host.History().Find("SubscribeEvent", name).size(), 1u);
    // A longer URI below the observed one shares its event name.
    (void)Post("/qiv-probe/v1/subscribe?uri=/probe-source/v1/item/extra/deeper");
    EXPECT_EQ(host.History().Find("SubscribeEvent", name).size(), 1u);
    (void)Post("/qiv-probe/v1/unsubscribe?uri=/probe-source/v1/item");
    EXPECT_TRUE(host.History().Find("UnsubscribeEvent", name).empty());
    (void)Post("/qiv-probe/v1/unsubscribe?uri=/probe-source/v1/item/extra/deeper");
    EXPECT_EQ(host.History().Find("UnsubscribeEvent", name + ", handle 81").size(), 1u);
    (void)Post("/qiv-probe/v1/unsubscribe?uri=/probe-source/v1/item");  // below zero: nothing
    EXPECT_EQ(host.History().Find("UnsubscribeEvent", name).size(), 1u);

    ASSERT_TRUE(host.SetResource("/probe-source/v1/item", R"({"name":"unheard","count":1,"tags":[]})"));
    host.RunUntilIdle();
    EXPECT_EQ(Seen(), "[]");

    // Subscribing again finds the exact handler still registered.
    (void)Post("/qiv-probe/v1/subscribe?uri=/probe-source/v1/item");
    EXPECT_EQ(host.History().Find("SubscribeEvent", name).size(), 2u);
    ASSERT_TRUE(host.SetResource("/probe-source/v1/item", R"({"name":"heard","count":2,"tags":[]})"));
    host.RunUntilIdle();
    EXPECT_EQ(Seen(), R"(["exact Update /probe-source/v1/item heard/2"])");
}

TEST_F(ProbeSubscriptions, ShutdownWithdrawsEveryEventNameOnce) {
    (void)Post("/qiv-probe/v1/subscribe?uri=/probe-other/v1/thing");
    host.Shutdown();
    // Each name with its flag: 1 for the host's replies and messages, 0 for resources.
    const std::vector<std::pair<std::string, int>> names = {
        {"OnServiceProxyUuidEvent", 1},         {"OnServiceProxyMethodEvent", 1},
        {"OnServiceProxyAsyncEvent", 1},        {"OnJsonApiEvent_probe-source_v1_item", 0},
        {"OnJsonApiEvent_probe-source_v1_items", 0}, {"OnVyreEvent_probe_messages_Note", 1},
        {"OnJsonApiEvent_probe-other_v1_thing", 0},
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
    host.Components().server.Script("probe.server", "early", ServerReply::Silence(std::numeric_limits<double>::infinity()));
    qivhost::ServiceProxyRequest early;
    early.methodBased = true;
    early.service = "probe.server";
    early.method = "early";
    qivhost::ServiceProxy::PublishReply(host, early, ServerReply::Answer(R"({"ok":true})"));
    host.RunUntilIdle();
    const std::size_t mark = Mark();

    const RestAnswer answer = Post("/qiv-probe/v1/method-call?method=early&wait");
    EXPECT_EQ(Error(answer), "(none)");
    EXPECT_EQ(answer.bodyJson, R"("{\"ok\":true}")");
    const std::vector<std::string> lines = Lines(host, mark);
    EXPECT_EQ(CountPrefix(lines, "BeginWait"), 0u) << "the future was ready at the first poll";
    EXPECT_EQ(CountPrefix(lines, "RunPending"), 0u);
    EXPECT_EQ(host.History().Find("WriteLog", "qiv-probe: Fulfilled service proxy request: probe.server.early").size(),
              1u);
    const auto& requests = host.Components().serviceProxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].methodBased);
    EXPECT_EQ(requests[0].methodOption, "probe-option");
    EXPECT_EQ(requests[0].payload, R"({"level":1,"text":"early"})");
    EXPECT_EQ(requests[0].clientHandle, host.ClientHandle());
}

TEST_F(ProbeServiceProxy, ASecondMethodRequestInFlightIsRefused) {
    host.Components().server.Script("probe.server", "ping", ServerReply::Silence(std::numeric_limits<double>::infinity()));
    const RestAnswer first = Post("/qiv-probe/v1/method-call?method=ping");
    EXPECT_EQ(first.bodyJson, R"("started")");
    const RestAnswer second = Post("/qiv-probe/v1/method-call?method=ping");
    EXPECT_EQ(Error(second), "Request already in flight");
    EXPECT_EQ(second.status, 500);
    const auto errors = host.History().Find("WriteLog", "level 2: ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].detail,
              "level " + std::to_string(kError) +
                  ": qiv-probe: Could not invoke service proxy as request is already in flight");
    EXPECT_EQ(host.Components().serviceProxy.Requests().size(), 1u) << "the refused request was never sent";

    EXPECT_EQ(Post("/qiv-probe/v1/method-call?method=pong").bodyJson, R"("started")") << "another method is free";
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

// ---- Telemetry and the log ----------------------------------------------------------------

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

TEST_F(ProbeBeforeStart, WriteLogReceivesTheBareMessagesOnceAttached) {
    std::vector<std::string> logged;
    host.onLog = [&logged](std::int32_t level, const std::string& message) {
        logged.push_back(std::to_string(level) + " " + message);
    };
    EXPECT_TRUE(host.Calls().empty()) << "no host call before Initialize";
    Start();
    host.Components().server.Script("probe.server", "lookup", ServerReply::Answer(kItemJson));
    (void)Post("/qiv-probe/v1/lookup", kItemJson);
    const std::string uuid = "00000000-0000-4000-8000-000000000001";
    const std::string always = std::to_string(kAlways) + " ";
    const std::vector<std::string> expected = {
        always + "qiv-probe: Preparing service proxy request: probe.server.lookup",
        always + "qiv-probe: Started service proxy request: probe.server.lookup (" + uuid + ")",
        always + "qiv-probe: Fulfilled service proxy request: " + uuid,
    };
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(host.History().Count("WriteLog"), expected.size());
}

// ---- Timers ------------------------------------------------------------------------------

using ProbeTimers = Probe;

// Numbering and running once are ScheduleCallback's, firing at the host clock
// DevHostEvents.TimersFireWhenTheHostClockReachesThem'.
TEST_F(ProbeTimers, ATimerFiredAfterShutdownRunsNothing) {
    EXPECT_EQ(Post("/qiv-probe/v1/timer?delay=1").bodyJson, "1");
    EXPECT_EQ(Post("/qiv-probe/v1/timer?delay=100").bodyJson, "2");
    ASSERT_TRUE(host.PushVyreMessage("probe.messages.Note", R"({"text":"late","level":1})"));
    host.AdvanceClock(1);  // timer 1 fires; the Vyre handler is scheduled, then run
    EXPECT_EQ(Seen(), R"(["timer 1","vyre late/1"])");
    ASSERT_TRUE(host.PushVyreMessage("probe.messages.Note", R"({"text":"never","level":1})"));
    host.Pump();  // delivered, its handler scheduled but not run
    const auto& timers = host.ScheduledTimers();
    ASSERT_EQ(timers.size(), 4u);

    // A timer that already fired finds nothing when fired again.
    std::size_t mark = Mark();
    timers[0].callback(timers[0].context);
    EXPECT_EQ(Mark(), mark);

    host.Shutdown();
    mark = Mark();
    // The host could not cancel these; the plug-in object is gone. Under the sanitizers a
    // timer that reached the destroyed object is a use after free.
    for (std::size_t i : {std::size_t{1}, std::size_t{3}}) {
        ASSERT_NE(timers[i].callback, nullptr);
        timers[i].callback(timers[i].context);
    }
    EXPECT_EQ(Mark(), mark) << "no host call from a dead plug-in";
}

}  // namespace
