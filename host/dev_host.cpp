#include "dev_host.h"

#include <dlfcn.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace qivhost {
namespace {

std::string Text(const char* text) { return text == nullptr ? "(null)" : "\"" + std::string(text) + "\""; }

}  // namespace

bool ParseHostVersion(const std::string& text, HostVersion& out) {
    unsigned long parts[3] = {0, 0, 0};
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
        char* end = nullptr;
        parts[i] = std::strtoul(text.c_str() + at, &end, 10);
        at = static_cast<std::size_t>(end - text.c_str());
        if (parts[i] > UINT32_MAX) return false;
        if (i < 2) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
    }
    if (at != text.size()) return false;
    out = HostVersion{static_cast<std::uint32_t>(parts[0]), static_cast<std::uint32_t>(parts[1]),
                      static_cast<std::uint32_t>(parts[2])};
    return true;
}

std::string ToString(const HostVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.patch);
}

DevHost::DevHost() {
    block_.owner = this;
    block_.core.PerformRequest = &PerformRequestSlot;
    block_.core.Reserved1 = &Reserved1Slot;
    block_.core.DispatchEvent = &DispatchEventSlot;
    block_.core.SubscribeEvent = &SubscribeEventSlot;
    block_.core.UnsubscribeEvent = &UnsubscribeEventSlot;
    block_.core.ScheduleTimer = &ScheduleTimerSlot;
    block_.core.RunPending = &RunPendingSlot;
    block_.core.BeginWait = &BeginWaitSlot;
    block_.core.EndWait = &EndWaitSlot;
    block_.core.WriteLog = &WriteLogSlot;
}

DevHost::~DevHost() {
    Shutdown();
    if (library_ != nullptr) dlclose(library_);
}

bool DevHost::Load(const std::string& libraryPath, const HostVersion& version) {
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* why = dlerror();
        error_ = "cannot load " + libraryPath + ": " + (why != nullptr ? why : "unknown error");
        return false;
    }
    auto load = reinterpret_cast<LoadPluginFunction>(dlsym(library_, QIV_PLUGIN_EXPORT_NAME));
    if (load == nullptr) {
        error_ = libraryPath + " does not export " QIV_PLUGIN_EXPORT_NAME;
        return false;
    }
    record_ = PluginLoadRecord{};
    record_.apiMajor = version.major;
    record_.apiMinor = version.minor;
    record_.apiPatch = version.patch;
    load(&record_);
    loaded_ = record_.callbacks != nullptr;
    if (!loaded_) error_ = "the plug-in did not fill the load record";
    return loaded_;
}

bool DevHost::Initialize(std::uint32_t clientHandle) {
    if (!loaded_ || initialized_) return false;
    context_.core = &block_.core;
    context_.clientHandle = clientHandle;
    initialized_ = true;
    return record_.callbacks->Initialize(record_.pluginContext, &context_) != 0;
}

PluginMemoryStatistics DevHost::GetMemoryStatistics() const {
    PluginMemoryStatistics statistics{};
    if (loaded_) record_.callbacks->GetMemoryStatistics(record_.pluginContext, &statistics);
    return statistics;
}

void DevHost::Shutdown() {
    if (!loaded_) return;
    record_.callbacks->Shutdown(record_.pluginContext);
    loaded_ = false;
    initialized_ = false;
}

DevHost& DevHost::Owner(const HostCore* self) {
    return *reinterpret_cast<const CoreBlock*>(self)->owner;
}

void DevHost::Record(std::string slot, std::string detail) { calls_.push_back({std::move(slot), std::move(detail)}); }

void QIV_CALL DevHost::PerformRequestSlot(const HostCore* self, HostResponse* response, const HostRequest* request) {
    DevHost& host = Owner(self);
    host.Record("PerformRequest", request != nullptr ? Text(request->url) : "(null)");
    if (response == nullptr) return;
    static const char kNoResource[] = "No such resource";
    response->errorText = kNoResource;
    response->status = 404;
}

void QIV_CALL DevHost::Reserved1Slot(const HostCore* self, std::uint32_t first, std::uint32_t second) {
    Owner(self).Record("Reserved1", std::to_string(first) + ", " + std::to_string(second));
}

void QIV_CALL DevHost::DispatchEventSlot(const HostCore* self, const HostEvent* event) {
    Owner(self).Record("DispatchEvent", event != nullptr ? Text(event->name) : "(null)");
}

void QIV_CALL DevHost::SubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle,
                                          HostEventCallback, void*, std::uint32_t flag) {
    Owner(self).Record("SubscribeEvent",
                       Text(name) + ", handle " + std::to_string(clientHandle) + ", flag " + std::to_string(flag));
}

void QIV_CALL DevHost::UnsubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle) {
    Owner(self).Record("UnsubscribeEvent", Text(name) + ", handle " + std::to_string(clientHandle));
}

void QIV_CALL DevHost::ScheduleTimerSlot(const HostCore* self, const char* name, HostTimerCallback, void*,
                                         double delaySeconds, std::uint32_t) {
    std::ostringstream detail;
    detail << Text(name) << ", delay " << delaySeconds << " s";
    Owner(self).Record("ScheduleTimer", detail.str());
}

void QIV_CALL DevHost::RunPendingSlot(const HostCore* self) { Owner(self).Record("RunPending", ""); }

void QIV_CALL DevHost::BeginWaitSlot(const HostCore* self, const char* label, std::uint32_t) {
    Owner(self).Record("BeginWait", Text(label));
}

std::uint64_t QIV_CALL DevHost::EndWaitSlot(const HostCore* self) {
    Owner(self).Record("EndWait", "");
    return 0;
}

void QIV_CALL DevHost::WriteLogSlot(const HostCore* self, std::int32_t level, const char* message) {
    DevHost& host = Owner(self);
    const std::string text = message != nullptr ? message : "";
    host.Record("WriteLog", "level " + std::to_string(level) + ": " + text);
    if (host.onLog) host.onLog(level, text);
}

}  // namespace qivhost
