// The no-frame layout's site-wide parts: the contents tree written once as data that every page
// loads, the page's place in the contents as plain links, and what the pages tell search engines
// once the site's address is known.

#include <gtest/gtest.h>

#include "pages/NoFrameHtmlProcessor.h"
#include "pages/PageLinks.h"
#include "pages/PagesFixture.h"
#include "pages/SiteAddress.h"
#include "pages/TableOfContents.h"
#include "platform/TextFile.h"
#include "support/TempDir.h"
#include "text/Utf8.h"

namespace plovik {
namespace {

SitemapNode node(int id, int parentId, std::string name, std::string local) {
    SitemapNode n;
    n.id = id;
    n.parentId = parentId;
    n.name = std::move(name);
    n.local = std::move(local);
    return n;
}

std::size_t count(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size()))
        ++n;
    return n;
}

constexpr const char* kTemplate =
    "<html><head><title>{metatitle}</title><meta name=\"description\" "
    "content=\"{description}\">{canonical}</head>\n"
    "<body><nav>{breadcrumbs}</nav><ul id=\"pk-tree\"></ul>{content}"
    "<script>var pkCurrentNode = {treeid};</script><script src=\"{tree_data}\"></script>"
    "</body></html>";

class NoFrameSite : public ::testing::Test {
protected:
    NoFrameSite() {
        recorded.options.title = "My Help";
        recorded.nodes = {node(0, -1, "Intro", "intro.htm"), node(1, -1, "Guide {title}", ""),
                          node(2, 1, "Setup <b>", "guide/setup.htm#top"),
                          node(3, 2, "Deep", "guide/deep/page.htm")};
        recorded.pageList = {"intro.htm", "guide/setup.htm", "guide/deep/page.htm"};
        test::writeFile(out.path() / "tpl" / "noframe.tpl", kTemplate);
        test::writeFile(out.path() / "tpl" / "header.html", "");
        test::writeFile(out.path() / "tpl" / "footor.html", "");
    }

    // A processor for these options, with its site pages written.
    std::unique_ptr<CNoFrameHtmlProcessor> site(const std::string& baseUrl = {}) {
        recorded.options.baseUrl = baseUrl;
        auto p = std::make_unique<CNoFrameHtmlProcessor>(recorded.options, recorded.progress);
        recorded.configure(*p, out.folder(), out.folder() + "tpl/");
        p->SetStoredFiles(stored);
        EXPECT_TRUE(p->WriteSitePages("intro.htm"));
        return p;
    }

    std::string process(CNoFrameHtmlProcessor& p, const std::string& relPath,
                        const std::string& content, int tocId) {
        const auto page = test::writeFile(out.path() / relPath, content);
        p.m_rootPrefix = rootPrefixOf(relPath);
        EXPECT_TRUE(p.ProcessPage(page.string(), relPath, tocId, ""));
        return test::readFile(page);
    }

    test::TempDir out;
    test::RecordedJob recorded;
    std::vector<std::string> stored = {"intro.htm", "guide/setup.htm", "guide/deep/page.htm"};
};

TEST_F(NoFrameSite, TheTreeIsWrittenOnceAndEveryPageLoadsItFromTheRoot) {
    auto p = site();
    const std::string data = test::readFile(out.path() / "HelpContent.js");
    EXPECT_EQ(data.rfind("var pkTreeData=[", 0), 0u);  // ASCII: no byte order mark
    EXPECT_NE(data.find("[3,2,\"Deep\",\"guide/deep/page.htm\"]"), std::string::npos);
    const std::string page = process(*p, "guide/deep/page.htm", "<body>x</body>", 3);
    EXPECT_NE(page.find("<script src=\"../../HelpContent.js\"></script>"), std::string::npos);
    EXPECT_NE(page.find("var pkCurrentNode = 3;"), std::string::npos);
    // No tree in the page itself: its size does not grow with the contents.
    EXPECT_EQ(page.find("Intro"), std::string::npos);
}

