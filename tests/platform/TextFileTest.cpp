#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

TEST(TextMode, ReadTurnsCrLfIntoLfOnly) {
    EXPECT_EQ(fromTextMode("a\r\nb\rc\n\r\r\n"), "a\nb\rc\n\r\n");
    // Lines move down in place over the removed bytes: the ends and runs of them count too.
    EXPECT_EQ(fromTextMode("\r\n\r\nab\r\r\n\rcd\r"), "\n\nab\r\n\rcd\r");
    EXPECT_EQ(fromTextMode("no returns\n"), "no returns\n");
    EXPECT_EQ(fromTextMode("\r"), "\r");
    EXPECT_EQ(fromTextMode(""), "");
    std::string big;
    std::string expected;
    for (int n = 0; n < 5000; ++n) {
        big += std::string(static_cast<std::size_t>(n % 7), 'x') + (n % 3 ? "\r\n" : "\r");
        expected += std::string(static_cast<std::size_t>(n % 7), 'x') + (n % 3 ? "\n" : "\r");
    }
    EXPECT_EQ(fromTextMode(big), expected);
}

TEST(TextMode, WriteTurnsLfIntoCrLfButNeverDoublesAnExistingPair) {
    EXPECT_EQ(toTextMode("a\nb\r\nc\n\n"), "a\r\nb\r\nc\r\n\r\n");
    EXPECT_EQ(toTextMode("\n"), "\r\n");
    EXPECT_EQ(toTextMode(""), "");
}

TEST(TextFile, RoundTripsBytesIncludingNul) {
    test::TempDir dir;
    std::string bytes("x\0y\r\n\xff", 6);
    ASSERT_TRUE(writeBinaryFile(dir.path() / "f", bytes));
    EXPECT_EQ(readBinaryFile(dir.path() / "f"), bytes);
    EXPECT_FALSE(readBinaryFile(dir.path() / "missing"));
    EXPECT_FALSE(writeBinaryFile(dir.path() / "no/such/folder", "x"));
}

// A generated file replaces what had its name whole or not at all: a link there is replaced, not
// written through, the old file's permissions stay, and a write that cannot finish leaves the
// old bytes and no temporary file.
TEST(TextFile, WritingReplacesTheFileWholeAndNeverThroughALink) {
    test::TempDir dir;
    const auto outside = dir.path() / "outside.txt";
    writeBinaryFile(outside, "theirs");
    const auto link = dir.path() / "page.html";
    std::filesystem::create_symlink(outside, link);
    ASSERT_TRUE(writeBinaryFile(link, "ours"));
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readTextFile(outside), "theirs");
    EXPECT_EQ(readTextFile(link), "ours");

    std::filesystem::permissions(
        link, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(writeBinaryFile(link, "again"));
    EXPECT_EQ(std::filesystem::status(link).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    EXPECT_FALSE(writeBinaryFile(dir.path() / "missing" / "x.html", "x"));
    std::size_t left = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        left += e.path().filename().string().starts_with(".plovik-tmp-");
    EXPECT_EQ(left, 0u);
    EXPECT_TRUE(writeBinaryFile("/dev/null", "to a device as it is"));
}

TEST(FileSystem, CopyFolderCreatesMissingFoldersAndReplacesFiles) {
    test::TempDir dir;
    test::writeFile(dir.path() / "from/a.txt", "new");
    test::writeFile(dir.path() / "from/sub/deep/b.txt", "b");
    test::writeFile(dir.path() / "to/a.txt", "old");
    test::writeFile(dir.path() / "to/keep.txt", "keep");
    ASSERT_TRUE(copyFolder(dir.path() / "from", dir.path() / "to"));
    EXPECT_EQ(test::readFile(dir.path() / "to/a.txt"), "new");
    EXPECT_EQ(test::readFile(dir.path() / "to/sub/deep/b.txt"), "b");
    EXPECT_EQ(test::readFile(dir.path() / "to/keep.txt"), "keep");
    EXPECT_FALSE(copyFolder(dir.path() / "nothing", dir.path() / "x"));
    EXPECT_FALSE(pathExists(dir.path() / "x"));
}

TEST(FileSystem, DeleteFileLeavesFoldersAlone) {
    test::TempDir dir;
    test::writeFile(dir.path() / "f", "");
    std::filesystem::create_directory(dir.path() / "d");
    EXPECT_TRUE(deleteFile(dir.path() / "f"));
    EXPECT_FALSE(deleteFile(dir.path() / "f"));
    EXPECT_FALSE(deleteFile(dir.path() / "d"));
    EXPECT_TRUE(folderExists(dir.path() / "d"));
}

}  // namespace
}  // namespace plovik
