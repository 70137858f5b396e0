// Extraction into an output folder: what is written and skipped, what the sink hears of each file,
// and that no name a CHM holds can put a file outside the folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "ExtractionRun.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

class Extraction : public testing::Test {
protected:
    // Writes the CHM beside the output folder and extracts it.
    std::unique_ptr<ExtractionRun> extract(ChmWriter& w, int stopAfter = -1) {
        const std::string bytes = w.build();
        EXPECT_FALSE(bytes.empty()) << w.error();
        const fs::path chm = writeFile(dir.path() / "input.chm", bytes);
        fs::create_directories(out());
        return runExtraction(chm.string(), out().string() + "/", stopAfter);
    }
    fs::path out() const { return dir.path() / "out"; }
    std::vector<std::string> writtenFiles() const {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(out())) {
            if (!e.is_directory())
                files.push_back(fs::relative(e.path(), out()).string());
        }
        std::sort(files.begin(), files.end());
        return files;
    }
    // Everything below the test folder other than the input and the output folder.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            const std::string rel = fs::relative(e.path(), dir.path()).string();
            if (rel != "input.chm" && rel != "out" && rel.rfind("out/", 0) != 0 &&
                rel.rfind("outside", 0) != 0) {
                files.push_back(rel);
            }
        }
        return files;
    }

    TempDir dir;
    CapturingSink sink;
    ScopedSink scoped{sink};
};

TEST_F(Extraction, SkipListsCompareWholeNamesWithoutCase) {
    ChmWriter w;
    for (const char* name : {"/#SYSTEM", "/#system", "/Data", "/$FIftiMain", "/#Windows",
                             "/$WWKeywordLinks/BTree", "/$wwassociativelinks/Property"}) {
        w.addFile(name, "internal");
    }
    w.addFolder("/$WWKeywordLinks/");
    w.addFile("/sub/#SYSTEM", "kept");
    w.addFile("/Data.htm", "kept");
    w.addFile("/$WWKeywordLinks/deeper/x.txt", "kept");
    auto run = extract(w);
    EXPECT_TRUE(run->result());
    EXPECT_EQ(writtenFiles(), (std::vector<std::string>{"$WWKeywordLinks/deeper/x.txt", "Data.htm",
                                                        "sub/#SYSTEM"}));
    EXPECT_EQ(run->started, (std::vector<std::string>{"/$WWKeywordLinks/deeper/x.txt", "/Data.htm",
                                                      "/sub/#SYSTEM"}));
}

TEST_F(Extraction, TellsAndWritesEachFileInDirectoryOrder) {
    ChmWriter w;
    w.layout().sorted = false;
    w.addFolder("/Topics/");
    w.addFile("/Topics/Intro.HTM", "<html>intro</html>");
    w.addFile("/a.b/readme", "no extension of its own");
    w.addFile("/first.hhc", "toc 1");
    w.addFile("/Index.HHK", "index");
    w.addFile("/second.HHC", "toc 2");
    w.addFile("/deep/er/page.html", "nested, no folder entries", ChmWriter::Section::Uncompressed);
    w.addFile("/page.htm.bak", "not a page");
    w.addFile("/zero.htm", "");
    auto run = extract(w);
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->written(), (std::vector<std::string>{
                                  "Topics/Intro.HTM", "a.b/readme", "first.hhc", "Index.HHK",
                                  "second.HHC", "deep/er/page.html", "page.htm.bak", "zero.htm"}));
    EXPECT_EQ(run->started.front(), "/Topics/Intro.HTM");
    EXPECT_EQ(run->summary.written, 8u);
    EXPECT_EQ(readFile(out() / "Topics" / "Intro.HTM"), "<html>intro</html>");
    EXPECT_EQ(readFile(out() / "deep/er/page.html"), "nested, no folder entries");
    EXPECT_TRUE(fs::is_regular_file(out() / "zero.htm"));
    EXPECT_EQ(fs::file_size(out() / "zero.htm"), 0u);
}

// The section holds the files in another order than the directory: each comes out of the decoder
// in section order and is written in directory order, whether it was held for its turn, let go
// and decoded again (nothing may be held), or pieced together over several reset intervals. The
// sink hears the same, and the same bytes are written, whatever may be held.
TEST_F(Extraction, FilesDecodedAheadOfTheirTurnComeOutTheSameWhateverIsHeld) {
    std::mt19937 rng(5);
    auto text = [&](std::size_t size) {
        std::string s;
        while (s.size() < size)
            s += "<p>" + std::to_string(rng()) + " " + std::to_string(rng() % 977) + "</p>\n";
        s.resize(size);
        return s;
    };
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i)
        names.push_back("p" + std::to_string(i) + ".htm");
    std::shuffle(names.begin(), names.end(), rng);
    names.insert(names.begin() + 30, "big.htm");
    ChmWriter w;
    std::map<std::string, std::string> files;
    for (const std::string& name : names) {
        files[name] = text(name == "big.htm" ? 300000 : 1000 + rng() % 30000);
        w.addFile("/" + name, files[name]);
    }
    const std::string bytes = w.build();
    ASSERT_FALSE(bytes.empty()) << w.error();
    const fs::path chm = writeFile(dir.path() / "input.chm", bytes);

    std::vector<std::string> heard;
    for (std::size_t holdLimit : {kExtractionHoldLimit, std::size_t{100000}, std::size_t{0}}) {
        SCOPED_TRACE(holdLimit);
        const fs::path folder = dir.path() / ("out-" + std::to_string(holdLimit));
        fs::create_directories(folder);
        auto run = runExtraction(chm.string(), folder.string() + "/", -1, holdLimit);
        ASSERT_TRUE(run->result());
        EXPECT_EQ(run->summary.written, files.size());
        EXPECT_EQ(run->summary.failed, 0u);
        for (const auto& [name, content] : files)
            EXPECT_TRUE(readFile(folder / name) == content) << name;
        if (heard.empty())
            heard = run->started;
        EXPECT_EQ(run->started, heard);
    }
    // Told in directory order, which is not the order of the section.
    std::vector<std::string> sectionOrder;
    for (const std::string& name : names)
        sectionOrder.push_back("/" + name);
    EXPECT_NE(heard, sectionOrder);
    EXPECT_EQ(heard.size(), sectionOrder.size());
}

