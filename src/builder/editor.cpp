// Mode 6, the self-executable editor: the 500-row level list on 25 pages, the buttons to page,
// load, save, reset and build, the window name, and the choosers for each row's images and
// project. The list is saved to "data/multilev.ini" before a chooser opens and read back after
// it, since a chooser may load a project and so replace the editor's state.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kRowsPerPage = 20;
constexpr int32_t kPages = kLevelRows / kRowsPerPage;
constexpr int32_t kLastPageTop = kLevelRows - kRowsPerPage;
constexpr const char* kButtons[] = {"Previous Page (PagUp)", "Next Page (PagDn)", "Load List (L)", "Save List (S)",
                                    "Create Executable (X)", "Reset List", "Executable Name"};
constexpr int32_t kFieldX[3][2] = {{64, 156}, {160, 252}, {256, 348}};
constexpr int32_t kSwitchX1 = 352, kSwitchX2 = 396;
constexpr int32_t kImages = -1;  // the resource browser's kind for images

struct Editor {
  System& s;
  Core& c;
  Gui& g;
  LevelRows rows;
  int32_t top = 0;  // first row shown
  std::string list_name;
  std::string window_name;

  std::string three(int32_t n) {
    char t[16];
    std::snprintf(t, sizeof t, "%03d", n);
    return t;
  }

  // The file name without its folder and its 4-character extension.
  std::string shown_name(std::string_view path) {
    const size_t slash = path.find_last_of("/\\:");
    std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    if (name.size() >= 4) name.resize(name.size() - 4);
    return name;
  }

  void print_centred(std::string_view text, int32_t cx, int32_t y) {
    gui_print(g, text, cx - gui_text_width(g, text) / 2, y);
  }

  std::string help_at(int32_t mx, int32_t my) {
    const int32_t k = (my - 28) / 22;
    if (my < 28 || k >= kRowsPerPage) return {};
    if (mx >= 65 && mx <= 159) return "Select image to use as 'loading' message";
    if (mx >= 161 && mx <= 255) return "Select image to use as 'load complete' message (default_ = skip)";
    if (mx >= 257 && mx <= 351)
      return top + k == 0 ? "Select the project to compile as entry point"
                          : "Select the project to compile as sub-project " + three(top + k + 1);
    if (mx >= 353 && mx <= 399) return "Switch project compilation On/Off";
    return {};
  }

  void draw() {
    gui_window(g, 0, 0, 639, 479, true);
    gui_reset_buttons(g);
    for (int32_t b = 0; b < 7; ++b) {
      const int32_t slot = gui_add_button(g, 420, 29 + 28 * b, 620, 55 + 28 * b, ButtonStyle::Raised);
      gui_label_button(g, kButtons[b], slot);
    }
    gui_fill_box(g, 420, 310, 620, 330, 131);
    gui_set_colour(g, gui_rgb_index(255, 255, 255));
    print_centred("Page " + std::to_string(top / kRowsPerPage + 1) + " of " + std::to_string(kPages), 520, 320 - gui_font_height(g) / 2);
    for (int32_t k = 0; k < kRowsPerPage; ++k) {
      const int32_t row = top + k, y1 = 28 + 22 * k, y2 = y1 + 20;
      gui_inset_frame(g, 16, y1, 56, y2);
      gui_set_colour(g, gui_rgb_index(0, 0, 0));
      print_centred(three(row + 1), 40, y1 + 3);
      for (int32_t f = 0; f < 3; ++f) {
        gui_raised_frame(g, kFieldX[f][0], y1, kFieldX[f][1], y2);
        gui_set_colour(g, gui_rgb_index(0, 0, 0));
        gui_print(g, shown_name(field_view(rows[size_t(row)], f + 1, '|')), kFieldX[f][0] + 4, y1 + 3);
      }
      gui_raised_frame(g, kSwitchX1, y1, kSwitchX2, y2);
      if (row_switched_on(c, rows[size_t(row)])) gui_fill_box(g, kSwitchX1 + 3, y1 + 3, kSwitchX2 - 3, y2 - 3, 218);
    }
    gui_fill_box(g, 110, 4, 594, 20, 81);
    gui_set_colour(g, gui_rgb_index(255, 255, 255));
    gui_print(g, help_at(g.mouse_x, g.mouse_y), 114, 5);
  }

  void save_rows() { save_level_list(c, rows, ""); }
  void reload_rows() { rows = load_level_list(c, ""); }

  std::string list_file(std::string_view name) { return std::string(c.base_folder->view()) + "multilev/" + std::string(name) + ".mlv"; }

  // Before a chooser opens the rows go to "data/multilev.ini" and afterwards they are read back:
  // a chooser may load a project and so replace the editor's state.
  void load_list() {
    save_rows();
    const std::string chosen = choose_file(g, std::string(c.base_folder->view()) + "multilev/", "*.mlv");
    reload_rows();
    if (chosen.empty()) return;
    rows = load_level_list(c, chosen);
    const size_t slash = chosen.find_last_of('/');
    const std::string file = chosen.substr(slash == std::string::npos ? 0 : slash + 1);
    list_name = file.substr(0, file.rfind('.'));
  }

