// The process-wide log system: filters each log call, stamps it with the local time and
// hands one record to every attached target, in attach order.
//
// The system is created by the first LogAddRef or by the first call that needs it (a log
// call, a setter, attaching a target); creation attaches the standard-error and debugger
// targets. The LogRelease that brings the count of references to zero detaches every
// target and destroys the system; that last release must not race with log calls on
// other threads. Getters report the initial settings while no system exists.
//
// Filters: a call is dropped while the log is muted, when its level is below the minimum
// level (initially Warn), or when its groups share a bit with the disabled groups
// (initially "XTR"). A target then takes a record when the level reaches the target's
// level and, for a non-zero group mask, the mask shares no bit with the target's disabled
// groups and, if the target has enabled groups, shares one with them.
//
// Any thread may log. The system lock is held while one record is written to all targets,
// so lines of concurrent calls never interleave. A log call allocates nothing; a log call
// made by a target while it writes (on the same thread) is dropped, as it would
// otherwise re-enter the targets without end.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "log/log_groups.h"
#include "log/log_level.h"

namespace vclient {

struct LogTargetInterface;

// Formats `format` (a C printf format) with the arguments; the message is cut to 4095
// characters. A null format logs "<null format>".
[[gnu::format(printf, 3, 4)]] void Log(LogLevel level, LogGroups groups, const char* format, ...);
[[gnu::format(printf, 3, 0)]] void LogV(LogLevel level, LogGroups groups, const char* format, va_list arguments);

// Whether a call at `level` in `groups` would pass the system's filters (mute, minimum
// level, disabled groups) right now; with no system yet, the initial settings decide.
[[nodiscard]] bool LogWouldPass(LogLevel level, LogGroups groups) noexcept;

// Trace lines: the runtime's diagnostics that begin with the caller's name ("%s: Handling
// event %s", ...), written through QIV_LOG_TRACE. By default they are not compiled in:
// the macro's arguments are checked against the format but never evaluated, so a trace
// line costs nothing, not even the texts its arguments would build. A build with
// QIV_TRACE_LINES compiles them in: LogTrace then logs at level Okay in group XTR, and
// the arguments are evaluated only when that level and group pass the filters (both are
// filtered out initially).
#if defined(QIV_TRACE_LINES)
inline constexpr bool kTraceLinesCompiledIn = true;
#else
inline constexpr bool kTraceLinesCompiledIn = false;
#endif
[[gnu::format(printf, 1, 2)]] void LogTrace(const char* format, ...);

#define QIV_LOG_TRACE(...)                                                                            \
    do {                                                                                             \
        if (::vclient::kTraceLinesCompiledIn &&                                                      \
            ::vclient::LogWouldPass(::vclient::LogLevel::Okay, ::vclient::kLogGroupXtr)) {           \
            ::vclient::LogTrace(__VA_ARGS__);                                                        \
        }                                                                                            \
    } while (false)

// A process-wide count of references; see the lifecycle above. A LogRelease without a
// matching LogAddRef is ignored.
void LogAddRef();
void LogRelease();

void SetLogLevel(LogLevel level);
[[nodiscard]] LogLevel GetLogLevel();
void SetDisabledLogGroups(LogGroups groups);
[[nodiscard]] LogGroups GetDisabledLogGroups();
// While muted every log call is dropped.
void MuteLog();
void UnmuteLog();

// Appends a target to the list, with no duplicate check and without touching the target's
// `attached` flag. Returns false, changing nothing, for a null table, a table with an
// empty entry, or when the system cannot be created or the list cannot grow.
bool AddLogTarget(LogTargetInterface* target);
// Removes every occurrence of `target`, keeping the order of the others.
void RemoveLogTarget(LogTargetInterface* target);
// The first attached target whose name equals `name` (case-sensitive), or null.
[[nodiscard]] LogTargetInterface* FindLogTarget(const char* name);

// The built-in console targets, owned by the system; null while no system exists.
[[nodiscard]] LogTargetInterface* GetStdOutLogTarget();
[[nodiscard]] LogTargetInterface* GetStdErrLogTarget();
[[nodiscard]] LogTargetInterface* GetDebuggerLogTarget();

// The file name of the process's executable, "<unknown>" until it has been read.
[[nodiscard]] const char* GetLogExecutableName();

}  // namespace vclient
