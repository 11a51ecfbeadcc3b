// The element appearance keywords as brains call them. The instance record holds what the
// scene shows (current aspect, shown flag, scale), and each rendered frame's synchronisation
// carries it to the scene; what lives only in the scene (light colours, material colours, the
// camera field, the background colour) is changed there, and without a scene nothing happens.
#include "render/appearance_keywords.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>

#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "model/model.h"
#include "render/frame_keywords.h"
#include "render/overlay.h"
#include "render/scene.h"

namespace korva {
namespace {

constexpr int32_t kFrameHandleBit = int32_t(0x80000000u);

// The record of an element of the project, or nullptr. Records past the last element repeat
// the last one during a run, so they are refused rather than read as another element.
uint8_t* element(const System& s, int32_t e) {
  const int32_t index = element_index_of(e);
  if (index < 0 || (s.model && index > s.model->last_index)) return nullptr;
  return instance_at(s, e);
}

// The tag of the record's current asset; 0 when the element has no aspect (its aspect words
// then name the next element's slots).
uint32_t current_tag(const System& s, const uint8_t* rec) {
  if (ir_get(rec, ir::kAspectCount) < 1) return 0;
  const uint8_t* asset = current_asset(s, rec);
  return asset ? uint32_t(ir_get(asset, 0)) : 0;
}

VisualKind kind_of_tag(uint32_t tag) {
  static const std::pair<uint32_t, VisualKind> kTags[] = {
      {tag_word("d30."), VisualKind::Camera},     {tag_word("d3a."), VisualKind::Shape3d},
      {tag_word("d3b."), VisualKind::FlatShape},  {tag_word("d3e."), VisualKind::Sprite},
      {tag_word("d3f."), VisualKind::Frame},      {tag_word("d3g."), VisualKind::Background},
      {tag_word("d3h."), VisualKind::Counter},    {tag_word("d3i."), VisualKind::Track},
      {tag_word("d3l."), VisualKind::Light},      {tag_word("d3v."), VisualKind::Visual},
      {tag_word("d3m."), VisualKind::GroundMap},  {tag_word("d3x."), VisualKind::Model},
  };
  for (const auto& [t, k] : kTags)
    if (t == tag) return k;
  return VisualKind::None;
}

VisualKind kind_of(const System& s, const uint8_t* rec) { return kind_of_tag(current_tag(s, rec)); }

// The scene object of element e when a scene exists and built one for it.
render::SceneElement* scene_element(const System& s, int32_t e) {
  const int32_t index = element_index_of(e);
  if (!s.scene || !element(s, e) || index >= static_cast<int32_t>(s.scene->elements.size())) return nullptr;
  return &s.scene->elements[size_t(index)];
}

// The scene light of a light element, or nullptr.
rm::Light* light_of(const System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  if (!rec || kind_of(s, rec) != VisualKind::Light) return nullptr;
  render::SceneElement* se = scene_element(s, e);
  return se && se->kind == render::ElementKind::Light ? se->light.get() : nullptr;
}

// A colour channel 0..1 as its byte.
int32_t channel_byte(float c) { return std::clamp(static_cast<int32_t>(std::lround(c * 255.0f)), 0, 255); }

int32_t set_flag(System& s, int32_t e, int32_t bit, bool on) {
  if (uint8_t* rec = element(s, e)) {
    const int32_t flags = ir_get(rec, ir::kFlags);
    ir_set(rec, ir::kFlags, on ? flags | bit : flags & ~bit);
  }
  return 0;
}

int32_t saturate(double v) {
  return static_cast<int32_t>(std::clamp(v, double(std::numeric_limits<int32_t>::min()),
                                         double(std::numeric_limits<int32_t>::max())));
}

// A scene-frame handle (bit 31 set) names a frame of the frame table: show and hide switch its
// rendering and picking together, as h_part_show does.
bool frame_handle(int32_t e) { return (e & kFrameHandleBit) != 0; }

// The material override that gives every mesh below an element's frame one colour.
void frame_colour(System& s, int32_t e, int32_t r, int32_t g, int32_t b, int32_t a, uint32_t flags) {
  render::SceneElement* se = scene_element(s, e);
  if (!se || !se->frame) return;
  if (se->kind != render::ElementKind::Shape3d && se->kind != render::ElementKind::Visual &&
      se->kind != render::ElementKind::Model)
    return;
  rm::MaterialOverride m;
  m.flags = flags;
  m.diffuse = rm::vec4(float(r & 255), float(g & 255), float(b & 255), float(a & 255)) / 255.0f;
  m.ambient = rm::vec4(rm::vec3(m.diffuse), 1.0f);
  se->frame->material = m;
}

// The lowest y reached by the meshes below f, each corner of their bounds taken through
// transform (the frame's placement relative to the element's frame) and then place.
void lowest_corner(const rm::Frame& f, const rm::mat4& transform, const std::function<rm::vec3(rm::vec3)>& place,
                   float& lowest) {
  for (const auto& v : f.visuals) {
    const auto* mesh = std::get_if<rm::MeshPtr>(&v);
    rm::vec3 lo, hi;
    if (!mesh || !*mesh || !rm::mesh_bounds(**mesh, lo, hi)) continue;
    for (int corner = 0; corner < 8; ++corner) {
      const rm::vec3 c(corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z);
      lowest = std::min(lowest, place(rm::vec3(transform * rm::vec4(c, 1.0f))).y);
    }
  }
  for (const auto& child : f.children)
    if (child) lowest_corner(*child, transform * rm::frame_local(*child), place, lowest);
}

}  // namespace

VisualKind visual_kind(const System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? kind_of(s, rec) : VisualKind::None;
}

int32_t type(System& s, int32_t e) { return static_cast<int32_t>(visual_kind(s, e)); }

void translucent(System& s, int32_t e, int32_t v) { set_flag(s, e, ir::kFlagTranslucent, (v & 1) != 0); }

int32_t show(System& s, int32_t e) {
  if (frame_handle(e)) {
    frames::h_part_show(s, e, 1);
    return 0;
  }
  return set_flag(s, e, ir::kFlagShown, true);
}

int32_t hide(System& s, int32_t e) {
  if (frame_handle(e)) {
    frames::h_part_show(s, e, 0);
    return 0;
  }
  return set_flag(s, e, ir::kFlagShown, false);
}

// The scene's synchronisation applies the stored scale at the next rendered frame: a visual or
// model through its scaled path, a flat shape as its decal size.
void scale_set(System& s, int32_t e, int32_t sx, int32_t sy, int32_t sz) {
  uint8_t* rec = element(s, e);
  if (!rec) return;
  const VisualKind k = kind_of(s, rec);
  if (k != VisualKind::Visual && k != VisualKind::Model) return;
  ir_set(rec, ir::kScaleX, sx);
  ir_set(rec, ir::kScaleY, sy);
  ir_set(rec, ir::kScaleZ, sz);
}

void flat_scale_set(System& s, int32_t e, int32_t sx, int32_t sy) {
  uint8_t* rec = element(s, e);
  if (!rec || kind_of(s, rec) != VisualKind::FlatShape) return;
  ir_set(rec, ir::kScaleX, sx);
  ir_set(rec, ir::kScaleY, sy);
}

int32_t scale_x(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? ir_get(rec, ir::kScaleX) : 0;
}
int32_t scale_y(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? ir_get(rec, ir::kScaleY) : 0;
}
int32_t scale_z(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? ir_get(rec, ir::kScaleZ) : 0;
}

// Radii are kept in thousandths of a scene unit; a position unit is 1/512 of one.
int32_t radius(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? wrap_mul(ir_get(rec, ir::kCollisionRadius), 512) : 0;
}
int32_t radius_max(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? wrap_mul(ir_get(rec, ir::kBoxRadius), 512) : 0;
}

int32_t last_animation_frame(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  return rec ? ir_get(rec, ir::kAspectCount) : 0;
}

int32_t animation_frame(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  if (!rec || ir_get(rec, ir::kAspectCount) < 1) return 0;
  return static_cast<int32_t>(int64_t(ir_get(rec, ir::kCurrentAspect)) - ir_get(rec, ir::kFirstAspect) + 1);
}

void animation_frame_set(System& s, int32_t e, int32_t n) {
  uint8_t* rec = element(s, e);
  if (!rec || n < 1 || n > ir_get(rec, ir::kAspectCount)) return;
  ir_set(rec, ir::kCurrentAspect, ir_get(rec, ir::kFirstAspect) + n - 1);
}

int32_t animate(System& s, int32_t e, int32_t first, int32_t last, int32_t speed) {
  uint8_t* rec = element(s, e);
  if (!rec) return 0;
  const int32_t count = ir_get(rec, ir::kAspectCount);
  const int64_t first_slot = ir_get(rec, ir::kFirstAspect);
  const int64_t current = int64_t(ir_get(rec, ir::kCurrentAspect)) - first_slot + 1;
  if (first < 1 || first > count || last < 1 || last > count) return static_cast<int32_t>(current);

  // A negative speed runs the range the other way round.
  int64_t step = speed;
  int64_t from = first, to = last;
  if (step < 0) {
    std::swap(from, to);
    step = -step;
  }
  const int64_t accumulated = (ir_get(rec, ir::kAnimationStep) & 255) + step;
  ir_set(rec, ir::kAnimationStep, static_cast<int32_t>(accumulated & 255));
  if (accumulated < appearance::kStepsPerFrame) return static_cast<int32_t>(current);
  const int64_t frames = accumulated / appearance::kStepsPerFrame;

  // Wrapping one range length at a time until the frame is inside is a remainder; a frame
  // outside the range on the side it starts from counts as the range's start.
  int64_t n;
  bool wrapped;
  if (from <= to) {
    n = std::max(current, from) + frames;
    wrapped = n > to;
    if (wrapped) n = from + (n - from) % (to - from + 1);
  } else {
    n = std::min(current, from) - frames;
    wrapped = n < to;
    if (wrapped) n = to + ((n - to) % (from - to + 1) + (from - to + 1)) % (from - to + 1);
  }
  ir_set(rec, ir::kCurrentAspect, static_cast<int32_t>(first_slot + n - 1));
  return static_cast<int32_t>(wrapped ? to : current);
}

// Only a FRAME element has a refresh counter: the same word is another kind's own.
void frame_refresh(System& s, int32_t e) {
  uint8_t* rec = element(s, e);
  if (rec && kind_of(s, rec) == VisualKind::Frame) ir_set(rec, ovr::kDrawCount, ovr::kFrameDrawsAtStart);
}

void frame_refresh_all(System& s) {
  const int32_t count = s.model ? std::min(element_count(*s.model), kInstanceRecords) : kInstanceRecords;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* rec = element(s, element_handle(i));
    if (!rec) continue;
    const int32_t flags = ir_get(rec, ir::kFlags);
    if ((flags & ir::kFlagActive) && (flags & ir::kFlagShown) && kind_of(s, rec) == VisualKind::Frame)
      ir_set(rec, ovr::kDrawCount, ovr::kFrameDrawsAtStart);
  }
}

