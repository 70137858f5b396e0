// The decoder against streams made to order by the test encoder: every block type, the window
// and reset edges, E8 translation, and streams that are cut short or make no sense.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "chm/LzxDecoder.h"
#include "support/chm/LzxEncoder.h"

namespace plovik::test {
namespace {

struct Decoded {
    int result = -1;
    std::uint64_t produced = 0;
    std::string bytes;  // the produced bytes only
    std::size_t capacity = 0;
};

Decoded decode(std::string_view stream, int windowBits, std::uint64_t resetBytes,
               std::uint64_t length) {
    auto decoder = std::make_unique<LzxDecoder>();
    EXPECT_EQ(lzxInit(*decoder, windowBits, resetBytes), kLzxOk);
    LzxOutput output;
    Decoded d;
    d.result = lzxDecompress(*decoder, reinterpret_cast<const std::uint8_t*>(stream.data()),
                             stream.size(), output, length);
    d.produced = decoder->produced;
    d.capacity = output.capacity();
    if (d.produced)
        d.bytes.assign(reinterpret_cast<const char*>(output.data()), d.produced);
    return d;
}

// What the streaming interface handed out: each piece, and how it ended.
struct Streamed {
    LzxResult result;
    std::vector<std::pair<std::uint64_t, std::string>> pieces;  // offset, bytes
    std::string bytes;                                          // all pieces in order
};

Streamed stream(std::string_view compressed, int windowBits, std::uint64_t resetBytes,
                std::uint64_t length, std::uint64_t fromOutput = 0, std::uint64_t fromInput = 0) {
    auto decoder = std::make_unique<LzxDecoder>();
    Streamed s;
    s.result = lzxConfigure(*decoder, windowBits, resetBytes, length);
    if (!s.result.ok())
        return s;
    LzxMemoryInput input(reinterpret_cast<const std::uint8_t*>(compressed.data()),
                         compressed.size());
    lzxStartAt(*decoder, input, fromOutput, fromInput);
    LzxPiece piece;
    for (;;) {
        s.result = lzxNextPiece(*decoder, piece);
        if (!s.result.ok() || piece.size == 0)
            break;
        s.pieces.emplace_back(piece.offset,
                              std::string(reinterpret_cast<const char*>(piece.data), piece.size));
        s.bytes += s.pieces.back().second;
    }
    return s;
}

// Decodes what the encoder made with the same window and reset interval and expects its bytes.
void expectRoundTrip(const LzxStream& s, const LzxOptions& options) {
    ASSERT_TRUE(s.ok) << s.error;
    const std::uint64_t resetFrames = options.resetIntervalFrames
                                          ? options.resetIntervalFrames
                                          : (1u << options.windowBits) / kLzxFrameSize;
    Decoded d =
        decode(s.compressed, options.windowBits, resetFrames * kLzxFrameSize, s.decoded.size());
    ASSERT_EQ(d.result, kLzxOk);
    ASSERT_EQ(d.produced, s.decoded.size());
    ASSERT_TRUE(d.bytes == s.decoded)
        << "first difference at "
        << std::mismatch(d.bytes.begin(), d.bytes.end(), s.decoded.begin()).first - d.bytes.begin();
}

std::string text(std::size_t size, unsigned seed) {
    static const char* words[] = {"lorem ",       "ipsum ", "<td>",  "</td>\n",
                                  "dolor ",       "sit ",   "amet ", "<a href=\"page.html\">",
                                  "\xE8\x01\x02", "x"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        s += words[rng() % 10];
        if (rng() % 5 == 0)
            s += std::to_string(rng());
    }
    s.resize(size);
    return s;
}

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

LzxBlock block(LzxBlockType type, std::vector<LzxToken> tokens = {}) {
    LzxBlock b;
    b.type = type;
    b.tokens = std::move(tokens);
    return b;
}

void append(std::vector<LzxToken>& to, const std::vector<LzxToken>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

TEST(LzxDecoder, EveryBlockTypeWithLiteralsMatchesAndRepeats) {
    std::vector<LzxBlock> script;
    auto verbatim = block(LzxBlockType::Verbatim, lzxLiterals("abcdefghijklmnopqrstuvwxyz"));
    append(verbatim.tokens, {LzxToken::match(3, 26), LzxToken::match(3, 10), LzxToken::repeat(3, 1),
                             LzxToken::repeat(2, 0), LzxToken::repeat(4, 1), LzxToken::match(2, 3),
                             LzxToken::repeat(3, 2)});
    script.push_back(verbatim);
    auto aligned = block(LzxBlockType::AlignedOffset, lzxLiterals(text(5000, 1)));
    for (std::uint32_t off : {14u, 15u, 16u, 100u, 1000u, 2047u, 4999u, 3u, 7u, 1u}) {
        aligned.tokens.push_back(LzxToken::match(20, off));
    }
    script.push_back(aligned);
    // An uncompressed block sets R0..R2 for the blocks after it.
    auto raw = block(LzxBlockType::Uncompressed, lzxLiterals("0123456789"));
    raw.repeatedOffsets = std::array<std::uint32_t, 3>{5, 7, 9};
    script.push_back(raw);
    script.push_back(block(LzxBlockType::Verbatim, {LzxToken::repeat(3, 0), LzxToken::repeat(2, 1),
                                                    LzxToken::repeat(2, 2)}));
    LzxOptions options;
    expectRoundTrip(encodeLzx(script, options), options);
    options.plainDeltasOnly = true;
    options.allowEmptyTrees = true;
    expectRoundTrip(encodeLzx(script, options), options);
}

// After an uncompressed block of odd length a pad byte follows, and the next block's header
// starts at the word after it.
TEST(LzxDecoder, OddUncompressedBlockFollowedByOtherBlocks) {
    std::vector<LzxBlock> script;
    script.push_back(block(LzxBlockType::Uncompressed, lzxLiterals("odd length!")));
    auto v = block(LzxBlockType::Verbatim, lzxLiterals("after the pad byte "));
    v.tokens.push_back(LzxToken::match(10, 19));
    script.push_back(v);
    script.push_back(block(LzxBlockType::Uncompressed, lzxLiterals("seven b")));
    script.push_back(block(LzxBlockType::Uncompressed, lzxLiterals("another odd one")));
    auto a = block(LzxBlockType::AlignedOffset, lzxLiterals("aligned "));
    a.tokens.push_back(LzxToken::match(15, 30));
    script.push_back(a);
    LzxOptions options;
    expectRoundTrip(encodeLzx(script, options), options);
}

// Uncompressed blocks that start on a word boundary skip a whole padding word first.
TEST(LzxDecoder, UncompressedBlockAfterAlignedBits) {
    for (std::size_t lead = 0; lead < 6; ++lead) {
        std::vector<LzxBlock> script;
        script.push_back(block(LzxBlockType::Verbatim, lzxLiterals(std::string(lead + 1, 'q'))));
        script.push_back(block(LzxBlockType::Uncompressed, lzxLiterals(noise(33 + lead, 3))));
        script.push_back(block(LzxBlockType::Verbatim, lzxLiterals("tail")));
        LzxOptions options;
        expectRoundTrip(encodeLzx(script, options), options);
    }
}

// Uncompressed blocks all through a stream several input buffers long: some header is read just
// after the buffer has been refilled, while the bit reader still holds bits of the bytes before
// the refill. The header's padding is found from those bits, so those bytes must still be there.
TEST(LzxDecoder, UncompressedBlocksAcrossInputRefills) {
    std::mt19937 rng(11);
    std::vector<LzxBlock> script;
    std::size_t size = 0;
    for (unsigned i = 0; size < 900'000; ++i) {
        const std::size_t lead = 1 + rng() % 3000;
        const std::size_t raw = 1 + rng() % 200;
        // Each verbatim block begins by repeating the offset the raw block before it set.
        auto verbatim = block(LzxBlockType::Verbatim);
        if (i > 0)
            verbatim.tokens.push_back(LzxToken::repeat(3, 0));
        append(verbatim.tokens, lzxLiterals(noise(lead, i)));
        script.push_back(verbatim);
        auto rawBlock = block(LzxBlockType::Uncompressed, lzxLiterals(noise(raw, i + 7)));
        rawBlock.repeatedOffsets = std::array<std::uint32_t, 3>{1 + i % 500, 2, 3};
        script.push_back(rawBlock);
        size += lead + raw + 3;
    }
    LzxOptions options;
    options.windowBits = 21;
    options.resetIntervalFrames = 64;
    const LzxStream s = encodeLzx(script, options);
    ASSERT_TRUE(s.ok) << s.error;
    const Streamed all = stream(s.compressed, 21, 64 * kLzxFrameSize, s.decoded.size());
    EXPECT_TRUE(all.result.ok()) << all.result.reason();
    EXPECT_TRUE(all.bytes == s.decoded);
}

// A 32 KiB window resetting every frame: blocks end exactly where the window fills, and the
// decoder must reset there.
TEST(LzxDecoder, WindowFillsExactlyAtABlockBoundary) {
    const std::string t = text(40000, 5);
    std::vector<LzxBlock> script;
    auto first = block(LzxBlockType::Verbatim, lzxLiterals(t.substr(0, 1000)));
    std::size_t size = 1000;
    while (size + 257 <= 32768) {
        first.tokens.push_back(LzxToken::match(257, 999));
        size += 257;
    }
    append(first.tokens, lzxLiterals(t.substr(0, 32768 - size)));
    script.push_back(first);
    script.push_back(block(LzxBlockType::Uncompressed, lzxLiterals(t.substr(0, 32768))));
    auto last = block(LzxBlockType::AlignedOffset, lzxLiterals(t.substr(100, 700)));
    last.tokens.push_back(LzxToken::match(200, 650));
    script.push_back(last);
    LzxOptions options;
    options.windowBits = 15;
    const LzxStream s = encodeLzx(script, options);
    EXPECT_EQ(s.resets, 2u);
    expectRoundTrip(s, options);
}

// A 32 KiB window with resets every 128 KiB: one block runs on around the window's end, with
// matches whose source lies before the wrap. Resetting at the window would be wrong here.
TEST(LzxDecoder, BlockContinuesPastTheWindowEndWhenTheResetIntervalIsLonger) {
    const std::string t = text(90000, 9);
    auto b = block(LzxBlockType::Verbatim, lzxLiterals(t.substr(0, 33000)));
    for (int i = 0; i < 40; ++i)
        b.tokens.push_back(LzxToken::match(257, 20000 + 13 * i));
    append(b.tokens, lzxLiterals(t.substr(33000, 50000)));
    LzxOptions options;
    options.windowBits = 15;
    options.resetIntervalFrames = 4;
    const LzxStream s = encodeLzx({b}, options);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.blocks, 1u);
    expectRoundTrip(s, options);

    // Blocks that start where the window wraps: a decoder that reset there (instead of at the
    // reset interval) would read the next block's tree differences against zeros.
    std::vector<LzxBlock> script;
    for (int k = 0; k < 3; ++k) {
        auto next = block(LzxBlockType::Verbatim, lzxLiterals(t.substr(k * 1000, 32768 - 2570)));
        for (int i = 0; i < 10; ++i)
            next.tokens.push_back(LzxToken::match(257, 30000 - i));
        script.push_back(next);
    }
    const LzxStream wraps = encodeLzx(script, options);
    expectRoundTrip(wraps, options);
    Decoded windowRule = decode(wraps.compressed, 15, 0, wraps.decoded.size());
    EXPECT_FALSE(windowRule.result == kLzxOk && windowRule.bytes == wraps.decoded);
}

TEST(LzxDecoder, ResetIntervalsShorterAndLongerThanTheWindow) {
    const std::string data = text(300000, 11) + noise(20000, 4) + text(100000, 12);
    for (auto [bits, frames] : {std::pair{16, 1}, std::pair{16, 4}, std::pair{17, 2},
                                std::pair{15, 3}, std::pair{18, 8}}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, reset every " << frames);
        LzxOptions options;
        options.windowBits = bits;
        options.resetIntervalFrames = static_cast<std::uint32_t>(frames);
        options.greedyBlockSize = 20000;
        options.greedyBlockTypes = {LzxBlockType::Verbatim, LzxBlockType::AlignedOffset,
                                    LzxBlockType::Uncompressed};
        expectRoundTrip(encodeGreedy(data, options), options);
    }
}

TEST(LzxDecoder, LargestWindowWithFarMatches) {
    const std::string t = text(1 << 20, 21);
    auto b = block(LzxBlockType::AlignedOffset, lzxLiterals(t));
    append(b.tokens, lzxLiterals(noise(1100000, 8)));
    for (std::uint32_t off : {2000000u, (1u << 21) - 3, 1500000u, 1048576u}) {
        b.tokens.push_back(LzxToken::match(257, off));
    }
    LzxOptions options;
    options.windowBits = 21;
    options.resetIntervalFrames = 128;  // no reset cuts the history short
    expectRoundTrip(encodeLzx({b}, options), options);
    b.type = LzxBlockType::Verbatim;
    expectRoundTrip(encodeLzx({b}, options), options);
}

TEST(LzxDecoder, LongAndOverlappingMatches) {
    for (std::uint32_t off : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 100u, 300u}) {
        auto b = block(LzxBlockType::Verbatim, lzxLiterals(noise(400, off)));
        for (std::uint32_t len : {257u, 2u, 3u, 8u, 9u, 16u, 17u, 33u, 256u, 255u}) {
            b.tokens.push_back(LzxToken::match(len, off));
        }
        LzxOptions options;
        expectRoundTrip(encodeLzx({b}, options), options);
    }
}

TEST(LzxDecoder, E8TranslationOnAndOff) {
    std::string data = text(200000, 3);
    for (std::size_t i = 0; i + 5 < data.size(); i += 97)
        data[i] = '\xE8';
    for (std::uint32_t fileSize : {0u, 12000000u, 65536u}) {
        for (std::uint32_t frames : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << "size " << fileSize << ", reset " << frames);
            LzxOptions options;
            options.e8FileSize = fileSize;
            options.resetIntervalFrames = frames;
            const LzxStream s = encodeGreedy(data, options);
            ASSERT_TRUE(s.ok) << s.error;
            EXPECT_EQ(s.decoded, data);
            expectRoundTrip(s, options);
        }
    }
    // With the header bit 0 nothing is translated, whatever the bytes.
    LzxOptions off;
    auto b =
        block(LzxBlockType::Verbatim, lzxLiterals(std::string(100, '\xE8') + "\x01\x02\x03\x04"));
    const LzxStream s = encodeLzx({b}, off);
    expectRoundTrip(s, off);
    EXPECT_EQ(s.decoded.substr(0, 100), std::string(100, '\xE8'));
}

