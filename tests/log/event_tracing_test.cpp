#include "log/event_tracing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace vclient {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Copy(const void* data, std::size_t size) {
    const auto* begin = static_cast<const std::uint8_t*>(data);
    return Bytes(begin, begin + size);
}

// A GUID's 16 bytes in memory, parsed from its published text form: the first three
// groups little-endian, the rest as written.
Bytes GuidBytes(std::string text) {
    std::erase(text, '-');
    Bytes b;
    for (std::size_t i = 0; i < text.size(); i += 2) b.push_back(std::uint8_t(std::stoul(text.substr(i, 2), {}, 16)));
    std::reverse(b.begin(), b.begin() + 4);
    std::reverse(b.begin() + 4, b.begin() + 6);
    std::reverse(b.begin() + 6, b.begin() + 8);
    return b;
}
const char* const kGuids[] = {"2F9EFE86-4AF7-4F37-A40F-94B909A157D6", "EA08C559-95A8-4AA2-AFA6-18738EEC6D37",
                              "10F6728C-EF92-4BF1-8397-49E693A6EB74", "46DD7F96-60CB-416B-8085-DA5CD8F491DD"};

// A session enabling the provider of the given EventRegister call from inside that call.
struct Session {
    std::size_t call;
    std::uint8_t level;
    std::uint64_t matchAny, matchAll;
};
struct Write {
    std::uint64_t handle;
    Bytes descriptor;
    std::vector<Bytes> fields;
};
struct {
    std::vector<Bytes> guids;
    std::vector<std::pair<TraceEnableCallback, void*>> callbacks;
    std::vector<Write> writes;
    std::vector<std::uint64_t> unregistered;
    std::optional<std::size_t> failingCall;
    std::optional<Session> session;
} gCalls;

constexpr std::uint64_t kHandleBase = std::uint64_t{1} << 40;  // lost if cut to 32 bits

std::uint32_t QIV_SYSTEM_CALL FakeRegister(const TraceGuid* guid, TraceEnableCallback callback, void* context,
                                           std::uint64_t* handle) {
    const std::size_t call = gCalls.guids.size();
    gCalls.guids.push_back(Copy(guid, sizeof(*guid)));
    gCalls.callbacks.emplace_back(callback, context);
    if (const auto& s = gCalls.session; s && s->call == call) {
        callback(guid, kTraceControlEnable, s->level, s->matchAny, s->matchAll, nullptr, context);
    }
    *handle = gCalls.failingCall == call ? 0xBAD : kHandleBase + call;  // not a handle to keep
    return gCalls.failingCall == call ? 87 : 0;
}
std::uint32_t QIV_SYSTEM_CALL FakeWrite(std::uint64_t handle, const TraceEventDescriptor* descriptor,
                                        std::uint32_t count, TraceEventDataDescriptor* fields) {
    Write& write = gCalls.writes.emplace_back(Write{handle, Copy(descriptor, sizeof(*descriptor)), {}});
    for (std::uint32_t i = 0; i < count; ++i)
        write.fields.push_back(Copy(reinterpret_cast<const void*>(std::uintptr_t(fields[i].pointer)), fields[i].size));
    return 0;
}
std::uint32_t QIV_SYSTEM_CALL FakeUnregister(std::uint64_t handle) {
    gCalls.unregistered.push_back(handle);
    return 0;
}
constexpr TraceEntryPoints kFakes{&FakeRegister, &FakeWrite, &FakeUnregister};

void Control(TraceProviderState& state, std::uint32_t code, std::uint8_t level = 0, std::uint64_t any = 0,
             std::uint64_t all = 0) {
    TraceProviders::EnableCallback(nullptr, code, level, any, all, nullptr, &state);
}

class EventTracing : public ::testing::Test {
protected:
    void SetUp() override { gCalls = {}; }
    std::uint64_t Handle(std::size_t i) const { return providers.Providers()[i].Handle(); }
    TraceProviders providers;
};

