// The front end of an editing installation: one mode per start of korva, chosen by the
// "runmode.ini" it writes (project path, mode number, element, two unused lines). Its exit
// status says whether the run ended normally, so that scripts can rely on it.
#include "front_end.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "core/files.h"

namespace korva::go {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kEditorRun = 1;

struct Command {
  const char* name;
  int32_t mode;
  enum Needs { Nothing, Project, ProjectElement, ProjectOptionalElement } needs;
};

// One row per command the user can type; mode numbers are the dispatcher's.
constexpr Command kCommands[] = {
    {"run", 1, Command::Project},
    {"edit", 3, Command::ProjectOptionalElement},
    {"brain", 13, Command::ProjectElement},
    {"params", 5, Command::ProjectElement},
    {"collisions", 2, Command::Project},
    {"area", 14, Command::ProjectElement},
    {"background", 15, Command::Project},
    {"builder", 6, Command::Nothing},
    {"visuals", 7, Command::Nothing},
    {"explosions", 8, Command::Nothing},
    {"rename", 9, Command::Nothing},
};

bool parse_int(const std::string& s, int32_t& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (*end != 0 || v < -2147483647L || v > 2147483647L) return false;
  out = static_cast<int32_t>(v);
  return true;
}

std::string slashes(std::string s) {
  for (char& ch : s) {
    if (ch == '\\') ch = '/';
  }
  return s;
}

}  // namespace

const char* help_text() {
  return "Usage: korva-go [OPTIONS] COMMAND [ARGUMENTS]\n"
         "\n"
         "Runs, edits or builds a Korva project: writes runmode.ini into the installation\n"
         "folder and starts korva there, then reports how it ended.\n"
         "\n"
         "Commands:\n"
         "  run PROJECT               run the project\n"
         "  edit PROJECT [ELEMENT]    open the virtual editor on the project\n"
         "  brain PROJECT ELEMENT     edit the brain of an element\n"
         "  params PROJECT ELEMENT    edit the brain parameters of an element\n"
         "  collisions PROJECT        open the collision channel editor\n"
         "  area PROJECT ELEMENT      set an element's display area\n"
         "  background PROJECT        choose the project's 3D background\n"
         "  builder                   open the stand-alone builder\n"
         "  visuals                   open the visual editor\n"
         "  explosions                open the explosion generator\n"
         "  rename                    open the animation rename tools\n"
         "  build LIST                build the stand-alone game (korvaexe/) from a saved\n"
         "                            level list: a .mlv file, or a name under multilev/\n"
         "  play [DIR]                play a stand-alone folder (default: korvaexe/)\n"
         "  mode N [PROJECT [ELEMENT]]  start any mode by its number\n"
         "  browse WHAT [FOLDER]      open a chooser on its own and print the chosen path:\n"
         "                            images, backgrounds, sprites, visuals, models, cameras,\n"
         "                            brains, elements (the resource browser), projects (the\n"
         "                            project browser) or files (the file list)\n"
         "\n"
         "Project commands (they edit the project file; korva is not started):\n"
         "  new PROJECT [TEMPLATE]    make a new project from a template: empty (a\n"
         "                            camera), demo, race or levels\n"
         "  list PROJECT              list the elements: index, name, kind, visual,\n"
         "                            sound, brain, active\n"
         "  add PROJECT KIND [NAME]   add an element of a kind with its default files:\n"
         "                            camera, shape, flat, shadow, sprite, frame,\n"
         "                            background, counter, track, light, visual, boundary\n"
         "  set PROJECT ELEMENT FIELD VALUE  set a field: name, visual, sound, brain,\n"
         "                            x, y, z (m), pitch, yaw, roll (degrees), vx, vy, vz\n"
         "                            (m/s), spinx, spiny, spinz, credits, id, radius,\n"
         "                            active (yes/no), params, scalex, scaley, scalez\n"
         "  remove PROJECT ELEMENT    delete an element\n"
         "  move PROJECT ELEMENT POSITION  move an element to a place counted from 0;\n"
         "                            references to elements follow them\n"
         "  duplicate PROJECT ELEMENT  add a copy of an element right after it\n"
         "  collide PROJECT ELEMENT ELEMENT CODE  set the collision code of a pair:\n"
         "                            0 (never) to 11\n"
         "  setting PROJECT NAME [VALUE]  show or set a project setting: background,\n"
         "                            repetitions, shared (network-shared variables),\n"
         "                            clip, fov\n"
         "  levels LIST PROJECT...    write the level list multilev/LIST.mlv for build: the\n"
         "                            projects in order, the first where the game starts\n"
         "\n"
         "PROJECT is a .prj file, or a name under projects/ (\"demo\" means\n"
         "projects/demo/demo.prj). ELEMENT is an element's number, counted from 0 (project\n"
         "commands also take its name).\n"
         "\n"
         "Options:\n"
         "  --dir DIR          the installation folder (default: $KORVA_HOME, else the\n"
         "                     current folder); create one with korva-mkdata DIR\n"
         "  --korva FILE       the korva executable (default: $KORVA_EXE, the one beside\n"
         "                     korva-go, else korva on PATH)\n"
         "  --headless         no window (KORVA_HEADLESS=1)\n"
         "  --frames N         end a run after N frames (KORVA_MAX_FRAMES=N)\n"
         "  --fast             do not wait between frames (KORVA_FAST=1)\n"
         "  --screenshot FILE  save the last picture as PNG (KORVA_SCREENSHOT=FILE)\n"
         "  --help             show this text\n"
         "\n"
         "The exit status is 0 only when korva ended normally (after run, only when it\n"
         "wrote its run marker temp/wasok.dat); otherwise the reason is printed on stderr.\n"
         "\n"
         "Example: korva-mkdata ~/korva && korva-go --dir ~/korva run demo\n";
}

