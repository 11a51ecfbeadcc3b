// The math tables the engine loads at start: byte and fine sine tables, the arc-tangent table
// and the random bytes. All are computed from their definitions, so they are exact and
// reproducible.
#include <cmath>
#include <numbers>

#include "bytes.h"

namespace korva::mkdata {
namespace {

double degrees_to_radians(double d) { return d * std::numbers::pi / 180.0; }

int32_t clamp_i8(long v) { return v < -128 ? -128 : v > 127 ? 127 : static_cast<int32_t>(v); }

}  // namespace

Bytes make_sinus() {
  Bytes b;
  b.reserve(kSinusBytes);
  for (int32_t row = 0; row < kSinusRows; ++row) {
    const double s = std::sin(degrees_to_radians(row));
    for (int32_t col = 0; col < 256; ++col) {
      put_u8(b, static_cast<uint8_t>(clamp_i8(std::lround(s * (col - 128)))));
    }
  }
  return b;
}

Bytes make_sinusbig() {
  Bytes b;
  b.reserve(kSinusBigEntries * 4);
  for (int32_t k = 0; k < kSinusBigEntries; ++k) {
    put_i32(b, static_cast<int32_t>(std::lround(std::sin(degrees_to_radians(k / 8.0)) * 32768.0)));
  }
  return b;
}

Bytes make_atan() {
  Bytes b;
  b.reserve(kAtanEntries * 4);
  for (int32_t k = 0; k < kAtanEntries; ++k) {
    put_i32(b, static_cast<int32_t>(std::lround(std::tan(degrees_to_radians(k / 8.0)) * 1024.0)));
  }
  return b;
}

Bytes make_random(uint32_t seed) {
  // xorshift32: small, well spread, and the same bytes on every machine.
  uint32_t x = seed ? seed : 1;
  Bytes b;
  b.reserve(kRandomBytes);
  for (int32_t i = 0; i < kRandomBytes; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    put_u8(b, x >> 24);
  }
  return b;
}

}  // namespace korva::mkdata
