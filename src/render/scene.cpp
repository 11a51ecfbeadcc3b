// The run's 3D scene: construction from the elements, the per-pass synchronisation of frames
// with the elements' integer state, the render pass and the scene-wide rendering keywords.
#include "render/scene.h"

#include <algorithm>
#include <cmath>

#include "engine/rotation.h"

namespace korva::render {

namespace {

constexpr float kPositionUnit = 512000.0f;  // position units per scene unit
constexpr float kFogUnit = 512.0f;          // stored fog distances per scene unit

rm::vec3 rgb_of(uint32_t rgb) {
  return rm::vec3(float((rgb >> 16) & 255), float((rgb >> 8) & 255), float(rgb & 255)) / 255.0f;
}

void apply_fog(Scene& s) {
  for (rm::Frame* root : {s.main.get(), s.overlay.get(), s.flat.get()}) {
    if (!root) continue;
    root->fog.start = float(s.fog_start) / kFogUnit;
    root->fog.end = float(s.fog_end) / kFogUnit;
    root->fog.density = 0.0f;
  }
}

rm::FramePtr make_root(const Scene& s, rm::SortMode sort) {
  rm::FramePtr f = rm::frame_create(nullptr);
  f->sort_mode = sort;
  f->background = rgb_of(s.settings.background_color);
  f->fog.color = rgb_of(s.fog_color);
  f->fog.enabled = false;
  return f;
}

float front_plane(const SceneSettings& st) {
  const int32_t p = st.front_percent < 1 || st.front_percent > 100 ? 100 : st.front_percent;
  return float(p) / 100.0f;
}

void build_camera(Scene& s, SceneElement& se, const ElementSetup& e) {
  se.frame = rm::frame_create(s.main.get());
  if (!e.viewport) return;
  rm::Viewport v;
  v.camera = se.frame;
  const int32_t mode = s.settings.display_mode;
  // A hand-edited record may give the corners any values. No screen is a million pixels wide,
  // and within that bound every sum made of the viewport's rectangle fits 32 bits.
  constexpr int32_t kFar = 1 << 20;
  int32_t r[4];
  for (int k = 0; k < 4; ++k) r[k] = std::clamp(e.rect[k], -kFar, kFar);
  rm::viewport_set_rect(v, display_scale(mode, r[0]), display_scale(mode, r[1]),
                        display_scale(mode, r[2] - r[0] + 1), display_scale(mode, r[3] - r[1] + 1));
  rm::viewport_set_back(v, float(std::max(s.settings.clip_distance, 1)));
  const float front = front_plane(s.settings);
  rm::viewport_set_front(v, front);
  const int32_t a = e.camera.fov;  // the focal value f of the camera is -a
  if (a != 0) rm::viewport_set_field(v, front * 240.0f / float(a));
  se.viewport = static_cast<int32_t>(s.viewports.size());
  s.viewports.push_back(v);
}

// The meshes of one visual of a file; records naming the same file and visual share them.
const std::vector<rm::MeshPtr>& visual_meshes(Scene& s, const std::shared_ptr<VisualFile>& file, int32_t number,
                                              std::map<std::pair<const VisualFile*, int32_t>, std::vector<rm::MeshPtr>>& built) {
  auto it = built.find({file.get(), number});
  if (it != built.end()) return it->second;
  std::vector<rm::MeshPtr> meshes;
  for (int32_t i = 0;; ++i) {
    const VisualPartData* p = visual_part(*file, number, i);
    if (!p) break;
    meshes.push_back(build_part_mesh(*p, s.textures));
  }
  return built.emplace(std::make_pair(file.get(), number), std::move(meshes)).first->second;
}

// A visual gets one frame; each of its aspects (visual numbers) a set of meshes, of which the
// frame carries the current aspect's.
void build_visual(Scene& s, SceneElement& se, const ElementSetup& e,
                  std::map<std::pair<const VisualFile*, int32_t>, std::vector<rm::MeshPtr>>& built) {
  if (!e.visual_file) return;
  se.visual_file = e.visual_file;
  const int32_t first_number = e.visual_numbers.empty() ? 1 : e.visual_numbers[0];
  const VisualPartData* first = visual_part(*se.visual_file, first_number, 0);
  rm::Frame* root = first && first->part.flat_scene == 1 ? s.flat.get() : s.main.get();
  se.frame = rm::frame_create(root);
  for (int32_t number : e.visual_numbers) se.aspect_meshes.push_back(visual_meshes(s, se.visual_file, number, built));
  se.aspect = 0;
  if (!se.aspect_meshes.empty())
    for (const auto& m : se.aspect_meshes[0]) rm::frame_add_visual(*se.frame, m);
}

void build_flat(Scene& s, SceneElement& se, const ElementSetup& e) {
  se.frame = rm::frame_create(s.flat.get());
  for (const FlatImage& img : e.images) {
    rm::TexturePtr t;
    if (img.width > 0 && img.height > 0 && img.pixels.size() >= size_t(img.width) * size_t(img.height))
      t = rm::texture_create_32(img.pixels.data(), img.width, img.height, rm::ChannelMasks{});
    if (t) {
      const int32_t k = std::clamp(img.size_exponent, 0, 30);
      const float side = float(1u << k) / 5.0f;
      rm::texture_set_decal_scale(*t, true);
      rm::texture_set_decal_size(*t, side, side);
      rm::texture_set_decal_origin(*t, img.width / 2, img.height / 2);
      rm::texture_set_transparency(*t, true, 0x000000);
    }
    se.flats.push_back(t);
  }
  se.aspect = 0;
  se.flat = se.flats.empty() ? nullptr : se.flats[0];
  if (se.flat) rm::frame_add_visual(*se.frame, se.flat);
}

// Puts aspect a (0-based) of a visual or flat shape on its frame when it is not there yet.
void show_aspect(SceneElement& se, int32_t a) {
  if (a == se.aspect || !se.frame) return;
  if (se.kind == ElementKind::Visual && a >= 0 && a < int32_t(se.aspect_meshes.size())) {
    for (const auto& m : se.aspect_meshes[size_t(se.aspect)]) rm::frame_remove_visual(*se.frame, m);
    for (const auto& m : se.aspect_meshes[size_t(a)]) rm::frame_add_visual(*se.frame, m);
    se.aspect = a;
  } else if (se.kind == ElementKind::FlatShape && a >= 0 && a < int32_t(se.flats.size())) {
    if (se.flat) rm::frame_remove_visual(*se.frame, se.flat);
    se.flat = se.flats[size_t(a)];
    if (se.flat) rm::frame_add_visual(*se.frame, se.flat);
    se.aspect = a;
  }
}

void build_light(Scene& s, SceneElement& se, const ElementSetup& e) {
  se.frame = rm::frame_create(s.main.get());
  const int32_t t = e.light_type >= 0 && e.light_type <= 4 ? e.light_type : 1;
  se.light = rm::light_create(static_cast<rm::LightKind>(t),
                              e.active ? rgb_of(e.light_color) : rm::vec3(0.0f));
  se.light->constant = 0.0f;
  se.light->linear = 1.0f - float(e.light_attenuation & 1023) / 1024.0f;
  se.light->quadratic = 0.0f;
  se.light->umbra = 0.0f;
  se.light->penumbra = 1.5f;
  se.light->range = 30.0f;
  rm::frame_add_light(*se.frame, se.light);
}

// A sky gradient for projects whose background image cannot be read.
rm::TexturePtr default_background() {
  constexpr int32_t kSide = 64;
  std::vector<uint8_t> rgb(size_t(kSide) * kSide * 3);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      uint8_t* p = rgb.data() + (size_t(y) * kSide + size_t(x)) * 3;
      p[0] = uint8_t(40 + y * 2);
      p[1] = uint8_t(80 + y * 2);
      p[2] = uint8_t(160 + y);
    }
  return rm::texture_create_rgb(rgb.data(), kSide, kSide);
}

void for_each_mesh(rm::Frame& f, const std::function<void(rm::Mesh&)>& fn) {
  for (auto& v : f.visuals)
    if (auto m = std::get_if<rm::MeshPtr>(&v); m && *m) fn(**m);
  for (auto& c : f.children) for_each_mesh(*c, fn);
}

// Two hood halves under the background scene, scaled to lie just inside the back plane and
// textured through a cylindrical wrap about the vertical axis.
void build_background(Scene& s) {
  const SceneSettings& st = s.settings;
  s.background_texture = texture_load(s.textures, st.background_image);
  if (!s.background_texture) s.background_texture = default_background();
  const float c = float(std::max(st.clip_distance, 1));
  const int32_t p = st.front_percent < 1 || st.front_percent > 100 ? 100 : st.front_percent;
  const float radius = c - c * float(101 - p) * 0.001f;
  const int32_t shape = std::clamp(st.background_shape, 0, 4);
  const float repeats = float(std::max(st.background_repetitions, 1));
  for (int half = 0; half < 2; ++half) {
    rm::FramePtr f = rm::frame_create(s.background.get());
    f->zbuffer = rm::ZBufferMode::Disable;
    rm::frame_set_orientation(*f, s.background.get(), rm::vec3(0, 0, 1), rm::vec3(0, 1, 0));
    s.hoods[size_t(half)] = f;
    XModel hood;
    const std::string name = st.data_folder + "hood" + std::to_string(shape) + (half ? "b" : "a") + ".x";
    if (!read_x(name, hood, s.textures, "")) continue;
    rm::frame_add_child(*f, hood.frame);
    const bool reversed = half == 1 && st.background_mirror == 1;
    for_each_mesh(*hood.frame, [&](rm::Mesh& m) {
      rm::mesh_scale(m, rm::vec3(radius));
      rm::mesh_set_color(m, rm::vec4(1.0f));
      rm::mesh_set_texture(m, s.background_texture);
      rm::Wrap w;
      w.kind = rm::WrapKind::Cylinder;
      w.scale = rm::vec2(reversed ? -repeats : repeats, -1.0f / radius);
      w.offset = rm::vec2(0.0f, 1.0f);  // the image's bottom row on the horizon
      rm::mesh_apply_wrap(m, w);
      m.quality = rm::Quality::UnlitFlat;
    });
  }
}

}  // namespace

