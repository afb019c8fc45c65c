#include "binding/type_builder.h"

#include <string>

#include "util/fnv1a.h"

namespace vclient {

TypeBuilder& TypeBuilder::Namespace(std::string_view nameSpace) {
    if (record_ != nullptr) record_->nameSpace = std::string(nameSpace);
    return *this;
}

TypeBuilder& TypeBuilder::Description(std::string_view description) {
    if (record_ != nullptr) record_->description = std::string(description);
    return *this;
}

TypeBuilder& TypeBuilder::AddTag(std::string_view tag) {
    if (record_ != nullptr && !tag.empty()) record_->tags.emplace_back(tag);
    return *this;
}

TypeBuilder& TypeBuilder::AddTags(std::initializer_list<std::string_view> tags) {
    for (const std::string_view tag : tags) AddTag(tag);
    return *this;
}

TypeBuilder& TypeBuilder::AddField(std::string_view name, std::uint32_t offset, TypeIdentifier type,
                                   const FieldConverter& converter, const FieldOptions& options) {
    if (record_ == nullptr || record_->isEnumeration) return *this;
    FieldRecord field;
    field.name = std::string(name);
    field.nameHash = Fnv1a(name);
    field.description = std::string(options.description);
    field.offset = offset;
    field.type = type;
    field.converter = &converter;
    field.flags = options.flags;
    field.declaredType = options.declaredType;
    field.optional = false;
    record_->fields.push_back(std::move(field));
    return *this;
}

TypeBuilder& TypeBuilder::AddEnumerator(std::string_view name, std::int32_t value, std::string_view description) {
    if (record_ == nullptr || !record_->isEnumeration) return *this;
    std::string key(name);
    record_->enumerators.try_emplace(std::move(key), EnumeratorRecord{std::string(name), value, std::string(description)});
    return *this;
}

}  // namespace vclient
