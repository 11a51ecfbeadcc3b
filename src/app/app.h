// The korva executable: start-up, the mode dispatcher and shutdown, one mode per process.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "app/system.h"
#include "core/paths.h"

namespace korva {

// The process's exit status: 0 when the mode did what "runmode.ini" asked, otherwise why not.
enum ExitStatus : int32_t {
  kStatusDone = 0,
  kStatusNoStart = 1,        // the window or the 3D device could not be made
  kStatusBadProject = 2,     // the project file is damaged: nothing was run or saved
  kStatusNoMode = 3,         // this build does not have the mode asked for
  kStatusBrainError = 4,     // the run went on, but a brain did not compile
  kStatusNoGame = 5,         // no "runmode.ini" and no stand-alone game (level001.prj) here
  kStatusBuildFailed = 6,    // the stand-alone game could not be built
  kStatusSaveFailed = 7,     // the edited project could not be saved (the old file is kept)
};

// The editors and tools the program carries, by mode number; the player carries none. Each
// returns whether what it changed is to be saved (where the mode table saves at all).
void use_editor_modes(App& app);

// The whole life of the process for a command line (the arguments joined by blanks), in the
// start-up order: numbers, clock and pools, folders and tables, network, settings, window and
// device, settings again, panels, dispatcher, network close, shutdown. Returns the exit status.
int32_t korva_run(App& app, std::string_view command_line);

// The arguments after the program name joined by single blanks.
std::string command_line_text(int argc, char** argv);


// Reads "runmode.ini", prepares the project state, runs the one mode and saves what it changed.
void dispatch(App& app);

// Seams of the layers that arrive later; each does what start-up needs of it today.
NetStart network_start(App& app);  // "netmode.ini" present: hosts or joins a session
// The "Network connection" dialog when network_start left the choice to it (after the panels
// are set up): Started, or after "Could not connect, launch anyway?" NoNetwork or Failed.
NetStart network_dialog_start(App& app);
void network_close(App& app);
void panels_setup(App& app);       // the 2D panel drawing for the primary surface's format

}  // namespace korva
