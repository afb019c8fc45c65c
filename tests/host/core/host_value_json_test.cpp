// HostValue <-> JSON: the kinds the host builds, what it reads back, and ownership of
// copies (run under AddressSanitizer to catch leaks and double frees).
#include "core/host_value_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace qivhost {
namespace {

// Numbers take the kinds the plug-in's reader uses.
TEST(HostValueJson, RoundTripsThroughHostValuesOfTheRightKind) {
    const struct {
        const char* json;
        const char* expected;
        std::uint32_t kind;
    } cases[] = {
        {"null", "null", QIV_HOST_VALUE_EMPTY},
        {"true", "true", QIV_HOST_VALUE_BOOL},
        {"-12", "-12", QIV_HOST_VALUE_SIGNED},
        {"18446744073709551615", "18446744073709551615", QIV_HOST_VALUE_UNSIGNED},
        {"-9223372036854775808", "-9223372036854775808", QIV_HOST_VALUE_SIGNED},
        {"1.5", "1.5", QIV_HOST_VALUE_FLOAT},
        {"7.0", "7.0", QIV_HOST_VALUE_FLOAT},
        {"\"a\\\"b\\u00e9\"", "\"a\\\"b\xc3\xa9\"", QIV_HOST_VALUE_OWNED_STRING},
        {"[]", "[]", QIV_HOST_VALUE_COLLECTION},
        {"{}", "{}", QIV_HOST_VALUE_STRUCTURE},
        {R"({"b":1,"a":[true,{"x":null}]})", R"({"b":1,"a":[true,{"x":null}]})", QIV_HOST_VALUE_STRUCTURE},
    };
    for (const auto& c : cases) {
        HostValueFromJson parsed = HostValueFromJsonText(c.json);
        ASSERT_TRUE(parsed.ok) << c.json << ": " << parsed.error;
        EXPECT_EQ(HostValueToJson(parsed.value.Get()), c.expected) << c.json;
        const std::uint32_t kind = parsed.value.Get().kind;
        EXPECT_EQ(kind, c.kind) << c.json;
    }
}

TEST(HostValueJson, RejectsBadJsonWithTheReason) {
    const struct {
        std::string json;
        const char* expected;
    } cases[] = {
        {"", "The document is empty. (at offset 0)"},
        {"1 2", "The document root must not be followed by other values. (at offset 2)"},
        {std::string(kMaxHostValueDepth + 2, '[') + std::string(kMaxHostValueDepth + 2, ']'),
         "JSON nests deeper than 256 levels"},
    };
    for (const auto& c : cases) {
        HostValueFromJson parsed = HostValueFromJsonText(c.json);
        EXPECT_FALSE(parsed.ok) << c.json;
        EXPECT_EQ(parsed.error, c.expected) << c.json;
    }
    const std::string deepest = std::string(kMaxHostValueDepth, '[') + std::string(kMaxHostValueDepth, ']');
    EXPECT_TRUE(HostValueFromJsonText(deepest).ok);
}

// The copy's texts and bytes are the host's (kinds 6 and 8, or the sanitizer reports a
// leak): changing the original changes nothing.
TEST(HostValueJson, CopyingABorrowedValueOwnsItsTextAndBytes) {
    char text[] = "borrowed";
    const std::uint8_t bytes[] = {0xde, 0xad, 0xbe};
    HostValue elements[2]{};
    elements[0].kind = QIV_HOST_VALUE_STRING;
    elements[0].string.text = text;
    elements[0].string.length = 99;  // informative only: the text ends at its NUL
    elements[1].kind = QIV_HOST_VALUE_BLOB;
    elements[1].blob.bytes = bytes;
    elements[1].blob.size = 3;
    HostValue collection{};
    collection.kind = QIV_HOST_VALUE_COLLECTION;
    collection.collection.elements = elements;
    collection.collection.count = 2;
    const OwnedHostValue copy = OwnedHostValue::CopyOf(collection);
    std::strcpy(text, "changed!");
    EXPECT_EQ(HostValueToJson(copy.Get()), R"(["borrowed","3q2+"])");
}

HostValue OfKind(std::uint32_t kind) {
    HostValue value{};
    value.kind = kind;
    return value;
}

TEST(HostValueJson, ReadsOddValuesWithoutFailing) {
    HostValue negativeCount = OfKind(QIV_HOST_VALUE_COLLECTION);
    negativeCount.collection.count = 0xFFFFFFFFu;  // -1 read as signed: empty
    EXPECT_EQ(HostValueToJson(negativeCount), "[]");
    EXPECT_EQ(HostValueToJson(OfKind(11)), "null");
    EXPECT_EQ(HostValueToJson(OwnedHostValue::CopyOf(OfKind(11)).Get()), "null");
    HostValue infinite = OfKind(QIV_HOST_VALUE_FLOAT);
    infinite.floatValue = std::numeric_limits<double>::infinity();
    EXPECT_EQ(HostValueToJson(infinite), "null");
    EXPECT_EQ(HostValueToJson(OfKind(QIV_HOST_VALUE_STRING)), "\"\"") << "a null text reads as empty";
}

TEST(HostValueJson, OwnedValuesCopyMoveAndReleaseExactlyOnce) {
    HostValueFromJson parsed = HostValueFromJsonText(R"({"a":["x",{"b":"y"}]})");
    ASSERT_TRUE(parsed.ok);
    OwnedHostValue first = parsed.value;  // deep copy
    OwnedHostValue second = std::move(parsed.value);
    const std::uint32_t movedFromKind = parsed.value.Get().kind;
    EXPECT_EQ(movedFromKind, 0u);
    OwnedHostValue& alias = first;
    first = alias;  // self-assignment keeps the value
    second = first;
    HostValue released = second.Release();
    EXPECT_EQ(HostValueToJson(released), R"({"a":["x",{"b":"y"}]})");
    ClearHostValue(released);
    const std::uint32_t kind = released.kind;
    EXPECT_EQ(kind, 0u);
}

}  // namespace
}  // namespace qivhost
