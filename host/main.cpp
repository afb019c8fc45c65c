// qiv-host: loads the plug-in library into the development host and drives it.
// Usage:
//   qiv-host [run] [OPTIONS]                      start, report, stop
//   qiv-host routes [--json] [OPTIONS]            list the plug-in's REST routes
//   qiv-host call METHOD URL [--header NAME:VALUE]... [--body TEXT|@FILE|@-] [--content-type CT] [OPTIONS]
//   qiv-host scenario FILE [OPTIONS]              play a scenario file (examples/README.md)
//   qiv-host serve [--port N] [--scenario FILE] [--listen ADDRESS] [OPTIONS]
//                                                 serve the REST API over HTTP (serve/serve_session.h)
// OPTIONS: --plugin PATH, --host-version MAJOR.MINOR.PATCH, --transcript (print every
// call between host and plug-in at the end).
// Each command is a function over one Session (load, initialize, settle, shut down), so
// that a scripted command only has to add its steps between opening and closing.
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "core/dev_host.h"
#include "scenarios/scenario_parser.h"
#include "scenarios/scenario_player.h"
#include "serve/json_out.h"
#ifdef QIV_HAVE_HTTP_SERVER
#include "serve/request_guard.h"
#include "serve/serve_session.h"
#endif

#ifndef QIV_DEFAULT_PLUGIN_PATH
#define QIV_DEFAULT_PLUGIN_PATH "qpx-be-qiv-honor-v2.so"
#endif

namespace {

const char kUsage[] =
    "usage: qiv-host [run] [--plugin PATH] [--host-version MAJOR.MINOR.PATCH] [--transcript]\n"
    "       qiv-host routes [--json] [options]\n"
    "       qiv-host call METHOD URL [--header NAME:VALUE]... [--body TEXT|@FILE|@-] [--content-type CT] [options]\n"
    "       qiv-host scenario FILE [options]\n"
    "       qiv-host serve [--port N] [--scenario FILE] [--listen ADDRESS] [options]\n";

struct Options {
    std::string plugin = QIV_DEFAULT_PLUGIN_PATH;
    qivhost::HostVersion version;
    bool transcript = false;
    std::string command = "run";
    std::vector<std::string> arguments;  // the command's own words, in order
};

int Usage(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "qiv-host: %s\n", message.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

const char* LevelWord(std::int32_t level) {
    switch (level) {
        case 0: return "OKAY";
        case 1: return "WARN";
        case 2: return "ERROR";
        case 3: return "ALWAYS";
        default: return "?";
    }
}

void PrintStatistics(const PluginMemoryStatistics& s) {
    std::printf("memory statistics:\n");
    std::printf("  peak bytes in use        %" PRIu64 "\n", s.peakBytesInUse);
    std::printf("  live allocations at peak %" PRIu64 "\n", s.liveAllocationsAtPeak);
    std::printf("  bytes allocated          %" PRIu64 "\n", s.bytesAllocated);
    std::printf("  allocations              %" PRIu64 "\n", s.allocationCount);
    std::printf("  bytes freed              %" PRIu64 "\n", s.bytesFreed);
    std::printf("  frees                    %" PRIu64 "\n", s.freeCount);
    std::printf("  reserved                 %" PRIu64 "\n", s.reserved);
}

// One run of the plug-in inside the development host.
class Session {
public:
    explicit Session(const Options& options) : options_(options) {
        host_.onLog = [](std::int32_t level, const std::string& message) {
            std::printf("  plug-in log | %-6s | %s\n", LevelWord(level), message.c_str());
        };
    }

    // Loads and reports the load record; false when the library cannot be used.
    bool Load(bool verbose) {
        std::printf("loading %s as host API %s\n", options_.plugin.c_str(), qivhost::ToString(options_.version).c_str());
        std::fflush(stdout);
        if (!host_.Load(options_.plugin, options_.version)) {
            std::fprintf(stderr, "qiv-host: %s\n", host_.Error().c_str());
            return false;
        }
        const PluginLoadRecord& record = host_.LoadRecord();
        const char* shortName = record.shortName;
        std::printf("load record:\n  plug-in API %" PRIu32 ".%" PRIu32 ".%" PRIu32 "\n  short name  %s\n", record.apiMajor,
                    record.apiMinor, record.apiPatch, shortName != nullptr ? shortName : "(null)");
        std::printf("  route table %s (%zu routes)\n", record.routeTable != nullptr ? "present" : "missing",
                    host_.Routes().size());
        if (verbose) PrintStatistics(host_.GetMemoryStatistics());
        return true;
    }

    // Initializes and delivers what the start-up raised.
    bool Start(bool verbose) {
        const bool started = host_.Initialize();
        std::printf("Initialize -> %s\n", started ? "true" : "false");
        host_.RunUntilIdle();
        if (verbose) PrintStatistics(host_.GetMemoryStatistics());
        return started;
    }

    void Stop() {
        host_.RunUntilIdle();
        host_.Shutdown();
        std::printf("Shutdown done\n");
    }

    void PrintCalls() const {
        std::printf("host calls made by the plug-in (%zu):\n", host_.Calls().size());
        for (const qivhost::HostCall& call : host_.Calls()) std::printf("  %s %s\n", call.slot.c_str(), call.detail.c_str());
    }

    void PrintTranscript() const {
        if (!options_.transcript) return;
        std::printf("transcript (%zu):\n", host_.History().Calls().size());
        host_.History().Print(stdout);
    }

    qivhost::DevHost& Host() { return host_; }

private:
    const Options& options_;
    qivhost::DevHost host_;
};

int RunCommand(const Options& options) {
    if (!options.arguments.empty()) return Usage("run takes no arguments");
    Session session(options);
    if (!session.Load(true)) return 1;
    const bool started = session.Start(true);
    session.Stop();
    session.PrintCalls();
    session.PrintTranscript();
    return started ? 0 : 1;
}

// The route table as JSON alone on standard output, for programs.
int RoutesJson(const Options& options) {
    qivhost::DevHost host;
    if (!host.Load(options.plugin, options.version)) {
        std::fprintf(stderr, "qiv-host: %s\n", host.Error().c_str());
        return 1;
    }
    std::printf("%s\n", qivhost::RouteTableJson(host.Routes()).c_str());
    host.Shutdown();
    return 0;
}

int RoutesCommand(const Options& options) {
    if (options.arguments.size() == 1 && options.arguments[0] == "--json") return RoutesJson(options);
    if (!options.arguments.empty()) return Usage("routes takes no arguments but --json");
    Session session(options);
    if (!session.Load(false)) return 1;
    std::printf("routes (%zu):\n", session.Host().Routes().size());
    for (const qivhost::RouteInfo& route : session.Host().Routes()) {
        std::string arguments;
        for (const qivhost::RouteArgument& argument : route.arguments) {
            arguments += (arguments.empty() ? "" : ", ") + argument.name;
        }
        std::printf("  %-7s %-45s %s(%s)\n", route.method == 0 ? "*" : route.methodWord.c_str(),
                    route.pathTemplate.c_str(), route.name.c_str(), arguments.c_str());
    }
    session.Host().Shutdown();
    session.PrintTranscript();
    return 0;
}

// A body given as "@FILE" (or "@-", standard input): the file's bytes, as they are.
bool ReadBodyFile(const std::string& name, std::string& body, std::string& error) {
#ifdef _WIN32
    if (name == "-") (void)_setmode(_fileno(stdin), _O_BINARY);  // no CR-LF translation
#endif
    std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open --body file '" + name + "': " + std::strerror(errno);
        return false;
    }
    body.clear();
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) body.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    if (file != stdin) std::fclose(file);
    if (failed) error = "cannot read --body file '" + name + "'";
    return !failed;
}

