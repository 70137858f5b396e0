#include "text/AhoCorasick.h"

#include <algorithm>

namespace plovik {

AhoCorasick::AhoCorasick(const std::vector<std::string_view>& patterns) {
    // The trie, with each state's edges in a list of its own while it grows.
    std::vector<std::vector<Edge>> edgesOf(1);
    states_.emplace_back();
    nextPattern_.assign(patterns.size(), -1);
    for (std::size_t id = 0; id < patterns.size(); ++id) {
        if (patterns[id].empty())
            continue;
        std::int32_t state = 0;
        for (char c : patterns[id]) {
            const auto byte = static_cast<unsigned char>(c);
            auto& edges = edgesOf[state];
            auto it = std::find_if(edges.begin(), edges.end(),
                                   [byte](const Edge& e) { return e.byte == byte; });
            if (it != edges.end()) {
                state = it->to;
            } else {
                const auto next = static_cast<std::int32_t>(states_.size());
                edges.push_back({byte, next});
                states_.emplace_back();
                edgesOf.emplace_back();
                state = next;
            }
        }
        states_[state].terminal = true;
        nextPattern_[id] = states_[state].firstPattern;
        states_[state].firstPattern = static_cast<std::int32_t>(id);
    }

    // One array of edges, each state's run sorted for binary search.
    for (std::size_t s = 0; s < states_.size(); ++s) {
        auto& edges = edgesOf[s];
        std::sort(edges.begin(), edges.end(),
                  [](const Edge& a, const Edge& b) { return a.byte < b.byte; });
        states_[s].firstEdge = static_cast<std::uint32_t>(edges_.size());
        states_[s].edgeCount = static_cast<std::uint32_t>(edges.size());
        edges_.insert(edges_.end(), edges.begin(), edges.end());
        std::vector<Edge>().swap(edges);
    }

    // Failure and output links, breadth first so that every shorter suffix is done before it is
    // needed.
    std::vector<std::int32_t> queue;
    queue.reserve(states_.size());
    queue.push_back(0);
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const std::int32_t u = queue[head];
        const State from = states_[u];
        for (std::uint32_t e = from.firstEdge; e < from.firstEdge + from.edgeCount; ++e) {
            const Edge edge = edges_[e];
            std::int32_t fail = 0;
            if (u != 0) {
                std::int32_t f = from.fail;
                for (;;) {
                    const std::int32_t c = child(f, edge.byte);
                    if (c >= 0) {
                        fail = c;
                        break;
                    }
                    if (f == 0)
                        break;
                    f = states_[f].fail;
                }
            }
            State& to = states_[edge.to];
            to.fail = fail;
            to.outputLink = states_[fail].terminal ? fail : states_[fail].outputLink;
            queue.push_back(edge.to);
        }
    }
}

std::int32_t AhoCorasick::child(std::int32_t state, unsigned char byte) const {
    const State& s = states_[state];
    const Edge* first = edges_.data() + s.firstEdge;
    const Edge* last = first + s.edgeCount;
    const Edge* it = std::lower_bound(first, last, byte,
                                      [](const Edge& e, unsigned char b) { return e.byte < b; });
    return (it != last && it->byte == byte) ? it->to : -1;
}

std::int32_t AhoCorasick::step(std::int32_t state, unsigned char byte) const {
    for (;;) {
        const std::int32_t c = child(state, byte);
        if (c >= 0)
            return c;
        if (state == 0)
            return 0;
        state = states_[state].fail;
    }
}

}  // namespace plovik
