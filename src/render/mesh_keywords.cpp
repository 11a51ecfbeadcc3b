// The mesh, vertex and material keywords as brains call them: the part selections, vertex,
// normal and texture-coordinate access, block copies of whole vertex sets, mesh settings, the
// material override, key-row blending for morphs, and the polygon collision test between two
// selected parts.
#include "render/mesh_keywords.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "brain/brain.h"
#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "model/model.h"
#include "render/frame_keywords.h"
#include "runtime/memory_blocks.h"

namespace korva {
namespace meshes {
namespace {

constexpr double kUnit = 512000.0;   // position units per scene unit
constexpr double kUvUnit = 10000.0;  // texture coordinates cross in ten-thousandths
// Triangle pairs one h_poly_collision call may test: two meshes of a million faces each must
// not stall the frame loop. Past it the test ends with what it found so far.
constexpr int64_t kPairBudget = int64_t(1) << 22;

bool is_frame_handle(int32_t h) { return (h & frames::kFrameHandleBit) != 0; }

const render::SceneElement* scene_element(const System& s, int32_t e) {
  const int32_t index = element_index_of(e);
  if (!s.scene || index < 0 || (s.model && index > s.model->last_index) || !instance_at(s, e)) return nullptr;
  if (index >= static_cast<int32_t>(s.scene->elements.size())) return nullptr;
  return &s.scene->elements[size_t(index)];
}

// The frame a handle starts from: a frame handle's, a model element's model frame (where its
// parts hang, as x_element_get counts them), another element's scene frame.
rm::Frame* handle_frame(const System& s, int32_t h) {
  if (is_frame_handle(h)) return frames::frame_of(s, h);
  const render::SceneElement* se = scene_element(s, h);
  if (!se) return nullptr;
  if (se->kind == render::ElementKind::Model && se->model && se->model->frame) return se->model->frame.get();
  return se->frame.get();
}

int32_t saturate(double v) {
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(std::lround(v));
}

rm::vec3 position_of(int32_t x, int32_t y, int32_t z) {
  return rm::vec3(float(x / kUnit), float(y / kUnit), float(z / kUnit));
}

// The mesh of the shared part selection, remembered for normals.
rm::MeshPtr mesh_of(System& s, int32_t h, rm::Frame** frame = nullptr) {
  if (!s.scene) return nullptr;
  rm::MeshPtr m = selected_mesh(s, h, s.scene->mesh.part, frame);
  if (m) s.scene->mesh.last = m;
  return m;
}

bool vertex_index_ok(const rm::Mesh& m, int32_t i) {
  return i >= 0 && i < static_cast<int32_t>(m.vertices.size());
}

// The mesh's normals, one per vertex, generated when the mesh has none yet (the device would
// derive the same smooth normals for drawing).
std::vector<rm::vec3>& normals_of(rm::Mesh& m) {
  if (m.normals.size() != m.vertices.size()) rm::mesh_generate_normals(m);
  return m.normals;
}

// Writes or reads vectors as three integers each (× 512000 for positions, × 512000 for unit
// normals too) at integer index start of block b; nothing when the block is too small.
void vectors_to_block(System& s, const std::vector<rm::vec3>& v, int32_t b, int32_t start) {
  uint8_t* p = block_range(s, b, 4 * int64_t(start), 12 * int64_t(v.size()));
  if (!p || start < 0) return;
  for (const rm::vec3& x : v) {
    const int32_t w[3] = {saturate(x.x * kUnit), saturate(x.y * kUnit), saturate(x.z * kUnit)};
    std::memcpy(p, w, sizeof w);
    p += sizeof w;
  }
}

bool vectors_from_block(System& s, std::vector<rm::vec3>& v, int32_t b, int32_t start) {
  const uint8_t* p = block_range(s, b, 4 * int64_t(start), 12 * int64_t(v.size()));
  if (!p || start < 0) return false;
  for (rm::vec3& x : v) {
    int32_t w[3];
    std::memcpy(w, p, sizeof w);
    p += sizeof w;
    x = position_of(w[0], w[1], w[2]);
  }
  return true;
}

// The transform from f's coordinates into ancestor's; false when ancestor is not above f.
bool relative_to(const rm::Frame& f, const rm::Frame* ancestor, rm::mat4& out) {
  rm::mat4 m(1.0f);
  const rm::Frame* p = &f;
  for (; p && p != ancestor; p = p->parent) m = rm::frame_local(*p) * m;
  out = m;
  return p == ancestor;
}

// An element's frame as the synchronisation will place it, from its instance record now.
rm::mat4 element_matrix(const System& s, const uint8_t* r, render::ElementKind kind) {
  render::ElementState e;
  const int32_t flags = word(r, ir::kFlags);
  e.rotation = {word(r, ir::kRotX), word(r, ir::kRotY), word(r, ir::kRotZ)};
  e.scale = {word(r, ir::kScaleX), word(r, ir::kScaleY), word(r, ir::kScaleZ)};
  e.extra_rotation = (flags & ir::kFlagExtraRotation) != 0;
  e.extra = {word(r, ir::kExtraRotX), word(r, ir::kExtraRotY), word(r, ir::kExtraRotZ)};
  const bool scalable = kind == render::ElementKind::Visual || kind == render::ElementKind::Model;
  const bool unscaled = e.scale[0] == 1000 && e.scale[1] == 1000 && e.scale[2] == 1000;
  rm::mat4 m(1.0f);
  if (scalable && !unscaled) {
    rm::mat3 b = glm::mat3_cast(render::element_rotation(e));
    for (int k = 0; k < 3; ++k) b[k] *= float(e.scale[size_t(k)]) / 1000.0f;
    m = rm::mat4(b);
  } else if (s.core) {
    rm::vec3 z, up;
    render::element_orientation(*s.core, e, z, up);
    if (glm::length(z) > 0.0f) {
      z = glm::normalize(z);
      rm::vec3 x = glm::cross(up, z);
      if (glm::length(x) > 1e-9f) {
        x = glm::normalize(x);
        m = rm::mat4(rm::mat3(x, glm::cross(z, x), z));
      }
    }
  }
  m[3] = rm::vec4(position_of(word(r, ir::kPosX), word(r, ir::kPosY), word(r, ir::kPosZ)), 1.0f);
  return m;
}

void part_set(render::PartSelection& p, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v) {
  p.child = {c1, c2, c3, c4};
  p.visual = v;
}

// ---- polygon collision ----

struct Triangle {
  rm::vec3 a, b, c;
  rm::vec3 lo, hi;
};

std::vector<Triangle> world_triangles(const rm::Mesh& m, const rm::mat4& w) {
  std::vector<Triangle> out;
  const auto n = static_cast<int32_t>(m.vertices.size());
  out.reserve(m.faces.size());
  for (const rm::Face& f : m.faces) {
    const auto& c = f.corners;
    if (c[0] < 0 || c[1] < 0 || c[2] < 0 || c[0] >= n || c[1] >= n || c[2] >= n) continue;
    Triangle t;
    t.a = rm::vec3(w * rm::vec4(m.vertices[size_t(c[0])], 1.0f));
    t.b = rm::vec3(w * rm::vec4(m.vertices[size_t(c[1])], 1.0f));
    t.c = rm::vec3(w * rm::vec4(m.vertices[size_t(c[2])], 1.0f));
    t.lo = glm::min(t.a, glm::min(t.b, t.c));
    t.hi = glm::max(t.a, glm::max(t.b, t.c));
    out.push_back(t);
  }
  return out;
}

bool boxes_meet(rm::vec3 lo1, rm::vec3 hi1, rm::vec3 lo2, rm::vec3 hi2) {
  return lo1.x <= hi2.x && lo2.x <= hi1.x && lo1.y <= hi2.y && lo2.y <= hi1.y && lo1.z <= hi2.z && lo2.z <= hi1.z;
}

// Where segment p..q passes through triangle t (Möller-Trumbore, both sides).
bool segment_meets(rm::vec3 p, rm::vec3 q, const Triangle& t, rm::vec3& at) {
  const rm::vec3 d = q - p, e1 = t.b - t.a, e2 = t.c - t.a;
  const rm::vec3 h = glm::cross(d, e2);
  const float det = glm::dot(e1, h);
  if (std::fabs(det) < 1e-12f) return false;
  const float inv = 1.0f / det;
  const rm::vec3 sv = p - t.a;
  const float u = glm::dot(sv, h) * inv;
  if (u < 0.0f || u > 1.0f) return false;
  const rm::vec3 qv = glm::cross(sv, e1);
  const float v = glm::dot(d, qv) * inv;
  if (v < 0.0f || u + v > 1.0f) return false;
  const float k = glm::dot(e2, qv) * inv;
  if (!(k >= 0.0f && k <= 1.0f)) return false;
  at = p + d * k;
  return true;
}

// Two triangles meet when an edge of one passes through the other; the contact point is the
// middle of the points where edges pass through (the ends of the intersection segment).
bool triangles_meet(const Triangle& t1, const Triangle& t2, rm::vec3& point) {
  rm::vec3 sum(0.0f), at;
  int count = 0;
  const rm::vec3* e1[3][2] = {{&t1.a, &t1.b}, {&t1.b, &t1.c}, {&t1.c, &t1.a}};
  const rm::vec3* e2[3][2] = {{&t2.a, &t2.b}, {&t2.b, &t2.c}, {&t2.c, &t2.a}};
  for (auto& e : e1)
    if (segment_meets(*e[0], *e[1], t2, at)) sum += at, ++count;
  for (auto& e : e2)
    if (segment_meets(*e[0], *e[1], t1, at)) sum += at, ++count;
  if (count == 0) return false;
  point = sum / float(count);
  return true;
}

rm::vec3 triangle_normal(const Triangle& t) {
  const rm::vec3 n = glm::cross(t.b - t.a, t.c - t.a);
  const float len = glm::length(n);
  return len > 0.0f && std::isfinite(len) ? n / len : rm::vec3(0.0f, 1.0f, 0.0f);
}

// A contact value in the coordinates of ref (0: the main scene), × 512000.
int32_t contact_component(System& s, int32_t ref, int axis, bool normal) {
  if (!s.scene) return 0;
  rm::vec3 v = normal ? s.scene->mesh.contact_normal : s.scene->mesh.contact_point;
  if (ref != 0) {
    const rm::Frame* f = handle_frame(s, ref);
    if (!f) return 0;
    const rm::mat4 to_ref = glm::inverse(world_now(s, ref, *f));
    v = normal ? rm::vec3(to_ref * rm::vec4(v, 0.0f)) : rm::vec3(to_ref * rm::vec4(v, 1.0f));
    if (normal && glm::length(v) > 0.0f) v = glm::normalize(v);
  }
  return saturate(double(v[axis]) * kUnit);
}

}  // namespace

rm::Frame* selected_frame(const System& s, int32_t h, const render::PartSelection& p) {
  rm::Frame* f = handle_frame(s, h);
  for (int32_t c : p.child) {
    if (!f || c == -1) break;
    if (c < 0 || c >= static_cast<int32_t>(f->children.size())) return nullptr;
    f = f->children[size_t(c)].get();
  }
  return f;
}

rm::MeshPtr selected_mesh(const System& s, int32_t h, const render::PartSelection& p, rm::Frame** frame) {
  rm::Frame* f = selected_frame(s, h, p);
  if (!f || p.visual < 0 || p.visual >= static_cast<int32_t>(f->visuals.size())) return nullptr;
  const auto* m = std::get_if<rm::MeshPtr>(&f->visuals[size_t(p.visual)]);
  if (!m || !*m) return nullptr;
  if (frame) *frame = f;
  return *m;
}

rm::mat4 world_now(const System& s, int32_t h, const rm::Frame& f) {
  if (!is_frame_handle(h)) {
    const render::SceneElement* se = scene_element(s, h);
    rm::mat4 below(1.0f);
    if (se && se->frame && relative_to(f, se->frame.get(), below))
      return element_matrix(s, instance_at(s, h), se->kind) * below;
  }
  const rm::Frame* main = s.scene ? s.scene->main.get() : nullptr;
  rm::mat4 m(1.0f);
  return relative_to(f, main, m) ? m : rm::frame_world(f);
}

void h_part_set(System& s, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v) {
  if (s.scene) part_set(s.scene->mesh.part, c1, c2, c3, c4, v);
}
void h_cpart1_set(System& s, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v) {
  if (s.scene) part_set(s.scene->mesh.cpart1, c1, c2, c3, c4, v);
}
void h_cpart2_set(System& s, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v) {
  if (s.scene) part_set(s.scene->mesh.cpart2, c1, c2, c3, c4, v);
}

int32_t vertices(System& s, int32_t h) {
  const rm::MeshPtr m = mesh_of(s, h);
  return m ? static_cast<int32_t>(std::min<size_t>(m->vertices.size(), INT32_MAX)) : 0;
}

// One normal per vertex (generated on first use when the mesh came without).
int32_t normals(System& s) {
  const rm::MeshPtr m = s.scene ? s.scene->mesh.last.lock() : nullptr;
  return m ? static_cast<int32_t>(std::min<size_t>(m->vertices.size(), INT32_MAX)) : 0;
}

int32_t vertex_pos(System& s, int32_t h, int32_t i, int32_t c) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (!m || !vertex_index_ok(*m, i) || c < 0 || c > 2) return 0;
  return saturate(double(m->vertices[size_t(i)][c]) * kUnit);
}

void vertex_pos_set(System& s, int32_t h, int32_t i, int32_t x, int32_t y, int32_t z) {
  if (const rm::MeshPtr m = mesh_of(s, h)) rm::mesh_set_vertex(*m, i, position_of(x, y, z));
}

void vertex_pos_add(System& s, int32_t h, int32_t i, int32_t x, int32_t y, int32_t z) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (m && vertex_index_ok(*m, i)) rm::mesh_set_vertex(*m, i, m->vertices[size_t(i)] + position_of(x, y, z));
}

