// The choosers' speed: a resource page of nine model previews rendered on the software device
// (target: within 300 ms), and a folder of 10,000 files listed and then scrolled page by page
// in the file list (target: no visible stall, a few milliseconds per frame).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "mkdata.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"

namespace {

using namespace korva;
namespace fs = std::filesystem;

fs::path folder(const std::string& name) {
  const fs::path d = fs::temp_directory_path() / ("korva_bench_" + name + "_" + std::to_string(::getpid()));
  fs::create_directories(d);
  return d;
}

void write(const fs::path& p, const mkdata::Bytes& bytes) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void BM_NineModelPreviews(benchmark::State& state) {
  platform::Devices devices;
  platform::Screen none;
  platform::devices_probe(devices, none);
  gl::Device device;
  if (!platform::devices_select(devices, platform::DeviceKind::Software)) {
    state.SkipWithError("no software device");
    return;
  }
  const fs::path d = folder("models");
  for (int i = 0; i < 9; ++i)
    write(d / ("m" + std::to_string(i) + ".3ds"),
          mkdata::tds_encode(mkdata::make_sphere(0.5f, 12 + i, 24 + 2 * i, false), "m"));
  auto core = core_create();
  Gui g;
  gui_init(g, *core, nullptr, nullptr);
  PreviewDevice preview{&devices, &device};
  for (auto _ : state) {
    for (int i = 0; i < 9; ++i)
      draw_resource_preview(g, &preview, (d / ("m" + std::to_string(i) + ".3ds")).string(), -4, 40 + 200 * (i % 3),
                            80 + 130 * (i / 3));
  }
  fs::remove_all(d);
  if (device.ready) gl::device_release(device);
  platform::devices_release(devices);
}
BENCHMARK(BM_NineModelPreviews)->Unit(benchmark::kMillisecond);

struct TenThousand {
  fs::path d = folder("files");
  TenThousand() {
    for (int i = 0; i < 10000; ++i) std::ofstream(d / ("file " + std::to_string(i) + ".txt")) << i;
  }
  ~TenThousand() { fs::remove_all(d); }
};

void BM_ListTenThousandFiles(benchmark::State& state) {
  TenThousand files;
  std::vector<FileListEntry> entries;
  for (auto _ : state) {
    list_chooser_folder(files.d.string(), "*.txt", entries);
    benchmark::DoNotOptimize(entries.data());
  }
}
BENCHMARK(BM_ListTenThousandFiles)->Unit(benchmark::kMillisecond);

// One frame of the file list per Page Down, through the whole folder and out with Escape.
void BM_ScrollTenThousandFiles(benchmark::State& state) {
  TenThousand files;
  auto core = core_create();
  Input input;
  Gui g;
  gui_init(g, *core, &input, nullptr);
  int32_t frames = 0;
  g.io.pump = [&] {
    ++frames;
    input_key_down(input, frames >= 10000 / 19 + 2 ? kScanEscape : kScanPageDown, false);
  };
  g.io.input_exhausted = [] { return false; };
  for (auto _ : state) {
    frames = 0;
    benchmark::DoNotOptimize(choose_file(g, files.d.string(), "*.txt"));
  }
  state.counters["frames"] = frames;
  state.counters["ms per frame"] = benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate |
                                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScrollTenThousandFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
