// The word wrap, the message box and the input box, driven by scripted input.
#include "gui_fixture.h"

namespace korva::test {
namespace {

std::vector<std::string> lines_of(const std::string& wrapped) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t bar = wrapped.find('|', start);
    lines.push_back(wrapped.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return lines;
    start = bar + 1;
  }
}

TEST(GuiWrap, LinesStayWithin560PixelsUnlessOneWordIsWider) {
  GuiFixture f;
  const Gui& g = f.gui;
  const std::string wide(120, 'W');  // far wider than 560 pixels
  ASSERT_GT(gui_text_width(g, wide), kGuiWrapWidth);
  EXPECT_EQ(lines_of(gui_wrap_text(g, wide)).size(), 1u);
  EXPECT_EQ(gui_wrap_text(g, "short text"), "short text ");
  // A wide word after others moves to its own line, once.
  const std::vector<std::string> two = lines_of(gui_wrap_text(g, "a b " + wide));
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0], "a b ");
  EXPECT_EQ(two[1], wide + " ");
  // Explicit breaks always break; long texts break near 560 pixels.
  EXPECT_EQ(lines_of(gui_wrap_text(g, "one|two three")).size(), 2u);
  std::string long_text;
  for (int32_t i = 0; i < 60; ++i) long_text += "word" + std::to_string(i) + " ";
  const std::vector<std::string> lines = lines_of(gui_wrap_text(g, long_text));
  EXPECT_GT(lines.size(), 2u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    EXPECT_LE(gui_text_width(g, line.substr(0, line.size() - 1)), kGuiWrapWidth) << line;
    if (i + 1 < lines.size()) {
      EXPECT_GT(gui_text_width(g, line), kGuiWrapWidth - 100) << line;
    }
  }
}

TEST(GuiMessageBox, EnterAnswersLeftAndDeleteRightWhateverTheLabels) {
  struct Case {
    const char* script;
    const char* left;
    const char* right;
    int32_t answer;
  } cases[] = {
      {"4 key RETURN\n", " NO! ", " YES ", 1},
      {"4 key DELETE\n", " NO! ", " YES ", 2},
      {"4 key DELETE\n", " OK ", "", 2},
      {"3 key A a\n4 key ESC\n9 key DELETE\n", " YES ", " NO! ", 2},  // other keys wait
      {"", " YES ", " NO! ", 1},  // no input can come: answered as Enter would
  };
  for (const Case& k : cases) {
    GuiFixture f;
    f.script_input(k.script);
    EXPECT_EQ(gui_message_box(f.gui, "Erase it?", k.left, k.right), k.answer) << k.script;
    EXPECT_EQ(f.input.read, f.input.write);  // keys flushed
  }
}

TEST(GuiMessageBox, ClicksOnTheButtonsAndTheGeometry) {
  GuiFixture f;
  Gui& g = f.gui;
  // One line, labels " CONTINUE " and " ABORT ": with the font's widths the slots follow the
  // stated geometry.
  const int32_t fh = gui_font_height(g);
  const int32_t w = gui_text_width(g, "Go on?");
  const int32_t L = (gui_text_width(g, " CONTINUE ") & ~3) + 4, R = gui_text_width(g, " ABORT ") & ~3;
  int32_t W = (w & ~3) + 4;
  while (W <= L + R + 68) W += 4;
  const int32_t bw = W + 32, p = fh + 6, bh = p * 5;
  const int32_t left = (640 - bw) / 4 * 2, top = (480 - bh) / 4 * 2;
  const int32_t cx = left + W - R + 4, cy = top + p * 3 + 2;  // inside the right button
  f.script_input("3 mouse " + std::to_string(cx) + " " + std::to_string(cy) + "\n5 click " +
                 std::to_string(cx) + " " + std::to_string(cy) + "\n");
  EXPECT_EQ(gui_message_box(g, "Go on?", " CONTINUE ", " ABORT "), 2);
  EXPECT_EQ(g.buttons[0].left(), left + 12);
  EXPECT_EQ(g.buttons[0].x2, left + L + 24);
  EXPECT_EQ(g.buttons[1].left(), left + W - R);
  EXPECT_EQ(g.buttons[1].x2, left + W + 16);
  EXPECT_EQ(g.buttons[1].y1, top + p * 3);
  EXPECT_EQ(g.buttons[1].y2, top + p * 4);
  EXPECT_EQ(gui_mouse_buttons(g), 0);  // the box waited for the release
  // The screen is cleared when the box closes.
  for (int32_t i = 0; i < kGuiPixels; ++i) ASSERT_EQ(g.pixels[i], 0);

  GuiFixture f2;
  f2.script_input("5 click " + std::to_string(left + 20) + " " + std::to_string(cy) + "\n");
  EXPECT_EQ(gui_message_box(f2.gui, "Go on?", " CONTINUE ", " ABORT "), 1);
}

TEST(GuiMessageBox, AWordWiderThanTheScreenKeepsTheButtonsOnIt) {
  GuiFixture f;
  f.script_input("4 key RETURN\n");
  EXPECT_EQ(gui_message_box(f.gui, std::string(200, 'W'), " YES ", " NO! "), 1);
  for (int32_t slot = 0; slot < 2; ++slot) {
    EXPECT_GE(f.gui.buttons[slot].left(), 0);
    EXPECT_LT(f.gui.buttons[slot].x2, kGuiWidth);
  }
}

