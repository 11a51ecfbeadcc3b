// Printed text over the scene: the per-frame text overlay list, the 16 screen fonts (a face
// found by fontconfig from its name and weight, rendered by FreeType) and the run's bitmap font
// "font8.fnt", which prints where a slot has no font.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "core/core.h"
#include "model/run_state.h"
#include "platform/platform.h"
#include "render/overlay.h"
#include "runtime/text_argument.h"

namespace korva {

struct FontLibrary {
  FT_Library ft = nullptr;
  // The file and face index fontconfig chose for each face name and weight asked for.
  std::map<std::pair<std::string, int32_t>, std::pair<std::string, int32_t>> files;
  ~FontLibrary() {
    if (ft) FT_Done_FreeType(ft);
  }
};

void FontLibraryDeleter::operator()(FontLibrary* f) const { delete f; }

namespace {

// One rendered character: coverage bytes w x h, placed relative to the pen on the baseline.
struct Glyph {
  bool ready = false;
  int32_t left = 0, top = 0, width = 0, height = 0, advance = 0;
  std::vector<uint8_t> coverage;
};

// Largest character height a font is made with; larger requests are cut to it.
constexpr int32_t kMaxFontHeight = 512;

// Windows-1252 codes 0x80..0x9F; the other bytes are their own code points.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t code_point(uint8_t ch) { return ch >= 0x80 && ch < 0xA0 ? kCp1252High[ch - 0x80] : ch; }

}  // namespace

struct FontSlot {
  FT_Face face = nullptr;
  int32_t ascent = 0;
  Glyph glyphs[256];
  ~FontSlot() {
    if (face) FT_Done_Face(face);
  }
};

void FontSlotDeleter::operator()(FontSlot* f) const { delete f; }

namespace {

const Glyph& glyph(FontSlot& f, uint8_t ch) {
  Glyph& g = f.glyphs[ch];
  if (g.ready) return g;
  g.ready = true;
  if (FT_Load_Char(f.face, code_point(ch), FT_LOAD_RENDER) != 0) return g;
  const FT_GlyphSlot slot = f.face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  g.advance = static_cast<int32_t>(slot->advance.x >> 6);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || !bm.buffer) return g;
  g.width = static_cast<int32_t>(bm.width);
  g.height = static_cast<int32_t>(bm.rows);
  g.coverage.resize(size_t(g.width) * g.height);
  for (int32_t y = 0; y < g.height; ++y)
    for (int32_t x = 0; x < g.width; ++x)
      g.coverage[size_t(y) * g.width + x] = bm.buffer[int64_t(y) * bm.pitch + x];
  return g;
}

// Mixes colour into the pixel with coverage v (0..255). Positions are 64-bit: a brain may place
// text anywhere in the 32-bit range, and a glyph's offsets are added to that.
void blend_pixel(platform::Surface& s, uint8_t* pixels, int64_t x, int64_t y, int32_t colour,
                 int32_t v) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height || v == 0) return;
  uint8_t* at = pixels + int64_t(y) * s.pitch + int64_t(x) * platform::bytes_per_pixel(s.format);
  uint32_t old = 0;
  if (s.format == platform::PixelFormat::Xrgb8888)
    std::memcpy(&old, at, 4);
  else
    old = uint32_t(at[0]) | uint32_t(at[1]) << 8;
  uint8_t r, g, b;
  platform::unpack_rgb(s.format, old, r, g, b);
  auto mix = [v](int32_t d, int32_t c) {
    return static_cast<uint8_t>((d * (255 - v) + c * v + 127) / 255);
  };
  uint32_t p = platform::pack_rgb(s.format, mix(r, colour & 255), mix(g, (colour >> 8) & 255),
                                  mix(b, (colour >> 16) & 255));
  if (s.format == platform::PixelFormat::Xrgb8888) {
    p |= 0xFF000000u;
    std::memcpy(at, &p, 4);
  } else {
    at[0] = static_cast<uint8_t>(p);
    at[1] = static_cast<uint8_t>(p >> 8);
  }
}

