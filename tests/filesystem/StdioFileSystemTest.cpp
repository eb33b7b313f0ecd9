#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "filesystem/DefaultFileSystem.h"
#include "filesystem/ExactName.h"
#include "filesystem/StdioFile.h"
#include "base/Signals.h"
#include "support/Files.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>
#endif

namespace gridport {
namespace {

using test::Bytes;
using test::ReadDiskFile;
using test::ScopedWorkingDirectory;
using test::TempDir;
using test::WriteDiskFile;

struct NameCase {
    const char* path;
    // Empty when the file opens.
    const char* reason;
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

    EXPECT_EQ(static_cast<bool>(file), *GetParam().reason == '\0') << GetParam().path;
    EXPECT_EQ(file ? "" : file.error().Text(), GetParam().reason);
    EXPECT_EQ(std::filesystem::current_path(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExactNameCheck,
    ::testing::Values(
        NameCase{"map.map", ""},
        NameCase{"Map.map", "Map.map: the folder holds this name only in another letter case (\"map.map\")"},
        NameCase{"Dir/map.map", ""},
        NameCase{"Dir/Map.MAP", "Dir/Map.MAP: the folder holds this name only in another letter case (\"map.map\")"},
        NameCase{"Dir/", "Dir/: cannot open: No such file or directory"},
        // The exact-name check passes and fopen opens it, but it is no file.
        NameCase{"Dir", "Dir: cannot open: Is a directory"},
        NameCase{"Dir/none.map", "Dir/none.map: cannot open: No such file or directory"},
        // The folder can't be listed, so the current one is, and it holds map.map.
        NameCase{"Missing/map.map", "Missing/map.map: cannot open: No such file or directory"},
        NameCase{"map.map/x", "map.map/x: cannot list its folder: Not a directory"},
        // The cut is at the last backslash, never at a later slash.
        NameCase{"Dir\\Sub/map.map", "Dir\\Sub/map.map: cannot open: No such file or directory"},
        // "Dir" lists map.map, and the file named "Dir\map.map" opens.
        NameCase{"Dir\\map.map", ""},
        NameCase{"Dir\\MAP.map", "Dir\\MAP.map: the folder holds this name only in another letter case (\"map.map\")"},
        // An empty directory part before a backslash lists the current directory.
        NameCase{"\\map.map", ""},
        NameCase{"\\Map.map", "\\Map.map: the folder holds this name only in another letter case (\"map.map\")"}));

TEST(ExactName, ListsTheRootForALeadingSlashAndComparesDotEntries) {
    // lib is an entry of the root of any Linux host, and of the library root
    // that qemu's user mode lists for "/" in the cross builds.
    EXPECT_TRUE(CheckExactName("/lib"));
    const Expected<void> upper = CheckExactName("/LIB");
    ASSERT_FALSE(upper);
    EXPECT_EQ(upper.error().Text(), "/LIB: the folder holds this name only in another letter case (\"lib\")");
    TempDir root;
    std::filesystem::create_directories(root.Path() / "Dir");
    EXPECT_TRUE(CheckExactName((root / "Dir/..").c_str()));
    EXPECT_TRUE(CheckExactName((root / "Dir/.").c_str()));
    const Expected<void> dots = CheckExactName((root / "Dir/...").c_str());
    ASSERT_FALSE(dots);
    EXPECT_EQ(dots.error().Text(), root / "Dir/..." + ": cannot open: No such file or directory");
}

TEST(ExactName, WorksForPathsLongerThanAnyFixedBuffer) {
    TempDir root;
    std::filesystem::path deep = root.Path();
    for (int i = 0; i < 12; ++i) {
        deep /= std::string(40, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    WriteDiskFile((deep / "long.map").string(), {7});
    EXPECT_TRUE(defaultFileSystem.Open((deep / "long.map").string(), OpenMode::Read));
    EXPECT_FALSE(defaultFileSystem.Open((deep / "LONG.map").string(), OpenMode::Read));
}

TEST(StdioFileSystem, ModeBits) {
    TempDir root;
    WriteDiskFile(root / "in.bin", {1, 2, 3});
    const auto none = defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(0));
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().Text(), root / "in.bin" + ": no open mode given");
    EXPECT_FALSE(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(4)));
    // 5 reads without the check; 3 writes (and so empties the file).
    EXPECT_TRUE(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(5)));
    EXPECT_TRUE(defaultFileSystem.Open(root / "in.bin", static_cast<OpenMode>(3)));
    EXPECT_TRUE(ReadDiskFile(root / "in.bin").empty());
    EXPECT_FALSE(defaultFileSystem.Open(root / "missing.bin", OpenMode::Read));
    const auto missing = defaultFileSystem.Open(root / "no/such/dir.bin", OpenMode::Write);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().Text(), root / "no/such/dir.bin" + ": cannot open: No such file or directory");
}

TEST(StdioFile, WriteCreatesAndEmptiesThenSizeSeekTell) {
    TempDir root;
    WriteDiskFile(root / "out.bin", Bytes(100, 9));
    {
        auto opened = defaultFileSystem.Open(root / "out.bin", OpenMode::Write);
        ASSERT_TRUE(opened);
        auto* file = dynamic_cast<StdioFile*>(opened->get());
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(*file->Size(), 0U);
        const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        EXPECT_TRUE(file->Write(data, 10));
        EXPECT_TRUE(file->Close());
    }
    auto opened = defaultFileSystem.Open(root / "out.bin", OpenMode::Read);
    ASSERT_TRUE(opened);
    auto* file = dynamic_cast<StdioFile*>(opened->get());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Seek(4));
    EXPECT_EQ(*file->Size(), 10U);
    EXPECT_EQ(*file->Tell(), 4U);
    std::uint8_t byte = 0;
    EXPECT_EQ(*file->Read(&byte, 1), 1U);
    EXPECT_EQ(byte, 4);
    EXPECT_TRUE(file->Seek(0));
    EXPECT_EQ(*file->Read(&byte, 1), 1U);
    EXPECT_EQ(byte, 0);
    // Past what a signed position holds.
    EXPECT_EQ(file->Seek(std::uint64_t{1} << 63).error().Text(), root / "out.bin" + ": cannot seek: Invalid argument");
    std::uint8_t rest[20];
    EXPECT_EQ(*file->Read(rest, 20), 9U);
    EXPECT_EQ(*file->Read(rest, 20), 0U);
    EXPECT_TRUE(file->Close());
    // Every operation of a closed file fails, naming it.
    const std::string closed = root / "out.bin" + ": ";
    EXPECT_EQ(file->Read(rest, 1).error().Text(), closed + "cannot read: Bad file descriptor");
    EXPECT_EQ(file->Write(rest, 1).error().Text(), closed + "cannot write: Bad file descriptor");
    EXPECT_EQ(file->Size().error().Kind(), ErrorKind::System);
    EXPECT_EQ(file->Tell().error().Text(), closed + "cannot tell the position: Bad file descriptor");
    EXPECT_EQ(file->Seek(0).error().Text(), closed + "cannot seek: Bad file descriptor");
    EXPECT_FALSE(file->Close());
}

