#pragma once

// Reading an LZX-compressed content section in order, one reset interval at a time, with memory
// bounded by the window and the piece in hand rather than by the section's length.
//
//   auto reader = SectionReader::open(chm, 1);          // null when it cannot be decoded at all
//   SectionPiece piece;
//   while (reader->next(piece)) {
//       if (piece.ok()) use(piece.offset, piece.bytes());  // bytes [offset, offset + length)
//       else lost(piece.offset, piece.length, piece.result.reason());
//   }
//
// Pieces come in section order and cover the section without gaps: each is one reset interval
// (or, in an interval much longer than the window, the part of it that has fallen a window
// behind). A damaged interval comes out as one lost piece with the decoder's reason, and reading
// goes on at the next reset point the reset table lists, so every later piece is exact. seek()
// goes to the reset point at or before an offset, so fetching one object decodes only from
// there. A piece's bytes stay valid until the next call on the reader.
//
// deliverSectionObjects() builds on it: given objects (offset, length) of the section, it reads
// the section once, skipping intervals no object needs, and hands each object its bytes whole
// (a view into the piece when the object lies inside one, else assembled), or a failure with the
// reason when a lost piece touches it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chm/ChmFile.h"
#include "chm/LzxDecoder.h"

namespace plovik {

// How one compressed section is stored, from its ControlData, reset table (or SpanInfo) and
// Content objects.
struct LzxSectionLayout {
    int windowBits = 0;               // 15 to 21
    std::uint64_t resetInterval = 0;  // bytes; what the ControlData says (the decoder may adjust)
    std::uint64_t length = 0;         // uncompressed bytes
    std::uint64_t contentOffset = 0;  // file position of the Content object's first byte
    std::uint64_t contentLength = 0;  // bytes of the Content object
    // For reset point k (section offset k * resetInterval), the Content offset where its bits
    // begin, as the reset table lists them. Entry 0 is always 0; no more entries than there are
    // intervals. Just {0} without a usable reset table.
    std::vector<std::uint64_t> resetPoints;
};

// Reads the layout of compressed section `index`, writing the reader's diagnostic lines (reset
// table name, lengths, oddities) to the container's sink. False when the section cannot be
// decoded at all; `whyNot` then says why.
bool readLzxSectionLayout(ChmFile& chm, std::size_t index, LzxSectionLayout& layout,
                          std::string* whyNot = nullptr);

// Decoded bytes of the section, or a range that could not be decoded.
struct SectionPiece {
    std::uint64_t offset = 0;            // section offset of the first byte
    std::uint64_t length = 0;            // bytes the piece covers
    const std::uint8_t* data = nullptr;  // the bytes when ok; null when lost
    LzxResult result;                    // ok, or why [offset, offset + length) is lost

    bool ok() const { return result.ok(); }
    std::string_view bytes() const {
        return {reinterpret_cast<const char*>(data), data ? static_cast<std::size_t>(length) : 0};
    }
};

class SectionReader {
public:
    // A reader of compressed section `index`; null when the section cannot be decoded at all
    // (the reason in `whyNot`). The container must outlive the reader.
    static std::unique_ptr<SectionReader> open(ChmFile& chm, std::size_t index,
                                               std::string* whyNot = nullptr);
    // A reader of a section whose layout is known.
    SectionReader(ChmFile& chm, LzxSectionLayout layout);
    ~SectionReader();
    SectionReader(const SectionReader&) = delete;
    SectionReader& operator=(const SectionReader&) = delete;

    const LzxSectionLayout& layout() const { return layout_; }
    std::uint64_t length() const { return layout_.length; }
    // The reset interval the decoder uses (the window's length when the ControlData's is not a
    // whole number of frames).
    std::uint64_t resetInterval() const { return decoder_->resetInterval; }
    // Section offset where the next piece begins.
    std::uint64_t position() const { return position_; }
    // The reset point at or before `offset` that decoding can start from: the latest the reset
    // table lists.
    std::uint64_t startPointFor(std::uint64_t offset) const;

    // The next piece begins at the reset point at or before `offset` (at most the length).
    void seek(std::uint64_t offset);
    // The next piece in section order; false at the end of the section.
    bool next(SectionPiece& piece);

private:
    bool start();

    ChmFile& chm_;
    LzxSectionLayout layout_;
    std::unique_ptr<LzxInput> input_;
    std::unique_ptr<LzxDecoder> decoder_;
    bool configured_ = false;  // the decoder's buffers are there
    std::uint64_t position_ = 0;
    bool started_ = false;  // the decoder is decoding from position_ on
};

// One object of a section to hand its bytes to.
struct SectionObject {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::size_t tag = 0;  // the caller's, e.g. the index of the directory entry
};

class SectionObjectSink {
public:
    virtual ~SectionObjectSink() = default;
    // Asked before every piece; true ends the walk.
    virtual bool stopRequested() { return false; }
    // The object's bytes, whole; the view is valid during the call.
    virtual void objectReady(const SectionObject& object, std::string_view bytes) = 0;
    // The object cannot be had whole: it overlaps a range that could not be decoded, or lies
    // beyond the section.
    virtual void objectFailed(const SectionObject& object, const LzxResult& why) = 0;
};

// Reads the section once, in order, and hands every object its bytes as they come. Objects are
// taken in order of offset (ties in the order given); each is answered exactly once: when its
// last byte has come (so objects that end earlier are answered earlier), or as soon as a lost
// range touches it. Intervals that no unanswered object needs are not decoded. False when the
// sink asked to stop (objects not answered by then are not answered at all).
bool deliverSectionObjects(SectionReader& reader, std::vector<SectionObject> objects,
                           SectionObjectSink& sink);

}  // namespace plovik
