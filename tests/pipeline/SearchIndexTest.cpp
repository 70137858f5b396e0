#include "pipeline/SearchIndex.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/OutputFolder.h"
#include "platform/TextFile.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "text/Utf8.h"

namespace plovik {
namespace {

std::vector<std::string> wordsOf(const SearchPageText& page) {
    std::vector<std::string> out;
    for (const PlacedWord& w : page.words)
        out.push_back(w.word);
    return out;
}

std::vector<std::string> folded(std::string_view text) {
    std::vector<PlacedWord> placed;
    appendFoldedWords(text, 0, placed);
    std::vector<std::string> out;
    for (const PlacedWord& w : placed)
        out.push_back(w.word);
    return out;
}

using Words = std::vector<std::string>;

TEST(SearchPageText, KeepsWhatAReaderSeesAndNothingElse) {
    const SearchPageText page = readSearchPageText(
        "<html><head><title>Tea &amp; Cakes</title><style>p{color:red}</style></head>\n"
        "<body><!-- hidden comment --><h1>Brewing</h1><script>var secret='x';</script>\n"
        "<p>Hash<b>Map</b> holds&nbsp;leaves.</p><noscript>nojs</noscript>text</body></html>",
        true);
    EXPECT_EQ(page.title, "Tea & Cakes");
    EXPECT_EQ(wordsOf(page), (Words{"brewing", "hashmap", "holds", "leaves", "text"}));
    EXPECT_EQ(page.inHeading, (std::vector<bool>{true, false, false, false, false}));
    EXPECT_NE(page.text.find("HashMap holds"), std::string::npos) << page.text;
    EXPECT_EQ(page.text.find("secret"), std::string::npos);
    EXPECT_EQ(page.text.find("hidden"), std::string::npos);
}

TEST(SearchPageText, SurvivesPagesThatNeverCloseWhatTheyOpen) {
    // A head without its end tag ends at the body; an unclosed title at the next tag; a tag or a
    // comment cut off by the end of the file ends the text.
    EXPECT_EQ(wordsOf(readSearchPageText("<head><title>One<body>two three", true)),
              (Words{"two", "three"}));
    EXPECT_EQ(readSearchPageText("<head><title>One<body>two", true).title, "One");
    EXPECT_EQ(wordsOf(readSearchPageText("alpha <!-- beta", true)), (Words{"alpha"}));
    EXPECT_EQ(wordsOf(readSearchPageText("alpha <p class=\"beta", true)), (Words{"alpha"}));
    EXPECT_TRUE(readSearchPageText("", true).words.empty());
    // Many headings closed more often than opened never make the depth negative.
    const SearchPageText page = readSearchPageText("</h1></h2><p>plain</p><h3>head</h3>", true);
    EXPECT_EQ(page.inHeading, (std::vector<bool>{false, true}));
}

TEST(SearchPageText, PagesOfACodePageKeepOnlyTheirAsciiWords) {
    const SearchPageText page = readSearchPageText("<body>caf\xE9 menu \xC4\xE8</body>", false);
    EXPECT_EQ(wordsOf(page), (Words{"caf", "menu"}));
    EXPECT_TRUE(isValidUtf8(page.text));
}

TEST(FoldedWords, AccentsAndCaseFoldSoThatPlainLettersFindThem) {
    EXPECT_EQ(folded("R\xC3\xA9sum\xC3\xA9 STRA\xC3\x9F"
                     "E \xC3\x86sir"),
              (Words{"resume", "strasse", "aesir"}));
    EXPECT_EQ(folded("Re\xCC\x81sume\xCC\x81"), (Words{"resume"}));         // combining accents
    EXPECT_EQ(folded("\xD0\x9C\xD0\x98\xD0\xA0 \xCE\xA3\xCE\x9F\xCE\xA6"),  // МИР ΣΟΦ
              (Words{"\xD0\xBC\xD0\xB8\xD1\x80", "\xCF\x83\xCE\xBF\xCF\x86"}));
    // CJK runs become neighbouring two-character pieces; the places count on after them.
    std::vector<PlacedWord> placed;
    appendFoldedWords("\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97 word", 5, placed);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].word, "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(placed[0].position, 5u);
    EXPECT_EQ(placed[1].position, 6u);
    EXPECT_EQ(placed[2].word, "word");
    EXPECT_GT(placed[2].position, 7u);
}

// The search page folds queries with js/words.js; it must fold as the data was folded.
TEST(FoldedWords, TheSearchPageFoldsQueriesTheSameWay) {
    if (std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed";
    std::string sample;
    for (long cp = 0x41; cp < 0x590; ++cp) {
        if (cp < 0x80 && !((cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z')))
            continue;
        std::string one;
        if (cp < 0x800) {
            one += static_cast<char>(cp < 0x80 ? cp : 0xC0 | (cp >> 6));
            if (cp >= 0x80)
                one += static_cast<char>(0x80 | (cp & 0x3F));
        }
        sample += "xx" + one + " ";
    }
    test::TempDir dir;
    {
        std::ofstream in(dir.path() / "in.txt", std::ios::binary);
        in << sample;
    }
    const std::string script =
        "const W=require('" + (test::sourceDir() / "template/clarity/js/words.js").string() +
        "');const fs=require('fs');const t=fs.readFileSync(process.argv[1],'utf8');"
        "fs.writeFileSync(process.argv[2],W.tokens(W.fold(t)).filter(x=>x.cjk||"
        "W.utf8Length(x.word)>=3).map(x=>x.word).join('\\n'));";
    const std::string command = "node -e \"" + script + "\" '" + (dir.path() / "in.txt").string() +
                                "' '" + (dir.path() / "out.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string expected;
    for (const std::string& w : folded(sample))
        expected += (expected.empty() ? "" : "\n") + w;
    EXPECT_EQ(readBinaryFile(dir.path() / "out.txt").value_or("?"), expected);
}

TEST(SearchIndexWriter, RecordsWhereAndHowOftenEachWordStands) {
    const std::vector<SitemapNode> nodes = {{0, -1, 1, "Guide", "", 0},
                                            {1, 0, 2, "Hash \"maps\"", "hash.htm", 0}};
    SearchIndexWriter writer(nodes);
    writer.addPage(0, "hash.htm",
                   readSearchPageText("<h2>Buckets</h2><p>hash hash hash buckets</p>", true));
    writer.addPage(1, "other.htm", readSearchPageText("<title>Other</title><p>hash</p>", true));
    const auto shards = writer.shardFiles();
    // Page 0: "hash" in the title (1) with two title words (2 << 2), three times in the text,
    // at the title's place 0 and three text places; page 1 (one page on) only in the text.
    ASSERT_TRUE(shards.count("ha"));
    EXPECT_NE(shards.at("ha").find("[\"hash\",[0,9,3,4,0,19,1,1,1,4,1,1,17]]"), std::string::npos)
        << shards.at("ha");
    // "buckets": a heading (2) in page 0, not in the title.
    ASSERT_TRUE(shards.count("bu"));
    EXPECT_NE(shards.at("bu").find("[\"buckets\",[0,10,2,2,18,4]]"), std::string::npos)
        << shards.at("bu");
}

TEST(SearchIndexWriter, SplitsABigShardByLongerPrefixesAndKeepsEveryWord) {
    SearchIndexWriter writer({});
    std::string text = "<title>x</title>";  // a title too short to give words of its own
    for (int n = 0; n < 3000; ++n)
        text += "ab" + std::string(1, static_cast<char>('a' + n % 26)) +
                std::string(1, static_cast<char>('a' + (n / 26) % 26)) + "word ";
    for (int page = 0; page < 40; ++page)
        writer.addPage(page, "p.htm", readSearchPageText(text, true));
    const auto shards = writer.shardFiles();
    EXPECT_FALSE(shards.count("ab"));
    std::size_t words = 0;
    for (const auto& [key, body] : shards) {
        EXPECT_EQ(key.rfind("ab", 0), 0u) << key;
        EXPECT_LE(body.size(), SearchIndexWriter::kShardBytes + 4096) << key;
        for (std::size_t at = body.find("[\""); at != std::string::npos;
             at = body.find("[\"", at + 1)) {
            EXPECT_EQ(body.compare(at + 2, key.size(), key), 0) << key;
            ++words;
        }
    }
    EXPECT_EQ(words, 26u * 26u);
}

TEST(SearchIndexWriter, WritesFilesThatNoTitleOrTextCanBreakOutOf) {
    test::TempDir dir;
    const std::string out = dir.path().string() + "/";
    const std::vector<SitemapNode> nodes = {{0, -1, 1, "\"];alert(1);//</script>", "a.htm", 0}};
    SearchIndexWriter writer(nodes);
    writer.addPage(0, "a.htm", readSearchPageText("<p>body \xE2\x80\xA8 line</p>", true));
    ASSERT_TRUE(writer.write(out));
    const auto pages = readBinaryFile(out + "js/search/p-0.js");
    ASSERT_TRUE(pages);
    EXPECT_EQ(*pages, "pkSearchData.pages(0,[[\"\\\"];alert(1);//</script>\",\"a.htm\",[]]]);\n");
    const auto index = readBinaryFile(out + "js/search/index.js");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->rfind("pkSearchData.index({\"version\":1,\"pages\":1,\"chunk\":64,", 0), 0u);
}

// The pages' texts go out several to a file. Every page's text must be in the file whose first
// page is the last one the index lists at or before it, whatever the sizes: many small texts, a
// text of the largest size, empty ones, and one page alone at the end.
TEST(SearchIndexWriter, EachTextIsInTheFileTheIndexPointsTo) {
    test::TempDir dir;
    const std::string out = dir.path().string() + "/";
    SearchIndexWriter writer({});
    OutputFolder folder(out);
    std::vector<std::string> texts;
    for (std::size_t n = 0; n < 300; ++n) {
        std::string text = n % 7 == 0 ? std::string() : "text of page " + std::to_string(n);
        if (n % 50 == 3)
            text = std::string(SearchIndexWriter::kTextBytes, 'x') + std::to_string(n);
        texts.push_back(text);
        ASSERT_TRUE(writer.addText(n, text, folder));
        writer.addPage(static_cast<int>(n), "p" + std::to_string(n) + ".htm", {});
    }
    ASSERT_TRUE(writer.finishTexts(folder));
    ASSERT_TRUE(writer.write(out));
    const auto index = readBinaryFile(out + "js/search/index.js");
    ASSERT_TRUE(index);
    const std::size_t from = index->find("\"texts\":[");
    ASSERT_NE(from, std::string::npos);
    std::vector<std::size_t> starts;
    for (std::size_t at = from + 9; (*index)[at] != ']';) {
        std::size_t used = 0;
        starts.push_back(std::stoul(index->substr(at), &used));
        at += used;
        if ((*index)[at] == ',')
            ++at;
    }
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), 0u);
    EXPECT_LT(starts.size(), 300u / 4);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out + "js/search/t"))
        files += entry.is_regular_file();
    EXPECT_EQ(files, starts.size());
    for (std::size_t n = 0; n < texts.size(); ++n) {
        const std::size_t first = *(std::upper_bound(starts.begin(), starts.end(), n) - 1);
        const auto file = readBinaryFile(out + "js/search/t/" + std::to_string(first) + ".js");
        ASSERT_TRUE(file) << n;
        const std::string call =
            "pkSearchData.text(" + std::to_string(n) + ",\"" + texts[n] + "\");\n";
        EXPECT_NE(file->find(call), std::string::npos) << n;
        // A file stays small unless one text alone is big.
        EXPECT_LE(file->size(),
                  SearchIndexWriter::kTextFileBytes + SearchIndexWriter::kTextBytes + 64)
            << n;
    }
}

}  // namespace
}  // namespace plovik
