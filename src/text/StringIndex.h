#pragma once

// Numbers for strings that the caller keeps in a list of its own, found by the string: the table
// holds each string's hash and number and asks the caller for the string only when the hashes
// agree. The search stages look up every distinct word of every page in lists of a few hundred
// thousand words; a map of nodes cost a division and two or three cache misses per look-up.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace plovik {

class StringIndex {
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    static std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

    // The number of the string `key` (whose hash is `hash`), or kNone; `keyOf(number)` gives the
    // string of a number added before.
    template <typename KeyOf>
    std::uint32_t find(std::string_view key, std::size_t hash, const KeyOf& keyOf) const {
        if (slots_.empty())
            return kNone;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.number == kNone)
                return kNone;
            if (slot.hash == hash && keyOf(slot.number) == key)
                return slot.number;
        }
    }

    // Adds `number` for a string of hash `hash` that find() does not know.
    void add(std::size_t hash, std::uint32_t number);
    std::size_t size() const { return filled_.size(); }
    // Forgets every string, in time for the strings added rather than for the table's size: a
    // table grown for one big page is cleared for each small page after it.
    void clear();

private:
    struct Slot {
        std::size_t hash = 0;
        std::uint32_t number = kNone;
    };
    void place(const Slot& slot);

    std::vector<Slot> slots_;
    std::vector<std::size_t> filled_;  // the places in slots_ that hold a string
};

}  // namespace plovik
