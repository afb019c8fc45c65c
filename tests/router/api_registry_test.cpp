// Declaring routes in the API registry and the route table handed to the host: names,
// argument and result types, failed declarations, and the packed entries read field by
// field as a host reads them.
#include "router/api_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/api_description.h"
#include "router/api_name.h"
#include "router_test_support.h"
#include "support/binding_describe.h"

namespace router_test {
namespace {

class ApiRegistryTest : public ::testing::Test, public RouterFixture {};

// A method, or a standard method's word, declares its code without a word; any other word
// declares method 8 and keeps the word. How names are made is ToApiName's (below).
TEST_F(ApiRegistryTest, RoutesKeepTheirMethodAndWord) {
    registry.AddRoute(HttpMethod::Delete, "/items/{+rest}", &service, &Service::Echo);
    registry.AddRoute(HttpMethod::None, "/plain", &service, &Service::Echo);
    registry.AddRoute("PURGE", "/cache/{key}", &service, &Service::Echo);
    registry.AddRoute("PUT", "/word", &service, &Service::Echo);
    const struct { const char* name; HttpMethod method; const char* word; } cases[] = {
        {"DeleteItemsByRest", HttpMethod::Delete, ""}, {"Plain", HttpMethod::None, ""},
        {"PurgeCacheByKey", HttpMethod::Custom, "PURGE"}, {"PutWord", HttpMethod::Put, ""},
    };
    for (const auto& c : cases) {
        const RouteBinding* route = registry.FindRoute(c.name);
        ASSERT_NE(route, nullptr) << c.name;
        EXPECT_EQ(route->method, c.method) << c.name;
        EXPECT_EQ(route->methodWord, c.word) << c.name;
    }
}

TEST_F(ApiRegistryTest, DeclarationFailuresLeaveTheRegistryUnchanged) {
    ASSERT_TRUE(registry.AddRoute(HttpMethod::Get, "/x", &service, &Service::Echo).IsOpen());
    const std::size_t functions = registry.FunctionCount();
    Service* none = nullptr;
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Get, "/y", none, &Service::Ack).IsOpen()) << "no object";
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Custom, "/z", &service, &Service::Ack).IsOpen()) << "no word";
    EXPECT_FALSE(registry.AddRoute(HttpMethod::None, "", &service, &Service::Ack).IsOpen()) << "empty name";
    EXPECT_EQ(registry.FunctionCount(), functions);
    EXPECT_EQ(registry.RouteCount(), 1u);
}

// A name declared again is one function whose later declaration wins, until the host has
// its table: from then on the bindings the table points to stay as they are.
TEST_F(ApiRegistryTest, DeclaringANameAgainUpdatesItsFunctionUntilTheTableIsBuilt) {
    registry.AddRoute(HttpMethod::Get, "/x", &service, &Service::Echo).Argument("text");
    ASSERT_TRUE(registry.AddRoute(HttpMethod::Get, "/x/", &service, &Service::Two).Argument("id").IsOpen());
    EXPECT_EQ(registry.FunctionCount(), 1u);
    EXPECT_EQ(registry.RouteCount(), 1u);
    const FunctionRecord* function = registry.FindFunction("GetX");
    ASSERT_NE(function, nullptr);
    ASSERT_EQ(function->arguments.size(), 2u);
    EXPECT_EQ(function->arguments[0].name, "id");
    EXPECT_EQ(function->arguments[1].name, "arg1") << "the later declaration's defaults";
    EXPECT_EQ(vclient::testing_support::Describe(Get("GetX", "/x?id=a&arg1=2").body), "\"a:2\"");
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Get, "/x", &service, &Service::Echo).IsOpen()) << "table built";
    EXPECT_EQ(vclient::testing_support::Describe(Get("GetX", "/x?id=b&arg1=3").body), "\"b:3\"");
}

