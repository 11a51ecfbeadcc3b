// The element appearance keywords: visual kinds from the asset tags, the shown and translucent
// bits, scale by kind, radii, the frame animation's wrap rules, FRAME refreshes, scene lights,
// colours and camera field, the lowest point of a placed visual, bad handles, and a compiled
// brain that hides and animates its element.
#include "render/appearance_keywords.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "brain/brain_run.h"
#include "brain/keyword_binding.h"
#include "core/core.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "runtime/runtime.h"

using namespace korva;
namespace fs = std::filesystem;

namespace {

struct Appearance : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  std::unique_ptr<Overlays> overlays = overlays_create();
  render::Scene scene;
  System sys;

  void SetUp() override {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    sys.overlays = overlays.get();
  }

  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }

  // Element i, active and shown at scale 1000, whose count aspects are the asset slots from
  // first_slot on, each tagged tag; the current aspect is the first.
  uint8_t* element(int32_t i, const char* tag, int32_t first_slot, int32_t count = 1) {
    model->last_index = std::max(model->last_index, i);
    for (int32_t k = 0; k < count; ++k) std::memcpy(asset_record(sys, first_slot + k), tag, 4);
    uint8_t* r = record(i);
    ir_set(r, ir::kFirstAspect, first_slot);
    ir_set(r, ir::kCurrentAspect, first_slot);
    ir_set(r, ir::kAspectCount, count);
    ir_set(r, ir::kFlags, ir::kFlagActive | ir::kFlagShown);
    for (int32_t off : {ir::kScaleX, ir::kScaleY, ir::kScaleZ}) ir_set(r, off, 1000);
    return r;
  }

  // Element i's scene object as the build makes it from setup (elements without one: None).
  void build_scene(std::vector<render::ElementSetup> setups) {
    render::scene_build(scene, render::SceneSettings{}, setups, nullptr);
    sys.scene = &scene;
  }
};

int32_t h(int32_t i) { return element_handle(i); }

rm::MeshPtr quad(float half) {
  rm::MeshPtr m = rm::mesh_create();
  const int32_t a = rm::mesh_add_vertex(*m, rm::vec3(-half, -half, 0));
  const int32_t b = rm::mesh_add_vertex(*m, rm::vec3(half, -half, 0));
  const int32_t c = rm::mesh_add_vertex(*m, rm::vec3(half, half, 0));
  const int32_t d = rm::mesh_add_vertex(*m, rm::vec3(-half, half, 0));
  // Both windings, so that the quad shows from either side.
  for (auto [p, q, r] : {std::array{a, b, c}, {a, c, d}, {a, c, b}, {a, d, c}}) rm::mesh_add_face(*m, p, q, r);
  rm::mesh_generate_normals(*m);
  return m;
}

TEST_F(Appearance, TypeIsTheKindOfTheCurrentAspectsTag) {
  const std::pair<const char*, int32_t> kinds[] = {
      {"d30.", 0}, {"d3a.", 1}, {"d3b.", 2}, {"d3e.", 3}, {"d3f.", 4},  {"d3g.", 5}, {"d3h.", 6},
      {"d3i.", 7}, {"d3l.", 8}, {"d3v.", 9}, {"d3m.", 10}, {"d3x.", 11}, {"d3q.", -1}, {"3ds.", -1}};
  int32_t i = 0;
  for (const auto& [tag, code] : kinds) {
    element(i, tag, i);
    EXPECT_EQ(type(sys, h(i)), code) << tag;
    ++i;
  }
  // The current aspect decides, not the first.
  element(i, "d3v.", 100, 2);
  std::memcpy(asset_record(sys, 101), "d3x.", 4);
  ir_set(record(i), ir::kCurrentAspect, 101);
  EXPECT_EQ(type(sys, h(i)), 11);
  // An element with no aspect names the next element's slots: it has no kind.
  ir_set(record(i), ir::kAspectCount, 0);
  EXPECT_EQ(type(sys, h(i)), -1);
  // A frame handle, and handles that name no element of the project.
  for (int32_t bad : {int32_t(0x80000001u), 0, -1024, h(0) + 4, h(i + 1), h(256)})
    EXPECT_EQ(type(sys, bad), -1) << bad;
}

