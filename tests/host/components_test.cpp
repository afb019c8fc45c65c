// The simulated client components, driven with hand-made requests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client_components.h"
#include "event_name.h"
#include "messaging_service.h"
#include "resource_event.h"

namespace qivhost {
namespace {

struct Published {
    std::string name;
    std::string json;
    double delaySeconds;
    std::uint64_t delayTurns;
};

struct RecordingSink : EventSink {
    std::vector<Published> events;
    void Publish(std::string name, OwnedHostValue payload, double delaySeconds, std::uint64_t delayTurns) override {
        events.push_back(Published{std::move(name), HostValueToJson(payload.Get()), delaySeconds, delayTurns});
    }
};

OwnedHostValue Unsigned(std::uint64_t number) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_UNSIGNED;
    value.unsignedValue = number;
    return OwnedHostValue::CopyOf(value);
}

std::vector<OwnedHostValue> Parameters(std::initializer_list<const char*> texts) {
    std::vector<OwnedHostValue> parameters;
    for (const char* text : texts) parameters.push_back(OwnedHostValue::Text(text));
    return parameters;
}

OutgoingRequest Request(std::uint32_t method, std::string url, std::vector<OwnedHostValue> parameters = {}) {
    OutgoingRequest request;
    request.method = method;
    request.methodWord = method == QIV_HTTP_POST ? "POST" : method == QIV_HTTP_GET ? "GET" : "DELETE";
    request.url = std::move(url);
    request.hasUrl = true;
    for (OwnedHostValue& value : parameters) request.parameters.push_back(RequestParameter{"", false, std::move(value)});
    return request;
}

OutgoingRequest UuidRequest(const std::string& service, const std::string& method) {
    std::vector<OwnedHostValue> parameters = Parameters({service.c_str(), method.c_str()});
    parameters.push_back(Unsigned(0x51));
    parameters.push_back(OwnedHostValue::Text(R"({"summonerId":5})"));
    return Request(QIV_HTTP_POST, kServiceProxyUuidUrl, std::move(parameters));
}

std::string Body(const EndpointAnswer& answer) { return HostValueToJson(answer.body.Get()); }

struct Components : ::testing::Test {
    ClientComponents components;
    RecordingSink sink;
    EndpointAnswer Answer(std::uint32_t method, std::string url, std::vector<OwnedHostValue> parameters = {}) {
        return components.Answer(Request(method, std::move(url), std::move(parameters)), sink);
    }
};

struct StatusCase {
    std::uint32_t method;
    const char* url;
    std::int32_t status;
    const char* error;  // null: none
};

TEST_F(Components, PreEndOfGameKeepsRegistrationsAndCompletions) {
    const StatusCase steps[] = {
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/1", 200, nullptr},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/other/-3", 200, nullptr},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/complete/honor-vote", 200, nullptr},
        {QIV_HTTP_DELETE, "/qiv-pre-end-of-game/v1/registration/other", 200, nullptr},
        {QIV_HTTP_DELETE, "/qiv-pre-end-of-game/v1/registration/never", 200, nullptr},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/x", 400, "Invalid priority"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/99999999999", 400, "Invalid priority"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote/", 400, "Invalid priority"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration//1", 400, "Invalid step name"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/complete/", 400, "Invalid step name"},
        {QIV_HTTP_POST, "/qiv-pre-end-of-game/v1/registration/honor-vote", 404,
         "No endpoint for POST /qiv-pre-end-of-game/v1/registration/honor-vote"},
        {QIV_HTTP_POST, "/telemetry/v1/events/", 400, "Missing telemetry event name"},
        {QIV_HTTP_GET, "/qiv-gameflow/v1/session", 404, "No resource at /qiv-gameflow/v1/session"},
        {QIV_HTTP_POST, "/qiv-login/v1/session", 404, "No endpoint for POST /qiv-login/v1/session"},
    };
    for (const StatusCase& step : steps) {
        const EndpointAnswer answer = Answer(step.method, step.url);
        EXPECT_EQ(answer.status, step.status) << step.url;
        EXPECT_EQ(answer.error.value_or(""), step.error == nullptr ? "" : step.error) << step.url;
    }
    EXPECT_EQ(components.preEndOfGame.Registrations(), (std::map<std::string, std::int32_t>{{"honor-vote", 1}}));
    EXPECT_EQ(components.preEndOfGame.Completions(), std::vector<std::string>{"honor-vote"});
    EXPECT_EQ(components.preEndOfGame.History(),
              (std::vector<std::string>{"register honor-vote 1", "register other -3", "complete honor-vote",
                                        "withdraw other", "withdraw never"}));
    EXPECT_TRUE(components.telemetry.Events().empty());
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(Components, TelemetryRecordsNameAndData) {
    std::vector<OwnedHostValue> data;
    data.push_back(StructureBuilder().AddText("k", "v").Build());
    EXPECT_EQ(Answer(QIV_HTTP_POST, "/telemetry/v1/events/vote", std::move(data)).status, 200);
    EXPECT_EQ(Answer(QIV_HTTP_POST, "/telemetry/v1/events/bare").status, 200);
    ASSERT_EQ(components.telemetry.Events().size(), 2u);
    EXPECT_EQ(components.telemetry.Events()[0].name, "vote");
    EXPECT_EQ(components.telemetry.Events()[0].dataJson, R"({"k":"v"})");
    EXPECT_EQ(components.telemetry.Events()[1].dataJson, "null");
}

TEST_F(Components, ServiceProxyAnswersAUuidAndRepliesLaterAsAnEvent) {
    const EndpointAnswer first = components.Answer(UuidRequest("honor.server", "honorPlayer"), sink);
    const EndpointAnswer second = components.Answer(UuidRequest("honor.server", "retrieveProfile"), sink);
    EXPECT_EQ(Body(first), "\"00000000-0000-4000-8000-000000000001\"");
    EXPECT_EQ(Body(second), "\"00000000-0000-4000-8000-000000000002\"");
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].name, kServiceProxyUuidEventName);
    EXPECT_EQ(sink.events[0].json,
              R"({"uuid":"00000000-0000-4000-8000-000000000001","serviceName":"honor.server","methodName":"honorPlayer",)"
              R"("payload":"\"honored\"","status":"200","error":""})");
    EXPECT_EQ(components.serviceProxy.Requests()[0].payload, R"({"summonerId":5})");
    EXPECT_EQ(components.serviceProxy.Requests()[0].clientHandle, 0x51u);
    EXPECT_EQ(components.server.Calls().size(), 2u);
}

