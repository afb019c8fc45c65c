#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "components/messaging_service.h"
#include "core/dev_host.h"
#include "scenarios/scenario_format.h"
#include "scenarios/scenario_parser.h"
#include "scenarios/scenario_player.h"

namespace qivhost {
namespace {

using ::testing::HasSubstr;

struct BadScenario {
    const char* text;
    const char* error;
};

// Each malformed file names itself, the place and what is wrong.
const BadScenario kBadJson[] = {
    {"", "s.json:1:1: The document is empty."},
    {"{\n  \"steps\": [\n    {\"set\": \"/a\" \"value\": 1}\n  ]\n}",
     "s.json:3:18: Missing a comma or '}' after an object member."},
    {"{\"steps\": []}\n{}", "s.json:2:1: The document root must not be followed by other values."},
    {"[]", "s.json: a scenario is an object with \"steps\""},
    {"{\"title\": \"t\"}", "s.json: a scenario needs \"steps\", a list of steps"},
    {"{\"title\": 3, \"steps\": []}", "s.json: \"title\" must be a string"},
    {"{\"steps\": {}}", "s.json: \"steps\" must be a list of steps"},
    {"{\"stepz\": []}", "s.json: unknown field \"stepz\""},
    {"{\"steps\": [1]}", "s.json: step 1: must be an object, not a number"},
    {"{\"steps\": [{\"title\": \"t\"}, {}]}", "s.json: step 2: has no action; a step needs one of \"title\""},
    {"{\"steps\": [{\"set\": \"/a\", \"delete\": \"/b\"}]}", "s.json: step 1: has two actions, \"set\" and \"delete\""},
    {"{\"steps\": [{\"set\": \"/a\"}]}", "s.json: step 1 (\"set\"): needs the field \"value\""},
    {"{\"steps\": [{\"set\": \"a\", \"value\": 1}]}", "s.json: step 1 (\"set\"): \"set\" must be a path beginning with \"/\""},
    {"{\"steps\": [{\"delete\": 5}]}", "s.json: step 1 (\"delete\"): \"delete\" must be a string, not a number"},
    {"{\"steps\": [{\"call\": \"GET /x\", \"expectstatus\": 200}]}", "s.json: step 1 (\"call\"): unknown field \"expectstatus\""},
    {"{\"steps\": [{\"call\": \"GET /x\", \"expectStatus\": 999}]}",
     "s.json: step 1 (\"call\"): \"expectStatus\" must be between 100 and 599"},
    {"{\"steps\": [{\"call\": \"get /x\"}]}", "s.json: step 1 (\"call\"): \"call\" must read \"METHOD /path\", not \"get /x\""},
    {"{\"steps\": [{\"server\": \"honor\", \"answer\": 1}]}",
     "s.json: step 1 (\"server\"): \"server\" must read \"service.method\", not \"honor\""},
    {"{\"steps\": [{\"server\": \"honor.server.honorPlayer\"}]}",
     "s.json: step 1 (\"server\"): needs exactly one of \"answer\", \"error\" or \"silence\""},
    {"{\"steps\": [{\"server\": \"a.b\", \"silence\": \"yes\"}]}",
     "s.json: step 1 (\"server\"): \"silence\" must be true or the seconds until the proxy times out, not a string"},
    {"{\"steps\": [{\"server\": \"a.b\", \"answer\": 1, \"status\": \"404\"}]}",
     "s.json: step 1 (\"server\"): \"status\" goes only with \"error\""},
    {"{\"steps\": [{\"server\": \"a.b\", \"answer\": 1, \"delay\": -1}]}",
     "s.json: step 1 (\"server\"): \"delay\" must be between 0 and 1e9 seconds"},
    {"{\"steps\": [{\"message\": \"level\", \"record\": {}}]}",
     "s.json: step 1 (\"message\"): \"message\" must be a path or one of \"post-game-ceremony\", \"level-change\", "
     "\"reward-granted\", \"full-team-vote\", \"vote-completion\", not \"level\""},
    {"{\"steps\": [{\"message\": \"level-change\", \"record\": {}, \"envelope\": {\"sender\": \"x\"}}]}",
     "s.json: step 1 (\"message\"): unknown field \"envelope.sender\""},
    {"{\"steps\": [{\"message\": \"level-change\", \"record\": {}, \"envelope\": {\"timestamp\": 1.5}}]}",
     "s.json: step 1 (\"message\"): \"envelope.timestamp\" must be an integer, not a number"},
    {"{\"steps\": [{\"delete\": \"/a\\u0000b\"}]}", "s.json: step 1 (\"delete\"): \"delete\" must not contain a NUL character"},
    {"{\"steps\": [{\"pump\": 0}]}", "s.json: step 1 (\"pump\"): \"pump\" must be between 1 and 1000000"},
    {"{\"steps\": [{\"settle\": false}]}", "s.json: step 1 (\"settle\"): \"settle\" must be true, not a boolean"},
    {"{\"steps\": [{\"title\": \"t\", \"hold\": \"yes\"}]}", "s.json: step 1 (\"title\"): \"hold\" must be true or false, not a string"},
    {"{\"beforeStart\": [{\"sequence\": \"\"}], \"steps\": []}",
     "s.json: before-start step 1 (\"sequence\"): \"sequence\" must not be empty"},
};

TEST(ScenarioParser, NamesFileAndPlaceOfEachJsonFault) {
    for (const BadScenario& bad : kBadJson) {
        const ScenarioParse parse = ParseScenarioJson(bad.text, "s.json");
        EXPECT_FALSE(parse.ok) << bad.text;
        EXPECT_THAT(parse.error, HasSubstr(bad.error)) << bad.text;
    }
}

const BadScenario kBadYaml[] = {
    {"steps:\n  - set: /a\n    value: [1, 2\n", "s.yaml:4:1: did not find expected ',' or ']'"},
    {"steps:\n  - advance: 99999999999999999999999\n", "s.yaml:2:14: the number 99999999999999999999999 is out of range"},
    {"a: &x [1]\nsteps: *x\n", "s.yaml:2:8: aliases are not supported in scenario files"},
    {"steps: []\n---\nsteps: []\n", "s.yaml:2:1: a scenario file holds one YAML document only"},
    {"? [a]\n: 1\nsteps: []\n", "s.yaml:1:3: mapping keys must be plain text"},
    {"steps: []\nsteps: []\n", "s.yaml:2:1: the key \"steps\" appears twice"},
    {"", "s.yaml:1:1: the file holds no YAML document"},
};

TEST(ScenarioParser, NamesFileAndPlaceOfEachYamlFault) {
    for (const BadScenario& bad : kBadYaml) {
        const ScenarioParse parse = ParseScenarioYaml(bad.text, "s.yaml");
        EXPECT_FALSE(parse.ok) << bad.text;
        EXPECT_THAT(parse.error, HasSubstr(bad.error)) << bad.text;
    }
}

TEST(ScenarioParser, RefusesDeepNestingInBothFormats) {
    const std::string deepJson = "{\"steps\": [{\"set\": \"/a\", \"value\": " + std::string(200, '[') +
                                 std::string(200, ']') + "}]}";
    EXPECT_THAT(ParseScenarioJson(deepJson, "d.json").error, HasSubstr("d.json: values nest deeper than 64 levels"));
    // Far beyond what a recursive reader survives: still an error, not a crash.
    const std::string deeper = std::string(1000000, '[') + std::string(1000000, ']');
    EXPECT_FALSE(ParseScenarioJson(deeper, "d.json").ok);
    const std::string deepYaml = "steps:\n  - set: /a\n    value: " + std::string(200, '[') + std::string(200, ']') + "\n";
    EXPECT_THAT(ParseScenarioYaml(deepYaml, "d.yaml").error, HasSubstr("values nest too deeply"));
}

TEST(ScenarioParser, LoadScenarioFileReportsUnreadablePaths) {
    EXPECT_EQ(LoadScenarioFile("/no/such/scenario.json").error, "/no/such/scenario.json: cannot be read");
    EXPECT_THAT(LoadScenarioFile(std::filesystem::temp_directory_path().string()).error, HasSubstr("is a directory"));
}

TEST(ScenarioParser, PositionOfOffsetCountsLinesAndCharacters) {
    const struct {
        const char* text;
        std::size_t offset, line, column;
    } cases[] = {
        {"abc", 2, 1, 3},     {"ab\ncd", 4, 2, 2}, {"ab\r\ncd", 5, 2, 2},
        {"\xC3\xA9x", 2, 1, 2}, {"\xE2\x82\xAC\xE2\x82\xACy", 6, 1, 3}, {"ab", 99, 1, 3},
    };
    for (const auto& c : cases) {
        const TextPosition at = PositionOfOffset(c.text, c.offset);
        EXPECT_EQ(at.line, c.line) << c.text << " @" << c.offset;
        EXPECT_EQ(at.column, c.column) << c.text << " @" << c.offset;
    }
}

// The fields that neither the player tests below nor the example scenarios (host.Scenario*,
// whose expectations hold only when every step was read right) reach.
TEST(ScenarioParser, ReadsTheFieldsOfEachStep) {
    const char* text = R"({"steps": [
        { "message": "level-change", "record": {}, "envelope": { "timestamp": 7 } },
        { "server": "honor.server.honorPlayer", "error": "down", "delayTurns": 2 },
        { "server": "honor.server.retrieveProfile", "silence": 5 },
        { "advance": 1.5 }
      ] })";
    const ScenarioParse parse = ParseScenarioJson(text, "k.json");
    ASSERT_TRUE(parse.ok) << parse.error;
    const std::vector<ScenarioStep>& steps = parse.scenario.steps;
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].envelopeTimestamp, 7);
    EXPECT_EQ(steps[1].reply, ServerReplyKind::Error);
    EXPECT_EQ(steps[1].delayTurns, 2u);
    EXPECT_EQ(steps[2].reply, ServerReplyKind::Silence);
    EXPECT_EQ(steps[2].delaySeconds, 5);
    EXPECT_EQ(steps[3].seconds, 1.5);
}

