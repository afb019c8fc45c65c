#include "binding/api_description.h"

#include <string>

#include "binding/binding_registry.h"

namespace vclient {

namespace {

constexpr const char* kEmptyText = "";

struct ExportedType {
    std::uint32_t code;
    std::uint32_t elementCode;
    const char* name;
};

// The override when one was registered, else the native identifier. Only vectors, enums,
// records and maps name a registered type.
ExportedType ExportType(const TypeIdentifier& native, const TypeIdentifier& declared) {
    const TypeIdentifier& shown = declared.type != BindingType::None ? declared : native;
    const bool named = shown.record != nullptr &&
        (shown.type == BindingType::Vector || shown.type == BindingType::Enum || shown.type == BindingType::Struct ||
         shown.type == BindingType::Map);
    return {static_cast<std::uint32_t>(shown.type), static_cast<std::uint32_t>(shown.elementType),
            named ? shown.record->name.c_str() : kEmptyText};
}

// Points every record's next at its successor; the last keeps null.
template <class Record>
void LinkRecords(std::vector<Record>& records) {
    for (std::size_t index = 0; index + 1 < records.size(); ++index) {
        records[index].next = &records[index + 1];
    }
}

ApiArgumentDescription ExportArgument(const ArgumentRecord& argument) {
    ApiArgumentDescription out{};
    const ExportedType type = ExportType(argument.type, argument.declaredType);
    out.name = argument.name.c_str();
    out.description = argument.description.c_str();
    out.type = type.code;
    out.elementType = type.elementCode;
    out.typeName = type.name;
    out.optional = argument.optional ? 1 : 0;
    return out;
}

ApiFieldDescription ExportField(const FieldRecord& field) {
    ApiFieldDescription out{};
    const ExportedType type = ExportType(field.type, field.declaredType);
    out.name = field.name.c_str();
    out.description = field.description.c_str();
    out.offset = field.offset;
    out.type = type.code;
    out.elementType = type.elementCode;
    out.typeName = type.name;
    out.optional = field.optional ? 1 : 0;
    return out;
}

ApiEnumeratorDescription ExportEnumerator(const EnumeratorRecord& enumerator) {
    ApiEnumeratorDescription out{};
    out.name = enumerator.name.c_str();
    out.description = enumerator.description.c_str();
    out.value = enumerator.value;
    return out;
}

}  // namespace

ApiDescriptionTables::ApiDescriptionTables(const BindingRegistry& registry) {
    ExportFunctions(registry);
    ExportTypes(registry);
    ExportEvents(registry);
    table_.functions = functions_.empty() ? nullptr : functions_.data();
    table_.functionCount = static_cast<std::uint32_t>(functions_.size());
    table_.types = types_.empty() ? nullptr : types_.data();
    table_.typeCount = static_cast<std::uint32_t>(types_.size());
    table_.events = events_.empty() ? nullptr : events_.data();
    table_.eventCount = static_cast<std::uint32_t>(events_.size());
}

const char* const* ApiDescriptionTables::TagArray(const std::vector<std::string>& tags) {
    if (tags.empty()) return nullptr;
    std::vector<const char*> texts;
    texts.reserve(tags.size());
    for (const std::string& tag : tags) texts.push_back(tag.c_str());
    tags_.push_back(std::move(texts));
    return tags_.back().data();
}

void ApiDescriptionTables::ExportFunctions(const BindingRegistry& registry) {
    const std::size_t count = registry.FunctionCount();
    functions_.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const FunctionRecord& function = *registry.FunctionAt(index);
        std::vector<ApiArgumentDescription> arguments;
        arguments.reserve(function.arguments.size());
        for (const ArgumentRecord& argument : function.arguments) arguments.push_back(ExportArgument(argument));
        LinkRecords(arguments);

        ApiFunctionDescription out{};
        const ExportedType result = ExportType(function.result, {});
        out.name = function.name.c_str();
        out.nameSpace = function.nameSpace.c_str();
        out.arguments = arguments.empty() ? nullptr : arguments.data();
        out.argumentCount = static_cast<std::uint32_t>(arguments.size());
        out.resultType = result.code;
        out.resultElementType = result.elementCode;
        out.resultTypeName = result.name;
        out.description = function.description.c_str();
        out.help = function.help.c_str();
        out.threadSafe = function.threadSafe ? 1 : 0;
        const bool async = function.isAsync && function.asyncResult != nullptr;
        out.asyncTypeName = async ? function.asyncResult->name.c_str() : kEmptyText;
        out.tags = TagArray(function.tags);
        out.tagCount = static_cast<std::uint32_t>(function.tags.size());
        arguments_.push_back(std::move(arguments));
        functions_.push_back(out);
    }
    LinkRecords(functions_);
}

void ApiDescriptionTables::ExportTypes(const BindingRegistry& registry) {
    const std::size_t count = registry.TypeCount();
    types_.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const TypeRecord& type = *registry.TypeAt(index);
        ApiTypeDescription out{};
        out.name = type.name.c_str();
        out.nameSpace = type.nameSpace.c_str();
        out.size = type.nativeSize;
        out.description = type.description.c_str();
        out.tags = TagArray(type.tags);
        out.tagCount = static_cast<std::uint32_t>(type.tags.size());
        if (type.isEnumeration) {
            std::vector<ApiEnumeratorDescription> enumerators;
            for (const auto& [name, enumerator] : type.enumerators) enumerators.push_back(ExportEnumerator(enumerator));
            LinkRecords(enumerators);
            out.enumerators = enumerators.empty() ? nullptr : enumerators.data();
            out.memberCount = static_cast<std::uint32_t>(enumerators.size());
            enumerators_.push_back(std::move(enumerators));
        } else {
            std::vector<ApiFieldDescription> fields;
            for (const FieldRecord& field : type.fields) fields.push_back(ExportField(field));
            LinkRecords(fields);
            out.fields = fields.empty() ? nullptr : fields.data();
            out.memberCount = static_cast<std::uint32_t>(fields.size());
            fields_.push_back(std::move(fields));
        }
        types_.push_back(out);
    }
    LinkRecords(types_);
}

void ApiDescriptionTables::ExportEvents(const BindingRegistry& registry) {
    const std::size_t count = registry.EventCount();
    events_.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const EventRecord& event = *registry.EventAt(index);
        ApiEventDescription out{};
        out.name = event.name.c_str();
        out.nameSpace = event.nameSpace.c_str();
        out.typeName = event.payload != nullptr ? event.payload->name.c_str() : kEmptyText;
        out.description = event.description.c_str();
        out.tags = TagArray(event.tags);
        out.tagCount = static_cast<std::uint32_t>(event.tags.size());
        events_.push_back(out);
    }
    LinkRecords(events_);
}

const ApiDescriptionTable& ExportApiDescription(BindingRegistry& registry) {
    return registry.DescriptionTables().Table();
}

}  // namespace vclient
