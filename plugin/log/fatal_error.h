// Assertion reports and fatal errors.
//
// A report is a readable multi-line text logged at Error in the group "DBG":
//
//   Assertion failed!
//
//   File: <file>
//   Line: <line>
//
//   Function: <function>
//
//   Expression: <expression>
//
//   Description: <description>
//
// Blocks whose text is null or empty (or whose line is 0) are left out. A fatal error is
// a report whose expression is a code "ALE-" plus eight upper-case hexadecimal digits:
//   "ALE-EECF0606"  incompatible host plug-in API version at load
//   "ALE-6D828C10"  a broken future while awaiting
#pragma once

#include <cstddef>
#include <cstdint>

namespace vclient {

inline constexpr const char* kFatalIncompatibleHostApi = "ALE-EECF0606";
inline constexpr const char* kFatalBrokenFuture = "ALE-6D828C10";

// Writes the report text into `buffer` (cut to `size`, always terminated when `size` is
// not 0) and returns its length.
std::size_t FormatAssertionReport(char* buffer, std::size_t size, const char* expression, const char* description,
                                  const char* file, std::int32_t line, const char* function);

// Logs the report with Log(LogLevel::Error, kLogGroupDbg, "%s", report).
void ReportAssertion(const char* expression, const char* description, const char* file, std::int32_t line,
                     const char* function);

// Reports `code` with `description`, flushes the standard streams and ends the process
// with abort. The report reaches standard error even when nobody has taken a log
// reference yet, since the first log call creates the system with that target attached.
[[noreturn]] void RaiseFatalError(const char* code, const char* description);

}  // namespace vclient
