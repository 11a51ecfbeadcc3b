// The keywords the run itself answers: `render` runs the render pass at once, and
// `rendering_device_set` chooses and re-creates the 3D device.
#include "core/core.h"
#include "engine/keyword_table.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "render/scene.h"
#include "run/run.h"

namespace korva {
// The run's keywords live in their own namespace: `render` is also the rendering layer's name.
namespace run_keywords {

// Only inside a run (between the scene build and its release) is there a pass to run.
void render(System& s) {
  if (s.pipeline && s.scene && s.scene->main) render_frame(s, false);
}

void rendering_device_set(System& s, int32_t d) {
  if (!s.devices || s.devices->selected == platform::DeviceKind::None) return;  // the framework is not up
  s.core->settings.rendering_device = d & 3;
  // The device the window offers is made anew: its objects are uploaded again as they are drawn.
  if (!s.gl) return;
  gl::device_release(*s.gl);
  if (platform::devices_make_current(*s.devices) && gl::device_init(*s.gl) && s.scene)
    s.scene->device_ready = true;
  else if (s.scene)
    s.scene->device_ready = false;
}

}  // namespace run_keywords

void bind_run_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"render", keyword_routine<run_keywords::render>},
      {"rendering_device_set", keyword_routine<run_keywords::rendering_device_set>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
