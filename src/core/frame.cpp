// The application frame: pump, show, vertical blank, error box, bmp_show, play_set.
#include "core/frame.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/core.h"
#include "platform/platform.h"

namespace korva {

void pump(Core& c) {
  platform::Screen* s = c.frame.screen;
  if (s) {
    if (platform::screen_pump(*s)) {
      platform::screen_sample_mouse(*s);
    } else {
      s->mouse_x = 0;
      s->mouse_y = 0;
      s->mouse_buttons = 0;
    }
    if (c.frame.mouse_sampled) c.frame.mouse_sampled(s->mouse_x, s->mouse_y, s->mouse_buttons);
  }
  ++c.pump_counter;
}

int64_t coarse_clock_ns() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
  return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// A wait inside another (a message box over a dialog) is already counted by the outer one.
PersonWait::PersonWait(Core& c)
    : core_(c.frame.screen && !c.frame.screen->headless && !c.frame.person_waiting ? &c : nullptr),
      start_(coarse_clock_ns()) {
  if (core_) core_->frame.person_waiting = true;
}

PersonWait::~PersonWait() {
  if (!core_) return;
  core_->frame.person_waiting = false;
  core_->frame.person_waited_ns += coarse_clock_ns() - start_;
}

void pump_and_show(Core& c) {
  if (c.frame.show_back_buffer) c.frame.show_back_buffer();
  if (c.frame.screen) platform::screen_flip(*c.frame.screen);
  pump(c);
}

void wait_vblank(Core& c) {
  if (c.frame.screen) platform::screen_wait_vblank(*c.frame.screen);
}

void error_box(Core& c, const char* format, ...) {
  char text[256 + 3];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, 257, format, args);  // at most 256 characters
  va_end(args);
  if (n < 0) n = 0;
  if (n > 256) n = 256;
  std::fprintf(stderr, "%.*s\n", n, text);
  text[n] = '\r';
  text[n + 1] = '\n';
  text[n + 2] = 0;
  const std::string_view message(text, static_cast<size_t>(n) + 2);
  if (c.ui.message_box)
    c.ui.message_box(message, " OK ", "");
  else if (c.frame.screen && c.frame.screen->window)
    platform::screen_message_box(*c.frame.screen, c.frame.screen->title, message);
}

void bmp_show(Core& c, std::string_view path) {
  platform::Screen* s = c.frame.screen;
  if (!s) return;
  std::vector<uint8_t> file, rgb;
  int32_t w = 0, h = 0;
  const int64_t size = path.empty() ? -1 : file_size(c, path);
  bool ok = size > 0 && size <= (int64_t(64) << 20);
  if (ok) {
    file.resize(static_cast<size_t>(size));
    int64_t got = 0;
    ok = read_file(c, path, 0, size, file.data(), &got) == 0 && got == size &&
         platform::image_decode_rgb(file.data(), size, rgb, w, h);
  }
  if (!ok) {
    // No picture: the window shows black.
    platform::surface_fill(s->primary, 0);
    platform::screen_present(*s);
    return;
  }
  // The bitmap's colours go through its own colour table while decoding, so both display
  // depths show it as it is; drawing it twice leaves it in both buffers.
  platform::surface_draw_rgb(s->back, rgb.data(), w, h);
  platform::screen_flip(*s);
  platform::surface_draw_rgb(s->back, rgb.data(), w, h);
}

void play_set(Core& c, int32_t x, int32_t y, int32_t width, int32_t height, int32_t repeats) {
  c.frame.video.x = x;
  c.frame.video.y = y;
  c.frame.video.width = width;
  c.frame.video.height = height;
  c.frame.video.repeats = repeats;
}


}  // namespace korva
