// Meshes and volume shadows on a 10,000-vertex mesh: vertices_set through its keyword routine,
// building a caster's shadow volume, and frames per second of the 3D pass at 1024 x 768 on the
// software device (Mesa llvmpipe) without and with the shadow pass.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/core.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "render/mesh_keywords.h"
#include "render/scene.h"
#include "render/shadow_keywords.h"
#include "runtime/memory_blocks.h"

namespace {

using namespace korva;

// A level grid of (steps + 1)² vertices and 2·steps² triangles, facing up, centred on the origin.
rm::MeshPtr grid(float size, int32_t steps, rm::vec4 colour) {
  auto m = rm::mesh_create();
  for (int32_t j = 0; j <= steps; ++j)
    for (int32_t k = 0; k <= steps; ++k)
      rm::mesh_add_vertex(*m, rm::vec3(size * (float(k) / float(steps) - 0.5f), 0.0f,
                                       size * (float(j) / float(steps) - 0.5f)));
  const int32_t row = steps + 1;
  for (int32_t j = 0; j < steps; ++j)
    for (int32_t k = 0; k < steps; ++k) {
      const int32_t bl = j * row + k, tl = bl + row;
      rm::mesh_add_face(*m, bl, tl, tl + 1, colour);
      rm::mesh_add_face(*m, bl, tl + 1, bl + 1, colour);
    }
  return m;
}

// A sphere of (rings + 1)·(segments + 1) vertices with its faces outwards.
rm::MeshPtr sphere(float radius, int32_t rings, int32_t segments, rm::vec4 colour) {
  auto m = rm::mesh_create();
  for (int32_t r = 0; r <= rings; ++r) {
    const float t = float(r) / float(rings) * 3.14159265f;
    for (int32_t s = 0; s <= segments; ++s) {
      const float p = float(s) / float(segments) * 6.2831853f;
      rm::mesh_add_vertex(*m, rm::vec3(radius * std::sin(t) * std::cos(p), radius * std::cos(t),
                                       radius * std::sin(t) * std::sin(p)));
    }
  }
  for (int32_t r = 0; r < rings; ++r)
    for (int32_t s = 0; s < segments; ++s) {
      const int32_t a = r * (segments + 1) + s, b = a + segments + 1;
      rm::mesh_add_face(*m, a, a + 1, b, colour);
      rm::mesh_add_face(*m, a + 1, b + 1, b, colour);
    }
  return m;
}

// Element 0 a camera over the whole 1024 x 768 screen, 1 a floor grid of 10,201 vertices,
// 2 a sphere of 2,601 vertices 1.5 m above it, 3 a directional light, 4 an ambient light.
struct Bench {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  render::Scene scene;
  System sys;
  platform::Devices devices;
  gl::Device device;
  platform::Surface back;
  std::vector<render::ElementState> states;
  bool ok = false;

