#include "router/argument_binding.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "binding/host_value.h"
#include "codec/json_reader.h"
#include "codec/msgpack_reader.h"
#include "codec/yaml_reader.h"
#include "router/ascii_lower.h"
#include "router/content_type.h"
#include "router/member_path.h"
#include "router/url_decode.h"
#include "util/format_positional.h"

namespace vclient {

namespace {

constexpr auto kAny = static_cast<std::uint32_t>(ArgumentLocation::Any);

bool TakesSniffedValues(BindingType type) noexcept {
    return type == BindingType::Object || type == BindingType::Vector || type == BindingType::Struct;
}

std::string_view WithoutLeadingBlanks(std::string_view text) noexcept {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

void FailUnknownArgument(BindingResult& result, std::string_view name, const FunctionRecord& function) {
    result.Fail(Format("Unknown argument '%1' for '%2'.", name, function.name));
}

// The value of an argument given without a value.
void BindEmptyValue(BindingResult& result, BindingProperty& target, const ArgumentRecord& argument) {
    switch (argument.type.type) {
        case BindingType::Bool: target.SetBool(true); return;
        case BindingType::Object:
        case BindingType::Struct:
            target.Clear();
            target.EnsureStructure();
            return;
        case BindingType::Vector:
            target.Clear();
            target.EnsureCollection();
            return;
        default: result.Fail(Format("Expected value for argument '%1'.", argument.name));
    }
}

// Decodes `text` with `read` into `target`, or fails with the codec's text.
template <class Read>
void DecodeSniffed(BindingResult& result, BindingProperty& target, std::string_view codec,
                   const ArgumentRecord& argument, std::string_view functionName, Read read) {
    BindingResult decoded = read();
    if (!decoded.Succeeded()) {
        result.Fail(Format("Couldn't deserialize %1 value for parameter '%2' of '%3': %4", codec, argument.name,
                           functionName, decoded.ErrorMessage()));
        return;
    }
    target = std::move(decoded.Value());
}

void BindKeys(BindingResult& result, CallArguments& arguments, const std::unordered_map<std::string, std::string>& keys,
              ArgumentLocation source) {
    for (const auto& [key, value] : keys) {
        if (!result.Succeeded()) return;
        BindArgument(result, arguments, key, value, source);
    }
}

std::unordered_map<std::string, std::string> HeaderArguments(const CallArguments& arguments,
                                                             const HeaderMap& headers) {
    std::unordered_map<std::string, std::string> bound;
    if (headers.empty()) return bound;
    const FunctionRecord& function = arguments.Function();
    for (std::size_t index = 0; index < function.arguments.size(); ++index) {
        const std::uint32_t location = arguments.Binding().LocationOf(index);
        if (location != kAny && location != static_cast<std::uint32_t>(ArgumentLocation::Header)) continue;
        std::string key = function.arguments[index].name;
        std::transform(key.begin(), key.end(), key.begin(), AsciiLower);
        const auto found = headers.find(key);
        if (found != headers.end()) bound.insert_or_assign(function.arguments[index].name, found->second);
    }
    return bound;
}

void BindParameter(BindingResult& result, CallArguments& arguments, const HostRequestParameter& parameter,
                   std::size_t position) {
    const FunctionRecord& function = arguments.Function();
    const char* name = parameter.name;
    std::size_t index = position;
    if (name != nullptr) {
        index = arguments.Find(name);
        if (index == CallArguments::npos) return FailUnknownArgument(result, name, function);
    } else if (index >= function.arguments.size()) {
        return FailUnknownArgument(result, std::to_string(position), function);
    }
    const HostValue value = parameter.value;
    const std::string_view shownName = name != nullptr ? std::string_view(name) : function.arguments[index].name;
    (void)HostValueToBinding(result, arguments.Values()[index], value, shownName);
}

void BindParameters(BindingResult& result, CallArguments& arguments, const HostRequest& request,
                    std::size_t pathVariableCount) {
    const HostRequestParameter* parameters = request.parameters;
    const std::uint32_t count = request.parameterCount;
    if (parameters == nullptr) return;
    for (std::uint32_t index = 0; index < count && result.Succeeded(); ++index) {
        BindParameter(result, arguments, parameters[index], index + pathVariableCount);
    }
}

void BindBody(BindingResult& result, CallArguments& arguments, const HostRequest& request) {
    const char* body = request.body;
    const std::uint32_t length = request.bodyLength;
    if (body == nullptr || length == 0) return;
    const FunctionRecord& function = arguments.Function();
    for (std::size_t index = 0; index < function.arguments.size(); ++index) {
        if (arguments.Binding().LocationOf(index) != static_cast<std::uint32_t>(ArgumentLocation::Body)) continue;
        BindingResult decoded = DecodeBody(RequestText(request.contentType), std::string_view(body, length));
        if (!decoded.Succeeded()) return result.Fail(decoded.ErrorMessage());
        arguments.Values()[index] = std::move(decoded.Value());
        return;
    }
}

}  // namespace

CallArguments::CallArguments(const RouteBinding& binding)
    : binding_(binding), values_(binding.function->arguments.size()) {
    const std::vector<ArgumentRecord>& records = binding.function->arguments;
    for (std::size_t index = 0; index < records.size(); ++index) {
        if (records[index].type.type == BindingType::Bool && !records[index].optional) values_[index].SetBool(false);
    }
}

std::size_t CallArguments::Find(std::string_view name) const noexcept {
    const std::vector<ArgumentRecord>& records = binding_.function->arguments;
    for (std::size_t index = 0; index < records.size(); ++index) {
        if (records[index].name == name) return index;
    }
    return npos;
}

std::string_view RequestText(const char* text) noexcept {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

HeaderMap RequestHeaders(const HostRequest& request) {
    HeaderMap headers;
    const HostRequestHeader* array = request.headers;
    const std::uint32_t count = request.headerCount;
    if (array == nullptr) return headers;
    for (std::uint32_t index = 0; index < count; ++index) {
        const HostRequestHeader header = array[index];
        headers.insert_or_assign(std::string(RequestText(header.name)), std::string(RequestText(header.value)));
    }
    return headers;
}

QueryArguments ParseQuery(std::string_view url) {
    QueryArguments query;
    const std::size_t mark = url.find('?');
    if (mark == std::string_view::npos) return query;
    std::string_view rest = url.substr(mark + 1);
    while (true) {
        const std::size_t amp = rest.find('&');
        const std::string_view piece = rest.substr(0, amp);
        if (!piece.empty()) {
            const std::size_t equals = piece.find('=');
            const std::string_view key = piece.substr(0, equals);
            const std::string_view value = equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1);
            query.insert_or_assign(UrlDecode(key), UrlDecode(value));
        }
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    return query;
}

void BindArguments(BindingResult& result, CallArguments& arguments, const HostRequest& request,
                   const HeaderMap& headers, const PathArguments& pathArguments, std::size_t pathVariableCount) {
    if (!result.Succeeded()) return;
    BindKeys(result, arguments, HeaderArguments(arguments, headers), ArgumentLocation::Header);
    BindKeys(result, arguments, pathArguments, ArgumentLocation::Path);
    if (result.Succeeded()) BindKeys(result, arguments, ParseQuery(RequestText(request.url)), ArgumentLocation::Query);
    if (result.Succeeded()) BindParameters(result, arguments, request, pathVariableCount);
    if (result.Succeeded()) BindBody(result, arguments, request);
}

void BindArgument(BindingResult& result, CallArguments& arguments, std::string_view key, std::string_view value,
                  ArgumentLocation source) {
    const FunctionRecord& function = arguments.Function();
    const std::size_t dot = key.find('.');
    const std::string_view name = key.substr(0, dot);
    const std::size_t index = arguments.Find(name);
    if (index == CallArguments::npos) return FailUnknownArgument(result, name, function);
    const std::uint32_t location = arguments.Binding().LocationOf(index);
    if (location != kAny && location != static_cast<std::uint32_t>(source)) {
        return result.Fail(Format("Argument '%1' for '%2' was specified in an invalid location.", name, function.name));
    }
    const ArgumentRecord& argument = function.arguments[index];
    BindingProperty& target = arguments.Values()[index];
    if (dot != std::string_view::npos) {
        BindingProperty* member = WalkMemberPath(result, target, key.substr(dot + 1));
        if (member != nullptr) DecodeArgumentValue(result, *member, argument, function.name, value, false);
        return;
    }
    if (value.empty()) return BindEmptyValue(result, target, argument);
    DecodeArgumentValue(result, target, argument, function.name, value, TakesSniffedValues(argument.type.type));
}

void DecodeArgumentValue(BindingResult& result, BindingProperty& target, const ArgumentRecord& argument,
                         std::string_view functionName, std::string_view text, bool sniff) {
    if (sniff && !text.empty()) {
        const auto first = static_cast<unsigned char>(text.front());
        if ((first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF)) {
            return DecodeSniffed(result, target, "MessagePack", argument, functionName,
                                 [text] { return std::move(MsgPackToBinding(text).result); });
        }
        const std::string_view trimmed = WithoutLeadingBlanks(text);
        if (!trimmed.empty() && (trimmed.front() == '{' || trimmed.front() == '[')) {
            return DecodeSniffed(result, target, "JSON", argument, functionName,
                                 [text] { return JsonToBinding(text.data(), text.size()); });
        }
        if (trimmed.starts_with("---")) {
            return DecodeSniffed(result, target, "YAML", argument, functionName,
                                 [text] { return YamlToBinding(text); });
        }
    }
    target.SetString(text);
}

}  // namespace vclient
