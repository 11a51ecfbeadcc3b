// Recorded tracks, aiming and races on instance records: the recording buffer, the play
// cursor in every direction, untrusted .i3d images, the gate cases, laps and ranks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/core.h"
#include "engine/engine.h"
#include "engine/keyword_fixture.h"
#include "engine/tracks.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kTrackElement = 5;
constexpr int32_t kTrackSlot = 7;

class Tracked : public KeywordFixture, public ::testing::Test {
 protected:
  Tracks tracks;
  Tracked() {
    sys.tracks = &tracks;
    tracks_run_start(sys);
    set_type(kTrackElement, kTypeTrack);
  }

  void set_type(int32_t i, int32_t type) {
    std::string rec = "E";
    for (int f = 2; f <= 40; ++f) rec += f == fld::kType ? "|" + std::to_string(type) : "|0";
    str_set(element_record(*core, i), rec);
  }
  // Element kTrackElement shows a track made of these bytes.
  void load(const std::vector<uint8_t>& bytes) {
    uint8_t* asset = core->pool(Pool::Assets) + kTrackSlot * 64;
    std::memset(asset, 0, 64);
    const int32_t first = track_append(tracks, bytes.data(), int64_t(bytes.size()));
    ir_set(asset, trk::kFirst, first);
    ir_set(asset, trk::kEnd, int32_t(tracks.loaded.size()));
    ir_set(asset, trk::kMark, int32_t(trk::kTrackMark));
    set(kTrackElement, ir::kCurrentAspect, kTrackSlot);
    set(kTrackElement, trk::kPlayCursor, 0);
  }
  void load(const std::vector<TrackRecord>& records) {
    std::vector<uint8_t> bytes(records.size() * kTrackRecordBytes);
    if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
    load(bytes);
  }
  // The bytes the recording buffer holds now.
  std::vector<uint8_t> recording() {
    const uint8_t* p = core->pool(Pool::TrackBuffer);
    return {p, p + track_recorded_bytes(sys)};
  }
  int32_t k() const { return h(kTrackElement); }
};

TEST_F(Tracked, RecordingKeepsTheFirstStateAbsoluteAndThenTheDifferences) {
  const int32_t states[3][6] = {
      {100, 200, 300, 10, 20, 30}, {150, 190, 300, 10, 25, 30}, {90, 190, 310, 5, 25, 184319}};
  for (const auto& st : states) {
    set3(0, ir::kPosX, st[0], st[1], st[2]);
    set3(0, ir::kRotX, st[3], st[4], st[5]);
    track_record(sys, h(0));
  }
  EXPECT_EQ(track_recorded_bytes(sys), 3 * 24);
  const std::vector<uint8_t> bytes = recording();
  std::vector<int32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), bytes.size());
  EXPECT_EQ(words, (std::vector<int32_t>{100, 200, 300, 10, 20, 30, 50, -10, 0, 0, 5, 0, -60, 0, 10, -5, 0, 184289}));

  track_record(sys, h(256));  // not an element
  EXPECT_EQ(track_recorded_bytes(sys), 3 * 24);
  track_record_reset(sys);
  EXPECT_EQ(track_recorded_bytes(sys), 0);

  tracks.recorded = kTrackCapacity;  // full: nothing more is kept
  track_record(sys, h(0));
  EXPECT_EQ(tracks.recorded, kTrackCapacity);
  EXPECT_GE(pool_bytes(Pool::TrackBuffer), (kTrackCapacity + 1) * kTrackRecordBytes);
  EXPECT_GE(kTrackCapacity, 10 * 60 * 50);  // ten minutes at 50 frames per second
}

