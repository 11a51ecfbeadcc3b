// The volume shadow keywords: silhouettes, volume planes and the plane list with its bound,
// shadow copies of a receiver in the overlay scene, their material and pass settings, updates
// and automatic shadows that follow the caster, and wild handles.
#include "render/shadow_keywords.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/core.h"
#include "platform/platform.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "render/frame_keywords.h"
#include "render/mesh_keywords.h"
#include "render/scene.h"

using namespace korva;
using namespace korva::shadows;

namespace {

// A square of side 2·half at height y facing up, each triangle with corners of its own.
rm::MeshPtr level_square(float half, float y) {
  rm::MeshPtr m = rm::mesh_create();
  const rm::vec3 a(-half, y, -half), b(-half, y, half), c(half, y, half), d(half, y, -half);
  rm::mesh_add_triangle(*m, a, b, c);
  rm::mesh_add_triangle(*m, a, c, d);
  return m;
}

bool inside(const std::vector<rm::ClipPlane>& planes, rm::vec3 p) {
  for (const rm::ClipPlane& pl : planes)
    if (glm::dot(p - pl.point, pl.normal) < 0.0f) return false;
  return true;
}

struct ShadowKeywords : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  render::Scene scene;
  System sys;

  // Element 0 a floor (side 4 at y = 0), element 1 a caster (side 1 at y = 1), element 2 a
  // light turned to shine straight down, 3 m up.
  void SetUp() override {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    std::vector<render::ElementSetup> setups(3);
    setups[0].kind = render::ElementKind::Shape3d;
    setups[0].shape = level_square(2.0f, 0.0f);
    setups[1].kind = render::ElementKind::Shape3d;
    setups[1].shape = level_square(0.5f, 1.0f);
    setups[2].kind = render::ElementKind::Light;
    render::scene_build(scene, render::SceneSettings{}, setups, nullptr);
    model->last_index = 2;
    sys.scene = &scene;
    ir_set(record(2), ir::kRotX, 46080);
    ir_set(record(2), ir::kPosY, 3 * 512000);
  }
  void TearDown() override { render::scene_release(scene); }
  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  // The planes of the copy's first clipped visual, in the main scene's coordinates.
  std::vector<rm::ClipPlane> copy_planes(size_t i) {
    const render::OverlayCopy& oc = scene.overlay_copies.at(i);
    std::vector<rm::ClipPlane> out;
    if (oc.copy->visuals.empty()) return out;
    const rm::mat4 w = rm::frame_local(*oc.copy);
    for (const rm::ClipPlane& p : std::get<rm::ClippedPtr>(oc.copy->visuals[0])->planes)
      out.push_back({rm::vec3(w * rm::vec4(p.point, 1.0f)), glm::normalize(rm::mat3(w) * p.normal)});
    return out;
  }
};

int32_t h(int32_t i) { return element_handle(i); }

TEST_F(ShadowKeywords, TwoLitTrianglesSharingAnEdgeHaveFourSilhouetteEdges) {
  ShadowLight down;
  down.parallel = true;
  EXPECT_EQ(silhouette(*level_square(1.0f, 0.0f), rm::mat4(1.0f), down).size(), 4u);
  ShadowLight up = down;
  up.direction = rm::vec3(0.0f, 1.0f, 0.0f);  // the light from below sees only the backs
  EXPECT_EQ(silhouette(*level_square(1.0f, 0.0f), rm::mat4(1.0f), up).size(), 0u);
  // A point light: the same square seen from above.
  ShadowLight point;
  point.position = rm::vec3(0.0f, 5.0f, 0.0f);
  const std::vector<rm::ClipPlane> planes = volume_planes(*level_square(1.0f, 0.0f), rm::mat4(1.0f), point, true);
  ASSERT_EQ(planes.size(), 6u);  // four sides and two caps
  EXPECT_TRUE(inside(planes, rm::vec3(0.0f, -1.0f, 0.0f)));
  EXPECT_TRUE(inside(planes, rm::vec3(1.15f, -1.0f, 0.0f)));   // the cone widens below
  EXPECT_FALSE(inside(planes, rm::vec3(1.15f, -0.01f, 0.0f)));
  EXPECT_FALSE(inside(planes, rm::vec3(0.0f, 1.0f, 0.0f)));   // the caps: not above the square
}

