#include "log/log_level.h"

namespace vclient {

const char* GetLogLevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Okay: return "  OKAY";
        case LogLevel::Warn: return "  WARN";
        case LogLevel::Error: return " ERROR";
        case LogLevel::Always: return "ALWAYS";
    }
    // Same width as the named levels so that columns of a log stay aligned.
    return "   ???";
}

}  // namespace vclient
