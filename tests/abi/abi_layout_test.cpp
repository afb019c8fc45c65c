// Proves the records of qiv/plugin_abi.h against the wire layout: on a 32-bit target every
// offset and size is the wire's; on every target the records are packed in wire order and
// widen only where a pointer is; the C compiler agrees with the C++ one; and a host can walk
// a route table by list or by index, reading the words at their wire offsets.
#include "qiv/plugin_abi.h"

#include "abi/abi_c_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

// Packed members may sit at unaligned addresses and gtest compares through references,
// so members are compared as copies.
template <typename T>
T Copy(T value) {
    return value;
}

constexpr bool kWireTarget = sizeof(void*) == 4;
constexpr std::size_t kPointerGrowth = sizeof(void*) - 4;
// Pointer words inside an ApiFunctionDescription: next, dispatchContext, name, nameSpace,
// arguments, resultTypeName, description, help, asyncTypeName, tags.
constexpr std::size_t kFunctionDescriptionPointers = 10;

// How many wire words of a field hold an address, and so grow on a wider target.
template <typename T>
constexpr std::size_t PointerWords() {
    if constexpr (std::is_pointer_v<T>) return 1;
    if constexpr (std::is_same_v<T, HostValue> || std::is_same_v<T, HostValueString>) return 1;
    if constexpr (std::is_same_v<T, ApiFunctionDescription>) return kFunctionDescriptionPointers;
    return 0;
}

struct FieldRow {
    std::string_view record;
    std::string_view field;
    std::size_t offset;
    std::size_t size;
    std::size_t pointerWords;
    std::size_t wireOffset;
    std::size_t wireWidth;
};

struct RecordRow {
    std::string_view name;
    std::size_t size;
    std::size_t wireSize;
};

