#include "platform/SiteRecord.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "platform/FolderLock.h"
#include "platform/OutputFolder.h"

namespace plovik {

namespace fs = std::filesystem;

namespace {

std::unordered_set<std::string> recorded(const fs::path& folder) {
    std::unordered_set<std::string> names;
    std::ifstream in(folder / std::string(kSiteRecordName), std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            names.insert(line);
    return names;
}

bool ours(const std::string& relative) {
    return relative == kSiteRecordName || relative == FolderLock::kFileName ||
           relative.starts_with(OutputFolder::kTemporaryPrefix) ||
           relative.find(std::string("/") + std::string(OutputFolder::kTemporaryPrefix)) !=
               std::string::npos;
}

// Calls `each(relative, entry)` for every file below the folder, links included and not
// followed, until it returns false.
template <typename Each>
void walk(const fs::path& folder, Each each) {
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code kind;
        if (it->is_directory(kind) && !it->is_symlink(kind))
            continue;
        const std::string relative = it->path().lexically_relative(folder).generic_string();
        if (!each(relative, *it))
            return;
    }
}

FolderSnapshot::Mark markOf(const fs::path& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0)
        return {};
    return {static_cast<unsigned long long>(st.st_ino),
            static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec};
}

}  // namespace

FolderSnapshot snapshotOf(const fs::path& folder) {
    FolderSnapshot snapshot;
    walk(folder, [&](const std::string& relative, const fs::directory_entry& entry) {
        snapshot.files.emplace(relative, markOf(entry.path()));
        return true;
    });
    return snapshot;
}

std::optional<std::string> foreignFileIn(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return std::nullopt;
    const auto known = recorded(folder);
    std::optional<std::string> found;
    walk(folder, [&](const std::string& relative, const fs::directory_entry&) {
        if (ours(relative) || known.count(relative))
            return true;
        found = relative;
        return false;
    });
    return found;
}

bool recordSite(const fs::path& folder, const FolderSnapshot& before) {
    const auto known = recorded(folder);
    std::vector<std::string> names;
    walk(folder, [&](const std::string& relative, const fs::directory_entry& entry) {
        if (ours(relative) || relative.find('\n') != std::string::npos)
            return true;
        const auto was = before.files.find(relative);
        if (known.count(relative) || was == before.files.end() ||
            !(was->second == markOf(entry.path())))
            names.push_back(relative);
        return true;
    });
    // In name order: the order a folder lists its files in follows the order they were made in,
    // which says nothing about the site.
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names)
        text += name + '\n';
    return OutputFolder(folder.string() + "/").writeFile(kSiteRecordName, text);
}

}  // namespace plovik
