// Log targets: where accepted records go, each filtering them again by its own level and
// group masks and writing them as lines in its own format.
//
// The log system knows a target only through its flat `LogTargetInterface` table, so that
// targets can be shared across module boundaries; `LogTarget` is the C++ side behind that
// table. To make a target of your own, derive from `LogTarget`, give it a name and a
// `Write`, and `Configure` (or `Attach`) it; detach it in your destructor before your
// members go, since records may arrive on any thread until then.
//
// Threading: `Write` is called with the log system's lock held and takes the target's
// own lock; `Attach`, `Detach` and `Configure` change the system's list under the system
// lock alone. Locks are always taken system first, target second.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "log/log_groups.h"
#include "log/log_level.h"
#include "log/log_line_format.h"
#include "log/log_record.h"
#include "platform/platform.h"

namespace vclient {

// The flat table of a target; every entry takes the table's address first. Callers in
// other modules rely on this order.
struct LogTargetInterface {
    std::int32_t (*Version)(LogTargetInterface* self);  // always 1
    void (*SetLevel)(LogTargetInterface* self, LogLevel level);
    LogLevel (*GetLevel)(LogTargetInterface* self);
    // The enabled mask keeps none of the disabled bits.
    void (*SetGroups)(LogTargetInterface* self, LogGroups enabled, LogGroups disabled);
    LogGroups (*GetEnabledGroups)(LogTargetInterface* self);
    LogGroups (*GetDisabledGroups)(LogTargetInterface* self);
    const char* (*GetName)(LogTargetInterface* self);
    // Valid until the target's format is next changed.
    const char* (*GetFormat)(LogTargetInterface* self, const LogRecord& record);
    void (*Attach)(LogTargetInterface* self);
    void (*Detach)(LogTargetInterface* self);
    bool (*IsAttached)(LogTargetInterface* self);
    bool (*Write)(LogTargetInterface* self, const LogRecord& record);
};

// What `Configure` applies in one step; the defaults are those of a new target.
struct LogTargetSettings {
    LogLevel level = LogLevel::Warn;
    LogGroups enabledGroups = 0;  // 0: no restriction
    LogGroups disabledGroups = 0;
    std::string_view format = kDefaultLogFormat;
};

class LogTarget;

// The table of a target beside the target it belongs to; the system holds the address of
// `table`, the first member, from which the entries find `owner`.
struct LogTargetBinding {
    LogTargetInterface table;
    LogTarget* owner;
};

class LogTarget {
public:
    explicit LogTarget(const LogTargetSettings& settings = {});
    // Detaches the target if a derived destructor has not done so already.
    virtual ~LogTarget();
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    // If attached: clears `attached` and removes every occurrence from the system's list.
    virtual void Detach();
    [[nodiscard]] virtual const char* GetName() const;
    // The line format for `record`; valid until the format is next changed.
    [[nodiscard]] virtual const char* GetFormat(const LogRecord& record) const;
    // Writes one record; returns true when the target has written it.
    virtual bool Write(const LogRecord& record) = 0;

    // Detaches, copies the settings, attaches again, and then applies the level and the
    // group masks through SetLevel/SetGroups, so the enabled mask loses its disabled bits.
    void Configure(const LogTargetSettings& settings);

    // If not attached: sets `attached` and appends the target to the system's list,
    // creating the log system if there is none yet.
    void Attach();
    [[nodiscard]] bool IsAttached() const;

    void SetLevel(LogLevel level);
    [[nodiscard]] LogLevel GetLevel() const;
    void SetGroups(LogGroups enabled, LogGroups disabled);
    [[nodiscard]] LogGroups GetEnabledGroups() const;
    [[nodiscard]] LogGroups GetDisabledGroups() const;

    // The table through which the log system holds this target.
    [[nodiscard]] LogTargetInterface* Interface() { return &binding_.table; }

protected:
    // Guards the settings and serialises the target's output.
    platform::CriticalSection& Lock() const { return lock_; }

private:
    LogTargetBinding binding_;
    std::atomic<bool> attached_{false};
    mutable platform::CriticalSection lock_;
    std::atomic<LogLevel> level_;
    std::atomic<LogGroups> enabledGroups_;
    std::atomic<LogGroups> disabledGroups_;
    std::string format_;
};

// A target writing to a console stream or channel; lines are formatted on the stack into
// kConsoleLineSize bytes, so writing allocates nothing.
class BaseConsoleLogTarget : public LogTarget {
public:
    static constexpr std::size_t kConsoleLineSize = 4096;

    using LogTarget::LogTarget;
    [[nodiscard]] const char* GetName() const override;
    virtual void Flush() = 0;

protected:
    // Formats `record` and hands the line to `sink` under the target's lock.
    template <typename Sink>
    void WriteLine(const LogRecord& record, Sink&& sink) {
        char line[kConsoleLineSize];
        platform::CriticalSectionGuard guard(Lock());
        FormatLogLine(line, sizeof line, GetFormat(record), record);
        sink(line);
    }
};

class StdErrLogTarget final : public BaseConsoleLogTarget {
public:
    using BaseConsoleLogTarget::BaseConsoleLogTarget;
    ~StdErrLogTarget() override;
    [[nodiscard]] const char* GetName() const override;
    bool Write(const LogRecord& record) override;
    void Flush() override;
};

class StdOutLogTarget final : public BaseConsoleLogTarget {
public:
    using BaseConsoleLogTarget::BaseConsoleLogTarget;
    ~StdOutLogTarget() override;
    [[nodiscard]] const char* GetName() const override;
    bool Write(const LogRecord& record) override;
    void Flush() override;

    // When set, standard output is flushed after every line, still under the lock.
    void SetFlushEachLine(bool flush) { flushEachLine_.store(flush, std::memory_order_relaxed); }
    [[nodiscard]] bool GetFlushEachLine() const { return flushEachLine_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> flushEachLine_{false};
};

// Writes to the debugger's output channel (platform::OutputDebugString).
class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
public:
    using BaseConsoleLogTarget::BaseConsoleLogTarget;
    ~DebuggerConsoleLogTarget() override;
    [[nodiscard]] const char* GetName() const override;
    bool Write(const LogRecord& record) override;
    void Flush() override;
};

}  // namespace vclient
