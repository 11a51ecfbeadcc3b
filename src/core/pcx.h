// The PCX reader: 8-bit run-length-encoded images with a 256-colour palette at the end of the
// file, decoded into a caller's buffer. Used by the panel GUI (skins, pictures) and by the 2D
// overlays (sprite, frame and counter images). Files are untrusted: every read is bounded, and
// a file that cannot be decoded whole into the buffer loads as a single pixel of index 0.
#pragma once
#include <cstdint>
#include <string_view>

namespace korva {

struct Core;

// What follows the width x height pixels in the buffer: nothing, with the pixels remapped to
// the GUI palette (Remap); the 256-entry colour table of 16-bit words (WithColourTable); or the
// file's 768-byte palette (WithPalette).
enum class PcxMode : int32_t { Remap = 0, WithColourTable = 1, WithPalette = 2 };

// Bit positions of red, green and blue in the colour table's 16-bit words: 565 by default; a
// red shift of 10 means 555.
struct PcxColourFormat {
  int32_t red_shift = 11;
  int32_t green_shift = 5;
  int32_t blue_shift = 0;
};

struct PcxImage {
  int32_t width = 1;
  int32_t height = 1;
};

// The GUI palette's colour-cube index of a colour.
int32_t gui_rgb_index(int32_t r, int32_t g, int32_t b);
// The 768-byte palette that matches the cube rule, used until a skin brings its own: black
// pair 0 and 1, the 7 x 6 x 6 cube (its grey cells hold the middle grey), two whites.
void gui_default_palette(uint8_t* palette);

// Returns width x height (1 for the failure pixel) and sets image's size.
int32_t pcx_decode(const uint8_t* file, int64_t size, uint8_t* buffer, int64_t capacity,
                   PcxMode mode, const PcxColourFormat& format, PcxImage& image);
int32_t pcx_load(Core& c, std::string_view path, uint8_t* buffer, int64_t capacity, PcxMode mode,
                 const PcxColourFormat& format, PcxImage& image);
// The size from the header alone.
int32_t pcx_header_size(Core& c, std::string_view path, PcxImage& image);

}  // namespace korva