bool font_make(Overlays& o, std::string_view name, int32_t height, int32_t weight, int32_t slot);

// The font in slot; a default font still pending is made now, at its first use.
FontSlot* slot_font(Overlays& o, int32_t slot) {
  slot = std::clamp(slot, 0, kFontSlots - 1);
  if (o.fonts_pending & (1u << slot)) {
    o.fonts_pending &= ~(1u << slot);
    font_make(o, "Arial", 28, 400, slot);
  }
  return o.fonts[slot].get();
}

int32_t clamp_slot(int32_t slot) { return std::clamp(slot, 0, kFontSlots - 1); }

// The font file fontconfig picks for a face name and a weight of 0..1000.
bool find_font_file(std::string_view name, int32_t weight, std::string& file, int32_t& index) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  const std::string family(name);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SPACING, FC_PROPORTIONAL);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* path = nullptr;
  int idx = 0;
  const bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
  if (ok) {
    file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &idx) != FcResultMatch) idx = 0;
    index = idx;
  }
  FcPatternDestroy(match);
  return ok;
}

int32_t run_font_width(const BitmapFont& f, std::string_view text) {
  int32_t w = 0;
  for (char ch : text) {
    const int32_t i = int32_t(uint8_t(ch)) - f.first;
    if (i >= 0 && i < f.count) w += f.advance[size_t(i)];
  }
  return w;
}

void run_font_draw(const BitmapFont& f, platform::Surface& s, uint8_t* pixels, std::string_view text,
                   int32_t x, int32_t y, int32_t colour) {
  int64_t pen = x;
  for (char ch : text) {
    const int32_t i = int32_t(uint8_t(ch)) - f.first;
    if (i < 0 || i >= f.count) continue;
    const int32_t w = f.advance[size_t(i)];
    const uint8_t* cell = f.cells.data() + f.offset[size_t(i)];
    for (int32_t row = 0; row < f.height; ++row)
      for (int32_t col = 0; col < w; ++col)
        blend_pixel(s, pixels, pen + col, int64_t(y) + row, colour, cell[row * w + col]);
    pen += w;
  }
}

}  // namespace

// ---- Fonts ----

bool font_create(System& s, std::string_view name, int32_t height, int32_t weight, int32_t slot) {
  if (!s.overlays) return false;
  slot = clamp_slot(slot);
  s.overlays->fonts_pending &= ~(1u << slot);
  return font_make(*s.overlays, name, height, weight, slot);
}

namespace {

bool font_make(Overlays& o, std::string_view name, int32_t height, int32_t weight, int32_t slot) {
  o.fonts[slot].reset();
  weight = std::clamp(weight, 0, 1000);
  if (weight == 0) weight = 400;  // "don't care" is the regular weight
  if (!o.fonts_lib) {
    auto lib = std::unique_ptr<FontLibrary, FontLibraryDeleter>(new FontLibrary);
    if (FT_Init_FreeType(&lib->ft) != 0) return false;
    o.fonts_lib = std::move(lib);
  }
  const auto key = std::make_pair(std::string(name), weight);
  auto known = o.fonts_lib->files.find(key);
  if (known == o.fonts_lib->files.end()) {
    std::string file;
    int32_t index = 0;
    if (!find_font_file(name, weight, file, index)) return false;
    known = o.fonts_lib->files.emplace(key, std::make_pair(file, index)).first;
  }
  const std::string& file = known->second.first;
  const int32_t index = known->second.second;
  FontSlotPtr font(new FontSlot);
  if (FT_New_Face(o.fonts_lib->ft, file.c_str(), index, &font->face) != 0) {
    font->face = nullptr;
    return false;
  }
  // A negative height is the character height, a positive one the cell height (ascent plus
  // descent); 0 asks for the default size.
  const int64_t h =
      height == 0 ? 16 : std::min<int64_t>(std::llabs(int64_t(height)), kMaxFontHeight);
  FT_Size_RequestRec req{};
  req.type = height < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_REAL_DIM;
  req.height = static_cast<FT_Long>(h * 64);
  if (FT_Request_Size(font->face, &req) != 0) return false;
  font->ascent = static_cast<int32_t>((font->face->size->metrics.ascender + 63) >> 6);
  o.fonts[slot] = std::move(font);
  return true;
}

}  // namespace

