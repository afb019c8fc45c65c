#include "binding/type_registry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "binding/binding_type.h"
#include "binding/register_type.h"
#include "binding/static_type.h"
#include "util/fnv1a.h"

namespace vclient {
namespace {

enum class Phase { None = 0, Lobby = 1, InProgress = 8 };
enum class Shared : std::uint8_t { Zero = 0, One = 1 };

struct Inner { std::int32_t value = 0; };

struct Outer {
    bool flag = false;
    std::int8_t i8 = 0;
    std::uint16_t u16 = 0;
    std::int64_t i64 = 0;
    double ratio = 0;
    std::string text;
    BindingBlob bytes;
    BindingProperty dynamic;
    Phase phase = Phase::None;
    Inner inner;
    std::vector<Inner> inners;
    std::vector<std::int32_t> numbers;
    std::vector<std::string> texts;
    std::vector<Phase> phases;
};

struct Unregistered { int x = 0; };

void RegisterSample(TypeRegistry& registry) {
    RegisterEnum<Phase>(registry, "GameflowPhase").QIV_ENUMERATOR(None).QIV_ENUMERATOR(Lobby).QIV_ENUMERATOR(InProgress);
    RegisterRecord<Inner>(registry, "Inner").QIV_FIELD(value);
    RegisterRecord<Outer>(registry, "Outer")
        .Namespace("vclient")
        .Description("An outer record.")
        .Tags({"one", "", "two"})
        .QIV_FIELD(flag).QIV_FIELD(i8).QIV_FIELD(u16).QIV_FIELD(i64, {.flags = kOmitWhenEmpty}).QIV_FIELD(ratio)
        .QIV_FIELD(text, {.flags = kRequired, .description = "Some text"})
        .QIV_FIELD(bytes).QIV_FIELD(dynamic).QIV_FIELD(phase).QIV_FIELD(inner).QIV_FIELD(inners).QIV_FIELD(numbers)
        .QIV_FIELD(texts).QIV_FIELD(phases, {.declaredType = {BindingType::String}});
}

TEST(TypeRegistry, FieldsInWireOrderWithTypesAndOffsets) {
    TypeRegistry registry;
    RegisterSample(registry);
    const TypeRecord* outer = registry.FindByName("Outer");
    ASSERT_NE(outer, nullptr);
    const TypeRecord* inner = registry.FindByName("Inner");
    const TypeRecord* phase = registry.FindByName("GameflowPhase");

    struct Expected { const char* name; std::size_t offset; TypeIdentifier type; };
    const Expected expected[] = {
        {"flag", offsetof(Outer, flag), {BindingType::Bool}}, {"i8", offsetof(Outer, i8), {BindingType::Int8}},
        {"u16", offsetof(Outer, u16), {BindingType::Uint16}}, {"i64", offsetof(Outer, i64), {BindingType::Int64}},
        {"ratio", offsetof(Outer, ratio), {BindingType::Double}},
        {"text", offsetof(Outer, text), {BindingType::String}}, {"bytes", offsetof(Outer, bytes), {BindingType::Blob}},
        {"dynamic", offsetof(Outer, dynamic), {BindingType::Object}},
        {"phase", offsetof(Outer, phase), {BindingType::Enum, BindingType::None, phase}},
        {"inner", offsetof(Outer, inner), {BindingType::Struct, BindingType::None, inner}},
        {"inners", offsetof(Outer, inners), {BindingType::Vector, BindingType::Struct, inner}},
        {"numbers", offsetof(Outer, numbers), {BindingType::Vector, BindingType::Int32}},
        {"texts", offsetof(Outer, texts), {BindingType::Vector, BindingType::String}},
        {"phases", offsetof(Outer, phases), {BindingType::Vector, BindingType::Enum, phase}},
    };
    ASSERT_EQ(outer->fields.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const FieldRecord& field = outer->fields[i];
        EXPECT_EQ(field.name, expected[i].name);
        EXPECT_EQ(field.offset, expected[i].offset) << field.name;
        EXPECT_EQ(field.type, expected[i].type) << field.name;
    }
    EXPECT_EQ(outer->fields[3].flags, kOmitWhenEmpty);
    EXPECT_EQ(outer->fields[5].flags, kRequired);
    EXPECT_EQ(outer->fields[5].description, "Some text");
    EXPECT_EQ(outer->fields[13].declaredType.type, BindingType::String);
    EXPECT_EQ(outer->fields[0].declaredType.type, BindingType::None);
}

TEST(TypeRegistry, TypeAttributesOrderAndLookups) {
    TypeRegistry registry;
    RegisterSample(registry);
    const TypeRecord* outer = registry.FindByName("Outer");
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->nativeSize, sizeof(Outer));
    EXPECT_FALSE(outer->isEnumeration);
    EXPECT_EQ(outer->nameSpace, "vclient");
    EXPECT_EQ(outer->description, "An outer record.");
    EXPECT_EQ(outer->tags, (std::vector<std::string>{"one", "two"}));  // the empty tag is ignored
    EXPECT_EQ(outer->registry, &registry);
    const TypeRecord* phase = registry.FindByKey(StaticType::Key<Phase>());
    ASSERT_NE(phase, nullptr);
    EXPECT_TRUE(phase->isEnumeration);
    EXPECT_EQ(phase->nativeSize, sizeof(Phase));
    EXPECT_TRUE(phase->fields.empty());

