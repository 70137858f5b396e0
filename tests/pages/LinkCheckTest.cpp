// The link checker that the site tests rely on: if it misses links, those tests prove nothing.

#include <gtest/gtest.h>

#include "support/LinkCheck.h"
#include "support/TempDir.h"

namespace plovik::test {
namespace {

TEST(LinkCheck, FindsQuotedUnquotedAndScriptEscapedLinks) {
    const std::string html =
        "<a href=\"a.htm\">x</a><img src=../img/p.gif border=0><A HREF = 'b&amp;c.htm'>"
        "document.write(\"<a href=\\\"d.htm\\\">\");<a data-src=\"no.htm\" srcset=\"no2.htm\">"
        "<a href=\"http://x/\"><a href=\"#top\"><a href=\"mailto:a@b\"><a href=\"javascript:f()\">"
        "<img src=\"data:image/gif;base64,AA\"><a href=''>";
    EXPECT_EQ(localLinksOf(html),
              (std::vector<std::string>{"a.htm", "../img/p.gif", "b&c.htm", "d.htm"}));
}

TEST(LinkCheck, ResolvesAgainstThePagesFolder) {
    EXPECT_EQ(resolveLink("guide/a.htm", "b.htm#x"), "guide/b.htm");
    EXPECT_EQ(resolveLink("guide/a.htm", "../img/p%20q.gif?v=1"), "img/p q.gif");
    EXPECT_EQ(resolveLink("guide/a.htm", "/top.htm"), "top.htm");
    EXPECT_EQ(resolveLink("guide/a.htm", "..\\x\\.\\y.htm"), "x/y.htm");
    EXPECT_EQ(resolveLink("guide/a.htm", "?q=1"), "guide/a.htm");
    EXPECT_EQ(resolveLink("a.htm", "../../etc/passwd"), "");
}

TEST(LinkCheck, CountsOnlyWhatTheBaselineDidNotAlreadyMiss) {
    TempDir site;
    writeFile(site.path() / "a.htm", "<a href=\"sub/b.htm\"></a><a href=\"old-missing.htm\"></a>");
    writeFile(site.path() / "sub/b.htm", "<img src=\"../a.htm\"><a href=\"../..\">");
    writeFile(site.path() / "style.css", "a { background: url(none.gif) }");  // not a page
    const LinkBaseline baseline = LinkBaseline::of(site.path());

    writeFile(site.path() / "sub/c.html", "<a href=\"new-missing.htm\"></a><a href=\"./\"></a>");
    const auto all = findBrokenLinks(site.path());
    ASSERT_EQ(all.size(), 4u) << describe(all);
    const auto fresh = newlyBrokenLinks(site.path(), baseline);
    ASSERT_EQ(fresh.size(), 3u) << describe(fresh);
    EXPECT_EQ(fresh[0].page, "sub/b.htm");  // climbing out of the site is always counted
    EXPECT_EQ(fresh[0].resolved, "");
    EXPECT_EQ(fresh[1].resolved, "sub");  // a folder without index.html
    EXPECT_EQ(fresh[2].resolved, "sub/new-missing.htm");
}

}  // namespace
}  // namespace plovik::test
