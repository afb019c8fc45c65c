// The served host end to end: a ServeSession on a free loopback port, driven through real
// sockets with cpp-httplib's client.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serve/event_stream_hub.h"
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
