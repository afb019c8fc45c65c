// The legacy Vyre connection of the login plug-in.
//
// POST "/qiv-login/v1/session/invoke" with 3 positional parameters (destination text,
// method text, arguments of any kind) records the invocation and answers success; a
// scripted failure (SetInvokeFailure) answers every later invocation with that status
// and error instead. Messages from the server are pushed with Push: event
// "OnVyreEvent_<typeName with . -> _>" carrying a PluginVyreEvent structure
// {clientId, subtopic, typeName, body}.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/component_answer.h"
#include "core/host_event_sink.h"
#include "core/outgoing_request.h"

namespace qivhost {

inline constexpr char kVyreInvokeUrl[] = "/qiv-login/v1/session/invoke";
inline constexpr char kSimpleDialogMessageClass[] = "com.rerozuvod.platform.messaging.persistence.SimpleDialogMessage";

struct VyreInvocation {
    std::string destination;
    std::string method;
    std::string argumentsJson;
    std::uint32_t clientHandle = 0;
};

class VyreConnection {
public:
    ComponentAnswer HandleInvoke(const OutgoingRequest& request);
    void SetInvokeFailure(std::int32_t status, std::string error);
    void ClearInvokeFailure() { failure_.reset(); }
    const std::vector<VyreInvocation>& Invocations() const { return invocations_; }

    static void Push(HostEventSink& sink, std::string_view clientId, std::string_view subtopic, std::string_view typeName,
                     const OwnedHostValue& body);

private:
    struct Failure {
        std::int32_t status;
        std::string error;
    };
    std::vector<VyreInvocation> invocations_;
    std::optional<Failure> failure_;
};

}  // namespace qivhost
