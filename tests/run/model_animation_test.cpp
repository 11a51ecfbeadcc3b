// Model animation in a run: the brains' keywords change the fields of the model's asset
// record, every rendered frame plays the set at tick/1000 and advances the tick by the exact
// wrap rules, and the steps of a frame that renders nothing leave it alone.
#include <gtest/gtest.h>

#include <string>

#include "render/model_keywords.h"
#include "run_fixture.h"

namespace korva {
namespace {

using test::kWalkerModel;

struct ModelRun : test::RunSystem {
  ModelRun() : RunSystem("model_animation") {
    bind_model_keywords(machine->keywords);
    add_scene_steps(pipeline);
  }

  // Element 0 a camera, element 1 the walker model, with the brains given.
  void project(const std::string& camera_brain, const std::string& model_brain) {
    const std::string x = write("walker.x", kWalkerModel);
    auto add = [&](const std::string& type, const std::string& asset, const std::string& text) {
      const int32_t i = ++model->last_index;
      const std::string brain = write("e" + std::to_string(i) + ".brn", text);
      str_set(element_record(*core, i),
              "E" + std::to_string(i) + "|" + asset + "|./sounds/null_.wav|" + brain +
                  "|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                  "1|0|1|0|0|" + type + "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
    };
    add("0", "./cameras/none.03d", camera_brain);
    add("11", x, model_brain);
  }
  // The model's asset record (it outlives the run's scene).
  const uint8_t* model_asset() { return asset_record(s, ir_get(record(1), ir::kCurrentAspect)); }
  int32_t tick() { return ir_get(model_asset(), render::scene_record::kTick); }
};

const rm::Frame* find_frame(const rm::Frame& f, const std::string& name) {
  if (f.name == name) return &f;
  for (const auto& c : f.children)
    if (const rm::Frame* hit = find_frame(*c, name)) return hit;
  return nullptr;
}

// A brain sets range 0..999 and speed 100 once; the run's rendered frames each add 100.
TEST(ModelAnimationRun, ABrainSetsTheAnimationAndEachRenderedFrameAdvancesIt) {
  ModelRun f;
  f.project("", "var done\r\nif done = 0\r\nh_animation_range_set(element, 0, 999)\r\n"
                "h_animation_speed_set(element, 100)\r\nh_animation_tick_set(element, 0)\r\n"
                "done = 1\r\nendif\r\n");
  f.pipeline.max_frames = 13;
  run_project(f.s);
  EXPECT_TRUE(f.pipeline.unbound.empty());
  ASSERT_GT(f.pipeline.frames_rendered, 10);
  EXPECT_EQ(f.tick(), 100 * int32_t(f.pipeline.frames_rendered % 10));
  EXPECT_EQ(ir_get(f.model_asset(), render::scene_record::kRangeEnd), 999);
}

TEST(ModelAnimationRun, RenderedFramesPlayAndAdvanceAndOtherStepsDoNot) {
  ModelRun f;
  f.project("", "");
  ASSERT_EQ(asset_pass(f.s), 2);
  object_pass(f.s);
  run_phase(f.s, Phase::RunStart);
  const int32_t e = element_handle(1);
  ASSERT_EQ(h_animation_speed(f.s, e), render::kDefaultAnimationSpeed);  // the loader starts the first set
  ASSERT_TRUE(f.scene.elements[1].model);
  const rm::Frame* body = find_frame(*f.scene.elements[1].model->frame, "Body");
  ASSERT_NE(body, nullptr);
  rm::AnimationSet& walk = *f.scene.elements[1].model->animation_sets[0];

  // The frame shows the tick the frame started with, then the tick moves on.
  h_animation_tick_set(f.s, e, 500000);
  h_animation_speed_set(f.s, e, 1000);
  render_frame(f.s, false);
  EXPECT_NEAR(body->position.x, 5.0f, 1e-3f);
  EXPECT_EQ(h_animation_tick(f.s, e), 501000);

  // 0, 100, ..., 900, 0 in range 0..999.
  h_animation_range_set(f.s, e, 0, 999);
  h_animation_speed_set(f.s, e, 100);
  h_animation_tick_set(f.s, e, 0);
  for (int32_t k = 1; k <= 10; ++k) {
    render_frame(f.s, false);
    EXPECT_EQ(h_animation_tick(f.s, e), k == 10 ? 0 : 100 * k);
  }
  // A frame step that renders nothing (a skipped frame) leaves the tick.
  for (Phase p : {Phase::Input, Phase::Races, Phase::Collisions, Phase::Joysticks, Phase::BeforeBrains,
                  Phase::AfterBrains})
    run_phase(f.s, p);
  EXPECT_EQ(h_animation_tick(f.s, e), 0);

  // Speed 0 freezes: the tick stays and the set's time is not even set again.
  h_animation_tick_set(f.s, e, 300);
  h_animation_speed_set(f.s, e, 0);
  walk.time = 42.0f;
  render_frame(f.s, false);
  EXPECT_EQ(h_animation_tick(f.s, e), 300);
  EXPECT_EQ(walk.time, 42.0f);

  // Equal ends never wrap; start above end pins the tick at the end.
  h_animation_speed_set(f.s, e, 400);
  h_animation_range_set(f.s, e, 5, 5);
  for (int k = 0; k < 3; ++k) render_frame(f.s, false);
  EXPECT_EQ(h_animation_tick(f.s, e), 1500);
  h_animation_range_set(f.s, e, 900, 200);
  render_frame(f.s, false);
  EXPECT_EQ(h_animation_tick(f.s, e), 200);

  // A hidden model does not advance.
  uint8_t* rec = f.core->pool(Pool::Instances) + kInstanceRecordBytes;
  ir_set(rec, ir::kFlags, ir_get(rec, ir::kFlags) & ~ir::kFlagShown);
  h_animation_range_set(f.s, e, 0, 999);
  render_frame(f.s, false);
  EXPECT_EQ(h_animation_tick(f.s, e), 200);
  run_phase(f.s, Phase::RunEnd);
}

}  // namespace
}  // namespace korva
