// Video in a run, and the keywords that show videos and pictures.
#include "run/video_steps.h"

#include <algorithm>
#include <string>

#include "core/core.h"
#include "devices/video.h"
#include "engine/keyword_table.h"
#include "render/scene.h"
#include "run/run.h"
#include "runtime/text_argument.h"

namespace korva {

// The keywords live in their own namespace: the core's play_set and bmp_show share their names.
namespace video_keywords {

bool fast(const System& s) { return s.pipeline && s.pipeline->fast; }

void play_set(System& s, int32_t x, int32_t y, int32_t width, int32_t height, int32_t repeats) {
  korva::play_set(*s.core, x, y, width, height, repeats);
}

void play(System& s, int32_t name) {
  PlayContext context;
  context.fast = fast(s);
  if (s.pipeline) {
    context.script_time = s.pipeline->loop_frames;
    // Only inside a run (between the scene build and its release) is there a scene to render.
    context.render_scene = [&s] {
      if (s.scene && s.scene->main) render_frame(s, false);
    };
    context.poll_joysticks = [&s] { run_phase(s, Phase::Joysticks); };
  }
  context.wait_mouse_release = [&s] { wait_mouse_release(s); };
  video_play(s, text_argument(s, name), context);
}

void play_task(System& s, int32_t name) { video_play_task(s, text_argument(s, name), fast(s)); }
int32_t play_task_status(System& s) { return video_task_status(s); }
void stop_task(System& s) { video_stop_task(s); }

void bmp_show(System& s, int32_t name) {
  std::string path(text_argument(s, name));
  std::replace(path.begin(), path.end(), '\\', '/');
  korva::bmp_show(*s.core, path);
}

}  // namespace video_keywords

void add_video_steps(RunPipeline& p) {
  run_step_add(p, Phase::SoundSync, "background player sound", video_task_feed);
  run_step_add(p, Phase::RunEnd, "close background player", video_stop_task);
}

void bind_video_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"play_set", keyword_routine<video_keywords::play_set>},
      {"play", keyword_routine<video_keywords::play>},
      {"play_task", keyword_routine<video_keywords::play_task>},
      {"play_task_status", keyword_routine<video_keywords::play_task_status>},
      {"stop_task", keyword_routine<video_keywords::stop_task>},
      {"bmp_show", keyword_routine<video_keywords::bmp_show>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
