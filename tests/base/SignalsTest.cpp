// Each case runs in a child process, whose signals it changes and which a
// signal may end.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "base/Executor.h"
#include "base/Signals.h"
#include "support/TempDir.h"

namespace gridport {
namespace {

namespace fs = std::filesystem;

// Runs body in a child process, which ends with status 0 when body returns;
// gives its raw status.
int InChild(const std::function<void()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    return raw;
}

// count temporary files in folder, each entered in the registry.
std::vector<std::unique_ptr<TemporaryFileEntry>> MakeTemporaries(const test::TempDir& folder, int count) {
    std::vector<std::unique_ptr<TemporaryFileEntry>> entries;
    for (int i = 0; i < count; ++i) {
        std::string path = folder / "t";
        path += std::to_string(i);
        entries.push_back(std::make_unique<TemporaryFileEntry>());
        if (!entries.back()->Begin(path) || close(open(path.c_str(), O_CREAT | O_WRONLY, 0600)) != 0) {
            _exit(10);
        }
        entries.back()->Made();
    }
    return entries;
}

// The batch's stop requests and the commands' cleanup, installed in either
// order, keep each other: the first SIGINT only records a stop, a second
// signal (SIGINT again, or SIGHUP) removes all 200 temporary files, more
// than a chunk of the registry holds, and ends the process by itself.
TEST(Signals, StopRequestsAndCleanupKeepEachOtherInEitherOrder) {
#if GRIDPORT_EMULATED
    GTEST_SKIP() << "signals reach the program through the emulator";
#endif
    for (const bool stopsFirst : {true, false}) {
        for (const int second : {SIGINT, SIGHUP}) {
            test::TempDir root;
            const int raw = InChild([&] {
                if (stopsFirst) {
                    CatchStopRequests();
                }
                InstallSignalCleanup(BrokenPipe::Fails);
                if (!stopsFirst) {
                    CatchStopRequests();
                }
                const auto entries = MakeTemporaries(root, 200);
                kill(getpid(), SIGINT);
                if (StopSignal() == SIGINT && fs::exists(root / "t199")) {
                    close(open((root / "stopped").c_str(), O_CREAT | O_WRONLY, 0600));
                }
                kill(getpid(), second);
            });
            EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == second) << stopsFirst << " " << second << " " << raw;
            std::vector<std::string> left;
            for (const auto& entry : fs::directory_iterator(root.Path())) {
                left.push_back(entry.path().filename().string());
            }
            EXPECT_EQ(left, std::vector<std::string>{"stopped"}) << stopsFirst << " " << second;
        }
    }
}

// A signal that the process started with ignored stays ignored, whatever
// is installed: nothing is removed, no stop is recorded.
TEST(Signals, ASignalIgnoredAtStartStaysIgnored) {
#if GRIDPORT_EMULATED
    GTEST_SKIP() << "signals reach the program through the emulator";
#endif
    test::TempDir root;
    const int raw = InChild([&] {
        for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            std::signal(number, SIG_IGN);
        }
        CatchStopRequests();
        InstallSignalCleanup(BrokenPipe::Ends);
        CatchStopRequests();
        const auto entries = MakeTemporaries(root, 1);
        for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            kill(getpid(), number);
        }
        _exit(StopSignal() == 0 && fs::exists(root / "t0") ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
}

// A stop request interrupts a worker blocked opening a FIFO that nobody
// writes, whichever thread the signal reached; the open fails with EINTR.
TEST(Signals, AStopRequestInterruptsAThreadBlockedInAnOpen) {
#if GRIDPORT_EMULATED
    GTEST_SKIP() << "signals to a process with threads don't arrive under the emulator";
#endif
    test::TempDir root;
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    const int raw = InChild([&] {
        alarm(5);  // instead of waiting for ever
        CatchStopRequests();
        int failure = 0;
        Executor executor = Executor::OnThreads(2);
        executor.Async([&] { failure = open((root / "fifo").c_str(), O_RDONLY) < 0 ? errno : 0; });
        executor.Async([] {
            usleep(200000);
            kill(getpid(), SIGTERM);
        });
        executor.Wait();
        _exit(StopSignal() == SIGTERM && failure == EINTR ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
}

}  // namespace
}  // namespace gridport
#endif
