// The scrambled copy of stand-alone games and the reads that undo it.
#include "core/scramble.h"

#include <cstring>

#include "core/core.h"

namespace korva {
namespace {

uint32_t rotate_left(uint32_t v, int32_t n) { return (v << n) | (v >> (32 - n)); }
uint32_t rotate_right(uint32_t v, int32_t n) { return (v >> n) | (v << (32 - n)); }

uint32_t load_word(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
void store_word(uint8_t* p, uint32_t v) {
  for (int32_t k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

bool ends_with_icase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  return str_icmp(s.substr(s.size() - tail.size()), tail) == 0;
}

enum class Transform { Scramble, Unscramble, Plain };

bool copy_with(Core& c, std::string_view source, std::string_view destination, Transform t) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file_raw(source, bytes, kMaxScrambledBytes)) return false;
  // Level projects are always scrambled; "noencrypt.txt" makes every other copy plain.
  if (c.no_scramble && !ends_with_icase(source, ".prj") && !ends_with_icase(destination, ".prj"))
    t = Transform::Plain;
  if (t == Transform::Scramble) scramble_bytes(bytes.data(), int64_t(bytes.size()));
  if (t == Transform::Unscramble) unscramble_bytes(bytes.data(), int64_t(bytes.size()));
  return file_write_safely(destination, bytes.data(), int64_t(bytes.size()));
}

std::string& folder_setting() {
  static std::string folder;
  return folder;
}

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  return true;
}

}  // namespace

void scramble_bytes(uint8_t* data, int64_t size) {
  for (int64_t i = 0; i + 4 <= size; i += 4)
    store_word(data + i, rotate_left(load_word(data + i) ^ kScrambleKey, kScrambleRotation));
}

void unscramble_bytes(uint8_t* data, int64_t size) {
  for (int64_t i = 0; i + 4 <= size; i += 4)
    store_word(data + i, rotate_right(load_word(data + i), kScrambleRotation) ^ kScrambleKey);
}

bool copy_scrambled(Core& c, std::string_view source, std::string_view destination) {
  return copy_with(c, source, destination, Transform::Scramble);
}

bool copy_unscrambled(Core& c, std::string_view source, std::string_view destination) {
  return copy_with(c, source, destination, Transform::Unscramble);
}

bool copy_plain(Core& c, std::string_view source, std::string_view destination) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file_raw(source, bytes, kMaxScrambledBytes)) return false;
  return file_write_safely(destination, bytes.data(), int64_t(bytes.size()));
}

int32_t asset_hash(std::string_view path) {
  uint32_t h = 0;
  for (char ch : path) h = h * 31u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(ch)));
  return static_cast<int32_t>(h);
}

std::string asset_hash_name(std::string_view path) { return std::to_string(asset_hash(path)); }

void scrambled_folder_set(std::string_view folder) { folder_setting() = std::string(folder); }
const std::string& scrambled_folder() { return folder_setting(); }

bool is_scrambled_asset_name(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view stem = name.substr(0, dot), ext = name.substr(dot + 1);
  if (!stem.empty() && stem[0] == '-') stem.remove_prefix(1);
  // Hashed copies and their numbered animation frames.
  if (all_digits(stem) && (str_icmp(ext, "dat") == 0 || (ext.size() == 3 && all_digits(ext)))) return true;
  static constexpr std::string_view kPlain[] = {"resume_.bmp", "end_.bmp"};
  for (std::string_view p : kPlain)
    if (str_icmp(name, p) == 0) return false;
  // The runtime's hood models: "hood0a.x" .. "hood4b.x".
  if (name.size() == 8 && str_icmp(name.substr(0, 4), "hood") == 0 && str_icmp(ext, "x") == 0) return false;
  return str_icmp(ext, "x") == 0 || str_icmp(ext, "bmp") == 0 || str_icmp(ext, "ppm") == 0 ||
         str_icmp(ext, "wav") == 0;
}

bool reads_scrambled(std::string_view path) {
  const std::string& folder = folder_setting();
  if (folder.empty()) return false;
  std::string_view name;
  if (path.size() > folder.size() && path.substr(0, folder.size()) == folder)
    name = path.substr(folder.size());
  else if (path.size() > 2 && path.substr(0, 2) == "./")  // relative to the player's folder
    name = path.substr(2);
  else
    return false;
  if (name.find('/') != std::string_view::npos) return false;
  return is_scrambled_asset_name(name);
}

}  // namespace korva
