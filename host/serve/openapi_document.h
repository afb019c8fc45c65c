// GET /openapi.json: the plug-in's REST API as an OpenAPI 3.1 document, built from the
// route table and the description tables the plug-in handed over at load.
//
// - paths: one operation per route and method, keyed by the route's path template ("/"
//   and the function's name for a route without one; "{+name}" is written "{name}" and
//   "{#name}" "#{name}", each described as what it captures). A route that takes every
//   method has an operation for GET, POST, PUT, PATCH and DELETE, named
//   "<function>.<method>"; an operation id is otherwise the function's name. A custom
//   method goes under "x-qiv-methods" of the path item. When two routes share a path and
//   a method, the first one is listed: it is the one the host calls.
// - arguments: a template variable is a path parameter (required); an argument located
//   in the query or in a header is a query or header parameter (a header under its
//   lower-case name); an argument that may come from anywhere ("Any": query, path or
//   header, never the body) is the path parameter of its variable, else a query
//   parameter that says so; the body argument is the request body, in JSON, YAML or MessagePack.
//   Arguments of structured types are JSON texts in the query, as the router reads them.
//   "x-qiv-arguments" lists every argument in order with its location's name.
// - results: "200" with the result's schema (none for a function without result);
//   "default": the host's {"error": TEXT}.
// - components/schemas: every record (properties in wire order) and enumeration (its
//   enumerator names, as results write them; "x-qiv-enumerators" gives their values), under
//   its registered name with characters outside letters, digits, ".", "-" and "_" replaced
//   by "_"; plus "qiv-host.Error".
// - "x-qiv-events": every event the plug-in declares, with its payload's schema; they
//   arrive on the host's event stream, "x-qiv-event-stream" (GET /events).
#pragma once

#include <string>
#include <vector>

#include "core/plugin_routes.h"
#include "qiv/plugin_abi.h"
#include "serve/api_help.h"

namespace qivhost {

struct OpenApiSource {
    std::string title;    // the plug-in's short name
    std::string version;  // the plug-in API version it reported
    const std::vector<RouteInfo>* routes = nullptr;
    const ApiHelp* help = nullptr;  // functions by route index
};

[[nodiscard]] std::string OpenApiDocument(const OpenApiSource& source);

}  // namespace qivhost