TEST(ScenarioParser, YamlScalarsReadAsTheJsonTheyLookLike) {
    const char* text =
        "steps:\n"
        "  - set: /r\n"
        "    value: {a: 12, b: -3, c: 2.5, d: true, e: ~, f: '12', g: text, h: !!str 7, i: 1e3, j: ''}\n";
    const ScenarioParse parse = ParseScenarioYaml(text, "y.yaml");
    ASSERT_TRUE(parse.ok) << parse.error;
    EXPECT_EQ(parse.scenario.steps[0].json,
              R"({"a":12,"b":-3,"c":2.5,"d":true,"e":null,"f":"12","g":"text","h":"7","i":1000.0,"j":""})");
}

// ---- the transcript as a person reads it ----

TEST(ScenarioFormat, JsonForDisplayKeepsShortValuesOnOneLine) {
    EXPECT_THAT(JsonForDisplay(R"({"a":[1,2],"b":{"c":"dddddddddd"}})", 26),
                ::testing::ElementsAre("{", R"(  "a": [1,2],)", R"(  "b": {"c":"dddddddddd"})", "}"));
    EXPECT_THAT(JsonForDisplay("not json at all, but long enough to be split", 10),
                ::testing::ElementsAre("not json at all, but long enough to be split"));
}

std::vector<std::string> Texts(const std::vector<FormattedLine>& lines) {
    std::vector<std::string> texts;
    for (const FormattedLine& line : lines) texts.push_back(std::string(2 * line.depth, ' ') + line.text);
    return texts;
}

