// The OpenGL device through the software rasteriser (no display needed): golden pictures of a
// lit textured scene and of fog, and the rules of a 3D pass over a 2D surface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <glm/gtc/constants.hpp>

#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "platform/rm/rm.h"
#include "golden.h"

using namespace korva;
using namespace korva::rm;
using platform::PixelFormat;
using platform::Surface;

namespace {

struct GlFixture : ::testing::Test {
  static inline platform::Devices devices;
  static inline bool available = false;
  gl::Device device;

  static void SetUpTestSuite() {
    platform::Screen none;  // no window: only the software device is probed
    platform::devices_probe(devices, none);
    available = platform::devices_select(devices, platform::DeviceKind::Software);
  }
  static void TearDownTestSuite() { platform::devices_release(devices); }
  void SetUp() override {
    if (!available) GTEST_SKIP() << "no software OpenGL device";
    ASSERT_TRUE(gl::device_init(device));
  }
  void TearDown() override { gl::device_release(device); }
};

// Adds triangle a, b, c with its front towards `outward`.
void add_facing(Mesh& m, vec3 a, vec3 b, vec3 c, vec3 outward, vec2 ua, vec2 ub, vec2 uc) {
  if (glm::dot(glm::cross(b - a, c - a), outward) < 0.0f) {
    std::swap(b, c);
    std::swap(ub, uc);
  }
  const int32_t i = mesh_add_vertex(m, a, ua);
  mesh_add_vertex(m, b, ub);
  mesh_add_vertex(m, c, uc);
  mesh_add_face(m, i, i + 1, i + 2);
}

MeshPtr make_cube(float h) {
  MeshPtr m = mesh_create();
  const vec3 axes[3] = {vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)};
  for (int k = 0; k < 3; ++k)
    for (float sign : {-1.0f, 1.0f}) {
      const vec3 n = axes[k] * sign, u = axes[(k + 1) % 3], v = axes[(k + 2) % 3];
      const vec3 c = n * h;
      const vec3 p00 = c - u * h - v * h, p10 = c + u * h - v * h, p01 = c - u * h + v * h,
                 p11 = c + u * h + v * h;
      add_facing(*m, p00, p10, p11, n, vec2(0, 0), vec2(1, 0), vec2(1, 1));
      add_facing(*m, p00, p11, p01, n, vec2(0, 0), vec2(1, 1), vec2(0, 1));
    }
  return m;
}

TexturePtr make_checker(int n, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgb(size_t(n) * size_t(n) * 3);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const bool on = ((x * 4 / n) + (y * 4 / n)) % 2 == 0;
      uint8_t* p = rgb.data() + (size_t(y) * size_t(n) + size_t(x)) * 3;
      p[0] = on ? r : 255;
      p[1] = on ? g : 255;
      p[2] = on ? b : 255;
    }
  return texture_create_rgb(rgb.data(), n, n);
}

void expect_golden(const Surface& s, const std::string& name) {
  golden::expect_surface(s, "platform", name);
}

// A 2D backdrop: a vertical gradient, as a frame image would leave it.
void draw_backdrop(Surface& s) {
  for (int32_t y = 0; y < s.height; ++y)
    platform::surface_fill_rect(s, 0, y, s.width, 1,
                                platform::pack_rgb(s.format, uint8_t(40 + y * 100 / s.height), 40,
                                                   uint8_t(90 - y * 60 / s.height)));
}

}  // namespace

