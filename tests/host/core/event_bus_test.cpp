// Subscriptions and wait bookkeeping.
#include "core/event_bus.h"

#include <gtest/gtest.h>

#include "core/wait_tracker.h"

namespace qivhost {
namespace {

void QIV_CALL First(const HostEvent*) {}
void QIV_CALL Second(const HostEvent*) {}

// A subscription is keyed by name and handle: the same key again replaces it.
TEST(EventBus, ASubscriptionIsKeyedByNameAndHandle) {
    EventBus bus;
    int context = 0;
    const std::uint64_t first = bus.Subscribe("E", 1, &First, nullptr, 0);
    const std::uint64_t second = bus.Subscribe("E", 1, &Second, &context, 1);
    (void)bus.Subscribe("E", 2, &First, nullptr, 0);
    (void)bus.Subscribe("F", 1, &First, nullptr, 0);
    const std::vector<Subscription> subscribers = bus.SubscribersOf("E");
    ASSERT_EQ(subscribers.size(), 2u);
    EXPECT_EQ(subscribers[0].callback, &Second);
    EXPECT_EQ(subscribers[0].context, &context);
    EXPECT_EQ(subscribers[0].flag, 1u);
    EXPECT_FALSE(bus.IsLive(first));
    EXPECT_TRUE(bus.Unsubscribe("E", 1));
    EXPECT_FALSE(bus.Unsubscribe("E", 1));
    EXPECT_FALSE(bus.IsLive(second));
    EXPECT_TRUE(bus.IsSubscribed("E", 2));
    EXPECT_TRUE(bus.IsSubscribed("F", 1));
}

TEST(WaitTracker, NestedWaitsCountTheirOwnTurns) {
    WaitTracker waits;
    waits.Begin("Wait: future<a>");
    waits.CountTurn();
    waits.Begin("Wait: yield");
    waits.CountTurn();
    waits.CountTurn();
    EXPECT_EQ(waits.End(), 2u);
    waits.CountTurn();
    EXPECT_EQ(waits.End(), 4u);
    EXPECT_EQ(waits.End(), 0u);
    EXPECT_EQ(waits.UnmatchedEnds(), 1u);
    EXPECT_EQ(waits.Labels().at("Wait: yield"), 1u);
}

}  // namespace
}  // namespace qivhost
