#include "value/binding_property_type.h"

#include <gtest/gtest.h>

#include <string_view>

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

}  // namespace
}  // namespace vclient
