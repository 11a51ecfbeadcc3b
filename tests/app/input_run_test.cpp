// Brains and what a player does, in real runs of a project in a fresh installation: the mouse of
// an input script reaches the picking keywords as a real pointer would, and the debug value a
// brain sets is shown on the picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "installation_run.h"
#include "platform/platform.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class InstalledRun : public InstallationRun {
 protected:
  InstalledRun() : InstallationRun("input-run") {}
  using InstallationRun::run;
  // Runs projects/t.prj for frames loop frames with the environment words env.
  int run(int frames, const std::string& env = "") {
    return run("projects/t.prj\r\n1\r\n0\r\n0\r\n0\r\n", env, frames);
  }
};

// A camera and a 32 x 32 sprite at (300, 100); the sprite's brain saves whether it is picked.
constexpr const char* kSpriteProject =
    ";picking\r\n2\r\n"
    "Camera|./cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|"
    "0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0\r\n"
    "Ball|./sprites/default_.pcx|./sounds/null_.wav|-|300|100|0|0|0|0|0|0|0|0|0|0|0.000|0.000|"
    "0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|5|0/0/639/479/0x0|0/1|4096/2/50/0|0\r\n"
    "./bckgrnds/bkgr000_.bmp|1|0\r\n"
    "@0\r\n"
    "debug(4321)\r\n"
    "@1\r\n"
    "global_set(timer(element), sprite_picked(element))\r\n"
    "globals_save(\"temp/picked.dat\", 0, 9)\r\n";

TEST_F(InstalledRun, AScriptedPointerPicksASpriteAndTheDebugValueIsShown) {
  write("projects/t.prj", kSpriteProject);
  // Over the ball from loop frame 2 (brain pass 6) on, beside it from loop frame 4 (pass 8).
  write("mouse.txt", "2 mouse 316 116\r\n4 mouse 200 300\r\n");
  const std::string shot = (dir / "shot.png").string();
  ASSERT_EQ(run(5, "KORVA_INPUT=mouse.txt KORVA_SCREENSHOT='" + shot + "'"), 0) << read("stderr.txt");
  // Brain passes 0..3 warm up, loop frame k is pass 4 + k.
  EXPECT_EQ(read("temp/picked.dat"), "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n-1\r\n-1\r\n0\r\n0\r\n") << read("stderr.txt");

  // The debug value is printed at the top left, light on the picture.
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(platform::image_load_rgb(shot, rgb, w, h));
  int32_t light = 0;
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 80; ++x) light += rgb[3 * (size_t(y) * w + x)] > 200;
  EXPECT_GT(light, 20);
}

// A model whose import crashes leaves the run going with the default model (here, as the
// import of every model is made to fail, with none) and one line naming the file.
TEST_F(InstalledRun, AModelImportThatCrashesLeavesTheRunGoing) {
  write("runmode.ini", "projects/kinds/kinds.prj\r\n1\r\n0\r\n0\r\n0\r\n");
  const std::string cmd = "cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1" +
                          " KORVA_FAST=1 KORVA_MAX_FRAMES=5 KORVA_IMPORT_FAULT=abort KORVA_MODEL_CACHE='" +
                          (dir / "cache").string() + "' '" + KORVA_BINARY_DIR + "/korva' 2> stderr.txt";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << read("stderr.txt");
  EXPECT_NE(read("stderr.txt").find("xvisuals/default_.x not loaded (the importer crashed on it)"), std::string::npos)
      << read("stderr.txt");
  EXPECT_EQ(read("temp/wasok.dat"), "wasok\r\n");
}

}  // namespace
}  // namespace korva
