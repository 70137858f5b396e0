#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "platform/OutputFolder.h"
#include "platform/TextFile.h"

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

bool isReadOnlyFile(const fs::path& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // The owner's write bit, not only access(): the superuser may write anything.
    return (st.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0;
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
    // The copy goes through OutputFolder: a link that already sits in the destination, as a
    // file or as a folder on the way, is replaced or refused, never written through.
    fs::path copy = to.lexically_normal();
    if (!copy.has_filename())
        copy = copy.parent_path();
    const std::string parent = copy.has_parent_path() ? copy.parent_path().string() : ".";
    const std::string top = copy.filename().string();
    OutputFolder out(parent);
    bool complete = out.makeFolders(top);
    fs::recursive_directory_iterator it(from, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return false;
    for (auto end = fs::recursive_directory_iterator(); it != end; it.increment(ec)) {
        if (ec)
            return false;
        const fs::path relative = fs::relative(it->path(), from, ec);
        if (ec) {
            complete = false;
            continue;
        }
        const std::string target = top + "/" + relative.generic_string();
        if (it->is_directory(ec)) {
            complete = out.makeFolders(target) && complete;
        } else if (it->is_regular_file(ec)) {
            auto bytes = readBinaryFile(it->path());
            complete = bytes && out.writeFile(target, *bytes) && complete;
        }
    }
    return complete;
}

}  // namespace plovik
