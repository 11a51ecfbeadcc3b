// Drawing primitives, the palette rule and the PCX loader of the panel toolkit.
#include <cstring>

#include "gui_fixture.h"

namespace korva::test {
namespace {

int32_t count_changed(const uint8_t* a, const uint8_t* b) {
  int32_t n = 0;
  for (int32_t i = 0; i < kGuiPixels; ++i) n += a[i] != b[i];
  return n;
}

TEST(GuiDraw, PlotClipsAndNegativeColoursCombineByExclusiveOr) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_fill(g, 0x0F);
  gui_plot(g, 639, 479, 7);
  gui_plot(g, 640, 0, 9);  // outside: ignored
  gui_plot(g, -1, 5, 9);
  EXPECT_EQ(gui_get_pixel(g, 639, 479), 7);
  EXPECT_EQ(gui_get_pixel(g, 0, 0), 0x0F);
  gui_plot(g, 3, 3, -0xF0);
  EXPECT_EQ(gui_get_pixel(g, 3, 3), 0xFF);
  // The same shape twice in an exclusive-or colour restores the screen.
  std::vector<uint8_t> before(g.pixels, g.pixels + kGuiPixels);
  gui_line(g, 10, 10, 300, 77, -255);
  gui_box(g, 20, 20, 200, 100, -3);
  EXPECT_GT(count_changed(before.data(), g.pixels), 0);
  gui_box(g, 20, 20, 200, 100, -3);
  gui_line(g, 10, 10, 300, 77, -255);
  EXPECT_EQ(count_changed(before.data(), g.pixels), 0);
}

TEST(GuiDraw, LinesIncludeBothEndsAndStepAlongTheLongerAxis) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_clear(g);
  gui_line(g, 5, 5, 15, 8, 9);
  std::vector<uint8_t> zero(kGuiPixels, 0);
  EXPECT_EQ(count_changed(zero.data(), g.pixels), 11);  // one pixel per column
  EXPECT_EQ(gui_get_pixel(g, 5, 5), 9);
  EXPECT_EQ(gui_get_pixel(g, 15, 8), 9);
  gui_clear(g);
  gui_line(g, 2, 30, 0, 10, 4);
  EXPECT_EQ(count_changed(zero.data(), g.pixels), 21);  // one pixel per row
}

TEST(GuiDraw, XorLineInvertsEachPixelOnceAndSkipsLinesOffScreen) {
  GuiFixture f;
  Gui& g = f.gui;
  struct Case {
    int32_t x1, y1, x2, y2;
  } cases[] = {{0, 0, 100, 0}, {10, 10, 10, 57}, {3, 4, 250, 199}, {600, 470, 7, 2}, {5, 5, 6, 6}};
  for (const Case& k : cases) {
    gui_fill(g, 0x55);
    gui_xor_line(g, k.x1, k.y1, k.x2, k.y2);
    EXPECT_EQ(gui_get_pixel(g, k.x1, k.y1), 0xAA);
    EXPECT_EQ(gui_get_pixel(g, k.x2, k.y2), 0xAA);
    for (int32_t i = 0; i < kGuiPixels; ++i)
      ASSERT_TRUE(g.pixels[i] == 0x55 || g.pixels[i] == 0xAA);  // never inverted twice
    // The pieces join up: no gap wider than one pixel along the line.
    const int32_t dx = std::abs(k.x2 - k.x1), dy = std::abs(k.y2 - k.y1);
    int32_t inverted = 0;
    for (int32_t i = 0; i < kGuiPixels; ++i) inverted += g.pixels[i] == 0xAA;
    EXPECT_GE(inverted, std::max(dx, dy) / 2 + 1);
    gui_xor_line(g, k.x1, k.y1, k.x2, k.y2);
    for (int32_t i = 0; i < kGuiPixels; ++i) ASSERT_EQ(g.pixels[i], 0x55);
  }
  gui_xor_line(g, -1, 0, 10, 10);
  gui_xor_line(g, 0, 0, 10, 480);
  for (int32_t i = 0; i < kGuiPixels; ++i) ASSERT_EQ(g.pixels[i], 0x55);
}

TEST(GuiDraw, FillBoxClampsRightAndBottomAndSkipsOffScreenCorners) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_clear(g);
  gui_fill_box(g, 630, 470, 700, 900, 6);
  EXPECT_EQ(gui_get_pixel(g, 630, 470), 6);
  EXPECT_EQ(gui_get_pixel(g, 639, 479), 6);
  EXPECT_EQ(gui_get_pixel(g, 629, 470), 0);
  gui_clear(g);
  gui_fill_box(g, -5, 10, 20, 20, 6);
  gui_fill_box(g, 10, 480, 20, 500, 6);
  std::vector<uint8_t> zero(kGuiPixels, 0);
  EXPECT_EQ(count_changed(zero.data(), g.pixels), 0);
}

