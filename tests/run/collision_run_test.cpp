// Collisions and ground maps in real runs: a system wired by hand with the collision steps,
// projects whose brains drive elements into each other and over a generated terrain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/collision_steps.h"
#include "run_fixture.h"
#include "tds_file.h"

namespace korva {
namespace {

struct CollisionRun : test::RunSystem {
  std::vector<std::string>& notices = messages;

  CollisionRun() : RunSystem("collision_run") {
    bind_collision_keywords(machine->keywords);
    add_scene_steps(pipeline);
    add_collision_steps(pipeline);
  }

  // An element of a type at x (scene units) with an id, a collision radius and a brain.
  void element(const std::string& type, const std::string& asset, const std::string& x, const std::string& id,
               const std::string& radius, const std::string& brain_text) {
    const int32_t i = ++model->last_index;
    const std::string brain = write("e" + std::to_string(i) + ".brn", brain_text);
    str_set(element_record(*core, i),
            "E" + std::to_string(i) + "|" + asset + "|./sounds/null_.wav|" + brain + "|" + x +
                "|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|" + id + "|" +
                radius + "|1|0|0|" + type + "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
  }
  int32_t var(int32_t element, int32_t k) {  // brain variable k (0 = the first declared)
    return ir_get(core->pool(Pool::Instances) + element * kInstanceRecordBytes, ir::kFirstVariable - 4 * k);
  }
};

TEST(CollisionRun, TwoElementsDrivenTogetherSeeEachOtherInTheFrameTheyTouchAndRebound) {
  CollisionRun f;
  // 50 thousandths a step from the left, 25 from the right; radii 250 each.
  const std::string left =
      "var touched\r\nvar gap\r\nvar vx\r\nvar other\r\nother = element + 1024\r\n"
      "collisions_on(element)\r\n"
      "if velocity_x(element) = 0\r\nvelocity_x_set(element, 25600)\r\nendif\r\nif touched = 0\r\n"
      "if collision(element, 2)\r\ntouched = timer(element)\r\n"
      "gap = position_x(other) - position_x(element)\r\nrebound(element, other)\r\nvx = velocity_x(element)\r\n"
      "endif\r\nendif\r\nvelocity_update(element)\r\n";
  const std::string right =
      "var touched\r\ncollisions_on(element)\r\n"
      "if velocity_x(element) = 0\r\nvelocity_x_set(element, -12800)\r\nendif\r\nif touched = 0\r\n"
      "if collision(element, 1)\r\ntouched = timer(element)\r\nendif\r\nendif\r\n"
      "velocity_update(element)\r\n";
  f.element("0", "./cameras/none.03d", "0", "0", "0", "");
  f.element("1", "none.a3d", "-1", "1", "0.25", left);
  f.element("1", "none.a3d", "1", "2", "0.25", right);
  f.core->pool(Pool::ProjectTable)[1 * 256 + 2] = 3;
  f.pipeline.max_frames = 40;
  EXPECT_EQ(run_project(f.s), kExitRunning);

  ASSERT_NE(f.var(1, 0), 0);
  EXPECT_EQ(f.var(1, 0), f.var(2, 0));  // both saw the other in the same frame
  // The first frame whose gap is under the sum of the radii (the gap closes 75 a step).
  EXPECT_LT(f.var(1, 1), 500 * 512);
  EXPECT_GE(f.var(1, 1) + 75 * 512, 500 * 512);
  // The rebound exchanged the velocities along the line of centres (the x axis here).
  EXPECT_EQ(f.var(1, 2), -12800);
  EXPECT_EQ(f.word(1, ir::kVelX), -12800);
  EXPECT_EQ(f.word(2, ir::kVelX), 25600);
  EXPECT_EQ(f.s.collisions->rebound_yr_factor, 250);

  // Run start: the camera's bounds are +-250, so its radii come from them; code 3 is
  // (63, 0, 192), packed 5-6-5 as the GUI's colour table packs it.
  EXPECT_EQ(f.word(0, ir::kCollisionRadius), 250);
  EXPECT_EQ(f.word(0, ir::kBoxRadius), int32_t(integer_sqrt(2 * 250 * 250)));
  ASSERT_EQ(f.s.collisions->pairs.size(), 1u);
  EXPECT_EQ(f.s.collisions->pairs[0].colour, (7u << 11) | 24u);
}

// A square of side 4 sloping up along x: height = x / 4 + base.
std::string terrain(float base) {
  return test_files::tds_file({{-2, base - 0.5f, -2}, {2, base + 0.5f, -2}, {2, base + 0.5f, 2}, {-2, base - 0.5f, 2}},
                              {{0, 1, 2}, {0, 2, 3}}, "hill");
}

TEST(CollisionRun, BoundaryMapsAreGeneratedOnceAndFollowTheirModel) {
  CollisionRun f;
  const std::string model = f.write("hill.3ds", terrain(0.5f));
  const std::string brain =
      "var g\r\nground_set(element - 1024)\r\ng = ground_level(element)\r\nover_ground(element, 0)\r\n";
  f.element("0", "./cameras/none.03d", "0", "0", "0", "");
  f.element("12", model, "0", "0", "0", "");
  f.element("1", "none.a3d", "0.8", "0", "0", brain);
  f.pipeline.max_frames = 2;
  run_project(f.s);

  const std::string map = (f.dir / "hill.m3d").string();
  uint32_t stamp = 0;
  ASSERT_TRUE(m3d_stamp(map, stamp));
  EXPECT_EQ(stamp, model_stamp(model));
  ASSERT_EQ(f.notices.size(), 1u);
  EXPECT_EQ(f.notices[0], "Initializing boundary element|This is a one-time operation, please wait...");
  EXPECT_EQ(f.word(2, ir::kPosX), 800 * 512);
  EXPECT_NEAR(f.var(2, 0), 700 * 512, 2);  // 0.8 / 4 + 0.5
  EXPECT_EQ(f.word(2, ir::kPosY), f.var(2, 0));

  // Unchanged model: the map is reused, no notice.
  run_project(f.s);
  EXPECT_EQ(f.notices.size(), 1u);

  // A changed model regenerates its map.
  f.write("hill.3ds", terrain(1.0f));
  run_project(f.s);
  EXPECT_EQ(f.notices.size(), 2u);
  ASSERT_TRUE(m3d_stamp(map, stamp));
  EXPECT_EQ(stamp, model_stamp(model));
  EXPECT_NEAR(f.var(2, 0), 1200 * 512, 2);

  // A damaged map whose stamp still matches is refused on stderr, and without a default map
  // the ground is flat at 0.
  std::filesystem::resize_file(map, 2000);
  testing::internal::CaptureStderr();
  run_project(f.s);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("hill.m3d refused"), std::string::npos) << err;
  EXPECT_EQ(f.var(2, 0), 0);
}

}  // namespace
}  // namespace korva
