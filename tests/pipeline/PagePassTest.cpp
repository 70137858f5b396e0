// The frame layout's pages rewritten on a second thread while the search data is collected: the
// site, the log, the failed items and the stops must be those of the build that does one after
// the other.

#include "pipeline/PagePass.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "pipeline/BuildJob.h"
#include "platform/TextFile.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

// Everything a build tells, in order, as one text per report.
struct Transcript : BuildObserver {
    std::vector<std::string> lines;
    std::function<void(BuildJob&, const std::string&)> onLog;
    BuildJob* job = nullptr;

    void logText(std::string_view text, int lParam) override {
        lines.push_back("log " + std::to_string(lParam) + " " + std::string(text));
        if (onLog)
            onLog(*job, lines.back());
    }
    void stageStarted(BuildStage stage, std::size_t items) override {
        lines.push_back("stage " + std::to_string(static_cast<int>(stage)) + " " +
                        std::to_string(items));
    }
    void itemDone() override { lines.push_back("item"); }
    void stopped() override { lines.push_back("stopped"); }
    void done() override { lines.push_back("done"); }
    void failed(std::string_view reason) override {
        lines.push_back("failed " + std::string(reason));
    }
};

std::map<std::string, std::string> filesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).generic_string()] =
                readBinaryFile(entry.path()).value_or("(unreadable)");
    return files;
}

struct Built {
    std::map<std::string, std::string> files;
    std::vector<std::string> log;
    std::string report;
    bool stopped = false;
};

Built build(const fs::path& chm, bool beside,
            std::function<void(BuildJob&, const std::string&)> onLog = nullptr) {
    test::TempDir out;
    BuildJob job;
    Transcript transcript;
    transcript.job = &job;
    transcript.onLog = std::move(onLog);
    job.observer = &transcript;
    job.chmPath = chm.string();
    job.outputFolder = out.folder();
    job.title = "Help";
    job.entryPageName = "index.html";
    job.layout = Layout::Frame;
    job.templateFolder = test::sourceDir().string() + "/template/clarity/";
    job.addFooter = "<div>footer</div>";
    job.removeHeader = "<p>gone</p>";
    job.pageThreads = beside ? BuildJob::PageThreads::Two : BuildJob::PageThreads::One;
    job.runBuild();
    return {filesBelow(out.path()), transcript.lines, job.result().report, job.stoppedByRequest()};
}

void expectSame(const Built& one, const Built& two) {
    EXPECT_EQ(one.log, two.log);
    EXPECT_EQ(one.report, two.report);
    EXPECT_EQ(one.stopped, two.stopped);
    ASSERT_EQ(one.files.size(), two.files.size());
    for (const auto& [name, bytes] : one.files) {
        const auto other = two.files.find(name);
        ASSERT_NE(other, two.files.end()) << name;
        EXPECT_TRUE(other->second == bytes) << name << " differs";
    }
}

TEST(PagePass, RealHelpsGiveTheSameSiteLogAndReportOnTwoThreadsAsOnOne) {
    int built = 0;
    for (const char* name : {"chm/halibut-putty.chm", "chm/pychm-combined.chm",
                             "hostile-strings.chm", "chm/tika-testChm3-svnbook.chm"}) {
        const fs::path chm = test::corpusFile(name);
        if (chm.empty())
            continue;
        SCOPED_TRACE(name);
        const Built one = build(chm, false);
        const Built two = build(chm, true);
        ASSERT_FALSE(one.files.empty());
        EXPECT_EQ(one.log.back(), "done");
        expectSame(one, two);
        ++built;
    }
    EXPECT_GE(built, 2);
}

