// `plovik extract` and `plovik list` on files made to order: exit status, log and listing.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/ChmCommands.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

std::string makeChm(const TempDir& dir, bool withBadName) {
    ChmWriter w;
    w.addFile("/index.htm", "<html>home</html>");
    w.addFile("/#SYSTEM", "internal");
    if (withBadName)
        w.addFile("/../escape.htm", "evil", ChmWriter::Section::Uncompressed);
    return writeFile(dir.path() / (withBadName ? "bad.chm" : "good.chm"), w.build()).string();
}

TEST(ChmCommands, ExtractPrintsTheLogAndSaysWhetherEveryFileWasWritten) {
    TempDir dir;
    const std::string good = makeChm(dir, false);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractCommand(good, (dir.path() / "new" / "folder").string(), false, false), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(out, "\r\n   extract:/index.htm......ok\n");
    EXPECT_EQ(readFile(dir.path() / "new/folder/index.htm"), "<html>home</html>");

    const std::string bad = makeChm(dir, true);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractCommand(bad, (dir.path() / "out").string(), false, false), 2);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("extract:/../escape.htm......failed"),
              std::string::npos);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("1 of 2 files"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "escape.htm"));

    writeFile(dir.path() / "junk.chm", std::string(200, 'j'));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractCommand((dir.path() / "junk.chm").string(), dir.folder(), false, true), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a CHM file"), std::string::npos);
}

// A page stored in a code page comes out as stored, as every other extractor writes it; --utf8
// makes it what a build reads.
TEST(ChmCommands, ExtractWritesTheStoredBytesAndConvertsOnlyWhenAsked) {
    TempDir dir;
    ChmWriter w;
    w.addFile("/#SYSTEM", std::string("\x03\x00\x00\x00\x04\x00\x04\x00\x19\x04\x00\x00", 12));
    const std::string cp1251 = "<html><body>\xcf\xf0\xe8\xe2\xe5\xf2</body></html>";
    w.addFile("/page.htm", cp1251);
    const std::string chm = writeFile(dir.path() / "ru.chm", w.build()).string();
    testing::internal::CaptureStdout();
    EXPECT_EQ(extractCommand(chm, (dir.path() / "raw").string(), false, false), 0);
    EXPECT_EQ(extractCommand(chm, (dir.path() / "utf8").string(), true, false), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(readFile(dir.path() / "raw/page.htm"), cp1251);
    EXPECT_NE(readFile(dir.path() / "utf8/page.htm").find("\xd0\x9f\xd1\x80\xd0\xb8"),
              std::string::npos);
}

TEST(ChmCommands, ListShowsEveryEntryWithItsPlace) {
    TempDir dir;
    const std::string good = makeChm(dir, false);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(listCommand(good, false), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(out.find("1            0           17 /index.htm\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" ::DataSpace/NameList\n"), std::string::npos);
    EXPECT_NE(out.find(" /#SYSTEM\n"), std::string::npos);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(listCommand(good, true), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("name = MSCompressed\n"),
              std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(listCommand((dir.path() / "missing.chm").string(), false), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace plovik::test