TEST_F(Appearance, ShowHideAndTranslucentChangeOnlyTheirBit) {
  uint8_t* r = element(0, "d3e.", 0);
  const int32_t others = ir::kFlagActive | ir::kFlagBrainStopped | ir::kFlagCollisions | 1 << 12;
  ir_set(r, ir::kFlags, others | ir::kFlagShown);
  EXPECT_EQ(hide(sys, h(0)), 0);
  EXPECT_EQ(ir_get(r, ir::kFlags), others);
  EXPECT_EQ(show(sys, h(0)), 0);
  EXPECT_EQ(ir_get(r, ir::kFlags), others | ir::kFlagShown);
  translucent(sys, h(0), 3);  // only bit 0 of the value counts
  EXPECT_EQ(ir_get(r, ir::kFlags), others | ir::kFlagShown | ir::kFlagTranslucent);
  translucent(sys, h(0), 2);
  EXPECT_EQ(ir_get(r, ir::kFlags), others | ir::kFlagShown);

  // Scene-frame handles: nothing changes, 0 comes back.
  std::vector<uint8_t> before(core->pool(Pool::Instances), core->pool(Pool::Instances) + 4 * kInstanceRecordBytes);
  for (int32_t frame : {int32_t(0x80000000u), int32_t(0x80000000u | 0x00100000u)}) {
    EXPECT_EQ(hide(sys, frame), 0);
    EXPECT_EQ(show(sys, frame), 0);
    translucent(sys, frame, 1);
  }
  EXPECT_EQ(std::memcmp(before.data(), core->pool(Pool::Instances), before.size()), 0);
}

TEST_F(Appearance, ScaleIsStoredOnlyForTheKindsThatDrawIt) {
  struct Case {
    const char* tag;
    bool takes_scale_set, takes_flat_scale_set;
  };
  const Case cases[] = {{"d3v.", true, false}, {"d3x.", true, false}, {"d3b.", false, true},
                        {"d30.", false, false}, {"d3a.", false, false}, {"d3e.", false, false}};
  int32_t i = 0;
  for (const Case& c : cases) {
    element(i, c.tag, i);
    scale_set(sys, h(i), 2000, 3000, 4000);
    EXPECT_EQ(scale_x(sys, h(i)), c.takes_scale_set ? 2000 : 1000) << c.tag;
    EXPECT_EQ(scale_y(sys, h(i)), c.takes_scale_set ? 3000 : 1000) << c.tag;
    EXPECT_EQ(scale_z(sys, h(i)), c.takes_scale_set ? 4000 : 1000) << c.tag;
    flat_scale_set(sys, h(i), 500, 250);
    EXPECT_EQ(scale_x(sys, h(i)), c.takes_flat_scale_set ? 500 : c.takes_scale_set ? 2000 : 1000) << c.tag;
    EXPECT_EQ(scale_y(sys, h(i)), c.takes_flat_scale_set ? 250 : c.takes_scale_set ? 3000 : 1000) << c.tag;
    EXPECT_EQ(scale_z(sys, h(i)), c.takes_scale_set ? 4000 : 1000) << c.tag;  // never by flat_scale_set
    ++i;
  }
}

TEST_F(Appearance, RadiiAndDimensionsInPositionUnits) {
  uint8_t* r = element(0, "d3v.", 0);
  ir_set(r, ir::kCollisionRadius, 1500);  // 1.5 scene units, in thousandths
  ir_set(r, ir::kBoxRadius, 2250);
  ir_set(r, ir::kDimX, -7);
  ir_set(r, ir::kDimY, 8);
  ir_set(r, ir::kDimZ, INT_MIN);
  EXPECT_EQ(radius(sys, h(0)), 768000);
  EXPECT_EQ(radius_max(sys, h(0)), 1152000);
  EXPECT_EQ(dimension_abs(sys, h(0), 1), 7 * 512);
  EXPECT_EQ(dimension_abs(sys, h(0), 2), 8 * 512);
  EXPECT_EQ(dimension_abs(sys, h(0), 3), 0);  // |INT_MIN| times 512 wraps, as brain arithmetic does
  // Words outside the record read 0, however far n reaches.
  for (int32_t n : {INT_MIN, -100, 300, INT_MAX}) EXPECT_EQ(dimension_abs(sys, h(0), n), 0) << n;
}

