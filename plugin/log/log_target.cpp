#include "log/log_target.h"

#include "log/log_system.h"
#include "log/log_system_internal.h"

namespace vclient {

namespace {

LogTarget& OwnerOf(LogTargetInterface* self) {
    // `table` is the first member of the standard-layout binding, so the two addresses are
    // interchangeable.
    return *reinterpret_cast<LogTargetBinding*>(self)->owner;
}

std::int32_t TableVersion(LogTargetInterface*) { return 1; }
void TableSetLevel(LogTargetInterface* self, LogLevel level) { OwnerOf(self).SetLevel(level); }
LogLevel TableGetLevel(LogTargetInterface* self) { return OwnerOf(self).GetLevel(); }
void TableSetGroups(LogTargetInterface* self, LogGroups enabled, LogGroups disabled) {
    OwnerOf(self).SetGroups(enabled, disabled);
}
LogGroups TableGetEnabledGroups(LogTargetInterface* self) { return OwnerOf(self).GetEnabledGroups(); }
LogGroups TableGetDisabledGroups(LogTargetInterface* self) { return OwnerOf(self).GetDisabledGroups(); }
const char* TableGetName(LogTargetInterface* self) { return OwnerOf(self).GetName(); }
const char* TableGetFormat(LogTargetInterface* self, const LogRecord& record) {
    return OwnerOf(self).GetFormat(record);
}
void TableAttach(LogTargetInterface* self) { OwnerOf(self).Attach(); }
void TableDetach(LogTargetInterface* self) { OwnerOf(self).Detach(); }
bool TableIsAttached(LogTargetInterface* self) { return OwnerOf(self).IsAttached(); }
bool TableWrite(LogTargetInterface* self, const LogRecord& record) { return OwnerOf(self).Write(record); }

constexpr LogTargetInterface kTable = {
    TableVersion,    TableSetLevel, TableGetLevel, TableSetGroups,  TableGetEnabledGroups, TableGetDisabledGroups,
    TableGetName,    TableGetFormat, TableAttach,  TableDetach,     TableIsAttached,       TableWrite,
};

}  // namespace

LogTarget::LogTarget(const LogTargetSettings& settings)
    : binding_{kTable, this},
      level_(settings.level),
      enabledGroups_(settings.enabledGroups & ~settings.disabledGroups),
      disabledGroups_(settings.disabledGroups),
      format_(settings.format) {}

LogTarget::~LogTarget() {
    // A derived target detaches in its own destructor; this covers one that forgot, so the
    // system's list never keeps the address of a destroyed target.
    LogTarget::Detach();
}

void LogTarget::Detach() {
    log_internal::LogSystemLock lock(false);
    if (!attached_.exchange(false)) return;
    RemoveLogTarget(Interface());
}

const char* LogTarget::GetName() const { return "LogTarget"; }

const char* LogTarget::GetFormat(const LogRecord&) const { return format_.c_str(); }

void LogTarget::Configure(const LogTargetSettings& settings) {
    Detach();
    {
        platform::CriticalSectionGuard guard(lock_);
        level_.store(settings.level);
        enabledGroups_.store(settings.enabledGroups);
        disabledGroups_.store(settings.disabledGroups);
        format_.assign(settings.format);
    }
    Attach();
    SetLevel(settings.level);
    SetGroups(settings.enabledGroups, settings.disabledGroups);
}

void LogTarget::Attach() {
    log_internal::LogSystemLock lock(true);
    if (!lock.Held() || attached_.load()) return;
    attached_.store(AddLogTarget(Interface()));
}

bool LogTarget::IsAttached() const { return attached_.load(); }

void LogTarget::SetLevel(LogLevel level) {
    platform::CriticalSectionGuard guard(lock_);
    level_.store(level);
}

LogLevel LogTarget::GetLevel() const { return level_.load(); }

void LogTarget::SetGroups(LogGroups enabled, LogGroups disabled) {
    platform::CriticalSectionGuard guard(lock_);
    enabledGroups_.store(enabled & ~disabled);
    disabledGroups_.store(disabled);
}

LogGroups LogTarget::GetEnabledGroups() const { return enabledGroups_.load(); }

LogGroups LogTarget::GetDisabledGroups() const { return disabledGroups_.load(); }

}  // namespace vclient