bool parse_command_line(const std::vector<std::string>& args, Request& request, std::string& error,
                        bool& help) {
  help = false;
  Request r;
  if (const char* home = std::getenv("KORVA_HOME"); home && *home) r.install_dir = home;
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      help = true;
      return false;
    } else if (a == "--dir") {
      if (!value(r.install_dir)) return false;
    } else if (a == "--korva") {
      if (!value(r.korva)) return false;
    } else if (a == "--headless") {
      r.environment.emplace_back("KORVA_HEADLESS", "1");
    } else if (a == "--fast") {
      r.environment.emplace_back("KORVA_FAST", "1");
    } else if (a == "--frames") {
      int32_t n;
      if (!value(v)) return false;
      if (!parse_int(v, n) || n <= 0) {
        error = "--frames needs a positive number";
        return false;
      }
      r.environment.emplace_back("KORVA_MAX_FRAMES", v);
    } else if (a == "--screenshot") {
      if (!value(v)) return false;
      if (v.empty()) {
        error = "--screenshot needs a file name";
        return false;
      }
      r.environment.emplace_back("KORVA_SCREENSHOT", fs::absolute(v).lexically_normal().string());
    } else if (a.size() > 1 && a[0] == '-' && !(a.size() > 1 && a[1] >= '0' && a[1] <= '9')) {
      error = "unknown option " + a;
      return false;
    } else {
      words.push_back(a);
    }
  }
  if (words.empty()) {
    error = "no command given";
    return false;
  }
  for (const char* name : {"KORVA_INPUT", "KORVA_SCREENSHOT"}) {
    const char* v = std::getenv(name);
    const bool given = std::any_of(r.environment.begin(), r.environment.end(),
                                   [&](const auto& e) { return e.first == name; });
    if (v && *v && !given && fs::path(v).is_relative())
      r.environment.emplace_back(name, fs::absolute(v).lexically_normal().string());
  }
  std::error_code ec;
  r.install_dir = fs::absolute(r.install_dir.empty() ? fs::current_path(ec) : fs::path(r.install_dir)).lexically_normal().string();
  if (!r.install_dir.empty() && r.install_dir.back() == '/') r.install_dir.pop_back();

  const std::string& command = words[0];
  std::vector<std::string> rest(words.begin() + 1, words.end());
  for (const char* edit : {"new", "list", "add", "set", "remove", "move", "duplicate", "collide", "setting",
                           "levels"}) {
    if (command == edit) {
      r.edit = words;
      request = std::move(r);
      return true;
    }
  }
  Command::Needs needs = Command::Nothing;
  if (command == "play") {
    if (rest.size() > 1) {
      error = "play takes at most a folder";
      return false;
    }
    r.play = true;
    r.mode = 0;
    if (!rest.empty()) r.play_dir = fs::absolute(rest[0]).lexically_normal().string();
    rest.clear();
  } else if (command == "build") {
    // A saved level list built without the editor screen: mode 6 with the list as line 1.
    if (rest.size() != 1) {
      error = "build needs a level list (a .mlv file, or a name under multilev/)";
      return false;
    }
    const std::string list = slashes(rest[0]);
    r.mode = 6;
    r.project = list.find('/') == std::string::npos && !list.ends_with(".mlv")
                    ? r.install_dir + "/multilev/" + list + ".mlv"
                    : fs::absolute(list).lexically_normal().string();
    if (!fs::exists(r.project, ec)) {
      error = "the level list " + r.project + " does not exist";
      return false;
    }
    request = std::move(r);
    return true;
  } else if (command == "browse") {
    // Mode 10 does nothing of its own; KORVA_CHOOSER makes it open the chooser.
    if (rest.empty() || rest.size() > 2) {
      error = "browse needs what to browse, and may take a folder";
      return false;
    }
    r.mode = 10;
    r.environment.emplace_back("KORVA_CHOOSER", rest[0]);
    if (rest.size() == 2) r.environment.emplace_back("KORVA_CHOOSER_FOLDER", fs::absolute(rest[1]).lexically_normal().string());
    rest.clear();
  } else if (command == "mode") {
    if (rest.empty() || !parse_int(rest[0], r.mode) || r.mode < 0) {
      error = "mode needs a mode number";
      return false;
    }
    rest.erase(rest.begin());
    needs = Command::ProjectOptionalElement;
    if (rest.empty()) needs = Command::Nothing;
  } else {
    const Command* found = nullptr;
    for (const Command& c : kCommands) {
      if (command == c.name) found = &c;
    }
    if (!found) {
      error = "unknown command '" + command + "'";
      return false;
    }
    r.mode = found->mode;
    needs = found->needs;
  }
  const size_t most = needs == Command::Nothing ? 0 : needs == Command::Project ? 1 : 2;
  const size_t least = needs == Command::Nothing ? 0 : needs == Command::ProjectElement ? 2 : 1;
  if (!r.play && (rest.size() < least || rest.size() > most)) {
    error = command + (least == 0   ? " takes no arguments"
                       : most == 1  ? " needs a project"
                       : least == 2 ? " needs a project and an element number"
                                    : " needs a project and may take an element number");
    return false;
  }
  if (!rest.empty()) r.project = resolve_project(r.install_dir, rest[0]);
  if (rest.size() > 1 && (!parse_int(rest[1], r.element) || r.element < 0 || r.element > 255)) {
    error = "the element number must be 0 to 255";
    return false;
  }
  request = std::move(r);
  return true;
}

