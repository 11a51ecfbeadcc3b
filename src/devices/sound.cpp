// The sound system over the audio device: element sounds, free-standing 3D sounds, the
// listener, the per-frame batch of 3D settings, and the sound keywords.
#include "devices/sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/core.h"
#include "core/system.h"
#include "devices/sound_wave.h"
#include "engine/element_access.h"
#include "model/instance_record.h"
#include "model/run_state.h"
#include "runtime/text_argument.h"

namespace korva {

namespace {

Sound* ready(System& s) { return sound_available(s) ? s.sound : nullptr; }

uint8_t* record_of(System& s, int32_t index) {
  return s.core->pool(Pool::Instances) + index * kInstanceRecordBytes;
}

// The element index of a handle, -1 when it names no element record.
int32_t index_of(int32_t handle) { return element_index_of(handle); }

bool one_shot(System& s, int32_t index) { return (ir_get(record_of(s, index), ir::kFlags) & kFlagOneShot) != 0; }
bool active(System& s, int32_t index) { return (ir_get(record_of(s, index), ir::kFlags) & ir::kFlagActive) != 0; }

void set_position(Voice& v, double x, double y, double z) {
  if (v.position[0] == x && v.position[1] == y && v.position[2] == z) return;
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  v.moved = true;
}

void move_to_element(System& s, Voice& v, int32_t index) {
  const uint8_t* r = record_of(s, index);
  set_position(v, ir_get(r, ir::kPosX) / kPositionUnits, ir_get(r, ir::kPosY) / kPositionUnits,
               ir_get(r, ir::kPosZ) / kPositionUnits);
}

// A voice from a wave file: the samples as one channel (3D sound is positioned as a point), a
// source with the given distances. Empty when the file is missing or is no playable wave.
Voice voice_load(audio::Device& d, std::string_view path, double min_distance, double max_distance) {
  Voice v;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) return v;
  const WaveResult w = wave_read(path);
  if (!w.ok) {
    std::fprintf(stderr, "%.*s: no sound (%s)\n", static_cast<int>(path.size()), path.data(), w.problem.c_str());
    return v;
  }
  const std::vector<uint8_t> mono = wave_mono(w.wave);
  v.buffer = audio::buffer_create(d, mono, w.wave.bits, w.wave.rate);
  v.source = audio::source_create(d, v.buffer);
  if (!v.source) {
    audio::buffer_release(d, v.buffer);
    return Voice{};
  }
  v.base_frequency = w.wave.rate;
  v.min_distance = min_distance;
  v.max_distance = max_distance;
  audio::source_distances(d, v.source, min_distance, max_distance);
  return v;
}

void voice_release(audio::Device* d, Voice& v) {
  if (d) {
    audio::source_release(*d, v.source);
    audio::buffer_release(*d, v.buffer);
  }
  v = Voice{};
}

void voice_frequency(audio::Device& d, const Voice& v, int32_t frequency) {
  if (v.used() && v.base_frequency > 0)
    audio::source_pitch(d, v.source, static_cast<double>(frequency) / v.base_frequency);
}

bool ends_with_no_case(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  const std::string_view end = text.substr(text.size() - tail.size());
  return std::equal(end.begin(), end.end(), tail.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// Applies the batched 3D settings: listener, positions, and muting beyond maximum distance.
void flush(Sound& snd) {
  audio::Device& d = *snd.device;
  audio::defer(d);
  if (snd.listener_moved) {
    audio::listener_position(d, snd.listener[0], snd.listener[1], snd.listener[2]);
    audio::listener_orientation(d, snd.listener_at, snd.listener_up);
  }
  auto update = [&](Voice& v) {
    if (!v.used()) return;
    bool muted = false;
    if (v.positional) {
      const double dx = v.position[0] - snd.listener[0], dy = v.position[1] - snd.listener[1],
                   dz = v.position[2] - snd.listener[2];
      muted = dx * dx + dy * dy + dz * dz > v.max_distance * v.max_distance;
      if (v.moved) audio::source_position(d, v.source, v.position[0], v.position[1], v.position[2]);
    }
    if (muted != v.muted) audio::source_gain(d, v.source, muted ? 0.0 : v.gain);
    v.muted = muted;
    v.moved = false;
  };
  for (Voice& v : snd.element) update(v);
  for (Voice& v : snd.slot) update(v);
  snd.listener_moved = false;
  audio::commit(d);
}

Voice* slot_voice(System& s, int32_t slot) {
  Sound* snd = ready(s);
  if (!snd || slot < 0 || slot >= kSoundSlots || !snd->slot[static_cast<size_t>(slot)].used()) return nullptr;
  return &snd->slot[static_cast<size_t>(slot)];
}

// The element sound of a handle; nullptr when sound is off, the handle is bad or it has none.
Voice* element_voice(System& s, int32_t e, int32_t* index = nullptr) {
  Sound* snd = ready(s);
  const int32_t i = index_of(e);
  if (!snd || i < 0 || !snd->element[static_cast<size_t>(i)].used()) return nullptr;
  if (index) *index = i;
  return &snd->element[static_cast<size_t>(i)];
}

}  // namespace

Sound::~Sound() {
  for (Voice& v : element) voice_release(device.get(), v);
  for (Voice& v : slot) voice_release(device.get(), v);
}

int32_t frequency_from_rate(int32_t base_frequency, int32_t rate) {
  const int64_t product = int64_t{base_frequency} * rate;
  if (product <= 409599) return 100;
  if (product >= 409604096) return 100000;
  return static_cast<int32_t>(product >> 12);
}

double gain_from_volume(int32_t volume) {
  return std::pow(10.0, std::clamp(volume, kSilentVolume, 0) / 2000.0);
}

bool sound_available(const System& s) { return s.sound && s.sound->device; }

bool sound_start(System& s) {
  if (!s.sound) return false;
  Sound& snd = *s.sound;
  if (snd.device) return true;
  if (s.core && s.core->settings.sound == 0) return false;
  snd.device = audio::open(snd.how);
  if (snd.device) audio::listener_gain(*snd.device, gain_from_volume(snd.primary_volume));
  snd.mixed_tics = s.run ? s.run->tics : 0;
  return sound_available(s);
}

void sound_shutdown(System& s) {
  if (!s.sound) return;
  sound_release_all(s);
  s.sound->device.reset();
}

void sound_stop_all(System& s) {
  Sound* snd = ready(s);
  if (!snd) return;
  for (Voice& v : snd->element) audio::source_stop(*snd->device, v.source);
  for (Voice& v : snd->slot) audio::source_stop(*snd->device, v.source);
}

int32_t sound_swap_primary_volume(System& s, int32_t volume) {
  if (!s.sound) return 0;
  const int32_t old = s.sound->primary_volume;
  s.sound->primary_volume = std::clamp(volume, kSilentVolume, 0);
  if (s.sound->device) audio::listener_gain(*s.sound->device, gain_from_volume(s.sound->primary_volume));
  return old;
}

ElementSoundOptions sound_options_parse(std::string_view field) {
  int32_t values[5] = {};
  for (int32_t n = 0; n < 5; ++n) {
    const size_t slash = field.find('/');
    const std::string_view part = field.substr(0, slash);
    // A field reads as the integer it starts with; anything else counts as 0.
    int64_t v = 0;
    size_t i = 0;
    const bool negative = i < part.size() && part[i] == '-';
    if (negative) ++i;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) v = std::min<int64_t>(v * 10 + (part[i] - '0'), 1LL << 31);
    values[n] = static_cast<int32_t>(std::clamp<int64_t>(negative ? -v : v, INT32_MIN, INT32_MAX));
    if (slash == std::string_view::npos) break;
    field.remove_prefix(slash + 1);
  }
  return ElementSoundOptions{values[0], values[1], values[3], values[4]};
}

bool element_sound_create(System& s, int32_t index, std::string_view path, const ElementSoundOptions& o) {
  Sound* snd = ready(s);
  if (!snd || index < 0 || index >= kSoundElements) return false;
  const auto i = static_cast<size_t>(index);
  voice_release(snd->device.get(), snd->element[i]);
  snd->path[i] = std::string(path);
  snd->options[i] = o;
  if (ends_with_no_case(path, "null_.wav")) return false;
  audio::Device& d = *snd->device;
  Voice v = voice_load(d, path, o.min_distance, kDefaultMaxDistance);
  if (!v.used()) return false;

  uint8_t* r = record_of(s, index);
  const int32_t flags = ir_get(r, ir::kFlags);
  ir_set(r, ir::kFlags, (o.mode & 1) ? flags | kFlagOneShot : flags & ~kFlagOneShot);
  snd->rate[i] = o.rate;
  voice_frequency(d, v, frequency_from_rate(v.base_frequency, o.rate));
  v.positional = snd->three_d;
  audio::source_head_relative(d, v.source, !v.positional);
  // Decibels in the parameter field, hundredths of a decibel for the buffer.
  v.gain = gain_from_volume(static_cast<int32_t>(std::clamp<int64_t>(int64_t{o.volume} * 100, INT32_MIN, INT32_MAX)));
  audio::source_gain(d, v.source, v.gain);
  snd->element[i] = v;
  return true;
}

void sound_run_start(System& s) {
  if (!s.sound) return;
  Sound& snd = *s.sound;
  snd.hearer = 0;
  snd.listener[0] = snd.listener[1] = snd.listener[2] = 0;
  snd.listener_moved = true;
  snd.three_d = !(s.core && (s.core->settings.sound_mixing & 1));
  snd.path.fill({});
  snd.mixed_tics = s.run ? s.run->tics : 0;
}

void element_sounds_start(System& s) {
  Sound* snd = ready(s);
  if (!snd) return;
  for (int32_t i = 0; i < kSoundElements; ++i) {
    Voice& v = snd->element[static_cast<size_t>(i)];
    if (!v.used()) continue;
    set_position(v, 0, kParkHeight, 0);
    audio::source_stop(*snd->device, v.source);
    if (active(s, i) && !one_shot(s, i)) audio::source_play(*snd->device, v.source, true);
  }
  flush(*snd);
}

void sound_release_all(System& s) {
  if (!s.sound) return;
  Sound& snd = *s.sound;
  audio::Device* d = snd.device.get();
  uint8_t* table = s.core ? s.core->pool(Pool::SoundFlags) : nullptr;
  for (int32_t i = 0; i < kSoundElements; ++i) {
    Voice& v = snd.element[static_cast<size_t>(i)];
    // Only released sounds are recorded: an element without one keeps its flag.
    if (table && v.used()) table[i] = d && audio::source_playing(*d, v.source) ? 1 : 0;
    voice_release(d, v);
  }
  for (Voice& v : snd.slot) voice_release(d, v);
}

bool element_has_sound(const System& s, int32_t index) {
  return sound_available(s) && index >= 0 && index < kSoundElements && s.sound->element[static_cast<size_t>(index)].used();
}

void sound_listener_set(System& s, const double position[3], const double at[3], const double up[3]) {
  if (!s.sound) return;
  Sound& snd = *s.sound;
  for (int32_t k = 0; k < 3; ++k) {
    snd.listener[k] = position[k];
    snd.listener_at[k] = at[k];
    snd.listener_up[k] = up[k];
  }
  snd.listener_moved = true;
}

void sound_positions_update(System& s) {
  Sound* snd = ready(s);
  if (!snd) return;
  for (int32_t i = 0; i < kSoundElements; ++i) {
    Voice& v = snd->element[static_cast<size_t>(i)];
    if (v.used() && v.positional) move_to_element(s, v, i);
  }
}

void sound_commit(System& s) {
  Sound* snd = ready(s);
  if (!snd) return;
  flush(*snd);
  // A loopback device plays only as far as it is mixed: it is mixed up to the current frame,
  // by the frame counter, so that sounds end and report it as they would on a sound card (and
  // the same way in every run).
  if (audio::is_loopback(*snd->device) && s.run) {
    // The counter starts again at 0 when brains are compiled.
    const uint32_t frames = s.run->tics >= snd->mixed_tics ? s.run->tics - snd->mixed_tics : 0;
    snd->mixed_tics = s.run->tics;
    const int32_t rate = std::max(s.run->frame_rate, 1);
    // At most a second at once: a long pause does not make the sounds catch up.
    const int64_t samples = std::min<int64_t>(int64_t{frames} * audio::kLoopbackRate / rate, audio::kLoopbackRate);
    audio::render(*snd->device, static_cast<int32_t>(samples), nullptr);
  }
}

// ---- Keywords ----

void hearer(System& s, int32_t e) {
  // Scene frame handles (bit 31) are not elements; they change nothing.
  if (e < 0 || !ready(s)) return;
  const int32_t i = index_of(e);
  if (i >= 0) s.sound->hearer = i;
}

void play_sound(System& s, int32_t e) {
  int32_t i = 0;
  Voice* v = element_voice(s, e, &i);
  if (!v) return;
  audio::Device& d = *s.sound->device;
  audio::source_stop(d, v->source);
  audio::source_play(d, v->source, !one_shot(s, i));
  if (v->positional) move_to_element(s, *v, i);
}

void stop_sound(System& s, int32_t e) {
  int32_t i = 0;
  Voice* v = element_voice(s, e, &i);
  if (v && active(s, i)) audio::source_stop(*s.sound->device, v->source);
}

int32_t sound_status(System& s, int32_t e) {
  Voice* v = element_voice(s, e);
  return v && audio::source_playing(*s.sound->device, v->source) ? -1 : 0;
}

void sound_mode_set(System& s, int32_t e, int32_t m) {
  const int32_t i = index_of(e);
  if (!ready(s) || i < 0) return;
  uint8_t* r = record_of(s, i);
  const int32_t flags = ir_get(r, ir::kFlags);
  ir_set(r, ir::kFlags, (m & 1) ? flags | kFlagOneShot : flags & ~kFlagOneShot);
}

void sound_rate_set(System& s, int32_t e, int32_t r) {
  const int32_t i = index_of(e);
  if (!ready(s) || i < 0) return;
  s.sound->rate[static_cast<size_t>(i)] = r;
  const Voice& v = s.sound->element[static_cast<size_t>(i)];
  if (v.used()) voice_frequency(*s.sound->device, v, frequency_from_rate(v.base_frequency, r));
}

void stop_sound_system(System& s) {
  if (!ready(s)) return;
  sound_shutdown(s);
}

void restart_sound_system(System& s) {
  if (!s.sound || !sound_start(s)) return;
  Sound& snd = *s.sound;
  for (int32_t i = 0; i < kSoundElements; ++i) {
    const auto k = static_cast<size_t>(i);
    if (snd.element[k].used() || snd.path[k].empty()) continue;
    const std::string path = snd.path[k];
    if (element_sound_create(s, i, path, snd.options[k])) set_position(snd.element[k], 0, kParkHeight, 0);
  }
  const uint8_t* table = s.core ? s.core->pool(Pool::SoundFlags) : nullptr;
  if (!table) return;
  for (int32_t i = kSoundElements - 1; i >= 0; --i)
    if (table[i] && snd.element[static_cast<size_t>(i)].used()) play_sound(s, element_handle(i));
}

int32_t esound_load_path(System& s, std::string_view path) {
  Sound* snd = ready(s);
  if (!snd) return 0;
  for (int32_t k = 0; k < kSoundSlots; ++k) {
    Voice& slot = snd->slot[static_cast<size_t>(k)];
    if (slot.used()) continue;
    slot = voice_load(*snd->device, path, 1.0, kDefaultMaxDistance);
    return slot.used() ? k : -1;
  }
  return -1;
}

int32_t esound_load(System& s, int32_t name) {
  if (!ready(s)) return 0;
  return esound_load_path(s, text_argument(s, name));
}

void esound_unload(System& s, int32_t slot) {
  if (Voice* v = slot_voice(s, slot)) voice_release(s.sound->device.get(), *v);
}

void esound_play(System& s, int32_t slot, int32_t loop) {
  Voice* v = slot_voice(s, slot);
  if (!v) return;
  audio::source_stop(*s.sound->device, v->source);
  audio::source_play(*s.sound->device, v->source, loop != 0);
}

void esound_stop(System& s, int32_t slot) {
  if (Voice* v = slot_voice(s, slot)) audio::source_stop(*s.sound->device, v->source);
}

int32_t esound_state(System& s, int32_t slot) {
  Voice* v = slot_voice(s, slot);
  return v && audio::source_playing(*s.sound->device, v->source) ? -1 : 0;
}

void esound_volume_set(System& s, int32_t slot, int32_t v) {
  Voice* voice = slot_voice(s, slot);
  if (!voice) return;
  // 0..10000 from silent to full, as hundredths of a decibel below full.
  voice->gain = gain_from_volume(static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} - 10000, INT32_MIN, INT32_MAX)));
  if (!voice->muted) audio::source_gain(*s.sound->device, voice->source, voice->gain);
}

void esound_frequency_set(System& s, int32_t slot, int32_t f) {
  // Clamped as every frequency is: a buffer plays 100 Hz to 100000 Hz.
  if (Voice* v = slot_voice(s, slot)) voice_frequency(*s.sound->device, *v, std::clamp(f, 100, 100000));
}

void esound_minmaxdist_set(System& s, int32_t slot, int32_t min, int32_t max) {
  Voice* v = slot_voice(s, slot);
  if (!v) return;
  v->min_distance = min / 100.0;
  v->max_distance = max / 100.0;
  audio::source_distances(*s.sound->device, v->source, v->min_distance, v->max_distance);
}

void esound_location_set(System& s, int32_t slot, int32_t x, int32_t y, int32_t z) {
  Voice* v = slot_voice(s, slot);
  if (!v) return;
  set_position(*v, x / kPositionUnits, y / kPositionUnits, z / kPositionUnits);
  audio::source_velocity(*s.sound->device, v->source, 0, 0, 0);
  flush(*s.sound);
}

}  // namespace korva
