// Running a project: the asset pass, the object pass, brain compilation, the fixed-rate frame
// loop with its warm-up steps and catch-up, tear-down, and the editor run around it (mode 1).
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

namespace korva {

struct App;

constexpr int32_t kElementTypes = 14;
constexpr int32_t kAssetSlots = 4096;
constexpr int32_t kAssetRecordBytes = 64;
constexpr int32_t kWarmUpSteps = 4;
// Free StringStack bytes below which a run starts with a warning.
constexpr int32_t kLowStringMemory = 80000;

// Loads element's asset file into consecutive asset records from slot on and returns how many
// it used (its aspects), 0 when it loads nothing. One per element type; the 3D, 2D and sound
// layers fill in theirs.
using AssetLoader = std::function<int32_t(App& app, int32_t element, int32_t slot, std::string_view path)>;

struct RunSeams {
  AssetLoader loader[kElementTypes];
  // After the object pass: the engine's per-run set-up (scene, collision tables, sounds).
  std::function<void(App&)> prepare;
  // Frame step 3 (races, then the collision pass) and step 5 (joysticks 1 and 2).
  std::function<void(App&)> engine_step;
  std::function<void(App&)> poll_joysticks;
  // Draws one frame into the back surface and flips it, except for the first frame of a run.
  std::function<void(App&, bool first_frame)> render;
  // Tear-down: scene objects, sound objects, video.
  std::function<void(App&)> release;
};

// The asset pass: every element's aspects into asset slots, sharing equal asset paths, aspect
// counts into sub-field 2 of field 38. Returns the number of slots used.
int32_t asset_pass(App& app);
// The object pass: every element's instance record from its element record.
void object_pass(App& app);
// Compiles every brain and prepares the machine for them.
void compile_brains(App& app);
// The whole editor run of the loaded project; returns its exit code.
int32_t run_project(App& app);
// Waits until no mouse button is down (at once without a window or with scripted input).
void wait_mouse_release(App& app);
// Mode 1: the run marker, the run, the exit-code and recorded-track reports.
void editor_run(App& app);

}  // namespace korva
