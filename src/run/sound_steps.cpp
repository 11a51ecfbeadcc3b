// Sound in a run.
#include "run/sound_steps.h"

#include "brain/keyword_binding.h"
#include "core/core.h"
#include "devices/sound.h"
#include "engine/keyword_table.h"
#include "model/instance_record.h"
#include "model/model.h"
#include "model/run_state.h"
#include "render/scene.h"
#include "run/run.h"

namespace korva {

namespace {

void make_element_sounds(System& s) {
  if (!s.sound || !s.model || !sound_start(s)) return;
  sound_run_start(s);
  Core& c = *s.core;
  const int32_t count = std::min(element_count(*s.model), kSoundElements);
  for (int32_t i = 0; i < count; ++i) {
    const std::string path(element_field(c, i, fld::kSound).view());
    if (path.empty()) continue;
    const ElementSoundOptions o = sound_options_parse(element_field(c, i, fld::kSoundOptions).view());
    (void)element_sound_create(s, i, asset_open(s, path), o);
    asset_close(s);
  }
  element_sounds_start(s);
}

// The listener takes the hearer's position and its frame orientation (extra rotation included).
void place_listener(System& s) {
  if (!sound_available(s)) return;
  const int32_t h = s.sound->hearer;
  if (h < 0 || h >= kInstanceRecords) return;
  const uint8_t* r = s.core->pool(Pool::Instances) + h * kInstanceRecordBytes;
  render::ElementState e;
  e.rotation = {ir_get(r, ir::kRotX), ir_get(r, ir::kRotY), ir_get(r, ir::kRotZ)};
  e.extra_rotation = (ir_get(r, ir::kFlags) & ir::kFlagExtraRotation) != 0;
  e.extra = {ir_get(r, ir::kExtraRotX), ir_get(r, ir::kExtraRotY), ir_get(r, ir::kExtraRotZ)};
  rm::vec3 dir, up;
  render::element_orientation(*s.core, e, dir, up);
  const double position[3] = {ir_get(r, ir::kPosX) / kPositionUnits, ir_get(r, ir::kPosY) / kPositionUnits,
                              ir_get(r, ir::kPosZ) / kPositionUnits};
  const double at[3] = {dir.x, dir.y, dir.z};
  const double top[3] = {up.x, up.y, up.z};
  sound_listener_set(s, position, at, top);
}

}  // namespace

void add_sound_steps(RunPipeline& p) {
  run_step_add(p, Phase::RunStart, "element sounds", [](System& s) {
    make_element_sounds(s);
    if (s.run && s.sound)
      s.run->hooks.swap_primary_volume = [&s](int32_t volume) { return sound_swap_primary_volume(s, volume); };
  });
  run_step_add(p, Phase::SoundSync, "listener and sound positions", [](System& s) {
    place_listener(s);
    sound_positions_update(s);
  });
  run_step_add(p, Phase::SoundCommit, "commit 3D sound settings", [](System& s) { sound_commit(s); });
  run_step_add(p, Phase::RunEnd, "release sounds", [](System& s) {
    sound_release_all(s);
    if (s.run) s.run->hooks.swap_primary_volume = nullptr;
  });
}

void bind_sound_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"hearer", keyword_routine<hearer>},
      {"play_sound", keyword_routine<play_sound>},
      {"stop_sound", keyword_routine<stop_sound>},
      {"sound_status", keyword_routine<sound_status>},
      {"sound_mode_set", keyword_routine<sound_mode_set>},
      {"sound_rate_set", keyword_routine<sound_rate_set>},
      {"stop_sound_system", keyword_routine<stop_sound_system>},
      {"restart_sound_system", keyword_routine<restart_sound_system>},
      {"esound_load", keyword_routine<esound_load>},
      {"esound_unload", keyword_routine<esound_unload>},
      {"esound_play", keyword_routine<esound_play>},
      {"esound_stop", keyword_routine<esound_stop>},
      {"esound_state", keyword_routine<esound_state>},
      {"esound_volume_set", keyword_routine<esound_volume_set>},
      {"esound_frequency_set", keyword_routine<esound_frequency_set>},
      {"esound_minmaxdist_set", keyword_routine<esound_minmaxdist_set>},
      {"esound_location_set", keyword_routine<esound_location_set>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
