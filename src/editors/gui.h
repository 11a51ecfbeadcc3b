// The panel-screen GUI toolkit: one 640 x 480 screen of 8-bit palette indices that every editor
// and tool draws into, the skin ("panels.pcx") its frames, title bars and cursor come from, the
// drawing primitives, the palette rules, the PCX loader, the button table with its hit test, the
// text printer, the message box, the input box and the one-line field. Presentation converts
// the screen through a colour table onto the display surface of the platform layer.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bitmap_font.h"
#include "core/pcx.h"

namespace korva {

struct Core;
struct Input;
struct InputScript;

namespace platform {
struct Screen;
}

constexpr int32_t kGuiWidth = 640;
constexpr int32_t kGuiHeight = 480;
constexpr int32_t kGuiPixels = kGuiWidth * kGuiHeight;
constexpr int32_t kGuiButtonSlots = 50;
constexpr int32_t kGuiCloseBoxHit = 2147483647;  // gui_button_at_mouse on the active close box
constexpr int32_t kGuiWrapWidth = 560;           // widest line the word wrap makes
constexpr int32_t kGuiFieldFill = 210;           // fill of text fields and the edited field
constexpr int32_t kSkinWidth = 128;

// Pixel layout of the skin image, read where the toolkit needs it.
namespace skin {
constexpr int32_t kWindowFillX = 0, kLabelX = 37, kWindowTextX = 49, kRaisedFillX = 52;
constexpr int32_t kInputTextX = 85, kInputFillX = 86, kInsetFillX = 88;
constexpr int32_t kTitleFillX = 28, kTitleFillY = 3;
constexpr int32_t kWindowTiles = 0, kRaisedTiles = 36, kInsetTiles = 72;
constexpr int32_t kTitleStripY = 4, kTitleStripW = 128, kTitleStripH = 22;
constexpr int32_t kBoxImageY = 26, kBoxImageW = 34, kBoxImageH = 14, kBoxInactiveX = 34;
constexpr int32_t kCursorY = 40, kCursorSize = 16, kSaveUnderX = 16;
constexpr int32_t kHeight = 56;  // rows the toolkit reads
constexpr int32_t kIconsY = 64, kIconSize = 16, kIconsPerRow = 8;  // the virtual editor's icons
}  // namespace skin

// One button slot: four 16-bit words. Bit 15 of the left x marks the inset style; a free slot
// holds -1 in every word.
struct GuiButton {
  int16_t x1 = -1, y1 = -1, x2 = -1, y2 = -1;
  bool free() const { return x1 == -1; }
  bool inset() const { return x1 != -1 && (static_cast<uint16_t>(x1) & 0x8000) != 0; }
  int32_t left() const { return static_cast<uint16_t>(x1) & 0x7FFF; }
};

struct GuiRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool contains(int32_t x, int32_t y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
};

// The bitmap font of the text printer: per character an advance and a coverage cell of
// advance x height bytes (0 = background, 255 = ink).
using GuiFont = BitmapFont;

// Where the panel picture goes on the display.
enum class GuiPlacement : int32_t { Centred, Scaled };

// How the toolkit reaches input. Unset members use the defaults described per member.
struct GuiIo {
  // Processes waiting messages and brings the input state up to date. Default: the core pump,
  // then scripted input (when a script is attached), else the screen's sampled mouse.
  std::function<void()> pump;
  // True when no more input can arrive, so that modal boxes answer as Enter (or Escape) would
  // instead of waiting forever. Default: no window (headless) and no scripted event left.
  std::function<bool()> input_exhausted;
  // Minimises the program's window and returns once it is active again. Default: nothing.
  std::function<void()> minimise;
};

struct Gui {
  Core* core = nullptr;
  Input* input = nullptr;
  platform::Screen* screen = nullptr;  // may be null: everything but the display still works
  InputScript* script = nullptr;       // scripted input fed by the default pump
  GuiIo io;

  uint8_t* pixels = nullptr;  // the panel screen (the core's offscreen pool)
  int32_t colour = 0;         // current colour of the text printer

