// The 3D scene and the 2D layers in a run: their asset loaders by element type, the scene
// built from the loaded asset records at run start, the steps of every rendered frame, release.
#include <algorithm>
#include <cstdio>
#include <set>

#include "core/pcx.h"
#include "model/model.h"
#include "model/run_state.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "render/shadow_keywords.h"
#include "run/run.h"

namespace korva {
namespace {

render::ElementKind kind_of(const render::SceneAsset* a) { return a ? a->kind : render::ElementKind::None; }

// What the build needs of element i: its kind and loaded data from its asset records, the
// camera rectangle and the light settings from field 37.
render::ElementSetup element_setup(System& s, int32_t i, std::set<const render::XModel*>& models_taken) {
  Core& c = *s.core;
  render::ElementSetup e;
  const uint8_t* rec = c.pool(Pool::Instances) + i * kInstanceRecordBytes;
  e.active = (ir_get(rec, ir::kFlags) & ir::kFlagActive) != 0;
  const int32_t first = ir_get(rec, ir::kFirstAspect);
  const int32_t count = aspect_count(c, i);
  const render::SceneAsset* a = render::scene_asset(s, asset_record(s, first));
  e.kind = kind_of(a);
  if (!a) return e;
  switch (a->kind) {
    case render::ElementKind::Camera: {
      e.camera = a->camera;
      CameraViewport vp;
      e.viewport = camera_viewport(c, i, vp);
      e.rect = {vp.rect.x1, vp.rect.y1, vp.rect.x2, vp.rect.y2};
      break;
    }
    case render::ElementKind::Shape3d: e.shape = a->shape; break;
    case render::ElementKind::Model:
      e.model = a->model;
      // Elements sharing a model's asset each need frames of their own: the first takes the
      // loaded model, the others read it again (its textures come from the scene's cache).
      if (e.model && !models_taken.insert(e.model.get()).second) {
        auto copy = std::make_shared<render::XModel>();
        e.model = render::read_x(a->model->path, *copy, s.scene->textures) ? copy : nullptr;
      }
      break;
    case render::ElementKind::Light: {
      // Field 37 of a light: "type/colour/attenuation" (type 0..4, the colour 0xRRGGBB in
      // decimal); anything else is a white point light reaching far.
      const std::string f37(element_field(c, i, fld::kScreen).view());
      e.light_attenuation = 1023;
      if (field_count(c, f37, '/') == 3) {
        e.light_type = clamp_range(c, str_to_int(field_get(c, f37, 1, '/').view()), 0, 4);
        e.light_color = static_cast<uint32_t>(str_to_int(field_get(c, f37, 2, '/').view())) & 0xFFFFFFu;
        e.light_attenuation = str_to_int(field_get(c, f37, 3, '/').view());
      }
      break;
    }
    case render::ElementKind::Visual:
    case render::ElementKind::FlatShape:
      e.visual_file = a->visual;
      e.visual_numbers.clear();
      for (int32_t k = 0; k < count; ++k) {
        const render::SceneAsset* ak = render::scene_asset(s, asset_record(s, first + k));
        if (kind_of(ak) != a->kind) break;
        if (a->kind == render::ElementKind::Visual)
          e.visual_numbers.push_back(ak->visual_number);
        else
          e.images.push_back(ak->image);
      }
      break;
    default: break;
  }
  return e;
}

// BACKGROUND elements fill their rectangle (field 37) with the colour their file names, an
// index of the GUI palette, in the back surface's format.
void collect_background_fills(System& s, const platform::Surface& back) {
  Core& c = *s.core;
  render::Scene& scene = *s.scene;
  scene.fills.clear();
  uint8_t palette[768];
  gui_default_palette(palette);
  for (int32_t i = 0; i < element_count(*s.model); ++i) {
    if (element_type(c, i) != kTypeBackground) continue;
    const uint8_t* rec = c.pool(Pool::Instances) + i * kInstanceRecordBytes;
    const render::SceneAsset* a = render::scene_asset(s, asset_record(s, ir_get(rec, ir::kFirstAspect)));
    if (kind_of(a) != render::ElementKind::Background) continue;
    // The rectangle's corners may be any values: clip it to the surface before taking its size.
    const ScreenRect r = screen_rect(c, i, back.width);
    const int32_t x1 = std::max(r.x1, 0), y1 = std::max(r.y1, 0);
    const int32_t x2 = std::min(r.x2, back.width - 1), y2 = std::min(r.y2, back.height - 1);
    if (x2 < x1 || y2 < y1) continue;
    const uint8_t* rgb = palette + 3 * (a->background.color & 255);
    scene.fills.push_back({i, x1, y1, x2 - x1 + 1, y2 - y1 + 1,
                           platform::pack_rgb(back.format, rgb[0], rgb[1], rgb[2])});
  }
}

bool shown(const uint8_t* rec) {
  const int32_t flags = ir_get(rec, ir::kFlags);
  return (flags & ir::kFlagActive) && (flags & ir::kFlagShown);
}

void background_fills(System& s, platform::Surface& back) {
  const uint8_t* records = s.core->pool(Pool::Instances);
  for (const auto& f : s.scene->fills)
    if (shown(records + f.element * kInstanceRecordBytes))
      platform::surface_fill_rect(back, f.x, f.y, f.width, f.height, f.pixel);
}

render::ElementState element_state(const uint8_t* rec) {
  render::ElementState e;
  const int32_t flags = ir_get(rec, ir::kFlags);
  e.active = (flags & ir::kFlagActive) != 0;
  e.shown = (flags & ir::kFlagShown) != 0;
  e.position = {ir_get(rec, ir::kPosX), ir_get(rec, ir::kPosY), ir_get(rec, ir::kPosZ)};
  e.rotation = {ir_get(rec, ir::kRotX), ir_get(rec, ir::kRotY), ir_get(rec, ir::kRotZ)};
  e.scale = {ir_get(rec, ir::kScaleX), ir_get(rec, ir::kScaleY), ir_get(rec, ir::kScaleZ)};
  e.extra_rotation = (flags & ir::kFlagExtraRotation) != 0;
  e.extra = {ir_get(rec, ir::kExtraRotX), ir_get(rec, ir::kExtraRotY), ir_get(rec, ir::kExtraRotZ)};
  e.aspect = ir_get(rec, ir::kCurrentAspect) - ir_get(rec, ir::kFirstAspect);
  return e;
}

// The states of this pass from the instance records; a model's animation fields from its asset
// record, where the pass writes the advanced tick back.
void scene_sync_step(System& s) {
  Core& c = *s.core;
  render::Scene& scene = *s.scene;
  const uint8_t* records = c.pool(Pool::Instances);
  std::vector<render::ElementState> states(scene.elements.size());
  std::vector<uint8_t*> models(scene.elements.size(), nullptr);
  for (size_t i = 0; i < states.size(); ++i) {
    const uint8_t* rec = records + i * kInstanceRecordBytes;
    states[i] = element_state(rec);
    uint8_t* asset = current_asset(s, rec);
    if (scene.elements[i].kind != render::ElementKind::Model || !render::scene_asset(s, asset)) continue;
    using namespace render::scene_record;
    models[i] = asset;
    states[i].animation_set = ir_get(asset, kAnimationSet);
    states[i].speed = ir_get(asset, kSpeed);
    states[i].tick = ir_get(asset, kTick);
    states[i].range_start = ir_get(asset, kRangeStart);
    states[i].range_end = ir_get(asset, kRangeEnd);
  }
  render::scene_sync(scene, c, states);
  shadows::shadows_refresh(s);  // the automatic shadows follow their casters, animations included
  for (size_t i = 0; i < states.size(); ++i)
    if (models[i]) ir_set(models[i], render::scene_record::kTick, states[i].tick);
  scene.states = std::move(states);
}

void scene_build_step(System& s) {
  Core& c = *s.core;
  Model& m = *s.model;
  platform::Screen* screen = c.frame.screen;
  render::SceneSettings st;
  st.display_mode = c.settings.display_mode;
  st.texture_quality = c.settings.filtering;
  st.clip_distance = m.project.clip_distance;
  if (screen) st.format = screen->back.format;
  st.background_image = std::string(m.project.background.view());
  st.background_repetitions = m.project.repetitions;
  st.background_shape = m.project.screen_r;
  st.data_folder = std::string(c.data_folder->view());
  std::vector<render::ElementSetup> setups;
  std::set<const render::XModel*> models_taken;
  for (int32_t i = 0; i < element_count(m); ++i) setups.push_back(element_setup(s, i, models_taken));

  bool ready = s.gl && s.devices && platform::devices_make_current(*s.devices) && (s.gl->ready || gl::device_init(*s.gl));
  if (!ready && s.gl) std::fprintf(stderr, "korva: no 3D device: the run shows no 3D scene\n");
  render::scene_build(*s.scene, st, setups, ready ? s.gl : nullptr);
  s.scene->device_ready = ready;
  if (screen) collect_background_fills(s, screen->back);
}

platform::Surface* back_surface(System& s) {
  platform::Screen* screen = s.core->frame.screen;
  return screen ? &screen->back : nullptr;
}

// A step that draws into the back surface.
RunStepFn on_back(void (*draw)(System&, platform::Surface&)) {
  return [draw](System& s) {
    if (platform::Surface* back = back_surface(s)) draw(s, *back);
  };
}

}  // namespace

void add_scene_steps(RunPipeline& p) {
  using namespace render;
  p.loader[kTypeCamera] = camera_asset_load;
  p.loader[kType3dShape] = shape_asset_load;
  p.loader[kTypeFlatShape] = flat_asset_load;
  p.loader[kTypeBackground] = background_asset_load;
  p.loader[kTypeLight] = light_asset_load;
  p.loader[kTypeVisual] = visual_asset_load;
  p.loader[kTypeSprite] = [](System& s, int32_t, int32_t slot, std::string_view path) {
    return sprite_aspects_load(s, slot, path);
  };
  p.loader[kTypeFrame] = [](System& s, int32_t, int32_t slot, std::string_view path) {
    return frame_load(s, slot, path);
  };
  p.loader[kTypeCounter] = [](System& s, int32_t, int32_t slot, std::string_view path) {
    return counter_load(s, slot, path);
  };

  run_step_add(p, Phase::AssetReset, "scene assets", scene_assets_clear);
  run_step_add(p, Phase::RunStart, "scene build", scene_build_step);
  // The text overlays of a frame are the ones its brain pass printed.
  run_step_add(p, Phase::BeforeBrains, "text list", text_list_clear);
  run_step_add(p, Phase::Restore, "lost surface", [](System& s) {
    platform::Screen* screen = s.core->frame.screen;
    if (screen && screen->primary.lost) platform::screen_restore(*screen);
  });
  run_step_add(p, Phase::Under2d, "frame images", on_back(frames_draw));
  run_step_add(p, Phase::Under2d, "background fills", on_back(background_fills));
  run_step_add(p, Phase::Under2d, "camera fills", on_back([](System& s, platform::Surface& back) {
    scene_camera_fills(*s.scene, s.scene->states, back);
  }));
  run_step_add(p, Phase::SceneSync, "scene frames", scene_sync_step);
  run_step_add(p, Phase::Draw3d, "cameras", on_back([](System& s, platform::Surface& back) {
    if (s.scene->device_ready) scene_draw(*s.scene, s.scene->states, *s.gl, back);
  }));
  run_step_add(p, Phase::Over2d, "sprites, counters, text", on_back(overlays_draw));
  run_step_add(p, Phase::Over2d, "debug value", on_back(debug_value_draw));
  run_step_add(p, Phase::Present, "flip", [](System& s) {
    platform::Screen* screen = s.core->frame.screen;
    if (screen && !s.pipeline->first_frame) platform::screen_flip(*screen);
  });
  run_step_add(p, Phase::RunEnd, "scene release", [](System& s) {
    scene_release(*s.scene);
    scene_assets_clear(s);
  });
}

}  // namespace korva
