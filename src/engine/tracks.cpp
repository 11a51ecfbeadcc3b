// Recorded tracks, aiming and races on the words of the instance records. Directions come from
// the arc-tangent table by binary search (as the brain library's), so every machine turns and
// ranks elements the same way.
#include "engine/tracks.h"

#include <cstdlib>
#include <cstring>

#include "core/core.h"
#include "engine/directions.h"
#include "engine/element_access.h"
#include "engine/math_tables.h"
#include "engine/rotation.h"
#include "model/model.h"

namespace korva {
namespace {

constexpr int32_t kAssetSlots = 4096;
constexpr int32_t kAssetRecordBytes = 64;
constexpr int32_t kHalfTurn = kFullTurn / 2;  // 92160
constexpr int64_t kPositionPerThousandth = 512;

// ---- Elements ----

uint8_t* element_at(const System& s, int32_t e) {
  const int32_t i = element_index_of(e);
  if (i < 0 || s.core == nullptr) return nullptr;
  if (s.model && i > s.model->last_index) return nullptr;
  return instance_at(s, e);
}

int32_t clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// The angle of a vector given in thousandths (the collision pass's form): ratio |dz x 1024 / dx|.
int32_t direction_thousandths(const Core& c, int64_t dx, int64_t dz) {
  return direction_of(c, dx, dz, dx == 0 ? 0 : std::abs(dz * 1024 / dx));
}

uint64_t isqrt(uint64_t v) {
  uint64_t r = 0;
  for (uint64_t bit = uint64_t(1) << 31; bit != 0; bit >>= 1)
    if ((r + bit) * (r + bit) <= v) r += bit;
  return r;
}

// The signed turn, -92160..92159, that brings angle `from` (normalised) onto `to` the short
// way round, as track_yr_smooth forms it.
int32_t short_turn(int32_t to, int32_t from) {
  int32_t d = to - from;
  if (d > kHalfTurn)
    d -= kFullTurn;
  else if (d < -kHalfTurn)
    d += kFullTurn;
  return d;
}

// A shift count a brain may pass as anything: below 0 turns fully, above 31 not at all.
int32_t shift_of(int32_t n) { return n < 0 ? 0 : (n > 31 ? 31 : n); }

// ---- Loaded tracks ----

struct TrackView {
  TrackRecord* first = nullptr;
  int32_t count = 0;
  uint8_t* cursor_word = nullptr;  // the TRACK element's record
};

// The loaded records of TRACK-type element k, or false when k is not one.
bool track_of(System& s, int32_t k, TrackView& out) {
  uint8_t* rec = element_at(s, k);
  if (!rec || !s.tracks) return false;
  if (element_type(*s.core, element_index_of(k)) != kTypeTrack) return false;
  const int32_t slot = word(rec, ir::kCurrentAspect);
  if (slot < 0 || slot >= kAssetSlots) return false;
  const uint8_t* asset = s.core->pool(Pool::Assets) + int64_t(slot) * kAssetRecordBytes;
  if (static_cast<uint32_t>(word(asset, trk::kMark)) != trk::kTrackMark) return false;
  const int32_t first = word(asset, trk::kFirst), end = word(asset, trk::kEnd);
  const auto size = static_cast<int64_t>(s.tracks->loaded.size());
  if (first < 0 || end < first || end > size) return false;
  out.first = s.tracks->loaded.data() + first;
  out.count = end - first;
  out.cursor_word = rec;
  return true;
}

int32_t cursor_of(const TrackView& t) {
  const int32_t c = word(t.cursor_word, trk::kPlayCursor);
  return c < 0 ? 0 : (c > t.count ? t.count : c);
}

// Velocity and spin of e from a record, negated for playing backwards.
void copy_record(uint8_t* e, const TrackRecord& r, bool negate) {
  static constexpr int32_t kTargets[6] = {ir::kVelX, ir::kVelY, ir::kVelZ, ir::kSpinX, ir::kSpinY, ir::kSpinZ};
  for (int k = 0; k < 6; ++k) set_word(e, kTargets[k], negate ? wrap_mul(r.v[k], -1) : r.v[k]);
}

// ---- Tables in the pools ----

uint8_t* gate(const System& s, int32_t n) { return s.core->pool(Pool::Checkpoints) + n * kGateBytes; }
uint8_t* racer(const System& s, int32_t i) { return s.core->pool(Pool::Races) + i * kRacerBytes; }
constexpr int32_t kRacerElement = 0, kRacerLap = 4, kRacerNext = 8;
constexpr int32_t kGateX1 = 0, kGateZ1 = 4, kGateX2 = 8, kGateZ2 = 12, kGateTop = 16, kGateBottom = 20;

// The race table entry of e, or nullptr when e does not race.
uint8_t* racer_of(System& s, int32_t e) {
  if (!s.tracks || !element_at(s, e)) return nullptr;
  for (int32_t i = 0; i < s.tracks->racers; ++i)
    if (word(racer(s, i), kRacerElement) == e) return racer(s, i);
  return nullptr;
}

// Whether the element record stands in gate n now (the three gate cases).
bool passing(System& s, const uint8_t* e, int32_t n) {
  const uint8_t* g = gate(s, n);
  const int32_t height = word(e, ir::kPosY) >> 9;
  if (height < word(g, kGateBottom) || height > word(g, kGateTop)) return false;
  const int64_t x1 = word(g, kGateX1) * kPositionPerThousandth, z1 = word(g, kGateZ1) * kPositionPerThousandth;
  const int64_t x2 = word(g, kGateX2) * kPositionPerThousandth, z2 = word(g, kGateZ2) * kPositionPerThousandth;
  const int64_t x = word(e, ir::kPosX), z = word(e, ir::kPosZ);
  const int64_t radius = int64_t(word(e, ir::kCollisionRadius)) * kPositionPerThousandth;
  const int64_t dz = z2 - z1;
  const bool small_dz = dz >= 0 && dz <= 511;
  if (x1 == x2 && !small_dz) return std::llabs(dz) >= z - (z1 < z2 ? z1 : z2) && std::llabs(x - x1) <= radius;
  if (!small_dz) {
    // Into the gate's own axes: along it (u, rotated z) and across it (w, rotated x).
    const int32_t back = negate_angle(direction_thousandths(*s.core, word(g, kGateX2) - word(g, kGateX1),
                                                            word(g, kGateZ2) - word(g, kGateZ1)));
    IVec3 offset{clamp32(x - x1), 0, clamp32(z - z1)};
    IVec3 length{clamp32(x2 - x1), 0, clamp32(dz)};
    rotate_about_y(*s.core, offset, back);
    rotate_about_y(*s.core, length, back);
    return length.z >= offset.z && radius >= std::llabs(int64_t(offset.x));
  }
  // Nearly parallel to the x axis: the ends ordered by x.
  const int64_t lo = x1 < x2 ? x1 : x2, hi = x1 < x2 ? x2 : x1;
  const int64_t zl = x1 < x2 ? z1 : z2;
  return hi - lo >= x - lo && std::llabs(z - zl) <= radius;
}

int64_t squared_distance_to_gate_centre(const System& s, const uint8_t* e, int32_t n) {
  const uint8_t* g = gate(s, n);
  const int64_t cx = (int64_t(word(g, kGateX1)) + word(g, kGateX2)) / 2;
  const int64_t cz = (int64_t(word(g, kGateZ1)) + word(g, kGateZ2)) / 2;
  const int64_t dx = (word(e, ir::kPosX) >> 9) - cx, dz = (word(e, ir::kPosZ) >> 9) - cz;
  return dx * dx + dz * dz;
}

}  // namespace

// ---- Loading and the run's lifecycle ----

void tracks_clear(Tracks& t) { t.loaded.clear(); }

int32_t track_append(Tracks& t, const uint8_t* bytes, int64_t size) {
  const auto first = static_cast<int32_t>(t.loaded.size());
  int64_t n = size > 0 ? size / kTrackRecordBytes : 0;
  if (n > kMaxTrackFileRecords) n = kMaxTrackFileRecords;
  t.loaded.resize(t.loaded.size() + static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i)
    std::memcpy(t.loaded[static_cast<size_t>(first + i)].v, bytes + i * kTrackRecordBytes, kTrackRecordBytes);
  return first;
}

void track_load(System& s, uint8_t* record, std::string_view path) {
  if (!record || !s.tracks) return;
  Tracks& t = *s.tracks;
  std::vector<uint8_t> bytes;
  constexpr int64_t kMaxBytes = int64_t(kMaxTrackFileRecords) * kTrackRecordBytes;
  int64_t size = path.empty() ? -1 : file_size(*s.core, path);
  if (size > kMaxBytes) size = kMaxBytes;
  int64_t got = 0;
  if (size > 0) {
    bytes.resize(static_cast<size_t>(size));
    if (read_file(*s.core, path, 0, size, bytes.data(), &got) != 0) got = 0;
  }
  const int32_t first = track_append(t, bytes.data(), got);
  set_word(record, trk::kFirst, first);
  set_word(record, trk::kEnd, static_cast<int32_t>(t.loaded.size()));
  set_word(record, trk::kMark, static_cast<int32_t>(trk::kTrackMark));
}

void tracks_run_start(System& s) {
  track_record_reset(s);
  if (s.tracks) s.tracks->racers = 0;
  if (s.core) std::memset(s.core->pool(Pool::Races), 0, size_t(pool_bytes(Pool::Races)));
  checkpoint_reset(s);
}

int64_t track_recorded_bytes(const System& s) {
  return s.tracks ? int64_t(s.tracks->recorded) * kTrackRecordBytes : 0;
}

void races_advance(System& s) {
  if (!s.tracks || !s.core) return;
  const int32_t gates = s.tracks->gates;
  if (gates <= 0) return;
  for (int32_t i = 0; i < s.tracks->racers; ++i) {
    uint8_t* r = racer(s, i);
    const uint8_t* e = element_at(s, word(r, kRacerElement));
    const int32_t next = word(r, kRacerNext);
    // A next gate set outside the gates in use cannot be passed.
    if (!e || next < 0 || next >= gates || !passing(s, e, next)) continue;
    if (next + 1 >= gates) {
      set_word(r, kRacerNext, 0);
      add_word(r, kRacerLap, 1);
    } else {
      set_word(r, kRacerNext, next + 1);
    }
  }
}

// ---- Track keywords ----

void track_record_reset(System& s) {
  if (s.tracks) s.tracks->recorded = 0;
}

// The record at the end receives the difference from the state the record after it held,
// and the record after it the new absolute state, so record 0 ends up absolute and every
// later one a velocity and spin.
void track_record(System& s, int32_t e) {
  const uint8_t* r = element_at(s, e);
  if (!r || !s.tracks) return;
  int32_t& end = s.tracks->recorded;
  if (end < 0) end = 0;
  if (end + 1 > kTrackCapacity) return;
  auto* buffer = reinterpret_cast<uint8_t*>(s.core->pool(Pool::TrackBuffer));
  uint8_t* at = buffer + int64_t(end) * kTrackRecordBytes;
  uint8_t* after = at + kTrackRecordBytes;
  if (end == 0) std::memset(at, 0, kTrackRecordBytes);
  static constexpr int32_t kSources[6] = {ir::kPosX, ir::kPosY, ir::kPosZ, ir::kRotX, ir::kRotY, ir::kRotZ};
  for (int k = 0; k < 6; ++k) {
    const int32_t v = word(r, kSources[k]);
    set_word(after, 4 * k, v);
    set_word(at, 4 * k, wrap_add(v, wrap_mul(word(at, 4 * k), -1)));
  }
  ++end;
}

int32_t track_play(System& s, int32_t e, int32_t k) {
  uint8_t* r = element_at(s, e);
  TrackView t;
  if (!r || !track_of(s, k, t)) return 0;
  const int32_t c = cursor_of(t);
  if (c >= t.count) return -1;
  copy_record(r, t.first[c], false);
  set_word(t.cursor_word, trk::kPlayCursor, c + 1);
  return 0;
}

int32_t track_play_loop(System& s, int32_t e, int32_t k) {
  uint8_t* r = element_at(s, e);
  TrackView t;
  if (!r || !track_of(s, k, t)) return 0;
  int32_t c = cursor_of(t);
  int32_t result = 0;
  if (c >= t.count) {
    // Record 0 is absolute: a loop goes on from record 1.
    c = 1;
    result = -1;
    if (c >= t.count) {
      set_word(t.cursor_word, trk::kPlayCursor, t.count);
      return -1;
    }
  }
  copy_record(r, t.first[c], false);
  set_word(t.cursor_word, trk::kPlayCursor, c + 1);
  return result;
}

// The cursor names the record to undo next. After playing forwards it stands past the last
// record, so the first step back undoes the last record; at record 0 (absolute, never undone)
// it jumps to the last.
int32_t track_play_back(System& s, int32_t e, int32_t k) {
  uint8_t* r = element_at(s, e);
  TrackView t;
  if (!r || !track_of(s, k, t)) return 0;
  if (t.count == 0) return -1;
  int32_t c = cursor_of(t);
  int32_t result = 0;
  if (c >= t.count) c = t.count - 1;
  if (c <= 0) {
    c = t.count - 1;
    result = -1;
  }
  copy_record(r, t.first[c], true);
  set_word(t.cursor_word, trk::kPlayCursor, c - 1 < 0 ? 0 : c - 1);
  return result;
}

void track_play_reset(System& s, int32_t k, int32_t n) {
  TrackView t;
  if (!track_of(s, k, t) || n < 0 || n >= t.count) return;
  set_word(t.cursor_word, trk::kPlayCursor, n);
}

// ---- Aiming ----

void track_yr(System& s, int32_t e, int32_t a) {
  uint8_t* re = element_at(s, e);
  const uint8_t* ra = element_at(s, a);
  if (!re || !ra) return;
  set_word(re, ir::kRotY, e == a ? 0 : direction_xz_between(*s.core, re, ra));
}

// The elevation looked up as the direction of (dy, horizontal distance): level is 0, a target
// above gives a negative angle, which pitches the forward axis (0, 0, 1) up.
int32_t pitch_towards(System& s, int32_t e, int32_t a) {
  const uint8_t* re = element_at(s, e);
  const uint8_t* ra = element_at(s, a);
  if (!re || !ra || e == a) return 0;
  const int64_t dx = (int64_t(word(ra, ir::kPosX)) - word(re, ir::kPosX)) >> 9;
  const int64_t dy = (int64_t(word(ra, ir::kPosY)) - word(re, ir::kPosY)) >> 9;
  const int64_t dz = (int64_t(word(ra, ir::kPosZ)) - word(re, ir::kPosZ)) >> 9;
  const auto h = static_cast<int64_t>(isqrt(static_cast<uint64_t>(dx * dx + dz * dz)));
  return direction_thousandths(*s.core, dy, h);
}

void track(System& s, int32_t e, int32_t a) {
  uint8_t* re = element_at(s, e);
  if (!re || !element_at(s, a)) return;
  const int32_t pitch = pitch_towards(s, e, a);
  track_yr(s, e, a);
  set_word(re, ir::kRotX, pitch);
}

void track_yr_smooth(System& s, int32_t e, int32_t a, int32_t n) {
  uint8_t* re = element_at(s, e);
  const uint8_t* ra = element_at(s, a);
  if (!re || !ra) return;
  const int32_t ry = normalise_angle(word(re, ir::kRotY));
  const int32_t dir = e == a ? 0 : direction_xz_between(*s.core, re, ra);
  set_word(re, ir::kRotY, ry + (short_turn(dir, ry) >> shift_of(n)));
}

// Our smooth form of `track`: the heading as track_yr_smooth, and the pitch closing the same
// share of its remaining angle the short way round.
void track_smooth(System& s, int32_t e, int32_t a, int32_t n) {
  uint8_t* re = element_at(s, e);
  if (!re || !element_at(s, a)) return;
  const int32_t pitch = pitch_towards(s, e, a);
  track_yr_smooth(s, e, a, n);
  const int32_t rx = normalise_angle(word(re, ir::kRotX));
  set_word(re, ir::kRotX, rx + (short_turn(normalise_angle(pitch), rx) >> shift_of(n)));
}

// ---- Races ----

void race_on(System& s, int32_t e) {
  if (!s.tracks || !element_at(s, e) || racer_of(s, e)) return;
  int32_t& n = s.tracks->racers;
  if (n < 0) n = 0;
  if (n >= kMaxRacers) return;
  uint8_t* r = racer(s, n++);
  std::memset(r, 0, kRacerBytes);
  set_word(r, kRacerElement, e);
}

void race_off(System& s, int32_t e) {
  uint8_t* r = racer_of(s, e);
  if (!r) return;
  uint8_t* last = racer(s, --s.tracks->racers);
  if (r != last) std::memcpy(r, last, kRacerBytes);
  std::memset(last, 0, kRacerBytes);
}

int32_t race_lap(System& s, int32_t e) {
  const uint8_t* r = racer_of(s, e);
  if (!r) return -1;
  const int32_t lap = word(r, kRacerLap);
  return word(r, kRacerNext) == 0 ? wrap_add(lap, -1) : lap;
}

void race_lap_set(System& s, int32_t e, int32_t n) {
  if (uint8_t* r = racer_of(s, e)) set_word(r, kRacerLap, n);
}

int32_t race_next_checkpoint(System& s, int32_t e) {
  const uint8_t* r = racer_of(s, e);
  return r ? word(r, kRacerNext) : -1;
}

void race_next_checkpoint_set(System& s, int32_t e, int32_t n) {
  if (uint8_t* r = racer_of(s, e)) set_word(r, kRacerNext, n);
}

// 1 + the racers ahead: more laps, or as many laps and a later next gate, or both equal and
// nearer the centre of e's next gate.
int32_t race_position(System& s, int32_t e) {
  const uint8_t* me = racer_of(s, e);
  if (!me) return -1;
  const int32_t lap = word(me, kRacerLap), next = word(me, kRacerNext);
  const uint8_t* re = element_at(s, e);
  const bool gate_known = next >= 0 && next < kMaxGates;
  const int64_t mine = gate_known ? squared_distance_to_gate_centre(s, re, next) : 0;
  int32_t rank = 1;
  for (int32_t i = 0; i < s.tracks->racers; ++i) {
    const uint8_t* q = racer(s, i);
    if (q == me) continue;
    const int32_t ql = word(q, kRacerLap), qn = word(q, kRacerNext);
    bool ahead = ql > lap || (ql == lap && qn > next);
    if (!ahead && ql == lap && qn == next && gate_known) {
      const uint8_t* rq = element_at(s, word(q, kRacerElement));
      ahead = rq && squared_distance_to_gate_centre(s, rq, next) < mine;
    }
    if (ahead) ++rank;
  }
  return rank;
}

void checkpoint_add(System& s, int32_t x1, int32_t z1, int32_t x2, int32_t z2) {
  if (!s.tracks || !s.core) return;
  int32_t& n = s.tracks->gates;
  if (n < 0) n = 0;
  if (n >= kMaxGates) return;
  uint8_t* g = gate(s, n++);
  set_word(g, kGateX1, x1 >> 9);
  set_word(g, kGateZ1, z1 >> 9);
  set_word(g, kGateX2, x2 >> 9);
  set_word(g, kGateZ2, z2 >> 9);
}

void checkpoint_height_set(System& s, int32_t top, int32_t bottom) {
  if (!s.tracks || !s.core || s.tracks->gates <= 0) return;
  uint8_t* g = gate(s, s.tracks->gates - 1);
  set_word(g, kGateTop, top >> 9);
  set_word(g, kGateBottom, bottom >> 9);
}

void checkpoint_reset(System& s) {
  if (!s.core) return;
  for (int32_t n = 0; n < kMaxGates; ++n) {
    uint8_t* g = gate(s, n);
    std::memset(g, 0, kGateBytes);
    set_word(g, kGateTop, kGateDefaultTop);
  }
  if (s.tracks) s.tracks->gates = 0;
}

int32_t checkpoint(System& s, int32_t e, int32_t n) {
  const uint8_t* r = element_at(s, e);
  if (!r || n < 0 || n >= kMaxGates) return 0;
  return passing(s, r, n) ? -1 : 0;
}

}  // namespace korva
