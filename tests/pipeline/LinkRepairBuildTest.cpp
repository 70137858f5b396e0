// Link repair through the whole build job, on small help files made for the purpose: what the
// pages, the tree, the index data and the no-frame pages get, the counts and the report, and
// that a build with repair off, or of a help whose links all resolve, is what it always was.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "StageRun.h"
#include "pipeline/BuildJob.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string text = "<HTML>\n<BODY>\n<UL>\n";
    for (const auto& [name, local] : items)
        text += "<LI> <OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"" + name +
                "\">\n<param name=\"Local\" value=\"" + local + "\">\n</OBJECT>\n";
    return text + "</UL>\n</BODY></HTML>\n";
}

std::string keywords(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string text = "<HTML>\n<BODY>\n<UL>\n";
    for (const auto& [name, local] : items)
        text += "<LI> <OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"" + name +
                "\">\n<param name=\"Local\" value=\"" + local + "\">\n</OBJECT>\n";
    return text + "</UL>\n</BODY></HTML>\n";
}

// A help whose links were written on a file system that ignores case.
test::ChmWriter sloppyHelp() {
    test::ChmWriter w;
    w.addFile("/toc.hhc", contents({{"Intro", "Intro.htm"},
                                    {"Setup", "ms-its:Test.chm::/Guide/Setup.htm"},
                                    {"Other", "ms-its:other.chm::/x.htm"}}));
    w.addFile("/Index.hhk", keywords({{"intro", "INTRO.HTM"}, {"lost", "lost.htm"}}));
    w.addFile("/intro.htm",
              "<html><body><a href=\"Guide/SETUP.htm\">s</a><img src=\"Pic.GIF\">"
              "<a href=\"nothere.htm\">x</a>"
              "<a href=\"mk:@MSITStore:C:\\h\\TEST.chm::/guide/setup.htm#a\">m</a>"
              "<a href=\"ms-its:other.chm::/x.htm\">o</a></body></html>");
    w.addFile("/guide/setup.htm",
              "<html><body><a href=\"../INTRO.htm#top\">back</a></body></html>");
    w.addFile("/pic.gif", "GIF89a");
    return w;
}

// A help whose every link resolves as written.
test::ChmWriter tidyHelp() {
    test::ChmWriter w;
    w.addFile("/toc.hhc", contents({{"Intro", "intro.htm"}, {"Setup", "guide/setup.htm#s"}}));
    w.addFile("/Index.hhk", keywords({{"intro", "intro.htm"}}));
    w.addFile("/intro.htm",
              "<html><head><title>Intro</title></head><body><a href=\"guide/setup.htm\">s</a>"
              "<img src=\"pic.gif\"><a href=\"ms-its:other.chm::/x.htm\">o</a>"
              "<a href=\"http://example.com/A.HTM\">w</a></body></html>");
    w.addFile(
        "/guide/setup.htm",
        "<html><body><a href=\"../intro.htm#top\">back</a><a href=\"#s\">s</a></body></html>");
    w.addFile("/pic.gif", "GIF89a");
    return w;
}

class LinkRepairBuild : public ::testing::Test {
protected:
    // Builds the help into a fresh folder below the test's folder; returns that folder.
    fs::path build(test::ChmWriter& w, int layout, bool fixLinks, const std::string& name) {
        const std::string bytes = w.build();
        EXPECT_FALSE(bytes.empty()) << w.error();
        const fs::path chm = test::writeFile(dir.path() / "Test.chm", bytes);
        const fs::path out = dir.path() / name;
        fs::create_directories(out);
        BuildJob job;
        test::RecordedLog recorded;
        job.observer = &recorded;
        job.chmPath = chm.string();
        job.outputFolder = out.string() + "/";
        job.title = "Test help";
        job.entryPageName = "index.html";
        job.layout = static_cast<Layout>(layout);
        job.buildIndex = layout == 0;
        job.buildSearch = layout == 0;
        job.fixLinks = fixLinks;
        job.linksReportPath = (dir.path() / (name + ".report")).string();
        job.templateFolder = test::sourceDir().string() +
                             (layout == 0 ? "/template/clarity/" : "/template/clarity-noframe/");
        job.runBuild();
        log = recorded.all();
        return out;
    }

    static std::map<std::string, std::string> filesBelow(const fs::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files[fs::relative(entry.path(), folder).generic_string()] =
                    test::readFile(entry.path());
        return files;
    }

    test::TempDir dir;
    std::string log;
};

