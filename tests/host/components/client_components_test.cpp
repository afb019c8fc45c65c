// The simulated client components, driven with requests as the plug-in sends them, and
// the event names and payloads they publish.
#include "components/client_components.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "components/client_event_names.h"
#include "components/messaging_service.h"
#include "components/resource_change.h"
#include "runtime/plugin_resource_event.h"

namespace qivhost {
namespace {

struct Published {
    std::string name;
    std::string json;
};

// When the host delivers what the components publish is DevHostEvents'.
struct RecordingSink : HostEventSink {
    std::vector<Published> events;
    void Publish(std::string name, OwnedHostValue payload, double, std::uint64_t) override {
        events.push_back(Published{std::move(name), HostValueToJson(payload.Get())});
    }
};

std::string Body(const ComponentAnswer& answer) { return HostValueToJson(answer.body.Get()); }

struct Components : ::testing::Test {
    ClientComponents components;
    RecordingSink sink;

    // A request as the plug-in sends it: the positional parameters as one JSON list, a null
    // url for a request without URL.
    ComponentAnswer Answer(std::uint32_t method, const char* url, const char* parametersJson = "[]") {
        const HostValueFromJson list = HostValueFromJsonText(parametersJson);
        std::vector<HostRequestParameter> parameters(list.value.Get().collection.count);
        for (std::size_t i = 0; i < parameters.size(); ++i) parameters[i].value = list.value.Get().collection.elements[i];
        HostRequest request{};
        request.method = method;
        request.url = url;
        request.parameters = parameters.data();
        request.parameterCount = static_cast<std::uint32_t>(parameters.size());
        return components.Answer(OutgoingRequest::From(request), sink);
    }
};

// What telemetry, Vyre and the method-based service proxy record of a good request, and the
// answer to a GET of no resource, are seen end to end: ProbeHostLog.TelemetryIsPostedUnderTheEventName,
// ProbeVyre.AnInvocationCarriesTheClassNames, ProbeServiceProxy.AnEarlyReplyIsMatchedWhenItsRequestIsStored,
// ProbeRequests.AResourceIsAnsweredAsReadAndHostFailuresAsInternalServerErrors.
TEST_F(Components, AnswerEachRequestOrSayWhatIsWrong) {
    const struct {
        std::uint32_t method;
        const char* url;
        const char* parameters;
        std::int32_t status;
        const char* error;  // null: none
    } requests[] = {
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/1", "[]", 200, nullptr},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/other/-3", "[]", 200, nullptr},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/complete/honor-vote", "[]", 200, nullptr},
        {QIV_HTTP_DELETE, "/qiv-pre-end-of-game/v1/registration/other", "[]", 200, nullptr},
        {QIV_HTTP_DELETE, "/qiv-pre-end-of-game/v1/registration/never", "[]", 200, nullptr},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/x", "[]", 400, "Invalid priority"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/99999999999", "[]", 400, "Invalid priority"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/", "[]", 400, "Invalid priority"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration//1", "[]", 400, "Invalid step name"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/complete/", "[]", 400, "Invalid step name"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote", "[]", 404,
         "No endpoint for POST /qiv-pre-end-of-game/v1/registration/honor-vote"},
        {QIV_HTTP_POST, "/telemetry/v1/events/bare", "[]", 200, nullptr},
        {QIV_HTTP_POST, "/telemetry/v1/events/", "[]", 400, "Missing telemetry event name"},
        {QIV_HTTP_POST, kVyreInvokeUrl, "[]", 400, "Expected 3 parameters (destination, method, arguments), got 0"},
        {QIV_HTTP_POST, kServiceProxyUuidUrl, R"(["x","x","x"])", 400, "Expected 4 parameters, got 3"},
        {QIV_HTTP_POST, kServiceProxyUuidUrl, R"([1,"x",81,"x"])", 400, "Parameter 0 (service) must be a text"},
        {QIV_HTTP_POST, kServiceProxyMethodUrl, R"(["s","m","option","second","x","{}"])", 400,
         "Parameter 4 (clientHandle) must be an unsigned 32-bit number"},
        {QIV_HTTP_POST, "/qiv-login/v1/session", "[]", 404, "No endpoint for POST /qiv-login/v1/session"},
        {QIV_HTTP_GET, nullptr, "[]", 400, "Request without URL"},
    };
    for (const auto& r : requests) {
        const ComponentAnswer answer = Answer(r.method, r.url, r.parameters);
        const std::string what = std::string(r.url == nullptr ? "(no URL)" : r.url) + " " + r.parameters;
        EXPECT_EQ(answer.status, r.status) << what;
        EXPECT_EQ(answer.error.value_or(""), r.error == nullptr ? "" : r.error) << what;
    }
    EXPECT_EQ(components.preEndOfGame.Registrations(), (std::map<std::string, std::int32_t>{{"honor-vote", 1}}));
    EXPECT_EQ(components.preEndOfGame.History(),
              (std::vector<std::string>{"register honor-vote 1", "register other -3", "complete honor-vote",
                                        "withdraw other", "withdraw never"}));
    ASSERT_EQ(components.telemetry.Events().size(), 1u);
    EXPECT_EQ(components.telemetry.Events()[0].dataJson, "null") << "an event without data";
    EXPECT_TRUE(components.serviceProxy.Requests().empty()) << "a refused request is never sent";
    EXPECT_TRUE(sink.events.empty());
}

