// The one table that binds every keyword row to its routine: each keyword family binds its
// own rows; a row no family binds answers 0 and is reported once per run.
#include "app/keyword_bindings.h"

#include "brain/machine.h"
#include "engine/engine.h"
#include "render/overlay.h"
#include "render/scene_keywords.h"
#include "runtime/runtime.h"

namespace korva {

void bind_all_keywords(KeywordBindings& b) {
  bind_machine_keywords(b);
  bind_motion_keywords(b);
  bind_runtime_keywords(b);
  bind_scene_keywords(b);
  bind_overlay_keywords(b);
}

}  // namespace korva
