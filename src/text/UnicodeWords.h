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

// The same by the byte rule, for text of any code page: runs of at least three bytes between
// separator bytes, ASCII letters lower-cased.
void appendByteWords(std::string_view text, std::vector<std::string>& words);

}  // namespace plovik