TEST_F(Appearance, AnimationFramesAreCountedFromOne) {
  uint8_t* r = element(0, "d3v.", 40, 4);
  EXPECT_EQ(last_animation_frame(sys, h(0)), 4);
  EXPECT_EQ(animation_frame(sys, h(0)), 1);
  animation_frame_set(sys, h(0), 3);
  EXPECT_EQ(animation_frame(sys, h(0)), 3);
  EXPECT_EQ(ir_get(r, ir::kCurrentAspect), 42);
  for (int32_t n : {0, 5, -1, INT_MAX}) {
    animation_frame_set(sys, h(0), n);
    EXPECT_EQ(animation_frame(sys, h(0)), 3) << n;
  }
}

// One call of animate on an element with five frames.
struct AnimateCase {
  int32_t frame, step;  // current frame and accumulator before the call
  int32_t first, last, speed;
  int32_t result, frame_after, step_after;
};

TEST_F(Appearance, AnimateFollowsTheWrapRules) {
  const AnimateCase cases[] = {
      {5, 0, 1, 5, 256, 5, 1, 0},      // wraps to first: returns last
      {2, 0, 1, 5, 256, 2, 3, 0},      // plain step: returns the frame before
      {2, 0, 1, 5, 64, 2, 2, 64},      // below 256 nothing moves
      {2, 192, 1, 5, 64, 2, 3, 0},     // the fourth quarter moves one frame
      {2, 100, 1, 5, 200, 2, 3, 44},   // only the low 8 bits stay
      {4, 0, 2, 5, 1024, 5, 4, 0},     // four frames: 8 wraps to 2 + (8 - 5 - 1)
      {1, 0, 3, 5, 256, 1, 4, 0},      // below first counts as first
      {5, 0, 3, 1, 256, 5, 2, 0},      // backward; above first counts as first
      {1, 0, 1, 5, -256, 1, 5, 0},     // negative: first and last exchanged, wraps to 5, returns 1
      {3, 0, 1, 5, -256, 3, 2, 0},
      {2, 0, 5, 1, 768, 1, 4, 0},      // backward three frames: -1 wraps to -1 - 1 + 5 + 1
      {3, 0, 0, 5, 256, 3, 3, 0},      // first outside 1..5: nothing
      {3, 0, 1, 6, 256, 3, 3, 0},      // last outside 1..5: nothing
      {3, 7, 1, 5, 0, 3, 3, 7},        // speed 0 only adds nothing
      {3, 0, 2, 2, INT_MAX, 2, 2, 255},  // a one-frame range takes any number of frames at once
      {3, 0, 4, 1, INT_MIN, 4, 3, 0},  // INT_MIN made positive: 2^23 frames forward over 1..4
  };
  for (const AnimateCase& c : cases) {
    uint8_t* r = element(0, "d3v.", 20, 5);
    ir_set(r, ir::kCurrentAspect, 20 + c.frame - 1);
    ir_set(r, ir::kAnimationStep, c.step);
    const std::string what = std::to_string(c.frame) + ": animate(" + std::to_string(c.first) + ", " +
                             std::to_string(c.last) + ", " + std::to_string(c.speed) + ")";
    EXPECT_EQ(animate(sys, h(0), c.first, c.last, c.speed), c.result) << what;
    EXPECT_EQ(animation_frame(sys, h(0)), c.frame_after) << what;
    EXPECT_EQ(ir_get(r, ir::kAnimationStep), c.step_after) << what;
  }
}

