// Frames per second of the 3D pass, headless on the software device (Mesa llvmpipe), for a
// small scene like the demo's and a heavy one of 400 visuals with about 200,000 triangles,
// at 640 x 480 and 1024 x 768.
#include <benchmark/benchmark.h>

#include <cmath>

#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "platform/rm/rm.h"

namespace {

using namespace korva;

// A sphere of about 2 * rings * segments triangles.
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
  for (int32_t r = 0; r < rings; ++r) {
    for (int32_t s = 0; s < segments; ++s) {
      const int32_t a = r * (segments + 1) + s, b = a + segments + 1;
      rm::mesh_add_face(*m, a, b, a + 1, colour);
      rm::mesh_add_face(*m, a + 1, b, b + 1, colour);
    }
  }
  rm::mesh_generate_normals(*m);
  return m;
}

struct Bench {
  platform::Devices devices;
  gl::Device device;
  rm::FramePtr root;
  rm::Viewport view;
  platform::Surface back;
  bool ok = false;

  Bench(int32_t width, int32_t height, int32_t visuals, int32_t rings) {
    platform::Screen none;
    platform::devices_probe(devices, none);
    if (!platform::devices_select(devices, platform::DeviceKind::Software) || !gl::device_init(device)) return;
    root = rm::frame_create(nullptr);
    auto sun = rm::frame_create(root.get());
    rm::frame_add_light(*sun, rm::light_create(rm::LightKind::Directional, rm::vec3(1.0f)));
    rm::frame_set_orientation(*sun, root.get(), rm::vec3(0.3f, -1.0f, 0.5f), rm::vec3(0, 0, 1));
    rm::frame_add_light(*root, rm::light_create(rm::LightKind::Ambient, rm::vec3(0.3f)));
    auto mesh = sphere(0.4f, rings, 2 * rings, rm::vec4(0.9f, 0.5f, 0.2f, 1.0f));
    const int32_t side = int32_t(std::ceil(std::sqrt(double(visuals))));
    for (int32_t i = 0; i < visuals; ++i) {
      auto f = rm::frame_create(root.get());
      rm::frame_add_visual(*f, mesh);
      rm::frame_set_position(*f, root.get(), rm::vec3(float(i % side) - side / 2.0f, 0.0f, float(i / side)));
    }
    view.camera = rm::frame_create(root.get());
    rm::frame_set_position(*view.camera, root.get(), rm::vec3(0.0f, float(side) / 2.0f, -float(side) / 2.0f));
    rm::frame_set_orientation(*view.camera, root.get(), rm::vec3(0.0f, -0.5f, 1.0f), rm::vec3(0, 1, 0));
    rm::viewport_set_rect(view, 0, 0, width, height);
    rm::viewport_set_back(view, 200.0f);
    rm::viewport_set_field(view, 0.75f);
    ok = platform::surface_create(back, width, height, platform::PixelFormat::Rgb565);
  }
  ~Bench() {
    gl::device_release(device);
    platform::devices_release(devices);
  }
};

// args: width, height, visuals, rings (a visual has about 4 * rings * rings triangles)
void RenderFrame(benchmark::State& state) {
  Bench b(int32_t(state.range(0)), int32_t(state.range(1)), int32_t(state.range(2)), int32_t(state.range(3)));
  if (!b.ok) {
    state.SkipWithError("no software device");
    return;
  }
  for (auto _ : state) {
    gl::render_begin(b.device, b.back);
    gl::viewport_clear_depth(b.device, b.view);
    gl::viewport_render(b.device, b.view, *b.root);
    gl::render_end(b.device, b.back);
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["triangles"] = double(b.device.stats.triangles);
}

// The demo's size (three visuals) and the heavy scene (400 visuals of 500 triangles).
BENCHMARK(RenderFrame)->Args({640, 480, 3, 8})->Args({1024, 768, 3, 8})
    ->Args({640, 480, 400, 11})->Args({1024, 768, 400, 11})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
