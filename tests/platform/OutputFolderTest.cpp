#include "platform/OutputFolder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

// Whatever the folder holds that a write left behind under its temporary name.
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(std::string(OutputFolder::kTemporaryPrefix), 0) == 0)
            names.push_back(name);
    }
    return names;
}

TEST(OutputFolder, RefusesNamesThatWouldLeaveIt) {
    test::TempDir dir;
    OutputFolder out(dir.folder() + "site");
    fs::create_directory(dir.path() / "site");
    for (std::string_view name : {"", "/etc/x", "../x", "a/../../x", "a/..", "dir/", "."})
        EXPECT_FALSE(out.write(name, "x")) << name;
    EXPECT_FALSE(out.write(std::string_view("a\0b", 3), "x"));
    EXPECT_FALSE(out.makeFolders("../up"));
    EXPECT_FALSE(pathExists(dir.path() / "x"));
    EXPECT_FALSE(pathExists(dir.path() / "up"));
    EXPECT_TRUE(out.write("a/./b//c.htm", "c"));
    EXPECT_EQ(test::readFile(dir.path() / "site/a/b/c.htm"), "c");
}

TEST(OutputFolder, ReplacesWhatHasTheNameAndNeverWritesThroughALink) {
    test::TempDir dir;
    const auto site = dir.path() / "site";
    test::writeFile(dir.path() / "outside.txt", "precious");
    test::writeFile(site / "old.htm", "old");
    fs::permissions(site / "old.htm", fs::perms::owner_read);
    fs::create_symlink(dir.path() / "outside.txt", site / "link.htm");
    fs::create_symlink(dir.path() / "nowhere", site / "dangling.htm");
    fs::create_hard_link(dir.path() / "outside.txt", site / "hard.htm");

    OutputFolder out(site.string());
    for (const char* name : {"old.htm", "link.htm", "dangling.htm", "hard.htm"}) {
        ASSERT_TRUE(out.write(name, "new")) << name;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(site / name))) << name;
        EXPECT_EQ(test::readFile(site / name), "new") << name;
    }
    EXPECT_EQ(test::readFile(dir.path() / "outside.txt"), "precious");
    EXPECT_FALSE(pathExists(dir.path() / "nowhere"));
    EXPECT_TRUE(leftovers(site).empty());

    // A folder where the file goes stays, and the write says why it failed.
    fs::create_directory(site / "taken.htm");
    const Outcome taken = out.write("taken.htm", "x");
    EXPECT_EQ(taken.grade, Grade::ItemFailed);
    EXPECT_NE(taken.reason.find("directory"), std::string::npos) << taken.reason;
    EXPECT_TRUE(leftovers(site).empty());
}

// Staged files wait under their temporary names, from many folders at once (more than the
// folders kept open), and take their own names only when committed; a discarded one leaves
// nothing. A link put where a staged file goes is replaced at the commit, never followed.
TEST(OutputFolder, StagedFilesTakeTheirNamesOnlyWhenCommitted) {
    test::TempDir dir;
    const auto site = dir.path() / "site";
    fs::create_directory(site);
    test::writeFile(dir.path() / "outside.txt", "precious");
    OutputFolder out(site.string());
    std::vector<OutputFolder::Staged> staged(200);
    for (int n = 0; n < 200; ++n) {
        const std::string name = "f" + std::to_string(n % 100) + "/p" + std::to_string(n) + ".htm";
        ASSERT_TRUE(out.stage(name, "page " + std::to_string(n), staged[n])) << name;
        EXPECT_FALSE(pathExists(site / name)) << name;
    }
    fs::create_symlink(dir.path() / "outside.txt", site / "f7/p107.htm");
    for (int n = 0; n < 200; ++n) {
        if (n % 3 == 0)
            out.discard(staged[n]);
        else
            ASSERT_TRUE(out.commit(staged[n])) << n;
    }
    for (int n = 0; n < 200; ++n) {
        const fs::path file =
            site / ("f" + std::to_string(n % 100)) / ("p" + std::to_string(n) + ".htm");
        if (n % 3 == 0) {
            EXPECT_FALSE(pathExists(file)) << n;
        } else {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << n;
            EXPECT_EQ(test::readFile(file), "page " + std::to_string(n)) << n;
        }
        EXPECT_TRUE(leftovers(file.parent_path()).empty()) << n;
    }
    EXPECT_EQ(test::readFile(dir.path() / "outside.txt"), "precious");
}

