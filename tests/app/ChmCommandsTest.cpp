// `plovik extract` and `plovik list` on files made to order: exit status, log and listing.

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

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

// What `run` prints on standard output when that is a terminal.
std::string onTerminal(const std::function<void()>& run) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return "(no terminal)";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(slave, STDOUT_FILENO);
    run();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(slave);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(master);
    return text;
}

TEST(ChmCommands, StoredControlBytesAreShownEscapedOnATerminalAndKeptInAPipe) {
    TempDir dir;
    ChmWriter w;
    w.addFile("/\x1b]0;owned\x07\x1b[2J\xc3\xa9t\xc3\xa9.htm", "<html>x</html>");
    const std::string chm = writeFile(dir.path() / "hostile.chm", w.build()).string();

    // The terminal turns our LF into CR LF; what matters is which bytes reach it.
    const std::string listed = onTerminal([&] { listCommand(chm, false); });
    EXPECT_EQ(listed.find('\x1b'), std::string::npos) << listed;
    EXPECT_NE(listed.find("/\\x1b]0;owned\\x07\\x1b[2J\xc3\xa9t\xc3\xa9.htm"), std::string::npos)
        << listed;
    testing::internal::CaptureStdout();
    listCommand(chm, false);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("/\x1b]0;owned\x07\x1b[2J"),
              std::string::npos);

    const std::string extracted =
        onTerminal([&] { extractCommand(chm, (dir.path() / "a").string(), false, false); });
    EXPECT_EQ(extracted.find('\x1b'), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("extract:/\\x1b]0;owned\\x07"), std::string::npos) << extracted;
    testing::internal::CaptureStdout();
    extractCommand(chm, (dir.path() / "b").string(), false, false);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("extract:/\x1b]0;owned\x07"),
              std::string::npos);
}

// Runs the program and returns what it printed, on a terminal or into a pipe.
std::string runProgram(const std::vector<std::string>& args, bool terminal) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1;
    int out[2] = {-1, -1};
    pid_t child = -1;
    if (terminal) {
        child = ::forkpty(&master, nullptr, nullptr, nullptr);
    } else {
        if (::pipe(out) != 0)
            return "(no pipe)";
        child = ::fork();
        if (child == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
        }
        master = out[0];
    }
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (!terminal)
        ::close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(master);
    ::waitpid(child, nullptr, 0);
    return text;
}

TEST(ChmCommands, TheBuildLogShowsStoredControlBytesEscapedOnATerminalOnly) {
    TempDir dir;
    ChmWriter w;
    w.addFile("/\x1b]0;owned\x07page.htm", "<html>x</html>");
    const std::string chm = writeFile(dir.path() / "hostile.chm", w.build()).string();
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    const std::string program = std::string(PLOVIK_PROGRAM_DIR) + "/plovik";

    const std::string shown = runProgram(
        {program, "build", "--chm", chm, "--out", (dir.path() / "a").string(), "--log"}, true);
    EXPECT_NE(shown.find("Done."), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    EXPECT_NE(shown.find("/\\x1b]0;owned\\x07page.htm"), std::string::npos) << shown;

    const std::string piped = runProgram(
        {program, "build", "--chm", chm, "--out", (dir.path() / "b").string(), "--log"}, false);
    EXPECT_NE(piped.find("/\x1b]0;owned\x07page.htm"), std::string::npos) << piped;
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
