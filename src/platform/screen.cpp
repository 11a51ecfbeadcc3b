// The screen without a window system: flipping and presenting the surfaces in memory, the mouse as
// last sampled or warped, lost surfaces. With a window open, each step also goes to the window
// back end through the screen's WindowOps table.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform.h"

namespace korva::platform {

bool headless_requested() {
  const char* v = std::getenv("KORVA_HEADLESS");
  return v && *v && std::strcmp(v, "0") != 0;
}

bool screen_pump(Screen& s) {
  if (s.window_ops) s.window_ops->pump(s);
  return !s.primary.lost;
}

void screen_sample_mouse(Screen& s) {
  // Headless, the mouse is whatever scripted input or a warp set.
  if (s.window_ops) s.window_ops->sample_mouse(s);
}

void screen_warp_mouse(Screen& s, int32_t x, int32_t y) {
  // Kept headless too, so that the next pump samples the cursor where it was put.
  s.mouse_x = std::clamp<int32_t>(x, 0, std::max<int32_t>(s.primary.width - 1, 0));
  s.mouse_y = std::clamp<int32_t>(y, 0, std::max<int32_t>(s.primary.height - 1, 0));
  if (s.window_ops && s.primary.width > 0 && s.primary.height > 0) s.window_ops->warp_mouse(s);
}

void screen_present(Screen& s) {
  ++s.presents;
  if (s.window_ops) s.window_ops->present(s);
}

bool screen_flip(Screen& s) {
  if (s.primary.lost && !screen_restore(s)) return false;
  std::swap(s.primary.pixels, s.back.pixels);
  screen_present(s);
  return true;
}

bool screen_restore(Screen& s) {
  if (!s.primary.lost) return true;
  // A minimised full-screen window has no display to give the surfaces back on.
  if (s.window_ops && s.window_ops->minimized(s)) return false;
  s.primary.lost = false;
  s.back.lost = false;
  return true;
}

void screen_wait_vblank(Screen& s) {
  if (!s.window_ops) return;  // no display, no blank to wait for
  int32_t rate = s.window_ops->refresh_rate(s);
  if (rate <= 0) rate = 60;  // the display does not say: the common rate
  // Sleep to the next refresh boundary of the monotonic clock.
  using namespace std::chrono;
  const int64_t period = 1000000000LL / rate;
  const int64_t now = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
  std::this_thread::sleep_for(nanoseconds(period - now % period));
}

void screen_message_box(Screen& s, std::string_view caption, std::string_view text) {
  if (s.window_ops) s.window_ops->message_box(s, caption, text);
}

void screen_cursor_show(Screen& s, bool show) {
  if (s.window_ops) s.window_ops->show_cursor(s, show);
}

void sleep_ms(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace korva::platform
