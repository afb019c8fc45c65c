#include "codec/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vclient {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(Base64, EncodesTheStandardVectors) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        const char* expected;
    };
    const Case cases[] = {
        {{}, ""},
        {Bytes("f"), "Zg=="},
        {Bytes("fo"), "Zm8="},
        {Bytes("foo"), "Zm9v"},
        {Bytes("foob"), "Zm9vYg=="},
        {Bytes("fooba"), "Zm9vYmE="},
        {Bytes("foobar"), "Zm9vYmFy"},
        {{0x00, 0x01, 0x02}, "AAEC"},
        {{0xFF, 0xFF, 0xFF}, "////"},
        {{0xFB, 0xEF, 0xBE}, "++++"},
        {{0x00}, "AA=="},
        {{0xFF, 0xF0}, "//A="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeBase64(c.bytes), c.expected) << "expected " << c.expected;
    }
}

TEST(Base64, AppendsAfterExistingText) {
    std::string text = "x:";
    AppendBase64(Bytes("fo"), text);
    AppendBase64(Bytes("o"), text);
    EXPECT_EQ(text, "x:Zm8=bw==");
}

TEST(Base64, EveryByteValueMapsIntoTheAlphabet) {
    std::vector<std::uint8_t> all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    const std::string text = EncodeBase64(all);
    ASSERT_EQ(text.size(), 344u);  // 256 bytes -> 86 groups of 4, the last padded
    EXPECT_EQ(text.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(text.substr(text.size() - 4), "/w==");
    EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
}

}  // namespace
}  // namespace vclient
