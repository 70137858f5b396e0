// The repair of single links, of pages and of sitemap entries against a list of stored names.

#include "pages/LinkRepair.h"

#include <gtest/gtest.h>

namespace plovik {
namespace {

using Outcome = LinkRepair::Outcome;

LinkRepair makeRepair() {
    return LinkRepair({"index.htm", "Docs/Glossary.js", "Docs/Page One.htm", "Docs/img/Logo.GIF",
                       "x/Dup.htm", "x/dup.htm", "top.htm", "Sub/b.htm", "sub/c.htm",
                       "Docs/index.html", "a&b.htm", "index.htm"},
                      "/some/dir/Help.CHM");
}

struct Expect {
    const char* page;
    const char* link;
    Outcome outcome;
    const char* written;  // what the page gets
};

void check(const LinkRepair& repair, const std::vector<Expect>& cases) {
    for (const Expect& c : cases) {
        std::string out;
        EXPECT_EQ(repair.repairLink(c.link, c.page, out), c.outcome) << c.page << " : " << c.link;
        EXPECT_EQ(out, c.written) << c.page << " : " << c.link;
    }
}

TEST(LinkRepair, FixesOnlyTheCaseOfTheLinksOwnSegments) {
    const LinkRepair repair = makeRepair();
    const char* page = "Docs/Page One.htm";
    check(repair, {
                      {page, "Glossary.js", Outcome::Resolves, "Glossary.js"},
                      {page, "glossary.js", Outcome::Repaired, "Glossary.js"},
                      {page, "../docs/glossary.JS", Outcome::Repaired, "../Docs/Glossary.js"},
                      {page, "./IMG/logo.gif#top", Outcome::Repaired, "./img/Logo.GIF#top"},
                      {page, "img/logo.gif?v=1#x", Outcome::Repaired, "img/Logo.GIF?v=1#x"},
                      {page, "IMG\\logo.gif", Outcome::Repaired, "img\\Logo.GIF"},
                      {page, "/TOP.htm", Outcome::Repaired, "/top.htm"},
                      {page, "  glossary.js ", Outcome::Repaired, "  Glossary.js "},
                      {"", "docs/", Outcome::Repaired, "Docs/"},
                      {"", "A&amp;B.htm", Outcome::Repaired, "a&amp;b.htm"},
                  });
}

TEST(LinkRepair, KeepsEscapesAndEscapesTheLettersItChanges) {
    const LinkRepair repair = makeRepair();
    const char* page = "index.htm";
    check(repair, {
                      {page, "Docs/Page%20One.htm", Outcome::Resolves, "Docs/Page%20One.htm"},
                      {page, "docs/page%20one.htm", Outcome::Repaired, "Docs/Page%20One.htm"},
                      {page, "docs/%70age%20one.htm#a%20b", Outcome::Repaired,
                       "Docs/%50age%20One.htm#a%20b"},
                      {page, "docs/page one.htm", Outcome::Repaired, "Docs/Page One.htm"},
                      // Stored twice under one name: one file, not two choices.
                      {page, "INDEX.htm", Outcome::Repaired, "index.htm"},
                  });
}

TEST(LinkRepair, LeavesAmbiguousMissingAndForeignLinksAlone) {
    const LinkRepair repair = makeRepair();
    const char* page = "Docs/Page One.htm";
    check(repair, {
                      {page, "../x/DUP.htm", Outcome::Unresolved, "../x/DUP.htm"},
                      {page, "../x/Dup.htm", Outcome::Resolves, "../x/Dup.htm"},
                      {page, "missing.htm", Outcome::Unresolved, "missing.htm"},
                      {page, "../../top.htm", Outcome::Unresolved, "../../top.htm"},
                      {page, "img/", Outcome::Unresolved, "img/"},
                      {page, "http://example.com/Glossary.JS", Outcome::NotLocal,
                       "http://example.com/Glossary.JS"},
                      {page, "//cdn/x.js", Outcome::NotLocal, "//cdn/x.js"},
                      {page, "MAILTO:a@b", Outcome::NotLocal, "MAILTO:a@b"},
                      {page, "javascript:go('GLOSSARY.js')", Outcome::NotLocal,
                       "javascript:go('GLOSSARY.js')"},
                      {page, "#Glossary", Outcome::NotLocal, "#Glossary"},
                      {page, "?q=1", Outcome::NotLocal, "?q=1"},
                      {page, "", Outcome::NotLocal, ""},
                  });
}

TEST(LinkRepair, IgnoresTheCaseOfLatinGreekAndCyrillicLettersInUtf8Names) {
    const LinkRepair repair({"\xD1\x84\xD1\x83\xD0\xBD\xD0\xBA.htm",  // функ.htm
                             "Caf\xC3\xA9/\xCE\xB1.htm",              // Café/α.htm
                             "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0.htm",  // Ёлка.htm
                             "\xC4\xE9.htm"},                         // not UTF-8
                            "help.chm");
    check(repair,
          {
              {"", "\xD0\xA4\xD0\xA3\xD0\x9D\xD0\x9A.htm", Outcome::Repaired,
               "\xD1\x84\xD1\x83\xD0\xBD\xD0\xBA.htm"},
              {"", "%D0%A4\xD1\x83\xD0\xBD\xD0\xBA.htm", Outcome::Repaired,
               "%D1%84\xD1\x83\xD0\xBD\xD0\xBA.htm"},
              {"", "CAF\xC3\x89/\xCE\x91.HTM", Outcome::Repaired, "Caf\xC3\xA9/\xCE\xB1.htm"},
              {"", "\xD1\x91\xD0\x9B\xD0\x9A\xD0\x90.htm", Outcome::Repaired,
               "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0.htm"},
              // Bytes of a code page are not letters to us: only their ASCII case is ignored.
              {"", "\xE4\xE9.HTM", Outcome::Unresolved, "\xE4\xE9.HTM"},
              {"", "\xC4\xE9.HTM", Outcome::Repaired, "\xC4\xE9.htm"},
          });
}

TEST(LinkRepair, ClimbsOutOfAFolderSpelledDifferentlyInTheTarget) {
    // "Sub" and "sub" are two folders on disk; only a link through "sub" reaches c.htm.
    const LinkRepair repair = makeRepair();
    check(repair, {
                      {"Sub/b.htm", "C.htm", Outcome::Repaired, "../sub/c.htm"},
                      {"Sub/b.htm", "c.htm#p", Outcome::Repaired, "../sub/c.htm#p"},
                      {"Sub/b.htm", "../SUB/C.htm", Outcome::Repaired, "../sub/c.htm"},
                  });
}

TEST(LinkRepair, TurnsLinksIntoThisHelpIntoRelativeLinks) {
    const LinkRepair repair = makeRepair();
    const char* page = "Docs/Page One.htm";
    check(repair,
          {
              {page, "ms-its:help.chm::/Docs/Glossary.js", Outcome::Repaired, "Glossary.js"},
              {page, "MS-ITS:HELP.CHM::/index.htm#s", Outcome::Repaired, "../index.htm#s"},
              {page, "mk:@MSITStore:C:\\x\\help.chm::/docs/img/logo.gif", Outcome::Repaired,
               "../Docs/img/Logo.GIF"},
              {page, "Mk:@MsItStore:help.chm::/top.htm", Outcome::Repaired, "../top.htm"},
              {page, "ms-its:help.chm::Docs\\Glossary.js", Outcome::Repaired, "Glossary.js"},
              {"index.htm", "ms-its:Help.chm::/Docs/Page%20One.htm", Outcome::Repaired,
               "Docs/Page%20One.htm"},
              // A missing target is still no help-viewer link any more.
              {page, "ms-its:help.chm::/gone.htm", Outcome::Unresolved, "../gone.htm"},
              {page, "ms-its:other.chm::/index.htm", Outcome::NotLocal,
               "ms-its:other.chm::/index.htm"},
              {page, "mk:@MSITStore:C:\\x\\help.chm.bak::/index.htm", Outcome::NotLocal,
               "mk:@MSITStore:C:\\x\\help.chm.bak::/index.htm"},
              {page, "ms-its:help.chm", Outcome::NotLocal, "ms-its:help.chm"},
              {page, "ms-its:help.chm::/", Outcome::NotLocal, "ms-its:help.chm::/"},
          });
}

TEST(LinkRepair, RewritesEveryHrefAndSrcOfAPageAndCountsThem) {
    LinkRepair repair = makeRepair();
    std::string html =
        "<a href=\"GLOSSARY.js\">g</a><IMG SRC='img/logo.gif'><a href=missing.htm>m</a>"
        "<A HREF = \"Glossary.js\"><div data-src=\"img/logo.gif\"></div>"
        "<script>document.write(\"<a href=\\\"glossary.js\\\">\");</script>"
        "<a href=\"http://x/y\"><a href=\"#top\">";
    EXPECT_TRUE(repair.repairPage(html, "Docs/Page One.htm"));
    EXPECT_EQ(html,
              "<a href=\"Glossary.js\">g</a><IMG SRC='img/Logo.GIF'><a href=missing.htm>m</a>"
              "<A HREF = \"Glossary.js\"><div data-src=\"img/logo.gif\"></div>"
              "<script>document.write(\"<a href=\\\"Glossary.js\\\">\");</script>"
              "<a href=\"http://x/y\"><a href=\"#top\">");
    EXPECT_EQ(repair.repairedCount(), 3u);
    EXPECT_EQ(repair.unresolvedCount(), 1u);

    std::string clean = "<body><a href=\"Glossary.js\">ok</a></body>";
    const std::string before = clean;
    EXPECT_FALSE(repair.repairPage(clean, "Docs/Page One.htm"));
    EXPECT_EQ(clean, before);

    std::string fragment = "<a href=\"GLOSSARY.js\">g</a>";
    EXPECT_TRUE(repair.repairUncounted(fragment, "Docs/Page One.htm"));
    EXPECT_EQ(fragment, "<a href=\"Glossary.js\">g</a>");
    EXPECT_EQ(repair.repairedCount(), 3u);
}

TEST(LinkRepair, RepairsSitemapLinksFromTheRootAndReportsWhatStaysBroken) {
    LinkRepair repair = makeRepair();
    std::vector<SitemapNode> nodes(4);
    nodes[0].local = "";  // a heading
    nodes[1].local = "DOCS/glossary.js#g";
    nodes[2].local = "http://example.com/";
    nodes[3].local = "gone\t.htm";
    std::string startPage = "DOCS/glossary.js#g";
    repair.repairContents(nodes, startPage, "toc.hhc");
    EXPECT_EQ(nodes[1].local, "Docs/Glossary.js#g");
    EXPECT_EQ(startPage, "Docs/Glossary.js#g");
    EXPECT_EQ(nodes[2].local, "http://example.com/");

    std::vector<IndexEntry> entries = {
        {"k", "TOP.HTM"}, {"m", "ms-its:help.chm::/index.htm"}, {"n", "nowhere.htm"}};
    repair.repairIndex(entries, "Index.hhk");
    EXPECT_EQ(entries[0].page, "top.htm");
    EXPECT_EQ(entries[1].page, "index.htm");
    EXPECT_EQ(repair.repairedCount(), 3u);
    EXPECT_EQ(repair.unresolvedCount(), 2u);
    // One line per link, whatever bytes it holds.
    EXPECT_EQ(repair.report(), "toc.hhc\tgone%09.htm\nIndex.hhk\tnowhere.htm\n");
    EXPECT_EQ(repair.summary(), "\r\n\r\nlinks repaired: 3, links still unresolved: 2\r\n");
}

}  // namespace
}  // namespace plovik

