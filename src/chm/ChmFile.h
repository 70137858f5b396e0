#pragma once

// The open container: its directory (every stored object's name and place) and its content
// sections, with the operations that read them. Opening reads the header, the whole directory
// and the section list; object bytes are read on request (ObjectRetrieval.cpp).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chm/ByteSource.h"
#include "platform/Outcome.h"

namespace plovik {

class DiagnosticSink;

// One directory entry. Names are the stored bytes: "/" then a path for files and folders
// (folders end in "/"), "::" for the container's internal objects.
struct ChmEntry {
    std::string name;
    std::uint64_t section = 0;
    std::uint64_t offset = 0;  // within the section (decoded bytes for a compressed one)
    std::uint64_t length = 0;

    bool isInternal() const { return name.rfind("::", 0) == 0; }
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

class DecodedSection;  // ObjectRetrieval.cpp

// Decoded bytes a compressed section keeps for later retrievals, at most, unless its cacheLimit
// says otherwise.
inline constexpr std::size_t kDecodedCacheBytes = std::size_t{8} << 20;

// One content section.
struct ChmSection {
    std::string name;              // low byte of each UTF-16 unit, up to the first NUL
    std::uint64_t baseOffset = 0;  // where a plain section's bytes start within section 0
    bool compressed = false;       // named exactly "MSCompressed"

    // ---- a compressed section, set up at the first request for one of its objects ----
    bool decodeAttempted = false;  // set up (or failed to) once; never again
    std::uint64_t length = 0;      // the uncompressed length the section claims
    // The section's reader and the decoded bytes kept for later requests (a bounded cache);
    // null when the section cannot be decoded at all.
    std::shared_ptr<DecodedSection> decoded;
    std::size_t cacheLimit = kDecodedCacheBytes;  // decoded bytes kept, at most
};

struct ChmFile {
    ChmFile() = default;
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    std::unique_ptr<ByteSource> source;
    DiagnosticSink* sink = nullptr;  // never null while open

    std::array<std::uint8_t, 56> header{};          // signature .. GUIDs, as stored
    std::uint32_t version = 0;                      // ITSF version, 2 or 3
    std::array<std::uint64_t, 4> headerSections{};  // section 0 offset, length; directory same
    std::array<std::uint8_t, 84> directoryHeader{};
    std::uint64_t contentOffset = 0;  // file position where section 0 begins

    std::vector<ChmEntry> entries;  // directory order
    std::vector<ChmSection> sections;
    bool sectionsRead = false;  // until then every object is read plainly from section 0

    std::uint64_t directoryOffset() const { return headerSections[2]; }
    std::uint32_t chunkSize() const;
    std::uint32_t chunkCount() const;
    std::uint32_t firstListingChunk() const;
    bool isOpen() const { return source != nullptr; }
};

// Opens a CHM file, or one whose bytes come from `source`. Reads the header, the directory and
// the section list; null when the header or the directory cannot be read, with a fatal outcome
// that says why.
std::unique_ptr<ChmFile> openChm(const std::string& path, Outcome& outcome);
std::unique_ptr<ChmFile> openChm(std::unique_ptr<ByteSource> source, Outcome& outcome);
// The same with the reason alone, when given.
std::unique_ptr<ChmFile> openChm(const std::string& path, std::string* whyNot = nullptr);
std::unique_ptr<ChmFile> openChm(std::unique_ptr<ByteSource> source, std::string* whyNot = nullptr);

// The steps of opening, graded, and as the small results: 0 on success, -1 on failure.
Outcome loadItsfHeader(ChmFile& chm);
Outcome loadDirectory(ChmFile& chm);
int readItsfHeader(ChmFile& chm, std::string* whyNot = nullptr);
int readDirectory(ChmFile& chm, std::string* whyNot = nullptr);
int readSectionNames(ChmFile& chm);

// The first entry, in directory order, whose name equals `name` byte for byte; null when none.
const ChmEntry* findEntry(const std::vector<ChmEntry>& entries, std::string_view name);

// The bytes of one object: a view into decoded bytes that `keep` holds, or into `storage` for an
// object read from the file or pieced together. Valid until the next retrieval with the same
// ObjectBytes.
struct ObjectBytes {
    std::string_view bytes;
    std::string storage;
    std::shared_ptr<const void> keep;
};

// 0 with the object's bytes, or -1 when it cannot be had whole: absent, in a section that does
// not exist, beyond the file, or (partly) in a reset interval of its compressed section that
// could not be decoded. A compressed object is decoded from the reset point at or before it;
// recently decoded bytes are kept (ChmSection::cacheLimit) for the objects after it.
int retrieveEntry(ChmFile& chm, const ChmEntry& entry, ObjectBytes& out);
int retrieveObject(ChmFile& chm, std::string_view name, std::string& out);

// The object named `name`, read plainly from section 0 whatever section 0 is called: the storage
// objects that describe the other sections. 0, or -1 when there is no such object in section 0
// or it lies beyond the file.
int readSectionZeroObject(ChmFile& chm, std::string_view name, ObjectBytes& out);

// Releases the file, the tables and every decoded section. The destructor does it too.
void closeChm(ChmFile& chm);

}  // namespace plovik
