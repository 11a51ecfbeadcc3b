// The brains' dialogs, drawn with the panel GUI toolkit over a copy of the game's last picture:
// the message box with its icons and up to three buttons, the one-line text dialog, the
// scrolling list and the Runtime Error box. Every dialog runs inside one frame: the game's
// sound is muted, its input cleared and the cursor shown; afterwards the picture, the toolkit's
// state and the volume come back and the frame clock starts afresh, so that the time spent in
// a dialog is not caught up in game frames.
#include "editors/dialog_keywords.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "brain/keyword_binding.h"
#include "core/core.h"
#include "core/pcx.h"
#include "core/system.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "editors/gui.h"
#include "editors/gui_local.h"
#include "engine/keyword_table.h"
#include "model/run_state.h"
#include "platform/platform.h"
#include "runtime/memory_blocks.h"
#include "runtime/text_argument.h"
#include "runtime/text_keywords.h"

namespace korva {
namespace {

constexpr std::string_view kRuntimeErrorCaption = "Runtime Error";
constexpr std::string_view kFileBoxLiteral =
    "First parameter of FILE_BOX() instruction must be a string variable, not a constant string.";
constexpr std::string_view kInputBoxLiteral =
    "Second parameter of INPUT_BOX() instruction must be a string variable, not a constant "
    "string.";

// Geometry shared by the dialogs, in panel pixels.
constexpr int32_t kTitleBand = 24;  // the window's title band
constexpr int32_t kSide = 24;       // from the window's edge to its contents
constexpr int32_t kIconSize = 32;
constexpr int32_t kMessageWidth = 440;  // a message line wraps beyond this
// Lines a message shows: with the title band and the buttons they still fit the 480-pixel
// screen; a longer text is cut.
constexpr int32_t kMessageLines = 18;
constexpr int32_t kButtonWidth = 76;  // the narrowest dialog button
constexpr int32_t kScrollBar = 16;    // width of the list's scroll bar and its arrow buttons

// ---- Colours ----

struct Colours {
  int32_t text, caption, field_fill, field_text, caret, highlight, highlight_text, track, icon_ink;
};

Colours colours_of(const Gui& g) {
  return {gui_skin_colour(g, skin::kWindowTextX),
          gui_rgb_index(255, 255, 255),
          gui_skin_colour(g, skin::kInputFillX),
          gui_skin_colour(g, skin::kInputTextX),
          gui_skin_colour(g, skin::kLabelX),
          gui_rgb_index(0, 84, 204),
          gui_rgb_index(255, 255, 255),
          gui_rgb_index(200, 200, 200),
          gui_rgb_index(0, 0, 0)};
}

// ---- Text measuring ----

int32_t char_width(const Gui& g, char ch) { return gui_text_width(g, std::string_view(&ch, 1)); }

// The longest start of text that is at most width pixels wide.
std::string_view fit(const Gui& g, std::string_view text, int32_t width) {
  int32_t w = 0;
  size_t k = 0;
  while (k < text.size()) {
    w += char_width(g, text[k]);
    if (w > width) break;
    ++k;
  }
  return text.substr(0, k);
}

// Breaks one paragraph into lines of at most width pixels, at blanks where it can and inside
// a word wider than a line; stops at max_lines lines.
void wrap_paragraph(const Gui& g, std::string_view para, int32_t width, size_t max_lines,
                    std::vector<std::string>& lines) {
  if (para.empty()) {
    lines.emplace_back();
    return;
  }
  size_t pos = 0;
  while (pos < para.size() && lines.size() < max_lines) {
    int32_t w = 0;
    size_t k = pos, blank = std::string_view::npos;
    while (k < para.size()) {
      const int32_t cw = char_width(g, para[k]);
      if (w + cw > width && k > pos) break;
      if (para[k] == ' ') blank = k;
      w += cw;
      ++k;
    }
    const size_t cut =
        (k < para.size() && blank != std::string_view::npos && blank > pos) ? blank : k;
    lines.emplace_back(para.substr(pos, cut - pos));
    pos = cut;
    while (pos < para.size() && para[pos] == ' ') ++pos;
  }
}

// A text's lines: brains break lines with "\n" (a "\r" before it is dropped); long lines wrap.
std::vector<std::string> wrap(const Gui& g, std::string_view text, int32_t width,
                              size_t max_lines) {
  std::vector<std::string> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  while (lines.size() < max_lines) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view para = text.substr(start, end - start);
    if (!para.empty() && para.back() == '\r') para.remove_suffix(1);
    wrap_paragraph(g, para, width, max_lines, lines);
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

int32_t widest(const Gui& g, const std::vector<std::string>& lines) {
  int32_t w = 0;
  for (const std::string& line : lines) w = std::max(w, gui_text_width(g, line));
  return w;
}

// ---- Input inside a dialog ----

struct Key {
  int32_t scan = 0;
  std::string text;
};

Key take_key(Gui& g) {
  Key k;
  if (!g.input) return k;
  k.text = std::string(next_key(*g.core, *g.input).view());
  k.scan = g.input->last_key;
  return k;
}

bool keys_waiting(const Gui& g) { return g.input && g.input->read != g.input->write; }

int32_t display_width(const Gui& g) { return g.screen ? g.screen->primary.width : kGuiWidth; }
int32_t display_height(const Gui& g) { return g.screen ? g.screen->primary.height : kGuiHeight; }

// One pass of a dialog's wait loop. A brain's dialog opens in the middle of a run, whose script
// is timed in loop frames: each pass takes the script's events of its next time, so that the
// answer written for the frames after the dialog's reaches the dialog, and the events after it
// stay for the game.
void dialog_pump(Gui& g) {
  if (g.io.pump || !g.script || !g.input) {
    gui_pump(g);
    return;
  }
  if (g.screen && g.core->frame.screen != g.screen && platform::screen_pump(*g.screen))
    platform::screen_sample_mouse(*g.screen);
  pump(*g.core);
  InputScript& script = *g.script;
  if (!input_script_done(script))
    feed_input_script(script, *g.input, script.events[script.next].time, display_width(g),
                      display_height(g));
  gui_mouse_from_display(g, g.input->mouse_x, g.input->mouse_y);
}

// Nobody answers this dialog any more: it takes the answer Enter gives.
bool unanswered(Gui& g) { return !keys_waiting(g) && gui_input_exhausted(g); }

void wait_release(Gui& g) {
  while (gui_mouse_buttons(g) != 0 && !gui_input_exhausted(g)) {
    gui_present(g);
    dialog_pump(g);
  }
}

// Without a window nobody sees the dialog: its text goes to stderr.
void echo(const System& s, std::string_view text) {
  if (s.gui && s.gui->screen && s.gui->screen->window) return;
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

// ---- The frame around every dialog ----

class DialogFrame {
 public:
  explicit DialogFrame(System& s) : s_(s) {
    if (s.core) wait_.emplace(*s.core);
    if (s.run && s.run->hooks.swap_primary_volume) {
      volume_ = s.run->hooks.swap_primary_volume(kSilentVolume);
      muted_ = true;
    }
    clear(s);
    if (Gui* g = s.gui) {
      panel_.assign(g->pixels, g->pixels + kGuiPixels);
      std::copy(std::begin(g->buttons), std::end(g->buttons), std::begin(buttons_));
      button_count_ = g->button_count;
      close_box_ = g->close_box;
      close_box_active_ = g->close_box_active;
      cursor_hidden_ = g->cursor_hidden;
      colour_ = g->colour;
      placement_ = g->placement;
      take_picture(*g);
      g->cursor_hidden = false;
    }
  }

  ~DialogFrame() {
    if (Gui* g = s_.gui) {
      wait_release(*g);  // the click that answered belongs to the dialog, not to the game
      std::copy(panel_.begin(), panel_.end(), g->pixels);
      std::copy(std::begin(buttons_), std::end(buttons_), std::begin(g->buttons));
      g->button_count = button_count_;
      g->close_box = close_box_;
      g->close_box_active = close_box_active_;
      g->cursor_hidden = cursor_hidden_;
      g->colour = colour_;
      g->placement = placement_;
      give_picture_back(*g);
    }
    clear(s_);
    if (muted_) s_.run->hooks.swap_primary_volume(volume_);
    if (s_.run && s_.core) s_.run->next_frame_time = ticks_now(*s_.core) + s_.run->frame_period;
  }

  DialogFrame(const DialogFrame&) = delete;
  DialogFrame& operator=(const DialogFrame&) = delete;

  // The game's picture in panel colours, under every dialog drawn in this frame.
  const std::vector<uint8_t>& backdrop() const { return backdrop_; }

 private:
  // Keeps the picture on display and turns its centre into panel colours (the panel screen is
  // centred on the display as gui_present places it).
  void take_picture(Gui& g) {
    backdrop_.assign(kGuiPixels, 0);
    if (!g.screen || g.screen->primary.lost) return;
    platform::Surface& p = g.screen->primary;
    picture_ = p.pixels;
    const int32_t ox = std::max(0, (p.width - kGuiWidth) / 2);
    const int32_t oy = std::max(0, (p.height - kGuiHeight) / 2);
    const int32_t columns = std::min(kGuiWidth, p.width - ox);
    const int32_t rows = std::min(kGuiHeight, p.height - oy);
    for (int32_t y = 0; y < rows; ++y) {
      for (int32_t x = 0; x < columns; ++x) {
        uint8_t r = 0, gr = 0, b = 0;
        platform::unpack_rgb(p.format, platform::surface_pixel(p, ox + x, oy + y), r, gr, b);
        backdrop_[y * kGuiWidth + x] = static_cast<uint8_t>(gui_rgb_index(r, gr, b));
      }
    }
  }

  void give_picture_back(Gui& g) {
    if (!g.screen || picture_.empty()) return;
    platform::Surface& p = g.screen->primary;
    if (p.pixels.size() != picture_.size()) return;  // the display changed meanwhile
    if (uint8_t* dest = platform::surface_lock(p)) {
      std::memcpy(dest, picture_.data(), picture_.size());
      platform::surface_unlock(p);
      platform::screen_present(*g.screen);
    }
  }

  System& s_;
  bool muted_ = false;
  int32_t volume_ = 0;
  std::vector<uint8_t> panel_, picture_, backdrop_;
  GuiButton buttons_[kGuiButtonSlots];
  int32_t button_count_ = -1;
  GuiRect close_box_{};
  bool close_box_active_ = false;
  bool cursor_hidden_ = false;
  int32_t colour_ = 0;
  GuiPlacement placement_ = GuiPlacement::Centred;
  std::optional<PersonWait> wait_;  // a brain's time limit leaves out the time of its dialogs
};

// ---- Drawing ----

// A window's outer rectangle; it covers x1..x2 - 1 and y1..y2 - 1.
struct Box {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

int32_t round_up4(int32_t v) { return (v + 3) & ~3; }

// A window of about width x height, centred on the screen (the dialog's parent).
Box centred_box(int32_t width, int32_t height) {
  const int32_t w = std::clamp(round_up4(width), 160, kGuiWidth - 8);
  const int32_t h = std::clamp(round_up4(height), 64, kGuiHeight - 8);
  Box b;
  b.x1 = ((kGuiWidth - w) / 2) & ~3;
  b.y1 = ((kGuiHeight - h) / 2) & ~3;
  b.x2 = b.x1 + w;
  b.y2 = b.y1 + h;
  return b;
}

// The backdrop, the window and its caption beside the title strip.
void draw_window(Gui& g, const DialogFrame& frame, const Box& b, std::string_view caption,
                 bool closable) {
  std::copy(frame.backdrop().begin(), frame.backdrop().end(), g.pixels);
  gui_window(g, b.x1, b.y1, b.x2, b.y2, closable);
  gui_reset_buttons(g);
  if (caption.empty()) return;
  const int32_t x = b.x1 + skin::kTitleStripW + 4;
  const int32_t room = b.x2 - 44 - x;  // up to the title-bar boxes
  if (room <= 0) return;
  const int32_t y = b.y1 + 3 + (20 - gui_font_height(g)) / 2;
  gui_print_in(g, fit(g, caption, room), x, y, colours_of(g).caption);
}

// The narrowest window whose title band shows the whole caption after the title strip.
int32_t caption_width(const Gui& g, std::string_view caption) {
  return caption.empty() ? 0 : skin::kTitleStripW + 4 + gui_text_width(g, caption) + 44;
}

GuiRect rect_at(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }

// A raised button with a centred label; returns its slot.
int32_t add_button(Gui& g, const GuiRect& r, std::string_view label) {
  const int32_t slot = gui_add_button(g, r.x1, r.y1, r.x2, r.y2, ButtonStyle::Raised);
  gui_label_button(g, label, slot);
  return slot;
}

// The outline that marks the button Enter presses.
void draw_focus(Gui& g, const GuiRect& r) {
  gui_box(g, r.x1 - 2, r.y1 - 2, r.x2 + 1, r.y2 + 1, colours_of(g).text);
}

enum class Icon { None, Exclamation, Information, Question, Error };

Icon icon_of(int32_t code) {
  switch (code) {
    case 0:
      return Icon::Exclamation;
    case 1:
      return Icon::Information;
    case 2:
      return Icon::Question;
    case 3:
      return Icon::Error;
    default:
      return Icon::None;
  }
}

void fill_disc(Gui& g, int32_t cx, int32_t cy, int32_t r, int32_t colour) {
  for (int32_t dy = -r; dy <= r; ++dy) {
    int32_t dx = 0;
    while ((dx + 1) * (dx + 1) + dy * dy <= r * r + r)
      ++dx;  // r * r + r: no lone pixels at the poles
    gui_fill_clipped(g, cx - dx, cy + dy, cx + dx, cy + dy, colour);
  }
}

// The four icons as the system draws them: a yellow warning triangle with "!", blue discs with
// "i" and "?", a red disc with a cross; (x, y) is the top-left of the 32 x 32 square.
void draw_icon(Gui& g, Icon icon, int32_t x, int32_t y) {
  const int32_t cx = x + 16, cy = y + 16;
  const int32_t white = gui_rgb_index(255, 255, 255);
  auto bar = [&g](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
    gui_fill_clipped(g, x1, y1, x2, y2, colour);
  };
  switch (icon) {
    case Icon::None:
      return;
    case Icon::Exclamation: {
      const int32_t yellow = gui_rgb_index(255, 204, 0), ink = colours_of(g).icon_ink;
      for (int32_t row = 0; row < 30; ++row) {
        const int32_t half = row * 15 / 29;
        bar(cx - half, y + 1 + row, cx + half, y + 1 + row, yellow);
      }
      bar(cx - 2, y + 10, cx + 1, y + 21, ink);
      bar(cx - 2, y + 24, cx + 1, y + 27, ink);
      return;
    }
    case Icon::Information:
      fill_disc(g, cx, cy, 15, gui_rgb_index(0, 84, 204));
      bar(cx - 2, cy - 10, cx + 1, cy - 7, white);
      bar(cx - 2, cy - 4, cx + 1, cy + 9, white);
      return;
    case Icon::Question:
      fill_disc(g, cx, cy, 15, gui_rgb_index(0, 84, 204));
      bar(cx - 6, cy - 11, cx + 5, cy - 9, white);  // top of the hook
      bar(cx - 6, cy - 11, cx - 4, cy - 7, white);  // its left end
      bar(cx + 3, cy - 11, cx + 5, cy - 2, white);  // its right side
      bar(cx - 1, cy - 3, cx + 5, cy - 1, white);   // back towards the middle
      bar(cx - 1, cy - 1, cx + 1, cy + 4, white);   // the stem
      bar(cx - 1, cy + 7, cx + 1, cy + 9, white);   // the dot
      return;
    case Icon::Error:
      fill_disc(g, cx, cy, 15, gui_rgb_index(204, 0, 0));
      for (int32_t t = -7; t <= 7; ++t) {
        bar(cx + t - 1, cy + t - 1, cx + t + 1, cy + t + 1, white);
        bar(cx + t - 1, cy - t - 1, cx + t + 1, cy - t + 1, white);
      }
      return;
  }
}

// ---- The message box ----

struct Choice {
  std::string_view label;
  int32_t answer;
};

constexpr Choice kOk{"OK", 1}, kCancel{"Cancel", 0}, kYes{"Yes", 3}, kNo{"No", 2};
constexpr int32_t kNoEscape = -1;

// Shows text with an icon and buttons; returns the index of the button taken. Enter takes the
// focused button (at first `focus`), Escape the button `escape` (none for kNoEscape), Tab and
// the arrow keys move the focus.
size_t message_dialog(System& s, std::string_view text, std::string_view caption, Icon icon,
                      std::span<const Choice> choices, size_t focus, int32_t escape) {
  DialogFrame frame(s);
  echo(s, caption.empty() ? std::string(text) : std::string(caption) + "|" + std::string(text));
  if (!s.gui) return focus;
  Gui& g = *s.gui;
  const Colours c = colours_of(g);
  const int32_t fh = gui_font_height(g), pitch = fh + 4, bh = fh + 12;
  const std::vector<std::string> lines = wrap(g, text, kMessageWidth, kMessageLines);
  const int32_t icon_w = icon == Icon::None ? 0 : kIconSize + 16;
  const int32_t text_h =
      std::max(static_cast<int32_t>(lines.size()) * pitch, icon == Icon::None ? 0 : kIconSize);

  std::vector<int32_t> widths;
  int32_t row_w = 0;
  for (const Choice& ch : choices) {
    widths.push_back(std::max(kButtonWidth, gui_text_width(g, ch.label) + 24));
    row_w += widths.back() + (widths.size() > 1 ? 12 : 0);
  }
  const Box b = centred_box(
      std::max(std::max(icon_w + widest(g, lines), row_w) + 2 * kSide, caption_width(g, caption)),
      kTitleBand + 20 + text_h + 20 + bh + 16);
  const int32_t top = b.y1 + kTitleBand + 20;
  const int32_t text_x = b.x1 + kSide + icon_w;
  const int32_t text_y = top + (text_h - static_cast<int32_t>(lines.size()) * pitch) / 2;
  std::vector<GuiRect> rects;
  int32_t bx = b.x1 + (b.x2 - b.x1 - row_w) / 2;
  for (int32_t w : widths) {
    rects.push_back(rect_at(bx, b.y2 - 16 - bh, w, bh));
    bx += w + 12;
  }

  const size_t n = choices.size();
  int32_t taken = -1;
  while (taken < 0) {
    draw_window(g, frame, b, caption, false);
    draw_icon(g, icon, b.x1 + kSide, top + (text_h - kIconSize) / 2);
    for (size_t i = 0; i < lines.size(); ++i)
      gui_print_in(g, lines[i], text_x, text_y + static_cast<int32_t>(i) * pitch, c.text);
    for (size_t i = 0; i < n; ++i) add_button(g, rects[i], choices[i].label);
    draw_focus(g, rects[focus]);
    gui_present(g);
    dialog_pump(g);

    const Key k = take_key(g);
    if (k.scan == kScanEnter || k.scan == kScanSpace) {
      taken = static_cast<int32_t>(focus);
    } else if (k.scan == kScanEscape) {
      taken = escape;
    } else if (k.scan == kScanTab || k.scan == kScanRight) {
      focus = (focus + 1) % n;
    } else if (k.scan == kScanLeft) {
      focus = (focus + n - 1) % n;
    }
    if (taken < 0 && (gui_mouse_buttons(g) & 1)) {
      const int32_t slot = gui_button_at_mouse(g);
      if (slot >= 0 && static_cast<size_t>(slot) < n) taken = slot;
    }
    if (taken < 0 && unanswered(g)) taken = static_cast<int32_t>(focus);
  }
  return static_cast<size_t>(taken);
}

// ---- The one-line text dialog ----

// The four layouts of input_box and list_box, by style.
enum class Variant { Standard, Centred, Side, Wide };

Variant variant_of(int32_t style) {
  switch (style) {
    case 1:
      return Variant::Centred;
    case 2:
      return Variant::Side;
    case 3:
      return Variant::Wide;
    default:
      return Variant::Standard;
  }
}

struct EditLayout {
  Box box;
  int32_t prompt_x = 0, prompt_y = 0;
  GuiRect field, ok, cancel;
};

// Standard: prompt above a 320-pixel field, buttons below on the right. Centred: a 360-pixel
// field, buttons centred below. Side: the prompt in a column left of the field. Wide: a
// 400-pixel field with the buttons in a column at the right.
// The window is at least min_width wide (for its caption); the field takes the extra width.
EditLayout edit_layout(const Gui& g, Variant v, const std::vector<std::string>& lines,
                       int32_t min_width) {
  const int32_t fh = gui_font_height(g), pitch = fh + 4, field_h = fh + 12, bh = fh + 12;
  const int32_t pw = widest(g, lines), ph = static_cast<int32_t>(lines.size()) * pitch;
  const int32_t gap = lines.empty() ? 0 : 8;
  const int32_t buttons_w = 2 * kButtonWidth + 12;
  EditLayout l;
  if (v == Variant::Side) {
    const int32_t fw = 240, column = pw + (lines.empty() ? 0 : 12);
    const int32_t row_h = std::max(ph, field_h);
    const int32_t inner = std::max({column + fw, buttons_w, min_width - 2 * kSide});
    l.box = centred_box(inner + 2 * kSide, kTitleBand + 20 + row_h + 16 + bh + 16);
    const int32_t top = l.box.y1 + kTitleBand + 20, left = l.box.x1 + kSide;
    l.prompt_x = left;
    l.prompt_y = top + (row_h - ph) / 2;
    l.field = rect_at(left + column, top + (row_h - field_h) / 2, fw, field_h);
    const int32_t by = top + row_h + 16, right = l.box.x2 - kSide;
    l.ok = rect_at(right - buttons_w, by, kButtonWidth, bh);
    l.cancel = rect_at(right - kButtonWidth, by, kButtonWidth, bh);
  } else if (v == Variant::Wide) {
    const int32_t content = std::max({pw, 400, min_width - 2 * kSide - 16 - kButtonWidth});
    const int32_t content_h = std::max(ph + gap + field_h, 2 * bh + 8);
    l.box = centred_box(content + 16 + kButtonWidth + 2 * kSide, kTitleBand + 20 + content_h + 20);
    const int32_t top = l.box.y1 + kTitleBand + 20, left = l.box.x1 + kSide;
    l.prompt_x = left;
    l.prompt_y = top;
    l.field = rect_at(left, top + ph + gap, l.box.x2 - kSide - 16 - kButtonWidth - left, field_h);
    const int32_t bx = l.box.x2 - kSide - kButtonWidth;
    l.ok = rect_at(bx, top, kButtonWidth, bh);
    l.cancel = rect_at(bx, top + bh + 8, kButtonWidth, bh);
  } else {
    const int32_t fw = v == Variant::Centred ? 360 : 320;
    const int32_t inner = std::max({pw, fw, buttons_w, min_width - 2 * kSide});
    l.box = centred_box(inner + 2 * kSide, kTitleBand + 20 + ph + gap + field_h + 16 + bh + 16);
    const int32_t top = l.box.y1 + kTitleBand + 20, left = l.box.x1 + kSide;
    const int32_t width = l.box.x2 - l.box.x1 - 2 * kSide;
    l.prompt_x = left;
    l.prompt_y = top;
    l.field = rect_at(left, top + ph + gap, width, field_h);
    const int32_t by = l.field.y2 + 16;
    const int32_t bx =
        v == Variant::Centred ? left + (width - buttons_w) / 2 : left + width - buttons_w;
    l.ok = rect_at(bx, by, kButtonWidth, bh);
    l.cancel = rect_at(bx + kButtonWidth + 12, by, kButtonWidth, bh);
  }
  return l;
}

// Edits text (at most limit characters); true for OK, which Enter also gives.
bool edit_dialog(System& s, std::string_view prompt, int32_t style, size_t limit,
                 std::string& text) {
  DialogFrame frame(s);
  echo(s, prompt);
  if (!s.gui) return true;
  Gui& g = *s.gui;
  const Colours c = colours_of(g);
  const Variant v = variant_of(style);
  const std::string_view caption = style == 0 ? prompt : std::string_view();
  const std::vector<std::string> lines =
      style == 0 ? std::vector<std::string>() : wrap(g, prompt, v == Variant::Side ? 200 : 400, 8);
  const EditLayout l = edit_layout(g, v, lines, caption_width(g, caption));
  const int32_t fh = gui_font_height(g), pitch = fh + 4;
  const int32_t inner_x = l.field.x1 + 6, inner_w = l.field.x2 - 10 - inner_x;
  const int32_t text_y = l.field.y1 + (l.field.y2 - l.field.y1 - fh) / 2;

  std::string left = text.substr(0, std::min(text.size(), limit)), right;
  size_t scroll = 0;  // the first character shown in the field
  int32_t answer = -1;
  while (answer < 0) {
    draw_window(g, frame, l.box, caption, true);
    for (size_t i = 0; i < lines.size(); ++i)
      gui_print_in(g, lines[i], l.prompt_x, l.prompt_y + static_cast<int32_t>(i) * pitch, c.text);
    add_button(g, l.ok, "OK");
    add_button(g, l.cancel, "Cancel");
    draw_focus(g, l.ok);

    // The field scrolls so that the caret stays inside it.
    const std::string all = left + right;
    const size_t caret = left.size();
    scroll = std::min(scroll, caret);
    int32_t caret_w = gui_text_width(g, std::string_view(all).substr(scroll, caret - scroll));
    while (caret_w > inner_w - 2 && scroll < caret) caret_w -= char_width(g, all[scroll++]);
    gui_inset_frame(g, l.field.x1, l.field.y1, l.field.x2, l.field.y2);
    gui_fill_clipped(g, l.field.x1 + 3, l.field.y1 + 3, l.field.x2 - 6, l.field.y2 - 6,
                     c.field_fill);
    gui_print_in(g, fit(g, std::string_view(all).substr(scroll), inner_w), inner_x, text_y,
                 c.field_text);
    gui_line(g, inner_x + caret_w, text_y, inner_x + caret_w, text_y + fh - 1, c.caret);

    gui_present(g);
    dialog_pump(g);
    const Key k = take_key(g);
    const bool room = all.size() < limit;
    if (k.scan == kScanEnter) {
      answer = 1;
    } else if (k.scan == kScanEscape) {
      answer = 0;
    } else if (k.text == ".") {
      // The keypad's full stop shares its scan code with Delete: the text decides.
      if (room) left += '.';
    } else if (caret_key(left, right, k.scan)) {
    } else if (k.text.size() == 1 && static_cast<uint8_t>(k.text[0]) >= 32) {
      if (room) left += k.text;
    }
    if (answer < 0 && (gui_mouse_buttons(g) & 1)) {
      const int32_t slot = gui_button_at_mouse(g);
      if (slot == 0) {
        answer = 1;
      } else if (slot == 1 || slot == kGuiCloseBoxHit) {
        answer = 0;
      } else if (l.field.contains(g.mouse_x, g.mouse_y)) {
        const std::string both = left + right;
        size_t at = scroll;
        int32_t x = inner_x;
        while (at < both.size()) {
          const int32_t w = char_width(g, both[at]);
          if (x + w > g.mouse_x) break;
          x += w;
          ++at;
        }
        left = both.substr(0, at);
        right = both.substr(at);
      }
    }
    if (answer < 0 && unanswered(g)) answer = 1;
  }
  text = left + right;
  return answer == 1;
}

// ---- The list ----

struct ListLayout {
  Box box;
  GuiRect list;  // the inset frame around rows and scroll bar
  int32_t rows = 0, row_h = 0;
  int32_t rows_x = 0, rows_y = 0, rows_w = 0;
  GuiRect up, down, track;
  GuiRect ok, cancel;
};

// Standard: ten rows, buttons below on the right. Centred: eight rows, buttons centred below.
// Side: twelve rows with the buttons in a column at the right. Wide: five wide rows.
// The window is at least min_width wide (for its caption); the list takes the extra width.
ListLayout list_layout(const Gui& g, Variant v, int32_t min_width) {
  const int32_t fh = gui_font_height(g), bh = fh + 12;
  const int32_t buttons_w = 2 * kButtonWidth + 12;
  ListLayout l;
  l.row_h = fh + 2;
  int32_t width = 320;
  switch (v) {
    case Variant::Standard:
      l.rows = 10;
      width = 320;
      break;
    case Variant::Centred:
      l.rows = 8;
      width = 280;
      break;
    case Variant::Side:
      l.rows = 12;
      width = 300;
      break;
    case Variant::Wide:
      l.rows = 5;
      width = 440;
      break;
  }
  const int32_t beside = 2 * kSide + (v == Variant::Side ? 16 + kButtonWidth : 0);
  width = std::clamp(min_width - beside, width, kGuiWidth - 8 - beside);
  const int32_t list_h = l.rows * l.row_h + 10;
  if (v == Variant::Side) {
    l.box = centred_box(width + 16 + kButtonWidth + 2 * kSide, kTitleBand + 16 + list_h + 20);
  } else {
    l.box = centred_box(std::max(width, buttons_w) + 2 * kSide,
                        kTitleBand + 16 + list_h + 16 + bh + 16);
  }
  const int32_t top = l.box.y1 + kTitleBand + 16, left = l.box.x1 + kSide;
  l.list = rect_at(left, top, width, list_h);
  l.rows_x = left + 4;
  l.rows_y = top + 4;
  l.rows_w = width - 8 - kScrollBar - 2;
  const int32_t sx = l.list.x2 - 4 - kScrollBar;
  l.up = rect_at(sx, top + 4, kScrollBar, kScrollBar);
  l.down = rect_at(sx, l.list.y2 - 4 - kScrollBar, kScrollBar, kScrollBar);
  l.track = {sx, l.up.y2, l.up.x2, l.down.y1};
  if (v == Variant::Side) {
    const int32_t bx = l.box.x2 - kSide - kButtonWidth;
    l.ok = rect_at(bx, top, kButtonWidth, bh);
    l.cancel = rect_at(bx, top + bh + 8, kButtonWidth, bh);
  } else {
    const int32_t by = l.list.y2 + 16;
    const int32_t bx =
        v == Variant::Centred ? left + (width - buttons_w) / 2 : l.list.x2 - buttons_w;
    l.ok = rect_at(bx, by, kButtonWidth, bh);
    l.cancel = rect_at(bx + kButtonWidth + 12, by, kButtonWidth, bh);
  }
  return l;
}

// A small filled triangle pointing up or down, centred in r.
void draw_arrow(Gui& g, const GuiRect& r, bool up, int32_t colour) {
  const int32_t cx = (r.x1 + r.x2 - 1) / 2 - 1, cy = (r.y1 + r.y2 - 1) / 2 - 1;
  for (int32_t k = 0; k < 4; ++k) {
    const int32_t y = up ? cy - 2 + k : cy + 1 - k;
    gui_fill_clipped(g, cx - k, y, cx + k, y, colour);
  }
}

// The scroll bar's thumb for `top` of `count` entries, `rows` shown: its top and height.
void thumb_of(const ListLayout& l, size_t count, int32_t top, int32_t& y, int32_t& h) {
  const int32_t track_h = l.track.y2 - l.track.y1;
  const int32_t hidden = static_cast<int32_t>(count) - l.rows;
  if (hidden <= 0) {
    y = l.track.y1;
    h = track_h;
    return;
  }
  h = std::max(12, static_cast<int32_t>(int64_t(track_h) * l.rows / int64_t(count)));
  y = l.track.y1 + static_cast<int32_t>(int64_t(track_h - h) * top / hidden);
}

// Shows the entries; returns the chosen index (OK, or Enter) or -1 (Cancel, Escape, nothing
// chosen).
int32_t list_dialog(System& s, std::string_view title, const std::vector<std::string_view>& entries,
                    int32_t selection, int32_t style) {
  DialogFrame frame(s);
  const int32_t n = static_cast<int32_t>(entries.size());
  int32_t sel = selection >= 0 && selection < n ? selection : -1;
  {
    std::string listing(title);
    for (int32_t i = 0; i < n; ++i)
      listing += "\n  " + std::to_string(i) + ": " + std::string(entries[i]);
    echo(s, listing);
  }
  if (!s.gui) return sel;
  Gui& g = *s.gui;
  const Colours c = colours_of(g);
  const ListLayout l = list_layout(g, variant_of(style), caption_width(g, title));
  const int32_t last_top = std::max(0, n - l.rows);
  int32_t top = 0;
  auto show = [&](int32_t i) {
    if (i < 0) return;
    if (i < top) top = i;
    if (i >= top + l.rows) top = i - l.rows + 1;
  };
  show(sel);
  int32_t answer = -2;  // -2 while the dialog is open
  int32_t held = 0;     // the mouse buttons of the last pass
  int32_t drag = -1;    // while the thumb is dragged: the mouse's offset into it
  while (answer == -2) {
    top = std::clamp(top, 0, last_top);
    draw_window(g, frame, l.box, title, true);
    add_button(g, l.ok, "OK");
    add_button(g, l.cancel, "Cancel");
    draw_focus(g, l.ok);
    gui_inset_frame(g, l.list.x1, l.list.y1, l.list.x2, l.list.y2);
    gui_fill_clipped(g, l.list.x1 + 3, l.list.y1 + 3, l.list.x2 - 6, l.list.y2 - 6, c.field_fill);
    for (int32_t r = 0; r < l.rows && top + r < n; ++r) {
      const int32_t y = l.rows_y + r * l.row_h;
      const bool chosen = top + r == sel;
      if (chosen)
        gui_fill_clipped(g, l.rows_x, y, l.rows_x + l.rows_w - 1, y + l.row_h - 1, c.highlight);
      gui_print_in(g, fit(g, entries[top + r], l.rows_w - 8), l.rows_x + 4, y + 1,
                   chosen ? c.highlight_text : c.field_text);
    }
    gui_fill_clipped(g, l.track.x1, l.track.y1, l.track.x2 - 1, l.track.y2 - 1, c.track);
    const int32_t up = add_button(g, l.up, "");
    const int32_t down = add_button(g, l.down, "");
    draw_arrow(g, l.up, true, c.text);
    draw_arrow(g, l.down, false, c.text);
    int32_t thumb_y = 0, thumb_h = 0;
    thumb_of(l, entries.size(), top, thumb_y, thumb_h);
    if (n > l.rows) {
      gui_fill_clipped(g, l.track.x1, thumb_y, l.track.x2 - 5, thumb_y + thumb_h - 5,
                       gui_skin_colour(g, skin::kRaisedFillX));
      gui_raised_frame(g, l.track.x1, thumb_y, l.track.x2, thumb_y + thumb_h);
    }

    gui_present(g);
    dialog_pump(g);
    const Key k = take_key(g);
    const int32_t from = sel < 0 ? -1 : sel;
    switch (k.scan) {
      case kScanEnter:
        answer = sel;
        break;
      case kScanEscape:
        answer = -1;
        break;
      case kScanUp:
        sel = std::max(0, from - 1);
        break;
      case kScanDown:
        sel = std::min(n - 1, from + 1);
        break;
      case kScanPageUp:
        sel = std::max(0, from - l.rows);
        break;
      case kScanPageDown:
        sel = std::min(n - 1, std::max(0, from) + l.rows);
        break;
      case kScanHome:
        sel = n > 0 ? 0 : -1;
        break;
      case kScanEnd:
        sel = n - 1;
        break;
      default:
        // A character moves to the next entry that starts with it.
        if (k.text.size() == 1 && static_cast<uint8_t>(k.text[0]) > 32) {
          const char want = static_cast<char>(std::tolower(static_cast<uint8_t>(k.text[0])));
          for (int32_t step = 1; step <= n; ++step) {
            const int32_t i = ((from < 0 ? -1 : from) + step + n) % n;
            if (!entries[i].empty() && std::tolower(static_cast<uint8_t>(entries[i][0])) == want) {
              sel = i;
              break;
            }
          }
        }
        break;
    }
    if (n == 0) sel = -1;
    if (k.scan != 0 && sel >= 0) show(sel);
    if (g.input) {
      const int32_t wheel = wheel_read(*g.input);  // away from the user (negative) scrolls up
      if (wheel != 0) top += wheel < 0 ? -3 : 3;
    }

    const int32_t buttons = gui_mouse_buttons(g);
    const bool pressed = (buttons & 1) && !(held & 1);
    held = buttons;
    if (!(buttons & 1)) drag = -1;
    if (drag >= 0 && last_top > 0) {
      const int32_t span = (l.track.y2 - l.track.y1) - thumb_h;
      if (span > 0)
        top = static_cast<int32_t>(int64_t(g.mouse_y - drag - l.track.y1) * last_top / span);
    } else if (pressed && answer == -2) {
      const int32_t slot = gui_button_at_mouse(g);
      const int32_t mx = g.mouse_x, my = g.mouse_y;
      if (slot == 0) {
        answer = sel;
      } else if (slot == 1 || slot == kGuiCloseBoxHit) {
        answer = -1;
      } else if (slot == up) {
        --top;
      } else if (slot == down) {
        ++top;
      } else if (l.track.contains(mx, my) && mx < l.track.x2 && n > l.rows) {
        if (my < thumb_y)
          top -= l.rows;
        else if (my >= thumb_y + thumb_h)
          top += l.rows;
        else
          drag = my - thumb_y;
      } else if (mx >= l.rows_x && mx < l.rows_x + l.rows_w && my >= l.rows_y &&
                 my < l.rows_y + l.rows * l.row_h) {
        const int32_t i = top + (my - l.rows_y) / l.row_h;
        if (i < n) sel = i;
      }
    }
    if (answer == -2 && unanswered(g)) answer = sel;
  }
  return answer;
}

// The texts an integer block names: of its first count words (no more than it holds), those
// that are live text blocks or literals.
std::vector<std::string_view> list_entries(System& s, int32_t items, int32_t count) {
  std::vector<std::string_view> entries;
  if (!s.blocks || items < 0 || items >= kBlockEntries) return entries;
  const Block& b = s.blocks->entry[items];
  if (!b.data) return entries;
  const int32_t words = std::min(count, b.size / 4);
  for (int32_t i = 0; i < words; ++i) {
    int32_t word = 0;
    std::memcpy(&word, b.data.get() + 4 * i, 4);
    const bool block = word >= 0 && word < kBlockEntries && s.blocks->entry[word].data;
    if (block || literal_argument(s, word)) entries.push_back(text_argument(s, word));
  }
  return entries;
}

// ---- The file dialog ----

// The filter's (description, pattern) pairs: separated by NUL characters, or by "|" in a text
// that has none (brain literals cannot hold a NUL).
std::vector<std::pair<std::string, std::string>> filter_pairs(std::string_view filter) {
  const char separator = filter.find('\0') != std::string_view::npos ? '\0' : '|';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < filter.size()) {
    size_t end = filter.find(separator, start);
    if (end == std::string_view::npos) end = filter.size();
    parts.emplace_back(filter.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = 0; i + 1 < parts.size(); i += 2)
    if (!parts[i + 1].empty()) pairs.emplace_back(parts[i], parts[i + 1]);
  return pairs;
}

bool is_folder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A save may replace a file only where it can write.
bool writable_target(const std::string& path) {
  if (access(path.c_str(), F_OK) == 0) return access(path.c_str(), W_OK) == 0;
  const size_t cut = path.rfind('/');
  const std::string folder = cut == std::string::npos ? "." : path.substr(0, cut + 1);
  return access(folder.c_str(), W_OK) == 0;
}

// The file list inside the dialogs' frame: a path, or empty when none was chosen.
std::string file_dialog(System& s, std::string initial, bool save, std::string_view filter) {
  Gui* g = s.gui;
  if (!g) {
    echo(s, save ? "Save file" : "Open file");
    return {};
  }
  const auto pairs = filter_pairs(filter);
  const std::string pattern = pairs.empty() ? std::string("*.*") : pairs.front().second;
  if (!initial.empty() && initial.back() == '\\') initial += pattern;
  std::replace(initial.begin(), initial.end(), '\\', '/');
  const std::string base(s.core && s.core->base_folder ? s.core->base_folder->view() : std::string_view());
  if (!initial.empty() && initial.front() != '/') initial = base + (initial.starts_with("./") ? initial.substr(2) : initial);
  std::string folder = initial, name;
  if (!is_folder(initial)) {
    const size_t cut = initial.rfind('/');
    folder = cut == std::string::npos ? base : initial.substr(0, cut + 1);
    name = cut == std::string::npos ? initial : initial.substr(cut + 1);
  }
  if (name.find_first_of("*?") != std::string::npos) name.clear();
  FileListOptions o;
  o.mask = pattern;
  o.save = save;
  o.proposed_name = name;
  if (save) o.heading = "Click a file name, or New name to type one";
  if (!pairs.empty() && !pairs.front().first.empty()) o.heading += "  (" + pairs.front().first + ")";

  echo(s, std::string(save ? "Save file: " : "Open file: ") + folder + pattern);
  DialogFrame frame(s);
  // The run's script is timed in loop frames: the list takes the events of one time per pass.
  const std::function<void()> own_pump = g->io.pump;
  if (!own_pump && g->script && g->input) {
    g->io.pump = [g] {
      if (g->screen && g->core->frame.screen != g->screen && platform::screen_pump(*g->screen))
        platform::screen_sample_mouse(*g->screen);
      pump(*g->core);
      InputScript& script = *g->script;
      if (!input_script_done(script))
        feed_input_script(script, *g->input, script.events[script.next].time, display_width(*g),
                          display_height(*g));
    };
  }
  std::string chosen;
  while (true) {
    chosen = choose_file(*g, folder, o);
    if (chosen.empty()) break;
    folder = chosen.substr(0, chosen.rfind('/') + 1);
    if (!save) {
      if (access(chosen.c_str(), R_OK) == 0) break;  // the open dialog wants an existing file
      continue;
    }
    const std::string shown = chosen.substr(chosen.rfind('/') + 1);
    if (!writable_target(chosen)) {
      gui_message_box(*g, shown + " is read-only.|Choose another name.", " OK ", "");
      if (gui_input_exhausted(*g)) {
        chosen.clear();
        break;
      }
      continue;
    }
    if (access(chosen.c_str(), F_OK) != 0) break;
    if (gui_message_box(*g, shown + " already exists.|Do you want to replace it?", " NO! ", " YES ") == 2) break;
    if (gui_input_exhausted(*g)) {
      chosen.clear();
      break;
    }
  }
  g->io.pump = own_pump;
  return chosen;
}

}  // namespace

int32_t file_box(System& s, int32_t block, int32_t save, int32_t filter) {
  if (free_block_handle(s, block) || free_block_handle(s, filter)) return 0;
  if (block < 0 || block >= kBlockEntries || !s.blocks) {
    runtime_error_box(s, kFileBoxLiteral);
    return 0;
  }
  std::string_view current;
  block_text(*s.blocks, block, current);
  const std::string chosen = file_dialog(s, std::string(current), save != 0, text_argument(s, filter));
  if (chosen.empty()) return 0;
  const size_t limit = static_cast<size_t>(std::max(0, s.blocks->entry[block].size - 1));
  block_text_set(s, block, std::string_view(chosen).substr(0, std::min(chosen.size(), limit)));
  return -1;
}

int32_t msg_box(System& s, int32_t text, int32_t icon, int32_t default_button, int32_t buttons) {
  if (free_block_handle(s, text)) return 0;
  static constexpr Choice kOkCancel[] = {kOk, kCancel};
  static constexpr Choice kYesNo[] = {kYes, kNo};
  static constexpr Choice kYesNoCancel[] = {kYes, kNo, kCancel};
  static constexpr Choice kOkOnly[] = {kOk};
  std::span<const Choice> choices = kOkOnly;
  int32_t escape = 0;  // OK alone: Escape answers OK
  switch (buttons) {
    case 1:
      choices = kOkCancel;
      escape = 1;
      break;
    case 2:
      choices = kYesNo;
      escape = kNoEscape;
      break;
    case 3:
      choices = kYesNoCancel;
      escape = 2;
      break;
    default:
      break;
  }
  // Default 1..3 names the second to fourth button; one that does not exist gives the first.
  size_t focus =
      default_button >= 1 && default_button <= 3 ? static_cast<size_t>(default_button) : 0;
  if (focus >= choices.size()) focus = 0;
  const size_t taken =
      message_dialog(s, text_argument(s, text), "", icon_of(icon), choices, focus, escape);
  return taken < choices.size() ? choices[taken].answer : -1;
}

int32_t input_box(System& s, int32_t prompt, int32_t block, int32_t style) {
  if (free_block_handle(s, prompt) || free_block_handle(s, block)) return 0;
  if (block < 0 || block >= kBlockEntries || !s.blocks) {
    runtime_error_box(s, kInputBoxLiteral);
    return 0;
  }
  std::string_view current;
  block_text(*s.blocks, block, current);
  const size_t limit = static_cast<size_t>(std::max(0, s.blocks->entry[block].size - 1));
  std::string text(current.substr(0, std::min(current.size(), limit)));
  if (!edit_dialog(s, text_argument(s, prompt), style, limit, text)) return 0;
  block_text_set(s, block, text);
  return 1;
}

int32_t list_box(System& s, int32_t title, int32_t items, int32_t selection, int32_t count,
                 int32_t style) {
  // A free title gives "nothing chosen" rather than 0, which would read as the first entry.
  if (free_block_handle(s, title)) return -1;
  const std::vector<std::string_view> entries = list_entries(s, items, count);
  return list_dialog(s, text_argument(s, title), entries, selection, style);
}

void clear(System& s) {
  if (!s.input) return;
  drain_keys(*s.input);
  typed_text_clear(*s.input);
  s.input->wheel = 0;
}

void str_input(System& s, int32_t target) {
  if (!s.input || !s.blocks || target < 0 || target >= kBlockEntries) return;
  block_text_set(s, target,
                 std::string_view(s.input->text, static_cast<size_t>(s.input->text_len)));
}

void str_input_set(System& s, int32_t text) {
  if (!s.input || free_block_handle(s, text)) return;
  const std::string_view t = text_argument(s, text);
  const size_t n = std::min(t.size(), static_cast<size_t>(kTypedTextBytes - 1));
  std::memcpy(s.input->text, t.data(), n);
  s.input->text[n] = 0;
  s.input->text_len = static_cast<int32_t>(n);
}

void runtime_error_box(System& s, std::string_view text) {
  static constexpr Choice kOkOnly[] = {kOk};
  message_dialog(s, text, kRuntimeErrorCaption, Icon::Error, kOkOnly, 0, 0);
}

void connect_dialog_hooks(System& s) {
  if (!s.run) return;
  System* sys = &s;
  s.run->hooks.runtime_error = [sys](std::string_view text) { runtime_error_box(*sys, text); };
}

void bind_dialog_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"msg_box", keyword_routine<msg_box>},     {"input_box", keyword_routine<input_box>},
      {"list_box", keyword_routine<list_box>},   {"file_box", keyword_routine<file_box>},
      {"clear", keyword_routine<clear>},
      {"str_input", keyword_routine<str_input>}, {"str_input_set", keyword_routine<str_input_set>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
