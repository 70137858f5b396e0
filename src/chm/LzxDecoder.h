#pragma once

// The LZX decoder of the compressed content section, streaming: it decodes into a window buffer
// of its own and hands the output out in pieces, one reset interval at a time, so that memory
// stays at the window (plus one interval) whatever the length of the section.
//
// Input: 16-bit little-endian words, read most significant bit first. The decoder reads the
// compressed bytes through an LzxInput in chunks, swaps the two bytes of every word as it takes
// them in (so that the stream is one plain big-endian bit string), and keeps zero bytes past the
// end of what it holds. A decoding run is short enough (kLzxRunBytes of output) that it cannot
// read past those zero bytes, so the bit reader has no bounds check of its own: the decoder makes
// sure before every run and every block header that a run's worth of input is buffered, and
// checks there, at every 32 KiB frame end and at the end of the output that it has not consumed
// more than the input plus one 16-bit word of padding (encoders may end on a partial word, and a
// decoder's look-ahead may touch the word after it); more than that means the stream was cut
// short.
//
// Output: frames of 32 KiB. At the end of each frame (after the symbol that reaches or crosses
// its end) the bit stream moves on to the next 16-bit word boundary. At every reset point (a
// multiple of the reset interval) the coding state starts again: R0 = R1 = R2 = 1, tree lengths
// 0, E8 header read again, and no match may reach back before it. A block must end at or before
// the next reset point (unless it reaches the end of the section), so every reset interval can
// be decoded on its own from its reset point, and decoding from the start gives the same bytes as
// decoding from any reset point. E8 call translation is undone per frame, with call positions
// counted from the frame's reset point, once the frame can no longer be matched against (at the
// end of its interval, or a window's length behind the decoding position).
//
// Results: LzxResult, a value with an LzxStatus and a reason that carries the numbers. Once a
// decoder has failed it stays failed until it is started again at a reset point. The older
// interface (lzxInit, lzxDecompress: one whole section into one growing buffer, results as the
// small integers 0 to 3, the failure lines written to a DiagnosticSink) is a thin layer on top.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "chm/LzxHuffman.h"

namespace plovik {

class DiagnosticSink;

enum class LzxStatus : std::uint8_t {
    ok,
    formatError,  // window bits out of range; a match reaching outside the window or the interval
    dataError,    // anything else the stream gets wrong
    truncated,    // the input ends before the output does
    noMemory,     // a buffer could not be allocated
};

// The outcome of a decoding step: ok, or a failure with what went wrong, in numbers.
class LzxResult {
public:
    LzxResult() = default;
    LzxResult(LzxStatus status, std::string reason) : status_(status), reason_(std::move(reason)) {}

    LzxStatus status() const { return status_; }
    bool ok() const { return status_ == LzxStatus::ok; }
    const std::string& reason() const { return reason_; }
    // The older small integers: 0 ok, 1 format error, 2 data error (cut short included),
    // 3 no memory.
    int code() const;

private:
    LzxStatus status_ = LzxStatus::ok;
    std::string reason_;
};

// Results, as small integers (the older interface).
enum LzxResultCode : int {
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
inline constexpr unsigned kLzxMaxMatch = 257;
// Bytes the decoder may write past the end of the output it was asked for (whole-chunk copies).
inline constexpr std::size_t kLzxOutputSlack = 32;
// Output bytes of one decoding run: its input (at most 53 bits a symbol, one symbol a byte) is
// what the decoder keeps buffered ahead of the bit reader.
inline constexpr std::size_t kLzxRunBytes = 4096;
inline constexpr std::size_t kLzxInputAhead = 40 * 1024;
// Input read at a time.
inline constexpr std::size_t kLzxInputChunk = 128 * 1024;
// Intervals longer than the window plus this much are handed out a part at a time, each part a
// window's length behind the decoding position.
inline constexpr std::size_t kLzxSlideBytes = 256 * 1024;

// Where the compressed bytes come from.
class LzxInput {
public:
    virtual ~LzxInput() = default;
    // The length of the stream in bytes.
    virtual std::uint64_t size() const = 0;
    // Copies stream bytes [offset, offset + count) to `to`. False when they cannot be read (the
    // decoder then treats the stream as ending at `offset`).
    virtual bool read(std::uint64_t offset, std::uint8_t* to, std::size_t count) = 0;
};

// A stream in memory; the bytes must outlive the input.
class LzxMemoryInput final : public LzxInput {
public:
    LzxMemoryInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::uint8_t* to, std::size_t count) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Decoded bytes [offset, offset + size) of the section. Valid until the decoder's next call.
struct LzxPiece {
    std::uint64_t offset = 0;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The buffer a section decodes into with lzxDecompress; it grows as output is produced, so a
// stream that claims a huge length but stops early costs only what it produced.
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
    // ---- set by lzxConfigure ----
    unsigned windowBits = 0;       // 15 to 21
    std::uint32_t windowSize = 0;  // 2^windowBits: the farthest a match may reach back
    unsigned positionSlots = 0;    // 30 to 50, from the window size
    unsigned mainElements = 0;     // 256 literals + 8 length headers per position slot
    // Output bytes between two resets of the coding state; a multiple of the frame size.
    std::uint64_t resetInterval = 0;
    std::uint64_t outputLength = 0;  // the section's length: decoding stops there
    DiagnosticSink* sink = nullptr;  // where the decoder's failure lines go; null for none

