#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>
#include <string>
#include <tuple>

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
    const auto file = std::move(*files.Open("f", OpenMode::Read));
    ASSERT_TRUE(file->Seek(10));
    BufferedReader in(*file, "f", GetParam());
    EXPECT_EQ(in.Remaining(), 990U);

    std::uint16_t word = 0;
    ASSERT_TRUE(in.ReadU16(word, "a word"));
    EXPECT_EQ(word, 10 | (11 << 8));
    ASSERT_TRUE(in.Skip(100, "a gap"));
    std::uint8_t byte = 0;
    ASSERT_TRUE(in.ReadU8(byte, "a byte"));
    EXPECT_EQ(byte, 112);
    Bytes block(500);
    ASSERT_TRUE(in.Read(block.data(), block.size(), "a block"));
    EXPECT_EQ(block.front(), 113);
    EXPECT_EQ(block.back(), static_cast<std::uint8_t>(612));
    ASSERT_TRUE(in.Skip(300, "a gap"));
    EXPECT_EQ(in.Remaining(), 87U);
    // A read the file can't fill fails, and the reader stays failed.
    ASSERT_TRUE(in.Skip(86, "a gap"));
    EXPECT_FALSE(in.ReadU16(word, "a word"));
    EXPECT_FALSE(in.ReadU8(byte, "a byte"));
    EXPECT_FALSE(in.Read(block.data(), 1, "a byte"));
}

INSTANTIATE_TEST_SUITE_P(Capacities, BufferedReaderCapacity, ::testing::Values(8, 64, 4096));

TEST(BufferedReader, SkipPastTheEndFails) {
    MemoryFileSystem files;
    files.Put("f", Counting(10));
    const auto file = std::move(*files.Open("f", OpenMode::Read));
    BufferedReader in(*file, "f", 8);
    EXPECT_TRUE(in.Skip(10, "a gap"));
    EXPECT_FALSE(in.Skip(1, "a gap"));
}

TEST(BufferedReader, AStreamOfUnknownSizeIsReadToItsEndAndSaysWhereItEnded) {
    for (const std::size_t capacity : {8, 4096}) {
        test::PipeFile pipe(Counting(100));
        BufferedReader in(pipe, "-", capacity);
        EXPECT_EQ(in.Remaining(), BufferedReader::kUnknown);
        // Nothing can be checked ahead, and a skip reads through.
        EXPECT_TRUE(in.Need(1000, "anything"));
        ASSERT_TRUE(in.Skip(10, "a gap"));
        std::uint8_t byte = 0;
        ASSERT_TRUE(in.ReadU8(byte, "a byte"));
        EXPECT_EQ(byte, 10);
        // It can't go back.
        EXPECT_FALSE(in.MoveTo(3, "a byte"));
        test::PipeFile again(Counting(100));
        BufferedReader stream(again, "-", capacity);
        ASSERT_TRUE(stream.Skip(40, "a gap"));
        Bytes block(70);
        const Expected<void> read = stream.Read(block.data(), block.size(), "the block");
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().Text(), "-: byte 40: the block needs 70 bytes, 60 are left");
    }
}

TEST(BufferedReader, ReadersSharingAFileEachKeepTheirPlace) {
    MemoryFileSystem files;
    files.Put("f", Counting(200000));
    const auto file = std::move(*files.Open("f", OpenMode::Read));
    BufferedReader first(*file, "f", 64);
    BufferedReader second(*file, "f", 64);
    first.ShareFile();
    second.ShareFile();
    ASSERT_TRUE(second.MoveTo(150000, "a byte"));
    for (std::size_t i = 0; i < 1000; ++i) {
        std::uint8_t a = 0;
        std::uint8_t b = 0;
        ASSERT_TRUE(first.ReadU8(a, "a byte"));
        ASSERT_TRUE(second.ReadU8(b, "a byte"));
        ASSERT_EQ(a, static_cast<std::uint8_t>(i));
        ASSERT_EQ(b, static_cast<std::uint8_t>(150000 + i));
    }
    // Back within the buffer takes its bytes again with no read of the file; back past a block read straight into
    // the caller's memory (larger than the buffer) reads the file again.
    const int reads = files.Calls(test::FileOperation::Read);
    const std::uint64_t left = second.Remaining();
    ASSERT_TRUE(second.MoveTo(150990, "a byte"));
    EXPECT_EQ(second.Remaining(), left + 10);
    std::uint8_t again = 0;
    ASSERT_TRUE(second.ReadU8(again, "a byte"));
    EXPECT_EQ(again, static_cast<std::uint8_t>(150990));
    EXPECT_EQ(files.Calls(test::FileOperation::Read), reads);
    Bytes block(100);
    ASSERT_TRUE(first.Read(block.data(), block.size(), "a block"));
    ASSERT_TRUE(first.MoveTo(1095, "a byte"));
    ASSERT_TRUE(first.ReadU8(again, "a byte"));
    EXPECT_EQ(again, static_cast<std::uint8_t>(1095));
    // Back again, and beyond the end.
    ASSERT_TRUE(second.MoveTo(1, "a byte"));
    std::uint8_t b = 0;
    ASSERT_TRUE(second.ReadU8(b, "a byte"));
    EXPECT_EQ(b, 1);
    EXPECT_FALSE(second.MoveTo(200001, "a byte"));
}

