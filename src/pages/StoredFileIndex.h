#pragma once

// The names of every file a build wrote out of the help file, looked up as they are and with
// letter case ignored: the help was made for a file system that ignores case, the site is served
// by one that does not. Case is ASCII case, and in UTF-8 names also that of the Latin-1, Greek
// and Cyrillic letters.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace plovik {

class StoredFileIndex {
public:
    explicit StoredFileIndex(std::vector<std::string> names);
    StoredFileIndex(const StoredFileIndex&) = delete;
    StoredFileIndex& operator=(const StoredFileIndex&) = delete;

    // A stored file of exactly this name, or a folder that holds an "index.html".
    bool exists(std::string_view name) const;

    // The one stored name that equals `name` when case is ignored; nullptr when there is
    // none or when several names differ only in case (then no choice would be right).
    const std::string* foldedMatch(std::string_view name) const;

private:
    std::vector<std::string> names_;
    std::unordered_set<std::string_view> exact_;
    // Lower-cased name -> index into names_, or kSeveral.
    std::unordered_map<std::string, std::size_t> folded_;
};

}  // namespace plovik
