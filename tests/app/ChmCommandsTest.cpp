// `plovik extract` and `plovik list` on files made to order: exit status, log and listing.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/ChmCommands.h"
#include "support/Corpus.h"
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
    EXPECT_EQ(extractCommand(good, (dir.path() / "new" / "folder").string(), false), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(out, "\r\n   extract:/index.htm......ok\n");
    EXPECT_EQ(readFile(dir.path() / "new/folder/index.htm"), "<html>home</html>");

    const std::string bad = makeChm(dir, true);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractCommand(bad, (dir.path() / "out").string(), false), 2);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("extract:/../escape.htm......failed"),
              std::string::npos);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("1 of 2 files"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "escape.htm"));

    writeFile(dir.path() / "junk.chm", std::string(200, 'j'));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractCommand((dir.path() / "junk.chm").string(), dir.folder(), true), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a CHM file"), std::string::npos);
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

// The context map as a tab-separated listing: ids named from the project, the stored page each
// opens, control bytes of a hostile name made harmless, a damaged map refused.
TEST(ChmCommands, ListContextPrintsEveryIdWithItsNameAndPage) {
    const std::string help = (dataDir() / "context-ids.chm").string();
    const std::string project = (dataDir() / "helps/context-ids/context-ids.hhp").string();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(listContextCommand(help, project, false), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "1001\tIDH_TOPIC_A\ttopic_a.htm\n1002\tIDH_TOPIC_B\ttopic_b.htm\n"
              "1003\tIDH_TOPIC_C\ttopic_c.htm\n1004\tIDH_TOPIC_D\tsub/topic_d.htm\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    TempDir dir;
    ChmWriter w;
    w.addFile("/a.htm", "<p>a</p>");
    w.addFile("/#IVB", std::string("\x10\0\0\0\x07\0\0\0\x01\0\0\0\x08\0\0\0\x0b\0\0\0", 20));
    w.addFile("/#STRINGS", std::string("\0\x1b]0;owned\x07x.htm\0", 17));
    const std::string hostile = writeFile(dir.path() / "hostile.chm", w.build()).string();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(listContextCommand(hostile, "", false), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "7\t-\t?]0;owned?x.htm\n8\t-\tx.htm\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("2 context ids name a topic the help "
                                                          "does not store"),
              std::string::npos);

    // Without a map nothing is printed; a names file that cannot be read, or a map that cannot be
    // one, fails.
    testing::internal::CaptureStdout();
    EXPECT_EQ(listContextCommand(makeChm(dir, false), "", false), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(listContextCommand(help, (dir.path() / "none.h").string(), false), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.h cannot be read"),
              std::string::npos);
    ChmWriter broken;
    broken.addFile("/#IVB", std::string("\xFF\0\0\0", 4));
    broken.addFile("/#STRINGS", std::string("\0", 1));
    testing::internal::CaptureStderr();
    EXPECT_EQ(listContextCommand(writeFile(dir.path() / "broken.chm", broken.build()).string(), "",
                                 false),
              1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("says it holds 255 bytes of ids"),
              std::string::npos);
}

}  // namespace
}  // namespace plovik::test