TEST_F(EventTracing, RegistersInTableOrderWithEachProvidersStateAsContext) {
    providers.Register(kFakes);
    ASSERT_EQ(gCalls.guids.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(gCalls.guids[i], GuidBytes(kGuids[i])) << i;
        EXPECT_EQ(Handle(i), kHandleBase + i) << i;
    }
    EXPECT_TRUE(gCalls.writes.empty()) << "no session listens";
    auto [callback, context] = gCalls.callbacks[2];
    callback(nullptr, kTraceControlEnable, 0, 0, 0, nullptr, context);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(providers.Providers()[i].IsEnabled(), i == 2) << i;
}

TEST_F(EventTracing, RegisteringAgainRetriesOnlyProvidersWithoutAHandle) {
    gCalls.failingCall = 2;
    providers.Register(kFakes);
    EXPECT_EQ(Handle(2), 0u) << "a failed registration leaves the handle 0";
    providers.Register(kFakes);
    ASSERT_EQ(gCalls.guids.size(), 5u);
    EXPECT_EQ(gCalls.guids[4], GuidBytes(kGuids[2]));
    EXPECT_EQ(Handle(0), kHandleBase);
    EXPECT_EQ(Handle(2), kHandleBase + 4);
}

TEST_F(EventTracing, WithoutEventRegisterNothingIsRegistered) {
    providers.Register({nullptr, &FakeWrite, &FakeUnregister});
    providers.Unregister();
    EXPECT_TRUE(gCalls.writes.empty() && gCalls.unregistered.empty());
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Handle(i), 0u);
}

TEST_F(EventTracing, UnregistersInReverseOrderSkippingZeroHandles) {
    gCalls.failingCall = 2;
    providers.Register(kFakes);
    providers.Unregister();
    providers.Unregister();  // nothing left the second time
    EXPECT_EQ(gCalls.unregistered, (std::vector<std::uint64_t>{kHandleBase + 3, kHandleBase + 1, kHandleBase}));
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Handle(i), 0u);
}

TEST_F(EventTracing, StartUpNamesItsThreadOnlyForASessionThatWantsTheEvent) {
    const struct {
        const char* name;
        std::optional<Session> session;
        TraceWriteFunction write;
        bool written;
    } cases[] = {
        {"second provider, keyword 1", Session{1, 0, 1, 0}, &FakeWrite, true},
        {"second provider, level 5, every keyword", Session{1, 5, ~0ull, 0}, &FakeWrite, true},
        {"no session", std::nullopt, &FakeWrite, false},
        {"first provider, keyword 1", Session{0, 0, 1, 0}, &FakeWrite, false},
        {"second provider, keyword 2", Session{1, 0, 2, 0}, &FakeWrite, false},
        {"no EventWrite", Session{1, 0, 1, 0}, nullptr, false},
    };
    const TraceEventDescriptor expected{103, 0, 0, 0, 14, 2, 1};
    const std::uint32_t threadId = platform::GetCurrentThreadId();
    for (const auto& c : cases) {
        gCalls = {};
        gCalls.session = c.session;
        TraceProviders fresh;
        fresh.Register({&FakeRegister, c.write, &FakeUnregister});
        ASSERT_EQ(gCalls.writes.size(), c.written ? 1u : 0u) << c.name;
        if (!c.written) continue;
        EXPECT_EQ(gCalls.writes[0].handle, fresh.Providers()[1].Handle());
        EXPECT_EQ(gCalls.writes[0].descriptor, Copy(&expected, sizeof(expected)));
        EXPECT_EQ(gCalls.writes[0].fields, (std::vector{Copy(&threadId, 4), Copy("Main thread", 12)}));
        fresh.WriteThreadName(7, nullptr);
        const std::uint32_t seven = 7;
        EXPECT_EQ(gCalls.writes.back().fields, (std::vector{Copy(&seven, 4), Copy("NULL", 5)}));
    }
}

