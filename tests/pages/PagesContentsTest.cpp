// The contents of a help without a contents file: its pages by title, grouped by folder.

#include <gtest/gtest.h>

#include "pages/TableOfContents.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

TEST(PagesContents, PagesByTitleUnderTheirFoldersInDirectoryOrder) {
    test::TempDir dir;
    test::writeFile(dir.path() / "intro.htm", "<html><title>Getting  started\n</title></html>");
    test::writeFile(dir.path() / "guide/a b.htm", "<TITLE>Tools &amp; Options</TITLE>");
    test::writeFile(dir.path() / "guide/deep/c++.htm", "<p>no title</p>");
    test::writeFile(dir.path() / "zlast.htm", "<title></title>");
    TableOfContents toc;
    toc.BuildFromPages(
        {"guide/a b.htm", "guide/deep/c++.htm", "intro.htm", "zlast.htm", "gone.htm"}, dir.folder(),
        "\\guide\\a b.htm");
    std::vector<std::tuple<std::string, std::string, int, int>> got;
    for (const SitemapNode& n : toc.nodes)
        got.emplace_back(n.name, n.local, n.level, n.parentId);
    EXPECT_EQ(got, (std::vector<std::tuple<std::string, std::string, int, int>>{
                       {"guide", "", 1, -1},
                       {"Tools & Options", "guide/a%20b.htm", 2, 0},
                       {"deep", "", 2, 0},
                       {"c++.htm", "guide/deep/c%2B%2B.htm", 3, 2},
                       {"Getting started", "intro.htm", 1, -1},
                       {"zlast.htm", "zlast.htm", 1, -1},
                       {"gone.htm", "gone.htm", 1, -1},
                   }));
    // The help's own default topic opens it; without one (or one that is no page) the first page.
    EXPECT_EQ(toc.startPage, "guide/a%20b.htm");
    toc.BuildFromPages({"b.htm", "a.htm"}, dir.folder(), "missing.htm");
    EXPECT_EQ(toc.startPage, "b.htm");
    toc.BuildFromPages({}, dir.folder());
    EXPECT_TRUE(toc.nodes.empty());
    EXPECT_EQ(toc.startPage, "");
}

}  // namespace
}  // namespace plovik
