// Where client components put the events they raise (resource changes, service-proxy
// replies, Vyre messages). The DevHost implements it by queueing a delivery on its
// pending queue, so the plug-in receives the event on a later host turn.
#pragma once

#include <cstdint>
#include <string>

#include "host_value_json.h"

namespace qivhost {

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Publish(std::string name, OwnedHostValue payload, double delaySeconds = 0,
                         std::uint64_t delayTurns = 0) = 0;
};

}  // namespace qivhost
