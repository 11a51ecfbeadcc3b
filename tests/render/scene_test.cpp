// The run's 3D scene: building from elements, the synchronisation rules, the render pass order
// and the scene keywords, with a golden picture through the software device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/core.h"
#include "engine/math_tables.h"
#include "render/scene.h"
#include "golden.h"

using namespace korva;
using namespace korva::render;
namespace fs = std::filesystem;

namespace {

// A unit cube as a .3ds file (file axes z up; faces clockwise once y and z are exchanged).
std::vector<uint8_t> cube_3ds() {
  std::vector<uint8_t> b;
  auto u16 = [&](uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xffff); u16(v >> 16); };
  auto open = [&](uint16_t id) { u16(id); u32(0); return b.size() - 6; };
  auto close = [&](size_t at) { const auto n = uint32_t(b.size() - at); std::memcpy(&b[at + 2], &n, 4); };
  const size_t m = open(kChunkMain), e = open(kChunkEditor), o = open(kChunkObject);
  b.push_back('c');
  b.push_back(0);
  const size_t me = open(kChunkMesh), vl = open(kChunkVertices);
  u16(8);
  for (int i = 0; i < 8; ++i) {
    // Scene corner (x, y, z) is file (x, z, y).
    const float x = i & 1 ? 0.5f : -0.5f, y = i & 2 ? 0.5f : -0.5f, z = i & 4 ? 0.5f : -0.5f;
    for (float f : {x, z, y}) {
      uint32_t v;
      std::memcpy(&v, &f, 4);
      u32(v);
    }
  }
  close(vl);
  const size_t fl = open(kChunkFaces);
  // Quads as (bl, tl, tr) and (bl, tr, br) seen from outside, in scene corner numbers.
  const int quads[6][4] = {{0, 2, 3, 1}, {5, 7, 6, 4}, {4, 6, 2, 0}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 0, 1, 5}};
  u16(12);
  for (const auto& q : quads) {
    for (int k : {q[0], q[1], q[2]}) u16(uint32_t(k));
    u16(0);
    for (int k : {q[0], q[2], q[3]}) u16(uint32_t(k));
    u16(0);
  }
  close(fl);
  close(me);
  close(o);
  close(e);
  close(m);
  return b;
}

struct SceneFixture : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  fs::path dir;
  void SetUp() override {
    fill_math_tables(*core);
    dir = fs::temp_directory_path() / ("korva_scene_" + std::string(
        ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return (dir / name).string();
  }
  std::string write(const std::string& name, const std::string& text) {
    return write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  // A visual file with one plain-coloured part per visual number 1 and 2.
  std::string visual_file() {
    const std::string model = write("cube.3ds", cube_3ds());
    auto part = [&](int number, const char* rgb) {
      return std::to_string(number) + "|none.bmp|" + model + "|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|" + rgb + "|0|0||0\r\n";
    };
    return write("two.v3d", part(1, "255|255|255") + part(2, "200|40|40"));
  }
};

void expect_golden(const platform::Surface& back, const std::string& name) {
  golden::expect_surface(back, "render", name);
}

ElementSetup camera(const std::string& file, std::array<int32_t, 4> rect) {
  ElementSetup e;
  e.kind = ElementKind::Camera;
  e.camera = read_camera(file);
  e.rect = rect;
  return e;
}

// As the asset pass loads them: records naming one file share its one loaded copy.
VisualCache loaded_visuals;

ElementSetup visual(const std::string& file, int32_t number) {
  ElementSetup e;
  e.kind = ElementKind::Visual;
  e.visual_file = visual_cache_get(loaded_visuals, file);
  e.visual_numbers = {number};
  return e;
}

ElementState shown_at(int32_t x, int32_t y, int32_t z) {
  ElementState s;
  s.active = s.shown = true;
  s.position = {x, y, z};
  return s;
}

}  // namespace

TEST(SceneRules, KindsAndDisplayScaling) {
  const std::pair<const char*, ElementKind> kinds[] = {
      {"./cameras/default_.03d", ElementKind::Camera}, {"a.A3D", ElementKind::Shape3d},
      {"f.b3d", ElementKind::FlatShape}, {"s.e3d", ElementKind::Sprite}, {"x.f3d", ElementKind::Frame2d},
      {"b.g3d", ElementKind::Background}, {"c.h3d", ElementKind::Counter}, {"t.i3d", ElementKind::Track},
      {"l.l3d", ElementKind::Light}, {"v.v3d", ElementKind::Visual}, {"m.x", ElementKind::Model},
      {"noext", ElementKind::None}, {"w.wav", ElementKind::None}};
  for (const auto& [path, kind] : kinds) EXPECT_EQ(kind_from_extension(path), kind) << path;
  const int32_t table[][3] = {{1, 640, 640}, {2, 479, 479}, {4, 640, 800}, {8, 480, 600},
                              {16, 640, 1024}, {32, 480, 768}, {16, 1, 1}, {4, 3, 3}};
  for (const auto& t : table) EXPECT_EQ(display_scale(t[0], t[1]), t[2]) << t[0] << " " << t[1];
}

TEST(SceneRules, AnimationTickWrapping) {
  int32_t t = 0;
  std::vector<int32_t> seen;
  for (int i = 0; i < 11; ++i) {
    seen.push_back(t);
    t = animation_tick_advance(t, 100, 0, 999);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 0}));
  EXPECT_EQ(animation_tick_advance(5000, 100, 7, 7), 5100);  // equal ends: no wrapping
  EXPECT_EQ(animation_tick_advance(50, 10, 100, 20), 20);    // start above end pins at the end
  EXPECT_EQ(animation_tick_advance(0, -10, 0, 99), 90);      // below the start wraps from the top
}

