// Levels of log calls and their printed words.
//
// A call passes a threshold (the system's minimum level, a target's level) when its level
// is at least the threshold, compared as signed numbers, so `Always` passes every
// threshold from 0 to 3.
#pragma once

#include <cstdint>

namespace vclient {

enum class LogLevel : std::int32_t { Okay = 0, Warn = 1, Error = 2, Always = 3 };

// The word printed for a level by the "#L" token: always six characters, right-aligned
// ("  OKAY", "  WARN", " ERROR", "ALWAYS"). A value outside 0-3 prints "   ???".
[[nodiscard]] const char* GetLogLevelName(LogLevel level);

// True when a call at `level` passes the threshold `threshold`.
[[nodiscard]] constexpr bool PassesLogLevel(LogLevel level, LogLevel threshold) {
    return static_cast<std::int32_t>(level) >= static_cast<std::int32_t>(threshold);
}

}  // namespace vclient
