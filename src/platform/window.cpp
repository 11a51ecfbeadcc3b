// The one window (SDL2), its message pump, presenting the primary surface and the message box.
// Headless, there is no window: the surfaces live in memory and presenting only swaps them.
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform.h"

namespace korva::platform {

bool headless_requested() {
  const char* v = std::getenv("KORVA_HEADLESS");
  return v && *v && std::strcmp(v, "0") != 0;
}

static uint32_t sdl_format(PixelFormat f) {
  switch (f) {
    case PixelFormat::Rgb565: return SDL_PIXELFORMAT_RGB565;
    case PixelFormat::Rgb555: return SDL_PIXELFORMAT_RGB555;
    case PixelFormat::Xrgb8888: return SDL_PIXELFORMAT_RGB888;  // SDL's name for XRGB8888
  }
  return SDL_PIXELFORMAT_RGB565;
}

static bool fullscreen(const Screen& s) {
  return s.window && (SDL_GetWindowFlags(s.window) & SDL_WINDOW_FULLSCREEN) != 0;
}

// Where the picture goes inside the window: as large as fits with the mode's aspect, centred.
static SDL_Rect picture_rect(const Screen& s, int32_t window_w, int32_t window_h) {
  SDL_Rect r{0, 0, window_w, window_h};
  const int32_t w = s.primary.width, h = s.primary.height;
  if (w <= 0 || h <= 0 || window_w <= 0 || window_h <= 0) return r;
  if (int64_t(window_w) * h > int64_t(window_h) * w) {
    r.w = static_cast<int>(int64_t(window_h) * w / h);
    r.x = (window_w - r.w) / 2;
  } else {
    r.h = static_cast<int>(int64_t(window_w) * h / w);
    r.y = (window_h - r.h) / 2;
  }
  return r;
}

static bool open_window(Screen& s, const ScreenOptions& o) {
  // The window shows CPU surfaces: no GL behind SDL's window surface, whose context would
  // fight with the 3D device's (an X error ends the process).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  s.video_started = true;
  uint32_t flags = SDL_WINDOW_SHOWN;
  if (!o.windowed) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALWAYS_ON_TOP;
  s.window = SDL_CreateWindow(o.title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              o.width, o.height, flags);
  if (!s.window) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    s.video_started = false;
    return false;
  }
  SDL_StartTextInput();
  return true;
}

bool screen_open(Screen& s, const ScreenOptions& o) {
  s.title = o.title;
  s.headless = true;
  if (!surface_create(s.primary, o.width, o.height, o.format) ||
      !surface_create(s.back, o.width, o.height, o.format))
    return false;
  if (!o.headless) {
    if (open_window(s, o))
      s.headless = false;
    else
      std::fprintf(stderr, "korva: no display could be opened (%s); running headless\n",
                   SDL_GetError());
  }
  if (s.window) {
    s.present_view = SDL_CreateRGBSurfaceWithFormatFrom(s.primary.pixels.data(), o.width,
                                                        o.height, 32, s.primary.pitch,
                                                        sdl_format(o.format));
    if (!s.present_view) {
      screen_close(s);
      s.headless = true;
      return surface_create(s.primary, o.width, o.height, o.format) &&
             surface_create(s.back, o.width, o.height, o.format);
    }
  }
  s.active = 1;
  return true;
}

void screen_close(Screen& s) {
  if (s.present_view) SDL_FreeSurface(s.present_view);
  s.present_view = nullptr;
  if (s.window) SDL_DestroyWindow(s.window);
  s.window = nullptr;
  if (s.video_started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  s.video_started = false;
  s.headless = true;
}

void screen_hide(Screen& s) {
  if (s.window) SDL_HideWindow(s.window);
}

static void mark_lost(Screen& s) {
  s.primary.lost = true;
  s.back.lost = true;
}

static void send_text(Screen& s, const char* utf8) {
  // Decodes the UTF-8 text of one text-input message into code points.
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p) {
    int32_t code = *p, extra = 0;
    if (code >= 0xF0) code &= 0x07, extra = 3;
    else if (code >= 0xE0) code &= 0x0F, extra = 2;
    else if (code >= 0xC0) code &= 0x1F, extra = 1;
    else if (code >= 0x80) code = 0xFFFD;
    ++p;
    for (; extra > 0 && (*p & 0xC0) == 0x80; --extra, ++p) code = (code << 6) | (*p & 0x3F);
    if (extra > 0) code = 0xFFFD;
    if (s.on_input) {
      InputEvent e;
      e.kind = InputEvent::Kind::Character;
      e.character = code;
      e.scan = s.last_scan;
      s.on_input(e);
    }
  }
}

// Keys whose character messages SDL does not send as text: Enter, Backspace, Tab and Escape
// type the control characters 13, 8, 9 and 27.
static int32_t control_character(int32_t scancode) {
  switch (scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: return 0;
  }
}

