#include "value/property_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "value/binding_property.h"
#include "value/page_source.h"
#include "value/slab_pool.h"

namespace vclient {
namespace {

TEST(PropertyArena, InlinePageServesFirstSlotsWithoutPages) {
    PropertyArena arena;
    const std::size_t pagesBefore = BindingPageSource::Instance().PagesOut();
    void* first = arena.Allocate(72);  // the 144-byte inline page has room for one
    EXPECT_EQ(arena.PagesHeld(), 0u);
    void* second = arena.Allocate(72);
    EXPECT_EQ(BindingPageSource::Instance().PagesOut(), pagesBefore + 1);
    arena.Release(second, 72);
    EXPECT_EQ(BindingPageSource::Instance().PagesOut(), pagesBefore);
    arena.Release(first, 72);
    // The inline slot is reused rather than a page taken.
    void* again = arena.Allocate(72);
    EXPECT_EQ(again, first);
    EXPECT_EQ(arena.PagesHeld(), 0u);
    arena.Release(again, 72);
}

// Each request is served by the class of its size rounded up to 4, which hands out exactly
// the usable slots of a page, in address order, before it takes the next page: the first
// slot after the header up to the last whole slot. Slots hold their bytes, and a freed slot
// (also one of a full page) is the next one handed out.
TEST(PropertyArena, PagesServeEveryUsableSlotInAddressOrder) {
    for (std::size_t bytes = 1; bytes <= PropertyArena::kMaxSlotSize; ++bytes) {
        SCOPED_TRACE(bytes);
        const std::size_t size = (bytes + 3) / 4 * 4;
        PropertyArena arena;
        std::vector<unsigned char*> slots;
        while (arena.PagesHeld() < 2) {
            slots.push_back(static_cast<unsigned char*>(arena.Allocate(bytes)));
            std::memset(slots.back(), static_cast<int>(slots.size() & 0xFF), bytes);
        }
        const std::size_t header = (sizeof(detail::SlabPageHeader) + size - 1) / size;
        const std::size_t inlineSlots = detail::SlabClass::kInlinePageSize / size - header;
        const std::size_t pageSlots = detail::SlabClass::kPageSize / size - header;
        ASSERT_EQ(slots.size(), inlineSlots + pageSlots + 1);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            EXPECT_EQ(slots[i][bytes - 1], static_cast<unsigned char>((i + 1) & 0xFF)) << "slot " << i;
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(slots[i]) % (size % 8 == 0 ? 8 : 4), 0u) << "slot " << i;
            if (i == 0 || i == inlineSlots || i == inlineSlots + pageSlots) continue;  // a new page starts
            EXPECT_EQ(slots[i] - slots[i - 1], static_cast<std::ptrdiff_t>(size)) << "slot " << i;
        }
        // Freed slots of the full first page come back last-freed first, then the untouched ones follow.
        arena.Release(slots[inlineSlots + 3], bytes);
        arena.Release(slots[inlineSlots + 1], bytes);
        EXPECT_EQ(arena.Allocate(bytes), slots[inlineSlots + 1]);
        EXPECT_EQ(arena.Allocate(bytes), slots[inlineSlots + 3]);
        for (unsigned char* slot : slots) arena.Release(slot, bytes);
        EXPECT_EQ(arena.PagesHeld(), 0u);
    }
}

// A page's untouched slots are claimed together and handed out one by one; a release in
// between gives the rest back, so the page still serves each of its slots exactly once
// (the released one first) before the next page is taken, and every page goes back.
TEST(PropertyArena, ReleaseBetweenAllocationsLosesNoSlot) {
    for (const std::size_t size : {8u, 56u, 72u}) {
        PropertyArena arena;
        const std::size_t header = (sizeof(detail::SlabPageHeader) + size - 1) / size;
        const std::size_t inlineSlots = detail::SlabClass::kInlinePageSize / size - header;
        const std::size_t pageSlots = detail::SlabClass::kPageSize / size - header;
        std::vector<void*> slots;
        for (std::size_t i = 0; i < inlineSlots + 5; ++i) slots.push_back(arena.Allocate(size));
        void* released = slots[inlineSlots + 2];
        arena.Release(released, size);
        EXPECT_EQ(arena.Allocate(size), released) << "size " << size;
        std::size_t fromFirstPage = 1;
        for (;;) {
            void* slot = arena.Allocate(size);
            slots.push_back(slot);
            if (arena.PagesHeld() == 2) break;
            ++fromFirstPage;
        }
        EXPECT_EQ(fromFirstPage, pageSlots - 5 + 1) << "size " << size;
        EXPECT_EQ(std::set<void*>(slots.begin(), slots.end()).size(), slots.size()) << "size " << size;
        for (void* slot : slots) arena.Release(slot, size);
        EXPECT_EQ(arena.PagesHeld(), 0u) << "size " << size;
    }
}

