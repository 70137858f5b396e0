// Checks of the test-only CHM writer and LZX encoder against readers made by others: 7-Zip
// (7z/7zz), chmlib (extract_chmLib), Free Pascal (chmls, chmcmd). A check whose tool is not on
// PATH is skipped. Expected bytes come from the test's own script, never from a decoder of
// ours, so a fault in the writer cannot hide behind the same fault in the reader.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"
#include "support/chm/LzxEncoder.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // name without the leading '/' -> bytes

std::string findTool(std::initializer_list<const char*> names) {
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    for (const char* name : names) {
        std::stringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate.string();
        }
    }
    return {};
}

std::string sevenZip() {
    return findTool({"7z", "7zz", "7za"});
}

std::string shellArg(const fs::path& p) {
    return "'" + p.string() + "'";
}

struct ToolRun {
    int status = -1;
    std::string log;
    Files files;
};

Files readTree(const fs::path& root) {
    Files files;
    if (!fs::exists(root))
        return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = readFile(e.path());
    }
    return files;
}

// Writes the CHM, runs `command` (with {chm} and {out} replaced) and collects what it wrote.
ToolRun runOnChm(const std::string& chm, const std::string& command) {
    TempDir dir;
    const fs::path file = dir.path() / "t.chm";
    const fs::path out = dir.path() / "out";
    const fs::path log = dir.path() / "log";
    writeFile(file, chm);
    fs::create_directories(out);
    std::string cmd = command;
    for (auto [key, value] : {std::pair<std::string, std::string>{"{chm}", shellArg(file)},
                              std::pair<std::string, std::string>{"{out}", shellArg(out)}}) {
        for (std::size_t at; (at = cmd.find(key)) != std::string::npos;) {
            cmd.replace(at, key.size(), value);
        }
    }
    // Readers of the field can loop on hostile layouts (chmlib follows a chunk chain that
    // cycles forever): never let one hang the test.
    static const std::string limit = findTool({"timeout"});
    if (!limit.empty())
        cmd = shellArg(limit) + " -k 5 60 " + cmd;
    ToolRun run;
    run.status = std::system((cmd + " > " + shellArg(log) + " 2>&1 < /dev/null").c_str());
    run.log = readFile(log);
    run.files = readTree(out);
    return run;
}

ToolRun extract7z(const std::string& chm) {
    return runOnChm(chm, shellArg(sevenZip()) + " x -y -o{out} {chm}");
}

ToolRun extractChmlib(const std::string& chm) {
    return runOnChm(chm, shellArg(findTool({"extract_chmLib"})) + " {chm} {out}");
}

// chmlib prints "--> /name" for every entry it walks, in directory order.
std::vector<std::string> chmlibWalk(const ToolRun& run) {
    std::vector<std::string> names;
    std::stringstream lines(run.log);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("--> ", 0) == 0)
            names.push_back(line.substr(4));
    }
    return names;
}

#define REQUIRE_7Z()                             \
    do {                                         \
        if (sevenZip().empty())                  \
            GTEST_SKIP() << "7-Zip not on PATH"; \
    } while (0)
#define REQUIRE_TOOL(name)                          \
    do {                                            \
        if (findTool({name}).empty())               \
            GTEST_SKIP() << name << " not on PATH"; \
    } while (0)

// A script with the bytes it must decode to, worked out the plain LZ77 way.
struct Script {
    std::vector<LzxBlock> blocks;
    std::string expected;

    Script& block(LzxBlockType type) {
        blocks.push_back(LzxBlock{type, {}, std::nullopt});
        return *this;
    }
    Script& lit(std::string_view bytes) {
        for (char c : bytes) {
            blocks.back().tokens.push_back(LzxToken::literal(static_cast<std::uint8_t>(c)));
        }
        expected += bytes;
        return *this;
    }
    Script& match(std::uint32_t length, std::uint32_t offset) {
        blocks.back().tokens.push_back(LzxToken::match(length, offset));
        return copy(length, offset);
    }
    // `offset` is what the slot must hold at this point, worked out by hand.
    Script& repeat(std::uint32_t length, int slot, std::uint32_t offset) {
        blocks.back().tokens.push_back(LzxToken::repeat(length, slot));
        return copy(length, offset);
    }
    Script& copy(std::uint32_t length, std::uint32_t offset) {
        for (std::uint32_t i = 0; i < length; ++i) {
            expected.push_back(expected[expected.size() - offset]);
        }
        return *this;
    }
};

