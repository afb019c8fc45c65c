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
        {{0x00}, "AA=="},
        {{0xFF, 0xF0}, "//A="},
        // Every sextet value once, in order: the whole alphabet.
        {{0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30, 0xD3, 0x8F, 0x41, 0x14, 0x93, 0x51,
          0x55, 0x97, 0x61, 0x96, 0x9B, 0x71, 0xD7, 0x9F, 0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7, 0xA2, 0x9A,
          0xAB, 0xB2, 0xDB, 0xAF, 0xC3, 0x1C, 0xB3, 0xD3, 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF},
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
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

}  // namespace
}  // namespace vclient
