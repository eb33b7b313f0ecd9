#include "tiled/HeldOutputs.h"

namespace gridport::tiled {

struct HeldOutputs::Held {
    std::unique_ptr<OutputFile> file;
    std::optional<Error> failure;  // the first failed write
};

// What a caller of OpenOutput gets: the held output, whose Commit only says whether every write went through.
class HeldOutputs::Proxy final : public OutputFile {
public:
    explicit Proxy(std::shared_ptr<Held> held) : held_(std::move(held)) {}

    Expected<std::size_t> Read(void* buffer, std::size_t count) override { return held_->file->Read(buffer, count); }
    Expected<void> Write(const void* data, std::size_t count) override {
        Expected<void> written = held_->file->Write(data, count);
        if (!written && !held_->failure) {
            held_->failure = written.error();
        }
        return written;
    }
    Expected<std::uint64_t> Size() override { return held_->file->Size(); }
    Expected<std::uint64_t> Tell() override { return held_->file->Tell(); }
    Expected<void> Seek(std::uint64_t position) override { return held_->file->Seek(position); }
    Expected<void> Commit() override { return held_->failure ? Expected<void>(*held_->failure) : Success(); }

private:
    std::shared_ptr<Held> held_;
};

Expected<std::unique_ptr<OutputFile>> HeldOutputs::OpenOutput(const std::string& path) {
    Expected<std::unique_ptr<OutputFile>> file = files_.OpenOutput(path);
    if (!file) {
        return file;
    }
    held_.push_back(std::make_shared<Held>(Held{std::move(*file), std::nullopt}));
    return std::unique_ptr<OutputFile>(std::make_unique<Proxy>(held_.back()));
}

Expected<void> HeldOutputs::Written() const {
    for (const std::shared_ptr<Held>& held : held_) {
        if (held->failure) {
            return *held->failure;
        }
    }
    return Success();
}

Expected<void> HeldOutputs::PutInPlace() {
    for (const std::shared_ptr<Held>& held : held_) {
        if (Expected<void> done = held->file->Commit(); !done) {
            return done;
        }
    }
    return Success();
}

}  // namespace gridport::tiled
