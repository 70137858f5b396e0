#pragma once

// Search words of UTF-8 text. The byte rule of the search data cuts only at ASCII separators,
// which leaves a Chinese or Japanese sentence as one word nobody can find, and it cuts UTF-8
// characters whose last byte happens to be 0xA3 or 0xAC. Here text is read as characters: words
// end at the ASCII separators and at non-ASCII white space and punctuation, and a run of Han,
// Kana or Hangul characters becomes its overlapping two-character pieces (a lone character stays
// alone), so that any term of two or more such characters can be found. On ASCII text the result
// is exactly the byte rule's. The search page splits queries with the same tables
// (template js/words.js); the two must change together.

#include <string>
#include <string_view>
#include <vector>

namespace plovik {

enum class CharClass { Letter, Separator, Cjk };

// The class of a character; -1 stands for a byte that does not start a valid UTF-8 character,
// which counts as a letter so that text of another encoding keeps its words.
CharClass classifyCharacter(long codePoint);

// Appends the words of `text` in order, repeats included: letter runs of at least three bytes
// (ASCII letters lower-cased), and the pieces of every CJK run.
void appendUnicodeWords(std::string_view text, std::vector<std::string>& words);

// The letter as the search matches it: lower-case, and without its accent for the Latin letters
// of U+00C0 to U+017F ("é" is "e", "ß" is "ss"); combining accents vanish. Greek and Cyrillic
// capitals become small. Appends the UTF-8 of the result to `out`. The search page folds queries
// with the same table (template js/words.js).
void appendFoldedCharacter(long codePoint, std::string& out);

// The words of `text` folded as above, each with its place among the words: letter runs of at
// least three bytes after folding (control characters and angle brackets end them as well), and the
// two-character pieces of every CJK run (a piece and the one after it are one place apart, so that
// a CJK term reads as neighbouring pieces).
struct PlacedWord {
    std::string word;
    unsigned position;
};
// Returns the place after the last word; `firstPosition` is the place of the first word.
unsigned appendFoldedWords(std::string_view text, unsigned firstPosition,
                           std::vector<PlacedWord>& words);

// The same by the byte rule, for text of any code page: runs of at least three bytes between
// separator bytes, ASCII letters lower-cased.
void appendByteWords(std::string_view text, std::vector<std::string>& words);

}  // namespace plovik
