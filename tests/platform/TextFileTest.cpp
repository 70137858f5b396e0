#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

TEST(TextMode, ReadTurnsCrLfIntoLfOnly) {
    EXPECT_EQ(fromTextMode("a\r\nb\rc\n\r\r\n"), "a\nb\rc\n\r\n");
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
