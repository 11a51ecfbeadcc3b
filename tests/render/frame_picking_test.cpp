// Scene frames made from elements and picking with the mouse: show and hide of frame handles,
// copies of models, parts of models as handles, the run's picking routine and the keywords
// that read it, rays from elements, and bad handles.
#include <gtest/gtest.h>

#include <climits>

#include "brain/brain.h"
#include "core/core.h"
#include "devices/input.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "model/run_state.h"
#include "render/appearance_keywords.h"
#include "render/frame_keywords.h"
#include "render/scene.h"

using namespace korva;
using namespace korva::frames;

namespace {

constexpr int32_t kBit = int32_t(0x80000000u);

// A square of side 1 across x and y at depth z, facing both ways so that rays from either side
// meet it.
rm::MeshPtr square(float z) {
  rm::MeshPtr m = rm::mesh_create();
  const rm::vec3 a(-0.5f, -0.5f, z), b(-0.5f, 0.5f, z), c(0.5f, 0.5f, z), d(0.5f, -0.5f, z);
  rm::mesh_add_triangle(*m, a, b, c);
  rm::mesh_add_triangle(*m, a, c, d);
  rm::mesh_add_triangle(*m, a, c, b);
  rm::mesh_add_triangle(*m, a, d, c);
  return m;
}

// Element 0 a camera at the origin looking along +z over the whole screen, element 1 a square
// 5 units ahead, element 2 a model whose part 0 (with its own part 0) holds a square 8 ahead.
struct FramePicking : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  std::unique_ptr<BrainState> brain = brain_create();
  RunState run;
  Input input;
  render::Scene scene;
  System sys;
  rm::Frame* part = nullptr;       // the model's part 0
  rm::Frame* sub_part = nullptr;   // its part 0

  void SetUp() override {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    sys.run = &run;
    sys.brain = brain.get();
    sys.input = &input;
    std::vector<render::ElementSetup> setups(3);
    setups[0].kind = render::ElementKind::Camera;
    setups[0].rect = {0, 0, 639, 479};
    setups[1].kind = render::ElementKind::Shape3d;
    setups[1].shape = square(0.0f);
    setups[2].kind = render::ElementKind::Model;
    setups[2].model = std::make_shared<render::XModel>();
    setups[2].model->frame = rm::frame_create(nullptr);
    rm::FramePtr p = rm::frame_create(setups[2].model->frame.get());
    rm::FramePtr q = rm::frame_create(p.get());
    rm::frame_add_visual(*q, square(0.0f));
    part = p.get();
    sub_part = q.get();
    render::scene_build(scene, render::SceneSettings{}, setups, nullptr);
    rm::frame_set_position(*scene.elements[1].frame, scene.main.get(), rm::vec3(0.0f, 0.0f, 5.0f));
    rm::frame_set_position(*scene.elements[2].frame, scene.main.get(), rm::vec3(0.0f, 0.0f, 8.0f));
    model->last_index = 2;
    sys.scene = &scene;
    for (int32_t i = 0; i < 3; ++i) ir_set(record(i), ir::kFlags, ir::kFlagActive | ir::kFlagShown);
    const rm::Viewport& vp = scene.viewports.at(0);
    input.mouse_x = vp.x + vp.width / 2;  // the middle of the view: straight ahead
    input.mouse_y = vp.y + vp.height / 2;
  }
  void TearDown() override { render::scene_release(scene); }
  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  int32_t entered() { return frame_enter(sys, rm::frame_create(scene.main.get())); }
};

TEST_F(FramePicking, ShowAndHideSwitchAFrameHandlesRenderingAndPicking) {
  const int32_t f = entered();
  hide(sys, f);
  EXPECT_EQ(frame_of(sys, f)->traversal, 0u);
  EXPECT_FALSE(rm::frame_rendered(*frame_of(sys, f)));
  show(sys, f);
  EXPECT_EQ(frame_of(sys, f)->traversal, uint32_t(rm::kTraverseRender | rm::kTraversePick));
  // A hidden part is neither drawn nor picked; elements keep their shown flag.
  const int32_t p = x_element_get(sys, element_handle(2), 0, -1, -1, -1);
  hide(sys, p);
  EXPECT_EQ(visual_picked_get_ex(sys, element_handle(1)), 0);
  show(sys, p);
  EXPECT_EQ(visual_picked_get_ex(sys, element_handle(1)), element_handle(2));
  hide(sys, element_handle(1));
  EXPECT_EQ(ir_get(record(1), ir::kFlags) & ir::kFlagShown, 0);
  show(sys, element_handle(1));
  EXPECT_NE(ir_get(record(1), ir::kFlags) & ir::kFlagShown, 0);
  x_kill(sys, f);
  for (int32_t bad : {f, kBit | 9, INT_MIN, -1}) {
    EXPECT_EQ(show(sys, bad), 0);
    EXPECT_EQ(hide(sys, bad), 0);
  }
}

