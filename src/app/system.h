// The program's own states: the korva executable owns every subsystem state here and wires
// the System context (core/system.h) to them.
#pragma once
#include <memory>
#include <string>

#include "brain/brain.h"
#include "brain/machine.h"
#include "core/core.h"
#include "core/instance_lock.h"
#include "core/system.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "editors/gui.h"
#include "devices/net.h"
#include "devices/sound.h"
#include "devices/video.h"
#include "engine/tracks.h"
#include "model/model.h"
#include "model/run_state.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "run/run.h"
#include "runtime/memory_blocks.h"

namespace korva {

// What the network start found.
// Dialog: the connection is chosen in the "Network connection" dialog once the panels are up.
enum class NetStart : int32_t { NoNetwork, Started, Failed, Dialog };

struct App;
using EditorMode = bool (*)(App& app);
constexpr int32_t kModeCount = 16;

struct App {
  // What the executable carries: the editors by mode (korva), or none and always the player
  // (korva-player).
  EditorMode editors[kModeCount] = {};
  bool player_only = false;
  std::string runmode_project;  // line 1 of "runmode.ini"

  std::unique_ptr<Core> core;
  platform::Screen screen;
  platform::Devices devices;
  InstanceLock lock;
  NetStart net = NetStart::NoNetwork;
  std::unique_ptr<Net> network;  // made when "netmode.ini" asks for a session
  uint16_t net_port = kDefaultNetPort;  // network.ini's port, also where the dialog looks
  std::string net_lan_target;           // network.ini's address: where LAN requests go, if given
  bool settings_write_failed = false;  // reported once on stderr
  int32_t exit_status = 0;             // an ExitStatus (app.h)

  std::unique_ptr<Model> model;
  RunState run;
  std::unique_ptr<BrainState> brain;
  std::unique_ptr<Machine> machine;
  std::unique_ptr<Blocks> blocks;
  Input input;
  platform::Joysticks joysticks;
  std::unique_ptr<InputScript> script;  // KORVA_INPUT's script, when one was given
  std::unique_ptr<Gui> gui;
  std::unique_ptr<Overlays> overlays;  // FRAME, SPRITE and COUNTER images, printed text, fonts
  render::Scene scene;
  gl::Device gl;
  RunPipeline pipeline;  // the run's ordered steps and loaders
  Tracks tracks;         // loaded tracks, the recording and race counts
  Sound sound;           // the sound device, element sounds and free sounds
  Video video;           // video playback and the background player (ends before the sound)

  System system;  // pointers into the states above, handed to every subsystem
};

// Creates the subsystem states behind the Core, wires System, binds every keyword family,
// connects input and scripted input to the screen and registers the run's steps.
void app_wire(App& app);
// Mode 1: the run marker, the run, the exit-code and recorded-track reports.
void editor_run(App& app);
// Mode 13: the current element's brain in the brain editor, compiled when the user leaves.
void run_brain_editing(App& app);
// Mode 5: the parameter panel of the current element.
void run_parameter_editor(App& app);

}  // namespace korva