TEST_F(ApiRegistryTest, ArgumentsAndResultFollowTheSignature) {
    registry.SetApiTags({"Plugins", "Plugin test"});
    registry.AddRoute(HttpMethod::Get, "/items/{id}/{n}", &service, &Service::Two);
    registry.AddRoute(HttpMethod::Post, "/items", &service, &Service::PostItem).Body("item", "The item");
    registry.AddRoute(HttpMethod::Post, "/context", &service, &Service::Context);
    registry.AddRoute(HttpMethod::Post, "/ack", &service, &Service::Ack);
    registry.AddRoute(HttpMethod::Get, "/maybe", &service, &Service::Maybe);
    registry.AddRoute(HttpMethod::Get, "/attributes", &service, &Service::Attributes);
    registry.AddRoute(HttpMethod::Get, "/filter", &service, &Service::Filter);

    const FunctionRecord& two = *registry.FindFunction("GetItemsByIdByN");
    ASSERT_EQ(two.arguments.size(), 2u);
    EXPECT_EQ(two.arguments[0].name, "id");
    EXPECT_EQ(two.arguments[1].name, "n");
    EXPECT_EQ(two.arguments[1].type.type, BindingType::Int32);
    EXPECT_EQ(two.result.type, BindingType::String);
    EXPECT_EQ(two.tags, (std::vector<std::string>{"Plugins", "Plugin test"}));

    const FunctionRecord& post = *registry.FindFunction("PostItems");
    ASSERT_EQ(post.arguments.size(), 1u);
    EXPECT_EQ(post.arguments[0].name, "item");
    EXPECT_EQ(post.arguments[0].description, "The item");
    EXPECT_EQ(post.arguments[0].type.type, BindingType::Struct);
    EXPECT_EQ(post.arguments[0].type.record, registry.FindByName("Item"));
    EXPECT_EQ(post.result.record, registry.FindByName("Item"));
    EXPECT_EQ(registry.FindRoute("PostItems")->locations,
              (std::vector<std::uint32_t>{QIV_ARGUMENT_LOCATION_BODY}));

    const FunctionRecord& context = *registry.FindFunction("PostContext");
    ASSERT_EQ(context.arguments.size(), 1u) << "the call context is no API argument";
    EXPECT_EQ(context.arguments[0].name, "arg0");
    EXPECT_TRUE(registry.FindRoute("PostContext")->handler->TakesCallContext());
    EXPECT_FALSE(registry.FindRoute("PostAck")->handler->TakesCallContext());

    // No result, a MaybeType's value, a CallResult's dynamic value, a vector's element.
    const TypeIdentifier results[] = {{BindingType::None}, {BindingType::String}, {BindingType::Object},
                                      {BindingType::Vector, BindingType::Object}};
    const char* const functions[] = {"PostAck", "GetMaybe", "GetAttributes", "GetFilter"};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(registry.FindFunction(functions[i])->result, results[i]) << functions[i];
}

TEST_F(ApiRegistryTest, BuilderNamesArgumentsInOrderAndClosesPastTheLast) {
    RouteBuilder builder = registry.AddRoute(HttpMethod::Get, "/two", &service, &Service::Two);
    builder.Query("first").Header("Second", "from a header");
    EXPECT_TRUE(builder.IsOpen());
    builder.Body("third");
    EXPECT_FALSE(builder.IsOpen());
    const RouteBinding& binding = *registry.FindRoute("GetTwo");
    EXPECT_EQ(binding.function->arguments[0].name, "first");
    EXPECT_EQ(binding.function->arguments[1].name, "Second");
    EXPECT_EQ(binding.locations,
              (std::vector<std::uint32_t>{QIV_ARGUMENT_LOCATION_QUERY, QIV_ARGUMENT_LOCATION_HEADER}));
    RouteBuilder closed;
    closed.Body("ignored");
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_EQ(closed.Binding(), nullptr);
}

