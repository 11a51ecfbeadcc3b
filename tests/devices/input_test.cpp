// Key queue, typed text, live keys, modifiers, mouse, joystick scaling and scripted input.
#include <gtest/gtest.h>

#include "core/core.h"
#include "devices/input.h"
#include "devices/input_script.h"

namespace korva {
namespace {

class InputTest : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Input in;
  std::string next() { return std::string(next_key(*core, in).view()); }
};

TEST_F(InputTest, FifteenKeysReadInOrderSixteenWrapToEmpty) {
  for (int i = 0; i < 15; ++i) input_character(in, 'a' + i, 30);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(next(), std::string(1, char('a' + i)));
  EXPECT_EQ(next(), "");
  EXPECT_EQ(in.last_key, 0);

  for (int i = 0; i < 16; ++i) input_character(in, 'a' + i, 30);
  EXPECT_EQ(next(), "");  // the write index came round onto the read index
}

TEST_F(InputTest, CharactersAndScanCodes) {
  input_key_down(in, 2, true);  // Shift+1: the character message carries the key
  input_character(in, '!', 2);
  input_character(in, '1', 79);  // keypad 1 gets the main-row code
  input_key_down(in, kScanUp, false);
  EXPECT_EQ(next(), "!");
  EXPECT_EQ(in.last_key, 2);
  EXPECT_EQ(next(), "1");
  EXPECT_EQ(in.last_key, 2);
  EXPECT_EQ(next(), "");
  EXPECT_EQ(in.last_key, 72);
  input_character(in, '0', 82);
  next();
  EXPECT_EQ(in.last_key, 11);
}

TEST_F(InputTest, TypedTextKeepsPrintableCharactersAndHonoursBackspace) {
  for (char ch : std::string("ab\tc")) input_character(in, ch, 0);
  input_character(in, 8, 14);
  input_character(in, 8, 14);
  EXPECT_STREQ(in.text, "a");  // the tab was not kept, two backspaces removed c and b
  for (int i = 0; i < 9000; ++i) input_character(in, 'x', 45);
  EXPECT_EQ(in.text_len, 8191);
  EXPECT_EQ(in.text[8191], 0);
}

TEST_F(InputTest, LiveKeysNamesAndModifiers) {
  input_key_down(in, 1, false);
  EXPECT_EQ(key_down(in, "esc"), -1);
  EXPECT_EQ(key_down(in, 1), -1);
  EXPECT_EQ(key_down(in, "nonsense"), 0);
  EXPECT_EQ(key_down(in, 999), 0);
  EXPECT_EQ(first_key_down(in), 1);
  input_key_up(in, 1);
  EXPECT_EQ(key_down(in, "ESC"), 0);

  input_key_down(in, kScanLeftShift, false);
  input_key_down(in, kScanAlt, false);
  EXPECT_EQ(read_modifiers(in), 11);
  EXPECT_EQ(sample_any_key(in), 0);  // Shift, Ctrl and Alt are not "any key"
  input_key_down(in, 30, false);
  EXPECT_EQ(sample_any_key(in), 30);

  EXPECT_EQ(key_name_code("pagedown"), 81);
  EXPECT_EQ(key_name_code("\\"), 43);
}

TEST_F(InputTest, MouseWheelAndJoystickAxes) {
  input_sample_mouse(in, 900, -5, 0xFF, 640, 480);
  EXPECT_EQ(in.mouse_x, 639);
  EXPECT_EQ(in.mouse_y, 0);
  EXPECT_EQ(in.mouse_buttons, 7);
  input_wheel(in, 120);
  EXPECT_EQ(wheel_read(in), -120);
  EXPECT_EQ(wheel_read(in), 0);

  EXPECT_EQ(joystick_axis_value(32767, true), 1000);
  EXPECT_EQ(joystick_axis_value(-32768, true), -1000);
  EXPECT_EQ(joystick_axis_value(4000, true), 0);  // inside the 15 % dead zone
  EXPECT_EQ(joystick_axis_value(4000, false), 122);
}

TEST_F(InputTest, ScriptedInputGoesThroughTheSameHandlers) {
  std::vector<std::string> errors;
  auto s = parse_input_script(
      "# a comment\r\n"
      "5 key ESC\n"
      "2 text Hi 1\n"
      "3 mouse 700 20 1\n"
      "4 joy 2 axis x -500\n"
      "4 joy 1 button 3 down\n"
      "oops\n"
      "6 fly away\n"
      "7 key 999\n"
      "9223372036854775807 key ESC\n",
      errors);
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(errors[0].rfind("line 7:", 0), 0u);
  EXPECT_EQ(errors[1].rfind("line 8:", 0), 0u);
  EXPECT_EQ(errors[2].rfind("line 9:", 0), 0u);
  EXPECT_EQ(errors[3].rfind("line 10:", 0), 0u);  // a time whose key-up would not fit

  feed_input_script(s, in, 4, 640, 480);
  EXPECT_EQ(next(), "H");
  EXPECT_EQ(in.last_key, 35);
  EXPECT_EQ(next(), "i");
  EXPECT_EQ(next(), " ");
  EXPECT_EQ(next(), "1");
  EXPECT_EQ(in.last_key, 2);
  EXPECT_EQ(in.mouse_x, 639);
  EXPECT_EQ(in.mouse_buttons, 1);
  EXPECT_EQ(in.joy[1].x, -500);
  EXPECT_EQ(in.joy[0].buttons, 8u);
  EXPECT_FALSE(input_script_done(s));

  feed_input_script(s, in, 5, 640, 480);
  EXPECT_EQ(key_down(in, 1), -1);
  EXPECT_EQ(next(), "");
  EXPECT_EQ(in.last_key, 1);
  feed_input_script(s, in, 6, 640, 480);
  EXPECT_EQ(key_down(in, 1), 0);
  EXPECT_TRUE(input_script_done(s));
}

TEST_F(InputTest, ScriptedTextLongerThanTheQueueWaitsForIt) {
  std::vector<std::string> errors;
  auto s = parse_input_script("1 text abcdefghijklmnopqrstuvwxyz\n1 mouse 5 6\n2 key ESC\n", errors);
  ASSERT_TRUE(errors.empty());
  feed_input_script(s, in, 2, 640, 480);
  std::string typed;
  for (std::string k = next(); !k.empty(); k = next()) typed += k;
  EXPECT_EQ(typed, "abcdefghijklmno") << "fifteen fit; the rest waits";
  EXPECT_EQ(in.mouse_x, 0) << "later events wait too, in order";
  feed_input_script(s, in, 2, 640, 480);
  for (std::string k = next(); !k.empty(); k = next()) typed += k;
  EXPECT_EQ(typed, "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(in.mouse_x, 5);
  EXPECT_EQ(in.last_key, 1) << "Escape came after the text";
}

TEST_F(InputTest, ScriptedMouseArrivesLikeASampledOne) {
  struct Case {
    int32_t x, y, buttons, width, height, expect_x, expect_y;
  } const cases[] = {
      {100, 200, 1, 640, 480, 100, 200},   {700, 20, 2, 640, 480, 639, 20},
      {-40, 900, 4, 640, 480, 0, 479},     {100000, 100000, 7, 800, 600, 799, 599},
      {-100000, 5, 0, 1024, 768, 0, 5},
  };
  for (const Case& c : cases) {
    const std::string line = "0 mouse " + std::to_string(c.x) + " " + std::to_string(c.y) + " " +
                             std::to_string(c.buttons);
    std::vector<std::string> errors;
    InputScript s = parse_input_script(line, errors);
    ASSERT_TRUE(errors.empty()) << line;
    Input scripted, sampled;
    feed_input_script(s, scripted, 0, c.width, c.height);
    input_sample_mouse(sampled, c.x, c.y, c.buttons, c.width, c.height);
    EXPECT_EQ(scripted.mouse_x, c.expect_x) << line;
    EXPECT_EQ(scripted.mouse_y, c.expect_y) << line;
    EXPECT_EQ(scripted.mouse_buttons, c.buttons) << line;
    EXPECT_EQ(scripted.mouse_x, sampled.mouse_x) << line;
    EXPECT_EQ(scripted.mouse_y, sampled.mouse_y) << line;
    EXPECT_EQ(scripted.mouse_buttons, sampled.mouse_buttons) << line;
  }
}

}  // namespace
}  // namespace korva
