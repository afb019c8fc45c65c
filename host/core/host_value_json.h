// Host values as the development host builds, copies and reads them.
//
// OwnedHostValue is a HostValue that the host filled and owns: texts, bytes, element and
// entry arrays live on the host's heap and are released when the OwnedHostValue goes
// away (kinds 6, 8, 9 and 10, recursively). The plug-in only ever borrows such a value
// for the duration of a call, so the host may hand Get() to it and clear it afterwards.
//
// Contract:
// - FromJson turns a JSON text into a value: null -> empty, true/false -> bool, a negative
//   integer -> signed, a non-negative integer -> unsigned, other numbers -> float, a
//   string -> owned string, an array -> collection, an object -> structure whose entries
//   own their names, in the object's member order.
// - CopyOf deep-copies a value the plug-in handed over (its memory stays the plug-in's);
//   borrowed texts and bytes (kinds 5, 7) become owned ones (6, 8) in the copy. Unknown
//   kinds copy as empty values.
// - HostValueToJson reads any value, never frees anything and never fails: blobs are
//   written as base64 texts, non-finite floats and unknown kinds as null, values nested
//   deeper than kMaxHostValueDepth as null.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qiv/plugin_abi.h"

namespace qivhost {

inline constexpr int kMaxHostValueDepth = 256;

class OwnedHostValue {
public:
    OwnedHostValue();
    ~OwnedHostValue();
    OwnedHostValue(const OwnedHostValue& other);
    OwnedHostValue& operator=(const OwnedHostValue& other);
    OwnedHostValue(OwnedHostValue&& other) noexcept;
    OwnedHostValue& operator=(OwnedHostValue&& other) noexcept;

    [[nodiscard]] static OwnedHostValue CopyOf(const HostValue& value);
    [[nodiscard]] static OwnedHostValue Text(std::string_view text);
    // Takes over a value whose memory the host allocated with this file's functions.
    [[nodiscard]] static OwnedHostValue Adopt(const HostValue& value);

    const HostValue& Get() const { return value_; }
    HostValue* Pointer() { return &value_; }
    // Hands the value over; the caller must clear it with ClearHostValue.
    [[nodiscard]] HostValue Release();

private:
    HostValue value_;
};

// What FromJson produced: the value, or why the text is not JSON.
struct [[nodiscard]] HostValueFromJson {
    bool ok = false;
    std::string error;
    OwnedHostValue value;
};

[[nodiscard]] HostValueFromJson HostValueFromJsonText(std::string_view json);
[[nodiscard]] std::string HostValueToJson(const HostValue& value);
// Releases what a host-built value owns and zeroes the record.
void ClearHostValue(HostValue& value);

// Structure and collection builders for the host's own payloads; each takes over the
// values it is given.
class StructureBuilder {
public:
    StructureBuilder& Add(std::string_view name, OwnedHostValue value);
    StructureBuilder& AddText(std::string_view name, std::string_view text);
    [[nodiscard]] OwnedHostValue Build();

private:
    struct Member {
        std::string name;
        OwnedHostValue value;
    };
    std::vector<Member> members_;
};

// Reads the text of a string value (kinds 5 and 6); false for every other kind.
[[nodiscard]] bool HostValueText(const HostValue& value, std::string& out);

}  // namespace qivhost
