#include "serve/json_out.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace qivhost {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void Text(Writer& writer, const std::string& text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

std::string Done(const rapidjson::StringBuffer& buffer) { return std::string(buffer.GetString(), buffer.GetSize()); }

}  // namespace

std::string ErrorJson(const std::string& text) { return TextsJson({{"error", text}}); }

std::string TextsJson(const std::vector<std::pair<std::string, std::string>>& fields) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    for (const auto& [name, text] : fields) {
        Text(writer, name);
        Text(writer, text);
    }
    writer.EndObject();
    return Done(buffer);
}

std::string RouteTableJson(const std::vector<RouteInfo>& routes) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartArray();
    for (const RouteInfo& route : routes) {
        writer.StartObject();
        writer.Key("name");
        Text(writer, route.name);
        writer.Key("method");
        Text(writer, route.method == 0 ? std::string("*") : route.methodWord);
        writer.Key("path");
        Text(writer, route.pathTemplate);
        writer.Key("arguments");
        writer.StartArray();
        for (const RouteArgument& argument : route.arguments) {
            writer.StartObject();
            writer.Key("name");
            Text(writer, argument.name);
            writer.Key("location");
            writer.Uint(argument.location);
            writer.Key("optional");
            writer.Bool(argument.optional);
            writer.EndObject();
        }
        writer.EndArray();
        writer.EndObject();
    }
    writer.EndArray();
    return Done(buffer);
}

std::string TranscriptJson(const Transcript& transcript, std::size_t since) {
    const std::vector<HostCall>& calls = transcript.Calls();
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("count");
    writer.Uint64(calls.size());
    writer.Key("entries");
    writer.StartArray();
    for (std::size_t i = since; i < calls.size(); ++i) {
        writer.StartObject();
        writer.Key("slot");
        Text(writer, calls[i].slot);
        writer.Key("detail");
        Text(writer, calls[i].detail);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return Done(buffer);
}

}  // namespace qivhost
