// The site's context help: the map file and the context page from hostile names, the names of the
// ids read from a project and what it includes, and whole builds of the test help with context
// ids in both layouts (the page itself is driven in a browser by tests/browser).

#include <gtest/gtest.h>

#include "StageRun.h"
#include "chm/ChmDiagnostics.h"
#include "pipeline/BuildJob.h"
#include "pipeline/ContextHelp.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

TEST(ContextHelpFiles, TheMapFileQuotesAsRfc4180AndDisarmsFormulas) {
    const std::vector<SiteContextId> ids = {
        {1001, "IDH_A", "topic_a.htm", ""},
        {1002, "", "sub/b, c.htm", "#part"},
        {1003, "IDH_Q", "say \"hi\".htm", ""},
        {1004, "IDH_LINE", "two\nlines.htm", ""},
        {1005, "IDH_GONE", "", ""},
        {1006, "=HYPERLINK(\"x\")", "=cmd|' /C calc'!A0.htm", ""},
        {1007, "-IDH", "@sum.htm", ""},
    };
    EXPECT_EQ(contextMapCsv(ids),
              "id,alias,page\r\n"
              "1001,IDH_A,topic_a.htm\r\n"
              "1002,,\"sub/b, c.htm#part\"\r\n"
              "1003,IDH_Q,\"say \"\"hi\"\".htm\"\r\n"
              "1004,IDH_LINE,\"two\nlines.htm\"\r\n"
              "1005,IDH_GONE,\r\n"
              "1006,\"'=HYPERLINK(\"\"x\"\")\",./=cmd|' /C calc'!A0.htm\r\n"
              "1007,'-IDH,./@sum.htm\r\n");
}

TEST(ContextHelpFiles, PageNamesBecomeEscapedRelativeUrls) {
    EXPECT_EQ(pageUrl("html/Topic_1-a.b~c.htm"), "html/Topic_1-a.b~c.htm");
    EXPECT_EQ(pageUrl("a b/c#d?e&f%g'h\"i<j>.htm"), "a%20b/c%23d%3Fe%26f%25g%27h%22i%3Cj%3E.htm");
    EXPECT_EQ(pageUrl("javascript:alert(1)"), "javascript%3Aalert%281%29");
    EXPECT_EQ(pageUrl("\xE7\xAE\x80.html"), "%E7%AE%80.html");
}

