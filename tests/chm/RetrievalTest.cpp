// Fetching objects of the compressed section: decoded from the reset point at or before each
// object, kept in a bounded cache, with the diagnostic lines; a damaged block fails only the
// objects of its reset interval, through retrieval, the section reader and extraction alike.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "ExtractionRun.h"
#include "chm/ChmFile.h"
#include "chm/SectionReader.h"
#include "support/Corpus.h"
#include "support/Sha256.h"
#include "support/TempDir.h"
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

// An object whose claimed length the stream cannot fill is pieced together as bytes come, so the
// claim costs no allocation of its size.
TEST_F(Retrieval, ClaimedLengthIsNotAllocatedAhead) {
    ChmWriter w;
    w.addFile("/a.htm", page(100000, 8));
    w.compression().uncompressedLengthField = 10000000;  // within what the input could encode
    w.addCompressedEntry("/huge.htm", 0, 9000000);
    auto chm = open(w);
    ObjectBytes bytes;
    EXPECT_EQ(retrieveEntry(*chm, *findEntry(chm->entries, "/huge.htm"), bytes), -1);
    EXPECT_LT(bytes.storage.capacity(), std::size_t{2} << 20);
    std::string out;
    ASSERT_EQ(fetch(*chm, "/a.htm", out), 0);
    EXPECT_EQ(out, page(100000, 8));

    auto reader = SectionReader::open(*chm, 1);
    ASSERT_TRUE(reader);
    struct Sink : SectionObjectSink {
        void objectReady(const SectionObject&, std::string_view) override { ++ready; }
        void objectFailed(const SectionObject&, const LzxResult& why) override {
            reason = why.reason();
        }
        int ready = 0;
        std::string reason;
    } sink2;
    EXPECT_TRUE(deliverSectionObjects(*reader, {{0, 9000000, 0}, {0, 100000, 1}}, sink2));
    EXPECT_EQ(sink2.ready, 1);
    EXPECT_FALSE(sink2.reason.empty());
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

// A help of many files over many reset intervals (64 KiB each, one block per 32 KiB frame), and
// the same help with one block damaged so that it cannot be decoded.
struct DamagedHelp {
    static constexpr std::uint64_t kInterval = 65536;
    ChmWriter writer;
    std::vector<std::string> names;
    std::string good;
    std::string damaged;
    std::uint64_t damagedInterval = 0;

    explicit DamagedHelp(std::uint64_t interval, bool secondBlock) : damagedInterval(interval) {
        std::mt19937 rng(77);
        for (int i = 0; i < 70; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/f%02d.htm", i);
            names.push_back(name);
            writer.addFile(name, page(2000 + rng() % 22000, 100 + i));
        }
        writer.addFile("/empty.htm", "");
        names.push_back("/empty.htm");
        good = writer.build();
        // Zero the first word of a block: block type 0 (after a header bit of 0 at a reset
        // point), which no decoder can read past.
        const auto& frames = writer.info().lzx.frameOffsets;
        const std::uint64_t frame = 2 * interval + (secondBlock ? 1 : 0);
        const std::uint64_t at =
            writer.info().objects.at(ChmWriter::contentName()).first + frames.at(frame);
        damaged = good;
        damaged[at] = damaged[at + 1] = '\0';
    }
    std::uint64_t intervals() const {
        return (writer.info().compressedSection.size() + kInterval - 1) / kInterval;
    }
    // Files that lie (partly) in the damaged interval.
    std::set<std::string> lost() const {
        std::set<std::string> lost;
        const std::uint64_t from = damagedInterval * kInterval, to = from + kInterval;
        for (const auto& [name, place] : writer.info().compressedFiles) {
            if (place.second > 0 && place.first < to && place.first + place.second > from)
                lost.insert(name);
        }
        return lost;
    }
    std::string bytesOf(const std::string& name) const {
        const auto [offset, length] = writer.info().compressedFiles.at(name);
        return writer.info().compressedSection.substr(offset, length);
    }
};

// The damage is in the second block of interval 4: the first half of that interval decodes, but
// the whole interval is lost (damage may show late), and every file after it comes out exact,
// in any order of asking.
TEST_F(Retrieval, DamagedBlockFailsOnlyTheFilesOfItsInterval) {
    for (bool secondBlock : {true, false}) {
        SCOPED_TRACE(secondBlock);
        DamagedHelp help(4, secondBlock);
        ASSERT_GE(help.intervals(), 9u);
        const std::set<std::string> lost = help.lost();
        ASSERT_GE(lost.size(), 3u);
        for (bool reverse : {false, true}) {
            auto chm = openChm(ownedMemorySource(help.damaged));
            ASSERT_TRUE(chm);
            std::vector<std::string> order = help.names;
            if (reverse)
                std::reverse(order.begin(), order.end());
            std::set<std::string> failed;
            std::string out;
            for (const std::string& name : order) {
                if (fetch(*chm, name, out) != 0)
                    failed.insert(name);
                else
                    EXPECT_TRUE(out == help.bytesOf(name)) << name;
            }
            EXPECT_EQ(failed, lost);
        }
        EXPECT_NE(sink.output.find("LZXResult: 2\n"), std::string::npos);
    }
}

// The extraction stage over the same damage: the lost files are logged "failed" and not written,
// every other file is written byte for byte, and no file waits under a temporary name.
TEST_F(Retrieval, ExtractionOfADamagedHelpWritesEveryFileOutsideTheDamage) {
    DamagedHelp help(3, true);
    TempDir dir;
    const auto chmPath = writeFile(dir.path() / "damaged.chm", help.damaged);
    TempDir out;
    auto run = runExtraction(chmPath.string(), out.folder());
    ASSERT_TRUE(run->result());
    const std::set<std::string> lost = help.lost();
    EXPECT_EQ(run->count(false), lost.size());
    for (const std::string& name : help.names) {
        const auto path = out.path() / name.substr(1);
        if (lost.count(name)) {
            EXPECT_FALSE(std::filesystem::exists(path)) << name;
        } else {
            EXPECT_TRUE(readFile(path) == help.bytesOf(name)) << name;
        }
    }
    for (const auto& file : std::filesystem::recursive_directory_iterator(out.path()))
        EXPECT_EQ(file.path().filename().string().rfind(".plovik-tmp-", 0), std::string::npos)
            << file.path();
}

// One object is decoded from the reset point at or before it: with the first interval damaged,
// the last file still comes out, and a cache too small to keep anything still serves every
// object right.
TEST_F(Retrieval, OneObjectIsDecodedFromItsResetPointAndASmallCacheServesAll) {
    DamagedHelp help(0, false);
    auto chm = openChm(ownedMemorySource(help.damaged));
    ASSERT_TRUE(chm);
    std::string out;
    const std::string& last = help.names[help.names.size() - 2];
    ASSERT_EQ(fetch(*chm, last, out), 0);
    EXPECT_TRUE(out == help.bytesOf(last));
    EXPECT_EQ(sink.output, "LZXResult: 0\n");  // interval 0 was never decoded
    EXPECT_EQ(fetch(*chm, "/f00.htm", out), -1);

    for (std::size_t limit : {std::size_t{0}, std::size_t{70000}, std::size_t{200000}}) {
        SCOPED_TRACE(limit);
        auto small = openChm(ownedMemorySource(help.good));
        ASSERT_TRUE(small);
        small->sections[1].cacheLimit = limit;
        std::vector<std::string> order = help.names;
        std::shuffle(order.begin(), order.end(), std::mt19937(5));
        ObjectBytes first, bytes;
        ASSERT_EQ(retrieveEntry(*small, *findEntry(small->entries, order[0]), first), 0);
        for (const std::string& name : order) {
            ASSERT_EQ(retrieveEntry(*small, *findEntry(small->entries, name), bytes), 0) << name;
            EXPECT_TRUE(bytes.bytes == help.bytesOf(name)) << name;
        }
        // An earlier result stays valid while later ones push its bytes out of the cache.
        EXPECT_TRUE(first.bytes == help.bytesOf(order[0]));
    }
}

// The reader's pieces: whole intervals in order, the damaged one lost with its reason, and
// reading goes on at the next reset point; seek starts at the reset point at or before.
TEST_F(Retrieval, SectionReaderLosesOneIntervalAndGoesOn) {
    DamagedHelp help(5, true);
    auto chm = openChm(ownedMemorySource(help.damaged));
    ASSERT_TRUE(chm);
    std::string why;
    auto reader = SectionReader::open(*chm, 1, &why);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(reader->length(), help.writer.info().compressedSection.size());
    EXPECT_EQ(reader->layout().resetPoints.size(), help.intervals());
    const std::string& section = help.writer.info().compressedSection;
    SectionPiece piece;
    std::uint64_t at = 0;
    int lostPieces = 0;
    while (reader->next(piece)) {
        EXPECT_EQ(piece.offset, at);
        EXPECT_EQ(piece.offset % DamagedHelp::kInterval, 0u);
        if (piece.ok()) {
            EXPECT_TRUE(piece.bytes() == std::string_view(section).substr(at, piece.length));
        } else {
            ++lostPieces;
            EXPECT_EQ(piece.offset, 5 * DamagedHelp::kInterval);
            EXPECT_EQ(piece.length, DamagedHelp::kInterval);
            EXPECT_EQ(piece.result.reason(),
                      "frame 11 at output 360448: block type 0 is none of 1, 2, 3");
        }
        at += piece.length;
    }
    EXPECT_EQ(at, section.size());
    EXPECT_EQ(lostPieces, 1);

    reader->seek(7 * DamagedHelp::kInterval + 1234);
    EXPECT_EQ(reader->position(), 7 * DamagedHelp::kInterval);
    ASSERT_TRUE(reader->next(piece));
    EXPECT_EQ(piece.offset, 7 * DamagedHelp::kInterval);
    EXPECT_TRUE(piece.ok());

    // Without reset points listed after the first, decoding goes from the start, and after the
    // damage nothing can be had.
    LzxSectionLayout layout = reader->layout();
    layout.resetPoints = {0};
    SectionReader fromStart(*chm, layout);
    EXPECT_EQ(fromStart.startPointFor(7 * DamagedHelp::kInterval), 0u);
    at = 0;
    while (fromStart.next(piece)) {
        if (!piece.ok()) {
            EXPECT_EQ(piece.offset, 5 * DamagedHelp::kInterval);
            at = piece.offset + piece.length;
            ASSERT_TRUE(fromStart.next(piece));
            EXPECT_FALSE(piece.ok());
            EXPECT_EQ(piece.offset, at);
            EXPECT_EQ(piece.offset + piece.length, section.size());
            EXPECT_NE(piece.result.reason().find("no reset point"), std::string::npos);
        }
    }
}

// Handing a section's objects their bytes in one pass: whole objects in a piece, objects over
// several pieces, duplicates and overlaps, empty ones, ones beyond the section, and the damage.
TEST_F(Retrieval, DeliverSectionObjectsAnswersEachObjectOnce) {
    DamagedHelp help(2, true);
    auto chm = openChm(ownedMemorySource(help.damaged));
    ASSERT_TRUE(chm);
    auto reader = SectionReader::open(*chm, 1);
    ASSERT_TRUE(reader);
    const std::string& section = help.writer.info().compressedSection;
    const std::uint64_t n = section.size(), k = DamagedHelp::kInterval;
    std::vector<SectionObject> objects = {
        {n - 10, 10, 0},        // the last bytes
        {100, 50, 1},           // inside interval 0
        {100, 50, 2},           // the same again
        {k - 5, 3 * k, 3},      // over four intervals, the damaged one among them
        {3 * k - 7, 14, 4},     // over the end of the damaged interval
        {3 * k, 2 * k + 9, 5},  // from just after the damage over three intervals
        {n, 0, 6},              // empty at the end
        {n - 1, 2, 7},          // beyond the end
        {1ull << 40, 1, 8},     // far beyond
        {2 * k + 100, 0, 9},    // empty inside the damage
        {4 * k - 1, 1, 10},     // one byte
    };
    struct Sink : SectionObjectSink {
        std::map<std::size_t, std::string> ready;
        std::map<std::size_t, std::string> failed;
        std::vector<std::size_t> order;
        std::size_t stopAfter = 1000;
        bool stopRequested() override { return order.size() >= stopAfter; }
        void objectReady(const SectionObject& o, std::string_view bytes) override {
            EXPECT_FALSE(ready.count(o.tag) || failed.count(o.tag)) << o.tag;
            ready[o.tag] = std::string(bytes);
            order.push_back(o.tag);
        }
        void objectFailed(const SectionObject& o, const LzxResult& why) override {
            EXPECT_FALSE(ready.count(o.tag) || failed.count(o.tag)) << o.tag;
            failed[o.tag] = why.reason();
            order.push_back(o.tag);
        }
    } all;
    EXPECT_TRUE(deliverSectionObjects(*reader, objects, all));
    EXPECT_EQ(all.order.size(), objects.size());
    for (const SectionObject& o : objects) {
        const bool touchesDamage = o.length > 0 && o.offset < 3 * k && o.offset + o.length > 2 * k;
        if (o.tag == 7 || o.tag == 8) {
            EXPECT_EQ(all.failed[o.tag],
                      "the object ends beyond the section's " + std::to_string(n) + " bytes");
        } else if (touchesDamage) {
            EXPECT_NE(all.failed[o.tag].find("block type 0"), std::string::npos) << o.tag;
        } else {
            ASSERT_TRUE(all.ready.count(o.tag)) << o.tag << ": " << all.failed[o.tag];
            EXPECT_TRUE(all.ready[o.tag] == section.substr(o.offset, o.length)) << o.tag;
        }
    }
    // Objects that end first are answered first.
    EXPECT_EQ(std::find(all.order.begin(), all.order.end(), 1) - all.order.begin(),
              std::find(all.order.begin(), all.order.end(), 2) - all.order.begin() - 1);

    // Only the last interval is wanted: the damage earlier is never decoded.
    auto again = SectionReader::open(*chm, 1);
    Sink tail;
    EXPECT_TRUE(deliverSectionObjects(*again, {{n - 10, 10, 0}}, tail));
    EXPECT_EQ(tail.ready[0], section.substr(n - 10));

    // A stop request ends the walk between pieces.
    auto stopped = SectionReader::open(*chm, 1);
    Sink some;
    some.stopAfter = 2;
    std::vector<SectionObject> many;
    for (std::size_t i = 0; i < 40; ++i)
        many.push_back({i * (n / 40), 100, i});
    EXPECT_FALSE(deliverSectionObjects(*stopped, many, some));
    EXPECT_GE(some.order.size(), 2u);
    EXPECT_LT(some.order.size(), many.size());
}

// A real help from the corpus with one reset interval damaged: extraction loses exactly the files
// of that interval, and every other file still matches what 7-Zip extracts.
TEST_F(Retrieval, DamagedCorpusHelpLosesOnlyOneInterval) {
    const std::filesystem::path chmFile = corpusFile("chm/virtualtreeview.chm");
    if (chmFile.empty())
        GTEST_SKIP() << "no virtualtreeview.chm";
    const std::string original = readFile(chmFile);
    ASSERT_FALSE(original.empty());
    auto chm = openChm(memorySource(original));
    ASSERT_TRUE(chm);
    auto reader = SectionReader::open(*chm, 1);
    ASSERT_TRUE(reader);
    constexpr std::uint64_t kDamaged = 100;
    const std::uint64_t interval = reader->resetInterval();
    ASSERT_GT(reader->layout().resetPoints.size(), kDamaged + 1);
    std::string damaged = original;
    const std::uint64_t at =
        reader->layout().contentOffset + reader->layout().resetPoints[kDamaged];
    damaged[at] = damaged[at + 1] = '\0';
    std::set<std::string> lost;
    for (const ChmEntry& e : chm->entries) {
        if (e.section == 1 && e.length > 0 && e.offset < (kDamaged + 1) * interval &&
            e.offset + e.length > kDamaged * interval) {
            lost.insert(e.name.substr(1));
        }
    }
    ASSERT_FALSE(lost.empty());

    std::map<std::string, std::string> manifest;
    std::ifstream in(corpusFile("manifests/virtualtreeview.sha256"));
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 66)
            manifest[line.substr(line.compare(66, 2, "./") == 0 ? 68 : 66)] = line.substr(0, 64);
    }
    TempDir dir;
    const auto chmPath = writeFile(dir.path() / "damaged.chm", damaged);
    TempDir out;
    auto run = runExtraction(chmPath.string(), out.folder());
    ASSERT_TRUE(run->result());
    EXPECT_EQ(run->count(false), lost.size());
    std::size_t checked = 0;
    for (const auto& [name, hash] : manifest) {
        const auto path = out.path() / name;
        if (lost.count(name)) {
            EXPECT_FALSE(std::filesystem::exists(path)) << name;
        } else if (std::filesystem::exists(path)) {
            EXPECT_EQ(sha256Hex(readFile(path)), hash) << name;
            ++checked;
        }
    }
    EXPECT_GT(checked, 2900u);
}

}  // namespace
}  // namespace plovik::test
