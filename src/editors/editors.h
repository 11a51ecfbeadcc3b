// The editors folder's public face: the panel GUI toolkit (gui.h) and the editors and tools
// built on it.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editors/gui.h"

namespace korva {

struct Model;
struct System;
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

// ---- Collision channel editor (mode 2) ----
// The collision code of the pair (a, b) in the project's matrix (row the smaller index, column
// the larger); 0 for an element with itself or an index outside the matrix.
int32_t collision_code(const Core& c, int32_t a, int32_t b);
// Sets the pair's code, clamped to 0..11; an element with itself is left alone.
void collision_code_set(Core& c, int32_t a, int32_t b, int32_t code);
// The cross-map's layout: cells of 16 pixels below and right of the icons.
constexpr int32_t kCollisionCell = 16;
constexpr int32_t kCollisionMapLeft = 32, kCollisionMapTop = 48;
constexpr int32_t kCollisionMapColumns = (kGuiWidth - kCollisionMapLeft - 8) / kCollisionCell;
constexpr int32_t kCollisionMapRows = (kGuiHeight - kCollisionMapTop - 56) / kCollisionCell;
// The first element row and column the map shows (the arrow and page keys scroll).
struct CollisionMapView {
  int32_t first_row = 0, first_column = 0;
};
// What lies under a screen point: a pair (row and column, -1 for none) or an element icon.
struct CollisionMapCell {
  int32_t row = -1, column = -1;
  int32_t icon = -1;
};
CollisionMapCell collision_map_cell(const CollisionMapView& v, int32_t count, int32_t x, int32_t y);
// "Collision not supported" (an element with itself), "Collision will be ignored" (code 0) or
// "Collision code: " and the code.
std::string collision_pair_status(Core& c, int32_t row, int32_t column);
// Draws the map with the hint, the traced elements' rows and columns and the status of hover.
void collision_map_draw(Gui& g, const Model& m, const CollisionMapView& v, const bool* traced,
                        const CollisionMapCell& hover);
// The editor: a click on a cell steps the pair's code (left up, right down, 0..11 wrapping), a
// click on an icon traces that element's row and column; Escape ends. Returns true (the
// project is saved with its matrix).
bool collision_channel_editor(Gui& g, Model& m);

// ---- Animation rename tools (mode 9) ----
// Frame n of the animation base (folder + name): base + ".pcx" for frame 1, base + "." and n
// in three digits from frame 2.
std::string animation_frame_path(std::string_view base, int32_t n);
// "Rename Animation" on the chosen first frame: asks for the new name, asks before an existing
// animation is overwritten (only " YES " goes on), renames the frames and reports the count.
// Returns the count, or -1 when nothing was renamed.
int32_t rename_animation(Core& c, std::string_view first_frame);
// "Rename .PCX List To Animation" on the chosen image of a list: the list numbered from 1
// becomes the animation of its base name. Returns the count, or -1 when refused.
int32_t list_to_animation(Core& c, std::string_view list_image);
// The menu of the two tools: 1 or 2 for the chosen entry, 0 when the user leaves.
int32_t rename_tools_menu(Gui& g);
// The menu, then the file list of "*.pcx" in folder and the chosen tool, until the user
// leaves the menu.
void animation_rename_tools(Gui& g, std::string_view folder);

// ---- Explosion generator (mode 8) ----
struct PreviewDevice;
// The keys of an explosion script, in their order.
enum ExplosionKey : int32_t {
  kExpVelocity = 0, kExpAirDensity, kExpSpin, kExpDummy, kExpGravity, kExpXAngle, kExpZAngle, kExpFrames,
  kExplosionKeys
};
struct ExplosionRange {
  int32_t min = 0, max = 0;
};
// The script's pairs by key; the air density pair holds 50,000 minus each value (the drag
// divisors). A key the script lacks gives (0, 0).
struct ExplosionScript {
  std::array<ExplosionRange, kExplosionKeys> pairs{};
};
// Lines "key=min/max", keys without regard to case; a line without "=" sets nothing. Values
// are limited to +-100,000,000.
ExplosionScript explosion_script_parse(std::string_view text);
std::string_view explosion_key_name(int32_t key);
// One fragment per face: its three vertices in thousandths of a unit (model axes x, y, z), its
// velocity (thousandths per frame), spin (1/512 degree per frame about x, y, z), drag divisor
// and gravity.
struct ExplosionFragment {
  int32_t vertex[3][3] = {};
  int32_t velocity[3] = {};
  int32_t spin[3] = {};
  int32_t drag = 0;
  int32_t gravity = 0;
};
// The faces of a .3ds model, nine floats each (the three corners). False when the data does
// not begin with the main chunk; a truncated file gives the faces read whole.
bool explosion_faces_from_3ds(const uint8_t* data, size_t size, std::vector<std::array<float, 9>>& faces);
// The fragments of the faces with their random draws, in the order velocity, x angle, z angle,
// three spins, drag, gravity per fragment.
std::vector<ExplosionFragment> explosion_fragments(Core& c, const std::vector<std::array<float, 9>>& faces,
                                                   const ExplosionScript& s);
// One frame of motion: spin about each fragment's centre, the velocity added, drag and gravity.
void explosion_step(const Core& c, std::vector<ExplosionFragment>& fragments);
// The .3ds image of the fragments: a 40-byte header, the vertex list and two faces (both
// windings) per fragment.
std::vector<uint8_t> explosion_image(const std::vector<ExplosionFragment>& fragments);
// "models/rock.3ds", 7 gives "models/rock007.3ds".
std::string explosion_frame_path(std::string_view model_path, int32_t frame);
struct ExplosionResult {
  bool done = false;
  std::string error;
  std::vector<std::string> files;  // the frames written
};
// Explodes the model of the visual's first part line into one file per frame of the script's
// frames range (at most 0..999) and rewrites the visual with one visual number per frame.
ExplosionResult explode_visual(Core& c, std::string_view visual_path, const ExplosionScript& script);
// The working script in the text editor until Escape: F2 saves a copy as "brains/" + name +
// ".exp" (asking before an existing one is overwritten), F1 replaces it with a script chosen
// from "brains/" after a warning.
void edit_explosion_script(Gui& g, std::string_view script_path);
// The whole tool: the visual, the script in the text editor (F2 save as, F1 load), the
// overwrite warning, the generation and its report.
void explosion_generator(Gui& g, PreviewDevice* device);

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

// ---- Visual editor (mode 7) ----
// A visual being edited: its name and its animation frames in order, each a list of part lines
// (field 1 of a line, its frame number, is rewritten when the visual is saved).
struct VisualDocument {
  std::string name;
  std::vector<std::vector<std::string>> frames;
};
constexpr int32_t kVisualPanelLines = 15;
// The line a new part starts from, for frame number `frame`.
std::string default_part_line(int32_t frame);
// The frames of a .v3d text: parts grouped by their frame number, in ascending numbers and file
// order within a frame. A text without part lines gives one frame of the default part.
VisualDocument visual_document_from_text(std::string_view text);
// The .v3d text: every part line with its frame renumbered from 1, lines ended by CR LF.
std::string visual_document_text(const VisualDocument& d);
// The property panel of a part, one text per line, labels first.
std::vector<std::string> visual_panel_lines(const VisualDocument& d, int32_t frame, int32_t part);
// The frame list as the text editor shows it: the heading, then one frame number a line.
std::string frames_list_text(const VisualDocument& d);
// Takes the frames in the order the list gives (a number may repeat to copy a frame, a frame
// left out is dropped); lines without a frame number are ignored. False, changing nothing,
// when the list names no frame.
bool rearrange_frames(VisualDocument& d, std::string_view list);
// Renders frame `frame` of d as the editor previews it (paths starting "./" are below
// base_folder) into width x height RGB bytes, the turntable turned by turn_degrees.
bool render_frame_preview(PreviewDevice& device, const VisualDocument& d, int32_t frame,
                          std::string_view base_folder, float turn_degrees, int32_t width, int32_t height,
                          std::vector<uint8_t>& rgb);
// The modal choice among the "|"-separated entries: the chosen index, or -1 when the user
// leaves (Escape, the close box, or nobody left to answer).
int32_t choose_entry(Gui& g, std::string_view title, std::string_view entries, int32_t current);
// The whole editor: asks for a visual, edits it, and saves it when the user says so. Returns
// the path saved to, or an empty text.
std::string visual_editor(Gui& g, PreviewDevice* device);

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

// ---- Brain text editor ----
// The text is held with lines ended by a single carriage return, limited by the undo store.
constexpr int32_t kEditorTextLimit = 65520;
constexpr int32_t kEditorColumns = 80, kEditorRows = 40;
constexpr int32_t kEditorFindLimit = 503;
constexpr int32_t kEditorClipLimit = 65535;
constexpr int32_t kEditorUndoSlots = 8;

// How the editor was left; the edited text has been written back in every case.
enum EditorExit : int32_t {
  kEditorEscape = 0, kEditorSaveAs = 1, kEditorLoad = 2, kEditorHelp = 255,
  kEditorContinue = -1,  // editor_key: the editing goes on
};

// What outlives one editing: the clipboard store and the find text.
struct TextEditorStore {
  bool clip_tagged = false;
  std::string clip;
  std::string find;
  int32_t find_width = 0, find_height = 0;
  GuiFont font;  // the fixed-width font of the grid ("editor.fnt"); empty: the panel font
};

struct EditorSnapshot {
  int32_t top = 0, col = 0, row = 0;
  std::string text;
};

// One editing: the text, the view (its top line), the cursor and the selection end on the
// 80 x 40 grid, the undo ring.
struct TextEditor {
  std::string text;
  int32_t top = 0;
  int32_t col = 0, row = 0;
  int32_t sel_col = 0, sel_row = 0;
  std::vector<EditorSnapshot> ring;  // oldest first, at most kEditorUndoSlots
  int32_t at = 0;                    // the snapshot restored last; ring.size() when newer
  int32_t error_line = 0;            // a file line (from 1) shown highlighted, 0 for none
  TextEditorStore* store = nullptr;
  Core* core = nullptr;              // for the messages; may be null
};

// The opening rules: tabs become three spaces, carriage returns and space.."z" stay, a line feed
// ends a line unless it follows a carriage return, every other byte is dropped; a final carriage
// return is added when missing and trailing spaces are removed from every line.
std::string editor_text_from_bytes(std::string_view bytes);
// The text as written to a file: every carriage return followed by a line feed.
std::string editor_text_to_bytes(std::string_view text);
// Why a file cannot be edited (too large, not text), or empty when it can.
std::string editor_refusal(std::string_view bytes);
// Starts an editing on a text (opening rules already applied): cursor, selection and view
// reset, the first snapshot taken.
void editor_start(TextEditor& ed, std::string text, TextEditorStore& store);
// One key: scan code, its character (0 for none) and the modifiers of read_modifiers (Shift 3,
// Ctrl 4, Alt 8). Returns an EditorExit code when the key ends the editing, else
// kEditorContinue.
int32_t editor_key(TextEditor& ed, int32_t scan, int32_t character, int32_t modifiers);
void editor_wheel(TextEditor& ed, int32_t lines);
// A press of the left button on a cell, and a drag to another cell with the button held.
void editor_click(TextEditor& ed, int32_t x, int32_t y);
void editor_drag(TextEditor& ed, int32_t x, int32_t y);
// Shift released: the selection collapses onto the cursor.
void editor_collapse(TextEditor& ed);
bool editor_has_selection(const TextEditor& ed);
std::string editor_selection(const TextEditor& ed);
// The line number the status strip shows (from 1).
int32_t editor_line_number(const TextEditor& ed);
// Draws the editing screen; `frame` chooses the status strip's help text.
void editor_draw(Gui& g, const TextEditor& ed, int64_t frame);

// Edits the file at path full screen and writes it back on leaving; returns an EditorExit
// code. A file that cannot be edited is refused with a message and left untouched (0).
// error_line (from 1) is shown highlighted.
int32_t brain_editor(Gui& g, std::string_view path, TextEditorStore& store, int32_t error_line = 0);
// The note after a test run of how the project ends as a stand-alone level.
void show_exit_option(Core& c, int32_t code);

// ---- Brain headers and element parameters ----
// The header signature of a brain text; user_lines (when given) receives the count of "user"
// lines.
uint32_t header_signature_of_text(std::string_view text, int32_t* user_lines = nullptr);
// Of a brain file: 0 when it is missing.
uint32_t header_signature(Core& c, std::string_view path);
// The element configuration (field 35) a brain text gives: count, then type/value/offset.
std::string configuration_from_text(std::string_view text);
// Rebuilds field 35 of the element from its brain file.
void configure_from_header(Core& c, int32_t element);
// When the brain's signature differs from field 40: the notice (brains with "user" lines), the
// configuration rebuilt, field 40 set, fields 45 and 46 reset. Returns true when it differed.
bool check_header(Core& c, int32_t element);
// The brain's description: the comments of its first lines, joined with blanks.
std::string brain_description(std::string_view text);
// The help text of the n-th "user" parameter (from 0) of a brain text / the element's brain.
std::string parameter_help_of_text(std::string_view text, int32_t n);
std::string parameter_help(Core& c, int32_t element, int32_t n);
// Draws the description word-wrapped into a box, cut with "..." when it does not fit.
void brain_description_box(Gui& g, std::string_view path, const GuiRect& box);

// The file list brains are chosen with (the file browser's; tests put their own in): the chosen
// path, or empty text when nothing was chosen.
using ChooseFileFn = std::string (*)(Gui& g, std::string_view folder, std::string_view mask);
extern ChooseFileFn choose_file_hook;

// Offers another brain for the element through the file list; on a choice the brain is taken
// into the project, field 4 set and, when the header differs, the configuration rebuilt and the
// parameter panel opened. Returns true when a brain was chosen.
bool select_brain(Gui& g, Model& m, int32_t element);
// Copies the element's brain to a new name under "brains/", asking for the name; returns the
// new path, empty when nothing was saved.
std::string save_brain_as(Gui& g, int32_t element);
// The parameter panel of an element; Escape closes it and stores its position.
void parameter_panel(Gui& g, Model& m, int32_t element);

// ---- Virtual editor (mode 3) ----
// The views: through the first switched-on camera, or orthographic from the top, the back or
// the right (F5 to F8).
enum class VirtualView : int32_t { Camera = 0, Top = 1, Back = 2, Right = 3 };
// The status lines of the current element, from its record through the field formatter.
enum class VirtualStatus : int32_t { PositionRotation, PositionScale, Scale, Flat, Distance };
// The whole editor on the loaded project: false (nothing to save) when no camera element is
// switched on, after the message that says so. Changes land in the element records.
bool virtual_editor(System& s);
// The menu bar's icon under a panel point (x / 16 in the bar's first 19 rows), or -1.
int32_t virtual_icon_at(int32_t bar_y, int32_t x, int32_t y);
std::string_view virtual_tooltip(int32_t icon);
// The help line for the element's kind in a view and sprite mode.
std::string_view virtual_help_line(Core& c, int32_t element, VirtualView view, bool clipped, bool velocity_mode);
std::string_view virtual_scale_help();
// distance (position units) is read by the Distance line only.
std::string virtual_status_line(Core& c, int32_t element, VirtualStatus kind, int32_t distance);
// The element chooser: the project's elements by number, name and kind, a page of 20 at a
// time; the chosen index, or -1 when the user leaves.
int32_t choose_element(Gui& g, Model& m, int32_t current);
// " (vx,vy,vz = speed m/sec)" for the velocity words of the element's instance record.
std::string virtual_velocity_text(Core& c, int32_t element, const int32_t velocity[3]);
// The Info panel's rows for an element: its fields as the project file holds them, numbers
// through the field formatter.
struct VirtualInfoRow {
  std::string label, value;
};
std::vector<VirtualInfoRow> virtual_info_rows(Core& c, int32_t element);
// The Info panel of an element: its fields, PgUp/PgDn to the previous and next element, the
// parameter panel (P or Enter) and the brain chooser (B); Escape closes it. Returns the element
// shown last.
int32_t virtual_info_panel(Gui& g, Model& m, int32_t element);

}  // namespace korva
