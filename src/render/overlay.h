// The 2D overlays: FRAME images drawn into the back surface under the 3D scene, SPRITE and
// COUNTER images and printed text drawn over it, the image loaders of the asset pass, the 16
// screen fonts and the run's bitmap font, and the keywords of sprites, counters and text.
//
// Who calls what:
//   asset pass    overlays_reset, sprite_aspects_load / frame_load / counter_load per element
//   object pass   overlay_object_init for SPRITE, FRAME and COUNTER elements, fonts_create_defaults
//   run start     run_font_load("font8.fnt" of the data folder)
//   brain pass    text_list_clear before the brains run
//   render pass   frames_draw at the start of the element synchronisation, overlays_draw after
//                 all cameras have rendered (sprites, counters, then the text list)
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/system.h"
#include "core/bitmap_font.h"

namespace korva {

struct KeywordBindings;

namespace platform {
struct Surface;
}

// ---- Asset records of the overlay kinds (64 bytes in the Core's asset pool) ----
namespace asset {
constexpr int32_t kRecordBytes = 64;
constexpr int32_t kSlots = 4096;
// The file extension reversed: "d3e." sprite, "d3f." frame, "d3h." counter.
constexpr int32_t kTag = 0;
// kOverlayMark + the image kind: what the drawing code trusts, so that a record is only ever
// read as the image kind its loader made, whatever is written over the tag.
constexpr int32_t kKind = 8;
constexpr uint32_t kOverlayMark = 0x4C564F00u;  // "\0OVL"
constexpr int32_t kImage = 4;                   // index of the decoded image in Overlays::images
constexpr int32_t kWidth = 12;                  // image width (a counter: one glyph's width)
constexpr int32_t kHeight = 16;
}  // namespace asset

// The tags as little-endian words ("d3e." read as a 32-bit word).
constexpr uint32_t tag_word(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) | uint32_t(uint8_t(t[1])) << 8 | uint32_t(uint8_t(t[2])) << 16 |
         uint32_t(uint8_t(t[3])) << 24;
}
constexpr uint32_t kTagSprite = tag_word("d3e.");
constexpr uint32_t kTagFrame = tag_word("d3f.");
constexpr uint32_t kTagCounter = tag_word("d3h.");

// The asset slot an instance record's aspect words name: slot numbers 0..4095 of the asset
// pool (words 0 and 4 of the record). nullptr for anything else.
uint8_t* asset_record(const System& s, int32_t slot);
uint8_t* current_asset(const System& s, const uint8_t* record);

// ---- Instance record words of the overlay kinds (free words of the record) ----
namespace ovr {
// SPRITE: the inclusive clip rectangle (field 37, scaled to the display mode).
constexpr int32_t kClipX1 = 436, kClipY1 = 440, kClipX2 = 444, kClipY2 = 448;
// COUNTER: screen position (field 37 x1, y1), place value of the leading digit (field 37 x2),
// the place after which the decimal point is drawn and the sign flag (field 37 sub-field 5,
// "point x sign"). The value shown is the credits word.
constexpr int32_t kCounterX = 452, kCounterY = 456, kCounterLead = 460;
constexpr int32_t kCounterPoint = 464, kCounterSign = 468;
// FRAME: rendered frames the image is still to be drawn in (`frame_refresh` sets 4).
constexpr int32_t kDrawCount = 472;
constexpr int32_t kFrameDrawsAtStart = 4;  // both buffers of the flip chain, twice over
}  // namespace ovr

// ---- Decoded images ----
enum class ImageKind : int32_t { Sprite, Frame, Counter };

struct OverlayImage {
  ImageKind kind = ImageKind::Sprite;
  int32_t width = 0;  // Counter: one glyph
  int32_t height = 0;
  uint16_t palette[256] = {};  // colours in the 16-bit format of Overlays::palette_format
  // Sprite: the run list (four int32 per run, then its index bytes; ends with 0x7fffffff).
  // Frame: the rows run-length encoded as in PCX. Counter: 13 glyphs of width x height indices.
  std::vector<uint8_t> data;
};

constexpr int32_t kRunEnd = 0x7fffffff;
constexpr int32_t kCounterGlyphs = 13;  // 0..9, plus, minus, decimal point
constexpr int32_t kGlyphPlus = 10, kGlyphMinus = 11, kGlyphPoint = 12;

// ---- Text overlay list ----
enum class TextOp : int32_t { Position = 0, Text = 1, Colour = 2, Number = 3 };
struct TextCommand {
  TextOp op = TextOp::Position;
  int32_t a = 0, b = 0,
          c = 0;  // Position: x, y; Text: slot; Colour: 0x00BBGGRR; Number: value, decimals, slot
  std::string text;  // Text
};
// Commands beyond this many in one frame are dropped.
constexpr int32_t kTextCommands = 1024;

// ---- Fonts ----
constexpr int32_t kFontSlots = 16;
struct FontSlot;  // a FreeType face at one size with its rendered glyphs (overlay_fonts.cpp)
struct FontSlotDeleter {
  void operator()(FontSlot* f) const;
};
using FontSlotPtr = std::unique_ptr<FontSlot, FontSlotDeleter>;
struct FontLibrary;  // FreeType and fontconfig handles
struct FontLibraryDeleter {
  void operator()(FontLibrary* f) const;
};

// The state of the 2D layer, one per system (System::overlays).
struct Overlays {
  std::vector<OverlayImage> images;
  // The 16-bit format palettes are built in: the display's own in 16-bit modes, RGB565 for the
  // 32-bit modes (widened when drawn).
  bool green6 = true;

  bool sprite_clipping = true;  // sprites clip to their own rectangle (else the whole screen)
  int32_t selected = -1;        // element index of the blinking selected sprite
  int32_t blink = 0;            // flips at every draw of the selected sprite

