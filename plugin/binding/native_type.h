// How the type registry sees a native C++ type: which BindingType it is declared as and
// which type identifier a field, argument or result of that type has.
//
//   bool, the integer widths, float, double, std::string  -> their scalar BindingType
//   BindingBlob (std::vector<std::uint8_t>)                -> blob
//   BindingProperty                                        -> object
//   any enum type (stored as at most 32 bits)              -> enum, with its type record
//   std::vector<E> of any of these but vectors and blobs   -> vector of E
//   any other class                                        -> struct, with its type record
//
// Enumerations and records are found in the registry by StaticType::Key<T>(); one that is
// not registered yet has no type record, and converting it fails.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "value/binding_property.h"
#include "binding/static_type.h"
#include "binding/type_record.h"
#include "binding/type_registry.h"

namespace vclient {

template <class T>
struct IsStdVector : std::false_type {};
template <class T, class A>
struct IsStdVector<std::vector<T, A>> : std::true_type {};

template <class T>
concept NativeBool = std::same_as<T, bool>;
template <class T>
concept NativeInteger = std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
    !std::same_as<T, wchar_t> && !std::same_as<T, char8_t> && !std::same_as<T, char16_t> &&
    !std::same_as<T, char32_t>;
template <class T>
concept NativeFloat = std::same_as<T, float> || std::same_as<T, double>;
template <class T>
concept NativeString = std::same_as<T, std::string>;
template <class T>
concept NativeBlob = std::same_as<T, BindingBlob>;
template <class T>
concept NativeObject = std::same_as<T, BindingProperty>;
template <class T>
concept NativeEnum = std::is_enum_v<T> && sizeof(T) <= sizeof(std::int32_t);
template <class T>
concept NativeVector = IsStdVector<T>::value && !NativeBlob<T>;
template <class T>
concept NativeRecord = std::is_class_v<T> && !NativeString<T> && !NativeBlob<T> && !NativeObject<T> &&
    !NativeVector<T> && std::default_initializable<T>;

template <class T>
concept NativeConvertible = NativeBool<T> || NativeInteger<T> || NativeFloat<T> || NativeString<T> ||
    NativeBlob<T> || NativeObject<T> || NativeEnum<T> || NativeVector<T> || NativeRecord<T>;

// The BindingType a native type is declared as.
template <NativeConvertible T>
[[nodiscard]] constexpr BindingType BindingTypeOf() noexcept {
    if constexpr (NativeBool<T>) return BindingType::Bool;
    else if constexpr (NativeInteger<T>) {
        constexpr bool isSigned = std::is_signed_v<T>;
        if constexpr (sizeof(T) == 1) return isSigned ? BindingType::Int8 : BindingType::Uint8;
        else if constexpr (sizeof(T) == 2) return isSigned ? BindingType::Int16 : BindingType::Uint16;
        else if constexpr (sizeof(T) == 4) return isSigned ? BindingType::Int32 : BindingType::Uint32;
        else return isSigned ? BindingType::Int64 : BindingType::Uint64;
    } else if constexpr (std::same_as<T, float>) return BindingType::Float;
    else if constexpr (std::same_as<T, double>) return BindingType::Double;
    else if constexpr (NativeString<T>) return BindingType::String;
    else if constexpr (NativeBlob<T>) return BindingType::Blob;
    else if constexpr (NativeObject<T>) return BindingType::Object;
    else if constexpr (NativeEnum<T>) return BindingType::Enum;
    else if constexpr (NativeVector<T>) return BindingType::Vector;
    else return BindingType::Struct;
}

// The type identifier of a native type, with the type record of an enumeration or record
// (or of a vector's elements) as the registry holds it now.
template <NativeConvertible T>
[[nodiscard]] TypeIdentifier TypeIdentifierOf(const TypeRegistry& registry) {
    if constexpr (NativeEnum<T> || NativeRecord<T>) {
        return {BindingTypeOf<T>(), BindingType::None, registry.FindByKey(StaticType::Key<T>())};
    } else if constexpr (NativeVector<T>) {
        using Element = typename T::value_type;
        static_assert(!NativeVector<Element>, "vectors of vectors are not a field type");
        const TypeIdentifier element = TypeIdentifierOf<Element>(registry);
        return {BindingType::Vector, element.type, element.record};
    } else {
        return {BindingTypeOf<T>(), BindingType::None, nullptr};
    }
}

}  // namespace vclient
