// Textures: RGBA copies of images with their decal and transparency settings.
#include <bit>

#include "platform/rm/rm.h"

namespace korva::rm {

static bool size_ok(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxTextureSide && height <= kMaxTextureSide;
}

TexturePtr texture_create_rgb(const uint8_t* rgb, int32_t width, int32_t height) {
  if (!rgb || !size_ok(width, height)) return nullptr;
  auto t = std::make_shared<Texture>();
  t->width = width;
  t->height = height;
  const size_t n = size_t(width) * size_t(height);
  t->rgba.resize(n * 4);
  for (size_t i = 0; i < n; ++i) {
    t->rgba[i * 4 + 0] = rgb[i * 3 + 0];
    t->rgba[i * 4 + 1] = rgb[i * 3 + 1];
    t->rgba[i * 4 + 2] = rgb[i * 3 + 2];
    t->rgba[i * 4 + 3] = 255;
  }
  t->decal_origin_x = width / 2;
  t->decal_origin_y = height / 2;
  return t;
}

// Scales a masked channel to 0..255 whatever the mask's width.
static uint8_t channel(uint32_t texel, uint32_t mask) {
  if (!mask) return 255;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  const uint32_t v = (texel & mask) >> shift;
  return static_cast<uint8_t>(max ? (v * 255u + max / 2) / max : 0);
}

TexturePtr texture_create_32(const uint32_t* texels, int32_t width, int32_t height,
                             const ChannelMasks& masks) {
  if (!texels || !size_ok(width, height)) return nullptr;
  auto t = std::make_shared<Texture>();
  t->width = width;
  t->height = height;
  const size_t n = size_t(width) * size_t(height);
  t->rgba.resize(n * 4);
  for (size_t i = 0; i < n; ++i) {
    t->rgba[i * 4 + 0] = channel(texels[i], masks.red);
    t->rgba[i * 4 + 1] = channel(texels[i], masks.green);
    t->rgba[i * 4 + 2] = channel(texels[i], masks.blue);
    // Images authored without alpha leave the top byte 0; such a texture is opaque.
    t->rgba[i * 4 + 3] = 255;
  }
  t->decal_origin_x = width / 2;
  t->decal_origin_y = height / 2;
  return t;
}

void texture_set_decal_size(Texture& t, float width, float height) {
  t.decal_width = width;
  t.decal_height = height;
}

void texture_set_decal_origin(Texture& t, int32_t x, int32_t y) {
  t.decal_origin_x = x;
  t.decal_origin_y = y;
}

void texture_set_decal_scale(Texture& t, bool scale) { t.decal_scale = scale; }

void texture_set_transparency(Texture& t, bool on, uint32_t rgb) {
  t.transparent = on;
  t.transparent_color = rgb & 0xffffff;
  ++t.version;
}

}  // namespace korva::rm
