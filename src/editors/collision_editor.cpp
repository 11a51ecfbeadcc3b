// The collision channel editor (mode 2): the project's collision matrix as a cross-map of the
// elements against each other. The byte at row i, column j (i < j) of the 256 x 256 matrix is
// the pair's collision code (0 never collide, 1..11 a channel); the map shows it in both
// halves, so a pair can be clicked from either side.
#include <algorithm>
#include <string>

#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "engine/collision.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr std::string_view kHint = "Click cross-map to enable channels (click icons to trace)";

// One letter per element type for the icons, and the icon's colour.
struct TypeIcon {
  char letter;
  uint8_t r, g, b;
};
constexpr TypeIcon kIcons[] = {
    {'C', 230, 230, 230}, {'3', 90, 170, 255}, {'F', 120, 210, 230}, {'S', 130, 130, 130},
    {'?', 100, 100, 100}, {'P', 255, 170, 80},  {'R', 230, 140, 200}, {'B', 160, 120, 80},
    {'N', 255, 230, 100}, {'T', 170, 230, 120}, {'L', 255, 255, 160}, {'V', 110, 140, 255},
    {'G', 90, 200, 130},
};

TypeIcon icon_of(int32_t type) {
  if (type < 0 || type >= int32_t(std::size(kIcons))) return kIcons[4];
  return kIcons[type];
}

void print_centred(Gui& g, std::string_view text, int32_t y, int32_t colour) {
  gui_print_in(g, text, (kGuiWidth - gui_text_width(g, text)) / 2, y, colour);
}

}  // namespace

int32_t collision_code(const Core& c, int32_t a, int32_t b) {
  if (a < 0 || b < 0 || a >= kMaxElements || b >= kMaxElements || a == b) return 0;
  const int32_t row = std::min(a, b), column = std::max(a, b);
  return c.pool(Pool::ProjectTable)[row * kMaxElements + column];
}

void collision_code_set(Core& c, int32_t a, int32_t b, int32_t code) {
  if (a < 0 || b < 0 || a >= kMaxElements || b >= kMaxElements || a == b) return;
  const int32_t row = std::min(a, b), column = std::max(a, b);
  c.pool(Pool::ProjectTable)[row * kMaxElements + column] =
      static_cast<uint8_t>(std::clamp(code, 0, kCollisionCodes - 1));
}

CollisionMapCell collision_map_cell(const CollisionMapView& v, int32_t count, int32_t x, int32_t y) {
  CollisionMapCell cell;
  const int32_t columns = std::min(kCollisionMapColumns, count - v.first_column);
  const int32_t rows = std::min(kCollisionMapRows, count - v.first_row);
  if (x >= kCollisionMapLeft && y >= kCollisionMapTop) {
    const int32_t c = (x - kCollisionMapLeft) / kCollisionCell, r = (y - kCollisionMapTop) / kCollisionCell;
    if (c < columns && r < rows) {
      cell.row = v.first_row + r;
      cell.column = v.first_column + c;
    }
  } else if (x >= kCollisionMapLeft - kCollisionCell - 4 && x < kCollisionMapLeft - 4 && y >= kCollisionMapTop) {
    const int32_t r = (y - kCollisionMapTop) / kCollisionCell;
    if (r < rows) cell.icon = v.first_row + r;
  } else if (y >= kCollisionMapTop - kCollisionCell - 4 && y < kCollisionMapTop - 4 && x >= kCollisionMapLeft) {
    const int32_t c = (x - kCollisionMapLeft) / kCollisionCell;
    if (c < columns) cell.icon = v.first_column + c;
  }
  return cell;
}

std::string collision_pair_status(Core& c, int32_t row, int32_t column) {
  if (row == column) return "Collision not supported";
  const int32_t code = collision_code(c, row, column);
  if (code == 0) return "Collision will be ignored";
  return "Collision code: " + std::to_string(code);
}

