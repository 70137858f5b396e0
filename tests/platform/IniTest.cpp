#include "platform/Ini.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace plovik {
namespace {

TEST(IniFile, LooksUpSectionsAndKeysWithoutRegardToCaseFirstMatchWins) {
    IniFile ini;
    ini.parse(
        "; comment\r\n[General]\r\n  ChmFile = C:/a b.chm  \r\nchmfile=second\r\n[other]\r\nx=1");
    EXPECT_EQ(ini.get("general", "CHMFILE"), "C:/a b.chm");
    EXPECT_EQ(ini.get("OTHER", "x"), "1");
    EXPECT_FALSE(ini.get("general", "x"));
    EXPECT_FALSE(ini.get("missing", "x"));
}

TEST(IniFile, WritesInPlaceAndKeepsEverythingElse) {
    IniFile ini;
    ini.parse("; keep me\r\n[a]\r\nKey=old\r\nforeign=yes\r\n\r\n[b]\r\ny=2\r\n");
    ini.set("A", "key", "new");
    ini.set("a", "added", "3");
    ini.set("c", "z", "4");
    EXPECT_EQ(ini.text(),
              "; keep me\r\n[a]\r\nKey=new\r\nforeign=yes\r\nadded=3\r\n\r\n[b]\r\ny=2\r\n"
              "\r\n[c]\r\nz=4\r\n");
}

TEST(IniFile, ValueMayHoldEqualsSigns) {
    IniFile ini;
    ini.parse("[s]\nk=a=b;c\n");
    EXPECT_EQ(ini.get("s", "k"), "a=b;c");
}

TEST(IniFile, MissingFileReadsEmptyAndSaveCreatesIt) {
    test::TempDir dir;
    auto file = dir.path() / "p.ini";
    IniFile ini;
    EXPECT_FALSE(ini.load(file));
    EXPECT_EQ(ini.get("s", "k"), std::nullopt);
    ini.set("s", "k", "-12");
    ASSERT_TRUE(ini.save(file));
    IniFile again;
    ASSERT_TRUE(again.load(file));
    EXPECT_EQ(again.get("S", "K"), "-12");  // names match whatever their case
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ProfileFunctions, IntegerReading) {
    EXPECT_EQ(parseProfileInt("  42abc"), 42);
    EXPECT_EQ(parseProfileInt("-1"), -1);
    EXPECT_EQ(parseProfileInt("abc"), 0);
    EXPECT_EQ(parseProfileInt(""), 0);
    EXPECT_EQ(parseProfileInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(parseProfileInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(ProfileFunctions, SaveIntoMissingFolderFailsWithoutThrowing) {
    IniFile ini;
    ini.set("s", "k", "v");
    EXPECT_FALSE(ini.save("/nonexistent-folder-plovik/x.ini"));
}

}  // namespace
}  // namespace plovik
