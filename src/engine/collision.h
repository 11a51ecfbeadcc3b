// Collisions between elements, rebounds, and ground maps. At run start the bounds and radii of
// every element and the pair list from the project's 256 x 256 collision matrix are set up;
// each frame the collision pass tests the pairs and records in each element the channel bits
// that touched it. Ground maps (.m3d) are triangle soups bucketed into a 128 x 128 grid that
// the ground keywords query; the same layout serves as a volume.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/system.h"
#include "engine/triangles.h"

namespace korva {

struct Core;

// ---- The integer square root every collision distance uses ----
// T[i] = round(16 sqrt(i)) for i in 0..255.
const std::array<uint8_t, 256>& sqrt_table();
// Approximate root through the table: x is brought into 64..255 by an even shift, looked up
// and shifted back. 0 gives 0.
uint32_t integer_sqrt(uint32_t x);
// The integer distance in thousandths between two positions (components shifted right by 9);
// 0xFFFFFFFF (infinitely far) when a square or the sum does not fit 32 bits.
uint32_t integer_distance(int64_t dx, int64_t dy, int64_t dz);
// Per-axis gap in thousandths: |a - b| >> 9, where a negative difference is shifted before it
// is negated (so any non-zero gap counts at least 1).
int64_t axis_gap(int32_t a, int32_t b);

// rotate_about_y's rule (each product shifted right by 15) in 64 bits, so that any 32-bit
// velocities, gaps or bounds turn without overflow.
struct Turned {
  int64_t x = 0, z = 0;
};
Turned turn_about_y(const Core& c, int64_t x, int64_t z, int32_t angle);
int32_t saturate32(int64_t v);

// ---- Bounds, radii and the pair list ----
// In thousandths of a scene unit (512 position units each).
struct Bounds {
  int32_t max_x = 0, max_y = 0, max_z = 0, min_x = 0, min_y = 0, min_z = 0;
};
Bounds bounds_of_triangles(const TriangleList& tris, float scale);  // scale: model units to thousandths
constexpr Bounds kFlatShapeBounds{1000, 1000, 1, -1000, -1000, -1};
constexpr Bounds kCameraBounds{250, 250, 250, -250, -250, -250};

int32_t collision_radius_of(const Bounds& b);
// The box radius: the farthest footprint corner from the centre, or the collision radius when
// a corner's square does not fit 30 bits.
int32_t box_radius_of(const Bounds& b, int32_t collision_radius);

// A code's colour: red, green, blue of (255 - b, 0, b), (0, b - 256, 511 - b) or
// (b - 512, 767 - b, 0) with b = 64 code; codes above 11 count as 0.
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};
Rgb code_rgb(int32_t code);
constexpr int32_t kCollisionCodes = 12;

struct CollisionPair {
  int32_t first = 0;    // element j (the larger index)
  int32_t second = 0;   // element i
  uint32_t colour = 0;  // the colour of the pair's code
  uint32_t hit = 0;     // the colour when the pair collided this frame, else 0
};

// ---- Ground maps ----
constexpr int32_t kGridSide = 128;
constexpr int32_t kM3dHeaderBytes = 64;
constexpr int32_t kTriangleBytes = 36;
constexpr int32_t kCellTableBytes = kGridSide * kGridSide * 4;
constexpr char kM3dTag[5] = "d3m.";
// Files bigger than this are refused before they are read (a 20 000-triangle terrain is ~1 MB).
constexpr int64_t kMaxM3dBytes = 64 << 20;

struct GroundTriangle {
  std::array<int32_t, 9> v{};  // x1, y1, z1, x2, y2, z2, x3, y3, z3 in thousandths
};

// A loaded map, checked on load: every cell list lies inside the file and names whole triangles.
struct GroundMap {
  int32_t extent = 0;  // D, thousandths
  uint32_t stamp = 0;
  std::vector<GroundTriangle> triangles;
  std::vector<uint32_t> cell_start;  // kGridSide^2 + 1 entries into cell_items
  std::vector<uint32_t> cell_items;  // triangle indices
  std::span<const uint32_t> cell(int32_t row, int32_t column) const {
    const size_t k = size_t(row) * kGridSide + size_t(column);
    return {cell_items.data() + cell_start[k], cell_items.data() + cell_start[k + 1]};
  }
};

// Reads an .m3d image; nullptr with a reason when it is not a sound map.
std::shared_ptr<GroundMap> m3d_parse(std::span<const uint8_t> bytes, std::string* why = nullptr);
// The file bytes of a map made from triangles (thousandths) with the stamp.
std::vector<uint8_t> m3d_build(const std::vector<GroundTriangle>& triangles, uint32_t stamp);
// The content stamp of a model: FNV-1a over its bytes, so a copied project keeps valid maps
// and any change to the model regenerates its map. model_stamp reads the file (0 when unreadable).
uint32_t content_stamp(std::span<const uint8_t> bytes);
uint32_t model_stamp(std::string_view path);
// The stamp stored in an .m3d file, or false when the file has no header.
bool m3d_stamp(std::string_view path, uint32_t& stamp);
// Triangles of a model in thousandths.
std::vector<GroundTriangle> ground_triangles(const TriangleList& model);