// While a replacing output is open, its bytes go to a hidden file beside the
// target; Commit renames it over the target, destruction removes it.
TEST(StdioFileSystem, OutputsReplaceTheTargetOnlyOnCommit) {
    TempDir root;
    WriteDiskFile(root / "out.bin", {7});
    const std::uint8_t data[3] = {1, 2, 3};
    const auto contents = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    };
    for (const bool commit : {false, true}) {
        auto opened = defaultFileSystem.OpenOutput(root / "out.bin");
        ASSERT_TRUE(opened);
        std::unique_ptr<OutputFile>& file = *opened;
        EXPECT_TRUE(file->Write(data, 3));
        const std::vector<std::string> names = contents();
        ASSERT_EQ(names.size(), 2U);
        const std::string temporary = names[0] == "out.bin" ? names[1] : names[0];
        EXPECT_EQ(temporary.rfind(".out.bin.gridport-", 0), 0U) << temporary;
        EXPECT_EQ(temporary.size(), std::string(".out.bin.gridport-XXXXXX").size());
        EXPECT_EQ(ReadDiskFile(root / "out.bin"), Bytes{7});
        if (commit) {
            EXPECT_TRUE(file->Commit());
        }
        file.reset();
        EXPECT_EQ(ReadDiskFile(root / "out.bin"), commit ? (Bytes{1, 2, 3}) : Bytes{7});
        EXPECT_EQ(contents(), std::vector<std::string>{"out.bin"});
    }
    const auto missing = defaultFileSystem.OpenOutput(root / "no/such/out.bin");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().Text(),
              root / "no/such/out.bin" + ": cannot create a temporary file beside it: No such file or directory");
