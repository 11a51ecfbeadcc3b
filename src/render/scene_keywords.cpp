// The scene-wide rendering keywords as brains call them: each finds the run's scene (or its
// device) through the system and does nothing without one.
#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "render/scene.h"
#include "render/scene_keywords.h"

namespace korva {

void fog_set(System& s, int32_t start, int32_t end) {
  if (s.scene) render::fog_set(*s.scene, start, end);
}
int32_t fog_start(System& s) { return s.scene ? render::fog_start(*s.scene) : 0; }
int32_t fog_end(System& s) { return s.scene ? render::fog_end(*s.scene) : 0; }
void fog_color_set(System& s, int32_t r, int32_t g, int32_t b) {
  if (s.scene) render::fog_color_set(*s.scene, r, g, b);
}
void fogeffect_set(System& s, int32_t flag) {
  if (s.scene) render::fogeffect_set(*s.scene, flag);
}
int32_t clip_distance(System& s) { return s.scene ? render::clip_distance(*s.scene) : 0; }
void camera_fov_set(System& s, int32_t e, int32_t a) {
  const int32_t index = element_index_of(e);
  if (s.scene && index >= 0) render::camera_fov_set(*s.scene, index, a);
}
void sort_mode_set(System& s, int32_t t) {
  if (s.scene) render::sort_mode_set(*s.scene, t);
}
void poly_sort_mode_set(System& s, int32_t f) {
  if (s.gl) render::poly_sort_mode_set(*s.gl, f);
}
void specular_set(System& s, int32_t f) {
  if (s.gl) render::specular_set(*s.gl, f);
}
void dithering_set(System& s, int32_t f) {
  if (s.gl) render::dithering_set(*s.gl, f);
}
void antialias_set(System& s, int32_t f) {
  if (s.gl) render::antialias_set(*s.gl, f);
}
void background3d_set(System& s, int32_t m) {
  if (s.scene) render::background3d_set(*s.scene, m);
}
void flats_priority_set(System& s, int32_t f) {
  if (s.scene) render::flats_priority_set(*s.scene, f);
}

void bind_scene_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"fog_set", keyword_routine<fog_set>},
      {"fog_start", keyword_routine<fog_start>},
      {"fog_end", keyword_routine<fog_end>},
      {"fog_color_set", keyword_routine<fog_color_set>},
      {"fogeffect_set", keyword_routine<fogeffect_set>},
      {"clip_distance", keyword_routine<clip_distance>},
      {"camera_fov_set", keyword_routine<camera_fov_set>},
      {"sort_mode_set", keyword_routine<sort_mode_set>},
      {"poly_sort_mode_set", keyword_routine<poly_sort_mode_set>},
      {"specular_set", keyword_routine<specular_set>},
      {"dithering_set", keyword_routine<dithering_set>},
      {"antialias_set", keyword_routine<antialias_set>},
      {"background3d_set", keyword_routine<background3d_set>},
      {"flats_priority_set", keyword_routine<flats_priority_set>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