// The faces are opened when a slot is first used: a project that prints nothing never starts
// fontconfig or FreeType.
void fonts_create_defaults(System& s) {
  if (!s.overlays) return;
  for (auto& f : s.overlays->fonts) f.reset();
  s.overlays->fonts_pending = (1u << kFontSlots) - 1;
}

void fonts_release(System& s) {
  if (!s.overlays) return;
  for (auto& f : s.overlays->fonts) f.reset();
  s.overlays->fonts_pending = 0;
}

std::string font_family(System& s, int32_t slot) {
  FontSlot* f = s.overlays ? slot_font(*s.overlays, slot) : nullptr;
  return f && f->face->family_name ? f->face->family_name : "";
}

bool run_font_load(System& s, std::string_view path) {
  if (!s.overlays || !s.core) return false;
  if (!bitmap_font_load(*s.core, s.overlays->run_font, path)) return false;
  s.overlays->run_font_loaded = true;
  return true;
}

int32_t text_width(System& s, std::string_view text, int32_t slot) {
  if (!s.overlays) return 0;
  Overlays& o = *s.overlays;
  FontSlot* f = slot_font(o, slot);
  if (!f) return o.run_font_loaded ? run_font_width(o.run_font, text) : 0;
  int32_t w = 0;
  for (char ch : text) w += glyph(*f, static_cast<uint8_t>(ch)).advance;
  return w;
}

int32_t font_height(System& s, int32_t slot) {
  if (!s.overlays) return 0;
  Overlays& o = *s.overlays;
  FontSlot* f = slot_font(o, slot);
  if (!f) return o.run_font_loaded ? o.run_font.height : 0;
  return static_cast<int32_t>((f->face->size->metrics.height + 63) >> 6);
}

namespace {

void draw_text_locked(Overlays& o, platform::Surface& surface, uint8_t* pixels,
                      std::string_view text, int32_t x, int32_t y, int32_t slot, int32_t colour) {
  FontSlot* f = slot_font(o, slot);
  if (!f) {
    if (o.run_font_loaded) run_font_draw(o.run_font, surface, pixels, text, x, y, colour);
    return;
  }
  const int64_t baseline = int64_t(y) + f->ascent;
  int64_t pen = x;
  for (char ch : text) {
    const Glyph& g = glyph(*f, static_cast<uint8_t>(ch));
    // Characters wholly off the surface still move the pen.
    const int64_t left = pen + g.left;
    if (left < surface.width && left + g.width > 0)
      for (int32_t row = 0; row < g.height; ++row)
        for (int32_t col = 0; col < g.width; ++col)
          blend_pixel(surface, pixels, left + col, baseline - g.top + row, colour,
                      g.coverage[size_t(row) * g.width + col]);
    pen += g.advance;
    if (pen > surface.width) break;
  }
}

}  // namespace

void text_draw(System& s, platform::Surface& surface, std::string_view text, int32_t x, int32_t y,
               int32_t slot, int32_t colour) {
  if (!s.overlays) return;
  uint8_t* pixels = platform::surface_lock(surface);
  if (!pixels) return;
  draw_text_locked(*s.overlays, surface, pixels, text, x, y, slot, colour);
  platform::surface_unlock(surface);
}