// Parses "METHOD URL [--header NAME:VALUE]... [--body TEXT|@FILE|@-] [--content-type CT]".
bool ParseCall(const std::vector<std::string>& words, qivhost::RestCall& call, std::string& error) {
    if (words.size() < 2) {
        error = "call needs METHOD and URL";
        return false;
    }
    call.method = words[0];
    call.url = words[1];
    bool contentTypeGiven = false;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const bool hasValue = i + 1 < words.size();
        if (words[i] == "--header" && hasValue) {
            const std::string& header = words[++i];
            const std::size_t colon = header.find(':');
            if (colon == std::string::npos || colon == 0) {
                error = "bad --header '" + header + "' (NAME:VALUE)";
                return false;
            }
            call.headers.emplace_back(header.substr(0, colon), header.substr(colon + 1));
        } else if (words[i] == "--body" && hasValue) {
            const std::string& body = words[++i];
            call.body = body;
            if (body.size() > 1 && body[0] == '@' && !ReadBodyFile(body.substr(1), *call.body, error)) return false;
        } else if (words[i] == "--content-type" && hasValue) {
            call.contentType = words[++i];
            contentTypeGiven = true;
        } else {
            error = "unknown call argument '" + words[i] + "'";
            return false;
        }
    }
    if (call.body && !contentTypeGiven) call.contentType = "application/json";
    return true;
}

int CallCommand(const Options& options) {
    qivhost::RestCall call;
    std::string error;
    if (!ParseCall(options.arguments, call, error)) {
        if (error.rfind("cannot ", 0) != 0) return Usage(error);
        std::fprintf(stderr, "qiv-host: %s\n", error.c_str());
        return 2;
    }
    Session session(options);
    if (!session.Load(false)) return 1;
    if (!session.Start(false)) {
        session.Stop();
        return 1;
    }
    const qivhost::RestAnswer answer = session.Host().Call(call);
    std::printf("call %s %s -> %s\n", call.method.c_str(), call.url.c_str(),
                answer.reachedPlugin ? answer.routeName.c_str() : "(no route)");
    std::printf("status %" PRId32 "\n", answer.status);
    std::printf("error %s\n", answer.errorText ? ("\"" + *answer.errorText + "\"").c_str() : "none");
    std::printf("body %s\n", answer.bodyJson.c_str());
    session.Stop();
    session.PrintTranscript();
    return answer.errorText ? 1 : 0;
}

