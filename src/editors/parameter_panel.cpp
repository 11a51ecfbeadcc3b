// The parameter panel of an element (its brain's "user" parameters, one at a time), choosing
// another brain for an element, and saving a brain under a new name.
#include <algorithm>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr GuiRect kPanel{16, 16, 624, 464};
constexpr GuiRect kDescription{36, 104, 600, 186};
constexpr GuiRect kHelp{36, 216, 600, 318};
constexpr GuiRect kValue{36, 338, 604, 370};

std::string field_text(Core& c, int32_t element, int32_t field) {
  return std::string(element_field(c, element, field).view());
}

// The entries of the configuration the panel shows: types 0..6 ("var" entries are skipped).
std::vector<int32_t> shown_entries(Core& c, int32_t element) {
  std::vector<int32_t> shown;
  const int32_t n = param_count(c, element);
  for (int32_t j = 0; j < n; ++j) {
    const int32_t kind = param_kind(c, element, j);
    if (kind >= 0 && kind <= 6) shown.push_back(j);
  }
  return shown;
}

void print_wrapped(Gui& g, std::string_view text, const GuiRect& box, int32_t ink) {
  const int32_t fh = gui_font_height(g);
  int32_t y = box.y1;
  std::string line;
  size_t p = 0;
  auto flush = [&] {
    if (y + fh <= box.y2 + 1) gui_print_in(g, line, box.x1, y, ink);
    y += fh;
    line.clear();
  };
  while (p < text.size()) {
    size_t end = text.find(' ', p);
    if (end == std::string_view::npos) end = text.size();
    const std::string word(text.substr(p, end - p));
    p = end + 1;
    const std::string wider = line.empty() ? word : line + " " + word;
    if (!line.empty() && gui_text_width(g, wider) > box.x2 - box.x1) {
      flush();
      line = word;
    } else {
      line = wider;
    }
  }
  if (!line.empty()) flush();
}

}  // namespace

