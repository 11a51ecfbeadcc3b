// The motion keywords: integer kinematics on the words of the instance record.
#include "engine/motion.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/core.h"
#include "engine/element_access.h"
#include "engine/rotation.h"
#include "model/run_state.h"

namespace korva {
namespace {

constexpr int32_t kStateEntryBytes = 48;  // position, rotation, velocity, spin: twelve words
constexpr int32_t kPositionUnitsPerSceneUnit = 512000;

int32_t read(System& s, int32_t e, int32_t offset) {
  const uint8_t* r = instance_at(s, e);
  return r ? word(r, offset) : 0;
}
void write(System& s, int32_t e, int32_t offset, int32_t v) {
  if (uint8_t* r = instance_at(s, e)) set_word(r, offset, v);
}
void add(System& s, int32_t e, int32_t offset, int32_t d) {
  if (uint8_t* r = instance_at(s, e)) add_word(r, offset, d);
}
// Copies the three words at offset from one element to another.
void copy3(System& s, int32_t from, int32_t to, int32_t offset) {
  const uint8_t* a = instance_at(s, from);
  uint8_t* b = instance_at(s, to);
  if (a && b) std::memmove(b + offset, a + offset, 12);
}

// A scene frame's position on one axis, in position units (0 when frames are not available).
int32_t frame_position(System& s, int32_t e, int axis) {
  if (s.run == nullptr || !s.run->hooks.frame_position) return 0;
  double p[3] = {};
  if (!s.run->hooks.frame_position(e & 0x7FFFFFFF, p[0], p[1], p[2])) return 0;
  const double v = p[axis] * kPositionUnitsPerSceneUnit;
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v);  // toward zero
}

int32_t position_axis(System& s, int32_t e, int32_t offset, int axis) {
  return e < 0 ? frame_position(s, e, axis) : read(s, e, offset);
}

// round(sqrt(sum of (v >> 9)^2)) over the given velocity words.
int32_t root_of_squares(const uint8_t* r, std::initializer_list<int32_t> offsets) {
  int64_t sum = 0;
  for (int32_t off : offsets) {
    const int64_t q = word(r, off) >> 9;
    sum += q * q;
  }
  return static_cast<int32_t>(std::nearbyint(std::sqrt(static_cast<double>(sum))));
}

// Quadratic drag on the given velocity words (see drag).
void apply_drag(uint8_t* r, std::initializer_list<int32_t> offsets, int32_t k) {
  for (int32_t off : offsets) {
    const int32_t v = word(r, off);
    const int64_t q = v >> 12;
    const int64_t q2 = q * q;
    if (q2 > INT64_C(0xFFFFFFFF)) {
      // The square no longer fits 32 bits: halve every affected component instead.
      for (int32_t h : offsets) set_word(r, h, word(r, h) >> 1);
      return;
    }
    const int32_t d = static_cast<int32_t>(q2 * k / 8192 + 10);
    set_word(r, off, q >= 0 ? wrap_add(v, wrap_neg(d)) : wrap_add(v, d));
  }
}

void apply_friction(System& s, int32_t e, std::initializer_list<int32_t> offsets, int32_t f) {
  uint8_t* r = instance_at(s, e);
  if (!r) return;
  for (int32_t off : offsets) set_word(r, off, wrap_mul(word(r, off), f) / 512);
}

void rebound(System& s, int32_t e, int32_t pos, int32_t vel) {
  uint8_t* r = instance_at(s, e);
  if (!r) return;
  const int32_t v = word(r, vel);
  set_word(r, pos, wrap_add(word(r, pos), wrap_mul(-4, v)));
  set_word(r, vel, wrap_mul(v, -1));
}

IVec3 forward_of(const System& s, const uint8_t* r, int32_t t) {
  return forward_vector(*s.core, word(r, ir::kRotX), word(r, ir::kRotY), word(r, ir::kRotZ), t);
}

// Horizontal direction bytes for the yaw of r: x from column 1 of its whole-degree row, z from
// column 255 of the row 90 degrees further on (scaled by 128).
void yaw_bytes(const System& s, const uint8_t* r, int32_t& bx, int32_t& bz) {
  const int32_t d = normalise_angle(word(r, ir::kRotY)) / kAngleUnitsPerDegree;
  const int8_t* table = reinterpret_cast<const int8_t*>(s.core->pool(Pool::Sinus));
  bx = table[256 * d + 1];
  bz = table[256 * (d + 90) + 255];
}

}  // namespace

