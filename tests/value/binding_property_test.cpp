#include "value/binding_property.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/binding_describe.h"
#include "value/binding_result.h"
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
    const struct { const char* what; void (*set)(BindingProperty&); std::size_t size; } cases[] = {
        {"empty", [](BindingProperty& v) { v.Clear(); }, 0}, {"scalar", [](BindingProperty& v) { v.SetSigned(0); }, 1},
        {"enum", [](BindingProperty& v) { v.SetEnum({}); }, 1},
        {"utf-8 text", [](BindingProperty& v) { v.SetString("h\xc3\xa9llo"); }, 6},
        {"text with NUL", [](BindingProperty& v) { v.SetString(std::string("a\0b", 3)); }, 3},
        {"blob", [](BindingProperty& v) { v.SetBlob(BindingBlob(5)); }, 5},
        {"collection", [](BindingProperty& v) { static_cast<void>(v.Element(2)); }, 3},
        {"structure", [](BindingProperty& v) { v.Field("a"); v.Field("b"); }, 2},
    };
    for (const auto& c : cases) {
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
    root.Field("list").Element(0).SetString("x");
    root.SetString(root.Find("text").GetString());
    EXPECT_EQ(root.GetString(), std::string(30, 't'));
    EXPECT_EQ(root.Arena()->StringCount(), 1u);
    root.Field("blob").SetBlob(BindingBlob{4, 5});
    root.SetBlob(root.Find("blob").GetBlob());
    EXPECT_EQ(root.GetBlob(), BindingBlob({4, 5}));
    root.Field("name").SetString("own name");
    root.Field("other").Field(root.Find("name").GetString()).SetBool(true);
    EXPECT_TRUE(root.Find("other").Find("own name").GetBool());
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

std::vector<std::string> FieldNames(const BindingProperty& value) {
    std::vector<std::string> names;
    for (const auto& [name, field] : value.Fields()) names.push_back(name);
    return names;
}

TEST(BindingPropertyFields, IterateInUnsignedByteOrder) {
    struct Case { std::vector<std::string> inserted; std::vector<std::string> expected; };
    const Case cases[] = {
        {{"b", "a", "c"}, {"a", "b", "c"}}, {{"a", "B"}, {"B", "a"}}, {{"ab", "a"}, {"a", "ab"}},
        {{"a", "", "A"}, {"", "A", "a"}},
        {{"\xc3\xa9", "z", "\x7f"}, {"z", "\x7f", "\xc3\xa9"}},  // bytes above 0x7F sort last
        {{"b", "a", "b", "a"}, {"a", "b"}},                      // names are unique
        {{std::string("a\0b", 3), "a"}, {"a", std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) {
        BindingProperty value;
        for (const std::string& name : c.inserted) value.Field(name);
        EXPECT_EQ(FieldNames(value), c.expected);
        EXPECT_EQ(value.Size(), c.expected.size());
    }
}

// Many names inserted in ascending runs (each after the greatest so far) and in scrambled
// order still come out sorted, once each, and are all found; asking again for a name,
// the greatest included, gives the field already there.
TEST(BindingPropertyFields, LargeStructureStaysOrderedAndSearchable) {
    BindingProperty value;
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "m%04d", i);
        names.emplace_back(name);
    }
    for (int i = 0; i < 2000; ++i) names.push_back(std::string("f").append(std::to_string((i * 7919) % 2000)));
    for (int i = 0; i < 500; ++i) names.push_back(std::string("z").append(std::to_string(i)));
    for (const std::string& name : names) value.Field(name).SetString(name);
    const std::size_t count = names.size();
    for (const std::string& name : {names.front(), names[1500], names.back()}) value.Field(name).SetString(name);
    EXPECT_EQ(value.Size(), count);
    const std::vector<std::string> sorted = FieldNames(value);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string& name : names) ASSERT_EQ(value.Find(name).GetString(), name);
}

// Field and Element turn any other kind into their container; Ensure keeps its own kind.
TEST(BindingPropertyFields, ContainersReplaceOtherKinds) {
    BindingProperty value;
    value.SetSigned(5);
    value.Field("x").SetSigned(1);
    EXPECT_EQ(value.Kind(), Kind::Structure);
    value.EnsureStructure();
    EXPECT_EQ(value.Size(), 1u);
    static_cast<void>(value.Element(0));
    EXPECT_EQ(value.Kind(), Kind::Collection);
    EXPECT_EQ(value.Arena()->StringUseCount("x"), 0u);
    value.EnsureCollection();
    EXPECT_EQ(value.Size(), 1u);
    value.EnsureStructure();
    EXPECT_EQ(value.Size(), 0u);
}

