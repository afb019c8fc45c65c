#include "codec/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "binding/nesting_limit.h"

namespace vclient {
namespace {

// A value as "kind:payload", precise enough to tell every kind and number apart.
std::string Describe(const BindingProperty& value) {
    char number[40];
    switch (value.Kind()) {
    case BindingPropertyType::Empty: return "empty";
    case BindingPropertyType::Bool: return value.GetBool() ? "bool:true" : "bool:false";
    case BindingPropertyType::Signed: return "signed:" + std::to_string(value.GetSigned());
    case BindingPropertyType::Unsigned: return "unsigned:" + std::to_string(value.GetUnsigned());
    case BindingPropertyType::Float:
        std::snprintf(number, sizeof number, "%.17g", value.GetFloat());
        return std::string("float:") + number;
    case BindingPropertyType::String: return "string:" + value.GetString();
    case BindingPropertyType::Collection: return "collection:" + std::to_string(value.Size());
    case BindingPropertyType::Structure: return "structure:" + std::to_string(value.Size());
    default: return "other";
    }
}

std::string Nested(char open, std::size_t depth) {
    return std::string(depth, open);
}

TEST(JsonReader, BlankDocumentsAreEmptySuccesses) {
    const char* const texts[] = {"", " ", "  \r\n\t \n"};
    for (const char* text : texts) {
        const BindingResult result = JsonToBinding(text);
        EXPECT_TRUE(result.Succeeded()) << '"' << text << '"';
        EXPECT_TRUE(result.Value().IsEmpty());
    }
    const BindingResult fromNull = JsonToBinding(static_cast<const char*>(nullptr));
    EXPECT_TRUE(fromNull.Succeeded());
    EXPECT_TRUE(fromNull.Value().IsEmpty());
    const BindingResult fromString = JsonToBinding(std::string("\n\n"));
    EXPECT_TRUE(fromString.Succeeded());
    EXPECT_TRUE(fromString.Value().IsEmpty());
}

TEST(JsonReader, MapsEveryJsonValueToItsKind) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"5", "unsigned:5"},
        {"-5", "signed:-5"},
        {"5.0", "float:5"},
        {"0", "unsigned:0"},
        {"-0", "signed:0"},
        {"4294967295", "unsigned:4294967295"},
        {"4294967296", "unsigned:4294967296"},
        {"18446744073709551615", "unsigned:18446744073709551615"},
        {"18446744073709551616", "float:1.8446744073709552e+19"},
        {"-2147483649", "signed:-2147483649"},
        {"-9223372036854775808", "signed:-9223372036854775808"},
        {"-9223372036854775809", "float:-9.2233720368547758e+18"},
        {"1e2", "float:100"},
        {"-2.5E-3", "float:-0.0025000000000000001"},
        {"true", "bool:true"},
        {"false", "bool:false"},
        {"null", "empty"},
        {"\"text\"", "string:text"},
        {"\"\"", "string:"},
        {"\"\\u00e9\\/\\t\"", "string:\xC3\xA9/\t"},
        {"\"\\uD83D\\uDE00\"", "string:\xF0\x9F\x98\x80"},
        {" [1, \"a\", null] ", "collection:3"},
        {"{\"a\": 1}", "structure:1"},
        {"[]", "collection:0"},
        {"{}", "structure:0"},
    };
    for (const Case& c : cases) {
        const BindingResult result = JsonToBinding(c.text);
        ASSERT_TRUE(result.Succeeded()) << c.text << ": " << result.ErrorMessage();
        EXPECT_EQ(Describe(result.Value()), c.expected) << c.text;
    }
}

TEST(JsonReader, MalformedDocumentsFailWithReasonAndOffset) {
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"[1, 2", "Error: Missing a comma or ']' after an array element. at offset 5."},
        {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
        {"{} a", "Error: The document root must not be followed by other values. at offset 3."},
        {"01", "Error: The document root must not be followed by other values. at offset 1."},
        {"nul", "Error: Invalid value. at offset 3."},
        {"[1,]", "Error: Invalid value. at offset 3."},
        {"NaN", "Error: Invalid value. at offset 0."},
        {"-", "Error: Invalid value. at offset 1."},
        {"{1:2}", "Error: Missing a name for object member. at offset 1."},
        {"{\"a\" 1}", "Error: Missing a colon after a name of object member. at offset 5."},
        {"{\"a\":1 \"b\":2}", "Error: Missing a comma or '}' after an object member. at offset 7."},
        {"\"\\u12G4\"", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        {" \"\\uD800\"", "Error: The surrogate pair in string is invalid. at offset 2."},
        {"\"\\uD800\\u0041\"", "Error: The surrogate pair in string is invalid. at offset 1."},
        {"\"\\x\"", "Error: Invalid escape character in string. at offset 1."},
        {"\"a\x01\"", "Error: Invalid escape character in string. at offset 2."},
        {"\"abc", "Error: Missing a closing quotation mark in string. at offset 4."},
        {"[1e400]", "Error: Number too big to be stored in double. at offset 1."},
        {"1.", "Error: Miss fraction part in number. at offset 2."},
        {"1e+", "Error: Miss exponent in number. at offset 3."},
        {"// comment\n1", "Error: Invalid value. at offset 0."},
        {Nested('[', kMaxNestingDepth + 1), "Error: Terminate parsing due to Handler error. at offset 257."},
    };
    for (const Case& c : cases) {
        const BindingResult result = JsonToBinding(c.text);
        EXPECT_FALSE(result.Succeeded()) << c.text;
        EXPECT_EQ(result.ErrorMessage(), c.message) << c.text;
    }
}

