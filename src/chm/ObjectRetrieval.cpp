// Hands out the bytes of stored objects. Plain sections are read from the file on request. A
// compressed section is decoded through a SectionReader from the reset point at or before the
// object; the decoded bytes are kept, in chunks of up to an interval, in a cache of bounded size,
// so that objects that follow one another in the section (as a walk over the directory mostly
// asks for them) decode each interval once. A damaged interval fails only the objects that
// touch it.

#include <algorithm>
#include <cstring>
#include <list>
#include <unordered_map>

#include "chm/ByteReader.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/SectionReader.h"

namespace plovik {

namespace {

int readPlain(ChmFile& chm, std::uint64_t base, const ChmEntry& entry, ObjectBytes& out) {
    const std::uint64_t fileSize = chm.source->size();
    if (!fitsWithin(chm.contentOffset, base, fileSize))
        return -1;
    const std::uint64_t sectionStart = chm.contentOffset + base;
    if (!fitsWithin(sectionStart, entry.offset, fileSize))
        return -1;
    const std::uint64_t start = sectionStart + entry.offset;
    if (!fitsWithin(start, entry.length, fileSize))
        return -1;
    out.storage.resize(static_cast<std::size_t>(entry.length));
    if (!chm.source->read(start, out.storage.data(), out.storage.size())) {
        out.storage.clear();
        return -1;
    }
    out.bytes = out.storage;
    return 0;
}

// The cache's unit: the reset interval, or a whole number of frames that divides it when the
// interval is long, so that chunks never straddle a reset point.
// Bytes reserved ahead for an object pieced together from several chunks.
constexpr std::uint64_t kReserveAtMost = std::uint64_t{1} << 20;

std::uint64_t chunkSizeFor(std::uint64_t resetInterval) {
    constexpr std::uint64_t kMaxFrames = 64;  // 2 MiB
    const std::uint64_t frames = resetInterval / kLzxFrameSize;
    if (frames == 0)
        return kLzxFrameSize;
    for (std::uint64_t d = std::min(frames, kMaxFrames); d > 1; --d) {
        if (frames % d == 0)
            return d * kLzxFrameSize;
    }
    return kLzxFrameSize;
}

}  // namespace

// The reader of one compressed section and the decoded bytes it keeps.
class DecodedSection {
public:
    DecodedSection(ChmFile& chm, LzxSectionLayout layout, std::size_t limit)
        : chm_(chm),
          reader_(chm, std::move(layout)),
          chunkSize_(chunkSizeFor(reader_.resetInterval())),
          limit_(limit) {}

    // 0 with the bytes of [offset, offset + length), or -1 when they cannot be had whole.
    int fetch(std::uint64_t offset, std::uint64_t length, ObjectBytes& out) {
        if (!fitsWithin(offset, length, reader_.length()))
            return -1;
        if (length == 0)
            return 0;
        const std::uint64_t end = offset + length;
        const std::uint64_t first = offset / chunkSize_;
        const std::uint64_t last = (end - 1) / chunkSize_;
        for (std::uint64_t c = first; c <= last; ++c) {
            if (failed_.count(c))
                return -1;
        }
        if (first == last) {
            // Inside one kept chunk: a view into it, which `out` keeps alive.
            if (!cached(first) && limit_ > 0)
                decode(offset, end, nullptr);
            if (const Chunk* chunk = cached(first)) {
                out.keep = chunk->bytes;
                out.bytes = std::string_view(reinterpret_cast<const char*>(chunk->bytes.get()) +
                                                 (offset - first * chunkSize_),
                                             static_cast<std::size_t>(length));
                return 0;
            }
            if (failed_.count(first))
                return -1;
        }
        // Pieced together as the bytes come: a length a hostile directory claims costs nothing
        // until the section really produces that much.
        out.storage.clear();
        out.storage.reserve(
            static_cast<std::size_t>(std::min<std::uint64_t>(length, kReserveAtMost)));
        std::uint64_t done = offset;
        while (done < end) {
            const std::uint64_t c = done / chunkSize_;
            const std::uint64_t chunkEnd = std::min(end, (c + 1) * chunkSize_);
            if (const Chunk* chunk = cached(c)) {
                out.storage.append(
                    reinterpret_cast<const char*>(chunk->bytes.get()) + (done - c * chunkSize_),
                    static_cast<std::size_t>(chunkEnd - done));
                done = chunkEnd;
                continue;
            }
            if (!decode(done, end, &out.storage))
                return -1;
            done = end;
        }
        out.bytes = out.storage;
        return 0;
    }

private:
    struct Chunk {
        std::shared_ptr<std::uint8_t[]> bytes;
        std::size_t size = 0;
        std::list<std::uint64_t>::iterator age;  // its place in ages_
    };

