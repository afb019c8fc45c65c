#include "runtime/plugin_base.h"

#include "log/fatal_error.h"
#include "log/log.h"
#include "router/api_name.h"
#include "runtime/counting_allocator.h"
#include "runtime/host_boundary.h"
#include "runtime/runtime_records.h"
#include "util/format_positional.h"

namespace vclient {

PluginApiVersion PluginApiVersionOfRuntime() { return PluginApiVersion{18, 0, 0, "", ""}; }

bool IsCompatibleHostVersion(const PluginApiVersion& host, const PluginApiVersion& plugin) {
    if (host.major != plugin.major) return false;
    if (host.minor != plugin.minor) return host.minor > plugin.minor;
    return host.patch >= plugin.patch;
}

PluginBase::PluginBase() {
    LogAddRef();
    callbacks_.Initialize = &PluginBase::InitializeCallback;
    callbacks_.Shutdown = &PluginBase::ShutdownCallback;
    callbacks_.GetMemoryStatistics = &PluginBase::GetMemoryStatisticsCallback;
}

PluginBase::~PluginBase() {
    logTarget_.reset();  // detached while the log system still exists
    LogRelease();
}

void PluginBase::Register(PluginLoadRecord* record, const char* shortName) {
    hostVersion_ = PluginApiVersion{record->apiMajor, record->apiMinor, record->apiPatch, "", ""};
    const PluginApiVersion mine = PluginApiVersionOfRuntime();
    if (!IsCompatibleHostVersion(hostVersion_, mine)) {
        const std::string why = Format("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
                                       shortName, mine, hostVersion_);
        RaiseFatalError("ALE-EECF0606", why.c_str());
    }
    name_ = GetFullNameFromShortNameAndType(shortName, BackendPluginKind());
    DeclareApi(name_.shortName);

    record->apiMajor = mine.major;
    record->apiMinor = mine.minor;
    record->apiPatch = mine.patch;
    record->callbacks = &callbacks_;
    record->pluginContext = this;
    record->shortName = name_.shortName.c_str();
    record->routeTable = routeTable_;
}

void PluginBase::DeclareApi(const std::string& shortName) {
    apiTags_ = {"Plugins", "Plugin " + shortName};
    routePrefix_ = ToApiName("", shortName);
    registry_.SetApiTags(apiTags_);
    RegisterRuntimeRecords(registry_);
    DeclareRuntimeEvents(registry_);
    RegisterApi();
    routeTable_ = registry_.BuildRouteTable();
}

void PluginBase::RegisterApi() {}

bool PluginBase::Start() { return true; }

void PluginBase::SwitchLogToHost() {
    if (FindLogTarget("PluginLogTarget") != nullptr) return;
    for (LogTargetInterface* console : {GetStdOutLogTarget(), GetStdErrLogTarget(), GetDebuggerLogTarget()}) {
        if (console != nullptr) console->Detach(console);
    }
    SetLogLevel(LogLevel::Okay);
    SetDisabledLogGroups(kLogGroupXtr);
    logTarget_ = std::make_unique<PluginLogTarget>(host_->core);
    LogTargetSettings settings;
    settings.level = GetLogLevel();
    settings.enabledGroups = 0;
    settings.disabledGroups = 0;
    settings.format = kPluginLogFormat;
    logTarget_->Configure(settings);
}

bool PluginBase::Initialize(const HostContext* host) {
    host_ = host;
    SwitchLogToHost();
    userAgent_ = Format("VornClient/%1 (%2)", hostVersion_, name_.shortName);
    telemetry_ = std::make_unique<TelemetrySender>(*this);
    clientHandle_ = host->clientHandle;
    shortName_ = name_.shortName;
    SubscribeServiceProxyEvents();
    return Start();
}

std::uint8_t QIV_CALL PluginBase::InitializeCallback(void* pluginContext, const HostContext* host) {
    if (pluginContext == nullptr || host == nullptr || host->core == nullptr) return 0;
    bool started = false;
    ContainAtBoundary("Initialize", [&] { started = static_cast<PluginBase*>(pluginContext)->Initialize(host); });
    return started ? 1 : 0;
}

void QIV_CALL PluginBase::ShutdownCallback(void* pluginContext) {
    if (pluginContext == nullptr) return;
    auto* plugin = static_cast<PluginBase*>(pluginContext);
    plugin->stopping_ = 1;
    ContainAtBoundary("Shutdown", [&] { plugin->UnsubscribeAll(); });
    delete plugin;
}

void QIV_CALL PluginBase::GetMemoryStatisticsCallback(void*, PluginMemoryStatistics* out) {
    if (out == nullptr) return;
    const MemoryCounters counters = counting_allocator::Snapshot();
    out->peakBytesInUse = counters.peakBytesInUse;
    out->liveAllocationsAtPeak = counters.liveAllocationsAtPeak;
    out->bytesAllocated = counters.bytesAllocated;
    out->allocationCount = counters.allocationCount;
    out->bytesFreed = counters.bytesFreed;
    out->freeCount = counters.freeCount;
    out->reserved = 0;
}

// The forwarders skip a slot the host left empty rather than calling through null, and
// reach nothing before Initialize attaches a host (the route table is the host's from the
// load on, so a call may come first).
const HostCore* PluginBase::Core() const noexcept { return host_ != nullptr ? host_->core : nullptr; }

void PluginBase::PerformRequest(HostResponse* response, const HostRequest* request) {
    const HostCore* core = Core();
    if (core != nullptr && core->PerformRequest != nullptr) {
        core->PerformRequest(core, response, request);
        return;
    }
    static const char kNoHost[] = "The plug-in is not attached to a host yet";
    static const char kNoRequests[] = "The host offers no requests";
    response->errorText = core == nullptr ? kNoHost : kNoRequests;
    response->status = core == nullptr ? 503 : 501;
}

void PluginBase::Reserved1(std::uint32_t first, std::uint32_t second) {
    const HostCore* core = Core();
    if (core != nullptr && core->Reserved1 != nullptr) core->Reserved1(core, first, second);
}

void PluginBase::DispatchEvent(const HostEvent* event) {
    const HostCore* core = Core();
    if (core != nullptr && core->DispatchEvent != nullptr) core->DispatchEvent(core, event);
}

void PluginBase::SubscribeEvent(const char* name, std::uint32_t clientHandle, HostEventCallback callback,
                                void* context, std::uint32_t flag) {
    const HostCore* core = Core();
    if (core != nullptr && core->SubscribeEvent != nullptr) {
        core->SubscribeEvent(core, name, clientHandle, callback, context, flag);
    }
}

void PluginBase::UnsubscribeEvent(const char* name, std::uint32_t clientHandle) {
    const HostCore* core = Core();
    if (core != nullptr && core->UnsubscribeEvent != nullptr) core->UnsubscribeEvent(core, name, clientHandle);
}

void PluginBase::ScheduleTimer(const char* name, HostTimerCallback callback, void* context, double delaySeconds,
                               std::uint32_t zero) {
    const HostCore* core = Core();
    if (core != nullptr && core->ScheduleTimer != nullptr) {
        core->ScheduleTimer(core, name, callback, context, delaySeconds, zero);
    }
}

void PluginBase::RunPending() {
    const HostCore* core = Core();
    if (core != nullptr && core->RunPending != nullptr) core->RunPending(core);
}

void PluginBase::BeginWait(const char* label, std::uint32_t zero) {
    const HostCore* core = Core();
    if (core != nullptr && core->BeginWait != nullptr) core->BeginWait(core, label, zero);
}

std::uint64_t PluginBase::EndWait() {
    const HostCore* core = Core();
    return core != nullptr && core->EndWait != nullptr ? core->EndWait(core) : 0;
}

}  // namespace vclient