TEST(LzxDecoder, ZeroLengthOutputAndWindowBits) {
    LzxDecoder d;
    EXPECT_EQ(lzxInit(d, 14, 0), kLzxFormatError);
    EXPECT_EQ(lzxInit(d, 22, 0), kLzxFormatError);
    EXPECT_EQ(lzxInit(d, 21, 0), kLzxOk);
    EXPECT_EQ(d.positionSlots, 50u);
    EXPECT_EQ(d.mainElements, 656u);
    EXPECT_EQ(lzxInit(d, 20, 0), kLzxOk);
    EXPECT_EQ(d.positionSlots, 42u);
    EXPECT_EQ(lzxInit(d, 15, 0), kLzxOk);
    EXPECT_EQ(d.positionSlots, 30u);
    LzxOutput out;
    EXPECT_EQ(lzxDecompress(d, nullptr, 0, out, 0), kLzxOk);
    EXPECT_EQ(d.produced, 0u);
}

// A stream cut short: the frames before the cut are served, nothing after it, and the failure
// sticks.
TEST(LzxDecoder, TruncatedStreamKeepsOnlyWholeGoodFrames) {
    LzxOptions options;
    options.padFinalFrame = false;
    const std::string data = text(200000, 17);
    const LzxStream s = encodeGreedy(data, options);
    ASSERT_TRUE(s.ok);
    for (std::size_t cut : {s.compressed.size() / 2, s.compressed.size() - 40, std::size_t{10}}) {
        SCOPED_TRACE(cut);
        auto decoder = std::make_unique<LzxDecoder>();
        lzxInit(*decoder, options.windowBits, 0);
        LzxOutput out;
        const int rc =
            lzxDecompress(*decoder, reinterpret_cast<const std::uint8_t*>(s.compressed.data()), cut,
                          out, data.size());
        EXPECT_EQ(rc, kLzxDataError);
        EXPECT_LT(decoder->produced, data.size());
        EXPECT_EQ(decoder->produced % kLzxFrameSize, 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), decoder->produced),
                  data.substr(0, decoder->produced));
        EXPECT_EQ(
            lzxDecompress(*decoder, reinterpret_cast<const std::uint8_t*>(s.compressed.data()),
                          s.compressed.size(), out, data.size()),
            kLzxDataError);
    }
}