TEST_F(LinkRepairBuild, FrameSiteLinksNameTheStoredFiles) {
    test::ChmWriter w = sloppyHelp();
    const fs::path out = build(w, 0, true, "on");

    const std::string intro = test::readFile(out / "intro.htm");
    EXPECT_NE(intro.find("<a href=\"guide/setup.htm\">s</a><img src=\"pic.gif\">"),
              std::string::npos)
        << intro;
    EXPECT_NE(intro.find("<a href=\"guide/setup.htm#a\">m</a>"), std::string::npos) << intro;
    EXPECT_NE(intro.find("<a href=\"nothere.htm\">x</a>"), std::string::npos);
    EXPECT_NE(intro.find("<a href=\"ms-its:other.chm::/x.htm\">o</a>"), std::string::npos);
    EXPECT_NE(test::readFile(out / "guide/setup.htm").find("<a href=\"../intro.htm#top\">"),
              std::string::npos);

    // The tree and the keyword index lead to the stored names, and so does the navigation
    // that the pages get from the tree.
    const std::string tree = test::readFile(out / "HelpContent.html");
    EXPECT_NE(tree.find("href='intro.htm'"), std::string::npos) << tree;
    EXPECT_NE(tree.find("href='guide/setup.htm'"), std::string::npos) << tree;
    EXPECT_EQ(tree.find("Intro.htm"), std::string::npos);
    const std::string index = test::readFile(out / "js/indexdata.js");
    EXPECT_NE(index.find("[\"intro\",\"intro.htm\"]"), std::string::npos) << index;
    EXPECT_NE(test::readFile(out / "guide/setup.htm").find("href=\"../intro.htm\"><img"),
              std::string::npos);

    // toc: Intro, Setup; index: INTRO.HTM; intro.htm: three; setup.htm: one.
    EXPECT_NE(log.find("\r\n\r\nlinks repaired: 7, links still unresolved: 2\r\n\r\nDone."),
              std::string::npos)
        << log;
    EXPECT_EQ(test::readFile(dir.path() / "on.report"),
              "Index.hhk\tlost.htm\nintro.htm\tnothere.htm\n");
}

TEST_F(LinkRepairBuild, NoFramePagesFindTheirNodeThroughRepairedLocals) {
    test::ChmWriter w = sloppyHelp();
    const fs::path on = build(w, 1, true, "on");
    const std::string intro = test::readFile(on / "intro.htm");
    // The tree the pages load leads to the stored name.
    EXPECT_NE(test::readFile(on / "HelpContent.js").find(",\"guide/setup.htm\"]"),
              std::string::npos);
    EXPECT_NE(intro.find("<a href=\"guide/setup.htm\">s</a>"), std::string::npos);
    // The page's node is found, so it is marked in the tree: its id, not -1.
    EXPECT_NE(intro.find("var pkCurrentNode = 0;"), std::string::npos) << intro;
    const fs::path off = build(w, 1, false, "off");
    const std::string before = test::readFile(off / "intro.htm");
    EXPECT_NE(test::readFile(off / "HelpContent.js").find(",\"Intro.htm\"]"), std::string::npos);
    EXPECT_NE(before.find("var pkCurrentNode = -1;"), std::string::npos);
    EXPECT_NE(before, intro);
}

TEST_F(LinkRepairBuild, RepairOffLeavesEveryLinkAndWritesNoReport) {
    test::ChmWriter w = sloppyHelp();
    const fs::path out = build(w, 0, false, "off");
    EXPECT_NE(test::readFile(out / "intro.htm").find("<a href=\"Guide/SETUP.htm\">"),
              std::string::npos);
    EXPECT_NE(test::readFile(out / "HelpContent.html").find("href='Intro.htm'"), std::string::npos);
    EXPECT_EQ(log.find("links repaired"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "off.report"));
}

TEST_F(LinkRepairBuild, AHelpWhoseLinksAllResolveBuildsTheSameWithRepairOnAndOff) {
    for (int layout : {0, 1}) {
        test::ChmWriter w = tidyHelp();
        const std::string tag = std::to_string(layout);
        const auto on = filesBelow(build(w, layout, true, "on" + tag));
        EXPECT_NE(log.find("links repaired: 0, links still unresolved: 0"), std::string::npos);
        const auto off = filesBelow(build(w, layout, false, "off" + tag));
        EXPECT_EQ(on.size(), off.size());
        for (const auto& [name, bytes] : off) {
            ASSERT_TRUE(on.count(name)) << name;
            EXPECT_EQ(on.at(name), bytes) << "layout " << layout << ": " << name;
        }
        EXPECT_EQ(test::readFile(dir.path() / ("on" + tag + ".report")), "");
    }
}

TEST_F(LinkRepairBuild, RemovalFragmentsStillMatchARepairedPage) {
    test::ChmWriter w;
    w.addFile("/a.htm", "<body><div class=\"hdr\"><a href=\"B.htm\">b</a></div>text</body>");
    w.addFile("/b.htm", "<body>b</body>");
    const std::string bytes = w.build();
    const fs::path chm = test::writeFile(dir.path() / "Test.chm", bytes);
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    BuildJob job;
    job.chmPath = chm.string();
    job.outputFolder = out.string() + "/";
    job.entryPageName = "a.htm";
    job.title = "t";
    job.buildIndex = job.buildSearch = false;
    job.showNavButtons = job.showRelatedTopics = false;
    job.removeHeader = "<div class=\"hdr\"><a href=\"B.htm\">b</a></div>";
    job.templateFolder = test::sourceDir().string() + "/template/clarity/";
    job.runBuild();
    const std::string page = test::readFile(out / "a.htm");
    EXPECT_EQ(page.find("hdr"), std::string::npos) << page;
    EXPECT_NE(page.find("text"), std::string::npos);
}

}  // namespace
}  // namespace plovik
