// The PCX reader (see pcx.h).
#include "core/pcx.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "core/core.h"

namespace korva {
namespace {

constexpr int64_t kHeaderBytes = 128;
constexpr int64_t kPaletteBytes = 768;

int32_t word_at(const uint8_t* p) { return p[0] | (p[1] << 8); }

int32_t failed_load(PcxImage& image, uint8_t* buffer, int64_t capacity) {
  if (buffer && capacity >= 1) buffer[0] = 0;
  image = PcxImage{};
  return 1;
}

int64_t extra_bytes(PcxMode mode) {
  switch (mode) {
    case PcxMode::Remap: return 0;
    case PcxMode::WithPalette: return kPaletteBytes;
    default: return 256 * 2;
  }
}

}  // namespace

int32_t gui_rgb_index(int32_t r, int32_t g, int32_t b) {
  const int32_t s = r + g + b;
  if (r < 16 && r + g < 32 && s < 48) return s > 23 ? 1 : 0;
  if (r <= 240 || r + g <= 480 || s <= 720)
    return 36 * (r * 7 / 256) + 6 * (g * 6 / 256) + (b * 6 / 256) + 2;
  return s < 745 ? 254 : 255;
}

int32_t pcx_decode(const uint8_t* file, int64_t size, uint8_t* buffer, int64_t capacity,
                   PcxMode mode, const PcxColourFormat& format, PcxImage& image) {
  if (!file || !buffer || size < kHeaderBytes + kPaletteBytes || file[0] != 10)
    return failed_load(image, buffer, capacity);
  const int32_t width = word_at(file + 8) - word_at(file + 4) + 1;
  const int32_t height = word_at(file + 10) - word_at(file + 6) + 1;
  if (width <= 0 || height <= 0) return failed_load(image, buffer, capacity);
  const int64_t pixels = int64_t(width) * height;
  if (pixels + extra_bytes(mode) > capacity) return failed_load(image, buffer, capacity);

  const uint8_t* palette = file + size - kPaletteBytes;
  const uint8_t* in = file + kHeaderBytes;
  const uint8_t* end = palette;
  std::memset(buffer, 0, static_cast<size_t>(pixels));
  // Each line is stored with an even number of bytes; the pad byte of odd widths is dropped.
  const int32_t line_bytes = (width + 1) & ~1;
  for (int32_t y = 0; y < height && in < end; ++y) {
    uint8_t* row = buffer + int64_t(y) * width;
    int32_t n = 0;
    while (n < line_bytes && in < end) {
      int32_t count = 1;
      uint8_t value = *in++;
      if (value >= 192) {
        count = value - 192;
        if (in >= end) break;
        value = *in++;
      }
      for (; count > 0 && n < line_bytes; --count, ++n)
        if (n < width) row[n] = value;
    }
  }

  if (mode == PcxMode::Remap) {
    uint8_t map[256];
    for (int32_t i = 0; i < 256; ++i)
      map[i] = static_cast<uint8_t>(
          gui_rgb_index(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]));
    for (int64_t i = 0; i < pixels; ++i) buffer[i] = map[buffer[i]];
  } else if (mode == PcxMode::WithPalette) {
    std::memcpy(buffer + pixels, palette, kPaletteBytes);
  } else {
    // The colour table in the display's 16-bit format, little-endian words.
    const int32_t green_div = format.red_shift == 10 ? 8 : 4;
    for (int32_t i = 0; i < 256; ++i) {
      const uint32_t e = (uint32_t(palette[3 * i] / 8) << format.red_shift) |
                         (uint32_t(palette[3 * i + 1] / green_div) << format.green_shift) |
                         (uint32_t(palette[3 * i + 2] / 8) << format.blue_shift);
      buffer[pixels + 2 * i] = static_cast<uint8_t>(e);
      buffer[pixels + 2 * i + 1] = static_cast<uint8_t>(e >> 8);
    }
  }
  image.width = width;
  image.height = height;
  return static_cast<int32_t>(pixels);
}

int32_t pcx_load(Core& c, std::string_view path, uint8_t* buffer, int64_t capacity, PcxMode mode,
                 const PcxColourFormat& format, PcxImage& image) {
  const int64_t size = file_size(c, path);
  // An image larger than the decode buffer cannot be a usable PCX for it; don't read it all.
  if (size < kHeaderBytes + kPaletteBytes || size > (int64_t(64) << 20))
    return failed_load(image, buffer, capacity);
  std::vector<uint8_t> file(static_cast<size_t>(size));
  int64_t got = 0;
  if (read_file(c, path, 0, size, file.data(), &got) != 0 || got != size)
    return failed_load(image, buffer, capacity);
  return pcx_decode(file.data(), size, buffer, capacity, mode, format, image);
}

int32_t pcx_header_size(Core& c, std::string_view path, PcxImage& image) {
  uint8_t header[16] = {};
  int64_t got = 0;
  if (read_file(c, path, 0, 16, header, &got) != 0 || got != 16 || header[0] != 10) {
    image = PcxImage{};
    return 1;
  }
  image.width = word_at(header + 8) - word_at(header + 4) + 1;
  image.height = word_at(header + 10) - word_at(header + 6) + 1;
  const int64_t pixels = int64_t(image.width) * image.height;
  if (image.width <= 0 || image.height <= 0 || pixels > INT32_MAX) {  // no image has that many
    image = PcxImage{};
    return 1;
  }
  return int32_t(pixels);
}

namespace {

// First channel value that falls into cell i of a cube axis with n cells.
int32_t cell_low(int32_t i, int32_t n) { return (256 * i + n - 1) / n; }

}  // namespace

void gui_default_palette(uint8_t* p) {
  std::memset(p, 0, 768);
  p[3] = p[4] = p[5] = 10;
  for (int32_t ri = 0; ri < 7; ++ri)
    for (int32_t gi = 0; gi < 6; ++gi)
      for (int32_t bi = 0; bi < 6; ++bi) {
        const int32_t lo[3] = {cell_low(ri, 7), cell_low(gi, 6), cell_low(bi, 6)};
        const int32_t hi[3] = {cell_low(ri + 1, 7) - 1, cell_low(gi + 1, 6) - 1,
                               cell_low(bi + 1, 6) - 1};
        uint8_t* e = p + 3 * (36 * ri + 6 * gi + bi + 2);
        const int32_t glo = std::max({lo[0], lo[1], lo[2]}), ghi = std::min({hi[0], hi[1], hi[2]});
        for (int32_t k = 0; k < 3; ++k)
          e[k] = static_cast<uint8_t>(glo <= ghi ? (glo + ghi + 1) / 2 : (lo[k] + hi[k] + 1) / 2);
      }
  p[3 * 254] = p[3 * 254 + 1] = p[3 * 254 + 2] = 244;
  p[3 * 255] = p[3 * 255 + 1] = p[3 * 255 + 2] = 255;
}

}  // namespace korva
