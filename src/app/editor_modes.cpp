// The editors and tools of the korva executable by mode number. The player (korva-player)
// links without this file and so without any editor code.
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "builder/builder.h"
#include "editors/editors.h"
#include "model/model.h"

namespace korva {
namespace {

// Mode 14: field 37's rectangle edited by dragging its corners.
bool display_area(App& app) {
  Core& c = *app.core;
  const int32_t e = app.model->current;
  if (e < 0 || e > app.model->last_index || !app.gui) return true;
  std::string field(element_field(c, e, fld::kScreen).view());
  std::string edited = display_area_tool(*app.gui, field);
  element_field_set(c, e, fld::kScreen, edited);
  return true;
}

// The resource browser's kind for 3D background images.
constexpr int32_t kBackgroundImages = -7;

// Mode 15: an image for the 3D background, its repetitions and the background band. Returns
// whether an image was picked (only then is anything saved).
bool background(App& app) {
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

// Mode 6: the level list and the build of a stand-alone game. With a saved list (".mlv") as
// line 1 of "runmode.ini" (korva-go build LIST) the list is built without the editor screen.
bool self_executable(App& app) {
  const std::string& list = app.runmode_project;
  if (list.size() > 4 && list.substr(list.size() - 4) == ".mlv") {
    BuildOptions o;
    o.list = list;
    o.window_name = std::string(app.model->paths[pth::kExeTitle].view());
    const BuildResult r = build_standalone(app.system, o);
    if (!r.done) {
      std::fprintf(stderr, "korva: the stand-alone game was not built%s%s\n", r.error.empty() ? "" : ": ",
                   r.error.c_str());
      app.exit_status = kStatusBuildFailed;
    }
    for (const auto& p : r.skipped) std::fprintf(stderr, "korva: left out: %s\n", p.c_str());
    return false;
  }
  self_executable_editor(app.system);
  return false;
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

bool chooser_on_its_own(App& app) {
  const char* given_name = std::getenv("KORVA_CHOOSER");
  if (!given_name || !*given_name) return false;
  const std::string_view name = given_name;
  const ChooserRow* row = nullptr;
  for (const ChooserRow& r : kChoosers)
    if (name == r.name) row = &r;
  if (!row || !app.gui) {
    std::fprintf(stderr, "korva: there is no chooser named %.*s\n", int(name.size()), name.data());
    app.exit_status = kStatusNoMode;
    return false;
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
  return false;
}

// Mode 2: the collision matrix; the dispatcher saves it with the project's companion file.
bool collision_channels(App& app) {
  if (!app.gui) return false;
  return collision_channel_editor(*app.gui, *app.model);
}

// Mode 9: the animation rename tools on the images folder of the last-used paths.
bool rename_tools(App& app) {
  if (!app.gui) return false;
  std::string folder(folder_part(*app.core, app.model->paths[pth::kImage].view()).view());
  if (folder.empty()) folder = std::string(app.core->base_folder->view()) + "images/";
  animation_rename_tools(*app.gui, folder);
  return false;
}

// Mode 8: the explosion generator; it writes the frames and the visual itself.
bool explosions(App& app) {
  if (!app.gui) return false;
  PreviewDevice device{&app.devices, &app.gl};
  explosion_generator(*app.gui, &device);
  return false;
}

// Mode 7: the visual editor; it saves the visual itself (the project is not touched).
bool visual_editing(App& app) {
  if (!app.gui) return false;
  PreviewDevice device{&app.devices, &app.gl};
  const std::string saved = visual_editor(*app.gui, &device);
  if (!saved.empty()) std::fprintf(stderr, "korva: the visual was saved to %s\n", saved.c_str());
  return false;
}

// Modes 13 and 5 save what they changed themselves.
bool brain_editing(App& app) {
  run_brain_editing(app);
  return true;
}

// Mode 3: the elements placed in 3D; the dispatcher saves what was placed.
bool virtual_editing(App& app) { return virtual_editor(app.system); }

bool parameter_editor(App& app) {
  run_parameter_editor(app);
  return true;
}

}  // namespace

void use_editor_modes(App& app) {
  app.editors[2] = collision_channels;
  app.editors[3] = virtual_editing;
  app.editors[5] = parameter_editor;
  app.editors[6] = self_executable;
  app.editors[7] = visual_editing;
  app.editors[8] = explosions;
  app.editors[9] = rename_tools;
  app.editors[10] = chooser_on_its_own;
  app.editors[13] = brain_editing;
  app.editors[14] = display_area;
  app.editors[15] = background;
}

}  // namespace korva
