// What each kind of file at a path that must be a regular file gives, and
// that each kind has a name of its own in a reason.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "filesystem/FileSystem.h"

namespace gridport {
namespace {

TEST(FileSystem, EachKindWhereARegularFileMustBeHasItsOwnReason) {
    const struct {
        FileKind kind;
        const char* reason;
    } rows[] = {
        {FileKind::Regular, "ok"},
        {FileKind::Missing, "p: cannot open: No such file or directory"},
        {FileKind::Link, "p: cannot open: No such file or directory"},
        {FileKind::Folder, "p: cannot open: Is a directory"},
        {FileKind::Fifo, "p: not a regular file (a FIFO)"},
        {FileKind::Device, "p: not a regular file (a device)"},
        {FileKind::Other, "p: not a regular file (a special file)"},
    };
    std::set<std::string> names;
    for (const auto& row : rows) {
        const Expected<void> regular = RequireRegular("p", FileStatus{row.kind});
        EXPECT_EQ(regular ? "ok" : regular.error().Text(), row.reason);
        EXPECT_TRUE(regular || regular.error().Kind() == ErrorKind::System);
        names.insert(KindName(row.kind));
    }
    EXPECT_EQ(names.size(), std::size(rows));
}

}  // namespace
}  // namespace gridport
