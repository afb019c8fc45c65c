// The host's view of a registry's API: packed arrays of function, type and event
// descriptions (abi/qiv/plugin_abi.h) and the six-word table that points to them.
//
//   const ApiDescriptionTable& table = ExportApiDescription(registry);
//   for (const ApiTypeDescription* type = table.types; type; type = type->next) ...
//
// Every array holds the registry's records in registration order; in each record the
// first word points to the next one of its array (null in the last), so a host may walk
// an array by index or as a list. Texts point into the registry's own strings and are
// never null (a missing text is empty). A field or argument registered with a declared
// type is exported with that type instead of its native one; enumerators are exported in
// name order. The tables belong to the registry and stay valid while it lives.
//
// The router copies each function description whole into the start of its route entry
// (ApiFunctionDescription is a packed record, copy it by value) and then sets that copy's
// next and dispatchContext; the argument and tag arrays it points to stay here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qiv/plugin_abi.h"

namespace vclient {

class BindingRegistry;

struct ApiDescriptionTable {
    const ApiFunctionDescription* functions = nullptr;
    std::uint32_t functionCount = 0;
    const ApiTypeDescription* types = nullptr;
    std::uint32_t typeCount = 0;
    const ApiEventDescription* events = nullptr;
    std::uint32_t eventCount = 0;
};

// One export of a registry: the arrays and everything they point to that is not a
// registry string. Built by BindingRegistry::DescriptionTables.
class ApiDescriptionTables {
public:
    explicit ApiDescriptionTables(const BindingRegistry& registry);
    ApiDescriptionTables(const ApiDescriptionTables&) = delete;
    ApiDescriptionTables& operator=(const ApiDescriptionTables&) = delete;

    [[nodiscard]] const ApiDescriptionTable& Table() const noexcept { return table_; }
    // The description of the function declared `index`-th; index below Table().functionCount.
    [[nodiscard]] const ApiFunctionDescription& Function(std::size_t index) const { return functions_.at(index); }

private:
    void ExportFunctions(const BindingRegistry& registry);
    void ExportTypes(const BindingRegistry& registry);
    void ExportEvents(const BindingRegistry& registry);
    [[nodiscard]] const char* const* TagArray(const std::vector<std::string>& tags);

    std::vector<ApiFunctionDescription> functions_;
    std::vector<ApiTypeDescription> types_;
    std::vector<ApiEventDescription> events_;
    // The member arrays the records point to; each inner buffer stays put when the outer
    // vector grows, because moving a vector keeps its buffer.
    std::vector<std::vector<ApiArgumentDescription>> arguments_;
    std::vector<std::vector<ApiFieldDescription>> fields_;
    std::vector<std::vector<ApiEnumeratorDescription>> enumerators_;
    std::vector<std::vector<const char*>> tags_;
    ApiDescriptionTable table_;
};

// The description tables of the registry's current contents.
[[nodiscard]] const ApiDescriptionTable& ExportApiDescription(BindingRegistry& registry);

}  // namespace vclient
