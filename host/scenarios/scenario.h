// A scenario: a scripted session of the development host with the plug-in. The host
// loads the plug-in, plays the "before start" steps (the state the client's other
// components hold when the plug-in starts), calls Initialize, plays the main steps in
// order and shuts the plug-in down. scenario_parser.h reads one from a file;
// scenario_player.h plays it.
//
// Every JSON value a step carries (a resource, a record, a request body, a server
// answer) is kept as compact JSON text, which is what the host's components take.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qivhost {

enum class StepKind {
    Title,           // a section heading
    Comment,         // a note line
    SetResource,     // store a resource (Create when new, Update otherwise)
    DeleteResource,  // remove a resource (Delete)
    Message,         // a messaging-service message: record wrapped in the envelope
    Sequence,        // the current pre-end-of-game sequence event
    Server,          // script a back-end service method behind the service proxy
    Vyre,            // push a Vyre message from the server
    Call,            // call one of the plug-in's REST routes
    Pump,            // host turns, without moving the clock
    Settle,          // host turns until nothing is due
    Advance,         // move the host clock, then settle
};

enum class ServerReplyKind { Answer, Error, Silence };

struct ScenarioStep {
    StepKind kind = StepKind::Comment;
    std::string text;  // title, comment; the URI of a resource or message; the sequence name;
                       // "service.method" of a server script; the Vyre type name; the call's URL
    std::string json;  // resource value, message record, Vyre body, server answer, call body
    bool hasJson = false;

    // Message envelope.
    std::string envelopeService = "honor";
    std::string envelopeVersion = "1.0";
    std::int64_t envelopeTimestamp = 0;

    std::int32_t priority = 1;  // Sequence

    // Server script.
    std::string service;
    std::string method;
    ServerReplyKind reply = ServerReplyKind::Answer;
    std::string error;           // Error
    std::string status = "500";  // Error
    double delaySeconds = 0;     // Answer, Error: reply delay; Silence: time until the proxy times out
    std::uint64_t delayTurns = 0;
    bool once = false;

    // Call.
    std::string httpMethod;
    std::optional<std::int32_t> expectStatus;
    std::optional<std::string> expectBody;  // a text the answer's body must contain

    std::uint64_t turns = 1;  // Pump
    double seconds = 0;       // Advance

    bool hold = false;  // do not settle after this step
};

struct Scenario {
    std::string file;
    std::string title;
    std::vector<ScenarioStep> beforeStart;
    std::vector<ScenarioStep> steps;
};

}  // namespace qivhost
