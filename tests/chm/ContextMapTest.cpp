// The context map: #IVB and #STRINGS read from hand-made bytes (well-formed, damaged and
// hostile), matched to the stored files as Microsoft's compiler and chmcmd name them, from the
// test help that chmcmd compiled, and the ids' names read from headers and help projects.

#include <gtest/gtest.h>

#include <chrono>

#include "chm/ChmFile.h"
#include "chm/ContextMap.h"
#include "support/Corpus.h"
#include "support/LittleEndian.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik::test {
namespace {

// "#IVB" bytes for (id, offset) pairs, with its length field as written or as given.
std::string ivbOf(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs,
                  std::optional<std::uint32_t> lengthField = std::nullopt) {
    std::string out;
    putLe32(out, lengthField.value_or(static_cast<std::uint32_t>(pairs.size() * 8)));
    for (auto [id, offset] : pairs) {
        putLe32(out, id);
        putLe32(out, offset);
    }
    return out;
}

// "#STRINGS" as the compilers write it: a NUL first, then each name and its NUL; `offsets` gets
// where each name starts.
std::string stringsOf(const std::vector<std::string>& names, std::vector<std::uint32_t>& offsets) {
    std::string out(1, '\0');
    for (const std::string& name : names) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out += name;
        out += '\0';
    }
    return out;
}

TEST(ContextMapBytes, ReadsEveryPairOrderedByIdWithForwardSlashes) {
    std::vector<std::uint32_t> at;
    const std::string strings = stringsOf({"html\\b.htm", "a.htm", "html\\sub\\c.htm#part"}, at);
    ContextMap map;
    const Outcome outcome = parseContextMap(
        ivbOf({{3000, at[0]}, {17, at[1]}, {0xFFFFFFFF, at[2]}, {18, at[1]}}), strings, map);
    ASSERT_EQ(outcome.grade, Grade::Ok) << outcome.reason;
    ASSERT_EQ(map.entries.size(), 4u);
    EXPECT_EQ(map.entries[0].id, 17u);
    EXPECT_EQ(map.entries[0].topic, "a.htm");
    EXPECT_EQ(map.entries[1].id, 18u);
    EXPECT_EQ(map.entries[1].topic, "a.htm");
    EXPECT_EQ(map.entries[2].id, 3000u);
    EXPECT_EQ(map.entries[2].topic, "html/b.htm");
    EXPECT_EQ(map.entries[3].id, 0xFFFFFFFFu);
    EXPECT_EQ(map.entries[3].topic, "html/sub/c.htm#part");
    EXPECT_EQ(map.skipped, 0u);
}

TEST(ContextMapBytes, AnEmptyMapAndBytesAfterTheCountedPairsAreFine) {
    ContextMap map;
    EXPECT_EQ(parseContextMap(ivbOf({}), "", map).grade, Grade::Ok);
    EXPECT_TRUE(map.entries.empty());

    std::vector<std::uint32_t> at;
    const std::string strings = stringsOf({"a.htm"}, at);
    std::string ivb = ivbOf({{1, at[0]}});
    ivb += std::string(5, '\x7F');  // not counted, so not read
    EXPECT_EQ(parseContextMap(ivb, strings, map).grade, Grade::Ok);
    EXPECT_EQ(map.entries.size(), 1u);
}

TEST(ContextMapBytes, AnIvbThatCannotBeAMapFailsWithItsReason) {
    struct Case {
        std::string ivb;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"", "too short"},
        {std::string("\x08\x00\x00", 3), "too short"},
        {ivbOf({{1, 1}}, 16), "only 8 follow"},
        {ivbOf({{1, 1}}, 0xFFFFFFFF), "only 8 follow"},
        {ivbOf({{1, 1}, {2, 1}}, 12), "not a whole number"},
    };
    for (const Case& c : cases) {
        ContextMap map;
        map.entries.push_back({});  // what was there before goes
        const Outcome outcome = parseContextMap(c.ivb, std::string("\0a.htm\0", 7), map);
        EXPECT_EQ(outcome.grade, Grade::Fatal) << c.says;
        EXPECT_NE(outcome.reason.find(c.says), std::string::npos) << outcome.reason;
        EXPECT_TRUE(map.entries.empty());
    }
}

