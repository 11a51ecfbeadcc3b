// Ground maps (.m3d): building one from a model's triangles, reading one back with every offset
// and count checked, the height and volume queries, the boundary grid, and their keywords.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "core/core.h"
#include "engine/collision.h"
#include "engine/element_access.h"
#include "engine/rotation.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kHalfGrid = kGridSide / 2;
constexpr float kGroundLimit = 1.01f;  // ground maps forgive a sliver between neighbours
constexpr float kVolumeLimit = 1.0f;
constexpr int32_t kMapIndexWord = 20;  // asset record: map index + 1, in the header's reserved bytes
constexpr int32_t kSlopeStep = 500;    // thousandths ahead and behind for ground_slope
constexpr uint64_t kMaxCellItems = uint64_t(1) << 24;

uint32_t get_u32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int32_t k = 0; k < 4; ++k) out.push_back(uint8_t(v >> (8 * k)));
}
int32_t saturate(double v) {
  return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}
// Floor division, so that points left of or above the map fall outside it.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int32_t grid_index(int64_t position, int32_t extent) {
  return int32_t(floor_div(((position >> 9) + extent / 2) * kGridSide, extent));
}

// The plane of t at (px, pz), thousandths; y1 when the corners are level.
double plane_height(const std::array<int32_t, 9>& v, double px, double pz) {
  if (v[1] == v[4] && v[1] == v[7]) return v[1];
  const double ax = double(v[3]) - v[0], ay = double(v[4]) - v[1], az = double(v[5]) - v[2];
  const double bx = double(v[6]) - v[0], by = double(v[7]) - v[1], bz = double(v[8]) - v[2];
  const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
  if (ny == 0) return v[1];
  return v[1] - (nx * (px - v[0]) + nz * (pz - v[2])) / ny;
}

struct Hit {
  double height = 0;  // position units
  int32_t triangle = -1;
};

const GroundMap* selected_map(const System& s) { return s.collisions ? s.collisions->ground.get() : nullptr; }

int32_t last_element(const System& s) {
  const int32_t last = s.model ? s.model->last_index : kInstanceRecords - 1;
  return std::min(last, kInstanceRecords - 1);
}
uint8_t* element_at(const System& s, int32_t e) {
  const int32_t i = element_index_of(e);
  if (i < 0 || i > last_element(s) || !s.core) return nullptr;
  return s.core->pool(Pool::Instances) + i * kInstanceRecordBytes;
}

// The boundary cell half under (x, z), or nullptr.
const BoundaryCell* grid_cell(const BoundaryGrid& g, int32_t x, int32_t z, bool& upper) {
  if (g.extent <= 0) return nullptr;
  const int32_t col = grid_index(x, g.extent), row = grid_index(z, g.extent);
  if (col < 0 || col >= kGridSide || row < 0 || row >= kGridSide) return nullptr;
  const BoundaryCell& c = g.cells[size_t(row) * kGridSide + size_t(col)];
  GroundTriangle t;
  t.v = c.upper;
  upper = triangle_contains(t, float(x >> 9), float(z >> 9), kGroundLimit);
  return &c;
}

// The height under (x, z) from the selected map, else the boundary grid, else 0.
int32_t height_at(const System& s, int32_t x, int32_t y, int32_t z, int32_t radius) {
  if (const GroundMap* m = selected_map(s)) return ground_height(*m, x, y, z, radius);
  if (!s.collisions) return 0;
  bool upper = false;
  const BoundaryCell* c = grid_cell(s.collisions->grid, x, z, upper);
  if (!c) return 0;
  return saturate(plane_height(upper ? c->upper : c->lower, x >> 9, z >> 9) * 512.0);
}

int32_t element_height(const System& s, const uint8_t* r) {
  return height_at(s, word(r, ir::kPosX), word(r, ir::kPosY), word(r, ir::kPosZ), word(r, ir::kCollisionRadius));
}

}  // namespace