// ---- Accessors ----
int32_t position_x(System& s, int32_t e) { return position_axis(s, e, ir::kPosX, 0); }
int32_t position_y(System& s, int32_t e) { return position_axis(s, e, ir::kPosY, 1); }
int32_t position_z(System& s, int32_t e) { return position_axis(s, e, ir::kPosZ, 2); }
void position_x_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kPosX, v); }
void position_y_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kPosY, v); }
void position_z_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kPosZ, v); }
void position_x_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kPosX, d); }
void position_y_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kPosY, d); }
void position_z_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kPosZ, d); }
void position_copy(System& s, int32_t from, int32_t to) { copy3(s, from, to, ir::kPosX); }

int32_t rotation_x(System& s, int32_t e) { return normalise_angle(read(s, e, ir::kRotX)); }
int32_t rotation_y(System& s, int32_t e) { return normalise_angle(read(s, e, ir::kRotY)); }
int32_t rotation_z(System& s, int32_t e) { return normalise_angle(read(s, e, ir::kRotZ)); }
void rotation_x_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kRotX, v); }
void rotation_y_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kRotY, v); }
void rotation_z_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kRotZ, v); }
void rotation_x_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kRotX, d); }
void rotation_y_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kRotY, d); }
void rotation_z_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kRotZ, d); }

void rotation_copy(System& s, int32_t from, int32_t to) {
  const uint8_t* a = instance_at(s, from);
  uint8_t* b = instance_at(s, to);
  if (!a || !b) return;
  const bool extra = (word(a, ir::kFlags) & ir::kFlagExtraRotation) != 0;
  const int32_t rx = word(a, ir::kRotX), ry = word(a, ir::kRotY), rz = word(a, ir::kRotZ);
  set_word(b, ir::kRotX, extra ? wrap_add(rx, word(a, ir::kExtraRotX)) : rx);
  set_word(b, ir::kRotY, extra ? wrap_add(ry, word(a, ir::kExtraRotY)) : ry);
  set_word(b, ir::kRotZ, extra ? wrap_add(rz, word(a, ir::kExtraRotZ)) : rz);
}

int32_t velocity_x(System& s, int32_t e) { return read(s, e, ir::kVelX); }
int32_t velocity_y(System& s, int32_t e) { return read(s, e, ir::kVelY); }
int32_t velocity_z(System& s, int32_t e) { return read(s, e, ir::kVelZ); }
void velocity_x_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kVelX, v); }
void velocity_y_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kVelY, v); }
void velocity_z_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kVelZ, v); }
void velocity_x_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kVelX, d); }
void velocity_y_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kVelY, d); }
void velocity_z_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kVelZ, d); }
void velocity_copy(System& s, int32_t from, int32_t to) { copy3(s, from, to, ir::kVelX); }

int32_t spin_x(System& s, int32_t e) { return read(s, e, ir::kSpinX); }
int32_t spin_y(System& s, int32_t e) { return read(s, e, ir::kSpinY); }
int32_t spin_z(System& s, int32_t e) { return read(s, e, ir::kSpinZ); }
void spin_x_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kSpinX, v); }
void spin_y_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kSpinY, v); }
void spin_z_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kSpinZ, v); }
void spin_x_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kSpinX, d); }
void spin_y_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kSpinY, d); }
void spin_z_add(System& s, int32_t e, int32_t d) { add(s, e, ir::kSpinZ, d); }
void spin_copy(System& s, int32_t from, int32_t to) { copy3(s, from, to, ir::kSpinX); }

// ---- Integration and forces ----
void velocity_update(System& s, int32_t e) {
  if (uint8_t* r = instance_at(s, e)) {
    add_word(r, ir::kPosX, word(r, ir::kVelX));
    add_word(r, ir::kPosY, word(r, ir::kVelY));
    add_word(r, ir::kPosZ, word(r, ir::kVelZ));
  }
}

