#pragma once

// What a run of bytes is as UTF-8: plain ASCII, well-formed UTF-8, or neither. Well-formed means
// what RFC 3629 allows: shortest forms only, no surrogates, nothing above U+10FFFF. The scan is
// one linear pass that skips eight ASCII bytes at a time, since most pages are mostly ASCII.

#include <string>
#include <string_view>

namespace plovik {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

struct Utf8Scan {
    bool ascii = true;  // no byte of 0x80 or above
    bool valid = true;  // well-formed UTF-8 (true for ASCII too)
};

Utf8Scan scanUtf8(std::string_view bytes);

// One character of UTF-8 text: its code point, or -1 for a byte that starts no well-formed
// sequence (its length is then 1, so that reading goes on with the next byte).
struct Utf8Char {
    long codePoint;
    std::size_t length;
};
Utf8Char decodeUtf8At(std::string_view text, std::size_t at);
// Appends the code point `cp` (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t cp);
inline bool isValidUtf8(std::string_view bytes) {
    return scanUtf8(bytes).valid;
}
// Puts a U+FFFD in place of every byte that is not part of a well-formed sequence; returns how
// many there were. Text that is well-formed already is left as it is.
std::size_t replaceIllFormedUtf8(std::string& text);

// `text` cut to at most `maxBytes` bytes, never in the middle of a UTF-8 sequence. Text that is
// not UTF-8 there (bytes of a code page) is cut where the width says.
std::string cutUtf8(std::string_view text, std::size_t maxBytes);

inline bool startsWithUtf8Bom(std::string_view bytes) {
    return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
}

}  // namespace plovik
