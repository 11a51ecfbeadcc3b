// The text printer of the panel screen: a bitmap font of coverage cells (".fnt"), printed in the
// current colour with its soft edges blended through the palette, and the word wrap of the
// modal boxes.
#include <cstring>
#include <vector>

#include "core/core.h"
#include "editors/gui.h"

namespace korva {
namespace {

// The font slot of a character, or -1 when the font has none.
int32_t glyph_of(const GuiFont& f, uint8_t ch) {
  const int32_t i = int32_t(ch) - f.first;
  return i >= 0 && i < f.count ? i : -1;
}

// Ink of coverage v (1..255) over the pixel: full ink from 224, nothing below 40, and in
// between the palette colour nearest to the mix of the two colours.
void blend(Gui& g, uint8_t& p, int32_t v) {
  const int32_t colour = g.colour;
  if (colour < 0) {
    if (v >= 128) p = static_cast<uint8_t>(p ^ ((-colour) & 0xFF));
    return;
  }
  if (v >= 224) {
    p = static_cast<uint8_t>(colour);
    return;
  }
  if (v < 40) return;
  const uint8_t* a = g.palette + 3 * p;
  const uint8_t* b = g.palette + 3 * (colour & 0xFF);
  auto mix = [v](int32_t x, int32_t y) { return (x * (255 - v) + y * v + 127) / 255; };
  p = static_cast<uint8_t>(gui_rgb_index(mix(a[0], b[0]), mix(a[1], b[1]), mix(a[2], b[2])));
}

}  // namespace

bool gui_set_font(Gui& g, const uint8_t* data, int64_t size) {
  return bitmap_font_parse(g.font, data, size);
}

bool gui_load_font(Gui& g, std::string_view path) { return bitmap_font_load(*g.core, g.font, path); }

int32_t gui_font_height(const Gui& g) { return g.font.height; }

int32_t gui_text_width(const Gui& g, std::string_view text) {
  int32_t w = 0;
  for (char ch : text) {
    const int32_t i = glyph_of(g.font, static_cast<uint8_t>(ch));
    if (i >= 0) w += g.font.advance[i];
  }
  return w;
}

void gui_print(Gui& g, std::string_view text, int32_t x, int32_t y) {
  const GuiFont& f = g.font;
  for (char ch : text) {
    const int32_t i = glyph_of(f, static_cast<uint8_t>(ch));
    if (i < 0) continue;
    const int32_t w = f.advance[i];
    const uint8_t* cell = f.cells.data() + f.offset[i];
    for (int32_t row = 0; row < f.height; ++row) {
      const int32_t sy = y + row;
      if (sy < 0 || sy >= kGuiHeight) continue;
      for (int32_t col = 0; col < w; ++col) {
        const int32_t sx = x + col;
        const uint8_t v = cell[row * w + col];
        if (v == 0 || sx < 0 || sx >= kGuiWidth) continue;
        blend(g, g.pixels[sy * kGuiWidth + sx], v);
      }
    }
    x += w;
  }
}

std::string gui_wrap_text(const Gui& g, std::string_view text) {
  std::string result;
  std::string line;  // the current line as measured
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    const bool had_words = !line.empty();
    line.append(word).push_back(' ');
    const size_t bar = word.rfind('|');
    if (bar != std::string_view::npos) {
      // The word's own break starts a fresh line after it.
      line.assign(word.substr(bar + 1)).push_back(' ');
    } else if (gui_text_width(g, line) > kGuiWrapWidth && had_words) {
      // A word alone on its line is never broken off, however wide.
      result.push_back('|');
      line.assign(word).push_back(' ');
    }
    result.append(word).push_back(' ');
    start = end + 1;
  }
  return result;
}

}  // namespace korva
