// The virtual editor's Info panel: an element's fields as the project file will hold them
// (numbers through the field formatter: metres, degrees, metres per second, factors; sprites
// and counters in screen units), with the brain's parameter panel and the brain chooser one
// button away.
#include <algorithm>
#include <string>
#include <vector>

#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr GuiRect kPanel{16, 16, 624, 464};
constexpr int32_t kRowLabelX = 40, kValueX = 210, kFirstRow = 82;
constexpr int32_t kScanP = 25, kScanB = 48;

// A numeric field as the formatter writes it: whole screen units for sprites and counters and
// for credits and ID, otherwise thousandths with three decimals. A scale of 0 is the scale of 1.
std::string formatted(Core& c, int32_t element, int32_t field) {
  const bool whole = is_plain_integer_type(element_type(c, element)) || field == fld::kCredits || field == fld::kId;
  if (whole) return std::string(int_to_str(c, element_field_int(c, element, field)).view());
  int32_t v = element_field_fixed3(c, element, field);
  if (field >= fld::kScaleX && field <= fld::kScaleZ && v == 0) v = 1000;
  return std::string(str_from_fixed3(c, v).view());
}

std::string triple(Core& c, int32_t element, int32_t first) {
  return formatted(c, element, first) + ", " + formatted(c, element, first + 1) + ", " + formatted(c, element, first + 2);
}

// The value of a field with its random spread after it when there is one.
std::string with_spread(Core& c, int32_t element, int32_t first, int32_t spread) {
  std::string text = triple(c, element, first);
  bool any = false;
  for (int32_t k = 0; k < 3; ++k) any = any || element_field_fixed3(c, element, spread + k) != 0;
  if (any) text += "  (spread " + triple(c, element, spread) + ")";
  return text;
}

// A path below the installation written as the project file writes it, with "./".
std::string relative(Core& c, std::string_view path) {
  const std::string_view base = c.base_folder ? c.base_folder->view() : std::string_view();
  if (!base.empty() && path.size() > base.size() && path.substr(0, base.size()) == base)
    return "./" + std::string(path.substr(base.size()));
  return path.empty() ? "(none)" : std::string(path);
}

int32_t user_parameters(Core& c, int32_t element) {
  int32_t n = 0;
  for (int32_t j = 0; j < param_count(c, element); ++j) {
    const int32_t kind = param_kind(c, element, j);
    n += kind >= 0 && kind <= 6;
  }
  return n;
}

}  // namespace

std::vector<VirtualInfoRow> virtual_info_rows(Core& c, int32_t element) {
  std::vector<VirtualInfoRow> rows;
  const int32_t type = element_type(c, element);
  const std::string kind(type_name(c, type).view());
  rows.push_back({"Name", std::string(element_field(c, element, fld::kName).view())});
  rows.push_back({"Kind", kind.empty() ? "type " + std::to_string(type) : kind});
  rows.push_back({"Aspect", relative(c, element_field(c, element, fld::kAsset).view())});
  rows.push_back({"Sound", relative(c, element_field(c, element, fld::kSound).view())});
  const int32_t users = user_parameters(c, element);
  rows.push_back({"Brain", relative(c, element_field(c, element, fld::kBrain).view()) + "  (" +
                               std::to_string(users) + (users == 1 ? " parameter)" : " parameters)")});
  if (is_plain_integer_type(type)) {
    rows.push_back({"Screen position", virtual_status_line(c, element, VirtualStatus::Flat, 0)});
  } else {
    rows.push_back({"Position (m)", with_spread(c, element, fld::kPosX, fld::kPosSpreadX)});
    rows.push_back({"Rotation (degrees)", with_spread(c, element, fld::kRotX, fld::kRotSpreadX)});
    rows.push_back({"Velocity (m/sec)", with_spread(c, element, fld::kVelX, fld::kVelSpreadX)});
    rows.push_back({"Spin (rpm)", with_spread(c, element, fld::kSpinX, fld::kSpinSpreadX)});
    rows.push_back({"Scale", triple(c, element, fld::kScaleX)});
    rows.push_back({"Collision radius", formatted(c, element, fld::kCollisionRadius)});
  }
  rows.push_back({"Credits", formatted(c, element, fld::kCredits)});
  rows.push_back({"ID", formatted(c, element, fld::kId)});
  rows.push_back({"Switched on", (element_field_int(c, element, fld::kOptions) & 1) ? "yes" : "no (DISABLED, NOT VISIBLE)"});
  rows.push_back({"Screen rectangle", std::string(element_field(c, element, fld::kScreen).view())});
  return rows;
}

int32_t virtual_info_panel(Gui& g, Model& m, int32_t element) {
  Core& c = *g.core;
  if (element < 0 || element > m.last_index) return element;
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  const int32_t fh = std::max(8, gui_font_height(g));
  bool was_down = true;  // the press that opened the panel is not a choice
  gui_flush_input(g);
  while (true) {
    gui_clear(g);
    gui_window(g, kPanel.x1, kPanel.y1, kPanel.x2, kPanel.y2, true);
    gui_reset_buttons(g);
    gui_print_in(g, "Element " + std::to_string(element) + " (of 0 to " + std::to_string(m.last_index) +
                        "; PgUp/PgDn keys = Previous/Next)", kRowLabelX, kPanel.y1 + 34, ink);
    int32_t y = kFirstRow;
    for (const VirtualInfoRow& r : virtual_info_rows(c, element)) {
      gui_print_in(g, r.label, kRowLabelX, y, ink);
      gui_print_in(g, r.value, kValueX, y, ink);
      y += fh + 4;
    }
    const int32_t parameters = gui_add_button(g, 40, 416, 220, 444, ButtonStyle::Raised);
    gui_label_button(g, "Parameters (P)", parameters);
    const int32_t brain = gui_add_button(g, 236, 416, 396, 444, ButtonStyle::Raised);
    gui_label_button(g, "Brain... (B)", brain);
    const int32_t close = gui_add_button(g, 440, 416, 600, 444, ButtonStyle::Raised);
    gui_label_button(g, "Close (Esc)", close);
    const int32_t scan = gui_frame_key(g);
    const bool down = (gui_mouse_buttons(g) & 1) != 0;
    const int32_t clicked = down && !was_down ? gui_button_at_mouse(g) : -1;
    was_down = down;
    if (scan == kScanEscape || clicked == kGuiCloseBoxHit || (clicked >= 0 && clicked == close)) break;
    if (scan == kScanPageUp) element = element > 0 ? element - 1 : m.last_index;
    if (scan == kScanPageDown) element = element < m.last_index ? element + 1 : 0;
    if (scan == kScanP || scan == kScanEnter || (clicked >= 0 && clicked == parameters)) {
      parameter_panel(g, m, element);
      was_down = true;
    } else if (scan == kScanB || (clicked >= 0 && clicked == brain)) {
      select_brain(g, m, element);
      was_down = true;
    }
    // Nobody left to answer: the panel closes as Escape would.
    if (g.input && g.input->read == g.input->write && gui_input_exhausted(g)) break;
  }
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
  return element;
}

}  // namespace korva