TEST_F(FramePicking, XCloneCopiesAModelWithMeshesOfItsOwn) {
  const int32_t c = x_clone(sys, element_handle(2), 0);
  ASSERT_NE(c, -1);
  EXPECT_NE(c & kBit, 0);
  rm::Frame* copy = frame_of(sys, c);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->parent, scene.main.get());
  ASSERT_EQ(copy->children.size(), 1u);  // the model's root
  const rm::Frame& root = *copy->children[0];
  ASSERT_EQ(root.children.size(), 1u);
  ASSERT_EQ(root.children[0]->children.size(), 1u);
  const rm::Frame& leaf = *root.children[0]->children[0];
  ASSERT_EQ(leaf.visuals.size(), 1u);
  const rm::MeshPtr mine = std::get<rm::MeshPtr>(leaf.visuals[0]);
  const rm::MeshPtr theirs = std::get<rm::MeshPtr>(sub_part->visuals[0]);
  EXPECT_NE(mine, theirs);  // reshaping the copy leaves the model alone
  EXPECT_EQ(mine->vertices, theirs->vertices);
  // The copy picks where it stands: at the origin of the main scene, not at the model.
  position_set(sys, c, 0, 0, 3 * 512000);
  EXPECT_EQ(x_picked(sys, c), -1);
  EXPECT_EQ(x_pick_pt(sys, 2), 3 * 512000);

  // A frame handle's copy keeps its placement and goes under the parent frame given, even
  // under the frame it copies.
  const int32_t again = x_clone(sys, c, c);
  ASSERT_NE(again, -1);
  EXPECT_EQ(frame_of(sys, again)->parent, copy);
  EXPECT_EQ(position(sys, again, c, 2), 3 * 512000);
  EXPECT_EQ(position(sys, again, 0, 2), 6 * 512000);

  const int32_t freed = entered();
  x_kill(sys, freed);
  struct Bad {
    int32_t source, parent;
  };
  const Bad bad[] = {{element_handle(2), 5},   {element_handle(1), 0}, {element_handle(0), 0},
                     {element_handle(3), 0},   {freed, 0},             {element_handle(2), freed},
                     {kBit | 0x7FFFFFFF, 0},   {0, 0},                 {-1, 0}};
  for (const Bad& b : bad) EXPECT_EQ(x_clone(sys, b.source, b.parent), -1) << b.source << " " << b.parent;
  sys.scene = nullptr;
  EXPECT_EQ(x_clone(sys, element_handle(2), 0), -1);
}

// A copy under the frame it copies doubles that frame at every call: the copies stop, with -1,
// before the main scene passes its cap, and the scene keeps working.
TEST_F(FramePicking, XCloneStopsBeforeTheSceneOutgrowsItsCap) {
  scene.frames.bytes_max = 1 << 20;
  const int32_t c = x_clone(sys, element_handle(2), 0);
  ASSERT_NE(c, -1);
  int32_t doublings = 0;
  while (x_clone(sys, c, c) != -1) ASSERT_LT(++doublings, 64);
  EXPECT_GT(doublings, 4);
  const auto count = [](const auto& self, const rm::Frame& f) -> int64_t {
    int64_t n = 1;
    for (const rm::FramePtr& child : f.children) n += self(self, *child);
    return n;
  };
  EXPECT_LE(count(count, *scene.main) * int64_t(sizeof(rm::Frame)), int64_t(1) << 20);
  x_kill(sys, c);
  EXPECT_NE(x_clone(sys, element_handle(2), 0), -1);  // killing the copies gives the room back
}

TEST_F(FramePicking, XElementGetNamesAPartOfAModelByItsPath) {
  struct Case {
    int32_t c1, c2, c3, c4;
    const rm::Frame* want;  // nullptr: -1
  };
  const rm::Frame* root = scene.elements[2].model->frame.get();
  const Case cases[] = {{-1, 5, 5, 5, root},     {0, -1, 7, 7, part},   {0, 0, -1, 0, sub_part},
                        {0, 0, 0, -1, nullptr},  {1, -1, -1, -1, nullptr}, {-2, -1, -1, -1, nullptr},
                        {INT_MIN, 0, 0, 0, nullptr}};
  for (const Case& c : cases) {
    const int32_t h = x_element_get(sys, element_handle(2), c.c1, c.c2, c.c3, c.c4);
    if (!c.want) {
      EXPECT_EQ(h, -1) << c.c1 << " " << c.c2 << " " << c.c3;
      continue;
    }
    ASSERT_NE(h, -1) << c.c1 << " " << c.c2;
    EXPECT_EQ(frame_of(sys, h), c.want);
    // The same part again: the same handle, the table does not grow.
    const int32_t mark = scene.frames.mark;
    EXPECT_EQ(x_element_get(sys, element_handle(2), c.c1, c.c2, c.c3, c.c4), h);
    EXPECT_EQ(scene.frames.mark, mark);
  }
  // The part moves with the model: its position in the main scene is the model's.
  const int32_t p = x_element_get(sys, element_handle(2), 0, -1, -1, -1);
  EXPECT_EQ(position(sys, p, 0, 2), 8 * 512000);
  for (int32_t bad : {element_handle(1), element_handle(0), element_handle(3), p, 0, -1})
    EXPECT_EQ(x_element_get(sys, bad, -1, -1, -1, -1), -1) << bad;
}

