// The 2D overlays: image loaders, FRAME draw counts, sprite clipping and blending, counters,
// the text list and fonts, the keywords, and golden pictures of each kind of drawing.
#include "render/overlay.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "brain/brain_run.h"
#include "brain/keyword_binding.h"
#include "core/core.h"
#include "devices/input.h"
#include "model/model.h"
#include "platform/platform.h"
#include "render/scene.h"
#include "runtime/memory_blocks.h"
#include "runtime/runtime.h"
#include "golden.h"

using namespace korva;
using platform::PixelFormat;
namespace fs = std::filesystem;

namespace {

struct Rgb {
  uint8_t r, g, b;
};

// Writes an 8-bit PCX file (run-length encoded rows, palette at the end).
void write_pcx(const fs::path& path, int32_t w, int32_t h, const std::vector<uint8_t>& px,
               const std::vector<Rgb>& colours) {
  std::vector<uint8_t> f(128, 0);
  f[0] = 10, f[1] = 5, f[2] = 1, f[3] = 8;
  auto word = [&](size_t at, int32_t v) { f[at] = uint8_t(v), f[at + 1] = uint8_t(v >> 8); };
  word(8, w - 1);
  word(10, h - 1);
  f[65] = 1;
  const int32_t line = (w + 1) & ~1;
  word(66, line);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < line; ++x) {
      const uint8_t v = x < w ? px[size_t(y) * w + x] : 0;
      if (v >= 192) f.push_back(193);
      f.push_back(v);
    }
  f.push_back(12);
  for (int32_t i = 0; i < 256; ++i) {
    const Rgb c = i < int32_t(colours.size()) ? colours[size_t(i)] : Rgb{0, 0, 0};
    f.insert(f.end(), {c.r, c.g, c.b});
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), f.size());
}

// Colours that survive the 16-bit reduction exactly (multiples of 8, greens of 4).
const std::vector<Rgb> kColours = {{0, 0, 0},     {248, 0, 0},     {0, 252, 0},   {0, 0, 248},
                                   {248, 252, 0}, {0, 252, 248},   {248, 0, 248}, {128, 64, 32},
                                   {32, 64, 128}, {200, 200, 200}, {64, 128, 64}, {248, 128, 0},
                                   {128, 0, 248}, {248, 252, 248}};

// A 16 x 16 sprite: a ring of colour 1 round a disc of colour 3, transparent corners.
std::vector<uint8_t> ball() {
  std::vector<uint8_t> px(256, 0);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      const int32_t d = (2 * x - 15) * (2 * x - 15) + (2 * y - 15) * (2 * y - 15);
      if (d <= 15 * 15) px[size_t(y) * 16 + x] = d <= 9 * 9 ? 3 : 1;
    }
  return px;
}

