// The editors folder's public face: the panel GUI toolkit (gui.h) and the editors and tools
// built on it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "editors/gui.h"

namespace korva {

// ---- Display-area tool (mode 14) ----
// Lets the user drag the up-left and down-right corners of a 640 x 480 rectangle; Enter or
// Escape ends. The rectangle is clamped to the screen and its corners kept in order.
void display_area_editor(Gui& g, GuiRect& area);
// The whole tool on field 37 of an element record: sub-fields 1..4 are the rectangle; returns
// the field with the edited values.
std::string display_area_tool(Gui& g, std::string_view field37);

// ---- 3D background tool (mode 15) ----
// Asks "Background image repetitions (must be 1,2,4,8,...)" until the answer is a power of two.
int32_t ask_background_repetitions(Gui& g, int32_t current);
// The screen values of the background band: top and bottom rows and the screen layout 0..4.
struct BackgroundBand {
  int32_t top = 0;
  int32_t bottom = 479;
  int32_t layout = 0;
};
// F1 and F2 step through the layouts (wrapping); a click moves the nearer row (the top row
// stays at least 7 rows above the bottom one); Escape ends and keeps the values.
void background_band_editor(Gui& g, BackgroundBand& band);

// ---- Reports around an editor run ----
// The exit-code report: nothing for -1 and the stop code 0x80000000.
void report_exit_code(Core& c, int32_t exit_code);
// The recorded-track notice when anything was recorded (720 bytes make one second).
void report_recorded_track(Core& c, int64_t recorded_bytes);
// "Save recorded track as": asks for a name (proposing the current track's), confirms an
// overwrite, copies "data/currtrck.i3d" below the base folder to the new path and returns it;
// empty when the user aborted.
std::string save_recorded_track_as(Gui& g, std::string_view current_track_path);

}  // namespace korva
