// The volume shadow keywords as brains call them: the shared plane list, volumes from a
// caster's silhouette, shadow copies of receivers in the overlay scene, the shadow material and
// pass settings, and the automatic shadows that follow their caster every rendered frame.
#include "render/shadow_keywords.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "brain/brain.h"
#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "render/frame_keywords.h"
#include "render/mesh_keywords.h"

namespace korva {
namespace shadows {
namespace {

constexpr double kUnit = 512000.0;   // position units per scene unit
constexpr float kPlaneInset = 0.001f;  // planes move this far into the volume

// Mode bits of v_shadow_volume_add.
constexpr int32_t kModeParallel = 1;  // parallel light along the light's z axis (else a point light)
constexpr int32_t kModeCaps = 2;      // the faces that face the light add planes of their own

rm::vec3 position_of(int32_t x, int32_t y, int32_t z) {
  return rm::vec3(float(x / kUnit), float(y / kUnit), float(z / kUnit));
}

// The direction from point p towards the light.
rm::vec3 towards_light(const ShadowLight& l, rm::vec3 p) { return l.parallel ? -l.direction : l.position - p; }

// The light a volume uses: a light element or frame handle (its position, or its z axis for
// parallel light), or 0 for the shadow light of the automatic shadows.
bool light_of(const System& s, int32_t light, int32_t mode, ShadowLight& out) {
  out.parallel = (mode & kModeParallel) != 0;
  if (light == 0) {
    out.parallel = s.scene->shadow.light_parallel;
    out.position = s.scene->shadow.light_position;
    out.direction = s.scene->shadow.light_direction;
    return true;
  }
  const rm::Frame* f = meshes::selected_frame(s, light, render::PartSelection{});
  if (!f) return false;
  const rm::mat4 w = meshes::world_now(s, light, *f);
  out.position = rm::vec3(w[3]);
  const rm::vec3 z(w[2]);
  out.direction = glm::length(z) > 0.0f ? glm::normalize(z) : rm::vec3(0.0f, -1.0f, 0.0f);
  return true;
}

// The planes of one volume as asked for, built from the positions now.
std::vector<rm::ClipPlane> planes_of(const System& s, const render::ShadowVolumeSource& v) {
  rm::Frame* f = nullptr;
  const rm::MeshPtr m = meshes::selected_mesh(s, v.caster, v.part, &f);
  ShadowLight l;
  if (!m || !light_of(s, v.light, v.mode, l)) return {};
  return volume_planes(*m, meshes::world_now(s, v.caster, *f), l, (v.mode & kModeCaps) != 0);
}

// The shared pointer of a frame, found through its parent or the frame table.
rm::FramePtr shared_of(const System& s, const rm::Frame* f) {
  if (!f) return nullptr;
  if (f->parent)
    for (const rm::FramePtr& c : f->parent->children)
      if (c.get() == f) return c;
  for (const rm::FramePtr& e : s.scene->frames.entries)
    if (e.get() == f) return e;
  return nullptr;
}

// Gives copy one clipped visual per mesh of its source, cut by the planes (main-scene
// coordinates) turned into the source's own coordinates. Without planes the copy stays empty:
// an unclipped copy would darken the whole receiver.
void fill_copy(const System& s, render::OverlayCopy& oc, const std::vector<rm::ClipPlane>& planes) {
  if (!oc.copy) return;
  const rm::mat4 w = oc.source ? meshes::world_now(s, oc.handle, *oc.source) : rm::mat4(0.0f);
  // A reshaped mesh needs no new cut here: the copy shares it, and the device cuts again.
  std::vector<const rm::Mesh*> meshes;
  if (oc.source)
    for (const rm::Visual& v : oc.source->visuals)
      if (const auto* m = std::get_if<rm::MeshPtr>(&v); m && *m) meshes.push_back(m->get());
  auto same_plane = [](const rm::ClipPlane& a, const rm::ClipPlane& b) { return a.point == b.point && a.normal == b.normal; };
  if (!oc.copy->visuals.empty() && w == oc.cut_world && meshes == oc.cut_meshes &&
      std::equal(planes.begin(), planes.end(), oc.cut_planes.begin(), oc.cut_planes.end(), same_plane))
    return;  // cut from the same planes, transform and meshes already
  oc.cut_planes = planes;
  oc.cut_world = w;
  oc.cut_meshes = std::move(meshes);
  oc.copy->visuals.clear();
  if (!oc.source || planes.empty()) return;
  const rm::mat4 inverse = glm::inverse(w);
  const rm::mat3 normal_to_local = glm::transpose(rm::mat3(w));
  for (const rm::Visual& v : oc.source->visuals) {
    const auto* m = std::get_if<rm::MeshPtr>(&v);
    if (!m || !*m) continue;
    rm::ClippedPtr c = rm::clipped_create(*m);
    for (const rm::ClipPlane& p : planes)
      rm::clipped_add_plane(*c, rm::vec3(inverse * rm::vec4(p.point, 1.0f)), normal_to_local * p.normal);
    rm::frame_add_visual(*oc.copy, c);
  }
  rm::frame_set_transform(*oc.copy, w);
}

// The planes a copy's volumes give now, no more than the plane list could hold.
void refresh(const System& s, render::OverlayCopy& oc) {
  constexpr size_t kMaxPlanes = (render::kPlaneListFloats - 2) / 6;
  std::vector<rm::ClipPlane> planes;
  for (const render::ShadowVolumeSource& v : oc.volumes) {
    render::ShadowVolumeSource now = v;
    if (oc.automatic) now.mode = s.scene->shadow.light_parallel ? kModeParallel : 0;
    for (const rm::ClipPlane& p : planes_of(s, now))
      if (planes.size() < kMaxPlanes) planes.push_back(p);
  }
  fill_copy(s, oc, planes);
}

// A new copy in the overlay scene for the receiver h (part p); false when h selects no frame.
render::OverlayCopy* copy_create(System& s, int32_t h, const render::PartSelection& p) {
  rm::Frame* f = meshes::selected_frame(s, h, p);
  if (!f || !s.scene->overlay || !frames::scene_has_room(s, frames::frame_bytes(*f))) return nullptr;
  render::OverlayCopy oc;
  oc.source = shared_of(s, f);
  if (!oc.source) return nullptr;
  oc.copy = rm::frame_create(s.scene->overlay.get());
  oc.copy->material = s.scene->shadow.material;
  oc.copy->traversal = 0;  // shown by the synchronisation while the source is drawn
  oc.handle = h;
  oc.part = p;
  s.scene->overlay_copies.push_back(std::move(oc));
  return &s.scene->overlay_copies.back();
}

using Corner = std::tuple<long long, long long, long long>;

}  // namespace

std::vector<SilhouetteEdge> silhouette(const rm::Mesh& m, const rm::mat4& world, const ShadowLight& l,
                                       std::vector<rm::ClipPlane>* caps) {
  // Corners at the same place are one corner: weld them into shared indices first. "The same
  // place" allows for rounding (the seam of a surface of revolution, computed at 0 and at a
  // full turn): positions are snapped to a grid of a hundred-thousandth of the mesh's size.
  rm::vec3 lo, hi;
  if (!rm::mesh_bounds(m, lo, hi)) return {};
  const float extent = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z, 1e-6f});
  const double grid = double(extent) * 1e-5;
  std::map<Corner, int32_t> welded;
  std::vector<int32_t> id(m.vertices.size());
  std::vector<rm::vec3> at(m.vertices.size());
  for (size_t i = 0; i < m.vertices.size(); ++i) {
    const rm::vec3& v = m.vertices[i];
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {  // never shared
      id[i] = -1 - static_cast<int32_t>(i);
      continue;
    }
    const Corner key{std::llround((double(v.x) - lo.x) / grid), std::llround((double(v.y) - lo.y) / grid),
                     std::llround((double(v.z) - lo.z) / grid)};
    id[i] = welded.emplace(key, static_cast<int32_t>(welded.size())).first->second;
    at[i] = rm::vec3(world * rm::vec4(v, 1.0f));
  }
  struct Edge {
    int32_t a, b;
    rm::vec3 pa, pb, third;
  };
  std::vector<Edge> edges;
  std::map<std::pair<int32_t, int32_t>, size_t> where;  // an edge (either direction) -> its entry
  const auto n = static_cast<int32_t>(m.vertices.size());
  for (const rm::Face& f : m.faces) {
    const auto& c = f.corners;
    if (c[0] < 0 || c[1] < 0 || c[2] < 0 || c[0] >= n || c[1] >= n || c[2] >= n) continue;
    const rm::vec3 a = at[size_t(c[0])], b = at[size_t(c[1])], d = at[size_t(c[2])];
    const rm::vec3 normal = glm::cross(b - a, d - a);
    if (!(glm::dot(normal, towards_light(l, a)) > 0.0f)) continue;
    if (caps) {  // behind the face, seen from the light
      const float len = glm::length(normal);
      if (len > 0.0f && std::isfinite(len)) caps->push_back({a, -normal / len});
    }
    // Each edge is toggled: present already (either way round) it goes, the last entry taking
    // its place; otherwise it is appended.
    for (int k = 0; k < 3; ++k) {
      const int32_t i = c[size_t(k)], j = c[size_t((k + 1) % 3)], o = c[size_t((k + 2) % 3)];
      const std::pair<int32_t, int32_t> key = std::minmax(id[size_t(i)], id[size_t(j)]);
      auto it = where.find(key);
      if (it != where.end()) {
        const size_t pos = it->second;
        where.erase(it);
        if (pos != edges.size() - 1) {
          edges[pos] = edges.back();
          where[std::pair<int32_t, int32_t>(std::minmax(edges[pos].a, edges[pos].b))] = pos;
        }
        edges.pop_back();
      } else {
        where[key] = edges.size();
        edges.push_back({id[size_t(i)], id[size_t(j)], at[size_t(i)], at[size_t(j)], at[size_t(o)]});
      }
    }
  }
  std::vector<SilhouetteEdge> out;
  out.reserve(edges.size());
  for (const Edge& e : edges) out.push_back({e.pa, e.pb, e.third});
  return out;
}

