// Feeds arbitrary bytes to the LZX decoder. The first four bytes choose the window, the reset
// interval and how much output to ask for; the fifth which interval to decode again on its own;
// the rest is the compressed stream.
//
// The stream is decoded twice: whole through the older interface, and piece by piece, noting
// where in the input each reset interval begins. Then one interval that decoded is decoded again
// from its reset point alone: it must give the same bytes, since an interval may depend on
// nothing before it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "chm/LzxDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plovik;
    if (size < 5)
        return 0;
    const int windowBits = 15 + data[0] % 7;
    const std::uint64_t resetInterval = static_cast<std::uint64_t>(data[1] % 5) * kLzxFrameSize;
    const std::uint64_t outputLength = (std::uint64_t{data[2]} << 8 | data[3]) * 64;
    const std::uint8_t again = data[4];
    const std::uint8_t* stream = data + 5;
    const std::size_t streamSize = size - 5;

    static LzxDecoder whole;
    lzxInit(whole, windowBits, resetInterval);
    LzxOutput output;
    output.reserve(1024, 0);
    lzxDecompress(whole, stream, streamSize, output, outputLength);

    static LzxDecoder pieces;
    LzxMemoryInput input(stream, streamSize);
    if (!lzxConfigure(pieces, windowBits, resetInterval, outputLength).ok())
        return 0;
    lzxStartAt(pieces, input, 0, 0);
    struct Interval {
        std::uint64_t offset;
        std::uint64_t inputOffset;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Interval> intervals;
    std::uint64_t inputOffset = 0;
    std::uint64_t produced = 0;
    LzxPiece piece;
    while (lzxNextPiece(pieces, piece).ok() && piece.size > 0) {
        if (piece.offset != produced)
            __builtin_trap();  // pieces come in order without gaps
        produced += piece.size;
        if (piece.offset % pieces.resetInterval == 0 &&
            lzxIntervalEnd(pieces, piece.offset) == piece.offset + piece.size) {
            intervals.push_back({piece.offset, inputOffset,
                                 std::vector<std::uint8_t>(piece.data, piece.data + piece.size)});
        }
        if (lzxIntervalEnd(pieces, piece.offset) == piece.offset + piece.size)
            inputOffset = lzxConsumedBits(pieces) / 8;
    }
    // The older interface's output is the pieces' bytes.
    if (whole.produced != produced && whole.status != kLzxNoMemory)
        __builtin_trap();
    for (const Interval& i : intervals) {
        if (i.offset + i.bytes.size() <= whole.produced &&
            std::memcmp(output.data() + i.offset, i.bytes.data(), i.bytes.size()) != 0)
            __builtin_trap();
    }

    if (intervals.empty())
        return 0;
    const Interval& one = intervals[again % intervals.size()];
    lzxStartAt(pieces, input, one.offset, one.inputOffset);
    const LzxResult r = lzxNextPiece(pieces, piece);
    if (!r.ok() || piece.offset != one.offset || piece.size != one.bytes.size() ||
        std::memcmp(piece.data, one.bytes.data(), piece.size) != 0) {
        __builtin_trap();
    }
    return 0;
}
