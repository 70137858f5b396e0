#include "text/Capacity.h"

#include "text/Utf8.h"

namespace plovik {

namespace {

std::size_t unitsOf(const Utf8Char& c) {
    return c.codePoint >= 0x10000 ? 2 : 1;
}

}  // namespace

std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = decodeUtf8At(text, at);
        units += unitsOf(c);
        at += c.length;
    }
    return units;
}

std::string cutToCapacity(std::string_view text, std::size_t capacity) {
    // Every character takes at least one byte, so a text of no more bytes than that fits.
    if (text.size() <= capacity)
        return std::string(text);
    std::size_t units = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8Char c = decodeUtf8At(text, at);
        if (units + unitsOf(c) > capacity)
            break;
        units += unitsOf(c);
        at += c.length;
    }
    return std::string(text.substr(0, at));
}

}  // namespace plovik