TEST_F(SceneFixture, KeywordsAndCameraViewports) {
  Scene s;
  SceneSettings st;
  st.display_mode = 16;
  st.front_percent = 0;  // below 1: 100
  st.clip_distance = 40;
  const std::string cam = write("cam.03d", std::string("; Korva camera\r\nfov=240\r\n"));
  std::vector<ElementSetup> els = {camera(cam, {0, 0, 639, 479}), visual(visual_file(), 1)};
  els.push_back(camera(cam, {0, 0, 9, 9}));
  els.back().viewport = false;
  scene_build(s, st, els, nullptr);
  ASSERT_EQ(s.viewports.size(), 1u);
  const rm::Viewport& v = s.viewports[0];
  EXPECT_EQ(v.width, 1024);  // 640 wide on a 640 x 480 screen
  EXPECT_EQ(v.height, 768);
  EXPECT_FLOAT_EQ(v.front, 1.0f);
  EXPECT_FLOAT_EQ(v.back, 40.0f);
  EXPECT_FLOAT_EQ(v.field, 1.0f);  // (1 x 240) / 240
  EXPECT_EQ(s.elements[2].viewport, -1);
  EXPECT_EQ(clip_distance(s), 40 * 512000);

  camera_fov_set(s, 0, 120);
  EXPECT_FLOAT_EQ(s.viewports[0].field, 2.0f);
  camera_fov_set(s, 0, 0);  // would divide by zero: ignored
  camera_fov_set(s, 1, 60);  // not a camera
  EXPECT_FLOAT_EQ(s.viewports[0].field, 2.0f);

  fog_set(s, 30000, 20000);
  EXPECT_EQ(s.fog_start, 20);
  EXPECT_EQ(s.fog_end, 20);
  EXPECT_EQ(fog_start(s), 20000);
  EXPECT_FLOAT_EQ(s.flat->fog.start, 20.0f / 512.0f);
  EXPECT_FALSE(s.background->fog.enabled);
  fogeffect_set(s, 1);
  EXPECT_TRUE(s.main->fog.enabled);
  fog_color_set(s, 255 + 256, 255, 7);
  EXPECT_EQ(s.fog_color, 0xf8fc00u);  // 16-bit 565 precision
  EXPECT_EQ(s.background->fog.color, rm::vec3(248, 252, 0) / 255.0f);
  sort_mode_set(s, 2);
  EXPECT_EQ(s.main->sort_mode, rm::SortMode::BackToFront);
  sort_mode_set(s, 0);  // out of range: unchanged
  EXPECT_EQ(s.main->sort_mode, rm::SortMode::BackToFront);
  EXPECT_EQ(s.flat->sort_mode, rm::SortMode::BackToFront);
  flats_priority_set(s, 3);
  EXPECT_EQ(s.flats_last, 1);
  gl::Device d;
  poly_sort_mode_set(d, 0);
  EXPECT_FALSE(d.settings.sorted_transparency);
  poly_sort_mode_set(d, 7);
  EXPECT_FALSE(d.settings.sorted_transparency);
  specular_set(d, 1);
  EXPECT_TRUE(d.settings.view_dependent_specular);
}

