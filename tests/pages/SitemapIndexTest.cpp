// The .hhk reader: keywords with one topic or several, sub-keywords, cross-references, and the
// shapes the files come in.

#include <gtest/gtest.h>

#include "pages/TableOfContents.h"

namespace plovik {
namespace {

std::string wrap(const std::string& body) {
    return "<HTML><BODY>\n<OBJECT type=\"text/site properties\">\n</OBJECT>\n<UL>\n" + body +
           "</UL>\n</BODY></HTML>\n";
}

std::vector<IndexEntry> parse(const std::string& body) {
    std::vector<IndexEntry> list;
    EXPECT_TRUE(ParseIndexFile(list, wrap(body)));
    return list;
}

TEST(SitemapIndex, EntriesKeepFileOrderAndDuplicates) {
    const auto list = parse(
        "<LI> <OBJECT type=\"text/sitemap\">\n  <param name=\"Name\" value=\"Beta\">\n"
        "  <param name=\"Local\" value=\"b.htm\">\n</OBJECT>\n"
        "<LI> <OBJECT type=\"text/sitemap\">\n  <param name=\"Name\" value=\"Alpha\">\n"
        "  <param name=\"Local\" value=\"a.htm\">\n</OBJECT>\n"
        "<LI> <OBJECT type=\"text/sitemap\">\n  <param name=\"Name\" value=\"Beta\">\n"
        "  <param name=\"Local\" value=\"b.htm\">\n</OBJECT>\n");
    EXPECT_EQ(list,
              (std::vector<IndexEntry>{{"Beta", "b.htm"}, {"Alpha", "a.htm"}, {"Beta", "b.htm"}}));
}

// The help viewer's shapes: a keyword with several topics offers them by title, sub-keywords
// nest under their keyword, a "See Also" leads to another keyword.
TEST(SitemapIndex, KeywordsKeepTheirTopicsSubKeywordsAndCrossReferences) {
    const auto keywords = ParseIndexKeywords(wrap(
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Setup\">"
        "<param name=\"Name\" value=\"Installing\"><param name=\"Local\" value=\"install.htm\">"
        "<param name=\"Name\" value=\"Upgrading\"><param name=\"Local\" value=\"upgrade.htm\">"
        "</OBJECT>\n"
        "<UL>\n<LI><OBJECT><param name=\"Name\" value=\"on Linux\">"
        "<param name=\"Local\" value=\"linux.htm\"></OBJECT>\n</UL>\n"
        "<LI><OBJECT><param name=\"Name\" value=\"Installation\">"
        "<param name=\"See Also\" value=\"Setup\"></OBJECT>\n"
        "<LI><OBJECT><param name=\"Name\" value=\"Plain\"><param name=\"Local\" value=\"p.htm\">"
        "</OBJECT>\n"));
    ASSERT_EQ(keywords.size(), 4u);
    EXPECT_EQ(keywords[0].keyword, "Setup");
    EXPECT_EQ(keywords[0].topics, (std::vector<IndexTopic>{{"Installing", "install.htm"},
                                                           {"Upgrading", "upgrade.htm"}}));
    EXPECT_EQ(keywords[1].keyword, "on Linux");
    EXPECT_EQ(keywords[1].level, 2);
    EXPECT_EQ(keywords[1].parent, 0);
    EXPECT_EQ(keywords[2].seeAlso, "Setup");
    EXPECT_TRUE(keywords[2].topics.empty());
    EXPECT_EQ(keywords[2].parent, -1);
    EXPECT_EQ(keywords[3].topics, (std::vector<IndexTopic>{{"Plain", "p.htm"}}));

    // The flat list: each keyword with its first topic's page.
    std::vector<IndexEntry> list;
    ParseIndexFile(list, wrap("<LI><OBJECT><param name=\"Name\" value=\"Setup\">"
                              "<param name=\"Name\" value=\"Installing\">"
                              "<param name=\"Local\" value=\"install.htm\">"
                              "<param name=\"Local\" value=\"again.htm\"></OBJECT>\n"));
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"Setup", "install.htm"}}));
}

// Doxygen writes each entry on one line; others put PARAMs anywhere, in any case and quotes.
TEST(SitemapIndex, OneLineEntriesAndParamsAnywhereAreRead) {
    const auto list = parse(
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"x.htm\"><param "
        "name=\"Name\" value=\"x\"></OBJECT>\n"
        "<LI> <OBJECT type=\"text/sitemap\">\n"
        "<PARAM NAME='name' VALUE='first'><param name=Local value=second.htm>\n"
        "</OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"x", "x.htm"}, {"first", "second.htm"}}));
}

// The site properties object and anything outside the lists or after the body are no keywords:
// an index of nothing but them is empty, so that the build falls back to the contents.
TEST(SitemapIndex, OnlyObjectsInsideTheListsAreKeywords) {
    std::vector<IndexEntry> list;
    ParseIndexFile(list,
                   "<HTML>\n<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"head\">\n"
                   "</OBJECT>\n<BODY>\n<OBJECT type=\"text/site properties\">\n"
                   "<param name=\"Name\" value=\"props\">\n</OBJECT>\n<UL>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"body\">\n"
                   "</OBJECT>\n</UL>\n</BODY>\n<UL><OBJECT type=\"text/sitemap\">\n"
                   "<param name=\"Name\" value=\"after\">\n</OBJECT></UL>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"body", ""}}));
}

TEST(SitemapIndex, NamesAreTextAndScriptLocalsLeadNowhere) {
    const auto list = parse(
        "<LI><OBJECT><param name=\"Name\" value=\"Tools &amp; Options &lt;x&gt;\">"
        "<param name=\"Local\" value=\"javascript:alert(1)\"></OBJECT>\n"
        "<LI><OBJECT><param name=\"Name\" value=\"other\">"
        "<param name=\"Local\" value=\"ms-its:other.chm::/a.htm\"></OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"Tools & Options <x>", ""},
                                             {"other", "ms-its:other.chm::/a.htm"}}));
}

TEST(SitemapIndex, AnIndexInASubfolderLeadsFromTheSiteRoot) {
    std::vector<IndexEntry> list;
    ParseIndexFile(list,
                   "<BODY><UL>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"a\">\n"
                   "<param name=\"Local\" value=\"pages/a.htm#top\">\n</OBJECT>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"b\">\n"
                   "<param name=\"Local\" value=\"../../b.htm\">\n</OBJECT>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"c\">\n"
                   "<param name=\"Local\" value=\"http://example.com/c.htm\">\n</OBJECT>\n"
                   "</UL></BODY>\n",
                   "Documents/");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"a", "Documents/pages/a.htm#top"},
                                             {"b", "b.htm"},
                                             {"c", "http://example.com/c.htm"}}));
}

}  // namespace
}  // namespace plovik