std::string pseudoText(std::size_t size, unsigned seed) {
    static const char* words[] = {"the ",   "window ", "frame ",  "<p>",   "</p>\n",
                                  "block ", "match ",  "offset ", "tree ", "<a href=\"x.htm\">"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        s += words[rng() % 10];
        if (rng() % 7 == 0)
            s += std::to_string(rng() % 100000);
    }
    s.resize(size);
    return s;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng());
    return s;
}

// The scripted stream as three files side by side (7-Zip refuses objects that overlap), as
// 7-Zip must extract them.
void expectScriptExtracts(const Script& script, const LzxOptions& options, bool with7z = true,
                          bool withChmlib = false) {
    LzxStream stream = encodeLzx(script.blocks, options);
    ASSERT_TRUE(stream.ok) << stream.error;
    ASSERT_EQ(stream.decoded, script.expected);

    ChmWriter w;
    w.compression().lzx = options;
    w.setLzxScript(script.blocks);
    const std::size_t n = script.expected.size();
    const std::size_t cut1 = n / 3, cut2 = n - n / 4;
    w.addCompressedEntry("/1.bin", 0, cut1);
    w.addCompressedEntry("/2.bin", cut1, cut2 - cut1);
    w.addCompressedEntry("/3.bin", cut2, n - cut2);
    const std::string chm = w.build();
    ASSERT_FALSE(chm.empty()) << w.error();

    if (with7z) {
        ToolRun run = extract7z(chm);
        EXPECT_EQ(run.status, 0) << run.log;
        ASSERT_EQ(run.files.size(), 3u) << run.log;
        EXPECT_TRUE(run.files["1.bin"] + run.files["2.bin"] + run.files["3.bin"] == script.expected)
            << "7-Zip decodes other bytes";
    }
    if (withChmlib && !findTool({"extract_chmLib"}).empty()) {
        ToolRun run = extractChmlib(chm);
        EXPECT_TRUE(run.files["1.bin"] + run.files["2.bin"] + run.files["3.bin"] == script.expected)
            << "chmlib decodes other bytes";
    }
}

// Greedy-compressed files in one CHM, extracted by 7-Zip (and by chmlib where it copes).
void expectFilesExtract(const Files& files, const LzxOptions& options, bool with7z,
                        bool withChmlib) {
    ChmWriter w;
    w.compression().lzx = options;
    for (const auto& [name, bytes] : files)
        w.addFile("/" + name, bytes);
    const std::string chm = w.build();
    ASSERT_FALSE(chm.empty()) << w.error();
    if (with7z) {
        ToolRun run = extract7z(chm);
        EXPECT_EQ(run.status, 0) << run.log;
        EXPECT_TRUE(run.files == files) << "7-Zip extracts other bytes\n" << run.log;
    }
    if (withChmlib && !findTool({"extract_chmLib"}).empty()) {
        EXPECT_TRUE(extractChmlib(chm).files == files) << "chmlib extracts other bytes";
    }
}

Files textFiles(std::size_t count, std::size_t baseSize, unsigned seed) {
    Files files;
    for (std::size_t i = 0; i < count; ++i) {
        files["page" + std::to_string(i) + ".htm"] =
            pseudoText(baseSize + i * 997, seed + static_cast<unsigned>(i));
    }
    return files;
}

// --- The encoder on its own. ---

TEST(LzxEncoder, E8TranslationRoundTripsAndStartsAgainAtResets) {
    std::string data = randomBytes(200000, 7);
    for (std::size_t i = 0; i + 5 < data.size(); i += 37) {
        data[i] = static_cast<char>(0xE8);  // calls with small targets, the usual case
        data[i + 3] = 0;
        data[i + 4] = 0;
    }
    for (std::uint64_t reset : {std::uint64_t{0}, std::uint64_t{65536}, std::uint64_t{32768}}) {
        const std::string translated = lzxE8Encode(data, 12000000, reset);
        EXPECT_NE(translated, data);
        EXPECT_EQ(lzxE8Decode(translated, 12000000, reset), data) << "reset " << reset;
    }
    EXPECT_EQ(lzxE8Encode(data, 0), data);

    // The same bytes just after a reset point translate as at the stream's start.
    const std::string frame = data.substr(0, 32768);
    const std::string twice = frame + frame;
    const std::string t = lzxE8Encode(twice, 12000000, 32768);
    EXPECT_EQ(t.substr(32768), t.substr(0, 32768));
    EXPECT_NE(lzxE8Encode(twice, 12000000, 0).substr(32768), t.substr(0, 32768));
}

