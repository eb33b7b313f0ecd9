#include "base/Executor.h"

#include <deque>
#include <system_error>
#include <utility>
#include <vector>

#include "base/Signals.h"
#include "base/Threads.h"

#if GRIDPORT_HAS_THREADS
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace gridport {

struct Executor::State {
    std::deque<std::function<void()>> tasks;
#if GRIDPORT_HAS_THREADS
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable work;  // a task given, or the end
    std::condition_variable idle;  // a task ended
    unsigned running = 0;
    bool ending = false;

    void Serve() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return ending || !tasks.empty(); });
            if (tasks.empty()) {
                return;
            }
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            ++running;
            lock.unlock();
            task();
            lock.lock();
            --running;
            idle.notify_all();
        }
    }
#endif

    void RunHere() {
        while (!tasks.empty()) {
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            task();
        }
    }
};

Executor::Executor(std::unique_ptr<State> state) : state_(std::move(state)) {}
Executor::Executor(Executor&&) noexcept = default;
Executor& Executor::operator=(Executor&&) noexcept = default;

Executor Executor::InCallingThread() {
    return Executor(std::make_unique<State>());
}

#if GRIDPORT_HAS_THREADS

Executor Executor::OnThreads(unsigned count) {
    auto state = std::make_unique<State>();
    State* shared = state.get();
    for (unsigned i = 0; i < std::max(1U, count); ++i) {
        try {
            state->threads.emplace_back([shared] { shared->Serve(); });
        } catch (const std::system_error&) {
            break;  // the threads there are take the tasks; with none, Wait runs them
        }
    }
    return Executor(std::move(state));
}

unsigned Executor::Threads(unsigned asked) {
    return asked != 0 ? asked : std::max(1U, std::thread::hardware_concurrency());
}

Executor::~Executor() {
    if (state_ == nullptr) {
        return;
    }
    Wait();
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->ending = true;
    }
    state_->work.notify_all();
    for (std::thread& thread : state_->threads) {
        thread.join();
    }
}

void Executor::Async(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->tasks.push_back(std::move(task));
    }
    state_->work.notify_one();
}

void Executor::Wait(const std::function<void()>& tick, std::chrono::milliseconds period) {
    State& state = *state_;
    if (state.threads.empty()) {
        state.RunHere();
        return;
    }
    std::unique_lock<std::mutex> lock(state.mutex);
    while (!state.tasks.empty() || state.running != 0) {
        state.idle.wait_for(lock, period);
        lock.unlock();
        if (tick) {
            tick();
        }
        if (StopRequested()) {
            for (std::thread& thread : state.threads) {
                InterruptBlockedCall(thread);
            }
        }
        lock.lock();
    }
}

#else

Executor Executor::OnThreads(unsigned) {
    return InCallingThread();
}

unsigned Executor::Threads(unsigned) {
    return 1;
}

Executor::~Executor() {
    if (state_ != nullptr) {
        Wait();
    }
}

void Executor::Async(std::function<void()> task) {
    state_->tasks.push_back(std::move(task));
}

void Executor::Wait(const std::function<void()>&, std::chrono::milliseconds) {
    state_->RunHere();
}

#endif

}  // namespace gridport
