// Collisions, rebounds, ground maps and volumes on instance records wired by hand.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "brain/brain.h"
#include "brain/keyword_binding.h"
#include "engine/engine.h"
#include "engine/keyword_fixture.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kUnit = 512;  // position units per thousandth

class Collide : public KeywordFixture, public ::testing::Test {
 protected:
  Collisions col;
  Collide() { sys.collisions = &col; }

  uint8_t* matrix() { return core->pool(Pool::ProjectTable); }
  void code(int32_t i, int32_t j, int32_t c) { matrix()[i * 256 + j] = uint8_t(c); }
  // Element i, active with collisions on, at (x, y, z) thousandths, with a radius and an id.
  void solid(int32_t i, int32_t x, int32_t y, int32_t z, int32_t radius, int32_t id) {
    set(i, ir::kFlags, ir::kFlagActive | ir::kFlagCollisions);
    set3(i, ir::kPosX, x * kUnit, y * kUnit, z * kUnit);
    set(i, ir::kCollisionRadius, radius);
    set(i, ir::kId, id);
  }
  void rebuild() {
    for (int32_t c = 0; c < kCollisionCodes; ++c) col.code_colours[size_t(c)] = 0x100u + uint32_t(c);
    collision_pairs_build(sys);
  }
  int32_t hit(int32_t i) { return get(i, ir::kChannelsHit); }
};

TEST(CollisionBindings, EveryKeywordOfTheFamilyIsARowAndBound) {
  KeywordBindings b;
  bind_collision_keywords(b);
  for (const char* name :
       {"collision", "collision_list", "collision_range", "collision_color", "collision_map", "collision_map_set",
        "collision_check", "collisions_on", "collisions_off", "box_collisions_on", "box_collisions_off", "rebound",
        "rebound_yr", "rebound_yr_factor", "ground_set", "ground_level", "above_ground_level", "agl", "aglevel",
        "over_ground", "ground_color", "ground_slope", "over_ground_slope", "over_ground_g",
        "ground_color_rebound", "boundary_rebound", "volume_set", "inside_volume", "volume_slide",
        "volume_rebound"}) {
    const int32_t row = keyword_find(name);
    ASSERT_GE(row, 0) << name;
    EXPECT_NE(b.routine[row], nullptr) << name;
  }
}

TEST(IntegerSqrt, TableStepsAndAccuracy) {
  EXPECT_EQ(sqrt_table()[255], 255);
  EXPECT_EQ(sqrt_table()[64], 128);
  const struct {
    uint32_t x, root;
  } cases[] = {{0, 0}, {1, 1}, {3, 1}, {4, 2}, {16, 4}, {100, 10}, {225, 15}, {450, 21},
               {49000000, 6976}, {0xFFFFFFFFu, 65280}};
  for (const auto& c : cases) EXPECT_EQ(integer_sqrt(c.x), c.root) << c.x;
  // Within the table's resolution everywhere: 1/128 of a step, plus one for the small roots.
  for (uint64_t x = 1; x < 0xFFFFFFFFull; x = x * 3 / 2 + 7) {
    const double exact = std::sqrt(double(x));
    EXPECT_NEAR(double(integer_sqrt(uint32_t(x))), exact, exact * 0.035 + 1.0) << x;
  }
}

TEST(IntegerSqrt, DistancesThatPass32BitsAreInfinitelyFar) {
  EXPECT_EQ(integer_distance(15, 0, 0), 15u);
  EXPECT_EQ(integer_distance(40000, 40000, 0), integer_sqrt(3200000000u));
  EXPECT_EQ(integer_distance(40000, 40000, 40000), 0xFFFFFFFFu);  // the sum overflows
  EXPECT_EQ(integer_distance(0, 65536, 0), 0xFFFFFFFFu);          // one square overflows
  // A negative difference is shifted before it is negated: any gap below a thousandth counts 1.
  EXPECT_EQ(axis_gap(0, 1), 1);
  EXPECT_EQ(axis_gap(1, 0), 0);
  EXPECT_EQ(axis_gap(-512, 0), 1);
  EXPECT_EQ(axis_gap(INT32_MIN, INT32_MAX), 8388608);
}

