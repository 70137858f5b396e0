#include "text/StringIndex.h"

namespace plovik {

void StringIndex::add(std::size_t hash, std::uint32_t number) {
    // At most half full, so that a probe ends soon; growing needs no string again.
    if ((filled_.size() + 1) * 2 > slots_.size()) {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
        filled_.clear();
        for (const Slot& slot : old)
            if (slot.number != kNone)
                place(slot);
    }
    place({hash, number});
}

void StringIndex::clear() {
    for (std::size_t at : filled_)
        slots_[at] = Slot{};
    filled_.clear();
}

void StringIndex::place(const Slot& slot) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = slot.hash & mask;
    while (slots_[at].number != kNone)
        at = (at + 1) & mask;
    slots_[at] = slot;
    filled_.push_back(at);
}

}  // namespace plovik
