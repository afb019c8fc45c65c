#include "core/transcript.h"

namespace qivhost {
namespace {

// Host-core slots are named in upper camel case; everything else is marked by its prefix.
bool ToPlugin(const HostCall& call) { return call.slot.empty() || call.slot[0] < 'A' || call.slot[0] > 'Z'; }

}  // namespace

void Transcript::Record(std::string slot, std::string detail) {
    calls_.push_back({std::move(slot), std::move(detail)});
    if (!ToPlugin(calls_.back())) coreCalls_.push_back(calls_.back());
}

void Transcript::Clear() {
    calls_.clear();
    coreCalls_.clear();
}

std::size_t Transcript::Count(std::string_view slot) const {
    std::size_t count = 0;
    for (const HostCall& call : calls_) count += call.slot == slot ? 1 : 0;
    return count;
}

std::vector<HostCall> Transcript::Find(std::string_view slot, std::string_view text) const {
    std::vector<HostCall> found;
    for (const HostCall& call : calls_) {
        if (call.slot == slot && call.detail.find(text) != std::string::npos) found.push_back(call);
    }
    return found;
}

void Transcript::Print(std::FILE* out, std::string_view indent) const {
    for (const HostCall& call : calls_) {
        std::fprintf(out, "%.*s%s %s\n", static_cast<int>(indent.size()), indent.data(), call.slot.c_str(),
                     call.detail.c_str());
    }
}

std::string Quoted(const char* text) { return text == nullptr ? "(null)" : "\"" + std::string(text) + "\""; }

}  // namespace qivhost