TEST(Radii, FromBoundsAndTheBoxFallBack) {
  const Bounds cube{1000, 1000, 1000, -1000, -1000, -1000};
  EXPECT_EQ(collision_radius_of(cube), 1000);
  EXPECT_EQ(collision_radius_of(Bounds{-10, 0, 0, 20, 0, 0}), 5);  // |(-30) / 6|
  EXPECT_EQ(box_radius_of(cube, 1000), int32_t(integer_sqrt(2000000)));
  EXPECT_EQ(box_radius_of(Bounds{3000, 0, 0, -100, 0, -4000}, 7), int32_t(integer_sqrt(25000000)));
  EXPECT_EQ(box_radius_of(Bounds{40000, 0, 0, 0, 0, 0}, 77), 77);  // 40000^2 > 0x3fffffff
}

TEST(CodeColours, ThreeRampsOfFour) {
  const struct {
    int32_t code;
    int r, g, b;
  } cases[] = {{0, 255, 0, 0},   {3, 63, 0, 192},  {4, 0, 0, 255},   {7, 0, 192, 63},
               {8, 0, 255, 0},   {11, 192, 63, 0}, {12, 255, 0, 0},  {-3, 255, 0, 0}};
  for (const auto& c : cases) {
    const Rgb rgb = code_rgb(c.code);
    EXPECT_EQ(rgb.r, c.r) << c.code;
    EXPECT_EQ(rgb.g, c.g) << c.code;
    EXPECT_EQ(rgb.b, c.b) << c.code;
  }
}

TEST_F(Collide, PairListFollowsTheMatrixAndStopsAtTheLastElement) {
  auto model = model_create();
  model->last_index = 254;
  sys.model = model.get();
  code(1, 2, 1);
  code(0, 7, 11);
  code(3, 3, 5);    // the diagonal is no pair
  code(2, 1, 9);    // below the diagonal: not read
  code(254, 20, 1); // the project settings overlay row 254
  code(200, 254, 13);
  rebuild();
  ASSERT_EQ(col.pairs.size(), 3u);
  EXPECT_EQ(col.pairs[0].first, 7);
  EXPECT_EQ(col.pairs[0].second, 0);
  EXPECT_EQ(col.pairs[0].colour, 0x100u + 11);
  EXPECT_EQ(col.pairs[1].first, 2);
  EXPECT_EQ(col.pairs[1].second, 1);
  EXPECT_EQ(col.pairs[2].colour, 0x100u);  // code 13 takes the colour of code 0
  model->last_index = 5;
  rebuild();
  ASSERT_EQ(col.pairs.size(), 1u);
  EXPECT_EQ(col.pairs[0].first, 2);
  sys.model = nullptr;
}

