#pragma once

// Bounded readers for the little-endian fields and variable-length integers of the container.
// Every reader takes a cursor and the end of the bytes it may look at; a reader that would have
// to look past the end leaves the cursor where it was and reports false.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plovik {

inline std::uint16_t loadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t loadLe32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
        v = __builtin_bswap32(v);
    return v;
}

inline std::uint64_t loadLe64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
        v = __builtin_bswap64(v);
    return v;
}

// A variable-length integer: big-endian groups of 7 bits, every byte but the last with its high
// bit set. False when the bytes end before the last one or the value does not fit in 64 bits.
inline bool readEncInt(const std::uint8_t*& cursor, const std::uint8_t* end, std::uint64_t& out) {
    std::uint64_t value = 0;
    const std::uint8_t* p = cursor;
    while (p < end) {
        std::uint8_t b = *p++;
        if (value >> 57)
            return false;  // another 7 bits would push bits out of the top
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            cursor = p;
            out = value;
            return true;
        }
    }
    return false;
}

// a + b <= limit, without the sum overflowing.
inline bool fitsWithin(std::uint64_t a, std::uint64_t b, std::uint64_t limit) {
    return a <= limit && b <= limit - a;
}

}  // namespace plovik
