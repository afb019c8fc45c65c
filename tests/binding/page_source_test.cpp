#include "binding/page_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "binding/binding_property.h"
#include "binding/property_arena.h"

namespace vclient {
namespace {

BindingPageSource& Source() {
    return BindingPageSource::Instance();
}

TEST(BindingPageSource, HandsOutAlignedDistinctWritablePages) {
    const std::size_t chunksBefore = Source().ChunksHeld();
    const std::size_t pagesBefore = Source().PagesOut();
    std::vector<void*> pages;
    std::set<void*> distinct;
    for (int i = 0; i < 20; ++i) {
        void* page = Source().TakePage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page) % BindingPageSource::kPageSize, 0u);
        std::memset(page, 0xAB, BindingPageSource::kPageSize);
        pages.push_back(page);
        distinct.insert(page);
    }
    EXPECT_EQ(distinct.size(), pages.size());
    EXPECT_EQ(Source().PagesOut(), pagesBefore + 20);
    EXPECT_GE(Source().ChunksHeld(), chunksBefore + 1);
    for (void* page : pages) Source().ReturnPage(page);
    EXPECT_EQ(Source().PagesOut(), pagesBefore);
    EXPECT_EQ(Source().ChunksHeld(), chunksBefore);
}

TEST(BindingPageSource, ChunkGoesBackOnlyWhenAllSixteenPagesAreFree) {
    ASSERT_EQ(Source().ChunksHeld(), 0u) << "another test left pages out";
    std::vector<void*> pages;
    for (std::size_t i = 0; i < BindingPageSource::kPagesPerChunk; ++i) pages.push_back(Source().TakePage());
    EXPECT_EQ(Source().ChunksHeld(), 1u);
    void* seventeenth = Source().TakePage();
    EXPECT_EQ(Source().ChunksHeld(), 2u);
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

TEST(BindingPageSource, IgnoresForeignAndDoubleReturns) {
    void* page = Source().TakePage();
    const std::size_t out = Source().PagesOut();
    Source().ReturnPage(page);
    Source().ReturnPage(page);  // second return of the same page
    alignas(4096) static unsigned char foreign[4096];
    Source().ReturnPage(foreign);
    Source().ReturnPage(nullptr);
    EXPECT_EQ(Source().PagesOut(), out - 1);
}

TEST(BindingPageSource, SpareChunksAreKeptUpToTheLimit) {
    ASSERT_EQ(Source().ChunksHeld(), 0u);
    ASSERT_EQ(Source().SpareChunkLimit(), 0u);
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

// Many trees alive at once spread over many pages; once they are gone, every chunk is
// back with the operating system.
TEST(BindingPageSource, ManyArenasReturnEverything) {
    ASSERT_EQ(Source().PagesOut(), 0u);
    std::vector<std::unique_ptr<BindingProperty>> trees;
    for (int t = 0; t < 200; ++t) {
        auto tree = std::make_unique<BindingProperty>();
        for (int r = 0; r < 60; ++r) {
            BindingProperty& record = tree->Field("items").Append();
            record.Field("id").SetSigned(r);
            record.Field("name").SetString(std::string("record ").append(std::to_string(r)));
            record.Field("flags").SetEnum({r, t});
        }
        trees.push_back(std::move(tree));
    }
    EXPECT_GT(Source().PagesOut(), 200u);
    EXPECT_GT(Source().ChunksHeld(), 10u);
    // Destroy every other tree first, so chunks are shared by live and dead trees.
    for (std::size_t i = 0; i < trees.size(); i += 2) trees[i].reset();
    for (std::size_t i = 1; i < trees.size(); i += 2) {
        EXPECT_EQ(trees[i]->Find("items").Size(), 60u);
        trees[i].reset();
    }
    EXPECT_EQ(Source().PagesOut(), 0u);
    EXPECT_EQ(Source().ChunksHeld(), 0u);
}

}  // namespace
}  // namespace vclient
