// The OpenGL device's frame buffer, texture uploads and the copy between the display surface
// and the frame buffer at the start and end of a 3D pass.
#include <algorithm>
#include <cstring>

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

// One surface pixel widened to 8 bits per channel (bit replication, so that reducing again by
// truncation gives the same pixel back).
static inline void widen(PixelFormat f, const uint8_t* p, uint8_t* out) {
  if (f == PixelFormat::Xrgb8888) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    out[0] = uint8_t(v >> 16);
    out[1] = uint8_t(v >> 8);
    out[2] = uint8_t(v);
    return;
  }
  uint16_t v;
  std::memcpy(&v, p, 2);
  uint32_t r, g, b;
  if (f == PixelFormat::Rgb565) {
    r = (v >> 11) & 31;
    g = (v >> 5) & 63;
    b = v & 31;
    out[1] = uint8_t(g << 2 | g >> 4);
  } else {
    r = (v >> 10) & 31;
    g = (v >> 5) & 31;
    b = v & 31;
    out[1] = uint8_t(g << 3 | g >> 2);
  }
  out[0] = uint8_t(r << 3 | r >> 2);
  out[2] = uint8_t(b << 3 | b >> 2);
}

// 4 x 4 ordered dither thresholds, 0..15.
static constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

static inline uint32_t reduce(uint32_t v, int bits, uint32_t threshold) {
  // Adds up to just under one step of the target precision before truncating.
  const uint32_t step = 256u >> bits;
  v += threshold * step / 16u;
  if (v > 255) v = 255;
  return v >> (8 - bits);
}

static inline void narrow(PixelFormat f, const uint8_t* rgb, uint8_t* p, uint32_t threshold) {
  if (f == PixelFormat::Xrgb8888) {
    const uint32_t v = uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
    std::memcpy(p, &v, 4);
    return;
  }
  uint16_t v;
  if (f == PixelFormat::Rgb565)
    v = uint16_t(reduce(rgb[0], 5, threshold) << 11 | reduce(rgb[1], 6, threshold) << 5 |
                 reduce(rgb[2], 5, threshold));
  else
    v = uint16_t(reduce(rgb[0], 5, threshold) << 10 | reduce(rgb[1], 5, threshold) << 5 |
                 reduce(rgb[2], 5, threshold));
  std::memcpy(p, &v, 2);
}

bool render_begin(Device& d, const platform::Surface& s) {
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
  const int32_t bpp = platform::bytes_per_pixel(s.format);
  d.uploaded.resize(size_t(s.width) * size_t(s.height) * 4);
  for (int32_t y = 0; y < s.height; ++y) {
    const uint8_t* src = s.pixels.data() + size_t(y) * size_t(s.pitch);
    uint8_t* dst = d.uploaded.data() + size_t(s.height - 1 - y) * size_t(s.width) * 4;
    for (int32_t x = 0; x < s.width; ++x, src += bpp, dst += 4) {
      widen(s.format, src, dst);
      dst[3] = 255;
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glBindTexture(GL_TEXTURE_2D, d.color);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s.width, s.height, GL_RGBA, GL_UNSIGNED_BYTE,
                  d.uploaded.data());
  glViewport(0, 0, s.width, s.height);
  glDisable(GL_SCISSOR_TEST);
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
  d.stats = {};
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
  d.readback.resize(d.uploaded.size());
  if (d.multisampled) {  // resolve the samples into the frame buffer
    glBindFramebuffer(GL_READ_FRAMEBUFFER, d.ms_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d.fbo);
    glBlitFramebuffer(0, 0, d.width, d.height, 0, 0, d.width, d.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    d.multisampled = false;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, d.width, d.height, GL_RGBA, GL_UNSIGNED_BYTE, d.readback.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  const int32_t bpp = platform::bytes_per_pixel(s.format);
  const bool dither = d.settings.dithering && s.format != PixelFormat::Xrgb8888;
  for (int32_t y = 0; y < s.height; ++y) {
    const size_t row = size_t(s.height - 1 - y) * size_t(s.width) * 4;
    const uint8_t* now = d.readback.data() + row;
    const uint8_t* before = d.uploaded.data() + row;
    uint8_t* dst = s.pixels.data() + size_t(y) * size_t(s.pitch);
    for (int32_t x = 0; x < s.width; ++x, now += 4, before += 4, dst += bpp) {
      if (now[0] == before[0] && now[1] == before[1] && now[2] == before[2]) continue;
      narrow(s.format, now, dst, dither ? kBayer[y & 3][x & 3] : 0);
    }
  }
  return true;
}

}  // namespace korva::gl
