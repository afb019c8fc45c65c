// A compact text of a BindingProperty tree for the MessagePack and YAML reader tests, so
// that expected trees read as one short line in a table:
//   ~ (Empty), true/false, s-1 (Signed), u7 (Unsigned), f1.5 (Float), "text" (String),
//   b:0aff (Blob), [a,b] (Collection), {name:value,...} (Structure, in field order).
#pragma once

#include <cstdio>
#include <string>

#include "binding/binding_property.h"

namespace vclient::testing {

inline std::string Describe(const BindingProperty& value) {
    switch (value.Kind()) {
        case BindingPropertyType::Empty:
            return "~";
        case BindingPropertyType::Bool:
            return value.GetBool() ? "true" : "false";
        case BindingPropertyType::Signed:
            return "s" + std::to_string(value.GetSigned());
        case BindingPropertyType::Unsigned:
            return "u" + std::to_string(value.GetUnsigned());
        case BindingPropertyType::Float: {
            char text[40];
            std::snprintf(text, sizeof text, "f%.17g", value.GetFloat());
            return text;
        }
        case BindingPropertyType::String:
            return "\"" + value.GetString() + "\"";
        case BindingPropertyType::Blob: {
            std::string text = "b:";
            for (const std::uint8_t byte : value.GetBlob()) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", byte);
                text += hex;
            }
            return text;
        }
        case BindingPropertyType::Collection: {
            std::string text = "[";
            for (const BindingProperty& element : value.Elements()) {
                text += (text.size() > 1 ? "," : "") + Describe(element);
            }
            return text + "]";
        }
        case BindingPropertyType::Structure: {
            std::string text = "{";
            for (const auto& field : value.Fields()) {
                text += (text.size() > 1 ? "," : "") + field.name + ":" + Describe(field.value);
            }
            return text + "}";
        }
        default:
            return "?";
    }
}

}  // namespace vclient::testing
