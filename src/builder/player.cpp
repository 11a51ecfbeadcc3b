// The multi-level player: a stand-alone folder's levels played one after another, with the
// 'loading' and 'load complete' screens, the global variables handed from level to level
// through "globvars.dat", saved games ("currN.dat") and the end screen.
#include <cstdio>
#include <cstring>
#include <string>

#include "builder/builder.h"
#include "core/core.h"
#include "core/scramble.h"
#include "devices/input.h"
#include "devices/video.h"
#include "editors/gui.h"
#include "model/model.h"
#include "model/run_state.h"
#include "platform/platform.h"
#include "run/run.h"

namespace korva {
namespace {

constexpr int64_t kGlobalBytes = int64_t{kGlobalWords} * 4;
constexpr int64_t kRecordsBytes = int64_t{kInstanceRecords} * kInstanceRecordBytes;
constexpr uint32_t kResumedTics = 10000;

struct Player {
  int32_t level = 1;
  int32_t resume_game = 0;  // the game `resume_x` asked for
};

std::string base(Core& c) { return std::string(c.base_folder->view()); }

std::string three_digits(int32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", n);
  return text;
}

std::string level_path(Core& c, int32_t level) { return base(c) + "level" + three_digits(level) + ".prj"; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  return out;
}

void put_word(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }
int32_t get_word(const uint8_t* p) {
  int32_t v = 0;
  std::memcpy(&v, p, 4);
  return v;
}

// Line `level` of "multilev.ini" (empty when the file or the line is not there).
std::string level_line(Core& c, int32_t level) {
  std::vector<uint8_t> bytes;
  constexpr int64_t kMaxListBytes = int64_t{kLevelRows} * 4 * kStrCapacity;
  if (level < 1 || !read_whole_file_raw(base(c) + "multilev.ini", bytes, kMaxListBytes)) return {};
  LineCursor lines{reinterpret_cast<const char*>(bytes.data()), int64_t(bytes.size())};
  for (int32_t n = 1; !lines.at_end(); ++n) {
    const std::string_view line = lines.next();
    if (n == level) return std::string(line.substr(0, kStrCapacity));
  }
  return {};
}

// An image of the folder over the whole screen; false (the screen left black) when it is
// missing or cannot be read. Cut-scene images are stored scrambled, the runtime's own plain.
bool show_image(System& s, const std::string& name) {
  platform::Screen* screen = s.core->frame.screen;
  if (!screen) return false;
  platform::surface_fill(screen->back, 0);
  std::vector<uint8_t> bytes, rgb;
  int32_t w = 0, h = 0;
  constexpr int64_t kMaxImageBytes = 64 << 20;
  const bool ok = !name.empty() && read_whole_file(base(*s.core) + name, bytes, kMaxImageBytes) &&
                  platform::image_decode_rgb(bytes.data(), int64_t(bytes.size()), rgb, w, h);
  if (ok) platform::surface_draw_rgb(screen->back, rgb.data(), w, h);
  platform::screen_flip(*screen);
  return ok;
}

// Waits for a key (or a mouse or joystick button); at once when no more input can come.
void await_key(System& s) {
  if (!s.gui || !s.input) return;
  drain_keys(*s.input);
  while (!gui_input_exhausted(*s.gui)) {
    gui_pump(*s.gui);
    if (!next_key(*s.core, *s.input).view().empty() || any_input_down(*s.input)) break;
    platform::sleep_ms(5);
  }
  while (any_input_down(*s.input) && !gui_input_exhausted(*s.gui)) {
    gui_pump(*s.gui);
    platform::sleep_ms(5);
  }
  drain_keys(*s.input);
}

void flush_input(System& s) {
  if (s.input) drain_keys(*s.input);
}

void refuse_resume(Core& c, std::string_view file) {
  show_message(c, "The saved game " + std::string(file) + " cannot be resumed:|it is missing, damaged or not of this game");
}

// Loads the level's project from its scrambled file (and its collision file) through the
// temporary file. False when it is missing or damaged.
bool load_level(System& s, int32_t level) {
  Core& c = *s.core;
  Model& m = *s.model;
  const std::string path = level_path(c, level);
  const std::string temp(c.temp_path->view());
  const std::string temp_col = temp.substr(0, temp.size() - 3) + "col";
  if (!copy_unscrambled(c, path, temp)) return false;
  // A collision file shorter than 65,536 bytes leaves the rest of the table clear.
  std::memset(c.pool(Pool::ProjectTable), 0, size_t(pool_bytes(Pool::ProjectTable)));
  const std::string col = path.substr(0, path.size() - 3) + "col";
  file_delete(c, temp_col);
  if (file_exists(c, col)) copy_plain(c, col, temp_col);
  load_project(c, m, temp);
  file_delete(c, temp);
  file_delete(c, temp_col);
  if (!m.load_problem.empty()) {
    std::fprintf(stderr, "korva: %s cannot be played: %s\n", path.c_str(), m.load_problem.c_str());
    return false;
  }
  return true;
}

// The 'loading' screen's cut-scene: a video with the image's name and the extension ".avi", in
// a window whose size the name gives after its first "_" ("intro_320x240.avi"), centred, or over
// the whole screen when the name gives no size. It runs to its end or until a key or button;
// false when there is no such video.
bool play_cut_scene(System& s, const std::string& image) {
  if (image.empty()) return false;
  const size_t dot = image.rfind('.');
  const std::string stem = image.substr(0, dot == std::string::npos ? image.size() : dot);
  const std::string video = base(*s.core) + stem + ".avi";
  platform::Screen* screen = s.core->frame.screen;
  if (!screen || !file_exists(*s.core, video)) return false;
  const size_t under = stem.find('_');
  const std::string size = lower(under == std::string::npos ? std::string() : stem.substr(under + 1));
  const size_t x = size.find('x');
  int32_t w = x == std::string::npos ? 0 : str_to_int(std::string_view(size).substr(0, x));
  int32_t h = x == std::string::npos ? 0 : str_to_int(std::string_view(size).substr(x + 1));
  if (w < 1 || h < 1) w = screen->back.width, h = screen->back.height;
  VideoState& rect = s.core->frame.video;
  const VideoState kept = rect;
  rect.width = w;
  rect.height = h;
  PlayContext context;
  context.fast = s.pipeline && s.pipeline->fast;
  context.wait_mouse_release = [&s] { wait_mouse_release(s); };
  video_play_centred(s, video, context);
  rect = kept;
  return true;
}

// One level; returns its exit code, or kExitStop with the message when it cannot be played.
int32_t run_level(System& s, Player& p, bool resuming) {
  Core& c = *s.core;
  flush_input(s);
  uint8_t* globals = c.pool(Pool::BrainVars);
  std::memset(globals, 0, size_t(kGlobalBytes));
  read_file(c, base(c) + "globvars.dat", 0, kGlobalBytes, globals);

  const std::string line = level_line(c, p.level);
  const std::string loading(field_view(line, 1, '|')), complete(field_view(line, 2, '|'));
  const std::string first = resuming ? "resume_.bmp" : loading;
  if (!play_cut_scene(s, first)) show_image(s, first);

  if (!load_level(s, p.level)) {
    ask_question(c, "Sub-project " + three_digits(p.level) + " not found, error!", " OK ", " OK ");
    return kExitStop;
  }
  RunOptions o;
  o.keep_globals = true;
  o.after_compile = [&](System& sys) {
    delete_matching(c, base(c), "*.bra");
    const std::string shown = lower(complete);
    if (!resuming && shown != "black_.bmp" && shown != "default_.bmp" && show_image(sys, complete)) await_key(sys);
    if (resuming) {
      const std::string game = saved_game_path(c, p.resume_game);
      if (!load_game(sys, game, p.level)) refuse_resume(c, game);  // the level plays from its start
    }
  };
  const int32_t code = run_project(s, o);
  file_write_safely(base(c) + "globvars.dat", globals, kGlobalBytes);
  flush_input(s);
  return code;
}

void connect_saved_games(System& s, Player& p) {
  RunHooks& h = s.run->hooks;
  h.save_game = [&s, &p](int32_t game) {
    // The frame as it is, then silence while the file is written, as a pause does.
    render_frame(s, false);
    const int32_t volume = s.run->hooks.swap_primary_volume ? s.run->hooks.swap_primary_volume(kSilentVolume) : 0;
    const std::string path = saved_game_path(*s.core, game);
    if (!save_game(s, path, p.level)) show_message(*s.core, "Could not save the file|" + path);
    if (s.run->hooks.swap_primary_volume) s.run->hooks.swap_primary_volume(volume);
  };
  h.resume_game = [&s, &p](int32_t game) {
    const std::string path = saved_game_path(*s.core, game);
    if (saved_game_level(*s.core, path) <= 0) {
      refuse_resume(*s.core, path);  // the game goes on
      return;
    }
    p.resume_game = game;
    s.run->exit_code = kExitResume;
  };
}

}  // namespace

std::string saved_game_path(Core& c, int32_t game) { return base(c) + "curr" + std::to_string(game) + ".dat"; }

bool save_game(System& s, std::string_view file_name, int32_t level) {
  Core& c = *s.core;
  std::vector<uint8_t> bytes(static_cast<size_t>(kSavedGameBytes));
  put_word(bytes.data(), level);
  put_word(bytes.data() + 4, s.run ? s.run->frame_rate : kDefaultFrameRate);
  std::memcpy(bytes.data() + kSavedGameHeaderBytes, c.pool(Pool::Instances), size_t(kRecordsBytes));
  std::memcpy(bytes.data() + kSavedGameHeaderBytes + kRecordsBytes, c.pool(Pool::BrainVars), size_t(kGlobalBytes));
  return file_write_safely(file_name, bytes.data(), int64_t(bytes.size()));
}

int32_t saved_game_level(Core& c, std::string_view file_name) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file_raw(file_name, bytes, kSavedGameBytes) || int64_t(bytes.size()) != kSavedGameBytes) return 0;
  const int32_t level = get_word(bytes.data());
  return level >= 1 && level <= 999 ? level : 0;
}