// An output that takes only the first `room` bytes written to it.
class ShortFile : public OutputFile {
public:
    explicit ShortFile(std::size_t room) : room_(room) {}
    Expected<std::size_t> Read(void*, std::size_t) override { return std::size_t{0}; }
    Expected<void> Write(const void* data, std::size_t count) override {
        const std::size_t taken = std::min(count, room_ - bytes.size());
        const auto* in = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), in, in + taken);
        if (taken != count) {
            return Error::System("short", "cannot write", ENOSPC);
        }
        return Success();
    }
    Expected<std::uint64_t> Size() override { return std::uint64_t{bytes.size()}; }
    Expected<std::uint64_t> Tell() override { return Size(); }
    Expected<void> Seek(std::uint64_t) override { return Error::System("short", "cannot seek", ESPIPE); }
    Expected<void> Commit() override { return Success(); }
    Bytes bytes;

private:
    std::size_t room_;
};

// The file's own reason and kind pass through: a stop request that gave up a read is Interrupted, not bad input.
TEST(BufferedReader, AFailedReadOrSeekOfTheFileFailsItWithTheFilesReason) {
    for (const auto& [operation, cause, kind, reason] :
         {std::tuple{test::FileOperation::Read, EIO, ErrorKind::System, "Input/output error"},
          std::tuple{test::FileOperation::Read, EINTR, ErrorKind::Interrupted, "Interrupted system call"},
          std::tuple{test::FileOperation::Seek, EIO, ErrorKind::System, "Input/output error"}}) {
        MemoryFileSystem files;
        files.Put("f", Counting(1000));
        const auto file = std::move(*files.Open("f", OpenMode::Read));
        BufferedReader in(*file, "f", 8);
        files.FailAt(operation, 1, cause);
        Bytes block(500);
        // A block larger than the buffer is read, a long skip is a seek.
        EXPECT_FALSE(operation == test::FileOperation::Read ? in.Read(block.data(), 500, "a block") : in.Skip(500, "a gap"));
        const Expected<void> after = in.Read(block.data(), 1, "a byte");
        ASSERT_FALSE(after);
        EXPECT_EQ(after.error().Text(),
                  "f: byte " + std::to_string(in.Position()) + ": cannot read a byte: " + std::string(reason));
        EXPECT_EQ(after.error().Kind(), kind);
    }
}

TEST(BufferedWriter, SameBytesWhateverTheBufferSize) {
    Bytes expected;
    for (const std::size_t capacity : {8, 9, 100, 65536}) {
        ShortFile file(1 << 20);
        BufferedWriter out(file, capacity);
        out.PutBytes("\xFF", 1);
        out.PutU16(0xABCDEF);
        out.PutZeros(29);
        out.PutBytes(nullptr, 0);  // an empty name or pixel array
        out.PutBytes(Counting(300).data(), 300);
        // Written in place, more than the smallest buffers hold; only the
        // bytes committed count.
        std::uint8_t* const place = out.Reserve(10);
        std::fill_n(place, 10, std::uint8_t{0x55});
        const Bytes committed = Counting(6);
        std::copy(committed.begin(), committed.end(), place);
        out.Commit(6);
        out.Flush();
        ASSERT_EQ(file.bytes.size(), 1U + 2 + 29 + 300 + 6);
        EXPECT_EQ(Bytes(file.bytes.end() - 6, file.bytes.end()), committed);
        EXPECT_EQ(file.bytes[0], 0xFF);
        EXPECT_EQ(file.bytes[1], 0xEF);
        EXPECT_EQ(file.bytes[2], 0xCD);
        EXPECT_EQ(file.bytes[32], 0x00);
        EXPECT_EQ(file.bytes[33], 0x01);
        if (expected.empty()) {
            expected = file.bytes;
        }
        EXPECT_EQ(file.bytes, expected) << "capacity " << capacity;
    }
}

}  // namespace
}  // namespace gridport
