// Subscriptions and wait bookkeeping.
#include "event_bus.h"

#include <gtest/gtest.h>

#include "wait_tracker.h"

namespace qivhost {
namespace {

void QIV_CALL First(const HostEvent*) {}
void QIV_CALL Second(const HostEvent*) {}

TEST(EventBus, ASecondSubscriptionUnderTheSameHandleReplacesTheFirst) {
    EventBus bus;
    int a = 0;
    int b = 0;
    const std::uint64_t firstId = bus.Subscribe("E", 1, &First, &a, 0);
    const std::uint64_t secondId = bus.Subscribe("E", 1, &Second, &b, 1);
    (void)bus.Subscribe("E", 2, &First, &a, 0);
    const std::vector<Subscription> subscribers = bus.SubscribersOf("E");
    ASSERT_EQ(subscribers.size(), 2u);
    EXPECT_EQ(subscribers[0].callback, &Second);
    EXPECT_EQ(subscribers[0].context, &b);
    EXPECT_EQ(subscribers[0].flag, 1u);
    EXPECT_FALSE(bus.IsLive(firstId));
    EXPECT_TRUE(bus.IsLive(secondId));
}

TEST(EventBus, UnsubscribingRemovesOnlyThatHandlesSubscription) {
    EventBus bus;
    (void)bus.Subscribe("E", 1, &First, nullptr, 0);
    (void)bus.Subscribe("E", 2, &First, nullptr, 0);
    (void)bus.Subscribe("F", 1, &First, nullptr, 0);
    EXPECT_TRUE(bus.Unsubscribe("E", 1));
    EXPECT_FALSE(bus.Unsubscribe("E", 1));
    EXPECT_FALSE(bus.IsSubscribed("E", 1));
    EXPECT_TRUE(bus.IsSubscribed("E", 2));
    EXPECT_TRUE(bus.IsSubscribed("F", 1));
    EXPECT_TRUE(bus.SubscribersOf("G").empty());
    EXPECT_EQ(bus.Count(), 2u);
}

TEST(WaitTracker, NestedWaitsCountTheirOwnTurns) {
    WaitTracker waits;
    waits.Begin("Wait: future<a>");
    waits.CountTurn();
    waits.Begin("Wait: yield");
    waits.CountTurn();
    waits.CountTurn();
    EXPECT_EQ(waits.Depth(), 2u);
    EXPECT_EQ(waits.End(), 2u);
    waits.CountTurn();
    EXPECT_EQ(waits.End(), 4u);
    EXPECT_EQ(waits.End(), 0u);
    EXPECT_EQ(waits.UnmatchedEnds(), 1u);
    EXPECT_EQ(waits.MaxDepth(), 2u);
    EXPECT_EQ(waits.Begun(), 2u);
    EXPECT_EQ(waits.Ended(), 2u);
    EXPECT_EQ(waits.Labels().at("Wait: yield"), 1u);
}

}  // namespace
}  // namespace qivhost
