// Mode 1, the editor run: the run marker around one run of the project, the exit-code report
// and the recorded track.
#include <cstdio>

#include "app/app.h"
#include "editors/editors.h"

namespace korva {
namespace {

constexpr std::string_view kRunMarker = "temp/wasok.dat";
constexpr std::string_view kRecordedTrack = "data/currtrck.i3d";

std::string base_path(App& app, std::string_view relative) {
  return std::string(app.core->base_folder->view()) + std::string(relative);
}

}  // namespace

void editor_run(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  file_delete(c, base_path(app, kRunMarker));
  const int32_t saved = m.state[est::kReserved1];
  m.state[est::kReserved1] = 0;
  const int32_t code = run_project(app.system);
  m.state[est::kReserved1] = saved;
  report_exit_code(c, code);
  m.load_first = m.load_last = m.current;

  const int64_t recorded = app.pipeline.track_recorded_bytes;
  if (recorded > 0) {
    report_recorded_track(c, recorded);
    if (!file_write_safely(base_path(app, kRecordedTrack), c.pool(Pool::TrackBuffer), recorded))
      show_message(c, "Could not save the recorded track|" + base_path(app, kRecordedTrack));
  }
  const std::string marker = base_path(app, kRunMarker);
  if (!file_write_safely(marker, "wasok\r\n", 7))
    std::fprintf(stderr, "korva: the run marker %s could not be written\n", marker.c_str());
}

}  // namespace korva
