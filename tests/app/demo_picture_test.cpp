// The demo project as a user first sees it: a fresh installation from korva-mkdata, the demo
// run headless on the software device, and the last picture compared with its reference.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/settings.h"
#include "golden.h"
#include "platform/platform.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

// How a picture test runs its project: headless by default; display_mode (a DisplayMode bit)
// other than 0 is written to the installation's settings first; a screen width other than 0
// runs full screen on a virtual display of that size and compares the whole window instead.
struct PictureRun {
  int32_t display_mode = 0;
  int screen_width = 0, screen_height = 0;
};

// Runs project (a path below a fresh installation) for frames loop frames, with the scripted
// input given (if any), and compares the last picture with reference name.
void expect_project_picture(const std::string& project, int frames, const std::string& name,
                            const std::string& input = "", const PictureRun& how = {}) {
  const fs::path bin(KORVA_BINARY_DIR);
  const fs::path dir = fs::temp_directory_path() / ("korva-picture-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()), 0);
  if (how.display_mode) {
    Settings settings;
    settings.display_mode = how.display_mode;
    ASSERT_TRUE(settings_write_file(settings, (dir / "config.ini").string()));
  }
  const std::string shot = (dir / "shot.png").string();
  if (!input.empty()) std::ofstream((dir / "input.txt").string(), std::ios::binary) << input;
  const bool window = how.screen_width > 0;
  const std::string display =
      window ? " flock /tmp/korva-xvfb.lock xvfb-run -a -s '-screen 0 " + std::to_string(how.screen_width) + "x" +
                   std::to_string(how.screen_height) + "x24' env KORVA_WINDOW_SHOT='" + shot + "'"
             : " env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1 KORVA_SCREENSHOT='" + shot + "'";
  const std::string run = "cd '" + dir.string() + "' && printf '" + project +
                          "\\r\\n1\\r\\n0\\r\\n0\\r\\n0\\r\\n' > runmode.ini && " + display + " KORVA_FAST=1" +
                          std::string(input.empty() ? "" : " KORVA_INPUT=input.txt") +
                          " KORVA_MAX_FRAMES=" + std::to_string(frames) + " '" + (bin / "korva").string() +
                          "' 2> stderr.txt";
  ASSERT_EQ(std::system(run.c_str()), 0);
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(platform::image_load_rgb(shot, rgb, w, h)) << "no screenshot";
  golden::expect_rgb(rgb, w, h, "app", name, golden::kRendered3D);
  fs::remove_all(dir);
}

TEST(DemoPicture, TheDemoRunShowsItsSceneSpritesCounterAndCaption) {
  expect_project_picture("projects/demo/demo.prj", 60, "demo");
}

// One element of every kind that can be seen: a camera with a smaller viewport, the FRAME
// picture around it, a BACKGROUND band, a 3D shape, a visual of two looks, an .x model, a flat
// shape, lights, a sprite and a counter.
TEST(DemoPicture, EveryKindOfElementIsDrawnInAProjectRun) {
  expect_project_picture("projects/kinds/kinds.prj", 30, "kinds");
}

// The race example: a spline racer and a recorded-track racer on an oval course, with the gate
// posts and each racer's lap and place on counters.
TEST(DemoPicture, TheRaceExampleShowsBothRacersAndTheirCounters) {
  expect_project_picture("projects/race/race.prj", 90, "race");
}

// In a real window (a virtual display here) the run presents through SDL while the 3D device
// draws through its own context; the two must not disturb each other.
TEST(DemoPicture, TheDemoRunsInAWindow) {
  if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  const fs::path bin(KORVA_BINARY_DIR);
  const fs::path dir = fs::temp_directory_path() / ("korva-demo-window-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()), 0);
  const std::string run = "cd '" + dir.string() +
                          "' && printf 'projects/demo/demo.prj\\r\\n1\\r\\n0\\r\\n0\\r\\n0\\r\\n' > runmode.ini"
                          // One virtual display at a time: xvfb-run -a races for display numbers.
                          " && flock /tmp/korva-xvfb.lock xvfb-run -a -s '-screen 0 1024x768x24' env"
                          " KORVA_WINDOWED=1 KORVA_FAST=1"
                          " KORVA_MAX_FRAMES=30 KORVA_SCREENSHOT=shot.png '" + (bin / "korva").string() +
                          "' 2> stderr.txt";
  EXPECT_EQ(std::system(run.c_str()), 0);
  EXPECT_TRUE(fs::exists(dir / "temp/wasok.dat"));
  EXPECT_TRUE(fs::exists(dir / "shot.png"));
  fs::remove_all(dir);
}

// The demo in the 32-bit 1024 x 768 mode.
TEST(DemoPicture, TheDemoAt1024x768) {
  expect_project_picture("projects/demo/demo.prj", 60, "demo_1024", "", {.display_mode = kMode1024x32});
}

// Full screen on a 1920 x 1080 display without a window manager: the 640 x 480 picture fills the
// screen's height, smoothly enlarged, with borders at the sides.
TEST(DemoPicture, TheDemoFullScreenOnAWideDisplay) {
  if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  expect_project_picture("projects/demo/demo.prj", 60, "demo_window_1920", "",
                         {.screen_width = 1920, .screen_height = 1080});
}

// The meshes example: a sheet rippling through vertex_pos_set, volume shadows of a turning cube
// (v_shadow_*), of a bouncing ball and of an animated .x model (shadow_add) on the floor, and a
// block given a red material while the scripted mouse points at it.
TEST(DemoPicture, TheMeshesExampleShowsARippleShadowsAndAPickedMaterial) {
  expect_project_picture("projects/shadows/shadows.prj", 25, "shadows", "2 mouse 476 300\r\n");
}

// Twenty frames later the animated model has turned on, the ball has moved and their shadows
// with them; the mouse is away, so the block keeps its own material.
TEST(DemoPicture, TheMeshesExampleTwentyFramesLater) {
  expect_project_picture("projects/shadows/shadows.prj", 45, "shadows_later");
}

}  // namespace
}  // namespace korva
