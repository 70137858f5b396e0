// Text made UTF-8: which encoding a help's language, a page's declaration or a sitemap's bytes
// mean, and what the conversion leaves of pages, sitemaps and names.

#include <gtest/gtest.h>

#include "pages/TableOfContents.h"
#include "text/CharsetDeclaration.h"
#include "text/CodePage.h"
#include "text/TextDecoder.h"
#include "text/Utf8.h"
#include "text/Utf8Converter.h"

namespace plovik {
namespace {

constexpr std::string_view kFffd = "\xEF\xBF\xBD";

// "你好" in GBK and UTF-8; "表示" in Shift_JIS (both first bytes' trail byte is 0x5C) and UTF-8.
constexpr std::string_view kNihaoGbk = "\xC4\xE3\xBA\xC3";
constexpr std::string_view kNihao = "\xE4\xBD\xA0\xE5\xA5\xBD";
constexpr std::string_view kHyojiSjis = "\x95\x5C\x8E\xA6";
constexpr std::string_view kHyoji = "\xE8\xA1\xA8\xE7\xA4\xBA";

std::string str(std::string_view a) {
    return std::string(a);
}

TEST(CodePage, LanguagesGiveTheirAnsiCodePage) {
    struct Case {
        std::uint32_t lcid;
        int codePage;
    };
    const Case cases[] = {
        {0x0804, 936},  {0x1004, 936},  {0x0404, 950},     {0x0C04, 950},  {0x1404, 950},
        {0x0411, 932},  {0x0412, 949},  {0x041E, 874},     {0x042A, 1258}, {0x0405, 1250},
        {0x0415, 1250}, {0x041A, 1250}, {0x081A, 1250},    {0x0C1A, 1251}, {0x0419, 1251},
        {0x0819, 1251}, {0x0422, 1251}, {0x0402, 1251},    {0x0408, 1253}, {0x041F, 1254},
        {0x042C, 1254}, {0x082C, 1251}, {0x040D, 1255},    {0x0401, 1256}, {0x0C01, 1256},
        {0x0429, 1256}, {0x0425, 1257}, {0x0427, 1257},    {0x0409, 1252}, {0x0809, 1252},
        {0x0407, 1252}, {0x0414, 1252}, {0x0439, 1252},     // Hindi has no ANSI code page
        {0x0000, 1252}, {0xFFFF, 1252}, {0x00020804, 936},  // a sort order bit above the id
    };
    for (const Case& c : cases)
        EXPECT_EQ(ansiCodePageOf(c.lcid), c.codePage) << std::hex << c.lcid;
}

TEST(CodePage, EveryEncodingNamedIsOneTheCLibraryConverts) {
    for (int codePage :
         {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        TextDecoder decoder(encodingOfCodePage(codePage));
        EXPECT_TRUE(decoder.usable()) << codePage;
    }
    EXPECT_EQ(encodingOfCodePage(437), "CP1252");
    for (std::string_view label :
         {"utf-8",          "GB2312",       "gbk",        "gb18030",     "Big5",
          "big5-hkscs",     "Shift_JIS",    "x-sjis",     "EUC-JP",      "euc-kr",
          "ks_c_5601-1987", "windows-1251", "cp1250",     "x-cp1253",    "ISO-8859-1",
          "iso-8859-2",     "ISO_8859-5",   "iso8859-15", "iso-8859-16", "us-ascii",
          "koi8-r",         "koi8-u",       "ibm866",     "tis-620",     "windows-874"}) {
        const std::string_view encoding = encodingOfLabel(label);
        ASSERT_FALSE(encoding.empty()) << label;
        EXPECT_TRUE(TextDecoder(encoding).usable()) << label << " -> " << encoding;
    }
}

TEST(CodePage, LabelsAreReadAsBrowsersReadThem) {
    EXPECT_EQ(encodingOfLabel("GB2312"), "GBK");
    EXPECT_EQ(encodingOfLabel("Shift_JIS"), "CP932");  // 0x5C stays a backslash, not a yen
    EXPECT_EQ(encodingOfLabel("ISO-8859-1"), "CP1252");
    EXPECT_EQ(encodingOfLabel("us-ascii"), "CP1252");
    EXPECT_EQ(encodingOfLabel("iso-8859-9"), "CP1254");
    EXPECT_EQ(encodingOfLabel("euc-kr"), "CP949");
    EXPECT_EQ(encodingOfLabel("UTF-16"), "UTF-8");
    EXPECT_EQ(encodingOfLabel("Windows-1251"), "CP1251");
    // Not known, or not readable as bytes where ASCII is ASCII: the declaration does not count.
    for (std::string_view label : {"", "foo", "utf-7", "utf-32", "iso-2022-jp", "ebcdic-us",
                                   "windows-12510", "iso-8859-12", "iso-8859-", "cp"})
        EXPECT_EQ(encodingOfLabel(label), "") << label;
}

TEST(Utf8, TheScanTellsAsciiWellFormedAndBroken) {
    EXPECT_TRUE(scanUtf8("").ascii);
    EXPECT_TRUE(scanUtf8(std::string(100, 'a')).ascii);
    const Utf8Scan chinese = scanUtf8("abc" + str(kNihao) + "xyz");
    EXPECT_FALSE(chinese.ascii);
    EXPECT_TRUE(chinese.valid);
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));  // beyond the basic plane
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
    for (std::string_view bad : {
             "\xC0\x80",          // overlong NUL
             "\xE0\x80\xAF",      // overlong '/'
             "\xED\xA0\x80",      // a surrogate
             "\xF4\x90\x80\x80",  // past U+10FFFF
             "\xF5\x80\x80\x80",
             "\x80",          // a trail byte alone
             "\xE4\xBD",      // cut off by the end
             "\xE4\xBDx",     // cut off by ASCII
             "\xC4\xE3\xBA",  // GBK
         })
        EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(str(bad));
    // The eight-byte steps must not skip a bad byte near a block's edge.
    for (std::size_t at = 0; at < 24; ++at) {
        std::string text(24, 'a');
        text[at] = '\xFF';
        EXPECT_FALSE(isValidUtf8(text)) << at;
        text[at] = '\xC3';
        EXPECT_FALSE(isValidUtf8(text)) << at;
        if (at + 1 < text.size()) {
            text[at + 1] = '\xA9';
            EXPECT_TRUE(isValidUtf8(text)) << at;
        }
    }
}

TEST(TextDecoder, DecodesAndReplacesWhatDoesNotDecode) {
    std::string out;
    TextDecoder gbk("GBK");
    EXPECT_EQ(gbk.decode(kNihaoGbk, out), 0u);
    EXPECT_EQ(out, kNihao);
    EXPECT_EQ(gbk.decode("\x80", out), 0u);  // the euro sign of code page 936
    EXPECT_EQ(out, "\xE2\x82\xAC");

    // A lead byte with a trail that cannot follow it, and one cut off by the end: each bad byte
    // is one U+FFFD, and the ASCII after it survives.
    EXPECT_EQ(gbk.decode("a\xFF"
                         "b" +
                             str(kNihaoGbk) + "\xC4",
                         out),
              2u);
    EXPECT_EQ(out, "a" + str(kFffd) + "b" + str(kNihao) + str(kFffd));

    TextDecoder sjis("CP932");
    EXPECT_EQ(sjis.decode(str(kHyojiSjis) + "\\", out), 0u);
    EXPECT_EQ(out, str(kHyoji) + "\\");

    TextDecoder utf8("UTF-8");
    EXPECT_EQ(utf8.decode("ok\xC0\x80!", out), 2u);
    EXPECT_EQ(out, "ok" + str(kFffd) + str(kFffd) + "!");
    // The C library passes these through: past U+10FFFF, five bytes, and a surrogate.
    EXPECT_EQ(utf8.decode("a\xF5\x83\x83\x83"
                          "b\xF8\x88\x80\x80\x80"
                          "c\xED\xA0\x80",
                          out),
              12u);
    auto fffd = [](int n) {
        std::string text;
        while (n-- > 0)
            text += str(kFffd);
        return text;
    };
    EXPECT_EQ(out, "a" + fffd(4) + "b" + fffd(5) + "c" + fffd(3));
    EXPECT_TRUE(isValidUtf8(out));

    // Long text goes through whole (the buffer grows where it has to).
    const std::string many(100000, '\xA1');
    TextDecoder cp1252("CP1252");
    EXPECT_EQ(cp1252.decode(many, out), 0u);
    EXPECT_EQ(out.size(), 200000u);

    TextDecoder unknown("NO-SUCH-ENCODING");
    EXPECT_FALSE(unknown.usable());
    EXPECT_EQ(unknown.decode("abc", out), 3u);
    EXPECT_EQ(out, "");
}

std::vector<std::string> labelsOf(const std::string& page) {
    std::vector<std::string> labels;
    for (const CharsetDeclaration& d : findCharsetDeclarations(page))
        labels.emplace_back(d.label(page));
    return labels;
}

TEST(CharsetDeclaration, FindsBothFormsInTheHeadOnly) {
    using Labels = std::vector<std::string>;
    EXPECT_EQ(labelsOf("<html><head><META CHARSET = 'GBK' ></head></html>"), Labels{"GBK"});
    EXPECT_EQ(labelsOf("<HEAD><Meta Http-Equiv=\"content-type\" "
                       "content=\"text/html;CharSet=Shift_JIS\"></HEAD>"),
              Labels{"Shift_JIS"});
    EXPECT_EQ(labelsOf("<head><meta content='text/html; charset=\"big5\"' "
                       "http-equiv=Content-Type></head>"),
              Labels{"big5"});
    EXPECT_EQ(labelsOf("<meta charset=utf-8><meta http-equiv=content-type "
                       "content=\"text/html; charset=gb2312\">"),
              (Labels{"utf-8", "gb2312"}));
    // What is not a declaration: another meta's content, a comment, a script, the body, a
    // charset attribute of another element.
    EXPECT_TRUE(labelsOf("<head><meta name=description content=\"charset=gbk\"></head>").empty());
    EXPECT_TRUE(labelsOf("<head><!-- <meta charset=gbk> --></head>").empty());
    EXPECT_TRUE(labelsOf("<head><script>d.write('<meta charset=gbk>')</script></head>").empty());
    EXPECT_TRUE(labelsOf("<head></head><body><meta charset=gbk></body>").empty());
    EXPECT_TRUE(labelsOf("<body><meta charset=gbk>").empty());
    EXPECT_TRUE(labelsOf("<head><script charset=gbk src=a.js></script></head>").empty());
    EXPECT_TRUE(labelsOf("<head><metadata charset=gbk></head>").empty());
    // Cut off anywhere: no crash, and no declaration made of half a tag.
    const std::string page =
        "<head><meta http-equiv='Content-Type' content='text/html; charset=x'>";
    for (std::size_t n = 0; n < page.size(); ++n)
        EXPECT_LE(labelsOf(page.substr(0, n)).size(), 1u);
}

TEST(CharsetDeclaration, DeclaringUtf8RewritesOrAdds) {
    std::string page =
        "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "<meta charset=GBK></HEAD><BODY>x</BODY></HTML>";
    declareUtf8(page);
    EXPECT_EQ(page,
              "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
              "<meta charset=utf-8></HEAD><BODY>x</BODY></HTML>");

    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"<!DOCTYPE html><html><head lang=zh><title>t</title></head>",
         "<!DOCTYPE html><html><head lang=zh><meta charset=\"utf-8\"><title>t</title></head>"},
        {"<html><header>h</header><body>",
         "<html><meta charset=\"utf-8\"><header>h</header><body>"},
        {"<!doctype html>\n<p>x", "<!doctype html><meta charset=\"utf-8\">\n<p>x"},
        {"<p>x</p>", "<meta charset=\"utf-8\"><p>x</p>"},
        {"\xEF\xBB\xBF<p>x", "\xEF\xBB\xBF<meta charset=\"utf-8\"><p>x"},
        {"", "<meta charset=\"utf-8\">"},
    };
    for (const Case& c : cases) {
        std::string text = c.before;
        declareUtf8(text);
        EXPECT_EQ(text, c.after);
    }
}

