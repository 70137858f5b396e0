#pragma once

// What the page loop asks of the table of contents for every page, answered without walking the
// whole node list each time: every local is decoded once, the exact match is a hash lookup, and
// "whose decoded local occurs in this page's path" is one pass of a multi-pattern matcher over the
// path. The answers are the ones the plain scans of the node list give, node for node:
//
// - exact: the last node whose decoded local equals the path;
// - navigation position: the first node with a local whose decoded local occurs in the path;
// - related-topics node: the last such node;
// - previous/next: from a position, the nearest node that is not passed over, where a node is
//   passed over when its decoded local occurs in the path or contains "http://".
//
// A node whose decoded local is empty occurs in every path.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pages/SitemapNode.h"
#include "text/AhoCorasick.h"

namespace plovik {

class TocIndex {
public:
    explicit TocIndex(const std::vector<SitemapNode>& nodes);
    TocIndex(const TocIndex&) = delete;
    TocIndex& operator=(const TocIndex&) = delete;

    std::size_t size() const { return decoded_.size(); }
    const std::string& decoded(std::size_t node) const { return decoded_[node]; }

    // Index of the last node whose decoded local equals `path`, or -1.
    int exactMatch(std::string_view path) const;

    // Prepares the occurrence queries below for one path.
    void setPath(std::string_view path);
    // First node (index) with a local whose decoded local occurs in the path; size() if none.
    std::size_t firstOccurring() const { return first_; }
    // Last such node, or -1.
    long long lastOccurring() const { return last_; }
    // The nearest node before / after `position` that is not passed over, or -1.
    long long previousPage(std::size_t position) const;
    long long nextPage(std::size_t position) const;

    // Indices of the nodes whose parentId is `id`, in list order.
    const std::vector<std::size_t>& childrenOf(int id) const;

private:
    bool occurs(std::size_t node) const {
        return decoded_[node].empty() || stamp_[node] == generation_;
    }

    std::vector<std::string> decoded_;
    std::unordered_map<std::string_view, std::size_t> exact_;  // views into decoded_

    // The distinct non-empty decoded locals, the matcher over them, and the nodes of each.
    std::vector<std::string_view> patterns_;
    std::vector<std::vector<std::size_t>> nodesOfPattern_;
    std::unique_ptr<AhoCorasick> matcher_;

    // Nodes with a local that decodes to nothing: they occur in every path.
    std::size_t firstAlways_;
    long long lastAlways_ = -1;

    // Nearest node at or before / at or after each index that an occurrence alone can pass
    // over: one whose decoded local is not empty and holds no "http://" (-1 / size() if none).
    std::vector<long long> candidateAtOrBefore_;
    std::vector<std::size_t> candidateAtOrAfter_;

    std::unordered_map<int, std::vector<std::size_t>> children_;

    // Occurrence marks of the current path: a node occurs when its stamp is the generation.
    std::vector<std::uint32_t> stamp_;
    std::vector<std::uint32_t> patternStamp_;
    std::uint32_t generation_ = 0;
    std::size_t first_ = 0;
    long long last_ = -1;
};

}  // namespace plovik
