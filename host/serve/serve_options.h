// How `qiv-host serve` runs: which plug-in, where it listens, what it plays first.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "core/dev_host.h"

namespace qivhost {

struct ServeOptions {
    std::string pluginPath;
    HostVersion version;
    std::string scenarioFile;  // empty: none
    std::string listenAddress = "127.0.0.1";
    int port = 0;  // 0: any free port
    // How often an idle event stream gets a comment line, so that proxies and clients
    // see the connection alive (and the host notices a reader that went away).
    std::chrono::milliseconds keepAliveInterval{15000};
    std::size_t maxBodyBytes = std::size_t{8} << 20;
};

}  // namespace qivhost