// Events the rules tell apart: no keyword at level 5; keyword bits 2 and 4 at level 3.
constexpr TraceProviderInfo kMixedEvents{{}, 2, {{0, 5}, {6, 3}}};

TEST(EventTracingEnable, SessionsEnableTheEventsTheirLevelAndKeywordsSelect) {
    const struct {
        std::uint8_t level;
        std::uint64_t any, all;
        std::uint32_t bits;
    } cases[] = {
        {0, 0, 0, 0b01},  // level 0 takes every level; keyword 0 passes whatever the masks
        {0, ~0ull, 0, 0b11}, {4, ~0ull, 0, 0b10}, {3, ~0ull, 0, 0b10}, {2, ~0ull, 0, 0b00},
        {0, 2, 6, 0b11},  {0, 2, 14, 0b01},  // match-all wants a bit the event lacks
        {0, 0, 6, 0b01},  {0, 8, 0, 0b01},   // no bit shared with match-any
    };
    TraceProviderState state(kMixedEvents);
    for (const auto& c : cases) {  // one state throughout: every enable recomputes every bit
        Control(state, kTraceControlEnable, c.level, c.any, c.all);
        EXPECT_EQ(state.EventBits(), c.bits) << int{c.level} << " " << c.any << " " << c.all;
        EXPECT_TRUE(state.IsEnabled() && state.Level() == c.level && state.MatchAnyKeyword() == c.any &&
                    state.MatchAllKeyword() == c.all);
    }
}

TEST(EventTracingEnable, DisableClearsEverythingAndOtherCodesChangeNothing) {
    TraceProviderState state(kMixedEvents);
    Control(state, kTraceControlEnable, 4, ~0ull, 6);
    for (const std::uint32_t code : {kTraceControlCaptureState, 9u}) {
        Control(state, code, 1, 1, 1);
        EXPECT_TRUE(state.IsEnabled() && state.Level() == 4 && state.MatchAnyKeyword() == ~0ull &&
                    state.MatchAllKeyword() == 6 && state.EventBits() == 0b10) << code;
    }
    Control(state, kTraceControlDisable, 4, 1, 1);
    EXPECT_FALSE(state.IsEnabled() || state.Level() || state.MatchAnyKeyword() || state.MatchAllKeyword() ||
                 state.EventBits());
}

// A smoke test of the sharing contract (telling under a thread sanitizer): a session
// thread switches the fourth provider between its two events while this thread reads.
TEST(EventTracingEnable, CallbackOnAnotherThreadPublishesWholeEventWords) {
    TraceProviderState state(kTraceProviderTable[3]);
    std::atomic<bool> done{false};
    std::thread session([&] {
        for (int i = 0; i < 2000; ++i) {
            Control(state, kTraceControlEnable, 0, 1 + (i & 1), 0);
            Control(state, kTraceControlDisable);
        }
        Control(state, kTraceControlEnable, 0, 1, 0);
        done = true;
    });
    int bothEnabled = 0;
    while (!done) bothEnabled += state.EventBits() == 0b11 && state.Level() == 0;
    session.join();
    EXPECT_EQ(bothEnabled, 0);
    EXPECT_EQ(state.EventBits(), 0b01u);
}

// Runs only where the system's library exists (Windows, or its emulation).
TEST(EventTracingSystem, RegistersAndUnregistersThroughTheSystemsEntryPoints) {
    if (platform::LoadLibrary(L"Advapi32.dll") == nullptr) GTEST_SKIP() << "no Advapi32.dll on this system";
    const TraceEntryPoints system = LoadTraceEntryPoints();
    ASSERT_TRUE(system.eventRegister && system.eventWrite && system.eventUnregister);
    TraceProviders providers;
    providers.Register(system);
    for (const TraceProviderState& provider : providers.Providers()) EXPECT_NE(provider.Handle(), 0u);
    providers.Unregister();
    for (const TraceProviderState& provider : providers.Providers()) EXPECT_EQ(provider.Handle(), 0u);
}

}  // namespace
}  // namespace vclient
