#include "platform/OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plovik {

bool isSafeRelativeName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos)
            slash = name.size();
        if (name.substr(start, slash - start) == "..")
            return false;
        start = slash + 1;
    }
    return true;
}

OutputFolder::OutputFolder(std::string root) : root_(std::move(root)) {
    if (!root_.empty() && root_.back() != '/')
        root_.push_back('/');
}

bool OutputFolder::makeFolders(std::string_view relative) {
    while (!relative.empty() && relative.back() == '/')
        relative.remove_suffix(1);
    if (!isSafeRelativeName(relative))
        return false;
    if (knownFolders_.count(std::string(relative)))
        return true;
    std::size_t end = 0;
    while (end < relative.size()) {
        end = relative.find('/', end + 1);
        if (end == std::string_view::npos)
            end = relative.size();
        std::string prefix(relative.substr(0, end));
        if (prefix.empty() || prefix.back() == '/' || knownFolders_.count(prefix))
            continue;
        const std::string path = root_ + prefix;
        if (::mkdir(path.c_str(), 0755) != 0) {
            if (errno != EEXIST)
                return false;
            struct stat st {};
            // lstat: a link to a folder is not a folder here.
            if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return false;
        }
        knownFolders_.insert(std::move(prefix));
    }
    return true;
}

bool OutputFolder::writeFile(std::string_view relative, std::string_view bytes) {
    return static_cast<bool>(write(relative, bytes));
}

Outcome OutputFolder::write(std::string_view relative, std::string_view bytes) {
    if (!isSafeRelativeName(relative) || relative.back() == '/')
        return Outcome::itemFailed("its name would leave the output folder");
    const std::size_t slash = relative.rfind('/');
    if (slash != std::string_view::npos && !makeFolders(relative.substr(0, slash)))
        return Outcome::itemFailed("its folder could not be made (" +
                                   std::string(relative.substr(0, slash)) + ")");
    const std::string path = root_ + std::string(relative);
    // Replace rather than overwrite: whatever is there (a link, a hard link) goes, and the new
    // file is created afresh, refusing to follow a link that appears meanwhile.
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return Outcome::itemFailed(std::string("it could not be created: ") + std::strerror(errno));
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        return Outcome::ok();
    ::unlink(path.c_str());
    return Outcome::itemFailed("writing " + std::to_string(bytes.size()) + " bytes failed after " +
                               std::to_string(bytes.size() - left) + ": " + std::strerror(error));
}

}  // namespace plovik