TEST_F(Components, ServiceProxyFollowsTheServersScript) {
    ServerReply slow = ServerReply::Answer("\"late\"");
    slow.delaySeconds = 2;
    slow.delayTurns = 3;
    components.server.Script("honor.server", "honorPlayer", slow);
    components.server.ScriptOnce("honor.server", "honorPlayer", ServerReply::Failure("busy", "503"));
    components.server.ScriptOnce("honor.server", "honorPlayer", ServerReply::Silence(7));
    for (int i = 0; i < 3; ++i) (void)components.Answer(UuidRequest("honor.server", "honorPlayer"), sink);
    (void)components.Answer(UuidRequest("honor.server", "nothing"), sink);
    ASSERT_EQ(sink.events.size(), 4u);
    EXPECT_NE(sink.events[0].json.find(R"("payload":"","status":"503","error":"busy")"), std::string::npos);
    EXPECT_NE(sink.events[1].json.find(R"("status":"504","error":"Service proxy request timed out")"), std::string::npos);
    EXPECT_DOUBLE_EQ(sink.events[1].delaySeconds, 7.0);
    EXPECT_NE(sink.events[2].json.find(R"("payload":"\"late\"")"), std::string::npos);
    EXPECT_DOUBLE_EQ(sink.events[2].delaySeconds, 2.0);
    EXPECT_EQ(sink.events[2].delayTurns, 3u);
    EXPECT_NE(sink.events[3].json.find(R"("status":"404","error":"Unknown service method honor.server.nothing")"),
              std::string::npos);
}

TEST_F(Components, ServiceProxyMethodRequestsReplyUnderTheMethodEvent) {
    std::vector<OwnedHostValue> parameters = Parameters({"honor.server", "retrieveProfile", "opt", "second"});
    parameters.push_back(Unsigned(9));
    parameters.push_back(OwnedHostValue::Text("{}"));
    EXPECT_EQ(Answer(QIV_HTTP_POST, kServiceProxyMethodUrl, std::move(parameters)).status, 200);
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].name, kServiceProxyMethodEventName);
    EXPECT_NE(sink.events[0].json.find(R"("uuid":"","serviceName":"honor.server","methodName":"retrieveProfile")"),
              std::string::npos);
    EXPECT_EQ(components.serviceProxy.Requests()[0].methodOption, "opt");
    EXPECT_EQ(components.serviceProxy.Requests()[0].secondOption, "second");
}

