// The console targets of log_target.h: standard error, standard output and the debugger
// channel. Errors of the sinks are ignored; a line that cannot be written is lost.
#include <cstdio>

#include "log/log_target.h"
#include "platform/platform.h"

namespace vclient {

const char* BaseConsoleLogTarget::GetName() const { return "BaseConsoleLogTarget"; }

StdErrLogTarget::~StdErrLogTarget() { Detach(); }

const char* StdErrLogTarget::GetName() const { return "StdErrLogTarget"; }

bool StdErrLogTarget::Write(const LogRecord& record) {
    WriteLine(record, [](const char* line) { std::fputs(line, stderr); });
    return true;
}

void StdErrLogTarget::Flush() { std::fflush(stderr); }

StdOutLogTarget::~StdOutLogTarget() { Detach(); }

const char* StdOutLogTarget::GetName() const { return "StdOutLogTarget"; }

bool StdOutLogTarget::Write(const LogRecord& record) {
    WriteLine(record, [this](const char* line) {
        std::fputs(line, stdout);
        if (GetFlushEachLine()) std::fflush(stdout);
    });
    return true;
}

void StdOutLogTarget::Flush() { std::fflush(stdout); }

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() { Detach(); }

const char* DebuggerConsoleLogTarget::GetName() const { return "DebuggerConsoleLogTarget"; }

bool DebuggerConsoleLogTarget::Write(const LogRecord& record) {
    WriteLine(record, [](const char* line) { platform::OutputDebugString(line); });
    return true;
}

void DebuggerConsoleLogTarget::Flush() {}

}  // namespace vclient
