// Argument binding: every source of a call (headers, path, query, typed parameters, body),
// member paths, sniffed values and content types, with the outcomes checked in tables.
#include "router/argument_binding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "router/member_path.h"
#include "router_test_support.h"
#include "support/binding_describe.h"

namespace router_test {
namespace {

class ArgumentBindingTest : public ::testing::Test, public RoadFixture {};

// Query arguments by name, member path or sniffed text; failures come back with 400. The
// text of a structured argument is sniffed (JSON after blanks, YAML after "---",
// MessagePack otherwise), member values never are.
TEST_F(ArgumentBindingTest, QueryArgumentsBindOrFailBySource) {
    const struct {
        const char* function;
        const char* url;
        const char* outcome;  // the body described, or the failure text
    } cases[] = {
        {"GetFlag", "/flag", "false"}, {"GetFlag", "/flag?on", "true"}, {"GetFlag", "/flag?on=", "true"},
        {"GetFlag", "/flag?on=false", "false"}, {"GetFilter", "/filter?filter.0.name=x", "[{name:\"x\"}]"},
        {"GetObject", "/object?f.x1=v&f.a.b=w&f.c=%7B%7D", "{a:{b:\"w\"},c:\"{}\",x1:\"v\"}"},
        {"GetItem", "/item?item=%20%7B%22name%22%3A%22n%22%2C%22count%22%3A2%7D", "{count:s2,name:\"n\",tags:[]}"},
        {"GetText", "/text?item=%20%7B%22name%22%3A%22n%22%7D", "\" {\"name\":\"n\"}\""},
        {"GetItem", "/item?item=---%0Aname%3A%20yv%0A", "{count:s0,name:\"yv\",tags:[]}"},
        {"GetItem", "/item?item=%81%A4name%A1m", "{count:s0,name:\"m\",tags:[]}"},
        {"GetFilter", "/filter?filter=%5B%7B%22a%22%3A1%7D%5D", "[{a:u1}]"},
        {"GetItem", "/item?item", "{count:s0,name:\"\",tags:[]}"},  // an empty Structure: a default record
        {"GetItem", "/item?item=%7Bbad", "Couldn't deserialize JSON value for parameter 'item' of 'GetItem': "
                                          "Error: Missing a name for object member. at offset 1."},
        {"GetItem", "/item?item=---%0A%5B", "Couldn't deserialize YAML value for parameter 'item' of 'GetItem': "
                                            "YAML parser error: did not find expected node content. At line: 2 col: 0"},
        {"GetItem", "/item?item=%81%C1", "Couldn't deserialize MessagePack value for parameter 'item' of 'GetItem': "
                                         "Invalid MessagePack data at position 2. Map keys must be strings."},
        {"GetAdd", "/add?zzz.0=1", "Unknown argument 'zzz' for 'GetAdd'."},
        {"GetAdd", "/add?arg0=7x&arg1=1", "Value 7x for 'arg0' of type int32 is in an incorrect format"},
        {"GetQByX", "/q/7", "Argument 'x' for 'GetQByX' was specified in an invalid location."},
        {"GetTrace", "/trace?x-trace=t", "Argument 'x-trace' for 'GetTrace' was specified in an invalid location."},
        {"GetObject", "/object?f.1x=v", "Index 1x is in an incorrect format"},
        {"GetObject", "/object?f.65536=v", "Index 65536 is out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const Answer answer = Get(c.function, c.url);
        EXPECT_EQ(answer.errorText.value_or(vclient::testing_support::Describe(answer.body)), c.outcome);
        EXPECT_EQ(answer.status, answer.errorText ? 400 : 0);
        EXPECT_EQ(answer.errorFlag, answer.errorText ? 1 : 0);
    }
}

TEST_F(ArgumentBindingTest, MemberIndexParsing) {
    using O = MemberIndexOutcome;
    const struct { const char* part; MemberIndexOutcome outcome; std::uint64_t value; } cases[] = {
        {"0", O::Ok, 0}, {"16", O::Ok, 16}, {"0x10", O::Ok, 16}, {"0XfF", O::Ok, 255}, {"017", O::Ok, 15},
        {"2147483647", O::Ok, 2147483647}, {"1x", O::IncorrectFormat, 0}, {"08", O::IncorrectFormat, 0},
        {"0xg", O::IncorrectFormat, 0}, {"2147483648", O::OutOfRange, 0}, {"0x80000000", O::OutOfRange, 0},
        {"99999999999999999999999", O::OutOfRange, 0},
    };
    for (const auto& c : cases) {
        const MemberIndex index = ParseMemberIndex(c.part);
        EXPECT_EQ(index.outcome, c.outcome) << c.part;
        EXPECT_EQ(index.value, c.value) << c.part;
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

// Typed parameters bind by name or by position (counted after the path variables).
TEST_F(ArgumentBindingTest, TypedParametersByNameAndPosition) {
    HostValue number{};
    HostValueSetSigned(number, 5);
    HostValue unknown{};
    unknown.kind = 11;
    const struct {
        std::optional<std::string> name;
        std::size_t extra;  // positional text parameters before it
        HostValue value;
        const char* outcome;
    } cases[] = {
        {std::nullopt, 0, number, "\"a:5\""}, {std::string("arg1"), 0, {}, "\"a:1\""},
        {std::string("nope"), 0, {}, "Unknown argument 'nope' for 'GetTwoById'."},
        {std::nullopt, 1, {}, "Unknown argument '2' for 'GetTwoById'."},
        {std::string("arg1"), 0, unknown,
         "Couldn't assign value to 'arg1' of type object because the input is of an incompatible type ''."},
    };
    for (const auto& c : cases) {
        TestRequest request(kGet, "/two/a");
        for (std::size_t index = 0; index < c.extra; ++index) request.TextParameter(std::nullopt, "1");
        if (c.value.kind == 0) {
            request.TextParameter(c.name, "1");
        } else {
            request.Parameter(c.name, c.value);
        }
        const Answer answer = Call("GetTwoById", request);
        EXPECT_EQ(answer.errorText.value_or(vclient::testing_support::Describe(answer.body)), c.outcome);
    }
}

// The body decodes by the content type's prefix, in any case; the request's body is an
// exactly sized buffer without a terminator, so the sanitizer build catches a read past it.
TEST_F(ArgumentBindingTest, BodiesDecodeByContentType) {
    const std::string json = "{\"name\":\"j\",\"count\":1}";
    const std::string unsupported = "Unsupported body content type";
    const struct {
        const char* contentType;
        std::string body;
        std::string outcome;  // the item's name, or the failure text
    } cases[] = {
        {"application/json", json, "j"}, {"Application/JSON; charset=utf-8", json, "j"},
        {"application/vnd.api+json", json, "j"}, {"application/x-yaml", "name: yv\ncount: 2\n", "yv"},
        {"text/x-yaml", "name: t\n", "t"}, {"application/x-msgpack", std::string("\x81\xA4name\xA1m", 8), "m"},
        {"application/json", std::string("{\"name\":\"z\"}\0trailing", 22), "z"},
        {"text/plain", json, unsupported}, {"application/jso", json, unsupported}, {"", json, unsupported},
        {"application/x-msgpack", std::string("\x81\xA4name\xA1m\x01", 9), "Extra MessgePack data found in body"},
        {"application/json", "{\"name\":", "Error: Invalid value. at offset 8."},  // the codec's text
    };
    for (const auto& c : cases) {
        TestRequest request(kPost, "/items");
        request.Body(c.contentType, c.body);
        const Answer answer = Call("PostItems", request);
        EXPECT_EQ(answer.errorText.value_or(answer.body.Find("name").GetString()), c.outcome) << c.contentType;
    }
}

TEST_F(ArgumentBindingTest, BodyWithoutBodyArgumentIsIgnored) {
    TestRequest request(kPost, "/ack");
    request.Body("text/plain", "whatever");
    const Answer answer = Call("PostAck", request);
    EXPECT_EQ(answer.errorText, std::nullopt);
    EXPECT_EQ(service.acks, 1);
}

TEST_F(ArgumentBindingTest, HostileRequestRecordsDoNotCrash) {
    // method, url, parameters and count, context, headers and count, content type, body and length, ...
    HostRequest request{kGet,    nullptr, nullptr, 100000, FindEntry(Table(), "GetAdd")->function.dispatchContext,
                        nullptr, 100000,  nullptr, nullptr, 100000, 0, nullptr};
    HostResponse response{};
    HandleCall(&response, &request);
    EXPECT_EQ(ReadAnswer(response).status, 404) << "a null URL is empty and matches nothing";

    const HostRequestHeader headers[2] = {{nullptr, "x"}, {"token", nullptr}};
    request = {kGet, "/header", nullptr, 0, FindEntry(Table(), "GetHeader")->function.dispatchContext, headers, 2,
               nullptr, nullptr, 0, 0, nullptr};
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
