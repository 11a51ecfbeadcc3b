// Element relation keywords. Position differences are formed in 64 bits, so elements far apart
// on a 32-bit axis still get a true direction and distance; results that do not fit 32 bits
// saturate. Directions come from the arc-tangent table by binary search, never from the C
// library, so every machine turns elements the same way.
#include "runtime/relation_keywords.h"

#include "engine/keyword_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "brain/machine.h"
#include "core/core.h"
#include "engine/collision.h"
#include "engine/directions.h"
#include "engine/element_access.h"
#include "engine/math_tables.h"
#include "engine/rotation.h"
#include "model/model.h"
#include "runtime/value_keywords.h"

namespace korva {
namespace {

constexpr int32_t kTangentScale = 1024;      // the table holds tan(k/8 degree) x 1024
constexpr int32_t kStateBytes = 48;          // position, rotation, velocity, spin: twelve words

int32_t last_index(const System& s) {
  const int32_t last = s.model ? s.model->last_index : kInstanceRecords - 1;
  return last < kInstanceRecords ? last : kInstanceRecords - 1;
}

// The record of element handle e, or nullptr when e is not an element of the table.
uint8_t* element_at(const System& s, int32_t e) {
  const int32_t i = element_index_of(e);
  if (i < 0 || i > last_index(s)) return nullptr;
  return instance_at(s, e);
}

int32_t saturate(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int64_t diff(const uint8_t* from, const uint8_t* to, int32_t offset) {
  return static_cast<int64_t>(word(to, offset)) - word(from, offset);
}

// round(sqrt(v)), exact for every 64-bit square sum the keywords form.
int64_t rounded_root(uint64_t v) {
  uint64_t r = 0;
  for (uint64_t bit = uint64_t(1) << 31; bit != 0; bit >>= 1)
    if ((r + bit) * (r + bit) <= v) r += bit;
  // (r + 1/2)^2 = r^2 + r + 1/4: the root rounds up when v passes r^2 + r.
  return static_cast<int64_t>(v - r * r > r ? r + 1 : r);
}

// |z x 1024 / x|, the ratio the table holds (0 when x is 0, where it is not consulted).
int64_t tangent_ratio(int64_t x, int64_t z) {
  return x == 0 ? 0 : std::abs(z * kTangentScale / x);
}

// Distance in position units, millimetre steps, over the given position words.
int32_t distance_over(const uint8_t* a, const uint8_t* b, std::initializer_list<int32_t> axes) {
  uint64_t sum = 0;
  for (int32_t off : axes) {
    const int64_t d = diff(b, a, off) >> 9;
    sum += static_cast<uint64_t>(d * d);
  }
  return saturate(rounded_root(sum) * 512);
}

// The collision pass's integer distance (approximate root, thousandths) in position units;
// pairs too far apart for 32-bit squares saturate.
int32_t integer_distance_between(const uint8_t* a, const uint8_t* b) {
  const uint32_t d = integer_distance(axis_gap(word(a, ir::kPosX), word(b, ir::kPosX)),
                                      axis_gap(word(a, ir::kPosY), word(b, ir::kPosY)),
                                      axis_gap(word(a, ir::kPosZ), word(b, ir::kPosZ)));
  return saturate(int64_t(d) * 512);
}

// Brings an angle into -92160..92159: the signed turn the same direction needs.
int32_t signed_turn(int32_t a) {
  const int32_t n = normalise_angle(a);
  return n >= kHalfTurn ? n - kFullTurn : n;
}

int32_t clamp_turn(int32_t turn, int32_t limit) {
  if (turn > limit) return limit;
  if (turn < -limit) return -limit;
  return turn;
}

// Turns the angle word at offset toward target by at most limit (at once for limit <= 0).
void turn_toward(uint8_t* r, int32_t offset, int32_t target, int32_t limit) {
  const int32_t turn = signed_turn(target - normalise_angle(word(r, offset)));
  add_word(r, offset, limit <= 0 ? turn : clamp_turn(turn, limit));
}

// The signed turn of e's heading (rotation y) toward target's direction; 0 when they stand on
// the same spot of the ground plane.
int32_t heading_turn(const Core& c, const uint8_t* e, const uint8_t* target) {
  if (diff(e, target, ir::kPosX) == 0 && diff(e, target, ir::kPosZ) == 0) return 0;
  const int32_t dir = direction_xz_between(c, e, target);
  return signed_turn(dir - normalise_angle(word(e, ir::kRotY)));
}

bool is_active(const uint8_t* r) { return (word(r, ir::kFlags) & ir::kFlagActive) != 0; }

bool of_class(const uint8_t* r, int32_t mask) { return (word(r, ir::kId) & mask) != 0; }

// Active elements other than self whose id word shares a bit with mask.
bool is_candidate(const System& s, int32_t i, int32_t self, int32_t mask) {
  const uint8_t* r = instance_at(s, element_handle(i));
  return i != self && is_active(r) && of_class(r, mask);
}

bool is_camera(System& s, int32_t index) {
  return s.model != nullptr && element_type(*s.core, index) == kTypeCamera;
}

// Starts e's sound through whatever routine the play_sound keyword is bound to: sound lives
// above this library, and an unbound keyword (tests, tools) simply plays nothing.
void start_sound(System& s, int32_t e) {
  if (s.machine == nullptr) return;
  const int32_t row = keyword_find("play_sound");
  if (row < 0 || s.machine->keywords.routine[row] == nullptr) return;
  Registers regs;
  regs.r[0] = e;
  regs.edi() = s.machine->current_handle;
  s.machine->keywords.routine[row](s, regs);
}

void switch_on(System& s, uint8_t* r, int32_t e) {
  set_word(r, ir::kFlags, word(r, ir::kFlags) | ir::kFlagActive);
  set_word(r, ir::kCurrentAspect, word(r, ir::kFirstAspect));
  start_sound(s, e);
}

// Adds to each velocity word (diffs[k] x strength / d), d the largest |diffs[k]|, so the
// dominant axis gains exactly strength.
void pull(uint8_t* r, const int64_t* diffs, const int32_t* velocities, int n, int32_t strength) {
  int64_t d = 0;
  for (int k = 0; k < n; ++k) d = std::max(d, std::abs(diffs[k]));
  if (d == 0) return;
  // |diff| < 2^32 and |strength| <= 2^31: the product fits 64 bits.
  for (int k = 0; k < n; ++k)
    add_word(r, velocities[k], static_cast<int32_t>(diffs[k] * strength / d));
}

void pull_y(uint8_t* r, int64_t dy, int32_t strength) {
  if (dy > 0) add_word(r, ir::kVelY, strength);
  if (dy < 0) add_word(r, ir::kVelY, wrap_mul(strength, -1));
}

void attract_rotation(System& s, int32_t e, int32_t angle_to, int32_t strength, int32_t rot,
                      int32_t spin) {
  uint8_t* r = element_at(s, e);
  if (!r) return;
  int32_t d = normalise_angle(word(r, rot)) - normalise_angle(angle_to);
  if (d > kHalfTurn || d < -kHalfTurn) d = -d;  // the other way round is shorter
  add_word(r, spin, d < 0 ? strength : wrap_mul(strength, -1));
}

}  // namespace

// ---- Directions and distances ----
// `angle` compares |z x 512 / x| with the table, which holds tangents x 1024: its result is the
// direction of (x, z / 2), as brains written for it expect (direction_xz compares the full ratio).
int32_t angle(System& s, int32_t x, int32_t z) {
  return direction_of(*s.core, x, z, x == 0 ? 0 : std::abs(int64_t(z) * 512 / int64_t(x)));
}

int32_t direction_xz(System& s, int32_t a, int32_t b) {
  const uint8_t* ra = element_at(s, a);
  const uint8_t* rb = element_at(s, b);
  if (!ra || !rb || a == b) return 0;
  return direction_xz_between(*s.core, ra, rb);
}

int32_t distance_xz(System& s, int32_t a, int32_t b) {
  const uint8_t* ra = element_at(s, a);
  const uint8_t* rb = element_at(s, b);
  return ra && rb ? distance_over(ra, rb, {ir::kPosX, ir::kPosZ}) : 0;
}

int32_t distance(System& s, int32_t a, int32_t b) {
  const uint8_t* ra = element_at(s, a);
  const uint8_t* rb = element_at(s, b);
  return ra && rb ? integer_distance_between(ra, rb) : 0;
}

int32_t inside_area_xz(System& s, int32_t e, int32_t x1, int32_t x2, int32_t z1, int32_t z2) {
  const uint8_t* r = element_at(s, e);
  if (!r) return 0;
  const int32_t x = word(r, ir::kPosX), z = word(r, ir::kPosZ);
  return x1 <= x && x <= x2 && z1 <= z && z <= z2 ? -1 : 0;
}

// ---- Finding elements ----
int32_t nearest_element(System& s, int32_t e, int32_t mask) {
  const uint8_t* r = element_at(s, e);
  if (!r) return 0;
  const int32_t self = element_index_of(e);
  int32_t best = -1, best_distance = 0;
  for (int32_t i = 0; i <= last_index(s); ++i) {
    if (!is_candidate(s, i, self, mask)) continue;
    const uint8_t* c = instance_at(s, element_handle(i));
    const int32_t d = integer_distance_between(r, c);
    if (best < 0 || d < best_distance) {  // strictly closer: the earlier one keeps a tie
      best = i;
      best_distance = d;
    }
  }
  return best < 0 ? 0 : element_handle(best);
}

int32_t random_element(System& s, int32_t e, int32_t mask) {
  if (!element_at(s, e)) return 0;
  const int32_t self = element_index_of(e);
  int32_t n = 0;
  for (int32_t i = 0; i <= last_index(s); ++i) n += is_candidate(s, i, self, mask) ? 1 : 0;
  if (n == 0) return 0;
  int32_t k = random_range(*s.core, 1, n);
  for (int32_t i = 0; i <= last_index(s); ++i)
    if (is_candidate(s, i, self, mask) && --k == 0) return element_handle(i);
  return 0;
}

int32_t element_find(System& s, int32_t e, int32_t mask, int32_t n, int32_t mode) {
  if (!element_at(s, e)) return 0;
  if (n <= 0) return e;
  if (mode == 0 || mode > 3 || mode < -3) return 0;
  const int32_t step = mode > 0 ? 1 : -1;
  const int32_t kind = mode * step;  // 1 any, 2 inactive only, 3 active only
  const int32_t last = last_index(s);
  int32_t found = 0;
  // The walk ends on reaching the last element (forwards) or element 0 (backwards), which are
  // therefore never returned.
  for (int32_t i = element_index_of(e) + step; step > 0 ? i < last : i > 0; i += step) {
    const uint8_t* r = instance_at(s, element_handle(i));
    if (!of_class(r, mask)) continue;
    if ((kind == 2 && is_active(r)) || (kind == 3 && !is_active(r))) continue;
    if (++found == n) return element_handle(i);
  }
  return 0;
}

int32_t element(System& s, int32_t n) {
  return n >= 0 && n <= last_index(s) ? element_handle(n) : 0;
}

int32_t on_list(System& s, int32_t first, int32_t count, int32_t step) {
  if (!element_at(s, first)) return 0;
  if (step <= 0 || count <= 0) return first;
  const int64_t start = element_index_of(first);
  for (int64_t k = 0; k < count; ++k) {
    const int64_t i = start + k * step;
    if (i > last_index(s)) break;
    const int32_t h = element_handle(static_cast<int32_t>(i));
    uint8_t* r = instance_at(s, h);
    if (is_active(r)) continue;
    switch_on(s, r, h);
    return h;
  }
  return 0;
}

int32_t on_range(System& s, int32_t first, int32_t last) {
  const int64_t count = (static_cast<int64_t>(last) - first) / kInstanceRecordBytes;
  return on_list(s, first, static_cast<int32_t>(count), 1);  // |count| < 2^22
}

// ---- Placement ----
void join(System& s, int32_t a, int32_t b) {
  const uint8_t* ra = element_at(s, a);
  uint8_t* rb = element_at(s, b);
  if (!ra || !rb) return;
  std::memmove(rb + ir::kPosX, ra + ir::kPosX, kStateBytes);
  if ((word(ra, ir::kFlags) & ir::kFlagExtraRotation) == 0 || is_camera(s, element_index_of(a)))
    return;
  std::memmove(rb + ir::kExtraRotX, ra + ir::kExtraRotX, 12);
  set_word(rb, ir::kFlags, word(rb, ir::kFlags) | ir::kFlagExtraRotation);
}

void join_pos(System& s, int32_t a, int32_t b) {
  const uint8_t* ra = element_at(s, a);
  uint8_t* rb = element_at(s, b);
  if (!ra || !rb) return;
  std::memmove(rb + ir::kPosX, ra + ir::kPosX, 12);
  std::memmove(rb + ir::kVelX, ra + ir::kVelX, 12);
}

void child_pos(System& s, int32_t e, int32_t parent, int32_t x, int32_t y, int32_t z) {
  uint8_t* r = element_at(s, e);
  const uint8_t* p = element_at(s, parent);
  if (!r || !p) return;
  // The offset turns with the parent in the order its forward axis does: x, then z, then y.
  IVec3 v{x, y, z};
  rotate_about_x(*s.core, v, word(p, ir::kRotX));
  rotate_about_z(*s.core, v, word(p, ir::kRotZ));
  rotate_about_y(*s.core, v, word(p, ir::kRotY));
  set_word(r, ir::kPosX, wrap_add(word(p, ir::kPosX), v.x));
  set_word(r, ir::kPosY, wrap_add(word(p, ir::kPosY), v.y));
  set_word(r, ir::kPosZ, wrap_add(word(p, ir::kPosZ), v.z));
}

void child_rot(System& s, int32_t e, int32_t parent, int32_t rx, int32_t ry, int32_t rz) {
  uint8_t* r = element_at(s, e);
  const uint8_t* p = element_at(s, parent);
  if (!r || !p) return;
  set_word(r, ir::kRotX, wrap_add(word(p, ir::kRotX), rx));
  set_word(r, ir::kRotY, wrap_add(word(p, ir::kRotY), ry));
  set_word(r, ir::kRotZ, wrap_add(word(p, ir::kRotZ), rz));
}

void random_position_xz(System& s, int32_t e, int32_t x1, int32_t x2, int32_t z1, int32_t z2) {
  uint8_t* r = element_at(s, e);
  if (!r) return;
  set_word(r, ir::kPosX, random(s, x1, x2));
  set_word(r, ir::kPosZ, random(s, z1, z2));
}

// ---- Attraction and steering ----
void attract(System& s, int32_t e, int32_t target, int32_t strength) {
  uint8_t* r = element_at(s, e);
  const uint8_t* t = element_at(s, target);
  if (!r || !t) return;
  const int64_t d[] = {diff(r, t, ir::kPosX), diff(r, t, ir::kPosY), diff(r, t, ir::kPosZ)};
  const int32_t v[] = {ir::kVelX, ir::kVelY, ir::kVelZ};
  pull(r, d, v, 3, strength);
}

void attract_xz(System& s, int32_t e, int32_t target, int32_t strength) {
  uint8_t* r = element_at(s, e);
  const uint8_t* t = element_at(s, target);
  if (!r || !t) return;
  const int64_t d[] = {diff(r, t, ir::kPosX), diff(r, t, ir::kPosZ)};
  const int32_t v[] = {ir::kVelX, ir::kVelZ};
  pull(r, d, v, 2, strength);
}

void attract_y(System& s, int32_t e, int32_t target, int32_t strength) {
  uint8_t* r = element_at(s, e);
  const uint8_t* t = element_at(s, target);
  if (r && t) pull_y(r, diff(r, t, ir::kPosY), strength);
}

void attract_point(System& s, int32_t e, int32_t x, int32_t y, int32_t z, int32_t strength) {
  uint8_t* r = element_at(s, e);
  if (!r) return;
  const int64_t d[] = {static_cast<int64_t>(x) - word(r, ir::kPosX),
                       static_cast<int64_t>(y) - word(r, ir::kPosY),
                       static_cast<int64_t>(z) - word(r, ir::kPosZ)};
  const int32_t v[] = {ir::kVelX, ir::kVelY, ir::kVelZ};
  pull(r, d, v, 3, strength);
}

void attract_xr(System& s, int32_t e, int32_t angle_to, int32_t strength) {
  attract_rotation(s, e, angle_to, strength, ir::kRotX, ir::kSpinX);
}
void attract_yr(System& s, int32_t e, int32_t angle_to, int32_t strength) {
  attract_rotation(s, e, angle_to, strength, ir::kRotY, ir::kSpinY);
}
void attract_zr(System& s, int32_t e, int32_t angle_to, int32_t strength) {
  attract_rotation(s, e, angle_to, strength, ir::kRotZ, ir::kSpinZ);
}

void lift(System& s, int32_t e, int32_t y, int32_t strength) {
  if (uint8_t* r = element_at(s, e)) pull_y(r, static_cast<int64_t>(y) - word(r, ir::kPosY), strength);
}

int32_t sight(System& s, int32_t e, int32_t target, int32_t range, int32_t half_angle) {
  const uint8_t* r = element_at(s, e);
  const uint8_t* t = element_at(s, target);
  if (!r || !t || e == target) return 0;
  if (distance_over(r, t, {ir::kPosX, ir::kPosZ}) > range) return 0;
  const int32_t turn = heading_turn(*s.core, r, t);
  return -half_angle <= turn && turn <= half_angle ? -1 : 0;
}

int32_t steer_angle_to(System& s, int32_t e, int32_t target, int32_t limit) {
  const uint8_t* r = element_at(s, e);
  const uint8_t* t = element_at(s, target);
  if (!r || !t || e == target || limit <= 0) return 0;
  return clamp_turn(heading_turn(*s.core, r, t), limit);
}

void steer(System& s, int32_t e, int32_t target, int32_t limit) {
  const int32_t turn = steer_angle_to(s, e, target, limit);
  if (uint8_t* r = element_at(s, e)) add_word(r, ir::kRotY, turn);
}

void orient_straight(System& s, int32_t e, int32_t limit_x, int32_t limit_z) {
  uint8_t* r = element_at(s, e);
  if (!r) return;
  if (limit_x > 0) turn_toward(r, ir::kRotX, 0, limit_x);
  if (limit_z > 0) turn_toward(r, ir::kRotZ, 0, limit_z);
}

void orient_forward(System& s, int32_t e, int32_t x, int32_t y, int32_t z, int32_t limit) {
  uint8_t* r = element_at(s, e);
  if (!r || (x == 0 && y == 0 && z == 0)) return;
  // Straight up or down has no heading: the heading is kept.
  if (x != 0 || z != 0) turn_toward(r, ir::kRotY, angle(s, x, z), limit);
  // Pitch: a positive rotation x tips the forward axis down, so rising needs a negative one.
  const uint64_t hx = static_cast<uint64_t>(int64_t(x) * x), hz = static_cast<uint64_t>(int64_t(z) * z);
  const int64_t h = rounded_root(hx + hz);
  const int32_t a8 = h == 0 ? kRightAngleEighths : eighth_degrees(*s.core, tangent_ratio(h, y));
  const int32_t pitch = a8 * kUnitsPerEighth;
  turn_toward(r, ir::kRotX, y > 0 ? -pitch : pitch, limit);
}

int32_t interpolate(System&, int32_t x, int32_t x1, int32_t x2, int32_t y1, int32_t y2) {
  if (x1 == x2) return 0;
  // Differences take 33 bits and their product 65: the quotient is formed in 128 bits and
  // saturates, where a 64-bit product would wrap and a 32-bit quotient would overflow.
  using Wide = __int128;
  const Wide q = Wide(int64_t(x) - x1) * (int64_t(y2) - y1) / (int64_t(x2) - x1);
  const Wide v = q + y1;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void bind_relation_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"angle", keyword_routine<angle>},
      {"direction_xz", keyword_routine<direction_xz>},
      {"distance_xz", keyword_routine<distance_xz>},
      {"distance", keyword_routine<distance>},
      {"inside_area_xz", keyword_routine<inside_area_xz>},
      {"nearest_element", keyword_routine<nearest_element>},
      {"random_element", keyword_routine<random_element>},
      {"element_find", keyword_routine<element_find>},
      {"element", keyword_routine<element>},
      {"on_list", keyword_routine<on_list>},
      {"on_range", keyword_routine<on_range>},
      {"join", keyword_routine<join>},
      {"join_pos", keyword_routine<join_pos>},
      {"child_pos", keyword_routine<child_pos>},
      {"child_rot", keyword_routine<child_rot>},
      {"random_position_xz", keyword_routine<random_position_xz>},
      {"attract", keyword_routine<attract>},
      {"attract_xz", keyword_routine<attract_xz>},
      {"attract_y", keyword_routine<attract_y>},
      {"attract_point", keyword_routine<attract_point>},
      {"attract_xr", keyword_routine<attract_xr>},
      {"attract_yr", keyword_routine<attract_yr>},
      {"attract_zr", keyword_routine<attract_zr>},
      {"lift", keyword_routine<lift>},
      {"sight", keyword_routine<sight>},
      {"steer", keyword_routine<steer>},
      {"steer_angle_to", keyword_routine<steer_angle_to>},
      {"orient_straight", keyword_routine<orient_straight>},
      {"orient_forward", keyword_routine<orient_forward>},
      {"interpolate", keyword_routine<interpolate>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
