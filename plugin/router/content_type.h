// Content types of request bodies and the decoding of a body by its content type.
//
// The content type is compared, without regard to ASCII case, with these prefixes in this
// order, so that parameters such as "; charset=utf-8" do not matter:
//
//   "application/x-msgpack"     MessagePack
//   "application/json"          JSON
//   "application/vnd.api+json"  JSON
//   "application/x-yaml"        YAML
//   "text/x-yaml"               YAML
//
// Any other content type, the empty one included, is unsupported.
#pragma once

#include <string_view>

#include "value/binding_result.h"

namespace vclient {

enum class BodyFormat {
    Unsupported,
    MsgPack,
    Json,
    Yaml,
};

[[nodiscard]] BodyFormat BodyFormatOf(std::string_view contentType) noexcept;

// The body's value, or a failure: "Unsupported body content type", the codec's own text,
// or, for MessagePack with bytes after its first value, "Extra MessgePack data found in
// body". JSON and YAML bodies are read up to their first NUL byte; nothing past
// body.size() is read.
[[nodiscard]] BindingResult DecodeBody(std::string_view contentType, std::string_view body);

}  // namespace vclient
