// The converter of every native field type, as templates over the native type. The type
// builders take kFieldConverter<T> for a field of type T; ToBinding and FromBinding
// (conversion.h) call the same code for a whole value.
//
// `nested` is the type record of an enumeration, a record, or a vector's elements: the one
// the field's type identifier carries, or the one the registry holds for T.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>
#include <vector>

#include "value/binding_property.h"
#include "value/binding_result.h"
#include "binding/binding_type.h"
#include "binding/conversion_messages.h"
#include "binding/native_type.h"
#include "binding/record_conversion.h"
#include "binding/scalar_conversion.h"
#include "binding/static_type.h"
#include "binding/type_record.h"
#include "util/format_positional.h"

namespace vclient::detail {

template <NativeConvertible T>
void ToBindingWith(BindingResult& result, BindingProperty& out, const T& value, const TypeRecord* nested,
                   const TypeRegistry& registry);

template <NativeConvertible T>
void FromBindingWith(BindingResult& result, const BindingProperty& input, T& target, std::string_view name,
                     const TypeRecord* nested, const TypeRegistry& registry);

template <class Vector>
void VectorToBinding(BindingResult& result, BindingProperty& out, const Vector& values, const TypeRecord* nested,
                     const TypeRegistry& registry) {
    out.Clear();
    out.EnsureCollection();
    // A vector of more elements than a collection holds cannot exist in memory here; the
    // reservation is only a hint.
    (void)out.Reserve(values.size());
    for (const auto& element : values) {
        BindingProperty& slot = out.Append();
        ToBindingWith<typename Vector::value_type>(result, slot, element, nested, registry);
        if (!result.Succeeded()) return;
    }
}

template <class Vector>
void VectorFromBinding(BindingResult& result, const BindingProperty& input, Vector& target, std::string_view name,
                       const TypeRecord* nested, const TypeRegistry& registry) {
    using Element = typename Vector::value_type;
    target.clear();
    if (input.Kind() != BindingPropertyType::Collection) {
        result.Fail(Format(messages::kNotACollection, name));
        return;
    }
    target.resize(input.Size());
    for (std::size_t index = 0; index < target.size() && result.Succeeded(); ++index) {
        const BindingProperty& element = input.At(index);
        if (element.IsEmpty()) continue;
        if constexpr (std::is_same_v<Element, bool>) {
            bool flag = false;  // std::vector<bool> hands out proxies, not references
            FromBindingWith<bool>(result, element, flag, name, nested, registry);
            target[index] = flag;
        } else {
            FromBindingWith<Element>(result, element, target[index], name, nested, registry);
        }
    }
}

template <NativeConvertible T>
void ToBindingWith(BindingResult& result, BindingProperty& out, const T& value, const TypeRecord* nested,
                   const TypeRegistry& registry) {
    if (!result.Succeeded()) return;
    if constexpr (NativeBool<T>) {
        out.SetBool(value);
    } else if constexpr (NativeInteger<T> && std::is_signed_v<T>) {
        out.SetSigned(static_cast<std::int64_t>(value));
    } else if constexpr (NativeInteger<T>) {
        out.SetUnsigned(static_cast<std::uint64_t>(value));
    } else if constexpr (NativeFloat<T>) {
        out.SetFloat(static_cast<double>(value));
    } else if constexpr (NativeString<T> || NativeBlob<T>) {
        if constexpr (NativeString<T>) out.SetString(value);
        else out.SetBlob(value);
    } else if constexpr (NativeObject<T>) {
        out = value;
    } else if constexpr (NativeEnum<T>) {
        out.SetEnum({static_cast<std::int32_t>(value), static_cast<std::int32_t>(StaticType::Key<T>())});
    } else if constexpr (NativeVector<T>) {
        VectorToBinding(result, out, value, nested, registry);
    } else {
        RecordToBinding(result, out, &value, nested, registry);
    }
}

template <NativeInteger T>
void IntegerFromBinding(BindingResult& result, const BindingProperty& input, T& target, std::string_view name) {
    const std::string_view typeName = BindingTypeName(BindingTypeOf<T>());
    if constexpr (std::is_signed_v<T>) {
        std::int64_t value = 0;
        if (SignedFromBinding(result, input, name, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(),
                              typeName, value)) {
            target = static_cast<T>(value);
        }
    } else {
        std::uint64_t value = 0;
        if (UnsignedFromBinding(result, input, name, std::numeric_limits<T>::max(), typeName, value)) {
            target = static_cast<T>(value);
        }
    }
}

template <NativeConvertible T>
void FromBindingWith(BindingResult& result, const BindingProperty& input, T& target, std::string_view name,
                     const TypeRecord* nested, const TypeRegistry& registry) {
    if (!result.Succeeded()) return;
    if constexpr (NativeBool<T>) {
        (void)BoolFromBinding(result, input, name, target);
    } else if constexpr (NativeInteger<T>) {
        IntegerFromBinding(result, input, target, name);
    } else if constexpr (NativeFloat<T>) {
        double value = 0.0;
        if (FloatFromBinding(result, input, name, std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max(),
                             BindingTypeName(BindingTypeOf<T>()), value)) {
            target = static_cast<T>(value);
        }
    } else if constexpr (NativeString<T>) {
        (void)StringFromBinding(result, input, name, registry, target);
    } else if constexpr (NativeBlob<T>) {
        (void)BlobFromBinding(result, input, name, target);
    } else if constexpr (NativeObject<T>) {
        target = input;
    } else if constexpr (NativeEnum<T>) {
        std::int32_t value = 0;
        if (EnumFromBinding(result, input, name, nested, value)) target = static_cast<T>(value);
    } else if constexpr (NativeVector<T>) {
        VectorFromBinding(result, input, target, name, nested, registry);
    } else {
        RecordFromBinding(result, input, &target, name, nested, registry);
    }
}

template <NativeConvertible T>
void FieldFromBinding(BindingResult& result, void* field, const BindingProperty& input, std::string_view name,
                      const TypeRecord* nested, const TypeRegistry& registry) {
    FromBindingWith<T>(result, input, *static_cast<T*>(field), name, nested, registry);
}

template <NativeConvertible T>
void FieldToBinding(BindingResult& result, BindingProperty& out, const void* field, const TypeRecord* nested,
                    const TypeRegistry& registry) {
    ToBindingWith<T>(result, out, *static_cast<const T*>(field), nested, registry);
}

}  // namespace vclient::detail

namespace vclient {

// The converter of a field of native type T.
template <NativeConvertible T>
inline constexpr FieldConverter kFieldConverter{&detail::FieldFromBinding<T>, &detail::FieldToBinding<T>};

}  // namespace vclient
