#include "binding/string_table.h"

#include <cstring>

namespace vclient::detail {

namespace {

std::size_t BucketOf(std::uint32_t hash, std::size_t bucketCount) {
    return hash & (bucketCount - 1);
}

// Eight bytes from `bytes` as one number (fixed-size copies compile to single loads).
std::uint64_t Load8(const char* bytes) noexcept {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

std::uint32_t Load4(const char* bytes) noexcept {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace

constinit StringEntry gEmptyStringEntry{};

StringTable::~StringTable() {
    ResetBuckets();
    delete[] recent_;
}

std::size_t StringTable::RecentSlot(std::string_view text) noexcept {
    const char* bytes = text.data();
    const std::size_t size = text.size();
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    if (size >= 8) {
        first = Load8(bytes);
        last = Load8(bytes + size - 8);
    } else if (size >= 4) {
        first = Load4(bytes);
        last = Load4(bytes + size - 4);
    } else if (size > 0) {
        first = static_cast<unsigned char>(bytes[0]);
        last = (std::uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8) |
               static_cast<unsigned char>(bytes[size - 1]);
    }
    const std::uint64_t mixed = ((first ^ size) * 0x9E3779B97F4A7C15ull) ^ (last * 0xC2B2AE3D27D4EB4Full);
    return static_cast<std::size_t>(mixed >> 57) % kRecentSlots;
}

StringEntry* StringTable::Find(std::string_view text, std::uint32_t hash) const noexcept {
    for (StringEntry* entry = buckets_[BucketOf(hash, bucketCount_)]; entry != nullptr;
         entry = entry->next) {
        if (entry->hash == hash && SameBytes(entry->text, text)) {
            return entry;
        }
    }
    return nullptr;
}

void StringTable::Insert(StringEntry* entry) {
    if (size_ + 1 > bucketCount_) {
        Grow();
    }
    StringEntry*& head = buckets_[BucketOf(entry->hash, bucketCount_)];
    entry->next = head;
    head = entry;
    ++size_;
}

void StringTable::Remove(StringEntry* entry) noexcept {
    StringEntry** link = &buckets_[BucketOf(entry->hash, bucketCount_)];
    while (*link != nullptr && *link != entry) {
        link = &(*link)->next;
    }
    if (*link == nullptr) {
        return;
    }
    *link = entry->next;
    entry->next = nullptr;
    if (recent_ != nullptr) {
        if (StringEntry*& cached = recent_[RecentSlot(entry->text)]; cached == entry) {
            cached = nullptr;
        }
    }
    if (--size_ == 0) {
        ResetBuckets();
    }
}

void StringTable::DestroyAll() noexcept {
    if (size_ == 0) {
        return;  // nothing to destroy; the cache holds only entries of the table, so none
    }
    if (recent_ != nullptr) {
        std::memset(recent_, 0, kRecentSlots * sizeof *recent_);
    }
    for (std::size_t i = 0; i < bucketCount_ && size_ != 0; ++i) {
        StringEntry* entry = buckets_[i];
        while (entry != nullptr) {
            StringEntry* next = entry->next;
            entry->~StringEntry();
            --size_;
            entry = next;
        }
    }
    size_ = 0;
    ResetBuckets();
}

void StringTable::Grow() {
    const std::size_t newCount = bucketCount_ * 2;
    auto** newBuckets = new StringEntry*[newCount]();
    if (recent_ == nullptr && newCount >= kRecentFromBuckets) {
        try {
            recent_ = new StringEntry*[kRecentSlots]();
        } catch (...) {
            delete[] newBuckets;
            throw;
        }
    }
    for (std::size_t i = 0; i < bucketCount_; ++i) {
        StringEntry* entry = buckets_[i];
        while (entry != nullptr) {
            StringEntry* next = entry->next;
            StringEntry*& head = newBuckets[BucketOf(entry->hash, newCount)];
            entry->next = head;
            head = entry;
            entry = next;
        }
    }
    if (buckets_ != inlineBuckets_) {
        delete[] buckets_;
    }
    buckets_ = newBuckets;
    bucketCount_ = newCount;
}

void StringTable::ResetBuckets() noexcept {
    if (buckets_ != inlineBuckets_) {
        delete[] buckets_;
    }
    buckets_ = inlineBuckets_;
    bucketCount_ = kInitialBuckets;
    std::memset(inlineBuckets_, 0, sizeof inlineBuckets_);
}

}  // namespace vclient::detail
