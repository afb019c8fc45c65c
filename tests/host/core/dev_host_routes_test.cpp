// Loading, the route table and calls of the plug-in's REST API.
#include <gtest/gtest.h>

#include "host/fake_plugin_host.h"

namespace qivhost {
namespace {

using DevHostRoutes = FakePluginHost;

// Reading the route table is checked through "qiv-host routes" (CMakeLists) and
// HonorRoutes.TheRouteTableListsTheFifteenRoutesInOrder; headers and content type through
// "qiv-host call" (host.QivHostCallsARoute).
TEST_F(DevHostRoutes, BuildsTheIncomingRequestFromTheCall) {
    RestCall call;
    call.method = "PURGE";
    call.url = "/fake/echo?x=1";
    call.body = std::string("{\"a\":1}\0tail", 12);
    call.parameters = {{"", "[1,-2]"}, {"named", "\"v\""}};
    const RestAnswer answer = host.Call(call);
    ASSERT_TRUE(answer.reachedPlugin);
    const rapidjson::Document echo = Parse(answer.bodyJson);
    EXPECT_EQ(echo["method"].GetUint(), 8u);
    EXPECT_STREQ(echo["methodWord"].GetString(), "PURGE");
    EXPECT_STREQ(echo["body"].GetString(), "{\"a\":1}");  // texts end at their NUL
    EXPECT_EQ(echo["bodyLength"].GetUint(), 12u) << "the body is counted bytes, not a text";
    EXPECT_EQ(echo["clientHandle"].GetUint(), kUserInterfaceHandle);
    EXPECT_EQ(echo["parameters"][0][1].GetInt(), -2);
    EXPECT_STREQ(echo["parameters"][1].GetString(), "v");
}

TEST_F(DevHostRoutes, AnswersOfTheRouterAndOfTheHostItself) {
    const struct {
        const char* method;
        const char* url;
        const char* parameter;  // JSON text of parameter "p"; null: none
        std::int32_t status;
        const char* error;  // null: none
        bool reachedPlugin;
    } cases[] = {
        {"GET", "/fake-get-only", nullptr, 200, nullptr, true},
        {"PUT", "/fake-get-only", nullptr, 404, "Invalid function", true},
        {"GET", "/nothing", nullptr, 404, "No route for GET /nothing", false},
        {"GET", "/fake/echo", "{oops", 400, "Parameter p is not JSON: Missing a name for object member. (at offset 1)",
         false},
    };
    for (const auto& c : cases) {
        RestCall call;
        call.method = c.method;
        call.url = c.url;
        if (c.parameter != nullptr) call.parameters = {{"p", c.parameter}};
        const RestAnswer answer = host.Call(call);
        EXPECT_EQ(answer.status, c.status) << c.method << " " << c.url;
        EXPECT_EQ(answer.errorText.value_or("(none)"), c.error == nullptr ? "(none)" : c.error) << c.url;
        EXPECT_EQ(answer.reachedPlugin, c.reachedPlugin) << c.url;
        EXPECT_EQ(answer.released, c.reachedPlugin) << c.url;
    }
}

TEST_F(DevHostRoutes, ReadsAStreamedAnswerToItsEnd) {
    const RestAnswer answer = host.Call("GET", "/fake/stream");
    EXPECT_TRUE(answer.streamed);
    EXPECT_FALSE(answer.streamFailed);
    EXPECT_EQ(answer.bodyJson, "abcde");
    EXPECT_TRUE(answer.released);
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
    EXPECT_EQ(twice.Call("GET", "/fake-get-only").status, 503) << "not initialized";
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
