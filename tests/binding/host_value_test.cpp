#include "binding/host_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "value/nesting_limit.h"
#include "binding/register_type.h"
#include "binding/static_type.h"
#include "binding/type_registry.h"
#include "support/binding_describe.h"
#include "support/counting_array_new.h"

namespace vclient {
namespace {

enum class Category { COOL = 1, SHOTCALLER = 2 };

class HostValueTest : public ::testing::Test {
protected:
    HostValueTest() {
        RegisterEnum<Category>(registry, "Category").QIV_ENUMERATOR(COOL).QIV_ENUMERATOR(SHOTCALLER);
        baseline = testing_support::LiveArrays();
    }
    ~HostValueTest() override { EXPECT_EQ(testing_support::LiveArrays(), baseline) << "owned host buffers leaked"; }

    // The tree a host value converts to, described, or the failure text.
    static std::string Outcome(const HostValue& value) {
        BindingResult result;
        BindingProperty target;
        return HostValueToBinding(result, target, value, "body") ? testing_support::Describe(target) : result.ErrorMessage();
    }

    TypeRegistry registry;
    long baseline = 0;
};

HostValue Host(std::uint32_t kind) {
    HostValue value{};
    value.kind = kind;
    return value;
}

// Every kind both ways; structures list their entries in name order, with owned names.
TEST_F(HostValueTest, ValuesBothWays) {
    BindingProperty tree;
    tree.Element(0).SetBool(true);
    tree.Element(1).SetSigned(-5);
    tree.Element(2).SetUnsigned(18446744073709551615ULL);
    tree.Element(3).SetFloat(0.5);
    tree.Element(4).SetString("h\xc3\xa9");
    tree.Element(5).SetBlob(BindingBlob{0, 1, 2});
    tree.Element(6);  // Empty
    tree.Element(7).Field("b").SetSigned(2);
    tree.Element(7).Field("a").SetSigned(1);

    HostValue host{};
    ASSERT_TRUE(BindingToHostValue(host, tree, &registry));
    ASSERT_EQ(+host.kind, 9u);
    ASSERT_EQ(+host.collection.count, 8u);
    const HostValue* elements = host.collection.elements;
    const std::uint32_t kinds[] = {1, 2, 3, 4, 6, 8, 0, 10};
    for (std::uint32_t i = 0; i < 8; ++i) EXPECT_EQ(+elements[i].kind, kinds[i]) << i;
    EXPECT_EQ(std::uint32_t{elements[4].string.length}, 3u);
    EXPECT_EQ(std::uint32_t{elements[5].blob.size}, 3u);
    const HostStructureEntry* entries = elements[7].structure.entries;
    EXPECT_STREQ(entries[0].name, "a");
    EXPECT_EQ(+entries[0].nameOwned, 1);
    EXPECT_EQ(Outcome(host), "[true,s-5,u18446744073709551615,f0.5,\"h\xc3\xa9\",b:000102,~,{a:s1,b:s2}]");
    HostValueClear(host);
    EXPECT_EQ(+host.kind, 0u);
}

// An enumerator goes by name when a registry knows it, and as its number otherwise.
TEST_F(HostValueTest, EnumsByNameWhenTheRegistryKnowsThem) {
    const auto key = static_cast<std::int32_t>(StaticType::Key<Category>());
    const struct {
        BindingEnumPair pair;
        const EnumNames* names;
        std::uint32_t kind;
        const char* value;
    } cases[] = {
        {{2, key}, &registry, 6, "\"SHOTCALLER\""}, {{2, key}, nullptr, 2, "s2"}, {{7, key}, &registry, 2, "s7"},
        {{1, key + 1}, &registry, 2, "s1"},
    };
    for (const auto& c : cases) {
        BindingProperty value;
        value.SetEnum(c.pair);
        HostValue host{};
        ASSERT_TRUE(BindingToHostValue(host, value, c.names));
        EXPECT_EQ(+host.kind, c.kind);
        BindingResult result;
        ASSERT_TRUE(HostValueToBinding(result, value, host, "body"));
        EXPECT_EQ(testing_support::Describe(value), c.value);
        HostValueClear(host);
    }
}

TEST_F(HostValueTest, StringsReadUpToTheirZero) {
    const char text[] = "abc";
    HostValue host = Host(5);
    host.string.text = text;
    host.string.length = 100;  // larger than the text: not used
    EXPECT_EQ(Outcome(host), "\"abc\"");
    host.string.text = nullptr;  // a hostile null text reads as empty
    host.kind = 6;
    EXPECT_EQ(Outcome(host), "\"\"");
}

// Clear frees owned payloads only, setters clear first, and texts count up to their zero;
// the fixture checks that nothing is left allocated.
TEST_F(HostValueTest, ClearFreesOwnedPayloadsOnly) {
    char borrowed[] = "borrowed";
    HostValue text = Host(5);
    text.string.text = borrowed;
    HostValue blob = Host(7);
    blob.blob.bytes = reinterpret_cast<const std::uint8_t*>(borrowed);
    blob.blob.size = 2;
    HostValueClear(text);  // freeing either would be a bad free under the sanitizer
    HostValueClear(blob);
    EXPECT_EQ(+text.kind, 0u);

    HostValue owned{};
    ASSERT_TRUE(HostValueSetText(owned, "owned"));
    ASSERT_TRUE(HostValueSetText(owned, std::string_view("ab\0cd", 5)));
    EXPECT_EQ(testing_support::LiveArrays(), baseline + 1);
    EXPECT_EQ(std::uint32_t{owned.string.length}, 2u);
    const std::uint8_t bytes[] = {9, 8, 7};
    ASSERT_TRUE(HostValueSetBytes(owned, bytes, 3));
    EXPECT_EQ(+owned.kind, 8u);
    EXPECT_EQ(owned.blob.bytes[2], 7);

    HostValue* elements = NewHostValueArray(2);
    ASSERT_TRUE(HostValueSetText(elements[1], "x"));
    HostValueSetCollection(owned, elements, 2);
    HostStructureEntry* entries = NewHostStructureEntries(1);
    entries[0].name = "literal";  // not owned: never freed
    HostValueSetSigned(entries[0].value, 3);
    HostValue structure{};
    HostValueSetStructure(structure, entries, 1);
    HostValueClear(structure);
    HostValueClear(owned);
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
    EXPECT_EQ(testing_support::LiveArrays(), baseline + 3 + 3 * 5);
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
    EXPECT_EQ(Outcome(host), "{x:true}");
    host.structure.count = 0xFFFFFFFFu;  // -1 read as signed: empty
    EXPECT_EQ(Outcome(host), "{}");
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

    // The same failure in a record that follows the shape of the record before it.
    HostStructureEntry records[2][2] = {};
    records[0][0].name = records[1][0].name = "a";
    records[0][1].name = "b";
    HostValue shaped[2] = {Host(10), Host(10)};
    for (int i = 0; i < 2; ++i) {
        shaped[i].structure.entries = records[i];
        shaped[i].structure.count = 2;
    }
    HostValue shapedRecords = Host(9);
    shapedRecords.collection.elements = shaped;
    shapedRecords.collection.count = 2;

    const struct { const HostValue* value; const char* message; } cases[] = {
        {&unknown, "Couldn't assign value to 'body' of type object because the input is of an incompatible type ''."},
        {&nullBlob, "Couldn't assign value to 'body' because the input blob has 4 elements but no data."},
        {&nullElements, "Couldn't assign value to 'body' because the input collection has 3 elements but no data."},
        {&nullEntries, "Couldn't assign value to 'body' because the input structure has 1 elements but no data."},
        {&unnamedEntry, "Couldn't assign value to 'body' because an entry of the input structure has no name."},
    };
    for (const auto& c : cases) EXPECT_EQ(Outcome(*c.value), c.message);
    // Filling the result's own tree: failing clears the very tree being filled.
    BindingResult own;
    EXPECT_FALSE(HostValueToBinding(own, own.Value(), shapedRecords, "body"));
    EXPECT_EQ(own.ErrorMessage(), cases[4].message);

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
    EXPECT_EQ(Outcome(chain[0]), "Couldn't assign value to 'body' because the input is nested deeper than 256 levels.");
    chain[kMaxNestingDepth - 1] = Host(2);  // exactly at the limit it converts
    const std::size_t levels = kMaxNestingDepth - 1;
    EXPECT_EQ(Outcome(chain[0]), std::string(levels, '[') + "s0" + std::string(levels, ']'));

    BindingProperty tree;
    BindingProperty* node = &tree;
    for (std::size_t i = 0; i < depth; ++i) node = &node->Element(0);
    HostValue host{};
    EXPECT_FALSE(BindingToHostValue(host, tree, nullptr));
    EXPECT_EQ(+host.kind, 0u);  // the partial value was released
}

}  // namespace
}  // namespace vclient
