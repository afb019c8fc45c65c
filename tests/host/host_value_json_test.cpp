// HostValue <-> JSON: the kinds the host builds, what it reads back, and ownership of
// copies (run under AddressSanitizer to catch leaks and double frees).
#include "host_value_json.h"

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
        {"false", "false", QIV_HOST_VALUE_BOOL},
        {"0", "0", QIV_HOST_VALUE_UNSIGNED},
        {"-12", "-12", QIV_HOST_VALUE_SIGNED},
        {"18446744073709551615", "18446744073709551615", QIV_HOST_VALUE_UNSIGNED},
        {"-9223372036854775808", "-9223372036854775808", QIV_HOST_VALUE_SIGNED},
        {"1.5", "1.5", QIV_HOST_VALUE_FLOAT},
        {"7.0", "7.0", QIV_HOST_VALUE_FLOAT},
        {"\"a\\\"b\\u00e9\"", "\"a\\\"b\xc3\xa9\"", QIV_HOST_VALUE_OWNED_STRING},
        {"[]", "[]", QIV_HOST_VALUE_COLLECTION},
        {"{}", "{}", QIV_HOST_VALUE_STRUCTURE},
        {R"({"b":1,"a":[true,{"x":null}]})", R"({"b":1,"a":[true,{"x":null}]})", QIV_HOST_VALUE_STRUCTURE},
        {" [ 1 , -1 , 2.25 ] ", "[1,-1,2.25]", QIV_HOST_VALUE_COLLECTION},
    };
    for (const auto& c : cases) {
        HostValueFromJson parsed = HostValueFromJsonText(c.json);
        ASSERT_TRUE(parsed.ok) << c.json << ": " << parsed.error;
        EXPECT_EQ(HostValueToJson(parsed.value.Get()), c.expected) << c.json;
        const std::uint32_t kind = parsed.value.Get().kind;
        EXPECT_EQ(kind, c.kind) << c.json;
    }
}

TEST(HostValueJson, StructureEntriesOwnTheirNamesInMemberOrder) {
    HostValueFromJson parsed = HostValueFromJsonText(R"({"z":1,"a":2})");
    ASSERT_TRUE(parsed.ok);
    const HostValue& value = parsed.value.Get();
    const std::uint32_t count = value.structure.count;
    ASSERT_EQ(count, 2u);
    const HostStructureEntry* entries = value.structure.entries;
    EXPECT_STREQ(entries[0].name, "z");
    EXPECT_STREQ(entries[1].name, "a");
    const std::uint8_t owned = entries[0].nameOwned;
    EXPECT_EQ(owned, 1);
}

TEST(HostValueJson, RejectsBadJsonWithTheReason) {
    const struct {
        const char* json;
        const char* expected;
    } cases[] = {
        {"", "The document is empty. (at offset 0)"},
        {"{", "Missing a name for object member. (at offset 1)"},
        {"[1,]", "Invalid value. (at offset 3)"},
        {"1 2", "The document root must not be followed by other values. (at offset 2)"},
    };
    for (const auto& c : cases) {
        HostValueFromJson parsed = HostValueFromJsonText(c.json);
        EXPECT_FALSE(parsed.ok) << c.json;
        EXPECT_EQ(parsed.error, c.expected) << c.json;
    }
}

TEST(HostValueJson, RefusesNestingDeeperThanTheLimit) {
    const std::string deep = std::string(kMaxHostValueDepth + 2, '[') + std::string(kMaxHostValueDepth + 2, ']');
    HostValueFromJson parsed = HostValueFromJsonText(deep);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error, "JSON nests deeper than 256 levels");
    const std::string fine = std::string(kMaxHostValueDepth, '[') + std::string(kMaxHostValueDepth, ']');
    EXPECT_TRUE(HostValueFromJsonText(fine).ok);
}

TEST(HostValueJson, CopyingABorrowedValueOwnsItsTextAndBytes) {
    char text[] = "borrowed";
    const std::uint8_t bytes[] = {0xde, 0xad, 0xbe};
    HostValue entries[2]{};
    entries[0].kind = QIV_HOST_VALUE_STRING;
    entries[0].string.text = text;
    entries[0].string.length = 99;  // informative only: the text ends at its NUL
    entries[1].kind = QIV_HOST_VALUE_BLOB;
    entries[1].blob.bytes = bytes;
    entries[1].blob.size = 3;
    HostValue collection{};
    collection.kind = QIV_HOST_VALUE_COLLECTION;
    collection.collection.elements = entries;
    collection.collection.count = 2;

    const OwnedHostValue copy = OwnedHostValue::CopyOf(collection);
    std::strcpy(text, "changed!");
    const HostValue* copied = copy.Get().collection.elements;
    const std::uint32_t firstKind = copied[0].kind;
    const std::uint32_t secondKind = copied[1].kind;
    EXPECT_EQ(firstKind, QIV_HOST_VALUE_OWNED_STRING);
    EXPECT_EQ(secondKind, QIV_HOST_VALUE_OWNED_BLOB);
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
    EXPECT_EQ(HostValueToJson(first.Get()), HostValueToJson(second.Get()));
    HostValue released = second.Release();
    EXPECT_EQ(HostValueToJson(released), R"({"a":["x",{"b":"y"}]})");
    ClearHostValue(released);
    const std::uint32_t kind = released.kind;
    EXPECT_EQ(kind, 0u);
}

}  // namespace
}  // namespace qivhost
