/*
 * The binary contract between the plug-in and any host that loads it: the records that
 * cross the boundary, the host core table, the plug-in's callbacks and the export.
 *
 * Contract:
 * - Plain C (C11) and C++; nothing here needs a runtime library beyond <stddef.h> and
 *   <stdint.h>. Every record is packed (no padding), little-endian, in wire order.
 * - A field that holds an address is declared as a pointer, every other field keeps its
 *   wire width. On a 32-bit target every size and offset is the wire layout itself, which
 *   the assertions at the end of this file prove; on a 64-bit target the records widen
 *   exactly where pointers are and nowhere else.
 * - Packed members may sit at unaligned addresses (many do on 64-bit targets). Read and
 *   write them by value; never take a pointer or bind a C++ reference to a scalar or
 *   pointer member (std::max, std::swap and test macros take references). Pointers and
 *   references to whole records are fine: every record has an alignment of 1.
 * - Every function pointer uses the C calling convention (QIV_CALL).
 * - Texts are NUL-terminated UTF-8. Texts a caller passes into a call stay valid only for
 *   the duration of that call unless a record says otherwise.
 * - Whoever fills a record owns what it allocated for it and releases it after the call;
 *   what the other side hands over stays the other side's.
 *
 * Changing anything here breaks every host built against it: change it deliberately.
 */
#ifndef QIV_PLUGIN_ABI_H
#define QIV_PLUGIN_ABI_H

#include <stddef.h> /* offsetof, for the layout assertions */
#include <stdint.h> /* fixed-width fields */

/* The C calling convention, spelled out only where the platform has more than one. */
#if defined(_WIN32) && !defined(_WIN64) && (defined(_MSC_VER) || defined(__GNUC__))
#define QIV_CALL __cdecl
#else
#define QIV_CALL
#endif

/* The one symbol the plug-in library exports; its type is LoadPluginFunction. */
#define QIV_PLUGIN_EXPORT_NAME "load_qiv_honor_v2"

/* Marks the export in a plug-in's source: a DLL export on Windows (undecorated, as the
 * C calling convention names it), a visible symbol elsewhere. */
#if defined(_WIN32)
#define QIV_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define QIV_EXPORT __attribute__((visibility("default")))
#else
#define QIV_EXPORT
#endif

/* The plug-in API version the plug-in reports and the host must match (same major, and
 * a minor/patch pair at least this one). */
#define QIV_PLUGIN_API_VERSION_MAJOR 18u
#define QIV_PLUGIN_API_VERSION_MINOR 0u
#define QIV_PLUGIN_API_VERSION_PATCH 0u