std::vector<rm::ClipPlane> volume_planes(const rm::Mesh& m, const rm::mat4& world, const ShadowLight& l, bool caps) {
  std::vector<rm::ClipPlane> cap_planes;
  const std::vector<SilhouetteEdge> edges = silhouette(m, world, l, caps ? &cap_planes : nullptr);
  std::vector<rm::ClipPlane> out;
  auto add = [&](rm::vec3 point, rm::vec3 normal) {
    const float len = glm::length(normal);
    if (!(len > 1e-12f) || !std::isfinite(len)) return;
    normal /= len;
    out.push_back({point + normal * kPlaneInset, normal});
  };
  for (const SilhouetteEdge& e : edges) {
    // The plane through the edge along the light's rays, facing the inside of the face.
    rm::vec3 n = glm::cross(e.b - e.a, -towards_light(l, e.a));
    if (glm::dot(e.third - e.a, n) < 0.0f) n = -n;
    add(e.a, n);
  }
  for (const rm::ClipPlane& p : cap_planes) add(p.point, p.normal);
  return out;
}

namespace {

// Whether another plane fits: its six floats and the 0 that ends the list.
bool plane_list_full(const render::ShadowState& st) {
  return st.write < 1 || st.write + 7 > render::kPlaneListFloats;
}

}  // namespace

