// BindingRegistry: the plug-in's registry of types, functions and events, the base of the
// router's ApiRegistry. Construction registers the built-in types and the event
// "OnCallback" (builtin_types.h); the plug-in then registers its records (register_type.h),
// the router declares one function per route and the runtime declares events. The host
// descriptor of all of it comes from ExportApiDescription (api_description.h).
//
// Functions are kept by name and events by name, each in declaration order; declaring a
// name a second time returns the first declaration unchanged. Records are owned by the
// registry and never move or go away while it lives.
//
// Threading: the maps share the type registry's one re-entrant mutex. Declarations happen
// during start-up; afterwards the registry is only read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/api_records.h"
#include "binding/type_registry.h"

namespace vclient {

class ApiDescriptionTables;

class BindingRegistry : public TypeRegistry {
public:
    BindingRegistry();
    ~BindingRegistry() override;

    struct FunctionDeclaration {
        FunctionRecord& function;
        bool existed;  // declared before: the record is the first declaration's
    };
    struct EventDeclaration {
        EventRecord& event;
        bool existed;
    };

    // The function of that name, created (with only its name set) when new.
    [[nodiscard]] FunctionDeclaration DeclareFunction(std::string_view name);
    // The event of that name, created with `payload` when new.
    [[nodiscard]] EventDeclaration DeclareEvent(std::string_view name, const TypeRecord* payload);

    [[nodiscard]] const FunctionRecord* FindFunction(std::string_view name) const;
    [[nodiscard]] const EventRecord* FindEvent(std::string_view name) const;
    [[nodiscard]] std::size_t FunctionCount() const;
    [[nodiscard]] std::size_t EventCount() const;
    // In declaration order; null past the end.
    [[nodiscard]] const FunctionRecord* FunctionAt(std::size_t index) const;
    [[nodiscard]] const EventRecord* EventAt(std::size_t index) const;

    // The host's description tables as of the registry's current contents (built by
    // ExportApiDescription). Tables built earlier stay valid while the registry lives.
    [[nodiscard]] const ApiDescriptionTables& DescriptionTables();

private:
    template <class Record>
    struct Declared {
        std::vector<std::unique_ptr<Record>> ordered;
        std::unordered_map<std::string, Record*> byName;
    };

    template <class Record>
    std::pair<Record*, bool> Declare(Declared<Record>& declared, std::string_view name);

    Declared<FunctionRecord> functions_;
    Declared<EventRecord> events_;
    std::vector<std::unique_ptr<ApiDescriptionTables>> exports_;
    std::uint64_t exportedGeneration_ = 0;
};

}  // namespace vclient
