#include "util/format_named.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/plugin_api_version.h"

namespace vclient {
namespace {

struct Named { std::string format; std::string message; PropertyMap properties; };

template <class... A>
Named Expand(std::string_view templ, const A&... args) {
    const std::array<FormatArgument, sizeof...(A)> arguments{FormatArgument(args)...};
    Named result;
    result.format = FormatNamed(templ, arguments.data(), arguments.size(), result.properties);
    result.message = FormatToString(result.format, arguments.data(), arguments.size());
    return result;
}

struct TemplateCase { const char* templ; const char* format; const char* message; };

// Expanded with the arguments 5, 2 and 3.
TEST(FormatNamed, EscapesPlaceholdersAndConversionsShareTheNumbering) {
    const TemplateCase cases[] = {
        {"{a}{{b}}", "%1{b}", "5{b}"}, {"{{x}} {a}", "{x} %1", "{x} 5"},
        {"{a}}}", "%1}", "5}"},
        {"a}b", "a}b", "a}b"},
        {"100%% {a}", "100%% %1", "100% 5"},
        {"{a}7", "%1$d7", "57"},  // a digit after a reference must not extend its number
        {"{a}$", "%1$d$", "5$"}, {"{a:04d}", "%1$04d", "0005"}, {"x {a!}", "x", "x"},
        {"x \t{a!}, y", "x, y", "x, y"}, {"{}", "%1", "5"},
        {"{a", "{a", "{a"},   // not closed: kept as written
        {"{a%}", "%1", "5"},  // "%" belongs to the name
        {"{a\\}b}", "%1", "5"},
        {"%d and {a}", "%d and %2", "5 and 2"},
        {"%*d|{a}", "%*d|%3", "    2|3"},                 // the "*" takes a number too
        {"%1$*2$d|{a}", "%1$*2$d|%2", " 5|2"},             // "*2$" names its argument
        {"{a} {b} {c} {d}", "%1 %2 %3 {d}", "5 2 3 {d}"},  // no fourth argument: kept as written
    };
    for (const auto& c : cases) {
        const Named named = Expand(c.templ, 5, 2, 3);
        EXPECT_EQ(named.format, c.format) << c.templ;
        EXPECT_EQ(named.message, c.message) << c.templ;
    }
    EXPECT_EQ(Expand("{a} {b} {c} {d}", 1, 2, 3).properties.count("d"), 0u);
}

TEST(FormatNamed, RecordsNamesWithTheirTypedValues) {
    const PluginApiVersion version{18, 0, 0, "", ""};
    const Named named = Expand("{b} {i} {u} {c} {d} {f} {t} {v} {w}", true, -3, 4u, 'A', 0.5, 1.5f,
                               std::string_view("sv"), version, UINT64_MAX);
    const PropertyMap expected{
        {"b", NamedValue(true)}, {"i", NamedValue(std::int64_t{-3})}, {"u", NamedValue(std::uint64_t{4})},
        {"c", NamedValue(std::int64_t{65})}, {"d", NamedValue(0.5)}, {"f", NamedValue(1.5)},
        {"t", NamedValue(std::string("sv"))}, {"v", NamedValue(std::string("18.0.0"))}, {"w", NamedValue(UINT64_MAX)},
    };
    EXPECT_EQ(named.properties, expected);
    EXPECT_EQ(named.message, "1 -3 4 A 0.5 1.5 sv 18.0.0 18446744073709551615");
}

TEST(FormatNamed, TypedPlaceholdersGetSuffixes) {
    const struct { const char* templ; NamedValue value; const char* key; } cases[] = {
        {"{#count}", NamedValue(std::int64_t{3}), "count_int"},
        {"{#count_long}", NamedValue(std::int64_t{3}), "count_long"}, {"{#ok}", NamedValue(true), "ok_bool"},
        {"{#ratio}", NamedValue(0.25), "ratio_float"}, {"{#who}", NamedValue(std::string("x")), "who_str"},
        {"{#size}", NamedValue(std::uint64_t{9}), "size_int"},
        {"{#when_time}", NamedValue(std::uint64_t{9}), "when_time"},
        {"{#name_str}", NamedValue(std::string("x")), "name_str"},
    };
    for (const auto& c : cases) {
        Named named;
        std::visit([&](const auto& v) { named = Expand(c.templ, v); }, c.value);
        ASSERT_EQ(named.properties.size(), 1u) << c.templ;
        EXPECT_EQ(named.properties.begin()->first, c.key) << c.templ;
        EXPECT_EQ(named.properties.begin()->second, c.value) << c.templ;
        EXPECT_EQ(named.format, "%1") << c.templ;
    }
    EXPECT_TRUE(Expand("{#}", 1).properties.empty()) << "an empty name records nothing";
}

TEST(FormatNamed, AlternativeTextReplacesEmptyValues) {
    EXPECT_EQ(Expand("n={count?none}", 0).message, "n=none");
    EXPECT_TRUE(Expand("n={count?none}", 0).properties.empty());
    EXPECT_EQ(Expand("n={count?none}", 0.5).format, "n=%1");
    EXPECT_EQ(Expand("n={count?none}", 0.5).properties.at("count"), NamedValue(0.5));
    EXPECT_EQ(Expand("{x?none}", 0.0).message, "none");
    EXPECT_EQ(Expand("{x?none}", false).message, "none");
    EXPECT_EQ(Expand("{x?none}", std::uint64_t{0}).message, "none");
    EXPECT_EQ(Expand("{x?none}", "").message, "none");
    EXPECT_EQ(Expand("{x?none}", "a").message, "a");
    EXPECT_EQ(Expand("{p?100%} {q}", 0, 7).message, "100% 7")
        << "a percent in the text stays literal";
}

TEST(FormatNamed, OptionsChangeWhatIsRecorded) {
    const struct {
        const char* templ;
        NamedValue value;
        const char* key;
        NamedValue recorded;
        const char* format;
        const char* message;
    } cases[] = {
        {"{#n@str}", NamedValue(std::int64_t{42}), "n_str", NamedValue(std::string("42")), "%1",
         "42"},
        {"{b@str}", NamedValue(true), "b", NamedValue(std::string("true")), "%1", "1"},
        {"{b@str}", NamedValue(false), "b", NamedValue(std::string("false")), "%1", "0"},
        {"{d@str}", NamedValue(0.5), "d", NamedValue(std::string("0.500000")), "%1", "0.5"},
        {"{#id@hex}", NamedValue(std::uint64_t{255}), "id_str",
         NamedValue(std::string("00000000000000FF")), "%1$016llX", "00000000000000FF"},
        {"{id@hex}", NamedValue(std::int64_t{-2}), "id",
         NamedValue(std::string("FFFFFFFFFFFFFFFE")), "%1$016llX", "FFFFFFFFFFFFFFFE"},
        {"{t@hex}", NamedValue(std::string("x")), "t", NamedValue(std::string("x")), "%1", "x"},
        {"{z@str?none}", NamedValue(std::int64_t{0}), "z", NamedValue(std::string("0")), "%1", "0"},
    };
    for (const auto& c : cases) {
        Named named;
        std::visit([&](const auto& v) { named = Expand(c.templ, v); }, c.value);
        EXPECT_EQ(named.properties, (PropertyMap{{c.key, c.recorded}})) << c.templ;
        EXPECT_EQ(named.format, c.format) << c.templ;
        EXPECT_EQ(named.message, c.message) << c.templ;
    }
}

TEST(FormatNamed, LaterValuesReplaceEarlierOnes) {
    PropertyMap properties{{"a", NamedValue(std::string("old"))}, {"keep", NamedValue(true)}};
    EXPECT_EQ(FormatNamedMessage("{a} {a}", properties, 1, 2), "1 2");
    EXPECT_EQ(properties.at("a"), NamedValue(std::int64_t{2}));
    EXPECT_EQ(properties.at("keep"), NamedValue(true));
}

}  // namespace
}  // namespace vclient
