#include "components/vyre_connection.h"

#include "components/client_event_names.h"

namespace qivhost {

ComponentAnswer VyreConnection::HandleInvoke(const OutgoingRequest& request) {
    VyreInvocation invocation;
    if (request.parameters.size() != 3) {
        return ComponentAnswer::Failure(400, "Expected 3 parameters (destination, method, arguments), got " +
                                                std::to_string(request.parameters.size()));
    }
    if (!request.TextParameter(0, invocation.destination)) return ComponentAnswer::Failure(400, "Parameter 0 (destination) must be a text");
    if (!request.TextParameter(1, invocation.method)) return ComponentAnswer::Failure(400, "Parameter 1 (method) must be a text");
    invocation.argumentsJson = HostValueToJson(request.parameters[2].value.Get());
    invocation.clientHandle = request.clientHandle;
    invocations_.push_back(std::move(invocation));
    if (failure_) return ComponentAnswer::Failure(failure_->status, failure_->error);
    return ComponentAnswer::Ok();
}

void VyreConnection::SetInvokeFailure(std::int32_t status, std::string error) {
    failure_ = Failure{status, std::move(error)};
}

void VyreConnection::Push(HostEventSink& sink, std::string_view clientId, std::string_view subtopic,
                          std::string_view typeName, const OwnedHostValue& body) {
    OwnedHostValue payload = StructureBuilder()
                                 .AddText("clientId", clientId)
                                 .AddText("subtopic", subtopic)
                                 .AddText("typeName", typeName)
                                 .Add("body", body)
                                 .Build();
    sink.Publish(VyreEventName(typeName), std::move(payload));
}

}  // namespace qivhost