void spin_update(System& s, int32_t e) {
  if (uint8_t* r = instance_at(s, e)) {
    add_word(r, ir::kRotX, word(r, ir::kSpinX));
    add_word(r, ir::kRotY, word(r, ir::kSpinY));
    add_word(r, ir::kRotZ, word(r, ir::kSpinZ));
  }
}

void gravity(System& s, int32_t e, int32_t gx, int32_t gy, int32_t gz) {
  if (uint8_t* r = instance_at(s, e)) {
    add_word(r, ir::kVelX, gx);
    add_word(r, ir::kVelY, gy);
    add_word(r, ir::kVelZ, gz);
  }
}

void thrust(System& s, int32_t e, int32_t t) {
  if (uint8_t* r = instance_at(s, e)) {
    const IVec3 f = forward_of(s, r, t);
    add_word(r, ir::kVelX, f.x);
    add_word(r, ir::kVelY, f.y);
    add_word(r, ir::kVelZ, f.z);
  }
}

void speed_set(System& s, int32_t e, int32_t v) {
  if (uint8_t* r = instance_at(s, e)) {
    const IVec3 f = forward_of(s, r, v);
    set_word(r, ir::kVelX, f.x);
    set_word(r, ir::kVelY, f.y);
    set_word(r, ir::kVelZ, f.z);
  }
}

void thrust_xz(System& s, int32_t e, int32_t t) {
  if (uint8_t* r = instance_at(s, e)) {
    int32_t bx = 0, bz = 0;
    yaw_bytes(s, r, bx, bz);
    add_word(r, ir::kVelX, wrap_mul(t, bx) >> 7);
    add_word(r, ir::kVelZ, wrap_mul(t, bz) >> 7);
  }
}

void speed_xz_set(System& s, int32_t e, int32_t v) {
  if (uint8_t* r = instance_at(s, e)) {
    int32_t bx = 0, bz = 0;
    yaw_bytes(s, r, bx, bz);
    set_word(r, ir::kVelX, wrap_mul(v, bx) >> 7);
    set_word(r, ir::kVelZ, wrap_mul(v, bz) >> 7);
  }
}

void drag(System& s, int32_t e, int32_t k) {
  if (uint8_t* r = instance_at(s, e)) apply_drag(r, {ir::kVelX, ir::kVelY, ir::kVelZ}, k);
}
void drag_xz(System& s, int32_t e, int32_t k) {
  if (uint8_t* r = instance_at(s, e)) apply_drag(r, {ir::kVelX, ir::kVelZ}, k);
}
void drag_y(System& s, int32_t e, int32_t k) {
  if (uint8_t* r = instance_at(s, e)) apply_drag(r, {ir::kVelY}, k);
}

void friction(System& s, int32_t e, int32_t f) {
  apply_friction(s, e, {ir::kVelX, ir::kVelY, ir::kVelZ}, f);
}
void friction_xz(System& s, int32_t e, int32_t f) { apply_friction(s, e, {ir::kVelX, ir::kVelZ}, f); }
void friction_y(System& s, int32_t e, int32_t f) { apply_friction(s, e, {ir::kVelY}, f); }
void friction_xr(System& s, int32_t e, int32_t f) { apply_friction(s, e, {ir::kSpinX}, f); }
void friction_yr(System& s, int32_t e, int32_t f) { apply_friction(s, e, {ir::kSpinY}, f); }
void friction_zr(System& s, int32_t e, int32_t f) { apply_friction(s, e, {ir::kSpinZ}, f); }

void rebound_x(System& s, int32_t e) { rebound(s, e, ir::kPosX, ir::kVelX); }
void rebound_y(System& s, int32_t e) { rebound(s, e, ir::kPosY, ir::kVelY); }
void rebound_z(System& s, int32_t e) { rebound(s, e, ir::kPosZ, ir::kVelZ); }