TEST(LzxEncoder, RefusesScriptsThatMeanNothing) {
    auto fails = [](std::vector<LzxToken> tokens, LzxOptions options = {}) {
        return !encodeLzx({LzxBlock{LzxBlockType::Verbatim, std::move(tokens), std::nullopt}},
                          options)
                    .ok;
    };
    auto abc = lzxLiterals("abc");
    auto with = [&](LzxToken t) {
        auto v = abc;
        v.push_back(t);
        return v;
    };
    EXPECT_TRUE(fails(with(LzxToken::match(3, 4))));  // before the data
    EXPECT_TRUE(fails(with(LzxToken::match(1, 1))));
    EXPECT_TRUE(fails(with(LzxToken::match(258, 1))));
    EXPECT_TRUE(fails(with(LzxToken::repeat(2, 3))));
    LzxOptions tooSmall;
    tooSmall.windowBits = 14;
    EXPECT_TRUE(fails(abc, tooSmall));
    LzxOptions tooLarge;
    tooLarge.windowBits = 22;
    EXPECT_TRUE(fails(abc, tooLarge));

    // History ends at a reset point: a match may not reach over it.
    LzxOptions small;
    small.windowBits = 15;  // resets every 32 KiB
    auto frame = lzxLiterals(std::string(32768, 'z'));
    frame.push_back(LzxToken::match(2, 1));
    EXPECT_TRUE(fails(frame, small));
    frame.back() = LzxToken::literal('y');
    frame.push_back(LzxToken::match(2, 1));
    EXPECT_FALSE(fails(frame, small));
}

TEST(LzxEncoder, FramesBeginOnWordBoundariesAndTheLastFrameIsFilled) {
    LzxOptions options;
    options.greedyBlockTypes = {LzxBlockType::Verbatim, LzxBlockType::Uncompressed,
                                LzxBlockType::AlignedOffset};
    options.greedyBlockSize = 30001;
    const std::string data = pseudoText(150000, 3);
    LzxStream s = encodeGreedy(data, options);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.decoded, data);
    ASSERT_EQ(s.frameOffsets.size(), 5u);
    EXPECT_EQ(s.frameOffsets[0], 0u);
    for (std::size_t i = 1; i < s.frameOffsets.size(); ++i) {
        EXPECT_GT(s.frameOffsets[i], s.frameOffsets[i - 1]);
    }
    // A reset point begins a block at a word boundary (inside an uncompressed block a frame
    // may begin at any byte).
    EXPECT_EQ(s.frameOffsets[2] % 2, 0u);
    EXPECT_EQ(s.frameOffsets[4] % 2, 0u);
    EXPECT_EQ(s.compressed.size() % 2, 0u);
    EXPECT_EQ(s.resets, 2u);  // at 64 and 128 KiB

    // Without filler the stream stops with the data, so it is shorter.
    options.padFinalFrame = false;
    LzxStream bare = encodeGreedy(data, options);
    ASSERT_TRUE(bare.ok) << bare.error;
    EXPECT_LT(bare.compressed.size(), s.compressed.size());
}

// --- Streams read back by 7-Zip. ---

TEST(ChmWriter7z, EachBlockTypeWithLiteralsAndMatches) {
    REQUIRE_7Z();
    Script s;
    s.block(LzxBlockType::Verbatim).lit("abcdefgh").match(8, 8).match(5, 3);
    s.block(LzxBlockType::AlignedOffset).lit(pseudoText(3000, 1));
    // Offsets whose extra bits go through the aligned-offset tree, and small ones that don't.
    for (std::uint32_t off : {14u, 15u, 100u, 1000u, 2047u, 2999u, 3u, 7u})
        s.match(20, off);
    s.block(LzxBlockType::Uncompressed).lit("raw bytes, kept as they are");
    s.block(LzxBlockType::Verbatim).match(30, 3050).lit("end");
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, {}));
}

