#include "route_table.h"

#include <gtest/gtest.h>

namespace qivhost {
namespace {

TEST(RouteTable, TemplatesMatchLikeTheRouter) {
    const struct {
        const char* pathTemplate;
        const char* path;
        bool matches;
    } cases[] = {
        {"/qiv-honor-v2/v1/ballot", "/qiv-honor-v2/v1/ballot", true},
        {"/qiv-honor-v2/v1/ballot", "/qiv-honor-v2/v1/ballot/", false},
        {"/x.y", "/x.y", true},
        {"/x.y", "/xzy", false},
        {"/items/{id}", "/items/a%20b", true},
        {"/items/{id}", "/items/", true},
        {"/items/{id}", "/items/a/b", false},
        {"/items/{id}/tail", "/items/a/tail", true},
        {"/items/{id}/tail", "/items//tail", true},
        {"/files/{+path}", "/files/a/b/c", true},
        {"/files/{+path}", "/files/", true},
        {"/files/{+path}/end", "/files/a/b/end", true},
        {"/page{#part}", "/page#x/y", true},
        {"/page{#part}", "/page", false},
        {"/a/{x}-{y}", "/a/1-2", true},
        {"/broken/{x", "/broken/1", false},
        {"/", "/", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TemplateMatches(c.pathTemplate, c.path), c.matches) << c.pathTemplate << " vs " << c.path;
    }
}

RouteInfo Route(const char* name, const char* pathTemplate, std::uint32_t method, const char* methodWord = "") {
    RouteInfo route;
    route.name = name;
    route.pathTemplate = pathTemplate;
    route.method = method;
    route.methodWord = methodWord;
    return route;
}

std::vector<RouteInfo> Routes() {
    return {Route("GetThing", "/thing", QIV_HTTP_GET), Route("PostThing", "/thing", QIV_HTTP_POST),
            Route("PurgeThing", "/thing/{id}", QIV_HTTP_CUSTOM, "PURGE"), Route("NoPath", "", QIV_HTTP_NONE)};
}

TEST(RouteTable, ChoosesByPathAndMethodAndFallsBackToThePathAlone) {
    const std::vector<RouteInfo> routes = Routes();
    const struct {
        std::uint32_t method;
        const char* word;
        const char* url;
        const char* chosen;  // null: no route
    } cases[] = {
        {QIV_HTTP_GET, "GET", "/thing", "GetThing"},
        {QIV_HTTP_POST, "POST", "/thing?x=1", "PostThing"},
        {QIV_HTTP_PUT, "PUT", "/thing", "GetThing"},  // the plug-in answers the wrong method
        {QIV_HTTP_CUSTOM, "PURGE", "/thing/7", "PurgeThing"},
        {QIV_HTTP_CUSTOM, "PURGEX", "/thing/7", "PurgeThing"},
        {QIV_HTTP_DELETE, "DELETE", "/NoPath", "NoPath"},
        {QIV_HTTP_GET, "GET", "/other", nullptr},
    };
    for (const auto& c : cases) {
        const RouteInfo* route = ChooseRoute(routes, c.method, c.word, c.url);
        if (c.chosen == nullptr) {
            EXPECT_EQ(route, nullptr) << c.url;
            continue;
        }
        ASSERT_NE(route, nullptr) << c.url;
        EXPECT_EQ(route->name, c.chosen) << c.word << " " << c.url;
    }
}

TEST(RouteTable, MethodWordsMatterOnlyForCustomMethods) {
    const std::vector<RouteInfo> routes = Routes();
    EXPECT_TRUE(MethodAccepts(routes[2], QIV_HTTP_CUSTOM, "PURGE"));
    EXPECT_FALSE(MethodAccepts(routes[2], QIV_HTTP_CUSTOM, "purge"));
    EXPECT_FALSE(MethodAccepts(routes[2], QIV_HTTP_POST, "PURGE"));
    EXPECT_TRUE(MethodAccepts(routes[3], QIV_HTTP_HEAD, "HEAD"));
    EXPECT_TRUE(MethodAccepts(routes[0], QIV_HTTP_GET, "anything"));
}

TEST(RouteTable, ReadsNothingFromAMissingOrEmptyTable) {
    EXPECT_TRUE(ReadRouteTable(nullptr).empty());
    RouteTableDescriptor empty{};
    empty.functionCount = 5;  // no array: nothing to read
    EXPECT_TRUE(ReadRouteTable(&empty).empty());
}

}  // namespace
}  // namespace qivhost