TEST(CharsetDeclaration, GeneratedPagesSayUtf8OnlyWhenTheyNeedTo) {
    std::string ascii = "<html><head><meta charset=gbk></head><body>plain</body></html>";
    EXPECT_FALSE(declareUtf8IfNeeded(ascii));
    std::string said = "<html><head><meta charset=UTF-8></head><body>" + str(kNihao);
    EXPECT_FALSE(declareUtf8IfNeeded(said));
    std::string silent = "<html><head></head><body>" + str(kNihao);
    EXPECT_TRUE(declareUtf8IfNeeded(silent));
    EXPECT_EQ(silent, "<html><head><meta charset=\"utf-8\"></head><body>" + str(kNihao));
    std::string wrong = "<head><meta charset=big5></head>" + str(kNihao);
    EXPECT_TRUE(declareUtf8IfNeeded(wrong));
    EXPECT_EQ(wrong, "<head><meta charset=utf-8></head>" + str(kNihao));
}

TEST(Utf8Converter, PagesFollowTheirDeclarationThenTheirBytesThenTheCodePage) {
    Utf8Converter help(936);
    std::string out;

    // No declaration, not UTF-8: the help's code page, and a declaration is added.
    const std::string gbk = "<html><head><title>" + str(kNihaoGbk) + "</title></head></html>";
    EXPECT_EQ(help.pageEncoding(gbk), "GBK");
    TextConversion result = help.convertPage(gbk, out);
    EXPECT_TRUE(result.converted);
    EXPECT_EQ(result.undecodable, 0u);
    EXPECT_EQ(out, "<html><head><meta charset=\"utf-8\"><title>" + str(kNihao) +
                       "</title></head></html>");

    // Its own declaration beats the code page; it is rewritten. A 0x5C trail byte is no
    // backslash afterwards.
    const std::string sjis =
        "<HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">"
        "</HEAD><BODY>" +
        str(kHyojiSjis) + "</BODY>";
    EXPECT_EQ(help.pageEncoding(sjis), "CP932");
    ASSERT_TRUE(help.convertPage(sjis, out).converted);
    EXPECT_EQ(out,
              "<HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">"
              "</HEAD><BODY>" +
                  str(kHyoji) + "</BODY>");

    // A declaration that names no encoding we know counts as none.
    EXPECT_EQ(help.pageEncoding("<meta charset=x-unknown>" + str(kNihaoGbk)), "GBK");
    EXPECT_EQ(help.pageEncoding("<meta charset=x-unknown><meta charset=big5>"), "BIG5");

    // Left byte for byte: UTF-8 without a declaration, UTF-8 that says so, a byte-order mark,
    // and ASCII whatever it declares.
    for (const std::string& page :
         {"<html><body>" + str(kNihao) + "</body></html>",
          "<head><meta charset=utf-8></head>" + str(kNihao), "\xEF\xBB\xBF" + str(kNihao),
          std::string("<head><meta charset=gb2312></head><body>plain</body>"),
          std::string("<p>no head at all")}) {
        out = "untouched";
        EXPECT_FALSE(help.convertPage(page, out).converted) << page;
        EXPECT_EQ(out, "untouched");
    }

    // A page that declares GBK but is UTF-8 is taken at its word.
    EXPECT_TRUE(help.convertPage("<meta charset=gbk>" + str(kNihao), out).converted);
}

