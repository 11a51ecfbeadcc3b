// The collision pass and its set-up: integer square root, bounds and radii, the pair list from
// the project's collision matrix, per-axis rejection, the distance test and the box test.
#include "engine/collision.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "core/core.h"
#include "engine/element_access.h"
#include "engine/rotation.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kMatrixSide = 256;
// Row 254 of the project table carries six project settings in bytes 12..35 (the .col layout):
// those bytes are not collision codes.
constexpr int32_t kSettingsRow = 254, kSettingsFirst = 12, kSettingsLast = 35;
constexpr uint32_t kFar = 0xFFFFFFFFu;

int32_t last_element(const System& s) {
  const int32_t last = s.model ? s.model->last_index : kInstanceRecords - 1;
  return std::min(last, kInstanceRecords - 1);
}

uint8_t* record_of(const System& s, int32_t i) {
  return s.core->pool(Pool::Instances) + i * kInstanceRecordBytes;
}

struct Point {
  double x = 0, z = 0;
};

// The footprint of an element: its bounds' x-z rectangle turned about y by its rotation and
// placed at its position, in thousandths.
std::array<Point, 4> footprint(const Core& c, const Bounds& b, const uint8_t* r) {
  const int32_t corners[4][2] = {{b.min_x, b.min_z}, {b.max_x, b.min_z}, {b.max_x, b.max_z}, {b.min_x, b.max_z}};
  const int32_t angle = normalise_angle(word(r, ir::kRotY));
  const int32_t px = word(r, ir::kPosX) >> 9, pz = word(r, ir::kPosZ) >> 9;
  std::array<Point, 4> out;
  for (int32_t k = 0; k < 4; ++k) {
    const Turned v = turn_about_y(c, corners[k][0], corners[k][1], angle);
    out[k] = {double(v.x) + px, double(v.z) + pz};
  }
  return out;
}

bool segments_cross(Point a1, Point a2, Point b1, Point b2) {
  const double d = (b2.z - b1.z) * (a2.x - a1.x) - (b2.x - b1.x) * (a2.z - a1.z);
  if (d == 0) return false;
  const double ua = ((b2.x - b1.x) * (a1.z - b1.z) - (b2.z - b1.z) * (a1.x - b1.x)) / d;
  const double ub = ((a2.x - a1.x) * (a1.z - b1.z) - (a2.z - a1.z) * (a1.x - b1.x)) / d;
  return ua >= 0 && ua <= 1 && ub >= 0 && ub <= 1;
}

bool point_in(const std::array<Point, 4>& q, Point p) {
  // Same side of all four edges (the footprint is convex, either winding).
  int32_t pos = 0, neg = 0;
  for (int32_t k = 0; k < 4; ++k) {
    const Point a = q[k], b = q[(k + 1) % 4];
    const double cross = (b.x - a.x) * (p.z - a.z) - (b.z - a.z) * (p.x - a.x);
    if (cross > 0) ++pos;
    if (cross < 0) ++neg;
  }
  return pos == 0 || neg == 0;
}

[[gnu::noinline, gnu::cold]] bool boxes_touch(const System& s, int32_t ia, int32_t ib) {
  const Collisions& col = *s.collisions;
  const Bounds& A = col.bounds[size_t(ia)];
  const Bounds& B = col.bounds[size_t(ib)];
  const uint8_t* ra = record_of(s, ia);
  const uint8_t* rb = record_of(s, ib);
  const int64_t ya = word(ra, ir::kPosY), yb = word(rb, ir::kPosY);
  if (int64_t(B.max_y) * 512 + yb < int64_t(A.min_y) * 512 + ya) return false;
  if (int64_t(A.max_y) * 512 + ya < int64_t(B.min_y) * 512 + yb) return false;
  const auto fa = footprint(*s.core, A, ra);
  const auto fb = footprint(*s.core, B, rb);
  for (int32_t i = 0; i < 4; ++i)
    for (int32_t j = 0; j < 4; ++j)
      if (segments_cross(fa[i], fa[(i + 1) % 4], fb[j], fb[(j + 1) % 4])) return true;
  // No edges cross: the footprints still overlap when one lies wholly inside the other.
  return point_in(fa, fb[0]) || point_in(fb, fa[0]);
}

}  // namespace

