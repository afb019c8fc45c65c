#include "core/host_value_json.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qivhost {
namespace {

char* DuplicateText(std::string_view text) {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) std::abort();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

template <typename T>
T* AllocateZeroed(std::size_t count) {
    if (count == 0) return nullptr;
    auto* array = static_cast<T*>(std::calloc(count, sizeof(T)));
    if (array == nullptr) std::abort();
    return array;
}

// Counts of 0 or negative (read as signed) are empty.
std::uint32_t UsableCount(std::uint32_t count) { return static_cast<std::int32_t>(count) <= 0 ? 0 : count; }

void SetText(HostValue& value, std::string_view text) {
    value.kind = QIV_HOST_VALUE_OWNED_STRING;
    value.string.text = DuplicateText(text);
    value.string.length = static_cast<std::uint32_t>(text.size());
}

void SetBytes(HostValue& value, const std::uint8_t* bytes, std::uint32_t size) {
    value.kind = QIV_HOST_VALUE_OWNED_BLOB;
    auto* copy = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (copy == nullptr) std::abort();
    if (size != 0 && bytes != nullptr) std::memcpy(copy, bytes, size);
    value.blob.bytes = copy;
    value.blob.size = bytes != nullptr ? size : 0;
}

std::string_view TextOf(const HostValue& value) {
    const char* text = value.string.text;
    return text == nullptr ? std::string_view() : std::string_view(text);
}

void CopyInto(HostValue& target, const HostValue& source, int depth);

void CopyCollection(HostValue& target, const HostValue& source, int depth) {
    const std::uint32_t count = UsableCount(source.collection.count);
    const HostValue* elements = source.collection.elements;
    target.kind = QIV_HOST_VALUE_COLLECTION;
    target.collection.count = elements == nullptr ? 0 : count;
    target.collection.elements = AllocateZeroed<HostValue>(target.collection.count);
    for (std::uint32_t i = 0; i < target.collection.count; ++i) CopyInto(target.collection.elements[i], elements[i], depth + 1);
}

void CopyStructure(HostValue& target, const HostValue& source, int depth) {
    const std::uint32_t count = UsableCount(source.structure.count);
    const HostStructureEntry* entries = source.structure.entries;
    target.kind = QIV_HOST_VALUE_STRUCTURE;
    target.structure.count = entries == nullptr ? 0 : count;
    target.structure.entries = AllocateZeroed<HostStructureEntry>(target.structure.count);
    for (std::uint32_t i = 0; i < target.structure.count; ++i) {
        const char* name = entries[i].name;
        target.structure.entries[i].name = DuplicateText(name == nullptr ? "" : name);
        target.structure.entries[i].nameOwned = 1;
        CopyInto(target.structure.entries[i].value, entries[i].value, depth + 1);
    }
}

void CopyInto(HostValue& target, const HostValue& source, int depth) {
    target = HostValue{};
    if (depth > kMaxHostValueDepth) return;
    switch (source.kind) {
        case QIV_HOST_VALUE_BOOL: target.kind = source.kind; target.boolean = source.boolean != 0 ? 1 : 0; return;
        case QIV_HOST_VALUE_SIGNED:
        case QIV_HOST_VALUE_UNSIGNED:
        case QIV_HOST_VALUE_FLOAT: target = source; return;
        case QIV_HOST_VALUE_STRING:
        case QIV_HOST_VALUE_OWNED_STRING: SetText(target, TextOf(source)); return;
        case QIV_HOST_VALUE_BLOB:
        case QIV_HOST_VALUE_OWNED_BLOB: SetBytes(target, source.blob.bytes, source.blob.size); return;
        case QIV_HOST_VALUE_COLLECTION: CopyCollection(target, source, depth); return;
        case QIV_HOST_VALUE_STRUCTURE: CopyStructure(target, source, depth); return;
        default: return;
    }
}

// ---- JSON to value ----

bool FromJsonValue(HostValue& target, const rapidjson::Value& json, int depth, std::string& error) {
    target = HostValue{};
    if (depth > kMaxHostValueDepth) {
        error = "JSON nests deeper than " + std::to_string(kMaxHostValueDepth) + " levels";
        return false;
    }
    if (json.IsNull()) return true;
    if (json.IsBool()) {
        target.kind = QIV_HOST_VALUE_BOOL;
        target.boolean = json.GetBool() ? 1 : 0;
        return true;
    }
    if (json.IsUint64()) {
        target.kind = QIV_HOST_VALUE_UNSIGNED;
        target.unsignedValue = json.GetUint64();
        return true;
    }
    if (json.IsInt64()) {
        target.kind = QIV_HOST_VALUE_SIGNED;
        target.signedValue = json.GetInt64();
        return true;
    }
    if (json.IsNumber()) {
        target.kind = QIV_HOST_VALUE_FLOAT;
        target.floatValue = json.GetDouble();
        return true;
    }
    if (json.IsString()) {
        SetText(target, std::string_view(json.GetString(), json.GetStringLength()));
        return true;
    }
    if (json.IsArray()) {
        target.kind = QIV_HOST_VALUE_COLLECTION;
        target.collection.count = json.Size();
        target.collection.elements = AllocateZeroed<HostValue>(json.Size());
        for (rapidjson::SizeType i = 0; i < json.Size(); ++i) {
            if (!FromJsonValue(target.collection.elements[i], json[i], depth + 1, error)) return false;
        }
        return true;
    }
    target.kind = QIV_HOST_VALUE_STRUCTURE;
    target.structure.count = json.MemberCount();
    target.structure.entries = AllocateZeroed<HostStructureEntry>(json.MemberCount());
    std::uint32_t i = 0;
    for (auto member = json.MemberBegin(); member != json.MemberEnd(); ++member, ++i) {
        HostStructureEntry& entry = target.structure.entries[i];
        entry.name = DuplicateText(std::string_view(member->name.GetString(), member->name.GetStringLength()));
        entry.nameOwned = 1;
        if (!FromJsonValue(entry.value, member->value, depth + 1, error)) return false;
    }
    return true;
}

// ---- value to JSON ----

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

std::string Base64(const std::uint8_t* bytes, std::uint32_t size) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::uint32_t i = 0; i < size; i += 3) {
        const std::uint32_t chunk = (std::uint32_t{bytes[i]} << 16) | (i + 1 < size ? std::uint32_t{bytes[i + 1]} << 8 : 0u) |
                                    (i + 2 < size ? std::uint32_t{bytes[i + 2]} : 0u);
        out += kAlphabet[(chunk >> 18) & 63];
        out += kAlphabet[(chunk >> 12) & 63];
        out += i + 1 < size ? kAlphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < size ? kAlphabet[chunk & 63] : '=';
    }
    return out;
}