// A help whose pages bear the names of the layout's and the search's own files: the search must
// read the help's pages, the loop the files that took their place, as one thread does.
TEST(PagePass, PagesNamedLikeTheSitesOwnFilesAreReadAsOneThreadReadsThem) {
    test::TempDir dir;
    test::ChmWriter help;
    help.addFile("/a.htm",
                 "<html><body><p>gone</p>Alpha beta <a href=\"B.HTM\">b</a></body></html>");
    help.addFile("/b.htm", "<html><body>Gamma</body></html>");
    help.addFile("/header.html", "<html><body>Stored header words</body></html>");
    help.addFile("/HelpSearch.html", "<html><body>Stored search words</body></html>");
    help.addFile("/js/page.htm", "<html><body>Scripted words</body></html>");
    help.addFile("/twice.htm", "<html><body>Twice</body></html>");
    help.addFile("/TWICE.htm", "<html><body>Again</body></html>");
    const fs::path chm = dir.path() / "help.chm";
    {
        std::ofstream file(chm, std::ios::binary);
        file << help.build();
    }
    expectSame(build(chm, false), build(chm, true));

    EXPECT_FALSE(pagesStandApart({"a.htm", "header.html"}, {"index.html", "header.html"}));
    EXPECT_FALSE(pagesStandApart({"a.htm", "INDEX.HTML"}, {"index.html"}));
    EXPECT_FALSE(pagesStandApart({"a.htm", "helpsearch.html"}, {}));
    EXPECT_FALSE(pagesStandApart({"js/search/t/1.htm"}, {}));
    EXPECT_FALSE(pagesStandApart({"a.htm", "A.htm"}, {}));
    EXPECT_TRUE(pagesStandApart({"a.htm", "sub/header.html", "js.htm"}, {"header.html"}));
    // The keyword index runs beside the loop: its file is no page, and the layout writes none of
    // the index's files.
    EXPECT_FALSE(pagesStandApart({"a.htm", "Keys.HTM"}, {}, "keys.htm"));
    EXPECT_TRUE(pagesStandApart({"a.htm"}, {}, "keys.htm"));
    EXPECT_FALSE(pagesStandApart({"a.htm", "HelpIndex.html"}, {}));
    EXPECT_FALSE(pagesStandApart({"a.htm"}, {"HELPINDEX.html"}));
    EXPECT_FALSE(pagesStandApart({"a.htm"}, {"js/keywords.js"}));
    EXPECT_FALSE(pagesStandApart({"a.htm"}, {"js/search/index.js"}));
    EXPECT_TRUE(pagesStandApart({"a.htm"}, {"js/topic-fit.js"}));
}

// The keyword index is made while the loop repairs the pages' links: the report lists the
// index's unresolved links before the pages', each in its order, as one thread does.
TEST(PagePass, LinksOfTheIndexAndThePagesAreReportedInTheOrderOfOneThread) {
    test::TempDir dir;
    test::ChmWriter help;
    std::string index = "<HTML>\n<BODY>\n<UL>\n";
    std::string contents = index;
    // An index big enough to be still at work when the loop repairs the first pages.
    for (int n = 0; n < 20000; ++n)
        index += "<LI> <OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"x" +
                 std::to_string(n) + "\">\n<param name=\"Local\" value=\"lost" + std::to_string(n) +
                 ".htm\">\n</OBJECT>\n";
    for (int n = 0; n < 300; ++n) {
        const std::string page = "p" + std::to_string(n) + ".htm";
        const std::string entry =
            "<LI> <OBJECT type=\"text/sitemap\">\n<param name=\"Name\" "
            "value=\"k" +
            std::to_string(n) +
            "\">\n<param "
            "name=\"Local\" value=\"";
        index += entry + "gone" + std::to_string(n) + ".htm\">\n</OBJECT>\n";
        contents += entry + "P" + std::to_string(n) + ".HTM\">\n</OBJECT>\n";
        help.addFile("/" + page, "<html><body>Words of page " + std::to_string(n) +
                                     " <a href=\"missing" + std::to_string(n) +
                                     ".htm\">m</a> <a href=\"P" + std::to_string(n + 1) +
                                     ".HTM\">next</a></body></html>");
    }
    help.addFile("/Index.hhk", index + "</UL>\n</BODY></HTML>\n");
    help.addFile("/toc.hhc", contents + "</UL>\n</BODY></HTML>\n");
    const fs::path chm = dir.path() / "help.chm";
    {
        std::ofstream file(chm, std::ios::binary);
        file << help.build();
    }
    const Built one = build(chm, false);
    const Built two = build(chm, true);
    expectSame(one, two);
    const auto firstPage = two.report.find("p0.htm\tdoes not resolve: missing0.htm");
    const auto lastIndex = two.report.find("Index.hhk\tdoes not resolve: gone299.htm");
    ASSERT_NE(firstPage, std::string::npos);
    ASSERT_NE(lastIndex, std::string::npos);
    EXPECT_LT(lastIndex, firstPage);
}

// A stop while the search words are collected, and one while the pages are told, stops the build
// at the same checkpoint with the same log as one thread, and the loop's thread is gone after.
TEST(PagePass, AStopEndsTheBuildAtTheSameCheckpointAsOnOneThread) {
    const fs::path chm = test::corpusFile("chm/halibut-putty.chm");
    ASSERT_FALSE(chm.empty());
    for (const std::string trigger : {"parse keyword from:", "process :"}) {
        SCOPED_TRACE(trigger);
        auto stopAtThird = [trigger, seen = 0](BuildJob& job, const std::string& line) mutable {
            if (line.find(trigger) != std::string::npos && ++seen == 3)
                job.requestStop();
        };
        const Built one = build(chm, false, stopAtThird);
        const Built two = build(chm, true, stopAtThird);
        EXPECT_TRUE(two.stopped);
        ASSERT_GE(two.log.size(), 2u);
        EXPECT_EQ(two.log.back(), "stopped");
        EXPECT_EQ(two.log[two.log.size() - 2], "log 0 \r\n\r\nstopped.\r\n\r\n");
        EXPECT_EQ(one.log, two.log);
    }
}

}  // namespace
}  // namespace plovik