TEST_F(SceneFixture, SynchronisationRules) {
  Scene s;
  const std::string file = visual_file();
  scene_build(s, SceneSettings{}, {visual(file, 1), visual(file, 1), visual(file, 2)}, nullptr);
  // Two records of one file: one loaded copy, a frame each, the same meshes.
  ASSERT_EQ(s.elements[0].visual_file, s.elements[1].visual_file);
  ASSERT_NE(s.elements[0].frame, s.elements[1].frame);
  ASSERT_EQ(s.elements[0].frame->visuals.size(), 1u);
  EXPECT_EQ(s.elements[0].frame->visuals[0], s.elements[1].frame->visuals[0]);
  const auto& white = std::get<rm::MeshPtr>(s.elements[0].frame->visuals[0]);
  EXPECT_FLOAT_EQ(white->faces[0].color.r, 255.0f / 256.0f);

  std::vector<ElementState> states = {shown_at(512000, 0, 1024000), shown_at(0, 0, 0), shown_at(0, 0, 0)};
  states[1].shown = false;  // active but hidden
  states[0].rotation = {9000, 20000, 4000};
  states[2].rotation = states[0].rotation;
  states[2].scale = {1000, 1000, 1001};  // any other scale takes the quaternion path
  scene_sync(s, *core, states);
  EXPECT_EQ(s.elements[0].frame->traversal, uint32_t(rm::kTraverseRender | rm::kTraversePick));
  EXPECT_EQ(s.elements[1].frame->traversal, 0u);
  EXPECT_FALSE(s.elements[0].scaled_path);
  EXPECT_TRUE(s.elements[2].scaled_path);
  EXPECT_EQ(rm::frame_position(*s.elements[0].frame, s.main.get()), rm::vec3(1, 0, 2));
  // Both paths give the same orientation; the scaled one carries the scale as well.
  const rm::mat3 a(rm::frame_transform(*s.elements[0].frame, s.main.get()));
  const rm::mat3 b(rm::frame_transform(*s.elements[2].frame, s.main.get()));
  for (int col = 0; col < 3; ++col)
    for (int row = 0; row < 3; ++row)
      EXPECT_NEAR(a[col][row] * (col == 2 ? 1.001f : 1.0f), b[col][row], 2e-3f) << col << row;
  // Extra rotation: applied before the element's own, the same way on both paths.
  states[0].extra_rotation = states[2].extra_rotation = true;
  states[0].extra = states[2].extra = {46080, 0, 0};
  scene_sync(s, *core, states);
  const rm::mat3 c(rm::frame_transform(*s.elements[0].frame, s.main.get()));
  const rm::mat3 d(rm::frame_transform(*s.elements[2].frame, s.main.get()));
  for (int col = 0; col < 3; ++col)
    for (int row = 0; row < 3; ++row)
      EXPECT_NEAR(c[col][row] * (col == 2 ? 1.001f : 1.0f), d[col][row], 2e-3f) << col << row;
  // An element that stops being active disappears in the next pass.
  states[0].active = false;
  scene_sync(s, *core, states);
  EXPECT_EQ(s.elements[0].frame->traversal, 0u);
  scene_release(s);
  EXPECT_FALSE(s.main);
}

