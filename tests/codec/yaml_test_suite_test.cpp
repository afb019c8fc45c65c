// The public YAML suite (scripts/fetch-test-suites.sh unpacks it). A case lies within the
// reader's subset when WhyOutside() finds nothing: such a case reads to the value of its
// JSON, unless listed in kDeliberate (the reader's own rules, or libyaml reading the YAML
// otherwise) or kParserRefuses (libyaml refuses it). Every other case reads, or fails with
// one of the reader's texts; invalid YAML fails, apart from what libyaml lets through
// (kParserAccepts).
#include "codec/yaml_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "codec/json_reader.h"

namespace vclient {
namespace {

namespace fs = std::filesystem;

const std::regex kReaderMessage(
    "(YAML parser error: [\\s\\S]+|(Cannot deserialize cyclic aliases\\. Alias|Undefined alias encountered:|"
    "Duplicate occurrence of anchor|Duplicate mapping key|YAML aliases expand to more than 1000000 nodes\\. Alias) "
    "\"[\\s\\S]*\"\\.|Invalid mapping key\\. Only string scalar keys are allowed\\.|"
    "Unexpected start of (sequence|mapping)\\.|YAML nesting is deeper than 256 levels\\.|"
    "Value [\\s\\S]* for 'yaml' of type bool is in an incorrect format\\.) At line: [0-9]+ col: [0-9]+|"
    "Multi-document YAML is not supported\\.|Unsupported YAML tag '[\\s\\S]*'\\.|"
    "Value [\\s\\S]* for 'yaml' of type (uint64_t|int64_t|double) is (in an incorrect format|out of range)");

// Cases within the subset that read otherwise than their JSON, and why: the reader's own
// rules, and libyaml (which parses for the reader) reading the YAML otherwise.
const std::map<std::string, std::string> kDeliberate = {
    {"2G84-02", "an empty block scalar is typed like a plain one: Empty"}, {"K858", "the same"},
    {"3GZX", "a second anchor of an existing name is refused"},
    {"652Z", "libyaml reads ?foo in a flow mapping as the key foo"}, {"HM87-01", "libyaml reads [?x] as [{x: ~}]"},
    {"Y2GN", "libyaml ends an anchor name at a colon"},
    {"L24T-01", "libyaml drops the line break of a literal scalar's closing line of spaces"},
};

// Cases within the subset that libyaml refuses as malformed: tabs where YAML 1.2 allows
// them as separation; a flow mapping's colon or value on a later line, or a colon next to
// a flow scalar; anchor names beyond letters, digits, '-' and '_'; reserved and
// later-version directives, a lone document end, zero-indented folded scalars.
const std::set<std::string> kParserRefuses = {
    "6BCT", "6CA3", "96NN-00", "A2M4", "DK95-00", "DK95-03", "DK95-04", "Q5MG", "R4YG", "Y79Y-01", "Y79Y-10",
    "4MUZ-00", "4MUZ-02", "5MUD", "9SA2", "K3WX", "NJ66", "VJP3-01", "58MP", "5T43", "DBG4", "HM87-00",
    "2SXE", "8XYN", "W5VH",
    "2LFX", "6LVF", "BEC7", "HWV9", "QT73", "DK3J", "FP8R",
};

// Invalid YAML that libyaml reads without complaint.
const std::set<std::string> kParserAccepts = {
    "9C9N", "9JBA", "CVW2", "DK95-01", "G5U8", "MUS6-00", "MUS6-01", "QB6E", "S98Z", "SU5Z", "X4QW", "Y79Y-03", "YJV2",
};

std::string ReadFile(const fs::path& path) {
    std::string text(fs::file_size(path), '\0');
    std::ifstream(path, std::ios::binary).read(text.data(), static_cast<std::streamsize>(text.size()));
    return text;
}

// Why a case lies outside the reader's subset (from its expected events), or the empty
// text: valid YAML with a JSON value, at most one document, scalar tags among the four
// the reader understands, and only scalars or aliases as mapping keys.
std::string WhyOutside(const fs::path& dir) {
    if (fs::exists(dir / "error")) return "invalid YAML";
    if (!fs::exists(dir / "in.json")) return "no JSON value";
    static const std::set<std::string> kUnderstood = {"<tag:yaml.org,2002:str>", "<tag:yaml.org,2002:int>",
                                                      "<tag:yaml.org,2002:float>", "<tag:yaml.org,2002:bool>"};
    std::istringstream events(ReadFile(dir / "test.event"));
    std::vector<int> open;  // per open node: -1 a sequence, else the nodes of the mapping so far
    int documents = 0;
    for (std::string line; std::getline(events, line);) {
        std::istringstream words(line);
        std::string event, word;
        words >> event;
        documents += event == "+DOC";
        if (event == "-MAP" || event == "-SEQ") open.pop_back();
        if (event != "+MAP" && event != "+SEQ" && event != "=VAL" && event != "=ALI") continue;
        if (!open.empty() && open.back() >= 0 && open.back()++ % 2 == 0 && event[0] == '+') return "collection key";
        while (words >> word && (word[0] == '&' || word[0] == '<' || word == "{}" || word == "[]")) {
            if (word[0] == '<' && event == "=VAL" && kUnderstood.count(word) == 0) return "tag " + word;
        }
        if (event[0] == '+') open.push_back(event == "+MAP" ? 0 : -1);
    }
    return documents > 1 ? "several documents" : "";
}

// The first difference between two trees, or the empty text: kinds (any two numbers
// compare by value), texts by bytes, fields in order.
std::string Difference(const BindingProperty& read, const BindingProperty& json, const std::string& at = "/") {
    using Kind = BindingPropertyType;
    const auto isNumber = [](const BindingProperty& v) {
        return v.Kind() == Kind::Signed || v.Kind() == Kind::Unsigned || v.Kind() == Kind::Float;
    };
    const auto asDouble = [](const BindingProperty& v) {
        return v.Kind() == Kind::Signed     ? static_cast<double>(v.GetSigned())
               : v.Kind() == Kind::Unsigned ? static_cast<double>(v.GetUnsigned())
                                            : v.GetFloat();
    };
    if (isNumber(read) && isNumber(json)) {
        // Integers of one kind compare exactly, any others as doubles.
        const bool same = read.Kind() != json.Kind() || read.Kind() == Kind::Float ? asDouble(read) == asDouble(json)
                          : read.Kind() == Kind::Signed ? read.GetSigned() == json.GetSigned()
                                                        : read.GetUnsigned() == json.GetUnsigned();
        return same ? "" : at + ": numbers differ";
    }
    if (read.Kind() != json.Kind()) return at + ": kinds differ";
    switch (read.Kind()) {
        case Kind::Bool: return read.GetBool() == json.GetBool() ? "" : at + ": booleans differ";
        case Kind::String:
            return read.GetString() == json.GetString() ? "" : at + ": texts differ";
        case Kind::Collection:
            if (read.Size() != json.Size()) return at + ": sizes differ";
            for (std::size_t i = 0; i < read.Size(); ++i) {
                std::string d = Difference(read.At(i), json.At(i), at + std::to_string(i) + "/");
                if (!d.empty()) return d;
            }
            return "";
        case Kind::Structure: {
            if (read.Size() != json.Size()) return at + ": field counts differ";
            auto other = json.Fields().begin();
            for (const auto& field : read.Fields()) {
                if (field.name != (*other).name) return at + ": field names differ";
                std::string d = Difference(field.value, (*other).value, at + field.name + "/");
                if (!d.empty()) return d;
                ++other;
            }
            return "";
        }
        default: return "";  // Empty
    }
}

TEST(YamlTestSuite, SubsetReadsAsItsJsonAndTheRestFailsCleanly) {
    const fs::path suite = fs::path(QIV_TEST_SUITES_DIR) / "yaml";
    ASSERT_TRUE(fs::is_directory(suite)) << "The YAML test suite is missing in " << suite
                                         << ": run scripts/install-deps.sh to fetch it.";
    std::map<std::string, int> outside;
    int within = 0, matching = 0;
    std::set<std::string> deliberate, refused, accepted;
    for (const fs::directory_entry& entry : fs::directory_iterator(suite)) {
        if (!entry.is_directory()) continue;
        const std::string id = entry.path().filename().string();
        const BindingResult read = YamlToBinding(ReadFile(entry.path() / "in.yaml"));
        EXPECT_TRUE(read.Succeeded() || std::regex_match(read.ErrorMessage(), kReaderMessage))
            << id << ": " << read.ErrorMessage();
        const std::string why = WhyOutside(entry.path());
        if (!why.empty()) {
            ++outside[why];
            if (why == "invalid YAML" && read.Succeeded()) accepted.insert(id);
            continue;
        }
        ++within;
        const BindingResult json = JsonToBinding(ReadFile(entry.path() / "in.json"));
        ASSERT_TRUE(json.Succeeded()) << id << ": " << json.ErrorMessage();
        const std::string difference =
            read.Succeeded() ? Difference(read.Value(), json.Value()) : "refused: " + read.ErrorMessage();
        if (kParserRefuses.count(id) != 0) {
            refused.insert(id);
            EXPECT_EQ(difference.rfind("refused: YAML parser error: ", 0), 0U) << id << ": " << difference;
            continue;
        }
        if (kDeliberate.count(id) != 0) {
            deliberate.insert(id);
            EXPECT_FALSE(difference.empty()) << id << " now reads as its JSON: take it off kDeliberate";
            continue;
        }
        EXPECT_EQ(difference, "") << id;
        matching += difference.empty();
    }
    std::set<std::string> listed;
    for (const auto& [id, reason] : kDeliberate) listed.insert(id);
    EXPECT_EQ(deliberate, listed) << "kDeliberate names cases outside the subset";
    EXPECT_EQ(refused, kParserRefuses) << "kParserRefuses names cases outside the subset";
    EXPECT_EQ(accepted, kParserAccepts);
    std::cout << "[ suite    ] " << within << " cases within the subset, " << matching << " read as their JSON, "
              << deliberate.size() << " read otherwise on purpose, " << refused.size()
              << " refused by libyaml; outside:";
    for (const auto& [why, count] : outside) std::cout << " " << why << " " << count << ";";
    std::cout << "\n";
}

}  // namespace
}  // namespace vclient
