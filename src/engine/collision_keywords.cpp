// The collision, rebound, ground and volume keywords. Every handle is checked: a value that is
// not an element of the table makes the keyword do nothing and return 0.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "brain/keyword_binding.h"
#include "core/core.h"
#include "engine/collision.h"
#include "engine/directions.h"
#include "engine/engine.h"
#include "engine/keyword_table.h"
#include "engine/math_tables.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kMatrixSide = 256;

int32_t last_element(const System& s) {
  const int32_t last = s.model ? s.model->last_index : kInstanceRecords - 1;
  return std::min(last, kInstanceRecords - 1);
}

// The index of element handle e, or -1 when it names no element of the table.
int32_t index_of(const System& s, int32_t e) {
  const int32_t i = element_index_of(e);
  return i >= 0 && i <= last_element(s) && s.core ? i : -1;
}

uint8_t* element_at(const System& s, int32_t e) {
  const int32_t i = index_of(s, e);
  return i < 0 ? nullptr : s.core->pool(Pool::Instances) + i * kInstanceRecordBytes;
}

int32_t received(const System& s, int32_t i) {
  return word(s.core->pool(Pool::Instances) + i * kInstanceRecordBytes, ir::kChannelsHit);
}

void flag(System& s, int32_t e, int32_t bit, bool on) {
  uint8_t* r = element_at(s, e);
  if (r) set_word(r, ir::kFlags, on ? word(r, ir::kFlags) | bit : word(r, ir::kFlags) & ~bit);
}

// The angle of (dx, dz) from the arc-tangent table, as rotate_about_y turns x towards z: the
// angle by which (|d|, 0) must turn to point along (dx, dz).
int32_t table_angle(const Core& c, int64_t dx, int64_t dz) {
  int32_t a8 = dx == 0 ? kRightAngleEighths : eighth_degrees(c, std::llabs(dz * 1024 / dx));
  if (dx < 0 && dz < 0) a8 = 2 * kRightAngleEighths + a8;
  else if (dx < 0) a8 = 2 * kRightAngleEighths - a8;
  else if (dz < 0) a8 = 4 * kRightAngleEighths - a8;
  return normalise_angle(a8 * kUnitsPerEighth);
}

}  // namespace

// ---- Collision results ----
int32_t collision(System& s, int32_t e, int32_t mask) {
  const uint8_t* r = element_at(s, e);
  return r ? word(r, ir::kChannelsHit) & mask : 0;
}

int32_t collision_list(System& s, int32_t e, int32_t step, int32_t mask) {
  const int32_t first = index_of(s, e);
  if (first < 0 || step == 0) return 0;
  int32_t bits = 0;
  for (int64_t i = first; i >= 0 && i <= last_element(s); i += step) bits |= received(s, int32_t(i));
  return bits & mask;
}

int32_t collision_range(System& s, int32_t e1, int32_t mask, int32_t e2) {
  const int32_t a = index_of(s, e1), b = index_of(s, e2);
  if (a < 0 || b < 0) return 0;
  int32_t bits = 0;
  for (int32_t i = a; i <= b; ++i) bits |= received(s, i);
  return bits & mask;
}

int32_t collision_color(System& s, int32_t c) {
  // No code has colour 0, and every pair that did not collide has hit colour 0: asking for 0
  // would otherwise answer -1 whenever any pair missed.
  if (!s.collisions || c == 0) return 0;
  for (const CollisionPair& p : s.collisions->pairs)
    if (p.hit == uint32_t(c)) return -1;
  return 0;
}

int32_t collision_map(System& s, int32_t a, int32_t b) {
  const int32_t i = index_of(s, a), j = index_of(s, b);
  if (i < 0 || j < 0) return 0;
  return s.core->pool(Pool::ProjectTable)[std::min(i, j) * kMatrixSide + std::max(i, j)];
}

void collision_map_set(System& s, int32_t a, int32_t b, int32_t code) {
  const int32_t i = index_of(s, a), j = index_of(s, b);
  if (i < 0 || j < 0 || i == j) return;
  s.core->pool(Pool::ProjectTable)[std::min(i, j) * kMatrixSide + std::max(i, j)] = uint8_t(code);
  if (s.collisions) collision_pairs_build(s);
}

void collision_check(System& s, int32_t a, int32_t b) {
  const int32_t i = index_of(s, a), j = index_of(s, b);
  if (i < 0 || j < 0 || i == j || !s.collisions || !elements_collide(s, i, j)) return;
  uint8_t* ra = element_at(s, a);
  uint8_t* rb = element_at(s, b);
  set_word(ra, ir::kChannelsHit, word(ra, ir::kChannelsHit) | word(rb, ir::kId));
  set_word(rb, ir::kChannelsHit, word(rb, ir::kChannelsHit) | word(ra, ir::kId));
}

