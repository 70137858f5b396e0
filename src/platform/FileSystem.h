#pragma once

// The few file-system services the build needs, as small functions that report with a bool and
// never throw.

#include <filesystem>

namespace plovik {

bool pathExists(const std::filesystem::path& path);  // a file or a folder
bool folderExists(const std::filesystem::path& path);

// An existing file (links followed) that is marked read-only: its owner may not write it, or
// this process may not. Replacing such a file is something to ask about first.
bool isReadOnlyFile(const std::filesystem::path& path);

// Creates one folder; false when it could not be created (it may already exist).
bool createFolder(const std::filesystem::path& path);
// Creates the folder and every missing parent; true when the folder exists afterwards.
bool createFolders(const std::filesystem::path& path);
// Removes one file; false when there was none or it could not be removed.
bool deleteFile(const std::filesystem::path& path);

// Copies the folder tree `from` to `to` (the copy itself, not a folder to copy into): missing
// folders are created, existing files replaced without asking, each written whole under a
// temporary name and renamed into place. A link already in the destination is never written
// through: a linked file is replaced, a linked folder (the copy's own among them) refused. False
// when `from` is not a folder or something could not be copied; what could be copied is copied.
bool copyFolder(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace plovik
