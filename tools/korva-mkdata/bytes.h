// Little-endian byte writers shared by the generators.
#pragma once
#include <cstdint>
#include <string_view>

#include "mkdata.h"

namespace korva::mkdata {

inline void put_u8(Bytes& b, uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
inline void put_u16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put_u32(Bytes& b, uint32_t v) {
  for (int32_t i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put_i32(Bytes& b, int32_t v) { put_u32(b, static_cast<uint32_t>(v)); }
inline void put_f32(Bytes& b, float f) {
  uint32_t v;
  static_assert(sizeof v == sizeof f);
  __builtin_memcpy(&v, &f, sizeof v);
  put_u32(b, v);
}
inline void put_text(Bytes& b, std::string_view s) {
  for (char ch : s) b.push_back(static_cast<uint8_t>(ch));  // (a range insert trips a false g++ 12 warning)
}
inline void set_u32(Bytes& b, size_t at, uint32_t v) {
  for (int32_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t get_u16(const Bytes& b, size_t at) { return b[at] | (uint32_t(b[at + 1]) << 8); }
inline uint32_t get_u32(const Bytes& b, size_t at) {
  return b[at] | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

}  // namespace korva::mkdata
