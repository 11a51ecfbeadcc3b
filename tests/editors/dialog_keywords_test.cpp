// The brains' dialogs: answers by keys, clicks and scripts, the answer Enter gives when nobody
// can answer, the frame around every dialog (sound, input, cursor, picture, frame clock), the
// Runtime Error box, the line editor of str_input, bad arguments, and pictures over a game.
#include "brain_literal.h"
#include "editors/dialog_keywords.h"

#include <climits>
#include <cstring>
#include <functional>

#include "brain/brain.h"
#include "brain/keyword_binding.h"
#include "core/pcx.h"
#include "core/system.h"
#include "golden.h"
#include "gui_fixture.h"
#include "model/run_state.h"
#include "runtime/memory_blocks.h"
#include "runtime/text_keywords.h"

namespace korva::test {
namespace {

struct DialogFixture : GuiFixture {
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  std::unique_ptr<BrainState> brain = brain_create();
  RunState run;
  System s;

  DialogFixture() {
    s.core = core.get();
    s.input = &input;
    s.gui = &gui;
    s.run = &run;
    s.blocks = blocks.get();
    s.brain = brain.get();
  }
  int32_t literal(const std::string& text) { return put_literal(*brain, text); }
  // A text block of str_create(n) holding text.
  int32_t block(const std::string& text, int32_t n = 40) {
    const int32_t h = str_create(s, n);
    std::memcpy(blocks->entry[h].data.get(), text.data(), std::min<size_t>(text.size(), size_t(n)));
    return h;
  }
  std::string text(int32_t h) {
    const Block& b = blocks->entry[h];
    const char* p = reinterpret_cast<const char*>(b.data.get());
    return std::string(p, strnlen(p, static_cast<size_t>(b.size)));
  }
  // An integer block whose words are the given values.
  int32_t words(std::initializer_list<int32_t> values) {
    const int32_t h = a_create(s, static_cast<int32_t>(values.size()));
    int32_t i = 0;
    for (int32_t v : values) a_set(s, h, i++, v);
    return h;
  }
};

// Drives a dialog pass by pass: every pump runs the next step, which may look at the dialog's
// buttons; once the steps are used up nobody answers any more (the dialog takes Enter's answer).
struct Driver {
  GuiFixture& f;
  std::vector<std::function<void()>> steps;
  size_t next = 0;
  int32_t x = 0, y = 0;