TEST(ChmWriter7z, RepeatedOffsetSlots) {
    REQUIRE_7Z();
    for (LzxBlockType type : {LzxBlockType::Verbatim, LzxBlockType::AlignedOffset}) {
        Script s;
        s.block(type).lit("abcdefghijklmnopqrstuvwxyz");
        s.match(3, 26);      // R = 26, 1, 1
        s.match(3, 10);      // R = 10, 26, 1
        s.repeat(3, 1, 26);  // R = 26, 10, 1
        s.repeat(2, 0, 26);  // unchanged
        s.repeat(4, 1, 10);  // R = 10, 26, 1
        s.match(2, 3);       // R = 3, 10, 26
        s.repeat(3, 2, 26);  // R = 26, 10, 3
        ASSERT_EQ(s.expected, "abcdefghijklmnopqrstuvwxyzabctuvghijkbctuctrst");
        // An uncompressed block sets R0..R2 for the blocks after it.
        s.block(LzxBlockType::Uncompressed).lit("0123456789");
        s.blocks.back().repeatedOffsets = std::array<std::uint32_t, 3>{5, 7, 9};
        s.block(type).repeat(3, 0, 5).repeat(2, 1, 7).repeat(2, 2, 9);
        ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, {}));
    }
}

TEST(ChmWriter7z, OddUncompressedBlockFollowedByOtherBlocks) {
    REQUIRE_7Z();
    Script s;
    s.block(LzxBlockType::Uncompressed).lit("odd length");  // 10: even
    s.lit("!");                                             // now 11: a pad byte follows
    s.block(LzxBlockType::Verbatim).lit("after the pad byte ").match(10, 19);
    s.block(LzxBlockType::Uncompressed).lit("seven b");
    s.block(LzxBlockType::Uncompressed).lit("another odd one");
    s.block(LzxBlockType::AlignedOffset).lit("aligned ").match(15, 30);
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, {}));
}

TEST(ChmWriter7z, WindowFillsExactlyAtBlockBoundary) {
    REQUIRE_7Z();
    // A 32 KiB window resetting every frame: every block ends where the window fills.
    Script s;
    const std::string text = pseudoText(40000, 5);
    s.block(LzxBlockType::Verbatim).lit(text.substr(0, 1000));
    for (int i = 0; i < 124; ++i)
        s.match(250, 1000 - i % 3);
    s.lit(text.substr(0, 32768 - s.expected.size()));
    ASSERT_EQ(s.expected.size(), 32768u);
    s.block(LzxBlockType::Uncompressed).lit(text.substr(0, 32768));
    s.block(LzxBlockType::AlignedOffset).lit(text.substr(100, 700)).match(200, 650);
    LzxOptions options;
    options.windowBits = 15;
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, options));
    EXPECT_EQ(encodeLzx(s.blocks, options).resets, 2u);
}

TEST(ChmWriter7z, BlockContinuesPastTheWindowEnd) {
    REQUIRE_7Z();
    // Resets every 4 frames: one verbatim block runs on around the window, with matches whose
    // source lies before the wrap. After a wrap 7-Zip decodes offsets of window size - 3 (the
    // largest the format has) wrongly, so 7-Zip gets one less and chmlib, which only takes
    // 64 KiB windows, the largest.
    for (int bits : {15, 16}) {
        const std::uint32_t window = 1u << bits;
        const std::uint32_t far = bits == 15 ? window - 4 : window - 3;
        Script s;
        const std::string text = pseudoText(2 * window + 30000, 9);
        s.block(LzxBlockType::Verbatim).lit(text.substr(0, window + 300));
        s.match(257, window - 3000).match(257, far).lit(text.substr(window, 20000));
        s.match(200, window - 700).lit(text.substr(2 * window, 20000)).match(100, far);
        LzxOptions options;
        options.windowBits = bits;
        options.resetIntervalFrames = 4 * window / 32768;
        LzxStream stream = encodeLzx(s.blocks, options);
        ASSERT_TRUE(stream.ok) << stream.error;
        EXPECT_EQ(stream.blocks, 1u);
        EXPECT_EQ(stream.resets, 0u);
        ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, options, bits == 15, bits == 16));
    }
}

