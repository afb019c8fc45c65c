#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "binding/register_type.h"
#include "fake_module.h"

namespace vclient {
namespace {

using testing::FakeModule;
using Strings = std::vector<std::string>;

struct Session {
    std::int32_t phase = 0;
    std::string name = "default";
};

void RegisterSession(TypeRegistry& registry) {
    RegisterRecord<Session>(registry, "Session").QIV_FIELD(phase).QIV_FIELD(name);
}

BindingProperty EventPayload(const std::string& uri, PluginResourceEventType type, const BindingProperty& data) {
    BindingProperty event;
    event.Field("uri").SetString(uri);
    event.Field("eventType").SetSigned(static_cast<std::int64_t>(type));
    event.Field("data") = data;
    return event;
}

TEST(UriMatchesPattern, StarsStandForOneSegment) {
    struct Case {
        const char* pattern;
        const char* uri;
        bool matches;
    } table[] = {
        {"/a/*/c", "/a/b/c", true}, {"/a/*/c", "/a//c", true},   {"/a/*", "/a/b", true},
        {"/a/*", "/a/", false},     {"/a/*", "/a/b/c", false},   {"/a/*/*", "/a/b/c", true},
        {"/a/b", "/a/b", true},     {"/a/b", "/a/bc", false},    {"*", "abc", true},
        {"/x*", "/xyz", true},      {"/x*z", "/xyz", false},     {"", "", true},
    };
    for (const Case& c : table) EXPECT_EQ(UriMatchesPattern(c.pattern, c.uri), c.matches) << c.pattern << " " << c.uri;
}

TEST(ObserveResource, ReadsAtOnceThenDeliversTypedEventsToExactAndPatternHandlers) {
    FakeModule module;
    RegisterSession(module.registry);
    module.onPerformRequest = [](HostResponse* response, const HostRequest*) {
        response->errorText = "not there yet";
        response->status = 404;
    };
    std::vector<std::string> seen;
    module.ObserveResource<Session>("/qiv-gameflow/v1/session", [&](const vclient::ResourceEvent<Session>& e) {
        seen.push_back("exact " + e.uri + " " + std::to_string(static_cast<int>(e.eventType)) + " " + e.value.name);
    });
    module.ObserveResource<Session>("/qiv-gameflow/*/session", [&](const vclient::ResourceEvent<Session>& e) {
        seen.push_back("pattern " + e.uri + " " + e.value.name);
    });
    EXPECT_EQ(std::count(module.calls.begin(), module.calls.end(), "PerformRequest GET /qiv-gameflow/v1/session"), 1)
        << "one initial read, none for the pattern";
    EXPECT_TRUE(seen.empty()) << "a failed initial read is dropped";

    BindingProperty data;
    data.Field("name").SetString("lobby");
    module.Deliver("OnJsonApiEvent_qiv-gameflow_v1_session",
                   EventPayload("qiv-gameflow/v1/session", PluginResourceEventType::Update, data));
    BindingProperty bad;
    bad.Field("phase").SetString("not a number");
    module.Deliver("OnJsonApiEvent_qiv-gameflow_v1_session",
                   EventPayload("/qiv-gameflow/v1/session", PluginResourceEventType::Update, bad));
    module.Deliver("OnJsonApiEvent_qiv-gameflow_v1_session",
                   EventPayload("/qiv-gameflow/v1/session", PluginResourceEventType::Delete, bad));
    EXPECT_EQ(seen, (Strings{"exact /qiv-gameflow/v1/session 1 lobby", "pattern /qiv-gameflow/v1/session lobby",
                             "exact /qiv-gameflow/v1/session 2 default", "pattern /qiv-gameflow/v1/session default"}));
}

TEST(SendEvent, PublicationsReachTheUriNameAndThenTheGivenName) {
    FakeModule module;
    RegisterSession(module.registry);
    Session session;
    session.phase = 3;
    module.PublishResource("/qiv-honor-v2/v1/ballot", session);
    module.PublishUpdate("/qiv-honor-v2/v1/config", session);
    module.DeleteResource("/qiv-honor-v2/v1/recipients");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"OnJsonApiEvent_qiv-honor-v2_v1_ballot",
         R"({"data":{"name":"default","phase":3},"eventType":"Create","uri":"/qiv-honor-v2/v1/ballot"})"},
        {"OnJsonApiEvent",
         R"({"data":{"name":"default","phase":3},"eventType":"Create","uri":"/qiv-honor-v2/v1/ballot"})"},
        {"OnJsonApiEvent_qiv-honor-v2_v1_config",
         R"({"data":{"name":"default","phase":3},"eventType":"Update","uri":"/qiv-honor-v2/v1/config"})"},
        {"OnJsonApiEvent",
         R"({"data":{"name":"default","phase":3},"eventType":"Update","uri":"/qiv-honor-v2/v1/config"})"},
        {"OnJsonApiEvent_qiv-honor-v2_v1_recipients",
         R"({"data":null,"eventType":"Delete","uri":"/qiv-honor-v2/v1/recipients"})"},
        {"OnJsonApiEvent", R"({"data":null,"eventType":"Delete","uri":"/qiv-honor-v2/v1/recipients"})"},
    };
    EXPECT_EQ(module.dispatched, expected);

    PluginResourceEvent event;
    event.uri = "/a/b/c";
    module.dispatched.clear();
    EXPECT_TRUE(module.SendEvent("OnJsonApiEvent_a_b_c", event).Succeeded());
    EXPECT_EQ(module.dispatched.size(), 1u) << "no second dispatch under the same name";

    struct Unregistered {
        int x = 0;
    };
    module.dispatched.clear();
    module.PublishResource("/x", Unregistered{});
    EXPECT_TRUE(module.dispatched.empty()) << "a value that does not convert is not published";
}

TEST(HostBoundary, AnExceptionInAHandlerOrTimerNeverReachesTheHost) {
    testing::FakeModule module;
    RegisterSession(module.registry);
    module.ObserveResource<Session>("/s/v1/x", [](const vclient::ResourceEvent<Session>&) {
        throw std::runtime_error("handler failed");
    });
    module.ScheduleCallback("t", [] { throw std::runtime_error("timer failed"); }, 0);
    BindingProperty data;
    data.Field("phase").SetSigned(1);
    ::testing::internal::CaptureStderr();
    module.Deliver("OnJsonApiEvent_s_v1_x", EventPayload("/s/v1/x", PluginResourceEventType::Update, data));
    module.FireTimers();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("OnJsonApiEvent_s_v1_x: handler failed"), std::string::npos) << log;
    EXPECT_NE(log.find("TimerFired: timer failed"), std::string::npos) << log;
    EXPECT_EQ(module.PendingTimerCount(), 0u) << "a timer that threw is still removed";
}

}  // namespace
}  // namespace vclient
