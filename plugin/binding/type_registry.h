// TypeRegistry: the registered native records and enumerations of a plug-in, by name and
// by type key, in registration order. It is the type part of the API registry (see
// binding_registry.h), and it names enumerators for the writers (EnumNames).
//
//   TypeBuilder builder = registry.BeginType(sizeof(T), "Name", identity, false);
//   const TypeRecord* record = registry.FindByKey(StaticType::Key<T>());
//
// The first registration of a name wins: BeginType for a name already registered returns
// a closed builder that ignores every call. Records are never removed.
//
// Threading: the maps are read and written under the registry's one mutex (re-entrant, so
// a derived registry may hold it across calls of this class). Records are filled during
// start-up and only read afterwards; readers of a record's contents take no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/enum_names.h"
#include "binding/type_record.h"

namespace vclient {

class TypeBuilder;

class TypeRegistry : public EnumNames {
public:
    TypeRegistry() = default;
    TypeRegistry(const TypeRegistry&) = delete;
    TypeRegistry& operator=(const TypeRegistry&) = delete;
    virtual ~TypeRegistry() = default;

    // Starts the registration of a record or enumeration. When `name` is taken the
    // returned builder is closed and the registry stays as it is.
    [[nodiscard]] TypeBuilder BeginType(std::uint32_t nativeSize, std::string_view name, TypeIdentity identity,
                                        bool isEnumeration);

    [[nodiscard]] const TypeRecord* FindByKey(std::uint32_t key) const;
    [[nodiscard]] const TypeRecord* FindByName(std::string_view name) const;
    // EnumNames: the first enumerator name in name order with `value`, or null.
    [[nodiscard]] const std::string* FindEnumeratorName(std::uint32_t typeKey, std::int32_t value) const override;
    // Whether `value` is the value of an enumerator of the enumeration `typeKey`.
    [[nodiscard]] bool IsEnumeratorValue(std::uint32_t typeKey, std::int64_t value) const;

    [[nodiscard]] std::size_t TypeCount() const;
    // The type registered `index`-th (registration order), or null past the end.
    [[nodiscard]] const TypeRecord* TypeAt(std::size_t index) const;

protected:
    // Bumped by every registration that adds something; lets derived classes cache
    // what they build from the registry's contents.
    void NoteChange() noexcept { ++generation_; }
    [[nodiscard]] std::uint64_t Generation() const noexcept { return generation_; }

    std::recursive_mutex& Mutex() const noexcept { return mutex_; }

private:
    // Type keys are hashed as their four bytes, least significant first.
    struct KeyHash {
        std::size_t operator()(std::uint32_t key) const noexcept;
    };
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept;
    };

    mutable std::recursive_mutex mutex_;
    std::vector<std::unique_ptr<TypeRecord>> types_;
    std::unordered_map<std::string, TypeRecord*, NameHash, std::equal_to<>> byName_;
    std::unordered_map<std::uint32_t, TypeRecord*, KeyHash> byKey_;
    std::uint64_t generation_ = 0;
};

}  // namespace vclient