bool triangle_contains(const GroundTriangle& tri, float px, float pz, float limit) {
  const auto& v = tri.v;
  const float x1 = float(v[0]), z1 = float(v[2]), x2 = float(v[3]), z2 = float(v[5]);
  const float x3 = float(v[6]), z3 = float(v[8]);
  const float d = (z3 - z1) * (x2 - x1) - (z2 - z1) * (x3 - x1);
  if (d == 0 || !std::isfinite(d)) return false;
  const float t = ((x2 - x1) * (pz - z1) - (z2 - z1) * (px - x1)) / d;
  if (!(t >= 0 && t <= 1)) return false;
  float u;
  if (x2 != x1) u = ((px - x1) - (x3 - x1) * t) / (x2 - x1);
  else if (z2 != z1) u = ((pz - z1) - (z3 - z1) * t) / (z2 - z1);
  else return false;
  return u >= 0 && u <= 1 && u + t <= limit;
}

int32_t ground_height(const GroundMap& m, int32_t x, int32_t y, int32_t z, int32_t radius) {
  const int32_t col = grid_index(x, m.extent), row = grid_index(z, m.extent);
  if (col < 0 || col >= kGridSide || row < 0 || row >= kGridSide) return 0;
  const float px = float(x >> 9), pz = float(z >> 9);
  const double top = double(y) + double(radius) * 512.0;
  // Neighbouring triangles of one surface both contain a point on their shared edge; they count
  // as one, or an element standing below such an edge would drop to height 0.
  int32_t surfaces = 0;
  double only = 0, best = 0, best_gap = std::numeric_limits<double>::infinity();
  for (uint32_t k : m.cell(row, col)) {
    const GroundTriangle& t = m.triangles[k];
    if (!triangle_contains(t, px, pz, kGroundLimit)) continue;
    const double h = plane_height(t.v, px, pz) * 512.0;
    if (surfaces == 0) {
      only = h;
      surfaces = 1;
    } else if (std::fabs(h - only) >= 1.0) {
      surfaces = 2;
    }
    if (h >= top) continue;
    const double gap = h > y ? h - y : top - h;
    if (gap < best_gap) {
      best_gap = gap;
      best = h;
    }
  }
  if (surfaces == 1) return saturate(only);
  return best_gap < std::numeric_limits<double>::infinity() ? saturate(best) : 0;
}

int32_t inside_volume_at(const GroundMap& m, int32_t x, int32_t y, int32_t z) {
  const int32_t col = grid_index(x, m.extent), row = grid_index(z, m.extent);
  if (col < 0 || col >= kGridSide || row < 0 || row >= kGridSide) return 0;
  const float px = float(x >> 9), pz = float(z >> 9);
  double above_gap = std::numeric_limits<double>::infinity(), below_gap = above_gap;
  double above_c = 0, below_c = 0;
  for (uint32_t k : m.cell(row, col)) {
    const auto& v = m.triangles[k].v;
    if (!triangle_contains(m.triangles[k], px, pz, kVolumeLimit)) continue;
    const double h = plane_height(v, px, pz) * 512.0;
    const double c = (double(v[5]) - v[2]) * (double(v[6]) - v[0]) - (double(v[3]) - v[0]) * (double(v[8]) - v[2]);
    if (h > y && h - y < above_gap) {
      above_gap = h - y;
      above_c = c;
    } else if (h <= y && y - h < below_gap) {
      below_gap = y - h;
      below_c = c;
    }
  }
  const bool above = above_gap < std::numeric_limits<double>::infinity();
  const bool below = below_gap < std::numeric_limits<double>::infinity();
  return (above && above_c > 0) || (below && below_c <= 0) ? -1 : 0;
}

// ---- The file ----
std::vector<GroundTriangle> ground_triangles(const TriangleList& model) {
  std::vector<GroundTriangle> out;
  out.reserve(model.size());
  for (const Triangle& t : model) {
    GroundTriangle g;
    for (size_t k = 0; k < 9; ++k) g.v[k] = saturate(std::lround(double(t[k]) * 1000.0));
    out.push_back(g);
  }
  return out;
}