TEST_F(SceneFixture, RenderPassOrderAndGoldenPicture) {
  platform::Devices devices;
  platform::Screen none;
  platform::devices_probe(devices, none);
  if (!platform::devices_select(devices, platform::DeviceKind::Software)) GTEST_SKIP() << "no software device";
  gl::Device d;
  ASSERT_TRUE(gl::device_init(d));
  Scene s;
  SceneSettings st;
  st.background_color = 0x203040;
  st.format = platform::PixelFormat::Rgb565;
  const std::string cam = write("cam.03d", std::string("fov=320\r\n"));
  const std::string file = visual_file();
  std::vector<ElementSetup> els = {camera(cam, {0, 0, 319, 479}), camera(cam, {320, 0, 639, 479}),
                                   visual(file, 1), visual(file, 2)};
  ElementSetup lamp;
  lamp.kind = ElementKind::Light;
  lamp.light_type = 3;  // directional
  lamp.light_attenuation = 1023;
  els.push_back(lamp);
  ElementSetup ambient = lamp;
  ambient.light_type = 0;
  ambient.light_color = 0x505050;
  els.push_back(ambient);
  ElementSetup flat;
  flat.kind = ElementKind::FlatShape;
  FlatImage img;
  img.width = img.height = 8;
  img.pixels.assign(64, 0xffd000);
  for (int i = 0; i < 8; ++i) img.pixels[size_t(i * 8 + i)] = 0;  // a transparent diagonal
  img.size_exponent = 0;
  flat.images = {img};
  els.push_back(flat);
  scene_build(s, st, els, &d);
  fogeffect_set(s, 1);
  fog_set(s, 3 * 512 * 1000, 9 * 512 * 1000);
  fog_color_set(s, 0x20, 0x30, 0x40);

  std::vector<ElementState> states(els.size());
  states[0] = shown_at(0, 512000, -3 * 512000);
  states[0].rotation = {2560 * 3, 0, 0};  // looking down a little
  states[1] = shown_at(-5 * 512000, 0, 0);
  states[1].rotation = {0, -46080, 0};    // a quarter turn: looking along +x
  states[2] = shown_at(0, 0, 0);
  states[2].rotation = {0, 9000, 0};
  states[3] = shown_at(768000, -153600, 3 * 512000);
  states[3].scale = {3000, 500, 1000};    // a long flat slab behind, on the scaled path
  states[4] = shown_at(0, 0, 0);
  states[4].rotation = {23040, 10000, 0};
  states[5] = shown_at(0, 0, 0);
  states[6] = shown_at(-1 * 512000, 1 * 512000, 0);
  states[6].scale = {800, 800, 1000};

  platform::Surface back;
  ASSERT_TRUE(platform::surface_create(back, 640, 480, st.format));
  // The 2D work under the scene, the 3D pass twice (the second over the first), the 2D work over it.
  platform::surface_fill(back, platform::pack_rgb(back.format, 0x20, 0x30, 0x40));
  scene_render(s, *core, states, d, back);
  scene_render(s, *core, states, d, back);
  platform::surface_fill_rect(back, 310, 0, 20, 480, platform::pack_rgb(back.format, 255, 255, 255));
  EXPECT_EQ(d.stats.viewports, 4);  // main and flat scenes of two cameras

  expect_golden(back, "scene_two_cameras");
  scene_release(s);
  gl::device_release(d);
  platform::devices_release(devices);
}

namespace {

// Half of an open cylinder of radius 1 (x >= 0 for "a", x <= 0 for "b"), height 0..1, seen from
// inside, as a DirectX text model.
std::string hood_half(bool a) {
  const int segments = 12;
  std::string v, f;
  int count = 0;
  for (int s = 0; s <= segments; ++s) {
    const double phi = (a ? 0.0 : -3.14159265358979) + 3.14159265358979 * s / segments;
    for (double y : {0.0, 1.0}) {
      v += std::to_string(std::sin(phi)) + ";" + std::to_string(y) + ";" + std::to_string(std::cos(phi)) +
           (++count == 2 * (segments + 1) ? ";;\n" : ";,\n");
    }
  }
  for (int s = 0; s < segments; ++s) {
    const int bl = 2 * s, tl = bl + 1, br = bl + 2, tr = bl + 3;
    // From inside, growing phi runs to the viewer's right: (bl, tl, tr) and (bl, tr, br).
    f += "3;" + std::to_string(bl) + "," + std::to_string(tl) + "," + std::to_string(tr) + ";,\n";
    f += "3;" + std::to_string(bl) + "," + std::to_string(tr) + "," + std::to_string(br) +
         (s + 1 == segments ? ";;\n" : ";,\n");
  }
  return "xof 0303txt 0032\nMesh hood {\n" + std::to_string(2 * (segments + 1)) + ";\n" + v +
         std::to_string(2 * segments) + ";\n" + f + "}\n";
}

}  // namespace

