#include "pages/Utf8.h"

#include <cstdint>
#include <cstring>

namespace plovik {

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
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        scan.ascii = false;
        // The second byte's range depends on the lead: that is what rules out overlong forms,
        // surrogates and code points past U+10FFFF.
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
            scan.valid = false;
            return scan;
        }
        if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high) {
            scan.valid = false;
            return scan;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((p[k] & 0xC0) != 0x80) {
                scan.valid = false;
                return scan;
            }
        }
        p += length;
    }
    return scan;
}

}  // namespace plovik
