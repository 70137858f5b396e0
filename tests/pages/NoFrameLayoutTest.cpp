// The no-frame layout: topic pages merged into the template, and the redirect page.

#include <gtest/gtest.h>

#include "pages/NoFrameHtmlProcessor.h"
#include "pages/PagesFixture.h"
#include "platform/TextFile.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

SitemapNode node(int id, int parentId, std::string name, std::string local) {
    SitemapNode n;
    n.id = id;
    n.parentId = parentId;
    n.level = parentId < 0 ? 1 : 2;
    n.name = std::move(name);
    n.local = std::move(local);
    return n;
}

class NoFrameLayout : public ::testing::Test {
protected:
    NoFrameLayout() : processor(recorded.options, recorded.progress) {
        recorded.options.title = "My Help";
        recorded.nodes = {node(0, -1, "Intro", "intro.htm"), node(1, -1, "Guide", ""),
                          node(2, 1, "Setup Node", "guide/setup.htm"),
                          node(3, 1, "Use", "guide/use.htm")};
        recorded.configure(processor, out.folder(), test::templateData("noframe"));
        processor.SetTemplatePaths();
        test::writeFile(out.path() / "HelpContent.html",
                        "<ul><li><a href='{root_url}intro.htm'>Intro</a></li></ul>");
    }

    std::string process(const std::string& relPath, const std::string& content, int tocId,
                        const std::string& tocTitle) {
        const auto page = test::writeFile(out.path() / relPath, content);
        processor.m_rootPrefix = relPath.find('/') == std::string::npos ? "" : "../";
        EXPECT_TRUE(processor.ProcessPage(page.string(), relPath, tocId, tocTitle));
        return test::readFile(page);
    }

    test::TempDir out;
    test::RecordedJob recorded;
    CNoFrameHtmlProcessor processor;
};

TEST_F(NoFrameLayout, TemplatePathsComeFromTheTwoFolders) {
    EXPECT_EQ(processor.m_templatePath, test::templateData("noframe") + "noframe.tpl");
    EXPECT_EQ(processor.m_headerFilePath, test::templateData("noframe") + "header.html");
    EXPECT_EQ(processor.m_footerFilePath, test::templateData("noframe") + "footor.html");
    EXPECT_EQ(processor.m_contentsPagePath, out.folder() + "HelpContent.html");
}

TEST_F(NoFrameLayout, PageInASubfolderReachesTreeAssetsAndNeighboursThroughTheRoot) {
    processor.m_showNavButtons = true;
    processor.m_showRelatedTopics = true;
    recorded.log.clear();
    const std::string page = process(
        "guide/setup.htm",
        "<html><head><title>Setup</title></head><body>Text {title}</body></html>", 2, "Setup Node");
    EXPECT_EQ(recorded.log, "....");
    EXPECT_NE(page.find("<title>Setup - My Help</title>"), std::string::npos);
    EXPECT_NE(page.find("content=\"Setup\"><meta name=\"description\" content=\"Setup\">"),
              std::string::npos);
    EXPECT_NE(page.find("href=\"../css/site.css\""), std::string::npos);
    EXPECT_NE(page.find("<body data-treeid=\"2\">"), std::string::npos);
    EXPECT_NE(page.find("<a href='../intro.htm'>Intro</a>"), std::string::npos);  // the tree
    EXPECT_NE(page.find("<header><a href=\"../index.html\"><img src=\"../images/prev.gif\""),
              std::string::npos);
    EXPECT_NE(page.find("<footer>Template footer</footer>"), std::string::npos);
    EXPECT_NE(page.find("<main><div align=right><a href=\"../intro.htm\"><img "
                        "src=../images/prev.gif border=0></a>&nbsp;<a href=\"../guide/use.htm\">"),
              std::string::npos);
    EXPECT_NE(page.find("<a href=\"../guide/use.htm\">Use</a><br></div></main>"),
              std::string::npos);
    // The page's own content, with a placeholder in it replaced like any other.
    EXPECT_NE(page.find("<div class=\"content\"><html><head><title>Setup</title></head><body>Text "
                        "My Help</body></html></div>"),
              std::string::npos);
    EXPECT_EQ(page.find('{'), std::string::npos);
}

TEST_F(NoFrameLayout, UntitledPagesTakeTheirNodesName) {
    std::string page = process("guide/setup.htm", "<title>Untitled Document</title><body>x</body>",
                               2, "Setup Node");
    EXPECT_NE(page.find("<title>Setup Node - My Help</title>"), std::string::npos);
    page = process("loose.htm", "<body>no title</body>", -1, "");
    EXPECT_NE(page.find("<title> - My Help</title>"), std::string::npos);
    EXPECT_NE(page.find("data-treeid=\"-1\""), std::string::npos);
}

