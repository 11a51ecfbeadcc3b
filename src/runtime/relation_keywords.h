// Keywords that relate elements to each other and to areas of the ground plane: directions
// (searched in the arc-tangent table), distances, areas, nearest and random elements of a class,
// walks over the element table, switching on pool elements, joins, attraction and steering.
// Element parameters are handles; one that is not an element of the table (0, a scene frame
// handle, an address inside a record or past the last element) makes the keyword do nothing
// and return 0.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

constexpr int32_t kHalfTurn = 92160;  // 180 degrees in angle units

// ---- Directions and distances ----
// Direction of the vector (x, z) in angle units, -46080..138240: +z is 0, +x is -46080.
int32_t angle(System& s, int32_t x, int32_t z);
int32_t direction_xz(System& s, int32_t a, int32_t b);  // from a toward b
int32_t distance_xz(System& s, int32_t a, int32_t b);   // position units, millimetre steps
int32_t distance(System& s, int32_t a, int32_t b);      // the same in three dimensions
int32_t inside_area_xz(System& s, int32_t e, int32_t x1, int32_t x2, int32_t z1, int32_t z2);

// ---- Finding elements ----
int32_t nearest_element(System& s, int32_t e, int32_t mask);
int32_t random_element(System& s, int32_t e, int32_t mask);
int32_t element_find(System& s, int32_t e, int32_t mask, int32_t n, int32_t mode);
int32_t element(System& s, int32_t n);  // the handle of element n
int32_t on_list(System& s, int32_t first, int32_t count, int32_t step);
int32_t on_range(System& s, int32_t first, int32_t last);

// ---- Placement ----
void join(System& s, int32_t a, int32_t b);
void join_pos(System& s, int32_t a, int32_t b);
void child_pos(System& s, int32_t e, int32_t parent, int32_t x, int32_t y, int32_t z);
void child_rot(System& s, int32_t e, int32_t parent, int32_t rx, int32_t ry, int32_t rz);
void random_position_xz(System& s, int32_t e, int32_t x1, int32_t x2, int32_t z1, int32_t z2);

// ---- Attraction and steering ----
void attract(System& s, int32_t e, int32_t target, int32_t strength);
void attract_xz(System& s, int32_t e, int32_t target, int32_t strength);
void attract_y(System& s, int32_t e, int32_t target, int32_t strength);
void attract_point(System& s, int32_t e, int32_t x, int32_t y, int32_t z, int32_t strength);
void attract_xr(System& s, int32_t e, int32_t angle, int32_t strength);
void attract_yr(System& s, int32_t e, int32_t angle, int32_t strength);
void attract_zr(System& s, int32_t e, int32_t angle, int32_t strength);
void lift(System& s, int32_t e, int32_t y, int32_t strength);
int32_t sight(System& s, int32_t e, int32_t target, int32_t range, int32_t half_angle);
int32_t steer_angle_to(System& s, int32_t e, int32_t target, int32_t limit);
void steer(System& s, int32_t e, int32_t target, int32_t limit);
void orient_straight(System& s, int32_t e, int32_t limit_x, int32_t limit_z);
void orient_forward(System& s, int32_t e, int32_t x, int32_t y, int32_t z, int32_t limit);

int32_t interpolate(System& s, int32_t x, int32_t x1, int32_t x2, int32_t y1, int32_t y2);

void bind_relation_keywords(KeywordBindings& b);

}  // namespace korva
