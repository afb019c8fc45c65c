// The scriptable back-end services behind the service proxy, the honor server first.
// For each "service.method" a test or scenario says what comes back: an answer payload
// (JSON text), an error text, the status text, a delay in host seconds and/or turns, or
// silence. Silence is a reply that never comes on its own; the service proxy answers it
// with a timeout error after ServerReply::delaySeconds (default 30 s of host time; an
// infinite delay means no reply at all).
//
// Unscripted calls: "honor.server.honorPlayer" answers the text "honored",
// "honor.server.retrieveProfile" the profile {honorLevel 2, checkpoint 0,
// rewardsLocked false}; every other method fails with "Unknown service method <key>" and
// status "404".
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qivhost {

struct ServerReply {
    enum class Kind { Answer, Failure, Silence };
    Kind kind = Kind::Answer;
    std::string payload = "null";  // JSON text, for Answer
    std::string error;             // for Failure
    std::string status = "200";
    double delaySeconds = 0;
    std::uint64_t delayTurns = 0;

    [[nodiscard]] static ServerReply Answer(std::string payloadJson);
    [[nodiscard]] static ServerReply Failure(std::string error, std::string status = "500");
    [[nodiscard]] static ServerReply Silence(double timeoutSeconds = 30);
};

// One call the server received.
struct ServerCall {
    std::string key;  // "service.method"
    std::string payload;
};

class HonorServer {
public:
    // Every later call of service.method gets `reply` (after any queued once-replies).
    void Script(std::string_view service, std::string_view method, ServerReply reply);
    // The next call of service.method gets `reply`; once-replies queue up in order.
    void ScriptOnce(std::string_view service, std::string_view method, ServerReply reply);
    void ClearScript();

    [[nodiscard]] ServerReply ReplyTo(std::string_view service, std::string_view method, std::string_view payload);
    const std::vector<ServerCall>& Calls() const { return calls_; }

private:
    std::map<std::string, ServerReply> standing_;
    std::map<std::string, std::deque<ServerReply>> once_;
    std::vector<ServerCall> calls_;
};

}  // namespace qivhost
