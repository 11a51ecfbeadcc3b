// Presentation: the colour table for each display format, the cursor's save-under, centring
// and the stretched variants.
#include "gui_fixture.h"

namespace korva::test {
namespace {

using platform::PixelFormat;

// A palette with entry i = (i, 255 - i, i / 2).
std::vector<uint8_t> ramp_palette() {
  std::vector<uint8_t> p(768);
  for (int32_t i = 0; i < 256; ++i) {
    p[3 * i] = static_cast<uint8_t>(i);
    p[3 * i + 1] = static_cast<uint8_t>(255 - i);
    p[3 * i + 2] = static_cast<uint8_t>(i / 2);
  }
  return p;
}

TEST(GuiPresent, ColourTableFollowsTheDisplayFormat) {
  const std::vector<uint8_t> pal = ramp_palette();
  {
    GuiFixture f(640, 480, PixelFormat::Rgb565);
    gui_build_colour_table(f.gui, pal.data());
    EXPECT_EQ(f.gui.colour_table[200], (200 / 8) << 11 | (55 / 4) << 5 | (100 / 8));
  }
  {
    GuiFixture f(640, 480, PixelFormat::Rgb555);
    gui_build_colour_table(f.gui, pal.data());
    EXPECT_EQ(f.gui.red_shift, 10);
    EXPECT_EQ(f.gui.colour_table[200], (200 / 8) << 10 | (55 / 8) << 5 | (100 / 8));
  }
}

TEST(GuiPresent, PictureIsPlacedTopLeftOrCentredAndWidenedIn32Bits) {
  struct Case {
    int32_t width, height;
    PixelFormat format;
    int32_t x, y;
  } cases[] = {
      {640, 480, PixelFormat::Rgb565, 0, 0},
      {800, 600, PixelFormat::Rgb565, 80, 60},
      {1024, 768, PixelFormat::Xrgb8888, 192, 144},
      {800, 600, PixelFormat::Xrgb8888, 80, 60},
  };
  const std::vector<uint8_t> pal = ramp_palette();
  for (const Case& k : cases) {
    GuiFixture f(k.width, k.height, k.format);
    Gui& g = f.gui;
    gui_build_colour_table(g, pal.data());
    gui_hide_cursor(g, true);
    gui_clear(g);
    gui_plot(g, 0, 0, 200);
    gui_plot(g, 639, 479, 255);
    platform::surface_fill(f.screen.primary, 0x1234);
    gui_present(g);
    auto shown = [&](int32_t index) -> uint32_t {
      const uint16_t e = g.colour_table[index];
      if (k.format != PixelFormat::Xrgb8888) return e;
      return 0xFF000000u | (((e >> 11) & 31u) << 19) | (((e >> 5) & 63u) << 10) | ((e & 31u) << 3);
    };
    EXPECT_EQ(platform::surface_pixel(f.screen.primary, k.x, k.y), shown(200)) << k.width;
    EXPECT_EQ(platform::surface_pixel(f.screen.primary, k.x + 1, k.y), shown(0));
    EXPECT_EQ(platform::surface_pixel(f.screen.primary, k.x + 639, k.y + 479), shown(255));
    if (k.x > 0) {
      // The border around the picture is left alone (gui_clear_display blackens it).
      EXPECT_EQ(platform::surface_pixel(f.screen.primary, k.x - 1, k.y), 0x1234u);
      gui_clear_display(g);
      EXPECT_EQ(platform::surface_pixel(f.screen.primary, k.x - 1, k.y), 0u);
    }
  }
}

TEST(GuiPresent, CursorIsDrawnOverTheScreenAndTakenOutAgain) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_fill(g, 7);
  const std::vector<uint8_t> before(g.pixels, g.pixels + kGuiPixels);
  const int32_t tip = gui_skin_colour(g, 0, skin::kCursorY);  // the arrow's tip pixel
  ASSERT_NE(tip, 0);
  f.mouse(100, 200);
  gui_present(g);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), g.pixels));
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 100, 200), g.colour_table[tip]);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 115, 200), g.colour_table[7]);  // transparent
  // The save-under area holds what the cursor covered.
  EXPECT_EQ(gui_skin_colour(g, skin::kSaveUnderX, skin::kCursorY), 7);

  // Near the right and bottom edges the cursor is clipped, never wrapped.
  f.mouse(635, 475);
  gui_present(g);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), g.pixels));
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 635, 475), g.colour_table[tip]);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 0, 476), g.colour_table[7]);

  f.mouse(100, 200);
  gui_hide_cursor(g, true);
  gui_present(g);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 100, 200), g.colour_table[7]);
  gui_hide_cursor(g, false);
  gui_present_no_cursor(g);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 100, 200), g.colour_table[7]);

  // Nothing is shown while the application is inactive.
  f.screen.active = 0;
  gui_fill(g, 9);
  gui_present(g);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 300, 300), g.colour_table[7]);
}

TEST(GuiPresent, ScaledVariantsStretchWithoutGapsAndTheTransparentOneSkipsIndexZero) {
  GuiFixture f(800, 600, PixelFormat::Rgb565);
  Gui& g = f.gui;
  const std::vector<uint8_t> pal = ramp_palette();
  gui_build_colour_table(g, pal.data());
  gui_hide_cursor(g, true);
  gui_fill(g, 50);
  platform::surface_fill(f.screen.primary, 0x1234);
  gui_present_scaled(g);
  // Every surface pixel up to the last full block is covered.
  for (int32_t y = 0; y < 596; y += 3)
    for (int32_t x = 0; x < 798; ++x)
      ASSERT_EQ(platform::surface_pixel(f.screen.primary, x, y), g.colour_table[50]) << x << "," << y;
  // The panel mouse follows the stretch.
  input_sample_mouse(f.input, 500, 250, 0, 800, 600);
  gui_pump(g);
  EXPECT_EQ(g.mouse_x, 400);
  EXPECT_EQ(g.mouse_y, 200);

  gui_clear(g);
  gui_plot(g, 4, 4, 60);  // lands at 5, 5
  platform::surface_fill(f.screen.back, 0x1234);
  gui_present_scaled_transparent(g);
  EXPECT_EQ(platform::surface_pixel(f.screen.back, 5, 5), g.colour_table[60]);
  EXPECT_EQ(platform::surface_pixel(f.screen.back, 6, 6), g.colour_table[60]);
  EXPECT_EQ(platform::surface_pixel(f.screen.back, 20, 20), 0x1234u);
}

TEST(GuiPresent, MouseIsTakenRelativeToTheCentredPicture) {
  GuiFixture f(1024, 768, PixelFormat::Xrgb8888);
  input_sample_mouse(f.input, 192 + 30, 144 + 40, 1, 1024, 768);
  gui_present(f.gui);
  gui_pump(f.gui);
  EXPECT_EQ(f.gui.mouse_x, 30);
  EXPECT_EQ(f.gui.mouse_y, 40);
}

}  // namespace
}  // namespace korva::test
