// Whole builds of help files whose text is in an ANSI code page: the code page comes from the
// #SYSTEM language, names, pages and sitemaps reach the disk as UTF-8, the pages find their
// table-of-contents nodes, and a pure-ASCII help builds the same whether text is converted or
// kept.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "StageRun.h"
#include "chm/ChmDiagnostics.h"
#include "chm/Extraction.h"
#include "chm/SystemLanguage.h"
#include "pipeline/BuildJob.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"
#include "text/Utf8.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;
using test::ChmWriter;

std::string str(std::string_view a) {
    return std::string(a);
}

// Shift_JIS "表示" and "ソ", whose trail bytes are 0x5C, and their UTF-8.
const std::string kHyojiSjis = "\x95\x5C\x8E\xA6";
const std::string kHyoji = "\xE8\xA1\xA8\xE7\xA4\xBA";
const std::string kSoSjis = "\x83\x5C";
const std::string kSo = "\xE3\x82\xBD";
constexpr std::string_view kFffd = "\xEF\xBF\xBD";

std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string le32(std::uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A #SYSTEM object: version 3, a contents-file record, then the language record.
std::string systemObject(std::uint32_t lcid) {
    const std::string contents = "toc.hhc";
    std::string language = le32(lcid) + le32(0) + le32(1) + le32(0) + le32(0);
    return le32(3) + le16(0) + le16(static_cast<unsigned>(contents.size() + 1)) + contents + '\0' +
           le16(4) + le16(static_cast<unsigned>(language.size())) + language;
}

std::string contentsEntry(const std::string& name, const std::string& local) {
    return "<LI> <OBJECT type=\"text/sitemap\">\r\n<param name=\"Name\" value=\"" + name +
           "\">\r\n<param name=\"Local\" value=\"" + local + "\">\r\n</OBJECT>\r\n";
}

std::string sitemap(const std::string& entries) {
    return "<HTML><HEAD></HEAD><BODY>\r\n<UL>\r\n" + entries + "</UL>\r\n</BODY></HTML>\r\n";
}

// A help compiled for Japanese on an English machine: the ITSF header says 0x0409, #SYSTEM (in
// the compressed section) 0x0411. Names, the sitemaps and two pages are Shift_JIS; one page is
// UTF-8 already, one ASCII, one holds bytes that are no Shift_JIS.
std::string japaneseHelp() {
    ChmWriter w;
    w.layout().languageId = 0x0409;
    w.addFile("/#SYSTEM", systemObject(0x0411));
    w.addFile("/toc.hhc",
              sitemap(contentsEntry(kHyojiSjis, kHyojiSjis + ".htm") +
                      contentsEntry("a\\" + kSoSjis, kSoSjis + "/a.htm") +
                      contentsEntry("UTF-8", "utf8.htm") + contentsEntry("ASCII", "ascii.htm")));
    w.addFile("/index.hhk", sitemap(contentsEntry(kSoSjis, kSoSjis + "/a.htm")));
    w.addFile("/" + kHyojiSjis + ".htm", "<html><head><title>" + kHyojiSjis +
                                             "</title></head><body><a href=\"" + kSoSjis +
                                             "/a.htm\">" + kSoSjis + "</a></body></html>");
    w.addFolder("/" + kSoSjis + "/");
    w.addFile("/" + kSoSjis + "/a.htm",
              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
              "charset=shift_jis\"></head><body>" +
                  kSoSjis + "\xA0</body></html>");
    w.addFile("/utf8.htm", "<html><body>" + kHyoji + "</body></html>");
    w.addFile("/ascii.htm", "<html><head><meta charset=gb2312></head><body>x</body></html>");
    return w.build();
}

class CharsetBuild : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(out());
        setDiagnosticSink(&silentSink());
    }
    void TearDown() override { setDiagnosticSink(nullptr); }

    fs::path out() const { return dir.path() / "out"; }
    fs::path writeChm(const std::string& bytes) {
        EXPECT_FALSE(bytes.empty());
        return test::writeFile(dir.path() / "help.chm", bytes);
    }
    void fill(BuildJob& job, const fs::path& chm, int layout, bool convert) {
        job.chmPath = chm.string();
        job.outputFolder = out().string() + "/";
        job.title = "Help";
        job.entryPageName = "index.html";
        job.layout = static_cast<Layout>(layout);
        job.convertCharset = convert;
        job.templateFolder = test::sourceDir().string() +
                             (layout == 0 ? "/template/clarity/" : "/template/clarity-noframe/");
    }
    test::Extracted extract(const fs::path& chm, bool convert) {
        return test::extractForBuild(chm.string(), out().string() + "/", convert, &recorded);
    }
    std::string file(const std::string& relative) const { return test::readFile(out() / relative); }

    test::TempDir dir;
    test::RecordedLog recorded;
};

