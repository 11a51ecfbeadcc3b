// The scene frame keywords as brains call them. Frame handles index the scene's frame table;
// element handles reach an element's scene frame. Positions cross between position units
// (512000 per scene unit) and scene units here; angles between angle units and radians.
#include "render/frame_keywords.h"

#include "brain/brain.h"

#include <climits>
#include <cmath>
#include <string>

#include "devices/input.h"
#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "engine/rotation.h"
#include "model/model.h"
#include "model/run_state.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "runtime/text_argument.h"

namespace korva {
namespace frames {
namespace {

constexpr double kUnit = 512000.0;  // position units per scene unit
constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;

bool is_frame_handle(int32_t h) { return (h & kFrameHandleBit) != 0; }

// The record of an element of the project, or nullptr (records past the last element repeat
// the last one during a run).
uint8_t* element(const System& s, int32_t e) {
  const int32_t index = element_index_of(e);
  if (index < 0 || (s.model && index > s.model->last_index)) return nullptr;
  return instance_at(s, e);
}

const render::SceneElement* scene_element(const System& s, int32_t e) {
  const int32_t index = element_index_of(e);
  if (!s.scene || !element(s, e) || index >= static_cast<int32_t>(s.scene->elements.size())) return nullptr;
  return &s.scene->elements[size_t(index)];
}

// The frame of an element whose visual is an .x model: the frame its state places.
rm::Frame* model_element_frame(const System& s, int32_t e) {
  const render::SceneElement* se = scene_element(s, e);
  return se && se->kind == render::ElementKind::Model && se->frame ? se->frame.get() : nullptr;
}

// A frame handle's frame, or a model element's frame.
rm::Frame* frame_or_model(const System& s, int32_t e) {
  return is_frame_handle(e) ? frame_of(s, e) : model_element_frame(s, e);
}

// The reference a position or angle is measured against: 0 the main scene, a frame handle its
// frame. False for anything else (the keyword then answers 0).
bool reference(const System& s, int32_t ref, const rm::Frame*& out) {
  if (ref == 0) {
    out = s.scene ? s.scene->main.get() : nullptr;
    return out != nullptr;
  }
  out = is_frame_handle(ref) ? frame_of(s, ref) : nullptr;
  return out != nullptr;
}

int32_t saturate(double v) {
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(std::lround(v));
}

int32_t component(rm::vec3 v, int32_t c, double scale) {
  return c >= 0 && c < 3 ? saturate(double(v[c]) * scale) : c;
}

// The rotation of a angle units about (x, y, z) (any length); the null axis is z.
rm::quat axis_rotation(int32_t x, int32_t y, int32_t z, int32_t a) {
  rm::vec3 axis{float(x), float(y), float(z)};
  if (x == 0 && y == 0 && z == 0) axis = rm::vec3(0.0f, 0.0f, 1.0f);
  return glm::angleAxis(float(double(a) * render::kRadiansPerAngle), glm::normalize(axis));
}

int32_t angle_units(double radians) {
  return normalise_angle(saturate(radians * kDegreesPerRadian * kAngleUnitsPerDegree) % kFullTurn);
}

// A copy of f and everything below it under parent, with meshes and lights of its own (so that
// reshaping one copy leaves the other alone); textures are shared, as they are never reshaped.
rm::FramePtr frame_copy(const rm::Frame& f, rm::Frame* parent) {
  rm::FramePtr c = rm::frame_create(parent);
  c->position = f.position;
  c->basis = f.basis;
  c->traversal = f.traversal;
  c->zbuffer = f.zbuffer;
  c->material = f.material;
  c->sort_mode = f.sort_mode;
  c->background = f.background;
  c->fog = f.fog;
  c->name = f.name;
  c->user = f.user;
  for (const rm::Visual& v : f.visuals) {
    if (const auto* m = std::get_if<rm::MeshPtr>(&v); m && *m) {
      c->visuals.emplace_back(std::make_shared<rm::Mesh>(**m));
    } else if (const auto* cv = std::get_if<rm::ClippedPtr>(&v); cv && *cv) {
      auto clipped = std::make_shared<rm::ClippedVisual>(**cv);
      if (clipped->mesh) clipped->mesh = std::make_shared<rm::Mesh>(*clipped->mesh);
      c->visuals.emplace_back(std::move(clipped));
    } else {
      c->visuals.push_back(v);
    }
  }
  for (const rm::LightPtr& l : f.lights)
    if (l) c->lights.push_back(std::make_shared<rm::Light>(*l));
  for (const rm::FramePtr& child : f.children)
    if (child) frame_copy(*child, c.get());
  return c;
}

size_t mesh_bytes(const rm::Mesh& m) {
  return sizeof(rm::Mesh) + m.vertices.size() * sizeof(rm::vec3) + m.normals.size() * sizeof(rm::vec3) +
         m.uvs.size() * sizeof(rm::vec2) + m.faces.size() * sizeof(rm::Face);
}

// The handle of f when it is already in the table (so that asking for the same part again
// does not fill the table), else -1.
int32_t handle_in_table(const System& s, const rm::Frame* f) {
  const render::FrameTable& t = s.scene->frames;
  for (int32_t i = 0; i < t.mark && i < static_cast<int32_t>(t.entries.size()); ++i)
    if (t.entries[size_t(i)].get() == f) return i | kFrameHandleBit;
  return -1;
}

// The active, shown cameras' viewports in element order: the views the mouse picks through.
template <typename Visit>
bool for_each_camera_view(const System& s, Visit&& visit) {
  if (!s.scene) return false;
  const render::Scene& scene = *s.scene;
  for (size_t i = 0; i < scene.elements.size(); ++i) {
    const render::SceneElement& se = scene.elements[i];
    if (se.kind != render::ElementKind::Camera || se.viewport < 0 ||
        se.viewport >= static_cast<int32_t>(scene.viewports.size()))
      continue;
    const uint8_t* r = element(s, element_handle(int32_t(i)));
    if (!r || (word(r, ir::kFlags) & (ir::kFlagActive | ir::kFlagShown)) != (ir::kFlagActive | ir::kFlagShown)) continue;
    const rm::Viewport& vp = scene.viewports[size_t(se.viewport)];
    if (vp.camera && visit(vp)) return true;
  }
  return false;
}

// The element whose scene frame holds f (f itself or an ancestor), or -1.
int32_t element_holding(const System& s, const rm::Frame* f) {
  const std::vector<render::SceneElement>& elements = s.scene->elements;
  for (; f; f = f->parent)
    for (size_t i = 0; i < elements.size(); ++i)
      if (elements[i].frame.get() == f && element(s, element_handle(int32_t(i)))) return int32_t(i);
  return -1;
}

// The element under the mouse cursor: the nearest hit of the first camera view whose ray
// through the cursor meets a mesh of the main scene, hits inside element skip passed through.
// The handle, or 0 when the nearest hit is no element's or nothing is hit.
int32_t element_under_mouse(const System& s, int32_t skip) {
  if (!s.scene || !s.scene->main || !s.input) return 0;
  const float mx = float(s.input->mouse_x), my = float(s.input->mouse_y);
  int32_t found = 0;
  for_each_camera_view(s, [&](const rm::Viewport& vp) {
    for (const rm::PickHit& hit : rm::viewport_pick(vp, *s.scene->main, mx, my)) {
      const int32_t index = element_holding(s, hit.frame);
      if (index >= 0 && element_handle(index) == skip) continue;
      found = index >= 0 ? element_handle(index) : 0;
      return true;
    }
    return false;
  });
  return found;
}

}  // namespace

int64_t frame_bytes(const rm::Frame& f) {
  int64_t n = sizeof(rm::Frame);
  for (const rm::Visual& v : f.visuals) {
    if (const auto* m = std::get_if<rm::MeshPtr>(&v); m && *m)
      n += int64_t(mesh_bytes(**m));
    else if (const auto* cv = std::get_if<rm::ClippedPtr>(&v); cv && *cv && (*cv)->mesh)
      n += int64_t(mesh_bytes(*(*cv)->mesh));
  }
  n += int64_t(f.lights.size() * sizeof(rm::Light));
  for (const rm::FramePtr& child : f.children)
    if (child) n += frame_bytes(*child);
  return n;
}

bool scene_has_room(const System& s, int64_t bytes) {
  if (!s.scene) return false;
  int64_t held = bytes;
  for (const rm::FramePtr& root : {s.scene->main, s.scene->overlay})
    if (root) held += frame_bytes(*root);
  return held <= s.scene->frames.bytes_max;
}

rm::Frame* frame_of(const System& s, int32_t handle) {
  if (!s.scene || !is_frame_handle(handle)) return nullptr;
  const render::FrameTable& t = s.scene->frames;
  const int32_t index = handle & ~kFrameHandleBit;
  if (index >= t.mark || index >= static_cast<int32_t>(t.entries.size())) return nullptr;
  return t.entries[size_t(index)].get();
}

int32_t frame_enter(System& s, rm::FramePtr f) {
  if (!s.scene || !f) return -1;
  render::FrameTable& t = s.scene->frames;
  int32_t index = 0;
  while (index < t.mark && t.entries[size_t(index)]) ++index;
  if (index >= kFrameTableEntries) return -1;
  if (index == t.mark) {
    ++t.mark;
    if (static_cast<int32_t>(t.entries.size()) < t.mark) t.entries.resize(size_t(t.mark));
  }
  t.entries[size_t(index)] = std::move(f);
  return index | kFrameHandleBit;
}

int32_t position(System& s, int32_t e, int32_t ref, int32_t c) {
  const rm::Frame* base = nullptr;
  rm::Frame* f = frame_or_model(s, e);
  if (!f || !reference(s, ref, base)) return 0;
  return component(rm::frame_position(*f, base), c, kUnit);
}

void position_set(System& s, int32_t e, int32_t x, int32_t y, int32_t z) {
  if (is_frame_handle(e)) {
    if (rm::Frame* f = frame_of(s, e))
      rm::frame_set_position(*f, f->parent, rm::vec3(float(x / kUnit), float(y / kUnit), float(z / kUnit)));
    return;
  }
  if (uint8_t* r = element(s, e)) {
    set_word(r, ir::kPosX, x);
    set_word(r, ir::kPosY, y);
    set_word(r, ir::kPosZ, z);
  }
}

void rotation_axis_set(System& s, int32_t x, int32_t y, int32_t z, int32_t a) {
  if (s.scene) s.scene->frames.rotation = axis_rotation(x, y, z, a);
}

void rotation_axis_add(System& s, int32_t x, int32_t y, int32_t z, int32_t a) {
  if (!s.scene) return;
  rm::quat& q = s.scene->frames.rotation;
  q = glm::normalize(q * axis_rotation(x, y, z, a));
}

// An element's rotation is Qy(-ry)·Qz(rz)·Qx(rx) (render::element_rotation); the angles are
// read back from the matrix of that product, R = Ry(b)·Rz(g)·Rx(a) with b = -ry:
// R10 = sin g, R11 = cos g cos a, R12 = -cos g sin a, R00 = cos b cos g, R20 = -sin b cos g.
// With cos g near 0 only a + b or a - b is fixed; a is taken as 0 and b read from R02, R22.
void orientation_set(System& s, int32_t e) {
  if (!s.scene) return;
  const rm::quat q = s.scene->frames.rotation;
  if (is_frame_handle(e)) {
    if (rm::Frame* f = frame_of(s, e)) rm::frame_set_rotation(*f, f->parent, q);
    return;
  }
  uint8_t* r = element(s, e);
  if (!r) return;
  const glm::dmat3 m = glm::mat3_cast(glm::dquat(q.w, q.x, q.y, q.z));
  auto R = [&](int row, int col) { return m[col][row]; };  // glm stores columns
  // g from atan2, not asin: asin loses most of its precision next to a quarter turn.
  const double cos_g = std::hypot(R(1, 1), R(1, 2));
  const double g = std::atan2(R(1, 0), cos_g);
  double a = 0.0, b = 0.0;
  if (cos_g > 1e-6) {
    a = std::atan2(-R(1, 2), R(1, 1));
    b = std::atan2(-R(2, 0), R(0, 0));
  } else {
    b = std::atan2(R(0, 2), R(2, 2));
  }
  set_word(r, ir::kRotX, angle_units(a));
  set_word(r, ir::kRotY, angle_units(-b));
  set_word(r, ir::kRotZ, angle_units(g));
}

int32_t rotation_angle(System& s, int32_t e, int32_t ref) {
  const rm::Frame* base = nullptr;
  rm::Frame* f = frame_or_model(s, e);
  if (!f || !reference(s, ref, base)) return 0;
  rm::quat q = glm::normalize(rm::frame_rotation(*f, base));
  if (q.w < 0.0f) q = -q;  // the angle in 0..180 degrees, about the matching axis
  const double half_sin = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z);
  const double angle = 2.0 * std::atan2(half_sin, double(q.w));
  if (half_sin > 1e-9) s.scene->frames.axis = rm::vec3(float(q.x / half_sin), float(q.y / half_sin), float(q.z / half_sin));
  else s.scene->frames.axis = rm::vec3(0.0f, 0.0f, 1.0f);  // no turn: any axis, z by convention
  return saturate(angle * kDegreesPerRadian * kAngleUnitsPerDegree);
}

int32_t rotation_axis(System& s, int32_t c) {
  return s.scene ? component(s.scene->frames.axis, c, kUnit) : (c >= 0 && c < 3 ? 0 : c);
}

int32_t local_axis(System& s, int32_t e, int32_t a, int32_t c) {
  const uint8_t* r = element(s, e);
  if (!r || a < 0 || a > 2 || c < 0 || c > 2) return 0;
  IVec3 v;
  (a == 0 ? v.x : a == 1 ? v.y : v.z) = static_cast<int32_t>(kUnit);
  rotate_about_x(*s.core, v, word(r, ir::kRotX));
  rotate_about_z(*s.core, v, word(r, ir::kRotZ));
  rotate_about_y(*s.core, v, word(r, ir::kRotY));
  return c == 0 ? v.x : c == 1 ? v.y : v.z;
}

// An element's model frame (the loaded model under the element's frame, which each pass shows
// and hides by itself) or a frame handle's frame.
void h_part_show(System& s, int32_t h, int32_t v) {
  rm::Frame* f = nullptr;
  if (is_frame_handle(h)) {
    f = frame_of(s, h);
  } else if (const render::SceneElement* se = scene_element(s, h)) {
    if (se->kind == render::ElementKind::Model && se->model && se->model->frame) f = se->model->frame.get();
  }
  if (f) rm::frame_set_traversal(*f, v == 1 ? rm::kTraverseRender | rm::kTraversePick : 0);
}

// A model read from a file into a new frame under parent (0: the main scene); its handle, or -1
// when the file gives no model, the frame table is full or the model would take the scene past
// its cap.
int32_t x_load(System& s, int32_t name, int32_t parent) {
  const rm::Frame* under = nullptr;
  if (!s.scene || !reference(s, parent, under)) return -1;
  const std::string path(text_argument(s, name));
  render::XModel model;
  if (path.empty() || !render::read_x(path, model, s.scene->textures, "") || !model.frame) return -1;
  if (!scene_has_room(s, frame_bytes(*model.frame))) return -1;
  rm::FramePtr f = rm::frame_create(const_cast<rm::Frame*>(under));
  const int32_t handle = frame_enter(s, f);
  if (handle == -1) {
    rm::frame_remove_child(*f->parent, f.get());
    return -1;
  }
  rm::frame_add_child(*f, model.frame);
  return handle;
}

void x_kill(System& s, int32_t f) {
  rm::Frame* frame = frame_of(s, f);
  if (!frame) return;
  render::FrameTable& t = s.scene->frames;
  const int32_t index = f & ~kFrameHandleBit;
  rm::FramePtr keep = std::move(t.entries[size_t(index)]);
  if (keep->parent) rm::frame_remove_child(*keep->parent, keep.get());
  if (index == t.mark - 1) --t.mark;
}

// For each active, shown camera in element order: the ray from the camera's position through
// the cursor at the viewport's back plane, against f and its children.
int32_t x_picked(System& s, int32_t f) {
  rm::Frame* target = is_frame_handle(f) ? frame_of(s, f) : nullptr;
  if (!target) {
    const render::SceneElement* se = scene_element(s, f);
    target = se && se->frame ? se->frame.get() : nullptr;
  }
  if (!target || !s.input) return 0;
  const float mx = float(s.input->mouse_x), my = float(s.input->mouse_y);
  const bool hit = for_each_camera_view(s, [&](const rm::Viewport& vp) {
    const rm::vec3 eye = rm::frame_position(*vp.camera, nullptr);
    const rm::vec3 through = rm::viewport_inverse_transform(vp, rm::vec3(mx, my, 1.0f));
    const rm::vec3 direction = through - eye;
    if (!(glm::dot(direction, direction) > 0.0f)) return false;
    const std::vector<rm::PickHit> hits = rm::frame_ray_pick(*target, nullptr, eye, direction);
    if (hits.empty()) return false;
    s.scene->frames.pick = hits.front().position;
    return true;
  });
  return hit ? -1 : 0;
}

int32_t x_pick_pt(System& s, int32_t c) {
  return s.scene ? component(s.scene->frames.pick, c, kUnit) : (c >= 0 && c < 3 ? 0 : c);
}

// A copy of an element's .x model (in a new frame at the origin of parent) or of a frame
// handle's frame (with its placement, under parent); parent is 0 (the main scene) or a frame
// handle. The copy's meshes are its own; the model's animations stay with the model. -1 when
// the copy would take the scene past its cap (render::kSceneBytesMax).
int32_t x_clone(System& s, int32_t source, int32_t parent) {
  const rm::Frame* under = nullptr;
  if (!s.scene || !reference(s, parent, under)) return -1;
  const rm::Frame* original = nullptr;
  if (is_frame_handle(source)) {
    original = frame_of(s, source);
  } else {
    const render::SceneElement* se = scene_element(s, source);
    if (se && se->kind == render::ElementKind::Model && se->model) original = se->model->frame.get();
  }
  if (!original) return -1;
  if (!scene_has_room(s, frame_bytes(*original))) return -1;
  // The copy is made apart and attached afterwards: a frame copied under itself would
  // otherwise meet its own copy among the children it is copying.
  rm::FramePtr copy;
  if (is_frame_handle(source)) {
    copy = frame_copy(*original, nullptr);
  } else {
    copy = rm::frame_create(nullptr);
    frame_copy(*original, copy.get());
  }
  const int32_t handle = frame_enter(s, copy);
  if (handle != -1) rm::frame_add_child(*const_cast<rm::Frame*>(under), copy);
  return handle;
}

// A part of element e's .x model as a frame handle: from the model's root frame down the
// child indices c1..c4, a -1 ending the path. The part stays in the model (it moves and shows
// with it); asking for a part already in the table gives its handle again. -1 when e has no
// model or the path leads nowhere.
int32_t x_element_get(System& s, int32_t e, int32_t c1, int32_t c2, int32_t c3, int32_t c4) {
  const render::SceneElement* se = scene_element(s, e);
  if (!se || se->kind != render::ElementKind::Model || !se->model || !se->model->frame) return -1;
  rm::FramePtr f = se->model->frame;
  for (int32_t c : {c1, c2, c3, c4}) {
    if (c == -1) break;
    if (c < 0 || c >= static_cast<int32_t>(f->children.size()) || !f->children[size_t(c)]) return -1;
    f = f->children[size_t(c)];
  }
  const int32_t known = handle_in_table(s, f.get());
  return known != -1 ? known : frame_enter(s, std::move(f));
}

int32_t scene_pick(System& s) {
  const int32_t e = element_under_mouse(s, 0);
  return e != 0 ? e : kNothingPicked;
}

// The picking flag holds the last answer of scene_pick once a step has run it.
int32_t visual_picked(System& s, int32_t e) {
  return s.brain && element(s, e) && s.brain->picking == e ? -1 : 0;
}

// The step's answer while picking runs; otherwise (no brain calls visual_picked, or no step
// has picked yet) the element under the mouse now.
int32_t visual_picked_get(System& s) {
  const int32_t answer = s.brain ? s.brain->picking : 0;
  if (answer == kNothingPicked) return 0;
  if (element_index_of(answer) >= 0) return element(s, answer) ? answer : 0;
  return element_under_mouse(s, 0);
}

int32_t visual_picked_get_ex(System& s, int32_t skip) { return element_under_mouse(s, skip); }

// From element e's position along its own z axis (its rotation by the integer rule) against
// target's meshes, in the main scene's units: the distance to the nearest hit, or 0.
int32_t visual_ray(System& s, int32_t e, int32_t target) {
  const uint8_t* r = element(s, e);
  rm::Frame* t = is_frame_handle(target) ? frame_of(s, target) : nullptr;
  if (!t) {
    const render::SceneElement* se = scene_element(s, target);
    t = se && se->frame ? se->frame.get() : nullptr;
  }
  if (!r || !t || !s.scene->main) return 0;
  const rm::vec3 origin(float(word(r, ir::kPosX) / kUnit), float(word(r, ir::kPosY) / kUnit),
                        float(word(r, ir::kPosZ) / kUnit));
  const rm::vec3 direction(float(local_axis(s, e, 2, 0)), float(local_axis(s, e, 2, 1)),
                           float(local_axis(s, e, 2, 2)));
  const std::vector<rm::PickHit> hits = rm::frame_ray_pick(*t, s.scene->main.get(), origin, direction);
  return hits.empty() ? 0 : saturate(double(hits.front().distance) * kUnit);
}

}  // namespace frames

