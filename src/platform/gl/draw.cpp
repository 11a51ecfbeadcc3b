// Renders a viewport of an rm scene with the fixed-function OpenGL pipeline: lights, fog,
// flat or Gouraud shading, textures with wraps, decals, clipped meshes and material overrides.
#include <algorithm>
#include <array>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "platform/gl/gl_local.h"

namespace korva::gl {

using rm::vec2;
using rm::vec3;
using rm::vec4;
using rm::mat4;

namespace {

// GL's eye space looks along -z; the scene's cameras look along +z. Mirroring z in the
// modelview (and back in the projection) keeps the picture and makes GL's lighting work.
const mat4 kMirror = glm::scale(mat4(1.0f), vec3(1.0f, 1.0f, -1.0f));

struct Item {
  const rm::Frame* frame = nullptr;
  const rm::Visual* visual = nullptr;
  mat4 world{1.0f};
  const rm::MaterialOverride* material = nullptr;
  bool zbuffer = true;
  bool transparent = false;
  float depth = 0.0f;  // distance ahead of the camera
  // The nearest frame above that sorts its own visuals, and where its origin lies.
  const rm::Frame* group = nullptr;
  mat4 group_world{1.0f};
  float group_depth = 0.0f;
};

struct LightItem {
  const rm::Light* light = nullptr;
  mat4 world{1.0f};
};

void collect(const rm::Frame& f, const mat4& parent, const rm::MaterialOverride* material,
             bool zbuffer, const rm::Frame* group, const mat4& group_world, std::vector<Item>& items,
             std::vector<LightItem>& lights) {
  if (!(f.traversal & rm::kTraverseRender)) return;
  const mat4 world = parent * rm::frame_local(f);
  if (f.material) material = &*f.material;
  if (f.zbuffer != rm::ZBufferMode::FromParent) zbuffer = f.zbuffer == rm::ZBufferMode::Enable;
  const bool starts_group = f.sorts_below && f.parent;  // a root sorts everything anyway
  const rm::Frame* g = starts_group ? &f : group;
  const mat4& gw = starts_group ? world : group_world;
  for (const auto& v : f.visuals) {
    Item it{&f, &v, world, material, zbuffer};
    it.group = g;
    it.group_world = gw;
    items.push_back(it);
  }
  for (const auto& l : f.lights)
    if (l && l->enabled) lights.push_back({l.get(), world});
  for (const auto& c : f.children) collect(*c, world, material, zbuffer, g, gw, items, lights);
}

// Orders a and b by depth in a sort mode; false when the mode leaves them as they are.
bool sorted_before(rm::SortMode mode, float a, float b) {
  if (mode == rm::SortMode::FrontToBack) return a < b;
  if (mode == rm::SortMode::BackToFront) return a > b;
  return false;
}

bool mesh_transparent(const rm::Mesh& m, const rm::MaterialOverride* material) {
  if (material && (material->flags & rm::kMaterialDiffuseAlpha) && material->diffuse.a < 1.0f)
    return true;
  for (const auto& f : m.faces)
    if (f.color.a < 1.0f || (f.texture && f.texture->transparent)) return true;
  return false;
}

void setup_lights(const std::vector<LightItem>& lights, const mat4& eye_from_world) {
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(glm::value_ptr(eye_from_world));
  GLint max_lights = 8;
  glGetIntegerv(GL_MAX_LIGHTS, &max_lights);
  vec4 ambient(0.0f, 0.0f, 0.0f, 1.0f);
  int used = 0;
  for (const auto& li : lights) {
    const rm::Light& l = *li.light;
    if (l.kind == rm::LightKind::Ambient) {
      ambient += vec4(l.color, 0.0f);
      continue;
    }
    if (used >= max_lights) continue;
    const GLenum id = GLenum(GL_LIGHT0 + used++);
    glEnable(id);
    const vec4 color(l.color, 1.0f), black(0.0f, 0.0f, 0.0f, 1.0f);
    glLightfv(id, GL_AMBIENT, glm::value_ptr(black));
    glLightfv(id, GL_DIFFUSE, glm::value_ptr(color));
    glLightfv(id, GL_SPECULAR, glm::value_ptr(color));
    const vec3 origin = vec3(li.world[3]);
    const vec3 axis = glm::normalize(vec3(li.world[2]));
    const bool directed = l.kind == rm::LightKind::Directional || l.kind == rm::LightKind::ParallelPoint;
    const vec4 position = directed ? vec4(-axis, 0.0f) : vec4(origin, 1.0f);
    glLightfv(id, GL_POSITION, glm::value_ptr(position));
    // A light with no attenuation at all would divide by zero; treat it as unattenuated.
    const bool none = l.constant <= 0.0f && l.linear <= 0.0f && l.quadratic <= 0.0f;
    glLightf(id, GL_CONSTANT_ATTENUATION, none ? 1.0f : std::max(l.constant, 0.0f));
    glLightf(id, GL_LINEAR_ATTENUATION, none ? 0.0f : std::max(l.linear, 0.0f));
    glLightf(id, GL_QUADRATIC_ATTENUATION, none ? 0.0f : std::max(l.quadratic, 0.0f));
    if (l.kind == rm::LightKind::Spot) {
      const float cutoff = std::clamp(glm::degrees(l.penumbra), 0.0f, 90.0f);
      glLightf(id, GL_SPOT_CUTOFF, cutoff);
      glLightf(id, GL_SPOT_EXPONENT, l.umbra < l.penumbra ? 2.0f : 0.0f);
      glLightfv(id, GL_SPOT_DIRECTION, glm::value_ptr(axis));
    } else {
      glLightf(id, GL_SPOT_CUTOFF, 180.0f);
    }
  }
  for (int i = used; i < max_lights; ++i) glDisable(GLenum(GL_LIGHT0 + i));
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, glm::value_ptr(ambient));
}

void apply_material(const rm::MaterialOverride* m, float power) {
  const vec4 black(0.0f, 0.0f, 0.0f, 1.0f);
  if (!m) {
    // The mesh's own material: face colours, and white highlights when it has a power.
    const vec4 specular = power > 0.0f ? vec4(1.0f) : black;
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, glm::value_ptr(black));
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, glm::value_ptr(specular));
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(power, 0.0f, 128.0f));
    return;
  }
  // Overridden parts replace the face colours; the rest keep them.
  const bool diffuse = m->flags & rm::kMaterialDiffuse, ambient = m->flags & rm::kMaterialAmbient;
  if (diffuse && ambient) {
    glDisable(GL_COLOR_MATERIAL);
  } else {
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, diffuse ? GL_AMBIENT : ambient ? GL_DIFFUSE
                                                                      : GL_AMBIENT_AND_DIFFUSE);
  }
  vec4 dif = m->diffuse;
  if (!(m->flags & rm::kMaterialDiffuseAlpha)) dif.a = 1.0f;
  if (diffuse) glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, glm::value_ptr(dif));
  if (ambient) glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, glm::value_ptr(m->ambient));
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION,
               glm::value_ptr(m->flags & rm::kMaterialEmissive ? m->emissive : black));
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR,
               glm::value_ptr(m->flags & rm::kMaterialSpecular ? m->specular : black));
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS,
              std::clamp(m->flags & rm::kMaterialPower ? m->power : 0.0f, 0.0f, 128.0f));
}

