#include "chm/SectionStream.h"

#include <algorithm>

#include "chm/ByteReader.h"
#include "chm/ChmDiagnostics.h"

namespace plovik {

namespace {

// Bytes reserved ahead for an object pieced together from several pieces: a length a hostile
// directory claims costs nothing until the section really produces that much.
constexpr std::uint64_t kReserveAtMost = std::uint64_t{1} << 20;

}  // namespace

SectionStream::SectionStream(ChmFile& chm, std::unique_ptr<SectionReader> reader,
                             std::vector<Object> objects, std::size_t holdLimit)
    : chm_(chm), reader_(std::move(reader)), holdLimit_(holdLimit) {
    const std::uint64_t length = reader_->length();
    // Empty objects and those beyond the section need no decoding; retrieveEntry answers them.
    std::erase_if(objects, [&](const Object& o) {
        return o.length == 0 || !fitsWithin(o.offset, o.length, length);
    });
    std::stable_sort(objects.begin(), objects.end(),
                     [](const Object& a, const Object& b) { return a.offset < b.offset; });
    slots_.reserve(objects.size());
    for (const Object& o : objects) {
        if (slotOf_.emplace(o.entry, slots_.size()).second)
            slots_.push_back(Slot{o, State::Pending});
    }
}

SectionStream::~SectionStream() = default;

void SectionStream::account(std::ptrdiff_t change) {
    heldBytes_ = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(heldBytes_) + change);
    peakHeld_ = std::max(peakHeld_, heldBytes_);
}

void SectionStream::releaseBefore(std::size_t entry) {
    while (!held_.empty() && held_.begin()->first < entry) {
        account(-static_cast<std::ptrdiff_t>(held_.begin()->second.size()));
        slots_[slotOf_.at(held_.begin()->first)].state = State::Passed;
        held_.erase(held_.begin());
    }
}

SectionStream::Fetch SectionStream::fetch(std::size_t entry, ObjectBytes& out) {
    out.bytes = {};
    out.storage.clear();
    out.keep.reset();
    releaseBefore(entry);
    const auto found = slotOf_.find(entry);
    if (found == slotOf_.end())
        return Fetch::Elsewhere;
    const std::size_t s = found->second;
    Slot& slot = slots_[s];
    switch (slot.state) {
        case State::Held: {
            auto held = held_.find(entry);
            account(-static_cast<std::ptrdiff_t>(held->second.size()));
            out.storage = std::move(held->second);
            out.bytes = out.storage;
            held_.erase(held);
            slot.state = State::Passed;
            return Fetch::Ready;
        }
        case State::Failed:
            return Fetch::Failed;
        case State::Passed:
            return Fetch::Elsewhere;
        case State::Open:
            // What has come of it so far no longer counts as held: it is the object asked for.
            account(-static_cast<std::ptrdiff_t>(open_.at(s).size()));
            break;
        case State::Pending:
            break;
    }
    wanted_ = s;
    wantedDone_ = false;
    out_ = &out;
    failure_ = LzxResult{};
    bool decoded = false;
    while (!wantedDone_ && slot.state != State::Failed) {
        decoded = true;
        if (!pump())
            break;
    }
    // The decoder's result line, as a fetch on its own writes it: after the first decoding, and
    // whenever damage shows.
    if (decoded && (!reported_ || !failure_.ok())) {
        diagnose(*chm_.sink, DiagnosticStream::Output, "LZXResult: %d\n", failure_.code());
        reported_ = true;
    }
    wanted_ = SIZE_MAX;
    out_ = nullptr;
    if (wantedDone_)
        return Fetch::Ready;
    return slot.state == State::Failed ? Fetch::Failed : Fetch::Elsewhere;
}

void SectionStream::fail(std::size_t s) {
    slots_[s].state = State::Failed;
}

