#include "chm/LzxDecoder.h"

#include <algorithm>
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
constexpr unsigned kMaxMatch = kMinMatch + 7 + kLzxLengthTreeSymbols - 1;  // 257
constexpr std::uint64_t kE8Frames = 32768;  // E8 translation stops after the first 1 GiB

// The decoder's failure lines.
constexpr const char* kLineBuildTable = "\nBUILD_TABLE\n";
constexpr const char* kLineReadHuffsym = "\nREAD_HUFFSYM\n";
constexpr const char* kLineReadLengths = "\nREAD_LENGTHS\n";
constexpr const char* kLineBadBlockType = "\ndefault\n";
constexpr const char* kLineInputOverrun = "\nif (inpos > (endinp+2) || bitsleft < 16)\n";
constexpr const char* kLineRawOverrun = "\nif ((inpos + this_run) > endinp) \n";

// The bit reader, copied into locals for the length of a loop so that it lives in registers.
struct BitReader {
    const std::uint8_t* in;
    std::size_t size;
    std::size_t pos;
    std::uint64_t buf;
    unsigned count;

    explicit BitReader(const LzxDecoder& d)
        : in(d.input), size(d.inputSize), pos(d.inputPos), buf(d.bitBuffer), count(d.bitCount) {}
    void storeInto(LzxDecoder& d) const {
        d.inputPos = pos;
        d.bitBuffer = buf;
        d.bitCount = count;
    }

    // Afterwards at least 49 bits are buffered: enough for a main symbol, a length symbol and
    // 17 extra bits. Whole words only; the bits below `count` are either zero or the true next
    // bits of the stream, so OR-ing the same words in again does no harm.
    inline void refill() {
        if (count > 48)
            return;
        if (pos + 8 <= size) [[likely]] {
            std::uint64_t x = loadLe64(in + pos);
            // Four little-endian words, the first of which is read first: put it on top.
            x = (x << 48) | ((x & 0xFFFF0000ull) << 16) | ((x >> 16) & 0xFFFF0000ull) | (x >> 48);
            buf |= x >> count;
            const unsigned words = (64 - count) >> 4;
            pos += words * 2;
            count += words * 16;
        } else {
            refillNearEnd();
        }
    }

    // One word at a time; past the end of the input, zero words.
    void refillNearEnd() {
        while (count <= 48) {
            unsigned lo = pos < size ? in[pos] : 0;
            unsigned hi = pos + 1 < size ? in[pos + 1] : 0;
            buf |= static_cast<std::uint64_t>(lo | (hi << 8)) << (48 - count);
            pos += 2;
            count += 16;
        }
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
    std::uint64_t consumedBits() const { return static_cast<std::uint64_t>(pos) * 8 - count; }
};

// The next symbol of `table`, or -1 when the bits begin no code of it. Needs 16 bits buffered.
template <class Table>
inline int decodeSymbol(BitReader& bits, const Table& table) {
    const std::uint16_t entry = table.fast[bits.buf >> (64 - Table::kTableBits)];
    if (entry) [[likely]] {
        bits.consume(entry & 31u);
        return entry >> 5;
    }
    unsigned length = 0;
    const int symbol = table.decodeLong(static_cast<std::uint32_t>(bits.buf >> 48), length);
    if (symbol >= 0)
        bits.consume(length);
    return symbol;
}

int fail(LzxDecoder& d, int result, const char* line) {
    if (line && d.sink)
        d.sink->write(DiagnosticStream::Output, line);
    d.status = result;
    return result;
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
        return false;
    }
    unsigned x = first;
    while (x < last) {
        bits.refill();
        const int z = decodeSymbol(bits, d.pretreeTable);
        if (z < 0) {
            if (d.sink)
                d.sink->write(DiagnosticStream::Output, kLineReadHuffsym);
            return false;
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
                return false;
            }
            if (z2 > 16)
                return false;  // a run code where a length difference belongs
            value = static_cast<std::uint8_t>((lengths[x] + 17 - z2) % 17);
        }
        // A run that overshoots the range is cut at its end.
        run = std::min(run, last - x);
        std::memset(lengths + x, value, run);
        x += run;
    }
    return true;
}