TEST_F(Extraction, NamesThatWouldLeaveTheFolderAreNeverWritten) {
    ChmWriter w;
    w.layout().sorted = false;
    for (const char* name : {"/../outside-up.htm", "//outside-abs.htm", "/a/../../outside-b.htm",
                             "/..", "/ok/../../outside-c.htm"}) {
        w.addFile(name, "evil", ChmWriter::Section::Uncompressed);
    }
    w.addFile(std::string("/nul\0byte.htm", 13), "evil");
    w.addFolder("/../outside-folder/");
    w.addFile("/fine.htm", "fine");
    w.addFile("/", "root entry");
    w.addFile("", "empty name");
    w.addFile("..\\windows-style.htm", "no leading slash: internal, skipped");
    auto run = extract(w);
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->count(false), 6u);
    EXPECT_EQ(run->count(true), 1u);
    for (const auto& [name, outcome] : run->finished) {
        if (!outcome) {
            EXPECT_EQ(outcome.reason, "its name would leave the output folder") << name;
        }
    }
    EXPECT_EQ(writtenFiles(), std::vector<std::string>{"fine.htm"});
    EXPECT_TRUE(strayFiles().empty()) << strayFiles().front();
    EXPECT_FALSE(fs::exists(dir.path() / "outside-folder"));
    EXPECT_FALSE(fs::exists(fs::path("/outside-abs.htm")));
}

// Links that were in the output folder before (a CHM cannot make them) are not followed.
TEST_F(Extraction, LinksAlreadyInTheFolderAreNotFollowed) {
    fs::create_directories(out());
    fs::create_directories(dir.path() / "outside");
    writeFile(dir.path() / "outside" / "target.txt", "precious");
    fs::create_directory_symlink(dir.path() / "outside", out() / "linked");
    fs::create_symlink(dir.path() / "outside" / "target.txt", out() / "file.txt");
    ChmWriter w;
    w.addFolder("/linked/");
    w.addFile("/linked/new.htm", "through the folder link");
    w.addFile("/linked/target.txt", "through the folder link");
    w.addFile("/file.txt", "replaces the link itself");
    auto run = extract(w);
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->count(false), 2u);
    EXPECT_EQ(readFile(dir.path() / "outside" / "target.txt"), "precious");
    EXPECT_FALSE(fs::exists(dir.path() / "outside" / "new.htm"));
    EXPECT_FALSE(fs::is_symlink(out() / "file.txt"));
    EXPECT_EQ(readFile(out() / "file.txt"), "replaces the link itself");
}

TEST_F(Extraction, AFileThatCannotBeFetchedLeavesNoFile) {
    ChmWriter w;
    w.addFile("/good.htm", "good");
    w.addRawEntry("/beyond.htm", 0, 1u << 30, 100);
    w.addRawEntry("/nosection.htm", 9, 0, 1);
    auto run = extract(w);
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->count(false), 2u);
    EXPECT_EQ(writtenFiles(), std::vector<std::string>{"good.htm"});
    // The reason names the object's place, so that a report can say what was lost.
    for (const auto& [name, outcome] : run->finished) {
        if (name == "beyond.htm") {
            EXPECT_EQ(outcome.grade, Grade::ItemFailed);
            EXPECT_NE(outcome.reason.find("1073741824"), std::string::npos) << outcome.reason;
        }
    }
    EXPECT_EQ(run->summary.failed, 2u);
    EXPECT_EQ(run->summary.written, 1u);
}

TEST_F(Extraction, StopsAtTheCheckpointOfAnEntry) {
    ChmWriter w;
    for (int i = 0; i < 10; ++i)
        w.addFile("/p" + std::to_string(i) + ".htm", "page");
    auto run = extract(w, 3);
    EXPECT_TRUE(run->result());
    EXPECT_TRUE(run->summary.stopped);
    EXPECT_EQ(writtenFiles().size(), 3u);
    EXPECT_EQ(run->started.size(), 3u);
}

TEST_F(Extraction, AChmThatCannotBeOpenedIsFatalAndTellsNothing) {
    auto run = runExtraction((dir.path() / "missing.chm").string(), dir.folder());
    EXPECT_FALSE(run->result());
    EXPECT_EQ(run->summary.outcome.grade, Grade::Fatal);
    EXPECT_TRUE(run->started.empty());
    run = runExtraction(dir.path().string(), dir.folder());
    EXPECT_EQ(run->summary.outcome.reason, "it is a folder, not a file");
    writeFile(dir.path() / "not.chm",
              "plain text, not a CHM file at all, long enough for a header"
              " of ninety-six bytes to be read from it........");
    run = runExtraction((dir.path() / "not.chm").string(), dir.folder());
    EXPECT_FALSE(run->result());
    EXPECT_TRUE(run->started.empty());
    EXPECT_EQ(run->summary.outcome.reason, "not a CHM file (no ITSF signature)");
}

}  // namespace
}  // namespace plovik::test