TEST(ChmWriter7z, LongMatchesAndMatchesOverFrameEdges) {
    REQUIRE_7Z();
    Script s;
    s.block(LzxBlockType::Verbatim).lit("xy");
    // Lengths around the length tree's start (9) and its end (257).
    for (std::uint32_t len : {2u, 8u, 9u, 10u, 256u, 257u})
        s.match(len, 1).repeat(len, 0, 1);
    s.lit(pseudoText(32768 - 10 - s.expected.size(), 2));
    s.match(257, 2);  // runs over the first frame edge: split by the encoder
    s.lit(pseudoText(32768 - 1 - (s.expected.size() - 32768), 4));
    s.match(100, 50);  // one byte before the second edge: first byte goes literally
    s.block(LzxBlockType::AlignedOffset).lit("aligned").match(257, 20000).repeat(257, 0, 20000);
    LzxOptions options;
    options.windowBits = 17;  // no reset at 64 KiB, where the last split falls
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, options));
}

TEST(ChmWriter7z, E8TranslationOnAndOff) {
    REQUIRE_7Z();
    // Code-like bytes: calls (E8) with nearby targets, across several reset intervals.
    std::string code = pseudoText(300000, 11);
    std::mt19937 rng(4);
    for (std::size_t i = 0; i + 5 < code.size(); i += 20 + rng() % 40) {
        code[i] = static_cast<char>(0xE8);
        code[i + 1] = static_cast<char>(rng());
        code[i + 2] = static_cast<char>(rng() % 8);
        code[i + 3] = 0;
        code[i + 4] = 0;
    }
    Files files = {{"code.bin", code}, {"page.htm", pseudoText(5000, 1)}};
    LzxOptions off;
    ASSERT_NO_FATAL_FAILURE(expectFilesExtract(files, off, true, true));
    LzxOptions on;
    on.e8FileSize = 12000000;
    ASSERT_NO_FATAL_FAILURE(expectFilesExtract(files, on, true, true));
    LzxOptions onReset1;
    onReset1.e8FileSize = 400000;
    onReset1.resetIntervalFrames = 1;
    ASSERT_NO_FATAL_FAILURE(expectFilesExtract(files, onReset1, true, true));

    // E8 bytes in a stream without the header bit are never translated.
    Script s;
    s.block(LzxBlockType::Verbatim).lit(code.substr(0, 40000));
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, off));
}

TEST(ChmWriter7z, LargestWindowWithFarMatches) {
    REQUIRE_7Z();
    Script s;
    const std::string noise = randomBytes(1200000, 21);
    s.block(LzxBlockType::Verbatim).lit(noise);
    // Offsets beyond 1 MiB need the position slots only a 2 MiB window has.
    s.match(257, 1100000).repeat(257, 0, 1100000).match(100, 2000).repeat(50, 1, 1100000);
    s.block(LzxBlockType::AlignedOffset).match(257, 1150000).lit("end");
    LzxOptions options;
    options.windowBits = 21;
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(s, options));
    options.windowBits = 20;
    EXPECT_FALSE(encodeLzx(s.blocks, options).ok);  // those offsets exceed a 1 MiB window

    LzxOptions greedy;
    greedy.windowBits = 21;
    greedy.greedyBlockTypes = {LzxBlockType::AlignedOffset, LzxBlockType::Verbatim};
    greedy.greedyBlockSize = 100000;
    ASSERT_NO_FATAL_FAILURE(expectFilesExtract(textFiles(8, 200000, 30), greedy, true, false));
}

TEST(ChmWriter7z, WindowSizesAndResetIntervals) {
    REQUIRE_7Z();
    const Files files = textFiles(12, 20000, 40);
    struct Case {
        int bits;
        std::uint32_t reset;
    };
    // 7-Zip takes only reset intervals that are powers of two; chmlib only 64 KiB windows.
    for (Case c : {Case{15, 0}, Case{16, 1}, Case{16, 4}, Case{17, 2}, Case{15, 4}, Case{18, 0},
                   Case{19, 8}, Case{16, 3}, Case{16, 6}}) {
        LzxOptions options;
        options.windowBits = c.bits;
        options.resetIntervalFrames = c.reset;
        options.greedyBlockTypes = {LzxBlockType::Verbatim, LzxBlockType::AlignedOffset,
                                    LzxBlockType::Uncompressed};
        options.greedyBlockSize = 25000;
        SCOPED_TRACE("window bits " + std::to_string(c.bits) + ", reset " +
                     std::to_string(c.reset));
        const bool powerOfTwo = (c.reset & (c.reset - 1)) == 0;
        ASSERT_NO_FATAL_FAILURE(expectFilesExtract(files, options, powerOfTwo, c.bits == 16));
    }
}

