// The OpenGL device's frame buffer, texture uploads and the copy between the display surface
// and the frame buffer at the start and end of a 3D pass. The copies cover only the pass area
// (the cameras' viewports), run one loop per pixel format, and an area of one colour is cleared
// to it instead of being converted and uploaded.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/gl/gl_local.h"

namespace korva::gl {

using platform::PixelFormat;

bool device_init(Device& d) {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version) return false;  // no current context
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  d.renderer = renderer ? renderer : "";
  d.ready = true;
  return true;
}

static void release_multisample(Device& d) {
  if (d.ms_fbo) glDeleteFramebuffers(1, &d.ms_fbo);
  if (d.ms_color) glDeleteRenderbuffers(1, &d.ms_color);
  if (d.ms_depth) glDeleteRenderbuffers(1, &d.ms_depth);
  d.ms_fbo = d.ms_color = d.ms_depth = 0;
  d.ms_width = d.ms_height = 0;
}

static void release_target(Device& d) {
  release_multisample(d);
  if (d.fbo) glDeleteFramebuffers(1, &d.fbo);
  if (d.color) glDeleteTextures(1, &d.color);
  if (d.depth) glDeleteRenderbuffers(1, &d.depth);
  d.fbo = d.color = d.depth = 0;
  d.width = d.height = 0;
}

void device_release(Device& d) {
  if (d.ready) {
    release_target(d);
    for (auto& [key, e] : d.textures) glDeleteTextures(1, &e.id);
    for (auto& [key, e] : d.meshes) glDeleteBuffers(1, &e.buffer);
  }
  d.textures.clear();
  d.meshes.clear();
  d.clipped.clear();
  d.ready = false;
  d.in_pass = false;
}

static bool uses_mipmaps(TextureQuality q) {
  return q == TextureQuality::MipNearest || q == TextureQuality::LinearMipNearest ||
         q == TextureQuality::MipLinear || q == TextureQuality::LinearMipLinear;
}

static void apply_filter(TextureQuality q, bool mipmaps) {
  GLint min = GL_NEAREST, mag = GL_NEAREST;
  switch (q) {
    case TextureQuality::Nearest: break;
    case TextureQuality::MipNearest: min = GL_NEAREST_MIPMAP_NEAREST; break;
    case TextureQuality::LinearMipNearest: min = GL_LINEAR_MIPMAP_NEAREST; mag = GL_LINEAR; break;
    case TextureQuality::Linear: min = mag = GL_LINEAR; break;
    case TextureQuality::MipLinear: min = GL_NEAREST_MIPMAP_LINEAR; break;
    case TextureQuality::LinearMipLinear: min = GL_LINEAR_MIPMAP_LINEAR; mag = GL_LINEAR; break;
  }
  if (!mipmaps && min != GL_NEAREST && min != GL_LINEAR) min = mag;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag);
}

TextureQuality device_set_texture_quality(Device& d, int32_t quality) {
  // GL offers every filter of the list; anything outside it falls back to nearest.
  const TextureQuality q = quality >= 0 && quality <= 5 ? static_cast<TextureQuality>(quality)
                                                        : TextureQuality::Nearest;
  d.settings.texture_quality = q;
  for (auto& [key, e] : d.textures) e.version = 0;  // filters and mipmaps are set on upload
  return q;
}

uint32_t texture_bind(Device& d, const rm::TexturePtr& t, bool& has_alpha) {
  has_alpha = false;
  if (!t || t->width <= 0 || t->height <= 0 ||
      t->rgba.size() < size_t(t->width) * size_t(t->height) * 4)
    return 0;
  auto& e = d.textures[t.get()];
  if (e.id && e.owner.lock() == t && e.version == t->version) {
    glBindTexture(GL_TEXTURE_2D, e.id);
    has_alpha = e.has_alpha;
    return e.id;
  }
  if (!e.id) glGenTextures(1, &e.id);
  e.owner = t;
  e.version = t->version;
  std::vector<uint8_t> pixels = t->rgba;
  e.has_alpha = false;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    if (t->transparent) {
      const uint32_t rgb = uint32_t(pixels[i]) << 16 | uint32_t(pixels[i + 1]) << 8 | pixels[i + 2];
      if (rgb == t->transparent_color) pixels[i + 3] = 0;
    }
    if (pixels[i + 3] != 255) e.has_alpha = true;
  }
  glBindTexture(GL_TEXTURE_2D, e.id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t->width, t->height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               pixels.data());
  e.mipmaps = uses_mipmaps(d.settings.texture_quality);
  if (e.mipmaps) glGenerateMipmap(GL_TEXTURE_2D);
  apply_filter(d.settings.texture_quality, e.mipmaps);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  has_alpha = e.has_alpha;
  return e.id;
}

