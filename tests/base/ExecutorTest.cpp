#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/Executor.h"

namespace gridport {
namespace {

// In the waiting thread, every task runs once, in the order given, when
// Wait is called.
TEST(Executor, RunsTasksInTheCallingThreadInOrder) {
    Executor here = Executor::InCallingThread();
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) {
        here.Async([&order, i, caller = std::this_thread::get_id()] {
            order.push_back(std::this_thread::get_id() == caller ? i : -1);
        });
    }
    EXPECT_TRUE(order.empty());
    here.Wait();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

// On threads, every task runs once, the waiting thread is called back
// meanwhile, and a task given after Wait still runs before the executor goes.
TEST(Executor, RunsEveryTaskOnceOnThreads) {
#if GRIDPORT_EMULATED
    GTEST_SKIP() << "qemu's user mode hangs at a program's first thread";
#endif
    std::atomic<int> runs[64] = {};
    int ticks = 0;
    {
        Executor pool = Executor::OnThreads(4);
        for (std::atomic<int>& run : runs) {
            pool.Async([&run] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                ++run;
            });
        }
        pool.Wait([&ticks] { ++ticks; }, std::chrono::milliseconds(1));
        for (const std::atomic<int>& run : runs) {
            EXPECT_EQ(run.load(), 1);
        }
        pool.Async([&runs] { ++runs[0]; });
    }  // the last task ends before the executor goes
    EXPECT_EQ(runs[0].load(), 2);
    EXPECT_GT(ticks, 0);
}

}  // namespace
}  // namespace gridport
