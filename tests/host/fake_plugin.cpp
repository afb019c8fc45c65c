// A test plug-in that knows only the ABI. It drives the development host end to end:
// one route, "/fake/{command}" (any method), runs the command named in the path with
// the query's arguments and answers with a structure; a second route, GET
// "/fake-get-only", answers "Invalid function" to every other method, as a real router
// does. Commands:
//   subscribe?name=N&flag=F     unsubscribe?name=N        dispatch?name=N&text=T
//   get?url=U                   timer?name=N&delay=SECONDS
//   proxy?service=S&method=M&payload=P     (uuid request, then waits for the reply)
//   log?level=L&text=T          events (everything received so far)   stream (a streamed answer)
// Everything it builds for a host call it frees right after the call, so a host that
// keeps a pointer into it fails under AddressSanitizer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "qiv/plugin_abi.h"

namespace {

// ---- values ----

char* Dup(const std::string& text) {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

HostValue Text(const std::string& text) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_OWNED_STRING;
    value.string.text = Dup(text);
    value.string.length = static_cast<std::uint32_t>(text.size());
    return value;
}

HostValue Signed(std::int64_t number) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_SIGNED;
    value.signedValue = number;
    return value;
}

HostValue Unsigned(std::uint64_t number) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_UNSIGNED;
    value.unsignedValue = number;
    return value;
}

HostValue Structure(const std::vector<std::pair<std::string, HostValue>>& members) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_STRUCTURE;
    value.structure.count = static_cast<std::uint32_t>(members.size());
    value.structure.entries = static_cast<HostStructureEntry*>(std::calloc(members.size() + 1, sizeof(HostStructureEntry)));
    for (std::size_t i = 0; i < members.size(); ++i) {
        value.structure.entries[i].name = Dup(members[i].first);
        value.structure.entries[i].nameOwned = 1;
        value.structure.entries[i].value = members[i].second;
    }
    return value;
}

HostValue Collection(const std::vector<HostValue>& elements) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_COLLECTION;
    value.collection.count = static_cast<std::uint32_t>(elements.size());
    value.collection.elements = static_cast<HostValue*>(std::calloc(elements.size() + 1, sizeof(HostValue)));
    for (std::size_t i = 0; i < elements.size(); ++i) value.collection.elements[i] = elements[i];
    return value;
}

void Clear(HostValue& value) {
    switch (value.kind) {
        case QIV_HOST_VALUE_OWNED_STRING: std::free(const_cast<char*>(value.string.text)); break;
        case QIV_HOST_VALUE_OWNED_BLOB: std::free(const_cast<std::uint8_t*>(value.blob.bytes)); break;
        case QIV_HOST_VALUE_COLLECTION:
            for (std::uint32_t i = 0; i < value.collection.count; ++i) Clear(value.collection.elements[i]);
            std::free(value.collection.elements);
            break;
        case QIV_HOST_VALUE_STRUCTURE:
            for (std::uint32_t i = 0; i < value.structure.count; ++i) {
                if (value.structure.entries[i].nameOwned != 0) std::free(const_cast<char*>(value.structure.entries[i].name));
                Clear(value.structure.entries[i].value);
            }
            std::free(value.structure.entries);
            break;
        default: break;
    }
    value = HostValue{};
}

// A deep copy into this plug-in's own memory: what the host hands over stays the host's.
HostValue Copy(const HostValue& source) {
    switch (source.kind) {
        case QIV_HOST_VALUE_STRING:
        case QIV_HOST_VALUE_OWNED_STRING: return Text(source.string.text == nullptr ? "" : source.string.text);
        case QIV_HOST_VALUE_COLLECTION: {
            std::vector<HostValue> elements;
            for (std::uint32_t i = 0; i < source.collection.count; ++i) elements.push_back(Copy(source.collection.elements[i]));
            return Collection(elements);
        }
        case QIV_HOST_VALUE_STRUCTURE: {
            std::vector<std::pair<std::string, HostValue>> members;
            for (std::uint32_t i = 0; i < source.structure.count; ++i) {
                const char* name = source.structure.entries[i].name;
                members.emplace_back(name == nullptr ? "" : name, Copy(source.structure.entries[i].value));
            }
            return Structure(members);
        }
        case QIV_HOST_VALUE_BLOB:
        case QIV_HOST_VALUE_OWNED_BLOB: return HostValue{};
        default: return source;
    }
}