// Thirteen 5 x 7 glyphs side by side (0..9, plus, minus, point), each in ink index 13.
std::vector<uint8_t> digit_strip(int32_t& width) {
  static const char* kRows[13][7] = {
      {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."},
      {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
      {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
      {"####.", "....#", "....#", ".###.", "....#", "....#", "####."},
      {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
      {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."},
      {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."},
      {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."},
      {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."},
      {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."},
      {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."},
      {".....", ".....", ".....", "#####", ".....", ".....", "....."},
      {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}};
  width = 13 * 5;
  std::vector<uint8_t> px(size_t(width) * 7, 0);
  for (int32_t g = 0; g < 13; ++g)
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 5; ++x)
        if (kRows[g][y][x] == '#') px[size_t(y) * width + g * 5 + x] = 13;
  return px;
}

class Overlay : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  std::unique_ptr<Overlays> overlays = overlays_create();
  platform::Screen screen;
  Input input;  // the mouse the picking keywords read
  System sys;
  fs::path dir;

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("korva_overlay_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    core->frame.screen = &screen;
    sys.core = core.get();
    sys.model = model.get();
    sys.overlays = overlays.get();
    sys.input = &input;
    use_surface(640, 480, PixelFormat::Rgb565);
  }
  void TearDown() override { fs::remove_all(dir); }

  void use_surface(int32_t w, int32_t h, PixelFormat f) {
    ASSERT_TRUE(platform::surface_create(screen.back, w, h, f));
    overlays_reset(sys);
  }
  std::string path(const std::string& name) { return (dir / name).string(); }
  std::string write_ball(const std::string& name = "ball_.pcx") {
    write_pcx(dir / name, 16, 16, ball(), kColours);
    return path(name);
  }
  std::string write_digits() {
    int32_t w = 0;
    const std::vector<uint8_t> px = digit_strip(w);
    write_pcx(dir / "digits_.pcx", w, 7, px, kColours);
    return path("digits_.pcx");
  }
  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  // Element i shows asset slot `slot`; active and shown.
  uint8_t* element(int32_t i, int32_t slot, int32_t flags = ir::kFlagActive | ir::kFlagShown) {
    uint8_t* r = record(i);
    ir_set(r, ir::kCurrentAspect, slot);
    ir_set(r, ir::kFirstAspect, slot);
    ir_set(r, ir::kFlags, flags);
    model->last_index = std::max(model->last_index, i);
    return r;
  }
  void clip(uint8_t* r, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    sprite_clip_set(sys, element_handle(int32_t((r - record(0)) / kInstanceRecordBytes)), x1, x2,
                    y1, y2);
  }
  void counter(uint8_t* r, int32_t value, int32_t x, int32_t y, int32_t lead, int32_t point,
               int32_t sign) {
    ir_set(r, ir::kScore, value);
    ir_set(r, ovr::kCounterX, x);
    ir_set(r, ovr::kCounterY, y);
    ir_set(r, ovr::kCounterLead, lead);
    ir_set(r, ovr::kCounterPoint, point);
    ir_set(r, ovr::kCounterSign, sign);
  }
  Rgb at(int32_t x, int32_t y) {
    Rgb c{};
    platform::unpack_rgb(screen.back.format, platform::surface_pixel(screen.back, x, y), c.r, c.g,
                         c.b);
    return c;
  }
  // Fills the surface with a smooth two-way gradient standing in for the rendered scene.
  void scene_backdrop() {
    platform::Surface& s = screen.back;
    uint8_t* p = platform::surface_lock(s);
    for (int32_t y = 0; y < s.height; ++y)
      for (int32_t x = 0; x < s.width; ++x) {
        const uint32_t v = platform::pack_rgb(s.format, uint8_t(40 + x * 160 / s.width),
                                              uint8_t(60 + y * 120 / s.height), 140);
        std::memcpy(p + y * s.pitch + x * platform::bytes_per_pixel(s.format), &v,
                    size_t(platform::bytes_per_pixel(s.format)));
      }
    platform::surface_unlock(s);
  }
};

// Equal colours up to the precision of the 16-bit formats (which widen 248 to 255).
bool same(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) < 8 && std::abs(a.g - b.g) < 8 && std::abs(a.b - b.b) < 8;
}

// Font rasterisers differ slightly between versions: a tighter mean, a few edge pixels.
void expect_golden(const platform::Surface& s, const std::string& name) {
  golden::expect_surface(s, "render", name, {1.0, 0.003});
}

// ---- Loaders ----

TEST_F(Overlay, LoadersBuildAssetRecordsAndFurtherAspects) {
  const std::string walk = write_ball("walk_.pcx");
  write_ball("walk_.002");
  write_ball("walk_.003");
  EXPECT_EQ(further_aspect_path("sprites/walk_.pcx", 2), "sprites/walk_.002");
  EXPECT_EQ(further_aspect_path("a.b/noext", 12), "a.b/noext.012");

  EXPECT_EQ(sprite_aspects_load(sys, 5, walk), 3);
  EXPECT_EQ(counter_load(sys, 8, write_digits()), 1);
  EXPECT_EQ(frame_load(sys, 9, path("missing.pcx")), 1);  // loads as one black pixel
  EXPECT_EQ(sprite_load(sys, 4096, walk), 0);             // no such slot

  for (int32_t slot = 5; slot <= 7; ++slot) {
    const uint8_t* a = asset_record(sys, slot);
    EXPECT_EQ(std::memcmp(a, "d3e.", 4), 0);
    EXPECT_EQ(ir_get(a, asset::kWidth), 16);
    EXPECT_EQ(ir_get(a, asset::kHeight), 16);
  }
  EXPECT_EQ(std::memcmp(asset_record(sys, 8), "d3h.", 4), 0);
  EXPECT_EQ(ir_get(asset_record(sys, 8), asset::kWidth), 5);  // one glyph
  EXPECT_EQ(std::memcmp(asset_record(sys, 9), "d3f.", 4), 0);
  EXPECT_EQ(ir_get(asset_record(sys, 9), asset::kWidth), 1);

  // The run list holds exactly the non-transparent pixels, and ends.
  const OverlayImage& img = overlays->images[0];
  int32_t pixels = 0, runs = 0;
  size_t p = 0;
  int32_t first = 0;
  while (std::memcpy(&first, img.data.data() + p, 4), first != kRunEnd) {
    int32_t n = 0, x = 0;
    std::memcpy(&n, img.data.data() + p + 4, 4);
    std::memcpy(&x, img.data.data() + p + 8, 4);
    EXPECT_EQ(first, 2 * x);
    pixels += n, ++runs, p += 16 + size_t(n);
  }
  int32_t solid = 0;
  for (uint8_t v : ball()) solid += v != 0;
  EXPECT_EQ(pixels, solid);
  EXPECT_EQ(runs, 14);  // one run per row of a convex shape; the top and bottom rows are empty
  EXPECT_EQ(img.palette[1], 0xF800);  // red in RGB565
}

TEST_F(Overlay, FramePaletteFollowsGreenWidthAndRleRoundTrips) {
  use_surface(640, 480, PixelFormat::Rgb555);
  // A frame with runs longer than 63 and indices of 192 and above.
  std::vector<uint8_t> px(size_t(100) * 3);
  for (size_t i = 0; i < px.size(); ++i) px[i] = i < 150 ? 200 : uint8_t(i % 7);
  std::vector<Rgb> colours(256, Rgb{0, 0, 0});
  colours[200] = {248, 248, 0};
  write_pcx(dir / "f.pcx", 100, 3, px, colours);
  ASSERT_EQ(frame_load(sys, 0, path("f.pcx")), 1);
  const OverlayImage& img = overlays->images[0];
  EXPECT_EQ(img.palette[200], (31 << 10) | (31 << 5));  // RGB555
  std::vector<uint8_t> decoded;
  for (size_t i = 0; i < img.data.size(); ++i) {
    int32_t n = 1;
    uint8_t v = img.data[i];
    if (v >= 192) n = v - 192, v = img.data[++i];
    decoded.insert(decoded.end(), size_t(n), v);
  }
  EXPECT_EQ(decoded, px);
}

// ---- FRAME images ----

TEST_F(Overlay, FrameWithDrawCountTwoIsDrawnInTheNextTwoFramesOnly) {
  std::vector<uint8_t> px(size_t(640) * 480, 2);
  write_pcx(dir / "f.pcx", 640, 480, px, kColours);
  ASSERT_EQ(frame_load(sys, 0, path("f.pcx")), 1);
  uint8_t* r = element(0, 0);
  ir_set(r, ovr::kDrawCount, 2);
  for (int32_t frame = 1; frame <= 3; ++frame) {
    platform::surface_fill(screen.back, 0);
    frames_draw(sys, screen.back);
    EXPECT_EQ(same(at(639, 479), kColours[2]), frame <= 2) << "frame " << frame;
  }
  EXPECT_EQ(ir_get(r, ovr::kDrawCount), 0);

  // Not in any other display mode, and not while hidden.
  ir_set(r, ovr::kDrawCount, 2);
  ir_set(r, ir::kFlags, ir::kFlagActive);
  frames_draw(sys, screen.back);
  EXPECT_EQ(ir_get(r, ovr::kDrawCount), 2);
  ir_set(r, ir::kFlags, ir::kFlagActive | ir::kFlagShown);
  use_surface(640, 480, PixelFormat::Xrgb8888);
  frames_draw(sys, screen.back);
  EXPECT_EQ(ir_get(r, ovr::kDrawCount), 2);
}

// ---- Sprites ----

TEST_F(Overlay, SpriteClippedToTenByTenShowsOnlyItsTopLeftCorner) {
  ASSERT_EQ(sprite_load(sys, 0, write_ball()), 1);
  std::vector<uint8_t> solid(256, 4);
  write_pcx(dir / "solid.pcx", 16, 16, solid, kColours);
  ASSERT_EQ(sprite_load(sys, 1, path("solid.pcx")), 1);
  uint8_t* r = element(0, 1);
  clip(r, 0, 0, 9, 9);
  EXPECT_EQ(sprite_clip_x1(sys, element_handle(0)), 0);
  EXPECT_EQ(sprite_clip_x2(sys, element_handle(0)), 9);
  EXPECT_EQ(sprite_clip_y2(sys, element_handle(0)), 9);
  platform::surface_fill(screen.back, 0);
  overlays_draw(sys, screen.back);
  int32_t drawn = 0;
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x)
      if (!same(at(x, y), kColours[0])) {
        ++drawn;
        EXPECT_TRUE(x <= 9 && y <= 9) << x << "," << y;
      }
  EXPECT_EQ(drawn, 100);

  // Without sprite clipping the whole screen is the rectangle; a clip rectangle reaching past
  // the screen and a sprite partly off it write only inside the surface.
  overlays->sprite_clipping = false;
  platform::surface_fill(screen.back, 0);
  overlays_draw(sys, screen.back);
  EXPECT_TRUE(same(at(15, 15), kColours[4]));
  overlays->sprite_clipping = true;
  clip(r, -1000, -1000, 5000, 5000);
  ir_set(r, ir::kPosX, 632);
  ir_set(r, ir::kPosY, -8);
  overlays_draw(sys, screen.back);
  EXPECT_TRUE(same(at(639, 0), kColours[4]));
}

TEST_F(Overlay, TranslucentWritersHalveEachChannel) {
  struct Case {
    PixelFormat format;
    uint32_t expect;
  } cases[] = {
      // Sprite colour full red over full green: half of each channel in the format's bits.
      {PixelFormat::Rgb565, (15u << 11) | (31u << 5)},
      {PixelFormat::Rgb555, (15u << 10) | (15u << 5)},
      {PixelFormat::Xrgb8888, 0xFF7F7E00u},  // red widened to 255, green 252, alpha 255
  };
  for (const Case& c : cases) {
    use_surface(64, 64, c.format);
    std::vector<uint8_t> solid(256, 1);
    write_pcx(dir / "red.pcx", 16, 16, solid, kColours);
    ASSERT_EQ(sprite_load(sys, 0, path("red.pcx")), 1);
    element(0, 0, ir::kFlagActive | ir::kFlagShown | ir::kFlagTranslucent);
    clip(record(0), 0, 0, 63, 63);
    platform::surface_fill(screen.back, platform::pack_rgb(c.format, 0, 252, 0));
    overlays_draw(sys, screen.back);
    EXPECT_EQ(platform::surface_pixel(screen.back, 3, 3), c.expect) << int(c.format);
    EXPECT_TRUE(same(at(20, 20), {0, 252, 0}));
  }
}

TEST_F(Overlay, SelectedSpriteBlinks) {
  for (PixelFormat f : {PixelFormat::Rgb565, PixelFormat::Xrgb8888}) {
    use_surface(64, 64, f);
    std::vector<Rgb> colours = kColours;
    colours.resize(256, Rgb{0, 0, 0});
    colours[255] = {248, 252, 248};
    colours[0] = {0, 0, 248};
    write_pcx(dir / "b.pcx", 16, 16, ball(), colours);
    ASSERT_EQ(sprite_load(sys, 0, path("b.pcx")), 1);
    element(0, 0);
    clip(record(0), 0, 0, 63, 63);
    overlays->selected = 0;
    std::vector<std::string> seen;
    for (int32_t k = 0; k < 4; ++k) {
      platform::surface_fill(screen.back, platform::pack_rgb(f, 0, 0, 0));
      overlays_draw(sys, screen.back);
      const Rgb c = at(8, 8);
      seen.push_back(same(c, {0, 0, 0}) ? "none" : same(c, {0, 0, 255}) ? "0" : "255");
    }
    if (f == PixelFormat::Rgb565)
      EXPECT_EQ(seen, (std::vector<std::string>{"0", "255", "0", "255"}));
    else
      EXPECT_EQ(seen, (std::vector<std::string>{"none", "255", "none", "255"}));
  }
}

TEST_F(Overlay, SpriteKeywordsAndPicking) {
  ASSERT_EQ(sprite_load(sys, 0, write_ball()), 1);
  ASSERT_EQ(counter_load(sys, 1, write_digits()), 1);
  uint8_t* s = element(0, 0);
  uint8_t* c = element(1, 1);
  ir_set(s, ir::kPosX, 100);
  ir_set(s, ir::kPosY, 50);
  clip(s, 0, 0, 639, 479);
  counter(c, 42, 200, 100, 100, 0, 0);
  const int32_t sh = element_handle(0), ch = element_handle(1);
  // Whatever is written over the tag later, the record stays the image its loader made.
  std::memcpy(asset_record(sys, 0), ".pcx", 4);

  EXPECT_EQ(sprite_dim_x(sys, sh), 16);
  EXPECT_EQ(sprite_dim_y(sys, sh), 16);
  EXPECT_EQ(sprite_dim_x(sys, ch), 0);  // a counter is not a sprite
  for (int32_t bad : {-1, int32_t(0x80000001u), element_handle(0) + 4, 12345})
    EXPECT_EQ(sprite_dim_x(sys, bad) | sprite_clip_x1(sys, bad) | sprite_picked(sys, bad) |
                  counter_picked(sys, bad),
              0);

  input.mouse_x = 108, input.mouse_y = 58;  // the ball's centre
  EXPECT_EQ(sprite_picked(sys, sh), -1);
  EXPECT_EQ(counter_picked(sys, sh), 0);
  input.mouse_x = 100, input.mouse_y = 50;  // a transparent corner
  EXPECT_EQ(sprite_picked(sys, sh), 0);
  input.mouse_x = 108, input.mouse_y = 58;
  clip(s, 0, 0, 104, 479);  // clipped away
  EXPECT_EQ(sprite_picked(sys, sh), 0);
  clip(s, 0, 0, 639, 479);
  ir_set(s, ir::kFlags, ir::kFlagActive);  // hidden
  EXPECT_EQ(sprite_picked(sys, sh), 0);

  // Three glyphs of 5 x 7 from (200, 100).
  input.mouse_x = 214, input.mouse_y = 106;
  EXPECT_EQ(counter_picked(sys, ch), -1);
  input.mouse_x = 215;
  EXPECT_EQ(counter_picked(sys, ch), 0);
}

TEST_F(Overlay, Sprite3dPosPlacesTheSpriteThroughTheCamera) {
  ASSERT_EQ(sprite_load(sys, 0, write_ball()), 1);
  uint8_t* thing = element(0, 0);
  uint8_t* sprite = element(1, 0);
  element(2, 0);
  ir_set(thing, ir::kPosX, 512000 * 2);
  // No scene: nothing happens.
  EXPECT_EQ(sprite_3d_pos(sys, element_handle(0), 5, 6, element_handle(1), element_handle(2)), 0);
  int32_t camera_seen = -1;
  overlays->project = [&](int32_t camera, const double p[3], double out[4]) {
    camera_seen = camera;
    out[0] = p[0] * 100, out[1] = 50, out[2] = 0, out[3] = 2;
    return true;
  };
  EXPECT_EQ(sprite_3d_pos(sys, element_handle(0), 5, 6, element_handle(1), element_handle(2)),
            2 * 512000);
  EXPECT_EQ(camera_seen, 2);
  EXPECT_EQ(ir_get(sprite, ir::kPosX), 105);
  EXPECT_EQ(ir_get(sprite, ir::kPosY), 31);
  overlays->project = [](int32_t, const double*, double out[4]) {
    out[3] = 1e6;
    return true;
  };
  EXPECT_EQ(sprite_3d_pos(sys, element_handle(0), 0, 0, element_handle(1), element_handle(2)),
            3906 * 512000);
}

// ---- Counters ----

TEST_F(Overlay, CounterDigitsSignAndDecimalPoint) {
  ASSERT_EQ(counter_load(sys, 0, write_digits()), 1);
  uint8_t* r = element(0, 0);
  struct Case {
    int32_t value, lead, point, sign;
    std::string shown;
  } cases[] = {
      {42, 100, 0, 0, "042"},
      {-5, 10, 0, 1, "-05"},
      {5, 10, 0, 1, "+05"},
      {1234, 1000, 10, 0, "123.4"},
      {-1234, 1000, 1, 1, "-1234."},
      {98765, 100, 0, 0, "765"},  // places above the leading one are not shown
      {-2147483647 - 1, 1000000000, 0, 1, "-2147483648"},
      {7, 0, 0, 0, ""},
  };
  int32_t w = 0;
  const std::vector<uint8_t> strip = digit_strip(w);
  for (const Case& c : cases) {
    counter(r, c.value, 10, 10, c.lead, c.point, c.sign);
    platform::surface_fill(screen.back, 0);
    overlays_draw(sys, screen.back);
    // Read the glyphs back by matching each 5 x 7 cell with the strip.
    std::string shown;
    for (int32_t k = 0; k < 16; ++k) {
      int32_t match = -1;
      for (int32_t g = 0; g < 13 && match < 0; ++g) {
        bool all = true;
        for (int32_t y = 0; y < 7 && all; ++y)
          for (int32_t x = 0; x < 5 && all; ++x)
            all = (strip[size_t(y) * w + g * 5 + x] != 0) ==
                  !same(at(10 + k * 5 + x, 10 + y), kColours[0]);
        if (all) match = g;
      }
      if (match < 0) break;
      shown += "0123456789+-."[match];
    }
    // A blank cell matches nothing; trailing blanks end the reading.
    EXPECT_EQ(shown, c.shown) << c.value;
  }
  // Not drawn when its glyphs would pass the bottom edge.
  counter(r, 8, 10, 474, 1, 0, 0);
  platform::surface_fill(screen.back, 0);
  overlays_draw(sys, screen.back);
  for (int32_t y = 474; y < 480; ++y)
    for (int32_t x = 10; x < 15; ++x) EXPECT_TRUE(same(at(x, y), kColours[0]));
}

// ---- Text ----

TEST_F(Overlay, TextListCommandsAndCapacity) {
  color_set(sys, 0x1FF, 2, 3);
  print_num(sys, 12345, 2, 99, 10, 20);
  ASSERT_EQ(overlays->text.size(), 3u);
  EXPECT_EQ(overlays->text[0].op, TextOp::Colour);
  EXPECT_EQ(overlays->text[0].a, 0x000302FF);  // 0x00BBGGRR of the low bytes
  EXPECT_EQ(overlays->text[1].op, TextOp::Position);
  EXPECT_EQ(overlays->text[1].a, 10);
  EXPECT_EQ(overlays->text[1].b, 20);
  EXPECT_EQ(overlays->text[2].op, TextOp::Number);
  EXPECT_EQ(overlays->text[2].c, 15);  // slot clamped
  print(sys, 0, 1, 2, -4);             // 0 is no text: prints empty text in slot 0
  EXPECT_EQ(overlays->text.back().text, "");
  EXPECT_EQ(overlays->text.back().a, 0);
  // A live text block is its text; the command keeps a copy.
  auto blocks = std::make_unique<Blocks>();
  sys.blocks = blocks.get();
  const int32_t h = str_create(sys, 8);
  a_byte_set(sys, h, 0, 'H');
  a_byte_set(sys, h, 1, 'i');
  print(sys, h, 1, 2, 3);
  a_byte_set(sys, h, 0, 'X');
  EXPECT_EQ(overlays->text.back().text, "Hi");
  a_kill(sys, h);
  print(sys, h, 1, 2, 3);  // a killed handle reads as empty text
  EXPECT_EQ(overlays->text.back().text, "");
  for (int32_t k = 0; k < 2000; ++k) print_num(sys, k, 0, 0, 0, 0);
  EXPECT_LE(overlays->text.size(), size_t(kTextCommands));
  text_list_clear(sys);
  EXPECT_TRUE(overlays->text.empty());
}

TEST_F(Overlay, FontsResolveByNameAndClampSlots) {
  ASSERT_TRUE(font_create(sys, "Arial", 28, 400, 0));
  EXPECT_EQ(font_family(sys, 0), "Liberation Sans");  // metric-compatible with Arial
  ASSERT_TRUE(font_create(sys, "DejaVu Sans", 20, 5000, 99));
  EXPECT_EQ(font_family(sys, 15), "DejaVu Sans");
  EXPECT_GT(text_width(sys, "Hello", 15), 20);
  EXPECT_GT(text_width(sys, "MMMM", 0), text_width(sys, "iiii", 0));  // variable pitch
  // Heavier weight, wider text.
  ASSERT_TRUE(font_create(sys, "Arial", 28, 700, 1));
  EXPECT_GT(text_width(sys, "Weight", 1), text_width(sys, "Weight", 0));
  fonts_release(sys);
  EXPECT_EQ(font_family(sys, 0), "");
  // Empty slots print with the run font once it is loaded, and nothing before.
  EXPECT_EQ(text_width(sys, "abc", 3), 0);
  EXPECT_FALSE(run_font_load(sys, path("missing.fnt")));
  // A bitmap font whose every glyph is a 2 x 4 cell of full coverage.
  std::vector<uint8_t> fnt = {'K', 'F', 'N', 'T', 1, 0, 32, 0, 224, 0, 4, 0, 3, 0, 0, 0};
  for (int32_t i = 0; i < 224; ++i) fnt.insert(fnt.end(), {2, 0, 0, 0, 0, 0, 0, 0});
  fnt.insert(fnt.end(), 8, 255);
  std::ofstream(dir / "run.fnt", std::ios::binary)
      .write(reinterpret_cast<const char*>(fnt.data()), std::streamsize(fnt.size()));
  ASSERT_TRUE(run_font_load(sys, path("run.fnt")));
  EXPECT_EQ(text_width(sys, "abc", 3), 6);
  platform::surface_fill(screen.back, 0);
  text_draw(sys, screen.back, "ab", 5, 5, 3, 0x0000FF);
  EXPECT_TRUE(same(at(8, 8), {255, 0, 0}));
  EXPECT_TRUE(same(at(9, 8), {0, 0, 0}));
}

// The run's default fonts open their face only when a slot is first used; a font set by the
// brain replaces the pending default.
TEST_F(Overlay, DefaultFontsOpenAtFirstUse) {
  fonts_create_defaults(sys);
  EXPECT_EQ(overlays->fonts_lib, nullptr);  // neither FreeType nor fontconfig started yet
  EXPECT_EQ(overlays->fonts[4], nullptr);
  EXPECT_GT(text_width(sys, "Hello", 4), 20);
  EXPECT_NE(overlays->fonts[4], nullptr);
  EXPECT_EQ(overlays->fonts[5], nullptr);
  EXPECT_EQ(font_family(sys, 5), "Liberation Sans");
  ASSERT_TRUE(font_create(sys, "DejaVu Sans", 20, 400, 6));
  EXPECT_EQ(font_family(sys, 6), "DejaVu Sans");
  fonts_release(sys);
  EXPECT_EQ(font_family(sys, 7), "");  // released defaults are not made again
}

TEST_F(Overlay, CoreTextOutputPrintsAtThePrintPosition) {
  // The run font: every glyph a 2 x 4 cell.
  std::vector<uint8_t> fnt = {'K', 'F', 'N', 'T', 1, 0, 32, 0, 224, 0, 4, 0, 3, 0, 0, 0};
  for (int32_t i = 0; i < 224; ++i) fnt.insert(fnt.end(), {2, 0, 0, 0, 0, 0, 0, 0});
  fnt.insert(fnt.end(), 8, 255);
  std::ofstream(dir / "run.fnt", std::ios::binary)
      .write(reinterpret_cast<const char*>(fnt.data()), std::streamsize(fnt.size()));
  ASSERT_TRUE(run_font_load(sys, path("run.fnt")));
  screen_print_install(sys);
  print(sys, 0, 100, 50, 7);  // sets the print position and font (slot 7 is empty: run font)
  print_text(*core, "abc");
  print_line(*core, "de");
  print_text(*core, "f");
  ASSERT_EQ(overlays->text.size(), 12u);
  const TextCommand* pos[3] = {&overlays->text[4], &overlays->text[7], &overlays->text[10]};
  EXPECT_EQ(pos[0]->a, 100);
  EXPECT_EQ(pos[1]->a, 106);  // after three 2-pixel characters
  EXPECT_EQ(pos[1]->b, 50);
  EXPECT_EQ(pos[2]->a, 0);  // the new line starts at the left edge, one line down
  EXPECT_EQ(pos[2]->b, 54);
  EXPECT_EQ(overlays->text[11].text, "f");
  screen_print_remove(sys);
  EXPECT_FALSE(core->screen_print);
}

TEST_F(Overlay, RunStartAndSceneHooks) {
  std::vector<uint8_t> fnt = {'K', 'F', 'N', 'T', 1, 0, 32, 0, 224, 0, 4, 0, 3, 0, 0, 0};
  for (int32_t i = 0; i < 224; ++i) fnt.insert(fnt.end(), {2, 0, 0, 0, 0, 0, 0, 0});
  fnt.insert(fnt.end(), 8, 255);
  std::ofstream(dir / "font8.fnt", std::ios::binary)
      .write(reinterpret_cast<const char*>(fnt.data()), std::streamsize(fnt.size()));
  str_set(*core->data_folder, path(""));
  overlays_run_start(sys);
  EXPECT_TRUE(overlays->run_font_loaded);
  for (int32_t slot = 0; slot < kFontSlots; ++slot)
    EXPECT_EQ(font_family(sys, slot), "Liberation Sans") << slot;
  EXPECT_TRUE(core->screen_print);

  ASSERT_EQ(sprite_load(sys, 0, write_ball()), 1);
  uint8_t* r = element(0, 0);
  clip(r, 0, 0, 639, 479);
  platform::surface_fill(screen.back, 0);
  frames_draw(sys, screen.back);
  EXPECT_TRUE(same(at(8, 8), kColours[0]));
  overlays_draw(sys, screen.back);
  EXPECT_TRUE(same(at(8, 8), kColours[3]));

  overlays_run_end(sys);
  EXPECT_FALSE(core->screen_print);
  EXPECT_EQ(font_family(sys, 0), "");
  EXPECT_EQ(sprite_dim_x(sys, element_handle(0)), 0);  // the images are gone
}

// ---- Golden pictures ----

TEST_F(Overlay, GoldenSprites) {
  for (PixelFormat f : {PixelFormat::Rgb565, PixelFormat::Xrgb8888}) {
    use_surface(160, 120, f);
    ASSERT_EQ(sprite_load(sys, 0, write_ball()), 1);
    std::vector<uint8_t> tile(size_t(24) * 24);
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < 24; ++x) tile[size_t(y) * 24 + x] = uint8_t(1 + (x / 6 + y / 6) % 6);
    write_pcx(dir / "tile.pcx", 24, 24, tile, kColours);
    ASSERT_EQ(sprite_load(sys, 1, path("tile.pcx")), 1);
    scene_backdrop();
    // A sprite over the scene, a clipped one, and translucent ones over the backdrop.
    uint8_t* a = element(0, 0);
    ir_set(a, ir::kPosX, 10), ir_set(a, ir::kPosY, 10);
    clip(a, 0, 0, 159, 119);
    uint8_t* b = element(1, 1);
    ir_set(b, ir::kPosX, 40), ir_set(b, ir::kPosY, 10);
    clip(b, 40, 10, 49, 19);
    uint8_t* c = element(2, 1, ir::kFlagActive | ir::kFlagShown | ir::kFlagTranslucent);
    ir_set(c, ir::kPosX, 70), ir_set(c, ir::kPosY, 10);
    clip(c, 0, 0, 159, 119);
    uint8_t* d = element(3, 0, ir::kFlagActive | ir::kFlagShown | ir::kFlagTranslucent);
    ir_set(d, ir::kPosX, 100), ir_set(d, ir::kPosY, 14);
    clip(d, 0, 0, 159, 119);
    overlays_draw(sys, screen.back);
    expect_golden(screen.back,
                  f == PixelFormat::Rgb565 ? "overlay_sprites_16" : "overlay_sprites_32");
  }
}

TEST_F(Overlay, GoldenCounterAndText) {
  use_surface(200, 100, PixelFormat::Rgb565);
  scene_backdrop();
  ASSERT_EQ(counter_load(sys, 0, write_digits()), 1);
  counter(element(0, 0), -1234, 10, 8, 1000, 10, 1);
  counter(element(1, 0, ir::kFlagActive | ir::kFlagShown | ir::kFlagTranslucent), 1234, 10, 20,
          10000, 100, 1);
  ASSERT_TRUE(font_create(sys, "Arial", 20, 400, 0));
  ASSERT_TRUE(font_create(sys, "DejaVu Serif", -16, 700, 1));
  color_set(sys, 255, 255, 0);
  print_num(sys, 12345, 2, 0, 10, 34);
  color_set(sys, 255, 255, 255);
  overlays->text.push_back({TextOp::Position, 90, 34, 0, {}});
  overlays->text.push_back({TextOp::Text, 0, 0, 0, "Score"});
  print_num(sys, -42, 0, 1, 10, 64);
  overlays->text.push_back({TextOp::Position, 60, 64, 0, {}});
  overlays->text.push_back({TextOp::Text, 1, 0, 0, "Serif bold"});
  overlays_draw(sys, screen.back);
  expect_golden(screen.back, "overlay_counter_text");
}

TEST_F(Overlay, BrainPrintsThroughTheKeywords) {
  std::ofstream(dir / "printer.brn") << "var w=1\r\n"
                                        "color_set(255, 128, 0)\r\n"
                                        "print(\"Hello\", 10, 20, 3)\r\n"
                                        "print_num(-42, 1, 2, 30, 40)\r\n"
                                        "font_set(\"Arial\", 20, 700, 1)\r\n"
                                        "w=sprite_dim_x(element)\r\n";
  auto blocks = std::make_unique<Blocks>();
  std::vector<std::string> shown;
  const BrainRunResult r = run_brain_file(
      path("printer.brn"), 1,
      [](KeywordBindings& b) {
        bind_runtime_keywords(b);
        bind_overlay_keywords(b);
      },
      [&](System& brain_sys) {
        brain_sys.overlays = overlays.get();
        brain_sys.blocks = blocks.get();
        brain_sys.core->ui.message_box = [&](std::string_view t, std::string_view,
                                             std::string_view) {
          shown.emplace_back(t);
          return 1;
        };
      });
  ASSERT_TRUE(r.compiled) << r.compile_error;
  EXPECT_TRUE(shown.empty()) << shown.front();
  ASSERT_EQ(overlays->text.size(), 6u);
  EXPECT_EQ(overlays->text[0].a, 0x0080FF);
  EXPECT_EQ(overlays->text[2].text, "Hello");
  EXPECT_EQ(overlays->text[2].a, 3);
  EXPECT_EQ(overlays->text[5].a, -42);
  EXPECT_EQ(font_family(sys, 1), "Liberation Sans");
  ASSERT_EQ(r.variables.size(), 1u);
  EXPECT_EQ(r.variables[0].second, 0);  // not a sprite
}

TEST(OverlayBinding, EveryOverlayKeywordIsARow) {
  KeywordBindings b;
  bind_overlay_keywords(b);
  for (const char* name :
       {"sprite_clip_set", "sprite_clip_x1", "sprite_clip_x2", "sprite_clip_y1", "sprite_clip_y2",
        "sprite_dim_x", "sprite_dim_y", "sprite_picked", "counter_picked", "sprite_3d_pos",
        "font_set", "color_set", "print_num", "print"}) {
    KeywordBindings probe;
    ASSERT_TRUE(bind_keyword(probe, name, [](System&, Registers&) {})) << name;
    bool same_row_bound = false;
    for (int32_t k = 0; k < kKeywordRows; ++k)
      if (probe.routine[k] && b.routine[k]) same_row_bound = true;
    EXPECT_TRUE(same_row_bound) << name;
  }
}

}  // namespace