TEST(JsonReader, FailureDiscardsThePartialTree) {
    const BindingResult result = JsonToBinding("{\"a\": [1, 2], \"b\": x}");
    ASSERT_FALSE(result.Succeeded());
    EXPECT_EQ(result.Value().Size(), 1u);  // only {"error": ...}
    EXPECT_FALSE(result.Value().HasField("a"));
}

TEST(JsonReader, NullMembersAndElementsExistAsEmpty) {
    const BindingResult result = JsonToBinding("{\"a\": null, \"b\": [null, 1]}");
    ASSERT_TRUE(result.Succeeded());
    const BindingProperty& root = result.Value();
    EXPECT_TRUE(root.HasField("a"));
    EXPECT_TRUE(root.Find("a").IsEmpty());
    ASSERT_EQ(root.Find("b").Size(), 2u);
    EXPECT_TRUE(root.Find("b").At(0).IsEmpty());
    EXPECT_EQ(root.Find("b").At(1).GetUnsigned(), 1u);
}

TEST(JsonReader, TextsEndAtTheirFirstNul) {
    const BindingResult value = JsonToBinding("[\"ab\\u0000cd\", {\"k\\u0000z\": 1}]");
    ASSERT_TRUE(value.Succeeded());
    EXPECT_EQ(value.Value().At(0).GetString(), "ab");
    EXPECT_TRUE(value.Value().At(1).HasField("k"));

    const std::string withNul("[1]\0 garbage", 12);
    const BindingResult fromString = JsonToBinding(withNul);
    ASSERT_TRUE(fromString.Succeeded()) << fromString.ErrorMessage();
    EXPECT_EQ(fromString.Value().Size(), 1u);
}

TEST(JsonReader, LengthOverloadReadsOnlyItsBytes) {
    const char buffer[] = {'[', '1', ',', '2', ']', 'x', 'y'};  // not zero-terminated
    const BindingResult result = JsonToBinding(buffer, 5);
    ASSERT_TRUE(result.Succeeded()) << result.ErrorMessage();
    EXPECT_EQ(result.Value().Size(), 2u);
    EXPECT_EQ(JsonToBinding(buffer, 7).ErrorMessage(),
              "Error: The document root must not be followed by other values. at offset 5.");
    EXPECT_TRUE(JsonToBinding(buffer, 0).Value().IsEmpty());
}

TEST(JsonReader, DuplicateMembersReplaceMergeOrAppend) {
    struct Case {
        const char* text;
        const char* expected;  // Describe() of "a", then of its children
    };
    const Case cases[] = {
        {"{\"a\": 1, \"a\": 2}", "unsigned:2"},
        {"{\"a\": {\"x\": 1}, \"a\": {\"y\": 2}}", "structure:2 unsigned:1 unsigned:2"},
        {"{\"a\": {\"x\": 1}, \"a\": {\"x\": 3}}", "structure:1 unsigned:3"},
        {"{\"a\": [1], \"a\": [2, 3]}", "collection:3 unsigned:1 unsigned:2 unsigned:3"},
        {"{\"a\": [{\"b\": 1}], \"a\": [{\"c\": 2}]}", "collection:2 structure:1 structure:1"},
        {"{\"a\": {\"x\": [1]}, \"a\": 3}", "unsigned:3"},
        {"{\"a\": [1, [2]], \"a\": \"s\"}", "string:s"},
        {"{\"a\": [1], \"a\": {\"x\": 1}}", "structure:1 unsigned:1"},
        {"{\"a\": {\"x\": 1}, \"a\": [1]}", "collection:1 unsigned:1"},
        {"{\"a\": {\"x\": 1}, \"a\": null}", "empty"},
    };
    for (const Case& c : cases) {
        const BindingResult result = JsonToBinding(c.text);
        ASSERT_TRUE(result.Succeeded()) << c.text;
        const BindingProperty& a = result.Value().Find("a");
        std::string seen = Describe(a);
        for (const BindingProperty& element : a.Elements()) {
            seen += " " + Describe(element);
        }
        for (const auto& [name, field] : a.Fields()) {
            seen += " " + Describe(field);
        }
        EXPECT_EQ(seen, c.expected) << c.text;
    }
}

