// The module's event-tracing providers: at start-up the module registers four providers
// with the system's event tracing, names its main thread for any trace session that
// listens, and at exit it unregisters them. Nothing else in the plug-in writes trace
// events; the providers exist so that a trace session can see the module and its main
// thread.
//
// The system's entry points (EventRegister, EventWrite, EventUnregister of Advapi32.dll)
// are looked up at run time, so the library imports nothing for tracing. They reach the
// providers through TraceEntryPoints, which tests fill with fakes. Tracing never fails
// visibly: a missing library or entry point leaves the providers unregistered, a failed
// registration leaves that provider's handle 0, and writing is skipped without EventWrite.
//
// Threading. The system calls TraceProviders::EnableCallback on a thread of its own, at
// any time after registration began (EventRegister may call it synchronously, before it
// returns), concurrently with the start-up thread reading the enable state. So every
// field the callback writes is atomic, and the enable bits of a provider are one word
// stored in one step: a reader sees each field as some callback left it, though not
// necessarily the level, masks and bits of the same callback. Register and Unregister
// (and with them the handles and the stored entry points) belong to one thread at a time:
// module start-up and module exit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/platform.h"  // QIV_SYSTEM_CALL for the system's function types

namespace vclient {

// --- The system's binary layouts ------------------------------------------------------

// A GUID as the system stores it: the first three groups in the machine's byte order.
struct TraceGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
static_assert(sizeof(TraceGuid) == 16);

// What a trace session filters on, sent with every event written.
struct TraceEventDescriptor {
    std::uint16_t id;
    std::uint8_t version;
    std::uint8_t channel;
    std::uint8_t level;
    std::uint8_t opcode;
    std::uint16_t task;
    std::uint64_t keyword;
};
static_assert(sizeof(TraceEventDescriptor) == 16);
static_assert(offsetof(TraceEventDescriptor, keyword) == 8);

// One field of an event's payload. `pointer` holds the address even on 32-bit targets.
struct TraceEventDataDescriptor {
    std::uint64_t pointer;
    std::uint32_t size;
    std::uint32_t reserved;
};
static_assert(sizeof(TraceEventDataDescriptor) == 16);

// Control codes of the enable callback.
inline constexpr std::uint32_t kTraceControlDisable = 0;
inline constexpr std::uint32_t kTraceControlEnable = 1;
inline constexpr std::uint32_t kTraceControlCaptureState = 2;

using TraceEnableCallback = void(QIV_SYSTEM_CALL*)(const TraceGuid* source, std::uint32_t controlCode,
                                                   std::uint8_t level, std::uint64_t matchAnyKeyword,
                                                   std::uint64_t matchAllKeyword, void* filterData,
                                                   void* context);
// The three entry points; each returns 0 on success or a system error code.
using TraceRegisterFunction = std::uint32_t(QIV_SYSTEM_CALL*)(const TraceGuid* provider,
                                                              TraceEnableCallback callback, void* context,
                                                              std::uint64_t* handle);
using TraceWriteFunction = std::uint32_t(QIV_SYSTEM_CALL*)(std::uint64_t handle,
                                                           const TraceEventDescriptor* descriptor,
                                                           std::uint32_t fieldCount,
                                                           TraceEventDataDescriptor* fields);
using TraceUnregisterFunction = std::uint32_t(QIV_SYSTEM_CALL*)(std::uint64_t handle);

// The system's entry points as found; any of them may be null.
struct TraceEntryPoints {
    TraceRegisterFunction eventRegister = nullptr;
    TraceWriteFunction eventWrite = nullptr;
    TraceUnregisterFunction eventUnregister = nullptr;
};

// Loads "Advapi32.dll" and looks the three entry points up. All null when the library is
// missing (always so on Linux).
[[nodiscard]] TraceEntryPoints LoadTraceEntryPoints() noexcept;

// --- The providers --------------------------------------------------------------------

// What a session's enable decision looks at for one event.
struct TraceEventFilter {
    std::uint64_t keyword;
    std::uint8_t level;
};

inline constexpr std::size_t kMaxTraceEvents = 2;

struct TraceProviderInfo {
    TraceGuid guid;
    std::size_t eventCount;
    TraceEventFilter events[kMaxTraceEvents];
};

// The thread-name event, the one event this module writes. Its payload: the thread id
// (32-bit unsigned) and the thread's name, an 8-bit text including its terminating zero.
inline constexpr TraceEventDescriptor kThreadNameEvent{103, 0, 0, 0, 14, 2, 1};

// The providers in registration order; the second one carries the thread-name event.
// The events other than the thread-name event are declared for sessions but never written.
inline constexpr std::size_t kTraceProviderCount = 4;
inline constexpr std::size_t kThreadNameProvider = 1;
inline constexpr TraceProviderInfo kTraceProviderTable[kTraceProviderCount] = {
    {{0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}}, 1, {{1, 0}}},
    {{0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
     1,
     {{kThreadNameEvent.keyword, kThreadNameEvent.level}}},
    {{0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}}, 1, {{0, 0}}},
    {{0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}}, 2, {{1, 0}, {2, 0}}},
};