// Noise is not a stream: the decoder says so, quickly, without reading or writing outside its
// buffers; and a stream cannot make it allocate much more than it produces.
TEST(LzxDecoder, NoiseFailsAndClaimsDoNotAllocate) {
    for (unsigned seed = 0; seed < 200; ++seed) {
        const std::string input = noise(64 + seed * 7, seed);
        Decoded d = decode(input, 15 + seed % 7, (seed % 3) * kLzxFrameSize, 1u << 30);
        EXPECT_NE(d.result, kLzxOk);
        EXPECT_LT(d.capacity, std::size_t{8} << 20);
    }
}

// Matches that reach before the start of the data are a format error.
TEST(LzxDecoder, MatchBeforeTheStartIsAFormatError) {
    // An uncompressed block sets R0 = 3, then a verbatim block repeats it.
    auto b = block(LzxBlockType::Uncompressed, lzxLiterals("abc"));
    b.repeatedOffsets = std::array<std::uint32_t, 3>{3, 1, 1};
    auto w = block(LzxBlockType::Verbatim, {LzxToken::repeat(3, 0)});
    LzxOptions options;
    const LzxStream s = encodeLzx({b, w}, options);
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_EQ(s.decoded, "abcabc");
    // Same stream with R0 patched to 1000 in the uncompressed block.
    std::string patched = s.compressed;
    const std::size_t r0 = patched.find(std::string("\x03\x00\x00\x00\x01\x00\x00\x00", 8));
    ASSERT_NE(r0, std::string::npos);
    patched[r0] = '\xE8';
    patched[r0 + 1] = '\x03';
    Decoded d = decode(patched, 16, 0, 6);
    EXPECT_EQ(d.result, kLzxFormatError);
    EXPECT_EQ(d.produced, 0u);
}