  uint8_t* skin = nullptr;  // the skin image, kSkinWidth wide (the core's panels pool)
  int32_t skin_height = 0;
  uint8_t palette[768] = {};
  uint16_t colour_table[256] = {};
  int32_t red_shift = 11, green_shift = 5, blue_shift = 0;

  GuiButton buttons[kGuiButtonSlots];
  int32_t button_count = -1;  // buttons added since the last reset, minus one
  GuiRect close_box{};
  bool close_box_active = false;

  bool cursor_hidden = false;
  GuiPlacement placement = GuiPlacement::Centred;
  int32_t mouse_x = 0, mouse_y = 0;  // in panel coordinates, updated by gui_pump

  int32_t image_width = 1, image_height = 1;  // the last image decoded

  GuiRect band{};  // the rubber band on screen
  bool band_shown = false;

  GuiFont font;
  bool notice_shown = false;
};

// ---- Set-up ----
// Points the toolkit at the core's panel screen and pools; the screen may be null.
void gui_init(Gui& g, Core& c, Input* input, platform::Screen* screen);
// Start-up of the panel screen: gui_init, the skin "panels.pcx" and the text font "font.fnt"
// from the data folder, and the core's hooks. False when the skin or the font is missing (the
// toolkit then still works, without frames or text).
bool gui_start(Gui& g, Core& c, Input* input, platform::Screen* screen);
// Loads the skin with its palette (load_pcx mode 2) and builds the colour table; false when the
// file is not a usable skin (the toolkit then draws with index 0 frames).
bool gui_load_skin(Gui& g, std::string_view path);
// Reads a ".fnt" bitmap font for the text printer; false (font unchanged) when unusable.
bool gui_load_font(Gui& g, std::string_view path);
bool gui_set_font(Gui& g, const uint8_t* data, int64_t size);
// Colour table from a 768-byte palette with the channel shifts of the display format.
void gui_build_colour_table(Gui& g, const uint8_t* palette);
// One colour in the display's 16-bit format, by the rule of the colour table.
uint16_t gui_rgb_pixel(const Gui& g, uint8_t r, uint8_t green, uint8_t b);
// The message box and status panel of the core, and the back-buffer copy of pump_and_show.
void gui_install_hooks(Gui& g);
// One pass of the wait loops: pump (see GuiIo) and the mouse in panel coordinates.
void gui_pump(Gui& g);
bool gui_input_exhausted(Gui& g);
int32_t gui_mouse_buttons(const Gui& g);

// ---- Drawing (inclusive rectangles; colour < 0 combines with -colour by exclusive or) ----
void gui_clear(Gui& g);
void gui_fill(Gui& g, int32_t colour);
void gui_plot(Gui& g, int32_t x, int32_t y, int32_t colour);
int32_t gui_get_pixel(const Gui& g, int32_t x, int32_t y);  // 0 outside the screen
void gui_line(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour);
void gui_xor_line(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void gui_box(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour);
void gui_fill_box(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour);
void gui_blit_scaled(Gui& g, const uint8_t* image, int32_t image_width, int32_t image_height,
                     int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void gui_rubber_band(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void gui_rubber_band_erase(Gui& g);
void gui_set_colour(Gui& g, int32_t index);

// ---- Palette and images (gui_rgb_index and PcxMode: core/pcx.h) ----
// Decodes a PCX file into buffer (capacity bytes): width x height pixels, then the palette
// (WithPalette, 768 bytes) or the 256-entry colour table (WithColourTable, 512 bytes).
// Returns width x height and sets the image size; a file that cannot be read or does not fit
// loads as one pixel of index 0 and returns 1.
int32_t load_pcx(Gui& g, std::string_view path, uint8_t* buffer, int64_t capacity, PcxMode mode);
int32_t pcx_decode(Gui& g, const uint8_t* file, int64_t size, uint8_t* buffer, int64_t capacity,
                   PcxMode mode);
int32_t pcx_size(Gui& g, std::string_view path);

// ---- Presentation ----
void gui_present(Gui& g);
void gui_present_no_cursor(Gui& g);
void gui_clear_display(Gui& g);
void gui_present_scaled(Gui& g);
void gui_present_scaled_transparent(Gui& g);
void gui_hide_cursor(Gui& g, bool hidden);
// Converts the panel screen into a display surface's pixel rows (no cursor, no locking); used
// by presentation and by pictures of the screen.
void gui_convert(const Gui& g, uint8_t* dest, int32_t pitch, int32_t width, int32_t height,
                 bool wide);

// ---- Text ----
int32_t gui_text_width(const Gui& g, std::string_view text);
int32_t gui_font_height(const Gui& g);
// Prints text with its top-left corner at (x, y) in the current colour.
void gui_print(Gui& g, std::string_view text, int32_t x, int32_t y);
std::string gui_wrap_text(const Gui& g, std::string_view text);

// ---- Widgets ----
void gui_window(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool closable);
void gui_reset_buttons(Gui& g);
enum class ButtonStyle : int32_t { Raised = 0, Inset = 1 };
int32_t gui_add_button(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, ButtonStyle style);
void gui_raised_frame(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void gui_inset_frame(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void gui_label_button(Gui& g, std::string_view text, int32_t slot);
int32_t gui_button_at_mouse(Gui& g);
void gui_field_text(Gui& g, std::string_view text, int32_t slot);
// One editing step of a one-line field. `key` is the text the key queue gave for the key just
// taken (empty for keys without a character); its scan code is the input's last key.
std::string gui_edit_field(Gui& g, std::string_view text_with_caret, std::string_view key,
                           int32_t slot);

// ---- Modal boxes ----
int32_t gui_message_box(Gui& g, std::string_view text, std::string_view left_label,
                        std::string_view right_label);
// Escape, a right click, the close box and running out of input end it as Enter does, with the
// text as it stands; taken_with_enter (when given) tells whether Enter itself ended it.
std::string gui_input_box(Gui& g, int32_t min_width, std::string_view initial_text,
                          std::string_view prompt, bool* taken_with_enter = nullptr);

// ---- File list (the chooser every editor and file_box picks files with) ----
// One entry of a chooser's folder listing: the name as it is on disk.
struct FileListEntry {
  std::string name;
  int64_t size = 0;
  bool folder = false;
};
// Lists folder: its sub-folders first, then the files that match one of the ";"-separated
// patterns of mask ("*" and "?", any letter case), each group sorted without regard to case.
// Entries that cannot be examined (broken links, link loops) are left out. False, with out
// empty, when the folder cannot be read.
bool list_chooser_folder(std::string_view folder, std::string_view mask,
                         std::vector<FileListEntry>& out);
// Whether name matches one of the ";"-separated patterns of mask, without regard to case.
bool mask_matches(std::string_view mask, std::string_view name);
// The parent of a folder written with a trailing "/" ("/" stays "/").
std::string parent_folder(std::string_view folder);
// The roots the file list offers beside "..": "/", the home folder, the installation's base
// folder and every mounted volume below /media and /mnt, with their short labels.
struct FileListRoot {
  std::string label;
  std::string folder;
};
std::vector<FileListRoot> file_list_roots(const Gui& g);

struct FileListOptions {
  std::string mask = "*.*";
  std::string heading = "Click any file name to confirm";
  // Saving: a "New name" button (and Enter) asks for a name to save under, proposing this.
  bool save = false;
  std::string proposed_name;
  // The buttons beside ".."; empty: file_list_roots.
  std::vector<FileListRoot> roots;
};
// The modal file list: returns the chosen file's path (folder + name), or an empty text when
// the user leaves (Escape, the close box, or no more input headless).
std::string choose_file(Gui& g, std::string_view folder, std::string_view mask);
std::string choose_file(Gui& g, std::string_view folder, const FileListOptions& options);

// The skin's colours.
int32_t gui_skin_colour(const Gui& g, int32_t x, int32_t y = 0);

}  // namespace korva