    // ---- input: chunks of the stream, each word's bytes swapped, zeros after the last ----
    LzxInput* input = nullptr;
    std::uint64_t inputSize = 0;  // the stream's length
    std::unique_ptr<std::uint8_t[]> inBuf;
    std::uint64_t inBase = 0;     // stream offset of inBuf[0]; always even
    std::size_t inFill = 0;       // bytes of inBuf that hold stream bytes
    bool inputEnded = false;      // inBuf holds the stream's last byte; zeros follow
    std::size_t inPos = 0;        // the next byte of inBuf the bit reader takes in
    std::uint64_t bitBuffer = 0;  // unread bits, most significant first
    unsigned bitCount = 0;        // how many of bitBuffer's top bits are unread

    // ---- output: the window buffer ----
    std::unique_ptr<std::uint8_t[]> window;
    std::size_t windowCapacity = 0;  // bytes of `window` that may be written, slack excluded
    std::uint64_t windowStart = 0;   // section offset of window[0]
    std::uint64_t outputPos = 0;     // section offset of the next byte to decode
    std::uint64_t handedOut = 0;     // bytes before this have been handed out
    std::uint64_t lastResetAt = 0;   // section offset of the latest reset point
    bool moveOnPending = false;      // the window moves on at the next call

    // ---- block state ----
    bool headerRead = false;        // the E8 header of the current reset interval is read
    int blockType = 0;              // 0 none yet, 1 verbatim, 2 aligned offset, 3 uncompressed
    std::uint32_t blockLength = 0;  // the current block's length (24 bits)
    std::uint64_t blockEnd = 0;     // section offset where the current block ends
    std::uint32_t r0 = 1, r1 = 1, r2 = 1;  // the three most recent match offsets
    std::uint32_t e8FileSize = 0;          // translation size of the current reset interval; 0 off

    // ---- trees ----
    // Code lengths, kept from block to block because each block sends differences.
    std::uint8_t mainLengths[kLzxMainTreeMax] = {};
    std::uint8_t lengthLengths[kLzxLengthTreeMax] = {};
    std::uint8_t alignedLengths[kLzxAlignedSymbols] = {};
    std::uint8_t pretreeLengths[kLzxPretreeSymbols] = {};
    LzxHuffmanTable<11, kLzxMainTreeMax> mainTable;
    LzxHuffmanTable<10, kLzxLengthTreeMax> lengthTable;
    LzxHuffmanTable<7, kLzxAlignedSymbols> alignedTable;
    LzxHuffmanTable<8, kLzxPretreeSymbols> pretreeTable;

    // Sticky: once a call has failed, every later call returns the same result until the
    // decoder is started again.
    LzxResult result;

    // ---- the older interface ----
    std::uint64_t produced = 0;  // lzxDecompress: leading output bytes that are good
    int status = kLzxOk;         // lzxDecompress: its sticky result
};

// The reset interval a decoder uses: `resetInterval` bytes, or the window's length when that is
// 0 or not a whole number of frames.
std::uint64_t lzxEffectiveResetInterval(int windowBits, std::uint64_t resetInterval);

// Readies the decoder for a section: window bits 15 to 21 (else a format error), the reset
// interval in bytes (0, or a value that is not a whole number of frames, resets when the window
// fills instead) and the section's length. Allocates the buffers.
LzxResult lzxConfigure(LzxDecoder& decoder, int windowBits, std::uint64_t resetInterval,
                       std::uint64_t outputLength, DiagnosticSink* sink = nullptr);

// Starts (again) at a reset point: section offset `outputOffset` (a multiple of the reset
// interval, at most the length), whose bits begin at byte `inputOffset` (even) of `input`.
// Clears a failure. The input must outlive the decoding.
LzxResult lzxStartAt(LzxDecoder& decoder, LzxInput& input, std::uint64_t outputOffset,
                     std::uint64_t inputOffset);

// Decodes on and hands out the next piece: the rest of the current reset interval, or, in an
// interval longer than the window buffer, what has fallen a window's length behind. A piece of
// size 0 with an ok result means the section is complete. On failure the piece is empty, and
// [decoder.handedOut, lzxIntervalEnd(decoder, decoder.handedOut)) is what is lost.
LzxResult lzxNextPiece(LzxDecoder& decoder, LzxPiece& piece);

// Where the reset interval that holds section offset `offset` ends (at most the length).
std::uint64_t lzxIntervalEnd(const LzxDecoder& decoder, std::uint64_t offset);

// Bits of the input consumed so far, counted from the start of the stream.
std::uint64_t lzxConsumedBits(const LzxDecoder& decoder);

// ---- the older interface ----

// lzxConfigure without a length: returns kLzxOk or kLzxFormatError.
int lzxInit(LzxDecoder& decoder, int windowBits, std::uint64_t resetInterval,
            DiagnosticSink* sink = nullptr);

// Decodes `outputLength` bytes of the section from `input` into `output`, which grows as needed.
// Returns an LzxResultCode; decoder.produced says how many leading bytes of the output are good
// (all of them on success; on failure those of the reset intervals decoded before it).
int lzxDecompress(LzxDecoder& decoder, const std::uint8_t* input, std::size_t inputLength,
                  LzxOutput& output, std::uint64_t outputLength);

}  // namespace plovik