TEST(SystemLanguage, TheLanguageRecordIsFoundAmongTheOthers) {
    EXPECT_EQ(languageOfSystemObject(systemObject(0x0804)), 0x0804u);
    EXPECT_EQ(languageOfSystemObject(le32(3) + le16(4) + le16(4) + le32(0x0419)), 0x0419u);
    // No language record, one too short, one cut off by the end, or no records at all.
    EXPECT_EQ(languageOfSystemObject(le32(3) + le16(2) + le16(2) + "x"), std::nullopt);
    EXPECT_EQ(languageOfSystemObject(le32(3) + le16(4) + le16(2) + "xy"), std::nullopt);
    EXPECT_EQ(languageOfSystemObject(le32(3) + le16(4) + le16(20) + le32(0x0411)), std::nullopt);
    EXPECT_EQ(languageOfSystemObject(le32(3) + le16(9) + le16(60000) + "x" + le16(4)),
              std::nullopt);
    EXPECT_EQ(languageOfSystemObject(""), std::nullopt);
    EXPECT_EQ(languageOfSystemObject("\x03\x00"), std::nullopt);
}

TEST_F(CharsetBuild, ExtractionWritesUtf8NamesPagesAndSitemaps) {
    const fs::path chm = writeChm(japaneseHelp());
    const test::Extracted run = extract(chm, true);
    ASSERT_TRUE(run.summary.opened());
    const ConversionCounts& counts = run.counts;
    EXPECT_EQ(counts.codePage, 932);       // from #SYSTEM, not from the header's 0x0409
    EXPECT_EQ(counts.namesConverted, 3u);  // two pages and the folder
    EXPECT_EQ(counts.pagesConverted, 2u);
    EXPECT_EQ(counts.sitemapsConverted, 2u);
    EXPECT_EQ(counts.filesWithUndecodableBytes, 1u);
    // Directory order, which is that of the stored bytes.
    EXPECT_EQ(run.help.pageList,
              (std::vector<std::string>{"ascii.htm", "utf8.htm", kSo + "/a.htm", kHyoji + ".htm"}));
    EXPECT_EQ(run.help.contentsFileName, "toc.hhc");

    // The page in the code page is UTF-8, says so, and its link names the file on disk.
    EXPECT_EQ(file(kHyoji + ".htm"), "<html><head><meta charset=\"utf-8\"><title>" + kHyoji +
                                         "</title></head><body><a href=\"" + kSo + "/a.htm\">" +
                                         kSo + "</a></body></html>");
    EXPECT_TRUE(fs::exists(out() / (kSo + "/a.htm")));
    // The one with a bad byte keeps it as U+FFFD, and the log names it.
    EXPECT_EQ(file(kSo + "/a.htm"),
              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
              "charset=utf-8\"></head><body>" +
                  kSo + str(kFffd) + "</body></html>");
    const auto& log = recorded.texts;
    const std::pair<std::string, int> named{
        "\r\n   " + kSo + "/a.htm: 1 byte could not be decoded (now U+FFFD)", 0};
    EXPECT_NE(std::find(log.begin(), log.end(), named), log.end());
    // The extract lines show the names as written.
    const std::pair<std::string, int> extracted{"\r\n   extract:/" + kHyoji + ".htm......", 0};
    EXPECT_NE(std::find(log.begin(), log.end(), extracted), log.end());

    // UTF-8 and ASCII pages are the bytes stored; the sitemaps are UTF-8.
    EXPECT_EQ(file("utf8.htm"), "<html><body>" + kHyoji + "</body></html>");
    EXPECT_EQ(file("ascii.htm"), "<html><head><meta charset=gb2312></head><body>x</body></html>");
    EXPECT_EQ(file("toc.hhc"),
              sitemap(contentsEntry(kHyoji, kHyoji + ".htm") +
                      contentsEntry("a\\" + kSo, kSo + "/a.htm") +
                      contentsEntry("UTF-8", "utf8.htm") + contentsEntry("ASCII", "ascii.htm")));
    EXPECT_TRUE(isValidUtf8(file("index.hhk")));
}