    const Chunk* cached(std::uint64_t index) {
        auto it = chunks_.find(index);
        if (it == chunks_.end())
            return nullptr;
        ages_.splice(ages_.begin(), ages_, it->second.age);
        return &it->second;
    }

    void keepChunk(std::uint64_t index, std::shared_ptr<std::uint8_t[]> bytes, std::size_t size) {
        if (chunks_.count(index) || size > limit_)
            return;
        while (cachedBytes_ + size > limit_ && !ages_.empty()) {
            auto oldest = chunks_.find(ages_.back());
            cachedBytes_ -= oldest->second.size;
            // A whole chunk that no ObjectBytes holds any more is reused for the next one.
            if (oldest->second.size == chunkSize_ && oldest->second.bytes.use_count() == 1)
                spare_ = std::move(oldest->second.bytes);
            chunks_.erase(oldest);
            ages_.pop_back();
        }
        ages_.push_front(index);
        chunks_[index] = Chunk{std::move(bytes), size, ages_.begin()};
        cachedBytes_ += size;
    }

    // Decodes the section from the reset point at or before `from` until `end`, keeping every
    // chunk that comes out whole and appending [from, end) to `dest` (unless null). False when
    // part of [from, end) could not be decoded.
    bool decode(std::uint64_t from, std::uint64_t end, std::string* dest) {
        // Go on where the reader is when that is on the way, else start at the reset point.
        if (reader_.position() > from || reader_.position() < reader_.startPointFor(from))
            reader_.seek(from);
        bool ok = true;
        LzxResult firstFailure;
        SectionPiece piece;
        while (reader_.position() < end && reader_.next(piece)) {
            const std::uint64_t pieceEnd = piece.offset + piece.length;
            if (!piece.ok()) {
                for (std::uint64_t c = piece.offset / chunkSize_; c * chunkSize_ < pieceEnd; ++c)
                    failed_.emplace(c, piece.result);
                if (firstFailure.ok())
                    firstFailure = piece.result;
                assembling_.reset();
                if (pieceEnd > from) {
                    ok = false;
                    break;
                }
                continue;
            }
            keepChunksOf(piece);
            if (dest && ok && pieceEnd > from && piece.offset < end) {
                const std::uint64_t a = std::max(from, piece.offset);
                const std::uint64_t b = std::min(end, pieceEnd);
                dest->append(reinterpret_cast<const char*>(piece.data) + (a - piece.offset),
                             static_cast<std::size_t>(b - a));
            }
        }
        // The decoder's result line: after the first decoding, and whenever damage shows.
        if (!reported_ || !firstFailure.ok()) {
            diagnose(*chm_.sink, DiagnosticStream::Output, "LZXResult: %d\n", firstFailure.code());
            reported_ = true;
        }
        return ok && reader_.position() >= end;
    }