TEST(ScenarioFormat, PublishedResourceEventsShowTypePathAndDataOnce) {
    TranscriptFormatter formatter;
    const std::string payload = R"({"uri":"/qiv-honor-v2/v1/config","eventType":"Update","data":{"Enabled":true}})";
    EXPECT_THAT(Texts(formatter.Format({"DispatchEvent", "\"OnJsonApiEvent_qiv-honor-v2_v1_config\" " + payload})),
                ::testing::ElementsAre("publish      Update /qiv-honor-v2/v1/config", R"(  {"Enabled":true})"));
    EXPECT_TRUE(formatter.Format({"DispatchEvent", "\"OnJsonApiEvent\" " + payload}).empty());
    const std::string deleted = R"({"uri":"/qiv-honor-v2/v1/ballot","eventType":2})";
    EXPECT_THAT(Texts(formatter.Format({"DispatchEvent", "\"OnJsonApiEvent\" " + deleted})),
                ::testing::ElementsAre("publish      Delete /qiv-honor-v2/v1/ballot"));
}

TEST(ScenarioFormat, WaitsIndentWhatHappensInsideThem) {
    TranscriptFormatter formatter;
    const std::vector<HostCall> calls = {
        {"BeginWait", "\"Wait: reply\""},
        {"RunPending", ""},
        {"-> Event", "\"OnServiceProxyUuidEvent\" to handle 81: {\"uuid\":\"u\"}"},
        {"WriteLog", "level 2: it failed"},
        {"EndWait", "1 turns"},
        {"PerformRequest", "POST \"/qiv-pre-end-of-game/v1/complete/honor-vote\" -> 200 null"},
    };
    std::vector<std::string> lines;
    for (const HostCall& call : calls) {
        for (const std::string& text : Texts(formatter.Format(call))) lines.push_back(text);
    }
    EXPECT_THAT(lines, ::testing::ElementsAre("wait         \"Wait: reply\"", "  event        OnServiceProxyUuidEvent",
                                              R"(    {"uuid":"u"})", "  log          ERROR  it failed",
                                              "wait over    after 1 turns",
                                              "request      POST \"/qiv-pre-end-of-game/v1/complete/honor-vote\"",
                                              "  -> 200 null"));
    EXPECT_EQ(formatter.WaitDepth(), 0u);
}

