// Registering native records and enumerations, one short line per field, in wire order:
//
//   RegisterRecord<HonorConfig>(registry, "QivHonorV2HonorConfig")
//       .QIV_FIELD(Enabled)
//       .QIV_FIELD(SecondsToVote)
//       .QIV_FIELD(currentGameId, {.flags = kOmitWhenEmpty, .description = "Game being voted on"});
//
//   RegisterEnum<LoginSessionStates>(registry, "LoginSessionStates")
//       .QIV_ENUMERATOR(IN_PROGRESS)
//       .QIV_ENUMERATOR(ERROR);
//
// QIV_FIELD(member, options) names the member once: its text is the wire name, so members
// are spelled exactly as on the wire. Where they cannot be (a keyword), use
// .Field("wireName", &Record::member, options). The field's type, its offset and its
// converter follow from the member; a nested record or enumeration must be registered
// before the field that refers to it (else the field has no type record and its
// conversion fails). Options: FieldOptions (flags kOmitWhenEmpty and kRequired, a
// description, and a declared type that API descriptions show instead of the native one).
//
// QIV_ENUMERATOR(name, description) likewise names an enumerator once; .Enumerator("NAME",
// value, description) takes any name. Namespace, Description and Tag are available on both
// builders. A name registered before leaves every call of the chain without effect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <type_traits>

#include "binding/converters.h"
#include "binding/native_type.h"
#include "binding/static_type.h"
#include "binding/type_builder.h"
#include "binding/type_registry.h"

// A field whose wire name is the member's name.
#define QIV_FIELD(member, ...) \
    Field(#member, [](auto& qivRecord_) -> auto& { return qivRecord_.member; } __VA_OPT__(, ::vclient::FieldOptions __VA_ARGS__))

// An enumerator whose wire name is the enumerator's name.
#define QIV_ENUMERATOR(enumerator, ...) \
    Enumerator(#enumerator, [](auto qivType_) { return decltype(qivType_)::type::enumerator; } __VA_OPT__(, ) __VA_ARGS__)

namespace vclient {

template <class Derived>
class TypeBuilderChain {
public:
    explicit TypeBuilderChain(TypeBuilder builder) noexcept : builder_(builder) {}

    Derived& Namespace(std::string_view nameSpace) {
        builder_.Namespace(nameSpace);
        return Self();
    }
    Derived& Description(std::string_view description) {
        builder_.Description(description);
        return Self();
    }
    Derived& Tag(std::string_view tag) {
        builder_.AddTag(tag);
        return Self();
    }
    Derived& Tags(std::initializer_list<std::string_view> tags) {
        builder_.AddTags(tags);
        return Self();
    }

    [[nodiscard]] bool IsOpen() const noexcept { return builder_.IsOpen(); }
    [[nodiscard]] const TypeRecord* Record() const noexcept { return builder_.Record(); }

protected:
    TypeBuilder& Builder() noexcept { return builder_; }

private:
    Derived& Self() noexcept { return static_cast<Derived&>(*this); }
    TypeBuilder builder_;
};

template <class Record>
class RecordBuilder : public TypeBuilderChain<RecordBuilder<Record>> {
public:
    using TypeBuilderChain<RecordBuilder<Record>>::TypeBuilderChain;

    // `access` is a member pointer or a callable that returns the member of a Record&.
    template <class Access>
    RecordBuilder& Field(std::string_view name, Access access, const FieldOptions& options = {}) {
        using Member = std::remove_cvref_t<std::invoke_result_t<Access&, Record&>>;
        static_assert(NativeConvertible<Member>, "the member's type has no converter");
        if (!this->IsOpen()) return *this;
        Record probe{};
        const auto* base = reinterpret_cast<const std::byte*>(std::addressof(probe));
        const auto* member = reinterpret_cast<const std::byte*>(std::addressof(std::invoke(access, probe)));
        const auto offset = static_cast<std::uint32_t>(member - base);
        TypeBuilder& builder = this->Builder();
        builder.AddField(name, offset, TypeIdentifierOf<Member>(builder.Registry()), kFieldConverter<Member>,
                         options);
        return *this;
    }
};

template <class Enumeration>
class EnumBuilder : public TypeBuilderChain<EnumBuilder<Enumeration>> {
public:
    using TypeBuilderChain<EnumBuilder<Enumeration>>::TypeBuilderChain;

    EnumBuilder& Enumerator(std::string_view name, Enumeration value, std::string_view description = {}) {
        this->Builder().AddEnumerator(name, static_cast<std::int32_t>(value), description);
        return *this;
    }

    // `pick` is called with std::type_identity<Enumeration> and returns the enumerator.
    template <class Pick>
        requires std::is_invocable_r_v<Enumeration, Pick, std::type_identity<Enumeration>>
    EnumBuilder& Enumerator(std::string_view name, Pick pick, std::string_view description = {}) {
        return Enumerator(name, pick(std::type_identity<Enumeration>{}), description);
    }
};

template <NativeRecord Record>
RecordBuilder<Record> RegisterRecord(TypeRegistry& registry, std::string_view name) {
    const TypeIdentity identity{StaticType::Key<Record>(), StaticType::Name<Record>()};
    return RecordBuilder<Record>(registry.BeginType(sizeof(Record), name, identity, false));
}

template <NativeEnum Enumeration>
EnumBuilder<Enumeration> RegisterEnum(TypeRegistry& registry, std::string_view name) {
    const TypeIdentity identity{StaticType::Key<Enumeration>(), StaticType::Name<Enumeration>()};
    return EnumBuilder<Enumeration>(registry.BeginType(sizeof(Enumeration), name, identity, true));
}

}  // namespace vclient
