#include "binding/string_table.h"

#include <cstring>

namespace vclient::detail {

namespace {

std::size_t BucketOf(std::uint32_t hash, std::size_t bucketCount) {
    return hash & (bucketCount - 1);
}


}  // namespace

constinit StringEntry gEmptyStringEntry{};

StringTable::~StringTable() {
    ResetBuckets();
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
    if (--size_ == 0) {
        ResetBuckets();
    }
}

void StringTable::DestroyAll() noexcept {
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