  void save_list() {
    const std::string answer = ask_text(c, 400, list_name, "Save the current projects list as..");
    const std::string name = answer.substr(0, answer.find('.'));
    if (name.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(std::string(c.base_folder->view()) + "multilev", ec);
    if (file_exists(c, list_file(name)) &&
        ask_question(c, "Using the name '" + name + "' you overwrite an existing list, continue?", " YES ", " NO! ") != 1)
      return;
    if (save_level_list(c, rows, list_file(name))) list_name = name;
  }

  void reset_list() {
    if (ask_question(c, "Are you sure you want to reset the current list?", " NO ", " YES ") == 2) rows = fresh_level_rows(c);
  }

  void edit_window_name() {
    std::string name = ask_text(c, 500, window_name, "Self-executable minimized window name (32 chrs max.)");
    if (name.size() > size_t(kWindowNameChars)) name.resize(kWindowNameChars);
    window_name = name;
  }

  // Fields 1 and 2 are cut-scene images, field 3 the level's project.
  void choose(int32_t row, int32_t field) {
    if (row < 0 || row >= int32_t(rows.size())) return;
    save_rows();
    std::string chosen;
    if (field == 3) {
      chosen = browse_projects(g, *s.model);
    } else {
      std::string start(field_view(rows[size_t(row)], field, '|'));
      if (start.empty()) start = std::string(c.base_folder->view()) + "images/black_.bmp";
      PreviewDevice preview{s.devices, s.gl};
      chosen = browse_resources(g, start, kImages, "Choose a .bmp cutscene", &preview);
    }
    reload_rows();
    if (!chosen.empty()) set_row_field(rows[size_t(row)], field, chosen);
  }

  // Field n (from 1) of a row's "|" fields replaced; missing fields are added empty.
  static void set_row_field(std::string& row, int32_t n, std::string_view value) {
    std::vector<std::string> fields = fields_split(row, '|');
    while (int32_t(fields.size()) < n) fields.emplace_back();
    fields[size_t(n - 1)] = std::string(value);
    row.clear();
    for (size_t k = 0; k < fields.size(); ++k) row += (k ? "|" : "") + fields[k];
    if (row.size() > size_t(kStrCapacity)) row.resize(kStrCapacity);
  }

  // Returns true when the editor ends.
  bool click(int32_t mx, int32_t my) {
    for (int32_t b = 0; b < 7; ++b) {
      if (mx < 420 || mx > 620 || my < 29 + 28 * b || my > 55 + 28 * b) continue;
      switch (b) {
        case 0: page(-1); return false;
        case 1: page(1); return false;
        case 2: load_list(); return false;
        case 3: save_list(); return false;
        case 4: return true;  // the build
        case 5: reset_list(); return false;
        default: edit_window_name(); return false;
      }
    }
    const int32_t k = (my - 28) / 22;
    if (my < 28 || k >= kRowsPerPage || (my - 28) % 22 > 20) return false;
    const int32_t row = top + k;
    for (int32_t f = 0; f < 3; ++f)
      if (mx >= kFieldX[f][0] && mx <= kFieldX[f][1]) choose(row, f + 1);
    if (mx >= kSwitchX1 && mx <= kSwitchX2) toggle_row(c, rows, row);
    return false;
  }

  void page(int32_t by) { top = std::clamp(top + by * kRowsPerPage, 0, kLastPageTop); }
};

}  // namespace

void self_executable_editor(System& s) {
  if (!s.gui) return;
  Gui& g = *s.gui;
  Editor e{s, *s.core, g, load_level_list(*s.core, ""), 0, {}, {}};
  e.window_name = std::string(s.model->paths[pth::kExeTitle].view()).substr(0, kWindowNameChars);
  if (s.input) drain_keys(*s.input);
  bool build = false, was_down = false;
  while (true) {
    e.draw();
    gui_present(g);
    gui_pump(g);
    int32_t scan = 0;
    std::string key;
    if (s.input) {
      key = std::string(next_key(*s.core, *s.input).view());
      scan = s.input->last_key;
    }
    const char ch = key.empty() ? 0 : char(key[0] | 0x20);
    if (scan == kScanEscape) break;
    if (scan == kScanPageUp) e.page(-1);
    if (scan == kScanPageDown) e.page(1);
    if (ch == 'l') e.load_list();
    if (ch == 's') e.save_list();
    if (ch == 'x') {
      build = true;
      break;
    }
    const bool down = (gui_mouse_buttons(g) & 1) != 0;
    if (down && !was_down) {
      if (gui_button_at_mouse(g) == kGuiCloseBoxHit) break;
      if (e.click(g.mouse_x, g.mouse_y)) {
        build = true;
        break;
      }
    }
    was_down = down;
    // Without more input the editor ends as Escape would.
    if (s.input && s.input->read == s.input->write && gui_input_exhausted(g)) break;
  }
  e.save_rows();
  if (e.window_name != std::string(s.model->paths[pth::kExeTitle].view())) {
    str_set(s.model->paths[pth::kExeTitle], e.window_name);
    write_paths(*s.core, *s.model);
  }
  if (!build) return;
  BuildOptions o;
  o.window_name = e.window_name;
  build_standalone(s, o);
}

}  // namespace korva