// The vertex goes to the point (x, y, z) of the main scene, wherever the part stands now.
void vertex_posw_set(System& s, int32_t h, int32_t i, int32_t x, int32_t y, int32_t z) {
  rm::Frame* f = nullptr;
  const rm::MeshPtr m = mesh_of(s, h, &f);
  if (!m || !vertex_index_ok(*m, i)) return;
  const rm::vec4 local = glm::inverse(world_now(s, h, *f)) * rm::vec4(position_of(x, y, z), 1.0f);
  if (std::isfinite(local.x) && std::isfinite(local.y) && std::isfinite(local.z))
    rm::mesh_set_vertex(*m, i, rm::vec3(local));
}

int32_t vertex_u(System& s, int32_t h, int32_t i) {
  const rm::MeshPtr m = mesh_of(s, h);
  return m && vertex_index_ok(*m, i) && size_t(i) < m->uvs.size() ? saturate(m->uvs[size_t(i)].x * kUvUnit) : 0;
}

int32_t vertex_v(System& s, int32_t h, int32_t i) {
  const rm::MeshPtr m = mesh_of(s, h);
  return m && vertex_index_ok(*m, i) && size_t(i) < m->uvs.size() ? saturate(m->uvs[size_t(i)].y * kUvUnit) : 0;
}