TEST(BindingPropertyFields, FindAndHasFieldNeverChangeAnything) {
    BindingProperty list;
    list.Element(1).SetBool(true);
    EXPECT_EQ(&list.Find("a"), &BindingProperty::EmptyValue());
    EXPECT_FALSE(list.HasField("a"));
    EXPECT_EQ(list.Size(), 2u);
    BindingProperty record;
    record.Field("present");
    EXPECT_TRUE(record.HasField("present"));
    EXPECT_EQ(&record.Find("absent"), &BindingProperty::EmptyValue());
    EXPECT_EQ(record.Arena()->StringUseCount("absent"), 0u);
    EXPECT_EQ(&record.At(0), &BindingProperty::EmptyValue());
    EXPECT_EQ(record.Kind(), Kind::Structure);
}

TEST(BindingPropertyElements, ElementPadsWithEmptiesAndAppendAddsOne) {
    BindingProperty value;
    value.Element(3).SetSigned(9);
    ASSERT_EQ(value.Size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(value.At(i).Kind(), Kind::Empty);
        EXPECT_FALSE(value.At(i).OwnsArena());
        EXPECT_EQ(value.At(i).Arena(), value.Arena());
    }
    EXPECT_EQ(value.At(3).GetSigned(), 9);
    EXPECT_EQ(&value.At(4), &BindingProperty::EmptyValue());
    EXPECT_EQ(&value.Element(1), &value.At(1));
    value.Append().SetSigned(10);
    EXPECT_EQ(value.At(4).GetSigned(), 10);
}

TEST(BindingPropertyElements, ReserveAndTheLengthLimit) {
    BindingProperty value;
    EXPECT_TRUE(value.Reserve(10));  // not a collection: nothing happens
    EXPECT_EQ(value.Kind(), Kind::Empty);
    value.EnsureCollection();
    EXPECT_TRUE(value.Reserve(100));
    value.Element(0).SetString("first");
    EXPECT_FALSE(value.Reserve(BindingProperty::kMaxCollectionSize + 1));
    EXPECT_EQ(value.TryElement(BindingProperty::kMaxCollectionSize), nullptr);
    EXPECT_THROW(value.Element(BindingProperty::kMaxCollectionSize), std::length_error);
    EXPECT_EQ(value.Size(), 1u);
    EXPECT_EQ(value.At(0).GetString(), "first");
    ASSERT_NE(value.TryElement(2), nullptr);
    EXPECT_EQ(value.Size(), 3u);
}

TEST(BindingPropertyIteration, FieldValuesAreMutableAndNonContainersIterateNothing) {
    BindingProperty text;
    text.SetString("text");
    EXPECT_TRUE(FieldNames(text).empty());
    EXPECT_TRUE(text.Elements().empty());
    BindingProperty value;
    value.Field("a").SetSigned(1);
    value.Field("b").SetSigned(2);
    for (auto [name, field] : value.Fields()) field.SetSigned(field.GetSigned() * 10);
    EXPECT_EQ(value.Find("a").GetSigned(), 10);
    EXPECT_EQ(value.Find("b").GetSigned(), 20);
}

using testing_support::Describe;

// A tree with every kind in it, and its description.
BindingProperty SampleTree() {
    BindingProperty tree;
    tree.Field("bool").SetBool(true);
    tree.Field("signed").SetSigned(-1);
    tree.Field("unsigned").SetUnsigned(2);
    tree.Field("float").SetFloat(0.5);
    tree.Field("text").SetString("hello");
    tree.Field("blob").SetBlob(BindingBlob{1, 2, 3});
    tree.Field("enum").SetEnum({4, 77});
    BindingProperty& list = tree.Field("list");
    list.Element(0).SetString("hello");
    list.Element(1).Field("inner").SetString("deep");
    list.Element(3).SetBool(false);
    return tree;
}

constexpr const char* kSample =
    "{blob:b:010203,bool:true,enum:e4/77,float:f0.5,list:[\"hello\",{inner:\"deep\"},~,false],"
    "signed:s-1,text:\"hello\",unsigned:u2}";

