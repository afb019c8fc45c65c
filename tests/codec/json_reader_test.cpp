#include "codec/json_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "codec/json_number_guard.h"
#include "support/binding_describe.h"
#include "value/nesting_limit.h"

// This program's operator new counts the bytes it hands out, as the plug-in library's
// counting allocator does for the memory statistics.
namespace {
std::atomic<std::size_t> gNewBytes{0};
}  // namespace

void* operator new(std::size_t size) {
    gNewBytes += size;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace vclient {
namespace {

using testing_support::Describe;

using testing_support::ReadCase;
using testing_support::Repeat;

void ExpectOutcomes(const std::vector<ReadCase>& cases) {
    testing_support::ExpectReadOutcomes(cases, [](const std::string& text) { return JsonToBinding(text); });
}

TEST(JsonReader, MapsEveryJsonValueToItsKind) {
    ExpectOutcomes({
        {"", "~"}, {" ", "~"}, {"  \r\n\t \n", "~"}, {"5", "u5"}, {"-5", "s-5"}, {"5.0", "f5"}, {"0", "u0"},
        {"-0", "s0"}, {"4294967295", "u4294967295"}, {"4294967296", "u4294967296"},
        {"18446744073709551615", "u18446744073709551615"}, {"18446744073709551616", "f1.8446744073709552e+19"},
        {"-2147483649", "s-2147483649"}, {"-9223372036854775808", "s-9223372036854775808"},
        {"-9223372036854775809", "f-9.2233720368547758e+18"}, {"1e2", "f100"},
        {"-2.5E-3", "f-0.0025000000000000001"}, {"true", "true"}, {"false", "false"}, {"null", "~"},
        {"\"text\"", "\"text\""}, {"\"\"", "\"\""}, {"\"\\u00e9\\/\\t\"", "\"\xC3\xA9/\t\""},
        {"\"\\uD83D\\uDE00\"", "\"\xF0\x9F\x98\x80\""}, {" [1, \"a\", null] ", "[u1,\"a\",~]"}, {"[]", "[]"},
        {"{}", "{}"}, {"{\"a\": null, \"b\": [null, 1]}", "{a:~,b:[~,u1]}"},
        // Texts end at their first NUL, in names as in values.
        {"[\"ab\\u0000cd\", {\"k\\u0000z\": 1}]", "[\"ab\",{k:u1}]"},
        {Repeat("[", kMaxNestingDepth) + Repeat("]", kMaxNestingDepth),
         Repeat("[", kMaxNestingDepth) + Repeat("]", kMaxNestingDepth)},
    });
}

// The parser's own reason and offset, for what the reader's settings refuse (trailing
// commas, NaN, comments, raw control characters, values after the root) and its depth limit.
TEST(JsonReader, MalformedDocumentsFailWithReasonAndOffset) {
    ExpectOutcomes({
        {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
        {"{} a", "Error: The document root must not be followed by other values. at offset 3."},
        {"[1,]", "Error: Invalid value. at offset 3."}, {"NaN", "Error: Invalid value. at offset 0."},
        {"// comment\n1", "Error: Invalid value. at offset 0."},
        {"\"a\x01\"", "Error: Invalid escape character in string. at offset 2."},
        {"\"\\uD800\\u0041\"", "Error: The surrogate pair in string is invalid. at offset 1."},
        {Repeat("[", kMaxNestingDepth + 1), "Error: Arrays and objects nested deeper than 256 levels. at offset 257."},
        {Repeat("[", 100'000), "Error: Arrays and objects nested deeper than 256 levels. at offset 257."},
        {Repeat("{\"a\":", kMaxNestingDepth + 1),
         "Error: Arrays and objects nested deeper than 256 levels. at offset 1281."},
    });
}

TEST(JsonReader, FailureDiscardsThePartialTree) {
    const BindingResult result = JsonToBinding("{\"a\": [1, 2], \"b\": x}");
    ASSERT_FALSE(result.Succeeded());
    EXPECT_EQ(Describe(result.Value()), "{error:\"Error: Invalid value. at offset 19.\"}");
}

TEST(JsonReader, EveryOverloadReadsOnlyItsText) {
    EXPECT_TRUE(JsonToBinding(static_cast<const char*>(nullptr)).Value().IsEmpty());
    EXPECT_TRUE(JsonToBinding(std::string("\n\n")).Value().IsEmpty());
    EXPECT_EQ(Describe(JsonToBinding(std::string("[1]\0 garbage", 12)).Value()), "[u1]");
    // A document ends at a NUL whatever follows: blanks before it make an empty document,
    // and an escape or a number that only looks hostile past it changes nothing.
    EXPECT_TRUE(JsonToBinding(std::string(" \n\0{\"a\":1}", 11)).Value().IsEmpty());
    EXPECT_EQ(JsonToBinding(std::string("[1,\0 2]", 7)).ErrorMessage(), "Error: Invalid value. at offset 3.");
    EXPECT_EQ(Describe(JsonToBinding(std::string("[\"ab\"]\0\"\\u0000\"", 15)).Value()), "[\"ab\"]");
    EXPECT_EQ(Describe(JsonToBinding(std::string("[2.5]\0 1e-9999999999", 21)).Value()), "[f2.5]");

    const char buffer[] = {'[', '1', ',', '2', ']', 'x', 'y'};  // not zero-terminated
    EXPECT_EQ(Describe(JsonToBinding(buffer, 5).Value()), "[u1,u2]");
    EXPECT_EQ(JsonToBinding(buffer, 7).ErrorMessage(),
              "Error: The document root must not be followed by other values. at offset 5.");
    EXPECT_TRUE(JsonToBinding(buffer, 0).Value().IsEmpty());
}

// Documents just below, at and above the size the reader copies to the stack read alike,
// and an error at their end names the right offset.
TEST(JsonReader, DocumentsAroundTheStackCopySizeReadAlike) {
    for (std::size_t size = 2040; size <= 2056; ++size) {
        const std::string padding(size - 8, 'p');
        const std::string text = "{\"k\":\"" + padding + "\"}";
        ASSERT_EQ(text.size(), size);
        EXPECT_EQ(JsonToBinding(text).Value().Find("k").GetString(), padding) << size;
        EXPECT_EQ(JsonToBinding(text + "x").ErrorMessage(),
                  "Error: The document root must not be followed by other values. at offset " + std::to_string(size) + ".")
            << size;
    }
}

// The reader guesses each array's room from the arrays before it (by depth, and by member
// name at a depth); sizes that jump up and down, empty arrays and arrays past the room still
// read exactly, also in records under five names (more than the reader keeps sizes for).
TEST(JsonReader, ArraysOfChangingSizesAtOneDepth) {
    std::string text;
    std::string expected;
    const auto add = [&](const std::string& json, const std::string& described) {
        text += json;
        expected += described;
    };
    const auto array = [&](int size) {
        add("[", "[");
        for (int i = 0; i < size; ++i) add((i == 0 ? "" : ",") + std::to_string(i), (i == 0 ? "u" : ",u") + std::to_string(i));
        add("]", "]");
    };
    add("[", "[");
    for (const int size : {0, 70, 1, 0, 5, 100, 3, 64, 65, 2}) {
        array(size);
        add(",", ",");
    }
    for (int record = 0; record < 12; ++record) {
        add("{", "{");
        for (const char name : std::string("abcde")) {
            add(std::string(name == 'a' ? "" : ",") + '"' + name + "\":", std::string(name == 'a' ? "" : ",") + name + ':');
            array((record * 7 + (name - 'a') * 31) % 90);
        }
        add(record == 11 ? "}]" : "},", record == 11 ? "}]" : "},");
    }
    EXPECT_EQ(Describe(JsonToBinding(text).Value()), expected);
}

TEST(JsonReader, DuplicateMembersReplaceMergeOrAppend) {
    ExpectOutcomes({
        {"{\"a\": 1, \"a\": 2}", "{a:u2}"}, {"{\"a\": {\"x\": 1}, \"a\": {\"y\": 2}}", "{a:{x:u1,y:u2}}"},
        {"{\"a\": {\"x\": 1}, \"a\": {\"x\": 3}}", "{a:{x:u3}}"}, {"{\"a\": [1], \"a\": [2, 3]}", "{a:[u1,u2,u3]}"},
        {"{\"a\": [{\"b\": 1}], \"a\": [{\"c\": 2}]}", "{a:[{b:u1},{c:u2}]}"},
        {"{\"a\": {\"x\": [1]}, \"a\": 3}", "{a:u3}"}, {"{\"a\": [1, [2]], \"a\": \"s\"}", "{a:\"s\"}"},
        {"{\"a\": [1], \"a\": {\"x\": 1}}", "{a:{x:u1}}"}, {"{\"a\": {\"x\": 1}, \"a\": [1]}", "{a:[u1]}"},
        {"{\"a\": {\"x\": 1}, \"a\": null}", "{a:~}"},
        // The members after a container replaced by a scalar land in the root again.
        {"{\"a\": {\"x\": {\"y\": 1}}, \"a\": 3, \"b\": [4], \"c\": 5}", "{a:u3,b:[u4],c:u5}"},
    });
}

TEST(JsonReader, AbsurdNumbersGiveSaneValuesOrClearErrors) {
    ExpectOutcomes({
        {"1e-99999999999", "f0"}, {"-1e-99999999999", "f-0"}, {"0.0000000001e-2147483639", "f0"},
        {"-123.4567890123e-2147483647", "f-0"}, {"1e-2147483648", "f0"},
        {"1E-000000000000000000001", "f0.10000000000000001"}, {"[1e-999999999, 2.5]", "[f0,f2.5]"},
        {"1e99999999999", "Error: Number too big to be stored in double. at offset 0."},
        {"[1e400]", "Error: Number too big to be stored in double. at offset 1."},
        {"[0.0001e400000000000]", "Error: Number too big to be stored in double. at offset 1."},
        {"100000000000000000000e308", "Error: Number too big to be stored in double. at offset 0."},
        {"[1.5e308, 1e-5]", "[f1.5e+308,f1.0000000000000001e-05]"},
        {"1" + std::string(400, '0'), "Error: Number too big to be stored in double. at offset 0."},
        {"0." + std::string(10'000, '0') + "1", "f0"}, {"1." + std::string(10'000, '5'), "f1.5555555555555556"},
        {"[\"e-1234567890\", 1]", "[\"e-1234567890\",u1]"},
    });
}

// On the careful path the parser copies every string to its working stack: that memory
// must go through operator new, or the memory statistics miss it.
TEST(JsonReader, TheParsersWorkingStackIsAllocatedThroughOperatorNew) {
    const std::string text(100'000, 'x');
    const auto bytesFor = [](const std::string& document) {
        const std::size_t before = gNewBytes;
        EXPECT_TRUE(JsonToBinding(document).Succeeded());
        return gNewBytes - before;
    };
    const std::size_t plain = bytesFor("[\"" + text + "\", 0]");
    EXPECT_GE(bytesFor("[\"" + text + "\", 1e-99999999999]"), plain + text.size());
}

TEST(JsonReader, CarefulNumberPathReadsOrdinaryNumbersAlike) {
    // A huge negative exponent anywhere sends the whole document down the careful path;
    // every other number must come out exactly as on the ordinary path.
    const std::string ordinary = "[2.5, -7, 18446744073709551615, 1e-5, 0.1, 123456.789e-3, -0, 3.14159e10]";
    const std::string plain = Describe(JsonToBinding(ordinary).Value());
    EXPECT_EQ(Describe(JsonToBinding("[1e-9999999999, " + ordinary.substr(1)).Value()), "[f0," + plain.substr(1));
}

// A long document is examined in pieces of 8 KiB before it is parsed; a NUL escape or a
// huge negative exponent is found wherever it lies across a piece's end.
TEST(JsonReader, EscapesAndHostileNumbersAcrossThePiecesOfALongDocument) {
    for (const std::size_t at : {8185u, 8189u, 8190u, 8191u, 8192u, 8193u, 16383u}) {
        // The backslash of the escape, and the 'e' of the exponent, at offset `at`.
        const std::string escaped = "[\"" + std::string(at - 7, 'p') + "\",\"ab\\u0000cd\"]";
        const BindingResult cut = JsonToBinding(escaped);
        ASSERT_TRUE(cut.Succeeded()) << at;
        EXPECT_EQ(cut.Value().At(1).GetString(), "ab") << at;

        const std::string hostile = "[\"" + std::string(at - 16, 'p') + "\",0.0000000001e-2147483639,-2.5]";
        const BindingResult zero = JsonToBinding(hostile);
        ASSERT_TRUE(zero.Succeeded()) << at;
        EXPECT_EQ(Describe(zero.Value().At(1)), "f0") << at;
        EXPECT_EQ(Describe(zero.Value().At(2)), "f-2.5") << at;
    }
}

TEST(JsonReader, RunawayDigitRunsAreRefused) {
    std::string text = "[0.";
    text.append(100'000'000, '0');
    text += "1]";
    EXPECT_EQ(JsonToBinding(text).ErrorMessage(), "Error: Number too big to be stored in double. at offset 1.");
}

TEST(JsonNumberGuard, SpotsDocumentsThatMayHoldHugeNegativeExponents) {
    struct Case { const char* text; bool expected; };
    const Case cases[] = {
        {"", false},
        {"[1e-5, -3, 2E-12345678]", false},  // eight exponent digits stay below the ceiling
        {"1e-123456789", true}, {"[0, 2E-000000000]", true},
        {"\"e-999999999\"", true},  // inside a string: costs only the careful path
        {"-123456789", false}, {"e-12345678x9", false}, {"-", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MayHoldHugeNegativeExponent(c.text), c.expected) << c.text;
}

TEST(JsonNumberGuard, TellsHugeNegativeExponentsLikeTheParserCountsThem) {
    struct Case { const char* number; bool expected; };
    const Case cases[] = {
        {"1e-214748363", false}, {"1e-214748364", true}, {"-0.5E-99999999999", true}, {"1e-000000000000005", false},
        {"1e+999999999999", false},  // positive exponents are bounded by the parser itself
        {"123456789012", false}, {"1e-", false}, {"1e", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsHugeNegativeExponent(c.number), c.expected) << c.number;
}

TEST(JsonNumberGuard, FindsTheNumberHoldingARunawayDigitRun) {
    EXPECT_EQ(FindRunawayNumber("[1, 2, 3]"), std::string::npos);
    std::string text = "{\"n\": -1.";
    text.append(kRunawayDigitRun, '0');
    text += "}";
    EXPECT_EQ(FindRunawayNumber(text), 6u);
    text[20] = ' ';  // two shorter runs
    EXPECT_EQ(FindRunawayNumber(text), std::string::npos);

    const std::string justShort(kRunawayDigitRun - 1, '7');
    EXPECT_EQ(FindRunawayNumber(justShort), std::string::npos);
    EXPECT_EQ(FindRunawayNumber(justShort + "7"), 0u);
    EXPECT_EQ(FindRunawayNumber("x" + justShort + "7"), 1u);
}

}  // namespace
}  // namespace vclient
