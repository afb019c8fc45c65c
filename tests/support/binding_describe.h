// A compact text of a BindingProperty tree for the reader and structure filler tests, so
// that expected trees read as one short line in a table:
//   ~ (Empty), true/false, s-1 (Signed), u7 (Unsigned), f1.5 (Float), "text" (String),
//   b:0aff (Blob), e3/77 (Enum: value/type key), [a,b] (Collection), {name:value,...}
//   (Structure, in field order).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "value/binding_property.h"

namespace vclient::testing_support {

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
    case BindingPropertyType::Enum:
        return "e" + std::to_string(value.GetEnum().value) + "/" + std::to_string(value.GetEnum().typeKey);
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

// One row of a reader's table: the input, and Describe() of the tree read or the failure text.
struct ReadCase { std::string text; std::string expected; };

// Reads each case's text with `read` (text -> BindingResult) and compares the outcome.
template <class Read>
void ExpectReadOutcomes(const std::vector<ReadCase>& cases, Read read) {
    for (const ReadCase& c : cases) {
        const auto result = read(c.text);
        EXPECT_EQ(result.Succeeded() ? Describe(result.Value()) : result.ErrorMessage(), c.expected)
            << c.text.substr(0, 40);
    }
}

// `unit` written `times` times over.
inline std::string Repeat(std::string_view unit, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += unit;
    return text;
}

}  // namespace vclient::testing_support
