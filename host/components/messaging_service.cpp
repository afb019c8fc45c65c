#include "components/messaging_service.h"

namespace qivhost {
namespace {

OwnedHostValue Signed(std::int64_t number) {
    HostValue value{};
    value.kind = QIV_HOST_VALUE_SIGNED;
    value.signedValue = number;
    return OwnedHostValue::CopyOf(value);
}

}  // namespace

OwnedHostValue VmsMessage(std::string_view uri, std::string_view payloadJson, const VmsEnvelope& envelope) {
    const std::size_t slash = uri.rfind('/');
    const std::string_view resource = slash == std::string_view::npos ? uri : uri.substr(slash + 1);
    return StructureBuilder()
        .AddText("resource", resource)
        .AddText("service", envelope.service)
        .AddText("version", envelope.version)
        .Add("timestamp", Signed(envelope.timestamp))
        .AddText("payload", payloadJson)
        .Build();
}

}  // namespace qivhost