int32_t background_color(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  if (!rec || kind_of(s, rec) != VisualKind::Background) return 0;
  const render::SceneAsset* a = render::scene_asset(s, current_asset(s, rec));
  return a && a->kind == render::ElementKind::Background ? a->background.color : 0;
}

// Word n of the dimension words (1 x, 2 y, 3 z, at 60, 64 and 68); a word outside the record
// reads 0.
int32_t dimension_abs(System& s, int32_t e, int32_t n) {
  const uint8_t* rec = element(s, e);
  const int64_t offset = ir::kDimX + 4 * (int64_t(n) - 1);
  if (!rec || offset < 0 || offset > kInstanceRecordBytes - 4) return 0;
  const int32_t v = ir_get(rec, static_cast<int32_t>(offset));
  const uint32_t magnitude = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
  return wrap_mul(static_cast<int32_t>(magnitude), 512);
}

void light_color_set(System& s, int32_t e, int32_t r, int32_t g, int32_t b) {
  if (rm::Light* l = light_of(s, e)) l->color = rm::vec3(float(r & 255), float(g & 255), float(b & 255)) / 255.0f;
}

int32_t light_color_red(System& s, int32_t e) {
  const rm::Light* l = light_of(s, e);
  return l ? channel_byte(l->color.r) : 0;
}
int32_t light_color_green(System& s, int32_t e) {
  const rm::Light* l = light_of(s, e);
  return l ? channel_byte(l->color.g) : 0;
}
int32_t light_color_blue(System& s, int32_t e) {
  const rm::Light* l = light_of(s, e);
  return l ? channel_byte(l->color.b) : 0;
}