std::vector<uint8_t> m3d_build(const std::vector<GroundTriangle>& triangles, uint32_t stamp) {
  int64_t e = 0;
  for (const GroundTriangle& t : triangles)
    for (size_t k : {0u, 2u, 3u, 5u, 6u, 8u}) e = std::max<int64_t>(e, std::llabs(int64_t(t.v[k])));
  // A map needs a positive extent; a flat point of a model still gets a tiny one.
  const int64_t extent = std::clamp<int64_t>(2 * e, 2, INT32_MAX - 1);
  const uint32_t tri_bytes = uint32_t(triangles.size()) * kTriangleBytes;

  // Cell lists: a triangle joins every cell its x-z bounding box overlaps (edges included).
  std::vector<std::vector<uint32_t>> cells(size_t(kGridSide) * kGridSide);
  for (size_t n = 0; n < triangles.size(); ++n) {
    const auto& v = triangles[n].v;
    const int64_t x0 = std::min({v[0], v[3], v[6]}), x1 = std::max({v[0], v[3], v[6]});
    const int64_t z0 = std::min({v[2], v[5], v[8]}), z1 = std::max({v[2], v[5], v[8]});
    auto lo = [&](int64_t a) {
      return std::clamp<int64_t>(floor_div(a * kGridSide, extent), -kHalfGrid, kHalfGrid - 1);
    };
    for (int64_t j = lo(z0); j <= lo(z1); ++j)
      for (int64_t k = lo(x0); k <= lo(x1); ++k)
        cells[size_t(j + kHalfGrid) * kGridSide + size_t(k + kHalfGrid)].push_back(uint32_t(n) * kTriangleBytes);
  }

  std::vector<uint8_t> out;
  out.reserve(size_t(kM3dHeaderBytes) + triangles.size() * kTriangleBytes + kCellTableBytes);
  put_u32(out, get_u32(reinterpret_cast<const uint8_t*>(kM3dTag)));
  put_u32(out, uint32_t(kM3dHeaderBytes));
  put_u32(out, uint32_t(kM3dHeaderBytes) + tri_bytes);
  put_u32(out, uint32_t(extent));
  put_u32(out, stamp);
  out.resize(kM3dHeaderBytes, 0);
  for (const GroundTriangle& t : triangles)
    for (int32_t v : t.v) put_u32(out, uint32_t(v));
  uint32_t list_offset = tri_bytes + kCellTableBytes;
  for (const auto& c : cells) {
    put_u32(out, c.empty() ? 0 : list_offset);
    if (!c.empty()) list_offset += 4 + 4 * uint32_t(c.size());
  }
  for (const auto& c : cells) {
    if (c.empty()) continue;
    put_u32(out, uint32_t(c.size()));
    for (uint32_t o : c) put_u32(out, o);
  }
  return out;
}

std::shared_ptr<GroundMap> m3d_parse(std::span<const uint8_t> bytes, std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why) *why = reason;
    return std::shared_ptr<GroundMap>();
  };
  const uint64_t size = bytes.size();
  if (size < uint64_t(kM3dHeaderBytes) + kCellTableBytes) return refuse("file too short");
  const uint8_t* p = bytes.data();
  if (std::memcmp(p, kM3dTag, 4) != 0) return refuse("not a ground map");
  const int64_t tri_bytes = int64_t(int32_t(get_u32(p + 8))) - int64_t(int32_t(get_u32(p + 4)));
  if (tri_bytes < 0 || tri_bytes % kTriangleBytes != 0) return refuse("bad triangle block");
  if (uint64_t(kM3dHeaderBytes) + uint64_t(tri_bytes) + kCellTableBytes > size)
    return refuse("triangle block past the end");
  auto map = std::make_shared<GroundMap>();
  map->extent = int32_t(get_u32(p + 12));
  map->stamp = get_u32(p + 16);
  if (map->extent <= 0) return refuse("extent not positive");
  const uint8_t* block = p + kM3dHeaderBytes;
  const uint64_t block_size = size - kM3dHeaderBytes;  // the buffer: triangles, cell table, lists
  const size_t count = size_t(tri_bytes / kTriangleBytes);
  map->triangles.resize(count);
  for (size_t n = 0; n < count; ++n)
    for (size_t k = 0; k < 9; ++k) map->triangles[n].v[k] = int32_t(get_u32(block + n * kTriangleBytes + 4 * k));
  const uint8_t* table = block + tri_bytes;
  map->cell_start.reserve(size_t(kGridSide) * kGridSide + 1);
  for (int32_t c = 0; c < kGridSide * kGridSide; ++c) {
    map->cell_start.push_back(uint32_t(map->cell_items.size()));
    const uint64_t offset = get_u32(table + 4 * c);
    if (offset == 0) continue;
    if (offset + 4 > block_size) return refuse("cell list past the end");
    const uint64_t n = get_u32(block + offset);
    if (n > (block_size - offset - 4) / 4) return refuse("cell list past the end");
    // Cells may share lists; the expanded lists are still bounded so a small file cannot ask for gigabytes.
    if (map->cell_items.size() + n > kMaxCellItems) return refuse("too many cell entries");
    for (uint64_t k = 0; k < n; ++k) {
      const uint64_t t = get_u32(block + offset + 4 + 4 * k);
      if (t % kTriangleBytes != 0 || t >= uint64_t(tri_bytes)) return refuse("cell list outside the triangle block");
      map->cell_items.push_back(uint32_t(t / kTriangleBytes));
    }
  }
  map->cell_start.push_back(uint32_t(map->cell_items.size()));
  return map;
}

