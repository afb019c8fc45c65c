// Where client components put the events they raise (resource changes, service-proxy
// replies, Vyre messages): events of the host, which reach subscriptions by flag
// (dev_host.h). The DevHost implements it by queueing a delivery on its pending queue,
// so the plug-in receives the event on a later host turn.
#pragma once

#include <cstdint>
#include <string>

#include "core/host_value_json.h"

namespace qivhost {

class HostEventSink {
public:
    virtual ~HostEventSink() = default;
    virtual void Publish(std::string name, OwnedHostValue payload, double delaySeconds = 0,
                         std::uint64_t delayTurns = 0) = 0;
};

}  // namespace qivhost