ElementKind kind_from_extension(std::string_view path) {
  std::string ext;
  const size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return ElementKind::None;
  for (char ch : path.substr(dot)) ext += char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  static const std::pair<const char*, ElementKind> kKinds[] = {
      {".03d", ElementKind::Camera},     {".a3d", ElementKind::Shape3d}, {".b3d", ElementKind::FlatShape},
      {".e3d", ElementKind::Sprite},     {".f3d", ElementKind::Frame2d}, {".g3d", ElementKind::Background},
      {".h3d", ElementKind::Counter},    {".i3d", ElementKind::Track},   {".l3d", ElementKind::Light},
      {".v3d", ElementKind::Visual},     {".x3d", ElementKind::Model},   {".x", ElementKind::Model},
  };
  for (const auto& [e, k] : kKinds)
    if (ext == e) return k;
  return ElementKind::None;
}

int32_t display_scale(int32_t display_mode, int32_t v) {
  if (display_mode == 4 || display_mode == 8) return (v * 125 + 1) / 100;
  if (display_mode == 16 || display_mode == 32) return (v * 160 + 1) / 100;
  return v;
}

void scene_build(Scene& s, const SceneSettings& settings, const std::vector<ElementSetup>& elements,
                 gl::Device* device) {
  scene_release(s);
  s.settings = settings;
  // 1. Device settings.
  if (device) {
    device->settings.dithering = true;
    gl::device_set_texture_quality(*device, settings.texture_quality);
    device->settings.blended_transparency = true;
    device->settings.sorted_transparency = true;
  }
  // 2. The four roots and the animation that orients scaled visuals.
  s.fog_color = settings.background_color;
  s.background = make_root(s, rm::SortMode::FrontToBack);
  s.main = make_root(s, rm::SortMode::FrontToBack);
  s.overlay = make_root(s, rm::SortMode::FrontToBack);
  s.flat = make_root(s, rm::SortMode::BackToFront);
  apply_fog(s);
  s.scaler = rm::animation_create();
  rm::animation_set_options(*s.scaler, rm::kAnimClosed | rm::kAnimLinear | rm::kAnimScaleAndRotation);
  // 3. The 3D background; 4. the debug helpers, loaded hidden.
  build_background(s);
  if (settings.debug_display == 1) {
    for (const char* name : {"bndbox.x", "radius.x", "cross.x"}) {
      auto m = std::make_shared<XModel>();
      if (!read_x(settings.data_folder + name, *m, s.textures, "")) continue;
      m->frame->traversal = 0;
      rm::frame_add_child(*s.main, m->frame);
      s.debug_models.push_back(m);
    }
  }
  // 5 to 8. Shapes, visuals and models; flat shapes; lights; cameras.
  s.elements.assign(elements.size(), SceneElement());
  std::map<std::pair<const VisualFile*, int32_t>, std::vector<rm::MeshPtr>> built;
  static constexpr ElementKind kOrder[] = {ElementKind::Shape3d, ElementKind::Visual, ElementKind::Model,
                                           ElementKind::FlatShape, ElementKind::Light, ElementKind::Camera};
  for (ElementKind kind : kOrder) {
    for (size_t i = 0; i < elements.size(); ++i) {
      const ElementSetup& e = elements[i];
      if (e.kind != kind) continue;
      SceneElement& se = s.elements[i];
      se.kind = kind;
      switch (kind) {
        case ElementKind::Shape3d:
          se.frame = rm::frame_create(s.main.get());
          if (e.shape) rm::frame_add_visual(*se.frame, e.shape);
          break;
        case ElementKind::Visual: build_visual(s, se, e, built); break;
        case ElementKind::Model: {
          se.frame = rm::frame_create(s.main.get());
          if (e.model && e.model->frame) {
            rm::frame_add_child(*se.frame, e.model->frame);
            se.model = e.model;
          }
          break;
        }
        case ElementKind::FlatShape: build_flat(s, se, e); break;
        case ElementKind::Light: build_light(s, se, e); break;
        case ElementKind::Camera: build_camera(s, se, e); break;
        default: break;
      }
    }
  }
  // 9. Spare animations, each with a frame of its own.
  for (auto& a : s.spares) {
    a = rm::animation_create();
    rm::animation_set_frame(*a, rm::frame_create(s.main.get()));
  }
}

