// `qiv-host serve`: the development host with the plug-in started, serving its REST API,
// its event stream and the host's controls over HTTP until it is asked to stop.
//
// Open binds the socket, loads and starts the plug-in and plays the scenario, if any
// (its steps as in `qiv-host scenario`, but the plug-in keeps running afterwards); Serve
// prints "serving http://ADDRESS:PORT/", serves until RequestStop or the watched signal
// flag, then stops the HTTP side and shuts the plug-in down. Messages go to `out`.
#pragma once

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "core/dev_host.h"
#include "serve/event_stream_hub.h"
#include "serve/plugin_thread.h"
#include "serve/serve_options.h"

namespace qivhost {

class HttpFront;

class ServeSession {
public:
    ServeSession(const ServeOptions& options, std::FILE* out);
    ~ServeSession();
    ServeSession(const ServeSession&) = delete;
    ServeSession& operator=(const ServeSession&) = delete;

    // False (with the reason on `out`) when the port cannot be bound or the plug-in cannot
    // be loaded or started. Before Open the host may be set up (DevHost::onLog).
    bool Open();
    int Port() const { return port_; }
    std::string Url() const;
    // Serves on the calling thread, which becomes the plug-in thread.
    void Serve();
    void RequestStop() { plugin_.RequestStop(); }
    void WatchFlag(const volatile std::sig_atomic_t* flag) { plugin_.WatchFlag(flag); }
    DevHost& Host() { return host_; }

private:
    bool PlayScenario();
    void ForwardEvents();

    const ServeOptions options_;
    std::FILE* out_;
    DevHost host_;
    PluginThread plugin_;
    EventStreamHub events_;
    std::unique_ptr<HttpFront> front_;
    std::size_t forwarded_ = 0;
    int port_ = -1;
};

}  // namespace qivhost
