// The small text helpers every layer uses: capacities in characters, character references,
// escapes, case-blind search and path segments.

#include <gtest/gtest.h>

#include "text/AsciiCase.h"
#include "text/Capacity.h"
#include "text/HtmlEntities.h"
#include "text/PathSegments.h"
#include "text/PercentEscapes.h"
#include "text/Utf8.h"

namespace plovik {
namespace {

std::string repeat(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t k = 0; k < times; ++k)
        text += piece;
    return text;
}

// A capacity counts what a Windows text field counts: UTF-16 units, not UTF-8 bytes.
TEST(Capacity, CountsCharactersAndNeverSplitsOne) {
    const std::string cyrillic = repeat("\xD0\x96", 259);  // Ж, two bytes each
    EXPECT_EQ(utf16Length(cyrillic), 259u);
    EXPECT_EQ(cutToCapacity(cyrillic, kPathCapacity), cyrillic);
    EXPECT_EQ(cutToCapacity(cyrillic + "x", kPathCapacity), cyrillic);
    const std::string han = repeat("\xE4\xB8\xAD", 1300);  // 中, three bytes each
    EXPECT_EQ(utf16Length(cutToCapacity(han, kHtmlTextCapacity)), 1299u);
    EXPECT_EQ(cutToCapacity(han, kHtmlTextCapacity).size(), 1299u * 3);
    // A character beyond U+FFFF takes two units; one that would not fit whole is left out.
    const std::string emoji = "\xF0\x9F\x98\x80";
    EXPECT_EQ(utf16Length(emoji), 2u);
    EXPECT_EQ(cutToCapacity("ab" + emoji, 3), "ab");
    EXPECT_EQ(cutToCapacity("ab" + emoji, 4), "ab" + emoji);
    // Bytes of a code page count one each and are cut where the capacity says.
    EXPECT_EQ(cutToCapacity("\xCF\xF0\xE8\xE2\xE5\xF2", 4), "\xCF\xF0\xE8\xE2");
}

TEST(Utf8Cut, BacksOffOnlyOverAWholeSequence) {
    EXPECT_EQ(cutUtf8("a\xD0\x96", 2), "a");
    EXPECT_EQ(cutUtf8("a\xD0\x96", 3), "a\xD0\x96");
    // Code-page bytes that look like continuation bytes are not UTF-8: no backing off.
    EXPECT_EQ(cutUtf8("\xCF\xB0\xB0\xB0\xB0", 4), "\xCF\xB0\xB0\xB0");
}

TEST(HtmlEntities, DecodeOnceToTheCharactersTheyStandFor) {
    EXPECT_EQ(decodeHtmlEntities("SerializableDictionary&lt;TKey, TValue&gt;"),
              "SerializableDictionary<TKey, TValue>");
    EXPECT_EQ(decodeHtmlEntities("Tools &amp; Options"), "Tools & Options");
    EXPECT_EQ(decodeHtmlEntities("&quot;q&quot; it&#8217;s &#x41;&#66;"),
              "\"q\" it\xE2\x80\x99s AB");
    // Once: an escaped reference stays a reference.
    EXPECT_EQ(decodeHtmlEntities("&amp;lt;"), "&lt;");
    // What browsers make of Windows-1252's numbers, and of references to nothing.
    EXPECT_EQ(decodeHtmlEntities("&#146;&#0;&#xD800;&#1114112;"),
              "\xE2\x80\x99\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    // Not references: left as written.
    EXPECT_EQ(decodeHtmlEntities("a & b &unknown; &amp &#;"), "a & b &unknown; &amp &#;");
    EXPECT_EQ(decodeHtmlEntities("&eacute;&nbsp;"), "\xC3\xA9\xC2\xA0");
    // Text in another encoding gets only its ASCII references replaced.
    EXPECT_EQ(decodeHtmlEntities("\xE9&amp;&eacute;", true), "\xE9&&eacute;");
}

TEST(HtmlEntities, EscapeWhatMarkupWouldReadAsMarkup) {
    EXPECT_EQ(escapeHtml("<img src=x onerror='a'>&\""),
              "&lt;img src=x onerror=&#39;a&#39;&gt;&amp;&quot;");
    EXPECT_EQ(decodeHtmlEntities(escapeHtml("a<b & \"c\"")), "a<b & \"c\"");
}

TEST(PercentEscapes, TwoDigitsMakeAByteAndNothingElseDoes) {
    EXPECT_EQ(percentEscapeAt("%41", 0), 0x41);
    EXPECT_EQ(percentEscapeAt("%4g", 0), -1);
    EXPECT_EQ(percentEscapeAt("%4", 0), -1);
    EXPECT_EQ(percentEscapeAt("%-1", 0), -1);
    EXPECT_EQ(percentEscapeAt("%+1", 0), -1);
    EXPECT_EQ(hexByteAt("fF", 0), 0xFF);
    EXPECT_EQ(percentDecoded("my%20page%2Ehtm%"), "my page.htm%");
    std::string out;
    appendPercentEscape(out, 0x0A);
    EXPECT_EQ(out, "%0A");
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreAsciiCase("Index.HTML", "index.html"));
    EXPECT_FALSE(equalsIgnoreAsciiCase("\xC3\x89", "\xC3\xA9"));  // É and é are other bytes
    EXPECT_EQ(findIgnoreAsciiCase("<p>x</script><SCRIPT", "<script"), 13u);
    EXPECT_EQ(findIgnoreAsciiCase("abc", "</x>"), std::string_view::npos);
    EXPECT_EQ(findIgnoreAsciiCase("a#b#c", "#c"), 3u);
    EXPECT_EQ(findIgnoreAsciiCase("abc", "", 2), 2u);
    EXPECT_TRUE(startsWithIgnoreAsciiCase("MS-ITS:x", "ms-its:"));
}

TEST(PathSegments, SplitAtSlashesAndName) {
    EXPECT_EQ(pathSegments("/a//b/c.htm/"), (std::vector<std::string_view>{"a", "b", "c.htm"}));
    EXPECT_EQ(splitPath("a//b/"), (std::vector<std::string_view>{"a", "", "b", ""}));
    EXPECT_EQ(extensionOf("dir.d/page.HTM"), ".HTM");
    EXPECT_EQ(extensionOf("README"), "");
    EXPECT_EQ(folderOf("a/b/c.htm"), "a/b/");
    EXPECT_EQ(folderOf("c.htm"), "");
}

}  // namespace
}  // namespace plovik
