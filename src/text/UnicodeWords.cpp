#include "text/UnicodeWords.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

#include "text/AsciiCase.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

using Range = std::pair<long, long>;  // first and last code point, inclusive

// Non-ASCII white space, punctuation, and the symbols that never belong to a word. Sorted.
constexpr Range kSeparatorRanges[] = {
    {0x0080, 0x00A9}, {0x00AB, 0x00B1}, {0x00B4, 0x00B4}, {0x00B6, 0x00B8}, {0x00BB, 0x00BB},
    {0x00BF, 0x00BF}, {0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x037E, 0x037E}, {0x0387, 0x0387},
    {0x055A, 0x055F}, {0x0589, 0x058A}, {0x05BE, 0x05BE}, {0x05C0, 0x05C0}, {0x05C3, 0x05C3},
    {0x05C6, 0x05C6}, {0x05F3, 0x05F4}, {0x060C, 0x060D}, {0x061B, 0x061B}, {0x061F, 0x061F},
    {0x066A, 0x066D}, {0x06D4, 0x06D4}, {0x0964, 0x0965}, {0x0970, 0x0970}, {0x0E4F, 0x0E4F},
    {0x0E5A, 0x0E5B}, {0x1680, 0x1680}, {0x2000, 0x206F}, {0x20A0, 0x20CF}, {0x2190, 0x21FF},
    {0x2500, 0x27BF}, {0x2E00, 0x2E7F}, {0x3000, 0x3004}, {0x3008, 0x3020}, {0x3030, 0x3030},
    {0x303D, 0x303F}, {0x30FB, 0x30FB}, {0xFE10, 0xFE19}, {0xFE30, 0xFE6B}, {0xFEFF, 0xFEFF},
    {0xFF01, 0xFF0F}, {0xFF1A, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}, {0xFFE0, 0xFFEE},
    {0xFFF9, 0xFFFD},
};

// Han, Kana and Hangul: scripts written without spaces between words (Hangul with them, but
// its syllables combine the same way). Sorted.
constexpr Range kCjkRanges[] = {
    {0x1100, 0x11FF}, {0x2E80, 0x2FDF},   {0x3005, 0x3007}, {0x3021, 0x3029}, {0x3031, 0x3035},
    {0x3038, 0x303C}, {0x3041, 0x30FA},   {0x30FC, 0x30FF}, {0x3130, 0x318F}, {0x31F0, 0x31FF},
    {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},   {0xA960, 0xA97F}, {0xAC00, 0xD7FF}, {0xF900, 0xFAFF},
    {0xFF66, 0xFFDC}, {0x20000, 0x3FFFF},
};

// The separators among single bytes: ASCII white space and punctuation, and two bytes that the
// search data's format has always cut at (0xA3 and 0xAC, whatever they are in a code page).
constexpr std::array<bool, 256> makeByteSeparators() {
    std::array<bool, 256> table{};
    for (unsigned char c : std::string_view(" \t.:,[]{}()-|/@?'\"~$!;*#+\\_&=%^"))
        table[c] = true;
    table[0xA3] = true;
    table[0xAC] = true;
    return table;
}
constexpr std::array<bool, 256> kByteSeparator = makeByteSeparators();
constexpr std::size_t kMinWordLength = 3;

template <std::size_t N>
bool inRanges(const Range (&ranges)[N], long cp) {
    auto it = std::upper_bound(std::begin(ranges), std::end(ranges), cp,
                               [](long value, const Range& r) { return value < r.first; });
    return it != std::begin(ranges) && cp <= std::prev(it)->second;
}

CharClass asciiClass(unsigned char c) {
    return kByteSeparator[c] ? CharClass::Separator : CharClass::Letter;
}

// decodeUtf8At, without the call for the ASCII that most pages are made of.
Utf8Char characterAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    return lead < 0x80 ? Utf8Char{lead, 1} : decodeUtf8At(text, at);
}

void pushLetters(std::string_view text, std::vector<std::string>& words) {
    if (text.size() < kMinWordLength)
        return;
    std::string word(text);
    lowerAsciiInPlace(word);
    words.push_back(std::move(word));
}

}  // namespace

CharClass classifyCharacter(long cp) {
    if (cp < 0)
        return CharClass::Letter;
    if (cp < 0x80)
        return kByteSeparator[static_cast<std::size_t>(cp)] ? CharClass::Separator
                                                            : CharClass::Letter;
    if (inRanges(kSeparatorRanges, cp))
        return CharClass::Separator;
    if (inRanges(kCjkRanges, cp))
        return CharClass::Cjk;
    return CharClass::Letter;
}

