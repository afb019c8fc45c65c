// Checks that keep hostile numbers away from the arithmetic of the JSON reader's number
// parser, whose exponent bookkeeping is plain `int` arithmetic that overflows (undefined
// behaviour) on two kinds of input:
//
//   - a negative exponent whose digits run up to 214748364 or more, combined with a few
//     fraction digits ("0.0000000001e-2147483639");
//   - a number with hundreds of millions of digits (fraction digits count down an `int`).
//
// The reader scans each document with MayHoldHugeNegativeExponent (a cheap search for
// "e-" / "E-" followed by nine or more digits; a match inside a string only costs the
// careful path) and, on a match, lets the parser hand over numbers as text, deciding
// with IsHugeNegativeExponent whether a number is such a case (its value is then a zero
// with the number's sign, which is what the parser computes for every exponent that
// large) or safe to convert as usual. Documents holding a digit run of
// kRunawayDigitRun or more digits are refused before parsing.
#pragma once

#include <cstddef>
#include <string_view>

namespace vclient {

// Digits in a row from which a document is refused as holding a number too big.
inline constexpr std::size_t kRunawayDigitRun = 100'000'000;

// Whether `text` contains "e-" or "E-" followed by at least nine digits anywhere.
[[nodiscard]] bool MayHoldHugeNegativeExponent(std::string_view text) noexcept;
// The same for the minus signs at offsets `from` to `to` of `text` only (the letter
// before and the digits after them are read from the whole text), so that a long text
// can be examined piece by piece while each piece is in the cache.
[[nodiscard]] bool MayHoldHugeNegativeExponent(std::string_view text, std::size_t from, std::size_t to) noexcept;

// Whether the JSON number `number` has a negative exponent whose digits, accumulated
// left to right, reach 214748364.
[[nodiscard]] bool IsHugeNegativeExponent(std::string_view number) noexcept;

// The offset at which the number holding a run of kRunawayDigitRun or more digits
// starts (its sign, or its first digit), or std::string_view::npos when there is none.
[[nodiscard]] std::size_t FindRunawayNumber(std::string_view text) noexcept;

}  // namespace vclient