// The streaming interface hands out one reset interval at a time, and any interval decodes the
// same from its own reset point (where the reset table says its bits begin) as on the way there.
TEST(LzxStreaming, PiecesAreResetIntervalsThatDecodeAloneToTheSameBytes) {
    std::string data = text(400000, 31) + noise(30000, 32) + text(70000, 33);
    for (std::size_t i = 0; i + 5 < data.size(); i += 1013)
        data[i] = '\xE8';
    for (std::uint32_t e8 : {0u, 3000000u}) {
        SCOPED_TRACE(e8);
        LzxOptions options;
        options.resetIntervalFrames = 2;
        options.e8FileSize = e8;
        options.greedyBlockTypes = {LzxBlockType::Verbatim, LzxBlockType::AlignedOffset,
                                    LzxBlockType::Uncompressed};
        const LzxStream s = encodeGreedy(data, options);
        ASSERT_TRUE(s.ok) << s.error;
        const Streamed all = stream(s.compressed, 16, 65536, data.size());
        ASSERT_TRUE(all.result.ok()) << all.result.reason();
        ASSERT_TRUE(all.bytes == data);
        ASSERT_EQ(all.pieces.size(), (data.size() + 65535) / 65536);
        for (std::size_t k = 0; k < all.pieces.size(); ++k) {
            EXPECT_EQ(all.pieces[k].first, k * 65536);
            const Streamed alone =
                stream(s.compressed, 16, 65536, data.size(), k * 65536, s.frameOffsets[2 * k]);
            ASSERT_TRUE(alone.result.ok()) << k << ": " << alone.result.reason();
            ASSERT_FALSE(alone.pieces.empty());
            EXPECT_EQ(alone.pieces[0], all.pieces[k]) << k;
        }
    }
}

