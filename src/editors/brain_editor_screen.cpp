// The brain editor's screen and its loop: the grid with comment and keyword colours, the
// selection, the cursor and the status strip; reading the file, the keys and the mouse, and
// writing the text back safely when the user leaves.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"

namespace korva {
namespace {

constexpr int32_t kTextColour = 210, kCommentColour = 131, kMarkColour = 218, kLineNumberColour = 7;
constexpr int32_t kTop = 3, kRowHeight = 12, kColumnWidth = 8;
// The font's cells are taller than a row: its characters are raised so that capitals and
// underscores both stay inside their row.
constexpr int32_t kGlyphRise = 4;
constexpr int32_t kMarkColumn = 78;  // a line reaching x 624 ends in ">" there
constexpr int32_t kStatusX = 479, kHelpX = 511, kStatusPeriod = 64, kHelpTextCount = 8;
constexpr std::string_view kHelpTexts =
    "Shft+Crs=range |    F1=load     |    F2=save     |F4/F3=store/find|^+U/R=undo/redo |"
    "Ctrl+A=indentall|Alt+D=deleteline|^+C/V=copy/paste";

struct Colours {
  int32_t keyword, selection, error_line, cursor, strip;
};

Colours colours() {
  return {gui_rgb_index(120, 200, 255), gui_rgb_index(40, 80, 150), gui_rgb_index(110, 20, 20),
          gui_rgb_index(255, 255, 255), 0};
}

bool word_char(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_';
}

// The words of the language's statements, coloured as the keywords are.
bool statement_word(std::string_view w) {
  for (std::string_view s : {"if", "else", "endif", "goto", "gosub", "return", "var", "user"})
    if (w == s) return true;
  // "user" runs into its unit: "usermet".
  for (std::string_view s : {"userele", "userint", "usermet", "userdeg", "uservel", "userspi"})
    if (w == s) return true;
  return false;
}

// The colour of every character of a line: comments from ";", keywords of the keyword table
// outside string literals, the rest in the text colour.
std::vector<int32_t> line_colours(std::string_view line, const Colours& k) {
  std::vector<int32_t> out(line.size(), kTextColour);
  bool quoted = false;
  size_t i = 0;
  while (i < line.size()) {
    const char ch = line[i];
    if (!quoted && ch == ';') {
      std::fill(out.begin() + static_cast<std::ptrdiff_t>(i), out.end(), kCommentColour);
      break;
    }
    if (ch == '"') quoted = !quoted;
    if (!quoted && word_char(ch) && (i == 0 || !word_char(line[i - 1]))) {
      size_t j = i;
      std::string word;
      while (j < line.size() && word_char(line[j])) {
        const char c = line[j++];
        word += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      }
      if (word.size() > 1 && !(word[0] >= '0' && word[0] <= '9') &&
          (keyword_find(word) >= 0 || statement_word(word)))
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(i), out.begin() + static_cast<std::ptrdiff_t>(j), k.keyword);
      i = j;
      continue;
    }
    ++i;
  }
  return out;
}

// Prints one character in a cell (centred when the font's character is narrower than a cell).
void print_cell(Gui& g, char ch, int32_t col, int32_t row, int32_t colour) {
  if (ch < ' ' || ch > 'z' || ch == ' ') return;
  const char text[2] = {ch, 0};
  const int32_t w = gui_text_width(g, std::string_view(text, 1));
  const int32_t x = col * kColumnWidth + std::max(0, (kColumnWidth - w) / 2);
  gui_print_in(g, std::string_view(text, 1), x, kTop + row * kRowHeight - kGlyphRise, colour);
}

int32_t take_character(Gui& g, int32_t& scan) {
  const FixedString& k = next_key(*g.core, *g.input);
  scan = g.input->last_key;
  return k.len > 0 ? static_cast<uint8_t>(k.text[0]) : 0;
}

bool keys_waiting(const Gui& g) { return g.input && g.input->read != g.input->write; }

// The text goes back to its file through a temporary and a rename. When the file's folder
// cannot be written, the text is kept in "temp/" below the base folder and the user is told
// where, so that the editing is not lost.
void write_back(Gui& g, std::string_view path, const std::string& text) {
  Core& c = *g.core;
  const std::string bytes = editor_text_to_bytes(text);
  if (file_write_safely(path, bytes.data(), static_cast<int64_t>(bytes.size()))) return;
  std::string name(file_part(c, path).view());
  if (name.empty()) name = "brain.brn";
  const std::string copy = std::string(c.base_folder->view()) + "temp/" + name;
  if (file_write_safely(copy, bytes.data(), static_cast<int64_t>(bytes.size())))
    show_message(c, "The text could not be written to|" + std::string(path) + "|It was kept in|" + copy);
  else
    show_message(c, "The text could not be written to|" + std::string(path) + "|nor to|" + copy +
                        "|The changes are lost.");
}

}  // namespace

