#include "scenarios/scenario_format.h"

#include <rapidjson/document.h>
#include <rapidjson/writer.h>
#include <rapidjson/stringbuffer.h>


namespace qivhost {
namespace {

const char* LevelWord(const std::string& level) {
    if (level == "0") return "OKAY";
    if (level == "1") return "WARN";
    if (level == "2") return "ERROR";
    if (level == "3") return "ALWAYS";
    return "?";
}

// Splits `"name" rest` into the name and what follows the separator.
bool SplitQuotedName(const std::string& detail, std::string_view separator, std::string& name, std::string& rest) {
    if (detail.empty() || detail[0] != '"') return false;
    const std::size_t close = detail.find(std::string("\"") + std::string(separator), 1);
    if (close == std::string::npos) return false;
    name = detail.substr(1, close - 1);
    rest = detail.substr(close + 1 + separator.size());
    return true;
}

void Indented(const std::vector<std::string>& lines, std::vector<FormattedLine>& out, std::size_t depth) {
    for (const std::string& line : lines) out.push_back({depth, line});
}

std::string MemberText(const rapidjson::Value& object, const char* name) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd()) return {};
    if (member->value.IsString()) return member->value.GetString();
    if (member->value.IsUint()) {
        static const char* const kTypes[] = {"Create", "Update", "Delete"};
        const unsigned type = member->value.GetUint();
        return type < 3 ? kTypes[type] : std::to_string(type);
    }
    return {};
}

std::string CompactOf(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// A resource event payload {uri, eventType, data}: "Update /uri" and the data, if any.
bool ResourceEvent(const std::string& json, std::string& headline, std::string& data) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError() || !document.IsObject()) return false;
    const std::string uri = MemberText(document, "uri");
    const std::string type = MemberText(document, "eventType");
    if (uri.empty() || type.empty()) return false;
    headline = type + " " + uri;
    const auto member = document.FindMember("data");
    data = member == document.MemberEnd() || member->value.IsNull() ? std::string() : CompactOf(member->value);
    return true;
}

std::string Quote(const rapidjson::Value& name) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(name.GetString(), name.GetStringLength());
    return std::string(buffer.GetString(), buffer.GetSize());
}

// Writes `value` as lines: whole on one line when it fits in the width, otherwise its
// members or elements one level deeper, each fitted the same way.
void AddLines(const rapidjson::Value& value, const std::string& prefix, const char* suffix, std::size_t indent,
              std::size_t width, std::vector<std::string>& lines) {
    const std::string pad(indent, ' ');
    const std::string compact = CompactOf(value);
    const bool container = value.IsObject() || value.IsArray();
    const bool empty = (value.IsObject() && value.MemberCount() == 0) || (value.IsArray() && value.Empty());
    if (!container || empty || indent + prefix.size() + compact.size() <= width) {
        lines.push_back(pad + prefix + compact + suffix);
        return;
    }
    if (value.IsObject()) {
        lines.push_back(pad + prefix + "{");
        const auto last = value.MemberEnd() - 1;
        for (auto member = value.MemberBegin(); member != value.MemberEnd(); ++member) {
            AddLines(member->value, Quote(member->name) + ": ", member == last ? "" : ",", indent + 2, width, lines);
        }
        lines.push_back(pad + "}" + suffix);
        return;
    }
    lines.push_back(pad + prefix + "[");
    const auto last = value.End() - 1;
    for (auto element = value.Begin(); element != value.End(); ++element) {
        AddLines(*element, "", element == last ? "" : ",", indent + 2, width, lines);
    }
    lines.push_back(pad + "]" + suffix);
}

}  // namespace

std::vector<std::string> JsonForDisplay(std::string_view json, std::size_t inlineWidth) {
    if (json.size() <= inlineWidth) return {std::string(json)};
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError()) return {std::string(json)};
    std::vector<std::string> lines;
    AddLines(document, "", "", 0, inlineWidth, lines);
    return lines;
}

