// JsonToBinding: a JSON text read into a BindingProperty tree in one pass, without an
// intermediate document.
//
// Kinds: null becomes Empty (a member or element that exists and is Empty), true/false
// Bool, an integer without a minus sign that fits 64 bits Unsigned, an integer with a
// minus sign that fits 64 bits Signed (so -0 is Signed 0), any other number Float, a
// string String, an array a Collection, an object a Structure. Texts end at their first
// NUL character, whether in a member name or a value ("a\u0000b" reads as "a").
//
// Duplicate member names: the later value replaces the earlier one, except that two
// objects merge into one Structure and two arrays append the later elements to the
// earlier ones.
//
// An empty text, a text of white space only, and a null pointer read as a success
// holding Empty. A malformed text gives a failed result with the message
// "Error: <reason> at offset <n>." (the reader's English reasons, n the byte offset at
// which the fault was found); the partial tree is discarded. In particular:
//   - a document nesting arrays and objects deeper than kMaxNestingDepth (256) fails with
//     "Arrays and objects nested deeper than 256 levels." where the level too many opens,
//     and an array beyond BindingProperty::kMaxCollectionSize elements with "Array with
//     more than 268435455 elements." where the element too many starts;
//   - a number whose value is beyond the range of a double (1e400, 1e99999999999) fails
//     with "Number too big to be stored in double." at the number's first character;
//     exponents too small to matter read as zero (1e-99999999999 is 0.0);
//   - a document containing a run of 100,000,000 digits or more is refused the same way,
//     at the start of the number holding it (such a run inside a string is refused too:
//     telling the two apart would cost a second pass over every document).
// Running out of memory throws std::bad_alloc, as BindingProperty itself does. Every
// allocation, the parser's working stack included, goes through operator new.
//
// Reading is reentrant; the text is only read.
#pragma once

#include <cstddef>
#include <string>

#include "value/binding_result.h"

namespace vclient {

// `text` is zero-terminated.
[[nodiscard]] BindingResult JsonToBinding(const char* text);
// The string's characters, up to its first NUL if it holds one.
[[nodiscard]] BindingResult JsonToBinding(const std::string& text);
// `length` bytes at `data`, up to the first NUL among them; need not be zero-terminated.
[[nodiscard]] BindingResult JsonToBinding(const char* data, std::size_t length);

}  // namespace vclient