TEST_F(ShadowKeywords, AVolumeFillsThePlaneListWhichStopsWhenFull) {
  v_shadow_volume_reset(sys);
  v_shadow_volume_add(sys, h(1), 1, h(2));  // parallel light along the light's z axis
  const std::vector<rm::ClipPlane> planes = plane_list_planes(scene.shadow);
  ASSERT_EQ(planes.size(), 4u);
  EXPECT_EQ(scene.shadow.planes[0], 4.0f);
  EXPECT_EQ(scene.shadow.write, 1 + 4 * 6);
  EXPECT_EQ(scene.shadow.planes[25], 0.0f);
  EXPECT_TRUE(inside(planes, rm::vec3(0.4f, 0.0f, -0.4f)));
  EXPECT_FALSE(inside(planes, rm::vec3(0.6f, 0.0f, 0.0f)));
  for (const rm::ClipPlane& p : planes) EXPECT_NEAR(glm::length(p.normal), 1.0f, 1e-6f);
  // Filling up: no plane crosses the 7000th float and the list still ends with a 0.
  for (int32_t i = 0; i < 400; ++i) v_shadow_volume_add(sys, h(1), 3, h(2));
  EXPECT_LT(scene.shadow.write, render::kPlaneListFloats);
  EXPECT_GT(scene.shadow.write + 7, render::kPlaneListFloats);  // one more plane would not fit
  EXPECT_EQ(scene.shadow.planes[size_t(scene.shadow.write)], 0.0f);
  EXPECT_EQ(plane_list_planes(scene.shadow).size(), size_t(scene.shadow.planes[0]));
  EXPECT_EQ(plane_list_planes(scene.shadow).size(), size_t((render::kPlaneListFloats - 2) / 6));
  // Past a full list a volume is not kept either: adding one at every call grows nothing.
  const size_t volumes = scene.shadow.volumes.size();
  for (int32_t i = 0; i < 1000; ++i) v_shadow_volume_add(sys, h(1), 3, h(2));
  EXPECT_EQ(scene.shadow.volumes.size(), volumes);
  v_shadow_volume_reset(sys);
  EXPECT_TRUE(plane_list_planes(scene.shadow).empty());
  EXPECT_EQ(scene.shadow.write, 1);
}

TEST_F(ShadowKeywords, FactorSetsTheOffsetInRangeAndThePassMode) {
  v_shadow_factor(sys, 0, 1);
  EXPECT_FLOAT_EQ(scene.shadow_offset, 0.001f);
  EXPECT_FALSE(scene.shadow_single_pass);
  v_shadow_factor(sys, 500, 0);
  EXPECT_FLOAT_EQ(scene.shadow_offset, 0.5f);
  EXPECT_TRUE(scene.shadow_single_pass);
  v_shadow_factor(sys, 1001, 0);
  v_shadow_factor(sys, -3, 0);
  EXPECT_FLOAT_EQ(scene.shadow_offset, 0.5f);
}