TEST_F(NoFrameSite, TheDataFileTakesANameNoFileOfTheHelpHas) {
    stored.push_back("helpcontent.JS");
    stored.push_back("HelpContent_1.js");
    auto p = site();
    EXPECT_EQ(p->m_treeDataName, "HelpContent_2.js");
    EXPECT_TRUE(std::filesystem::exists(out.path() / "HelpContent_2.js"));
    EXPECT_NE(process(*p, "intro.htm", "x", 0).find("src=\"HelpContent_2.js\""), std::string::npos);
}

TEST_F(NoFrameSite, ATemplateThatDoesNotLoadTheDataGetsNoDataFile) {
    test::writeFile(out.path() / "tpl" / "noframe.tpl", "<nav>{tree}</nav>{content}");
    auto p = site();
    EXPECT_TRUE(p->m_treeDataName.empty());
    EXPECT_FALSE(std::filesystem::exists(out.path() / "HelpContent.js"));
}

TEST_F(NoFrameSite, BreadcrumbsLinkTheAncestorsAsPlainHtml) {
    auto p = site();
    const std::string page = process(*p, "guide/deep/page.htm", "<body>x</body>", 3);
    // The heading without a page is named, not linked; the link keeps its fragment; the names
    // stay text, and a placeholder in a name is not filled.
    EXPECT_NE(page.find("<nav><ol><li><span>Guide &#123;title}</span></li><li><a "
                        "href=\"../../guide/setup.htm#top\">Setup &lt;b&gt;</a></li><li "
                        "aria-current=\"page\">Deep</li></ol></nav>"),
              std::string::npos);
    // A top-level page and a page outside the contents have no trail.
    EXPECT_NE(process(*p, "intro.htm", "x", 0).find("<nav></nav>"), std::string::npos);
    EXPECT_NE(process(*p, "loose.htm", "x", -1).find("<nav></nav>"), std::string::npos);
}

TEST_F(NoFrameSite, BreadcrumbsEndWhenParentsPointInACircle) {
    recorded.nodes = {node(0, 2, "A", "a.htm"), node(1, 0, "B", "b.htm"), node(2, 1, "C", "c.htm"),
                      node(3, 3, "Self", "s.htm")};
    auto p = site();
    const std::string page = process(*p, "b.htm", "x", 1);
    EXPECT_NE(page.find("<ol><li><a href=\"c.htm\">C</a></li><li><a href=\"a.htm\">A</a></li><li "
                        "aria-current=\"page\">B</li></ol>"),
              std::string::npos);
    EXPECT_NE(process(*p, "s.htm", "x", 3).find("<nav></nav>"), std::string::npos);
}

TEST_F(NoFrameSite, WithoutAnAddressNothingIsWrittenForSearchEngines) {
    auto p = site();
    const std::string page = process(*p, "intro.htm",
                                     "<title>Intro</title><body><p>The first sentence. "
                                     "More.</p></body>",
                                     0);
    EXPECT_NE(page.find("content=\"Intro\"></head>"), std::string::npos);
    EXPECT_EQ(page.find("canonical"), std::string::npos);
    ASSERT_TRUE(p->FinishSite());
    EXPECT_FALSE(std::filesystem::exists(out.path() / "sitemap.xml"));
}

TEST_F(NoFrameSite, WithAnAddressEveryPageIsCanonicalDescribedAndInTheSitemap) {
    auto p = site("https://example.org/docs/");
    const std::string page =
        process(*p, "guide/setup.htm",
                "<html><head><title>Setup</title></head><body><h1>Setup</h1>"
                "<p>Installs the <b>tool</b> &amp; its \"files\". Then more.</p></body></html>",
                2);
    EXPECT_NE(page.find("<link rel=\"canonical\" "
                        "href=\"https://example.org/docs/guide/setup.htm\"></head>"),
              std::string::npos);
    EXPECT_NE(page.find("content=\"Installs the tool &amp; its &quot;files&quot;. Then more.\""),
              std::string::npos);
    // A page with no text of its own is described by its title.
    EXPECT_NE(
        process(*p, "intro.htm", "<title>Intro</title><body></body>", 0).find("content=\"Intro\""),
        std::string::npos);
    ASSERT_TRUE(p->FinishSite());
    const std::string sitemap = test::readFile(out.path() / "sitemap.xml");
    EXPECT_EQ(count(sitemap, "<url>"), 3u);
    EXPECT_NE(sitemap.find("<loc>https://example.org/docs/guide/deep/page.htm</loc>"),
              std::string::npos);
}

