// The client's other components as one simulated whole, and the routing of the
// plug-in's outgoing requests to them. Answer() tries, in order: the scripted answers of
// the URL, the service proxy and Vyre endpoints of the login plug-in, the pre-end-of-game
// plug-in, the telemetry sink, and finally a GET of a stored resource. A GET of a URI
// that holds nothing answers 404 "No resource at <uri>"; any other unknown request
// answers 404 "No endpoint for <METHOD> <url>"; a request without URL answers 400.
#pragma once

#include "components/honor_server.h"
#include "components/login_service_proxy.h"
#include "components/pre_end_of_game.h"
#include "components/request_script.h"
#include "components/resource_store.h"
#include "components/telemetry_sink.h"
#include "components/vyre_connection.h"
#include "core/component_answer.h"
#include "core/host_event_sink.h"
#include "core/outgoing_request.h"

namespace qivhost {

struct ClientComponents {
    ResourceStore resources;
    HonorServer server;
    ServiceProxy serviceProxy{server};
    VyreConnection vyre;
    PreEndOfGame preEndOfGame;
    TelemetrySink telemetry;
    RequestScript script;

    ComponentAnswer Answer(const OutgoingRequest& request, HostEventSink& sink);
};

}  // namespace qivhost