uint32_t content_stamp(std::span<const uint8_t> bytes) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

uint32_t model_stamp(std::string_view path) {
  std::ifstream in{std::string(path), std::ios::binary};
  if (!in) return 0;
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return content_stamp(bytes);
}

bool m3d_stamp(std::string_view path, uint32_t& stamp) {
  std::ifstream in{std::string(path), std::ios::binary};
  uint8_t head[kM3dHeaderBytes];
  if (!in.read(reinterpret_cast<char*>(head), sizeof head) || std::memcmp(head, kM3dTag, 4) != 0) return false;
  stamp = get_u32(head + 16);
  return true;
}

BoundaryGrid boundary_grid_from(const GroundMap& m, int32_t code) {
  BoundaryGrid g;
  g.extent = m.extent;
  g.cells.resize(size_t(kGridSide) * kGridSide);
  const double step = double(m.extent) / kGridSide;
  const double half = m.extent / 2.0;
  // Corner heights sampled from the map (the highest surface), a corner on the far edge just inside.
  std::vector<int32_t> heights(size_t(kGridSide + 1) * (kGridSide + 1));
  auto at = [&](int32_t j, int32_t k) -> int32_t& { return heights[size_t(j) * (kGridSide + 1) + size_t(k)]; };
  for (int32_t j = 0; j <= kGridSide; ++j)
    for (int32_t k = 0; k <= kGridSide; ++k) {
      const double x = std::min(k * step - half, half - 1), z = std::min(j * step - half, half - 1);
      const int32_t h = ground_height(m, saturate(x * 512), INT32_MAX / 2, saturate(z * 512), 0);
      at(j, k) = h / 512;
    }
  for (int32_t j = 0; j < kGridSide; ++j)
    for (int32_t k = 0; k < kGridSide; ++k) {
      const int32_t x0 = saturate(k * step - half), x1 = saturate((k + 1) * step - half);
      const int32_t z0 = saturate(j * step - half), z1 = saturate((j + 1) * step - half);
      BoundaryCell& c = g.cells[size_t(j) * kGridSide + size_t(k)];
      c.lower = {x0, at(j, k), z0, x1, at(j, k + 1), z0, x1, at(j + 1, k + 1), z1};
      c.upper = {x0, at(j, k), z0, x1, at(j + 1, k + 1), z1, x0, at(j + 1, k), z1};
      // A half steeper than 45 degrees is a wall (code 1); the rest takes the element's code.
      auto steep = [](const std::array<int32_t, 9>& v) {
        const int32_t rise = std::max({v[1], v[4], v[7]}) - std::min({v[1], v[4], v[7]});
        return rise > std::max(std::abs(v[3] - v[0]), std::abs(v[5] - v[2]));
      };
      c.lower_code = steep(c.lower) ? 1 : code;
      c.upper_code = steep(c.upper) ? 1 : code;
    }
  return g;
}

