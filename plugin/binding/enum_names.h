// EnumNames: what writers need from the type registry to print an Enum value by name.
// The codecs and the host-value exchange take it, so they do not depend on the whole
// registry; the type registry implements it.
#pragma once

#include <cstdint>
#include <string>

namespace vclient {

class EnumNames {
public:
    // The name of the enumerator with `value` in the enumeration whose type key is
    // `typeKey`, or null when the pair is unknown. Several names may share a value: the
    // first in name order is returned. The text lives as long as the registry.
    [[nodiscard]] virtual const std::string* FindEnumeratorName(std::uint32_t typeKey, std::int32_t value) const = 0;

protected:
    ~EnumNames() = default;
};

}  // namespace vclient
