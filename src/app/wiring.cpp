// Wiring of one system: the subsystem states behind the Core, the keyword table, input from
// the window or from a script, and the panel GUI.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "render/frame_keywords.h"
#include "render/overlay.h"
#include "run/collision_steps.h"
#include "run/keyword_table.h"
#include "run/sound_steps.h"
#include "run/track_steps.h"
#include "run/video_steps.h"

namespace korva {
namespace {

int64_t env_number(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  char* end = nullptr;
  long long n = std::strtoll(v, &end, 10);
  return (end && *end == 0 && n >= 0) ? n : fallback;
}

bool env_flag(const char* name) {
  const char* v = std::getenv(name);
  return v && *v && std::string_view(v) != "0";
}

void load_input_script(App& app) {
  const char* file = std::getenv("KORVA_INPUT");
  if (!file || !*file) return;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "korva: the input script %s cannot be read\n", file);
    return;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> errors;
  app.script = std::make_unique<InputScript>(parse_input_script(text.str(), errors));
  for (const auto& e : errors) std::fprintf(stderr, "korva: %s: %s (skipped)\n", file, e.c_str());
}

void connect_input(App& app) {
  app.screen.on_input = [&app](const platform::InputEvent& e) {
    using Kind = platform::InputEvent::Kind;
    switch (e.kind) {
      case Kind::KeyDown: input_key_down(app.input, e.scan, e.character_waiting); break;
      case Kind::KeyUp: input_key_up(app.input, e.scan); break;
      case Kind::Character: input_character(app.input, e.character, e.scan); break;
      case Kind::Wheel: input_wheel(app.input, e.wheel * 120); break;
    }
  };
  app.core->frame.mouse_sampled = [&app](int32_t x, int32_t y, int32_t buttons) {
    if (app.script) return;  // the script owns the pointer
    input_sample_mouse(app.input, x, y, buttons, app.screen.back.width, app.screen.back.height);
  };
}

// Frame step 5: joystick 1, then joystick 2, into the input state. A script that drives the
// joysticks owns them instead.
void poll_joysticks(App& app) {
  if (app.script) return;
  platform::JoystickState raw[2];
  platform::joysticks_poll(app.joysticks, raw);
  for (int k = 0; k < kMaxJoysticks; ++k) {
    Joystick& j = app.input.joy[k];
    const platform::JoystickState& r = raw[k];
    j = Joystick{};
    j.present = r.present;
    if (!r.present) continue;
    j.x = joystick_axis_value(r.axis[0], true);
    j.y = joystick_axis_value(r.axis[1], true);
    j.z = joystick_axis_value(r.axis[2], true);
    j.rx = joystick_axis_value(r.axis[3], false);
    j.ry = joystick_axis_value(r.axis[4], false);
    j.rz = joystick_axis_value(r.axis[5], false);
    j.slider[0] = joystick_axis_value(r.axis[6], false);
    j.slider[1] = joystick_axis_value(r.axis[7], false);
    for (int h = 0; h < 4; ++h) j.pov[h] = r.hat[h];
    j.buttons = r.buttons;
  }
}

void wait_for_input(App& app, bool down) {
  while (any_input_down(app.input) != down && !platform::interrupt_signal()) {
    pump(*app.core);
    poll_joysticks(app);
    platform::sleep_ms(5);
  }
}

void connect_run_hooks(App& app) {
  RunHooks& h = app.run.hooks;
  h.any_input = [&app]() { return any_input_down(app.input) ? -1 : 0; };
  h.process_input = [&app]() { pump(*app.core); };
  h.apply_received_globals = [&app]() { net_apply_globals(app.system); };
  // pause: the frame as it is, half a second, then every input released and a new press.
  // Headless or driven by an input script, nobody is at the keyboard, and a fast run never
  // waits: these go on at once.
  h.pause = [&app]() {
    render_frame(app.system, false);
    if (app.screen.headless || app.pipeline.fast || app.script) return;
    const PersonWait wait(*app.core);
    // Silent while paused, as the dialogs are: the listener's volume to the minimum and back.
    const auto& swap = app.run.hooks.swap_primary_volume;
    const int32_t volume = swap ? swap(kSilentVolume) : 0;
    platform::sleep_ms(500);
    wait_for_input(app, false);
    wait_for_input(app, true);
    if (swap) swap(volume);
    app.run.next_frame_time = ticks_now(*app.core) + app.run.frame_period;
  };
}

// The last join, leave or host notice of the session, for a few seconds at the bottom left:
// white on a black strip, so that it reads on any picture and covers the notice before it.
void draw_network_notice(App& app) {
  if (!app.network || app.network->status_line.empty() || app.screen.back.pixels.empty()) return;
  std::string line = app.network->status_line;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  platform::Surface& back = app.screen.back;
  const int32_t h = font_height(app.system, 0);
  const int32_t y = back.height - h - 4;
  platform::surface_fill_rect(back, 0, y - 2, back.width, h + 6, 0);
  text_draw(app.system, back, line, 4, y, 0, 0xFFFFFF);
}

// Every subsystem's part in a run; the phase of each step fixes when it runs.
void add_run_steps(App& app) {
  RunPipeline& p = app.pipeline;
  add_scene_steps(p);
  add_track_steps(p);
  add_collision_steps(p);
  add_sound_steps(p);
  add_video_steps(p);
  run_step_add(p, Phase::Joysticks, "joysticks", [&app](System&) { poll_joysticks(app); });
  run_step_add(p, Phase::RunStart, "network tables", [](System& s) { net_run_start(s); });
  run_step_add(p, Phase::BeforeBrains, "network receive", [](System& s) { net_before_brains(s); });
  run_step_add(p, Phase::AfterBrains, "network send", [](System& s) { net_after_brains(s); });
  run_step_add(p, Phase::Over2d, "network notice", [&app](System& s) { draw_network_notice(app); });
}

}  // namespace

void app_wire(App& app) {
  Core& c = *app.core;
  app.model = model_create();
  app.brain = brain_create();
  app.machine = machine_create();
  app.blocks = std::make_unique<Blocks>();
  app.overlays = overlays_create();
  app.pipeline.max_frames = env_number("KORVA_MAX_FRAMES", -1);
  app.pipeline.fast = env_flag("KORVA_FAST");
  load_input_script(app);

  System& s = app.system;
  s.core = &c;
  s.model = app.model.get();
  s.run = &app.run;
  s.brain = app.brain.get();
  s.machine = app.machine.get();
  s.blocks = app.blocks.get();
  s.overlays = app.overlays.get();
  s.input = &app.input;
  s.script = app.script.get();
  s.pipeline = &app.pipeline;
  s.scene = &app.scene;
  s.gl = &app.gl;
  s.devices = &app.devices;
  s.tracks = &app.tracks;
  s.sound = &app.sound;
  s.video = &app.video;
  s.net = app.network.get();
  machine_attach(s);
  bind_all_keywords(app.machine->keywords);
  connect_frame_hooks(s);

  connect_input(app);
  platform::joysticks_open(app.joysticks);
  connect_run_hooks(app);
  add_run_steps(app);
}

}  // namespace korva
