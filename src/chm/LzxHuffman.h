#pragma once

// Canonical Huffman decoding for the LZX trees. A code of up to TableBits bits is found with one
// look-up of the next TableBits bits of input; longer codes (rare by construction: each stands
// for a symbol seen at most once in 2^TableBits) are resolved by walking the code lengths.

#include <cstdint>
#include <cstring>

namespace plovik {

inline constexpr unsigned kLzxMaxCodeLength = 16;

template <unsigned TableBits, unsigned Symbols>
struct LzxHuffmanTable {
    static_assert(TableBits <= kLzxMaxCodeLength);
    static_assert(Symbols < 2048);
    static constexpr unsigned kTableBits = TableBits;

    // (symbol << 5) | code length for every TableBits-bit prefix that is a whole code; 0 where
    // the prefix begins a longer code (or no code at all).
    std::uint16_t fast[1u << TableBits];
    // For each code length: the first canonical code, how many codes it has, and where its
    // symbols start in `sorted`.
    std::uint32_t firstCode[kLzxMaxCodeLength + 1];
    std::uint16_t codeCount[kLzxMaxCodeLength + 1];
    std::uint16_t symbolStart[kLzxMaxCodeLength + 1];
    std::uint16_t sorted[Symbols];

    // Builds the table from the code length of each of `count` symbols (each 0 to 16). False when
    // the lengths over-subscribe the code space or leave part of it unused; lengths that are all
    // 0 give an empty table, from which every decode fails.
    bool build(const std::uint8_t* lengths, unsigned count) {
        std::memset(codeCount, 0, sizeof codeCount);
        std::memset(firstCode, 0, sizeof firstCode);
        for (unsigned s = 0; s < count; ++s) {
            if (lengths[s] > kLzxMaxCodeLength)
                return false;
            ++codeCount[lengths[s]];
        }
        codeCount[0] = 0;
        std::int64_t unused = 1;
        unsigned total = 0;
        for (unsigned len = 1; len <= kLzxMaxCodeLength; ++len) {
            unused = unused * 2 - codeCount[len];
            if (unused < 0)
                return false;
            total += codeCount[len];
        }
        if (total == 0) {
            std::memset(fast, 0, sizeof fast);
            return true;
        }
        if (unused != 0)
            return false;

        std::uint32_t code = 0;
        std::uint16_t start = 0;
        std::uint16_t next[kLzxMaxCodeLength + 1];
        for (unsigned len = 1; len <= kLzxMaxCodeLength; ++len) {
            firstCode[len] = code;
            symbolStart[len] = start;
            next[len] = start;
            code = (code + codeCount[len]) << 1;
            start = static_cast<std::uint16_t>(start + codeCount[len]);
        }
        for (unsigned s = 0; s < count; ++s) {
            if (lengths[s])
                sorted[next[lengths[s]]++] = static_cast<std::uint16_t>(s);
        }
        // Canonical codes take the table's cells in order: each code of up to TableBits bits
        // the 2^(TableBits - length) cells it begins, one after the other, and the prefixes of
        // the longer codes the cells after them.
        std::uint16_t* cell = fast;
        for (unsigned len = 1; len <= TableBits; ++len) {
            const unsigned span = 1u << (TableBits - len);
            const std::uint16_t* symbol = sorted + symbolStart[len];
            for (unsigned k = 0; k < codeCount[len]; ++k) {
                const auto entry = static_cast<std::uint16_t>((symbol[k] << 5) | len);
                if (span >= 4) {
                    const std::uint64_t four = entry * 0x0001000100010001ull;
                    for (unsigned i = 0; i < span; i += 4)
                        std::memcpy(cell + i, &four, 8);
                } else {
                    for (unsigned i = 0; i < span; ++i)
                        cell[i] = entry;
                }
                cell += span;
            }
        }
        std::memset(cell, 0, static_cast<std::size_t>(fast + (1u << TableBits) - cell) * 2);
        return true;
    }

    // The symbol whose code begins the 16 bits `next16` (most significant first), with its code
    // length in `length`; -1 when no code does. Only for prefixes the fast table does not hold.
    int decodeLong(std::uint32_t next16, unsigned& length) const {
        for (unsigned len = TableBits + 1; len <= kLzxMaxCodeLength; ++len) {
            const std::uint32_t code = next16 >> (kLzxMaxCodeLength - len);
            const std::uint32_t index = code - firstCode[len];
            if (index < codeCount[len]) {
                length = len;
                return sorted[symbolStart[len] + index];
            }
        }
        return -1;
    }
};

}  // namespace plovik
