// Nothing may unwind into the host: a C++ exception that escapes a callback would end
// the host's process. Every entry point the host calls (event and timer callbacks,
// Initialize, Shutdown) runs its work through ContainAtBoundary, which logs what escaped
// and returns normally.
#pragma once

#include <exception>
#include <utility>

#include "log/log.h"

namespace vclient {

// Runs `work`; returns false (after logging at Error) when it threw.
template <class Work>
bool ContainAtBoundary(const char* where, Work&& work) noexcept {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception& error) {
        Log(LogLevel::Error, kLogGroupDbg, "%s: %s", where, error.what());
    } catch (...) {
        Log(LogLevel::Error, kLogGroupDbg, "%s: unknown exception", where);
    }
    return false;
}

}  // namespace vclient
