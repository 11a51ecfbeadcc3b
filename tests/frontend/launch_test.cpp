// Starting korva without waiting: its output is collected, its end judged, and one that hangs
// can be ended. A shell script stands in for korva.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "frontend/frontend.h"

namespace korva::frontend {
namespace {

namespace fs = std::filesystem;

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = (fs::temp_directory_path() / ("korva-launch-" + std::to_string(getpid()))).string();
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string fake(const std::string& body) {
    const std::string path = dir + "/fake-korva";
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  // Polls until the program ends; false when it is still running after ten seconds.
  static bool wait_end(Launch& l) {
    for (int i = 0; i < 1000; ++i) {
      if (l.poll()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::string dir;
};

TEST_F(LaunchTest, CollectsOutputAndJudgesTheEnd) {
  Launch l;
  ASSERT_TRUE(l.start(fake("pwd\necho \"$KORVA_FAST $1\"\necho 'Error in line 3' >&2\nexit 4\n"), dir,
                      {{"KORVA_FAST", "1"}}, {"arg"})
                  .ok);
  EXPECT_TRUE(l.running());
  ASSERT_TRUE(wait_end(l));
  EXPECT_FALSE(l.running());
  EXPECT_EQ(l.output(), fs::canonical(dir).string() + "\n1 arg\nError in line 3\n");
  const Outcome o = judge_run(l.result(), Marker::NotUsed, dir);
  EXPECT_EQ(o.status, 4);
  EXPECT_EQ(o.reason, "korva ended with exit status 4: a brain did not compile");
}

TEST_F(LaunchTest, AHangingKorvaIsEnded) {
  Launch l;
  ASSERT_TRUE(l.start(fake("echo started\nexec sleep 60\n"), dir, {}).ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(l.poll());
  l.kill();
  ASSERT_TRUE(wait_end(l));
  EXPECT_EQ(l.result().signal, 9);
  EXPECT_EQ(judge_run(l.result(), Marker::Expected, dir).status, 128 + 9);
  EXPECT_EQ(l.output(), "started\n");
}

TEST_F(LaunchTest, AMissingProgramIsReported) {
  Launch l;
  const Status s = l.start(dir + "/no-such-korva", dir, {});
  EXPECT_FALSE(s.ok);
  EXPECT_FALSE(l.running());
  EXPECT_EQ(judge_run(l.result(), Marker::NotUsed, dir).status, 127);
}

TEST_F(LaunchTest, RunModeFileIsWrittenSafely) {
  ASSERT_TRUE(write_runmode(dir, "/p/x.prj", 13, 4).ok);
  std::ifstream in(dir + "/runmode.ini", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "/p/x.prj\r\n13\r\n4\r\n0\r\n0\r\n");
  EXPECT_FALSE(write_runmode(dir + "/missing", "/p/x.prj", 1, 0).ok);
}

}  // namespace
}  // namespace korva::frontend