ShadowState shadow_state_default() {
  ShadowState st;
  // A see-through black: the receiver shows through, darkened to 45 %.
  st.material.diffuse = rm::vec4(0.0f, 0.0f, 0.0f, 0.55f);
  st.material.ambient = rm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
  st.material.emissive = rm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
  st.material.specular = rm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
  st.material.power = 0.0f;
  return st;
}

void scene_release(Scene& s) {
  s.mesh = MeshKeywordState();
  s.shadow = shadow_state_default();
  s.shadows = false;
  s.elements.clear();
  s.viewports.clear();
  s.overlay_copies.clear();
  s.frames.entries.clear();
  s.frames.mark = 0;
  s.spares = {};
  s.hoods = {};
  s.background_texture.reset();
  s.debug_models.clear();
  s.scaler.reset();
  s.background.reset();
  s.main.reset();
  s.overlay.reset();
  s.flat.reset();
  s.visuals.files.clear();
  s.textures.textures.clear();
  s.fills.clear();
  s.states.clear();
}

void element_orientation(const Core& c, const ElementState& e, rm::vec3& direction, rm::vec3& up) {
  IVec3 dir{0, 0, 65536}, upv{0, 65536, 0};
  auto turn = [&](const std::array<int32_t, 3>& r) {
    for (IVec3* v : {&dir, &upv}) {
      rotate_about_x(c, *v, r[0]);
      rotate_about_z(c, *v, r[2]);
      rotate_about_y(c, *v, r[1]);
    }
  };
  if (e.extra_rotation) turn(e.extra);
  turn(e.rotation);
  direction = rm::vec3(float(dir.x), float(dir.y), float(dir.z)) / 65536.0f;
  up = rm::vec3(float(upv.x), float(upv.y), float(upv.z)) / 65536.0f;
}

