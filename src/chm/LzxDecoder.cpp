#include "chm/LzxDecoder.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "chm/ByteReader.h"
#include "chm/ChmDiagnostics.h"

namespace plovik {
namespace {

// Extra bits per position slot: 0, 0, 0, 0, 1, 1, 2, 2, ... rising every second slot, at most 17.
constexpr std::array<std::uint8_t, 52> kExtraBits = [] {
    std::array<std::uint8_t, 52> bits{};
    for (unsigned slot = 0; slot < bits.size(); ++slot) {
        unsigned n = slot < 4 ? 0 : (slot - 2) / 2;
        bits[slot] = static_cast<std::uint8_t>(n > 17 ? 17 : n);
    }
    return bits;
}();

// Smallest offset (plus 2) of each position slot: the sum of 2^extra bits of the slots before.
constexpr std::array<std::uint32_t, 51> kPositionBase = [] {
    std::array<std::uint32_t, 51> base{};
    for (unsigned slot = 1; slot < base.size(); ++slot) {
        base[slot] = base[slot - 1] + (1u << kExtraBits[slot - 1]);
    }
    return base;
}();

constexpr unsigned kMinMatch = 2;
constexpr std::uint64_t kE8Frames = 32768;  // E8 translation stops 1 GiB into an interval
// Zero bytes kept after the last stream byte: a run that starts within the input plus one word
// cannot read past them.
constexpr std::size_t kInputTail = kLzxInputAhead + 16;
// Bytes of input behind its position that the bit reader may still hold (eight), with room to
// spare.
constexpr std::size_t kBitReaderBytes = 16;
constexpr std::size_t kInputBufferSize = kLzxInputChunk + kInputTail;
static_assert(kLzxInputAhead >= kLzxRunBytes * 53 / 8 + 4096,
              "a run's input (and a block header's) must fit in what is kept buffered");
static_assert(kLzxInputChunk % 2 == 0 && kLzxInputChunk > 2 * kLzxInputAhead);

// The decoder's failure lines (the older interface's diagnostics).
constexpr const char* kLineBuildTable = "\nBUILD_TABLE\n";
constexpr const char* kLineReadHuffsym = "\nREAD_HUFFSYM\n";
constexpr const char* kLineReadLengths = "\nREAD_LENGTHS\n";
constexpr const char* kLineBadBlockType = "\ndefault\n";
constexpr const char* kLineInputOverrun = "\nif (inpos > (endinp+2) || bitsleft < 16)\n";
constexpr const char* kLineRawOverrun = "\nif ((inpos + this_run) > endinp) \n";

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

unsigned long long ull(std::uint64_t v) {
    return static_cast<unsigned long long>(v);
}

// Records a failure: the result (with the frame and output position it happened at) becomes
// sticky, and the older interface's line, if any, goes to the sink.
[[gnu::cold]] bool fail(LzxDecoder& d, LzxStatus status, const char* line,
                        const std::string& what) {
    if (line && d.sink)
        d.sink->write(DiagnosticStream::Output, line);
    d.result = LzxResult(
        status,
        format("frame %llu at output %llu: ", ull(d.outputPos / kLzxFrameSize), ull(d.outputPos)) +
            what);
    return false;
}

// The stream's end as far as the decoder knows it: where the input really ended, or its length.
std::uint64_t streamEnd(const LzxDecoder& d) {
    return d.inputEnded ? d.inBase + d.inFill : d.inputSize;
}

// Swaps the two bytes of every 16-bit word in [p, p + size), size even.
void swapWordBytes(std::uint8_t* p, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + i, 8);
        x = ((x & 0x00FF00FF00FF00FFull) << 8) | ((x >> 8) & 0x00FF00FF00FF00FFull);
        std::memcpy(p + i, &x, 8);
    }
    for (; i + 2 <= size; i += 2)
        std::swap(p[i], p[i + 1]);
}

// Copies `count` stream bytes that start at inBuf index `from` (whose words are swapped) to `to`
// in stream order.
void copyStreamBytes(const std::uint8_t* buf, std::size_t from, std::uint8_t* to,
                     std::size_t count) {
    std::size_t i = 0;
    if (from & 1) {
        if (count == 0)
            return;
        to[0] = buf[from - 1];
        ++i;
        ++from;
    }
    for (; i + 8 <= count; i += 8, from += 8) {
        std::uint64_t x;
        std::memcpy(&x, buf + from, 8);
        x = ((x & 0x00FF00FF00FF00FFull) << 8) | ((x >> 8) & 0x00FF00FF00FF00FFull);
        std::memcpy(to + i, &x, 8);
    }
    for (; i < count; ++i, ++from)
        to[i] = buf[from ^ 1];
}

