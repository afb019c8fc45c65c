#include "value/binding_property.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "value/property_arena.h"

namespace vclient {
namespace {

using Kind = BindingPropertyType;

TEST(BindingProperty, DefaultIsEmptyRootAndScalarsNeedNoArena) {
    BindingProperty value;
    EXPECT_EQ(value.Kind(), Kind::Empty);
    EXPECT_TRUE(value.OwnsArena());
    value.SetBool(true);
    value.SetSigned(-3);
    value.SetUnsigned(3);
    value.SetFloat(1.5);
    value.SetString("");
    value.SetString(static_cast<const char*>(nullptr));
    EXPECT_EQ(value.Arena(), nullptr);
    value.SetString("x");
    EXPECT_NE(value.Arena(), nullptr);
}

// Each typed read returns the payload for its own kind and the default for all others.
TEST(BindingProperty, TypedReadsNeverConvert) {
    BindingProperty values[7];
    values[0].SetBool(true);
    values[1].SetSigned(-7);
    values[2].SetUnsigned(7);
    values[3].SetFloat(2.5);
    values[4].SetString("text");
    values[5].SetBlob(BindingBlob{1, 2});
    values[6].SetEnum({3, 42});
    const BindingBlob fallbackBlob{9};
    for (int i = 0; i < 7; ++i) {
        const BindingProperty& v = values[i];
        EXPECT_EQ(v.GetBool(false), i == 0) << i;
        EXPECT_EQ(v.GetSigned(11), i == 1 ? -7 : 11) << i;
        EXPECT_EQ(v.GetUnsigned(11), i == 2 ? 7u : 11u) << i;
        EXPECT_EQ(v.GetFloat(0.25), i == 3 ? 2.5 : 0.25) << i;
        EXPECT_EQ(v.GetString(), i == 4 ? "text" : "") << i;
        EXPECT_EQ(v.GetBlob(fallbackBlob), i == 5 ? BindingBlob({1, 2}) : fallbackBlob) << i;
        const BindingEnumPair expectedEnum = i == 6 ? BindingEnumPair{3, 42} : BindingEnumPair{-1, -1};
        EXPECT_EQ(v.GetEnum({-1, -1}), expectedEnum) << i;
    }
    EXPECT_TRUE(values[0].GetBlob().empty());
    EXPECT_EQ(values[0].GetEnum(), BindingEnumPair{});
}

TEST(BindingProperty, SizeByKind) {
    BindingProperty value;
    struct Case {
        const char* what;
        void (*set)(BindingProperty&);
        std::size_t size;
    };
    const Case cases[] = {
        {"empty", [](BindingProperty& v) { v.Clear(); }, 0},
        {"bool", [](BindingProperty& v) { v.SetBool(false); }, 1},
        {"signed", [](BindingProperty& v) { v.SetSigned(0); }, 1},
        {"unsigned", [](BindingProperty& v) { v.SetUnsigned(0); }, 1},
        {"float", [](BindingProperty& v) { v.SetFloat(0); }, 1},
        {"enum", [](BindingProperty& v) { v.SetEnum({}); }, 1},
        {"utf-8 text", [](BindingProperty& v) { v.SetString("h\xc3\xa9llo"); }, 6},
        {"empty text", [](BindingProperty& v) { v.SetString(""); }, 0},
        {"text with NUL", [](BindingProperty& v) { v.SetString(std::string("a\0b", 3)); }, 3},
        {"blob", [](BindingProperty& v) { v.SetBlob(BindingBlob(5)); }, 5},
        {"collection", [](BindingProperty& v) { static_cast<void>(v.Element(2)); }, 3},
        {"structure", [](BindingProperty& v) { v.Field("a"); v.Field("b"); }, 2},
    };
    for (const Case& c : cases) {
        c.set(value);
        EXPECT_EQ(value.Size(), c.size) << c.what;
    }
}

TEST(BindingProperty, EmptyAndNullTextShareTheStaticEntry) {
    BindingProperty tree;
    tree.Field("x").SetString("keep");  // gives the tree an arena
    BindingProperty& a = tree.Field("a");
    BindingProperty& b = tree.Field("b");
    const std::size_t strings = tree.Arena()->StringCount();
    a.SetString("");
    b.SetString(static_cast<const char*>(nullptr));
    EXPECT_EQ(&a.GetString(), &b.GetString());
    EXPECT_EQ(&a.GetString(), &BindingProperty::EmptyString());
    EXPECT_EQ(a.Kind(), Kind::String);
    EXPECT_EQ(tree.Arena()->StringCount(), strings);
    a.Clear();
    b.Clear();
    EXPECT_EQ(tree.Arena()->StringCount(), strings);
}

TEST(BindingProperty, EqualTextsShareOneCountedEntry) {
    BindingProperty tree;
    BindingProperty& a = tree.Field("a");
    BindingProperty& b = tree.Field("b");
    a.SetString(std::string("shared"));
    b.SetString(std::string_view("shared"));
    const PropertyArena& arena = *tree.Arena();
    EXPECT_EQ(arena.StringUseCount("shared"), 2u);
    EXPECT_EQ(a.GetString().data(), b.GetString().data());
    a.Clear();
    EXPECT_EQ(arena.StringUseCount("shared"), 1u);
    EXPECT_EQ(b.GetString(), "shared");
    b.SetSigned(1);
    EXPECT_EQ(arena.StringUseCount("shared"), 0u);
    // Field names are counted in the same table.
    EXPECT_EQ(arena.StringUseCount("a"), 1u);
    tree.Field("list").Append().Field("a");
    EXPECT_EQ(arena.StringUseCount("a"), 2u);
}

// A value replaced by its own payload or by one of its own parts: the replacement is
// taken before the old tree (and with it the arena's contents) goes.
TEST(BindingProperty, ValueReplacedByItsOwnParts) {
    BindingProperty value;
    value.SetString(std::string(50, 'q'));
    value.SetString(value.GetString());
    EXPECT_EQ(value.Arena()->StringUseCount(std::string(50, 'q')), 1u);
    value.SetBlob(BindingBlob{1, 2, 3});
    value.SetBlob(value.GetBlob());
    EXPECT_EQ(value.GetBlob(), BindingBlob({1, 2, 3}));
    value.SetString("name");
    value.Field(value.GetString()).SetBool(true);
    EXPECT_TRUE(value.Find("name").GetBool());

    BindingProperty root;
    root.Field("text").SetString(std::string(30, 't'));
    root.Field("blob").SetBlob(BindingBlob{4, 5});
    root.Field("list").Element(0).SetString("x");
    root.SetString(root.Find("text").GetString());
    EXPECT_EQ(root.GetString(), std::string(30, 't'));
    EXPECT_EQ(root.Arena()->StringUseCount(std::string(30, 't')), 1u);
    EXPECT_EQ(root.Arena()->StringCount(), 1u);

    root.Field("blob").SetBlob(BindingBlob{4, 5});
    root.SetBlob(root.Find("blob").GetBlob());
    EXPECT_EQ(root.GetBlob(), BindingBlob({4, 5}));
    EXPECT_EQ(root.Arena()->StringCount(), 0u);

    root.Field("name").SetString("own name");
    root.Field("other").Field(root.Find("name").GetString()).SetBool(true);
    EXPECT_TRUE(root.Find("other").Find("own name").GetBool());
    root.Element(0).SetEnum({1, 2});
    EXPECT_EQ(root.Arena()->StringCount(), 0u);
    EXPECT_EQ(root.At(0).GetEnum(), (BindingEnumPair{1, 2}));
}

TEST(BindingProperty, BlobByMoveKeepsTheBuffer) {
    BindingProperty value;
    BindingBlob big(1000, 7);
    const std::uint8_t* buffer = big.data();
    value.SetBlob(std::move(big));
    EXPECT_EQ(value.GetBlob().data(), buffer);
    EXPECT_TRUE(big.empty());  // NOLINT(bugprone-use-after-move): the contract under test
}

TEST(BindingProperty, ClearKeepsTheRootArena) {
    BindingProperty value;
    value.Field("a").SetString("b");
    const PropertyArena* arena = value.Arena();
    value.Clear();
    EXPECT_EQ(value.Kind(), Kind::Empty);
    EXPECT_EQ(value.Arena(), arena);
    EXPECT_EQ(arena->StringCount(), 0u);
    EXPECT_EQ(arena->StringBuckets(), 8u);
    EXPECT_EQ(arena->PagesHeld(), 0u);
}

}  // namespace
}  // namespace vclient
