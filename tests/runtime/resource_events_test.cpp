// Resource events both ways, against the module's fake host.
#include "runtime/resource_events.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "binding/register_type.h"
#include "fake_module.h"

namespace vclient {
namespace {

using testing_support::FakeModule;
using Strings = std::vector<std::string>;

struct Session {
    std::int32_t phase = 0;
    std::string name = "default";
};

// A module that knows Session; the initial read of an observed resource finds nothing.
struct SessionModule : FakeModule {
    SessionModule() {
        RegisterRecord<Session>(registry, "Session").QIV_FIELD(phase).QIV_FIELD(name);
        onPerformRequest = [](HostResponse* response, const HostRequest*) {
            response->errorText = "not there yet";
            response->status = 404;
        };
    }
    void Deliver(const std::string& uri, PluginResourceEventType type, const BindingProperty& data) {
        BindingProperty event;
        event.Field("uri").SetString(uri);
        event.Field("eventType").SetSigned(static_cast<std::int64_t>(type));
        event.Field("data") = data;
        FakeModule::Deliver(EventNameForUri(uri), event);
    }
};

TEST(UriMatchesPattern, StarsStandForOneSegment) {
    const struct {
        const char* pattern;
        const char* uri;
        bool matches;
    } table[] = {
        {"/a/*/c", "/a/b/c", true}, {"/a/*/c", "/a//c", true}, {"/a/*", "/a/b", true},    {"/a/*", "/a/", false},
        {"/a/*", "/a/b/c", false},  {"/a/*/*", "/a/b/c", true}, {"/a/b", "/a/bc", false}, {"*", "abc", true},
        {"/x*", "/xyz", true},      {"/x*z", "/xyz", false},    {"", "", true},
    };
    for (const auto& c : table) EXPECT_EQ(UriMatchesPattern(c.pattern, c.uri), c.matches) << c.pattern << " " << c.uri;
}

// Which handlers see which changes, converted or not, is ProbeSubscriptions.ExactAndPatternHandlersSeeTheirResources'.
TEST(ObserveResource, ReadsAnExactUriAtOnceAndRootsTheUrisOfIncomingEvents) {
    SessionModule module;
    Strings seen;
    module.ObserveResource<Session>("/qiv-gameflow/v1/session",
                                    [&](const ResourceEvent<Session>& e) { seen.push_back("exact " + e.uri); });
    module.ObserveResource<Session>("/qiv-gameflow/*/session",
                                    [&](const ResourceEvent<Session>& e) { seen.push_back("pattern " + e.uri); });
    EXPECT_EQ(module.calls, (Strings{"SubscribeEvent OnJsonApiEvent_qiv-gameflow_v1_session 42 0",
                                     "PerformRequest GET /qiv-gameflow/v1/session",
                                     "SubscribeEvent OnJsonApiEvent_qiv-gameflow_*_session 42 0"}))
        << "one initial read, none for the pattern";
    EXPECT_TRUE(seen.empty()) << "a failed initial read is dropped";
    module.Deliver("qiv-gameflow/v1/session", PluginResourceEventType::Delete, BindingProperty());
    EXPECT_EQ(seen, (Strings{"exact /qiv-gameflow/v1/session", "pattern /qiv-gameflow/v1/session"}));
}

// The data goes straight into the event's tree: the last "data" entry counts, as a field
// would keep it, and the nesting limit counts from the payload's root.
TEST(ObserveResource, AnEventsDataIsItsLastDataEntryNestedWithinTheLimit) {
    SessionModule module;
    std::vector<BindingProperty> seen;
    module.ObserveResource<BindingProperty>("/qiv-gameflow/v1/session",
                                            [&](const ResourceEvent<BindingProperty>& e) { seen.push_back(e.value); });
    HostValue first{}, last{}, uri{}, type{};
    HostValueSetSigned(first, 1);
    HostValueSetSigned(last, 2);
    ASSERT_TRUE(HostValueSetText(uri, "/qiv-gameflow/v1/session"));
    HostValueSetSigned(type, static_cast<std::int64_t>(PluginResourceEventType::Update));
    HostStructureEntry entries[4] = {{"data", first, 0}, {"uri", uri, 0}, {"data", last, 0}, {"eventType", type, 0}};
    HostValue payload{};
    payload.kind = QIV_HOST_VALUE_STRUCTURE;
    payload.structure.entries = entries;
    payload.structure.count = 4;
    const std::string name = EventNameForUri("/qiv-gameflow/v1/session");
    module.DeliverValue(name, payload);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].GetSigned(), 2);