  explicit Bench(bool with_device) {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    sys.blocks = blocks.get();
    std::vector<render::ElementSetup> setups(5);
    setups[0].kind = render::ElementKind::Camera;
    setups[0].rect = {0, 0, 639, 479};
    setups[1].kind = render::ElementKind::Shape3d;
    setups[1].shape = grid(8.0f, 100, rm::vec4(0.4f, 0.6f, 0.4f, 1.0f));
    setups[2].kind = render::ElementKind::Shape3d;
    setups[2].shape = sphere(0.6f, 50, 50, rm::vec4(0.9f, 0.5f, 0.2f, 1.0f));
    setups[3].kind = render::ElementKind::Light;
    setups[3].light_type = 3;
    setups[4].kind = render::ElementKind::Light;
    setups[4].light_type = 0;
    setups[4].light_color = 0x404040;
    render::SceneSettings settings;
    settings.display_mode = 16;  // 640 x 480 coordinates scaled to 1024 x 768
    if (with_device) {
      platform::Screen none;
      platform::devices_probe(devices, none);
      if (!platform::devices_select(devices, platform::DeviceKind::Software) || !gl::device_init(device)) return;
      if (!platform::surface_create(back, 1024, 768, platform::PixelFormat::Rgb565)) return;
    }
    render::scene_build(scene, settings, setups, with_device ? &device : nullptr);
    model->last_index = 4;
    sys.scene = &scene;
    const int32_t at[5][4] = {{0, 3 * 512000, -6 * 512000, 12000}, {0, 0, 0, 0}, {0, 768000, 0, 0},
                              {0, 0, 0, 25600}, {0, 0, 0, 0}};
    for (int32_t i = 0; i < 5; ++i) {
      uint8_t* r = core->pool(Pool::Instances) + i * kInstanceRecordBytes;
      ir_set(r, ir::kFlags, ir::kFlagActive | ir::kFlagShown);
      ir_set(r, ir::kPosX, at[i][0]);
      ir_set(r, ir::kPosY, at[i][1]);
      ir_set(r, ir::kPosZ, at[i][2]);
      ir_set(r, ir::kRotX, at[i][3]);
      for (int32_t o : {ir::kScaleX, ir::kScaleY, ir::kScaleZ}) ir_set(r, o, 1000);
      render::ElementState e;
      e.active = e.shown = true;
      e.position = {at[i][0], at[i][1], at[i][2]};
      e.rotation = {at[i][3], 0, 0};
      states.push_back(e);
    }
    render::scene_sync(scene, *core, states);
    ok = true;
  }
  ~Bench() {
    render::scene_release(scene);
    if (device.ready) gl::device_release(device);
    platform::devices_release(devices);
  }
  void shadow() {
    shadows::v_shadow_volume_reset(sys);
    shadows::v_shadow_volume_add(sys, element_handle(2), 1, element_handle(3));
    shadows::v_shadow_create(sys, element_handle(1));
  }
};

// vertices_set of the floor's 10,201 vertices from a block.
void VerticesSet(benchmark::State& state) {
  Bench b(false);
  const int32_t block = a_create(b.sys, 3 * 10201);
  meshes::vertices_get(b.sys, element_handle(1), block, 0);
  for (auto _ : state) meshes::vertices_set(b.sys, element_handle(1), block, 0);
  state.SetItemsProcessed(int64_t(state.iterations()) * 10201);
}
BENCHMARK(VerticesSet)->Unit(benchmark::kMicrosecond);

// The sphere's volume built again and the floor's copy cut by it (v_shadow_update).
void ShadowUpdate(benchmark::State& state) {
  Bench b(false);
  b.shadow();
  for (auto _ : state) shadows::v_shadow_update(b.sys, element_handle(1));
  state.counters["planes"] = double(shadows::plane_list_planes(b.scene.shadow).size());
}
BENCHMARK(ShadowUpdate)->Unit(benchmark::kMicrosecond);

// One 3D pass at 1024 x 768: arg 0 without, 1 with the sphere's shadow on the floor, 2 with the
// shadow brought up to date and the floor reshaped (vertices_set) every frame.
void ShadowFrame(benchmark::State& state) {
  Bench b(true);
  if (!b.ok) {
    state.SkipWithError("no software device");
    return;
  }
  if (state.range(0) >= 1) b.shadow();
  const int32_t block = a_create(b.sys, 3 * 10201);
  meshes::vertices_get(b.sys, element_handle(1), block, 0);
  for (auto _ : state) {
    if (state.range(0) == 2) {
      meshes::vertices_set(b.sys, element_handle(1), block, 0);
      shadows::v_shadow_update(b.sys, element_handle(1));
    }
    render::scene_sync(b.scene, *b.core, b.states);
    render::scene_draw(b.scene, b.states, b.device, b.back);
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["triangles"] = double(b.device.stats.triangles);
}
BENCHMARK(ShadowFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
