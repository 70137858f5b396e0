// The .hhc reader: the line-scanner format it accepts, and what it makes of odd files.

#include <gtest/gtest.h>

#include "pages/TableOfContents.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

std::string object(std::string_view name, std::string_view local = {}) {
    std::string text = "<LI> <OBJECT type=\"text/sitemap\">\n";
    text += "<param name=\"Name\" value=\"" + std::string(name) + "\">\n";
    if (!local.empty())
        text += "<param name=\"Local\" value=\"" + std::string(local) + "\">\n";
    text += "</OBJECT>\n";
    return text;
}

TableOfContents parse(const std::string& body, std::string_view chmPath = "/docs/help.chm") {
    TableOfContents toc;
    toc.ParseContentsText("<HTML><HEAD></HEAD><BODY>\n" + body + "</BODY></HTML>\n", chmPath);
    return toc;
}

std::vector<std::string> names(const TableOfContents& toc) {
    std::vector<std::string> result;
    for (const auto& node : toc.nodes)
        result.push_back(node.name);
    return result;
}

TEST(SitemapContents, ListLevelsFollowTheExactUlMarkerOncePerLine) {
    const auto toc = parse("<ul>\n" + object("A") + "<UL>\n" + object("B") + "<UL class=x>\n" +
                           object("C") +                  // not a list opening
                           "</UL><UL>\n" + object("D") +  // closes and opens: level stays 2
                           "<UL><UL>\n" + object("E") +   // counts once: level 3
                           "</UL></UL>\n</UL>\n");
    ASSERT_EQ(names(toc), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
    std::vector<int> levels;
    for (const auto& node : toc.nodes)
        levels.push_back(node.level);
    EXPECT_EQ(levels, (std::vector<int>{1, 2, 2, 2, 3}));
    EXPECT_EQ(toc.nodes[1].parentId, 0);
    EXPECT_EQ(toc.nodes[4].parentId, 3);
}

TEST(SitemapContents, ObjectsOutsideAListOrTheBodyAreIgnored) {
    TableOfContents toc;
    toc.ParseContentsText("<HTML><HEAD>\n" + object("head") +
                              "</HEAD><BODY>\n<OBJECT type=\"text/site properties\">\n"
                              "<param name=\"Name\" value=\"props\">\n</OBJECT>\n<UL>\n" +
                              object("kept", "a.htm") + "</UL>\n</BODY>\n<UL>\n" +
                              object("after body") + "</UL>\n",
                          "x.chm");
    EXPECT_EQ(names(toc), (std::vector<std::string>{"kept"}));
}

TEST(SitemapContents, OneLineObjectsAndSeveralParamsPerLineAreRead) {
    const auto toc = parse(
        "<UL>\n"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"One\"><param "
        "name=\"Local\" value=\"one.htm\"><param name=\"ImageNumber\" value=\"11\"></OBJECT>\n"
        // the list closes on the object's own line: no list is open when it ends, so it is lost
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Lost\"></OBJECT></UL>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "One");
    EXPECT_EQ(toc.nodes[0].local, "one.htm");
    EXPECT_EQ(toc.nodes[0].imageNumber, 11);
}

TEST(SitemapContents, MarkersMatchInAnyCaseWhileValuesKeepTheirs) {
    const auto toc = parse(
        "<uL>\n<li> <object type=\"text/sitemap\">\n"
        "  <PARAM NAME=\"nAmE\" VALUE=\"MixedCase Name\">\n"
        "\t<Param Name=\"LOCAL\" Value=\"Html/Page.HTM\">\n"
        "</Object>\n</ul>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "MixedCase Name");
    EXPECT_EQ(toc.nodes[0].local, "Html/Page.HTM");
}

TEST(SitemapContents, MsItsLinksIntoThisHelpFileKeepTheirPathOthersDropTheNode) {
    const auto toc = parse("<UL>\n" + object("same", "MS-ITS:Help.CHM::/html/a.htm") +
                               object("other", "ms-its:other.chm::/a.htm") +
                               object("no path", "ms-its:help.chm") +
                               object("heading") +  // no local: kept, whatever came before
                               object("web", "http://example.com/x.htm") + "</UL>\n",
                           "/home/me/docs/help.chm");
    EXPECT_EQ(toc.chmFileName, "help.chm");
    ASSERT_EQ(names(toc), (std::vector<std::string>{"same", "heading", "web"}));
    EXPECT_EQ(toc.nodes[0].local, "html/a.htm");
    EXPECT_EQ(toc.nodes[1].local, "");
    EXPECT_EQ(toc.nodes[2].local, "http://example.com/x.htm");
    EXPECT_EQ(toc.nodes[2].id, 2);
}

TEST(SitemapContents, LinksOfAContentsFileInASubfolderBecomeLinksFromTheRoot) {
    TableOfContents toc;
    toc.ParseContentsText("<BODY><UL>\n" + object("up", "../page%201.html#s?x") +
                              object("here", "./sub/../a.htm") + object("rooted", "/b.htm") +
                              object("too far", "../../../c.htm") +
                              object("into", "ms-its:help.chm::/Documents/d.htm") +
                              object("web", "http://example.org/") + "</UL>\n",
                          "/x/help.chm", "Documents/");
    std::vector<std::string> locals;
    for (const auto& node : toc.nodes)
        locals.push_back(node.local);
    EXPECT_EQ(locals,
              (std::vector<std::string>{"page%201.html#s?x", "Documents/a.htm", "/b.htm", "c.htm",
                                        "Documents/d.htm", "http://example.org/"}));
    EXPECT_EQ(toc.startPage, "page%201.html#s?x");
}

TEST(SitemapContents, ParentsSkipLevelsThatHaveNoNode) {
    const auto toc = parse("<UL>\n" + object("top") + "<UL>\n<UL>\n" + object("deep") + "</UL>\n" +
                           object("child") + "<UL>\n" + object("grandchild") + "</UL>\n</UL>\n" +
                           object("second top") + "</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 5u);
    EXPECT_EQ(toc.nodes[1].level, 3);
    EXPECT_EQ(toc.nodes[1].parentId, -1);  // two levels below its predecessor: a root
    EXPECT_EQ(toc.nodes[2].parentId, 0);   // the nearest lower node is "top"
    EXPECT_EQ(toc.nodes[3].parentId, 2);
    EXPECT_EQ(toc.nodes[4].parentId, -1);
}

TEST(SitemapContents, DeepNestingNeedsNoRecursion) {
    std::string body;
    for (int k = 0; k < 20000; ++k)
        body += "<UL>\n" + object("n" + std::to_string(k));
    auto toc = parse(body);
    ASSERT_EQ(toc.nodes.size(), 20000u);
    EXPECT_EQ(toc.nodes.back().parentId, 19998);
    toc.TreeHtml();  // deep trees are written without recursion as well
}

TEST(SitemapContents, StartPageIsTheFirstLocal) {
    EXPECT_EQ(parse("<UL>\n" + object("h") + object("a", "a.htm") + object("b", "b.htm")).startPage,
              "a.htm");
    EXPECT_EQ(parse("<UL>\n" + object("h") + "</UL>\n").startPage, "");
}

TEST(SitemapContents, ALongLineIsReadAsBufferSizedPieces) {
    // 5,000 characters: the first 4,095 are one line, the rest another. A PARAM that straddles
    // the boundary is lost; one in the second piece is read as part of the same object.
    std::string line = "<LI><OBJECT type=\"text/sitemap\">";
    line += std::string(4085 - line.size(), ' ');
    line += "<param name=\"Name\" value=\"cut\">";
    line += "<param name=\"Local\" value=\"piece.htm\"></OBJECT>";
    line.resize(5000, ' ');
    const auto toc = parse("<UL>\n" + line + "\n</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "");
    EXPECT_EQ(toc.nodes[0].local, "piece.htm");

    // A marker split by the boundary is not seen at all.
    const std::string split = std::string(4095 - 3, ' ') + "<UL>\n" + object("X");
    EXPECT_TRUE(parse(split).nodes.empty());
}

TEST(SitemapContents, ParamsThatBreakOffBeforeTheirValueGiveAnEmptyValue) {
    const auto toc = parse(
        "<UL>\n<LI><OBJECT type=\"text/sitemap\">\n"
        "<param name=\"Name\" value=\"first\">\n"
        "<param name=\"Local\" value=\"a.htm\">\n"
        "<param name=\"Local\" value=\"\">\n"            // empty value
        "<param name=\"Name\" value='single quotes'>\n"  // not the pattern's quotes
        "<param name=Name value=\"unquoted name\">\n"    // no name at all: ignored
        "</OBJECT>\n</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "");
    EXPECT_EQ(toc.nodes[0].local, "");
}

TEST(SitemapContents, TheDropDecisionStartsAfreshAtEveryObject) {
    const auto toc = parse("<UL>\n" + object("foreign", "ms-its:other.chm::/a.htm") +
                           object("heading after it") + "</UL>\n");
    EXPECT_EQ(names(toc), (std::vector<std::string>{"heading after it"}));
}

TEST(SitemapContents, OverlongValuesAreCutAtTheFieldWidthsOnCharacterBoundaries) {
    const std::string longName = std::string(253, 'n') + "\xC3\xA9" + "tail";  // é at 253..254
    const std::string longLocal = std::string(300, 'l') + ".htm";
    const auto toc = parse("<UL>\n" + object(longName, longLocal) + "</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, std::string(253, 'n'));
    EXPECT_EQ(toc.nodes[0].local, std::string(255, 'l'));
}

TEST(SitemapContents, NulBytesHideTheRestOfTheirLine) {
    std::string body = "<UL>\n<LI><OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"a";
    body += '\0';
    body += "b\">\n</OBJECT>\n</UL>\n";
    const auto toc = parse(body);
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "a");  // the value runs up to the NUL, where the line ends
}

TEST(SitemapContents, FilesAreReadInTextMode) {
    test::TempDir dir;
    const auto path = test::writeFile(
        dir.path() / "toc.hhc",
        "<HTML><BODY>\r\n<UL>\r\n<LI><OBJECT type=\"text/sitemap\">\r\n<param name=\"Name\" "
        "value=\"Line\r\nbreak\">\r\n</OBJECT>\r\n</UL>\r\n</BODY></HTML>\r\n");
    TableOfContents toc;
    ASSERT_TRUE(toc.ParseContentsFile(path, "/x/help.chm"));
    ASSERT_EQ(toc.nodes.size(), 1u);
    // The value runs to the end of its line, which in text mode ends in a bare LF.
    EXPECT_EQ(toc.nodes[0].name, "Line\n");

    TableOfContents missing;
    EXPECT_FALSE(missing.ParseContentsFile(dir.path() / "none.hhc", "/x/help.chm"));
    EXPECT_TRUE(missing.nodes.empty());
}

}  // namespace
}  // namespace plovik
