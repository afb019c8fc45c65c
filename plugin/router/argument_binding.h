// Argument binding: turning an incoming call into one BindingProperty per argument of the
// called function, before the invoker converts them to native types.
//
// Sources, bound in this order, a later one overwriting what an earlier one bound:
//   headers (source 4)  for each argument at Any or Header, the header whose name is the
//                       argument's name in lower case (header names are not lowered)
//   path (source 2)     the variables of the matched template, URL-decoded
//   query (source 1)    the text after the URL's first "?", split at "&" and at each
//                       piece's first "=", keys and values URL-decoded; a later key
//                       replaces an earlier one; empty pieces ("a=1&&b=2", a trailing "&")
//                       are skipped
//   typed parameters    in order: a named one binds the argument of that exact name, a
//                       positional one the argument at its index plus the number of path
//                       variables; its host value is converted with HostValueToBinding
//   body                decoded by content type (content_type.h) into the first argument
//                       whose location is Body; ignored when there is none
//
// A key (of headers, path or query) names an argument and may carry a member path
// (member_path.h). Without one, an empty value makes a "bool" argument true, an "object"
// or "struct" argument an empty Structure, a "vector" argument an empty Collection, and
// fails any other; a non-empty value is decoded by DecodeArgumentValue, sniffing for
// "object", "vector" and "struct". Arguments of type "bool" that are not optional start
// as false.
//
// Failure texts (%1, %2 as noted):
//   "Unknown argument '%1' for '%2'."   a key or named parameter naming no argument (%1
//                                       the name), a positional parameter past the last
//                                       argument (%1 its computed position); %2 the function
//   "Argument '%1' for '%2' was specified in an invalid location."
//   "Expected value for argument '%1'."
//   "Couldn't deserialize JSON|YAML|MessagePack value for parameter '%1' of '%2': %3"
//   the member-path, content-type and codec texts, and the host-value conversion's text.
//
// Hostile requests: a null URL, content type, header name or value reads as empty text; a
// null header or parameter array reads as empty whatever its count; a null body is no body.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/api_records.h"
#include "value/binding_property.h"
#include "value/binding_result.h"
#include "qiv/plugin_abi.h"
#include "router/argument_location.h"
#include "router/call_context.h"
#include "router/route_binding.h"
#include "router/route_pattern.h"

namespace vclient {

// Query key to value.
using QueryArguments = std::unordered_map<std::string, std::string>;

// The arguments of one call: one value per argument of the function, all Empty at the
// start except the non-optional "bool" ones, which are false.
class CallArguments {
public:
    explicit CallArguments(const RouteBinding& binding);

    [[nodiscard]] const FunctionRecord& Function() const noexcept { return *binding_.function; }
    [[nodiscard]] const RouteBinding& Binding() const noexcept { return binding_; }
    [[nodiscard]] std::vector<BindingProperty>& Values() noexcept { return values_; }
    [[nodiscard]] const std::vector<BindingProperty>& Values() const noexcept { return values_; }
    // The index of the argument named exactly `name`, or npos.
    [[nodiscard]] std::size_t Find(std::string_view name) const noexcept;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    const RouteBinding& binding_;
    std::vector<BindingProperty> values_;
};

// The request's text fields, null read as empty.
[[nodiscard]] std::string_view RequestText(const char* text) noexcept;
// The request's headers, a later header of the same name replacing an earlier one.
[[nodiscard]] HeaderMap RequestHeaders(const HostRequest& request);
// The query arguments of a URL (empty when it has no "?").
[[nodiscard]] QueryArguments ParseQuery(std::string_view url);

// Binds every source of the request into `arguments`; stops at the first failure.
// `pathVariableCount` is the number of variables of the matched template.
void BindArguments(BindingResult& result, CallArguments& arguments, const HostRequest& request,
                   const HeaderMap& headers, const PathArguments& pathArguments, std::size_t pathVariableCount);

// Binds one key of a key map from `source`.
void BindArgument(BindingResult& result, CallArguments& arguments, std::string_view key, std::string_view value,
                  ArgumentLocation source);

// Makes `target` the value of `text`: decoded as MessagePack (first byte 0x80-0x9F or
// 0xDC-0xDF), JSON (first character after leading blanks "{" or "[") or YAML (text after
// leading blanks starting with "---") when `sniff` is set and the text is not empty,
// otherwise a String holding the text.
void DecodeArgumentValue(BindingResult& result, BindingProperty& target, const ArgumentRecord& argument,
                         std::string_view functionName, std::string_view text, bool sniff);

}  // namespace vclient
