#pragma once

// Hands the objects of one compressed section to a reader that asks for them in its own order
// (an extraction asks in directory order), while the section is decoded once, in section order.
//
//   SectionStream stream(chm, reader, objects, holdLimit);
//   switch (stream.fetch(entryIndex, bytes)) { ... }
//
// An object that comes out of the decoder before it is asked for is held until then, as long as
// everything held stays within `holdLimit` bytes; past that it is let go, and when its turn
// comes it is fetched on its own (retrieveEntry, from the reset point before it), as is one asked
// for after the decoding has gone past it. So the order of asking never changes a result, only
// how often bytes are decoded, and memory stays bounded by the window, the piece in hand, the
// object asked for and the limit.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "chm/ChmFile.h"
#include "chm/SectionReader.h"

namespace plovik {

class SectionStream {
public:
    // One object of the section, named by its directory entry's index.
    struct Object {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        std::size_t entry = 0;
    };
    enum class Fetch {
        Ready,      // the bytes are in `out`; a view into them stays valid until the next fetch
        Failed,     // a range the object touches could not be decoded
        Elsewhere,  // not (or no longer) streamed here: fetch it with retrieveEntry
    };

    SectionStream(ChmFile& chm, std::unique_ptr<SectionReader> reader, std::vector<Object> objects,
                  std::size_t holdLimit);
    ~SectionStream();
    SectionStream(const SectionStream&) = delete;
    SectionStream& operator=(const SectionStream&) = delete;

    // The bytes of the object of directory entry `entry`. Objects of entries before it that are
    // still held are let go: the asker has passed them.
    Fetch fetch(std::size_t entry, ObjectBytes& out);

    // Bytes held for later at most at any one time, to check the bound.
    std::size_t peakHeld() const { return peakHeld_; }

private:
    enum class State { Pending, Open, Held, Failed, Passed };
    struct Slot {
        Object object;
        State state = State::Pending;
    };

    // Decodes the next piece and settles the objects it completes; false at the section's end.
    bool pump();
    // The object of slot `s` is whole: handed out when asked for, else held or let go.
    void complete(std::size_t s, std::string_view bytes, std::string* owned);
    void fail(std::size_t s);
    void releaseBefore(std::size_t entry);
    void account(std::ptrdiff_t change);

    ChmFile& chm_;
    std::unique_ptr<SectionReader> reader_;
    std::vector<Slot> slots_;                              // in section order
    std::unordered_map<std::size_t, std::size_t> slotOf_;  // entry index -> slot
    std::size_t next_ = 0;                                 // the first slot not yet begun
    std::map<std::size_t, std::string> open_;              // slot -> bytes so far, begun not whole
    std::map<std::size_t, std::string> held_;              // entry index -> bytes, whole
    std::size_t holdLimit_;
    std::size_t heldBytes_ = 0;  // bytes of held_ and of open_ objects not asked for
    std::size_t peakHeld_ = 0;

    // The fetch in progress.
    std::size_t wanted_ = SIZE_MAX;  // its slot
    bool wantedDone_ = false;
    ObjectBytes* out_ = nullptr;

    LzxResult failure_;      // the first loss the fetch in progress met
    bool reported_ = false;  // the decoder's result line was written
};

}  // namespace plovik
