// JsonToRecord: a JSON text read into a native value of a registered type in one step,
// the codec's JSON reader followed by the registry's FromBinding. For texts that carry a
// record inside another value (a messaging-service payload, a parameter of a Vyre
// message):
//
//   Api::VendedReward reward;            // conversion starts from the defaults
//   BindingResult result;
//   if (!JsonToRecord(result, text, reward, "<value>", Types())) Trace(result.ErrorMessage());
#pragma once

#include <string>
#include <string_view>

#include "binding/conversion.h"
#include "binding/type_registry.h"
#include "value/binding_result.h"

namespace vclient {

// The codec's JSON reader, out of line so that the users of this header do not compile
// the codecs.
[[nodiscard]] BindingResult ReadJsonTree(const std::string& text);

// Reads `text` as JSON and assigns it into `target` under the wire name `name`. Like
// FromBinding it does nothing when `result` has already failed, and returns whether
// `result` still succeeds. A text that is not JSON fails with the reader's message and
// leaves `target` untouched; a value that does not convert fails with the conversion's
// message and may leave `target` partly assigned.
template <NativeConvertible T>
bool JsonToRecord(BindingResult& result, const std::string& text, T& target, std::string_view name,
                  const TypeRegistry& registry) {
    if (!result.Succeeded()) return false;
    const BindingResult parsed = ReadJsonTree(text);
    if (!parsed.Succeeded()) {
        result.Fail(parsed.ErrorMessage());
        return false;
    }
    return FromBinding(result, parsed.Value(), target, name, registry);
}

}  // namespace vclient
