#include "log/log_line_format.h"

#include <cstdint>
#include <cstdio>

#include "log/log_system.h"
#include "log/log_time.h"
#include "platform/platform.h"

namespace vclient {

namespace {

// Appends text to the line while keeping room for the final newline and terminator.
class LineWriter {
public:
    LineWriter(char* buffer, std::size_t size) : buffer_(buffer), limit_(size - 2) {}

    void Append(const char* text) {
        for (; *text != '\0' && length_ < limit_; ++text) buffer_[length_++] = *text;
    }
    void Append(char c) {
        if (length_ < limit_) buffer_[length_++] = c;
    }

    std::size_t Finish() {
        if (length_ == 0 || buffer_[length_ - 1] != '\n') buffer_[length_++] = '\n';
        buffer_[length_] = '\0';
        return length_;
    }

private:
    char* buffer_;
    std::size_t limit_;
    std::size_t length_ = 0;
};

// Groups are the longest token: 64 names of three letters and 63 separators.
constexpr std::size_t kTokenBufferSize = 4 * 64 + 1;

void FormatElapsed(char* text, std::size_t size) {
    // Both parts come from one single-precision value, as the clock has always printed
    // them; 64-bit arithmetic keeps a long-running process from overflowing.
    const auto seconds = static_cast<float>(GetLogClockSeconds());
    const auto whole = static_cast<long long>(seconds);
    const auto millis = static_cast<long long>(seconds * 1000.0f) % 1000;
    std::snprintf(text, size, "%06lld.%03lld", whole, millis);
}

LogTime TimeOf(const LogRecord& record) {
    return LogTime{record.year, record.month, record.day, record.hour, record.minute, record.second,
                   record.millisecond};
}

// Writes the replacement of token `letter`; returns false when `letter` names no token.
bool AppendToken(LineWriter& line, char letter, const LogRecord& record) {
    char text[kTokenBufferSize];
    switch (letter) {
        case 'D': FormatLogTimestamp(text, sizeof text, TimeOf(record)); break;
        case 'E': line.Append(GetLogExecutableName()); return true;
        case 'G': FormatLogGroups(text, sizeof text, record.groups); break;
        case 'H': FormatElapsed(text, sizeof text); break;
        case 'L': line.Append(GetLogLevelName(record.level)); return true;
        case 'M': line.Append(record.message != nullptr ? record.message : ""); return true;
        // The Windows build prints the id with "%p" of a 32-bit process: eight upper-case
        // hexadecimal digits. Print it so everywhere.
        case 'T': std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(platform::GetCurrentThreadId())); break;
        default: return false;
    }
    line.Append(text);
    return true;
}

}  // namespace

std::size_t FormatLogLine(char* buffer, std::size_t size, const char* format, const LogRecord& record) {
    if (buffer == nullptr || size == 0) return 0;
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    LineWriter line(buffer, size);
    for (const char* cursor = format != nullptr ? format : ""; *cursor != '\0'; ++cursor) {
        if (*cursor != '#') {
            line.Append(*cursor);
            continue;
        }
        const char letter = *++cursor;
        if (letter == '\0') break;
        if (!AppendToken(line, letter, record)) line.Append(letter);
    }
    return line.Finish();
}

}  // namespace vclient
