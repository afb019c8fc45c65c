#include "codec/json_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <regex>
#include <span>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/binding_walk.h"

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

struct Case { Fill fill; const char* expected; };

void ExpectCompact(std::span<const Case> cases, const EnumNames* registry = nullptr) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        BindingProperty value;
        cases[i].fill(value);
        EXPECT_EQ(BindingToJson(value, registry, nullptr), cases[i].expected) << "case " << i;
    }
}

TEST(JsonWriter, WritesScalarsAndContainers) {
    const Case cases[] = {
        {[](BindingProperty&) {}, ""}, {[](BindingProperty& v) { v.SetBool(true); }, "true"},
        {[](BindingProperty& v) { v.SetBool(false); }, "false"}, {[](BindingProperty& v) { v.SetSigned(-1); }, "-1"},
        {[](BindingProperty& v) { v.SetSigned(std::numeric_limits<std::int64_t>::min()); }, "-9223372036854775808"},
        {[](BindingProperty& v) { v.SetUnsigned(std::numeric_limits<std::uint64_t>::max()); }, "18446744073709551615"},
        {[](BindingProperty& v) { v.SetString("plain"); }, "\"plain\""},
        {[](BindingProperty& v) { v.SetBlob(BindingBlob{0x00, 0x01, 0x02}); }, "\"AAEC\""},
        {[](BindingProperty& v) { v.SetBlob(BindingBlob{}); }, "\"\""},
        {[](BindingProperty& v) { v.SetEnum({1, kStateKey}); }, "1"}, {[](BindingProperty& v) { v.SetEnum({-2, 5}); }, "-2"},
        // Containers: elements by index, fields by name.
        {[](BindingProperty& v) { v.EnsureCollection(); }, "[]"}, {[](BindingProperty& v) { v.EnsureStructure(); }, "{}"},
        {[](BindingProperty& v) { v.Field("a"); }, "{\"a\":null}"},
        {[](BindingProperty& v) { v.Element(1).SetSigned(3); }, "[null,3]"},
        {[](BindingProperty& v) { v.Field("b").SetSigned(1), v.Field("a").SetSigned(2), v.Field("B").SetSigned(3); },
         "{\"B\":3,\"a\":2,\"b\":1}"},
        {[](BindingProperty& v) { v.Field("list").Element(0).Field("x").EnsureCollection(); }, "{\"list\":[{\"x\":[]}]}"},
    };
    ExpectCompact(cases);
}

// The shortest text that reads back the same, never a bare integer; no number is null.
TEST(JsonWriter, WritesFloatsThatReadBackTheSame) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const struct { double value; const char* text; } cases[] = {
        {1.0, "1.0"}, {0.1, "0.1"}, {0.0, "0.0"}, {-0.0, "-0.0"}, {-2.5, "-2.5"}, {1e21, "1e21"}, {1e-6, "0.000001"},
        {1e-7, "1e-7"}, {5e-324, "5e-324"}, {1.7976931348623157e308, "1.7976931348623157e308"},
        {std::numeric_limits<double>::quiet_NaN(), "null"}, {kInfinity, "null"}, {-kInfinity, "null"},
    };
    for (const auto& c : cases) {
        BindingProperty value;
        value.Element(1).SetFloat(c.value);
        EXPECT_EQ(BindingToJson(value, nullptr, nullptr), std::string("[null,") + c.text + "]");
    }
}