// The picking routine answers the nearest element under the cursor, through the first active,
// shown camera; visual_picked compares with the answer the step stored.
TEST_F(FramePicking, ThePickingRoutineAnswersTheElementUnderTheMouse) {
  EXPECT_EQ(scene_pick(sys), element_handle(1));
  EXPECT_EQ(visual_picked_get_ex(sys, element_handle(1)), element_handle(2));  // through the square
  EXPECT_EQ(visual_picked_get_ex(sys, element_handle(2)), element_handle(1));
  EXPECT_EQ(visual_picked_get(sys), element_handle(1));  // no step has picked: picks now

  brain->picking = scene_pick(sys);
  EXPECT_EQ(visual_picked(sys, element_handle(1)), -1);
  EXPECT_EQ(visual_picked(sys, element_handle(2)), 0);
  EXPECT_EQ(visual_picked_get(sys), element_handle(1));

  // Beside every mesh: a non-zero "nothing", which no element equals.
  input.mouse_x = 2;
  input.mouse_y = 2;
  EXPECT_EQ(scene_pick(sys), kNothingPicked);
  brain->picking = scene_pick(sys);
  EXPECT_EQ(visual_picked(sys, element_handle(1)), 0);
  EXPECT_EQ(visual_picked_get(sys), 0);
  EXPECT_EQ(visual_picked_get_ex(sys, 0), 0);

  // A camera that is off or hidden does not look.
  input.mouse_x = scene.viewports[0].x + scene.viewports[0].width / 2;
  input.mouse_y = scene.viewports[0].y + scene.viewports[0].height / 2;
  ir_set(record(0), ir::kFlags, ir::kFlagActive);
  EXPECT_EQ(scene_pick(sys), kNothingPicked);
  EXPECT_EQ(x_picked(sys, element_handle(1)), 0);
  ir_set(record(0), ir::kFlags, ir::kFlagActive | ir::kFlagShown);
  EXPECT_EQ(scene_pick(sys), element_handle(1));
}

TEST_F(FramePicking, VisualRayMeasuresAlongTheElementsZAxis) {
  // Element 0's record stands at the origin, unrotated: the square 5 ahead, the model's 8.
  EXPECT_NEAR(visual_ray(sys, element_handle(0), element_handle(1)), 5 * 512000, 2);
  EXPECT_NEAR(visual_ray(sys, element_handle(0), element_handle(2)), 8 * 512000, 2);
  const int32_t p = x_element_get(sys, element_handle(2), 0, 0, -1, -1);
  EXPECT_NEAR(visual_ray(sys, element_handle(0), p), 8 * 512000, 2);
  ir_set(record(0), ir::kPosZ, 512000);  // a unit closer
  EXPECT_NEAR(visual_ray(sys, element_handle(0), element_handle(1)), 4 * 512000, 2);
  ir_set(record(0), ir::kRotY, 46080);  // a quarter turn: looking along -x, past the square
  EXPECT_EQ(visual_ray(sys, element_handle(0), element_handle(1)), 0);
  ir_set(record(0), ir::kRotY, 2 * 46080);  // looking back: the square is behind
  EXPECT_EQ(visual_ray(sys, element_handle(0), element_handle(1)), 0);
}

TEST_F(FramePicking, BadHandlesAndMissingStateGiveTheNeutralResult) {
  const int32_t freed = entered();
  x_kill(sys, freed);
  const int32_t bad[] = {freed, kBit | 1, INT_MIN, -1, 0, 3, element_handle(3), element_handle(300)};
  for (int32_t e : bad) {
    EXPECT_EQ(visual_picked(sys, e), 0) << e;
    EXPECT_EQ(visual_ray(sys, e, element_handle(1)), 0) << e;
    EXPECT_EQ(visual_ray(sys, element_handle(0), e), 0) << e;
  }
  brain->picking = 1;  // a brain uses visual_picked, no step has run yet
  EXPECT_EQ(visual_picked(sys, element_handle(1)), 0);
  sys.input = nullptr;
  EXPECT_EQ(scene_pick(sys), kNothingPicked);
  EXPECT_EQ(visual_picked_get(sys), 0);
  sys.input = &input;
  sys.brain = nullptr;
  EXPECT_EQ(visual_picked(sys, element_handle(1)), 0);
  sys.scene = nullptr;
  EXPECT_EQ(scene_pick(sys), kNothingPicked);
  EXPECT_EQ(visual_picked_get(sys), 0);
  EXPECT_EQ(visual_picked_get_ex(sys, 0), 0);
  EXPECT_EQ(visual_ray(sys, element_handle(0), element_handle(1)), 0);
  EXPECT_EQ(x_element_get(sys, element_handle(2), -1, -1, -1, -1), -1);
}

}  // namespace
