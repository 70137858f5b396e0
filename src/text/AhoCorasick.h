#pragma once

// A multi-pattern substring matcher (Aho-Corasick): built once from a set of byte strings, it
// reports every pattern that occurs in a text in one pass over the text, whatever the number of
// patterns.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plovik {

class AhoCorasick {
public:
    // Pattern ids are the positions in `patterns`; empty patterns are never reported. Equal
    // patterns are allowed; each of them is reported.
    explicit AhoCorasick(const std::vector<std::string_view>& patterns);

    // Calls found(id) for each occurrence of each pattern in `text` (a pattern that occurs twice
    // is reported twice), in the order the occurrences end.
    template <typename Found>
    void forEachMatch(std::string_view text, Found&& found) const {
        std::int32_t state = 0;
        for (char c : text) {
            state = step(state, static_cast<unsigned char>(c));
            for (std::int32_t s = states_[state].terminal ? state : states_[state].outputLink;
                 s > 0; s = states_[s].outputLink) {
                for (std::int32_t p = states_[s].firstPattern; p >= 0; p = nextPattern_[p])
                    found(static_cast<std::size_t>(p));
            }
        }
    }

private:
    struct State {
        std::uint32_t firstEdge = 0;  // into edges_, sorted by byte
        std::uint32_t edgeCount = 0;
        std::int32_t fail = 0;         // longest proper suffix that is a trie state
        std::int32_t outputLink = -1;  // nearest suffix state that ends a pattern, or -1
        std::int32_t firstPattern = -1;
        bool terminal = false;
    };
    struct Edge {
        unsigned char byte;
        std::int32_t to;
    };

    std::int32_t child(std::int32_t state, unsigned char byte) const;
    std::int32_t step(std::int32_t state, unsigned char byte) const;

    std::vector<State> states_;
    std::vector<Edge> edges_;
    std::vector<std::int32_t> nextPattern_;  // further patterns ending in the same state
};

}  // namespace plovik