TEST_F(NoFrameSite, ATemplateWithoutTheCanonicalPlaceholderGetsTheLinkInItsOwnHead) {
    test::writeFile(out.path() / "tpl" / "noframe.tpl",
                    "<html><HEAD><title>t</title></HEAD><body>{content}</body></html>");
    auto p = site("https://example.org");
    const std::string page =
        process(*p, "intro.htm", "<html><head><title>Intro</title></head><body>x</body></html>", 0);
    EXPECT_EQ(page.find("<html><HEAD><title>t</title><link rel=\"canonical\" "
                        "href=\"https://example.org/intro.htm\">\r\n</HEAD>"),
              0u);
    EXPECT_EQ(count(page, "canonical"), 1u);
}

TEST_F(NoFrameSite, TheSitemapTakesANameNoFileOfTheHelpHas) {
    stored.push_back("sitemap.xml");
    auto p = site("https://example.org/");
    ASSERT_TRUE(p->FinishSite());
    EXPECT_NE(test::readFile(out.path() / "sitemap_1.xml").find("<urlset"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out.path() / "sitemap.xml"));
}

TEST_F(NoFrameSite, PastingTheWholeTreeIntoAHugeSiteIsWarnedAbout) {
    test::writeFile(out.path() / "tpl" / "noframe.tpl", "<nav>{tree}</nav>{content}");
    test::writeFile(out.path() / "HelpContent.html", std::string(1'000'000, 'x'));
    recorded.pageList.clear();
    for (int k = 0; k < 999; ++k)
        recorded.pageList.push_back("p" + std::to_string(k) + ".htm");
    recorded.log.clear();
    site();
    EXPECT_EQ(recorded.log.find("warning"), std::string::npos);
    recorded.pageList.push_back("one-more.htm");
    recorded.pageList.push_back("and-another.htm");
    site();
    EXPECT_NE(recorded.log.find("warning: the template pastes the whole contents tree"),
              std::string::npos);
}

