#include "platform/FileSystem.h"

#include <system_error>

namespace plovik {

namespace fs = std::filesystem;

bool pathExists(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

bool folderExists(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool createFolder(const fs::path& path) {
    std::error_code ec;
    return fs::create_directory(path, ec);
}

bool createFolders(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return folderExists(path);
}

bool deleteFile(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec)))
        return false;
    return fs::remove(path, ec);
}

bool copyFolder(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::is_directory(from, ec))
        return false;
    bool complete = createFolders(to);
    fs::recursive_directory_iterator it(from, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return false;
    for (auto end = fs::recursive_directory_iterator(); it != end; it.increment(ec)) {
        if (ec)
            return false;
        const fs::path target = to / fs::relative(it->path(), from, ec);
        if (ec) {
            complete = false;
            continue;
        }
        if (it->is_directory(ec)) {
            complete = createFolders(target) && complete;
        } else if (it->is_regular_file(ec)) {
            if (!fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec))
                complete = false;
        }
    }
    return complete;
}

}  // namespace plovik
