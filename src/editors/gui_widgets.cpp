// Windows, frames and buttons drawn from the skin, the button table with its hit test, button
// labels and the one-line text field.
#include <algorithm>

#include "devices/input.h"
#include "editors/gui.h"
#include "editors/gui_local.h"

namespace korva {

bool caret_key(std::string& left, std::string& right, int32_t scan) {
  switch (scan) {
    case kScanBackspace:
      if (!left.empty()) left.pop_back();
      return true;
    case kScanDelete:
      if (!right.empty()) right.erase(0, 1);
      return true;
    case kScanHome:
      right = left + right;
      left.clear();
      return true;
    case kScanEnd:
      left += right;
      right.clear();
      return true;
    case kScanLeft:
      if (!left.empty()) {
        right.insert(right.begin(), left.back());
        left.pop_back();
      }
      return true;
    case kScanRight:
      if (!right.empty()) {
        left.push_back(right.front());
        right.erase(0, 1);
      }
      return true;
    default:
      return false;
  }
}
namespace {

// Tile k (0 top-left, 1 top, 2 top-right, 3 left, 5 right, 6 bottom-left, 7 bottom,
// 8 bottom-right) of the frame style whose tiles start at skin x `base`.
void draw_tile(Gui& g, int32_t base, int32_t k, int32_t x, int32_t y) {
  const int32_t sx = base + 4 * k;
  for (int32_t r = 0; r < 4; ++r) {
    if (y + r < 0 || y + r >= kGuiHeight) continue;
    for (int32_t col = 0; col < 4; ++col) {
      if (x + col < 0 || x + col >= kGuiWidth) continue;
      g.pixels[(y + r) * kGuiWidth + x + col] = static_cast<uint8_t>(gui_skin_colour(g, sx + col, r));
    }
  }
}

// A frame whose corner tiles sit at x1/y1 and x2/y2 (so it covers x1..x2+3, y1..y2+3). Edge
// tiles repeat every 4 pixels; the corners go last so that a length that is not a multiple of
// 4 ends cleanly.
void draw_frame(Gui& g, int32_t base, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  for (int32_t x = x1 + 4; x < x2; x += 4) {
    draw_tile(g, base, 1, x, y1);
    draw_tile(g, base, 7, x, y2);
  }
  for (int32_t y = y1 + 4; y < y2; y += 4) {
    draw_tile(g, base, 3, x1, y);
    draw_tile(g, base, 5, x2, y);
  }
  draw_tile(g, base, 0, x1, y1);
  draw_tile(g, base, 2, x2, y1);
  draw_tile(g, base, 6, x1, y2);
  draw_tile(g, base, 8, x2, y2);
}

// Copies a block of the skin; with `transparent`, index 0 is skipped.
void copy_skin(Gui& g, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t x, int32_t y,
               int32_t right_limit, bool transparent) {
  for (int32_t r = 0; r < h; ++r) {
    if (y + r < 0 || y + r >= kGuiHeight) continue;
    for (int32_t col = 0; col < w; ++col) {
      const int32_t dx = x + col;
      if (dx < 0 || dx >= kGuiWidth || dx > right_limit) continue;
      const int32_t v = gui_skin_colour(g, sx + col, sy + r);
      if (transparent && v == 0) continue;
      g.pixels[(y + r) * kGuiWidth + dx] = static_cast<uint8_t>(v);
    }
  }
}

bool slot_valid(const Gui& g, int32_t slot) {
  return slot >= 0 && slot < kGuiButtonSlots && !g.buttons[slot].free();
}

// The caret boundary for a mouse x: the number of characters of `text`, printed from
// `text_x`, that end at or left of the mouse.
size_t boundary_at(const Gui& g, std::string_view text, int32_t text_x, int32_t mouse_x) {
  size_t k = 0;
  int32_t x = text_x;
  while (k < text.size()) {
    const int32_t w = gui_text_width(g, text.substr(k, 1));
    if (x + w > mouse_x) break;
    x += w;
    ++k;
  }
  return k;
}

// Scan codes that never insert into a one-line field: Escape, Backspace, Enter, F1..F10, Home,
// Up, Page Up, Left, Right, End, Down, Page Down and Delete.
bool inserts_nothing(int32_t scan) {
  return scan == 1 || scan == 14 || scan == 28 || (scan >= 59 && scan <= 68) ||
         (scan >= 71 && scan <= 73) || scan == 75 || scan == 77 || (scan >= 79 && scan <= 81) ||
         scan == 83;
}

struct FieldGeometry {
  int32_t text_x, text_y, right;
};

FieldGeometry field_geometry(const Gui& g, const GuiButton& b) {
  return {b.left() + 4, (b.y1 + b.y2 - gui_font_height(g)) / 2 + 1, b.x2 - 4};
}

}  // namespace

void gui_fill_clipped(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, kGuiWidth - 1);
  y2 = std::min(y2, kGuiHeight - 1);
  if (x1 > x2 || y1 > y2) return;
  gui_fill_box(g, x1, y1, x2, y2, colour);
}