TEST_F(CharsetBuild, KeepingTheBytesWritesThemAsStored) {
    const fs::path chm = writeChm(japaneseHelp());
    const test::Extracted run = extract(chm, false);
    ASSERT_TRUE(run.summary.opened());
    EXPECT_EQ(run.counts.codePage, 0);
    EXPECT_EQ(run.counts.namesConverted + run.counts.pagesConverted + run.counts.sitemapsConverted,
              0u);
    EXPECT_EQ(run.help.pageList.back(), kHyojiSjis + ".htm");
    EXPECT_EQ(file(kSoSjis + "/a.htm"),
              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
              "charset=shift_jis\"></head><body>" +
                  kSoSjis + "\xA0</body></html>");
}

TEST_F(CharsetBuild, PagesFindTheirNodesAndEveryPageSaysUtf8) {
    const fs::path chm = writeChm(japaneseHelp());
    for (int layout : {0, 1}) {
        SCOPED_TRACE(layout);
        fs::remove_all(out());
        fs::create_directories(out());
        BuildJob job;
        fill(job, chm, layout, true);
        job.runBuild();
        ASSERT_FALSE(job.stoppedByRequest());

        if (layout == 0) {
            const std::string tree = file("HelpContent.html");
            EXPECT_NE(tree.find(">" + kHyoji + "</a>"), std::string::npos);
            EXPECT_NE(tree.find(">a\\" + kSo + "</a>"), std::string::npos);
            EXPECT_NE(tree.find("<meta charset=\"utf-8\">"), std::string::npos);
        } else {
            // The pages load the tree from its data file, which says UTF-8 by its byte order mark.
            const std::string tree = file("HelpContent.js");
            EXPECT_EQ(tree.rfind("\xEF\xBB\xBF", 0), 0u);
            EXPECT_NE(tree.find("\"" + kHyoji + "\""), std::string::npos);
            EXPECT_NE(tree.find("\"a\\\\" + kSo + "\""), std::string::npos);
            EXPECT_NE(file(kHyoji + ".htm").find("<meta charset=\"utf-8\">"), std::string::npos);
        }
        for (const auto& entry : fs::recursive_directory_iterator(out())) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".htm" && ext != ".html" && ext != ".js")
                continue;
            const std::string text = test::readFile(entry.path());
            EXPECT_TRUE(isValidUtf8(text)) << entry.path();
            // A page with text beyond ASCII says what it is, in its head.
            if (ext != ".js" && !scanUtf8(text).ascii) {
                const std::size_t head = text.find("</head>");
                const std::string before = text.substr(0, head);
                EXPECT_TRUE(before.find("charset=\"utf-8\"") != std::string::npos ||
                            before.find("charset=utf-8") != std::string::npos)
                    << entry.path();
            }
        }
        if (layout == 1) {
            const std::regex current("var pkCurrentNode = (-?[0-9]+);");
            std::map<std::string, std::string> expected = {{kHyoji + ".htm", "0"},
                                                           {kSo + "/a.htm", "1"},
                                                           {"utf8.htm", "2"},
                                                           {"ascii.htm", "3"}};
            for (const auto& [page, id] : expected) {
                std::smatch match;
                const std::string text = file(page);
                ASSERT_TRUE(std::regex_search(text, match, current)) << page;
                EXPECT_EQ(match[1], id) << page;
            }
            // The redirect names the first topic in UTF-8, and says so.
            EXPECT_EQ(file("index.html"),
                      "<meta charset=\"utf-8\"><META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=" +
                          kHyoji + ".htm\">");
        } else {
            EXPECT_NE(file("js/indexdata.js").find("[\"" + kSo + "\",\"" + kSo + "/a.htm\"]"),
                      std::string::npos);
        }
    }
}

