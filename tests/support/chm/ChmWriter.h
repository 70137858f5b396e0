#pragma once

// A test-only writer of whole CHM (ITSF) files in memory, for reader tests that need files real
// compilers rarely make: odd directory layouts, lying headers, chosen LZX block sequences.
//
//   ChmWriter w;
//   w.addFile("/a.htm", "<html>...</html>");                    // compressed section
//   w.addFile("/raw.bin", bytes, ChmWriter::Section::Uncompressed);
//   w.addFolder("/sub/");
//   std::string chm = w.build();                                 // empty on failure: w.error()
//
// What a file holds, in this order: the ITSF header (version 3 with the content offset at byte
// 88, or version 2 without it), header section 0, the directory (ITSP header, listing chunks,
// index chunks), then content section 0. Section 0 holds "::DataSpace/NameList", the
// compressed section's ControlData, SpanInfo, Transform/List, the uncompressed files in the
// order added, the ResetTable, and last the Content (so that truncating the file cuts the LZX
// stream first). The compressed files are concatenated in the order added and compressed with
// encodeGreedy, unless a test sets an LZX script or raw Content of its own.
//
// Directory entries are the test's entries plus the internal objects above, sorted the way
// real CHM directories are (byte order after ASCII lower-casing) unless `layout().sorted` is
// false. Nothing else is added: no "/" root entry, no folder entries, no #SYSTEM.
//
// Every knob defaults to what hhc writes; the rest is for hostile or unusual files.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/chm/LzxEncoder.h"

namespace plovik::test {

class ChmWriter {
public:
    enum class Section : std::uint32_t { Uncompressed = 0, Compressed = 1 };

    // File, directory and chunk layout.
    struct Layout {
        int itsfVersion = 3;                // 3: content offset at byte 88; 2: header of 88 bytes
        std::uint32_t chunkSize = 4096;     // every directory chunk, listing and index
        std::uint32_t quickRefDensity = 2;  // a quick-reference offset every 1 + 2^n entries
        std::uint32_t maxEntriesPerChunk = 0;  // 0: as many as fit
        bool sorted = true;                    // false: entries in the order added
        // Index chunks: Auto writes them when there are two listing chunks or more.
        enum class Index { Auto, Always, Never } index = Index::Auto;
        std::uint32_t languageId = 0x409;
        std::uint32_t timeStamp = 0x5A5A0001;

        // Fields of the directory header, written as computed unless set here.
        std::optional<std::int32_t> firstListingChunk;  // lcl.chm names 1 while 0 is one
        std::optional<std::int32_t> lastListingChunk;
        std::optional<std::uint32_t> chunkCount;  // the count field only: all chunks stay
        std::optional<std::uint32_t> indexDepth;
        std::optional<std::int32_t> rootIndexChunk;
        std::optional<std::uint32_t> chunkSizeField;  // chunks are still chunkSize apart
        // Next- and previous-chunk fields of listing chunks (key: chunk number), e.g.
        // {{0, -1}} ends the chain after chunk 0, {{1, 0}} loops back.
        std::map<std::uint32_t, std::int32_t> nextChunk;
        std::map<std::uint32_t, std::int32_t> previousChunk;
        // Free-space field of listing chunks (key: chunk number), instead of the true value.
        std::map<std::uint32_t, std::uint32_t> freeSpace;

        // The whole file cut to this many bytes (after everything else).
        std::optional<std::size_t> truncateFileTo;
    };

    // The compressed section.
    struct Compression {
        LzxOptions lzx;  // window, reset interval, E8, tree coding of the greedy encoder
        // ControlData fields. Window size and reset interval default to the LZX options in
        // 32 KiB units; any value may be set, valid or not.
        std::uint32_t controlWords = 6;  // first field: number of 32-bit words that follow
        std::string signature = "LZXC";
        std::uint32_t version = 2;
        std::optional<std::uint32_t> resetIntervalField;
        std::optional<std::uint32_t> windowSizeField;
        std::uint32_t cacheSize = 1;
        // Reset table.
        // Entries: one compressed offset per frame, plus one for the end when the length is a
        // whole number of frames (7-Zip refuses the file without it).
        bool resetTableEndEntry = false;  // the end entry always (as Free Pascal writes)
        std::optional<std::vector<std::uint64_t>> resetTableEntries;  // exactly these
        std::optional<std::uint64_t> uncompressedLengthField;
        std::optional<std::uint64_t> compressedLengthField;
        std::optional<std::uint64_t> frameLengthField;  // default 0x8000
        // The Content object: only its first bytes (the reset table still tells the truth).
        std::optional<std::size_t> keepContentBytes;
        // Extra bytes after the stream in the Content object (counted in its length only).
        std::size_t contentPadding = 0;
    };

