// TypeBuilder: fills one type record during registration. TypeRegistry::BeginType hands it
// out; when the name was already registered the builder is closed and every call does
// nothing, so the first registration of a name wins. The typed builders of
// register_type.h wrap it; code that registers types uses those.
//
// Every call returns the builder, so a registration reads as a chain.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "binding/type_record.h"

namespace vclient {

class TypeRegistry;

// What a field registration may add beyond its name, place and type.
struct FieldOptions {
    std::uint8_t flags = 0;  // kOmitWhenEmpty, kRequired
    std::string_view description = {};
    // Shown by API descriptions instead of the native type; None keeps the native one.
    TypeIdentifier declaredType = {};
};

class TypeBuilder {
public:
    TypeBuilder(TypeRegistry& registry, TypeRecord* record) noexcept : registry_(&registry), record_(record) {}

    // False when the name was registered before and this builder does nothing.
    [[nodiscard]] bool IsOpen() const noexcept { return record_ != nullptr; }
    // The record being filled; null when closed.
    [[nodiscard]] const TypeRecord* Record() const noexcept { return record_; }
    [[nodiscard]] TypeRegistry& Registry() const noexcept { return *registry_; }

    TypeBuilder& Namespace(std::string_view nameSpace);
    TypeBuilder& Description(std::string_view description);
    // An empty tag is ignored.
    TypeBuilder& AddTag(std::string_view tag);
    TypeBuilder& AddTags(std::initializer_list<std::string_view> tags);

    // Records only: appends a field in wire order. Ignored on an enumeration.
    TypeBuilder& AddField(std::string_view name, std::uint32_t offset, TypeIdentifier type,
                          const FieldConverter& converter, const FieldOptions& options);
    // Enumerations only: a name already present keeps its first value. Ignored on a record.
    TypeBuilder& AddEnumerator(std::string_view name, std::int32_t value, std::string_view description = {});

private:
    TypeRegistry* registry_;
    TypeRecord* record_;
};

}  // namespace vclient
