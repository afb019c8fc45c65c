// Base64 text of a byte sequence, as the JSON writer prints Blob values: the standard
// alphabet "A-Z a-z 0-9 + /", padded with '=' to a multiple of four characters. An empty
// sequence gives the empty text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vclient {

// Appends the Base64 text of `bytes` to `out`.
void AppendBase64(std::span<const std::uint8_t> bytes, std::string& out);

// The Base64 text of `bytes`.
[[nodiscard]] std::string EncodeBase64(std::span<const std::uint8_t> bytes);

}  // namespace vclient
