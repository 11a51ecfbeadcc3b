// The build of a stand-alone game: every switched-on row of the level list compiled and saved
// as a scrambled numbered level, the assets they use copied under hash names (scrambled), the
// runtime's files, the player executable with its libraries, and the stand-alone level list.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "brain/brain.h"
#include "builder/builder.h"
#include "core/core.h"
#include "core/scramble.h"
#include "devices/net.h"
#include "model/model.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

// The runtime files copied plain from the data folder.
constexpr const char* kRuntimeFiles[] = {
    "resume_.bmp", "end_.bmp", "atan.bin", "font.fnt", "random.bin", "sinus.bin", "sinusbig.bin",
    "hood0a.x", "hood1a.x", "hood2a.x", "hood3a.x", "hood4a.x", "hood0b.x", "hood1b.x", "hood2b.x",
    "hood3b.x", "hood4b.x",
};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  return out;
}

bool ends_with(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string folder_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\:");
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string file_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\:");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string three_digits(int32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", n);
  return text;
}

// "x/name.abc" gives "x/name.002" for n = 2: the last three characters replaced by n.
std::string numbered(std::string_view path, int32_t n) {
  std::string out(path.substr(0, path.size() >= 3 ? path.size() - 3 : 0));
  return out + three_digits(n);
}

// The file a missing asset is replaced by: "default_." and the same extension in its folder.
std::string default_beside(std::string_view path) {
  const std::string ext = path.size() >= 3 ? std::string(path.substr(path.size() - 3)) : std::string();
  return folder_of(path) + "default_." + ext;
}

std::string expand(Core& c, std::string_view path) {
  std::string s(path);
  for (char& ch : s)
    if (ch == '\\') ch = '/';
  if (s.rfind("./", 0) == 0) s = std::string(c.base_folder->view()) + s.substr(2);
  return s;
}

struct Build {
  System& s;
  Core& c;
  Model& m;
  std::string out;  // the stand-alone folder, with a trailing "/"
  BuildResult& result;
  std::unordered_set<std::string> copied;  // destination names already written this build
  std::string notice;                      // the progress panel's line while a level is copied

  void show_progress() {
    show_status(c, notice + " (" + std::to_string(result.files_copied) + " files copied)");
  }

  void count(bool ok) {
    if (!ok) return;
    ++result.files_copied;
    // The panel's count moves on every so often (headless, every status line is printed).
    constexpr int32_t kCountStep = 25;
    if (!notice.empty() && result.files_copied % kCountStep == 0) show_progress();
  }

  void scrambled(const std::string& source, const std::string& name) {
    count(copy_scrambled(c, source, out + name));
  }

  // A visual's part lines with their texture and model files copied under hash names.
  void copy_visual(const std::string& source, const std::string& name) {
    std::vector<uint8_t> bytes;
    constexpr int64_t kMaxVisualBytes = 4 << 20;
    if (!read_whole_file_raw(source, bytes, kMaxVisualBytes)) return;
    LineCursor lines{reinterpret_cast<const char*>(bytes.data()), int64_t(bytes.size())};
    std::string text;
    while (!lines.at_end()) {
      std::string line(lines.next().substr(0, kStrCapacity));
      if (!line.empty()) {
        // The texture, both models, and the images of the right .. bottom of six views.
        for (int32_t f : {2, 3, 30, 32, 33, 34, 35, 36}) {
          const std::string_view value = field_view(line, f, '|');
          if (value.empty()) continue;
          const std::string path = lower(expand(c, value));
          const std::string hashed = asset_hash_name(path) + ".dat";
          const std::string from = file_exists(c, path) ? path : default_beside(path);
          if (copied.insert(hashed).second) scrambled(from, hashed);
          str_set(c.str.operand, "./" + hashed);
          line = std::string(field_set(c, line, f, '|').view());
        }
      }
      text += line + "\r\n";
    }
    count(file_write_safely(out + name, text.data(), int64_t(text.size())));
  }

