// The keyword families a brain needs without a window or a scene.
#include "brain/machine.h"
#include "devices/devices.h"
#include "devices/net.h"
#include "engine/engine.h"
#include "run/keyword_table.h"
#include "runtime/relation_keywords.h"
#include "runtime/runtime.h"
#include "runtime/text_keywords.h"

namespace korva {

void bind_brain_keywords(KeywordBindings& b) {
  bind_machine_keywords(b);
  bind_motion_keywords(b);
  bind_collision_keywords(b);
  bind_runtime_keywords(b);
  bind_text_keywords(b);
  bind_relation_keywords(b);
  bind_input_keywords(b);
  bind_joystick_keywords(b);
  bind_network_keywords(b);
}

}  // namespace korva