void vertex_uv_set(System& s, int32_t h, int32_t i, int32_t u, int32_t v) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (m && vertex_index_ok(*m, i)) rm::mesh_set_uv(*m, i, rm::vec2(float(u / kUvUnit), float(v / kUvUnit)));
}

// Adds (du, dv) to the texture coordinates of n vertices from i on (those that exist): one
// call scrolls a texture over a whole mesh.
void vertex_uv_add(System& s, int32_t h, int32_t i, int32_t du, int32_t dv, int32_t n) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (!m || !vertex_index_ok(*m, i) || n <= 0) return;
  const rm::vec2 d(float(du / kUvUnit), float(dv / kUvUnit));
  const size_t end = std::min(m->uvs.size(), size_t(i) + size_t(n));
  for (size_t k = size_t(i); k < end; ++k) m->uvs[k] += d;
  ++m->version;
}

void vertices_get(System& s, int32_t h, int32_t b, int32_t start) {
  if (const rm::MeshPtr m = mesh_of(s, h)) vectors_to_block(s, m->vertices, b, start);
}

void vertices_set(System& s, int32_t h, int32_t b, int32_t start) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (m && vectors_from_block(s, m->vertices, b, start)) ++m->version;
}

void normals_get(System& s, int32_t h, int32_t b, int32_t start) {
  if (const rm::MeshPtr m = mesh_of(s, h)) vectors_to_block(s, normals_of(*m), b, start);
}