TEST_F(Appearance, SpeedSixtyFourAdvancesOneFrameEveryFourthCall) {
  element(0, "d3e.", 0, 3);
  std::vector<int32_t> frames;
  for (int k = 0; k < 12; ++k) {
    animate(sys, h(0), 1, 3, 64);
    frames.push_back(animation_frame(sys, h(0)));
  }
  EXPECT_EQ(frames, (std::vector<int32_t>{1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 1}));
}

TEST_F(Appearance, FrameRefreshSetsTheDrawCountOfFramesOnly) {
  uint8_t* frame = element(0, "d3f.", 0);
  uint8_t* hidden_frame = element(1, "d3f.", 1);
  ir_set(hidden_frame, ir::kFlags, ir::kFlagActive);
  uint8_t* inactive_frame = element(2, "d3f.", 2);
  ir_set(inactive_frame, ir::kFlags, ir::kFlagShown);
  uint8_t* sprite = element(3, "d3e.", 3);
  ir_set(sprite, ovr::kDrawCount, 77);

  frame_refresh_all(sys);
  EXPECT_EQ(ir_get(frame, ovr::kDrawCount), 4);
  EXPECT_EQ(ir_get(hidden_frame, ovr::kDrawCount), 0);
  EXPECT_EQ(ir_get(inactive_frame, ovr::kDrawCount), 0);
  EXPECT_EQ(ir_get(sprite, ovr::kDrawCount), 77);

  frame_refresh(sys, h(1));  // one element's refresh does not ask whether it is shown
  EXPECT_EQ(ir_get(hidden_frame, ovr::kDrawCount), 4);
  frame_refresh(sys, h(3));  // the word is a sprite's own
  EXPECT_EQ(ir_get(sprite, ovr::kDrawCount), 77);
}

TEST_F(Appearance, LightsColourAndIntensityAreTheSceneLights) {
  element(0, "d30.", 0);
  element(1, "d3l.", 1);
  element(2, "d3l.", 2);
  // Without a scene a light has nothing to answer with.
  light_color_set(sys, h(1), 10, 20, 30);
  EXPECT_EQ(light_color_red(sys, h(1)), 0);
  EXPECT_EQ(light_intensity(sys, h(1)), 0);

  render::ElementSetup lamp;
  lamp.kind = render::ElementKind::Light;
  lamp.light_color = 0x40c0ff;
  lamp.light_attenuation = 256;
  render::ElementSetup dark = lamp;
  dark.active = false;  // built black
  build_scene({render::ElementSetup{}, lamp, dark});
  EXPECT_EQ(light_color_red(sys, h(1)), 0x40);
  EXPECT_EQ(light_color_green(sys, h(1)), 0xc0);
  EXPECT_EQ(light_color_blue(sys, h(1)), 0xff);
  EXPECT_EQ(light_intensity(sys, h(1)), 256);
  EXPECT_EQ(light_color_blue(sys, h(2)), 0);

  light_color_set(sys, h(2), 255, 128, 256 + 7);  // each channel taken as a byte
  EXPECT_EQ(scene.elements[2].light->color, rm::vec3(255, 128, 7) / 255.0f);
  EXPECT_EQ(light_color_green(sys, h(2)), 128);
  EXPECT_EQ(light_intensity_set(sys, h(2), 1024 + 768), 0);
  EXPECT_FLOAT_EQ(scene.elements[2].light->linear, 0.25f);
  EXPECT_EQ(light_intensity(sys, h(2)), 768);
  light_intensity_set(sys, h(2), 1023);
  EXPECT_EQ(light_intensity(sys, h(2)), 1023);

  // A camera is not a light.
  light_color_set(sys, h(0), 1, 2, 3);
  light_intensity_set(sys, h(0), 5);
  EXPECT_EQ(light_color_red(sys, h(0)), 0);
  EXPECT_EQ(light_intensity(sys, h(0)), 0);
  EXPECT_FALSE(scene.elements[0].light);
}