TEST_F(ApiRegistryTest, RouteTableEntriesReadAsAHostReadsThem) {
    registry.AddRoute(HttpMethod::Get, "/items/{id}/{n}/", &service, &Service::Two).Argument("id").Query("n");
    registry.AddRoute("PURGE", "/cache", &service, &Service::Ack);
    registry.AddRoute(HttpMethod::Post, "/items", &service, &Service::PostItem).Body("item");
    const RouteTableDescriptor* table = registry.BuildRouteTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(registry.BuildRouteTable(), table) << "built once";
    ASSERT_EQ(Copy(table->functionCount), 3u);
    const ApiDescriptionTable& description = ExportApiDescription(registry);
    EXPECT_EQ(Copy(table->typeCount), description.typeCount);
    EXPECT_EQ(Copy(table->eventCount), description.eventCount);
    EXPECT_EQ(Copy(table->types), description.types);
    EXPECT_EQ(Copy(table->events), description.events);

    const RouteFunctionEntry* entries = table->functions;
    const RouteFunctionEntry& get = entries[0];
    EXPECT_STREQ(get.function.name, "GetItemsByIdByN");
    EXPECT_EQ(Copy(get.function.next), &entries[1].function) << "next is the following entry";
    EXPECT_EQ(Copy(entries[2].function.next), nullptr);
    EXPECT_EQ(Copy(get.function.dispatchContext), &registry.FindRoute("GetItemsByIdByN")->context);
    EXPECT_EQ(Copy(get.HandleCall), &HandleCall);
    EXPECT_STREQ(get.pathTemplate, "/items/{id}/{n}");
    EXPECT_EQ(Copy(get.method), QIV_HTTP_GET);
    EXPECT_EQ(Copy(get.flag), 0);
    EXPECT_STREQ(get.methodWord, "");
    ASSERT_EQ(Copy(get.function.argumentCount), 2u);
    EXPECT_EQ(Copy(get.argumentLocations[0].reserved), 0u);
    EXPECT_EQ(Copy(get.argumentLocations[0].location), static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_ANY));
    EXPECT_EQ(Copy(get.argumentLocations[1].location), static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_QUERY));
    EXPECT_STREQ(get.function.arguments[1].name, "n");
    EXPECT_EQ(Copy(get.textListCount), 0u);

    EXPECT_EQ(Copy(entries[1].method), static_cast<std::uint32_t>(QIV_HTTP_CUSTOM));
    EXPECT_STREQ(entries[1].methodWord, "PURGE");
    EXPECT_EQ(Copy(entries[1].argumentLocations), nullptr) << "no arguments";
    EXPECT_EQ(Copy(entries[2].argumentLocations[0].location), static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_BODY));
}

struct NameCase { const char* word; std::string path; std::string expected; };

TEST(ToApiName, FollowsTheNamingRule) {
    const NameCase cases[] = {
        {"GET", "/qiv-honor-v2/v1/ballot", "GetQivHonorV2V1Ballot"},
        {"POST", "/qiv-honor-v2/v1/level-change/ack", "PostQivHonorV2V1LevelChangeAck"},
        {"GET", "/players/{id}", "GetPlayersById"}, {"", "qiv-honor-v2", "QivHonorV2"},
        {"DELETE", "/a_b!c.d", "DeleteABCD"}, {"get", "/x", "GetX"}, {"QUIZ", "/z", "QuizZ"}, {"GET", "", "Get"},
        {"", "", ""}, {"", "/files/{+path}", "FilesByPath"},
        {"", "/doc/{#part}", "DocBy#part"},   // "#" is copied and ends the capital
        {"", "/v1/2fa", "V12fa"},
        {"", "a}b", "Ab"},                     // "}" keeps the flag as it was
        {"", "/}b", "B"},
        {"", "{}", "By"}, {"", "/a b~c", "A b~c"},
        {"", "/\xc3\xa9t", "\xc3\xa9t"},       // bytes above 127 are copied and end the capital
        {"G\xc3\x89T", "/x", "G\xc3\x89tX"},   // only ASCII letters are lowered
    };
    for (const NameCase& c : cases) EXPECT_EQ(ToApiName(c.word, c.path), c.expected) << c.word << " " << c.path;
}

}  // namespace
}  // namespace router_test
