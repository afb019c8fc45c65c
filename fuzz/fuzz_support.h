// Helpers shared by the fuzz targets: a strict comparison of two value trees and a check
// that stops the run with a readable report, which libFuzzer records as a crash together
// with the input that caused it.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "value/binding_property.h"

namespace qivfuzz {

[[noreturn]] inline void Stop(const char* what, const std::string& detail) {
    std::fprintf(stderr, "\n==== fuzz check failed: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool condition, const char* what, const std::string& detail = {}) {
    if (!condition) Stop(what, detail);
}

// Whether two doubles are the same value bit for bit (so 0.0 and -0.0 differ).
inline bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The distance between two finite doubles of the same sign in units in the last place.
inline std::uint64_t UlpDistance(double a, double b) {
    if (std::signbit(a) != std::signbit(b) || !std::isfinite(a) || !std::isfinite(b)) return UINT64_MAX;
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x > y ? x - y : y - x;
}

// The first difference between two trees as "path: reason", or the empty text when they
// are equal: same kinds, payloads (floats bit for bit unless `floatUlps` allows that many
// units in the last place, texts and blobs byte for byte), elements in order, fields with
// the same names in the same order. The trees compared here nest at most a few hundred
// levels.
inline std::string Difference(const vclient::BindingProperty& a, const vclient::BindingProperty& b,
                              const std::string& path = "$", std::uint64_t floatUlps = 0) {
    using vclient::BindingPropertyType;
    if (a.Kind() != b.Kind()) {
        return path + ": kind " + std::to_string(static_cast<int>(a.Kind())) + " vs " +
               std::to_string(static_cast<int>(b.Kind()));
    }
    switch (a.Kind()) {
        case BindingPropertyType::Empty:
            return {};
        case BindingPropertyType::Bool:
            return a.GetBool() == b.GetBool() ? std::string() : path + ": bool";
        case BindingPropertyType::Signed:
            return a.GetSigned() == b.GetSigned()
                       ? std::string()
                       : path + ": signed " + std::to_string(a.GetSigned()) + " vs " + std::to_string(b.GetSigned());
        case BindingPropertyType::Unsigned:
            return a.GetUnsigned() == b.GetUnsigned() ? std::string()
                                                      : path + ": unsigned " + std::to_string(a.GetUnsigned()) +
                                                            " vs " + std::to_string(b.GetUnsigned());
        case BindingPropertyType::Float: {
            if (SameBits(a.GetFloat(), b.GetFloat())) return {};
            if (floatUlps != 0 && UlpDistance(a.GetFloat(), b.GetFloat()) <= floatUlps) return {};
            char text[96];
            std::snprintf(text, sizeof text, ": float %.17g vs %.17g", a.GetFloat(), b.GetFloat());
            return path + text;
        }
        case BindingPropertyType::String:
            return a.GetString() == b.GetString() ? std::string()
                                                  : path + ": string \"" + a.GetString() + "\" vs \"" +
                                                        b.GetString() + "\"";
        case BindingPropertyType::Blob:
            return a.GetBlob() == b.GetBlob() ? std::string() : path + ": blob";
        case BindingPropertyType::Enum:
            return a.GetEnum() == b.GetEnum() ? std::string() : path + ": enum";
        case BindingPropertyType::Collection: {
            if (a.Size() != b.Size()) {
                return path + ": size " + std::to_string(a.Size()) + " vs " + std::to_string(b.Size());
            }
            for (std::size_t i = 0; i < a.Size(); ++i) {
                std::string inner = Difference(a.At(i), b.At(i), path + "[" + std::to_string(i) + "]", floatUlps);
                if (!inner.empty()) return inner;
            }
            return {};
        }
        case BindingPropertyType::Structure: {
            if (a.Size() != b.Size()) {
                return path + ": field count " + std::to_string(a.Size()) + " vs " + std::to_string(b.Size());
            }
            auto left = a.Fields().begin();
            auto right = b.Fields().begin();
            for (; left != a.Fields().end() && right != b.Fields().end(); ++left, ++right) {
                const auto l = *left;
                const auto r = *right;
                if (l.name != r.name) return path + ": field \"" + l.name + "\" vs \"" + r.name + "\"";
                std::string inner = Difference(l.value, r.value, path + "." + l.name, floatUlps);
                if (!inner.empty()) return inner;
            }
            return {};
        }
    }
    return path + ": unknown kind";
}

// The input as a C string literal, for reports.
inline std::string Quoted(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
            out += "\"\"";  // ends the hex escape
        }
    }
    return out + "\"";
}

}  // namespace qivfuzz
