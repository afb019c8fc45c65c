#include "codec/yaml_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/yaml_anchor_table.h"
#include "codec/yaml_scalar.h"
#include "support/binding_describe.h"

namespace vclient {
namespace {

using testing_support::Describe;

using testing_support::ReadCase;
using testing_support::Repeat;

void ExpectOutcomes(const std::vector<ReadCase>& cases) {
    testing_support::ExpectReadOutcomes(cases, [](const std::string& text) { return YamlToBinding(text); });
}

TEST(YamlReader, BuildsTreesFromDocuments) {
    ExpectOutcomes({
        {"", "~"}, {"# only a comment\n", "~"}, {"---\n...\n", "~"}, {"a: 1", "{a:u1}"}, {"a: '1'", "{a:\"1\"}"},
        {"a: ~", "{a:~}"}, {"a:", "{a:~}"}, {"|-\n  123\n", "u123"}, {"|\n  123\n", "\"123\n\""},
        {">-\n  12\n  3\n", "\"12 3\""}, {"\"123\"", "\"123\""}, {"!!int \"7\"", "u7"},
        {"[1, a, ~, [], {}]", "[u1,\"a\",~,[],{}]"}, {"- x\n- - 1\n  - 2\n- k: v\n", "[\"x\",[u1,u2],{k:\"v\"}]"},
        {"b: 1\na: {c: [true, 'no']}\n\"\": empty key\n", "{:\"empty key\",a:{c:[true,\"no\"]},b:u1}"},
        {"? complex\n: value\n", "{complex:\"value\"}"}, {"!!str key: 1", "{key:u1}"}, {"!!map {a: 1}", "{a:u1}"},
        // An empty document before a real one is no second value.
        {"--- ~\n--- 2\n", "u2"},
        {"a: {a: 1}", "{a:{a:u1}}"},  // the same key at another level is no repeat
        // A repeated key: a later scalar replaces an earlier one, Empty included.
        {"{a: 1, 'a': 2}", "{a:u2}"}, {"a: 1\nb: x\na: ~\n", "{a:~,b:\"x\"}"}, {"a:\na: yes\n", "{a:true}"},
        {"- a: x\n  a: 1.5\n", "[{a:f1.5}]"},
    });
}

TEST(YamlReader, AliasesCopyTheAnchoredNode) {
    ExpectOutcomes({
        {"a: &x {b: 1, c: [2]}\nd: *x\n", "{a:{b:u1,c:[u2]},d:{b:u1,c:[u2]}}"},
        {"- &s hello\n- *s\n- *s\n", "[\"hello\",\"hello\",\"hello\"]"}, {"- &e\n- *e\n", "[~,~]"},
        {"&k name: 1\nother: *k\n", "{name:u1,other:\"name\"}"},
        {"list: &l [1, [2, &inner {z: 3}]]\ncopy: *l\nz: *inner\n",
         "{copy:[u1,[u2,{z:u3}]],list:[u1,[u2,{z:u3}]],z:{z:u3}}"},
        // In key position an alias stands for an anchored key's or String's text.
        {"x: {&k a: 1}\ny: {*k : 2}\n", "{x:{a:u1},y:{a:u2}}"},
        {"x: &s name\ny: {*s : 2}\n", "{x:\"name\",y:{name:u2}}"},
        // Repeated keys by alias, and aliases to a scalar that a repeated key replaced.
        {"&k a: 1\n*k : 2\n", "{a:u2}"}, {"v: &v 5\na: 1\na: *v\n", "{a:u5,v:u5}"},
        {"a: &x '1'\na: 2\nb: *x\n", "{a:u2,b:\"1\"}"}, {"a: &x !!bool on\na: 2\nb: *x\n", "{a:u2,b:true}"},
    });
}

TEST(YamlReader, ACopyIsIndependentOfItsSource) {
    BindingResult read = YamlToBinding("a: &x {b: 1}\nc: *x\n");
    ASSERT_TRUE(read.Succeeded());
    read.Value().Field("c").Field("b").SetSigned(9);
    EXPECT_EQ(Describe(read.Value()), "{a:{b:u1},c:{b:s9}}");
}

TEST(YamlReader, ReportsStructuralErrorsWithOneBasedPositions) {
    ExpectOutcomes({
        {"1\n--- 2\n", "Multi-document YAML is not supported."},
        {"a: 1\n---\nb: 2\n", "Multi-document YAML is not supported."},
        {"a: &x\n  b: *x\n", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 2 col: 6"},
        {"- &x [1, [*x]]\n", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 11"},
        {"a: *y", "Undefined alias encountered: \"y\". At line: 1 col: 4"},
        {"--- &a 1\n--- *a\n", "Multi-document YAML is not supported."},
        {"--- &a ~\n--- *a\n", "Undefined alias encountered: \"a\". At line: 2 col: 5"},
        {"a: &x 1\nb: &x 2", "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
        {"&x a: &x 1", "Duplicate occurrence of anchor \"x\". At line: 1 col: 7"},
        {"? [a]\n: 1\n", "Unexpected start of sequence. At line: 1 col: 3"},
        {"{[a]: 1}", "Unexpected start of sequence. At line: 1 col: 2"},
        {"? {a: 1}\n: 1\n", "Unexpected start of mapping. At line: 1 col: 3"},
        {"!!int 1: a", "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
        {"x:\n  !!bool yes: a", "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 3"},
        {"a: !foo 1", "Unsupported YAML tag '!foo'."},
        {"a: !!int 12x", "Value 12x for 'yaml' of type uint64_t is in an incorrect format"},
        {"a: !!float x", "Value x for 'yaml' of type double is in an incorrect format"},
        // A repeated key where a mapping or sequence is involved, on either side, is refused
        // instead of mixing the values (5 would become a key of {x: 1}).
        {"a: {x: 1}\na: 5\n", "Duplicate mapping key \"a\". At line: 2 col: 1"},
        {"a: [1]\nb: 0\na: [2]\n", "Duplicate mapping key \"a\". At line: 3 col: 1"},
        {"a: []\n&k a: x\n", "Duplicate mapping key \"a\". At line: 2 col: 1"},
        {"a: 1\na: [2]\n", "Duplicate mapping key \"a\". At line: 2 col: 1"},
        {"{a: ~, a: {b: 1}}", "Duplicate mapping key \"a\". At line: 1 col: 8"},
        {"m: &m {b: 1}\na: 1\na: *m\n", "Duplicate mapping key \"a\". At line: 3 col: 1"},
        {"a: !!bool maybe", "Value maybe for 'yaml' of type bool is in an incorrect format. At line: 1 col: 4"},
        // An alias in key position must stand for text.
        {"x: &n 5\ny: {*n : 2}\n", "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 5"},
        {"x: &m {a: 1}\ny: {*m : 2}\n", "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 5"},
        {"y: {*nothing : 2}\n", "Undefined alias encountered: \"nothing\". At line: 1 col: 5"},
        {"&m {*m : 1}", "Cannot deserialize cyclic aliases. Alias \"m\". At line: 1 col: 5"},
        // Own errors take precedence over later parse errors.
        {"a: *nope\nb: [", "Undefined alias encountered: \"nope\". At line: 1 col: 4"},
    });
}

TEST(YamlReader, ReportsLibyamlErrorsWithItsZeroBasedMarks) {
    ExpectOutcomes({
        {"a: [1, 2", "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
        {"a: b: c", "YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4"},
        {"key: \"unterminated", "YAML parser error: found unexpected end of stream. At line: 0 col: 18"},
        // Encoding errors are placed by their byte offset.
        {std::string("a: 1\nb: \x01", 9),
         "YAML parser error: control characters are not allowed. At line: 1 col: 3"},
        {"a: \xC3\x28", "YAML parser error: invalid trailing UTF-8 octet. At line: 0 col: 4"},
    });
}

TEST(YamlReader, RefusesNestingDeeperThanTheLimit) {
    ExpectOutcomes({
        {Repeat("[", 256) + Repeat("]", 256), Repeat("[", 256) + Repeat("]", 256)},
        {Repeat("[", 257) + Repeat("]", 257), "YAML nesting is deeper than 256 levels. At line: 1 col: 257"},
        {Repeat("[", 100000), "YAML nesting is deeper than 256 levels. At line: 1 col: 257"},
        {Repeat("{a: ", 300), "YAML nesting is deeper than 256 levels. At line: 1 col: 1025"},
        {Repeat("- ", 300) + "x", "YAML nesting is deeper than 256 levels. At line: 1 col: 513"},
    });
}

TEST(YamlReader, CapsTheNodesThatAliasesCreate) {
    std::string document = "a: &a [" + Repeat("item, ", 9) + "item]\n";
    for (char level = 'b'; level <= 'i'; ++level) {
        const char previous = static_cast<char>(level - 1);
        document += std::string(1, level) + ": &" + level + " [" + Repeat(std::string("*") + previous + ", ", 9) +
                  "*" + previous + "]\n";
    }
    const BindingResult read = YamlToBinding(document);
    ASSERT_FALSE(read.Succeeded());
    // The alias whose copy crossed the limit, at its own position.
    EXPECT_EQ(read.ErrorMessage(), "YAML aliases expand to more than 1000000 nodes. Alias \"e\". At line: 6 col: 36");
}

TEST(YamlAnchorTable, AliasCopiesShareOneBudgetPerDocument) {
    BindingProperty node;  // a collection of 999 elements: 1000 nodes
    for (std::size_t i = 0; i < 999; ++i) node.Element(i).SetUnsigned(i);
    YamlAnchorTable table;
    for (int copy = 0; copy < 1000; ++copy) ASSERT_TRUE(table.ChargeCopy(node)) << "copy " << copy;
    EXPECT_FALSE(table.ChargeCopy(BindingProperty()));  // the 1,000,001st node
    EXPECT_FALSE(table.ChargeCopy(BindingProperty()));
    table.Clear();
    EXPECT_TRUE(table.ChargeCopy(node));
}

struct ScalarCase {
    std::string_view tag;
    std::string text;
    bool quoted;
    std::string expected;  // the tree, or the error text when `fails`
    bool fails = false;
};

void Check(const ScalarCase& test) {
    BindingProperty target;
    std::string error;
    const bool typed = TypeYamlScalar(YamlScalar{test.tag, test.text.c_str(), test.text.size(), test.quoted}, target, error);
    const std::string label = std::string(test.tag) + " '" + test.text + "'";
    EXPECT_EQ(typed, !test.fails) << label << ": " << error;
    EXPECT_EQ(test.fails ? error : Describe(target), test.expected) << label;
}

TEST(YamlScalar, UntaggedScalarsTakeTheirKindFromQuotingTheVocabularyAndStrtod) {
    const std::vector<ScalarCase> cases = {
        {"", "", false, "~"}, {"", "~", false, "~"}, {"", "null", false, "~"}, {"", "NULL", false, "~"},
        {"", "nULL", false, "\"nULL\""}, {"", "1", false, "u1"}, {"", "-1", false, "s-1"},
        {"", "1.5", false, "f1.5"}, {"", "-0.25", false, "f-0.25"}, {"", "1.0", false, "u1"},
        {"", "1e3", false, "u1000"}, {"", "0x10", false, "u16"}, {"", "010", false, "u10"}, {"", "+7", false, "u7"},
        {"", "-0", false, "u0"}, {"", "1e400", false, "\"1e400\""}, {"", "inf", false, "\"inf\""},
        {"", "12 apples", false, "\"12 apples\""},
        // The vocabulary; a word in mixed case is text.
        {"", "true", false, "true"}, {"", "TRUE", false, "true"}, {"", "yes", false, "true"},
        {"", "YES", false, "true"}, {"", "on", false, "true"}, {"", "ON", false, "true"}, {"", "y", false, "true"},
        {"", "false", false, "false"}, {"", "FALSE", false, "false"}, {"", "no", false, "false"},
        {"", "NO", false, "false"}, {"", "off", false, "false"}, {"", "OFF", false, "false"}, {"", "N", false, "false"},
        {"", "yES", false, "\"yES\""}, {"", "hello world", false, "\"hello world\""},
        // Integral numbers beyond a double stay exact or become Float.
        {"", "9007199254740993", false, "u9007199254740993"},
        {"", "18446744073709551615", false, "u18446744073709551615"},
        {"", "-9223372036854775808", false, "s-9223372036854775808"},
        {"", "18446744073709551616", false, "f1.8446744073709552e+19"},
        {"", "-9223372036854775809", false, "f-9.2233720368547758e+18"},
        {"", "1e300", false, "f1.0000000000000001e+300"}, {"", "-1e300", false, "f-1.0000000000000001e+300"},
        {"", "-1e400", false, "f-inf"}, {"", "nan", false, "fnan"},
        // Around the forms read without strtod (up to 18 digits, plain decimal fractions).
        {"", "999999999999999999", false, "u999999999999999999"},
        {"", "-999999999999999999", false, "s-999999999999999999"},
        {"", "1234567890123456789", false, "u1234567890123456789"}, {"", "0.1", false, "f0.10000000000000001"},
        {"", "-2.5E-3", false, "f-0.0025000000000000001"}, {"", "1e-400", false, "u0"}, {"", "1.", false, "u1"},
        {"", "1.e5", false, "u100000"}, {"", "1e+", false, "\"1e+\""}, {"", "--1", false, "\"--1\""},
        // Quoted scalars are Strings.
        {"", "123", true, "\"123\""}, {"", "true", true, "\"true\""}, {"", "~", true, "\"~\""}, {"", "", true, "\"\""},
    };
    for (const ScalarCase& test : cases) Check(test);
}

TEST(YamlScalar, TagsDecideTheKindOrFail) {
    const std::vector<ScalarCase> cases = {
        {kYamlStrTag, "12", false, "\"12\""}, {kYamlStrTag, "", false, "\"\""}, {kYamlIntTag, "12", false, "u12"},
        {kYamlIntTag, "12", true, "u12"}, {kYamlIntTag, "-12", false, "s-12"}, {kYamlIntTag, "0x1F", false, "u31"},
        {kYamlIntTag, "010", false, "u8"}, {kYamlIntTag, "", false, "u0"},
        {kYamlIntTag, "18446744073709551615", false, "u18446744073709551615"}, {kYamlFloatTag, "1", false, "f1"},
        {kYamlFloatTag, "-2.5", false, "f-2.5"}, {kYamlBoolTag, "yes", false, "true"},
        {kYamlBoolTag, "OFF", false, "false"},
        // Tagged conversions report their failures.
        {kYamlBoolTag, "maybe", false, "Value maybe for 'yaml' of type bool is in an incorrect format", true},
        {kYamlBoolTag, "", false, "Value  for 'yaml' of type bool is in an incorrect format", true},
        {kYamlIntTag, "12x", false, "Value 12x for 'yaml' of type uint64_t is in an incorrect format", true},
        {kYamlIntTag, "-12x", false, "Value -12x for 'yaml' of type int64_t is in an incorrect format", true},
        {kYamlIntTag, "1.5", false, "Value 1.5 for 'yaml' of type uint64_t is in an incorrect format", true},
        {kYamlIntTag, "18446744073709551616", false,
         "Value 18446744073709551616 for 'yaml' of type uint64_t is out of range", true},
        {kYamlIntTag, "-9223372036854775809", false,
         "Value -9223372036854775809 for 'yaml' of type int64_t is out of range", true},
        // strtoull would turn " -5" into a huge number; the sign after the blank decides.
        {kYamlIntTag, " -5", false, "s-5"},
        {kYamlFloatTag, "abc", false, "Value abc for 'yaml' of type double is in an incorrect format", true},
        {kYamlFloatTag, "1e400", false, "Value 1e400 for 'yaml' of type double is out of range", true},
        {kYamlFloatTag, "-1e400", false, "Value -1e400 for 'yaml' of type double is out of range", true},
        {"!", "1", false, "Unsupported YAML tag '!'.", true},
        {"tag:yaml.org,2002:timestamp", "2001-12-14", false,
         "Unsupported YAML tag 'tag:yaml.org,2002:timestamp'.", true},
    };
    for (const ScalarCase& test : cases) Check(test);
}

TEST(YamlScalar, AZeroByteInsideTheTextIsNotANumber) {
    const std::string text("12\0", 3);
    BindingProperty target;
    std::string error;
    ASSERT_TRUE(TypeYamlScalar(YamlScalar{{}, text.c_str(), text.size(), false}, target, error));
    EXPECT_EQ(target.Kind(), BindingPropertyType::String);
    EXPECT_EQ(target.Size(), 3U);
    EXPECT_FALSE(TypeYamlScalar(YamlScalar{kYamlIntTag, text.c_str(), text.size(), false}, target, error));
}

}  // namespace
}  // namespace vclient
