// ArgumentLocation: where an argument of a route may be given. One value per argument is
// kept in the route's binding and handed to the host in the route table.
//
// Any accepts the query, the path and the headers but never the body; Body is the only
// location that receives the body. The value 3 has no name here: it is passed through to
// the host unchanged and matches no source, so an argument carrying it binds from nothing
// but typed parameters.
#pragma once

#include <cstdint>

#include "qiv/plugin_abi.h"

namespace vclient {

enum class ArgumentLocation : std::uint32_t {
    Any = QIV_ARGUMENT_LOCATION_ANY,
    Query = QIV_ARGUMENT_LOCATION_QUERY,
    Path = QIV_ARGUMENT_LOCATION_PATH,
    Header = QIV_ARGUMENT_LOCATION_HEADER,
    Body = QIV_ARGUMENT_LOCATION_BODY,
};

}  // namespace vclient