void SectionStream::complete(std::size_t s, std::string_view bytes, std::string* owned) {
    Slot& slot = slots_[s];
    if (s == wanted_) {
        if (owned) {
            out_->storage = std::move(*owned);
            out_->bytes = out_->storage;
        } else {
            out_->bytes = bytes;  // into the piece, which lasts until the reader moves on
        }
        slot.state = State::Passed;
        wantedDone_ = true;
        return;
    }
    // One the asker has gone past, or one that would take more than may be held, is fetched on
    // its own should it be asked for after all.
    if ((wanted_ != SIZE_MAX && slot.object.entry < slots_[wanted_].object.entry) ||
        heldBytes_ + bytes.size() > holdLimit_) {
        slot.state = State::Passed;
        return;
    }
    std::string& kept = held_[slot.object.entry];
    if (owned)
        kept = std::move(*owned);
    else
        kept.assign(bytes);
    account(static_cast<std::ptrdiff_t>(kept.size()));
    slot.state = State::Held;
}

bool SectionStream::pump() {
    if (open_.empty()) {
        while (next_ < slots_.size() && slots_[next_].state != State::Pending)
            ++next_;
        if (next_ == slots_.size())
            return false;
        // Nothing is wanted before the next object: intervals before its reset point are skipped.
        const std::uint64_t offset = slots_[next_].object.offset;
        if (reader_->startPointFor(offset) > reader_->position())
            reader_->seek(offset);
    }
    SectionPiece piece;
    if (!reader_->next(piece)) {
        // The section ended early (it cannot, but every object must be settled).
        for (const auto& [s, bytes] : open_) {
            if (s != wanted_)
                account(-static_cast<std::ptrdiff_t>(bytes.size()));
            fail(s);
        }
        open_.clear();
        for (; next_ < slots_.size(); ++next_) {
            if (slots_[next_].state == State::Pending)
                fail(next_);
        }
        return false;
    }
    if (!piece.ok() && failure_.ok())
        failure_ = piece.result;
    const std::uint64_t pieceEnd = piece.offset + piece.length;

    // Objects that begin in this piece: whole ones are answered from the piece itself.
    while (next_ < slots_.size() && slots_[next_].object.offset < pieceEnd) {
        const std::size_t s = next_++;
        Slot& slot = slots_[s];
        if (slot.state != State::Pending)
            continue;
        const Object& o = slot.object;
        if (o.offset < piece.offset) {
            slot.state = State::Passed;  // behind the reader (it cannot be): fetched on its own
        } else if (!piece.ok()) {
            fail(s);
        } else if (o.offset + o.length <= pieceEnd) {
            complete(s,
                     piece.bytes().substr(static_cast<std::size_t>(o.offset - piece.offset),
                                          static_cast<std::size_t>(o.length)),
                     nullptr);
        } else {
            slot.state = State::Open;
            open_.emplace(s, std::string());
        }
    }
    // Objects that run over pieces take their part of this one; one that a lost piece touches
    // fails at once.
    for (auto it = open_.begin(); it != open_.end();) {
        const std::size_t s = it->first;
        std::string& bytes = it->second;
        const Object& o = slots_[s].object;
        const bool counted = s != wanted_;
        const std::uint64_t end = o.offset + o.length;
        const std::uint64_t from = std::max(o.offset, piece.offset);
        const std::uint64_t to = std::min(end, pieceEnd);
        if (from < to && (!piece.ok() || (counted && heldBytes_ + (to - from) > holdLimit_))) {
            if (counted)
                account(-static_cast<std::ptrdiff_t>(bytes.size()));
            slots_[s].state = piece.ok() ? State::Passed : State::Failed;
            it = open_.erase(it);
            continue;
        }
        if (from < to) {
            if (bytes.capacity() < bytes.size() + (to - from)) {
                bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
                    o.length, std::max<std::uint64_t>(2 * bytes.size() + (to - from),
                                                      std::min(o.length, kReserveAtMost)))));
            }
            bytes.append(piece.bytes().substr(static_cast<std::size_t>(from - piece.offset),
                                              static_cast<std::size_t>(to - from)));
            if (counted)
                account(static_cast<std::ptrdiff_t>(to - from));
        }
        if (end <= pieceEnd) {
            std::string whole = std::move(bytes);
            it = open_.erase(it);
            if (counted)
                account(-static_cast<std::ptrdiff_t>(whole.size()));
            complete(s, whole, &whole);
            continue;
        }
        ++it;
    }
    return true;
}

}  // namespace plovik
