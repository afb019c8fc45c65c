// The module base of a plug-in object: the forwarders to the host core, and (as the
// runtime grows) the subscription, handler, timer and service-proxy tables that the
// host's callbacks reach. The host core is only ever called through these forwarders,
// so a test can stand in for the host by overriding them.
#pragma once

#include <cstdint>

#include "qiv/plugin_abi.h"

namespace vclient {

class AppModule {
public:
    AppModule() = default;
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;
    virtual ~AppModule() = default;

    // Unsubscribes every event name that has a handler and empties the handler tables.
    // Called once by Shutdown, right before the object is destroyed.
    virtual void UnsubscribeAll();

    // One forwarder per host core slot 0 to 8, in slot order. Slot 9 (WriteLog) is
    // reached only through the plug-in's log target.
    virtual void PerformRequest(HostResponse* response, const HostRequest* request) = 0;
    virtual void Reserved1(std::uint32_t first, std::uint32_t second) = 0;
    virtual void DispatchEvent(const HostEvent* event) = 0;
    virtual void SubscribeEvent(const char* name, std::uint32_t clientHandle, HostEventCallback callback,
                                void* context, std::uint32_t flag) = 0;
    virtual void UnsubscribeEvent(const char* name, std::uint32_t clientHandle) = 0;
    virtual void ScheduleTimer(const char* name, HostTimerCallback callback, void* context, double delaySeconds,
                               std::uint32_t zero) = 0;
    virtual void RunPending() = 0;
    virtual void BeginWait(const char* label, std::uint32_t zero) = 0;
    virtual std::uint64_t EndWait() = 0;
};

}  // namespace vclient