void parameter_panel(Gui& g, Model& m, int32_t element) {
  Core& c = *g.core;
  if (element < 0 || element > m.last_index) return;
  const std::string brain = field_text(c, element, fld::kBrain);
  std::vector<int32_t> shown = shown_entries(c, element);
  int32_t at = 0;
  {
    // Back where the panel was left last time.
    const int32_t entry = str_to_int(element_field(c, element, fld::kPanelPos1).view());
    for (size_t k = 0; k < shown.size(); ++k)
      if (shown[k] == entry) at = static_cast<int32_t>(k);
  }
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  std::string editing;  // the value with the caret ("|") of the field being edited
  int32_t editing_entry = -1;
  bool was_down = false;
  gui_flush_input(g);
  while (true) {
    const int32_t count = static_cast<int32_t>(shown.size());
    const int32_t entry = count > 0 ? shown[static_cast<size_t>(at)] : -1;
    if (entry != editing_entry) {
      editing = std::string(param_value(c, element, entry).view()) + "|";
      editing_entry = entry;
    }
    gui_clear(g);
    gui_window(g, kPanel.x1, kPanel.y1, kPanel.x2, kPanel.y2, true);
    gui_reset_buttons(g);
    const int32_t type = str_to_int(element_field(c, element, fld::kType).view());
    gui_print_in(g, std::string(element_name(c, element).view()) + " (" + std::string(type_name(c, type).view()) + ")",
                 kPanel.x1 + 20, kPanel.y1 + 34, ink);
    const std::string title = count > 0 ? "Editing Parameter " + std::to_string(at + 1) + " of " +
                                              std::to_string(count) + " (PagUp/PagDown keys = Previous/Next)"
                                        : "This element's brain has no parameters to edit";
    gui_print_in(g, title, kPanel.x1 + 20, kPanel.y1 + 54, ink);
    gui_inset_frame(g, kDescription.x1 - 8, kDescription.y1 - 6, kDescription.x2 + 8, kDescription.y2 + 8);
    brain_description_box(g, brain, kDescription);
    int32_t value_slot = -1, previous = -1, next = -1, reset = -1, group = -1;
    if (count > 0) {
      gui_inset_frame(g, kHelp.x1 - 8, kHelp.y1 - 6, kHelp.x2 + 8, kHelp.y2 + 8);
      print_wrapped(g, parameter_help(c, element, at), kHelp, ink);
      if (param_kind(c, element, entry) == 1) {
        value_slot = gui_add_button(g, kValue.x1, kValue.y1, kValue.x2, kValue.y2, ButtonStyle::Raised);
        const int32_t target = str_to_int(param_value(c, element, entry).view());
        gui_label_button(g, target >= 0 && target <= m.last_index ? std::string(element_name(c, target).view()) : "(no element)",
                         value_slot);
      } else {
        value_slot = gui_add_button(g, kValue.x1, kValue.y1, kValue.x2, kValue.y2, ButtonStyle::Inset);
      }
      if (count > 1) {
        previous = gui_add_button(g, 36, 392, 96, 420, ButtonStyle::Raised);
        gui_label_button(g, "<<", previous);
        next = gui_add_button(g, 104, 392, 164, 420, ButtonStyle::Raised);
        gui_label_button(g, ">>", next);
      }
      reset = gui_add_button(g, 188, 392, 276, 420, ButtonStyle::Raised);
      gui_label_button(g, "Reset", reset);
      if (str_to_int(element_field(c, element, fld::kGroupFlag).view()) > 0) {
        group = gui_add_button(g, 300, 392, 520, 420, ButtonStyle::Raised);
        gui_label_button(g, "Apply Setting To Group", group);
      }
    }
    const bool text_value = value_slot >= 0 && param_kind(c, element, entry) != 1;
    if (text_value) {
      std::string shown_text = editing;
      shown_text.erase(shown_text.find('|'), 1);
      gui_field_text(g, shown_text, value_slot);
    }
    gui_present(g);
    gui_pump(g);
    std::string key;
    int32_t scan = 0;
    if (g.input && g.input->read != g.input->write) {
      key = std::string(next_key(c, *g.input).view());
      scan = g.input->last_key;
    }
    if (scan == kScanEscape) break;
    const bool down = (gui_mouse_buttons(g) & 1) != 0;
    const int32_t clicked = down && !was_down ? gui_button_at_mouse(g) : -1;
    was_down = down;
    if (clicked == kGuiCloseBoxHit) break;
    int32_t step = 0;
    if (scan == kScanPageUp || (clicked >= 0 && clicked == previous)) step = -1;
    if (scan == kScanPageDown || (clicked >= 0 && clicked == next)) step = 1;
    if (count > 0 && step != 0) {
      at = (at + step + count) % count;
      continue;
    }
    if (text_value && scan != 0) {
      editing = gui_edit_field(g, editing, key, value_slot);
      std::string value = editing;
      value.erase(value.find('|'), 1);
      param_value_set(c, element, entry, value);
    } else if (text_value && clicked == value_slot && g.input) {
      g.input->last_key = 0;  // only the caret moves to the click
      editing = gui_edit_field(g, editing, "", value_slot);
    }
    if (clicked >= 0 && clicked == value_slot && !text_value) {
      const int32_t chosen = choose_element(g, m, str_to_int(param_value(c, element, entry).view()));
      if (chosen >= 0) param_value_set(c, element, entry, std::to_string(chosen));
    } else if (clicked >= 0 && clicked == reset) {
      if (gui_message_box(g, "Are you sure you want to reset the|current element's parameters to default values?",
                          " YES ", " NO ") == 1) {
        configure_from_header(c, element);
        shown = shown_entries(c, element);
        at = 0;
        editing_entry = -1;
      }
    } else if (clicked >= 0 && clicked == group) {
      const std::string value(param_value(c, element, entry).view());
      const std::string key49 = field_text(c, element, fld::kGroupKey);
      const std::string key40 = field_text(c, element, fld::kSignature);
      for (int32_t e = 0; e <= m.last_index; ++e) {
        if (e == element || field_text(c, e, fld::kGroupKey) != key49 || field_text(c, e, fld::kSignature) != key40) continue;
        param_value_set(c, e, entry, value);
      }
    }
    // Nobody left to answer: the panel closes as Escape would.
    if (g.input && g.input->read == g.input->write && gui_input_exhausted(g)) break;
  }
  const int32_t count = static_cast<int32_t>(shown.size());
  element_field_set(c, element, fld::kPanelPos1, std::to_string(count > 0 ? shown[static_cast<size_t>(at)] : 0));
  element_field_set(c, element, fld::kPanelPos2, std::to_string(at));
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
}

