#include "router/content_type.h"

#include <array>
#include <utility>

#include "codec/json_reader.h"
#include "codec/msgpack_reader.h"
#include "codec/yaml_reader.h"
#include "router/ascii_lower.h"

namespace vclient {

namespace {

constexpr std::array<std::pair<std::string_view, BodyFormat>, 5> kPrefixes{{
    {"application/x-msgpack", BodyFormat::MsgPack},
    {"application/json", BodyFormat::Json},
    {"application/vnd.api+json", BodyFormat::Json},
    {"application/x-yaml", BodyFormat::Yaml},
    {"text/x-yaml", BodyFormat::Yaml},
}};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) noexcept {
    if (text.size() < prefix.size()) return false;
    for (std::size_t index = 0; index < prefix.size(); ++index) {
        if (AsciiLower(text[index]) != prefix[index]) return false;
    }
    return true;
}

// The text up to its first NUL, never past its end.
std::string_view UpToNul(std::string_view text) noexcept {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

BindingResult DecodeMsgPackBody(std::string_view body) {
    MsgPackReadResult read = MsgPackToBinding(body);
    if (!read.result.Succeeded()) return std::move(read.result);
    if (read.consumed < body.size()) {
        BindingResult extra;
        extra.Fail("Extra MessgePack data found in body");
        return extra;
    }
    return std::move(read.result);
}

}  // namespace

BodyFormat BodyFormatOf(std::string_view contentType) noexcept {
    for (const auto& [prefix, format] : kPrefixes) {
        if (StartsWithIgnoringCase(contentType, prefix)) return format;
    }
    return BodyFormat::Unsupported;
}

BindingResult DecodeBody(std::string_view contentType, std::string_view body) {
    switch (BodyFormatOf(contentType)) {
        case BodyFormat::MsgPack: return DecodeMsgPackBody(body);
        case BodyFormat::Json: return JsonToBinding(body.data(), body.size());
        case BodyFormat::Yaml: return YamlToBinding(UpToNul(body));
        case BodyFormat::Unsupported: break;
    }
    BindingResult unsupported;
    unsupported.Fail("Unsupported body content type");
    return unsupported;
}

}  // namespace vclient
