// Fetching objects of the compressed section: decoded once, served from memory, with the
// diagnostic lines, and failing only the objects that lie beyond what decoded correctly.

#include <gtest/gtest.h>

#include <random>

#include "ExtractionRun.h"
#include "chm/ChmFile.h"
#include "support/chm/ChmWriter.h"

namespace plovik::test {
namespace {

const std::string kResetTable =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
    "InstanceData/ResetTable";

std::string page(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size)
        s += "<p>paragraph " + std::to_string(rng() % 1000) + "</p>\n";
    s.resize(size);
    return s;
}

class Retrieval : public testing::Test {
protected:
    std::unique_ptr<ChmFile> open(ChmWriter& w) {
        const std::string bytes = w.build();
        EXPECT_FALSE(bytes.empty()) << w.error();
        auto chm = openChm(ownedMemorySource(bytes));
        EXPECT_TRUE(chm);
        sink.output.clear();
        sink.error.clear();
        sink.all.clear();
        return chm;
    }
    int fetch(ChmFile& chm, const std::string& name, std::string& out) {
        return retrieveObject(chm, name, out);
    }
    CapturingSink sink;
    ScopedSink scoped{sink};
};

TEST_F(Retrieval, DecodesOnceAndPrintsItsLinesOnce) {
    ChmWriter w;
    w.addFile("/one.htm", page(5000, 1));
    w.addFile("/two.htm", page(70000, 2));
    auto chm = open(w);
    std::string out;
    ASSERT_EQ(fetch(*chm, "/two.htm", out), 0);
    EXPECT_EQ(out, page(70000, 2));
    EXPECT_EQ(
        sink.error, kResetTable + "\n" + "uclength = 124f8, clength = " + [&] {
            char b[32];
            std::snprintf(b, sizeof b, "%llx",
                          static_cast<unsigned long long>(w.info().lzx.compressed.size()));
            return std::string(b);
        }() + "\noffset = 1388\nlength = 11170\n");
    EXPECT_EQ(sink.output, "LZXResult: 0\n");
    sink.all.clear();
    ASSERT_EQ(fetch(*chm, "/one.htm", out), 0);
    EXPECT_EQ(out, page(5000, 1));
    EXPECT_EQ(sink.all, "");
    EXPECT_EQ(chm->sections[1].length, 75000u);
}

TEST_F(Retrieval, ZeroLengthObjectsAndLargestWindow) {
    ChmWriter w;
    w.compression().lzx.windowBits = 21;
    w.addFile("/empty.htm", "");
    w.addFile("/page.htm", page(3000, 3));
    auto chm = open(w);
    std::string out = "junk";
    ASSERT_EQ(fetch(*chm, "/empty.htm", out), 0);
    EXPECT_TRUE(out.empty());
    ASSERT_EQ(fetch(*chm, "/page.htm", out), 0);
    EXPECT_EQ(out, page(3000, 3));
}

TEST_F(Retrieval, ControlDataThatCannotBeUsed) {
    for (std::uint32_t window : {3u, 0u, 128u}) {
        ChmWriter w;
        w.compression().windowSizeField = window;
        w.addFile("/a.htm", "a");
        auto chm = open(w);
        std::string out;
        EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
        char line[64];
        std::snprintf(line, sizeof line, "Window size invalid: %x\n", window);
        EXPECT_EQ(sink.error, line);
        EXPECT_EQ(sink.output, "");
    }
    ChmWriter w;
    w.compression().signature = "LZXD";
    w.addFile("/a.htm", "a");
    auto chm = open(w);
    std::string out;
    EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
    EXPECT_EQ(sink.error, "Compression method not LZXC: LZXD\n");

    for (std::string control :
         {std::string(), std::string(6, '\0'), std::string("\x06\0\0\0LZXC", 8)}) {
        ChmWriter c;
        c.addFile("/a.htm", "a");
        c.setObject(ChmWriter::controlDataName(), control);
        auto file = open(c);
        EXPECT_EQ(fetch(*file, "/a.htm", out), -1);
    }
    ChmWriter missing;
    missing.addFile("/a.htm", "a");
    missing.omitObject(ChmWriter::controlDataName());
    chm = open(missing);
    EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
}

// Without a reset table the span information still gives the length; without either, and
// without Content, nothing of the section can be had (and nothing is logged "ok" empty).
TEST_F(Retrieval, MissingResetTableContentAndSpanInfo) {
    ChmWriter w;
    w.addFile("/a.htm", page(2000, 4));
    w.omitObject(ChmWriter::resetTableName());
    auto chm = open(w);
    std::string out;
    ASSERT_EQ(fetch(*chm, "/a.htm", out), 0);
    EXPECT_EQ(out, page(2000, 4));

    w.omitObject(ChmWriter::spanInfoName());
    chm = open(w);
    EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
    EXPECT_EQ(sink.output, "");  // never got as far as decoding

    ChmWriter noContent;
    noContent.addFile("/a.htm", "a");
    noContent.omitObject(ChmWriter::contentName());
    chm = open(noContent);
    EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
}

TEST_F(Retrieval, ContentLengthDifferentFromTheResetTable) {
    ChmWriter w;
    w.addFile("/a.htm", page(3000, 5));
    w.compression().contentPadding = 6;
    auto chm = open(w);
    std::string out;
    ASSERT_EQ(fetch(*chm, "/a.htm", out), 0);
    EXPECT_EQ(out, page(3000, 5));
    const std::size_t c = w.info().lzx.compressed.size();
    EXPECT_NE(sink.error.find("Warning: Content Length not same as Compressed Length (without "
                              "padding) " +
                              std::to_string(c + 6) + " " + std::to_string(c) + " \n"),
              std::string::npos);
}

// A claim of far more output than the input could encode is refused before any allocation.
TEST_F(Retrieval, ImpossibleLengthsAreRefused) {
    ChmWriter w;
    w.addFile("/a.htm", "a");
    w.compression().uncompressedLengthField = 0x100000000ull;  // 4 GiB from a few bytes
    auto chm = open(w);
    std::string out;
    EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
    EXPECT_EQ(sink.output, "");
    EXPECT_EQ(chm->sections[1].decoded, nullptr);
}

// A stream cut short: objects in the frames before the cut come out, the rest fail; a decoder
// failure is never served as success.
TEST_F(Retrieval, ObjectsBeyondWhatDecodedFail) {
    ChmWriter w;
    for (int i = 0; i < 8; ++i)
        w.addFile("/p" + std::to_string(i) + ".htm", page(20000, 10 + i));
    w.build();
    w.compression().keepContentBytes = w.info().lzx.compressed.size() / 2;
    auto chm = open(w);
    std::string out;
    int good = 0, bad = 0;
    bool failedYet = false;
    for (int i = 0; i < 8; ++i) {
        if (fetch(*chm, "/p" + std::to_string(i) + ".htm", out) == 0) {
            EXPECT_FALSE(failedYet) << "a later object came out after an earlier one failed";
            EXPECT_EQ(out, page(20000, 10 + i));
            ++good;
        } else {
            failedYet = true;
            ++bad;
        }
    }
    EXPECT_GT(good, 0);
    EXPECT_GT(bad, 0);
    EXPECT_NE(sink.output.find("LZXResult: 2\n"), std::string::npos);
}

TEST_F(Retrieval, EntriesBeyondTheSection) {
    ChmWriter w;
    w.addFile("/a.htm", page(1000, 6));
    w.addCompressedEntry("/past.htm", 900, 200);
    w.addCompressedEntry("/far.htm", 1ull << 40, 1);
    w.addCompressedEntry("/empty-at-end.htm", 1000, 0);
    auto chm = open(w);
    std::string out;
    EXPECT_EQ(fetch(*chm, "/past.htm", out), -1);
    EXPECT_EQ(fetch(*chm, "/far.htm", out), -1);
    EXPECT_EQ(fetch(*chm, "/empty-at-end.htm", out), 0);
    EXPECT_EQ(fetch(*chm, "/a.htm", out), 0);
}

// The storage objects a section is decoded from must lie plainly in section 0, or a file could
// make decoding a section need that same section.
TEST_F(Retrieval, StorageObjectsInTheCompressedSectionAreRefused) {
    ChmWriter w;
    w.addFile("/a.htm", "a");
    w.addFile("::DataSpace/Storage/MSCompressed/ControlData", "LZXC");
    w.omitObject(ChmWriter::controlDataName());
    w.layout().sorted = false;
    const std::string bytes = w.build();
    ASSERT_FALSE(bytes.empty()) << w.error();
    auto chm = openChm(ownedMemorySource(bytes));
    ASSERT_TRUE(chm);
    std::string out;
    EXPECT_EQ(fetch(*chm, "/a.htm", out), -1);
}

}  // namespace
}  // namespace plovik::test