#ifndef _WIN32
    // A rename that fails removes the temporary file and says why.
    auto opened = defaultFileSystem.OpenOutput(root / "out.bin");
    ASSERT_TRUE(opened);
    std::unique_ptr<OutputFile>& file = *opened;
    EXPECT_TRUE(file->Write(data, 3));
    EXPECT_EQ(*file->Size(), 3U);
    EXPECT_TRUE(file->Seek(1));
    EXPECT_EQ(*file->Tell(), 1U);
    std::uint8_t byte = 0;
    EXPECT_EQ(file->Read(&byte, 1).error().Kind(), ErrorKind::System);  // written only
    std::filesystem::remove(root / "out.bin");
    std::filesystem::create_directories(root.Path() / "out.bin" / "sub");
    const Expected<void> committed = file->Commit();
    ASSERT_FALSE(committed);
    EXPECT_EQ(committed.error().Text(), root / "out.bin" + ": cannot replace it with the new file: Is a directory");
    EXPECT_EQ(contents(), std::vector<std::string>{"out.bin"});
    std::filesystem::remove_all(root.Path() / "out.bin");
    // Paths that are no regular file are opened in place, and fail there.
    WriteDiskFile(root / "out.bin", {7});
    std::filesystem::create_directory(root.Path() / "dir");
    for (const auto& [path, reason] : {std::pair{root / "dir", "cannot open: Is a directory"},
                                       std::pair{root / "out.bin/x", "cannot open: Not a directory"}}) {
        const auto failed = defaultFileSystem.OpenOutput(path);
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error().Text(), path + ": " + reason);
    }
    // A dangling link gets its file, and stays a link.
    std::filesystem::create_symlink("made.bin", root.Path() / "dangling");
    auto made = defaultFileSystem.OpenOutput(root / "dangling");
    ASSERT_TRUE(made);
    EXPECT_TRUE((*made)->Write(data, 3));
    EXPECT_TRUE((*made)->Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(root.Path() / "dangling"));
    EXPECT_EQ(ReadDiskFile(root / "made.bin"), (Bytes{1, 2, 3}));
#endif
    EXPECT_TRUE(defaultFileSystem.SameFile(root / "out.bin", (root.Path() / "." / "out.bin").string()));
    EXPECT_FALSE(defaultFileSystem.SameFile(root / "out.bin", root / "missing.bin"));
}

// A replacing output is started on its way to the disk in steps of 4 MiB
// as it is written. One larger than a step, written in odd pieces over an
// older file, arrives whole.
TEST(StdioFileSystem, LargeOutputsArriveWhole) {
    TempDir root;
    WriteDiskFile(root / "out.bin", Bytes(100, 9));
    Bytes data((std::size_t{5} << 20) + 5);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
    }
    auto opened = defaultFileSystem.OpenOutput(root / "out.bin");
    ASSERT_TRUE(opened);
    std::unique_ptr<OutputFile>& file = *opened;
    constexpr std::size_t kPiece = 65537;
    for (std::size_t at = 0; at < data.size(); at += kPiece) {
        ASSERT_TRUE(file->Write(data.data() + at, std::min(kPiece, data.size() - at)));
    }
    EXPECT_TRUE(file->Commit());
    EXPECT_EQ(ReadDiskFile(root / "out.bin"), data);
}

// A temporary file's name fits the folder's limit of 255 bytes: the
// target's name in it is cut short, never inside a UTF-8 character.
TEST(StdioFileSystem, TemporaryNamesFitTheNameLimit) {
    TempDir root;
    std::string accented = "x";
    for (int i = 0; i < 126; ++i) {
        accented += "\xC3\xA9";
    }
    const std::uint8_t byte = 1;
    // The name, and the length of its temporary file's name.
    for (const auto& [name, length] : {std::pair{std::string(238, 'n'), 255U}, std::pair{std::string(255, 'n'), 255U},
                                       std::pair{accented, 254U}, std::pair{std::string(20, 'n'), 37U}}) {
        auto output = defaultFileSystem.OpenOutput(root / name);
        ASSERT_TRUE(output) << output.error().Text();
        std::string temporary;
        for (const auto& entry : std::filesystem::directory_iterator(root.Path())) {
            temporary = entry.path().filename().string();
        }
        // ".", as much of the name as fits, ".gridport-" and six letters.
        ASSERT_EQ(temporary.size(), length);
        EXPECT_EQ(temporary[0], '.');
        EXPECT_EQ(temporary.compare(1, length - 17, name, 0, length - 17), 0) << temporary;
        EXPECT_EQ(temporary.rfind(".gridport-"), length - 16) << temporary;
        EXPECT_TRUE((*output)->Write(&byte, 1));
        EXPECT_TRUE((*output)->Commit());
        EXPECT_EQ(ReadDiskFile(root / name), Bytes{1});
        std::filesystem::remove(root / name);
    }
}