    // What build() made, for tests that patch bytes or need to know where things went.
    struct Info {
        std::uint64_t directoryOffset = 0;  // the ITSP header
        std::uint64_t contentOffset = 0;    // start of content section 0
        std::uint32_t listingChunks = 0;
        std::uint32_t indexChunks = 0;
        std::vector<std::vector<std::string>> listingNames;  // entry names of each listing chunk
        std::string compressedSection;  // decoded bytes of the compressed section
        LzxStream lzx;                  // the Content stream as encoded
        // File offset and length of every section-0 object, internal ones included.
        std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> objects;
        // Offset and length of every compressed file in the compressed section.
        std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> compressedFiles;
    };

    // Names of the internal objects for the compressed section's name (normally MSCompressed).
    static std::string nameListName() { return "::DataSpace/NameList"; }
    static std::string contentName(std::string_view section = "MSCompressed");
    static std::string controlDataName(std::string_view section = "MSCompressed");
    static std::string spanInfoName(std::string_view section = "MSCompressed");
    static std::string transformListName(std::string_view section = "MSCompressed");
    static std::string resetTableName(std::string_view section = "MSCompressed");

    // A stored file. Compressed files go into the LZX stream in the order added (a file of
    // length 0 gets the current end of the stream as its offset); uncompressed files into
    // section 0. The same name may be added twice: both entries are written.
    void addFile(std::string name, std::string bytes, Section section = Section::Compressed);
    // A folder entry: section 0, offset 0, length 0. The name should end with '/'.
    void addFolder(std::string name);
    // An entry exactly as given; no data is stored for it. Section, offset and length may
    // point anywhere, including beyond the data or the section table.
    void addRawEntry(std::string name, std::uint64_t section, std::uint64_t offset,
                     std::uint64_t length);

    // An entry into the compressed section at a chosen place, for use with setLzxScript or
    // setRawContent, whose decoded bytes the test knows.
    void addCompressedEntry(std::string name, std::uint64_t offset, std::uint64_t length) {
        addRawEntry(std::move(name), 1, offset, length);
    }

    // The compressed section from these blocks instead of from the compressed files (which
    // are then not stored; addFile with Section::Compressed is refused by build()).
    void setLzxScript(std::vector<LzxBlock> script) { script_ = std::move(script); }
    // The Content bytes as given, with the reset table's lengths and frame offsets. The
    // compressed files, if any, are ignored.
    void setRawContent(std::string content, std::uint64_t uncompressedLength,
                       std::vector<std::uint64_t> frameOffsets = {0});

    // Internal objects: replace the bytes of one (ControlData, NameList, reset table, ...),
    // add any other section-0 object, or leave one out of the file and the directory.
    void setObject(std::string name, std::string bytes) { objects_[std::move(name)] = bytes; }
    void omitObject(std::string name) { omitted_.insert(std::move(name)); }
    // Section names of the NameList; the second is the compressed section.
    void setSectionNames(std::vector<std::string> names) { sectionNames_ = std::move(names); }
    // Without anything compressed, the compressed section's objects are left out unless this
    // is set (the NameList still names both sections).
    void setAlwaysWriteCompressedSection(bool always) { alwaysCompressed_ = always; }

    void setCompression(const Compression& compression) { compression_ = compression; }
    Compression& compression() { return compression_; }
    void setLayout(const Layout& layout) { layout_ = layout; }
    Layout& layout() { return layout_; }

    // The whole file; empty with error() set when the parts cannot be laid out (an entry
    // larger than a chunk, an invalid script, ...).
    std::string build();
    const std::string& error() const { return error_; }
    const Info& info() const { return info_; }

private:
    struct Entry {
        std::string name;
        std::uint64_t section = 0;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    struct StoredFile {
        std::string name;
        std::string bytes;
        Section section;
        std::size_t entryIndex;
    };

    bool fail(std::string message);
    std::string buildDirectory(std::vector<Entry> entries);

    Layout layout_;
    Compression compression_;
    std::vector<Entry> entries_;
    std::vector<StoredFile> files_;
    std::optional<std::vector<LzxBlock>> script_;
    std::optional<std::string> rawContent_;
    std::uint64_t rawUncompressedLength_ = 0;
    std::vector<std::uint64_t> rawFrameOffsets_;
    std::map<std::string, std::string> objects_;
    std::set<std::string> omitted_;
    std::vector<std::string> sectionNames_ = {"Uncompressed", "MSCompressed"};
    bool alwaysCompressed_ = false;
    std::string error_;
    Info info_;
};

// Variable-length integer as CHM directories store it: base 128, most significant group
// first, every byte but the last with its high bit set.
std::string chmEncInt(std::uint64_t value);

// Directory order of names: bytes compared after lower-casing ASCII letters.
bool chmNameLess(std::string_view a, std::string_view b);

}  // namespace plovik::test
