#include "text/Utf8.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace plovik {

namespace {

// The length of the well-formed sequence that starts at `p` (a byte of 0x80 or above), or 0.
// The second byte's range depends on the lead: that is what rules out overlong forms, surrogates
// and code points past U+10FFFF.
std::size_t sequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = *p;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((p[k] & 0xC0) != 0x80)
            return 0;
    return length;
}

}  // namespace

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

}  // namespace plovik