std::string FieldText(const HostValue& value, const char* field) {
    if (value.kind != QIV_HOST_VALUE_STRUCTURE) return "";
    for (std::uint32_t i = 0; i < value.structure.count; ++i) {
        const HostStructureEntry& entry = value.structure.entries[i];
        if (std::strcmp(entry.name, field) != 0) continue;
        const std::uint32_t kind = entry.value.kind;
        if (kind == QIV_HOST_VALUE_STRING || kind == QIV_HOST_VALUE_OWNED_STRING) return entry.value.string.text;
    }
    return "";
}

// ---- the plug-in ----

struct Received {
    std::string name;
    HostValue payload;
    bool contextMatched;
};

struct FakePlugin {
    HostContext host{};
    std::vector<std::string> subscribed;
    std::vector<Received> events;
    std::vector<std::string> timers;
};

FakePlugin* g_plugin = nullptr;
const HostCore* Core() { return g_plugin->host.core; }

void QIV_CALL OnEvent(const HostEvent* event) {
    g_plugin->events.push_back(Received{event->name, Copy(event->payload), event->context == g_plugin});
}

void QIV_CALL OnTimer(void* context) { g_plugin->timers.push_back(static_cast<const char*>(context)); }

void Subscribe(const std::string& name, std::uint32_t flag) {
    Core()->SubscribeEvent(Core(), name.c_str(), g_plugin->host.clientHandle, &OnEvent, g_plugin, flag);
    g_plugin->subscribed.push_back(name);
}

using Query = std::map<std::string, std::string>;

Query ParseQuery(const std::string& url) {
    Query query;
    const std::size_t mark = url.find('?');
    if (mark == std::string::npos) return query;
    std::size_t at = mark + 1;
    while (at <= url.size()) {
        const std::size_t amp = std::min(url.find('&', at), url.size());
        const std::string piece = url.substr(at, amp - at);
        const std::size_t eq = piece.find('=');
        query[piece.substr(0, eq)] = eq == std::string::npos ? "" : piece.substr(eq + 1);
        at = amp + 1;
    }
    return query;
}

struct Outcome {
    std::int32_t status = 0;
    std::string error;
    HostValue body{};
};

// Reads a streamed body the way the runtime does: 4096-byte reads, a yield after a short one.
bool ReadStream(const HostResponse& response, std::string& text) {
    std::uint8_t more = 1;
    bool ok = true;
    while (more != 0) {
        char buffer[4096];
        std::uint32_t length = sizeof buffer;
        if (response.readChunk(response.streamContext, buffer, &length, &more) == 0) {
            ok = false;
            break;
        }
        text.append(buffer, length);
        if (length < sizeof buffer && more != 0) {
            Core()->BeginWait(Core(), "Wait: yield", 0);
            Core()->RunPending(Core());
            (void)Core()->EndWait(Core());
        }
    }
    if (response.closeStream != nullptr) response.closeStream(response.streamContext);
    return ok;
}

Outcome Perform(std::uint32_t method, const std::string& url, std::vector<HostValue> parameters) {
    std::vector<HostRequestParameter> array(parameters.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) array[i].value = parameters[i];
    HostRequest request{};
    request.method = method;
    request.url = url.c_str();
    request.parameters = array.empty() ? nullptr : array.data();
    request.parameterCount = static_cast<std::uint32_t>(array.size());
    request.clientHandle = g_plugin->host.clientHandle;
    HostResponse response{};
    Core()->PerformRequest(Core(), &response, &request);
    for (HostValue& value : parameters) Clear(value);
    Outcome outcome;
    outcome.status = response.status;
    if (response.errorText != nullptr) outcome.error = response.errorText;
    std::string streamed;
    if (response.readChunk != nullptr) {
        outcome.body = ReadStream(response, streamed) ? Text(streamed) : Text("<stream read failed>");
    } else {
        outcome.body = Copy(response.body);
    }
    if (response.release != nullptr) response.release(&response);
    return outcome;
}

HostValue OutcomeValue(Outcome outcome) {
    return Structure({{"status", Signed(outcome.status)}, {"error", Text(outcome.error)}, {"body", outcome.body}});
}

