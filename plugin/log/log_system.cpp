#include "log/log_system.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "log/log_record.h"
#include "log/log_time.h"
#include "log/log_system_internal.h"
#include "log/log_target.h"
#include "platform/platform.h"

namespace vclient {

namespace {

constexpr LogLevel kInitialMinimumLevel = LogLevel::Warn;
constexpr LogGroups kInitialDisabledGroups = kLogGroupXtr;
constexpr std::size_t kMessageSize = 4096;
constexpr std::size_t kExecutablePathSize = 1024;
constexpr const char* kUnknownExecutable = "<unknown>";

const LogTargetSettings kStdErrSettings{LogLevel::Warn, kLogGroupDbg, kLogGroupGen, kConsoleLogFormat};
const LogTargetSettings kStdOutSettings{LogLevel::Warn, kLogGroupGen, kLogGroupDbg, "#M"};
const LogTargetSettings kDebuggerSettings{LogLevel::Warn, kLogGroupDbg, 0, kConsoleLogFormat};

struct LogSystem {
    platform::CriticalSection lock;
    // Attached targets in attach order; the list owns none of them.
    std::vector<LogTargetInterface*> targets;
    std::atomic<bool> muted{false};
    bool reservedFlag = false;
    std::atomic<LogLevel> minimumLevel{kInitialMinimumLevel};
    std::atomic<LogGroups> disabledGroups{kInitialDisabledGroups};
    char executablePath[kExecutablePathSize] = {};
    // Points into executablePath once it has been read; fixed before the system is
    // published, so readers need no lock.
    const char* executableName = kUnknownExecutable;
    StdErrLogTarget stdErr{kStdErrSettings};
    StdOutLogTarget stdOut{kStdOutSettings};
    DebuggerConsoleLogTarget debugger{kDebuggerSettings};
};

constinit std::atomic<LogSystem*> gSystem{nullptr};
// Serialises creation and destruction of the system and guards the reference count.
// Made on first use and never destroyed (the Windows build's standard library cannot make
// a mutex at compile time), so a release during process exit still finds it.
std::mutex& LifecycleLock() {
    alignas(std::mutex) static unsigned char storage[sizeof(std::mutex)];
    static std::mutex* const lock = ::new (storage) std::mutex;
    return *lock;
}
constinit std::atomic<std::int32_t> gReferences{0};
// Set while this thread writes a record to the targets.
thread_local bool tDispatching = false;

class DispatchScope {
public:
    DispatchScope() { tDispatching = true; }
    ~DispatchScope() { tDispatching = false; }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
};

void ReadExecutableName(LogSystem& system) {
    if (platform::GetModuleFileName(system.executablePath, sizeof system.executablePath) == 0) return;
    // The Windows path separates folders with '\'; the Linux one with '/'. Take the text
    // after the last of either.
    const char* name = system.executablePath;
    for (const char* c = system.executablePath; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\') name = c + 1;
    }
    system.executableName = name;
}

// Called with the lifecycle lock held.
LogSystem* CreateSystemLocked() {
    if (LogSystem* existing = gSystem.load(std::memory_order_acquire)) return existing;
    LogSystem* system = nullptr;
    try {
        system = new LogSystem;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Callers that find the published system wait on the lock until the default targets
    // are attached, so no early record misses them.
    platform::CriticalSectionGuard guard(system->lock);
    ReadExecutableName(*system);
    gSystem.store(system, std::memory_order_release);
    system->stdErr.Attach();
    system->debugger.Attach();
    return system;
}

// Called with the lifecycle lock held.
void DestroySystemLocked() {
    LogSystem* system = gSystem.load(std::memory_order_acquire);
    if (system == nullptr) return;
    {
        platform::CriticalSectionGuard guard(system->lock);
        while (!system->targets.empty()) {
            LogTargetInterface* last = system->targets.back();
            last->Detach(last);
            // A foreign table may not remove itself; it must still leave the list.
            if (!system->targets.empty() && system->targets.back() == last) system->targets.pop_back();
        }
        gSystem.store(nullptr, std::memory_order_release);
    }
    delete system;
}

LogSystem* CurrentSystem() { return gSystem.load(std::memory_order_acquire); }

LogSystem* EnsureSystem() {
    if (LogSystem* system = CurrentSystem()) return system;
    std::lock_guard<std::mutex> guard(LifecycleLock());
    return CreateSystemLocked();
}

bool IsComplete(const LogTargetInterface& t) {
    return t.Version != nullptr && t.SetLevel != nullptr && t.GetLevel != nullptr && t.SetGroups != nullptr &&
           t.GetEnabledGroups != nullptr && t.GetDisabledGroups != nullptr && t.GetName != nullptr &&
           t.GetFormat != nullptr && t.Attach != nullptr && t.Detach != nullptr && t.IsAttached != nullptr &&
           t.Write != nullptr;
}

bool PassesSystemFilter(const LogSystem& system, LogLevel level, LogGroups groups) {
    if (system.muted.load(std::memory_order_relaxed)) return false;
    if (!PassesLogLevel(level, system.minimumLevel.load(std::memory_order_relaxed))) return false;
    return (groups & system.disabledGroups.load(std::memory_order_relaxed)) == 0;
}

bool TargetAccepts(LogTargetInterface* target, const LogRecord& record) {
    if (!PassesLogLevel(record.level, target->GetLevel(target))) return false;
    if (record.groups == 0) return true;
    if ((record.groups & target->GetDisabledGroups(target)) != 0) return false;
    const LogGroups enabled = target->GetEnabledGroups(target);
    return enabled == 0 || (record.groups & enabled) != 0;
}

void FillTime(LogRecord& record) {
    LogTime now;
    GetLogLocalTime(&now);
    record.year = now.year;
    record.month = now.month;
    record.day = now.day;
    record.hour = now.hour;
    record.minute = now.minute;
    record.second = now.second;
    record.millisecond = now.millisecond;
}

void Dispatch(LogSystem& system, const LogRecord& record) {
    platform::CriticalSectionGuard guard(system.lock);
    DispatchScope scope;
    // Index and size are re-read on every step: a target may detach itself while writing.
    for (std::size_t i = 0; i < system.targets.size(); ++i) {
        LogTargetInterface* target = system.targets[i];
        if (TargetAccepts(target, record)) target->Write(target, record);
    }
}

}  // namespace

void Log(LogLevel level, LogGroups groups, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    LogV(level, groups, format, arguments);
    va_end(arguments);
}

void LogV(LogLevel level, LogGroups groups, const char* format, va_list arguments) {
    if (tDispatching) return;
    LogSystem* system = EnsureSystem();
    if (system == nullptr || !PassesSystemFilter(*system, level, groups)) return;
    char message[kMessageSize];
    if (format == nullptr) {
        std::snprintf(message, sizeof message, "%s", "<null format>");
    } else if (std::vsnprintf(message, sizeof message, format, arguments) < 0) {
        message[0] = '\0';
    }
    LogRecord record;
    FillTime(record);
    record.level = level;
    record.groups = groups;
    record.message = message;
    Dispatch(*system, record);
}

bool LogWouldPass(LogLevel level, LogGroups groups) noexcept {
    const LogSystem* system = gSystem.load(std::memory_order_acquire);
    if (system == nullptr) {
        return PassesLogLevel(level, kInitialMinimumLevel) && (groups & kInitialDisabledGroups) == 0;
    }
    return PassesSystemFilter(*system, level, groups);
}

void LogTrace(const char* format, ...) {
    if (!kTraceLinesCompiledIn) return;  // no output unless trace lines are compiled in
    va_list arguments;
    va_start(arguments, format);
    LogV(LogLevel::Okay, kLogGroupXtr, format, arguments);
    va_end(arguments);
}

void LogAddRef() {
    std::lock_guard<std::mutex> guard(LifecycleLock());
    gReferences.fetch_add(1);
    CreateSystemLocked();
}

void LogRelease() {
    std::lock_guard<std::mutex> guard(LifecycleLock());
    // An unmatched release must not leave the count below zero, or the next reference
    // would find no system to keep alive.
    if (gReferences.load() == 0) return;
    if (gReferences.fetch_sub(1) == 1) DestroySystemLocked();
}

void SetLogLevel(LogLevel level) {
    LogSystem* system = EnsureSystem();
    if (system == nullptr) return;
    platform::CriticalSectionGuard guard(system->lock);
    system->minimumLevel.store(level);
}

LogLevel GetLogLevel() {
    const LogSystem* system = CurrentSystem();
    return system != nullptr ? system->minimumLevel.load() : kInitialMinimumLevel;
}

void SetDisabledLogGroups(LogGroups groups) {
    LogSystem* system = EnsureSystem();
    if (system == nullptr) return;
    platform::CriticalSectionGuard guard(system->lock);
    system->disabledGroups.store(groups);
}

LogGroups GetDisabledLogGroups() {
    const LogSystem* system = CurrentSystem();
    return system != nullptr ? system->disabledGroups.load() : kInitialDisabledGroups;
}

void MuteLog() {
    LogSystem* system = EnsureSystem();
    if (system == nullptr) return;
    platform::CriticalSectionGuard guard(system->lock);
    system->muted.store(true);
}

void UnmuteLog() {
    LogSystem* system = EnsureSystem();
    if (system == nullptr) return;
    platform::CriticalSectionGuard guard(system->lock);
    system->muted.store(false);
}

bool AddLogTarget(LogTargetInterface* target) {
    if (target == nullptr || !IsComplete(*target)) return false;
    LogSystem* system = EnsureSystem();
    if (system == nullptr) return false;
    platform::CriticalSectionGuard guard(system->lock);
    try {
        system->targets.push_back(target);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RemoveLogTarget(LogTargetInterface* target) {
    LogSystem* system = CurrentSystem();
    if (system == nullptr || target == nullptr) return;
    platform::CriticalSectionGuard guard(system->lock);
    std::erase(system->targets, target);
}

LogTargetInterface* FindLogTarget(const char* name) {
    LogSystem* system = CurrentSystem();
    if (system == nullptr || name == nullptr) return nullptr;
    platform::CriticalSectionGuard guard(system->lock);
    for (LogTargetInterface* target : system->targets) {
        const char* targetName = target->GetName(target);
        if (targetName != nullptr && std::strcmp(targetName, name) == 0) return target;
    }
    return nullptr;
}

LogTargetInterface* GetStdOutLogTarget() {
    LogSystem* system = CurrentSystem();
    return system != nullptr ? system->stdOut.Interface() : nullptr;
}

LogTargetInterface* GetStdErrLogTarget() {
    LogSystem* system = CurrentSystem();
    return system != nullptr ? system->stdErr.Interface() : nullptr;
}

LogTargetInterface* GetDebuggerLogTarget() {
    LogSystem* system = CurrentSystem();
    return system != nullptr ? system->debugger.Interface() : nullptr;
}

const char* GetLogExecutableName() {
    const LogSystem* system = CurrentSystem();
    return system != nullptr ? system->executableName : kUnknownExecutable;
}

namespace log_internal {

LogSystemLock::LogSystemLock(bool create) {
    LogSystem* system = create ? EnsureSystem() : CurrentSystem();
    if (system == nullptr) return;
    system->lock.Enter();
    lock_ = &system->lock;
}

LogSystemLock::~LogSystemLock() {
    if (lock_ != nullptr) lock_->Leave();
}

void SetReservedFlag(bool value) {
    LogSystem* system = EnsureSystem();
    if (system == nullptr) return;
    platform::CriticalSectionGuard guard(system->lock);
    system->reservedFlag = value;
}

}  // namespace log_internal

}  // namespace vclient
