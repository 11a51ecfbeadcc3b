// The single-instance lock: a second holder waits, looks again, and gives up.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/instance_lock.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Lock : public ::testing::Test {
 protected:
  fs::path dir;
  std::string folder;
  void SetUp() override {
    char tmpl[] = "/tmp/korva-lock-XXXXXX";
    dir = mkdtemp(tmpl);
    folder = dir.string() + "/";
  }
  void TearDown() override { fs::remove_all(dir); }
};

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

TEST_F(Lock, SecondHolderLooksElevenTimesThenGivesUp) {
  InstanceLock first, second;
  ASSERT_TRUE(instance_lock_acquire(first, folder));
  ASSERT_GE(first.fd, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(instance_lock_acquire(second, folder, kInstanceLooks, 20));
  // Eleven looks, each followed by a wait: 11 x 20 ms (the real interval of 500 ms gives 5.5 s).
  EXPECT_GE(seconds_since(start), 0.22);
  EXPECT_EQ(second.fd, -1);
  instance_lock_release(first);
  EXPECT_TRUE(instance_lock_acquire(second, folder, kInstanceLooks, 20));
  instance_lock_release(second);
}

TEST_F(Lock, WaiterGetsTheLockWhenTheHolderEnds) {
  InstanceLock first, second;
  ASSERT_TRUE(instance_lock_acquire(first, folder));
  std::thread ender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    instance_lock_release(first);
  });
  EXPECT_TRUE(instance_lock_acquire(second, folder, kInstanceLooks, 20));
  ender.join();
  EXPECT_GE(second.fd, 0);
  instance_lock_release(second);
}

TEST_F(Lock, TheKernelReleasesTheLockOfAProcessThatDies) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock held;
    bool ok = instance_lock_acquire(held, folder, 1, 1);
    char byte = ok ? 1 : 0;
    (void)!write(ready[1], &byte, 1);
    pause();  // killed below without any clean-up
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);
  InstanceLock mine;
  EXPECT_FALSE(instance_lock_acquire(mine, folder, 2, 1));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(instance_lock_acquire(mine, folder, 2, 1));
  EXPECT_GE(mine.fd, 0);
  instance_lock_release(mine);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(Lock, AFolderWithoutRoomForTheLockStillStarts) {
  InstanceLock lock;
  EXPECT_TRUE(instance_lock_acquire(lock, folder + "no/such/folder/"));
  EXPECT_EQ(lock.fd, -1);
}

}  // namespace
}  // namespace korva