void appendUnicodeWords(std::string_view text, std::vector<std::string>& words) {
    std::size_t letterStart = 0;
    bool inLetters = false;
    // The CJK run being read: where its previous character starts, and how many it has had.
    std::size_t previousCjk = 0;
    std::size_t cjkCount = 0;
    std::size_t i = 0;
    auto endCjkRun = [&] {
        if (cjkCount == 1)
            words.emplace_back(text.substr(previousCjk, i - previousCjk));
        cjkCount = 0;
    };
    while (i < text.size()) {
        // Most text is ASCII: a run of its letters is taken in one go.
        if (inLetters && cjkCount == 0) {
            while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80 &&
                   !kByteSeparator[static_cast<unsigned char>(text[i])])
                ++i;
            if (i == text.size())
                break;
        }
        const auto [cp, length] = characterAt(text, i);
        const CharClass kind = cp >= 0 && cp < 0x80 ? asciiClass(static_cast<unsigned char>(cp))
                                                    : classifyCharacter(cp);
        if (kind != CharClass::Letter && inLetters) {
            pushLetters(text.substr(letterStart, i - letterStart), words);
            inLetters = false;
        }
        if (kind != CharClass::Cjk && cjkCount > 0)
            endCjkRun();
        if (kind == CharClass::Letter && !inLetters) {
            letterStart = i;
            inLetters = true;
        } else if (kind == CharClass::Cjk) {
            if (cjkCount > 0)
                words.emplace_back(text.substr(previousCjk, i + length - previousCjk));
            previousCjk = i;
            ++cjkCount;
        }
        i += length;
    }
    if (inLetters)
        pushLetters(text.substr(letterStart), words);
    if (cjkCount > 0)
        endCjkRun();
}

namespace {

// The Latin letters U+00C0 to U+017F without their accents, one letter each; '*' marks the few
// that become two letters or are no letters at all (handled in appendFoldedCharacter).
constexpr std::string_view kLatinFolds =
    "aaaaaa*ceeeeiiiidnooooo*ouuuuy**aaaaaa*ceeeeiiiidnooooo*ouuuuy*y"
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii**jjkkkllllllllll"
    "nnnnnnnnnoooooo**rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatinFolds.size() == 0x180 - 0xC0);

}  // namespace

void appendFoldedCharacter(long cp, std::string& out) {
    if (cp >= 'A' && cp <= 'Z') {
        out += static_cast<char>(cp - 'A' + 'a');
    } else if (cp >= 0xC0 && cp < 0x180) {
        const char base = kLatinFolds[static_cast<std::size_t>(cp - 0xC0)];
        if (base != '*') {
            out += base;
        } else if (cp == 0xC6 || cp == 0xE6) {
            out += "ae";
        } else if (cp == 0xDE || cp == 0xFE) {
            out += "th";
        } else if (cp == 0xDF) {
            out += "ss";
        } else if (cp == 0x132 || cp == 0x133) {
            out += "ij";
        } else if (cp == 0x152 || cp == 0x153) {
            out += "oe";
        } else {
            appendUtf8(out, static_cast<char32_t>(cp));  // the multiplication and division signs
        }
    } else if (cp >= 0x300 && cp <= 0x36F) {
        // A combining accent: the letter before it stays as it is.
    } else if ((cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) || (cp >= 0x410 && cp <= 0x42F)) {
        appendUtf8(out, static_cast<char32_t>(cp + 0x20));
    } else if (cp >= 0x400 && cp <= 0x40F) {
        appendUtf8(out, static_cast<char32_t>(cp + 0x50));
    } else if (cp >= 0) {
        appendUtf8(out, static_cast<char32_t>(cp));
    }
}

unsigned appendFoldedWords(std::string_view text, unsigned firstPosition,
                           std::vector<PlacedWord>& words) {
    unsigned position = firstPosition;
    std::string letters;
    std::size_t previousCjk = 0;
    std::size_t cjkCount = 0;
    std::size_t i = 0;
    auto endLetters = [&] {
        if (letters.size() >= kMinWordLength)
            words.push_back({letters, position++});
        letters.clear();
    };
    auto endCjkRun = [&] {
        if (cjkCount == 1)
            words.push_back({std::string(text.substr(previousCjk, i - previousCjk)), position++});
        else if (cjkCount > 1)
            ++position;  // the last piece's neighbour, so that the next word is not next to it
        cjkCount = 0;
    };
    while (i < text.size()) {
        const auto [cp, length] = characterAt(text, i);
        // A byte that is no UTF-8 is no letter either: it would come out as another character.
        // Control characters and angle brackets end a word here too: the byte rule kept them
        // in words, where no reader would look for them.
        const CharClass kind = cp < 0x20 || cp == '<' || cp == '>' || cp == 0x7F
                                   ? CharClass::Separator
                               : cp < 0x80 ? asciiClass(static_cast<unsigned char>(cp))
                                           : classifyCharacter(cp);
        if (kind != CharClass::Letter)
            endLetters();
        if (kind != CharClass::Cjk && cjkCount > 0)
            endCjkRun();
        if (kind == CharClass::Letter) {
            if (cp < 0x80)
                letters += asciiLower(static_cast<char>(cp));
            else
                appendFoldedCharacter(cp, letters);
        } else if (kind == CharClass::Cjk) {
            if (cjkCount > 0)
                words.push_back(
                    {std::string(text.substr(previousCjk, i + length - previousCjk)), position++});
            previousCjk = i;
            ++cjkCount;
        }
        i += length;
    }
    endLetters();
    if (cjkCount > 0)
        endCjkRun();
    return position;
}

void appendByteWords(std::string_view text, std::vector<std::string>& words) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && kByteSeparator[static_cast<unsigned char>(text[i])])
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !kByteSeparator[static_cast<unsigned char>(text[i])])
            ++i;
        pushLetters(text.substr(start, i - start), words);
    }
}

}  // namespace plovik
