// The linear replacement must give the text that the literal rule gives: replace the first
// occurrence, search again from the beginning, and for a value holding its own placeholder
// resume after the value.

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "templating/PlaceholderReplacer.h"

namespace plovik {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// nullopt when the rule has not ended after many replacements.
std::optional<std::string> literalRule(std::string text, const Pairs& pairs) {
    for (const auto& [placeholder, value] : pairs) {
        if (placeholder.empty())
            continue;
        const bool selfContaining = value.find(placeholder) != std::string::npos;
        size_t from = 0;
        int steps = 0;
        for (size_t at;
             (at = text.find(placeholder, selfContaining ? from : 0)) != std::string::npos;) {
            if (++steps > 1000)
                return std::nullopt;
            text.replace(at, placeholder.size(), value);
            from = at + value.size();
        }
    }
    return text;
}

std::string randomText(std::mt19937& rng, size_t maxLength, const char* alphabet, size_t letters) {
    std::string text;
    for (size_t n = rng() % (maxLength + 1); n > 0; --n)
        text += alphabet[rng() % letters];
    return text;
}

TEST(PlaceholderReplacer, AgreesWithTheLiteralRule) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        // A tiny alphabet makes overlaps, borders and occurrences across values common.
        const char* alphabet = "ab{}";
        std::string text = randomText(rng, 16, alphabet, 4);
        Pairs pairs;
        for (int k = static_cast<int>(rng() % 3) + 1; k > 0; --k) {
            std::string placeholder = randomText(rng, 3, alphabet, 4);
            pairs.emplace_back(placeholder, randomText(rng, 6, alphabet, 4));
        }
        const auto expected = literalRule(text, pairs);
        if (!expected)
            continue;
        std::string fast = text;
        replacePlaceholders(fast, std::vector<PlaceholderPair>(pairs.begin(), pairs.end()));
        ASSERT_EQ(fast, *expected) << "text " << text;
    }
}

TEST(PlaceholderReplacer, ValuesInsertedEarlierAreReplacedByLaterPairs) {
    std::string text = "X and X, {title}{title}{title}";
    replacePlaceholders(text, {{"X", "a{Y}"}, {"{Y}", "B"}, {"{title}", "Help"}});
    EXPECT_EQ(text, "aB and aB, HelpHelpHelp");

    // An occurrence completed by the inserted value and the text around it is replaced too.
    std::string around = "{ro{root_url}ot_url}";
    replacePlaceholders(around, {{"{root_url}", ""}});
    EXPECT_EQ(around, "");

    std::string self = "{a}{a}";
    replacePlaceholders(self, {{"{a}", "<{a}>"}});
    EXPECT_EQ(self, "<{a}><{a}>");
}

TEST(PlaceholderReplacer, ValuesThatKeepMakingOccurrencesStillEnd) {
    // Under the rule this pair grows the text by two bytes per replacement, for ever.
    std::string text = "bbbbbab";
    replacePlaceholders(text, {{"bbab", "babbba"}});
    EXPECT_LT(text.size(), 100000u);
}

TEST(PlaceholderReplacer, ManyOccurrencesInALargeTextAreCheap) {
    std::string tree, expected;
    for (int k = 0; k < 200000; ++k) {
        tree += "<a href='{root_url}p" + std::to_string(k) + ".htm'>";
        expected += "<a href='../p" + std::to_string(k) + ".htm'>";
    }
    replacePlaceholders(tree, {{"{root_url}", "../"}});
    EXPECT_EQ(tree, expected);
}

}  // namespace
}  // namespace plovik
