#include "serve/serve_session.h"

#include "scenarios/scenario_parser.h"
#include "serve/http_front.h"
#include "serve/step_actions.h"

namespace qivhost {

ServeSession::ServeSession(const ServeOptions& options, std::FILE* out)
    : options_(options), out_(out), front_(std::make_unique<HttpFront>(plugin_, events_, options_)) {}

ServeSession::~ServeSession() {
    front_->Stop();
    host_.Shutdown();
}

std::string ServeSession::Url() const {
    const bool v6 = options_.listenAddress.find(':') != std::string::npos;
    const std::string address = v6 ? "[" + options_.listenAddress + "]" : options_.listenAddress;
    return "http://" + address + ":" + std::to_string(port_) + "/";
}

bool ServeSession::Open() {
    std::string error;
    port_ = front_->Bind(error);
    if (port_ < 0) {
        std::fprintf(out_, "qiv-host: %s\n", error.c_str());
        return false;
    }
    std::fprintf(out_, "loading %s as host API %s\n", options_.pluginPath.c_str(), ToString(options_.version).c_str());
    std::fflush(out_);  // an incompatible plug-in may end the process right here
    if (!host_.Load(options_.pluginPath, options_.version)) {
        std::fprintf(out_, "qiv-host: %s\n", host_.Error().c_str());
        return false;
    }
    return PlayScenario();
}

// Load is done; plays the scenario's "before start" steps, starts the plug-in and plays
// the steps. A step the host refuses or an expectation that fails is reported; the host
// serves all the same.
bool ServeSession::PlayScenario() {
    Scenario scenario;
    if (!options_.scenarioFile.empty()) {
        const ScenarioParse parse = LoadScenarioFile(options_.scenarioFile);
        if (!parse.ok) {
            std::fprintf(out_, "qiv-host: %s\n", parse.error.c_str());
            return false;
        }
        scenario = parse.scenario;
    }
    std::vector<std::string> failures;
    const auto apply = [&](const ScenarioStep& step, std::size_t number) {
        std::string error;
        if (!ApplyHostStep(host_, step, error)) failures.push_back("step " + std::to_string(number) + ": " + error);
    };
    for (std::size_t i = 0; i < scenario.beforeStart.size(); ++i) apply(scenario.beforeStart[i], i + 1);
    host_.RunUntilIdle();
    const bool started = host_.Initialize();
    std::fprintf(out_, "Initialize -> %s\n", started ? "true" : "false");
    if (!started) return false;
    host_.RunUntilIdle();
    std::size_t expectations = 0;
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
        const ScenarioStep& step = scenario.steps[i];
        if (step.kind == StepKind::Call) {
            expectations += CallStep(host_, step, failures);
        } else {
            apply(step, i + 1);
        }
        if (!step.hold) host_.RunUntilIdle();
    }
    if (!options_.scenarioFile.empty()) {
        std::fprintf(out_, "scenario %s: %zu steps played, %zu expectations checked, %zu failed\n",
                     options_.scenarioFile.c_str(), scenario.steps.size(), expectations, failures.size());
        for (const std::string& failure : failures) std::fprintf(out_, "  FAILED %s\n", failure.c_str());
    }
    forwarded_ = host_.Dispatched().size();  // nobody could have been reading yet
    return true;
}

void ServeSession::ForwardEvents() {
    const std::vector<DispatchedEvent>& dispatched = host_.Dispatched();
    for (; forwarded_ < dispatched.size(); ++forwarded_) {
        events_.Publish(StreamedEvent{dispatched[forwarded_].name, dispatched[forwarded_].payloadJson});
    }
}

void ServeSession::Serve() {
    front_->Start();
    std::fprintf(out_, "serving %s\n", Url().c_str());
    std::fflush(out_);
    plugin_.Serve(host_, [this] { ForwardEvents(); });
    // No work is waiting on the plug-in thread any more: end the streams, then the server.
    events_.Close();
    front_->Stop();
    host_.RunUntilIdle();
    host_.Shutdown();
    std::fprintf(out_, "Shutdown done\n");
    std::fflush(out_);
}

}  // namespace qivhost
