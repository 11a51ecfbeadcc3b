// The small screen tools of the dispatcher: the display-area editor (mode 14) and, for the 3D
// background (mode 15), the repetitions question and the background band editor.
#include <algorithm>
#include <bit>
#include <string>

#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"

namespace korva {
namespace {

constexpr std::string_view kDisplayAreaText =
    "Drag UpLeft/DnRight corners to set the active display area";
constexpr std::string_view kRepetitionsPrompt = "Background image repetitions (must be 1,2,4,8,...)";

bool ends_editor(Gui& g, int32_t scan) {
  if (scan == kScanEscape) return true;
  // Without more input the editor ends as Escape would.
  return g.input && g.input->read == g.input->write && gui_input_exhausted(g);
}

void corner_handle(Gui& g, int32_t x, int32_t y, int32_t colour) {
  gui_fill_clipped(g, x - 3, y - 3, x + 3, y + 3, colour);
}

void print_centred(Gui& g, std::string_view text, int32_t y, int32_t colour) {
  gui_print_in(g, text, (kGuiWidth - gui_text_width(g, text)) / 2, y, colour);
}

}  // namespace

void display_area_editor(Gui& g, GuiRect& area) {
  area.x1 = std::clamp(area.x1, 0, kGuiWidth - 1);
  area.x2 = std::clamp(area.x2, 0, kGuiWidth - 1);
  area.y1 = std::clamp(area.y1, 0, kGuiHeight - 1);
  area.y2 = std::clamp(area.y2, 0, kGuiHeight - 1);
  const int32_t white = gui_rgb_index(255, 255, 255);
  const int32_t accent = gui_rgb_index(255, 204, 0);
  int32_t dragging = 0;  // 1 the up-left corner, 2 the down-right one
  gui_flush_input(g);
  while (true) {
    gui_clear(g);
    gui_fill_box(g, area.x1, area.y1, area.x2, area.y2, gui_rgb_index(0, 51, 102));
    gui_box(g, area.x1, area.y1, area.x2, area.y2, white);
    corner_handle(g, area.x1, area.y1, accent);
    corner_handle(g, area.x2, area.y2, accent);
    print_centred(g, kDisplayAreaText, 8, white);
    const std::string numbers = std::to_string(area.x1) + ", " + std::to_string(area.y1) + " - " +
                                std::to_string(area.x2) + ", " + std::to_string(area.y2);
    print_centred(g, numbers, kGuiHeight - 8 - gui_font_height(g), white);

    const int32_t scan = gui_frame_key(g);
    if (scan == kScanEnter || ends_editor(g, scan)) break;
    const int32_t mx = g.mouse_x, my = g.mouse_y;
    if ((gui_mouse_buttons(g) & 1) == 0) {
      dragging = 0;
      continue;
    }
    if (dragging == 0) {
      // A press takes the nearer corner.
      const int32_t d1 = std::abs(mx - area.x1) + std::abs(my - area.y1);
      const int32_t d2 = std::abs(mx - area.x2) + std::abs(my - area.y2);
      dragging = d1 <= d2 ? 1 : 2;
    }
    // The corners keep their order: up-left stays above and left of down-right.
    if (dragging == 1) {
      area.x1 = std::min(mx, area.x2);
      area.y1 = std::min(my, area.y2);
    } else {
      area.x2 = std::max(mx, area.x1);
      area.y2 = std::max(my, area.y1);
    }
  }
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
}

std::string display_area_tool(Gui& g, std::string_view field37) {
  Core& c = *g.core;
  GuiRect area;
  int32_t* values[4] = {&area.x1, &area.y1, &area.x2, &area.y2};
  for (int32_t i = 0; i < 4; ++i) *values[i] = str_to_int(field_get(c, field37, i + 1, '/').view());
  display_area_editor(g, area);
  std::string field(field37);
  for (int32_t i = 0; i < 4; ++i) {
    str_set(c.str.operand, std::to_string(*values[i]));
    field = std::string(field_set(c, field, i + 1, '/').view());
  }
  return field;
}

int32_t ask_background_repetitions(Gui& g, int32_t current) {
  // Exactly one bit of the low 31 set: 1, 2, 4, 8 ...
  const auto valid = [](int32_t n) { return n > 0 && std::has_single_bit(static_cast<uint32_t>(n)); };
  std::string answer = std::to_string(current);
  while (true) {
    answer = gui_input_box(g, 300, answer, kRepetitionsPrompt);
    const int32_t n = str_to_int(gui_trim(answer));
    if (valid(n)) return n;
    // Nobody left to answer: keep what was there.
    if (gui_input_exhausted(g)) return valid(current) ? current : 1;
  }
}

void background_band_editor(Gui& g, BackgroundBand& band) {
  band.layout = std::clamp(band.layout, 0, 4);
  band.top = std::clamp(band.top, 0, kGuiHeight - 1 - 7);
  band.bottom = std::clamp(band.bottom, band.top + 7, kGuiHeight - 1);
  const int32_t guide = gui_rgb_index(85, 153, 255);
  const int32_t white = gui_rgb_index(255, 255, 255);
  const int32_t band_fill = gui_rgb_index(0, 51, 102);
  const int32_t row_colour = gui_rgb_index(255, 204, 0);
  bool was_down = false;
  gui_flush_input(g);
  while (true) {
    gui_clear(g);
    gui_fill_box(g, 0, band.top, kGuiWidth - 1, band.bottom, band_fill);
    // The screen layout's camera areas as guide lines.
    gui_box(g, 0, 0, kGuiWidth - 1, kGuiHeight - 1, guide);
    if (band.layout == 1 || band.layout == 3) gui_line(g, 0, 240, kGuiWidth - 1, 240, guide);
    if (band.layout == 2 || band.layout == 3) gui_line(g, 320, 0, 320, kGuiHeight - 1, guide);
    if (band.layout == 4) {
      gui_line(g, 0, 240, kGuiWidth - 1, 240, guide);
      gui_line(g, 320, 240, 320, kGuiHeight - 1, guide);
    }
    gui_line(g, 0, band.top, kGuiWidth - 1, band.top, row_colour);
    gui_line(g, 0, band.bottom, kGuiWidth - 1, band.bottom, row_colour);
    const std::string status = "Layout " + std::to_string(band.layout) + " (F1/F2)   top row " +
                               std::to_string(band.top) + "   bottom row " +
                               std::to_string(band.bottom) + "   Esc: done";
    // On a dark plate, so that the guide lines do not run through the text.
    const int32_t half = gui_text_width(g, status) / 2 + 8;
    gui_fill_box(g, kGuiWidth / 2 - half, 4, kGuiWidth / 2 + half, 12 + gui_font_height(g), 1);
    gui_box(g, kGuiWidth / 2 - half, 4, kGuiWidth / 2 + half, 12 + gui_font_height(g), guide);
    print_centred(g, status, 8, white);

    const int32_t scan = gui_frame_key(g);
    if (ends_editor(g, scan)) break;
    if (scan == kScanF1) band.layout = (band.layout + 4) % 5;
    if (scan == kScanF1 + 1) band.layout = (band.layout + 1) % 5;
    const bool down = (gui_mouse_buttons(g) & 1) != 0;
    if (down && !was_down) {
      // A click moves the nearer row; the top row stays at least 7 rows above the bottom one.
      const int32_t y = g.mouse_y;
      if (std::abs(y - band.top) <= std::abs(y - band.bottom))
        band.top = std::clamp(y, 0, band.bottom - 7);
      else
        band.bottom = std::clamp(y, band.top + 7, kGuiHeight - 1);
    }
    was_down = down;
  }
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
}

}  // namespace korva
