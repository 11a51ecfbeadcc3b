// The system context handed to keyword routines and to everything that spans subsystems.
// It names each subsystem's state without owning or including it: the folder that defines a
// state owns its header, and whoever builds a system (the korva executable, a tool, a test)
// owns the states and wires the pointers. A test wires only what it uses.
#pragma once

namespace korva {

struct Core;
struct Model;         // element table state, project files (model)
struct RunState;      // the running project: exit code, frame period, tics (model)
struct BrainState;    // compiled brains: code buffer, literals, temporaries (brain)
struct Machine;       // guest memory and the brain machine (brain)
struct Blocks;        // the brains' memory blocks (runtime)
struct Overlays;      // 2D overlays: sprite, frame and counter images, text list, fonts (render)
struct Input;         // keys, typed text, mouse and joysticks as the brains see them (devices)
struct InputScript;   // scripted input (KORVA_INPUT), when there is one (devices)
struct RunPipeline;   // the run's ordered steps, its asset loaders and counters (run)
struct Gui;           // the panel GUI toolkit, which draws the brains' dialogs (editors)
struct Collisions;    // bounds, pair list, ground maps and volumes of a run (engine)
struct Tracks;        // loaded tracks, recording, race and gate counts (engine)
struct Sound;         // the sound device, element sounds and free 3D sounds (devices)
struct Video;         // video playback and the background player (devices)
struct Net;           // the network session and its shared tables (devices)

namespace render {
struct Scene;         // the 3D scene of a run (render)
}
namespace gl {
struct Device;        // the OpenGL device that draws it (platform/gl)
}
namespace platform {
struct Devices;       // the rendering devices the window offers (platform)
}

struct System {
  Core* core = nullptr;
  Model* model = nullptr;
  RunState* run = nullptr;
  BrainState* brain = nullptr;
  Machine* machine = nullptr;
  Blocks* blocks = nullptr;
  Overlays* overlays = nullptr;
  Input* input = nullptr;
  InputScript* script = nullptr;
  RunPipeline* pipeline = nullptr;
  Gui* gui = nullptr;
  Collisions* collisions = nullptr;
  Tracks* tracks = nullptr;
  Sound* sound = nullptr;
  Video* video = nullptr;
  Net* net = nullptr;
  render::Scene* scene = nullptr;
  gl::Device* gl = nullptr;
  platform::Devices* devices = nullptr;
};

}  // namespace korva