TEST_F(GlFixture, GoldenLitTexturedMesh) {
  Surface s;
  ASSERT_TRUE(platform::surface_create(s, 320, 240, PixelFormat::Xrgb8888));
  draw_backdrop(s);
  FramePtr scene = frame_create(nullptr);
  FramePtr camera = frame_create(scene.get());
  frame_set_position(*camera, scene.get(), vec3(0, 1.5f, -5));
  frame_set_orientation(*camera, scene.get(), vec3(0, -1.5f, 5), vec3(0, 1, 0));

  FramePtr cube = frame_create(scene.get());
  MeshPtr cube_mesh = make_cube(1.0f);
  mesh_set_texture(*cube_mesh, make_checker(64, 200, 40, 40));
  mesh_set_quality(*cube_mesh, Quality::Flat);
  frame_add_visual(*cube, cube_mesh);
  frame_set_position(*cube, scene.get(), vec3(-1.2f, 0, 0));
  frame_set_rotation(*cube, scene.get(), glm::angleAxis(0.6f, vec3(0, 1, 0)));

  FramePtr ball = frame_create(scene.get());
  MeshPtr ball_mesh = mesh_create();
  // A Gouraud-shaded sphere from latitude and longitude strips.
  const int rings = 12, segments = 24;
  auto at = [](int r, int sg) {
    const float th = glm::pi<float>() * float(r) / rings, ph = glm::two_pi<float>() * float(sg) / segments;
    return vec3(std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph));
  };
  for (int r = 0; r < rings; ++r)
    for (int sg = 0; sg < segments; ++sg) {
      const vec3 a = at(r, sg), b = at(r + 1, sg), c = at(r + 1, sg + 1), d = at(r, sg + 1);
      add_facing(*ball_mesh, a, b, c, (a + b + c) / 3.0f, vec2(0), vec2(0), vec2(0));
      add_facing(*ball_mesh, a, c, d, (a + c + d) / 3.0f, vec2(0), vec2(0), vec2(0));
    }
  mesh_set_color(*ball_mesh, vec4(0.3f, 0.8f, 0.3f, 1.0f));
  mesh_generate_normals(*ball_mesh);
  frame_add_visual(*ball, ball_mesh);
  frame_set_position(*ball, scene.get(), vec3(1.3f, 0, 0.5f));

  FramePtr lamp = frame_create(scene.get());
  frame_set_position(*lamp, scene.get(), vec3(-3, 4, -4));
  LightPtr point = light_create(LightKind::Point, vec3(1.0f));
  point->constant = 0.6f;
  point->linear = 0.05f;
  frame_add_light(*lamp, point);
  frame_add_light(*scene, light_create(LightKind::Ambient, vec3(0.25f)));

  Viewport v;
  v.camera = camera;
  viewport_set_rect(v, 20, 10, 280, 210);
  ASSERT_TRUE(viewport_set_field(v, 0.6f));
  ASSERT_TRUE(gl::render_begin(device, s));
  gl::viewport_clear_depth(device, v);
  gl::viewport_render(device, v, *scene);
  ASSERT_TRUE(gl::render_end(device, s));
  EXPECT_GT(device.stats.triangles, 500);
  // Outside the viewport the backdrop is exactly as it was drawn.
  EXPECT_EQ(platform::surface_pixel(s, 5, 5), platform::pack_rgb(s.format, 40 + 5 * 100 / 240, 40, 90 - 5 * 60 / 240));
  expect_golden(s, "lit_textured_mesh");
}

