// The editors and tools of the korva executable by mode number. The player (korva-player)
// links without this file and so without any editor code.
#include <cstdio>

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

// Mode 15: an image for the 3D background, its repetitions and the background band. Saves
// only when an image was picked.
bool background(App& app) {
  // Picking the image needs the file browser, which this build does not have yet: without a
  // pick nothing changes and nothing is saved.
  std::fprintf(stderr, "korva: the file browser is not available in this build yet; "
                       "the 3D background stays as it is\n");
  return false;
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

}  // namespace

void use_editor_modes(App& app) {
  app.editors[6] = self_executable;
  app.editors[14] = display_area;
  app.editors[15] = background;
}

}  // namespace korva
