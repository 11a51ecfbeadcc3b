// The modal building blocks: the message box (question, notice, clear) and the one-line input
// box. Both clear the screen when they open and close; the caller redraws its picture after.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/core.h"
#include "devices/input.h"
#include "editors/gui.h"
#include "editors/gui_local.h"
#include "platform/platform.h"

namespace korva {
namespace {

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t bar = text.find('|', start);
    lines.emplace_back(gui_trim(text.substr(start, bar == std::string_view::npos ? text.npos : bar - start)));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return lines;
}

int32_t widest(const Gui& g, const std::vector<std::string>& lines) {
  int32_t w = 0;
  for (const std::string& line : lines) w = std::max(w, gui_text_width(g, line));
  return w;
}

// Without a window nobody sees the box: its text goes to stderr as well.
void echo(const Gui& g, std::string_view text) {
  if (g.screen && g.screen->window) return;
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool keys_waiting(const Gui& g) { return g.input && g.input->read != g.input->write; }

// Takes one key; returns its text and leaves its scan code in `scan` (0 for none).
std::string take_key(Gui& g, int32_t& scan) {
  scan = 0;
  if (!g.input) return {};
  std::string key(next_key(*g.core, *g.input).view());
  scan = g.input->last_key;
  return key;
}

void close_box_screen(Gui& g) {
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
}

// Breaks text into lines no wider than `width` at blanks (the notice's own wrap).
std::vector<std::string> wrap_to(const Gui& g, std::string_view text, int32_t width) {
  std::vector<std::string> lines;
  std::string line;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    std::string wider = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (!line.empty() && gui_text_width(g, wider) > width) {
      lines.push_back(line);
      line = std::string(word);
    } else {
      line = std::move(wider);
    }
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void print_centred(Gui& g, std::string_view text, int32_t centre_x, int32_t y, int32_t colour) {
  gui_print_in(g, text, centre_x - gui_text_width(g, text) / 2, y, colour);
}

int32_t notice(Gui& g, std::string_view text) {
  g.cursor_hidden = true;
  const int32_t fh = gui_font_height(g);
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  if (text.find('|') != std::string_view::npos) {
    const std::vector<std::string> lines = split_lines(gui_wrap_text(g, text));
    const int32_t n = static_cast<int32_t>(lines.size());
    const int32_t bw = widest(g, lines) + 32, bh = (fh + 2) * (n + 3);
    const int32_t x = (kGuiWidth - bw) / 2, y = (kGuiHeight - bh) / 2;
    gui_window(g, x, y, x + bw, y + bh, false);
    const int32_t first = y + 24 + ((fh + 2) * 3 - 24) / 2;
    for (int32_t j = 0; j < n; ++j) print_centred(g, lines[j], x + bw / 2, first + j * (fh + 2), ink);
  } else {
    // A box one and a half times as wide as the text (within the screen), 150 pixels high,
    // with the text wrapped into its area 8 pixels in, from 24 to 134 pixels below the top.
    const int32_t bw = std::clamp(gui_text_width(g, gui_trim(text)) * 3 / 2, 192, kGuiWidth - 16);
    const int32_t bh = 150;
    const int32_t x = (kGuiWidth - bw) / 2, y = (kGuiHeight - bh) / 2;
    gui_window(g, x, y, x + bw, y + bh, false);
    const std::vector<std::string> lines = wrap_to(g, gui_trim(text), bw - 24);
    const int32_t rows = std::min<int32_t>(static_cast<int32_t>(lines.size()), 110 / (fh + 2));
    const int32_t first = y + 24 + (110 - rows * (fh + 2)) / 2;
    for (int32_t j = 0; j < rows; ++j) print_centred(g, lines[j], x + bw / 2, first + j * (fh + 2), ink);
  }
  g.notice_shown = true;
  gui_present_no_cursor(g);
  return 0;
}

int32_t question(Gui& g, std::string_view text, std::string_view left_label,
                 std::string_view right_label) {
  const std::vector<std::string> lines = split_lines(gui_wrap_text(g, text));
  const int32_t n = static_cast<int32_t>(lines.size());
  const int32_t fh = gui_font_height(g);
  const int32_t w = widest(g, lines);
  const int32_t L = (gui_text_width(g, left_label) & ~3) + 4;
  const int32_t R = gui_text_width(g, right_label) & ~3;
  int32_t W = (w & ~3) + 4;
  while (W <= L + R + 68) W += 4;
  // A line wider than the screen (one huge word) would push the box and its buttons off the
  // screen: the box stays on it and the line is cut at its edges.
  W = std::max(std::min(W, kGuiWidth - 40), L + R + 72);
  const int32_t bw = W + 32, p = fh + 6, bh = p * (n + 4);
  const int32_t left = (kGuiWidth - bw) / 4 * 2, top = (kGuiHeight - bh) / 4 * 2;

  gui_clear(g);
  gui_window(g, left, top - 16, left + bw, top + bh, false);
  gui_reset_buttons(g);
  const int32_t y1 = top + p * (n + 2), y2 = top + p * (n + 3);
  gui_add_button(g, left + 12, y1, left + L + 24, y2, ButtonStyle::Raised);
  gui_label_button(g, left_label, 0);
  // A question with one answer shows one button; Delete still answers 2.
  if (!right_label.empty()) {
    gui_add_button(g, left + W - R, y1, left + W + 16, y2, ButtonStyle::Raised);
    gui_label_button(g, right_label, 1);
  }
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  for (int32_t j = 0; j < n; ++j)
    print_centred(g, lines[j], left + bw / 2, top + fh + p / 2 + 8 + j * p, ink);

  int32_t answer = 0;
  while (answer == 0) {
    gui_present(g);
    gui_pump(g);
    int32_t scan = 0;
    take_key(g, scan);
    if (scan == kScanEnter) {
      answer = 1;
    } else if (scan == kScanDelete) {
      answer = 2;
    } else if (gui_mouse_buttons(g) & 1) {
      const int32_t slot = gui_button_at_mouse(g);
      if (slot == 0 || slot == 1) answer = slot + 1;
    }
    // Interrupted, a question takes its cautious right button; otherwise a box with no one to
    // answer it takes the left one, as Enter would.
    if (answer == 0 && platform::interrupt_signal()) answer = right_label.empty() ? 1 : 2;
    if (answer == 0 && !keys_waiting(g) && gui_input_exhausted(g)) answer = 1;  // as Enter
  }
  close_box_screen(g);
  return answer;
}

}  // namespace

int32_t gui_message_box(Gui& g, std::string_view text, std::string_view left_label,
                        std::string_view right_label) {
  if (text.empty() && left_label.empty() && right_label.empty()) {
    g.cursor_hidden = false;
    g.notice_shown = false;
    gui_clear(g);
    gui_clear_display(g);
    return 0;
  }
  echo(g, text);
  if (left_label.empty() && right_label.empty()) return notice(g, text);
  return question(g, text, left_label, right_label);
}

std::string gui_input_box(Gui& g, int32_t min_width, std::string_view initial_text,
                          std::string_view prompt, bool* taken_with_enter) {
  if (taken_with_enter) *taken_with_enter = false;
  echo(g, prompt);
  const std::vector<std::string> lines = split_lines(gui_wrap_text(g, prompt));
  gui_flush_input(g);
  gui_clear(g);
  int32_t B = min_width;
  for (const std::string& line : lines) {
    const int32_t lw = gui_text_width(g, line);
    if (lw > B) B = lw + 64;
  }
  B = std::clamp(B, 64, kGuiWidth - 8);
  const int32_t n = static_cast<int32_t>(lines.size());
  const int32_t h = gui_font_height(g) / 2;
  const int32_t x0 = (kGuiWidth - B) / 2, y0 = (kGuiHeight - 8 * h) / 2;
  const GuiRect field{x0 + 8, y0 + 5 * h - 4, x0 + B - 12, y0 + 7 * h};
  const int32_t text_x = x0 + 16, text_y = y0 + 5 * h + 1;
  const int32_t limit = B - gui_text_width(g, "Mm0wW") / 5 - 32;
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  const int32_t input_ink = gui_skin_colour(g, skin::kInputTextX);
  const int32_t caret_ink = gui_skin_colour(g, skin::kLabelX);

  std::string left(initial_text), right;
  bool done = false;
  while (!done) {
    gui_window(g, x0, y0 - 2 * h * n - 16, x0 + B, y0 + 8 * h, true);
    gui_reset_buttons(g);
    for (int32_t j = 0; j < n; ++j)
      print_centred(g, lines[j], x0 + B / 2, y0 - 2 * h * n + 2 * h * j + 30, ink);
    gui_inset_frame(g, field.x1, field.y1, field.x2, field.y2);
    // The inside reaches the frame's right and bottom tiles, which carry their own field part.
    gui_fill_clipped(g, x0 + 12, y0 + 5 * h, field.x2 - 5, field.y2 - 5,
                     gui_skin_colour(g, skin::kInputFillX));
    gui_print_in(g, left + right, text_x, text_y, input_ink);
    // The caret underlines the character after it (a blank's width at the end).
    const int32_t cx = text_x + gui_text_width(g, left);
    const int32_t cw = std::max(2, gui_text_width(g, right.empty() ? std::string_view(" ") : std::string_view(right).substr(0, 1)));
    const int32_t cy = std::min(text_y + g.font.ascent + 1, field.y2 - 3);
    gui_fill_clipped(g, cx, cy, cx + cw - 1, cy + 1, caret_ink);

    gui_present(g);
    gui_pump(g);
    int32_t scan = 0;
    const std::string key = take_key(g, scan);
    if (scan == kScanEnter || scan == kScanEscape) {
      done = true;
      if (taken_with_enter) *taken_with_enter = scan == kScanEnter;
    } else if (key == ".") {
      // The keypad's full stop shares its scan code with Delete: the text decides.
      if (gui_text_width(g, left + right) < limit) left += '.';
    } else if (caret_key(left, right, scan)) {
    } else if (key.size() == 1 && static_cast<uint8_t>(key[0]) >= 32) {
      if (gui_text_width(g, left + right) < limit) left += key;
    }

    const int32_t buttons = gui_mouse_buttons(g);
    if (buttons & 2) done = true;
    if (buttons & 1) {
      if (gui_button_at_mouse(g) == kGuiCloseBoxHit) {
        done = true;
      } else if (field.contains(g.mouse_x, g.mouse_y)) {
        const std::string all = left + right;
        size_t k = 0;
        int32_t x = text_x;
        while (k < all.size()) {
          const int32_t w = gui_text_width(g, std::string_view(all).substr(k, 1));
          if (x + w > g.mouse_x) break;
          x += w;
          ++k;
        }
        left = all.substr(0, k);
        right = all.substr(k);
      }
    }
    if (!done && !keys_waiting(g) && gui_input_exhausted(g)) done = true;  // as Enter
  }
  close_box_screen(g);
  return left + right;
}

}  // namespace korva
