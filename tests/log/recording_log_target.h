// A log target for tests: keeps every record it is given and the line it would print.
#pragma once

#include <string>
#include <vector>

#include "log/log_line_format.h"
#include "log/log_target.h"

namespace vclient::testing_support {

struct RecordedLine { LogLevel level; LogGroups groups; std::string message; std::string line; };

class RecordingLogTarget final : public LogTarget {
public:
    explicit RecordingLogTarget(const char* name = "RecordingLogTarget", const LogTargetSettings& settings = {})
        : LogTarget(settings), name_(name) {}
    ~RecordingLogTarget() override { Detach(); }

    [[nodiscard]] const char* GetName() const override { return name_; }

    bool Write(const LogRecord& record) override {
        char line[4096];
        FormatLogLine(line, sizeof line, GetFormat(record), record);
        recorded.push_back({record.level, record.groups, record.message, line});
        return true;
    }

    [[nodiscard]] std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const RecordedLine& entry : recorded) messages.push_back(entry.message);
        return messages;
    }

    std::vector<RecordedLine> recorded;

private:
    const char* name_;
};

}  // namespace vclient::testing_support