// An interval much longer than the window is handed out in parts, each a window's length behind
// the decoding position, with E8 translation undone on frames no match can reach any more.
TEST(LzxStreaming, LongIntervalsComeOutAWindowBehind) {
    std::string data = text(1200000, 41);
    for (std::size_t i = 0; i + 5 < data.size(); i += 301)
        data[i] = '\xE8';
    LzxOptions options;
    options.windowBits = 15;
    options.resetIntervalFrames = 32;  // 1 MiB, 32 times the window
    options.e8FileSize = 20000000;
    const LzxStream s = encodeGreedy(data, options);
    ASSERT_TRUE(s.ok) << s.error;
    const Streamed all = stream(s.compressed, 15, 32 * 32768, data.size());
    ASSERT_TRUE(all.result.ok()) << all.result.reason();
    EXPECT_TRUE(all.bytes == data);
    EXPECT_GT(all.pieces.size(), 4u);
    std::uint64_t at = 0;
    for (const auto& [offset, bytes] : all.pieces) {
        EXPECT_EQ(offset, at);
        EXPECT_LE(bytes.size(), 32768u + kLzxSlideBytes);
        at += bytes.size();
    }
}

// More input than one chunk of the decoder's input buffer, and an input that stops delivering.
TEST(LzxStreaming, InputIsReadInChunksAndAFailedReadEndsTheStream) {
    const std::string data = noise(400000, 51) + text(300000, 52);
    LzxOptions options;
    options.resetIntervalFrames = 4;
    options.greedyBlockTypes = {LzxBlockType::Verbatim, LzxBlockType::Uncompressed};
    const LzxStream s = encodeGreedy(data, options);
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_GT(s.compressed.size(), 3 * kLzxInputChunk);
    const Streamed all = stream(s.compressed, 16, 4 * 32768, data.size());
    ASSERT_TRUE(all.result.ok()) << all.result.reason();
    EXPECT_TRUE(all.bytes == data);

    class Failing final : public LzxInput {
    public:
        explicit Failing(const std::string& bytes) : bytes_(bytes) {}
        std::uint64_t size() const override { return bytes_.size(); }
        bool read(std::uint64_t offset, std::uint8_t* to, std::size_t count) override {
            if (offset + count > 200000)
                return false;
            std::memcpy(to, bytes_.data() + offset, count);
            return true;
        }

    private:
        const std::string& bytes_;
    } failing(s.compressed);
    auto decoder = std::make_unique<LzxDecoder>();
    ASSERT_TRUE(lzxConfigure(*decoder, 16, 4 * 32768, data.size()).ok());
    lzxStartAt(*decoder, failing, 0, 0);
    LzxPiece piece;
    std::string got;
    LzxResult r;
    while ((r = lzxNextPiece(*decoder, piece)).ok() && piece.size)
        got.append(reinterpret_cast<const char*>(piece.data), piece.size);
    EXPECT_EQ(r.status(), LzxStatus::truncated);
    EXPECT_EQ(r.code(), kLzxDataError);
    EXPECT_LT(got.size(), data.size());
    EXPECT_TRUE(got == data.substr(0, got.size()));
}