TEST(GuiDraw, BlitScaledIsNearestNeighbourAndRubberBandEraseRestores) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_clear(g);
  const uint8_t image[4] = {1, 2, 3, 4};  // 2 x 2
  gui_blit_scaled(g, image, 2, 2, 100, 100, 103, 103);
  const int32_t expect[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(gui_get_pixel(g, 100 + x, 100 + y), expect[y][x]);
  gui_blit_scaled(g, image, 2, 2, 636, 476, 643, 483);  // clipped at the screen edge
  EXPECT_EQ(gui_get_pixel(g, 639, 479), 1);

  std::vector<uint8_t> before(g.pixels, g.pixels + kGuiPixels);
  gui_rubber_band(g, 90, 90, 120, 110);
  EXPECT_EQ(gui_get_pixel(g, 101, 101), 0xFE);
  gui_rubber_band_erase(g);
  gui_rubber_band_erase(g);  // a second erase has no band to take away
  EXPECT_EQ(count_changed(before.data(), g.pixels), 0);
}

TEST(GuiPalette, RgbIndexFollowsTheCubeRule) {
  struct Case {
    int32_t r, g, b, index;
  } cases[] = {
      {0, 0, 0, 0},          {15, 16, 16, 1},       {8, 8, 7, 0},        {10, 10, 4, 1},
      {16, 0, 0, 2},         {100, 150, 200, 96},   {255, 0, 0, 218},    {0, 0, 255, 7},
      {240, 255, 255, 253},  {250, 250, 240, 254},  {241, 241, 239, 254}, {255, 255, 255, 255},
      {248, 248, 249, 255},  {255, 200, 250, 247},
  };
  for (const Case& k : cases)
    EXPECT_EQ(gui_rgb_index(k.r, k.g, k.b), k.index) << k.r << "," << k.g << "," << k.b;
}

// A PCX file: header, the given encoded bytes and a palette whose entry i is (i, 255 - i, 0).
std::vector<uint8_t> pcx_file(int32_t width, int32_t height, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> b(128, 0);
  b[0] = 10;
  b[1] = 5;
  b[2] = 1;
  b[3] = 8;
  b[8] = static_cast<uint8_t>(width - 1);
  b[9] = static_cast<uint8_t>((width - 1) >> 8);
  b[10] = static_cast<uint8_t>(height - 1);
  b[11] = static_cast<uint8_t>((height - 1) >> 8);
  for (uint8_t v : data) b.push_back(v);
  b.push_back(12);
  for (int32_t i = 0; i < 256; ++i) {
    b.push_back(static_cast<uint8_t>(i));
    b.push_back(static_cast<uint8_t>(255 - i));
    b.push_back(0);
  }
  return b;
}

TEST(GuiPcx, OddWidthLinesReadAnEvenNumberOfBytes) {
  GuiFixture f;
  // Width 3: every line holds 4 bytes, the last a pad byte (9) that must not appear.
  const std::vector<uint8_t> data = {1, 2, 3, 9, 0xC3, 5, 9, 0xC2, 7, 0xC2, 9};
  const std::string path = f.write("odd.pcx", pcx_file(3, 3, data));
  std::vector<uint8_t> buffer(1024, 0xEE);
  EXPECT_EQ(load_pcx(f.gui, path, buffer.data(), 1024, PcxMode::WithPalette), 9);
  EXPECT_EQ(f.gui.image_width, 3);
  EXPECT_EQ(f.gui.image_height, 3);
  const uint8_t expect[9] = {1, 2, 3, 5, 5, 5, 7, 7, 9};
  EXPECT_EQ(std::memcmp(buffer.data(), expect, 9), 0);
  // The palette follows the pixels.
  EXPECT_EQ(buffer[9 + 3 * 7], 7);
  EXPECT_EQ(buffer[9 + 3 * 7 + 1], 248);
  EXPECT_EQ(pcx_size(f.gui, path), 9);
}

TEST(GuiPcx, RemapAndColourTableModes) {
  GuiFixture f;
  // Two pixels: index 0 (0, 255, 0) and index 255 (255, 0, 0), one line of 2 bytes.
  const std::string path = f.write("two.pcx", pcx_file(2, 1, {0, 0xC1, 255}));
  std::vector<uint8_t> buffer(1024, 0);
  EXPECT_EQ(load_pcx(f.gui, path, buffer.data(), 1024, PcxMode::Remap), 2);
  EXPECT_EQ(buffer[0], gui_rgb_index(0, 255, 0));
  EXPECT_EQ(buffer[1], gui_rgb_index(255, 0, 0));
  EXPECT_EQ(load_pcx(f.gui, path, buffer.data(), 1024, PcxMode::WithColourTable), 2);
  // 5-6-5 by default: green 255 / 4 = 63 at shift 5.
  EXPECT_EQ(buffer[2] | (buffer[3] << 8), 63 << 5);
  EXPECT_EQ(buffer[2 + 510] | (buffer[2 + 511] << 8), 31 << 11);
}