  explicit Driver(GuiFixture& fixture) : f(fixture) {
    f.gui.io.pump = [this] {
      pump(*f.core);
      if (next < steps.size()) steps[next++]();
    };
    f.gui.io.input_exhausted = [this] { return next >= steps.size(); };
  }
  ~Driver() {
    f.gui.io.pump = nullptr;
    f.gui.io.input_exhausted = nullptr;
  }
  Driver& then(std::function<void()> step) {
    steps.push_back(std::move(step));
    return *this;
  }
  Driver& key(int32_t scan, char ch = 0) {
    return then([this, scan, ch] {
             if (ch)
               input_character(f.input, static_cast<uint8_t>(ch), scan);
             else
               input_key_down(f.input, scan, false);
           })
        .then([this, scan] { input_key_up(f.input, scan); });
  }
  Driver& mouse(int32_t to_x, int32_t to_y, int32_t buttons) {
    return then([this, to_x, to_y, buttons] {
      x = to_x;
      y = to_y;
      input_sample_mouse(f.input, x, y, buttons, 640, 480);
    });
  }
  Driver& click(int32_t at_x, int32_t at_y) { return mouse(at_x, at_y, 1).mouse(at_x, at_y, 0); }
  // A click in the middle of the button in slot, wherever the dialog put it.
  Driver& click_slot(int32_t slot) {
    then([this, slot] {
      const GuiButton& b = f.gui.buttons[slot];
      x = (b.left() + b.x2) / 2;
      y = (b.y1 + b.y2) / 2;
      input_sample_mouse(f.input, x, y, 1, 640, 480);
    });
    return then([this] { input_sample_mouse(f.input, x, y, 0, 640, 480); });
  }
};


TEST(MsgBox, NobodyToAnswerGivesTheDefaultButtonsAnswer) {
  const struct {
    int32_t buttons, default_button, answer;
  } cases[] = {
      {1, 0, 1}, {1, 1, 0}, {1, 2, 1},  // OK, Cancel; a third button does not exist
      {2, 0, 3}, {2, 1, 2},             // Yes, No
      {3, 1, 2}, {3, 2, 0}, {3, 3, 3},  // Yes, No, Cancel
      {0, 0, 1}, {7, 2, 1}, {-1, 1, 1}, {INT_MIN, INT_MAX, 1},  // OK alone
  };
  DialogFixture f;
  const int32_t text = f.literal("Continue?");
  for (const auto& c : cases) {
    f.s.gui = &f.gui;
    EXPECT_EQ(msg_box(f.s, text, 2, c.default_button, c.buttons), c.answer)
        << "buttons " << c.buttons << ", default " << c.default_button;
    // Without a GUI (tests, tools) the dialog answers the same and says its text on stderr.
    f.s.gui = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(msg_box(f.s, text, 2, c.default_button, c.buttons), c.answer);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Continue?"), std::string::npos);
  }
}

TEST(MsgBox, YesAndNoByKeysAndByScript) {
  const struct {
    int32_t buttons;
    const char* script;
    int32_t answer;
  } cases[] = {
      {2, "4 key RETURN\n", 3},
      {2, "4 key RIGHT\n6 key RETURN\n", 2},
      {2, "4 key TAB\n6 key TAB\n8 key RETURN\n", 3},  // the focus goes round
      {2, "4 key LEFT\n6 key SPACE\n", 2},
      {2, "4 key ESC\n", 3},  // Yes and No cannot be escaped: Enter's answer in the end
      {1, "4 key ESC\n", 0},
      {3, "4 key ESC\n", 0},
      {0, "4 key ESC\n", 1},
      {3, "4 key RIGHT\n5 key RIGHT\n6 key RETURN\n", 0},
  };
  for (const auto& c : cases) {
    DialogFixture f;
    f.script_input(c.script);
    EXPECT_EQ(msg_box(f.s, f.literal("Save the game?"), 2, 0, c.buttons), c.answer) << c.script;
  }
}

TEST(MsgBox, ClicksOnTheButtons) {
  const struct {
    int32_t buttons, slot, answer;
  } cases[] = {{2, 0, 3}, {2, 1, 2}, {3, 2, 0}, {1, 0, 1}, {1, 1, 0}, {0, 0, 1}};
  for (const auto& c : cases) {
    DialogFixture f;
    Driver d(f);
    d.click_slot(c.slot);
    EXPECT_EQ(msg_box(f.s, f.literal("Quit?"), 1, 0, c.buttons), c.answer)
        << c.buttons << "/" << c.slot;
    EXPECT_EQ(f.input.mouse_buttons, 0) << "the dialog waits until the button is let go";
  }
}

TEST(DialogFrame, ATenSecondDialogDoesNotMakeTheGameCatchUpTenSecondsOfFrames) {
  DialogFixture f;
  f.run.frame_period = kTicksPerSecond / 30;
  for (Gui* gui : {&f.gui, static_cast<Gui*>(nullptr)}) {
    f.s.gui = gui;
    // When the dialog closes ten seconds after the frame that was due when it opened...
    f.run.next_frame_time = ticks_now(*f.core) - 10 * int64_t(kTicksPerSecond);
    ::testing::internal::CaptureStderr();
    msg_box(f.s, f.literal("Paused"), 1, 0, 0);
    ::testing::internal::GetCapturedStderr();
    // ...the frame loop finds no frame it is late for.
    int64_t next = f.run.next_frame_time;
    int32_t late_frames = 0;
    for (const int64_t now = ticks_now(*f.core); next < now; next += f.run.frame_period)
      ++late_frames;
    EXPECT_EQ(late_frames, 0);
    EXPECT_LE(f.run.next_frame_time, ticks_now(*f.core) + f.run.frame_period);
  }
}

TEST(DialogFrame, MutesClearsShowsTheCursorAndPutsEverythingBack) {
  DialogFixture f;
  int32_t volume = -300;
  std::vector<int32_t> volumes;
  f.run.hooks.swap_primary_volume = [&](int32_t v) {
    volumes.push_back(v);
    std::swap(volume, v);
    return v;
  };
  // The game's picture, the editor's panel and a button of the panel.
  platform::surface_fill(f.screen.primary, platform::pack_rgb(f.screen.primary.format, 0, 160, 80));
  const std::vector<uint8_t> picture = f.screen.primary.pixels;
  gui_fill(f.gui, 7);
  gui_reset_buttons(f.gui);
  gui_add_button(f.gui, 10, 10, 60, 30, ButtonStyle::Raised);
  const std::vector<uint8_t> panel(f.gui.pixels, f.gui.pixels + kGuiPixels);
  f.gui.cursor_hidden = true;
  // Input the game had not taken yet: Escape would cancel the dialog if it were not cleared.
  input_key_down(f.input, kScanEscape, false);
  input_key_up(f.input, kScanEscape);
  input_character(f.input, 'a', 30);

  bool seen = false;
  Driver d(f);
  d.then([&] {
    seen = true;
    EXPECT_EQ(volume, -10000);
    EXPECT_FALSE(f.gui.cursor_hidden);
    EXPECT_EQ(f.input.text_len, 0);
    // The panel shows the game's picture around the dialog.
    EXPECT_EQ(f.gui.pixels[0], gui_rgb_index(0, 160, 80));
  });
  EXPECT_EQ(msg_box(f.s, f.literal("Question"), 2, 0, 1), 1);
  EXPECT_TRUE(seen);
  EXPECT_EQ(volume, -300);
  EXPECT_EQ(volumes, (std::vector<int32_t>{-10000, -300}));
  EXPECT_TRUE(f.gui.cursor_hidden);
  EXPECT_TRUE(std::equal(panel.begin(), panel.end(), f.gui.pixels));
  EXPECT_EQ(f.gui.buttons[0].x2, 60);
  EXPECT_TRUE(f.gui.buttons[1].free());
  EXPECT_EQ(f.screen.primary.pixels, picture);
  EXPECT_EQ(f.input.read, f.input.write);
}

TEST(RuntimeErrorBox, ConstantTargetsShowItInTheDialogsFrame) {
  DialogFixture f;
  connect_dialog_hooks(f.s);
  int32_t volume = 0;
  f.run.hooks.swap_primary_volume = [&](int32_t v) {
    std::swap(volume, v);
    return v;
  };
  const int32_t constant = f.literal("constant");
  const int32_t target = f.block("kept");
  bool muted = false;
  Driver d(f);
  d.then([&] { muted = volume == -10000; });
  ::testing::internal::CaptureStderr();
  str_copy(f.s, constant, target, 0, -1);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Runtime Error|First parameter of STR_COPY() instruction must be a string "
                      "variable, not a constant string."),
            std::string::npos)
      << said;
  EXPECT_TRUE(muted);
  EXPECT_EQ(volume, 0);
  EXPECT_EQ(f.text(target), "kept");
}

