// ModulePart: the common ground of AppModule's parts (outgoing requests, resource events,
// service-proxy calls, the Vyre channel, host turns). Each part owns one concern's tables
// and reaches the host only through the module's forwarders, so a test that overrides the
// forwarders stands in for the host of every part at once.
//
// The module's registry and name are read through out-of-line calls, so that a part's
// header and its templates need only a declaration of AppModule, not its definition.
//
// Threading: a part follows its module's contract (see app_module.h); ModulePart adds no
// state of its own beyond the reference to the module.
#pragma once

#include <string>

namespace vclient {

class AppModule;
class TypeRegistry;

class ModulePart {
public:
    ModulePart(const ModulePart&) = delete;
    ModulePart& operator=(const ModulePart&) = delete;

protected:
    // The module constructs its parts with itself; the reference is only used once the
    // module is complete.
    explicit ModulePart(AppModule& module) : module_(module) {}
    ~ModulePart() = default;

    // The registry whose records the module's conversions use.
    [[nodiscard]] const TypeRegistry& Types() const;
    // The plug-in's short name, the first word of the runtime's log lines.
    [[nodiscard]] const std::string& ModuleName() const;

    AppModule& module_;
};

}  // namespace vclient
