// The edits made to a page's text and the path operations behind its links.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pages/BodyTagPlaces.h"
#include "pages/EntryFileName.h"
#include "pages/HtmlProcessor.h"
#include "pages/PageLinks.h"
#include "pages/PagesFixture.h"

namespace plovik {
namespace {

using P = CHtmlProcessor;

TEST(PageText, InsertAfterBodyTagFollowsTheTagsClosingBracket) {
    std::string page = "<html><body class=\"x\" onload='f()'>text</body></html>";
    P::InsertAfterBodyTag(page, "[NAV]");
    EXPECT_EQ(page, "<html><body class=\"x\" onload='f()'>[NAV]text</body></html>");

    std::string both = "<body>lower <BODY>upper";
    P::InsertAfterBodyTag(both, "[X]");
    EXPECT_EQ(both, "<body>lower <BODY>[X]upper");

    std::string none = "just text";
    P::InsertAfterBodyTag(none, "[X]");
    EXPECT_EQ(none, "[X]just text");

    std::string unclosed = "head <body never closes";
    P::InsertAfterBodyTag(unclosed, "[X]");
    EXPECT_EQ(unclosed, "[X]head <body never closes");
}

TEST(PageText, InsertBeforeBodyEndOrAtTheEnd) {
    std::string page = "<body>a</body></html>";
    P::InsertBeforeBodyEnd(page, "[F]");
    EXPECT_EQ(page, "<body>a[F]</body></html>");

    std::string both = "</BODY> and </body>";
    P::InsertBeforeBodyEnd(both, "[F]");
    EXPECT_EQ(both, "[F]</BODY> and </body>");

    std::string none = "no end";
    P::InsertBeforeBodyEnd(none, "[F]");
    EXPECT_EQ(none, "no end[F]");
}

// The places are found once and followed across insertions; the inserted blocks and the bytes
// beside them may form tags of their own, cut a tag in two, or hold none. Whatever the page and
// the blocks, each insertion lands where a fresh search of the page as it is then would put it.
TEST(PageText, BodyTagPlacesFollowInsertionsAsAFreshSearchWould) {
    const std::vector<std::string> pieces = {"<BODY", "<body", "</BODY>", "</body>", ">",  "x",
                                             "<",     "</",    "BODY>",   "body>",   "/b", "ody"};
    auto fresh = [](std::string& page, bool after, std::string_view html) {
        auto either = [&](std::string_view upper, std::string_view lower) {
            const std::size_t at = page.find(upper);
            return at != std::string::npos ? at : page.find(lower);
        };
        if (after) {
            const std::size_t tag = either("<BODY", "<body");
            const std::size_t close = tag == std::string::npos ? tag : page.find('>', tag);
            page.insert(close == std::string::npos ? 0 : close + 1, html);
        } else {
            const std::size_t tag = either("</BODY>", "</body>");
            page.insert(tag == std::string::npos ? page.size() : tag, html);
        }
    };
    std::mt19937 rng(11);
    auto text = [&](int most) {
        std::string out;
        for (int n = static_cast<int>(rng() % (most + 1)); n > 0; --n)
            out += pieces[rng() % pieces.size()];
        return out;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string expected = text(8);
        std::string page = expected;
        BodyTagPlaces places(page);
        for (int step = 0; step < 6; ++step) {
            const std::string html = text(3);
            const int what = static_cast<int>(rng() % 5);
            if (what == 4) {
                const std::string fragment = pieces[rng() % pieces.size()];
                const std::size_t at = expected.find(fragment);
                if (at != std::string::npos)
                    expected.erase(at, fragment.size());
                EXPECT_EQ(places.removeText(fragment), at != std::string::npos);
            } else {
                fresh(expected, what < 2, html);
                if (what < 2)
                    places.insertAfterBodyTag(html);
                else
                    places.insertBeforeBodyEnd(html);
            }
            ASSERT_EQ(page, expected) << "round " << round << ", step " << step;
        }
    }
}

TEST(PageText, PagesWithNulBytesKeepEveryByte) {
    std::string page("\xFF\xFE<\0b\0>\0", 8);
    page += "<body>x</body>";
    P::InsertAfterBodyTag(page, "[N]");
    P::InsertBeforeBodyEnd(page, "[F]");
    EXPECT_EQ(page, std::string("\xFF\xFE<\0b\0>\0", 8) + "<body>[N]x[F]</body>");
}

TEST(PageText, RemoveTextRemovesTheFirstOccurrenceOnly) {
    std::string page = "<p>ad</p>body<p>ad</p>";
    EXPECT_TRUE(P::RemoveText(page, "<p>ad</p>"));
    EXPECT_EQ(page, "body<p>ad</p>");
    const std::string before = page;
    EXPECT_FALSE(P::RemoveText(page, "<p>absent</p>"));
    EXPECT_EQ(page, before);
}

TEST(PageText, ExtractTitleTakesEitherCaseForEachTag) {
    test::RecordedJob job;
    P processor(job.options, job.progress);
    EXPECT_TRUE(processor.ExtractTitle("<html><TITLE>Mixed Tags</title></html>"));
    EXPECT_EQ(processor.m_pageTitle, "Mixed Tags");
    EXPECT_TRUE(processor.ExtractTitle("<title>lower</title><TITLE>UPPER</TITLE>"));
    EXPECT_EQ(processor.m_pageTitle, "UPPER");

    EXPECT_FALSE(processor.ExtractTitle("<title>never closed"));
    EXPECT_EQ(processor.m_pageTitle, "");
    // An end tag before the start closes nothing.
    EXPECT_FALSE(processor.ExtractTitle("</title><title>after"));
    EXPECT_EQ(processor.m_pageTitle, "");

    EXPECT_TRUE(processor.ExtractTitle("<title>" + std::string(300, 't') + "</title>"));
    EXPECT_EQ(processor.m_pageTitle.size(), 259u);
}

TEST(PageLinks, MakeRelativeLinkClimbsFromThePagesFolder) {
    std::string out = "unchanged";
    ASSERT_TRUE(P::MakeRelativeLink("/", "html/a.htm", &out));
    EXPECT_EQ(out, "../");
    ASSERT_TRUE(P::MakeRelativeLink("/", "a.htm", &out));
    EXPECT_EQ(out, "");
    ASSERT_TRUE(P::MakeRelativeLink("/", "x/y/z.htm", &out));
    EXPECT_EQ(out, "../../");
    ASSERT_TRUE(P::MakeRelativeLink("x/b.htm", "x/y/z.htm", &out));
    EXPECT_EQ(out, "../b.htm");
    ASSERT_TRUE(P::MakeRelativeLink("a//b.htm", "c.htm", &out));
    EXPECT_EQ(out, "a/b.htm");

    out = "unchanged";
    EXPECT_FALSE(P::MakeRelativeLink("x/y", "x/y", &out));
    EXPECT_FALSE(P::MakeRelativeLink("", "a.htm", &out));
    EXPECT_FALSE(P::MakeRelativeLink("a.htm", "", &out));
    EXPECT_FALSE(P::MakeRelativeLink("a.htm", "b.htm", nullptr));
    EXPECT_EQ(out, "unchanged");
}

TEST(PageLinks, LinksFromAPageClimbOncePerFolderLevelThenNameTheTarget) {
    EXPECT_EQ(rootPrefixOf("a.htm"), "");
    EXPECT_EQ(rootPrefixOf("html/a.htm"), "../");
    EXPECT_EQ(rootPrefixOf("x/y/z.htm"), "../../");
    // The target is not shortened against the page's own folder.
    EXPECT_EQ(linkFromPage("html/b.htm#s", "html/a.htm"), "../html/b.htm#s");
    EXPECT_EQ(linkFromPage("b.htm", "a.htm"), "b.htm");
    EXPECT_EQ(linkFromPage("https://example.org/x", "deep/er/a.htm"), "https://example.org/x");
    EXPECT_EQ(linkFromPage("MAILTO:me@example.org", "d/a.htm"), "MAILTO:me@example.org");
}

TEST(PageLinks, DecodeLocalUnescapesAndDropsTheFragment) {
    std::string text = "My+Folder/%41%4a%4B%zz%4/page%20one.htm#part2";
    P::DecodeLocal(text);
    EXPECT_EQ(text, "My Folder/AJK%zz%4/page one.htm");
    std::string nul = "a%00b.htm";
    P::DecodeLocal(nul);
    EXPECT_EQ(nul, "a");
    std::string trailing = "end%2";
    P::DecodeLocal(trailing);
    EXPECT_EQ(trailing, "end%2");
}

TEST(EntryFileName, SlashesAndControlCharactersBecomeUnderscores) {
    EXPECT_EQ(safeEntryFileName("My Help"), "My Help");
    EXPECT_EQ(safeEntryFileName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(safeEntryFileName(std::string("a\tb\nc\x7F"
                                            "d\x01",
                                            8)),
              "a_b_c_d_");
    EXPECT_EQ(safeEntryFileName("Caf\xC3\xA9 \\ back"), "Caf\xC3\xA9 \\ back");
}

}  // namespace
}  // namespace plovik
