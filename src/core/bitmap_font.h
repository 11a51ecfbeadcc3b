// Bitmap fonts (".fnt"): coverage cells per character, the layout korva-mkdata writes (see
// docs/file-formats.md). The panel GUI prints "font.fnt" with them and project runs "font8.fnt".
// Files are untrusted: a font whose tables point outside the file is refused whole.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace korva {

struct Core;

struct BitmapFont {
  int32_t first = 32;   // code of the first character
  int32_t count = 0;    // characters in the font
  int32_t height = 16;  // used for the geometry even when no font is loaded
  int32_t ascent = 12;
  std::vector<int32_t> advance;   // width of each character's cells
  std::vector<uint32_t> offset;   // start of each character's cells in `cells`
  std::vector<uint8_t> cells;     // coverage 0..255, rows of `advance` cells
};

// False (font unchanged) for anything that is not a whole, consistent font.
bool bitmap_font_parse(BitmapFont& font, const uint8_t* data, int64_t size);
bool bitmap_font_load(Core& c, BitmapFont& font, std::string_view path);

}  // namespace korva
