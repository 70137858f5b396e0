#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "chm/ByteReader.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/ChmFormat.h"

namespace plovik {

namespace fmt = chmformat;

namespace {

std::string n(std::uint64_t value) {
    return std::to_string(value);
}

// The old small results: 0, or -1 with the reason where the caller wants it.
int smallResult(const Outcome& outcome, std::string* whyNot) {
    if (outcome)
        return 0;
    if (whyNot)
        *whyNot = outcome.reason;
    return -1;
}

// Appends the entries of one listing chunk. Entries never straddle chunks: one that runs past
// the end of the chunk's entry area ends the chunk.
void parseListingChunk(const std::uint8_t* chunk, std::size_t chunkSize,
                       std::vector<ChmEntry>& entries) {
    const std::uint32_t freeSpace = loadLe32(chunk + fmt::kChunkFreeSpace);
    if (freeSpace > chunkSize - fmt::kChunkHeaderSize)
        return;
    const std::uint8_t* p = chunk + fmt::kChunkHeaderSize;
    const std::uint8_t* const end = chunk + chunkSize - freeSpace;
    while (p < end) {
        std::uint64_t nameLength = 0;
        if (!readEncInt(p, end, nameLength) || nameLength > static_cast<std::uint64_t>(end - p)) {
            return;
        }
        ChmEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(nameLength));
        p += nameLength;
        if (!readEncInt(p, end, entry.section) || !readEncInt(p, end, entry.offset) ||
            !readEncInt(p, end, entry.length)) {
            return;
        }
        entries.push_back(std::move(entry));
    }
}

}  // namespace

ChmFile::~ChmFile() {
    closeChm(*this);
}

std::uint32_t ChmFile::chunkSize() const {
    return loadLe32(directoryHeader.data() + fmt::kDirChunkSize);
}
std::uint32_t ChmFile::chunkCount() const {
    return loadLe32(directoryHeader.data() + fmt::kDirChunkCount);
}
std::uint32_t ChmFile::firstListingChunk() const {
    return loadLe32(directoryHeader.data() + fmt::kDirFirstListingChunk);
}

Outcome loadItsfHeader(ChmFile& chm) {
    const std::uint64_t fileSize = chm.source->size();
    std::uint8_t raw[fmt::kItsfV3Size] = {};
    const std::size_t have =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, sizeof raw));
    if (have < fmt::kItsfV2Size || !chm.source->read(0, raw, have))
        return Outcome::fatal("the file is too short to be a CHM file (" + n(fileSize) + " bytes)");
    if (std::memcmp(raw + fmt::kItsfSignature, "ITSF", 4) != 0)
        return Outcome::fatal("not a CHM file (no ITSF signature)");
    std::memcpy(chm.header.data(), raw, chm.header.size());
    chm.version = loadLe32(raw + fmt::kItsfVersion);
    for (std::size_t i = 0; i < 4; ++i) {
        chm.headerSections[i] = loadLe64(raw + fmt::kItsfSection0Offset + 8 * i);
    }
    const std::uint64_t dirOffset = chm.headerSections[2];
    const std::uint64_t dirLength = chm.headerSections[3];
    if (chm.version == 2) {
        // No content offset in the header: section 0 follows the directory.
        if (!fitsWithin(dirOffset, dirLength, fileSize))
            return Outcome::fatal("the directory (" + n(dirLength) + " bytes at " + n(dirOffset) +
                                  ") reaches beyond the end of the file (" + n(fileSize) +
                                  " bytes)");
        chm.contentOffset = dirOffset + dirLength;
    } else if (chm.version == 3) {
        if (have < fmt::kItsfV3Size)
            return Outcome::fatal("the file is too short to be a CHM file (" + n(fileSize) +
                                  " bytes)");
        chm.contentOffset = loadLe64(raw + fmt::kItsfContentOffset);
    } else {
        return Outcome::fatal("unsupported ITSF version " + n(chm.version));
    }
    if (!fitsWithin(dirOffset, fmt::kDirHeaderSize, fileSize))
        return Outcome::fatal("the directory (at " + n(dirOffset) +
                              ") lies beyond the end of the file (" + n(fileSize) + " bytes)");
    if (chm.contentOffset > fileSize)
        return Outcome::fatal("the content (at " + n(chm.contentOffset) +
                              ") lies beyond the end of the file (" + n(fileSize) + " bytes)");
    return Outcome::ok();
}

int readItsfHeader(ChmFile& chm, std::string* whyNot) {
    return smallResult(loadItsfHeader(chm), whyNot);
}

