// The frame layout's pages: the topic pages rewritten in place, the entry page, the header and
// the left panel, and the page loop's log.

#include <gtest/gtest.h>

#include "pages/FrameHtmlProcessor.h"
#include "pages/PagesFixture.h"
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

// The script that marks a search's words in the topic it opened, for a page `root` below the site.
std::string marker(const std::string& root) {
    return "<script src=\"" + root + "js/mark.js\"></script>";
}

std::string prompt(const std::string& link) {
    return "<script type=\"text/JavaScript\">  if(window.name != "
           "\"mainFrame\"){document.write(\"<div "
           "class='prompt_div'>Click <a href='" +
           link + "'>here</a> to view all files</div>\");}</script>";
}

class FrameLayout : public ::testing::Test {
protected:
    FrameLayout() : processor(recorded.options, recorded.progress) {
        recorded.options.title = "My Help";
        recorded.options.entryPageName = "Help.html";
        recorded.nodes = {
            node(0, -1, "Intro", "intro.htm"), node(1, -1, "Guide", "guide/guide.htm"),
            node(2, 1, "Setup", "guide/setup.htm"), node(3, 1, "Use", "guide/use.htm")};
        recorded.configure(processor, out.folder(), test::templateData("frame"));
    }

    test::TempDir out;
    test::RecordedJob recorded;
    CFrameHtmlProcessor processor;
};

TEST_F(FrameLayout, TopicPageGetsPromptNavigationRelatedTopicsAndFooter) {
    processor.m_showNavButtons = true;
    processor.m_showRelatedTopics = true;
    processor.m_addFooter = true;
    processor.m_footer = "<div>FOOT</div>";
    processor.m_removeHeader = true;
    processor.m_headerToRemove = "<p>ad</p>";
    processor.m_removeFooter = true;
    processor.m_footerToRemove = "<p>absent</p>";
    ASSERT_TRUE(processor.WriteEntryPage("intro.htm"));

    const auto page =
        test::writeFile(out.path() / "guide/setup.htm",
                        "<html><head><title>Setup</title></head>\r\n<BODY "
                        "bgcolor=white>\r\n<p>ad</p><p>Setup text</p>\r\n</BODY></html>");
    processor.m_rootPrefix = "../";
    recorded.log.clear();
    ASSERT_TRUE(processor.ProcessPage(page.string(), "guide/setup.htm", 2, "Setup"));
    EXPECT_EQ(recorded.log, ".....");

    const std::string nav =
        "<div align=right><a href=\"../guide/guide.htm\"><img src=../images/prev.gif "
        "border=0></a>&nbsp;<a href=\"../guide/use.htm\"><img src=../images/next.gif "
        "border=0></a></div>";
    const std::string related =
        "<div style=\"font-size:12px;font-family:Arial;\"><b>Relate Topics:</b><br>&nbsp;&nbsp;<a "
        "href=\"../guide/use.htm\">Use</a><br></div>";
    EXPECT_EQ(test::readFile(page),
              "<html><head><title>Setup</title></head>\r\n<BODY bgcolor=white>" +
                  prompt("../Help.html") + nav + "\r\n<p>Setup text</p>\r\n" +
                  "<script src=\"../js/topic-fit.js\" data-nav=\"1\"></script>" + related +
                  "<div>FOOT</div>" + marker("../") + "</BODY></html>");
}

TEST_F(FrameLayout, PageWithoutBodyTagsIsFramedByItsInsertions) {
    processor.m_showNavButtons = true;
    ASSERT_TRUE(processor.WriteEntryPage("intro.htm"));
    const auto page = test::writeFile(out.path() / "intro.htm", "plain");
    processor.m_rootPrefix = "";
    ASSERT_TRUE(processor.ProcessPage(page.string(), "intro.htm", 0, "Intro"));
    EXPECT_EQ(
        test::readFile(page),
        prompt("Help.html") +
            "<div align=right><a href=\"guide/guide.htm\"><img src=images/next.gif "
            "border=0></a></div>plain<script src=\"js/topic-fit.js\" data-nav=\"1\"></script>" +
            marker(""));
}

TEST_F(FrameLayout, UnreadablePageFails) {
    EXPECT_FALSE(processor.ProcessPage(out.folder() + "absent.htm", "absent.htm", -1, ""));
    EXPECT_FALSE(processor.ProcessPage("", "", -1, ""));
}

