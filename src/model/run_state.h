// The state of the running project that brain keywords read and change: exit code, frame rate,
// frame counter, the push/pop stack top, the globals range, the debug value, started tasks,
// and the seams through which keywords reach parts of the system that live above them
// (input, scene frames, the network). One per system; tests make their own.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace korva {

constexpr int32_t kDefaultFrameRate = 30;
constexpr int32_t kTicksPerSecond = 4500;
constexpr int32_t kMinFrameRate = 15;
constexpr int32_t kMaxFrameRate = 250;
constexpr int32_t kGlobalWords = 2048;     // the first words of the brain variable pool
constexpr int32_t kStateStackEntries = 128;  // push/pop entries of 48 bytes
constexpr int32_t kMaxTasks = 64;          // started processes not yet reaped

// The exit code while the run goes on; any other value ends it after the current frame.
constexpr int32_t kExitRunning = -1;
constexpr int32_t kExitRestart = -3;       // `reset`: the player ends and a new one starts

// Volumes are hundredths of a decibel from -10000 (silent) to 0 (full); a dialog or a pause
// holds the game at the silent one.
constexpr int32_t kSilentVolume = -10000;

// Seams to parts of the system above the keyword families. An unset seam does nothing
// (reads give 0 or the default), so keywords work in tests and tools without them.
struct RunHooks {
  // -1 when a key, a mouse button or a joystick button is down (after polling the keyboard).
  std::function<int32_t()> any_input;
  // Processes pending window messages and keyboard input.
  std::function<void()> process_input;
  // Renders the current frame, mutes the sound, waits for all input to be released and then
  // for a press, and restores the volume.
  std::function<void()> pause;
  // In a network session: applies the global values received from the other machines.
  std::function<void()> apply_received_globals;
  // Sets (true) or clears (false) bit 1 of a scene frame's traversal options.
  std::function<void(int32_t frame, bool brain_on)> frame_enable;
  // A scene frame's position relative to its parent, in scene units.
  std::function<bool(int32_t frame, double& x, double& y, double& z)> frame_position;
  // The local date and time; unset means the system clock.
  std::function<std::tm()> local_time;
  // Sets the primary sound buffer's volume in hundredths of a decibel (-10000 silences it) and
  // returns the volume it had: the brains' dialogs mute the game while they are open.
  std::function<int32_t(int32_t volume)> swap_primary_volume;
  // The stand-alone player's saved games: `save_x` writes game n; `resume_x` ends the level to
  // load game n (or says why it cannot).
  std::function<void(int32_t game)> save_game;
  std::function<void(int32_t game)> resume_game;
  // Shows the "Runtime Error" box with the text over the game (the dialog layer's box).
  std::function<void(std::string_view text)> runtime_error;
};

struct RunState {
  int32_t exit_code = kExitRunning;
  int32_t frame_rate = kDefaultFrameRate;                      // max_framerate
  int32_t frame_period = kTicksPerSecond / kDefaultFrameRate;  // ticks per frame
  int64_t next_frame_time = 0;                                 // in ticks

  // The frame counter ("tics"): 0 when brains are compiled, +1 by every brain pass.
  uint32_t tics = 0;

  int32_t state_stack_top = 0;  // entries on the push/pop stack

  // The range of the last globals_save or globals_load, also used for "temp/globvars.dat".
  int32_t globals_first = 0;
  int32_t globals_last = 0;

  std::string globals_save_failed;  // the last file globals_save could not write, said once

  int32_t debug_value = 0;
  bool debug_shown = false;  // cleared when objects are initialised at run start

  // Processes started by run_task, reaped when they have ended.
  int32_t tasks[kMaxTasks] = {};
  int32_t task_count = 0;

  RunHooks hooks;
};

}  // namespace korva
