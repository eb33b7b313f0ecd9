#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace gridport {

// A percentage on one terminal line, rewritten in place, for work over a second; silent when disabled or sooner done.
class Progress {
public:
    Progress() = default;
    // Nothing shows before `delay` has passed.
    Progress(std::FILE* stream, std::string label, std::chrono::milliseconds delay = std::chrono::seconds(1));

    void Update(std::uint64_t done, std::uint64_t total);
    void Finish(bool completed);  // Ends the line if anything was shown, at 100% when the work completed.

private:
    std::FILE* stream_ = nullptr;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::milliseconds delay_{0};
    int shown_ = -1;
};

}  // namespace gridport