TEST(JsonReader, ReplacedContainerLeavesTheReadInStep) {
    // The member after a container replaced by a scalar must land in the root again.
    const BindingResult result = JsonToBinding("{\"a\": {\"x\": {\"y\": 1}}, \"a\": 3, \"b\": [4], \"c\": 5}");
    ASSERT_TRUE(result.Succeeded());
    const BindingProperty& root = result.Value();
    EXPECT_EQ(root.Size(), 3u);
    EXPECT_EQ(root.Find("a").GetUnsigned(), 3u);
    EXPECT_EQ(root.Find("b").At(0).GetUnsigned(), 4u);
    EXPECT_EQ(root.Find("c").GetUnsigned(), 5u);
}

TEST(JsonReader, NestingIsLimited) {
    const std::string deepest = Nested('[', kMaxNestingDepth) + std::string(kMaxNestingDepth, ']');
    EXPECT_TRUE(JsonToBinding(deepest).Succeeded());

    struct Case {
        std::string text;
        const char* message;
    };
    std::string objects;
    for (std::size_t i = 0; i <= kMaxNestingDepth; ++i) {
        objects += "{\"a\":";
    }
    const Case cases[] = {
        {Nested('[', 100'000), "Error: Terminate parsing due to Handler error. at offset 257."},
        {Nested('{', 2), "Error: Missing a name for object member. at offset 1."},
        {objects, "Error: Terminate parsing due to Handler error. at offset 1281."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonToBinding(c.text).ErrorMessage(), c.message) << c.text.substr(0, 12);
    }
}

TEST(JsonReader, AbsurdNumbersGiveSaneValuesOrClearErrors) {
    struct Case {
        std::string text;
        const char* expected;  // Describe() of the value, or the failure text
    };
    const Case cases[] = {
        {"1e-99999999999", "float:0"},
        {"-1e-99999999999", "float:-0"},
        {"0.0000000001e-2147483639", "float:0"},
        {"-123.4567890123e-2147483647", "float:-0"},
        {"1e-2147483648", "float:0"},
        {"1E-000000000000000000001", "float:0.10000000000000001"},
        {"[1e-999999999, 2.5]", "collection:2"},
        {"1e99999999999", "Error: Number too big to be stored in double. at offset 0."},
        {"[0.0001e400000000000]", "Error: Number too big to be stored in double. at offset 1."},
        {"100000000000000000000e308", "Error: Number too big to be stored in double. at offset 0."},
        {"[1.5e308, 1e-5]", "collection:2"},
        {"1" + std::string(400, '0'), "Error: Number too big to be stored in double. at offset 0."},
        {"0." + std::string(10'000, '0') + "1", "float:0"},
        {"1." + std::string(10'000, '5'), "float:1.5555555555555556"},
        {"[\"e-1234567890\", 1]", "collection:2"},
    };
    for (const Case& c : cases) {
        const BindingResult result = JsonToBinding(c.text);
        const std::string seen = result.Succeeded() ? Describe(result.Value()) : result.ErrorMessage();
        EXPECT_EQ(seen, c.expected) << c.text.substr(0, 40);
    }
}

TEST(JsonReader, CarefulNumberPathReadsOrdinaryNumbersAlike) {
    // A huge negative exponent anywhere sends the whole document down the careful path;
    // every other number must come out exactly as on the ordinary path.
    const char* const ordinary = "[2.5, -7, 18446744073709551615, 1e-5, 0.1, 123456.789e-3, -0, 3.14159e10]";
    std::string careful = ordinary;
    careful.insert(1, "1e-9999999999, ");
    const BindingResult plain = JsonToBinding(ordinary);
    const BindingResult guarded = JsonToBinding(careful);
    ASSERT_TRUE(plain.Succeeded());
    ASSERT_TRUE(guarded.Succeeded());
    ASSERT_EQ(guarded.Value().Size(), plain.Value().Size() + 1);
    EXPECT_EQ(Describe(guarded.Value().At(0)), "float:0");
    for (std::size_t i = 0; i < plain.Value().Size(); ++i) {
        EXPECT_EQ(Describe(guarded.Value().At(i + 1)), Describe(plain.Value().At(i))) << i;
    }
}

TEST(JsonReader, RunawayDigitRunsAreRefused) {
    std::string text = "[0.";
    text.append(100'000'000, '0');
    text += "1]";
    EXPECT_EQ(JsonToBinding(text).ErrorMessage(), "Error: Number too big to be stored in double. at offset 1.");
}

}  // namespace
}  // namespace vclient