TEST(BindingPropertyCopy, DeepCopyReinternsInTheTargetArena) {
    const BindingProperty source = SampleTree();
    const PropertyArena& sourceArena = *source.Arena();
    EXPECT_EQ(sourceArena.StringUseCount("hello"), 2u);
    BindingProperty target;
    target.Field("old").SetString("gone");
    target.Field("copy") = source;
    EXPECT_EQ(Describe(target), std::string("{copy:") + kSample + ",old:\"gone\"}");
    EXPECT_EQ(target.Arena()->StringUseCount("hello"), 2u);
    EXPECT_EQ(sourceArena.StringUseCount("hello"), 2u);
    EXPECT_NE(target.Find("copy").Find("text").GetString().data(), source.Find("text").GetString().data());
    EXPECT_FALSE(target.Find("copy").OwnsArena());

    BindingProperty constructed(source);
    EXPECT_EQ(Describe(constructed), kSample);
    EXPECT_TRUE(constructed.OwnsArena());
    EXPECT_NE(constructed.Arena(), source.Arena());

    // A wide structure's copy is a valid field tree, and one that takes further fields.
    BindingProperty wide;
    for (int i = 0; i < 100; ++i) wide.Field("f" + std::to_string(i * 37 % 100)).SetSigned(i);
    BindingProperty wideCopy(wide);
    EXPECT_TRUE(wideCopy.FieldTreeHoldsRules());
    wideCopy.Field("a").SetSigned(-1);
    wideCopy.Field("zz").SetSigned(-2);
    EXPECT_TRUE(wideCopy.FieldTreeHoldsRules());
    EXPECT_EQ(wideCopy.Size(), 102u);
    EXPECT_EQ(wideCopy.Find("f37").GetSigned(), 1);

    BindingProperty scalar;
    scalar.SetSigned(3);
    constructed = scalar;  // a copy replaces any kind, and its texts with it
    EXPECT_EQ(constructed.GetSigned(), 3);
    EXPECT_EQ(constructed.Arena()->StringCount(), 0u);
}

TEST(BindingPropertyCopy, SelfAndSameTreeCopies) {
    BindingProperty tree = SampleTree();
    tree = tree;  // NOLINT: self-assignment is part of the contract
    EXPECT_EQ(Describe(tree), kSample);

    // A parent copied into its own child, and a child copied over its parent.
    // The field exists (Empty) before the copy is taken, so the copy holds it too.
    tree.Field("self") = tree;
    EXPECT_EQ(Describe(tree.Find("self")), std::string(kSample).insert(std::string(kSample).find(",signed"), ",self:~"));
    tree.Field("list").Element(2) = tree.Find("text");
    EXPECT_EQ(tree.Find("list").At(2).GetString(), "hello");
    tree = tree.Find("self");
    EXPECT_EQ(tree.Size(), 9u);
    tree.Field("self") = tree.Find("list");
    EXPECT_EQ(tree.Find("self").Size(), 4u);
}

TEST(BindingPropertyMove, RootsSwap) {
    BindingProperty a = SampleTree();
    BindingProperty b;
    b.SetString("other");
    const PropertyArena* arenaA = a.Arena();
    const PropertyArena* arenaB = b.Arena();
    b = std::move(a);
    EXPECT_EQ(Describe(b), kSample);
    EXPECT_EQ(b.Arena(), arenaA);
    EXPECT_EQ(a.Kind(), Kind::Empty);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(a.Arena(), arenaB);
    EXPECT_EQ(arenaB->StringCount(), 0u);
    EXPECT_TRUE(a.OwnsArena());

    BindingProperty c(std::move(b));
    EXPECT_EQ(Describe(c), kSample);
    EXPECT_EQ(c.Arena(), arenaA);
    EXPECT_EQ(b.Kind(), Kind::Empty);  // NOLINT(bugprone-use-after-move)
}

TEST(BindingPropertyMove, IntoAndOutOfTreesCopiesAndClearsTheSource) {
    BindingProperty root = SampleTree();
    BindingProperty tree;
    tree.Field("moved") = std::move(root);
    EXPECT_EQ(Describe(tree.Find("moved")), kSample);
    EXPECT_EQ(root.Kind(), Kind::Empty);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(root.Arena()->StringCount(), 0u);

    BindingProperty out(std::move(tree.Field("moved")));
    EXPECT_EQ(Describe(out), kSample);
    EXPECT_TRUE(out.OwnsArena());
    EXPECT_NE(out.Arena(), tree.Arena());
    EXPECT_EQ(Describe(tree), "{moved:~}");
    EXPECT_EQ(tree.Arena()->StringUseCount("hello"), 0u);
}

