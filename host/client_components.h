// The client's other components as one simulated whole, and the routing of the
// plug-in's outgoing requests to them. Answer() tries, in order: the scripted answers of
// the URL, the service proxy and Vyre endpoints of the login plug-in, the pre-end-of-game
// plug-in, the telemetry sink, and finally a GET of a stored resource. A GET of a URI
// that holds nothing answers 404 "No resource at <uri>"; any other unknown request
// answers 404 "No endpoint for <METHOD> <url>"; a request without URL answers 400.
#pragma once

#include "endpoint_answer.h"
#include "event_sink.h"
#include "honor_server.h"
#include "outgoing_request.h"
#include "pre_end_of_game.h"
#include "request_script.h"
#include "resource_store.h"
#include "service_proxy.h"
#include "telemetry.h"
#include "vyre.h"

namespace qivhost {

struct ClientComponents {
    ResourceStore resources;
    HonorServer server;
    ServiceProxy serviceProxy{server};
    VyreConnection vyre;
    PreEndOfGame preEndOfGame;
    TelemetrySink telemetry;
    RequestScript script;

    EndpointAnswer Answer(const OutgoingRequest& request, EventSink& sink);
};

}  // namespace qivhost
