// Proves the records of qiv/plugin_abi.h against the wire layout: on a 32-bit target every
// offset and size is the wire's; on every target the records are packed in wire order and
// widen only where a pointer is; and the C compiler agrees with the C++ one.
#include "qiv/plugin_abi.h"

#include "abi/abi_c_test.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

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

struct RecordRow { std::string_view name; std::size_t size; std::size_t wireSize; };

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
    for (const RecordRow& record : Records()) EXPECT_EQ(record.size, record.wireSize) << record.name;
    for (const FieldRow& field : Fields()) {
        EXPECT_EQ(field.offset, field.wireOffset) << field.record << "." << field.field;
        EXPECT_EQ(field.size, field.wireWidth) << field.record << "." << field.field;
    }
}

// The length or count word follows the address in every pointer payload of a HostValue.
TEST(AbiLayout, HostValuePayloadsHoldTheAddressFirst) {
    EXPECT_EQ(offsetof(HostValueString, length), sizeof(void*));
    EXPECT_EQ(offsetof(HostValueBlob, size), sizeof(void*));
    EXPECT_EQ(offsetof(HostValueCollection, count), sizeof(void*));
    EXPECT_EQ(offsetof(HostValueStructure, count), sizeof(void*));
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
    for (std::size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(codes[i].first, codes[i].second) << "row " << i;
    EXPECT_STREQ(QIV_PLUGIN_EXPORT_NAME, "load_qiv_honor_v2");
}

}  // namespace