TEST(ChmWriter7z, TreeCodingVariants) {
    REQUIRE_7Z();
    const Files files = textFiles(6, 15000, 50);
    LzxOptions plain;
    plain.plainDeltasOnly = true;
    ASSERT_NO_FATAL_FAILURE(expectFilesExtract(files, plain, true, true));
    // Blocks without long matches or large offsets then send all-zero trees. 7-Zip takes an
    // empty length tree but refuses an empty aligned-offset tree; chmlib takes both.
    LzxOptions empty;
    empty.allowEmptyTrees = true;
    Script verbatim;
    verbatim.block(LzxBlockType::Verbatim).lit("short matches only, ").match(3, 5).match(4, 10);
    verbatim.block(LzxBlockType::Uncompressed).lit(std::string(40000, 'u'));
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(verbatim, empty, true, true));
    Script aligned;
    aligned.block(LzxBlockType::AlignedOffset).lit("short matches only, ").match(3, 5);
    aligned.block(LzxBlockType::Uncompressed).lit(std::string(40000, 'u'));
    ASSERT_NO_FATAL_FAILURE(expectScriptExtracts(aligned, empty, false, true));
}

TEST(ChmWriter7z, ZeroLengthObjectsAndLongNames) {
    REQUIRE_7Z();
    ChmWriter w;
    const std::string name128 = "/" + std::string(127, 'm');  // length needs two bytes
    const std::string name255 = "/" + std::string(250, 'n') + ".htm";
    w.addFile("/empty.htm", "");
    w.addFile("/empty-raw.bin", "", ChmWriter::Section::Uncompressed);
    w.addFile(name128, "128");
    w.addFile(name255, "a name of 255 bytes");
    w.addFile("/raw.bin", "stored plainly", ChmWriter::Section::Uncompressed);
    w.addFile("/z.htm", pseudoText(50000, 60));
    const std::string chm = w.build();
    ASSERT_FALSE(chm.empty()) << w.error();
    ASSERT_EQ(name255.size(), 255u);
    const Files expected = {{"empty.htm", ""},
                            {"empty-raw.bin", ""},
                            {name128.substr(1), "128"},
                            {name255.substr(1), "a name of 255 bytes"},
                            {"raw.bin", "stored plainly"},
                            {"z.htm", pseudoText(50000, 60)}};
    ToolRun run = extract7z(chm);
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_TRUE(run.files == expected) << run.log;
    if (!findTool({"extract_chmLib"}).empty()) {
        EXPECT_TRUE(extractChmlib(chm).files == expected);
    }
}

TEST(ChmWriter7z, HostileVariantsReachTheFile) {
    REQUIRE_7Z();
    REQUIRE_TOOL("extract_chmLib");
    const std::string second = pseudoText(200000, 81);
    auto base = [&]() {
        ChmWriter w;
        w.addFile("/first.htm", pseudoText(1000, 80));
        w.addFile("/second.htm", second);
        w.addFile("/raw.bin", "raw", ChmWriter::Section::Uncompressed);
        return w;
    };
    // Duplicate names and entries pointing nowhere are written as asked.
    ChmWriter dup = base();
    dup.addFile("/dup.htm", "one");
    dup.addFile("/dup.htm", "two");
    dup.addRawEntry("/ghost.htm", 1, 1000000000, 5);
    std::vector<std::string> walked = chmlibWalk(extractChmlib(dup.build()));
    EXPECT_EQ(std::count(walked.begin(), walked.end(), "/dup.htm"), 2);
    EXPECT_EQ(std::count(walked.begin(), walked.end(), "/ghost.htm"), 1);

    // Without a usable compressed section only section 0 can be read.
    std::vector<ChmWriter> broken;
    broken.push_back(base());
    broken.back().omitObject(ChmWriter::resetTableName());
    broken.push_back(base());
    broken.back().compression().windowSizeField = 3;
    broken.push_back(base());
    broken.back().compression().signature = "LZXX";
    broken.push_back(base());
    broken.back().setObject(ChmWriter::controlDataName(), std::string("\x06\0\0\0LZXC", 8));
    for (ChmWriter& w : broken) {
        const std::string chm = w.build();
        ASSERT_FALSE(chm.empty()) << w.error();
        ToolRun run = extract7z(chm);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.files["raw.bin"], "raw");
        EXPECT_NE(run.files["first.htm"], pseudoText(1000, 80));
    }
    const auto& objects = broken.back().info().objects;
    ASSERT_EQ(objects.count(ChmWriter::controlDataName()), 1u);
    EXPECT_EQ(objects.at(ChmWriter::controlDataName()).second, 8u);

    // A Content object cut short: the stream runs out before the second file ends.
    ChmWriter cut = base();
    cut.compression().keepContentBytes = 2000;
    ToolRun run = extract7z(cut.build());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.files["second.htm"], second);
}