  // The textures an ".x" file names (".bmp" or ".ppm"), from its folder, under their names.
  void copy_x_textures(const std::string& source) {
    std::vector<uint8_t> bytes;
    if (!read_whole_file_raw(source, bytes, kMaxScrambledBytes)) return;
    const std::string folder = folder_of(source);
    const std::string text(bytes.begin(), bytes.end());
    const std::string low = lower(text);
    for (const char* ext : {".bmp", ".ppm"}) {
      for (size_t at = low.find(ext); at != std::string::npos; at = low.find(ext, at + 4)) {
        size_t start = at;
        while (start > 0 && text[start - 1] != '"' && text[start - 1] != '\0') --start;
        const std::string name = file_of(text.substr(start, at + 4 - start));
        if (name.empty() || name.size() <= 4) continue;
        if (copied.insert(lower(name)).second) scrambled(folder + name, name);
        const std::string pcx = name.substr(0, name.size() - 3) + "pcx";
        if (file_exists(c, folder + pcx) && copied.insert(lower(pcx)).second)
          count(copy_plain(c, folder + pcx, out + pcx));
      }
    }
  }

  // Copies an element's visual or sound; returns the field's new value.
  std::string copy_asset(std::string_view field) {
    const std::string path = lower(field);
    if (ends_with(path, ".x")) {
      const std::string from = file_exists(c, path) ? path : std::string(c.base_folder->view()) + "xvisuals/default_.x";
      const std::string name = file_of(from);
      if (copied.insert(name).second) {
        scrambled(from, name);
        copy_x_textures(from);
        for (int32_t n = 2;; ++n) {
          const std::string more = from.substr(0, from.size() - 2) + "_" + three_digits(n) + ".x";
          if (!file_exists(c, more)) break;
          scrambled(more, file_of(more));
          copy_x_textures(more);
        }
      }
      return "./" + name;
    }
    const std::string name = file_of(path) == "null_.wav" ? "null_.wav" : asset_hash_name(path) + ".dat";
    if (!copied.insert(name).second) return "./" + name;
    const bool visual = ends_with(path, ".v3d");
    std::string from = path;
    if (!file_exists(c, from)) from = visual ? std::string(c.base_folder->view()) + "visuals/default_.v3d" : default_beside(path);
    if (visual)
      copy_visual(from, name);
    else
      scrambled(from, name);
    for (int32_t n = 2; n <= 999; ++n) {
      const std::string more = numbered(from, n);
      if (!file_exists(c, more)) break;
      scrambled(more, numbered(name, n));
    }
    return "./" + name;
  }

  bool uses_network() {
    // Projects made by earlier installations' templates carry "0" there, meaning no list.
    std::string shared(m.project.shared_variables.view());
    while (!shared.empty() && shared.back() == ' ') shared.pop_back();
    while (!shared.empty() && shared.front() == ' ') shared.erase(shared.begin());
    if (shared == "0") shared.clear();
    std::vector<int32_t> flags;
    for (int32_t i = 0; i <= m.last_index; ++i) flags.push_back(element_field_int(c, i, fld::kNetFlags));
    return net_project_uses_network(shared, flags);
  }