TEST(PropertyArena, ResetDropsEverythingAndStartsAfresh) {
    PropertyArena arena;
    const std::size_t pagesBefore = BindingPageSource::Instance().PagesOut();
    for (int i = 0; i < 500; ++i) {
        static_cast<void>(arena.Allocate(static_cast<std::size_t>(4 + (i % 17) * 4)));
        static_cast<void>(arena.Intern(std::string("text number ").append(std::to_string(i)).append(20, 'x')));
    }
    EXPECT_GT(arena.PagesHeld(), 0u);
    arena.Reset();
    EXPECT_EQ(arena.PagesHeld(), 0u);
    EXPECT_EQ(arena.StringCount(), 0u);
    EXPECT_EQ(arena.StringBuckets(), 8u);
    EXPECT_EQ(BindingPageSource::Instance().PagesOut(), pagesBefore);
    void* slot = arena.Allocate(8);  // usable again, from the inline page
    EXPECT_EQ(arena.PagesHeld(), 0u);
    arena.Release(slot, 8);
}

TEST(PropertyArena, OversizedRequestIsAnAllocationFailure) {
    PropertyArena arena;
    EXPECT_THROW(static_cast<void>(arena.Allocate(PropertyArena::kMaxSlotSize + 1)), std::bad_alloc);
}

// Sharing, counting and interning again after release are checked against a model below.
TEST(PropertyArena, TheEmptyTextIsNeverCounted) {
    PropertyArena arena;
    detail::StringEntry* empty = arena.Intern(std::string_view());
    EXPECT_EQ(empty, &detail::EmptyStringEntry());
    EXPECT_EQ(arena.Intern(std::string()), empty);
    EXPECT_EQ(empty->count, 0u);
    EXPECT_EQ(arena.StringCount(), 0u);
    arena.ReleaseString(empty);
    EXPECT_EQ(empty->count, 0u);
}

// Interning and releasing at random against a model: counts stay exact, the table grows
// and shrinks with them, and a text whose entry was freed gets a new one (the cache of
// recent entries never hands out a freed one).
TEST(PropertyArena, InternAndReleaseMatchACountingModel) {
    PropertyArena arena;
    std::vector<std::string> texts;
    for (int i = 0; i < 1500; ++i) {  // enough live texts for the table to make its cache
        texts.push_back(i % 3 == 0 ? std::to_string(i) : std::string("field").append(std::to_string(i)).append(i % 7, 'q'));
    }
    std::vector<std::vector<detail::StringEntry*>> held(texts.size());
    std::uint32_t state = 7;
    std::size_t mostBuckets = 0;
    for (int step = 0; step < 40000; ++step) {
        state = state * 1664525u + 1013904223u;
        const std::size_t index = (state >> 8) % texts.size();
        if ((state >> 30) != 0 || held[index].empty()) {
            detail::StringEntry* entry = arena.Intern(std::string_view(texts[index]));
            ASSERT_EQ(entry->text, texts[index]);
            if (!held[index].empty()) {
                ASSERT_EQ(entry, held[index].front());
            }
            held[index].push_back(entry);
        } else {
            arena.ReleaseString(held[index].back());
            held[index].pop_back();
        }
        mostBuckets = std::max(mostBuckets, arena.StringBuckets());
        if (step % 997 == 0) {
            std::size_t live = 0;
            for (std::size_t t = 0; t < texts.size(); ++t) {
                ASSERT_EQ(arena.StringUseCount(texts[t]), held[t].size()) << texts[t];
                live += held[t].empty() ? 0 : 1;
            }
            ASSERT_EQ(arena.StringCount(), live);
            ASSERT_GE(arena.StringBuckets(), live) << "a load factor of at most 1";
        }
    }
    for (auto& entries : held) {
        for (detail::StringEntry* entry : entries) arena.ReleaseString(entry);
    }
    EXPECT_EQ(arena.StringCount(), 0u);
    EXPECT_EQ(arena.StringBuckets(), 8u) << "an empty table shrinks back to eight buckets";
    EXPECT_EQ(arena.PagesHeld(), 0u);
    EXPECT_GE(mostBuckets, 1024u);  // the cache of recent entries took part
}

