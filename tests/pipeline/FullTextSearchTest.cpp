#include "pipeline/FullTextSearch.h"

#include <gtest/gtest.h>

#include <random>

namespace plovik {
namespace {

using Words = std::vector<std::string>;

Words words(std::string_view body) {
    return extractPageWordsFromText(body);
}

TEST(SearchWords, BodyTextOnlyLowerCasedWithoutShortTokens) {
    EXPECT_EQ(words("<html><head><title>Secret title</title></head>\n<body>\n"
                    "<p>Hello world, hello ALL</p>\nid is 123 ab\n</body></html>\n"),
              (Words{"hello", "world", "hello", "all", "123"}));
    EXPECT_EQ(words("<html><p>no body tag here</p></html>\n"), Words{});
    EXPECT_EQ(words(""), Words{});
}

TEST(SearchWords, NbspSeparatesAndJoinsThePieceToTheOneBefore) {
    EXPECT_EQ(words("<body>\none&nbsp;two\n"), (Words{"one", "two"}));
    EXPECT_EQ(words("<body>\n<p>Hello</p><p>World&nbsp;ok</p>\n"), (Words{"helloworld"}));
    // Only the lower-case entity counts.
    EXPECT_EQ(words("<body>\nsay&NBSP;hey\n"), (Words{"say", "nbsp", "hey"}));
}

TEST(SearchWords, ScriptsAndTheirLinesContributeNothing) {
    EXPECT_EQ(words("<body>\n<p>keep this</p>\nlost <script>var hidden;</script> also lost\n"
                    "<p>after</p>\n"),
              (Words{"keep", "this", "after"}));
    // A line without a tag waits for the next line's tags, and goes down with its script.
    EXPECT_EQ(words("<body>\nplain words\n<script>x()</script>\n"), Words{});
    EXPECT_EQ(words("<body>\nbefore <SCRIPT>\nvar a = 1;\nstill script\n</script> gone\nvisible\n"),
              (Words{"visible"}));
    // An unclosed script swallows the rest of the page except the text before its mark.
    EXPECT_EQ(words("<body>\n<p>first</p>\nkept text <script>\nnever\nshown\n"),
              (Words{"first", "kept", "text"}));
}

TEST(SearchWords, TagsSplitOverLinesAreJoinedAndRemoved) {
    EXPECT_EQ(words("<body>\n<a href=\"x.htm\"\n   title=\"Hidden words\">Shown</a>\n"),
              (Words{"shown"}));
    EXPECT_EQ(words("<BODY bgcolor=white>Alpha<br>Beta</BODY>"), (Words{"alpha", "beta"}));
}

TEST(SearchWords, SeparatorsIncludeThePoundAndNotSigns) {
    EXPECT_EQ(words("<body>\nfoo\xA3"
                    "bar\xAC"
                    "baz qux<quux>\n"),
              (Words{"foo", "bar", "baz", "qux"}));
    EXPECT_EQ(words("<body>\nsnake_case a.b.c some-thing \"quoted\" x\\yyy\n"),
              (Words{"snake", "case", "some", "thing", "quoted", "yyy"}));
}

TEST(SearchMerge, FirstAppearanceOrderAndPagesOncePerPage) {
    SearchKeywordList list;
    mergePageWords(list, {"hello", "world", "hello"}, 0);
    mergePageWords(list, {"again", "hello"}, 1);
    ASSERT_EQ(list.keywords().size(), 3u);
    EXPECT_EQ(list.keywords()[0].word, "hello");
    EXPECT_EQ(list.keywords()[0].pages, (std::vector<int>{0, 1}));
    EXPECT_EQ(list.keywords()[1].pages, (std::vector<int>{0}));
    EXPECT_EQ(list.keywords()[2].word, "again");
}

TEST(SearchMerge, LongWordsAreCutButLookedUpUncut) {
    SearchKeywordList list;
    const std::string longWord(300, 'x');
    mergePageWords(list, {longWord, longWord}, 0);
    ASSERT_EQ(list.keywords().size(), 2u);
    EXPECT_EQ(list.keywords()[0].word, std::string(254, 'x'));
    // The cut word itself finds the first cut keyword.
    mergePageWords(list, {std::string(254, 'x')}, 3);
    EXPECT_EQ(list.keywords().size(), 2u);
    EXPECT_EQ(list.keywords()[0].pages, (std::vector<int>{0, 3}));
    // 255 bytes fit uncut.
    mergePageWords(list, {std::string(255, 'y')}, 4);
    EXPECT_EQ(list.keywords().back().word.size(), 255u);
}

// A page's words are merged with each repeat looked up only once; the list must be the one that
// adding every word in turn gives, also with words too long to store, their cut forms, and pages
// of thousands of distinct words after small ones.
TEST(SearchMerge, APageAtOnceGivesTheListOfEveryWordInTurn) {
    std::mt19937 random(7);
    const std::string cut(254, 'c');
    auto someWord = [&] {
        switch (random() % 8) {
            case 0:
                return cut + std::string(1 + random() % 3, 'c');  // stored cut, never found
            case 1:
                return cut;
            default:
                return "w" + std::to_string(random() % (random() % 2 ? 40 : 6000));
        }
    };
    SearchKeywordList atOnce;
    SearchKeywordList inTurn;
    for (int page = 0; page < 60; ++page) {
        std::vector<std::string> words(random() % 4 == 0 ? 9000 : random() % 50);
        for (std::string& word : words)
            word = someWord();
        mergePageWords(atOnce, words, page);
        for (const std::string& word : words)
            inTurn.add(word, page);
    }
    ASSERT_EQ(atOnce.keywords().size(), inTurn.keywords().size());
    for (std::size_t k = 0; k < inTurn.keywords().size(); ++k) {
        EXPECT_EQ(atOnce.keywords()[k].word, inTurn.keywords()[k].word) << k;
        EXPECT_EQ(atOnce.keywords()[k].pages, inTurn.keywords()[k].pages) << k;
    }
}

TEST(SearchData, BytesForEmptyAndSmallLists) {
    std::string data;
    SearchKeywordList empty;
    ASSERT_TRUE(writeSearchData(nullptr, data, empty, {}, {}));
    EXPECT_EQ(data, "var keywords = [];\r\n\r\nvar files = [];");

    SearchKeywordList list;
    mergePageWords(list, {"alpha", "beta"}, 0);
    mergePageWords(list, {"alpha"}, 1);
    std::vector<SitemapNode> nodes(3);
    nodes[0].local = "a.htm";
    nodes[0].name = "First A";
    nodes[1].local = "a.htm";
    nodes[1].name = "Second \"A\"";
    nodes[2].local = "B.htm";  // case matters
    nodes[2].name = "B";
    ASSERT_TRUE(writeSearchData(nullptr, data, list, {"a.htm", "b.htm"}, nodes));
    EXPECT_EQ(data,
              "var keywords = [[\"alpha\",[0,1]],[\"beta\",[0]]];\r\n\r\n"
              "var files = [[\"Second \\\"A\\\"\",\"a.htm\"],[\"b.htm\",\"b.htm\"]];");
}

}  // namespace
}  // namespace plovik
