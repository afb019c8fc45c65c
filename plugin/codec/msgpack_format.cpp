#include "codec/msgpack_format.h"

#include <array>

namespace vclient {
namespace {

// 0xC0 to 0xDF are one class each, in format-table order starting at Nil.
constexpr std::array<MsgPackClass, 256> BuildClassTable() {
    std::array<MsgPackClass, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        MsgPackClass kind = MsgPackClass::FixInt;
        if (byte >= 0x80 && byte <= 0x8F) {
            kind = MsgPackClass::FixMap;
        } else if (byte >= 0x90 && byte <= 0x9F) {
            kind = MsgPackClass::FixArray;
        } else if (byte >= 0xA0 && byte <= 0xBF) {
            kind = MsgPackClass::FixStr;
        } else if (byte >= 0xC0 && byte <= 0xDF) {
            kind = static_cast<MsgPackClass>(static_cast<int>(MsgPackClass::Nil) + (byte - 0xC0));
        }
        table[static_cast<std::size_t>(byte)] = kind;
    }
    return table;
}

}  // namespace

constexpr std::array<MsgPackClass, 256> detail::kMsgPackClasses = BuildClassTable();

namespace {
using detail::kMsgPackClasses;
static_assert(static_cast<int>(MsgPackClass::Map32) + 1 == kMsgPackClassCount);
static_assert(kMsgPackClasses[0xC0] == MsgPackClass::Nil);
static_assert(kMsgPackClasses[0xCA] == MsgPackClass::Float32);
static_assert(kMsgPackClasses[0xD4] == MsgPackClass::FixExt1);
static_assert(kMsgPackClasses[0xDF] == MsgPackClass::Map32);
static_assert(kMsgPackClasses[0xE0] == MsgPackClass::FixInt);

}  // namespace

}  // namespace vclient
