#pragma once

// Case folding of ASCII letters only. Names, keys and words here are bytes of any encoding, so a
// locale's idea of case must not touch their other bytes.

#include <string>
#include <string_view>

namespace plovik {

constexpr char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

inline void lowerAsciiInPlace(std::string& text) {
    for (char& c : text)
        c = asciiLower(c);
}

constexpr bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

}  // namespace plovik
