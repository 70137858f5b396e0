#pragma once

// The distinct words of one page, each numbered in the order it first came. A page of a big help
// has a thousand words and a few hundred distinct ones; counting them in a hash map of their own
// cost an allocation per word and every page a fresh table. This one keeps its table from page to
// page and forgets only the places the last page used.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "text/StringIndex.h"

namespace plovik {

class WordSlots {
public:
    // The number of `word` and whether it came now. The table keeps the view: its bytes must stay
    // until clear().
    std::pair<std::uint32_t, bool> insert(std::string_view word) {
        const std::size_t hash = StringIndex::hashOf(word);
        const std::uint32_t found =
            index_.find(word, hash, [this](std::uint32_t n) { return words_[n]; });
        if (found != StringIndex::kNone)
            return {found, false};
        const auto number = static_cast<std::uint32_t>(words_.size());
        index_.add(hash, number);
        words_.push_back(word);
        return {number, true};
    }
    std::size_t size() const { return words_.size(); }
    std::string_view word(std::uint32_t number) const { return words_[number]; }
    void clear() {
        index_.clear();
        words_.clear();
    }

private:
    StringIndex index_;
    std::vector<std::string_view> words_;
};

}  // namespace plovik
