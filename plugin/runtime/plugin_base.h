// PluginBase: the plug-in object as the host sees it. It registers with the host at load
// (Register), hands back the callback table, and forwards every host-core call to the
// HostCore table received at Initialize. A plug-in derives from it and overrides
// RegisterApi (declare types, routes and events) and Start (begin work once attached).
//
// Lifecycle: loaded (Register filled the load record) -> initialised (Initialize ran
// Start) -> stopping (Shutdown) -> destroyed by Shutdown itself. No host-core call is
// made before Initialize.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qiv/plugin_abi.h"
#include "router/api_registry.h"
#include "runtime/app_module.h"
#include "runtime/plugin_log_target.h"
#include "runtime/plugin_name.h"
#include "runtime/telemetry_sender.h"
#include "util/plugin_api_version.h"

namespace vclient {

// The plug-in API version this runtime implements.
PluginApiVersion PluginApiVersionOfRuntime();

// True when a host at `host` can run a plug-in built for `plugin`: same major, and a
// (minor, patch) pair at least the plug-in's.
bool IsCompatibleHostVersion(const PluginApiVersion& host, const PluginApiVersion& plugin);

class PluginBase : public AppModule {
public:
    PluginBase();
    ~PluginBase() override;

    // Registration at load: checks the host's API version (fatal "ALE-EECF0606" when
    // incompatible), names the plug-in, declares its API and fills the load record.
    void Register(PluginLoadRecord* record, const char* shortName);

    // Declares the plug-in's own types, endpoints and events. Does nothing by default.
    virtual void RegisterApi();
    // Begins the plug-in's work once the host is attached; its result is Initialize's.
    virtual bool Start();

    void PerformRequest(HostResponse* response, const HostRequest* request) override;
    void Reserved1(std::uint32_t first, std::uint32_t second) override;
    void DispatchEvent(const HostEvent* event) override;
    void SubscribeEvent(const char* name, std::uint32_t clientHandle, HostEventCallback callback, void* context,
                        std::uint32_t flag) override;
    void UnsubscribeEvent(const char* name, std::uint32_t clientHandle) override;
    void ScheduleTimer(const char* name, HostTimerCallback callback, void* context, double delaySeconds,
                       std::uint32_t zero) override;
    void RunPending() override;
    void BeginWait(const char* label, std::uint32_t zero) override;
    std::uint64_t EndWait() override;

    const PluginApiVersion& HostVersion() const { return hostVersion_; }
    const PluginName& Name() const { return name_; }
    const std::vector<std::string>& ApiTags() const { return apiTags_; }
    // ToApiName of the short name ("QivHonorV2"): the prefix of the plug-in's record names.
    const std::string& RoutePrefix() const { return routePrefix_; }
    const HostContext* Host() const { return host_; }
    const std::string& UserAgent() const { return userAgent_; }
    // Null until the host attaches the plug-in.
    TelemetrySender* Telemetry() { return telemetry_.get(); }

    [[nodiscard]] const TypeRegistry& Types() const override { return registry_; }
    [[nodiscard]] const std::string& ModuleName() const override { return name_.shortName; }

protected:
    // The registry in which RegisterApi declares the plug-in's records, routes and events.
    ApiRegistry& Registry() { return registry_; }

private:
    // The host core, or null before Initialize.
    [[nodiscard]] const HostCore* Core() const noexcept;
    static std::uint8_t QIV_CALL InitializeCallback(void* pluginContext, const HostContext* host);
    static void QIV_CALL ShutdownCallback(void* pluginContext);
    static void QIV_CALL GetMemoryStatisticsCallback(void* pluginContext, PluginMemoryStatistics* out);

    bool Initialize(const HostContext* host);
    void DeclareApi(const std::string& shortName);
    // From now on the log lines go to the host's log instead of the console; skipped when
    // a plug-in log target is already attached (a second plug-in in the process, or a
    // second Initialize).
    void SwitchLogToHost();

    ApiRegistry registry_;
    PluginApiVersion hostVersion_;
    PluginName name_;
    std::vector<std::string> apiTags_;
    std::string routePrefix_;
    const RouteTableDescriptor* routeTable_ = nullptr;
    const HostContext* host_ = nullptr;
    PluginCallbacks callbacks_{};
    std::unique_ptr<PluginLogTarget> logTarget_;
    std::unique_ptr<TelemetrySender> telemetry_;
    std::string shortName_;
    std::string userAgent_;
};

}  // namespace vclient
