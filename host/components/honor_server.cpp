#include "components/honor_server.h"

namespace qivhost {
namespace {

std::string Key(std::string_view service, std::string_view method) {
    return std::string(service) + "." + std::string(method);
}

ServerReply DefaultReply(const std::string& key) {
    if (key == "honor.server.honorPlayer") return ServerReply::Answer("\"honored\"");
    if (key == "honor.server.retrieveProfile") {
        return ServerReply::Answer(R"({"honorLevel":2,"checkpoint":0,"rewardsLocked":false})");
    }
    return ServerReply::Failure("Unknown service method " + key, "404");
}

}  // namespace

ServerReply ServerReply::Answer(std::string payloadJson) {
    ServerReply reply;
    reply.payload = std::move(payloadJson);
    return reply;
}

ServerReply ServerReply::Failure(std::string error, std::string status) {
    ServerReply reply;
    reply.kind = Kind::Failure;
    reply.payload.clear();
    reply.error = std::move(error);
    reply.status = std::move(status);
    return reply;
}

ServerReply ServerReply::Silence(double timeoutSeconds) {
    ServerReply reply;
    reply.kind = Kind::Silence;
    reply.payload.clear();
    reply.delaySeconds = timeoutSeconds;
    return reply;
}

void HonorServer::Script(std::string_view service, std::string_view method, ServerReply reply) {
    standing_[Key(service, method)] = std::move(reply);
}

void HonorServer::ScriptOnce(std::string_view service, std::string_view method, ServerReply reply) {
    once_[Key(service, method)].push_back(std::move(reply));
}

void HonorServer::ClearScript() {
    standing_.clear();
    once_.clear();
}

ServerReply HonorServer::ReplyTo(std::string_view service, std::string_view method, std::string_view payload) {
    const std::string key = Key(service, method);
    calls_.push_back(ServerCall{key, std::string(payload)});
    auto queued = once_.find(key);
    if (queued != once_.end() && !queued->second.empty()) {
        ServerReply reply = std::move(queued->second.front());
        queued->second.pop_front();
        return reply;
    }
    const auto standing = standing_.find(key);
    return standing != standing_.end() ? standing->second : DefaultReply(key);
}

}  // namespace qivhost
