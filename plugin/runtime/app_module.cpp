#include "runtime/app_module.h"

namespace vclient {

void AppModule::Subscribe(const std::string& uri) { resourceEvents_.Subscribe(uri); }

void AppModule::Unsubscribe(const std::string& uri) { resourceEvents_.Unsubscribe(uri); }

// The parts go with the module; HostTurns forgets the pending timers.
AppModule::~AppModule() = default;

void AppModule::UnsubscribeAll() {
    resourceEvents_.UnsubscribeAll();
    vyre_.Clear();
    serviceProxy_.Clear();
}

}  // namespace vclient