  // One row: load, compile, copy the assets, save as a scrambled level.
  void level(const std::string& row, int32_t index) {
    const std::string project(field_view(row, 3, '|'));
    if (!file_exists(c, project)) {
      std::fprintf(stderr, "korva: the project %s of row %s does not exist: left out\n", project.c_str(),
                   three_digits(index + 1).c_str());
      result.skipped.push_back(project);
      return;
    }
    load_project(c, m, project);
    if (!m.load_problem.empty()) {
      std::fprintf(stderr, "korva: the project %s cannot be used: %s; left out\n", project.c_str(),
                   m.load_problem.c_str());
      result.skipped.push_back(project);
      return;
    }
    compile_project_brains(c, m, *s.brain, Pass::Normal);
    if (s.brain->brain_error) {  // the compiler has said why
      result.skipped.push_back(project);
      return;
    }
    std::string title = file_of(project);
    if (title.size() >= 4) title.resize(title.size() - 4);
    notice = "Compilation in progress... " + title;
    show_status(c, notice);
    for (int32_t i = 0; i <= m.last_index; ++i) {
      for (int32_t f : {fld::kAsset, fld::kSound}) {
        const std::string value(element_field(c, i, f).view());
        if (value.empty()) continue;
        element_field_set(c, i, f, copy_asset(value));
      }
    }
    const std::string background(m.project.background.view());
    if (!background.empty()) {
      const std::string path = lower(background);
      const std::string name = asset_hash_name(path) + ".dat";
      if (copied.insert(name).second) scrambled(path, name);
      str_set(m.project.background, "./" + name);
    }
    show_progress();
    const std::string level_name = "level" + three_digits(index + 1);
    const std::string saved = out + level_name + ".prj";
    if (!save_project(c, m, saved) || !copy_scrambled(c, saved, saved)) {
      result.error = "the level " + saved + " could not be written";
      return;
    }
    const std::string col = project.substr(0, project.size() - 3) + "col";
    std::vector<uint8_t> table;
    if (read_whole_file_raw(col, table, kMaxScrambledBytes)) {
      if (table.size() > 65536) table.resize(65536);
      count(file_write_safely(out + level_name + ".col", table.data(), int64_t(table.size())));
    }
    result.levels.push_back(index + 1);
    result.network = result.network || uses_network();
    notice.clear();
    show_status(c, "Looking for next project to compile, please wait...");
  }
};

// Deletes every file directly in the folder; folders stay.
bool clear_folder(const std::string& folder, std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    error = "the folder " + folder + " cannot be made";
    return false;
  }
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec)) continue;
    fs::remove(it->path(), ec);
    if (ec) {
      error = "the file " + it->path().string() + " cannot be deleted";
      return false;
    }
  }
  // A probe file tells a folder that cannot be written before anything is compiled.
  const std::string probe = folder + "korvaexe.probe";
  if (!file_write_safely(probe, "", 0)) {
    error = "the folder " + folder + " cannot be written";
    return false;
  }
  fs::remove(probe, ec);
  return true;
}

bool bundle_libraries(const std::vector<std::string>& executables, const std::string& out, BuildResult& r) {
  std::vector<std::string> libs;
  std::unordered_set<std::string> seen;
  // Each executable's libraries, then those the player loads only when it needs them.
  for (size_t i = 0; i <= executables.size(); ++i) {
    std::string error;
    for (auto& lib : i < executables.size() ? player_libraries(executables[i], error) : on_demand_libraries(error))
      if (seen.insert(lib.substr(0, lib.find('='))).second) libs.push_back(lib);
    if (!error.empty()) {
      r.error = error;
      return false;
    }
  }
  // lib/ is the build's own: what an earlier build bundled and this one does not need goes.
  std::error_code ec;
  fs::create_directories(out + "lib", ec);
  for (fs::directory_iterator it(out + "lib", ec), end; !ec && it != end; it.increment(ec))
    if (!it->is_directory(ec)) fs::remove(it->path(), ec);
  for (const auto& lib : libs) {
    const size_t arrow = lib.find('=');
    const std::string name = lib.substr(0, arrow), path = lib.substr(arrow + 1);
    std::vector<uint8_t> bytes;
    if (!read_whole_file_raw(path, bytes, kMaxScrambledBytes) || !library_runpath_to_origin(bytes) ||
        !file_write_safely(out + "lib/" + name, bytes.data(), int64_t(bytes.size()))) {
      r.error = "the library " + path + " could not be copied";
      return false;
    }
    r.libraries.push_back(name);
  }
  return true;
}

}  // namespace

