// One project run: the asset pass, the object pass, brain compilation, four warm-up brain steps
// and a first frame, the fixed-rate frame loop, tear-down. Every subsystem takes part through
// named steps in the run's ordered list; the phases below are that order, and reading them
// tells what a run and a frame do. The editor run, the virtual editor, the stand-alone player
// and the tests all run projects through this code.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/system.h"

namespace korva {

constexpr int32_t kElementTypes = 14;
constexpr int32_t kAssetSlots = 4096;
constexpr int32_t kAssetRecordBytes = 64;
constexpr int32_t kWarmUpSteps = 4;
// Free StringStack bytes below which a run starts with a warning.
constexpr int32_t kLowStringMemory = 80000;

// When a step runs. The order of this list is the order of the run.
enum class Phase : int32_t {
  // Once, as the asset pass begins: each asset layer forgets the previous run's assets.
  AssetReset,
  // Once, after the object pass and before the brains are compiled: scene, sounds, collision
  // tables.
  RunStart,
  // Every loop frame, in the frame-step order:
  Input,         // after the window messages are pumped and the mouse sampled
  Races,         // advance the races
  Collisions,    // the collision pass over the pair list
  Joysticks,     // joystick 1, then joystick 2
  BeforeBrains,  // inside the brain step, before the first brain (network, text list)
  AfterBrains,   // inside the brain step, after the last brain
  // Every rendered frame (and once before the loop), in the render-pass order:
  Restore,       // a lost primary surface is restored
  Under2d,       // FRAME images and BACKGROUND fills, drawn into the back surface first
  SceneSync,     // scene frames follow the instance records
  SoundSync,     // the 3D listener and sound positions
  Draw3d,        // every camera's viewport
  Over2d,        // sprites, counters, printed text, the debug value
  Present,       // the flip (not on the first frame of a run)
  SoundCommit,   // deferred 3D sound settings
  // Once, at tear-down.
  RunEnd,
  Count,
};

using RunStepFn = std::function<void(System&)>;

struct RunStep {
  Phase phase;
  std::string name;
  RunStepFn run;
};

// Loads element's asset file (already opened: `path` is what to read) into consecutive asset
// records from slot on and returns how many it used (its aspects), 0 when it loads nothing.
using AssetLoader = std::function<int32_t(System& s, int32_t element, int32_t slot, std::string_view path)>;

// The run's steps, its loaders by element type, and what one run keeps for itself.
struct RunPipeline {
  std::vector<RunStep> steps;
  AssetLoader loader[kElementTypes];

  // The asset-sharing map and each element's first slot, rebuilt by every asset pass.
  int32_t asset_share[kAssetSlots] = {};
  int32_t first_asset[256] = {};

  // Test and demo controls (KORVA_MAX_FRAMES, KORVA_FAST) and what a run did.
  int64_t max_frames = -1;
  bool fast = false;
  bool first_frame = false;  // the frame being rendered is the one before the loop
  int64_t loop_frames = 0;
  int64_t frames_rendered = 0;
  int64_t track_recorded_bytes = 0;

  // Temporary unscrambled copies made by asset_open, deleted by asset_close.
  std::vector<std::string> asset_temps;

  // Keywords with no routine that the compiled brains call, reported once per compilation.
  std::vector<std::string> unbound;
};

// Adds a step to a phase; steps of one phase run in the order they were added.
void run_step_add(RunPipeline& p, Phase phase, std::string_view name, RunStepFn run);
// Runs every step of a phase.
void run_phase(System& s, Phase phase);
// The steps in the order they run, as "phase: name" lines (for tests and --help style listings).
std::vector<std::string> run_step_names(const RunPipeline& p);
const char* phase_name(Phase phase);

// The one function through which the asset pass opens a file: returns the path to read. The
// stand-alone player unscrambles here into the temporary file.
std::string asset_open(System& s, std::string_view path);
// Deletes the temporary files asset_open made (after each element's loader).
void asset_close(System& s);

// The asset pass: every element's aspects into asset slots, sharing equal asset paths, aspect
// counts into sub-field 2 of field 38. Returns the number of slots used.
int32_t asset_pass(System& s);
// The object pass: every element's instance record from its element record.
void object_pass(System& s);
// Compiles every brain and prepares the machine for them; the keywords without a routine that
// the brains call are reported once, on stderr and the status line.
void compile_brains(System& s);
// Renders one frame: every step from Restore to SoundCommit.
void render_frame(System& s, bool first_frame);
// What a run does differently for the stand-alone player.
struct RunOptions {
  // The globals were set by the caller (the player's hand-over between levels): they are
  // neither cleared nor read from "temp/globvars.dat".
  bool keep_globals = false;
  // Called after the brains are compiled, before the first brain step (the player's 'load
  // complete' screen and the resumed game).
  std::function<void(System&)> after_compile;
};
// The whole run of the loaded project; returns its exit code.
int32_t run_project(System& s, const RunOptions& options = {});
// Waits until no mouse button is down (at once without a window or with scripted input).
void wait_mouse_release(System& s);

// The scene's and the 2D layers' loaders and steps: the asset loaders by element type, the
// scene build at run start, the per-frame drawing steps, the release at run end.
void add_scene_steps(RunPipeline& p);

// The keywords the run itself answers (`render`, `rendering_device_set`).
struct KeywordBindings;
void bind_run_keywords(KeywordBindings& b);

}  // namespace korva