// Delays and timeouts of the replies are DevHostEvents' (the host clock and turns).
TEST_F(Components, ServiceProxyAnswersAUuidAndRepliesLaterAsTheServerSays) {
    components.server.Script("honor.server", "retrieveProfile", ServerReply::Answer("\"standing\""));
    components.server.ScriptOnce("honor.server", "retrieveProfile", ServerReply::Failure("busy", "503"));
    EXPECT_EQ(Body(Answer(QIV_HTTP_POST, kServiceProxyUuidUrl, R"(["honor.server","honorPlayer",81,"{}"])")),
              "\"00000000-0000-4000-8000-000000000001\"");
    for (int i = 0; i < 2; ++i) {
        (void)Answer(QIV_HTTP_POST, kServiceProxyUuidUrl, R"(["honor.server","retrieveProfile",81,"{}"])");
    }
    (void)Answer(QIV_HTTP_POST, kServiceProxyUuidUrl, R"(["honor.server","nothing",81,"{}"])");
    ASSERT_EQ(sink.events.size(), 4u);
    EXPECT_EQ(sink.events[0].name, kServiceProxyUuidEventName);
    EXPECT_EQ(sink.events[0].json,
              R"({"uuid":"00000000-0000-4000-8000-000000000001","serviceName":"honor.server","methodName":"honorPlayer",)"
              R"("payload":"\"honored\"","status":"200","error":""})");
    EXPECT_NE(sink.events[1].json.find(R"("payload":"","status":"503","error":"busy")"), std::string::npos);
    EXPECT_NE(sink.events[2].json.find(R"("payload":"\"standing\"")"), std::string::npos);
    EXPECT_NE(sink.events[3].json.find(R"("status":"404","error":"Unknown service method honor.server.nothing")"),
              std::string::npos);
}

TEST_F(Components, ScriptedFailuresAndStreamsComeBeforeTheComponents) {
    (void)components.resources.Set("/r", OwnedHostValue::Text("stored"));
    components.script.Fail("/r", ScriptedFailure{503, "down", QIV_HTTP_GET, 2});
    EXPECT_EQ(Body(Answer(QIV_HTTP_GET, "/r?x=1")), "\"stored\"") << "a script matches the URL, the store its path";
    EXPECT_EQ(Answer(QIV_HTTP_GET, "/r").error.value_or(""), "down");
    EXPECT_EQ(Answer(QIV_HTTP_GET, "/r").status, 503);
    EXPECT_EQ(Body(Answer(QIV_HTTP_GET, "/r")), "\"stored\"");

    const char* complete = "/qiv-pre-end-of-game/v1/complete/honor-vote";
    components.script.Fail(complete, ScriptedFailure{503, "not now", 0, 1});
    EXPECT_EQ(Answer(QIV_HTTP_POST, complete).status, 503);
    EXPECT_TRUE(components.preEndOfGame.Completions().empty()) << "the component never saw the failed request";
    EXPECT_EQ(Answer(QIV_HTTP_POST, complete).status, 200);

    components.script.Fail("/telemetry/v1/events/x", ScriptedFailure{500, "no", QIV_HTTP_GET, 0});
    EXPECT_EQ(Answer(QIV_HTTP_POST, "/telemetry/v1/events/x").status, 200);

    components.script.Stream("/r", StreamScript{{"ab", "c"}, 3, std::nullopt});
    EXPECT_TRUE(Answer(QIV_HTTP_GET, "/r").stream.has_value());
    components.script.Clear("/r");
    EXPECT_EQ(Body(Answer(QIV_HTTP_GET, "/r")), "\"stored\"");
}

