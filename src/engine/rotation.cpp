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

void rotate_pair(const Core& c, int32_t& a, int32_t& b, int32_t angle) {
  if (normalise_angle(angle) < kMinRotatedAngle) return;
  const SinCos t = fine_sin_cos(c, angle);
  // Wrapped to 32 bits as the engine's integer rules wrap: coordinates near the ends of the
  // range must not overflow into undefined behaviour.
  const int32_t na = static_cast<int32_t>(int64_t(mul_shift15(a, t.c)) - mul_shift15(b, t.s));
  const int32_t nb = static_cast<int32_t>(int64_t(mul_shift15(a, t.s)) + mul_shift15(b, t.c));
  a = na;
  b = nb;
}

void rotate_about_x(const Core& c, IVec3& v, int32_t angle) { rotate_pair(c, v.y, v.z, angle); }
void rotate_about_y(const Core& c, IVec3& v, int32_t angle) { rotate_pair(c, v.x, v.z, angle); }
void rotate_about_z(const Core& c, IVec3& v, int32_t angle) { rotate_pair(c, v.x, v.y, angle); }

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