bool load_game(System& s, std::string_view file_name, int32_t level) {
  Core& c = *s.core;
  std::vector<uint8_t> bytes;
  if (!read_whole_file_raw(file_name, bytes, kSavedGameBytes) || int64_t(bytes.size()) != kSavedGameBytes) return false;
  if (get_word(bytes.data()) != level) return false;
  const int32_t rate = get_word(bytes.data() + 4);
  uint8_t* records = c.pool(Pool::Instances);
  const uint8_t* saved = bytes.data() + kSavedGameHeaderBytes;
  for (int32_t i = 0; i < kInstanceRecords; ++i) {
    uint8_t* r = records + i * kInstanceRecordBytes;
    // The compiled brain's entry is the one word that refers to the live run: it stays.
    const int32_t entry = ir_get(r, ir::kBrainEntry);
    std::memcpy(r, saved + i * kInstanceRecordBytes, kInstanceRecordBytes);
    ir_set(r, ir::kBrainEntry, entry);
  }
  std::memcpy(c.pool(Pool::BrainVars), saved + kRecordsBytes, size_t(kGlobalBytes));
  if (s.run) {
    s.run->tics = kResumedTics;
    if (rate >= kMinFrameRate && rate <= kMaxFrameRate) {
      s.run->frame_rate = rate;
      s.run->frame_period = kTicksPerSecond / rate;
    }
  }
  return true;
}