// Four samples per pixel where the context offers them.
static bool make_multisample(Device& d) {
  if (d.ms_fbo && d.ms_width == d.width && d.ms_height == d.height) return true;
  release_multisample(d);
  GLint max_samples = 0;
  glGetIntegerv(GL_MAX_SAMPLES, &max_samples);
  if (max_samples < 2) return false;
  const GLsizei samples = std::min<GLint>(max_samples, 4);
  glGenRenderbuffers(1, &d.ms_color);
  glBindRenderbuffer(GL_RENDERBUFFER, d.ms_color);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, d.width, d.height);
  glGenRenderbuffers(1, &d.ms_depth);
  glBindRenderbuffer(GL_RENDERBUFFER, d.ms_depth);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, d.width, d.height);
  glGenFramebuffers(1, &d.ms_fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, d.ms_fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, d.ms_color);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, d.ms_depth);
  const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (!ok) release_multisample(d);
  d.ms_width = d.width;
  d.ms_height = d.height;
  return ok;
}

// Copies the frame buffer's colour texture into the bound multisampled buffer: every sample of
// a pixel gets the pixel's exact value, so untouched pixels resolve to themselves.
static void copy_into_multisample(Device& d) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, d.color);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glDepthMask(GL_TRUE);
}

static bool make_target(Device& d, int32_t width, int32_t height) {
  if (d.fbo && d.width == width && d.height == height) return true;
  release_target(d);
  glGenTextures(1, &d.color);
  glBindTexture(GL_TEXTURE_2D, d.color);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glGenRenderbuffers(1, &d.depth);
  glBindRenderbuffer(GL_RENDERBUFFER, d.depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glGenFramebuffers(1, &d.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, d.color, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, d.depth);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    release_target(d);
    return false;
  }
  d.width = width;
  d.height = height;
  return true;
}

