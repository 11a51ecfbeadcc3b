// Mesh builders: vertices, normals, texture coordinates and coloured or textured triangles;
// texture wraps; clipped meshes.
#include <algorithm>
#include <cmath>
#include <glm/gtc/constants.hpp>

#include "platform/rm/rm.h"

namespace korva::rm {

MeshPtr mesh_create() { return std::make_shared<Mesh>(); }

void mesh_reserve(Mesh& m, int32_t vertices, int32_t faces) {
  // Reservations are hints; absurd counts from damaged files must not allocate gigabytes.
  constexpr int32_t kLimit = 1 << 22;
  if (vertices > 0) m.vertices.reserve(size_t(std::min(vertices, kLimit)));
  if (vertices > 0) m.uvs.reserve(size_t(std::min(vertices, kLimit)));
  if (faces > 0) m.faces.reserve(size_t(std::min(faces, kLimit)));
}

int32_t mesh_add_vertex(Mesh& m, vec3 position, vec2 uv) {
  m.vertices.push_back(position);
  m.uvs.push_back(uv);
  if (!m.normals.empty()) m.normals.push_back(vec3(0.0f, 1.0f, 0.0f));
  ++m.version;
  return static_cast<int32_t>(m.vertices.size()) - 1;
}

int32_t mesh_add_face(Mesh& m, int32_t a, int32_t b, int32_t c, vec4 color) {
  const auto n = static_cast<int32_t>(m.vertices.size());
  for (int32_t i : {a, b, c})
    if (i < 0 || i >= n) return -1;
  Face f;
  f.corners = {a, b, c};
  f.color = color;
  m.faces.push_back(f);
  ++m.version;
  return static_cast<int32_t>(m.faces.size()) - 1;
}

int32_t mesh_add_triangle(Mesh& m, vec3 a, vec3 b, vec3 c, vec4 color) {
  const int32_t i = mesh_add_vertex(m, a);
  mesh_add_vertex(m, b);
  mesh_add_vertex(m, c);
  return mesh_add_face(m, i, i + 1, i + 2, color);
}

void mesh_set_color(Mesh& m, vec4 color) {
  for (auto& f : m.faces) f.color = color;
  ++m.version;
}

void mesh_set_texture(Mesh& m, TexturePtr texture) {
  for (auto& f : m.faces) f.texture = texture;
  ++m.version;
}

void mesh_set_quality(Mesh& m, Quality q) {
  m.quality = q;
  ++m.version;
}

bool mesh_set_vertex(Mesh& m, int32_t i, vec3 position) {
  if (i < 0 || i >= static_cast<int32_t>(m.vertices.size())) return false;
  m.vertices[size_t(i)] = position;
  ++m.version;
  return true;
}

bool mesh_set_uv(Mesh& m, int32_t i, vec2 uv) {
  if (i < 0 || i >= static_cast<int32_t>(m.uvs.size())) return false;
  m.uvs[size_t(i)] = uv;
  ++m.version;
  return true;
}

bool mesh_set_normal(Mesh& m, int32_t i, vec3 normal) {
  if (i < 0 || i >= static_cast<int32_t>(m.vertices.size())) return false;
  if (m.normals.size() != m.vertices.size()) mesh_generate_normals(m);
  m.normals[size_t(i)] = normal;
  ++m.version;
  return true;
}

vec3 face_normal(const Mesh& m, const Face& f) {
  const vec3& a = m.vertices[size_t(f.corners[0])];
  const vec3& b = m.vertices[size_t(f.corners[1])];
  const vec3& c = m.vertices[size_t(f.corners[2])];
  // Clockwise corners seen from the front, left-handed axes: (b - a) x (c - a) points at the viewer.
  const vec3 n = glm::cross(b - a, c - a);
  const float len = glm::length(n);
  return len > 0.0f && std::isfinite(len) ? n / len : vec3(0.0f, 1.0f, 0.0f);
}

void mesh_generate_normals(Mesh& m) {
  m.normals.assign(m.vertices.size(), vec3(0.0f));
  for (const auto& f : m.faces) {
    const vec3 n = face_normal(m, f);
    for (int32_t i : f.corners) m.normals[size_t(i)] += n;
  }
  for (auto& n : m.normals) {
    const float len = glm::length(n);
    n = len > 0.0f && std::isfinite(len) ? n / len : vec3(0.0f, 1.0f, 0.0f);
  }
  ++m.version;
}

void mesh_apply_wrap(Mesh& m, const Wrap& w) {
  if (w.kind == WrapKind::Chrome) {
    m.chrome = true;
    ++m.version;
    return;
  }
  m.chrome = false;
  // The wrap's own axes: z along the direction, y along up made perpendicular, x completing.
  vec3 z = glm::length(w.direction) > 0.0f ? glm::normalize(w.direction) : vec3(0, 0, 1);
  vec3 x = glm::cross(w.up, z);
  if (glm::length(x) <= 1e-6f) x = glm::cross(vec3(0, 1, 0), z);
  if (glm::length(x) <= 1e-6f) x = vec3(1, 0, 0);
  x = glm::normalize(x);
  const vec3 y = glm::cross(z, x);
  const float two_pi = glm::two_pi<float>();
  m.uvs.resize(m.vertices.size());
  for (size_t i = 0; i < m.vertices.size(); ++i) {
    const vec3 d = m.vertices[i] - w.origin;
    const float px = glm::dot(d, x), py = glm::dot(d, y), pz = glm::dot(d, z);
    float u = 0.0f, v = 0.0f;
    switch (w.kind) {
      case WrapKind::Flat:  // projected along z onto the x-y plane
        u = px;
        v = -py;
        break;
      case WrapKind::Cylinder:  // around the up axis: u the angle, v the height
        u = std::atan2(px, pz) / two_pi;
        v = -py;
        break;
      case WrapKind::Sphere: {  // u the angle around up, v the angle from the top
        u = std::atan2(px, pz) / two_pi;
        const float r = glm::length(d);
        v = r > 0.0f ? std::acos(std::clamp(py / r, -1.0f, 1.0f)) / glm::pi<float>() : 0.0f;
        break;
      }
      case WrapKind::Chrome:
        break;
    }
    m.uvs[i] = vec2(u * w.scale.x + w.offset.x, v * w.scale.y + w.offset.y);
  }
  ++m.version;
}

void mesh_scale(Mesh& m, vec3 factors) {
  for (auto& v : m.vertices) v *= factors;
  if (!m.normals.empty()) mesh_generate_normals(m);
  ++m.version;
}

void mesh_translate(Mesh& m, vec3 offset) {
  for (auto& v : m.vertices) v += offset;
  ++m.version;
}

bool mesh_bounds(const Mesh& m, vec3& lo, vec3& hi) {
  if (m.vertices.empty()) return false;
  lo = hi = m.vertices[0];
  for (const auto& v : m.vertices) {
    lo = glm::min(lo, v);
    hi = glm::max(hi, v);
  }
  return true;
}

ClippedPtr clipped_create(MeshPtr mesh) {
  auto c = std::make_shared<ClippedVisual>();
  c->mesh = std::move(mesh);
  return c;
}

void clipped_add_plane(ClippedVisual& c, vec3 point, vec3 normal) {
  const float len = glm::length(normal);
  if (!(len > 0.0f) || !std::isfinite(len)) return;  // a plane needs a direction
  c.planes.push_back({point, normal / len});
  ++c.version;
}

LightPtr light_create(LightKind kind, vec3 color) {
  auto l = std::make_shared<Light>();
  l->kind = kind;
  l->color = color;
  return l;
}

}  // namespace korva::rm
