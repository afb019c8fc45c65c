// Pieces of the log system shared inside plugin/log only: its lock, for the parts that
// change the target list together with state of their own (a target's `attached` flag),
// and the unread flag of the LogApi table.
#pragma once

namespace vclient::platform {
class CriticalSection;
}

namespace vclient::log_internal {

// Holds the system lock for its lifetime. With `create`, a missing log system is created
// first; otherwise, and when creation fails, nothing is held.
class LogSystemLock {
public:
    explicit LogSystemLock(bool create);
    ~LogSystemLock();
    LogSystemLock(const LogSystemLock&) = delete;
    LogSystemLock& operator=(const LogSystemLock&) = delete;

    [[nodiscard]] bool Held() const { return lock_ != nullptr; }

private:
    platform::CriticalSection* lock_ = nullptr;
};

// Sets or clears the system's second flag (LogApi entries 9 and 10). Nothing reads it; it
// is kept so that the table keeps its layout.
void SetReservedFlag(bool value);

}  // namespace vclient::log_internal
