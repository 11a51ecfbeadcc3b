// Visual files (.v3d): part lines, their models, and the meshes built from them.
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/files.h"
#include "core/fixed_string.h"
#include "platform/platform.h"
#include "render/render.h"

namespace korva::render {

namespace {

// Field n (from 1) of a "|" separated line; empty when missing.
std::string_view field(std::string_view line, int32_t n) { return field_view(line, n, '|'); }

int32_t number(std::string_view line, int32_t n) { return str_to_int(field(line, n)); }

}  // namespace

bool parse_part(std::string_view line, VisualPart& out) {
  if (line.find('|') == std::string_view::npos) return false;
  out = {};
  out.visual = number(line, 1);
  out.image = field(line, 2);
  out.model = field(line, 3);
  out.texture_mode = number(line, 4);
  out.quality = number(line, 5);
  out.material = number(line, 6);
  out.mirrored = number(line, 7);
  out.flip = number(line, 8);
  out.transparency = number(line, 9);
  out.flat_scene = number(line, 10);
  for (int32_t i = 0; i < 10; ++i) out.wrap[size_t(i)] = number(line, 11 + i);
  out.translucency = number(line, 21);
  for (int32_t i = 0; i < 4; ++i) out.color[size_t(i)] = number(line, 25 + i);
  out.uv_option = number(line, 29);
  out.model2 = field(line, 30);
  out.morph = number(line, 31);
  for (int32_t i = 0; i < kViews - 1; ++i) out.views[size_t(i)] = field(line, kFirstViewField + i);
  return true;
}

const std::string& view_image(const VisualPart& p, View v) {
  const auto i = static_cast<int32_t>(v);
  if (i < 1 || i >= kViews || p.views[size_t(i - 1)].empty()) return p.image;
  return p.views[size_t(i - 1)];
}

View view_facing(rm::vec3 n) {
  const rm::vec3 a = glm::abs(n);
  if (a.x >= a.y && a.x >= a.z) return n.x >= 0.0f ? View::Right : View::Left;
  if (a.y >= a.z) return n.y >= 0.0f ? View::Top : View::Bottom;
  return n.z >= 0.0f ? View::Back : View::Front;
}

rm::Wrap wrap_from_part(const VisualPart& p) {
  rm::Wrap w;
  const int32_t kind = p.wrap[0];
  w.kind = kind >= 0 && kind <= 3 ? static_cast<rm::WrapKind>(kind) : rm::WrapKind::Flat;
  const float su = p.wrap[1] ? float(p.wrap[1]) / 1000.0f : 1.0f;
  const float sv = p.wrap[2] ? float(p.wrap[2]) / 1000.0f : su;
  w.scale = rm::vec2(su, sv);
  w.offset = rm::vec2(float(p.wrap[3]) / 1000.0f, float(p.wrap[4]) / 1000.0f);
  switch (p.wrap[5]) {  // the axis the wrap looks along (cylinders and spheres turn about up)
    case 1: w.direction = rm::vec3(1, 0, 0); w.up = rm::vec3(0, 1, 0); break;
    case 2: w.direction = rm::vec3(0, 1, 0); w.up = rm::vec3(0, 0, 1); break;
    default: w.direction = rm::vec3(0, 0, 1); w.up = rm::vec3(0, 1, 0); break;
  }
  w.origin = rm::vec3(float(p.wrap[6]), float(p.wrap[7]), float(p.wrap[8])) / 1000.0f;
  return w;
}

VisualFile parse_visual(std::string_view text) {
  VisualFile f;
  size_t start = 0;
  while (start < text.size() && f.parts.size() < size_t(kMaxParts)) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = nl + 1;
    VisualPartData d;
    if (parse_part(line, d.part)) f.parts.push_back(std::move(d));
  }
  return f;
}