// Plays a scenario file; a file that cannot be used ends with exit code 2 before
// anything is loaded.
int ScenarioCommand(const Options& options) {
    if (options.arguments.size() != 1) return Usage("scenario needs exactly one FILE");
    const qivhost::ScenarioParse parse = qivhost::LoadScenarioFile(options.arguments[0]);
    if (!parse.ok) {
        std::fprintf(stderr, "qiv-host: %s\n", parse.error.c_str());
        return 2;
    }
    qivhost::DevHost host;
    qivhost::ScenarioPlayer player(host, stdout);
    const qivhost::ScenarioOutcome outcome = player.Play(parse.scenario, options.plugin, options.version);
    if (options.transcript) {
        std::printf("transcript (%zu):\n", host.History().Calls().size());
        host.History().Print(stdout);
    }
    return outcome.ExitCode();
}

#ifdef QIV_HAVE_HTTP_SERVER
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int) { g_stopSignal = 1; }

// Parses "[--port N] [--scenario FILE] [--listen ADDRESS]".
bool ParseServe(const std::vector<std::string>& words, qivhost::ServeOptions& serve, std::string& error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i + 1 >= words.size()) {
            error = "unknown serve argument '" + words[i] + "'";
            return false;
        }
        const std::string& value = words[i + 1];
        if (words[i] == "--port") {
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
                error = "bad --port '" + value + "' (0 to 65535)";
                return false;
            }
            serve.port = static_cast<int>(port);
        } else if (words[i] == "--scenario") {
            serve.scenarioFile = value;
        } else if (words[i] == "--listen") {
            serve.listenAddress = value;
        } else {
            error = "unknown serve argument '" + words[i] + "'";
            return false;
        }
        ++i;
    }
    return true;
}

int ServeCommand(const Options& options) {
    qivhost::ServeOptions serve;
    serve.pluginPath = options.plugin;
    serve.version = options.version;
    std::string error;
    if (!ParseServe(options.arguments, serve, error)) return Usage(error);
    if (!qivhost::IsLoopbackListenAddress(serve.listenAddress)) {
        std::fprintf(stderr, "qiv-host: warning: listening on %s: other machines can reach the plug-in, without "
                             "any authentication\n", serve.listenAddress.c_str());
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, &OnStopSignal);
    std::signal(SIGTERM, &OnStopSignal);
    qivhost::ServeSession session(serve, stdout);
    session.Host().onLog = [](std::int32_t level, const std::string& message) {
        std::printf("  plug-in log | %-6s | %s\n", LevelWord(level), message.c_str());
    };
    session.WatchFlag(&g_stopSignal);
    if (!session.Open()) return 1;
    session.Serve();
    if (options.transcript) {
        std::printf("transcript (%zu):\n", session.Host().History().Calls().size());
        session.Host().History().Print(stdout);
    }
    return 0;
}
#else
int ServeCommand(const Options&) {
    std::fprintf(stderr, "qiv-host: this build has no HTTP server (it needs cpp-httplib); serve is not available\n");
    return 2;
}
#endif

struct CommandEntry {
    const char* name;
    int (*run)(const Options&);
};

constexpr CommandEntry kCommands[] = {{"run", &RunCommand}, {"routes", &RoutesCommand}, {"call", &CallCommand},
                                     {"scenario", &ScenarioCommand}, {"serve", &ServeCommand}};

const CommandEntry* FindCommand(const std::string& name) {
    for (const CommandEntry& entry : kCommands) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    // Line by line, so that the output is complete even when the process ends abruptly.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    int first = 1;
    if (argc > 1 && FindCommand(argv[1]) != nullptr) {
        options.command = argv[1];
        first = 2;
    }
    for (int i = first; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool commandOption = argument == "--header" || argument == "--body" || argument == "--content-type" ||
                                   argument == "--port" || argument == "--scenario" || argument == "--listen";
        if (commandOption && options.command != "run" && i + 1 < argc) {
            options.arguments.push_back(argument);  // its value is the command's, whatever it reads like
            options.arguments.push_back(argv[++i]);
        } else if (argument == "--plugin" && i + 1 < argc) {
            options.plugin = argv[++i];
        } else if (argument == "--host-version" && i + 1 < argc) {
            if (!qivhost::ParseHostVersion(argv[++i], options.version)) return Usage("bad --host-version");
        } else if (argument == "--transcript") {
            options.transcript = true;
        } else if (argument == "--help" || argument == "-h") {
            return Usage("");
        } else if (options.command == "run") {
            return Usage("unknown argument '" + argument + "'");
        } else {
            options.arguments.push_back(argument);
        }
    }
    return FindCommand(options.command)->run(options);
}
