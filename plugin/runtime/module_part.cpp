#include "runtime/module_part.h"

#include "runtime/app_module.h"

namespace vclient {

const TypeRegistry& ModulePart::Types() const { return module_.Types(); }

const std::string& ModulePart::ModuleName() const { return module_.ModuleName(); }

}  // namespace vclient
