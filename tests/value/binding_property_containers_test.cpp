#include "value/binding_property.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "value/property_arena.h"

namespace vclient {
namespace {

using Kind = BindingPropertyType;

std::vector<std::string> FieldNames(const BindingProperty& value) {
    std::vector<std::string> names;
    for (const auto& [name, field] : value.Fields()) names.push_back(name);
    return names;
}

TEST(BindingPropertyFields, IterateInUnsignedByteOrder) {
    struct Case {
        std::vector<std::string> inserted;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"b", "a", "c"}, {"a", "b", "c"}},
        {{"a", "B"}, {"B", "a"}},
        {{"ab", "a"}, {"a", "ab"}},
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
    for (const std::string& name : {names.front(), names[1500], names.back()}) {
        value.Field(name).SetString(name);
    }
    EXPECT_EQ(value.Size(), count);
    const std::vector<std::string> sorted = FieldNames(value);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string& name : names) {
        ASSERT_EQ(value.Find(name).GetString(), name);
    }
}

TEST(BindingPropertyFields, FieldAndElementReplaceOtherKinds) {
    BindingProperty value;
    value.SetSigned(5);
    value.Field("x").SetSigned(1);
    EXPECT_EQ(value.Kind(), Kind::Structure);
    EXPECT_EQ(value.Size(), 1u);
    static_cast<void>(value.Element(0));
    EXPECT_EQ(value.Kind(), Kind::Collection);
    EXPECT_EQ(value.Arena()->StringUseCount("x"), 0u);
}

TEST(BindingPropertyFields, FindAndHasFieldNeverChangeAnything) {
    BindingProperty list;
    list.Element(1).SetBool(true);
    EXPECT_EQ(&list.Find("a"), &BindingProperty::EmptyValue());
    EXPECT_FALSE(list.HasField("a"));
    EXPECT_EQ(list.Kind(), Kind::Collection);
    EXPECT_EQ(list.Size(), 2u);

    BindingProperty record;
    record.Field("present");
    EXPECT_TRUE(record.HasField("present"));
    EXPECT_EQ(&record.Find("absent"), &BindingProperty::EmptyValue());
    EXPECT_EQ(record.Arena()->StringUseCount("absent"), 0u);
    EXPECT_EQ(&record.At(0), &BindingProperty::EmptyValue());
    EXPECT_EQ(record.Kind(), Kind::Structure);
}

TEST(BindingPropertyElements, ElementPadsWithEmpties) {
    BindingProperty value;
    value.Element(3).SetSigned(9);
    ASSERT_EQ(value.Kind(), Kind::Collection);
    ASSERT_EQ(value.Size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(value.At(i).Kind(), Kind::Empty);
        EXPECT_FALSE(value.At(i).OwnsArena());
        EXPECT_EQ(value.At(i).Arena(), value.Arena());
    }
    EXPECT_EQ(value.At(3).GetSigned(), 9);
    EXPECT_EQ(&value.At(4), &BindingProperty::EmptyValue());
    EXPECT_EQ(&value.Element(1), &value.At(1));
}

TEST(BindingPropertyElements, AppendGrowsAndKeepsContents) {
    BindingProperty value;
    for (int i = 0; i < 1000; ++i) value.Append().Field("n").SetSigned(i);
    int expected = 0;
    for (const BindingProperty& element : value.Elements()) {
        ASSERT_EQ(element.Find("n").GetSigned(), expected++);
    }
    EXPECT_EQ(expected, 1000);
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

TEST(BindingPropertyElements, EnsureKeepsExistingContainers) {
    BindingProperty value;
    value.Element(0).SetBool(true);
    value.EnsureCollection();
    EXPECT_EQ(value.Size(), 1u);
    value.Field("a");
    value.EnsureStructure();
    EXPECT_EQ(value.Size(), 1u);
    value.EnsureCollection();
    EXPECT_EQ(value.Size(), 0u);
}

TEST(BindingPropertyIteration, FieldValuesAreMutableAndNonContainersIterateNothing) {
    BindingProperty text;
    text.SetString("text");
    EXPECT_TRUE(FieldNames(text).empty());
    EXPECT_TRUE(text.Elements().empty());
    BindingProperty value;
    value.Field("a").SetSigned(1);
    value.Field("b").SetSigned(2);
    for (auto [name, field] : value.Fields()) {
        field.SetSigned(field.GetSigned() * 10);
    }
    EXPECT_EQ(value.Find("a").GetSigned(), 10);
    EXPECT_EQ(value.Find("b").GetSigned(), 20);
}

}  // namespace
}  // namespace vclient
