// Extraction into an output folder: what is written and skipped, what the sink hears of each file,
// and that no name a CHM holds can put a file outside the folder.

#include <gtest/gtest.h>
#include <unistd.h>

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

// The section holds the files in another order than the directory: each is decoded in section
// order, some pieced together over several reset intervals, and written as it comes, yet the sink
// hears of them in directory order, and a stop leaves exactly the files it has heard of, with no
// file waiting under a temporary name.
TEST_F(Extraction, FilesDecodedAheadOfTheirTurnTakeTheirNamesInDirectoryOrder) {
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

    auto listed = [](const fs::path& folder) {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(folder))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    };
    const fs::path whole = dir.path() / "whole";
    fs::create_directories(whole);
    auto run = runExtraction(chm.string(), whole.string() + "/");
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->summary.written, files.size());
    EXPECT_EQ(run->summary.failed, 0u);
    for (const auto& [name, content] : files)
        EXPECT_TRUE(readFile(whole / name) == content) << name;
    EXPECT_EQ(listed(whole).size(), files.size());
    // Told in directory order, which is not the order of the section.
    std::vector<std::string> sectionOrder;
    for (const std::string& name : names)
        sectionOrder.push_back("/" + name);
    EXPECT_NE(run->started, sectionOrder);
    EXPECT_EQ(run->started.size(), sectionOrder.size());

    for (int stopAfter : {0, 1, 17, 45}) {
        SCOPED_TRACE(stopAfter);
        const fs::path folder = dir.path() / ("stopped-" + std::to_string(stopAfter));
        fs::create_directories(folder);
        auto stopped = runExtraction(chm.string(), folder.string() + "/", stopAfter);
        EXPECT_TRUE(stopped->summary.stopped);
        std::vector<std::string> heard = stopped->written();
        ASSERT_EQ(heard.size(), static_cast<std::size_t>(stopAfter));
        std::sort(heard.begin(), heard.end());
        EXPECT_EQ(listed(folder), heard);
        for (const std::string& name : heard)
            EXPECT_TRUE(readFile(folder / name) == files[name]) << name;
    }
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

// Files wait for their turn under temporary names; a stored file named like one, renamed into
// place first, would take the place of another file's bytes. Such names are never written, and
// every other file keeps its own bytes.
TEST_F(Extraction, StoredNamesOfTheTemporaryKindAreNotWritten) {
    ChmWriter w;
    w.layout().sorted = false;
    w.addFile("/z.htm", "the last file in directory order, the first in its section");
    for (int n = 0; n < 50; ++n)
        w.addFile("/sub/.plovik-tmp-" + std::to_string(::getpid()) + "-" + std::to_string(n),
                  "not a temporary file");
    w.addFile("/sub/.plovik-tmp-", "a bare prefix");
    w.addFile("/a.htm", "first");
    auto run = extract(w);
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->count(false), 51u);
    EXPECT_EQ(writtenFiles(), (std::vector<std::string>{"a.htm", "z.htm"}));
    EXPECT_EQ(readFile(out() / "z.htm"),
              "the last file in directory order, the first in its section");
    EXPECT_EQ(readFile(out() / "a.htm"), "first");
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
