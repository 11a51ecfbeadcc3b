// Windows, the button table and its hit test, and the one-line field.
#include "gui_fixture.h"

namespace korva::test {
namespace {

TEST(GuiWidgets, WindowRoundsToFourAndRecordsCloseAndMinimiseBoxes) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_clear(g);
  gui_window(g, 101, 50, 403, 302, true);
  // Rounded to 100, 48 .. 400, 300, the right and bottom then reduced by 4: the window covers
  // 100..399 x 48..299.
  EXPECT_NE(gui_get_pixel(g, 100, 48), 0);
  EXPECT_NE(gui_get_pixel(g, 399, 299), 0);
  EXPECT_EQ(gui_get_pixel(g, 400, 200), 0);
  EXPECT_EQ(gui_get_pixel(g, 200, 300), 0);
  EXPECT_EQ(gui_get_pixel(g, 200, 60), gui_skin_colour(g, skin::kTitleFillX, skin::kTitleFillY));
  EXPECT_EQ(gui_get_pixel(g, 200, 200), gui_skin_colour(g, skin::kWindowFillX));
  EXPECT_EQ(g.close_box.x1, 396 - 18);
  EXPECT_EQ(g.close_box.y1, 48 + 6);
  EXPECT_EQ(g.close_box.x2 - g.close_box.x1, 15);
  EXPECT_EQ(g.close_box.y2 - g.close_box.y1, 15);
  EXPECT_TRUE(g.close_box_active);
  gui_window(g, 0, 0, 200, 100, false);
  EXPECT_FALSE(g.close_box_active);
}

TEST(GuiWidgets, ButtonsTakeTheFirstFreeSlotWithTheInsetBit) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_reset_buttons(g);
  EXPECT_EQ(g.button_count, -1);
  EXPECT_EQ(gui_add_button(g, 10, 10, 50, 30, ButtonStyle::Raised), 0);
  EXPECT_EQ(gui_add_button(g, 60, 10, 100, 30, ButtonStyle::Inset), 1);
  EXPECT_EQ(g.button_count, 1);
  EXPECT_EQ(static_cast<uint16_t>(g.buttons[1].x1), 0x8000 | 60);
  EXPECT_TRUE(g.buttons[1].inset());
  EXPECT_FALSE(g.buttons[0].inset());
  EXPECT_EQ(gui_get_pixel(g, 30, 20), gui_skin_colour(g, skin::kRaisedFillX));
  for (int32_t i = 2; i < kGuiButtonSlots; ++i) gui_add_button(g, 0, 400, 8, 408, ButtonStyle::Raised);
  EXPECT_EQ(gui_add_button(g, 0, 400, 8, 408, ButtonStyle::Raised), -1);  // table full
  gui_reset_buttons(g);
  for (const GuiButton& b : g.buttons) {
    EXPECT_EQ(b.x1, -1);
    EXPECT_EQ(b.y2, -1);
  }
}

TEST(GuiWidgets, HitTestPrefersTheCloseBoxThenTheFirstSlot) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_window(g, 100, 100, 400, 300, true);  // close box 378..393 x 106..121
  gui_reset_buttons(g);
  gui_add_button(g, 300, 100, 399, 130, ButtonStyle::Raised);  // under the close box
  gui_add_button(g, 150, 150, 250, 200, ButtonStyle::Raised);
  gui_add_button(g, 200, 180, 300, 220, ButtonStyle::Inset);  // overlaps slot 1
  struct Case {
    int32_t x, y, hit;
  } cases[] = {
      {380, 110, kGuiCloseBoxHit}, {378, 106, kGuiCloseBoxHit}, {393, 121, kGuiCloseBoxHit},
      {394, 110, 0},               {320, 110, 0},               {210, 190, 1},
      {250, 200, 1},               {260, 210, 2},               {120, 250, -1},
  };
  for (const Case& k : cases) {
    f.mouse(k.x, k.y);
    EXPECT_EQ(gui_button_at_mouse(g), k.hit) << k.x << "," << k.y;
  }
  // An inactive close box is no target; the button below it is.
  gui_window(g, 100, 100, 400, 300, false);
  f.mouse(380, 110);
  EXPECT_EQ(gui_button_at_mouse(g), 0);
}