// ---- Maps held by elements ----
void ground_map_attach(System& s, int32_t slot, std::shared_ptr<GroundMap> map) {
  if (!s.collisions || !s.core || slot < 0 || slot >= 4096 || !map) return;
  uint8_t* rec = s.core->pool(Pool::Assets) + int64_t(slot) * 64;
  std::memset(rec, 0, 64);
  std::memcpy(rec, kM3dTag, 4);
  const uint32_t tri_bytes = uint32_t(map->triangles.size()) * kTriangleBytes;
  ir_set(rec, 4, kM3dHeaderBytes);
  ir_set(rec, 8, int32_t(kM3dHeaderBytes + tri_bytes));
  ir_set(rec, 12, map->extent);
  ir_set(rec, 16, int32_t(map->stamp));
  s.collisions->maps.push_back(std::move(map));
  ir_set(rec, kMapIndexWord, int32_t(s.collisions->maps.size()));
}

std::shared_ptr<GroundMap> ground_map_of(const System& s, int32_t element) {
  if (!s.collisions || !s.core || element < 0 || element >= kInstanceRecords) return nullptr;
  const uint8_t* r = s.core->pool(Pool::Instances) + element * kInstanceRecordBytes;
  const int32_t slot = word(r, ir::kCurrentAspect);
  if (slot < 0 || slot >= 4096) return nullptr;
  const uint8_t* rec = s.core->pool(Pool::Assets) + int64_t(slot) * 64;
  if (std::memcmp(rec, kM3dTag, 4) != 0) return nullptr;
  const int32_t index = ir_get(rec, kMapIndexWord) - 1;
  if (index < 0 || size_t(index) >= s.collisions->maps.size()) return nullptr;
  return s.collisions->maps[size_t(index)];
}

// ---- Ground keywords ----
void ground_set(System& s, int32_t e) {
  if (element_at(s, e) && s.collisions) s.collisions->ground = ground_map_of(s, element_index_of(e));
}

int32_t ground_level(System& s, int32_t e) {
  const uint8_t* r = element_at(s, e);
  return r ? element_height(s, r) : 0;
}

int32_t above_ground_level(System& s, int32_t e) {
  const uint8_t* r = element_at(s, e);
  return r ? wrap_add(word(r, ir::kPosY), wrap_neg(element_height(s, r))) : 0;
}

int32_t over_ground(System& s, int32_t e, int32_t h) {
  uint8_t* r = element_at(s, e);
  if (!r) return 0;
  const int32_t ground = element_height(s, r);
  set_word(r, ir::kVelY, 0);
  set_word(r, ir::kPosY, wrap_add(ground, h));
  return ground;
}

int32_t ground_color(System& s, int32_t e) {
  const uint8_t* r = element_at(s, e);
  if (!r || !s.collisions) return 0;
  bool upper = false;
  const BoundaryCell* c = grid_cell(s.collisions->grid, word(r, ir::kPosX), word(r, ir::kPosZ), upper);
  return c ? (upper ? c->upper_code : c->lower_code) : 0;
}

int32_t ground_slope(System& s, int32_t e) {
  const uint8_t* r = element_at(s, e);
  if (!r) return 0;
  IVec3 ahead{0, 0, kSlopeStep * 512};
  rotate_about_y(*s.core, ahead, normalise_angle(word(r, ir::kRotY)));
  const int32_t x = word(r, ir::kPosX), y = word(r, ir::kPosY), z = word(r, ir::kPosZ);
  const int32_t radius = word(r, ir::kCollisionRadius);
  const double front = height_at(s, wrap_add(x, ahead.x), y, wrap_add(z, ahead.z), radius);
  const double back = height_at(s, wrap_add(x, -ahead.x), y, wrap_add(z, -ahead.z), radius);
  const double radians = std::atan2(front - back, 2.0 * kSlopeStep * 512);
  return int32_t(std::lround(radians * 180.0 / 3.14159265358979323846 * kAngleUnitsPerDegree));
}