// Moves the unread input to the front of the buffer and reads the next chunk after it. The bit
// reader may still hold up to eight bytes before its position, and an uncompressed block's
// header is found from those bits, so the bytes they came from stay in the buffer too.
void refillInput(LzxDecoder& d) {
    std::uint8_t* const buf = d.inBuf.get();
    const std::size_t read = std::min(d.inPos, d.inFill);
    const std::size_t keep =
        (read > kBitReaderBytes ? read - kBitReaderBytes : 0) & ~std::size_t{1};
    std::memmove(buf, buf + keep, d.inFill - keep);
    d.inBase += keep;
    d.inFill -= keep;
    d.inPos -= keep;
    const std::size_t start = d.inFill;
    const std::uint64_t left = d.inputSize > d.inBase + start ? d.inputSize - d.inBase - start : 0;
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kLzxInputChunk - start, left));
    if (want > 0 && d.input->read(d.inBase + start, buf + start, want)) {
        d.inFill += want;
    }
    if (d.inBase + d.inFill >= d.inputSize || d.inFill == start) {
        // The end (or a read that failed, which ends the stream there): zeros follow.
        d.inputEnded = true;
        std::memset(buf + d.inFill, 0, kInputTail);
    }
    swapWordBytes(buf + start, (d.inFill - start + 1) & ~std::size_t{1});
}

// The bit reader, copied into locals for the length of a loop so that it lives in registers.
// It takes in whole bytes: after refill() at least 56 bits are buffered. The bits below `count`
// are the true next bits of the stream (or zero), so OR-ing the same bytes in again does no
// harm.
struct BitReader {
    const std::uint8_t* in;
    std::size_t pos;
    std::uint64_t buf;
    unsigned count;

    explicit BitReader(const LzxDecoder& d)
        : in(d.inBuf.get()), pos(d.inPos), buf(d.bitBuffer), count(d.bitCount) {}
    void storeInto(LzxDecoder& d) const {
        d.inPos = pos;
        d.bitBuffer = buf;
        d.bitCount = count;
    }