Outcome loadDirectory(ChmFile& chm) {
    const std::uint64_t fileSize = chm.source->size();
    const std::uint64_t dirOffset = chm.directoryOffset();
    if (!chm.source->read(dirOffset, chm.directoryHeader.data(), chm.directoryHeader.size()))
        return Outcome::fatal("the directory header (at " + n(dirOffset) + ") cannot be read");
    chm.entries.clear();
    const std::uint32_t chunkCount = chm.chunkCount();
    if (chunkCount == 0)
        return Outcome::ok();
    const std::uint32_t chunkSize = chm.chunkSize();
    if (chunkSize <= fmt::kChunkHeaderSize)
        return Outcome::fatal("directory chunk size " + n(chunkSize) + " is too small");
    // Only chunks that lie wholly inside the file are read.
    const std::uint64_t chunk0 = dirOffset + fmt::kDirHeaderSize;
    const std::uint64_t present = (fileSize - chunk0) / chunkSize;
    const std::uint32_t usable =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkCount, present));
    if (usable == 0)
        return Outcome::fatal("the directory's " + n(chunkCount) + " chunks of " + n(chunkSize) +
                              " bytes lie beyond the end of the file (" + n(fileSize) + " bytes)");

    std::vector<std::uint8_t> chunk(chunkSize);
    auto readChunk = [&](std::uint32_t k) {
        return chm.source->read(chunk0 + static_cast<std::uint64_t>(k) * chunkSize, chunk.data(),
                                chunkSize) &&
               std::memcmp(chunk.data(), fmt::kListingSignature, 4) == 0;
    };
    // The walk starts at chunk 0, whatever the header names as the first listing chunk: writers
    // have been seen to name chunk 1 while chunk 0 is a listing chunk too. Only when chunk 0 is
    // not a listing chunk does the header's field decide.
    std::uint32_t k = 0;
    if (!readChunk(0)) {
        k = chm.firstListingChunk();
        if (k >= usable || !readChunk(k))
            return Outcome::fatal("the directory has no listing chunk");
    }
    // Follow the next-chunk chain; a chunk seen before, a number beyond the directory or a chunk
    // that is not a listing chunk ends it, so no chain runs longer than the chunk count.
    std::vector<bool> visited(usable, false);
    for (;;) {
        visited[k] = true;
        parseListingChunk(chunk.data(), chunkSize, chm.entries);
        const std::uint32_t next = loadLe32(chunk.data() + fmt::kChunkNext);
        if (next >= usable || visited[next] || !readChunk(next))
            break;
        k = next;
    }
    return Outcome::ok();
}

int readDirectory(ChmFile& chm, std::string* whyNot) {
    return smallResult(loadDirectory(chm), whyNot);
}

int readSectionNames(ChmFile& chm) {
    chm.sections.clear();
    chm.sectionsRead = false;
    ObjectBytes list;
    if (const ChmEntry* entry = findEntry(chm.entries, fmt::kNameListName);
        entry && retrieveEntry(chm, *entry, list) == 0 && list.bytes.size() >= 4) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(list.bytes.data());
        const std::size_t size = list.bytes.size();
        const unsigned count = loadLe16(data + 2);
        std::size_t p = 4;
        for (unsigned i = 0; i < count && size - p >= 2; ++i) {
            const std::size_t units = loadLe16(data + p);
            p += 2;
            if (units > (size - p) / 2)
                break;  // a record beyond the object
            ChmSection section;
            for (std::size_t u = 0; u < units; ++u) {
                const char c = static_cast<char>(data[p + 2 * u]);
                if (c == '\0')
                    break;
                section.name.push_back(c);
            }
            p += std::min(size - p, (units + 1) * 2);
            diagnose(*chm.sink, DiagnosticStream::Error, "name = %s\n", section.name.c_str());
            section.compressed = section.name == fmt::kCompressedSectionName;
            chm.sections.push_back(std::move(section));
        }
    }
    // Without a readable list there is still section 0, stored plainly.
    if (chm.sections.empty())
        chm.sections.emplace_back();

    // A plain section other than 0 starts where its Content object lies in section 0.
    std::unordered_map<std::string_view, std::uint64_t> contentOffsets;
    constexpr std::string_view prefix = fmt::kStoragePrefix;
    constexpr std::string_view suffix = "/Content";
    for (const ChmEntry& e : chm.entries) {
        std::string_view n = e.name;
        if (n.size() > prefix.size() + suffix.size() && n.substr(0, prefix.size()) == prefix &&
            n.substr(n.size() - suffix.size()) == suffix) {
            contentOffsets[n.substr(prefix.size(), n.size() - prefix.size() - suffix.size())] =
                e.offset;  // the last one wins
        }
    }
    for (std::size_t i = 1; i < chm.sections.size(); ++i) {
        auto it = contentOffsets.find(chm.sections[i].name);
        if (it != contentOffsets.end())
            chm.sections[i].baseOffset = it->second;
    }
    chm.sectionsRead = true;
    return 0;
}

const ChmEntry* findEntry(const std::vector<ChmEntry>& entries, std::string_view name) {
    for (const ChmEntry& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

std::unique_ptr<ChmFile> openChm(std::unique_ptr<ByteSource> source, Outcome& outcome) {
    if (!source) {
        outcome = Outcome::fatal("the file cannot be opened");
        return nullptr;
    }
    auto chm = std::make_unique<ChmFile>();
    chm->source = std::move(source);
    chm->sink = &diagnosticSink();
    outcome = loadItsfHeader(*chm);
    if (outcome)
        outcome = loadDirectory(*chm);
    if (!outcome)
        return nullptr;
    readSectionNames(*chm);
    return chm;
}

std::unique_ptr<ChmFile> openChm(const std::string& path, Outcome& outcome) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        outcome = Outcome::fatal("it is a folder, not a file");
        return nullptr;
    }
    auto source = openFileSource(path);
    if (!source) {
        outcome = Outcome::fatal("the file cannot be opened for reading");
        return nullptr;
    }
    return openChm(std::move(source), outcome);
}

std::unique_ptr<ChmFile> openChm(std::unique_ptr<ByteSource> source, std::string* whyNot) {
    Outcome outcome;
    auto chm = openChm(std::move(source), outcome);
    smallResult(outcome, whyNot);
    return chm;
}

std::unique_ptr<ChmFile> openChm(const std::string& path, std::string* whyNot) {
    Outcome outcome;
    auto chm = openChm(path, outcome);
    smallResult(outcome, whyNot);
    return chm;
}

void closeChm(ChmFile& chm) {
    chm.source.reset();
    chm.entries.clear();
    chm.entries.shrink_to_fit();
    chm.sections.clear();
    chm.sections.shrink_to_fit();
    chm.sectionsRead = false;
}

}  // namespace plovik
