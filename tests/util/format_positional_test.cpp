#include "util/format_positional.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "util/plugin_api_version.h"

// Counts heap allocations so that a test can show FormatPositional makes none.
namespace {
std::atomic<std::size_t> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// Optimised, GCC sees the replaced operator new inlined at a call and then free in the
// matching delete, and takes the pair for a mismatch; they are this file's own pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace vclient {
namespace {

struct FormatCase { const char* format; const char* expected; };

// One argument of every row of the type table, numbered 1 to 10.
class EveryType : public ::testing::Test {
protected:
    std::string Expand(const char* format) const {
        char buffer[512];
        const std::size_t n =
            FormatPositional(buffer, sizeof buffer, format, arguments_.data(), arguments_.size());
        return std::string(buffer, n);
    }

    const std::int32_t signed32_ = -42;
    const std::uint32_t unsigned32_ = 3000000000u;
    const char character_ = 'A';
    const std::int64_t signed64_ = INT64_MIN;
    const std::uint64_t unsigned64_ = UINT64_MAX;
    const double real_ = 2.5;
    const char* const cText_ = "text";
    const std::string stdText_ = "str";
    const std::string_view viewText_ = std::string_view("viewXYZ").substr(0, 4);  // no terminator
    const PluginApiVersion version_{1, 2, 3, "rc.1", ""};
    const std::vector<FormatArgument> arguments_{signed32_,   unsigned32_, character_, signed64_,
                                                 unsigned64_, real_,       cText_,     stdText_,
                                                 viewText_,   version_};
};

TEST_F(EveryType, BareReferencesUseTheTypesDefault) {
    const FormatCase cases[] = {
        {"%1", "-42"}, {"%2", "3000000000"}, {"%3", "A"}, {"%4", "-9223372036854775808"},
        {"%5", "18446744073709551615"}, {"%6", "2.5"}, {"%7 %8 %9", "text str view"}, {"%10", "1.2.3-rc.1"},
        {"%1%2", "-423000000000"}, {"(%10)", "(1.2.3-rc.1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(Expand(c.format), c.expected) << c.format;
}

TEST_F(EveryType, PositionalConversionsKeepAllowedCharactersAndReplaceOthers) {
    const FormatCase cases[] = {
        {"%3$d", "65"},  // the character's code
        {"%3$x", "41"},
        {"%1$q", "-42"},  // not allowed: default "d"
        {"%1$x", "ffffffd6"}, {"%1$#x", "0xffffffd6"}, {"%1$+06d", "-00042"}, {"%2$d", "-1294967296"},
        {"%4$X", "8000000000000000"}, {"%4$i", "-9223372036854775808"}, {"%5$x", "ffffffffffffffff"},
        {"%5$s", "18446744073709551615"},  // not allowed: default "u"
        {"%6$.3f", "2.500"}, {"%6$010.2f", "0000002.50"}, {"%6$E", "2.500000E+00"}, {"%6$a", "0x1.4p+1"},
        {"%6$d", "2.5"},  // not allowed: default "g"
        {"%7$d", "text"},
        {"%8$#05s", "  str"},  // flags C leaves undefined for "s" are dropped
        {"%9$-6s|", "view  |"}, {"%9$.2s", "vi"}, {"%9$8s", "    view"}, {"%3$5c|", "    A|"},
        {"%3$.3c|", "A|"},  // a precision means nothing for "c"
    };
    for (const auto& c : cases) EXPECT_EQ(Expand(c.format), c.expected) << c.format;
}

TEST_F(EveryType, LengthModifiersNeverMisreadTheValue) {
    const FormatCase cases[] = {
        {"%1$lld", "-42"},     {"%1$hhd", "-42"},       {"%4$hd", "-9223372036854775808"},
        {"%6$Lf", "2.500000"}, {"%2$zu", "3000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(Expand(c.format), c.expected) << c.format;
}

TEST_F(EveryType, OrdinaryConversionsTakeArgumentsInSequence) {
    const FormatCase cases[] = {
        {"%d %u %c", "-42 3000000000 A"},
        {"%d %s", "-42 3000000000"},         // "s" is not allowed for an unsigned integer
        {"%1 %d %u", "-42 -42 3000000000"},  // references do not move the sequence
        {"%11d|", "        -42|"},           // 11 is above count: a width
        {"%01d|", "-42|"},                   // a leading 0 is a flag
        {"%n|%u", "|3000000000"},            // "n" takes its argument and writes nothing
        {"%1$n|", "|"}, {"100%%", "100%"}, {"%%1", "%1"},
        {"a%", "a"},  // a conversion cut by the end of the format
    };
    for (const auto& c : cases) EXPECT_EQ(Expand(c.format), c.expected) << c.format;
}

template <class... A>
std::string Text(const char* format, const A&... args) { return Format(format, args...); }

TEST(FormatPositional, BeyondCountIsAWidthAndTheSequenceEnds) {
    // With two arguments "%3" is no reference; the third ordinary conversion has no argument.
    EXPECT_EQ(Text("[%3d][%3d][%3d]", 7, 8), "[  7][  8][");
    EXPECT_EQ(Text("%d %d %d", 1, 2), "1 2 ");
    EXPECT_EQ(Text("%1 %3 %3 %3 tail", 1, 2), "1   1  2");  // " " is the conversion character
}

TEST(FormatPositional, StarsReadWidthAndPrecisionFromIntegers) {
    EXPECT_EQ(Text("%*d|", 5, 42), "   42|");
    EXPECT_EQ(Text("%-*d|", 5, 42), "42   |");
    EXPECT_EQ(Text("%*d|", -5, 42), "42   |");
    EXPECT_EQ(Text("%.*f", 2, 3.14159), "3.14");
    EXPECT_EQ(Text("%.*f", -1, 3.14159), "3.141590");  // a negative precision is none
    EXPECT_EQ(Text("%1$*2$d|", 42, 6), "    42|");
    EXPECT_EQ(Text("%3$*1$.*2$f|", 8, 3, 2.0), "   2.000|");
    EXPECT_EQ(Text("%*s|", std::int64_t{0x100000005}, "ab"), "   ab|");  // low 32 bits
    EXPECT_EQ(Text("%*c|", 'B', 'x'), std::string(65, ' ') + "x|");      // 'B' is 66
}

TEST(FormatPositional, EndsEarlyWhereTheFormatCannotBeHonoured) {
    const std::string dashes56(56, '-');
    EXPECT_EQ(Text(("a%1$" + dashes56 + "d|").c_str(), 5), "a5|") << "60 characters";
    EXPECT_EQ(Text(("a%1$" + dashes56 + "-d|").c_str(), 5), "a") << "61 characters";
    EXPECT_EQ(Text("a%*d b", 2.5, 7), "a") << "a double is no width";
    EXPECT_EQ(Text("a%.*f b", "x", 1.0), "a") << "a text is no precision";
    EXPECT_EQ(Text("x%1$*5$d y", 1), "x") << "star argument beyond count";
    EXPECT_EQ(Text("x%1$*0$d y", 1), "x") << "there is no argument 0";
    EXPECT_EQ(Text("x%*d y", 1), "x") << "star takes the only argument, the value has none";
    EXPECT_EQ(Text("a%*d b", PluginApiVersion{3, 0, 0, "", ""}, 5), "a") << "a version is no width";
}

TEST(FormatPositional, SixtyFourBitValuesOnEveryTarget) {
    EXPECT_EQ(Text("%d|%d", INT64_MIN, INT64_MAX), "-9223372036854775808|9223372036854775807");
    EXPECT_EQ(Text("%1 %2", LONG_MIN, ULONG_MAX),
              std::to_string(LONG_MIN) + " " + std::to_string(ULONG_MAX));
    EXPECT_EQ(Text("%1", LLONG_MIN), std::to_string(LLONG_MIN));
}

TEST(FormatPositional, NarrowTypesWidenToThirtyTwoBits) {
    EXPECT_EQ(Text("%1 %2 %3 %4 %5 %6", std::int16_t{-7}, std::uint16_t{65535}, std::int8_t{-8},
                   std::uint8_t{200}, true, 1.5f),
              "-7 65535 -8 200 1 1.5");
    EXPECT_EQ(Text("%1$x", std::int16_t{-1}), "ffffffff");
}

TEST(FormatPositional, OutputIsBoundedByTheBuffer) {
    EXPECT_EQ(Text("%1", std::string(5000, 'x')), std::string(4095, 'x'));
    EXPECT_EQ(Text(std::string(5000, 'y').c_str()), std::string(4095, 'y'));
    EXPECT_EQ(Text("%1$99999999999d", 5), std::string(4095, ' '));
    EXPECT_EQ(Text("%*d", INT_MIN, 5), "5" + std::string(4094, ' '));
    EXPECT_EQ(Text("%.*d", INT_MAX, 5), std::string(4095, '0'));
}

TEST(FormatPositional, MissingBuffersFormatsAndArgumentsGiveNothing) {
    const std::string word = "abcdefgh";
    const FormatArgument argument(word);
    char buffer[8] = "#######";
    EXPECT_EQ(FormatPositional(buffer, 0, "%1", &argument, 1), 0u);
    EXPECT_EQ(buffer[0], '#') << "a zero size writes nothing";
    EXPECT_EQ(FormatPositional(nullptr, 8, "%1", &argument, 1), 0u);
    EXPECT_EQ(FormatPositional(buffer, sizeof buffer, nullptr, &argument, 1), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(FormatPositional(buffer, sizeof buffer, "%1|", nullptr, 3), 0u)
        << "no arguments at all";
}

// Whatever the size, the output is the first size - 1 characters of the full result.
TEST(FormatPositional, EverySizeGivesAPrefixOfTheFullResult) {
    const PluginApiVersion version{1, 22, 333, "alpha", "x"};
    const int number = -123;
    const double real = 2.75;
    const std::string text = "text";
    const std::uint64_t wide = 77;
    const std::vector<FormatArgument> arguments{number, real, text, version, wide};
    const char* formats[] = {"a %1 b %2 c %3 d %4 e %5 f", "%1$10d|%2$-8.3f|%4$14s|%3$.2s|%%|%5$#o",
                             "%*d|%s|%-9s|", "%4$-20s/%4$.5s"};
    for (const char* format : formats) {
        char full[1024];
        const std::size_t fullLength =
            FormatPositional(full, sizeof full, format, arguments.data(), arguments.size());
        for (std::size_t size = 1; size <= fullLength + 2; ++size) {
            std::vector<char> buffer(size + 1, '#');
            const std::size_t n =
                FormatPositional(buffer.data(), size, format, arguments.data(), arguments.size());
            ASSERT_LE(n, size - 1) << format << " size " << size;
            EXPECT_EQ(std::string(buffer.data(), n),
                      std::string(full, std::min(fullLength, size - 1)))
                << format << " size " << size;
            EXPECT_EQ(buffer[n], '\0');
            EXPECT_EQ(buffer[size], '#') << "wrote past the buffer";
        }
    }
}

TEST(FormatPositional, AllocatesNothing) {
    const std::string text = "text";
    const PluginApiVersion version{1, 2, 3, "pre", "build"};
    const int number = -1;
    const double real = 2.5;
    const std::int64_t wide = INT64_MIN;
    const char character = 'c';
    const std::vector<FormatArgument> arguments{number, real, text, version, wide, character};
    char buffer[256];
    const std::size_t before = g_allocations.load();
    const std::size_t n =
        FormatPositional(buffer, sizeof buffer, "%1 %2 %3 %4 %5 %6 %*d %2$e %4$-20s",
                         arguments.data(), arguments.size());
    EXPECT_EQ(g_allocations.load(), before);
    EXPECT_GT(n, 0u);
}

struct VersionCase { PluginApiVersion version; const char* text; };

TEST(PluginApiVersion, PrintsNumbersThenNonEmptyLabels) {
    const VersionCase cases[] = {
        {{18, 0, 0, "", ""}, "18.0.0"}, {{1, 2, 3, "beta.1", ""}, "1.2.3-beta.1"},
        {{1, 2, 3, "", "build.7"}, "1.2.3+build.7"}, {{1, 2, 3, "rc.1", "exp.5114f85"}, "1.2.3-rc.1+exp.5114f85"},
        {{4294967295u, 4294967295u, 4294967295u, "", ""}, "4294967295.4294967295.4294967295"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.version.ToString(), c.text);
        EXPECT_EQ(Format("%1", c.version), c.text) << "formatted as an argument";
    }
}

TEST(PluginApiVersion, FormatsUnderStringRules) {
    const PluginApiVersion version{1, 2, 3, "rc.1", "b9"};
    const struct { const char* format; const char* expected; } cases[] = {
        {"[%1$16s]", "[   1.2.3-rc.1+b9]"}, {"[%1$-16s]", "[1.2.3-rc.1+b9   ]"},
        {"[%1$.7s]", "[1.2.3-r]"},          {"[%1$10.3s]", "[       1.2]"},
        {"[%1$d]", "[1.2.3-rc.1+b9]"},  // "d" is not allowed: the text is printed
        {"[%s]", "[1.2.3-rc.1+b9]"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format(c.format, version), c.expected) << c.format;
}

}  // namespace
}  // namespace vclient
