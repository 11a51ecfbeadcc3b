// The 3D scene of a run: its per-type asset loaders, the scene built from the element records
// after the object pass, one render pass per drawn frame from the instance records, release.
#include <cstdio>

#include "app/app.h"
#include "app/run.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/scene.h"

namespace korva {
namespace {

// Types whose single asset the scene builds from the element's file.
int32_t one_aspect(App&, int32_t, int32_t, std::string_view) { return 1; }

render::ElementSetup element_setup(App& app, int32_t i) {
  Core& c = *app.core;
  render::ElementSetup e;
  e.visual = std::string(element_field(c, i, fld::kAsset).view());
  e.kind = render::kind_from_extension(e.visual);
  const uint8_t* rec = c.pool(Pool::Instances) + i * kInstanceRecordBytes;
  e.active = (ir_get(rec, ir::kFlags) & ir::kFlagActive) != 0;
  if (e.kind == render::ElementKind::Light) {
    // Field 37 of a light: "type/colour/attenuation" (type 0..4, colour 0xRRGGBB in decimal).
    std::string f37(element_field(c, i, fld::kScreen).view());
    if (field_count(c, f37, '/') == 3) {
      e.light_type = clamp_range(c, str_to_int(field_get(c, f37, 1, '/').view()), 0, 4);
      e.light_color = static_cast<uint32_t>(str_to_int(field_get(c, f37, 2, '/').view())) & 0xFFFFFFu;
      e.light_attenuation = str_to_int(field_get(c, f37, 3, '/').view());
    } else {
      e.light_attenuation = 1023;  // a white point light reaching far
    }
  }
  if (e.kind == render::ElementKind::Camera) {
    CameraViewport vp;
    e.viewport = camera_viewport(c, i, vp);
    e.rect = {vp.rect.x1, vp.rect.y1, vp.rect.x2, vp.rect.y2};
  }
  return e;
}

render::ElementState element_state(const uint8_t* rec) {
  render::ElementState s;
  const int32_t flags = ir_get(rec, ir::kFlags);
  s.active = (flags & ir::kFlagActive) != 0;
  s.shown = (flags & ir::kFlagShown) != 0;
  s.position = {ir_get(rec, ir::kPosX), ir_get(rec, ir::kPosY), ir_get(rec, ir::kPosZ)};
  s.rotation = {ir_get(rec, ir::kRotX), ir_get(rec, ir::kRotY), ir_get(rec, ir::kRotZ)};
  s.scale = {ir_get(rec, ir::kScaleX), ir_get(rec, ir::kScaleY), ir_get(rec, ir::kScaleZ)};
  s.extra_rotation = (flags & ir::kFlagExtraRotation) != 0;
  s.extra = {ir_get(rec, ir::kExtraRotX), ir_get(rec, ir::kExtraRotY), ir_get(rec, ir::kExtraRotZ)};
  return s;
}

void build_scene(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  render::SceneSettings st;
  st.display_mode = c.settings.display_mode;
  st.texture_quality = c.settings.filtering;
  st.clip_distance = m.project.clip_distance;
  st.format = app.screen.back.format;
  st.background_image = std::string(m.project.background.view());
  st.background_repetitions = m.project.repetitions;
  st.background_shape = m.project.screen_r;
  st.data_folder = std::string(c.data_folder->view());
  std::vector<render::ElementSetup> setups;
  for (int32_t i = 0; i < element_count(m); ++i) setups.push_back(element_setup(app, i));

  app.gl_ready = platform::devices_make_current(app.devices) && (app.gl.ready || gl::device_init(app.gl));
  if (!app.gl_ready) std::fprintf(stderr, "korva: no 3D device: the run shows no 3D scene\n");
  render::scene_build(app.scene, st, setups, app.gl_ready ? &app.gl : nullptr);
  app.element_states.assign(setups.size(), {});
}

void render_frame(App& app, bool first_frame) {
  Core& c = *app.core;
  const uint8_t* records = c.pool(Pool::Instances);
  auto& states = app.element_states;
  for (size_t i = 0; i < states.size(); ++i) {
    // The scene advances the model animation state itself; keep it across passes.
    render::ElementState s = element_state(records + i * kInstanceRecordBytes);
    s.animation_set = states[i].animation_set;
    s.speed = states[i].speed;
    s.tick = states[i].tick;
    s.range_start = states[i].range_start;
    s.range_end = states[i].range_end;
    states[i] = s;
  }
  if (!app.gl_ready) {
    if (!first_frame) platform::screen_flip(app.screen);
    return;
  }
  render::RenderHooks hooks = app.render_hooks;
  hooks.surface_lost = [&app] { return app.screen.primary.lost; };
  hooks.surface_restore = [&app] { platform::screen_restore(app.screen); };
  hooks.flip = [&app] { platform::screen_flip(app.screen); };
  render::scene_render(app.scene, c, states, app.gl, app.screen.back, hooks);
}

}  // namespace

void connect_scene(App& app) {
  for (int32_t type : {kTypeCamera, kTypeFlatShape, kTypeBackground, kTypeLight, kTypeVisual})
    app.seams.loader[type] = one_aspect;
  app.seams.loader[kTypeSprite] = [](App& a, int32_t, int32_t slot, std::string_view path) {
    return sprite_aspects_load(a.system, slot, path);
  };
  app.seams.loader[kTypeFrame] = [](App& a, int32_t, int32_t slot, std::string_view path) {
    return frame_load(a.system, slot, path);
  };
  app.seams.loader[kTypeCounter] = [](App& a, int32_t, int32_t slot, std::string_view path) {
    return counter_load(a.system, slot, path);
  };
  // The text overlays of a frame are the ones its brain pass printed.
  app.runner.before_brains = [](System& s) { text_list_clear(s); };
  overlay_hooks_install(app.system, app.render_hooks);
  app.seams.prepare = build_scene;
  app.seams.render = render_frame;
  app.seams.release = [](App& a) { render::scene_release(a.scene); };
}

}  // namespace korva
