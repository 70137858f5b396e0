// The .hhc reader: the shapes of sitemap files it reads as the help viewer does, and what it makes
// of odd files.

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

TEST(SitemapContents, EveryListTagOpensALevelWhereverItStands) {
    const auto toc = parse("<ul>\n" + object("A") + "<UL>\n" + object("B") + "<UL class=x>\n" +
                           object("C") +                  // a list with attributes is a list
                           "</UL><UL>\n" + object("D") +  // closes and opens: level stays 3
                           "<UL><UL>\n" + object("E") +   // two lists: level 5
                           "</UL></UL>\n</UL>\n<ULX>\n" + object("F") + "</UL>\n");
    ASSERT_EQ(names(toc), (std::vector<std::string>{"A", "B", "C", "D", "E", "F"}));
    std::vector<int> levels;
    for (const auto& node : toc.nodes)
        levels.push_back(node.level);
    EXPECT_EQ(levels, (std::vector<int>{1, 2, 3, 3, 5, 2}));
    EXPECT_EQ(toc.nodes[1].parentId, 0);
    EXPECT_EQ(toc.nodes[2].parentId, 1);
    EXPECT_EQ(toc.nodes[4].parentId, -1);  // two levels below its predecessor
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

// Doxygen writes each entry on one line, and other writers vary the order, the case and the
// quotes of the PARAM attributes: the viewer reads them all.
TEST(SitemapContents, EntriesOnOneLineAndParamsInAnyShapeAreRead) {
    const auto toc = parse(
        "<UL>\n"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"One\"><param "
        "name=\"Local\" value=\"one.htm\"><param name=\"ImageNumber\" value=\"11\"></OBJECT>\n"
        "<LI><OBJECT type=\"text/sitemap\"><param value=\"two.htm\" name=\"Local\">"
        "<PARAM NAME='Name' VALUE='Two &amp; more'></OBJECT>"
        "<LI><OBJECT><param name=Name value=Three><param name=Local value=three.htm></OBJECT>"
        "<LI><OBJECT><param\n name = \"Name\"\n value = \"Four\"\n/></OBJECT></UL>\n");
    ASSERT_EQ(names(toc), (std::vector<std::string>{"One", "Two & more", "Three", "Four"}));
    EXPECT_EQ(toc.nodes[0].local, "one.htm");
    EXPECT_EQ(toc.nodes[0].imageNumber, 11);
    EXPECT_EQ(toc.nodes[1].local, "two.htm");
    EXPECT_EQ(toc.nodes[2].local, "three.htm");
}

// Names and locals are attribute values: their character references are decoded once, into
// text, and whatever writes them into a page escapes them again.
TEST(SitemapContents, CharacterReferencesInValuesBecomeText) {
    const auto toc = parse("<UL>\n" + object("SerializableDictionary&lt;TKey, TValue&gt;") +
                           object("it&#8217;s &quot;quoted&quot;", "a.htm?x=1&amp;y=2") +
                           object("&amp;lt; stays &lt;") + "</UL>\n");
    ASSERT_EQ(names(toc), (std::vector<std::string>{"SerializableDictionary<TKey, TValue>",
                                                    "it\xE2\x80\x99s \"quoted\"", "&lt; stays <"}));
    EXPECT_EQ(toc.nodes[1].local, "a.htm?x=1&y=2");
}

// A local that would run script is no page: the entry stays, as a heading without a link.
TEST(SitemapContents, ScriptLocalsLeadNowhere) {
    const auto toc =
        parse("<UL>\n" + object("js", "javascript:alert(1)") + object("vb", " VBScript:msgbox") +
              object("data", "data:text/html,x") + object("page", "page.htm") + "</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 4u);
    EXPECT_EQ(toc.nodes[0].local, "");
    EXPECT_EQ(toc.nodes[1].local, "");
    EXPECT_EQ(toc.nodes[2].local, "");
    EXPECT_EQ(toc.startPage, "page.htm");
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

TEST(SitemapContents, LongLinesAndOddParamsAreReadWhole) {
    // An entry on a line of thousands of bytes is read like any other.
    std::string line = "<LI><OBJECT type=\"text/sitemap\">";
    line += std::string(4085 - line.size(), ' ');
    line += "<param name=\"Name\" value=\"long\">";
    line += "<param name=\"Local\" value=\"piece.htm\"></OBJECT>";
    line.resize(5000, ' ');
    auto toc = parse("<UL>\n" + line + "\n</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "long");
    EXPECT_EQ(toc.nodes[0].local, "piece.htm");

    // A later PARAM of the same name replaces the earlier; one without a value gives an empty
    // value; one without a name or an unclosed quote is no PARAM of a known name.
    toc = parse(
        "<UL>\n<LI><OBJECT type=\"text/sitemap\">\n"
        "<param name=\"Name\" value=\"first\">\n"
        "<param name=\"Local\" value=\"a.htm\">\n"
        "<param name=\"Local\">\n"
        "<param value=\"no name\">\n"
        "</OBJECT>\n</UL>\n");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "first");
    EXPECT_EQ(toc.nodes[0].local, "");
    EXPECT_TRUE(
        parse("<UL>\n<OBJECT><param name=\"Name\" value=\"unclosed>\n</UL>\n").nodes.empty());
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

TEST(SitemapContents, NulBytesAreDroppedFromValues) {
    std::string body = "<UL>\n<LI><OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"a";
    body += '\0';
    body += "b\">\n</OBJECT>\n</UL>\n";
    const auto toc = parse(body);
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, "ab");
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
    EXPECT_EQ(toc.nodes[0].name, "Line\nbreak");

    TableOfContents missing;
    EXPECT_FALSE(missing.ParseContentsFile(dir.path() / "none.hhc", "/x/help.chm"));
    EXPECT_TRUE(missing.nodes.empty());
}

}  // namespace
}  // namespace plovik
