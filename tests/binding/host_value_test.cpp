#include "binding/host_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "value/nesting_limit.h"
#include "binding/register_type.h"
#include "binding/static_type.h"
#include "binding/type_registry.h"
#include "support/counting_array_new.h"


namespace vclient {
namespace {

enum class Category { COOL = 1, SHOTCALLER = 2 };

class HostValueTest : public ::testing::Test {
protected:
    HostValueTest() {
        RegisterEnum<Category>(registry, "Category").QIV_ENUMERATOR(COOL).QIV_ENUMERATOR(SHOTCALLER);
        baseline = testing::LiveArrays();
    }
    ~HostValueTest() override { EXPECT_EQ(testing::LiveArrays(), baseline) << "owned host buffers leaked"; }

    std::string FailureOf(const HostValue& value) {
        BindingResult result;
        BindingProperty target;
        EXPECT_FALSE(HostValueToBinding(result, target, value, "body"));
        return result.ErrorMessage();
    }

    TypeRegistry registry;
    long baseline = 0;
};

std::string HostText(const HostValue& value) {
    const char* text = value.string.text;
    return text == nullptr ? std::string() : std::string(text);
}

HostValue Host(std::uint32_t kind) {
    HostValue value{};
    value.kind = kind;
    return value;
}

TEST_F(HostValueTest, ScalarsBothWays) {
    BindingProperty tree;
    tree.Element(0).SetBool(true);
    tree.Element(1).SetSigned(-5);
    tree.Element(2).SetUnsigned(18446744073709551615ULL);
    tree.Element(3).SetFloat(0.5);
    tree.Element(4).SetString("h\xc3\xa9");
    tree.Element(5).SetBlob(BindingBlob{0, 1, 2});
    tree.Element(6);  // Empty

    HostValue host{};
    ASSERT_TRUE(BindingToHostValue(host, tree, &registry));
    ASSERT_EQ(+host.kind, 9u);
    ASSERT_EQ(+host.collection.count, 7u);
    const HostValue* elements = host.collection.elements;
    const std::uint32_t kinds[] = {1, 2, 3, 4, 6, 8, 0};
    for (std::uint32_t i = 0; i < 7; ++i) EXPECT_EQ(+elements[i].kind, kinds[i]) << i;
    EXPECT_EQ(+elements[0].boolean, 1);
    EXPECT_EQ(std::int64_t{elements[1].signedValue}, -5);
    EXPECT_EQ(HostText(elements[4]), "h\xc3\xa9");
    EXPECT_EQ(std::uint32_t{elements[4].string.length}, 3u);
    EXPECT_EQ(std::uint32_t{elements[5].blob.size}, 3u);

    BindingResult result;
    BindingProperty back;
    ASSERT_TRUE(HostValueToBinding(result, back, host, "body"));
    EXPECT_EQ(back.Size(), 7u);
    EXPECT_TRUE(back.At(0).GetBool());
    EXPECT_EQ(back.At(1).GetSigned(), -5);
    EXPECT_EQ(back.At(2).GetUnsigned(), 18446744073709551615ULL);
    EXPECT_EQ(back.At(3).GetFloat(), 0.5);
    EXPECT_EQ(back.At(4).GetString(), "h\xc3\xa9");
    EXPECT_EQ(back.At(5).GetBlob(), (BindingBlob{0, 1, 2}));
    EXPECT_TRUE(back.At(6).IsEmpty());
    HostValueClear(host);
    EXPECT_EQ(+host.kind, 0u);
}

TEST_F(HostValueTest, StructureEntriesInNameOrderWithOwnedNames) {
    BindingProperty tree;
    tree.Field("b").SetSigned(2);
    tree.Field("a").SetSigned(1);
    HostValue host{};
    ASSERT_TRUE(BindingToHostValue(host, tree, nullptr));
    ASSERT_EQ(+host.kind, 10u);
    ASSERT_EQ(+host.structure.count, 2u);
    const HostStructureEntry* entries = host.structure.entries;
    EXPECT_STREQ(entries[0].name, "a");
    EXPECT_STREQ(entries[1].name, "b");
    EXPECT_EQ(+entries[0].nameOwned, 1);
    EXPECT_EQ(+entries[1].nameOwned, 1);
    EXPECT_EQ(std::int64_t{entries[1].value.signedValue}, 2);
    HostValueClear(host);
}

TEST_F(HostValueTest, EnumsByNameWhenTheRegistryKnowsThem) {
    const auto key = static_cast<std::int32_t>(StaticType::Key<Category>());
    struct Case {
        BindingEnumPair pair;
        bool withRegistry;
        std::uint32_t kind;
        std::string text;
        std::int64_t number;
    };
    const Case cases[] = {
        {{2, key}, true, 6, "SHOTCALLER", 0},
        {{2, key}, false, 2, "", 2},
        {{7, key}, true, 2, "", 7},
        {{1, key + 1}, true, 2, "", 1},
    };
    for (const Case& c : cases) {
        BindingProperty value;
        value.SetEnum(c.pair);
        HostValue host{};
        ASSERT_TRUE(BindingToHostValue(host, value, c.withRegistry ? &registry : nullptr));
        EXPECT_EQ(+host.kind, c.kind);
        if (c.kind == 6) {
            EXPECT_EQ(HostText(host), c.text);
        } else {
            EXPECT_EQ(std::int64_t{host.signedValue}, c.number);
        }
        HostValueClear(host);
    }
}

TEST_F(HostValueTest, StringsReadUpToTheirZero) {
    const char text[] = "abc";
    HostValue host = Host(5);
    host.string.text = text;
    host.string.length = 100;  // larger than the text: not used
    BindingResult result;
    BindingProperty target;
    ASSERT_TRUE(HostValueToBinding(result, target, host, "body"));
    EXPECT_EQ(target.GetString(), "abc");

    host.string.text = nullptr;  // a hostile null text reads as empty
    host.kind = 6;
    ASSERT_TRUE(HostValueToBinding(result, target, host, "body"));
    EXPECT_EQ(target.Kind(), BindingPropertyType::String);
    EXPECT_EQ(target.GetString(), "");
}

TEST_F(HostValueTest, ClearFreesOwnedPayloadsOnly) {
    char borrowed[] = "borrowed";
    std::uint8_t bytes[] = {1, 2};
    HostValue text = Host(5);
    text.string.text = borrowed;
    HostValueClear(text);  // would be a bad free under the sanitizer if it freed
    EXPECT_EQ(+text.kind, 0u);
    HostValue blob = Host(7);
    blob.blob.bytes = bytes;
    blob.blob.size = 2;
    HostValueClear(blob);
    EXPECT_EQ(testing::LiveArrays(), baseline);

    HostValue owned{};
    ASSERT_TRUE(HostValueSetText(owned, "owned"));
    EXPECT_EQ(+owned.kind, 6u);
    ASSERT_TRUE(HostValueSetText(owned, "replaced"));  // setters clear first
    EXPECT_EQ(testing::LiveArrays(), baseline + 1);
    HostValueClear(owned);
    EXPECT_EQ(testing::LiveArrays(), baseline);
}

// Every setter clears first; the fixture checks that nothing is left allocated.
TEST_F(HostValueTest, SettersFillTheirKinds) {
    HostValue value{};
    HostValueSetBool(value, true);
    EXPECT_EQ(+value.kind, 1u);
    HostValueSetSigned(value, -1);
    EXPECT_EQ(std::int64_t{value.signedValue}, -1);
    HostValueSetUnsigned(value, 5);
    EXPECT_EQ(+value.kind, 3u);
    HostValueSetDouble(value, 2.5);
    EXPECT_EQ(double{value.floatValue}, 2.5);
    ASSERT_TRUE(HostValueSetText(value, std::string_view("ab\0cd", 5)));
    EXPECT_EQ(std::uint32_t{value.string.length}, 2u);  // counted up to the zero
    const std::uint8_t bytes[] = {9, 8, 7};
    ASSERT_TRUE(HostValueSetBytes(value, bytes, 3));
    EXPECT_EQ(+value.kind, 8u);
    EXPECT_EQ(value.blob.bytes[2], 7);

    HostValue* elements = NewHostValueArray(2);
    ASSERT_TRUE(HostValueSetText(elements[1], "x"));
    HostValueSetCollection(value, elements, 2);
    HostStructureEntry* entries = NewHostStructureEntries(1);
    entries[0].name = "literal";  // not owned: never freed
    HostValueSetSigned(entries[0].value, 3);
    HostValue structure{};
    HostValueSetStructure(structure, entries, 1);
    HostValueClear(structure);
    HostValueClear(value);
}

TEST_F(HostValueTest, NestedOwnershipIsReleasedWhole) {
    BindingProperty tree;
    for (int i = 0; i < 3; ++i) {
        BindingProperty& entry = tree.Field("list").Element(static_cast<std::size_t>(i));
        entry.Field("name").SetString("n");
        entry.Field("bytes").SetBlob(BindingBlob{1});
    }
    HostValue host{};
    ASSERT_TRUE(BindingToHostValue(host, tree, nullptr));
    // One entry array and its name at the top, one element array, and per element an entry
    // array, two names, a text and a byte buffer.
    EXPECT_EQ(testing::LiveArrays(), baseline + 3 + 3 * 5);
    HostValueClear(host);
}

TEST_F(HostValueTest, LaterEntriesOfTheSameNameOverwrite) {
    HostStructureEntry entries[2] = {};
    entries[0].name = entries[1].name = "x";
    HostValueSetSigned(entries[0].value, 1);
    HostValueSetBool(entries[1].value, true);
    HostValue host = Host(10);
    host.structure.entries = entries;
    host.structure.count = 2;
    BindingResult result;
    BindingProperty target;
    ASSERT_TRUE(HostValueToBinding(result, target, host, "body"));
    EXPECT_EQ(target.Size(), 1u);
    EXPECT_TRUE(target.Find("x").GetBool());

    host.structure.count = 0xFFFFFFFFu;  // -1 read as signed: empty
    ASSERT_TRUE(HostValueToBinding(result, target, host, "body"));
    EXPECT_EQ(target.Kind(), BindingPropertyType::Structure);
    EXPECT_EQ(target.Size(), 0u);
}

TEST_F(HostValueTest, UnusableHostValuesFailClearly) {
    const HostValue unknown = Host(11);
    HostValue nullBlob = Host(7);
    nullBlob.blob.size = 4;
    HostValue nullElements = Host(9);
    nullElements.collection.count = 3;
    HostValue nullEntries = Host(10);
    nullEntries.structure.count = 1;
    HostStructureEntry unnamed[1] = {};
    HostValue unnamedEntry = Host(10);
    unnamedEntry.structure.entries = unnamed;
    unnamedEntry.structure.count = 1;

    struct Case {
        const HostValue* value;
        const char* message;
    };
    const Case cases[] = {
        {&unknown, "Couldn't assign value to 'body' of type object because the input is of an incompatible type ''."},
        {&nullBlob, "Couldn't assign value to 'body' because the input blob has 4 elements but no data."},
        {&nullElements, "Couldn't assign value to 'body' because the input collection has 3 elements but no data."},
        {&nullEntries, "Couldn't assign value to 'body' because the input structure has 1 elements but no data."},
        {&unnamedEntry, "Couldn't assign value to 'body' because an entry of the input structure has no name."},
    };
    for (const Case& c : cases) EXPECT_EQ(FailureOf(*c.value), c.message);

    BindingResult failed;
    failed.Fail("earlier");
    BindingProperty target;
    EXPECT_FALSE(HostValueToBinding(failed, target, Host(1), "body"));
    EXPECT_TRUE(target.IsEmpty());
}

TEST_F(HostValueTest, DeepNestingFailsInsteadOfOverflowing) {
    const std::size_t depth = kMaxNestingDepth + 50;
    std::vector<HostValue> chain(depth);
    for (std::size_t i = 0; i + 1 < depth; ++i) {
        chain[i].kind = 9;
        chain[i].collection.elements = &chain[i + 1];
        chain[i].collection.count = 1;
    }
    EXPECT_EQ(FailureOf(chain[0]), "Couldn't assign value to 'body' because the input is nested deeper than 256 levels.");

    // Exactly at the limit it converts.
    const std::size_t last = kMaxNestingDepth;
    chain[last - 1].kind = 1;
    BindingResult result;
    BindingProperty target;
    ASSERT_TRUE(HostValueToBinding(result, target, chain[0], "body")) << result.ErrorMessage();

    BindingProperty tree;
    BindingProperty* node = &tree;
    for (std::size_t i = 0; i < depth; ++i) node = &node->Element(0);
    HostValue host{};
    EXPECT_FALSE(BindingToHostValue(host, tree, nullptr));
    EXPECT_EQ(+host.kind, 0u);  // the partial value was released
}

}  // namespace
}  // namespace vclient
