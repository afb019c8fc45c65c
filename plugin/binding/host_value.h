// Host values: the fixed-layout records (HostValue, abi/qiv/plugin_abi.h) in which values
// cross the boundary between the plug-in and its host, and their conversion to and from
// BindingProperty trees.
//
// Ownership. Whoever fills a host value owns what it allocated and releases it with
// HostValueClear. The plug-in allocates texts, byte buffers, element arrays and entry
// arrays with new[] (its counted heap) and frees them with delete[]. Kinds 5 (string) and
// 7 (blob) borrow their payload: clearing them frees nothing. Clear only host values the
// plug-in filled itself; values the host hands over stay the host's.
//
// Every setter clears the record first, so a record must start zeroed or be one the
// plug-in filled. Nothing here throws.
//
// Hostile input. A host value the host filled is read defensively: a null text reads as
// empty; a null byte, element or entry array with a non-zero count, an entry without a
// name, and nesting deeper than kMaxNestingDepth fail the conversion with a clear text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "value/binding_property.h"
#include "value/binding_result.h"
#include "binding/enum_names.h"
#include "qiv/plugin_abi.h"

namespace vclient {

// Releases what the value owns, by kind, then zeroes the record (kind 0).
void HostValueClear(HostValue& value) noexcept;

void HostValueSetBool(HostValue& value, bool flag) noexcept;
void HostValueSetSigned(HostValue& value, std::int64_t number) noexcept;
void HostValueSetUnsigned(HostValue& value, std::uint64_t number) noexcept;
void HostValueSetDouble(HostValue& value, double number) noexcept;
// Kind 6 with a copy of the text; the length word counts up to the first zero. Null or
// empty gives an empty owned text. False (and kind 0) when memory ran out.
bool HostValueSetText(HostValue& value, std::string_view text) noexcept;
bool HostValueSetText(HostValue& value, const char* text) noexcept;
// Kind 8 with a copy of the bytes. False (and kind 0) when memory ran out.
bool HostValueSetBytes(HostValue& value, const std::uint8_t* bytes, std::uint32_t count) noexcept;
// Kind 9 / 10, taking over an array allocated with new[] (see the two allocators below).
void HostValueSetCollection(HostValue& value, HostValue* elements, std::uint32_t count) noexcept;
void HostValueSetStructure(HostValue& value, HostStructureEntry* entries, std::uint32_t count) noexcept;

// Zeroed arrays for the two setters above; null for a count of 0 or when memory ran out.
[[nodiscard]] HostValue* NewHostValueArray(std::uint32_t count) noexcept;
[[nodiscard]] HostStructureEntry* NewHostStructureEntries(std::uint32_t count) noexcept;

// The printed name of a host value kind ("bool", "signed", ... "structure"); empty for
// kind 0 and for kinds above 10.
[[nodiscard]] std::string_view HostValueKindName(std::uint32_t kind) noexcept;

// Fills `out` (cleared first) from `value`. Strings and blobs become owned copies; an Enum
// becomes its enumerator's name (kind 6) when `registry` knows the pair, else its number
// (kind 2); structure entries come in field-name order with owned names. On failure (a
// tree nested deeper than kMaxNestingDepth, or no memory) `out` is left cleared.
[[nodiscard]] bool BindingToHostValue(HostValue& out, const BindingProperty& value, const EnumNames* registry) noexcept;

// Makes `target` the value of `value`; `name` is shown in failure texts. Does nothing when
// the context has already failed; on failure it fails the context and returns false.
// `depth` is the nesting depth of `value` in the host value it belongs to (0 for a whole
// value): the nesting limit counts from that value's root.
bool HostValueToBinding(BindingResult& result, BindingProperty& target, const HostValue& value,
                        std::string_view name, std::size_t depth = 0) noexcept;

}  // namespace vclient
