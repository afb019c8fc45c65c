// Loading, the route table and calls of the plug-in's REST API.
#include <gtest/gtest.h>

#include "fake_plugin_host.h"

namespace qivhost {
namespace {

using DevHostRoutes = FakePluginHost;

// Reading the route table is checked through "qiv-host routes" (CMakeLists) and
// HonorRoutes.TheRouteTableListsTheFifteenRoutesInOrder.
TEST_F(DevHostRoutes, BuildsTheIncomingRequestFromTheCall) {
    RestCall call;
    call.method = "PURGE";
    call.url = "/fake/echo?x=1";
    call.headers = {{"x-one", "1"}, {"x-two", "2"}};
    call.body = std::string("{\"a\":1}\0tail", 12);
    call.contentType = "application/json; charset=utf-8";
    call.parameters = {{"", "[1,-2]"}, {"named", "\"v\""}};
    const RestAnswer answer = host.Call(call);
    ASSERT_TRUE(answer.reachedPlugin);
    EXPECT_EQ(answer.routeName, "FakeByCommand");
    const rapidjson::Document echo = Parse(answer.bodyJson);
    EXPECT_EQ(echo["method"].GetUint(), 8u);
    EXPECT_STREQ(echo["methodWord"].GetString(), "PURGE");
    EXPECT_STREQ(echo["contentType"].GetString(), "application/json; charset=utf-8");
    EXPECT_STREQ(echo["body"].GetString(), "{\"a\":1}");  // texts end at their NUL
    EXPECT_EQ(echo["bodyLength"].GetUint(), 12u) << "the body is counted bytes, not a text";
    EXPECT_EQ(echo["clientHandle"].GetUint(), kUserInterfaceHandle);
    EXPECT_STREQ(echo["headers"]["x-two"].GetString(), "2");
    EXPECT_EQ(echo["parameters"][0][1].GetInt(), -2);
    EXPECT_STREQ(echo["parameters"][1].GetString(), "v");
    EXPECT_TRUE(answer.released);
}

TEST_F(DevHostRoutes, AnswersOfTheRouterAndOfTheHostItself) {
    const struct {
        const char* method;
        const char* url;
        std::int32_t status;
        const char* error;  // null: none
        bool reachedPlugin;
    } cases[] = {
        {"GET", "/fake-get-only", 200, nullptr, true},
        {"PUT", "/fake-get-only", 404, "Invalid function", true},
        {"GET", "/nothing", 404, "No route for GET /nothing", false},
        {"GET", "/fake/a/b", 404, "No route for GET /fake/a/b", false},
    };
    for (const auto& c : cases) {
        const RestAnswer answer = host.Call(c.method, c.url);
        EXPECT_EQ(answer.status, c.status) << c.method << " " << c.url;
        EXPECT_EQ(answer.errorText.value_or("(none)"), c.error == nullptr ? "(none)" : c.error) << c.url;
        EXPECT_EQ(answer.reachedPlugin, c.reachedPlugin) << c.url;
        EXPECT_EQ(answer.released, c.reachedPlugin) << c.url;
    }
}

TEST_F(DevHostRoutes, RefusesParametersThatAreNotJson) {
    RestCall call;
    call.url = "/fake/echo";
    call.parameters = {{"p", "{oops"}};
    const RestAnswer answer = host.Call(call);
    EXPECT_EQ(answer.status, 400);
    EXPECT_FALSE(answer.reachedPlugin);
    EXPECT_EQ(answer.errorText.value_or(""), "Parameter p is not JSON: Missing a name for object member. (at offset 1)");
}

TEST_F(DevHostRoutes, ReadsAStreamedAnswerToItsEnd) {
    const RestAnswer answer = host.Call("GET", "/fake/stream");
    EXPECT_TRUE(answer.streamed);
    EXPECT_FALSE(answer.streamFailed);
    EXPECT_EQ(answer.bodyJson, "abcde");
    EXPECT_TRUE(answer.released);
}

TEST_F(DevHostRoutes, TheTranscriptShowsBothDirectionsInOrder) {
    (void)host.Call("GET", "/fake/log?level=0&text=hello");
    const std::vector<HostCall>& all = host.History().Calls();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[all.size() - 3].slot, "-> HandleCall");
    EXPECT_EQ(all[all.size() - 3].detail, "FakeByCommand: GET \"/fake/log?level=0&text=hello\"");
    EXPECT_EQ(all[all.size() - 2].slot, "WriteLog");
    EXPECT_EQ(all[all.size() - 1].slot, "<- HandleCall");
    EXPECT_EQ(all[all.size() - 1].detail, "status 200, body {}");
    EXPECT_EQ(all.front().slot, "-> Initialize");
    for (const HostCall& call : host.Calls()) EXPECT_NE(call.slot.substr(0, 2), "->");
}

// A library every process of the system can load, and which is no plug-in.
#ifdef _WIN32
constexpr const char* kSystemLibrary = "kernel32.dll";
#else
constexpr const char* kSystemLibrary = "libm.so.6";
#endif

TEST(DevHostLoading, RefusesAMissingLibraryOneWithoutTheEntryOrASecondPlugin) {
    DevHost missing;
    EXPECT_FALSE(missing.Load("/nonexistent/qpx-be-missing.so", HostVersion{}));
    EXPECT_NE(missing.Error().find("cannot load /nonexistent/qpx-be-missing.so"), std::string::npos);
    EXPECT_FALSE(missing.Initialize());

    DevHost notAPlugin;
    EXPECT_FALSE(notAPlugin.Load(kSystemLibrary, HostVersion{}));
    EXPECT_EQ(notAPlugin.Error(), std::string(kSystemLibrary) + " does not export load_qiv_honor_v2");

    DevHost twice;
    ASSERT_TRUE(twice.Load(QIV_FAKE_PLUGIN_PATH, HostVersion{}));
    EXPECT_FALSE(twice.Load(QIV_FAKE_PLUGIN_PATH, HostVersion{}));
    EXPECT_EQ(twice.Error(), "a plug-in is already loaded");
    const RestAnswer early = twice.Call("GET", "/fake-get-only");
    EXPECT_EQ(early.status, 503);
    EXPECT_TRUE(twice.Calls().empty());
}

TEST(DevHostVersion, EachNumberIsAnUnsigned32BitDecimal) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {{"4294967295.0.0", true}, {"4294967296.0.0", false}, {"-1.0.0", false}, {"18.+1.0", false}};
    for (const auto& c : cases) {
        HostVersion version;
        EXPECT_EQ(ParseHostVersion(c.text, version), c.ok) << c.text;
    }
}

}  // namespace
}  // namespace qivhost
