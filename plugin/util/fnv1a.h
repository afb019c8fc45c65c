// The 32-bit FNV-1a hash used for every text hash of the binding system (interned texts,
// field names, type keys). Offset basis 0x811c9dc5, prime 16777619.
#pragma once

#include <cstdint>
#include <string_view>

namespace vclient {

inline constexpr std::uint32_t kFnv1aOffsetBasis = 0x811c9dc5u;
inline constexpr std::uint32_t kFnv1aPrime = 16777619u;

[[nodiscard]] constexpr std::uint32_t Fnv1a(std::string_view bytes) noexcept {
    std::uint32_t hash = kFnv1aOffsetBasis;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= kFnv1aPrime;
    }
    return hash;
}

}  // namespace vclient
