#include "templating/PlaceholderReplacer.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace plovik {

namespace {

// Replaces every occurrence of one placeholder. The text is read once, left to right, through a
// stack of sources: the rest of the text, and on top of it the values inserted but not yet read
// (a value read after an earlier replacement can complete an occurrence with what follows, or with
// what precedes it). A match automaton over the placeholder finds, at each step, the occurrence
// that ends first, which is the one that starts first: the one the search from the beginning
// would replace next.
class OnePlaceholder {
public:
    OnePlaceholder(std::string_view placeholder, std::string_view value)
        : p_(placeholder), v_(value), fail_(placeholder.size(), 0) {
        for (std::size_t i = 1, k = 0; i < p_.size(); ++i) {
            while (k > 0 && p_[i] != p_[k])
                k = fail_[k - 1];
            if (p_[i] == p_[k])
                ++k;
            fail_[i] = k;
        }
        selfContaining_ = v_.find(p_) != std::string_view::npos;
    }

    void apply(std::string& text, std::size_t first) {
        std::string out;
        out.reserve(text.size() + text.size() / 8);
        out.append(text, 0, first);
        // Some texts and values grow without end under the rule (each replacement makes a new
        // occurrence); past this many replacements every value is treated as holding its own
        // placeholder, which ends it. No text of a real page comes near it.
        std::size_t budget = 4 * text.size() + 4096;
        bool resumeAfterValues = selfContaining_;
        std::size_t barrier = 0;  // no occurrence may start before this position of out
        std::size_t state = resume(out, barrier);

        struct Source {
            const char* cur;
            const char* end;
        };
        std::vector<Source> sources{{text.data() + first, text.data() + text.size()}};
        while (!sources.empty()) {
            Source& source = sources.back();
            if (source.cur == source.end) {
                sources.pop_back();
                continue;
            }
            if (state == 0) {
                // Nothing is pending: copy up to the next byte that can start an occurrence.
                const auto* hit = static_cast<const char*>(std::memchr(
                    source.cur, p_[0], static_cast<std::size_t>(source.end - source.cur)));
                const char* stop = hit ? hit : source.end;
                out.append(source.cur, stop);
                source.cur = stop;
                if (!hit)
                    continue;
                // With nothing pending, an occurrence that starts here and ends within this
                // source is the next one, and if there is none, none starts here at all.
                if (static_cast<std::size_t>(source.end - source.cur) >= p_.size()) {
                    if (std::memcmp(source.cur, p_.data(), p_.size()) != 0) {
                        out.push_back(*source.cur++);
                        continue;
                    }
                    source.cur += p_.size();
                    out.append(p_);
                    state = p_.size();
                }
            }
            if (state < p_.size()) {
                const char c = *source.cur++;
                state = step(state, c);
                out.push_back(c);
                if (state < p_.size())
                    continue;
            }

            out.resize(out.size() - p_.size());
            if (budget > 0)
                --budget;
            if (budget == 0)
                resumeAfterValues = true;
            if (resumeAfterValues) {
                out.append(v_);
                barrier = out.size();
                state = 0;
            } else {
                if (!v_.empty())
                    sources.push_back({v_.data(), v_.data() + v_.size()});
                state = resume(out, barrier);
            }
        }
        text = std::move(out);
    }

private:
    std::size_t step(std::size_t state, char c) const {
        while (state > 0 && p_[state] != c)
            state = fail_[state - 1];
        if (p_[state] == c)
            ++state;
        return state;
    }

    // The automaton state after `out`: a partial occurrence is shorter than the placeholder, so
    // the last bytes decide it, from the barrier on.
    std::size_t resume(const std::string& out, std::size_t barrier) const {
        const std::size_t window = p_.size() - 1;
        std::size_t from = out.size() > window ? out.size() - window : 0;
        from = std::max(from, barrier);
        std::size_t state = 0;
        for (std::size_t i = from; i < out.size(); ++i)
            state = step(state, out[i]);
        return state;
    }

    std::string_view p_;
    std::string_view v_;
    std::vector<std::size_t> fail_;
    bool selfContaining_ = false;
};

}  // namespace

void replacePlaceholders(std::string& text, const std::vector<PlaceholderPair>& pairs) {
    for (const auto& [placeholder, value] : pairs) {
        if (placeholder.empty())
            continue;
        const std::size_t first = text.find(placeholder);
        if (first == std::string::npos)
            continue;
        OnePlaceholder(placeholder, value).apply(text, first);
    }
}

}  // namespace plovik
