// Keyboard, mouse and joystick state as the rest of the system reads it: the key queue with
// scan codes, typed text, live key states by scan code, mouse, wheel, modifiers and two
// joysticks. The window layer (and scripted input) feed it through the handlers below.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/fixed_string.h"

namespace korva {

struct Core;

constexpr int32_t kKeyQueueEntries = 16;
constexpr int32_t kTypedTextBytes = 8192;  // 8191 characters and the terminator
constexpr int32_t kJoystickDeadZone = 150; // 15 % of the -1000..1000 range
constexpr int32_t kMaxJoysticks = 2;

// PC keyboard scan codes the system names.
enum Scan : int32_t {
  kScanEscape = 1, kScanBackspace = 14, kScanTab = 15, kScanEnter = 28, kScanCtrl = 29,
  kScanLeftShift = 42, kScanRightShift = 54, kScanAlt = 56, kScanSpace = 57, kScanF1 = 59,
  kScanHome = 71, kScanUp = 72, kScanPageUp = 73, kScanLeft = 75, kScanRight = 77, kScanEnd = 79,
  kScanDown = 80, kScanPageDown = 81, kScanInsert = 82, kScanDelete = 83,
};

struct Joystick {
  bool present = false;
  int32_t x = 0, y = 0, z = 0;        // -1000..1000 after the dead zone
  int32_t rx = 0, ry = 0, rz = 0;     // rotation axes, -1000..1000
  int32_t slider[2] = {};
  int32_t pov[4] = {-1, -1, -1, -1};  // hats in hundredths of a degree, -1 when centred
  uint32_t buttons = 0;               // bit i set while button i is down
};

struct Input {
  uint32_t queue[kKeyQueueEntries] = {};  // character in bits 0..7, scan code in bits 16..23
  int32_t write = 0;
  int32_t read = 0;
  int32_t last_key = 0;

  char text[kTypedTextBytes] = {};
  int32_t text_len = 0;

  bool key_down[256] = {};  // live state by scan code
  int32_t mouse_x = 0, mouse_y = 0;
  int32_t mouse_buttons = 0;  // bit 0 left, 1 right, 2 middle
  // Where the pointer was when the run's first loop frame sampled it: `any_input_exit` ends the
  // run once it has moved from there.
  int32_t mouse_ref_x = 0, mouse_ref_y = 0;
  bool mouse_ref_set = false;
  int32_t wheel = 0;          // negated delta of the last wheel message
  int32_t modifiers = 0;
  int32_t any_key = 0;
  Joystick joy[kMaxJoysticks];
};

// ---- Handlers for window messages ----
// A key went down. With a character message for it already waiting, nothing is queued here
// (the character carries the key).
void input_key_down(Input& in, int32_t scan, bool character_waiting);
void input_key_up(Input& in, int32_t scan);
// A character; digits get the main-row scan codes whatever key made them.
void input_character(Input& in, int32_t code, int32_t scan);
void input_wheel(Input& in, int32_t delta);
// Mouse sampling of every pump: position clamped to the display size, buttons.
void input_sample_mouse(Input& in, int32_t x, int32_t y, int32_t buttons, int32_t width,
                        int32_t height);
// Raw joystick axis (-32768..32767) to the -1000..1000 range with the dead zone.
int32_t joystick_axis_value(int32_t raw, bool dead_zone);

// ---- What the system reads ----
FixedString& next_key(Core& c, Input& in);  // one character, or empty; sets last_key
void drain_keys(Input& in);
int32_t key_down(const Input& in, int32_t scan);             // -1 down, 0 up
int32_t key_down(const Input& in, std::string_view name);    // by key name, any case
int32_t key_name_code(std::string_view name);                // 0 for an unknown name
int32_t first_key_down(const Input& in);                     // lowest scan code down, or 0
int32_t read_modifiers(Input& in);                           // 3 Shift + 4 Ctrl + 8 Alt
int32_t sample_any_key(Input& in);                           // some key down, or 0
int32_t wheel_read(Input& in);                               // the kept value, then 0
void typed_text_clear(Input& in);
bool any_input_down(const Input& in);  // a key, mouse button or joystick button is down

}  // namespace korva
