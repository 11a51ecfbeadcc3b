// The GUI palette and 8-bit images: the colour-cube rule, PCX writing, and a decoder that
// follows the engine's reading rules so that what we write is checked the way it is read.
#include <algorithm>

#include "bytes.h"
#include "core/pcx.h"

namespace korva::mkdata {

int32_t gui_rgb_index(int32_t r, int32_t g, int32_t b) {
  const int32_t s = r + g + b;
  if (r < 16 && r + g < 32 && s < 48) return s > 23 ? 1 : 0;
  if (r <= 240 || r + g <= 480 || s <= 720) return 36 * (r * 7 / 256) + 6 * (g * 6 / 256) + (b * 6 / 256) + 2;
  return s < 745 ? 254 : 255;
}

namespace {

// First value of a channel that falls into cell i of a cube axis with n cells.
int32_t cell_low(int32_t i, int32_t n) { return (256 * i + n - 1) / n; }
int32_t cell_high(int32_t i, int32_t n) { return cell_low(i + 1, n) - 1; }

Palette build_palette() {
  Palette p{};
  p[0] = {0, 0, 0};
  p[1] = {10, 10, 10};
  for (int32_t ri = 0; ri < 7; ++ri) {
    for (int32_t gi = 0; gi < 6; ++gi) {
      for (int32_t bi = 0; bi < 6; ++bi) {
        const int32_t lo = std::max({cell_low(ri, 7), cell_low(gi, 6), cell_low(bi, 6)});
        const int32_t hi = std::min({cell_high(ri, 7), cell_high(gi, 6), cell_high(bi, 6)});
        Rgb c;
        if (lo <= hi) {
          // The cell holds true greys: take the middle one, so the palette has a clean grey ramp.
          const auto v = static_cast<uint8_t>((lo + hi + 1) / 2);
          c = {v, v, v};
        } else {
          // Otherwise the evenly spread level of each channel (always inside its cell).
          c = {static_cast<uint8_t>((ri * 255 + 3) / 6), static_cast<uint8_t>(gi * 51),
               static_cast<uint8_t>(bi * 51)};
        }
        p[cube(ri, gi, bi)] = c;
      }
    }
  }
  p[254] = {244, 242, 240};
  p[255] = {255, 255, 255};
  return p;
}

}  // namespace

const Palette& gui_palette() {
  static const Palette palette = build_palette();
  return palette;
}

void Image8::fill(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t c) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width - 1);
  y2 = std::min(y2, height - 1);
  for (int32_t y = y1; y <= y2; ++y) {
    for (int32_t x = x1; x <= x2; ++x) at(x, y) = c;
  }
}

void ImageRgb::blend(int32_t x, int32_t y, Rgb c, int32_t alpha) {
  if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
  alpha = std::min(alpha, 255);
  Rgb& d = at(x, y);
  auto mix = [alpha](uint8_t a, uint8_t b) {
    return static_cast<uint8_t>((a * (255 - alpha) + b * alpha + 127) / 255);
  };
  d = {mix(d.r, c.r), mix(d.g, c.g), mix(d.b, c.b)};
}

Bytes pcx_encode(const Image8& image, const Palette& palette) {
  const int32_t line_bytes = (image.width + 1) & ~1;  // PCX lines hold an even number of bytes
  Bytes b(128, 0);
  b[0] = 10;  // ZSoft
  b[1] = 5;   // version 3.0 with a 256-colour palette
  b[2] = 1;   // run-length encoded
  b[3] = 8;   // bits per pixel
  auto set16 = [&b](size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  set16(8, static_cast<uint32_t>(image.width - 1));
  set16(10, static_cast<uint32_t>(image.height - 1));
  set16(12, 72);
  set16(14, 72);
  b[65] = 1;  // one plane
  set16(66, static_cast<uint32_t>(line_bytes));
  set16(68, 1);  // colour palette
  std::vector<uint8_t> line(line_bytes);
  for (int32_t y = 0; y < image.height; ++y) {
    std::fill(line.begin(), line.end(), 0);
    std::copy_n(image.pixels.begin() + size_t(y) * image.width, image.width, line.begin());
    for (int32_t x = 0; x < line_bytes;) {
      int32_t run = 1;
      while (x + run < line_bytes && run < 63 && line[x + run] == line[x]) ++run;
      if (run > 1 || line[x] >= 192) put_u8(b, 192 + run);
      put_u8(b, line[x]);
      x += run;
    }
  }
  put_u8(b, 12);  // palette marker
  for (const Rgb& c : palette) {
    put_u8(b, c.r);
    put_u8(b, c.g);
    put_u8(b, c.b);
  }
  return b;
}

bool pcx_decode(const Bytes& file, Image8& out, Palette* palette) {
  // The header checks the engine's reader folds into its one-pixel failure picture.
  if (file.size() < 128 + 768 || file[0] != 10) return false;
  const int32_t width = static_cast<int16_t>(get_u16(file, 8)) - static_cast<int16_t>(get_u16(file, 4)) + 1;
  const int32_t height = static_cast<int16_t>(get_u16(file, 10)) - static_cast<int16_t>(get_u16(file, 6)) + 1;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
  // Decoded by the engine's own reader, so what is checked here is what korva will see.
  Image8 image(width, height);
  std::vector<uint8_t> buffer(image.pixels.size() + 768);
  PcxImage size;
  pcx_decode(file.data(), static_cast<int64_t>(file.size()), buffer.data(),
             static_cast<int64_t>(buffer.size()), PcxMode::WithPalette, PcxColourFormat{}, size);
  if (size.width != width || size.height != height) return false;
  std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(image.pixels.size()), image.pixels.begin());
  if (palette) {
    const uint8_t* p = buffer.data() + image.pixels.size();
    for (int32_t i = 0; i < 256; ++i) (*palette)[i] = {p[3 * i], p[3 * i + 1], p[3 * i + 2]};
  }
  out = std::move(image);
  return true;
}

ImageRgb to_rgb(const Image8& image, const Palette& palette) {
  ImageRgb rgb(image.width, image.height);
  for (size_t i = 0; i < image.pixels.size(); ++i) rgb.pixels[i] = palette[image.pixels[i]];
  return rgb;
}

}  // namespace korva::mkdata