void gui_print_in(Gui& g, std::string_view text, int32_t x, int32_t y, int32_t colour) {
  const int32_t kept = g.colour;
  g.colour = colour;
  gui_print(g, text, x, y);
  g.colour = kept;
}

std::string_view gui_trim(std::string_view text) {
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

void gui_window(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool closable) {
  x1 &= ~3;
  y1 &= ~3;
  x2 = (x2 & ~3) - 4;
  y2 = (y2 & ~3) - 4;
  if (x2 < x1 || y2 < y1) return;
  gui_fill_clipped(g, x1, y1, x2 + 3, y2 + 3, gui_skin_colour(g, skin::kWindowFillX));
  draw_frame(g, skin::kWindowTiles, x1, y1, x2, y2);
  gui_fill_clipped(g, x1 + 3, y1 + 3, x2, y1 + 23, gui_skin_colour(g, skin::kTitleFillX, skin::kTitleFillY));
  copy_skin(g, 0, skin::kTitleStripY, skin::kTitleStripW, skin::kTitleStripH, x1, y1, x2, true);
  copy_skin(g, closable ? 0 : skin::kBoxInactiveX, skin::kBoxImageY, skin::kBoxImageW,
            skin::kBoxImageH, x2 - 36, y1 + 6, x2, false);
  g.close_box = {x2 - 18, y1 + 6, x2 - 18 + 15, y1 + 6 + 15};
  g.close_box_active = closable;
}

void gui_reset_buttons(Gui& g) {
  for (GuiButton& b : g.buttons) b = GuiButton{};
  g.button_count = -1;
}

int32_t gui_add_button(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, ButtonStyle style) {
  const bool inset = style == ButtonStyle::Inset;
  gui_fill_clipped(g, x1, y1, x2 - 4, y2 - 4,
                   gui_skin_colour(g, inset ? skin::kInsetFillX : skin::kRaisedFillX));
  draw_frame(g, inset ? skin::kInsetTiles : skin::kRaisedTiles, x1, y1, x2 - 4, y2 - 4);
  // A full table keeps its buttons: the 51st is drawn but gets no slot.
  for (int32_t slot = 0; slot < kGuiButtonSlots; ++slot) {
    GuiButton& b = g.buttons[slot];
    if (!b.free()) continue;
    b.x1 = static_cast<int16_t>((x1 & 0x7FFF) | (inset ? 0x8000 : 0));
    b.y1 = static_cast<int16_t>(y1);
    b.x2 = static_cast<int16_t>(x2);
    b.y2 = static_cast<int16_t>(y2);
    ++g.button_count;
    return slot;
  }
  return -1;
}

void gui_raised_frame(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  draw_frame(g, skin::kRaisedTiles, x1, y1, x2 - 4, y2 - 4);
}

void gui_inset_frame(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  draw_frame(g, skin::kInsetTiles, x1, y1, x2 - 4, y2 - 4);
}

void gui_label_button(Gui& g, std::string_view text, int32_t slot) {
  if (text.empty() || !slot_valid(g, slot)) return;
  const GuiButton& b = g.buttons[slot];
  const int32_t x = (b.left() + b.x2 - gui_text_width(g, text)) / 2;
  const int32_t y = (b.y1 + b.y2 - gui_font_height(g)) / 2;
  gui_print_in(g, text, x, y, gui_skin_colour(g, skin::kLabelX));
}

int32_t gui_button_at_mouse(Gui& g) {
  const int32_t mx = g.mouse_x, my = g.mouse_y;
  if (g.close_box_active && g.close_box.contains(mx, my)) return kGuiCloseBoxHit;
  const GuiRect minimise{g.close_box.x1 - 18, g.close_box.y1, g.close_box.x2 - 18, g.close_box.y2};
  if ((gui_mouse_buttons(g) & 1) && minimise.contains(mx, my)) {
    gui_wait_release(g);
    if (g.io.minimise) g.io.minimise();
    return -1;
  }
  for (int32_t slot = 0; slot < kGuiButtonSlots; ++slot) {
    const GuiButton& b = g.buttons[slot];
    if (!b.free() && mx >= b.left() && mx <= b.x2 && my >= b.y1 && my <= b.y2) return slot;
  }
  return -1;
}

void gui_field_text(Gui& g, std::string_view text, int32_t slot) {
  if (!slot_valid(g, slot)) return;
  const GuiButton& b = g.buttons[slot];
  // Inside the frame's two-pixel outline.
  gui_fill_clipped(g, b.left() + 2, b.y1 + 2, b.x2 - 2, b.y2 - 2, kGuiFieldFill);
  if (b.inset()) {
    const FieldGeometry f = field_geometry(g, b);
    gui_print_in(g, text, f.text_x, f.text_y, gui_skin_colour(g, skin::kInputTextX));
  } else {
    const int32_t x = (b.left() + b.x2 - gui_text_width(g, text)) / 2;
    const int32_t y = (b.y1 + b.y2 - gui_font_height(g)) / 2;
    gui_print_in(g, text, x, y, gui_skin_colour(g, skin::kLabelX));
  }
}

std::string gui_edit_field(Gui& g, std::string_view text_with_caret, std::string_view key,
                           int32_t slot) {
  if (!slot_valid(g, slot) || !g.buttons[slot].inset()) return std::string(text_with_caret);
  if (g.input && (read_modifiers(*g.input) & 12) != 0) return std::string(text_with_caret);
  const GuiButton& b = g.buttons[slot];
  const FieldGeometry f = field_geometry(g, b);
  const size_t bar = text_with_caret.find('|');
  std::string left(text_with_caret.substr(0, bar));
  std::string right(bar == std::string_view::npos ? std::string_view() : text_with_caret.substr(bar + 1));

  const int32_t mx = g.mouse_x, my = g.mouse_y;
  if ((gui_mouse_buttons(g) & 1) && mx >= b.left() && mx <= b.x2 && my >= b.y1 && my <= b.y2) {
    const std::string all = left + right;
    const size_t k = boundary_at(g, all, f.text_x, mx);
    left = all.substr(0, k);
    right = all.substr(k);
  }

  const int32_t scan = g.input ? g.input->last_key : 0;
  if (scan != 0 && key != "|") {
    if (key == ".") {
      // The keypad's full stop shares its scan code with Delete: the text decides.
      if (gui_text_width(g, left + "." + right) < f.right - f.text_x) left += '.';
    } else if (caret_key(left, right, scan)) {
    } else if (!inserts_nothing(scan) && key.size() == 1 && static_cast<uint8_t>(key[0]) >= 32) {
      if (gui_text_width(g, left + std::string(key) + right) < f.right - f.text_x)
        left.append(key);
    }
  }

  gui_field_text(g, left + right, slot);
  const int32_t cx = f.text_x + gui_text_width(g, left);
  gui_line(g, cx, f.text_y, cx, f.text_y + gui_font_height(g) - 1, gui_skin_colour(g, skin::kLabelX));
  return left + "|" + right;
}

}  // namespace korva
