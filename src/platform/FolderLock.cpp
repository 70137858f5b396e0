#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace plovik {

FolderLock::~FolderLock() {
    release();
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), file_(std::move(other.file_)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        file_ = std::move(other.file_);
    }
    return *this;
}

void FolderLock::release() {
    if (fd_ < 0)
        return;
    // Removed while still locked: whoever opens the name afterwards gets a new file, and the
    // check after locking (see tryLockFolder) makes anyone still holding the old one try again.
    ::unlink(file_.c_str());
    ::close(fd_);
    fd_ = -1;
}

FolderLockAttempt tryLockFolder(const std::filesystem::path& folder) {
    FolderLockAttempt attempt;
    const std::filesystem::path file = folder / FolderLock::kFileName;
    auto fail = [&](const std::string& why) {
        attempt.reason = "The output folder " + folder.string() +
                         " cannot be locked for the build (" + why + ").";
        return std::move(attempt);
    };
    // A holder that lets go removes the file; a file locked after that removal is no longer the
    // one the name shows, and the lock is tried again on the new one.
    for (int tries = 0; tries < 20; ++tries) {
        const int fd =
            ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
        if (fd < 0) {
            if (errno == ELOOP)
                return fail(std::string(FolderLock::kFileName) + " in it is a link");
            return fail(std::strerror(errno));
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return fail(std::string(FolderLock::kFileName) + " in it is not a file");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                attempt.busy = true;
                attempt.reason = "Another build is writing into the output folder " +
                                 folder.string() +
                                 " now. Wait until it has finished, or choose another folder.";
                return attempt;
            }
            return fail(std::strerror(error));
        }
        struct stat named {};
        if (::stat(file.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            attempt.lock = FolderLock(fd, file);
            return attempt;
        }
        ::close(fd);
    }
    return fail("its lock file keeps changing");
}

}  // namespace plovik
