// Spline keywords on the scene's spare animation objects. The key values are position units
// held as floats (exact up to about 32 scene units from the origin); the frame position the
// animation leaves is rounded back to integers.
#include "render/spline_keywords.h"

#include <cmath>

#include "engine/element_access.h"
#include "render/scene.h"

namespace korva {
namespace {

rm::Animation* slot_animation(System& s, int32_t slot) {
  if (!s.scene || slot < 0 || slot >= kSplineSlots) return nullptr;
  return s.scene->spares[static_cast<size_t>(slot)].get();
}

int32_t to_position(float v) {
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0f) return INT32_MIN;
  if (v >= 2147483647.0f) return INT32_MAX;
  return static_cast<int32_t>(std::lround(v));
}

void key_set(rm::Animation& a, int32_t t, int32_t x, int32_t y, int32_t z) {
  const auto time = static_cast<float>(t);
  rm::animation_delete_key(a, time);
  rm::animation_add_position_key(a, time, rm::vec3(float(x), float(y), float(z)));
}

// The slot's frame position at time t as a closed path of the mode; false when the slot has
// no keys (nothing moves then).
bool evaluate(System& s, int32_t slot, int32_t mode, int32_t t, int32_t out[3]) {
  rm::Animation* a = slot_animation(s, slot);
  if (!a || a->positions.empty()) return false;
  uint32_t options = rm::kAnimClosed | rm::kAnimPosition;
  if (mode == 1) options |= rm::kAnimLinear;
  rm::animation_set_options(*a, options);
  rm::animation_set_time(*a, static_cast<float>(t));
  rm::vec3 p = a->positions.front().value;
  if (rm::FramePtr f = a->frame.lock()) p = rm::frame_position(*f, s.scene->main.get());
  out[0] = to_position(p.x);
  out[1] = to_position(p.y);
  out[2] = to_position(p.z);
  return true;
}

int32_t axis(System& s, int32_t slot, int32_t mode, int32_t t, int k) {
  int32_t p[3] = {};
  return evaluate(s, slot, mode, t, p) ? p[k] : 0;
}

}  // namespace

void spline_key_add(System& s, int32_t slot, int32_t e, int32_t t) {
  rm::Animation* a = slot_animation(s, slot);
  const uint8_t* r = instance_at(s, e);
  if (!a || !r) return;
  key_set(*a, t, word(r, ir::kPosX), word(r, ir::kPosY), word(r, ir::kPosZ));
}

void spline_key_set(System& s, int32_t slot, int32_t t, int32_t x, int32_t y, int32_t z) {
  if (rm::Animation* a = slot_animation(s, slot)) key_set(*a, t, x, y, z);
}

void spline_key_remove(System& s, int32_t slot, int32_t t) {
  if (rm::Animation* a = slot_animation(s, slot)) rm::animation_delete_key(*a, static_cast<float>(t));
}

void spline(System& s, int32_t slot, int32_t e, int32_t mode, int32_t t) {
  uint8_t* r = instance_at(s, e);
  int32_t p[3] = {};
  if (!r || !evaluate(s, slot, mode, t, p)) return;
  set_word(r, ir::kPosX, p[0]);
  set_word(r, ir::kPosY, p[1]);
  set_word(r, ir::kPosZ, p[2]);
}

int32_t spline_pos_x(System& s, int32_t slot, int32_t mode, int32_t t) { return axis(s, slot, mode, t, 0); }
int32_t spline_pos_y(System& s, int32_t slot, int32_t mode, int32_t t) { return axis(s, slot, mode, t, 1); }
int32_t spline_pos_z(System& s, int32_t slot, int32_t mode, int32_t t) { return axis(s, slot, mode, t, 2); }

}  // namespace korva
