// A test plug-in that knows only the ABI. It drives the development host end to end:
// one route, "/fake/{command}" (any method), runs the command named in the path with
// the query's arguments and answers with a structure; a second route, GET
// "/fake-get-only", answers "Invalid function" to every other method, as a real router
// does. Commands:
//   subscribe?name=N&flag=F     unsubscribe?name=N        dispatch?name=N&text=T
//   get?url=U                   timer?name=N&delay=SECONDS
//   proxy?service=S&method=M&payload=P     (a uuid request, then a wait for the next reply)
//   log?level=L&text=T          events (every event received and timer fired so far)
//   stream (a streamed answer)  echo (the incoming request as the plug-in saw it)
// Everything it builds for a host call lives in an arena freed right after the call (a
// response's arena when the host releases it), so a host that keeps a pointer into it
// fails under AddressSanitizer.
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

// Owns the texts and arrays of the values built in it. Every array gets one spare entry, so
// that an empty one still has an address.
struct Arena {
    std::deque<std::string> texts;
    std::deque<std::vector<HostValue>> elements;
    std::deque<std::vector<HostStructureEntry>> entries;

    HostValue Text(std::string text) {
        HostValue value{};
        value.kind = QIV_HOST_VALUE_OWNED_STRING;
        value.string.text = texts.emplace_back(std::move(text)).c_str();
        value.string.length = static_cast<std::uint32_t>(texts.back().size());
        return value;
    }

    HostValue Structure(const std::vector<std::pair<std::string, HostValue>>& members) {
        std::vector<HostStructureEntry>& list = entries.emplace_back(members.size() + 1, HostStructureEntry{});
        for (std::size_t i = 0; i < members.size(); ++i) {
            list[i].name = Text(members[i].first).string.text;
            list[i].nameOwned = 1;
            list[i].value = members[i].second;
        }
        HostValue value{};
        value.kind = QIV_HOST_VALUE_STRUCTURE;
        value.structure.count = static_cast<std::uint32_t>(members.size());
        value.structure.entries = list.data();
        return value;
    }

    HostValue Collection(const std::vector<HostValue>& list) {
        HostValue value{};
        value.kind = QIV_HOST_VALUE_COLLECTION;
        value.collection.count = static_cast<std::uint32_t>(list.size());
        std::vector<HostValue>& stored = elements.emplace_back(list);
        stored.emplace_back();
        value.collection.elements = stored.data();
        return value;
    }

    // A deep copy: what the host hands over stays the host's.
    HostValue Copy(const HostValue& source) {
        switch (source.kind) {
            case QIV_HOST_VALUE_STRING:
            case QIV_HOST_VALUE_OWNED_STRING: return Text(source.string.text == nullptr ? "" : source.string.text);
            case QIV_HOST_VALUE_COLLECTION: {
                std::vector<HostValue> list;
                for (std::uint32_t i = 0; i < source.collection.count; ++i) list.push_back(Copy(source.collection.elements[i]));
                return Collection(list);
            }
            case QIV_HOST_VALUE_STRUCTURE: {
                std::vector<std::pair<std::string, HostValue>> members;
                for (std::uint32_t i = 0; i < source.structure.count; ++i) {
                    const HostStructureEntry& entry = source.structure.entries[i];
                    members.emplace_back(entry.name == nullptr ? "" : entry.name, Copy(entry.value));
                }
                return Structure(members);
            }
            case QIV_HOST_VALUE_BLOB:
            case QIV_HOST_VALUE_OWNED_BLOB: return HostValue{};
            default: return source;
        }
    }
};

HostValue Number(std::uint32_t kind, std::int64_t number) {
    HostValue value{};
    value.kind = kind;
    if (kind == QIV_HOST_VALUE_SIGNED) value.signedValue = number;
    else value.unsignedValue = static_cast<std::uint64_t>(number);
    return value;
}

// ---- the plug-in ----

struct Received {
    std::string name;
    HostValue payload;
    bool contextMatched;
};

struct FakePlugin {
    HostContext host{};
    Arena kept;  // copies of what the plug-in received
    std::vector<Received> events;  // and the timers that fired, as "timer <name>"
    std::map<const HostResponse*, Arena> answers;  // until the host releases them
};

FakePlugin* g_plugin = nullptr;
const HostCore* Core() { return g_plugin->host.core; }

void QIV_CALL OnEvent(const HostEvent* event) {
    g_plugin->events.push_back(Received{event->name, g_plugin->kept.Copy(event->payload), event->context == g_plugin});
}

void QIV_CALL OnTimer(void* context) {
    g_plugin->events.push_back(Received{std::string("timer ") + static_cast<const char*>(context), HostValue{}, true});
}