// One corner of an expanded triangle.
struct Corner {
  vec3 p, n;
  vec2 uv;
  vec4 color;
};

void push(Device& d, const Corner& c) {
  d.positions.insert(d.positions.end(), {c.p.x, c.p.y, c.p.z});
  d.normals.insert(d.normals.end(), {c.n.x, c.n.y, c.n.z});
  d.uvs.insert(d.uvs.end(), {c.uv.x, c.uv.y});
  d.colors.insert(d.colors.end(), {c.color.r, c.color.g, c.color.b, c.color.a});
}

// Cuts a convex polygon by the half-space dot(p - point, normal) >= 0.
std::vector<Corner> clip_polygon(const std::vector<Corner>& in, const rm::ClipPlane& plane) {
  std::vector<Corner> out;
  for (size_t i = 0; i < in.size(); ++i) {
    const Corner& a = in[i];
    const Corner& b = in[(i + 1) % in.size()];
    const float da = glm::dot(a.p - plane.point, plane.normal);
    const float db = glm::dot(b.p - plane.point, plane.normal);
    if (da >= 0.0f) out.push_back(a);
    if ((da >= 0.0f) != (db >= 0.0f)) {
      const float t = da / (da - db);
      out.push_back({glm::mix(a.p, b.p, t), glm::normalize(glm::mix(a.n, b.n, t)),
                     glm::mix(a.uv, b.uv, t), glm::mix(a.color, b.color, t)});
    }
  }
  return out;
}

