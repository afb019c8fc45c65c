// The MessagePack format bytes as the reader sees them: every one of the 256 possible
// first bytes of a value maps to one of 36 classes, in the order of the published format
// table (positive and negative fixint share one class). The reader switches on the class
// and takes the payload sizes and counts from the byte itself where the format packs them
// in (fixint, fixmap, fixarray, fixstr).
#pragma once

#include <array>
#include <cstdint>

namespace vclient {

enum class MsgPackClass : std::uint8_t {
    FixInt,    // 0x00-0x7F positive, 0xE0-0xFF negative
    FixMap,    // 0x80-0x8F
    FixArray,  // 0x90-0x9F
    FixStr,    // 0xA0-0xBF
    Nil,       // 0xC0
    NeverUsed, // 0xC1
    False,     // 0xC2
    True,      // 0xC3
    Bin8,
    Bin16,
    Bin32,
    Ext8,
    Ext16,
    Ext32,
    Float32,
    Float64,
    Uint8,
    Uint16,
    Uint32,
    Uint64,
    Int8,
    Int16,
    Int32,
    Int64,
    FixExt1,
    FixExt2,
    FixExt4,
    FixExt8,
    FixExt16,
    Str8,
    Str16,
    Str32,
    Array16,
    Array32,
    Map16,
    Map32,
};

inline constexpr int kMsgPackClassCount = 36;

namespace detail {
// The class of every format byte, built at compile time.
extern const std::array<MsgPackClass, 256> kMsgPackClasses;
}  // namespace detail

// The class of a format byte (a table lookup, inline: the reader asks once per value).
[[nodiscard]] inline MsgPackClass ClassifyMsgPackByte(std::uint8_t formatByte) noexcept {
    return detail::kMsgPackClasses[formatByte];
}

}  // namespace vclient
