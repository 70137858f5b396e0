#include "pages/StoredFileIndex.h"

namespace plovik {

namespace {

constexpr std::size_t kSeveral = static_cast<std::size_t>(-1);

void lowerInto(std::string_view text, std::string& out) {
    out.assign(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace

StoredFileIndex::StoredFileIndex(std::vector<std::string> names) : names_(std::move(names)) {
    exact_.reserve(names_.size());
    folded_.reserve(names_.size());
    std::string key;
    for (std::size_t k = 0; k < names_.size(); ++k) {
        // A help can hold the same name twice; that is one file on disk, not two choices.
        if (!exact_.insert(names_[k]).second)
            continue;
        lowerInto(names_[k], key);
        auto [it, added] = folded_.emplace(key, k);
        if (!added)
            it->second = kSeveral;
    }
}

bool StoredFileIndex::exists(std::string_view name) const {
    if (exact_.count(name) > 0)
        return true;
    if (name.empty())
        return false;
    key_.assign(name);
    if (key_.back() != '/')
        key_ += '/';
    key_ += "index.html";
    return exact_.count(key_) > 0;
}

const std::string* StoredFileIndex::foldedMatch(std::string_view name) const {
    lowerInto(name, key_);
    auto it = folded_.find(key_);
    if (it == folded_.end() || it->second == kSeveral)
        return nullptr;
    return &names_[it->second];
}

}  // namespace plovik
