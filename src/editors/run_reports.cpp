// The reports the dispatcher shows around an editor run: exit code, recorded track, and the
// "Save recorded track as" tool.
#include <string>

#include "core/core.h"
#include "editors/editors.h"
#include "editors/gui_local.h"

namespace korva {

void report_exit_code(Core& c, int32_t exit_code) {
  if (exit_code == -1 || exit_code == INT32_MIN) return;
  if (exit_code == -2)
    show_message(c, "When compiled, exit to end screen");
  else if (exit_code == -3)
    show_message(c, "When compiled, exit directly to Windows");
  else
    show_message(c, "When compiled, exit to sub-project " + std::to_string(exit_code));
}

void report_recorded_track(Core& c, int64_t recorded_bytes) {
  if (recorded_bytes <= 0) return;
  show_message(c, "A " + std::to_string(recorded_bytes / 720) +
                      " seconds track was successfully recorded!|Use the 'Save Recorded Track As' "
                      "tool to|save it as a new track-type element's aspect");
}

std::string save_recorded_track_as(Gui& g, std::string_view current_track_path) {
  Core& c = *g.core;
  const std::string folder(folder_part(c, current_track_path).view());
  std::string name(file_part(c, current_track_path).view());
  if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  std::string answer = name;
  do {
    answer = std::string(gui_trim(gui_input_box(g, 300, answer, "Save recorded track as")));
    // Nobody left to answer: nothing is saved.
    if (answer.empty() && gui_input_exhausted(g)) return {};
  } while (answer.empty());
  const std::string path = folder + answer + ".i3d";
  if (file_exists(c, path) != 0 &&
      gui_message_box(g, "Using the name '" + answer + "' you will overwrite an existing file",
                      " CONTINUE ", " ABORT ") == 2)
    return {};
  std::string source(c.base_folder->view());
  source += "data/currtrck.i3d";
  file_copy(c, source, path);
  return path;
}

}  // namespace korva
