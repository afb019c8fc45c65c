#include "serve/api_help.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <iterator>

#include "core/plugin_routes.h"

namespace qivhost {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

std::string TextOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }

std::vector<std::string> TextsOf(const char* const* texts, std::uint32_t count) {
    std::vector<std::string> out;
    for (std::uint32_t i = 0; texts != nullptr && i < count && i < kMaxRouteEntries; ++i) out.push_back(TextOf(texts[i]));
    return out;
}

// Calls `read` for each record of a list that the table says holds `count` records.
template <class Record, class Read>
void Walk(const Record* record, std::uint32_t count, Read read) {
    for (std::uint32_t i = 0; record != nullptr && i < count && i < kMaxRouteEntries; ++i, record = record->next) {
        read(*record);
    }
}

HelpFunction ReadFunction(const ApiFunctionDescription& function) {
    HelpFunction out;
    out.name = TextOf(function.name);
    out.nameSpace = TextOf(function.nameSpace);
    Walk(function.arguments, function.argumentCount, [&](const ApiArgumentDescription& argument) {
        out.arguments.push_back(HelpArgument{TextOf(argument.name), TextOf(argument.description),
                                             {argument.type, argument.elementType, TextOf(argument.typeName)},
                                             argument.optional != 0});
    });
    out.returns = {function.resultType, function.resultElementType, TextOf(function.resultTypeName)};
    out.description = TextOf(function.description);
    out.help = TextOf(function.help);
    out.threadSafe = function.threadSafe != 0;
    out.async = TextOf(function.asyncTypeName);
    out.tags = TextsOf(function.tags, function.tagCount);
    return out;
}

HelpType ReadType(const ApiTypeDescription& type) {
    HelpType out;
    out.name = TextOf(type.name);
    out.nameSpace = TextOf(type.nameSpace);
    out.size = type.size;
    out.description = TextOf(type.description);
    out.tags = TextsOf(type.tags, type.tagCount);
    out.enumeration = type.fields == nullptr && type.enumerators != nullptr;
    Walk(type.fields, type.memberCount, [&](const ApiFieldDescription& field) {
        out.fields.push_back(HelpField{TextOf(field.name), TextOf(field.description), field.offset,
                                       {field.type, field.elementType, TextOf(field.typeName)}, field.optional != 0});
    });
    Walk(type.enumerators, type.memberCount, [&](const ApiEnumeratorDescription& enumerator) {
        out.values.push_back(HelpEnumValue{TextOf(enumerator.name), TextOf(enumerator.description), enumerator.value});
    });
    return out;
}

void Text(Writer& writer, const char* key, const std::string& text) {
    writer.Key(key);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void Texts(Writer& writer, const char* key, const std::vector<std::string>& texts) {
    writer.Key(key);
    writer.StartArray();
    for (const std::string& text : texts) writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    writer.EndArray();
}

void Type(Writer& writer, const char* key, const HelpTypeIdentifier& type) {
    constexpr std::uint32_t kVector = 15, kEnum = 16, kStruct = 17, kMap = 19;
    const bool named = !type.typeName.empty();
    const bool container = type.type == kVector || type.type == kMap;
    writer.Key(key);
    writer.StartObject();
    Text(writer, "type", named && (type.type == kEnum || type.type == kStruct) ? type.typeName : TypeWord(type.type));
    Text(writer, "elementType", !container ? std::string() : named ? type.typeName : TypeWord(type.elementType));
    writer.EndObject();
}

}  // namespace

std::string TypeWord(std::uint32_t code) {
    static const char* const kWords[] = {"",       "bool",   "int8",   "uint8",  "int16", "uint16", "int32",
                                         "uint32", "int64",  "uint64", "float",  "double", "string", "object",
                                         "blob",   "vector", "enum",   "struct", "callback", "map"};
    return code < std::size(kWords) ? kWords[code] : "";
}

ApiHelp ReadApiHelp(const RouteTableDescriptor* table) {
    ApiHelp help;
    if (table == nullptr) return help;
    for (std::uint32_t i = 0; table->functions != nullptr && i < table->functionCount && i < kMaxRouteEntries; ++i) {
        help.functions.push_back(ReadFunction(table->functions[i].function));
    }
    Walk(table->types, table->typeCount, [&](const ApiTypeDescription& type) { help.types.push_back(ReadType(type)); });
    Walk(table->events, table->eventCount, [&](const ApiEventDescription& event) {
        help.events.push_back(HelpEvent{TextOf(event.name), TextOf(event.nameSpace), TextOf(event.typeName),
                                        TextOf(event.description), TextsOf(event.tags, event.tagCount)});
    });
    return help;
}

std::string ApiHelpJson(const ApiHelp& help) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("functions");
    writer.StartArray();
    for (const HelpFunction& function : help.functions) {
        writer.StartObject();
        Text(writer, "name", function.name);
        Text(writer, "nameSpace", function.nameSpace);
        writer.Key("arguments");
        writer.StartArray();
        for (const HelpArgument& argument : function.arguments) {
            writer.StartObject();
            Text(writer, "name", argument.name);
            Text(writer, "description", argument.description);
            Type(writer, "type", argument.type);
            writer.Key("optional");
            writer.Bool(argument.optional);
            writer.EndObject();
        }
        writer.EndArray();
        Type(writer, "returns", function.returns);
        Text(writer, "description", function.description);
        Text(writer, "help", function.help);
        writer.Key("threadSafe");
        writer.Bool(function.threadSafe);
        Text(writer, "async", function.async);
        Texts(writer, "tags", function.tags);
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("types");
    writer.StartArray();
    for (const HelpType& type : help.types) {
        writer.StartObject();
        Text(writer, "name", type.name);
        Text(writer, "nameSpace", type.nameSpace);
        writer.Key("size");
        writer.Uint(type.size);
        Text(writer, "description", type.description);
        Texts(writer, "tags", type.tags);
        writer.Key("fields");
        writer.StartArray();
        for (const HelpField& field : type.fields) {
            writer.StartObject();
            Text(writer, "name", field.name);
            Text(writer, "description", field.description);
            writer.Key("offset");
            writer.Uint(field.offset);
            Type(writer, "type", field.type);
            writer.Key("optional");
            writer.Bool(field.optional);
            writer.EndObject();
        }
        writer.EndArray();
        writer.Key("values");
        writer.StartArray();
        for (const HelpEnumValue& value : type.values) {
            writer.StartObject();
            Text(writer, "name", value.name);
            Text(writer, "description", value.description);
            writer.Key("value");
            writer.Int(value.value);
            writer.EndObject();
        }
        writer.EndArray();
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("events");
    writer.StartArray();
    for (const HelpEvent& event : help.events) {
        writer.StartObject();
        Text(writer, "name", event.name);
        Text(writer, "nameSpace", event.nameSpace);
        Type(writer, "type", HelpTypeIdentifier{event.typeName.empty() ? 0u : 17u, 0, event.typeName});
        Text(writer, "description", event.description);
        Texts(writer, "tags", event.tags);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace qivhost
