// The integer rotation rule.
#include "engine/rotation.h"

#include <cstring>

#include "core/core.h"

namespace korva {

SinCos fine_sin_cos(const Core& c, int32_t angle) {
  // A normalised angle selects entry a >> 6 (at most 2879); its cosine lies 720 entries on.
  const int32_t k = normalise_angle(angle) >> 6;
  const uint8_t* table = c.pool(Pool::SinusBig);
  SinCos r;
  std::memcpy(&r.s, table + 4 * k, 4);
  std::memcpy(&r.c, table + 4 * (k + 720), 4);
  return r;
}

void rotate_about_x(const Core& c, IVec3& v, int32_t angle) {
  if (normalise_angle(angle) < kMinRotatedAngle) return;
  const SinCos t = fine_sin_cos(c, angle);
  const int32_t y = mul_shift15(v.y, t.c) - mul_shift15(v.z, t.s);
  const int32_t z = mul_shift15(v.y, t.s) + mul_shift15(v.z, t.c);
  v.y = y;
  v.z = z;
}

void rotate_about_y(const Core& c, IVec3& v, int32_t angle) {
  if (normalise_angle(angle) < kMinRotatedAngle) return;
  const SinCos t = fine_sin_cos(c, angle);
  const int32_t x = mul_shift15(v.x, t.c) - mul_shift15(v.z, t.s);
  const int32_t z = mul_shift15(v.x, t.s) + mul_shift15(v.z, t.c);
  v.x = x;
  v.z = z;
}

void rotate_about_z(const Core& c, IVec3& v, int32_t angle) {
  if (normalise_angle(angle) < kMinRotatedAngle) return;
  const SinCos t = fine_sin_cos(c, angle);
  const int32_t x = mul_shift15(v.x, t.c) - mul_shift15(v.y, t.s);
  const int32_t y = mul_shift15(v.x, t.s) + mul_shift15(v.y, t.c);
  v.x = x;
  v.y = y;
}

IVec3 forward_vector(const Core& c, int32_t rx, int32_t ry, int32_t rz, int32_t t) {
  IVec3 v{0, 0, t};
  rotate_about_x(c, v, rx);
  rotate_about_z(c, v, rz);
  rotate_about_y(c, v, ry);
  return v;
}

IVec3 to_local(const Core& c, IVec3 v, int32_t rx, int32_t ry, int32_t rz) {
  // Negating before normalising turns each forward step into its inverse.
  rotate_about_y(c, v, negate_angle(ry));
  rotate_about_z(c, v, negate_angle(rz));
  rotate_about_x(c, v, negate_angle(rx));
  return v;
}

}  // namespace korva
