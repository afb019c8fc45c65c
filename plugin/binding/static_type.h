// StaticType: the identity of a native type, for diagnostics and for the type registry.
//
//   StaticType::Name<std::vector<int>>()  -> "std::vector<int>" (as the compiler spells it)
//   StaticType::Key<T>()                  -> a stable 32-bit key, the FNV-1a hash of Name<T>()
//
// The name is taken from the compiler's own signature text of a function template
// instantiated for T, so it carries T's namespaces and template arguments. It names types
// in messages only ("Wait: future<%1>"); nothing parses it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "util/fnv1a.h"

namespace vclient {

class StaticType {
public:
    template <class T>
    [[nodiscard]] static constexpr std::string_view Name() noexcept {
        return std::string_view(Storage<T>::text.data(), Storage<T>::length);
    }

    template <class T>
    [[nodiscard]] static constexpr std::uint32_t Key() noexcept {
        return Fnv1a(Name<T>());
    }

private:
    template <class T>
    static constexpr std::string_view Signature() noexcept {
        return __PRETTY_FUNCTION__;
    }

    // The "T = ..." part of the signature, up to the ';' or ']' that closes it outside of
    // any template brackets.
    template <class T>
    static constexpr std::string_view Extract() noexcept {
        constexpr std::string_view signature = Signature<T>();
        constexpr std::string_view marker = "T = ";
        const std::size_t start = signature.find(marker);
        if (start == std::string_view::npos) return signature;
        const std::size_t from = start + marker.size();
        int depth = 0;
        for (std::size_t at = from; at < signature.size(); ++at) {
            const char c = signature[at];
            if (c == '<' || c == '(' || c == '[') ++depth;
            if (c == '>' || c == ')') --depth;
            if (c == ']') {
                if (depth == 0) return signature.substr(from, at - from);
                --depth;
            }
            if (c == ';' && depth == 0) return signature.substr(from, at - from);
        }
        return signature.substr(from);
    }

    template <class T>
    struct Storage {
        static constexpr std::size_t length = Extract<T>().size();
        static constexpr std::array<char, length + 1> text = [] {
            std::array<char, length + 1> out{};
            const std::string_view name = Extract<T>();
            for (std::size_t i = 0; i < length; ++i) out[i] = name[i];
            return out;
        }();
    };
};

}  // namespace vclient
