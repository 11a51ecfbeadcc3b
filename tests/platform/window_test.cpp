// The real window: presenting, close requests and input messages. These need a display (the
// build runs them under Xvfb) and skip without one.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace korva::platform {
namespace {

class Window : public ::testing::Test {
 protected:
  Screen screen;
  void SetUp() override {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) GTEST_SKIP() << "no display";
    ScreenOptions o;
    o.windowed = true;
    o.format = PixelFormat::Rgb555;
    ASSERT_TRUE(screen_open(screen, o));
    ASSERT_NE(screen.window, nullptr);
  }
  void TearDown() override { screen_close(screen); }
};

TEST_F(Window, FlipShowsTheBackSurfaceInTheWindow) {
  surface_fill(screen.back, pack_rgb(PixelFormat::Rgb555, 255, 0, 0));
  ASSERT_TRUE(screen_flip(screen));
  SDL_Surface* shown = SDL_GetWindowSurface(screen.window);
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(SDL_LockSurface(shown), 0);
  uint32_t pixel = 0;
  const int bpp = shown->format->BytesPerPixel;
  std::memcpy(&pixel, static_cast<uint8_t*>(shown->pixels) + (shown->h / 2) * shown->pitch +
                          (shown->w / 2) * bpp, bpp);
  SDL_UnlockSurface(shown);
  uint8_t r, g, b;
  SDL_GetRGB(pixel, shown->format, &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
}

TEST_F(Window, KeysWithoutTextSayNoCharacterIsWaiting) {
  std::vector<InputEvent> got;
  screen.on_input = [&](const InputEvent& e) { got.push_back(e); };
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_SCANCODE_UP;
  SDL_PushEvent(&e);
  e.type = SDL_KEYUP;
  SDL_PushEvent(&e);
  screen_pump(screen);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].scan, 72);
  EXPECT_FALSE(got[0].character_waiting);
  EXPECT_EQ(got[1].kind, InputEvent::Kind::KeyUp);
  EXPECT_EQ(got[1].scan, 72);
}

TEST_F(Window, CloseRequestsLeaveTheWindowOpen) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = SDL_GetWindowID(screen.window);
  SDL_PushEvent(&e);
  EXPECT_TRUE(screen_pump(screen));
  EXPECT_EQ(screen.close_requests, 2);
  EXPECT_NE(screen.window, nullptr);
  EXPECT_TRUE(screen_flip(screen));
}

TEST_F(Window, PumpHandsOnKeysTextAndWheel) {
  std::vector<InputEvent> got;
  screen.on_input = [&](const InputEvent& e) { got.push_back(e); };
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_TEXTINPUT;
  std::strcpy(e.text.text, "a\xc3\xa9");  // "a", "é"
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = -1;
  SDL_PushEvent(&e);
  screen_pump(screen);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].kind, InputEvent::Kind::KeyDown);
  EXPECT_EQ(got[0].scancode, SDL_SCANCODE_ESCAPE);
  EXPECT_EQ(got[0].scan, 1);
  EXPECT_TRUE(got[0].character_waiting);  // Escape types character 27 right behind it
  EXPECT_EQ(got[1].kind, InputEvent::Kind::Character);
  EXPECT_EQ(got[1].character, 27);
  EXPECT_EQ(got[2].character, 'a');
  EXPECT_EQ(got[2].scan, 1);  // characters carry the scan code of the last key down
  EXPECT_EQ(got[3].character, 0xE9);
  EXPECT_EQ(got[4].kind, InputEvent::Kind::Wheel);
  EXPECT_EQ(got[4].wheel, -1);
  screen_sample_mouse(screen);
  EXPECT_GE(screen.mouse_x, 0);
  EXPECT_LT(screen.mouse_x, 640);
}

// Full screen on a wide display without a window manager: the picture fills the screen's height
// with its aspect kept, borders beside it, and a scale that is not a whole number is filtered.
TEST(FullScreen, PictureFillsTheHeightLetterboxedAndSmooth) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no video";
  SDL_DisplayMode desktop{};
  const bool wide = SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w == 1920 &&
                    desktop.h == 1080;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (!wide) GTEST_SKIP() << "needs a 1920 x 1080 display";
  Screen screen;
  ScreenOptions o;
  o.windowed = false;
  o.format = PixelFormat::Xrgb8888;
  ASSERT_TRUE(screen_open(screen, o));
  // Left half red, right half blue.
  surface_fill_rect(screen.back, 0, 0, 320, 480, pack_rgb(o.format, 255, 0, 0));
  surface_fill_rect(screen.back, 320, 0, 320, 480, pack_rgb(o.format, 0, 0, 255));
  ASSERT_TRUE(screen_flip(screen));
  // The X server may still be bringing the new full-screen window to its size (on a loaded
  // machine for a while): once it has, the picture is shown again at that size (in a run, the
  // next frame's flip does it).
  SDL_Surface* shown = nullptr;
  for (int tries = 0; tries < 200; ++tries) {
    SDL_PumpEvents();
    screen_present(screen);
    shown = SDL_GetWindowSurface(screen.window);
    ASSERT_NE(shown, nullptr);
    if (shown->w == 1920 && shown->h == 1080) break;
    SDL_Delay(25);
  }
  EXPECT_EQ(shown->w, 1920);
  EXPECT_EQ(shown->h, 1080);
  ASSERT_EQ(SDL_LockSurface(shown), 0);
  auto rgb = [&](int x, int y) {
    uint32_t pixel = 0;
    std::memcpy(&pixel, static_cast<uint8_t*>(shown->pixels) + y * shown->pitch +
                            x * shown->format->BytesPerPixel, shown->format->BytesPerPixel);
    uint8_t r, g, b;
    SDL_GetRGB(pixel, shown->format, &r, &g, &b);
    return std::array<int, 3>{r, g, b};
  };
  // 640 x 480 scaled 2.25 times is 1440 x 1080, centred: borders 240 wide.
  EXPECT_EQ(rgb(100, 540), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(rgb(1820, 540), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(rgb(250, 0), (std::array<int, 3>{255, 0, 0}));
  EXPECT_EQ(rgb(1670, 1079), (std::array<int, 3>{0, 0, 255}));
  // Where red meets blue the filter blends the two.
  int blended = 0;
  for (int x = 950; x < 970; ++x) {
    const auto c = rgb(x, 540);
    if (c[0] > 0 && c[0] < 255 && c[2] > 0 && c[2] < 255) ++blended;
  }
  SDL_UnlockSurface(shown);
  EXPECT_GT(blended, 0);
  screen_close(screen);
}

}  // namespace
}  // namespace korva::platform