TEST(BindingPropertyMove, WithinOneTree) {
    BindingProperty tree = SampleTree();
    // Sibling to sibling.
    tree.Field("x") = std::move(tree.Field("list"));
    EXPECT_EQ(tree.Find("x").Size(), 4u);
    EXPECT_EQ(tree.Find("list").Kind(), Kind::Empty);
    // A descendant over its ancestor.
    tree.Field("x") = std::move(tree.Field("x").Element(1));
    EXPECT_EQ(Describe(tree.Find("x")), "{inner:\"deep\"}");
    // An ancestor into its own descendant: the source ends Empty, taking the target along.
    tree.Field("x") = SampleTree();
    BindingProperty& target = tree.Field("x").Field("list").Element(0);
    target = std::move(tree.Field("x"));
    EXPECT_EQ(tree.Find("x").Kind(), Kind::Empty);
    EXPECT_EQ(tree.Arena()->StringUseCount("deep"), 0u);
}

// Trees 100,000 levels deep are built, copied, cleared and destroyed without recursion.
TEST(BindingPropertyDepth, VeryDeepTrees) {
    constexpr int kDepth = 100000;
    BindingProperty root;
    BindingProperty* node = &root;
    for (int i = 0; i < kDepth; ++i) node = (i % 2 == 0) ? &node->Field("child") : &node->Element(0);
    node->SetString("leaf");
    {
        const BindingProperty copy = root;
        const BindingProperty* walk = &copy;
        int depth = 0;
        while (walk->Kind() == Kind::Structure || walk->Kind() == Kind::Collection) {
            walk = walk->Kind() == Kind::Structure ? &walk->Find("child") : &walk->At(0);
            ++depth;
        }
        EXPECT_EQ(depth, kDepth);
        EXPECT_EQ(walk->GetString(), "leaf");
    }
    root.Clear();
    EXPECT_EQ(root.Arena()->PagesHeld(), 0u);
    EXPECT_EQ(root.Arena()->StringCount(), 0u);
    // Destruction walks iteratively as well: the unique_ptr drops a deep tree at the end.
    auto deep = std::make_unique<BindingProperty>();
    node = deep.get();
    for (int i = 0; i < kDepth; ++i) node = &node->Element(0);
}

TEST(BindingResult, FailReplacesTheValueWithTheErrorField) {
    EXPECT_TRUE(BindingResult().Succeeded());
    for (const char* message : {"A value for 'x' is required.", "", "line\nbreak"}) {
        BindingResult result;
        result.Value().Field("old").SetSigned(1);
        result.Fail(message);
        EXPECT_FALSE(result.Succeeded());
        EXPECT_EQ(result.ErrorMessage(), message);
        EXPECT_EQ(result.Value().Size(), 1u);
        EXPECT_EQ(result.Value().Find("error").GetString(), message);
    }
    BindingResult again;  // failing with its own message reads it before replacing it
    again.Fail(std::string(40, 'e'));
    again.Fail(again.ErrorMessage());
    EXPECT_EQ(again.ErrorMessage(), std::string(40, 'e'));
}

// Only a failure with a String error field has a message; marking a failure a success
// keeps the value but no longer reports its text.
TEST(BindingResult, ErrorMessageNeedsAFailureWithAStringErrorField) {
    BindingResult numeric;
    numeric.Fail("x");
    numeric.Value().Field("error").SetSigned(5);
    EXPECT_EQ(numeric.ErrorMessage(), "");
    BindingResult success;
    success.Value().Field("error").SetString("not a failure");
    EXPECT_EQ(success.ErrorMessage(), "");
    BindingResult marked;
    marked.Fail("bad");
    marked.MarkSucceeded();
    EXPECT_TRUE(marked.Succeeded());
    EXPECT_EQ(marked.ErrorMessage(), "");
    EXPECT_EQ(marked.Value().Find("error").GetString(), "bad");
}

TEST(BindingResult, MadeFromAValueIsASuccessHoldingIt) {
    BindingProperty value;
    value.SetString("v");
    const BindingResult result(value);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(result.Value().GetString(), "v");
}

}  // namespace
}  // namespace vclient