static void handle_event(Screen& s, const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:  // a close request: the window cannot be closed from outside
      ++s.close_requests;
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: ++s.close_requests; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED: s.active = 1; break;
        case SDL_WINDOWEVENT_MINIMIZED:
          // Full screen, leaving the display takes the surfaces away, as a mode switch does.
          if (fullscreen(s)) mark_lost(s);
          break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      InputEvent ie;
      ie.kind = e.type == SDL_KEYDOWN ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
      ie.scancode = e.key.keysym.scancode;
      ie.scan = pc_scancode(ie.scancode);
      const int32_t control = e.type == SDL_KEYDOWN ? control_character(ie.scancode) : 0;
      if (e.type == SDL_KEYDOWN) {
        s.last_scan = ie.scan;
        // The text message of a key follows its key message in the queue.
        SDL_Event next;
        ie.character_waiting =
            control != 0 ||
            SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT) > 0;
      }
      if (!s.on_input) break;
      s.on_input(ie);
      if (control != 0) {
        InputEvent ce;
        ce.kind = InputEvent::Kind::Character;
        ce.character = control;
        ce.scan = ie.scan;
        s.on_input(ce);
      }
      break;
    }
    case SDL_TEXTINPUT: send_text(s, e.text.text); break;
    case SDL_MOUSEWHEEL:
      if (s.on_input && e.wheel.y != 0) {
        InputEvent ie;
        ie.kind = InputEvent::Kind::Wheel;
        ie.wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        s.on_input(ie);
      }
      break;
    default: break;
  }
}

bool screen_pump(Screen& s) {
  if (s.window) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle_event(s, e);
  }
  return !s.primary.lost;
}

void screen_sample_mouse(Screen& s) {
  if (!s.window) return;  // headless: the mouse is whatever scripted input set
  int x = 0, y = 0, w = 0, h = 0;
  const uint32_t b = SDL_GetMouseState(&x, &y);
  SDL_GetWindowSize(s.window, &w, &h);
  const SDL_Rect r = picture_rect(s, w, h);
  int64_t sx = r.w > 0 ? int64_t(x - r.x) * s.primary.width / r.w : 0;
  int64_t sy = r.h > 0 ? int64_t(y - r.y) * s.primary.height / r.h : 0;
  s.mouse_x = static_cast<int32_t>(std::clamp<int64_t>(sx, 0, s.primary.width - 1));
  s.mouse_y = static_cast<int32_t>(std::clamp<int64_t>(sy, 0, s.primary.height - 1));
  s.mouse_buttons = ((b & SDL_BUTTON_LMASK) ? 1 : 0) | ((b & SDL_BUTTON_RMASK) ? 2 : 0) |
                    ((b & SDL_BUTTON_MMASK) ? 4 : 0);
}

void screen_warp_mouse(Screen& s, int32_t x, int32_t y) {
  // Kept headless too, so that the next pump samples the cursor where it was put.
  s.mouse_x = std::clamp<int32_t>(x, 0, std::max<int32_t>(s.primary.width - 1, 0));
  s.mouse_y = std::clamp<int32_t>(y, 0, std::max<int32_t>(s.primary.height - 1, 0));
  if (!s.window || s.primary.width <= 0 || s.primary.height <= 0) return;
  int w = 0, h = 0;
  SDL_GetWindowSize(s.window, &w, &h);
  const SDL_Rect r = picture_rect(s, w, h);
  // The centre of the pixel, so that sampling the window position gives the same pixel back.
  const int64_t wx = r.x + (int64_t(2) * s.mouse_x + 1) * r.w / (int64_t(2) * s.primary.width);
  const int64_t wy = r.y + (int64_t(2) * s.mouse_y + 1) * r.h / (int64_t(2) * s.primary.height);
  SDL_WarpMouseInWindow(s.window, static_cast<int>(wx), static_cast<int>(wy));
}

void screen_present(Screen& s) {
  ++s.presents;
  if (!s.window || !s.present_view) return;
  SDL_Surface* target = SDL_GetWindowSurface(s.window);
  if (!target) return;
  s.present_view->pixels = s.primary.pixels.data();
  const SDL_Rect r = picture_rect(s, target->w, target->h);
  if (r.w != target->w || r.h != target->h) SDL_FillRect(target, nullptr, 0);
  SDL_Rect dst = r;
  SDL_BlitScaled(s.present_view, nullptr, target, &dst);
  SDL_UpdateWindowSurface(s.window);
}

bool screen_flip(Screen& s) {
  if (s.primary.lost && !screen_restore(s)) return false;
  std::swap(s.primary.pixels, s.back.pixels);
  screen_present(s);
  return true;
}

bool screen_restore(Screen& s) {
  if (!s.primary.lost) return true;
  if (s.window && (SDL_GetWindowFlags(s.window) & SDL_WINDOW_MINIMIZED)) return false;
  s.primary.lost = false;
  s.back.lost = false;
  return true;
}

void screen_wait_vblank(Screen& s) {
  if (!s.window) return;  // no display, no blank to wait for
  SDL_DisplayMode mode{};
  int rate = 60;
  int index = SDL_GetWindowDisplayIndex(s.window);
  if (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0 && mode.refresh_rate > 0)
    rate = mode.refresh_rate;
  // Sleep to the next refresh boundary of the monotonic clock.
  using namespace std::chrono;
  const int64_t period = 1000000000LL / rate;
  const int64_t now = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
  std::this_thread::sleep_for(nanoseconds(period - now % period));
}

void screen_message_box(Screen& s, std::string_view caption, std::string_view text) {
  if (!s.window) return;
  std::string c(caption), t(text);
  const bool topmost = (SDL_GetWindowFlags(s.window) & SDL_WINDOW_ALWAYS_ON_TOP) != 0;
  if (topmost) SDL_SetWindowAlwaysOnTop(s.window, SDL_FALSE);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, c.c_str(), t.c_str(), s.window);
  if (topmost) SDL_SetWindowAlwaysOnTop(s.window, SDL_TRUE);
}

void screen_cursor_show(Screen& s, bool show) {
  if (s.window) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void sleep_ms(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace korva::platform