void Subscribe(const std::string& name, std::uint32_t flag) {
    Core()->SubscribeEvent(Core(), name.c_str(), g_plugin->host.clientHandle, &OnEvent, g_plugin, flag);
}

using Query = std::map<std::string, std::string>;

Query ParseQuery(const std::string& url) {
    Query query;
    std::size_t at = url.find('?');
    while (at != std::string::npos) {
        const std::size_t end = url.find('&', at + 1);
        const std::string piece = url.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        const std::size_t eq = piece.find('=');
        query[piece.substr(0, eq)] = eq == std::string::npos ? "" : piece.substr(eq + 1);
        at = end;
    }
    return query;
}

std::string Arg(const Query& q, const char* name) { return q.count(name) != 0 ? q.at(name) : ""; }

// Reads a streamed body in 4096-byte reads, as the runtime does.
std::string ReadStream(const HostResponse& response) {
    std::string text;
    std::uint8_t more = 1;
    bool ok = true;
    while (ok && more != 0) {
        char buffer[4096];
        std::uint32_t length = sizeof buffer;
        ok = response.readChunk(response.streamContext, buffer, &length, &more) != 0;
        if (ok) text.append(buffer, length);
    }
    if (response.closeStream != nullptr) response.closeStream(response.streamContext);
    return ok ? text : "<stream read failed>";
}

// Performs a request with positional parameters; answers {status, error, body}.
HostValue Perform(Arena& out, std::uint32_t method, const std::string& url, const std::vector<HostValue>& parameters) {
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
    const HostValue body = response.readChunk != nullptr ? out.Text(ReadStream(response)) : out.Copy(response.body);
    HostValue outcome = out.Structure({{"status", Number(QIV_HOST_VALUE_SIGNED, response.status)},
                                       {"error", out.Text(response.errorText == nullptr ? "" : response.errorText)},
                                       {"body", body}});
    if (response.release != nullptr) response.release(&response);
    return outcome;
}

// Sends a uuid request and waits, turn by turn, for the next reply event.
HostValue Proxy(Arena& out, const Query& q) {
    HostValue started{};
    {
        Arena parameters;  // gone before the reply comes
        started = Perform(out, QIV_HTTP_POST, "/qiv-login/v1/service-proxy-uuid-requests",
                          {parameters.Text(Arg(q, "service")), parameters.Text(Arg(q, "method")),
                           Number(QIV_HOST_VALUE_UNSIGNED, g_plugin->host.clientHandle),
                           parameters.Text(q.count("payload") != 0 ? q.at("payload") : "{}")});
    }
    if (started.structure.entries[0].value.signedValue != 200) return started;
    Core()->BeginWait(Core(), "Wait: future<proxy>", 0);
    for (std::size_t seen = g_plugin->events.size();; Core()->RunPending(Core())) {
        for (; seen < g_plugin->events.size(); ++seen) {
            if (g_plugin->events[seen].name != "OnServiceProxyUuidEvent") continue;
            const std::uint64_t turns = Core()->EndWait(Core());
            return out.Structure({{"reply", g_plugin->events[seen].payload},
                                  {"turns", Number(QIV_HOST_VALUE_UNSIGNED, static_cast<std::int64_t>(turns))}});
        }
    }
}

HostValue Events(Arena& out) {
    std::vector<HostValue> list;
    for (const Received& event : g_plugin->events) {
        list.push_back(out.Structure({{"name", out.Text(event.name)},
                                      {"payload", event.payload},
                                      {"contextMatched", Number(QIV_HOST_VALUE_UNSIGNED, event.contextMatched)}}));
    }
    return out.Structure({{"events", out.Collection(list)}});
}

void Dispatch(const Query& q) {
    // A borrowed text (kind 5) in the payload: the host must copy it, not keep the pointer.
    const std::string borrowed = Arg(q, "text");
    HostValue text{};
    text.kind = QIV_HOST_VALUE_STRING;
    text.string.text = borrowed.c_str();
    text.string.length = static_cast<std::uint32_t>(borrowed.size());
    Arena payload;
    const std::string name = Arg(q, "name");
    HostEvent event{};
    event.name = name.c_str();
    event.payload = payload.Structure({{"text", text}, {"n", Number(QIV_HOST_VALUE_SIGNED, -5)}});
    Core()->DispatchEvent(Core(), &event);
}

