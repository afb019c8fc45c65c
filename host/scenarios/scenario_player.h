// Plays a scenario (scenario.h) against a plug-in in the development host and prints a
// transcript for a person as it goes: the scenario's own steps and section headings,
// and under each step what the host and the plug-in did in it (scenario_format.h), REST
// answers with their status, error and body, and the outcome of each expectation.
//
// Order of play: Load, the "before start" steps (their resource announcements are
// dropped, since nothing is subscribed yet; the plug-in reads the resources during its
// start), Initialize, the steps, Shutdown. After every step that makes something happen
// the host runs until nothing is due, unless the step says "hold"; "pump", "settle" and
// "advance" steps drive the turns and the clock by hand.
//
// A failed expectation is reported and counted; playing goes on, so that one run shows
// every difference.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "core/dev_host.h"
#include "scenarios/scenario.h"
#include "scenarios/scenario_format.h"

namespace qivhost {

struct [[nodiscard]] ScenarioOutcome {
    bool loaded = false;
    bool started = false;
    std::size_t stepsPlayed = 0;
    std::size_t expectations = 0;
    std::size_t failures = 0;  // failed expectations and steps the host refused

    // 0 when the plug-in loaded, started and every expectation held; otherwise 1.
    [[nodiscard]] int ExitCode() const { return loaded && started && failures == 0 ? 0 : 1; }
};

class ScenarioPlayer {
public:
    ScenarioPlayer(DevHost& host, std::FILE* out) : host_(host), out_(out) {}

    ScenarioOutcome Play(const Scenario& scenario, const std::string& pluginPath, const HostVersion& version);

private:
    bool Load(const std::string& pluginPath, const HostVersion& version);
    void Start(const Scenario& scenario);
    void Stop();
    void RunStep(const ScenarioStep& step);
    bool Act(const ScenarioStep& step);
    void Call(const ScenarioStep& step);
    void ScriptServer(const ScenarioStep& step);
    void Expect(bool held, const std::string& wanted, const std::string& got);
    void Refused(const std::string& what);

    void Heading(const std::string& title);
    void Say(const std::string& word, const std::string& text);
    void SayJson(const std::string& json, std::size_t depth);
    // Prints the transcript entries recorded since the last flush.
    void Flush();

    DevHost& host_;
    std::FILE* out_;
    TranscriptFormatter formatter_;
    std::size_t printed_ = 0;
    ScenarioOutcome outcome_;
};

}  // namespace qivhost
