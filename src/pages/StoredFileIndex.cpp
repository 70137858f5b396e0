#include "pages/StoredFileIndex.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

constexpr std::size_t kSeveral = static_cast<std::size_t>(-1);

// The lower-case letter of a two-byte UTF-8 capital of Latin-1, Greek or Cyrillic, whose small
// letter takes two bytes too; 0 for anything else.
unsigned lowerOfTwoByte(unsigned cp) {
    if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) || (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) ||
        (cp >= 0x410 && cp <= 0x42F))
        return cp + 0x20;
    if (cp >= 0x400 && cp <= 0x40F)
        return cp + 0x50;
    return 0;
}

// The name with its capitals made small: ASCII letters always, the letters above when the name
// is UTF-8. Every letter keeps its byte length, so the two names align byte for byte.
void lowerInto(std::string_view text, std::string& out) {
    out.assign(text);
    bool wide = false;
    for (char& c : out) {
        c = asciiLower(c);
        wide = wide || static_cast<unsigned char>(c) >= 0x80;
    }
    if (!wide || !isValidUtf8(out))
        return;
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        const auto lead = static_cast<unsigned char>(out[i]);
        if (lead < 0xC2 || lead >= 0xE0)
            continue;
        const unsigned cp =
            ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(out[i + 1]) & 0x3Fu);
        if (const unsigned small = lowerOfTwoByte(cp)) {
            out[i] = static_cast<char>(0xC0 | (small >> 6));
            out[i + 1] = static_cast<char>(0x80 | (small & 0x3F));
        }
        ++i;
    }
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
    // Look-ups come from two threads at once (the page loop and the keyword index), each with a
    // key of its own; one kept per thread saves an allocation per link.
    thread_local std::string key;
    key.assign(name);
    if (key.back() != '/')
        key += '/';
    key += "index.html";
    return exact_.count(key) > 0;
}

const std::string* StoredFileIndex::foldedMatch(std::string_view name) const {
    thread_local std::string key;
    lowerInto(name, key);
    auto it = folded_.find(key);
    if (it == folded_.end() || it->second == kSeveral)
        return nullptr;
    return &names_[it->second];
}

}  // namespace plovik
