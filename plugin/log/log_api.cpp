#include "log/log_api.h"

#include "log/log_line_format.h"
#include "log/log_system.h"
#include "log/log_system_internal.h"
#include "log/log_time.h"

namespace vclient {

namespace {

std::int32_t ApiVersion() { return kLogApiVersion; }
void SetReservedFlag() { log_internal::SetReservedFlag(true); }
void ClearReservedFlag() { log_internal::SetReservedFlag(false); }

constexpr LogApi kLogApi = {
    ApiVersion,
    LogAddRef,
    LogRelease,
    SetLogLevel,
    GetLogLevel,
    SetDisabledLogGroups,
    GetDisabledLogGroups,
    MuteLog,
    UnmuteLog,
    SetReservedFlag,
    ClearReservedFlag,
    AddLogTarget,
    RemoveLogTarget,
    FindLogTarget,
    GetStdOutLogTarget,
    GetStdErrLogTarget,
    GetDebuggerLogTarget,
    RegisterLogGroup,
    FormatLogGroups,
    FormatLogLine,
    GetLogLevelName,
    GetLogExecutableName,
    GetLogLocalTime,
    FormatLogTimestamp,
    FormatLogFileTimestamp,
    LogV,
};

}  // namespace

const LogApi* GetLogApi() { return &kLogApi; }

}  // namespace vclient
