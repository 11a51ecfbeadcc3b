// A fresh installation per test, written by korva-mkdata's generators into a folder under /tmp.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "frontend/frontend.h"
#include "mkdata.h"

namespace korva::test {

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = (std::filesystem::temp_directory_path() /
           ("korva-frontend-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name()))
              .string();
    std::filesystem::remove_all(dir);
    mkdata::InstallOptions options;
    options.report = [](const std::string&) {};
    const mkdata::InstallResult r = mkdata::install(dir, options);
    ASSERT_TRUE(r.error.empty()) << r.error;
    ASSERT_EQ(r.failed, 0);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir, ec);
  }
  std::string read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // Runs korva headless in mode 1 on the project for a few frames; "" when it ended normally.
  std::string run_headless(const std::string& project, int32_t frames = 8) {
    const std::string korva = std::string(KORVA_BINARY_DIR) + "/korva";
    if (!std::filesystem::exists(korva)) return "korva is not built";
    if (!frontend::clear_run_marker(dir)) return "stale marker";
    if (auto s = frontend::write_runmode(dir, project, 1, 0); !s.ok) return s.error;
    const frontend::RunResult r = frontend::start_and_wait(
        korva, dir, {{"KORVA_HEADLESS", "1"}, {"KORVA_FAST", "1"}, {"KORVA_MAX_FRAMES", std::to_string(frames)}});
    return frontend::judge_run(r, frontend::Marker::Expected, dir).reason;
  }

  std::string dir;
};

}  // namespace korva::test