void normals_set(System& s, int32_t h, int32_t b, int32_t start) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (m && vectors_from_block(s, normals_of(*m), b, start)) ++m->version;
}

void normals_optimize(System& s, int32_t h) {
  if (const rm::MeshPtr m = mesh_of(s, h)) rm::mesh_generate_normals(*m);
}

// Drops faces that name vertices the mesh does not have, so that the device expands only
// drawable triangles, and gives back spare capacity.
void rendering_optimize(System& s, int32_t h) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (!m) return;
  const auto n = static_cast<int32_t>(m->vertices.size());
  std::erase_if(m->faces, [n](const rm::Face& f) {
    return std::any_of(f.corners.begin(), f.corners.end(), [n](int32_t c) { return c < 0 || c >= n; });
  });
  m->faces.shrink_to_fit();
  ++m->version;
}

// Groups the faces by texture (keeping their order within a texture), so that drawing the
// mesh switches textures as seldom as possible.
void state_change_optimize(System& s, int32_t h) {
  const rm::MeshPtr m = mesh_of(s, h);
  if (!m) return;
  std::vector<const rm::Texture*> order;
  for (const rm::Face& f : m->faces)
    if (std::find(order.begin(), order.end(), f.texture.get()) == order.end()) order.push_back(f.texture.get());
  std::stable_sort(m->faces.begin(), m->faces.end(), [&](const rm::Face& a, const rm::Face& b) {
    return std::find(order.begin(), order.end(), a.texture.get()) <
           std::find(order.begin(), order.end(), b.texture.get());
  });
  ++m->version;
}

