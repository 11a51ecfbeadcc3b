// The wave file reader: RIFF/WAVE with chunks padded to an even length, the first "fmt " chunk
// (at least 14 bytes) and the first "data" chunk; 8- and 16-bit PCM, mono or stereo. Files
// are untrusted: anything else is refused with a reason, never read past its end.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// Wave files larger than this are refused instead of read (no game sound comes near it).
constexpr size_t kMaxWaveBytes = size_t{64} << 20;
// Sample rates a sound buffer accepts, as frequencies are clamped.
constexpr int32_t kMinWaveRate = 100;
constexpr int32_t kMaxWaveRate = 100000;

struct Wave {
  int32_t channels = 0;         // 1 or 2
  int32_t rate = 0;             // samples per second
  int32_t bits = 0;             // 8 (unsigned) or 16 (signed little-endian)
  std::vector<uint8_t> samples; // whole frames only
};

struct WaveResult {
  bool ok = false;
  Wave wave;
  std::string problem;  // why the data was refused
};

[[nodiscard]] WaveResult wave_parse(std::span<const uint8_t> bytes);
// Reads the file; a missing or unreadable file is refused like a bad one.
[[nodiscard]] WaveResult wave_read(std::string_view path);
// The samples as one channel (stereo frames averaged), in the same sample format.
std::vector<uint8_t> wave_mono(const Wave& w);

}  // namespace korva
