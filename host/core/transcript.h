// The transcript: every call the plug-in makes into the host, and every call the host
// makes into the plug-in, in the order they happened, with a readable detail (payloads
// as JSON). Tests read it; qiv-host prints it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qivhost {

// One entry. Host-core slots carry the slot's name ("WriteLog"); calls from the host
// into the plug-in carry a name beginning with "->" ("-> Event", "-> Timer",
// "-> HandleCall", "-> Initialize"), what such a call answered "<-" ("<- HandleCall"),
// and the host's own actions "==" ("== Resource", "== Vyre", "== Shutdown").
struct HostCall {
    std::string slot;
    std::string detail;
};

class Transcript {
public:
    void Record(std::string slot, std::string detail);
    const std::vector<HostCall>& Calls() const { return calls_; }
    // The host-core calls only (entries whose slot is a slot name).
    const std::vector<HostCall>& CoreCalls() const { return coreCalls_; }
    [[nodiscard]] std::size_t Count(std::string_view slot) const;
    // Entries of `slot` whose detail contains `text`.
    [[nodiscard]] std::vector<HostCall> Find(std::string_view slot, std::string_view text = {}) const;
    void Print(std::FILE* out, std::string_view indent = "  ") const;
    void Clear();

private:
    std::vector<HostCall> calls_;
    std::vector<HostCall> coreCalls_;
};

// A text quoted for a detail line, "(null)" for a null pointer.
[[nodiscard]] std::string Quoted(const char* text);

}  // namespace qivhost
