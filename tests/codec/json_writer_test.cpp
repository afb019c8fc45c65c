#include "codec/json_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <regex>
#include <span>
#include <string>

#include "codec/json_reader.h"

namespace vclient {
namespace {

using Fill = void (*)(BindingProperty&);

constexpr std::int32_t kStateKey = static_cast<std::int32_t>(0x9E3779B9u);  // a key with the top bit set

// A registry that knows two enumerators of one enumeration.
class FakeEnumNames final : public EnumNames {
public:
    const std::string* FindEnumeratorName(std::uint32_t typeKey, std::int32_t value) const override {
        const bool known = typeKey == static_cast<std::uint32_t>(kStateKey) && (value == 0 || value == 1);
        return known ? &names_[static_cast<std::size_t>(value)] : nullptr;
    }

private:
    std::string names_[2] = {"IDLE", "IN_PROGRESS"};
};

struct Case {
    Fill fill;
    const char* expected;
};

void ExpectCompact(std::span<const Case> cases, const EnumNames* registry = nullptr) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        BindingProperty value;
        cases[i].fill(value);
        EXPECT_EQ(BindingToJson(value, registry, nullptr), cases[i].expected) << "case " << i;
    }
}

TEST(JsonWriter, WritesScalarsAndContainers) {
    const Case cases[] = {
        {[](BindingProperty&) {}, ""},
        {[](BindingProperty& v) { v.SetBool(true); }, "true"},
        {[](BindingProperty& v) { v.SetBool(false); }, "false"},
        {[](BindingProperty& v) { v.SetSigned(-1); }, "-1"},
        {[](BindingProperty& v) { v.SetSigned(std::numeric_limits<std::int64_t>::min()); }, "-9223372036854775808"},
        {[](BindingProperty& v) { v.SetUnsigned(std::numeric_limits<std::uint64_t>::max()); }, "18446744073709551615"},
        {[](BindingProperty& v) { v.SetString("plain"); }, "\"plain\""},
        {[](BindingProperty& v) { v.SetBlob(BindingBlob{0x00, 0x01, 0x02}); }, "\"AAEC\""},
        {[](BindingProperty& v) { v.SetBlob(BindingBlob{}); }, "\"\""},
        {[](BindingProperty& v) { v.SetEnum({1, kStateKey}); }, "1"},
        {[](BindingProperty& v) { v.SetEnum({-2, 5}); }, "-2"},
        // Floats: the shortest text that reads back the same, never bare integers.
        {[](BindingProperty& v) { v.SetFloat(1.0); }, "1.0"},
        {[](BindingProperty& v) { v.SetFloat(0.1); }, "0.1"},
        {[](BindingProperty& v) { v.SetFloat(0.0); }, "0.0"},
        {[](BindingProperty& v) { v.SetFloat(-0.0); }, "-0.0"},
        {[](BindingProperty& v) { v.SetFloat(-2.5); }, "-2.5"},
        {[](BindingProperty& v) { v.SetFloat(1e21); }, "1e21"},
        {[](BindingProperty& v) { v.SetFloat(1e-6); }, "0.000001"},
        {[](BindingProperty& v) { v.SetFloat(1e-7); }, "1e-7"},
        {[](BindingProperty& v) { v.SetFloat(5e-324); }, "5e-324"},
        {[](BindingProperty& v) { v.SetFloat(1.7976931348623157e308); }, "1.7976931348623157e308"},
        {[](BindingProperty& v) { v.SetFloat(std::numeric_limits<double>::quiet_NaN()); }, "null"},
        {[](BindingProperty& v) {
             v.Element(0).SetFloat(std::numeric_limits<double>::infinity());
             v.Element(1).SetFloat(-std::numeric_limits<double>::infinity());
             v.Element(2).SetFloat(2.0);
         },
         "[null,null,2.0]"},
        // Containers: elements by index, fields by name.
        {[](BindingProperty& v) { v.EnsureCollection(); }, "[]"},
        {[](BindingProperty& v) { v.EnsureStructure(); }, "{}"},
        {[](BindingProperty& v) { v.Field("a"); }, "{\"a\":null}"},
        {[](BindingProperty& v) { v.Element(1).SetSigned(3); }, "[null,3]"},
        {[](BindingProperty& v) {
             v.Field("b").SetSigned(1);
             v.Field("a").SetSigned(2);
             v.Field("B").SetSigned(3);
         },
         "{\"B\":3,\"a\":2,\"b\":1}"},
        {[](BindingProperty& v) {
             v.Field("list").Element(0).Field("x").EnsureCollection();
             v.Field("list").Element(1).SetString("y");
         },
         "{\"list\":[{\"x\":[]},\"y\"]}"},
    };
    ExpectCompact(cases);
}

TEST(JsonWriter, EscapesStrings) {
    struct TextCase {
        std::string text;
        const char* expected;
    };
    const TextCase cases[] = {
        {"say \"hi\"", R"("say \"hi\"")"},
        {"back\\slash", R"("back\\slash")"},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001F")"},
        {"\x0b\x1a", R"("\u000B\u001A")"},
        {"a/b", R"("a/b")"},
        {"\xC3\xA9\x7F\xF0\x9F\x98\x80", "\"\xC3\xA9\x7F\xF0\x9F\x98\x80\""},
    };
    for (const TextCase& c : cases) {
        BindingProperty value;
        value.SetString(c.text);
        EXPECT_EQ(BindingToJson(value, nullptr, nullptr), c.expected);
        BindingProperty keyed;
        keyed.Field(c.text).SetBool(true);
        EXPECT_EQ(BindingToJson(keyed, nullptr, nullptr), "{" + std::string(c.expected) + ":true}");
    }
}