// Expands a mesh into the device's scratch arrays (one corner after another), split into runs
// of faces sharing a texture; clipped meshes are cut by their planes on the way.
void expand_mesh(Device& d, const rm::Mesh& m, const std::vector<rm::ClipPlane>* planes,
                 std::vector<MeshRun>& runs) {
  d.positions.clear();
  d.normals.clear();
  d.uvs.clear();
  d.colors.clear();
  runs.clear();
  const auto nv = static_cast<int32_t>(m.vertices.size());
  const bool flat = m.quality != rm::Quality::Gouraud;
  const bool have_normals = m.normals.size() == m.vertices.size();
  std::vector<vec3> smooth;
  if (!flat && !have_normals) {  // Gouraud shading needs vertex normals: derive them
    smooth.assign(m.vertices.size(), vec3(0.0f));
    for (const auto& f : m.faces) {
      if (f.corners[0] >= nv || f.corners[1] >= nv || f.corners[2] >= nv) continue;
      const vec3 n = rm::face_normal(m, f);
      for (int32_t i : f.corners) smooth[size_t(i)] += n;
    }
    for (auto& n : smooth) n = glm::length(n) > 0.0f ? glm::normalize(n) : vec3(0, 1, 0);
  }
  for (const rm::Face& f : m.faces) {
    if (f.corners[0] >= nv || f.corners[1] >= nv || f.corners[2] >= nv || f.corners[0] < 0 ||
        f.corners[1] < 0 || f.corners[2] < 0)
      continue;
    const auto first = static_cast<int32_t>(d.positions.size() / 3);
    if (runs.empty() || runs.back().texture != f.texture.get()) runs.push_back({f.texture, f.texture.get(), first, 0});
    const vec3 fn = rm::face_normal(m, f);
    std::array<Corner, 3> tri;
    for (int k = 0; k < 3; ++k) {
      const auto vi = size_t(f.corners[size_t(k)]);
      tri[size_t(k)] = {m.vertices[vi], flat ? fn : have_normals ? m.normals[vi] : smooth[vi],
                        vi < m.uvs.size() ? m.uvs[vi] : vec2(0.0f), f.color};
    }
    // Against the planes, a triangle wholly outside one goes, one wholly inside all stays as
    // it is; only the others are cut.
    bool outside = false, inside = true;
    if (planes) {
      for (const auto& pl : *planes) {
        const float da = glm::dot(tri[0].p - pl.point, pl.normal);
        const float db = glm::dot(tri[1].p - pl.point, pl.normal);
        const float dc = glm::dot(tri[2].p - pl.point, pl.normal);
        if (da < 0.0f && db < 0.0f && dc < 0.0f) {
          outside = true;
          break;
        }
        inside = inside && da >= 0.0f && db >= 0.0f && dc >= 0.0f;
      }
    }
    if (outside) {
      // nothing of it is drawn
    } else if (!planes || inside) {
      for (const Corner& c : tri) push(d, c);
    } else {
      std::vector<Corner> poly(tri.begin(), tri.end());
      for (const auto& pl : *planes) {
        poly = clip_polygon(poly, pl);
        if (poly.size() < 3) break;
      }
      for (size_t k = 1; k + 1 < poly.size(); ++k) {
        push(d, poly[0]);
        push(d, poly[k]);
        push(d, poly[k + 1]);
      }
    }
    runs.back().count = static_cast<int32_t>(d.positions.size() / 3) - runs.back().first;
  }
}

// Draws the runs of an expanded mesh, from client arrays (base == nullptr: the scratch arrays)
// or from the bound buffer (offsets).
void draw_runs(Device& d, const rm::Mesh& m, const std::vector<MeshRun>& runs,
               const rm::TexturePtr& override_texture, const GLvoid* pos, const GLvoid* nor,
               const GLvoid* uv, const GLvoid* col) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, pos);
  glNormalPointer(GL_FLOAT, 0, nor);
  glColorPointer(4, GL_FLOAT, 0, col);
  glTexCoordPointer(2, GL_FLOAT, 0, uv);
  for (const MeshRun& r : runs) {
    if (r.count <= 0) continue;
    const rm::TexturePtr& texture = override_texture ? override_texture : r.owner;
    bool alpha = false;
    const uint32_t id = texture ? texture_bind(d, texture, alpha) : 0;
    if (id) {
      glEnable(GL_TEXTURE_2D);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      if (alpha) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.5f);
      }
      if (m.chrome) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
      }
    }
    glDrawArrays(GL_TRIANGLES, r.first, r.count);
    d.stats.triangles += r.count / 3;
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
  }
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

