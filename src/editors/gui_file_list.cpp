// The file list: a modal, scrolling list of a folder's sub-folders and matching files with the
// root buttons on its left, a scroll bar, type-ahead and Backspace as "..". Every editor's file
// choices and the brains' file_box go through it.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/core.h"
#include "devices/input.h"
#include "editors/gui.h"
#include "editors/gui_local.h"

namespace korva {
namespace {

constexpr std::string_view kNoFiles = "(No files found)";
constexpr std::string_view kNotReady = "Device not ready!";
constexpr std::string_view kFolderMarker = "(dir) ";
constexpr std::string_view kNewName = "New name";
constexpr int32_t kRows = 20;        // rows the list shows
constexpr int32_t kPageStep = 19;    // rows a press beside the thumb scrolls
// A path longer than this is not followed: a link loop entered again and again ends here.
constexpr size_t kLongestPath = 4000;

char lower(char ch) { return static_cast<char>(std::tolower(static_cast<unsigned char>(ch))); }

bool less_nocase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return lower(x) < lower(y); });
}

// "*" any run, "?" any one character, other characters without regard to case.
bool wildcard(std::string_view p, std::string_view n) {
  size_t pi = 0, ni = 0, star = std::string_view::npos, back = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || lower(p[pi]) == lower(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      back = ni;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      ni = ++back;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

std::string with_slash(std::string_view folder) {
  std::string f(folder);
  if (f.empty() || f.back() != '/') f += '/';
  return f;
}

// Mount points from /proc/mounts below /media and /mnt (the "\040" escapes decoded).
std::vector<std::string> removable_mounts() {
  std::vector<std::string> found;
  std::ifstream in("/proc/mounts");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, point;
    if (!(fields >> device >> point)) continue;
    std::string decoded;
    for (size_t i = 0; i < point.size(); ++i) {
      if (point[i] == '\\' && i + 3 < point.size() && std::isdigit(static_cast<unsigned char>(point[i + 1]))) {
        decoded += static_cast<char>(std::strtol(point.substr(i + 1, 3).c_str(), nullptr, 8));
        i += 3;
      } else {
        decoded += point[i];
      }
    }
    if (decoded.starts_with("/media/") || decoded.starts_with("/mnt/")) found.push_back(decoded);
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

// ---- The list on screen ----

struct Layout {
  int32_t u = 8, h = 7;              // a fifth of "Mm0wW" and half the font height
  int32_t x = 0, y = 0, w = 0, rows_h = 0;  // the list area
  int32_t row = 14;                  // row pitch
  int32_t bar_x = 0;                 // scroll bar: from bar_x to the list's right edge
  int32_t button_x1 = 0, button_x2 = 0;
  GuiRect window{};
};

Layout layout_of(const Gui& g) {
  Layout l;
  l.u = std::max(1, gui_text_width(g, "Mm0wW") / 5);
  l.h = std::max(4, gui_font_height(g) / 2);
  l.row = 2 * l.h;
  l.w = 50 * l.u;
  l.rows_h = kRows * l.row;
  // The list is centred unless its buttons would not fit on its left; with a wide font it
  // moves right as far as the screen allows.
  const int32_t button_w = std::max(16, std::min(8 * l.u, kGuiWidth - l.w - 36));
  l.x = std::max((kGuiWidth - l.w) / 2, 12 + button_w + 8);
  l.y = (kGuiHeight - l.rows_h) / 2;
  l.bar_x = l.x + l.w - 2 * l.u;
  l.button_x2 = l.x - 8;
  l.button_x1 = l.button_x2 - button_w;
  l.window = {std::max(0, l.button_x1 - 8), std::max(0, l.y - 4 * l.h - 36),
              std::min(kGuiWidth, l.x + l.w + 12), std::min(kGuiHeight, l.y + l.rows_h + 16)};
  return l;
}

// The longest start of text at most width pixels wide.
std::string cut_to(const Gui& g, std::string_view text, int32_t width) {
  if (gui_text_width(g, text) <= width) return std::string(text);
  size_t n = text.size();
  while (n > 0 && gui_text_width(g, text.substr(0, n)) > width) --n;
  return std::string(text.substr(0, n));
}

struct FileList {
  Gui& g;
  FileListOptions options;
  Layout l;
  std::string folder{};
  std::vector<FileListEntry> entries{};
  std::vector<FileListRoot> roots{};
  int32_t top = 0;
  std::string message{};  // "Device not ready!" until the next change
  int32_t first_root_slot = 0, new_name_slot = -1;

  int32_t count() const { return static_cast<int32_t>(entries.size()); }
  int32_t last_top() const { return std::max(0, count() - kRows); }
  void scroll_to(int32_t t) { top = std::clamp(t, 0, last_top()); }

  // Changes to a folder; an unreadable one keeps the previous listing and says so.
  bool open(const std::string& f) {
    std::vector<FileListEntry> listed;
    if (f.size() > kLongestPath || !list_chooser_folder(f, options.mask, listed)) {
      message = std::string(kNotReady);
      return false;
    }
    folder = f;
    entries = std::move(listed);
    top = 0;
    message.clear();
    return true;
  }

  // Thumb's top and height.
  void thumb(int32_t& y, int32_t& height) const {
    if (count() <= kRows) {
      y = l.y;
      height = l.rows_h;
      return;
    }
    height = std::max(l.row / 2 + 4, l.rows_h * kRows / count());
    y = l.y + static_cast<int32_t>(int64_t(l.rows_h - height) * top / last_top());
  }

  void draw() {
    const int32_t text = gui_skin_colour(g, skin::kWindowTextX);
    const int32_t list_text = gui_skin_colour(g, skin::kInputTextX);
    gui_clear(g);
    gui_window(g, l.window.x1, l.window.y1, l.window.x2, l.window.y2, true);
    gui_reset_buttons(g);
    gui_print_in(g, options.heading, l.x, l.y - 4 * l.h - 8, text);
    gui_print_in(g, cut_to(g, folder, l.w), l.x, l.y - 2 * l.h - 6, text);

    // ".." and the roots, a row high each, as many as fit beside the list.
    const int32_t max_buttons = l.rows_h / (l.row + 2);
    first_root_slot = -1;
    for (int32_t i = 0; i <= static_cast<int32_t>(roots.size()) && i < max_buttons; ++i) {
      const int32_t y1 = l.y + i * (l.row + 2);
      const int32_t slot = gui_add_button(g, l.button_x1, y1, l.button_x2, y1 + l.row, ButtonStyle::Raised);
      if (i == 0) first_root_slot = slot;
      gui_set_colour(g, text);
      gui_label_button(g, i == 0 ? std::string("..") : cut_to(g, roots[size_t(i - 1)].label, l.button_x2 - l.button_x1 - 8), slot);
    }
    new_name_slot = -1;
    if (options.save) {
      const int32_t y2 = l.y + l.rows_h;
      new_name_slot = gui_add_button(g, l.button_x1, y2 - l.row, l.button_x2, y2, ButtonStyle::Raised);
      gui_set_colour(g, text);
      gui_label_button(g, kNewName, new_name_slot);
    }

    gui_inset_frame(g, l.x - 4, l.y - 4, l.x + l.w + 4, l.y + l.rows_h + 4);
    gui_fill_box(g, l.x, l.y, l.x + l.w, l.y + l.rows_h, gui_skin_colour(g, skin::kInputFillX));
    const int32_t right = l.bar_x - 6;
    if (entries.empty()) {
      gui_print_in(g, kNoFiles, l.x + 4, l.y + (l.row - gui_font_height(g)) / 2, list_text);
    }
    for (int32_t r = 0; r < kRows && top + r < count(); ++r) {
      const FileListEntry& e = entries[size_t(top + r)];
      const int32_t y = l.y + r * l.row + (l.row - gui_font_height(g)) / 2;
      const std::string size = e.folder ? std::string() : std::to_string(e.size);
      const int32_t size_w = gui_text_width(g, size);
      const std::string name = (e.folder ? std::string(kFolderMarker) : std::string()) + e.name;
      gui_print_in(g, cut_to(g, name, right - size_w - 12 - l.x), l.x + 4, y, list_text);
      gui_print_in(g, size, right - size_w, y, list_text);
    }
    // The scroll bar with its thumb.
    gui_fill_box(g, l.bar_x, l.y, l.x + l.w, l.y + l.rows_h, gui_skin_colour(g, skin::kInsetFillX));
    int32_t ty = 0, th = 0;
    thumb(ty, th);
    gui_fill_box(g, l.bar_x, ty, l.x + l.w, ty + th, gui_skin_colour(g, skin::kRaisedFillX));
    gui_raised_frame(g, l.bar_x, ty, l.x + l.w + 1, ty + th + 1);
    if (!message.empty()) {
      const int32_t w = gui_text_width(g, message) + 24;
      const int32_t cx = l.x + l.w / 2, cy = l.y + l.rows_h / 2;
      // A plate rather than a window, which would take the list's close box away.
      gui_fill_box(g, cx - w / 2, cy - 16, cx + w / 2, cy + 16, gui_skin_colour(g, skin::kWindowFillX));
      gui_raised_frame(g, cx - w / 2, cy - 16, cx + w / 2 + 4, cy + 20);
      gui_print_in(g, message, cx - gui_text_width(g, message) / 2, cy - gui_font_height(g) / 2, text);
    }
  }

  // A letter jumps to the first entry that begins with it; none leaves the list where it is.
  void type_ahead(char letter) {
    if (count() <= kRows) return;
    for (int32_t i = 0; i < count(); ++i) {
      const std::string& n = entries[size_t(i)].name;
      if (!n.empty() && lower(n[0]) == letter) {
        scroll_to(i);
        return;
      }
    }
  }

  // Asks for a name to save under; empty when the user gives none.
  std::string ask_name() {
    const std::string name = std::string(gui_trim(gui_input_box(g, 360, options.proposed_name, "File name")));
    if (name.empty() || name.find('/') != std::string::npos) return {};
    options.proposed_name = name;
    return folder + name;
  }

  std::string run() {
    bool was_down = false;
    bool dragging = false;
    int32_t drag_offset = 0;
    gui_flush_input(g);
    while (true) {
      draw();
      gui_present(g);
      gui_pump(g);
      std::string typed;
      int32_t scan = 0;
      if (g.input && g.input->read != g.input->write) {
        typed = std::string(next_key(*g.core, *g.input).view());
        scan = g.input->last_key;
      } else if (gui_input_exhausted(g) && !dragging) {
        return {};  // nobody left to choose: as Escape
      }
      const int32_t buttons = gui_mouse_buttons(g);
      const bool pressed = (buttons & 3) != 0 && !was_down;
      was_down = (buttons & 3) != 0;
      const int32_t mx = g.mouse_x, my = g.mouse_y;

      if (scan == kScanEscape) return {};
      if (scan == kScanBackspace) {
        open(parent_folder(folder));
        continue;
      }
      if (scan == kScanPageUp) scroll_to(top - kPageStep);
      if (scan == kScanPageDown) scroll_to(top + kPageStep);
      if (scan == kScanEnter && options.save) {
        if (std::string path = ask_name(); !path.empty()) return path;
        continue;
      }
      if (typed.size() == 1 && std::isalpha(static_cast<unsigned char>(typed[0])))
        type_ahead(lower(typed[0]));

      if (dragging) {
        if ((buttons & 1) == 0) {
          dragging = false;
        } else if (count() > kRows) {
          int32_t ty = 0, th = 0;
          thumb(ty, th);
          const int32_t span = std::max(1, l.rows_h - th);
          scroll_to(static_cast<int32_t>(int64_t(my - drag_offset - l.y) * last_top() / span));
        }
        continue;
      }
      if (!pressed) continue;
      message.clear();
      const int32_t hit = gui_button_at_mouse(g);
      if (hit == kGuiCloseBoxHit) return {};
      if (hit >= 0 && hit == new_name_slot) {
        if (std::string path = ask_name(); !path.empty()) return path;
        continue;
      }
      if (hit >= 0 && first_root_slot >= 0 && hit >= first_root_slot) {
        const int32_t k = hit - first_root_slot;
        if (k == 0) {
          open(parent_folder(folder));
        } else if (k - 1 < static_cast<int32_t>(roots.size())) {
          open(roots[size_t(k - 1)].folder);
        }
        continue;
      }
      if (mx >= l.bar_x && mx <= l.x + l.w && my >= l.y && my <= l.y + l.rows_h) {
        int32_t ty = 0, th = 0;
        thumb(ty, th);
        if (my < ty) {
          scroll_to(top - kPageStep);
        } else if (my > ty + th) {
          scroll_to(top + kPageStep);
        } else {
          dragging = true;
          drag_offset = my - ty;
        }
        continue;
      }
      if (mx >= l.x && mx < l.bar_x && my >= l.y && my < l.y + l.rows_h) {
        const int32_t i = top + (my - l.y) / l.row;
        if (i >= count()) continue;
        const FileListEntry e = entries[size_t(i)];
        if (e.folder) {
          open(folder + e.name + "/");
          continue;
        }
        return folder + e.name;
      }
    }
  }
};

}  // namespace

bool mask_matches(std::string_view mask, std::string_view name) {
  size_t start = 0;
  while (start <= mask.size()) {
    size_t end = mask.find(';', start);
    if (end == std::string_view::npos) end = mask.size();
    std::string_view p = gui_trim(mask.substr(start, end - start));
    // "*.*" names every file, with or without an extension.
    if (p == "*.*" || (!p.empty() && wildcard(p, name))) return true;
    start = end + 1;
  }
  return false;
}

bool list_chooser_folder(std::string_view folder, std::string_view mask,
                         std::vector<FileListEntry>& out) {
  out.clear();
  const std::string dir = with_slash(folder);
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  std::vector<FileListEntry> folders, files;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (stat((dir + name).c_str(), &st) != 0) continue;  // a broken link or a link loop
    if (S_ISDIR(st.st_mode)) {
      folders.push_back({name, 0, true});
    } else if (S_ISREG(st.st_mode) && mask_matches(mask, name)) {
      files.push_back({name, static_cast<int64_t>(st.st_size), false});
    }
  }
  closedir(d);
  auto by_name = [](const FileListEntry& a, const FileListEntry& b) { return less_nocase(a.name, b.name); };
  std::sort(folders.begin(), folders.end(), by_name);
  std::sort(files.begin(), files.end(), by_name);
  out = std::move(folders);
  out.insert(out.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
  return true;
}

std::string parent_folder(std::string_view folder) {
  std::string f = with_slash(folder);
  if (f == "/") return f;
  f.pop_back();
  const size_t cut = f.rfind('/');
  if (cut == std::string::npos) return "/";
  return f.substr(0, cut + 1);
}

std::vector<FileListRoot> file_list_roots(const Gui& g) {
  std::vector<FileListRoot> roots{{"/", "/"}};
  if (const char* home = std::getenv("HOME"); home && *home) roots.push_back({"~", with_slash(home)});
  if (g.core && g.core->base_folder && g.core->base_folder->len > 0)
    roots.push_back({"Base", with_slash(g.core->base_folder->view())});
  for (const std::string& m : removable_mounts()) {
    const size_t cut = m.rfind('/');
    roots.push_back({m.substr(cut + 1), with_slash(m)});
  }
  return roots;
}

std::string choose_file(Gui& g, std::string_view folder, std::string_view mask) {
  FileListOptions o;
  o.mask = std::string(mask);
  return choose_file(g, folder, o);
}

std::string choose_file(Gui& g, std::string_view folder, const FileListOptions& options) {
  FileList list{g, options, layout_of(g)};
  list.roots = options.roots.empty() ? file_list_roots(g) : options.roots;
  // Relative folders are below the installation's base folder.
  std::string start = with_slash(folder.empty() ? std::string_view(".") : folder);
  if (start.front() != '/' && g.core && g.core->base_folder)
    start = with_slash(g.core->base_folder->view()) + (start == "./" ? std::string() : start);
  if (start.starts_with("./")) start.erase(0, 2);
  if (!list.open(start)) {
    // An unreadable start falls back to the base folder, still saying why.
    list.folder = start;
    list.entries.clear();
  }
  const bool hidden = g.cursor_hidden;
  gui_hide_cursor(g, false);
  std::string chosen = list.run();
  gui_leave_screen(g, hidden);
  return chosen;
}

}  // namespace korva
