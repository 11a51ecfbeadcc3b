// The one table that binds every keyword row to its routine: each keyword family binds its
// own rows; a row no family binds answers 0 and is reported once, when brains are compiled.
// The families a brain needs without a window or a scene come first, as their own list, so
// that a tool that only compiles and runs brains links just those.
#include "editors/dialog_keywords.h"
#include "render/appearance_keywords.h"
#include "render/frame_keywords.h"
#include "render/mesh_keywords.h"
#include "render/model_keywords.h"
#include "render/overlay.h"
#include "render/scene_keywords.h"
#include "render/shadow_keywords.h"
#include "run/keyword_table.h"
#include "run/run.h"
#include "run/sound_steps.h"
#include "run/track_steps.h"
#include "run/video_steps.h"

namespace korva {

void bind_all_keywords(KeywordBindings& b) {
  bind_brain_keywords(b);
  bind_scene_keywords(b);
  bind_overlay_keywords(b);
  bind_appearance_keywords(b);
  bind_model_keywords(b);
  bind_frame_keywords(b);
  bind_mesh_keywords(b);
  bind_shadow_keywords(b);
  bind_dialog_keywords(b);
  bind_track_keywords(b);
  bind_sound_keywords(b);
  bind_video_keywords(b);
  bind_run_keywords(b);
}

}  // namespace korva
