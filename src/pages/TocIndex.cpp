#include "pages/TocIndex.h"

#include <algorithm>

#include "pages/HtmlProcessor.h"

namespace plovik {

TocIndex::TocIndex(const std::vector<SitemapNode>& nodes) {
    const std::size_t n = nodes.size();
    decoded_.reserve(n);
    for (const SitemapNode& node : nodes) {
        std::string local = node.local;
        CHtmlProcessor::DecodeLocal(local);
        decoded_.push_back(std::move(local));
    }

    // decoded_ is complete: the views below stay valid for the index's life.
    std::unordered_map<std::string_view, std::size_t> patternOf;
    firstAlways_ = n;
    for (std::size_t k = 0; k < n; ++k) {
        const std::string_view d = decoded_[k];
        if (d.empty()) {
            if (!nodes[k].local.empty()) {
                if (firstAlways_ == n)
                    firstAlways_ = k;
                lastAlways_ = static_cast<long long>(k);
            }
            continue;
        }
        exact_[d] = k;  // the last node wins
        auto [it, added] = patternOf.try_emplace(d, patterns_.size());
        if (added) {
            patterns_.push_back(d);
            nodesOfPattern_.emplace_back();
        }
        nodesOfPattern_[it->second].push_back(k);
    }
    matcher_ = std::make_unique<AhoCorasick>(patterns_);
    patternStamp_.assign(patterns_.size(), 0);

    auto canBeAPage = [&](std::size_t k) {
        return !decoded_[k].empty() && decoded_[k].find("http://") == std::string::npos;
    };
    candidateAtOrBefore_.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        candidateAtOrBefore_[k] = canBeAPage(k) ? static_cast<long long>(k)
                                  : k > 0       ? candidateAtOrBefore_[k - 1]
                                                : -1;
    candidateAtOrAfter_.resize(n);
    for (std::size_t k = n; k-- > 0;)
        candidateAtOrAfter_[k] = canBeAPage(k) ? k : k + 1 < n ? candidateAtOrAfter_[k + 1] : n;

    for (std::size_t k = 0; k < n; ++k)
        children_[nodes[k].parentId].push_back(k);
    stamp_.assign(n, 0);
}

int TocIndex::exactMatch(std::string_view path) const {
    auto it = exact_.find(path);
    return it == exact_.end() ? -1 : static_cast<int>(it->second);
}

void TocIndex::setPath(std::string_view path) {
    if (++generation_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        std::fill(patternStamp_.begin(), patternStamp_.end(), 0);
        generation_ = 1;
    }
    first_ = firstAlways_;
    last_ = lastAlways_;
    matcher_->forEachMatch(path, [&](std::size_t pattern) {
        if (patternStamp_[pattern] == generation_)
            return;
        patternStamp_[pattern] = generation_;
        const auto& nodes = nodesOfPattern_[pattern];
        for (std::size_t k : nodes)
            stamp_[k] = generation_;
        first_ = std::min(first_, nodes.front());
        last_ = std::max(last_, static_cast<long long>(nodes.back()));
    });
}

long long TocIndex::previousPage(std::size_t position) const {
    if (position == 0 || decoded_.empty())
        return -1;
    long long k = candidateAtOrBefore_[std::min(position, decoded_.size()) - 1];
    while (k >= 0 && occurs(static_cast<std::size_t>(k)))
        k = k > 0 ? candidateAtOrBefore_[static_cast<std::size_t>(k) - 1] : -1;
    return k;
}

long long TocIndex::nextPage(std::size_t position) const {
    const std::size_t n = decoded_.size();
    if (position + 1 >= n)
        return -1;
    std::size_t k = candidateAtOrAfter_[position + 1];
    while (k < n && occurs(k))
        k = k + 1 < n ? candidateAtOrAfter_[k + 1] : n;
    return k < n ? static_cast<long long>(k) : -1;
}

const std::vector<std::size_t>& TocIndex::childrenOf(int id) const {
    static const std::vector<std::size_t> kNone;
    auto it = children_.find(id);
    return it == children_.end() ? kNone : it->second;
}

}  // namespace plovik
