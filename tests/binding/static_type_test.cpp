#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "util/fnv1a.h"

namespace vclient {
namespace {

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
