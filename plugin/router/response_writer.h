// Writing a call's outcome into the host's response record, and releasing it again.
//
// Ownership: everything the router puts into a response is allocated by the plug-in and
// belongs to it until the host calls the response's `release`, which the router always
// sets to ReleaseResponse. The host must call it exactly once when it has finished reading
// the response (after closing a streamed body); it frees the error text, the body's host
// value, the text attribute, the header array with its texts and a stream not yet
// destroyed, and zeroes those fields, so a second call does nothing.
//
// What the host reads (HostResponse, abi/qiv/plugin_abi.h):
//   failed call      body empty, errorText the failure text, errorFlag 1
//   succeeded call   body the result value as a host value (enumerators by name); when the
//                    value cannot be converted: status 400, errorText "Couldn't convert
//                    the result of '<function>'.", errorFlag 1
//   always           resultFlag, resultMode (1, 2 or 3, else 0), status, resultText (never
//                    null), headers and headerCount (null and 0 when there are none)
//   streamed body    streamContext, readChunk and closeStream (the router's adapters),
//                    sizeHint; the word at offset 50 is 0
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/enum_names.h"
#include "qiv/plugin_abi.h"
#include "router/call_result.h"

namespace vclient {

// Fills a zeroed response from `result`, taking over its stream.
void WriteResponse(HostResponse& response, CallResult& result, const EnumNames* names,
                   std::string_view functionName);

// A failure answer without a call result, into a zeroed (or released) response: `message`
// and `status`. When even the copy of the message cannot be allocated, errorText stays
// null and the status and flag tell.
void WriteFailure(HostResponse& response, std::int32_t status, std::string_view message) noexcept;

// The release callback of every response the router fills.
void QIV_CALL ReleaseResponse(HostResponse* response) noexcept;

}  // namespace vclient