int readTrees(LzxDecoder& d, BitReader& bits) {
    if (!readLengths(d, bits, d.mainLengths, 0, 256) ||
        !readLengths(d, bits, d.mainLengths, 256, d.mainElements)) {
        return fail(d, kLzxDataError, kLineReadLengths);
    }
    if (!d.mainTable.build(d.mainLengths, kLzxMainTreeMax)) {
        return fail(d, kLzxDataError, kLineBuildTable);
    }
    if (!readLengths(d, bits, d.lengthLengths, 0, kLzxLengthTreeSymbols)) {
        return fail(d, kLzxDataError, kLineReadLengths);
    }
    if (!d.lengthTable.build(d.lengthLengths, kLzxLengthTreeMax)) {
        return fail(d, kLzxDataError, kLineBuildTable);
    }
    return kLzxOk;
}

int readBlockHeader(LzxDecoder& d, BitReader& bits) {
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
    switch (type) {
        case 2:
            bits.refill();
            for (unsigned i = 0; i < kLzxAlignedSymbols; ++i) {
                d.alignedLengths[i] = static_cast<std::uint8_t>(bits.get(3));
            }
            if (!d.alignedTable.build(d.alignedLengths, kLzxAlignedSymbols)) {
                return fail(d, kLzxDataError, kLineBuildTable);
            }
            [[fallthrough]];
        case 1:
            if (int rc = readTrees(d, bits))
                return rc;
            break;
        case 3: {
            // Padding up to the next 16-bit boundary, a whole word when already on one; then
            // R0, R1, R2 and the raw bytes, read bytewise.
            unsigned drop = bits.count & 15;
            if (drop == 0)
                drop = 16;
            const std::uint64_t bytePos = (bits.consumedBits() + drop) / 8;
            if (bytePos > bits.size || bits.size - bytePos < 12) {
                return fail(d, kLzxDataError, kLineRawOverrun);
            }
            const std::uint8_t* p = bits.in + bytePos;
            d.r0 = loadLe32(p);
            d.r1 = loadLe32(p + 4);
            d.r2 = loadLe32(p + 8);
            bits.pos = static_cast<std::size_t>(bytePos + 12);
            bits.buf = 0;
            bits.count = 0;
            break;
        }
        default:
            return fail(d, kLzxDataError, kLineBadBlockType);
    }
    d.blockEnd = d.outputPos + d.blockLength;
    return kLzxOk;
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
    if (offset >= 16) {
        do {
            std::memcpy(dst, src, 16);
            dst += 16;
            src += 16;
        } while (dst < end);
    } else if (offset == 1) {
        std::memset(dst, *src, length);
    } else if (offset >= 8) {
        do {
            std::memcpy(dst, src, 8);
            dst += 8;
            src += 8;
        } while (dst < end);
    } else {
        while (dst < end)
            *dst++ = *src++;
    }
}

