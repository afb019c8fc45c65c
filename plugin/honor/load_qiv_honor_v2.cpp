// The library's one export. The host calls it once with its load record; the plug-in
// object built here lives until the host calls Shutdown.
#include "honor/honor_plugin.h"
#include "qiv/plugin_abi.h"

extern "C" QIV_EXPORT void QIV_CALL load_qiv_honor_v2(PluginLoadRecord* record) {
    if (record == nullptr) return;
    auto* plugin = new Vorn::Client::Honor::HonorPlugin();
    plugin->Register(record, "qiv-honor-v2");
}
