#include "binding/conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "binding/register_type.h"
#include "binding/static_type.h"
#include "support/binding_describe.h"

namespace vclient {
namespace {

enum class TestState { IN_PROGRESS = 0, ERROR = 3 };
enum class NotRegistered { A = 1 };

struct Reward { std::string rewardType; std::int32_t quantity = -1; };

struct Change {
    std::string actionType;
    Reward reward;
    std::vector<Reward> history;
    TestState state = TestState::IN_PROGRESS;
    BindingProperty stats;
};

struct Config { bool Enabled = false; std::int32_t SecondsToVote = 40; std::string id; std::uint64_t gameId = 0; };

struct Omitting {
    std::int32_t count = 0;
    std::string text;
    double ratio = 0;
    bool flag = false;
    std::vector<std::int32_t> list;
    TestState state = TestState::IN_PROGRESS;
    Reward reward;
    BindingProperty data;
};

struct Orphan { int x = 0; };
struct HoldsOrphan { Orphan orphan; NotRegistered kind = NotRegistered::A; };

// clang-format off
BindingProperty Str(const char* text) { BindingProperty v; v.SetString(text); return v; }
BindingProperty Signed(std::int64_t number) { BindingProperty v; v.SetSigned(number); return v; }
BindingProperty Unsigned(std::uint64_t number) { BindingProperty v; v.SetUnsigned(number); return v; }
BindingProperty Float(double number) { BindingProperty v; v.SetFloat(number); return v; }
BindingProperty Bool(bool flag) { BindingProperty v; v.SetBool(flag); return v; }
BindingProperty Collection() { BindingProperty v; v.EnsureCollection(); return v; }
BindingProperty Structure() { BindingProperty v; v.EnsureStructure(); return v; }
BindingProperty Blob() { BindingProperty v; v.SetBlob(BindingBlob{1}); return v; }
BindingProperty Enum(std::int32_t number, std::uint32_t key) {
    BindingProperty v; v.SetEnum({number, static_cast<std::int32_t>(key)}); return v;
}
// clang-format on

struct Failure { BindingProperty input; std::string message; };

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() {
        RegisterEnum<TestState>(registry, "TestState").QIV_ENUMERATOR(IN_PROGRESS).QIV_ENUMERATOR(ERROR);
        RegisterRecord<Reward>(registry, "Reward").QIV_FIELD(rewardType).QIV_FIELD(quantity);
        RegisterRecord<Change>(registry, "Change")
            .QIV_FIELD(actionType).QIV_FIELD(reward).QIV_FIELD(history).QIV_FIELD(state).QIV_FIELD(stats);
        RegisterRecord<Config>(registry, "Config")
            .QIV_FIELD(Enabled).QIV_FIELD(SecondsToVote).QIV_FIELD(id, {.flags = kRequired}).QIV_FIELD(gameId);
        const std::uint8_t omit = kOmitWhenEmpty;
        RegisterRecord<Omitting>(registry, "Omitting")
            .QIV_FIELD(count, {.flags = omit}).QIV_FIELD(text, {.flags = omit}).QIV_FIELD(ratio, {.flags = omit})
            .QIV_FIELD(flag, {.flags = omit}).QIV_FIELD(list, {.flags = omit}).QIV_FIELD(state, {.flags = omit})
            .QIV_FIELD(reward, {.flags = omit}).QIV_FIELD(data, {.flags = omit});
        RegisterRecord<HoldsOrphan>(registry, "HoldsOrphan").QIV_FIELD(orphan).QIV_FIELD(kind);
    }

    template <class T>
    std::string FailureOf(const BindingProperty& input, T target = T{}) {
        BindingResult result;
        EXPECT_FALSE(FromBinding(result, input, target, "n", registry));
        return result.ErrorMessage();
    }

    template <class T>
    T ValueOf(const BindingProperty& input, T target = T{}) {
        BindingResult result;
        EXPECT_TRUE(FromBinding(result, input, target, "n", registry)) << result.ErrorMessage();
        return target;
    }

    template <class T>
    void ExpectValues(std::initializer_list<std::pair<BindingProperty, T>> rows) {
        for (const auto& [input, expected] : rows) EXPECT_EQ(ValueOf<T>(input), expected);
    }

    template <class T>
    void ExpectFailures(std::initializer_list<Failure> rows) {
        for (const Failure& f : rows) EXPECT_EQ(FailureOf<T>(f.input), f.message);
    }

