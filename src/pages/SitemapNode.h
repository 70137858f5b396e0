#pragma once

#include <string>

namespace plovik {

// One table-of-contents entry.
struct SitemapNode {
    int id = 0;         // position among the kept nodes, from 0 in file order
    int parentId = -1;  // id of the parent, -1 for a root
    int level = 0;      // open lists when the entry's <OBJECT was read; 1 for top-level entries
    std::string name;   // at most 254 bytes
    std::string local;  // at most 255 bytes; '/' separators, maybe a '#...'; empty for a heading
    int imageNumber = 0;

    bool operator==(const SitemapNode&) const = default;
};

}  // namespace plovik
