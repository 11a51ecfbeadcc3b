// A system with every state a run touches, wired by hand without a screen (no window, no 3D
// device), for tests that run projects through run_project: every keyword family bound, the
// math tables filled, the fast clock, message boxes answered at once, and a temporary folder
// for the project's files. Tests add the run steps they need.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "brain/brain.h"
#include "brain/machine.h"
#include "core/core.h"
#include "devices/input.h"
#include "engine/engine.h"
#include "engine/tracks.h"
#include "model/model.h"
#include "model/run_state.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "run/keyword_table.h"
#include "run/run.h"
#include "runtime/memory_blocks.h"

namespace korva::test {

// A small animated model: the "Walk" set moves the frame Body from x = 0 to x = 10 over 1000
// time units, so a tick of 1000·t shows Body at x = t/100.
inline constexpr char kWalkerModel[] =
    "xof 0303txt 0032\n"
    "Frame Body {\n"
    " Mesh tri { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;; }\n"
    "}\n"
    "AnimationSet Walk {\n"
    " Animation {\n"
    "  {Body}\n"
    "  AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 1000;3;10.0,0.0,0.0;;; }\n"
    " }\n"
    "}\n";

struct RunSystem {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  RunState run;
  std::unique_ptr<BrainState> brain = brain_create();
  std::unique_ptr<Machine> machine = machine_create();
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  std::unique_ptr<Overlays> overlays = overlays_create();
  render::Scene scene;
  Input input;
  Tracks tracks;
  RunPipeline pipeline;
  System s;
  std::vector<std::string> messages;  // every message box text, in order
  std::filesystem::path dir;          // the project's files
  bool owns_dir = true;               // removed with the system (else it outlives this run)

  // A folder of its own, removed at the end.
  explicit RunSystem(const std::string& name)
      : RunSystem(std::filesystem::temp_directory_path() / ("korva_" + name + "_" + std::to_string(::getpid())),
                  true) {}
  // The files of folder, which stays for further runs when owned is false.
  RunSystem(std::filesystem::path folder, bool owned) : dir(std::move(folder)), owns_dir(owned) {
    s.core = core.get();
    s.model = model.get();
    s.run = &run;
    s.brain = brain.get();
    s.machine = machine.get();
    s.blocks = blocks.get();
    s.overlays = overlays.get();
    s.scene = &scene;
    s.input = &input;
    s.tracks = &tracks;
    s.pipeline = &pipeline;
    fill_math_tables(*core);  // a run reads them from the installation's data files
    machine_attach(s);
    bind_all_keywords(machine->keywords);
    core->ui.message_box = [this](std::string_view text, std::string_view, std::string_view) {
      messages.emplace_back(text);
      return 1;
    };
    pipeline.fast = true;
    std::filesystem::create_directories(dir);
  }
  ~RunSystem() {
    if (owns_dir) std::filesystem::remove_all(dir);
  }

  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream((dir / name).string(), std::ios::binary) << bytes;
    return (dir / name).string();
  }
  const uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  int32_t word(int32_t i, int32_t offset) { return ir_get(record(i), offset); }
};

}  // namespace korva::test
