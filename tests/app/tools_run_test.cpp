// The small tools in real runs of korva in a fresh installation, headless and under scripted
// input: the collision channel editor (mode 2), the explosion generator (mode 8) and the
// animation rename tools (mode 9).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "editors/editors.h"
#include "installation_run.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class ToolsRun : public InstallationRun {
 protected:
  ToolsRun() : InstallationRun("tools-run") {}
  static std::string point(int32_t x, int32_t y) { return std::to_string(x) + " " + std::to_string(y); }
};

// Two clicks on the cell of elements 1 and 3 and one on the mirrored cell of 2 and 0: the
// project's companion file keeps the codes in the upper triangle.
TEST_F(ToolsRun, CollisionEditorSavesAClickedCellInTheCompanionFile) {
  const auto cell = [](int32_t i, int32_t j) {
    return point(kCollisionMapLeft + j * kCollisionCell + 6, kCollisionMapTop + i * kCollisionCell + 6);
  };
  write("m2.txt", "20 click " + cell(1, 3) + "\n24 click " + cell(1, 3) + "\n28 click " + cell(2, 0) +
                      "\n40 key ESC\n");
  ASSERT_EQ(run("projects/demo/demo.prj\r\n2\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=m2.txt"), 0) << read("stderr.txt");
  const std::string companion = read("projects/demo/demo.col");
  ASSERT_EQ(companion.size(), 65536u);
  EXPECT_EQ(companion[1 * 256 + 3], 2);
  EXPECT_EQ(companion[3 * 256 + 1], 0);
  EXPECT_EQ(companion[0 * 256 + 2], 1);
}

// "Rename Animation" on a 12-frame animation, first in the images folder: the new name is typed
// over the proposed one and the count reported.
TEST_F(ToolsRun, RenameToolRenamesTwelveFrames) {
  for (int32_t n = 1; n <= 12; ++n) write("images/" + animation_frame_path("a_walk", n), "f" + std::to_string(n));
  write("m9.txt",
        "20 click 300 224\n"                    // the menu's "Rename Animation"
        "40 click 120 88\n"                     // the file list's first row: a_walk.pcx
        "60 key BACKSPACE\n61 key BACKSPACE\n62 key BACKSPACE\n63 key BACKSPACE\n64 key BACKSPACE\n"
        "65 key BACKSPACE\n70 text hero\n75 key RETURN\n"
        "90 key RETURN\n110 key ESC\n");
  ASSERT_EQ(run("\r\n9\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=m9.txt"), 0) << read("stderr.txt");
  EXPECT_NE(read("stderr.txt").find("12 files renamed."), std::string::npos) << read("stderr.txt");
  EXPECT_EQ(read("images/hero.pcx"), "f1");
  EXPECT_EQ(read("images/hero.012"), "f12");
  EXPECT_FALSE(fs::exists(dir / "images/a_walk.pcx"));
}

// A project whose visual element reports its animation: the number of frames, and the frame
// current after it set frame 5.
constexpr const char* kAnimationProject =
    ";animation\r\n2\r\n"
    "Camera|./cameras/default_.03d|./sounds/null_.wav|-|0|0|-7|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|"
    "0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0\r\n"
    "Rock|./visuals/ball_.v3d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|"
    "0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|11|0/0/639/479/0x0|0/1|4096/2/50/1|0\r\n"
    "./bckgrnds/bkgr000_.bmp|1|0\r\n"
    "@0\r\n"
    "@1\r\n"
    "var done=0\r\n"
    "if done<>1\r\n"
    "done=1\r\n"
    "global_set(0, last_animation_frame(element))\r\n"
    "animation_frame_set(element, 5)\r\n"
    "global_set(1, animation_frame(element))\r\n"
    "globals_save(\"temp/anim.dat\", 0, 2)\r\n"
    "endif\r\n";

// The first visual (ball_.v3d) is exploded with the default script into 30 frames, and a
// project run shows them as the visual's animation.
TEST_F(ToolsRun, AnExplodedVisualRunsAsAnAnimation) {
  write("m8.txt",
        "30 click 120 140\n"  // the browser's first cell: ball_.v3d
        "50 key ESC\n"        // the script as it is
        "70 key RETURN\n"     // " CONTINUE " over the visual
        "90 key RETURN\n");
  ASSERT_EQ(run("\r\n8\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=m8.txt"), 0) << read("stderr.txt");
  const std::string said = read("stderr.txt");
  EXPECT_NE(said.find("Selected visual (ball_.v3d) will be overwritten!"), std::string::npos) << said;
  EXPECT_NE(said.find("Exploding visual successfully generated!"), std::string::npos) << said;
  EXPECT_NE(read("data/current.exp").find("velocity="), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "3dsfiles/ball_001.3ds"));
  EXPECT_TRUE(fs::exists(dir / "3dsfiles/ball_030.3ds"));
  const std::string visual = read("visuals/ball_.v3d");
  EXPECT_EQ(std::count(visual.begin(), visual.end(), '\n'), 30) << visual;
  EXPECT_EQ(visual.rfind("1|./images/default_.bmp|./3dsfiles/ball_001.3ds|", 0), 0u) << visual;
  EXPECT_NE(visual.find("\r\n30|./images/default_.bmp|./3dsfiles/ball_030.3ds|"), std::string::npos) << visual;

  write("projects/anim.prj", kAnimationProject);
  ASSERT_EQ(run("projects/anim.prj\r\n1\r\n0\r\n0\r\n0\r\n", ""), 0) << read("stderr.txt");
  EXPECT_EQ(read("temp/anim.dat"), "30\r\n5\r\n0\r\n") << read("stderr.txt");
}

}  // namespace
}  // namespace korva
