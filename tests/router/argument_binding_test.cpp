// Argument binding: every source of a call (headers, path, query, typed parameters, body),
// member paths, sniffed values and content types, with the failure texts checked in tables.
#include "router/argument_binding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "router/content_type.h"
#include "router/member_path.h"
#include "router_test_support.h"

namespace router_test {
namespace {

class ArgumentBindingTest : public ::testing::Test, public RouterFixture {
protected:
    void SetUp() override {
        registry.AddRoute(HttpMethod::Get, "/add", &service, &Service::Add);
        registry.AddRoute(HttpMethod::Get, "/flag", &service, &Service::Flag).Argument("on");
        registry.AddRoute(HttpMethod::Get, "/object", &service, &Service::Object).Argument("f");
        registry.AddRoute(HttpMethod::Get, "/filter", &service, &Service::Filter).Argument("filter");
        registry.AddRoute(HttpMethod::Get, "/item", &service, &Service::PostItem).Argument("item");
        registry.AddRoute(HttpMethod::Get, "/text", &service, &Service::Echo).Argument("item");
        registry.AddRoute(HttpMethod::Post, "/items", &service, &Service::PostItem).Body("item");
        registry.AddRoute(HttpMethod::Post, "/ack", &service, &Service::Ack);
        registry.AddRoute(HttpMethod::Get, "/q/{x}", &service, &Service::Echo).Query("x");
        registry.AddRoute(HttpMethod::Get, "/header", &service, &Service::Echo).Argument("Token");
        registry.AddRoute(HttpMethod::Get, "/trace", &service, &Service::Echo).Header("x-trace");
        registry.AddRoute(HttpMethod::Get, "/two/{id}", &service, &Service::Two);
    }
};

TEST_F(ArgumentBindingTest, BooleanArgumentsDefaultToFalseAndKeysAloneMeanTrue) {
    EXPECT_FALSE(Get("GetFlag", "/flag").body.GetBool(true));
    EXPECT_TRUE(Get("GetFlag", "/flag?on").body.GetBool(false));
    EXPECT_TRUE(Get("GetFlag", "/flag?on=").body.GetBool(false));
    EXPECT_FALSE(Get("GetFlag", "/flag?on=false").body.GetBool(true));
}

TEST_F(ArgumentBindingTest, MemberPathsBuildTheArgumentValue) {
    const Answer filter = Get("GetFilter", "/filter?filter.0.name=x");
    ASSERT_EQ(filter.body.Kind(), BindingPropertyType::Collection);
    EXPECT_EQ(filter.body.At(0).Find("name").GetString(), "x");

    const Answer field = Get("GetObject", "/object?f.x1=v&f.a.b=w");
    EXPECT_EQ(field.body.Find("x1").GetString(), "v");
    EXPECT_EQ(field.body.Find("a").Find("b").GetString(), "w");

    const Answer hex = Get("GetObject", "/object?f.0x10=v");
    ASSERT_EQ(hex.body.Kind(), BindingPropertyType::Collection);
    EXPECT_EQ(hex.body.Size(), 17u);
    EXPECT_EQ(hex.body.At(16).GetString(), "v");

    const Answer noSniff = Get("GetObject", "/object?f.a=%7B%7D");
    EXPECT_EQ(noSniff.body.Find("a").GetString(), "{}") << "member values are never sniffed";
}

TEST_F(ArgumentBindingTest, MemberIndexParsing) {
    struct Case {
        const char* part;
        MemberIndexOutcome outcome;
        std::uint64_t value;
    };
    const Case cases[] = {
        {"0", MemberIndexOutcome::Ok, 0},
        {"16", MemberIndexOutcome::Ok, 16},
        {"0x10", MemberIndexOutcome::Ok, 16},
        {"0XfF", MemberIndexOutcome::Ok, 255},
        {"017", MemberIndexOutcome::Ok, 15},
        {"2147483647", MemberIndexOutcome::Ok, 2147483647},
        {"1x", MemberIndexOutcome::IncorrectFormat, 0},
        {"08", MemberIndexOutcome::IncorrectFormat, 0},
        {"0xg", MemberIndexOutcome::IncorrectFormat, 0},
        {"2147483648", MemberIndexOutcome::OutOfRange, 0},
        {"0x80000000", MemberIndexOutcome::OutOfRange, 0},
        {"99999999999999999999999", MemberIndexOutcome::OutOfRange, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.part);
        const MemberIndex index = ParseMemberIndex(test.part);
        EXPECT_EQ(index.outcome, test.outcome);
        EXPECT_EQ(index.value, test.value);
    }
}

TEST_F(ArgumentBindingTest, SniffedTextsDecodeOnlyForStructuredArguments) {
    const Answer json = Get("GetItem", "/item?item=%20%7B%22name%22%3A%22n%22%2C%22count%22%3A2%7D");
    EXPECT_EQ(json.body.Find("name").GetString(), "n");
    EXPECT_EQ(json.body.Find("count").GetSigned(), 2);
    const Answer text = Get("GetText", "/text?item=%20%7B%22name%22%3A%22n%22%7D");
    EXPECT_EQ(text.body.GetString(), " {\"name\":\"n\"}");
    const Answer yaml = Get("GetItem", "/item?item=---%0Aname%3A%20yv%0A");
    EXPECT_EQ(yaml.body.Find("name").GetString(), "yv") << yaml.errorText.value_or("");
    const Answer msgpack = Get("GetItem", "/item?item=%81%A4name%A1m");
    EXPECT_EQ(msgpack.body.Find("name").GetString(), "m");
    const Answer array = Get("GetFilter", "/filter?filter=%5B%7B%22a%22%3A1%7D%5D");
    EXPECT_EQ(array.body.At(0).Find("a").GetUnsigned(), 1u);
    const Answer emptyObject = Get("GetItem", "/item?item");
    EXPECT_EQ(emptyObject.errorText, std::nullopt) << "an empty Structure converts to a default record";
}

TEST_F(ArgumentBindingTest, FailureTextsBySource) {
    struct Case {
        const char* function;
        const char* url;
        const char* errorText;
    };
    const Case cases[] = {
        {"GetAdd", "/add?zzz.0=1", "Unknown argument 'zzz' for 'GetAdd'."},
        {"GetAdd", "/add?arg0=7x&arg1=1", "Value 7x for 'arg0' of type int32 is in an incorrect format"},
        {"GetQByX", "/q/7", "Argument 'x' for 'GetQByX' was specified in an invalid location."},
        {"GetTrace", "/trace?x-trace=t", "Argument 'x-trace' for 'GetTrace' was specified in an invalid location."},
        {"GetObject", "/object?f.1x=v", "Index 1x is in an incorrect format"},
        {"GetObject", "/object?f.65536=v", "Index 65536 is out of range"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.url);
        const Answer answer = Get(test.function, test.url);
        EXPECT_EQ(answer.errorText, Text(test.errorText));
        EXPECT_EQ(answer.errorFlag, 1);
        EXPECT_EQ(answer.status, 400);
        EXPECT_EQ(answer.bodyKind, static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
    }
}

TEST_F(ArgumentBindingTest, SniffFailuresNameTheCodecParameterAndFunction) {
    struct Case {
        const char* url;
        const char* prefix;
    };
    const Case cases[] = {
        {"/item?item=%7Bbad", "Couldn't deserialize JSON value for parameter 'item' of 'GetItem': "},
        {"/item?item=---%0A%5B", "Couldn't deserialize YAML value for parameter 'item' of 'GetItem': "},
        {"/item?item=%81%C1", "Couldn't deserialize MessagePack value for parameter 'item' of 'GetItem': "},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.url);
        const Answer answer = Get("GetItem", test.url);
        ASSERT_TRUE(answer.errorText.has_value());
        EXPECT_TRUE(answer.errorText->starts_with(test.prefix)) << *answer.errorText;
        EXPECT_GT(answer.errorText->size(), std::string(test.prefix).size()) << "the codec's text follows";
    }
}

TEST_F(ArgumentBindingTest, HeadersBindByLowerCasedArgumentName) {
    TestRequest lower(kGet, "/header");
    lower.Header("token", "secret").Header("token", "later");
    EXPECT_EQ(Call("GetHeader", lower).body.GetString(), "later");
    TestRequest upper(kGet, "/header");
    upper.Header("Token", "secret");
    EXPECT_EQ(Call("GetHeader", upper).errorText, Text("A value for 'Token' is required."));
    TestRequest overwritten(kGet, "/header?Token=query");
    overwritten.Header("token", "header");
    EXPECT_EQ(Call("GetHeader", overwritten).body.GetString(), "query") << "the query binds after the headers";
}

TEST_F(ArgumentBindingTest, TypedParametersByNameAndPosition) {
    TestRequest positional(kGet, "/two/a");
    HostValue number{};
    HostValueSetSigned(number, 5);
    positional.Parameter(std::nullopt, number);
    EXPECT_EQ(Call("GetTwoById", positional).body.GetString(), "a:5") << "position 0 after one path variable";

    TestRequest named(kGet, "/two/b");
    named.TextParameter(std::string("arg1"), "6");
    EXPECT_EQ(Call("GetTwoById", named).body.GetString(), "b:6");

    struct Case {
        std::optional<std::string> name;
        std::size_t extra;
        const char* errorText;
    };
    const Case cases[] = {
        {std::string("nope"), 0, "Unknown argument 'nope' for 'GetTwoById'."},
        {std::nullopt, 1, "Unknown argument '2' for 'GetTwoById'."},
    };
    for (const Case& test : cases) {
        TestRequest request(kGet, "/two/c");
        for (std::size_t index = 0; index < test.extra; ++index) request.TextParameter(std::nullopt, "1");
        request.TextParameter(test.name, "1");
        EXPECT_EQ(Call("GetTwoById", request).errorText, Text(test.errorText));
    }

    TestRequest badKind(kGet, "/two/d");
    HostValue unknown{};
    unknown.kind = 11;
    badKind.Parameter(std::string("arg1"), unknown);
    EXPECT_EQ(Call("GetTwoById", badKind).errorText,
              Text("Couldn't assign value to 'arg1' of type object because the input is of an incompatible type ''."));
}

TEST_F(ArgumentBindingTest, BodiesDecodeByContentType) {
    struct Case {
        const char* contentType;
        std::string body;
        std::optional<std::string> name;  // nullopt: failure
        const char* errorText;
    };
    const std::string json = "{\"name\":\"j\",\"count\":1}";
    const Case cases[] = {
        {"application/json", json, "j", nullptr},
        {"Application/JSON; charset=utf-8", json, "j", nullptr},
        {"application/vnd.api+json", json, "j", nullptr},
        {"application/x-yaml", "name: yv\ncount: 2\n", "yv", nullptr},
        {"text/x-yaml", "name: t\n", "t", nullptr},
        {"application/x-msgpack", std::string("\x81\xA4name\xA1m", 8), "m", nullptr},
        {"application/json", std::string("{\"name\":\"z\"}\0trailing", 22), "z", nullptr},
        {"text/plain", json, std::nullopt, "Unsupported body content type"},
        {"", json, std::nullopt, "Unsupported body content type"},
        {"application/x-msgpack", std::string("\x81\xA4name\xA1m\x01", 9), std::nullopt,
         "Extra MessgePack data found in body"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.contentType);
        TestRequest request(kPost, "/items");
        request.Body(test.contentType, test.body);
        const Answer answer = Call("PostItems", request);
        if (test.name) {
            EXPECT_EQ(answer.errorText, std::nullopt);
            EXPECT_EQ(answer.body.Find("name").GetString(), *test.name);
        } else {
            EXPECT_EQ(answer.errorText, Text(test.errorText));
        }
    }
    TestRequest broken(kPost, "/items");
    broken.Body("application/json", "{\"name\":");
    const Answer answer = Call("PostItems", broken);
    ASSERT_TRUE(answer.errorText.has_value());
    EXPECT_TRUE(answer.errorText->starts_with("Error: ")) << "the codec's own text";
}

TEST_F(ArgumentBindingTest, BodyWithoutBodyArgumentIsIgnored) {
    TestRequest request(kPost, "/ack");
    request.Body("text/plain", "whatever");
    const Answer answer = Call("PostAck", request);
    EXPECT_EQ(answer.errorText, std::nullopt);
    EXPECT_EQ(service.acks, 1);
}

TEST_F(ArgumentBindingTest, DecodeBodyReadsOnlyTheGivenBytes) {
    // Exactly sized buffers without a terminator: the sanitizer build catches any overread.
    const std::vector<char> json{'[', '1', ']'};
    const BindingResult read = DecodeBody("application/json", std::string_view(json.data(), json.size()));
    ASSERT_TRUE(read.Succeeded()) << read.ErrorMessage();
    EXPECT_EQ(read.Value().At(0).GetUnsigned(), 1u);
    const std::vector<char> yaml{'a', ':', ' ', '1'};
    const BindingResult yamlRead = DecodeBody("text/x-yaml", std::string_view(yaml.data(), yaml.size()));
    ASSERT_TRUE(yamlRead.Succeeded()) << yamlRead.ErrorMessage();
    EXPECT_EQ(yamlRead.Value().Find("a").GetUnsigned(), 1u);
    EXPECT_EQ(BodyFormatOf("APPLICATION/X-MSGPACK"), BodyFormat::MsgPack);
    EXPECT_EQ(BodyFormatOf("application/jso"), BodyFormat::Unsupported);
}

TEST_F(ArgumentBindingTest, HostileRequestRecordsDoNotCrash) {
    const RouteFunctionEntry& entry = *FindEntry(Table(), "GetAdd");
    HostRequest request{};
    request.method = kGet;
    request.url = nullptr;
    request.headers = nullptr;
    request.headerCount = 100000;
    request.parameters = nullptr;
    request.parameterCount = 100000;
    request.body = nullptr;
    request.bodyLength = 100000;
    request.dispatchContext = entry.function.dispatchContext;
    HostResponse response{};
    HandleCall(&response, &request);
    EXPECT_EQ(ReadAnswer(response).status, 404) << "a null URL is empty and matches nothing";

    const RouteFunctionEntry& header = *FindEntry(Table(), "GetHeader");
    HostRequestHeader headers[2] = {};
    headers[0].name = nullptr;
    headers[0].value = "x";
    headers[1].name = "token";
    headers[1].value = nullptr;
    request.url = "/header";
    request.headers = headers;
    request.headerCount = 2;
    request.parameterCount = 0;
    request.contentType = nullptr;
    request.methodWord = nullptr;
    request.dispatchContext = header.function.dispatchContext;
    HostResponse second{};
    HandleCall(&second, &request);
    EXPECT_EQ(ReadAnswer(second).errorText, Text("Expected value for argument 'Token'.")) << "null value is empty";

    HandleCall(nullptr, &request);
    HostResponse third{};
    HandleCall(&third, nullptr);
    EXPECT_EQ(ReadAnswer(third).status, 404);
}

TEST_F(ArgumentBindingTest, QueryParsing) {
    const QueryArguments query = ParseQuery("/p?&a=1&b&c=x%3Dy=z&a=2&&=v&a%20b=x+y%21&");
    EXPECT_EQ(query, (QueryArguments{{"a", "2"}, {"b", ""}, {"c", "x=y=z"}, {"", "v"}, {"a b", "x y!"}}))
        << "keys and values decoded, the last key wins, empty pieces skipped";
    EXPECT_TRUE(ParseQuery("/p").empty());
    EXPECT_TRUE(ParseQuery("/p?").empty());
}

}  // namespace
}  // namespace router_test
