#include "chm/SectionReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "chm/ByteReader.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFormat.h"

namespace plovik {

namespace fmt = chmformat;

namespace {

// The most output LZX can produce per input byte: a 1-bit match code and a 1-bit length code
// for a 257-byte match repeating the last offset make 1028; the rest is headroom for headers.
constexpr std::uint64_t kMaxExpansion = 1032;
constexpr std::uint64_t kMaxExpansionSlack = 65536;

// Reset table fields beyond the lengths (ChmFormat.h names those): the entries begin at the
// header size, one per `frame length` bytes of output.
constexpr std::size_t kResetEntryCount = 4;
constexpr std::size_t kResetEntrySize = 8;
constexpr std::size_t kResetHeaderSize = 12;
constexpr std::size_t kResetFrameLength = 32;
constexpr std::size_t kResetFullHeader = 40;

void say(std::string* whyNot, const std::string& text) {
    if (whyNot)
        *whyNot = text;
}

std::string numbers(const char* format, unsigned long long a, unsigned long long b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

bool windowBitsFor(std::uint64_t windowBytes, int& bits) {
    for (int b = 15; b <= 21; ++b) {
        if (windowBytes == (std::uint64_t{1} << b)) {
            bits = b;
            return true;
        }
    }
    return false;
}

// The storage objects that describe a section lie in section 0 and are read plainly whatever
// section 0 is called, so a hostile file cannot make decoding a section need that same section.
bool storageObject(ChmFile& chm, const std::string& name, ObjectBytes& out) {
    return readSectionZeroObject(chm, name, out) == 0;
}

// Reset point k's Content offsets from the reset table; just {0} when the table cannot say.
std::vector<std::uint64_t> resetPointsFrom(std::string_view table, std::uint64_t resetInterval,
                                           std::uint64_t length) {
    std::vector<std::uint64_t> points{0};
    const auto* r = reinterpret_cast<const std::uint8_t*>(table.data());
    if (table.size() < kResetFullHeader || resetInterval == 0)
        return points;
    const std::uint32_t count = loadLe32(r + kResetEntryCount);
    const std::uint32_t entrySize = loadLe32(r + kResetEntrySize);
    const std::uint32_t headerSize = loadLe32(r + kResetHeaderSize);
    const std::uint64_t frameLength = loadLe64(r + kResetFrameLength);
    if (entrySize != 8 || headerSize < kResetFullHeader || headerSize > table.size() ||
        frameLength == 0 || resetInterval % frameLength != 0) {
        return points;
    }
    const std::uint64_t listed = std::min<std::uint64_t>(count, (table.size() - headerSize) / 8);
    const std::uint64_t step = resetInterval / frameLength;
    const std::uint64_t intervals = length / resetInterval + (length % resetInterval ? 1 : 0);
    for (std::uint64_t k = 1; k < intervals && k * step < listed; ++k)
        points.push_back(loadLe64(r + headerSize + k * step * 8));
    return points;
}

// The Content object's place in the file, without reading it.
class ContentInput final : public LzxInput {
public:
    ContentInput(ByteSource& source, std::uint64_t offset, std::uint64_t length)
        : source_(source), offset_(offset), length_(length) {}
    std::uint64_t size() const override { return length_; }
    bool read(std::uint64_t offset, std::uint8_t* to, std::size_t count) override {
        return fitsWithin(offset, count, length_) && source_.read(offset_ + offset, to, count);
    }

private:
    ByteSource& source_;
    std::uint64_t offset_;
    std::uint64_t length_;
};

}  // namespace

bool readLzxSectionLayout(ChmFile& chm, std::size_t index, LzxSectionLayout& layout,
                          std::string* whyNot) {
    layout = LzxSectionLayout{};
    if (!chm.isOpen() || index >= chm.sections.size()) {
        say(whyNot, "there is no section " + std::to_string(index));
        return false;
    }
    DiagnosticSink& sink = *chm.sink;
    const std::string storage = std::string(fmt::kStoragePrefix) + chm.sections[index].name;

    ObjectBytes control;
    if (!storageObject(chm, storage + "/ControlData", control)) {
        say(whyNot, "the section has no ControlData in section 0");
        return false;
    }
    const auto* c = reinterpret_cast<const std::uint8_t*>(control.bytes.data());
    if (control.bytes.size() < fmt::kControlSignature + 4) {
        say(whyNot, numbers("the ControlData has %llu bytes", control.bytes.size()));
        return false;
    }
    if (std::memcmp(c + fmt::kControlSignature, "LZXC", 4) != 0) {
        char signature[5] = {};
        std::memcpy(signature, c + fmt::kControlSignature, 4);
        diagnose(sink, DiagnosticStream::Error, "Compression method not LZXC: %-4.4s\n", signature);
        say(whyNot, std::string("the compression method is not LZXC but ") + signature);
        return false;
    }
    if (control.bytes.size() < fmt::kControlMinSize) {
        say(whyNot, numbers("the ControlData has %llu bytes", control.bytes.size()));
        return false;
    }
    // Version 2 counts the window and the reset interval in 32 KiB frames, version 1 in bytes.
    const std::uint32_t version = loadLe32(c + fmt::kControlVersion);
    const std::uint64_t unit = version == 1 ? 1 : kLzxFrameSize;
    const std::uint32_t windowField = loadLe32(c + fmt::kControlWindowSize);
    if (!windowBitsFor(windowField * unit, layout.windowBits)) {
        diagnose(sink, DiagnosticStream::Error, "Window size invalid: %x\n", windowField);
        say(whyNot, numbers("window size field %llu is no window of 32 KiB to 2 MiB", windowField));
        return false;
    }
    layout.resetInterval = lzxEffectiveResetInterval(
        layout.windowBits, loadLe32(c + fmt::kControlResetInterval) * unit);

    const std::string resetName =
        storage + "/Transform/" + fmt::kLzxTransformGuid + "/InstanceData/ResetTable";
    diagnose(sink, DiagnosticStream::Error, "%s\n", resetName.c_str());
    ObjectBytes reset;
    std::uint64_t compressed = 0;
    bool haveCompressed = false;
    if (storageObject(chm, resetName, reset) && reset.bytes.size() >= fmt::kResetMinSize) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(reset.bytes.data());
        layout.length = loadLe64(r + fmt::kResetUncompressedLength);
        compressed = loadLe64(r + fmt::kResetCompressedLength);
        haveCompressed = true;
    } else {
        // Without a reset table the span information still gives the uncompressed length.
        ObjectBytes span;
        if (!storageObject(chm, storage + "/SpanInfo", span) || span.bytes.size() < 8) {
            say(whyNot, "the section has neither a reset table nor SpanInfo");
            return false;
        }
        layout.length = loadLe64(reinterpret_cast<const std::uint8_t*>(span.bytes.data()));
    }
    const ChmEntry* content = findEntry(chm.entries, storage + "/Content");
    if (!content || content->section != 0 ||
        !fitsWithin(chm.contentOffset, content->offset, chm.source->size()) ||
        !fitsWithin(chm.contentOffset + content->offset, content->length, chm.source->size())) {
        say(whyNot, "the section's Content is not within the file");
        return false;
    }
    layout.contentOffset = chm.contentOffset + content->offset;
    layout.contentLength = content->length;
    if (!haveCompressed)
        compressed = layout.contentLength;
    diagnose(sink, DiagnosticStream::Error, "uclength = %llx, clength = %llx\n",
             static_cast<unsigned long long>(layout.length),
             static_cast<unsigned long long>(compressed));
    if (layout.contentLength != compressed) {
        diagnose(sink, DiagnosticStream::Error,
                 "Warning: Content Length not same as Compressed Length (without padding) %llu "
                 "%llu \n",
                 static_cast<unsigned long long>(layout.contentLength),
                 static_cast<unsigned long long>(compressed));
    }
    // The stream is decoded from the bytes the Content object really holds: a compressed length
    // that claims more would read past them, and one that claims less cuts off bytes a decoder's
    // look-ahead may need.
    if (layout.length > layout.contentLength * kMaxExpansion + kMaxExpansionSlack ||
        layout.length > SIZE_MAX - kLzxOutputSlack) {
        say(whyNot,
            numbers("%llu bytes cannot be encoded in %llu", layout.length, layout.contentLength));
        return false;
    }
    layout.resetPoints = haveCompressed
                             ? resetPointsFrom(reset.bytes, layout.resetInterval, layout.length)
                             : std::vector<std::uint64_t>{0};
    return true;
}

std::unique_ptr<SectionReader> SectionReader::open(ChmFile& chm, std::size_t index,
                                                   std::string* whyNot) {
    LzxSectionLayout layout;
    if (!readLzxSectionLayout(chm, index, layout, whyNot))
        return nullptr;
    return std::make_unique<SectionReader>(chm, std::move(layout));
}

SectionReader::SectionReader(ChmFile& chm, LzxSectionLayout layout)
    : chm_(chm), layout_(std::move(layout)) {
    if (layout_.resetPoints.empty())
        layout_.resetPoints.push_back(0);
    input_ =
        std::make_unique<ContentInput>(*chm_.source, layout_.contentOffset, layout_.contentLength);
    decoder_ = std::make_unique<LzxDecoder>();
    configured_ = lzxConfigure(*decoder_, layout_.windowBits, layout_.resetInterval, layout_.length,
                               chm_.sink)
                      .ok();
}

SectionReader::~SectionReader() = default;

std::uint64_t SectionReader::startPointFor(std::uint64_t offset) const {
    const std::uint64_t interval = decoder_->resetInterval;
    if (interval == 0)
        return 0;
    const std::uint64_t k = std::min(offset, layout_.length) / interval;
    return std::min<std::uint64_t>(k, layout_.resetPoints.size() - 1) * interval;
}

void SectionReader::seek(std::uint64_t offset) {
    const std::uint64_t point = startPointFor(offset);
    if (started_ && point == position_)
        return;  // already there
    position_ = point;
    started_ = false;
}

bool SectionReader::start() {
    const std::uint64_t interval = decoder_->resetInterval;
    const std::uint64_t k = interval ? position_ / interval : 0;
    started_ = true;
    if (k >= layout_.resetPoints.size() || position_ != k * interval)
        return false;
    lzxStartAt(*decoder_, *input_, position_, layout_.resetPoints[k]);
    return true;
}

bool SectionReader::next(SectionPiece& piece) {
    piece = SectionPiece{};
    if (position_ >= layout_.length)
        return false;
    if (!configured_) {
        // The decoder could not be set up (its buffers): nothing can be decoded.
        piece.offset = position_;
        piece.length = layout_.length - position_;
        piece.result = decoder_->result;
        position_ = layout_.length;
        return true;
    }
    if (!started_ && !start()) {
        // Damage before this point, and no later reset point to go on from.
        piece.offset = position_;
        piece.length = layout_.length - position_;
        piece.result = LzxResult(
            LzxStatus::dataError,
            numbers("no reset point at or after output %llu to go on from (the reset table "
                    "lists %llu)",
                    position_, layout_.resetPoints.size()));
        position_ = layout_.length;
        return true;
    }
    LzxPiece decoded;
    const LzxResult result = lzxNextPiece(*decoder_, decoded);
    if (result.ok()) {
        if (decoded.size == 0) {
            position_ = layout_.length;
            return false;
        }
        piece.offset = decoded.offset;
        piece.length = decoded.size;
        piece.data = decoded.data;
        position_ = decoded.offset + decoded.size;
        return true;
    }
    // The interval is lost; the next piece starts at the next reset point.
    const std::uint64_t from = std::max(decoder_->handedOut, position_);
    const std::uint64_t to = std::max(lzxIntervalEnd(*decoder_, from), from + 1);
    piece.offset = from;
    piece.length = std::min(to, layout_.length) - from;
    piece.result = result;
    position_ = from + piece.length;
    started_ = false;
    return true;
}

bool deliverSectionObjects(SectionReader& reader, std::vector<SectionObject> objects,
                           SectionObjectSink& sink) {
    std::stable_sort(
        objects.begin(), objects.end(),
        [](const SectionObject& a, const SectionObject& b) { return a.offset < b.offset; });
    const std::uint64_t length = reader.length();
    struct Open {
        SectionObject object;
        std::string bytes;
    };
    std::vector<Open> open;
    std::size_t next = 0;
    // Buffers of objects answered, kept for the next ones that run over pieces: a big page was
    // otherwise gathered in fresh memory each time, grown and copied as it came.
    std::vector<std::string> spare;
    constexpr std::size_t kSpareBytes = std::size_t{4} << 20;
    auto letGo = [&](std::size_t i) {
        std::string& bytes = open[i].bytes;
        if (bytes.capacity() <= kSpareBytes && spare.size() < 2) {
            bytes.clear();
            spare.push_back(std::move(bytes));
        }
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
    };

    auto answer = [&](const SectionObject& object, std::string_view bytes, const LzxResult& r) {
        if (r.ok())
            sink.objectReady(object, bytes);
        else
            sink.objectFailed(object, r);
    };
    auto answerWithoutBytes = [&](const SectionObject& object) {
        if (object.length == 0 && object.offset <= length) {
            sink.objectReady(object, {});
        } else {
            sink.objectFailed(
                object,
                LzxResult(LzxStatus::dataError,
                          numbers("the object ends beyond the section's %llu bytes", length)));
        }
    };

    for (;;) {
        // Objects that need no decoding: empty ones, and those beyond the section.
        while (next < objects.size() && open.empty() &&
               (objects[next].length == 0 ||
                !fitsWithin(objects[next].offset, objects[next].length, length))) {
            answerWithoutBytes(objects[next++]);
        }
        if (open.empty() && next == objects.size())
            return true;
        if (sink.stopRequested())
            return false;
        if (open.empty() && reader.startPointFor(objects[next].offset) > reader.position())
            reader.seek(objects[next].offset);  // nothing wanted before it

        SectionPiece piece;
        if (!reader.next(piece)) {
            // The section ended early (it cannot, but every object must be answered).
            const LzxResult ended(LzxStatus::dataError, "the section ended early");
            for (Open& o : open)
                answer(o.object, {}, ended);
            open.clear();
            for (; next < objects.size(); ++next)
                answer(objects[next], {}, ended);
            return true;
        }
        const std::uint64_t pieceEnd = piece.offset + piece.length;

        // Objects that begin in this piece: whole ones are answered from the piece itself.
        while (next < objects.size() && objects[next].offset < pieceEnd) {
            const SectionObject& o = objects[next++];
            if (o.length == 0 || !fitsWithin(o.offset, o.length, length)) {
                answerWithoutBytes(o);
            } else if (o.offset >= piece.offset && o.offset + o.length <= pieceEnd) {
                answer(o,
                       piece.ok()
                           ? piece.bytes().substr(static_cast<std::size_t>(o.offset - piece.offset),
                                                  static_cast<std::size_t>(o.length))
                           : std::string_view{},
                       piece.result);
            } else {
                Open started;
                started.object = o;
                if (!spare.empty()) {
                    started.bytes = std::move(spare.back());
                    spare.pop_back();
                }
                open.push_back(std::move(started));
            }
        }
        // Objects that run over pieces take their part of this one; one that a lost piece
        // touches is answered at once.
        for (std::size_t i = 0; i < open.size();) {
            Open& o = open[i];
            const std::uint64_t end = o.object.offset + o.object.length;
            const std::uint64_t from = std::max(o.object.offset, piece.offset);
            const std::uint64_t to = std::min(end, pieceEnd);
            if (from < to && !piece.ok()) {
                answer(o.object, {}, piece.result);
                letGo(i);
                continue;
            }
            if (from < to) {
                // Reserved as the bytes come, up to what the object claims: a length a hostile
                // directory claims costs nothing until the section produces it.
                if (o.bytes.capacity() < o.bytes.size() + (to - from)) {
                    o.bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
                        o.object.length, 2 * (o.bytes.size() + (to - from)))));
                }
                o.bytes.append(piece.bytes().substr(static_cast<std::size_t>(from - piece.offset),
                                                    static_cast<std::size_t>(to - from)));
            }
            if (end <= pieceEnd) {
                answer(o.object, o.bytes, {});
                letGo(i);
            } else {
                ++i;
            }
        }
    }
}

}  // namespace plovik
