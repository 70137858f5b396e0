#include "platform/Ini.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <future>
#include <thread>

#include "platform/FileSystem.h"

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
    const Outcome saved = ini.save("/nonexistent-folder-plovik/x.ini");
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.reason, "No such file or directory");
}

// Loads on a thread of its own, so that a load that waits for ever fails the test instead of
// hanging it.
Outcome loadWithin(const std::filesystem::path& path, std::chrono::seconds limit) {
    auto result = std::make_shared<std::promise<Outcome>>();
    auto future = result->get_future();
    std::thread([path, result] {
        IniFile ini;
        result->set_value(ini.loadChecked(path));
    }).detach();
    if (future.wait_for(limit) != std::future_status::ready)
        return Outcome::fatal("still waiting");
    return future.get();
}

TEST(IniFile, FilesThatAreNoProfileAreRefusedAtOnceWithTheReason) {
    test::TempDir dir;
    const auto fifo = dir.path() / "fifo.zarn";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir.path() / "folder.zarn");
    test::writeFile(dir.path() / "nul.zarn", std::string("[general]\0title=x\n", 18));
    test::writeFile(dir.path() / "junk.zarn",
                    "\x89PNG\r\n\x1a"
                    " binary junk without a section\n");
    test::writeFile(dir.path() / "huge.zarn", std::string(IniFile::kMaxFileSize + 1, ';'));
    const std::pair<std::string, std::string> cases[] = {
        {"missing.zarn", "No such file or directory"},
        {"fifo.zarn", "not a regular file"},
        {"folder.zarn", "is a folder"},
        {"nul.zarn", "NUL bytes"},
        {"junk.zarn", "no [section] line"},
        {"huge.zarn", "too large"},
    };
    for (const auto& [name, why] : cases) {
        const Outcome o = loadWithin(dir.path() / name, std::chrono::seconds(5));
        EXPECT_FALSE(o) << name;
        EXPECT_NE(o.reason.find(why), std::string::npos) << name << ": " << o.reason;
    }
    EXPECT_NE(loadWithin("/dev/zero", std::chrono::seconds(5)).reason.find("not a regular"),
              std::string::npos);
}

TEST(IniFile, HandWrittenProfilesStillLoad) {
    test::TempDir dir;
    const std::pair<std::string, std::string> files[] = {
        {"empty.zarn", ""},
        {"comments.zarn", "; only a comment\n# and another\n\n"},
        {"crlf.zarn", "[general]\r\ntitle = Spaced \r\n"},
        {"bom.zarn", "\xEF\xBB\xBF[general]\ntitle=After a byte order mark\n"},
        {"latin1.zarn",
         "[general]\ntitle=Gr\xFC\xDF"
         "e\n"},
        {"keyfirst.zarn", "stray=line\n[general]\ntitle=x\n"},
    };
    for (const auto& [name, text] : files) {
        test::writeFile(dir.path() / name, text);
        IniFile ini;
        EXPECT_TRUE(ini.loadChecked(dir.path() / name)) << name;
    }
    IniFile bom;
    ASSERT_TRUE(bom.loadChecked(dir.path() / "bom.zarn"));
    EXPECT_EQ(bom.get("general", "title"), "After a byte order mark");
    bom.set("general", "title", "changed");
    EXPECT_EQ(bom.text(), "\xEF\xBB\xBF[general]\ntitle=changed\n");
}

TEST(IniFile, SaveWritesALinksTargetKeepsPermissionsAndRefusesWhatIsNoFile) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    const auto real = test::writeFile(dir.path() / "real/p.zarn", "; mine\n[s]\nk=old\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/p.zarn", dir.path() / "link.zarn");
    fs::create_symlink("link.zarn", dir.path() / "link2.zarn");

    IniFile ini;
    ASSERT_TRUE(ini.loadChecked(dir.path() / "link2.zarn"));
    ini.set("s", "k", "new");
    ASSERT_TRUE(ini.save(dir.path() / "link2.zarn"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.zarn"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link2.zarn"));
    EXPECT_EQ(test::readFile(real), "; mine\n[s]\nk=new\n");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "real"), {}), 1);

    fs::create_directory(dir.path() / "folder.zarn");
    EXPECT_EQ(ini.save(dir.path() / "folder.zarn").reason, "it is a folder");
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.zarn").c_str(), 0600), 0);
    EXPECT_NE(ini.save(dir.path() / "fifo.zarn").reason.find("not a regular file"),
              std::string::npos);
}

// A file size limit stands in for a full disk.
TEST(IniFile, ASaveThatFailsPartWayKeepsTheOldFileAndSaysWhy) {
    test::TempDir dir;
    const auto file = test::writeFile(dir.path() / "p.zarn", "[s]\nk=old\n");
    IniFile ini;
    ini.set("s", "k", std::string(8192, 'x'));
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome o = ini.save(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(o);
    EXPECT_EQ(o.reason, "File too large");
    EXPECT_EQ(test::readFile(file), "[s]\nk=old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileSystem, ReadOnlyMeansTheOwnersWriteBitEvenForTheSuperuser) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    const auto file = test::writeFile(dir.path() / "p.zarn", "");
    EXPECT_FALSE(isReadOnlyFile(file));
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_TRUE(isReadOnlyFile(file));
    fs::create_symlink(file, dir.path() / "link.zarn");
    EXPECT_TRUE(isReadOnlyFile(dir.path() / "link.zarn"));
    EXPECT_FALSE(isReadOnlyFile(dir.path() / "missing.zarn"));
    EXPECT_FALSE(isReadOnlyFile(dir.path()));
}

}  // namespace
}  // namespace plovik
