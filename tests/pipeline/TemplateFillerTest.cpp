#include "templating/TemplateFiller.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace plovik {
namespace {

std::string fill(const std::string& text, std::vector<std::pair<std::string, std::string>> pairs) {
    std::string t = text;
    TemplateFiller::applyReplacements(t, pairs);
    return t;
}

TEST(TemplateFiller, ReplacesEveryOccurrenceInOrderAndRescansEarlierValues) {
    EXPECT_EQ(fill("{title}-{title}-{title}", {{"{title}", "Help"}}), "Help-Help-Help");
    EXPECT_EQ(fill("X", {{"X", "aY"}, {"Y", "B"}}), "aB");
    // A later value is not rescanned by an earlier placeholder.
    EXPECT_EQ(fill("X", {{"Y", "B"}, {"X", "aY"}}), "aY");
    EXPECT_EQ(fill("nothing here", {{"{x}", "v"}}), "nothing here");
}

TEST(TemplateFiller, SearchFromTheStartFindsOccurrencesAReplacementCreates) {
    // "ab" -> "b" in "aab": the replacement makes a new "ab" with the "a" before it.
    EXPECT_EQ(fill("aab", {{"ab", "b"}}), "b");
    EXPECT_EQ(fill("aabb", {{"ab", "a"}}), "aa");
}

TEST(TemplateFiller, ValueHoldingItsOwnPlaceholderTerminates) {
    EXPECT_EQ(fill("{x} and {x}", {{"{x}", "<{x}>"}}), "<{x}> and <{x}>");
    EXPECT_EQ(fill("{x}", {{"{x}", "{x}{x}"}}), "{x}{x}");
}

TEST(TemplateFiller, WritesCrLfFromLfAndCrLfTemplates) {
    test::TempDir dir;
    for (const char* tpl :
         {"<p>{title}</p>\n<p>{title}</p>\n", "<p>{title}</p>\r\n<p>{title}</p>\r\n"}) {
        auto tplPath = test::writeFile(dir.path() / "t.tpl", tpl).string();
        TemplateFiller filler(tplPath);
        ASSERT_TRUE(filler.addReplacement("Help", "{title}"));
        ASSERT_TRUE(filler.writeFilled((dir.path() / "out.html").string()));
        EXPECT_EQ(test::readFile(dir.path() / "out.html"), "<p>Help</p>\r\n<p>Help</p>\r\n");
    }
}

TEST(TemplateFiller, MissingTemplateGivesAnEmptyOutputFile) {
    test::TempDir dir;
    TemplateFiller filler((dir.path() / "missing.tpl").string());
    filler.addReplacement("v", "{p}");
    filler.writeFilled((dir.path() / "out.html").string());
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out.html"));
    EXPECT_EQ(test::readFile(dir.path() / "out.html"), "");
    EXPECT_FALSE(filler.text().has_value());
}

TEST(TemplateFiller, RefusesReplacementsWithoutATemplatePath) {
    TemplateFiller filler;
    EXPECT_FALSE(filler.addReplacement("v", "{p}"));
}

}  // namespace
}  // namespace plovik