TEST(InputBox, EditsTheBlocksTextWithinItsSize) {
  const struct {
    const char* script;
    int32_t n;  // str_create(n)
    int32_t answer;
    const char* want;
  } cases[] = {
      {"4 text de\n10 key RETURN\n", 9, 1, "abcde"},
      {"4 text de\n10 key ESC\n", 9, 0, "abc"},
      {"4 text def\n10 key RETURN\n", 4, 1, "abcd"},  // four characters fit
      {"4 key HOME\n5 text x\n8 key RIGHT\n9 key DELETE\n12 key RETURN\n", 9, 1, "xac"},
      {"4 key BACKSPACE\n6 key END\n7 text 1.5\n12 key RETURN\n", 9, 1, "ab1.5"},
      {"", 9, 1, "abc"},  // nobody to answer: OK, as Enter would
  };
  for (const auto& c : cases) {
    DialogFixture f;
    const int32_t h = f.block("abc", c.n);
    f.script_input(c.script);
    EXPECT_EQ(input_box(f.s, f.literal("Your name"), h, 1), c.answer) << c.script;
    EXPECT_EQ(f.text(h), c.want) << c.script;
  }
}

TEST(InputBox, EveryStyleTakesTextAndOkOrCancelClicks) {
  for (int32_t style : {0, 1, 2, 3, 4, -7, INT_MAX}) {
    for (int32_t slot : {0, 1}) {
      DialogFixture f;
      const int32_t h = f.block("car", 20);
      Driver d(f);
      d.key(kScanEnd).key(31, 's').click_slot(slot);
      EXPECT_EQ(input_box(f.s, f.literal("Name of the saved game:\nup to 20 characters"), h, style),
                1 - slot)
          << "style " << style;
      EXPECT_EQ(f.text(h), slot == 0 ? "cars" : "car") << "style " << style;
    }
  }
  // The close box cancels.
  DialogFixture f;
  const int32_t h = f.block("car", 20);
  Driver d(f);
  d.key(31, 's')
      .then([&] {
        const GuiRect box = f.gui.close_box;
        input_sample_mouse(f.input, box.x1 + 4, box.y1 + 4, 1, 640, 480);
      })
      .mouse(0, 0, 0);
  EXPECT_EQ(input_box(f.s, f.literal("Name"), h, 0), 0);
  EXPECT_EQ(f.text(h), "car");
}