TEST(GuiPcx, UnreadableOrOversizedFilesLoadAsOnePixel) {
  GuiFixture f;
  std::vector<uint8_t> bad = pcx_file(4, 4, {0xC4, 1, 0xC4, 1, 0xC4, 1, 0xC4, 1});
  bad[0] = 11;
  const std::string bad_path = f.write("bad.pcx", bad);
  const std::string big_path = f.write("big.pcx", pcx_file(300, 300, {}));
  std::vector<uint8_t> truncated(100, 10);
  const std::string short_path = f.write("short.pcx", truncated);
  const std::string missing = (f.dir / "missing.pcx").string();
  std::vector<uint8_t> buffer(1000, 0x77);
  for (const std::string& path : {bad_path, big_path, short_path, missing}) {
    f.gui.image_width = 9;
    buffer[0] = 0x77;
    EXPECT_EQ(load_pcx(f.gui, path, buffer.data(), 1000, PcxMode::Remap), 1) << path;
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(f.gui.image_width, 1);
    EXPECT_EQ(f.gui.image_height, 1);
  }
  EXPECT_EQ(pcx_size(f.gui, bad_path), 1);
  EXPECT_EQ(pcx_size(f.gui, missing), 1);
  EXPECT_EQ(pcx_size(f.gui, big_path), 90000);
  // A header claiming 65536 x 65536 pixels: more than any image, read as the failure pixel.
  std::vector<uint8_t> huge = pcx_file(1, 1, {});
  huge[8] = huge[9] = huge[10] = huge[11] = 0xFF;
  EXPECT_EQ(pcx_size(f.gui, f.write("huge.pcx", huge)), 1);
  // Pixel data that ends early leaves the rest of the picture at index 0.
  const std::string cut = f.write("cut.pcx", pcx_file(4, 2, {0xC4, 3}));
  EXPECT_EQ(load_pcx(f.gui, cut, buffer.data(), 1000, PcxMode::WithPalette), 8);
  const uint8_t expect[8] = {3, 3, 3, 3, 12, 0, 0, 0};  // the palette marker reads as a pixel
  EXPECT_EQ(std::memcmp(buffer.data(), expect, 8), 0);
}

TEST(GuiPcx, DamagedFilesNeverWriteBeyondTheBuffer) {
  GuiFixture f;
  std::vector<uint8_t> good = pcx_file(5, 4, {0xC5, 1, 2, 0xC6, 3, 0xC2, 4, 5, 6, 7, 8, 9, 0xFF, 1});
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  std::vector<uint8_t> buffer(64 + 16);
  for (int32_t round = 0; round < 500; ++round) {
    std::vector<uint8_t> file = good;
    for (int32_t k = 0; k < 4; ++k) file[next() % 160] = static_cast<uint8_t>(next());
    if (round % 7 == 0) file.resize(next() % file.size());
    std::fill(buffer.begin(), buffer.end(), 0xAB);
    const int32_t n = pcx_decode(f.gui, file.data(), static_cast<int64_t>(file.size()),
                                 buffer.data(), 64, PcxMode::Remap);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 64);
    ASSERT_EQ(n, f.gui.image_width * f.gui.image_height);
    for (size_t i = 64; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAB) << round;
  }
}

TEST(GuiText, DamagedFontsAreRefusedAndKeepTheCurrentFont) {
  GuiFixture f;
  const std::vector<uint8_t>& font = font_file();
  const int32_t height = f.gui.font.height;
  struct Case {
    size_t at;
    uint8_t value;
  } cases[] = {{0, 'X'}, {4, 2}, {8, 0xFF}, {10, 0}, {12, 200}, {17, 0xFF}, {21, 0x7F}};
  for (const Case& k : cases) {
    std::vector<uint8_t> bad = font;
    bad[k.at] = k.value;
    EXPECT_FALSE(gui_set_font(f.gui, bad.data(), static_cast<int64_t>(bad.size()))) << k.at;
  }
  EXPECT_FALSE(gui_set_font(f.gui, font.data(), static_cast<int64_t>(font.size()) - 1));
  EXPECT_EQ(f.gui.font.height, height);
  EXPECT_GT(gui_text_width(f.gui, "Mm0wW"), 20);
}

}  // namespace
}  // namespace korva::test
