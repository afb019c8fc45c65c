/*
 * A miniature plug-in in plain C11 (compiled with -std=c11 -Wall -Wextra -Wpedantic
 * -Werror): it fills the load record, declares a route table, calls every host core slot,
 * answers a call and receives events and timers. Every record of qiv/plugin_abi.h is touched
 * from C at least once, by the layout facts if not otherwise.
 */
#include "abi/abi_c_test.h"

#include <stdlib.h>
#include <string.h>

/* ---- Layout as C sees it ------------------------------------------------------------ */

/* Every record's size and every field's offset, plus one member of the HostValue union. */
#define QIV_WIRE_RECORD(record, wireSize) {#record, sizeof(record)},
#define QIV_WIRE_FIELD(record, field, wireOffset, wireWidth) {#record "." #field, offsetof(record, field)},

static const QivCLayoutFact kLayoutFacts[] = {
#include "abi/abi_wire_layout.def"
    {"HostValue.signedValue", offsetof(HostValue, signedValue)},
};

const QivCLayoutFact* QivCLayoutFacts(size_t* count) {
    *count = sizeof kLayoutFacts / sizeof kLayoutFacts[0];
    return kLayoutFacts;
}

/* ---- The probe's state and declaration ---------------------------------------------- */

static QivCProbe probe;

static void QIV_CALL ProbeHandleGet(HostResponse* response, const HostRequest* request);

static const RouteArgumentLocation kGetLocations[1] = {{0, QIV_ARGUMENT_LOCATION_PATH}};

static const RouteFunctionEntry kFunctions[1] = {
    {{NULL, 0, &probe, "GetCProbeItemsById", "", NULL, 0, 0, 0, "", "", "", 1, "", NULL, 0},
     ProbeHandleGet, kGetLocations, "/c-probe/items/{id}", QIV_HTTP_GET, 0, NULL, 0, ""},
};

static const RouteTableDescriptor kRouteTable = {kFunctions, 1, NULL, 0, NULL, 0};

static const HostRequestHeader kResponseHeaders[1] = {{"x-probe", "c"}};

/* ---- Host calls made by the probe ---------------------------------------------------- */

static void CopyText(char* target, size_t capacity, const char* text) {
    size_t length = strlen(text);
    if (length >= capacity) length = capacity - 1;
    memcpy(target, text, length);
    target[length] = '\0';
}

/* A GET with one positional and one named parameter; remembers the status and body. */
static void ProbePing(QivCProbe* self) {
    const HostCore* core = self->host->core;
    HostRequestParameter parameters[2];
    memset(parameters, 0, sizeof parameters);
    parameters[0].value.kind = QIV_HOST_VALUE_SIGNED;
    parameters[0].value.signedValue = -42;
    parameters[1].name = "flag";
    parameters[1].value.kind = QIV_HOST_VALUE_BOOL;
    parameters[1].value.boolean = 1;

    HostRequest request;
    memset(&request, 0, sizeof request);
    request.method = QIV_HTTP_GET;
    request.url = "/c-probe/ping";
    request.parameters = parameters;
    request.parameterCount = 2;
    request.clientHandle = self->host->clientHandle;

    HostResponse response;
    memset(&response, 0, sizeof response);
    core->PerformRequest(core, &response, &request);
    self->pingStatus = response.status;
    int isText = response.body.kind == QIV_HOST_VALUE_STRING || response.body.kind == QIV_HOST_VALUE_OWNED_STRING;
    if (response.errorText == NULL && isText && response.body.string.text != NULL) {
        CopyText(self->pingBody, sizeof self->pingBody, response.body.string.text);
    }
    if (response.release != NULL) response.release(&response);
}

static void QIV_CALL ProbeOnEvent(const HostEvent* event) {
    if (event == NULL || event->context == NULL) return;
    QivCProbe* self = (QivCProbe*)event->context;
    self->eventsSeen += 1;
    if (event->payload.kind == QIV_HOST_VALUE_SIGNED) self->countSum += event->payload.signedValue;
    HostEvent answer;
    memset(&answer, 0, sizeof answer);
    answer.name = "OnProbeEventSeen";
    answer.payload.kind = QIV_HOST_VALUE_UNSIGNED;
    answer.payload.unsignedValue = self->eventsSeen;
    self->host->core->DispatchEvent(self->host->core, &answer);
}

static void QIV_CALL ProbeOnTimer(void* context) {
    if (context == NULL) return;
    ((QivCProbe*)context)->timersFired += 1;
}

/* ---- Callbacks ------------------------------------------------------------------------ */