void WriteValue(JsonWriter& writer, const HostValue& value, int depth) {
    if (depth > kMaxHostValueDepth) {
        writer.Null();
        return;
    }
    switch (value.kind) {
        case QIV_HOST_VALUE_BOOL: writer.Bool(value.boolean != 0); return;
        case QIV_HOST_VALUE_SIGNED: writer.Int64(value.signedValue); return;
        case QIV_HOST_VALUE_UNSIGNED: writer.Uint64(value.unsignedValue); return;
        case QIV_HOST_VALUE_FLOAT: {
            const double number = value.floatValue;
            if (std::isfinite(number)) writer.Double(number); else writer.Null();
            return;
        }
        case QIV_HOST_VALUE_STRING:
        case QIV_HOST_VALUE_OWNED_STRING: {
            const std::string_view text = TextOf(value);
            writer.String(text.data() == nullptr ? "" : text.data(), static_cast<rapidjson::SizeType>(text.size()));
            return;
        }
        case QIV_HOST_VALUE_BLOB:
        case QIV_HOST_VALUE_OWNED_BLOB: {
            const std::uint8_t* bytes = value.blob.bytes;
            const std::string text = bytes == nullptr ? std::string() : Base64(bytes, value.blob.size);
            writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
            return;
        }
        case QIV_HOST_VALUE_COLLECTION: {
            const HostValue* elements = value.collection.elements;
            const std::uint32_t count = elements == nullptr ? 0 : UsableCount(value.collection.count);
            writer.StartArray();
            for (std::uint32_t i = 0; i < count; ++i) WriteValue(writer, elements[i], depth + 1);
            writer.EndArray();
            return;
        }
        case QIV_HOST_VALUE_STRUCTURE: {
            const HostStructureEntry* entries = value.structure.entries;
            const std::uint32_t count = entries == nullptr ? 0 : UsableCount(value.structure.count);
            writer.StartObject();
            for (std::uint32_t i = 0; i < count; ++i) {
                const char* name = entries[i].name;
                writer.Key(name == nullptr ? "" : name);
                WriteValue(writer, entries[i].value, depth + 1);
            }
            writer.EndObject();
            return;
        }
        default: writer.Null(); return;
    }
}

}  // namespace

