#include "text/UnicodeWords.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "pipeline/FullTextSearch.h"
#include "support/Corpus.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

using Words = std::vector<std::string>;

Words split(std::string_view text) {
    Words words;
    appendUnicodeWords(text, words);
    return words;
}

// Texts whose words the generator and the search page must cut alike.
const char* const kSamples[] = {
    "Hello world, hello ALL id is 123 ab", "snake_case a.b.c some-thing \"quoted\" x\\yyy",
    "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97",  // 中文字
    "\xE5\x8F\xA5 single",                   // 句 single
    "Java\xE7\xA8\x8B\xE5\xBA\x8F\xE8\xAE\xBE\xE8\xAE\xA1"
    "API",  // Java程序设计API
    "\xE3\x80\x8C\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x80\x8D\xE3\x82"
    "\x92"
    "\xE9\x96\x8B\xE3\x81\x8F",  // 「ファイル」を開く
    "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\xBB\xE3\x83\x99\xE3\x83\xBC\xE3\x82"
    "\xB9",  // データ・ベース
    "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xED\x85\x8C\xEC\x8A\xA4\xED\x8A\xB8",  // 한국어
                                                                                  // 테스트
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\xE2\x80\x94\xD0\xBC\xD0\xB8\xD1"
    "\x80",  // Привет—мир
    "caf\xC3\xA9 na\xC3\xAFve \xC2\xABquoted\xC2\xBB 5\xE2\x82\xAC \xC3\xB1u ab",  // café
                                                                                   // naïve
                                                                                   // «quoted»
                                                                                   // 5€
                                                                                   // ñu
    "\xF0\xA0\x80\x80\xF0\xA0\x80\x81 wide",  // two supplementary ideographs
    "\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3\xEF\xBC\x8C\xE5\x85\xA8\xE8\xA7\x92",  // ＡＢＣ，全角
};

TEST(UnicodeWords, AsciiTextGivesTheByteRulesWords) {
    for (const char* text : {"<body>\n<p>Hello world, hello ALL</p>\nid is 123 ab\n</body>\n",
                             "<body>\nsnake_case a.b.c some-thing \"quoted\" x\\yyy\n",
                             "<body>\none&nbsp;two<script>x</script>\n<p>a\tb\tccc</p>\n"}) {
        EXPECT_EQ(extractPageWordsFromText(text, WordSplit::Unicode),
                  extractPageWordsFromText(text, WordSplit::Bytes))
            << text;
    }
}

TEST(UnicodeWords, CjkRunsBecomeOverlappingPairsAndLoneCharactersStay) {
    EXPECT_EQ(split("\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97"),
              (Words{"\xE4\xB8\xAD\xE6\x96\x87", "\xE6\x96\x87\xE5\xAD\x97"}));
    EXPECT_EQ(split("\xE5\x8F\xA5 single"), (Words{"\xE5\x8F\xA5", "single"}));
    // Latin letters around a run are words of their own; their case is folded, the run's is not.
    EXPECT_EQ(split("Java\xE7\xA8\x8B\xE5\xBA\x8F"
                    "API"),
              (Words{"java", "\xE7\xA8\x8B\xE5\xBA\x8F", "api"}));
    // Japanese punctuation and the katakana middle dot end runs; the long-vowel mark does not.
    EXPECT_EQ(split("\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\xBB\xE3\x83\x99"),
              (Words{"\xE3\x83\x87\xE3\x83\xBC", "\xE3\x83\xBC\xE3\x82\xBF", "\xE3\x83\x99"}));
}

TEST(UnicodeWords, NonAsciiPunctuationAndSpacesSeparateButLettersDoNot) {
    // "Привет—мир": the em dash separates, Cyrillic letters stay whole.
    EXPECT_EQ(
        split("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\xE2\x80\x94\xD0\xBC\xD0\xB8"
              "\xD1\x80"),
        (Words{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\xBC\xD0\xB8\xD1\x80"}));
    // Bytes 0xA3 and 0xAC inside UTF-8 characters ("ã", "ì") no longer cut words; "£" does.
    EXPECT_EQ(split("S\xC3\xA3o cl\xC3\xAC"
                    "ck 5\xC2\xA3 x\xC2\xA0yyy"),
              (Words{"s\xC3\xA3o",
                     "cl\xC3\xAC"
                     "ck",
                     "yyy"}));
}

TEST(UnicodeWords, BytesThatAreNotUtf8StayInTheirWord) {
    EXPECT_EQ(split("caf\xE9 na\xEFve \xE4\xB8"), (Words{"caf\xE9", "na\xEFve"}));
    EXPECT_EQ(split("\xE4\xB8 ab"), Words{});  // a cut character is two letter bytes, too short
    EXPECT_EQ(split("\xC0\xAF\xED\xA0\x80"),
              (Words{"\xC0\xAF\xED\xA0\x80"}));  // overlong, surrogate
}

// The search page's script (template js/words.js) must cut exactly as the generator does, or a
// query finds nothing that the data holds.
TEST(UnicodeWords, TheSearchPageCutsQueriesTheSameWay) {
    if (std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed";
    test::TempDir dir;
    const auto input = dir.path() / "in.txt";
    const auto output = dir.path() / "out.txt";
    {
        std::ofstream in(input, std::ios::binary);
        for (const char* text : kSamples)
            in << text << '\n';
    }
    const std::string script =
        "const W=require('" + (test::sourceDir() / "template/clarity/js/words.js").string() +
        "');const fs=require('fs');"
        "const lines=fs.readFileSync(process.argv[1],'utf8').split('\\n').slice(0,-1);"
        "fs.writeFileSync(process.argv[2],lines.map(l=>W.words(l).join('\\t')).join('\\n')+'\\n');";
    const std::string command =
        "node -e \"" + script + "\" '" + input.string() + "' '" + output.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::ifstream out(output, std::ios::binary);
    std::string line;
    for (const char* text : kSamples) {
        ASSERT_TRUE(std::getline(out, line)) << text;
        std::string expected;
        for (const auto& word : split(text))
            expected += (expected.empty() ? "" : "\t") + word;
        EXPECT_EQ(line, expected) << text;
    }
}

}  // namespace
}  // namespace plovik