TEST_F(Components, VyrePushesServerMessagesUnderTheirTypesEvent) {
    VyreConnection::Push(sink, "c1", "sub", "a.b.C", OwnedHostValue::Text("hi"));
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].name, "OnVyreEvent_a_b_C");
    EXPECT_EQ(sink.events[0].json, R"({"clientId":"c1","subtopic":"sub","typeName":"a.b.C","body":"hi"})");
}

TEST(ResourceChange, AnnouncesUnderTheUrisNameThenOnJsonApiEvent) {
    RecordingSink sink;
    PublishResourceChange(sink, "/qiv-gameflow/v1/session", ResourceEventType::Update, OwnedHostValue::Text("x"));
    PublishResourceChange(sink, "/qiv-gameflow/v1/session", ResourceEventType::Delete, OwnedHostValue::Text("x"));
    ASSERT_EQ(sink.events.size(), 4u);
    EXPECT_EQ(sink.events[0].name, "OnJsonApiEvent_qiv-gameflow_v1_session");
    EXPECT_EQ(sink.events[1].name, kResourceEventName);
    EXPECT_EQ(sink.events[0].json, R"({"uri":"/qiv-gameflow/v1/session","eventType":"Update","data":"x"})");
    EXPECT_EQ(sink.events[1].json, sink.events[0].json);
    EXPECT_EQ(sink.events[2].json, R"({"uri":"/qiv-gameflow/v1/session","eventType":"Delete","data":null})");
}

// The host announces a resource under the name the plug-in's runtime subscribes to: both
// keep the URI's first three pieces, five under "qiv-platform-config".
TEST(ClientEventNames, HostAndRuntimeNameAResourcesEventAlike) {
    const struct {
        const char* uri;
        const char* name;
    } cases[] = {
        {"/qiv-gameflow/v1/session", "OnJsonApiEvent_qiv-gameflow_v1_session"},
        {"/qiv-platform-config/v1/namespaces/Honor", "OnJsonApiEvent_qiv-platform-config_v1_namespaces_Honor"},
        {"/qiv-platform-config/v1/namespaces/Honor/x/y", "OnJsonApiEvent_qiv-platform-config_v1_namespaces_Honor_x"},
        {"/qiv-login/v1/session/a/b", "OnJsonApiEvent_qiv-login_v1_session"},
        {"qiv-gameflow//v1///session/", "OnJsonApiEvent_qiv-gameflow_v1_session"},
        {"/a/qiv-platform-config/b/c/d/e", "OnJsonApiEvent_a_qiv-platform-config_b"},
        {"/x", "OnJsonApiEvent_x"},
        {"///", "OnJsonApiEvent"},
        {"", "OnJsonApiEvent"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EventNameForUri(c.uri), c.name) << c.uri;
        EXPECT_EQ(vclient::EventNameForUri(c.uri), c.name) << c.uri;
    }
}

TEST(MessagingService, WrapsTheRecordAsAVmsMessage) {
    VmsEnvelope envelope;
    envelope.timestamp = -4;
    EXPECT_EQ(HostValueToJson(VmsMessage(kMessagingLevelChange, R"({"actionType":"up"})", envelope).Get()),
              R"({"resource":"level-change","service":"honor","version":"1.0","timestamp":-4,"payload":"{\"actionType\":\"up\"}"})");
}

}  // namespace
}  // namespace qivhost