#ifndef _WIN32
// Outputs on several threads at once, each writing, when a signal comes:
// every temporary file goes, the old files stay, and the program ends by
// the signal. Three times as many outputs as a chunk holds were made and
// done with first, so the entries must have been given back. It runs in a
// child process, which the signal ends.
TEST(StdioFileSystem, ASignalRemovesTheTemporaryFilesOfEveryThread) {
#if GRIDPORT_EMULATED
    // qemu's user mode hands signals to threads of its own: a child with
    // threads waits there for a signal that never comes.
    GTEST_SKIP() << "signals to a process with threads don't arrive under the emulator";
#endif
    TempDir root;
    constexpr int kThreads = 8;
    const pid_t child = fork();
    if (child == 0) {
        InstallSignalCleanup(BrokenPipe::Fails);
        for (std::size_t i = 0; i < 3 * temporary_files::kChunkEntries; ++i) {
            auto output = defaultFileSystem.OpenOutput(root / "done.bin");
            if (!output || (i % 2 == 0 && !(*output)->Commit())) {
                _exit(1);
            }
        }
        std::atomic<int> open{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            WriteDiskFile(root / ("out" + std::to_string(t)), {7});
            threads.emplace_back([&open, &root, t] {
                auto output = defaultFileSystem.OpenOutput(root / ("out" + std::to_string(t)));
                ++open;
                const std::uint8_t block[4096] = {};
                for (int i = 0; output && i < 100000; ++i) {
                    (void)(*output)->Write(block, sizeof block);
                }
            });
        }
        while (open < kThreads) {
            std::this_thread::yield();
        }
        kill(getpid(), SIGTERM);
        for (std::thread& thread : threads) {
            thread.join();
        }
        _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"done.bin", "out0", "out1", "out2", "out3", "out4", "out5", "out6",
                                               "out7"}));
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(ReadDiskFile(root / ("out" + std::to_string(t))), Bytes{7});
    }
}
#endif

#ifndef _WIN32
// Only a regular file opens for reading: a FIFO with no writer, or a device,
// is refused by its kind before the open, which would wait for a writer.
TEST(StdioFile, AFifoOrADeviceIsRefusedBeforeItIsOpened) {
    TempDir root;
    ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
    for (const auto& [path, reason] : {std::pair{root / "pipe", root / "pipe" + ": not a regular file (a FIFO)"},
                                       std::pair<std::string, std::string>{"/dev/null", "/dev/null: not a regular file (a device)"}}) {
        for (const OpenMode mode : {OpenMode::Read, OpenMode::ReadChecked}) {
            const auto file = defaultFileSystem.Open(path, mode);
            ASSERT_FALSE(file) << path;
            EXPECT_EQ(file.error().Text(), reason);
        }
    }
}

