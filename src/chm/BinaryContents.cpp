#include "chm/BinaryContents.h"

#include <cstdint>
#include <utility>

#include "chm/ByteReader.h"
#include "chm/ChmFile.h"

namespace plovik {

namespace {

constexpr std::size_t kEntrySize = 20;
constexpr std::size_t kEntryWithChildrenSize = 28;
constexpr std::size_t kTopicSize = 16;
constexpr std::size_t kUrlRecordSize = 12;
constexpr std::size_t kUrlStringHeader = 8;
constexpr std::uint32_t kHasChildren = 4;
constexpr std::uint32_t kOpensTopic = 8;
constexpr std::uint32_t kNoString = 0xFFFFFFFF;
// Longer than any name or file a contents shows. Many entries may name one long string without a
// NUL; held to this, they cannot make the list hold gigabytes.
constexpr std::size_t kMaxText = 1024;

// The 32-bit word at `offset`, if the bytes hold all of it.
bool wordAt(std::string_view bytes, std::uint64_t offset, std::uint32_t& out) {
    if (!fitsWithin(offset, 4, bytes.size()))
        return false;
    out = loadLe32(reinterpret_cast<const std::uint8_t*>(bytes.data() + offset));
    return true;
}

// The NUL-ended text at `offset`, cut at kMaxText; empty when the offset is outside the bytes.
std::string textAt(std::string_view bytes, std::uint64_t offset) {
    if (offset >= bytes.size())
        return {};
    std::string_view text = bytes.substr(offset, kMaxText);
    return std::string(text.substr(0, text.find('\0')));
}

// The title and file of topic `topic`; both empty when its records cannot be read.
void readTopic(const BinaryContentsObjects& objects, std::uint32_t topic,
               BinaryContentsEntry& entry) {
    const std::uint64_t record = std::uint64_t{topic} * kTopicSize;
    if (!fitsWithin(record, kTopicSize, objects.topics.size()))
        return;
    std::uint32_t title = kNoString;
    std::uint32_t urlRecord = 0;
    wordAt(objects.topics, record + 4, title);
    wordAt(objects.topics, record + 8, urlRecord);
    if (title != kNoString)
        entry.name = textAt(objects.strings, title);

    std::uint32_t urlString = 0;
    if (!fitsWithin(urlRecord, kUrlRecordSize, objects.urlTable.size()) ||
        !wordAt(objects.urlTable, std::uint64_t{urlRecord} + 8, urlString))
        return;
    entry.local = textAt(objects.urlStrings, std::uint64_t{urlString} + kUrlStringHeader);
    // A topic on the web keeps its address apart from the file names; it is a plain string.
    std::uint32_t address = 0;
    if (entry.local.empty() && wordAt(objects.urlStrings, urlString, address) && address != 0)
        entry.local = textAt(objects.urlStrings, address);
}

}  // namespace

Outcome parseBinaryContents(const BinaryContentsObjects& objects,
                            std::vector<BinaryContentsEntry>& out) {
    out.clear();
    const std::string_view toc = objects.tocIdx;
    std::uint32_t first = 0;
    if (!wordAt(toc, 0, first) || first == 0)
        return Outcome::fatal("the binary contents (#TOCIDX) names no first entry");

    std::vector<bool> seen(toc.size(), false);
    std::size_t cut = 0;
    // Offsets still to read with their level: a sibling waits below its elder's children.
    std::vector<std::pair<std::uint32_t, int>> pending{{first, 1}};
    while (!pending.empty()) {
        const auto [offset, level] = pending.back();
        pending.pop_back();
        std::uint32_t flags = 0;
        std::uint32_t value = 0;
        std::uint32_t next = 0;
        if (offset >= toc.size() || seen[offset] || !fitsWithin(offset, kEntrySize, toc.size())) {
            ++cut;
            continue;
        }
        seen[offset] = true;
        wordAt(toc, std::uint64_t{offset} + 4, flags);
        wordAt(toc, std::uint64_t{offset} + 8, value);
        wordAt(toc, std::uint64_t{offset} + 16, next);

        BinaryContentsEntry entry;
        entry.level = level;
        if (flags & kOpensTopic)
            readTopic(objects, value, entry);
        else
            entry.name = textAt(objects.strings, value);
        out.push_back(std::move(entry));

        if (next != 0)
            pending.emplace_back(next, level);
        std::uint32_t child = 0;
        if ((flags & kHasChildren) && fitsWithin(offset, kEntryWithChildrenSize, toc.size()) &&
            wordAt(toc, std::uint64_t{offset} + 20, child) && child != 0)
            pending.emplace_back(child, level + 1);
    }
    if (out.empty())
        return Outcome::fatal("the binary contents (#TOCIDX) holds no entry that can be read");
    if (cut > 0)
        return Outcome::warning(
            "the binary contents (#TOCIDX) has " + std::to_string(cut) +
            (cut == 1 ? " link" : " links") +
            " to no entry or to one read already; what they led to is left out");
    return Outcome::ok();
}

bool hasBinaryContents(const ChmFile& chm) {
    const ChmEntry* toc = findEntry(chm.entries, "/#TOCIDX");
    return toc && toc->length > 0;
}

Outcome readBinaryContents(ChmFile& chm, std::vector<BinaryContentsEntry>& out) {
    out.clear();
    struct Part {
        const char* name;
        bool needed;
        ObjectBytes bytes;
    };
    Part parts[] = {{"/#TOCIDX", true, {}},
                    {"/#TOPICS", false, {}},
                    {"/#URLTBL", false, {}},
                    {"/#URLSTR", false, {}},
                    {"/#STRINGS", true, {}}};
    for (Part& part : parts) {
        const ChmEntry* entry = findEntry(chm.entries, part.name);
        if (entry && retrieveEntry(chm, *entry, part.bytes) == 0)
            continue;
        if (part.needed)
            return Outcome::fatal(std::string("the binary contents cannot be read: ") +
                                  (part.name + 1) + (entry ? " cannot be decoded" : " is missing"));
        part.bytes = ObjectBytes{};
    }
    return parseBinaryContents({parts[0].bytes.bytes, parts[1].bytes.bytes, parts[2].bytes.bytes,
                                parts[3].bytes.bytes, parts[4].bytes.bytes},
                               out);
}

}  // namespace plovik