    // Copies the piece into chunks; a chunk is kept once all of it has come.
    void keepChunksOf(const SectionPiece& piece) {
        const std::uint64_t pieceEnd = piece.offset + piece.length;
        std::uint64_t at = piece.offset;
        while (at < pieceEnd) {
            const std::uint64_t c = at / chunkSize_;
            const std::uint64_t chunkStart = c * chunkSize_;
            const std::uint64_t chunkEnd = std::min(chunkStart + chunkSize_, reader_.length());
            const std::uint64_t partEnd = std::min(chunkEnd, pieceEnd);
            const auto size = static_cast<std::size_t>(chunkEnd - chunkStart);
            if (at == chunkStart) {
                assembling_.index = c;
                assembling_.filled = 0;
                if (spare_ && size == chunkSize_)
                    assembling_.bytes = std::move(spare_);
                else
                    assembling_.bytes = std::make_shared_for_overwrite<std::uint8_t[]>(size);
            }
            if (assembling_.bytes && assembling_.index == c &&
                assembling_.filled == at - chunkStart) {
                std::memcpy(assembling_.bytes.get() + assembling_.filled,
                            piece.data + (at - piece.offset),
                            static_cast<std::size_t>(partEnd - at));
                assembling_.filled += static_cast<std::size_t>(partEnd - at);
                if (assembling_.filled == size) {
                    keepChunk(c, std::move(assembling_.bytes), size);
                    assembling_.reset();
                }
            }
            at = partEnd;
        }
    }

    struct Assembly {
        std::uint64_t index = 0;
        std::size_t filled = 0;
        std::shared_ptr<std::uint8_t[]> bytes;
        void reset() { bytes.reset(); }
    };

    ChmFile& chm_;
    SectionReader reader_;
    const std::uint64_t chunkSize_;
    const std::size_t limit_;
    std::unordered_map<std::uint64_t, Chunk> chunks_;
    std::list<std::uint64_t> ages_;  // chunk indexes, most recently used first
    std::size_t cachedBytes_ = 0;
    std::unordered_map<std::uint64_t, LzxResult> failed_;  // chunks that could not be decoded
    Assembly assembling_;
    std::shared_ptr<std::uint8_t[]> spare_;  // an evicted chunk's buffer, to fill again
    bool reported_ = false;
};

int readSectionZeroObject(ChmFile& chm, std::string_view name, ObjectBytes& out) {
    out.bytes = {};
    out.storage.clear();
    out.keep.reset();
    if (!chm.isOpen())
        return -1;
    const ChmEntry* entry = findEntry(chm.entries, name);
    if (!entry || entry->section != 0)
        return -1;
    return readPlain(chm, 0, *entry, out);
}

int retrieveEntry(ChmFile& chm, const ChmEntry& entry, ObjectBytes& out) {
    out.bytes = {};
    out.storage.clear();
    out.keep.reset();
    if (!chm.isOpen())
        return -1;
    // While the section list itself is being read, everything is read plainly from section 0.
    if (!chm.sectionsRead)
        return readPlain(chm, 0, entry, out);
    if (entry.section >= chm.sections.size())
        return -1;
    ChmSection& section = chm.sections[entry.section];
    if (!section.compressed)
        return readPlain(chm, section.baseOffset, entry, out);
    bool first = false;
    if (!section.decodeAttempted) {
        section.decodeAttempted = true;
        LzxSectionLayout layout;
        if (readLzxSectionLayout(chm, entry.section, layout)) {
            section.length = layout.length;
            section.decoded =
                std::make_shared<DecodedSection>(chm, std::move(layout), section.cacheLimit);
            first = true;
        }
    }
    if (!section.decoded)
        return -1;
    const int rc = section.decoded->fetch(entry.offset, entry.length, out);
    if (first) {
        diagnose(*chm.sink, DiagnosticStream::Error, "offset = %llx\n",
                 static_cast<unsigned long long>(entry.offset));
        diagnose(*chm.sink, DiagnosticStream::Error, "length = %llx\n",
                 static_cast<unsigned long long>(entry.length));
    }
    return rc;
}

int retrieveObject(ChmFile& chm, std::string_view name, std::string& out) {
    out.clear();
    const ChmEntry* entry = findEntry(chm.entries, name);
    if (!entry)
        return -1;
    ObjectBytes bytes;
    if (retrieveEntry(chm, *entry, bytes) != 0)
        return -1;
    out.assign(bytes.bytes);
    return 0;
}

}  // namespace plovik
