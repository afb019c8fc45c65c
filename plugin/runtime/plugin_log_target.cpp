#include "runtime/plugin_log_target.h"

namespace vclient {

PluginLogTarget::~PluginLogTarget() { Detach(); }

const char* PluginLogTarget::GetName() const { return "PluginLogTarget"; }

bool PluginLogTarget::Write(const LogRecord& record) {
    if (core_ == nullptr || core_->WriteLog == nullptr) return true;
    core_->WriteLog(core_, static_cast<std::int32_t>(record.level), record.message != nullptr ? record.message : "");
    return true;
}

}  // namespace vclient
