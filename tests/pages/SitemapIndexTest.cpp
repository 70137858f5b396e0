// The .hhk reader: one PARAM per line, read only when it starts the line.

#include <gtest/gtest.h>

#include "pages/TableOfContents.h"

namespace plovik {
namespace {

std::vector<IndexEntry> parse(const std::string& body) {
    std::vector<IndexEntry> list;
    EXPECT_TRUE(ParseIndexFile(list, "<HTML><BODY>\n<UL>\n" + body + "</UL>\n</BODY></HTML>\n"));
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

TEST(SitemapIndex, AKeywordWithTwoTopicsKeepsTheSecondOfEach) {
    const auto list = parse(
        "<LI> <OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"Setup\">\n"
        "<param name=\"Name\" value=\"Setup again\">\n<param name=\"Local\" value=\"one.htm\">\n"
        "<param name=\"Local\" value=\"two.htm\">\n</OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"Setup again", "two.htm"}}));
}

TEST(SitemapIndex, OneLineObjectsGiveAnEmptyEntry) {
    const auto list = parse(
        "<LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"x\"><param "
        "name=\"Local\" value=\"x.htm\"></OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"", ""}}));
}

TEST(SitemapIndex, OnlyAParamThatStartsItsLineIsRead) {
    const auto list = parse(
        "<LI> <OBJECT type=\"text/sitemap\">\n"
        "<param name=\"Name\" value=\"first\"><param name=\"Local\" value=\"ignored.htm\">\n"
        "<LI> <param name=\"Local\" value=\"not at line start.htm\">\n"
        "\t <param name=\"Local\" value=\"indented.htm\">\n"
        "</OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"first", "indented.htm"}}));
}

TEST(SitemapIndex, OnlyTheBodyCountsAndHtmlDoesNotOpenIt) {
    std::vector<IndexEntry> list;
    ParseIndexFile(list,
                   "<HTML>\n<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"head\">\n"
                   "</OBJECT>\n<BODY>\n<OBJECT type=\"text/sitemap\">\n"
                   "<param name=\"Name\" value=\"body\">\n</OBJECT>\n</BODY>\n"
                   "<OBJECT type=\"text/sitemap\">\n</OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"body", ""}}));
}

TEST(SitemapIndex, BrokenParamsGiveEmptyValuesAndLocalsAreNotNormalised) {
    const auto list = parse(
        "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"kw\">\n"
        "<param name=\"Name\" value=\"\">\n"
        "<param name=\"Local\" value=\"ms-its:other.chm::/a.htm\">\n</OBJECT>\n");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"", "ms-its:other.chm::/a.htm"}}));
}

TEST(SitemapIndex, AnIndexInASubfolderLeadsFromTheSiteRoot) {
    std::vector<IndexEntry> list;
    ParseIndexFile(list,
                   "<BODY>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"a\">\n"
                   "<param name=\"Local\" value=\"pages/a.htm#top\">\n</OBJECT>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"b\">\n"
                   "<param name=\"Local\" value=\"../../b.htm\">\n</OBJECT>\n"
                   "<OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"c\">\n"
                   "<param name=\"Local\" value=\"http://example.com/c.htm\">\n</OBJECT>\n"
                   "</BODY>\n",
                   "Documents/");
    EXPECT_EQ(list, (std::vector<IndexEntry>{{"a", "Documents/pages/a.htm#top"},
                                             {"b", "b.htm"},
                                             {"c", "http://example.com/c.htm"}}));
}

}  // namespace
}  // namespace plovik