TEST_F(Collide, PassEdgeCases) {
  code(1, 2, 1);
  code(1, 3, 4);
  rebuild();
  struct Case {
    const char* what;
    int32_t x2, z2, r1, r2;
    int32_t off;  // element whose collisions are off, or -1
    int32_t hits[3];
  } cases[] = {
      {"all at one point", 0, 0, 10, 10, -1, {2 | 4, 1, 1}},
      {"radii 0 at one point", 0, 0, 0, 0, -1, {0, 0, 0}},
      {"inside the sum of radii", 15, 0, 10, 10, -1, {2 | 4, 1, 1}},
      {"per-axis inside, distance outside", 15, 15, 10, 10, -1, {4, 0, 1}},
      {"axis gap equal to the radii", 20, 0, 10, 10, -1, {4, 0, 1}},
      {"collisions off on 2", 0, 0, 10, 10, 2, {4, 0, 1}},
      {"collisions off on 1", 0, 0, 10, 10, 1, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    solid(1, 0, 0, 0, c.r1, 1);
    solid(2, c.x2, 0, c.z2, c.r2, 2);
    solid(3, 0, 0, 0, c.r1, 4);
    if (c.off >= 0) collisions_off(sys, h(c.off));
    collision_pass(sys);
    EXPECT_EQ(hit(1), c.hits[0]) << c.what;
    EXPECT_EQ(hit(2), c.hits[1]) << c.what;
    EXPECT_EQ(hit(3), c.hits[2]) << c.what;
  }
}

TEST_F(Collide, ACodeZeroPairIsNeverTested) {
  code(1, 2, 1);
  rebuild();
  solid(1, 0, 0, 0, 10, 1);
  solid(2, 0, 0, 0, 10, 2);
  solid(3, 0, 0, 0, 10, 4);  // touching both, but no code with either
  set(3, ir::kChannelsHit, 99);
  collision_pass(sys);
  EXPECT_EQ(hit(1), 2);
  EXPECT_EQ(hit(2), 1);
  EXPECT_EQ(hit(3), 99);  // not in any pair: not even cleared
}

TEST_F(Collide, FarApartPairsNeverCollideWhateverTheirRadii) {
  code(1, 2, 1);
  rebuild();
  solid(1, 0, 0, 0, 100000, 1);
  solid(2, 40000, 40000, 40000, 100000, 2);  // truly 69 282 apart, but the squares pass 32 bits
  collision_pass(sys);
  EXPECT_EQ(hit(1), 0);
  solid(2, 40000, 40000, 0, 100000, 2);
  collision_pass(sys);
  EXPECT_EQ(hit(1), 2);
}

TEST_F(Collide, ResultsLastOneFrameAndHitColoursFollowThem) {
  code(1, 2, 6);
  rebuild();
  solid(1, 0, 0, 0, 10, 1);
  solid(2, 5, 0, 0, 10, 2);
  collision_pass(sys);
  EXPECT_EQ(collision_color(sys, 0x106), -1);
  EXPECT_EQ(collision_color(sys, 0x105), 0);
  EXPECT_EQ(collision_color(sys, 0), 0);  // pairs that missed have hit colour 0: no answer
  solid(2, 500, 0, 0, 10, 2);
  collision_pass(sys);
  EXPECT_EQ(collision_color(sys, 0x106), 0);
  EXPECT_EQ(hit(1), 0);
}

TEST_F(Collide, BoxTestUsesRotatedFootprintsAndVerticalExtents) {
  code(1, 2, 1);
  rebuild();
  const Bounds cube{1000, 1000, 1000, -1000, -1000, -1000};
  col.bounds[1] = col.bounds[2] = cube;
  struct Case {
    const char* what;
    int32_t x2, y2, rot2;
    Bounds b2;
    bool hits;
  } cases[] = {
      {"side by side, square", 2100, 0, 0, cube, false},
      {"side by side, turned 45 degrees", 2100, 0, 45 * 512, cube, true},
      {"one above the other", 0, 2100, 0, cube, false},
      {"overlapping", 1500, 0, 0, cube, true},
      {"small box wholly inside", 0, 0, 0, Bounds{100, 100, 100, -100, -100, -100}, true},
  };
  for (const Case& c : cases) {
    col.bounds[2] = c.b2;
    solid(1, 0, 0, 0, 1000, 1);
    solid(2, c.x2, c.y2, 0, 1000, 2);
    for (int32_t i : {1, 2}) {
      box_collisions_on(sys, h(i));
      set(i, ir::kBoxRadius, box_radius_of(col.bounds[size_t(i)], 1000));
    }
    set(2, ir::kRotY, c.rot2);
    collision_pass(sys);
    EXPECT_EQ(hit(1) == 2, c.hits) << c.what;
  }
  // With box collisions off on one side the radii decide: 2100 apart, radii 1000 + 1000.
  col.bounds[2] = cube;
  solid(2, 2100, 0, 0, 1000, 2);
  set(2, ir::kRotY, 45 * 512);
  box_collisions_off(sys, h(2));
  collision_pass(sys);
  EXPECT_EQ(hit(1), 0);
}

TEST_F(Collide, ReboundExchangesVelocityAlongTheLineOfCentres) {
  solid(1, 0, 0, 0, 10, 1);
  solid(2, 10, 0, 0, 10, 2);
  set3(1, ir::kVelX, 1000, 33, 200);
  set3(2, ir::kVelX, -500, 44, -300);
  rebound(sys, h(1), h(2));
  EXPECT_EQ(get(1, ir::kVelX), -500);
  EXPECT_EQ(get(2, ir::kVelX), 1000);
  EXPECT_EQ(get(1, ir::kVelZ), 200);   // across the line of centres: kept
  EXPECT_EQ(get(2, ir::kVelZ), -300);
  EXPECT_EQ(get(1, ir::kVelY), 33);    // vertical: untouched
  EXPECT_EQ(get(2, ir::kVelY), 44);

  // At 45 degrees a moving ball hands its along-centres half to a resting one.
  solid(2, 10, 0, 10, 10, 2);
  set3(1, ir::kVelX, 1000, 0, 0);
  set3(2, ir::kVelX, 0, 0, 0);
  rebound(sys, h(1), h(2));
  EXPECT_NEAR(get(1, ir::kVelX), 500, 2);
  EXPECT_NEAR(get(1, ir::kVelZ), -500, 2);
  EXPECT_NEAR(get(2, ir::kVelX), 500, 2);
  EXPECT_NEAR(get(2, ir::kVelZ), 500, 2);

  const std::vector<uint8_t> before(record(1), record(1) + 1024);
  rebound(sys, h(1), -1);
  rebound(sys, h(1), h(1));
  EXPECT_EQ(std::memcmp(before.data(), record(1), 1024), 0);
}

TEST_F(Collide, ReboundYrAddsASpinWhoseSignFollowsTheSide) {
  const struct {
    int32_t z2, factor, spin_before, spin_after;
  } cases[] = {{10, 250, 0, -10}, {-10, 250, 0, 10}, {10, 250, 7, -3}, {10, 125, 0, -20}, {10, 0, 5, 5}};
  for (const auto& c : cases) {
    solid(1, 0, 0, 0, 10, 1);
    solid(2, 0, 0, c.z2, 10, 2);
    set3(1, ir::kVelX, 0, 0, 0);
    set3(2, ir::kVelX, 2500, 0, 0);
    set(1, ir::kSpinY, c.spin_before);
    rebound_yr_factor(sys, c.factor);
    rebound_yr(sys, h(1), h(2));
    EXPECT_EQ(get(1, ir::kSpinY), c.spin_after) << c.z2 << " " << c.factor;
  }
}

TEST_F(Collide, KeywordsReadAndChangeTheResults) {
  for (int32_t i = 0; i < 8; ++i) set(i, ir::kChannelsHit, 1 << i);
  EXPECT_EQ(collision(sys, h(3), 0xFF), 8);
  EXPECT_EQ(collision(sys, h(3), 7), 0);
  EXPECT_EQ(collision_list(sys, h(1), 2, 0xFF) & 0xFF, 2 | 8 | 32 | 128);
  EXPECT_EQ(collision_list(sys, h(1), 0, 0xFF), 0);
  EXPECT_EQ(collision_list(sys, h(5), -2, 0xFF), 32 | 8 | 2);
  EXPECT_EQ(collision_range(sys, h(2), 0xFF, h(4)), 4 | 8 | 16);
  EXPECT_EQ(collision_range(sys, h(2), 8, h(4)), 8);

  code(3, 9, 7);
  EXPECT_EQ(collision_map(sys, h(9), h(3)), 7);
  EXPECT_EQ(collision_map(sys, h(3), h(9)), 7);
  EXPECT_EQ(collision_map(sys, h(3) | INT32_MIN, h(9)), 0);
  EXPECT_EQ(collision_map(sys, h(3), -1), 0);
  rebuild();
  const size_t pairs = col.pairs.size();
  collision_map_set(sys, h(12), h(4), 2);
  EXPECT_EQ(matrix()[4 * 256 + 12], 2);
  EXPECT_EQ(col.pairs.size(), pairs + 1);
  collision_map_set(sys, h(4), h(12), 0);
  EXPECT_EQ(col.pairs.size(), pairs);

  solid(20, 0, 0, 0, 10, 16);
  solid(21, 5, 0, 0, 10, 32);
  set(20, ir::kChannelsHit, 0);
  set(21, ir::kChannelsHit, 0);
  collision_check(sys, h(20), h(21));  // no matrix code needed: a direct test
  EXPECT_EQ(get(20, ir::kChannelsHit), 32);
  EXPECT_EQ(get(21, ir::kChannelsHit), 16);

  EXPECT_EQ(collision(sys, -5, -1), 0);
  collisions_on(sys, -1);
  box_collisions_on(sys, h(20));
  EXPECT_NE(get(20, ir::kFlags) & ir::kFlagBoxCollisions, 0);
}

// ---- Ground maps ----

GroundTriangle tri(std::array<int32_t, 9> v) { return GroundTriangle{v}; }

// A square of side 2000 thousandths sloping up along x: y = x / 2.
std::vector<GroundTriangle> slope() {
  return {tri({-1000, -500, -1000, 1000, 500, -1000, 1000, 500, 1000}),
          tri({-1000, -500, -1000, 1000, 500, 1000, -1000, -500, 1000})};
}

TEST(GroundMap, FileLayoutByteForByte) {
  const std::vector<uint8_t> f = m3d_build(slope(), 77);
  ASSERT_GE(f.size(), 64u + 72u + 65536u);
  auto u32 = [&](size_t at) {
    int32_t v;
    std::memcpy(&v, f.data() + at, 4);
    return v;
  };
  EXPECT_EQ(std::memcmp(f.data(), "d3m.", 4), 0);
  EXPECT_EQ(u32(8) - u32(4), 72);
  EXPECT_EQ(u32(12), 2000);
  EXPECT_EQ(u32(16), 77);
  for (size_t k = 20; k < 64; ++k) EXPECT_EQ(f[k], 0) << k;
  EXPECT_EQ(u32(64 + 36 + 4), -500);  // the second triangle's y1
  // The cell of (row 0, column 0) holds a list of the triangles over the map's corner.
  const int32_t first = u32(64 + 72);
  ASSERT_GT(first, 0);
  const int32_t n = u32(size_t(64 + first));
  EXPECT_GE(n, 1);
  for (int32_t k = 0; k < n; ++k) EXPECT_EQ(u32(size_t(64 + first + 4 + 4 * k)) % 36, 0);
  // The lists end the file.
  size_t expect = 64 + 72 + 65536;
  for (int32_t c = 0; c < 128 * 128; ++c)
    if (int32_t o = u32(size_t(64 + 72 + 4 * c)); o != 0) expect += 4 + 4 * size_t(u32(size_t(64 + o)));
  EXPECT_EQ(f.size(), expect);
}

TEST(GroundMap, HeightsFollowTheModel) {
  const auto map = m3d_parse(m3d_build(slope(), 1));
  ASSERT_TRUE(map);
  const struct {
    int32_t x, z, height;
  } cases[] = {
      {400, 0, 200},     {-600, 300, -300}, {0, -999, 0},  {998, 998, 499},
      {-1000, 0, -500},  // the near edge is inside
      {1000, 0, 0},      // the far edge D/2 maps to column 128: outside, height 0
      {0, 1000, 0},      {-1001, 0, 0},     {5000, 5000, 0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(ground_height(*map, c.x * kUnit, 0, c.z * kUnit, 0), c.height * kUnit, 1) << c.x << "," << c.z;
}

TEST(GroundMap, OverlappingTrianglesPickTheNearestBelowTheTop) {
  const auto map = m3d_parse(m3d_build({tri({-1000, 0, -1000, 1000, 0, -1000, 1000, 0, 1000}),
                                        tri({-1000, 1000, -1000, 1000, 1000, -1000, 1000, 1000, 1000})},
                                       0));
  ASSERT_TRUE(map);
  const struct {
    int32_t y, radius, height;
  } cases[] = {{500, 0, 0}, {1200, 0, 1000}, {900, 200, 1000}, {900, 50, 0}, {-100, 0, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(ground_height(*map, 500 * kUnit, c.y * kUnit, -500 * kUnit, c.radius), c.height * kUnit) << c.y;
}

TEST(GroundMap, VolumesByWinding) {
  // Floor at 0 wound with C <= 0, ceiling at 1000 wound with C > 0: a closed slab.
  const auto v = m3d_parse(m3d_build({tri({-1000, 0, -1000, 1000, 0, -1000, 1000, 0, 1000}),
                                      tri({-1000, 1000, -1000, 1000, 1000, 1000, 1000, 1000, -1000})},
                                     0));
  ASSERT_TRUE(v);
  EXPECT_EQ(inside_volume_at(*v, 500 * kUnit, 500 * kUnit, -500 * kUnit), -1);
  EXPECT_EQ(inside_volume_at(*v, 500 * kUnit, 1500 * kUnit, -500 * kUnit), 0);
  EXPECT_EQ(inside_volume_at(*v, 500 * kUnit, -500 * kUnit, -500 * kUnit), 0);
  EXPECT_EQ(inside_volume_at(*v, -500 * kUnit, 500 * kUnit, 500 * kUnit), 0);  // no triangle there
}

TEST(GroundMap, BadFilesAreRefusedWithoutReadingOutside) {
  const std::vector<uint8_t> good = m3d_build(slope(), 5);
  ASSERT_TRUE(m3d_parse(good));
  auto put = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
    if (at + 4 <= f.size()) std::memcpy(f.data() + at, &v, 4);
  };
  const size_t table = 64 + 72;
  const uint32_t first_list = [&] {
    uint32_t o;
    std::memcpy(&o, good.data() + table, 4);
    return o;
  }();
  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> spoil;
  } cases[] = {
      {"short", [](auto& f) { f.resize(100); }},
      {"short cell table", [](auto& f) { f.resize(64 + 72 + 65000); }},
      {"tag", [](auto& f) { f[0] = 'x'; }},
      {"block end before start", [&](auto& f) { put(f, 8, 10); }},
      {"block not whole triangles", [&](auto& f) { put(f, 8, 64 + 71); }},
      {"block past the end", [&](auto& f) { put(f, 8, 64 + 36 * 100000); }},
      {"extent 0", [&](auto& f) { put(f, 12, 0); }},
      {"extent negative", [&](auto& f) { put(f, 12, uint32_t(-2000)); }},
      {"cell offset past the end", [&](auto& f) { put(f, table, uint32_t(f.size())); }},
      {"cell count past the end", [&](auto& f) { put(f, 64 + first_list, 0x40000000u); }},
      {"triangle outside the block", [&](auto& f) { put(f, 64 + first_list + 4, 72); }},
      {"triangle not on a record", [&](auto& f) { put(f, 64 + first_list + 4, 4); }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> f = good;
    c.spoil(f);
    std::string why;
    EXPECT_FALSE(m3d_parse(f, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
  // Absurd but well-formed coordinates load and answer without overflow.
  const auto wild =
      m3d_parse(m3d_build({tri({INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, 0, 0, 0, INT32_MAX})}, 0));
  ASSERT_TRUE(wild);
  for (int32_t x : {INT32_MIN, -1, 0, INT32_MAX}) (void)ground_height(*wild, x, 0, x, INT32_MAX);
}

TEST(GroundMap, RandomDamageNeverCrashes) {
  const std::vector<uint8_t> good = m3d_build(slope(), 5);
  std::mt19937 rng(17);
  for (int32_t round = 0; round < 300; ++round) {
    std::vector<uint8_t> f = good;
    for (int32_t k = 0; k < 6; ++k) f[rng() % f.size()] = uint8_t(rng());
    if (rng() % 4 == 0) f.resize(rng() % f.size());
    if (const auto m = m3d_parse(f))
      for (int32_t x : {-900, 0, 900}) (void)ground_height(*m, x * kUnit, 0, x * kUnit, 10);
  }
}

TEST_F(Collide, GroundKeywordsThroughTheSelectedMap) {
  ground_map_attach(sys, 40, m3d_parse(m3d_build(slope(), 0)));
  set(9, ir::kCurrentAspect, 40);
  solid(1, 400, 900, 0, 0, 1);
  set(1, ir::kVelY, -77);
  EXPECT_EQ(ground_level(sys, h(1)), 0);  // nothing selected, no boundary grid
  ground_set(sys, h(9));
  EXPECT_EQ(ground_level(sys, h(1)), 200 * kUnit);
  EXPECT_EQ(above_ground_level(sys, h(1)), 700 * kUnit);
  EXPECT_EQ(over_ground(sys, h(1), 0), 200 * kUnit);
  EXPECT_EQ(get(1, ir::kPosY), 200 * kUnit);
  EXPECT_EQ(get(1, ir::kVelY), 0);
  over_ground(sys, h(1), 30);
  EXPECT_EQ(get(1, ir::kPosY), 200 * kUnit + 30);
  EXPECT_EQ(over_ground(sys, -1, 0), 0);
  // Facing +z the slope runs across: level. Facing +x (a turn of -90 degrees) it climbs at atan(1/2).
  EXPECT_EQ(ground_slope(sys, h(1)), 0);
  set(1, ir::kRotY, 270 * 512);
  EXPECT_NEAR(ground_slope(sys, h(1)), std::atan(0.5) * 180 / M_PI * 512, 64);

  volume_set(sys, h(9));
  EXPECT_EQ(inside_volume(sys, -1), 0);
  EXPECT_EQ(inside_volume(sys, h(1)), -1);  // above a floor-wound triangle
  set(1, ir::kPosY, -1000 * kUnit);
  EXPECT_EQ(inside_volume(sys, h(1)), 0);   // under it
}

TEST_F(Collide, TheBoundaryGridAnswersLikeTheMapOnFlatGround) {
  const auto flat = m3d_parse(m3d_build({tri({-1000, 300, -1000, 1000, 300, -1000, 1000, 300, 1000}),
                                         tri({-1000, 300, -1000, 1000, 300, 1000, -1000, 300, 1000})},
                                        0));
  ASSERT_TRUE(flat);
  col.grid = boundary_grid_from(*flat, 6);
  for (int32_t x : {-990, -400, 0, 333, 990}) {
    solid(1, x, 0, -x / 2, 0, 1);
    EXPECT_EQ(ground_level(sys, h(1)), ground_height(*flat, x * kUnit, 0, (-x / 2) * kUnit, 0)) << x;
    EXPECT_EQ(ground_color(sys, h(1)), 6) << x;
  }
  solid(1, 5000, 0, 0, 0, 1);
  EXPECT_EQ(ground_level(sys, h(1)), 0);
  EXPECT_EQ(ground_color(sys, h(1)), 0);
}

TEST_F(Collide, GroundColourReboundTurnsBackAtAWall) {
  // A wall: a step of 1000 over 16 thousandths of one cell is steeper than 45 degrees.
  const auto steep = m3d_parse(m3d_build({tri({-1000, 0, -1000, 1000, 0, -1000, 1000, 0, 1000}),
                                          tri({-1000, 0, -1000, 1000, 0, 1000, -1000, 0, 1000}),
                                          tri({0, 0, -1000, 16, 1000, -1000, 16, 1000, 1000})},
                                         0));
  ASSERT_TRUE(steep);
  col.grid = boundary_grid_from(*steep, 0);
  solid(1, 8, 0, 0, 0, 1);
  set3(1, ir::kVelX, 512, 0, 256);
  ground_color_rebound(sys, h(1), 1);
  EXPECT_EQ(get(1, ir::kVelX), -512);
  EXPECT_EQ(get(1, ir::kVelZ), -256);
  EXPECT_EQ(get(1, ir::kPosX), 8 * kUnit - 512);
  solid(1, -500, 0, 0, 0, 1);
  set3(1, ir::kVelX, 512, 0, 0);
  ground_color_rebound(sys, h(1), 1);  // flat ground: code 0, nothing happens
  EXPECT_EQ(get(1, ir::kVelX), 512);
}

TEST_F(Collide, VolumeSlideAndReboundKeepAnElementInside) {
  ground_map_attach(sys, 41, m3d_parse(m3d_build({tri({-1000, 0, -1000, 1000, 0, -1000, 1000, 0, 1000}),
                                                  tri({-1000, 0, -1000, 1000, 0, 1000, -1000, 0, 1000}),
                                                  tri({-1000, 1000, -1000, 1000, 1000, 1000, 1000, 1000, -1000}),
                                                  tri({-1000, 1000, -1000, -1000, 1000, 1000, 1000, 1000, 1000})},
                                                 0)));
  set(9, ir::kCurrentAspect, 41);
  volume_set(sys, h(9));
  solid(1, 0, 500, 0, 0, 1);
  EXPECT_EQ(inside_volume(sys, h(1)), -1);
  volume_slide(sys, h(1), 100 * kUnit, 800 * kUnit, 0, 0);  // the whole step would leave: x alone
  EXPECT_EQ(get(1, ir::kPosX), 100 * kUnit);
  EXPECT_EQ(get(1, ir::kPosY), 500 * kUnit);
  set3(1, ir::kVelX, 10 * kUnit, 900 * kUnit, 0);
  volume_rebound(sys, h(1), 1000, 500, 1000);
  EXPECT_EQ(get(1, ir::kVelX), 10 * kUnit);
  EXPECT_EQ(get(1, ir::kVelY), -450 * kUnit);
}

}  // namespace
}  // namespace korva
