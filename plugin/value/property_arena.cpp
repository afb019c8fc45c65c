#include "value/property_arena.h"

#include "util/fnv1a.h"

namespace vclient {

PropertyArena::PropertyArena() {
    for (std::size_t i = 0; i < kClassCount; ++i) {
        classes_[i].Init(static_cast<std::uint16_t>(4 * (i + 1)));
    }
}

void PropertyArena::ThrowOutOfMemory() {
    throw std::bad_alloc();
}

void PropertyArena::Release(void* slot, std::size_t bytes) noexcept {
    ClassFor(bytes).Release(slot);
}

void PropertyArena::Reset() noexcept {
    strings_.DestroyAll();
    for (std::size_t i = 0; i < kClassCount; ++i) {
        if ((usedClasses_ >> i) & 1u) {
            classes_[i].Reset();
        }
    }
    usedClasses_ = 0;
}

detail::StringEntry* PropertyArena::Intern(std::string_view text) {
    if (text.empty()) {
        return &detail::EmptyStringEntry();
    }
    if (detail::StringEntry* entry = strings_.FindRecent(text)) {
        ++entry->count;
        return entry;
    }
    return InternHashed(text, Fnv1a(text));
}

detail::StringEntry* PropertyArena::Intern(std::string_view text, std::uint32_t hash) {
    if (text.empty()) {
        return &detail::EmptyStringEntry();
    }
    if (detail::StringEntry* entry = strings_.FindRecent(text)) {
        ++entry->count;
        return entry;
    }
    return InternHashed(text, hash);
}

detail::StringEntry* PropertyArena::InternHashed(std::string_view text, std::uint32_t hash) {
    detail::StringEntry* entry = strings_.Find(text, hash);
    if (entry == nullptr) {
        entry = AddEntry(std::string(text), hash);
    }
    strings_.Remember(entry);
    ++entry->count;
    return entry;
}

detail::StringEntry* PropertyArena::Intern(std::string&& text) {
    if (text.empty()) {
        return &detail::EmptyStringEntry();
    }
    if (detail::StringEntry* entry = strings_.FindRecent(text)) {
        ++entry->count;
        return entry;
    }
    const std::uint32_t hash = Fnv1a(text);
    detail::StringEntry* entry = strings_.Find(text, hash);
    if (entry == nullptr) {
        entry = AddEntry(std::move(text), hash);
    }
    strings_.Remember(entry);
    ++entry->count;
    return entry;
}

void PropertyArena::ReleaseString(detail::StringEntry* entry) noexcept {
    if (entry == nullptr || entry == &detail::EmptyStringEntry()) {
        return;
    }
    if (--entry->count != 0) {
        return;
    }
    strings_.Remove(entry);
    Delete(entry);
}

std::size_t PropertyArena::PagesHeld() const noexcept {
    std::size_t pages = 0;
    for (const auto& sizeClass : classes_) {
        pages += sizeClass.PagesHeld();
    }
    return pages;
}

std::uint32_t PropertyArena::StringUseCount(std::string_view text) const noexcept {
    const detail::StringEntry* entry = strings_.Find(text, Fnv1a(text));
    return entry == nullptr ? 0 : entry->count;
}

detail::StringEntry* PropertyArena::AddEntry(std::string&& text, std::uint32_t hash) {
    auto* entry = New<detail::StringEntry>();
    entry->text = std::move(text);
    entry->hash = hash;
    try {
        strings_.Insert(entry);
    } catch (...) {
        Delete(entry);
        throw;
    }
    return entry;
}

}  // namespace vclient