TEST(InputBox, ConstantsFreeHandlesAndNoGui) {
  DialogFixture f;
  connect_dialog_hooks(f.s);
  const int32_t prompt = f.literal("Name?");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(input_box(f.s, prompt, f.literal("constant"), 1), 0);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Second parameter of INPUT_BOX() instruction must be a string variable, "
                      "not a constant string."),
            std::string::npos);
  EXPECT_EQ(said.find("Name?"), std::string::npos) << "the text dialog itself never opens";

  const int32_t h = f.block("abc");
  EXPECT_EQ(input_box(f.s, prompt, 500, 1), 0);  // a free block
  EXPECT_EQ(input_box(f.s, 501, h, 1), 0);       // a free prompt
  f.s.gui = nullptr;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(input_box(f.s, prompt, h, 1), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Name?\n");
  EXPECT_EQ(f.text(h), "abc");
}

TEST(InputBox, AVeryLongTextScrollsInTheField) {
  DialogFixture f;
  const std::string long_text(65536, 'a');
  const int32_t h = f.block(long_text, 70000);
  f.script_input("4 key END\n5 text b\n6 key HOME\n7 text c\n10 key RETURN\n");
  EXPECT_EQ(input_box(f.s, f.literal("Long"), h, 3), 1);
  EXPECT_EQ(f.text(h), "c" + long_text + "b");
}

TEST(ListBox, ListsOnlyTheEntriesTheItemBlockHolds) {
  const struct {
    const char* script;
    int32_t selection, count, answer;
  } cases[] = {
      {"4 key END\n6 key RETURN\n", 0, 10, 2},  // a count beyond the block: its three entries
      {"4 key DOWN\n6 key RETURN\n", 0, 3, 1},
      {"4 key DOWN\n5 key DOWN\n6 key DOWN\n7 key DOWN\n9 key RETURN\n", 0, INT_MAX, 2},
      {"4 key UP\n6 key RETURN\n", 2, 3, 1},
      {"4 key ESC\n", 1, 3, -1},
      {"", 1, 3, 1},   // nobody to answer: OK with the selection
      {"", 7, 3, -1},  // a selection outside the list selects nothing
      {"4 key G g\n6 key RETURN\n", 0, 3, 1},
      {"4 key RETURN\n", 0, 2, 0},
      {"4 key END\n6 key RETURN\n", 0, 0, -1},  // no entries
      {"4 key DOWN\n6 key RETURN\n", -1, -5, -1},
  };
  for (const auto& c : cases) {
    DialogFixture f;
    const int32_t items = f.words({f.block("red"), f.block("green"), f.block("blue")});
    f.script_input(c.script);
    EXPECT_EQ(list_box(f.s, f.literal("Colour"), items, c.selection, c.count, 0), c.answer)
        << c.script;
  }
}

