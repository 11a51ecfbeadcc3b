// Video playback on the headless display: a 640 x 480 MPEG-4 video decoded, each picture
// scaled into the whole 640 x 480 back surface (16-bit, as the default display mode) and
// flipped. Target: at least the video's own 30 pictures a second, with room for the game.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/video/video.h"

namespace korva {
namespace {

constexpr int32_t kPictures = 90;  // three seconds at 30 a second

const std::string& video_file() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("korva_bench_video_" + std::to_string(::getpid()) + ".avi")).string();
    video::SampleOptions o;
    o.width = 640;
    o.height = 480;
    o.frames = kPictures;
    o.frame_rate = 30;
    o.tone_hz = 440;
    if (!video::write_sample(p, o)) return std::string();
    return p;
  }();
  return path;
}

void BM_VideoPictures640x480(benchmark::State& state) {
  const std::string& path = video_file();
  if (path.empty()) {
    state.SkipWithError("the sample video cannot be written");
    return;
  }
  platform::Screen screen;
  const auto format = static_cast<platform::PixelFormat>(state.range(0));
  if (!platform::surface_create(screen.primary, 640, 480, format) || !platform::surface_create(screen.back, 640, 480, format)) {
    state.SkipWithError("no surfaces");
    return;
  }
  int64_t shown = 0;
  for (auto _ : state) {
    video::DecoderPtr d = video::open(path);
    if (!d) {
      state.SkipWithError("the sample video does not open");
      return;
    }
    for (video::Event e = video::next(*d); e != video::Event::End; e = video::next(*d)) {
      if (e != video::Event::Picture) continue;
      video::draw(*d, screen.back, 0, 0, 640, 480);
      platform::screen_flip(screen);
      ++shown;
    }
  }
  state.SetItemsProcessed(shown);  // items per second: pictures decoded and shown per second
  state.counters["pictures_per_second"] = benchmark::Counter(static_cast<double>(shown), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VideoPictures640x480)
    ->Arg(static_cast<int>(platform::PixelFormat::Rgb565))
    ->Arg(static_cast<int>(platform::PixelFormat::Xrgb8888))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace korva

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(korva::video_file());
  return 0;
}
