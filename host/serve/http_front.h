// The HTTP side of the served host, on cpp-httplib. Every request is checked by the
// request guard first (403), then:
// - GET /events: the event stream (text/event-stream) of everything the plug-in
//   dispatches, "event: NAME" and "data: PAYLOAD-JSON" per event, ": keep-alive"
//   comments while nothing happens;
// - /host/...: the host's controls (host_controls.h);
// - GET /: the explorer page (explorer_page.h); GET /openapi.json: the plug-in's API as an
//   OpenAPI document (openapi_document.h); GET /help: the same as the help records
//   (api_help.h). These three shadow a plug-in route of the same method and path;
// - anything else: a call of the plug-in's REST API with the request's method, target
//   (path and query as sent), headers (names in lower case), content type and body bytes.
//   The answer is the plug-in's body as JSON with its status (0 from the plug-in, a
//   plain success, is 200); an error is {"error":"TEXT"} with its status; a path no
//   route matches is 404 in the same shape.
// Bodies larger than the limit answer 413, however they are sent (length, chunks,
// compression); multipart bodies 415; requests cpp-httplib cannot read 400. Every error
// answer of the front itself is {"error":"..."} too.
#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <thread>

#include "serve/event_stream_hub.h"
#include "serve/plugin_thread.h"
#include "serve/serve_options.h"

namespace qivhost {

class HttpFront {
public:
    HttpFront(PluginThread& plugin, EventStreamHub& events, const ServeOptions& options);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Binds the listening socket; the port, or -1 with `error`.
    int Bind(std::string& error);
    // Serves on a thread of its own; returns once it accepts connections.
    void Start();
    // Stops accepting, lets running requests finish and joins the thread.
    void Stop();

private:
    void Handle(const httplib::Request& request, httplib::Response& response, std::optional<std::string> body);
    void HandleWithBody(const httplib::Request& request, httplib::Response& response,
                        const httplib::ContentReader& reader);
    void Stream(httplib::Response& response);
    void CallPlugin(const httplib::Request& request, httplib::Response& response, std::optional<std::string> body);
    void Control(const httplib::Request& request, httplib::Response& response, std::string body);
    void Describe(bool asHelp, httplib::Response& response);

    PluginThread& plugin_;
    EventStreamHub& events_;
    const ServeOptions options_;
    const bool anyAddress_;
    httplib::Server server_;
    std::thread thread_;
};

}  // namespace qivhost
