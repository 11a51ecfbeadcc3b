// Wave files built in memory for the sound tests: RIFF chunks as bytes, and tones.
#pragma once
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace korva::test {

inline void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void put16(std::string& s, uint32_t v) {
  for (int i = 0; i < 2; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// One chunk: id, length, body, and the pad byte after an odd body.
inline std::string chunk(const std::string& id, const std::string& body) {
  std::string s = id;
  put32(s, static_cast<uint32_t>(body.size()));
  s += body;
  if (body.size() & 1) s.push_back('\0');
  return s;
}

inline std::string fmt_body(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, bool with_bits = true) {
  std::string s;
  put16(s, tag);
  put16(s, channels);
  put32(s, rate);
  put32(s, rate * channels * bits / 8);
  put16(s, channels * bits / 8);
  if (with_bits) put16(s, bits);
  return s;
}

inline std::string riff(const std::string& chunks) {
  std::string s = "RIFF";
  put32(s, static_cast<uint32_t>(chunks.size() + 4));
  return s + "WAVE" + chunks;
}

// A 16-bit mono sine tone.
inline std::string tone16(int32_t rate, double seconds, double hz = 440.0, double amplitude = 16000.0) {
  std::string data;
  const auto n = static_cast<int32_t>(rate * seconds);
  for (int32_t i = 0; i < n; ++i)
    put16(data, static_cast<uint16_t>(static_cast<int16_t>(amplitude * std::sin(2.0 * M_PI * hz * i / rate))));
  return riff(chunk("fmt ", fmt_body(1, 1, static_cast<uint32_t>(rate), 16)) + chunk("data", data));
}

inline std::string write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

inline std::vector<uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace korva::test
