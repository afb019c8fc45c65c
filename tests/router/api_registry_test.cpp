// Declaring routes in the API registry and the route table handed to the host: names,
// argument and result types, failed declarations, and the packed entries read field by
// field as a host reads them.
#include "router/api_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "binding/api_description.h"
#include "router_test_support.h"

namespace router_test {
namespace {

class ApiRegistryTest : public ::testing::Test, public RouterFixture {};

TEST_F(ApiRegistryTest, FunctionNamesFollowMethodWordAndPath) {
    struct Case {
        HttpMethod method;
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {HttpMethod::Get, "/qiv-honor-v2/v1/ballot", "GetQivHonorV2V1Ballot"},
        {HttpMethod::Post, "/qiv-honor-v2/v1/level-change/ack", "PostQivHonorV2V1LevelChangeAck"},
        {HttpMethod::Get, "/players/{id}", "GetPlayersById"},
        {HttpMethod::Delete, "/items/{+rest}", "DeleteItemsByRest"},
        {HttpMethod::None, "/plain", "Plain"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_TRUE(registry.AddRoute(test.method, test.path, &service, &Service::Echo).IsOpen());
        ASSERT_NE(registry.FindFunction(test.name), nullptr);
        EXPECT_EQ(registry.FindRoute(test.name)->method, test.method);
    }
    EXPECT_TRUE(registry.AddRoute("PURGE", "/cache/{key}", &service, &Service::Echo).IsOpen());
    const RouteBinding* purge = registry.FindRoute("PurgeCacheByKey");
    ASSERT_NE(purge, nullptr);
    EXPECT_EQ(purge->method, HttpMethod::Custom);
    EXPECT_EQ(purge->methodWord, "PURGE");
    // A standard word given as text declares that method, without a word.
    EXPECT_TRUE(registry.AddRoute("PUT", "/word", &service, &Service::Echo).IsOpen());
    EXPECT_EQ(registry.FindRoute("PutWord")->method, HttpMethod::Put);
    EXPECT_EQ(registry.FindRoute("PutWord")->methodWord, "");
}

TEST_F(ApiRegistryTest, DeclarationFailuresLeaveTheRegistryUnchanged) {
    ASSERT_TRUE(registry.AddRoute(HttpMethod::Get, "/x", &service, &Service::Echo).IsOpen());
    const std::size_t functions = registry.FunctionCount();
    Service* none = nullptr;
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Get, "/x", &service, &Service::Ack).IsOpen()) << "name taken";
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Get, "/x/", &service, &Service::Ack).IsOpen()) << "same name";
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Get, "/y", none, &Service::Ack).IsOpen()) << "no object";
    EXPECT_FALSE(registry.AddRoute(HttpMethod::Custom, "/z", &service, &Service::Ack).IsOpen()) << "no word";
    EXPECT_FALSE(registry.AddRoute(HttpMethod::None, "", &service, &Service::Ack).IsOpen()) << "empty name";
    EXPECT_EQ(registry.FunctionCount(), functions);
    EXPECT_EQ(registry.RouteCount(), 1u);
    // The first declaration stands, with its handler.
    TestRequest request(kGet, "/x");
    const Answer answer = Call("GetX", request);
    EXPECT_EQ(answer.errorText, std::optional<std::string>("A value for 'arg0' is required."));
    EXPECT_EQ(answer.status, 400);
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

    EXPECT_EQ(registry.FindFunction("PostAck")->result.type, BindingType::None);
    EXPECT_EQ(registry.FindFunction("GetMaybe")->result.type, BindingType::String);
    EXPECT_EQ(registry.FindFunction("GetAttributes")->result.type, BindingType::Object);
    EXPECT_EQ(registry.FindFunction("GetFilter")->result.type, BindingType::Vector);
    EXPECT_EQ(registry.FindFunction("GetFilter")->result.elementType, BindingType::Object);
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

    const std::uint32_t functionCount = table->functionCount;
    ASSERT_EQ(functionCount, 3u);
    const ApiDescriptionTable& description = ExportApiDescription(registry);
    const std::uint32_t typeCount = table->typeCount;
    const std::uint32_t eventCount = table->eventCount;
    const ApiTypeDescription* types = table->types;
    const ApiEventDescription* events = table->events;
    EXPECT_EQ(typeCount, description.typeCount);
    EXPECT_EQ(eventCount, description.eventCount);
    EXPECT_EQ(types, description.types);
    EXPECT_EQ(events, description.events);

    const RouteFunctionEntry* entries = table->functions;
    const RouteFunctionEntry& get = entries[0];
    const char* name = get.function.name;
    EXPECT_STREQ(name, "GetItemsByIdByN");
    const ApiFunctionDescription* next = get.function.next;
    EXPECT_EQ(next, &entries[1].function) << "next is the following entry";
    const ApiFunctionDescription* last = entries[2].function.next;
    EXPECT_EQ(last, nullptr);
    void* context = get.function.dispatchContext;
    EXPECT_EQ(context, &registry.FindRoute("GetItemsByIdByN")->context);
    const RouteHandleCallFunction handleCall = get.HandleCall;
    EXPECT_EQ(handleCall, &HandleCall);
    const char* path = get.pathTemplate;
    EXPECT_STREQ(path, "/items/{id}/{n}");
    const std::uint32_t method = get.method;
    EXPECT_EQ(method, QIV_HTTP_GET);
    const std::uint8_t flag = get.flag;
    EXPECT_EQ(flag, 0);
    const char* word = get.methodWord;
    EXPECT_STREQ(word, "");
    const std::uint32_t argumentCount = get.function.argumentCount;
    ASSERT_EQ(argumentCount, 2u);
    const RouteArgumentLocation* locations = get.argumentLocations;
    const RouteArgumentLocation first = locations[0];
    const RouteArgumentLocation second = locations[1];
    const std::uint32_t firstReserved = first.reserved;
    const std::uint32_t firstLocation = first.location;
    const std::uint32_t secondLocation = second.location;
    EXPECT_EQ(firstReserved, 0u);
    EXPECT_EQ(firstLocation, static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_ANY));
    EXPECT_EQ(secondLocation, static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_QUERY));
    const ApiArgumentDescription* arguments = get.function.arguments;
    const char* argumentName = arguments[1].name;
    EXPECT_STREQ(argumentName, "n");
    const std::uint32_t textListCount = get.textListCount;
    EXPECT_EQ(textListCount, 0u);

    const RouteFunctionEntry& purge = entries[1];
    const std::uint32_t purgeMethod = purge.method;
    const char* purgeWord = purge.methodWord;
    const RouteArgumentLocation* purgeLocations = purge.argumentLocations;
    EXPECT_EQ(purgeMethod, QIV_HTTP_CUSTOM);
    EXPECT_STREQ(purgeWord, "PURGE");
    EXPECT_EQ(purgeLocations, nullptr) << "no arguments";

    const RouteArgumentLocation body = entries[2].argumentLocations[0];
    const std::uint32_t bodyLocation = body.location;
    EXPECT_EQ(bodyLocation, static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_BODY));
}

TEST_F(ApiRegistryTest, EmptyRegistryStillHandsOutTypesAndEvents) {
    const RouteTableDescriptor* table = registry.BuildRouteTable();
    const std::uint32_t functionCount = table->functionCount;
    const RouteFunctionEntry* functions = table->functions;
    const std::uint32_t typeCount = table->typeCount;
    const std::uint32_t eventCount = table->eventCount;
    EXPECT_EQ(functionCount, 0u);
    EXPECT_EQ(functions, nullptr);
    EXPECT_GT(typeCount, 0u);
    EXPECT_GE(eventCount, 1u) << "OnCallback";
}

TEST_F(ApiRegistryTest, EntryWithoutDispatchContextAnswersNotFound) {
    registry.AddRoute(HttpMethod::Get, "/x", &service, &Service::Ack);
    RouteFunctionEntry entry = *FindEntry(Table(), "GetX");
    entry.function.dispatchContext = nullptr;
    TestRequest request(kGet, "/x");
    const Answer answer = CallEntry(entry, request);
    EXPECT_EQ(answer.status, 404);
    EXPECT_EQ(answer.errorText, std::optional<std::string>("Invalid function"));
    EXPECT_TRUE(answer.released);
}

}  // namespace
}  // namespace router_test