void connect_frame_hooks(System& s) {
  if (!s.run) return;
  System* sys = &s;
  // disable clears and enable sets bit 1 (picking) of the frame's traversal options.
  s.run->hooks.frame_enable = [sys](int32_t index, bool on) {
    if (rm::Frame* f = frames::frame_of(*sys, index | frames::kFrameHandleBit))
      rm::frame_set_traversal(*f, on ? f->traversal | rm::kTraversePick : f->traversal & ~uint32_t(rm::kTraversePick));
  };
  s.run->hooks.frame_position = [sys](int32_t index, double& x, double& y, double& z) {
    rm::Frame* f = frames::frame_of(*sys, index | frames::kFrameHandleBit);
    if (!f) return false;
    const rm::vec3 p = f->position;  // relative to the parent
    x = p.x, y = p.y, z = p.z;
    return true;
  };
}

void bind_frame_keywords(KeywordBindings& b) {
  using namespace frames;
  static const KeywordBinding kEntries[] = {
      {"position", keyword_routine<position>},
      {"position_set", keyword_routine<position_set>},
      {"rotation_axis_set", keyword_routine<rotation_axis_set>},
      {"rotation_axis_add", keyword_routine<rotation_axis_add>},
      {"orientation_set", keyword_routine<orientation_set>},
      {"rotation_angle", keyword_routine<rotation_angle>},
      {"rotation_axis", keyword_routine<rotation_axis>},
      {"local_axis", keyword_routine<local_axis>},
      {"h_part_show", keyword_routine<h_part_show>},
      {"x_load", keyword_routine<x_load>},
      {"x_kill", keyword_routine<x_kill>},
      {"x_picked", keyword_routine<x_picked>},
      {"x_pick_pt", keyword_routine<x_pick_pt>},
      {"x_clone", keyword_routine<x_clone>},
      {"x_element_get", keyword_routine<x_element_get>},
      {"visual_picked", keyword_routine<visual_picked>},
      {"visual_picked_get", keyword_routine<visual_picked_get>},
      {"visual_picked_get_ex", keyword_routine<visual_picked_get_ex>},
      {"visual_ray", keyword_routine<visual_ray>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
