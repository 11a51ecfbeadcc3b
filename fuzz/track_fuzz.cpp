// Fuzz target of the ".i3d" track reader: any bytes as a track file, loaded through a file next
// to the tracks already loaded. The asset record it writes must name records that exist.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "fuzz_files.h"
#include "core/core.h"
#include "core/system.h"
#include "engine/tracks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = korva::fuzz::write_input("track.i3d", data, size);
  static std::unique_ptr<korva::Core> core = korva::core_create();
  korva::Tracks tracks;
  korva::System sys;
  sys.core = core.get();
  sys.tracks = &tracks;
  // One track before the input's, so that its first record is not at index 0.
  const uint8_t first_track[korva::kTrackRecordBytes * 2] = {};
  (void)korva::track_append(tracks, first_track, sizeof first_track);
  uint8_t record[64] = {};
  korva::track_load(sys, record, path);
  int32_t first = 0, end = 0;
  std::memcpy(&first, record + korva::trk::kFirst, 4);
  std::memcpy(&end, record + korva::trk::kEnd, 4);
  if (first != 2 || end < first || size_t(end) != tracks.loaded.size()) abort();
  if (size_t(end - first) != size / korva::kTrackRecordBytes) abort();  // whole records only
  korva::tracks_run_start(sys);
  return 0;
}