TEST_F(Tracked, PlayCopiesVelocityAndSpinAndReportsTheEnd) {
  load(std::vector<TrackRecord>{{{1, 2, 3, 4, 5, 6}}, {{-7, 8, -9, 10, -11, 12}}});
  EXPECT_EQ(track_play(sys, h(0), k()), 0);
  EXPECT_EQ(get(0, ir::kVelZ), 3);
  EXPECT_EQ(get(0, ir::kSpinZ), 6);
  EXPECT_EQ(track_play(sys, h(0), k()), 0);
  EXPECT_EQ(get(0, ir::kVelX), -7);
  EXPECT_EQ(get(0, ir::kSpinY), -11);
  set(0, ir::kVelX, 99);
  EXPECT_EQ(track_play(sys, h(0), k()), -1);  // at the end: nothing copied
  EXPECT_EQ(get(0, ir::kVelX), 99);
  track_play_reset(sys, k(), 1);
  EXPECT_EQ(track_play(sys, h(0), k()), 0);
  EXPECT_EQ(get(0, ir::kVelX), -7);
  track_play_reset(sys, k(), 2);   // not inside the track
  track_play_reset(sys, k(), -1);
  EXPECT_EQ(track_play(sys, h(0), k()), -1);
}

TEST_F(Tracked, LoopSkipsTheAbsoluteRecord) {
  load(std::vector<TrackRecord>{{{1000}}, {{1}}, {{2}}});
  std::vector<int32_t> played, results;
  for (int i = 0; i < 7; ++i) {
    results.push_back(track_play_loop(sys, h(0), k()));
    played.push_back(get(0, ir::kVelX));
  }
  EXPECT_EQ(played, (std::vector<int32_t>{1000, 1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(results, (std::vector<int32_t>{0, 0, 0, -1, 0, -1, 0}));
}

// Moving an element while recording, playing the recording forwards and then backwards brings
// it back where it started.
TEST_F(Tracked, PlayingBackRetracesARecordedTrack) {
  set3(0, ir::kPosX, 5000, 0, -7000);
  set(0, ir::kRotY, 900);
  for (int i = 0; i < 20; ++i) {
    track_record(sys, h(0));
    set3(0, ir::kVelX, 300 * i - 2000, i, 7 * i * i);
    set3(0, ir::kSpinX, 0, 64 * i, 0);
    velocity_update(sys, h(0));
    spin_update(sys, h(0));
  }
  track_record(sys, h(0));
  const std::vector<uint8_t> bytes = recording();
  load(bytes);

  set3(1, ir::kPosX, 5000, 0, -7000);
  set(1, ir::kRotY, 900);
  track_play_reset(sys, k(), 1);  // record 0 is the absolute start
  while (track_play(sys, h(1), k()) == 0) {
    velocity_update(sys, h(1));
    spin_update(sys, h(1));
  }
  EXPECT_EQ(get(1, ir::kPosX), get(0, ir::kPosX));
  EXPECT_EQ(get(1, ir::kPosZ), get(0, ir::kPosZ));
  EXPECT_EQ(get(1, ir::kRotY), get(0, ir::kRotY));

  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(track_play_back(sys, h(1), k()), 0) << i;
    velocity_update(sys, h(1));
    spin_update(sys, h(1));
  }
  EXPECT_EQ(get(1, ir::kPosX), 5000);
  EXPECT_EQ(get(1, ir::kPosY), 0);
  EXPECT_EQ(get(1, ir::kPosZ), -7000);
  EXPECT_EQ(get(1, ir::kRotY), 900);
  // At the start the cursor jumps to the last record and says so.
  EXPECT_EQ(track_play_back(sys, h(1), k()), -1);
  EXPECT_EQ(get(1, ir::kVelX), -(300 * 19 - 2000));
}

TEST_F(Tracked, UntrustedTrackFilesPlayOnlyWholeRecords) {
  struct Case {
    size_t bytes;
    int32_t plays;  // calls of track_play that answer 0
  } cases[] = {{0, 0}, {23, 0}, {24, 1}, {50, 2}, {71, 2}, {72, 3}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(c.bytes, 0x11);
    load(bytes);
    int32_t plays = 0;
    while (track_play(sys, h(0), k()) == 0 && plays < 10) ++plays;
    EXPECT_EQ(plays, c.plays) << c.bytes;
    EXPECT_EQ(track_play_loop(sys, h(0), k()), -1) << c.bytes;  // jumps (or has nothing)
    if (c.plays == 0) {
      EXPECT_EQ(track_play_back(sys, h(0), k()), -1);
    }
    const int32_t cursor = get(kTrackElement, trk::kPlayCursor);
    EXPECT_GE(cursor, 0);
    EXPECT_LE(cursor, c.plays);
  }
  // A cursor word out of range (a brain may write it through `register`) stays inside.
  load(std::vector<TrackRecord>{{{1}}, {{2}}});
  set(kTrackElement, trk::kPlayCursor, 1 << 30);
  EXPECT_EQ(track_play(sys, h(0), k()), -1);
  EXPECT_EQ(track_play_back(sys, h(0), k()), 0);
  EXPECT_EQ(get(0, ir::kVelX), -2);
  set(kTrackElement, trk::kPlayCursor, -5);
  EXPECT_EQ(track_play(sys, h(0), k()), 0);
  EXPECT_EQ(get(0, ir::kVelX), 1);
}

TEST_F(Tracked, TrackKeywordsIgnoreWhatIsNotATrack) {
  load(std::vector<TrackRecord>{{{1}}});
  set_type(kTrackElement, kTypeVisual);
  set(0, ir::kVelX, 42);
  for (int32_t bad : {k(), h(0), 0, -1, h(300)}) {
    EXPECT_EQ(track_play(sys, h(0), bad), 0);
    EXPECT_EQ(track_play_loop(sys, h(0), bad), 0);
    EXPECT_EQ(track_play_back(sys, h(0), bad), 0);
    track_play_reset(sys, bad, 0);
  }
  set_type(kTrackElement, kTypeTrack);
  EXPECT_EQ(track_play(sys, 12345, k()), 0);  // e not an element
  EXPECT_EQ(get(0, ir::kVelX), 42);
  uint8_t* asset = core->pool(Pool::Assets) + kTrackSlot * 64;
  ir_set(asset, trk::kEnd, 1 << 20);  // names records that were never loaded
  EXPECT_EQ(track_play(sys, h(0), k()), 0);
  EXPECT_EQ(get(0, ir::kVelX), 42);
}

// ---- Aiming ----

TEST_F(Tracked, SmoothHeadingClosesAShareOfTheAngleTheShortWayRound) {
  // The target straight along -x of e: direction 46080 (90 degrees).
  set3(1, ir::kPosX, -512000, 0, 0);
  struct Case {
    int32_t start, n, after;
  } cases[] = {
      {0, 0, 46080},                 // n = 0 turns fully
      {0, 1, 23040},                 // half of the angle
      {0, 2, 11520},
      {184320 + 1000, 1, 1000 + 22540},  // normalised first
      {-92160 - 46080, 1, 46080},    // normalised first: already there
      {46080 + 92160 + 512, 1, 138752 + (46080 - 138752 + 184320) / 2},  // across 0 the short way
      {46080, 5, 46080},
      {0, 40, 0},                    // a huge shift closes nothing
  };
  for (const Case& c : cases) {
    set(0, ir::kRotY, c.start);
    track_yr_smooth(sys, h(0), h(1), c.n);
    EXPECT_EQ(get(0, ir::kRotY), c.after) << c.start << " >> " << c.n;
  }
  set(0, ir::kRotY, 7);
  track_yr(sys, h(0), h(1));
  EXPECT_EQ(get(0, ir::kRotY), 46080);
}

TEST_F(Tracked, TrackPitchesTowardsTheTarget) {
  struct Case {
    int32_t dx, dy, dz, pitch;
  } cases[] = {
      {0, 0, 512000, 0},           // level
      {0, 512000, 512000, -23040},  // 45 degrees up: nose up is a negative rotation x
      {0, -512000, 512000, 23040},
      {0, 512000, 0, -46080},       // straight up
      {512000, 0, 0, 0},
  };
  for (const Case& c : cases) {
    set3(1, ir::kPosX, c.dx, c.dy, c.dz);
    track(sys, h(0), h(1));
    EXPECT_EQ(get(0, ir::kRotX), c.pitch) << c.dx << "," << c.dy << "," << c.dz;
    // The forward axis then points at the target (within the tables' steps).
    const IVec3 f = forward_vector(*core, get(0, ir::kRotX), get(0, ir::kRotY), 0, 1 << 20);
    const double len = std::sqrt(double(c.dx) * c.dx + double(c.dy) * c.dy + double(c.dz) * c.dz);
    EXPECT_NEAR(f.x / double(1 << 20), c.dx / len, 0.01);
    EXPECT_NEAR(f.y / double(1 << 20), c.dy / len, 0.01);
    EXPECT_NEAR(f.z / double(1 << 20), c.dz / len, 0.01);
  }
}

// ---- Gates and races ----

// Gate coordinates are given in position units (512 per thousandth) and kept in thousandths.
constexpr int32_t U = 512;

TEST_F(Tracked, GatesPassInTheirThreeCases) {
  set(0, ir::kCollisionRadius, 100);  // R = 100 thousandths
  struct Case {
    const char* what;
    int32_t x1, z1, x2, z2;  // thousandths
    int32_t x, y, z;         // thousandths
    int32_t passed;
  } cases[] = {
      // Parallel to z (x1 = x2).
      {"z gate, inside", 0, 0, 0, 1000, 50, 0, 500, -1},
      {"z gate, beyond its far end", 0, 0, 0, 1000, 0, 0, 1001, 0},
      {"z gate, before the near end counts", 0, 0, 0, 1000, 0, 0, -5000, -1},
      {"z gate, too far across", 0, 0, 0, 1000, 101, 0, 500, 0},
      {"z gate, reversed ends", 0, 1000, 0, 0, -100, 0, 1000, -1},
      // Parallel to x (no z extent): the ends ordered by x.
      {"x gate, inside", 1000, 0, 0, 0, 500, 0, -100, -1},
      {"x gate, beyond", 0, 0, 1000, 0, 1001, 0, 0, 0},
      {"x gate, too far across", 0, 0, 1000, 0, 500, 0, 101, 0},
      // Oblique: along the gate up to its far end, within R across it.
      {"diagonal, on it", 0, 0, 1000, 1000, 500, 0, 500, -1},
      {"diagonal, just across", 0, 0, 1000, 1000, 560, 0, 440, -1},
      {"diagonal, too far across", 0, 0, 1000, 1000, 700, 0, 300, 0},
      {"diagonal, past the far end", 0, 0, 1000, 1000, 1100, 0, 1100, 0},
      {"diagonal, falling z", 0, 1000, 1000, 0, 500, 0, 500, -1},
      {"diagonal, too high", 0, 0, 1000, 1000, 500, 256, 500, 0},
  };
  for (const Case& c : cases) {
    checkpoint_reset(sys);
    checkpoint_add(sys, c.x1 * U, c.z1 * U, c.x2 * U, c.z2 * U);
    set3(0, ir::kPosX, c.x * U, c.y * U, c.z * U);
    EXPECT_EQ(checkpoint(sys, h(0), 0), c.passed) << c.what;
  }
  // The height band of the gate added last.
  checkpoint_reset(sys);
  checkpoint_add(sys, 0, 0, 0, 1000 * U);
  checkpoint_height_set(sys, 200 * U, 100 * U);
  set3(0, ir::kPosX, 0, 99 * U, 10 * U);
  EXPECT_EQ(checkpoint(sys, h(0), 0), 0);
  set(0, ir::kPosY, 100 * U);
  EXPECT_EQ(checkpoint(sys, h(0), 0), -1);
  set(0, ir::kPosY, 201 * U);
  EXPECT_EQ(checkpoint(sys, h(0), 0), 0);
  EXPECT_EQ(checkpoint(sys, h(0), 1000), 0);
  EXPECT_EQ(checkpoint(sys, h(0), -1), 0);
}

class Race : public Tracked {
 protected:
  // Gates across the z axis at x = 0, 10000, 20000 thousandths (each 2000 long).
  void gates(int32_t n) {
    for (int32_t g = 0; g < n; ++g) checkpoint_add(sys, g * 10000 * U, -1000 * U, g * 10000 * U, 1000 * U);
  }
  void place(int32_t i, int32_t x) { set3(i, ir::kPosX, x * U, 0, 0); }
  void away(int32_t i) { set3(i, ir::kPosX, 5000 * U, 0, 50000 * U); }
};

TEST_F(Race, LapsCountFromTheFirstPassOfGateZero) {
  gates(3);
  race_on(sys, h(0));
  away(0);
  std::vector<int32_t> laps;
  laps.push_back(race_lap(sys, h(0)));
  for (int32_t gate : {0, 1, 2, 0, 1, 2, 0}) {
    place(0, gate * 10000);
    races_advance(sys);
    laps.push_back(race_lap(sys, h(0)));
  }
  EXPECT_EQ(laps, (std::vector<int32_t>{-1, 0, 0, 0, 1, 1, 1, 2}));
  EXPECT_EQ(race_next_checkpoint(sys, h(0)), 1);
  EXPECT_EQ(race_lap(sys, h(1)), -1);  // does not race
  EXPECT_EQ(race_next_checkpoint(sys, h(1)), -1);
  EXPECT_EQ(race_position(sys, h(1)), -1);
}

TEST_F(Race, WithOneGateEveryPassIsALap) {
  gates(1);
  race_on(sys, h(0));
  place(0, 0);
  for (int32_t pass = 1; pass <= 3; ++pass) {
    races_advance(sys);
    EXPECT_EQ(race_lap(sys, h(0)), pass - 1);
    EXPECT_EQ(race_next_checkpoint(sys, h(0)), 0);
  }
}

TEST_F(Race, TheTableHoldsEachRacerOnceAndTheLastEntryFillsAGap) {
  gates(2);
  for (int32_t i = 0; i < 4; ++i) race_on(sys, h(i));
  race_on(sys, h(1));
  EXPECT_EQ(tracks.racers, 4);
  race_lap_set(sys, h(3), 7);
  race_off(sys, h(1));
  EXPECT_EQ(tracks.racers, 3);
  EXPECT_EQ(race_lap(sys, h(1)), -1);
  EXPECT_EQ(race_lap(sys, h(3)), 6);  // still there, next checkpoint 0
  race_off(sys, h(1));
  EXPECT_EQ(tracks.racers, 3);
  tracks.racers = kMaxRacers;  // a full table ignores more
  race_on(sys, h(9));
  EXPECT_EQ(tracks.racers, kMaxRacers);
}

TEST_F(Race, RanksByLapThenGateThenDistanceToTheNextGate) {
  gates(3);
  for (int32_t i = 0; i < 4; ++i) race_on(sys, h(i));
  race_lap_set(sys, h(0), 1);
  race_next_checkpoint_set(sys, h(0), 1);
  race_lap_set(sys, h(1), 1);
  race_next_checkpoint_set(sys, h(1), 2);
  race_lap_set(sys, h(2), 1);
  race_next_checkpoint_set(sys, h(2), 1);
  race_lap_set(sys, h(3), 2);
  place(0, 4000);  // 6000 from gate 1
  place(2, 8000);  // 2000 from gate 1: ahead of element 0
  EXPECT_EQ(race_position(sys, h(3)), 1);
  EXPECT_EQ(race_position(sys, h(1)), 2);
  EXPECT_EQ(race_position(sys, h(2)), 3);
  EXPECT_EQ(race_position(sys, h(0)), 4);
}

TEST_F(Race, GatesBeyondTheTableAreIgnored) {
  for (int32_t g = 0; g < kMaxGates + 5; ++g) checkpoint_add(sys, g, g, g, g);
  EXPECT_EQ(tracks.gates, kMaxGates);
  checkpoint_reset(sys);
  EXPECT_EQ(tracks.gates, 0);
  const uint8_t* last = core->pool(Pool::Checkpoints) + (kMaxGates - 1) * kGateBytes;
  EXPECT_EQ(ir_get(last, 0), 0);
  EXPECT_EQ(ir_get(last, 16), kGateDefaultTop);
  checkpoint_height_set(sys, 5, 5);  // no gate added: nothing to set
  race_on(sys, h(0));
  races_advance(sys);  // no gates: nothing passes
  EXPECT_EQ(race_lap(sys, h(0)), -1);
}

}  // namespace
}  // namespace korva
