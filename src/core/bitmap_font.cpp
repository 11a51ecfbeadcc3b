// The ".fnt" reader.
#include "core/bitmap_font.h"

#include <cstring>

#include "core/core.h"

namespace korva {
namespace {

constexpr int32_t kFntHeader = 16;
constexpr int32_t kFntEntry = 8;

uint32_t u16_at(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t u32_at(const uint8_t* p) {
  return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

bool bitmap_font_parse(BitmapFont& font, const uint8_t* data, int64_t size) {
  if (!data || size < kFntHeader || std::memcmp(data, "KFNT", 4) != 0 || u16_at(data + 4) != 1)
    return false;
  BitmapFont f;
  f.first = static_cast<int32_t>(u16_at(data + 6));
  f.count = static_cast<int32_t>(u16_at(data + 8));
  f.height = static_cast<int32_t>(u16_at(data + 10));
  f.ascent = static_cast<int32_t>(u16_at(data + 12));
  if (f.first + f.count > 256 || f.height <= 0 || f.height > 128 || f.ascent > f.height)
    return false;
  const int64_t table_end = kFntHeader + int64_t(f.count) * kFntEntry;
  if (size < table_end) return false;
  for (int32_t i = 0; i < f.count; ++i) {
    const uint8_t* e = data + kFntHeader + int64_t(i) * kFntEntry;
    const int32_t w = static_cast<int32_t>(u16_at(e));
    const uint32_t offset = u32_at(e + 4);
    if (w > 256 || table_end + int64_t(offset) + int64_t(w) * f.height > size) return false;
    f.advance.push_back(w);
    f.offset.push_back(offset);
  }
  f.cells.assign(data + table_end, data + size);
  font = std::move(f);
  return true;
}

bool bitmap_font_load(Core& c, BitmapFont& font, std::string_view path) {
  const int64_t size = file_size(c, path);
  if (size <= 0 || size > (int64_t(16) << 20)) return false;
  std::vector<uint8_t> data(static_cast<size_t>(size));
  int64_t got = 0;
  if (read_file(c, path, 0, size, data.data(), &got) != 0 || got != size) return false;
  return bitmap_font_parse(font, data.data(), size);
}

}  // namespace korva
