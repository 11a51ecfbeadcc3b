// Text rendering with FreeType: the installation's bitmap fonts and the text drawn into the
// generated pictures. Characters are Windows-1252 bytes, the encoding of the system's texts.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <filesystem>

#include "bytes.h"

namespace korva::mkdata {
namespace {

// Unicode code points of Windows-1252 bytes 128..159 (0 where the code page has no character).
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

uint32_t code_point(uint8_t code) {
  if (code >= 128 && code < 160) return kCp1252High[code - 128];
  return code;
}

constexpr int32_t kFntFirst = 32;
constexpr int32_t kFntCount = 224;  // 32..255
constexpr int32_t kFntHeader = 16;

}  // namespace

struct Typeface::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int32_t ascent = 0;
  int32_t height = 0;

  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
  // Renders one character; false when the font has no glyph for it.
  bool load(uint8_t code) const {
    const uint32_t cp = code_point(code);
    if (cp == 0) return false;
    const FT_UInt index = FT_Get_Char_Index(face, cp);
    if (index == 0 && cp != ' ') return false;
    return FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0;
  }
  int32_t advance() const { return static_cast<int32_t>((face->glyph->advance.x + 32) >> 6); }
};

Typeface::Typeface() : impl_(std::make_unique<Impl>()) {}
Typeface::~Typeface() = default;

bool Typeface::open(const std::string& path) {
  if (!impl_->library && FT_Init_FreeType(&impl_->library) != 0) return false;
  if (impl_->face) {
    FT_Done_Face(impl_->face);
    impl_->face = nullptr;
  }
  if (FT_New_Face(impl_->library, path.c_str(), 0, &impl_->face) != 0) {
    impl_->face = nullptr;
    return false;
  }
  set_pixel_size(13);
  return true;
}

bool Typeface::is_open() const { return impl_->face != nullptr; }

void Typeface::set_pixel_size(int32_t pixels) {
  if (!impl_->face) return;
  FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(pixels));
  const FT_Size_Metrics& m = impl_->face->size->metrics;
  impl_->ascent = static_cast<int32_t>((m.ascender + 63) >> 6);
  const int32_t descent = static_cast<int32_t>((-m.descender + 63) >> 6);
  impl_->height = impl_->ascent + descent;
}

int32_t Typeface::ascent() const { return impl_->ascent; }
int32_t Typeface::line_height() const { return impl_->height; }

int32_t Typeface::text_width(std::string_view text) const {
  int32_t w = 0;
  for (char ch : text) {
    if (impl_->load(static_cast<uint8_t>(ch))) w += impl_->advance();
  }
  return w;
}

void Typeface::draw(std::string_view text, int32_t x, int32_t y,
                    const std::function<void(int32_t, int32_t, int32_t)>& plot) const {
  for (char ch : text) {
    if (!impl_->load(static_cast<uint8_t>(ch))) continue;
    const FT_GlyphSlot g = impl_->face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (uint32_t row = 0; row < bm.rows; ++row) {
      for (uint32_t col = 0; col < bm.width; ++col) {
        const int32_t v = bm.buffer[row * bm.pitch + col];
        if (v > 0) plot(x + g->bitmap_left + int32_t(col), y - g->bitmap_top + int32_t(row), v);
      }
    }
    x += impl_->advance();
  }
}

int32_t Typeface::glyph_cell(uint8_t code, std::vector<uint8_t>& cell) const {
  const int32_t h = impl_->height;
  if (!impl_->load(code)) {
    cell.clear();
    return 0;
  }
  const int32_t w = impl_->advance();
  cell.assign(size_t(w) * h, 0);
  const FT_GlyphSlot g = impl_->face->glyph;
  const FT_Bitmap& bm = g->bitmap;
  for (uint32_t row = 0; row < bm.rows; ++row) {
    for (uint32_t col = 0; col < bm.width; ++col) {
      const int32_t x = g->bitmap_left + int32_t(col);
      const int32_t y = impl_->ascent - g->bitmap_top + int32_t(row);
      if (x < 0 || y < 0 || x >= w || y >= h) continue;  // overhangs are cut at the cell
      uint8_t& d = cell[size_t(y) * w + x];
      d = std::max(d, bm.buffer[row * bm.pitch + col]);
    }
  }
  return w;
}

std::string find_font_file(bool bold) {
  const char* const regular[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                 "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"};
  const char* const heavy[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                               "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"};
  for (const char* path : bold ? heavy : regular) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
  }
  return {};
}

std::string find_mono_font_file() {
  for (const char* path : {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
                           "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
  }
  return {};
}

Bytes make_editor_fnt() {
  Typeface mono;
  const std::string path = find_mono_font_file();
  if (path.empty() || !mono.open(path)) return {};
  mono.set_pixel_size(13);  // 8 pixels a character, the editor's column width
  return make_fnt(mono);
}

Bytes make_fnt(const Typeface& face) {
  Bytes b;
  put_text(b, "KFNT");
  put_u16(b, 1);
  put_u16(b, kFntFirst);
  put_u16(b, kFntCount);
  put_u16(b, static_cast<uint32_t>(face.line_height()));
  put_u16(b, static_cast<uint32_t>(face.ascent()));
  put_u16(b, 0);
  Bytes bitmaps;
  std::vector<uint8_t> cell;
  // A character the font lacks is drawn as the question mark.
  std::vector<uint8_t> fallback;
  const int32_t fallback_w = face.glyph_cell('?', fallback);
  for (int32_t i = 0; i < kFntCount; ++i) {
    int32_t w = face.glyph_cell(static_cast<uint8_t>(kFntFirst + i), cell);
    if (w == 0) {
      w = fallback_w;
      cell = fallback;
    }
    put_u16(b, static_cast<uint32_t>(w));
    put_u16(b, 0);
    put_u32(b, static_cast<uint32_t>(bitmaps.size()));
    bitmaps.insert(bitmaps.end(), cell.begin(), cell.end());
  }
  b.insert(b.end(), bitmaps.begin(), bitmaps.end());
  return b;
}

bool fnt_parse(const Bytes& file, FntInfo& info) {
  if (file.size() < kFntHeader || file[0] != 'K' || file[1] != 'F' || file[2] != 'N' || file[3] != 'T') return false;
  if (get_u16(file, 4) != 1) return false;
  FntInfo f;
  f.first = static_cast<int32_t>(get_u16(file, 6));
  f.count = static_cast<int32_t>(get_u16(file, 8));
  f.height = static_cast<int32_t>(get_u16(file, 10));
  f.ascent = static_cast<int32_t>(get_u16(file, 12));
  const size_t table_end = kFntHeader + size_t(f.count) * 8;
  if (file.size() < table_end || f.height == 0 || f.ascent > f.height) return false;
  for (int32_t i = 0; i < f.count; ++i) {
    const size_t at = kFntHeader + size_t(i) * 8;
    const int32_t w = static_cast<int32_t>(get_u16(file, at));
    const size_t offset = get_u32(file, at + 4);
    if (table_end + offset + size_t(w) * f.height > file.size()) return false;
    f.advance.push_back(w);
  }
  info = std::move(f);
  return true;
}

}  // namespace korva::mkdata