void editor_draw(Gui& g, const TextEditor& ed, int64_t frame) {
  const Colours k = colours();
  GuiFont panel_font;
  const bool own_font = ed.store && ed.store->font.count > 0;
  if (own_font) std::swap(panel_font, g.font), g.font = ed.store->font;
  gui_clear(g);
  const std::string& t = ed.text;
  size_t p = 0;
  for (int32_t line = 0; line < ed.top && p < t.size(); ++line) p = t.find('\r', p) + 1;
  std::vector<std::string_view> lines;
  for (int32_t row = 0; row < kEditorRows && p < t.size(); ++row) {
    size_t cr = t.find('\r', p);
    if (cr == std::string::npos) cr = t.size();
    lines.emplace_back(t.data() + p, cr - p);
    p = cr + 1;
  }
  // Backgrounds first: a character's underscore reaches into the row below.
  for (int32_t row = 0; row < static_cast<int32_t>(lines.size()); ++row) {
    const std::string_view line = lines[static_cast<size_t>(row)];
    const int32_t y = kTop + row * kRowHeight;
    if (ed.error_line == ed.top + row + 1)
      gui_fill_clipped(g, 0, y, kGuiWidth - 1, y + kRowHeight - 1, k.error_line);
    // The selection runs from the cursor to the selection end.
    if (editor_has_selection(ed) && row >= ed.row && row <= ed.sel_row) {
      const int32_t from = row == ed.row ? ed.col : 0;
      const int32_t len = static_cast<int32_t>(line.size());
      int32_t to = row == ed.sel_row ? std::min(ed.sel_col, len) : len + 1;
      if (row == ed.sel_row && row == ed.row) to = std::min(ed.sel_col, std::max(len, from));
      if (to > from)
        gui_fill_clipped(g, from * kColumnWidth, y, std::min(to, kEditorColumns) * kColumnWidth - 1,
                         y + kRowHeight - 1, k.selection);
    }
  }
  for (int32_t row = 0; row < static_cast<int32_t>(lines.size()); ++row) {
    const std::string_view line = lines[static_cast<size_t>(row)];
    const std::vector<int32_t> colour = line_colours(line, k);
    const int32_t shown = std::min<int32_t>(static_cast<int32_t>(line.size()), kMarkColumn);
    for (int32_t col = 0; col < shown; ++col) print_cell(g, line[static_cast<size_t>(col)], col, row, colour[static_cast<size_t>(col)]);
    if (static_cast<int32_t>(line.size()) > kMarkColumn) print_cell(g, '>', kMarkColumn, row, kMarkColour);
  }
  // The cursor: a bar under its cell.
  const int32_t cx = ed.col * kColumnWidth, cy = kTop + ed.row * kRowHeight + kRowHeight - 3;
  gui_fill_clipped(g, cx, cy, cx + kColumnWidth - 1, cy + 1, k.cursor);

  // The status strip: the line number and one of the help texts, the next every 64 frames.
  const int32_t strip_y = kTop + (kEditorRows - 1) * kRowHeight;
  gui_fill_clipped(g, kStatusX - 3, strip_y - 1, kGuiWidth - 1, kGuiHeight - 1, k.strip);
  gui_print_in(g, std::to_string(editor_line_number(ed)), kStatusX, strip_y - kGlyphRise, kLineNumberColour);
  const int32_t help = static_cast<int32_t>((frame / kStatusPeriod) % kHelpTextCount);
  size_t start = 0;
  for (int32_t i = 0; i < help; ++i) start = kHelpTexts.find('|', start) + 1;
  const size_t end = kHelpTexts.find('|', start);
  gui_print_in(g, kHelpTexts.substr(start, end == std::string_view::npos ? end : end - start),
               kHelpX, strip_y - kGlyphRise, kMarkColour);
  if (own_font) g.font = std::move(panel_font);
}

int32_t brain_editor(Gui& g, std::string_view path, TextEditorStore& store, int32_t error_line) {
  Core& c = *g.core;
  const std::string file(path);
  std::vector<uint8_t> bytes;
  const int64_t size = file_size(c, file);
  std::string refusal;
  if (size > kEditorTextLimit)
    refusal = "is larger than 65,520 bytes, more than the editor holds";
  else if (size > 0 && !read_whole_file(file, bytes, kEditorTextLimit))
    refusal = "cannot be read";
  else
    refusal = editor_refusal(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!refusal.empty()) {
    show_message(c, "The file|" + file + "|" + refusal + ":|it is left as it is.");
    return kEditorEscape;
  }
  if (store.font.count == 0) bitmap_font_load(c, store.font, std::string(c.data_folder->view()) + "editor.fnt");

  TextEditor ed;
  ed.core = &c;
  editor_start(ed, editor_text_from_bytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())), store);
  ed.error_line = error_line;
  // Show the highlighted line from the start.
  if (error_line > kEditorRows) ed.top = std::min(error_line - kEditorRows / 2, std::max(0, static_cast<int32_t>(std::count(ed.text.begin(), ed.text.end(), '\r')) - 1));

  gui_flush_input(g);
  int64_t frame = 0;
  bool was_down = false, was_shift = false;
  int32_t code = kEditorContinue;
  while (code == kEditorContinue) {
    editor_draw(g, ed, frame++);
    gui_present_no_cursor(g);
    gui_pump(g);
    if (!g.input) break;
    const int32_t modifiers = read_modifiers(*g.input);
    const bool shift = (modifiers & 1) != 0;
    if (was_shift && !shift) editor_collapse(ed);
    was_shift = shift;
    if (const int32_t w = wheel_read(*g.input); w != 0) editor_wheel(ed, w < 0 ? -3 : 3);
    const bool down = (gui_mouse_buttons(g) & 1) != 0;
    if (down && !was_down)
      editor_click(ed, g.mouse_x, g.mouse_y);
    else if (down)
      editor_drag(ed, g.mouse_x, g.mouse_y);
    was_down = down;
    while (code == kEditorContinue && keys_waiting(g)) {
      int32_t scan = 0;
      const int32_t ch = take_character(g, scan);
      code = editor_key(ed, scan, ch, read_modifiers(*g.input));
    }
    // Nobody left to type: the editor ends as Escape would.
    if (code == kEditorContinue && !keys_waiting(g) && gui_input_exhausted(g)) code = kEditorEscape;
  }
  if (code == kEditorContinue) code = kEditorEscape;
  gui_clear(g);
  gui_clear_display(g);
  write_back(g, file, ed.text);
  gui_flush_input(g);
  return code;
}

}  // namespace korva
