#include <gtest/gtest.h>

#include <numeric>

#include "filesystem/BufferedReader.h"
#include "filesystem/BufferedWriter.h"
#include "support/MemoryFileSystem.h"

namespace gridport {
namespace {

using test::Bytes;
using test::MemoryFileSystem;

Bytes Counting(std::size_t count) {
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

class BufferedReaderCapacity : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BufferedReaderCapacity, ReadsSkipsAndCountsExactly) {
    MemoryFileSystem files;
    files.Put("f", Counting(1000));
    const auto file = files.Open("f", OpenMode::Read);
    ASSERT_EQ(file->Seek(10), 0);
    BufferedReader in(*file, GetParam());
    EXPECT_EQ(in.Remaining(), 990U);

    std::uint16_t word = 0;
    ASSERT_TRUE(in.ReadU16(word));
    EXPECT_EQ(word, 10 | (11 << 8));
    ASSERT_TRUE(in.Skip(100));
    std::uint8_t byte = 0;
    ASSERT_TRUE(in.ReadU8(byte));
    EXPECT_EQ(byte, 112);
    Bytes block(500);
    ASSERT_TRUE(in.Read(block.data(), block.size()));
    EXPECT_EQ(block.front(), 113);
    EXPECT_EQ(block.back(), static_cast<std::uint8_t>(612));
    ASSERT_TRUE(in.Skip(300));
    EXPECT_EQ(in.Remaining(), 87U);
    // A read the file can't fill fails, and the reader stays failed.
    EXPECT_FALSE(in.Read(block.data(), 88));
    EXPECT_FALSE(in.Ok());
    EXPECT_FALSE(in.ReadU8(byte));
}

INSTANTIATE_TEST_SUITE_P(Capacities, BufferedReaderCapacity, ::testing::Values(8, 64, 4096));

TEST(BufferedReader, SkipPastTheEndFails) {
    MemoryFileSystem files;
    files.Put("f", Counting(10));
    const auto file = files.Open("f", OpenMode::Read);
    BufferedReader in(*file, 8);
    EXPECT_TRUE(in.Skip(10));
    EXPECT_FALSE(in.Skip(1));
}

// A file that takes only the first `room` bytes written to it.
class ShortFile : public File {
public:
    explicit ShortFile(std::size_t room) : room_(room) {}
    std::uint32_t Read(void*, std::uint32_t) override { return 0; }
    std::uint32_t Write(const void* data, std::uint32_t count) override {
        const auto taken = static_cast<std::uint32_t>(std::min<std::size_t>(count, room_ - bytes.size()));
        const auto* in = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), in, in + taken);
        return taken;
    }
    std::int64_t Size() override { return static_cast<std::int64_t>(bytes.size()); }
    std::int64_t Tell() override { return Size(); }
    int Seek(std::int64_t) override { return -1; }
    bool Close() override { return true; }
    Bytes bytes;

private:
    std::size_t room_;
};

TEST(BufferedReader, AFailedReadOrSeekOfTheFileFailsIt) {
    for (const test::FileOperation operation : {test::FileOperation::Read, test::FileOperation::Seek}) {
        MemoryFileSystem files;
        files.Put("f", Counting(1000));
        const auto file = files.Open("f", OpenMode::Read);
        BufferedReader in(*file, 8);
        files.FailAt(operation, 1);
        Bytes block(500);
        // A block larger than the buffer is read, a long skip is a seek.
        EXPECT_FALSE(operation == test::FileOperation::Read ? in.Read(block.data(), 500) : in.Skip(500));
        EXPECT_FALSE(in.Ok());
    }
}

TEST(BufferedWriter, SameBytesWhateverTheBufferSize) {
    std::vector<std::uint32_t> cells(1001);
    std::iota(cells.begin(), cells.end(), 0x12340000U);
    Bytes expected;
    for (const std::size_t capacity : {8, 9, 100, 65536}) {
        ShortFile file(1 << 20);
        BufferedWriter out(file, capacity);
        out.PutU8(0x1FF);
        out.PutU16(0xABCDEF);
        out.PutU32(0x01020304);
        out.PutF32(1.0F);
        out.PutZeros(21);
        out.PutBytes(nullptr, 0);  // an empty name or pixel array
        out.PutLow16(cells.data(), cells.size());
        out.PutBytes(Counting(300).data(), 300);
        // Written in place, more than the smallest buffers hold; only the
        // bytes committed count.
        std::uint8_t* const place = out.Reserve(10);
        std::fill_n(place, 10, std::uint8_t{0x55});
        const Bytes committed = Counting(6);
        std::copy(committed.begin(), committed.end(), place);
        out.Commit(6);
        ASSERT_TRUE(out.Flush());
        ASSERT_EQ(file.bytes.size(), 1U + 2 + 4 + 4 + 21 + 2002 + 300 + 6);
        EXPECT_EQ(Bytes(file.bytes.end() - 6, file.bytes.end()), committed);
        EXPECT_EQ(file.bytes[0], 0xFF);
        EXPECT_EQ(file.bytes[1], 0xEF);
        EXPECT_EQ(file.bytes[2], 0xCD);
        EXPECT_EQ(file.bytes[10], 0x3F);  // 1.0F is 3F800000
        EXPECT_EQ(file.bytes[32], 0x00);  // low 16 bits of the first cell
        EXPECT_EQ(file.bytes[34], 0x01);
        if (expected.empty()) {
            expected = file.bytes;
        }
        EXPECT_EQ(file.bytes, expected) << "capacity " << capacity;
    }
}

TEST(BufferedWriter, FlushReportsAShortWrite) {
    ShortFile file(10);
    BufferedWriter out(file, 8);
    out.PutZeros(20);
    EXPECT_FALSE(out.Flush());
    EXPECT_EQ(file.bytes.size(), 10U);
}

}  // namespace
}  // namespace gridport
