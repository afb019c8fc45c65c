#include "value/page_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "value/binding_property.h"
#include "value/property_arena.h"

namespace vclient {
namespace {

BindingPageSource& Source() {
    return BindingPageSource::Instance();
}

// Most cases watch chunks come and go, so they run with no spares kept and put the
// default back afterwards (dropping the spares they made).
class BindingPageSourceTest : public ::testing::Test {
protected:
    void SetUp() override { Source().SetSpareChunkLimit(0); }
    void TearDown() override { Source().SetSpareChunkLimit(BindingPageSource::kDefaultSpareChunks); }
};

TEST_F(BindingPageSourceTest, HandsOutAlignedDistinctWritablePages) {
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

TEST_F(BindingPageSourceTest, ChunkGoesBackOnlyWhenAllSixteenPagesAreFree) {
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

// Many trees alive at once spread over many pages; once they are gone, every chunk is
// back with the operating system.
TEST_F(BindingPageSourceTest, ManyArenasReturnEverything) {
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

// By default a dropped tree's chunks stay as spares, and the next tree of the same size
// reuses them instead of reserving new memory.
TEST(BindingPageSource, DefaultKeepsDroppedTreesChunksForTheNextTree) {
    ASSERT_EQ(Source().SpareChunkLimit(), BindingPageSource::kDefaultSpareChunks);
    Source().SetSpareChunkLimit(0);
    Source().SetSpareChunkLimit(BindingPageSource::kDefaultSpareChunks);
    ASSERT_EQ(Source().ChunksHeld(), 0u) << "another test left pages out";
    auto build = [] {
        BindingProperty tree;
        for (int r = 0; r < 2000; ++r) tree.Field("items").Element(static_cast<std::size_t>(r)).Field("id").SetSigned(r);
        return Source().ChunksHeld();
    };
    const std::size_t chunks = build();
    EXPECT_GT(chunks, 1u);
    EXPECT_EQ(Source().PagesOut(), 0u);
    EXPECT_EQ(Source().SpareChunks(), chunks);
    EXPECT_EQ(build(), chunks);  // no chunk added
    Source().SetSpareChunkLimit(BindingPageSource::kDefaultSpareChunks);
}

}  // namespace
}  // namespace vclient
