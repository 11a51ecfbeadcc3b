// The program's own states: the korva executable owns every subsystem state here and wires
// the System context (core/system.h) to them.
#pragma once
#include <memory>

#include "app/run.h"
#include "brain/brain.h"
#include "brain/brain_runner.h"
#include "brain/machine.h"
#include "core/core.h"
#include "core/instance_lock.h"
#include "core/system.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "editors/gui.h"
#include "model/model.h"
#include "model/run_state.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "runtime/memory_blocks.h"

namespace korva {

// What the network start found; the session layer arrives later and until then there is none.
enum class NetStart : int32_t { NoNetwork, Started, Failed };

struct App {
  std::unique_ptr<Core> core;
  platform::Screen screen;
  platform::Devices devices;
  InstanceLock lock;
  NetStart net = NetStart::NoNetwork;
  bool settings_write_failed = false;  // reported once on stderr

  std::unique_ptr<Model> model;
  RunState run;
  std::unique_ptr<BrainState> brain;
  std::unique_ptr<Machine> machine;
  std::unique_ptr<Blocks> blocks;
  BrainRunner runner;
  Input input;
  platform::Joysticks joysticks;
  InputScript script;
  bool scripted = false;  // KORVA_INPUT gave a script
  std::unique_ptr<Gui> gui;

  // The run: asset sharing, the per-type loaders and the engine seams.
  RunSeams seams;
  int32_t asset_share[kAssetSlots] = {};
  int32_t first_asset[256] = {};
  int64_t track_recorded_bytes = 0;

  // The 3D scene and the device that draws it; the 2D layers add their steps to render_hooks.
  render::Scene scene;
  gl::Device gl;
  bool gl_ready = false;
  std::vector<render::ElementState> element_states;
  render::RenderHooks render_hooks;
  std::unique_ptr<Overlays> overlays;  // FRAME, SPRITE and COUNTER images, printed text, fonts

  // Test and demo controls (KORVA_MAX_FRAMES, KORVA_FAST) and what a run did.
  int64_t max_frames = -1;
  bool fast = false;
  int64_t loop_frames = 0;
  int64_t frames_rendered = 0;

  System system;  // pointers into the states above, handed to every subsystem
};

// Creates the subsystem states behind the Core, wires System, binds every keyword family and
// connects input, scripted input and the panel GUI to the screen.
void app_wire(App& app);
// The 3D scene's loaders and the build, render and release steps of a run.
void connect_scene(App& app);

}  // namespace korva
