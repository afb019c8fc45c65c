// Await, Yield and the module's timers, against the module's fake host.
#include "runtime/host_turns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "fake_module.h"

namespace vclient {
namespace {

using testing_support::FakeModule;
using ::testing::AllOf;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;
using MaybeInt = MaybeType<Failure, int>;

// A future ready at the first poll opens no wait: ProbeServiceProxy.AnEarlyReplyIsMatchedWhenItsRequestIsStored.
TEST(Await, OpensOneWaitAndGivesOneRunPendingPerTurnUntilReady) {
    FakeModule module;
    std::promise<MaybeType<Failure, void>> promise;
    int turns = 0;
    module.onRunPending = [&] {
        if (++turns == 3) promise.set_value(MaybeType<Failure, void>(Failure(404, "gone")));
    };
    const MaybeType<Failure, void> result = module.Await(promise.get_future());
    EXPECT_EQ(result.GetFailure().code, 404);
    EXPECT_EQ(module.calls, (Strings{"BeginWait Wait: future<vclient::MaybeType<vclient::Failure, void>>",
                                     "RunPending", "RunPending", "RunPending", "EndWait"}));

    module.calls.clear();
    module.endWaitAnswer = 0x1122334455667788ull;
    EXPECT_EQ(module.Yield(), 0x1122334455667788ull);
    EXPECT_EQ(module.calls, (Strings{"BeginWait Wait: yield", "RunPending", "EndWait"}));
}

TEST(AwaitDeathTest, ABrokenPromiseOrAMissingStateIsFatal) {
    auto broken = [] {
        std::promise<MaybeInt> promise;
        return promise.get_future();
    };
    const auto report = [](const char* code) {
        return AllOf(HasSubstr("Expression: ALE-6D828C10\n"),
                     HasSubstr(std::string("Caught std::future_error in AppModule::Await: (") + code + ")"));
    };
    EXPECT_DEATH((void)FakeModule().Await(broken()), report("4"));
    EXPECT_DEATH((void)FakeModule().Await(std::future<MaybeInt>()), report("3"));
}

TEST(ScheduleCallback, NumbersTimersFromOneAndRunsEachOnceWhenFired) {
    FakeModule module;
    int runs = 0;
    EXPECT_EQ(module.ScheduleCallback("first", [&] { ++runs; }, MonotonicNanoseconds() - 1000), 1u);
    EXPECT_EQ(module.ScheduleCallback("second", [&] {
        runs += 10;
        module.ScheduleCallback("nested", [&] { runs += 100; }, 0);  // a timer may schedule another
    }, MonotonicNanoseconds() + 2000000000), 2u);
    EXPECT_EQ(module.timers[0].delay, 0.0) << "a deadline in the past gives delay 0";
    EXPECT_TRUE(module.timers[1].delay > 0.0 && module.timers[1].delay <= 2.0);
    EXPECT_EQ(module.calls, (Strings{"ScheduleTimer first", "ScheduleTimer second"}));

    module.Fire(1);
    module.Fire(1);
    EXPECT_EQ(runs, 10) << "a timer runs once";
    module.Fire(0);
    module.Fire(2);
    EXPECT_EQ(runs, 111);
    EXPECT_EQ(module.PendingTimerCount(), 0u);
}

TEST(ScheduleCallback, ATimerFiredAfterItsModuleIsGoneRunsNothing) {
    auto module = std::make_unique<FakeModule>();
    auto counter = std::make_shared<int>(0);
    module->ScheduleCallback("late", [counter] { ++*counter; }, 0);
    const FakeModule::Timer timer = module->timers.at(0);
    module.reset();
    EXPECT_EQ(counter.use_count(), 1) << "the pending function is released with its module";
    timer.callback(timer.context);  // must neither run nor touch freed memory
    timer.callback(nullptr);
    EXPECT_EQ(*counter, 0);
}

}  // namespace
}  // namespace vclient
