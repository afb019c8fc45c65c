// The registry's description of native types: the identifier of a declared type, the
// record of one registered record or enumeration, its fields and enumerators, and the
// converter that moves a field between its native form and a BindingProperty.
//
// Type records are created by TypeRegistry::BeginType, filled by a type builder during
// start-up and owned by the registry, which never removes them; after start-up they are
// read without a lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_type.h"

namespace vclient {

class BindingProperty;
class BindingResult;
class TypeRegistry;
struct TypeRecord;

// What a field, argument or result is: its BindingType, the BindingType of its elements
// (vectors and maps, else None) and, for enumerations, records and vectors of them, the
// registered type record (null when that type was not registered).
struct TypeIdentifier {
    BindingType type = BindingType::None;
    BindingType elementType = BindingType::None;
    const TypeRecord* record = nullptr;
    friend bool operator==(const TypeIdentifier&, const TypeIdentifier&) = default;
};

// The identity of a native type: its stable 32-bit key and the compiler's name for it
// (StaticType::Key<T>() and StaticType::Name<T>()).
struct TypeIdentity {
    std::uint32_t key = 0;
    std::string_view name;
};

// Moves one native field to and from a BindingProperty. `nested` is the field's type
// record (for enumerations, records and vectors of them). Both operations report through
// the context and do nothing once it has failed. toBinding writes into `out`, which may
// live inside the context's own tree: after a failure `out` is gone and must not be used.
struct FieldConverter {
    void (*fromBinding)(BindingResult& result, void* field, const BindingProperty& input, std::string_view name,
                        const TypeRecord* nested, const TypeRegistry& registry);
    void (*toBinding)(BindingResult& result, BindingProperty& out, const void* field, const TypeRecord* nested,
                      const TypeRegistry& registry);
};

// Field flags.
inline constexpr std::uint8_t kOmitWhenEmpty = 1;  // leave out of output when zero or empty
inline constexpr std::uint8_t kRequired = 2;       // fail input that lacks the field

struct FieldRecord {
    std::string name;  // the wire name
    std::uint32_t nameHash = 0;  // FNV-1a of name
    std::string description;
    std::uint32_t offset = 0;  // inside the native record
    TypeIdentifier type;
    const FieldConverter* converter = nullptr;
    std::uint8_t flags = 0;
    // What API descriptions show instead of `type`; unused while its type is None.
    TypeIdentifier declaredType;
    bool optional = false;
};

struct EnumeratorRecord {
    std::string name;
    std::int32_t value = 0;
    std::string description;
};

struct TypeRecord {
    std::uint32_t nativeSize = 0;
    bool isEnumeration = false;
    std::string name;  // unique in the registry
    TypeIdentity identity;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FieldRecord> fields;  // records: in registration (wire) order
    // Enumerations: by name, in byte order; several names may share a value.
    std::map<std::string, EnumeratorRecord, std::less<>> enumerators;
    const TypeRegistry* registry = nullptr;

    // True when some enumerator has `value`. A number outside the 32-bit range is never one.
    [[nodiscard]] bool HasEnumeratorValue(std::int64_t value) const noexcept;
    // The first enumerator in name order with `value`, or null.
    [[nodiscard]] const EnumeratorRecord* FindEnumerator(std::int64_t value) const noexcept;
};

}  // namespace vclient
