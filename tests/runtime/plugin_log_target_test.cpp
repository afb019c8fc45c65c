#include "runtime/plugin_log_target.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "log/log.h"
#include "runtime/plugin_base.h"

namespace vclient {
namespace {

struct LoggingCore {
    HostCore core{};
    std::vector<std::pair<std::int32_t, std::string>> lines;
};

HostCore MakeCore() {
    HostCore core{};
    core.WriteLog = [](const HostCore* self, std::int32_t level, const char* message) {
        reinterpret_cast<LoggingCore*>(const_cast<HostCore*>(self))->lines.emplace_back(level, message);
    };
    return core;
}

struct StartedPlugin {
    void* context;
    const PluginCallbacks* callbacks;
    void Stop() const { callbacks->Shutdown(context); }
};

// Registers and initializes a plug-in against `host`; the caller stops it.
StartedPlugin StartPlugin(LoggingCore& host, HostContext& context) {
    auto* plugin = new PluginBase();
    PluginLoadRecord record{};
    record.apiMajor = 18;
    plugin->Register(&record, "qiv-honor-v2");
    context.core = &host.core;
    context.clientHandle = 9;
    const StartedPlugin started{record.pluginContext, record.callbacks};
    EXPECT_EQ(started.callbacks->Initialize(started.context, &context), 1);
    return started;
}

TEST(PluginLogTarget, InitializeSwitchesTheLogToTheHostWithBareMessages) {
    LoggingCore host;
    host.core = MakeCore();
    HostContext context{};
    const StartedPlugin plugin = StartPlugin(host, context);

    for (LogTargetInterface* console : {GetStdOutLogTarget(), GetStdErrLogTarget(), GetDebuggerLogTarget()}) {
        ASSERT_NE(console, nullptr);
        EXPECT_FALSE(console->IsAttached(console));
    }
    LogTargetInterface* target = FindLogTarget("PluginLogTarget");
    ASSERT_NE(target, nullptr);
    EXPECT_STREQ(target->GetFormat(target, LogRecord{}), "#D| #L| #G| #M");
    EXPECT_EQ(GetLogLevel(), LogLevel::Okay);
    EXPECT_EQ(GetDisabledLogGroups(), kLogGroupXtr);

    testing::internal::CaptureStderr();
    Log(LogLevel::Okay, kLogGroupDbg, "okay %d", 1);
    Log(LogLevel::Always, kLogGroupXtr, "dropped");
    Log(LogLevel::Error, kLogGroupGen, "any group reaches the host");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the console is detached";
    const std::vector<std::pair<std::int32_t, std::string>> expected = {{0, "okay 1"},
                                                                       {2, "any group reaches the host"}};
    EXPECT_EQ(host.lines, expected);

    // A second plug-in in the same process finds the target attached and changes nothing.
    LoggingCore other;
    other.core = MakeCore();
    HostContext otherContext{};
    const StartedPlugin second = StartPlugin(other, otherContext);
    Log(LogLevel::Warn, 0, "still to the first host");
    EXPECT_TRUE(other.lines.empty());
    EXPECT_EQ(host.lines.back().second, "still to the first host");
    second.Stop();
    plugin.Stop();
}

}  // namespace
}  // namespace vclient
