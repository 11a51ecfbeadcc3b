// The wave file reader.
#include "devices/sound_wave.h"

#include <cstring>
#include <fstream>

namespace korva {

namespace {

uint32_t u32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

WaveResult refuse(std::string problem) {
  WaveResult r;
  r.problem = std::move(problem);
  return r;
}

constexpr uint16_t kFormatPcm = 1;

}  // namespace

WaveResult wave_parse(std::span<const uint8_t> bytes) {
  const size_t size = bytes.size();
  const uint8_t* b = bytes.data();
  if (size < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
    return refuse("not a RIFF/WAVE file");

  const uint8_t* fmt = nullptr;
  size_t fmt_size = 0;
  const uint8_t* data = nullptr;
  size_t data_size = 0;
  // Chunks are walked to the end of the file; each takes its length plus one pad byte when the
  // length is odd. Positions are checked before any read, so no length can lead past the end.
  size_t pos = 12;
  while (pos + 8 <= size && (!fmt || !data)) {
    const uint32_t length = u32(b + pos + 4);
    const size_t body = pos + 8;
    if (length > size - body) return refuse("a chunk runs past the end of the file");
    if (!fmt && std::memcmp(b + pos, "fmt ", 4) == 0) {
      fmt = b + body;
      fmt_size = length;
    } else if (!data && std::memcmp(b + pos, "data", 4) == 0) {
      data = b + body;
      data_size = length;
    }
    pos = body + length + (length & 1u);
  }
  if (!fmt) return refuse("no \"fmt \" chunk");
  if (fmt_size < 14) return refuse("the \"fmt \" chunk is shorter than 14 bytes");
  if (!data) return refuse("no \"data\" chunk");

  const uint16_t tag = u16(fmt);
  const int32_t channels = u16(fmt + 2);
  const uint32_t rate = u32(fmt + 4);
  const int32_t block_align = u16(fmt + 12);
  // A 14-byte format (the oldest PCM header) has no bits-per-sample word: the block gives it.
  const int32_t bits = fmt_size >= 16 ? u16(fmt + 14) : (channels > 0 ? block_align * 8 / channels : 0);
  if (tag != kFormatPcm) return refuse("not PCM (format " + std::to_string(tag) + ")");
  if (channels != 1 && channels != 2) return refuse(std::to_string(channels) + " channels (1 or 2 are played)");
  if (bits != 8 && bits != 16) return refuse(std::to_string(bits) + "-bit samples (8 or 16 are played)");
  if (rate < static_cast<uint32_t>(kMinWaveRate) || rate > static_cast<uint32_t>(kMaxWaveRate))
    return refuse("sample rate " + std::to_string(rate) + " outside 100..100000");

  const size_t frame = static_cast<size_t>(channels) * static_cast<size_t>(bits / 8);
  const size_t whole = data_size - data_size % frame;
  if (whole == 0) return refuse("no samples");
  WaveResult r;
  r.ok = true;
  r.wave.channels = channels;
  r.wave.rate = static_cast<int32_t>(rate);
  r.wave.bits = bits;
  r.wave.samples.assign(data, data + whole);
  return r;
}

WaveResult wave_read(std::string_view path) {
  std::ifstream in{std::string(path), std::ios::binary};
  if (!in) return refuse("cannot be opened");
  in.seekg(0, std::ios::end);
  const std::streamoff end = in.tellg();
  if (end < 0) return refuse("cannot be read");
  if (static_cast<size_t>(end) > kMaxWaveBytes) return refuse("larger than 64 MiB");
  std::vector<uint8_t> bytes(static_cast<size_t>(end));
  in.seekg(0);
  if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), end)) return refuse("cannot be read");
  return wave_parse(bytes);
}

std::vector<uint8_t> wave_mono(const Wave& w) {
  if (w.channels != 2) return w.samples;
  std::vector<uint8_t> out;
  if (w.bits == 8) {
    out.reserve(w.samples.size() / 2);
    for (size_t i = 0; i + 1 < w.samples.size(); i += 2)
      out.push_back(static_cast<uint8_t>((w.samples[i] + w.samples[i + 1]) / 2));
  } else {
    out.reserve(w.samples.size() / 2);
    for (size_t i = 0; i + 3 < w.samples.size(); i += 4) {
      const int32_t l = static_cast<int16_t>(u16(&w.samples[i]));
      const int32_t r = static_cast<int16_t>(u16(&w.samples[i + 2]));
      const auto m = static_cast<uint16_t>(static_cast<int16_t>((l + r) / 2));
      out.push_back(static_cast<uint8_t>(m & 0xFF));
      out.push_back(static_cast<uint8_t>(m >> 8));
    }
  }
  return out;
}

}  // namespace korva