HostValue Run(Arena& out, const std::string& command, const Query& q) {
    if (command == "subscribe") Subscribe(Arg(q, "name"), static_cast<std::uint32_t>(std::atoi(Arg(q, "flag").c_str())));
    if (command == "unsubscribe") Core()->UnsubscribeEvent(Core(), Arg(q, "name").c_str(), g_plugin->host.clientHandle);
    if (command == "dispatch") Dispatch(q);
    if (command == "log") Core()->WriteLog(Core(), std::atoi(Arg(q, "level").c_str()), Arg(q, "text").c_str());
    if (command == "timer") {
        static std::deque<std::string> names;  // the contexts live as long as the library
        const char* name = names.emplace_back(Arg(q, "name")).c_str();
        Core()->ScheduleTimer(Core(), name, &OnTimer, const_cast<char*>(name), std::atof(Arg(q, "delay").c_str()), 0);
    }
    if (command == "get") return Perform(out, QIV_HTTP_GET, Arg(q, "url"), {});
    if (command == "proxy") return Proxy(out, q);
    if (command == "events") return Events(out);
    return out.Structure({});
}

HostValue Echo(Arena& out, const HostRequest& request) {
    std::vector<std::pair<std::string, HostValue>> headers;
    for (std::uint32_t i = 0; i < request.headerCount; ++i) {
        headers.emplace_back(request.headers[i].name, out.Text(request.headers[i].value));
    }
    std::vector<HostValue> parameters;
    for (std::uint32_t i = 0; i < request.parameterCount; ++i) parameters.push_back(out.Copy(request.parameters[i].value));
    return out.Structure({{"method", Number(QIV_HOST_VALUE_UNSIGNED, request.method)},
                          {"methodWord", out.Text(request.methodWord == nullptr ? "" : request.methodWord)},
                          {"contentType", out.Text(request.contentType == nullptr ? "" : request.contentType)},
                          {"body", out.Text(std::string(request.body == nullptr ? "" : request.body, request.bodyLength))},
                          {"bodyLength", Number(QIV_HOST_VALUE_UNSIGNED, request.bodyLength)},
                          {"clientHandle", Number(QIV_HOST_VALUE_UNSIGNED, request.clientHandle)},
                          {"headers", out.Structure(headers)},
                          {"parameters", out.Collection(parameters)}});
}

// ---- responses and streams it hands to the host ----

// A streamed answer in three chunks; the context counts the chunks read.
std::uint8_t QIV_CALL FakeRead(void* context, char* buffer, std::uint32_t* length, std::uint8_t* more) {
    static const char* const kChunks[] = {"ab", "cd", "e"};
    std::size_t& next = *static_cast<std::size_t*>(context);
    *length = static_cast<std::uint32_t>(std::strlen(kChunks[next]));
    std::memcpy(buffer, kChunks[next], *length);
    *more = ++next < 3 ? 1 : 0;
    return 1;
}

void QIV_CALL FakeClose(void*) {}

void QIV_CALL FakeRelease(HostResponse* response) {
    g_plugin->answers.erase(response);
    delete static_cast<std::size_t*>(response->streamContext);
}

int g_contexts[2] = {0, 1};  // the dispatch contexts of the two routes

void QIV_CALL HandleCall(HostResponse* response, const HostRequest* request) {
    Arena& out = g_plugin->answers[response];
    response->release = &FakeRelease;
    response->resultText = out.Text("").string.text;
    response->status = 200;
    const std::string url = request->url == nullptr ? "" : request->url;
    if (request->dispatchContext == &g_contexts[1] && request->method == QIV_HTTP_GET) {
        response->body = out.Text("only get");
        return;
    }
    if (request->dispatchContext == &g_contexts[1]) {
        response->errorText = out.Text("Invalid function").string.text;
        response->errorFlag = 1;
        response->status = 404;
        return;
    }
    const std::size_t start = std::strlen("/fake/");
    const std::string command = url.substr(start, url.find('?') - start);
    if (command == "stream") {
        response->readChunk = &FakeRead;
        response->closeStream = &FakeClose;
        response->streamContext = new std::size_t(0);
        return;
    }
    response->body = command == "echo" ? Echo(out, *request) : Run(out, command, ParseQuery(url));
}

// ---- route table ----

ApiArgumentDescription g_commandArgument{};
RouteArgumentLocation g_commandLocation{0, QIV_ARGUMENT_LOCATION_PATH};
RouteFunctionEntry g_entries[2]{};
RouteTableDescriptor g_table{};

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
    static_cast<FakePlugin*>(context)->host = *host;
    Subscribe("OnServiceProxyUuidEvent", 1);
    Core()->WriteLog(Core(), 3, "fake plug-in started");
    return 1;
}

// Leaves its subscriptions behind: the host must drop them (a plug-in that withdraws its own
// is ProbeSubscriptions.ShutdownWithdrawsEveryEventNameOnce').
void QIV_CALL Shutdown(void* context) {
    delete static_cast<FakePlugin*>(context);
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
