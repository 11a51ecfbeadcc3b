// The mode dispatcher: "runmode.ini" chooses one mode; the dispatcher prepares the project
// state, runs the mode, saves what the mode changed, and returns to shutdown.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "editors/editors.h"
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
  const char* name;  // of an editor this build does not have yet; nullptr when it runs here
};

constexpr ModeRow kModes[] = {
    {kEditorRun, true, false, nullptr},
    {kCollisionEditor, true, true, "collision channel editor"},
    {kVirtualEditor, true, true, "virtual editor"},
    {kParameterEditor, true, true, nullptr},
    {kBuilder, false, false, "self-executable editor"},
    {kVisualEditor, false, false, "visual editor"},
    {kExplosionGenerator, false, false, "explosion generator"},
    {kRenameTools, false, false, "animation rename tools"},
    {kNothing, false, false, nullptr},
    {kBrainEditor, true, true, nullptr},
    {kDisplayArea, true, true, nullptr},
    {kBackgroundTool, true, true, nullptr},
};

// Any other mode loads the project and does nothing else.
ModeRow mode_row(int32_t mode) {
  for (const auto& r : kModes)
    if (r.mode == mode) return r;
  return {mode, true, false, nullptr};
}

// The resource kind of the background images the 3D background tool offers.
constexpr int32_t kBackgroundImages = -7;

void lower_current_element(Model& m) {
  if (m.current > m.last_index) m.current = m.last_index < 0 ? 0 : m.last_index;
}

// Mode 14: field 37's rectangle edited by dragging its corners.
void run_display_area_tool(App& app) {
  Core& c = *app.core;
  const int32_t e = app.model->current;
  if (e < 0 || e > app.model->last_index || !app.gui) return;
  std::string field(element_field(c, e, fld::kScreen).view());
  std::string edited = display_area_tool(*app.gui, field);
  element_field_set(c, e, fld::kScreen, edited);
}

// Mode 15: an image for the 3D background, its repetitions and the background band. Returns
// whether an image was picked (only then is anything saved).
bool run_background_tool(App& app) {
  if (!app.gui) return false;
  Gui& g = *app.gui;
  ProjectSettings& p = app.model->project;
  PreviewDevice device{&app.devices, &app.gl};
  const std::string picked =
      browse_resources(g, p.background.view(), kBackgroundImages, "Select 3D background image", &device);
  if (picked.empty()) return false;
  str_set(p.background, picked);
  p.repetitions = ask_background_repetitions(g, p.repetitions);
  BackgroundBand band{p.screen_p, p.screen_q, p.screen_r};
  background_band_editor(g, band);
  p.screen_p = band.top;
  p.screen_q = band.bottom;
  p.screen_r = band.layout;
  return true;
}

// The choosers on their own (KORVA_CHOOSER, set by "korva-go browse"): mode 10 opens the named
// chooser on KORVA_CHOOSER_FOLDER (or its usual folder) and prints the chosen path on stdout.
struct ChooserRow {
  const char* name;
  int32_t kind;        // resource kind of the browser
  const char* folder;  // below the base folder
};
constexpr int32_t kProjectBrowser = 1000, kFileList = 1001;
constexpr ChooserRow kChoosers[] = {
    {"images", -1, "images/"},      {"backgrounds", -7, "bckgrnds/"}, {"sprites", 5, "sprites/"},
    {"visuals", 11, "visuals/"},    {"models", -4, "3dsfiles/"},      {"cameras", 0, "cameras/"},
    {"brains", -5, "brains/"},      {"elements", -3, "elements/"},    {"projects", kProjectBrowser, ""},
    {"files", kFileList, ""},
};

void run_chooser_on_its_own(App& app, std::string_view name) {
  const ChooserRow* row = nullptr;
  for (const ChooserRow& r : kChoosers)
    if (name == r.name) row = &r;
  if (!row || !app.gui) {
    std::fprintf(stderr, "korva: there is no chooser named %.*s\n", int(name.size()), name.data());
    app.exit_status = kStatusNoMode;
    return;
  }
  const char* given = std::getenv("KORVA_CHOOSER_FOLDER");
  std::string folder = given && *given ? std::string(given) : std::string(app.core->base_folder->view()) + row->folder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::string chosen;
  if (row->kind == kProjectBrowser) {
    chosen = browse_projects(*app.gui, *app.model);
    write_editor_state(*app.core, *app.model);  // the kit and page the user left on
  } else if (row->kind == kFileList) {
    chosen = choose_file(*app.gui, folder, "*.*");
  } else {
    PreviewDevice device{&app.devices, &app.gl};
    chosen = browse_resources(*app.gui, folder, row->kind, std::string("Select ") + row->name, &device);
  }
  if (!chosen.empty()) std::printf("%s\n", chosen.c_str());
}

}  // namespace

void dispatch(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  platform::screen_cursor_show(app.screen, false);
  const RunMode rm = read_runmode(c);

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
    std::fprintf(stderr, "korva: no runmode.ini here, and the stand-alone player is not "
                         "available in this build yet\n");
    app.exit_status = kStatusNoMode;
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
  if (row.name) {
    std::fprintf(stderr, "korva: the %s is not available in this build yet\n", row.name);
    save = false;  // nothing was edited: leave the user's files as they are
    app.exit_status = kStatusNoMode;
  } else if (rm.mode == kEditorRun) {
    editor_run(app);
    if (app.brain->brain_error) app.exit_status = kStatusBrainError;
  } else if (rm.mode == kBrainEditor) {
    run_brain_editing(app);
  } else if (rm.mode == kParameterEditor) {
    run_parameter_editor(app);
  } else if (rm.mode == kDisplayArea) {
    run_display_area_tool(app);
  } else if (rm.mode == kBackgroundTool) {
    save = run_background_tool(app);
  } else if (rm.mode == kNothing) {
    if (const char* chooser = std::getenv("KORVA_CHOOSER"); chooser && *chooser) run_chooser_on_its_own(app, chooser);
  }

  if (save && rm.mode != kPlayer) {
    save_project(c, m, rm.project);
    write_editor_state(c, m);
  }
  platform::screen_cursor_show(app.screen, true);
}

}  // namespace korva
