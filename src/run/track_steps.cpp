// Tracks, splines and races in a run.
#include "run/track_steps.h"

#include "brain/keyword_binding.h"
#include "engine/keyword_table.h"
#include "engine/tracks.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/spline_keywords.h"
#include "run/run.h"

namespace korva {

void add_track_steps(RunPipeline& p) {
  p.loader[kTypeTrack] = [](System& s, int32_t, int32_t slot, std::string_view path) -> int32_t {
    uint8_t* record = asset_record(s, slot);
    if (!record || !s.tracks) return 0;
    track_load(s, record, path);
    return 1;
  };
  run_step_add(p, Phase::AssetReset, "forget loaded tracks", [](System& s) {
    if (s.tracks) tracks_clear(*s.tracks);
  });
  run_step_add(p, Phase::RunStart, "empty recording, races and gates", [](System& s) { tracks_run_start(s); });
  run_step_add(p, Phase::Races, "advance races", [](System& s) { races_advance(s); });
  run_step_add(p, Phase::RunEnd, "hand over the recorded track", [](System& s) {
    if (s.pipeline) s.pipeline->track_recorded_bytes = track_recorded_bytes(s);
  });
}

void bind_track_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"track_record_reset", keyword_routine<track_record_reset>},
      {"track_record", keyword_routine<track_record>},
      {"track_play", keyword_routine<track_play>},
      {"track_play_loop", keyword_routine<track_play_loop>},
      {"track_play_back", keyword_routine<track_play_back>},
      {"track_play_reset", keyword_routine<track_play_reset>},
      {"track_yr", keyword_routine<track_yr>},
      {"track", keyword_routine<track>},
      {"track_yr_smooth", keyword_routine<track_yr_smooth>},
      {"track_smooth", keyword_routine<track_smooth>},
      {"race_on", keyword_routine<race_on>},
      {"race_off", keyword_routine<race_off>},
      {"race_lap", keyword_routine<race_lap>},
      {"race_lap_set", keyword_routine<race_lap_set>},
      {"race_next_checkpoint", keyword_routine<race_next_checkpoint>},
      {"race_next_checkpoint_set", keyword_routine<race_next_checkpoint_set>},
      {"race_position", keyword_routine<race_position>},
      {"checkpoint_add", keyword_routine<checkpoint_add>},
      {"checkpoint_height_set", keyword_routine<checkpoint_height_set>},
      {"checkpoint_reset", keyword_routine<checkpoint_reset>},
      {"checkpoint", keyword_routine<checkpoint>},
      {"spline_key_add", keyword_routine<spline_key_add>},
      {"spline_key_set", keyword_routine<spline_key_set>},
      {"spline_key_remove", keyword_routine<spline_key_remove>},
      {"spline", keyword_routine<spline>},
      {"spline_pos_x", keyword_routine<spline_pos_x>},
      {"spline_pos_y", keyword_routine<spline_pos_y>},
      {"spline_pos_z", keyword_routine<spline_pos_z>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
