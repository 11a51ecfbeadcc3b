// Recorded tracks, aiming and races: the .i3d track records and their play cursors, the run's
// recording buffer, the keywords that turn one element towards another, and the race and
// checkpoint tables that the frame step advances. Splines live with the scene (render), whose
// animation objects they use.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/system.h"

namespace korva {

// One track record: x, y, z, rotation x, y, z. In an .i3d file these are six little-endian
// 32-bit integers (24 bytes) with no header; record 0 is absolute, every later record the
// change since the one before it (a velocity and a spin for one frame).
struct TrackRecord {
  int32_t v[6] = {};
};
constexpr int32_t kTrackRecordBytes = 24;

// The recording buffer holds 36000 records: twelve minutes at 50 frames per second (twenty at
// the default 30). One more record after the end keeps the latest absolute state.
constexpr int32_t kTrackCapacity = 36000;
// An .i3d file longer than this many records plays only its first ones (about 24 MB), so a
// huge or hostile file cannot exhaust memory.
constexpr int32_t kMaxTrackFileRecords = 1 << 20;
// 720 recorded bytes make one second of the editor's report (30 records of 24 bytes).

constexpr int32_t kMaxRacers = 255;
constexpr int32_t kRacerBytes = 16;  // element, lap count, next checkpoint, spare
constexpr int32_t kMaxGates = 1000;
constexpr int32_t kGateBytes = 24;   // x1, z1, x2, z2, top, bottom in thousandths
constexpr int32_t kGateDefaultTop = 255;

// TRACK element words: the play cursor (a record index from the track's first record) lives
// in a free word of the instance record.
namespace trk {
constexpr int32_t kPlayCursor = 476;
// Asset record words of a loaded track: the first record and the end (one past the last) in
// Tracks::loaded, and a mark saying that the track loader wrote them.
constexpr int32_t kFirst = 4, kEnd = 8, kMark = 12;
constexpr uint32_t kTrackMark = 0x4B525400u;  // "\0TRK"
}  // namespace trk

// What a run keeps for tracks and races besides the fixed pools (Pool::TrackBuffer,
// Pool::Checkpoints, Pool::Races).
struct Tracks {
  std::vector<TrackRecord> loaded;  // every loaded .i3d, one after another
  int32_t recorded = 0;             // records in the recording buffer (its end)
  int32_t gates = 0;                // gates in use
  int32_t racers = 0;               // entries of the race table
};

// ---- Loading and the run's lifecycle ----
// Forgets every loaded track (as each asset pass begins).
void tracks_clear(Tracks& t);
// Appends the whole records of an .i3d image (a trailing partial record is ignored) and
// returns the index of the first; the end is the returned index plus the records added.
int32_t track_append(Tracks& t, const uint8_t* bytes, int64_t size);
// Reads an .i3d file into the loaded records and writes asset record `record` (64 bytes) to
// name them. A missing or empty file is a track with no records.
void track_load(System& s, uint8_t* record, std::string_view path);
// Empties the recording buffer and the race and checkpoint tables (as a run starts).
void tracks_run_start(System& s);
// The recorded bytes in Pool::TrackBuffer, 0 without tracks.
int64_t track_recorded_bytes(const System& s);
// One advance of every racer through its next gate (step 3 of the frame step).
void races_advance(System& s);

// ---- Track keywords (e an element, k a TRACK-type element) ----
void track_record_reset(System& s);
void track_record(System& s, int32_t e);
int32_t track_play(System& s, int32_t e, int32_t k);
int32_t track_play_loop(System& s, int32_t e, int32_t k);
int32_t track_play_back(System& s, int32_t e, int32_t k);
void track_play_reset(System& s, int32_t k, int32_t n);

// ---- Aiming keywords (e turns towards a) ----
void track_yr(System& s, int32_t e, int32_t a);
void track(System& s, int32_t e, int32_t a);
void track_yr_smooth(System& s, int32_t e, int32_t a, int32_t n);
void track_smooth(System& s, int32_t e, int32_t a, int32_t n);
// The pitch `track` gives rotation x: minus the elevation of a seen from e, in angle units
// (-46080 straight up .. 46080 straight down), from the arc-tangent table.
int32_t pitch_towards(System& s, int32_t e, int32_t a);

// ---- Race keywords ----
void race_on(System& s, int32_t e);
void race_off(System& s, int32_t e);
int32_t race_lap(System& s, int32_t e);
void race_lap_set(System& s, int32_t e, int32_t n);
int32_t race_next_checkpoint(System& s, int32_t e);
void race_next_checkpoint_set(System& s, int32_t e, int32_t n);
int32_t race_position(System& s, int32_t e);
void checkpoint_add(System& s, int32_t x1, int32_t z1, int32_t x2, int32_t z2);
void checkpoint_height_set(System& s, int32_t top, int32_t bottom);
void checkpoint_reset(System& s);
int32_t checkpoint(System& s, int32_t e, int32_t n);

}  // namespace korva