// Whatever a help's names hold, the page's script element stays one element holding data: no
// name can end it, open another or break out of its string.
TEST(ContextHelpFiles, HostileNamesStayDataInThePagesScript) {
    const std::vector<SiteContextId> ids = {
        {1, "</script><script>window.__pwned=1</script>",
         "a</script><img src=x onerror=alert(1)>.htm", ""},
        {2, "\"]; window.__pwned=2; //", "b\\\".htm", ""},
        {3, "line\xE2\x80\xA8sep", "<!--c.htm", ""},
        {4, "IDH_GONE", "", ""},  // opens no page: not in the page's data
    };
    const std::string page = contextPageHtml(ids, "index.html", "index.html");
    auto count = [&page](std::string_view what) {
        std::size_t n = 0;
        for (std::size_t at = page.find(what); at != std::string::npos;
             at = page.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("<script"), 1u);
    EXPECT_EQ(count("</script"), 1u);
    EXPECT_EQ(count("<!--"), 0u);
    EXPECT_EQ(count("<img"), 0u);
    EXPECT_EQ(count("\xE2\x80\xA8"), 0u);
    EXPECT_EQ(count("IDH_GONE"), 0u);
    EXPECT_NE(page.find("\\u003C/script\\u003E\\u003Cscript\\u003Ewindow.__pwned=1"),
              std::string::npos);
    EXPECT_NE(page.find("\"\\\"]; window.__pwned=2; //\""), std::string::npos);
    // The address of each page is the escaped name, and never a scheme.
    EXPECT_NE(page.find("\"a%3C/script%3E%3Cimg%20src%3Dx%20onerror%3Dalert%281%29%3E.htm\""),
              std::string::npos);
}

TEST(ContextHelpFiles, NamesFollowIncludesOnceAndSayWhatCouldNotBeRead) {
    test::TempDir dir;
    test::writeFile(dir.path() / "help.hhp",
                    "[ALIAS]\n#include alias.h\n[MAP]\n#include inc\\map.h\n#include gone.h\n"
                    "#define IDH_OWN 1\n");
    test::writeFile(dir.path() / "alias.h", "IDH_A=a.htm\n");
    test::writeFile(dir.path() / "inc" / "map.h",
                    "#define IDH_A 2\n#define IDH_OWN_AGAIN 1\n#include \"../help.hhp\"\n");
    std::map<std::uint32_t, std::string> names;
    std::string whyNot;
    EXPECT_TRUE(loadContextNames((dir.path() / "help.hhp").string(), names, whyNot));
    EXPECT_EQ(names, (std::map<std::uint32_t, std::string>{{1, "IDH_OWN"}, {2, "IDH_A"}}));
    EXPECT_NE(whyNot.find("gone.h cannot be read"), std::string::npos) << whyNot;

    names.clear();
    EXPECT_FALSE(loadContextNames((dir.path() / "none.h").string(), names, whyNot));
    EXPECT_NE(whyNot.find("none.h cannot be read"), std::string::npos) << whyNot;
}

class ContextHelpBuild : public ::testing::TestWithParam<Layout> {
protected:
    // Builds the test help with context ids into `out`; the log is returned.
    std::string build(const test::TempDir& out, const fs::path& chm, std::string names = {}) {
        BuildJob job;
        test::RecordedLog log;
        job.observer = &log;
        job.chmPath = chm.string();
        job.outputFolder = out.folder();
        job.title = "Context ids";
        job.entryPageName = "index.html";
        job.layout = GetParam();
        job.buildIndex = false;
        job.buildSearch = false;
        job.contextNamesPath = std::move(names);
        job.templateFolder =
            test::sourceDir().string() +
            (GetParam() == Layout::Frame ? "/template/clarity/" : "/template/clarity-noframe/");
        job.runBuild();
        entryPage = job.entryPageName;
        return log.all();
    }
    std::string entryPage;
};

TEST_P(ContextHelpBuild, AHelpWithContextIdsGetsItsPageAndMap) {
    test::TempDir out;
    const std::string log =
        build(out, test::dataDir() / "context-ids.chm",
              (test::dataDir() / "helps" / "context-ids" / "context-ids.hhp").string());
    EXPECT_NE(log.find("\r\nbuild context map......ok\r\n"), std::string::npos) << log;
    EXPECT_EQ(test::readFile(out.path() / "helpmap.csv"),
              "id,alias,page\r\n"
              "1001,IDH_TOPIC_A,topic_a.htm\r\n"
              "1002,IDH_TOPIC_B,topic_b.htm\r\n"
              "1003,IDH_TOPIC_C,topic_c.htm\r\n"
              "1004,IDH_TOPIC_D,sub/topic_d.htm\r\n");
    const std::string page = test::readFile(out.path() / "context.html");
    EXPECT_NE(page.find("[1004, \"IDH_TOPIC_D\", \"sub/topic_d.htm\", \"sub/topic_d.htm\"]"),
              std::string::npos);
    // The framed site opens topics in its entry page; the no-frame site opens the page itself.
    EXPECT_NE(page.find(GetParam() == Layout::Frame ? "var FRAME_PAGE = \"" + entryPage + "\";"
                                                    : std::string("var FRAME_PAGE = \"\";")),
              std::string::npos);
}

// The map is read from a second opening of the help, which must not repeat the container's
// diagnostic lines that a verbose build shows once, as extraction opens it.
TEST_P(ContextHelpBuild, TheContainersLinesAreShownOnce) {
    struct Counting : DiagnosticSink {
        std::string all;
        void write(DiagnosticStream, std::string_view text) override { all.append(text); }
    } sink;
    setDiagnosticSink(&sink);
    test::TempDir out;
    build(out, test::dataDir() / "context-ids.chm");
    setDiagnosticSink(nullptr);
    EXPECT_TRUE(std::filesystem::exists(out.path() / "context.html"));
    const std::size_t first = sink.all.find("name = MSCompressed");
    ASSERT_NE(first, std::string::npos) << sink.all;
    EXPECT_EQ(sink.all.find("name = MSCompressed", first + 1), std::string::npos) << sink.all;
}

TEST_P(ContextHelpBuild, WithoutNamesTheIdsStillOpenTheirPages) {
    test::TempDir out;
    build(out, test::dataDir() / "context-ids.chm");
    const std::string csv = test::readFile(out.path() / "helpmap.csv");
    EXPECT_NE(csv.find("1003,,topic_c.htm\r\n"), std::string::npos) << csv;
}

TEST_P(ContextHelpBuild, AHelpWithoutContextIdsGetsNeitherFileNorLogLine) {
    test::TempDir out;
    const std::string log = build(out, test::dataDir() / "library-a.chm");
    EXPECT_EQ(log.find("context map"), std::string::npos);
    EXPECT_FALSE(fs::exists(out.path() / "context.html"));
    EXPECT_FALSE(fs::exists(out.path() / "helpmap.csv"));
}

// A help whose map names what is no page: a script address, an image, a missing file; and which
// holds a context.html of its own, which the build must not write over.
TEST_P(ContextHelpBuild, OnlyPagesOfTheSiteOpenAndTheHelpsOwnFilesStay) {
    test::ChmWriter writer;
    writer.addFile("/context.html", "<p>the help's own page</p>");
    writer.addFile("/topic.htm", "<p>topic</p>");
    writer.addFile("/logo.gif", "GIF89a");
    const std::string strings =
        std::string("\0topic.htm#intro\0javascript:alert(1)\0logo.gif\0", 46) + "gone.htm" +
        std::string(1, '\0');
    std::string ivb;
    auto put = [&ivb](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            ivb += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(32);
    put(1), put(1);
    put(2), put(17);
    put(3), put(37);
    put(4), put(46);
    writer.addFile("/#IVB", ivb);
    writer.addFile("/#STRINGS", strings);
    test::TempDir chmDir;
    const fs::path chm = test::writeFile(chmDir.path() / "map.chm", writer.build());

    test::TempDir out;
    const std::string log = build(out, chm);
    const std::string own = test::readFile(out.path() / "context.html");
    EXPECT_NE(own.find("<p>the help's own page</p>"), std::string::npos);
    EXPECT_EQ(own.find("var IDS"), std::string::npos);
    EXPECT_EQ(test::readFile(out.path() / "helpmap.csv"),
              "id,alias,page\r\n1,,topic.htm#intro\r\n2,,\r\n3,,\r\n4,,\r\n");
    const std::string page = test::readFile(out.path() / "context-2.html");
    EXPECT_NE(page.find("[1, \"\", \"topic.htm\", \"topic.htm#intro\"]"), std::string::npos);
    EXPECT_EQ(page.find("javascript"), std::string::npos);
    EXPECT_EQ(page.find("logo.gif"), std::string::npos);
    EXPECT_NE(log.find("the context page is context-2.html"), std::string::npos) << log;
    EXPECT_NE(log.find("3 of 4 context ids open no page of the site, the first id 2 "
                       "(javascript:alert(1))"),
              std::string::npos)
        << log;
}

INSTANTIATE_TEST_SUITE_P(Layouts, ContextHelpBuild,
                         ::testing::Values(Layout::Frame, Layout::NoFrame),
                         [](const ::testing::TestParamInfo<Layout>& param) {
                             return param.param == Layout::Frame ? "Frame" : "NoFrame";
                         });

}  // namespace
}  // namespace plovik