TEST_F(SceneFixture, BackgroundHoodsFollowTheCamera) {
  platform::Devices devices;
  platform::Screen none;
  platform::devices_probe(devices, none);
  if (!platform::devices_select(devices, platform::DeviceKind::Software)) GTEST_SKIP() << "no software device";
  gl::Device d;
  ASSERT_TRUE(gl::device_init(d));
  fs::create_directories(dir / "data");
  write("data/hood2a.x", hood_half(true));
  write("data/hood2b.x", hood_half(false));
  // Vertical stripes of four colours, so the wrap's direction shows.
  const int32_t w = 64, h = 32;
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  const uint8_t colors[4][3] = {{200, 60, 60}, {60, 200, 60}, {60, 60, 200}, {220, 220, 220}};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) std::memcpy(&rgb[(size_t(y) * w + size_t(x)) * 3], colors[x * 4 / w], 3);
  ASSERT_TRUE(platform::png_write((dir / "sky.png").string(), w, h, rgb.data()));

  Scene s;
  SceneSettings st;
  st.format = platform::PixelFormat::Xrgb8888;
  st.background_image = (dir / "sky.png").string();
  st.background_shape = 2;
  st.background_mirror = 1;
  st.data_folder = (dir / "data").string() + "/";
  st.clip_distance = 30;
  const std::string cam = write("cam.03d", std::string("fov=160\r\n"));
  scene_build(s, st, {camera(cam, {0, 0, 319, 239})}, &d);
  ASSERT_TRUE(s.hoods[0] && s.hoods[1]);
  EXPECT_EQ(s.hoods[0]->zbuffer, rm::ZBufferMode::Disable);
  ASSERT_EQ(s.hoods[0]->children.size(), 1u);
  background3d_set(s, 1);
  std::vector<ElementState> states = {shown_at(40 * 512000, 0, 0)};  // far from the origin
  platform::Surface back;
  ASSERT_TRUE(platform::surface_create(back, 320, 240, st.format));
  scene_render(s, *core, states, d, back);
  // The hoods moved with the camera, so the background surrounds it wherever it stands.
  EXPECT_EQ(rm::frame_position(*s.hoods[0], s.background.get()), rm::vec3(40, 0, 0));
  int coloured = 0;
  for (int32_t y = 0; y < 240; ++y)
    for (int32_t x = 0; x < 320; ++x) coloured += (platform::surface_pixel(back, x, y) & 0xffffff) != 0;
  EXPECT_GT(coloured, 320 * 240 / 4);
  expect_golden(back, "scene_background");
  scene_release(s);
  gl::device_release(d);
  platform::devices_release(devices);
}

TEST_F(SceneFixture, ModelAnimationAndOverlayCopies) {
  const std::string x = write("walker.x", std::string(
      "xof 0303txt 0032\n"
      "Frame Body {\n"
      " FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }\n"
      " Mesh tri { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;; }\n"
      "}\n"
      "AnimationSet Walk {\n"
      " Animation {\n"
      "  {Body}\n"
      "  AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 1000;3;10.0,0.0,0.0;;; }\n"
      " }\n"
      "}\n"));
  ElementSetup model;
  model.kind = ElementKind::Model;
  model.model = std::make_shared<XModel>();
  TextureCache textures;
  ASSERT_TRUE(read_x(x, *model.model, textures));
  Scene s;
  scene_build(s, SceneSettings{}, {model, visual(visual_file(), 1)}, nullptr);
  ASSERT_TRUE(s.elements[0].model);
  std::vector<ElementState> states = {shown_at(0, 0, 0), shown_at(0, 0, 512000)};
  states[0].animation_set = 0;
  states[0].speed = 250;
  states[0].tick = 100000;
  states[0].range_start = 0;
  states[0].range_end = 299999;
  scene_sync(s, *core, states);
  EXPECT_EQ(states[0].tick, 100250);  // advanced once per rendered frame
  rm::Frame* body = nullptr;
  std::function<void(rm::Frame&)> find = [&](rm::Frame& f) {
    if (f.name == "Body") body = &f;
    for (auto& c : f.children) find(*c);
  };
  find(*s.elements[0].model->frame);
  ASSERT_TRUE(body);
  EXPECT_NEAR(body->position.x, 1.0f, 1e-4f);  // time 100 of 1000: a tenth of the way
  states[0].speed = 0;  // paused: the time is not even set again
  body->position.x = 7.0f;
  scene_sync(s, *core, states);
  EXPECT_EQ(states[0].tick, 100250);
  EXPECT_EQ(body->position.x, 7.0f);

  // An overlay copy follows its source while the source is drawn.
  rm::FramePtr copy = rm::frame_create(s.overlay.get());
  OverlayCopy oc;
  oc.copy = copy;
  oc.source = s.elements[1].frame;
  s.overlay_copies.push_back(oc);
  states[1].position = {1024000, 0, 0};
  states[1].rotation = {0, 46080, 0};
  scene_sync(s, *core, states);
  EXPECT_NEAR(glm::distance(rm::frame_position(*copy, s.main.get()), rm::vec3(2, 0, 0)), 0.0f, 1e-4f);
  states[1].shown = false;
  states[1].position = {0, 0, 0};
  scene_sync(s, *core, states);  // hidden source: the copy stays where it was, hidden too
  EXPECT_NEAR(glm::distance(rm::frame_position(*copy, s.main.get()), rm::vec3(2, 0, 0)), 0.0f, 1e-4f);
  EXPECT_EQ(copy->traversal, 0u);
  scene_release(s);
}
