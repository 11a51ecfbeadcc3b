// Frames: the hierarchy, transforms relative to any frame, visuals, lights and ray picking.
#include <algorithm>
#include <cmath>

#include "platform/rm/rm.h"

namespace korva::rm {

Frame::~Frame() {
  for (auto& c : children) c->parent = nullptr;
}

FramePtr frame_create(Frame* parent) {
  auto f = std::make_shared<Frame>();
  if (parent) {
    f->parent = parent;
    parent->children.push_back(f);
  }
  return f;
}

bool frame_add_child(Frame& parent, FramePtr child) {
  if (!child) return false;
  for (const Frame* p = &parent; p; p = p->parent)
    if (p == child.get()) return false;  // would make a cycle
  if (child->parent == &parent) return true;
  if (child->parent) frame_remove_child(*child->parent, child.get());
  child->parent = &parent;
  parent.children.push_back(std::move(child));
  return true;
}

void frame_remove_child(Frame& parent, const Frame* child) {
  auto it = std::find_if(parent.children.begin(), parent.children.end(),
                         [&](const FramePtr& c) { return c.get() == child; });
  if (it == parent.children.end()) return;
  FramePtr keep = *it;  // the caller may hold the last other reference
  parent.children.erase(it);
  keep->parent = nullptr;
}

void frame_add_visual(Frame& f, Visual v) { f.visuals.push_back(std::move(v)); }

void frame_remove_visual(Frame& f, const Visual& v) {
  std::erase(f.visuals, v);
}

void frame_add_light(Frame& f, LightPtr l) {
  if (l) f.lights.push_back(std::move(l));
}

mat4 frame_local(const Frame& f) {
  mat4 m(f.basis);
  m[3] = vec4(f.position, 1.0f);
  return m;
}

void frame_set_transform(Frame& f, const mat4& local) {
  f.basis = mat3(local);
  f.position = vec3(local[3]);
}

mat4 frame_world(const Frame& f) {
  mat4 m = frame_local(f);
  for (const Frame* p = f.parent; p; p = p->parent) m = frame_local(*p) * m;
  return m;
}

mat4 frame_transform(const Frame& f, const Frame* ref) {
  if (!ref) return frame_world(f);
  return glm::inverse(frame_world(*ref)) * frame_world(f);
}

vec3 frame_position(const Frame& f, const Frame* ref) { return vec3(frame_transform(f, ref)[3]); }

// The transform from ref's coordinates into f's parent's coordinates.
static mat4 ref_to_parent(const Frame& f, const Frame* ref) {
  const mat4 ref_world = ref ? frame_world(*ref) : mat4(1.0f);
  const mat4 parent_world = f.parent ? frame_world(*f.parent) : mat4(1.0f);
  if (ref == f.parent) return mat4(1.0f);
  return glm::inverse(parent_world) * ref_world;
}

void frame_set_position(Frame& f, const Frame* ref, vec3 p) {
  const vec4 local = ref_to_parent(f, ref) * vec4(p, 1.0f);
  f.position = vec3(local);
}

void frame_set_orientation(Frame& f, const Frame* ref, vec3 direction, vec3 up) {
  const mat3 to_parent(ref_to_parent(f, ref));
  vec3 z = to_parent * direction;
  vec3 y = to_parent * up;
  const float zl = glm::length(z);
  if (!(zl > 0.0f) || !std::isfinite(zl)) return;
  z /= zl;
  vec3 x = glm::cross(y, z);
  const float xl = glm::length(x);
  if (!(xl > 1e-9f) || !std::isfinite(xl)) return;
  x /= xl;
  y = glm::cross(z, x);
  f.basis = mat3(x, y, z);
}

void frame_orientation(const Frame& f, const Frame* ref, vec3& direction, vec3& up) {
  const mat3 m(frame_transform(f, ref));
  direction = glm::normalize(m[2]);
  up = glm::normalize(m[1]);
}

void frame_set_rotation(Frame& f, const Frame* ref, quat q) {
  const mat3 r = glm::mat3_cast(glm::normalize(q));
  frame_set_orientation(f, ref, r[2], r[1]);
}

quat frame_rotation(const Frame& f, const Frame* ref) {
  mat3 m(frame_transform(f, ref));
  for (int i = 0; i < 3; ++i) {
    const float len = glm::length(m[i]);
    if (len > 0.0f) m[i] /= len;
  }
  return glm::normalize(glm::quat_cast(m));
}

void frame_set_traversal(Frame& f, uint32_t options) { f.traversal = options; }

bool frame_rendered(const Frame& f) {
  for (const Frame* p = &f; p; p = p->parent)
    if (!(p->traversal & kTraverseRender)) return false;
  return true;
}

const Frame* frame_scene(const Frame& f) {
  const Frame* p = &f;
  while (p->parent) p = p->parent;
  return p;
}

// Möller-Trumbore; both sides of a triangle can be hit.
static bool ray_triangle(vec3 o, vec3 d, vec3 a, vec3 b, vec3 c, float& t) {
  const vec3 e1 = b - a, e2 = c - a;
  const vec3 p = glm::cross(d, e2);
  const float det = glm::dot(e1, p);
  if (std::fabs(det) < 1e-12f) return false;
  const float inv = 1.0f / det;
  const vec3 s = o - a;
  const float u = glm::dot(s, p) * inv;
  if (u < 0.0f || u > 1.0f) return false;
  const vec3 q = glm::cross(s, e1);
  const float v = glm::dot(d, q) * inv;
  if (v < 0.0f || u + v > 1.0f) return false;
  t = glm::dot(e2, q) * inv;
  return t >= 0.0f && std::isfinite(t);
}

static void pick_mesh(Frame& f, const Mesh& m, const std::vector<ClipPlane>* planes, int32_t visual,
                      const mat4& to_ref, vec3 o, vec3 d, std::vector<PickHit>& hits) {
  // Work in the mesh's coordinates, then express the hit in the ray's reference frame.
  const mat4 from_ref = glm::inverse(to_ref);
  const vec3 lo = vec3(from_ref * vec4(o, 1.0f));
  const vec3 ld = vec3(from_ref * vec4(d, 0.0f));
  const int32_t nv = static_cast<int32_t>(m.vertices.size());
  // One hit per mesh: its nearest face (a ray through a shared edge meets both faces).
  float best = -1.0f;
  PickHit h;
  for (size_t i = 0; i < m.faces.size(); ++i) {
    const auto& c = m.faces[i].corners;
    if (c[0] >= nv || c[1] >= nv || c[2] >= nv) continue;
    float t = 0.0f;
    if (!ray_triangle(lo, ld, m.vertices[size_t(c[0])], m.vertices[size_t(c[1])],
                      m.vertices[size_t(c[2])], t))
      continue;
    if (best >= 0.0f && t >= best) continue;
    if (planes) {  // a clipped mesh is hit only where it is drawn
      const vec3 p = lo + ld * t;
      bool inside = true;
      for (const auto& pl : *planes) inside = inside && glm::dot(p - pl.point, pl.normal) >= 0.0f;
      if (!inside) continue;
    }
    best = t;
    h.frame = &f;
    h.mesh = &m;
    h.visual = visual;
    h.face = static_cast<int32_t>(i);
    h.position = vec3(to_ref * vec4(lo + ld * t, 1.0f));
    h.distance = glm::length(h.position - o);
  }
  if (best >= 0.0f) hits.push_back(h);
}

static void pick_frame(Frame& f, const mat4& ref_inverse, vec3 o, vec3 d,
                       std::vector<PickHit>& hits) {
  if (!(f.traversal & kTraversePick)) return;
  const mat4 to_ref = ref_inverse * frame_world(f);
  for (size_t i = 0; i < f.visuals.size(); ++i) {
    const Mesh* m = nullptr;
    const std::vector<ClipPlane>* planes = nullptr;
    if (auto mp = std::get_if<MeshPtr>(&f.visuals[i])) m = mp->get();
    if (auto cp = std::get_if<ClippedPtr>(&f.visuals[i]); cp && *cp) {
      m = (*cp)->mesh.get();
      planes = &(*cp)->planes;
    }
    if (m) pick_mesh(f, *m, planes, static_cast<int32_t>(i), to_ref, o, d, hits);
  }
  for (auto& c : f.children) pick_frame(*c, ref_inverse, o, d, hits);
}

std::vector<PickHit> frame_ray_pick(Frame& f, const Frame* ref, vec3 origin, vec3 direction) {
  std::vector<PickHit> hits;
  const float len = glm::length(direction);
  if (!(len > 0.0f) || !std::isfinite(len)) return hits;
  const mat4 ref_inverse = ref ? glm::inverse(frame_world(*ref)) : mat4(1.0f);
  pick_frame(f, ref_inverse, origin, direction / len, hits);
  std::sort(hits.begin(), hits.end(),
            [](const PickHit& a, const PickHit& b) { return a.distance < b.distance; });
  return hits;
}

}  // namespace korva::rm