rm::quat element_rotation(const ElementState& e) {
  // The rotation the integer path builds (x first, then z, then y) as one quaternion; the extra
  // rotation acts before the element's own. The integer rule turns about y the other way round
  // from x and z (x' = x cos - z sin), hence the negated y angle.
  auto q = [](const std::array<int32_t, 3>& r) {
    const auto k = float(kRadiansPerAngle);
    return glm::angleAxis(-float(r[1]) * k, rm::vec3(0, 1, 0)) *
           glm::angleAxis(float(r[2]) * k, rm::vec3(0, 0, 1)) *
           glm::angleAxis(float(r[0]) * k, rm::vec3(1, 0, 0));
  };
  rm::quat r = q(e.rotation);
  if (e.extra_rotation) r = r * q(e.extra);
  return r;
}

int32_t animation_tick_advance(int32_t tick, int32_t speed, int32_t lo, int32_t hi) {
  int64_t t = int64_t(tick) + speed;
  if (lo != hi) {
    if (lo >= hi) {
      t = hi;
    } else if (t > hi) {
      t = lo + (t - hi - 1) % (int64_t(hi) - lo + 1);
    } else if (t < lo) {
      // Counted down from the top: hi + 1 + ((t - hi - 1) rem n), the remainder keeping the
      // dividend's sign. A remainder of 0 would give hi + 1, outside the range; it is lo.
      const int64_t r = (t - hi - 1) % (int64_t(hi) - lo + 1);
      t = r == 0 ? lo : hi + 1 + r;
    }
  }
  return static_cast<int32_t>(t);
}

