#pragma once

// The LZX decoder of the compressed content section. One call decodes a whole section: the
// output buffer is the sliding window, so matches are copied straight from earlier output and
// nothing is copied twice. Each decoder instance carries its own state; nothing is shared.
//
// Input: 16-bit little-endian words, read most significant bit first. The bit reader holds up
// to 64 bits and refills a whole word at a time. Near the end of the input it supplies zero
// words, and the decoder checks at every block start and every 32 KiB frame end that it has not
// consumed more than the input plus one 16-bit word of such padding (encoders may end on a
// partial word, and a decoder's look-ahead may touch the word after it); more than that means
// the stream was cut short.
//
// Output: frames of 32 KiB. At the end of each frame (after the symbol that reaches or crosses
// its end) the bit stream moves on to the next 16-bit word boundary. The coding state resets at
// every reset interval, at a block boundary: R0 = R1 = R2 = 1, tree lengths 0, E8 header read
// again. E8 call translation is undone per frame, with call positions counted from the start of
// the frame's reset interval, after the frame has moved out of reach of later matches (a
// window's length behind the decoding position), so the window keeps the untranslated bytes that
// matches refer to.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "chm/LzxHuffman.h"

namespace plovik {

class DiagnosticSink;

// Results, as small integers.
enum LzxResult : int {
    kLzxOk = 0,
    kLzxFormatError = 1,  // window bits out of range; a match reaching outside the window
    kLzxDataError = 2,    // anything else the stream gets wrong, including running out of input
    kLzxNoMemory = 3,     // the output buffer could not be allocated
};

inline constexpr unsigned kLzxFrameSize = 32768;
inline constexpr unsigned kLzxMainTreeMax = 256 + 50 * 8;  // 656
inline constexpr unsigned kLzxLengthTreeSymbols = 249;
inline constexpr unsigned kLzxLengthTreeMax = 250;
inline constexpr unsigned kLzxAlignedSymbols = 8;
inline constexpr unsigned kLzxPretreeSymbols = 20;
// Bytes the decoder may write past the end of the output it was asked for (whole-chunk copies).
inline constexpr std::size_t kLzxOutputSlack = 32;

// The buffer a section decodes into; it grows as output is produced, so a stream that claims a
// huge length but stops early costs only what it produced.
class LzxOutput {
public:
    // Makes room for at least `bytes`, keeping the first `keep` bytes. False when that cannot
    // be allocated.
    bool reserve(std::size_t bytes, std::size_t keep);
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t capacity() const { return capacity_; }
    std::unique_ptr<std::uint8_t[]> release() {
        capacity_ = 0;
        return std::move(data_);
    }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
};

struct LzxDecoder {
    // ---- set by lzxInit ----
    unsigned windowBits = 0;       // 15 to 21
    std::uint32_t windowSize = 0;  // 2^windowBits: the farthest a match may reach back
    unsigned positionSlots = 0;    // 30 to 50, from the window size
    unsigned mainElements = 0;     // 256 literals + 8 length headers per position slot
    // Output bytes between two resets of the coding state; a multiple of the frame size.
    std::uint64_t resetInterval = 0;
    DiagnosticSink* sink = nullptr;  // where the decoder's failure lines go; null for none

    // ---- input ----
    const std::uint8_t* input = nullptr;
    std::size_t inputSize = 0;
    // Bytes taken into the bit buffer so far, zero words past the end included; always even
    // except inside an uncompressed block, where it is the byte position.
    std::size_t inputPos = 0;
    std::uint64_t bitBuffer = 0;  // unread bits, most significant first
    unsigned bitCount = 0;        // how many of bitBuffer's top bits are unread

    // ---- output ----
    std::uint64_t outputPos = 0;    // bytes produced, translation pending or not
    std::uint64_t produced = 0;     // bytes known good and translated: what callers may use
    std::uint64_t lastResetAt = 0;  // output position of the latest reset

    // ---- block state ----
    bool headerRead = false;        // the E8 header of the current reset interval is read
    int blockType = 0;              // 0 none yet, 1 verbatim, 2 aligned offset, 3 uncompressed
    std::uint32_t blockLength = 0;  // the current block's length (24 bits)
    std::uint64_t blockEnd = 0;     // output position where the current block ends
    std::uint32_t r0 = 1, r1 = 1, r2 = 1;  // the three most recent match offsets

    // ---- E8 translation ----
    std::uint32_t e8FileSize = 0;        // translation size of the current reset interval; 0 off
    std::uint64_t framesDone = 0;        // whole frames decoded
    std::uint64_t framesTranslated = 0;  // frames whose E8 translation has been undone
    // For each frame not yet translated, by frame number mod 128 (at most a window's length
    // plus one frame are pending: 65 frames), the translation size in force and where its reset
    // interval began: call positions count from there, so that decoding from any reset point
    // gives the same bytes.
    struct PendingFrame {
        std::uint32_t fileSize = 0;
        std::uint64_t resetBase = 0;
    };
    std::array<PendingFrame, 128> pendingFrames{};

    // ---- trees ----
    // Code lengths, kept from block to block because each block sends differences.
    std::uint8_t mainLengths[kLzxMainTreeMax] = {};
    std::uint8_t lengthLengths[kLzxLengthTreeMax] = {};
    std::uint8_t alignedLengths[kLzxAlignedSymbols] = {};
    std::uint8_t pretreeLengths[kLzxPretreeSymbols] = {};
    LzxHuffmanTable<12, kLzxMainTreeMax> mainTable;
    LzxHuffmanTable<12, kLzxLengthTreeMax> lengthTable;
    LzxHuffmanTable<7, kLzxAlignedSymbols> alignedTable;
    LzxHuffmanTable<8, kLzxPretreeSymbols> pretreeTable;

    // Sticky: once a call has failed, every later call returns the same result.
    int status = kLzxOk;
};

// Readies the decoder for one section: window bits 15 to 21 (else kLzxFormatError) and the reset
// interval in bytes; 0, or a value that is not a whole number of frames, resets when the window
// fills instead.
int lzxInit(LzxDecoder& decoder, int windowBits, std::uint64_t resetInterval,
            DiagnosticSink* sink = nullptr);

// Decodes `outputLength` bytes of the section from `input` into `output`, which grows as needed.
// Returns an LzxResult; decoder.produced says how many leading bytes of the output are good
// (all of them on success; on failure those of the whole frames decoded before it).
int lzxDecompress(LzxDecoder& decoder, const std::uint8_t* input, std::size_t inputLength,
                  LzxOutput& output, std::uint64_t outputLength);

}  // namespace plovik
