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

namespace plovik {

class WordSlots {
public:
    // The number of `word` and whether it came now. The table keeps the view: its bytes must stay
    // until clear().
    std::pair<std::uint32_t, bool> insert(std::string_view word);
    std::size_t size() const { return words_.size(); }
    std::string_view word(std::uint32_t number) const { return words_[number].text; }
    void clear();

private:
    struct Word {
        std::string_view text;
        std::size_t hash;
        std::size_t place;  // in table_
    };
    void grow();

    std::vector<std::uint32_t> table_;  // a word's number + 1; 0 for an empty place
    std::vector<Word> words_;
};

}  // namespace plovik
