// The editors folder's public face: the panel GUI toolkit (gui.h) and the editors and tools
// built on it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editors/gui.h"

namespace korva {

struct Model;
namespace platform {
struct Devices;
}
namespace gl {
struct Device;
}

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

// ---- Resource browser ----
// The 3D device that renders previews of visuals and models; without one (or when it cannot be
// made current) those cells show their names only.
struct PreviewDevice {
  platform::Devices* devices = nullptr;
  gl::Device* gl = nullptr;
};
constexpr int32_t kPreviewWidth = 160, kPreviewHeight = 120;
// The mask of a resource kind ("*.bmp" for the unknown ones).
std::string_view resource_mask(int32_t kind);
// Renders a visual (.v3d) or a model (.3ds, .x) into width x height RGB bytes, framed by a
// small camera and lit from the upper left. False when the file gives nothing to draw or the
// device is not there.
bool render_model_preview(PreviewDevice& device, std::string_view path, int32_t width, int32_t height,
                          std::vector<uint8_t>& rgb);
// Draws the preview of one resource file into the cell at (x, y), 160 x 120 pixels, with its
// label; a file that cannot be shown gets the default preview (a crossed cell).
void draw_resource_preview(Gui& g, PreviewDevice* device, std::string_view path, int32_t kind,
                           int32_t x, int32_t y);
// The modal 3 x 3 browser of the kind's files in start_path's folder: folder + chosen name, or
// an empty text when the user leaves.
std::string browse_resources(Gui& g, std::string_view start_path, int32_t kind, std::string_view title,
                             PreviewDevice* device = nullptr);

// ---- Project browser ----
// The resource kits and their projects page by page (kit and page indices in the editor
// state): the chosen project's path (kit folder + file name), or an empty text.
std::string browse_projects(Gui& g, Model& m);

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
