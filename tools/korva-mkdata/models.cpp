// Models of the installation: the background hoods, the debug helpers and the default shapes,
// written as DirectX text models (.x) and 3D Studio models (.3ds). Faces are wound clockwise
// as seen from the side meant to be visible (the DirectX convention; y up, z forward).
#include <cmath>
#include <cstdio>
#include <numbers>

#include "bytes.h"

namespace korva::mkdata {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Adds the quad (bottom-left, bottom-right, top-right, top-left as seen by its viewer).
void add_quad(Mesh& m, int32_t bl, int32_t br, int32_t tr, int32_t tl) {
  m.faces.push_back({bl, tl, tr});
  m.faces.push_back({bl, tr, br});
}

struct Profile {
  float radius, y;
};

// A surface of revolution about the y axis over the longitudes [phi0, phi1] (phi 0 = +z,
// growing towards +x), from the profile's first point to its last. Seen from inside unless
// `outside`.
void add_revolution(Mesh& m, const std::vector<Profile>& profile, float phi0, float phi1,
                    int32_t segments, bool outside) {
  float ymin = profile.front().y, ymax = profile.front().y;
  for (const Profile& p : profile) {
    ymin = std::min(ymin, p.y);
    ymax = std::max(ymax, p.y);
  }
  const auto base = static_cast<int32_t>(m.vertices.size());
  const int32_t columns = segments + 1;
  for (const Profile& p : profile) {
    for (int32_t s = 0; s <= segments; ++s) {
      const float phi = phi0 + (phi1 - phi0) * s / segments;
      const float v = ymax > ymin ? (ymax - p.y) / (ymax - ymin) : 0.f;
      m.vertices.push_back({p.radius * std::sin(phi), p.y, p.radius * std::cos(phi), phi / (2 * kPi), v});
    }
  }
  const auto first_face = m.faces.size();
  for (int32_t r = 0; r + 1 < static_cast<int32_t>(profile.size()); ++r) {
    for (int32_t s = 0; s < segments; ++s) {
      const int32_t a = base + r * columns + s;  // (phi0, lower)
      const int32_t b = a + 1;                   // (phi1, lower)
      const int32_t c = b + columns;             // (phi1, upper)
      const int32_t d = a + columns;             // (phi0, upper)
      // From inside, growing phi runs to the viewer's right; from outside to the left.
      if (outside) {
        add_quad(m, b, a, d, c);
      } else {
        add_quad(m, a, b, c, d);
      }
    }
  }
  // At a pole a ring shrinks to a point: drop the triangles that collapsed to a line there.
  auto same = [&m](int32_t i, int32_t j) {
    const Mesh::Vertex &p = m.vertices[i], &q = m.vertices[j];
    return std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z) < 1e-5f;
  };
  auto kept = m.faces.begin() + static_cast<std::ptrdiff_t>(first_face);
  for (auto f = kept; f != m.faces.end(); ++f) {
    if (!same((*f)[0], (*f)[1]) && !same((*f)[1], (*f)[2]) && !same((*f)[0], (*f)[2])) *kept++ = *f;
  }
  m.faces.erase(kept, m.faces.end());
}

std::vector<Profile> arc(float lat0, float lat1, int32_t steps, float squash = 1.f) {
  std::vector<Profile> p;
  for (int32_t i = 0; i <= steps; ++i) {
    const float lat = (lat0 + (lat1 - lat0) * i / steps) * kPi / 180.f;
    p.push_back({std::cos(lat), std::sin(lat) * squash});
  }
  return p;
}

std::string fmt(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
  return buf;
}

void put_chunk(Bytes& b, uint16_t id, const Bytes& body) {
  put_u16(b, id);
  put_u32(b, static_cast<uint32_t>(body.size() + 6));
  b.insert(b.end(), body.begin(), body.end());
}

}  // namespace

Mesh make_hood(int32_t n, char half) {
  // Profiles from below the horizon up to the zenith: each hood is a different sky shape.
  std::vector<Profile> profile;
  switch (n) {
    case 0: profile = arc(-15, 90, 14); break;             // dome
    case 1: profile = arc(-90, 90, 24); break;             // full sphere
    case 2: profile = {{1, -0.4f}, {1, 0}, {1, 0.4f}, {1, 0.8f}}; break;  // open cylinder
    case 3: profile = arc(-10, 90, 12, 0.5f); break;       // low, flattened dome
    default: {                                             // cylinder wall under a dome
      profile = {{1, -0.4f}, {1, 0}};
      for (const Profile& p : arc(0, 90, 10)) profile.push_back({p.radius, 0.3f + p.y * 0.7f});
      break;
    }
  }
  Mesh m;
  const float start = half == 'a' ? 0.f : kPi;
  add_revolution(m, profile, start, start + kPi, 16, false);
  return m;
}

Mesh make_sphere(float radius, int32_t rings, int32_t segments, bool inside) {
  Mesh m;
  auto profile = arc(-90, 90, rings);
  for (Profile& p : profile) {
    p.radius *= radius;
    p.y *= radius;
  }
  add_revolution(m, profile, 0, 2 * kPi, segments, !inside);
  return m;
}