    TypeRegistry registry;
};

TEST_F(ConversionTest, BoolFromBinding) {
    ExpectValues<bool>({{Str("true"), true}, {Str("1"), true}, {Bool(true), true}});
    EXPECT_FALSE(ValueOf<bool>(Str("false"), true));
    EXPECT_FALSE(ValueOf<bool>(Str("0"), true));
    ExpectFailures<bool>({
        {Str("TRUE"), "Value TRUE for 'n' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\"."},
        {Str(""), "Value  for 'n' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\"."},
        // Every other kind is named in the text.
        {Signed(1), "Couldn't assign value to 'n' of type bool because the input is of an invalid type signed."},
        {Unsigned(1), "Couldn't assign value to 'n' of type bool because the input is of an invalid type unsigned."},
        {Float(1), "Couldn't assign value to 'n' of type bool because the input is of an invalid type float."},
        {Blob(), "Couldn't assign value to 'n' of type bool because the input is of an invalid type blob."},
        {Enum(1, 0), "Couldn't assign value to 'n' of type bool because the input is of an invalid type enum."},
        {Collection(), "Couldn't assign value to 'n' of type bool because the input is of an invalid type collection."},
        {Structure(), "Couldn't assign value to 'n' of type bool because the input is of an invalid type structure."},
        {BindingProperty(), "A value for 'n' is required."},
    });
}

TEST_F(ConversionTest, SignedIntegersFromBinding) {
    ExpectValues<std::int32_t>({{Str("0x10"), 16}, {Str("010"), 8}, {Str(""), 0}, {Float(3.7), 3}, {Float(-3.7), -3},
                                {Str("-2147483648"), std::numeric_limits<std::int32_t>::min()},
                                {Unsigned(7), 7}, {Enum(3, 1), 3}});
    ExpectValues<std::int64_t>({{Float(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min()},
                                {Str("9223372036854775807"), std::numeric_limits<std::int64_t>::max()}});
    EXPECT_EQ(ValueOf<std::int8_t>(Signed(-128)), -128);

    ExpectFailures<std::int32_t>({
        {Str("12abc"), "Value 12abc for 'n' of type int32 is in an incorrect format"},
        {Str("0x"), "Value 0x for 'n' of type int32 is in an incorrect format"},
        {Str(" "), "Value   for 'n' of type int32 is in an incorrect format"},
        {Signed(2147483648LL), "Value 2147483648 for 'n' of type int32 is out of range"},
        {Signed(-2147483649LL), "Value -2147483649 for 'n' of type int32 is out of range"},
        {Unsigned(2147483648ULL), "Value 2147483648 for 'n' of type int32 is out of range"},
        {Str("2147483648"), "Value 2147483648 for 'n' of type int32 is out of range"},
        {Str("99999999999999999999"), "Value 99999999999999999999 for 'n' of type int32 is out of range"},
        {Float(2147483648.0), "Value 2.14748e+09 for 'n' of type int32 is out of range"},
        {Bool(true), "Couldn't assign value to 'n' of type int32 because the input is of an invalid type bool."},
        {Collection(), "Couldn't assign value to 'n' of type int32 because the input is of an invalid type collection."},
        {BindingProperty(), "A value for 'n' is required."},
    });
    ExpectFailures<std::int64_t>({
        {Unsigned(9223372036854775808ULL), "Value 9223372036854775808 for 'n' of type int64 is out of range"},
        {Float(9223372036854775808.0), "Value 9.22337e+18 for 'n' of type int64 is out of range"},
    });
    EXPECT_EQ(FailureOf<std::int8_t>(Signed(-129)), "Value -129 for 'n' of type int8 is out of range");
    EXPECT_EQ(FailureOf<std::int16_t>(Str("40000")), "Value 40000 for 'n' of type int16 is out of range");
    EXPECT_EQ(FailureOf<std::int32_t>(Float(std::nan(""))), "Value nan for 'n' of type int32 is out of range");
}

TEST_F(ConversionTest, UnsignedIntegersFromBinding) {
    ExpectValues<std::uint8_t>({{Float(255.9), 255}, {Signed(255), 255}});
    ExpectValues<std::uint64_t>({{Str("18446744073709551615"), std::numeric_limits<std::uint64_t>::max()},
                                 {Unsigned(18446744073709551615ULL), std::numeric_limits<std::uint64_t>::max()}});
    EXPECT_EQ(ValueOf<std::uint32_t>(Str("0xFFFFFFFF")), 0xFFFFFFFFu);
    EXPECT_EQ(ValueOf<std::uint16_t>(Enum(7, 0)), 7);

    ExpectFailures<std::uint8_t>({
        {Signed(300), "Value 300 for 'n' of type uint8 is out of range"},
        {Float(-0.5), "Value -0.5 for 'n' of type uint8 is out of range"},
        {Float(256.0), "Value 256 for 'n' of type uint8 is out of range"},
        {Signed(-1), "Value -1 for 'n' of type uint8 is out of range"},
    });
    ExpectFailures<std::uint32_t>({
        {Str("-0"), "Value -0 for 'n' of type uint32 is out of range"},
        {Str(" -1"), "Value  -1 for 'n' of type uint32 is out of range"},
        {Str("-x"), "Value -x for 'n' of type uint32 is in an incorrect format"},
        {Enum(-1, 0), "Value -1 for 'n' of type uint32 is out of range"},
    });
    ExpectFailures<std::uint64_t>({
        {Str("18446744073709551616"), "Value 18446744073709551616 for 'n' of type uint64 is out of range"},
        {Float(18446744073709551616.0), "Value 1.84467e+19 for 'n' of type uint64 is out of range"},
    });
    EXPECT_EQ(FailureOf<std::uint16_t>(Str("blob")), "Value blob for 'n' of type uint16 is in an incorrect format");
}

TEST_F(ConversionTest, FloatingPointFromBinding) {
    // An underflow ("1e-400") is no range error.
    ExpectValues<double>(
        {{Str("1.5"), 1.5}, {Signed(-3), -3.0}, {Unsigned(3), 3.0}, {Enum(3, 0), 3.0}, {Str("1e-400"), 0.0}});
    EXPECT_EQ(ValueOf<float>(Float(0.25)), 0.25f);
    EXPECT_TRUE(std::isnan(ValueOf<float>(Float(std::nan("")))));

    ExpectFailures<double>({
        {Str("abc"), "Value abc for 'n' of type double is in an incorrect format"},
        {Str("1e999"), "Value 1e999 for 'n' of type double is out of range"},
        {Bool(false), "Couldn't assign value to 'n' of type double because the input is of an invalid type bool."},
    });
    ExpectFailures<float>({
        {Float(1e300), "Value 1e+300 for 'n' of type float is out of range"},
        {Str("1e39"), "Value 1e39 for 'n' of type float is out of range"},
        {BindingProperty(), "A value for 'n' is required."},
    });
}

TEST_F(ConversionTest, StringFromBinding) {
    const std::uint32_t key = StaticType::Key<TestState>();
    ExpectValues<std::string>({{Str("text"), "text"}, {Enum(3, key), "ERROR"}});
    ExpectFailures<std::string>({
        {Enum(2, key), "2 is not a valid enumeration value for 'n'."},
        {Enum(3, key + 1), "3 is not a valid enumeration value for 'n'."},
        {Signed(5), "Couldn't assign value to 'n' because the input is not a string."},
        {Bool(true), "Couldn't assign value to 'n' because the input is not a string."},
        {BindingProperty(), "A value for 'n' is required."},
    });
}

TEST_F(ConversionTest, BlobAndObjectFromBinding) {
    EXPECT_EQ(ValueOf<BindingBlob>(Blob()), BindingBlob{1});
    EXPECT_EQ(FailureOf<BindingBlob>(Str("AQID")),
              "Couldn't assign value to 'n' of type blob because the input is of an invalid type string.");

    BindingProperty tree;
    tree.Field("a").Element(2).SetString("deep");
    const BindingProperty copy = ValueOf<BindingProperty>(tree);
    EXPECT_EQ(copy.Find("a").At(2).GetString(), "deep");
    EXPECT_NE(copy.Arena(), tree.Arena());
}

TEST_F(ConversionTest, EnumerationFromBinding) {
    const std::uint32_t key = StaticType::Key<TestState>();
    ExpectValues<TestState>({{Str("ERROR"), TestState::ERROR}, {Str("3"), TestState::ERROR}, {Str("0x3"), TestState::ERROR},
                             {Signed(3), TestState::ERROR}, {Unsigned(3), TestState::ERROR}});
    EXPECT_EQ(ValueOf<TestState>(Enum(0, key), TestState::ERROR), TestState::IN_PROGRESS);

    ExpectFailures<TestState>({
        {Str("error"), "error is not a valid TestState enumeration value for 'n'."},
        {Str("2"), "2 is not a valid TestState enumeration value for 'n'."},
        {Str("4294967299"), "4294967299 is not a valid TestState enumeration value for 'n'."},
        {Signed(4294967299LL), "4294967299 is not a valid TestState enumeration value for 'n'."},
        {Signed(-4294967293LL), "-4294967293 is not a valid TestState enumeration value for 'n'."},
        {Unsigned(4294967299ULL), "4294967299 is not a valid TestState enumeration value for 'n'."},
        {Unsigned(18446744073709551615ULL), "18446744073709551615 is not a valid TestState enumeration value for 'n'."},
        {Enum(2, key), "2 is not a valid TestState enumeration value for 'n'."},
        {Float(3), "Couldn't assign value to 'n' of enum type because the input is of an invalid type float."},
        {Bool(true), "Couldn't assign value to 'n' of enum type because the input is of an invalid type bool."},
        {BindingProperty(), "A value for 'n' is required."},
    });
    EXPECT_EQ(FailureOf<NotRegistered>(Str("A")),
              "Couldn't assign value to 'n' because the input is an unregistered structure or not a structure at all.");
}

TEST_F(ConversionTest, VectorsFromBinding) {
    BindingProperty list;
    list.Element(0).SetSigned(1);
    list.Element(2).SetString("3");
    // Old contents go; the Empty element stays default.
    EXPECT_EQ(ValueOf(list, std::vector<std::int32_t>{9, 9, 9, 9}), (std::vector<std::int32_t>{1, 0, 3}));

    BindingProperty flags;
    flags.Element(0).SetBool(true);
    flags.Element(1).SetString("0");
    EXPECT_EQ(ValueOf<std::vector<bool>>(flags), (std::vector<bool>{true, false}));

    list.Element(1).SetString("x");
    ExpectFailures<std::vector<std::int32_t>>({
        {list, "Value x for 'n' of type int32 is in an incorrect format"},
        {Str("1"), "Couldn't assign value to 'n' of type vector because the input not a collection."},
        {BindingProperty(), "Couldn't assign value to 'n' of type vector because the input not a collection."},
    });

    std::vector<std::string> cleared{"old"};
    BindingResult result;
    EXPECT_FALSE(FromBinding(result, Signed(1), cleared, "n", registry));
    EXPECT_TRUE(cleared.empty());
}

TEST_F(ConversionTest, RecordsKeepAbsentFieldsAndIgnoreExtraOnes) {
    BindingProperty input;
    input.Field("Enabled").SetBool(true);
    input.Field("id").SetString("x");
    input.Field("unknown").SetSigned(5);
    input.Field("gameId");  // Empty: left as it is
    Config config;
    config.gameId = 77;
    config = ValueOf(input, config);
    EXPECT_TRUE(config.Enabled);
    EXPECT_EQ(config.SecondsToVote, 40);
    EXPECT_EQ(config.id, "x");
    EXPECT_EQ(config.gameId, 77u);
}

TEST_F(ConversionTest, RecordFailures) {
    BindingProperty missingRequired;
    missingRequired.Field("Enabled").SetBool(true);
    BindingProperty emptyRequired;
    emptyRequired.Field("id");
    BindingProperty badField;
    badField.Field("id").SetString("x");
    badField.Field("SecondsToVote").SetString("soon");
    ExpectFailures<Config>({
        {missingRequired,
         "Couldn't assign value to 'n' of type Config because the input structure doesn't have required field 'id'."},
        {emptyRequired,
         "Couldn't assign value to 'n' of type Config because the input structure doesn't have required field 'id'."},
        {badField, "Value soon for 'SecondsToVote' of type int32 is in an incorrect format"},
        {Signed(1), "Couldn't assign value to 'n' of type Config because the input not a structure."},
        {BindingProperty(), "A value for 'n' is required."},
    });

    BindingProperty orphan;
    orphan.Field("orphan").Field("x").SetSigned(1);
    EXPECT_EQ(FailureOf<HoldsOrphan>(orphan),
              "Couldn't assign value to 'orphan' because the input is an unregistered structure or not a structure at all.");
    EXPECT_EQ(FailureOf<Orphan>(orphan),
              "Couldn't assign value to 'n' because the input is an unregistered structure or not a structure at all.");
}

TEST_F(ConversionTest, FirstFailureStopsTheWalk) {
    BindingProperty input;
    input.Field("Enabled").SetString("maybe");
    input.Field("SecondsToVote").SetSigned(5);
    input.Field("id").SetString("x");
    Config config;
    BindingResult result;
    EXPECT_FALSE(FromBinding(result, input, config, "config", registry));
    EXPECT_EQ(config.SecondsToVote, 40);  // later fields were not visited
    EXPECT_EQ(config.id, "");

    // A context that has failed already changes nothing.
    input.Field("Enabled").SetBool(true);
    EXPECT_FALSE(FromBinding(result, input, config, "config", registry));
    EXPECT_FALSE(config.Enabled);
    EXPECT_FALSE(ToBinding(result, config, registry));
    EXPECT_EQ(result.ErrorMessage().substr(0, 11), "Value maybe");
}

TEST_F(ConversionTest, NestedRecordsAndDynamicValues) {
    BindingProperty input;
    input.Field("actionType").SetString("level-change");
    input.Field("history").Element(1).Field("quantity").SetSigned(2);
    input.Field("state").SetString("ERROR");
    input.Field("stats").Field("kills").SetSigned(12);
    const Change change = ValueOf<Change>(input);
    EXPECT_EQ(change.actionType, "level-change");
    EXPECT_EQ(change.reward.quantity, -1);  // absent nested record keeps its default
    ASSERT_EQ(change.history.size(), 2u);
    EXPECT_EQ(change.history[0].quantity, -1);
    EXPECT_EQ(change.history[1].quantity, 2);
    EXPECT_EQ(change.state, TestState::ERROR);
    EXPECT_EQ(change.stats.Find("kills").GetSigned(), 12);

    input.Field("history").Element(0).Field("quantity").SetString("many");
    EXPECT_EQ(FailureOf<Change>(input), "Value many for 'quantity' of type int32 is in an incorrect format");
}

TEST_F(ConversionTest, ValuesToBinding) {
    const auto described = [this](const auto& value) {
        BindingResult result;
        result.Value().Field("stale").SetSigned(1);  // replaced whole
        EXPECT_TRUE(ToBinding(result, value, registry)) << result.ErrorMessage();
        return testing_support::Describe(result.Value());
    };
    Change change;
    change.actionType = "reward";
    change.reward = {"chest", 1};
    change.history = {{"a", 1}, {"b", 2}};
    change.state = TestState::ERROR;
    change.stats.Field("x").SetBool(true);
    EXPECT_EQ(described(change), "{actionType:\"reward\",history:[{quantity:s1,rewardType:\"a\"},{quantity:s2,"
                                 "rewardType:\"b\"}],reward:{quantity:s1,rewardType:\"chest\"},state:e3/" +
                                     std::to_string(static_cast<std::int32_t>(StaticType::Key<TestState>())) +
                                     ",stats:{x:true}}");
    EXPECT_EQ(described(std::int8_t{-5}), "s-5");
    EXPECT_EQ(described(std::uint16_t{65535}), "u65535");
    EXPECT_EQ(described(0.5f), "f0.5");
    EXPECT_EQ(described(BindingBlob{7}), "b:07");
    EXPECT_EQ(described(std::vector<std::string>{"a", "b"}), "[\"a\",\"b\"]");
    EXPECT_EQ(described(NotRegistered::A).substr(0, 3), "e1/") << "an Enum needs only its key";
}

TEST_F(ConversionTest, UnregisteredRecordsDoNotConvertToBinding) {
    const char* const message = "Couldn't convert native value because it's an unregistered structure.";
    BindingResult alone, nested, inVector;
    EXPECT_FALSE(ToBinding(alone, Orphan{}, registry));
    EXPECT_EQ(alone.ErrorMessage(), message);
    EXPECT_FALSE(ToBinding(nested, HoldsOrphan{}, registry));
    EXPECT_EQ(nested.ErrorMessage(), message);
    EXPECT_FALSE(ToBinding(inVector, std::vector<Orphan>(2), registry));
}

TEST_F(ConversionTest, OmitWhenEmptyLeavesOutZeroValues) {
    BindingResult empty;
    ASSERT_TRUE(ToBinding(empty, Omitting{}, registry));
    // The nested record is not empty: its fields have no omit flag.
    EXPECT_EQ(empty.Value().Kind(), BindingPropertyType::Structure);
    EXPECT_EQ(empty.Value().Size(), 1u);
    EXPECT_TRUE(empty.Value().HasField("reward"));

    Omitting full;
    full.count = -1;
    full.text = "t";
    full.ratio = std::nan("");  // NaN is not zero
    full.flag = true;
    full.list = {0};
    full.state = TestState::ERROR;
    full.data.SetSigned(0);
    BindingResult result;
    ASSERT_TRUE(ToBinding(result, full, registry));
    for (const char* name : {"count", "text", "ratio", "flag", "list", "state", "reward"}) {
        EXPECT_TRUE(result.Value().HasField(name)) << name;
    }
    EXPECT_FALSE(result.Value().HasField("data"));  // a dynamic Signed 0 is zero too
}

}  // namespace
}  // namespace vclient
