#include "router/url_decode.h"

#include <gtest/gtest.h>

#include <string>

namespace vclient {
namespace {

struct DecodeCase {
    std::string text;
    std::string expected;
};

TEST(UrlDecode, DecodesEscapesAndPlus) {
    const DecodeCase cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"a+b", "a b"},
        {"a%20b", "a b"},
        {"%4a%4A%62", "JJb"},
        {"%2B", "+"},        // an escaped plus stays a plus
        {"%2541", "%41"},    // decoded once only
        {"%C3%A9", "\xc3\xa9"},
        {"\xe9/", "\xe9/"},
    };
    for (const DecodeCase& c : cases) EXPECT_EQ(UrlDecode(c.text), c.expected) << c.text;
}

TEST(UrlDecode, KeepsAPercentThatStartsNoEscape) {
    const DecodeCase cases[] = {
        {"%", "%"},       {"%4", "%4"},     {"100%", "100%"}, {"a%2", "a%2"},
        {"%zz", "%zz"},   {"%4g", "%4g"},   {"%g4", "%g4"},   {"% 1", "% 1"},
        {"%%41", "%A"},   {"%+1", "% 1"},   {"%-1%", "%-1%"},
    };
    for (const DecodeCase& c : cases) EXPECT_EQ(UrlDecode(c.text), c.expected) << c.text;
}

TEST(UrlDecode, EveryTwoBytesAfterAPercentGiveOneByteOrStayText) {
    const std::string hex = "0123456789abcdefABCDEF";
    for (int high = 0; high < 256; ++high) {
        for (int low = 0; low < 256; ++low) {
            const char h = static_cast<char>(high);
            const char l = static_cast<char>(low);
            const std::string decoded = UrlDecode(std::string{'%', h, l});
            if (hex.find(h) != std::string::npos && hex.find(l) != std::string::npos) {
                const int value = std::stoi(std::string{h, l}, nullptr, 16);
                ASSERT_EQ(decoded, std::string(1, static_cast<char>(value)));
            } else {
                ASSERT_EQ(decoded.front(), '%');
                ASSERT_EQ(decoded.size(), 3u);
            }
        }
    }
}

}  // namespace
}  // namespace vclient