void scene_sync(Scene& s, const Core& c, std::vector<ElementState>& states) {
  if (!s.main) return;
  // 3. Everything hidden; 4. the active and shown elements placed and shown again.
  for (auto& se : s.elements)
    if (se.frame) rm::frame_set_traversal(*se.frame, 0);
  const size_t n = std::min(states.size(), s.elements.size());
  for (size_t i = 0; i < n; ++i) {
    SceneElement& se = s.elements[i];
    ElementState& e = states[i];
    if (!se.frame || !e.active || !e.shown) continue;
    const bool scalable = se.kind == ElementKind::Visual || se.kind == ElementKind::Model;
    const bool unscaled = e.scale[0] == 1000 && e.scale[1] == 1000 && e.scale[2] == 1000;
    se.scaled_path = false;
    show_aspect(se, e.aspect);
    if (se.kind == ElementKind::FlatShape) {
      if (se.flat)
        rm::texture_set_decal_size(*se.flat, float(e.scale[0]) / 1000.0f, float(e.scale[1]) / 1000.0f);
    } else if (scalable && !unscaled) {
      rm::Animation& a = *s.scaler;
      rm::animation_set_options(a, rm::kAnimClosed | rm::kAnimLinear | rm::kAnimScaleAndRotation);
      rm::animation_add_scale_key(a, 0.0f, rm::vec3(e.scale[0], e.scale[1], e.scale[2]) / 1000.0f);
      rm::animation_add_rotation_key(a, 0.0f, element_rotation(e));
      rm::animation_set_frame(a, se.frame);
      rm::animation_set_time(a, 0.0f);
      rm::animation_delete_key(a, 0.0f);
      se.scaled_path = true;
    } else {
      rm::vec3 dir, up;
      element_orientation(c, e, dir, up);
      rm::frame_set_orientation(*se.frame, s.main.get(), dir, up);
    }
    rm::frame_set_position(*se.frame, s.main.get(),
                           rm::vec3(e.position[0], e.position[1], e.position[2]) / kPositionUnit);
    rm::frame_set_traversal(*se.frame, rm::kTraverseRender | rm::kTraversePick);
    if (se.kind == ElementKind::Model && se.model && e.animation_set >= 0 && e.speed != 0 &&
        e.animation_set < static_cast<int32_t>(se.model->animation_sets.size())) {
      rm::animation_set_time(*se.model->animation_sets[size_t(e.animation_set)], float(e.tick) / 1000.0f);
      e.tick = animation_tick_advance(e.tick, e.speed, e.range_start, e.range_end);
    }
  }
  // 5. Overlay copies follow their sources while those are drawn, scale included (a copy of a
  // scaled receiver must cover it exactly); the copy of a hidden source is hidden too.
  for (auto& oc : s.overlay_copies) {
    if (!oc.copy) continue;
    const bool drawn = oc.source && rm::frame_scene(*oc.source) == s.main.get() && rm::frame_rendered(*oc.source);
    rm::frame_set_traversal(*oc.copy, drawn ? uint32_t(rm::kTraverseRender) : 0u);
    if (drawn) rm::frame_set_transform(*oc.copy, rm::frame_transform(*oc.source, s.main.get()));
  }
}

