// The served host's own routes under /host/: what a scenario file can do, reachable
// while the plug-in runs. They run on the plug-in thread.
//
//   GET    /host/transcript[?since=N]     what happened so far (json_out.h)
//   GET    /host/routes                   the plug-in's route table
//   GET    /host/resources/<uri>          a client resource as the host holds it
//   PUT    /host/resources/<uri>          set it (the body is its JSON value): the plug-in
//   POST   /host/resources/<uri>            receives a Create or an Update
//   DELETE /host/resources/<uri>          remove it: the plug-in receives a Delete
//   POST   /host/steps                    one scenario step object, or an array of them
//   POST   /host/sequence-event           a "sequence" step   {"sequence":"honor-vote","priority":1}
//   POST   /host/honor-server/answers     a "server" step     {"server":"honor.server.honorPlayer","answer":...}
//   POST   /host/messages                 a "message" step    {"message":"level-change","record":{...}}
//   POST   /host/vyre                     a "vyre" step       {"vyre":"TYPE","body":{...}}
//   POST   /host/clock                    an "advance" step   {"advance":SECONDS}
// Steps are read and checked as in scenario files (examples/README.md); after each one
// the host settles unless it says "hold". Answers are JSON; a refusal is
// {"error":"..."} with 400 (bad step or value), 404 (no such control or resource) or 405.
#pragma once

#include <map>
#include <string>

#include "core/dev_host.h"

namespace qivhost {

struct ControlRequest {
    std::string method;
    std::string path;  // decoded, without the query
    std::string body;
    std::multimap<std::string, std::string> query;
};

struct ControlAnswer {
    int status = 200;
    std::string json;
};

inline constexpr const char* kHostControlPrefix = "/host/";

[[nodiscard]] ControlAnswer HandleHostControl(DevHost& host, const ControlRequest& request);

}  // namespace qivhost