TEST_F(GlFixture, GoldenFogOn16BitSurface) {
  Surface s;
  ASSERT_TRUE(platform::surface_create(s, 320, 240, PixelFormat::Rgb565));
  platform::surface_fill(s, platform::pack_rgb(s.format, 96, 128, 160));
  FramePtr scene = frame_create(nullptr);
  scene->fog.enabled = true;
  scene->fog.start = 4.0f;
  scene->fog.end = 22.0f;
  scene->fog.color = vec3(96 / 255.0f, 128 / 255.0f, 160 / 255.0f);
  FramePtr camera = frame_create(scene.get());
  frame_set_position(*camera, scene.get(), vec3(0, 1, 0));
  frame_add_light(*scene, light_create(LightKind::Ambient, vec3(0.4f)));
  FramePtr sun = frame_create(scene.get());
  frame_set_orientation(*sun, scene.get(), vec3(0.5f, -1, 1), vec3(0, 1, 0));
  frame_add_light(*sun, light_create(LightKind::Directional, vec3(0.8f)));
  // Two rows of pillars walking into the fog, on a floor.
  MeshPtr pillar = make_cube(0.5f);
  mesh_set_color(*pillar, vec4(0.95f, 0.85f, 0.3f, 1.0f));
  mesh_set_quality(*pillar, Quality::Flat);
  std::vector<FramePtr> keep;
  for (int i = 0; i < 8; ++i)
    for (float x : {-2.0f, 2.0f}) {
      FramePtr f = frame_create(scene.get());
      frame_add_visual(*f, pillar);
      f->basis = mat3(glm::scale(mat4(1.0f), vec3(1, 3, 1)));
      frame_set_position(*f, scene.get(), vec3(x, 1.5f, 4.0f + 3.0f * float(i)));
      keep.push_back(f);
    }
  MeshPtr floor = mesh_create();
  add_facing(*floor, vec3(-6, 0, 0), vec3(6, 0, 0), vec3(6, 0, 40), vec3(0, 1, 0), vec2(0), vec2(0), vec2(0));
  add_facing(*floor, vec3(-6, 0, 0), vec3(6, 0, 40), vec3(-6, 0, 40), vec3(0, 1, 0), vec2(0), vec2(0), vec2(0));
  mesh_set_color(*floor, vec4(0.3f, 0.3f, 0.35f, 1.0f));
  frame_add_visual(*scene, floor);

  Viewport v;
  v.camera = camera;
  viewport_set_rect(v, 0, 0, 320, 240);
  ASSERT_TRUE(viewport_set_back(v, 50.0f));
  ASSERT_TRUE(gl::render_begin(device, s));
  gl::viewport_clear_depth(device, v);
  gl::viewport_render(device, v, *scene);
  ASSERT_TRUE(gl::render_end(device, s));
  expect_golden(s, "fog");
}