TEST(PropertyArena, MovedTextBecomesTheEntry) {
    PropertyArena arena;
    std::string text(100, 'x');
    const char* buffer = text.data();
    detail::StringEntry* entry = arena.Intern(std::move(text));
    EXPECT_EQ(entry->text.data(), buffer);
    // A moved text already in the table gives the existing entry, counted once more.
    EXPECT_EQ(arena.Intern(std::string(100, 'x')), entry);
    EXPECT_EQ(arena.StringUseCount(std::string(100, 'x')), 2u);
    arena.ReleaseString(entry);
    arena.ReleaseString(entry);
    EXPECT_EQ(arena.StringCount(), 0u);
}

BindingPageSource& Source() { return BindingPageSource::Instance(); }

// Most cases watch chunks come and go, so they run with no spares kept and put the
// default back afterwards (dropping the spares they made).
class BindingPageSourceTest : public ::testing::Test {
protected:
    void SetUp() override { Source().SetSpareChunkLimit(0); }
    void TearDown() override { Source().SetSpareChunkLimit(BindingPageSource::kDefaultSpareChunks); }
};

// Pages are aligned, distinct and writable; a chunk of sixteen goes back only when all its
// pages are free.
TEST_F(BindingPageSourceTest, ChunkGoesBackOnlyWhenAllSixteenPagesAreFree) {
    ASSERT_EQ(Source().ChunksHeld(), 0u) << "another test left pages out";
    std::vector<void*> pages;
    for (std::size_t i = 0; i < BindingPageSource::kPagesPerChunk; ++i) {
        pages.push_back(Source().TakePage());
        ASSERT_NE(pages.back(), nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pages.back()) % BindingPageSource::kPageSize, 0u);
        std::memset(pages.back(), 0xAB, BindingPageSource::kPageSize);
    }
    EXPECT_EQ(std::set<void*>(pages.begin(), pages.end()).size(), pages.size());
    EXPECT_EQ(Source().ChunksHeld(), 1u);
    void* seventeenth = Source().TakePage();
    EXPECT_EQ(Source().ChunksHeld(), 2u);
    EXPECT_EQ(Source().PagesOut(), BindingPageSource::kPagesPerChunk + 1);
    Source().ReturnPage(seventeenth);
    EXPECT_EQ(Source().ChunksHeld(), 1u);
    for (std::size_t i = 0; i + 1 < pages.size(); ++i) {
        Source().ReturnPage(pages[i]);
        EXPECT_EQ(Source().ChunksHeld(), 1u) << "after returning page " << i;
    }
    Source().ReturnPage(pages.back());
    EXPECT_EQ(Source().ChunksHeld(), 0u);
    EXPECT_EQ(Source().PagesOut(), 0u);
}

TEST_F(BindingPageSourceTest, IgnoresForeignAndDoubleReturns) {
    void* page = Source().TakePage();
    const std::size_t out = Source().PagesOut();
    Source().ReturnPage(page);
    Source().ReturnPage(page);  // second return of the same page
    alignas(4096) static unsigned char foreign[4096];
    Source().ReturnPage(foreign);
    Source().ReturnPage(nullptr);
    EXPECT_EQ(Source().PagesOut(), out - 1);
}

TEST_F(BindingPageSourceTest, SpareChunksAreKeptUpToTheLimit) {
    ASSERT_EQ(Source().ChunksHeld(), 0u);
    Source().SetSpareChunkLimit(1);
    std::vector<void*> pages;
    for (std::size_t i = 0; i < 3 * BindingPageSource::kPagesPerChunk; ++i) pages.push_back(Source().TakePage());
    EXPECT_EQ(Source().ChunksHeld(), 3u);
    for (void* page : pages) Source().ReturnPage(page);
    EXPECT_EQ(Source().ChunksHeld(), 1u);  // one spare kept, two released
    EXPECT_EQ(Source().SpareChunks(), 1u);
    void* reused = Source().TakePage();  // comes from the spare, no new chunk
    EXPECT_EQ(Source().ChunksHeld(), 1u);
    EXPECT_EQ(Source().SpareChunks(), 0u);
    Source().ReturnPage(reused);
    EXPECT_EQ(Source().SpareChunks(), 1u);
    Source().SetSpareChunkLimit(0);  // lowering the limit releases the spare
    EXPECT_EQ(Source().ChunksHeld(), 0u);
    EXPECT_EQ(Source().SpareChunks(), 0u);
}

}  // namespace
}  // namespace vclient
