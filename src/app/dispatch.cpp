// The mode dispatcher: "runmode.ini" chooses one mode; the dispatcher prepares the project
// state, runs the mode, saves what the mode changed, and returns to shutdown.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "builder/builder.h"
#include "model/model.h"

namespace korva {
namespace {

enum Mode : int32_t {
  kPlayer = 0, kEditorRun = 1, kCollisionEditor = 2, kVirtualEditor = 3, kParameterEditor = 5,
  kBuilder = 6, kVisualEditor = 7, kExplosionGenerator = 8, kRenameTools = 9, kNothing = 10,
  kBrainEditor = 13, kDisplayArea = 14, kBackgroundTool = 15,
};

// What a mode loads first and saves afterwards.
struct ModeRow {
  int32_t mode;
  bool loads;
  bool saves;
  const char* name;  // of the editor, named when an executable without it (the player) is asked for it
};

constexpr ModeRow kModes[] = {
    {kEditorRun, true, false, nullptr},
    {kCollisionEditor, true, true, "collision channel editor"},
    {kVirtualEditor, true, true, "virtual editor"},
    {kParameterEditor, true, true, "element parameter editor"},
    {kBuilder, false, false, "self-executable editor"},
    {kVisualEditor, false, false, "visual editor"},
    {kExplosionGenerator, false, false, "explosion generator"},
    {kRenameTools, false, false, "animation rename tools"},
    {kNothing, false, false, nullptr},
    {kBrainEditor, true, true, "brain editor"},
    {kDisplayArea, true, true, "display-area tool"},
    {kBackgroundTool, true, true, "3D background tool"},
};

// Any other mode loads the project and does nothing else.
ModeRow mode_row(int32_t mode) {
  for (const auto& r : kModes)
    if (r.mode == mode) return r;
  return {mode, true, false, nullptr};
}

void lower_current_element(Model& m) {
  if (m.current > m.last_index) m.current = m.last_index < 0 ? 0 : m.last_index;
}

}  // namespace

void dispatch(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  platform::screen_cursor_show(app.screen, false);
  RunMode rm = read_runmode(c);
  // The player carries no editors: whatever "runmode.ini" says, it plays its folder.
  if (app.player_only) rm = RunMode{};
  app.runmode_project = rm.project;

  // No key pressed before the start may reach the mode.
  pump(c);
  drain_keys(app.input);

  FixedString& marker = str_temp(c);
  str_set(marker, *c.base_folder);
  str_cat(marker, "noencrypt.txt");
  c.no_scramble = file_exists(c, marker) != 0;
  str_release(c, marker);

  const ModeRow row = mode_row(rm.mode);
  if (rm.mode == kPlayer) {
    str_set(*c.data_folder, *c.base_folder);
    str_set(*c.temp_path, *c.base_folder);
    str_cat(*c.temp_path, "temp.tmp");
    m.standalone = true;
    m.run_flag = true;
    // A folder with neither a level list nor a first level is no game at all: said on stderr
    // rather than in a box that would wait for someone to answer it.
    const std::string base(c.base_folder->view());
    if (file_exists(c, base + "multilev.ini") || file_exists(c, base + "level001.prj")) {
      run_level_chain(app.system);
    } else {
      std::fprintf(stderr, "korva: no runmode.ini and no stand-alone game (multilev.ini, level001.prj) in %s\n",
                   base.c_str());
      app.exit_status = kStatusNoGame;
    }
    m.run_flag = false;
  } else {
    str_set(*c.data_folder, *c.base_folder);
    str_cat(*c.data_folder, "data/");
    m.standalone = false;
    std::memset(c.pool(Pool::BrainVars), 0, 2048 * 4);
    std::memset(c.pool(Pool::ProjectTable), 0, static_cast<size_t>(pool_bytes(Pool::ProjectTable)));
    read_editor_state(c, m);
    wait_mouse_release(app.system);
    if (row.loads) {
      if (!rm.project.empty() && !file_exists(c, rm.project))
        std::fprintf(stderr, "korva: the project %s does not exist: a new project starts with the default "
                             "camera\n", rm.project.c_str());
      load_project(c, m, rm.project);
      if (!m.load_problem.empty()) {
        // Running or saving a damaged project would lose what could not be read.
        std::fprintf(stderr, "korva: the project %s cannot be used: %s; it is left as it is\n",
                     rm.project.c_str(), m.load_problem.c_str());
        app.exit_status = kStatusBadProject;
        platform::screen_cursor_show(app.screen, true);
        return;
      }
    }
    m.current = m.load_first = m.load_last = rm.element < 0 ? 0 : rm.element;
    if (rm.mode == kVirtualEditor || rm.mode == kParameterEditor) lower_current_element(m);
  }

  bool save = row.saves;
  const EditorMode editor = rm.mode > 0 && rm.mode < kModeCount ? app.editors[rm.mode] : nullptr;
  if (rm.mode == kPlayer) {
    save = false;
  } else if (editor) {
    save = editor(app) && save;
  } else if (row.name) {
    std::fprintf(stderr, "korva: the %s is not available in this build yet\n", row.name);
    save = false;  // nothing was edited: leave the user's files as they are
    app.exit_status = kStatusNoMode;
  } else if (rm.mode == kEditorRun) {
    editor_run(app);
    if (app.brain->brain_error) app.exit_status = kStatusBrainError;
  }

  if (save && rm.mode != kPlayer) {
    // The message box has told the user; the status tells the program that started us.
    if (!save_project(c, m, rm.project)) app.exit_status = kStatusSaveFailed;
    write_editor_state(c, m);
  }
  platform::screen_cursor_show(app.screen, true);
}

}  // namespace korva
