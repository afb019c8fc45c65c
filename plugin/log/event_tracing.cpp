#include "log/event_tracing.h"

#include <cstring>

namespace vclient {
namespace {

// The thread-name event is the only event of its provider.
constexpr std::size_t kThreadNameEventIndex = 0;

// A description never claims more events than it has room for.
std::size_t EventCount(const TraceProviderInfo& info) {
    return info.eventCount < kMaxTraceEvents ? info.eventCount : kMaxTraceEvents;
}

// The session's decision for one event: the level passes when the event's level is at
// most the session's, or the session takes every level (0); the keyword passes when the
// event has none, or it shares a bit with match-any and carries every bit of match-all.
bool SessionWantsEvent(const TraceEventFilter& event, std::uint8_t level, std::uint64_t matchAny,
                       std::uint64_t matchAll) {
    const bool levelPasses = level == 0 || event.level <= level;
    const bool keywordPasses =
        event.keyword == 0 || ((event.keyword & matchAny) != 0 && (event.keyword & matchAll) == matchAll);
    return levelPasses && keywordPasses;
}

TraceEventDataDescriptor DataField(const void* data, std::size_t size) {
    return {static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(data)), static_cast<std::uint32_t>(size), 0};
}

// GetProcAddress hands back an untyped address; the entry point's type is ours to know.
template <typename Function>
Function FindEntryPoint(platform::ModuleHandle module, const char* name) {
    void* address = platform::GetProcAddress(module, name);
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(address));
    std::memcpy(&function, &address, sizeof(function));
    return function;
}

}  // namespace

TraceEntryPoints LoadTraceEntryPoints() noexcept {
    const platform::ModuleHandle advapi = platform::LoadLibrary(L"Advapi32.dll");
    if (advapi == nullptr) return {};
    return {FindEntryPoint<TraceRegisterFunction>(advapi, "EventRegister"),
            FindEntryPoint<TraceWriteFunction>(advapi, "EventWrite"),
            FindEntryPoint<TraceUnregisterFunction>(advapi, "EventUnregister")};
}

bool TraceProviderState::IsEventEnabled(std::size_t event) const noexcept {
    if (event >= EventCount(*info_)) return false;
    return (eventBits_.load() & (std::uint32_t{1} << event)) != 0;
}

void TraceProviderState::Disable() noexcept {
    enabled_.store(false);
    level_.store(0);
    matchAny_.store(0);
    matchAll_.store(0);
    eventBits_.store(0);
}

void TraceProviderState::Enable(std::uint8_t level, std::uint64_t matchAny, std::uint64_t matchAll) noexcept {
    level_.store(level);
    matchAny_.store(matchAny);
    matchAll_.store(matchAll);
    enabled_.store(true);
    // The bits are decided from the arguments, not from the stored fields, which another
    // callback may already be changing; they are published in one store.
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < EventCount(*info_); ++i) {
        if (SessionWantsEvent(info_->events[i], level, matchAny, matchAll)) bits |= std::uint32_t{1} << i;
    }
    eventBits_.store(bits);
}

void TraceProviders::Register(const TraceEntryPoints& entryPoints) noexcept {
    entryPoints_ = entryPoints;
    if (entryPoints.eventRegister == nullptr) return;
    for (TraceProviderState& provider : providers_) {
        if (provider.handle_ != 0) continue;
        // A failed registration keeps the handle at 0, whatever the system left in it.
        std::uint64_t handle = 0;
        if (entryPoints.eventRegister(&provider.info_->guid, &EnableCallback, &provider, &handle) == 0) {
            provider.handle_ = handle;
        }
    }
    WriteThreadName(platform::GetCurrentThreadId(), "Main thread");
}

void TraceProviders::Unregister() noexcept {
    for (std::size_t i = kTraceProviderCount; i-- > 0;) {
        TraceProviderState& provider = providers_[i];
        if (provider.handle_ == 0) continue;
        if (entryPoints_.eventUnregister != nullptr) entryPoints_.eventUnregister(provider.handle_);
        provider.handle_ = 0;
    }
}

void TraceProviders::WriteThreadName(std::uint32_t threadId, const char* name) noexcept {
    const TraceProviderState& provider = providers_[kThreadNameProvider];
    if (entryPoints_.eventWrite == nullptr || !provider.IsEventEnabled(kThreadNameEventIndex)) return;
    const char* text = name != nullptr ? name : "NULL";
    TraceEventDataDescriptor fields[] = {DataField(&threadId, sizeof(threadId)),
                                         DataField(text, std::strlen(text) + 1)};
    entryPoints_.eventWrite(provider.handle_, &kThreadNameEvent, 2, fields);
}

void QIV_SYSTEM_CALL TraceProviders::EnableCallback(const TraceGuid* /*source*/, std::uint32_t controlCode,
                                                    std::uint8_t level, std::uint64_t matchAnyKeyword,
                                                    std::uint64_t matchAllKeyword, void* /*filterData*/,
                                                    void* context) noexcept {
    auto* provider = static_cast<TraceProviderState*>(context);
    if (provider == nullptr) return;
    switch (controlCode) {
        case kTraceControlDisable:
            provider->Disable();
            return;
        case kTraceControlEnable:
            provider->Enable(level, matchAnyKeyword, matchAllKeyword);
            return;
        default:  // capture state and codes this module does not know: nothing to change
            return;
    }
}

}  // namespace vclient
