// The brains' joystick and mouse keywords, called through their bindings over a system with an
// input state and a run.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "brain/brain.h"
#include "brain/keyword_binding.h"
#include "core/system.h"
#include "devices/devices.h"
#include "model/run_state.h"

namespace korva {
namespace {

class JoystickKeywords : public ::testing::Test {
 protected:
  Input in;
  RunState run;
  System sys;
  KeywordBindings bindings;

  JoystickKeywords() {
    sys.input = &in;
    sys.run = &run;
    run.hooks.any_input = [this]() { return any_input_down(in) ? -1 : 0; };
    bind_joystick_keywords(bindings);
  }

  // Runs a keyword through its binding, as the machine calls it; eax starts as `a`, so an
  // instruction hands back its first parameter.
  int32_t call(const std::string& name, int32_t a = 0, int32_t b = 0) {
    const int32_t row = keyword_find(name);
    EXPECT_GE(row, 0) << name;
    if (row < 0 || !bindings.routine[row]) {
      ADD_FAILURE() << name << " is not bound";
      return INT32_MIN;
    }
    Registers regs;
    regs.r[0] = a;
    regs.r[1] = b;
    regs.edi() = 0x00100400;
    bindings.routine[row](sys, regs);
    EXPECT_EQ(regs.edi(), 0x00100400) << name;
    return regs.r[0];
  }
};

TEST_F(JoystickKeywords, AxisMapsTheMaximumOntoLoAndTheMinimumOntoHi) {
  struct Case {
    int32_t v, lo, hi, expect;
  } const cases[] = {
      {1000, 0, 100, 0},       {0, 0, 100, 50},        {-1000, 0, 100, 100},
      {999, 0, 100, 0},        {1, 0, 100, 49},        {-999, 0, 100, 99},  // truncated
      {500, -10, 10, -5},      {1000, 7, 7, 7},        {-1000, 7, 7, 7},
      // lo > hi: q runs from 0 down to hi - lo, and the result is q - hi.
      {1000, 100, 0, 0},       {0, 100, 0, -50},       {-1000, 100, 0, -100},
      {1000, 50, 10, -10},     {-1000, 50, 10, -50},   {999, 0, -3, 3},  // q truncates to 0
      // hi - lo and the product need more than 32 bits.
      {1000, INT32_MIN, INT32_MAX, INT32_MIN},
      {-1000, INT32_MIN, INT32_MAX, INT32_MAX},
      {0, INT32_MIN, INT32_MAX, -1},
      {-1000, -2000000000, 2000000000, 2000000000},
  };
  for (const Case& c : cases) {
    in.joy[0].x = c.v;
    EXPECT_EQ(call("joy1_x", c.lo, c.hi), c.expect) << c.v << " (" << c.lo << ", " << c.hi << ")";
  }
}

TEST_F(JoystickKeywords, EachAxisKeywordReadsItsOwnAxis) {
  // Distinct values on every axis of both sticks; with (0, 2000) a keyword gives 1000 - v.
  int32_t v = -900;
  for (Joystick& j : in.joy)
    for (int32_t* axis : {&j.x, &j.y, &j.z, &j.slider[0], &j.slider[1], &j.rx, &j.ry, &j.rz})
      *axis = (v += 100);

  struct Case {
    const char* name;
    int32_t stick;
    int32_t Joystick::*axis;
  } const mapped[] = {
      {"joy1_x", 0, &Joystick::x}, {"joy1_y", 0, &Joystick::y}, {"joy1_z", 0, &Joystick::z},
      {"joy2_x", 1, &Joystick::x}, {"joy2_y", 1, &Joystick::y}, {"joy2_z", 1, &Joystick::z},
  };
  for (const Case& c : mapped)
    EXPECT_EQ(call(c.name, 0, 2000), 1000 - in.joy[c.stick].*c.axis) << c.name;
  for (int k = 0; k < 2; ++k) {
    const std::string n = "joy" + std::to_string(k + 1);
    EXPECT_EQ(call(n + "_u", 0, 2000), 1000 - in.joy[k].slider[0]) << n;
    EXPECT_EQ(call(n + "_v", 0, 2000), 1000 - in.joy[k].slider[1]) << n;
  }

  const Case raw[] = {
      {"joy1_xr", 0, &Joystick::rx}, {"joy1_yr", 0, &Joystick::ry}, {"joy1_zr", 0, &Joystick::rz},
      {"joy2_xr", 1, &Joystick::rx}, {"joy2_yr", 1, &Joystick::ry}, {"joy2_zr", 1, &Joystick::rz},
  };
  for (const Case& c : raw) EXPECT_EQ(call(c.name), in.joy[c.stick].*c.axis) << c.name;
}

TEST_F(JoystickKeywords, ButtonIAnswersToMaskBitIPlusFour) {
  EXPECT_EQ(call("joy1_b", 16), 0);
  in.joy[0].buttons = 1;  // button 0
  EXPECT_NE(call("joy1_b", 16), 0);
  EXPECT_NE(call("joy_b", 16), 0);
  EXPECT_EQ(call("joy1_b", 1), 0);
  EXPECT_EQ(call("joy2_b", 16), 0);
  in.joy[0].buttons = 0;
  EXPECT_EQ(call("joy1_b", 16), 0);

  struct Case {
    uint32_t buttons;
    int32_t mask, expect;
  } const cases[] = {
      {1u << 3, -1, 1 << 7},
      {1u << 27, -1, INT32_MIN},
      {1u << 28, -1, 1},            // buttons 28..31 wrap round to bits 0..3
      {0xF0000000u, 0xF, 0xF},
      {0xFFFFFFFFu, 0x30, 0x30},
      {0x12345678u, -1, 0x23456781},
  };
  for (const Case& c : cases) {
    in.joy[1].buttons = c.buttons;
    EXPECT_EQ(call("joy2_b", c.mask), c.expect) << std::hex << c.buttons << " & " << c.mask;
  }
}

TEST_F(JoystickKeywords, HatsGiveAngleUnitsOrMinusOneWhenCentred) {
  struct Case {
    int32_t pov, expect;
  } const cases[] = {
      {-1, -1},     {0xFFFF, -1},      {0x7FFFFFFF, -1},  // low 16 bits all set: centred
      {0, 0},       {9000, 46080},     {18000, 92160},     {27000, 138240},
      {35999, 184314},  // 184314.88, truncated
      {1, 5},
  };
  for (const Case& c : cases) {
    in.joy[0].pov[0] = c.pov;
    EXPECT_EQ(call("joy1_dir1"), c.expect) << c.pov;
  }

  // Each keyword reads its own hat of its own stick.
  for (int k = 0; k < 2; ++k)
    for (int h = 0; h < 4; ++h) in.joy[k].pov[h] = 100 * (1 + h + 4 * k);  // 512 per hat
  for (int k = 0; k < 2; ++k)
    for (int h = 0; h < 4; ++h) {
      const std::string name = "joy" + std::to_string(k + 1) + "_dir" + std::to_string(h + 1);
      EXPECT_EQ(call(name), 512 * (1 + h + 4 * k)) << name;
    }
}

TEST_F(JoystickKeywords, MouseKeywordsReadTheKeptPointer) {
  input_sample_mouse(in, 300, 200, 5, 640, 480);
  EXPECT_EQ(call("mouse_x"), 300);
  EXPECT_EQ(call("mouse_y"), 200);
  EXPECT_EQ(call("mouse_click"), 5);
  input_sample_mouse(in, 900, -4, 2, 640, 480);
  EXPECT_EQ(call("mouse_x"), 639);
  EXPECT_EQ(call("mouse_y"), 0);
  EXPECT_EQ(call("mouse_click"), 2);
}

TEST_F(JoystickKeywords, MouseOnAndOffChangeNothing) {
  input_sample_mouse(in, 30, 40, 1, 640, 480);
  in.joy[0].buttons = 3;
  Input before;
  std::memcpy(&before, &in, sizeof in);
  EXPECT_EQ(call("mouse_on", 77), 77);  // an instruction leaves eax as it was
  EXPECT_EQ(call("mouse_off", 78), 78);
  EXPECT_EQ(std::memcmp(&before, &in, sizeof in), 0);
  EXPECT_EQ(run.exit_code, kExitRunning);
}

TEST_F(JoystickKeywords, AnyInputExitSetsTheExitCodeOnInputOrAMovedPointer) {
  call("any_input_exit", 5);
  EXPECT_EQ(run.exit_code, kExitRunning);

  struct Press {
    const char* what;
    void (*press)(Input&);
  } const presses[] = {
      {"key", [](Input& i) { input_key_down(i, kScanSpace, false); }},
      {"mouse button", [](Input& i) { i.mouse_buttons = 4; }},
      {"joystick 2 button", [](Input& i) { i.joy[1] = Joystick{.present = true, .buttons = 1u << 9}; }},
  };
  for (const Press& p : presses) {
    in = Input{};
    run.exit_code = kExitRunning;
    p.press(in);
    call("any_input_exit", 12);
    EXPECT_EQ(run.exit_code, 12) << p.what;
  }

  // Moving a stick is not a press.
  in = Input{};
  run.exit_code = kExitRunning;
  in.joy[0] = Joystick{.present = true, .x = 1000};
  call("any_input_exit", 12);
  EXPECT_EQ(run.exit_code, kExitRunning);

  // The pointer moved from where the run's first frame saw it.
  in = Input{};
  in.mouse_ref_set = true;
  in.mouse_ref_x = in.mouse_x = 100;
  in.mouse_ref_y = in.mouse_y = 50;
  call("any_input_exit", 7);
  EXPECT_EQ(run.exit_code, kExitRunning);
  in.mouse_y = 51;
  call("any_input_exit", 7);
  EXPECT_EQ(run.exit_code, 7);
}

TEST_F(JoystickKeywords, WithoutAnInputStateNoJoystickIsAttached) {
  in.joy[0] = Joystick{.present = true, .x = 1000, .pov = {9000, 9000, 9000, 9000}, .buttons = ~0u};
  input_sample_mouse(in, 10, 20, 7, 640, 480);
  sys.input = nullptr;
  run.hooks.any_input = nullptr;

  EXPECT_EQ(call("joy1_x", 0, 100), 50);
  EXPECT_EQ(call("joy2_v", -10, 10), 0);
  EXPECT_EQ(call("joy1_zr"), 0);
  EXPECT_EQ(call("joy1_b", -1), 0);
  EXPECT_EQ(call("joy_b", -1), 0);
  EXPECT_EQ(call("joy1_dir1"), -1);
  EXPECT_EQ(call("joy2_dir4"), -1);
  EXPECT_EQ(call("mouse_x"), 0);
  EXPECT_EQ(call("mouse_y"), 0);
  EXPECT_EQ(call("mouse_click"), 0);
  call("any_input_exit", 3);
  EXPECT_EQ(run.exit_code, kExitRunning);

  // Nothing wired at all.
  System bare;
  EXPECT_EQ(joy2_y(bare, 0, 100), 50);
  EXPECT_EQ(joy2_dir2(bare), -1);
  EXPECT_EQ(mouse_click(bare), 0);
  any_input_exit(bare, 3);
  mouse_on(bare);
  mouse_off(bare);
}

}  // namespace
}  // namespace korva