TEST(JsonWriter, WritesEnumsByNameWhenTheRegistryKnowsThem) {
    const FakeEnumNames registry;
    const Case cases[] = {
        {[](BindingProperty& v) { v.SetEnum({1, kStateKey}); }, "\"IN_PROGRESS\""},
        {[](BindingProperty& v) { v.SetEnum({0, kStateKey}); }, "\"IDLE\""},
        {[](BindingProperty& v) { v.SetEnum({7, kStateKey}); }, "7"},
        {[](BindingProperty& v) { v.SetEnum({1, 12}); }, "1"},
        {[](BindingProperty& v) { v.Field("state").SetEnum({1, kStateKey}); }, "{\"state\":\"IN_PROGRESS\"}"},
    };
    ExpectCompact(cases, &registry);
}

BindingProperty LayoutSample() {
    BindingProperty root;
    root.Field("a").Element(0).SetUnsigned(1);
    root.Field("a").Element(1).SetString("two\nlines");
    root.Field("b").EnsureStructure();
    root.Field("c").EnsureCollection();
    root.Field("d").Field("e").SetFloat(1.0);
    return root;
}

TEST(JsonWriter, IndentsWithFourSpacesAndReplacesLineFeeds) {
    const std::string lf =
        "{\n"
        "    \"a\": [\n"
        "        1,\n"
        "        \"two\\nlines\"\n"
        "    ],\n"
        "    \"b\": {},\n"
        "    \"c\": [],\n"
        "    \"d\": {\n"
        "        \"e\": 1.0\n"
        "    }\n"
        "}";
    const std::string crlf = std::regex_replace(lf, std::regex("\n"), "\r\n");
    const BindingProperty sample = LayoutSample();
    struct LayoutCase {
        const char* lineBreak;
        std::string expected;
    };
    const LayoutCase cases[] = {
        {nullptr, R"({"a":[1,"two\nlines"],"b":{},"c":[],"d":{"e":1.0}})"},
        {"", R"({"a":[1,"two\nlines"],"b":{},"c":[],"d":{"e":1.0}})"},
        {"\n", lf},
        {"\r\n", crlf},
    };
    for (const LayoutCase& c : cases) {
        EXPECT_EQ(BindingToJson(sample, nullptr, c.lineBreak), c.expected);
    }
    BindingProperty scalar;
    scalar.SetUnsigned(5);
    EXPECT_EQ(BindingToJson(scalar, nullptr, "\r\n"), "5");
}

TEST(JsonWriter, RoundTripsThroughTheReader) {
    struct RoundTrip {
        const char* in;
        const char* out;
    };
    const RoundTrip cases[] = {
        {R"({"a":[1,-2,3.5,true,false,null,"x"],"b":{}})", R"({"a":[1,-2,3.5,true,false,null,"x"],"b":{}})"},
        {"[[[]],{}]", "[[[]],{}]"},
        {" { \"b\" : 1 , \"a\" : 2 } ", R"({"a":2,"b":1})"},
        {"-0", "0"},
        {"5.0", "5.0"},
        {"1E2", "100.0"},
        {"1e-99999999999", "0.0"},
        {R"("\/\u00e9\u001f")", "\"/\xC3\xA9\\u001F\""},
    };
    for (const RoundTrip& c : cases) {
        const BindingResult read = JsonToBinding(c.in);
        ASSERT_TRUE(read.Succeeded()) << c.in << ": " << read.ErrorMessage();
        EXPECT_EQ(BindingToJson(read.Value(), nullptr, nullptr), c.out) << c.in;
    }
}

// The text is written in place into a string that starts at an estimate of its size;
// long texts and numbers that land on the edge of the room written so far must survive
// the string's growth, in both layouts and for a value inside a tree (which starts small).
TEST(JsonWriter, OutputGrowsPastItsFirstCapacity) {
    constexpr std::size_t kNumbers = 3'000;
    BindingProperty root;
    root.Field("text").SetString(std::string(100'000, 'x'));
    BindingProperty& list = root.Field("list");
    std::string compactList = "[";
    std::string indentedList = "[\n";
    for (std::size_t i = 0; i < kNumbers; ++i) {
        const std::uint64_t n = std::numeric_limits<std::uint64_t>::max() - i;
        list.Element(i).SetUnsigned(n);
        compactList += (i == 0 ? "" : ",") + std::to_string(n);
        indentedList += (i == 0 ? "" : ",\n") + std::string(8, ' ') + std::to_string(n);
    }
    compactList += ']';
    indentedList += "\n    ]";
    const std::string text = '"' + std::string(100'000, 'x') + '"';

    EXPECT_EQ(BindingToJson(root, nullptr, nullptr), "{\"list\":" + compactList + ",\"text\":" + text + "}");
    EXPECT_EQ(BindingToJson(root, nullptr, "\n"), "{\n    \"list\": " + indentedList + ",\n    \"text\": " + text + "\n}");
    EXPECT_EQ(BindingToJson(root.Find("list"), nullptr, nullptr), compactList);
}

TEST(JsonWriter, WritesTreesDeeperThanTheReadersLimit) {
    constexpr std::size_t kDepth = 100'000;
    BindingProperty root;
    BindingProperty* cursor = &root;
    for (std::size_t i = 0; i < kDepth; ++i) {
        cursor = &cursor->Element(0);
    }
    const std::string text = BindingToJson(root, nullptr, nullptr);
    EXPECT_EQ(text, std::string(kDepth, '[') + "null" + std::string(kDepth, ']'));
}

}  // namespace
}  // namespace vclient
