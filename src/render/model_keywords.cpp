// The model animation keywords as brains call them: word reads and writes of the animation
// fields in the asset record of an element's current .x model. Elements sharing a model file
// share its asset record, so they share its animation as well.
#include "render/model_keywords.h"

#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/scene.h"

namespace korva {
namespace {

namespace rec = render::scene_record;

// The asset record holding e's animation fields, or nullptr when e is not an element of the
// project whose current visual is a loaded .x model record.
uint8_t* model_record(const System& s, int32_t e) {
  const int32_t index = element_index_of(e);
  if (index < 0 || !s.scene || (s.model && index > s.model->last_index)) return nullptr;
  const uint8_t* r = instance_at(s, e);
  // Without an aspect the aspect words name another element's slots.
  if (!r || ir_get(r, ir::kAspectCount) < 1) return nullptr;
  uint8_t* asset = current_asset(s, r);
  const render::SceneAsset* a = render::scene_asset(s, asset);
  return a && a->kind == render::ElementKind::Model ? asset : nullptr;
}

int32_t field(const System& s, int32_t e, int32_t offset) {
  const uint8_t* r = model_record(s, e);
  return r ? ir_get(r, offset) : 0;
}

void set_field(System& s, int32_t e, int32_t offset, int32_t v) {
  if (uint8_t* r = model_record(s, e)) ir_set(r, offset, v);
}

}  // namespace

int32_t h_animation_speed(System& s, int32_t e) { return field(s, e, rec::kSpeed); }
void h_animation_speed_set(System& s, int32_t e, int32_t v) { set_field(s, e, rec::kSpeed, v); }
int32_t h_animation_tick(System& s, int32_t e) { return field(s, e, rec::kTick); }
void h_animation_tick_set(System& s, int32_t e, int32_t v) { set_field(s, e, rec::kTick, v); }

void h_animation_range_set(System& s, int32_t e, int32_t start, int32_t end) {
  if (uint8_t* r = model_record(s, e)) {
    ir_set(r, rec::kRangeStart, start);
    ir_set(r, rec::kRangeEnd, end);
  }
}

int32_t h_animation_range_start(System& s, int32_t e) { return field(s, e, rec::kRangeStart); }
int32_t h_animation_range_end(System& s, int32_t e) { return field(s, e, rec::kRangeEnd); }

void bind_model_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"h_animation_speed", keyword_routine<h_animation_speed>},
      {"h_animation_speed_set", keyword_routine<h_animation_speed_set>},
      {"h_animation_tick", keyword_routine<h_animation_tick>},
      {"h_animation_tick_set", keyword_routine<h_animation_tick_set>},
      {"h_animation_range_set", keyword_routine<h_animation_range_set>},
      {"h_animation_range_start", keyword_routine<h_animation_range_start>},
      {"h_animation_range_end", keyword_routine<h_animation_range_end>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
