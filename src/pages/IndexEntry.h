#pragma once

#include <string>
#include <vector>

namespace plovik {

// One keyword of the keyword index and the page it leads to (each at most 254 bytes).
struct IndexEntry {
    std::string keyword;
    std::string page;

    bool operator==(const IndexEntry&) const = default;
};

// One topic a keyword leads to: its title (the keyword itself when the index names none) and its
// page.
struct IndexTopic {
    std::string title;
    std::string page;

    bool operator==(const IndexTopic&) const = default;
};

// One keyword of the keyword index as the help viewer shows it: the keyword, the topics it
// offers (one or several), or, for a "See Also" entry, the keyword it leads to instead; nested
// under the keyword before it when its list is inside that keyword's.
struct IndexKeyword {
    std::string keyword;
    std::vector<IndexTopic> topics;
    std::string seeAlso;  // the keyword a cross-reference leads to; empty for other entries
    int level = 1;        // 1 for a keyword, 2 for its sub-keyword, and so on
    int parent = -1;      // the position of the keyword it is nested under, or -1

    bool operator==(const IndexKeyword&) const = default;
};

}  // namespace plovik