// The mesh's texture follows the view from now on: an environment (chrome) map.
void env_map_update(System& s, int32_t h) {
  if (const rm::MeshPtr m = mesh_of(s, h)) {
    m->chrome = true;
    ++m->version;
  }
}

void make_flat(System& s, int32_t h) {
  if (const rm::MeshPtr m = mesh_of(s, h)) rm::mesh_set_quality(*m, rm::Quality::Flat);
}

// t 1 front to back, 2 back to front, 3 unsorted: the visuals below the selected frame are
// ordered among themselves by it; 0 gives them back to the scene's order.
void h_sort_mode_set(System& s, int32_t h, int32_t t) {
  rm::Frame* f = s.scene ? selected_frame(s, h, s.scene->mesh.part) : nullptr;
  if (!f || t < 0 || t > 3) return;
  f->sorts_below = t != 0;
  if (t == 1) f->sort_mode = rm::SortMode::FrontToBack;
  if (t == 2) f->sort_mode = rm::SortMode::BackToFront;
  if (t == 3) f->sort_mode = rm::SortMode::None;
}

// m 0 as the parent frame, 1 depth-tested, 2 drawn over whatever lies there; others ignored.
void zbuffer_mode_set(System& s, int32_t h, int32_t m) {
  rm::Frame* f = s.scene ? selected_frame(s, h, s.scene->mesh.part) : nullptr;
  if (!f || m < 0 || m > 2) return;
  f->zbuffer = m == 0 ? rm::ZBufferMode::FromParent : m == 1 ? rm::ZBufferMode::Enable : rm::ZBufferMode::Disable;
}

void material_value_set(rm::MaterialOverride& m, int32_t t, int32_t r, int32_t g, int32_t b, int32_t a) {
  const rm::vec4 c(float(r / 1000.0), float(g / 1000.0), float(b / 1000.0), float(a / 1000.0));
  switch (t) {
    case 0: m.diffuse = c; break;
    case 1: m.ambient = c; break;
    case 2: m.emissive = c; break;
    case 3: m.specular = c; break;
    case 4: m.power = c.r; break;
    default: break;
  }
}

void material_set(System& s, int32_t t, int32_t r, int32_t g, int32_t b, int32_t a) {
  if (s.scene) material_value_set(s.scene->mesh.material, t, r, g, b, a);
}

