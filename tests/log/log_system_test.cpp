#include "log/log_system.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "log/log_api.h"
#include "log/log_target.h"
#include "log/recording_log_target.h"
#include "platform/platform.h"

namespace vclient {
namespace {

using testing_support::RecordingLogTarget;

void CollectDebuggerText(void* context, const char* text) {
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

std::string ThreadTag() {
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08X", static_cast<unsigned>(platform::GetCurrentThreadId()));
    return tag;
}

// Every test starts from a fresh log system (the fixture holds the only reference) and
// sees what reaches the debugger channel.
class LogSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogAddRef();
        platform::SetDebuggerObserver(CollectDebuggerText, &debugger_);
    }
    void TearDown() override {
        platform::SetDebuggerObserver(nullptr, nullptr);
        LogRelease();
    }

    // The line the console targets print for `message` at `level`.
    static std::string ConsoleLine(const char* level, const std::string& message) {
        return std::string(GetLogExecutableName()) + "(" + ThreadTag() + "): " + level + "| " + message + "\n";
    }

    std::vector<std::string> debugger_;
};

// The file name after the last separator of the process module's path ('\\' on Windows).
#ifdef _WIN32
constexpr const char* kExecutableName = "log_test.exe";
#else
constexpr const char* kExecutableName = "log_test";
#endif

// The built-in targets' settings show in where lines go (below); here what is attached.
TEST_F(LogSystemTest, StartsWithStdErrThenDebuggerAttached) {
    EXPECT_STREQ(GetLogExecutableName(), kExecutableName);
    EXPECT_EQ(FindLogTarget("StdErrLogTarget"), GetStdErrLogTarget());
    EXPECT_EQ(FindLogTarget("DebuggerConsoleLogTarget"), GetDebuggerLogTarget());
    EXPECT_EQ(FindLogTarget("StdOutLogTarget"), nullptr);
    EXPECT_EQ(FindLogTarget("stderrlogtarget"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(GetLogLevel(), LogLevel::Warn);
    EXPECT_EQ(GetDisabledLogGroups(), kLogGroupXtr);
}

TEST_F(LogSystemTest, GlobalAndTargetFiltersDecideWhereALineGoes) {
    LogTargetInterface* stdOut = GetStdOutLogTarget();
    stdOut->Attach(stdOut);
    EXPECT_EQ(FindLogTarget("StdOutLogTarget"), stdOut);
    const struct {
        LogLevel level;
        LogGroups groups;
        bool toStdErr;
        bool toDebugger;
        bool toStdOut;
    } cases[] = {
        {LogLevel::Okay, 0, false, false, false},                             // below the minimum level
        {LogLevel::Warn, 0, true, true, true},                                // no groups pass every group test
        {LogLevel::Always, kLogGroupXtr, false, false, false},                // disabled for the whole system
        {LogLevel::Warn, kLogGroupGen, false, false, true},                   // GEN belongs to standard output
        {LogLevel::Warn, kLogGroupDbg, true, true, false},                    // DBG is disabled on standard output
        {LogLevel::Error, kLogGroupDbg | kLogGroupGen, false, true, false},   // a disabled bit refuses
        {LogLevel::Warn, kLogGroupPrf, false, false, false},                  // not in any enabled mask
        {LogLevel::Warn, kLogGroupXtr | kLogGroupDbg, false, false, false},   // one disabled bit is enough
    };
    for (const auto& c : cases) {
        debugger_.clear();
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        Log(c.level, c.groups, "message %d", 7);
        std::fflush(stdout);
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        const std::string consoleLine = ConsoleLine(GetLogLevelName(c.level), "message 7");
        const auto context = ::testing::Message() << "level " << static_cast<int>(c.level) << ", groups " << c.groups;
        EXPECT_EQ(err, c.toStdErr ? consoleLine : "") << context;
        EXPECT_EQ(debugger_, c.toDebugger ? std::vector<std::string>{consoleLine} : std::vector<std::string>{})
            << context;
        EXPECT_EQ(out, c.toStdOut ? "message 7\n" : "") << context;
    }
}

// LogWouldPass predicts every decision of the system's filters.
TEST_F(LogSystemTest, SystemSettingsFilterBeforeTheTargets) {
    RecordingLogTarget target("Recorder", {LogLevel::Okay, 0, 0, "#M"});
    target.Attach();
    std::vector<std::string> predicted;
    const auto log = [&predicted](LogLevel level, LogGroups groups, const char* text) {
        if (LogWouldPass(level, groups)) predicted.emplace_back(text);
        Log(level, groups, "%s", text);
    };
    log(LogLevel::Okay, 0, "dropped: minimum level is Warn");
    SetLogLevel(LogLevel::Okay);
    log(LogLevel::Okay, 0, "okay passes");
    log(LogLevel::Warn, kLogGroupXtr, "dropped: XTR disabled");
    SetDisabledLogGroups(kLogGroupNet);
    log(LogLevel::Warn, kLogGroupXtr, "xtr passes");
    log(LogLevel::Warn, kLogGroupNet | kLogGroupDbg, "dropped: NET disabled");
    MuteLog();
    log(LogLevel::Always, 0, "dropped: muted");
    UnmuteLog();
    log(LogLevel::Always, 0, "after unmute");
    EXPECT_EQ(target.Messages(), (std::vector<std::string>{"okay passes", "xtr passes", "after unmute"}));
    EXPECT_EQ(predicted, target.Messages());
}

// A trace line that is not written costs nothing: its arguments are not even evaluated.
TEST_F(LogSystemTest, ATraceLineEvaluatesItsArgumentsOnlyWhenWritten) {
    RecordingLogTarget target("Recorder", {LogLevel::Okay, 0, 0, "#M"});
    target.Attach();
    int built = 0;
    const auto text = [&built] {
        ++built;
        return std::string("payload");
    };
    QIV_LOG_TRACE("%s: Handling event %s", "probe", text().c_str());
    EXPECT_EQ(built, 0);  // level Okay and group XTR are filtered out initially
    SetLogLevel(LogLevel::Okay);
    SetDisabledLogGroups(0);
    QIV_LOG_TRACE("%s: Handling event %s", "probe", text().c_str());
    EXPECT_EQ(built, kTraceLinesCompiledIn ? 1 : 0);
    EXPECT_EQ(target.Messages(), kTraceLinesCompiledIn ? std::vector<std::string>{"probe: Handling event payload"}
                                                       : std::vector<std::string>{});
}

TEST_F(LogSystemTest, RecordCarriesLevelGroupsTimeAndCutMessage) {
    RecordingLogTarget target("Recorder", {LogLevel::Okay, 0, 0, "#M"});
    target.Attach();
    const std::string longText(5000, 'y');
    Log(LogLevel::Error, kLogGroupMem | kLogGroupDsk, "%s", longText.c_str());  // no console takes these
    Log(LogLevel::Warn, 0, nullptr);
    ASSERT_EQ(target.recorded.size(), 2u);
    EXPECT_EQ(target.recorded[0].level, LogLevel::Error);
    EXPECT_EQ(target.recorded[0].groups, kLogGroupMem | kLogGroupDsk);
    EXPECT_EQ(target.recorded[0].message, std::string(4095, 'y'));
    EXPECT_EQ(target.recorded[1].message, "<null format>");
}

TEST_F(LogSystemTest, TargetsCanBeAddedTwiceFoundAndRemoved) {
    RecordingLogTarget target("Recorder", {LogLevel::Okay, 0, 0, "#M"});
    RecordingLogTarget other("Other", {LogLevel::Okay, 0, 0, "#M"});
    ASSERT_TRUE(AddLogTarget(target.Interface()));
    ASSERT_TRUE(AddLogTarget(other.Interface()));
    ASSERT_TRUE(AddLogTarget(target.Interface()));
    EXPECT_FALSE(target.IsAttached()) << "AddLogTarget leaves the attached flag alone";
    EXPECT_EQ(FindLogTarget("Recorder"), target.Interface());
    Log(LogLevel::Warn, 0, "twice");
    EXPECT_EQ(target.recorded.size(), 2u);

    RemoveLogTarget(target.Interface());
    EXPECT_EQ(FindLogTarget("Recorder"), nullptr);
    EXPECT_EQ(FindLogTarget("Other"), other.Interface());
    RemoveLogTarget(target.Interface());  // not in the list: nothing changes
    Log(LogLevel::Warn, 0, "once");
    EXPECT_EQ(target.recorded.size(), 2u);
    EXPECT_EQ(other.Messages(), (std::vector<std::string>{"twice", "once"}));
    RemoveLogTarget(other.Interface());
    EXPECT_EQ(FindLogTarget(nullptr), nullptr);
}

TEST_F(LogSystemTest, RefusesNullAndIncompleteTables) {
    EXPECT_FALSE(AddLogTarget(nullptr));
    RecordingLogTarget target;
    LogTargetInterface incomplete = *target.Interface();
    incomplete.Write = nullptr;
    EXPECT_FALSE(AddLogTarget(&incomplete));
    RemoveLogTarget(nullptr);
    Log(LogLevel::Warn, 0, "still fine");
}

TEST_F(LogSystemTest, NestedLogCallFromATargetIsDropped) {
    class EchoTarget final : public LogTarget {
    public:
        EchoTarget() : LogTarget({LogLevel::Okay, 0, 0, "#M"}) {}
        ~EchoTarget() override { Detach(); }
        bool Write(const LogRecord& record) override {
            ++writes;
            Log(LogLevel::Always, 0, "echo of %s", record.message);
            return true;
        }
        int writes = 0;
    } echo;
    echo.Attach();
    Log(LogLevel::Warn, 0, "original");
    EXPECT_EQ(echo.writes, 1);
    Log(LogLevel::Warn, 0, "again");
    EXPECT_EQ(echo.writes, 2) << "the thread may log again once the dispatch is over";
}

// ---- Targets: their settings and their table of entry points ----------------------------

TEST_F(LogSystemTest, ConfigureAppliesEverythingAndAttachesOnce) {
    RecordingLogTarget target;
    target.Attach();
    target.Configure({LogLevel::Okay, kLogGroupDbg | kLogGroupGen, kLogGroupGen, "#L| #G| #M"});
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(target.GetEnabledGroups(), kLogGroupDbg) << "the disabled GEN is cleared from the enabled mask";

    SetLogLevel(LogLevel::Okay);
    Log(LogLevel::Okay, kLogGroupDbg, "first");
    Log(LogLevel::Okay, kLogGroupGen, "refused");
    Log(LogLevel::Okay, kLogGroupMem, "not enabled");
    ASSERT_EQ(target.recorded.size(), 1u) << "configuring an attached target must not add it twice";
    EXPECT_EQ(target.recorded[0].line, "  OKAY| DBG| first\n");

    target.Configure({LogLevel::Error, 0, 0, "#M"});
    Log(LogLevel::Warn, kLogGroupMem, "below target level");
    Log(LogLevel::Error, kLogGroupMem, "any group");
    EXPECT_EQ(target.recorded.back().line, "any group\n");
    EXPECT_EQ(target.recorded.size(), 2u);
}

TEST_F(LogSystemTest, NewTargetHasTheDefaultSettingsAndIsDetached) {
    RecordingLogTarget target;
    EXPECT_FALSE(target.IsAttached());
    EXPECT_EQ(target.GetLevel(), LogLevel::Warn);
    EXPECT_EQ(target.GetEnabledGroups() | target.GetDisabledGroups(), 0u);
    EXPECT_STREQ(target.GetFormat(LogRecord{}), "#D| #L| #G| #M");
}

TEST_F(LogSystemTest, TableEntriesReachTheTarget) {
    RecordingLogTarget target("Tabled", {LogLevel::Okay, 0, 0, "<#M>"});
    LogTargetInterface* table = target.Interface();
    EXPECT_EQ(table->Version(table), 1);
    EXPECT_STREQ(table->GetName(table), "Tabled");
    table->SetLevel(table, LogLevel::Error);
    EXPECT_EQ(table->GetLevel(table), LogLevel::Error);
    EXPECT_EQ(target.GetLevel(), LogLevel::Error);

    table->Attach(table);
    table->Attach(table);  // already attached: no second entry
    EXPECT_TRUE(table->IsAttached(table));
    EXPECT_EQ(FindLogTarget("Tabled"), table);
    Log(LogLevel::Always, 0, "once");
    EXPECT_EQ(target.recorded.size(), 1u);

    EXPECT_EQ(target.recorded.back().line, "<once>\n") << "the system writes through the table";
    table->Detach(table);
    EXPECT_FALSE(table->IsAttached(table));
    EXPECT_EQ(FindLogTarget("Tabled"), nullptr);
}

TEST(LogLifecycle, LastReleaseDetachesAndDestroysUnmatchedReleaseIsIgnored) {
    LogAddRef();
    LogAddRef();
    RecordingLogTarget target;
    target.Attach();
    LogRelease();
    EXPECT_TRUE(target.IsAttached());
    LogRelease();
    EXPECT_FALSE(target.IsAttached());
    for (LogTargetInterface* builtIn : {GetStdErrLogTarget(), GetStdOutLogTarget(), GetDebuggerLogTarget()}) {
        EXPECT_EQ(builtIn, nullptr);
    }
    EXPECT_EQ(GetLogLevel(), LogLevel::Warn);
    EXPECT_EQ(GetDisabledLogGroups(), kLogGroupXtr);
    EXPECT_STREQ(GetLogExecutableName(), "<unknown>");
    RemoveLogTarget(target.Interface());

    LogRelease();  // unmatched
    LogAddRef();
    LogTargetInterface* stdErr = GetStdErrLogTarget();
    ASSERT_NE(stdErr, nullptr) << "the count must not have gone below zero";
    EXPECT_TRUE(stdErr->IsAttached(stdErr));
    LogRelease();
    EXPECT_EQ(GetStdErrLogTarget(), nullptr);
}

TEST(LogLifecycle, FirstLogCallCreatesTheSystemWithoutAReference) {
    LogAddRef();
    LogRelease();
    ASSERT_EQ(GetStdErrLogTarget(), nullptr);
    ::testing::internal::CaptureStderr();
    Log(LogLevel::Error, kLogGroupDbg, "early");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(" ERROR| early\n"), std::string::npos) << err;
    EXPECT_NE(GetStdErrLogTarget(), nullptr);
    LogAddRef();
    LogRelease();  // the call took no reference: this release destroys the system
    EXPECT_EQ(GetStdErrLogTarget(), nullptr);
}

TEST(LogLifecycle, TargetDestroyedWhileAttachedLeavesTheList) {
    LogAddRef();
    {
        // A target of a class whose destructor forgets to detach.
        class Forgetful final : public LogTarget {
        public:
            const char* GetName() const override { return "Forgetful"; }
            bool Write(const LogRecord&) override { return true; }
        } forgetful;
        forgetful.Attach();
        EXPECT_NE(FindLogTarget("Forgetful"), nullptr);
    }
    EXPECT_EQ(FindLogTarget("Forgetful"), nullptr);
    Log(LogLevel::Warn, kLogGroupDbg, "no dangling target");
    LogRelease();
}

TEST(LogApi, IsTheVersionOneTableInItsOrder) {
    const LogApi* api = GetLogApi();
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(api->Version(), 1);
    static_assert(sizeof(LogApi) == 26 * sizeof(void (*)()));
    EXPECT_EQ(offsetof(LogApi, SetReservedFlag), 9 * sizeof(void (*)()));
    EXPECT_EQ(offsetof(LogApi, RegisterLogGroup), 17 * sizeof(void (*)()));
    EXPECT_EQ(offsetof(LogApi, LogV), 25 * sizeof(void (*)()));

    api->LogAddRef();
    RecordingLogTarget target("ThroughApi", {LogLevel::Okay, 0, 0, "#M"});
    EXPECT_TRUE(api->AddLogTarget(target.Interface()));
    api->SetLogLevel(LogLevel::Error);
    EXPECT_EQ(api->GetLogLevel(), LogLevel::Error);
    api->SetDisabledLogGroups(0);
    EXPECT_EQ(api->GetDisabledLogGroups(), 0u);
    api->MuteLog();
    Log(LogLevel::Always, 0, "muted");
    api->UnmuteLog();
    Log(LogLevel::Warn, 0, "below level");
    Log(LogLevel::Error, kLogGroupXtr, "through %s", "api");
    EXPECT_EQ(api->FindLogTarget("ThroughApi"), target.Interface());
    EXPECT_EQ(api->GetStdErrLogTarget(), GetStdErrLogTarget());
    EXPECT_STREQ(api->GetLogLevelName(LogLevel::Always), "ALWAYS");
    api->RemoveLogTarget(target.Interface());
    EXPECT_EQ(target.Messages(), std::vector<std::string>{"through api"});
    api->LogRelease();
}

// A target that writes its line one character at a time, yielding in between: without the
// system lock around the dispatch, lines of concurrent calls would mix.
class SlowTarget final : public LogTarget {
public:
    SlowTarget(const char* name, std::string& sink) : LogTarget({LogLevel::Okay, 0, 0, "#M"}), name_(name), sink_(sink) {}
    ~SlowTarget() override { Detach(); }
    const char* GetName() const override { return name_; }
    bool Write(const LogRecord& record) override {
        for (const char* c = record.message; *c != '\0'; ++c) {
            sink_.push_back(*c);
            if ((c - record.message) % 16 == 0) std::this_thread::yield();
        }
        sink_.push_back('\n');
        return true;
    }

private:
    const char* name_;
    std::string& sink_;
};

TEST_F(LogSystemTest, ConcurrentLinesNeverInterleaveAndTargetsAgreeOnOrder) {
    std::string first;
    std::string second;
    SlowTarget a("A", first);
    SlowTarget b("B", second);
    a.Attach();
    b.Attach();
    // Keep the console quiet: only the slow targets matter here.
    for (LogTargetInterface* console : {GetStdErrLogTarget(), GetDebuggerLogTarget()}) console->Detach(console);

    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string body(64, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) Log(LogLevel::Warn, kLogGroupDbg, "%d:%s", t, body.c_str());
        });
    }
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(first, second);
    std::size_t lines = 0;
    std::size_t start = 0;
    for (std::size_t end = first.find('\n'); end != std::string::npos; end = first.find('\n', start)) {
        const std::string line = first.substr(start, end - start);
        ASSERT_EQ(line.size(), 66u) << line;
        const char owner = static_cast<char>('a' + (line[0] - '0'));
        EXPECT_EQ(line.substr(2), std::string(64, owner)) << line;
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(kThreads * kLines));
}

}  // namespace
}  // namespace vclient
