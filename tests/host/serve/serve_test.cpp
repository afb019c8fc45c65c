// The served host end to end: a ServeSession on a free loopback port, driven through real
// sockets with cpp-httplib's client.
#include <gtest/gtest.h>
#include <httplib.h>
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serve/api_help.h"
#include "serve/event_stream_hub.h"
#include "serve/openapi_document.h"
#include "serve/request_guard.h"
#include "serve/serve_session.h"

namespace qivhost {
namespace {

using namespace std::chrono_literals;

// Reads GET /events on a thread of its own and keeps everything it received.
class StreamReader {
public:
    explicit StreamReader(int port)
        : thread_([this, port] {
              httplib::Client client("127.0.0.1", port);
              (void)client.Get("/events", httplib::Headers{}, [this](const char* data, std::size_t length) {
                  const std::lock_guard<std::mutex> lock(mutex_);
                  text_.append(data, length);
                  changed_.notify_all();
                  return !stop_;
              });
          }) {}
    ~StreamReader() {
        stop_ = true;
        thread_.join();
    }
    // Whether the stream holds `what` within two seconds.
    bool WaitFor(const std::string& what) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 2s, [&] { return text_.find(what) != std::string::npos; });
    }
    std::string Text() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string text_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A command's standard output and its exit status.
std::pair<std::string, int> RunCommand(const std::string& command) {
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {out, -1};
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    return {out, pclose(pipe)};
}

std::string Compact(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return buffer.GetString();
}

using Facts = std::vector<std::pair<std::string, std::string>>;

// The value at each JSON pointer, written compactly ("" for none).
void CheckFacts(const std::string& json, const Facts& facts) {
    rapidjson::Document document;
    ASSERT_FALSE(document.Parse(json.c_str()).HasParseError()) << json;
    for (const auto& [pointer, expected] : facts) {
        const rapidjson::Value* value = rapidjson::Pointer(pointer.c_str()).Get(document);
        EXPECT_EQ(value == nullptr ? std::string() : Compact(*value), expected) << pointer;
    }
}

// An OpenAPI document passes the validator from the npm registry, and holds the facts.
void CheckOpenApi(const std::string& json, const Facts& facts) {
    CheckFacts(json, facts);
    ASSERT_EQ(access(QIV_OPENAPI_VALIDATOR, X_OK), 0)
        << "The OpenAPI validator is missing: run scripts/install-deps.sh to install it.";
    const std::string file = ::testing::TempDir() + "openapi-" + std::to_string(getpid()) + ".json";
    std::ofstream(file) << json;
    const auto [report, status] = RunCommand(QIV_OPENAPI_VALIDATOR " " + file);
    EXPECT_EQ(status, 0) << report << json;
    EXPECT_NE(report.find("\"valid\": true"), std::string::npos) << report;
    std::remove(file.c_str());
}

class Served : public ::testing::Test {
protected:
    void Serve(const std::string& plugin, const std::string& scenario = "") {
        options.pluginPath = plugin;
        options.scenarioFile = scenario;
        options.keepAliveInterval = 50ms;
        out = std::tmpfile();
        session = std::make_unique<ServeSession>(options, out);
        ASSERT_TRUE(session->Open()) << Output();
        thread = std::thread([this] { session->Serve(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", session->Port());
    }

    void TearDown() override {
        if (thread.joinable()) {
            session->RequestStop();
            thread.join();
            EXPECT_NE(Output().find("Shutdown done"), std::string::npos);
        }
        if (out != nullptr) std::fclose(out);
    }

    std::string Output() {
        std::string text(4096, '\0');
        std::rewind(out);
        text.resize(std::fread(text.data(), 1, text.size(), out));
        return text;
    }

    httplib::Result Send(const std::string& method, const std::string& path, const std::string& body = "",
                         httplib::Headers headers = {}) {
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = std::move(headers);
        request.body = body;
        if (!body.empty() && !request.has_header("Content-Type")) request.set_header("Content-Type", "application/json");
        return client->send(request);
    }

    ServeOptions options;
    std::FILE* out = nullptr;
    std::unique_ptr<ServeSession> session;
    std::thread thread;
    std::unique_ptr<httplib::Client> client;
};

TEST_F(Served, AnswersWithThePluginsBodyAndStatusAndErrorsAsJson) {
    Serve(QIV_FAKE_PLUGIN_PATH);
    const std::string binary("\x81\xa1" "a\0\xff", 5);
    const struct {
        const char* method;
        std::string path;
        std::string body;
        httplib::Headers headers;
        int status;
        std::vector<std::string> inBody;
    } cases[] = {
        {"GET", "/fake-get-only", "", {}, 200, {"\"only get\""}},
        {"PUT", "/fake-get-only", "{}", {}, 404, {"{\"error\":\"Invalid function\"}"}},
        {"GET", "/nothing?x=1", "", {}, 404, {"{\"error\":\"No route for GET /nothing?x=1\"}"}},
        {"POST", "/fake/echo?q=%20", binary, {{"Content-Type", "application/x-msgpack"}, {"X-One", "1"}}, 200,
         {"\"methodWord\":\"POST\"", "\"contentType\":\"application/x-msgpack\"", "\"bodyLength\":5", "\"x-one\":\"1\""}},
        {"DELETE", "/fake/echo", "", {}, 200, {"\"bodyLength\":0"}},
        {"GET", "/host/nothing", "", {}, 404, {"{\"error\":\"No host control at /host/nothing\"}"}},
        {"PATCH", "/host/transcript", "{}", {}, 405, {"{\"error\":\"Method not allowed\"}"}},
        {"POST", "/fake/echo", "--\r\n", {{"Content-Type", "multipart/form-data; boundary=-"}}, 415, {"\"error\""}},
        {"TRACE", "/fake/echo", "", {}, 400, {"{\"error\":\"Bad request\"}"}},
        {"GET", "/fake/echo", "", {{"Content-Length", "4x"}}, 400, {"{\"error\":\"Malformed Content-Length"}},
        {"GET", "/fake-get-only", "", {{"Host", "localhost:1"}}, 200, {"only get"}},
        {"GET", "/fake-get-only", "", {{"Host", "evil.example:80"}}, 403, {"\"Refused: the Host header"}},
        {"POST", "/fake/echo", "{}", {{"Origin", "http://evil.example"}}, 403, {"may not drive the host"}},
    };
    for (const auto& c : cases) {
        const httplib::Result result = Send(c.method, c.path, c.body, c.headers);
        ASSERT_TRUE(result) << c.method << " " << c.path;
        EXPECT_EQ(result->status, c.status) << c.method << " " << c.path << ": " << result->body;
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/json") << c.path;
        for (const std::string& part : c.inBody) EXPECT_NE(result->body.find(part), std::string::npos) << result->body;
    }
}

TEST_F(Served, StreamsTheEventsACallCausesInTheirOrder) {
    Serve(QIV_FAKE_PLUGIN_PATH);
    StreamReader stream(session->Port());
    ASSERT_TRUE(stream.WaitFor(": connected\n\n"));
    ASSERT_EQ(Send("GET", "/fake/dispatch?name=First&text=a")->status, 200);
    ASSERT_EQ(Send("GET", "/fake/dispatch?name=Second&text=b%0Ac")->status, 200);
    ASSERT_TRUE(stream.WaitFor("event: Second"));
    const std::string text = stream.Text();
    const std::size_t first = text.find("event: First\ndata: {\"text\":\"a\",\"n\":-5}\n\n");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_LT(first, text.find("event: Second\ndata: {\"text\":\"b\\nc\",\"n\":-5}\n\n")) << text;
    EXPECT_TRUE(stream.WaitFor(": keep-alive\n\n"));
}

TEST_F(Served, TimersComeDueInRealTimeBetweenRequests) {
    Serve(QIV_FAKE_PLUGIN_PATH);
    ASSERT_EQ(Send("GET", "/fake/timer?name=Soon&delay=0.1")->status, 200);
    EXPECT_EQ(Send("GET", "/fake/events")->body.find("timer Soon"), std::string::npos) << "not due yet";
    std::this_thread::sleep_for(300ms);
    EXPECT_NE(Send("GET", "/fake/events")->body.find("timer Soon"), std::string::npos);
}

TEST_F(Served, AResourceSetOverHttpReachesThePlugin) {
    Serve(QIV_PLUGIN_PATH);
    const std::string honor = "/qiv-platform-config/v1/namespaces/Honor";
    StreamReader stream(session->Port());
    ASSERT_TRUE(stream.WaitFor(": connected\n\n"));
    const httplib::Result set = Send("PUT", "/host/resources" + honor, "{\"Enabled\":true,\"SecondsToVote\":12}");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->body, "{\"uri\":\"" + honor + "\",\"change\":\"Create\"}");
    EXPECT_TRUE(stream.WaitFor("event: OnJsonApiEvent_qiv-honor-v2_v1_config\ndata: {\"data\":{\"DayOneModalEnabled\":"
                               "false,\"Enabled\":true,\"Honor2018Enabled\":false,\"SecondsToVote\":12}"))
        << stream.Text();
    EXPECT_NE(Send("GET", "/qiv-honor-v2/v1/config")->body.find("\"SecondsToVote\":12"), std::string::npos);
    const struct {
        const char* method;
        std::string path;
        std::string body;
        int status;
        std::string answer;
    } controls[] = {
        {"GET", "/host/resources" + honor, "", 200, "{\"Enabled\":true,\"SecondsToVote\":12}"},
        {"PUT", "/host/resources" + honor, "{oops", 400, "{\"error\":\"The body is not JSON: "},
        {"PUT", "/host/resources/a%00b", "1", 400, "{\"error\":\"A resource URI must not contain a NUL character\"}"},
        {"DELETE", "/host/resources" + honor, "", 200, "{\"uri\":\"" + honor + "\",\"change\":\"Delete\"}"},
        {"DELETE", "/host/resources" + honor, "", 404, "{\"error\":\"No resource at " + honor + "\"}"},
        {"POST", "/host/sequence-event", "{\"sequence\":\"honor-vote\",\"priority\":2}", 200, "{\"played\":1}"},
        {"POST", "/host/sequence-event", "{\"advance\":1}", 400, "{\"error\":\"/host/sequence-event takes a \\\"sequence\\\" step\"}"},
        {"POST", "/host/honor-server/answers", "{\"server\":\"honor.server.honorPlayer\",\"answer\":1,\"once\":2}", 400,
         "{\"error\":\"step 1 (\\\"server\\\"): \\\"once\\\" must be true or false, not a number\"}"},
        {"POST", "/host/steps", "[{\"advance\":1},{\"set\":\"/a\",\"value\":[]}]", 200, "{\"played\":2}"},
        {"POST", "/host/steps", "[{\"set\":\"/b\",\"value\":1},{\"call\":\"GET /x\"}]", 400,
         "{\"error\":\"step 2: make calls over HTTP\"}"},
        {"GET", "/host/resources/b", "", 404, "{\"error\":\"No resource at /b\"}"},  // the refused array played nothing
    };
    for (const auto& c : controls) {
        const httplib::Result result = Send(c.method, c.path, c.body);
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(result->status, c.status) << c.method << " " << c.path << " " << c.body;
        EXPECT_EQ(result->body.substr(0, c.answer.size()), c.answer) << c.method << " " << c.path << " " << c.body;
    }
    EXPECT_NE(Send("GET", "/host/transcript?since=1000000")->body.find("\"entries\":[]}"), std::string::npos);
}

TEST_F(Served, PlaysTheScenarioThenKeepsServing) {
    Serve(QIV_PLUGIN_PATH, QIV_EXAMPLES_DIR "/post-game.json");
    EXPECT_NE(Output().find("expectations checked, 0 failed"), std::string::npos) << Output();
    const httplib::Result transcript = Send("GET", "/host/transcript");
    EXPECT_NE(transcript->body.find("/qiv-pre-end-of-game/v1/complete/honor-vote"), std::string::npos);
    EXPECT_EQ(Send("GET", "/qiv-honor-v2/v1/config")->status, 200);
}

TEST_F(Served, DescribesTheHonorPluginsApiAsOpenApiAndAsHelpRecords) {
    Serve(QIV_PLUGIN_PATH);
    const std::string ballot = "/paths/~1qiv-honor-v2~1v1~1ballot/get", schemas = "/components/schemas/";
    CheckOpenApi(Send("GET", "/openapi.json")->body, {
        {ballot + "/operationId", "\"GetQivHonorV2V1Ballot\""},
        {ballot + "/responses/200/content/application~1json/schema/$ref", "\"#/components/schemas/QivHonorV2Ballot\""},
        {"/paths/~1qiv-honor-v2~1v1~1honor-player/post/requestBody/content/application~1json/schema/$ref",
         "\"#/components/schemas/QivHonorV2ApiHonorPlayerServerRequest\""},
        {schemas + "QivHonorV2Ballot/properties",
         R"({"eligiblePlayers":{"type":"array","items":{"$ref":"#/components/schemas/QivHonorV2EligiblePlayer"}},)"
         R"("gameId":{"type":"integer","minimum":0,"maximum":18446744073709551615}})"},
        {schemas + "BindingHelpFormat/enum", R"(["Epytext","Full"])"},
    });
    rapidjson::Document help;
    ASSERT_FALSE(help.Parse(Send("GET", "/help")->body.c_str()).HasParseError());
    const auto named = [&](const char* list, const std::string& name) {
        for (const rapidjson::Value& entry : help[list].GetArray()) {
            if (name == entry["name"].GetString()) return Compact(entry);
        }
        return std::string();
    };
    EXPECT_EQ(named("functions", "PostQivHonorV2V1HonorPlayer"),
              R"({"name":"PostQivHonorV2V1HonorPlayer","nameSpace":"","arguments":[{"name":"honorPlayerRequest",)"
              R"("description":"","type":{"type":"QivHonorV2ApiHonorPlayerServerRequest","elementType":""},)"
              R"("optional":false}],"returns":{"type":"string","elementType":""},"description":"","help":"",)"
              R"("threadSafe":false,"async":"","tags":["Plugins","Plugin qiv-honor-v2"]})");
    EXPECT_EQ(named("types", "BindingHelpFormat"),
              R"({"name":"BindingHelpFormat","nameSpace":"","size":4,"description":"Help format for binding )"
              R"(functions and types.","tags":["$builtin","help"],"fields":[],"values":[{"name":"Epytext",)"
              R"("description":"Python epytext format","value":2},{"name":"Full","description":"Native help format",)"
              R"("value":1}]})");
    EXPECT_EQ(named("events", "OnCallback"),
              R"({"name":"OnCallback","nameSpace":"","type":{"type":"BindingCallbackEvent","elementType":""},)"
              R"("description":"Fired when a callback is invoked.","tags":["$builtin"]})");
}

TEST_F(Served, ThePageCallsARouteAndShowsTheEventItCaused) {
    Serve(QIV_FAKE_PLUGIN_PATH);
    CheckOpenApi(Send("GET", "/openapi.json")->body, {
        {"/paths/~1fake~1{command}/delete/operationId", "\"FakeByCommand.delete\""},
        {"/paths/~1fake~1{command}/get/parameters", R"([{"name":"command","in":"path","required":true,"schema":{}}])"},
        {"/paths/~1fake-get-only/get/operationId", "\"GetFakeGetOnly\""},
        {"/paths/~1fake-get-only/post", ""},
    });
    EXPECT_EQ(Send("GET", "/")->get_header_value("Content-Type"), "text/html; charset=utf-8");
    if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "Chromium is missing: scripts/install-deps.sh installs it";
    const std::string url = "http://127.0.0.1:" + std::to_string(session->Port()) +
                            "/?set=/page/seen&value=%7B%22a%22%3A1%7D&call=GET%20/fake/dispatch%3Fname%3DPageSaw%26text%3Dhi";
    const auto [dom, status] = RunCommand("timeout 60 /usr/bin/chromium --headless --no-sandbox --disable-gpu "
                                          "--virtual-time-budget=10000 --dump-dom '" + url + "' 2>/dev/null");
    if (dom.empty()) GTEST_SKIP() << "Chromium did not start (exit status " << status << ")";
    for (const char* part : {"<span class=\"path\">/fake-get-only</span>", "data-scripted=\"done\"",
                             "id=\"stream-state\">live<", "id=\"call-status\">200<",
                             "<li data-event=\"PageSaw\"><span class=\"name\">PageSaw</span>", "\"text\": \"hi\"",
                             "\"change\": \"Create\""}) {
        EXPECT_NE(dom.find(part), std::string::npos) << part << "\n" << dom;
    }
    EXPECT_EQ(Send("GET", "/host/resources/page/seen")->body, "{\"a\":1}");
}

TEST_F(Served, RefusesBodiesOverEightMebibytesHoweverTheyAreSent) {
    Serve(QIV_FAKE_PLUGIN_PATH);
    const std::string body((std::size_t{8} << 20) + 1, ' ');
    EXPECT_EQ(Send("POST", "/fake/echo", body)->status, 413);
    const httplib::Result chunked = client->Post(
        "/fake/echo",
        [&](std::size_t offset, httplib::DataSink& sink) {
            if (offset < body.size()) return sink.write(body.data() + offset, std::min<std::size_t>(65536, body.size() - offset));
            sink.done();
            return true;
        },
        "application/json");
    ASSERT_TRUE(chunked);
    ASSERT_EQ(chunked->status, 413);
    EXPECT_EQ(chunked->body, "{\"error\":\"Request body too large\"}");
    EXPECT_EQ(Send("POST", "/fake/echo", body.substr(1))->status, 200);
}

TEST(ServeApiDescription, ReadsOnlyWhatTheTablesHoldAndPlacesEveryArgument) {
    ApiArgumentDescription arguments[3]{};
    const char* names[] = {"Id", "X-Token", "filter"};
    const std::uint32_t codes[] = {12, 7, 17};
    for (int i = 0; i < 3; ++i) {
        arguments[i].name = names[i];
        arguments[i].type = codes[i];
        arguments[i].next = i < 2 ? &arguments[i + 1] : nullptr;
    }
    arguments[2].typeName = "Thing";
    const RouteArgumentLocation locations[3] = {{0, QIV_ARGUMENT_LOCATION_ANY}, {0, QIV_ARGUMENT_LOCATION_HEADER},
                                                {0, QIV_ARGUMENT_LOCATION_ANY}};
    RouteFunctionEntry entries[3]{};
    const char* functions[] = {"GetThings", "PurgeThings", "ShadowedByGetThings"};
    const std::uint32_t methods[] = {QIV_HTTP_GET, QIV_HTTP_CUSTOM, QIV_HTTP_GET};
    for (int i = 0; i < 3; ++i) {
        entries[i].function.name = functions[i];  // every other text null: read as empty
        entries[i].pathTemplate = "/things/{Id}/{+rest}";
        entries[i].method = methods[i];
        entries[i].methodWord = "PURGE";
    }
    entries[0].function.arguments = arguments;
    entries[0].function.argumentCount = 3;
    entries[0].argumentLocations = locations;
    entries[0].function.resultType = 15;
    entries[0].function.resultElementType = 17;
    entries[0].function.resultTypeName = "Thing";
    ApiFieldDescription fields[2] = {{&fields[1], "b", "", 0, 6, 0, "", 0}, {nullptr, "a", "How it feels", 4, 16, 0, "ns::Mood", 1}};
    ApiEnumeratorDescription moods[2] = {{&moods[1], "Glad", "", 1}, {nullptr, "Sad", "", 2}};
    ApiTypeDescription types[2]{};
    types[0] = {&types[1], "Thing", "", 8, "", nullptr, 0, fields, nullptr, 2};
    types[1] = {nullptr, "ns::Mood", "", 4, "", nullptr, 0, nullptr, moods, 7};  // counts past the lists' ends
    ApiEventDescription event{nullptr, "ThingChanged", "", "Thing", "", nullptr, 0};
    const RouteTableDescriptor table{entries, 3, types, 9, &event, 1};
    const ApiHelp help = ReadApiHelp(&table);
    CheckFacts(ApiHelpJson(help), {
        {"/types/2", ""},
        {"/types/1/values", R"([{"name":"Glad","description":"","value":1},{"name":"Sad","description":"","value":2}])"},
        {"/functions/0/returns", R"({"type":"vector","elementType":"Thing"})"},
        {"/functions/0/arguments/2/type", R"({"type":"Thing","elementType":""})"},
        {"/functions/1/help", "\"\""},
        {"/events/0/type", R"({"type":"Thing","elementType":""})"},
    });
    const std::vector<RouteInfo> routes = ReadRouteTable(&table);
    const std::string path = "/paths/~1things~1{Id}~1{rest}";
    CheckOpenApi(OpenApiDocument(OpenApiSource{"things", "1.2.3", &routes, &help}), {
        {path + "/get/operationId", "\"GetThings\""},
        {path + "/get/parameters",
         R"([{"name":"Id","in":"path","required":true,"schema":{"type":"string"}},{"name":"rest","in":"path",)"
         R"("required":true,"description":"The rest of the path, slashes included.","schema":{"type":"string"}},)"
         R"({"name":"x-token","in":"header","required":true,"schema":{"type":"integer","minimum":0,"maximum":4294967295}},)"
         R"({"name":"filter","in":"query","required":true,"description":"Also taken from the header \"filter\".",)"
         R"("content":{"application/json":{"schema":{"$ref":"#/components/schemas/Thing"}}}}])"},
        {path + "/get/x-qiv-arguments/1", R"({"name":"X-Token","location":"Header"})"},
        {path + "/x-qiv-methods/PURGE/operationId", "\"PurgeThings\""},
        {"/components/schemas/Thing/properties",
         R"({"b":{"type":"integer","format":"int32","minimum":-2147483648,"maximum":2147483647},)"
         R"("a":{"allOf":[{"$ref":"#/components/schemas/ns__Mood"}],"description":"How it feels"}})"},
        {"/components/schemas/ns__Mood/enum", R"(["Glad","Sad"])"},
        {"/x-qiv-events/0/payload/$ref", "\"#/components/schemas/Thing\""},
    });
}

TEST(ServeGuard, AcceptsLoopbackNamesOnly) {
    const struct {
        const char* host;
        bool allowed;
        bool allowedWhenListeningBeyondLoopback;
    } cases[] = {
        {"localhost", true, true},      {"LocalHost:8080", true, true}, {"127.0.0.1:5", true, true},
        {"127.9.9.9", true, true},      {"[::1]:80", true, true},       {"[::1]", true, true},
        {"192.168.1.4:80", false, true}, {"[fe80::1]", false, true},    {"evil.example", false, false},
        {"localhost.evil.example", false, false}, {"127.0.0.1.nip.example", false, false},
        {"localhost:", false, false},   {"localhost:80:80", false, false}, {"::1", false, false},
        {"[::1", false, false},         {"", false, false},             {"localhost:8x", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostHeaderAllowed(c.host, false), c.allowed) << c.host;
        EXPECT_EQ(HostHeaderAllowed(c.host, true), c.allowedWhenListeningBeyondLoopback) << c.host;
    }
    EXPECT_TRUE(OriginAllowed("http://localhost:3000", false));
    EXPECT_FALSE(OriginAllowed("null", true));
    EXPECT_FALSE(OriginAllowed("http://evil.example", true));
    EXPECT_EQ(RefusalOf(2, "localhost", std::nullopt, false), "A request needs exactly one Host header");
}

TEST(ServeEventHub, CutsOffAReaderThatFallsBehindAndNeverBlocksThePublisher) {
    EventStreamHub hub(2, 1);
    const std::uint64_t reader = hub.Join();
    EXPECT_EQ(hub.Join(), 0u) << "one reader at most";
    for (int i = 0; i < 3; ++i) hub.Publish(StreamedEvent{"E", std::to_string(i)});
    StreamedEvent event;
    EXPECT_EQ(hub.Next(reader, 0ms, event), StreamWait::CutOff);
    hub.Leave(reader);
    const std::uint64_t again = hub.Join();
    EXPECT_EQ(hub.Next(again, 1ms, event), StreamWait::Idle);
    hub.Close();
    EXPECT_EQ(hub.Next(again, 1h, event), StreamWait::Closed);
}

}  // namespace
}  // namespace qivhost
