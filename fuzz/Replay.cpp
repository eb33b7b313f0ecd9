// Feeds inputs to a fuzz target's LLVMFuzzerTestOneInput without libFuzzer,
// so that every build replays the seed corpora (and, by hand, any finding).
// Each argument is a file, or a folder whose files are all fed in name
// order; a folder that doesn't exist holds nothing.
//
//   NAME_replay PATH...

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "support/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t fed = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> inputs;
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
                if (entry.is_regular_file()) {
                    inputs.push_back(entry.path());
                }
            }
            std::sort(inputs.begin(), inputs.end());
        } else if (fs::exists(argv[i])) {
            inputs.emplace_back(argv[i]);
        }
        for (const fs::path& input : inputs) {
            const gridport::test::Bytes bytes = gridport::test::ReadDiskFile(input.string());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++fed;
        }
    }
    std::printf("%zu inputs replayed\n", fed);
    // No input at all means the seed corpus was never made.
    return fed > 0 ? 0 : 1;
}