// --- Directory layouts, read back by chmlib (which follows the chunk chain) and 7-Zip. ---

ChmWriter manyEntries(std::size_t count, std::uint32_t chunkSize) {
    ChmWriter w;
    w.layout().chunkSize = chunkSize;
    for (std::size_t i = 0; i < count; ++i) {
        w.addFile("/dir/file" + std::to_string(1000 + i) + ".htm", "content " + std::to_string(i));
    }
    return w;
}

TEST(ChmWriterDirectory, ManyChunksWithIndexLevels) {
    REQUIRE_7Z();
    ChmWriter w = manyEntries(400, 256);
    const std::string chm = w.build();
    ASSERT_FALSE(chm.empty()) << w.error();
    EXPECT_GT(w.info().listingChunks, 20u);
    EXPECT_GT(w.info().indexChunks, 1u);  // more than one level
    ToolRun run = extract7z(chm);
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_EQ(run.files.size(), 400u);
    EXPECT_EQ(run.files["dir/file1399.htm"], "content 399");
    if (!findTool({"extract_chmLib"}).empty()) {
        EXPECT_EQ(extractChmlib(chm).files, run.files);
    }
}

TEST(ChmWriterDirectory, ChunkChainShorterOrLongerThanTheCount) {
    REQUIRE_TOOL("extract_chmLib");
    ChmWriter plain = manyEntries(60, 512);
    ASSERT_FALSE(plain.build().empty());
    const auto& chunks = plain.info().listingNames;
    ASSERT_GE(chunks.size(), 3u);
    auto walk = [](ChmWriter& w) {
        std::string chm = w.build();
        EXPECT_FALSE(chm.empty()) << w.error();
        return chmlibWalk(extractChmlib(chm));
    };
    auto filesOf = [](const std::vector<std::string>& names) {
        std::vector<std::string> files;
        for (const auto& n : names) {
            if (n.rfind("::", 0) != 0)
                files.push_back(n);
        }
        return files;
    };

    // The chain ends after chunk 0: only its entries are reached.
    ChmWriter shorter = manyEntries(60, 512);
    shorter.layout().nextChunk[0] = -1;
    EXPECT_EQ(walk(shorter), filesOf(chunks[0]));

    // The header names chunk 1 as the first listing chunk, as in lcl.chm: a reader that starts
    // there misses chunk 0.
    ChmWriter lcl = manyEntries(60, 512);
    lcl.layout().firstListingChunk = 1;
    std::vector<std::string> fromOne;
    for (std::size_t k = 1; k < chunks.size(); ++k) {
        for (const auto& n : filesOf(chunks[k]))
            fromOne.push_back(n);
    }
    EXPECT_EQ(walk(lcl), fromOne);

    // A chain that points past the directory. (One that loops back makes chmlib walk for
    // ever, so it is no oracle for that.)
    ChmWriter beyond = manyEntries(60, 512);
    beyond.layout().nextChunk[1] = 1000;
    std::vector<std::string> two = filesOf(chunks[0]);
    for (const auto& n : filesOf(chunks[1]))
        two.push_back(n);
    EXPECT_EQ(walk(beyond), two);

    // A chain longer than the count field: Free Pascal's reader stops at the count.
    if (!findTool({"chmls"}).empty()) {
        ChmWriter counted = manyEntries(60, 512);
        counted.layout().chunkCount = 2;
        ToolRun run = runOnChm(counted.build(), "chmls extractall {chm} {out}");
        EXPECT_EQ(run.files.size(), two.size()) << run.log;
    }
}