// shared: the mesh's pointer when the expanded copy may be kept in a buffer (unclipped
// meshes); clipped: the clipped visual m belongs to, whose cut copy is kept while unchanged.
void draw_mesh(Device& d, const rm::Mesh& m, const rm::MeshPtr& shared, const rm::ClippedPtr& clipped,
               const rm::MaterialOverride* material) {
  if (m.faces.empty() || m.vertices.empty()) return;
  const rm::TexturePtr override_texture =
      material && (material->flags & rm::kMaterialTexture) ? material->texture : nullptr;
  glPolygonMode(GL_FRONT_AND_BACK, m.quality == rm::Quality::Wireframe ? GL_LINE : GL_FILL);
  glShadeModel(m.quality != rm::Quality::Gouraud ? GL_FLAT : GL_SMOOTH);
  if (m.quality != rm::Quality::UnlitFlat) glEnable(GL_LIGHTING); else glDisable(GL_LIGHTING);
  apply_material(material, m.power);
  if (clipped) {
    ClippedEntry& e = d.clipped[clipped.get()];
    if (e.owner.lock() != clipped || e.mesh != &m || e.mesh_version != m.version ||
        e.planes_version != clipped->version) {
      e.owner = clipped;
      e.mesh = &m;
      e.mesh_version = m.version;
      e.planes_version = clipped->version;
      expand_mesh(d, m, &clipped->planes, e.runs);
      std::swap(e.positions, d.positions);
      std::swap(e.normals, d.normals);
      std::swap(e.uvs, d.uvs);
      std::swap(e.colors, d.colors);
    }
    draw_runs(d, m, e.runs, override_texture, e.positions.data(), e.normals.data(), e.uvs.data(),
              e.colors.data());
  } else if (!shared) {
    std::vector<MeshRun> runs;
    expand_mesh(d, m, nullptr, runs);
    draw_runs(d, m, runs, override_texture, d.positions.data(), d.normals.data(), d.uvs.data(),
              d.colors.data());
  } else {
    // Unchanged meshes are drawn from a buffer made once per version.
    MeshEntry& e = d.meshes[&m];
    if (!e.buffer || e.version != m.version || e.owner.lock() != shared) {
      if (!e.buffer) glGenBuffers(1, &e.buffer);
      e.owner = shared;
      e.version = m.version;
      expand_mesh(d, m, nullptr, e.runs);
      const size_t n = d.positions.size() / 3;
      e.corners = static_cast<int32_t>(n);
      glBindBuffer(GL_ARRAY_BUFFER, e.buffer);
      glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(n * 12 * sizeof(float)), nullptr, GL_STATIC_DRAW);
      glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(n * 3 * sizeof(float)), d.positions.data());
      glBufferSubData(GL_ARRAY_BUFFER, GLintptr(n * 3 * sizeof(float)), GLsizeiptr(n * 3 * sizeof(float)), d.normals.data());
      glBufferSubData(GL_ARRAY_BUFFER, GLintptr(n * 6 * sizeof(float)), GLsizeiptr(n * 2 * sizeof(float)), d.uvs.data());
      glBufferSubData(GL_ARRAY_BUFFER, GLintptr(n * 8 * sizeof(float)), GLsizeiptr(n * 4 * sizeof(float)), d.colors.data());
    }
    glBindBuffer(GL_ARRAY_BUFFER, e.buffer);
    const size_t n = size_t(e.corners);
    auto at = [](size_t floats) { return reinterpret_cast<const GLvoid*>(floats * sizeof(float)); };
    draw_runs(d, m, e.runs, override_texture, at(0), at(n * 3), at(n * 6), at(n * 8));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// A decal: a camera-facing rectangle at the frame's origin, unlit.
void draw_decal(Device& d, const rm::Viewport& v, const rm::TexturePtr& t, const vec3& eye_pos) {
  bool alpha = false;
  if (!t || !texture_bind(d, t, alpha)) return;
  const float z = -eye_pos.z;  // distance ahead in GL's eye space
  if (!(z > 0.0f)) return;
  float w = t->decal_width, h = t->decal_height;
  if (!t->decal_scale) {  // size in pixels: convert to eye units at this distance
    const float side = float(std::max(std::min(v.width, v.height), 1));
    const float pixel = 2.0f * v.field * z / (v.front * side);
    w *= pixel;
    h *= pixel;
  }
  const float ox = float(t->decal_origin_x) / float(t->width);
  const float oy = float(t->decal_origin_y) / float(t->height);
  const float left = eye_pos.x - ox * w, top = eye_pos.y + oy * h;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  if (alpha) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
  }
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(left, top, eye_pos.z);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(left + w, top, eye_pos.z);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(left, top - h, eye_pos.z);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(left + w, top - h, eye_pos.z);
  glEnd();
  d.stats.triangles += 2;
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
}

}  // namespace