void collisions_on(System& s, int32_t e) { flag(s, e, ir::kFlagCollisions, true); }
void collisions_off(System& s, int32_t e) { flag(s, e, ir::kFlagCollisions, false); }
void box_collisions_on(System& s, int32_t e) { flag(s, e, ir::kFlagBoxCollisions, true); }
void box_collisions_off(System& s, int32_t e) { flag(s, e, ir::kFlagBoxCollisions, false); }

// ---- Rebounds ----
void rebound(System& s, int32_t a, int32_t b) {
  uint8_t* ra = element_at(s, a);
  uint8_t* rb = element_at(s, b);
  if (!ra || !rb || ra == rb) return;
  const Core& c = *s.core;
  const int64_t dx = (int64_t(word(rb, ir::kPosX)) - word(ra, ir::kPosX)) >> 9;
  const int64_t dz = (int64_t(word(rb, ir::kPosZ)) - word(ra, ir::kPosZ)) >> 9;
  const int32_t theta = table_angle(c, dx, dz);
  Turned va = turn_about_y(c, word(ra, ir::kVelX), word(ra, ir::kVelZ), negate_angle(theta));
  Turned vb = turn_about_y(c, word(rb, ir::kVelX), word(rb, ir::kVelZ), negate_angle(theta));
  std::swap(va.x, vb.x);
  va = turn_about_y(c, va.x, va.z, theta);
  vb = turn_about_y(c, vb.x, vb.z, theta);
  set_word(ra, ir::kVelX, saturate32(va.x));
  set_word(ra, ir::kVelZ, saturate32(va.z));
  set_word(rb, ir::kVelX, saturate32(vb.x));
  set_word(rb, ir::kVelZ, saturate32(vb.z));
}

// The change is added to the spin e already has, so that successive glancing contacts
// accumulate as they would on a real body.
void rebound_yr(System& s, int32_t e, int32_t other) {
  uint8_t* r = element_at(s, e);
  const uint8_t* o = element_at(s, other);
  if (!r || !o || r == o || !s.collisions || s.collisions->rebound_yr_factor == 0) return;
  const Core& c = *s.core;
  const int32_t turn = negate_angle(normalise_angle(word(r, ir::kRotY)));
  const Turned rel = turn_about_y(c, int64_t(word(o, ir::kPosX)) - word(r, ir::kPosX),
                                  int64_t(word(o, ir::kPosZ)) - word(r, ir::kPosZ), turn);
  const Turned dv = turn_about_y(c, int64_t(word(o, ir::kVelX)) - word(r, ir::kVelX),
                                 int64_t(word(o, ir::kVelZ)) - word(r, ir::kVelZ), turn);
  const double speed = std::sqrt(double(dv.x) * double(dv.x) + double(dv.z) * double(dv.z));
  const int64_t change = std::llround(speed) / s.collisions->rebound_yr_factor;
  const bool negative = ((rel.z >> 9) < 0) != ((dv.x >> 9) < 0) && (rel.z >> 9) != 0 && (dv.x >> 9) != 0;
  add_word(r, ir::kSpinY, saturate32(negative ? change : -change));
}

void rebound_yr_factor(System& s, int32_t f) {
  if (s.collisions) s.collisions->rebound_yr_factor = f;
}

void bind_collision_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"collision", keyword_routine<collision>},
      {"collision_list", keyword_routine<collision_list>},
      {"collision_range", keyword_routine<collision_range>},
      {"collision_color", keyword_routine<collision_color>},
      {"collision_map", keyword_routine<collision_map>},
      {"collision_map_set", keyword_routine<collision_map_set>},
      {"collision_check", keyword_routine<collision_check>},
      {"collisions_on", keyword_routine<collisions_on>},
      {"collisions_off", keyword_routine<collisions_off>},
      {"box_collisions_on", keyword_routine<box_collisions_on>},
      {"box_collisions_off", keyword_routine<box_collisions_off>},
      {"rebound", keyword_routine<rebound>},
      {"rebound_yr", keyword_routine<rebound_yr>},
      {"rebound_yr_factor", keyword_routine<rebound_yr_factor>},
      {"ground_set", keyword_routine<ground_set>},
      {"ground_level", keyword_routine<ground_level>},
      {"above_ground_level", keyword_routine<above_ground_level>},
      {"over_ground", keyword_routine<over_ground>},
      {"ground_color", keyword_routine<ground_color>},
      {"ground_slope", keyword_routine<ground_slope>},
      {"over_ground_slope", keyword_routine<over_ground_slope>},
      {"over_ground_g", keyword_routine<over_ground_g>},
      {"ground_color_rebound", keyword_routine<ground_color_rebound>},
      {"volume_set", keyword_routine<volume_set>},
      {"inside_volume", keyword_routine<inside_volume>},
      {"volume_slide", keyword_routine<volume_slide>},
      {"volume_rebound", keyword_routine<volume_rebound>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