    // Collections nested in the data: 255 levels fit under the payload's root, 256 do not.
    for (const std::size_t levels : {std::size_t{255}, std::size_t{256}}) {
        std::vector<HostValue> chain(levels);
        for (std::size_t i = 0; i < levels; ++i) {
            chain[i].kind = QIV_HOST_VALUE_COLLECTION;
            chain[i].collection.elements = i + 1 < levels ? &chain[i + 1] : nullptr;
            chain[i].collection.count = i + 1 < levels ? 1 : 0;
        }
        entries[0].value = chain[0];
        entries[2].value = chain[0];
        seen.clear();
        module.DeliverValue(name, payload);
        EXPECT_EQ(seen.size(), levels == 255 ? 1u : 0u) << levels;
    }
    HostValueClear(uri);
}

TEST(Subscribe, CountsPerEventNameAndLeavesTheHandlersInPlace) {
    SessionModule module;
    int heard = 0;
    module.ObserveResource<Session>("/s/v1/x", [&](const ResourceEvent<Session>&) { ++heard; });
    module.Subscribe("/s/v1/x/longer/below");  // the same event name
    module.Unsubscribe("/s/v1/x");
    module.Unsubscribe("/s/v1/x/longer/below");
    module.Unsubscribe("/s/v1/x");  // below zero: nothing
    module.Subscribe("/s/v1/x");
    module.Deliver("/s/v1/x", PluginResourceEventType::Delete, BindingProperty());
    EXPECT_EQ(heard, 1) << "the exact handler outlives its subscription";
    EXPECT_EQ(module.calls, (Strings{"SubscribeEvent OnJsonApiEvent_s_v1_x 42 0", "PerformRequest GET /s/v1/x",
                                     "UnsubscribeEvent OnJsonApiEvent_s_v1_x 42",
                                     "SubscribeEvent OnJsonApiEvent_s_v1_x 42 0"}));
}

TEST(SendEvent, PublicationsReachTheUriNameAndThenTheGivenName) {
    SessionModule module;
    module.PublishResource("/qiv-honor-v2/v1/ballot", Session{3, "default"});
    module.PublishUpdate("/qiv-honor-v2/v1/config", Session{3, "default"});
    module.DeleteResource("/qiv-honor-v2/v1/recipients");
    const std::string session = R"({"data":{"name":"default","phase":3},"eventType":)";
    const std::string ballot = session + R"("Create","uri":"/qiv-honor-v2/v1/ballot"})";
    const std::string config = session + R"("Update","uri":"/qiv-honor-v2/v1/config"})";
    const std::string deleted = R"({"data":null,"eventType":"Delete","uri":"/qiv-honor-v2/v1/recipients"})";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"OnJsonApiEvent_qiv-honor-v2_v1_ballot", ballot},        {"OnJsonApiEvent", ballot},
        {"OnJsonApiEvent_qiv-honor-v2_v1_config", config},        {"OnJsonApiEvent", config},
        {"OnJsonApiEvent_qiv-honor-v2_v1_recipients", deleted},   {"OnJsonApiEvent", deleted},
    };
    EXPECT_EQ(module.dispatched, expected);

    module.dispatched.clear();
    PluginResourceEvent event;
    event.uri = "/a/b/c";
    EXPECT_TRUE(module.SendEvent("OnJsonApiEvent_a_b_c", event).Succeeded());
    EXPECT_EQ(module.dispatched.size(), 1u) << "no second dispatch under the same name";
    struct Unregistered {
        int x = 0;
    };
    module.PublishResource("/x", Unregistered{});
    EXPECT_EQ(module.dispatched.size(), 1u) << "a value that does not convert is not published";
}

TEST(HostBoundary, AnExceptionInAHandlerOrTimerNeverReachesTheHost) {
    SessionModule module;
    module.ObserveResource<Session>("/s/v1/x", [](const ResourceEvent<Session>&) {
        throw std::runtime_error("handler failed");
    });
    module.ScheduleCallback("t", [] { throw std::runtime_error("timer failed"); }, 0);
    ::testing::internal::CaptureStderr();
    module.Deliver("/s/v1/x", PluginResourceEventType::Delete, BindingProperty());
    module.Fire(0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("OnJsonApiEvent_s_v1_x: handler failed"), std::string::npos) << log;
    EXPECT_NE(log.find("TimerFired: timer failed"), std::string::npos) << log;
    EXPECT_EQ(module.PendingTimerCount(), 0u) << "a timer that threw is still removed";
}

}  // namespace
}  // namespace vclient