    inline void refill() {
        std::uint64_t x;
        std::memcpy(&x, in + pos, 8);
        if constexpr (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
            x = __builtin_bswap64(x);
        buf |= x >> count;
        pos += (63 - count) >> 3;
        count |= 56;
    }

    // 1 <= n <= 32, and n bits buffered.
    std::uint32_t peek(unsigned n) const { return static_cast<std::uint32_t>(buf >> (64 - n)); }
    void consume(unsigned n) {
        buf <<= n;
        count -= n;
    }
    std::uint32_t get(unsigned n) {
        std::uint32_t v = peek(n);
        consume(n);
        return v;
    }
};

std::uint64_t consumedBits(const LzxDecoder& d) {
    return (d.inBase + d.inPos) * 8 - d.bitCount;
}

// The table entry ((symbol << 5) | length) of a code longer than the table's first look-up,
// or 0 when the bits begin no code. Out of line, and given the bits by value, so that the bit
// reader of the caller's loop can stay in registers.
template <class Table>
[[gnu::noinline]] unsigned longCodeEntry(const Table& table, std::uint64_t bits) {
    unsigned length = 0;
    const int symbol = table.decodeLong(static_cast<std::uint32_t>(bits >> 48), length);
    return symbol < 0 ? 0u : (static_cast<unsigned>(symbol) << 5) | length;
}

// The next symbol of `table`, or -1 when the bits begin no code of it. Needs 16 bits buffered.
template <class Table>
inline int decodeSymbol(BitReader& bits, const Table& table) {
    unsigned entry = table.fast[bits.buf >> (64 - Table::kTableBits)];
    if (!entry) [[unlikely]] {
        entry = longCodeEntry(table, bits.buf);
        if (!entry)
            return -1;
    }
    bits.consume(entry & 31u);
    return static_cast<int>(entry >> 5);
}

// Before a run or a block header: keeps a run's worth of input buffered ahead of the bit
// reader.
void ensureInput(LzxDecoder& d) {
    if (!d.inputEnded && d.inFill - std::min(d.inPos, d.inFill) < kLzxInputAhead)
        refillInput(d);
}

// Fails when the bit reader has gone past the input's end plus one word.
bool checkOverrun(LzxDecoder& d) {
    const std::uint64_t end = streamEnd(d);
    if (consumedBits(d) > (end + 2) * 8) {
        return fail(d, LzxStatus::truncated, kLineInputOverrun,
                    format("input ends at byte %llu, %llu bits were needed", ull(end),
                           ull(consumedBits(d))));
    }
    return true;
}

const char* treeName(const std::uint8_t* lengths, const LzxDecoder& d) {
    return lengths == d.lengthLengths ? "length" : "main";
}

// Code lengths of symbols [first, last) of one tree, sent through a pretree as differences from
// the lengths of the previous block.
bool readLengths(LzxDecoder& d, BitReader& bits, std::uint8_t* lengths, unsigned first,
                 unsigned last) {
    bits.refill();
    for (unsigned i = 0; i < kLzxPretreeSymbols; ++i) {
        if (i == 10)
            bits.refill();
        d.pretreeLengths[i] = static_cast<std::uint8_t>(bits.get(4));
    }
    if (!d.pretreeTable.build(d.pretreeLengths, kLzxPretreeSymbols)) {
        if (d.sink)
            d.sink->write(DiagnosticStream::Output, kLineBuildTable);
        return fail(d, LzxStatus::dataError, kLineReadLengths,
                    format("the pretree of the %s tree's lengths %u..%u is not a prefix code",
                           treeName(lengths, d), first, last));
    }
    unsigned x = first;
    while (x < last) {
        bits.refill();
        const int z = decodeSymbol(bits, d.pretreeTable);
        if (z < 0) {
            if (d.sink)
                d.sink->write(DiagnosticStream::Output, kLineReadHuffsym);
            return fail(
                d, LzxStatus::dataError, kLineReadLengths,
                format("no pretree code for the %s tree's length %u", treeName(lengths, d), x));
        }
        if (z <= 16) {
            lengths[x] = static_cast<std::uint8_t>((lengths[x] + 17 - z) % 17);
            ++x;
            continue;
        }
        unsigned run;
        std::uint8_t value = 0;
        if (z == 17) {
            run = bits.get(4) + 4;
        } else if (z == 18) {
            run = bits.get(5) + 20;
        } else {
            run = bits.get(1) + 4;
            const int z2 = decodeSymbol(bits, d.pretreeTable);
            if (z2 < 0) {
                if (d.sink)
                    d.sink->write(DiagnosticStream::Output, kLineReadHuffsym);
                return fail(
                    d, LzxStatus::dataError, kLineReadLengths,
                    format("no pretree code for the %s tree's length %u", treeName(lengths, d), x));
            }
            if (z2 > 16) {
                return fail(d, LzxStatus::dataError, kLineReadLengths,
                            format("pretree run code %d where the %s tree's length %u belongs", z2,
                                   treeName(lengths, d), x));
            }
            value = static_cast<std::uint8_t>((lengths[x] + 17 - z2) % 17);
        }
        // A run that overshoots the range is cut at its end.
        run = std::min(run, last - x);
        std::memset(lengths + x, value, run);
        x += run;
    }
    return true;
}

bool readTrees(LzxDecoder& d, BitReader& bits) {
    if (!readLengths(d, bits, d.mainLengths, 0, 256) ||
        !readLengths(d, bits, d.mainLengths, 256, d.mainElements)) {
        return false;
    }
    if (!d.mainTable.build(d.mainLengths, kLzxMainTreeMax)) {
        return fail(d, LzxStatus::dataError, kLineBuildTable,
                    "the main tree's code lengths are not a prefix code");
    }
    if (!readLengths(d, bits, d.lengthLengths, 0, kLzxLengthTreeSymbols))
        return false;
    if (!d.lengthTable.build(d.lengthLengths, kLzxLengthTreeMax)) {
        return fail(d, LzxStatus::dataError, kLineBuildTable,
                    "the length tree's code lengths are not a prefix code");
    }
    return true;
}

bool readBlockHeader(LzxDecoder& d) {
    BitReader bits(d);
    bits.refill();
    if (!d.headerRead) {
        d.e8FileSize = 0;
        if (bits.get(1)) {
            const std::uint32_t high = bits.get(16);
            const std::uint32_t low = bits.get(16);
            d.e8FileSize = (high << 16) | low;
        }
        d.headerRead = true;
        bits.refill();
    }
    const int type = static_cast<int>(bits.get(3));
    const std::uint32_t high = bits.get(16);
    const std::uint32_t low = bits.get(8);
    d.blockLength = (high << 8) | low;
    d.blockType = type;
    bool ok = true;
    switch (type) {
        case 2:
            bits.refill();
            for (unsigned i = 0; i < kLzxAlignedSymbols; ++i) {
                d.alignedLengths[i] = static_cast<std::uint8_t>(bits.get(3));
            }
            if (!d.alignedTable.build(d.alignedLengths, kLzxAlignedSymbols)) {
                ok = fail(d, LzxStatus::dataError, kLineBuildTable,
                          "the aligned offset tree's code lengths are not a prefix code");
                break;
            }
            [[fallthrough]];
        case 1:
            ok = readTrees(d, bits);
            break;
        case 3: {
            // Padding up to the next 16-bit boundary, a whole word when already on one; then
            // R0, R1, R2 and the raw bytes, read bytewise.
            const std::uint64_t consumed = (d.inBase + bits.pos) * 8 - bits.count;
            const std::uint64_t bytePos = (consumed + 16 - consumed % 16) / 8;
            const std::uint64_t end = streamEnd(d);
            if (bytePos < d.inBase) {
                // Bytes the buffer no longer holds: only a broken stream can lead here.
                ok = fail(d, LzxStatus::dataError, kLineRawOverrun,
                          format("uncompressed block header at input byte %llu lies before the "
                                 "buffered input at %llu",
                                 ull(bytePos), ull(d.inBase)));
                break;
            }
            if (bytePos > end || end - bytePos < 12) {
                ok = fail(d, LzxStatus::truncated, kLineRawOverrun,
                          format("uncompressed block header at input byte %llu runs past the "
                                 "input's end at %llu",
                                 ull(bytePos), ull(end)));
                break;
            }
            std::uint8_t r[12];
            const auto at = static_cast<std::size_t>(bytePos - d.inBase);
            copyStreamBytes(d.inBuf.get(), at, r, 12);
            d.r0 = loadLe32(r);
            d.r1 = loadLe32(r + 4);
            d.r2 = loadLe32(r + 8);
            bits.pos = at + 12;
            bits.buf = 0;
            bits.count = 0;
            break;
        }
        default:
            ok = fail(d, LzxStatus::dataError, kLineBadBlockType,
                      format("block type %d is none of 1, 2, 3", type));
    }
    bits.storeInto(d);
    if (!ok)
        return false;
    d.blockEnd = d.outputPos + d.blockLength;
    // Every reset point must be a block boundary; only the last block may declare more than
    // the section holds.
    const std::uint64_t nextReset = (d.outputPos / d.resetInterval + 1) * d.resetInterval;
    if (d.blockEnd > nextReset && nextReset < d.outputLength) {
        return fail(d, LzxStatus::dataError, nullptr,
                    format("block of %u bytes runs past the reset point at %llu", d.blockLength,
                           ull(nextReset)));
    }
    return true;
}

void resetState(LzxDecoder& d) {
    d.r0 = d.r1 = d.r2 = 1;
    std::memset(d.mainLengths, 0, sizeof d.mainLengths);
    std::memset(d.lengthLengths, 0, sizeof d.lengthLengths);
    d.headerRead = false;
    d.lastResetAt = d.outputPos;
}

// Copies a match of `length` bytes from `offset` back; may write up to 15 bytes past the end.
inline void copyMatch(std::uint8_t* dst, std::uint32_t offset, unsigned length) {
    const std::uint8_t* src = dst - offset;
    std::uint8_t* const end = dst + length;
    if (offset >= 16) [[likely]] {
        do {
            std::memcpy(dst, src, 16);
            dst += 16;
            src += 16;
        } while (dst < end);
        return;
    }
    if (offset == 1) {
        std::uint8_t chunk[16];
        std::memset(chunk, *src, 16);
        do {
            std::memcpy(dst, chunk, 16);
            dst += 16;
        } while (dst < end);
        return;
    }
    // A short period: the first 16 bytes one at a time, then 16 at a time from a whole number of
    // periods back (at least 8 bytes), each copy reading only bytes already written.
    for (unsigned i = 0; i < 16; ++i)
        dst[i] = src[i];
    const unsigned step = offset * (16 / offset);
    std::uint8_t* p = dst + step;
    while (p < end) {
        std::uint8_t chunk[16];
        std::memcpy(chunk, p - step, 16);
        std::memcpy(p, chunk, 16);
        p += step;
    }
}

enum class RunFailure { none, badMain, badLength, badAligned, farOffset, pastBlock };

[[gnu::cold]] bool failRun(LzxDecoder& d, RunFailure why, std::uint32_t offset, std::uint64_t reach,
                           unsigned length) {
    switch (why) {
        case RunFailure::badMain:
            return fail(d, LzxStatus::dataError, kLineReadHuffsym,
                        "the bits begin no code of the main tree");
        case RunFailure::badLength:
            return fail(d, LzxStatus::dataError, kLineReadHuffsym,
                        "the bits begin no code of the length tree");
        case RunFailure::badAligned:
            return fail(d, LzxStatus::dataError, kLineReadHuffsym,
                        "the bits begin no code of the aligned offset tree");
        case RunFailure::farOffset:
            if (offset > d.windowSize) {
                return fail(d, LzxStatus::formatError, nullptr,
                            format("match offset %u beyond window %u", offset, d.windowSize));
            }
            return fail(d, LzxStatus::formatError, nullptr,
                        format("match offset %u reaches before the reset point at %llu "
                               "(%llu bytes back)",
                               offset, ull(d.lastResetAt), ull(reach)));
        case RunFailure::pastBlock:
        case RunFailure::none:
            break;
    }
    return fail(
        d, LzxStatus::dataError, nullptr,
        format("match of %u bytes runs past its block's end at %llu", length, ull(d.blockEnd)));
}

// Decodes literals and matches of a verbatim or aligned-offset block until the output reaches
// `runEnd` (a match may carry it past, up to the block's end); truncates a match at the end of
// the section.
template <bool Aligned>
bool decodeRun(LzxDecoder& d, std::uint64_t runEnd) {
    BitReader bits(d);
    std::uint8_t* const out = d.window.get();
    const std::uint64_t base = d.windowStart;
    std::size_t pos = static_cast<std::size_t>(d.outputPos - base);
    const auto end = static_cast<std::size_t>(runEnd - base);
    const auto blockEnd = static_cast<std::size_t>(std::max(d.blockEnd, base) - base);
    const auto outEnd = static_cast<std::size_t>(std::max(d.outputLength, base) - base);
    const auto history = static_cast<std::size_t>(std::max(d.lastResetAt, base) - base);
    const std::uint32_t window = d.windowSize;
    const auto& mainTable = d.mainTable;
    std::uint32_t r0 = d.r0, r1 = d.r1, r2 = d.r2;
    RunFailure failure = RunFailure::none;
    std::uint32_t badOffset = 0;
    unsigned badLength = 0;

    while (pos < end) {
        bits.refill();
        int symbol = decodeSymbol(bits, mainTable);
        if (static_cast<unsigned>(symbol) < 256) {
            out[pos++] = static_cast<std::uint8_t>(symbol);
            // Two more literals fit in what is buffered.
            if (pos >= end)
                break;
            symbol = decodeSymbol(bits, mainTable);
            if (static_cast<unsigned>(symbol) < 256) {
                out[pos++] = static_cast<std::uint8_t>(symbol);
                if (pos >= end)
                    break;
                symbol = decodeSymbol(bits, mainTable);
                if (static_cast<unsigned>(symbol) < 256) {
                    out[pos++] = static_cast<std::uint8_t>(symbol);
                    continue;
                }
            }
            if (symbol < 0) [[unlikely]] {
                failure = RunFailure::badMain;
                break;
            }
            bits.refill();
        } else if (symbol < 0) [[unlikely]] {
            failure = RunFailure::badMain;
            break;
        }
        const unsigned code = static_cast<unsigned>(symbol) - 256;
        unsigned length = code & 7;
        const unsigned slot = code >> 3;
        if (length == 7) {
            const int extra = decodeSymbol(bits, d.lengthTable);
            if (extra < 0) [[unlikely]] {
                failure = RunFailure::badLength;
                break;
            }
            length += static_cast<unsigned>(extra);
        }
        length += kMinMatch;

        std::uint32_t offset;
        if (slot == 0) {
            offset = r0;
        } else if (slot == 1) {
            offset = r1;
            r1 = r0;
            r0 = offset;
        } else if (slot == 2) {
            offset = r2;
            r2 = r0;
            r0 = offset;
        } else {
            const unsigned extraBits = kExtraBits[slot];
            offset = kPositionBase[slot] - 2;
            if (Aligned && extraBits >= 3) {
                if (extraBits > 3)
                    offset += bits.get(extraBits - 3) << 3;
                const int aligned = decodeSymbol(bits, d.alignedTable);
                if (aligned < 0) [[unlikely]] {
                    failure = RunFailure::badAligned;
                    break;
                }
                offset += static_cast<std::uint32_t>(aligned);
            } else if (extraBits) {
                offset += bits.get(extraBits);
            }
            r2 = r1;
            r1 = r0;
            r0 = offset;
        }

        if (offset == 0 || offset > pos - history || offset > window) [[unlikely]] {
            failure = RunFailure::farOffset;  // before the interval's start, or beyond the window
            badOffset = offset;
            break;
        }
        std::size_t matchEnd = pos + length;
        if (matchEnd > blockEnd) [[unlikely]] {
            failure = RunFailure::pastBlock;  // a match that runs past the end of its block
            badLength = length;
            break;
        }
        if (matchEnd > outEnd) {
            length = static_cast<unsigned>(outEnd - pos);
            matchEnd = outEnd;
        }
        copyMatch(out + pos, offset, length);
        pos = matchEnd;
    }

    bits.storeInto(d);
    d.outputPos = base + pos;
    d.r0 = r0;
    d.r1 = r1;
    d.r2 = r2;
    if (failure != RunFailure::none)
        return failRun(d, failure, badOffset, pos - history, badLength);
    return true;
}

// Copies the raw bytes of an uncompressed block up to `runEnd`.
bool copyRaw(LzxDecoder& d, std::uint64_t runEnd) {
    const auto n = static_cast<std::size_t>(runEnd - d.outputPos);
    const std::uint64_t at = d.inBase + d.inPos;
    const std::uint64_t end = streamEnd(d);
    if (at > end || n > end - at) {
        return fail(d, LzxStatus::truncated, kLineRawOverrun,
                    format("uncompressed block needs %zu bytes at input byte %llu, the input "
                           "ends at %llu",
                           n, ull(at), ull(end)));
    }
    copyStreamBytes(d.inBuf.get(), d.inPos,
                    d.window.get() + static_cast<std::size_t>(d.outputPos - d.windowStart), n);
    d.inPos += n;
    d.outputPos = runEnd;
    // The next block's header starts on a word boundary after a padding byte.
    if (runEnd == d.blockEnd && (d.blockLength & 1))
        ++d.inPos;
    return true;
}

// Undoes the E8 call translation of one frame in place. Positions count from the frame's reset
// point, and only the first 32768 frames of an interval are translated.
void translateFrame(std::uint8_t* frame, std::size_t size, std::int64_t here,
                    std::uint32_t fileSize) {
    if (size <= 10)
        return;
    std::uint8_t* p = frame;
    std::uint8_t* const stop = p + size - 10;
    const auto limit = static_cast<std::int64_t>(fileSize);
    while (p < stop) {
        p = static_cast<std::uint8_t*>(std::memchr(p, 0xE8, static_cast<std::size_t>(stop - p)));
        if (!p)
            break;
        const std::int64_t at = here + (p - frame);
        const auto absolute = static_cast<std::int32_t>(loadLe32(p + 1));
        if (absolute >= -at && absolute < limit) {
            const std::int64_t relative = absolute >= 0 ? absolute - at : absolute + limit;
            const auto v = static_cast<std::uint32_t>(relative);
            const std::uint8_t le[4] = {
                static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
            std::memcpy(p + 1, le, 4);
        }
        p += 5;
    }
}

// Translates the frames of [from, to) in the window; they can no longer be matched against.
void translateFrames(LzxDecoder& d, std::uint64_t from, std::uint64_t to) {
    if (d.e8FileSize == 0)
        return;
    for (std::uint64_t f = from; f < to; f += kLzxFrameSize) {
        if ((f - d.lastResetAt) / kLzxFrameSize >= kE8Frames)
            return;
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(kLzxFrameSize, d.outputLength - f));
        translateFrame(d.window.get() + (f - d.windowStart), size,
                       static_cast<std::int64_t>(f - d.lastResetAt), d.e8FileSize);
    }
}

// Drops what was handed out from the window buffer, keeping the history later matches need.
void moveOn(LzxDecoder& d) {
    d.moveOnPending = false;
    if (d.handedOut >= d.outputPos) {
        d.windowStart = d.outputPos;  // a reset point: nothing before it is needed
        return;
    }
    const auto from = static_cast<std::size_t>(d.handedOut - d.windowStart);
    const auto keep = static_cast<std::size_t>(d.outputPos - d.handedOut);
    std::memmove(d.window.get(), d.window.get() + from, keep);
    d.windowStart = d.handedOut;
}

bool allocate(std::unique_ptr<std::uint8_t[]>& buffer, std::size_t bytes) {
    try {
        buffer = std::make_unique<std::uint8_t[]>(bytes);  // zeroed: copies may read ahead
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

int LzxResult::code() const {
    switch (status_) {
        case LzxStatus::ok:
            return kLzxOk;
        case LzxStatus::formatError:
            return kLzxFormatError;
        case LzxStatus::dataError:
        case LzxStatus::truncated:
            return kLzxDataError;
        case LzxStatus::noMemory:
            return kLzxNoMemory;
    }
    return kLzxDataError;
}

bool LzxMemoryInput::read(std::uint64_t offset, std::uint8_t* to, std::size_t count) {
    if (offset > size_ || count > size_ - offset)
        return false;
    if (count)
        std::memcpy(to, data_ + offset, count);
    return true;
}

bool LzxOutput::reserve(std::size_t bytes, std::size_t keep) {
    if (bytes <= capacity_)
        return true;
    std::unique_ptr<std::uint8_t[]> bigger;
    try {
        bigger = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
#if defined(MADV_POPULATE_WRITE)
    // The buffer is written from start to end anyway: mapping it in one go saves a page fault
    // per 4 KiB.
    if (bytes >= (std::size_t{4} << 20)) {
        constexpr std::uintptr_t kPage = 4096;
        const auto begin = reinterpret_cast<std::uintptr_t>(bigger.get());
        const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
        const std::uintptr_t last = (begin + bytes) & ~(kPage - 1);
        if (last > first) {
            ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
        }
    }
#endif
    if (keep && data_)
        std::memcpy(bigger.get(), data_.get(), std::min(keep, capacity_));
    data_ = std::move(bigger);
    capacity_ = bytes;
    return true;
}

std::uint64_t lzxEffectiveResetInterval(int windowBits, std::uint64_t resetInterval) {
    if (resetInterval == 0 || resetInterval % kLzxFrameSize != 0)
        return windowBits >= 15 && windowBits <= 21 ? std::uint64_t{1} << windowBits : 0;
    return resetInterval;
}

LzxResult lzxConfigure(LzxDecoder& d, int windowBits, std::uint64_t resetInterval,
                       std::uint64_t outputLength, DiagnosticSink* sink) {
    d.input = nullptr;
    d.sink = sink;
    if (windowBits < 15 || windowBits > 21) {
        d.windowSize = 0;
        d.result = LzxResult(LzxStatus::formatError,
                             format("window of %d bits: only 15 to 21 are defined", windowBits));
        return d.result;
    }
    d.windowBits = static_cast<unsigned>(windowBits);
    d.windowSize = 1u << windowBits;
    d.positionSlots = windowBits < 20 ? 2u * d.windowBits : windowBits == 20 ? 42u : 50u;
    d.mainElements = 256 + 8 * d.positionSlots;
    d.resetInterval = lzxEffectiveResetInterval(windowBits, resetInterval);
    d.outputLength = outputLength;
    d.result = LzxResult();

    // A whole interval when it is not much longer than the window, else the window and a part
    // to hand out; never more than the section needs.
    std::uint64_t span = std::min<std::uint64_t>(d.resetInterval, d.windowSize + kLzxSlideBytes);
    span = std::min(span, (outputLength + kLzxFrameSize - 1) / kLzxFrameSize * kLzxFrameSize);
    const auto capacity = static_cast<std::size_t>(span) + kLzxMaxMatch;
    if (!d.window || d.windowCapacity != capacity) {
        d.window.reset();
        d.windowCapacity = 0;
        if (!allocate(d.window, capacity + kLzxOutputSlack)) {
            d.result = LzxResult(LzxStatus::noMemory,
                                 format("%zu bytes for the window could not be allocated",
                                        capacity + kLzxOutputSlack));
            return d.result;
        }
        d.windowCapacity = capacity;
    }
    if (!d.inBuf && !allocate(d.inBuf, kInputBufferSize)) {
        d.result =
            LzxResult(LzxStatus::noMemory,
                      format("%zu bytes for the input could not be allocated", kInputBufferSize));
        return d.result;
    }
    return d.result;
}

LzxResult lzxStartAt(LzxDecoder& d, LzxInput& input, std::uint64_t outputOffset,
                     std::uint64_t inputOffset) {
    if (d.windowSize == 0 || !d.window || !d.inBuf) {
        if (d.result.ok())
            d.result = LzxResult(LzxStatus::formatError, "the decoder is not configured");
        return d.result;
    }
    d.result = LzxResult();
    d.input = &input;
    d.inputSize = input.size();
    d.inBase = inputOffset;
    d.inFill = 0;
    d.inPos = 0;
    d.inputEnded = false;
    d.bitBuffer = 0;
    d.bitCount = 0;
    d.outputPos = std::min(outputOffset, d.outputLength);
    d.windowStart = d.outputPos;
    d.handedOut = d.outputPos;
    d.moveOnPending = false;
    d.blockType = 0;
    d.blockLength = 0;
    d.blockEnd = d.outputPos;
    d.e8FileSize = 0;
    resetState(d);
    if (inputOffset % 2 != 0) {
        // Words count from the start of the stream: no reset point lies between two bytes.
        d.inBase = 0;
        d.inputEnded = true;
        fail(d, LzxStatus::dataError, nullptr,
             format("reset point at odd input byte %llu", ull(inputOffset)));
        return d.result;
    }
    refillInput(d);
    return d.result;
}

std::uint64_t lzxIntervalEnd(const LzxDecoder& d, std::uint64_t offset) {
    if (d.resetInterval == 0)
        return d.outputLength;
    const std::uint64_t interval = offset / d.resetInterval;
    if (interval + 1 > d.outputLength / d.resetInterval)
        return d.outputLength;
    return (interval + 1) * d.resetInterval;
}

std::uint64_t lzxConsumedBits(const LzxDecoder& d) {
    return consumedBits(d);
}

LzxResult lzxNextPiece(LzxDecoder& d, LzxPiece& piece) {
    piece = LzxPiece{};
    if (!d.result.ok())
        return d.result;
    if (!d.input) {
        d.result = LzxResult(LzxStatus::formatError, "the decoder has not been started");
        return d.result;
    }
    if (d.moveOnPending)
        moveOn(d);
    piece.offset = d.outputPos;
    if (d.outputPos >= d.outputLength)
        return d.result;
    const std::uint64_t target = lzxIntervalEnd(d, d.outputPos);

    while (d.outputPos < target) {
        if (d.outputPos >= d.blockEnd) {
            ensureInput(d);
            if (!checkOverrun(d))
                return d.result;
            if (d.outputPos % d.resetInterval == 0 && d.outputPos != d.lastResetAt) {
                resetState(d);
            }
            if (!readBlockHeader(d))
                return d.result;
            continue;
        }

        const std::uint64_t pos = d.outputPos;
        const std::uint64_t frameEnd = (pos / kLzxFrameSize + 1) * kLzxFrameSize;
        const std::uint64_t runEnd = std::min({frameEnd, d.blockEnd, target, pos + kLzxRunBytes});
        if (runEnd - d.windowStart + kLzxMaxMatch > d.windowCapacity) {
            // An interval longer than the buffer: hand out the frames that have fallen a
            // window's length behind, and keep the rest.
            const std::uint64_t behind = d.outputPos - d.windowSize;
            const std::uint64_t settled = behind / kLzxFrameSize * kLzxFrameSize;
            translateFrames(d, d.handedOut, settled);
            piece.offset = d.handedOut;
            piece.data = d.window.get() + (d.handedOut - d.windowStart);
            piece.size = static_cast<std::size_t>(settled - d.handedOut);
            d.handedOut = settled;
            d.moveOnPending = true;
            return d.result;
        }
        ensureInput(d);
        if (!checkOverrun(d))
            return d.result;
        if (d.blockType == 3) {
            if (!copyRaw(d, runEnd))
                return d.result;
        } else {
            const bool ok =
                d.blockType == 2 ? decodeRun<true>(d, runEnd) : decodeRun<false>(d, runEnd);
            if (!ok)
                return d.result;
            if (d.outputPos >= frameEnd) {
                // Each frame ends on a 16-bit boundary of the input.
                const unsigned drop = static_cast<unsigned>((16 - consumedBits(d) % 16) % 16);
                d.bitBuffer <<= drop;
                d.bitCount -= drop;
            }
        }
        if (d.outputPos >= frameEnd && !checkOverrun(d))
            return d.result;
    }

    if (d.outputPos >= d.outputLength && !checkOverrun(d))
        return d.result;
    translateFrames(d, d.handedOut, target);
    piece.offset = d.handedOut;
    piece.data = d.window.get() + (d.handedOut - d.windowStart);
    piece.size = static_cast<std::size_t>(target - d.handedOut);
    d.handedOut = target;
    d.moveOnPending = true;
    return d.result;
}

int lzxInit(LzxDecoder& d, int windowBits, std::uint64_t resetInterval, DiagnosticSink* sink) {
    d.produced = 0;
    d.status = kLzxOk;
    const LzxResult r = lzxConfigure(d, windowBits, resetInterval, 0, sink);
    return r.status() == LzxStatus::formatError ? kLzxFormatError : kLzxOk;
}

int lzxDecompress(LzxDecoder& d, const std::uint8_t* input, std::size_t inputLength,
                  LzxOutput& output, std::uint64_t outputLength) {
    if (d.status)
        return d.status;
    d.produced = 0;
    if (d.windowSize == 0) {
        d.status = kLzxFormatError;
        return d.status;
    }
    LzxMemoryInput memory(input, inputLength);
    LzxResult r =
        lzxConfigure(d, static_cast<int>(d.windowBits), d.resetInterval, outputLength, d.sink);
    if (r.ok())
        r = lzxStartAt(d, memory, 0, 0);
    LzxPiece piece;
    while (r.ok()) {
        r = lzxNextPiece(d, piece);
        if (!r.ok() || piece.size == 0)
            break;
        const std::uint64_t end = piece.offset + piece.size;
        if (end + kLzxOutputSlack > output.capacity()) {
            const std::uint64_t grown = std::max<std::uint64_t>(end, 2 * output.capacity());
            const std::uint64_t target = std::min(grown, outputLength) + kLzxOutputSlack;
            if (target > SIZE_MAX || !output.reserve(static_cast<std::size_t>(target),
                                                     static_cast<std::size_t>(d.produced))) {
                r = LzxResult(LzxStatus::noMemory,
                              format("%llu bytes of output could not be allocated", ull(target)));
                break;
            }
        }
        std::memcpy(output.data() + piece.offset, piece.data, piece.size);
        d.produced = end;
    }
    d.input = nullptr;  // `memory` ends here
    d.status = r.code();
    return d.status;
}

}  // namespace plovik
