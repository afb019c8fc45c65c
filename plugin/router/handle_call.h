// HandleCall: the dispatch callback of every route entry. The host calls it with a zeroed
// response to fill and the call's request, whose dispatchContext is the one it found in
// the called function's entry (a RouteDispatchContext).
//
// Serving one call:
//   1. The route: the binding named by the dispatch context; its pattern was compiled once
//      when the route was declared, so a call only matches.
//   2. The match: the binding's method is None, or equals the call's method (codes outside
//      1 to 8 count as None) and, for Custom, the method words are equal byte for byte;
//      and the URL's path -- the text before its first "?", byte for byte -- matches the
//      pattern as a whole. The captures are URL-decoded into the path arguments. The query
//      after the "?" is left to argument binding, so "/ballot?x=1" reaches the literal
//      route "/ballot" with the query argument x.
//   3. No match (or no usable dispatch context): errorText "Invalid function", status 404.
//   4. Argument binding (argument_binding.h); a failure answers its text with status 400.
//   5. The invoker converts the arguments and runs the member operation (invoker.h),
//      with a CallContext when the operation takes one.
//   6. The response is written (response_writer.h), including `release`, which the host
//      must call once when it is done with the response.
//
// Status codes: a failure always carries a status, never 0, because a host may take 0 for a
// success: binding and conversion failures answer 400 and handler failures 500 unless the
// call result already had a status. The host authors' notes (abi/README.md) list them; a
// host may send the status on as the HTTP status as it stands.
//
// Nothing escapes: any exception inside the call is answered with status 500 and
// "Internal server error" (followed by ": " and the exception's text when it has one), after
// everything already written into the response has been released. Nothing is logged.
//
// Threading: takes no lock and keeps no state of its own; the host may call it for any
// functions on any threads at once, once the route table has been built.
#pragma once

#include "qiv/plugin_abi.h"

namespace vclient {

void QIV_CALL HandleCall(HostResponse* response, const HostRequest* request) noexcept;

}  // namespace vclient