int32_t light_intensity_set(System& s, int32_t e, int32_t v) {
  if (rm::Light* l = light_of(s, e)) l->linear = 1.0f - float(v & 1023) / 1024.0f;
  return 0;
}

int32_t light_intensity(System& s, int32_t e) {
  const rm::Light* l = light_of(s, e);
  return l ? saturate(std::trunc((1.0 - double(l->linear)) * 1024.0)) : 0;
}

void visual_color_set(System& s, int32_t e, int32_t r, int32_t g, int32_t b) {
  frame_colour(s, e, r, g, b, 255, rm::kMaterialDiffuse | rm::kMaterialAmbient);
}

void visual_rgba_set(System& s, int32_t e, int32_t r, int32_t g, int32_t b, int32_t a) {
  frame_colour(s, e, r, g, b, a, rm::kMaterialDiffuse | rm::kMaterialAmbient | rm::kMaterialDiffuseAlpha);
}

// The colour behind the 3D scene: the roots' background and the camera fills of the
// 3D-background modes 2 and above.
void bg3d_color_set(System& s, int32_t r, int32_t g, int32_t b) {
  if (!s.scene) return;
  render::Scene& scene = *s.scene;
  scene.settings.background_color = uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255);
  const rm::vec3 colour = rm::vec3(float(r & 255), float(g & 255), float(b & 255)) / 255.0f;
  for (rm::Frame* root : {scene.background.get(), scene.main.get(), scene.overlay.get(), scene.flat.get()})
    if (root) root->background = colour;
}

