// Angles in 1/512 degree, their normalisation into one turn, sines from the fine table, and the
// integer rotation rule (64-bit products shifted right by 15) that motion, collisions, tracks
// and aiming all share.
#pragma once
#include <cstdint>

namespace korva {

struct Core;

constexpr int32_t kAngleUnitsPerDegree = 512;
constexpr int32_t kFullTurn = 360 * kAngleUnitsPerDegree;  // 184320
// Angles under 1/8 degree (one fine-table step) are treated as zero: the rotation is skipped.
constexpr int32_t kMinRotatedAngle = 64;

// Brings an angle into 0..184319.
constexpr int32_t normalise_angle(int32_t a) {
  if (a >= 0 && a < kFullTurn) return a;
  const int32_t r = a % kFullTurn;  // keeps the sign of a
  return r < 0 ? r + kFullTurn : r;
}
// The same direction turned backwards, as an angle of one turn.
constexpr int32_t negate_angle(int32_t a) { return normalise_angle(-(a % kFullTurn)); }

struct SinCos {
  int32_t s = 0;
  int32_t c = 0;
};
// Sine and cosine (1.0 = 32768) of an angle from the fine table of c.
SinCos fine_sin_cos(const Core& c, int32_t angle);

struct IVec3 {
  int32_t x = 0, y = 0, z = 0;
};

// a * b in 64 bits, shifted right by 15 (one fine-table product).
constexpr int32_t mul_shift15(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 15);
}

// The rotation of a pair: a' = a c - b s, b' = a s + b c (wrapped to 32 bits); an angle under
// kMinRotatedAngle (after normalisation) leaves the pair unchanged.
void rotate_pair(const Core& c, int32_t& a, int32_t& b, int32_t angle);

// Rotation of v by an angle about one axis; an angle under kMinRotatedAngle (after
// normalisation) leaves v unchanged.
void rotate_about_x(const Core& c, IVec3& v, int32_t angle);  // y' = yc - zs, z' = ys + zc
void rotate_about_y(const Core& c, IVec3& v, int32_t angle);  // x' = xc - zs, z' = xs + zc
void rotate_about_z(const Core& c, IVec3& v, int32_t angle);  // x' = xc - ys, y' = xs + yc

// (0, 0, t) rotated about x by rx, then about z by rz, then about y by ry.
IVec3 forward_vector(const Core& c, int32_t rx, int32_t ry, int32_t rz, int32_t t);
// The inverse: v rotated about y by -ry, then about z by -rz, then about x by -rx.
IVec3 to_local(const Core& c, IVec3 v, int32_t rx, int32_t ry, int32_t rz);

}  // namespace korva
