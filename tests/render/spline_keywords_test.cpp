// Spline keywords on the scene's spare animations: keys by time, closed linear and smooth
// paths through them, slots outside 0..49 and a missing scene ignored.
#include <gtest/gtest.h>

#include <memory>

#include "core/core.h"
#include "engine/element_access.h"
#include "render/scene.h"
#include "render/spline_keywords.h"

namespace korva {
namespace {

struct Splines : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  render::Scene scene;
  System s;
  Splines() {
    s.core = core.get();
    s.scene = &scene;
    render::scene_build(scene, render::SceneSettings{}, {}, nullptr);
  }
  uint8_t* rec(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  // A square course: 0 -> +x -> +x+z -> +z -> back to 0 at t = 400.
  void square(int32_t slot) {
    spline_key_set(s, slot, 0, 0, 0, 0);
    spline_key_set(s, slot, 100, 1000000, 0, 0);
    spline_key_set(s, slot, 200, 1000000, 5000, 1000000);
    spline_key_set(s, slot, 300, 0, 0, 1000000);
    spline_key_set(s, slot, 400, 0, 0, 0);
  }
};

TEST_F(Splines, LinearPathsRunThroughTheKeysAndLoop) {
  square(3);
  struct Case {
    int32_t t, x, y, z;
  } cases[] = {{0, 0, 0, 0},           {100, 1000000, 0, 0},  {150, 1000000, 2500, 500000},
               {300, 0, 0, 1000000},   {350, 0, 0, 500000},   {400, 0, 0, 0},
               {450, 500000, 0, 0},    {-50, 0, 0, 500000}};
  for (const Case& c : cases) {
    EXPECT_EQ(spline_pos_x(s, 3, 1, c.t), c.x) << c.t;
    EXPECT_EQ(spline_pos_y(s, 3, 1, c.t), c.y) << c.t;
    EXPECT_EQ(spline_pos_z(s, 3, 1, c.t), c.z) << c.t;
  }
  spline(s, 3, element_handle(2), 1, 150);
  EXPECT_EQ(ir_get(rec(2), ir::kPosX), 1000000);
  EXPECT_EQ(ir_get(rec(2), ir::kPosY), 2500);
  EXPECT_EQ(ir_get(rec(2), ir::kPosZ), 500000);
}

TEST_F(Splines, SmoothPathsPassThroughTheKeysAndBulgeBetweenThem) {
  square(0);
  for (int32_t t : {0, 100, 200, 300})
    EXPECT_EQ(spline_pos_x(s, 0, 0, t), spline_pos_x(s, 0, 1, t)) << t;
  // Between the first two keys the curve leaves the straight line (the course turns).
  EXPECT_NE(spline_pos_z(s, 0, 0, 50), 0);
  EXPECT_EQ(spline_pos_z(s, 0, 1, 50), 0);
}

TEST_F(Splines, KeysAreReplacedAddedFromElementsAndRemovedByTime) {
  spline_key_set(s, 7, 0, 10, 20, 30);
  spline_key_set(s, 7, 10, 110, 20, 30);
  spline_key_set(s, 7, 10, 210, 20, 30);  // replaces the key at 10
  EXPECT_EQ(scene.spares[7]->positions.size(), 2u);
  EXPECT_EQ(spline_pos_x(s, 7, 1, 5), 110);
  ir_set(rec(1), ir::kPosX, 4000);
  spline_key_add(s, 7, element_handle(1), 20);
  EXPECT_EQ(spline_pos_x(s, 7, 1, 15), 2105);
  spline_key_remove(s, 7, 10);
  EXPECT_EQ(spline_pos_x(s, 7, 1, 10), 2005);
  spline_key_remove(s, 7, 0);
  spline_key_remove(s, 7, 20);
  ir_set(rec(1), ir::kPosX, 77);
  spline(s, 7, element_handle(1), 1, 3);  // no keys: the element stays put
  EXPECT_EQ(ir_get(rec(1), ir::kPosX), 77);
}

TEST_F(Splines, SlotsOutsideTheRangeAndMissingScenesAreIgnored) {
  for (int32_t slot : {-1, 50, 1000}) {
    spline_key_set(s, slot, 0, 5, 5, 5);
    EXPECT_EQ(spline_pos_x(s, slot, 1, 0), 0);
  }
  for (const auto& a : scene.spares) EXPECT_TRUE(a->positions.empty());
  spline_key_set(s, 0, 0, 5, 5, 5);
  System bare;
  bare.core = core.get();
  spline_key_set(bare, 0, 0, 9, 9, 9);
  EXPECT_EQ(spline_pos_x(bare, 0, 1, 0), 0);
  ir_set(rec(0), ir::kPosX, 1);
  spline(bare, 0, element_handle(0), 1, 0);
  EXPECT_EQ(ir_get(rec(0), ir::kPosX), 1);
}

}  // namespace
}  // namespace korva