// Decodes literals and matches of a verbatim or aligned-offset block until the output reaches
// `runEnd` (a match may carry it past, up to the block's end); truncates a match at the end of
// the output.
template <bool Aligned>
int decodeRun(LzxDecoder& d, std::uint8_t* out, std::uint64_t runEnd, std::uint64_t outLen) {
    BitReader bits(d);
    std::uint64_t pos = d.outputPos;
    std::uint32_t r0 = d.r0, r1 = d.r1, r2 = d.r2;
    const std::uint64_t blockEnd = d.blockEnd;
    const std::uint32_t window = d.windowSize;
    int rc = kLzxOk;
    const char* line = nullptr;

    while (pos < runEnd) {
        bits.refill();
        int symbol = decodeSymbol(bits, d.mainTable);
        if (symbol < 256) {
            if (symbol < 0) [[unlikely]] {
                rc = kLzxDataError;
                line = kLineReadHuffsym;
                break;
            }
            out[pos++] = static_cast<std::uint8_t>(symbol);
            // Up to two more literals fit in what is buffered.
            if (pos < runEnd && bits.count >= 16) {
                symbol = decodeSymbol(bits, d.mainTable);
                if (static_cast<unsigned>(symbol) < 256) {
                    out[pos++] = static_cast<std::uint8_t>(symbol);
                    continue;
                }
                if (symbol < 0) [[unlikely]] {
                    rc = kLzxDataError;
                    line = kLineReadHuffsym;
                    break;
                }
                if (bits.count < 33)
                    bits.refill();
            } else {
                continue;
            }
        }
        const unsigned code = static_cast<unsigned>(symbol) - 256;
        unsigned length = code & 7;
        const unsigned slot = code >> 3;
        if (length == 7) {
            const int extra = decodeSymbol(bits, d.lengthTable);
            if (extra < 0) [[unlikely]] {
                rc = kLzxDataError;
                line = kLineReadHuffsym;
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
                if (bits.count < 32)
                    bits.refill();
                if (extraBits > 3)
                    offset += bits.get(extraBits - 3) << 3;
                const int aligned = decodeSymbol(bits, d.alignedTable);
                if (aligned < 0) [[unlikely]] {
                    rc = kLzxDataError;
                    line = kLineReadHuffsym;
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

        if (offset == 0 || offset > pos || offset > window) [[unlikely]] {
            rc = kLzxFormatError;  // before the start of the data, or beyond the window
            break;
        }
        std::uint64_t end = pos + length;
        if (end > blockEnd) [[unlikely]] {
            rc = kLzxDataError;  // a match that runs past the end of its block
            break;
        }
        if (end > outLen) {
            length = static_cast<unsigned>(outLen - pos);
            end = outLen;
        }
        copyMatch(out + pos, offset, length);
        pos = end;
    }

    bits.storeInto(d);
    d.outputPos = pos;
    d.r0 = r0;
    d.r1 = r1;
    d.r2 = r2;
    if (rc)
        return fail(d, rc, line);
    return kLzxOk;
}

// Undoes the E8 call translation of one frame in place. Positions count from the start of the
// frame's reset interval, and only the first 32768 frames of an interval are translated.
void translateFrame(std::uint8_t* out, std::uint64_t frame, std::uint64_t outLen,
                    const LzxDecoder::PendingFrame& pending) {
    const std::uint64_t start = frame * kLzxFrameSize;
    if (pending.fileSize == 0 || (start - pending.resetBase) / kLzxFrameSize >= kE8Frames)
        return;
    const std::uint64_t size = std::min<std::uint64_t>(kLzxFrameSize, outLen - start);
    if (size <= 10)
        return;
    std::uint8_t* p = out + start;
    std::uint8_t* const stop = p + size - 10;
    std::uint8_t* const origin = out + pending.resetBase;
    const auto limit = static_cast<std::int64_t>(pending.fileSize);
    while (p < stop) {
        p = static_cast<std::uint8_t*>(std::memchr(p, 0xE8, static_cast<std::size_t>(stop - p)));
        if (!p)
            break;
        const std::int64_t here = p - origin;
        const auto absolute = static_cast<std::int32_t>(loadLe32(p + 1));
        if (absolute >= -here && absolute < limit) {
            const std::int64_t relative = absolute >= 0 ? absolute - here : absolute + limit;
            const auto v = static_cast<std::uint32_t>(relative);
            const std::uint8_t le[4] = {
                static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
            std::memcpy(p + 1, le, 4);
        }
        p += 5;
    }
}

void translateFramesBefore(LzxDecoder& d, std::uint8_t* out, std::uint64_t frames,
                           std::uint64_t outLen) {
    while (d.framesTranslated < frames) {
        const std::uint64_t f = d.framesTranslated++;
        translateFrame(out, f, outLen, d.pendingFrames[f & 127]);
    }
}

void noteFrameDone(LzxDecoder& d) {
    d.pendingFrames[d.framesDone & 127] = {d.e8FileSize, d.lastResetAt};
    ++d.framesDone;
}

}  // namespace

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
    // The section is written from start to end anyway: mapping it in one go saves a page fault
    // per 4 KiB, which costs about as much as decoding the bytes.
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

int lzxInit(LzxDecoder& d, int windowBits, std::uint64_t resetInterval, DiagnosticSink* sink) {
    if (windowBits < 15 || windowBits > 21)
        return kLzxFormatError;
    d.windowBits = static_cast<unsigned>(windowBits);
    d.windowSize = 1u << windowBits;
    d.positionSlots = windowBits < 20 ? 2u * d.windowBits : windowBits == 20 ? 42u : 50u;
    d.mainElements = 256 + 8 * d.positionSlots;
    d.resetInterval =
        (resetInterval == 0 || resetInterval % kLzxFrameSize != 0) ? d.windowSize : resetInterval;
    d.sink = sink;
    d.input = nullptr;
    d.inputSize = 0;
    d.inputPos = 0;
    d.bitBuffer = 0;
    d.bitCount = 0;
    d.outputPos = 0;
    d.produced = 0;
    d.blockType = 0;
    d.blockLength = 0;
    d.blockEnd = 0;
    d.e8FileSize = 0;
    d.framesDone = 0;
    d.framesTranslated = 0;
    d.status = kLzxOk;
    resetState(d);
    d.lastResetAt = 0;
    return kLzxOk;
}

int lzxDecompress(LzxDecoder& d, const std::uint8_t* input, std::size_t inputLength,
                  LzxOutput& output, std::uint64_t outputLength) {
    if (d.status)
        return d.status;
    if (d.windowSize == 0)
        return fail(d, kLzxFormatError, nullptr);
    d.input = input;
    d.inputSize = inputLength;
    const std::uint64_t inputLimitBits = (static_cast<std::uint64_t>(inputLength) + 2) * 8;
    const std::uint64_t outLen = outputLength;

    auto finishFailed = [&](int rc) {
        translateFramesBefore(d, output.data(), d.framesDone, outLen);
        d.produced = std::min(d.framesDone * kLzxFrameSize, outLen);
        return rc;
    };
    auto overrun = [&] { return BitReader(d).consumedBits() > inputLimitBits; };

    while (d.outputPos < outLen) {
        if (d.outputPos >= d.blockEnd) {
            if (overrun())
                return finishFailed(fail(d, kLzxDataError, kLineInputOverrun));
            if (d.outputPos > 0 && d.outputPos % d.resetInterval == 0 &&
                d.outputPos != d.lastResetAt) {
                resetState(d);
            }
            BitReader bits(d);
            const int rc = readBlockHeader(d, bits);
            bits.storeInto(d);
            if (rc)
                return finishFailed(rc);
            continue;
        }

        const std::uint64_t pos = d.outputPos;
        const std::uint64_t frameEnd = (pos / kLzxFrameSize + 1) * kLzxFrameSize;
        const std::uint64_t runEnd = std::min({frameEnd, d.blockEnd, outLen});
        const std::uint64_t need = std::min(runEnd + kMaxMatch, outLen) + kLzxOutputSlack;
        if (need > output.capacity()) {
            const std::uint64_t grown = std::max<std::uint64_t>(need, 2 * output.capacity());
            const std::uint64_t target = std::min(grown, outLen + kLzxOutputSlack);
            if (target > SIZE_MAX ||
                !output.reserve(static_cast<std::size_t>(target), static_cast<std::size_t>(pos))) {
                return finishFailed(fail(d, kLzxNoMemory, nullptr));
            }
        }

        if (d.blockType == 3) {
            const std::uint64_t n = runEnd - pos;
            if (d.inputPos > d.inputSize || n > d.inputSize - d.inputPos) {
                return finishFailed(fail(d, kLzxDataError, kLineRawOverrun));
            }
            std::memcpy(output.data() + pos, d.input + d.inputPos, static_cast<std::size_t>(n));
            d.inputPos += static_cast<std::size_t>(n);
            d.outputPos = runEnd;
            // The next block's header starts on a word boundary after a padding byte.
            if (runEnd == d.blockEnd && (d.blockLength & 1))
                ++d.inputPos;
        } else {
            const int rc = d.blockType == 2 ? decodeRun<true>(d, output.data(), runEnd, outLen)
                                            : decodeRun<false>(d, output.data(), runEnd, outLen);
            if (rc)
                return finishFailed(rc);
            if (d.outputPos >= frameEnd) {
                // Each frame ends on a 16-bit boundary of the input.
                const unsigned drop = d.bitCount & 15;
                d.bitBuffer <<= drop;
                d.bitCount -= drop;
            }
        }

        while ((d.framesDone + 1) * kLzxFrameSize <= d.outputPos) {
            if (overrun())
                return finishFailed(fail(d, kLzxDataError, kLineInputOverrun));
            noteFrameDone(d);
        }
        // Frames a whole window behind can no longer be matched against: translate them now.
        const std::uint64_t settled =
            d.outputPos >= d.windowSize ? (d.outputPos - d.windowSize) / kLzxFrameSize : 0;
        translateFramesBefore(d, output.data(), std::min(settled, d.framesDone), outLen);
    }

    if (overrun())
        return finishFailed(fail(d, kLzxDataError, kLineInputOverrun));
    if (d.framesDone * kLzxFrameSize < outLen) {
        noteFrameDone(d);
    }
    if (outLen)
        translateFramesBefore(d, output.data(), d.framesDone, outLen);
    d.produced = outLen;
    return kLzxOk;
}

}  // namespace plovik
