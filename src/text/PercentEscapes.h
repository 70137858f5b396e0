#pragma once

// Two hexadecimal digits, as the %XX escapes of links and the \xHH escapes of project files
// write a byte, and the %XX escape written for a byte.

#include <charconv>
#include <string>
#include <string_view>

namespace plovik {

// The byte that the two hexadecimal digits (either case) at `text[at]` stand for, or -1 when
// there are not two such digits there.
inline int hexByteAt(std::string_view text, std::size_t at) {
    if (at > text.size() || text.size() - at < 2)
        return -1;
    const char* first = text.data() + at;
    unsigned value = 0;  // unsigned: from_chars takes no sign then
    const auto [end, error] = std::from_chars(first, first + 2, value, 16);
    return error == std::errc() && end == first + 2 ? static_cast<int>(value) : -1;
}

// The byte that "%XX" at `text[at]` stands for, or -1 when there is no such escape there.
inline int percentEscapeAt(std::string_view text, std::size_t at) {
    return at < text.size() && text[at] == '%' ? hexByteAt(text, at + 1) : -1;
}

// The text with every %XX escape turned into its byte; anything else stays.
inline std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int byte = percentEscapeAt(text, i);
        if (byte < 0) {
            out += text[i];
        } else {
            out += static_cast<char>(byte);
            i += 2;
        }
    }
    return out;
}

// Appends "%XX" for the byte, upper-case digits.
inline void appendPercentEscape(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += '%';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

}  // namespace plovik