bool plane_list_add(render::ShadowState& st, const rm::ClipPlane& p) {
  if (plane_list_full(st)) return false;
  const float v[6] = {p.point.x, p.point.y, p.point.z, p.normal.x, p.normal.y, p.normal.z};
  std::copy(v, v + 6, st.planes.begin() + st.write);
  st.planes[size_t(st.write + 6)] = 0.0f;
  st.write += 6;
  st.planes[size_t(st.count_cell)] += 1.0f;
  return true;
}

std::vector<rm::ClipPlane> plane_list_planes(const render::ShadowState& st) {
  std::vector<rm::ClipPlane> out;
  int32_t i = 0;
  while (i < render::kPlaneListFloats) {
    const float count = st.planes[size_t(i)];
    if (!(count >= 1.0f)) break;
    ++i;
    for (int32_t k = 0; k < int32_t(count) && i + 6 <= render::kPlaneListFloats; ++k, i += 6) {
      const float* p = st.planes.data() + i;
      out.push_back({rm::vec3(p[0], p[1], p[2]), rm::vec3(p[3], p[4], p[5])});
    }
  }
  return out;
}

void v_shadow_volume_reset(System& s) {
  if (!s.scene) return;
  render::ShadowState& st = s.scene->shadow;
  st.planes[0] = 0.0f;
  st.write = 1;
  st.count_cell = 0;
  st.volumes.clear();
  s.scene->shadows = false;
}

// mode bit 0: parallel light along the light's z axis (else a point light at its position);
// bit 1: the caster's faces that face the light close the volume (the shadow starts behind
// the caster, not at the light).
void v_shadow_volume_add(System& s, int32_t h, int32_t mode, int32_t light) {
  if (!s.scene || light == 0) return;
  const render::ShadowVolumeSource v{h, s.scene->mesh.part, mode, light};
  ShadowLight l;
  if (!meshes::selected_mesh(s, h, v.part) || !light_of(s, light, mode, l)) return;
  // Once the plane list is full a volume adds nothing to it, nor to the copies that are cut by
  // it again later: it is not kept, so that a brain adding volumes at every call cannot grow
  // the list of volumes (which every new copy takes a copy of) without end.
  render::ShadowState& st = s.scene->shadow;
  if (plane_list_full(st) || st.volumes.size() >= size_t(render::kPlaneListFloats / 6)) return;
  for (const rm::ClipPlane& p : planes_of(s, v))
    if (!plane_list_add(st, p)) break;
  st.volumes.push_back(v);
}