  std::vector<TextCommand> text;
  int32_t text_colour = 0x00FFFFFF;  // color_set
  // The print position and font of the core's text output when no output file is selected:
  // set by print and print_num, moved on by every text printed there.
  int32_t print_x = 0, print_y = 0, print_slot = 0;

  std::unique_ptr<FontLibrary, FontLibraryDeleter> fonts_lib;
  FontSlotPtr fonts[kFontSlots];
  uint32_t fonts_pending = 0;  // bit per slot: its default font is made at first use
  BitmapFont run_font;  // "font8.fnt": used where a slot has no font
  bool run_font_loaded = false;

  // Projects a scene point through camera element camera's viewport to homogeneous screen
  // coordinates (x, y, z, w). Set by the scene; unset, sprite_3d_pos does nothing.
  std::function<bool(int32_t camera, const double point[3], double out[4])> project;
};

std::unique_ptr<Overlays> overlays_create();

// ---- Asset pass ----
// Forgets every image of the previous run; palettes are built for the display surface's format.
void overlays_reset(System& s);
// Each loads one .pcx into asset slot `slot` and returns 1 (a missing or damaged file loads as
// a one-pixel image, as the PCX loader does); 0 when the slot is out of range.
int32_t sprite_load(System& s, int32_t slot, std::string_view path);
int32_t frame_load(System& s, int32_t slot, std::string_view path);
int32_t counter_load(System& s, int32_t slot, std::string_view path);
// The sprite and its further aspects ("walk_.pcx", then "walk_.002", "walk_.003", ... while
// they exist), into consecutive slots from first_slot. Returns the number of aspects loaded.
int32_t sprite_aspects_load(System& s, int32_t first_slot, std::string_view path);
// Name of further aspect n (2, 3, ...) of path: the path without its extension + 3 digits.
std::string further_aspect_path(std::string_view path, int32_t n);

// ---- Object pass ----
// Fills the overlay words of element index's instance record from its element record: the
// clip rectangle of a SPRITE, the counter slots of a COUNTER, the draw count of a FRAME.
void overlay_object_init(System& s, int32_t index);

// ---- Render pass ----
// FRAME images (display mode 1 only): each active, shown FRAME element with a draw count above
// 0 is drawn and its count decreased.
void frames_draw(System& s, platform::Surface& surface);
// Sprites and counters in element order, then the text list.
void overlays_draw(System& s, platform::Surface& surface);
void sprites_and_counters_draw(System& s, platform::Surface& surface);
void text_list_draw(System& s, platform::Surface& surface);
// Empties the text list (start of every brain pass).
void text_list_clear(System& s);
// Text output of the core (print_text, print_line) when no output file is selected: appended to
// the text list at the print position, which moves right by the text's width, and for a new
// line back to the left edge and down one line of the font. screen_print_install points the
// core's hook at it; the system must outlive the hook (screen_print_remove takes it away).
void screen_print(System& s, std::string_view text, bool new_line);
void screen_print_install(System& s);
void screen_print_remove(System& s);

// ---- Fonts ----
// Replaces slot (clamped to 0..15) with face `name` at `height` pixels (negative: character
// height, positive: cell height, as the display's fonts take it) and weight (clamped 0..1000).
// False when no font could be made; the slot is then empty.
bool font_create(System& s, std::string_view name, int32_t height, int32_t weight, int32_t slot);
// The run's 16 default fonts: "Arial", height 28, weight 400, each opened when first used.
void fonts_create_defaults(System& s);
void fonts_release(System& s);
// The family name of the face in slot ("" when the slot is empty).
std::string font_family(System& s, int32_t slot);
bool run_font_load(System& s, std::string_view path);
// Width in pixels of text in slot, and the slot's line height (the run font where the slot is
// empty).
int32_t text_width(System& s, std::string_view text, int32_t slot);
int32_t font_height(System& s, int32_t slot);
// Draws text with its top-left corner at (x, y), colour 0x00BBGGRR, transparent background.
void text_draw(System& s, platform::Surface& surface, std::string_view text, int32_t x, int32_t y,
               int32_t slot, int32_t colour);

// ---- Run start and end ----
// After the object pass: the 16 default fonts, the run font "font8.fnt" from the data folder,
// and the core's screen text output.
void overlays_run_start(System& s);
// Tear-down: fonts, images, text list and the screen text output.
void overlays_run_end(System& s);
// The value of the last `debug` call, while its display is on: printed at the top left.
void debug_value_draw(System& s, platform::Surface& surface);

// ---- Keywords ----
void sprite_clip_set(System& s, int32_t e, int32_t x1, int32_t x2, int32_t y1, int32_t y2);
int32_t sprite_clip_x1(System& s, int32_t e);
int32_t sprite_clip_x2(System& s, int32_t e);
int32_t sprite_clip_y1(System& s, int32_t e);
int32_t sprite_clip_y2(System& s, int32_t e);
int32_t sprite_dim_x(System& s, int32_t e);
int32_t sprite_dim_y(System& s, int32_t e);
int32_t sprite_picked(System& s, int32_t e);
int32_t counter_picked(System& s, int32_t e);
int32_t sprite_3d_pos(System& s, int32_t e, int32_t dx, int32_t dy, int32_t sprite, int32_t camera);
void font_set(System& s, int32_t name, int32_t height, int32_t weight, int32_t slot);
void color_set(System& s, int32_t r, int32_t g, int32_t b);
void print_num(System& s, int32_t value, int32_t decimals, int32_t slot, int32_t x, int32_t y);
void print(System& s, int32_t text, int32_t x, int32_t y, int32_t slot);

void bind_overlay_keywords(KeywordBindings& b);

}  // namespace korva