void over_ground_slope(System& s, int32_t e, int32_t h, int32_t rate) {
  uint8_t* r = element_at(s, e);
  if (!r) return;
  over_ground(s, e, h);
  const int32_t target = ground_slope(s, e);
  int32_t turn = normalise_angle(wrap_add(target, wrap_neg(word(r, ir::kRotX))));
  if (turn >= kFullTurn / 2) turn -= kFullTurn;
  if (rate > 0) turn = std::clamp(turn, -rate, rate);
  set_word(r, ir::kRotX, normalise_angle(wrap_add(word(r, ir::kRotX), turn)));
}

void over_ground_g(System& s, int32_t e, int32_t h, int32_t g) {
  uint8_t* r = element_at(s, e);
  if (!r) return;
  const int64_t floor_y = int64_t(element_height(s, r)) + h;
  if (word(r, ir::kPosY) > floor_y) {
    add_word(r, ir::kVelY, wrap_neg(g));
    if (int64_t(word(r, ir::kPosY)) + word(r, ir::kVelY) >= floor_y) return;
  }
  over_ground(s, e, h);
}

void ground_color_rebound(System& s, int32_t e, int32_t code) {
  uint8_t* r = element_at(s, e);
  if (!r || ground_color(s, e) != code) return;
  add_word(r, ir::kPosX, wrap_neg(word(r, ir::kVelX)));
  add_word(r, ir::kPosZ, wrap_neg(word(r, ir::kVelZ)));
  set_word(r, ir::kVelX, wrap_neg(word(r, ir::kVelX)));
  set_word(r, ir::kVelZ, wrap_neg(word(r, ir::kVelZ)));
}

// ---- Volumes ----
void volume_set(System& s, int32_t e) {
  if (element_at(s, e) && s.collisions) s.collisions->volume = ground_map_of(s, element_index_of(e));
}

int32_t inside_volume(System& s, int32_t e) {
  const uint8_t* r = element_at(s, e);
  if (!r || !s.collisions || !s.collisions->volume) return 0;
  return inside_volume_at(*s.collisions->volume, word(r, ir::kPosX), word(r, ir::kPosY), word(r, ir::kPosZ));
}

void volume_slide(System& s, int32_t e, int32_t dx, int32_t dy, int32_t dz, int32_t clearance) {
  uint8_t* r = element_at(s, e);
  if (!r || !s.collisions || !s.collisions->volume) return;
  const GroundMap& v = *s.collisions->volume;
  const int32_t x = word(r, ir::kPosX), y = word(r, ir::kPosY), z = word(r, ir::kPosZ);
  auto inside = [&](int32_t px, int32_t py, int32_t pz) {
    return inside_volume_at(v, px, wrap_add(py, wrap_mul(clearance, 512)), pz) != 0;
  };
  const IVec3 tries[4] = {{dx, dy, dz}, {dx, 0, 0}, {0, 0, dz}, {0, dy, 0}};
  for (const IVec3& t : tries) {
    if (!inside(wrap_add(x, t.x), wrap_add(y, t.y), wrap_add(z, t.z))) continue;
    set_word(r, ir::kPosX, wrap_add(x, t.x));
    set_word(r, ir::kPosY, wrap_add(y, t.y));
    set_word(r, ir::kPosZ, wrap_add(z, t.z));
    return;
  }
}

void volume_rebound(System& s, int32_t e, int32_t kx, int32_t ky, int32_t kz) {
  uint8_t* r = element_at(s, e);
  if (!r || !s.collisions || !s.collisions->volume) return;
  const GroundMap& v = *s.collisions->volume;
  const int32_t p[3] = {word(r, ir::kPosX), word(r, ir::kPosY), word(r, ir::kPosZ)};
  const int32_t vel[3] = {ir::kVelX, ir::kVelY, ir::kVelZ};
  const int32_t k[3] = {kx, ky, kz};
  for (int32_t a = 0; a < 3; ++a) {
    int32_t q[3] = {p[0], p[1], p[2]};
    q[a] = wrap_add(q[a], word(r, vel[a]));
    if (inside_volume_at(v, q[0], q[1], q[2]) != 0) continue;
    set_word(r, vel[a], saturate(-double(word(r, vel[a])) * k[a] / 1000.0));
  }
}

}  // namespace korva
