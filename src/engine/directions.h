// Directions in the x-z plane from the arc-tangent table ("atan.bin"): the lookup that the
// relation, track and collision keywords share.
#pragma once
#include <cstdint>

namespace korva {

struct Core;

constexpr int32_t kRightAngleEighths = 720;  // 90 degrees in arc-tangent table steps
constexpr int32_t kUnitsPerEighth = 64;      // angle units per eighth of a degree
constexpr int64_t kSteepRatio = 512000;      // tangent ratios from here on read as 90 degrees

// The angle in eighths of a degree (0..720) whose tangent x 1024 is ratio: a binary search of
// the table that stops on an equal entry or when the interval cannot shrink.
int32_t eighth_degrees(const Core& c, int64_t ratio);
// The direction of (x, z) for a tangent ratio already formed: +z is 0, +x is -46080, and the
// result lies in -46080..138240.
int32_t direction_of(const Core& c, int64_t x, int64_t z, int64_t ratio);
// `direction_xz` from the element record from to the record to: x shifted right by 9, z doubled.
int32_t direction_xz_between(const Core& c, const uint8_t* from, const uint8_t* to);

}  // namespace korva
