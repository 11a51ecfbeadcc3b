// CPU display surfaces in the display formats: 16-bit RGB565 or RGB555, 32-bit XRGB8888.
#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace korva::platform {

bool surface_create(Surface& s, int32_t width, int32_t height, PixelFormat format) {
  // The display modes go up to 1024 x 768; anything far beyond is a caller's mistake.
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
  s.width = width;
  s.height = height;
  s.format = format;
  s.pitch = width * bytes_per_pixel(format);
  s.pixels.assign(static_cast<size_t>(s.pitch) * static_cast<size_t>(height), 0);
  s.lost = false;
  s.locks = 0;
  return true;
}

uint8_t* surface_lock(Surface& s) {
  if (s.lost || s.pixels.empty()) return nullptr;
  ++s.locks;
  return s.pixels.data();
}

void surface_unlock(Surface& s) {
  if (s.locks > 0) --s.locks;
}

uint32_t pack_rgb(PixelFormat f, uint8_t r, uint8_t g, uint8_t b) {
  switch (f) {
    case PixelFormat::Rgb565:
      return (uint32_t(r >> 3) << 11) | (uint32_t(g >> 2) << 5) | uint32_t(b >> 3);
    case PixelFormat::Rgb555:
      return (uint32_t(r >> 3) << 10) | (uint32_t(g >> 3) << 5) | uint32_t(b >> 3);
    case PixelFormat::Xrgb8888:
      return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
  }
  return 0;
}

// Widens a 5- or 6-bit channel to 8 bits so that full intensity stays 255.
static uint8_t widen5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
static uint8_t widen6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

void unpack_rgb(PixelFormat f, uint32_t p, uint8_t& r, uint8_t& g, uint8_t& b) {
  switch (f) {
    case PixelFormat::Rgb565:
      r = widen5((p >> 11) & 31), g = widen6((p >> 5) & 63), b = widen5(p & 31);
      return;
    case PixelFormat::Rgb555:
      r = widen5((p >> 10) & 31), g = widen5((p >> 5) & 31), b = widen5(p & 31);
      return;
    case PixelFormat::Xrgb8888:
      r = uint8_t(p >> 16), g = uint8_t(p >> 8), b = uint8_t(p);
      return;
  }
}

static void store_pixel(uint8_t* at, PixelFormat f, uint32_t pixel) {
  if (f == PixelFormat::Xrgb8888) {
    std::memcpy(at, &pixel, 4);
  } else {
    uint16_t v = static_cast<uint16_t>(pixel);
    std::memcpy(at, &v, 2);
  }
}

uint32_t surface_pixel(const Surface& s, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height || s.pixels.empty()) return 0;
  const uint8_t* at = s.pixels.data() + size_t(y) * size_t(s.pitch) +
                      size_t(x) * size_t(bytes_per_pixel(s.format));
  if (s.format == PixelFormat::Xrgb8888) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
  }
  uint16_t v;
  std::memcpy(&v, at, 2);
  return v;
}

void surface_fill_rect(Surface& s, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel) {
  int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  int32_t x1 = static_cast<int32_t>(std::min<int64_t>(int64_t(x) + w, s.width));
  int32_t y1 = static_cast<int32_t>(std::min<int64_t>(int64_t(y) + h, s.height));
  if (s.pixels.empty() || x0 >= x1 || y0 >= y1) return;
  const int32_t bpp = bytes_per_pixel(s.format);
  for (int32_t row = y0; row < y1; ++row) {
    uint8_t* at = s.pixels.data() + size_t(row) * size_t(s.pitch) + size_t(x0) * size_t(bpp);
    for (int32_t col = x0; col < x1; ++col, at += bpp) store_pixel(at, s.format, pixel);
  }
}

void surface_fill(Surface& s, uint32_t pixel) { surface_fill_rect(s, 0, 0, s.width, s.height, pixel); }

void surface_draw_rgb(Surface& s, const uint8_t* rgb, int32_t width, int32_t height) {
  if (s.pixels.empty() || !rgb || width <= 0 || height <= 0) return;
  const int32_t bpp = bytes_per_pixel(s.format);
  for (int32_t y = 0; y < s.height; ++y) {
    const int64_t sy = int64_t(y) * height / s.height;
    uint8_t* at = s.pixels.data() + size_t(y) * size_t(s.pitch);
    for (int32_t x = 0; x < s.width; ++x, at += bpp) {
      const int64_t sx = int64_t(x) * width / s.width;
      const uint8_t* p = rgb + (sy * width + sx) * 3;
      store_pixel(at, s.format, pack_rgb(s.format, p[0], p[1], p[2]));
    }
  }
}

void surface_to_rgb(const Surface& s, std::vector<uint8_t>& rgb) {
  rgb.resize(size_t(s.width) * size_t(s.height) * 3);
  size_t i = 0;
  for (int32_t y = 0; y < s.height; ++y)
    for (int32_t x = 0; x < s.width; ++x, i += 3)
      unpack_rgb(s.format, surface_pixel(s, x, y), rgb[i], rgb[i + 1], rgb[i + 2]);
}

}  // namespace korva::platform
