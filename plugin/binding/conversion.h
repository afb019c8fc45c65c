// Native values to BindingProperty trees and back, through the type registry.
//
//   BindingResult out;
//   ToBinding(out, ballot, registry);                  // out.Value() is the Structure
//   BindingResult in;
//   FromBinding(in, tree, ballot, "ballot", registry); // assigns into ballot
//   if (!in.Succeeded()) Use(in.ErrorMessage());
//
// T is any native type of native_type.h: records and enumerations must be registered
// (see register_type.h), or the conversion fails with the unregistered-structure texts.
// Both functions do nothing when the context has already failed, stop at the first
// failure, never throw for bad input, and return whether the context still succeeds.
// `name` is the wire name of the value being assigned; the failure texts show it.
#pragma once

#include <string_view>

#include "value/binding_property.h"
#include "value/binding_result.h"
#include "binding/converters.h"
#include "binding/native_type.h"
#include "binding/type_registry.h"

namespace vclient {

// Sets the context's value to the tree of `value`.
template <NativeConvertible T>
bool ToBinding(BindingResult& result, const T& value, const TypeRegistry& registry) {
    if (!result.Succeeded()) return false;
    const TypeRecord* nested = TypeIdentifierOf<T>(registry).record;
    result.Value().Clear();
    detail::ToBindingWith<T>(result, result.Value(), value, nested, registry);
    return result.Succeeded();
}

// Assigns `input` into `target`; on failure `target` may be left partly assigned.
template <NativeConvertible T>
bool FromBinding(BindingResult& result, const BindingProperty& input, T& target, std::string_view name,
                 const TypeRegistry& registry) {
    if (!result.Succeeded()) return false;
    const TypeRecord* nested = TypeIdentifierOf<T>(registry).record;
    detail::FromBindingWith<T>(result, input, target, name, nested, registry);
    return result.Succeeded();
}

}  // namespace vclient