TEST_F(FrameLayout, EntryPageIsTheFilledFrameTemplate) {
    recorded.log.clear();
    ASSERT_TRUE(processor.WriteEntryPage("guide/setup.htm"));
    EXPECT_EQ(recorded.log, ".....");
    EXPECT_EQ(processor.m_entryFileName, "Help.html");
    const std::string entry = test::readFile(out.path() / "Help.html");
    EXPECT_NE(entry.find("<meta charset=\"utf-8\"><title>My Help</title>"), std::string::npos);
    EXPECT_NE(entry.find("<iframe src=\"guide/setup.htm\" name=\"mainFrame\">"), std::string::npos);
    EXPECT_NE(entry.find("\r\n"), std::string::npos);  // templates are written in text mode

    // Without a contents file the first topic is empty; the page is still written.
    processor.m_entryFileName = "Other.html";
    ASSERT_TRUE(processor.WriteEntryPage(""));
    EXPECT_NE(
        test::readFile(out.path() / "Other.html").find("<iframe src=\"\" name=\"mainFrame\">"),
        std::string::npos);
}

TEST_F(FrameLayout, EntryNamesThatLeaveTheOutputFolderAreRefused) {
    for (const char* name : {"", "/tmp/x.html", "../x.html", "sub/../../x.html"}) {
        processor.m_entryFileName = name;
        EXPECT_FALSE(processor.WriteEntryPage("intro.htm")) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(out.path().parent_path() / "x.html"));
}

TEST_F(FrameLayout, PromptLinkSurvivesQuotesInTheEntryName) {
    processor.m_entryFileName = "Bob's \"Help\" #1.html";
    ASSERT_TRUE(processor.WriteEntryPage("intro.htm"));
    const auto page = test::writeFile(out.path() / "a.htm", "<body>x</body>");
    processor.m_rootPrefix = "";
    ASSERT_TRUE(processor.ProcessPage(page.string(), "a.htm", -1, ""));
    EXPECT_EQ(test::readFile(page), "<body>" + prompt("Bob%27s %22Help%22 %231.html") +
                                        "x<script src=\"js/topic-fit.js\"></script>" + marker("") +
                                        "</body>");
}

TEST_F(FrameLayout, HeaderPageIsTheUsersHeaderOrTheTemplate) {
    ASSERT_TRUE(processor.WriteHeaderPage());
    EXPECT_EQ(test::readFile(out.path() / "header.html"),
              "<html><body><h1>My Help</h1></body></html>\r\n");

    processor.m_addHeader = true;
    processor.m_header = "<b>mine</b>\n";
    ASSERT_TRUE(processor.WriteHeaderPage());
    EXPECT_EQ(test::readFile(out.path() / "header.html"), "<b>mine</b>\r\n");

    processor.m_outputFolder = out.folder() + "missing/";
    EXPECT_FALSE(processor.WriteHeaderPage());
}

TEST_F(FrameLayout, LeftPanelListsIndexAndSearchWhenBuilt) {
    processor.m_indexLink = false;
    processor.m_searchLink = false;
    ASSERT_TRUE(processor.WriteLeftPanel());
    EXPECT_EQ(test::readFile(out.path() / "LeftPanel.html"),
              "<html><body><ul><li><a href=\"HelpContent.html\" "
              "rel=\"#iframe\">Contents</a></li></ul></body></html>\r\n");

    processor.m_indexLink = true;
    processor.m_searchLink = true;
    ASSERT_TRUE(processor.WriteLeftPanel());
    const std::string panel = test::readFile(out.path() / "LeftPanel.html");
    EXPECT_NE(panel.find("<li><a href=\"HelpIndex.html\" rel=\"#iframe\">Index</a></li><li><a "
                         "href=\"HelpSearch.html\" rel=\"#iframe\">Search</a></li>"),
              std::string::npos);
}

TEST_F(FrameLayout, PageLoopLogsEveryPageAndStopsAtTheCheckpoint) {
    test::writeFile(out.path() / "intro.htm", "<body>i</body>");
    test::writeFile(out.path() / "guide/setup.htm", "<body>s</body>");
    recorded.pageList = {"intro.htm", "gone.htm", "guide/setup.htm"};
    ASSERT_TRUE(processor.WriteEntryPage("intro.htm"));
    recorded.log.clear();
    recorded.counted = 0;
    ASSERT_TRUE(processor.ProcessAllPages());
    EXPECT_EQ(recorded.log,
              "\r\n   process :intro.htm......ok"
              "\r\n   process :gone.htm.failed"
              "\r\n   process :guide/setup.htm......ok");
    EXPECT_EQ(recorded.counted, 3);
    EXPECT_NE(test::readFile(out.path() / "guide/setup.htm").find("href='../Help.html'"),
              std::string::npos);

    // A stop requested before the loop ends it after the first page.
    recorded.pageList = {"intro.htm", "guide/setup.htm"};
    recorded.stopRequested = true;
    recorded.log.clear();
    EXPECT_FALSE(processor.ProcessAllPages());
    EXPECT_EQ(recorded.log, "\r\n   process :intro.htm......ok");
}

}  // namespace
}  // namespace plovik