TEST_F(Appearance, SceneColoursCameraFieldAndBackground) {
  const fs::path cam = fs::temp_directory_path() / ("korva_appearance_cam_" + std::to_string(::getpid()) + ".03d");
  std::ofstream(cam) << "fov=240\r\n";
  element(0, "d30.", 0);
  element(1, "d3a.", 1);
  element(2, "d3l.", 2);
  render::ElementSetup camera;
  camera.kind = render::ElementKind::Camera;
  camera.camera = render::read_camera(cam.string());
  camera.rect = {0, 0, 639, 479};
  render::ElementSetup shape;
  shape.kind = render::ElementKind::Shape3d;
  shape.shape = quad(0.5f);
  render::ElementSetup lamp;
  lamp.kind = render::ElementKind::Light;
  build_scene({camera, shape, lamp});
  fs::remove(cam);

  EXPECT_EQ(camera_fov(sys, h(0)), 240);
  render::camera_fov_set(scene, 0, 120);
  EXPECT_EQ(camera_fov(sys, h(0)), 120);
  EXPECT_EQ(camera_fov(sys, h(1)), 0);

  visual_color_set(sys, h(1), 255, 0, 128 + 256);
  ASSERT_TRUE(scene.elements[1].frame->material);
  const rm::MaterialOverride m = *scene.elements[1].frame->material;
  EXPECT_EQ(m.flags, uint32_t(rm::kMaterialDiffuse | rm::kMaterialAmbient));
  EXPECT_EQ(rm::vec3(m.diffuse), rm::vec3(255, 0, 128) / 255.0f);
  visual_rgba_set(sys, h(1), 0, 255, 0, 51);
  EXPECT_TRUE(scene.elements[1].frame->material->flags & rm::kMaterialDiffuseAlpha);
  EXPECT_FLOAT_EQ(scene.elements[1].frame->material->diffuse.a, 0.2f);
  // A light or a camera has no meshes to colour.
  visual_color_set(sys, h(2), 1, 2, 3);
  visual_color_set(sys, h(0), 1, 2, 3);
  EXPECT_FALSE(scene.elements[2].frame->material);
  EXPECT_FALSE(scene.elements[0].frame->material);

  bg3d_color_set(sys, 0x12, 0x34 + 512, 0x56);
  EXPECT_EQ(scene.settings.background_color, 0x123456u);
  EXPECT_EQ(scene.main->background, rm::vec3(0x12, 0x34, 0x56) / 255.0f);
  EXPECT_EQ(scene.flat->background, scene.main->background);
}

// The colour override reaches the drawn pixels: a white quad in white ambient light turns red,
// and translucent green lets the background through.
TEST_F(Appearance, VisualColourIsWhatTheDeviceDraws) {
  platform::Devices devices;
  platform::Screen none;
  platform::devices_probe(devices, none);
  if (!platform::devices_select(devices, platform::DeviceKind::Software)) GTEST_SKIP() << "no software device";
  gl::Device d;
  ASSERT_TRUE(gl::device_init(d));
  element(0, "d30.", 0);
  element(1, "d3a.", 1);
  element(2, "d3l.", 2);
  render::ElementSetup camera;
  camera.kind = render::ElementKind::Camera;
  camera.camera.fov = 240;
  camera.rect = {0, 0, 639, 479};
  render::ElementSetup shape;
  shape.kind = render::ElementKind::Shape3d;
  shape.shape = quad(1.0f);
  render::ElementSetup ambient;
  ambient.kind = render::ElementKind::Light;
  ambient.light_type = 0;
  render::scene_build(scene, render::SceneSettings{}, {camera, shape, ambient}, &d);
  sys.scene = &scene;
  std::vector<render::ElementState> states(3);
  for (auto& st : states) st.active = st.shown = true;
  states[0].position = {0, 0, -3 * 512000};

  platform::Surface back;
  ASSERT_TRUE(platform::surface_create(back, 640, 480, platform::PixelFormat::Xrgb8888));
  auto centre = [&](uint8_t& r, uint8_t& g, uint8_t& b) {
    platform::surface_fill(back, platform::pack_rgb(back.format, 0, 0, 255));
    render::scene_render(scene, *core, states, d, back);
    platform::unpack_rgb(back.format, platform::surface_pixel(back, 320, 240), r, g, b);
  };
  uint8_t r, g, b;
  centre(r, g, b);
  EXPECT_GT(r, 240);
  EXPECT_GT(g, 240);
  EXPECT_GT(b, 240);
  visual_color_set(sys, h(1), 255, 0, 0);
  centre(r, g, b);
  EXPECT_GT(r, 240);
  EXPECT_LT(g, 16);
  EXPECT_LT(b, 16);
  visual_rgba_set(sys, h(1), 0, 255, 0, 128);  // half green over the blue background
  centre(r, g, b);
  EXPECT_LT(r, 16);
  EXPECT_NEAR(g, 128, 8);
  EXPECT_NEAR(b, 127, 8);
  render::scene_release(scene);
  gl::device_release(d);
  platform::devices_release(devices);
}

