#include "core/dev_host.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "components/client_event_names.h"
#include "components/pre_end_of_game.h"
#include "components/vyre_connection.h"

namespace qivhost {
namespace {

// The flag a subscription must carry to receive a host-raised event of this name:
// service-proxy replies and Vyre messages go to flag 1, resource events to flag 0.
std::optional<std::uint32_t> RequiredFlag(const std::string& name) {
    if (name.rfind("OnServiceProxy", 0) == 0 || name.rfind("OnVyreEvent_", 0) == 0) return 1u;
    if (name.rfind(kResourceEventName, 0) == 0) return 0u;
    return std::nullopt;
}

std::string Describe(const ComponentAnswer& answer) {
    std::string text = " -> " + std::to_string(answer.status);
    if (answer.error) return text + " error \"" + *answer.error + "\"";
    if (answer.stream) return text + " streamed (" + std::to_string(answer.stream->chunks.size()) + " chunks)";
    return text + " " + HostValueToJson(answer.body.Get());
}

bool ParseJson(const std::string& json, OwnedHostValue& out, std::string* error) {
    HostValueFromJson parsed = HostValueFromJsonText(json);
    if (!parsed.ok) {
        if (error != nullptr) *error = parsed.error;
        return false;
    }
    out = std::move(parsed.value);
    return true;
}

}  // namespace

bool ParseHostVersion(const std::string& text, HostVersion& out) {
    unsigned long parts[3] = {0, 0, 0};
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
        char* end = nullptr;
        errno = 0;
        parts[i] = std::strtoul(text.c_str() + at, &end, 10);
        at = static_cast<std::size_t>(end - text.c_str());
        if (errno == ERANGE || parts[i] > UINT32_MAX) return false;
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

DevHost::~DevHost() { Shutdown(); }

bool DevHost::Load(const std::string& libraryPath, const HostVersion& version) {
    if (library_.IsOpen()) {
        error_ = "a plug-in is already loaded";
        return false;
    }
    if (!library_.Open(libraryPath, error_)) return false;
    auto load = reinterpret_cast<LoadPluginFunction>(library_.Find(QIV_PLUGIN_EXPORT_NAME));
    if (load == nullptr) {
        error_ = libraryPath + " does not export " QIV_PLUGIN_EXPORT_NAME;
        return false;
    }
    record_ = PluginLoadRecord{};
    record_.apiMajor = version.major;
    record_.apiMinor = version.minor;
    record_.apiPatch = version.patch;
    load(&record_);
    const PluginCallbacks* callbacks = record_.callbacks;
    loaded_ = callbacks != nullptr && callbacks->Initialize != nullptr && callbacks->Shutdown != nullptr &&
              callbacks->GetMemoryStatistics != nullptr;
    if (!loaded_) {
        error_ = "the plug-in did not fill the load record";
        return false;
    }
    routes_ = ReadRouteTable(record_.routeTable);
    return true;
}

bool DevHost::Initialize(std::uint32_t clientHandle) {
    if (!loaded_ || initialized_) return false;
    context_.core = &block_.core;
    context_.clientHandle = clientHandle;
    initialized_ = true;
    Record("-> Initialize", "handle " + std::to_string(clientHandle));
    const bool started = record_.callbacks->Initialize(record_.pluginContext, &context_) != 0;
    Record("<- Initialize", started ? "true" : "false");
    return started;
}

PluginMemoryStatistics DevHost::GetMemoryStatistics() const {
    PluginMemoryStatistics statistics{};
    if (loaded_) record_.callbacks->GetMemoryStatistics(record_.pluginContext, &statistics);
    return statistics;
}

void DevHost::Shutdown() {
    if (!loaded_) return;
    Record("-> Shutdown", "");
    record_.callbacks->Shutdown(record_.pluginContext);
    loaded_ = false;
    initialized_ = false;
    // Whatever still points into the plug-in object must not be called any more.
    for (const Subscription& left : bus_.All()) {
        Record("== Shutdown", "still subscribed: " + Quoted(left.name.c_str()) + ", handle " +
                                  std::to_string(left.clientHandle));
    }
    bus_.Clear();
    queue_.Clear();
    routes_.clear();
}

DevHost& DevHost::Owner(const HostCore* self) { return *reinterpret_cast<const CoreBlock*>(self)->owner; }

void DevHost::Record(std::string slot, std::string detail) { transcript_.Record(std::move(slot), std::move(detail)); }

// ---- events, turns, clock ----

void DevHost::Publish(std::string name, OwnedHostValue payload, double delaySeconds, std::uint64_t delayTurns) {
    Enqueue(std::move(name), std::move(payload), delaySeconds, delayTurns, true);
}

void DevHost::Enqueue(std::string name, OwnedHostValue payload, double delaySeconds, std::uint64_t delayTurns,
                      bool byFlag) {
    auto shared = std::make_shared<const OwnedHostValue>(std::move(payload));
    std::string label = "event " + name;
    queue_.Add(std::move(label), delaySeconds, delayTurns,
               [this, name = std::move(name), shared, byFlag] { Deliver(name, *shared, byFlag); });
}

bool DevHost::PublishJson(const std::string& name, const std::string& json, std::string* error) {
    OwnedHostValue payload;
    if (!ParseJson(json, payload, error)) return false;
    Publish(name, std::move(payload));
    return true;
}

void DevHost::Deliver(const std::string& name, const OwnedHostValue& payload, bool byFlag) {
    const std::optional<std::uint32_t> flag = byFlag ? RequiredFlag(name) : std::nullopt;
    for (const Subscription& subscriber : bus_.SubscribersOf(name)) {
        if (!bus_.IsLive(subscriber.id)) continue;  // unsubscribed by an earlier delivery
        if (flag && subscriber.flag != *flag) {
            Record("== Skipped", Quoted(name.c_str()) + " for handle " + std::to_string(subscriber.clientHandle) +
                                     ": subscribed with flag " + std::to_string(subscriber.flag) + ", not " +
                                     std::to_string(*flag));
            continue;
        }
        HostEvent event{};
        event.name = name.c_str();
        event.payload = payload.Get();
        event.context = subscriber.context;
        Record("-> Event", Quoted(name.c_str()) + " to handle " + std::to_string(subscriber.clientHandle) + ": " +
                               HostValueToJson(payload.Get()));
        subscriber.callback(&event);
    }
}

std::size_t DevHost::Pump() { return queue_.Turn(false); }

std::size_t DevHost::RunUntilIdle(std::size_t maxTurns) {
    std::size_t ran = 0;
    for (std::size_t turn = 0; turn < maxTurns && queue_.HasDue(true); ++turn) ran += queue_.Turn(false);
    return ran;
}

std::size_t DevHost::AdvanceClock(double seconds) {
    queue_.AdvanceClock(seconds);
    return RunUntilIdle();
}

std::vector<DispatchedEvent> DevHost::DispatchedNamed(const std::string& name) const {
    std::vector<DispatchedEvent> found;
    for (const DispatchedEvent& event : dispatched_) {
        if (event.name == name) found.push_back(event);
    }
    return found;
}

void DevHost::GuardIdleWait() {
    const bool canProgress = queue_.CanProgress();
    if (waits_.Depth() == 0 || canProgress) {
        idleWaitTurns_ = 0;
        return;
    }
    if (++idleWaitTurns_ <= maxIdleWaitTurns) return;
    std::fprintf(stderr, "qiv-host: the plug-in waits, but nothing it could wait for is pending (%" PRIu64
                         " turns); giving up\n", idleWaitTurns_);
    std::abort();
}

// ---- the client's components ----

bool DevHost::SetResource(const std::string& uri, const std::string& json, std::string* error) {
    OwnedHostValue value;
    if (!ParseJson(json, value, error)) return false;
    SetResourceValue(uri, value);
    return true;
}

void DevHost::SetResourceValue(const std::string& uri, const OwnedHostValue& value) {
    const bool created = components_.resources.Set(uri, value);
    Record("== Resource", std::string(created ? "Create " : "Update ") + uri + ": " + HostValueToJson(value.Get()));
    PublishResourceChange(*this, uri, created ? ResourceEventType::Create : ResourceEventType::Update, value);
}

bool DevHost::DeleteResource(const std::string& uri) {
    if (!components_.resources.Remove(uri)) return false;
    Record("== Resource", "Delete " + uri);
    PublishResourceChange(*this, uri, ResourceEventType::Delete, OwnedHostValue());
    return true;
}

bool DevHost::SetMessagingMessage(const std::string& uri, const std::string& recordJson, std::string* error,
                                  const VmsEnvelope& envelope) {
    OwnedHostValue record;
    if (!ParseJson(recordJson, record, error)) return false;
    SetResourceValue(uri, VmsMessage(uri, HostValueToJson(record.Get()), envelope));
    return true;
}

void DevHost::SetCurrentSequenceEvent(const std::string& name, std::int32_t priority) {
    HostValue number{};
    number.kind = QIV_HOST_VALUE_SIGNED;
    number.signedValue = priority;
    SetResourceValue(kCurrentSequenceEventUri,
                     StructureBuilder().AddText("name", name).Add("priority", OwnedHostValue::CopyOf(number)).Build());
}

bool DevHost::PushVyreMessage(const std::string& typeName, const std::string& bodyJson, std::string* error,
                              const std::string& clientId, const std::string& subtopic) {
    OwnedHostValue body;
    if (!ParseJson(bodyJson, body, error)) return false;
    Record("== Vyre", typeName + ": " + HostValueToJson(body.Get()));
    VyreConnection::Push(*this, clientId, subtopic, typeName, body);
    return true;
}

// ---- REST ----

RestAnswer DevHost::Call(const RestCall& call) {
    if (!initialized_) {
        RestAnswer answer;
        answer.status = 503;
        answer.errorText = "The plug-in is not initialized";
        return answer;
    }
    return CallRoute(routes_, call, transcript_);
}

RestAnswer DevHost::Call(const std::string& method, const std::string& url, std::optional<std::string> body,
                         const std::string& contentType) {
    RestCall call;
    call.method = method;
    call.url = url;
    call.body = std::move(body);
    call.contentType = contentType;
    return Call(call);
}

// ---- host-core slots ----

void QIV_CALL DevHost::PerformRequestSlot(const HostCore* self, HostResponse* response, const HostRequest* request) {
    DevHost& host = Owner(self);
    if (request == nullptr || response == nullptr) {
        host.Record("PerformRequest", "(null request or response)");
        return;
    }
    const OutgoingRequest outgoing = OutgoingRequest::From(*request);
    ComponentAnswer answer = host.components_.Answer(outgoing, host);
    host.Record("PerformRequest", outgoing.Describe() + Describe(answer));
    *response = HostResponse{};
    host.ledger_.Fill(*response, std::move(answer));
}

void QIV_CALL DevHost::Reserved1Slot(const HostCore* self, std::uint32_t first, std::uint32_t second) {
    Owner(self).Record("Reserved1", std::to_string(first) + ", " + std::to_string(second));
}

void QIV_CALL DevHost::DispatchEventSlot(const HostCore* self, const HostEvent* event) {
    DevHost& host = Owner(self);
    if (event == nullptr || event->name == nullptr) {
        host.Record("DispatchEvent", "(null event or name)");
        return;
    }
    const std::string name = event->name;
    OwnedHostValue payload = OwnedHostValue::CopyOf(event->payload);
    const std::string json = HostValueToJson(payload.Get());
    host.Record("DispatchEvent", Quoted(name.c_str()) + " " + json);
    host.dispatched_.push_back(DispatchedEvent{name, json});
    host.Enqueue(name, std::move(payload), 0, 0, false);
}

void QIV_CALL DevHost::SubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle,
                                          HostEventCallback callback, void* context, std::uint32_t flag) {
    DevHost& host = Owner(self);
    host.Record("SubscribeEvent",
                Quoted(name) + ", handle " + std::to_string(clientHandle) + ", flag " + std::to_string(flag));
    if (name == nullptr || callback == nullptr) return;
    (void)host.bus_.Subscribe(name, clientHandle, callback, context, flag);
}

void QIV_CALL DevHost::UnsubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle) {
    DevHost& host = Owner(self);
    const bool removed = name != nullptr && host.bus_.Unsubscribe(name, clientHandle);
    host.Record("UnsubscribeEvent",
                Quoted(name) + ", handle " + std::to_string(clientHandle) + (removed ? "" : " (was not subscribed)"));
}

