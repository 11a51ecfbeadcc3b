// The asset loaders of the overlay kinds: a .pcx image decoded by the PCX loader, then kept as
// a sprite run list, a run-length-encoded frame or a set of counter glyphs, with its palette in
// the display's 16-bit format, and described by a 64-byte asset record.
#include <algorithm>
#include <cstring>

#include "core/core.h"
#include "core/pcx.h"
#include "model/model.h"
#include "platform/platform.h"
#include "render/overlay.h"

namespace korva {
namespace {

void put_word(uint8_t* p, int32_t offset, uint32_t v) { std::memcpy(p + offset, &v, 4); }

void put_int(std::vector<uint8_t>& out, int32_t v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  out.insert(out.end(), b, b + 4);
}

// Decodes path into the Core's image buffer: width x height indices, then the 256-entry colour
// table in the 16-bit format asked for. A file that cannot be read gives one pixel of index 0.
const uint8_t* decode_pcx(System& s, std::string_view path, bool green6, int32_t& width,
                          int32_t& height) {
  const PcxColourFormat format{green6 ? 11 : 10, 5, 0};
  uint8_t* buffer = s.core->pool(Pool::ImageBuffer);
  PcxImage image;
  pcx_load(*s.core, path, buffer, pool_bytes(Pool::ImageBuffer), PcxMode::WithColourTable, format, image);
  width = image.width;
  height = image.height;
  if (width == 1 && height == 1) {
    // The failure picture: its colour table was not written, so make it black.
    std::memset(buffer + 1, 0, 512);
  }
  return buffer;
}

void copy_palette(OverlayImage& img, const uint8_t* table) {
  for (int32_t i = 0; i < 256; ++i)
    img.palette[i] = static_cast<uint16_t>(table[2 * i] | (table[2 * i + 1] << 8));
}

// Eight pixels at once: a sprite's transparent areas and a frame's flat ones are mostly wide,
// and skipping them a byte at a time made loading a large image slow.
uint64_t eight(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Index 0 is transparent: runs hold the other pixels of each row.
void encode_runs(OverlayImage& img, const uint8_t* pixels) {
  for (int32_t y = 0; y < img.height; ++y) {
    const uint8_t* row = pixels + int64_t(y) * img.width;
    int32_t x = 0;
    while (x < img.width) {
      if (x + 8 <= img.width && eight(row + x) == 0) {
        x += 8;
        continue;
      }
      if (row[x] == 0) {
        ++x;
        continue;
      }
      const auto* zero = static_cast<const uint8_t*>(std::memchr(row + x, 0, size_t(img.width - x)));
      const int32_t n = (zero ? static_cast<int32_t>(zero - row) : img.width) - x;
      put_int(img.data, x * 2);  // byte offset of the run in a 16-bit row
      put_int(img.data, n);
      put_int(img.data, x);
      put_int(img.data, y);
      img.data.insert(img.data.end(), row + x, row + x + n);
      x += n;
    }
  }
  put_int(img.data, kRunEnd);
  put_int(img.data, 0);
  put_int(img.data, 0);
  put_int(img.data, 0);
}

// PCX-style: a byte below 192 is one pixel; 192 + n is a run of n copies of the next byte.
void encode_rle(OverlayImage& img, const uint8_t* pixels) {
  for (int32_t y = 0; y < img.height; ++y) {
    const uint8_t* row = pixels + int64_t(y) * img.width;
    int32_t x = 0;
    while (x < img.width) {
      const int32_t most = std::min(63, img.width - x);
      const uint64_t same = 0x0101010101010101ull * row[x];
      int32_t n = 1;
      while (n + 8 <= most && eight(row + x + n) == same) n += 8;
      while (n < most && row[x + n] == row[x]) ++n;
      if (n == 1 && row[x] < 192) {
        img.data.push_back(row[x]);
      } else {
        img.data.push_back(static_cast<uint8_t>(192 + n));
        img.data.push_back(row[x]);
      }
      x += n;
    }
  }
}

// The 13 glyphs side by side in one row of the image, each width / 13 pixels wide.
void cut_glyphs(OverlayImage& img, const uint8_t* pixels, int32_t image_width) {
  img.width = image_width / kCounterGlyphs;
  img.data.resize(size_t(kCounterGlyphs) * img.width * img.height);
  if (img.data.empty()) return;  // narrower than 13 pixels (a missing image too): no glyphs
  for (int32_t k = 0; k < kCounterGlyphs; ++k)
    for (int32_t y = 0; y < img.height; ++y)
      std::memcpy(img.data.data() + (size_t(k) * img.height + y) * img.width,
                  pixels + int64_t(y) * image_width + int64_t(k) * img.width,
                  static_cast<size_t>(img.width));
}

int32_t load_image(System& s, int32_t slot, std::string_view path, ImageKind kind, uint32_t tag) {
  uint8_t* record = asset_record(s, slot);
  if (!record || !s.overlays) return 0;
  Overlays& o = *s.overlays;
  int32_t width = 0, height = 0;
  const uint8_t* pixels = decode_pcx(s, path, o.green6, width, height);
  OverlayImage img;
  img.kind = kind;
  img.width = width;
  img.height = height;
  copy_palette(img, pixels + int64_t(width) * height);
  switch (kind) {
    case ImageKind::Sprite:
      encode_runs(img, pixels);
      break;
    case ImageKind::Frame:
      encode_rle(img, pixels);
      break;
    case ImageKind::Counter:
      cut_glyphs(img, pixels, width);
      break;
  }
  std::memset(record, 0, asset::kRecordBytes);
  put_word(record, asset::kTag, tag);
  put_word(record, asset::kImage, static_cast<uint32_t>(o.images.size()));
  put_word(record, asset::kKind, asset::kOverlayMark | static_cast<uint32_t>(kind));
  put_word(record, asset::kWidth, static_cast<uint32_t>(img.width));
  put_word(record, asset::kHeight, static_cast<uint32_t>(img.height));
  o.images.push_back(std::move(img));
  return 1;
}

}  // namespace

std::unique_ptr<Overlays> overlays_create() { return std::make_unique<Overlays>(); }

uint8_t* asset_record(const System& s, int32_t slot) {
  if (!s.core || slot < 0 || slot >= asset::kSlots) return nullptr;
  return s.core->pool(Pool::Assets) + int64_t(slot) * asset::kRecordBytes;
}

uint8_t* current_asset(const System& s, const uint8_t* record) {
  return asset_record(s, ir_get(record, ir::kCurrentAspect));
}

void overlays_reset(System& s) {
  if (!s.overlays) return;
  Overlays& o = *s.overlays;
  o.images.clear();
  o.selected = -1;
  o.blink = 0;
  o.text.clear();
  const platform::Screen* screen = s.core ? s.core->frame.screen : nullptr;
  o.green6 = !(screen && screen->back.format == platform::PixelFormat::Rgb555);
}

int32_t sprite_load(System& s, int32_t slot, std::string_view path) {
  return load_image(s, slot, path, ImageKind::Sprite, kTagSprite);
}

int32_t frame_load(System& s, int32_t slot, std::string_view path) {
  return load_image(s, slot, path, ImageKind::Frame, kTagFrame);
}

int32_t counter_load(System& s, int32_t slot, std::string_view path) {
  return load_image(s, slot, path, ImageKind::Counter, kTagCounter);
}

std::string further_aspect_path(std::string_view path, int32_t n) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  std::string out(path);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    out.resize(dot + 1);
  else
    out += '.';
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03d", n % 1000);
  return out + digits;
}

int32_t sprite_aspects_load(System& s, int32_t first_slot, std::string_view path) {
  if (sprite_load(s, first_slot, path) == 0) return 0;
  int32_t count = 1;
  // Three digits name at most 998 further aspects.
  for (int32_t n = 2; n <= 999; ++n) {
    const std::string next = further_aspect_path(path, n);
    if (file_exists(*s.core, next) == 0) break;
    if (sprite_load(s, first_slot + count, next) == 0) break;
    ++count;
  }
  return count;
}

void overlay_object_init(System& s, int32_t index) {
  if (!s.core || index < 0 || index >= kInstanceRecords) return;
  Core& c = *s.core;
  uint8_t* record = c.pool(Pool::Instances) + int64_t(index) * kInstanceRecordBytes;
  const platform::Screen* screen = c.frame.screen;
  const int32_t width = screen ? screen->back.width : 640;
  switch (element_type(c, index)) {
    case kTypeSprite: {
      const ScreenRect r = screen_rect(c, index, width);
      ir_set(record, ovr::kClipX1, r.x1);
      ir_set(record, ovr::kClipY1, r.y1);
      ir_set(record, ovr::kClipX2, r.x2);
      ir_set(record, ovr::kClipY2, r.y2);
      break;
    }
    case kTypeCounter: {
      const ScreenRect r = screen_rect(c, index, width);
      int32_t point = 0, sign = 0;
      screen_pair(c, index, point, sign);
      ir_set(record, ovr::kCounterX, r.x1);
      ir_set(record, ovr::kCounterY, r.y1);
      ir_set(record, ovr::kCounterLead, r.x2);
      ir_set(record, ovr::kCounterPoint, point);
      ir_set(record, ovr::kCounterSign, sign);
      break;
    }
    case kTypeFrame:
      ir_set(record, ovr::kDrawCount, ovr::kFrameDrawsAtStart);
      break;
    default:
      break;
  }
}

}  // namespace korva
