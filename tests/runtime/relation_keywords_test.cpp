// Element relation keywords: directions, distances, areas, finding and switching on elements,
// joins, attraction and steering, interpolation, and handles that name no element.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "brain/keyword_binding.h"
#include "brain/machine.h"
#include "engine/keyword_fixture.h"
#include "engine/rotation.h"
#include "model/model.h"
#include "runtime/relation_keywords.h"

namespace korva {
namespace {

constexpr int32_t kMetre = 512000;  // position units
constexpr int32_t kLast = 9;        // the test table holds elements 0..9

class Relations : public KeywordFixture, public ::testing::Test {
 protected:
  std::unique_ptr<Model> model = model_create();

  Relations() {
    model->last_index = kLast;
    sys.model = model.get();
  }
  void place(int32_t i, int32_t x, int32_t y, int32_t z) { set3(i, ir::kPosX, x, y, z); }
  // Element i active (or not) in the classes of id.
  void classify(int32_t i, int32_t id, bool active) {
    set(i, ir::kId, id);
    set(i, ir::kFlags, active ? ir::kFlagActive : 0);
  }
  std::vector<uint8_t> snapshot() {
    const uint8_t* p = core->pool(Pool::Instances);
    return {p, p + pool_bytes(Pool::Instances)};
  }
};

// Marks the element whose sound was started (stands in for the sound system).
void fake_play_sound(System& s, int32_t e) {
  if (uint8_t* r = instance_at(s, e)) ir_set(r, ir::kSignal, 77);
}

TEST(RelationBindings, EveryRelationKeywordIsARowAndBound) {
  KeywordBindings b;
  bind_relation_keywords(b);
  for (const char* name :
       {"angle", "direction_xz", "distance_xz", "distance", "inside_area_xz", "nearest_element",
        "random_element", "element_find", "element", "on_list", "on_range", "join", "join_pos",
        "child_pos", "child_rot", "random_position_xz", "attract", "attract_xz", "attract_y",
        "attract_point", "attract_xr", "attract_yr", "attract_zr", "lift", "sight", "steer",
        "steer_angle_to", "orient_straight", "orient_forward", "interpolate"}) {
    const int32_t row = keyword_find(name);
    ASSERT_GE(row, 0) << name;
    EXPECT_NE(b.routine[row], nullptr) << name;
  }
}

// `angle` reads the table with half the ratio direction_xz uses: (1000, 1000) comes out as the
// direction of (1, 0.5), 26.5 degrees off the x axis, in every quadrant.
TEST_F(Relations, AngleGivesTheDirectionOfTheVectorInEveryQuadrant) {
  const struct {
    int32_t x, z, angle;
  } cases[] = {
      {0, 5, 0},           {5, 0, -46080},        {-5, 0, 46080},       {0, -5, 92160},
      {0, 0, 0},           {1000, 1000, (212 - 720) * 64},  {-1000, 1000, 32512}, {1000, -1000, 124672},
      {-1000, -1000, 59648},
      {866025, 1000000, (240 - 720) * 64},  // 30 degrees off the x axis at the doubled z
      {1, 1000, 0},                         // steeper than the table reads as 90 degrees
      {1, 600, -128},                       // just inside it
      {INT32_MIN, INT32_MIN, 59648},        // no overflow in the ratio
  };
  for (const auto& c : cases) EXPECT_EQ(angle(sys, c.x, c.z), c.angle) << c.x << "," << c.z;
}

TEST_F(Relations, DirectionXzPointsFromAToB) {
  place(1, 0, 0, 0);
  const struct {
    int32_t x, z, angle;
  } cases[] = {{0, kMetre, 0},           {kMetre, 0, -46080},       {-kMetre, 0, 46080},
               {kMetre, kMetre, -23040}, {-kMetre, -kMetre, 69120}, {kMetre, -kMetre, 115200},
               {866025 * 512 / 1000, 500000 * 512 / 1000, (240 - 720) * 64}};
  for (const auto& c : cases) {
    place(2, c.x, 77, c.z);
    EXPECT_EQ(direction_xz(sys, h(1), h(2)), c.angle) << c.x << "," << c.z;
  }
  EXPECT_EQ(direction_xz(sys, h(2), h(2)), 0);
  // Two elements further apart than 32 bits can hold still face each other.
  place(1, -2000000000, 0, 0);
  place(2, 2000000000, 0, 0);
  EXPECT_EQ(direction_xz(sys, h(1), h(2)), -46080);
  EXPECT_EQ(direction_xz(sys, h(2), h(1)), 46080);
}

TEST_F(Relations, DistancesRoundToTheMillimetreAndSaturate) {
  place(1, 0, 0, 0);
  const struct {
    int32_t x, y, z, xz, xyz;
  } cases[] = {
      // distance is the collision pass's table root (within 1/128 of the true one), and
      // counts squares past 32 bits as infinitely far; distance_xz rounds the exact root.
      {3 * kMetre, 99 * kMetre, 4 * kMetre, 5000 * 512, 0},
      {2 * kMetre, 3 * kMetre, 6 * kMetre, 0, 6976 * 512},
      {512, 512, 512, 512, 512},             // sqrt 2 rounds down; the table gives 1 for 3
      {-1024, 0, -512, 1024, 1024},          // sqrt 5 rounds down
      {2000000000, 0, 0, 3906250 * 512, INT32_MAX},
  };
  for (const auto& c : cases) {
    place(2, c.x, c.y, c.z);
    if (c.xz) {
      EXPECT_EQ(distance_xz(sys, h(1), h(2)), c.xz) << c.x;
    }
    if (c.xyz) {
      EXPECT_EQ(distance(sys, h(2), h(1)), c.xyz) << c.x;
    }
  }
  place(1, -2000000000, 0, 0);
  EXPECT_EQ(distance_xz(sys, h(1), h(2)), INT32_MAX);  // 4 000 000 000 units apart
}

TEST_F(Relations, InsideAreaIncludesItsBorders) {
  const struct {
    int32_t x, z, inside;
  } cases[] = {{100, 200, -1}, {0, 0, -1}, {100, 0, -1}, {-1, 100, 0}, {101, 100, 0},
               {50, -1, 0},    {50, 201, 0}, {50, 100, -1}};
  for (const auto& c : cases) {
    place(3, c.x, 12345, c.z);
    EXPECT_EQ(inside_area_xz(sys, h(3), 0, 100, 0, 200), c.inside) << c.x << "," << c.z;
  }
}

TEST_F(Relations, NearestElementTakesTheEarlierOfATie) {
  place(5, 0, 0, 0);
  classify(5, 1, true);
  classify(1, 2, true);  // wrong class
  place(1, 10, 0, 0);
  classify(2, 3, false);  // inactive, and nearer than all
  place(2, 0, 0, 0);
  classify(3, 1, true);
  place(3, 0, 0, 4 * kMetre);
  classify(7, 1, true);
  place(7, 0, -4 * kMetre, 0);  // the same distance as element 3, later in the table
  classify(8, 1, true);
  place(8, 5 * kMetre, 0, 0);
  EXPECT_EQ(nearest_element(sys, h(5), 1), h(3));
  EXPECT_EQ(nearest_element(sys, h(5), 2), h(1));
  EXPECT_EQ(nearest_element(sys, h(5), 4), 0);
  place(8, 0, 0, -kMetre);
  EXPECT_EQ(nearest_element(sys, h(5), 1), h(8));
  EXPECT_EQ(nearest_element(sys, h(8), 1), h(5));  // e itself is never its own nearest
}

TEST_F(Relations, RandomElementPicksOnlyAmongTheCandidates) {
  classify(0, 1, true);  // e
  classify(2, 1, true);
  classify(4, 1, false);
  classify(6, 5, true);
  classify(9, 2, true);
  std::set<int32_t> seen;
  for (int32_t k = 0; k < 200; ++k) seen.insert(random_element(sys, h(0), 1));
  EXPECT_EQ(seen, (std::set<int32_t>{h(2), h(6)}));
  EXPECT_EQ(random_element(sys, h(0), 2), h(9));  // with one candidate it is that one
  EXPECT_EQ(random_element(sys, h(0), 8), 0);
}

TEST_F(Relations, ElementFindWalksAndCountsByMode) {
  // Class 1 everywhere; odd elements active.
  for (int32_t i = 0; i <= kLast; ++i) classify(i, 1, i % 2 == 1);
  const struct {
    int32_t e, n, mode, found;
  } cases[] = {
      {2, 1, 1, 3},  {2, 2, 1, 4},  {2, 1, 2, 4},  {2, 2, 2, 6},  {2, 1, 3, 3},
      {2, 3, 3, 7},
      {2, 4, 3, 0},   // element 9 is active but the walk ends on reaching the last element
      {8, 1, 1, 0},   // the same
      {6, 1, -1, 5},  {6, 2, -2, 2}, {6, 3, -3, 1},
      {6, 3, -2, 0},  // element 0 is never returned walking backwards
      {4, 0, 1, 4},   {4, -5, 0, 4},  // n <= 0: e itself
      {4, 1, 0, 0},   {4, 1, 4, 0},  {4, 1, -4, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(element_find(sys, h(c.e), 1, c.n, c.mode), c.found ? h(c.found) : 0)
        << c.e << " " << c.n << " " << c.mode;
  EXPECT_EQ(element_find(sys, h(2), 4, 1, 1), 0);  // no element of class 4
  set(3, ir::kId, 4);
  EXPECT_EQ(element_find(sys, h(2), 4, 1, 1), h(3));
}

TEST_F(Relations, ElementGivesTheHandleOfAnIndexOfTheTable) {
  EXPECT_EQ(element(sys, 0), h(0));
  EXPECT_EQ(element(sys, kLast), h(kLast));
  EXPECT_EQ(element(sys, kLast + 1), 0);
  EXPECT_EQ(element(sys, -1), 0);
}

TEST_F(Relations, OnListSwitchesOnTheFirstFreeElementOfThePool) {
  auto machine = machine_create();
  sys.machine = machine.get();
  ASSERT_TRUE(bind_keyword(machine->keywords, "play_sound", keyword_routine<fake_play_sound>));
  for (int32_t i = 2; i <= 6; ++i) {
    classify(i, 0, i < 4);  // a pool of five, the first two active
    set(i, ir::kFirstAspect, 1000 + i);
    set(i, ir::kCurrentAspect, 2000 + i);
  }
  EXPECT_EQ(on_list(sys, h(2), 5, 1), h(4));
  EXPECT_EQ(get(4, ir::kFlags), ir::kFlagActive);
  EXPECT_EQ(get(4, ir::kCurrentAspect), 1004);  // back at the first animation frame
  EXPECT_EQ(get(4, ir::kSignal), 77);           // its sound started
  EXPECT_EQ(get(5, ir::kFlags), 0);
  EXPECT_EQ(get(5, ir::kSignal), 0);
  EXPECT_EQ(on_list(sys, h(2), 5, 1), h(5));
  EXPECT_EQ(on_list(sys, h(2), 5, 1), h(6));
  EXPECT_EQ(on_list(sys, h(2), 5, 1), 0);  // all five active
  for (int32_t i = 2; i <= 6; ++i) EXPECT_EQ(get(i, ir::kFlags), ir::kFlagActive) << i;
}

TEST_F(Relations, OnListStepsCountsAndTheEndOfTheTable) {
  classify(0, 0, true);
  classify(1, 0, false);
  classify(2, 0, true);
  EXPECT_EQ(on_list(sys, h(0), 3, 2), h(4));  // looks at 0, 2, 4
  EXPECT_EQ(get(1, ir::kFlags), 0);
  // Degenerate lists answer first without switching anything on.
  const auto before = snapshot();
  for (auto [count, step] : {std::pair{3, 0}, {3, -1}, {0, 1}, {-2, 1}})
    EXPECT_EQ(on_list(sys, h(1), count, step), h(1)) << count << " " << step;
  EXPECT_EQ(snapshot(), before);
  // The list stops at the last element: elements past it are never switched on.
  for (int32_t i = 7; i <= kLast; ++i) classify(i, 0, true);
  EXPECT_EQ(on_list(sys, h(7), 10, 1), 0);
  EXPECT_EQ(get(kLast + 1, ir::kFlags), 0);
  // Without a sound system the element is still switched on.
  EXPECT_EQ(on_list(sys, h(5), 1, 1), h(5));
}

TEST_F(Relations, OnRangeNeverSwitchesOnLast) {
  classify(2, 0, true);
  classify(3, 0, true);
  EXPECT_EQ(on_range(sys, h(2), h(4)), 0);
  EXPECT_EQ(get(4, ir::kFlags), 0);
  EXPECT_EQ(on_range(sys, h(2), h(5)), h(4));
  EXPECT_EQ(on_range(sys, h(2), h(2)), h(2));  // an empty range answers first
  EXPECT_EQ(get(2, ir::kFlags), ir::kFlagActive);
}

TEST_F(Relations, JoinCopiesPlacementMotionAndExtraRotation) {
  element_field_set(*core, 1, fld::kType, "1");
  element_field_set(*core, 2, fld::kType, "1");
  for (int32_t k = 0; k < 12; ++k) set(1, ir::kPosX + 4 * k, 100 + k);
  set3(1, ir::kExtraRotX, 7, 8, 9);
  set(1, ir::kFlags, ir::kFlagExtraRotation);
  set(2, ir::kScaleX, 555);
  join(sys, h(1), h(2));
  for (int32_t k = 0; k < 12; ++k) EXPECT_EQ(get(2, ir::kPosX + 4 * k), 100 + k) << k;
  EXPECT_EQ(get(2, ir::kExtraRotY), 8);
  EXPECT_EQ(get(2, ir::kFlags), ir::kFlagExtraRotation);
  EXPECT_EQ(get(2, ir::kScaleX), 555);

  // A camera's extra rotation stays with it; so does one that is not set this frame.
  element_field_set(*core, 0, fld::kType, "0");
  set3(0, ir::kExtraRotX, 1, 2, 3);
  set(0, ir::kFlags, ir::kFlagExtraRotation);
  join(sys, h(0), h(3));
  EXPECT_EQ(get(3, ir::kExtraRotX), 0);
  EXPECT_EQ(get(3, ir::kFlags), 0);
  set(1, ir::kFlags, 0);
  join(sys, h(1), h(4));
  EXPECT_EQ(get(4, ir::kExtraRotX), 0);
  EXPECT_EQ(get(4, ir::kPosX), 100);
}

TEST_F(Relations, JoinPosCopiesPositionAndVelocityOnly) {
  set3(1, ir::kPosX, 1, 2, 3);
  set3(1, ir::kRotX, 4, 5, 6);
  set3(1, ir::kVelX, 7, 8, 9);
  set3(2, ir::kRotX, 40, 50, 60);
  join_pos(sys, h(1), h(2));
  EXPECT_EQ(get(2, ir::kPosZ), 3);
  EXPECT_EQ(get(2, ir::kVelX), 7);
  EXPECT_EQ(get(2, ir::kRotX), 40);
}

TEST_F(Relations, ChildPlacementFollowsTheParentsTurn) {
  place(1, kMetre, 0, 0);
  set3(1, ir::kRotX, 0, 46080, 0);  // a quarter turn about y turns +z into -x
  child_pos(sys, h(2), h(1), 0, 500, 1000);
  EXPECT_EQ(get(2, ir::kPosX), kMetre - 1000);
  EXPECT_EQ(get(2, ir::kPosY), 500);
  EXPECT_EQ(get(2, ir::kPosZ), 0);
  child_rot(sys, h(2), h(1), 10, -20, 30);
  EXPECT_EQ(get(2, ir::kRotX), 10);
  EXPECT_EQ(get(2, ir::kRotY), 46060);
  EXPECT_EQ(get(2, ir::kRotZ), 30);
}

TEST_F(Relations, RandomPositionStaysInsideTheArea) {
  place(3, 0, 777, 0);
  for (int32_t k = 0; k < 100; ++k) {
    random_position_xz(sys, h(3), 1000, -1000, 50, 60);  // x bounds given the wrong way round
    EXPECT_EQ(inside_area_xz(sys, h(3), -1000, 1000, 50, 60), -1);
    EXPECT_EQ(get(3, ir::kPosY), 777);
  }
}

TEST_F(Relations, AttractGivesTheDominantAxisExactlyTheStrength) {
  place(1, 0, 0, 0);
  place(2, 10000, 5000, 0);
  attract(sys, h(1), h(2), 100);
  EXPECT_EQ(get(1, ir::kVelX), 100);
  EXPECT_EQ(get(1, ir::kVelY), 50);
  EXPECT_EQ(get(1, ir::kVelZ), 0);
  // Truncation toward zero on either side.
  set3(1, ir::kVelX, 0, 0, 0);
  place(2, -10000, 3333, -3333);
  attract(sys, h(1), h(2), 100);
  EXPECT_EQ(get(1, ir::kVelX), -100);
  EXPECT_EQ(get(1, ir::kVelY), 33);
  EXPECT_EQ(get(1, ir::kVelZ), -33);
  // The same place: no pull.
  set3(1, ir::kVelX, 0, 0, 0);
  place(2, 0, 0, 0);
  attract(sys, h(1), h(2), 100);
  attract_xz(sys, h(1), h(2), 100);
  attract_y(sys, h(1), h(2), 100);
  EXPECT_EQ(get(1, ir::kVelX) | get(1, ir::kVelY) | get(1, ir::kVelZ), 0);
  // Far apart on a 32-bit axis.
  place(1, -2000000000, 0, 0);
  place(2, 2000000000, 0, 1000000000);
  attract(sys, h(1), h(2), 4000);
  EXPECT_EQ(get(1, ir::kVelX), 4000);
  EXPECT_EQ(get(1, ir::kVelZ), 1000);
}

TEST_F(Relations, AttractVariantsUseTheirOwnAxes) {
  place(1, 0, 0, 0);
  place(2, 2000, -90000, -8000);
  attract_xz(sys, h(1), h(2), 80);
  EXPECT_EQ(get(1, ir::kVelX), 20);
  EXPECT_EQ(get(1, ir::kVelY), 0);
  EXPECT_EQ(get(1, ir::kVelZ), -80);
  attract_y(sys, h(1), h(2), 7);
  EXPECT_EQ(get(1, ir::kVelY), -7);
  attract_point(sys, h(1), 0, 600, 300, 10);
  EXPECT_EQ(get(1, ir::kVelY), 3);
  EXPECT_EQ(get(1, ir::kVelZ), -75);
  lift(sys, h(1), 5000, 9);
  EXPECT_EQ(get(1, ir::kVelY), 12);
  lift(sys, h(1), -5000, 9);
  lift(sys, h(1), 0, 9);  // already at that height
  EXPECT_EQ(get(1, ir::kVelY), 3);
}

TEST_F(Relations, AttractRotationTurnsTheShorterWay) {
  const struct {
    int32_t rotation, target, spin;
  } cases[] = {
      {0, 1000, 5},        {1000, 0, -5},      {0, 92159, 5},
      {0, 92161, -5},      // just past half a turn: the other way round
      {184000, 100, 5},    // across zero
      {-1000, 183000, -5}, // stored angles are normalised first
      {500, 500, -5},      // on target it keeps pushing the same way
  };
  const int32_t axes[][2] = {{ir::kRotX, ir::kSpinX}, {ir::kRotY, ir::kSpinY}, {ir::kRotZ, ir::kSpinZ}};
  void (*keywords[])(System&, int32_t, int32_t, int32_t) = {attract_xr, attract_yr, attract_zr};
  for (int a = 0; a < 3; ++a)
    for (const auto& c : cases) {
      set(1, axes[a][0], c.rotation);
      set(1, axes[a][1], 0);
      keywords[a](sys, h(1), c.target, 5);
      EXPECT_EQ(get(1, axes[a][1]), c.spin) << a << ": " << c.rotation << " to " << c.target;
    }
}

TEST_F(Relations, SightAndSteeringFaceTheTarget) {
  place(1, 0, 0, 0);
  place(2, kMetre, 0, 0);  // along +x: heading -46080
  EXPECT_EQ(steer_angle_to(sys, h(1), h(2), 100000), -46080);
  EXPECT_EQ(steer_angle_to(sys, h(1), h(2), 1000), -1000);
  EXPECT_EQ(steer_angle_to(sys, h(1), h(2), 0), 0);
  EXPECT_EQ(sight(sys, h(1), h(2), 2 * kMetre, 50000), -1);
  EXPECT_EQ(sight(sys, h(1), h(2), 2 * kMetre, 40000), 0);  // outside the view angle
  EXPECT_EQ(sight(sys, h(1), h(2), kMetre / 2, 50000), 0);  // out of range
  EXPECT_EQ(sight(sys, h(1), h(1), kMetre, 92160), 0);
  steer(sys, h(1), h(2), 30000);
  steer(sys, h(1), h(2), 30000);
  EXPECT_EQ(normalise_angle(get(1, ir::kRotY)), kFullTurn - 46080);
  EXPECT_EQ(sight(sys, h(1), h(2), 2 * kMetre, 0), -1);
  // Turning takes the short way across zero.
  set(1, ir::kRotY, 184000);
  place(2, -kMetre, 0, kMetre);  // heading 23040
  EXPECT_EQ(steer_angle_to(sys, h(1), h(2), 100000), 23040 + 320);
}

TEST_F(Relations, OrientationKeywords) {
  set3(1, ir::kRotX, 1000, 5, 184000);
  orient_straight(sys, h(1), 300, 1000);
  EXPECT_EQ(get(1, ir::kRotX), 700);
  EXPECT_EQ(normalise_angle(get(1, ir::kRotZ)), 0);
  EXPECT_EQ(get(1, ir::kRotY), 5);
  orient_straight(sys, h(1), 0, 1000);  // a limit of 0 leaves that axis alone
  EXPECT_EQ(get(1, ir::kRotX), 700);

  const struct {
    int32_t x, y, z, rx, ry;
  } cases[] = {
      {1000, 0, 0, 0, kFullTurn - 46080},
      {0, 1000, 1000, kFullTurn - 23040, 0},  // 45 degrees up: forward tips up
      {0, -1000, -1000, 23040, 92160},
      {0, 5, 0, kFullTurn - 46080, 92160},    // straight up keeps the heading
  };
  for (const auto& c : cases) {
    orient_forward(sys, h(1), c.x, c.y, c.z, 0);
    EXPECT_EQ(normalise_angle(get(1, ir::kRotX)), c.rx) << c.x << "," << c.y << "," << c.z;
    EXPECT_EQ(normalise_angle(get(1, ir::kRotY)), c.ry) << c.x << "," << c.y << "," << c.z;
  }
  // With a limit it turns step by step.
  set3(1, ir::kRotX, 0, 0, 0);
  orient_forward(sys, h(1), 1000, 0, 0, 10000);
  EXPECT_EQ(get(1, ir::kRotY), -10000);
  // The forward axis then points where asked.
  orient_forward(sys, h(1), 0, 1000, 1000, 0);
  const IVec3 f = forward_vector(*core, get(1, ir::kRotX), get(1, ir::kRotY), get(1, ir::kRotZ), 1000);
  EXPECT_NEAR(f.y, 707, 2);
  EXPECT_NEAR(f.z, 707, 2);
}

TEST_F(Relations, InterpolateIsLinearAndSafe) {
  const struct {
    int32_t x, x1, x2, y1, y2, y;
  } cases[] = {
      {5, 0, 10, 100, 200, 150},
      {5, 3, 3, 100, 200, 0},
      {20, 0, 10, 100, 200, 300},   // extrapolates
      {1, 0, 3, 0, -10, -3},        // truncates toward zero
      {-1, 0, 3, 0, 10, -3},
      {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX},
      {0, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 0},
      {2, 0, 1, 0, INT32_MAX, INT32_MAX},  // saturates
      {-2, 0, 1, 0, INT32_MAX, INT32_MIN},
  };
  for (const auto& c : cases)
    EXPECT_EQ(interpolate(sys, c.x, c.x1, c.x2, c.y1, c.y2), c.y) << c.x << " " << c.x1 << " " << c.x2;
}

TEST_F(Relations, HandlesThatNameNoElementDoNothing) {
  for (int32_t i = 0; i <= kLast; ++i) {
    classify(i, -1, i % 2 == 0);
    place(i, i * 1000, i * 2000, i * 3000);
    set3(i, ir::kRotX, 100, 200, 300);
  }
  const int32_t good = h(2);
  const std::vector<uint8_t> before = snapshot();
  for (int32_t bad : {0, -1, INT32_MIN, good + 4, good - 1, h(kLast + 1), h(255), h(256)}) {
    SCOPED_TRACE(bad);
    for (auto [a, b] : {std::pair{bad, good}, {good, bad}}) {
      EXPECT_EQ(direction_xz(sys, a, b), 0);
      EXPECT_EQ(distance_xz(sys, a, b), 0);
      EXPECT_EQ(distance(sys, a, b), 0);
      EXPECT_EQ(sight(sys, a, b, INT32_MAX, kHalfTurn), 0);
      EXPECT_EQ(steer_angle_to(sys, a, b, 1000), 0);
      join(sys, a, b);
      join_pos(sys, a, b);
      child_pos(sys, a, b, 1, 2, 3);
      child_rot(sys, a, b, 1, 2, 3);
      attract(sys, a, b, 100);
      attract_xz(sys, a, b, 100);
      attract_y(sys, a, b, 100);
      steer(sys, a, b, 1000);
    }
    EXPECT_EQ(inside_area_xz(sys, bad, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX), 0);
    EXPECT_EQ(nearest_element(sys, bad, -1), 0);
    EXPECT_EQ(random_element(sys, bad, -1), 0);
    EXPECT_EQ(element_find(sys, bad, -1, 1, 1), 0);
    EXPECT_EQ(element_find(sys, bad, -1, 0, 1), 0);
    EXPECT_EQ(on_list(sys, bad, 5, 1), 0);
    EXPECT_EQ(on_range(sys, bad, bad + 5 * 1024), 0);
    random_position_xz(sys, bad, 0, 10, 0, 10);
    attract_point(sys, bad, 1, 2, 3, 100);
    attract_xr(sys, bad, 1000, 5);
    attract_yr(sys, bad, 1000, 5);
    attract_zr(sys, bad, 1000, 5);
    lift(sys, bad, 1000, 5);
    orient_straight(sys, bad, 100, 100);
    orient_forward(sys, bad, 1, 2, 3, 0);
  }
  EXPECT_EQ(snapshot(), before);
  // An empty table has no elements at all.
  model->last_index = -1;
  EXPECT_EQ(distance(sys, h(0), h(0)), 0);
  EXPECT_EQ(on_list(sys, h(0), 1, 1), 0);
  EXPECT_EQ(element(sys, 0), 0);
}

}  // namespace
}  // namespace korva
