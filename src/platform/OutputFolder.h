#pragma once

// Writes extracted files below one folder and nowhere else. Names come from the CHM and may be
// hostile: a name with a ".." segment, an absolute name, one with a NUL byte or an empty one is
// refused, and so is any path that would pass through something other than a real folder (a
// link that was already in the output folder, say), so nothing is ever written outside it.

#include <string>
#include <string_view>
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

    // Creates the folder `relative` and every missing folder on its way. False when the name is
    // not safe, or something on the way exists and is not a real folder, or creation fails.
    bool makeFolders(std::string_view relative);

    // Writes the file `relative` with one write, creating its folders. An existing file of that
    // name is replaced, never written through (it may be a link to somewhere else). False, with
    // no file left behind, when the name is not safe or anything fails.
    bool writeFile(std::string_view relative, std::string_view bytes);
    // The same, graded: an item failure with the reason when the file could not be written.
    Outcome write(std::string_view relative, std::string_view bytes);

    const std::string& root() const { return root_; }

private:
    std::string root_;
    std::unordered_set<std::string> knownFolders_;  // relative folders checked or made
};

}  // namespace plovik