    ASSERT_EQ(registry.TypeCount(), 3u);
    EXPECT_EQ(registry.TypeAt(0)->name, "GameflowPhase");
    EXPECT_EQ(registry.TypeAt(1)->name, "Inner");
    EXPECT_EQ(registry.TypeAt(2)->name, "Outer");
    EXPECT_EQ(registry.TypeAt(3), nullptr);
    EXPECT_EQ(registry.FindByName("Missing"), nullptr);
    EXPECT_EQ(registry.FindByKey(StaticType::Key<Unregistered>()), nullptr);
    EXPECT_EQ(registry.FindByKey(StaticType::Key<Inner>()), registry.FindByName("Inner"));
    EXPECT_EQ(registry.FindByKey(StaticType::Key<Outer>()), outer);
}

TEST(TypeRegistry, FirstRegistrationOfANameWins) {
    TypeRegistry registry;
    auto first = RegisterRecord<Inner>(registry, "Inner");
    first.QIV_FIELD(value).Description("first");
    EXPECT_TRUE(first.IsOpen());
    auto second = RegisterRecord<Outer>(registry, "Inner");
    second.QIV_FIELD(flag).QIV_FIELD(text).Description("second").Tag("late").Namespace("ns");
    EXPECT_FALSE(second.IsOpen());

    ASSERT_EQ(registry.TypeCount(), 1u);
    const TypeRecord* inner = registry.FindByName("Inner");
    ASSERT_EQ(inner->fields.size(), 1u);
    EXPECT_EQ(inner->fields[0].name, "value");
    EXPECT_EQ(inner->description, "first");
    EXPECT_TRUE(inner->tags.empty());
    EXPECT_EQ(inner->nameSpace, "");
    EXPECT_EQ(registry.FindByKey(StaticType::Key<Outer>()), nullptr);
}

TEST(TypeRegistry, EnumeratorsByNameAndValue) {
    TypeRegistry registry;
    RegisterEnum<Shared>(registry, "Shared")
        .Enumerator("Zulu", Shared::One)
        .Enumerator("Alpha", Shared::One, "first by name")
        .Enumerator("Zero", Shared::Zero)
        .Enumerator("Alpha", Shared::Zero);  // a name keeps its first value
    const std::uint32_t key = StaticType::Key<Shared>();
    const TypeRecord* shared = registry.FindByKey(key);
    ASSERT_EQ(shared->enumerators.size(), 3u);
    EXPECT_EQ(shared->enumerators.at("Alpha").value, 1);
    EXPECT_EQ(shared->enumerators.at("Alpha").description, "first by name");

    // The first name by name order answers for a value shared by several.
    const auto name = [&registry](std::uint32_t type, std::int32_t value) {
        const std::string* found = registry.FindEnumeratorName(type, value);
        return found == nullptr ? std::string("<none>") : *found;
    };
    EXPECT_EQ(name(key, 1), "Alpha");
    EXPECT_EQ(name(key, 0), "Zero");
    EXPECT_EQ(name(key, 2), "<none>");
    EXPECT_EQ(name(key + 1, 1), "<none>");
    EXPECT_EQ(name(StaticType::Key<Inner>(), 0), "<none>") << "not an enumeration";
    // Values compare as 64-bit numbers: 2^32 + 1 is no enumerator 1.
    EXPECT_TRUE(registry.IsEnumeratorValue(key, 1));
    EXPECT_FALSE(registry.IsEnumeratorValue(key, 2));
    EXPECT_FALSE(registry.IsEnumeratorValue(key, 4294967297LL));
    EXPECT_FALSE(registry.IsEnumeratorValue(key, -4294967296LL));
}

TEST(TypeRegistry, ConcurrentLookupsDuringRegistration) {
    TypeRegistry registry;
    RegisterSample(registry);
    std::thread reader([&registry] {
        for (int i = 0; i < 2000; ++i) {
            EXPECT_NE(registry.FindByName("Outer"), nullptr);
            EXPECT_NE(registry.FindEnumeratorName(StaticType::Key<Phase>(), 1), nullptr);
        }
    });
    for (int i = 0; i < 200; ++i) {
        (void)registry.BeginType(4, "T" + std::to_string(i), {static_cast<std::uint32_t>(1000 + i), "T"}, false);
    }
    reader.join();
    EXPECT_EQ(registry.TypeCount(), 203u);
}

struct LocalRecord {};
enum class LocalState { A };

TEST(Fnv1a, KnownVectors) {
    EXPECT_EQ(Fnv1a(""), 0x811c9dc5u);
    EXPECT_EQ(Fnv1a("a"), 0xe40c292cu);
    EXPECT_EQ(Fnv1a("foobar"), 0xbf9cf968u);
    // Bytes above 127 hash as unsigned.
    EXPECT_EQ(Fnv1a("\xff"), (0x811c9dc5u ^ 0xffu) * 16777619u);
}

TEST(StaticType, NamesCarryNamespacesAndTemplateArguments) {
    EXPECT_EQ(StaticType::Name<int>(), "int");
    EXPECT_EQ(StaticType::Name<LocalRecord>(), "vclient::{anonymous}::LocalRecord");
    EXPECT_EQ(StaticType::Name<LocalState>(), "vclient::{anonymous}::LocalState");
    EXPECT_NE(StaticType::Name<std::vector<int>>().find("std::vector<int"), std::string_view::npos);
    using IntArray = std::array<int, 3>;
    EXPECT_NE(StaticType::Name<IntArray>().find("std::array<int, 3>"), std::string_view::npos);
    EXPECT_EQ(StaticType::Name<void (*)(int)>(), "void (*)(int)");
    EXPECT_EQ(StaticType::Name<int[4]>(), "int [4]");
}

TEST(StaticType, KeyIsTheHashOfTheName) {
    static_assert(StaticType::Key<int>() == Fnv1a("int"));
    EXPECT_EQ(StaticType::Key<LocalRecord>(), Fnv1a(StaticType::Name<LocalRecord>()));
    using Map = std::map<std::string, int>;
    EXPECT_EQ(StaticType::Key<Map>(), Fnv1a(StaticType::Name<Map>()));
}

TEST(StaticType, NameTextIsZeroTerminated) {
    const std::string_view name = StaticType::Name<LocalRecord>();
    EXPECT_EQ(name.data()[name.size()], '\0');
}

}  // namespace
}  // namespace vclient
