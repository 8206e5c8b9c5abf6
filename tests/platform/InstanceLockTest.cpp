#include "platform/CInstanceLock.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace {

// Runs Acquire in a child process and returns its result.
CInstanceLock::Result AcquireInChild(const std::string& strName) {
    pid_t pid = fork();
    if (pid == 0) {
        CInstanceLock lock(strName);
        _exit(static_cast<int>(lock.Acquire()));
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return static_cast<CInstanceLock::Result>(WEXITSTATUS(nStatus));
}

}  // namespace

TEST(InstanceLock, secondProcessIsRefusedWhileTheFirstRuns) {
    CInstanceLock lock("vocalon-test-a");
    ASSERT_EQ(lock.Acquire(), CInstanceLock::Result::Acquired);
    EXPECT_TRUE(lock.IsHeld());
    EXPECT_EQ(AcquireInChild("vocalon-test-a"), CInstanceLock::Result::HeldElsewhere);
    EXPECT_EQ(AcquireInChild("vocalon-test-other"), CInstanceLock::Result::Acquired);
}

TEST(InstanceLock, lockOfACrashedProcessDoesNotBlock) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        CInstanceLock lock("vocalon-test-b");
        char c = lock.Acquire() == CInstanceLock::Result::Acquired ? 'y' : 'n';
        (void)!write(fds[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(AcquireInChild("vocalon-test-b"), CInstanceLock::Result::HeldElsewhere);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    CInstanceLock lock("vocalon-test-b");
    EXPECT_EQ(lock.Acquire(), CInstanceLock::Result::Acquired);
    close(fds[0]);
    close(fds[1]);
}

TEST(InstanceLock, releasedWhenTheHolderIsDestroyed) {
    {
        CInstanceLock lock("vocalon-test-c");
        ASSERT_EQ(lock.Acquire(), CInstanceLock::Result::Acquired);
    }
    EXPECT_EQ(AcquireInChild("vocalon-test-c"), CInstanceLock::Result::Acquired);
}
