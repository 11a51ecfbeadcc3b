// Drawing the overlays straight into the locked back surface: FRAME images before the 3D pass;
// sprites, counters and the text list after it. Every write is clipped to the surface, whatever
// the element's own rectangle says.
#include <algorithm>
#include <cstring>

#include "core/core.h"
#include "devices/input.h"
#include "engine/element_access.h"
#include "model/model.h"
#include "platform/platform.h"
#include "render/overlay.h"

namespace korva {
namespace {

using platform::PixelFormat;
using platform::Surface;

struct Rect {
  int32_t x1, y1, x2, y2;
};

enum class Blend : int32_t { Opaque, Translucent };

// Puts 16-bit palette colours into a surface of any display format.
struct Writer {
  uint8_t* pixels;
  int32_t pitch;
  bool wide;    // 32-bit surface
  bool green6;  // 16-bit colours are RGB565 (else RGB555)
  Blend blend;

  uint32_t widen(uint16_t c) const {
    uint32_t r, g, b;
    if (green6) {
      r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
      g = (g << 2) | (g >> 4);
    } else {
      r = (c >> 10) & 31, g = (c >> 5) & 31, b = c & 31;
      g = (g << 3) | (g >> 2);
    }
    r = (r << 3) | (r >> 2);
    b = (b << 3) | (b >> 2);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
  }