#ifdef __cplusplus
extern "C" {
#endif

/* Tags declared up front so that function-pointer parameters refer to these records and
 * not to new, prototype-scoped ones (a C rule). */
struct HostValue;
struct HostStructureEntry;
struct HostEvent;
struct HostRequest;
struct HostRequestParameter;
struct HostRequestHeader;
struct HostResponse;
struct HostContext;
struct HostCore;
struct PluginCallbacks;
struct PluginMemoryStatistics;
struct PluginLoadRecord;
struct RouteTableDescriptor;
struct RouteFunctionEntry;
struct ApiFunctionDescription;
struct ApiArgumentDescription;
struct ApiTypeDescription;
struct ApiFieldDescription;
struct ApiEnumeratorDescription;
struct ApiEventDescription;

/* ---- Codes ------------------------------------------------------------------------- */

/* HostValue.kind. */
typedef enum QivHostValueKind {
    QIV_HOST_VALUE_EMPTY = 0,
    QIV_HOST_VALUE_BOOL = 1,
    QIV_HOST_VALUE_SIGNED = 2,
    QIV_HOST_VALUE_UNSIGNED = 3,
    QIV_HOST_VALUE_FLOAT = 4,
    QIV_HOST_VALUE_STRING = 5,       /* borrowed text */
    QIV_HOST_VALUE_OWNED_STRING = 6, /* text freed with the value */
    QIV_HOST_VALUE_BLOB = 7,         /* borrowed bytes */
    QIV_HOST_VALUE_OWNED_BLOB = 8,   /* bytes freed with the value */
    QIV_HOST_VALUE_COLLECTION = 9,   /* owned array of HostValue */
    QIV_HOST_VALUE_STRUCTURE = 10    /* owned array of HostStructureEntry */
} QivHostValueKind;

/* HostRequest.method and RouteFunctionEntry.method. A code outside 1 to 8 counts as 0,
 * no method; a function declared with 0 accepts every method. QIV_HTTP_CUSTOM means the
 * method is given by its word (HostRequest.methodWord, RouteFunctionEntry.methodWord). */
typedef enum QivHttpMethod {
    QIV_HTTP_NONE = 0,
    QIV_HTTP_DELETE = 1,
    QIV_HTTP_GET = 2,
    QIV_HTTP_HEAD = 3,
    QIV_HTTP_OPTIONS = 4,
    QIV_HTTP_PATCH = 5,
    QIV_HTTP_POST = 6,
    QIV_HTTP_PUT = 7,
    QIV_HTTP_CUSTOM = 8
} QivHttpMethod;

/* RouteArgumentLocation.location: where an argument of a route may be given. Any accepts
 * the query, the path and the headers, never the body. The value 3 has no name; it is
 * passed through unchanged. */
typedef enum QivArgumentLocation {
    QIV_ARGUMENT_LOCATION_ANY = 0,
    QIV_ARGUMENT_LOCATION_QUERY = 1,
    QIV_ARGUMENT_LOCATION_PATH = 2,
    QIV_ARGUMENT_LOCATION_HEADER = 4, /* header named as the argument, in lower case */
    QIV_ARGUMENT_LOCATION_BODY = 5
} QivArgumentLocation;

/* Every multi-byte record below is packed: offsets are wire offsets. */
#pragma pack(push, 1)

/* ---- Values ------------------------------------------------------------------------ */

/* Payload of QIV_HOST_VALUE_STRING and _OWNED_STRING. The reader takes the text up to
 * its NUL; length is informative only. */
typedef struct HostValueString {
    const char* text;
    uint32_t length;
} HostValueString;

/* Payload of QIV_HOST_VALUE_BLOB and _OWNED_BLOB. */
typedef struct HostValueBlob {
    const uint8_t* bytes;
    uint32_t size;
} HostValueBlob;

/* Payload of QIV_HOST_VALUE_COLLECTION. A count of 0 (or negative, read as signed) is an
 * empty collection. */
typedef struct HostValueCollection {
    struct HostValue* elements;
    uint32_t count;
} HostValueCollection;

/* Payload of QIV_HOST_VALUE_STRUCTURE. */
typedef struct HostValueStructure {
    struct HostStructureEntry* entries;
    uint32_t count;
} HostValueStructure;

/* The value record of every payload that crosses the boundary (12 bytes on 32-bit).
 * Clearing a value releases, by kind, what the value owns (kinds 6, 8, 9, 10, the latter
 * two recursively) and zeroes the record; kinds 5 and 7 free nothing. */
typedef struct HostValue {
    uint32_t kind; /* QivHostValueKind */
    union {
        uint8_t boolean;        /* QIV_HOST_VALUE_BOOL: 0 or 1 */
        int64_t signedValue;    /* QIV_HOST_VALUE_SIGNED */
        uint64_t unsignedValue; /* QIV_HOST_VALUE_UNSIGNED */
        double floatValue;      /* QIV_HOST_VALUE_FLOAT */
        HostValueString string; /* QIV_HOST_VALUE_STRING, _OWNED_STRING */
        HostValueBlob blob;     /* QIV_HOST_VALUE_BLOB, _OWNED_BLOB */
        HostValueCollection collection;
        HostValueStructure structure;
    };
} HostValue;

/* One named member of a QIV_HOST_VALUE_STRUCTURE value (17 bytes on 32-bit). */
typedef struct HostStructureEntry {
    const char* name;
    HostValue value;
    uint8_t nameOwned; /* 1 when name is freed with the entry */
} HostStructureEntry;

/* ---- Host core --------------------------------------------------------------------- */

/* An event, dispatched by the plug-in or delivered to it (24 bytes on 32-bit). */
typedef struct HostEvent {
    const char* name;
    HostValue payload;
    uint32_t reserved; /* 0 in every event the plug-in dispatches */
    void* context;     /* delivered: the context given at subscription; dispatched: null */
} HostEvent;

/* A typed parameter of a request: name null for a positional parameter (16 bytes on
 * 32-bit). */
typedef struct HostRequestParameter {
    const char* name;
    HostValue value;
} HostRequestParameter;

/* A header of a request or a response: two texts (8 bytes on 32-bit). */
typedef struct HostRequestHeader {
    const char* name;
    const char* value;
} HostRequestHeader;

/* A REST call (48 bytes on 32-bit): outgoing through HostCore.PerformRequest, where every
 * field not set by the plug-in is zero, or incoming through RouteFunctionEntry.HandleCall. */
typedef struct HostRequest {
    uint32_t method; /* QivHttpMethod */
    const char* url;
    const HostRequestParameter* parameters;
    uint32_t parameterCount;
    /* Incoming: the dispatch context the host found in the called function's entry
     * (ApiFunctionDescription.dispatchContext), passed back unchanged. Opaque to the host. */
    void* dispatchContext;
    const HostRequestHeader* headers; /* incoming only */
    uint32_t headerCount;
    const char* contentType; /* incoming only */
    const char* body;        /* incoming only; bodyLength bytes, not necessarily NUL-ended */
    uint32_t bodyLength;
    uint32_t clientHandle; /* outgoing: the plug-in's; incoming: the caller's */
    const char* methodWord; /* the method's word when method is QIV_HTTP_CUSTOM */
} HostRequest;

/* Reads the next chunk of a streamed body into buffer: on entry *length is the buffer's
 * size, on return the bytes written; *more becomes 0 after the last chunk. Returns 0 when
 * the read failed. */
typedef uint8_t(QIV_CALL* HostReadChunkFunction)(void* streamContext, char* buffer, uint32_t* length,
                                                 uint8_t* more);
/* Closes a stream; called once after the last read, successful or not. */
typedef void(QIV_CALL* HostCloseStreamFunction)(void* streamContext);
/* Releases what the filler of a response allocated for it; called exactly once by the
 * reader when it has finished with the response. */
typedef void(QIV_CALL* HostReleaseResponseFunction)(struct HostResponse* response);

/* The answer to a REST call (62 bytes on 32-bit), zeroed by the caller and filled by the
 * callee: by the host for PerformRequest, by the plug-in for HandleCall. */
typedef struct HostResponse {
    HostValue body;
    const char* errorText; /* null when the call succeeded */
    uint8_t errorFlag;     /* 1 when errorText carries the failure of an incoming call */
    uint8_t resultFlag;    /* the call result's flag byte */
    uint32_t resultMode;   /* the call result's mode: 1, 2 or 3, otherwise 0 */
    int32_t status;        /* HTTP status code; 0 when the handler set none */
    const char* resultText; /* the call result's text attribute; never null when written */
    const HostRequestHeader* headers;
    uint32_t headerCount;
    HostReadChunkFunction readChunk; /* null when the body is not streamed */
    HostCloseStreamFunction closeStream; /* may be null */
    uint32_t sizeHint; /* expected length of a streamed body, for reserving */
    uint32_t reserved; /* 0 */
    void* streamContext; /* passed to readChunk and closeStream */
    HostReleaseResponseFunction release; /* may be null */
} HostResponse;

/* What the host hands to Initialize (8 bytes on 32-bit). clientHandle names the plug-in
 * to the host; the plug-in passes it back unchanged in every request and subscription. */
typedef struct HostContext {
    const struct HostCore* core;
    uint32_t clientHandle;
} HostContext;

/* Called by the host for each event of a subscribed name; event->context is the context
 * given to SubscribeEvent. */
typedef void(QIV_CALL* HostEventCallback)(const struct HostEvent* event);
/* Called once by the host when a scheduled timer's delay has passed. */
typedef void(QIV_CALL* HostTimerCallback)(void* context);

/* The host's operations (40 bytes on 32-bit). Each slot is called with the table itself
 * first. Results of every slot but EndWait are void; EndWait's 64-bit value is opaque. */
typedef struct HostCore {
    void(QIV_CALL* PerformRequest)(const struct HostCore* self, struct HostResponse* response,
                                   const struct HostRequest* request);
    void(QIV_CALL* Reserved1)(const struct HostCore* self, uint32_t a, uint32_t b);
    void(QIV_CALL* DispatchEvent)(const struct HostCore* self, const struct HostEvent* event);
    /* flag: 1 for service-proxy and Vyre events, 0 for resource events. */
    void(QIV_CALL* SubscribeEvent)(const struct HostCore* self, const char* name, uint32_t clientHandle,
                                   HostEventCallback callback, void* context, uint32_t flag);
    void(QIV_CALL* UnsubscribeEvent)(const struct HostCore* self, const char* name, uint32_t clientHandle);
    void(QIV_CALL* ScheduleTimer)(const struct HostCore* self, const char* name, HostTimerCallback callback,
                                  void* context, double delaySeconds, uint32_t zero);
    void(QIV_CALL* RunPending)(const struct HostCore* self);
    void(QIV_CALL* BeginWait)(const struct HostCore* self, const char* label, uint32_t zero);
    uint64_t(QIV_CALL* EndWait)(const struct HostCore* self);
    void(QIV_CALL* WriteLog)(const struct HostCore* self, int32_t level, const char* message);
} HostCore;

/* ---- Plug-in entry ----------------------------------------------------------------- */

/* The plug-in's callbacks (12 bytes on 32-bit), each called with the load record's
 * pluginContext first. Initialize returns 1 when the plug-in started. */
typedef struct PluginCallbacks {
    uint8_t(QIV_CALL* Initialize)(void* pluginContext, const struct HostContext* host);
    void(QIV_CALL* Shutdown)(void* pluginContext);
    void(QIV_CALL* GetMemoryStatistics)(void* pluginContext, struct PluginMemoryStatistics* out);
} PluginCallbacks;

/* The plug-in's allocation counters (56 bytes). */
typedef struct PluginMemoryStatistics {
    uint64_t peakBytesInUse;
    uint64_t liveAllocationsAtPeak; /* live allocations when the peak was reached */
    uint64_t bytesAllocated;
    uint64_t allocationCount;
    uint64_t bytesFreed;
    uint64_t freeCount;
    uint64_t reserved; /* always 0 */
} PluginMemoryStatistics;

/* Owned by the host and passed to the export (28 bytes on 32-bit). On entry the version
 * words hold the host's plug-in API version; on return the plug-in's, with the rest
 * filled. Everything the plug-in points to here lives until Shutdown. */
typedef struct PluginLoadRecord {
    uint32_t apiMajor;
    uint32_t apiMinor;
    uint32_t apiPatch;
    const struct PluginCallbacks* callbacks;
    void* pluginContext;
    const char* shortName;
    const struct RouteTableDescriptor* routeTable;
} PluginLoadRecord;

/* The type of the export named QIV_PLUGIN_EXPORT_NAME. */
typedef void(QIV_CALL* LoadPluginFunction)(PluginLoadRecord* record);

/* ---- API description -------------------------------------------------------------- */
/* Arrays of these records describe the plug-in's functions, types and events. In each,
 * next points to the following record of the same array (null in the last), so a host
 * may walk an array by index or as a list. Texts are never null (missing ones are empty)
 * and live while the plug-in is loaded. Type codes are the binding type numbers; a type
 * name is set only for declared records and enumerations, else empty. */

/* One argument of a function (25 bytes on 32-bit). */
typedef struct ApiArgumentDescription {
    const struct ApiArgumentDescription* next;
    const char* name;
    const char* description;
    uint32_t type;
    uint32_t elementType;
    const char* typeName;
    uint8_t optional;
} ApiArgumentDescription;

/* A function (61 bytes on 32-bit); embedded at the start of every RouteFunctionEntry. */
typedef struct ApiFunctionDescription {
    /* The next function; in a route table that is the next RouteFunctionEntry, whose
     * first member is its description. */
    const struct ApiFunctionDescription* next;
    uint32_t reserved; /* 0 */
    void* dispatchContext; /* null in a bare description; set in a route table's entries */
    const char* name;
    const char* nameSpace;
    const ApiArgumentDescription* arguments;
    uint32_t argumentCount;
    uint32_t resultType;
    uint32_t resultElementType;
    const char* resultTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncTypeName; /* empty for a synchronous function */
    const char* const* tags;
    uint32_t tagCount;
} ApiFunctionDescription;

/* A member of a record type (29 bytes on 32-bit). */
typedef struct ApiFieldDescription {
    const struct ApiFieldDescription* next;
    const char* name;
    const char* description;
    uint32_t offset; /* in the native record */
    uint32_t type;
    uint32_t elementType;
    const char* typeName;
    uint8_t optional;
} ApiFieldDescription;

/* An enumerator of an enumeration type (16 bytes on 32-bit); listed in name order. */
typedef struct ApiEnumeratorDescription {
    const struct ApiEnumeratorDescription* next;
    const char* name;
    const char* description;
    int32_t value;
} ApiEnumeratorDescription;

/* A record or enumeration type (40 bytes on 32-bit). A record has fields and no
 * enumerators, an enumeration the reverse; memberCount counts whichever is set. */
typedef struct ApiTypeDescription {
    const struct ApiTypeDescription* next;
    const char* name;
    const char* nameSpace;
    uint32_t size; /* of the native record */
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    const ApiFieldDescription* fields;
    const ApiEnumeratorDescription* enumerators;
    uint32_t memberCount;
} ApiTypeDescription;

/* An event the plug-in can send (28 bytes on 32-bit). */
typedef struct ApiEventDescription {
    const struct ApiEventDescription* next;
    const char* name;
    const char* nameSpace;
    const char* typeName; /* of the payload */
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
} ApiEventDescription;

/* ---- Route table ------------------------------------------------------------------- */

/* Where one argument of a route may be given (8 bytes on 32-bit). */
typedef struct RouteArgumentLocation {
    uint32_t reserved; /* 0 */
    uint32_t location; /* QivArgumentLocation */
} RouteArgumentLocation;

/* One list of texts handed to the host with a route (12 bytes on 32-bit). */
typedef struct RouteTextList {
    uint32_t reserved; /* 0 */
    const char* const* texts;
    uint32_t count;
} RouteTextList;

/* The dispatch callback of a route: the host passes a zeroed response to fill and the
 * call's request, whose dispatchContext is the entry's. Everything the plug-in has to say
 * is in the response; it releases what it allocated there through response->release. */
typedef void(QIV_CALL* RouteHandleCallFunction)(struct HostResponse* response, const struct HostRequest* request);

/* One routable function (90 bytes on 32-bit). */
typedef struct RouteFunctionEntry {
    ApiFunctionDescription function;
    RouteHandleCallFunction HandleCall;
    const RouteArgumentLocation* argumentLocations; /* function.argumentCount elements */
    const char* pathTemplate; /* empty when the function has no path */
    uint32_t method;          /* QivHttpMethod; 0 accepts every method */
    uint8_t flag;
    const RouteTextList* textLists;
    uint32_t textListCount;
    const char* methodWord; /* empty unless method is QIV_HTTP_CUSTOM */
} RouteFunctionEntry;

/* What the load record's routeTable points to (24 bytes on 32-bit): the function entries,
 * then the type and event descriptions. Owned by the plug-in, valid until Shutdown. */
typedef struct RouteTableDescriptor {
    const RouteFunctionEntry* functions;
    uint32_t functionCount;
    const ApiTypeDescription* types;
    uint32_t typeCount;
    const ApiEventDescription* events;
    uint32_t eventCount;
} RouteTableDescriptor;

#pragma pack(pop)

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout proof ------------------------------------------------------------------ */
/* On a 32-bit target the records are the wire records byte for byte. Each assertion
 * holds trivially elsewhere, so a 64-bit build is free to widen the pointers. */

#ifdef __cplusplus
#define QIV_ABI_ASSERT(condition, message) static_assert(condition, message)
#else
#define QIV_ABI_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#define QIV_ABI_SIZE_32(record, bytes) \
    QIV_ABI_ASSERT(sizeof(void*) != 4 || sizeof(record) == (bytes), #record " must be " #bytes " bytes")
#define QIV_ABI_OFFSET_32(record, field, at)                                  \
    QIV_ABI_ASSERT(sizeof(void*) != 4 || offsetof(record, field) == (at), \
                   #record "." #field " must be at offset " #at)

QIV_ABI_SIZE_32(HostValue, 12);
QIV_ABI_OFFSET_32(HostValue, boolean, 4);
QIV_ABI_OFFSET_32(HostValue, signedValue, 4);
QIV_ABI_OFFSET_32(HostValue, string, 4);
QIV_ABI_OFFSET_32(HostValueString, length, 4);
QIV_ABI_OFFSET_32(HostValueCollection, count, 4);

QIV_ABI_SIZE_32(HostStructureEntry, 17);
QIV_ABI_OFFSET_32(HostStructureEntry, value, 4);
QIV_ABI_OFFSET_32(HostStructureEntry, nameOwned, 16);

QIV_ABI_SIZE_32(HostEvent, 24);
QIV_ABI_OFFSET_32(HostEvent, payload, 4);
QIV_ABI_OFFSET_32(HostEvent, reserved, 16);
QIV_ABI_OFFSET_32(HostEvent, context, 20);

QIV_ABI_SIZE_32(HostRequestParameter, 16);
QIV_ABI_SIZE_32(HostRequestHeader, 8);

QIV_ABI_SIZE_32(HostRequest, 48);
QIV_ABI_OFFSET_32(HostRequest, parameters, 8);
QIV_ABI_OFFSET_32(HostRequest, dispatchContext, 16);
QIV_ABI_OFFSET_32(HostRequest, headers, 20);
QIV_ABI_OFFSET_32(HostRequest, contentType, 28);
QIV_ABI_OFFSET_32(HostRequest, body, 32);
QIV_ABI_OFFSET_32(HostRequest, clientHandle, 40);
QIV_ABI_OFFSET_32(HostRequest, methodWord, 44);

QIV_ABI_SIZE_32(HostResponse, 62);
QIV_ABI_OFFSET_32(HostResponse, errorText, 12);
QIV_ABI_OFFSET_32(HostResponse, errorFlag, 16);
QIV_ABI_OFFSET_32(HostResponse, resultFlag, 17);
QIV_ABI_OFFSET_32(HostResponse, resultMode, 18);
QIV_ABI_OFFSET_32(HostResponse, status, 22);
QIV_ABI_OFFSET_32(HostResponse, resultText, 26);
QIV_ABI_OFFSET_32(HostResponse, headers, 30);
QIV_ABI_OFFSET_32(HostResponse, headerCount, 34);
QIV_ABI_OFFSET_32(HostResponse, readChunk, 38);
QIV_ABI_OFFSET_32(HostResponse, closeStream, 42);
QIV_ABI_OFFSET_32(HostResponse, sizeHint, 46);
QIV_ABI_OFFSET_32(HostResponse, reserved, 50);
QIV_ABI_OFFSET_32(HostResponse, streamContext, 54);
QIV_ABI_OFFSET_32(HostResponse, release, 58);

QIV_ABI_SIZE_32(HostContext, 8);
QIV_ABI_SIZE_32(HostCore, 40);
QIV_ABI_OFFSET_32(HostCore, EndWait, 32);
QIV_ABI_OFFSET_32(HostCore, WriteLog, 36);

QIV_ABI_SIZE_32(PluginCallbacks, 12);
QIV_ABI_SIZE_32(PluginMemoryStatistics, 56);
QIV_ABI_SIZE_32(PluginLoadRecord, 28);
QIV_ABI_OFFSET_32(PluginLoadRecord, callbacks, 12);
QIV_ABI_OFFSET_32(PluginLoadRecord, routeTable, 24);

QIV_ABI_SIZE_32(ApiFunctionDescription, 61);
QIV_ABI_OFFSET_32(ApiFunctionDescription, dispatchContext, 8);
QIV_ABI_OFFSET_32(ApiFunctionDescription, name, 12);
QIV_ABI_OFFSET_32(ApiFunctionDescription, arguments, 20);
QIV_ABI_OFFSET_32(ApiFunctionDescription, resultType, 28);
QIV_ABI_OFFSET_32(ApiFunctionDescription, resultTypeName, 36);
QIV_ABI_OFFSET_32(ApiFunctionDescription, help, 44);
QIV_ABI_OFFSET_32(ApiFunctionDescription, threadSafe, 48);
QIV_ABI_OFFSET_32(ApiFunctionDescription, asyncTypeName, 49);
QIV_ABI_OFFSET_32(ApiFunctionDescription, tags, 53);
QIV_ABI_OFFSET_32(ApiFunctionDescription, tagCount, 57);

QIV_ABI_SIZE_32(ApiArgumentDescription, 25);
QIV_ABI_OFFSET_32(ApiArgumentDescription, typeName, 20);
QIV_ABI_OFFSET_32(ApiArgumentDescription, optional, 24);

QIV_ABI_SIZE_32(ApiTypeDescription, 40);
QIV_ABI_OFFSET_32(ApiTypeDescription, size, 12);
QIV_ABI_OFFSET_32(ApiTypeDescription, fields, 28);
QIV_ABI_OFFSET_32(ApiTypeDescription, enumerators, 32);
QIV_ABI_OFFSET_32(ApiTypeDescription, memberCount, 36);

QIV_ABI_SIZE_32(ApiFieldDescription, 29);
QIV_ABI_OFFSET_32(ApiFieldDescription, offset, 12);
QIV_ABI_OFFSET_32(ApiFieldDescription, optional, 28);

QIV_ABI_SIZE_32(ApiEnumeratorDescription, 16);
QIV_ABI_OFFSET_32(ApiEnumeratorDescription, value, 12);

QIV_ABI_SIZE_32(ApiEventDescription, 28);
QIV_ABI_OFFSET_32(ApiEventDescription, typeName, 12);
QIV_ABI_OFFSET_32(ApiEventDescription, tagCount, 24);

QIV_ABI_SIZE_32(RouteArgumentLocation, 8);
QIV_ABI_SIZE_32(RouteTextList, 12);
QIV_ABI_SIZE_32(RouteFunctionEntry, 90);
QIV_ABI_OFFSET_32(RouteFunctionEntry, HandleCall, 61);
QIV_ABI_OFFSET_32(RouteFunctionEntry, argumentLocations, 65);
QIV_ABI_OFFSET_32(RouteFunctionEntry, pathTemplate, 69);
QIV_ABI_OFFSET_32(RouteFunctionEntry, method, 73);
QIV_ABI_OFFSET_32(RouteFunctionEntry, flag, 77);
QIV_ABI_OFFSET_32(RouteFunctionEntry, textLists, 78);
QIV_ABI_OFFSET_32(RouteFunctionEntry, textListCount, 82);
QIV_ABI_OFFSET_32(RouteFunctionEntry, methodWord, 86);

QIV_ABI_SIZE_32(RouteTableDescriptor, 24);

#undef QIV_ABI_OFFSET_32
#undef QIV_ABI_SIZE_32
#undef QIV_ABI_ASSERT

#endif /* QIV_PLUGIN_ABI_H */
