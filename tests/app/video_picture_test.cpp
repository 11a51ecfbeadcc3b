// The video example end to end: a fresh installation from korva-mkdata, its video project run
// headless by korva, and the screenshot showing the sample video's last picture in the video
// rectangle with the scene around it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/video/video.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

TEST(VideoPicture, APlayInTheFirstBrainPassLeavesTheVideoOnScreen) {
  const fs::path bin(KORVA_BINARY_DIR);
  const fs::path dir = fs::temp_directory_path() / ("korva-video-picture-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()), 0);
  const std::string shot = (dir / "shot.png").string();
  // No loop frame: the run ends right after the warm-up passes, whose first plays the video, so
  // the last picture presented is the video's.
  const std::string run = "cd '" + dir.string() +
                          "' && printf 'projects/video/video.prj\\r\\n1\\r\\n0\\r\\n0\\r\\n0\\r\\n' > runmode.ini"
                          " && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1 KORVA_FAST=1"
                          " KORVA_MAX_FRAMES=0 KORVA_SCREENSHOT='" + shot + "' '" + (bin / "korva").string() +
                          "' 2> stderr.txt";
  ASSERT_EQ(std::system(run.c_str()), 0);
  std::ifstream err(dir / "stderr.txt");
  std::stringstream errors;
  errors << err.rdbuf();
  EXPECT_EQ(errors.str().find("not available"), std::string::npos) << errors.str();

  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(platform::image_load_rgb(shot, rgb, w, h)) << "no screenshot";
  ASSERT_EQ(w, 640);
  ASSERT_EQ(h, 480);
  auto at = [&](int32_t x, int32_t y, int k) { return static_cast<int>(rgb[(static_cast<size_t>(y) * w + x) * 3 + k]); };
  // The sample is 160 x 120, shown twice as large at 160, 120: the last picture's quadrants.
  struct Probe {
    int32_t x, y;  // in the picture
  };
  for (const Probe p : {Probe{20, 10}, Probe{140, 10}, Probe{20, 110}, Probe{140, 110}}) {
    uint8_t want[3];
    video::sample_colour(59, p.x, p.y, 160, 120, want[0], want[1], want[2]);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(at(160 + 2 * p.x, 120 + 2 * p.y, k), want[k], 24) << p.x << "," << p.y;
  }
  // Around the rectangle the scene rendered before the video stays: the sky, blue.
  for (const Probe p : {Probe{100, 20}, Probe{600, 100}})
    EXPECT_GT(at(p.x, p.y, 2), at(p.x, p.y, 0) + 40) << p.x << "," << p.y;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva
