// A plug-in library loaded into the host process: the system's loader behind one small
// interface (dlopen on Linux, LoadLibraryW on Windows). The library stays mapped until
// the process ends, so what its runtime keeps for the whole process stays reachable.
#pragma once

#include <string>

namespace qivhost {

class PluginLibrary {
public:
    // Loads the library at `path` (UTF-8). On failure returns false and sets `error` to a
    // text that names the path and the system's reason.
    bool Open(const std::string& path, std::string& error);
    // The address of the exported symbol `name`, or null.
    void* Find(const char* name) const;
    bool IsOpen() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

}  // namespace qivhost