void material_apply(System& s, int32_t h) {
  rm::Frame* f = s.scene ? selected_frame(s, h, s.scene->mesh.part) : nullptr;
  if (f) f->material = s.scene->mesh.material;
}

// Block b: a working row of n integers, then m key rows. With e = t/k·m (t unsigned), rows
// (e mod m) + 1 and (e + 1 mod m) + 1 are blended by the fraction of e into the working row.
// The answer is the number of the first key row blended, or 0 when nothing happened.
int32_t a_interpolate(System& s, int32_t b, int32_t t, int32_t k, int32_t n, int32_t m) {
  if (k == 0 || n <= 0 || m <= 0) return 0;
  const double e = double(uint32_t(t)) / double(k) * double(m);
  if (!std::isfinite(e)) return 0;
  const double whole = std::trunc(e);
  const double phi = e - whole;
  // A negative k gives a negative e; its rows count down from the top.
  const auto row_a = static_cast<int64_t>(std::fmod(std::fmod(whole, double(m)) + double(m), double(m)));
  const int64_t row_b = (row_a + 1) % m;
  uint8_t* work = block_range(s, b, 0, 4 * int64_t(n));
  const uint8_t* ka = block_range(s, b, 4 * int64_t(n) * (row_a + 1), 4 * int64_t(n));
  const uint8_t* kb = block_range(s, b, 4 * int64_t(n) * (row_b + 1), 4 * int64_t(n));
  if (!work || !ka || !kb) return 0;
  for (int64_t i = 0; i < n; ++i) {
    int32_t va, vb;
    std::memcpy(&va, ka + 4 * i, 4);
    std::memcpy(&vb, kb + 4 * i, 4);
    const auto step = static_cast<int64_t>(std::trunc(phi * double(int64_t(vb) - int64_t(va))));
    const auto out = static_cast<int32_t>(static_cast<uint32_t>(int64_t(va) + step));
    std::memcpy(work + 4 * i, &out, 4);
  }
  return static_cast<int32_t>(row_a + 1);
}

// One integer after another, lowest index first: a copy onto a later part of the same block
// repeats the first integers, as a forward copy does. Nothing when either range leaves its block.
void a_copy(System& s, int32_t b1, int32_t b2, int32_t i1, int32_t i2, int32_t n) {
  if (n <= 0) return;
  const uint8_t* from = block_range(s, b1, 4 * int64_t(i1), 4 * int64_t(n));
  uint8_t* to = block_range(s, b2, 4 * int64_t(i2), 4 * int64_t(n));
  if (!from || !to) return;
  for (int64_t i = 0; i < n; ++i) std::memmove(to + 4 * i, from + 4 * i, 4);
}

// The part cpart1 selects below h1 against the part cpart2 selects below h2, triangle against
// triangle in the main scene. On contact: -1, with the contact point and the second part's
// normal there kept for h_cpoint_* and h_cnormal_*; all = 0 stops at the first touching pair,
// any other value averages over every touching pair. 0 without contact.
int32_t h_poly_collision(System& s, int32_t h1, int32_t h2, int32_t all) {
  if (!s.scene) return 0;
  rm::Frame *f1 = nullptr, *f2 = nullptr;
  const rm::MeshPtr m1 = selected_mesh(s, h1, s.scene->mesh.cpart1, &f1);
  const rm::MeshPtr m2 = selected_mesh(s, h2, s.scene->mesh.cpart2, &f2);
  if (!m1 || !m2) return 0;
  const std::vector<Triangle> t1 = world_triangles(*m1, world_now(s, h1, *f1));
  const std::vector<Triangle> t2 = world_triangles(*m2, world_now(s, h2, *f2));
  if (t1.empty() || t2.empty()) return 0;
  rm::vec3 lo2 = t2[0].lo, hi2 = t2[0].hi, lo1 = t1[0].lo, hi1 = t1[0].hi;
  for (const Triangle& t : t2) lo2 = glm::min(lo2, t.lo), hi2 = glm::max(hi2, t.hi);
  for (const Triangle& t : t1) lo1 = glm::min(lo1, t.lo), hi1 = glm::max(hi1, t.hi);
  std::vector<const Triangle*> near2;
  for (const Triangle& t : t2)
    if (boxes_meet(t.lo, t.hi, lo1, hi1)) near2.push_back(&t);
  rm::vec3 point_sum(0.0f), normal_sum(0.0f), last_normal(0.0f);
  int64_t contacts = 0, budget = kPairBudget;
  for (const Triangle& a : t1) {
    if (!boxes_meet(a.lo, a.hi, lo2, hi2)) continue;
    for (const Triangle* b : near2) {
      if (--budget < 0) break;
      rm::vec3 at;
      if (!boxes_meet(a.lo, a.hi, b->lo, b->hi) || !triangles_meet(a, *b, at)) continue;
      point_sum += at;
      last_normal = triangle_normal(*b);
      normal_sum += last_normal;
      ++contacts;
      if (all == 0) break;
    }
    if (budget < 0 || (contacts > 0 && all == 0)) break;
  }
  if (contacts == 0) return 0;
  s.scene->mesh.contact_point = point_sum / float(contacts);
  const float len = glm::length(normal_sum);
  s.scene->mesh.contact_normal = len > 1e-6f ? normal_sum / len : last_normal;
  return -1;
}

