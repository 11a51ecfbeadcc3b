// The project browser: the resource kits below "projects/" and their projects, 30 to a page,
// with the kit's description, erasing and choosing. The kit and page indices stay in the
// editor state, so that the browser opens where the user left it.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kRowsPerPage = 30;
constexpr int32_t kRowPitch = 14;
struct BarButton {
  int32_t x1, x2;
  const char* label;
};
constexpr BarButton kBar[] = {{8, 144, "PREVIOUS PAGE"}, {148, 286, "NEXT PAGE"},
                              {290, 428, "PREVIOUS RES.KIT"}, {432, 570, "NEXT RES.KIT"},
                              {574, 624, "INFO"}};

struct Row {
  std::string shown;  // the name without ".prj", at most 75 characters
  std::string file;
};

std::string upper(std::string_view t) {
  std::string s(t);
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

bool less_nocase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

void load_font(Gui& g, std::string_view name) {
  if (g.core && g.core->data_folder) gui_load_font(g, std::string(g.core->data_folder->view()) + std::string(name));
}

}  // namespace

std::string browse_projects(Gui& g, Model& m) {
  const std::string base(g.core && g.core->base_folder ? g.core->base_folder->view() : std::string_view());
  int32_t& kit_index = m.state[est::kKitIndex];
  int32_t& page = m.state[est::kBrowserPage];
  int32_t direction = 1;  // of the last move between kits
  std::string chosen;
  const bool hidden = g.cursor_hidden;
  gui_hide_cursor(g, false);
  gui_flush_input(g);
  load_font(g, "font8.fnt");
  const int32_t text = gui_skin_colour(g, skin::kWindowTextX);
  const int32_t list_text = gui_skin_colour(g, skin::kInputTextX);

  bool leave = false;
  while (!leave) {
    // Steps 1..3: the kit, its description and projects; empty kits are passed over in the
    // direction of travel (each at most once, so that no projects at all still ends).
    const std::vector<std::string> kits = resource_kits(base);
    std::string kit, kit_folder, description;
    std::vector<Row> rows;
    for (size_t tries = 0; tries <= kits.size() && !kits.empty(); ++tries) {
      kit_index = wrap_range(kit_index, 0, int32_t(kits.size()) - 1);
      kit = kits[size_t(kit_index)];
      kit_folder = base + "projects/" + kit + "/";
      std::vector<FileListEntry> entries;
      list_chooser_folder(kit_folder, "*.prj", entries);
      rows.clear();
      for (const FileListEntry& e : entries) {
        if (e.folder) continue;
        rows.push_back({e.name.substr(0, std::min<size_t>(75, e.name.size() - 4)), e.name});
      }
      if (!rows.empty()) break;
      kit_index += direction;
    }
    if (rows.empty()) {
      gui_message_box(g, "No projects found below " + base + "projects/", " OK ", "");
      break;
    }
    description = kit_description(kit_folder);
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return less_nocase(a.shown, b.shown); });
    const int32_t pages = (int32_t(rows.size()) - 1) / kRowsPerPage + 1;

    // Steps 5..7 until the kit changes or the user leaves.
    bool next_kit = false;
    while (!next_kit && !leave) {
      page = wrap_range(page, 0, pages - 1);
      gui_clear(g);
      gui_window(g, 0, 0, kGuiWidth, kGuiHeight, true);
      gui_reset_buttons(g);
      const std::string header = "Current resource-kit: " + upper(kit) + " (page " + std::to_string(page + 1) +
                                 " of " + std::to_string(pages) + ")";
      gui_print_in(g, header, 354 - gui_text_width(g, header) / 2, 12 - gui_font_height(g) / 2,
                   gui_rgb_index(255, 255, 255));
      gui_inset_frame(g, 8, 32, 624, 448);
      gui_fill_box(g, 12, 36, 620, 444, gui_skin_colour(g, skin::kInputFillX));
      for (int32_t r = 0; r < kRowsPerPage; ++r) {
        const size_t i = size_t(page * kRowsPerPage + r);
        if (i >= rows.size()) break;
        gui_print_in(g, rows[i].shown, 16, 32 + kRowPitch * r + 3, list_text);
      }
      // The bar's five buttons, each labelled with its word of the caption: the panel font is
      // proportional, so one caption line cannot line up with the buttons.
      for (size_t b = 0; b < std::size(kBar); ++b) {
        const int32_t slot = gui_add_button(g, kBar[b].x1, 452, kBar[b].x2, 472, ButtonStyle::Raised);
        gui_set_colour(g, text);
        gui_label_button(g, kBar[b].label, slot);
      }
      gui_present(g);

      // Step 6: a press, the close box, or Escape, Backspace or the arrows.
      int32_t scan = 0, buttons = 0;
      while (true) {
        gui_present(g);
        gui_pump(g);
        if (g.input && g.input->read != g.input->write) {
          next_key(*g.core, *g.input);
          scan = g.input->last_key;
          if (scan == kScanEscape || scan == kScanBackspace || (scan >= 72 && scan <= 80)) break;
          scan = 0;
          continue;
        }
        buttons = gui_mouse_buttons(g);
        if (buttons != 0) break;
        if (gui_input_exhausted(g)) {
          scan = kScanEscape;
          break;
        }
      }
      const int32_t hit = buttons ? gui_button_at_mouse(g) : -1;
      const int32_t mx = g.mouse_x, my = g.mouse_y;
      if (buttons) gui_wait_release(g);

      if (scan == kScanEscape || hit == kGuiCloseBoxHit) {
        leave = true;
      } else if (scan == kScanLeft) {
        --page;
      } else if (scan == kScanRight) {
        ++page;
      } else if (scan == kScanUp || scan == kScanBackspace) {
        --kit_index, direction = -1, next_kit = true;
      } else if (scan == kScanDown) {
        ++kit_index, direction = 1, next_kit = true;
      } else if (buttons && my > 448) {
        if (mx < 144) {
          --page;
        } else if (mx >= 148 && mx <= 286) {
          ++page;
        } else if (mx >= 290 && mx <= 428) {
          --kit_index, direction = -1, next_kit = true;
        } else if (mx >= 432 && mx <= 570) {
          ++kit_index, direction = 1, next_kit = true;
        } else if (mx > 574) {
          gui_message_box(g, description, " OK ", "");
        }
      } else if (buttons && my >= 34) {
        const size_t i = size_t(page * kRowsPerPage + (my - 34) / kRowPitch);
        if (i < rows.size() && (my - 34) / kRowPitch < kRowsPerPage) {
          if (buttons & 1) {
            chosen = kit_folder + rows[i].file;
            leave = true;
          } else if (gui_message_box(g, "Do you really want to PERMANENTLY ERASE " + rows[i].file + "?", " NO! ",
                                     " YES ") == 2) {
            erase_resource(kit_folder + rows[i].file);
            next_kit = true;  // begin again at step 1 on the same kit
          }
        }
      }
    }
  }
  load_font(g, "font.fnt");
  gui_leave_screen(g, hidden);
  return chosen;
}

}  // namespace korva