void ClearHostValue(HostValue& value) {
    switch (value.kind) {
        case QIV_HOST_VALUE_OWNED_STRING: std::free(const_cast<char*>(value.string.text)); break;
        case QIV_HOST_VALUE_OWNED_BLOB: std::free(const_cast<std::uint8_t*>(value.blob.bytes)); break;
        case QIV_HOST_VALUE_COLLECTION: {
            HostValue* elements = value.collection.elements;
            const std::uint32_t count = elements == nullptr ? 0 : UsableCount(value.collection.count);
            for (std::uint32_t i = 0; i < count; ++i) ClearHostValue(elements[i]);
            std::free(elements);
            break;
        }
        case QIV_HOST_VALUE_STRUCTURE: {
            HostStructureEntry* entries = value.structure.entries;
            const std::uint32_t count = entries == nullptr ? 0 : UsableCount(value.structure.count);
            for (std::uint32_t i = 0; i < count; ++i) {
                if (entries[i].nameOwned != 0) std::free(const_cast<char*>(entries[i].name));
                ClearHostValue(entries[i].value);
            }
            std::free(entries);
            break;
        }
        default: break;
    }
    value = HostValue{};
}

OwnedHostValue::OwnedHostValue() : value_{} {}
OwnedHostValue::~OwnedHostValue() { ClearHostValue(value_); }
OwnedHostValue::OwnedHostValue(const OwnedHostValue& other) : value_{} { CopyInto(value_, other.value_, 0); }

OwnedHostValue& OwnedHostValue::operator=(const OwnedHostValue& other) {
    if (this == &other) return *this;
    ClearHostValue(value_);
    CopyInto(value_, other.value_, 0);
    return *this;
}

OwnedHostValue::OwnedHostValue(OwnedHostValue&& other) noexcept : value_(other.value_) { other.value_ = HostValue{}; }

OwnedHostValue& OwnedHostValue::operator=(OwnedHostValue&& other) noexcept {
    if (this == &other) return *this;
    ClearHostValue(value_);
    value_ = other.value_;
    other.value_ = HostValue{};
    return *this;
}

OwnedHostValue OwnedHostValue::CopyOf(const HostValue& value) {
    OwnedHostValue copy;
    CopyInto(copy.value_, value, 0);
    return copy;
}

OwnedHostValue OwnedHostValue::Text(std::string_view text) {
    OwnedHostValue owned;
    SetText(owned.value_, text);
    return owned;
}

OwnedHostValue OwnedHostValue::Adopt(const HostValue& value) {
    OwnedHostValue owned;
    owned.value_ = value;
    return owned;
}

HostValue OwnedHostValue::Release() {
    const HostValue value = value_;
    value_ = HostValue{};
    return value;
}

HostValueFromJson HostValueFromJsonText(std::string_view json) {
    HostValueFromJson result;
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError()) {
        result.error = std::string(rapidjson::GetParseError_En(document.GetParseError())) + " (at offset " +
                       std::to_string(document.GetErrorOffset()) + ")";
        return result;
    }
    HostValue built{};
    const bool ok = FromJsonValue(built, document, 0, result.error);
    result.value = OwnedHostValue::Adopt(built);
    if (!ok) {
        result.value = OwnedHostValue();
        return result;
    }
    result.ok = true;
    return result;
}

std::string HostValueToJson(const HostValue& value) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    WriteValue(writer, value, 0);
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool HostValueText(const HostValue& value, std::string& out) {
    if (value.kind != QIV_HOST_VALUE_STRING && value.kind != QIV_HOST_VALUE_OWNED_STRING) return false;
    out = std::string(TextOf(value));
    return true;
}

StructureBuilder& StructureBuilder::Add(std::string_view name, OwnedHostValue value) {
    members_.push_back({std::string(name), std::move(value)});
    return *this;
}

StructureBuilder& StructureBuilder::AddText(std::string_view name, std::string_view text) {
    return Add(name, OwnedHostValue::Text(text));
}

OwnedHostValue StructureBuilder::Build() {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_STRUCTURE;
    value.structure.count = static_cast<std::uint32_t>(members_.size());
    value.structure.entries = AllocateZeroed<HostStructureEntry>(members_.size());
    for (std::size_t i = 0; i < members_.size(); ++i) {
        value.structure.entries[i].name = DuplicateText(members_[i].name);
        value.structure.entries[i].nameOwned = 1;
        value.structure.entries[i].value = members_[i].value.Release();
    }
    members_.clear();
    return OwnedHostValue::Adopt(value);
}

}  // namespace qivhost
