#include "binding/record_conversion.h"

#include <cstddef>

#include "binding/conversion_messages.h"
#include "util/format_positional.h"

namespace vclient {

namespace {

const void* FieldAddress(const void* object, const FieldRecord& field) noexcept {
    return static_cast<const std::byte*>(object) + field.offset;
}

void* FieldAddress(void* object, const FieldRecord& field) noexcept {
    return static_cast<std::byte*>(object) + field.offset;
}

// An omittable field converts into a value of its own and enters the structure only when
// it is not zero or empty; every other field converts in place.
bool StoreField(BindingResult& result, BindingProperty& out, const void* object, const FieldRecord& field,
                const TypeRegistry& registry) {
    if ((field.flags & kOmitWhenEmpty) == 0) {
        BindingProperty& slot = out.Field(field.name, field.nameHash);
        field.converter->toBinding(result, slot, FieldAddress(object, field), field.type.record, registry);
        return result.Succeeded();
    }
    BindingResult converted;
    field.converter->toBinding(converted, converted.Value(), FieldAddress(object, field), field.type.record,
                               registry);
    if (!converted.Succeeded()) {
        result.Fail(converted.ErrorMessage());
        return false;
    }
    if (!IsZeroOrEmpty(converted.Value())) out.Field(field.name, field.nameHash) = std::move(converted.Value());
    return true;
}

}  // namespace

bool IsZeroOrEmpty(const BindingProperty& value) noexcept {
    switch (value.Kind()) {
        case BindingPropertyType::Bool:
            return !value.GetBool();
        case BindingPropertyType::Signed:
            return value.GetSigned() == 0;
        case BindingPropertyType::Unsigned:
            return value.GetUnsigned() == 0;
        case BindingPropertyType::Float:
            return value.GetFloat() == 0.0;
        case BindingPropertyType::String:
        case BindingPropertyType::Blob:
        case BindingPropertyType::Collection:
        case BindingPropertyType::Structure:
            return value.Size() == 0;
        case BindingPropertyType::Enum:
            return value.GetEnum().value == 0;
        default:
            return true;
    }
}

void RecordToBinding(BindingResult& result, BindingProperty& out, const void* object, const TypeRecord* record,
                     const TypeRegistry& registry) {
    if (!result.Succeeded()) return;
    if (record == nullptr || record->isEnumeration) {
        result.Fail(messages::kUnregisteredNative);
        return;
    }
    out.Clear();
    out.EnsureStructure();
    for (const FieldRecord& field : record->fields) {
        if (!StoreField(result, out, object, field, registry)) return;
    }
}

void RecordFromBinding(BindingResult& result, const BindingProperty& input, void* object, std::string_view name,
                       const TypeRecord* record, const TypeRegistry& registry) {
    if (!result.Succeeded()) return;
    if (input.IsEmpty()) {
        result.Fail(Format(messages::kValueRequired, name));
        return;
    }
    if (record == nullptr || record->isEnumeration) {
        result.Fail(Format(messages::kUnregisteredInput, name));
        return;
    }
    if (input.Kind() != BindingPropertyType::Structure) {
        result.Fail(Format(messages::kNotAStructure, name, record->name));
        return;
    }
    for (const FieldRecord& field : record->fields) {
        const BindingProperty& value = input.Find(field.name);
        if (!value.IsEmpty()) {
            field.converter->fromBinding(result, FieldAddress(object, field), value, field.name, field.type.record,
                                         registry);
            if (!result.Succeeded()) return;
            continue;
        }
        if ((field.flags & kRequired) != 0) {
            result.Fail(Format(messages::kMissingRequiredField, name, record->name, field.name));
            return;
        }
    }
}

}  // namespace vclient