TEST_F(NoFrameLayout, UsersHeaderAndFooterReplaceTheTemplatesAndNavigationCanBeOff) {
    processor.m_addHeader = true;
    processor.m_header = "<b>my header</b>";
    processor.m_addFooter = true;
    processor.m_footer = "<i>my footer</i>";
    const std::string page = process("intro.htm", "<body>x</body>", 0, "Intro");
    EXPECT_NE(page.find("<header><b>my header</b></header>"), std::string::npos);
    EXPECT_NE(page.find("<footer><i>my footer</i></footer>"), std::string::npos);
    EXPECT_NE(page.find("<main>\r\n<div class=\"content\">"), std::string::npos);
    EXPECT_EQ(page.find("align=right"), std::string::npos);
}

TEST_F(NoFrameLayout, RemovalsApplyToThePageBeforeItIsPasted) {
    processor.m_removeHeader = true;
    processor.m_headerToRemove = "Template header";
    processor.m_removeFooter = true;
    processor.m_footerToRemove = "<p>old footer</p>";
    const std::string page =
        process("intro.htm", "<body>Template header<p>old footer</p>text</body>", 0, "Intro");
    EXPECT_NE(page.find("<div class=\"content\"><body>text</body></div>"), std::string::npos);
    EXPECT_NE(page.find("> Template header"), std::string::npos);  // the template's own stays
}

// A reader is never shown a placeholder: a part whose file is missing is empty, and the log says
// which file it was.
TEST_F(NoFrameLayout, MissingPartsAreEmptyAndTheLogNamesThem) {
    processor.m_templateFolder = out.folder() + "no-template/";
    recorded.pageList = {"intro.htm"};
    recorded.log.clear();
    ASSERT_TRUE(processor.WriteSitePages("intro.htm"));
    EXPECT_NE(recorded.log.find(out.folder() + "no-template/header.html is missing"),
              std::string::npos);
    EXPECT_NE(recorded.log.find(out.folder() + "no-template/footor.html is missing"),
              std::string::npos);
    processor.m_templateFolder = test::templateData("noframe");
    processor.SetTemplatePaths();
    processor.m_headerFilePath = out.folder() + "no-header.html";
    std::filesystem::remove(out.path() / "HelpContent.html");
    const std::string page = process("intro.htm", "<body>x</body>", 0, "Intro");
    EXPECT_NE(page.find("<header></header>"), std::string::npos);
    EXPECT_NE(page.find("<nav></nav>"), std::string::npos);
}

TEST_F(NoFrameLayout, EachPageGetsThePastedFilesAsTheyAreNow) {
    EXPECT_NE(process("a.htm", "x", -1, "").find("'intro.htm'>Intro"), std::string::npos);
    test::writeFile(out.path() / "HelpContent.html", "<ul><li>changed tree</li></ul>");
    EXPECT_NE(process("b.htm", "x", -1, "").find("changed tree"), std::string::npos);
    // A help page that has the tree page's name is rewritten like any other page; the pages
    // after it get the rewritten file.
    process("HelpContent.html", "own page", -1, "");
    EXPECT_NE(process("c.htm", "x", -1, "").find("own page"), std::string::npos);
}

TEST_F(NoFrameLayout, LineBreaksOfThePageAreNotDoubled) {
    const std::string page =
        process("intro.htm", "<body><pre>one\r\ntwo\nthree</pre></body>", 0, "");
    EXPECT_NE(page.find("<pre>one\r\ntwo\r\nthree</pre>"), std::string::npos);
    EXPECT_EQ(page.find("\r\r"), std::string::npos);
}

TEST_F(NoFrameLayout, WithoutItsTemplateAPageStaysAsExtracted) {
    processor.m_templatePath = out.folder() + "missing.tpl";
    const auto path = test::writeFile(out.path() / "intro.htm", "<body>keep me</body>");
    EXPECT_FALSE(processor.ProcessPage(path.string(), "intro.htm", 0, "Intro"));
    EXPECT_EQ(test::readFile(path), "<body>keep me</body>");
    EXPECT_FALSE(processor.ProcessPage(out.folder() + "absent.htm", "absent.htm", -1, ""));
}

TEST_F(NoFrameLayout, PageLoopLogsFiveDotsPerPage) {
    test::writeFile(out.path() / "intro.htm", "<body>i</body>");
    recorded.pageList = {"intro.htm"};
    recorded.log.clear();
    ASSERT_TRUE(processor.ProcessAllPages());
    EXPECT_EQ(recorded.log, "\r\n   process :intro.htm.....ok");
}

TEST(RedirectIndex, RefreshesToTheEntryPage) {
    test::TempDir out;
    ASSERT_TRUE(WriteRedirectIndex(out.folder(), "html/first.htm"));
    EXPECT_EQ(test::readFile(out.path() / "index.html"),
              "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=html/first.htm\">");
    EXPECT_FALSE(WriteRedirectIndex(out.folder() + "missing/", "a.htm"));
}

}  // namespace
}  // namespace plovik
