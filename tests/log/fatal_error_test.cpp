#include "log/fatal_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "log/log_system.h"
#include "log/recording_log_target.h"

namespace vclient {
namespace {

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
        {nullptr, nullptr, nullptr, 0, nullptr, "Assertion failed!\n\n"},
        {"", "", "", 0, "", "Assertion failed!\n\n"},
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
