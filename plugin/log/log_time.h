// The clocks behind log lines: the local wall-clock time of a record, the elapsed time
// of the "#H" token, and the two textual time stamps.
//
// The formatting functions are bounded and truncating: output never exceeds `size` bytes
// including the terminator. They return the number of characters written.
#pragma once

#include <cstddef>

#include "log/log_record.h"

namespace vclient {

// Fills the seven fields from the local time (the day of the week is dropped). A null
// `fields` is ignored.
void GetLogLocalTime(LogTime* fields);

// "2024-01-02T03:04:05.006": year, month, day, hour, minute, second, millisecond.
std::size_t FormatLogTimestamp(char* buffer, std::size_t size, const LogTime& fields);

// "2024-01-02T03-04-05": the first six fields, no colons and no milliseconds, so that
// the text can be part of a file name.
std::size_t FormatLogFileTimestamp(char* buffer, std::size_t size, const LogTime& fields);

// Seconds since the log clock was first read. The counter frequency is read once and the
// first reading becomes the base, so the first call returns 0.
[[nodiscard]] double GetLogClockSeconds();

}  // namespace vclient