int32_t h_cpoint_x(System& s, int32_t ref) { return contact_component(s, ref, 0, false); }
int32_t h_cpoint_y(System& s, int32_t ref) { return contact_component(s, ref, 1, false); }
int32_t h_cpoint_z(System& s, int32_t ref) { return contact_component(s, ref, 2, false); }
int32_t h_cnormal_x(System& s, int32_t ref) { return contact_component(s, ref, 0, true); }
int32_t h_cnormal_y(System& s, int32_t ref) { return contact_component(s, ref, 1, true); }
int32_t h_cnormal_z(System& s, int32_t ref) { return contact_component(s, ref, 2, true); }

}  // namespace meshes

void bind_mesh_keywords(KeywordBindings& b) {
  using namespace meshes;
  static const KeywordBinding kEntries[] = {
      {"h_part_set", keyword_routine<h_part_set>},
      {"h_cpart1_set", keyword_routine<h_cpart1_set>},
      {"h_cpart2_set", keyword_routine<h_cpart2_set>},
      {"vertices", keyword_routine<vertices>},
      {"normals", keyword_routine<normals>},
      {"vertex_pos", keyword_routine<vertex_pos>},
      {"vertex_pos_set", keyword_routine<vertex_pos_set>},
      {"vertex_pos_add", keyword_routine<vertex_pos_add>},
      {"vertex_posw_set", keyword_routine<vertex_posw_set>},
      {"vertex_u", keyword_routine<vertex_u>},
      {"vertex_v", keyword_routine<vertex_v>},
      {"vertex_uv_set", keyword_routine<vertex_uv_set>},
      {"vertex_uv_add", keyword_routine<vertex_uv_add>},
      {"vertices_get", keyword_routine<vertices_get>},
      {"vertices_set", keyword_routine<vertices_set>},
      {"normals_get", keyword_routine<normals_get>},
      {"normals_set", keyword_routine<normals_set>},
      {"normals_optimize", keyword_routine<normals_optimize>},
      {"rendering_optimize", keyword_routine<rendering_optimize>},
      {"state_change_optimize", keyword_routine<state_change_optimize>},
      {"env_map_update", keyword_routine<env_map_update>},
      {"make_flat", keyword_routine<make_flat>},
      {"h_sort_mode_set", keyword_routine<h_sort_mode_set>},
      {"zbuffer_mode_set", keyword_routine<zbuffer_mode_set>},
      {"material_set", keyword_routine<material_set>},
      {"material_apply", keyword_routine<material_apply>},
      {"a_interpolate", keyword_routine<a_interpolate>},
      {"a_copy", keyword_routine<a_copy>},
      {"h_poly_collision", keyword_routine<h_poly_collision>},
      {"h_cpoint_x", keyword_routine<h_cpoint_x>},
      {"h_cpoint_y", keyword_routine<h_cpoint_y>},
      {"h_cpoint_z", keyword_routine<h_cpoint_z>},
      {"h_cnormal_x", keyword_routine<h_cnormal_x>},
      {"h_cnormal_y", keyword_routine<h_cnormal_y>},
      {"h_cnormal_z", keyword_routine<h_cnormal_z>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