// A failure is a value: its status, the older code, and a reason with the numbers; it sticks
// until the decoder starts again at a reset point.
TEST(LzxStreaming, FailuresAreStickyAndSayWhatWentWrong) {
    // A match offset patched beyond the 32 KiB window.
    auto b = block(LzxBlockType::Uncompressed, lzxLiterals("abc"));
    b.repeatedOffsets = std::array<std::uint32_t, 3>{3, 1, 1};
    auto w = block(LzxBlockType::Verbatim, {LzxToken::repeat(3, 0)});
    LzxOptions options;
    options.windowBits = 15;
    const LzxStream s = encodeLzx({b, w}, options);
    ASSERT_TRUE(s.ok) << s.error;
    std::string far = s.compressed;
    const std::size_t r0 = far.find(std::string("\x03\x00\x00\x00\x01\x00\x00\x00", 8));
    ASSERT_NE(r0, std::string::npos);
    far[r0] = '\x70';
    far[r0 + 1] = '\x11';
    far[r0 + 2] = '\x01';  // 70000
    auto decoder = std::make_unique<LzxDecoder>();
    ASSERT_TRUE(lzxConfigure(*decoder, 15, 0, 6).ok());
    LzxMemoryInput input(reinterpret_cast<const std::uint8_t*>(far.data()), far.size());
    lzxStartAt(*decoder, input, 0, 0);
    LzxPiece piece;
    const LzxResult r = lzxNextPiece(*decoder, piece);
    EXPECT_EQ(r.status(), LzxStatus::formatError);
    EXPECT_EQ(r.code(), kLzxFormatError);
    EXPECT_EQ(r.reason(), "frame 0 at output 3: match offset 70000 beyond window 32768");
    EXPECT_EQ(piece.size, 0u);
    EXPECT_EQ(lzxNextPiece(*decoder, piece).reason(), r.reason());
    // Starting again clears it; the good stream then decodes.
    LzxMemoryInput good(reinterpret_cast<const std::uint8_t*>(s.compressed.data()),
                        s.compressed.size());
    EXPECT_TRUE(lzxStartAt(*decoder, good, 0, 0).ok());
    ASSERT_TRUE(lzxNextPiece(*decoder, piece).ok());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(piece.data), piece.size), "abcabc");

    // A block type that does not exist, and a stream cut short.
    std::string badType = s.compressed;
    badType[1] = static_cast<char>(badType[1] | 0x70);  // header bit 0, type 111
    Streamed t = stream(badType, 15, 0, 6);
    EXPECT_EQ(t.result.status(), LzxStatus::dataError);
    EXPECT_EQ(t.result.reason(), "frame 0 at output 0: block type 7 is none of 1, 2, 3");
    Streamed cut = stream(s.compressed.substr(0, 4), 15, 0, 6);
    EXPECT_EQ(cut.result.status(), LzxStatus::truncated);
    EXPECT_EQ(cut.result.reason(),
              "frame 0 at output 0: uncompressed block header at input byte 4 runs past the "
              "input's end at 4");
    EXPECT_EQ(LzxResult().code(), kLzxOk);
    EXPECT_EQ(LzxResult(LzxStatus::noMemory, "x").code(), kLzxNoMemory);

    auto unconfigured = std::make_unique<LzxDecoder>();
    EXPECT_EQ(lzxConfigure(*unconfigured, 22, 0, 10).status(), LzxStatus::formatError);
    EXPECT_EQ(lzxStartAt(*unconfigured, good, 0, 0).status(), LzxStatus::formatError);
    EXPECT_EQ(lzxNextPiece(*unconfigured, piece).status(), LzxStatus::formatError);
}

