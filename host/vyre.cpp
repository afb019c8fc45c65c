#include "vyre.h"

#include "event_name.h"

namespace qivhost {

EndpointAnswer VyreConnection::HandleInvoke(const OutgoingRequest& request) {
    VyreInvocation invocation;
    if (request.parameters.size() != 3) {
        return EndpointAnswer::Failure(400, "Expected 3 parameters (destination, method, arguments), got " +
                                                std::to_string(request.parameters.size()));
    }
    if (!request.TextParameter(0, invocation.destination)) return EndpointAnswer::Failure(400, "Parameter 0 (destination) must be a text");
    if (!request.TextParameter(1, invocation.method)) return EndpointAnswer::Failure(400, "Parameter 1 (method) must be a text");
    invocation.argumentsJson = HostValueToJson(request.parameters[2].value.Get());
    invocation.clientHandle = request.clientHandle;
    invocations_.push_back(std::move(invocation));
    if (failure_) return EndpointAnswer::Failure(failure_->status, failure_->error);
    return EndpointAnswer::Ok();
}

void VyreConnection::SetInvokeFailure(std::int32_t status, std::string error) {
    failure_ = Failure{status, std::move(error)};
}

void VyreConnection::Push(EventSink& sink, std::string_view clientId, std::string_view subtopic,
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
