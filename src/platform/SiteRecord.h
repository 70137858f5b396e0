#pragma once

// What a build wrote into its output folder, kept in the folder itself, so that the next build
// can tell its own files from the user's: a folder that holds files no build of ours wrote (the
// help author's project, someone's documents) is not written into without asking.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace plovik {

// The record's file name in the output folder.
inline constexpr std::string_view kSiteRecordName = ".plovik-site";

// The first file below `folder` (relative, '/' between folders) that no earlier build recorded,
// or nullopt when there is none (an empty or missing folder, or one holding only our files). The
// record itself, the lock and leftover temporary files are ours.
std::optional<std::string> foreignFileIn(const std::filesystem::path& folder);

// Which files a folder held before a build, each with what tells a rewritten file from the same
// one: its inode (our writes rename a new file into place) and its change time.
struct FolderSnapshot {
    struct Mark {
        unsigned long long inode = 0;
        long long changed = 0;  // nanoseconds
        bool operator==(const Mark&) const = default;
    };
    std::unordered_map<std::string, Mark> files;
};
FolderSnapshot snapshotOf(const std::filesystem::path& folder);

// Records, for the next build, every file below `folder` that the record already listed and
// every file that is new or changed since `before` (what this build wrote). False when the
// record cannot be written.
bool recordSite(const std::filesystem::path& folder, const FolderSnapshot& before);

}  // namespace plovik