namespace {

// Bit replication widens a 5- or 6-bit channel so that truncating it again gives it back.
constexpr uint8_t widen5(uint32_t v) { return uint8_t(v << 3 | v >> 2); }
constexpr uint8_t widen6(uint32_t v) { return uint8_t(v << 2 | v >> 4); }

// The bits of a surface pixel that hold its colour (the rest is ignored when comparing).
template <PixelFormat F>
constexpr uint32_t kColourBits = F == PixelFormat::Xrgb8888 ? 0xFFFFFFu : F == PixelFormat::Rgb555 ? 0x7FFFu : 0xFFFFu;

template <PixelFormat F>
using PixelWord = std::conditional_t<F == PixelFormat::Xrgb8888, uint32_t, uint16_t>;

template <PixelFormat F>
inline uint32_t load_pixel(const uint8_t* p) {
  PixelWord<F> v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One surface pixel widened to 8 bits per channel: red in the lowest byte, then green, blue
// and an opaque alpha (GL_UNSIGNED_INT_8_8_8_8_REV order, whatever the host's byte order).
template <PixelFormat F>
constexpr uint32_t widen(uint32_t v) {
  uint32_t r, g, b;
  if constexpr (F == PixelFormat::Xrgb8888) {
    r = v >> 16 & 255, g = v >> 8 & 255, b = v & 255;
  } else if constexpr (F == PixelFormat::Rgb565) {
    r = widen5(v >> 11 & 31), g = widen6(v >> 5 & 63), b = widen5(v & 31);
  } else {
    r = widen5(v >> 10 & 31), g = widen5(v >> 5 & 31), b = widen5(v & 31);
  }
  return r | g << 8 | b << 16 | 0xFF000000u;
}

// Every 16-bit pixel value widened, for the surface's format.
void make_widen_table(Device& d, PixelFormat f) {
  if (d.widen_format == int32_t(f)) return;
  d.widen_table.resize(65536);
  for (uint32_t v = 0; v < 65536; ++v)
    d.widen_table[v] = f == PixelFormat::Rgb565 ? widen<PixelFormat::Rgb565>(v) : widen<PixelFormat::Rgb555>(v);
  d.widen_format = int32_t(f);
}

template <PixelFormat F>
inline uint32_t widen_pixel(const Device& d, const uint8_t* p) {
  if constexpr (F == PixelFormat::Xrgb8888)
    return widen<F>(load_pixel<F>(p));
  else
    return d.widen_table[load_pixel<F>(p)];
}

// The area is copied in and read back in strips of rows, so that the buffers stay small.
constexpr int32_t kStripRows = 32;

// Rows [y, y + n) of the surface's pass area as a strip of the frame buffer: frame buffer rows
// run bottom-up, so the strip starts with surface row y + n - 1.
struct Strip {
  int32_t y = 0, n = 0;
  int32_t gl_y(const platform::Surface& s) const { return s.height - y - n; }
  size_t index(int32_t row, int32_t width) const { return size_t(y + n - 1 - row) * size_t(width); }
};

template <typename Fn>
void for_each_strip(const PassRect& a, Fn fn) {
  for (int32_t y = a.y; y < a.y + a.height; y += kStripRows)
    fn(Strip{y, std::min(kStripRows, a.y + a.height - y)});
}

// True when every pixel inside the area has the colour of its first one, given in first.
template <PixelFormat F>
bool area_uniform(const platform::Surface& s, const PassRect& a, uint32_t& first) {
  constexpr size_t bpp = platform::bytes_per_pixel(F);
  const uint8_t* top = s.pixels.data() + size_t(a.y) * size_t(s.pitch) + size_t(a.x) * bpp;
  first = load_pixel<F>(top) & kColourBits<F>;
  for (int32_t y = 0; y < a.height; ++y) {
    const uint8_t* row = top + size_t(y) * size_t(s.pitch);
    uint32_t differs = 0;  // a whole row at a time: the loop stays branch-free
    for (int32_t x = 0; x < a.width; ++x) differs |= load_pixel<F>(row + size_t(x) * bpp) ^ first;
    if (differs & kColourBits<F>) return false;
  }
  return true;
}

// Makes the frame buffer inside the pass area hold the surface's picture: one clear when the
// area is a single colour (a camera fill, say), else the area widened and uploaded.
template <PixelFormat F>
void copy_in(Device& d, const platform::Surface& s) {
  constexpr size_t bpp = platform::bytes_per_pixel(F);
  const PassRect& a = d.area;
  uint32_t first = 0;
  d.under_uniform = area_uniform<F>(s, a, first);
  if (d.under_uniform) {
    d.under = widen<F>(first);
    glEnable(GL_SCISSOR_TEST);
    glScissor(a.x, s.height - a.y - a.height, a.width, a.height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(float(d.under & 255) / 255.0f, float(d.under >> 8 & 255) / 255.0f,
                 float(d.under >> 16 & 255) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  if constexpr (F != PixelFormat::Xrgb8888) make_widen_table(d, F);
  d.strip.resize(size_t(a.width) * kStripRows);
  glBindTexture(GL_TEXTURE_2D, d.color);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for_each_strip(a, [&](const Strip& st) {
    for (int32_t y = st.y; y < st.y + st.n; ++y) {
      const uint8_t* src = s.pixels.data() + size_t(y) * size_t(s.pitch) + size_t(a.x) * bpp;
      uint32_t* dst = d.strip.data() + st.index(y, a.width);
      for (int32_t x = 0; x < a.width; ++x, src += bpp) dst[x] = widen_pixel<F>(d, src);
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, a.x, st.gl_y(s), a.width, st.n, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV,
                    d.strip.data());
  });
  d.stats.converted = int64_t(a.width) * a.height;
}

// 4 x 4 ordered dither thresholds, 0..15.
constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Reduces an 8-bit channel to Bits after adding up to just under one step of that precision
// (threshold t of 0..15, in sixteenths of a step); plain truncation when t is 0.
template <int Bits>
constexpr uint32_t reduce(uint32_t v, uint32_t t) {
  v += t * (256u >> Bits) / 16u;
  return (v > 255 ? 255 : v) >> (8 - Bits);
}

// For each of the 16 dither positions, each channel's 256 values reduced and shifted into
// place in a 16-bit pixel: a pixel is then three look-ups or-ed together.
void make_narrow_table(Device& d, PixelFormat f, bool dither) {
  const int32_t key = int32_t(f) * 2 + (dither ? 1 : 0);
  if (d.narrow_key == key) return;
  d.narrow_table.resize(16 * 3 * 256);
  for (uint32_t p = 0; p < 16; ++p) {
    const uint32_t t = dither ? kBayer[p / 4][p % 4] : 0;
    uint16_t* r = d.narrow_table.data() + p * 768;
    for (uint32_t v = 0; v < 256; ++v) {
      if (f == PixelFormat::Rgb565) {
        r[v] = uint16_t(reduce<5>(v, t) << 11);
        r[256 + v] = uint16_t(reduce<6>(v, t) << 5);
      } else {
        r[v] = uint16_t(reduce<5>(v, t) << 10);
        r[256 + v] = uint16_t(reduce<5>(v, t) << 5);
      }
      r[512 + v] = uint16_t(reduce<5>(v, t));
    }
  }
  d.narrow_key = key;
}

// The pixels of the pass area that the 3D drawing changed go back into the surface, reduced to
// its format; the others keep their exact values. A pixel changed when it differs from what
// was copied in: the surface itself, widened again (nothing writes to it during a pass).
template <PixelFormat F, bool Uniform>
void copy_out(Device& d, platform::Surface& s, bool dither) {
  constexpr size_t bpp = platform::bytes_per_pixel(F);
  if constexpr (F != PixelFormat::Xrgb8888) {
    make_widen_table(d, F);
    make_narrow_table(d, F, dither);
  }
  const PassRect& a = d.area;
  d.strip.resize(size_t(a.width) * kStripRows);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for_each_strip(a, [&](const Strip& st) {
    glReadPixels(a.x, st.gl_y(s), a.width, st.n, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, d.strip.data());
    for (int32_t y = st.y; y < st.y + st.n; ++y) {
      const uint32_t* now = d.strip.data() + st.index(y, a.width);
      uint8_t* dst = s.pixels.data() + size_t(y) * size_t(s.pitch) + size_t(a.x) * bpp;
      const uint16_t* phases = nullptr;
      if constexpr (F != PixelFormat::Xrgb8888) phases = d.narrow_table.data() + size_t(y & 3) * 4 * 768;
      for (int32_t i = 0; i < a.width; ++i, dst += bpp) {
        const uint32_t n = now[i] & 0xFFFFFFu;
        if (n == ((Uniform ? d.under : widen_pixel<F>(d, dst)) & 0xFFFFFFu)) continue;
        if constexpr (F == PixelFormat::Xrgb8888) {
          const uint32_t v = (n & 0xFFu) << 16 | (n & 0xFF00u) | (n >> 16 & 0xFFu);
          std::memcpy(dst, &v, 4);
        } else {
          const uint16_t* t = phases + size_t((a.x + i) & 3) * 768;
          const auto v = uint16_t(t[n & 0xFFu] | t[256 + (n >> 8 & 0xFFu)] | t[512 + (n >> 16)]);
          std::memcpy(dst, &v, 2);
        }
      }
    }
  });
}

}  // namespace

bool render_begin(Device& d, const platform::Surface& s, PassRect area) {
  d.in_pass = false;
  if (!d.ready || s.lost || s.width <= 0 || s.height <= 0 ||
      s.pixels.size() < size_t(s.pitch) * size_t(s.height))
    return false;
  // Textures whose owners are gone are released here, between passes.
  for (auto it = d.textures.begin(); it != d.textures.end();) {
    if (it->second.owner.expired()) {
      glDeleteTextures(1, &it->second.id);
      it = d.textures.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = d.meshes.begin(); it != d.meshes.end();) {
    if (it->second.owner.expired()) {
      glDeleteBuffers(1, &it->second.buffer);
      it = d.meshes.erase(it);
    } else {
      ++it;
    }
  }
  std::erase_if(d.clipped, [](const auto& e) { return e.second.owner.expired(); });
  if (!make_target(d, s.width, s.height)) return false;
  // The area the pass may draw in, clipped to the surface; empty means the whole surface.
  if (area.width <= 0 || area.height <= 0) area = {0, 0, s.width, s.height};
  const int32_t x1 = std::max(area.x, 0), y1 = std::max(area.y, 0);
  const int32_t x2 = std::min(area.x + area.width, s.width), y2 = std::min(area.y + area.height, s.height);
  d.area = x2 > x1 && y2 > y1 ? PassRect{x1, y1, x2 - x1, y2 - y1} : PassRect{};
  d.stats = {};
  glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glViewport(0, 0, s.width, s.height);
  glDisable(GL_SCISSOR_TEST);
  d.under_uniform = false;
  if (d.area.width > 0) {
    switch (s.format) {
      case PixelFormat::Rgb565: copy_in<PixelFormat::Rgb565>(d, s); break;
      case PixelFormat::Rgb555: copy_in<PixelFormat::Rgb555>(d, s); break;
      case PixelFormat::Xrgb8888: copy_in<PixelFormat::Xrgb8888>(d, s); break;
    }
  }
  d.multisampled = d.settings.antialias && make_multisample(d);
  if (d.multisampled) {
    glBindFramebuffer(GL_FRAMEBUFFER, d.ms_fbo);
    copy_into_multisample(d);
    glEnable(GL_MULTISAMPLE);
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
    glDisable(GL_MULTISAMPLE);
  }
  glDepthMask(GL_TRUE);
  glClearDepth(1.0);
  glClear(GL_DEPTH_BUFFER_BIT);
  d.in_pass = true;
  return true;
}

void viewport_clear_depth(Device& d, const rm::Viewport& v) {
  if (!d.in_pass) return;
  glEnable(GL_SCISSOR_TEST);
  glScissor(v.x, d.height - v.y - v.height, v.width, v.height);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

bool render_end(Device& d, platform::Surface& s) {
  if (!d.in_pass) return false;
  d.in_pass = false;
  if (s.lost || s.width != d.width || s.height != d.height ||
      s.pixels.size() < size_t(s.pitch) * size_t(s.height))
    return false;
  if (d.multisampled) {  // resolve the samples into the frame buffer
    glBindFramebuffer(GL_READ_FRAMEBUFFER, d.ms_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d.fbo);
    glBlitFramebuffer(0, 0, d.width, d.height, 0, 0, d.width, d.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    d.multisampled = false;
  }
  // Only the pass area is read: the 3D drawing stays inside it.
  glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  const bool dither = d.settings.dithering;
  if (d.area.width > 0) {
    switch (s.format) {
      case PixelFormat::Rgb565:
        d.under_uniform ? copy_out<PixelFormat::Rgb565, true>(d, s, dither)
                        : copy_out<PixelFormat::Rgb565, false>(d, s, dither);
        break;
      case PixelFormat::Rgb555:
        d.under_uniform ? copy_out<PixelFormat::Rgb555, true>(d, s, dither)
                        : copy_out<PixelFormat::Rgb555, false>(d, s, dither);
        break;
      case PixelFormat::Xrgb8888:
        d.under_uniform ? copy_out<PixelFormat::Xrgb8888, true>(d, s, dither)
                        : copy_out<PixelFormat::Xrgb8888, false>(d, s, dither);
        break;
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return true;
}

}  // namespace korva::gl
