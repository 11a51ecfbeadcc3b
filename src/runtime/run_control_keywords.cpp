// Keywords of run control. Input, rendering and sound reach them through the seams of RunState.
#include "runtime/run_control_keywords.h"

#include "engine/keyword_table.h"

#include "core/core.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva {
namespace {

bool standalone(const System& s) { return s.model != nullptr && s.model->standalone; }

// Changes one engine setting and writes "config.ini"; the change counts from the next start.
void change_setting(System& s, int32_t Settings::*setting, int32_t v) {
  if (!standalone(s)) return;
  s.core->settings.*setting = v;
  settings_write(*s.core);
}

// The frame clock starts afresh after a wait outside the frame loop.
void restart_frame_clock(System& s) {
  if (s.run != nullptr) s.run->next_frame_time = ticks_now(*s.core) + s.run->frame_period;
}

}  // namespace

int32_t display_mode(System& s) { return s.core->settings.display_mode; }
void display_mode_set(System& s, int32_t m) { change_setting(s, &Settings::display_mode, m); }
void sound_set(System& s, int32_t v) { change_setting(s, &Settings::sound, v & 3); }
void sound_mixing_set(System& s, int32_t v) { change_setting(s, &Settings::sound_mixing, v & 3); }

int32_t par_count(System& s) { return s.core->par_count; }
int32_t par_get(System& s, int32_t i) {
  const uint32_t count = static_cast<uint32_t>(s.core->par_count);
  if (static_cast<uint32_t>(i) >= count || i >= kMaxParams) return 0;
  return s.core->par[i];
}

void exit(System& s, int32_t code) {
  if (s.run != nullptr) s.run->exit_code = code;
}

int32_t any_input(System& s) {
  if (s.run == nullptr || !s.run->hooks.any_input) return 0;
  return s.run->hooks.any_input() ? -1 : 0;
}

void input_process(System& s) {
  if (s.run != nullptr && s.run->hooks.process_input) s.run->hooks.process_input();
  restart_frame_clock(s);
}

void pause(System& s) {
  if (s.run != nullptr && s.run->hooks.pause) s.run->hooks.pause();
  restart_frame_clock(s);
}

int32_t debug(System& s, int32_t v) {
  if (s.run != nullptr) {
    s.run->debug_value = v;
    s.run->debug_shown = true;
  }
  return v;
}

// Saved games exist only in the stand-alone player, which sets the seams; elsewhere these
// keywords do nothing.
void save(System& s) { save_x(s, 0); }
void save_x(System& s, int32_t game) {
  if (standalone(s) && s.run != nullptr && s.run->hooks.save_game) s.run->hooks.save_game(game);
  restart_frame_clock(s);
}
void resume(System& s) { resume_x(s, 0); }
void resume_x(System& s, int32_t game) {
  if (standalone(s) && s.run != nullptr && s.run->hooks.resume_game) s.run->hooks.resume_game(game);
}

void bind_run_control_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"display_mode", keyword_routine<display_mode>},
      {"display_mode_set", keyword_routine<display_mode_set>},
      {"sound_set", keyword_routine<sound_set>},
      {"sound_mixing_set", keyword_routine<sound_mixing_set>},
      {"par_count", keyword_routine<par_count>},
      {"par_get", keyword_routine<par_get>},
      {"exit", keyword_routine<exit>},
      {"any_input", keyword_routine<any_input>},
      {"input_process", keyword_routine<input_process>},
      {"pause", keyword_routine<pause>},
      {"debug", keyword_routine<debug>},
      {"save", keyword_routine<save>},
      {"save_x", keyword_routine<save_x>},
      {"resume", keyword_routine<resume>},
      {"resume_x", keyword_routine<resume_x>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