Turned turn_about_y(const Core& c, int64_t x, int64_t z, int32_t angle) {
  if (normalise_angle(angle) < kMinRotatedAngle) return {x, z};
  const SinCos t = fine_sin_cos(c, angle);
  return {((x * t.c) >> 15) - ((z * t.s) >> 15), ((x * t.s) >> 15) + ((z * t.c) >> 15)};
}

int32_t saturate32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

const std::array<uint8_t, 256>& sqrt_table() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int32_t i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(std::lround(16.0 * std::sqrt(double(i))));
    return t;
  }();
  return table;
}

uint32_t integer_sqrt(uint32_t x) {
  if (x == 0) return 0;
  const int32_t m = (std::bit_width(x) - 1) / 2;  // floor(log4 x)
  const int32_t sh = 2 * m - 6;
  const uint32_t index = sh >= 0 ? x >> sh : x << -sh;
  const uint32_t t = sqrt_table()[index & 255];
  const int32_t back = sh / 2 - 4;
  return back > 0 ? t << back : t >> -back;
}

int64_t axis_gap(int32_t a, int32_t b) {
  const int64_t d = int64_t(a) - int64_t(b);
  return d >= 0 ? d >> 9 : -(d >> 9);
}

uint32_t integer_distance(int64_t dx, int64_t dy, int64_t dz) {
  const uint64_t ax = uint64_t(dx < 0 ? -dx : dx), ay = uint64_t(dy < 0 ? -dy : dy), az = uint64_t(dz < 0 ? -dz : dz);
  // A square alone past 32 bits, or the running sum past them: infinitely far.
  if ((ax | ay | az) > 0xFFFFu) return kFar;
  const uint64_t sum = ax * ax + ay * ay + az * az;  // each below 2^32: no 64-bit overflow
  if (sum > 0xFFFFFFFFu) return kFar;
  return integer_sqrt(uint32_t(sum));
}

Bounds bounds_of_triangles(const TriangleList& tris, float scale) {
  if (tris.empty()) return {};
  float lo[3] = {tris[0][0], tris[0][1], tris[0][2]}, hi[3] = {lo[0], lo[1], lo[2]};
  for (const Triangle& t : tris)
    for (int32_t k = 0; k < 9; ++k) {
      lo[k % 3] = std::min(lo[k % 3], t[size_t(k)]);
      hi[k % 3] = std::max(hi[k % 3], t[size_t(k)]);
    }
  auto fix = [scale](float v) {
    const double d = std::clamp(double(v) * scale, -1e9, 1e9);
    return int32_t(std::lround(d));
  };
  return {fix(hi[0]), fix(hi[1]), fix(hi[2]), fix(lo[0]), fix(lo[1]), fix(lo[2])};
}

int32_t collision_radius_of(const Bounds& b) {
  const int64_t sum = int64_t(b.max_x) + b.max_y + b.max_z - b.min_x - b.min_y - b.min_z;
  return int32_t(std::min<int64_t>(std::llabs(sum / 6), INT32_MAX));
}

int32_t box_radius_of(const Bounds& b, int32_t collision_radius) {
  const int32_t xs[2] = {b.max_x, b.min_x}, zs[2] = {b.max_z, b.min_z};
  uint32_t best = 0;
  for (int32_t x : xs)
    for (int32_t z : zs) {
      const uint64_t x2 = uint64_t(int64_t(x) * x), z2 = uint64_t(int64_t(z) * z);
      if (x2 > 0x3fffffffu || z2 > 0x3fffffffu) return collision_radius;
      best = std::max(best, integer_sqrt(uint32_t(x2 + z2)));
    }
  return int32_t(best);
}

Rgb code_rgb(int32_t code) {
  if (code < 0 || code >= kCollisionCodes) code = 0;
  const int32_t b = 64 * code;
  if (code <= 3) return {uint8_t(255 - b), 0, uint8_t(b)};
  if (code <= 7) return {0, uint8_t(b - 256), uint8_t(511 - b)};
  return {uint8_t(b - 512), uint8_t(767 - b), 0};
}