TEST(GuiMessageBox, NoticeStaysUntilAClear) {
  GuiFixture f;
  Gui& g = f.gui;
  f.script_input("100 key RETURN\n");  // pending input is not consumed by a notice
  const int32_t presents = f.screen.presents;
  EXPECT_EQ(gui_message_box(g, "Compiling brains, please wait...", "", ""), 0);
  EXPECT_EQ(f.core->pump_counter, 0u);  // returned at once
  EXPECT_GT(f.screen.presents, presents);  // shown at once
  EXPECT_TRUE(g.cursor_hidden);
  int32_t drawn = 0;
  for (int32_t i = 0; i < kGuiPixels; ++i) drawn += g.pixels[i] != 0;
  EXPECT_GT(drawn, 10000);
  EXPECT_EQ(gui_message_box(g, "", "", ""), 0);
  EXPECT_FALSE(g.cursor_hidden);
  for (int32_t i = 0; i < kGuiPixels; ++i) ASSERT_EQ(g.pixels[i], 0);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 320, 240), 0u);
}

TEST(GuiInputBox, TypingAndCaretKeys) {
  struct Case {
    const char* initial;
    const char* script;
    const char* result;
  } cases[] = {
      {"", "3 text my car\n20 key RETURN\n", "my car"},
      {"speed", "3 key BACKSPACE\n5 key HOME\n6 text x\n7 key DELETE\n9 key END\n10 text !\n20 key RETURN\n",
       "xpee!"},
      {"abc", "3 key LEFT\n4 key LEFT\n5 text Z\n6 key RIGHT\n7 key DELETE\n20 key ESC\n", "aZb"},
      {"3", "3 key DELETE .\n4 text 5\n20 key RETURN\n", "3.5"},  // keypad full stop
      {"keep", "", "keep"},  // no input can come: the text as it is
  };
  for (const Case& k : cases) {
    GuiFixture f;
    f.script_input(k.script);
    EXPECT_EQ(gui_input_box(f.gui, 200, k.initial, "Name of the element"), k.result) << k.script;
    EXPECT_EQ(f.input.text_len, 0);  // typed text flushed
  }
}

TEST(GuiInputBox, CloseBoxAndRightButtonEndWithTheTextAsEdited) {
  GuiFixture f;
  Gui& g = f.gui;
  // Geometry for min_width 300 and one prompt line: the window's close box.
  const int32_t h = gui_font_height(g) / 2;
  const int32_t x0 = (640 - 300) / 2, y0 = (480 - 8 * h) / 2;
  const int32_t wx2 = ((x0 + 300) & ~3) - 4, wy1 = (y0 - 2 * h - 16) & ~3;
  const int32_t bx = wx2 - 18 + 8, by = wy1 + 6 + 8;
  f.script_input("3 text abc\n8 click " + std::to_string(bx) + " " + std::to_string(by) +
                 "\n30 key RETURN\n");
  EXPECT_EQ(gui_input_box(g, 300, "x", "Repetitions"), "xabc");
  EXPECT_LT(f.core->pump_counter, 30u);

  GuiFixture f2;
  f2.script_input("3 text 42\n8 mouse 10 10 2\n9 mouse 10 10 0\n30 key RETURN\n");
  EXPECT_EQ(gui_input_box(f2.gui, 300, "", "Number?"), "42");
  EXPECT_LT(f2.core->pump_counter, 30u);
}

TEST(GuiInputBox, ClickInTheFieldMovesTheCaretAndLongTextStops) {
  GuiFixture f;
  Gui& g = f.gui;
  const int32_t h = gui_font_height(g) / 2;
  const int32_t x0 = (640 - 200) / 2, y0 = (480 - 8 * h) / 2;
  const int32_t x = x0 + 16 + gui_text_width(g, "ab") + 1, y = y0 + 6 * h;
  // One character per pump: the key queue holds 16 entries.
  std::string script = "3 click " + std::to_string(x) + " " + std::to_string(y) + "\n6 text X\n";
  for (int32_t i = 0; i < 80; ++i) script += std::to_string(8 + i) + " text m\n";
  f.script_input(script + "200 key RETURN\n");
  const std::string result = gui_input_box(g, 200, "abcd", "Prompt");
  ASSERT_GE(result.size(), 5u);
  EXPECT_EQ(result.substr(0, 5), "abXmm");
  EXPECT_EQ(result.substr(result.size() - 2), "cd");
  // Characters stop once the text reaches the box width less a character and 32 pixels.
  EXPECT_LT(result.size(), 84u);
  EXPECT_GE(gui_text_width(g, result), 200 - gui_text_width(g, "Mm0wW") / 5 - 32);
}

TEST(GuiHooks, CoreMessagesAndStatusGoThroughTheToolkit) {
  GuiFixture f;
  Gui& g = f.gui;
  gui_install_hooks(g);
  f.script_input("4 key DELETE\n");
  EXPECT_EQ(ask_question(*f.core, "Overwrite?", " YES ", " NO! "), 2);
  show_status(*f.core, "Loading data, please wait...");
  EXPECT_TRUE(g.notice_shown);
  EXPECT_TRUE(g.cursor_hidden);
  show_status(*f.core, "");
  EXPECT_FALSE(g.notice_shown);
  EXPECT_FALSE(g.cursor_hidden);
  show_message(*f.core, "Saving failed");  // answered as Enter once input is exhausted
  // pump_and_show copies the panel screen to the back surface before the flip.
  gui_fill(g, 255);
  f.core->frame.screen = &f.screen;
  pump_and_show(*f.core);
  EXPECT_EQ(platform::surface_pixel(f.screen.primary, 10, 10), 0xFFFFu);
}

}  // namespace
}  // namespace korva::test