void collision_map_draw(Gui& g, const Model& m, const CollisionMapView& v, const bool* traced,
                        const CollisionMapCell& hover) {
  Core& c = *g.core;
  const int32_t count = element_count(m);
  const int32_t white = gui_rgb_index(255, 255, 255), black = gui_rgb_index(0, 0, 0);
  const int32_t empty = gui_rgb_index(48, 48, 56), trace = gui_rgb_index(96, 96, 40);
  const int32_t accent = gui_rgb_index(255, 204, 0), diagonal = gui_rgb_index(20, 20, 24);
  gui_clear(g);
  print_centred(g, kHint, 6, white);
  const int32_t columns = std::min(kCollisionMapColumns, count - v.first_column);
  const int32_t rows = std::min(kCollisionMapRows, count - v.first_row);

  const auto icon = [&](int32_t element, int32_t x, int32_t y) {
    const TypeIcon t = icon_of(element_type(c, element));
    gui_fill_box(g, x, y, x + kCollisionCell - 2, y + kCollisionCell - 2, gui_rgb_index(t.r, t.g, t.b));
    const std::string letter(1, t.letter);
    gui_print_in(g, letter, x + (kCollisionCell - 1 - gui_text_width(g, letter)) / 2,
                 y + (kCollisionCell - 1 - gui_font_height(g)) / 2, black);
    if (traced[element] || hover.icon == element)
      gui_box(g, x - 1, y - 1, x + kCollisionCell - 1, y + kCollisionCell - 1, accent);
  };
  for (int32_t r = 0; r < rows; ++r)
    icon(v.first_row + r, kCollisionMapLeft - kCollisionCell - 4, kCollisionMapTop + r * kCollisionCell);
  for (int32_t k = 0; k < columns; ++k)
    icon(v.first_column + k, kCollisionMapLeft + k * kCollisionCell, kCollisionMapTop - kCollisionCell - 4);

  for (int32_t r = 0; r < rows; ++r)
    for (int32_t k = 0; k < columns; ++k) {
      const int32_t i = v.first_row + r, j = v.first_column + k;
      const int32_t x = kCollisionMapLeft + k * kCollisionCell, y = kCollisionMapTop + r * kCollisionCell;
      const int32_t code = collision_code(c, i, j);
      int32_t fill = traced[i] || traced[j] ? trace : empty;
      if (i == j) fill = diagonal;
      if (code > 0) {
        const Rgb rgb = code_rgb(code);
        fill = gui_rgb_index(rgb.r, rgb.g, rgb.b);
      }
      gui_fill_box(g, x, y, x + kCollisionCell - 2, y + kCollisionCell - 2, fill);
      if (i == j) gui_line(g, x, y, x + kCollisionCell - 2, y + kCollisionCell - 2, empty);
      if (code > 0) {
        const std::string digits = std::to_string(code);
        gui_print_in(g, digits, x + (kCollisionCell - 1 - gui_text_width(g, digits)) / 2,
                     y + (kCollisionCell - 1 - gui_font_height(g)) / 2, code >= 6 && code <= 9 ? black : white);
      }
      if (hover.row == i && hover.column == j)
        gui_box(g, x - 1, y - 1, x + kCollisionCell - 1, y + kCollisionCell - 1, accent);
    }

  // The pair (or the icon) under the mouse.
  const int32_t status_y = kGuiHeight - 2 * gui_font_height(g) - 12;
  if (hover.row >= 0) {
    print_centred(g, collision_pair_status(c, hover.row, hover.column), status_y, white);
    const std::string names = std::string(element_name(c, hover.row).view()) + " / " +
                              std::string(element_name(c, hover.column).view());
    print_centred(g, names, status_y + gui_font_height(g) + 4, accent);
  } else if (hover.icon >= 0) {
    print_centred(g, std::string(element_name(c, hover.icon).view()), status_y, accent);
    print_centred(g, std::string(type_name(c, element_type(c, hover.icon)).view()),
                  status_y + gui_font_height(g) + 4, white);
  }
}

bool collision_channel_editor(Gui& g, Model& m) {
  Core& c = *g.core;
  const int32_t count = std::clamp(element_count(m), 0, kMaxElements);
  bool traced[kMaxElements] = {};
  CollisionMapView view;
  int32_t was_down = 0;
  gui_flush_input(g);
  while (true) {
    const CollisionMapCell hover = collision_map_cell(view, count, g.mouse_x, g.mouse_y);
    collision_map_draw(g, m, view, traced, hover);
    gui_present(g);
    gui_pump(g);
    int32_t scan = 0;
    if (g.input) {
      next_key(c, *g.input);
      scan = g.input->last_key;
    }
    if (scan == kScanEscape) break;
    // Without more input the editor ends as Escape would.
    if (g.input && g.input->read == g.input->write && gui_input_exhausted(g)) break;
    // The arrows and the page keys scroll a map larger than the screen.
    const int32_t last_row = std::max(0, count - kCollisionMapRows);
    const int32_t last_column = std::max(0, count - kCollisionMapColumns);
    if (scan == kScanUp) view.first_row = std::max(0, view.first_row - 1);
    if (scan == kScanDown) view.first_row = std::min(last_row, view.first_row + 1);
    if (scan == kScanLeft) view.first_column = std::max(0, view.first_column - 1);
    if (scan == kScanRight) view.first_column = std::min(last_column, view.first_column + 1);
    if (scan == kScanPageUp) view.first_row = std::max(0, view.first_row - kCollisionMapRows);
    if (scan == kScanPageDown) view.first_row = std::min(last_row, view.first_row + kCollisionMapRows);

    // A press (not a held button) acts once: left steps the code up, right steps it down.
    const int32_t buttons = gui_mouse_buttons(g) & 3;
    const int32_t pressed = buttons & ~was_down;
    was_down = buttons;
    if (!pressed) continue;
    const CollisionMapCell at = collision_map_cell(view, count, g.mouse_x, g.mouse_y);
    if (at.icon >= 0) {
      traced[at.icon] = !traced[at.icon];
    } else if (at.row >= 0 && at.row != at.column) {
      const int32_t code = collision_code(c, at.row, at.column);
      const int32_t step = (pressed & 1) ? 1 : kCollisionCodes - 1;
      collision_code_set(c, at.row, at.column, (code + step) % kCollisionCodes);
    }
  }
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
  return true;
}

}  // namespace korva