// Sends a uuid request and waits, turn by turn, for the reply event with that uuid.
HostValue Proxy(const Query& q) {
    Outcome started = Perform(QIV_HTTP_POST, "/qiv-login/v1/service-proxy-uuid-requests",
                              {Text(q.at("service")), Text(q.at("method")), Unsigned(g_plugin->host.clientHandle),
                               Text(q.count("payload") ? q.at("payload") : "{}")});
    std::string uuid = started.body.kind == QIV_HOST_VALUE_OWNED_STRING ? started.body.string.text : "";
    Clear(started.body);
    if (!started.error.empty()) return Structure({{"error", Text(started.error)}});
    Core()->BeginWait(Core(), "Wait: future<proxy>", 0);
    std::size_t seen = 0;
    for (;;) {
        for (; seen < g_plugin->events.size(); ++seen) {
            const Received& event = g_plugin->events[seen];
            if (event.name != "OnServiceProxyUuidEvent" || FieldText(event.payload, "uuid") != uuid) continue;
            const std::uint64_t turns = Core()->EndWait(Core());
            return Structure({{"uuid", Text(uuid)}, {"reply", Copy(event.payload)}, {"turns", Unsigned(turns)}});
        }
        Core()->RunPending(Core());
    }
}

HostValue Events() {
    std::vector<HostValue> list;
    for (const Received& event : g_plugin->events) {
        list.push_back(Structure({{"name", Text(event.name)},
                                  {"payload", Copy(event.payload)},
                                  {"contextMatched", Unsigned(event.contextMatched ? 1 : 0)}}));
    }
    std::vector<HostValue> timers;
    for (const std::string& name : g_plugin->timers) timers.push_back(Text(name));
    return Structure({{"events", Collection(list)}, {"timers", Collection(timers)}});
}

HostValue Dispatch(const Query& q) {
    // A borrowed text (kind 5) in the payload: the host must copy it, not keep the pointer.
    std::string borrowed = q.count("text") ? q.at("text") : "";
    HostValue text{};
    text.kind = QIV_HOST_VALUE_STRING;
    text.string.text = borrowed.c_str();
    text.string.length = static_cast<std::uint32_t>(borrowed.size());
    HostValue flag{};
    flag.kind = QIV_HOST_VALUE_BOOL;
    flag.boolean = 1;
    HostEvent event{};
    const std::string name = q.at("name");
    event.name = name.c_str();
    event.payload = Structure({{"text", text}, {"n", Signed(-5)}, {"list", Collection({flag, Unsigned(7)})}});
    Core()->DispatchEvent(Core(), &event);
    Clear(event.payload);
    return Structure({});
}

HostValue Run(const std::string& command, const Query& q) {
    if (command == "subscribe") Subscribe(q.at("name"), q.count("flag") ? static_cast<std::uint32_t>(std::atoi(q.at("flag").c_str())) : 0u);
    else if (command == "unsubscribe") Core()->UnsubscribeEvent(Core(), q.at("name").c_str(), g_plugin->host.clientHandle);
    else if (command == "dispatch") return Dispatch(q);
    else if (command == "get") return OutcomeValue(Perform(QIV_HTTP_GET, q.at("url"), {}));
    else if (command == "proxy") return Proxy(q);
    else if (command == "timer") {
        static std::deque<std::string> names;  // labels live as long as the library (stable addresses)
        names.push_back(q.at("name"));
        Core()->ScheduleTimer(Core(), names.back().c_str(), &OnTimer, const_cast<char*>(names.back().c_str()),
                              std::atof(q.at("delay").c_str()), 0);
    } else if (command == "log") {
        Core()->WriteLog(Core(), std::atoi(q.at("level").c_str()), q.at("text").c_str());
    } else if (command == "events") {
        return Events();
    }
    return Structure({});
}

// ---- responses and streams it hands to the host ----

struct FakeStream {
    std::vector<std::string> chunks{"ab", "cd", "e"};
    std::size_t next = 0;
};

std::uint8_t QIV_CALL FakeRead(void* context, char* buffer, std::uint32_t* length, std::uint8_t* more) {
    auto* stream = static_cast<FakeStream*>(context);
    const std::string& chunk = stream->chunks[stream->next++];
    std::memcpy(buffer, chunk.data(), chunk.size());
    *length = static_cast<std::uint32_t>(chunk.size());
    *more = stream->next < stream->chunks.size() ? 1 : 0;
    return 1;
}

void QIV_CALL FakeClose(void*) {}

void QIV_CALL FakeRelease(HostResponse* response) {
    HostValue body = response->body;
    Clear(body);
    std::free(const_cast<char*>(response->errorText));
    std::free(const_cast<char*>(response->resultText));
    delete static_cast<FakeStream*>(response->streamContext);
}

bool IsOnlyGet(const HostRequest* request);