TEST(ContextMapBytes, BadPairsAreLeftOutAndCountedAndTheRestStays) {
    std::vector<std::uint32_t> at;
    std::string strings = stringsOf({"good.htm", std::string(kMaxContextTopicLength + 1, 'x')}, at);
    const std::uint32_t cutOff = static_cast<std::uint32_t>(strings.size());
    strings += "no-end.htm";  // the last name has no NUL
    ContextMap map;
    const Outcome outcome = parseContextMap(ivbOf({
                                                {1, at[0]},
                                                {2, 0},  // the empty name at the start
                                                {3, 0x7FFFFFFF},
                                                {4, at[1]},  // longer than any file name
                                                {5, cutOff},
                                                {1, at[1]},  // an id seen before
                                                {6, at[0]},
                                            }),
                                            strings, map);
    EXPECT_EQ(outcome.grade, Grade::Warning);
    EXPECT_NE(outcome.reason.find("5 of 7 context ids left out"), std::string::npos)
        << outcome.reason;
    EXPECT_EQ(map.skipped, 5u);
    EXPECT_EQ(map.firstProblem, "id 2 names no topic");
    ASSERT_EQ(map.entries.size(), 2u);
    EXPECT_EQ(map.entries[0].id, 1u);
    EXPECT_EQ(map.entries[0].topic, "good.htm");
    EXPECT_EQ(map.entries[1].id, 6u);

    // Each fault reads as what it is.
    auto firstProblemOf = [&strings](std::uint32_t offset) {
        ContextMap one;
        parseContextMap(ivbOf({{9, offset}}), strings, one);
        return one.firstProblem;
    };
    EXPECT_EQ(firstProblemOf(0x7FFFFFFF),
              "id 9 names its topic at offset 2147483647, outside the " +
                  std::to_string(strings.size()) + " bytes of #STRINGS");
    EXPECT_NE(firstProblemOf(at[1]).find("longer than 4096 bytes"), std::string::npos);
    EXPECT_NE(firstProblemOf(cutOff).find("runs past the end"), std::string::npos);
}

TEST(ContextMapBytes, AHostileMapIsBoundedInIdsAndText) {
    // A long name that every id points at: the names would add up to gigabytes.
    std::string strings(1, '\0');
    strings += std::string(4000, 'n') + '\0';
    std::string ivb;
    const std::uint32_t pairs = (1u << 18) + 100;
    putLe32(ivb, pairs * 8);
    for (std::uint32_t id = 0; id < pairs; ++id) {
        putLe32(ivb, id);
        putLe32(ivb, 1);
    }
    const auto start = std::chrono::steady_clock::now();
    ContextMap map;
    const Outcome outcome = parseContextMap(ivb, strings, map);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(outcome.grade, Grade::Warning);
    std::size_t text = 0;
    for (const ContextEntry& entry : map.entries)
        text += entry.topic.size();
    EXPECT_LE(text, kMaxContextMapText);
    EXPECT_EQ(map.entries.size() + map.skipped, pairs);
    EXPECT_NE(map.firstProblem.find("MiB of topic names"), std::string::npos) << map.firstProblem;

    // Short names: the count of ids is what is bounded.
    strings = std::string("\0a\0", 3);
    ivb.clear();
    putLe32(ivb, pairs * 8);
    for (std::uint32_t id = 0; id < pairs; ++id) {
        putLe32(ivb, id);
        putLe32(ivb, 1);
    }
    parseContextMap(ivb, strings, map);
    EXPECT_EQ(map.entries.size(), 1u << 18);
    EXPECT_EQ(map.skipped, 100u);
    EXPECT_NE(map.firstProblem.find("more than 262144 ids"), std::string::npos);
}

// A help with a context map, made with the test writer.
struct HelpWithMap {
    ChmWriter writer;
    std::vector<std::string> topics;
    std::vector<std::pair<std::uint32_t, std::size_t>> ids;  // id, index into topics

    std::unique_ptr<ChmFile> open() {
        std::vector<std::uint32_t> at;
        const std::string strings = stringsOf(topics, at);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
        for (auto [id, topic] : ids)
            pairs.emplace_back(id, at[topic]);
        writer.addFile("/#IVB", ivbOf(pairs));
        writer.addFile("/#STRINGS", strings);
        return openBuilt();
    }
    std::unique_ptr<ChmFile> openBuilt() {
        const std::string bytes = writer.build();
        EXPECT_FALSE(bytes.empty()) << writer.error();
        return openChm(ownedMemorySource(bytes));
    }
};

// The #SYSTEM object of a help in language `lcid`: the version, then the language record.
std::string systemObject(std::uint32_t lcid) {
    std::string out;
    putLe32(out, 3);
    out += std::string("\x04\x00\x24\x00", 4);
    putLe32(out, lcid);
    out += std::string(32, '\0');
    return out;
}

