// A compact text of a BindingProperty tree for the reader tests, so that expected trees
// read as one short line in a table:
//   ~ (Empty), true/false, s-1 (Signed), u7 (Unsigned), f1.5 (Float), "text" (String),
//   b:0aff (Blob), [a,b] (Collection), {name:value,...} (Structure, in field order).
#pragma once

#include <cstdio>
#include <string>

#include "binding/binding_property.h"

namespace vclient::testing {

inline std::string Describe(const BindingProperty& value) {
    char number[40];
    std::string text;
    switch (value.Kind()) {
    case BindingPropertyType::Empty: return "~";
    case BindingPropertyType::Bool: return value.GetBool() ? "true" : "false";
    case BindingPropertyType::Signed: return "s" + std::to_string(value.GetSigned());
    case BindingPropertyType::Unsigned: return "u" + std::to_string(value.GetUnsigned());
    case BindingPropertyType::Float:
        std::snprintf(number, sizeof number, "f%.17g", value.GetFloat());
        return number;
    case BindingPropertyType::String: return "\"" + value.GetString() + "\"";
    case BindingPropertyType::Blob:
        for (const std::uint8_t byte : value.GetBlob()) {
            std::snprintf(number, sizeof number, "%02x", byte);
            text += number;
        }
        return "b:" + text;
    case BindingPropertyType::Collection:
        for (const BindingProperty& element : value.Elements()) {
            text += (text.empty() ? "" : ",") + Describe(element);
        }
        return "[" + text + "]";
    case BindingPropertyType::Structure:
        for (const auto& field : value.Fields()) {
            text += (text.empty() ? "" : ",") + field.name + ":" + Describe(field.value);
        }
        return "{" + text + "}";
    default: return "?";
    }
}

}  // namespace vclient::testing