// One provider: its description, its registration handle (0 while unregistered) and the
// enable state the system's sessions set through the enable callback. The state is the
// callback's context, so it never moves.
class TraceProviderState {
public:
    constexpr explicit TraceProviderState(const TraceProviderInfo& info) noexcept : info_(&info) {}
    TraceProviderState(const TraceProviderState&) = delete;
    TraceProviderState& operator=(const TraceProviderState&) = delete;

    [[nodiscard]] const TraceProviderInfo& Info() const noexcept { return *info_; }
    [[nodiscard]] std::uint64_t Handle() const noexcept { return handle_; }
    [[nodiscard]] bool IsEnabled() const noexcept { return enabled_.load(); }
    [[nodiscard]] std::uint8_t Level() const noexcept { return level_.load(); }
    [[nodiscard]] std::uint64_t MatchAnyKeyword() const noexcept { return matchAny_.load(); }
    [[nodiscard]] std::uint64_t MatchAllKeyword() const noexcept { return matchAll_.load(); }
    // Bit i set: event i of the description is enabled.
    [[nodiscard]] std::uint32_t EventBits() const noexcept { return eventBits_.load(); }
    // False for an index beyond the description's events.
    [[nodiscard]] bool IsEventEnabled(std::size_t event) const noexcept;

private:
    friend class TraceProviders;

    void Disable() noexcept;
    void Enable(std::uint8_t level, std::uint64_t matchAny, std::uint64_t matchAll) noexcept;

    const TraceProviderInfo* info_;
    std::uint64_t handle_ = 0;
    std::atomic<bool> enabled_{false};
    std::atomic<std::uint8_t> level_{0};
    std::atomic<std::uint64_t> matchAny_{0};
    std::atomic<std::uint64_t> matchAll_{0};
    std::atomic<std::uint32_t> eventBits_{0};
};

// The four providers of kTraceProviderTable. The module keeps one constant-initialised
// instance for the process (registered by a static initialiser, unregistered at exit);
// tests make their own.
class TraceProviders {
public:
    constexpr TraceProviders() noexcept
        : providers_{TraceProviderState(kTraceProviderTable[0]), TraceProviderState(kTraceProviderTable[1]),
                     TraceProviderState(kTraceProviderTable[2]), TraceProviderState(kTraceProviderTable[3])} {}
    TraceProviders(const TraceProviders&) = delete;
    TraceProviders& operator=(const TraceProviders&) = delete;

    // Registers, in table order, every provider whose handle is 0, when EventRegister was
    // found: with its GUID, EnableCallback and the provider's state as context. Then, if a
    // session has enabled the thread-name event, writes it for the calling thread as
    // "Main thread". Keeps `entryPoints` for Unregister.
    void Register(const TraceEntryPoints& entryPoints) noexcept;

    // In reverse table order, passes every non-zero handle to EventUnregister and resets
    // it to 0; handles that are 0 are skipped. Without EventUnregister the handles are
    // only reset.
    void Unregister() noexcept;

    // Writes the thread-name event for `threadId` and `name` ("NULL" when null) when its
    // enable bit is set and EventWrite was found; otherwise does nothing.
    void WriteThreadName(std::uint32_t threadId, const char* name) noexcept;

    [[nodiscard]] std::span<const TraceProviderState, kTraceProviderCount> Providers() const noexcept {
        return providers_;
    }

    // The enable callback given to EventRegister; `context` is a TraceProviderState.
    //   disable (0): clears the enabled flag, the level, both masks and every event bit;
    //   enable (1): stores level and masks, sets the flag, and enables each event whose
    //     level is at most the session's (or the session's level is 0) and whose keyword
    //     is 0 or shares a bit with match-any and contains every bit of match-all;
    //   any other code (capture state included) changes nothing.
    static void QIV_SYSTEM_CALL EnableCallback(const TraceGuid* source, std::uint32_t controlCode,
                                               std::uint8_t level, std::uint64_t matchAnyKeyword,
                                               std::uint64_t matchAllKeyword, void* filterData,
                                               void* context) noexcept;

private:
    TraceProviderState providers_[kTraceProviderCount];
    TraceEntryPoints entryPoints_{};
};

}  // namespace vclient
