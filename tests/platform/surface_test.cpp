// Display surfaces: pixel formats, fill, lock, flip and screenshots, without a display.
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korva::platform {
namespace {

TEST(Surface, PixelFormatsPackAndUnpack) {
  struct Case {
    PixelFormat format;
    uint8_t r, g, b;
    uint32_t packed;
    uint8_t back_r, back_g, back_b;  // after the round trip through the format
  } cases[] = {
      {PixelFormat::Rgb565, 255, 255, 255, 0xFFFF, 255, 255, 255},
      {PixelFormat::Rgb565, 255, 0, 0, 0xF800, 255, 0, 0},
      {PixelFormat::Rgb565, 0, 255, 0, 0x07E0, 0, 255, 0},
      {PixelFormat::Rgb565, 0, 0, 255, 0x001F, 0, 0, 255},
      {PixelFormat::Rgb565, 0x84, 0x82, 0x10, 0x8402, 0x84, 0x82, 0x10},
      {PixelFormat::Rgb555, 255, 255, 255, 0x7FFF, 255, 255, 255},
      {PixelFormat::Rgb555, 255, 0, 0, 0x7C00, 255, 0, 0},
      {PixelFormat::Rgb555, 0, 255, 0, 0x03E0, 0, 255, 0},
      {PixelFormat::Rgb555, 0, 0, 255, 0x001F, 0, 0, 255},
      {PixelFormat::Xrgb8888, 0x12, 0x34, 0x56, 0x123456, 0x12, 0x34, 0x56},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(pack_rgb(k.format, k.r, k.g, k.b), k.packed);
    uint8_t r, g, b;
    unpack_rgb(k.format, k.packed, r, g, b);
    EXPECT_EQ(r, k.back_r);
    EXPECT_EQ(g, k.back_g);
    EXPECT_EQ(b, k.back_b);
  }
}

TEST(Surface, SizesFillAndLock) {
  struct Case {
    int32_t w, h;
    PixelFormat f;
    int32_t pitch;
  } cases[] = {{640, 480, PixelFormat::Rgb565, 1280},
               {800, 600, PixelFormat::Rgb555, 1600},
               {1024, 768, PixelFormat::Xrgb8888, 4096}};
  for (const auto& k : cases) {
    Surface s;
    ASSERT_TRUE(surface_create(s, k.w, k.h, k.f));
    EXPECT_EQ(s.pitch, k.pitch);
    EXPECT_EQ(s.pixels.size(), size_t(k.pitch) * size_t(k.h));
    const uint32_t red = pack_rgb(k.f, 255, 0, 0), blue = pack_rgb(k.f, 0, 0, 255);
    surface_fill(s, red);
    surface_fill_rect(s, k.w - 2, k.h - 2, 100, 100, blue);  // clipped at the edges
    surface_fill_rect(s, -5, -5, 6, 6, blue);
    EXPECT_EQ(surface_pixel(s, 0, 0), blue);
    EXPECT_EQ(surface_pixel(s, 1, 1), red);
    EXPECT_EQ(surface_pixel(s, k.w - 1, k.h - 1), blue);
    EXPECT_EQ(surface_pixel(s, k.w - 3, k.h - 1), red);
    EXPECT_EQ(surface_pixel(s, k.w, 0), 0u);

    uint8_t* p = surface_lock(s);
    ASSERT_EQ(p, s.pixels.data());
    surface_unlock(s);
    s.lost = true;  // a lost surface cannot be locked
    EXPECT_EQ(surface_lock(s), nullptr);
  }
  Surface bad;
  EXPECT_FALSE(surface_create(bad, 0, 480, PixelFormat::Rgb565));
  EXPECT_FALSE(surface_create(bad, 640, -1, PixelFormat::Rgb565));
}

TEST(Surface, DrawStretchesAnImageOverTheSurface) {
  Surface s;
  ASSERT_TRUE(surface_create(s, 4, 2, PixelFormat::Xrgb8888));
  const uint8_t rgb[] = {255, 0, 0, 0, 0, 255};  // 2 x 1: red, blue
  surface_draw_rgb(s, rgb, 2, 1);
  EXPECT_EQ(surface_pixel(s, 0, 0), 0xFF0000u);
  EXPECT_EQ(surface_pixel(s, 1, 1), 0xFF0000u);
  EXPECT_EQ(surface_pixel(s, 2, 0), 0x0000FFu);
  EXPECT_EQ(surface_pixel(s, 3, 1), 0x0000FFu);
}

TEST(Keys, PcScanCodesOfTheNamedKeys) {
  struct Case {
    SDL_Scancode sdl;
    int32_t pc;
  } cases[] = {{SDL_SCANCODE_ESCAPE, 1}, {SDL_SCANCODE_0, 11},    {SDL_SCANCODE_RETURN, 28},
               {SDL_SCANCODE_A, 30},     {SDL_SCANCODE_F10, 68},  {SDL_SCANCODE_F11, 87},
               {SDL_SCANCODE_UP, 72},    {SDL_SCANCODE_KP_8, 72}, {SDL_SCANCODE_PAGEDOWN, 81},
               {SDL_SCANCODE_DELETE, 83}, {SDL_SCANCODE_RCTRL, 29}, {SDL_SCANCODE_APPLICATION, 0}};
  for (const auto& k : cases) EXPECT_EQ(pc_scancode(k.sdl), k.pc) << k.sdl;
}

TEST(Headless, FlipSwapsBuffersAndTheScreenshotShowsThePresentedPicture) {
  Screen screen;
  ScreenOptions o;
  o.headless = true;
  o.format = PixelFormat::Rgb565;
  ASSERT_TRUE(screen_open(screen, o));
  EXPECT_EQ(screen.window, nullptr);
  EXPECT_TRUE(screen_pump(screen));
  surface_fill(screen.back, pack_rgb(o.format, 0, 255, 0));
  ASSERT_TRUE(screen_flip(screen));
  EXPECT_EQ(surface_pixel(screen.primary, 10, 10), pack_rgb(o.format, 0, 255, 0));
  EXPECT_EQ(surface_pixel(screen.back, 10, 10), 0u);
  EXPECT_EQ(screen.presents, 1);

  // Lost surfaces: the pump reports it, flip restores first when it can.
  screen.primary.lost = screen.back.lost = true;
  EXPECT_FALSE(screen_pump(screen));
  EXPECT_TRUE(screen_restore(screen));
  EXPECT_TRUE(screen_pump(screen));

  char tmpl[] = "/tmp/korva-shot-XXXXXX";
  const std::filesystem::path dir = mkdtemp(tmpl);
  const std::string png = (dir / "shot.png").string();
  ASSERT_TRUE(surface_write_png(screen.primary, png));
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(image_load_rgb(png, rgb, w, h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(rgb[(10 * 640 + 10) * 3 + 1], 255);
  EXPECT_EQ(rgb[(10 * 640 + 10) * 3 + 0], 0);

  // Images that are not images decode to nothing.
  const uint8_t junk[] = {'B', 'M', 0xff, 0xff, 0xff, 0x7f, 0, 0, 0, 0, 0x36, 0, 0, 0};
  EXPECT_FALSE(image_decode_rgb(junk, sizeof junk, rgb, w, h));
  EXPECT_FALSE(image_decode_rgb(nullptr, 0, rgb, w, h));
  EXPECT_FALSE(image_load_rgb((dir / "missing.bmp").string(), rgb, w, h));
  std::filesystem::remove_all(dir);
  screen_close(screen);
}

// A window back end that only writes down what the screen asks of it.
struct RecordingScreen : Screen {
  mutable std::vector<std::string> calls;  // the const operations write down their calls too
  bool is_minimized = false;
};

const RecordingScreen& recorder(const Screen& s) { return static_cast<const RecordingScreen&>(s); }

constexpr WindowOps kRecordingWindow = {
    .pump = [](Screen& s) { recorder(s).calls.push_back("pump"); },
    .sample_mouse = [](Screen& s) { recorder(s).calls.push_back("sample"); },
    .warp_mouse =
        [](Screen& s) {
          recorder(s).calls.push_back("warp " + std::to_string(s.mouse_x) + "," +
                                      std::to_string(s.mouse_y));
        },
    .present =
        [](Screen& s) {
          recorder(s).calls.push_back("present " + std::to_string(surface_pixel(s.primary, 0, 0)));
        },
    .minimized =
        [](const Screen& s) {
          recorder(s).calls.push_back("minimized?");
          return recorder(s).is_minimized;
        },
    .refresh_rate =
        [](const Screen& s) {
          recorder(s).calls.push_back("rate?");
          return int32_t{100000};  // a blank every 10 microseconds: the wait is short
        },
    .message_box =
        [](Screen& s, std::string_view caption, std::string_view text) {
          recorder(s).calls.push_back("box " + std::string(caption) + "|" + std::string(text));
        },
    .show_cursor =
        [](Screen& s, bool show) {
          recorder(s).calls.push_back(show ? "cursor on" : "cursor off");
        },
};

TEST(Screen, WithAWindowEveryStepAlsoGoesThroughItsOperations) {
  RecordingScreen screen;
  ASSERT_TRUE(surface_create(screen.primary, 64, 48, PixelFormat::Xrgb8888));
  ASSERT_TRUE(surface_create(screen.back, 64, 48, PixelFormat::Xrgb8888));
  screen.window_ops = &kRecordingWindow;

  EXPECT_TRUE(screen_pump(screen));
  screen_sample_mouse(screen);
  surface_fill(screen.back, 0x123456);
  ASSERT_TRUE(screen_flip(screen));  // the window is shown the picture after the swap
  EXPECT_EQ(surface_pixel(screen.back, 0, 0), 0u);
  screen_warp_mouse(screen, 99, -4);  // clamped before the window sees it
  EXPECT_EQ(screen.mouse_x, 63);
  EXPECT_EQ(screen.mouse_y, 0);

  // Lost surfaces come back only once the window is no longer minimised; until then a flip
  // neither swaps nor presents.
  screen.primary.lost = screen.back.lost = true;
  screen.is_minimized = true;
  EXPECT_FALSE(screen_pump(screen));
  EXPECT_FALSE(screen_flip(screen));
  screen.is_minimized = false;
  EXPECT_TRUE(screen_flip(screen));
  EXPECT_EQ(surface_pixel(screen.primary, 0, 0), 0u);
  EXPECT_EQ(screen.presents, 2);

  screen_message_box(screen, "Korva", "No track!");
  screen_cursor_show(screen, false);
  screen_wait_vblank(screen);
  EXPECT_EQ(screen.calls,
            (std::vector<std::string>{"pump", "sample", "present 1193046", "warp 63,0", "pump",
                                      "minimized?", "minimized?", "present 0",
                                      "box Korva|No track!", "cursor off", "rate?"}));

  // Closed, the window hears nothing more.
  screen.window_ops = nullptr;
  screen.calls.clear();
  EXPECT_TRUE(screen_flip(screen));
  screen_warp_mouse(screen, 5, 5);
  screen_message_box(screen, "Korva", "gone");
  screen_wait_vblank(screen);
  EXPECT_TRUE(screen.calls.empty());
  EXPECT_EQ(screen.presents, 3);
}

TEST(Headless, TheSoftwareDeviceExistsWithoutADisplay) {
  Screen screen;
  ScreenOptions o;
  o.headless = true;
  ASSERT_TRUE(screen_open(screen, o));
  Devices d;
  devices_probe(d, screen);
  EXPECT_FALSE(d.hardware);
  ASSERT_TRUE(d.software);
  EXPECT_NE(d.software_renderer.find("llvmpipe"), std::string::npos) << d.software_renderer;
  EXPECT_TRUE(devices_select(d, DeviceKind::Software));
  EXPECT_FALSE(devices_select(d, DeviceKind::Hardware));
  devices_release(d);
  EXPECT_FALSE(d.software);
  screen_close(screen);
}

}  // namespace
}  // namespace korva::platform
