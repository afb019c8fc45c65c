#include "binding/conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "binding/register_type.h"
#include "binding/static_type.h"

namespace vclient {
namespace {

enum class TestState { IN_PROGRESS = 0, ERROR = 3 };
enum class NotRegistered { A = 1 };

struct Reward {
    std::string rewardType;
    std::int32_t quantity = -1;
};

struct Change {
    std::string actionType;
    Reward reward;
    std::vector<Reward> history;
    TestState state = TestState::IN_PROGRESS;
    BindingProperty stats;
};

struct Config {
    bool Enabled = false;
    std::int32_t SecondsToVote = 40;
    std::string id;
    std::uint64_t gameId = 0;
};

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

struct Orphan {
    int x = 0;
};

struct HoldsOrphan {
    Orphan orphan;
    NotRegistered kind = NotRegistered::A;
};

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() {
        RegisterEnum<TestState>(registry, "TestState").QIV_ENUMERATOR(IN_PROGRESS).QIV_ENUMERATOR(ERROR);
        RegisterRecord<Reward>(registry, "Reward").QIV_FIELD(rewardType).QIV_FIELD(quantity);
        RegisterRecord<Change>(registry, "Change")
            .QIV_FIELD(actionType)
            .QIV_FIELD(reward)
            .QIV_FIELD(history)
            .QIV_FIELD(state)
            .QIV_FIELD(stats);
        RegisterRecord<Config>(registry, "Config")
            .QIV_FIELD(Enabled)
            .QIV_FIELD(SecondsToVote)
            .QIV_FIELD(id, {.flags = kRequired})
            .QIV_FIELD(gameId);
        RegisterRecord<Omitting>(registry, "Omitting")
            .QIV_FIELD(count, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(text, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(ratio, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(flag, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(list, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(state, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(reward, {.flags = kOmitWhenEmpty})
            .QIV_FIELD(data, {.flags = kOmitWhenEmpty});
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

    TypeRegistry registry;
};

BindingProperty Str(const char* text) {
    BindingProperty value;
    value.SetString(text);
    return value;
}
BindingProperty Signed(std::int64_t number) {
    BindingProperty value;
    value.SetSigned(number);
    return value;
}
BindingProperty Unsigned(std::uint64_t number) {
    BindingProperty value;
    value.SetUnsigned(number);
    return value;
}
BindingProperty Float(double number) {
    BindingProperty value;
    value.SetFloat(number);
    return value;
}
BindingProperty Bool(bool flag) {
    BindingProperty value;
    value.SetBool(flag);
    return value;
}
BindingProperty Enum(std::int32_t number, std::uint32_t key) {
    BindingProperty value;
    value.SetEnum({number, static_cast<std::int32_t>(key)});
    return value;
}
BindingProperty Collection() {
    BindingProperty value;
    value.EnsureCollection();
    return value;
}

struct Failure {
    BindingProperty input;
    std::string message;
};

TEST_F(ConversionTest, BoolFromBinding) {
    EXPECT_TRUE(ValueOf<bool>(Str("true")));
    EXPECT_TRUE(ValueOf<bool>(Str("1")));
    EXPECT_FALSE(ValueOf<bool>(Str("false"), true));
    EXPECT_FALSE(ValueOf<bool>(Str("0"), true));
    EXPECT_TRUE(ValueOf<bool>(Bool(true)));
    const Failure failures[] = {
        {Str("TRUE"), "Value TRUE for 'n' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\"."},
        {Str(""), "Value  for 'n' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\"."},
        {Signed(1), "Couldn't assign value to 'n' of type bool because the input is of an invalid type signed."},
        {Float(1), "Couldn't assign value to 'n' of type bool because the input is of an invalid type float."},
        {Collection(), "Couldn't assign value to 'n' of type bool because the input is of an invalid type collection."},
        {BindingProperty(), "A value for 'n' is required."},
    };
    for (const Failure& f : failures) EXPECT_EQ(FailureOf<bool>(f.input), f.message);
}

TEST_F(ConversionTest, SignedIntegersFromBinding) {
    EXPECT_EQ(ValueOf<std::int32_t>(Str("0x10")), 16);
    EXPECT_EQ(ValueOf<std::int32_t>(Str("010")), 8);
    EXPECT_EQ(ValueOf<std::int32_t>(Str("")), 0);
    EXPECT_EQ(ValueOf<std::int32_t>(Str("-2147483648")), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ValueOf<std::int32_t>(Float(3.7)), 3);
    EXPECT_EQ(ValueOf<std::int32_t>(Float(-3.7)), -3);
    EXPECT_EQ(ValueOf<std::int32_t>(Unsigned(7)), 7);
    EXPECT_EQ(ValueOf<std::int32_t>(Enum(3, 1)), 3);
    EXPECT_EQ(ValueOf<std::int8_t>(Signed(-128)), -128);
    EXPECT_EQ(ValueOf<std::int64_t>(Float(-9223372036854775808.0)), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ValueOf<std::int64_t>(Str("9223372036854775807")), std::numeric_limits<std::int64_t>::max());

    const Failure failures[] = {
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
    };
    for (const Failure& f : failures) EXPECT_EQ(FailureOf<std::int32_t>(f.input), f.message);

    EXPECT_EQ(FailureOf<std::int64_t>(Unsigned(9223372036854775808ULL)),
              "Value 9223372036854775808 for 'n' of type int64 is out of range");
    EXPECT_EQ(FailureOf<std::int64_t>(Float(9223372036854775808.0)),
              "Value 9.22337e+18 for 'n' of type int64 is out of range");
    EXPECT_EQ(FailureOf<std::int8_t>(Signed(-129)), "Value -129 for 'n' of type int8 is out of range");
    EXPECT_EQ(FailureOf<std::int16_t>(Str("40000")), "Value 40000 for 'n' of type int16 is out of range");
    EXPECT_FALSE(FailureOf<std::int32_t>(Float(std::nan(""))).empty());
}

TEST_F(ConversionTest, UnsignedIntegersFromBinding) {
    EXPECT_EQ(ValueOf<std::uint8_t>(Float(255.9)), 255);
    EXPECT_EQ(ValueOf<std::uint8_t>(Signed(255)), 255);
    EXPECT_EQ(ValueOf<std::uint32_t>(Str("0xFFFFFFFF")), 0xFFFFFFFFu);
    EXPECT_EQ(ValueOf<std::uint64_t>(Str("18446744073709551615")), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(ValueOf<std::uint64_t>(Unsigned(18446744073709551615ULL)), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(ValueOf<std::uint16_t>(Enum(7, 0)), 7);

    EXPECT_EQ(FailureOf<std::uint8_t>(Signed(300)), "Value 300 for 'n' of type uint8 is out of range");
    EXPECT_EQ(FailureOf<std::uint8_t>(Float(-0.5)), "Value -0.5 for 'n' of type uint8 is out of range");
    EXPECT_EQ(FailureOf<std::uint8_t>(Float(256.0)), "Value 256 for 'n' of type uint8 is out of range");
    EXPECT_EQ(FailureOf<std::uint8_t>(Signed(-1)), "Value -1 for 'n' of type uint8 is out of range");
    EXPECT_EQ(FailureOf<std::uint32_t>(Str("-0")), "Value -0 for 'n' of type uint32 is out of range");
    EXPECT_EQ(FailureOf<std::uint32_t>(Str(" -1")), "Value  -1 for 'n' of type uint32 is out of range");
    EXPECT_EQ(FailureOf<std::uint32_t>(Str("-x")), "Value -x for 'n' of type uint32 is in an incorrect format");
    EXPECT_EQ(FailureOf<std::uint32_t>(Enum(-1, 0)), "Value -1 for 'n' of type uint32 is out of range");
    EXPECT_EQ(FailureOf<std::uint64_t>(Str("18446744073709551616")),
              "Value 18446744073709551616 for 'n' of type uint64 is out of range");
    EXPECT_EQ(FailureOf<std::uint64_t>(Float(18446744073709551616.0)),
              "Value 1.84467e+19 for 'n' of type uint64 is out of range");
    EXPECT_EQ(FailureOf<std::uint16_t>(Str("blob")), "Value blob for 'n' of type uint16 is in an incorrect format");
}

TEST_F(ConversionTest, FloatingPointFromBinding) {
    EXPECT_EQ(ValueOf<double>(Str("1.5")), 1.5);
    EXPECT_EQ(ValueOf<double>(Signed(-3)), -3.0);
    EXPECT_EQ(ValueOf<double>(Unsigned(3)), 3.0);
    EXPECT_EQ(ValueOf<double>(Enum(3, 0)), 3.0);
    EXPECT_EQ(ValueOf<float>(Float(0.25)), 0.25f);
    EXPECT_TRUE(std::isnan(ValueOf<float>(Float(std::nan("")))));
    EXPECT_EQ(ValueOf<double>(Str("1e-400")), 0.0);  // an underflow is no range error

    EXPECT_EQ(FailureOf<double>(Str("abc")), "Value abc for 'n' of type double is in an incorrect format");
    EXPECT_EQ(FailureOf<double>(Str("1e999")), "Value 1e999 for 'n' of type double is out of range");
    EXPECT_EQ(FailureOf<float>(Float(1e300)), "Value 1e+300 for 'n' of type float is out of range");
    EXPECT_EQ(FailureOf<float>(Str("1e39")), "Value 1e39 for 'n' of type float is out of range");
    EXPECT_EQ(FailureOf<double>(Bool(false)),
              "Couldn't assign value to 'n' of type double because the input is of an invalid type bool.");
    EXPECT_EQ(FailureOf<float>(BindingProperty()), "A value for 'n' is required.");
}

TEST_F(ConversionTest, StringFromBinding) {
    const std::uint32_t key = StaticType::Key<TestState>();
    EXPECT_EQ(ValueOf<std::string>(Str("text")), "text");
    EXPECT_EQ(ValueOf<std::string>(Enum(3, key)), "ERROR");
    const Failure failures[] = {
        {Enum(2, key), "2 is not a valid enumeration value for 'n'."},
        {Enum(3, key + 1), "3 is not a valid enumeration value for 'n'."},
        {Signed(5), "Couldn't assign value to 'n' because the input is not a string."},
        {Bool(true), "Couldn't assign value to 'n' because the input is not a string."},
        {BindingProperty(), "A value for 'n' is required."},
    };
    for (const Failure& f : failures) EXPECT_EQ(FailureOf<std::string>(f.input), f.message);
}

TEST_F(ConversionTest, BlobAndObjectFromBinding) {
    BindingProperty blob;
    blob.SetBlob(BindingBlob{1, 2, 3});
    EXPECT_EQ(ValueOf<BindingBlob>(blob), (BindingBlob{1, 2, 3}));
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
    EXPECT_EQ(ValueOf<TestState>(Str("ERROR")), TestState::ERROR);
    EXPECT_EQ(ValueOf<TestState>(Str("3")), TestState::ERROR);
    EXPECT_EQ(ValueOf<TestState>(Str("0x3")), TestState::ERROR);
    EXPECT_EQ(ValueOf<TestState>(Signed(3)), TestState::ERROR);
    EXPECT_EQ(ValueOf<TestState>(Unsigned(3)), TestState::ERROR);
    EXPECT_EQ(ValueOf<TestState>(Enum(0, key), TestState::ERROR), TestState::IN_PROGRESS);

    const Failure failures[] = {
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
    };
    for (const Failure& f : failures) EXPECT_EQ(FailureOf<TestState>(f.input), f.message);
    EXPECT_EQ(FailureOf<NotRegistered>(Str("A")),
              "Couldn't assign value to 'n' because the input is an unregistered structure or not a structure at all.");
}

TEST_F(ConversionTest, VectorsFromBinding) {
    BindingProperty list;
    list.Element(0).SetSigned(1);
    list.Element(2).SetString("3");
    std::vector<std::int32_t> numbers{9, 9, 9, 9};
    numbers = ValueOf(list, numbers);
    EXPECT_EQ(numbers, (std::vector<std::int32_t>{1, 0, 3}));  // the Empty element stays default

    BindingProperty flags;
    flags.Element(0).SetBool(true);
    flags.Element(1).SetString("0");
    EXPECT_EQ(ValueOf<std::vector<bool>>(flags), (std::vector<bool>{true, false}));

    list.Element(1).SetString("x");
    EXPECT_EQ(FailureOf<std::vector<std::int32_t>>(list), "Value x for 'n' of type int32 is in an incorrect format");
    EXPECT_EQ(FailureOf<std::vector<std::int32_t>>(Str("1")),
              "Couldn't assign value to 'n' of type vector because the input not a collection.");
    EXPECT_EQ(FailureOf<std::vector<std::int32_t>>(BindingProperty()),
              "Couldn't assign value to 'n' of type vector because the input not a collection.");

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
    const Failure failures[] = {
        {missingRequired,
         "Couldn't assign value to 'n' of type Config because the input structure doesn't have required field 'id'."},
        {emptyRequired,
         "Couldn't assign value to 'n' of type Config because the input structure doesn't have required field 'id'."},
        {badField, "Value soon for 'SecondsToVote' of type int32 is in an incorrect format"},
        {Signed(1), "Couldn't assign value to 'n' of type Config because the input not a structure."},
        {BindingProperty(), "A value for 'n' is required."},
    };
    for (const Failure& f : failures) EXPECT_EQ(FailureOf<Config>(f.input), f.message);

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

TEST_F(ConversionTest, RecordsToBinding) {
    Change change;
    change.actionType = "reward";
    change.reward = {"chest", 1};
    change.history = {{"a", 1}, {"b", 2}};
    change.state = TestState::ERROR;
    change.stats.Field("x").SetBool(true);
    BindingResult result;
    result.Value().Field("stale").SetSigned(1);
    ASSERT_TRUE(ToBinding(result, change, registry)) << result.ErrorMessage();
    const BindingProperty& tree = result.Value();
    EXPECT_EQ(tree.Size(), 5u);
    EXPECT_FALSE(tree.HasField("stale"));
    EXPECT_EQ(tree.Find("actionType").GetString(), "reward");
    EXPECT_EQ(tree.Find("reward").Find("quantity").Kind(), BindingPropertyType::Signed);
    EXPECT_EQ(tree.Find("history").At(1).Find("rewardType").GetString(), "b");
    EXPECT_EQ(tree.Find("state").GetEnum(), (BindingEnumPair{3, static_cast<std::int32_t>(StaticType::Key<TestState>())}));
    EXPECT_TRUE(tree.Find("stats").Find("x").GetBool());

    Change back;
    BindingResult again;
    ASSERT_TRUE(FromBinding(again, tree, back, "change", registry)) << again.ErrorMessage();
    EXPECT_EQ(back.history[1].rewardType, "b");
    EXPECT_EQ(back.state, TestState::ERROR);
}

TEST_F(ConversionTest, ScalarsAndVectorsToBinding) {
    BindingResult result;
    ASSERT_TRUE(ToBinding(result, std::int8_t{-5}, registry));
    EXPECT_EQ(result.Value().GetSigned(), -5);
    ASSERT_TRUE(ToBinding(result, std::uint16_t{65535}, registry));
    EXPECT_EQ(result.Value().GetUnsigned(), 65535u);
    ASSERT_TRUE(ToBinding(result, 0.5f, registry));
    EXPECT_EQ(result.Value().GetFloat(), 0.5);
    ASSERT_TRUE(ToBinding(result, BindingBlob{7}, registry));
    EXPECT_EQ(result.Value().GetBlob(), BindingBlob{7});
    ASSERT_TRUE(ToBinding(result, std::vector<std::string>{"a", "b"}, registry));
    EXPECT_EQ(result.Value().At(1).GetString(), "b");
    ASSERT_TRUE(ToBinding(result, NotRegistered::A, registry));  // an Enum needs only its key
    EXPECT_EQ(result.Value().GetEnum().value, 1);
}

TEST_F(ConversionTest, UnregisteredRecordsDoNotConvertToBinding) {
    BindingResult result;
    EXPECT_FALSE(ToBinding(result, Orphan{}, registry));
    EXPECT_EQ(result.ErrorMessage(), "Couldn't convert native value because it's an unregistered structure.");
    BindingResult nested;
    EXPECT_FALSE(ToBinding(nested, HoldsOrphan{}, registry));
    EXPECT_EQ(nested.ErrorMessage(), "Couldn't convert native value because it's an unregistered structure.");
    BindingResult inVector;
    EXPECT_FALSE(ToBinding(inVector, std::vector<Orphan>(2), registry));
    EXPECT_FALSE(inVector.Succeeded());
}

TEST_F(ConversionTest, OmitWhenEmptyLeavesOutZeroValues) {
    BindingResult empty;
    ASSERT_TRUE(ToBinding(empty, Omitting{}, registry));
    EXPECT_EQ(empty.Value().Kind(), BindingPropertyType::Structure);
    // The nested record is not empty: its fields have no omit flag.
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