TEST(Utf8Converter, BytesThatDoNotDecodeAreKeptAsReplacementCharacters) {
    Utf8Converter help(932);
    std::string out;
    // 0xA0 and 0xFD are no characters of code page 932, and 0x81 ends the page cut off.
    const std::string page = "<body>" + str(kHyojiSjis) + "\xA0x\xFD\x81";
    const TextConversion result = help.convertPage(page, out);
    EXPECT_TRUE(result.converted);
    EXPECT_EQ(result.undecodable, 3u);
    EXPECT_EQ(out, "<meta charset=\"utf-8\"><body>" + str(kHyoji) + str(kFffd) + "x" + str(kFffd) +
                       str(kFffd));

    // A page that says UTF-8 but is not: its broken bytes become U+FFFD, the rest stays.
    const std::string broken = "<head><meta charset=utf-8></head>ab\xC3(" + str(kNihao);
    const TextConversion repaired = help.convertPage(broken, out);
    EXPECT_TRUE(repaired.converted);
    EXPECT_EQ(repaired.undecodable, 1u);
    EXPECT_EQ(out, "<head><meta charset=utf-8></head>ab" + str(kFffd) + "(" + str(kNihao));

    // A UTF-16 page with its byte-order mark becomes UTF-8 text that says so.
    const std::string utf16("\xFF\xFE<\0p\0>\0`O}Y", 12);
    ASSERT_TRUE(help.convertPage(utf16, out).converted);
    EXPECT_EQ(out, "<meta charset=\"utf-8\"><p>" + str(kNihao));
}