// A sprite flashes as the selected sprite does (one colour, alternating); flashing the sprite
// that flashes stops it. Only one sprite flashes at a time.
void flash(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  if (!rec || !s.overlays || kind_of(s, rec) != VisualKind::Sprite) return;
  const int32_t index = element_index_of(e);
  s.overlays->selected = s.overlays->selected == index ? -1 : index;
}

int32_t bottom(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  if (!rec) return 0;
  const int32_t y = ir_get(rec, ir::kPosY);
  const render::SceneElement* se = scene_element(s, e);
  if (!se || !se->frame) return y;
  render::ElementState st;
  st.rotation = {ir_get(rec, ir::kRotX), ir_get(rec, ir::kRotY), ir_get(rec, ir::kRotZ)};
  st.extra_rotation = (ir_get(rec, ir::kFlags) & ir::kFlagExtraRotation) != 0;
  st.extra = {ir_get(rec, ir::kExtraRotX), ir_get(rec, ir::kExtraRotY), ir_get(rec, ir::kExtraRotZ)};
  const rm::quat rotation = render::element_rotation(st);
  // Only visuals and models are drawn scaled.
  rm::vec3 scale(1.0f);
  if (se->kind == render::ElementKind::Visual || se->kind == render::ElementKind::Model)
    scale = rm::vec3(float(ir_get(rec, ir::kScaleX)), float(ir_get(rec, ir::kScaleY)),
                     float(ir_get(rec, ir::kScaleZ))) / 1000.0f;
  float lowest = std::numeric_limits<float>::infinity();
  lowest_corner(*se->frame, rm::mat4(1.0f), [&](rm::vec3 p) { return rotation * (p * scale); }, lowest);
  if (!std::isfinite(lowest)) return y;
  return saturate(double(y) + std::round(double(lowest) * 512000.0));
}

int32_t camera_fov(System& s, int32_t e) {
  const uint8_t* rec = element(s, e);
  if (!rec || !s.scene || kind_of(s, rec) != VisualKind::Camera) return 0;
  return render::camera_fov(*s.scene, element_index_of(e));
}

void bind_appearance_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"type", keyword_routine<type>},
      {"translucent", keyword_routine<translucent>},
      {"show", keyword_routine<show>},
      {"hide", keyword_routine<hide>},
      {"scale_set", keyword_routine<scale_set>},
      {"flat_scale_set", keyword_routine<flat_scale_set>},
      {"scale_x", keyword_routine<scale_x>},
      {"scale_y", keyword_routine<scale_y>},
      {"scale_z", keyword_routine<scale_z>},
      {"radius", keyword_routine<radius>},
      {"radius_max", keyword_routine<radius_max>},
      {"last_animation_frame", keyword_routine<last_animation_frame>},
      {"animation_frame", keyword_routine<animation_frame>},
      {"animation_frame_set", keyword_routine<animation_frame_set>},
      {"animate", keyword_routine<animate>},
      {"frame_refresh", keyword_routine<frame_refresh>},
      {"frame_refresh_all", keyword_routine<frame_refresh_all>},
      {"background_color", keyword_routine<background_color>},
      {"dimension_abs", keyword_routine<dimension_abs>},
      {"light_color_set", keyword_routine<light_color_set>},
      {"light_color_red", keyword_routine<light_color_red>},
      {"light_color_green", keyword_routine<light_color_green>},
      {"light_color_blue", keyword_routine<light_color_blue>},
      {"light_intensity_set", keyword_routine<light_intensity_set>},
      {"light_intensity", keyword_routine<light_intensity>},
      {"visual_color_set", keyword_routine<visual_color_set>},
      {"visual_rgba_set", keyword_routine<visual_rgba_set>},
      {"3dbg_color_set", keyword_routine<bg3d_color_set>},
      {"flash", keyword_routine<flash>},
      {"bottom", keyword_routine<bottom>},
      {"camera_fov", keyword_routine<camera_fov>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
