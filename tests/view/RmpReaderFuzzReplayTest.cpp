#include <gtest/gtest.h>

#include "support/SampleRmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace gridport {
namespace {

// Runs the fuzz target over the seeds, their truncations and every single
// flipped byte of their first part, as the fuzzer would start.
TEST(RmpReaderFuzzReplay, SeedsTruncationsAndFlippedBytes) {
    for (const auto& sample : test::SampleRmpFiles()) {
        SCOPED_TRACE(sample.name);
        test::Bytes bytes = sample.bytes;
        for (std::size_t size = 0; size <= bytes.size(); size += 1 + size / 8) {
            ASSERT_EQ(LLVMFuzzerTestOneInput(bytes.data(), size), 0);
        }
        for (std::size_t at = 0; at < std::min<std::size_t>(bytes.size(), 640); ++at) {
            bytes[at] ^= 0xA5;
            ASSERT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
            bytes[at] ^= 0xA5;
        }
    }
}

}  // namespace
}  // namespace gridport
