// The route match of HandleCall: methods, literal and templated paths, trailing slashes and
// the decoding of path variables, each call made through the route table as a host makes it.
// How templates match URLs in detail is route_pattern_test's; here the router's own part.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "router_test_support.h"

namespace router_test {
namespace {

class RouteDispatchTest : public ::testing::Test, public RouterFixture {
protected:
    void SetUp() override {
        registry.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/ballot", &service, &Service::ContextByValue);
        registry.AddRoute(HttpMethod::None, "/any", &service, &Service::ContextByValue);
        registry.AddRoute("PURGE", "/cache", &service, &Service::ContextByValue);
        registry.AddRoute(HttpMethod::Get, "/a/b/", &service, &Service::ContextByValue);
        registry.AddRoute(HttpMethod::Post, "/", &service, &Service::ContextByValue);
        registry.AddRoute(HttpMethod::Get, "", &service, &Service::ContextByValue);
        registry.AddRoute(HttpMethod::Get, "/items/{id}", &service, &Service::Echo);
        registry.AddRoute(HttpMethod::Get, "/files/{+path}", &service, &Service::Echo);
    }
};

TEST_F(RouteDispatchTest, MatchesMethodAndPath) {
    struct Case {
        const char* function;
        std::uint32_t method;
        std::optional<std::string> word;
        std::string url;
        std::optional<std::string> expected;  // the echoed URL or path variable; nullopt: 404
    };
    const std::string ballot = "/qiv-honor-v2/v1/ballot";
    const Case cases[] = {
        {"GetQivHonorV2V1Ballot", kGet, {}, ballot, ballot},
        {"GetQivHonorV2V1Ballot", kPut, {}, ballot, std::nullopt},
        {"GetQivHonorV2V1Ballot", 0, {}, ballot, std::nullopt},
        {"GetQivHonorV2V1Ballot", kGet, {}, ballot + "s", std::nullopt},
        {"GetQivHonorV2V1Ballot", kGet, {}, ballot + "?", ballot + "?"},  // the query is left to binding
        {"GetQivHonorV2V1Ballot", kGet, {}, "/QIV-honor-v2/v1/ballot", std::nullopt},
        // HttpMethod::None accepts every method, even codes outside 1 to 8.
        {"Any", QIV_HTTP_DELETE, {}, "/any", "/any"},
        {"Any", kPost, {}, "/any", "/any"},
        {"Any", kCustom, "PURGE", "/any", "/any"},
        {"Any", 99, {}, "/any", "/any"},
        // A custom method compares words exactly, and only for the custom code.
        {"PurgeCache", kCustom, "PURGE", "/cache", "/cache"},
        {"PurgeCache", kCustom, "purge", "/cache", std::nullopt},
        {"PurgeCache", kCustom, std::nullopt, "/cache", std::nullopt},
        {"PurgeCache", kPost, "PURGE", "/cache", std::nullopt},
        // A trailing slash is dropped from the template, except from the root.
        {"GetAB", kGet, {}, "/a/b", "/a/b"},
        {"GetAB", kGet, {}, "/a/b/", std::nullopt},
        {"Post", kPost, {}, "/", "/"},
        // A function without a path matches its name.
        {"Get", kGet, {}, "Get", "Get"},
        {"Get", kGet, {}, "/", std::nullopt},
        // Variables are decoded; the query is cut off before the match and may set them.
        {"GetItemsById", kGet, {}, "/items/a%20b", "a b"},
        {"GetItemsById", kGet, {}, "/items/a?", "a"},
        {"GetFilesByPath", kGet, {}, "/files/a%2Fb", "a/b"},
        {"GetFilesByPath", kGet, {}, "/files/a/b?path=q", "q"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.url);
        TestRequest request(test.method, test.url);
        if (test.word) request.Word(*test.word);
        const Answer answer = Call(test.function, request);
        if (!test.expected) {
            EXPECT_EQ(answer.status, 404);
            EXPECT_EQ(answer.errorText, std::optional<std::string>("Invalid function"));
            EXPECT_EQ(answer.errorFlag, 1);
            continue;
        }
        EXPECT_EQ(answer.errorText, std::nullopt);
        EXPECT_EQ(answer.body.GetString(), *test.expected);
    }
    EXPECT_EQ(registry.FindRoute("GetAB")->pathTemplate, "/a/b");
    EXPECT_EQ(registry.FindRoute("Get")->pathTemplate, "");
}

TEST_F(RouteDispatchTest, EmptySegmentIsNoValueForAStringArgument) {
    TestRequest empty(kGet, "/items/");
    const Answer answer = Call("GetItemsById", empty);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.errorText, std::optional<std::string>("Expected value for argument 'id'."));
}

TEST_F(RouteDispatchTest, MegabyteUrlIsMatchedAndDecoded) {
    TestRequest escaped(kGet, "/files/" + std::string(1 << 20, '%'));
    EXPECT_EQ(Call("GetFilesByPath", escaped).body.GetString().size(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace router_test
