// The brains' input keywords over a system with an input state, a headless screen, brain
// literals and memory blocks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "brain_literal.h"
#include "brain/brain.h"
#include "brain/keyword_binding.h"
#include "core/core.h"
#include "core/system.h"
#include "devices/devices.h"
#include "platform/platform.h"
#include "runtime/memory_blocks.h"

namespace korva {
namespace {

class InputKeywords : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<BrainState> brain = brain_create();
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  platform::Screen screen;
  Input in;
  System sys;

  InputKeywords() {
    platform::ScreenOptions options;
    options.headless = true;
    EXPECT_TRUE(platform::screen_open(screen, options));  // 640 x 480
    core->frame.screen = &screen;
    sys.core = core.get();
    sys.brain = brain.get();
    sys.blocks = blocks.get();
    sys.input = &in;
  }
  ~InputKeywords() override { platform::screen_close(screen); }

  // A string literal of the compiled brains, as a brain passes it.
  int32_t literal(const std::string& text) { return put_literal(*brain, text); }

  // Runs a keyword through its binding, as the machine calls it.
  int32_t call(const char* name, int32_t a = 0, int32_t b = 0) {
    KeywordBindings bindings;
    bind_input_keywords(bindings);
    const int32_t row = keyword_find(name);
    EXPECT_GE(row, 0) << name;
    if (row < 0 || !bindings.routine[row]) {
      ADD_FAILURE() << name << " is not bound";
      return INT32_MIN;
    }
    Registers regs;
    regs.r[0] = a;
    regs.r[1] = b;
    bindings.routine[row](sys, regs);
    return regs.r[0];
  }
};

TEST_F(InputKeywords, KeyboardTakesAScanCodeOrAKeyName) {
  input_key_down(in, kScanEscape, false);
  input_key_down(in, 30, false);  // A
  // Blocks take the low handles; handle 1, even holding the text "S", is still the scan code
  // of Escape.
  for (int k = 0; k < 3; ++k) ASSERT_EQ(str_create(sys, 4), k);
  a_byte_set(sys, 1, 0, 'S');

  struct Case {
    std::string name;  // a key name passed as a literal; empty: pass `code`
    int32_t code;
    int32_t expect;
  } const cases[] = {
      {"", 1, -1},          {"", 30, -1},       {"", 31, 0},           {"", 0, 0},
      {"", 999, 0},         {"", -1, 0},        {"", INT32_MIN, 0},    {"esc", 0, -1},
      {"ESC", 0, -1},       {"a", 0, -1},       {"A", 0, -1},          {"S", 0, 0},
      {"nonsense", 0, 0},
  };
  for (const Case& c : cases) {
    const int32_t arg = c.name.empty() ? c.code : literal(c.name);
    EXPECT_EQ(keyboard(sys, arg), c.expect) << "'" << c.name << "' " << c.code;
    EXPECT_EQ(call("keyboard", arg), c.expect) << "'" << c.name << "' " << c.code;
  }

  input_key_up(in, kScanEscape);
  EXPECT_EQ(call("keyboard", literal("Esc")), 0);
  EXPECT_EQ(call("keyboard", 1), 0);
}

TEST_F(InputKeywords, ScancodeIsTheLowestKeyDown) {
  EXPECT_EQ(call("scancode"), 0);
  input_key_down(in, kScanSpace, false);
  input_key_down(in, 30, false);
  input_key_down(in, 200, false);
  EXPECT_EQ(call("scancode"), 30);
  input_key_up(in, 30);
  EXPECT_EQ(call("scancode"), kScanSpace);
  input_key_up(in, kScanSpace);
  EXPECT_EQ(scancode(sys), 200);
}

TEST_F(InputKeywords, MouseWheelReturnsTheKeptValueOnce) {
  input_wheel(in, 120);  // one notch away from the user
  EXPECT_EQ(call("mouse_wheel"), -120);
  EXPECT_EQ(call("mouse_wheel"), 0);
  input_wheel(in, -240);
  EXPECT_EQ(mouse_wheel(sys), 240);
  EXPECT_EQ(in.wheel, 0);
}

TEST_F(InputKeywords, MouseSetMovesTheCursorClampedToTheScreen) {
  in.mouse_buttons = 5;
  struct Case {
    int32_t x, y, expect_x, expect_y;
  } const cases[] = {
      {100, 50, 100, 50},   {639, 479, 639, 479},     {640, 480, 639, 479},
      {900, -5, 639, 0},    {-20, 1000, 0, 479},      {INT32_MIN, INT32_MAX, 0, 479},
  };
  for (const Case& c : cases) {
    call("mouse_set", c.x, c.y);
    EXPECT_EQ(in.mouse_x, c.expect_x) << c.x << "," << c.y;
    EXPECT_EQ(in.mouse_y, c.expect_y) << c.x << "," << c.y;
    // The screen's cursor went there too, so the next pump samples the same position.
    EXPECT_EQ(screen.mouse_x, c.expect_x) << c.x << "," << c.y;
    EXPECT_EQ(screen.mouse_y, c.expect_y) << c.x << "," << c.y;
    EXPECT_EQ(in.mouse_buttons, 5);
  }

  // Without a screen the position is clamped to the display mode.
  core->frame.screen = nullptr;
  core->settings.display_mode = kMode800x32;
  mouse_set(sys, 2000, 2000);
  EXPECT_EQ(in.mouse_x, 799);
  EXPECT_EQ(in.mouse_y, 599);
}

TEST_F(InputKeywords, WithoutAnInputStateEveryKeywordDoesNothing) {
  input_key_down(in, kScanEscape, false);
  input_wheel(in, 120);
  sys.input = nullptr;
  EXPECT_EQ(call("keyboard", 1), 0);
  EXPECT_EQ(call("keyboard", literal("ESC")), 0);
  EXPECT_EQ(call("scancode"), 0);
  EXPECT_EQ(call("mouse_wheel"), 0);
  call("mouse_set", 10, 20);
  EXPECT_EQ(screen.mouse_x, 0);
  EXPECT_EQ(in.wheel, -120);

  // An input state alone: no core, screen, brains or blocks.
  System lone;
  lone.input = &in;
  EXPECT_EQ(keyboard(lone, 1), -1);
  EXPECT_EQ(keyboard(lone, static_cast<int32_t>(guest::kLiteralPoolBase)), 0);
  mouse_set(lone, 2000, -3);  // clamped to the first display mode, 640 x 480
  EXPECT_EQ(in.mouse_x, 639);
  EXPECT_EQ(in.mouse_y, 0);
}

}  // namespace
}  // namespace korva
