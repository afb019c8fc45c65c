#include "log/fatal_error.h"

#include <cstdio>
#include <cstdlib>

#include "log/log_system.h"

namespace vclient {

namespace {

constexpr std::size_t kReportSize = 4096;

// Appends to a fixed buffer, cutting what does not fit.
class ReportWriter {
public:
    ReportWriter(char* buffer, std::size_t size) : buffer_(buffer), size_(size) { buffer_[0] = '\0'; }

    ReportWriter& operator<<(const char* text) {
        for (; *text != '\0' && length_ + 1 < size_; ++text) buffer_[length_++] = *text;
        buffer_[length_] = '\0';
        return *this;
    }

    [[nodiscard]] std::size_t Length() const { return length_; }

private:
    char* buffer_;
    std::size_t size_;
    std::size_t length_ = 0;
};

bool HasText(const char* text) { return text != nullptr && text[0] != '\0'; }

}  // namespace

std::size_t FormatAssertionReport(char* buffer, std::size_t size, const char* expression, const char* description,
                                  const char* file, std::int32_t line, const char* function) {
    if (buffer == nullptr || size == 0) return 0;
    ReportWriter report(buffer, size);
    report << "Assertion failed!\n\n";
    if (HasText(file)) report << "File: " << file << "\n";
    if (line != 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", static_cast<int>(line));
        report << "Line: " << number << "\n\n";
    }
    if (HasText(function)) report << "Function: " << function << "\n\n";
    if (HasText(expression)) report << "Expression: " << expression;
    if (HasText(description)) report << "\n\nDescription: " << description;
    return report.Length();
}

void ReportAssertion(const char* expression, const char* description, const char* file, std::int32_t line,
                     const char* function) {
    char report[kReportSize];
    FormatAssertionReport(report, sizeof report, expression, description, file, line, function);
    Log(LogLevel::Error, kLogGroupDbg, "%s", report);
}

void RaiseFatalError(const char* code, const char* description) {
    ReportAssertion(code, description, "", 0, "");
    // abort runs no cleanup; what the targets wrote must reach the streams first.
    std::fflush(stderr);
    std::fflush(stdout);
    std::abort();
}

}  // namespace vclient