// Each kind as the status and the listing tell it, links followed by the
// status and listed as links.
TEST(StdioFileSystem, StatusAndListingTellTheKind) {
    TempDir root;
    WriteDiskFile(root / "file", {1, 2, 3});
    WriteDiskFile(root / "older", {1});
    std::filesystem::last_write_time(root / "older",
                                     std::filesystem::last_write_time(root / "file") - std::chrono::seconds(5));
    std::filesystem::create_directories(root / "dir");
    ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(root / "file", root / "link");
    std::filesystem::create_symlink(root / "gone", root / "dangling");
    const std::vector<std::pair<std::string, FileKind>> kinds = {
        {root / "dangling", FileKind::Link}, {root / "dir", FileKind::Folder},   {root / "file", FileKind::Regular},
        {root / "link", FileKind::Regular},  {root / "older", FileKind::Regular}, {root / "pipe", FileKind::Fifo},
        {"/dev/null", FileKind::Device},     {root / "missing", FileKind::Missing}, {root / "file/x", FileKind::Missing}};
    for (const auto& [path, kind] : kinds) {
        const Expected<FileStatus> status = defaultFileSystem.Status(path);
        ASSERT_TRUE(status) << path;
        EXPECT_EQ(status->kind, kind) << path;
    }
    const Expected<FileStatus> file = defaultFileSystem.Status(root / "file");
    const Expected<FileStatus> older = defaultFileSystem.Status(root / "older");
    ASSERT_TRUE(file && older);
    EXPECT_EQ(file->size, 3U);
    EXPECT_LT(older->modified, file->modified);
    Expected<std::vector<FolderEntry>> listed = defaultFileSystem.List(root.Path().string());
    ASSERT_TRUE(listed);
    std::sort(listed->begin(), listed->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::pair<std::string, FileKind>> entries;
    for (const FolderEntry& entry : *listed) {
        entries.emplace_back(root / entry.name, entry.kind);
    }
    EXPECT_EQ(entries, (std::vector<std::pair<std::string, FileKind>>{
                           {root / "dangling", FileKind::Link}, {root / "dir", FileKind::Folder},
                           {root / "file", FileKind::Regular},  {root / "link", FileKind::Link},
                           {root / "older", FileKind::Regular}, {root / "pipe", FileKind::Fifo}}));
    for (const auto& [folder, reason] : {std::pair{root / "missing", "No such file or directory"},
                                         std::pair{root / "file", "Not a directory"}}) {
        listed = defaultFileSystem.List(folder);
        ASSERT_FALSE(listed);
        EXPECT_EQ(listed.error().Text(), folder + ": cannot list the folder: " + reason);
    }
}

TEST(StdioFileSystem, IdentityIsOneForEverySpellingAndFoldersAreMade) {
    TempDir root;
    ASSERT_TRUE(defaultFileSystem.MakeFolders(root / "a/b/c/"));
    EXPECT_TRUE(std::filesystem::is_directory(root / "a/b/c"));
    ASSERT_TRUE(defaultFileSystem.MakeFolders(root / "a/b"));
    std::filesystem::create_directory_symlink(root / "a/b", root / "ab");
    const Expected<std::string> plain = defaultFileSystem.Identity(root / "a/b");
    const Expected<std::string> linked = defaultFileSystem.Identity(root / "ab/c/..");
    const Expected<std::string> other = defaultFileSystem.Identity(root / "a");
    ASSERT_TRUE(plain && linked && other);
    EXPECT_EQ(*plain, *linked);
    EXPECT_NE(*plain, *other);
    EXPECT_FALSE(defaultFileSystem.Identity(root / "missing"));
    WriteDiskFile(root / "a/file", {1});
    const Expected<void> made = defaultFileSystem.MakeFolders(root / "a/file/d");
    ASSERT_FALSE(made);
    EXPECT_EQ(made.error().Text(), root / "a/file/d" + ": cannot make the folder: Not a directory");
}

// Outputs follow chains of links to the file they end at, relative or
// absolute, and leave the links in place; a link loop, a socket and a name
// too long each get their own reason or kind.
TEST(StdioFileSystem, OutputsFollowLinkChainsAndOddPathsSayWhy) {
    TempDir root;
    const std::uint8_t data[2] = {4, 5};
    WriteDiskFile(root / "target.bin", {7});
    std::filesystem::create_symlink("hop2", root / "hop1");
    std::filesystem::create_symlink(root / "target.bin", root / "hop2");
    std::filesystem::create_symlink(root / "new.bin", root / "absolute");
    std::filesystem::create_symlink("/dev/null", root / "null");
    std::filesystem::create_symlink(root / "no/such/x.bin", root / "nowhere");
    std::filesystem::create_symlink("loop", root / "loop");
    for (const std::string name : {"hop1", "absolute", "null"}) {
        auto output = defaultFileSystem.OpenOutput(root / name);
        ASSERT_TRUE(output) << name;
        EXPECT_TRUE((*output)->Write(data, 2));
        EXPECT_TRUE((*output)->Commit()) << name;
        EXPECT_TRUE(std::filesystem::is_symlink(root.Path() / name)) << name;
    }
    EXPECT_EQ(ReadDiskFile(root / "target.bin"), (Bytes{4, 5}));
    EXPECT_EQ(ReadDiskFile(root / "new.bin"), (Bytes{4, 5}));
    EXPECT_TRUE(std::filesystem::is_symlink(root.Path() / "hop2"));
    const auto nowhere = defaultFileSystem.OpenOutput(root / "nowhere");
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.error().Text(),
              root / "nowhere" + ": cannot create a temporary file beside it: No such file or directory");
    const std::string longName = root / std::string(300, 'n');
    for (const auto& [path, reason] : {std::pair{root / "loop", "Too many levels of symbolic links"},
                                       std::pair{longName, "File name too long"}}) {
        const auto output = defaultFileSystem.OpenOutput(path);
        ASSERT_FALSE(output);
        EXPECT_EQ(output.error().Text(), path + ": cannot open: " + reason);
        const Expected<FileStatus> status = defaultFileSystem.Status(path);
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().Text(), path + ": cannot open: " + reason);
        EXPECT_FALSE(defaultFileSystem.Open(path, OpenMode::Read));
    }
    // A socket is no kind the converter knows, in a listing and looked at.
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = root / "sock";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(defaultFileSystem.Status(socketPath)->kind, FileKind::Other);
    const Expected<std::vector<FolderEntry>> listed = defaultFileSystem.List(root / "");
    ASSERT_TRUE(listed);
    const auto found = std::find_if(listed->begin(), listed->end(), [](const auto& e) { return e.name == "sock"; });
    ASSERT_NE(found, listed->end());
    EXPECT_EQ(found->kind, FileKind::Other);
    close(sock);
    EXPECT_TRUE(defaultFileSystem.List(""));
    EXPECT_TRUE(defaultFileSystem.MakeFolders(""));
    EXPECT_TRUE(defaultFileSystem.MakeFolders("///"));
}
#endif

