#include "codec/yaml_anchor_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace vclient {
namespace {

TEST(YamlAnchorTable, PathsLeadFromTheRootToTheNode) {
    BindingProperty root;
    root.Field("list").Element(2).Field("x").SetSigned(5);
    const std::vector<YamlPathStep> path = {{YamlPathStep::Kind::Root, 0, {}},
                                            {YamlPathStep::Kind::Field, 0, "list"},
                                            {YamlPathStep::Kind::Index, 2, {}},
                                            {YamlPathStep::Kind::Field, 0, "x"}};
    EXPECT_EQ(ResolveYamlPath(root, path).GetSigned(), 5);
    const std::vector<YamlPathStep> missing = {{YamlPathStep::Kind::Field, 0, "nothing"},
                                               {YamlPathStep::Kind::Index, 0, {}}};
    EXPECT_TRUE(ResolveYamlPath(root, missing).IsEmpty());
    EXPECT_EQ(&ResolveYamlPath(root, {}), &root);
}

TEST(YamlAnchorTable, AliasCopiesShareOneBudgetPerDocument) {
    BindingProperty node;  // a collection of 999 elements: 1000 nodes
    for (std::size_t i = 0; i < 999; ++i) {
        node.Element(i).SetUnsigned(i);
    }
    YamlAnchorTable table;
    for (int copy = 0; copy < 1000; ++copy) {
        ASSERT_TRUE(table.ChargeCopy(node)) << "copy " << copy;
    }
    EXPECT_FALSE(table.ChargeCopy(BindingProperty()));  // the 1,000,001st node
    EXPECT_FALSE(table.ChargeCopy(BindingProperty()));
    table.Clear();
    EXPECT_TRUE(table.ChargeCopy(node));
}

}  // namespace
}  // namespace vclient
