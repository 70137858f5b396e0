#include "support/chm/ChmWriter.h"

#include <algorithm>
#include <utility>

namespace plovik::test {

namespace {

constexpr std::uint32_t kItsfV3HeaderSize = 0x60;
constexpr std::uint32_t kItsfV2HeaderSize = 0x58;
constexpr std::uint32_t kHeaderSection0Size = 0x18;
constexpr std::uint32_t kItspHeaderSize = 0x54;
constexpr std::uint32_t kListingHeaderSize = 20;
constexpr std::uint32_t kIndexHeaderSize = 8;
constexpr char kTransformGuid[] = "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}";

// The GUIDs every ITSF file carries, as stored.
constexpr unsigned char kItsfGuid0[16] = {0x10, 0xfd, 0x01, 0x7c, 0xaa, 0x7b, 0xd0, 0x11,
                                          0x9e, 0x0c, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec};
constexpr unsigned char kItsfGuid1[16] = {0x11, 0xfd, 0x01, 0x7c, 0xaa, 0x7b, 0xd0, 0x11,
                                          0x9e, 0x0c, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec};
constexpr unsigned char kItspGuid[16] = {0x6a, 0x92, 0x02, 0x5d, 0x2e, 0x21, 0xd0, 0x11,
                                         0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec};

void putU16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putI32(std::string& out, std::int32_t v) {
    putU32(out, static_cast<std::uint32_t>(v));
}

void putGuid(std::string& out, const unsigned char (&guid)[16]) {
    out.append(reinterpret_cast<const char*>(guid), 16);
}

void setU16At(std::string& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

std::string utf16(std::string_view text) {
    std::string out;
    for (char c : text)
        putU16(out, static_cast<unsigned char>(c));
    return out;
}

std::string storageName(std::string_view section, std::string_view rest) {
    return "::DataSpace/Storage/" + std::string(section) + "/" + std::string(rest);
}

// Entries packed into chunks of one directory level, with each chunk's entry offsets.
struct PackedChunk {
    std::string entries;
    std::vector<std::uint32_t> offsets;  // relative to the first entry
    std::string firstName;
};

std::uint32_t quickRefBytes(std::size_t count, std::uint32_t density) {
    const std::size_t every = 1 + (std::size_t{1} << density);
    return static_cast<std::uint32_t>(2 + 2 * (count == 0 ? 0 : (count - 1) / every));
}

// The chunk's body from its header on: entries, zeros, quick-reference area at the end.
std::string finishChunk(std::string header, const PackedChunk& chunk, std::uint32_t chunkSize,
                        std::uint32_t density) {
    std::string out = std::move(header);
    out += chunk.entries;
    out.resize(chunkSize, '\0');
    const std::size_t every = 1 + (std::size_t{1} << density);
    setU16At(out, chunkSize - 2, static_cast<std::uint32_t>(chunk.offsets.size()));
    std::size_t slot = 0;
    for (std::size_t i = every; i < chunk.offsets.size(); i += every, ++slot) {
        setU16At(out, chunkSize - 4 - 2 * slot, chunk.offsets[i]);
    }
    return out;
}

}  // namespace

std::string chmEncInt(std::uint64_t value) {
    std::string groups;
    do {
        groups.push_back(static_cast<char>(value & 0x7F));
        value >>= 7;
    } while (value != 0);
    std::string out;
    for (std::size_t i = groups.size(); i-- > 0;) {
        char c = groups[i];
        if (i != 0)
            c = static_cast<char>(c | 0x80);
        out.push_back(c);
    }
    return out;
}

bool chmNameLess(std::string_view a, std::string_view b) {
    auto lower = [](char c) {
        auto u = static_cast<unsigned char>(c);
        return static_cast<unsigned char>(u >= 'A' && u <= 'Z' ? u + 32 : u);
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return lower(x) < lower(y); });
}

std::string ChmWriter::contentName(std::string_view section) {
    return storageName(section, "Content");
}
std::string ChmWriter::controlDataName(std::string_view section) {
    return storageName(section, "ControlData");
}
std::string ChmWriter::spanInfoName(std::string_view section) {
    return storageName(section, "SpanInfo");
}
std::string ChmWriter::transformListName(std::string_view section) {
    return storageName(section, "Transform/List");
}
std::string ChmWriter::resetTableName(std::string_view section) {
    return storageName(section,
                       std::string("Transform/") + kTransformGuid + "/InstanceData/ResetTable");
}

void ChmWriter::addFile(std::string name, std::string bytes, Section section) {
    entries_.push_back({name, static_cast<std::uint64_t>(section), 0, bytes.size()});
    files_.push_back({std::move(name), std::move(bytes), section, entries_.size() - 1});
}

void ChmWriter::addFolder(std::string name) {
    entries_.push_back({std::move(name), 0, 0, 0});
}

void ChmWriter::addRawEntry(std::string name, std::uint64_t section, std::uint64_t offset,
                            std::uint64_t length) {
    entries_.push_back({std::move(name), section, offset, length});
}

void ChmWriter::setRawContent(std::string content, std::uint64_t uncompressedLength,
                              std::vector<std::uint64_t> frameOffsets) {
    rawContent_ = std::move(content);
    rawUncompressedLength_ = uncompressedLength;
    rawFrameOffsets_ = std::move(frameOffsets);
}

bool ChmWriter::fail(std::string message) {
    error_ = std::move(message);
    return false;
}

std::string ChmWriter::build() {
    error_.clear();
    info_ = Info{};
    const Layout& lay = layout_;
    const Compression& comp = compression_;
    if (lay.itsfVersion != 2 && lay.itsfVersion != 3) {
        fail("ITSF version must be 2 or 3");
        return {};
    }
    const std::string section1 = sectionNames_.size() > 1 ? sectionNames_[1] : "MSCompressed";
    std::vector<Entry> entries = entries_;

    // The compressed section.
    bool anyCompressedFile = false;
    for (const auto& f : files_)
        anyCompressedFile |= f.section == Section::Compressed;
    const bool hasCompressed = rawContent_ || script_ || anyCompressedFile || alwaysCompressed_;
    std::string content;
    std::uint64_t uncompressedLength = 0;
    std::vector<std::uint64_t> frames;
    if (rawContent_) {
        content = *rawContent_;
        uncompressedLength = rawUncompressedLength_;
        frames = rawFrameOffsets_;
    } else if (hasCompressed) {
        if (script_ && anyCompressedFile) {
            fail("compressed files cannot be combined with an LZX script");
            return {};
        }
        if (script_) {
            info_.lzx = encodeLzx(*script_, comp.lzx);
        } else {
            std::string stream;
            for (const auto& f : files_) {
                if (f.section != Section::Compressed)
                    continue;
                entries[f.entryIndex].offset = stream.size();
                info_.compressedFiles[f.name] = {stream.size(), f.bytes.size()};
                stream += f.bytes;
            }
            info_.lzx = encodeGreedy(stream, comp.lzx);
        }
        if (!info_.lzx.ok) {
            fail("LZX: " + info_.lzx.error);
            return {};
        }
        content = info_.lzx.compressed;
        uncompressedLength = info_.lzx.decoded.size();
        frames = info_.lzx.frameOffsets;
        info_.compressedSection = info_.lzx.decoded;
    }
    const std::uint64_t compressedLength = content.size();

    // Internal objects, made unless the test gave their bytes.
    std::map<std::string, std::string> made;
    {
        std::string names;
        putU16(names, 0);
        putU16(names, static_cast<std::uint32_t>(sectionNames_.size()));
        for (const auto& n : sectionNames_) {
            putU16(names, static_cast<std::uint32_t>(n.size()));
            names += utf16(n);
            putU16(names, 0);
        }
        setU16At(names, 0, static_cast<std::uint32_t>(names.size() / 2));
        made[nameListName()] = names;
    }
    if (hasCompressed) {
        const std::uint32_t windowUnits = (1u << comp.lzx.windowBits) / 32768;
        std::string control;
        putU32(control, comp.controlWords);
        std::string signature = comp.signature;
        signature.resize(4, '\0');
        control += signature;
        putU32(control, comp.version);
        putU32(control, comp.resetIntervalField.value_or(comp.lzx.resetIntervalFrames
                                                             ? comp.lzx.resetIntervalFrames
                                                             : windowUnits));
        putU32(control, comp.windowSizeField.value_or(windowUnits));
        putU32(control, comp.cacheSize);
        putU32(control, 0);
        made[controlDataName(section1)] = control;

        std::string span;
        putU64(span, uncompressedLength);
        made[spanInfoName(section1)] = span;
        // hhc and Free Pascal store only the first 19 characters; nothing reads the object.
        made[transformListName(section1)] = utf16(kTransformGuid).substr(0, 38);

        // 7-Zip wants an entry for the frame that would begin at the end when the length is a
        // whole number of frames.
        std::vector<std::uint64_t> table = frames;
        const bool wholeFrames = uncompressedLength > 0 && uncompressedLength % 32768 == 0;
        if (comp.resetTableEndEntry || wholeFrames)
            table.push_back(compressedLength);
        if (comp.resetTableEntries)
            table = *comp.resetTableEntries;
        std::string reset;
        putU32(reset, 2);
        putU32(reset, static_cast<std::uint32_t>(table.size()));
        putU32(reset, 8);
        putU32(reset, 0x28);
        putU64(reset, comp.uncompressedLengthField.value_or(uncompressedLength));
        putU64(reset, comp.compressedLengthField.value_or(compressedLength));
        putU64(reset, comp.frameLengthField.value_or(0x8000));
        for (std::uint64_t f : table)
            putU64(reset, f);
        made[resetTableName(section1)] = reset;

        std::string stored = content;
        if (comp.keepContentBytes && *comp.keepContentBytes < stored.size()) {
            stored.resize(*comp.keepContentBytes);
        }
        stored.append(comp.contentPadding, '\0');
        made[contentName(section1)] = stored;
    }
    for (const auto& [name, bytes] : objects_)
        made[name] = bytes;

    // Section 0: internal objects first, then the test's files and objects, then the reset
    // table and the Content.
    std::vector<std::string> order = {nameListName()};
    if (hasCompressed) {
        order.push_back(controlDataName(section1));
        order.push_back(spanInfoName(section1));
        order.push_back(transformListName(section1));
    }
    const std::vector<std::string> tail =
        hasCompressed ? std::vector<std::string>{resetTableName(section1), contentName(section1)}
                      : std::vector<std::string>{};
    std::string section0;
    std::vector<std::pair<std::string, std::uint64_t>> placed;  // object name, offset
    auto place = [&](const std::string& name) {
        if (omitted_.count(name) || !made.count(name))
            return;
        if (std::find_if(placed.begin(), placed.end(),
                         [&](const auto& p) { return p.first == name; }) != placed.end()) {
            return;
        }
        placed.push_back({name, section0.size()});
        section0 += made[name];
    };
    for (const auto& name : order)
        place(name);
    for (const auto& f : files_) {
        if (f.section != Section::Uncompressed)
            continue;
        entries[f.entryIndex].offset = section0.size();
        section0 += f.bytes;
    }
    for (const auto& [name, bytes] : objects_) {
        if (std::find(tail.begin(), tail.end(), name) == tail.end())
            place(name);
    }
    for (const auto& name : tail)
        place(name);
    for (const auto& [name, offset] : placed) {
        entries.push_back({name, 0, offset, made[name].size()});
    }

    if (lay.sorted) {
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return chmNameLess(a.name, b.name);
        });
    }
    std::string directory = buildDirectory(std::move(entries));
    if (!error_.empty())
        return {};

    // Header, header section 0, directory, content.
    const std::uint32_t headerSize = lay.itsfVersion == 3 ? kItsfV3HeaderSize : kItsfV2HeaderSize;
    const std::uint64_t directoryOffset = headerSize + kHeaderSection0Size;
    const std::uint64_t contentOffset = directoryOffset + directory.size();
    const std::uint64_t fileSize = contentOffset + section0.size();
    std::string out;
    out += "ITSF";
    putU32(out, static_cast<std::uint32_t>(lay.itsfVersion));
    putU32(out, headerSize);
    putU32(out, 1);
    putU32(out, lay.timeStamp);
    putU32(out, lay.languageId);
    putGuid(out, kItsfGuid0);
    putGuid(out, kItsfGuid1);
    putU64(out, headerSize);
    putU64(out, kHeaderSection0Size);
    putU64(out, directoryOffset);
    putU64(out, directory.size());
    if (lay.itsfVersion == 3)
        putU64(out, contentOffset);
    putU32(out, 0x1FE);
    putU32(out, 0);
    putU64(out, fileSize);
    putU32(out, 0);
    putU32(out, 0);
    out += directory;
    out += section0;

    info_.directoryOffset = directoryOffset;
    info_.contentOffset = contentOffset;
    for (const auto& [name, offset] : placed) {
        info_.objects[name] = {contentOffset + offset, made[name].size()};
    }
    if (lay.truncateFileTo && *lay.truncateFileTo < out.size())
        out.resize(*lay.truncateFileTo);
    return out;
}