int32_t run_level_chain(System& s) {
  Core& c = *s.core;
  if (!c.no_scramble) scrambled_folder_set(base(c));
  Player p;
  connect_saved_games(s, p);
  bool resuming = false;
  int32_t code = kExitStop;
  for (;;) {
    if (!file_exists(c, level_path(c, p.level))) {
      if (p.level > 0) ask_question(c, "Sub-project " + three_digits(p.level) + " not found, error!", " OK ", " OK ");
      code = kExitStop;
      break;
    }
    if (platform::Screen* screen = c.frame.screen) platform::screen_cursor_show(*screen, false);
    code = run_level(s, p, resuming);
    resuming = false;
    if (code == kExitResume) {
      const int32_t level = saved_game_level(c, saved_game_path(c, p.resume_game));
      if (level > 0) {
        p.level = level;
        resuming = true;
      }  // otherwise the level starts again
      continue;
    }
    if (code == kExitToSystem || code == kExitToEndScreen || code == kExitRunning || code == kExitStop) break;
    p.level = code;
  }
  s.run->hooks.save_game = nullptr;
  s.run->hooks.resume_game = nullptr;
  scrambled_folder_set("");
  if (code != kExitToSystem) {
    show_image(s, "end_.bmp");
    await_key(s);
  }
  return code;
}

}  // namespace korva
