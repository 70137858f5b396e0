#pragma once

// One writer per folder: a build holds its output folder's lock from its start to its end, so a
// second build into the same folder, in this process or another, is refused instead of mixing
// its files with the first one's.
//
// The lock is an flock() on the file ".plovik-lock" in the folder. The system lets go of it when
// its holder ends in any way, so a build that crashed or was killed leaves at most that small
// file behind, which the next build takes over.

#include <filesystem>
#include <string>

namespace plovik {

struct FolderLockAttempt;

class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // Lets go of the lock (and removes its file); nothing when none is held.
    void release();

    static constexpr const char* kFileName = ".plovik-lock";

private:
    friend FolderLockAttempt tryLockFolder(const std::filesystem::path& folder);
    FolderLock(int fd, std::filesystem::path file) : fd_(fd), file_(std::move(file)) {}

    int fd_ = -1;
    std::filesystem::path file_;
};

// The outcome of tryLockFolder: the lock, or why it could not be had.
struct FolderLockAttempt {
    FolderLock lock;
    bool busy = false;   // another holder has it
    std::string reason;  // empty when the lock is held; otherwise a sentence naming the folder
    explicit operator bool() const { return lock.held(); }
};

// Takes the folder's lock without waiting.
FolderLockAttempt tryLockFolder(const std::filesystem::path& folder);

}  // namespace plovik