TEST(JsonWriter, EscapesStrings) {
    struct TextCase { std::string text; const char* expected; };
    const TextCase cases[] = {
        {"say \"hi\"", R"("say \"hi\"")"}, {"back\\slash", R"("back\\slash")"}, {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001F")"}, {"\x0b\x1a", R"("\u000B\u001A")"},
        {"a/b", R"("a/b")"}, {"\xC3\xA9\x7F\xF0\x9F\x98\x80", "\"\xC3\xA9\x7F\xF0\x9F\x98\x80\""},
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
    struct LayoutCase { const char* lineBreak; std::string expected; };
    const LayoutCase cases[] = {
        {nullptr, R"({"a":[1,"two\nlines"],"b":{},"c":[],"d":{"e":1.0}})"},
        {"", R"({"a":[1,"two\nlines"],"b":{},"c":[],"d":{"e":1.0}})"}, {"\n", lf}, {"\r\n", crlf},
    };
    for (const LayoutCase& c : cases) EXPECT_EQ(BindingToJson(sample, nullptr, c.lineBreak), c.expected);
    BindingProperty scalar;
    scalar.SetUnsigned(5);
    EXPECT_EQ(BindingToJson(scalar, nullptr, "\r\n"), "5");
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

// The walk behind the writer keeps its own stack: a tree of collections and structures far
// deeper than any reader allows is written whole.
TEST(JsonWriter, WritesTreesDeeperThanTheReadersLimit) {
    constexpr std::size_t kDepth = 100'000;
    BindingProperty root;
    BindingProperty* cursor = &root;
    std::string open;
    std::string close;
    for (std::size_t i = 0; i < kDepth; ++i) {
        cursor = i % 2 == 0 ? &cursor->Element(0) : &cursor->Field("k");
        open += i % 2 == 0 ? "[" : "{\"k\":";
        close += i % 2 == 0 ? ']' : '}';
    }
    std::reverse(close.begin(), close.end());
    EXPECT_EQ(BindingToJson(root, nullptr, nullptr), open + "null" + close);
}

// The walk behind the writer, seen by a sink that records every event as a short text:
// the element and field boundaries the JSON sink ignores come in order too.
class RecordingSink final : public BindingSink {
public:
    std::vector<std::string> events;

    void WriteNull() override { events.push_back("null"); }
    void WriteBool(bool value) override { events.push_back(value ? "bool:true" : "bool:false"); }
    void WriteSigned(std::int64_t value) override { events.push_back("signed:" + std::to_string(value)); }
    void WriteUnsigned(std::uint64_t value) override { events.push_back("unsigned:" + std::to_string(value)); }
    void WriteDouble(double value) override { events.push_back("double:" + std::to_string(value)); }
    void WriteString(std::string_view text) override { events.push_back("string:" + std::string(text)); }
    void WriteBlob(std::span<const std::uint8_t> bytes) override { events.push_back("blob:" + std::to_string(bytes.size())); }
    void WriteEnum(BindingEnumPair pair) override {
        events.push_back("enum:" + std::to_string(pair.typeKey) + "/" + std::to_string(pair.value));
    }
    void StartCollection(std::size_t count) override { events.push_back("[" + std::to_string(count)); }
    void StartElement(std::size_t index) override { events.push_back("<" + std::to_string(index)); }
    void EndElement(std::size_t index) override { events.push_back(std::to_string(index) + ">"); }
    void EndCollection() override { events.push_back("]"); }
    void StartStructure(std::size_t count) override { events.push_back("{" + std::to_string(count)); }
    void FieldName(const std::string& name) override { events.push_back("<" + name); }
    void EndField(const std::string& name) override { events.push_back(name + ">"); }
    void EndStructure() override { events.push_back("}"); }
};

TEST(BindingWalk, NestedContainersSendBoundariesInOrder) {
    BindingProperty root;
    root.Field("b").Element(1).SetSigned(2);  // b: [null, 2]
    root.Field("a").Field("x").SetBool(false);
    root.Field("c").EnsureCollection();
    RecordingSink sink;
    WalkBinding(root, sink);
    const std::vector<std::string> expected = {
        "{3", "<a", "{1", "<x", "bool:false", "x>", "}", "a>", "<b", "[2", "<0", "null", "0>", "<1", "signed:2", "1>",
        "]", "b>", "<c", "[0", "]", "c>", "}"};
    EXPECT_EQ(sink.events, expected);
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(Base64, EncodesTheStandardVectors) {
    const struct { std::vector<std::uint8_t> bytes; const char* expected; } cases[] = {
        {{}, ""}, {Bytes("f"), "Zg=="}, {Bytes("fo"), "Zm8="}, {Bytes("foo"), "Zm9v"}, {Bytes("foob"), "Zm9vYg=="},
        {Bytes("fooba"), "Zm9vYmE="}, {Bytes("foobar"), "Zm9vYmFy"}, {{0x00}, "AA=="},
        {{0xFF, 0xF0}, "//A="},
        // Every sextet value once, in order: the whole alphabet.
        {{0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30, 0xD3, 0x8F, 0x41, 0x14, 0x93, 0x51,
          0x55, 0x97, 0x61, 0x96, 0x9B, 0x71, 0xD7, 0x9F, 0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7, 0xA2, 0x9A,
          0xAB, 0xB2, 0xDB, 0xAF, 0xC3, 0x1C, 0xB3, 0xD3, 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF},
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeBase64(c.bytes), c.expected) << "expected " << c.expected;
}

TEST(Base64, AppendsAfterExistingText) {
    std::string text = "x:";
    AppendBase64(Bytes("fo"), text);
    AppendBase64(Bytes("o"), text);
    EXPECT_EQ(text, "x:Zm8=bw==");
}

}  // namespace
}  // namespace vclient
