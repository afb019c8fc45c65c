#include "runtime/app_module.h"

namespace vclient {

// The module keeps no event handlers yet, so there is nothing to unsubscribe; the
// resource-event and service-proxy tables extend this when they are added.
void AppModule::UnsubscribeAll() {}

}  // namespace vclient