void QIV_CALL DevHost::ScheduleTimerSlot(const HostCore* self, const char* name, HostTimerCallback callback,
                                         void* context, double delaySeconds, std::uint32_t) {
    DevHost& host = Owner(self);
    std::ostringstream detail;
    detail << Quoted(name) << ", delay " << delaySeconds << " s";
    host.Record("ScheduleTimer", detail.str());
    if (callback == nullptr) return;
    const std::string label = name == nullptr ? std::string() : std::string(name);
    host.scheduledTimers_.push_back(ScheduledTimer{label, callback, context, delaySeconds});
    host.queue_.Add("timer " + label, delaySeconds, 0, [&host, label, callback, context] {
        host.Record("-> Timer", Quoted(label.c_str()));
        callback(context);
    });
}

void QIV_CALL DevHost::RunPendingSlot(const HostCore* self) {
    DevHost& host = Owner(self);
    host.Record("RunPending", "");
    host.waits_.CountTurn();
    host.GuardIdleWait();
    (void)host.queue_.Turn(true);
}

void QIV_CALL DevHost::BeginWaitSlot(const HostCore* self, const char* label, std::uint32_t) {
    DevHost& host = Owner(self);
    host.Record("BeginWait", Quoted(label));
    host.idleWaitTurns_ = 0;
    host.waits_.Begin(label == nullptr ? std::string() : std::string(label));
}

std::uint64_t QIV_CALL DevHost::EndWaitSlot(const HostCore* self) {
    DevHost& host = Owner(self);
    const std::uint64_t turns = host.waits_.End();
    host.idleWaitTurns_ = 0;
    host.Record("EndWait", std::to_string(turns) + " turns");
    return turns;
}

void QIV_CALL DevHost::WriteLogSlot(const HostCore* self, std::int32_t level, const char* message) {
    DevHost& host = Owner(self);
    const std::string text = message != nullptr ? message : "";
    host.Record("WriteLog", "level " + std::to_string(level) + ": " + text);
    if (host.onLog) host.onLog(level, text);
}

}  // namespace qivhost