Mesh make_box(float hx, float hy, float hz) {
  Mesh m;
  // Each face: four corners (bottom-left, bottom-right, top-right, top-left as seen from
  // outside) with the texture's corners.
  const float faces[6][4][3] = {
      {{-hx, -hy, -hz}, {hx, -hy, -hz}, {hx, hy, -hz}, {-hx, hy, -hz}},  // front (-z)
      {{hx, -hy, hz}, {-hx, -hy, hz}, {-hx, hy, hz}, {hx, hy, hz}},      // back (+z)
      {{hx, -hy, -hz}, {hx, -hy, hz}, {hx, hy, hz}, {hx, hy, -hz}},      // right (+x)
      {{-hx, -hy, hz}, {-hx, -hy, -hz}, {-hx, hy, -hz}, {-hx, hy, hz}},  // left (-x)
      {{-hx, hy, -hz}, {hx, hy, -hz}, {hx, hy, hz}, {-hx, hy, hz}},      // top (+y)
      {{hx, -hy, -hz}, {-hx, -hy, -hz}, {-hx, -hy, hz}, {hx, -hy, hz}},  // bottom (-y)
  };
  const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  for (const auto& f : faces) {
    const auto base = static_cast<int32_t>(m.vertices.size());
    for (int32_t i = 0; i < 4; ++i) m.vertices.push_back({f[i][0], f[i][1], f[i][2], uv[i][0], uv[i][1]});
    add_quad(m, base, base + 1, base + 2, base + 3);
  }
  return m;
}

Mesh make_cross(float length, float thickness) {
  Mesh m;
  const Mesh bars[3] = {make_box(length, thickness, thickness), make_box(thickness, length, thickness),
                        make_box(thickness, thickness, length)};
  for (const Mesh& bar : bars) {
    const auto base = static_cast<int32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), bar.vertices.begin(), bar.vertices.end());
    for (auto f : bar.faces) m.faces.push_back({f[0] + base, f[1] + base, f[2] + base});
  }
  return m;
}

Bytes x_encode(const Mesh& mesh, std::string_view texture) {
  std::string s = "xof 0303txt 0032\r\n\r\n";
  s += "Mesh korva_mesh {\r\n";
  s += " " + std::to_string(mesh.vertices.size()) + ";\r\n";
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const auto& v = mesh.vertices[i];
    s += " " + fmt(v.x) + ";" + fmt(v.y) + ";" + fmt(v.z) + ";" + (i + 1 < mesh.vertices.size() ? "," : ";") + "\r\n";
  }
  s += " " + std::to_string(mesh.faces.size()) + ";\r\n";
  for (size_t i = 0; i < mesh.faces.size(); ++i) {
    const auto& f = mesh.faces[i];
    s += " 3;" + std::to_string(f[0]) + "," + std::to_string(f[1]) + "," + std::to_string(f[2]) + ";" +
         (i + 1 < mesh.faces.size() ? "," : ";") + "\r\n";
  }
  s += " MeshTextureCoords {\r\n  " + std::to_string(mesh.vertices.size()) + ";\r\n";
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const auto& v = mesh.vertices[i];
    s += "  " + fmt(v.u) + ";" + fmt(v.v) + ";" + (i + 1 < mesh.vertices.size() ? "," : ";") + "\r\n";
  }
  s += " }\r\n";
  s += " MeshMaterialList {\r\n  1;\r\n  " + std::to_string(mesh.faces.size()) + ";\r\n";
  for (size_t i = 0; i < mesh.faces.size(); ++i) s += i + 1 < mesh.faces.size() ? "  0,\r\n" : "  0;\r\n";
  s += "  Material {\r\n   1.000000;1.000000;1.000000;1.000000;;\r\n   0.000000;\r\n";
  s += "   0.000000;0.000000;0.000000;;\r\n   0.000000;0.000000;0.000000;;\r\n";
  if (!texture.empty()) s += "   TextureFilename {\r\n    \"" + std::string(texture) + "\";\r\n   }\r\n";
  s += "  }\r\n }\r\n}\r\n";
  return to_bytes(s);
}

Bytes tds_encode(const Mesh& mesh, std::string_view name) {
  // 3D Studio stores z up: the scene's (x, y, z) is written as (x, z, y), which also turns the
  // clockwise faces into the format's counter-clockwise ones.
  Bytes vertices;
  put_u16(vertices, static_cast<uint32_t>(mesh.vertices.size()));
  for (const auto& v : mesh.vertices) {
    put_f32(vertices, v.x);
    put_f32(vertices, v.z);
    put_f32(vertices, v.y);
  }
  Bytes mapping;
  put_u16(mapping, static_cast<uint32_t>(mesh.vertices.size()));
  for (const auto& v : mesh.vertices) {
    put_f32(mapping, v.u);
    put_f32(mapping, 1.f - v.v);
  }
  Bytes faces;
  put_u16(faces, static_cast<uint32_t>(mesh.faces.size()));
  for (const auto& f : mesh.faces) {
    for (int32_t i : f) put_u16(faces, static_cast<uint32_t>(i));
    put_u16(faces, 7);  // edge visibility flags
  }
  Bytes trimesh;
  put_chunk(trimesh, 0x4110, vertices);
  put_chunk(trimesh, 0x4140, mapping);
  put_chunk(trimesh, 0x4120, faces);
  Bytes object;
  put_text(object, name);
  put_u8(object, 0);
  put_chunk(object, 0x4100, trimesh);
  Bytes editor;
  Bytes mesh_version;
  put_u32(mesh_version, 3);
  put_chunk(editor, 0x3D3E, mesh_version);
  put_chunk(editor, 0x4000, object);
  Bytes main;
  Bytes version;
  put_u32(version, 3);
  put_chunk(main, 0x0002, version);
  put_chunk(main, 0x3D3D, editor);
  Bytes file;
  put_chunk(file, 0x4D4D, main);
  return file;
}

}  // namespace korva::mkdata
