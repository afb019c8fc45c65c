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

// The rows come from abi_wire_layout.def, which the C probe reads too.
const std::vector<RecordRow>& Records() {
    static const std::vector<RecordRow> rows = {
#define QIV_WIRE_RECORD(T, wireSize) RecordRow{#T, sizeof(T), wireSize},
#define QIV_WIRE_FIELD(T, f, wireOffset, wireWidth)
#include "abi/abi_wire_layout.def"
    };
    return rows;
}

const std::vector<FieldRow>& Fields() {
    static const std::vector<FieldRow> rows = {
#define QIV_WIRE_RECORD(T, wireSize)
#define QIV_WIRE_FIELD(T, f, wireOffset, wireWidth) \
    FieldRow{#T, #f, offsetof(T, f), sizeof(T::f), PointerWords<decltype(T::f)>(), wireOffset, wireWidth},
#include "abi/abi_wire_layout.def"
    };
    return rows;
}

// Per record: the wire columns tile the wire size (this guards the table itself), the fields
// follow one another without padding, and only address words are wider than on the wire.
TEST(AbiLayout, RecordsArePackedInWireOrderAndWidenOnlyAtAddresses) {
    for (const RecordRow& record : Records()) {
        SCOPED_TRACE(std::string(record.name));
        std::size_t fields = 0;
        std::size_t wireNext = 0;
        std::size_t next = 0;
        for (const FieldRow& field : Fields()) {
            if (field.record != record.name) continue;
            ++fields;
            EXPECT_EQ(field.wireOffset, wireNext) << field.field;
            EXPECT_EQ(field.offset, next) << field.field << " is not right after its predecessor";
            EXPECT_EQ(field.size, field.wireWidth + field.pointerWords * kPointerGrowth) << field.field;
            wireNext = field.wireOffset + field.wireWidth;
            next = field.offset + field.size;
        }
        EXPECT_GT(fields, 0u);
        EXPECT_EQ(wireNext, record.wireSize);
        EXPECT_EQ(next, record.size) << "trailing padding";
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
    ASSERT_EQ(count, Records().size() + Fields().size() + 1);
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

// ---- The C probe's route table, read back as a host reads it -----------------------------

const RouteTableDescriptor& ProbeRouteTable() {
    PluginLoadRecord record{};
    QivCProbeLoad(&record);
    return *record.routeTable;
}

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

// A type with its member count, then its fields (name@offset) or enumerators (name=value).
std::string DescribeType(const ApiTypeDescription& type) {
    std::string line = std::string(type.name) + "/" + std::to_string(type.memberCount);
    for (const ApiFieldDescription* f = type.fields; f != nullptr; f = f->next) {
        line += std::string(" ") + f->name + "@" + std::to_string(f->offset);
    }
    for (const ApiEnumeratorDescription* e = type.enumerators; e != nullptr; e = e->next) {
        line += std::string(" ") + e->name + "=" + std::to_string(e->value);
    }
    return line;
}

TEST(AbiRouteTable, HostWalksFunctionsAndTypesByListAndByIndexAlike) {
    const RouteTableDescriptor& table = ProbeRouteTable();
    std::vector<std::string> byIndex;
    for (std::uint32_t i = 0; i < table.functionCount; ++i) byIndex.push_back(DescribeEntry(table.functions[i]));
    for (std::uint32_t i = 0; i < table.typeCount; ++i) byIndex.push_back(DescribeType(table.types[i]));
    std::vector<std::string> byList;
    for (const ApiFunctionDescription* f = &table.functions[0].function; f != nullptr; f = f->next) {
        // The description is the first member of its entry, so the entry shares its address.
        byList.push_back(DescribeEntry(*reinterpret_cast<const RouteFunctionEntry*>(f)));
    }
    for (const ApiTypeDescription* t = table.types; t != nullptr; t = t->next) byList.push_back(DescribeType(*t));
    const std::vector<std::string> expected = {
        "2 /c-probe/items/{id} GetCProbeItemsById id@2 verbose@1 [Plugins;Plugin c-probe;] [/c-probe/items/7;]",
        "STORE /c-probe/items StoreCProbeItems item@5",
        "ProbeItem/2 id@0 label@4",
        "ProbeColor/2 Blue=2 Red=-1",
    };
    EXPECT_EQ(byIndex, expected);
    EXPECT_EQ(byList, expected);
    ASSERT_EQ(Copy(table.eventCount), 1u);
    EXPECT_STREQ(table.events[0].typeName, "ProbeItem");
}

// Reads the 32-bit word at a wire offset of a record, as a host in another language would,
// and follows it when it is an address.
std::uint32_t WordAt(const void* record, std::size_t offset) {
    std::uint32_t word = 0;
    std::memcpy(&word, static_cast<const unsigned char*>(record) + offset, sizeof word);
    return word;
}

const unsigned char* Follow(const void* record, std::size_t offset) {
    return reinterpret_cast<const unsigned char*>(static_cast<std::uintptr_t>(WordAt(record, offset)));
}

std::string TextAt(const void* record, std::size_t offset) {
    return reinterpret_cast<const char*>(Follow(record, offset));
}

TEST(AbiRouteTable, HostFindsEveryWordAtItsWireOffset) {
    if (!kWireTarget) GTEST_SKIP() << "wire offsets hold on 32-bit targets (the x86 preset)";
    PluginLoadRecord record{};
    QivCProbeLoad(&record);
    const unsigned char* table = Follow(&record, 24);
    ASSERT_EQ(table, reinterpret_cast<const unsigned char*>(record.routeTable));
    EXPECT_EQ(WordAt(table, 4), 2u);
    EXPECT_EQ(WordAt(table, 12), 2u);
    EXPECT_EQ(WordAt(table, 20), 1u);
    EXPECT_EQ(TextAt(Follow(table, 16), 12), "ProbeItem");

    const unsigned char* entry = Follow(table, 0);
    EXPECT_EQ(Follow(entry, 0), entry + 90) << "next is the description of the following entry";
    EXPECT_EQ(WordAt(entry, 4), 0u);
    EXPECT_EQ(Follow(entry, 8), static_cast<const unsigned char*>(record.pluginContext));
    EXPECT_EQ(TextAt(entry, 12), "GetCProbeItemsById");
    EXPECT_EQ(WordAt(entry, 24), 2u);
    EXPECT_EQ(WordAt(entry, 28), 17u);
    EXPECT_EQ(entry[48], 1u);  // thread-safe
    EXPECT_EQ(TextAt(Follow(entry, 53), 4), "Plugin c-probe");
    EXPECT_EQ(WordAt(entry, 57), 2u);
    EXPECT_EQ(TextAt(entry, 69), "/c-probe/items/{id}");
    EXPECT_EQ(WordAt(entry, 73), static_cast<std::uint32_t>(QIV_HTTP_GET));
    EXPECT_EQ(WordAt(entry, 82), 2u);
    EXPECT_EQ(entry[90 + 77], 1u);
    EXPECT_EQ(TextAt(entry + 90, 86), "STORE");
    // Arguments: a list through their first word; the second is optional.
    const unsigned char* verbose = Follow(Follow(entry, 20), 0);
    EXPECT_EQ(TextAt(verbose, 4), "verbose");
    EXPECT_EQ(verbose[24], 1u);
    // Location elements: a zero word, then the location; text lists: a zero word, texts, count.
    EXPECT_EQ(WordAt(Follow(entry, 65), 8 + 0), 0u);
    EXPECT_EQ(WordAt(Follow(entry, 65), 8 + 4), static_cast<std::uint32_t>(QIV_ARGUMENT_LOCATION_QUERY));
    EXPECT_EQ(TextAt(Follow(Follow(entry, 78), 12 + 4), 0), "/c-probe/items/7");
    EXPECT_EQ(WordAt(Follow(entry, 78), 12 + 8), 1u);
    // Types: fields and enumerators as lists; the color has no fields.
    const unsigned char* item = Follow(table, 8);
    EXPECT_EQ(WordAt(item, 36), 2u);
    EXPECT_EQ(WordAt(Follow(Follow(item, 28), 0), 12), 4u) << "offset of label";
    const unsigned char* color = Follow(item, 0);
    EXPECT_EQ(WordAt(color, 28), 0u);
    EXPECT_EQ(WordAt(Follow(Follow(color, 32), 0), 12), 0xFFFFFFFFu) << "Red is -1";
}

}  // namespace
