/*
 * A miniature plug-in in plain C11 (compiled with -std=c11 -Wall -Wextra -Wpedantic
 * -Werror): it fills the load record, declares a route table with functions, types and
 * events, calls every host core slot, answers calls (one plain, one streamed) and receives
 * events and timers. Every record of qiv/plugin_abi.h is touched from C at least once.
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

typedef struct ProbeStream {
    const char* text;
    uint32_t length;
    uint32_t offset;
    uint8_t closed;
} ProbeStream;

static ProbeStream probeStream;

static const char kStreamText[] = "streamed by the c probe";

static void QIV_CALL ProbeHandleGet(HostResponse* response, const HostRequest* request);
static void QIV_CALL ProbeHandlePost(HostResponse* response, const HostRequest* request);

static const char* const kTags[] = {"Plugins", "Plugin c-probe"};
static const char* const kExamples[] = {"/c-probe/items/7"};

static const ApiArgumentDescription kGetArguments[2] = {
    {&kGetArguments[1], "id", "Item id", 6, 0, "", 0},
    {NULL, "verbose", "", 1, 0, "", 1},
};
static const ApiArgumentDescription kPostArguments[1] = {
    {NULL, "item", "The item to store", 17, 0, "ProbeItem", 0},
};
static const RouteArgumentLocation kGetLocations[2] = {
    {0, QIV_ARGUMENT_LOCATION_PATH},
    {0, QIV_ARGUMENT_LOCATION_QUERY},
};
static const RouteArgumentLocation kPostLocations[1] = {{0, QIV_ARGUMENT_LOCATION_BODY}};
static const RouteTextList kGetTextLists[2] = {{0, kTags, 2}, {0, kExamples, 1}};

static const RouteFunctionEntry kFunctions[2] = {
    {{&kFunctions[1].function, 0, &probe, "GetCProbeItemsById", "", kGetArguments, 2, 17, 0, "ProbeItem",
      "Reads an item.", "", 1, "", kTags, 2},
     ProbeHandleGet, kGetLocations, "/c-probe/items/{id}", QIV_HTTP_GET, 0, kGetTextLists, 2, ""},
    {{NULL, 0, &probe, "StoreCProbeItems", "", kPostArguments, 1, 0, 0, "", "Stores an item.", "", 0, "", kTags,
      2},
     ProbeHandlePost, kPostLocations, "/c-probe/items", QIV_HTTP_CUSTOM, 1, NULL, 0, "STORE"},
};

static const ApiFieldDescription kItemFields[2] = {
    {&kItemFields[1], "id", "", 0, 6, 0, "", 0},
    {NULL, "label", "", 4, 12, 0, "", 1},
};
static const ApiEnumeratorDescription kColorEnumerators[2] = {
    {&kColorEnumerators[1], "Blue", "", 2},
    {NULL, "Red", "", -1},
};
static const ApiTypeDescription kTypes[2] = {
    {&kTypes[1], "ProbeItem", "", 8, "An item.", kTags, 2, kItemFields, NULL, 2},
    {NULL, "ProbeColor", "", 4, "A color.", kTags, 1, NULL, kColorEnumerators, 2},
};
static const ApiEventDescription kEvents[1] = {
    {NULL, "OnProbeEvent", "", "ProbeItem", "Fired when the probe changes.", kTags, 1},
};

static const RouteTableDescriptor kRouteTable = {kFunctions, 2, kTypes, 2, kEvents, 1};

static const HostRequestHeader kResponseHeaders[1] = {{"x-probe", "c"}};

/* ---- Memory accounting of the probe's own heap blocks -------------------------------- */

static void CountAllocation(uint64_t bytes) {
    probe.memory.bytesAllocated += bytes;
    probe.memory.allocationCount += 1;
    uint64_t inUse = probe.memory.bytesAllocated - probe.memory.bytesFreed;
    if (inUse > probe.memory.peakBytesInUse) {
        probe.memory.peakBytesInUse = inUse;
        probe.memory.liveAllocationsAtPeak = probe.memory.allocationCount - probe.memory.freeCount;
    }
}

static void CountFree(uint64_t bytes) {
    probe.memory.bytesFreed += bytes;
    probe.memory.freeCount += 1;
}

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
    if (event->payload.kind == QIV_HOST_VALUE_STRUCTURE) {
        const HostValueStructure* structure = &event->payload.structure;
        for (uint32_t i = 0; i < structure->count; ++i) {
            const HostStructureEntry* entry = &structure->entries[i];
            if (entry->name != NULL && strcmp(entry->name, "count") == 0 &&
                entry->value.kind == QIV_HOST_VALUE_SIGNED) {
                self->countSum += entry->value.signedValue;
            }
        }
    }
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
    CountFree(response->body.structure.count * sizeof(HostStructureEntry));
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
    CountAllocation(count * sizeof *entries);
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

static uint8_t QIV_CALL ProbeReadChunk(void* context, char* buffer, uint32_t* length, uint8_t* more) {
    ProbeStream* stream = (ProbeStream*)context;
    if (stream == NULL || buffer == NULL || length == NULL || more == NULL || stream->closed) return 0;
    uint32_t chunk = stream->length - stream->offset;
    if (chunk > *length) chunk = *length;
    memcpy(buffer, stream->text + stream->offset, chunk);
    stream->offset += chunk;
    *length = chunk;
    *more = stream->offset < stream->length ? 1 : 0;
    return 1;
}

static void QIV_CALL ProbeCloseStream(void* context) {
    if (context != NULL) ((ProbeStream*)context)->closed = 1;
}

/* Answers with a streamed body. */
static void QIV_CALL ProbeHandlePost(HostResponse* response, const HostRequest* request) {
    if (response == NULL || request == NULL) return;
    probeStream.text = kStreamText;
    probeStream.length = (uint32_t)(sizeof kStreamText - 1);
    probeStream.offset = 0;
    probeStream.closed = 0;
    response->status = 201;
    response->resultText = "";
    response->readChunk = ProbeReadChunk;
    response->closeStream = ProbeCloseStream;
    response->sizeHint = probeStream.length;
    response->reserved = 0;
    response->streamContext = &probeStream;
}

/* ---- Export --------------------------------------------------------------------------- */

void QivCProbeReset(void) {
    memset(&probe, 0, sizeof probe);
    memset(&probeStream, 0, sizeof probeStream);
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