BuildResult build_standalone(System& s, const BuildOptions& o) {
  Core& c = *s.core;
  Model& m = *s.model;
  BuildResult r;
  if (o.confirm && ask_question(c, "Executable compilation. Please confirm:", " CONTINUE ", " ABORT ") != 1) return r;
  std::string out = o.output.empty() ? std::string(c.base_folder->view()) + "korvaexe/" : o.output;
  if (out.back() != '/') out += '/';
  auto fail = [&](const std::string& why) {
    r.error = why;
    show_message(c, "The stand-alone version could not be made:|" + why);
    return r;
  };
  if (!clear_folder(out, r.error)) return fail(r.error);

  LevelRows rows = load_level_list(c, o.list);
  int32_t last = -1;
  for (int32_t i = 0; i < kLevelRows; ++i)
    if (row_switched_on(c, rows[size_t(i)])) last = i;
  if (last < 0) return r;

  Build b{s, c, m, out, r, {}, {}};
  for (int32_t i = 0; i <= last; ++i) {
    rows = load_level_list(c, o.list);  // loading a project replaces the editor's state
    if (!row_switched_on(c, rows[size_t(i)])) continue;
    b.level(rows[size_t(i)], i);
    if (!r.error.empty()) return fail(r.error);
  }
  show_status(c, "");

  if (r.network && !file_write_safely(out + "netmode.ini", "\r\n", 2)) return fail("netmode.ini could not be written");

  const std::string player = o.player.empty() ? default_player_path() : o.player;
  if (!copy_player_executable(player, out + "korvaexe", o.window_name))
    return fail("the player " + player + " could not be copied");
  // The model importer runs beside the player; a game without ".x" models plays without it.
  std::vector<std::string> executables = {player};
  const std::string importer = player.substr(0, player.find_last_of('/') + 1) + "korva-import";
  if (copy_plain(c, importer, out + "korva-import") && chmod((out + "korva-import").c_str(), 0755) == 0)
    executables.push_back(importer);
  else
    std::fprintf(stderr, "korva: %s could not be copied: the game's .x models will not load\n", importer.c_str());
  if (!bundle_libraries(executables, out, r)) return fail(r.error);

  const std::string data(c.data_folder->view()), base(c.base_folder->view());
  for (const char* f : kRuntimeFiles) b.count(copy_plain(c, data + f, out + f));
  b.count(copy_plain(c, data + "panels2.pcx", out + "panels.pcx"));
  // The Windows settings program has no counterpart here; the settings file and the marker do.
  for (const char* f : {"config.ini", "noencrypt.txt"})
    if (file_exists(c, base + f)) b.count(copy_plain(c, base + f, out + f));

  rows = load_level_list(c, o.list);
  std::string list;
  for (const auto& row : rows) list += standalone_list_line(c, row) + "\r\n";
  if (!file_write_safely(out + "multilev.ini", list.data(), int64_t(list.size())))
    return fail("multilev.ini could not be written");

  for (const auto& row : rows) {
    if (!row_switched_on(c, row)) continue;
    for (int32_t f : {1, 2}) {
      const std::string image(field_view(row, f, '|'));
      if (image.empty()) continue;
      const std::string name = file_of(image);
      if (!b.copied.insert("image:" + lower(name)).second) continue;
      b.scrambled(image, name);
      const std::string avi = image.substr(0, image.size() >= 4 ? image.size() - 4 : 0) + ".avi";
      if (file_exists(c, avi)) b.count(copy_plain(c, avi, out + file_of(avi)));
    }
  }
  // Linux has no screen-saver module: the question is not asked.
  r.done = true;
  ask_question(c, "The stand-alone version of the multi-project is in 'korva/korvaexe/' folder now"
                  "|You can port it to other PCs by porting the 'korvaexe' folder and its content"
                  "|You can run the project by executing the korvaexe.exe file"
                  "|You can freely rename the ported 'korvaexe' folder and the 'korvaexe.exe' file",
               " OK ", " OK ");
  return r;
}

}  // namespace korva
