// The scene frame keywords: the frame table's allocation and high-water mark, positions of
// frames and models against a reference, the shared current rotation and its conversion into
// an element's angles (the inverse of the element rotation rule), local axes, part visibility,
// the run's frame seams, and bad handles.
#include "render/frame_keywords.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "brain/keyword_binding.h"
#include "core/core.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "model/run_state.h"
#include "render/scene.h"

using namespace korva;
using namespace korva::frames;

namespace {

struct FrameKeywords : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  RunState run;
  render::Scene scene;
  System sys;

  void SetUp() override {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    sys.run = &run;
    // Element 0 a camera-less placeholder, element 1 a model.
    std::vector<render::ElementSetup> setups(2);
    setups[1].kind = render::ElementKind::Model;
    setups[1].model = std::make_shared<render::XModel>();
    setups[1].model->frame = rm::frame_create(nullptr);
    render::scene_build(scene, render::SceneSettings{}, setups, nullptr);
    model->last_index = 1;
    sys.scene = &scene;
  }
  void TearDown() override { render::scene_release(scene); }
  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  int32_t entered() { return frame_enter(sys, rm::frame_create(scene.main.get())); }
};

constexpr int32_t kBit = int32_t(0x80000000u);

TEST_F(FrameKeywords, TheTableTakesTheFirstFreeEntryAndKillLowersTheMarkByOne) {
  const int32_t a = entered(), b = entered(), c = entered();
  EXPECT_EQ(a, kBit | 0);
  EXPECT_EQ(b, kBit | 1);
  EXPECT_EQ(c, kBit | 2);
  x_kill(sys, b);
  EXPECT_EQ(frame_of(sys, b), nullptr);
  EXPECT_EQ(entered(), b);  // the hole below the mark first
  x_kill(sys, c);
  EXPECT_EQ(scene.frames.mark, 2);
  x_kill(sys, a);
  EXPECT_EQ(scene.frames.mark, 2);  // not the highest in use: the mark stays
  EXPECT_EQ(entered(), a);
  x_kill(sys, 5);  // a non-negative value does nothing
  x_kill(sys, kBit | 7);
  EXPECT_EQ(scene.frames.mark, 2);
  EXPECT_NE(frame_of(sys, a), nullptr);
  x_kill(sys, b);
  EXPECT_EQ(scene.frames.mark, 1);
  EXPECT_EQ(frame_of(sys, b), nullptr);
}

TEST_F(FrameKeywords, PositionsOfFramesAndModelsAgainstAReference) {
  const int32_t f = entered();
  position_set(sys, f, 512000, -256000, 1024000);
  EXPECT_EQ(position(sys, f, 0, 0), 512000);
  EXPECT_EQ(position(sys, f, 0, 1), -256000);
  EXPECT_EQ(position(sys, f, 0, 2), 1024000);
  EXPECT_EQ(position(sys, f, 5, 0), 0);  // a positive non-zero reference
  EXPECT_EQ(position(sys, f, f, 0), 0);  // against itself
  EXPECT_EQ(position(sys, f, 0, 3), 3);  // other components answer themselves, as rotation_axis does
  // A model element's frame, as the synchronisation places it.
  rm::frame_set_position(*scene.elements[1].frame, scene.main.get(), rm::vec3(2.0f, 0.0f, 0.0f));
  EXPECT_EQ(position(sys, element_handle(1), 0, 0), 1024000);
  EXPECT_EQ(position(sys, element_handle(1), f, 0), 512000);
  EXPECT_EQ(position(sys, element_handle(0), 0, 0), 0);  // not a model
  // position_set of an element writes its words; position_x reads a frame through the seam.
  position_set(sys, element_handle(0), 1, 2, 3);
  EXPECT_EQ(ir_get(record(0), ir::kPosZ), 3);
  connect_frame_hooks(sys);
  double x = 0, y = 0, z = 0;
  ASSERT_TRUE(run.hooks.frame_position(f & 0x7FFFFFFF, x, y, z));
  EXPECT_DOUBLE_EQ(y, -0.5);
  EXPECT_FALSE(run.hooks.frame_position(9, x, y, z));
}

