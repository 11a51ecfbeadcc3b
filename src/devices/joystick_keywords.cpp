// The brains' joystick and mouse keywords: both joysticks' axes mapped onto a brain's range,
// rotation axes, buttons and hats, the mouse, and the exit on input. They never poll a device:
// they read what the frame's input step has already put into the Input state.
#include <bit>

#include "brain/keyword_binding.h"
#include "core/system.h"
#include "devices/devices.h"
#include "engine/keyword_table.h"
#include "model/run_state.h"
#include "runtime/run_control_keywords.h"

namespace korva {
namespace {

// The calibrated range of every mapped axis: the input layer scales X, Y and Z, and the
// sliders that stand for U and V, to -1000..1000.
constexpr int64_t kAxisMin = -1000;
constexpr int64_t kAxisMax = 1000;

// Without an input state (a tool, a test) the keywords read as if no joystick were attached:
// axes centred, no buttons, hats centred.
const Joystick& joystick(const System& s, int32_t k) {
  static const Joystick kAbsent;
  return s.input ? s.input->joy[k] : kAbsent;
}

// The axis value v mapped so that the maximum gives lo and the minimum gives hi (for
// lo <= hi). The whole computation is 64-bit: hi - lo can exceed 32 bits, and with v inside
// the range lo + q lies between lo and hi. A value outside the range (scripted input does not
// clamp) wraps rather than trapping.
int32_t axis_map(int32_t v, int32_t lo, int32_t hi) {
  const int64_t q = (kAxisMax - v) * (int64_t{hi} - lo) / (kAxisMax - kAxisMin);
  const int64_t r = lo <= hi ? lo + q : q - hi;
  return static_cast<int32_t>(static_cast<uint32_t>(r));
}

// Button i answers to mask bit i + 4, so a brain tests the first button with 16.
int32_t buttons_masked(const Joystick& j, int32_t mask) {
  return static_cast<int32_t>(std::rotl(j.buttons, 4) & static_cast<uint32_t>(mask));
}

// A hat is centred when the low 16 bits of its value are all set (the input layer keeps -1);
// otherwise hundredths of a degree become angle units, 512 to the circle's 36000.
int32_t hat_direction(const Joystick& j, int32_t h) {
  const int32_t pov = j.pov[h];
  if ((pov & 0xFFFF) == 0xFFFF) return -1;
  return static_cast<int32_t>(static_cast<uint32_t>(int64_t{pov} * 512 / 100));
}

}  // namespace

int32_t joy1_x(System& s, int32_t lo, int32_t hi) { return axis_map(joystick(s, 0).x, lo, hi); }
int32_t joy1_y(System& s, int32_t lo, int32_t hi) { return axis_map(joystick(s, 0).y, lo, hi); }
int32_t joy1_z(System& s, int32_t lo, int32_t hi) { return axis_map(joystick(s, 0).z, lo, hi); }
int32_t joy1_u(System& s, int32_t lo, int32_t hi) {
  return axis_map(joystick(s, 0).slider[0], lo, hi);
}
int32_t joy1_v(System& s, int32_t lo, int32_t hi) {
  return axis_map(joystick(s, 0).slider[1], lo, hi);
}
int32_t joy2_x(System& s, int32_t lo, int32_t hi) { return axis_map(joystick(s, 1).x, lo, hi); }
int32_t joy2_y(System& s, int32_t lo, int32_t hi) { return axis_map(joystick(s, 1).y, lo, hi); }
int32_t joy2_z(System& s, int32_t lo, int32_t hi) { return axis_map(joystick(s, 1).z, lo, hi); }
int32_t joy2_u(System& s, int32_t lo, int32_t hi) {
  return axis_map(joystick(s, 1).slider[0], lo, hi);
}
int32_t joy2_v(System& s, int32_t lo, int32_t hi) {
  return axis_map(joystick(s, 1).slider[1], lo, hi);
}

int32_t joy1_xr(System& s) { return joystick(s, 0).rx; }
int32_t joy1_yr(System& s) { return joystick(s, 0).ry; }
int32_t joy1_zr(System& s) { return joystick(s, 0).rz; }
int32_t joy2_xr(System& s) { return joystick(s, 1).rx; }
int32_t joy2_yr(System& s) { return joystick(s, 1).ry; }
int32_t joy2_zr(System& s) { return joystick(s, 1).rz; }

int32_t joy1_b(System& s, int32_t mask) { return buttons_masked(joystick(s, 0), mask); }
int32_t joy2_b(System& s, int32_t mask) { return buttons_masked(joystick(s, 1), mask); }

int32_t joy1_dir1(System& s) { return hat_direction(joystick(s, 0), 0); }
int32_t joy1_dir2(System& s) { return hat_direction(joystick(s, 0), 1); }
int32_t joy1_dir3(System& s) { return hat_direction(joystick(s, 0), 2); }
int32_t joy1_dir4(System& s) { return hat_direction(joystick(s, 0), 3); }
int32_t joy2_dir1(System& s) { return hat_direction(joystick(s, 1), 0); }
int32_t joy2_dir2(System& s) { return hat_direction(joystick(s, 1), 1); }
int32_t joy2_dir3(System& s) { return hat_direction(joystick(s, 1), 2); }
int32_t joy2_dir4(System& s) { return hat_direction(joystick(s, 1), 3); }

int32_t mouse_x(System& s) { return s.input ? s.input->mouse_x : 0; }
int32_t mouse_y(System& s) { return s.input ? s.input->mouse_y : 0; }
int32_t mouse_click(System& s) { return s.input ? s.input->mouse_buttons : 0; }

// Kept so that brains calling them still compile and run; the cursor stays as the run set it.
void mouse_on(System&) {}
void mouse_off(System&) {}

void any_input_exit(System& s, int32_t code) {
  const Input* in = s.input;
  const bool moved = in && in->mouse_ref_set && (in->mouse_x != in->mouse_ref_x || in->mouse_y != in->mouse_ref_y);
  if (moved || any_input(s) != 0) korva::exit(s, code);
}

void bind_joystick_keywords(KeywordBindings& b) {
  // joy1_b binds its synonym joy_b with it.
  static const KeywordBinding kEntries[] = {
      {"joy1_b", keyword_routine<joy1_b>},
      {"joy1_x", keyword_routine<joy1_x>},
      {"joy1_y", keyword_routine<joy1_y>},
      {"joy2_b", keyword_routine<joy2_b>},
      {"joy2_x", keyword_routine<joy2_x>},
      {"joy2_y", keyword_routine<joy2_y>},
      {"mouse_on", keyword_routine<mouse_on>},
      {"mouse_off", keyword_routine<mouse_off>},
      {"mouse_x", keyword_routine<mouse_x>},
      {"mouse_y", keyword_routine<mouse_y>},
      {"mouse_click", keyword_routine<mouse_click>},
      {"any_input_exit", keyword_routine<any_input_exit>},
      {"joy1_z", keyword_routine<joy1_z>},
      {"joy2_z", keyword_routine<joy2_z>},
      {"joy1_u", keyword_routine<joy1_u>},
      {"joy2_u", keyword_routine<joy2_u>},
      {"joy1_v", keyword_routine<joy1_v>},
      {"joy2_v", keyword_routine<joy2_v>},
      {"joy1_xr", keyword_routine<joy1_xr>},
      {"joy1_yr", keyword_routine<joy1_yr>},
      {"joy1_zr", keyword_routine<joy1_zr>},
      {"joy2_xr", keyword_routine<joy2_xr>},
      {"joy2_yr", keyword_routine<joy2_yr>},
      {"joy2_zr", keyword_routine<joy2_zr>},
      {"joy1_dir1", keyword_routine<joy1_dir1>},
      {"joy1_dir2", keyword_routine<joy1_dir2>},
      {"joy1_dir3", keyword_routine<joy1_dir3>},
      {"joy1_dir4", keyword_routine<joy1_dir4>},
      {"joy2_dir1", keyword_routine<joy2_dir1>},
      {"joy2_dir2", keyword_routine<joy2_dir2>},
      {"joy2_dir3", keyword_routine<joy2_dir3>},
      {"joy2_dir4", keyword_routine<joy2_dir4>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
