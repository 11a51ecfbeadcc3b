// Presentation of the panel screen: the colour table, the mouse cursor drawn into the screen
// under a save-under block, and the conversion of every index straight into the display
// surface (16-bit, or widened to 32 bits), top-left in 640 x 480 and centred or stretched in
// the larger modes.
#include <algorithm>
#include <cstring>

#include "core/core.h"
#include "editors/gui.h"
#include "editors/gui_local.h"
#include "platform/platform.h"

namespace korva {
namespace {

using platform::PixelFormat;
using platform::Surface;

// The 32-bit pixel of a colour-table entry: each channel shifted up to 8 bits, alpha 255.
uint32_t widen(const Gui& g, uint16_t e) {
  const uint32_t green_mask = g.red_shift == 10 ? 31 : 63;
  const uint32_t r = ((e >> g.red_shift) & 31) << 3;
  const uint32_t gr = ((e >> g.green_shift) & green_mask) << (green_mask == 31 ? 3 : 2);
  const uint32_t b = ((e >> g.blue_shift) & 31) << 3;
  return 0xFF000000u | (r << 16) | (gr << 8) | b;
}

struct Placement {
  int32_t x = 0, y = 0;  // top-left of the picture on the surface (centred)
  int32_t num = 1, den = 1;  // scale of the stretched variants
};

Placement placement_for(int32_t width, int32_t height) {
  Placement p;
  p.x = std::max(0, (width - kGuiWidth) / 2);
  p.y = std::max(0, (height - kGuiHeight) / 2);
  if (width >= 1024 && height >= 768) {
    p.num = 8;
    p.den = 5;
  } else if (width >= 800 && height >= 600) {
    p.num = 5;
    p.den = 4;
  }
  return p;
}

// The cursor over the screen, with the hidden pixels kept in the skin's save-under area.
struct CursorUnder {
  Gui& g;
  bool drawn = false;
  int32_t x = 0, y = 0;

  explicit CursorUnder(Gui& gui, bool wanted) : g(gui) {
    if (!wanted || g.cursor_hidden || !g.skin || g.skin_height < skin::kCursorY + 16) return;
    x = g.mouse_x;
    y = g.mouse_y;
    for (int32_t r = 0; r < skin::kCursorSize; ++r) {
      if (y + r < 0 || y + r >= kGuiHeight) continue;
      uint8_t* save = g.skin + (skin::kCursorY + r) * kSkinWidth + skin::kSaveUnderX;
      const uint8_t* art = g.skin + (skin::kCursorY + r) * kSkinWidth;
      uint8_t* row = g.pixels + (y + r) * kGuiWidth;
      for (int32_t col = 0; col < skin::kCursorSize; ++col) {
        if (x + col < 0 || x + col >= kGuiWidth) continue;  // columns past x 639 are skipped
        save[col] = row[x + col];
        if (art[col] != 0) row[x + col] = art[col];
      }
    }
    drawn = true;
  }
  ~CursorUnder() {
    if (!drawn) return;
    for (int32_t r = 0; r < skin::kCursorSize; ++r) {
      if (y + r < 0 || y + r >= kGuiHeight) continue;
      const uint8_t* save = g.skin + (skin::kCursorY + r) * kSkinWidth + skin::kSaveUnderX;
      uint8_t* row = g.pixels + (y + r) * kGuiWidth;
      for (int32_t col = 0; col < skin::kCursorSize; ++col)
        if (x + col >= 0 && x + col < kGuiWidth) row[x + col] = save[col];
    }
  }
};

bool wide(const Surface& s) { return s.format == PixelFormat::Xrgb8888; }

void store(uint8_t* at, bool is_wide, uint32_t v) {
  if (is_wide)
    std::memcpy(at, &v, 4);
  else {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(at, &w, 2);
  }
}

// The stretched picture: every source pixel as a 2 x 2 block at its scaled place. Transparent:
// index 0 is skipped.
void convert_scaled(const Gui& g, Surface& s, uint8_t* dest, bool transparent) {
  const Placement p = placement_for(s.width, s.height);
  const bool is_wide = wide(s);
  const int32_t bpp = is_wide ? 4 : 2;
  uint32_t table[256];
  for (int32_t i = 0; i < 256; ++i) table[i] = is_wide ? widen(g, g.colour_table[i]) : g.colour_table[i];
  // The last 641 source pixels are left out so that every block stays on the surface.
  for (int32_t i = 0; i < kGuiPixels - 641; ++i) {
    const uint8_t index = g.pixels[i];
    if (transparent && index == 0) continue;
    const int32_t dx = (i % kGuiWidth) * p.num / p.den, dy = (i / kGuiWidth) * p.num / p.den;
    if (dx + 1 >= s.width || dy + 1 >= s.height) continue;
    uint8_t* at = dest + int64_t(dy) * s.pitch + int64_t(dx) * bpp;
    store(at, is_wide, table[index]);
    store(at + bpp, is_wide, table[index]);
    store(at + s.pitch, is_wide, table[index]);
    store(at + s.pitch + bpp, is_wide, table[index]);
  }
}

enum class Variant { Plain, NoCursor, Scaled, ScaledTransparent };

void present(Gui& g, Variant v) {
  platform::Screen* s = g.screen;
  if (!s || !g.pixels) return;
  if (!s->active) return;
  if (s->primary.lost && !platform::screen_restore(*s)) return;
  const bool transparent = v == Variant::ScaledTransparent;
  Surface& target = transparent ? s->back : s->primary;
  platform::screen_wait_vblank(*s);
  uint8_t* dest = platform::surface_lock(target);
  if (!dest) return;
  {
    CursorUnder cursor(g, v == Variant::Plain || v == Variant::Scaled);
    if (v == Variant::Scaled || transparent)
      convert_scaled(g, target, dest, transparent);
    else
      gui_convert(g, dest, target.pitch, target.width, target.height, wide(target));
  }
  platform::surface_unlock(target);
  if (!transparent) platform::screen_present(*s);
}

}  // namespace

void gui_build_colour_table(Gui& g, const uint8_t* palette) {
  if (palette != g.palette) std::memcpy(g.palette, palette, sizeof g.palette);
  g.red_shift = 11;
  g.green_shift = 5;
  g.blue_shift = 0;
  if (g.screen && g.screen->primary.format == PixelFormat::Rgb555) g.red_shift = 10;
  for (int32_t i = 0; i < 256; ++i)
    g.colour_table[i] = gui_rgb_pixel(g, palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]);
}

