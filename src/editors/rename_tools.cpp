// The animation rename tools (mode 9): renaming an animated image and turning a numbered list
// of images into one. An animation's first frame is NAME.pcx and its frame n (from 2) is
// NAME.nnn; a list is NAMEX.pcx, NAMEXX.pcx or NAMEXXX.pcx numbered from 1.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/core.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kLastFrame = 999;  // three digits

constexpr std::string_view kListForm =
    "The .pcx list must be in the form|nameXXX.pcx (or nameXX.pcx or nameX.pcx)|where 'name' is any custom "
    "name and 'XXX' is the frame number.|Also, the list must start with '001' and not '000'";

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool move_file(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

// The folder (with its "/") and the name without its extension of a path.
void split_path(std::string_view path, std::string& folder, std::string& name) {
  const size_t slash = path.find_last_of('/');
  folder = slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
  name = std::string(path.substr(slash == std::string_view::npos ? 0 : slash + 1));
  if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
}

std::string overwrite_question(std::string_view name) {
  return "WARNING! An animation named '" + std::string(name) + "' already exists!|Do you want to overwrite it?";
}

// Asked before an existing animation is replaced: only " YES " (the right button) goes on.
bool may_overwrite(Core& c, std::string_view name) {
  return ask_question(c, overwrite_question(name), " NO ", " YES ") == 2;
}

// Removes the frames of an overwritten animation beyond the count that replaced it, so that
// no stale frame is left at its end.
void remove_frames_after(const std::string& base, int32_t count) {
  for (int32_t n = count + 1; n <= kLastFrame && exists(animation_frame_path(base, n)); ++n) {
    std::error_code ec;
    fs::remove(animation_frame_path(base, n), ec);
  }
}

bool ends_with_pcx(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return tail == ".pcx";
}

}  // namespace

std::string animation_frame_path(std::string_view base, int32_t n) {
  if (n <= 1) return std::string(base) + ".pcx";
  char digits[8];
  std::snprintf(digits, sizeof digits, ".%03d", n % 1000);
  return std::string(base) + digits;
}

int32_t rename_animation(Core& c, std::string_view first_frame) {
  std::string folder, old_name;
  split_path(first_frame, folder, old_name);
  const std::string old_base = folder + old_name;
  if (!exists(animation_frame_path(old_base, 1))) return -1;
  std::string answer(gui_trim(ask_text(c, 300, old_name, "Please, type the new name")));
  if (ends_with_pcx(answer)) answer.erase(answer.size() - 4);
  answer = std::string(gui_trim(answer));
  // A name that would leave the folder, or the same name, changes nothing.
  if (answer.empty() || answer == old_name || answer.find_first_of("/\\") != std::string::npos) return -1;
  const std::string new_base = folder + answer;
  // An animation counts as existing when any of its first two frames does, so that no frame of
  // it is overwritten unasked.
  if ((exists(animation_frame_path(new_base, 1)) || exists(animation_frame_path(new_base, 2))) &&
      !may_overwrite(c, answer))
    return -1;
  int32_t count = 0;
  for (int32_t n = 1; n <= kLastFrame && exists(animation_frame_path(old_base, n)); ++n) {
    if (!move_file(animation_frame_path(old_base, n), animation_frame_path(new_base, n))) break;
    ++count;
  }
  remove_frames_after(new_base, count);
  show_message(c, std::to_string(count) + " files renamed.");
  return count;
}

int32_t list_to_animation(Core& c, std::string_view list_image) {
  std::string folder, name;
  split_path(list_image, folder, name);
  size_t digits = 0;
  while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[name.size() - 1 - digits]))) ++digits;
  if (digits > 3) digits = 3;
  const std::string base_name = name.substr(0, name.size() - digits);
  const int32_t width = static_cast<int32_t>(digits);
  const auto list_path = [&](int32_t n) {
    char number[8];
    std::snprintf(number, sizeof number, "%0*d", width, n);
    return folder + base_name + number + ".pcx";
  };
  // The list needs a name, a frame number that is not 0, and its first image.
  if (digits == 0 || base_name.empty() || std::stoi(name.substr(base_name.size())) == 0 || !exists(list_path(1))) {
    show_message(c, kListForm);
    return -1;
  }
  const std::string base = folder + base_name;
  if (exists(animation_frame_path(base, 2))) {
    show_message(c, "Error, '" + base_name + ".pcx' is the first frame of an animation, |not an image of a list!");
    return -1;
  }
  if (exists(animation_frame_path(base, 1)) && !may_overwrite(c, base_name)) return -1;
  int32_t last = 1;
  for (int32_t i = 0; i < width; ++i) last *= 10;
  last = std::min(last - 1, kLastFrame);
  int32_t count = 0;
  for (int32_t n = 1; n <= last && exists(list_path(n)); ++n) {
    if (!move_file(list_path(n), animation_frame_path(base, n))) break;
    ++count;
  }
  show_message(c, std::to_string(count) + " files renamed.");
  return count;
}

int32_t rename_tools_menu(Gui& g) {
  constexpr int32_t kW = 320, kH = 150;
  const int32_t x1 = (kGuiWidth - kW) / 2, y1 = (kGuiHeight - kH) / 2;
  gui_flush_input(g);
  int32_t was_down = 0;
  while (true) {
    gui_clear(g);
    gui_window(g, x1, y1, x1 + kW, y1 + kH, true);
    g.close_box_active = true;
    gui_reset_buttons(g);
    const int32_t first = gui_add_button(g, x1 + 20, y1 + 44, x1 + kW - 24, y1 + 74, ButtonStyle::Raised);
    const int32_t second = gui_add_button(g, x1 + 20, y1 + 90, x1 + kW - 24, y1 + 120, ButtonStyle::Raised);
    gui_label_button(g, "Rename Animation", first);
    gui_label_button(g, "Rename .PCX List To Animation", second);
    gui_present(g);
    gui_pump(g);
    int32_t scan = 0;
    if (g.input) {
      next_key(*g.core, *g.input);
      scan = g.input->last_key;
    }
    if (scan == kScanEscape) return 0;
    if (g.input && g.input->read == g.input->write && gui_input_exhausted(g)) return 0;
    const int32_t down = gui_mouse_buttons(g) & 1;
    const bool pressed = down && !was_down;
    was_down = down;
    if (!pressed) continue;
    const int32_t hit = gui_button_at_mouse(g);
    if (hit == kGuiCloseBoxHit) return 0;
    if (hit == first) return 1;
    if (hit == second) return 2;
  }
}

void animation_rename_tools(Gui& g, std::string_view folder) {
  while (true) {
    const int32_t entry = rename_tools_menu(g);
    if (entry == 0) break;
    gui_clear(g);
    const std::string chosen = choose_file(g, folder, "*.pcx");
    if (chosen.empty()) continue;
    if (entry == 1)
      rename_animation(*g.core, chosen);
    else
      list_to_animation(*g.core, chosen);
  }
  gui_clear(g);
  gui_clear_display(g);
}

}  // namespace korva
