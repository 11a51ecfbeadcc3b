// The run's ordered steps: phases run in the frame-step order whatever the order steps were
// added in, a step added with one line runs in every frame of a real run of a project, and
// the run's passes work on a system wired by hand (no window, no 3D device).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_fixture.h"

namespace korva {
namespace {

struct RunFixture : test::RunSystem {
  RunFixture() : RunSystem("pipeline") {}

  // Adds an element of type with asset file asset whose brain is text.
  void add_element(const std::string& type, const std::string& asset, const std::string& brain_text) {
    const int32_t i = ++model->last_index;
    const std::string brain = write("e" + std::to_string(i) + ".brn", brain_text);
    str_set(element_record(*core, i),
            "E" + std::to_string(i) + "|" + asset + "|./sounds/null_.wav|" + brain +
                "|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                "1|0|1|0|0|" + type + "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
  }
  // One camera whose brain is text.
  void one_element(const std::string& brain_text) { add_element("0", "./cameras/none.03d", brain_text); }
};

TEST(RunPipeline, PhasesRunInFrameStepOrderWhateverTheOrderOfAdding) {
  RunFixture f;
  std::vector<std::string> seen;
  auto note = [&](const char* what) { return [&seen, what](System&) { seen.push_back(what); }; };
  run_step_add(f.pipeline, Phase::AfterBrains, "b", note("after brains"));
  run_step_add(f.pipeline, Phase::Collisions, "c1", note("collisions 1"));
  run_step_add(f.pipeline, Phase::Input, "i", note("input"));
  run_step_add(f.pipeline, Phase::Collisions, "c2", note("collisions 2"));
  run_step_add(f.pipeline, Phase::Races, "r", note("races"));
  run_step_add(f.pipeline, Phase::BeforeBrains, "a", note("before brains"));
  run_step_add(f.pipeline, Phase::Joysticks, "j", note("joysticks"));
  run_step_add(f.pipeline, Phase::Present, "p", note("present"));
  run_step_add(f.pipeline, Phase::Over2d, "o", note("2D over"));
  run_step_add(f.pipeline, Phase::SceneSync, "s", note("scene sync"));
  run_step_add(f.pipeline, Phase::RunStart, "start", note("run start"));
  run_step_add(f.pipeline, Phase::RunEnd, "end", note("run end"));
  f.one_element("exit(-2)\r\n");
  f.pipeline.max_frames = 5;
  EXPECT_EQ(run_project(f.s), -2);

  // Run start, four warm-up brain steps, the first frame (without its flip), then one loop frame
  // whose brain step ends the run before anything is drawn, then the end.
  const std::vector<std::string> brain_step = {"before brains", "after brains"};
  std::vector<std::string> want = {"run start"};
  for (int k = 0; k < 4; ++k) want.insert(want.end(), brain_step.begin(), brain_step.end());
  want.insert(want.end(), {"scene sync", "2D over", "present"});
  want.insert(want.end(), {"input", "races", "collisions 1", "collisions 2", "joysticks"});
  want.insert(want.end(), brain_step.begin(), brain_step.end());
  want.push_back("run end");
  EXPECT_EQ(seen, want);
  EXPECT_EQ(run_step_names(f.pipeline).front(), "run start: start");
}

TEST(RunPipeline, AStepAddedInOneLineRunsInEveryLoopFrameOfARun) {
  RunFixture f;
  add_scene_steps(f.pipeline);
  int32_t frames = 0, rendered = 0;
  run_step_add(f.pipeline, Phase::Collisions, "count", [&](System&) { ++frames; });
  run_step_add(f.pipeline, Phase::Present, "count", [&](System&) { ++rendered; });
  f.one_element("var n\r\nn = n + 1\r\n");
  f.pipeline.max_frames = 7;
  EXPECT_EQ(run_project(f.s), kExitRunning);  // ended as Escape would
  EXPECT_EQ(frames, 7);
  EXPECT_EQ(rendered, 8);  // the first frame and every loop frame under the fast clock
  EXPECT_EQ(f.pipeline.loop_frames, 7);
  EXPECT_TRUE(f.scene.assets.empty());  // released with the scene at the end
}

TEST(RunPipeline, UnboundKeywordsAreListedOnceAfterCompilingAndTheRunGoesOn) {
  RunFixture f;
  KeywordBindings none;
  f.machine->keywords = none;  // nothing bound: every call answers 0
  f.one_element("var n\r\nn = n + 1\r\nsum(1, 2)\r\nsum(3, 4)\r\nif n = 9\r\nexit(-2)\r\nendif\r\n");
  f.pipeline.max_frames = 20;
  run_project(f.s);
  EXPECT_EQ(f.pipeline.unbound, (std::vector<std::string>{"exit", "sum"}));
  EXPECT_EQ(f.pipeline.loop_frames, 20);  // exit does nothing here, so the run goes on
}

// The scene kinds come from the element type and the records the asset pass wrote: a visual
// has one aspect per visual of its file and shows the current one; an .x model plays its first
// animation set from the asset record, which every rendered frame advances.
TEST(RunPipeline, VisualAspectsAndModelAnimationComeFromTheAssetRecords) {
  RunFixture f;
  add_scene_steps(f.pipeline);
  auto part = [](int number, const char* rgb) {
    return std::to_string(number) + "|none.bmp|none.3ds|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|" + rgb +
           "|0|0||0\r\n";
  };
  const std::string two = f.write("two.v3d", part(1, "255|255|255") + part(2, "200|40|40") + part(2, "9|9|9"));
  const std::string x = f.write("walker.x", test::kWalkerModel);
  f.one_element("");
  f.add_element("11", two, "");
  f.add_element("11", x, "");
  f.add_element("11", two, "");  // the same file: its slots are shared
  f.add_element("11", x, "");    // so are a model's, but each element gets frames of its own
  ASSERT_EQ(asset_pass(f.s), 1 + 2 + 1 + 2 + 1);
  EXPECT_EQ(aspect_count(*f.core, 1), 2);
  EXPECT_EQ(f.pipeline.asset_share[4], 1);
  object_pass(f.s);
  run_phase(f.s, Phase::RunStart);
  ASSERT_EQ(f.scene.elements[1].kind, render::ElementKind::Visual);
  ASSERT_EQ(f.scene.elements[1].aspect_meshes.size(), 2u);
  EXPECT_EQ(f.scene.elements[1].aspect_meshes[1].size(), 2u);  // visual 2 has two parts
  ASSERT_EQ(f.scene.elements[2].kind, render::ElementKind::Model);
  ASSERT_TRUE(f.scene.elements[2].model && f.scene.elements[4].model);
  EXPECT_NE(f.scene.elements[2].model->frame, f.scene.elements[4].model->frame);
  EXPECT_EQ(f.scene.elements[2].model->frame->parent, f.scene.elements[2].frame.get());

  // The brain's frame animation sets the current aspect; the next pass shows it.
  uint8_t* rec1 = f.core->pool(Pool::Instances) + kInstanceRecordBytes;
  ir_set(rec1, ir::kCurrentAspect, ir_get(rec1, ir::kFirstAspect) + 1);
  render_frame(f.s, false);
  EXPECT_EQ(f.scene.elements[1].aspect, 1);
  EXPECT_EQ(f.scene.elements[1].frame->visuals.size(), 2u);
  EXPECT_EQ(f.scene.elements[3].aspect, 0);

  const uint8_t* model_asset = asset_record(f.s, 3);
  using namespace render::scene_record;
  EXPECT_EQ(ir_get(model_asset, kAnimationSet), 0);
  EXPECT_EQ(ir_get(model_asset, kRangeEnd), 1000 * 1000);
  render_frame(f.s, false);
  EXPECT_EQ(ir_get(model_asset, kTick), 2 * render::kDefaultAnimationSpeed);  // two rendered frames
  run_phase(f.s, Phase::RunEnd);
}

// `render` draws a frame at once inside a brain step, and only while a run has a scene.
TEST(RunPipeline, TheRenderKeywordRunsTheRenderPassAtOnce) {
  RunFixture f;
  add_scene_steps(f.pipeline);
  f.one_element("render()\r\n");
  f.pipeline.max_frames = 3;
  run_project(f.s);
  EXPECT_EQ(f.pipeline.frames_rendered, 4 + 3 + 1 + 3);  // by the brain, warm-up and loop; by the loop
}

}  // namespace
}  // namespace korva