void v_shadow_create(System& s, int32_t h) {
  if (!s.scene) return;
  const std::vector<rm::ClipPlane> planes = plane_list_planes(s.scene->shadow);
  if (planes.empty()) return;
  render::OverlayCopy* oc = copy_create(s, h, s.scene->mesh.part);
  if (!oc) return;
  oc->volumes = s.scene->shadow.volumes;
  fill_copy(s, *oc, planes);
  s.scene->shadows = true;
}

void v_shadow_delete(System& s) {
  if (!s.scene) return;
  auto& copies = s.scene->overlay_copies;
  while (!copies.empty()) {
    if (copies.back().copy && s.scene->overlay) rm::frame_remove_child(*s.scene->overlay, copies.back().copy.get());
    copies.pop_back();
  }
}

void v_shadow_set(System& s, int32_t t, int32_t r, int32_t g, int32_t b, int32_t a) {
  if (!s.scene) return;
  meshes::material_value_set(s.scene->shadow.material, t, r, g, b, a);
  for (render::OverlayCopy& oc : s.scene->overlay_copies)
    if (oc.copy) oc.copy->material = s.scene->shadow.material;
}

void v_shadow_factor(System& s, int32_t o, int32_t m) {
  if (!s.scene) return;
  if (o >= 1 && o <= 1000) s.scene->shadow_offset = float(o) / 1000.0f;
  s.scene->shadow_single_pass = m == 0;
}

// Every shadow v_shadow_create made for h is cut again by its volumes, built from the caster,
// the light and h as they stand now.
void v_shadow_update(System& s, int32_t h) {
  if (!s.scene) return;
  for (render::OverlayCopy& oc : s.scene->overlay_copies)
    if (!oc.automatic && oc.handle == h) refresh(s, oc);
}

// caster casts a shadow onto receiver from the shadow light, kept up to date every rendered
// frame until v_shadow_delete; the pair is added once. The part selection picks the caster's
// mesh and the receiver's frame alike.
void shadow_add(System& s, int32_t caster, int32_t receiver) {
  if (!s.scene || !meshes::selected_mesh(s, caster, s.scene->mesh.part)) return;
  for (const render::OverlayCopy& oc : s.scene->overlay_copies)
    if (oc.automatic && oc.handle == receiver && !oc.volumes.empty() && oc.volumes[0].caster == caster) return;
  render::OverlayCopy* oc = copy_create(s, receiver, s.scene->mesh.part);
  if (!oc) return;
  oc->automatic = true;
  oc->volumes.push_back({caster, s.scene->mesh.part, 0, 0});
  refresh(s, *oc);
  s.scene->shadows = true;
}

// The shadow light becomes a point light at (x, y, z).
void shadow_location_set(System& s, int32_t x, int32_t y, int32_t z) {
  if (!s.scene) return;
  s.scene->shadow.light_parallel = false;
  s.scene->shadow.light_position = position_of(x, y, z);
}

// The shadow light becomes parallel light shining along (x, y, z); the null vector is ignored.
void shadow_orientation_set(System& s, int32_t x, int32_t y, int32_t z) {
  if (!s.scene || (x == 0 && y == 0 && z == 0)) return;
  s.scene->shadow.light_parallel = true;
  s.scene->shadow.light_direction = glm::normalize(rm::vec3(float(x), float(y), float(z)));
}

void shadows_refresh(System& s) {
  if (!s.scene) return;
  for (render::OverlayCopy& oc : s.scene->overlay_copies)
    if (oc.automatic) refresh(s, oc);
}

}  // namespace shadows

void bind_shadow_keywords(KeywordBindings& b) {
  using namespace shadows;
  static const KeywordBinding kEntries[] = {
      {"v_shadow_volume_reset", keyword_routine<v_shadow_volume_reset>},
      {"v_shadow_volume_add", keyword_routine<v_shadow_volume_add>},
      {"v_shadow_create", keyword_routine<v_shadow_create>},
      {"v_shadow_delete", keyword_routine<v_shadow_delete>},
      {"v_shadow_set", keyword_routine<v_shadow_set>},
      {"v_shadow_factor", keyword_routine<v_shadow_factor>},
      {"v_shadow_update", keyword_routine<v_shadow_update>},
      {"shadow_add", keyword_routine<shadow_add>},
      {"shadow_location_set", keyword_routine<shadow_location_set>},
      {"shadow_orientation_set", keyword_routine<shadow_orientation_set>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
