// The log, in one include: levels, groups, the log calls and the LogApi table.
//
//   Log(LogLevel::Error, kLogGroupDbg, "%s: Could not ...", name);
//
// Details live in the headers below: log_system.h (filtering, targets, lifecycle,
// threading), log_groups.h, log_level.h and log_api.h. Targets and line formats are in
// log_target.h and log_line_format.h; assertion reports in fatal_error.h.
#pragma once

#include "log/log_api.h"      // LogApi, GetLogApi
#include "log/log_groups.h"   // LogGroups, kLogGroup*, RegisterLogGroup, FormatLogGroups
#include "log/log_level.h"    // LogLevel, GetLogLevelName
#include "log/log_system.h"   // Log, LogV, LogTrace, LogAddRef/LogRelease and settings
#include "log/log_time.h"     // GetLogLocalTime and the time stamps