TEST_F(Appearance, BackgroundColourIsTheIndexItsFileNames) {
  sys.scene = &scene;
  const fs::path file = fs::temp_directory_path() / ("korva_appearance_bg_" + std::to_string(::getpid()) + ".g3d");
  std::ofstream(file) << "color=77\r\n";
  ASSERT_EQ(render::background_asset_load(sys, 0, 5, file.string()), 1);
  fs::remove(file);
  uint8_t* r = element(0, "d3g.", 5);
  EXPECT_EQ(background_color(sys, h(0)), 77);
  // A record with the tag but no loaded background behind it, and a visual: 0.
  element(1, "d3g.", 6);
  element(2, "d3v.", 7);
  EXPECT_EQ(background_color(sys, h(1)), 0);
  EXPECT_EQ(background_color(sys, h(2)), 0);
  ir_set(r, ir::kAspectCount, 0);
  EXPECT_EQ(background_color(sys, h(0)), 0);
}

TEST_F(Appearance, FlashTogglesTheBlinkingSprite) {
  element(0, "d3e.", 0);
  element(1, "d3e.", 1);
  element(2, "d3v.", 2);
  flash(sys, h(1));
  EXPECT_EQ(overlays->selected, 1);
  flash(sys, h(0));  // one sprite at a time
  EXPECT_EQ(overlays->selected, 0);
  flash(sys, h(2));  // not a sprite
  EXPECT_EQ(overlays->selected, 0);
  flash(sys, h(0));
  EXPECT_EQ(overlays->selected, -1);
}

// The lowest point of a model whose mesh hangs in a child frame one unit below the model's
// origin, as the element is placed, turned and scaled.
TEST_F(Appearance, BottomIsTheLowestPointOfThePlacedVisual) {
  uint8_t* r = element(0, "d3x.", 0);
  auto model = std::make_shared<render::XModel>();
  model->frame = rm::frame_create(nullptr);
  rm::FramePtr part = rm::frame_create(model->frame.get());
  rm::frame_set_position(*part, model->frame.get(), rm::vec3(0, -1, 0));
  rm::frame_add_visual(*part, quad(0.5f));  // y -1.5 .. -0.5 in the model, z 0
  render::ElementSetup setup;
  setup.kind = render::ElementKind::Model;
  setup.model = model;
  ir_set(r, ir::kPosY, 10 * 512000);
  // Without a scene: the position.
  EXPECT_EQ(bottom(sys, h(0)), 10 * 512000);
  build_scene({setup});

  struct Case {
    std::array<int32_t, 3> rotation, scale;
    double lowest;  // scene units below the position
  };
  const Case cases[] = {
      {{0, 0, 0}, {1000, 1000, 1000}, -1.5},
      {{0, 0, 0}, {1000, 2000, 1000}, -3.0},
      {{0, 0, 92160}, {1000, 1000, 1000}, 0.5},   // upside down about z: y 0.5 .. 1.5
      {{46080, 0, 0}, {1000, 1000, 1000}, 0.0},   // a quarter turn about x: the quad lies flat
  };
  for (const Case& c : cases) {
    ir_set(r, ir::kRotX, c.rotation[0]);
    ir_set(r, ir::kRotY, c.rotation[1]);
    ir_set(r, ir::kRotZ, c.rotation[2]);
    ir_set(r, ir::kScaleX, c.scale[0]);
    ir_set(r, ir::kScaleY, c.scale[1]);
    ir_set(r, ir::kScaleZ, c.scale[2]);
    EXPECT_NEAR(bottom(sys, h(0)), 10 * 512000 + c.lowest * 512000, 600) << c.rotation[0] << " " << c.rotation[2];
  }
}

