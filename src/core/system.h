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

namespace render {
struct Scene;         // the 3D scene of a run (render)
}
namespace gl {
struct Device;        // the OpenGL device that draws it (platform/gl)
}

struct System {
  Core* core = nullptr;
  Model* model = nullptr;
  RunState* run = nullptr;
  BrainState* brain = nullptr;
  Machine* machine = nullptr;
  Blocks* blocks = nullptr;
  Overlays* overlays = nullptr;
  render::Scene* scene = nullptr;
  gl::Device* gl = nullptr;
};

}  // namespace korva
