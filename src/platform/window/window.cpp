// The one window (SDL2): opening and closing it, and the window operations the screen calls
// through its WindowOps: the message pump, the mouse, presenting the primary surface, the
// display's refresh rate and the message box.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace korva::platform {

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
  // SIGINT and SIGTERM are the program's own (interrupts_catch): SDL would turn them into quit
  // events, which a window never obeys.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  s.video_started = true;
  uint32_t flags = SDL_WINDOW_SHOWN;
  int x = SDL_WINDOWPOS_UNDEFINED, y = SDL_WINDOWPOS_UNDEFINED, w = o.width, h = o.height;
  SDL_DisplayMode desktop{};
  if (!o.windowed) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_BORDERLESS;
    // Without a window manager nobody resizes a full-screen window: it is made as large as the
    // desktop, at its corner, from the start.
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0)
      x = 0, y = 0, w = desktop.w, h = desktop.h;
  }
  s.window = SDL_CreateWindow(o.title.c_str(), x, y, w, h, flags);
  if (!s.window) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    s.video_started = false;
    return false;
  }
  SDL_StartTextInput();
  return true;
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

static void pump(Screen& s) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) handle_event(s, e);
}

static void sample_mouse(Screen& s) {
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

static void warp_mouse(Screen& s) {
  int w = 0, h = 0;
  SDL_GetWindowSize(s.window, &w, &h);
  const SDL_Rect r = picture_rect(s, w, h);
  // The centre of the pixel, so that sampling the window position gives the same pixel back.
  const int64_t wx = r.x + (int64_t(2) * s.mouse_x + 1) * r.w / (int64_t(2) * s.primary.width);
  const int64_t wy = r.y + (int64_t(2) * s.mouse_y + 1) * r.h / (int64_t(2) * s.primary.height);
  SDL_WarpMouseInWindow(s.window, static_cast<int>(wx), static_cast<int>(wy));
}

// Whole-number enlargements keep their sharp pixels; any other scale is filtered linearly, so
// that a 640 x 480 picture on a 1080-line screen is smooth rather than unevenly blocky.
static bool whole_number_scale(const Screen& s, const SDL_Rect& r) {
  return r.w % s.primary.width == 0 && r.h % s.primary.height == 0;
}

static void present(Screen& s) {
  if (!s.present_view) return;
  SDL_Surface* target = SDL_GetWindowSurface(s.window);
  if (!target) return;
  s.present_view->pixels = s.primary.pixels.data();
  const SDL_Rect r = picture_rect(s, target->w, target->h);
  if (r.w != target->w || r.h != target->h) SDL_FillRect(target, nullptr, 0);
  SDL_Rect dst = r;
  bool shown = false;
  if (!whole_number_scale(s, r) && target->format->BytesPerPixel == 4) {
    // The linear stretch works between two 32-bit surfaces of one format: the picture is
    // converted to the window's format first (a plain copy when it already is).
    if (!s.smooth_view || s.smooth_view->format->format != target->format->format ||
        s.smooth_view->w != s.primary.width || s.smooth_view->h != s.primary.height) {
      if (s.smooth_view) SDL_FreeSurface(s.smooth_view);
      s.smooth_view = SDL_CreateRGBSurfaceWithFormat(0, s.primary.width, s.primary.height, 32,
                                                     target->format->format);
    }
    shown = s.smooth_view && SDL_BlitSurface(s.present_view, nullptr, s.smooth_view, nullptr) == 0 &&
            SDL_SoftStretchLinear(s.smooth_view, nullptr, target, &dst) == 0;
  }
  if (!shown) SDL_BlitScaled(s.present_view, nullptr, target, &dst);
  SDL_UpdateWindowSurface(s.window);
}

static bool minimized(const Screen& s) {
  return (SDL_GetWindowFlags(s.window) & SDL_WINDOW_MINIMIZED) != 0;
}

static int32_t refresh_rate(const Screen& s) {
  SDL_DisplayMode mode{};
  const int index = SDL_GetWindowDisplayIndex(s.window);
  if (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0) return mode.refresh_rate;
  return 0;
}

static void message_box(Screen& s, std::string_view caption, std::string_view text) {
  std::string c(caption), t(text);
  // A topmost full-screen window would hide the box.
  const bool topmost = (SDL_GetWindowFlags(s.window) & SDL_WINDOW_ALWAYS_ON_TOP) != 0;
  if (topmost) SDL_SetWindowAlwaysOnTop(s.window, SDL_FALSE);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, c.c_str(), t.c_str(), s.window);
  if (topmost) SDL_SetWindowAlwaysOnTop(s.window, SDL_TRUE);
}

static void show_cursor(Screen&, bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

static constexpr WindowOps kSdlWindow = {
    .pump = pump,
    .sample_mouse = sample_mouse,
    .warp_mouse = warp_mouse,
    .present = present,
    .minimized = minimized,
    .refresh_rate = refresh_rate,
    .message_box = message_box,
    .show_cursor = show_cursor,
};

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
    s.window_ops = &kSdlWindow;
  }
  s.active = 1;
  return true;
}

void screen_close(Screen& s) {
  s.window_ops = nullptr;
  if (s.present_view) SDL_FreeSurface(s.present_view);
  s.present_view = nullptr;
  if (s.smooth_view) SDL_FreeSurface(s.smooth_view);
  s.smooth_view = nullptr;
  if (s.window) SDL_DestroyWindow(s.window);
  s.window = nullptr;
  if (s.video_started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  s.video_started = false;
  s.headless = true;
}

bool screen_write_window_png(Screen& s, const std::string& path) {
  SDL_Surface* shown = s.window ? SDL_GetWindowSurface(s.window) : nullptr;
  if (!shown) return false;
  Surface copy;
  if (!surface_create(copy, shown->w, shown->h, PixelFormat::Xrgb8888)) return false;
  if (SDL_ConvertPixels(shown->w, shown->h, shown->format->format, shown->pixels, shown->pitch,
                        SDL_PIXELFORMAT_RGB888, copy.pixels.data(), copy.pitch) != 0)
    return false;
  return surface_write_png(copy, path);
}

void screen_hide(Screen& s) {
  if (s.window) SDL_HideWindow(s.window);
}

}  // namespace korva::platform