TEST(StdioFile, CloseReportsAWriteThatNeverReachedTheDisk) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "this system has no /dev/full";
    }
    const auto opened = defaultFileSystem.Open("/dev/full", OpenMode::Write);
    ASSERT_TRUE(opened);
    auto* file = dynamic_cast<StdioFile*>(opened->get());
    ASSERT_NE(file, nullptr);
    const std::uint8_t byte = 1;
    EXPECT_TRUE(file->Write(&byte, 1));  // held back in the stream's buffer
    EXPECT_FALSE(file->Close());
    // A device is written in place, and the reason is the system's.
    const auto output = defaultFileSystem.OpenOutput("/dev/full");
    ASSERT_TRUE(output);
    (void)(*output)->Write(&byte, 1);
    const Expected<void> committed = (*output)->Commit();
    ASSERT_FALSE(committed);
    EXPECT_EQ(committed.error().Text(), "/dev/full: cannot write: No space left on device");
}

#ifndef _WIN32
// A pipe tells neither its position nor its size: each is the system's
// Error naming the stream. A read gives what arrived, then 0 at the end.
TEST(StdioFile, APipeCantTellAndIsReadToItsEnd) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    StdioFile reader(fdopen(ends[0], "rb"), "the pipe");
    ASSERT_EQ(write(ends[1], "abcdef", 6), 6);
    close(ends[1]);
    EXPECT_EQ(reader.Tell().error().Text(), "the pipe: cannot tell the position: Illegal seek");
    EXPECT_EQ(reader.Size().error().Text(), "the pipe: cannot tell the position: Illegal seek");
    EXPECT_EQ(reader.Seek(0).error().Text(), "the pipe: cannot seek: Illegal seek");
    char got[10];
    EXPECT_EQ(*reader.Read(got, sizeof got), 6U);
    EXPECT_EQ(*reader.Read(got, sizeof got), 0U);
}

// A stop request that interrupts a read waiting on a pipe ends it with an
// Error of kind Interrupted, not with a short count that reads as the end.
TEST(StdioFile, AStopRequestEndsAWaitingReadAsInterrupted) {
#if GRIDPORT_EMULATED
    GTEST_SKIP() << "signals to a process with threads don't arrive under the emulator";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CatchStopRequests();
        int ends[2];
        if (pipe(ends) != 0) {
            _exit(2);
        }
        StdioFile reader(fdopen(ends[0], "rb"), "the pipe");
        const pthread_t waiting = pthread_self();
        std::thread stopper([waiting] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            pthread_kill(waiting, SIGINT);
        });
        char got[10];
        const Expected<std::size_t> read = reader.Read(got, sizeof got);
        stopper.join();
        _exit(!read && read.error().Kind() == ErrorKind::Interrupted &&
                      read.error().Text() == "the pipe: cannot read: Interrupted system call"
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

}  // namespace
}  // namespace gridport
