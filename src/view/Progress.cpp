#include "view/Progress.h"

namespace gridport {

Progress::Progress(std::FILE* stream, std::string label, std::chrono::milliseconds delay)
    : stream_(stream), label_(std::move(label)), start_(std::chrono::steady_clock::now()), delay_(delay) {}

void Progress::Update(std::uint64_t done, std::uint64_t total) {
    if (stream_ == nullptr || total == 0) {
        return;
    }
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == shown_ || std::chrono::steady_clock::now() - start_ < delay_) {
        return;
    }
    shown_ = percent;
    std::fprintf(stream_, "\r%s %d%%", label_.c_str(), percent);
    std::fflush(stream_);
}

void Progress::Finish(bool completed) {
    if (stream_ != nullptr && shown_ >= 0) {
        if (completed) {
            std::fprintf(stream_, "\r%s 100%%", label_.c_str());
        }
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }
    shown_ = -1;
}

}  // namespace gridport
