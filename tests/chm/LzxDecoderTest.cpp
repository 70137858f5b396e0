// The decoder against streams made to order by the test encoder: every block type, the window
// and reset edges, E8 translation, and streams that are cut short or make no sense.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace plovik::test