static uint8_t QIV_CALL ProbeInitialize(void* context, const HostContext* host) {
    QivCProbe* self = (QivCProbe*)context;
    if (self == NULL || host == NULL || host->core == NULL) return 0;
    const HostCore* core = host->core;
    self->host = host;
    core->SubscribeEvent(core, "OnProbeEvent", host->clientHandle, ProbeOnEvent, self, 0);
    core->ScheduleTimer(core, "probe-timer", ProbeOnTimer, self, 0.25, 0);
    core->BeginWait(core, "Wait: yield", 0);
    core->RunPending(core);
    self->waitToken = core->EndWait(core);
    ProbePing(self);
    core->WriteLog(core, 2, "c probe started");
    self->started = 1;
    return 1;
}

static void QIV_CALL ProbeShutdown(void* context) {
    QivCProbe* self = (QivCProbe*)context;
    if (self == NULL || self->host == NULL) return;
    self->host->core->UnsubscribeEvent(self->host->core, "OnProbeEvent", self->host->clientHandle);
    self->stopped = 1;
}

static void QIV_CALL ProbeGetMemoryStatistics(void* context, PluginMemoryStatistics* out) {
    if (context == NULL || out == NULL) return;
    *out = ((QivCProbe*)context)->memory;
    out->reserved = 0;
}

static const PluginCallbacks kCallbacks = {ProbeInitialize, ProbeShutdown, ProbeGetMemoryStatistics};

/* ---- Route handlers ------------------------------------------------------------------- */

static void QIV_CALL ProbeReleaseResponse(HostResponse* response) {
    if (response == NULL || response->body.kind != QIV_HOST_VALUE_STRUCTURE) return;
    probe.memory.freeCount += 1;
    free(response->body.structure.entries);
    memset(&response->body, 0, sizeof response->body);
}

static const char* HeaderValue(const HostRequest* request, const char* name) {
    for (uint32_t i = 0; i < request->headerCount; ++i) {
        if (strcmp(request->headers[i].name, name) == 0) return request->headers[i].value;
    }
    return "";
}

static void SetBorrowedText(HostStructureEntry* entry, const char* name, const char* text) {
    entry->name = name;
    entry->value.kind = QIV_HOST_VALUE_STRING;
    entry->value.string.text = text;
    entry->value.string.length = (uint32_t)strlen(text);
}

/* Echoes the call as a structure: method, url, the x-trace header and the body bytes. */
static void QIV_CALL ProbeHandleGet(HostResponse* response, const HostRequest* request) {
    if (response == NULL || request == NULL) return;
    if (request->dispatchContext != &probe) {
        response->errorText = "Invalid function";
        response->status = 404;
        return;
    }
    const uint32_t count = 4;
    HostStructureEntry* entries = (HostStructureEntry*)calloc(count, sizeof *entries);
    if (entries == NULL) {
        response->errorText = "Out of memory";
        response->status = 500;
        return;
    }
    probe.memory.allocationCount += 1;
    entries[0].name = "method";
    entries[0].value.kind = QIV_HOST_VALUE_UNSIGNED;
    entries[0].value.unsignedValue = request->method;
    SetBorrowedText(&entries[1], "url", request->url != NULL ? request->url : "");
    SetBorrowedText(&entries[2], "trace", HeaderValue(request, "x-trace"));
    entries[3].name = "body";
    entries[3].value.kind = QIV_HOST_VALUE_BLOB;
    entries[3].value.blob.bytes = (const uint8_t*)request->body;
    entries[3].value.blob.size = request->bodyLength;

    response->body.kind = QIV_HOST_VALUE_STRUCTURE;
    response->body.structure.entries = entries;
    response->body.structure.count = count;
    response->status = 200;
    response->resultText = "";
    response->headers = kResponseHeaders;
    response->headerCount = 1;
    response->release = ProbeReleaseResponse;
}

/* ---- Export --------------------------------------------------------------------------- */

void QivCProbeReset(void) {
    memset(&probe, 0, sizeof probe);
}

void QIV_CALL QivCProbeLoad(PluginLoadRecord* record) {
    if (record == NULL) return;
    record->apiMajor = QIV_PLUGIN_API_VERSION_MAJOR;
    record->apiMinor = QIV_PLUGIN_API_VERSION_MINOR;
    record->apiPatch = QIV_PLUGIN_API_VERSION_PATCH;
    record->callbacks = &kCallbacks;
    record->pluginContext = &probe;
    record->shortName = "c-probe";
    record->routeTable = &kRouteTable;
}
