// Math tables from their definitions.
#include "engine/math_tables.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "core/core.h"

namespace korva {
namespace {

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

int8_t clamp_i8(long v) { return static_cast<int8_t>(v < -128 ? -128 : v > 127 ? 127 : v); }

void store_words(uint8_t* dest, const int32_t* words, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t w = static_cast<uint32_t>(words[i]);
    dest[4 * i] = static_cast<uint8_t>(w);
    dest[4 * i + 1] = static_cast<uint8_t>(w >> 8);
    dest[4 * i + 2] = static_cast<uint8_t>(w >> 16);
    dest[4 * i + 3] = static_cast<uint8_t>(w >> 24);
  }
}

}  // namespace

void make_byte_sine_table(int8_t* out) {
  for (int32_t row = 0; row < kByteSineRows; ++row) {
    const double s = std::sin(radians(row));
    for (int32_t col = 0; col < 256; ++col) out[row * 256 + col] = clamp_i8(std::lround(s * (col - 128)));
  }
}

void make_fine_sine_table(int32_t* out) {
  for (int32_t k = 0; k < kFineSineEntries; ++k) {
    out[k] = static_cast<int32_t>(std::lround(std::sin(radians(k / 8.0)) * kFineSineOne));
  }
}

void make_atan_table(int32_t* out) {
  for (int32_t k = 0; k < kAtanEntries; ++k) {
    out[k] = static_cast<int32_t>(std::lround(std::tan(radians(k / 8.0)) * 1024.0));
  }
}

void make_random_table(uint8_t* out, uint32_t seed) {
  uint32_t x = seed ? seed : 1;
  for (int32_t i = 0; i < kRandomBytes; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = static_cast<uint8_t>(x >> 24);
  }
}

void fill_math_tables(Core& c) {
  make_byte_sine_table(reinterpret_cast<int8_t*>(c.pool(Pool::Sinus)));
  int32_t fine[kFineSineEntries];
  make_fine_sine_table(fine);
  store_words(c.pool(Pool::SinusBig), fine, kFineSineEntries);
  int32_t atan[kAtanEntries];
  make_atan_table(atan);
  store_words(c.pool(Pool::Atan), atan, kAtanEntries);
  make_random_table(c.pool(Pool::Random));
}

}  // namespace korva