void debug_value_draw(System& s, platform::Surface& surface) {
  if (!s.run || !s.run->debug_shown || !s.overlays) return;
  const std::string text = std::to_string(s.run->debug_value);
  uint8_t* pixels = platform::surface_lock(surface);
  if (!pixels) return;
  // Black under white, so that it reads on any picture.
  draw_text_locked(*s.overlays, surface, pixels, text, 3, 3, 0, 0x000000);
  draw_text_locked(*s.overlays, surface, pixels, text, 2, 2, 0, 0xFFFFFF);
  platform::surface_unlock(surface);
}

// ---- The text overlay list ----

void text_list_clear(System& s) {
  if (s.overlays) s.overlays->text.clear();
}

void text_list_draw(System& s, platform::Surface& surface) {
  if (!s.overlays || s.overlays->text.empty()) return;
  Overlays& o = *s.overlays;
  uint8_t* pixels = platform::surface_lock(surface);
  if (!pixels) return;
  int32_t x = 0, y = 0, colour = o.text_colour;
  for (const TextCommand& c : o.text) {
    switch (c.op) {
      case TextOp::Position:
        x = c.a, y = c.b;
        break;
      case TextOp::Colour:
        colour = c.a;
        break;
      case TextOp::Text:
        draw_text_locked(o, surface, pixels, c.text, x, y, c.a, colour);
        break;
      case TextOp::Number: {
        char digits[64];
        const int32_t decimals = std::clamp(c.b, 0, 9);
        std::snprintf(digits, sizeof digits, "%.*f", decimals, c.a / std::pow(10.0, decimals));
        draw_text_locked(o, surface, pixels, digits, x, y, c.c, colour);
        break;
      }
    }
  }
  platform::surface_unlock(surface);
}

namespace {

// Appends a colour, a position and one drawing command, or nothing when the list is full.
void append(Overlays& o, int32_t x, int32_t y, TextCommand cmd) {
  o.print_x = x, o.print_y = y;
  if (static_cast<int32_t>(o.text.size()) + 3 > kTextCommands) return;
  o.text.push_back({TextOp::Colour, o.text_colour, 0, 0, {}});
  o.text.push_back({TextOp::Position, x, y, 0, {}});
  o.text.push_back(std::move(cmd));
}

}  // namespace

void screen_print(System& s, std::string_view text, bool new_line) {
  if (!s.overlays) return;
  Overlays& o = *s.overlays;
  const int32_t x = o.print_x, y = o.print_y;
  if (!text.empty()) append(o, x, y, {TextOp::Text, o.print_slot, 0, 0, std::string(text)});
  o.print_x = x + text_width(s, text, o.print_slot);
  o.print_y = y;
  if (new_line) {
    o.print_x = 0;
    o.print_y = y + font_height(s, o.print_slot);
  }
}

void screen_print_install(System& s) {
  if (!s.core) return;
  System* sys = &s;
  s.core->screen_print = [sys](std::string_view text, bool new_line) {
    screen_print(*sys, text, new_line);
  };
}

void screen_print_remove(System& s) {
  if (s.core) s.core->screen_print = nullptr;
}

// ---- Keywords ----

void font_set(System& s, int32_t name, int32_t height, int32_t weight, int32_t slot) {
  font_create(s, text_argument(s, name), height, weight, slot);
}

void color_set(System& s, int32_t r, int32_t g, int32_t b) {
  if (s.overlays) s.overlays->text_colour = (r & 255) | (g & 255) << 8 | (b & 255) << 16;
}

void print_num(System& s, int32_t value, int32_t decimals, int32_t slot, int32_t x, int32_t y) {
  if (!s.overlays) return;
  s.overlays->print_slot = clamp_slot(slot);
  append(*s.overlays, x, y, {TextOp::Number, value, decimals, clamp_slot(slot), {}});
}

void print(System& s, int32_t text, int32_t x, int32_t y, int32_t slot) {
  if (!s.overlays) return;
  s.overlays->print_slot = clamp_slot(slot);
  append(*s.overlays, x, y,
         {TextOp::Text, clamp_slot(slot), 0, 0, std::string(text_argument(s, text))});
}

}  // namespace korva
