// The application frame over a headless screen: pump, error box, bmp_show, play_set.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"
#include "platform/platform.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Frame : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Core& c = *core;
  platform::Screen screen;
  void SetUp() override {
    platform::ScreenOptions o;
    o.headless = true;
    ASSERT_TRUE(platform::screen_open(screen, o));
    c.frame.screen = &screen;
  }
  void TearDown() override { platform::screen_close(screen); }
};

TEST_F(Frame, PumpCountsEveryPassAndReadsNoMouseWhileTheSurfaceIsLost) {
  const uint32_t before = c.pump_counter;
  pump(c);
  screen.mouse_x = 100, screen.mouse_y = 50, screen.mouse_buttons = 1;
  screen.primary.lost = screen.back.lost = true;
  pump(c);
  EXPECT_EQ(c.pump_counter, before + 2);
  EXPECT_EQ(screen.mouse_x, 0);
  EXPECT_EQ(screen.mouse_y, 0);
  EXPECT_EQ(screen.mouse_buttons, 0);

  c.frame.screen = nullptr;  // without a screen the pump still counts
  pump(c);
  EXPECT_EQ(c.pump_counter, before + 3);
}

TEST_F(Frame, ErrorBoxFormatsAtMost256CharactersAndAlwaysWritesStderr) {
  std::string shown;
  c.ui.message_box = [&](std::string_view text, std::string_view, std::string_view) {
    shown = std::string(text);
    return 0;
  };
  testing::internal::CaptureStderr();
  error_box(c, "%s %d", std::string(300, 'x').c_str(), 7);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, std::string(256, 'x') + "\n");
  EXPECT_EQ(shown, std::string(256, 'x') + "\r\n");
}

// A 24-bit BMP of w x h pixels, each row given as r, g, b triples from the top.
std::string bmp24(int w, int h, const std::vector<uint8_t>& rgb_top_down) {
  const int row = (w * 3 + 3) & ~3;
  std::string b(54 + row * h, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgb_top_down[(y * w + x) * 3];
      const size_t at = 54 + size_t(h - 1 - y) * row + size_t(x) * 3;
      b[at] = static_cast<char>(p[2]), b[at + 1] = static_cast<char>(p[1]);
      b[at + 2] = static_cast<char>(p[0]);
    }
  return b;
}

TEST_F(Frame, BmpShowLeavesTheBitmapInBothBuffersAndAMissingOneShowsBlack) {
  char tmpl[] = "/tmp/korva-bmp-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const std::string path = (dir / "title.bmp").string();
  std::ofstream(path, std::ios::binary) << bmp24(2, 1, {255, 0, 0, 0, 0, 255});
  bmp_show(c, path);
  const auto f = screen.primary.format;
  const uint32_t red = platform::pack_rgb(f, 255, 0, 0), blue = platform::pack_rgb(f, 0, 0, 255);
  for (const platform::Surface* s : {&screen.primary, &screen.back}) {
    EXPECT_EQ(platform::surface_pixel(*s, 10, 10), red);
    EXPECT_EQ(platform::surface_pixel(*s, 630, 470), blue);
  }
  EXPECT_EQ(screen.presents, 1);

  bmp_show(c, (dir / "missing.bmp").string());
  EXPECT_EQ(platform::surface_pixel(screen.primary, 10, 10), 0u);
  std::ofstream(path, std::ios::binary) << "BM not really a bitmap";
  platform::surface_fill(screen.primary, red);
  bmp_show(c, path);
  EXPECT_EQ(platform::surface_pixel(screen.primary, 10, 10), 0u);
  fs::remove_all(dir);
}

TEST_F(Frame, PlaySetStoresTheVideoRectangle) {
  play_set(c, 10, 20, 320, 240, 3);
  EXPECT_EQ(c.frame.video.x, 10);
  EXPECT_EQ(c.frame.video.height, 240);
  EXPECT_EQ(c.frame.video.repeats, 3);
}

}  // namespace
}  // namespace korva
