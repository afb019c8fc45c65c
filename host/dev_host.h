// The development host: a stand-in for the client's plug-in manager. It loads a plug-in
// library by path, calls its export, implements the ten host-core slots and records every
// call the plug-in makes, so that tests and people can read the whole conversation. It
// knows the plug-in only through the ABI header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qiv/plugin_abi.h"

namespace qivhost {

struct HostVersion {
    std::uint32_t major = 18;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
};

// Parses "major.minor.patch"; false on anything else.
bool ParseHostVersion(const std::string& text, HostVersion& out);
std::string ToString(const HostVersion& version);

// One call the plug-in made into the host, in order.
struct HostCall {
    std::string slot;    // the host-core slot's name, e.g. "WriteLog"
    std::string detail;  // its arguments, readable
};

class DevHost {
public:
    DevHost();
    ~DevHost();
    DevHost(const DevHost&) = delete;
    DevHost& operator=(const DevHost&) = delete;

    // Loads the library and calls its export with `version`. False (with Error()) when the
    // library or its export cannot be found.
    bool Load(const std::string& libraryPath, const HostVersion& version);
    // Initialize with this host's context; returns the plug-in's answer.
    bool Initialize(std::uint32_t clientHandle = 0x51);
    PluginMemoryStatistics GetMemoryStatistics() const;
    // Shutdown; the plug-in object is gone afterwards. Safe to call twice.
    void Shutdown();

    const PluginLoadRecord& LoadRecord() const { return record_; }
    const std::vector<HostCall>& Calls() const { return calls_; }
    const std::string& Error() const { return error_; }
    bool Loaded() const { return loaded_; }
    bool Initialized() const { return initialized_; }

    // Called for every WriteLog line as it arrives (in addition to recording it).
    std::function<void(std::int32_t level, const std::string& message)> onLog;

private:
    struct CoreBlock {
        HostCore core;  // first member: the plug-in hands back &core, which is &block
        DevHost* owner;
    };
    static DevHost& Owner(const HostCore* self);
    void Record(std::string slot, std::string detail);

    static void QIV_CALL PerformRequestSlot(const HostCore* self, HostResponse* response, const HostRequest* request);
    static void QIV_CALL Reserved1Slot(const HostCore* self, std::uint32_t first, std::uint32_t second);
    static void QIV_CALL DispatchEventSlot(const HostCore* self, const HostEvent* event);
    static void QIV_CALL SubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle,
                                            HostEventCallback callback, void* context, std::uint32_t flag);
    static void QIV_CALL UnsubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle);
    static void QIV_CALL ScheduleTimerSlot(const HostCore* self, const char* name, HostTimerCallback callback,
                                           void* context, double delaySeconds, std::uint32_t zero);
    static void QIV_CALL RunPendingSlot(const HostCore* self);
    static void QIV_CALL BeginWaitSlot(const HostCore* self, const char* label, std::uint32_t zero);
    static std::uint64_t QIV_CALL EndWaitSlot(const HostCore* self);
    static void QIV_CALL WriteLogSlot(const HostCore* self, std::int32_t level, const char* message);

    void* library_ = nullptr;
    PluginLoadRecord record_{};
    CoreBlock block_{};
    HostContext context_{};
    std::vector<HostCall> calls_;
    std::string error_;
    bool loaded_ = false;
    bool initialized_ = false;
};

}  // namespace qivhost
