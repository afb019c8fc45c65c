#include "log/log_time.h"

#include <cstdio>

#include "platform/platform.h"

namespace vclient {

namespace {

// snprintf reports the length it wanted; callers want what is in the buffer.
std::size_t WrittenLength(int wanted, std::size_t size) {
    if (wanted < 0 || size == 0) return 0;
    const auto length = static_cast<std::size_t>(wanted);
    return length < size ? length : size - 1;
}

std::int64_t CounterBase() {
    static const std::int64_t base = platform::QueryPerformanceCounter();
    return base;
}

std::int64_t CounterFrequency() {
    static const std::int64_t frequency = platform::QueryPerformanceFrequency();
    return frequency;
}

}  // namespace

void GetLogLocalTime(LogTime* fields) {
    if (fields == nullptr) return;
    const platform::SystemTime now = platform::GetLocalTime();
    fields->year = now.year;
    fields->month = now.month;
    fields->day = now.day;
    fields->hour = now.hour;
    fields->minute = now.minute;
    fields->second = now.second;
    fields->millisecond = now.milliseconds;
}

std::size_t FormatLogTimestamp(char* buffer, std::size_t size, const LogTime& fields) {
    if (buffer == nullptr || size == 0) return 0;
    const int wanted = std::snprintf(buffer, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", fields.year, fields.month,
                                     fields.day, fields.hour, fields.minute, fields.second, fields.millisecond);
    return WrittenLength(wanted, size);
}

std::size_t FormatLogFileTimestamp(char* buffer, std::size_t size, const LogTime& fields) {
    if (buffer == nullptr || size == 0) return 0;
    const int wanted = std::snprintf(buffer, size, "%04d-%02d-%02dT%02d-%02d-%02d", fields.year, fields.month,
                                     fields.day, fields.hour, fields.minute, fields.second);
    return WrittenLength(wanted, size);
}

double GetLogClockSeconds() {
    const std::int64_t base = CounterBase();
    const std::int64_t frequency = CounterFrequency();
    if (frequency <= 0) return 0.0;
    return static_cast<double>(platform::QueryPerformanceCounter() - base) / static_cast<double>(frequency);
}

}  // namespace vclient