TEST_F(ShadowKeywords, CreateCopiesTheReceiverClippedByTheListAndUpdateFollowsTheCaster) {
  v_shadow_volume_reset(sys);
  v_shadow_create(sys, h(0));  // an empty list: no copy
  EXPECT_TRUE(scene.overlay_copies.empty());
  EXPECT_FALSE(scene.shadows);
  v_shadow_volume_add(sys, h(1), 1, h(2));
  v_shadow_set(sys, 1, 100, 0, 0, 1000);
  v_shadow_create(sys, h(0));
  ASSERT_EQ(scene.overlay_copies.size(), 1u);
  EXPECT_TRUE(scene.shadows);
  const render::OverlayCopy& oc = scene.overlay_copies[0];
  EXPECT_EQ(oc.copy->parent, scene.overlay.get());
  EXPECT_EQ(oc.source, scene.elements[0].frame);
  ASSERT_EQ(oc.copy->visuals.size(), 1u);
  ASSERT_TRUE(oc.copy->material);
  EXPECT_EQ(oc.copy->material->ambient, rm::vec4(0.1f, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(inside(copy_planes(0), rm::vec3(0.0f, 0.0f, 0.0f)));
  EXPECT_FALSE(inside(copy_planes(0), rm::vec3(1.0f, 0.0f, 0.0f)));
  // The receiver moved 1 m along x: its copy's planes stay where the shadow falls.
  ir_set(record(0), ir::kPosX, 512000);
  ir_set(record(1), ir::kPosX, 1024000);  // and the caster 2 m
  v_shadow_update(sys, h(0));
  EXPECT_TRUE(inside(copy_planes(0), rm::vec3(2.0f, 0.0f, 0.0f)));
  EXPECT_FALSE(inside(copy_planes(0), rm::vec3(0.0f, 0.0f, 0.0f)));
  v_shadow_set(sys, 0, 0, 0, 0, 300);  // every copy takes the new material
  EXPECT_FLOAT_EQ(scene.overlay_copies[0].copy->material->diffuse.a, 0.3f);
  v_shadow_volume_reset(sys);
  EXPECT_FALSE(scene.shadows);  // the passes wait for the next create
  v_shadow_delete(sys);
  EXPECT_TRUE(scene.overlay_copies.empty());
  EXPECT_TRUE(scene.overlay->children.empty());
}

// Every create makes a copy of the receiver; the copies stop at the scene's cap.
TEST_F(ShadowKeywords, CreateStopsMakingCopiesAtTheScenesCap) {
  v_shadow_volume_reset(sys);
  v_shadow_volume_add(sys, h(1), 1, h(2));
  v_shadow_create(sys, h(0));
  ASSERT_EQ(scene.overlay_copies.size(), 1u);
  scene.frames.bytes_max = frames::frame_bytes(*scene.main) + frames::frame_bytes(*scene.overlay) +
                           3 * frames::frame_bytes(*scene.overlay_copies[0].copy);
  for (int32_t i = 0; i < 100; ++i) v_shadow_create(sys, h(0));
  EXPECT_GE(scene.overlay_copies.size(), 2u);
  EXPECT_LE(scene.overlay_copies.size(), 4u);
  v_shadow_delete(sys);
  v_shadow_create(sys, h(0));  // deleting the copies gives the room back
  EXPECT_EQ(scene.overlay_copies.size(), 1u);
}

TEST_F(ShadowKeywords, AutomaticShadowsFollowTheCasterFromTheShadowLight) {
  shadow_add(sys, h(1), h(0));
  shadow_add(sys, h(1), h(0));  // once per pair
  ASSERT_EQ(scene.overlay_copies.size(), 1u);
  EXPECT_TRUE(scene.shadows);
  EXPECT_TRUE(inside(copy_planes(0), rm::vec3(0.0f, 0.0f, 0.0f)));  // straight down by default
  const rm::ClippedPtr first = std::get<rm::ClippedPtr>(scene.overlay_copies[0].copy->visuals[0]);
  shadows_refresh(sys);  // nothing moved: the copy is not cut again
  EXPECT_EQ(std::get<rm::ClippedPtr>(scene.overlay_copies[0].copy->visuals[0]), first);
  shadow_orientation_set(sys, 512000, -512000, 0);  // 45 degrees: the shadow falls 1 m along x
  ir_set(record(1), ir::kPosZ, 512000);
  shadows_refresh(sys);
  EXPECT_TRUE(inside(copy_planes(0), rm::vec3(1.0f, 0.0f, 1.0f)));
  EXPECT_FALSE(inside(copy_planes(0), rm::vec3(0.0f, 0.0f, 1.0f)));
  shadow_location_set(sys, 0, 2 * 512000, 512000);  // a point light 1 m above the caster
  shadows_refresh(sys);
  EXPECT_TRUE(inside(copy_planes(0), rm::vec3(0.9f, 0.0f, 1.0f)));  // twice the size below
  EXPECT_FALSE(inside(copy_planes(0), rm::vec3(1.1f, 0.0f, 1.0f)));
  shadow_orientation_set(sys, 0, 0, 0);  // no direction: still the point light
  EXPECT_FALSE(scene.shadow.light_parallel);
  v_shadow_delete(sys);
  EXPECT_TRUE(scene.overlay->children.empty());
}

// Rendered on the software device: the floor is darkened under the caster and nowhere else,
// and is whole again once the shadow is deleted.
TEST(ShadowPass, TheFloorIsDarkenedInsideTheVolumeOnly) {
  platform::Devices devices;
  platform::Screen none;
  platform::devices_probe(devices, none);
  if (!platform::devices_select(devices, platform::DeviceKind::Software)) GTEST_SKIP() << "no software device";
  gl::Device d;
  ASSERT_TRUE(gl::device_init(d));
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  fill_math_tables(*core);
  render::Scene scene;
  System sys;
  sys.core = core.get();
  sys.model = model.get();
  // A camera 4 m up and 4 m back looking down at 45 degrees, the floor, the caster 1 m up, a
  // white light shining straight down and a dim ambient one.
  std::vector<render::ElementSetup> setups(5);
  setups[0].kind = render::ElementKind::Camera;
  setups[0].rect = {0, 0, 159, 119};
  setups[1].kind = render::ElementKind::Shape3d;
  setups[1].shape = level_square(2.0f, 0.0f);
  setups[2].kind = render::ElementKind::Shape3d;
  setups[2].shape = level_square(0.5f, 1.0f);
  setups[3].kind = render::ElementKind::Light;
  setups[3].light_type = 3;
  setups[4].kind = render::ElementKind::Light;
  setups[4].light_type = 0;
  setups[4].light_color = 0x303030;
  render::SceneSettings st;
  st.format = platform::PixelFormat::Xrgb8888;
  render::scene_build(scene, st, setups, &d);
  model->last_index = 4;
  sys.scene = &scene;
  const int32_t at[5][4] = {{0, 4 * 512000, -4 * 512000, 23040}, {}, {}, {0, 0, 0, 46080}, {}};
  std::vector<render::ElementState> states(5);
  for (int32_t i = 0; i < 5; ++i) {
    uint8_t* r = core->pool(Pool::Instances) + i * kInstanceRecordBytes;
    for (int32_t o : {ir::kScaleX, ir::kScaleY, ir::kScaleZ}) ir_set(r, o, 1000);
    ir_set(r, ir::kPosY, at[i][1]);
    ir_set(r, ir::kPosZ, at[i][2]);
    ir_set(r, ir::kRotX, at[i][3]);
    states[size_t(i)].active = states[size_t(i)].shown = true;
    states[size_t(i)].position = {0, at[i][1], at[i][2]};
    states[size_t(i)].rotation = {at[i][3], 0, 0};
  }
  v_shadow_volume_add(sys, h(2), 1, h(3));
  v_shadow_create(sys, h(1));
  platform::Surface back;
  ASSERT_TRUE(platform::surface_create(back, 160, 120, st.format));
  auto brightness = [&](rm::vec3 world) {
    const rm::vec4 p = rm::viewport_transform(scene.viewports[0], world);
    const uint32_t c = platform::surface_pixel(back, int32_t(p.x), int32_t(p.y));
    return int((c >> 16) & 255) + int((c >> 8) & 255) + int(c & 255);
  };
  render::scene_render(scene, *core, states, d, back);
  const int lit = brightness(rm::vec3(1.4f, 0.0f, 0.0f)), shaded = brightness(rm::vec3(0.0f, 0.0f, 0.2f));
  EXPECT_GT(lit, 300);
  EXPECT_LT(shaded, lit * 6 / 10);
  EXPECT_NEAR(brightness(rm::vec3(-1.4f, 0.0f, 0.3f)), lit, 6);  // the other side is lit too
  v_shadow_delete(sys);
  render::scene_render(scene, *core, states, d, back);
  EXPECT_NEAR(brightness(rm::vec3(0.0f, 0.0f, 0.2f)), lit, 6);
  render::scene_release(scene);
  gl::device_release(d);
  platform::devices_release(devices);
}

TEST_F(ShadowKeywords, WildHandlesDoNothing) {
  const int32_t wild[] = {0, -1, 7, INT_MIN, INT_MAX, int32_t(0x80000000u) | 2, h(3), h(1) + 8};
  for (int32_t w : wild) {
    v_shadow_volume_add(sys, w, 0, h(2));
    v_shadow_volume_add(sys, h(1), 0, w);
    shadow_add(sys, w, h(0));
    shadow_add(sys, h(1), w);
  }
  EXPECT_TRUE(plane_list_planes(scene.shadow).empty());
  EXPECT_TRUE(scene.shadow.volumes.empty());
  v_shadow_volume_add(sys, h(1), 1, h(2));
  for (int32_t w : wild) {
    v_shadow_create(sys, w);
    v_shadow_update(sys, w);
  }
  EXPECT_TRUE(scene.overlay_copies.empty());
  sys.scene = nullptr;
  v_shadow_volume_reset(sys);
  v_shadow_volume_add(sys, h(1), 0, h(2));
  v_shadow_create(sys, h(0));
  v_shadow_delete(sys);
  v_shadow_set(sys, 0, 1, 1, 1, 1);
  v_shadow_factor(sys, 5, 1);
  v_shadow_update(sys, h(0));
  shadow_add(sys, h(1), h(0));
  shadow_location_set(sys, 1, 2, 3);
  shadow_orientation_set(sys, 1, 2, 3);
  shadows_refresh(sys);
}

}  // namespace
