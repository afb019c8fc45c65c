// The one fake host of the module road: an AppModule whose host-core forwarders record
// their calls, for tests of requests, resource events, service-proxy calls, waiting and
// timers without a host. What the host would answer is set through the hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "binding/host_value.h"
#include "binding/type_registry.h"
#include "codec/json_writer.h"
#include "runtime/app_module.h"
#include "runtime/runtime_records.h"

namespace vclient::testing_support {

class FakeModule : public AppModule {
public:
    struct Timer {
        HostTimerCallback callback;
        void* context;
        double delay;
    };
    struct Subscription {
        HostEventCallback callback;
        void* context;
    };

    FakeModule() {
        RegisterRuntimeRecords(registry);
        clientHandle_ = 42;
    }

    TypeRegistry registry;
    std::string name = "probe";
    // Every forwarder call, "Slot detail", in order.
    std::vector<std::string> calls;
    std::vector<Timer> timers;
    std::map<std::string, Subscription> subscriptions;
    // What DispatchEvent saw: the event name and its payload as JSON.
    std::vector<std::pair<std::string, std::string>> dispatched;
    std::function<void()> onRunPending;
    std::function<void(HostResponse*, const HostRequest*)> onPerformRequest;
    std::uint64_t endWaitAnswer = 0;

    const TypeRegistry& Types() const override { return registry; }
    const std::string& ModuleName() const override { return name; }
    void SetStopping() { stopping_ = 1; }
    using AppModule::SubscribeServiceProxyEvents;

    // Delivers `payload` (a tree) as the host would deliver an event of `eventName`.
    void Deliver(const std::string& eventName, const BindingProperty& payload) {
        HostValue value{};
        (void)BindingToHostValue(value, payload, &registry);
        DeliverValue(eventName, value);
        HostValueClear(value);
    }
    // The same with the host value as the host built it.
    void DeliverValue(const std::string& eventName, const HostValue& payload) {
        const auto found = subscriptions.find(eventName);
        if (found == subscriptions.end()) return;
        HostEvent event{};
        event.name = eventName.c_str();
        event.payload = payload;
        event.context = found->second.context;
        found->second.callback(&event);
    }
    // Fires the timer scheduled `index`-th, as the host would when it is due.
    void Fire(std::size_t index) { timers.at(index).callback(timers.at(index).context); }

    void PerformRequest(HostResponse* response, const HostRequest* request) override {
        const char* url = request->url;
        calls.push_back("PerformRequest " + std::string(HttpMethodWord(static_cast<HttpMethod>(request->method))) +
                        " " + url);
        if (onPerformRequest) onPerformRequest(response, request);
    }
    void Reserved1(std::uint32_t, std::uint32_t) override { calls.push_back("Reserved1"); }
    void DispatchEvent(const HostEvent* event) override {
        const char* eventName = event->name;
        calls.push_back(std::string("DispatchEvent ") + eventName);
        BindingResult result;
        BindingProperty payload;
        const HostValue value = event->payload;
        (void)HostValueToBinding(result, payload, value, "payload");
        dispatched.emplace_back(eventName, BindingToJson(payload, &registry, nullptr));
    }
    void SubscribeEvent(const char* eventName, std::uint32_t handle, HostEventCallback callback, void* context,
                        std::uint32_t flag) override {
        calls.push_back("SubscribeEvent " + std::string(eventName) + " " + std::to_string(handle) + " " +
                        std::to_string(flag));
        subscriptions[eventName] = Subscription{callback, context};
    }
    void UnsubscribeEvent(const char* eventName, std::uint32_t handle) override {
        calls.push_back("UnsubscribeEvent " + std::string(eventName) + " " + std::to_string(handle));
        subscriptions.erase(eventName);
    }
    void ScheduleTimer(const char* timerName, HostTimerCallback callback, void* context, double delay,
                       std::uint32_t) override {
        calls.push_back("ScheduleTimer " + std::string(timerName));
        timers.push_back({callback, context, delay});
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

// Fills a response with a text body the module borrows, as a host would.
inline void AnswerText(HostResponse* response, const char* text) {
    HostValue body{};
    body.kind = QIV_HOST_VALUE_STRING;
    body.string.text = text;
    body.string.length = 0;
    response->body = body;
    response->status = 200;
}

}  // namespace vclient::testing_support
