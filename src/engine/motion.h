// The motion keywords: accessors of the kinematic words of an instance record, integration,
// forces, measurements, the push/pop state stack and the frame rate. Each takes the element
// handle first; a handle that is not an instance record makes it do nothing and return 0
// (position_x and its siblings read a scene frame's position for a frame handle).
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

// ---- Accessors ----
int32_t position_x(System& s, int32_t e);
int32_t position_y(System& s, int32_t e);
int32_t position_z(System& s, int32_t e);
void position_x_set(System& s, int32_t e, int32_t v);
void position_y_set(System& s, int32_t e, int32_t v);
void position_z_set(System& s, int32_t e, int32_t v);
void position_x_add(System& s, int32_t e, int32_t d);
void position_y_add(System& s, int32_t e, int32_t d);
void position_z_add(System& s, int32_t e, int32_t d);
void position_copy(System& s, int32_t from, int32_t to);

int32_t rotation_x(System& s, int32_t e);  // normalised into 0..184319
int32_t rotation_y(System& s, int32_t e);
int32_t rotation_z(System& s, int32_t e);
void rotation_x_set(System& s, int32_t e, int32_t v);
void rotation_y_set(System& s, int32_t e, int32_t v);
void rotation_z_set(System& s, int32_t e, int32_t v);
void rotation_x_add(System& s, int32_t e, int32_t d);
void rotation_y_add(System& s, int32_t e, int32_t d);
void rotation_z_add(System& s, int32_t e, int32_t d);
void rotation_copy(System& s, int32_t from, int32_t to);  // with from's extra rotation if set

int32_t velocity_x(System& s, int32_t e);
int32_t velocity_y(System& s, int32_t e);
int32_t velocity_z(System& s, int32_t e);
void velocity_x_set(System& s, int32_t e, int32_t v);
void velocity_y_set(System& s, int32_t e, int32_t v);
void velocity_z_set(System& s, int32_t e, int32_t v);
void velocity_x_add(System& s, int32_t e, int32_t d);
void velocity_y_add(System& s, int32_t e, int32_t d);
void velocity_z_add(System& s, int32_t e, int32_t d);
void velocity_copy(System& s, int32_t from, int32_t to);

int32_t spin_x(System& s, int32_t e);
int32_t spin_y(System& s, int32_t e);
int32_t spin_z(System& s, int32_t e);
void spin_x_set(System& s, int32_t e, int32_t v);
void spin_y_set(System& s, int32_t e, int32_t v);
void spin_z_set(System& s, int32_t e, int32_t v);
void spin_x_add(System& s, int32_t e, int32_t d);
void spin_y_add(System& s, int32_t e, int32_t d);
void spin_z_add(System& s, int32_t e, int32_t d);
void spin_copy(System& s, int32_t from, int32_t to);

// ---- Integration and forces ----
void velocity_update(System& s, int32_t e);  // position += velocity
void spin_update(System& s, int32_t e);      // rotation += spin, not normalised
void gravity(System& s, int32_t e, int32_t gx, int32_t gy, int32_t gz);
void thrust(System& s, int32_t e, int32_t t);       // velocity += forward(e, t)
void thrust_xz(System& s, int32_t e, int32_t t);    // horizontal, from the byte sine table
void speed_set(System& s, int32_t e, int32_t v);    // velocity = forward(e, v); also velocity_set
void speed_xz_set(System& s, int32_t e, int32_t v); // also velocity_set_xz
void drag(System& s, int32_t e, int32_t k);
void drag_xz(System& s, int32_t e, int32_t k);
void drag_y(System& s, int32_t e, int32_t k);
void friction(System& s, int32_t e, int32_t f);
void friction_xz(System& s, int32_t e, int32_t f);
void friction_y(System& s, int32_t e, int32_t f);
void friction_xr(System& s, int32_t e, int32_t f);
void friction_yr(System& s, int32_t e, int32_t f);
void friction_zr(System& s, int32_t e, int32_t f);
void rebound_x(System& s, int32_t e);  // also boing_x
void rebound_y(System& s, int32_t e);
void rebound_z(System& s, int32_t e);
void follow(System& s, int32_t e, int32_t target, int32_t height, int32_t distance, int32_t rate);
void speed_xz_limit(System& s, int32_t e, int32_t limit);

// ---- Measurements ----
int32_t velocity(System& s, int32_t e);     // thousandths of a scene unit per call
int32_t speed(System& s, int32_t e);        // the same in position units
int32_t velocity_xz(System& s, int32_t e);
int32_t speed_xz(System& s, int32_t e);
int32_t speed_lz(System& s, int32_t e);     // along the element's own forward axis

// ---- State stack and frame rate ----
void push(System& s, int32_t e);
void pop(System& s, int32_t e);
int32_t max_framerate(System& s);
void max_framerate_set(System& s, int32_t n);  // 15..250, other values ignored

}  // namespace korva
