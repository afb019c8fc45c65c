// A route call on the probe plug-in's routes (tests/e2e/probe): path variables, query
// strings with percent escapes and member paths, headers, typed parameters, and bodies
// for the routes that take one, through route matching, UrlDecode and argument binding.
// The probe is compiled into this program and driven through its load record.
#include <cstddef>
#include <cstdint>

#include "call_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qivfuzz::CallOptions options{{}, {"x-trace", "verbose", "limit", "id", "uri", "X-Trace"}};
    qivfuzz::RunCall(data, size, options);
    return 0;
}
