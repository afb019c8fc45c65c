#include "codec/msgpack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/msgpack_format.h"
#include "support/binding_describe.h"

namespace vclient {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::Describe;

MsgPackReadResult Read(const Bytes& bytes) { return MsgPackToBinding(bytes.data(), bytes.size()); }

template <class Sequence>
Sequence Repeat(const Sequence& unit, std::size_t times) {
    Sequence sequence;
    for (std::size_t i = 0; i < times; ++i) sequence.insert(sequence.end(), unit.begin(), unit.end());
    return sequence;
}

// The tree read and the bytes consumed ("[s1] @2"), or the failure text.
std::string Outcome(const Bytes& bytes) {
    const MsgPackReadResult read = Read(bytes);
    if (!read.result.Succeeded()) return read.result.ErrorMessage();
    return Describe(read.result.Value()) + " @" + std::to_string(read.consumed);
}

struct Case { Bytes bytes; std::string expected; };

void ExpectOutcomes(const std::vector<Case>& cases) {
    for (const Case& test : cases) EXPECT_EQ(Outcome(test.bytes), test.expected) << test.expected;
}

TEST(MsgPackReader, ReadsEachFormatIntoItsKind) {
    ExpectOutcomes({
        {{}, "~ @0"}, {{0x00}, "s0 @1"}, {{0x7F}, "s127 @1"}, {{0xE0}, "s-32 @1"}, {{0xFF}, "s-1 @1"},
        {{0xC0}, "~ @1"}, {{0xC2}, "false @1"}, {{0xC3}, "true @1"}, {{0xCC, 0xFF}, "u255 @2"},
        {{0xCD, 0x01, 0x02}, "u258 @3"}, {{0xCE, 0xFF, 0xFF, 0xFF, 0xFF}, "u4294967295 @5"},
        {{0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "u18446744073709551615 @9"},
        {{0xD0, 0xFF}, "s-1 @2"}, {{0xD1, 0xFF, 0x00}, "s-256 @3"}, {{0xD2, 0x80, 0x00, 0x00, 0x00}, "s-2147483648 @5"},
        {{0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}, "s-9223372036854775808 @9"}, {{0xCA, 0x3F, 0x80, 0x00, 0x00}, "f1 @5"},
        {{0xCB, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}, "f1.5 @9"}, {{0xA0}, "\"\" @1"},
        {{0xA3, 'a', 'b', 'c'}, "\"abc\" @4"}, {{0xD9, 0x02, 'h', 'i'}, "\"hi\" @4"},
        {{0xDA, 0x00, 0x01, 'x'}, "\"x\" @4"}, {{0xDB, 0x00, 0x00, 0x00, 0x01, 'y'}, "\"y\" @6"},
        {{0xC4, 0x02, 0x0A, 0xFF}, "b:0aff @4"}, {{0xC5, 0x00, 0x01, 0x07}, "b:07 @4"},
        {{0xC6, 0x00, 0x00, 0x00, 0x00}, "b: @5"}, {{0x90}, "[] @1"}, {{0x92, 0x01, 0xA1, 0x61}, "[s1,\"a\"] @4"},
        {{0xDC, 0x00, 0x02, 0xC3, 0xC0}, "[true,~] @5"}, {{0xDD, 0x00, 0x00, 0x00, 0x01, 0x05}, "[s5] @6"},
        {{0x80}, "{} @1"}, {{0x81, 0xA1, 0x6B, 0xC3}, "{k:true} @4"},
        {{0xDE, 0x00, 0x01, 0xA1, 'b', 0x91, 0x02}, "{b:[s2]} @7"},
        {{0xDF, 0x00, 0x00, 0x00, 0x02, 0xA1, 'b', 0x02, 0xA1, 'a', 0x01}, "{a:s1,b:s2} @11"},
        {{0x91, 0x90, 0x01}, "[[]] @2"},
        // One value only: the caller sees the bytes left over.
        {{0x01, 0x02}, "s1 @1"},
        // A repeated key replaces the earlier value whole: no append, no merge.
        {{0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'a', 0x91, 0x03}, "{a:[s3]} @10"},
        {{0x82, 0xA1, 'a', 0x81, 0xA1, 'b', 0x01, 0xA1, 'a', 0x81, 0xA1, 'c', 0x02}, "{a:{c:s2}} @13"},
        {{0x82, 0xA1, 'a', 0x81, 0xA1, 'b', 0x01, 0xA1, 'a', 0xC0}, "{a:~} @10"},
    });
}

TEST(MsgPackReader, ReportsErrorsWithTheirPosition) {
    ExpectOutcomes({
        {{0x81, 0x01, 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings."},
        {{0x91, 0x81, 0xC0}, "Invalid MessagePack data at position 3. Map keys must be strings."},
        {{0x81, 0x91}, "Invalid MessagePack data at position 2. Map keys must be strings."},
        {{0xC1}, "Invalid MessagePack data at position 1."},
        {{0xD4, 0x01, 0x00}, "Invalid MessagePack data at position 1."},
        {{0xC7, 0x01, 0x01, 0x00}, "Invalid MessagePack data at position 1."},
        {{0x91, 0xD8}, "Invalid MessagePack data at position 2."},
        {{0xCC}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
        {{0xCD, 0x01}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
        {{0xCE, 0x01, 0x02, 0x03}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
        {{0xCA, 0x3F}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
        {{0xCB}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
        {{0xD3, 0x00}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
        {{0xD9}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
        {{0xDC, 0x00}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
        {{0xDF, 0x00, 0x00}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
        {{0xA5, 0x61, 0x62}, "Invalid MessagePack data. String of size 5 at position 1 is truncated."},
        {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 0x61},
         "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated."},
        {{0x81, 0xA3, 0x61}, "Invalid MessagePack data. String of size 3 at position 2 is truncated."},
        {{0xC4, 0x05, 0x01}, "Invalid MessagePack data. Raw bytes of size 5 at position 2 are truncated."},
        {{0xC6, 0x7F, 0xFF, 0xFF, 0xFF}, "Invalid MessagePack data. Raw bytes of size 2147483647 at position 5 are truncated."},
        // The input ends inside a container: the innermost open one is named, whether the
        // next item, a map's value or a nested container's items are missing.
        {{0x92, 0x01}, "Invalid MessagePack data. Array of 2 items at position 0 is truncated."},
        {{0x82, 0xA1, 'a', 0x01, 0xA1, 'b'}, "Invalid MessagePack data. Map of 2 pairs at position 0 is truncated."},
        {{0x81, 0xA1, 'a'}, "Invalid MessagePack data. Map of 1 pairs at position 0 is truncated."},
        {{0x91, 0x92, 0x01}, "Invalid MessagePack data. Array of 2 items at position 1 is truncated."},
        {{0x92, 0x91, 0x01}, "Invalid MessagePack data. Array of 2 items at position 0 is truncated."},
        // A failure inside a record that follows the shape of the record before it.
        {{0x92, 0x82, 0xA1, 'a', 0x01, 0xA1, 'b', 0x02, 0x82, 0xA1, 'a', 0x01, 0xA1, 'b', 0xCC},
         "Invalid MessagePack data. 8-bit integer value at position 15 is truncated."},
        // Huge announced counts neither overflow (2^31 pairs) nor reserve beyond the input.
        {{0xDF, 0x80, 0x00, 0x00, 0x00, 0xA1, 'a', 0x01},
         "Invalid MessagePack data. Map of 2147483648 pairs at position 0 is truncated."},
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02},
         "Invalid MessagePack data. Array of 4294967295 items at position 0 is truncated."},
    });
}

TEST(MsgPackReader, ReadsTheBytesOfAText) {
    const MsgPackReadResult read = MsgPackToBinding(std::string_view("\x81\xA2id\x07", 5));
    EXPECT_EQ(Describe(read.result.Value()), "{id:s7}");
    EXPECT_EQ(read.consumed, 5U);
    const MsgPackReadResult none = MsgPackToBinding(nullptr, 5);
    EXPECT_EQ(Describe(none.result.Value()), "~");
    EXPECT_EQ(none.consumed, 0U);
}

TEST(MsgPackReader, NestedHugeCountsShareOneAllowance) {
    Bytes nested = Repeat<Bytes>({0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, 256);
    nested.insert(nested.end(), 100000, 0x01);
    EXPECT_EQ(Outcome(nested), "Invalid MessagePack data. Array of 4294967295 items at position 1275 is truncated.");
}

TEST(MsgPackReader, RefusesContainersNestedDeeperThanTheLimit) {
    Bytes deepest = Repeat<Bytes>({0x91}, 256);
    deepest.push_back(0x07);
    EXPECT_EQ(Outcome(deepest), Repeat<std::string>("[", 256) + "s7" + Repeat<std::string>("]", 256) + " @257");
    const std::string tooDeep =
        "Invalid MessagePack data at position 257. Containers are nested deeper than 256 levels.";
    ExpectOutcomes({
        {Repeat<Bytes>({0x91}, 257), tooDeep}, {Repeat<Bytes>({0x91}, 100000), tooDeep},
        // Maps count as levels too: each level is a one-pair map with the key "a".
        {Repeat<Bytes>({0x81, 0xA1, 'a'}, 100000),
         "Invalid MessagePack data at position 769. Containers are nested deeper than 256 levels."},
    });
}

// A document with every kind of value, nested.
Bytes SampleDocument() {
    return {0x84,                                     // map of 4 pairs
            0xA4, 'n', 'a', 'm', 'e', 0xD9, 0x03, 'a', 'b', 'c',
            0xA4, 'l', 'i', 's', 't', 0x96,           // array of 6
            0xCD, 0x01, 0x00, 0xD2, 0xFF, 0xFF, 0xFF, 0xFE, 0xCB, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18,
            0xC0, 0xC3, 0xC4, 0x02, 0xBE, 0xEF,
            0xA3, 'm', 'a', 'p', 0xDE, 0x00, 0x02,    // map 16 of 2
            0xA1, 'x', 0xCA, 0x3F, 0xC0, 0x00, 0x00, 0xA1, 'y', 0xDC, 0x00, 0x01, 0xCF, 0, 0, 0, 0, 0, 0, 0x01, 0x00,
            0xA3, 'e', 'n', 'd', 0xE0};
}

TEST(MsgPackReader, EveryTruncationOfADocumentFails) {
    const Bytes document = SampleDocument();
    EXPECT_EQ(Outcome(document),
              "{end:s-32,list:[u256,s-2,f3.1415926535897931,~,true,b:beef],map:{x:f1.5,y:[u256]},name:\"abc\"} @" +
                  std::to_string(document.size()));
    for (std::size_t length = 1; length < document.size(); ++length) {
        // A copy of exactly `length` bytes, so that reading past it is an address error.
        const Bytes prefix(document.begin(), document.begin() + static_cast<std::ptrdiff_t>(length));
        const MsgPackReadResult read = Read(prefix);
        ASSERT_FALSE(read.result.Succeeded()) << "length " << length;
        EXPECT_NE(read.result.ErrorMessage().find("truncated."), std::string::npos)
            << "length " << length << ": " << read.result.ErrorMessage();
    }
}

TEST(MsgPackFormat, ClassifiesEveryByteIntoTheThirtySixClasses) {
    std::vector<int> seen(kMsgPackClassCount, 0);
    for (int byte = 0; byte < 256; ++byte) {
        ++seen[static_cast<std::size_t>(ClassifyMsgPackByte(static_cast<std::uint8_t>(byte)))];
    }
    for (int count : seen) EXPECT_GT(count, 0);
    EXPECT_EQ(seen[static_cast<std::size_t>(MsgPackClass::FixInt)], 128 + 32);
    EXPECT_EQ(seen[static_cast<std::size_t>(MsgPackClass::FixStr)], 32);
    EXPECT_EQ(ClassifyMsgPackByte(0x8F), MsgPackClass::FixMap);
    EXPECT_EQ(ClassifyMsgPackByte(0x9F), MsgPackClass::FixArray);
    EXPECT_EQ(ClassifyMsgPackByte(0xC7), MsgPackClass::Ext8);
    EXPECT_EQ(ClassifyMsgPackByte(0xD8), MsgPackClass::FixExt16);
    EXPECT_EQ(ClassifyMsgPackByte(0xDB), MsgPackClass::Str32);
}

}  // namespace
}  // namespace vclient
