#include "codec/json_number_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace vclient {
namespace {

TEST(JsonNumberGuard, SpotsDocumentsThatMayHoldHugeNegativeExponents) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"", false},
        {"[1e-5, -3, 2E-12345678]", false},  // eight exponent digits stay below the ceiling
        {"1e-123456789", true},
        {"[0, 2E-000000000]", true},
        {"\"e-999999999\"", true},  // inside a string: costs only the careful path
        {"-123456789", false},
        {"e-12345678x9", false},
        {"-", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MayHoldHugeNegativeExponent(c.text), c.expected) << c.text;
    }
}

TEST(JsonNumberGuard, TellsHugeNegativeExponentsLikeTheParserCountsThem) {
    struct Case {
        const char* number;
        bool expected;
    };
    const Case cases[] = {
        {"1e-214748363", false},
        {"1e-214748364", true},
        {"-0.5E-99999999999", true},
        {"1e-000000000000005", false},
        {"1e+999999999999", false},  // positive exponents are bounded by the parser itself
        {"123456789012", false},
        {"1e-", false},
        {"1e", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsHugeNegativeExponent(c.number), c.expected) << c.number;
    }
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
