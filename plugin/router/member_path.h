// Member paths of argument keys: in the key "filter.0.name" the part before the first "."
// names the argument and the parts after it select members of its value, one per ".":
//
//   a part that begins with a decimal digit is an index: an unsigned number read with the
//   C library's base detection ("0x10" and "0X10" are 16, "010" is 8, "10" is 10); the
//   value becomes a Collection and the element at that index is created when missing;
//
//   any other part (the empty one included) is a field name: the value becomes a Structure
//   and the field is created when missing.
//
// Failures, %1 being the part as written:
//   "Index %1 is in an incorrect format"  characters left after the number ("1x", "08")
//   "Index %1 is out of range"            a number of 2147483648 or more, one that
//                                         overflows, or one above kMaxMemberIndex
//
// kMaxMemberIndex bounds what a caller can make the plug-in allocate: an index creates
// every missing element before it, so an index near 2^31 would ask for tens of gigabytes.
#pragma once

#include <cstdint>
#include <string_view>

#include "value/binding_property.h"
#include "value/binding_result.h"

namespace vclient {

inline constexpr std::uint32_t kMaxMemberIndex = 65535;

enum class MemberIndexOutcome {
    Ok,
    IncorrectFormat,
    OutOfRange,
};

struct MemberIndex {
    MemberIndexOutcome outcome = MemberIndexOutcome::Ok;
    std::uint64_t value = 0;
};

// Reads an index part (one that begins with a decimal digit). Only the 2^31 limit applies
// here; WalkMemberPath adds kMaxMemberIndex.
[[nodiscard]] MemberIndex ParseMemberIndex(std::string_view part) noexcept;

// Walks `path` (the key after its first ".") from `root` and returns the member reached,
// or null after failing `result`.
[[nodiscard]] BindingProperty* WalkMemberPath(BindingResult& result, BindingProperty& root, std::string_view path);

}  // namespace vclient