TEST(GuiWidgets, MinimiseBoxMinimisesOnALeftClickInEveryWindow) {
  GuiFixture f;
  Gui& g = f.gui;
  int32_t minimised = 0;
  g.io.minimise = [&] { ++minimised; };
  gui_window(g, 100, 100, 400, 300, false);
  gui_reset_buttons(g);
  gui_add_button(g, 300, 100, 399, 130, ButtonStyle::Raised);
  f.mouse(365, 110);  // minimise box 360..375
  EXPECT_EQ(gui_button_at_mouse(g), 0);  // no click: the button below
  f.mouse(365, 110, 1);
  EXPECT_EQ(gui_button_at_mouse(g), -1);
  EXPECT_EQ(minimised, 1);
}

TEST(GuiWidgets, LabelsAndFieldTextCentreOrIndent) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_clear(g);
  gui_reset_buttons(g);
  const int32_t raised = gui_add_button(g, 100, 100, 300, 130, ButtonStyle::Raised);
  const int32_t inset = gui_add_button(g, 100, 200, 300, 230, ButtonStyle::Inset);
  std::vector<uint8_t> before(g.pixels, g.pixels + kGuiPixels);
  gui_label_button(g, "", raised);
  gui_label_button(g, "Hello", 7);  // a free slot
  EXPECT_TRUE(std::equal(before.begin(), before.end(), g.pixels));
  // Ink columns of a row band of the screen.
  auto ink = [&](int32_t y1, int32_t y2, int32_t fill, int32_t& first, int32_t& last) {
    first = 640;
    last = -1;
    for (int32_t y = y1; y <= y2; ++y)
      for (int32_t x = 104; x < 296; ++x)
        if (gui_get_pixel(g, x, y) != fill) first = std::min(first, x), last = std::max(last, x);
  };
  gui_field_text(g, "Wide", raised);
  int32_t first = 0, last = 0;
  ink(104, 125, kGuiFieldFill, first, last);
  EXPECT_NEAR((first + last) / 2, 200, 3);
  gui_field_text(g, "Wide", inset);
  ink(204, 225, kGuiFieldFill, first, last);
  EXPECT_GE(first, 104);
  EXPECT_LE(first, 108);
}

// One step of a one-line field for a key; returns the text with its caret.
struct Field {
  GuiFixture& f;
  int32_t slot;
  std::string step(const std::string& text, int32_t scan, char ch = 0) {
    const std::string key = f.key(scan, ch);
    return gui_edit_field(f.gui, text, key, slot);
  }
};