TEST(ContextMapHelp, TopicsAreMatchedToTheFilesTheyName) {
    HelpWithMap help;
    help.writer.addFile("/html/Intro.htm", "<p>intro</p>");
    help.writer.addFile("/html/sub/deep.htm", "<p>deep</p>");
    help.writer.addFile("/deep.htm", "<p>another deep</p>");
    help.writer.addFile("/#SYSTEM", systemObject(0x409));
    help.topics = {
        "html\\intro.htm",                         // Microsoft's, case as written
        "/home/author/project/html/sub/deep.htm",  // chmcmd's absolute path
        "C:\\Help\\Project\\deep.htm",             // an absolute Windows path
        "html\\Intro.htm#usage",                   // a place in a page
        "html\\missing.htm",                       // not stored
        "#SYSTEM",                                 // the compiler's, not a topic
        "./html/sub/DEEP.HTM",
    };
    for (std::size_t i = 0; i < help.topics.size(); ++i)
        help.ids.emplace_back(static_cast<std::uint32_t>(100 + i), i);
    auto chm = help.open();
    ASSERT_TRUE(chm);

    ContextMap map;
    const Outcome outcome = readContextMap(*chm, map);
    ASSERT_EQ(outcome.grade, Grade::Ok) << outcome.reason;
    ASSERT_EQ(map.entries.size(), help.topics.size());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/html/Intro.htm", ""},
        {"/html/sub/deep.htm", ""},
        {"/deep.htm", ""},
        {"/html/Intro.htm", "#usage"},
        {"", ""},
        {"", ""},
        {"/html/sub/deep.htm", ""},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(map.entries[i].file, expected[i].first) << map.entries[i].topic;
        EXPECT_EQ(map.entries[i].fragment, expected[i].second) << map.entries[i].topic;
    }
    EXPECT_EQ(map.entries[4].topic, "html/missing.htm");
}

TEST(ContextMapHelp, ATopicInTheHelpsCodePageFindsItsUtf8Name) {
    HelpWithMap help;
    // "简介" stored as UTF-8 in the directory, named in GBK in #STRINGS, as Microsoft's compiler
    // leaves a Chinese help.
    help.writer.addFile("/contents/\xE7\xAE\x80\xE4\xBB\x8B.html", "<p>intro</p>");
    help.writer.addFile("/#SYSTEM", systemObject(0x804));
    help.topics = {"contents\\\xBC\xF2\xBD\xE9.html"};
    help.ids = {{1000, 0}};
    auto chm = help.open();
    ASSERT_TRUE(chm);
    ContextMap map;
    ASSERT_TRUE(readContextMap(*chm, map));
    ASSERT_EQ(map.entries.size(), 1u);
    EXPECT_EQ(map.entries[0].file, "/contents/\xE7\xAE\x80\xE4\xBB\x8B.html");
}

TEST(ContextMapHelp, AHelpWithoutAMapHasAnEmptyOneAndABrokenOneSaysWhy) {
    {
        HelpWithMap help;
        help.writer.addFile("/a.htm", "<p>a</p>");
        auto chm = help.openBuilt();
        ContextMap map;
        EXPECT_EQ(readContextMap(*chm, map).grade, Grade::Ok);
        EXPECT_TRUE(map.entries.empty());
    }
    {
        HelpWithMap help;  // an empty #IVB, as one help of the corpus has
        help.writer.addFile("/#IVB", "");
        auto chm = help.openBuilt();
        ContextMap map;
        EXPECT_EQ(readContextMap(*chm, map).grade, Grade::Ok);
    }
    {
        HelpWithMap help;
        help.writer.addFile("/#IVB", ivbOf({{1, 1}}));
        auto chm = help.openBuilt();
        ContextMap map;
        const Outcome outcome = readContextMap(*chm, map);
        EXPECT_EQ(outcome.grade, Grade::Fatal);
        EXPECT_NE(outcome.reason.find("#STRINGS"), std::string::npos);
    }
    {
        HelpWithMap help;
        help.writer.addFile("/#IVB", "\x01\x02");
        help.writer.addFile("/#STRINGS", std::string("\0a.htm\0", 7));
        auto chm = help.openBuilt();
        ContextMap map;
        EXPECT_EQ(readContextMap(*chm, map).grade, Grade::Fatal);
    }
}

