#include "scenarios/scenario_parser.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "scenarios/scenario_steps.h"
#include "scenarios/scenario_yaml.h"

namespace qivhost {
namespace {

ScenarioParse Failed(std::string error) {
    ScenarioParse parse;
    parse.error = std::move(error);
    return parse;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Depth of the deepest nesting, measured without recursion.
std::size_t DepthOf(const rapidjson::Value& root) {
    std::vector<std::pair<const rapidjson::Value*, std::size_t>> pending = {{&root, 1}};
    std::size_t deepest = 0;
    while (!pending.empty()) {
        const auto [value, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        if (value->IsArray()) {
            for (const rapidjson::Value& element : value->GetArray()) pending.emplace_back(&element, depth + 1);
        } else if (value->IsObject()) {
            for (const auto& member : value->GetObject()) pending.emplace_back(&member.value, depth + 1);
        }
    }
    return deepest;
}

bool ReadSteps(const rapidjson::Value& root, const char* field, const char* placeWord, std::vector<ScenarioStep>& out,
               std::string& error) {
    const auto member = root.FindMember(field);
    if (member == root.MemberEnd()) return true;
    if (!member->value.IsArray()) {
        error = std::string("\"") + field + "\" must be a list of steps";
        return false;
    }
    std::size_t number = 0;
    for (const rapidjson::Value& object : member->value.GetArray()) {
        ScenarioStep step;
        if (!ReadScenarioStep(object, placeWord + std::to_string(++number), step, error)) return false;
        out.push_back(std::move(step));
    }
    return true;
}

bool ReadTitle(const rapidjson::Value& root, std::string& out, std::string& error) {
    const auto member = root.FindMember("title");
    if (member == root.MemberEnd()) return true;
    if (!member->value.IsString()) {
        error = "\"title\" must be a string";
        return false;
    }
    out.assign(member->value.GetString(), member->value.GetStringLength());
    return true;
}

bool CheckTopFields(const rapidjson::Value& root, std::string& error) {
    for (const auto& member : root.GetObject()) {
        const std::string_view name(member.name.GetString(), member.name.GetStringLength());
        if (name == "title" || name == "beforeStart" || name == "steps") continue;
        error = "unknown field \"" + std::string(name) + "\" (a scenario has \"title\", \"beforeStart\" and \"steps\")";
        return false;
    }
    if (!root.HasMember("steps")) {
        error = "a scenario needs \"steps\", a list of steps";
        return false;
    }
    return true;
}

ScenarioParse FromDocument(const rapidjson::Value& root, const std::string& fileName) {
    if (!root.IsObject()) return Failed(fileName + ": a scenario is an object with \"steps\"");
    ScenarioParse parse;
    parse.scenario.file = fileName;
    std::string error;
    const bool ok = CheckTopFields(root, error) && ReadTitle(root, parse.scenario.title, error) &&
                    ReadSteps(root, "beforeStart", "before-start step ", parse.scenario.beforeStart, error) &&
                    ReadSteps(root, "steps", "step ", parse.scenario.steps, error);
    if (!ok) return Failed(fileName + ": " + error);
    parse.ok = true;
    return parse;
}

ScenarioParse TooDeep(const std::string& fileName) {
    return Failed(fileName + ": values nest deeper than " + std::to_string(kMaxScenarioDepth) + " levels");
}

}  // namespace

TextPosition PositionOfOffset(std::string_view text, std::size_t offset) {
    TextPosition position;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++position.line;
            position.column = 1;
        } else if ((c & 0xC0) != 0x80 && c != '\r') {
            ++position.column;  // continuation bytes and carriage returns take no column
        }
    }
    return position;
}

ScenarioParse ParseScenarioJson(std::string_view text, const std::string& fileName) {
    rapidjson::Document document;
    // Iterative, so that deep nesting cannot exhaust the stack while reading.
    document.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
    if (document.HasParseError()) {
        const TextPosition at = PositionOfOffset(text, document.GetErrorOffset());
        return Failed(fileName + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                      rapidjson::GetParseError_En(document.GetParseError()));
    }
    if (DepthOf(document) > kMaxScenarioDepth) return TooDeep(fileName);
    return FromDocument(document, fileName);
}

ScenarioParse ParseScenarioYaml(std::string_view text, const std::string& fileName) {
    rapidjson::Document document;
    std::string error;
    if (!YamlToDocument(text, kMaxScenarioDepth, document, error)) return Failed(fileName + ":" + error);
    return FromDocument(document, fileName);
}

ScenarioParse LoadScenarioFile(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return Failed(path + ": is a directory, not a scenario file");
    std::ifstream file(path, std::ios::binary);
    if (!file) return Failed(path + ": cannot be read");
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return Failed(path + ": cannot be read");
    if (EndsWith(path, ".yaml") || EndsWith(path, ".yml")) return ParseScenarioYaml(text.str(), path);
    return ParseScenarioJson(text.str(), path);
}

}  // namespace qivhost