TEST_F(GlFixture, PassKeepsTwoDimensionalWorkAndHonoursDepthModes) {
  for (PixelFormat format : {PixelFormat::Rgb565, PixelFormat::Rgb555, PixelFormat::Xrgb8888}) {
    SCOPED_TRACE(int(format));
    Surface s;
    ASSERT_TRUE(platform::surface_create(s, 64, 48, format));
    // A backdrop of odd colours that do not survive an 8-bit round trip with dithering unless
    // untouched pixels are left alone.
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x)
        platform::surface_fill_rect(s, x, y, 1, 1, platform::pack_rgb(format, uint8_t(x * 4 + 3), uint8_t(y * 5 + 1), 250));
    const Surface before = s;
    FramePtr scene = frame_create(nullptr);
    FramePtr camera = frame_create(scene.get());
    // A red square close by, and a green one behind it that ignores the depth buffer but is drawn
    // first (front-to-back sorting), so the red one still covers it.
    auto square = [&](float z, vec4 color, ZBufferMode mode) {
      FramePtr f = frame_create(scene.get());
      MeshPtr m = mesh_create();
      add_facing(*m, vec3(-1, -1, 0), vec3(-1, 1, 0), vec3(1, 1, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
      add_facing(*m, vec3(-1, -1, 0), vec3(1, 1, 0), vec3(1, -1, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
      mesh_set_color(*m, color);
      mesh_set_quality(*m, Quality::UnlitFlat);
      frame_add_visual(*f, m);
      frame_set_position(*f, scene.get(), vec3(0, 0, z));
      f->zbuffer = mode;
      return f;
    };
    FramePtr red = square(4.0f, vec4(1, 0, 0, 1), ZBufferMode::FromParent);
    FramePtr green = square(8.0f, vec4(0, 1, 0, 1), ZBufferMode::Disable);
    green->basis = mat3(3.0f);  // bigger, so it shows around the red one
    scene->sort_mode = SortMode::BackToFront;
    Viewport v;
    v.camera = camera;
    viewport_set_rect(v, 16, 8, 32, 32);
    ASSERT_TRUE(gl::render_begin(device, s));
    gl::viewport_clear_depth(device, v);
    gl::viewport_render(device, v, *scene);
    ASSERT_TRUE(gl::render_end(device, s));
    uint8_t r, g, b;
    platform::unpack_rgb(format, platform::surface_pixel(s, 32, 24), r, g, b);
    EXPECT_GT(r, 240);
    EXPECT_LT(g, 10);
    platform::unpack_rgb(format, platform::surface_pixel(s, 22, 14), r, g, b);
    EXPECT_GT(g, 240);
    // Outside the viewport every pixel is bit for bit what the 2D drawing left.
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x)
        if (x < 16 || x >= 48 || y < 8 || y >= 40) {
          ASSERT_EQ(platform::surface_pixel(s, x, y), platform::surface_pixel(before, x, y))
              << x << "," << y;
        }
    // Hidden frames are not drawn.
    Surface again = before;
    frame_set_traversal(*red, kTraversePick);
    frame_set_traversal(*green, 0);
    ASSERT_TRUE(gl::render_begin(device, again));
    gl::viewport_render(device, v, *scene);
    ASSERT_TRUE(gl::render_end(device, again));
    EXPECT_EQ(again.pixels, before.pixels);
  }
}

TEST_F(GlFixture, DecalAndClippedMeshAndSettings) {
  Surface s;
  ASSERT_TRUE(platform::surface_create(s, 64, 64, PixelFormat::Xrgb8888));
  FramePtr scene = frame_create(nullptr);
  FramePtr camera = frame_create(scene.get());
  // A decal with a black (transparent) border and a white middle.
  std::vector<uint32_t> texels(16 * 16, 0);
  for (int y = 4; y < 12; ++y)
    for (int x = 4; x < 12; ++x) texels[size_t(y * 16 + x)] = 0xffffff;
  TexturePtr decal = texture_create_32(texels.data(), 16, 16, ChannelMasks{});
  texture_set_decal_size(*decal, 2.0f, 2.0f);
  texture_set_transparency(*decal, true, 0);
  FramePtr flat = frame_create(scene.get());
  frame_add_visual(*flat, decal);
  frame_set_position(*flat, scene.get(), vec3(-1, 0, 4));
  // A white square clipped to x >= 0 of its own coordinates.
  MeshPtr m = mesh_create();
  add_facing(*m, vec3(-1, -1, 0), vec3(-1, 1, 0), vec3(1, 1, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
  add_facing(*m, vec3(-1, -1, 0), vec3(1, 1, 0), vec3(1, -1, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
  mesh_set_quality(*m, Quality::UnlitFlat);
  ClippedPtr clipped = clipped_create(m);
  clipped_add_plane(*clipped, vec3(0), vec3(1, 0, 0));
  clipped_add_plane(*clipped, vec3(0), vec3(0));  // no direction: ignored
  EXPECT_EQ(clipped->planes.size(), 1u);
  FramePtr cf = frame_create(scene.get());
  frame_add_visual(*cf, clipped);
  frame_set_position(*cf, scene.get(), vec3(1, 0, 4));
  Viewport v;
  v.camera = camera;
  viewport_set_rect(v, 0, 0, 64, 64);
  ASSERT_TRUE(gl::render_begin(device, s));
  gl::viewport_render(device, v, *scene);
  ASSERT_TRUE(gl::render_end(device, s));
  auto white = [&](int x, int y) { return (platform::surface_pixel(s, x, y) & 0xffffff) == 0xffffff; };
  // Screen: 64 px span 2·0.5·4 = 4 units at z = 4, so one unit is 16 px; x = 0 is column 32.
  EXPECT_TRUE(white(16, 32));   // decal centre (x = -1), its white middle spans columns 8..24
  EXPECT_FALSE(white(3, 32));   // its transparent border
  EXPECT_TRUE(white(52, 32));   // clipped square, kept half (x in 1..2 units → 48..64)
  EXPECT_FALSE(white(44, 32));  // clipped-away half (x in 0..1)
  EXPECT_EQ(gl::device_set_texture_quality(device, 5), gl::TextureQuality::LinearMipLinear);
  EXPECT_EQ(gl::device_set_texture_quality(device, 9), gl::TextureQuality::Nearest);
  // A pass cannot start on a lost surface.
  s.lost = true;
  EXPECT_FALSE(gl::render_begin(device, s));
}

// A clipped mesh's cut copy is kept between passes and made again when a plane is added; a
// frame that sorts its own visuals orders them whatever the root's mode.
TEST_F(GlFixture, ClippedCopiesFollowTheirPlanesAndSortingFramesOrderTheirOwn) {
  Surface s;
  ASSERT_TRUE(platform::surface_create(s, 64, 64, PixelFormat::Xrgb8888));
  FramePtr scene = frame_create(nullptr);
  FramePtr camera = frame_create(scene.get());
  Viewport v;
  v.camera = camera;
  viewport_set_rect(v, 0, 0, 64, 64);
  auto square = [](vec4 color) {
    MeshPtr m = mesh_create();
    add_facing(*m, vec3(-1, -1, 0), vec3(-1, 1, 0), vec3(1, 1, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
    add_facing(*m, vec3(-1, -1, 0), vec3(1, 1, 0), vec3(1, -1, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
    mesh_set_color(*m, color);
    mesh_set_quality(*m, Quality::UnlitFlat);
    return m;
  };
  auto render = [&] {
    platform::surface_fill_rect(s, 0, 0, 64, 64, 0);
    ASSERT_TRUE(gl::render_begin(device, s));
    gl::viewport_clear_depth(device, v);
    gl::viewport_render(device, v, *scene);
    ASSERT_TRUE(gl::render_end(device, s));
  };
  auto pixel = [&](int x, int y) { return platform::surface_pixel(s, x, y) & 0xffffff; };
  // A white square at x = 0..2 (columns 32..64) clipped to its own x >= 0: columns 48..64.
  ClippedPtr clipped = clipped_create(square(vec4(1.0f)));
  clipped_add_plane(*clipped, vec3(0), vec3(1, 0, 0));
  FramePtr cf = frame_create(scene.get());
  frame_add_visual(*cf, clipped);
  frame_set_position(*cf, scene.get(), vec3(1, 0, 4));
  render();
  EXPECT_EQ(pixel(60, 32), 0xffffffu);
  EXPECT_EQ(pixel(44, 32), 0u);
  clipped_add_plane(*clipped, vec3(0.5f, 0, 0), vec3(-1, 0, 0));  // and x <= 0.5: columns 48..56
  render();
  EXPECT_EQ(pixel(52, 32), 0xffffffu);
  EXPECT_EQ(pixel(60, 32), 0u);
  frame_set_traversal(*cf, 0);

  // A near red square and a bigger far green one, both drawn over whatever lies there.
  FramePtr group = frame_create(scene.get());
  FramePtr red = frame_create(group.get()), green = frame_create(group.get());
  frame_add_visual(*red, square(vec4(1, 0, 0, 1)));
  frame_add_visual(*green, square(vec4(0, 1, 0, 1)));
  frame_set_position(*red, scene.get(), vec3(0, 0, 4));
  frame_set_position(*green, scene.get(), vec3(0, 0, 8));
  green->basis = mat3(3.0f);
  group->zbuffer = ZBufferMode::Disable;
  scene->sort_mode = SortMode::FrontToBack;  // the root: near first, so green ends on top
  render();
  EXPECT_EQ(pixel(32, 32), 0x00ff00u);
  group->sorts_below = true;  // the group: far first, so red ends on top
  group->sort_mode = SortMode::BackToFront;
  render();
  EXPECT_EQ(pixel(32, 32), 0xff0000u);
}

TEST_F(GlFixture, AntialiasingSoftensEdgesAndKeepsTheRest) {
  FramePtr scene = frame_create(nullptr);
  FramePtr camera = frame_create(scene.get());
  FramePtr f = frame_create(scene.get());
  MeshPtr m = mesh_create();
  add_facing(*m, vec3(-1, -1, 0), vec3(-0.8f, 1, 0), vec3(1, 0.7f, 0), vec3(0, 0, -1), vec2(0), vec2(0), vec2(0));
  mesh_set_color(*m, vec4(1, 0, 0, 1));
  mesh_set_quality(*m, Quality::UnlitFlat);
  frame_add_visual(*f, m);
  frame_set_position(*f, scene.get(), vec3(0, 0, 3));
  Viewport v;
  v.camera = camera;
  viewport_set_rect(v, 8, 8, 48, 48);
  auto render = [&](bool antialias, Surface& s) {
    device.settings.antialias = antialias;
    ASSERT_TRUE(gl::render_begin(device, s));
    gl::viewport_clear_depth(device, v);
    gl::viewport_render(device, v, *scene);
    ASSERT_TRUE(gl::render_end(device, s));
  };
  auto partial = [](const Surface& s) {
    int n = 0;
    for (int32_t y = 0; y < s.height; ++y)
      for (int32_t x = 0; x < s.width; ++x) {
        const uint32_t r = (platform::surface_pixel(s, x, y) >> 16) & 255;
        n += r > 30 && r < 225;
      }
    return n;
  };
  Surface hard, soft;
  ASSERT_TRUE(platform::surface_create(hard, 64, 64, PixelFormat::Xrgb8888));
  platform::surface_fill(hard, 0x000000);
  platform::surface_fill_rect(hard, 0, 0, 64, 4, 0x123456);  // 2D work outside the viewport
  soft = hard;
  const Surface before = hard;
  render(false, hard);
  render(true, soft);
  EXPECT_EQ(partial(hard), 0);
  EXPECT_GT(partial(soft), 20);
  for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(platform::surface_pixel(soft, x, 2), 0x123456u);
}

// A pass copies in only its area, and an area of one colour is cleared to it instead of being
// converted: both give exactly the picture of a pass that converts the whole surface.
TEST_F(GlFixture, UniformAndPartialAreasGiveThePictureOfAFullCopy) {
  for (PixelFormat format : {PixelFormat::Rgb565, PixelFormat::Rgb555, PixelFormat::Xrgb8888}) {
    SCOPED_TRACE(int(format));
    FramePtr scene = frame_create(nullptr);
    FramePtr camera = frame_create(scene.get());
    frame_set_position(*camera, scene.get(), vec3(0, 0, -3));
    frame_add_light(*scene, light_create(LightKind::Ambient, vec3(0.5f)));
    FramePtr sun = frame_create(scene.get());
    frame_set_orientation(*sun, scene.get(), vec3(0.3f, -1, 1), vec3(0, 1, 0));
    frame_add_light(*sun, light_create(LightKind::Directional, vec3(0.7f)));
    FramePtr box = frame_create(scene.get());
    frame_add_visual(*box, make_cube(0.6f));
    frame_set_orientation(*box, scene.get(), vec3(0.4f, 0.3f, 1), vec3(0, 1, 0));
    Viewport v;
    v.camera = camera;
    viewport_set_rect(v, 16, 8, 96, 80);
    // how: 0 whole surface with one odd pixel in a corner of the viewport that the box leaves
    // alone (so it is converted), 1 the same with the pass area on the viewport, 2 uniform.
    auto render = [&](int how, Surface& s) {
      ASSERT_TRUE(platform::surface_create(s, 128, 96, format));
      platform::surface_fill(s, platform::pack_rgb(format, 70, 90, 200));
      if (how < 2) platform::surface_fill_rect(s, 17, 9, 1, 1, platform::pack_rgb(format, 255, 0, 0));
      const gl::PassRect area = how == 1 ? gl::PassRect{16, 8, 96, 80} : gl::PassRect{};
      ASSERT_TRUE(gl::render_begin(device, s, area));
      EXPECT_EQ(device.stats.converted, how == 0 ? 128 * 96 : how == 1 ? 96 * 80 : 0);
      gl::viewport_clear_depth(device, v);
      gl::viewport_render(device, v, *scene);
      ASSERT_TRUE(gl::render_end(device, s));
    };
    Surface full, partial, uniform;
    render(0, full);
    render(1, partial);
    render(2, uniform);
    EXPECT_EQ(full.pixels, partial.pixels);
    EXPECT_NE(platform::surface_pixel(full, 64, 48), platform::surface_pixel(full, 1, 1));  // the box is there
    platform::surface_fill_rect(full, 17, 9, 1, 1, platform::pack_rgb(format, 70, 90, 200));
    EXPECT_EQ(full.pixels, uniform.pixels);
  }
}
