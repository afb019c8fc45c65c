#include "serve/openapi_document.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <utility>

namespace qivhost {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

enum : std::uint32_t {
    kBool = 1, kInt8, kUint8, kInt16, kUint16, kInt32, kUint32, kInt64, kUint64, kFloat, kDouble,
    kString, kObject, kBlob, kVector, kEnum, kStruct, kCallback, kMap
};
enum : std::uint32_t { kAny = 0, kQuery = 1, kPath = 2, kHeader = 4, kBody = 5 };
constexpr const char* kErrorSchema = "qiv-host.Error";
constexpr const char* kEveryMethod[] = {"get", "post", "put", "patch", "delete"};
constexpr const char* kOpenApiMethods[] = {"get", "put", "post", "delete", "options", "head", "patch", "trace"};
constexpr const char* kBodyTypes[] = {"application/json", "application/x-yaml", "application/x-msgpack"};

void Str(Writer& writer, const std::string& text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void Field(Writer& writer, const char* key, const std::string& text) {
    writer.Key(key);
    Str(writer, text);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string LocationName(std::uint32_t location) {
    switch (location) {
        case kAny: return "Any";
        case kQuery: return "Query";
        case kPath: return "Path";
        case kHeader: return "Header";
        case kBody: return "Body";
        default: return std::to_string(location);
    }
}

// A template variable: its name and what it captures.
struct Variable {
    std::string name;
    char kind = '\0';  // '\0' one segment, '+' the rest of the path, '#' a "#" and the rest
};

// The OpenAPI path of a template, and its variables in order.
std::string OpenApiPath(const std::string& pathTemplate, std::vector<Variable>& variables) {
    std::string path;
    for (std::size_t i = 0; i < pathTemplate.size(); ++i) {
        const std::size_t close = pathTemplate.find('}', i);
        if (pathTemplate[i] != '{' || close == std::string::npos) {
            path += pathTemplate[i];
            continue;
        }
        Variable variable;
        variable.name = pathTemplate.substr(i + 1, close - i - 1);
        if (!variable.name.empty() && (variable.name[0] == '+' || variable.name[0] == '#')) {
            variable.kind = variable.name[0];
            variable.name.erase(0, 1);
        }
        path += (variable.kind == '#' ? "#{" : "{") + variable.name + "}";
        const bool seen = std::any_of(variables.begin(), variables.end(),
                                      [&](const Variable& v) { return v.name == variable.name; });
        if (!seen) variables.push_back(variable);
        i = close;
    }
    return path;
}

// Component keys of the registered types; the host's own error schema is reserved first.
class SchemaKeys {
public:
    explicit SchemaKeys(const std::vector<HelpType>& types) {
        used_.insert(kErrorSchema);
        for (const HelpType& type : types) {
            if (keys_.count(type.name) != 0) continue;
            std::string key = type.name.empty() ? "_" : type.name;
            for (char& c : key) {
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
            }
            const std::string base = key;
            for (int n = 2; used_.count(key) != 0; ++n) key = base + "_" + std::to_string(n);
            used_.insert(key);
            keys_[type.name] = key;
        }
    }
    // Empty when the type is not described.
    std::string Of(const std::string& name) const {
        const auto found = keys_.find(name);
        return found == keys_.end() ? std::string() : found->second;
    }

private:
    std::map<std::string, std::string> keys_;
    std::set<std::string> used_;
};

void Ref(Writer& writer, const std::string& key) {
    writer.StartObject();
    Field(writer, "$ref", "#/components/schemas/" + key);
    writer.EndObject();
}

template <class Number>
void Integer(Writer& writer, const char* format) {
    writer.StartObject();
    Field(writer, "type", "integer");
    if (format != nullptr) Field(writer, "format", format);
    writer.Key("minimum");
    writer.Int64(static_cast<std::int64_t>(std::numeric_limits<Number>::min()));
    writer.Key("maximum");
    writer.Uint64(static_cast<std::uint64_t>(std::numeric_limits<Number>::max()));
    writer.EndObject();
}

void Simple(Writer& writer, std::initializer_list<std::pair<const char*, const char*>> fields) {
    writer.StartObject();
    for (const auto& [key, text] : fields) Field(writer, key, text);
    writer.EndObject();
}

// The schema of a value of type `code`; `element` and `name` as the description gives them.
void Schema(Writer& writer, std::uint32_t code, std::uint32_t element, const std::string& name, const SchemaKeys& keys) {
    const std::string key = keys.Of(name);
    switch (code) {
        case kBool: return Simple(writer, {{"type", "boolean"}});
        case kInt8: return Integer<std::int8_t>(writer, nullptr);
        case kUint8: return Integer<std::uint8_t>(writer, nullptr);
        case kInt16: return Integer<std::int16_t>(writer, nullptr);
        case kUint16: return Integer<std::uint16_t>(writer, nullptr);
        case kInt32: return Integer<std::int32_t>(writer, "int32");
        case kUint32: return Integer<std::uint32_t>(writer, nullptr);
        case kInt64: return Integer<std::int64_t>(writer, "int64");
        case kUint64: return Integer<std::uint64_t>(writer, nullptr);
        case kFloat: return Simple(writer, {{"type", "number"}, {"format", "float"}});
        case kDouble: return Simple(writer, {{"type", "number"}, {"format", "double"}});
        case kString: return Simple(writer, {{"type", "string"}});
        case kBlob: return Simple(writer, {{"type", "string"}, {"contentEncoding", "base64"}});
        case kCallback: return Simple(writer, {{"type", "integer"}, {"description", "callback token"}});
        case kEnum:
            if (!key.empty()) return Ref(writer, key);
            writer.StartObject();
            writer.Key("type");
            writer.StartArray();
            writer.String("string");
            writer.String("integer");
            writer.EndArray();
            return (void)writer.EndObject();
        case kStruct: return key.empty() ? Simple(writer, {{"type", "object"}}) : Ref(writer, key);
        case kVector:
        case kMap:
            writer.StartObject();
            Field(writer, "type", code == kVector ? "array" : "object");
            writer.Key(code == kVector ? "items" : "additionalProperties");
            if (element == kVector || element == kMap) {
                Schema(writer, element, 0, "", keys);
            } else {
                Schema(writer, element, 0, name, keys);
            }
            return (void)writer.EndObject();
        default: return Simple(writer, {});  // "object" and unknown codes: any JSON value
    }
}

void Schema(Writer& writer, const HelpTypeIdentifier& type, const SchemaKeys& keys) {
    Schema(writer, type.type, type.elementType, type.typeName, keys);
}

bool Structured(std::uint32_t code) { return code == kObject || code == kVector || code == kStruct || code == kMap; }

void Parameter(Writer& writer, const std::string& name, const char* in, bool required, const std::string& description,
               const HelpTypeIdentifier& type, const SchemaKeys& keys) {
    writer.StartObject();
    Field(writer, "name", name);
    Field(writer, "in", in);
    writer.Key("required");
    writer.Bool(required);
    if (!description.empty()) Field(writer, "description", description);
    if (Structured(type.type) && std::string(in) != "path") {
        writer.Key("content");
        writer.StartObject();
        writer.Key("application/json");
        writer.StartObject();
        writer.Key("schema");
        Schema(writer, type, keys);
        writer.EndObject();
        writer.EndObject();
    } else {
        writer.Key("schema");
        Schema(writer, type, keys);
    }
    writer.EndObject();
}

void Operation(Writer& writer, const RouteInfo& route, const HelpFunction& function,
               const std::vector<Variable>& variables, const std::string& operationId, const SchemaKeys& keys) {
    writer.StartObject();
    Field(writer, "operationId", operationId);
    if (!function.description.empty()) Field(writer, "summary", function.description);
    if (!function.help.empty()) Field(writer, "description", function.help);
    if (!function.tags.empty()) {
        writer.Key("tags");
        writer.StartArray();
        for (const std::string& tag : function.tags) Str(writer, tag);
        writer.EndArray();
    }
    const auto argumentOf = [&](const std::string& name) -> const HelpArgument* {
        for (const HelpArgument& argument : function.arguments) {
            if (argument.name == name) return &argument;
        }
        return nullptr;
    };
    const auto isVariable = [&](const std::string& name) {
        return std::any_of(variables.begin(), variables.end(), [&](const Variable& v) { return v.name == name; });
    };
    writer.Key("parameters");
    writer.StartArray();
    for (const Variable& variable : variables) {
        const HelpArgument* argument = argumentOf(variable.name);
        std::string description = argument != nullptr ? argument->description : std::string();
        if (variable.kind != '\0') {
            const char* capture = variable.kind == '+' ? "The rest of the path, slashes included."
                                                       : "A \"#\" and everything after it.";
            description = description.empty() ? capture : description + " " + capture;
        }
        Parameter(writer, variable.name, "path", true, description,
                  argument != nullptr ? argument->type : HelpTypeIdentifier{kString, 0, {}}, keys);
    }
    const HelpArgument* body = nullptr;
    for (std::size_t i = 0; i < function.arguments.size() && i < route.arguments.size(); ++i) {
        const HelpArgument& argument = function.arguments[i];
        const std::uint32_t location = route.arguments[i].location;
        const bool required = !argument.optional && argument.type.type != kBool;
        if (location == kBody && body == nullptr) body = &argument;
        if (location == kQuery) {
            Parameter(writer, argument.name, "query", required, argument.description, argument.type, keys);
        } else if (location == kAny && !isVariable(argument.name)) {
            const std::string header = "Also taken from the header \"" + Lower(argument.name) + "\".";
            const std::string description = argument.description.empty() ? header : argument.description + " " + header;
            Parameter(writer, argument.name, "query", required, description, argument.type, keys);
        } else if (location == kHeader) {
            Parameter(writer, Lower(argument.name), "header", required, argument.description, argument.type, keys);
        }
    }
    writer.EndArray();
    if (body != nullptr) {
        writer.Key("requestBody");
        writer.StartObject();
        if (!body->description.empty()) Field(writer, "description", body->description);
        writer.Key("required");
        writer.Bool(!body->optional);
        writer.Key("content");
        writer.StartObject();
        for (const char* type : kBodyTypes) {
            writer.Key(type);
            writer.StartObject();
            writer.Key("schema");
            Schema(writer, body->type, keys);
            writer.EndObject();
        }
        writer.EndObject();
        writer.EndObject();
    }
    writer.Key("responses");
    writer.StartObject();
    writer.Key("200");
    writer.StartObject();
    Field(writer, "description", function.returns.type == 0 ? "Done; no result" : "The result");
    if (function.returns.type != 0) {
        writer.Key("content");
        writer.StartObject();
        writer.Key("application/json");
        writer.StartObject();
        writer.Key("schema");
        Schema(writer, function.returns, keys);
        writer.EndObject();
        writer.EndObject();
    }
    writer.EndObject();
    writer.Key("default");
    writer.StartObject();
    Field(writer, "description", "The call failed");
    writer.Key("content");
    writer.StartObject();
    writer.Key("application/json");
    writer.StartObject();
    writer.Key("schema");
    Ref(writer, kErrorSchema);
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
    if (!function.async.empty()) Field(writer, "x-qiv-async", function.async);
    writer.Key("x-qiv-arguments");
    writer.StartArray();
    for (std::size_t i = 0; i < function.arguments.size() && i < route.arguments.size(); ++i) {
        writer.StartObject();
        Field(writer, "name", function.arguments[i].name);
        Field(writer, "location", LocationName(route.arguments[i].location));
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
}

// One path of the document and the routes listed under it, by OpenAPI method.
struct PathItem {
    std::string path;
    std::vector<std::pair<std::string, const RouteInfo*>> methods;  // standard ones
    std::vector<std::pair<std::string, const RouteInfo*>> custom;
    std::vector<Variable> variables;  // of the first route, for the document's path
    std::map<const RouteInfo*, std::vector<Variable>> variablesOf;

    bool Has(const std::string& method) const {
        const auto same = [&](const auto& entry) { return entry.first == method; };
        return std::any_of(methods.begin(), methods.end(), same) || std::any_of(custom.begin(), custom.end(), same);
    }
};

void TypeSchema(Writer& writer, const HelpType& type, const SchemaKeys& keys) {
    writer.StartObject();
    if (!type.description.empty()) Field(writer, "description", type.description);
    if (type.enumeration) {
        Field(writer, "type", "string");
        writer.Key("enum");
        writer.StartArray();
        for (const HelpEnumValue& value : type.values) Str(writer, value.name);
        writer.EndArray();
        writer.Key("x-qiv-enumerators");
        writer.StartArray();
        for (const HelpEnumValue& value : type.values) {
            writer.StartObject();
            Field(writer, "name", value.name);
            writer.Key("value");
            writer.Int(value.value);
            if (!value.description.empty()) Field(writer, "description", value.description);
            writer.EndObject();
        }
        writer.EndArray();
    } else {
        Field(writer, "type", "object");
        writer.Key("properties");
        writer.StartObject();
        for (const HelpField& field : type.fields) {
            writer.Key(field.name.c_str(), static_cast<rapidjson::SizeType>(field.name.size()));
            if (field.description.empty()) {
                Schema(writer, field.type, keys);
                continue;
            }
            writer.StartObject();
            writer.Key("allOf");
            writer.StartArray();
            Schema(writer, field.type, keys);
            writer.EndArray();
            Field(writer, "description", field.description);
            writer.EndObject();
        }
        writer.EndObject();
    }
    if (!type.nameSpace.empty()) Field(writer, "x-qiv-namespace", type.nameSpace);
    writer.EndObject();
}

}  // namespace

std::string OpenApiDocument(const OpenApiSource& source) {
    static const std::vector<RouteInfo> kNoRoutes;
    static const ApiHelp kNoHelp;
    const std::vector<RouteInfo>& routes = source.routes != nullptr ? *source.routes : kNoRoutes;
    const ApiHelp& help = source.help != nullptr ? *source.help : kNoHelp;
    const SchemaKeys keys(help.types);

    std::vector<PathItem> items;
    for (const RouteInfo& route : routes) {
        std::vector<Variable> variables;
        const std::string path = OpenApiPath(route.pathTemplate.empty() ? "/" + route.name : route.pathTemplate, variables);
        auto item = std::find_if(items.begin(), items.end(), [&](const PathItem& p) { return p.path == path; });
        if (item == items.end()) item = items.insert(items.end(), PathItem{path, {}, {}, variables, {}});
        item->variablesOf[&route] = variables;
        if (route.method == 0) {
            for (const char* method : kEveryMethod) {
                if (!item->Has(method)) item->methods.emplace_back(method, &route);
            }
            continue;
        }
        const std::string word = Lower(route.methodWord);
        const bool standard = std::find(std::begin(kOpenApiMethods), std::end(kOpenApiMethods), word) !=
                              std::end(kOpenApiMethods);
        if (item->Has(standard ? word : route.methodWord)) continue;
        if (standard) item->methods.emplace_back(word, &route);
        else item->custom.emplace_back(route.methodWord, &route);
    }

    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    Field(writer, "openapi", "3.1.0");
    writer.Key("info");
    writer.StartObject();
    Field(writer, "title", source.title.empty() ? "qiv-host" : "qiv-host: " + source.title);
    Field(writer, "version", source.version);
    Field(writer, "description",
          "The plug-in's REST API as the development host serves it. Every call goes to the plug-in; the events it "
          "dispatches arrive on GET /events (text/event-stream).");
    writer.EndObject();

    std::set<std::string> operationIds;
    const auto uniqueId = [&](std::string id) {
        const std::string base = id;
        for (int n = 2; operationIds.count(id) != 0; ++n) id = base + "_" + std::to_string(n);
        operationIds.insert(id);
        return id;
    };
    const auto operationOf = [&](const PathItem& item, const std::string& method, const RouteInfo& route) {
        static const HelpFunction kUndescribed;
        const HelpFunction& function = route.index < help.functions.size() ? help.functions[route.index] : kUndescribed;
        const std::string id = route.method == 0 ? route.name + "." + method : route.name;
        Operation(writer, route, function, item.variablesOf.at(&route), uniqueId(id), keys);
    };
    writer.Key("paths");
    writer.StartObject();
    for (const PathItem& item : items) {
        Str(writer, item.path);
        writer.StartObject();
        for (const auto& [method, route] : item.methods) {
            Str(writer, method);
            operationOf(item, method, *route);
        }
        if (!item.custom.empty()) {
            writer.Key("x-qiv-methods");
            writer.StartObject();
            for (const auto& [method, route] : item.custom) {
                Str(writer, method);
                operationOf(item, method, *route);
            }
            writer.EndObject();
        }
        writer.EndObject();
    }
    writer.EndObject();

    writer.Key("components");
    writer.StartObject();
    writer.Key("schemas");
    writer.StartObject();
    writer.Key(kErrorSchema);
    writer.StartObject();
    Field(writer, "description", "A failed call: the plug-in's error text, or the host's.");
    Field(writer, "type", "object");
    writer.Key("properties");
    writer.StartObject();
    writer.Key("error");
    Simple(writer, {{"type", "string"}});
    writer.EndObject();
    writer.Key("required");
    writer.StartArray();
    writer.String("error");
    writer.EndArray();
    writer.EndObject();
    std::set<std::string> written;
    for (const HelpType& type : help.types) {
        const std::string key = keys.Of(type.name);
        if (!written.insert(key).second) continue;  // a name registered twice: the first one
        Str(writer, key);
        TypeSchema(writer, type, keys);
    }
    writer.EndObject();
    writer.EndObject();

    Field(writer, "x-qiv-event-stream", "/events");
    writer.Key("x-qiv-events");
    writer.StartArray();
    for (const HelpEvent& event : help.events) {
        writer.StartObject();
        Field(writer, "name", event.name);
        if (!event.nameSpace.empty()) Field(writer, "nameSpace", event.nameSpace);
        if (!event.description.empty()) Field(writer, "description", event.description);
        writer.Key("payload");
        Schema(writer, event.typeName.empty() ? 0u : kStruct, 0, event.typeName, keys);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace qivhost
