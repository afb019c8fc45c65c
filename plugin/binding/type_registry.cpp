#include "binding/type_registry.h"

#include <array>

#include "util/fnv1a.h"
#include "binding/type_builder.h"

namespace vclient {

bool TypeRecord::HasEnumeratorValue(std::int64_t value) const noexcept {
    return FindEnumerator(value) != nullptr;
}

const EnumeratorRecord* TypeRecord::FindEnumerator(std::int64_t value) const noexcept {
    // Compared as 64-bit numbers: 4294967299 is not the enumerator 3.
    for (const auto& entry : enumerators) {
        const EnumeratorRecord& enumerator = entry.second;
        if (static_cast<std::int64_t>(enumerator.value) == value) return &enumerator;
    }
    return nullptr;
}

std::size_t TypeRegistry::KeyHash::operator()(std::uint32_t key) const noexcept {
    const std::array<char, 4> bytes = {static_cast<char>(key & 0xFFu), static_cast<char>((key >> 8) & 0xFFu),
                                       static_cast<char>((key >> 16) & 0xFFu), static_cast<char>(key >> 24)};
    return Fnv1a(std::string_view(bytes.data(), bytes.size()));
}

std::size_t TypeRegistry::NameHash::operator()(std::string_view name) const noexcept {
    return Fnv1a(name);
}

TypeBuilder TypeRegistry::BeginType(std::uint32_t nativeSize, std::string_view name, TypeIdentity identity,
                                    bool isEnumeration) {
    const std::lock_guard lock(mutex_);
    if (byName_.find(name) != byName_.end()) return TypeBuilder(*this, nullptr);
    auto record = std::make_unique<TypeRecord>();
    record->nativeSize = nativeSize;
    record->isEnumeration = isEnumeration;
    record->name = std::string(name);
    record->identity = identity;
    record->registry = this;
    TypeRecord* raw = record.get();
    types_.push_back(std::move(record));
    byName_.emplace(raw->name, raw);
    // A native type registered under a second name keeps its first record by key.
    byKey_.emplace(identity.key, raw);
    NoteChange();
    return TypeBuilder(*this, raw);
}

const TypeRecord* TypeRegistry::FindByKey(std::uint32_t key) const {
    const std::lock_guard lock(mutex_);
    const auto found = byKey_.find(key);
    return found == byKey_.end() ? nullptr : found->second;
}

const TypeRecord* TypeRegistry::FindByName(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    const auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : found->second;
}

const std::string* TypeRegistry::FindEnumeratorName(std::uint32_t typeKey, std::int32_t value) const {
    const TypeRecord* record = FindByKey(typeKey);
    if (record == nullptr || !record->isEnumeration) return nullptr;
    const EnumeratorRecord* enumerator = record->FindEnumerator(value);
    return enumerator == nullptr ? nullptr : &enumerator->name;
}

bool TypeRegistry::IsEnumeratorValue(std::uint32_t typeKey, std::int64_t value) const {
    const TypeRecord* record = FindByKey(typeKey);
    return record != nullptr && record->isEnumeration && record->HasEnumeratorValue(value);
}

std::size_t TypeRegistry::TypeCount() const {
    const std::lock_guard lock(mutex_);
    return types_.size();
}

const TypeRecord* TypeRegistry::TypeAt(std::size_t index) const {
    const std::lock_guard lock(mutex_);
    return index < types_.size() ? types_[index].get() : nullptr;
}

}  // namespace vclient
