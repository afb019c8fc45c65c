#include "binding/binding_property_type.h"

#include <gtest/gtest.h>

#include <string_view>

#include "binding/fnv1a.h"

namespace vclient {
namespace {

TEST(BindingPropertyType, PrintedNames) {
    struct Case {
        int kind;
        std::string_view name;
    };
    const Case cases[] = {
        {0, "empty"}, {1, "bool"},   {2, "signed"},     {3, "unsigned"},   {4, "float"},
        {5, "string"}, {6, "blob"},  {7, "enum"},       {8, "collection"}, {9, "structure"},
        {10, ""},      {255, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KindName(static_cast<BindingPropertyType>(c.kind)), c.name) << "kind " << c.kind;
    }
}

TEST(Fnv1a, KnownValues) {
    EXPECT_EQ(Fnv1a(""), 0x811c9dc5u);
    EXPECT_EQ(Fnv1a("a"), 0xe40c292cu);
    EXPECT_EQ(Fnv1a("foobar"), 0xbf9cf968u);
    // Bytes above 0x7F hash as unsigned values.
    EXPECT_EQ(Fnv1a("\xff"), (0x811c9dc5u ^ 0xffu) * 16777619u);
}

}  // namespace
}  // namespace vclient