#define QIV_FIELD(T, f, wireOffset, wireWidth) \
    FieldRow { #T, #f, offsetof(T, f), sizeof(T::f), PointerWords<decltype(T::f)>(), wireOffset, wireWidth }
#define QIV_RECORD(T, wireSize) \
    RecordRow { #T, sizeof(T), wireSize }

const std::vector<RecordRow>& Records() {
    static const std::vector<RecordRow> rows = {
        QIV_RECORD(HostValue, 12),
        QIV_RECORD(HostStructureEntry, 17),
        QIV_RECORD(HostEvent, 24),
        QIV_RECORD(HostRequestParameter, 16),
        QIV_RECORD(HostRequestHeader, 8),
        QIV_RECORD(HostRequest, 48),
        QIV_RECORD(HostResponse, 62),
        QIV_RECORD(HostContext, 8),
        QIV_RECORD(HostCore, 40),
        QIV_RECORD(PluginCallbacks, 12),
        QIV_RECORD(PluginMemoryStatistics, 56),
        QIV_RECORD(PluginLoadRecord, 28),
        QIV_RECORD(ApiFunctionDescription, 61),
        QIV_RECORD(ApiArgumentDescription, 25),
        QIV_RECORD(ApiTypeDescription, 40),
        QIV_RECORD(ApiFieldDescription, 29),
        QIV_RECORD(ApiEnumeratorDescription, 16),
        QIV_RECORD(ApiEventDescription, 28),
        QIV_RECORD(RouteArgumentLocation, 8),
        QIV_RECORD(RouteTextList, 12),
        QIV_RECORD(RouteFunctionEntry, 90),
        QIV_RECORD(RouteTableDescriptor, 24),
    };
    return rows;
}

// Every field of every record, in wire order, with its wire offset and width. The union
// of HostValue is represented by its widest member; its overlay has its own test.
const std::vector<FieldRow>& Fields() {
    static const std::vector<FieldRow> rows = {
        QIV_FIELD(HostValue, kind, 0, 4),
        QIV_FIELD(HostValue, string, 4, 8),

        QIV_FIELD(HostStructureEntry, name, 0, 4),
        QIV_FIELD(HostStructureEntry, value, 4, 12),
        QIV_FIELD(HostStructureEntry, nameOwned, 16, 1),

        QIV_FIELD(HostEvent, name, 0, 4),
        QIV_FIELD(HostEvent, payload, 4, 12),
        QIV_FIELD(HostEvent, reserved, 16, 4),
        QIV_FIELD(HostEvent, context, 20, 4),

        QIV_FIELD(HostRequestParameter, name, 0, 4),
        QIV_FIELD(HostRequestParameter, value, 4, 12),

        QIV_FIELD(HostRequestHeader, name, 0, 4),
        QIV_FIELD(HostRequestHeader, value, 4, 4),

        QIV_FIELD(HostRequest, method, 0, 4),
        QIV_FIELD(HostRequest, url, 4, 4),
        QIV_FIELD(HostRequest, parameters, 8, 4),
        QIV_FIELD(HostRequest, parameterCount, 12, 4),
        QIV_FIELD(HostRequest, dispatchContext, 16, 4),
        QIV_FIELD(HostRequest, headers, 20, 4),
        QIV_FIELD(HostRequest, headerCount, 24, 4),
        QIV_FIELD(HostRequest, contentType, 28, 4),
        QIV_FIELD(HostRequest, body, 32, 4),
        QIV_FIELD(HostRequest, bodyLength, 36, 4),
        QIV_FIELD(HostRequest, clientHandle, 40, 4),
        QIV_FIELD(HostRequest, methodWord, 44, 4),

        QIV_FIELD(HostResponse, body, 0, 12),
        QIV_FIELD(HostResponse, errorText, 12, 4),
        QIV_FIELD(HostResponse, errorFlag, 16, 1),
        QIV_FIELD(HostResponse, resultFlag, 17, 1),
        QIV_FIELD(HostResponse, resultMode, 18, 4),
        QIV_FIELD(HostResponse, status, 22, 4),
        QIV_FIELD(HostResponse, resultText, 26, 4),
        QIV_FIELD(HostResponse, headers, 30, 4),
        QIV_FIELD(HostResponse, headerCount, 34, 4),
        QIV_FIELD(HostResponse, readChunk, 38, 4),
        QIV_FIELD(HostResponse, closeStream, 42, 4),
        QIV_FIELD(HostResponse, sizeHint, 46, 4),
        QIV_FIELD(HostResponse, reserved, 50, 4),
        QIV_FIELD(HostResponse, streamContext, 54, 4),
        QIV_FIELD(HostResponse, release, 58, 4),

        QIV_FIELD(HostContext, core, 0, 4),
        QIV_FIELD(HostContext, clientHandle, 4, 4),

        QIV_FIELD(HostCore, PerformRequest, 0, 4),
        QIV_FIELD(HostCore, Reserved1, 4, 4),
        QIV_FIELD(HostCore, DispatchEvent, 8, 4),
        QIV_FIELD(HostCore, SubscribeEvent, 12, 4),
        QIV_FIELD(HostCore, UnsubscribeEvent, 16, 4),
        QIV_FIELD(HostCore, ScheduleTimer, 20, 4),
        QIV_FIELD(HostCore, RunPending, 24, 4),
        QIV_FIELD(HostCore, BeginWait, 28, 4),
        QIV_FIELD(HostCore, EndWait, 32, 4),
        QIV_FIELD(HostCore, WriteLog, 36, 4),

        QIV_FIELD(PluginCallbacks, Initialize, 0, 4),
        QIV_FIELD(PluginCallbacks, Shutdown, 4, 4),
        QIV_FIELD(PluginCallbacks, GetMemoryStatistics, 8, 4),

        QIV_FIELD(PluginMemoryStatistics, peakBytesInUse, 0, 8),
        QIV_FIELD(PluginMemoryStatistics, liveAllocationsAtPeak, 8, 8),
        QIV_FIELD(PluginMemoryStatistics, bytesAllocated, 16, 8),
        QIV_FIELD(PluginMemoryStatistics, allocationCount, 24, 8),
        QIV_FIELD(PluginMemoryStatistics, bytesFreed, 32, 8),
        QIV_FIELD(PluginMemoryStatistics, freeCount, 40, 8),
        QIV_FIELD(PluginMemoryStatistics, reserved, 48, 8),

        QIV_FIELD(PluginLoadRecord, apiMajor, 0, 4),
        QIV_FIELD(PluginLoadRecord, apiMinor, 4, 4),
        QIV_FIELD(PluginLoadRecord, apiPatch, 8, 4),
        QIV_FIELD(PluginLoadRecord, callbacks, 12, 4),
        QIV_FIELD(PluginLoadRecord, pluginContext, 16, 4),
        QIV_FIELD(PluginLoadRecord, shortName, 20, 4),
        QIV_FIELD(PluginLoadRecord, routeTable, 24, 4),

        QIV_FIELD(ApiFunctionDescription, next, 0, 4),
        QIV_FIELD(ApiFunctionDescription, reserved, 4, 4),
        QIV_FIELD(ApiFunctionDescription, dispatchContext, 8, 4),
        QIV_FIELD(ApiFunctionDescription, name, 12, 4),
        QIV_FIELD(ApiFunctionDescription, nameSpace, 16, 4),
        QIV_FIELD(ApiFunctionDescription, arguments, 20, 4),
        QIV_FIELD(ApiFunctionDescription, argumentCount, 24, 4),
        QIV_FIELD(ApiFunctionDescription, resultType, 28, 4),
        QIV_FIELD(ApiFunctionDescription, resultElementType, 32, 4),
        QIV_FIELD(ApiFunctionDescription, resultTypeName, 36, 4),
        QIV_FIELD(ApiFunctionDescription, description, 40, 4),
        QIV_FIELD(ApiFunctionDescription, help, 44, 4),
        QIV_FIELD(ApiFunctionDescription, threadSafe, 48, 1),
        QIV_FIELD(ApiFunctionDescription, asyncTypeName, 49, 4),
        QIV_FIELD(ApiFunctionDescription, tags, 53, 4),
        QIV_FIELD(ApiFunctionDescription, tagCount, 57, 4),

        QIV_FIELD(ApiArgumentDescription, next, 0, 4),
        QIV_FIELD(ApiArgumentDescription, name, 4, 4),
        QIV_FIELD(ApiArgumentDescription, description, 8, 4),
        QIV_FIELD(ApiArgumentDescription, type, 12, 4),
        QIV_FIELD(ApiArgumentDescription, elementType, 16, 4),
        QIV_FIELD(ApiArgumentDescription, typeName, 20, 4),
        QIV_FIELD(ApiArgumentDescription, optional, 24, 1),

        QIV_FIELD(ApiTypeDescription, next, 0, 4),
        QIV_FIELD(ApiTypeDescription, name, 4, 4),
        QIV_FIELD(ApiTypeDescription, nameSpace, 8, 4),
        QIV_FIELD(ApiTypeDescription, size, 12, 4),
        QIV_FIELD(ApiTypeDescription, description, 16, 4),
        QIV_FIELD(ApiTypeDescription, tags, 20, 4),
        QIV_FIELD(ApiTypeDescription, tagCount, 24, 4),
        QIV_FIELD(ApiTypeDescription, fields, 28, 4),
        QIV_FIELD(ApiTypeDescription, enumerators, 32, 4),
        QIV_FIELD(ApiTypeDescription, memberCount, 36, 4),

        QIV_FIELD(ApiFieldDescription, next, 0, 4),
        QIV_FIELD(ApiFieldDescription, name, 4, 4),
        QIV_FIELD(ApiFieldDescription, description, 8, 4),
        QIV_FIELD(ApiFieldDescription, offset, 12, 4),
        QIV_FIELD(ApiFieldDescription, type, 16, 4),
        QIV_FIELD(ApiFieldDescription, elementType, 20, 4),
        QIV_FIELD(ApiFieldDescription, typeName, 24, 4),
        QIV_FIELD(ApiFieldDescription, optional, 28, 1),

        QIV_FIELD(ApiEnumeratorDescription, next, 0, 4),
        QIV_FIELD(ApiEnumeratorDescription, name, 4, 4),
        QIV_FIELD(ApiEnumeratorDescription, description, 8, 4),
        QIV_FIELD(ApiEnumeratorDescription, value, 12, 4),

        QIV_FIELD(ApiEventDescription, next, 0, 4),
        QIV_FIELD(ApiEventDescription, name, 4, 4),
        QIV_FIELD(ApiEventDescription, nameSpace, 8, 4),
        QIV_FIELD(ApiEventDescription, typeName, 12, 4),
        QIV_FIELD(ApiEventDescription, description, 16, 4),
        QIV_FIELD(ApiEventDescription, tags, 20, 4),
        QIV_FIELD(ApiEventDescription, tagCount, 24, 4),

        QIV_FIELD(RouteArgumentLocation, reserved, 0, 4),
        QIV_FIELD(RouteArgumentLocation, location, 4, 4),

        QIV_FIELD(RouteTextList, reserved, 0, 4),
        QIV_FIELD(RouteTextList, texts, 4, 4),
        QIV_FIELD(RouteTextList, count, 8, 4),

        QIV_FIELD(RouteFunctionEntry, function, 0, 61),
        QIV_FIELD(RouteFunctionEntry, HandleCall, 61, 4),
        QIV_FIELD(RouteFunctionEntry, argumentLocations, 65, 4),
        QIV_FIELD(RouteFunctionEntry, pathTemplate, 69, 4),
        QIV_FIELD(RouteFunctionEntry, method, 73, 4),
        QIV_FIELD(RouteFunctionEntry, flag, 77, 1),
        QIV_FIELD(RouteFunctionEntry, textLists, 78, 4),
        QIV_FIELD(RouteFunctionEntry, textListCount, 82, 4),
        QIV_FIELD(RouteFunctionEntry, methodWord, 86, 4),

        QIV_FIELD(RouteTableDescriptor, functions, 0, 4),
        QIV_FIELD(RouteTableDescriptor, functionCount, 4, 4),
        QIV_FIELD(RouteTableDescriptor, types, 8, 4),
        QIV_FIELD(RouteTableDescriptor, typeCount, 12, 4),
        QIV_FIELD(RouteTableDescriptor, events, 16, 4),
        QIV_FIELD(RouteTableDescriptor, eventCount, 20, 4),
    };
    return rows;
}

std::vector<FieldRow> FieldsOf(std::string_view record) {
    std::vector<FieldRow> fields;
    for (const FieldRow& row : Fields()) {
        if (row.record == record) fields.push_back(row);
    }
    return fields;
}

TEST(AbiLayout, FieldTableCoversEveryWireRecordWithoutGaps) {
    // Guards the table itself: wire offsets must tile each record exactly.
    for (const RecordRow& record : Records()) {
        SCOPED_TRACE(std::string(record.name));
        const std::vector<FieldRow> fields = FieldsOf(record.name);
        ASSERT_FALSE(fields.empty());
        std::size_t next = 0;
        for (const FieldRow& field : fields) {
            EXPECT_EQ(field.wireOffset, next) << field.field;
            next = field.wireOffset + field.wireWidth;
        }
        EXPECT_EQ(next, record.wireSize);
    }
}

TEST(AbiLayout, RecordsArePackedInWireOrderOnEveryTarget) {
    for (const RecordRow& record : Records()) {
        SCOPED_TRACE(std::string(record.name));
        std::size_t next = 0;
        for (const FieldRow& field : FieldsOf(record.name)) {
            EXPECT_EQ(field.offset, next) << field.field << " is not right after its predecessor";
            next = field.offset + field.size;
        }
        EXPECT_EQ(next, record.size) << "trailing padding";
    }
}

TEST(AbiLayout, OnlyAddressWordsWiden) {
    std::map<std::string_view, std::size_t> growth;
    for (const FieldRow& field : Fields()) {
        SCOPED_TRACE(std::string(field.record) + "." + std::string(field.field));
        EXPECT_EQ(field.size, field.wireWidth + field.pointerWords * kPointerGrowth);
        growth[field.record] += field.pointerWords * kPointerGrowth;
    }
    for (const RecordRow& record : Records()) {
        EXPECT_EQ(record.size, record.wireSize + growth[record.name]) << record.name;
    }
}

TEST(AbiLayout, ThirtyTwoBitRecordsAreTheWireRecords) {
    if (!kWireTarget) GTEST_SKIP() << "wire sizes hold on 32-bit targets (the x86 preset)";
    for (const RecordRow& record : Records()) {
        EXPECT_EQ(record.size, record.wireSize) << record.name;
    }
    for (const FieldRow& field : Fields()) {
        EXPECT_EQ(field.offset, field.wireOffset) << field.record << "." << field.field;
        EXPECT_EQ(field.size, field.wireWidth) << field.record << "." << field.field;
    }
}

TEST(AbiLayout, HostValuePayloadsOverlayAfterTheKind) {
    const std::vector<std::pair<std::size_t, std::size_t>> payloads = {
        {offsetof(HostValue, boolean), sizeof(HostValue::boolean)},
        {offsetof(HostValue, signedValue), sizeof(HostValue::signedValue)},
        {offsetof(HostValue, unsignedValue), sizeof(HostValue::unsignedValue)},
        {offsetof(HostValue, floatValue), sizeof(HostValue::floatValue)},
        {offsetof(HostValue, string), sizeof(HostValue::string)},
        {offsetof(HostValue, blob), sizeof(HostValue::blob)},
        {offsetof(HostValue, collection), sizeof(HostValue::collection)},
        {offsetof(HostValue, structure), sizeof(HostValue::structure)},
    };
    std::size_t widest = 0;
    for (const auto& [offset, size] : payloads) {
        EXPECT_EQ(offset, 4u);
        widest = std::max(widest, size);
    }
    EXPECT_EQ(sizeof(HostValue), 4 + widest);
    // The length or count word follows the address in every pointer payload.
    EXPECT_EQ(offsetof(HostValueString, length), sizeof(void*));
    EXPECT_EQ(offsetof(HostValueBlob, size), sizeof(void*));
    EXPECT_EQ(offsetof(HostValueCollection, count), sizeof(void*));
    EXPECT_EQ(offsetof(HostValueStructure, count), sizeof(void*));
}

TEST(AbiLayout, HostValueWordsHoldTheirPayloadsLittleEndian) {
    if (!kWireTarget) GTEST_SKIP() << "word positions are the wire's on 32-bit targets";
    HostValue value{};
    value.kind = QIV_HOST_VALUE_SIGNED;
    value.signedValue = -2;  // low word first: 0xFFFFFFFE, then 0xFFFFFFFF
    std::uint32_t words[3];
    std::memcpy(words, &value, sizeof words);
    EXPECT_EQ(words[0], 2u);
    EXPECT_EQ(words[1], 0xFFFFFFFEu);
    EXPECT_EQ(words[2], 0xFFFFFFFFu);
}

TEST(AbiLayout, CCompilerAgreesWithCppCompiler) {
    std::map<std::string, std::size_t> cpp;
    for (const RecordRow& record : Records()) cpp[std::string(record.name)] = record.size;
    for (const FieldRow& field : Fields()) {
        cpp[std::string(field.record) + "." + std::string(field.field)] = field.offset;
    }
    cpp["HostValue.signedValue"] = offsetof(HostValue, signedValue);

    std::size_t count = 0;
    const QivCLayoutFact* facts = QivCLayoutFacts(&count);
    ASSERT_GT(count, Records().size());
    for (std::size_t i = 0; i < count; ++i) {
        const auto found = cpp.find(facts[i].name);
        ASSERT_NE(found, cpp.end()) << facts[i].name;
        EXPECT_EQ(facts[i].value, found->second) << facts[i].name;
    }
}

TEST(AbiCodes, WireNumbersAreFixed) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> codes = {
        {QIV_HOST_VALUE_EMPTY, 0},         {QIV_HOST_VALUE_BOOL, 1},        {QIV_HOST_VALUE_SIGNED, 2},
        {QIV_HOST_VALUE_UNSIGNED, 3},      {QIV_HOST_VALUE_FLOAT, 4},       {QIV_HOST_VALUE_STRING, 5},
        {QIV_HOST_VALUE_OWNED_STRING, 6},  {QIV_HOST_VALUE_BLOB, 7},        {QIV_HOST_VALUE_OWNED_BLOB, 8},
        {QIV_HOST_VALUE_COLLECTION, 9},    {QIV_HOST_VALUE_STRUCTURE, 10},  {QIV_HTTP_NONE, 0},
        {QIV_HTTP_DELETE, 1},              {QIV_HTTP_GET, 2},               {QIV_HTTP_HEAD, 3},
        {QIV_HTTP_OPTIONS, 4},             {QIV_HTTP_PATCH, 5},             {QIV_HTTP_POST, 6},
        {QIV_HTTP_PUT, 7},                 {QIV_HTTP_CUSTOM, 8},            {QIV_ARGUMENT_LOCATION_ANY, 0},
        {QIV_ARGUMENT_LOCATION_QUERY, 1},  {QIV_ARGUMENT_LOCATION_PATH, 2}, {QIV_ARGUMENT_LOCATION_HEADER, 4},
        {QIV_ARGUMENT_LOCATION_BODY, 5},
    };
    for (std::size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(codes[i].first, codes[i].second) << "row " << i;
    }
    EXPECT_STREQ(QIV_PLUGIN_EXPORT_NAME, "load_qiv_honor_v2");
}

// ---- A route table built here and read back as a host reads it -------------------------

void QIV_CALL NoHandler(HostResponse*, const HostRequest*) {}

struct BuiltTable {
    const char* const tags[2] = {"Plugins", "Plugin walk"};
    const char* const examples[1] = {"/items/1"};
    ApiArgumentDescription arguments[2]{};
    RouteArgumentLocation locations[2]{};
    RouteTextList textLists[2]{};
    RouteFunctionEntry entries[2]{};
    ApiEnumeratorDescription enumerators[2]{};
    ApiTypeDescription types[1]{};
    ApiEventDescription events[1]{};
    RouteTableDescriptor descriptor{};
    int dispatchContexts[2] = {};

    BuiltTable() {
        arguments[0] = {&arguments[1], "id", "", 6, 0, "", 0};
        arguments[1] = {nullptr, "verbose", "", 1, 0, "", 1};
        locations[0] = {0, QIV_ARGUMENT_LOCATION_PATH};
        locations[1] = {0, QIV_ARGUMENT_LOCATION_HEADER};
        textLists[0] = {0, tags, 2};
        textLists[1] = {0, examples, 1};
        entries[0].function = {&entries[1].function, 0, &dispatchContexts[0], "GetItemsById", "", arguments, 2,
                               17, 0, "Item", "", "", 1, "", tags, 2};
        entries[0].HandleCall = NoHandler;
        entries[0].argumentLocations = locations;
        entries[0].pathTemplate = "/items/{id}";
        entries[0].method = QIV_HTTP_GET;
        entries[0].textLists = textLists;
        entries[0].textListCount = 2;
        entries[0].methodWord = "";
        entries[1].function = {nullptr, 0, &dispatchContexts[1], "PurgeItems", "", nullptr, 0, 0, 0, "", "", "",
                               0, "", nullptr, 0};
        entries[1].HandleCall = NoHandler;
        entries[1].pathTemplate = "/items";
        entries[1].method = QIV_HTTP_CUSTOM;
        entries[1].flag = 1;
        entries[1].methodWord = "PURGE";
        enumerators[0] = {&enumerators[1], "Blue", "", 2};
        enumerators[1] = {nullptr, "Red", "", -1};
        types[0] = {nullptr, "Color", "", 4, "", tags, 1, nullptr, enumerators, 2};
        events[0] = {nullptr, "OnItem", "", "Item", "", tags, 1};
        descriptor = {entries, 2, types, 1, events, 1};
    }
};

// One line per function, as a host would list routes: method, path, arguments with
// their locations, text lists.
std::string DescribeEntry(const RouteFunctionEntry& entry) {
    std::string line = entry.method == QIV_HTTP_CUSTOM ? entry.methodWord : std::to_string(entry.method);
    line += std::string(" ") + entry.pathTemplate + " " + entry.function.name;
    const ApiArgumentDescription* argument = entry.function.arguments;
    for (std::uint32_t i = 0; i < entry.function.argumentCount; ++i, argument = argument->next) {
        line += std::string(" ") + argument->name + "@" + std::to_string(entry.argumentLocations[i].location);
    }
    for (std::uint32_t i = 0; i < entry.textListCount; ++i) {
        line += " [";
        const RouteTextList& list = entry.textLists[i];
        for (std::uint32_t t = 0; t < list.count; ++t) line += std::string(list.texts[t]) + ";";
        line += "]";
    }
    return line;
}

TEST(AbiRouteTable, HostWalksFunctionsByListAndByIndexAlike) {
    const BuiltTable table;
    const RouteTableDescriptor& descriptor = table.descriptor;
    std::vector<std::string> byIndex;
    for (std::uint32_t i = 0; i < descriptor.functionCount; ++i) {
        byIndex.push_back(DescribeEntry(descriptor.functions[i]));
    }
    std::vector<std::string> byList;
    for (const ApiFunctionDescription* f = &descriptor.functions[0].function; f != nullptr; f = f->next) {
        // The description is the first member of its entry, so the entry shares its address.
        byList.push_back(DescribeEntry(*reinterpret_cast<const RouteFunctionEntry*>(f)));
    }
    const std::vector<std::string> expected = {
        "2 /items/{id} GetItemsById id@2 verbose@4 [Plugins;Plugin walk;] [/items/1;]",
        "PURGE /items PurgeItems",
    };
    EXPECT_EQ(byIndex, expected);
    EXPECT_EQ(byList, expected);
    EXPECT_EQ(Copy(descriptor.types[0].enumerators[0].next->value), -1);
    EXPECT_STREQ(descriptor.events[0].typeName, "Item");
}

// Reads the 32-bit word at a wire offset of a record, as a host in another language would.
std::uint32_t WordAt(const void* record, std::size_t offset) {
    std::uint32_t word = 0;
    std::memcpy(&word, static_cast<const unsigned char*>(record) + offset, sizeof word);
    return word;
}

std::uint32_t Address(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

TEST(AbiRouteTable, HostFindsEveryWordAtItsWireOffset) {
    if (!kWireTarget) GTEST_SKIP() << "wire offsets hold on 32-bit targets (the x86 preset)";
    const BuiltTable table;
    const RouteFunctionEntry& entry = table.entries[0];
    const auto* bytes = reinterpret_cast<const unsigned char*>(&entry);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&table.entries[1]) - bytes, 90);
    EXPECT_EQ(WordAt(&entry, 0), Address(&table.entries[1]));
    EXPECT_EQ(WordAt(&entry, 4), 0u);
    EXPECT_EQ(WordAt(&entry, 8), Address(&table.dispatchContexts[0]));
    EXPECT_EQ(WordAt(&entry, 12), Address(entry.function.name));
    EXPECT_EQ(WordAt(&entry, 20), Address(table.arguments));
    EXPECT_EQ(WordAt(&entry, 24), 2u);
    EXPECT_EQ(bytes[48], 1u);  // thread-safe
    EXPECT_EQ(WordAt(&entry, 53), Address(table.tags));
    EXPECT_EQ(WordAt(&entry, 57), 2u);
    EXPECT_EQ(WordAt(&entry, 65), Address(table.locations));
    EXPECT_EQ(WordAt(&entry, 69), Address(entry.pathTemplate));
    EXPECT_EQ(WordAt(&entry, 73), 2u);
    EXPECT_EQ(WordAt(&entry, 78), Address(table.textLists));
    EXPECT_EQ(WordAt(&entry, 82), 2u);
    EXPECT_EQ(WordAt(&table.entries[1], 86), Address(table.entries[1].methodWord));
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&table.entries[1])[77], 1u);
    // Location elements: a zero word, then the location; text lists: a zero word, texts, count.
    EXPECT_EQ(WordAt(table.locations, 8 + 0), 0u);
    EXPECT_EQ(WordAt(table.locations, 8 + 4), static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_HEADER));
    EXPECT_EQ(WordAt(table.textLists, 12 + 4), Address(table.examples));
    EXPECT_EQ(WordAt(table.textLists, 12 + 8), 1u);
    // The descriptor: three (pointer, count) pairs.
    EXPECT_EQ(WordAt(&table.descriptor, 0), Address(table.entries));
    EXPECT_EQ(WordAt(&table.descriptor, 4), 2u);
    EXPECT_EQ(WordAt(&table.descriptor, 8), Address(table.types));
    EXPECT_EQ(WordAt(&table.descriptor, 16), Address(table.events));
    EXPECT_EQ(WordAt(&table.types[0], 32), Address(table.enumerators));
    EXPECT_EQ(WordAt(&table.types[0], 28), 0u);
}

}  // namespace
