#include "binding/binding_registry.h"

#include <mutex>

#include "binding/api_description.h"
#include "binding/builtin_types.h"

namespace vclient {

BindingRegistry::BindingRegistry() {
    RegisterBuiltinTypes(*this);
}

BindingRegistry::~BindingRegistry() = default;

template <class Record>
std::pair<Record*, bool> BindingRegistry::Declare(Declared<Record>& declared, std::string_view name) {
    const std::lock_guard lock(Mutex());
    const auto found = declared.byName.find(std::string(name));
    if (found != declared.byName.end()) return {found->second, true};
    auto record = std::make_unique<Record>();
    record->name = std::string(name);
    Record* raw = record.get();
    declared.ordered.push_back(std::move(record));
    declared.byName.emplace(raw->name, raw);
    NoteChange();
    return {raw, false};
}

BindingRegistry::FunctionDeclaration BindingRegistry::DeclareFunction(std::string_view name) {
    const auto [function, existed] = Declare(functions_, name);
    return {*function, existed};
}

BindingRegistry::EventDeclaration BindingRegistry::DeclareEvent(std::string_view name, const TypeRecord* payload) {
    const auto [event, existed] = Declare(events_, name);
    if (!existed) event->payload = payload;
    return {*event, existed};
}

const FunctionRecord* BindingRegistry::FindFunction(std::string_view name) const {
    const std::lock_guard lock(Mutex());
    const auto found = functions_.byName.find(std::string(name));
    return found == functions_.byName.end() ? nullptr : found->second;
}

const EventRecord* BindingRegistry::FindEvent(std::string_view name) const {
    const std::lock_guard lock(Mutex());
    const auto found = events_.byName.find(std::string(name));
    return found == events_.byName.end() ? nullptr : found->second;
}

std::size_t BindingRegistry::FunctionCount() const {
    const std::lock_guard lock(Mutex());
    return functions_.ordered.size();
}

std::size_t BindingRegistry::EventCount() const {
    const std::lock_guard lock(Mutex());
    return events_.ordered.size();
}

const FunctionRecord* BindingRegistry::FunctionAt(std::size_t index) const {
    const std::lock_guard lock(Mutex());
    return index < functions_.ordered.size() ? functions_.ordered[index].get() : nullptr;
}

const EventRecord* BindingRegistry::EventAt(std::size_t index) const {
    const std::lock_guard lock(Mutex());
    return index < events_.ordered.size() ? events_.ordered[index].get() : nullptr;
}

const ApiDescriptionTables& BindingRegistry::DescriptionTables() {
    const std::lock_guard lock(Mutex());
    if (exports_.empty() || exportedGeneration_ != Generation()) {
        exports_.push_back(std::make_unique<ApiDescriptionTables>(*this));
        exportedGeneration_ = Generation();
    }
    return *exports_.back();
}

}  // namespace vclient