constexpr const char* kContentsHead =
    "<HTML><HEAD><meta name=\"GENERATOR\" content=\"Microsoft&reg; HTML Help Workshop 4.1\">\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
    "</HEAD><BODY>\r\n<UL>\r\n";

std::string contentsEntry(std::string_view name, std::string_view local) {
    return "<LI> <OBJECT type=\"text/sitemap\">\r\n<param name=\"Name\" value=\"" + str(name) +
           "\">\r\n<param name=\"Local\" value=\"" + str(local) + "\">\r\n</OBJECT>\r\n";
}

TEST(Utf8Converter, SitemapsAreReadAsUtf8OrInTheCodePage) {
    // GBK names and locals, folders included.
    Utf8Converter chinese(936);
    const std::string gbk =
        kContentsHead + contentsEntry(kNihaoGbk, str(kNihaoGbk) + "/" + str(kNihaoGbk) + ".htm#a") +
        "</UL>\r\n</BODY></HTML>\r\n";
    std::string out;
    ASSERT_TRUE(chinese.convertSitemap(gbk, out).converted);
    TableOfContents toc;
    toc.ParseContentsText(out, "C:/help/zh.chm");
    ASSERT_EQ(toc.nodes.size(), 1u);
    EXPECT_EQ(toc.nodes[0].name, kNihao);
    EXPECT_EQ(toc.nodes[0].local, str(kNihao) + "/" + str(kNihao) + ".htm#a");

    // Shift_JIS whose trail bytes 0x5C stand next to real backslashes and quotes.
    Utf8Converter japanese(932);
    const std::string sjis = kContentsHead + contentsEntry(kHyojiSjis, str(kHyojiSjis) + ".htm") +
                             contentsEntry("a\\" + str(kHyojiSjis), "sub/b.htm") + "</UL>\r\n";
    ASSERT_TRUE(japanese.convertSitemap(sjis, out).converted);
    TableOfContents jtoc;
    jtoc.ParseContentsText(out, "C:/help/ja.chm");
    ASSERT_EQ(jtoc.nodes.size(), 2u);
    EXPECT_EQ(jtoc.nodes[0].name, kHyoji);
    EXPECT_EQ(jtoc.nodes[0].local, str(kHyoji) + ".htm");
    EXPECT_EQ(jtoc.nodes[1].name, "a\\" + str(kHyoji));

    // UTF-8 with a byte-order mark loses the mark; UTF-8 without one is left as it is, even in
    // a help whose code page is another.
    const std::string utf8 = kContentsHead + contentsEntry(kNihao, "a.htm");
    ASSERT_TRUE(chinese.convertSitemap("\xEF\xBB\xBF" + utf8, out).converted);
    EXPECT_EQ(out, utf8);
    out = "untouched";
    EXPECT_FALSE(chinese.convertSitemap(utf8, out).converted);
    EXPECT_FALSE(japanese.convertSitemap(utf8, out).converted);
    EXPECT_EQ(out, "untouched");

    // Cyrillic in code page 1251.
    Utf8Converter russian(1251);
    ASSERT_TRUE(russian.convertSitemap("\xCF\xF0\xE8\xE2\xE5\xF2", out).converted);
    EXPECT_EQ(out, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");  // "Привет"
}

TEST(Utf8Converter, NamesThatAreNotUtf8AreDecoded) {
    Utf8Converter help(932);
    std::string out;
    ASSERT_TRUE(
        help.convertName("/" + str(kHyojiSjis) + "/" + str(kHyojiSjis) + ".htm", out).converted);
    EXPECT_EQ(out, "/" + str(kHyoji) + "/" + str(kHyoji) + ".htm");
    EXPECT_FALSE(help.convertName("/" + str(kHyoji) + ".htm", out).converted);
    EXPECT_FALSE(help.convertName("/plain/a.htm", out).converted);
    // A byte that is no character still leaves the separators where they were.
    const TextConversion bad = help.convertName("/a\x81/b.htm", out);
    EXPECT_EQ(bad.undecodable, 1u);
    EXPECT_EQ(out, "/a" + str(kFffd) + "/b.htm");
}

}  // namespace
}  // namespace plovik
