// qiv-host: loads the plug-in library into the development host and prints what the host
// saw. Usage:
//   qiv-host [run] [--plugin PATH] [--host-version MAJOR.MINOR.PATCH]
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "dev_host.h"

#ifndef QIV_DEFAULT_PLUGIN_PATH
#define QIV_DEFAULT_PLUGIN_PATH "qpx-be-qiv-honor-v2.so"
#endif

namespace {

struct Options {
    std::string plugin = QIV_DEFAULT_PLUGIN_PATH;
    qivhost::HostVersion version;
};

int Usage(const char* message) {
    if (message != nullptr) std::fprintf(stderr, "qiv-host: %s\n", message);
    std::fprintf(stderr, "usage: qiv-host [run] [--plugin PATH] [--host-version MAJOR.MINOR.PATCH]\n");
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

int Run(const Options& options) {
    qivhost::DevHost host;
    host.onLog = [](std::int32_t level, const std::string& message) {
        std::printf("  plug-in log | %-6s | %s\n", LevelWord(level), message.c_str());
    };
    std::printf("loading %s as host API %s\n", options.plugin.c_str(), qivhost::ToString(options.version).c_str());
    std::fflush(stdout);
    if (!host.Load(options.plugin, options.version)) {
        std::fprintf(stderr, "qiv-host: %s\n", host.Error().c_str());
        return 1;
    }
    const PluginLoadRecord& record = host.LoadRecord();
    std::printf("load record:\n  plug-in API %" PRIu32 ".%" PRIu32 ".%" PRIu32 "\n  short name  %s\n", record.apiMajor,
                record.apiMinor, record.apiPatch, record.shortName != nullptr ? record.shortName : "(null)");
    std::printf("  route table %s\n", record.routeTable != nullptr ? "present" : "missing");
    PrintStatistics(host.GetMemoryStatistics());

    const bool started = host.Initialize();
    std::printf("Initialize -> %s\n", started ? "true" : "false");
    PrintStatistics(host.GetMemoryStatistics());
    host.Shutdown();
    std::printf("Shutdown done\n");

    std::printf("host calls made by the plug-in (%zu):\n", host.Calls().size());
    for (const qivhost::HostCall& call : host.Calls()) {
        std::printf("  %s %s\n", call.slot.c_str(), call.detail.c_str());
    }
    return started ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "run" && i == 1) continue;
        if (argument == "--plugin" && i + 1 < argc) {
            options.plugin = argv[++i];
        } else if (argument == "--host-version" && i + 1 < argc) {
            if (!qivhost::ParseHostVersion(argv[++i], options.version)) return Usage("bad --host-version");
        } else if (argument == "--help" || argument == "-h") {
            return Usage(nullptr);
        } else {
            return Usage(("unknown argument '" + argument + "'").c_str());
        }
    }
    return Run(options);
}
