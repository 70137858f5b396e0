#pragma once

// Writes files below one folder and nowhere else. Names come from the CHM and may be hostile: a
// name with a ".." segment, an absolute name, one with a NUL byte or an empty one is refused, and
// so is any path that would pass through something other than a real folder (a link that was
// already in the output folder, say), so nothing is ever written outside it.
//
// Every file is created afresh under a temporary name in its own folder and renamed into place
// once all its bytes are written, so a full disk or a build stopped half-way leaves the old file
// or the new one under the name, never a cut one, and never writes through a link that sits
// where the file goes.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/Outcome.h"

namespace plovik {

// A relative name that stays below the folder it is joined to: not empty, no NUL byte, no
// leading '/', no ".." segment.
bool isSafeRelativeName(std::string_view name);

class OutputFolder {
public:
    // `root` is the folder itself, ending with '/'. It is the user's choice and is trusted as it
    // is; only what lies below it is checked.
    explicit OutputFolder(std::string root);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Creates the folder `relative` and every missing folder on its way. False when the name is
    // not safe, or something on the way exists and is not a real folder, or creation fails.
    bool makeFolders(std::string_view relative);

    // Writes the file `relative`, creating its folders. An existing file of that name is
    // replaced, never written through (it may be a link to somewhere else). False, with the old
    // file (if any) left as it was, when the name is not safe or anything fails.
    bool writeFile(std::string_view relative, std::string_view bytes);
    // The same, graded: an item failure with the reason (the system's words, the bytes written)
    // when the file could not be written.
    Outcome write(std::string_view relative, std::string_view bytes);

    // write() in two steps, for files whose bytes come before their turn: stage() writes them
    // whole under a temporary name beside where they go, commit() puts them in place, and
    // discard() removes them when their turn never comes. Until commit(), nothing under the
    // file's own name has changed.
    struct Staged {
        std::string folder;     // relative, empty for the root
        std::string name;       // the file's name in that folder
        std::string temporary;  // the name the bytes wait under
    };
    Outcome stage(std::string_view relative, std::string_view bytes, Staged& staged);
    Outcome commit(const Staged& staged);
    void discard(const Staged& staged);

    const std::string& root() const { return root_; }

    // The prefix of the temporary names files are written under before they are renamed; a
    // build killed outright may leave one behind.
    static constexpr std::string_view kTemporaryPrefix = ".plovik-tmp-";

private:
    // An open descriptor of the folder `relative` (empty: the root), reached without following
    // a link below the root and made where missing; -1 with errno set when that fails.
    int openFolder(std::string_view relative, bool create);
    // The same, kept open for the files that follow (owned here); -1 with errno set.
    int folderFor(std::string_view relative);
    void closeFolders();

    std::string root_;
    std::unordered_set<std::string> knownFolders_;  // relative folders made or found real
    // Folders files went to lately, by relative name, and their open descriptors.
    std::unordered_map<std::string, int> openFolders_;
};

}  // namespace plovik