namespace {

void render_overlay_passes(Scene& s, gl::Device& d, rm::Viewport& v) {
  if (!s.shadows || !s.overlay || s.overlay->children.empty()) return;
  const float f = v.front, b = v.back, w = v.field;
  float o = s.shadow_offset;
  auto pass = [&] {
    v.front = f + o;
    v.back = b + o;
    v.field = (f + o) * 240.0f / (f * 240.0f / w);
    gl::viewport_render(d, v, *s.overlay);
    o += 0.001f;
  };
  if (s.shadow_single_pass) {
    pass();
  } else {
    // One pass per copy: the others are hidden meanwhile.
    std::vector<uint32_t> saved;
    for (auto& ch : s.overlay->children) saved.push_back(ch->traversal);
    for (size_t i = 0; i < s.overlay->children.size(); ++i) {
      if (!(saved[i] & rm::kTraverseRender)) continue;
      for (size_t j = 0; j < s.overlay->children.size(); ++j)
        s.overlay->children[j]->traversal = j == i ? saved[j] : 0;
      pass();
    }
    for (size_t j = 0; j < s.overlay->children.size(); ++j) s.overlay->children[j]->traversal = saved[j];
  }
  v.front = f;
  v.back = b;
  v.field = w;
}

}  // namespace

namespace {

std::vector<size_t> shown_cameras(const Scene& s, const std::vector<ElementState>& states) {
  std::vector<size_t> cameras;
  for (size_t i = 0; i < s.elements.size() && i < states.size(); ++i)
    if (s.elements[i].kind == ElementKind::Camera && s.elements[i].viewport >= 0 && states[i].active &&
        states[i].shown)
      cameras.push_back(i);
  return cameras;
}

}  // namespace

void scene_camera_fills(Scene& s, const std::vector<ElementState>& states, platform::Surface& back) {
  if (s.background3d_mode < 2) return;
  const rm::vec3 bg = rgb_of(s.settings.background_color) * 255.0f;
  const uint32_t pixel = platform::pack_rgb(back.format, uint8_t(bg.r), uint8_t(bg.g), uint8_t(bg.b));
  for (size_t i : shown_cameras(s, states)) {
    const rm::Viewport& v = s.viewports[size_t(s.elements[i].viewport)];
    platform::surface_fill_rect(back, v.x, v.y, v.width, v.height, pixel);
  }
}

void scene_draw(Scene& s, const std::vector<ElementState>& states, gl::Device& d, platform::Surface& back) {
  if (!s.main) return;
  const std::vector<size_t> cameras = shown_cameras(s, states);
  // The pass copies in and back only the box around the shown cameras' viewports; with no
  // camera shown there is nothing to draw and the surface stays as it is.
  int32_t x1 = back.width, y1 = back.height, x2 = 0, y2 = 0;
  for (size_t i : cameras) {
    const rm::Viewport& v = s.viewports[size_t(s.elements[i].viewport)];
    if (v.width <= 0 || v.height <= 0) continue;
    x1 = std::min(x1, v.x);
    y1 = std::min(y1, v.y);
    x2 = std::max(x2, v.x + v.width);
    y2 = std::max(y2, v.y + v.height);
  }
  if (x2 <= x1 || y2 <= y1) return;
  if (!gl::render_begin(d, back, {x1, y1, x2 - x1, y2 - y1})) return;
  for (size_t i : cameras) {
    rm::Viewport& v = s.viewports[size_t(s.elements[i].viewport)];
    gl::viewport_clear_depth(d, v);
    if (s.background3d_mode == 1 && s.background) {
      const rm::vec3 eye = rm::frame_position(*v.camera, s.main.get());
      for (auto& h : s.hoods)
        if (h) rm::frame_set_position(*h, s.background.get(), eye);
      gl::viewport_render(d, v, *s.background);
    }
    gl::viewport_render(d, v, *s.main);
    if (!s.flats_last) gl::viewport_render(d, v, *s.flat);
    render_overlay_passes(s, d, v);
  }
  if (s.flats_last)
    for (size_t i : cameras) gl::viewport_render(d, s.viewports[size_t(s.elements[i].viewport)], *s.flat);
  gl::render_end(d, back);
}