std::shared_ptr<VisualFile> read_visual_file(std::string_view path, std::string_view default_path) {
  constexpr int64_t kMaxVisualBytes = 4 << 20;
  std::vector<uint8_t> bytes;
  std::string used(path);
  // A visual's own text is never scrambled (a stand-alone game keeps it plain under a hashed
  // name); the files its parts name are read through read_whole_file.
  if (!read_whole_file_raw(path, bytes, kMaxVisualBytes)) {
    used = default_path;
    if (!read_whole_file_raw(default_path, bytes, kMaxVisualBytes)) bytes.clear();
  }
  auto f = std::make_shared<VisualFile>(
      parse_visual(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
  f->path = used;
  // Parts often name the same model (the second list is usually the first): read each once.
  std::unordered_map<std::string, TriangleList> models;
  auto model = [&](const std::string& name) -> const TriangleList& {
    auto it = models.find(name);
    if (it == models.end()) {
      it = models.emplace(name, TriangleList()).first;
      read_triangles(name, it->second);
    }
    return it->second;
  };
  for (auto& d : f->parts) {
    d.triangles = model(d.part.model);
    if (!d.part.model2.empty()) d.triangles2 = model(d.part.model2);
    if (d.part.mirrored == 1) {
      mirror_triangles(d.triangles);
      mirror_triangles(d.triangles2);
    }
  }
  return f;
}

const VisualPartData* visual_part(const VisualFile& f, int32_t number, int32_t index) {
  int32_t seen = 0;
  for (const auto& d : f.parts)
    if (d.part.visual == number && seen++ == index) return &d;
  return nullptr;
}

std::shared_ptr<VisualFile> visual_cache_get(VisualCache& cache, std::string_view path) {
  const std::string key(path);
  auto it = cache.files.find(key);
  if (it != cache.files.end()) return it->second;
  auto f = read_visual_file(path);
  cache.files.emplace(key, f);
  return f;
}

rm::TexturePtr texture_load(TextureCache& cache, std::string_view path, Keying keying) {
  const std::string key(path);
  if (keying == Keying::Black) {
    // A copy of its own, so that parts showing the same image without transparency keep it whole.
    auto it = cache.keyed.find(key);
    if (it != cache.keyed.end()) return it->second;
    rm::TexturePtr t;
    if (const rm::TexturePtr plain = texture_load(cache, path)) {
      t = std::make_shared<rm::Texture>(*plain);
      rm::texture_set_transparency(*t, true, 0x000000);
    }
    cache.keyed.emplace(key, t);
    return t;
  }
  auto it = cache.textures.find(key);
  if (it != cache.textures.end()) return it->second;
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  rm::TexturePtr t;
  // Read as bytes first, so that the stand-alone player's scrambled textures read back.
  constexpr int64_t kMaxTextureFileBytes = 64 << 20;
  std::vector<uint8_t> bytes;
  if (read_whole_file(path, bytes, kMaxTextureFileBytes) &&
      platform::image_decode_rgb(bytes.data(), int64_t(bytes.size()), rgb, w, h))
    t = rm::texture_create_rgb(rgb.data(), w, h);
  cache.textures.emplace(key, t);
  return t;
}

namespace {

// Smooth normals across faces that meet at the same position (each face has its own corners).
void smooth_normals(rm::Mesh& m) {
  struct Key {
    float x, y, z;
    bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
  };
  struct Hash {
    size_t operator()(const Key& k) const {
      return std::hash<float>()(k.x) * 73856093u ^ std::hash<float>()(k.y) * 19349663u ^
             std::hash<float>()(k.z) * 83492791u;
    }
  };
  std::unordered_map<Key, rm::vec3, Hash> sums;
  for (const auto& f : m.faces) {
    const rm::vec3 n = rm::face_normal(m, f);
    for (int32_t i : f.corners) {
      const rm::vec3& v = m.vertices[size_t(i)];
      sums[Key{v.x, v.y, v.z}] += n;
    }
  }
  m.normals.resize(m.vertices.size());
  for (size_t i = 0; i < m.vertices.size(); ++i) {
    const rm::vec3 s = sums[Key{m.vertices[i].x, m.vertices[i].y, m.vertices[i].z}];
    const float len = glm::length(s);
    m.normals[i] = len > 0.0f && std::isfinite(len) ? s / len : rm::vec3(0, 1, 0);
  }
  ++m.version;
}

// Texture coordinates of a corner projected onto the side of the box (lo, size) that view v
// looks at, the image upright and unmirrored as the view sees it (v grows downwards).
rm::vec2 view_uv(View v, rm::vec3 corner, rm::vec3 lo, rm::vec3 size) {
  const rm::vec3 t = (corner - lo) / size;  // 0..1 across the box
  switch (v) {
    case View::Front: return {t.x, 1.0f - t.y};
    case View::Back: return {1.0f - t.x, 1.0f - t.y};
    case View::Right: return {t.z, 1.0f - t.y};
    case View::Left: return {1.0f - t.z, 1.0f - t.y};
    case View::Top: return {t.x, 1.0f - t.z};
    case View::Bottom: return {t.x, t.z};
  }
  return {0.0f, 0.0f};
}

}  // namespace

rm::MeshPtr build_part_mesh(const VisualPartData& d, TextureCache& textures) {
  const VisualPart& p = d.part;
  rm::MeshPtr m = rm::mesh_create();
  const auto n = static_cast<int32_t>(d.triangles.size());
  rm::mesh_reserve(*m, n * 3, n);
  // Texture mode 1 shows six views; the other textured modes show field 2 on every face. A view
  // whose image cannot be read leaves its faces in the plain colour.
  const bool six_views = p.texture_mode == 1;
  std::array<rm::TexturePtr, kViews> view_textures;
  bool textured = false;
  if (p.texture_mode != 0) {
    const Keying keying = p.transparency == 1 ? Keying::Black : Keying::None;
    for (int32_t v = 0; v < (six_views ? kViews : 1); ++v) {
      rm::TexturePtr& t = view_textures[size_t(v)];
      t = texture_load(textures, six_views ? view_image(p, View(v)) : p.image, keying);
      if (t) t->shades = 32;
      textured = textured || t;
    }
  }
  const float alpha = p.translucency == 1 ? kTranslucentAlpha : 1.0f;
  const rm::vec4 plain(float(p.color[0]) / 256.0f, float(p.color[1]) / 256.0f, float(p.color[2]) / 256.0f, alpha);
  const rm::vec4 lit(1.0f, 1.0f, 1.0f, alpha);

  // A part morphed towards its second model: every corner moves that share of the way to the
  // same corner of the second list, which must have as many triangles.
  TriangleList corners = d.triangles;
  if (p.morph > 0 && d.triangles2.size() == d.triangles.size()) {
    const float share = float(std::min(p.morph, 100)) / 100.0f;
    for (size_t i = 0; i < corners.size(); ++i)
      for (size_t k = 0; k < corners[i].size(); ++k) corners[i][k] += (d.triangles2[i][k] - corners[i][k]) * share;
  }
  // The box that per-face coordinates project onto.
  rm::vec3 lo(0.0f), hi(0.0f);
  bool any = false;
  for (const Triangle& t : corners)
    for (size_t k = 0; k < t.size(); k += 3) {
      const rm::vec3 c(t[k], t[k + 1], t[k + 2]);
      if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) continue;
      lo = any ? glm::min(lo, c) : c;
      hi = any ? glm::max(hi, c) : c;
      any = true;
    }
  rm::vec3 size = hi - lo;
  for (int32_t k = 0; k < 3; ++k)
    if (!(size[k] > 1e-6f)) size[k] = 1.0f;

  for (const Triangle& t : corners) {
    rm::vec3 a(t[0], t[1], t[2]), b(t[3], t[4], t[5]), c(t[6], t[7], t[8]);
    if (p.flip == 1) std::swap(b, c);
    const int32_t face = rm::mesh_add_triangle(*m, a, b, c, plain);
    rm::Face& f = m->faces[size_t(face)];
    if (!textured) continue;
    const View view = view_facing(rm::face_normal(*m, f));
    f.texture = view_textures[six_views ? size_t(view) : 0];
    if (!f.texture) continue;
    f.color = lit;
    if (p.uv_option == 1)
      for (int32_t corner : f.corners) rm::mesh_set_uv(*m, corner, view_uv(view, m->vertices[size_t(corner)], lo, size));
  }
  if (textured && p.uv_option != 1) rm::mesh_apply_wrap(*m, wrap_from_part(p));
  m->quality = p.quality >= 0 && p.quality <= 3 ? static_cast<rm::Quality>(p.quality) : rm::Quality::Gouraud;
  if (m->quality == rm::Quality::Gouraud) smooth_normals(*m);
  m->power = p.material == 5 ? 5.0f : 0.0f;
  return m;
}

}  // namespace korva::render
