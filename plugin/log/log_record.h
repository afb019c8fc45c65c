// What a log target receives for one accepted log call, and the seven time fields that
// lines and file names are stamped with.
//
// A record lives on the stack of the log call that made it and is only valid during the
// target's Write; a target that keeps the message must copy it.
#pragma once

#include <cstdint>

#include "log/log_groups.h"
#include "log/log_level.h"

namespace vclient {

// A local wall-clock time: month 1-12, day 1-31.
struct LogTime {
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t millisecond = 0;
};

struct LogRecord {
    // The local time at which the call was accepted.
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t millisecond = 0;
    LogLevel level = LogLevel::Okay;
    LogGroups groups = 0;
    // The formatted message, at most 4095 characters; never null.
    const char* message = "";
};

}  // namespace vclient