TEST(GuiWidgets, EditFieldKeys) {
  GuiFixture f;
  gui_reset_buttons(f.gui);
  Field field{f, gui_add_button(f.gui, 100, 100, 400, 128, ButtonStyle::Inset)};
  struct Case {
    const char* before;
    int32_t scan;
    char ch;
    const char* after;
  } cases[] = {
      {"ab|cd", 30, 'x', "abx|cd"},       {"ab|cd", 14, 8, "a|cd"},
      {"|cd", 14, 8, "|cd"},              {"ab|cd", 83, 0, "ab|d"},
      {"ab|", 83, 0, "ab|"},              {"ab|cd", 83, '.', "ab.|cd"},  // keypad full stop
      {"ab|cd", 52, '.', "ab.|cd"},       {"ab|cd", 43, '|', "ab|cd"},   // "|" does nothing
      {"ab|cd", 71, 0, "|abcd"},          {"ab|cd", 79, 0, "abcd|"},
      {"ab|cd", 75, 0, "a|bcd"},          {"ab|cd", 77, 0, "abc|d"},
      {"|cd", 75, 0, "|cd"},              {"ab|", 77, 0, "ab|"},
      {"ab|cd", 59, 0, "ab|cd"},          {"ab|cd", 28, 13, "ab|cd"},    // F1, Enter
      {"ab|cd", 1, 27, "ab|cd"},          {"ab|cd", 72, 0, "ab|cd"},     // Escape, Up
      {"ab|cd", 15, 9, "ab|cd"},          {"ab|cd", 57, ' ', "ab |cd"},  // Tab, Space
      {"abcd", 30, 'x', "abcdx|"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(field.step(k.before, k.scan, k.ch), k.after) << k.before << " scan " << k.scan;
}

TEST(GuiWidgets, EditFieldIgnoresModifiersRaisedSlotsAndFullFields) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_reset_buttons(g);
  const int32_t inset = gui_add_button(g, 100, 100, 160, 128, ButtonStyle::Inset);
  const int32_t raised = gui_add_button(g, 100, 200, 400, 228, ButtonStyle::Raised);
  Field field{f, inset};
  f.input.key_down[kScanCtrl] = true;
  EXPECT_EQ(field.step("ab|cd", 30, 'x'), "ab|cd");
  f.input.key_down[kScanCtrl] = false;
  f.input.key_down[kScanAlt] = true;
  EXPECT_EQ(field.step("ab|cd", 14, 8), "ab|cd");
  f.input.key_down[kScanAlt] = false;
  EXPECT_EQ((Field{f, raised}.step("ab|cd", 30, 'x')), "ab|cd");
  // A 60-pixel field takes characters only while they fit.
  std::string text = "|";
  for (int32_t i = 0; i < 30; ++i) text = field.step(text, 17, 'W');
  const std::string typed = text.substr(0, text.size() - 1);
  EXPECT_GT(typed.size(), 0u);
  EXPECT_LT(gui_text_width(g, typed), 60);
  EXPECT_LT(typed.size(), 30u);
}

TEST(GuiWidgets, EditFieldClickMovesTheCaretAndDrawsIt) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_clear(g);
  gui_reset_buttons(g);
  const int32_t slot = gui_add_button(g, 100, 100, 400, 128, ButtonStyle::Inset);
  const int32_t text_x = 104;
  const int32_t boundary = text_x + gui_text_width(g, "abc");
  f.mouse(boundary + 1, 110, 1);
  f.input.last_key = 0;
  EXPECT_EQ(gui_edit_field(g, "abcdef|", "", slot), "abc|def");
  // The caret: a vertical line after the left part in the caret colour.
  EXPECT_EQ(gui_get_pixel(g, boundary, 112), gui_skin_colour(g, skin::kLabelX));
  f.mouse(20, 110, 1);  // outside the field: the caret stays
  EXPECT_EQ(gui_edit_field(g, "ab|cdef", "", slot), "ab|cdef");
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

TEST(GuiSetup, StartLoadsSkinAndFontFromTheDataFolder) {
  GuiFixture f;
  Gui g;
  str_set(*f.core->data_folder, f.dir.string() + "/");
  EXPECT_TRUE(gui_start(g, *f.core, &f.input, &f.screen));  // panels.pcx written by the fixture
  EXPECT_EQ(g.skin_height, mkdata::kSkinHeight);  // the frames, title strip, cursor and editor icons
  EXPECT_GT(g.font.count, 0);
  EXPECT_TRUE(static_cast<bool>(f.core->ui.message_box));
  EXPECT_TRUE(static_cast<bool>(f.core->ui.input_box));
  // The palette of the skin is the palette of the screen.
  EXPECT_EQ(g.palette[3 * 255], 255);

  Gui missing;
  str_set(*f.core->data_folder, (f.dir / "nowhere").string() + "/");
  EXPECT_FALSE(gui_start(missing, *f.core, &f.input, &f.screen));
  EXPECT_EQ(missing.skin_height, 0);
  EXPECT_EQ(gui_skin_colour(missing, skin::kWindowFillX), 0);
  gui_window(missing, 10, 10, 200, 100, true);  // still safe to draw
}

}  // namespace
}  // namespace korva::test
