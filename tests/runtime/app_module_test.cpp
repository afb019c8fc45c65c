#include "runtime/app_module.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "fake_module.h"

namespace vclient {
namespace {

using testing::FakeModule;
using ::testing::AllOf;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;
using MaybeInt = MaybeType<Failure, int>;

TEST(Await, OpensOneWaitAndGivesOneRunPendingPerTurnUntilReady) {
    FakeModule module;
    std::promise<MaybeType<Failure, void>> promise;
    int turns = 0;
    module.onRunPending = [&] {
        if (++turns == 3) promise.set_value(MaybeType<Failure, void>(Failure(404, "gone")));
    };
    const MaybeType<Failure, void> result = module.Await(promise.get_future());
    ASSERT_FALSE(result.Succeeded());
    EXPECT_EQ(result.GetFailure().code, 404);
    const std::string label =
        "BeginWait Wait: future<vclient::MaybeType<vclient::Failure, void>>";
    EXPECT_EQ(module.calls, (Strings{label, "RunPending", "RunPending", "RunPending", "EndWait"}));
}

TEST(AwaitDeathTest, ABrokenPromiseOrAMissingStateIsFatal) {
    EXPECT_DEATH(
        {
            FakeModule module;
            std::future<MaybeInt> future;
            {
                std::promise<MaybeInt> promise;
                future = promise.get_future();
            }
            (void)module.Await(std::move(future));
        },
        AllOf(HasSubstr("Expression: ALE-6D828C10\n"),
              HasSubstr("Caught std::future_error in AppModule::Await: (4)")));
    EXPECT_DEATH(
        {
            FakeModule module;
            (void)module.Await(std::future<MaybeInt>());
        },
        AllOf(HasSubstr("Expression: ALE-6D828C10\n"),
              HasSubstr("Caught std::future_error in AppModule::Await: (3)")));
}

TEST(Yield, GivesOneTurnAndReturnsWhatEndWaitReturned) {
    FakeModule module;
    module.endWaitAnswer = 0x1122334455667788ull;
    EXPECT_EQ(module.Yield(), 0x1122334455667788ull);
    EXPECT_EQ(module.calls, (Strings{"BeginWait Wait: yield", "RunPending", "EndWait"}));
}

TEST(ScheduleCallback, NumbersTimersFromOneAndRunsEachOnceWhenFired) {
    FakeModule module;
    int runs = 0;
    EXPECT_EQ(module.ScheduleCallback("first", [&] { ++runs; }, MonotonicNanoseconds() - 1000), 1u);
    EXPECT_EQ(module.ScheduleCallback("second", [&] { runs += 10; }, MonotonicNanoseconds() + 2000000000), 2u);
    ASSERT_EQ(module.timers.size(), 2u);
    EXPECT_EQ(module.timers[0].delay, 0.0) << "a deadline in the past gives delay 0";
    EXPECT_GT(module.timers[1].delay, 1.5);
    EXPECT_LE(module.timers[1].delay, 2.0);
    EXPECT_EQ(module.PendingTimerCount(), 2u);

    module.timers[1].callback(module.timers[1].context);
    EXPECT_EQ(runs, 10);
    module.timers[1].callback(module.timers[1].context);
    EXPECT_EQ(runs, 10) << "a timer runs once";
    module.timers[0].callback(module.timers[0].context);
    EXPECT_EQ(runs, 11);
    EXPECT_EQ(module.PendingTimerCount(), 0u);
}

TEST(ScheduleCallback, ATimerFiredAfterItsModuleIsGoneRunsNothing) {
    auto module = std::make_unique<FakeModule>();
    auto counter = std::make_shared<int>(0);
    module->ScheduleCallback("late", [counter] { ++*counter; }, 0);
    const FakeModule::Timer timer = module->timers.at(0);
    EXPECT_EQ(counter.use_count(), 2);
    module.reset();
    EXPECT_EQ(counter.use_count(), 1) << "the pending function is released with its module";
    timer.callback(timer.context);  // must neither run nor touch freed memory
    EXPECT_EQ(*counter, 0);
    timer.callback(nullptr);
}

TEST(ScheduleCallback, ATimerMayScheduleAnotherWhileItRuns) {
    FakeModule module;
    int runs = 0;
    module.ScheduleCallback("outer", [&] {
        ++runs;
        module.ScheduleCallback("inner", [&] { ++runs; }, 0);
    }, 0);
    module.timers[0].callback(module.timers[0].context);
    ASSERT_EQ(module.timers.size(), 2u);
    module.timers[1].callback(module.timers[1].context);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(module.PendingTimerCount(), 0u);
}

}  // namespace
}  // namespace vclient
