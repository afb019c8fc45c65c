#include "core/plugin_routes.h"

#include <gtest/gtest.h>

namespace qivhost {
namespace {

TEST(PluginRoutes, TemplatesMatchLikeTheRouter) {
    const struct {
        const char* pathTemplate;
        const char* path;
        bool matches;
    } cases[] = {
        {"/qiv-honor-v2/v1/ballot", "/qiv-honor-v2/v1/ballot/", false},
        {"/x.y", "/xzy", false},
        {"/items/{id}", "/items/a%20b", true},
        {"/items/{id}", "/items/", true},
        {"/items/{id}", "/items/a/b", false},
        {"/items/{id}/tail", "/items//tail", true},
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

// The first entry whose path and method fit; else the first whose path fits, so that the
// plug-in answers the wrong method itself.
TEST(PluginRoutes, ChoosesByPathAndMethodAndFallsBackToThePathAlone) {
    const std::vector<RouteInfo> routes = {
        Route("PostThing", "/thing", QIV_HTTP_POST),
        Route("GetThing", "/thing", QIV_HTTP_GET),
        Route("PurgeThing", "/thing/{id}", QIV_HTTP_CUSTOM, "PURGE"),
        Route("AnyThing", "/thing/{id}", QIV_HTTP_NONE),
        Route("NoPath", "", QIV_HTTP_NONE),
    };
    const struct {
        std::uint32_t method;
        const char* word;
        const char* url;
        const char* chosen;  // null: no route
    } cases[] = {
        {QIV_HTTP_GET, "anything", "/thing", "GetThing"},  // the word counts only for custom methods
        {QIV_HTTP_POST, "POST", "/thing?x=1", "PostThing"},
        {QIV_HTTP_PUT, "PUT", "/thing", "PostThing"},
        {QIV_HTTP_CUSTOM, "PURGE", "/thing/7", "PurgeThing"},
        {QIV_HTTP_CUSTOM, "purge", "/thing/7", "AnyThing"},
        {QIV_HTTP_POST, "PURGE", "/thing/7", "AnyThing"},
        {QIV_HTTP_DELETE, "DELETE", "/NoPath", "NoPath"},
        {QIV_HTTP_GET, "GET", "/other", nullptr},
    };
    for (const auto& c : cases) {
        const RouteInfo* route = ChooseRoute(routes, c.method, c.word, c.url);
        EXPECT_EQ(route == nullptr ? "(none)" : route->name, c.chosen == nullptr ? "(none)" : c.chosen)
            << c.word << " " << c.url;
    }
}

TEST(PluginRoutes, ReadsNothingFromAMissingOrEmptyTable) {
    EXPECT_TRUE(ReadRouteTable(nullptr).empty());
    RouteTableDescriptor empty{};
    empty.functionCount = 5;  // no array: nothing to read
    EXPECT_TRUE(ReadRouteTable(&empty).empty());
}

}  // namespace
}  // namespace qivhost
