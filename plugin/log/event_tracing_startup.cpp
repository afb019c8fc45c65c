// The module's start-up and exit hooks for its trace providers. Linked into the plug-in
// library itself (not the log library), so that every module that carries the providers
// registers them exactly once.
//
// The providers are constant-initialised, so they exist before any static initialiser
// runs, and they are trivially destructible, so a late enable callback from the system
// never finds them gone. The hook is a static object with a low initialisation priority:
// it registers before the library's other static initialisers (and so before any plug-in
// code runs), and, destroyed in reverse order, unregisters after them at exit. Without
// the system's library (Linux) both hooks do nothing.
#include "log/event_tracing.h"

namespace vclient {
namespace {

constinit TraceProviders gTraceProviders;

struct TraceProvidersHook {
    TraceProvidersHook() noexcept { gTraceProviders.Register(LoadTraceEntryPoints()); }
    ~TraceProvidersHook() { gTraceProviders.Unregister(); }
    TraceProvidersHook(const TraceProvidersHook&) = delete;
    TraceProvidersHook& operator=(const TraceProvidersHook&) = delete;
};

// Priorities 101-65535 are the program's own; lower runs earlier, 65535 is the default.
TraceProvidersHook gTraceProvidersHook __attribute__((init_priority(200)));

}  // namespace
}  // namespace vclient
