// The contents page: the tree's list items, its ids script and the page written from a template.

#include <gtest/gtest.h>

#include "pages/TableOfContents.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

SitemapNode node(int id, int parentId, int level, std::string name, std::string local) {
    SitemapNode n;
    n.id = id;
    n.parentId = parentId;
    n.level = level;
    n.name = std::move(name);
    n.local = std::move(local);
    return n;
}

TableOfContents guide() {
    TableOfContents toc;
    toc.nodes = {node(0, -1, 1, "Intro", "intro.htm"), node(1, -1, 1, "Guide", ""),
                 node(2, 1, 2, "Setup", "setup.htm"), node(3, 1, 2, "Use", "use.htm")};
    return toc;
}

TEST(ContentsTree, FramesTreeNestsFoldersAndFiles) {
    auto toc = guide();
    EXPECT_EQ(toc.TreeHtml(),
              "<li><span class='file' id='span_0'><a href='intro.htm' "
              "target='mainFrame'>Intro</a></span></li>"
              "<li id=\"li_1\"><span class='folder' id='span_1'><a onclick=\"initTree(1);\" "
              "target='mainFrame'>Guide</a></span>"
              "<ul>"
              "<li><span class='file' id='span_2'><a href='setup.htm' "
              "target='mainFrame'>Setup</a></span></li>"
              "<li><span class='file' id='span_3'><a href='use.htm' "
              "target='mainFrame'>Use</a></span></li>"
              "</ul></li>");
    EXPECT_EQ(toc.TreeIdsScript(), "var treeids=[[0,-1],[1,-1],[2,1],[3,1]];");
}

TEST(ContentsTree, NoFrameTreeLinksThroughTheRootPlaceholder) {
    auto toc = guide();
    toc.nodes[1].local = "guide.htm";  // a folder with a page
    toc.nodes.push_back(node(4, -1, 1, "Site", "https://example.org/"));
    toc.nodes.push_back(node(5, -1, 1, "Empty heading", ""));
    toc.layout = 1;
    const std::string html = toc.TreeHtml();
    EXPECT_NE(html.find("<li><span class='file' id='span_0'><a href='{root_url}intro.htm' "
                        "target='_self'>Intro</a></span></li>"),
              std::string::npos);
    EXPECT_NE(html.find("<li id=\"li_1\"><span class='folder' id='span_1'><a "
                        "href='{root_url}guide.htm' target='_self'>Guide</a></span><ul>"),
              std::string::npos);
    // A web address is not a path of the site.
    EXPECT_NE(html.find("<a href='https://example.org/' target='_self'>Site</a>"),
              std::string::npos);
    EXPECT_NE(html.find("<li><span class='file' id='span_5'><a onclick=\"initTree(5);\" "
                        "target='_self'>Empty heading</a></span></li>"),
              std::string::npos);
}

TEST(ContentsTree, NodesBelowASkippedLevelBecomeTopLevelItems) {
    TableOfContents toc;
    toc.ParseContentsText(
        "<BODY><UL>\n<OBJECT><param name=\"Name\" value=\"A\">\n</OBJECT>\n<UL>\n<UL>\n"
        "<OBJECT><param name=\"Name\" value=\"Deep\">\n</OBJECT>\n</UL></UL></UL></BODY>\n",
        "h.chm");
    ASSERT_EQ(toc.nodes.size(), 2u);
    EXPECT_EQ(toc.TreeHtml(),
              "<li><span class='file' id='span_0'><a onclick=\"initTree(0);\" "
              "target='mainFrame'>A</a></span></li>"
              "<li><span class='file' id='span_1'><a onclick=\"initTree(1);\" "
              "target='mainFrame'>Deep</a></span></li>");
}

TEST(ContentsTree, EmptyTableGivesAnEmptyTreeAndScript) {
    TableOfContents toc;
    EXPECT_EQ(toc.TreeHtml(), "");
    EXPECT_EQ(toc.TreeIdsScript(), "var treeids=[];");
}

TEST(ContentsTree, ContentsPageIsTheFilledTemplateInTextMode) {
    test::TempDir dir;
    test::writeFile(dir.path() / "HelpContent.tpl",
                    "<ul>[#content_tree#]</ul>\n<script>[#tree_ids#]</script>\n");
    auto toc = guide();
    toc.nodes.resize(1);
    ASSERT_TRUE(toc.WriteContentsPage(1, dir.folder() + "HelpContent.tpl",
                                      dir.folder() + "HelpContent.html"));
    EXPECT_EQ(toc.layout, 1);
    EXPECT_TRUE(toc.lines.empty());
    EXPECT_EQ(test::readFile(dir.path() / "HelpContent.html"),
              "<ul><li><span class='file' id='span_0'><a href='{root_url}intro.htm' "
              "target='_self'>Intro</a></span></li></ul>\r\n<script>var "
              "treeids=[[0,-1]];</script>\r\n");

    EXPECT_FALSE(toc.WriteContentsPage(0, "", dir.folder() + "x.html"));
    // A template that cannot be read leaves an empty page.
    EXPECT_TRUE(toc.WriteContentsPage(0, dir.folder() + "missing.tpl", dir.folder() + "e.html"));
    EXPECT_EQ(test::readFile(dir.path() / "e.html"), "");
}

}  // namespace
}  // namespace plovik