std::string resolve_project(const std::string& install_dir, const std::string& project) {
  std::error_code ec;
  const std::string p = slashes(project);
  const bool looks_like_path = p.find('/') != std::string::npos || p.ends_with(".prj");
  if (looks_like_path) {
    if (fs::exists(p, ec)) return fs::absolute(p).lexically_normal().string();
    return (fs::path(install_dir) / p).lexically_normal().string();
  }
  return (fs::path(install_dir) / "projects" / p / (p + ".prj")).string();
}

std::string runmode_text(const Request& request) {
  return frontend::runmode_text(request.project, request.mode, request.element);
}

bool write_runmode(const Request& request, std::string& error) {
  const frontend::Status s = frontend::write_runmode(request.install_dir, request.project, request.mode, request.element);
  error = s.error;
  return s.ok;
}

int32_t front_end_main(const std::vector<std::string>& args, const std::string& own_executable, FILE* out,
                       FILE* err) {
  Request request;
  std::string error;
  bool help = false;
  if (!parse_command_line(args, request, error, help)) {
    if (help) {
      std::fputs(help_text(), out);
      return 0;
    }
    std::fprintf(err, "korva-go: %s\n(korva-go --help explains the commands)\n", error.c_str());
    return 2;
  }
  std::error_code ec;
  const fs::path dir(request.install_dir);
  if (request.play_dir.empty() && !fs::is_directory(dir / "data", ec)) {
    std::fprintf(err, "korva-go: %s is not a Korva installation (it has no data/ folder);\n"
                      "create one with: korva-mkdata %s\n", dir.c_str(), dir.c_str());
    return 2;
  }
  if (!request.edit.empty()) return project_command(request.install_dir, request.edit, out, err);

  std::string korva = find_korva(request.korva, own_executable);
  fs::path folder = dir;
  const Marker marker = !request.play && request.mode == kEditorRun ? Marker::Expected : Marker::NotUsed;
  if (request.play) {
    // The stand-alone folder runs its own copy of the program, without runmode.ini.
    folder = request.play_dir.empty() ? dir / "korvaexe" : fs::path(request.play_dir);
    if (!fs::is_directory(folder, ec)) {
      std::fprintf(err, "korva-go: %s does not exist; build a stand-alone game first (korva-go builder)\n",
                   folder.c_str());
      return 2;
    }
    for (const char* name : {"korvaexe", "korvaexe.exe"}) {
      if (access((folder / name).c_str(), X_OK) == 0) korva = (folder / name).string();
    }
  } else {
    // A marker left from an earlier run would vouch for this one.
    if (marker == Marker::Expected && !frontend::clear_run_marker(dir.string())) {
      std::fprintf(err, "korva-go: cannot remove the old run marker %s/temp/wasok.dat\n", dir.c_str());
      return 1;
    }
    if (!request.project.empty() && !fs::exists(request.project, ec)) {
      std::fprintf(out, "korva-go: %s does not exist yet: korva starts it as a new project\n", request.project.c_str());
    }
    if (!write_runmode(request, error)) {
      std::fprintf(err, "korva-go: %s\n", error.c_str());
      return 1;
    }
  }

  std::fprintf(out, "korva-go: starting %s in %s (mode %d)\n", korva.c_str(), folder.c_str(), request.mode);
  std::fflush(out);
  const RunResult run = start_and_wait(korva, folder.string(), request.environment);
  const Outcome outcome = judge_run(run, marker, dir.string());
  if (outcome.status != 0) {
    std::fflush(out);
    std::fprintf(err, "korva-go: %s\n", outcome.reason.c_str());
    return outcome.status;
  }
  std::fprintf(out, "korva-go: korva ended with exit status 0\n");
  if (marker == Marker::Expected) std::fprintf(out, "korva-go: the run ended normally\n");
  return 0;
}

}  // namespace korva::go
