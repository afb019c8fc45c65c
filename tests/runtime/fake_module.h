// A module whose host-core forwarders record their calls, for tests of the runtime's
// waiting, timers and requests without a host.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/app_module.h"

namespace vclient::testing {

class FakeModule : public AppModule {
public:
    struct Timer {
        std::string name;
        HostTimerCallback callback;
        void* context;
        double delay;
    };

    std::vector<std::string> calls;
    std::vector<Timer> timers;
    std::function<void()> onRunPending;
    std::function<void(HostResponse*, const HostRequest*)> onPerformRequest;
    std::uint64_t endWaitAnswer = 0;

    void PerformRequest(HostResponse* response, const HostRequest* request) override {
        calls.push_back("PerformRequest");
        if (onPerformRequest) onPerformRequest(response, request);
    }
    void Reserved1(std::uint32_t, std::uint32_t) override { calls.push_back("Reserved1"); }
    void DispatchEvent(const HostEvent* event) override {
        calls.push_back(std::string("DispatchEvent ") + event->name);
    }
    void SubscribeEvent(const char* name, std::uint32_t, HostEventCallback, void*, std::uint32_t flag) override {
        calls.push_back("SubscribeEvent " + std::string(name) + " " + std::to_string(flag));
    }
    void UnsubscribeEvent(const char* name, std::uint32_t) override {
        calls.push_back("UnsubscribeEvent " + std::string(name));
    }
    void ScheduleTimer(const char* name, HostTimerCallback callback, void* context, double delay,
                       std::uint32_t) override {
        calls.push_back("ScheduleTimer " + std::string(name));
        timers.push_back({name, callback, context, delay});
    }
    void RunPending() override {
        calls.push_back("RunPending");
        if (onRunPending) onRunPending();
    }
    void BeginWait(const char* label, std::uint32_t) override { calls.push_back("BeginWait " + std::string(label)); }
    std::uint64_t EndWait() override {
        calls.push_back("EndWait");
        return endWaitAnswer;
    }
};

}  // namespace vclient::testing
