// The line formats of log targets: a small language in which "#" and a letter stands
// for a part of the record.
//
//   "#D"  the record's local time, "2024-01-02T03:04:05.006"
//   "#E"  the file name of the process's executable
//   "#G"  the record's groups, names joined by ";" ("DBG;GEN")
//   "#H"  time since the log clock was first read, "000012.345"
//   "#L"  the six-character word of the record's level ("  WARN")
//   "#M"  the record's message
//   "#T"  the calling thread's identifier, eight upper-case hexadecimal digits
//
// Any other character after "#" is copied alone; a "#" at the very end ends the line.
// Every line ends with exactly one newline (appended unless the text already ends with
// one), so an empty format yields just a newline.
#pragma once

#include <cstddef>

#include "log/log_record.h"

namespace vclient {

inline constexpr const char* kDefaultLogFormat = "#D| #L| #G| #M";
inline constexpr const char* kConsoleLogFormat = "#E(#T): #L| #M";

// Writes the line of `record` in `format` (null is the empty format). Two bytes of `size`
// are kept for the newline and the terminator: a longer text is cut and still ends with
// its newline. Returns the number of characters written, newline included; a buffer of
// fewer than two bytes receives only a terminator (when it has one byte).
std::size_t FormatLogLine(char* buffer, std::size_t size, const char* format, const LogRecord& record);

}  // namespace vclient
