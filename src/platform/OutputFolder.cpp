#include "platform/OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace plovik {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::string errorText(int error) {
    return std::strerror(error);
}

}  // namespace

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

OutputFolder::~OutputFolder() {
    closeFolders();
}

void OutputFolder::closeFolders() {
    for (const auto& [name, fd] : openFolders_)
        ::close(fd);
    openFolders_.clear();
}

// Files mostly come a folder at a time, or from a few folders in turn: each folder stays open
// for the next, which saves walking to it again. The descriptor is the real folder reached
// before, so keeping it open never lets a write go through a link put in its place since.
int OutputFolder::folderFor(std::string_view relative) {
    const std::string key(relative);
    if (const auto open = openFolders_.find(key); open != openFolders_.end())
        return open->second;
    const int fd = openFolder(relative, !knownFolders_.count(key));
    if (fd < 0)
        return -1;
    if (!relative.empty())
        knownFolders_.insert(key);
    // A help of many folders would otherwise hold a descriptor for each.
    constexpr std::size_t kMostOpen = 64;
    if (openFolders_.size() >= kMostOpen)
        closeFolders();
    openFolders_.emplace(key, fd);
    return fd;
}

int OutputFolder::openFolder(std::string_view relative, bool create) {
    Descriptor folder(
        ::open(root_.empty() ? "." : root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return -1;
    // One step at a time from the root, each opened without following a link: a folder that is
    // checked by its name and then opened could have been swapped for a link in between.
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t slash = relative.find('/', start);
        if (slash == std::string_view::npos)
            slash = relative.size();
        const std::string part(relative.substr(start, slash - start));
        start = slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (create && ::mkdirat(folder.get(), part.c_str(), 0755) != 0 && errno != EEXIST)
            return -1;
        const int next =
            ::openat(folder.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            // A link where a folder should be says "too many levels of links"; what it is, for
            // the user, is something that is not a folder.
            if (errno == ELOOP)
                errno = ENOTDIR;
            return -1;
        }
        folder = Descriptor(next);
    }
    return folder.release();
}

bool OutputFolder::makeFolders(std::string_view relative) {
    while (!relative.empty() && relative.back() == '/')
        relative.remove_suffix(1);
    if (!isSafeRelativeName(relative))
        return false;
    if (knownFolders_.count(std::string(relative)))
        return true;
    const int fd = openFolder(relative, true);
    if (fd < 0)
        return false;
    ::close(fd);
    knownFolders_.insert(std::string(relative));
    return true;
}

bool OutputFolder::writeFile(std::string_view relative, std::string_view bytes) {
    return static_cast<bool>(write(relative, bytes));
}

Outcome OutputFolder::write(std::string_view relative, std::string_view bytes) {
    Staged staged;
    Outcome outcome = stage(relative, bytes, staged);
    return outcome ? commit(staged) : outcome;
}

Outcome OutputFolder::stage(std::string_view relative, std::string_view bytes, Staged& staged) {
    if (!isSafeRelativeName(relative) || relative.back() == '/')
        return Outcome::itemFailed("its name would leave the output folder");
    const std::size_t slash = relative.rfind('/');
    const std::string_view folderName =
        slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
    std::string name(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
    if (name == ".")
        return Outcome::itemFailed("its name is a folder's");

    const int folder = folderFor(folderName);
    if (folder < 0) {
        return Outcome::itemFailed("its folder could not be made (" + std::string(folderName) +
                                   "): " + errorText(errno));
    }

    // The new bytes go to a name of our own beside the file; only a complete file is renamed
    // over the old one, and a rename replaces a link at that name instead of following it. No
    // fsync: a build writes tens of thousands of files, and it is a stop or a full disk that
    // must not leave a cut file, not a power cut.
    static std::atomic<unsigned> counter{0};
    static const pid_t process = ::getpid();  // asked once: it is a system call per file
    std::string temporary;
    Descriptor file;
    for (int attempt = 0; attempt < 100 && file.get() < 0; ++attempt) {
        temporary = std::string(kTemporaryPrefix) + std::to_string(process) + "-" +
                    std::to_string(counter++);
        file = Descriptor(::openat(folder, temporary.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (file.get() < 0 && errno != EEXIST)
            break;
    }
    if (file.get() < 0)
        return Outcome::itemFailed("it could not be created: " + errorText(errno));

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(file.get(), p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(file.release()) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return Outcome::itemFailed("writing " + std::to_string(bytes.size()) +
                                   " bytes failed after " + std::to_string(bytes.size() - left) +
                                   ": " + errorText(error));
    }
    staged.folder.assign(folderName);
    staged.name = std::move(name);
    staged.temporary = std::move(temporary);
    return Outcome::ok();
}

Outcome OutputFolder::commit(const Staged& staged) {
    const int folder = folderFor(staged.folder);
    if (folder < 0) {
        return Outcome::itemFailed("its folder could not be reached again (" + staged.folder +
                                   "): " + errorText(errno));
    }
    if (::renameat(folder, staged.temporary.c_str(), folder, staged.name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder, staged.temporary.c_str(), 0);
        return Outcome::itemFailed("it could not take the place of what has its name: " +
                                   errorText(error));
    }
    return Outcome::ok();
}

void OutputFolder::discard(const Staged& staged) {
    const int folder = folderFor(staged.folder);
    if (folder >= 0)
        ::unlinkat(folder, staged.temporary.c_str(), 0);
}

}  // namespace plovik