std::vector<FormattedLine> TranscriptFormatter::Format(const HostCall& call) {
    const std::string& slot = call.slot;
    if (slot == "RunPending" || slot.rfind("-> Initialize", 0) == 0 || slot == "<- Initialize" ||
        slot == "-> Shutdown" || slot == "-> HandleCall" || slot == "<- HandleCall" || slot == "== Resource" ||
        slot == "== Vyre") {
        return {};
    }
    if (slot == "DispatchEvent") return Published(call.detail);
    if (slot == "-> Event") return Delivered(call.detail);
    if (slot == "PerformRequest") return Request(call.detail);
    if (slot == "WriteLog") return Log(call.detail);
    if (slot == "SubscribeEvent") return Line("subscribe    " + call.detail);
    if (slot == "UnsubscribeEvent") return Line("unsubscribe  " + call.detail);
    if (slot == "ScheduleTimer") return Line("timer        " + call.detail);
    if (slot == "-> Timer") return Line("timer fires  " + call.detail);
    if (slot == "BeginWait") {
        std::vector<FormattedLine> lines = Line("wait         " + call.detail);
        ++waitDepth_;
        return lines;
    }
    if (slot == "EndWait") {
        if (waitDepth_ > 0) --waitDepth_;
        return Line("wait over    after " + call.detail);
    }
    if (slot == "== Skipped") return Line("skipped      " + call.detail);
    if (slot == "== Shutdown") return Line("note         " + call.detail);
    return Line(slot + " " + call.detail);
}

std::vector<FormattedLine> TranscriptFormatter::Line(std::string text) const {
    return {FormattedLine{waitDepth_, std::move(text)}};
}

std::vector<FormattedLine> TranscriptFormatter::Published(const std::string& detail) {
    std::string name;
    std::string payload;
    if (!SplitQuotedName(detail, " ", name, payload)) return Line("publish      " + detail);
    // The plug-in sends each resource event under the URI's own name and again under
    // "OnJsonApiEvent"; the second carries nothing new.
    const bool twin = name == "OnJsonApiEvent" && payload == lastPublished_;
    lastPublished_ = payload;
    if (twin) return {};
    std::string headline;
    std::string data;
    std::vector<FormattedLine> lines;
    if (!ResourceEvent(payload, headline, data)) {
        lines = Line("publish      " + name);
        Indented(JsonForDisplay(payload), lines, waitDepth_ + 1);
        return lines;
    }
    lines = Line("publish      " + headline);
    if (!data.empty()) Indented(JsonForDisplay(data), lines, waitDepth_ + 1);
    return lines;
}

std::vector<FormattedLine> TranscriptFormatter::Delivered(const std::string& detail) const {
    std::string name;
    std::string rest;
    if (!SplitQuotedName(detail, " to handle ", name, rest)) return Line("event        " + detail);
    const std::size_t colon = rest.find(": ");
    const std::string payload = colon == std::string::npos ? std::string() : rest.substr(colon + 2);
    std::string headline;
    std::string data;
    // Resource data was shown where it was set or published; the delivery names it only.
    if (ResourceEvent(payload, headline, data)) return Line("event        " + name + " (" + headline + ")");
    std::vector<FormattedLine> lines = Line("event        " + name);
    Indented(JsonForDisplay(payload), lines, waitDepth_ + 1);
    return lines;
}

std::vector<FormattedLine> TranscriptFormatter::Request(const std::string& detail) const {
    // "METHOD "url" [parameters] -> STATUS ...": the answer begins at the first arrow
    // followed by a status number.
    std::size_t arrow = detail.find(" -> ");
    while (arrow != std::string::npos && (arrow + 4 >= detail.size() || detail[arrow + 4] < '0' || detail[arrow + 4] > '9')) {
        arrow = detail.find(" -> ", arrow + 1);
    }
    if (arrow == std::string::npos) return Line("request      " + detail);
    std::string call = detail.substr(0, arrow);
    std::vector<FormattedLine> lines;
    const std::size_t parameters = call.find(" [");
    if (parameters != std::string::npos && call.size() > kInlineJsonWidth) {
        lines = Line("request      " + call.substr(0, parameters));
        lines.push_back({waitDepth_ + 1, call.substr(parameters + 1)});
    } else {
        lines = Line("request      " + call);
    }
    lines.push_back({waitDepth_ + 1, "-> " + detail.substr(arrow + 4)});
    return lines;
}

std::vector<FormattedLine> TranscriptFormatter::Log(const std::string& detail) const {
    // "level N: message"
    const std::size_t colon = detail.find(": ");
    if (detail.rfind("level ", 0) != 0 || colon == std::string::npos) return Line("log          " + detail);
    const std::string level = detail.substr(6, colon - 6);
    std::string word = LevelWord(level);
    word.resize(7, ' ');
    return Line("log          " + word + detail.substr(colon + 2));
}

}  // namespace qivhost
