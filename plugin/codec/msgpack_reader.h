// The MessagePack reader: turns the one MessagePack value at the start of a byte buffer
// into a BindingProperty tree and reports how many bytes that value took, so that the
// caller can reject trailing data.
//
//   MsgPackReadResult read = MsgPackToBinding(body);
//   if (!read.result.Succeeded()) { ... read.result.ErrorMessage() ... }
//   if (read.consumed != body.size()) { ... extra data ... }
//
// Kinds: a positive or negative fixint and int 8-64 give Signed, uint 8-64 give Unsigned
// (so 0x05 and 0xCC 0x05 differ in kind), float 32/64 give Float, str gives String, bin
// gives Blob, array gives Collection, map gives Structure (keys must be strings), nil
// leaves its target Empty. Extension types and 0xC1 are errors.
//
// Contract:
// - An empty input is a success holding Empty. A container that the input ends inside
//   (its announced count not reached) fails the read, "Invalid MessagePack data. Array of
//   3 items at position 0 is truncated." (or "Map of 2 pairs ..."), naming the innermost
//   open container: a truncated upload must never pass for a shorter document.
// - Errors fail the result with a text naming the byte offset; reading stops there.
// - A map that repeats a key keeps the last value for it.
// - Containers nest at most kMaxNestingDepth (256) levels; reading is iterative, so no
//   input can exhaust the call stack, and announced counts never reserve more memory than
//   the input could fill.
// - Never throws; running out of memory is reported as a failed result.
//
// Threading: no shared state; any number of threads may read at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "value/binding_result.h"

namespace vclient {

struct [[nodiscard]] MsgPackReadResult {
    BindingResult result;
    // The read position when reading ended: the bytes the value took on success.
    std::size_t consumed = 0;
};

[[nodiscard]] MsgPackReadResult MsgPackToBinding(const std::uint8_t* bytes, std::size_t size);
// The same over the bytes of a text (a request body as received).
[[nodiscard]] MsgPackReadResult MsgPackToBinding(std::string_view bytes);

}  // namespace vclient