TEST_F(CharsetBuild, DecodedNamesNeverLeaveTheFolderNorReplaceAStoredName) {
    ChmWriter w;
    w.addFile("/#SYSTEM", systemObject(0x0409));
    w.addFile("/\xB0.htm", "<p>cp1252 name");
    w.addFile("/\xC2\xB0.htm", "<p>UTF-8 name");  // what the first decodes to
    w.addFile("/sub/\x81/../../../evil.htm", "<p>out");
    w.addFile("/\x81..\\..\\evil.htm", "<p>backslashes are data");
    const fs::path chm = writeChm(w.build());
    const test::Extracted run = extract(chm, true);
    const ExtractionSummary& summary = run.summary;
    ASSERT_TRUE(summary.opened());
    EXPECT_EQ(file("\xB0.htm"), "<p>cp1252 name");
    EXPECT_EQ(file("\xC2\xB0.htm"), "<p>UTF-8 name");
    EXPECT_FALSE(fs::exists(dir.path() / "evil.htm"));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "evil.htm"));
    EXPECT_TRUE(fs::exists(out() / (str(kFffd) + "..\\..\\evil.htm")));  // no 0x81 in 1252
    EXPECT_EQ(summary.failed, 1u);
}

// Every file below `root`, with its bytes.
std::map<std::string, std::string> siteOf(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = test::readFile(entry.path());
    return files;
}

TEST_F(CharsetBuild, APureAsciiHelpBuildsTheSameConvertedOrKept) {
    ChmWriter w;
    w.addFile("/#SYSTEM", systemObject(0x0804));
    w.addFile("/toc.hhc", sitemap(contentsEntry("Intro", "intro.htm") +
                                  contentsEntry("Guide", "guide/use.htm")));
    w.addFile("/index.hhk", sitemap(contentsEntry("use", "guide/use.htm")));
    w.addFile("/intro.htm", "<html><head><title>Intro</title></head><body>Hi</body></html>");
    w.addFile("/guide/use.htm",
              "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; "
              "charset=gb2312\"></HEAD><BODY><a href=\"../intro.htm\">back</a></BODY></HTML>");
    w.addFile("/extra.html", "no tags at all");
    const fs::path chm = writeChm(w.build());
    for (int layout : {0, 1}) {
        SCOPED_TRACE(layout);
        std::map<std::string, std::string> sites[2];
        for (bool convert : {false, true}) {
            fs::remove_all(out());
            fs::create_directories(out());
            BuildJob job;
            fill(job, chm, layout, convert);
            job.runBuild();
            sites[convert] = siteOf(out());
        }
        EXPECT_GT(sites[0].size(), 5u);
        EXPECT_TRUE(sites[0] == sites[1]);
        for (const auto& [name, bytes] : sites[1])
            EXPECT_EQ(bytes, sites[0][name]) << name;
    }
}

}  // namespace
}  // namespace plovik