TEST(ListBox, WordsThatAreNoTextsAreLeftOut) {
  DialogFixture f;
  const int32_t items =
      f.words({f.block("red"), 500, f.literal("cyan"), 0x7FFFFFF0, -3, f.block("blue")});
  f.s.gui = nullptr;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(list_box(f.s, f.literal("Colour"), items, 2, 6, 1), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Colour\n  0: red\n  1: cyan\n  2: blue\n");
  // Item lists that are no integer blocks, and a free title: nothing is chosen.
  EXPECT_EQ(list_box(f.s, f.literal("Colour"), f.literal("red"), 0, 1, 0), -1);
  EXPECT_EQ(list_box(f.s, f.literal("Colour"), 600, 0, 1, 0), -1);
  EXPECT_EQ(list_box(f.s, f.literal("Colour"), -1, 0, 1, 0), -1);
  EXPECT_EQ(list_box(f.s, 700, items, 0, 6, 0), -1);
}

// A click on row k of an open list: the rows start at the top of the scroll bar, left of it.
Driver& click_row(Driver& d, int32_t k) {
  d.then([&d, k] {
    const GuiButton& up = d.f.gui.buttons[2];
    const int32_t pitch = gui_font_height(d.f.gui) + 2;
    input_sample_mouse(d.f.input, up.left() - 40, up.y1 + k * pitch + 3, 1, 640, 480);
  });
  return d.mouse(0, 0, 0);
}

TEST(ListBox, ScrollsByArrowsWheelThumbAndKeysAndTakesClickedRows) {
  const struct {
    const char* what;
    std::function<void(Driver&)> drive;
    int32_t answer;
  } cases[] = {
      {"row 2", [](Driver& d) { click_row(d, 2).click_slot(0); }, 2},
      {"down arrow five times, then row 0",
       [](Driver& d) {
         for (int32_t k = 0; k < 5; ++k) d.click_slot(3);
         click_row(d, 0).key(kScanEnter);
       },
       5},
      {"wheel towards the user, then row 1",
       [](Driver& d) {
         d.then([&d] { input_wheel(d.f.input, -120); });
         click_row(d, 1).key(kScanEnter);
       },
       4},
      {"thumb dragged to the bottom, then row 0",
       [](Driver& d) {
         d.then([&d] {
           const GuiButton& up = d.f.gui.buttons[2];
           input_sample_mouse(d.f.input, up.left() + 8, up.y2 + 2, 1, 640, 480);
         });
         d.then([&d] {
           const GuiButton& down = d.f.gui.buttons[3];
           input_sample_mouse(d.f.input, down.left() + 8, down.y1 + 60, 1, 640, 480);
         });
         click_row(d.mouse(0, 0, 0), 0).key(kScanEnter);
       },
       30},
      {"page down twice from 3",
       [](Driver& d) { d.key(kScanPageDown).key(kScanPageDown).key(kScanEnter); }, 23},
      {"end", [](Driver& d) { d.key(kScanEnd).key(kScanEnter); }, 39},
      {"end, home", [](Driver& d) { d.key(kScanEnd).key(kScanHome).key(kScanEnter); }, 0},
      {"cancel", [](Driver& d) { d.click_slot(1); }, -1},
  };
  for (const auto& c : cases) {
    DialogFixture f;
    const int32_t items = a_create(f.s, 40);
    for (int32_t i = 0; i < 40; ++i) a_set(f.s, items, i, f.block("entry " + std::to_string(i)));
    Driver d(f);
    c.drive(d);
    EXPECT_EQ(list_box(f.s, f.literal("Pick one"), items, 3, 40, 0), c.answer) << c.what;
  }
}

TEST(LineEditor, StrInputSetStartsTheTypedTextAndStrInputCopiesIt) {
  DialogFixture f;
  const int32_t h = f.block("", 10);
  str_input_set(f.s, f.literal("abc"));
  input_character(f.input, 8, kScanBackspace);
  input_character(f.input, 'x', 45);
  str_input(f.s, h);
  EXPECT_EQ(f.text(h), "abx");
  const int32_t two = f.block("", 2);
  str_input(f.s, two);
  EXPECT_EQ(f.text(two), "ab");

  str_input_set(f.s, 900);  // a free handle: the line stays
  str_input(f.s, h);
  EXPECT_EQ(f.text(h), "abx");
  str_input(f.s, f.literal("constant"));  // not a block: nothing is written
  str_input(f.s, -4);

  str_input_set(f.s, f.literal(std::string(65536, 'w')));
  EXPECT_EQ(f.input.text_len, kTypedTextBytes - 1);
  input_key_down(f.input, kScanUp, false);
  input_wheel(f.input, 120);
  clear(f.s);
  EXPECT_EQ(f.input.text_len, 0);
  EXPECT_EQ(f.input.read, f.input.write);
  EXPECT_EQ(f.input.wheel, 0);
  str_input(f.s, h);
  EXPECT_EQ(f.text(h), "");
}

TEST(DialogBadInput, NothingCrashesAndEveryAnswerIsNeutral) {
  DialogFixture f;
  const std::string huge(65536, 'W');
  const int32_t big = f.block(huge, 65536);
  const int32_t few = f.words({f.block("one"), f.block("two")});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(msg_box(f.s, big, 3, 0, 1), 1);
  EXPECT_EQ(msg_box(f.s, f.literal(std::string(3000, '\n')), INT_MIN, INT_MIN, INT_MIN), 1);
  EXPECT_EQ(msg_box(f.s, 0x7FFFFFF0, 0, 0, 2), 3);  // no text at all: an empty message
  EXPECT_EQ(msg_box(f.s, 333, 0, 0, 2), 0);         // a free handle: no dialog, 0
  EXPECT_EQ(list_box(f.s, big, few, INT_MAX, INT_MAX, INT_MIN), -1);
  EXPECT_EQ(list_box(f.s, f.literal("t"), few, 1, INT_MAX, 2), 1);
  EXPECT_EQ(list_box(f.s, f.literal("t"), f.words({big}), 0, 1, 3), 0);
  EXPECT_EQ(input_box(f.s, big, f.block("x", 1), INT_MIN), 1);
  ::testing::internal::GetCapturedStderr();
}

TEST(DialogKeywordBindings, EveryDialogKeywordIsBound) {
  KeywordBindings b;
  bind_dialog_keywords(b);
  for (const char* name :
       {"msg_box", "input_box", "list_box", "clear", "str_input", "str_input_set"}) {
    const int32_t row = keyword_find(name);
    ASSERT_GE(row, 0) << name;
    EXPECT_NE(b.routine[row], nullptr) << name;
  }
}

// ---- Pictures ----

// A small game scene on the display: sky, ground, a house and a sun.
void paint_game(platform::Surface& p) {
  using platform::pack_rgb;
  for (int32_t y = 0; y < 300; ++y)
    platform::surface_fill_rect(p, 0, y, p.width, 1,
                                pack_rgb(p.format, 40, uint8_t(90 + y / 3), 220));
  platform::surface_fill_rect(p, 0, 300, p.width, p.height - 300, pack_rgb(p.format, 40, 150, 50));
  platform::surface_fill_rect(p, 60, 220, 120, 100, pack_rgb(p.format, 200, 60, 40));
  platform::surface_fill_rect(p, 90, 270, 30, 50, pack_rgb(p.format, 90, 50, 20));
  platform::surface_fill_rect(p, 500, 40, 60, 60, pack_rgb(p.format, 250, 220, 60));
}

// Takes the picture on display at the first pass of the dialog.
void snapshot_at_first_pass(Driver& d, GuiFixture& f, const std::string& name, bool& taken) {
  d.then([&f, name, &taken] {
    taken = true;
    golden::expect_surface(f.screen.primary, "editors", name, golden::kExact);
  });
}

TEST(DialogGolden, MessageBoxOverTheGame) {
  DialogFixture f;
  paint_game(f.screen.primary);
  f.mouse(430, 330);
  bool taken = false;
  Driver d(f);
  snapshot_at_first_pass(d, f, "msg_box_game_640", taken);
  EXPECT_EQ(msg_box(f.s,
                    f.literal("Do you want to save the race before leaving?\nYour lap times "
                              "are kept either way."),
                    2, 1, 3),
            2);
  EXPECT_TRUE(taken);
}

TEST(DialogGolden, ListBoxOverTheGame) {
  DialogFixture f;
  paint_game(f.screen.primary);
  f.mouse(200, 420);
  const int32_t items = a_create(f.s, 14);
  for (int32_t i = 0; i < 14; ++i) a_set(f.s, items, i, f.block("Track " + std::to_string(i + 1)));
  bool taken = false;
  Driver d(f);
  snapshot_at_first_pass(d, f, "list_box_game_640", taken);
  EXPECT_EQ(list_box(f.s, f.literal("Choose a track"), items, 2, 14, 0), 2);
  EXPECT_TRUE(taken);
}

// ---- file_box ----

// The file list's first row, where a click chooses the first entry.
std::string first_row_click(const Gui& g, int64_t t) {
  const int32_t u = gui_text_width(g, "Mm0wW") / 5, h = std::max(4, gui_font_height(g) / 2);
  const int32_t x = std::max((640 - 50 * u) / 2, 12 + std::max(16, std::min(8 * u, 640 - 50 * u - 36)) + 8);
  return std::to_string(t) + " click " + std::to_string(x + 30) + " " + std::to_string((480 - 40 * h) / 2 + h) + "\n";
}

TEST(FileBox, OpenSaveAndTheTrailingBackslash) {
  const struct {
    const char* what;
    int32_t save;
    const char* start;   // below the folder; "\\" ends a folder
    int32_t size;        // of the block
    std::string (*script)(const Gui&);
    int32_t answer;
    const char* chosen;  // below the folder; "" keeps the block as it was
  } cases[] = {
      {"open: the first pattern after a trailing backslash", 0, "pics\\", 200,
       [](const Gui& g) { return first_row_click(g, 1); }, -1, "pics/a.pcx"},
      {"open: Escape keeps the block", 0, "pics\\", 200, [](const Gui&) { return std::string("1 key ESC\n"); }, 0, ""},
      {"save over a file: YES", 1, "pics/", 200,
       [](const Gui& g) { return first_row_click(g, 1) + "5 key DELETE\n"; }, -1, "pics/a.pcx"},
      {"save over a file: Enter answers NO!", 1, "pics/", 200,
       [](const Gui& g) { return first_row_click(g, 1) + "5 key RETURN\n8 key ESC\n"; }, 0, ""},
      {"save under a new name", 1, "pics/old.pcx", 200,
       [](const Gui&) { return std::string("1 key RETURN\n3 key BACKSPACE\n4 key BACKSPACE\n5 key BACKSPACE\n"
                                           "6 key BACKSPACE\n7 key BACKSPACE\n8 key BACKSPACE\n9 key BACKSPACE\n"
                                           "10 text new.pcx\n12 key RETURN\n"); },
       -1, "pics/new.pcx"},
  };
  for (const auto& c : cases) {
    DialogFixture f;
    std::filesystem::create_directories(f.dir / "pics");
    f.write("pics/a.pcx", {10});
    f.write("pics/b.bmp", {66});
    const std::string start = f.dir.string() + "/" + c.start;
    const int32_t block = f.block(start, c.size);
    f.script_input(c.script(f.gui));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(file_box(f.s, block, c.save, f.literal("Pictures|*.pcx|All files|*.*")), c.answer) << c.what;
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(f.text(block), *c.chosen ? (f.dir / c.chosen).string() : start) << c.what;
  }
}

TEST(FileBox, ConstantsAndShortBlocks) {
  DialogFixture f;
  connect_dialog_hooks(f.s);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(file_box(f.s, f.literal("c:\\"), 0, f.literal("All|*.*")), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                "First parameter of FILE_BOX() instruction must be a string variable, not a constant string."),
            std::string::npos);
  // The chosen path is cut to what the block holds.
  DialogFixture g;
  g.write("a.txt", {1});
  // An empty block starts in the base folder.
  str_set(*g.core->base_folder, g.dir.string() + "/");
  const int32_t block = g.block("", 12);
  g.script_input(first_row_click(g.gui, 1));
  EXPECT_EQ(file_box(g.s, block, 0, g.literal("Texts|*.txt")), -1);
  const size_t room = size_t(g.blocks->entry[block].size - 1);
  EXPECT_LT(room, (g.dir / "a.txt").string().size());
  EXPECT_EQ(g.text(block), (g.dir / "a.txt").string().substr(0, room));
}

}  // namespace
}  // namespace korva::test
