#include "binding/host_value.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <new>

#include "value/nesting_limit.h"
#include "value/structure_filler.h"
#include "util/format_positional.h"

namespace vclient {

namespace {

// %1 the name, %2 the host kind's printed name.
constexpr std::string_view kIncompatibleKind =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.";
// %1 the name, %2 the host kind's printed name, %3 the count.
constexpr std::string_view kMissingData =
    "Couldn't assign value to '%1' because the input %2 has %3 elements but no data.";
// %1 the name.
constexpr std::string_view kUnnamedEntry =
    "Couldn't assign value to '%1' because an entry of the input structure has no name.";
// %1 the name, %2 the limit.
constexpr std::string_view kTooDeep = "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";
// %1 the name, %2 the count.
constexpr std::string_view kTooLarge = "Couldn't assign value to '%1' because the input collection has %2 elements.";
// %1 the name.
constexpr std::string_view kOutOfMemory = "Couldn't assign value to '%1' because memory ran out.";

// Reservations for a host collection are capped: the count comes from outside.
constexpr std::uint32_t kMaxReservation = 4096;

char* DuplicateText(std::string_view text, std::uint32_t& length) noexcept {
    const std::size_t untilZero = std::min(text.size(), text.find('\0'));
    char* copy = new (std::nothrow) char[untilZero + 1];
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text.data(), untilZero);
    copy[untilZero] = '\0';
    length = static_cast<std::uint32_t>(untilZero);
    return copy;
}

void ClearCollection(HostValue& value) noexcept {
    HostValue* elements = value.collection.elements;
    const std::uint32_t count = value.collection.count;
    if (elements == nullptr) return;
    for (std::uint32_t index = 0; index < count; ++index) HostValueClear(elements[index]);
    delete[] elements;
}

void ClearStructure(HostValue& value) noexcept {
    HostStructureEntry* entries = value.structure.entries;
    const std::uint32_t count = value.structure.count;
    if (entries == nullptr) return;
    for (std::uint32_t index = 0; index < count; ++index) {
        if (entries[index].nameOwned != 0) delete[] entries[index].name;
        HostValueClear(entries[index].value);
    }
    delete[] entries;
}

// ---- BindingProperty to host value -------------------------------------------------

bool FillHostValue(HostValue& out, const BindingProperty& value, const EnumNames* registry, std::size_t depth);

bool FillCollection(HostValue& out, const BindingProperty& value, const EnumNames* registry, std::size_t depth) {
    const auto count = static_cast<std::uint32_t>(value.Size());
    HostValue* elements = NewHostValueArray(count);
    if (count != 0 && elements == nullptr) return false;
    HostValueSetCollection(out, elements, count);
    for (std::uint32_t index = 0; index < count; ++index) {
        if (!FillHostValue(elements[index], value.At(index), registry, depth + 1)) return false;
    }
    return true;
}

bool FillStructure(HostValue& out, const BindingProperty& value, const EnumNames* registry, std::size_t depth) {
    const auto count = static_cast<std::uint32_t>(value.Size());
    HostStructureEntry* entries = NewHostStructureEntries(count);
    if (count != 0 && entries == nullptr) return false;
    HostValueSetStructure(out, entries, count);
    std::uint32_t index = 0;
    for (const auto& [name, field] : value.Fields()) {
        std::uint32_t length = 0;
        const char* copy = DuplicateText(name, length);
        if (copy == nullptr) return false;
        entries[index].name = copy;
        entries[index].nameOwned = 1;
        if (!FillHostValue(entries[index].value, field, registry, depth + 1)) return false;
        ++index;
    }
    return true;
}

bool FillEnum(HostValue& out, BindingEnumPair pair, const EnumNames* registry) {
    const std::string* name =
        registry == nullptr ? nullptr : registry->FindEnumeratorName(static_cast<std::uint32_t>(pair.typeKey), pair.value);
    if (name != nullptr) return HostValueSetText(out, *name);
    HostValueSetSigned(out, pair.value);
    return true;
}

bool FillHostValue(HostValue& out, const BindingProperty& value, const EnumNames* registry, std::size_t depth) {
    switch (value.Kind()) {
        case BindingPropertyType::Bool:
            HostValueSetBool(out, value.GetBool());
            return true;
        case BindingPropertyType::Signed:
            HostValueSetSigned(out, value.GetSigned());
            return true;
        case BindingPropertyType::Unsigned:
            HostValueSetUnsigned(out, value.GetUnsigned());
            return true;
        case BindingPropertyType::Float:
            HostValueSetDouble(out, value.GetFloat());
            return true;
        case BindingPropertyType::String:
            return HostValueSetText(out, value.GetString());
        case BindingPropertyType::Blob: {
            const BindingBlob& bytes = value.GetBlob();
            return HostValueSetBytes(out, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        }
        case BindingPropertyType::Enum:
            return FillEnum(out, value.GetEnum(), registry);
        case BindingPropertyType::Collection:
            return depth < kMaxNestingDepth && FillCollection(out, value, registry, depth);
        case BindingPropertyType::Structure:
            return depth < kMaxNestingDepth && FillStructure(out, value, registry, depth);
        default:
            HostValueClear(out);
            return true;
    }
}

// ---- Host value to BindingProperty -------------------------------------------------

// The road shares the readers' tree building: a StructureFiller fills every Structure,
// so arrays of records of one shape (players, items, timelines) link their fields by a
// plan learnt once instead of one tree insertion each.
struct ReadContext {
    BindingResult& result;
    std::string_view name;
    StructureFiller& structures;
};

bool ReadHostValue(ReadContext& context, BindingProperty& target, const HostValue& value, std::size_t depth);

// Failing clears the result's tree (which may be the one being filled): the structure
// filler lets go of it first.
bool Fail(ReadContext& context, std::string message) {
    context.structures.Finish();
    context.result.Fail(message);
    return false;
}

// A count read as signed: 0 or negative is an empty container.
std::uint32_t ContainerCount(std::uint32_t count) noexcept {
    return static_cast<std::int32_t>(count) <= 0 ? 0 : count;
}

bool ReadCollection(ReadContext& context, BindingProperty& target, const HostValue& value, std::size_t depth) {
    const HostValue* elements = value.collection.elements;
    const std::uint32_t count = ContainerCount(value.collection.count);
    target.Clear();
    target.EnsureCollection();
    if (count == 0) return true;
    if (elements == nullptr) return Fail(context, Format(kMissingData, context.name, HostValueKindName(9), count));
    if (count > BindingProperty::kMaxCollectionSize) return Fail(context, Format(kTooLarge, context.name, count));
    (void)target.Reserve(std::min(count, kMaxReservation));
    for (std::uint32_t index = 0; index < count; ++index) {
        if (!ReadHostValue(context, target.Element(index), elements[index], depth + 1)) return false;
    }
    return true;
}

bool ReadStructure(ReadContext& context, BindingProperty& target, const HostValue& value, std::size_t depth) {
    const HostStructureEntry* entries = value.structure.entries;
    const std::uint32_t count = ContainerCount(value.structure.count);
    target.Clear();
    if (count == 0) {
        target.EnsureStructure();
        return true;
    }
    if (entries == nullptr) {
        target.EnsureStructure();
        return Fail(context, Format(kMissingData, context.name, HostValueKindName(10), count));
    }
    StructureFiller& structures = context.structures;
    structures.Open(target, depth);
    for (std::uint32_t index = 0; index < count; ++index) {
        const char* entryName = entries[index].name;
        if (entryName == nullptr) return Fail(context, Format(kUnnamedEntry, context.name));
        if (!ReadHostValue(context, structures.Field(entryName), entries[index].value, depth + 1)) return false;
    }
    structures.Close();
    return true;
}

bool ReadBlob(ReadContext& context, BindingProperty& target, const HostValue& value) {
    const std::uint8_t* bytes = value.blob.bytes;
    const std::uint32_t size = value.blob.size;
    if (size == 0) {
        target.SetBlob(BindingBlob{});
        return true;
    }
    if (bytes == nullptr) return Fail(context, Format(kMissingData, context.name, HostValueKindName(7), size));
    target.SetBlob(BindingBlob(bytes, bytes + size));
    return true;
}

bool ReadHostValue(ReadContext& context, BindingProperty& target, const HostValue& value, std::size_t depth) {
    const std::uint32_t kind = value.kind;
    switch (kind) {
        case QIV_HOST_VALUE_EMPTY:
            target.Clear();
            return true;
        case QIV_HOST_VALUE_BOOL:
            target.SetBool(value.boolean != 0);
            return true;
        case QIV_HOST_VALUE_SIGNED:
            target.SetSigned(value.signedValue);
            return true;
        case QIV_HOST_VALUE_UNSIGNED:
            target.SetUnsigned(value.unsignedValue);
            return true;
        case QIV_HOST_VALUE_FLOAT:
            target.SetFloat(value.floatValue);
            return true;
        case QIV_HOST_VALUE_STRING:
        case QIV_HOST_VALUE_OWNED_STRING: {
            // Read up to the zero; the length word is informative only.
            const char* text = value.string.text;
            target.SetString(text == nullptr ? "" : text);
            return true;
        }
        case QIV_HOST_VALUE_BLOB:
        case QIV_HOST_VALUE_OWNED_BLOB:
            return ReadBlob(context, target, value);
        case QIV_HOST_VALUE_COLLECTION:
        case QIV_HOST_VALUE_STRUCTURE:
            if (depth >= kMaxNestingDepth) return Fail(context, Format(kTooDeep, context.name, kMaxNestingDepth));
            return kind == QIV_HOST_VALUE_COLLECTION ? ReadCollection(context, target, value, depth)
                                                     : ReadStructure(context, target, value, depth);
        default:
            return Fail(context, Format(kIncompatibleKind, context.name, HostValueKindName(kind)));
    }
}

}  // namespace

void HostValueClear(HostValue& value) noexcept {
    switch (value.kind) {
        case QIV_HOST_VALUE_OWNED_STRING:
            delete[] value.string.text;
            break;
        case QIV_HOST_VALUE_OWNED_BLOB:
            delete[] value.blob.bytes;
            break;
        case QIV_HOST_VALUE_COLLECTION:
            ClearCollection(value);
            break;
        case QIV_HOST_VALUE_STRUCTURE:
            ClearStructure(value);
            break;
        default:
            break;  // kinds 5 and 7 borrow their payload
    }
    std::memset(static_cast<void*>(&value), 0, sizeof(HostValue));
}

void HostValueSetBool(HostValue& value, bool flag) noexcept {
    HostValueClear(value);
    value.kind = QIV_HOST_VALUE_BOOL;
    value.boolean = flag ? 1 : 0;
}

void HostValueSetSigned(HostValue& value, std::int64_t number) noexcept {
    HostValueClear(value);
    value.kind = QIV_HOST_VALUE_SIGNED;
    value.signedValue = number;
}

void HostValueSetUnsigned(HostValue& value, std::uint64_t number) noexcept {
    HostValueClear(value);
    value.kind = QIV_HOST_VALUE_UNSIGNED;
    value.unsignedValue = number;
}

void HostValueSetDouble(HostValue& value, double number) noexcept {
    HostValueClear(value);
    value.kind = QIV_HOST_VALUE_FLOAT;
    value.floatValue = number;
}

bool HostValueSetText(HostValue& value, std::string_view text) noexcept {
    HostValueClear(value);
    std::uint32_t length = 0;
    char* copy = DuplicateText(text, length);
    if (copy == nullptr) return false;
    value.kind = QIV_HOST_VALUE_OWNED_STRING;
    value.string.text = copy;
    value.string.length = length;
    return true;
}

bool HostValueSetText(HostValue& value, const char* text) noexcept {
    return HostValueSetText(value, text == nullptr ? std::string_view() : std::string_view(text));
}

bool HostValueSetBytes(HostValue& value, const std::uint8_t* bytes, std::uint32_t count) noexcept {
    HostValueClear(value);
    std::uint8_t* copy = nullptr;
    if (count != 0 && bytes != nullptr) {
        copy = new (std::nothrow) std::uint8_t[count];
        if (copy == nullptr) return false;
        std::memcpy(copy, bytes, count);
    }
    value.kind = QIV_HOST_VALUE_OWNED_BLOB;
    value.blob.bytes = copy;
    value.blob.size = copy == nullptr ? 0 : count;
    return true;
}

void HostValueSetCollection(HostValue& value, HostValue* elements, std::uint32_t count) noexcept {
    HostValueClear(value);
    value.kind = QIV_HOST_VALUE_COLLECTION;
    value.collection.elements = elements;
    value.collection.count = elements == nullptr ? 0 : count;
}

void HostValueSetStructure(HostValue& value, HostStructureEntry* entries, std::uint32_t count) noexcept {
    HostValueClear(value);
    value.kind = QIV_HOST_VALUE_STRUCTURE;
    value.structure.entries = entries;
    value.structure.count = entries == nullptr ? 0 : count;
}

HostValue* NewHostValueArray(std::uint32_t count) noexcept {
    if (count == 0) return nullptr;
    return new (std::nothrow) HostValue[count]();
}

HostStructureEntry* NewHostStructureEntries(std::uint32_t count) noexcept {
    if (count == 0) return nullptr;
    return new (std::nothrow) HostStructureEntry[count]();
}

std::string_view HostValueKindName(std::uint32_t kind) noexcept {
    static constexpr std::array<std::string_view, 11> kNames = {
        "", "bool", "signed", "unsigned", "float", "string", "string", "blob", "blob", "collection", "structure",
    };
    return kind < kNames.size() ? kNames[kind] : std::string_view();
}

bool BindingToHostValue(HostValue& out, const BindingProperty& value, const EnumNames* registry) noexcept {
    HostValueClear(out);
    bool filled = false;
    try {
        filled = FillHostValue(out, value, registry, 0);
    } catch (const std::exception&) {
        filled = false;  // memory ran out inside a registry lookup
    }
    if (!filled) HostValueClear(out);
    return filled;
}

bool HostValueToBinding(BindingResult& result, BindingProperty& target, const HostValue& value,
                        std::string_view name, std::size_t depth) noexcept {
    if (!result.Succeeded()) return false;
    try {
        // Links what it holds when it goes, before the caller sees the tree.
        StructureFiller structures;
        ReadContext context{result, name, structures};
        return ReadHostValue(context, target, value, depth);
    } catch (const std::exception&) {
        // Memory ran out (or a collection grew past its limit) while building the tree.
        try {
            result.Fail(Format(kOutOfMemory, name));
        } catch (const std::exception&) {
            // Nothing more can be said without memory; the flag still tells the caller.
        }
        return false;
    }
}

}  // namespace vclient
