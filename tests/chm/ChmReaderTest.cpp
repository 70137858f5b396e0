// The directory reader on files made to order: variable-length integers, chunk chains, names,
// section lists, and headers and directories that lie.

#include <gtest/gtest.h>

#include "ExtractionRun.h"
#include "chm/ByteReader.h"
#include "chm/ChmFile.h"
#include "support/chm/ChmWriter.h"

namespace plovik::test {
namespace {

std::unique_ptr<ChmFile> open(const std::string& bytes, std::string* why = nullptr) {
    return openChm(ownedMemorySource(bytes), why);
}

std::vector<std::string> fileNames(const ChmFile& chm) {
    std::vector<std::string> names;
    for (const ChmEntry& e : chm.entries) {
        if (!e.isInternal())
            names.push_back(e.name);
    }
    return names;
}

std::string fetch(ChmFile& chm, const std::string& name) {
    std::string out;
    EXPECT_EQ(retrieveObject(chm, name, out), 0) << name;
    return out;
}

class ChmReader : public testing::Test {
protected:
    CapturingSink sink;
    ScopedSink scoped{sink};
};

TEST(EncInt, DecodesBigEndianGroupsAndRefusesWhatDoesNotFit) {
    auto decode = [](std::string bytes, std::uint64_t& v) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::uint8_t* cursor = p;
        bool ok = readEncInt(cursor, p + bytes.size(), v);
        return ok ? static_cast<int>(cursor - p) : -1;
    };
    std::uint64_t v = 0;
    EXPECT_EQ(decode("\x05", v), 1);
    EXPECT_EQ(v, 5u);
    EXPECT_EQ(decode(std::string("\x81\x00", 2), v), 2);
    EXPECT_EQ(v, 128u);
    EXPECT_EQ(decode("\x82\x80\x01", v), 3);
    EXPECT_EQ(v, 32769u);
    EXPECT_EQ(decode("\x81\x80", v), -1);  // ends before its last byte
    EXPECT_EQ(decode("", v), -1);
    EXPECT_EQ(decode(chmEncInt(0xFFFFFFFFFFFFFFFFull), v), 10);
    EXPECT_EQ(v, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(decode("\x82" + std::string(9, '\x80') + std::string(1, '\0'), v), -1);  // 2^70
}

TEST_F(ChmReader, NamesOfEveryLengthAreStoredWhole) {
    ChmWriter w;
    const std::string n127 = "/" + std::string(126, 'a');
    const std::string n128 = "/" + std::string(127, 'b');
    const std::string n255 = "/" + std::string(254, 'c');
    w.addFile(n127, "x");
    w.addFile(n128, "y");
    w.addFile(n255, "z", ChmWriter::Section::Uncompressed);
    auto chm = open(w.build());
    ASSERT_TRUE(chm) << w.error();
    EXPECT_EQ(fetch(*chm, n127), "x");
    EXPECT_EQ(fetch(*chm, n128), "y");
    EXPECT_EQ(fetch(*chm, n255), "z");
    ASSERT_NE(findEntry(chm->entries, n255), nullptr);
    EXPECT_EQ(findEntry(chm->entries, n255)->name.size(), 255u);
}

TEST_F(ChmReader, LookupIsCaseSensitiveAndTakesTheFirstOfDuplicates) {
    ChmWriter w;
    w.addFile("/Index.htm", "first");
    w.addFile("/Index.htm", "second");
    auto chm = open(w.build());
    ASSERT_TRUE(chm);
    EXPECT_EQ(findEntry(chm->entries, "/index.htm"), nullptr);
    EXPECT_EQ(findEntry(chm->entries, "/Index.HTM"), nullptr);
    std::string out;
    EXPECT_EQ(retrieveObject(*chm, "/index.htm", out), -1);
    EXPECT_EQ(fetch(*chm, "/Index.htm"), "first");
}

// The walk goes from chunk 0 along the next-chunk chain, whatever the header's first-listing
// field says, and no chain runs longer than the chunk count or round in circles.
TEST_F(ChmReader, ChunkChains) {
    auto build = [](auto adjust) {
        ChmWriter w;
        w.layout().maxEntriesPerChunk = 4;
        w.layout().sorted = false;
        for (int i = 0; i < 20; ++i) {
            w.addFile("/f" + std::to_string(100 + i) + ".htm", "page " + std::to_string(i));
        }
        adjust(w.layout());
        return w.build();
    };
    auto all = open(build([](ChmWriter::Layout&) {}));
    ASSERT_TRUE(all);
    const auto everything = fileNames(*all);
    EXPECT_EQ(everything.size(), 20u);

    auto firstIsOne = open(build([](ChmWriter::Layout& l) { l.firstListingChunk = 1; }));
    ASSERT_TRUE(firstIsOne);
    EXPECT_EQ(fileNames(*firstIsOne), everything);

    auto endsAtZero = open(build([](ChmWriter::Layout& l) { l.nextChunk = {{0, -1}}; }));
    ASSERT_TRUE(endsAtZero);
    const auto chunk0 = fileNames(*endsAtZero);
    EXPECT_LT(chunk0.size(), everything.size());
    EXPECT_EQ(chunk0,
              std::vector<std::string>(everything.begin(), everything.begin() + chunk0.size()));

    auto loops = open(build([](ChmWriter::Layout& l) { l.nextChunk = {{2, 0}}; }));
    ASSERT_TRUE(loops);
    const auto looped = fileNames(*loops);
    EXPECT_LT(looped.size(), everything.size());
    EXPECT_EQ(looped,
              std::vector<std::string>(everything.begin(), everything.begin() + looped.size()));

    auto counted = open(build([](ChmWriter::Layout& l) { l.chunkCount = 2; }));
    ASSERT_TRUE(counted);
    EXPECT_LT(fileNames(*counted).size(), chunk0.size() * 2 + 1);

    auto beyond = open(build([](ChmWriter::Layout& l) { l.nextChunk = {{0, 5000}}; }));
    ASSERT_TRUE(beyond);
    EXPECT_EQ(fileNames(*beyond), chunk0);
}

TEST_F(ChmReader, EntriesThatRunPastTheirChunkEndIt) {
    ChmWriter w;
    w.layout().sorted = false;
    w.addFile("/a.htm", "a");
    w.addFile("/b.htm", "b");
    // Free space larger than the chunk: the chunk has no readable entries.
    w.layout().freeSpace = {{0, 5000}};
    std::string why;
    auto chm = open(w.build(), &why);
    ASSERT_TRUE(chm) << why;
    EXPECT_TRUE(chm->entries.empty());
    // Free space 0 makes the quick-reference area look like entries: whatever is read from
    // it stays within the chunk.
    w.layout().freeSpace = {{0, 0}};
    chm = open(w.build());
    ASSERT_TRUE(chm);
    EXPECT_GE(chm->entries.size(), 2u);
}

TEST_F(ChmReader, HeadersThatLieFailCleanly) {
    ChmWriter w;
    w.addFile("/a.htm", "a");
    const std::string good = w.build();
    std::string why;
    EXPECT_TRUE(open(good, &why)) << why;

    EXPECT_FALSE(open(good.substr(0, 60), &why));
    EXPECT_NE(why.find("too short"), std::string::npos);
    std::string bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(open(bad, &why));
    EXPECT_NE(why.find("ITSF"), std::string::npos);
    bad = good;
    bad[4] = 9;  // version
    EXPECT_FALSE(open(bad, &why));
    // Directory offset beyond the file.
    bad = good;
    bad[72 + 6] = 0x7F;
    EXPECT_FALSE(open(bad, &why));
    // Content offset beyond the file.
    bad = good;
    bad[88 + 5] = 0x01;
    EXPECT_FALSE(open(bad, &why));
    // A chunk size smaller than a chunk header.
    w.layout().chunkSizeField = 8;
    EXPECT_FALSE(open(w.build(), &why));
    EXPECT_NE(why.find("chunk size"), std::string::npos);
    // Cut inside the directory: no chunk left whole.
    w.layout() = {};
    const std::string whole = w.build();
    EXPECT_FALSE(open(whole.substr(0, w.info().directoryOffset + 84 + 100), &why));
    EXPECT_FALSE(openChm("/nonexistent/file.chm", &why));
}

TEST_F(ChmReader, EmptyDirectory) {
    ChmWriter w;
    w.addFile("/a.htm", "a");
    w.layout().chunkCount = 0;
    auto chm = open(w.build());
    ASSERT_TRUE(chm);
    EXPECT_TRUE(chm->entries.empty());
    ASSERT_EQ(chm->sections.size(), 1u);  // plain section 0 only
    EXPECT_FALSE(chm->sections[0].compressed);
}

TEST_F(ChmReader, ItsfVersion2TakesTheContentFromTheDirectoryEnd) {
    ChmWriter w;
    w.layout().itsfVersion = 2;
    w.addFile("/plain.txt", "stored plainly", ChmWriter::Section::Uncompressed);
    w.addFile("/packed.htm", "<html>compressed</html>");
    auto chm = open(w.build());
    ASSERT_TRUE(chm) << w.error();
    EXPECT_EQ(chm->version, 2u);
    EXPECT_EQ(chm->contentOffset, w.info().contentOffset);
    EXPECT_EQ(fetch(*chm, "/plain.txt"), "stored plainly");
    EXPECT_EQ(fetch(*chm, "/packed.htm"), "<html>compressed</html>");
}

TEST_F(ChmReader, SectionNamesAndBaseOffsets) {
    ChmWriter w;
    w.addFile("/a.htm", "a");
    w.setSectionNames({"Uncompressed", "MSCompressed", "MSCompressedX", "mscompressed", "Plain"});
    w.setObject("::DataSpace/Storage/Plain/Content", "HELLO WORLD");
    // Section 0 keeps base offset 0 even with a Content object named after it.
    w.setObject("::DataSpace/Storage/Uncompressed/Content", "ignored");
    w.addRawEntry("/plain.txt", 4, 6, 5);
    auto chm = open(w.build());
    ASSERT_TRUE(chm) << w.error();
    ASSERT_EQ(chm->sections.size(), 5u);
    EXPECT_FALSE(chm->sections[0].compressed);
    EXPECT_TRUE(chm->sections[1].compressed);
    EXPECT_FALSE(chm->sections[2].compressed);
    EXPECT_FALSE(chm->sections[3].compressed);
    EXPECT_FALSE(chm->sections[4].compressed);
    EXPECT_EQ(chm->sections[0].baseOffset, 0u);
    EXPECT_EQ(fetch(*chm, "/plain.txt"), "WORLD");
    EXPECT_NE(sink.error.find("name = Uncompressed\nname = MSCompressed\nname = MSCompressedX\n"),
              std::string::npos);
}

TEST_F(ChmReader, NameListsThatLie) {
    // Five sections claimed, one record present.
    ChmWriter w;
    w.addFile("/plain.txt", "p", ChmWriter::Section::Uncompressed);
    std::string list(
        "\x06\x00\x05\x00\x02\x00"
        "A\0B\0\0\0",
        12);
    w.setObject(ChmWriter::nameListName(), list);
    auto chm = open(w.build());
    ASSERT_TRUE(chm);
    ASSERT_EQ(chm->sections.size(), 1u);
    EXPECT_EQ(chm->sections[0].name, "AB");
    EXPECT_EQ(fetch(*chm, "/plain.txt"), "p");
    // A record longer than the object: no sections from it, plain section 0 remains.
    w.setObject(ChmWriter::nameListName(), std::string("\x06\x00\x01\x00\xFF\x7F"
                                                       "A\0",
                                                       8));
    chm = open(w.build());
    ASSERT_TRUE(chm);
    ASSERT_EQ(chm->sections.size(), 1u);
    EXPECT_EQ(fetch(*chm, "/plain.txt"), "p");
    // No NameList at all: entries of section 0 are still read, others are not.
    w.omitObject(ChmWriter::nameListName());
    w.addRawEntry("/elsewhere.txt", 1, 0, 1);
    chm = open(w.build());
    ASSERT_TRUE(chm);
    EXPECT_EQ(fetch(*chm, "/plain.txt"), "p");
    std::string out;
    EXPECT_EQ(retrieveObject(*chm, "/elsewhere.txt", out), -1);
}

TEST_F(ChmReader, PlacesBeyondTheDataFail) {
    ChmWriter w;
    w.addFile("/plain.txt", "p", ChmWriter::Section::Uncompressed);
    w.addRawEntry("/past-file.txt", 0, 1u << 30, 10);
    w.addRawEntry("/huge.txt", 0, 0, 0xFFFFFFFFFFFFFFF0ull);
    w.addRawEntry("/wraps.txt", 0, 0xFFFFFFFFFFFFFFF0ull, 0x20);
    w.addRawEntry("/no-section.txt", 7, 0, 1);
    auto chm = open(w.build());
    ASSERT_TRUE(chm);
    std::string out;
    for (const char* name :
         {"/past-file.txt", "/huge.txt", "/wraps.txt", "/no-section.txt", "/absent.txt"}) {
        EXPECT_EQ(retrieveObject(*chm, name, out), -1) << name;
        EXPECT_TRUE(out.empty());
    }
    closeChm(*chm);
    EXPECT_EQ(retrieveObject(*chm, "/plain.txt", out), -1);  // closed
}

}  // namespace
}  // namespace plovik::test
