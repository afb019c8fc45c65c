// The route match of HandleCall: methods, literal and templated paths, trailing slashes and
// the decoding of path variables, each call made through the route table as a host makes it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "router_test_support.h"

namespace router_test {
namespace {

struct MatchCase {
    const char* label;
    std::uint32_t method;
    std::optional<std::string> word;
    std::string url;
    std::optional<std::string> expected;  // the echoed path variable; nullopt: 404
};

class RouteDispatchTest : public ::testing::Test, public RouterFixture {
protected:
    void Expect(const std::string& function, const std::vector<MatchCase>& cases) {
        for (const MatchCase& test : cases) {
            SCOPED_TRACE(test.label);
            TestRequest request(test.method, test.url);
            if (test.word) request.Word(*test.word);
            const Answer answer = Call(function, request);
            if (!test.expected) {
                EXPECT_EQ(answer.status, 404);
                EXPECT_EQ(answer.errorText, std::optional<std::string>("Invalid function"));
                EXPECT_EQ(answer.errorFlag, 1);
                continue;
            }
            EXPECT_EQ(answer.errorText, std::nullopt);
            EXPECT_EQ(answer.body.GetString(), *test.expected);
        }
    }
};

TEST_F(RouteDispatchTest, LiteralRouteAnswersOnlyItsMethodAndPath) {
    registry.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/ballot", &service, &Service::ContextByValue);
    Expect("GetQivHonorV2V1Ballot", {
        {"GET", kGet, {}, "/qiv-honor-v2/v1/ballot", "/qiv-honor-v2/v1/ballot"},
        {"PUT", kPut, {}, "/qiv-honor-v2/v1/ballot", std::nullopt},
        {"code 0", 0, {}, "/qiv-honor-v2/v1/ballot", std::nullopt},
        {"other path", kGet, {}, "/qiv-honor-v2/v1/ballots", std::nullopt},
        {"query left to binding", kGet, {}, "/qiv-honor-v2/v1/ballot?", "/qiv-honor-v2/v1/ballot?"},
        {"case matters", kGet, {}, "/QIV-honor-v2/v1/ballot", std::nullopt},
    });
}

TEST_F(RouteDispatchTest, MethodNoneAcceptsEveryMethod) {
    registry.AddRoute(HttpMethod::None, "/any", &service, &Service::ContextByValue);
    Expect("Any", {
        {"DELETE", QIV_HTTP_DELETE, {}, "/any", "/any"},
        {"POST", kPost, {}, "/any", "/any"},
        {"custom", kCustom, "PURGE", "/any", "/any"},
        {"code outside 1 to 8", 99, {}, "/any", "/any"},
    });
}

TEST_F(RouteDispatchTest, CustomMethodComparesWordsExactly) {
    registry.AddRoute("PURGE", "/cache", &service, &Service::ContextByValue);
    Expect("PurgeCache", {
        {"same word", kCustom, "PURGE", "/cache", "/cache"},
        {"lower case word", kCustom, "purge", "/cache", std::nullopt},
        {"no word", kCustom, std::nullopt, "/cache", std::nullopt},
        {"standard method", kPost, "PURGE", "/cache", std::nullopt},
    });
}

TEST_F(RouteDispatchTest, TrailingSlashIsDroppedFromTheTemplate) {
    registry.AddRoute(HttpMethod::Get, "/a/b/", &service, &Service::ContextByValue);
    registry.AddRoute(HttpMethod::Post, "/", &service, &Service::ContextByValue);
    Expect("GetAB", {
        {"without slash", kGet, {}, "/a/b", "/a/b"},
        {"with slash", kGet, {}, "/a/b/", std::nullopt},
    });
    Expect("Post", {{"root stays root", kPost, {}, "/", "/"}});
    EXPECT_EQ(registry.FindRoute("GetAB")->pathTemplate, "/a/b");
}

TEST_F(RouteDispatchTest, SegmentVariableTakesOneDecodedSegment) {
    registry.AddRoute(HttpMethod::Get, "/items/{id}", &service, &Service::Echo);
    Expect("GetItemsById", {
        {"percent escape", kGet, {}, "/items/a%20b", "a b"},
        {"plus", kGet, {}, "/items/x+y", "x y"},
        {"two segments", kGet, {}, "/items/a/b", std::nullopt},
        {"query after the path", kGet, {}, "/items/a?", "a"},
        {"missing slash", kGet, {}, "/items", std::nullopt},
    });
    // "/items/" matches with `id` empty; an empty text is no value for a string argument.
    TestRequest empty(kGet, "/items/");
    const Answer answer = Call("GetItemsById", empty);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.errorText, std::optional<std::string>("Expected value for argument 'id'."));
}

TEST_F(RouteDispatchTest, RestVariableTakesTheRestOfThePath) {
    registry.AddRoute(HttpMethod::Get, "/files/{+path}", &service, &Service::Echo);
    Expect("GetFilesByPath", {
        {"several segments", kGet, {}, "/files/a/b/c", "a/b/c"},
        {"decoded", kGet, {}, "/files/a%2Fb", "a/b"},
        {"query after the path", kGet, {}, "/files/a/b?path=q", "q"},
        {"other prefix", kGet, {}, "/filesa/b", std::nullopt},
    });
}

TEST_F(RouteDispatchTest, DotsAreLiteralInBothKindsOfTemplate) {
    registry.AddRoute(HttpMethod::Get, "/x.y", &service, &Service::ContextByValue);
    registry.AddRoute(HttpMethod::Get, "/d/{id}.json", &service, &Service::Echo);
    Expect("GetXY", {
        {"exact", kGet, {}, "/x.y", "/x.y"},
        {"any character", kGet, {}, "/xzy", std::nullopt},
    });
    Expect("GetDByIdJson", {
        {"exact", kGet, {}, "/d/7.json", "7"},
        {"any character", kGet, {}, "/d/7xjson", std::nullopt},
    });
}

TEST_F(RouteDispatchTest, FunctionWithoutPathMatchesItsName) {
    registry.AddRoute(HttpMethod::Get, "", &service, &Service::ContextByValue);
    EXPECT_EQ(registry.FindRoute("Get")->pathTemplate, "");
    Expect("Get", {
        {"the name", kGet, {}, "Get", "Get"},
        {"a path", kGet, {}, "/", std::nullopt},
    });
}

TEST_F(RouteDispatchTest, MegabyteUrlIsMatchedAndDecoded) {
    registry.AddRoute(HttpMethod::Get, "/files/{+path}", &service, &Service::Echo);
    registry.AddRoute(HttpMethod::Get, "/items/{id}/{n}", &service, &Service::Two);
    const std::string path(1 << 20, 'p');
    TestRequest rest(kGet, "/files/" + path);
    const Answer answer = Call("GetFilesByPath", rest);
    EXPECT_EQ(answer.body.GetString().size(), path.size());

    TestRequest noMatch(kGet, "/items/" + path);
    EXPECT_EQ(Call("GetItemsByIdByN", noMatch).status, 404);

    TestRequest escaped(kGet, "/files/" + std::string(1 << 20, '%'));
    EXPECT_EQ(Call("GetFilesByPath", escaped).body.GetString().size(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace router_test
