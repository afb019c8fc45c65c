// The log system as a flat, versioned table of plain functions, so that a module which
// shares the process's log can reach it without linking this library. Entries keep this
// order; a caller outside the module may rely on it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "log/log_groups.h"
#include "log/log_level.h"
#include "log/log_record.h"

namespace vclient {

struct LogTargetInterface;

inline constexpr std::int32_t kLogApiVersion = 1;

struct LogApi {
    std::int32_t (*Version)();  // kLogApiVersion
    void (*LogAddRef)();
    void (*LogRelease)();
    void (*SetLogLevel)(LogLevel level);
    LogLevel (*GetLogLevel)();
    void (*SetDisabledLogGroups)(LogGroups groups);
    LogGroups (*GetDisabledLogGroups)();
    void (*MuteLog)();
    void (*UnmuteLog)();
    // Set and clear a flag of the system that nothing reads.
    void (*SetReservedFlag)();
    void (*ClearReservedFlag)();
    bool (*AddLogTarget)(LogTargetInterface* target);
    void (*RemoveLogTarget)(LogTargetInterface* target);
    LogTargetInterface* (*FindLogTarget)(const char* name);
    LogTargetInterface* (*GetStdOutLogTarget)();
    LogTargetInterface* (*GetStdErrLogTarget)();
    LogTargetInterface* (*GetDebuggerLogTarget)();
    void (*RegisterLogGroup)(LogGroups* maskOut, const char* name);
    std::size_t (*FormatLogGroups)(char* buffer, std::size_t size, LogGroups groups);
    std::size_t (*FormatLogLine)(char* buffer, std::size_t size, const char* format, const LogRecord& record);
    const char* (*GetLogLevelName)(LogLevel level);
    const char* (*GetLogExecutableName)();
    void (*GetLogLocalTime)(LogTime* fields);
    std::size_t (*FormatLogTimestamp)(char* buffer, std::size_t size, const LogTime& fields);
    std::size_t (*FormatLogFileTimestamp)(char* buffer, std::size_t size, const LogTime& fields);
    void (*LogV)(LogLevel level, LogGroups groups, const char* format, va_list arguments);
};

// The process-wide table; never null.
[[nodiscard]] const LogApi* GetLogApi();

}  // namespace vclient