// Height in position units at (x, z) for an element at height y with collision radius r.
int32_t ground_height(const GroundMap& m, int32_t x, int32_t y, int32_t z, int32_t radius);
// -1 when (x, y, z) is inside the volume, else 0.
int32_t inside_volume_at(const GroundMap& m, int32_t x, int32_t y, int32_t z);
// The point-in-triangle test in the x-z plane (thousandths); limit 1.01 for ground, 1 for volumes.
bool triangle_contains(const GroundTriangle& t, float px, float pz, float limit);

// The boundary grid: the boundary element's map resampled into square cells of two triangles
// split along a diagonal, each half carrying a colour code (80 bytes a cell as stored).
struct BoundaryCell {
  std::array<int32_t, 9> lower{};  // corners (x0,z0), (x1,z0), (x1,z1)
  int32_t lower_code = 0;
  std::array<int32_t, 9> upper{};  // corners (x0,z0), (x1,z1), (x0,z1)
  int32_t upper_code = 0;
};
static_assert(sizeof(BoundaryCell) == 80);
struct BoundaryGrid {
  int32_t extent = 0;  // 0: no grid
  std::vector<BoundaryCell> cells;  // kGridSide^2, row-major by z then x
};
BoundaryGrid boundary_grid_from(const GroundMap& m, int32_t code);

// ---- The state of one run ----
struct Collisions {
  std::array<Bounds, 256> bounds{};
  std::vector<CollisionPair> pairs;
  std::vector<int32_t> paired;  // the elements of some pair, in index order
  std::array<uint32_t, kCollisionCodes> code_colours{};
  int32_t rebound_yr_factor = 250;
  // Ground maps by asset slot (loaded by the BOUNDARY loader and kept for the run).
  std::vector<std::shared_ptr<GroundMap>> maps;
  std::shared_ptr<GroundMap> ground;   // selected by ground_set
  std::shared_ptr<GroundMap> volume;   // selected by volume_set
  int32_t boundary_element = -1;       // the element whose first asset is a ground map
  BoundaryGrid grid;
};

// Stores the asset record words of a map in slot's record and keeps the map.
void ground_map_attach(System& s, int32_t slot, std::shared_ptr<GroundMap> map);
// The map an element's current aspect holds, or nullptr.
std::shared_ptr<GroundMap> ground_map_of(const System& s, int32_t element);

// Run start: bounds of every element (given by the caller per kind), radii, pair list from the
// matrix (elements 0..last only), the factor, the boundary element and its grid.
void collision_setup(System& s, const std::array<bool, 256>& has_bounds);
// Rebuilds the pair list from the project table.
void collision_pairs_build(System& s);
// The collision pass over the pair list.
void collision_pass(System& s);
// True when the pair would collide now (steps 2 to 5 of the pass).
bool elements_collide(const System& s, int32_t a, int32_t b);

// ---- Keywords ----
int32_t collision(System& s, int32_t e, int32_t mask);
int32_t collision_list(System& s, int32_t e, int32_t step, int32_t mask);
int32_t collision_range(System& s, int32_t e1, int32_t mask, int32_t e2);
int32_t collision_color(System& s, int32_t c);
int32_t collision_map(System& s, int32_t a, int32_t b);
void collision_map_set(System& s, int32_t a, int32_t b, int32_t code);
void collision_check(System& s, int32_t a, int32_t b);
void collisions_on(System& s, int32_t e);
void collisions_off(System& s, int32_t e);
void box_collisions_on(System& s, int32_t e);
void box_collisions_off(System& s, int32_t e);
void rebound(System& s, int32_t a, int32_t b);
void rebound_yr(System& s, int32_t e, int32_t other);
void rebound_yr_factor(System& s, int32_t f);

void ground_set(System& s, int32_t e);
int32_t ground_level(System& s, int32_t e);
int32_t above_ground_level(System& s, int32_t e);
int32_t over_ground(System& s, int32_t e, int32_t h);
int32_t ground_color(System& s, int32_t e);
// The slope of the ground along e's heading, as a rotation x in angle units (nose up positive).
int32_t ground_slope(System& s, int32_t e);
// over_ground, then rotation x turned towards the slope by at most rate angle units (all of it
// when rate <= 0).
void over_ground_slope(System& s, int32_t e, int32_t h, int32_t rate);
// Falls with gravity g (velocity y -= g) while above ground + h; on reaching it, stands there.
void over_ground_g(System& s, int32_t e, int32_t h, int32_t g);
// When the boundary cell half under e has the given code, e steps back by its velocity and
// its horizontal velocity is reversed (also boundary_rebound).
void ground_color_rebound(System& s, int32_t e, int32_t code);
void volume_set(System& s, int32_t e);
int32_t inside_volume(System& s, int32_t e);
// Moves e by (dx, dy, dz) as far as the volume lets it: the whole step, else the x step, the z
// step and the y step alone, each only when it keeps e (raised by clearance) inside.
void volume_slide(System& s, int32_t e, int32_t dx, int32_t dy, int32_t dz, int32_t clearance);
// Reverses each velocity component whose step alone would take e out of the volume, scaled
// by kx, ky, kz thousandths (1000: an elastic bounce).
void volume_rebound(System& s, int32_t e, int32_t kx, int32_t ky, int32_t kz);

}  // namespace korva
