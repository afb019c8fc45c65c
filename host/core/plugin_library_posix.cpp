#include "core/plugin_library.h"

#include <dlfcn.h>

namespace qivhost {

bool PluginLibrary::Open(const std::string& path, std::string& error) {
    // RTLD_NODELETE: the library stays mapped after the host is done with it, so leak
    // reports from inside its runtime keep their symbols.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle_ != nullptr) return true;
    const char* why = dlerror();
    error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
    return false;
}

void* PluginLibrary::Find(const char* name) const { return handle_ == nullptr ? nullptr : dlsym(handle_, name); }

}  // namespace qivhost