std::string ChmWriter::buildDirectory(std::vector<Entry> entries) {
    const Layout& lay = layout_;
    const std::uint32_t chunkSize = lay.chunkSize;
    const std::uint32_t density = lay.quickRefDensity;
    if (density > 12) {
        fail("quick-reference density too large");
        return {};
    }

    // Packs serialized records into chunks whose header takes headerSize bytes.
    auto pack = [&](const std::vector<std::pair<std::string, std::string>>& records,
                    std::uint32_t headerSize, std::vector<PackedChunk>& chunks) {
        chunks.assign(1, PackedChunk{});
        for (const auto& item : records) {
            const std::string& name = item.first;
            const std::string& record = item.second;
            PackedChunk* c = &chunks.back();
            auto fits = [&](const PackedChunk& ch) {
                bool roomy = headerSize + ch.entries.size() + record.size() +
                                 quickRefBytes(ch.offsets.size() + 1, density) <=
                             chunkSize;
                bool countOk =
                    lay.maxEntriesPerChunk == 0 || ch.offsets.size() < lay.maxEntriesPerChunk;
                return roomy && countOk;
            };
            if (!fits(*c)) {
                if (c->offsets.empty())
                    return fail("entry \"" + name + "\" does not fit a chunk");
                chunks.emplace_back();
                c = &chunks.back();
                if (!fits(*c))
                    return fail("entry \"" + name + "\" does not fit a chunk");
            }
            if (c->offsets.empty())
                c->firstName = name;
            c->offsets.push_back(static_cast<std::uint32_t>(c->entries.size()));
            c->entries += record;
        }
        return true;
    };

    std::vector<std::pair<std::string, std::string>> records;
    for (const auto& e : entries) {
        records.push_back({e.name, chmEncInt(e.name.size()) + e.name + chmEncInt(e.section) +
                                       chmEncInt(e.offset) + chmEncInt(e.length)});
    }
    std::vector<PackedChunk> listing;
    if (!pack(records, kListingHeaderSize, listing))
        return {};
    const auto listingCount = static_cast<std::uint32_t>(listing.size());

    // Index levels, each naming the first entry of every chunk of the level below, until one
    // chunk holds a level.
    std::vector<std::vector<PackedChunk>> levels;
    bool wantIndex = lay.index == Layout::Index::Always ||
                     (lay.index == Layout::Index::Auto && listingCount > 1);
    std::uint32_t below = 0;  // chunk number of the first chunk of the level below
    std::vector<PackedChunk>* lower = &listing;
    std::uint32_t nextNumber = listingCount;
    while (wantIndex) {
        std::vector<std::pair<std::string, std::string>> indexRecords;
        for (std::size_t i = 0; i < lower->size(); ++i) {
            const std::string& name = (*lower)[i].firstName;
            indexRecords.push_back({name, chmEncInt(name.size()) + name +
                                              chmEncInt(below + static_cast<std::uint32_t>(i))});
        }
        std::vector<PackedChunk> level;
        if (!pack(indexRecords, kIndexHeaderSize, level))
            return {};
        below = nextNumber;
        nextNumber += static_cast<std::uint32_t>(level.size());
        levels.push_back(std::move(level));
        lower = &levels.back();
        wantIndex = lower->size() > 1;
    }
    const std::uint32_t totalChunks = nextNumber;

    std::string dir;
    dir += "ITSP";
    putU32(dir, 1);
    putU32(dir, kItspHeaderSize);
    putU32(dir, 0x0A);
    putU32(dir, lay.chunkSizeField.value_or(chunkSize));
    putU32(dir, density);
    putU32(dir, lay.indexDepth.value_or(1 + static_cast<std::uint32_t>(levels.size())));
    putI32(dir, lay.rootIndexChunk.value_or(
                    levels.empty() ? -1 : static_cast<std::int32_t>(totalChunks - 1)));
    putI32(dir, lay.firstListingChunk.value_or(0));
    putI32(dir, lay.lastListingChunk.value_or(static_cast<std::int32_t>(listingCount - 1)));
    putI32(dir, -1);
    putU32(dir, lay.chunkCount.value_or(totalChunks));
    putU32(dir, lay.languageId);
    putGuid(dir, kItspGuid);
    putU32(dir, kItspHeaderSize);
    putI32(dir, -1);
    putI32(dir, -1);
    putI32(dir, -1);

    for (std::uint32_t k = 0; k < listingCount; ++k) {
        const PackedChunk& c = listing[k];
        std::string header = "PMGL";
        auto it = lay.freeSpace.find(k);
        putU32(header,
               it != lay.freeSpace.end()
                   ? it->second
                   : chunkSize - kListingHeaderSize - static_cast<std::uint32_t>(c.entries.size()));
        putU32(header, 0);
        auto prev = lay.previousChunk.find(k);
        putI32(header,
               prev != lay.previousChunk.end() ? prev->second : static_cast<std::int32_t>(k) - 1);
        auto next = lay.nextChunk.find(k);
        putI32(header, next != lay.nextChunk.end()
                           ? next->second
                           : (k + 1 < listingCount ? static_cast<std::int32_t>(k + 1) : -1));
        dir += finishChunk(std::move(header), c, chunkSize, density);
    }
    for (const auto& level : levels) {
        for (const auto& c : level) {
            std::string header = "PMGI";
            putU32(header,
                   chunkSize - kIndexHeaderSize - static_cast<std::uint32_t>(c.entries.size()));
            dir += finishChunk(std::move(header), c, chunkSize, density);
        }
    }
    info_.listingChunks = listingCount;
    for (const auto& c : listing) {
        std::vector<std::string> names;
        for (std::uint32_t offset : c.offsets) {
            // Each record starts with the name's length and the name.
            std::size_t at = offset;
            std::uint64_t length = 0;
            while (static_cast<unsigned char>(c.entries[at]) & 0x80) {
                length = (length << 7) | (static_cast<unsigned char>(c.entries[at++]) & 0x7F);
            }
            length = (length << 7) | static_cast<unsigned char>(c.entries[at++]);
            names.push_back(c.entries.substr(at, length));
        }
        info_.listingNames.push_back(std::move(names));
    }
    info_.indexChunks = totalChunks - listingCount;
    return dir;
}

}  // namespace plovik::test