TEST_F(Appearance, BadHandlesGiveTheNeutralResultAndChangeNothing) {
  element(0, "d3v.", 0, 3);
  element(1, "d3l.", 3);
  element(2, "d3f.", 4);
  render::ElementSetup lamp;
  lamp.kind = render::ElementKind::Light;
  build_scene({render::ElementSetup{}, lamp, render::ElementSetup{}});
  const std::vector<std::pair<const char*, std::function<int32_t(int32_t)>>> keywords = {
      {"type", [&](int32_t e) { return type(sys, e) + 1; }},  // -1 is type's answer
      {"translucent", [&](int32_t e) { translucent(sys, e, 1); return 0; }},
      {"show", [&](int32_t e) { return show(sys, e); }},
      {"hide", [&](int32_t e) { return hide(sys, e); }},
      {"scale_set", [&](int32_t e) { scale_set(sys, e, 5, 5, 5); return 0; }},
      {"flat_scale_set", [&](int32_t e) { flat_scale_set(sys, e, 5, 5); return 0; }},
      {"scale_x", [&](int32_t e) { return scale_x(sys, e); }},
      {"scale_y", [&](int32_t e) { return scale_y(sys, e); }},
      {"scale_z", [&](int32_t e) { return scale_z(sys, e); }},
      {"radius", [&](int32_t e) { return radius(sys, e); }},
      {"radius_max", [&](int32_t e) { return radius_max(sys, e); }},
      {"last_animation_frame", [&](int32_t e) { return last_animation_frame(sys, e); }},
      {"animation_frame", [&](int32_t e) { return animation_frame(sys, e); }},
      {"animation_frame_set", [&](int32_t e) { animation_frame_set(sys, e, 1); return 0; }},
      {"animate", [&](int32_t e) { return animate(sys, e, 1, 1, 256); }},
      {"frame_refresh", [&](int32_t e) { frame_refresh(sys, e); return 0; }},
      {"background_color", [&](int32_t e) { return background_color(sys, e); }},
      {"dimension_abs", [&](int32_t e) { return dimension_abs(sys, e, 1); }},
      {"light_color_set", [&](int32_t e) { light_color_set(sys, e, 9, 9, 9); return 0; }},
      {"light_color_red", [&](int32_t e) { return light_color_red(sys, e); }},
      {"light_intensity_set", [&](int32_t e) { return light_intensity_set(sys, e, 9); }},
      {"light_intensity", [&](int32_t e) { return light_intensity(sys, e); }},
      {"visual_color_set", [&](int32_t e) { visual_color_set(sys, e, 9, 9, 9); return 0; }},
      {"visual_rgba_set", [&](int32_t e) { visual_rgba_set(sys, e, 9, 9, 9, 9); return 0; }},
      {"flash", [&](int32_t e) { flash(sys, e); return overlays->selected + 1; }},
      {"bottom", [&](int32_t e) { return bottom(sys, e); }},
      {"camera_fov", [&](int32_t e) { return camera_fov(sys, e); }},
  };
  // Records past the last element carry a copy of the last one, as a run leaves them.
  std::memcpy(record(3), record(2), kInstanceRecordBytes);
  ir_set(record(3), ir::kCollisionRadius, 5);
  const std::vector<uint8_t> pool(core->pool(Pool::Instances), core->pool(Pool::Instances) + pool_bytes(Pool::Instances));
  const rm::Light light = *scene.elements[1].light;
  const int32_t bad[] = {0, -1, -1024, 4, h(0) + 4, h(1) - 512, h(3), h(255), h(256), int32_t(0x80000000u),
                         int32_t(0x80000000u) | h(1), INT_MIN + 1, INT_MAX};
  for (const auto& [name, call] : keywords)
    for (int32_t e : bad) EXPECT_EQ(call(e), 0) << name << " " << e;
  EXPECT_EQ(std::memcmp(pool.data(), core->pool(Pool::Instances), pool.size()), 0);
  EXPECT_EQ(scene.elements[1].light->color, light.color);
  EXPECT_EQ(scene.elements[1].light->linear, light.linear);
  EXPECT_EQ(overlays->selected, -1);
}