TEST(ChmWriterDirectory, SortedLikeRealDirectoriesUnlessAsked) {
    REQUIRE_TOOL("extract_chmLib");
    auto build = [](bool sorted) {
        ChmWriter w;
        w.layout().sorted = sorted;
        for (const char* n : {"/b.htm", "/A.htm", "/_x.htm", "/a-b", "/Z.htm", "/a.htm"}) {
            w.addFile(n, n);
        }
        return chmlibWalk(extractChmlib(w.build()));
    };
    // Lower-cased byte order ('-' < '.' < '_' < letters); equal names keep the order added.
    std::vector<std::string> sorted = build(true);
    sorted.resize(6);
    EXPECT_EQ(sorted, (std::vector<std::string>{"/_x.htm", "/a-b", "/A.htm", "/a.htm", "/b.htm",
                                                "/Z.htm"}));
    std::vector<std::string> asAdded = build(false);
    asAdded.resize(6);
    EXPECT_EQ(asAdded, (std::vector<std::string>{"/b.htm", "/A.htm", "/_x.htm", "/a-b", "/Z.htm",
                                                 "/a.htm"}));
}

TEST(ChmWriterDirectory, ItsfVersion2WithoutContentOffset) {
    // 7-Zip refuses version 2 headers altogether; chmlib reads them.
    REQUIRE_TOOL("extract_chmLib");
    ChmWriter w = manyEntries(30, 1024);
    w.layout().itsfVersion = 2;
    w.addFile("/raw.bin", "plain", ChmWriter::Section::Uncompressed);
    const std::string chm = w.build();
    ASSERT_FALSE(chm.empty()) << w.error();
    EXPECT_EQ(chm.substr(4, 4), std::string("\x02\0\0\0", 4));
    Files files = extractChmlib(chm).files;
    EXPECT_EQ(files.size(), 31u);
    EXPECT_EQ(files["raw.bin"], "plain");
    EXPECT_EQ(files["dir/file1029.htm"], "content 29");
}

// --- The same pages compiled by Free Pascal's chmcmd: the structures agree. ---

std::uint32_t u32At(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

TEST(ChmWriterAgainstChmcmd, HeadersAndSectionObjectsMatch) {
    REQUIRE_TOOL("chmcmd");
    REQUIRE_7Z();
    TempDir dir;
    const Files pages = {{"a.htm", pseudoText(40000, 70)}, {"b.htm", pseudoText(3000, 71)}};
    for (const auto& [name, bytes] : pages)
        writeFile(dir.path() / name, bytes);
    writeFile(dir.path() / "p.hhp",
              "[OPTIONS]\nCompiled file=p.chm\nDefault topic=a.htm\n\n[FILES]\na.htm\nb.htm\n");
    const std::string cmd = "cd " + shellArg(dir.path()) + " && chmcmd p.hhp > log 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << readFile(dir.path() / "log");
    const std::string theirs = readFile(dir.path() / "p.chm");
    ASSERT_GT(theirs.size(), 0x60u);

    ChmWriter w;
    for (const auto& [name, bytes] : pages)
        w.addFile("/" + name, bytes);
    const std::string ours = w.build();
    ASSERT_FALSE(ours.empty()) << w.error();

    // ITSF header up to the language field, and the directory header's fixed fields.
    EXPECT_EQ(ours.substr(0, 16), theirs.substr(0, 16));
    // The first GUID; Free Pascal repeats it where hhc (and this writer) put {7C01FD11-...}.
    EXPECT_EQ(ours.substr(24, 16), theirs.substr(24, 16));
    const std::size_t dirOurs = u32At(ours, 72), dirTheirs = u32At(theirs, 72);
    EXPECT_EQ(dirOurs, dirTheirs);
    for (std::size_t field : {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 52, 56, 60, 64, 68}) {
        EXPECT_EQ(u32At(ours, dirOurs + field), u32At(theirs, dirTheirs + field))
            << "directory header field at " << field;
    }
    // Both extract to the same pages.
    EXPECT_EQ(extract7z(ours).files, pages);
    Files fromTheirs = extract7z(theirs).files;
    for (const auto& [name, bytes] : pages)
        EXPECT_TRUE(fromTheirs[name] == bytes) << name;
}

}  // namespace
}  // namespace plovik::test
