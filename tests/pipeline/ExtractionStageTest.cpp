// The build's first stage: one log line per file, and what it records for the later stages.

#include <gtest/gtest.h>

#include <filesystem>

#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "pages/Progress.h"
#include "pipeline/ExtractionStage.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

// Keeps every log text; asks to stop once `stopAfter` counted texts have come.
struct RecordedProgress : Progress {
    std::vector<std::pair<std::string, int>> texts;
    int counted = 0;
    int stopAfter = -1;
    std::size_t items = 0;

    void log(std::string_view text, int lParam) override {
        texts.emplace_back(std::string(text), lParam);
        counted += lParam;
    }
    bool checkStop() override { return stopAfter >= 0 && counted >= stopAfter; }
    void itemDone() override { ++items; }
};

class Quiet {
public:
    Quiet() { setDiagnosticSink(&silentSink()); }
    ~Quiet() { setDiagnosticSink(nullptr); }
};

fs::path writeChm(const TempDir& dir, ChmWriter& w) {
    const std::string bytes = w.build();
    EXPECT_FALSE(bytes.empty()) << w.error();
    fs::create_directories(dir.path() / "out");
    return writeFile(dir.path() / "input.chm", bytes);
}

TEST(ExtractionStage, LogsEachFileAndRecordsPagesAndSitemaps) {
    TempDir dir;
    ChmWriter w;
    w.layout().sorted = false;
    w.addFolder("/Topics/");
    w.addFile("/Topics/Intro.HTM", "<html>intro</html>");
    w.addFile("/first.hhc", "toc 1");
    w.addFile("/Index.HHK", "index");
    w.addFile("/second.HHC", "toc 2");
    w.addFile("/deep/er/page.html", "nested", ChmWriter::Section::Uncompressed);
    w.addFile("/page.htm.bak", "not a page");
    w.addRawEntry("/beyond.htm", 0, 1u << 30, 100);
    const fs::path chm = writeChm(dir, w);

    RecordedProgress progress;
    ExtractionStage stage(progress, false);
    const ExtractionSummary summary = stage.run(chm.string(), dir.folder() + "out/");
    ASSERT_TRUE(summary.opened());
    EXPECT_EQ(summary.failed, 1u);
    ASSERT_GE(progress.texts.size(), 2u);
    EXPECT_EQ(progress.texts[0],
              (std::pair<std::string, int>{"\r\n   extract:/Topics/Intro.HTM......", 0}));
    EXPECT_EQ(progress.texts[1], (std::pair<std::string, int>{"ok", 1}));
    EXPECT_EQ(progress.texts.back(), (std::pair<std::string, int>{"failed", 1}));
    EXPECT_EQ(progress.texts.size(), 14u);
    EXPECT_EQ(progress.items, 7u);

    const ExtractedHelp& help = stage.help();
    EXPECT_EQ(help.pageList, (std::vector<std::string>{"Topics/Intro.HTM", "deep/er/page.html"}));
    EXPECT_EQ(help.contentsFileName, "second.HHC");  // the later one wins
    EXPECT_EQ(help.indexFileName, "Index.HHK");
    EXPECT_EQ(help.fileList.size(), 6u);
}

TEST(ExtractionStage, StopsAtTheCheckpointOfAnEntry) {
    TempDir dir;
    ChmWriter w;
    for (int i = 0; i < 10; ++i)
        w.addFile("/p" + std::to_string(i) + ".htm", "page");
    const fs::path chm = writeChm(dir, w);
    RecordedProgress progress;
    progress.stopAfter = 3;
    ExtractionStage stage(progress, true);
    const ExtractionSummary summary = stage.run(chm.string(), dir.folder() + "out/");
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.written, 3u);
    EXPECT_EQ(stage.help().pageList.size(), 3u);
}

TEST(ExtractionStage, AChmThatCannotBeOpenedLogsNothing) {
    TempDir dir;
    RecordedProgress progress;
    ExtractionStage stage(progress, true);
    const ExtractionSummary summary =
        stage.run((dir.path() / "missing.chm").string(), dir.folder());
    EXPECT_FALSE(summary.opened());
    EXPECT_TRUE(progress.texts.empty());
    EXPECT_EQ(stage.conversionCounts().codePage, 0);
}

TEST(ExtractionStage, FindsTheSitemapsOfRealHelps) {
    Quiet quiet;
    int checked = 0;
    struct Case {
        const char* file;
        const char* contents;
        const char* index;
        bool hasIndex;
    };
    for (const Case& c : {Case{"pychm-example", "Documents/Table of Contents.hhc", "", false},
                          Case{"pychm-combined2", "Table of Contents2.hhc", "", false},
                          Case{"pychm-combined", "", "", true}}) {
        SCOPED_TRACE(c.file);
        const fs::path chm = corpusFile("chm/" + std::string(c.file) + ".chm");
        if (chm.empty())
            continue;
        ++checked;
        TempDir out;
        RecordedProgress progress;
        ExtractionStage stage(progress, true);
        stage.run(chm.string(), out.folder());
        EXPECT_EQ(stage.help().contentsFileName, c.contents);
        if (c.hasIndex)
            EXPECT_FALSE(stage.help().indexFileName.empty());
        else
            EXPECT_EQ(stage.help().indexFileName, c.index);
    }
    if (checked == 0)
        GTEST_SKIP() << "none of the pychm helps is at hand";
}

// One line per stored file, named as stored, in directory order, and the pages among them.
TEST(ExtractionStage, LogsOneLinePerFileOfARealHelp) {
    const std::string path = corpusFile("chm/halibut-putty.chm").string();
    if (path.empty())
        GTEST_SKIP() << "no halibut-putty.chm";
    Quiet quiet;
    TempDir out;
    RecordedProgress progress;
    ExtractionStage stage(progress, true);
    stage.run(path, out.folder());
    auto chm = openChm(path);
    ASSERT_TRUE(chm);
    std::vector<std::string> pages;
    std::size_t lines = 0;
    for (const ChmEntry& e : chm->entries) {
        if (e.name.size() < 2 || e.name[0] != '/' || e.isFolder() || e.name[1] == '#' ||
            e.name[1] == '$')
            continue;
        ASSERT_LT(2 * lines + 1, progress.texts.size());
        EXPECT_EQ(progress.texts[2 * lines].first, "\r\n   extract:" + e.name + "......");
        EXPECT_EQ(progress.texts[2 * lines + 1], (std::pair<std::string, int>{"ok", 1}));
        ++lines;
        if (e.name.size() > 5 && e.name.substr(e.name.size() - 5) == ".html")
            pages.push_back(e.name.substr(1));
    }
    EXPECT_EQ(progress.texts.size(), 2 * lines);
    EXPECT_EQ(stage.help().pageList, pages);
}

}  // namespace
}  // namespace plovik::test
