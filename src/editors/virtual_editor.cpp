// The virtual editor (mode 3): the project's scene through its first switched-on camera, or
// drawn from the top, the back or the right, with the current element selected, moved,
// rotated and scaled by mouse and keys. Every change goes straight into the element's instance
// record (which the scene follows) and into its record fields through the field formatter, so
// that leaving the editor leaves the project ready to be saved, and only the fields of what
// was edited are rewritten.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/pcx.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "engine/element_access.h"
#include "model/instance_record.h"
#include "model/model.h"
#include "platform/platform.h"
#include "render/frame_keywords.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "run/run.h"

namespace korva {

namespace {

constexpr double kUnit = 512000.0;     // position units per metre
constexpr int32_t kTurn = 184320;      // angle units per turn
constexpr int32_t kBarHeight = 20;
constexpr int32_t kIconSize = 16;
constexpr int32_t kFramePeriodMs = 16;  // about the display's 60 frames per second
constexpr int32_t kScanA = 30, kScanZ = 44, kScanS = 31, kScanU = 22, kScanH = 35, kScanI = 23, kScanF5 = 63;

// The menu bar's commands in icon order; icon i covers x = 16 i .. 16 i + 15.
enum Command : int32_t {
  kSpriteMode, kPrevious, kNext, kViewVirtual, kViewTop, kViewBack, kViewRight,
  kResetPosX, kResetPosY, kResetPosZ, kResetRotX, kResetRotY, kResetRotZ,
  kRestoreScale, kUndo, kMoveBar, kMinimise, kExit, kCommandCount,
};

struct IconRow {
  const char* tooltip;
  const char* glyph;  // what the icon shows
  int32_t r, g, b;    // its ink
};

constexpr IconRow kIcons[kCommandCount] = {
    {"Sprites editing mode (Clipped/Unclipped switch)", "C", 255, 200, 0},
    {"Select previous element (PgUp or Shift+PgUp)", "<", 255, 255, 255},
    {"Select next element (PgDn or Shift+PgDn)", ">", 255, 255, 255},
    {"Virtual edit mode (F5)", "V", 120, 255, 120},
    {"Top View edit mode (F6)", "T", 120, 255, 120},
    {"Back View edit mode (F7)", "B", 120, 255, 120},
    {"Right View edit mode (F8)", "R", 120, 255, 120},
    {"Reset X position to 0", "X", 120, 180, 255},
    {"Reset Y position to 0", "Y", 120, 180, 255},
    {"Reset Z position to 0", "Z", 120, 180, 255},
    {"Reset X rotation to 0", "x", 255, 120, 120},
    {"Reset Y rotation to 0", "y", 255, 120, 120},
    {"Reset Z rotation to 0", "z", 255, 120, 120},
    {"Restore original scaling (S)", "S", 255, 255, 120},
    {"Undo last operation (U)", "U", 255, 255, 120},
    {"Move menu bar", "M", 200, 200, 200},
    {"Minimize application (Alt+Tab)", "-", 200, 200, 200},
    {"Exit Virtual Editor (Esc)", "E", 255, 90, 90},
};

// The help lines, one of which is shown at a time.
constexpr const char* kHelpMoveRotate = "A,Z,CurKeys = move camera, Mouse = position/rotate element";
constexpr const char* kHelpZoomRotate = "A,Z Keys = zoom, Mouse = position/rotate element";
constexpr const char* kHelpScale = "RightMouseClick & drag = scale current visual";
constexpr const char* kHelpVelocity = "Mouse = set element's velocity vector";
constexpr const char* kHelpMoveCtrl = "A,Z,CurKeys = move camera, Ctrl+Mouse = set element position";
constexpr const char* kHelpCtrl = "Ctrl+Mouse = set element position";
constexpr const char* kHelpSpriteClipped = "H = show sprite, Ctrl+Mouse = set sprite position (CLIPPED MODE)";
constexpr const char* kHelpSpriteUnclipped = "H = show sprite, Ctrl+Mouse = set sprite position (UNCLIPPED MODE)";
constexpr const char* kHelpMovePosition = "A,Z,CurKeys = move camera, Mouse set element position";

enum class Drag : int32_t { None, Move, Lift, Rotate, Scale, Velocity, Screen };

struct UndoStep {
  bool held = false;
  int32_t element = -1;
  std::string record;
  uint8_t instance[kInstanceRecordBytes] = {};
};

struct Editor {
  System* s = nullptr;
  Core* c = nullptr;
  Model* m = nullptr;
  Gui* g = nullptr;
  int32_t camera = 0;  // the camera element the virtual view looks through
  VirtualView view = VirtualView::Camera;
  bool clipped = true;
  bool velocity_mode = false;
  int32_t bar_y = 0;
  bool moving_bar = false;
  int32_t bar_grab = 0;  // the pointer's row within the bar while it moves
  // The panel rows under the menu bar while it is shown (under_y -1: nothing saved).
  uint8_t under[kBarHeight * kGuiWidth] = {};
  int32_t under_y = -1;
  bool panel_kept = false;  // the panel still holds the last frame's view (without the bar)
  // The orthographic views: the point in the middle of the screen (metres) and pixels per metre.
  double centre[3] = {0, 0, 0};
  double zoom = 40.0;
  // The drag in progress.
  Drag drag = Drag::None;
  int32_t press_x = 0, press_y = 0;          // panel coordinates
  int32_t press_dx = 0, press_dy = 0;        // display coordinates
  int32_t start[3] = {}, start_rot[3] = {}, start_scale[3] = {};
  int32_t start_screen[2] = {};  // a sprite's or counter's screen position at the press
  int32_t screen_factor = 1;     // screen pixels per panel pixel of the drag
  double hit0[3] = {};
  bool hit0_valid = false;
  UndoStep undo;
  UndoStep before_drag;  // the step a drag that changes nothing gives back
  bool ended = false;
};

uint8_t* record_of(Editor& e, int32_t element) {
  return e.c->pool(Pool::Instances) + element * kInstanceRecordBytes;
}

int32_t word(Editor& e, int32_t element, int32_t offset) { return ir_get(record_of(e, element), offset); }

// The field written from the instance word, in the field's own units.
void store_field(Editor& e, int32_t element, int32_t field, int32_t offset) {
  Core& c = *e.c;
  const int32_t v = word(e, element, offset);
  std::string text;
  if (is_plain_integer_type(element_type(c, element))) {
    text = std::string(int_to_str(c, v).view());
  } else {
    int32_t thousandths = v;
    if (field >= fld::kPosX && field < fld::kPosX + 3) thousandths = position_to_file(v);
    else if (field >= fld::kRotX && field < fld::kRotX + 3) thousandths = angle_to_file(v);
    else if (field >= fld::kVelX && field < fld::kVelX + 3) thousandths = velocity_to_file(v);
    text = std::string(str_from_fixed3(c, thousandths).view());
  }
  element_field_set(c, element, field, text);
}

constexpr int32_t kPosWords[3] = {ir::kPosX, ir::kPosY, ir::kPosZ};
constexpr int32_t kRotWords[3] = {ir::kRotX, ir::kRotY, ir::kRotZ};
constexpr int32_t kVelWords[3] = {ir::kVelX, ir::kVelY, ir::kVelZ};
constexpr int32_t kScaleWords[3] = {ir::kScaleX, ir::kScaleY, ir::kScaleZ};

void set_position(Editor& e, int32_t element, int32_t axis, int32_t v) {
  ir_set(record_of(e, element), kPosWords[axis], v);
  store_field(e, element, fld::kPosX + axis, kPosWords[axis]);
}
void set_rotation(Editor& e, int32_t element, int32_t axis, int32_t v) {
  v %= kTurn;
  if (v < 0) v += kTurn;
  ir_set(record_of(e, element), kRotWords[axis], v);
  store_field(e, element, fld::kRotX + axis, kRotWords[axis]);
}
void set_velocity(Editor& e, int32_t element, int32_t axis, int32_t v) {
  ir_set(record_of(e, element), kVelWords[axis], v);
  store_field(e, element, fld::kVelX + axis, kVelWords[axis]);
}
void set_scale(Editor& e, int32_t element, int32_t axis, int32_t v) {
  v = std::clamp(v, 1, 1000000);  // a zero scale would make the element vanish for good
  ir_set(record_of(e, element), kScaleWords[axis], v);
  store_field(e, element, fld::kScaleX + axis, kScaleWords[axis]);
}

void take_undo(Editor& e, int32_t element) {
  e.undo.held = true;
  e.undo.element = element;
  e.undo.record = std::string(element_record(*e.c, element).view());
  std::memcpy(e.undo.instance, record_of(e, element), kInstanceRecordBytes);
}

void restore_undo(Editor& e) {
  if (!e.undo.held) return;
  str_set(element_record(*e.c, e.undo.element), e.undo.record);
  std::memcpy(record_of(e, e.undo.element), e.undo.instance, kInstanceRecordBytes);
  e.m->current = e.undo.element;
  e.undo.held = false;
}

bool is_screen_element(Core& c, int32_t element) { return is_plain_integer_type(element_type(c, element)); }

platform::Screen* screen_of(Editor& e) { return e.c->frame.screen; }
int32_t display_width(Editor& e) { return screen_of(e) ? screen_of(e)->back.width : kGuiWidth; }
int32_t display_height(Editor& e) { return screen_of(e) ? screen_of(e)->back.height : kGuiHeight; }
int32_t panel_x(Editor& e) { return std::clamp(e.s->input->mouse_x * kGuiWidth / std::max(1, display_width(e)), 0, kGuiWidth - 1); }
int32_t panel_y(Editor& e) { return std::clamp(e.s->input->mouse_y * kGuiHeight / std::max(1, display_height(e)), 0, kGuiHeight - 1); }

// ---- The camera view's geometry ----

const rm::Viewport* camera_viewport_of(Editor& e) {
  render::Scene* sc = e.s->scene;
  if (!sc || e.camera < 0 || size_t(e.camera) >= sc->elements.size()) return nullptr;
  const int32_t v = sc->elements[size_t(e.camera)].viewport;
  if (v < 0 || size_t(v) >= sc->viewports.size() || !sc->viewports[size_t(v)].camera) return nullptr;
  return &sc->viewports[size_t(v)];
}

// Where the ray through the display point meets the level y (metres); false when it runs
// along the ground or away from it.
bool ground_hit(const rm::Viewport& vp, int32_t x, int32_t y, double level, double out[3]) {
  const rm::vec3 a = rm::viewport_inverse_transform(vp, rm::vec3(float(x), float(y), 0.0f));
  const rm::vec3 b = rm::viewport_inverse_transform(vp, rm::vec3(float(x), float(y), 1.0f));
  const double dy = double(b.y) - double(a.y);
  if (std::fabs(dy) < 1e-9) return false;
  const double t = (level - double(a.y)) / dy;
  if (t < 0) return false;
  out[0] = a.x + t * (double(b.x) - a.x);
  out[1] = level;
  out[2] = a.z + t * (double(b.z) - a.z);
  return true;
}

// Metres the element moves up for a vertical drag of dy display pixels, at its depth.
double lift_metres(const rm::Viewport& vp, const int32_t pos[3], int32_t x, int32_t y0, int32_t y1) {
  const rm::vec3 world(float(pos[0] / kUnit), float(pos[1] / kUnit), float(pos[2] / kUnit));
  const rm::vec4 p = rm::viewport_transform(vp, world);
  if (p.w <= 0) return (y0 - y1) * 0.02;
  const rm::vec3 a = rm::viewport_inverse_transform(vp, rm::vec3(float(x), float(y0), p.z));
  const rm::vec3 b = rm::viewport_inverse_transform(vp, rm::vec3(float(x), float(y1), p.z));
  return double(b.y) - double(a.y);
}

// ---- The orthographic views ----

// The world axes across (h) and up (v) the screen, and the axis the view looks along.
void view_axes(VirtualView v, int32_t& h, int32_t& up, int32_t& depth) {
  switch (v) {
    case VirtualView::Top: h = 0; up = 2; depth = 1; break;
    case VirtualView::Right: h = 2; up = 1; depth = 0; break;
    default: h = 0; up = 1; depth = 2; break;
  }
}

void to_panel(const Editor& e, const double world[3], int32_t& x, int32_t& y) {
  int32_t h, up, depth;
  view_axes(e.view, h, up, depth);
  x = int32_t(std::clamp(kGuiWidth / 2 + (world[h] - e.centre[h]) * e.zoom, -1e8, 1e8));
  y = int32_t(std::clamp(kGuiHeight / 2 - (world[up] - e.centre[up]) * e.zoom, -1e8, 1e8));
}

void element_world(Editor& e, int32_t element, double out[3]) {
  for (int32_t k = 0; k < 3; ++k) out[k] = word(e, element, kPosWords[k]) / kUnit;
}

void centre_on(Editor& e, int32_t element) {
  if (element >= 0 && element <= e.m->last_index && !is_screen_element(*e.c, element)) element_world(e, element, e.centre);
}

int32_t colour(int32_t r, int32_t g, int32_t b) { return std::max(1, gui_rgb_index(r, g, b)); }

// A line of the orthographic views: far-away elements give far-away ends, and the line walk
// would take its time over every pixel off the screen, so ends are held near the screen (the
// views draw only horizontal and vertical lines that far out).
void view_line(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t ink) {
  auto near = [](int32_t v, int32_t size) { return std::clamp(v, -size, 2 * size); };
  gui_line(g, near(x1, kGuiWidth), near(y1, kGuiHeight), near(x2, kGuiWidth), near(y2, kGuiHeight), ink);
}

void view_box(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t ink) {
  view_line(g, x1, y1, x2, y1, ink);
  view_line(g, x2, y1, x2, y2, ink);
  view_line(g, x2, y2, x1, y2, ink);
  view_line(g, x1, y2, x1, y1, ink);
}

// How each kind of element is marked in the flat views, by type. Sprites, frames, backgrounds
// and counters are drawn on the screen, not in the scene: they are marked in the screen inset.
enum class Marker : int32_t { Box, Camera, Light, Flat, Shadow, Boundary, Track, OnScreen };
struct KindLook {
  Marker marker;
  int32_t r, g, b;
};
constexpr KindLook kLooks[] = {
    {Marker::Camera, 120, 200, 255},    // 0 camera: a triangle and the direction it looks
    {Marker::Box, 170, 230, 170},       // 1 3D shape
    {Marker::Flat, 255, 170, 90},       // 2 flat shape: a box crossed like a decal
    {Marker::Shadow, 150, 150, 150},    // 3 shadow: a diamond
    {Marker::Box, 210, 210, 210},       // 4 (not used)
    {Marker::OnScreen, 230, 150, 255},  // 5 sprite
    {Marker::OnScreen, 150, 150, 255},  // 6 frame: the whole screen
    {Marker::OnScreen, 120, 170, 230},  // 7 background: its rectangle
    {Marker::OnScreen, 255, 150, 200},  // 8 counter
    {Marker::Track, 120, 230, 230},     // 9 track: a ring
    {Marker::Light, 255, 255, 160},     // 10 light: a star
    {Marker::Box, 210, 210, 210},       // 11 visual
    {Marker::Boundary, 200, 170, 120},  // 12 boundary: a box within a box
    {Marker::Box, 210, 210, 210},       // 13
};

const KindLook& look_of(int32_t type) {
  return type >= 0 && type < int32_t(std::size(kLooks)) ? kLooks[type] : kLooks[kTypeVisual];
}

bool on_screen(Core& c, int32_t element) { return look_of(element_type(c, element)).marker == Marker::OnScreen; }

// The screen inset of the flat views: the 640 x 480 screen at a quarter of its size in the
// bottom right corner, above the help and status lines.
constexpr int32_t kInsetScale = 4;
GuiRect inset_rect(const Gui& g) {
  const int32_t fh = std::max(8, gui_font_height(g));
  const int32_t bottom = kGuiHeight - 2 * fh - 6 - 6;
  return {kGuiWidth - 8 - kGuiWidth / kInsetScale, bottom - kGuiHeight / kInsetScale, kGuiWidth - 9, bottom - 1};
}
bool in_inset(const Gui& g, int32_t x, int32_t y) {
  const GuiRect r = inset_rect(g);
  return x >= r.x1 && x <= r.x2 && y >= r.y1 && y <= r.y2;
}

// Where an on-screen element stands on the 640 x 480 screen: sprites at their two
// screen-position fields, counters at the top left of their screen rectangle.
void screen_position(Core& c, int32_t element, int32_t& x, int32_t& y) {
  if (element_type(c, element) == kTypeCounter) {
    const ScreenRect r = screen_rect(c, element, kGuiWidth);
    x = r.x1, y = r.y1;
    return;
  }
  x = element_field_int(c, element, fld::kPosX);
  y = element_field_int(c, element, fld::kPosX + 1);
}

// Moves a sprite (its two screen-position fields) or a counter (the top left of its screen
// rectangle, which is where it is drawn) on the screen.
void set_screen_position(Editor& e, int32_t element, int32_t x, int32_t y) {
  Core& c = *e.c;
  if (element_type(c, element) != kTypeCounter) {
    set_position(e, element, 0, x);
    set_position(e, element, 1, y);
    return;
  }
  std::vector<std::string> parts = fields_split(element_field(c, element, fld::kScreen).view(), '/');
  if (parts.size() < 2) parts.resize(2, "0");
  parts[0] = std::to_string(x);
  parts[1] = std::to_string(y);
  std::string text;
  for (size_t k = 0; k < parts.size(); ++k) text += (k ? "/" : "") + parts[k];
  element_field_set(c, element, fld::kScreen, text);
  ir_set(record_of(e, element), ovr::kCounterX, x);
  ir_set(record_of(e, element), ovr::kCounterY, y);
}

void draw_inset(Editor& e) {
  Gui& g = *e.g;
  Core& c = *e.c;
  const GuiRect r = inset_rect(g);
  gui_fill_box(g, r.x1, r.y1, r.x2, r.y2, colour(14, 16, 22));
  gui_box(g, r.x1 - 1, r.y1 - 1, r.x2 + 1, r.y2 + 1, colour(110, 110, 130));
  gui_print_in(g, "screen", r.x1, r.y1 - gui_font_height(g) - 2, colour(140, 140, 160));
  auto at = [&](int32_t v, int32_t origin) { return origin + std::clamp(v, -8, 648) / kInsetScale; };
  for (int32_t i = 0; i <= e.m->last_index; ++i) {
    if (!on_screen(c, i)) continue;
    const int32_t type = element_type(c, i);
    const bool current = i == e.m->current;
    const KindLook& look = look_of(type);
    const int32_t ink = current ? colour(255, 230, 0) : colour(look.r, look.g, look.b);
    const std::string name(element_name(c, i).view());
    int32_t x = 0, y = 0;
    if (type == kTypeFrame || type == kTypeBackground) {
      ScreenRect s{0, 0, kGuiWidth - 1, kGuiHeight - 1};
      if (type == kTypeBackground) s = screen_rect(c, i, kGuiWidth);
      const int32_t x1 = std::clamp(at(s.x1, r.x1), r.x1, r.x2), x2 = std::clamp(at(s.x2, r.x1), r.x1, r.x2);
      const int32_t y1 = std::clamp(at(s.y1, r.y1), r.y1, r.y2), y2 = std::clamp(at(s.y2, r.y1), r.y1, r.y2);
      gui_box(g, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), ink);
      // A frame covers the whole screen: its name goes above the inset, on the right.
      if (type == kTypeFrame) gui_print_in(g, name, r.x2 - gui_text_width(g, name), r.y1 - gui_font_height(g) - 2, ink);
      else gui_print_in(g, name, std::min(x1, x2) + 2, std::min(y1, y2) + 1, ink);
      continue;
    }
    screen_position(c, i, x, y);
    x = std::clamp(at(x, r.x1), r.x1, r.x2);
    y = std::clamp(at(y, r.y1), r.y1, r.y2);
    if (type == kTypeCounter) {
      gui_box(g, x, y, std::min(r.x2, x + 8), std::min(r.y2, y + 4), ink);
    } else {
      gui_line(g, x - 3, y, x + 3, y, ink);
      gui_line(g, x, y - 3, x, y + 3, ink);
    }
    if (current) gui_box(g, std::max(r.x1, x - 4), std::max(r.y1, y - 4), std::min(r.x2, x + 10), std::min(r.y2, y + 6), ink);
    // The name beside the marker, on the side with room.
    const int32_t w = gui_text_width(g, name);
    gui_print_in(g, name, x + 12 + w <= r.x2 ? x + 12 : std::max(r.x1 + 1, x - 6 - w), std::max(r.y1, y - 4), ink);
  }
}

// The direction a camera looks in the view's plane (pixels), from its y and x rotations.
void camera_direction(Editor& e, int32_t element, int32_t h, int32_t up, int32_t& dx, int32_t& dy) {
  const double yaw = word(e, element, ir::kRotY) * 2.0 * 3.14159265358979 / kTurn;
  const double pitch = word(e, element, ir::kRotX) * 2.0 * 3.14159265358979 / kTurn;
  const double fwd[3] = {std::sin(yaw) * std::cos(pitch), -std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
  dx = int32_t(std::lround(fwd[h] * 24));
  dy = int32_t(std::lround(-fwd[up] * 24));
}

void draw_marker(Editor& e, int32_t i, int32_t x, int32_t y, int32_t hw, int32_t hh, int32_t ink) {
  Gui& g = *e.g;
  switch (look_of(element_type(*e.c, i)).marker) {
    case Marker::Camera: {
      view_line(g, x - 6, y + 5, x + 6, y + 5, ink);
      view_line(g, x - 6, y + 5, x, y - 6, ink);
      view_line(g, x + 6, y + 5, x, y - 6, ink);
      int32_t h, up, depth, dx, dy;
      view_axes(e.view, h, up, depth);
      camera_direction(e, i, h, up, dx, dy);
      view_line(g, x, y, x + dx, y + dy, ink);
      break;
    }
    case Marker::Light:
      view_line(g, x - 5, y, x + 5, y, ink);
      view_line(g, x, y - 5, x, y + 5, ink);
      view_line(g, x - 3, y - 3, x + 3, y + 3, ink);
      view_line(g, x - 3, y + 3, x + 3, y - 3, ink);
      break;
    case Marker::Flat:
      view_box(g, x - hw, y - hh, x + hw, y + hh, ink);
      view_line(g, x - hw, y - hh, x + hw, y + hh, ink);
      view_line(g, x - hw, y + hh, x + hw, y - hh, ink);
      break;
    case Marker::Shadow:
      view_line(g, x - hw, y, x, y - hh, ink);
      view_line(g, x, y - hh, x + hw, y, ink);
      view_line(g, x + hw, y, x, y + hh, ink);
      view_line(g, x, y + hh, x - hw, y, ink);
      break;
    case Marker::Boundary:
      view_box(g, x - hw, y - hh, x + hw, y + hh, ink);
      view_box(g, x - hw / 2, y - hh / 2, x + hw / 2, y + hh / 2, ink);
      break;
    case Marker::Track:
      view_line(g, x - 2, y - 5, x + 2, y - 5, ink);
      view_line(g, x + 2, y - 5, x + 5, y - 2, ink);
      view_line(g, x + 5, y - 2, x + 5, y + 2, ink);
      view_line(g, x + 5, y + 2, x + 2, y + 5, ink);
      view_line(g, x + 2, y + 5, x - 2, y + 5, ink);
      view_line(g, x - 2, y + 5, x - 5, y + 2, ink);
      view_line(g, x - 5, y + 2, x - 5, y - 2, ink);
      view_line(g, x - 5, y - 2, x - 2, y - 5, ink);
      break;
    case Marker::Box:
    case Marker::OnScreen:
      view_box(g, x - hw, y - hh, x + hw, y + hh, ink);
      break;
  }
}

// The element whose marker lies under the panel point in an orthographic view (in the screen
// inset: the sprite or counter there), or -1.
int32_t ortho_pick(Editor& e, int32_t px, int32_t py) {
  int32_t best = -1;
  int64_t best_d = 8 * 8 + 1;
  const bool inset = in_inset(*e.g, px, py);
  const GuiRect r = inset_rect(*e.g);
  for (int32_t i = 0; i <= e.m->last_index; ++i) {
    if (on_screen(*e.c, i) != inset) continue;
    int32_t x, y;
    if (inset) {
      if (!is_screen_element(*e.c, i)) continue;  // frames and backgrounds are not picked here
      screen_position(*e.c, i, x, y);
      x = r.x1 + x / kInsetScale, y = r.y1 + y / kInsetScale;
    } else {
      double w[3];
      element_world(e, i, w);
      to_panel(e, w, x, y);
    }
    const int64_t d = int64_t(x - px) * (x - px) + int64_t(y - py) * (y - py);
    if (d < best_d) best_d = d, best = i;
  }
  return best;
}

void draw_ortho(Editor& e) {
  Gui& g = *e.g;
  gui_fill(g, colour(24, 28, 36));
  // The grid: a line every metre (every 5 m brighter once the metre lines crowd), the axes.
  double step = 1.0;
  while (step * e.zoom < 8) step *= 5;
  int32_t h, up, depth;
  view_axes(e.view, h, up, depth);
  const double left = e.centre[h] - kGuiWidth / 2 / e.zoom, right = e.centre[h] + kGuiWidth / 2 / e.zoom;
  const double bottom = e.centre[up] - kGuiHeight / 2 / e.zoom, top = e.centre[up] + kGuiHeight / 2 / e.zoom;
  for (double a = std::floor(left / step) * step; a <= right; a += step) {
    const int32_t x = int32_t(std::lround(kGuiWidth / 2 + (a - e.centre[h]) * e.zoom));
    const bool major = std::fmod(std::fabs(a) + 1e-9, step * 5) < 1e-6;
    gui_line(g, x, 0, x, kGuiHeight - 1, std::fabs(a) < 1e-9 ? colour(200, 60, 60) : major ? colour(70, 80, 100) : colour(44, 50, 62));
  }
  for (double a = std::floor(bottom / step) * step; a <= top; a += step) {
    const int32_t y = int32_t(std::lround(kGuiHeight / 2 - (a - e.centre[up]) * e.zoom));
    const bool major = std::fmod(std::fabs(a) + 1e-9, step * 5) < 1e-6;
    gui_line(g, 0, y, kGuiWidth - 1, y, std::fabs(a) < 1e-9 ? colour(60, 200, 60) : major ? colour(70, 80, 100) : colour(44, 50, 62));
  }
  static constexpr const char* kAxisNames = "XYZ";
  gui_set_colour(g, colour(200, 200, 200));
  const std::string axes = std::string("across: ") + kAxisNames[h] + ", up: " + kAxisNames[up];
  gui_print(g, axes, kGuiWidth - gui_text_width(g, axes) - 6, e.bar_y < 200 ? kBarHeight + e.bar_y + 4 : 4);

  // Names of elements that stand on the same spot are stacked, not printed over each other.
  std::vector<GuiRect> labelled;
  for (int32_t pass = 0; pass < 2; ++pass)  // the current element last, on top
    for (int32_t i = 0; i <= e.m->last_index; ++i) {
      const bool current = i == e.m->current;
      if (current != (pass == 1) || on_screen(*e.c, i)) continue;
      double w[3];
      element_world(e, i, w);
      int32_t x, y;
      to_panel(e, w, x, y);
      // Elements far outside the view are left out; the current one is drawn at the edge.
      if (!current && (x < -200 || x > kGuiWidth + 200 || y < -200 || y > kGuiHeight + 200)) continue;
      x = std::clamp(x, -1000, kGuiWidth + 1000);
      y = std::clamp(y, -1000, kGuiHeight + 1000);
      const KindLook& look = look_of(element_type(*e.c, i));
      const int32_t ink = current ? colour(255, 230, 0) : colour(look.r, look.g, look.b);
      // The element's extent: half a metre times its scale along the screen's axes.
      const int32_t hw = std::clamp(int32_t(0.25 * word(e, i, kScaleWords[h]) / 1000.0 * e.zoom), 3, 2000);
      const int32_t hh = std::clamp(int32_t(0.25 * word(e, i, kScaleWords[up]) / 1000.0 * e.zoom), 3, 2000);
      draw_marker(e, i, x, y, hw, hh, ink);
      if (current) {
        view_box(g, x - hw - 3, y - hh - 3, x + hw + 3, y + hh + 3, ink);
        view_line(g, x + hw + 3, y, x + hw + 40, y, colour(255, 80, 80));   // across
        view_line(g, x, y - hh - 3, x, y - hh - 40, colour(80, 255, 80));   // up
      }
      const std::string name(element_name(*e.c, i).view());
      const int32_t lx = x + hw + 4, lw = gui_text_width(g, name), fh = gui_font_height(g);
      int32_t ly = y + 2;
      // (A label pushed below the screen ends the stacking, so many elements on one spot cost
      // no more than a screenful of labels.)
      for (bool moved = true; moved && ly < kGuiHeight;) {
        moved = false;
        for (const GuiRect& o : labelled)
          if (lx <= o.x2 && lx + lw >= o.x1 && ly < o.y2 && ly + fh > o.y1) ly = o.y2, moved = true;
      }
      if (ly >= kGuiHeight || lx >= kGuiWidth || lx + lw < 0) continue;
      labelled.push_back({lx, ly, lx + lw, ly + fh});
      gui_set_colour(g, ink);
      gui_print(g, name, lx, ly);
    }
  draw_inset(e);
}

// ---- The menu bar, the help and status lines ----

// Icon index from the skin; a skin without the icon rows gets drawn ones.
void draw_icon(Gui& g, int32_t index, int32_t x, int32_t y, bool lit) {
  const int32_t sx = skin::kIconSize * (index % skin::kIconsPerRow);
  const int32_t sy = skin::kIconsY + skin::kIconSize * (index / skin::kIconsPerRow);
  if (g.skin && sy + skin::kIconSize <= g.skin_height) {
    for (int32_t r = 0; r < skin::kIconSize; ++r)
      for (int32_t k = 0; k < skin::kIconSize; ++k) gui_plot(g, x + k, y + r, g.skin[(sy + r) * kSkinWidth + sx + k]);
    if (lit) gui_box(g, x, y, x + skin::kIconSize - 1, y + skin::kIconSize - 1, colour(255, 200, 0));
    return;
  }
  gui_fill_box(g, x, y, x + kIconSize - 1, y + kIconSize - 1, lit ? colour(110, 110, 140) : colour(80, 80, 96));
  gui_line(g, x, y, x + kIconSize - 1, y, colour(170, 170, 190));
  gui_line(g, x, y, x, y + kIconSize - 1, colour(170, 170, 190));
  gui_line(g, x + kIconSize - 1, y, x + kIconSize - 1, y + kIconSize - 1, colour(30, 30, 40));
  gui_line(g, x, y + kIconSize - 1, x + kIconSize - 1, y + kIconSize - 1, colour(30, 30, 40));
  const IconRow& r = kIcons[index];
  gui_set_colour(g, colour(r.r, r.g, r.b));
  const int32_t w = gui_text_width(g, r.glyph);
  gui_print(g, r.glyph, x + (kIconSize - w) / 2, y + std::max(0, (kIconSize - gui_font_height(g)) / 2));
}

}  // namespace

// The icon under a panel point: x / 16 in the bar's first 19 rows, else -1.
int32_t virtual_icon_at(int32_t bar_y, int32_t x, int32_t y) {
  if (y < bar_y || y >= bar_y + kBarHeight - 1 || x < 0) return -1;
  const int32_t icon = x / kIconSize;
  return icon < kCommandCount ? icon : -1;
}

std::string_view virtual_tooltip(int32_t icon) {
  return icon >= 0 && icon < kCommandCount ? kIcons[icon].tooltip : "";
}

std::string_view virtual_help_line(Core& c, int32_t element, VirtualView view, bool clipped, bool velocity_mode) {
  const int32_t type = element_type(c, element);
  if (is_plain_integer_type(type)) return clipped ? kHelpSpriteClipped : kHelpSpriteUnclipped;
  if (velocity_mode) return kHelpVelocity;
  const bool shaped = type == kTypeVisual || type == kType3dShape || type == kTypeFlatShape || type == kTypeBoundary;
  if (view == VirtualView::Camera) {
    if (type == kTypeCamera) return kHelpMovePosition;
    return shaped ? kHelpMoveRotate : kHelpMoveCtrl;
  }
  return shaped || type == kTypeCamera ? kHelpZoomRotate : kHelpCtrl;
}

std::string_view virtual_scale_help() { return kHelpScale; }

std::string virtual_velocity_text(Core& c, int32_t element, const int32_t velocity[3]) {
  // Each component is divided by 1024 first so that the squares stay within range.
  int64_t sum = 0;
  for (int32_t k = 0; k < 3; ++k) {
    const int64_t q = velocity[k] / 1024;
    sum += q * q;
  }
  int64_t root = int64_t(std::sqrt(double(sum)));
  while (root * root > sum) --root;
  while ((root + 1) * (root + 1) <= sum) ++root;
  const int64_t speed = std::min<int64_t>(root * 1024, 2147483647);
  std::string text = " (";
  for (int32_t k = 0; k < 3; ++k) {
    text += element_field(c, element, fld::kVelX + k).view();
    text += k < 2 ? "," : " = ";
  }
  text += str_from_fixed3(c, velocity_to_file(int32_t(speed))).view();
  return text + " m/sec)";
}

std::string virtual_status_line(Core& c, int32_t element, VirtualStatus kind, int32_t distance) {
  auto f = [&](int32_t field) {
    // An absent or zero scale is the scale of 1.
    if (field >= fld::kScaleX && field <= fld::kScaleZ && element_field_fixed3(c, element, field) == 0)
      return std::string(str_from_fixed3(c, 1000).view());
    return std::string(element_field(c, element, field).view());
  };
  switch (kind) {
    case VirtualStatus::PositionRotation:
      return f(fld::kPosX) + "," + f(fld::kPosX + 1) + "," + f(fld::kPosX + 2) + " meters & " + f(fld::kRotX) + "," +
             f(fld::kRotX + 1) + "," + f(fld::kRotX + 2);
    case VirtualStatus::PositionScale:
      return "Position: " + f(fld::kPosX) + "," + f(fld::kPosX + 1) + "," + f(fld::kPosX + 2) + ", scale: " +
             f(fld::kScaleX) + "," + f(fld::kScaleY);
    case VirtualStatus::Scale:
      return "Scale: " + f(fld::kScaleX) + "," + f(fld::kScaleY) + "," + f(fld::kScaleZ);
    case VirtualStatus::Flat: {
      int32_t x, y;
      screen_position(c, element, x, y);
      return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
    case VirtualStatus::Distance:
      return "(distance:" + std::string(str_from_fixed3(c, position_to_file(distance)).view()) + ")";
  }
  return {};
}

namespace {

// The distance from the viewing camera to the element, in position units.
int32_t camera_distance(Editor& e, int32_t element) {
  double sum = 0;
  for (int32_t k = 0; k < 3; ++k) {
    const double d = double(word(e, element, kPosWords[k])) - word(e, e.camera, kPosWords[k]);
    sum += d * d;
  }
  return int32_t(std::min(std::sqrt(sum), 2147483647.0));
}

std::string status_text(Editor& e) {
  Core& c = *e.c;
  const int32_t cur = e.m->current;
  std::string text;
  if (is_screen_element(c, cur)) {
    text = virtual_status_line(c, cur, VirtualStatus::Flat, 0);
  } else if (e.drag == Drag::Scale) {
    text = virtual_status_line(c, cur, VirtualStatus::Scale, 0);
  } else if (e.velocity_mode) {
    int32_t v[3];
    for (int32_t k = 0; k < 3; ++k) v[k] = word(e, cur, kVelWords[k]);
    text = virtual_velocity_text(c, cur, v);
  } else if (e.view == VirtualView::Camera) {
    text = virtual_status_line(c, cur, VirtualStatus::PositionRotation, 0);
    if (cur != e.camera) text += " " + virtual_status_line(c, cur, VirtualStatus::Distance, camera_distance(e, cur));
  } else {
    text = virtual_status_line(c, cur, VirtualStatus::PositionScale, 0);
  }
  if ((element_field_int(c, cur, fld::kOptions) & 1) == 0) text += " (DISABLED, NOT VISIBLE)";
  return text;
}

// Corner brackets around a panel rectangle.
void brackets(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t ink) {
  const int32_t t = 6;
  for (const int32_t x : {x1, x2})
    for (const int32_t y : {y1, y2}) {
      gui_line(g, x, y, x + (x == x1 ? t : -t), y, ink);
      gui_line(g, x, y, x, y + (y == y1 ? t : -t), ink);
    }
}
void brackets(Gui& g, int32_t x, int32_t y, int32_t r, int32_t ink) { brackets(g, x - r, y - r, x + r, y + r, ink); }

// What the panel shows over the view: the current element's marker through the camera, and
// the help and status lines at the bottom.
void draw_marks_and_lines(Editor& e) {
  Gui& g = *e.g;
  Core& c = *e.c;
  const int32_t cur = e.m->current;
  const int32_t ink = colour(255, 230, 0);
  // Through the camera, the current element is marked by corner brackets where it stands; a
  // sprite or counter by brackets at its screen position, with its name.
  if (e.view == VirtualView::Camera && is_screen_element(c, cur)) {
    int32_t x, y;
    screen_position(c, cur, x, y);
    x = std::clamp(x, 0, kGuiWidth - 1), y = std::clamp(y, 0, kGuiHeight - 1);
    // A sprite's image from its top left corner (display pixels, shown on the 640 x 480 panel).
    const int32_t w = sprite_dim_x(*e.s, element_handle(cur)) * kGuiWidth / std::max(1, display_width(e));
    const int32_t h = sprite_dim_y(*e.s, element_handle(cur)) * kGuiHeight / std::max(1, display_height(e));
    brackets(g, x - 2, y - 2, x + std::max(w, 8) + 1, y + std::max(h, 8) + 1, ink);
    gui_print_in(g, std::string(element_name(c, cur).view()), x + std::max(w, 8) + 6, y, ink);
  } else if (e.view == VirtualView::Camera && cur != e.camera && !on_screen(c, cur)) {
    if (const rm::Viewport* vp = camera_viewport_of(e)) {
      const rm::vec3 world(float(word(e, cur, ir::kPosX) / kUnit), float(word(e, cur, ir::kPosY) / kUnit),
                           float(word(e, cur, ir::kPosZ) / kUnit));
      const rm::vec4 p = rm::viewport_transform(*vp, world);
      if (p.w > 0 && std::fabs(p.x) < 1e6 && std::fabs(p.y) < 1e6) {
        const int32_t x = int32_t(p.x) * kGuiWidth / std::max(1, display_width(e));
        const int32_t y = int32_t(p.y) * kGuiHeight / std::max(1, display_height(e));
        if (x > -20 && x < kGuiWidth + 20 && y > -20 && y < kGuiHeight + 20) brackets(g, x, y, 18, ink);
      }
    }
  }
  const int32_t fh = std::max(8, gui_font_height(g));
  const int32_t top = kGuiHeight - 2 * fh - 6;
  gui_fill_box(g, 0, top, kGuiWidth - 1, kGuiHeight - 1, colour(20, 20, 28));
  gui_set_colour(g, colour(170, 200, 255));
  std::string help(virtual_help_line(c, cur, e.view, e.clipped, e.velocity_mode));
  if (e.drag == Drag::Scale) help = kHelpScale;
  gui_print(g, help, 4, top + 2);
  gui_set_colour(g, colour(255, 255, 255));
  gui_print(g, status_text(e), 4, top + fh + 4);
}

// The menu bar with the current element's number, name and kind after the icons, and the
// tooltip of the icon under the pointer. The 20 rows the bar covers are saved first and put
// back once the picture is shown, so the panel keeps the view without the bar: while the bar
// is being moved, only the bar is drawn again.
void draw_bar(Editor& e, bool tooltip) {
  Gui& g = *e.g;
  Core& c = *e.c;
  const int32_t cur = e.m->current;
  const int32_t fh = std::max(8, gui_font_height(g));
  std::memcpy(e.under, g.pixels + e.bar_y * kGuiWidth, sizeof e.under);
  e.under_y = e.bar_y;
  gui_fill_box(g, 0, e.bar_y, kGuiWidth - 1, e.bar_y + kBarHeight - 1, colour(60, 60, 74));
  const int32_t px = panel_x(e), py = panel_y(e);
  const int32_t hover = tooltip ? virtual_icon_at(e.bar_y, px, py) : -1;
  for (int32_t i = 0; i < kCommandCount; ++i) draw_icon(g, i, i * kIconSize, e.bar_y + 2, i == hover);
  gui_set_colour(g, colour(255, 255, 255));
  const std::string label = std::to_string(cur) + ": " + std::string(element_name(c, cur).view()) + " (" +
                            std::string(type_name(c, element_type(c, cur)).view()) + ")";
  gui_print(g, label, kCommandCount * kIconSize + 6, e.bar_y + 2 + std::max(0, (kIconSize - fh) / 2));
  if (hover >= 0) {
    const std::string_view tip = kIcons[hover].tooltip;
    const int32_t w = gui_text_width(g, tip) + 8;
    int32_t x = std::min(hover * kIconSize, kGuiWidth - w - 1);
    const int32_t y = e.bar_y + kBarHeight + 2 + fh + 4 < kGuiHeight ? e.bar_y + kBarHeight + 2 : e.bar_y - fh - 6;
    gui_fill_box(g, x, y, x + w, y + fh + 3, colour(255, 255, 200));
    gui_box(g, x, y, x + w, y + fh + 3, colour(40, 40, 40));
    gui_set_colour(g, colour(30, 30, 30));
    gui_print(g, tip, x + 4, y + 2);
  }
}

void put_back_under_bar(Editor& e) {
  if (e.under_y < 0) return;
  std::memcpy(e.g->pixels + e.under_y * kGuiWidth, e.under, sizeof e.under);
  e.under_y = -1;
}

void present(Editor& e) {
  System& s = *e.s;
  Gui& g = *e.g;
  // While the bar moves, the panel below it stays as it was (the tooltip is not drawn).
  const bool bar_only = e.moving_bar && e.panel_kept;
  if (e.view == VirtualView::Camera) {
    // The scene draws over what is there: last frame's tooltip must not stay behind.
    if (platform::Screen* screen = screen_of(e)) platform::surface_fill(screen->back, 0);
    for (Phase p = Phase::Restore; p <= Phase::Over2d; p = Phase(int32_t(p) + 1))
      if (p != Phase::SoundSync) run_phase(s, p);
    if (!bar_only) {
      gui_clear(g);
      draw_marks_and_lines(e);
    }
    draw_bar(e, !e.moving_bar);
    gui_present_scaled_transparent(g);
    run_phase(s, Phase::Present);
  } else {
    run_phase(s, Phase::SceneSync);
    if (!bar_only) {
      draw_ortho(e);
      draw_marks_and_lines(e);
    }
    draw_bar(e, !e.moving_bar);
    gui_present_scaled(g);
  }
  put_back_under_bar(e);
  e.panel_kept = true;
  if (s.pipeline) ++s.pipeline->frames_rendered;
}

// ---- Commands ----

void select(Editor& e, int32_t element) {
  const int32_t n = e.m->last_index + 1;
  if (n <= 0) return;
  e.m->current = ((element % n) + n) % n;
  if (e.view != VirtualView::Camera) centre_on(e, e.m->current);
}

void run_command(Editor& e, int32_t command) {
  const int32_t cur = e.m->current;
  switch (command) {
    case kSpriteMode: e.clipped = !e.clipped; break;
    case kPrevious: select(e, cur - 1); break;
    case kNext: select(e, cur + 1); break;
    case kViewVirtual: case kViewTop: case kViewBack: case kViewRight:
      e.view = VirtualView(command - kViewVirtual);
      if (e.view != VirtualView::Camera) centre_on(e, cur);
      break;
    case kResetPosX: case kResetPosY: case kResetPosZ:
      take_undo(e, cur);
      set_position(e, cur, command - kResetPosX, 0);
      break;
    case kResetRotX: case kResetRotY: case kResetRotZ:
      take_undo(e, cur);
      set_rotation(e, cur, command - kResetRotX, 0);
      break;
    case kRestoreScale:
      take_undo(e, cur);
      for (int32_t k = 0; k < 3; ++k) set_scale(e, cur, k, 1000);
      break;
    case kUndo: restore_undo(e); break;
    case kMoveBar:
      // The bar follows the pointer, held where it was taken, until the next click.
      e.moving_bar = true;
      e.bar_grab = panel_y(e) - e.bar_y;
      e.panel_kept = false;  // drawn once more without the tooltip, which lies outside the saved rows
      break;
    case kMinimise:
      if (e.g->io.minimise) e.g->io.minimise();
      break;
    case kExit: e.ended = true; break;
    default: break;
  }
}

void begin_drag(Editor& e, int32_t buttons) {
  Input& in = *e.s->input;
  Core& c = *e.c;
  const int32_t px = panel_x(e), py = panel_y(e);
  const bool ctrl = key_down(in, kScanCtrl) != 0;
  const bool shift = key_down(in, kScanLeftShift) != 0 || key_down(in, kScanRightShift) != 0;
  // A press on an element makes it the current one.
  if (buttons & 1) {
    int32_t picked = -1;
    if (e.view == VirtualView::Camera) {
      const int32_t handle = frames::visual_picked_get_ex(*e.s, 0);
      if (handle != 0) picked = element_index_of(handle);
    } else {
      picked = ortho_pick(e, px, py);
    }
    if (picked >= 0 && picked <= e.m->last_index && !ctrl) e.m->current = picked;
  }
  const int32_t cur = e.m->current;
  e.press_x = px, e.press_y = py;
  e.press_dx = in.mouse_x, e.press_dy = in.mouse_y;
  for (int32_t k = 0; k < 3; ++k) {
    e.start[k] = word(e, cur, kPosWords[k]);
    e.start_rot[k] = word(e, cur, kRotWords[k]);
    e.start_scale[k] = word(e, cur, kScaleWords[k]);
  }
  if (is_screen_element(c, cur)) screen_position(c, cur, e.start_screen[0], e.start_screen[1]);
  e.screen_factor = e.view != VirtualView::Camera && in_inset(*e.g, px, py) ? kInsetScale : 1;
  e.before_drag = e.undo;
  take_undo(e, cur);
  if (is_screen_element(c, cur)) e.drag = Drag::Screen;
  else if (buttons & 2) e.drag = Drag::Scale;
  else if (e.velocity_mode) e.drag = Drag::Velocity;
  else if (shift) e.drag = Drag::Rotate;
  else if (ctrl && e.view == VirtualView::Camera) e.drag = Drag::Lift;
  else e.drag = Drag::Move;
  e.hit0_valid = false;
  if (e.drag == Drag::Move && e.view == VirtualView::Camera) {
    if (const rm::Viewport* vp = camera_viewport_of(e))
      e.hit0_valid = ground_hit(*vp, in.mouse_x, in.mouse_y, e.start[1] / kUnit, e.hit0);
  }
}

void continue_drag(Editor& e) {
  Input& in = *e.s->input;
  const int32_t cur = e.m->current;
  const int32_t px = panel_x(e), py = panel_y(e);
  const int32_t dx = px - e.press_x, dy = py - e.press_y;
  int32_t h, up, depth;
  view_axes(e.view, h, up, depth);
  auto sat = [](double v) { return int32_t(std::clamp(v, -2147483647.0, 2147483647.0)); };
  switch (e.drag) {
    case Drag::Screen: {
      // A drag that began in the screen inset moves the marker with the pointer.
      const int32_t k = e.screen_factor;
      int64_t x = e.start_screen[0] + int64_t(dx) * k, y = e.start_screen[1] + int64_t(dy) * k;
      if (e.clipped) x = std::clamp<int64_t>(x, 0, kGuiWidth - 1), y = std::clamp<int64_t>(y, 0, kGuiHeight - 1);
      set_screen_position(e, cur, sat(double(x)), sat(double(y)));
      break;
    }
    case Drag::Scale:
      for (int32_t k = 0; k < 3; ++k) set_scale(e, cur, k, sat(e.start_scale[k] * std::pow(1.01, -dy)));
      break;
    case Drag::Rotate: {
      // Half a degree per pixel about the axis the view looks along (y in the camera view).
      const int32_t axis = e.view == VirtualView::Camera ? 1 : depth;
      set_rotation(e, cur, axis, e.start_rot[axis] + dx * 256);
      break;
    }
    case Drag::Velocity: {
      // The arrow from the element to the pointer: one metre on screen is one metre per second.
      const double per_second = 17067.0 / e.zoom;
      set_velocity(e, cur, e.view == VirtualView::Camera ? 0 : h, sat(dx * per_second));
      set_velocity(e, cur, e.view == VirtualView::Camera ? 2 : up, sat(-dy * per_second));
      break;
    }
    case Drag::Lift: {
      const rm::Viewport* vp = camera_viewport_of(e);
      const double metres = vp ? lift_metres(*vp, e.start, in.mouse_x, e.press_dy, in.mouse_y) : -dy * 0.02;
      set_position(e, cur, 1, sat(e.start[1] + metres * kUnit));
      break;
    }
    case Drag::Move:
      if (e.view == VirtualView::Camera) {
        double hit[3];
        const rm::Viewport* vp = camera_viewport_of(e);
        if (e.hit0_valid && vp && ground_hit(*vp, in.mouse_x, in.mouse_y, e.start[1] / kUnit, hit)) {
          set_position(e, cur, 0, sat(e.start[0] + (hit[0] - e.hit0[0]) * kUnit));
          set_position(e, cur, 2, sat(e.start[2] + (hit[2] - e.hit0[2]) * kUnit));
        }
      } else {
        set_position(e, cur, h, sat(e.start[h] + dx / e.zoom * kUnit));
        set_position(e, cur, up, sat(e.start[up] - dy / e.zoom * kUnit));
      }
      break;
    case Drag::None: break;
  }
}

// A drag that changed nothing leaves the undo step of the drag before it.
void end_drag(Editor& e) {
  const int32_t cur = e.m->current;
  bool changed = false;
  for (int32_t k = 0; k < 3; ++k)
    changed = changed || word(e, cur, kPosWords[k]) != e.start[k] || word(e, cur, kRotWords[k]) != e.start_rot[k] ||
              word(e, cur, kScaleWords[k]) != e.start_scale[k];
  changed = changed || e.drag == Drag::Velocity;
  if (e.drag == Drag::Screen) {
    int32_t x, y;
    screen_position(*e.c, cur, x, y);
    changed = changed || x != e.start_screen[0] || y != e.start_screen[1];
  }
  if (!changed) e.undo = e.before_drag;
  e.drag = Drag::None;
}

// A, Z and the arrow keys held: the viewing camera moves (virtual view) or the orthographic
// view zooms and pans.
void held_keys(Editor& e) {
  Input& in = *e.s->input;
  const bool a = key_down(in, kScanA) != 0, z = key_down(in, kScanZ) != 0;
  const bool left = key_down(in, kScanLeft) != 0, right = key_down(in, kScanRight) != 0;
  const bool upk = key_down(in, kScanUp) != 0, down = key_down(in, kScanDown) != 0;
  if (!(a || z || left || right || upk || down)) return;
  e.panel_kept = false;
  if (e.view != VirtualView::Camera) {
    if (a) e.zoom = std::min(2000.0, e.zoom * 1.05);
    if (z) e.zoom = std::max(2.0, e.zoom / 1.05);
    int32_t h, up, depth;
    view_axes(e.view, h, up, depth);
    const double step = 8.0 / e.zoom;
    if (left) e.centre[h] -= step;
    if (right) e.centre[h] += step;
    if (upk) e.centre[up] += step;
    if (down) e.centre[up] -= step;
    return;
  }
  // A and Z along the camera's view, the arrows sideways and up and down, 5 cm a frame.
  const double yaw = word(e, e.camera, ir::kRotY) * 2.0 * 3.14159265358979 / kTurn;
  const double pitch = word(e, e.camera, ir::kRotX) * 2.0 * 3.14159265358979 / kTurn;
  const double fwd[3] = {std::sin(yaw) * std::cos(pitch), -std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
  const double side[3] = {std::cos(yaw), 0, -std::sin(yaw)};
  double move[3] = {0, 0, 0};
  const double step = 0.05 * kUnit;
  for (int32_t k = 0; k < 3; ++k) {
    move[k] += (a ? step : 0) * fwd[k] - (z ? step : 0) * fwd[k];
    move[k] += (right ? step : 0) * side[k] - (left ? step : 0) * side[k];
  }
  move[1] += (upk ? step : 0) - (down ? step : 0);
  for (int32_t k = 0; k < 3; ++k)
    if (move[k] != 0) set_position(e, e.camera, k, int32_t(std::clamp(word(e, e.camera, kPosWords[k]) + move[k], -2147483647.0, 2147483647.0)));
}

void key_command(Editor& e, int32_t scan) {
  e.panel_kept = false;
  switch (scan) {
    case kScanEscape: e.ended = true; break;
    case kScanPageUp: run_command(e, kPrevious); break;
    case kScanPageDown: run_command(e, kNext); break;
    case kScanS: run_command(e, kRestoreScale); break;
    case kScanU: run_command(e, kUndo); break;
    case kScanH: {
      uint8_t* r = record_of(e, e.m->current);
      ir_set(r, ir::kFlags, ir_get(r, ir::kFlags) ^ ir::kFlagShown);
      break;
    }
    case kScanTab: {  // the element chooser
      const int32_t chosen = choose_element(*e.g, *e.m, e.m->current);
      if (chosen >= 0) select(e, chosen);
      break;
    }
    case kScanI:  // the Info panel, and from it the parameter panel
    {
      const int32_t shown = virtual_info_panel(*e.g, *e.m, e.m->current);
      if (shown != e.m->current) select(e, shown);
      break;
    }
    case 47:  // V: the velocity vector instead of the position
      e.velocity_mode = !e.velocity_mode;
      break;
    default:
      if (scan >= kScanF5 && scan <= kScanF5 + 3) run_command(e, kViewVirtual + scan - kScanF5);
      break;
  }
}

}  // namespace

int32_t choose_element(Gui& g, Model& m, int32_t current) {
  Core& c = *g.core;
  const int32_t count = m.last_index + 1;
  if (count <= 0) return -1;
  constexpr int32_t kRows = 20, kTop = 60, kLeft = 60, kRight = 579;
  const int32_t fh = std::max(8, gui_font_height(g));
  int32_t at = std::clamp(current, 0, count - 1);
  int32_t chosen = -1;
  bool was_down = true;  // the press that opened the chooser is not a choice
  gui_flush_input(g);
  while (true) {
    const int32_t page = at / kRows;
    gui_clear(g);
    gui_window(g, kLeft - 20, kTop - 50, kRight + 20, kTop + kRows * (fh + 2) + 30, true);
    gui_reset_buttons(g);
    gui_set_colour(g, gui_skin_colour(g, skin::kWindowTextX));
    gui_print(g, "Select an element (PgUp/PgDn, arrows, Enter or click; Esc leaves)", kLeft, kTop - 20);
    for (int32_t r = 0; r < kRows && page * kRows + r < count; ++r) {
      const int32_t i = page * kRows + r;
      const int32_t y = kTop + r * (fh + 2);
      if (i == at) gui_fill_box(g, kLeft - 4, y - 1, kRight, y + fh, colour(60, 90, 160));
      gui_set_colour(g, i == at ? colour(255, 255, 255) : gui_skin_colour(g, skin::kWindowTextX));
      gui_print(g, std::to_string(i) + ": " + std::string(element_name(c, i).view()), kLeft, y);
      gui_print(g, std::string(type_name(c, element_type(c, i)).view()), kLeft + 300, y);
    }
    if (count > kRows) {
      const std::string pages = "Page " + std::to_string(page + 1) + " of " + std::to_string((count + kRows - 1) / kRows);
      gui_set_colour(g, gui_skin_colour(g, skin::kWindowTextX));
      gui_print(g, pages, kRight - gui_text_width(g, pages), kTop + kRows * (fh + 2) + 6);
    }
    const int32_t scan = gui_frame_key(g);
    if (scan == kScanEscape) break;
    if (scan == kScanEnter) {
      chosen = at;
      break;
    }
    if (scan == kScanUp) at = std::max(0, at - 1);
    if (scan == kScanDown) at = std::min(count - 1, at + 1);
    if (scan == kScanPageUp) at = std::max(0, at - kRows);
    if (scan == kScanPageDown) at = std::min(count - 1, at + kRows);
    const bool down = (gui_mouse_buttons(g) & 1) != 0;
    if (down && !was_down && gui_button_at_mouse(g) == kGuiCloseBoxHit) break;
    if (down && !was_down) {
      const int32_t r = (g.mouse_y - kTop) / (fh + 2);
      const int32_t i = page * kRows + r;
      if (g.mouse_y >= kTop && r < kRows && i < count && g.mouse_x >= kLeft - 4 && g.mouse_x <= kRight) {
        chosen = i;
        break;
      }
    }
    was_down = down;
    if (g.input && g.input->read == g.input->write && gui_input_exhausted(g)) break;
  }
  gui_clear(g);
  gui_flush_input(g);
  return chosen;
}

namespace {

int32_t first_enabled_camera(Core& c, const Model& m) {
  for (int32_t i = 0; i <= m.last_index; ++i)
    if (element_type(c, i) == kTypeCamera && (element_field_int(c, i, fld::kOptions) & 1)) return i;
  return -1;
}

}  // namespace

bool virtual_editor(System& s) {
  if (!s.core || !s.model || !s.input || !s.gui || !s.pipeline) return false;
  Core& c = *s.core;
  Model& m = *s.model;
  const int32_t camera = first_enabled_camera(c, m);
  if (camera < 0) {
    show_message(c, "To virtual edit the project enable|at least one camera element first!");
    return false;
  }
  Editor e;
  e.s = &s, e.c = &c, e.m = &m, e.g = s.gui;
  e.camera = camera;
  m.current = std::clamp(m.current, 0, m.last_index);

  show_status(c, "Loading data, please wait...");
  asset_pass(s);
  object_pass(s);
  run_phase(s, Phase::RunStart);
  show_status(c, "");

  platform::Screen* screen = c.frame.screen;
  // No brains and no motion run: the elements stay where they stand.
  const bool windowed = screen && !screen->headless;
  int32_t was_buttons = 0;
  int64_t next = ticks_now(c);
  for (int64_t frame = 0; !e.ended; ++frame) {
    if (platform::interrupt_signal()) break;
    if (s.pipeline->max_frames >= 0 && frame >= s.pipeline->max_frames) break;
    // As in every editor, scripted input is timed by the message-pump count.
    gui_pump(*s.gui);
    Input& in = *s.input;
    // Keys: one from the queue a frame, as in a run.
    next_key(c, in);
    if (in.last_key != 0 && e.drag == Drag::None) key_command(e, in.last_key);
    held_keys(e);

    int32_t buttons = in.mouse_buttons;
    const int32_t px = panel_x(e), py = panel_y(e);
    const bool pressed = (buttons & 3) && !(was_buttons & 3);
    if (e.moving_bar) {
      e.bar_y = std::clamp(py - e.bar_grab, 0, kGuiHeight - kBarHeight);
      if (pressed) e.moving_bar = false;
    } else if (pressed) {
      const int32_t icon = virtual_icon_at(e.bar_y, px, py);
      const bool on_bar = py >= e.bar_y && py < e.bar_y + kBarHeight;
      if (icon >= 0 && (buttons & 1)) {
        run_command(e, icon);
      } else if (on_bar && (buttons & 1) && px >= kCommandCount * kIconSize) {
        // The element's name on the bar opens its Info panel.
        key_command(e, kScanI);
        buttons = 0;
      } else if (!on_bar) {
        begin_drag(e, buttons);
      }
    } else if (e.drag != Drag::None) {
      if (buttons & 3) continue_drag(e);
      else end_drag(e);
    }
    was_buttons = buttons;
    if (e.ended) break;
    present(e);

    // Headless, once the script has nothing more to say, the editor ends as Escape would.
    const bool input_over = !s.script || input_script_done(*s.script);
    if (!windowed && input_over && in.read == in.write) break;
    if (windowed) {
      next += kFramePeriodMs * 4500 / 1000;
      while (ticks_now(c) < next) platform::sleep_ms(1);
      if (ticks_now(c) > next + 4500) next = ticks_now(c);
    }
  }
  if (e.drag != Drag::None) end_drag(e);
  run_phase(s, Phase::RunEnd);
  overlays_run_end(s);
  gui_clear(*s.gui);
  return true;
}

}  // namespace korva
