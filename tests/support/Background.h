#pragma once

// POSIX only: a command-line test's run in the background, to be signalled while it works.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace gridport::test {

// A shell line run in the background; killed if it is still running at the end.
class Background {
public:
    explicit Background(const std::string& line) : pid_(fork()) {
        if (pid_ == 0) {
            // A core file of SIGQUIT would land in the working folder.
            const rlimit none{0, 0};
            setrlimit(RLIMIT_CORE, &none);
            execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    void Signal(int number) const { kill(pid_, number); }
    // The raw wait status once it has ended, or -1 when it hasn't within limit.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (int raw = 0; std::chrono::steady_clock::now() < end;) {
            if (waitpid(pid_, &raw, WNOHANG) == pid_) {
                pid_ = -1;
                return raw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return -1;
    }

private:
    pid_t pid_;
};

}  // namespace gridport::test