void QIV_CALL HandleCall(HostResponse* response, const HostRequest* request) {
    response->release = &FakeRelease;
    response->resultText = Dup("");
    const std::string url = request->url == nullptr ? "" : request->url;
    if (IsOnlyGet(request) && request->method != QIV_HTTP_GET) {
        response->errorText = Dup("Invalid function");
        response->errorFlag = 1;
        response->status = 404;
        return;
    }
    if (IsOnlyGet(request)) {
        response->status = 200;
        response->body = Text("only get");
        return;
    }
    const std::size_t start = std::strlen("/fake/");
    const std::string command = url.substr(start, url.find('?') - start);
    if (command == "stream") {
        response->status = 200;
        response->readChunk = &FakeRead;
        response->closeStream = &FakeClose;
        response->streamContext = new FakeStream();
        return;
    }
    if (command == "echo") {
        std::vector<std::pair<std::string, HostValue>> headers;
        for (std::uint32_t i = 0; i < request->headerCount; ++i) headers.emplace_back(request->headers[i].name, Text(request->headers[i].value));
        std::vector<HostValue> parameters;
        for (std::uint32_t i = 0; i < request->parameterCount; ++i) parameters.push_back(Copy(request->parameters[i].value));
        response->body = Structure({{"method", Unsigned(request->method)},
                                    {"methodWord", Text(request->methodWord == nullptr ? "" : request->methodWord)},
                                    {"contentType", Text(request->contentType == nullptr ? "" : request->contentType)},
                                    {"body", Text(std::string(request->body == nullptr ? "" : request->body, request->bodyLength))},
                                    {"bodyLength", Unsigned(request->bodyLength)},
                                    {"clientHandle", Unsigned(request->clientHandle)},
                                    {"headers", Structure(headers)},
                                    {"parameters", Collection(parameters)}});
        response->status = 200;
        return;
    }
    response->body = Run(command, ParseQuery(url));
    response->status = 200;
}

// ---- route table ----

ApiArgumentDescription g_commandArgument{};
RouteArgumentLocation g_commandLocation{0, QIV_ARGUMENT_LOCATION_PATH};
RouteFunctionEntry g_entries[2]{};
RouteTableDescriptor g_table{};
int g_contexts[2] = {0, 1};

bool IsOnlyGet(const HostRequest* request) { return request->dispatchContext == &g_contexts[1]; }

void FillEntry(RouteFunctionEntry& entry, const char* name, const char* path, std::uint32_t method, void* context) {
    entry.function.name = name;
    entry.function.dispatchContext = context;
    entry.HandleCall = &HandleCall;
    entry.pathTemplate = path;
    entry.method = method;
}

void BuildTable() {
    g_commandArgument.name = "command";
    FillEntry(g_entries[0], "FakeByCommand", "/fake/{command}", QIV_HTTP_NONE, &g_contexts[0]);
    g_entries[0].function.arguments = &g_commandArgument;
    g_entries[0].function.argumentCount = 1;
    g_entries[0].argumentLocations = &g_commandLocation;
    FillEntry(g_entries[1], "GetFakeGetOnly", "/fake-get-only", QIV_HTTP_GET, &g_contexts[1]);
    g_table.functions = g_entries;
    g_table.functionCount = 2;
}

// ---- callbacks ----

std::uint8_t QIV_CALL Initialize(void* context, const HostContext* host) {
    auto* plugin = static_cast<FakePlugin*>(context);
    plugin->host = *host;
    Subscribe("OnServiceProxyUuidEvent", 1);
    Core()->WriteLog(Core(), 3, "fake plug-in started");
    return 1;
}

void QIV_CALL Shutdown(void* context) {
    auto* plugin = static_cast<FakePlugin*>(context);
    if (plugin->host.core != nullptr) {
        for (const std::string& name : plugin->subscribed) Core()->UnsubscribeEvent(Core(), name.c_str(), plugin->host.clientHandle);
    }
    for (Received& event : plugin->events) Clear(event.payload);
    delete plugin;
    g_plugin = nullptr;
}

void QIV_CALL GetMemoryStatistics(void*, PluginMemoryStatistics* out) { *out = PluginMemoryStatistics{}; }

const PluginCallbacks kCallbacks = {&Initialize, &Shutdown, &GetMemoryStatistics};

}  // namespace

extern "C" QIV_EXPORT void QIV_CALL load_qiv_honor_v2(PluginLoadRecord* record) {
    g_plugin = new FakePlugin();
    BuildTable();
    record->apiMajor = QIV_PLUGIN_API_VERSION_MAJOR;
    record->apiMinor = QIV_PLUGIN_API_VERSION_MINOR;
    record->apiPatch = QIV_PLUGIN_API_VERSION_PATCH;
    record->callbacks = &kCallbacks;
    record->pluginContext = g_plugin;
    record->shortName = "fake";
    record->routeTable = &g_table;
}
