#include "text/Utf8.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace plovik {

namespace {

// The length of the well-formed sequence that starts at `p` (a byte of 0x80 or above), or 0.
std::size_t sequenceLength(const unsigned char* p, const unsigned char* end) {
    const std::string_view rest(reinterpret_cast<const char*>(p),
                                static_cast<std::size_t>(end - p));
    const Utf8Char c = decodeUtf8At(rest, 0);
    return c.codePoint < 0 ? 0 : c.length;
}

}  // namespace

Utf8Char decodeUtf8At(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length;
    long cp, min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return {-1, 1};
    }
    if (length > text.size() - at)
        return {-1, 1};
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80)
            return {-1, 1};
        cp = (cp << 6) | (byte(at + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {-1, 1};
    return {cp, length};
}

Utf8Scan scanUtf8(std::string_view bytes) {
    Utf8Scan scan;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        scan.ascii = false;
        const std::size_t length = sequenceLength(p, end);
        if (length == 0) {
            scan.valid = false;
            return scan;
        }
        p += length;
    }
    return scan;
}

std::size_t replaceIllFormedUtf8(std::string& text) {
    if (isValidUtf8(text))
        return 0;
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t replaced = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    while (p < end) {
        const std::size_t length = *p < 0x80 ? 1 : sequenceLength(p, end);
        if (length == 0) {
            out += kReplacementCharacter;
            ++replaced;
            ++p;
            continue;
        }
        out.append(reinterpret_cast<const char*>(p), length);
        p += length;
    }
    text = std::move(out);
    return replaced;
}

std::string cutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return std::string(text);
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    // Back off over the continuation bytes of a sequence that the cut would split, and its lead
    // byte. A sequence has at most three continuation bytes; anything else is not UTF-8, and
    // then the cut stays where the width puts it.
    std::size_t cut = maxBytes;
    std::size_t back = 0;
    while (back < 3 && cut > 0 && (byte(cut) & 0xC0) == 0x80) {
        --cut;
        ++back;
    }
    if (back > 0 && (byte(cut) & 0xC0) != 0xC0)
        cut = maxBytes;
    return std::string(text.substr(0, cut));
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace plovik
