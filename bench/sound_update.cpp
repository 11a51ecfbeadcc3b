// The per-frame sound update of 256 moving elements with sounds (listener, positions, the
// batched commit) on a loopback device. Target: under 100 µs a frame.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/core.h"
#include "core/system.h"
#include "devices/sound.h"
#include "model/instance_record.h"

namespace korva {
namespace {

std::string tone_file() {
  std::string data;
  for (int32_t i = 0; i < 2205; ++i) {
    const auto v = static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.1)));
    data.push_back(static_cast<char>(v & 0xFF));
    data.push_back(static_cast<char>(v >> 8));
  }
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::string fmt = std::string("\x01\x00\x01\x00", 4) + u32(22050) + u32(44100) + std::string("\x02\x00\x10\x00", 4);
  const std::string chunks = "fmt " + u32(16) + fmt + "data" + u32(uint32_t(data.size())) + data;
  const std::string path = (std::filesystem::temp_directory_path() / ("korva_bench_" + std::to_string(::getpid()) + ".wav")).string();
  std::ofstream(path, std::ios::binary) << "RIFF" + u32(uint32_t(chunks.size() + 4)) + "WAVE" + chunks;
  return path;
}

void BM_SoundFrame256(benchmark::State& state) {
  std::unique_ptr<Core> core = core_create();
  Sound sound;
  sound.how = audio::Open::Loopback;
  System s;
  s.core = core.get();
  s.sound = &sound;
  if (!sound_start(s)) {
    state.SkipWithError("no sound device");
    return;
  }
  const std::string path = tone_file();
  uint8_t* records = core->pool(Pool::Instances);
  for (int32_t i = 0; i < kSoundElements; ++i) {
    ir_set(records + i * kInstanceRecordBytes, ir::kFlags, ir::kFlagActive);
    (void)element_sound_create(s, i, path, sound_options_parse("4096/2/50/0"));
  }
  element_sounds_start(s);
  std::filesystem::remove(path);
  const double at[3] = {0, 0, 1}, up[3] = {0, 1, 0};
  int32_t step = 0;
  for (auto _ : state) {
    ++step;
    // Every element moves, as in a busy scene.
    for (int32_t i = 0; i < kSoundElements; ++i) {
      uint8_t* r = records + i * kInstanceRecordBytes;
      ir_set(r, ir::kPosX, (i % 16) * 512000 + step * 1000);
      ir_set(r, ir::kPosZ, (i / 16) * 512000);
    }
    const double position[3] = {step * 0.001, 0, 0};
    sound_listener_set(s, position, at, up);
    sound_positions_update(s);
    sound_commit(s);
  }
  sound_shutdown(s);
}
BENCHMARK(BM_SoundFrame256)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korva

BENCHMARK_MAIN();
