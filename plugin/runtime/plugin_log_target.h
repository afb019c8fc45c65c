// PluginLogTarget: the log target through which the plug-in's log lines reach the host's
// log once the host has attached it. It hands the host the bare message and its level
// (the host adds its own line prefix) through the host core's WriteLog slot.
#pragma once

#include "log/log_target.h"
#include "qiv/plugin_abi.h"

namespace vclient {

class PluginLogTarget final : public LogTarget {
public:
    explicit PluginLogTarget(const HostCore* core) : core_(core) {}
    ~PluginLogTarget() override;

    [[nodiscard]] const char* GetName() const override;
    // Runs under the log system's lock, so the host's WriteLog is never entered twice at
    // once from this plug-in.
    bool Write(const LogRecord& record) override;

private:
    const HostCore* core_;
};

// The line format of the host's log.
inline constexpr const char* kPluginLogFormat = "#D| #L| #G| #M";

}  // namespace vclient
