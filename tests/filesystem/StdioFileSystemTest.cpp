#include <gtest/gtest.h>

#include <filesystem>

#include "filesystem/DefaultFileSystem.h"
#include "filesystem/ExactName.h"
#include "support/Files.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gridport {
namespace {

using testing::Bytes;
using testing::ReadDiskFile;
using testing::ScopedWorkingDirectory;
using testing::TempDir;
using testing::WriteDiskFile;

struct NameCase {
    const char* path;
    bool opens;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.path;
}

class ExactNameCheck : public ::testing::TestWithParam<NameCase> {};

// The tree every case runs in (the working directory is its root):
//   map.map   Dir/map.map   Dir/Sub/   "Dir\Sub"/map.map   "\map.map"
TEST_P(ExactNameCheck, OpensOnlyExactlySpeltNames) {
    TempDir root;
    std::filesystem::create_directories(root.Path() / "Dir" / "Sub");
    std::filesystem::create_directories(root.Path() / "Dir\\Sub");
    WriteDiskFile(root / "map.map", {1});
    WriteDiskFile(root / "Dir/map.map", {2});
    WriteDiskFile(root / "Dir\\Sub/map.map", {3});
    WriteDiskFile(root / "\\map.map", {4});
    WriteDiskFile(root / "Dir\\map.map", {5});
    ScopedWorkingDirectory inside(root.Path());
    const auto before = std::filesystem::current_path();

    const auto file = defaultFileSystem.Open(GetParam().path, OpenMode::Read);

    EXPECT_EQ(file != nullptr, GetParam().opens) << GetParam().path;
    EXPECT_EQ(std::filesystem::current_path(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExactNameCheck,
    ::testing::Values(NameCase{"map.map", true}, NameCase{"Map.map", false}, NameCase{"Dir/map.map", true},
                      NameCase{"Dir/Map.MAP", false}, NameCase{"Dir/", false}, NameCase{"Missing/map.map", false},
                      // The cut is at the last backslash, never at a later slash.
                      NameCase{"Dir\\Sub/map.map", false},
                      // "Dir" lists map.map, and the file named "Dir\map.map" opens.
                      NameCase{"Dir\\map.map", true}, NameCase{"Dir\\MAP.map", false},
                      // An empty directory part before a backslash lists the current directory.
                      NameCase{"\\map.map", true}, NameCase{"\\Map.map", false}));

TEST(ExactName, ListsTheRootForALeadingSlashAndComparesDotEntries) {
    // lib is an entry of the root of any Linux host, and of the library root
    // that qemu's user mode lists for "/" in the cross builds.
    EXPECT_TRUE(ExactNameExists("/lib"));
    EXPECT_FALSE(ExactNameExists("/LIB"));
    TempDir root;
    std::filesystem::create_directories(root.Path() / "Dir");
    EXPECT_TRUE(ExactNameExists((root / "Dir/..").c_str()));
    EXPECT_TRUE(ExactNameExists((root / "Dir/.").c_str()));
    EXPECT_FALSE(ExactNameExists((root / "Dir/...").c_str()));
}

TEST(ExactName, WorksForPathsLongerThanAnyFixedBuffer) {
    TempDir root;
    std::filesystem::path deep = root.Path();
    for (int i = 0; i < 12; ++i) {
        deep /= std::string(40, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    WriteDiskFile((deep / "long.map").string(), {7});
    EXPECT_NE(defaultFileSystem.Open((deep / "long.map").string(), OpenMode::Read), nullptr);
    EXPECT_EQ(defaultFileSystem.Open((deep / "LONG.map").string(), OpenMode::Read), nullptr);
}

TEST(StdioFileSystem, ModeBits) {
    TempDir root;
    WriteDiskFile(root / "in.bin", {1, 2, 3});
    EXPECT_EQ(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(0)), nullptr);
    EXPECT_EQ(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(4)), nullptr);
    // 5 reads without the check; 3 writes (and so empties the file).
    EXPECT_NE(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(5)), nullptr);
    EXPECT_NE(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(3)), nullptr);
    EXPECT_TRUE(ReadDiskFile(root / "in.bin").empty());
    EXPECT_EQ(defaultFileSystem.Open(root / "missing.bin", OpenMode::Read), nullptr);
    EXPECT_EQ(defaultFileSystem.Open(root / "no/such/dir.bin", OpenMode::Write), nullptr);
}

TEST(StdioFile, WriteCreatesAndEmptiesThenSizeSeekTell) {
    TempDir root;
    WriteDiskFile(root / "out.bin", Bytes(100, 9));
    {
        const auto file = defaultFileSystem.Open(root / "out.bin", OpenMode::Write);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->Size(), 0);
        const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        EXPECT_EQ(file->Write(data, 10), 10U);
        EXPECT_TRUE(file->Close());
    }
    const auto file = defaultFileSystem.Open(root / "out.bin", OpenMode::Read);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Seek(4), 0);
    EXPECT_EQ(file->Size(), 10);
    EXPECT_EQ(file->Tell(), 4);
    std::uint8_t byte = 0;
    EXPECT_EQ(file->Read(&byte, 1), 1U);
    EXPECT_EQ(byte, 4);
    EXPECT_EQ(file->Seek(0), 0);
    EXPECT_EQ(file->Read(&byte, 1), 1U);
    EXPECT_EQ(byte, 0);
    EXPECT_NE(file->Seek(-1), 0);
    std::uint8_t rest[20];
    EXPECT_EQ(file->Read(rest, 20), 9U);
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(file->Read(rest, 1), 0U);
    EXPECT_EQ(file->Write(rest, 1), 0U);
    EXPECT_EQ(file->Size(), -1);
    EXPECT_EQ(file->Tell(), -1);
    EXPECT_NE(file->Seek(0), 0);
    EXPECT_FALSE(file->Close());
}

#ifndef _WIN32
TEST(StdioFile, APipeHasNoSize) {
    TempDir root;
    ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
    // A writer first, so that opening the reading end doesn't wait.
    const int writer = open((root / "pipe").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    const auto file = defaultFileSystem.Open(root / "pipe", OpenMode::Read);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), -1);
    close(writer);
}
#endif

TEST(StdioFile, CloseReportsAWriteThatNeverReachedTheDisk) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "this system has no /dev/full";
    }
    const auto file = defaultFileSystem.Open("/dev/full", OpenMode::Write);
    ASSERT_NE(file, nullptr);
    const std::uint8_t byte = 1;
    file->Write(&byte, 1);  // held back in the stream's buffer
    EXPECT_FALSE(file->Close());
}

}  // namespace
}  // namespace gridport
