// The OpenGL device: renders viewports of an rm scene into a display surface. A pass starts by
// copying the surface's pass area into an offscreen framebuffer (so 2D drawn before lies
// underneath; an area of one colour is just cleared to it), renders any number of viewports
// inside that area, and copies back only the pixels the 3D drawing changed (so 2D drawn after
// lies on top, and untouched pixels keep their exact values in 16-bit formats).
// An OpenGL context (compatibility profile) must be current: see devices_make_current.
#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/rm/rm.h"

namespace korva::gl {

// Texture filtering, in the order of the engine's texture-quality setting.
enum class TextureQuality : int32_t {
  Nearest,
  MipNearest,
  LinearMipNearest,
  Linear,
  MipLinear,
  LinearMipLinear,
};

struct Settings {
  TextureQuality texture_quality = TextureQuality::Nearest;
  bool dithering = true;                // ordered dither when reducing to 16-bit pixels
  bool blended_transparency = true;     // textures with transparent texels are blended
  bool sorted_transparency = true;      // transparent meshes are drawn last, back to front
  bool view_dependent_specular = false; // specular from the true eye position (local viewer)
  bool antialias = false;               // edges smoothed by multisampling (4 samples)
};

struct TextureEntry {
  std::weak_ptr<rm::Texture> owner;  // detects a texture freed and its address reused
  uint32_t id = 0;
  uint32_t version = 0;
  bool mipmaps = false;
  bool has_alpha = false;
};

// A run of an expanded mesh's corners that share one texture.
struct MeshRun {
  rm::TexturePtr owner;
  const rm::Texture* texture = nullptr;
  int32_t first = 0;
  int32_t count = 0;
};

// A mesh expanded into a vertex buffer, kept while the mesh is unchanged.
struct MeshEntry {
  std::weak_ptr<rm::Mesh> owner;
  uint32_t version = 0;
  uint32_t buffer = 0;
  int32_t corners = 0;
  std::vector<MeshRun> runs;
};

// A clipped mesh cut by its planes and expanded, kept while the mesh and the planes are
// unchanged (a shadow copy is cut once, not in every pass).
struct ClippedEntry {
  std::weak_ptr<rm::ClippedVisual> owner;
  const rm::Mesh* mesh = nullptr;
  uint32_t mesh_version = 0;
  uint32_t planes_version = 0;
  std::vector<float> positions, normals, uvs, colors;
  std::vector<MeshRun> runs;
};

struct Stats {
  int64_t triangles = 0;  // drawn in the current pass
  int32_t viewports = 0;
  int64_t converted = 0;  // surface pixels converted and uploaded at the start of the pass
};

// A rectangle of a surface in its pixels, from the top-left corner.
struct PassRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct Device {
  bool ready = false;
  Settings settings;
  uint32_t fbo = 0;
  uint32_t color = 0;  // colour texture of the framebuffer
  uint32_t depth = 0;  // depth renderbuffer
  int32_t width = 0;
  int32_t height = 0;
  // Anti-aliasing renders into a multisampled copy, resolved into the frame buffer at the end.
  uint32_t ms_fbo = 0;
  uint32_t ms_color = 0;
  uint32_t ms_depth = 0;
  int32_t ms_width = 0;
  int32_t ms_height = 0;
  bool multisampled = false;  // the current pass draws into the multisampled copy
  bool in_pass = false;
  PassRect area;  // the part of the surface the current pass copies in and back
  bool under_uniform = false;  // the area was one colour, under, and cleared to it
  uint32_t under = 0;          // that colour widened: red lowest, then green, blue, alpha
  std::vector<uint32_t> strip;  // rows of the area on their way in or out
  // Conversion tables: every 16-bit pixel widened (for widen_format), and each channel reduced
  // at each dither position (for narrow_key: the format times two, plus one when dithering).
  std::vector<uint32_t> widen_table;
  int32_t widen_format = -1;
  std::vector<uint16_t> narrow_table;
  int32_t narrow_key = -1;
  std::unordered_map<const rm::Texture*, TextureEntry> textures;
  std::unordered_map<const rm::Mesh*, MeshEntry> meshes;
  std::unordered_map<const rm::ClippedVisual*, ClippedEntry> clipped;
  // Scratch arrays for expanding meshes into vertex arrays.
  std::vector<float> positions, normals, uvs, colors;
  Stats stats;
  std::string renderer;
};

// Needs a current GL context; false when the context lacks framebuffer objects.
bool device_init(Device& d);
void device_release(Device& d);
// Sets the texture filtering; returns the quality now in effect (Nearest when refused).
TextureQuality device_set_texture_quality(Device& d, int32_t quality);

// Starts a 3D pass over a surface: its pixels inside area (the whole surface when area is empty)
// become the picture the 3D drawing lands on. Every viewport of the pass must lie inside area:
// nothing outside it is copied in or back.
bool render_begin(Device& d, const platform::Surface& s, PassRect area = {});
// Clears the depth values inside the viewport's rectangle.
void viewport_clear_depth(Device& d, const rm::Viewport& v);
// Renders the scene below root through the viewport, with the root's fog and sort mode.
void viewport_render(Device& d, const rm::Viewport& v, const rm::Frame& root);
// Ends the pass: the changed pixels go back into the surface in its pixel format. The surface
// must not change between render_begin and render_end.
bool render_end(Device& d, platform::Surface& s);

}  // namespace korva::gl
