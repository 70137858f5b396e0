#include "platform/FolderLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

TEST(FolderLock, OneHolderAtATimeAndTheFileGoesWithTheLock) {
    test::TempDir dir;
    FolderLockAttempt first = tryLockFolder(dir.path());
    ASSERT_TRUE(first) << first.reason;
    EXPECT_TRUE(pathExists(dir.path() / FolderLock::kFileName));

    FolderLockAttempt second = tryLockFolder(dir.path());
    EXPECT_FALSE(second);
    EXPECT_TRUE(second.busy);
    EXPECT_NE(second.reason.find(dir.path().string()), std::string::npos) << second.reason;

    // Moving the lock keeps it held.
    FolderLock moved = std::move(first.lock);
    EXPECT_FALSE(tryLockFolder(dir.path()));
    moved.release();
    EXPECT_FALSE(pathExists(dir.path() / FolderLock::kFileName));
    FolderLockAttempt third = tryLockFolder(dir.path());
    EXPECT_TRUE(third) << third.reason;
}

TEST(FolderLock, AHolderThatIsKilledLeavesNoLockBehind) {
    test::TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FolderLockAttempt held = tryLockFolder(dir.path());
        const char c = held ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_TRUE(tryLockFolder(dir.path()).busy);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    // Its file is still there, but not its lock.
    EXPECT_TRUE(pathExists(dir.path() / FolderLock::kFileName));
    FolderLockAttempt after = tryLockFolder(dir.path());
    EXPECT_TRUE(after) << after.reason;
}

TEST(FolderLock, FoldersThatCannotHoldTheLockAreNamedWithTheReason) {
    test::TempDir dir;
    FolderLockAttempt missing = tryLockFolder(dir.path() / "missing");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.busy);
    EXPECT_NE(missing.reason.find("missing"), std::string::npos);
    EXPECT_NE(missing.reason.find("No such file"), std::string::npos) << missing.reason;

    test::writeFile(dir.path() / "elsewhere", "precious");
    fs::create_directory(dir.path() / "linked");
    fs::create_symlink(dir.path() / "elsewhere", dir.path() / "linked" / FolderLock::kFileName);
    FolderLockAttempt linked = tryLockFolder(dir.path() / "linked");
    EXPECT_FALSE(linked);
    EXPECT_NE(linked.reason.find("link"), std::string::npos) << linked.reason;
    EXPECT_EQ(test::readFile(dir.path() / "elsewhere"), "precious");
}

}  // namespace
}  // namespace plovik
