// The arc-tangent table lookup of directions in the x-z plane.
#include "engine/directions.h"

#include <cstdlib>
#include <cstring>

#include "core/core.h"
#include "engine/math_tables.h"
#include "model/instance_record.h"

namespace korva {
namespace {

int32_t atan_entry(const Core& c, int32_t k) {
  int32_t v = 0;
  std::memcpy(&v, c.pool(Pool::Atan) + 4 * k, 4);
  return v;
}

}  // namespace

int32_t eighth_degrees(const Core& c, int64_t ratio) {
  if (ratio >= kSteepRatio) return kRightAngleEighths;
  int32_t lo = 0, hi = kAtanEntries - 1;
  for (;;) {
    const int32_t mid = (lo + hi) / 2;
    if (mid == lo) return mid;
    const int32_t entry = atan_entry(c, mid);
    if (ratio > entry) {
      lo = mid;
    } else if (ratio < entry) {
      hi = mid;
    } else {
      return mid;
    }
  }
}

int32_t direction_of(const Core& c, int64_t x, int64_t z, int64_t ratio) {
  int32_t a8 = x == 0 ? kRightAngleEighths : eighth_degrees(c, ratio);
  if (x < 0 && z < 0) {
    a8 += 2 * kRightAngleEighths;
  } else if (z < 0) {
    a8 = 4 * kRightAngleEighths - a8;
  } else if (x < 0) {
    a8 = 2 * kRightAngleEighths - a8;
  }
  return (a8 - kRightAngleEighths) * kUnitsPerEighth;
}

int32_t direction_xz_between(const Core& c, const uint8_t* from, const uint8_t* to) {
  const int64_t dx = (int64_t(ir_get(to, ir::kPosX)) - ir_get(from, ir::kPosX)) >> 9;
  const int64_t dz = int64_t(ir_get(to, ir::kPosZ)) - ir_get(from, ir::kPosZ);
  return direction_of(c, dx, dz, dx == 0 ? 0 : std::abs(dz * 2 / dx));
}

}  // namespace korva
