// Converting a registered record, field by field, between its native object and a
// Structure. The native object is reached through its address and the field offsets of
// its type record; each field moves through its own converter. The first failure stops
// the walk (later fields are not visited; the native object may be left partly assigned).
#pragma once

#include <string_view>

#include "value/binding_property.h"
#include "value/binding_result.h"
#include "binding/type_record.h"

namespace vclient {

class TypeRegistry;

// Makes `out` a Structure of the record's fields in registration order. Fields flagged
// kOmitWhenEmpty are left out when zero or empty. A null record is an unregistered one.
void RecordToBinding(BindingResult& result, BindingProperty& out, const void* object, const TypeRecord* record,
                     const TypeRegistry& registry);

// Assigns the fields present in `input` into the native object; absent or Empty fields keep
// their native values unless flagged kRequired. Input fields the record lacks are ignored.
void RecordFromBinding(BindingResult& result, const BindingProperty& input, void* object, std::string_view name,
                       const TypeRecord* record, const TypeRegistry& registry);

// Whether kOmitWhenEmpty leaves `value` out: Empty, false, 0, 0.0 (not NaN), and a String,
// Blob, Collection or Structure of size 0, and an Enum of value 0.
[[nodiscard]] bool IsZeroOrEmpty(const BindingProperty& value) noexcept;

}  // namespace vclient
