// A minimal host for the fuzz targets that call a plug-in's routes in process: it calls
// the export, attaches the plug-in with a host core whose every slot answers at once,
// and shuts it down again, so that each input meets a fresh plug-in.
//
// The host core: PerformRequest answers a GET of a resource the test registered with
// that value (from JSON), and everything else with a failure (status 503), so no call
// of the plug-in waits for a reply that never comes; events, subscriptions and timers
// are accepted and dropped; RunPending counts its turns and stops the run when a call
// spins through kMaxTurns of them (a wait that could never end in a real client either).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "binding/host_value.h"
#include "codec/json_reader.h"
#include "fuzz_support.h"
#include "qiv/plugin_abi.h"

extern "C" void QIV_CALL load_qiv_honor_v2(PluginLoadRecord* record);

namespace qivfuzz {

class MinimalHost {
public:
    static constexpr std::uint64_t kMaxTurns = 100000;

    MinimalHost() {
        block_.core.PerformRequest = &PerformRequest;
        block_.core.Reserved1 = [](const HostCore*, std::uint32_t, std::uint32_t) {};
        block_.core.DispatchEvent = [](const HostCore*, const HostEvent*) {};
        block_.core.SubscribeEvent = [](const HostCore*, const char*, std::uint32_t, HostEventCallback, void*,
                                        std::uint32_t) {};
        block_.core.UnsubscribeEvent = [](const HostCore*, const char*, std::uint32_t) {};
        block_.core.ScheduleTimer = [](const HostCore*, const char*, HostTimerCallback, void*, double, std::uint32_t) {};
        block_.core.RunPending = &RunPending;
        block_.core.BeginWait = [](const HostCore*, const char*, std::uint32_t) {};
        block_.core.EndWait = [](const HostCore*) -> std::uint64_t { return 0; };
        block_.core.WriteLog = [](const HostCore*, std::int32_t, const char*) {};
        block_.owner = this;
        context_.core = &block_.core;
        context_.clientHandle = 0x51;
    }
    MinimalHost(const MinimalHost&) = delete;
    MinimalHost& operator=(const MinimalHost&) = delete;
    ~MinimalHost() { Shutdown(); }

    // A resource the plug-in reads at start (a GET of `uri`), as JSON.
    void SetResource(const std::string& uri, const std::string& json) { resources_[uri] = json; }

    // Loads and initializes the plug-in; false when either step refused.
    bool Start() {
        record_ = PluginLoadRecord{};
        record_.apiMajor = 18;
        load_qiv_honor_v2(&record_);
        if (record_.callbacks == nullptr || record_.routeTable == nullptr) return false;
        loaded_ = true;
        return record_.callbacks->Initialize(record_.pluginContext, &context_) == 1;
    }

    void Shutdown() {
        if (!loaded_) return;
        loaded_ = false;
        record_.callbacks->Shutdown(record_.pluginContext);
    }

    const RouteTableDescriptor& Routes() const { return *record_.routeTable; }

    // Calls the function entry `index` with `request` (its dispatch context filled in),
    // reads the whole answer as a host would and releases it.
    void Call(std::uint32_t index, HostRequest request) {
        const RouteFunctionEntry& entry = record_.routeTable->functions[index];
        request.dispatchContext = entry.function.dispatchContext;
        HostResponse response{};
        turns_ = 0;
        entry.HandleCall(&response, &request);
        Read(response);
    }

private:
    struct Block {
        HostCore core;  // first member: the plug-in hands back &core
        MinimalHost* owner;
    };
    static MinimalHost& Owner(const HostCore* self) {
        return *reinterpret_cast<const Block*>(self)->owner;
    }

    static void QIV_CALL PerformRequest(const HostCore* self, HostResponse* response, const HostRequest* request) {
        MinimalHost& host = Owner(self);
        *response = HostResponse{};
        const auto found = request->url == nullptr || request->method != QIV_HTTP_GET
                               ? host.resources_.end()
                               : host.resources_.find(request->url);
        if (found == host.resources_.end()) {
            response->errorText = "Service unavailable";
            response->status = 503;
            return;
        }
        const vclient::BindingResult parsed = vclient::JsonToBinding(found->second);
        Check(parsed.Succeeded(), "the host's resources are JSON", found->second);
        Check(vclient::BindingToHostValue(response->body, parsed.Value(), nullptr), "the host's resources convert");
        response->status = 200;
        response->release = [](HostResponse* filled) { vclient::HostValueClear(filled->body); };
    }

    static void QIV_CALL RunPending(const HostCore* self) {
        MinimalHost& host = Owner(self);
        Check(++host.turns_ < kMaxTurns, "a call waits for something that never comes");
    }

    static void Read(HostResponse& response) {
        if (response.errorText != nullptr) static_cast<void>(std::strlen(response.errorText));
        if (response.resultText != nullptr) static_cast<void>(std::strlen(response.resultText));
        for (std::uint32_t i = 0; response.headers != nullptr && i < response.headerCount; ++i) {
            static_cast<void>(std::strlen(response.headers[i].name));
            static_cast<void>(std::strlen(response.headers[i].value));
        }
        vclient::BindingResult body;
        vclient::BindingProperty value;
        Check(vclient::HostValueToBinding(body, value, response.body, "body"), "the answer's body reads",
              body.ErrorMessage());
        if (response.readChunk != nullptr) {
            char buffer[512];
            std::uint8_t more = 1;
            for (int reads = 0; more != 0 && reads < 100000; ++reads) {
                std::uint32_t length = sizeof buffer;
                if (response.readChunk(response.streamContext, buffer, &length, &more) == 0) break;
                Check(length <= sizeof buffer, "a chunk fits the buffer");
            }
            if (response.closeStream != nullptr) response.closeStream(response.streamContext);
        }
        if (response.release != nullptr) response.release(&response);
    }

    Block block_{};
    HostContext context_{};
    PluginLoadRecord record_{};
    std::map<std::string, std::string> resources_;
    std::uint64_t turns_ = 0;
    bool loaded_ = false;
};

}  // namespace qivfuzz