void scene_render(Scene& s, const Core& c, std::vector<ElementState>& states, gl::Device& d,
                  platform::Surface& back) {
  scene_camera_fills(s, states, back);
  scene_sync(s, c, states);
  scene_draw(s, states, d, back);
}

// ---- Scene keywords ----

void fog_set(Scene& s, int32_t start, int32_t end) {
  start = std::min(start, end);
  s.fog_start = start / 1000;
  s.fog_end = end / 1000;
  apply_fog(s);
}

int32_t fog_start(const Scene& s) { return s.fog_start * 1000; }
int32_t fog_end(const Scene& s) { return s.fog_end * 1000; }

void fog_color_set(Scene& s, int32_t r, int32_t g, int32_t b) {
  r &= 255;
  g &= 255;
  b &= 255;
  // Reduced to the display's 16-bit format and widened back: the colour has that precision.
  const bool five_five_five = s.settings.format == platform::PixelFormat::Rgb555;
  const int32_t r8 = (r >> 3) << 3, b8 = (b >> 3) << 3;
  const int32_t g8 = five_five_five ? (g >> 3) << 3 : (g >> 2) << 2;
  s.fog_color = uint32_t(r8) << 16 | uint32_t(g8) << 8 | uint32_t(b8);
  for (rm::Frame* root : {s.background.get(), s.main.get(), s.overlay.get(), s.flat.get()})
    if (root) root->fog.color = rgb_of(s.fog_color);
}

void fogeffect_set(Scene& s, int32_t flag) {
  if (s.main) s.main->fog.enabled = flag != 0;
}

int32_t clip_distance(const Scene& s) { return s.settings.clip_distance * 512000; }

void camera_fov_set(Scene& s, int32_t element, int32_t a) {
  if (element < 0 || element >= static_cast<int32_t>(s.elements.size())) return;
  const SceneElement& se = s.elements[size_t(element)];
  if (se.kind != ElementKind::Camera || se.viewport < 0 || a == 0) return;  // 0 would divide by zero
  rm::viewport_set_field(s.viewports[size_t(se.viewport)], front_plane(s.settings) * 240.0f / float(a));
}

int32_t camera_fov(const Scene& s, int32_t element) {
  if (element < 0 || element >= static_cast<int32_t>(s.elements.size())) return 0;
  const SceneElement& se = s.elements[size_t(element)];
  if (se.kind != ElementKind::Camera || se.viewport < 0) return 0;
  const float field = s.viewports[size_t(se.viewport)].field;
  if (!(field > 0.0f)) return 0;
  const double a = std::round(double(front_plane(s.settings)) * 240.0 / double(field));
  return static_cast<int32_t>(std::clamp(a, -2147483648.0, 2147483647.0));
}

void sort_mode_set(Scene& s, int32_t t) {
  if (!s.main) return;
  if (t == 1) s.main->sort_mode = rm::SortMode::FrontToBack;
  if (t == 2) s.main->sort_mode = rm::SortMode::BackToFront;
  if (t == 3) s.main->sort_mode = rm::SortMode::None;
}

void poly_sort_mode_set(gl::Device& d, int32_t f) {
  if (f == 0 || f == 1) d.settings.sorted_transparency = f == 1;
}

void specular_set(gl::Device& d, int32_t f) {
  if (f == 0 || f == 1) d.settings.view_dependent_specular = f == 1;
}

void dithering_set(gl::Device& d, int32_t f) { d.settings.dithering = f != 0; }
void antialias_set(gl::Device& d, int32_t f) { d.settings.antialias = f != 0; }
void background3d_set(Scene& s, int32_t m) { s.background3d_mode = m; }
void flats_priority_set(Scene& s, int32_t f) { s.flats_last = f & 1; }

}  // namespace korva::render