TEST(OutputFolder, GoesOnlyThroughRealFoldersBelowIt) {
    test::TempDir dir;
    const auto site = dir.path() / "site";
    fs::create_directories(site / "real");
    fs::create_directories(dir.path() / "elsewhere/deep");
    fs::create_directory_symlink(dir.path() / "elsewhere", site / "linked");
    fs::create_directory_symlink(dir.path() / "elsewhere", site / "real/linked");
    test::writeFile(site / "file", "a file, not a folder");

    OutputFolder out(site.string());
    for (const char* name :
         {"linked/a.htm", "linked/deep/a.htm", "real/linked/a.htm", "file/a.htm"}) {
        const Outcome o = out.write(name, "x");
        EXPECT_EQ(o.grade, Grade::ItemFailed) << name;
        EXPECT_NE(o.reason.find("Not a directory"), std::string::npos) << o.reason;
    }
    EXPECT_FALSE(out.makeFolders("linked/new"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere/deep"));
    EXPECT_FALSE(pathExists(dir.path() / "elsewhere/a.htm"));
    EXPECT_FALSE(pathExists(dir.path() / "elsewhere/new"));

    // A folder made once and swapped for a link afterwards is not trusted from memory.
    ASSERT_TRUE(out.write("swapped/a.htm", "first"));
    fs::remove_all(site / "swapped");
    fs::create_directory_symlink(dir.path() / "elsewhere", site / "swapped");
    EXPECT_FALSE(out.write("swapped/b.htm", "second"));
    EXPECT_FALSE(pathExists(dir.path() / "elsewhere/b.htm"));
}

// A file size limit stands in for a full disk: the write fails part-way as on one.
TEST(OutputFolder, AWriteThatFailsPartWayKeepsTheOldFileAndSaysHowFarItGot) {
    test::TempDir dir;
    test::writeFile(dir.path() / "page.htm", "old page");
    OutputFolder out(dir.folder());

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome o = out.write("page.htm", std::string(10000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(o.grade, Grade::ItemFailed);
    EXPECT_NE(o.reason.find("10000 bytes"), std::string::npos) << o.reason;
    EXPECT_NE(o.reason.find("after 4096"), std::string::npos) << o.reason;
    EXPECT_NE(o.reason.find("too large"), std::string::npos) << o.reason;
    EXPECT_EQ(test::readFile(dir.path() / "page.htm"), "old page");
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(OutputFolder, AFullDiskKeepsTheOldFile) {
    test::TempDir dir;
    const auto disk = dir.path() / "disk";
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    {
        test::writeFile(disk / "page.htm", "old page");
        OutputFolder out(disk.string());
        const Outcome o = out.write("page.htm", std::string(256 * 1024, 'n'));
        EXPECT_EQ(o.grade, Grade::ItemFailed);
        EXPECT_NE(o.reason.find("No space left"), std::string::npos) << o.reason;
        EXPECT_EQ(test::readFile(disk / "page.htm"), "old page");
        EXPECT_TRUE(leftovers(disk).empty());
        EXPECT_TRUE(out.write("page.htm", "fits"));
        EXPECT_EQ(test::readFile(disk / "page.htm"), "fits");
    }
    ::umount2(disk.c_str(), MNT_DETACH);
}

// A build killed while it writes leaves the file it was writing whole: old or new.
TEST(OutputFolder, AStopInTheMiddleOfAWriteLeavesTheOldFileOrTheNewOne) {
    test::TempDir dir;
    const std::size_t size = 32 << 20;
    for (int round = 0; round < 3; ++round) {
        test::writeFile(dir.path() / "page.htm", "old page");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputFolder out(dir.folder());
            const std::string a(size, 'a'), b(size, 'b');
            for (int i = 0;; ++i)
                out.write("page.htm", i % 2 ? b : a);
        }
        // Kill it once it is writing, at a moment that differs from round to round.
        for (int i = 0; i < 2000 && leftovers(dir.path()).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(7 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string page = test::readFile(dir.path() / "page.htm");
        const bool whole =
            page == "old page" || page == std::string(size, 'a') || page == std::string(size, 'b');
        EXPECT_TRUE(whole) << "round " << round << ": " << page.size() << " bytes";
        for (const auto& name : leftovers(dir.path()))
            fs::remove(dir.path() / name);
    }
}

TEST(FileSystem, CopyFolderReplacesLinkedFilesAndRefusesLinkedFoldersInTheDestination) {
    test::TempDir dir;
    test::writeFile(dir.path() / "from/site.css", "new css");
    test::writeFile(dir.path() / "from/img/logo.gif", "gif");
    test::writeFile(dir.path() / "outside.css", "precious");
    fs::create_directories(dir.path() / "elsewhere");
    fs::create_directories(dir.path() / "to");
    fs::create_symlink(dir.path() / "outside.css", dir.path() / "to/site.css");
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "to/img");

    EXPECT_FALSE(copyFolder(dir.path() / "from", dir.path() / "to/"));
    EXPECT_EQ(test::readFile(dir.path() / "outside.css"), "precious");
    EXPECT_EQ(test::readFile(dir.path() / "to/site.css"), "new css");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.path() / "to/site.css")));
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));

    // The copy's own folder being a link is refused too.
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "linkedcopy");
    EXPECT_FALSE(copyFolder(dir.path() / "from", dir.path() / "linkedcopy"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));
}

}  // namespace
}  // namespace plovik