// The test help chmcmd compiled from tests/data/helps/context-ids: its #STRINGS holds the absolute
// paths of the source files, and no names of the ids; its project has them.
TEST(ContextMapHelp, TheChmcmdHelpMapsEveryIdOfItsProject) {
    auto chm = openChm((dataDir() / "context-ids.chm").string());
    ASSERT_TRUE(chm);
    ContextMap map;
    const Outcome outcome = readContextMap(*chm, map);
    ASSERT_EQ(outcome.grade, Grade::Ok) << outcome.reason;
    ASSERT_EQ(map.entries.size(), 4u);
    const std::string project = readFile(dataDir() / "helps" / "context-ids" / "context-ids.hhp");
    nameContextIds(map, parseContextNames(project));
    const std::vector<std::tuple<std::uint32_t, std::string, std::string>> expected = {
        {1001, "IDH_TOPIC_A", "/topic_a.htm"},
        {1002, "IDH_TOPIC_B", "/topic_b.htm"},
        {1003, "IDH_TOPIC_C", "/topic_c.htm"},
        {1004, "IDH_TOPIC_D", "/sub/topic_d.htm"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(map.entries[i].id, std::get<0>(expected[i]));
        EXPECT_EQ(map.entries[i].alias, std::get<1>(expected[i]));
        EXPECT_EQ(map.entries[i].file, std::get<2>(expected[i]));
    }
}

// A real help made by Microsoft's compiler, its topics named in GBK.
TEST(ContextMapHelp, ARealChineseHelpMapsEveryIdToAStoredPage) {
    const auto path = corpusFile("chm/jsdk3-help-zh.chm");
    if (path.empty())
        GTEST_SKIP() << "jsdk3-help-zh.chm is not in the shared corpus";
    auto chm = openChm(path.string());
    ASSERT_TRUE(chm);
    ContextMap map;
    ASSERT_EQ(readContextMap(*chm, map).grade, Grade::Ok);
    EXPECT_EQ(map.entries.size(), 55u);
    for (const ContextEntry& entry : map.entries)
        EXPECT_FALSE(entry.file.empty()) << entry.id << " " << entry.topic;
    EXPECT_EQ(map.entries.front().id, 1000u);
    EXPECT_EQ(map.entries.front().file, "/contents/\xE7\xAE\x80\xE4\xBB\x8B.html");
}

TEST(ContextNames, DefinesOfHeadersAndProjectsNameTheirIds) {
    const std::string header =
        "// Help ids of the main window\r\n"
        "#define IDH_MAIN 1000\r\n"
        "  #  define\tIDH_OPEN\t0x3E9 // Open dialog\n"
        "#define IDH_SAVE 1002L\n"
        "#define IDH_CLOSE (1003u) /* Close */\n"
        "#define IDH_MAIN 2000\n"       // a name defined again keeps its first number
        "#define IDH_AGAIN 1000\n"      // a number named again keeps its first name
        "#define IDH_WORD SOMETHING\n"  // not a number
        "#define IDH_MIXED 10abc\n"     // not a number either
        "#define IDH_BIG 4294967296\n"  // more than 32 bits
        "#define IDH_HUGE 0x1FFFFFFFF\n"
        "#defineIDH_GLUED 5\n"
        "#define 6 IDH_BACKWARDS\n"
        "#define IDH_ALONE\n"
        "IDH_PLAIN=topic.htm\n"
        "#define IDH_LAST 0xFFFFFFFF";
    std::vector<std::string> includes;
    const auto names = parseContextNames(header, &includes);
    const std::map<std::uint32_t, std::string> expected = {
        {1000, "IDH_MAIN"},  {1001, "IDH_OPEN"},       {1002, "IDH_SAVE"},
        {1003, "IDH_CLOSE"}, {0xFFFFFFFF, "IDH_LAST"},
    };
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(includes.empty());

    const std::string project =
        "[ALIAS]\n#include alias.h\nIDH_A=a.htm\n[MAP]\n#include \"map.h\"\n#include <sub\\ids.h>\n"
        "#define IDH_A 7\n";
    const auto projectNames = parseContextNames(project, &includes);
    EXPECT_EQ(projectNames, (std::map<std::uint32_t, std::string>{{7, "IDH_A"}}));
    EXPECT_EQ(includes, (std::vector<std::string>{"alias.h", "map.h", "sub\\ids.h"}));
}

TEST(ContextNames, NamesReachOnlyTheIdsTheyNumber) {
    ContextMap map;
    map.entries = {{1, "", "a.htm", "/a.htm", ""}, {2, "", "b.htm", "/b.htm", ""}};
    nameContextIds(map, {{2, "IDH_B"}, {3, "IDH_C"}});
    EXPECT_EQ(map.entries[0].alias, "");
    EXPECT_EQ(map.entries[1].alias, "IDH_B");
}

}  // namespace
}  // namespace plovik::test
