#include "text/WordSlots.h"

#include <functional>

namespace plovik {

std::pair<std::uint32_t, bool> WordSlots::insert(std::string_view word) {
    // At most half full, so that a probe ends soon.
    if ((words_.size() + 1) * 2 > table_.size())
        grow();
    const std::size_t hash = std::hash<std::string_view>{}(word);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t place = hash & mask;; place = (place + 1) & mask) {
        const std::uint32_t held = table_[place];
        if (held == 0) {
            const auto number = static_cast<std::uint32_t>(words_.size());
            words_.push_back({word, hash, place});
            table_[place] = number + 1;
            return {number, true};
        }
        const Word& other = words_[held - 1];
        if (other.hash == hash && other.text == word)
            return {held - 1, false};
    }
}

void WordSlots::clear() {
    for (const Word& w : words_)
        table_[w.place] = 0;
    words_.clear();
}

void WordSlots::grow() {
    table_.assign(table_.empty() ? 1024 : table_.size() * 2, 0);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t n = 0; n < words_.size(); ++n) {
        std::size_t place = words_[n].hash & mask;
        while (table_[place] != 0)
            place = (place + 1) & mask;
        table_[place] = static_cast<std::uint32_t>(n + 1);
        words_[n].place = place;
    }
}

}  // namespace plovik