// Every reset point must be a block boundary, and no match may reach back over one: otherwise an
// interval could not be decoded from its own start.
TEST(LzxStreaming, BlocksAndMatchesDoNotCrossResetPoints) {
    // One block (declared up to the end of its last frame), made for resets every 128 KiB, read
    // with resets every 64 KiB.
    const std::string t = text(100000, 61);
    LzxOptions options;
    options.resetIntervalFrames = 4;
    const LzxStream s = encodeLzx({block(LzxBlockType::Verbatim, lzxLiterals(t))}, options);
    ASSERT_TRUE(s.ok) << s.error;
    const Streamed longBlock = stream(s.compressed, 16, 65536, t.size());
    EXPECT_EQ(longBlock.result.status(), LzxStatus::dataError);
    EXPECT_EQ(longBlock.result.reason(),
              "frame 0 at output 0: block of 131072 bytes runs past the reset point at 65536");
    EXPECT_TRUE(stream(s.compressed, 16, 4 * 32768, t.size()).bytes == t);

    // After the reset at 32 KiB an uncompressed block sets R0 = 3; patched to 100, the repeat
    // after it reaches 97 bytes into the interval before.
    std::vector<LzxBlock> script;
    script.push_back(block(LzxBlockType::Verbatim, lzxLiterals(t.substr(0, 32768))));
    auto raw = block(LzxBlockType::Uncompressed, lzxLiterals("abc"));
    raw.repeatedOffsets = std::array<std::uint32_t, 3>{3, 1, 1};
    script.push_back(raw);
    script.push_back(block(LzxBlockType::Verbatim, {LzxToken::repeat(3, 0)}));
    LzxOptions everyFrame;
    everyFrame.resetIntervalFrames = 1;
    const LzxStream r = encodeLzx(script, everyFrame);
    ASSERT_TRUE(r.ok) << r.error;
    std::string patched = r.compressed;
    const std::size_t r0 = patched.find(std::string("\x03\x00\x00\x00\x01\x00\x00\x00", 8));
    ASSERT_NE(r0, std::string::npos);
    patched[r0] = 100;
    const Streamed reach = stream(patched, 16, 32768, r.decoded.size());
    EXPECT_EQ(reach.result.status(), LzxStatus::formatError);
    EXPECT_EQ(reach.result.reason(),
              "frame 1 at output 32771: match offset 100 reaches before the reset point at 32768 "
              "(3 bytes back)");
    EXPECT_EQ(reach.bytes, t.substr(0, 32768));  // the interval before is whole
}

}  // namespace
}  // namespace plovik::test
