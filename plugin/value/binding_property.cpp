#include "value/binding_property.h"

#include <cstddef>
#include <utility>

#include "value/property_arena.h"
#include "value/property_parts.h"

namespace vclient {

namespace {

// The layout the rest of the system relies on: payload, arena, kind, owns-arena.
static_assert(std::is_standard_layout_v<BindingProperty>);
static_assert(sizeof(BindingProperty) == 8 + sizeof(void*) + (sizeof(void*) == 4 ? 4 : 8));

constinit const BindingProperty kEmptyValue{};
constinit const BindingEnumPair kEmptyEnum{};

}  // namespace

BindingProperty::BindingProperty(const BindingProperty& other) {
    CopyFrom(other);
}

BindingProperty::BindingProperty(BindingProperty&& other) noexcept {
    if (other.OwnsArena()) {
        SwapWith(other);
        other.Clear();
        return;
    }
    // A value inside a tree cannot give its arena away: copy it out, then clear it.
    CopyFrom(other);
    other.Clear();
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) {
    if (&other == this) {
        return *this;
    }
    if (arena_ == nullptr || arena_ != other.arena_) {
        CopyFrom(other);
        return *this;
    }
    // Same tree: one may contain the other, so go through a separate root.
    BindingProperty staging;
    static_cast<void>(staging.CopyTree(other, nullptr));
    *this = std::move(staging);
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) {
    if (&other == this) {
        return *this;
    }
    if (OwnsArena() && other.OwnsArena()) {
        SwapWith(other);
        other.Clear();
        return *this;
    }
    if (arena_ == nullptr || arena_ != other.arena_) {
        CopyFrom(other);
        other.Clear();
        return *this;
    }
    // Same tree. When this value lies inside the source, clearing the source destroys
    // it, and the source becoming Empty is all that is left to do.
    BindingProperty staging;
    const bool targetInsideSource = staging.CopyTree(other, this);
    other.Clear();
    if (!targetInsideSource) {
        *this = std::move(staging);
    }
    return *this;
}

BindingProperty::~BindingProperty() {
    Clear();
    if (OwnsArena()) {
        delete arena_;
    }
}

// Every setter below takes its new heap part before releasing the old payload, so a
// value can be set from a text or blob that it holds itself.
void BindingProperty::SetString(std::string_view text) {
    SetStringEntry(text.empty() ? &detail::EmptyStringEntry() : EnsureArena().Intern(text));
}

void BindingProperty::SetString(const char* text) {
    SetString(text == nullptr ? std::string_view() : std::string_view(text));
}

void BindingProperty::SetString(const std::string& text) {
    SetString(std::string_view(text));
}

void BindingProperty::SetString(std::string&& text) {
    SetStringEntry(text.empty() ? &detail::EmptyStringEntry() : EnsureArena().Intern(std::move(text)));
}

void BindingProperty::SetBlob(const BindingBlob& bytes) {
    ReplaceWithBlob(BindingBlob(bytes));
}

void BindingProperty::SetBlob(BindingBlob&& bytes) {
    BindingBlob taken = std::move(bytes);
    bytes.clear();
    ReplaceWithBlob(std::move(taken));
}

void BindingProperty::ReplaceWithBlob(BindingBlob&& bytes) {
    PropertyArena& arena = EnsureArena();
    auto* part = arena.New<detail::BlobPart>();
    part->bytes = std::move(bytes);
    part->link.LinkAfter(arena.Blobs());
    Discard();
    kind_ = BindingPropertyType::Blob;
    payload_.blob = part;
}

void BindingProperty::SetEnum(BindingEnumPair pair) {
    auto* part = EnsureArena().New<BindingEnumPair>(pair);
    Discard();
    kind_ = BindingPropertyType::Enum;
    payload_.enumPair = part;
}

const std::string& BindingProperty::GetString() const noexcept {
    return kind_ == BindingPropertyType::String ? payload_.string->text : EmptyString();
}

const BindingBlob& BindingProperty::GetBlob() const noexcept {
    return GetBlob(EmptyBlob());
}

const BindingBlob& BindingProperty::GetBlob(const BindingBlob& fallback) const noexcept {
    return kind_ == BindingPropertyType::Blob ? payload_.blob->bytes : fallback;
}

BindingEnumPair BindingProperty::GetEnum(BindingEnumPair fallback) const noexcept {
    return kind_ == BindingPropertyType::Enum ? *payload_.enumPair : fallback;
}

std::size_t BindingProperty::Size() const noexcept {
    switch (kind_) {
        case BindingPropertyType::Empty: return 0;
        case BindingPropertyType::String: return payload_.string->text.size();
        case BindingPropertyType::Blob: return payload_.blob->bytes.size();
        case BindingPropertyType::Collection: return payload_.collection->size;
        case BindingPropertyType::Structure: return payload_.structure->count;
        default: return 1;
    }
}

const BindingProperty& BindingProperty::EmptyValue() noexcept {
    return kEmptyValue;
}

const std::string& BindingProperty::EmptyString() noexcept {
    return detail::EmptyStringEntry().text;
}

const BindingBlob& BindingProperty::EmptyBlob() noexcept {
    static const BindingBlob blob;
    return blob;
}

const BindingEnumPair& BindingProperty::EmptyEnum() noexcept {
    return kEmptyEnum;
}

PropertyArena& BindingProperty::CreateArena() {
    arena_ = new PropertyArena();
    return *arena_;
}

void BindingProperty::SetStringEntry(detail::StringEntry* entry) noexcept {
    Discard();
    kind_ = BindingPropertyType::String;
    payload_.string = entry;
}

void BindingProperty::SwapWith(BindingProperty& other) noexcept {
    std::swap(payload_, other.payload_);
    std::swap(arena_, other.arena_);
    std::swap(kind_, other.kind_);
    std::swap(ownsArena_, other.ownsArena_);
}

}  // namespace vclient
