#include "log/log_line_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "log/fatal_error.h"
#include "log/log_groups.h"
#include "log/log_level.h"
#include "log/log_system.h"
#include "log/log_time.h"
#include "log/recording_log_target.h"
#include "platform/platform.h"

namespace vclient {
namespace {

LogRecord SampleRecord(const char* message, LogLevel level = LogLevel::Warn, LogGroups groups = 3) {
    LogRecord record;
    record.year = 2024;
    record.month = 1;
    record.day = 2;
    record.hour = 3;
    record.minute = 4;
    record.second = 5;
    record.millisecond = 6;
    record.level = level;
    record.groups = groups;
    record.message = message;
    return record;
}

std::string Line(const char* format, const LogRecord& record, std::size_t size = 4096) {
    std::string buffer(size, '\x7f');
    const std::size_t length = FormatLogLine(buffer.data(), size, format, record);
    EXPECT_EQ(length, std::string(buffer.c_str()).size());
    return buffer.c_str();
}

TEST(LogLevelName, IsSixCharactersWideForEveryLevel) {
    const struct {
        std::int32_t level;
        const char* word;
    } cases[] = {{0, "  OKAY"}, {1, "  WARN"}, {2, " ERROR"}, {3, "ALWAYS"}, {4, "   ???"}, {-1, "   ???"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(GetLogLevelName(static_cast<LogLevel>(c.level)), c.word) << "level " << c.level;
    }
    EXPECT_TRUE(PassesLogLevel(LogLevel::Always, LogLevel::Always));
    EXPECT_TRUE(PassesLogLevel(LogLevel::Okay, static_cast<LogLevel>(-1)));
    EXPECT_FALSE(PassesLogLevel(LogLevel::Warn, LogLevel::Error));
}

TEST(FormatLogGroups, JoinsNamesFromLowestBitAndStaysInsideTheBuffer) {
    const struct { LogGroups groups; std::size_t size; const char* text; } cases[] = {
        {3, 64, "DBG;GEN"}, {0, 64, ""}, {0xFF, 64, "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST"},
        {LogGroups{1} << 63, 64, "???"}, {kLogGroupTst | kLogGroupDbg, 64, "DBG;TST"},
        {kLogGroupGen | kLogGroupXtr | kLogGroupPrf | kLogGroupMem | kLogGroupDsk | kLogGroupNet, 64,
         "GEN;XTR;PRF;MEM;DSK;NET"},
        {3, 5, "DBG;"},  // stops when fewer than two bytes remain
        {3, 2, "D"}, {3, 1, ""},
    };
    for (const auto& c : cases) {
        char buffer[64];
        const std::size_t length = FormatLogGroups(buffer, c.size, c.groups);
        EXPECT_STREQ(buffer, c.text) << "mask " << c.groups << ", size " << c.size;
        EXPECT_EQ(length, std::string(c.text).size());
    }
    EXPECT_EQ(FormatLogGroups(nullptr, 10, 3), 0u);
}

TEST(FormatLogLine, ReplacesEachTokenAndEndsWithOneNewline) {
    const struct { const char* format; const char* message; std::string line; } cases[] = {
        {"#D| #L| #G| #M", "hello", "2024-01-02T03:04:05.006|   WARN| DBG;GEN| hello\n"},
        {"#E(#L)", "hello", std::string(GetLogExecutableName()) + "(  WARN)\n"}, {"[#M]", "hello", "[hello]\n"},
        {"#X#M", "hello", "Xhello\n"},  // not a token: the letter alone
        {"##", "hello", "#\n"},
        {"#M #", "hello", "hello \n"},  // a final "#" ends the line
        {"#", "hello", "\n"}, {"", "hello", "\n"}, {nullptr, "hello", "\n"},
        {"ends\n", "hello", "ends\n"},  // an existing newline is not doubled
        {"#L| #M", "done\n", "  WARN| done\n"},  // nor is the message's own
        {"#M", "", "\n"}, {"<#M>", nullptr, "<>\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Line(c.format, SampleRecord(c.message)), c.line)
            << "format \"" << (c.format ? c.format : "(null)") << "\", message " << (c.message ? c.message : "(null)");
    }
}

TEST(FormatLogLine, CutsLongLinesButKeepsTheNewline) {
    const LogRecord record = SampleRecord("abcdefghij");
    const struct {
        std::size_t size;
        const char* line;
    } cases[] = {{8, "abcdef\n"}, {3, "a\n"}, {2, "\n"}, {1, ""}, {12, "abcdefghij\n"}, {13, "abcdefghij\n"}};
    for (const auto& c : cases) EXPECT_EQ(Line("#M", record, c.size), c.line) << "size " << c.size;

    const std::string longMessage(5000, 'x');
    const std::string line = Line("#L| #M", SampleRecord(longMessage.c_str()));
    EXPECT_EQ(line.size(), 4095u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.rfind("  WARN| xxx", 0), 0u);
}

TEST(FormatLogLine, PrintsThreadAsEightUpperCaseHexDigitsAndElapsedTime) {
    const LogRecord record = SampleRecord("m");
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08X\n", static_cast<unsigned>(platform::GetCurrentThreadId()));
    EXPECT_EQ(Line("#T", record), expected);
    EXPECT_TRUE(std::regex_match(Line("#H", record), std::regex("[0-9]{6}\\.[0-9]{3}\n"))) << Line("#H", record);
}

TEST(LogTimestamps, FormatTheSevenFields) {
    const LogTime time{2024, 1, 2, 3, 4, 5, 6};
    const struct { bool file; std::size_t size; const char* text; } cases[] = {
        {true, 64, "2024-01-02T03-04-05"}, {false, 64, "2024-01-02T03:04:05.006"}, {true, 5, "2024"},
        {false, 11, "2024-01-02"}, {true, 1, ""},
    };
    for (const auto& c : cases) {
        char buffer[64];
        const std::size_t length = c.file ? FormatLogFileTimestamp(buffer, c.size, time)
                                          : FormatLogTimestamp(buffer, c.size, time);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(length, std::string(c.text).size());
    }
}

TEST(LogTimestamps, LocalTimeAndClockAreSane) {
    LogTime now;
    GetLogLocalTime(&now);
    GetLogLocalTime(nullptr);  // ignored, must not crash
    EXPECT_GE(now.year, 2020);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31) << now.month << "/" << now.day;
    const double first = GetLogClockSeconds();
    EXPECT_GE(first, 0.0);
    EXPECT_GE(GetLogClockSeconds(), first);
}

using testing_support::RecordingLogTarget;
using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(AssertionReport, ListsOnlyTheBlocksThatHaveText) {
    const struct {
        const char* expression;
        const char* description;
        const char* file;
        std::int32_t line;
        const char* function;
        const char* report;
    } cases[] = {
        {"x > 0", nullptr, "arena.cpp", 12, "Grow",
         "Assertion failed!\n\nFile: arena.cpp\nLine: 12\n\nFunction: Grow\n\nExpression: x > 0"},
        {"x > 0", "", "arena.cpp", -7, "",
         "Assertion failed!\n\nFile: arena.cpp\nLine: -7\n\nExpression: x > 0"},
        {"x > 0", "", "arena.cpp", 0, nullptr, "Assertion failed!\n\nFile: arena.cpp\nExpression: x > 0"},
        {"ALE-EECF0606", "Incompatible host", "", 0, "",
         "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: Incompatible host"},
        {nullptr, "only words", nullptr, 0, nullptr, "Assertion failed!\n\n\n\nDescription: only words"},
        {nullptr, nullptr, nullptr, 0, nullptr, "Assertion failed!\n\n"}, {"", "", "", 0, "", "Assertion failed!\n\n"},
    };
    for (const auto& c : cases) {
        char buffer[512];
        const std::size_t length =
            FormatAssertionReport(buffer, sizeof buffer, c.expression, c.description, c.file, c.line, c.function);
        EXPECT_EQ(std::string(buffer), c.report);
        EXPECT_EQ(length, std::string(c.report).size());
    }
}

TEST(AssertionReport, IsCutToTheBuffer) {
    char buffer[12];
    EXPECT_EQ(FormatAssertionReport(buffer, sizeof buffer, "e", "d", "f", 1, "g"), 11u);
    EXPECT_STREQ(buffer, "Assertion f");
    EXPECT_EQ(FormatAssertionReport(nullptr, 10, "e", "d", "f", 1, "g"), 0u);
}

TEST(AssertionReport, IsLoggedAsOneErrorInGroupDbg) {
    LogAddRef();
    RecordingLogTarget target("Recorder", {LogLevel::Okay, 0, 0, "#L| #G| #M"});
    target.Attach();
    ::testing::internal::CaptureStderr();
    ReportAssertion("ptr != nullptr", "no page", "page.cpp", 40, "Take");
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(target.recorded.size(), 1u);
    EXPECT_EQ(target.recorded[0].level, LogLevel::Error);
    EXPECT_EQ(target.recorded[0].groups, kLogGroupDbg);
    EXPECT_EQ(target.recorded[0].line,
              " ERROR| DBG| Assertion failed!\n\nFile: page.cpp\nLine: 40\n\nFunction: Take\n\n"
              "Expression: ptr != nullptr\n\nDescription: no page\n");
    EXPECT_NE(err.find(" ERROR| Assertion failed!\n"), std::string::npos) << err;
    LogRelease();
}

// The child has taken no log reference: the report must still reach standard error.
TEST(FatalErrorDeathTest, ReportsToStdErrAndAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Matched by substrings: the Windows build of the test framework knows no full regular
    // expressions.
    EXPECT_DEATH(RaiseFatalError(kFatalIncompatibleHostApi, "Host API 17.0.0 is not compatible"),
                 AllOf(HasSubstr("log_test"), HasSubstr("):  ERROR| Assertion failed!\n"),
                       HasSubstr("\nExpression: ALE-EECF0606\n"),
                       HasSubstr("\nDescription: Host API 17.0.0 is not compatible\n")));
}

}  // namespace
}  // namespace vclient
