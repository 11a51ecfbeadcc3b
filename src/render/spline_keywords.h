// Spline keywords: 50 slots, each one of the scene's spare animation objects with a frame of
// its own under the main scene. Keys are positions in position units at integer times; a slot
// plays as a closed path, linear (mode 1) or a closed Catmull-Rom spline through the keys in
// time order (any other mode). Without a scene (a tool, a brain run on its own) the keywords
// do nothing and return 0.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

constexpr int32_t kSplineSlots = 50;

void spline_key_add(System& s, int32_t slot, int32_t e, int32_t t);
void spline_key_set(System& s, int32_t slot, int32_t t, int32_t x, int32_t y, int32_t z);
void spline_key_remove(System& s, int32_t slot, int32_t t);
void spline(System& s, int32_t slot, int32_t e, int32_t mode, int32_t t);
int32_t spline_pos_x(System& s, int32_t slot, int32_t mode, int32_t t);
int32_t spline_pos_y(System& s, int32_t slot, int32_t mode, int32_t t);
int32_t spline_pos_z(System& s, int32_t slot, int32_t mode, int32_t t);

}  // namespace korva
