#include "codec/json_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "value/nesting_limit.h"
#include "support/binding_describe.h"

namespace vclient {
namespace {

using testing::Describe;

using testing::ReadCase;
using testing::Repeat;

void ExpectOutcomes(const std::vector<ReadCase>& cases) {
    testing::ExpectReadOutcomes(cases, [](const std::string& text) { return JsonToBinding(text); });
}

TEST(JsonReader, MapsEveryJsonValueToItsKind) {
    ExpectOutcomes({
        {"", "~"},
        {" ", "~"},
        {"  \r\n\t \n", "~"},
        {"5", "u5"},
        {"-5", "s-5"},
        {"5.0", "f5"},
        {"0", "u0"},
        {"-0", "s0"},
        {"4294967295", "u4294967295"},
        {"4294967296", "u4294967296"},
        {"18446744073709551615", "u18446744073709551615"},
        {"18446744073709551616", "f1.8446744073709552e+19"},
        {"-2147483649", "s-2147483649"},
        {"-9223372036854775808", "s-9223372036854775808"},
        {"-9223372036854775809", "f-9.2233720368547758e+18"},
        {"1e2", "f100"},
        {"-2.5E-3", "f-0.0025000000000000001"},
        {"true", "true"},
        {"false", "false"},
        {"null", "~"},
        {"\"text\"", "\"text\""},
        {"\"\"", "\"\""},
        {"\"\\u00e9\\/\\t\"", "\"\xC3\xA9/\t\""},
        {"\"\\uD83D\\uDE00\"", "\"\xF0\x9F\x98\x80\""},
        {" [1, \"a\", null] ", "[u1,\"a\",~]"},
        {"[]", "[]"},
        {"{}", "{}"},
        {"{\"a\": null, \"b\": [null, 1]}", "{a:~,b:[~,u1]}"},
        // Texts end at their first NUL, in names as in values.
        {"[\"ab\\u0000cd\", {\"k\\u0000z\": 1}]", "[\"ab\",{k:u1}]"},
        {Repeat("[", kMaxNestingDepth) + Repeat("]", kMaxNestingDepth),
         Repeat("[", kMaxNestingDepth) + Repeat("]", kMaxNestingDepth)},
    });
}

TEST(JsonReader, MalformedDocumentsFailWithReasonAndOffset) {
    ExpectOutcomes({
        {"[1, 2", "Error: Missing a comma or ']' after an array element. at offset 5."},
        {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
        {"{} a", "Error: The document root must not be followed by other values. at offset 3."},
        {"01", "Error: The document root must not be followed by other values. at offset 1."},
        {"nul", "Error: Invalid value. at offset 3."},
        {"[1,]", "Error: Invalid value. at offset 3."},
        {"NaN", "Error: Invalid value. at offset 0."},
        {"-", "Error: Invalid value. at offset 1."},
        {"{1:2}", "Error: Missing a name for object member. at offset 1."},
        {"{\"a\" 1}", "Error: Missing a colon after a name of object member. at offset 5."},
        {"{\"a\":1 \"b\":2}", "Error: Missing a comma or '}' after an object member. at offset 7."},
        {"\"\\u12G4\"", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        {" \"\\uD800\"", "Error: The surrogate pair in string is invalid. at offset 2."},
        {"\"\\uD800\\u0041\"", "Error: The surrogate pair in string is invalid. at offset 1."},
        {"\"\\x\"", "Error: Invalid escape character in string. at offset 1."},
        {"\"a\x01\"", "Error: Invalid escape character in string. at offset 2."},
        {"\"abc", "Error: Missing a closing quotation mark in string. at offset 4."},
        {"1.", "Error: Miss fraction part in number. at offset 2."},
        {"1e+", "Error: Miss exponent in number. at offset 3."},
        {"// comment\n1", "Error: Invalid value. at offset 0."},
        {Repeat("[", kMaxNestingDepth + 1), "Error: Terminate parsing due to Handler error. at offset 257."},
        {Repeat("[", 100'000), "Error: Terminate parsing due to Handler error. at offset 257."},
        {Repeat("{\"a\":", kMaxNestingDepth + 1), "Error: Terminate parsing due to Handler error. at offset 1281."},
        {"{{", "Error: Missing a name for object member. at offset 1."},
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

// Records of one array share their names; duplicates inside a record that follows the
// shape of the one before, and records that break from it, read as duplicates always do.
TEST(JsonReader, ArraysOfRecordsWithDuplicatesAndChangingShapes) {
    ExpectOutcomes({
        {R"([{"a":1,"b":{"x":1}},{"a":2,"b":{"y":2},"b":{"z":3}}])", "[{a:u1,b:{x:u1}},{a:u2,b:{y:u2,z:u3}}]"},
        {R"([{"b":1,"a":2},{"b":3,"a":4,"b":5},{"b":6,"a":7}])", "[{a:u2,b:u1},{a:u4,b:u5},{a:u7,b:u6}]"},
        {R"([{"b":1,"a":2},{"b":3},{"b":4,"a":5,"c":6},{"c":7}])", "[{a:u2,b:u1},{b:u3},{a:u5,b:u4,c:u6},{c:u7}]"},
        {R"([{"m":1,"g":2},{"i":3,"v":[1]},{"m":4,"g":5},{"i":6,"v":[2]}])",
         "[{g:u2,m:u1},{i:u3,v:[u1]},{g:u5,m:u4},{i:u6,v:[u2]}]"},
        {R"([{"a":1,"b":2},{"a":3,"b":])", "Error: Invalid value. at offset 26."},
    });
}

// The reader guesses each array's room from the arrays before it (by depth, and by member
// name at a depth); sizes that jump up and down, empty arrays and arrays past the room still
// read exactly.
TEST(JsonReader, ArraysOfChangingSizesAtOneDepth) {
    const auto array = [](int size, std::string& text, std::string& expected) {
        text += '[';
        expected += '[';
        for (int i = 0; i < size; ++i) {
            text += (i == 0 ? "" : ",") + std::to_string(i);
            expected += (i == 0 ? "u" : ",u") + std::to_string(i);
        }
        text += ']';
        expected += ']';
    };
    std::string text = "[";
    std::string expected = "[";
    for (const int size : {0, 70, 1, 0, 5, 100, 3, 64, 65, 2}) {
        array(size, text, expected);
        text += ',';
        expected += ',';
    }
    text.back() = ']';
    expected.back() = ']';
    EXPECT_EQ(Describe(JsonToBinding(text).Value()), expected);

    // Records whose members under five names (more than the reader keeps sizes for) hold
    // arrays of sizes that change from record to record.
    text = "[";
    expected = "[";
    const char* const names[] = {"a", "b", "c", "d", "e"};
    for (int record = 0; record < 12; ++record) {
        text += '{';
        expected += '{';
        for (int n = 0; n < 5; ++n) {
            text += std::string(n == 0 ? "" : ",") + '"' + names[n] + "\":";
            expected += std::string(n == 0 ? "" : ",") + names[n] + ':';
            array((record * 7 + n * 31) % 90, text, expected);
        }
        text += "},";
        expected += "},";
    }
    text.back() = ']';
    expected.back() = ']';
    EXPECT_EQ(Describe(JsonToBinding(text).Value()), expected);
}

TEST(JsonReader, DuplicateMembersReplaceMergeOrAppend) {
    ExpectOutcomes({
        {"{\"a\": 1, \"a\": 2}", "{a:u2}"},
        {"{\"a\": {\"x\": 1}, \"a\": {\"y\": 2}}", "{a:{x:u1,y:u2}}"},
        {"{\"a\": {\"x\": 1}, \"a\": {\"x\": 3}}", "{a:{x:u3}}"},
        {"{\"a\": [1], \"a\": [2, 3]}", "{a:[u1,u2,u3]}"},
        {"{\"a\": [{\"b\": 1}], \"a\": [{\"c\": 2}]}", "{a:[{b:u1},{c:u2}]}"},
        {"{\"a\": {\"x\": [1]}, \"a\": 3}", "{a:u3}"},
        {"{\"a\": [1, [2]], \"a\": \"s\"}", "{a:\"s\"}"},
        {"{\"a\": [1], \"a\": {\"x\": 1}}", "{a:{x:u1}}"},
        {"{\"a\": {\"x\": 1}, \"a\": [1]}", "{a:[u1]}"},
        {"{\"a\": {\"x\": 1}, \"a\": null}", "{a:~}"},
        // The members after a container replaced by a scalar land in the root again.
        {"{\"a\": {\"x\": {\"y\": 1}}, \"a\": 3, \"b\": [4], \"c\": 5}", "{a:u3,b:[u4],c:u5}"},
    });
}

TEST(JsonReader, AbsurdNumbersGiveSaneValuesOrClearErrors) {
    ExpectOutcomes({
        {"1e-99999999999", "f0"},
        {"-1e-99999999999", "f-0"},
        {"0.0000000001e-2147483639", "f0"},
        {"-123.4567890123e-2147483647", "f-0"},
        {"1e-2147483648", "f0"},
        {"1E-000000000000000000001", "f0.10000000000000001"},
        {"[1e-999999999, 2.5]", "[f0,f2.5]"},
        {"1e99999999999", "Error: Number too big to be stored in double. at offset 0."},
        {"[1e400]", "Error: Number too big to be stored in double. at offset 1."},
        {"[0.0001e400000000000]", "Error: Number too big to be stored in double. at offset 1."},
        {"100000000000000000000e308", "Error: Number too big to be stored in double. at offset 0."},
        {"[1.5e308, 1e-5]", "[f1.5e+308,f1.0000000000000001e-05]"},
        {"1" + std::string(400, '0'), "Error: Number too big to be stored in double. at offset 0."},
        {"0." + std::string(10'000, '0') + "1", "f0"},
        {"1." + std::string(10'000, '5'), "f1.5555555555555556"},
        {"[\"e-1234567890\", 1]", "[\"e-1234567890\",u1]"},
    });
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

}  // namespace
}  // namespace vclient