bool select_brain(Gui& g, Model& m, int32_t element) {
  Core& c = *g.core;
  if (element < 0 || element > m.last_index) return false;
  const std::string title = "Select a brain for '" + std::string(element_name(c, element).view()) + "'";
  show_status(c, title);
  const std::string folder = std::string(c.base_folder->view()) + "brains/";
  const std::string chosen = choose_file_hook ? choose_file_hook(g, folder, "*.brn") : std::string();
  show_status(c, "");
  if (chosen.empty()) return false;
  // The brain is taken into the project: the element gets a private copy.
  std::vector<uint8_t> bytes;
  if (!read_whole_file(chosen, bytes, kMaxBrainFileBytes)) {
    show_message(c, "The brain|" + chosen + "|cannot be read.");
    return false;
  }
  const std::string copy(new_brain_file_name(c, m).view());
  if (!file_write_safely(copy, bytes.data(), static_cast<int64_t>(bytes.size()))) {
    show_message(c, "Could not write the private brain file|" + copy);
    return false;
  }
  element_field_set(c, element, fld::kBrain, copy);
  const uint32_t signature = header_signature(c, copy);
  if (static_cast<int32_t>(signature) != str_to_int(element_field(c, element, fld::kSignature).view())) {
    element_field_set(c, element, fld::kSignature, std::to_string(static_cast<int32_t>(signature)));
    element_field_set(c, element, fld::kPanelPos1, "0");
    element_field_set(c, element, fld::kPanelPos2, "0");
    configure_from_header(c, element);
    parameter_panel(g, m, element);
  }
  return true;
}

std::string save_brain_as(Gui& g, int32_t element) {
  Core& c = *g.core;
  const std::string brains = std::string(c.base_folder->view()) + "brains/";
  const std::string current(element_field(c, element, fld::kBrain).view());
  if (file_exists(c, current) == 0) file_copy(c, brains + "null_.brn", current);
  std::string answer;
  while (true) {
    answer = std::string(gui_trim(gui_input_box(g, 300, answer, "Save the current brain as...")));
    if (!answer.empty()) break;
    if (gui_input_exhausted(g)) return {};
  }
  // A plain name below "brains/": folders and a typed extension are not taken.
  std::string name(file_part(c, answer).view());
  if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  std::erase_if(name, [](char ch) {
    return !((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-');
  });
  if (name.empty()) return {};
  const std::string path = brains + name + ".brn";
  if (file_exists(c, path) != 0 &&
      gui_message_box(g, "Using the name '" + name + "' you will overwrite an existing brain",
                      " CONTINUE ", " ABORT ") != 1)
    return {};
  std::vector<uint8_t> bytes;
  if (!read_whole_file(current, bytes, kMaxBrainFileBytes)) {
    show_message(c, "The brain|" + current + "|cannot be read.");
    return {};
  }
  if (!file_write_safely(path, bytes.data(), static_cast<int64_t>(bytes.size()))) {
    show_message(c, "Could not write the brain|" + path);
    return {};
  }
  return path;
}

}  // namespace korva