TEST_F(Components, ServiceProxyRefusesMalformedRequests) {
    std::vector<OwnedHostValue> numberService = Parameters({"x", "x", "x"});
    numberService.insert(numberService.begin(), Unsigned(1));
    struct {
        std::vector<OwnedHostValue> parameters;
        const char* error;
    } cases[] = {{Parameters({"x", "x", "x"}), "Expected 4 parameters, got 3"},
                 {Parameters({"x", "x", "x", "x"}), "Parameter 2 (clientHandle) must be an unsigned 32-bit number"},
                 {std::move(numberService), "Parameter 0 (service) must be a text"}};
    for (auto& c : cases) {
        const EndpointAnswer answer = Answer(QIV_HTTP_POST, kServiceProxyUuidUrl, std::move(c.parameters));
        EXPECT_EQ(answer.status, 400);
        EXPECT_EQ(answer.error.value_or(""), c.error);
    }
    EXPECT_TRUE(sink.events.empty());
    EXPECT_TRUE(components.serviceProxy.Requests().empty());
}

TEST_F(Components, GetsAreAnsweredFromTheStoreAndAUrlIsRequired) {
    (void)components.resources.Set("/qiv-login/v1/session", StructureBuilder().AddText("state", "SUCCEEDED").Build());
    EXPECT_EQ(Body(Answer(QIV_HTTP_GET, "/qiv-login/v1/session?x=1")), R"({"state":"SUCCEEDED"})");
    OutgoingRequest noUrl = Request(QIV_HTTP_GET, "");
    noUrl.hasUrl = false;
    EXPECT_EQ(components.Answer(noUrl, sink).error.value_or(""), "Request without URL");
}

TEST_F(Components, ScriptedFailuresAndStreamsComeBeforeTheComponents) {
    (void)components.resources.Set("/r", OwnedHostValue::Text("stored"));
    components.script.Fail("/r", ScriptedFailure{503, "down", QIV_HTTP_GET, 2});
    EXPECT_EQ(Answer(QIV_HTTP_GET, "/r").error.value_or(""), "down");
    EXPECT_EQ(Answer(QIV_HTTP_GET, "/r").status, 503);
    EXPECT_EQ(Body(Answer(QIV_HTTP_GET, "/r")), "\"stored\"");

    const std::string complete = "/qiv-pre-end-of-game/v1/complete/honor-vote";
    components.script.Fail(complete, ScriptedFailure{503, "not now", 0, 1});
    EXPECT_EQ(Answer(QIV_HTTP_POST, complete).status, 503);
    EXPECT_TRUE(components.preEndOfGame.Completions().empty()) << "the component never saw the failed request";
    EXPECT_EQ(Answer(QIV_HTTP_POST, complete).status, 200);

    components.script.Fail("/telemetry/v1/events/x", ScriptedFailure{500, "no", QIV_HTTP_GET, 0});
    EXPECT_EQ(Answer(QIV_HTTP_POST, "/telemetry/v1/events/x").status, 200);

    components.script.Stream("/r", StreamScript{{"ab", "c"}, 3, std::nullopt});
    const EndpointAnswer streamed = Answer(QIV_HTTP_GET, "/r");
    ASSERT_TRUE(streamed.stream.has_value());
    EXPECT_EQ(streamed.stream->chunks.size(), 2u);
    components.script.Clear("/r");
    EXPECT_FALSE(Answer(QIV_HTTP_GET, "/r").stream.has_value());
}

TEST_F(Components, VyreRecordsInvocationsAndPushesMessages) {
    std::vector<OwnedHostValue> parameters = Parameters({"clientFacadeService", "callPersistenceMessaging"});
    parameters.push_back(StructureBuilder().AddText("command", "ack").Build());
    EXPECT_EQ(Answer(QIV_HTTP_POST, kVyreInvokeUrl, std::move(parameters)).status, 200);
    ASSERT_EQ(components.vyre.Invocations().size(), 1u);
    EXPECT_EQ(components.vyre.Invocations()[0].argumentsJson, R"({"command":"ack"})");
    EXPECT_EQ(Answer(QIV_HTTP_POST, kVyreInvokeUrl).error.value_or(""),
              "Expected 3 parameters (destination, method, arguments), got 0");

    VyreConnection::Push(sink, "c1", "sub", "a.b.C", OwnedHostValue::Text("hi"));
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].name, "OnVyreEvent_a_b_C");
    EXPECT_EQ(sink.events[0].json, R"({"clientId":"c1","subtopic":"sub","typeName":"a.b.C","body":"hi"})");
}

TEST(ResourceEvent, AnnouncesUnderTheUriNameThenOnJsonApiEvent) {
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

TEST(MessagingService, WrapsTheRecordAsAVmsMessage) {
    VmsEnvelope envelope;
    envelope.timestamp = -4;
    EXPECT_EQ(HostValueToJson(VmsMessage(kMessagingLevelChange, R"({"actionType":"up"})", envelope).Get()),
              R"({"resource":"level-change","service":"honor","version":"1.0","timestamp":-4,"payload":"{\"actionType\":\"up\"}"})");
}

}  // namespace
}  // namespace qivhost