namespace plovik {
namespace {

// A help built as one of a library: "help.chm" beside "Other.chm" (in "../other/") and
// "third.chm" (in "../third-2/").
LinkRepair libraryRepair() {
    return LinkRepair({"index.htm", "Docs/a.htm"}, "/x/help.chm",
                      {{"Other.chm", "../other/", {"topic.htm", "Sub/Deep Page.htm", "a&b.htm"}},
                       {"third.chm", "../third-2/", {"t.htm"}}});
}

TEST(LibraryLinks, LeadIntoTheOtherHelpsFolderFromThePagesOwn) {
    const LinkRepair repair = libraryRepair();
    check(
        repair,
        {
            {"index.htm", "ms-its:other.chm::/topic.htm", Outcome::Repaired, "../other/topic.htm"},
            {"Docs/a.htm", "mk:@MSITStore:C:\\help\\OTHER.CHM::/sub/deep%20page.htm#part",
             Outcome::Repaired, "../../other/Sub/Deep%20Page.htm#part"},
            {"", "its:Other.chm::topic.htm?x=1", Outcome::Repaired, "../other/topic.htm?x=1"},
            {"index.htm", "ms-its:/path/to/third.chm::/./t.htm", Outcome::Repaired,
             "../third-2/t.htm"},
            {"index.htm", "ms-its:other.chm::/a&amp;b.htm", Outcome::Repaired,
             "../other/a%26b.htm"},
            {"index.htm", "  ms-its:other.chm::/topic.htm ", Outcome::Repaired,
             "  ../other/topic.htm "},
            // This help itself wins over the library, as it does alone.
            {"Docs/a.htm", "ms-its:HELP.chm::/index.htm", Outcome::Repaired, "../index.htm"},
        });
}

TEST(LibraryLinks, MissingTargetsAndForeignHelpsAreReportedNotLost) {
    LinkRepair repair = libraryRepair();
    check(
        repair,
        {
            // Rewritten, as a link into this help is, but counted as unresolved.
            {"index.htm", "ms-its:other.chm::/gone.htm", Outcome::Unresolved, "../other/gone.htm"},
            // A climb out of the other help's folder is left as written.
            {"index.htm", "ms-its:other.chm::/../../etc/passwd", Outcome::Unresolved,
             "ms-its:other.chm::/../../etc/passwd"},
            {"index.htm", "ms-its:missing.chm::/x.htm", Outcome::OutsideLibrary,
             "ms-its:missing.chm::/x.htm"},
            {"index.htm", "ms-its:other.chm::/", Outcome::NotLocal, "ms-its:other.chm::/"},
        });
    std::string html =
        "<a href=\"ms-its:missing.chm::/x.htm\">m</a><a "
        "href=\"ms-its:other.chm::/TOPIC.htm\">o</a>";
    EXPECT_TRUE(repair.repairPage(html, "index.htm"));
    EXPECT_EQ(html,
              "<a href=\"ms-its:missing.chm::/x.htm\">m</a><a href=\"../other/topic.htm\">o</a>");
    ASSERT_EQ(repair.outsideLibrary().size(), 1u);
    EXPECT_EQ(repair.outsideLibrary()[0].second, "ms-its:missing.chm::/x.htm");
    EXPECT_EQ(repair.unresolvedCount(), 0u);
    EXPECT_EQ(repair.report(), "index.htm\tms-its:missing.chm::/x.htm\n");
    EXPECT_EQ(repair.summary(),
              "\r\n\r\nlinks repaired: 1, links still unresolved: 0, links into helps outside the "
              "library: 1\r\n");
}

}  // namespace
}  // namespace plovik
