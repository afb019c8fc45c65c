#include "value/binding_property.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "value/property_arena.h"

namespace vclient {
namespace {

using Kind = BindingPropertyType;

// A tree with every kind in it.
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

void ExpectSampleTree(const BindingProperty& tree) {
    ASSERT_EQ(tree.Kind(), Kind::Structure);
    EXPECT_TRUE(tree.Find("bool").GetBool());
    EXPECT_EQ(tree.Find("signed").GetSigned(), -1);
    EXPECT_EQ(tree.Find("unsigned").GetUnsigned(), 2u);
    EXPECT_EQ(tree.Find("float").GetFloat(), 0.5);
    EXPECT_EQ(tree.Find("text").GetString(), "hello");
    EXPECT_EQ(tree.Find("blob").GetBlob(), BindingBlob({1, 2, 3}));
    EXPECT_EQ(tree.Find("enum").GetEnum(), (BindingEnumPair{4, 77}));
    const BindingProperty& list = tree.Find("list");
    ASSERT_EQ(list.Size(), 4u);
    EXPECT_EQ(list.At(0).GetString(), "hello");
    EXPECT_EQ(list.At(1).Find("inner").GetString(), "deep");
    EXPECT_EQ(list.At(2).Kind(), Kind::Empty);
    EXPECT_EQ(list.At(3).Kind(), Kind::Bool);
}

TEST(BindingPropertyCopy, DeepCopyReinternsInTheTargetArena) {
    const BindingProperty source = SampleTree();
    const PropertyArena& sourceArena = *source.Arena();
    EXPECT_EQ(sourceArena.StringUseCount("hello"), 2u);
    BindingProperty target;
    target.Field("old").SetString("gone");
    target.Field("copy") = source;
    ExpectSampleTree(target.Find("copy"));
    EXPECT_EQ(target.Find("old").GetString(), "gone");
    EXPECT_EQ(target.Arena()->StringUseCount("hello"), 2u);
    EXPECT_EQ(sourceArena.StringUseCount("hello"), 2u);
    EXPECT_NE(target.Find("copy").Find("text").GetString().data(), source.Find("text").GetString().data());
    EXPECT_FALSE(target.Find("copy").OwnsArena());

    BindingProperty constructed(source);
    ExpectSampleTree(constructed);
    EXPECT_TRUE(constructed.OwnsArena());
    EXPECT_NE(constructed.Arena(), source.Arena());
}

TEST(BindingPropertyCopy, CopyReplacesAnyTargetKind) {
    BindingProperty source;
    source.SetSigned(3);
    BindingProperty target = SampleTree();
    target = source;
    EXPECT_EQ(target.GetSigned(), 3);
    EXPECT_EQ(target.Arena()->StringCount(), 0u);
    target = BindingProperty::EmptyValue();
    EXPECT_EQ(target.Kind(), Kind::Empty);
}

TEST(BindingPropertyCopy, SelfAndSameTreeCopies) {
    BindingProperty tree = SampleTree();
    tree = tree;  // NOLINT: self-assignment is part of the contract
    ExpectSampleTree(tree);

    // A parent copied into its own child, and a child copied over its parent.
    // The field exists (Empty) before the copy is taken, so the copy holds it too.
    tree.Field("self") = tree;
    ExpectSampleTree(tree.Find("self"));
    EXPECT_TRUE(tree.Find("self").HasField("self"));
    EXPECT_EQ(tree.Find("self").Find("self").Kind(), Kind::Empty);
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
    ExpectSampleTree(b);
    EXPECT_EQ(b.Arena(), arenaA);
    EXPECT_EQ(a.Kind(), Kind::Empty);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(a.Arena(), arenaB);
    EXPECT_EQ(arenaB->StringCount(), 0u);
    EXPECT_TRUE(a.OwnsArena());

    BindingProperty c(std::move(b));
    ExpectSampleTree(c);
    EXPECT_EQ(c.Arena(), arenaA);
    EXPECT_EQ(b.Kind(), Kind::Empty);  // NOLINT(bugprone-use-after-move)
}

TEST(BindingPropertyMove, IntoAndOutOfTreesCopiesAndClearsTheSource) {
    BindingProperty root = SampleTree();
    BindingProperty tree;
    tree.Field("moved") = std::move(root);
    ExpectSampleTree(tree.Find("moved"));
    EXPECT_EQ(root.Kind(), Kind::Empty);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(root.Arena()->StringCount(), 0u);

    BindingProperty out(std::move(tree.Field("moved")));
    ExpectSampleTree(out);
    EXPECT_TRUE(out.OwnsArena());
    EXPECT_NE(out.Arena(), tree.Arena());
    EXPECT_TRUE(tree.HasField("moved"));
    EXPECT_EQ(tree.Find("moved").Kind(), Kind::Empty);
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
    EXPECT_EQ(tree.Find("x").Find("inner").GetString(), "deep");
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
    for (int i = 0; i < kDepth; ++i) {
        node = (i % 2 == 0) ? &node->Field("child") : &node->Element(0);
    }
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

    auto deep = std::make_unique<BindingProperty>();
    node = deep.get();
    for (int i = 0; i < kDepth; ++i) {
        node = &node->Element(0);
    }
    deep.reset();  // destruction walks iteratively as well
}

}  // namespace
}  // namespace vclient
