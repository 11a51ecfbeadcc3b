// The brain text editor: opening rules, the key table as key sequences and the bytes written
// back, the undo ring, find, indent-all, the clipboard, the whole editor under scripted input,
// refused files, and the picture of the editing screen with a selection.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "devices/input.h"
#include "editors/editors.h"
#include "golden.h"
#include "gui_fixture.h"
#include "platform/platform.h"

namespace korva::test {
namespace {

constexpr int32_t kShift = 3, kCtrl = 4, kAlt = 8;

// A key sequence in words: "text:abc" types abc, "S+RIGHT" is Shift+Right, "C+V" Ctrl+V,
// "A+D" Alt+D, anything else a key name (ENTER, BACKSPACE, DELETE, TAB, HOME, END, LEFT, RIGHT,
// UP, DOWN, PAGEUP, PAGEDOWN, F3, F4, ESC). "shift-up" releases Shift (collapsing the selection).
int32_t press(TextEditor& ed, const std::string& word) {
  if (word.rfind("text:", 0) == 0) {
    for (char ch : word.substr(5)) editor_key(ed, 0, ch == '_' ? ' ' : ch, 0);
    return kEditorContinue;
  }
  if (word == "shift-up") {
    editor_collapse(ed);
    return kEditorContinue;
  }
  int32_t mods = 0;
  std::string name = word;
  if (word.size() > 2 && word[1] == '+') {
    mods = word[0] == 'S' ? kShift : word[0] == 'C' ? kCtrl : kAlt;
    name = word.substr(2);
  }
  const int32_t scan = name == "ENTER" ? kScanEnter : key_name_code(name);
  EXPECT_NE(scan, 0) << word;
  return editor_key(ed, scan, 0, mods);
}

std::string run_keys(TextEditor& ed, const std::string& keys) {
  std::istringstream words(keys);
  std::string w;
  while (words >> w) press(ed, w);
  return editor_text_to_bytes(ed.text);
}

std::string edited(std::string_view file, const std::string& keys) {
  TextEditorStore store;
  TextEditor ed;
  editor_start(ed, editor_text_from_bytes(file), store);
  return run_keys(ed, keys);
}

TEST(BrainEditor, OpeningRules) {
  const struct {
    const char* what;
    std::string file;
    std::string text;
  } cases[] = {
      {"final carriage return added", "a\r\nb", "a\rb\r"},
      {"tabs become three spaces", "\tx\r\n", "   x\r"},
      {"line feeds after carriage returns dropped", "a\r\n\r\nb\r\n", "a\r\rb\r"},
      {"a line feed alone ends a line", "a\nb\n", "a\rb\r"},
      {"bytes outside space..z dropped", std::string("a{|}~\x01\xe9" "b\r\n"), "ab\r"},
      {"trailing spaces removed", "a  \r\n  b \r\n", "a\r  b\r"},
      {"empty file", "", "\r"},
  };
  for (const auto& c : cases) EXPECT_EQ(editor_text_from_bytes(c.file), c.text) << c.what;
  // Written back, tabs stay spaces and lines end in CR LF.
  EXPECT_EQ(editor_text_to_bytes(editor_text_from_bytes("\tif x\n")), "   if x\r\n");
}

TEST(BrainEditor, KeyTable) {
  const std::string col79 = std::string(79, 'a');
  const struct {
    const char* what;
    std::string file;
    std::string keys;
    std::string bytes;
  } cases[] = {
      {"typing inserts", "bc\r\n", "text:a", "abc\r\n"},
      {"typing at column 79 does nothing", col79 + "\r\n", "END text:x", col79 + "\r\n"},
      {"typing beyond the end pads the line", "ab\r\n", "RIGHT RIGHT RIGHT RIGHT text:x", "ab  x\r\n"},
      {"enter splits the line", "abcd\r\n", "RIGHT RIGHT ENTER text:x", "ab\r\nxcd\r\n"},
      {"backspace deletes before the cursor", "abc\r\n", "END BACKSPACE", "ab\r\n"},
      {"backspace at the top-left does nothing", "abc\r\n", "BACKSPACE", "abc\r\n"},
      {"backspace at column 0 joins lines", "ab\r\ncd\r\n", "DOWN BACKSPACE text:x", "abxcd\r\n"},
      {"delete removes the character under the cursor", "abc\r\n", "DELETE", "bc\r\n"},
      {"delete never removes a line end", "ab\r\ncd\r\n", "END DELETE", "ab\r\ncd\r\n"},
      {"tab to the next even column", "x\r\n", "TAB text:a TAB text:b", "  a bx\r\n"},
      {"tab stops below column 78", std::string(78, 'a') + "\r\n", "END TAB", std::string(78, 'a') + "\r\n"},
      {"home and end", "abc\r\n", "END text:x HOME text:y", "yabcx\r\n"},
      {"typing replaces a selection", "abcdef\r\n", "RIGHT S+RIGHT S+RIGHT text:x", "axdef\r\n"},
      {"a selection over lines is deleted by backspace", "ab\r\ncd\r\nef\r\n",
       "RIGHT S+DOWN BACKSPACE", "ad\r\nef\r\n"},
      {"releasing shift collapses the selection", "abc\r\n", "S+RIGHT shift-up DELETE", "bc\r\n"},
      {"alt+d clears the line's text", "abc\r\ndef\r\n", "A+D", "\r\ndef\r\n"},
      {"escape leaves the text as it is", "a\tb", "ESC", "a   b\r\n"},
      {"up from the first row stays", "ab\r\n", "UP text:x", "xab\r\n"},
      {"down stops at the last line", "a\r\nb\r\n", "DOWN DOWN DOWN text:x", "a\r\nxb\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(edited(c.file, c.keys), c.bytes) << c.what;
}

TEST(BrainEditor, ExitCodes) {
  const struct {
    const char* key;
    int32_t code;
  } cases[] = {{"ESC", 0}, {"F1", 2}, {"F2", 1}, {"C+H", 255}, {"text:a", kEditorContinue}};
  for (const auto& c : cases) {
    TextEditorStore store;
    TextEditor ed;
    editor_start(ed, "x\r", store);
    EXPECT_EQ(press(ed, c.key), c.code) << c.key;
  }
}

TEST(BrainEditor, PagingAndTheWheel) {
  std::string file;
  for (int32_t i = 0; i < 200; ++i) file += "line " + std::to_string(i) + "\r\n";
  TextEditorStore store;
  TextEditor ed;
  editor_start(ed, editor_text_from_bytes(file), store);
  run_keys(ed, "PAGEDOWN");
  EXPECT_EQ(ed.top, 39);
  EXPECT_EQ(ed.row, 39);
  EXPECT_EQ(editor_line_number(ed), 79);
  run_keys(ed, "PAGEUP");
  EXPECT_EQ(ed.top, 38);
  EXPECT_EQ(ed.row, 0);
  editor_wheel(ed, 3);
  EXPECT_EQ(ed.top, 41);
  editor_wheel(ed, -300);
  EXPECT_EQ(ed.top, 0);
  // Down on the last row scrolls the view.
  for (int32_t i = 0; i < 45; ++i) press(ed, "DOWN");
  EXPECT_EQ(ed.row, 39);
  EXPECT_EQ(ed.top, 6);
}

TEST(BrainEditor, UndoRing) {
  TextEditorStore store;
  TextEditor ed;
  editor_start(ed, "abc\r", store);
  // Undo right after opening keeps the text.
  run_keys(ed, "C+U");
  EXPECT_EQ(ed.text, "abc\r");

  // Each deletion of a selection is a snapshot point.
  editor_start(ed, "abcdef\r", store);
  run_keys(ed, "S+RIGHT DELETE");                 // bcdef
  run_keys(ed, "S+RIGHT text:X");                 // Xcdef
  EXPECT_EQ(ed.text, "Xcdef\r");
  run_keys(ed, "C+U");
  EXPECT_EQ(ed.text, "bcdef\r");
  run_keys(ed, "C+U");
  EXPECT_EQ(ed.text, "abcdef\r");
  run_keys(ed, "C+U");
  EXPECT_EQ(ed.text, "abcdef\r") << "nothing older";
  run_keys(ed, "C+R");
  EXPECT_EQ(ed.text, "bcdef\r");
  run_keys(ed, "C+R");
  EXPECT_EQ(ed.text, "Xcdef\r");
  run_keys(ed, "C+R");
  EXPECT_EQ(ed.text, "Xcdef\r") << "nothing newer";

  // The ring keeps the last 8 states: at most 7 steps back.
  editor_start(ed, "0123456789abcdef\r", store);
  for (int32_t i = 0; i < 12; ++i) run_keys(ed, "S+RIGHT DELETE");
  for (int32_t i = 0; i < 20; ++i) run_keys(ed, "C+U");
  EXPECT_EQ(ed.text, "56789abcdef\r");
}

TEST(BrainEditor, FindIsCaseBlindAndSelectsTheMatch) {
  TextEditorStore store;
  TextEditor ed;
  editor_start(ed, "Speed\rx = speed\ry = SPEED + 1\r", store);
  run_keys(ed, "S+RIGHT S+RIGHT S+RIGHT S+RIGHT S+RIGHT F4");
  EXPECT_EQ(store.find, "Speed");
  run_keys(ed, "F3");
  EXPECT_EQ(ed.top, 1);
  EXPECT_EQ(ed.row, 0);
  EXPECT_EQ(ed.col, 4);
  EXPECT_EQ(editor_selection(ed), "speed");
  run_keys(ed, "F3");
  EXPECT_EQ(ed.top, 2);
  EXPECT_EQ(ed.col, 4);
  // Nothing further: cursor and view stay.
  run_keys(ed, "F3");
  EXPECT_EQ(ed.top, 2);
  EXPECT_EQ(ed.col, 4);
  // The find text outlives the editing.
  TextEditor next;
  editor_start(next, "a\rspeed\r", store);
  run_keys(next, "F3");
  EXPECT_EQ(next.top, 1);
}

TEST(BrainEditor, IndentAll) {
  const std::string file =
      "  if x > 1\r\nA = 1\r\nIF y\r\nb = 2\r\n     Else\r\nc = 3\r\nENDIF\r\nifx = 4\r\nendif\r\n\r\nd = 5\r\n";
  const std::string want =
      "if x > 1\r\n  A = 1\r\n  IF y\r\n    b = 2\r\n  Else\r\n    c = 3\r\n  ENDIF\r\n  ifx = 4\r\nendif\r\n\r\nd = 5\r\n";
  EXPECT_EQ(edited(file, "C+A"), want);
}

TEST(BrainEditor, ClipboardCopyCutPaste) {
  TextEditorStore store;
  TextEditor ed;
  editor_start(ed, "abc\rdef\r", store);
  run_keys(ed, "RIGHT S+DOWN C+C");
  EXPECT_EQ(store.clip, "bc\rd");
  EXPECT_EQ(platform::clipboard_get_text(), "bc\r\nd") << "a line feed after each carriage return";
  run_keys(ed, "C+X");
  EXPECT_EQ(ed.text, "aef\r");
  // The system clipboard's text is taken without "|" and line feeds.
  platform::clipboard_set_text("x|y\r\nz\n");
  run_keys(ed, "C+V");
  EXPECT_EQ(ed.text, "axy\rzef\r");
  EXPECT_EQ(store.clip, "xy\rz");
  // Nothing on the system clipboard: the store is pasted again.
  platform::clipboard_set_text("");
  run_keys(ed, "HOME C+V");
  EXPECT_EQ(ed.text, "xy\rzaxy\rzef\r");
  // An untagged store pastes nothing.
  TextEditorStore empty;
  TextEditor fresh;
  editor_start(fresh, "q\r", empty);
  run_keys(fresh, "C+V");
  EXPECT_EQ(fresh.text, "q\r");
}

TEST(BrainEditor, AHugeClipboardDoesNotOverflowTheText) {
  TextEditorStore store;
  TextEditor ed;
  editor_start(ed, "q\r", store);
  int32_t told = 0;
  auto core = core_create();
  core->ui.message_box = [&](std::string_view, std::string_view, std::string_view) { return ++told; };
  ed.core = core.get();
  platform::clipboard_set_text(std::string(3 << 20, 'w'));
  run_keys(ed, "C+V");
  EXPECT_EQ(store.clip.size(), 65535u);
  EXPECT_EQ(ed.text, "q\r") << "65,535 characters do not fit beside the text";
  EXPECT_EQ(told, 1);
  platform::clipboard_set_text(std::string(60000, 'w'));
  run_keys(ed, "C+V");
  EXPECT_EQ(ed.text.size(), 60002u);
  platform::clipboard_set_text("");
}

TEST(BrainEditor, ExitOptionNote) {
  auto core = core_create();
  std::vector<std::string> shown;
  core->ui.message_box = [&](std::string_view text, std::string_view left, std::string_view right) {
    EXPECT_EQ(left, " OK ");
    EXPECT_EQ(right, " OK ");
    shown.emplace_back(text);
    return 1;
  };
  for (int32_t code : {-1, INT32_MIN, -2, -3, 4, 0}) show_exit_option(*core, code);
  const std::vector<std::string> want = {"When compiled, exit to end screen", "When compiled, exit directly to Windows",
                                         "When compiled, exit to sub-project 4", "When compiled, exit to sub-project 0"};
  EXPECT_EQ(shown, want);
}

// ---- The whole editor on a file, under scripted input ----

struct EditorFiles : GuiFixture {
  TextEditorStore store;
  EditorFiles() {
    const std::string base = dir.string() + "/";
    str_set(*core->base_folder, base);
    str_set(*core->data_folder, base);
    std::filesystem::create_directories(dir / "temp");
    const mkdata::Bytes font = mkdata::make_editor_fnt();
    if (!font.empty()) bitmap_font_parse(store.font, font.data(), static_cast<int64_t>(font.size()));
  }
  std::string file(const std::string& name, const std::string& bytes) {
    return write(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST(BrainEditorFile, ScriptedKeysAreWrittenBack) {
  EditorFiles f;
  const std::string path = f.file("car.brn", "; a car\r\nvar speed = 1\r\n\tgoto top");
  f.script_input(
      "3 key DOWN\n4 key END\n5 text 0\n"            // speed = 10
      "6 down CTRL\n7 key A\n8 up CTRL\n"             // indent all: the tab goes
      "9 text this text is longer than sixteen characters\n"
      "12 key F2\n");
  EXPECT_EQ(brain_editor(f.gui, path, f.store), kEditorSaveAs);
  EXPECT_EQ(f.read(path), "; a car\r\nvar speed = 10this text is longer than sixteen characters\r\ngoto top\r\n");
}

TEST(BrainEditorFile, MouseSelectionAndCut) {
  EditorFiles f;
  const std::string path = f.file("m.brn", "abcdef\r\nghij\r\n");
  f.script_input("3 mouse 12 5 1\n4 mouse 36 5 1\n5 mouse 36 5 0\n6 down CTRL\n7 key X\n8 up CTRL\n9 key ESC\n");
  EXPECT_EQ(brain_editor(f.gui, path, f.store), kEditorEscape);
  EXPECT_EQ(f.read(path), "aef\r\nghij\r\n");
  EXPECT_EQ(f.store.clip, "bcd");
}

TEST(BrainEditorFile, RefusedFilesAreLeftUntouched) {
  EditorFiles f;
  std::vector<std::string> told;
  f.core->ui.message_box = [&](std::string_view text, std::string_view, std::string_view) {
    told.emplace_back(text);
    return 1;
  };
  const std::string large = std::string(65521, 'a');
  const std::string binary = std::string("MZ\x90\0\x03\0\0\0", 8) + std::string(100, '\x01');
  for (const std::string& bytes : {large, binary}) {
    const std::string path = f.file("refused.brn", bytes);
    f.script_input("3 text x\n5 key ESC\n");
    EXPECT_EQ(brain_editor(f.gui, path, f.store), kEditorEscape);
    EXPECT_EQ(f.read(path), bytes);
  }
  ASSERT_EQ(told.size(), 2u);
  EXPECT_NE(told[0].find("larger than 65,520 bytes"), std::string::npos) << told[0];
  EXPECT_NE(told[1].find("not a text file"), std::string::npos) << told[1];
  // 65,520 bytes are still taken.
  const std::string path = f.file("full.brn", std::string(65518, 'b') + "\r\n");
  f.script_input("3 key ESC\n");
  EXPECT_EQ(brain_editor(f.gui, path, f.store), kEditorEscape);
  EXPECT_EQ(told.size(), 2u);
}

TEST(BrainEditorFile, AnUnwritableFolderKeepsTheEditInTemp) {
  EditorFiles f;
  std::string told;
  f.core->ui.message_box = [&](std::string_view text, std::string_view, std::string_view) {
    told = text;
    return 1;
  };
  // A folder that is a file cannot be written by anyone, root included.
  f.file("locked", "not a folder");
  const std::string path = (f.dir / "locked/keep.brn").string();
  f.script_input("3 text new\n5 key ESC\n");
  brain_editor(f.gui, path, f.store);
  EXPECT_EQ(f.read((f.dir / "temp/keep.brn").string()), "new\r\n");
  EXPECT_NE(told.find("temp/keep.brn"), std::string::npos) << told;
  EXPECT_EQ(f.read((f.dir / "locked").string()), "not a folder");
}

TEST(BrainEditorGolden, ScreenWithASelectionAndAnErrorLine) {
  EditorFiles f;
  ASSERT_GT(f.store.font.count, 0) << "a fixed-width font is needed (fonts-dejavu-core)";
  TextEditor ed;
  std::string text =
      "; Rolls the ball towards the player and bounces it off the walls.\r"
      "usermet speed = 1.5\r"
      "; metres a second\r"
      "var turns = 0\r"
      "\r"
      "if position_x(element) > 10mt\r"
      "  velocity_x_set(element, 0 - speed)\r"
      "  turns = turns + 1\r"
      "endif\r"
      "print(\"turns: \", turns) ; a string with ; inside\r"
      "this line is long enough to reach the right edge of the grid and to go on beyond it\r";
  for (int32_t i = 0; i < 40; ++i) text += "goto top ; line " + std::to_string(12 + i) + "\r";
  editor_start(ed, text, f.store);
  ed.error_line = 8;
  run_keys(ed, "DOWN DOWN DOWN DOWN DOWN DOWN RIGHT RIGHT S+DOWN S+DOWN S+RIGHT S+RIGHT S+RIGHT S+RIGHT");
  editor_draw(f.gui, ed, 64 * 3);
  gui_present_no_cursor(f.gui);
  golden::expect_surface(f.screen.primary, "editors", "brain_editor_640", golden::kExact);
}

}  // namespace
}  // namespace korva::test
