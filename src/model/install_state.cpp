// State of the editing installation: the last-used files list "data/curpaths.ini" (23 lines)
// and the editor state file "korva.ini" in the data folder (20 lines).
#include <array>

#include "model/model.h"
#include "model/model_local.h"

namespace korva {

namespace {

constexpr const char* kPathDefaults[kPathLines + 1] = {
    "",
    "3dshapes/default_.a3d",        // 1
    "bckgrnds/default_.g3d",        // 2
    "brains/default_.brn",          // 3
    "sprites/default_.pcx",         // 4
    "3dsfiles/default_.3ds",        // 5
    "elements/myele/default_.ele",  // 6
    "sprites/default_.pcx",         // 7
    "frames/default_.pcx",          // 8
    "images/default_.bmp",          // 9
    "projects/myprj/default.prj",   // 10
    "visuals/default_.v3d",         // 11
    "sounds/default_.wav",          // 12
    "sprites/default_.pcx",         // 13
    "",                             // 14
    "counters/default_.pcx",        // 15
    "grndmaps/default_.pcx",        // 16
    "Korva 5.2",                    // 17, a title: no base folder in front
    "images/jeep002_.pcx",          // 18
    "images/jeep004_.pcx",          // 19
    "images/jeep005_.pcx",          // 20
    "images/jeep006_.pcx",          // 21
    "images/jeep001_.pcx",          // 22
    "images/jeep003_.pcx",          // 23
};

// Room for every line of either file at full slot length.
constexpr int64_t kStateFileBytes = (kPathLines + 1) * (kStrCapacity + 2);
using StateBuffer = std::array<char, kStateFileBytes>;

// A decimal integer with an optional "-" and blanks around it.
bool is_decimal(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && s[i] == '-') ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  while (i < s.size() && s[i] == ' ') ++i;
  return digits > 0 && i == s.size();
}

std::string_view cut_to_slot(std::string_view line) {
  return line.size() > size_t(kStrCapacity) ? line.substr(0, kStrCapacity) : line;
}

// Reads up to the buffer's size; false when the file cannot be read.
bool read_small_file(Core& c, std::string_view path, StateBuffer& buf, int64_t& got) {
  return read_file(c, path, 0, kStateFileBytes, buf.data(), &got) == 0;
}

struct LineWriter {
  StateBuffer& buf;
  int64_t pos = 0;
  void line(std::string_view v) {
    v = cut_to_slot(v);
    for (char ch : v) buf[pos++] = ch;  // every line fits: the buffer holds 24 full lines
    buf[pos++] = '\r';
    buf[pos++] = '\n';
  }
};

bool write_or_report(Core& c, std::string_view path, const StateBuffer& buf, int64_t size) {
  if (file_write_safely(path, buf.data(), size)) return true;
  Temp msg(c, "Could not save the file|");
  str_cat(*msg, path);
  show_message(c, msg.view());
  return false;
}

void paths_file(Core& c, FixedString& target) {
  str_set(target, *c.base_folder);
  str_cat(target, "data/curpaths.ini");
}

void state_file(Core& c, FixedString& target) {
  str_set(target, *c.data_folder);
  str_cat(target, "korva.ini");
}

}  // namespace

void read_paths(Core& c, Model& m) {
  for (int32_t n = 1; n <= kPathLines; ++n) {
    str_set(m.paths[n], n == pth::kExeTitle || n == 14 ? "" : c.base_folder->view());
    str_cat(m.paths[n], kPathDefaults[n]);
  }
  str_set(m.track_path, *c.base_folder);
  str_cat(m.track_path, "tracks/default_.i3d");

  Temp path(c);
  paths_file(c, *path);
  StateBuffer buf;
  int64_t got = 0;
  if (!read_small_file(c, path.view(), buf, got)) return;
  LineCursor lines{buf.data(), got};
  for (int32_t n = 1; n <= kPathLines && !lines.at_end(); ++n) {
    FixedString& p = m.paths[n];
    str_set(p, cut_to_slot(lines.next()));
    for (int32_t i = 0; i < p.len; ++i)
      if (p.text[i] == '\\') p.text[i] = '/';
  }
}

bool write_paths(Core& c, const Model& m) {
  StateBuffer buf;
  LineWriter w{buf};
  for (int32_t n = 1; n <= kPathLines; ++n) w.line(m.paths[n].view());
  Temp path(c);
  paths_file(c, *path);
  return write_or_report(c, path.view(), buf, w.pos);
}

void read_editor_state(Core& c, Model& m) {
  read_paths(c, m);
  Temp path(c);
  state_file(c, *path);
  StateBuffer buf;
  int64_t got = 0;
  if (!read_small_file(c, path.view(), buf, got)) {
    m.state[1] = 0;
    m.state[2] = 512;
    m.state[3] = 0;
    return;
  }
  LineCursor lines{buf.data(), got};
  for (int32_t n = 1; n <= kStateLines; ++n) {
    // A short file leaves its missing lines at their defaults.
    std::string_view line = lines.at_end() ? std::string_view("") : cut_to_slot(lines.next());
    if (n == est::kReservedText)
      str_set(m.state_text, line);
    else if (n == est::kDescription)
      str_set(m.description, line);
    else
      m.state[n] = is_decimal(line) ? str_to_int(line) : kEditorStateDefaults[n];
  }
}

bool write_editor_state(Core& c, const Model& m) {
  StateBuffer buf;
  LineWriter w{buf};
  for (int32_t n = 1; n <= kStateLines; ++n) {
    if (n == est::kReservedText)
      w.line(m.state_text.view());
    else if (n == est::kDescription)
      w.line(m.description.view());
    else
      w.line(int_to_str(c, m.state[n]).view());
  }
  Temp path(c);
  state_file(c, *path);
  bool ok = write_or_report(c, path.view(), buf, w.pos);
  return write_paths(c, m) && ok;
}

}  // namespace korva