// The current rotation set on an element gives angles whose element rotation is that rotation.
TEST_F(FrameKeywords, OrientationSetInvertsTheElementRotation) {
  rotation_axis_set(sys, 0, 0, 0, 46080);  // a quarter turn about z
  orientation_set(sys, element_handle(0));
  EXPECT_EQ(ir_get(record(0), ir::kRotX), 0);
  EXPECT_EQ(ir_get(record(0), ir::kRotY), 0);
  EXPECT_EQ(ir_get(record(0), ir::kRotZ), 46080);
  struct Turn {
    int32_t x, y, z, a;
  };
  const Turn turns[] = {{512000, 0, 0, 30000}, {0, 512000, 0, 100000}, {1, 2, 3, 70000}, {-5, 1, 9, 184000},
                        {0, 0, 1, 46080},      {3, -7, 2, 12345},       {0, 1, 0, 46080}};
  for (const Turn& t : turns) {
    rotation_axis_set(sys, t.x, t.y, t.z, t.a);
    rotation_axis_add(sys, 0, 512000, 0, 20000);
    orientation_set(sys, element_handle(0));
    render::ElementState st;
    st.rotation = {ir_get(record(0), ir::kRotX), ir_get(record(0), ir::kRotY), ir_get(record(0), ir::kRotZ)};
    const rm::quat got = render::element_rotation(st), want = scene.frames.rotation;
    EXPECT_GT(std::abs(glm::dot(got, want)), 0.99999f) << t.x << " " << t.y << " " << t.z << " " << t.a;
  }
  // On a frame: its orientation relative to its parent, read back by rotation_angle.
  const int32_t f = entered();
  rotation_axis_set(sys, 0, 512000, 0, 23040);  // 45 degrees about y
  orientation_set(sys, f);
  EXPECT_NEAR(rotation_angle(sys, f, 0), 23040, 1);
  EXPECT_NEAR(rotation_axis(sys, 1), 512000, 2);
  EXPECT_EQ(rotation_axis(sys, 7), 7);
  EXPECT_EQ(rotation_angle(sys, element_handle(0), 0), 0);
}

TEST_F(FrameKeywords, LocalAxesFollowTheIntegerRotationRule) {
  EXPECT_EQ(local_axis(sys, element_handle(0), 2, 2), 512000);
  EXPECT_EQ(local_axis(sys, element_handle(0), 0, 0), 512000);
  ir_set(record(0), ir::kRotY, 46080);  // a quarter turn about y takes z onto -x
  EXPECT_EQ(local_axis(sys, element_handle(0), 2, 0), -512000);
  EXPECT_EQ(local_axis(sys, element_handle(0), 2, 2), 0);
  EXPECT_EQ(local_axis(sys, element_handle(0), 3, 0), 0);
  EXPECT_EQ(local_axis(sys, element_handle(0), 0, 3), 0);
}

TEST_F(FrameKeywords, PartShowAndTheEnableSeamSwitchTraversal) {
  const int32_t f = entered();
  h_part_show(sys, f, 0);
  EXPECT_EQ(frame_of(sys, f)->traversal, 0u);
  h_part_show(sys, f, 1);
  EXPECT_EQ(frame_of(sys, f)->traversal, uint32_t(rm::kTraverseRender | rm::kTraversePick));
  h_part_show(sys, element_handle(1), 0);
  EXPECT_EQ(scene.elements[1].model->frame->traversal, 0u);
  connect_frame_hooks(sys);
  run.hooks.frame_enable(f & 0x7FFFFFFF, false);
  EXPECT_EQ(frame_of(sys, f)->traversal, uint32_t(rm::kTraverseRender));
  run.hooks.frame_enable(f & 0x7FFFFFFF, true);
  EXPECT_EQ(frame_of(sys, f)->traversal, uint32_t(rm::kTraverseRender | rm::kTraversePick));
  run.hooks.frame_enable(12345, true);  // no such frame
}

TEST_F(FrameKeywords, BadHandlesAndNoSceneGiveTheNeutralResult) {
  const int32_t f = entered();
  x_kill(sys, f);
  const int32_t bad[] = {f, kBit | 1, kBit | 0x7FFFFFFF, INT_MIN + 1, -1, 3, element_handle(2), element_handle(300)};
  for (int32_t e : bad) {
    EXPECT_EQ(position(sys, e, 0, 0), 0) << e;
    EXPECT_EQ(rotation_angle(sys, e, 0), 0) << e;
    EXPECT_EQ(x_picked(sys, e), 0) << e;
    position_set(sys, e, 1, 2, 3);
    orientation_set(sys, e);
    h_part_show(sys, e, 0);
    x_kill(sys, e);
    EXPECT_EQ(local_axis(sys, e, 2, 2), 0) << e;
  }
  EXPECT_EQ(x_load(sys, 0, 7), -1);  // a positive parent
  EXPECT_EQ(x_load(sys, 0, 0), -1);  // no name
  sys.scene = nullptr;
  EXPECT_EQ(position(sys, element_handle(1), 0, 0), 0);
  EXPECT_EQ(x_load(sys, 0, 0), -1);
  EXPECT_EQ(x_pick_pt(sys, 0), 0);
  rotation_axis_set(sys, 0, 0, 0, 1);
  orientation_set(sys, element_handle(0));
}

TEST(FrameBinding, EveryFrameKeywordIsBound) {
  KeywordBindings b;
  bind_frame_keywords(b);
  for (const char* name : {"position", "position_set", "rotation_axis_set", "rotation_axis_add", "orientation_set",
                           "rotation_angle", "rotation_axis", "local_axis", "h_part_show", "x_load", "x_kill",
                           "x_picked", "x_pick_pt", "x_clone", "x_element_get", "visual_picked", "visual_picked_get",
                           "visual_picked_get_ex", "visual_ray"}) {
    KeywordBindings probe;
    ASSERT_TRUE(bind_keyword(probe, name, [](System&, Registers&) {})) << name;
    for (int32_t k = 0; k < kKeywordRows; ++k)
      if (probe.routine[k]) {
        EXPECT_TRUE(b.routine[k]) << name;
      }
  }
}

}  // namespace