uint16_t gui_rgb_pixel(const Gui& g, uint8_t r, uint8_t green, uint8_t b) {
  const int32_t green_div = g.red_shift == 10 ? 8 : 4;
  return static_cast<uint16_t>((uint32_t(r / 8) << g.red_shift) | (uint32_t(green / green_div) << g.green_shift) |
                               (uint32_t(b / 8) << g.blue_shift));
}

void gui_convert(const Gui& g, uint8_t* dest, int32_t pitch, int32_t width, int32_t height,
                 bool is_wide) {
  const Placement p = placement_for(width, height);
  const int32_t columns = std::min(kGuiWidth, width - p.x);
  const int32_t rows = std::min(kGuiHeight, height - p.y);
  if (is_wide) {
    uint32_t table[256];
    for (int32_t i = 0; i < 256; ++i) table[i] = widen(g, g.colour_table[i]);
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* src = g.pixels + y * kGuiWidth;
      uint8_t* row = dest + int64_t(y + p.y) * pitch + int64_t(p.x) * 4;
      for (int32_t x = 0; x < columns; ++x) std::memcpy(row + 4 * x, &table[src[x]], 4);
    }
  } else {
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* src = g.pixels + y * kGuiWidth;
      uint8_t* row = dest + int64_t(y + p.y) * pitch + int64_t(p.x) * 2;
      for (int32_t x = 0; x < columns; ++x) std::memcpy(row + 2 * x, &g.colour_table[src[x]], 2);
    }
  }
}

// The variant shown last decides how the display's mouse position maps onto the panel.
void gui_present(Gui& g) {
  g.placement = GuiPlacement::Centred;
  present(g, Variant::Plain);
}
void gui_present_no_cursor(Gui& g) {
  g.placement = GuiPlacement::Centred;
  present(g, Variant::NoCursor);
}
void gui_present_scaled(Gui& g) {
  g.placement = GuiPlacement::Scaled;
  present(g, Variant::Scaled);
}
void gui_present_scaled_transparent(Gui& g) {
  g.placement = GuiPlacement::Scaled;
  present(g, Variant::ScaledTransparent);
}

void gui_clear_display(Gui& g) {
  platform::Screen* s = g.screen;
  if (!s || !s->active) return;
  if (s->primary.lost && !platform::screen_restore(*s)) return;
  platform::surface_fill(s->primary, 0);
  platform::screen_present(*s);
}

void gui_hide_cursor(Gui& g, bool hidden) { g.cursor_hidden = hidden; }

// Mouse position in panel coordinates, from the display position of the input state.
void gui_mouse_from_display(Gui& g, int32_t x, int32_t y) {
  int32_t width = kGuiWidth, height = kGuiHeight;
  if (g.screen) {
    width = g.screen->primary.width;
    height = g.screen->primary.height;
  }
  const Placement p = placement_for(width, height);
  if (g.placement == GuiPlacement::Scaled) {
    x = x * p.den / p.num;
    y = y * p.den / p.num;
  } else {
    x -= p.x;
    y -= p.y;
  }
  g.mouse_x = std::clamp(x, 0, kGuiWidth - 1);
  g.mouse_y = std::clamp(y, 0, kGuiHeight - 1);
}

}  // namespace korva
