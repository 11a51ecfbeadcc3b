// The full-screen text editor of brains and the other line-oriented text files: an 80 x 40 grid
// over a text of carriage-return lines, the keys, the undo ring, find, indent-all, the clipboard,
// and writing the text back when the user leaves.
#include <algorithm>
#include <cstdio>
#include <string>

#include "brain/brain.h"
#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "platform/platform.h"

namespace korva {
namespace {

constexpr char kCr = '\r';
constexpr int32_t kRowHeight = 12, kColumnWidth = 8;

enum ScanLetter : int32_t {
  kScanA = 30, kScanC = 46, kScanD = 32, kScanH = 35, kScanR = 19, kScanU = 22, kScanV = 47,
  kScanX = 45, kScanF2 = 60, kScanF3 = 61, kScanF4 = 62,
};

bool shift_held(int32_t m) { return (m & 1) != 0; }
bool ctrl_held(int32_t m) { return (m & 4) != 0; }
bool alt_held(int32_t m) { return (m & 8) != 0; }

char lower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

int32_t line_count(const std::string& t) {
  return static_cast<int32_t>(std::count(t.begin(), t.end(), kCr));
}

size_t line_start(const std::string& t, int32_t line) {
  size_t p = 0;
  for (int32_t k = 0; k < line && p < t.size(); ++k) {
    const size_t cr = t.find(kCr, p);
    if (cr == std::string::npos) return t.size();
    p = cr + 1;
  }
  return p;
}

int32_t line_length(const std::string& t, size_t start) {
  const size_t cr = t.find(kCr, start);
  return static_cast<int32_t>((cr == std::string::npos ? t.size() : cr) - start);
}

int32_t last_line(const TextEditor& ed) { return std::max(0, line_count(ed.text) - 1); }

// Keeps a grid row on the text: the view never shows rows below the last line to the cursor.
int32_t clamp_row(const TextEditor& ed, int32_t row) {
  return std::clamp(row, 0, std::min(kEditorRows - 1, last_line(ed) - ed.top));
}

// The text offset of a grid cell. With `pad`, a cell beyond the end of its line first pads the
// line with spaces up to it; without, the offset stops at the line's end.
size_t offset_of(TextEditor& ed, int32_t row, int32_t col, bool pad) {
  const size_t start = line_start(ed.text, ed.top + row);
  const int32_t len = line_length(ed.text, start);
  if (col > len) {
    if (!pad) return start + static_cast<size_t>(len);
    ed.text.insert(start + static_cast<size_t>(len), static_cast<size_t>(col - len), ' ');
  }
  return start + static_cast<size_t>(col);
}

size_t offset_const(const TextEditor& ed, int32_t row, int32_t col) {
  const size_t start = line_start(ed.text, ed.top + row);
  return start + static_cast<size_t>(std::min(col, line_length(ed.text, start)));
}

int32_t cursor_line_length(const TextEditor& ed) {
  return line_length(ed.text, line_start(ed.text, ed.top + ed.row));
}

void take_snapshot(TextEditor& ed) {
  // A change after undo starts a new history from the state undone to.
  ed.ring.resize(static_cast<size_t>(std::min<int32_t>(ed.at, static_cast<int32_t>(ed.ring.size()))));
  // The same text twice would make one undo step change nothing.
  if (!ed.ring.empty() && ed.ring.back().text == ed.text) ed.ring.pop_back();
  ed.ring.push_back({ed.top, ed.col, ed.row, ed.text});
  if (static_cast<int32_t>(ed.ring.size()) > kEditorUndoSlots) ed.ring.erase(ed.ring.begin());
  ed.at = static_cast<int32_t>(ed.ring.size());
}

void restore(TextEditor& ed, const EditorSnapshot& s) {
  ed.text = s.text;
  ed.top = s.top;
  ed.col = s.col;
  ed.row = s.row;
  ed.sel_col = ed.col;
  ed.sel_row = ed.row;
}

void undo(TextEditor& ed) {
  const int32_t n = static_cast<int32_t>(ed.ring.size());
  if (ed.at >= n) {
    // At the newest state: keep it, so that redo can come back to it.
    if (ed.ring.empty() || ed.ring.back().text != ed.text) ed.ring.push_back({ed.top, ed.col, ed.row, ed.text});
    if (static_cast<int32_t>(ed.ring.size()) > kEditorUndoSlots) ed.ring.erase(ed.ring.begin());
    ed.at = static_cast<int32_t>(ed.ring.size()) - 1;
  }
  if (ed.at <= 0) return;
  --ed.at;
  restore(ed, ed.ring[static_cast<size_t>(ed.at)]);
}

void redo(TextEditor& ed) {
  if (ed.at + 1 >= static_cast<int32_t>(ed.ring.size())) return;
  ++ed.at;
  restore(ed, ed.ring[static_cast<size_t>(ed.at)]);
}

bool fits(const TextEditor& ed, size_t more) { return ed.text.size() + more <= kEditorTextLimit; }

void collapse(TextEditor& ed) {
  ed.sel_col = ed.col;
  ed.sel_row = ed.row;
}

// Deletes the selection (after a snapshot); false when there is none.
bool delete_selection(TextEditor& ed) {
  if (!editor_has_selection(ed)) return false;
  take_snapshot(ed);
  const size_t a = offset_of(ed, ed.row, ed.col, true);
  const size_t b = offset_of(ed, ed.sel_row, ed.sel_col, false);
  if (b > a) ed.text.erase(a, b - a);
  collapse(ed);
  return true;
}

void insert_at_cursor(TextEditor& ed, std::string_view s) {
  const size_t a = offset_of(ed, ed.row, ed.col, true);
  ed.text.insert(a, s);
}

void type_character(TextEditor& ed, char ch) {
  if (ed.col >= kEditorColumns - 1) return;
  delete_selection(ed);
  // Padding up to the cursor counts as well.
  if (!fits(ed, 1 + static_cast<size_t>(std::max(0, ed.col - cursor_line_length(ed))))) return;
  insert_at_cursor(ed, std::string(1, ch));
  ++ed.col;
  collapse(ed);
}

void move_down(TextEditor& ed) {
  if (ed.top + ed.row >= last_line(ed)) return;
  if (ed.row < kEditorRows - 1)
    ++ed.row;
  else
    ++ed.top;
}

void move_up(TextEditor& ed) {
  if (ed.row > 0)
    --ed.row;
  else if (ed.top > 0)
    --ed.top;
}

void enter(TextEditor& ed) {
  delete_selection(ed);
  if (!fits(ed, 1)) return;
  const size_t a = offset_of(ed, ed.row, ed.col, false);
  ed.text.insert(a, 1, kCr);
  ed.col = 0;
  move_down(ed);
  collapse(ed);
}

void backspace(TextEditor& ed) {
  if (delete_selection(ed)) return;
  if (ed.row == 0 && ed.col == 0) return;
  const int32_t len = cursor_line_length(ed);
  if (ed.col > len) {
    --ed.col;  // beyond the end of the line there is nothing to delete
  } else if (ed.col > 0) {
    ed.text.erase(offset_of(ed, ed.row, ed.col, false) - 1, 1);
    --ed.col;
  } else {
    // Joins the line to the one above.
    const size_t start = line_start(ed.text, ed.top + ed.row);
    const int32_t above = line_length(ed.text, line_start(ed.text, ed.top + ed.row - 1));
    ed.text.erase(start - 1, 1);
    --ed.row;
    ed.col = std::min(above, kEditorColumns - 1);
  }
  collapse(ed);
}

void delete_key(TextEditor& ed) {
  if (delete_selection(ed)) return;
  if (ed.col < cursor_line_length(ed)) ed.text.erase(offset_of(ed, ed.row, ed.col, false), 1);
}

void tab(TextEditor& ed) {
  if (ed.col >= kEditorColumns - 2) return;
  const int32_t n = ed.col % 2 == 0 ? 2 : 1;
  if (!fits(ed, static_cast<size_t>(n + std::max(0, ed.col - cursor_line_length(ed))))) return;
  insert_at_cursor(ed, std::string(static_cast<size_t>(n), ' '));
  ed.col += n;
  collapse(ed);
}

void move_selection_end(TextEditor& ed, int32_t scan) {
  switch (scan) {
    case kScanLeft: ed.sel_col = std::max(0, ed.sel_col - 1); break;
    case kScanRight: ed.sel_col = std::min(kEditorColumns - 1, ed.sel_col + 1); break;
    case kScanUp: ed.sel_row = std::max(0, ed.sel_row - 1); break;
    case kScanDown: ed.sel_row = clamp_row(ed, ed.sel_row + 1); break;
    default: break;
  }
}

void move_cursor(TextEditor& ed, int32_t scan) {
  switch (scan) {
    case kScanLeft: ed.col = std::max(0, ed.col - 1); break;
    case kScanRight: ed.col = std::min(kEditorColumns - 1, ed.col + 1); break;
    case kScanUp: move_up(ed); break;
    case kScanDown: move_down(ed); break;
    default: break;
  }
  collapse(ed);
}

void page_up(TextEditor& ed) {
  ed.top = std::max(0, ed.top + ed.row - kEditorRows);
  ed.row = 0;
  collapse(ed);
}

void page_down(TextEditor& ed) {
  ed.top = std::min(ed.top + ed.row + kEditorRows - 1, last_line(ed));
  ed.row = clamp_row(ed, kEditorRows - 1);
  collapse(ed);
}

void copy_selection(TextEditor& ed) {
  if (!editor_has_selection(ed)) return;
  ed.store->clip = editor_selection(ed);
  ed.store->clip_tagged = true;
  platform::clipboard_set_text(editor_text_to_bytes(ed.store->clip));
}

void tell(TextEditor& ed, std::string_view text) {
  if (ed.core) show_message(*ed.core, text);
}

void paste(TextEditor& ed) {
  const std::string system = platform::clipboard_get_text();
  if (!system.empty()) {
    // Line feeds and "|" go; the rest follows the opening rules, so that the text keeps only
    // what the editor can show. The store holds at most 65,535 characters.
    std::string taken;
    for (char ch : system) {
      if (ch == '\n' || ch == '|') continue;
      if (ch == '\t')
        taken += "   ";
      else if (ch == kCr || (ch >= ' ' && ch <= 'z'))
        taken += ch;
      if (taken.size() >= kEditorClipLimit) break;
    }
    taken.resize(std::min<size_t>(taken.size(), kEditorClipLimit));
    ed.store->clip = std::move(taken);
    ed.store->clip_tagged = true;
  }
  if (!ed.store->clip_tagged) return;
  const size_t pad = static_cast<size_t>(std::max(0, ed.col - cursor_line_length(ed)));
  const size_t selected = editor_has_selection(ed) ? editor_selection(ed).size() : 0;
  if (ed.text.size() - selected + pad + ed.store->clip.size() > kEditorTextLimit) {
    tell(ed, "The pasted text does not fit:|a text in the editor holds at most 65,520 characters.");
    return;
  }
  if (!delete_selection(ed)) take_snapshot(ed);
  insert_at_cursor(ed, ed.store->clip);
}

void delete_line(TextEditor& ed) {
  if (editor_has_selection(ed)) return;
  take_snapshot(ed);
  const size_t start = line_start(ed.text, ed.top + ed.row);
  const int32_t len = line_length(ed.text, start);
  ed.text.erase(start, static_cast<size_t>(std::min(len, kEditorColumns)));
}

void store_find(TextEditor& ed) {
  if (!editor_has_selection(ed)) return;
  TextEditorStore& s = *ed.store;
  s.find = editor_selection(ed).substr(0, kEditorFindLimit);
  s.find_width = ed.sel_col - ed.col;
  s.find_height = ed.sel_row - ed.row;
}

void find_next(TextEditor& ed) {
  const TextEditorStore& s = *ed.store;
  if (s.find.empty()) return;
  const size_t from = offset_const(ed, ed.row, ed.col) + 1;
  const size_t n = s.find.size();
  for (size_t p = from; p + n <= ed.text.size(); ++p) {
    size_t k = 0;
    while (k < n && lower(ed.text[p + k]) == lower(s.find[k])) ++k;
    if (k < n) continue;
    const int32_t line = static_cast<int32_t>(std::count(ed.text.begin(), ed.text.begin() + static_cast<std::ptrdiff_t>(p), kCr));
    ed.top = line;
    ed.row = 0;
    ed.col = std::min(static_cast<int32_t>(p - line_start(ed.text, line)), kEditorColumns - 1);
    ed.sel_row = clamp_row(ed, s.find_height);
    ed.sel_col = std::clamp(ed.col + s.find_width, 0, kEditorColumns);
    return;
  }
}

bool starts_with_word(std::string_view line, std::string_view word) {
  if (line.size() < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (lower(line[k]) != word[k]) return false;
  return true;
}

void indent_all(TextEditor& ed) {
  std::string out;
  int32_t depth = 0;
  size_t p = 0;
  while (p < ed.text.size()) {
    size_t cr = ed.text.find(kCr, p);
    if (cr == std::string::npos) cr = ed.text.size();
    std::string_view line(ed.text.data() + p, cr - p);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    int32_t indent = depth;
    if (starts_with_word(line, "if ")) {
      depth += 2;
    } else if (starts_with_word(line, "else")) {
      indent = std::max(0, depth - 2);
    } else if (starts_with_word(line, "endif")) {
      depth = std::max(0, depth - 2);
      indent = depth;
    }
    // An empty line gets no trailing blanks.
    if (!line.empty()) out.append(static_cast<size_t>(indent), ' ');
    out += line;
    if (cr < ed.text.size()) out += kCr;
    p = cr + 1;
  }
  if (out.size() <= kEditorTextLimit) ed.text = std::move(out);
}

}  // namespace

std::string editor_text_from_bytes(std::string_view bytes) {
  std::string t;
  t.reserve(bytes.size() + 1);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char ch = bytes[i];
    if (ch == '\t') {
      t += "   ";
    } else if (ch == '\n') {
      // Files written on Linux end their lines with a line feed alone.
      if (i == 0 || bytes[i - 1] != kCr) t += kCr;
    } else if (ch == kCr || (ch >= ' ' && ch <= 'z')) {
      t += ch;
    }
  }
  if (t.empty() || t.back() != kCr) t += kCr;
  std::string out;
  out.reserve(t.size());
  size_t p = 0;
  while (p < t.size()) {
    const size_t cr = t.find(kCr, p);
    size_t end = cr;
    while (end > p && t[end - 1] == ' ') --end;
    out.append(t, p, end - p);
    out += kCr;
    p = cr + 1;
  }
  return out;
}

std::string editor_text_to_bytes(std::string_view text) {
  std::string b;
  b.reserve(text.size() + text.size() / 16);
  for (char ch : text) {
    b += ch;
    if (ch == kCr) b += '\n';
  }
  return b;
}

std::string editor_refusal(std::string_view bytes) {
  if (bytes.size() > kEditorTextLimit) return "is larger than 65,520 bytes, more than the editor holds";
  // Text has no NUL bytes and few bytes outside the printable range; anything else would lose
  // most of its bytes to the opening rules when written back.
  int64_t odd = 0;
  for (char ch : bytes) {
    const auto u = static_cast<uint8_t>(ch);
    if (u == 0) return "is not a text file";
    if (u < 32 && ch != '\t' && ch != '\r' && ch != '\n') ++odd;
  }
  if (odd * 20 > static_cast<int64_t>(bytes.size())) return "is not a text file";
  if (editor_text_from_bytes(bytes).size() > kEditorTextLimit)
    return "becomes longer than 65,520 characters with its tabs as spaces, more than the editor holds";
  return {};
}

void editor_start(TextEditor& ed, std::string text, TextEditorStore& store) {
  ed.text = std::move(text);
  if (ed.text.empty() || ed.text.back() != kCr) ed.text += kCr;
  ed.top = ed.col = ed.row = ed.sel_col = ed.sel_row = 0;
  ed.ring.clear();
  ed.at = 0;
  ed.store = &store;
  take_snapshot(ed);
}

bool editor_has_selection(const TextEditor& ed) {
  return ed.sel_row > ed.row || (ed.sel_row == ed.row && ed.sel_col > ed.col);
}

std::string editor_selection(const TextEditor& ed) {
  if (!editor_has_selection(ed)) return {};
  const size_t a = offset_const(ed, ed.row, ed.col);
  const size_t b = offset_const(ed, ed.sel_row, ed.sel_col);
  return b > a ? ed.text.substr(a, b - a) : std::string();
}

int32_t editor_line_number(const TextEditor& ed) { return ed.top + ed.row + 1; }

void editor_collapse(TextEditor& ed) { collapse(ed); }

void editor_wheel(TextEditor& ed, int32_t lines) {
  ed.top = std::clamp(ed.top + lines, 0, last_line(ed));
  ed.row = clamp_row(ed, ed.row);
  ed.sel_row = clamp_row(ed, ed.sel_row);
}

void editor_click(TextEditor& ed, int32_t x, int32_t y) {
  ed.col = std::clamp(x / kColumnWidth, 0, kEditorColumns - 1);
  ed.row = clamp_row(ed, y / kRowHeight);
  collapse(ed);
}

void editor_drag(TextEditor& ed, int32_t x, int32_t y) {
  int32_t col = std::clamp(x / kColumnWidth, 0, kEditorColumns - 1);
  int32_t row = clamp_row(ed, y / kRowHeight);
  if (col == 0 && row > 0) {
    // Into column 0 below the first row: up to the end of the row above.
    --row;
    col = kEditorColumns;
  }
  ed.sel_col = col;
  ed.sel_row = row;
}

int32_t editor_key(TextEditor& ed, int32_t scan, int32_t character, int32_t modifiers) {
  if (ctrl_held(modifiers)) {
    switch (scan) {
      case kScanX:
        if (editor_has_selection(ed)) {
          copy_selection(ed);
          delete_selection(ed);
        }
        break;
      case kScanC: copy_selection(ed); break;
      case kScanV: paste(ed); break;
      case kScanA: indent_all(ed); break;
      case kScanU: undo(ed); break;
      case kScanR: redo(ed); break;
      case kScanH: return kEditorHelp;
      default: break;
    }
    return kEditorContinue;
  }
  if (alt_held(modifiers)) {
    if (scan == kScanD) delete_line(ed);
    return kEditorContinue;
  }
  const bool editing_key = scan == kScanEnter || scan == kScanBackspace || scan == kScanTab ||
                           scan == kScanEscape;
  if (!editing_key && character >= ' ' && character <= 'z') {
    type_character(ed, static_cast<char>(character));
    return kEditorContinue;
  }
  switch (scan) {
    case kScanEscape: return kEditorEscape;
    case kScanF1: return kEditorLoad;
    case kScanF2: return kEditorSaveAs;
    case kScanF3: find_next(ed); break;
    case kScanF4: store_find(ed); break;
    case kScanEnter: enter(ed); break;
    case kScanBackspace: backspace(ed); break;
    case kScanDelete: delete_key(ed); break;
    case kScanTab: tab(ed); break;
    case kScanHome: ed.col = 0; collapse(ed); break;
    case kScanEnd: ed.col = std::min(cursor_line_length(ed), kEditorColumns - 1); collapse(ed); break;
    case kScanPageUp: page_up(ed); break;
    case kScanPageDown: page_down(ed); break;
    case kScanLeft:
    case kScanRight:
    case kScanUp:
    case kScanDown:
      if (shift_held(modifiers))
        move_selection_end(ed, scan);
      else
        move_cursor(ed, scan);
      break;
    default: break;
  }
  return kEditorContinue;
}

void show_exit_option(Core& c, int32_t code) {
  if (code == -1 || code == INT32_MIN) return;
  std::string text;
  if (code == -2)
    text = "When compiled, exit to end screen";
  else if (code == -3)
    text = "When compiled, exit directly to Windows";
  else
    text = "When compiled, exit to sub-project " + std::to_string(code);
  if (c.ui.message_box) c.ui.message_box(text, " OK ", " OK ");
}

}  // namespace korva