void collision_pairs_build(System& s) {
  Collisions& col = *s.collisions;
  col.pairs.clear();
  col.paired.clear();
  std::array<bool, kInstanceRecords> in_pair{};
  const int32_t last = last_element(s);
  const uint8_t* m = s.core->pool(Pool::ProjectTable);
  // Only elements of the project: the records after the last one are copies of it.
  for (int32_t i = 0; i <= last; ++i)
    for (int32_t j = i + 1; j <= last; ++j) {
      if (i == kSettingsRow && j >= kSettingsFirst && j <= kSettingsLast) continue;
      const int32_t code = m[i * kMatrixSide + j];
      if (code == 0) continue;
      col.pairs.push_back({j, i, col.code_colours[size_t(code < kCollisionCodes ? code : 0)], 0});
      in_pair[size_t(i)] = in_pair[size_t(j)] = true;
    }
  for (int32_t i = 0; i < kInstanceRecords; ++i)
    if (in_pair[size_t(i)]) col.paired.push_back(i);
}

void collision_setup(System& s, const std::array<bool, 256>& has_bounds) {
  Collisions& col = *s.collisions;
  for (int32_t i = 0; i <= last_element(s); ++i) {
    uint8_t* r = record_of(s, i);
    if (!has_bounds[size_t(i)]) col.bounds[size_t(i)] = {};
    const Bounds& b = col.bounds[size_t(i)];
    if (word(r, ir::kCollisionRadius) <= 0) set_word(r, ir::kCollisionRadius, collision_radius_of(b));
    set_word(r, ir::kBoxRadius, box_radius_of(b, word(r, ir::kCollisionRadius)));
  }
  col.rebound_yr_factor = 250;
  collision_pairs_build(s);
}

namespace {

// What the pass reads of one element, gathered once per pass: brains do not run during it, so
// the records cannot change under it, and the pair loop then touches 8 KB instead of 256 records.
struct Solid {
  int32_t x = 0, y = 0, z = 0;
  int32_t radius = 0, box_radius = 0;
  int32_t id = 0;
  bool live = false;  // active with collisions on
  bool box = false;   // box collisions on
};

Solid solid_of(const uint8_t* r) {
  const int32_t flags = word(r, ir::kFlags);
  return {word(r, ir::kPosX), word(r, ir::kPosY), word(r, ir::kPosZ), word(r, ir::kCollisionRadius),
          word(r, ir::kBoxRadius), word(r, ir::kId),
          (flags & (ir::kFlagActive | ir::kFlagCollisions)) == (ir::kFlagActive | ir::kFlagCollisions),
          (flags & ir::kFlagBoxCollisions) != 0};
}

// Steps 2 to 5 of the pass for one pair.
[[gnu::always_inline]] inline bool solids_collide(const System& s, const Solid& A, const Solid& B, int32_t a,
                                                  int32_t b) {
  if (!A.live || !B.live) return false;
  const bool boxes = A.box && B.box;
  const int64_t r = boxes ? int64_t(A.box_radius) + B.box_radius : int64_t(A.radius) + B.radius;
  // The three per-axis rejections, tested together: one branch instead of three.
  const int64_t dx = axis_gap(A.x, B.x), dy = axis_gap(A.y, B.y), dz = axis_gap(A.z, B.z);
  if ((dx >= r) | (dy >= r) | (dz >= r)) return false;
  if (r < int64_t(integer_distance(dx, dy, dz))) return false;
  return !boxes || boxes_touch(s, a, b);
}

}  // namespace

bool elements_collide(const System& s, int32_t a, int32_t b) {
  return solids_collide(s, solid_of(record_of(s, a)), solid_of(record_of(s, b)), a, b);
}

void collision_pass(System& s) {
  if (!s.collisions || !s.core) return;
  Collisions& col = *s.collisions;
  if (col.pairs.empty()) return;
  std::array<Solid, kInstanceRecords> solids;
  std::array<int32_t, kInstanceRecords> received{};
  for (int32_t i : col.paired) solids[size_t(i)] = solid_of(record_of(s, i));
  for (CollisionPair& p : col.pairs) {
    const Solid& A = solids[size_t(p.first)];
    const Solid& B = solids[size_t(p.second)];
    const bool hit = solids_collide(s, A, B, p.first, p.second);
    if (!hit) {
      if (p.hit != 0) p.hit = 0;  // most pairs miss frame after frame: no store for them
      continue;
    }
    p.hit = p.colour;
    received[size_t(p.first)] |= B.id;
    received[size_t(p.second)] |= A.id;
  }
  // Every element of a pair gets this frame's bits only; the others keep theirs.
  for (int32_t i : col.paired) set_word(record_of(s, i), ir::kChannelsHit, received[size_t(i)]);
}

}  // namespace korva
