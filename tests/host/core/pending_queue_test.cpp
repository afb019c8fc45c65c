// How an idle turn jumps the clock is DevHostEvents.AWaitMovesTheHostClockToADelayedReplyOrTheTimeout's; how a
// turn runs inside an item (a wait in a delivery), ProbeWaiting.AWaitInsideAnEventDeliveredDuringAnotherWaitNests'.
#include "core/pending_queue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace qivhost {
namespace {

struct PendingQueueTest : ::testing::Test {
    PendingQueue queue;
    std::vector<std::string> ran;
    void Add(const std::string& label, double seconds, std::uint64_t turns = 0) {
        queue.Add(label, seconds, turns, [this, label] { ran.push_back(label); });
    }
};

TEST_F(PendingQueueTest, RunsDueItemsEarliestFirstAndInOrderAmongEquals) {
    Add("b", 0);
    Add("three", 3);
    Add("c", 0);
    Add("one", 1);
    Add("after two turns", 0, 2);
    EXPECT_EQ(queue.Turn(false), 2u);
    EXPECT_EQ(queue.Turn(false), 1u);
    queue.AdvanceClock(5);
    EXPECT_EQ(queue.Turn(false), 2u);
    EXPECT_EQ(ran, (std::vector<std::string>{"b", "c", "after two turns", "one", "three"}));
    EXPECT_DOUBLE_EQ(queue.Now(), 5.0);
}

TEST_F(PendingQueueTest, ItemsAddedDuringATurnWaitForTheNext) {
    queue.Add("outer", 0, 0, [this] {
        ran.push_back("outer");
        Add("inner", 0);
    });
    EXPECT_EQ(queue.Turn(false), 1u);
    EXPECT_EQ(queue.Turn(false), 1u);
    EXPECT_EQ(ran, (std::vector<std::string>{"outer", "inner"}));
}

TEST_F(PendingQueueTest, OddDelaysAreSafe) {
    Add("nan", std::nan(""));
    Add("negative", -4);
    Add("never", std::numeric_limits<double>::infinity());
    EXPECT_EQ(queue.Turn(true), 2u);
    EXPECT_FALSE(queue.CanProgress());
    EXPECT_EQ(queue.Turn(true), 0u);
    queue.AdvanceClock(-3);
    queue.AdvanceClock(std::nan(""));
    EXPECT_DOUBLE_EQ(queue.Now(), 0.0);
    EXPECT_EQ(queue.Labels(), (std::vector<std::string>{"never"}));
}

}  // namespace
}  // namespace qivhost
