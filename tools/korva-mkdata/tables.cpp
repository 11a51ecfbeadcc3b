// The math tables the engine loads at start: byte and fine sine tables and the arc-tangent
// table from the engine's own definitions, and the random bytes from a fixed seed.
#include <vector>

#include "bytes.h"
#include "engine/math_tables.h"

namespace korva::mkdata {
namespace {

// The engine's own table definitions, as little-endian bytes.
template <typename T>
Bytes as_bytes(const std::vector<T>& values) {
  Bytes b;
  b.reserve(values.size() * sizeof(T));
  for (T v : values) {
    if constexpr (sizeof(T) == 1)
      put_u8(b, static_cast<uint8_t>(v));
    else
      put_i32(b, v);
  }
  return b;
}

}  // namespace

Bytes make_sinus() {
  std::vector<int8_t> t(kSinusBytes);
  make_byte_sine_table(t.data());
  return as_bytes(t);
}

Bytes make_sinusbig() {
  std::vector<int32_t> t(kSinusBigEntries);
  make_fine_sine_table(t.data());
  return as_bytes(t);
}

Bytes make_atan() {
  std::vector<int32_t> t(kAtanEntries);
  make_atan_table(t.data());
  return as_bytes(t);
}

Bytes make_random(uint32_t seed) {
  Bytes b(kRandomBytes);
  make_random_table(b.data(), seed);
  return b;
}

}  // namespace korva::mkdata