void follow(System& s, int32_t e, int32_t target, int32_t height, int32_t distance, int32_t rate) {
  uint8_t* r = instance_at(s, e);
  const uint8_t* t = instance_at(s, target);
  if (!r || !t) return;
  // The point fixed to the target: (0, height, distance) turned by the target's yaw.
  IVec3 offset{0, height, distance};
  rotate_about_y(*s.core, offset, word(t, ir::kRotY));
  const int32_t point[3] = {wrap_add(word(t, ir::kPosX), offset.x),
                            wrap_add(word(t, ir::kPosY), offset.y),
                            wrap_add(word(t, ir::kPosZ), offset.z)};
  const int32_t axes[3] = {ir::kPosX, ir::kPosY, ir::kPosZ};
  for (int i = 0; i < 3; ++i) {
    const int32_t p = word(r, axes[i]);
    const int32_t gap = wrap_add(point[i], wrap_neg(p)) >> 9;
    set_word(r, axes[i], wrap_add(p, wrap_mul(wrap_mul(gap, rate), 4)));
  }
}

void speed_xz_limit(System& s, int32_t e, int32_t limit) {
  uint8_t* r = instance_at(s, e);
  if (!r || limit < 512) return;
  const int64_t vx = word(r, ir::kVelX), vz = word(r, ir::kVelZ);
  if (limit >= std::llabs(vx) + std::llabs(vz)) return;
  const int32_t m = root_of_squares(r, {ir::kVelX, ir::kVelZ});
  const int64_t l = limit >> 9;
  if (l >= m) return;  // also keeps m above 0
  set_word(r, ir::kVelX, static_cast<int32_t>(l * vx / m));
  set_word(r, ir::kVelZ, static_cast<int32_t>(l * vz / m));
}

// ---- Measurements ----
int32_t velocity(System& s, int32_t e) {
  const uint8_t* r = instance_at(s, e);
  return r ? root_of_squares(r, {ir::kVelX, ir::kVelY, ir::kVelZ}) : 0;
}
int32_t speed(System& s, int32_t e) { return wrap_mul(velocity(s, e), 512); }
int32_t velocity_xz(System& s, int32_t e) {
  const uint8_t* r = instance_at(s, e);
  return r ? root_of_squares(r, {ir::kVelX, ir::kVelZ}) : 0;
}
int32_t speed_xz(System& s, int32_t e) { return wrap_mul(velocity_xz(s, e), 512); }

int32_t speed_lz(System& s, int32_t e) {
  const uint8_t* r = instance_at(s, e);
  if (!r) return 0;
  const IVec3 v{word(r, ir::kVelX), word(r, ir::kVelY), word(r, ir::kVelZ)};
  return to_local(*s.core, v, word(r, ir::kRotX), word(r, ir::kRotY), word(r, ir::kRotZ)).z;
}

// ---- State stack and frame rate ----
void push(System& s, int32_t e) {
  const uint8_t* r = instance_at(s, e);
  if (!r || s.run == nullptr || s.run->state_stack_top >= kStateStackEntries) return;
  if (s.run->state_stack_top < 0) s.run->state_stack_top = 0;
  uint8_t* entry = s.core->pool(Pool::StateStack) + s.run->state_stack_top * kStateEntryBytes;
  std::memcpy(entry, r + ir::kPosX, kStateEntryBytes);
  ++s.run->state_stack_top;
}

void pop(System& s, int32_t e) {
  uint8_t* r = instance_at(s, e);
  if (!r || s.run == nullptr || s.run->state_stack_top <= 0) return;
  if (s.run->state_stack_top > kStateStackEntries) s.run->state_stack_top = kStateStackEntries;
  --s.run->state_stack_top;
  const uint8_t* entry = s.core->pool(Pool::StateStack) + s.run->state_stack_top * kStateEntryBytes;
  std::memcpy(r + ir::kPosX, entry, kStateEntryBytes);
}

int32_t max_framerate(System& s) { return s.run ? s.run->frame_rate : kDefaultFrameRate; }

void max_framerate_set(System& s, int32_t n) {
  if (s.run == nullptr || n < kMinFrameRate || n > kMaxFrameRate) return;
  s.run->frame_rate = n;
  s.run->frame_period = kTicksPerSecond / n;
}

}  // namespace korva