TEST(ContentsTreeData, NamesAndLinksCannotEndTheScriptOrTheString) {
    const std::vector<SitemapNode> nodes = {
        node(0, -1, "</script><script>alert(1)</script>", "a\".htm"),
        node(1, 0, "line\xE2\x80\xA8sep\xE2\x80\xA9 back\\slash 'q'", "https://example.org/x"),
        node(2, -1, "", "")};
    const std::string data = contentsTreeData(nodes, false);
    EXPECT_EQ(data.rfind("var pkTreeData=[", 0), 0u);
    EXPECT_EQ(data.find('<'), std::string::npos);
    EXPECT_EQ(data.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_EQ(data.find("\xE2\x80\xA9"), std::string::npos);
    EXPECT_NE(data.find("[0,0,\"\\u003c/script>\\u003cscript>alert(1)\\u003c/script>\","
                        "\"a\\\".htm\"]"),
              std::string::npos);
    EXPECT_NE(data.find("\"https://example.org/x\",1]"), std::string::npos);  // leads out
    EXPECT_NE(data.find("[2,0,\"\",\"\"]"), std::string::npos);
    // Text beyond ASCII is marked as UTF-8 when asked for; ASCII is the same either way.
    EXPECT_EQ(
        contentsTreeData({node(0, -1, "Caf\xC3\xA9", "c.htm")}, true).rfind("\xEF\xBB\xBFvar", 0),
        0u);
    const std::vector<SitemapNode> ascii = {node(0, -1, "A", "a.htm")};
    EXPECT_EQ(contentsTreeData(ascii, true), contentsTreeData(ascii, false));
}

TEST(ContentsTreeData, NodesComeInDocumentOrderEachOnceWhateverTheirIds) {
    // The child is listed before its parent, and two nodes claim each other as parent.
    const std::vector<SitemapNode> nodes = {
        node(0, 2, "Child", "c.htm"), node(1, -1, "Top", "t.htm"), node(2, 1, "Parent", "p.htm"),
        node(3, 4, "Loop A", "a.htm"), node(4, 3, "Loop B", "b.htm")};
    const std::string data = contentsTreeData(nodes, false);
    EXPECT_NE(data.find("[1,0,\"Top\",\"t.htm\"],\n[2,1,\"Parent\",\"p.htm\"],\n"
                        "[0,2,\"Child\",\"c.htm\"]];"),
              std::string::npos);
    EXPECT_EQ(data.find("Loop"), std::string::npos);  // unreachable from the top, as in the tree
}

TEST(SiteAddress, OnlyAFullWebAddressThatStaysInItsAttributeIsUsable) {
    for (const char* good :
         {"https://example.org", "http://localhost:8080/help/", "HTTPS://Example.org/a/b;c=d"})
        EXPECT_TRUE(isUsableSiteAddress(good)) << good;
    for (const char* bad :
         {"", "example.org", "ftp://example.org/", "https://", "https:///path", "javascript:x",
          "https://a.org/\"onload=\"x", "https://a.org/ x", "https://a.org/?q=1",
          "https://a.org/#top", "https://a.org/<b>", "https://a.org/{root_url}",
          "https://b\xC3\xA9.org/", "https://a.org/\n"})
        EXPECT_FALSE(isUsableSiteAddress(bad)) << bad;
}

TEST(SiteAddress, PagePathsAreEscapedAsAUrlNeeds) {
    EXPECT_EQ(pageAddress("https://a.org/help//", "dir/my page#1.htm"),
              "https://a.org/help/dir/my%20page%231.htm");
    EXPECT_EQ(pageAddress("https://a.org", "\xC3\xA9t\xC3\xA9/a&b+c.htm"),
              "https://a.org/%C3%A9t%C3%A9/a%26b%2Bc.htm");
    const std::string xml = sitemapXml("https://a.org", {"a.htm", "b c.htm", "a.htm"});
    EXPECT_EQ(count(xml, "<loc>"), 2u);
    EXPECT_NE(xml.find("<loc>https://a.org/b%20c.htm</loc>"), std::string::npos);
}

TEST(PageDescription, TheFirstSentencesOfTheBodyText) {
    EXPECT_EQ(pageDescription("<html><head><title>T</title><style>p{}</style></head>"
                              "<body><h1>Heading</h1><script>var x;</script><!-- note -->"
                              "<p>One&nbsp;two<br>three.</p><p>Four</p></body></html>"),
              "One two three. Four");
    EXPECT_EQ(pageDescription("<body><p>  </p><h2>Only a heading</h2></body>"), "");
    // A page without a body tag is all body; an element that never ends takes the rest.
    EXPECT_EQ(pageDescription("Plain text <SCRIPT>never ends"), "Plain text");
    EXPECT_EQ(pageDescription("a < b and c > d"), "a < b and c > d");
}

TEST(PageDescription, LongTextIsCutAtASentenceOrElseAtAWord) {
    const std::string sentence = "This sentence is exactly fifty bytes long, and it.";
    EXPECT_EQ(pageDescription("<p>" + sentence + " " + sentence + " " + sentence + " " + sentence +
                              "</p>"),
              sentence + " " + sentence + " " + sentence);
    const std::string words(40, 'w');
    const std::string text = words + " " + words + " " + words + " " + words + " " + words;
    const std::string cut = pageDescription(text, 100);
    EXPECT_EQ(cut, words + " " + words + "\xE2\x80\xA6");
    EXPECT_EQ(pageDescription(text, 100, true), words + " " + words + "...");
    // Never in the middle of a character.
    const std::string wide = std::string(99, 'x') + "\xE4\xB8\xAD\xE4\xB8\xAD";
    EXPECT_TRUE(isValidUtf8(pageDescription(wide, 100)));
}

}  // namespace
}  // namespace plovik
