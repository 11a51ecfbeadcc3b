// A fresh installation made by korva-mkdata, for tests that run the real korva in it headless
// (under scripted input where they give one) and read back the files it wrote.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korva {

class InstallationRun : public ::testing::Test {
 protected:
  explicit InstallationRun(const std::string& name)
      : dir(std::filesystem::temp_directory_path() / ("korva-" + name + "-" + std::to_string(getpid()))) {}

  std::filesystem::path dir;

  void SetUp() override {
    std::filesystem::remove_all(dir);
    const std::filesystem::path bin(KORVA_BINARY_DIR);
    ASSERT_EQ(std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()), 0);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories((dir / name).parent_path());
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  // Writes runmode.ini and runs korva for frames loop frames with the environment words env;
  // what it says goes to stderr.txt. Returns what std::system gives.
  int run(const std::string& runmode, const std::string& env, int frames = 3) {
    write("runmode.ini", runmode);
    const std::string cmd = "cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1" +
                            " KORVA_FAST=1 KORVA_MAX_FRAMES=" + std::to_string(frames) + " " + env + " '" +
                            KORVA_BINARY_DIR + "/korva' 2> stderr.txt";
    return std::system(cmd.c_str());
  }
};

}  // namespace korva
