#pragma once

#include <chrono>
#include <functional>
#include <memory>

// Runs tasks on threads of its own, or (always under WASI) in the thread that waits for them.
namespace gridport {

class Executor {
public:
    // count threads (at least one) take tasks in order; without threads, tasks run in the thread calling Wait.
    static Executor OnThreads(unsigned count);
    static Executor InCallingThread();  // Every task runs in the thread that calls Wait, in the order given.
    // The threads for a count asked for: itself, or the processors' count for 0; 1 where there are no threads.
    static unsigned Threads(unsigned asked);

    Executor(Executor&&) noexcept;
    Executor& operator=(Executor&&) noexcept;
    ~Executor();  // Waits for the tasks given, then ends the threads.

    void Async(std::function<void()> task);
    // Returns once every task has ended. With threads, the waiter calls tick (if given) every period, and after a stop
    // request interrupts the threads' blocked calls each period until they end, in case one blocked after the stop.
    void Wait(const std::function<void()>& tick = {},
              std::chrono::milliseconds period = std::chrono::milliseconds(100));

private:
    struct State;
    explicit Executor(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace gridport
