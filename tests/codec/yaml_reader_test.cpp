#include "codec/yaml_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/binding_describe.h"

namespace vclient {
namespace {

using testing::Describe;

using testing::ReadCase;
using testing::Repeat;

void ExpectOutcomes(const std::vector<ReadCase>& cases) {
    testing::ExpectReadOutcomes(cases, [](const std::string& text) { return YamlToBinding(text); });
}

TEST(YamlReader, BuildsTreesFromDocuments) {
    ExpectOutcomes({
        {"", "~"},
        {"# only a comment\n", "~"},
        {"---\n...\n", "~"},
        {"a: 1", "{a:u1}"},
        {"a: '1'", "{a:\"1\"}"},
        {"a: ~", "{a:~}"},
        {"a:", "{a:~}"},
        {"|-\n  123\n", "u123"},
        {"|\n  123\n", "\"123\n\""},
        {">-\n  12\n  3\n", "\"12 3\""},
        {"\"123\"", "\"123\""},
        {"!!int \"7\"", "u7"},
        {"[1, a, ~, [], {}]", "[u1,\"a\",~,[],{}]"},
        {"- x\n- - 1\n  - 2\n- k: v\n", "[\"x\",[u1,u2],{k:\"v\"}]"},
        {"b: 1\na: {c: [true, 'no']}\n\"\": empty key\n", "{:\"empty key\",a:{c:[true,\"no\"]},b:u1}"},
        {"? complex\n: value\n", "{complex:\"value\"}"},
        {"!!str key: 1", "{key:u1}"},
        {"!!map {a: 1}", "{a:u1}"},
        // An empty document before a real one is no second value.
        {"--- ~\n--- 2\n", "u2"},
        {"a: {a: 1}", "{a:{a:u1}}"},  // the same key at another level is no repeat
    });
}

TEST(YamlReader, AliasesCopyTheAnchoredNode) {
    ExpectOutcomes({
        {"a: &x {b: 1, c: [2]}\nd: *x\n", "{a:{b:u1,c:[u2]},d:{b:u1,c:[u2]}}"},
        {"- &s hello\n- *s\n- *s\n", "[\"hello\",\"hello\",\"hello\"]"},
        {"- &e\n- *e\n", "[~,~]"},
        {"&k name: 1\nother: *k\n", "{name:u1,other:\"name\"}"},
        {"list: &l [1, [2, &inner {z: 3}]]\ncopy: *l\nz: *inner\n",
         "{copy:[u1,[u2,{z:u3}]],list:[u1,[u2,{z:u3}]],z:{z:u3}}"},
        // In key position an alias stands for an anchored key's or String's text.
        {"x: {&k a: 1}\ny: {*k : 2}\n", "{x:{a:u1},y:{a:u2}}"},
        {"x: &s name\ny: {*s : 2}\n", "{x:\"name\",y:{name:u2}}"},
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
        // A repeated key is refused instead of mixing the values (5 would become a key of {x: 1}).
        {"a: {x: 1}\na: 5\n", "Duplicate mapping key \"a\". At line: 2 col: 1"},
        {"a: [1]\nb: 0\na: [2]\n", "Duplicate mapping key \"a\". At line: 3 col: 1"},
        {"{a: 1, 'a': 2}", "Duplicate mapping key \"a\". At line: 1 col: 8"},
        {"&k a: 1\n*k : 2\n", "Duplicate mapping key \"a\". At line: 2 col: 1"},
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
    std::string laughs = "a: &a [lol, lol, lol, lol, lol, lol, lol, lol, lol, lol]\n";
    for (char level = 'b'; level <= 'i'; ++level) {
        const char previous = static_cast<char>(level - 1);
        laughs += std::string(1, level) + ": &" + level + " [" + Repeat(std::string("*") + previous + ", ", 9) +
                  "*" + previous + "]\n";
    }
    const BindingResult read = YamlToBinding(laughs);
    ASSERT_FALSE(read.Succeeded());
    // The alias whose copy crossed the limit, at its own position.
    EXPECT_EQ(read.ErrorMessage(), "YAML aliases expand to more than 1000000 nodes. Alias \"e\". At line: 6 col: 36");
}

// Damaged copies of a document that uses every construct the reader handles (anchors on
// nodes and keys, aliases in value and key position, tags, flow and block collections,
// block scalars) must read to a tree or fail with one of the reader's messages; under the
// sanitizers this also shows that no copy, anchor path or key reads freed memory.
TEST(YamlReader, DamagedDocumentsReadOrFailWithAMessage) {
    const std::string document =
        "base: &b {name: one, list: [1, 2.5, ~, true], nested: {k: &v value}}\n"
        "copy: *b\n"
        "&key anchored: 7\n"
        "keys: {*key : 8, *v : 9}\n"
        "typed: [!!int '12', !!str 13, !!float 1, !!bool 'true']\n"
        "block:\n"
        "  - |-\n"
        "    text\n"
        "  - - &inner [x, {y: z}]\n"
        "    - *inner\n"
        "? complex\n"
        ": {a: *b}\n";
    ASSERT_TRUE(YamlToBinding(document).Succeeded()) << YamlToBinding(document).ErrorMessage();
    const std::regex kMessage(
        "(.+\\. At line: [0-9]+ col: [0-9]+)|(Multi-document YAML is not supported\\.)|"
        "(Unsupported YAML tag '.*'\\.)|(Value .* for 'yaml' of type [a-z0-9_]+ is in an incorrect format)|"
        "(Value .* for 'yaml' of type [a-z0-9_]+ is out of range)");
    static constexpr char kBytes[] = "&*!:-?[]{},'\"|>#\n aby0123.~";
    std::mt19937 random(20261206);
    int failures = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = document;
        const int changes = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < changes; ++i) {
            const std::size_t at = random() % damaged.size();
            const char byte = kBytes[random() % (sizeof kBytes - 1)];
            switch (random() % 3) {
            case 0: damaged.insert(at, 1, byte); break;
            case 1: damaged.erase(at, 1); break;
            default: damaged[at] = byte; break;
            }
        }
        const BindingResult read = YamlToBinding(damaged);
        if (!read.Succeeded()) {
            ++failures;
            EXPECT_TRUE(std::regex_match(read.ErrorMessage(), kMessage)) << read.ErrorMessage() << "\n" << damaged;
        }
    }
    EXPECT_GT(failures, 300);
    EXPECT_LT(failures, 2700);
}

}  // namespace
}  // namespace vclient
