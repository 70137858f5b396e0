#pragma once

// A test-only LZX encoder for the compressed section of CHM files.
//
// It does not search for a good compression: a test says exactly which blocks to send and which
// literals and matches each block holds (encodeLzx), or hands over plain bytes and gets a simple
// greedy match search (encodeGreedy). Either way the encoder does the bookkeeping the format
// demands and returns the compressed stream, the bytes a correct decoder must produce, and the
// compressed offset of every 32 KiB frame for the reset table.
//
// What the encoder takes care of, so that scripts stay short:
//  - canonical Huffman codes from each block's own symbol counts, at most 16 bits long (pretree
//    15, aligned-offset tree 7), sent as differences to the previous block's lengths through the
//    pretree, with the run codes 17, 18 and 19 where they help (LzxOptions::plainDeltasOnly
//    turns them off);
//  - the 16-bit little-endian word stream, the realignment after every 32 KiB of output, the
//    padding of uncompressed blocks (1 to 16 bits before R0..R2, a pad byte after an odd length);
//  - the E8 header bit (and translation size) at the start and after every reset;
//  - resets every LzxOptions::resetIntervalFrames frames: trees' previous lengths back to 0,
//    R0 = R1 = R2 = 1, history cut off, header bit sent again.
//
// Script rules, applied silently because every decoder relies on them:
//  - a match that would run over a 32 KiB frame edge is split there: the first part as written,
//    the rest as an R0 match (or a literal when one byte is left); a one-byte first part becomes
//    a literal;
//  - a block that runs over a reset point is ended there and continued, after the reset, as a new
//    block of the same type (a match cannot run over a reset point: that is an error);
//  - matches inside an uncompressed block are expanded into their bytes (R0..R2 unchanged);
//  - empty blocks are dropped;
//  - filler zeros complete the last frame (see LzxOptions::padFinalFrame).
// A match whose offset reaches before the start of the data (or before the last reset, or
// farther than window size - 3) is an error: the stream would mean nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovik::test {

// The 3-bit block type field.
enum class LzxBlockType : std::uint8_t { Verbatim = 1, AlignedOffset = 2, Uncompressed = 3 };

// One step of a script: a literal byte, a match with an explicit offset, or a match that reuses
// one of the three most recent offsets.
struct LzxToken {
    enum class Kind : std::uint8_t { Literal, Match, Repeat };
    Kind kind = Kind::Literal;
    std::uint8_t byte = 0;     // Literal
    std::uint32_t length = 0;  // Match and Repeat: 2 to 257
    std::uint32_t offset = 0;  // Match: distance back, 1 to window size - 3
    std::uint8_t slot = 0;     // Repeat: 0, 1 or 2 for R0, R1, R2

    static LzxToken literal(std::uint8_t b);
    static LzxToken match(std::uint32_t length, std::uint32_t offset);
    static LzxToken repeat(std::uint32_t length, int slot);
};

// Literal tokens for every byte of the text.
std::vector<LzxToken> lzxLiterals(std::string_view bytes);

struct LzxBlock {
    LzxBlockType type = LzxBlockType::Verbatim;
    std::vector<LzxToken> tokens;
    // Uncompressed blocks only: the R0, R1, R2 written into the block (and used by the blocks
    // after it). Without it the encoder writes the offsets currently in force.
    std::optional<std::array<std::uint32_t, 3>> repeatedOffsets;
};

struct LzxOptions {
    int windowBits = 16;  // 15 to 21: a window of 2^bits bytes
    // Reset interval in 32 KiB frames; 0 means one window (what every known CHM compiler uses).
    std::uint32_t resetIntervalFrames = 0;
    // E8 call translation: 0 sends header bit 0; any other value sends bit 1 and this
    // translation size, and encodeGreedy translates its input first.
    std::uint32_t e8FileSize = 0;
    // Send every tree length as a plain difference (pretree symbols 0 to 16 only).
    bool plainDeltasOnly = false;
    // A tree with no symbol in use (the length tree of a block without long matches, the
    // aligned-offset tree of a block without large offsets) is normally given two dummy codes
    // of length 1, which every decoder accepts. True sends all lengths 0 instead.
    bool allowEmptyTrees = false;

    // Frame-by-frame decoders (7-Zip, chmlib) decode the last frame whole: the stream then
    // carries zero bytes after the data up to the next 32 KiB edge. `decoded` never includes
    // them, and the reset table's length does not count them. False ends the stream with the
    // data, which those decoders reject.
    bool padFinalFrame = true;

    // encodeGreedy only: bytes of output per block, block types used in turn, search effort.
    std::uint32_t greedyBlockSize = 32768;
    std::vector<LzxBlockType> greedyBlockTypes = {LzxBlockType::Verbatim};
    int greedyMaxChain = 32;
};

struct LzxStream {
    bool ok = false;
    std::string error;       // why ok is false
    std::string compressed;  // the LZX stream, a whole number of 16-bit words
    std::string decoded;     // the bytes a correct decoder produces (E8 translation undone)
    // For each 32 KiB frame of decoded output, the offset in `compressed` where its bits begin
    // (frame 0 at 0): what the reset table lists.
    std::vector<std::uint64_t> frameOffsets;
    std::uint32_t blocks = 0;  // blocks actually sent, after splitting at reset points
    std::uint32_t resets = 0;  // resets after the start
};

// Encodes the scripted blocks in order.
LzxStream encodeLzx(const std::vector<LzxBlock>& script, const LzxOptions& options = {});

// Compresses bytes with a hash-chain search (matches of 3 to 257 bytes, repeated offsets
// preferred) into blocks of options.greedyBlockSize. `decoded` equals `bytes` on success.
LzxStream encodeGreedy(std::string_view bytes, const LzxOptions& options = {});

// The E8 call translation over a whole stream, frame by frame: lzxE8Encode is what a
// compressor applies before matching, lzxE8Decode what a decoder applies to its output, and
// lzxE8Decode(lzxE8Encode(x, n, r), n, r) == x for every x. Positions (and the count of
// translated frames) start again at every reset point, every resetIntervalBytes (0: never),
// as decoders that begin at a reset point must count them; 7-Zip and chmlib do.
std::string lzxE8Encode(std::string_view original, std::uint32_t fileSize,
                        std::uint64_t resetIntervalBytes = 0);
std::string lzxE8Decode(std::string_view translated, std::uint32_t fileSize,
                        std::uint64_t resetIntervalBytes = 0);

// The number of position slots of a window: 30 to 38 for 15 to 19 bits, 42 for 20, 50 for 21.
int lzxPositionSlots(int windowBits);

}  // namespace plovik::test