  void put(int32_t x, int32_t y, uint16_t colour) const {
    uint8_t* at = pixels + int64_t(y) * pitch;
    if (wide) {
      uint32_t c = widen(colour);
      uint32_t* p = reinterpret_cast<uint32_t*>(at) + x;
      if (blend == Blend::Translucent)
        c = 0xFF000000u | (((*p & 0xFEFEFEu) >> 1) + ((c & 0xFEFEFEu) >> 1));
      *p = c;
      return;
    }
    uint16_t* p = reinterpret_cast<uint16_t*>(at) + x;
    if (blend == Blend::Opaque) {
      *p = colour;
    } else if (green6) {
      // Halves of each channel, with the low bit of every field masked off so none carries.
      *p = static_cast<uint16_t>(((*p & 0xF7DEu) + (colour & 0xF7DEu)) >> 1);
    } else {
      *p = static_cast<uint16_t>(((*p & 0x7BDEu) + (colour & 0x7BDEu)) >> 1);
    }
  }
};

Writer writer_for(const Overlays& o, Surface& s, uint8_t* pixels, Blend blend) {
  return {pixels, s.pitch, s.format == PixelFormat::Xrgb8888, o.green6, blend};
}

const OverlayImage* image_of(const System& s, const uint8_t* asset_rec, ImageKind kind) {
  if (!asset_rec) return nullptr;
  uint32_t mark = 0;
  int32_t index = 0;
  std::memcpy(&mark, asset_rec + asset::kKind, 4);
  std::memcpy(&index, asset_rec + asset::kImage, 4);
  const Overlays& o = *s.overlays;
  if (mark != (asset::kOverlayMark | static_cast<uint32_t>(kind)) || index < 0 ||
      index >= static_cast<int32_t>(o.images.size()))
    return nullptr;
  const OverlayImage& img = o.images[static_cast<size_t>(index)];
  return img.kind == kind ? &img : nullptr;
}

int32_t read_int(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Walks the run list; calls f(row, x, n, indices) for every well-formed run.
template <typename F>
void for_each_run(const OverlayImage& img, F&& f) {
  const uint8_t* p = img.data.data();
  const uint8_t* end = p + img.data.size();
  while (end - p >= 16) {
    const int32_t first = read_int(p);
    if (first == kRunEnd) break;
    const int32_t n = read_int(p + 4);
    if (n < 0 || end - (p + 16) < n) break;
    f(read_int(p + 12), read_int(p + 8), n, p + 16);
    p += 16 + n;
  }
}

// single >= 0 draws every pixel in that one colour (the selected sprite).
void draw_sprite(const Writer& w, const OverlayImage& img, int32_t x, int32_t y, Rect clip,
                 int32_t single) {
  for_each_run(img, [&](int32_t row, int32_t dx, int32_t n, const uint8_t* idx) {
    const int64_t sy = int64_t(y) + row;
    if (sy < clip.y1 || sy > clip.y2) return;
    for (int32_t i = 0; i < n; ++i) {
      const int64_t sx = int64_t(x) + dx + i;
      if (sx < clip.x1 || sx > clip.x2) continue;
      w.put(static_cast<int32_t>(sx), static_cast<int32_t>(sy),
            single >= 0 ? static_cast<uint16_t>(single) : img.palette[idx[i]]);
    }
  });
}

void draw_glyph(const Writer& w, const OverlayImage& img, int32_t glyph, int32_t x, int32_t y,
                int32_t screen_width) {
  const uint8_t* cell = img.data.data() + size_t(glyph) * img.width * img.height;
  for (int32_t row = 0; row < img.height; ++row)
    for (int32_t col = 0; col < img.width; ++col) {
      const uint8_t index = cell[row * img.width + col];
      const int32_t sx = x + col;
      if (index != 0 && sx >= 0 && sx < screen_width) w.put(sx, y + row, img.palette[index]);
    }
}

Rect screen_rect_of(const Surface& s) { return {0, 0, s.width - 1, s.height - 1}; }

Rect intersect(Rect a, Rect b) {
  return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

int32_t last_element(const System& s) {
  return s.model ? std::min(s.model->last_index, kInstanceRecords - 1) : -1;
}

bool drawn(const uint8_t* record) {
  const int32_t flags = ir_get(record, ir::kFlags);
  return (flags & ir::kFlagActive) && (flags & ir::kFlagShown);
}

// The glyphs a counter shows, left to right; returns how many.
int32_t counter_glyphs(const uint8_t* record, int32_t out[16]) {
  int64_t value = ir_get(record, ir::kScore);
  int64_t p = ir_get(record, ovr::kCounterLead);
  const int32_t point = ir_get(record, ovr::kCounterPoint);
  int32_t n = 0;
  if (ir_get(record, ovr::kCounterSign) != 0) out[n++] = value >= 0 ? kGlyphPlus : kGlyphMinus;
  if (value < 0) value = -value;
  while (p > 0 && n < 15) {
    // Places above the leading one are not shown (the digit stays 0..9).
    out[n++] = static_cast<int32_t>((value / p) % 10);
    if (p == point && n < 16) out[n++] = kGlyphPoint;
    value %= p;
    p /= 10;
  }
  return n;
}

}  // namespace

void frames_draw(System& s, Surface& surface) {
  if (!s.overlays || !s.core) return;
  // Full-screen pictures exist for the 640 x 480 16-bit mode only.
  if (surface.width != 640 || surface.height != 480 || surface.format == PixelFormat::Xrgb8888)
    return;
  uint8_t* pixels = nullptr;
  const int32_t last = last_element(s);
  for (int32_t i = 0; i <= last; ++i) {
    uint8_t* record = s.core->pool(Pool::Instances) + int64_t(i) * kInstanceRecordBytes;
    if (!drawn(record) || ir_get(record, ovr::kDrawCount) <= 0) continue;
    const OverlayImage* img = image_of(s, current_asset(s, record), ImageKind::Frame);
    if (!img) continue;
    if (!pixels && !(pixels = platform::surface_lock(surface))) return;
    ir_set(record, ovr::kDrawCount, ir_get(record, ovr::kDrawCount) - 1);
    const Writer w = writer_for(*s.overlays, surface, pixels, Blend::Opaque);
    const uint8_t* in = img->data.data();
    const uint8_t* end = in + img->data.size();
    for (int32_t y = 0; y < img->height && in < end; ++y) {
      int32_t x = 0;
      while (x < img->width && in < end) {
        int32_t count = 1;
        uint8_t index = *in++;
        if (index >= 192) {
          count = index - 192;
          if (in >= end) break;
          index = *in++;
        }
        for (; count > 0; --count, ++x)
          if (x < surface.width && y < surface.height) w.put(x, y, img->palette[index]);
      }
    }
  }
  if (pixels) platform::surface_unlock(surface);
}

void sprites_and_counters_draw(System& s, Surface& surface) {
  if (!s.overlays || !s.core) return;
  Overlays& o = *s.overlays;
  uint8_t* pixels = platform::surface_lock(surface);
  if (!pixels) return;
  const Rect screen = screen_rect_of(surface);
  const bool wide = surface.format == PixelFormat::Xrgb8888;
  const int32_t last = last_element(s);
  for (int32_t i = 0; i <= last; ++i) {
    const uint8_t* record = s.core->pool(Pool::Instances) + int64_t(i) * kInstanceRecordBytes;
    if (!drawn(record)) continue;
    const uint8_t* asset_rec = current_asset(s, record);
    const Blend blend =
        (ir_get(record, ir::kFlags) & ir::kFlagTranslucent) ? Blend::Translucent : Blend::Opaque;
    const Writer w = writer_for(o, surface, pixels, blend);

    if (const OverlayImage* img = image_of(s, asset_rec, ImageKind::Sprite)) {
      Rect clip = screen;
      if (o.sprite_clipping)
        clip = intersect(screen, {ir_get(record, ovr::kClipX1), ir_get(record, ovr::kClipY1),
                                  ir_get(record, ovr::kClipX2), ir_get(record, ovr::kClipY2)});
      int32_t single = -1;
      if (i == o.selected) {
        const int32_t phase = o.blink;
        o.blink ^= 1;
        if (wide && phase == 0) continue;  // 32-bit: shown every other draw
        single = img->palette[phase ? 255 : 0];
      }
      const Writer sw = single >= 0 ? writer_for(o, surface, pixels, Blend::Opaque) : w;
      draw_sprite(sw, *img, ir_get(record, ir::kPosX), ir_get(record, ir::kPosY), clip, single);
    } else if (const OverlayImage* glyphs = image_of(s, asset_rec, ImageKind::Counter)) {
      const int32_t x = ir_get(record, ovr::kCounterX);
      const int32_t y = ir_get(record, ovr::kCounterY);
      if (glyphs->width <= 0 || x < 0 || x >= surface.width || y < 0 ||
          y + glyphs->height > surface.height)
        continue;
      int32_t shown[16];
      const int32_t n = counter_glyphs(record, shown);
      for (int32_t k = 0; k < n; ++k)
        draw_glyph(w, *glyphs, shown[k], x + k * glyphs->width, y, surface.width);
    }
  }
  platform::surface_unlock(surface);
}

void overlays_draw(System& s, Surface& surface) {
  sprites_and_counters_draw(s, surface);
  text_list_draw(s, surface);
}

// ---- Keywords that read the drawn state ----

namespace {

uint8_t* element(System& s, int32_t e) { return instance_at(s, e); }

const OverlayImage* overlay_of(System& s, const uint8_t* record, ImageKind kind) {
  return s.overlays ? image_of(s, current_asset(s, record), kind) : nullptr;
}

// The mouse as the brains see it: the input state, which real and scripted pointers both
// reach through the same sampling.
void mouse(const System& s, int32_t& x, int32_t& y) {
  x = s.input ? s.input->mouse_x : 0;
  y = s.input ? s.input->mouse_y : 0;
}

}  // namespace

void sprite_clip_set(System& s, int32_t e, int32_t x1, int32_t x2, int32_t y1, int32_t y2) {
  uint8_t* r = element(s, e);
  if (!r) return;
  ir_set(r, ovr::kClipX1, x1);
  ir_set(r, ovr::kClipX2, x2);
  ir_set(r, ovr::kClipY1, y1);
  ir_set(r, ovr::kClipY2, y2);
}

int32_t sprite_clip_x1(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  return r ? ir_get(r, ovr::kClipX1) : 0;
}
int32_t sprite_clip_x2(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  return r ? ir_get(r, ovr::kClipX2) : 0;
}
int32_t sprite_clip_y1(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  return r ? ir_get(r, ovr::kClipY1) : 0;
}
int32_t sprite_clip_y2(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  return r ? ir_get(r, ovr::kClipY2) : 0;
}

int32_t sprite_dim_x(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  const OverlayImage* img = r ? overlay_of(s, r, ImageKind::Sprite) : nullptr;
  return img ? img->width : 0;
}

int32_t sprite_dim_y(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  const OverlayImage* img = r ? overlay_of(s, r, ImageKind::Sprite) : nullptr;
  return img ? img->height : 0;
}

int32_t sprite_picked(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  if (!r || !drawn(r)) return 0;
  const OverlayImage* img = overlay_of(s, r, ImageKind::Sprite);
  if (!img) return 0;
  int32_t mx, my;
  mouse(s, mx, my);
  if (s.overlays->sprite_clipping &&
      (mx < ir_get(r, ovr::kClipX1) || mx > ir_get(r, ovr::kClipX2) ||
       my < ir_get(r, ovr::kClipY1) || my > ir_get(r, ovr::kClipY2)))
    return 0;
  const int64_t lx = int64_t(mx) - ir_get(r, ir::kPosX);
  const int64_t ly = int64_t(my) - ir_get(r, ir::kPosY);
  bool hit = false;
  // On the sprite means on one of its drawn (non-transparent) pixels.
  for_each_run(*img, [&](int32_t row, int32_t dx, int32_t n, const uint8_t*) {
    if (row == ly && lx >= dx && lx < int64_t(dx) + n) hit = true;
  });
  return hit ? -1 : 0;
}

int32_t counter_picked(System& s, int32_t e) {
  const uint8_t* r = element(s, e);
  if (!r || !drawn(r)) return 0;
  const OverlayImage* img = overlay_of(s, r, ImageKind::Counter);
  if (!img) return 0;
  int32_t shown[16];
  const int32_t n = counter_glyphs(r, shown);
  int32_t mx, my;
  mouse(s, mx, my);
  const int64_t x = ir_get(r, ovr::kCounterX), y = ir_get(r, ovr::kCounterY);
  const bool hit = mx >= x && mx < x + int64_t(n) * img->width && my >= y && my < y + img->height;
  return hit ? -1 : 0;
}

int32_t sprite_3d_pos(System& s, int32_t e, int32_t dx, int32_t dy, int32_t sprite,
                      int32_t camera) {
  const uint8_t* r = element(s, e);
  uint8_t* target = element(s, sprite);
  const int32_t camera_index = element_index_of(camera);
  if (!r || !target || camera_index < 0 || !s.overlays || !s.overlays->project) return 0;
  const double point[3] = {ir_get(r, ir::kPosX) / 512000.0, ir_get(r, ir::kPosY) / 512000.0,
                           ir_get(r, ir::kPosZ) / 512000.0};
  double h[4] = {0, 0, 0, 0};
  if (!s.overlays->project(camera_index, point, h)) return 0;
  if (h[3] != 0) {
    const double x = h[0] / h[3] + dx, y = h[1] / h[3] + dy;
    ir_set(target, ir::kPosX, static_cast<int32_t>(std::clamp(x, -1e9, 1e9)));
    ir_set(target, ir::kPosY, static_cast<int32_t>(std::clamp(y, -1e9, 1e9)));
  }
  return static_cast<int32_t>(std::clamp(h[3], -3906.0, 3906.0) * 512000.0);
}

}  // namespace korva
