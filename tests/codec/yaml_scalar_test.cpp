#include "codec/yaml_scalar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/binding_describe.h"

namespace vclient {
namespace {

using testing::Describe;

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
        {"", "", false, "~"},
        {"", "~", false, "~"},
        {"", "null", false, "~"},
        {"", "NULL", false, "~"},
        {"", "nULL", false, "\"nULL\""},
        {"", "1", false, "u1"},
        {"", "-1", false, "s-1"},
        {"", "1.5", false, "f1.5"},
        {"", "-0.25", false, "f-0.25"},
        {"", "1.0", false, "u1"},
        {"", "1e3", false, "u1000"},
        {"", "0x10", false, "u16"},
        {"", "010", false, "u10"},
        {"", "+7", false, "u7"},
        {"", "-0", false, "u0"},
        {"", "1e400", false, "\"1e400\""},
        {"", "inf", false, "\"inf\""},
        {"", "12 apples", false, "\"12 apples\""},
        {"", "true", false, "true"},
        {"", "TRUE", false, "true"},
        {"", "yes", false, "true"},
        {"", "YES", false, "true"},
        {"", "on", false, "true"},
        {"", "ON", false, "true"},
        {"", "false", false, "false"},
        {"", "FALSE", false, "false"},
        {"", "no", false, "false"},
        {"", "NO", false, "false"},
        {"", "off", false, "false"},
        {"", "OFF", false, "false"},
        {"", "y", false, "true"},
        {"", "N", false, "false"},
        {"", "yES", false, "\"yES\""},
        {"", "hello world", false, "\"hello world\""},
        // Integral numbers beyond a double stay exact or become Float.
        {"", "9007199254740993", false, "u9007199254740993"},
        {"", "18446744073709551615", false, "u18446744073709551615"},
        {"", "-9223372036854775808", false, "s-9223372036854775808"},
        {"", "18446744073709551616", false, "f1.8446744073709552e+19"},
        {"", "-9223372036854775809", false, "f-9.2233720368547758e+18"},
        {"", "1e300", false, "f1.0000000000000001e+300"},
        {"", "-1e300", false, "f-1.0000000000000001e+300"},
        {"", "-1e400", false, "f-inf"},
        {"", "nan", false, "fnan"},
        // Quoted scalars are Strings.
        {"", "123", true, "\"123\""},
        {"", "true", true, "\"true\""},
        {"", "~", true, "\"~\""},
        {"", "", true, "\"\""},
    };
    for (const ScalarCase& test : cases) {
        Check(test);
    }
}

TEST(YamlScalar, TagsDecideTheKindOrFail) {
    const std::vector<ScalarCase> cases = {
        {kYamlStrTag, "12", false, "\"12\""},
        {kYamlStrTag, "", false, "\"\""},
        {kYamlIntTag, "12", false, "u12"},
        {kYamlIntTag, "12", true, "u12"},
        {kYamlIntTag, "-12", false, "s-12"},
        {kYamlIntTag, "0x1F", false, "u31"},
        {kYamlIntTag, "010", false, "u8"},
        {kYamlIntTag, "", false, "u0"},
        {kYamlIntTag, "18446744073709551615", false, "u18446744073709551615"},
        {kYamlFloatTag, "1", false, "f1"},
        {kYamlFloatTag, "-2.5", false, "f-2.5"},
        {kYamlBoolTag, "yes", false, "true"},
        {kYamlBoolTag, "OFF", false, "false"},
        {kYamlBoolTag, "maybe", false, "~"},
        // Tagged conversions report their failures.
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
    for (const ScalarCase& test : cases) {
        Check(test);
    }
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
