#pragma once

#include <string>

namespace plovik {

// One keyword of the keyword index and the page it leads to (each at most 254 bytes).
struct IndexEntry {
    std::string keyword;
    std::string page;

    bool operator==(const IndexEntry&) const = default;
};

}  // namespace plovik
