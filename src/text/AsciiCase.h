#pragma once

// ASCII letter case and character classes. Names, keys, tags and words here are bytes of any
// encoding, so only ASCII letters fold: a locale's idea of case must not touch their other bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

constexpr char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

constexpr char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

constexpr bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space between HTML attributes and in attribute values.
constexpr bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline void lowerAsciiInPlace(std::string& text) {
    for (char& c : text)
        c = asciiLower(c);
}

inline void upperAsciiInPlace(std::string& text) {
    for (char& c : text)
        c = asciiUpper(c);
}

inline std::string asciiLowered(std::string_view text) {
    std::string lowered(text);
    lowerAsciiInPlace(lowered);
    return lowered;
}

constexpr bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

constexpr bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

// Where `needle` first occurs in `text` at or after `from`, ASCII case ignored; npos if nowhere.
// A needle that starts with a byte other than a letter is found with a plain byte search first.
constexpr std::size_t findIgnoreAsciiCase(std::string_view text, std::string_view needle,
                                          std::size_t from = 0) {
    if (needle.empty())
        return from <= text.size() ? from : std::string_view::npos;
    if (from >= text.size() || needle.size() > text.size() - from)
        return std::string_view::npos;
    const char first = asciiLower(needle.front());
    const bool letter = first >= 'a' && first <= 'z';
    const std::size_t last = text.size() - needle.size();
    for (std::size_t at = from; at <= last; ++at) {
        if (!letter) {
            at = text.find(needle.front(), at);
            if (at == std::string_view::npos || at > last)
                return std::string_view::npos;
        } else if (asciiLower(text[at]) != first) {
            continue;
        }
        if (equalsIgnoreAsciiCase(text.substr(at, needle.size()), needle))
            return at;
    }
    return std::string_view::npos;
}

}  // namespace plovik