void viewport_render(Device& d, const rm::Viewport& v, const rm::Frame& root) {
  if (!d.in_pass || !v.camera || v.width <= 0 || v.height <= 0) return;
  ++d.stats.viewports;
  const int32_t gl_y = d.height - v.y - v.height;
  glViewport(v.x, gl_y, v.width, v.height);
  glEnable(GL_SCISSOR_TEST);
  glScissor(v.x, gl_y, v.width, v.height);

  const mat4 view = kMirror * rm::viewport_view(v);
  const mat4 projection = rm::viewport_projection(v) * kMirror;
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(glm::value_ptr(projection));

  std::vector<Item> items;
  std::vector<LightItem> lights;
  collect(root, mat4(1.0f), nullptr, true, nullptr, mat4(1.0f), items, lights);
  setup_lights(lights, view);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, d.settings.view_dependent_specular ? GL_TRUE : GL_FALSE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);

  if (root.fog.enabled) {
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, root.fog.start);
    glFogf(GL_FOG_END, root.fog.end);
    const vec4 c(root.fog.color, 1.0f);
    glFogfv(GL_FOG_COLOR, glm::value_ptr(c));
  } else {
    glDisable(GL_FOG);
  }

  for (auto& it : items) {
    it.depth = -(view * it.world[3]).z;
    it.group_depth = it.group ? -(view * it.group_world[3]).z : it.depth;
    // A broken transform must not break the ordering the sort relies on.
    if (!std::isfinite(it.depth)) it.depth = 0.0f;
    if (!std::isfinite(it.group_depth)) it.group_depth = 0.0f;
    if (auto mp = std::get_if<rm::MeshPtr>(it.visual); mp && *mp)
      it.transparent = d.settings.sorted_transparency && mesh_transparent(**mp, it.material);
    else if (auto cp = std::get_if<rm::ClippedPtr>(it.visual); cp && *cp && (*cp)->mesh)
      it.transparent = d.settings.sorted_transparency && mesh_transparent(*(*cp)->mesh, it.material);
    else if (auto dp = std::get_if<rm::TexturePtr>(it.visual); dp && *dp)
      it.transparent = d.settings.sorted_transparency && (*dp)->transparent;
  }
  // The root's mode orders items (a sorting frame's visuals as one, at its origin); a sorting
  // frame's own mode orders its visuals among themselves.
  std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if (a.group != b.group || !a.group) {
      if (sorted_before(root.sort_mode, a.group_depth, b.group_depth)) return true;
      if (sorted_before(root.sort_mode, b.group_depth, a.group_depth)) return false;
      return std::less<const rm::Frame*>()(a.group, b.group);
    }
    return sorted_before(a.group->sort_mode, a.depth, b.depth);
  });
  if (d.settings.sorted_transparency)  // transparent items after the opaque ones, far first
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
      if (a.transparent != b.transparent) return !a.transparent;
      return a.transparent && a.depth > b.depth;
    });

  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);  // clockwise on screen is the front
  glCullFace(GL_BACK);
  glEnable(GL_NORMALIZE);
  glDisable(GL_BLEND);
  glDisable(GL_DITHER);

  for (const auto& it : items) {
    if (it.zbuffer) {
      glEnable(GL_DEPTH_TEST);
      glDepthFunc(GL_LEQUAL);
      glDepthMask(GL_TRUE);
    } else {
      glDisable(GL_DEPTH_TEST);
      glDepthMask(GL_FALSE);
    }
    if (it.transparent && d.settings.blended_transparency) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
      glDisable(GL_BLEND);
    }
    if (auto dp = std::get_if<rm::TexturePtr>(it.visual)) {
      draw_decal(d, v, *dp, vec3(view * it.world[3]));
      continue;
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(glm::value_ptr(view * it.world));
    if (auto mp = std::get_if<rm::MeshPtr>(it.visual); mp && *mp)
      draw_mesh(d, **mp, *mp, nullptr, it.material);
    else if (auto cp = std::get_if<rm::ClippedPtr>(it.visual); cp && *cp && (*cp)->mesh)
      draw_mesh(d, *(*cp)->mesh, nullptr, *cp, it.material);
  }
  glDisable(GL_BLEND);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_SCISSOR_TEST);
  glDepthMask(GL_TRUE);
}

}  // namespace korva::gl