TEST(AppearanceBinding, EveryAppearanceKeywordIsBoundWithItsSynonyms) {
  KeywordBindings b;
  bind_appearance_keywords(b);
  for (const char* name :
       {"type", "translucent", "show", "hide", "scale_set", "flat_scale_set", "scale_x", "scale_y", "scale_z",
        "flat_scale_x", "flat_scale_y", "radius", "radius_max", "last_animation_frame", "animation_frame",
        "animation_frame_set", "animate", "frame_refresh", "frame_refresh_all", "background_color",
        "dimension_abs", "light_color_set", "light_color_red", "light_color_green", "light_color_blue",
        "light_intensity_set", "light_intensity", "visual_color_set", "visual_rgba_set", "3dbg_color_set",
        "flash", "bottom", "camera_fov"}) {
    KeywordBindings probe;
    ASSERT_TRUE(bind_keyword(probe, name, [](System&, Registers&) {})) << name;
    for (int32_t k = 0; k < kKeywordRows; ++k)
      if (probe.routine[k]) {
        EXPECT_TRUE(b.routine[k]) << name;
      }
  }
}

// A compiled brain hides its element, and animates it over three frames one frame per step.
TEST(AppearanceBrain, ABrainHidesAndAnimatesItsElement) {
  const fs::path dir = fs::temp_directory_path() / ("korva_appearance_brain_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "walker.brn") << "var before=0\r\n"
                                       "var frame=0\r\n"
                                       "var shown=1\r\n"
                                       "var kind=0\r\n"
                                       "var wraps=0\r\n"
                                       "hide(element)\r\n"
                                       "shown = state(element, 64)\r\n"
                                       "before = animate(element, 1, 3, 256)\r\n"
                                       "if before = 3\r\n"
                                       "wraps = wraps + 1\r\n"
                                       "endif\r\n"
                                       "frame = animation_frame(element)\r\n"
                                       "kind = type(element)\r\n";
  const BrainRunResult r = run_brain_file(
      (dir / "walker.brn").string(), 4,
      [](KeywordBindings& b) {
        bind_runtime_keywords(b);
        bind_appearance_keywords(b);
      },
      [](System& s) {
        // Element 0 shows a visual with three aspects in slots 10..12.
        for (int32_t slot = 10; slot < 13; ++slot) std::memcpy(asset_record(s, slot), "d3v.", 4);
        uint8_t* rec = s.core->pool(Pool::Instances);
        ir_set(rec, ir::kFirstAspect, 10);
        ir_set(rec, ir::kCurrentAspect, 10);
        ir_set(rec, ir::kAspectCount, 3);
      });
  fs::remove_all(dir);
  ASSERT_TRUE(r.compiled) << r.compile_error;
  // Steps: frames 1 to 2, 2 to 3, 3 wraps to 1 (animate returns last), 1 to 2.
  const std::vector<std::pair<std::string, int32_t>> want = {
      {"before", 1}, {"frame", 2}, {"shown", 0}, {"kind", 9}, {"wraps", 1}};
  EXPECT_EQ(r.variables, want);
}

}  // namespace