// ---- playing, against the ABI-only test plug-in ----

std::string PlayOnFake(const std::string& json, ScenarioOutcome& outcome, const char* plugin = QIV_FAKE_PLUGIN_PATH) {
    const ScenarioParse parse = ParseScenarioJson(json, "fake.json");
    EXPECT_TRUE(parse.ok) << parse.error;
    std::FILE* out = std::tmpfile();
    DevHost host;
    ScenarioPlayer player(host, out);
    outcome = player.Play(parse.scenario, plugin, HostVersion{});
    std::string text;
    std::rewind(out);
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) text += static_cast<char>(c);
    std::fclose(out);
    return text;
}

TEST(ScenarioPlayer, ChecksExpectationsAndCountsFailures) {
    ScenarioOutcome outcome;
    const std::string text = PlayOnFake(R"({"steps": [
        { "title": "Calls" },
        { "call": "GET /fake-get-only", "expectStatus": 200, "expectBody": "only get" },
        { "call": "PUT /fake-get-only", "expectStatus": 200 },
        { "call": "GET /fake/log?level=2&text=careful", "expectBody": "not in the body" },
        { "server": "honor.server.honorPlayer", "error": "server down", "status": 503, "once": true },
        { "call": "GET /fake/proxy?service=honor.server&method=honorPlayer&payload=1", "expectBody": "server down" },
        { "call": "GET /fake/proxy?service=honor.server&method=honorPlayer&payload=1", "expectBody": "honored" }
      ]})", outcome);
    EXPECT_EQ(outcome.ExitCode(), 1);
    EXPECT_THAT(text, HasSubstr("\n== Calls ==\n"));
    EXPECT_THAT(text, HasSubstr("  answer     404 error \"Invalid function\"\n"));
    EXPECT_THAT(text, HasSubstr("  EXPECT     FAILED: wanted status 200, got status 404\n"));
    EXPECT_THAT(text, HasSubstr("    log          ERROR  careful\n"));
    EXPECT_THAT(text, HasSubstr("honor.server.honorPlayer (next call only) fails with 503 \"server down\""));
    EXPECT_THAT(text, HasSubstr("    wait "));
    EXPECT_THAT(text, HasSubstr("7 steps played, 6 expectations checked, 2 failed")) << "both server answers held";
}

// Before-start resources are in the store when the plug-in starts; a held step's
// deliveries wait for the pump.
TEST(ScenarioPlayer, BeforeStartResourcesAreThereAndHeldDeliveriesWaitForAPump) {
    ScenarioOutcome outcome;
    const std::string text = PlayOnFake(R"({
      "beforeStart": [ { "set": "/some/resource", "value": { "n": 1 } } ],
      "steps": [
        { "call": "GET /fake/get?url=/some/resource", "expectBody": "{\"n\":1}" },
        { "call": "GET /fake/subscribe?name=OnJsonApiEvent&flag=0" },
        { "set": "/r", "value": { "n": 1 }, "hold": true },
        { "comment": "nothing delivered yet" },
        { "pump": 1 }
      ]})", outcome);
    EXPECT_EQ(outcome.ExitCode(), 0) << text;
    EXPECT_THAT(text, HasSubstr("== Before start =="));
    const std::size_t held = text.find("nothing delivered yet");
    const std::size_t delivered = text.find("event        OnJsonApiEvent (Create /r)");
    ASSERT_NE(delivered, std::string::npos) << text;
    EXPECT_LT(held, delivered) << text;
    EXPECT_LT(text.find("  pump       1 turn"), delivered) << text;
}

TEST(ScenarioPlayer, AMissingPluginEndsThePlayWithExitCodeOne) {
    ScenarioOutcome outcome;
    (void)PlayOnFake(R"({"steps": [{"title": "never"}]})", outcome, "/no/such/plugin.so");
    EXPECT_FALSE(outcome.loaded);
    EXPECT_EQ(outcome.stepsPlayed, 0u);
    EXPECT_EQ(outcome.ExitCode(), 1);
}

}  // namespace
}  // namespace qivhost
